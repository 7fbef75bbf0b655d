#include <array>
#include <cctype>

#include "lint/linter.h"
#include "lint/text.h"
#include "project/fields.h"

namespace klp::lint {

void Linter::CheckHotSpots() {
  std::map<std::string, int64_t> seen;
  for (std::size_t i = 0; i < project_.hotSpots.size(); ++i) {
    if (HotSpotMisread(i)) continue;
    const CHotSpotInfo& spot = *project_.hotSpots[i];
    const int64_t line = LineAt(trace_.hotSpotLines, i);
    const std::string& text = TextOf(line);
    const std::string what = "hot spot " + Quoted(spot.name);
    if (!CheckHotSpotHeader(line, text, spot, what)) continue;

    if (anchors::HitShape(spot.shape) == anchors::SHAPE_NONE) {
      Warn(line, "shape-never-hit",
           what + " has the shape " + Quoted(spot.shape) +
               ": it is drawn as a rectangle but never hit by the pointer",
           "use R (rectangle) or C (ellipse)");
    }
    if (spot.startFrame > spot.endFrame) {
      Warn(line, "never-shown",
           what + " starts at frame " + std::to_string(spot.startFrame) +
               ", after its end at frame " + std::to_string(spot.endFrame) + ": it is never shown",
           "write its frames as start-end with start <= end");
    }
    CHotSpotInfo announced;
    announced.Parse(text);
    if (spot.keyFrames.size() < static_cast<std::size_t>(announced.keyFrameCount)) {
      Warn(line, "short-block",
           what + " announces " + Plural(announced.keyFrameCount, "key frame", "key frames") +
               ", but the file ends after " + std::to_string(spot.keyFrames.size()),
           "make the last field the number of its key-frame lines (" +
               std::to_string(spot.keyFrames.size()) + ")");
    } else if (spot.keyFrames.empty()) {
      Warn(line, "no-key-frames", what + " has no key frames: it is never shown or hit",
           "give its number of key frames in the header's last field and the key-frame "
           "lines frame:left,top,right,bottom after it");
    }
    CheckKeyFrames(i, spot, what);
    CheckQuotedName(line, "hot spot", spot.name,
                    "the page receives them, and EnableAnchor and effects must give them too");
    const auto [first, inserted] = seen.emplace(spot.name, line);
    if (!inserted) {
      Warn(line, "duplicate-name",
           "a second hot spot named " + Quoted(spot.name) + " (the first is at line " +
               std::to_string(first->second) + "): EnableAnchor and its effect go to the first",
           "give each hot spot its own name");
    }
  }
}

bool Linter::CheckHotSpotHeader(int64_t line, const std::string& text, const CHotSpotInfo& spot,
                                const std::string& what) {
  // The first and last characters are dropped whatever they are: a header written without
  // delimiters loses a letter of its name and a digit of its count.
  const auto undelimited = SplitFields(text, ':', false);
  if (undelimited.size() == 5 && AllDigits(TrimBlanks(undelimited[4])) &&
      std::isalnum(static_cast<unsigned char>(text.front())) != 0) {
    Error(line, "header-delimiters",
          "the first and last characters of a hot-spot header are delimiters: this one is "
          "read as " +
              what + " with " + Plural(spot.keyFrameCount, "key frame", "key frames"),
          "enclose the header in parentheses: (" + text + ")");
    return false;
  }
  const std::string_view body =
      text.size() > 2 ? std::string_view(text).substr(1, text.size() - 2) : "";
  const auto fields = SplitFields(body, ':', false);
  if (fields.size() < 5) {
    Warn(line, "missing-field",
         "hot-spot header has " + Plural(fields.size(), "field", "fields") +
             " of 5; the missing ones are empty or 0",
         "write (name:link:shape:start-end:key-frame count)");
    return true;
  }
  const auto range = SplitFields(fields[3], '-', false);
  CheckNumber(line, what + ": start frame", FieldAt(range, 0), spot.startFrame, false);
  if (range.size() < 2) {
    Warn(line, "missing-field", what + " has no end frame: it ends at frame 0",
         "write its frames as start-end");
  } else {
    CheckNumber(line, what + ": end frame", range[1], spot.endFrame, false);
  }
  CHotSpotInfo announced;
  announced.Parse(text);
  CheckNumber(line, what + ": key-frame count", fields[4], announced.keyFrameCount, false);
  return true;
}

void Linter::CheckKeyFrames(std::size_t index, const CHotSpotInfo& spot, const std::string& what) {
  bool toldOrder = false;
  for (std::size_t k = 0; k < spot.keyFrames.size(); ++k) {
    const KeyFrame& key = spot.keyFrames[k];
    const int64_t line =
        index < trace_.keyFrameLines.size() ? LineAt(trace_.keyFrameLines[index], k) : 0;
    const auto fields = SplitFields(TextOf(line), ':', false);
    const auto corners = SplitFields(FieldAt(fields, 1), ',', false);
    CheckNumber(line, "key frame", FieldAt(fields, 0), key.frame, false);
    if (fields.size() < 2 || corners.size() < 4) {
      Warn(line, "missing-field",
           "key frame has " +
               Plural(fields.size() < 2 ? 0 : corners.size(), "coordinate", "coordinates") +
               " of 4; the missing ones are 0",
           "write frame:left,top,right,bottom");
    } else {
      const std::array<int32_t, 4> values = {key.left, key.top, key.right, key.bottom};
      static constexpr std::array<const char*, 4> kNames = {"left", "top", "right", "bottom"};
      for (std::size_t c = 0; c < 4; ++c) {
        CheckNumber(line, std::string("key frame: ") + kNames[c], corners[c], values[c], true);
      }
    }
    if (k > 0 && key.frame <= spot.keyFrames[k - 1].frame && !toldOrder) {
      toldOrder = true;  // once per hot spot
      const int32_t before = spot.keyFrames[k - 1].frame;
      Warn(line, "key-order",
           key.frame == before
               ? what + " has a second key frame for frame " + std::to_string(key.frame)
               : what + ": key frame " + std::to_string(key.frame) + " follows key frame " +
                     std::to_string(before) +
                     "; key frames are taken in file order and must ascend",
           "list the key frames in ascending frame order, one per frame");
    }
    if (key.left > key.right || key.top > key.bottom) {
      Warn(line, "empty-rect",
           what + ": the rectangle " + RectText({key.left, key.top, key.right, key.bottom}) +
               " has its " +
               (key.left > key.right ? "left after its right" : "top below its bottom") +
               ": it is never hit here",
           "write left,top,right,bottom with left <= right and top <= bottom");
    }
  }
}

}  // namespace klp::lint
