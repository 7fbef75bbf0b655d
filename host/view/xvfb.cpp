#include "host/view/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace klpview {

Xvfb::~Xvfb() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 50; ++i) {  // up to 5 s, then no more patience
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    usleep(100 * 1000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

bool Xvfb::Start(int width, int height, int timeoutMs, const std::vector<std::string>& extra) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  // Made before the fork: the child only fills in the descriptor's number and runs Xvfb.
  char fdText[16] = "";
  std::vector<const char*> argv{"Xvfb", "-displayfd", fdText, "-screen", "0",
                                screen.c_str(), "-nolisten", "tcp", "-noreset"};
  for (const std::string& a : extra) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    close(fds[0]);
    int fd = fcntl(fds[1], F_DUPFD, 3);  // without close-on-exec, for -displayfd
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    std::snprintf(fdText, sizeof fdText, "%d", fd);
    execvp("Xvfb", const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes the display number and a line break once it accepts clients.
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char c;
    if (read(fds[0], &c, 1) != 1) break;  // the server ended (or Xvfb is not installed)
    if (c == '\n') {
      close(fds[0]);
      display_ = ":" + number;
      return !number.empty();
    }
    number += c;
  }
  close(fds[0]);
  error_ = "Xvfb did not start (is the xvfb package installed?)";
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return false;
}

}  // namespace klpview
