// A project read through the plug-in's own reader, with a record of how every line was taken:
// the ground the lint rules and `klp info` stand on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "project/project_info.h"
#include "project/read_observer.h"

namespace klp::lint {

struct TracedLine {
  int64_t number = 0;
  std::string text;  // trimmed
  LineUse use = LineUse::kSkipped;
  Section section = Section::kNone;
  int index = -1;
  int32_t part = -1;
};

// The "Global" values as Read took them, before the counts are replaced by the records read.
struct GlobalValues {
  std::string version;
  std::string source;
  int32_t events = 0;
  int32_t markers = 0;
  int32_t hotSpots = 0;
  int32_t links = 0;
  int32_t effects = 0;
};

class ReadTrace final : public ReadObserver {
 public:
  void OnGlobal(const CProjectInfo& project) override;
  void OnLine(const ReadLine& line) override;

  std::optional<GlobalValues> global;
  std::vector<TracedLine> lines;  // every line of the file, in order
  // Line number of each record, by its position in its list.
  std::vector<int64_t> eventLines;
  std::vector<int64_t> markerLines;
  std::vector<int64_t> hotSpotLines;                // the header line
  std::vector<std::vector<int64_t>> keyFrameLines;  // per hot spot, per key frame
  std::vector<int64_t> linkLines;
  std::vector<int64_t> effectLines;
};

struct TracedProject {
  CProjectInfo project;
  ReadTrace trace;
  bool opened = false;    // the file could be opened for reading
  std::string openError;  // why not
  int result = -1;        // what Read answered
};

// Reads the project file at path. The result says whether it could be read at all.
std::unique_ptr<TracedProject> ReadTraced(const std::string& path);

// Line number of the record, or 0 when unknown.
int64_t LineAt(const std::vector<int64_t>& lines, std::size_t index);

}  // namespace klp::lint
