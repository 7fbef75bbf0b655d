#include "host/edit/edit.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "host/args.h"
#include "host/edit/server.h"
#include "host/movie_probe.h"
#include "host/view/options.h"

namespace klp::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "usage: klp edit MOVIE [PROJECT.klp] [--no-open] [--web-dir DIR]\n"
    "\n"
    "Edits the hot spots, markers and events of a project over its movie in a browser. The\n"
    "editor is served on 127.0.0.1 at an address with a random token, which is printed, and\n"
    "opened with `klp view --engine chromium` unless --no-open. Only PROJECT.klp is written (by\n"
    "default MOVIE's name with .klp), its previous version kept as PROJECT.klp~.\n"
    "\n"
    "  --no-open      print the address only; end with Ctrl-C\n"
    "  --web-dir DIR  take the web runtime (klp.js, klp.wasm, klp-edit.js) from DIR\n"
    "\n"
    "exit codes: 0 done, 1 cannot listen, 2 usage, 3 no such movie or folder,\n"
    "            4 the editor's page or the web runtime missing\n";

bool HasKlpExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".klp";
}

// Where the page and the runtime are: the source and build trees when klp runs from the build
// tree, else under the install prefix.
std::string PageDir() {
  return klpview::FindViewerFile(klpview::ExecutablePath(), KLP_BUILD_DIR, KLP_EDIT_PAGE_BUILD_DIR,
                                 KLP_DATA_DIR "/edit");
}
std::string WebDir() {
  return klpview::FindViewerFile(klpview::ExecutablePath(), KLP_BUILD_DIR, KLP_WEB_BUILD_DIR,
                                 KLP_DATA_DIR "/web");
}

// Starts `klp view --engine chromium URL`; its process id, or -1.
pid_t OpenInViewer(const std::string& url, const sigset_t& oldMask) {
  const std::string self = klpview::ExecutablePath();
  pid_t pid = fork();
  if (pid != 0) return pid;
  sigprocmask(SIG_SETMASK, &oldMask, nullptr);
  const char* argv[] = {self.c_str(), "view",   "--engine", "chromium",
                        "--size",     "1280x860", url.c_str(), nullptr};
  execv(self.c_str(), const_cast<char* const*>(argv));
  _exit(127);
}

}  // namespace

std::string DefaultProjectPath(const std::string& movie) {
  return fs::path(movie).replace_extension(".klp").string();
}

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Args parsed = ParseArgs(args, {"--web-dir"}, {"--no-open"});
  if (parsed.help) {
    out << kHelp;
    return 0;
  }
  std::string usage = parsed.error;
  if (usage.empty() && (parsed.positional.empty() || parsed.positional.size() > 2)) {
    usage = parsed.positional.empty() ? "no movie given" : "give a movie and at most one project";
  }
  const std::string movie = usage.empty() ? parsed.positional[0] : std::string();
  const std::string project = !usage.empty()                ? std::string()
                              : parsed.positional.size() == 2 ? parsed.positional[1]
                                                              : DefaultProjectPath(movie);
  std::error_code ec;
  if (usage.empty() && !HasKlpExtension(project)) {
    usage = "the project's name must end in .klp: " + project;
  } else if (usage.empty() && fs::exists(project, ec) && fs::equivalent(project, movie, ec)) {
    usage = "the project and the movie are the same file: " + project;
  }
  if (!usage.empty()) {
    err << "klp edit: " << usage << "\n" << kHelp;
    return 2;
  }
  if (!fs::is_regular_file(movie, ec)) {
    err << "klp edit: no such movie: " << movie << "\n";
    return kEditNoFile;
  }
  if (fs::exists(project, ec) && !fs::is_regular_file(project, ec)) {
    err << "klp edit: the project is not a file: " << project << "\n";
    return kEditNoFile;
  }
  const fs::path folder = fs::absolute(project, ec).parent_path();
  if (!fs::is_directory(folder, ec)) {
    err << "klp edit: no such folder for the project: " << folder.string() << "\n";
    return kEditNoFile;
  }

  edit::ServerConfig config;
  config.project = fs::absolute(project, ec).lexically_normal().string();
  config.movie = fs::absolute(movie, ec).lexically_normal().string();
  config.pageDir = PageDir();
  const auto webDir = parsed.values.find("--web-dir");
  config.webDir = webDir != parsed.values.end() ? webDir->second : WebDir();
  for (const fs::path& file : {fs::path(config.pageDir) / "index.html",
                               fs::path(config.webDir) / "klp.js",
                               fs::path(config.webDir) / "klp-edit.js"}) {
    if (!fs::is_regular_file(file, ec)) {
      err << "klp edit: the editor is missing " << file.string()
          << " (build the web runtime with bash scripts/build-web.sh, or name its directory with "
             "--web-dir)\n";
      return kEditNoPage;
    }
  }
  std::string why;
  if (std::optional<MovieInfo> info = ProbeMovie(movie, &why)) {
    config.movieFrames = info->frames.value_or(-1);
    config.movieFps = info->fps;
    config.movieWidth = info->width;
    config.movieHeight = info->height;
  } else {
    err << "klp edit: cannot read the movie's length and size (" << why
        << "); the editor takes them from the browser\n";
  }
  config.log = [&err](const std::string& line) { err << "klp edit: " << line << std::endl; };

  // Signals are taken by sigwait below; the server's threads start with them blocked.
  sigset_t wait, oldMask;
  sigemptyset(&wait);
  sigaddset(&wait, SIGINT);
  sigaddset(&wait, SIGTERM);
  sigaddset(&wait, SIGCHLD);
  sigprocmask(SIG_BLOCK, &wait, &oldMask);

  edit::Server server(config);
  if (!server.Start(&why)) {
    sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    err << "klp edit: " << why << "\n";
    return kEditNoServer;
  }
  out << "klp edit: editing " << config.project << "\n" << server.Url() << std::endl;

  pid_t viewer = -1;
  if (parsed.flags.count("--no-open") == 0) {
    viewer = OpenInViewer(server.Url(), oldMask);
    if (viewer < 0) {
      err << "klp edit: cannot start klp view: " << std::strerror(errno)
          << "; open the address above in a browser\n";
    }
  }
  for (;;) {
    int sig = 0;
    if (sigwait(&wait, &sig) != 0) break;
    if (sig != SIGCHLD) {
      if (viewer > 0) {
        kill(viewer, SIGTERM);
        waitpid(viewer, nullptr, 0);
      }
      break;
    }
    int status = 0;
    if (viewer <= 0 || waitpid(viewer, &status, WNOHANG) != viewer) continue;
    viewer = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) break;  // the browser was closed
    err << "klp edit: klp view ended with "
        << (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                              : std::string("a signal"))
        << "; open the address above in a browser, and end with Ctrl-C\n";
  }
  server.Stop();
  sigprocmask(SIG_SETMASK, &oldMask, nullptr);
  return 0;
}

}  // namespace klp::tools
