// Reads bytes as a project file and checks what a read must always leave behind; shared by the
// libFuzzer target and the deterministic mutation run.
#pragma once

#include <string>
#include <string_view>

namespace klp::fuzz {

// A file of its own in the temporary directory, removed with the object.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes bytes to path and reads the project there. Returns an empty string when the result is
// sound, else what is wrong with it.
std::string ReadAndCheck(std::string_view bytes, const std::string& path);

}  // namespace klp::fuzz
