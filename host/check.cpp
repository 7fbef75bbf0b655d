#include "host/check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "host/args.h"
#include "host/read_trace.h"
#include "host/text.h"
#include "player/anchor_geometry.h"
#include "project/fields.h"

namespace klp::tools {
namespace {

using klp::FieldAt;
using klp::SplitFields;
using klp::TrimBlanks;

constexpr std::array<std::string_view, 5> kHeaders = {"[Event]", "[Marker]", "[HotSpot]", "[Link]",
                                                      "[Effect]"};

// Beyond this many key frames a hot spot's rectangle is checked at its key frames only.
constexpr std::size_t kMaxSampledKeyFrames = 2000;

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

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
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

std::string StripLeadingZeros(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

// Whether a number field says plainly what the reader makes of it: digits only (with a sign
// where allowed), blanks around, and within 32 bits.
bool IsPlainNumber(std::string_view field, int32_t value, bool sign) {
  std::string_view text = TrimBlanks(field);
  bool negative = false;
  if (sign && !text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!AllDigits(text)) return false;
  const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  if (negative != (value < 0) && value != 0) return false;
  return StripLeadingZeros(text) == std::to_string(magnitude);
}

std::string Hex(int32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  auto v = static_cast<uint32_t>(value);
  do {
    out.insert(out.begin(), kDigits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  return out;
}

// As IsPlainNumber for a colour: "#", "0x" or nothing, then hexadecimal digits, at most 7FFFFFFF.
bool IsPlainHex(std::string_view field, int32_t value) {
  std::string_view text = TrimBlanks(field);
  if (!text.empty() && text.front() == '#') {
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return false;
  }
  std::string upper = StripLeadingZeros(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == Hex(value);
}

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string RectText(const anchors::Rect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

class Checker {
 public:
  Checker(const TracedProject& read, const MovieInfo* movie, CheckReport& report)
      : read_(read), project_(read.project), trace_(read.trace), movie_(movie), report_(report) {}

  void Run() {
    if (!read_.opened) {
      Add(0, Severity::kError, "unreadable", "cannot open the project file: " + read_.openError,
          "check the path and the file's permissions");
      return;
    }
    if (read_.result != 0 || !trace_.global) {
      Add(0, Severity::kError, "unreadable", "the project file cannot be read",
          "check that it is a readable text file");
      return;
    }
    misread_.assign(trace_.lines.empty() ? 1 : trace_.lines.back().number + 1, false);
    LocateGlobal();
    CheckGlobal();
    WalkLines();
    CheckHotSpotCount();
    CheckMarkers();
    CheckEvents();
    CheckHotSpots();
    CheckEffects();
    if (movie_ != nullptr) CheckAgainstMovie();
    std::stable_sort(report_.diagnostics.begin(), report_.diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  }

 private:
  void Add(int64_t line, Severity severity, std::string code, std::string message,
           std::string hint) {
    report_.diagnostics.push_back(
        {line, severity, std::move(code), std::move(message), std::move(hint)});
  }
  void Warn(int64_t line, std::string code, std::string message, std::string hint) {
    Add(line, Severity::kWarning, std::move(code), std::move(message), std::move(hint));
  }
  void Error(int64_t line, std::string code, std::string message, std::string hint) {
    Add(line, Severity::kError, std::move(code), std::move(message), std::move(hint));
  }

  bool Misread(int64_t line) const {
    return line > 0 && static_cast<std::size_t>(line) < misread_.size() && misread_[line];
  }

  // Where the profile reader finds the "Global" section and its keys (first section of the
  // name, first line of each key), for pointing at them.
  void LocateGlobal() {
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

  int64_t GlobalKeyLine(const std::string& lowerKey) const {
    const auto found = globalKeys_.find(lowerKey);
    return found != globalKeys_.end() ? found->second : globalLine_;
  }

  void CheckGlobal() {
    const GlobalValues& global = *trace_.global;
    if (global.source == "*") {
      std::string why = "[Global] has no Source key";
      if (globalLine_ == 0) why = "the file has no [Global] section";
      if (globalKeys_.count("source") != 0) why = "Source is \"*\"";
      Error(GlobalKeyLine("source"), "no-source",
            why + ": the movie name is \"*\", and no movie of that name will open",
            "name the movie file in [Global]: Source=movie.mpg");
    } else if (global.source.empty()) {
      Error(GlobalKeyLine("source"), "no-source", "Source is empty: no movie is requested",
            "name the movie file in [Global]: Source=movie.mpg");
    }
  }

  // How each line was taken: headers read as data, a late [Global], lines dropped or ignored.
  // After a misread, the lines up to the next section header are misread with it; they get no
  // further diagnostics of their own.
  void WalkLines() {
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
            Warn(line.number, "outside-section",
                 "this line stands before any section and is ignored",
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

  // A record, hot-spot header or key-frame line that is not what it looks like; true when the
  // reader misreads it (and so, most likely, the lines after it).
  bool ReportMisread(const TracedLine& line, const TracedLine* previous) {
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
              "section header " + quoted + " is read as key frame " +
                  std::to_string(line.part + 1) + " of the hot spot at line " +
                  std::to_string(header) + ", which announces more key frames than follow",
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
    if (const auto name = BracketName(line.text);
        name && line.text.find(':') == std::string::npos) {
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

  void CheckHotSpotCount() {
    const int32_t declared = trace_.global->hotSpots;
    const std::size_t read = project_.hotSpots.size();
    if (declared <= 0 || cascadeSeen_ || read == static_cast<std::size_t>(declared)) return;
    Warn(GlobalKeyLine("hotspot"), "hotspot-count",
         "HotSpot=" + std::to_string(declared) + " in [Global], but the file has " +
             Plural(read, "hot spot", "hot spots") +
             "; the count is how many blocks are read in a row, so a wrong one can take the "
             "next section header as a hot spot",
         "set HotSpot=" + std::to_string(read));
  }

  // A number field that the reader reads as something else than it says.
  void CheckNumber(int64_t line, const std::string& what, std::string_view field, int32_t value,
                   bool sign) {
    if (IsPlainNumber(field, value, sign)) return;
    Warn(line, "bad-number",
         what + " " + Quoted(TrimBlanks(field)) + " is read as " + std::to_string(value),
         sign ? "write it as a whole number: digits with an optional sign"
              : "write it with the digits 0-9 only");
  }

  void CheckHex(int64_t line, const std::string& what, std::string_view field, int32_t value) {
    if (IsPlainHex(field, value)) return;
    Warn(line, "bad-number", what + " " + Quoted(TrimBlanks(field)) + " is read as " + Hex(value),
         "write it as hexadecimal digits, at most 7FFFFFFF, optionally after # or 0x");
  }

  // A name written in double quotes keeps them.
  void CheckQuotedName(int64_t line, const std::string& what, const std::string& name,
                       const std::string& receiver) {
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') return;
    Warn(line, "quoted-name", what + " name " + Quoted(name) + " keeps its quotes: " + receiver,
         "write the name without quotes");
  }

  void CheckMarkers() {
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

  void CheckEvents() {
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

  bool HotSpotMisread(std::size_t i) const {
    if (Misread(LineAt(trace_.hotSpotLines, i))) return true;
    if (i < trace_.keyFrameLines.size()) {
      for (int64_t line : trace_.keyFrameLines[i]) {
        if (Misread(line)) return true;
      }
    }
    return false;
  }

  void CheckHotSpots() {
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
                 ", after its end at frame " + std::to_string(spot.endFrame) +
                 ": it is never shown",
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

  // False when the header is read so far from what it says that nothing else about the hot
  // spot is worth telling.
  bool CheckHotSpotHeader(int64_t line, const std::string& text, const CHotSpotInfo& spot,
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

  void CheckKeyFrames(std::size_t index, const CHotSpotInfo& spot, const std::string& what) {
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

  void CheckEffects() {
    std::map<std::string, int64_t> seen;
    for (std::size_t i = 0; i < project_.effects.size(); ++i) {
      const int64_t line = LineAt(trace_.effectLines, i);
      if (Misread(line)) continue;
      const CEffectInfo& effect = *project_.effects[i];
      const auto fields = SplitFields(TextOf(line), ':', true);
      const std::string what = "effect " + Quoted(effect.name);
      if (fields.size() < 5) {
        static constexpr std::array<const char*, 4> kMissing = {
            "frame colour 0 (black)", "line width 0", "highlight colour 0 (black)",
            "visibility 0 (hidden)"};
        std::string missing;
        for (std::size_t f = std::max<std::size_t>(fields.size(), 1); f < 5; ++f) {
          missing += (missing.empty() ? "" : ", ") + std::string(kMissing[f - 1]);
        }
        Warn(line, "effect-values", what + " leaves values out, and they are 0: " + missing,
             "write name:frame colour:line width:highlight colour:visibility, e.g. "
             "door:FF00:2:FFFF:1");
      }
      if (fields.size() > 1) CheckHex(line, what + ": frame colour", fields[1], effect.frameColor);
      if (fields.size() > 2) {
        CheckNumber(line, what + ": line width", fields[2], effect.lineWidth, false);
      }
      if (fields.size() > 3) {
        CheckHex(line, what + ": highlight colour", fields[3], effect.highlightColor);
      }
      if (fields.size() > 4) {
        CheckNumber(line, what + ": visibility", fields[4], effect.visibility, false);
        if (effect.visibility != 0 && effect.visibility != 1) {
          Warn(line, "effect-values",
               what + ": visibility " + std::to_string(effect.visibility) +
                   " neither shows nor hides the anchor",
               "use 1 (shown) or 0 (hidden)");
        }
      }
      if (project_.FindHotSpot(effect.name, -1, nullptr) < 0) {
        std::string hint = "name it exactly as its hot spot: names match byte for byte";
        if (const CHotSpotInfo* near = NearHotSpot(effect.name)) {
          hint = "write " + Quoted(near->name) +
                 ": names match byte for byte, quotes, blanks and letter case included";
        }
        Warn(line, "effect-unmatched", what + " belongs to no hot spot: no hot spot has its name",
             hint);
      } else {
        const auto [first, inserted] = seen.emplace(effect.name, line);
        if (!inserted) {
          Warn(line, "effect-duplicate",
               "a second " + what + " is never used: the first, at line " +
                   std::to_string(first->second) + ", applies",
               "keep one effect per hot spot");
        }
      }
    }
  }

  // A hot spot whose name equals name once quotes and blanks are taken off and case ignored.
  const CHotSpotInfo* NearHotSpot(std::string_view name) const {
    const auto bare = [](std::string_view text) {
      return TrimBlanks(RemoveQuotePair(TrimBlanks(text)));
    };
    for (const auto& spot : project_.hotSpots) {
      if (EqualsIgnoreCase(bare(spot->name), bare(name))) return spot.get();
    }
    return nullptr;
  }

  void CheckAgainstMovie() {
    const MovieInfo& movie = *movie_;
    if (movie.frames) {
      const int64_t end = *movie.frames;
      const std::string ends = "the movie ends at frame " + std::to_string(end);
      for (std::size_t i = 0; i < project_.markers.size(); ++i) {
        const int64_t line = LineAt(trace_.markerLines, i);
        const CMarkerInfo& marker = *project_.markers[i];
        if (!Misread(line) && marker.frame > end) {
          Warn(line, "beyond-end",
               "marker " + Quoted(marker.name) + " at frame " + std::to_string(marker.frame) +
                   " is never reached: " + ends,
               "use a frame from 0 to " + std::to_string(end));
        }
      }
      for (std::size_t i = 0; i < project_.events.size(); ++i) {
        const int64_t line = LineAt(trace_.eventLines, i);
        const CEventInfo& event = *project_.events[i];
        if (!Misread(line) && event.frame > end) {
          Warn(line, "beyond-end",
               "event " + Quoted(event.name) + " at frame " + std::to_string(event.frame) +
                   " never fires: " + ends,
               "use a frame from 0 to " + std::to_string(end));
        }
      }
      for (std::size_t i = 0; i < project_.hotSpots.size(); ++i) {
        const CHotSpotInfo& spot = *project_.hotSpots[i];
        if (!HotSpotMisread(i) && spot.startFrame > end && spot.startFrame <= spot.endFrame) {
          Warn(LineAt(trace_.hotSpotLines, i), "beyond-end",
               "hot spot " + Quoted(spot.name) + " starts at frame " +
                   std::to_string(spot.startFrame) + " and is never shown: " + ends,
               "use frames from 0 to " + std::to_string(end));
        }
      }
    }
    if (movie.width <= 0 || movie.height <= 0) {
      if (!project_.hotSpots.empty()) {
        Warn(0, "no-picture", "the movie has no picture: no hot spot is shown or hit",
             "give a movie with a video stream");
      }
      return;
    }
    for (std::size_t i = 0; i < project_.hotSpots.size(); ++i) {
      if (!HotSpotMisread(i)) CheckPicture(i, *project_.hotSpots[i]);
    }
  }

  // Where the hot spot's rectangle stands against the picture over its life. Between two key
  // frames each coordinate moves monotonically from one to the other (or, with key frames out
  // of order, along a line), so its extremes lie at the key frames, next to them, or at the ends
  // of the life: those are the frames looked at.
  void CheckPicture(std::size_t index, const CHotSpotInfo& spot) {
    const std::vector<KeyFrame>& keys = spot.keyFrames;
    if (keys.empty()) return;
    const int64_t first = std::max<int64_t>(spot.startFrame, 0);
    int64_t last = spot.endFrame;
    if (movie_->frames) last = std::min<int64_t>(last, *movie_->frames);
    if (first > last) return;

    const bool ascending = std::is_sorted(
        keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
    // Out of order and too many to walk at every frame: each key frame's own rectangle only.
    const bool keysOnly = !ascending && keys.size() > kMaxSampledKeyFrames;
    std::set<int64_t> frames;
    if (!keysOnly) frames = {first, last};
    for (const KeyFrame& key : keys) {
      for (int64_t f = int64_t{key.frame} - 1; f <= int64_t{key.frame} + 1; ++f) {
        const bool wanted = f == key.frame || (!ascending && !keysOnly);
        if (wanted && f >= first && f <= last) frames.insert(f);
      }
    }

    // The key frame that gives the rectangle at frame exactly, as RectAtFrame finds it, or
    // keys.size().
    const auto exactKey = [&](int32_t frame) -> std::size_t {
      if (ascending) {
        const auto found =
            std::lower_bound(keys.begin(), keys.end(), frame,
                             [](const KeyFrame& key, int32_t f) { return key.frame < f; });
        return found != keys.end() && found->frame == frame ? found - keys.begin() : keys.size();
      }
      for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].frame == frame) return k;
        if (keys[k].frame > frame && !keysOnly) break;
      }
      return keys.size();
    };
    const auto rectAt = [&](int32_t frame, std::size_t exact) {
      anchors::Rect rect;
      if (exact < keys.size()) {
        const KeyFrame& key = keys[exact];
        rect = {key.left, key.top, key.right, key.bottom};
      } else {
        anchors::RectAtFrame(keys.data(), keys.size(), frame, &rect);
      }
      return rect;
    };
    const int32_t width = movie_->width, height = movie_->height;
    const auto beyond = [&](const anchors::Rect& r) {
      return r.left < 0 || r.top < 0 || r.right > width || r.bottom > height;
    };
    const int32_t shape = anchors::DrawShape(spot.shape);

    struct Finding {
      int64_t frame;
      anchors::Rect rect;
      bool off;         // no point of the picture is in the shape
      std::size_t key;  // the key frame giving the rectangle exactly, or keys.size()
    };
    std::vector<Finding> outside;
    bool allOff = true;
    std::array<bool, 4> allBeyond = {true, true, true, true};  // left, above, right, below
    // The frame looked at before, if its rectangle was inside (kept as a flag and a value: GCC
    // cannot see through an optional in the halving loop below).
    bool wasInside = false;
    int64_t insideBefore = 0;
    for (const int64_t frame : frames) {
      const auto f = static_cast<int32_t>(frame);
      const std::size_t exact = exactKey(f);
      if (keysOnly && exact == keys.size()) continue;
      const anchors::Rect rect = rectAt(f, exact);
      if (rect.left > rect.right || rect.top > rect.bottom) {  // empty-rect's case
        wasInside = false;
        continue;
      }
      const bool off = !PictureMeetsShape(rect, shape, width, height);
      allOff = allOff && off;
      allBeyond[0] = allBeyond[0] && rect.right < 0;
      allBeyond[1] = allBeyond[1] && rect.bottom < 0;
      allBeyond[2] = allBeyond[2] && rect.left > width;
      allBeyond[3] = allBeyond[3] && rect.top > height;
      if (!off && !beyond(rect)) {
        wasInside = true;
        insideBefore = frame;
        continue;
      }
      Finding found{frame, rect, off, exact};
      if (exact == keys.size() && wasInside && beyond(rect)) {
        // Each coordinate is monotonic between two frames looked at, so once beyond a side the
        // rectangle stays beyond it: the first such frame is found by halving.
        int64_t low = insideBefore, high = frame;  // inside at low, beyond at high
        while (high - low > 1) {
          const int64_t middle = low + (high - low) / 2;
          const auto m = static_cast<int32_t>(middle);
          (beyond(rectAt(m, exactKey(m))) ? high : low) = middle;
        }
        const auto h = static_cast<int32_t>(high);
        found.frame = high;
        found.key = exactKey(h);
        found.rect = rectAt(h, found.key);
        found.off = !PictureMeetsShape(found.rect, shape, width, height);
      }
      wasInside = false;
      if (found.key == keys.size()) {
        // Before the first key frame, after the last and between equal ones the rectangle is a
        // key frame's own: told with that key frame.
        const auto same = std::find_if(keys.begin(), keys.end(), [&](const KeyFrame& k) {
          return anchors::Rect{k.left, k.top, k.right, k.bottom} == found.rect;
        });
        found.key = static_cast<std::size_t>(same - keys.begin());
      }
      outside.push_back(found);
    }
    if (outside.empty()) return;

    const std::string picture = std::to_string(width) + "x" + std::to_string(height) + " picture";
    const std::string what = "hot spot " + Quoted(spot.name);
    const std::string within = "within 0,0," + std::to_string(width) + "," + std::to_string(height);
    const int64_t headerLine = LineAt(trace_.hotSpotLines, index);
    // Only when every frame was looked at, and all lie beyond the same side, does no frame
    // between them come onto the picture.
    const bool never = allOff && !keysOnly &&
                       std::any_of(allBeyond.begin(), allBeyond.end(), [](bool b) { return b; });
    if (never) {
      Warn(headerLine, "never-on-picture",
           what + " lies outside the " + picture + " on every frame of its life: it is never " +
               "seen or hit",
           "give its key frames in pixels of the movie picture, " + within);
      return;
    }
    bool interpolatedTold = false;
    std::set<std::size_t> keysTold;
    for (const Finding& found : outside) {
      const std::string where =
          found.off ? " lies entirely outside the " + picture + ": it cannot be seen or hit there"
                    : " reaches outside the " + picture;
      const std::string hint = "keep the rectangle " + within + " (pixels of the movie picture)";
      if (found.key < keys.size()) {
        if (!keysTold.insert(found.key).second) continue;
        const int64_t line = index < trace_.keyFrameLines.size()
                                 ? LineAt(trace_.keyFrameLines[index], found.key)
                                 : headerLine;
        Warn(line, "outside-picture",
             what + " at frame " + std::to_string(found.frame) + ": the rectangle " +
                 RectText(found.rect) + where,
             hint);
      } else if (!interpolatedTold) {
        interpolatedTold = true;
        Warn(headerLine, "outside-picture",
             what + " between key frames, from frame " + std::to_string(found.frame) +
                 ": the rectangle " + RectText(found.rect) + where,
             hint);
      }
    }
  }

  // Whether any pixel of the picture lies in the shape. The shape's point nearest to its centre
  // within the picture is the picture's point nearest to the shape, also for the ellipse (whose
  // axes are the picture's), so one test of that point decides.
  static bool PictureMeetsShape(const anchors::Rect& rect, int32_t shape, int32_t width,
                                int32_t height) {
    const int64_t a = (static_cast<int64_t>(rect.right) - rect.left) / 2 + 1;
    const int64_t b = (static_cast<int64_t>(rect.bottom) - rect.top) / 2 + 1;
    const anchors::Point nearest{
        static_cast<int32_t>(std::clamp<int64_t>(rect.left + a - 1, 0, width - 1)),
        static_cast<int32_t>(std::clamp<int64_t>(rect.top + b - 1, 0, height - 1))};
    return anchors::PointInShape(nearest, rect, shape);
  }

  const std::string& TextOf(int64_t line) const {
    static const std::string kNone;
    // Lines are traced in order and numbered from 1, one entry per line.
    if (line <= 0 || static_cast<std::size_t>(line) > trace_.lines.size()) return kNone;
    return trace_.lines[line - 1].text;
  }

  const TracedProject& read_;
  const CProjectInfo& project_;
  const ReadTrace& trace_;
  const MovieInfo* movie_;
  CheckReport& report_;
  std::vector<bool> misread_;  // by line number
  bool cascadeSeen_ = false;
  int64_t globalLine_ = 0;
  std::map<std::string, int64_t> globalKeys_;  // lower-case key -> line
};

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

constexpr std::string_view kHelp =
    "usage: klp check PROJECT.klp [--movie FILE] [--json]\n"
    "\n"
    "Reads a project file as the plug-in reads it and reports what will not play as written,\n"
    "one diagnostic a line:\n"
    "  PROJECT.klp:LINE: error: ...    the file is read other than it looks (what plays changes)\n"
    "  PROJECT.klp:LINE: warning: ...  something is lost, never used or never reached\n"
    "  PROJECT.klp:LINE: note: ...     how to fix the diagnostic above\n"
    "Diagnostics go to standard error.\n"
    "\n"
    "options:\n"
    "  --movie FILE  also check frames against the movie's end and hot spots against its\n"
    "                picture: a real movie, or a movie fixture of the test backend\n"
    "                (lines frames=, fps=, width=, height=)\n"
    "  --json        print the report as one JSON object on standard output\n"
    "  -h, --help    show this help\n"
    "\n"
    "exit status: 0 clean, 1 warnings only, 2 errors or the project cannot be read\n";

}  // namespace

int CheckReport::Errors() const {
  return static_cast<int>(std::count_if(diagnostics.begin(), diagnostics.end(), [](const auto& d) {
    return d.severity == Severity::kError;
  }));
}

int CheckReport::Warnings() const { return static_cast<int>(diagnostics.size()) - Errors(); }

CheckReport CheckProject(const std::string& path, const MovieInfo* movie) {
  CheckReport report;
  report.path = path;
  const auto read = ReadTraced(path);
  Checker(*read, movie, report).Run();
  return report;
}

int ExitStatus(const CheckReport& report) {
  if (report.Errors() > 0) return 2;
  return report.Warnings() > 0 ? 1 : 0;
}

std::string FormatText(const CheckReport& report) {
  std::string out;
  for (const Diagnostic& d : report.diagnostics) {
    const std::string where =
        report.path + (d.line > 0 ? ":" + std::to_string(d.line) : std::string()) + ": ";
    out += where + SeverityName(d.severity) + ": " + d.message + "\n";
    if (!d.hint.empty()) out += where + "note: " + d.hint + "\n";
  }
  if (!report.diagnostics.empty()) {
    out += report.path + ": " + Plural(report.Errors(), "error", "errors") + ", " +
           Plural(report.Warnings(), "warning", "warnings") + "\n";
  }
  return out;
}

std::string FormatJson(const CheckReport& report, const MovieInfo* movie) {
  JsonWriter json;
  json.BeginObject().Key("file").String(report.path).Key("movie");
  if (movie != nullptr) {
    json.BeginObject().Key("path").String(movie->path).Key("probe").String(movie->probe);
    json.Key("frames");
    movie->frames ? json.Number(*movie->frames) : json.Null();
    json.Key("fps").Real(movie->fps).Key("width").Number(movie->width);
    json.Key("height").Number(movie->height).EndObject();
  } else {
    json.Null();
  }
  json.Key("errors").Number(report.Errors()).Key("warnings").Number(report.Warnings());
  json.Key("diagnostics").BeginArray();
  for (const Diagnostic& d : report.diagnostics) {
    json.BeginObject().Key("line");
    d.line > 0 ? json.Number(d.line) : json.Null();
    json.Key("severity").String(SeverityName(d.severity)).Key("code").String(d.code);
    json.Key("message").String(d.message).Key("hint").String(d.hint).EndObject();
  }
  json.EndArray().EndObject();
  return json.str() + "\n";
}

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Args parsed = ParseArgs(args, {"--movie"}, {"--json"});
  if (parsed.help) {
    out << kHelp;
    return 0;
  }
  std::string usage = parsed.error;
  if (usage.empty() && parsed.positional.size() != 1) {
    usage = parsed.positional.empty() ? "no project file given" : "give one project file";
  }
  if (!usage.empty()) {
    err << "klp check: " << usage << "\nusage: klp check PROJECT.klp [--movie FILE] [--json]\n";
    return 2;
  }
  std::optional<MovieInfo> movie;
  if (const auto given = parsed.values.find("--movie"); given != parsed.values.end()) {
    std::string why;
    movie = ProbeMovie(given->second, &why);
    if (!movie) {
      err << "klp check: cannot read the movie " << given->second << ": " << why << "\n";
      return 2;
    }
  }
  const CheckReport report = CheckProject(parsed.positional[0], movie ? &*movie : nullptr);
  if (parsed.flags.count("--json") != 0) {
    out << FormatJson(report, movie ? &*movie : nullptr);
  } else {
    err << FormatText(report);
  }
  return ExitStatus(report);
}

}  // namespace klp::tools
