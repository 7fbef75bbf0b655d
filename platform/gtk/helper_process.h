// The helper program as a child process: started with a socket pair as its standard input and
// output, written to without SIGPIPE, read without blocking, and always reaped.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace gtkui {

class HelperProcess {
 public:
  HelperProcess() = default;
  ~HelperProcess();  // Stop()
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // Starts path with args (argv[0] is path). False with *error set when it cannot be started.
  bool Start(const std::string& path, const std::vector<std::string>& args, std::string* error);
  bool Started() const { return fd_ >= 0; }
  pid_t pid() const { return pid_; }
  // The plug-in's end of the socket pair: readable when lines or the end of the stream arrive.
  int fd() const { return fd_; }

  // Sends one line (a line break is added). False when the helper is gone.
  bool Send(std::string_view line);

  enum class ReadResult { Open, Closed };
  // Appends what has arrived to *data without waiting; Closed at the end of the stream.
  ReadResult Read(std::string* data);

  // Kills the helper (SIGKILL) and reaps it.
  void Kill();
  // Closes the socket, which ends a helper that is well; kills it after graceMs.
  void Stop(int graceMs = 500);
  // How the helper ended, once it has ("exited with status 1", "killed by signal 9"); reaps it
  // when it has ended. Empty while it runs.
  std::string Ended();

 private:
  void Reap(bool wait);
  void Forget();

  pid_t pid_ = -1;
  int fd_ = -1;
  std::string ended_;
};

}  // namespace gtkui
