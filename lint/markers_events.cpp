#include "lint/linter.h"
#include "lint/text.h"
#include "project/fields.h"

namespace klp::lint {

void Linter::CheckMarkers() {
  std::map<std::string, int64_t> seen;
  for (std::size_t i = 0; i < project_.markers.size(); ++i) {
    const int64_t line = LineAt(trace_.markerLines, i);
    if (Misread(line)) continue;
    const CMarkerInfo& marker = *project_.markers[i];
    const std::string& text = TextOf(line);
    const auto fields = SplitFields(text, ':', false);
    const std::string what = "marker " + Quoted(marker.name);
    if (TrimBlanks(FieldAt(fields, 1)).empty()) {
      Warn(line, "missing-field", what + " has no frame: it is at frame 0", "write name:frame");
    } else {
      CheckNumber(line, what + ": frame", FieldAt(fields, 1), marker.frame, false);
    }
    CheckQuotedName(line, "marker", marker.name,
                    "the page receives them, and EnableMarker must give them too");
    const auto [first, inserted] = seen.emplace(marker.name, line);
    if (!inserted) {
      Warn(line, "duplicate-name",
           "a second marker named " + Quoted(marker.name) + " (the first is at line " +
               std::to_string(first->second) + "): EnableMarker goes to the first",
           "give each marker its own name");
    }
  }
}

void Linter::CheckEvents() {
  for (std::size_t i = 0; i < project_.events.size(); ++i) {
    const int64_t line = LineAt(trace_.eventLines, i);
    if (Misread(line)) continue;
    const CEventInfo& event = *project_.events[i];
    const auto fields = SplitFields(TextOf(line), ':', true);
    const std::string what = "event " + Quoted(event.name);
    if (TrimBlanks(FieldAt(fields, 1)).empty()) {
      Warn(line, "missing-field", what + " has no frame: it fires at frame 0",
           "write name:frame:kind:parameters");
    } else {
      CheckNumber(line, what + ": frame", FieldAt(fields, 1), event.frame, false);
    }
    CheckQuotedName(line, "event", event.name, "the page receives them");
  }
}

}  // namespace klp::lint
