// `klp view` command line: what to open, in which browser engine, and the timed actions of an
// automated run. Plain C++, no toolkit, so that parsing and the lookups of the plug-in, the web
// runtime and the browser driver are testable on their own. Every engine takes the same options.
#pragma once

#include <string>
#include <vector>

namespace klpview {

// Exit codes of `klp view`.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 2,       // bad command line
  kExitNoFile = 3,      // the page or project does not exist
  kExitNoPlugin = 4,    // npklod32.so missing, or QtWebKit would not load it; klp.js or
                        // klp.wasm missing (Chromium, Firefox)
  kExitNoDisplay = 5,   // no X display and none could be started
  kExitLoadFailed = 6,  // the page could not be loaded
  kExitNoEngine = 7,    // the browser engine is not there or would not start (Chromium, Firefox,
                        // node or the browser driver missing; QtWebKit not built in)
};

// The browser engine that shows the page: QtWebKit in this process with the plug-in, or Chromium
// or Firefox through the web runtime (klp.js), driven by a node program.
enum class Engine { QtWebKit, Chromium, Firefox };
const char* EngineName(Engine engine);

struct Action {
  enum class Kind { Screenshot, Click };
  enum class Button { Left, Right, Double };
  Kind kind = Kind::Screenshot;
  double at = 0;      // seconds after the page has loaded
  std::string file;   // Screenshot: PNG path
  int x = 0, y = 0;   // Click: point in the view
  Button button = Button::Left;
};

struct Options {
  std::string target;     // PAGE.html, PROJECT.klp or a URL
  bool headless = false;  // start a private X server when there is no display
  int width = 800;        // the view's size
  int height = 600;
  double quitAfter = -1;  // seconds after load; < 0: see QuitTime
  Engine engine = Engine::QtWebKit;
  std::string pluginDir;  // QtWebKit; empty: found by FindPluginDir
  std::string webDir;     // Chromium, Firefox: klp.js and klp.wasm; empty: found by FindViewerFile
  std::vector<Action> actions;  // in command-line order

  // When the viewer ends by itself: --quit-after; else, headless, half a second after the last
  // action (at once after loading when there is none); else never (the user closes the window).
  double QuitTime() const;
};

// Parses the arguments that follow "view". False with *error set on a bad command line.
bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error);
const char* Usage();

// A file or directory of the viewer's: buildPath when the viewer runs from the build tree
// (exePath lies under buildDir), else installPath relative to the viewer's prefix (exePath's
// directory's parent), or installPath itself when it is absolute.
std::string FindViewerFile(const std::string& exePath, const std::string& buildDir,
                           const std::string& buildPath, const std::string& installPath);

// The directory holding npklod32.so: buildDir from the build tree, else installDir under the
// prefix (FindViewerFile).
std::string FindPluginDir(const std::string& exePath, const std::string& buildDir,
                          const std::string& installDir);

// The target names a project file: full-page mode.
bool IsProjectFile(const std::string& target);
// The target is a URL rather than a file.
bool IsUrl(const std::string& target);

// "klp view: text" on stderr.
void Fail(const std::string& text);

// This program's own path.
std::string ExecutablePath();

}  // namespace klpview
