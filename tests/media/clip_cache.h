// A private temporary directory, and the test clips made once per process into another.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/media/clip_maker.h"

namespace klp::test {

class MediaTempDir {
 public:
  MediaTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "klp_media_XXXXXX").string();
    dir_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~MediaTempDir() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  MediaTempDir(const MediaTempDir&) = delete;
  MediaTempDir& operator=(const MediaTempDir&) = delete;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

// The clip for spec, made at its first use in this process.
inline std::string Clip(const ClipSpec& spec) {
  static MediaTempDir dir;
  static std::map<std::string, std::string> made;
  std::string name = std::string(CodecName(spec.codec)) + "_" + std::to_string(spec.width) + "x" +
                     std::to_string(spec.height) + "_" + std::to_string(spec.frames) + "_" +
                     std::to_string(spec.fps) + "_" + std::to_string(spec.pixelAspect) +
                     Extension(spec.codec);
  auto it = made.find(name);
  if (it != made.end()) return it->second;
  std::string path = dir.Path(name), error;
  if (!MakeClip(spec, path, &error)) {
    ADD_FAILURE() << "cannot make " << name << ": " << error;
    return "";
  }
  return made[name] = path;
}

}  // namespace klp::test
