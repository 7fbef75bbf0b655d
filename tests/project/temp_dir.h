// A directory of its own under the system's temporary directory, removed with everything in it
// when the object goes; tests write their project files into it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace klp::test {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    do {
      dir_ = base / ("klp_project_" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(dir_));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes content, bytes as they are, and returns the file's path.
  std::string Write(const std::string& name, std::string_view content) const {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace klp::test
