// `klp view` as a child process whose console lines are read as they come, for tests that act
// on the X server or the process while the page runs. KLP_VIEW is the viewer's path.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace klptest {

// klp view on display (empty: none, for --headless): its console lines are read as they come.
class Viewer {
 public:
  ~Viewer() { Stop(); }
  bool Start(const std::string& display, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> env;
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.push_back(*e);
    std::vector<char*> envp, argv{const_cast<char*>(KLP_VIEW)};
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, KLP_VIEW, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    fd_ = fds[0];
    return rc == 0;
  }
  pid_t pid() const { return pid_; }
  // Waits up to ms for a console line; true when it came.
  bool WaitFor(const std::string& line, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (Count(line) > 0) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      pollfd p{fd_, POLLIN, 0};
      poll(&p, 1, 50);
    }
  }
  // The next console line not yet taken, waiting up to ms for it; false when none came (or the
  // viewer ended).
  bool NextLine(std::string* line, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      Read();
      size_t eol = out_.find('\n', taken_);
      if (eol != std::string::npos) {
        *line = out_.substr(taken_, eol - taken_);
        taken_ = eol + 1;
        return true;
      }
      if (std::chrono::steady_clock::now() >= end || !Running()) return false;
      pollfd p{fd_, POLLIN, 0};
      poll(&p, 1, 50);
    }
  }
  size_t Count(const std::string& line) {
    Read();
    size_t n = 0;
    std::istringstream in(out_);
    for (std::string l; std::getline(in, l);) n += l == line;
    return n;
  }
  // The lines among wanted, in the order printed.
  std::vector<std::string> Only(const std::vector<std::string>& wanted) {
    Read();
    std::vector<std::string> got;
    std::istringstream in(out_);
    for (std::string l; std::getline(in, l);)
      if (std::find(wanted.begin(), wanted.end(), l) != wanted.end()) got.push_back(l);
    return got;
  }
  const std::string& out() {
    Read();
    return out_;
  }
  bool Running() { return pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0; }
  // Ends the viewer; its wait status (SIGTERM when it was still well).
  int Stop() {
    if (pid_ > 0) {
      if (Running()) {
        kill(pid_, SIGTERM);
        waitpid(pid_, &status_, 0);
      }
      pid_ = -1;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return status_;
  }
  // The helper program this browser started, or 0.
  pid_t Helper() const {
    DIR* proc = opendir("/proc");
    pid_t found = 0;
    while (dirent* e = proc ? readdir(proc) : nullptr) {
      pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
      if (pid <= 0) continue;
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string line;
      std::getline(stat, line);
      size_t close = line.rfind(')');
      if (close == std::string::npos || line.find("(npklod32-ui)") == std::string::npos) continue;
      std::istringstream rest(line.substr(close + 2));
      char state;
      pid_t parent = 0;
      rest >> state >> parent;
      if (parent == pid_ && state != 'Z') found = pid;
    }
    if (proc) closedir(proc);
    return found;
  }

 private:
  void Read() {
    char buf[4096];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (fd_ < 0 || poll(&p, 1, 0) <= 0) return;
      ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) return;
      out_.append(buf, static_cast<size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  int status_ = 0;
  std::string out_;
  size_t taken_ = 0;  // NextLine's place in out_
};

}  // namespace klptest
