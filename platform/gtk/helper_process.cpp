#include "platform/gtk/helper_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace gtkui {

HelperProcess::~HelperProcess() { Stop(); }

bool HelperProcess::Start(const std::string& path, const std::vector<std::string>& args,
                          std::string* error) {
  Stop();
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    *error = std::string("socketpair: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pair[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pair[1], STDOUT_FILENO);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);  // the browser's own
#endif
  // The browser's signal mask and handlers are no business of the helper's.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(pair[1]);
  if (rc != 0) {
    close(pair[0]);
    *error = "cannot start " + path + ": " + std::strerror(rc);
    return false;
  }
  fcntl(pair[0], F_SETFL, fcntl(pair[0], F_GETFL) | O_NONBLOCK);
  pid_ = pid;
  fd_ = pair[0];
  ended_.clear();
  return true;
}

bool HelperProcess::Send(std::string_view line) {
  if (fd_ < 0) return false;
  std::string data(line);
  data += '\n';
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The helper reads its input all the time; a full socket means it hangs.
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 1000) > 0 && (p.revents & POLLOUT)) continue;
    }
    return false;
  }
  return true;
}

HelperProcess::ReadResult HelperProcess::Read(std::string* data) {
  if (fd_ < 0) return ReadResult::Closed;
  char buf[4096];
  for (;;) {
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n > 0) {
      data->append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadResult::Open;
    return ReadResult::Closed;
  }
}

void HelperProcess::Kill() {
  if (Ended().empty() && pid_ > 0) kill(pid_, SIGKILL);
  Reap(true);
  Forget();
}

void HelperProcess::Stop(int graceMs) {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (pid_ <= 0) return;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (Ended().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  Kill();
}

std::string HelperProcess::Ended() {
  Reap(false);
  return ended_;
}

void HelperProcess::Reap(bool wait) {
  if (pid_ <= 0 || !ended_.empty()) return;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, wait ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return;
  if (r < 0) {
    ended_ = "ended";  // reaped by someone else (a host's SIGCHLD handler)
  } else if (WIFEXITED(status)) {
    ended_ = "exited with status " + std::to_string(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    ended_ = "killed by signal " + std::to_string(WTERMSIG(status));
  } else {
    ended_ = "ended";
  }
}

void HelperProcess::Forget() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  pid_ = -1;
}

}  // namespace gtkui
