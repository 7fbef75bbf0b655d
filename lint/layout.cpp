#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "lint/linter.h"
#include "lint/text.h"
#include "project/fields.h"

namespace klp::lint {
namespace {

constexpr std::array<std::string_view, 5> kHeaders = {"[Event]", "[Marker]", "[HotSpot]", "[Link]",
                                                      "[Effect]"};

std::string SectionName(Section section) {
  switch (section) {
    case Section::kEvent:
      return "[Event]";
    case Section::kMarker:
      return "[Marker]";
    case Section::kHotSpot:
      return "[HotSpot]";
    case Section::kLink:
      return "[Link]";
    case Section::kEffect:
      return "[Effect]";
    case Section::kNone:
      break;
  }
  return "no section";
}

bool IsSectionHeader(std::string_view text) {
  return std::any_of(kHeaders.begin(), kHeaders.end(),
                     [&](std::string_view header) { return EqualsIgnoreCase(text, header); });
}

// The name between "[" and "]" (or the end), blanks around it removed; none if text is not a
// bracketed line.
std::optional<std::string_view> BracketName(std::string_view text) {
  if (text.empty() || text.front() != '[') return std::nullopt;
  text.remove_prefix(1);
  return TrimBlanks(text.substr(0, text.find(']')));
}

// How the profile reader sees a line: the header of the "Global" section.
bool IsGlobalHeader(std::string_view text) {
  const auto name = BracketName(text);
  return name && EqualsIgnoreCase(*name, "Global");
}

// The section header a bracketed name was most likely meant to be: the name in any case, with
// blanks or a plural "s", or the header with something after it.
std::optional<std::string_view> MeantHeader(std::string_view name) {
  std::string plain;
  for (char c : name) {
    if (!IsBlank(c) && c != '_' && c != '-') {
      plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  for (std::string_view header : kHeaders) {
    const std::string_view bare = header.substr(1, header.size() - 2);
    if (EqualsIgnoreCase(plain, bare) ||
        (plain.size() == bare.size() + 1 && plain.back() == 's' &&
         EqualsIgnoreCase(std::string_view(plain).substr(0, bare.size()), bare))) {
      return header;
    }
  }
  return std::nullopt;
}

bool IsPlainSigned(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return AllDigits(text);
}

// A key-frame line: frame ":" four numbers separated by ",".
bool LooksLikeKeyFrame(std::string_view text) {
  const auto fields = SplitFields(text, ':', false);
  if (fields.size() != 2 || !AllDigits(TrimBlanks(fields[0]))) return false;
  const auto corners = SplitFields(fields[1], ',', false);
  return corners.size() == 4 && std::all_of(corners.begin(), corners.end(), IsPlainSigned);
}

// A hot-spot header: delimiters around name:link:shape:start-end:count.
bool LooksLikeHotSpotHeader(std::string_view text) {
  if (text.size() <= 2) return false;
  const auto fields = SplitFields(text.substr(1, text.size() - 2), ':', false);
  return fields.size() >= 5 && fields[3].find('-') != std::string_view::npos;
}

}  // namespace

void Linter::LocateGlobal() {
  bool inGlobal = false;
  for (const TracedLine& line : trace_.lines) {
    if (line.text.empty() || line.text.front() == ';') continue;
    if (line.text.front() == '[') {
      if (inGlobal) break;
      if (IsGlobalHeader(line.text) && globalLine_ == 0) {
        inGlobal = true;
        globalLine_ = line.number;
      }
      continue;
    }
    if (!inGlobal) continue;
    const std::size_t equals = line.text.find('=');
    if (equals == std::string::npos) continue;
    const std::string key(TrimBlanks(std::string_view(line.text).substr(0, equals)));
    std::string lower;
    for (char c : key) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    globalKeys_.emplace(lower, line.number);  // the first line of a key wins
  }
}

int64_t Linter::GlobalKeyLine(const std::string& lowerKey) const {
  const auto found = globalKeys_.find(lowerKey);
  return found != globalKeys_.end() ? found->second : globalLine_;
}

void Linter::WalkLines() {
  bool cascade = false;
  bool sawBracket = false;
  bool warnedOutside = false;
  bool dropping = false;
  const TracedLine* previous = nullptr;  // the last line with content
  for (const TracedLine& line : trace_.lines) {
    const TracedLine* before = previous;
    if (line.use != LineUse::kSkipped) previous = &line;
    if (line.use != LineUse::kDropped && line.use != LineUse::kSkipped) dropping = false;
    switch (line.use) {
      case LineUse::kSkipped:
        continue;
      case LineUse::kSectionHeader:
        cascade = false;
        sawBracket = true;
        continue;
      case LineUse::kOutside:
        if (const auto name = BracketName(line.text)) {
          sawBracket = true;
          if (const auto meant = MeantHeader(*name)) {
            Error(line.number, "not-a-header",
                  Quoted(line.text) + " is not the section header " + std::string(*meant) +
                      ": the lines after it are ignored",
                  "write the header alone on its line, exactly " + std::string(*meant) +
                      "; put a comment on a line of its own starting with \";\"");
          }
        } else if (!sawBracket && !warnedOutside) {
          warnedOutside = true;
          Warn(line.number, "outside-section", "this line stands before any section and is ignored",
               "put the [Global] header above the Global keys");
        }
        continue;
      case LineUse::kDropped:
        if (!dropping) {
          Error(line.number, "dropped-hotspots",
                "HotSpot in [Global] is " + std::to_string(trace_.global->hotSpots) +
                    " or missing: the lines of this [HotSpot] section are read and dropped",
                "add HotSpot=<number of hot spots> to [Global]");
        }
        dropping = true;
        continue;
      default:
        break;
    }
    if (!cascade) cascade = ReportMisread(line, before);
    if (cascade) {
      misread_[line.number] = true;
      cascadeSeen_ = true;
    }
  }
}

bool Linter::ReportMisread(const TracedLine& line, const TracedLine* previous) {
  const std::string quoted = Quoted(line.text);
  const std::string section = SectionName(line.section);
  const bool inBlock = line.use == LineUse::kHotSpotHeader || line.use == LineUse::kKeyFrame;
  if (IsSectionHeader(line.text)) {
    if (line.use == LineUse::kHotSpotHeader) {
      const int first = line.index - line.part;
      Error(line.number, "swallowed-header",
            "section header " + quoted + " is read as the header of a hot spot: the pass " +
                "of hot-spot blocks that began at line " +
                std::to_string(LineAt(trace_.hotSpotLines, first)) +
                " reads HotSpot=" + std::to_string(trace_.global->hotSpots) +
                " blocks and found only " + std::to_string(line.part) +
                " before this line; the lines after it are misread with it",
            "set HotSpot in [Global] to the exact number of hot spots");
    } else {
      const int64_t header = LineAt(trace_.hotSpotLines, line.index);
      Error(line.number, "swallowed-header",
            "section header " + quoted + " is read as key frame " + std::to_string(line.part + 1) +
                " of the hot spot at line " + std::to_string(header) +
                ", which announces more key frames than follow",
            "make the last field of line " + std::to_string(header) +
                " the number of key-frame lines (" + std::to_string(line.part) + ")");
    }
    return true;
  }
  if (IsGlobalHeader(line.text)) {
    Error(line.number, "global-late",
          "[Global] stands after a record section: its lines are read as " +
              std::string(inBlock ? "hot-spot blocks" : section + " records"),
          "move the [Global] section to the top of the file, before the first record section");
    return true;
  }
  if (const auto name = BracketName(line.text); name && line.text.find(':') == std::string::npos) {
    const auto meant = MeantHeader(*name);
    Error(line.number, "not-a-header",
          (meant ? quoted + " is not the section header " + std::string(*meant)
                 : quoted + " is not a section header") +
              ": it and the lines after it are read as " +
              std::string(inBlock ? "hot-spot blocks" : section + " records"),
          meant ? "write the header alone on its line, exactly " + std::string(*meant)
                : "sections are [Event], [Marker], [HotSpot], [Link] and [Effect]");
    return true;
  }
  if (line.use == LineUse::kHotSpotHeader && LooksLikeKeyFrame(line.text)) {
    const bool afterBlock =
        previous != nullptr && previous->index == line.index - 1 &&
        (previous->use == LineUse::kHotSpotHeader || previous->use == LineUse::kKeyFrame);
    if (afterBlock) {
      const int64_t header = LineAt(trace_.hotSpotLines, line.index - 1);
      Error(line.number, "count-too-small",
            "key-frame line " + quoted + " is read as the header of a hot spot: the hot spot " +
                "at line " + std::to_string(header) + " announces fewer key frames than follow",
            "make the last field of line " + std::to_string(header) +
                " the number of its key-frame lines");
    } else {
      Error(line.number, "missing-header",
            "key-frame line " + quoted + " is read as the header of a hot spot",
            "put the hot spot's header (name:link:shape:start-end:key-frame count), between "
            "delimiters such as ( and ), before its key frames");
    }
    return true;
  }
  if (line.use == LineUse::kKeyFrame && LooksLikeHotSpotHeader(line.text)) {
    const int64_t header = LineAt(trace_.hotSpotLines, line.index);
    Error(line.number, "count-too-large",
          "hot-spot header " + quoted + " is read as key frame " + std::to_string(line.part + 1) +
              " of the hot spot at line " + std::to_string(header) +
              ", which announces more key frames than follow",
          "make the last field of line " + std::to_string(header) +
              " the number of its key-frame lines (" + std::to_string(line.part) + ")");
    return true;
  }
  return false;
}

}  // namespace klp::lint
