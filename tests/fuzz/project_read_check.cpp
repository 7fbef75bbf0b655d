#include "tests/fuzz/project_read_check.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "project/project_info.h"

namespace klp::fuzz {

ScratchFile::ScratchFile() {
  std::random_device random;
  path_ = (std::filesystem::temp_directory_path() /
           ("klp_fuzz_" + std::to_string(random()) + std::to_string(random()) + ".klp"))
              .string();
}

ScratchFile::~ScratchFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string ReadAndCheck(std::string_view bytes, const std::string& path) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return "cannot write " + path;
  }
  CProjectInfo project;
  if (project.Read(path) != 0) return "a readable file was not read";
  if (project.path != path) return "path not kept";
  if (project.version.size() > 255 || project.source.size() > 255) return "global value too long";
  if (static_cast<std::size_t>(project.eventCount) != project.events.size() ||
      static_cast<std::size_t>(project.markerCount) != project.markers.size() ||
      static_cast<std::size_t>(project.hotSpotCount) != project.hotSpots.size() ||
      static_cast<std::size_t>(project.linkCount) != project.links.size() ||
      static_cast<std::size_t>(project.effectCount) != project.effects.size()) {
    return "counts differ from the records read";
  }
  for (const auto& spot : project.hotSpots) {
    if (static_cast<std::size_t>(spot->keyFrameCount) != spot->keyFrames.size()) {
      return "hot spot " + spot->name + ": key-frame count differs from its key frames";
    }
  }
  return {};
}

}  // namespace klp::fuzz
