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
struct LineCursor;

// The section that a trimmed line opens, when it is one of the five section headers.
std::optional<Section> HeaderSection(std::string_view line);
}  // namespace klp

class CProjectInfo {
 public:
  CProjectInfo() = default;
  virtual ~CProjectInfo();
  CProjectInfo(const CProjectInfo&) = delete;
  CProjectInfo& operator=(const CProjectInfo&) = delete;

  // Reads the project file at path: 0 on success, -1 when the file cannot be opened, a read
  // fails or memory runs out. Records are appended to the lists, which are not emptied first.
  // On success the five counts are the sizes of the lists; on failure they keep the "Global"
  // section's values. An observer, when given, is told the "Global" values and how each line
  // was taken; it changes nothing in the read.
  int Read(const std::string& path, klp::ReadObserver* observer = nullptr);
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

 private:
  klp::LineStatus ReadHotSpotBlocks(klp::LineCursor& lines, std::string& header);
};
