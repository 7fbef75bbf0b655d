// A private X server for headless runs: Xvfb on a free display number, ended with the object
// (and by the kernel should this process die first).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace klpview {

class Xvfb {
 public:
  Xvfb() = default;
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // Starts the server with one screen of the given size (depth 24) and the extra arguments (as
  // "-extension", "MIT-SHM" to go without one) and waits until it accepts clients. False, with
  // error() set, when it cannot be started within timeoutMs.
  bool Start(int width, int height, int timeoutMs = 10000,
             const std::vector<std::string>& extra = {});
  // ":N" once started.
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace klpview
