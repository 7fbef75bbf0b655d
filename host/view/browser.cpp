// The Chromium and Firefox engines of `klp view`: the page plays through the web runtime
// (klp.js, klp.wasm) in the browser, which the browser driver (web/view/klp-view.mjs, a node
// program on puppeteer-core) starts, serves the page to and reports from. This side checks what
// it can name clearly, then becomes the driver: the run's options go over as JSON, and the
// driver prints the console, runs the actions and exits with the viewer's codes.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host/text.h"
#include "host/view/engines.h"
#include "host/view/options.h"

namespace klpview {
namespace {

namespace fs = std::filesystem;

// Where the web runtime and the driver are, from the build tree or under the install prefix.
// The one place that knows the layout; the install rules in host/view/CMakeLists.txt and the
// package follow it.
struct BrowserParts {
  std::string webDir;  // klp.js, klp.wasm
  std::string driver;  // klp-view.mjs, with node_modules/puppeteer-core beside it
};

BrowserParts FindBrowserParts() {
  const std::string exe = ExecutablePath();
  return {FindViewerFile(exe, KLP_BUILD_DIR, KLP_WEB_BUILD_DIR, KLP_DATA_DIR "/web"),
          FindViewerFile(exe, KLP_BUILD_DIR, KLP_DRIVER_BUILD_DIR "/klp-view.mjs",
                         KLP_DATA_DIR "/view/klp-view.mjs")};
}

const char* ButtonName(Action::Button b) {
  switch (b) {
    case Action::Button::Left: return "left";
    case Action::Button::Right: return "right";
    case Action::Button::Double: return "double";
  }
  return "left";
}

std::string RunJson(const Options& o, const std::string& webDir) {
  klp::tools::JsonWriter w;
  w.BeginObject();
  w.Key("engine").String(EngineName(o.engine));
  w.Key("target").String(o.target);
  w.Key("kind").String(IsUrl(o.target) ? "url" : IsProjectFile(o.target) ? "project" : "page");
  w.Key("headless").Bool(o.headless);
  w.Key("width").Number(o.width);
  w.Key("height").Number(o.height);
  w.Key("quitTime").Real(o.QuitTime());
  w.Key("actions").BeginArray();
  for (const Action& a : o.actions) {
    w.BeginObject();
    w.Key("at").Real(a.at);
    if (a.kind == Action::Kind::Screenshot) {
      w.Key("kind").String("screenshot");
      w.Key("file").String(a.file);
    } else {
      w.Key("kind").String("click");
      w.Key("x").Number(a.x);
      w.Key("y").Number(a.y);
      w.Key("button").String(ButtonName(a.button));
    }
    w.EndObject();
  }
  w.EndArray();
  w.Key("webDir").String(webDir);
  w.Key("exit").BeginObject();
  w.Key("ok").Number(kExitOk);
  w.Key("usage").Number(kExitUsage);
  w.Key("loadFailed").Number(kExitLoadFailed);
  w.Key("noBrowser").Number(kExitNoEngine);
  w.EndObject();
  w.EndObject();
  return w.str();
}

}  // namespace

int RunBrowser(const Options& o) {
  const BrowserParts parts = FindBrowserParts();
  const std::string webDir = o.webDir.empty() ? parts.webDir : o.webDir;
  for (const char* name : {"klp.js", "klp.wasm"}) {
    std::string file = (fs::path(webDir) / name).string();
    if (!fs::is_regular_file(file)) {
      Fail("the web runtime is missing: " + file +
           " (build it with bash scripts/build-web.sh, or name its directory with --web-dir)");
      return kExitNoPlugin;
    }
  }
  const char* display = std::getenv("DISPLAY");
  if (!o.headless && (!display || !*display)) {
    Fail("no X display (DISPLAY is not set); use --headless to run the browser headless");
    return kExitNoDisplay;
  }
  if (!fs::is_regular_file(parts.driver)) {
    Fail("the browser driver is missing: " + parts.driver);
    return kExitNoEngine;
  }
  const char* node = std::getenv("KLP_NODE");
  if (!node || !*node) node = "node";
  const std::string json = RunJson(o, webDir);
  std::fflush(stdout);
  std::fflush(stderr);
  const char* argv[] = {node, parts.driver.c_str(), json.c_str(), nullptr};
  execvp(node, const_cast<char* const*>(argv));
  Fail(std::string("cannot run ") + node + ": " + std::strerror(errno) +
       " (install nodejs, or name another node with KLP_NODE)");
  return kExitNoEngine;
}

}  // namespace klpview
