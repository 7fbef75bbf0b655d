// How CProjectInfo::Read took each line of a project file, for tools that explain a read (the
// project checker and summary). The reader only calls an observer when one is given; it reads
// the same with or without one.
#pragma once

#include <cstdint>
#include <string_view>

class CProjectInfo;

namespace klp {

enum class LineUse {
  kSkipped,        // blank or comment line
  kOutside,        // a line before the first section header (the "Global" area): ignored
  kSectionHeader,  // one of the five section headers; the section it opens is in `section`
  kEvent,          // record line of [Event]; index: the event's position
  kMarker,         // record line of [Marker]; index: the marker's position
  kLink,           // record line of [Link]; index: the link's position
  kEffect,         // record line of [Effect]; index: the effect's position
  kHotSpotHeader,  // header of a hot-spot block; index: the hot spot's position, part: the
                   // block's number in its pass (0 for the line that started the pass)
  kKeyFrame,       // key-frame line; index: its hot spot's position, part: its number (0 first)
  kDropped,        // a line of [HotSpot] that no block takes: the "HotSpot" count is 0 or less
};

enum class Section { kNone, kEvent, kMarker, kHotSpot, kLink, kEffect };

struct ReadLine {
  int64_t number = 0;     // 1 for the file's first line
  std::string_view text;  // the line, trimmed; valid only during the call
  LineUse use = LineUse::kSkipped;
  Section section = Section::kNone;  // the open section once the line is taken
  int index = -1;
  int32_t part = -1;
};

class ReadObserver {
 public:
  virtual ~ReadObserver() = default;
  // Read only: the "Global" values are in project, before the first line is read.
  virtual void OnGlobal(const CProjectInfo& project) {}
  // Every line, in file order, once the reader has taken it.
  virtual void OnLine(const ReadLine& line) = 0;
};

}  // namespace klp
