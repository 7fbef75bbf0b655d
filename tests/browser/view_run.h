// Running `klp view` from the browser tests: what it printed and how it ended, pages and
// projects over the example tour in a temporary directory, and the pictures screenshots are
// checked for.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resources.h"

namespace klptest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ViewRun {
  int code = -1;
  std::string out;  // stdout: the page's console lines
  std::string err;  // stderr: the viewer's own messages
  double seconds = 0;

  bool Has(const std::string& line) const {
    return ("\n" + out).find("\n" + line + "\n") != std::string::npos;
  }
  size_t Count(const std::string& line) const {
    size_t n = 0;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) n += l == line;
    return n;
  }
  // The lines among wanted, in the order printed.
  std::vector<std::string> Only(const std::vector<std::string>& wanted) const {
    std::vector<std::string> got;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
      if (std::find(wanted.begin(), wanted.end(), l) != wanted.end()) got.push_back(l);
    return got;
  }
  std::string FirstErrorLine() const { return err.substr(0, err.find('\n')); }
  std::string Report() const { return "stdout:\n" + out + "stderr:\n" + err; }
};

// A temporary directory for pages, projects and screenshots, removed with the object.
class TourDir {
 public:
  TourDir() {
    char tmpl[] = "/tmp/klp_view_XXXXXX";
    if (mkdtemp(tmpl)) dir_ = tmpl;
  }
  ~TourDir() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  TourDir(const TourDir&) = delete;
  TourDir& operator=(const TourDir&) = delete;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name)) << text;
    return Path(name);
  }
  // A project over the example's movie (or a missing one), beside the pages.
  void Project(const std::string& name, const std::string& source) const {
    std::string text = ReadFile(KLP_EXAMPLE_DIR "/tour.klp");
    text.replace(text.find("Source=tour.webm"), 16, "Source=" + source);
    Write(name, text);
    if (source == "tour.webm" && !std::filesystem::exists(Path("tour.webm")))
      std::filesystem::copy_file(KLP_EXAMPLE_DIR "/tour.webm", Path("tour.webm"));
  }
  // page.html: the embeds (attribute text each) at the view's origin and a script.
  std::string Page(const std::vector<std::string>& embeds, const std::string& script) const {
    std::string html = "<html><body style='margin:0'>";
    for (const std::string& e : embeds)
      html += "<embed type='application/kelvora-movie' width='320' height='240' " + e + ">";
    html += "<script>" + script + "</script></body></html>";
    return Write("page.html", html);
  }
  // The viewer with args and no display (it makes its own, or runs the browser headless);
  // env: more VAR=VALUE words for its environment.
  ViewRun View(const std::vector<std::string>& args, const std::string& env = "") const {
    std::string cmd = "env -u DISPLAY " + env + " timeout 150 '" KLP_VIEW "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " 2>'" + Path("stderr.txt") + "'";
    ViewRun r;
    auto start = std::chrono::steady_clock::now();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadFile(Path("stderr.txt"));
    return r;
  }

 private:
  std::filesystem::path dir_;
};

// Page functions that print the embed m1's events.
constexpr const char* kLogEvents =
    "function log(t) { console.log(t); }"
    "function m1_OnMarker(v) { log('marker ' + v); }"
    "function m1_OnKLEvent(v) { log('event ' + v); }"
    "function m1_OnActivateAnchor(v) { log('anchor ' + v); }"
    "function m1_OnError(c) { log('error ' + c); }";

// Whether image holds the idle picture with its top left corner at (x, y).
inline bool IdlePictureAt(const QImage& image, int x, int y) {
  const resources::Bitmap* idle = resources::FindBitmap(resources::IDB_IDLE);
  if (!idle) return false;
  for (int j = 0; j < idle->height; ++j)
    for (int i = 0; i < idle->width; ++i)
      if ((image.pixel(x + i, y + j) & 0xFFFFFF) != idle->Rgb(i, j)) return false;
  return true;
}

// Some pixel of row y between x0 and x1 is near the colour.
inline bool NearInRow(const QImage& shot, int x0, int x1, int y, QColor want) {
  for (int x = x0; x <= x1; ++x) {
    QColor c = shot.pixelColor(x, y);
    if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
        std::abs(c.blue() - want.blue()) < 40)
      return true;
  }
  return false;
}

}  // namespace klptest
