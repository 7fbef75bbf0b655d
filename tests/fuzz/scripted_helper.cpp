#include "tests/fuzz/scripted_helper.h"

#include <unistd.h>

#include <algorithm>

#include "platform/gtk/helper_process.h"

namespace klp::fuzz {

HelperScript& Script() {
  static HelperScript script;
  return script;
}

namespace {

// Readable for good: the presenter's wait wakes at once and reads the script.
int AlwaysReadable() {
  static const int fd = [] {
    int p[2];
    if (pipe(p) != 0 || write(p[1], "x", 1) != 1) return -1;
    return p[0];
  }();
  return fd;
}

}  // namespace
}  // namespace klp::fuzz

namespace gtkui {

using klp::fuzz::Script;

HelperProcess::~HelperProcess() { Stop(); }

bool HelperProcess::Start(const std::string& path, const std::vector<std::string>&,
                          std::string* error) {
  ++Script().starts;
  if (Script().startFails) {
    *error = "cannot start " + path;
    return false;
  }
  pid_ = -1;
  fd_ = klp::fuzz::AlwaysReadable();
  ended_.clear();
  return true;
}

bool HelperProcess::Send(std::string_view line) {
  if (fd_ < 0) return false;
  Script().heard.emplace_back(line);
  if (line.rfind("menu ", 0) == 0 || line.rfind("dialog ", 0) == 0) {
    const size_t start = line.find(' ') + 1;
    Script().serial = std::string(line.substr(start, line.find(' ', start) - start));
  }
  return true;
}

HelperProcess::ReadResult HelperProcess::Read(std::string* data) {
  klp::fuzz::HelperScript& s = Script();
  if (fd_ < 0 || s.says.empty()) return ReadResult::Closed;
  size_t n = s.says.size();
  if (!s.reads.empty()) {
    n = std::min(n, s.reads.front());
    s.reads.erase(s.reads.begin());
    if (n > 0 && n < s.says.size() && s.says[n - 1] == '$' && s.says[n] == 'S') ++n;
  }
  // The serial is the one of the request up when the helper says it.
  std::string chunk = s.says.substr(0, n);
  s.says.erase(0, n);
  for (size_t at = 0; (at = chunk.find("$S", at)) != std::string::npos; at += s.serial.size())
    chunk.replace(at, 2, s.serial);
  *data += chunk;
  return ReadResult::Open;
}

void HelperProcess::Kill() {
  fd_ = -1;
  ended_ = "killed by signal 9";
}

void HelperProcess::Stop(int) {
  if (fd_ < 0) return;
  fd_ = -1;
  ended_ = "exited with status 0";
}

std::string HelperProcess::Ended() { return ended_; }

}  // namespace gtkui
