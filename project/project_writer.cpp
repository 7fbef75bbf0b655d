#include "project/project_writer.h"

#include <array>
#include <cstdio>
#include <set>
#include <string_view>

#include "project/fields.h"

namespace klp {
namespace {

constexpr std::array<std::string_view, 7> kGlobalKeys = {"KLPVersion", "Source", "Event", "Marker",
                                                         "HotSpot",    "Link",   "Effect"};
// The profile reader hands over at most this many characters of a value.
constexpr std::size_t kMaxGlobalValue = 255;

// text in double quotes for a message, control characters as \xNN.
std::string Quote(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
  }
  return out + "\"";
}

// A part of a quoted line from which the reader takes one enclosing pair of quotes: in a pair
// when it holds a separator or a quote at either end.
std::string QuotedPart(const std::string& text, const char* separators) {
  const bool quote = text.find_first_of(separators) != std::string::npos ||
                     (!text.empty() && (text.front() == '"' || text.back() == '"'));
  return quote ? "\"" + text + "\"" : text;
}

bool InQuotes(const std::string& name) {
  return name.size() >= 2 && name.front() == '"' && name.back() == '"';
}

// Where a record's comments are kept: section, name, and how many of that name came before.
std::string PlaceKey(char section, const std::string& name, std::map<std::string, int>& seen) {
  std::string key = std::string(1, section) + name;
  const int n = seen[key]++;
  return key + '\x1F' + std::to_string(n);
}

std::string KeyFrameKey(const std::string& spotKey, int32_t frame) {
  return spotKey + '\x1E' + std::to_string(frame);
}

// The name of the record that a record line or hot-spot header of section makes.
std::string RecordName(Section section, std::string_view text) {
  if (section == Section::kMarker) {
    CMarkerInfo marker;
    marker.Parse(text);
    return marker.name;
  }
  if (section == Section::kHotSpot) {
    CHotSpotInfo spot;
    spot.Parse(text);
    return spot.name;
  }
  return std::string(FieldAt(SplitFields(text, ':', true), 0));  // quoted first field
}

char SectionLetter(Section section) {
  switch (section) {
    case Section::kEvent:
      return 'E';
    case Section::kMarker:
      return 'M';
    case Section::kHotSpot:
      return 'H';
    case Section::kLink:
      return 'L';
    default:
      return 'F';
  }
}

bool IsKnownGlobalKey(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = TrimBlanks(line.substr(0, equals));
  for (std::string_view known : kGlobalKeys) {
    if (EqualsIgnoreCase(key, known)) return true;
  }
  return false;
}

class Writer {
 public:
  Writer(const CProjectInfo& project, const FileLayout* layout, WriteCheck check)
      : project_(project), layout_(layout), playable_(check == WriteCheck::kPlayable) {}

  WriteResult Run() {
    Lines(layout_ ? &layout_->head : nullptr);
    out_ += "[Global]\n";
    GlobalValue("KLPVersion", project_.version);
    if (playable_ && (project_.source.empty() || project_.source == "*")) {
      Fail("the project names no movie: Source is " + Quote(project_.source));
    }
    GlobalValue("Source", project_.source);
    out_ += "Event=" + std::to_string(project_.events.size()) + "\n";
    out_ += "Marker=" + std::to_string(project_.markers.size()) + "\n";
    out_ += "HotSpot=" + std::to_string(project_.hotSpots.size()) + "\n";
    out_ += "Link=" + std::to_string(project_.links.size()) + "\n";
    out_ += "Effect=" + std::to_string(project_.effects.size()) + "\n";
    Lines(layout_ ? &layout_->globalTail : nullptr);
    WriteMarkers();
    WriteEvents();
    WriteHotSpots();
    WriteLinks();
    WriteEffects();
    if (layout_ != nullptr && !layout_->tail.empty()) {
      out_ += "\n";
      Lines(&layout_->tail);
    }
    WriteResult result;
    result.errors = std::move(errors_);
    if (result.errors.empty()) result.text = std::move(out_);
    return result;
  }

 private:
  void Fail(std::string error) { errors_.push_back(std::move(error)); }

  void Lines(const std::vector<std::string>* lines) {
    if (lines == nullptr) return;
    for (const std::string& line : *lines) out_ += line + "\n";
  }

  void Comments(const std::string& key) {
    if (layout_ == nullptr) return;
    const auto found = layout_->before.find(key);
    if (found != layout_->before.end()) Lines(&found->second);
  }

  // A record's line after the comments that stood before it.
  void Put(const std::string& key, const std::string& line) {
    Comments(key);
    out_ += line + "\n";
  }

  void Section(char letter, std::string_view header) {
    out_ += "\n";
    Comments(std::string(1, letter));
    out_ += std::string(header) + "\n";
  }

  // A value the profile reader gives back as it is: blanks around it and a pair of quotes
  // enclosing it are taken off, so such a value is written in one more pair of quotes.
  void GlobalValue(std::string_view key, const std::string& value) {
    const std::string what = std::string(key) + " " + Quote(value);
    if (value.find_first_of("\r\n") != std::string::npos) {
      Fail(what + " holds a line break, which ends the value");
    } else if (value.find('\0') != std::string::npos) {
      Fail(what + " holds a NUL byte, which ends the value");
    } else if (value.size() > kMaxGlobalValue) {
      Fail(what + " is longer than the " + std::to_string(kMaxGlobalValue) +
           " characters that are read");
    }
    const bool wrap = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                         ((value.front() == '"' || value.front() == '\'') &&
                                          value.size() >= 2 && value.back() == value.front()));
    out_ += std::string(key) + "=" + (wrap ? "\"" + value + "\"" : value) + "\n";
  }

  // The line as the reader will see it; false, with the reason told, when it is not a record
  // line of its section.
  bool RecordLine(const std::string& what, const std::string& line) {
    const std::string_view trimmed = TrimBlanks(line);
    std::string problem;
    if (line.find_first_of("\r\n") != std::string::npos) {
      problem = "holds a line break";
    } else if (trimmed.empty()) {
      problem = "would be an empty line, which is skipped";
    } else if (trimmed.front() == ';') {
      problem = "would be read as a comment: " + Quote(trimmed);
    } else if (HeaderSection(trimmed)) {
      problem = "would be read as a section header";
    }
    if (problem.empty()) return true;
    Fail(what + " cannot be written: its line " + problem);
    return false;
  }

  // Parses line again into a fresh record and compares it with record.
  template <typename Record>
  void ReadsBack(const std::string& what, const Record& record, const std::string& line) {
    if (!RecordLine(what, line)) return;
    Record again;
    again.Parse(TrimBlanks(line));
    if (const char* field = DifferingField(record, again)) {
      Fail(what + " cannot be written: its " + field + " would read back otherwise from " +
           Quote(TrimBlanks(line)));
    }
  }

  void NotQuoted(const std::string& what, const std::string& name) {
    if (playable_ && InQuotes(name)) {
      Fail(what + ": a name in double quotes keeps them, and the page receives them");
    }
  }

  void Unique(std::set<std::string>& names, const std::string& what, const std::string& name) {
    if (playable_ && !names.insert(name).second) Fail(what + ": a second record of that name");
  }

  void WriteMarkers() {
    if (project_.markers.empty()) return;
    Section('M', "[Marker]");
    std::set<std::string> names;
    std::map<std::string, int> seen;
    for (const auto& marker : project_.markers) {
      const std::string what = "marker " + Quote(marker->name);
      const std::string line = marker->name + ":" + std::to_string(marker->frame);
      ReadsBack(what, *marker, line);
      NotQuoted(what, marker->name);
      Unique(names, what, marker->name);
      Put(PlaceKey('M', marker->name, seen), line);
    }
  }

  void WriteEvents() {
    if (project_.events.empty()) return;
    Section('E', "[Event]");
    std::map<std::string, int> seen;
    for (const auto& event : project_.events) {
      const std::string what = "event " + Quote(event->name);
      std::string line = event->name + ":" + std::to_string(event->frame);
      if (!event->kind.empty() || !event->params.empty()) line += ":" + event->kind;
      if (!event->params.empty()) line += ":" + event->params;
      ReadsBack(what, *event, line);
      NotQuoted(what, event->name);
      Put(PlaceKey('E', event->name, seen), line);
    }
  }

  void WriteHotSpots() {
    if (project_.hotSpots.empty()) return;
    Section('H', "[HotSpot]");
    std::set<std::string> names;
    std::map<std::string, int> seen;
    for (const auto& spot : project_.hotSpots) {
      const std::string what = "hot spot " + Quote(spot->name);
      const std::string header = "(" + spot->name + ":" + spot->linkName + ":" + spot->shape + ":" +
                                 std::to_string(spot->startFrame) + "-" +
                                 std::to_string(spot->endFrame) + ":" +
                                 std::to_string(spot->keyFrames.size()) + ")";
      if (RecordLine(what, header)) {
        CHotSpotInfo again;
        again.Parse(header);
        again.keyFrames = spot->keyFrames;  // the count is the key frames'
        if (const char* field = DifferingField(*spot, again)) {
          Fail(what + " cannot be written: its " + field + " would read back otherwise from " +
               Quote(header));
        }
      }
      if (playable_) PlayableHotSpot(what, *spot);
      NotQuoted(what, spot->name);
      Unique(names, what, spot->name);
      const std::string key = PlaceKey('H', spot->name, seen);
      Put(key, header);
      for (const KeyFrame& k : spot->keyFrames) {
        if (k.frame < 0) {
          Fail(what + ": key frame " + std::to_string(k.frame) +
               " cannot be written: frames are 0 or more");
        }
        Put(KeyFrameKey(key, k.frame),
            std::to_string(k.frame) + ":" + std::to_string(k.left) + "," + std::to_string(k.top) +
                "," + std::to_string(k.right) + "," + std::to_string(k.bottom));
      }
    }
  }

  void PlayableHotSpot(const std::string& what, const CHotSpotInfo& spot) {
    if (spot.shape != "R" && spot.shape != "r" && spot.shape != "C" && spot.shape != "c") {
      Fail(what + ": the shape " + Quote(spot.shape) + " is never hit; use R or C");
    }
    if (spot.startFrame > spot.endFrame) {
      Fail(what + ": it starts at frame " + std::to_string(spot.startFrame) +
           ", after its end at frame " + std::to_string(spot.endFrame));
    }
    if (spot.keyFrames.empty()) Fail(what + ": it has no key frames");
    for (std::size_t i = 0; i < spot.keyFrames.size(); ++i) {
      const KeyFrame& k = spot.keyFrames[i];
      if (i > 0 && k.frame <= spot.keyFrames[i - 1].frame) {
        Fail(what + ": key frame " + std::to_string(k.frame) + " follows key frame " +
             std::to_string(spot.keyFrames[i - 1].frame) + "; key frames must ascend");
      }
      if (k.left > k.right || k.top > k.bottom) {
        Fail(what + ": key frame " + std::to_string(k.frame) + " has an empty rectangle");
      }
    }
  }

  void WriteLinks() {
    if (project_.links.empty()) return;
    Section('L', "[Link]");
    std::map<std::string, int> seen;
    for (const auto& link : project_.links) {
      const std::string what = "link " + Quote(link->name);
      // The parameter as the kind keeps it.
      std::string parameter;
      if (link->kind == "URL") {
        parameter = QuotedPart(link->url, ":,");
        if (!link->urlTarget.empty()) parameter += "," + QuotedPart(link->urlTarget, ":,");
      } else if (link->kind == "SEEK") {
        parameter = link->seekParam;
      } else if (link->kind == "PLAYER") {
        parameter = QuotedPart(link->playerParam, ":");
      }
      std::string line = link->name;
      if (!link->kind.empty() || !parameter.empty() || !link->extra.empty()) {
        line += ":" + link->kind;
      }
      if (!parameter.empty() || !link->extra.empty()) line += ":" + parameter;
      if (!link->extra.empty()) line += ":" + link->extra;
      ReadsBack(what, *link, line);
      Put(PlaceKey('L', link->name, seen), line);
    }
  }

  void WriteEffects() {
    if (project_.effects.empty()) return;
    Section('F', "[Effect]");
    std::set<std::string> names;
    std::map<std::string, int> seen;
    for (const auto& effect : project_.effects) {
      const std::string what = "effect " + Quote(effect->name);
      for (const int32_t colour : {effect->frameColor, effect->highlightColor}) {
        if (colour < 0) Fail(what + ": the colour " + std::to_string(colour) + " is negative");
      }
      const std::string line = effect->name + ":" + ColourText(effect->frameColor) + ":" +
                               std::to_string(effect->lineWidth) + ":" +
                               ColourText(effect->highlightColor) + ":" +
                               std::to_string(effect->visibility);
      ReadsBack(what, *effect, line);
      if (playable_) {
        if (effect->visibility != 0 && effect->visibility != 1) {
          Fail(what + ": visibility " + std::to_string(effect->visibility) +
               " is neither 1 (shown) nor 0 (hidden)");
        }
        if (project_.FindHotSpot(effect->name, -1, nullptr) < 0) {
          Fail(what + ": no hot spot has its name");
        } else if (!names.insert(effect->name).second) {
          Fail(what + ": its hot spot has an effect already");
        }
      }
      Put(PlaceKey('F', effect->name, seen), line);
    }
  }

  const CProjectInfo& project_;
  const FileLayout* layout_;
  const bool playable_;
  std::string out_;
  std::vector<std::string> errors_;
};

}  // namespace

void FileLayout::OnLine(const ReadLine& line) {
  const std::string text(line.text);
  switch (line.use) {
    case LineUse::kSkipped:
      if (!text.empty()) tail.push_back(text);
      return;
    case LineUse::kOutside:
      if (!text.empty() && text.front() == '[') {
        // The profile reader reads the first section named Global and nothing else.
        const std::string_view name =
            TrimBlanks(std::string_view(text).substr(1, text.find(']') - 1));
        otherSection_ = sawGlobal_ || !EqualsIgnoreCase(name, "Global");
        if (!otherSection_) {
          sawGlobal_ = true;
          Attach(head);
        }
        return;
      }
      if (!sawGlobal_ || otherSection_) return;
      Attach(globalTail);
      if (text.find('=') != std::string::npos && !IsKnownGlobalKey(text)) {
        globalTail.push_back(text);
      }
      return;
    case LineUse::kSectionHeader:
      Attach(before[std::string(1, SectionLetter(line.section))]);
      return;
    case LineUse::kDropped:
      return;
    case LineUse::kKeyFrame: {
      CHotSpotInfo spot;
      spot.ParseKeyFrames({text});
      Attach(before[KeyFrameKey(spotKey_, spot.keyFrames[0].frame)]);
      return;
    }
    default: {
      const std::string key =
          PlaceKey(SectionLetter(line.section), RecordName(line.section, text), seen_);
      if (line.use == LineUse::kHotSpotHeader) spotKey_ = key;
      Attach(before[key]);
      return;
    }
  }
}

void FileLayout::Attach(std::vector<std::string>& to) {
  to.insert(to.end(), tail.begin(), tail.end());
  tail.clear();
}

WriteResult WriteProject(const CProjectInfo& project, const FileLayout* layout, WriteCheck check) {
  return Writer(project, layout, check).Run();
}

std::string ColourText(int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%06X", static_cast<unsigned>(value));
  return buffer;
}

const char* DifferingField(const CEventInfo& a, const CEventInfo& b) {
  if (a.name != b.name) return "name";
  if (a.frame != b.frame) return "frame";
  if (a.kind != b.kind) return "kind";
  if (a.params != b.params) return "parameters";
  if (a.url != b.url) return "URL";
  if (a.urlTarget != b.urlTarget) return "URL target";
  if (a.tacParam1 != b.tacParam1 || a.tacParam2 != b.tacParam2 || a.tacParam3 != b.tacParam3) {
    return "TAC parameters";
  }
  return nullptr;
}

const char* DifferingField(const CMarkerInfo& a, const CMarkerInfo& b) {
  if (a.name != b.name) return "name";
  if (a.frame != b.frame) return "frame";
  return nullptr;
}

const char* DifferingField(const CHotSpotInfo& a, const CHotSpotInfo& b) {
  if (a.name != b.name) return "name";
  if (a.linkName != b.linkName) return "link name";
  if (a.shape != b.shape) return "shape";
  if (a.startFrame != b.startFrame) return "start frame";
  if (a.endFrame != b.endFrame) return "end frame";
  if (a.keyFrames.size() != b.keyFrames.size()) return "key frames";
  for (std::size_t i = 0; i < a.keyFrames.size(); ++i) {
    const KeyFrame &x = a.keyFrames[i], &y = b.keyFrames[i];
    if (x.frame != y.frame || x.left != y.left || x.top != y.top || x.right != y.right ||
        x.bottom != y.bottom) {
      return "key frames";
    }
  }
  return nullptr;
}

const char* DifferingField(const CLinkInfo& a, const CLinkInfo& b) {
  if (a.name != b.name) return "name";
  if (a.kind != b.kind) return "kind";
  if (a.seekParam != b.seekParam) return "SEEK parameter";
  if (a.playerParam != b.playerParam) return "PLAYER parameter";
  if (a.url != b.url) return "URL";
  if (a.urlTarget != b.urlTarget) return "URL target";
  if (a.extra != b.extra) return "extra field";
  return nullptr;
}

const char* DifferingField(const CEffectInfo& a, const CEffectInfo& b) {
  if (a.name != b.name) return "name";
  if (a.frameColor != b.frameColor) return "frame colour";
  if (a.lineWidth != b.lineWidth) return "line width";
  if (a.highlightColor != b.highlightColor) return "highlight colour";
  if (a.visibility != b.visibility) return "visibility";
  return nullptr;
}

}  // namespace klp
