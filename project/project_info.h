// CProjectInfo: a project in memory, read from a project (".klp") file.
//
// The file is a profile-style text file. Its "Global" section (version, movie name, record counts)
// is read through the profile reader; everything after it is read by Read's own line loop, which
// knows the section headers [Event], [Marker], [HotSpot], [Link] and [Effect] (any letter case)
// and hands every other line to the record of the section opened last. Records keep file order.
// The player owns one project, fills it with one Read and afterwards only looks records up.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/line_reader.h"
#include "project/read_observer.h"
#include "project/records.h"

namespace klp {

// The section that a trimmed line opens, when it is one of the five section headers.
std::optional<Section> HeaderSection(std::string_view line);
}  // namespace klp

class CProjectInfo {
 public:
  CProjectInfo() = default;
  virtual ~CProjectInfo();
  CProjectInfo(const CProjectInfo&) = delete;
  CProjectInfo& operator=(const CProjectInfo&) = delete;
  CProjectInfo(CProjectInfo&&) = default;
  CProjectInfo& operator=(CProjectInfo&&) = default;

  // Reads the project file at path: 0 on success, -1 when the file cannot be opened, a read
  // fails or memory runs out. Records are appended to the lists, which are not emptied first.
  // On success the five counts are the sizes of the lists; on failure they keep the "Global"
  // section's values. An observer, when given, is told the "Global" values and how each line
  // was taken; it changes nothing in the read. Without an observer, a read of path begun ahead
  // (project/read_ahead.h) is finished and taken instead.
  int Read(const std::string& path, klp::ReadObserver* observer = nullptr);
  // Read's first part: sets path and the "Global" values from the file at filePath, and tells
  // the observer. Lets an allocation failure through.
  void ReadGlobal(const std::string& filePath, klp::ReadObserver* observer = nullptr);
  // The line loop of Read over lines already opened, after the "Global" values are in place.
  // Unlike Read, lets an allocation failure through.
  int ReadRecords(klp::LineSource& lines, klp::ReadObserver* observer = nullptr);

  // Deletes every record of every list and sets the counts to 0.
  void RemoveAll();

  // Make a record from one record line and append it; return its position. Counts are unchanged.
  int AddEvent(std::string_view line);
  int AddMarker(std::string_view line);
  int AddLink(std::string_view line);
  int AddEffect(std::string_view line);
  // As above for a hot spot's header line; keyFrameCount receives the count the header gives.
  int AddHotSpot(std::string_view line, int32_t& keyFrameCount);
  // Parses lines as the key frames of hot spot index; returns index, or -1 if there is none.
  int SetHotSpotKeyFrames(const std::vector<std::string>& lines, int index);

  // Lookups. With an empty name: the record at index, if 0 <= index < size. Otherwise the first
  // record whose name equals name exactly (index ignored). Returns the position and sets *record
  // (when record is not null), or returns -1 and leaves *record alone.
  int FindEvent(std::string_view name, int index, const CEventInfo** record) const;
  int FindMarker(std::string_view name, int index, const CMarkerInfo** record) const;
  int FindHotSpot(std::string_view name, int index, const CHotSpotInfo** record) const;
  int FindEffect(std::string_view name, int index, const CEffectInfo** record) const;

  std::string version = "1.00";
  std::string source;  // the movie file's name
  int32_t eventCount = 0;
  int32_t markerCount = 0;
  int32_t hotSpotCount = 0;
  int32_t linkCount = 0;
  int32_t effectCount = 0;
  std::vector<std::unique_ptr<CEventInfo>> events;
  std::vector<std::unique_ptr<CMarkerInfo>> markers;
  std::vector<std::unique_ptr<CHotSpotInfo>> hotSpots;
  std::vector<std::unique_ptr<CLinkInfo>> links;
  std::vector<std::unique_ptr<CEffectInfo>> effects;
  std::string path;  // path last given to Read
};

namespace klp {

// Read's line loop, a line at a time: Take each line in file order, then Finish. Records go into
// the project, whose "Global" values must be in place; the observer, when given, is told of each
// line. Lets an allocation failure through.
class RecordReader {
 public:
  RecordReader(CProjectInfo& project, ReadObserver* observer)
      : project_(project), observer_(observer) {}

  void Take(std::string_view line);
  // After the last line (status kEnd) or a failed read (kError): Read's result, 0 or -1.
  int Finish(LineStatus status);

 private:
  void TakeBlockLine(std::string_view line);
  void EndBlock();
  void Tell(std::string_view text, LineUse use, Section section, int index = -1,
            int32_t part = -1) const;

  CProjectInfo& project_;
  ReadObserver* observer_;
  int64_t number_ = 0;  // lines taken
  Section open_ = Section::kNone;
  int32_t block_ = -1;            // the hot-spot block being read in a pass; -1 outside a pass
  CHotSpotInfo* spot_ = nullptr;  // its hot spot once its header is read, until its last key
  int position_ = -1;             // that hot spot's position
  int32_t keyCount_ = 0;          // key-frame lines its header announces
  int32_t key_ = 0;               // key-frame lines read so far
};

}  // namespace klp
