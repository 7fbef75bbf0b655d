// MakeClip: the clip tool run as a child process. KLP_CLIP_TOOL is its path, set by the build.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/media/clip_maker.h"

extern char** environ;

namespace klp::test {

bool MakeClip(const ClipSpec& spec, const std::string& path, std::string* error) {
  std::vector<std::string> args = {KLP_CLIP_TOOL,
                                   CodecName(spec.codec),
                                   std::to_string(spec.width),
                                   std::to_string(spec.height),
                                   std::to_string(spec.frames),
                                   std::to_string(spec.fps),
                                   std::to_string(spec.pixelAspect),
                                   path};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The tool's own leak check would only report the encoders.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0) env.push_back(*e);
  env.push_back("ASAN_OPTIONS=detect_leaks=0");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
    if (error) *error = std::string("cannot run ") + KLP_CLIP_TOOL;
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (error) *error = "the clip tool failed (status " + std::to_string(status) + ")";
  return false;
}

}  // namespace klp::test
