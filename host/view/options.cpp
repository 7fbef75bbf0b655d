#include "host/view/options.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace klpview {
namespace {

bool ParseSeconds(const std::string& text, double* out) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !std::isfinite(v) || v < 0) return false;
  *out = v;
  return true;
}

bool ParseInt(const std::string& text, int* out) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < 0 || v > 100000) return false;
  *out = static_cast<int>(v);
  return true;
}

// "X,Y" or "X,Y,left|right|double".
bool ParseClick(const std::string& text, Action* a) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return false;
  if (!ParseInt(parts[0], &a->x) || !ParseInt(parts[1], &a->y)) return false;
  if (parts.size() == 3) {
    if (parts[2] == "left") a->button = Action::Button::Left;
    else if (parts[2] == "right") a->button = Action::Button::Right;
    else if (parts[2] == "double") a->button = Action::Button::Double;
    else return false;
  }
  return true;
}

// "WxH".
bool ParseSize(const std::string& text, int* w, int* h) {
  size_t x = text.find('x');
  return x != std::string::npos && ParseInt(text.substr(0, x), w) &&
         ParseInt(text.substr(x + 1), h) && *w > 0 && *h > 0;
}

}  // namespace

const char* Usage() {
  return "usage: klp view [options] PAGE.html|PROJECT.klp|URL\n"
         "  --engine qtwebkit|chromium|firefox   the browser engine (default qtwebkit): QtWebKit\n"
         "                          with the plug-in, or Chromium or Firefox with the web\n"
         "                          runtime (klp.js, added to pages that do not include it)\n"
         "  --headless              run without a window: QtWebKit on a private X server when\n"
         "                          there is no display, Chromium and Firefox headless\n"
         "  --screenshot FILE.png --at SECONDS   save the view (repeatable)\n"
         "  --click X,Y[,left|right|double] --at SECONDS   click in the view (repeatable)\n"
         "  --quit-after SECONDS    quit; seconds count from the end of page loading\n"
         "  --size WxH              size of the view (default 800x600)\n"
         "  --plugin-dir DIR        qtwebkit: load npklod32.so from DIR\n"
         "  --web-dir DIR           chromium, firefox: take klp.js and klp.wasm from DIR\n"
         "The page's console messages are printed on stdout as they come.\n"
         "Exit codes: 0 done, 2 usage, 3 no such file, 4 plug-in or web runtime missing,\n"
         "5 no display, 6 page not loaded, 7 browser engine missing or would not start.\n"
         "Environment: KLP_CHROMIUM, KLP_FIREFOX name other browser binaries (defaults\n"
         "/usr/bin/chromium, /usr/bin/firefox-esr); KLP_NODE another node.\n";
}

const char* EngineName(Engine engine) {
  switch (engine) {
    case Engine::QtWebKit: return "qtwebkit";
    case Engine::Chromium: return "chromium";
    case Engine::Firefox: return "firefox";
  }
  return "?";
}

double Options::QuitTime() const {
  if (quitAfter >= 0) return quitAfter;
  if (!headless) return -1;
  double last = -0.5;
  for (const Action& a : actions) last = std::max(last, a.at);
  return last + 0.5;
}

bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error) {
  Options o;
  Action* pending = nullptr;  // the last action, waiting for its --at
  auto need = [&](size_t i, const std::string& what) {
    if (i + 1 < args.size()) return true;
    *error = what + " needs a value";
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--headless") {
      o.headless = true;
    } else if (a == "--screenshot" || a == "--click") {
      if (pending) {
        *error = "--at SECONDS missing after " + std::string(pending->kind == Action::Kind::Click
                                                                 ? "--click"
                                                                 : "--screenshot");
        return false;
      }
      if (!need(i, a)) return false;
      Action act;
      if (a == "--screenshot") {
        act.kind = Action::Kind::Screenshot;
        act.file = args[++i];
      } else {
        act.kind = Action::Kind::Click;
        if (!ParseClick(args[++i], &act)) {
          *error = "--click takes X,Y or X,Y,left|right|double, not " + args[i];
          return false;
        }
      }
      o.actions.push_back(act);
      pending = &o.actions.back();
    } else if (a == "--at") {
      if (!need(i, a)) return false;
      if (!pending) {
        *error = "--at must follow --screenshot or --click";
        return false;
      }
      if (!ParseSeconds(args[++i], &pending->at)) {
        *error = "--at takes seconds, not " + args[i];
        return false;
      }
      pending = nullptr;
    } else if (a == "--quit-after") {
      if (!need(i, a)) return false;
      if (!ParseSeconds(args[++i], &o.quitAfter)) {
        *error = "--quit-after takes seconds, not " + args[i];
        return false;
      }
    } else if (a == "--size") {
      if (!need(i, a)) return false;
      if (!ParseSize(args[++i], &o.width, &o.height)) {
        *error = "--size takes WIDTHxHEIGHT, not " + args[i];
        return false;
      }
    } else if (a == "--engine") {
      if (!need(i, a)) return false;
      const std::string& name = args[++i];
      if (name == "qtwebkit") o.engine = Engine::QtWebKit;
      else if (name == "chromium") o.engine = Engine::Chromium;
      else if (name == "firefox") o.engine = Engine::Firefox;
      else {
        *error = "--engine takes qtwebkit, chromium or firefox, not " + name;
        return false;
      }
    } else if (a == "--plugin-dir") {
      if (!need(i, a)) return false;
      o.pluginDir = args[++i];
    } else if (a == "--web-dir") {
      if (!need(i, a)) return false;
      o.webDir = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else if (!o.target.empty()) {
      *error = "one page or project only";
      return false;
    } else {
      o.target = a;
    }
  }
  if (pending) {
    *error = "--at SECONDS missing after the last action";
    return false;
  }
  if (o.target.empty()) {
    *error = "no page or project given";
    return false;
  }
  *out = std::move(o);
  return true;
}

std::string FindViewerFile(const std::string& exePath, const std::string& buildDir,
                           const std::string& buildPath, const std::string& installPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::weakly_canonical(exePath, ec);
  fs::path build = fs::weakly_canonical(buildDir, ec);
  if (!build.empty()) {
    auto mismatch = std::mismatch(build.begin(), build.end(), exe.begin(), exe.end());
    if (mismatch.first == build.end()) return buildPath;
  }
  fs::path install(installPath);
  if (install.is_absolute()) return install.string();
  return (exe.parent_path().parent_path() / install).lexically_normal().string();
}

std::string FindPluginDir(const std::string& exePath, const std::string& buildDir,
                          const std::string& installDir) {
  std::error_code ec;
  return FindViewerFile(exePath, buildDir, std::filesystem::weakly_canonical(buildDir, ec).string(),
                        installDir);
}

bool IsProjectFile(const std::string& target) {
  if (target.size() < 4) return false;
  std::string ext = target.substr(target.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".klp";
}

bool IsUrl(const std::string& target) { return target.find("://") != std::string::npos; }

void Fail(const std::string& text) { std::fprintf(stderr, "klp view: %s\n", text.c_str()); }

std::string ExecutablePath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return buf;
}

}  // namespace klpview
