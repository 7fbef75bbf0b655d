#include "lint/read_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace klp::lint {
namespace {

void Place(std::vector<int64_t>& lines, int index, int64_t number) {
  if (index < 0) return;
  if (lines.size() <= static_cast<std::size_t>(index)) lines.resize(index + 1, 0);
  lines[index] = number;
}

}  // namespace

void ReadTrace::OnGlobal(const CProjectInfo& project) {
  global =
      GlobalValues{project.version,      project.source,    project.eventCount, project.markerCount,
                   project.hotSpotCount, project.linkCount, project.effectCount};
}

void ReadTrace::OnLine(const ReadLine& line) {
  lines.push_back(
      {line.number, std::string(line.text), line.use, line.section, line.index, line.part});
  switch (line.use) {
    case LineUse::kEvent:
      Place(eventLines, line.index, line.number);
      break;
    case LineUse::kMarker:
      Place(markerLines, line.index, line.number);
      break;
    case LineUse::kLink:
      Place(linkLines, line.index, line.number);
      break;
    case LineUse::kEffect:
      Place(effectLines, line.index, line.number);
      break;
    case LineUse::kHotSpotHeader:
      Place(hotSpotLines, line.index, line.number);
      if (keyFrameLines.size() <= static_cast<std::size_t>(line.index)) {
        keyFrameLines.resize(line.index + 1);
      }
      break;
    case LineUse::kKeyFrame:
      if (line.index >= 0 && static_cast<std::size_t>(line.index) < keyFrameLines.size()) {
        keyFrameLines[line.index].push_back(line.number);
      }
      break;
    default:
      break;
  }
}

std::unique_ptr<TracedProject> ReadTraced(const std::string& path) {
  auto traced = std::make_unique<TracedProject>();
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    traced->opened = true;
    std::fclose(file);
  } else {
    traced->openError = std::strerror(errno);
  }
  traced->result = traced->project.Read(path, &traced->trace);
  return traced;
}

int64_t LineAt(const std::vector<int64_t>& lines, std::size_t index) {
  return index < lines.size() ? lines[index] : 0;
}

}  // namespace klp::lint
