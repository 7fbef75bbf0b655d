// `klp view` command line: what to open and the timed actions of an automated run. Plain C++,
// no toolkit, so that parsing and the plug-in lookup are testable on their own.
#pragma once

#include <string>
#include <vector>

namespace klpview {

// Exit codes of `klp view`.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 2,       // bad command line
  kExitNoFile = 3,      // the page or project does not exist
  kExitNoPlugin = 4,    // npklod32.so missing, or the browser engine would not load it
  kExitNoDisplay = 5,   // no X display and none could be started
  kExitLoadFailed = 6,  // the page could not be loaded
};

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
  std::string pluginDir;  // empty: found by FindPluginDir
  std::vector<Action> actions;  // in command-line order

  // When the viewer ends by itself: --quit-after; else, headless, half a second after the last
  // action (at once after loading when there is none); else never (the user closes the window).
  double QuitTime() const;
};

// Parses the arguments that follow "view". False with *error set on a bad command line.
bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error);
const char* Usage();

// The directory holding npklod32.so: buildDir when the viewer runs from the build tree
// (exePath lies under it), else installDir relative to the viewer's prefix (exePath's
// directory's parent).
std::string FindPluginDir(const std::string& exePath, const std::string& buildDir,
                          const std::string& installDir);

// The target names a project file: full-page mode.
bool IsProjectFile(const std::string& target);

}  // namespace klpview
