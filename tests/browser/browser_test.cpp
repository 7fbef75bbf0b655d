// The plug-in in a real browser engine: `klp view --headless` opens pages in QtWebKit on a
// private Xvfb; the tests read what page script printed and the screenshots it saved.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resources.h"

namespace {

namespace fs = std::filesystem;

struct ViewRun {
  int code = -1;
  std::string out;  // the page's console lines
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
};

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/klp_browser_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name)) << text;
    return Path(name);
  }
  // klp view with args; the viewer starts its own X server.
  ViewRun View(const std::vector<std::string>& args) const {
    std::string cmd = "env -u DISPLAY timeout 120 '" KLP_VIEW "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    ViewRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }
  // A project over the example's movie (or a missing one).
  void Project(const std::string& name, const std::string& source) const {
    std::ifstream in(KLP_EXAMPLE_DIR "/tour.klp");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find("Source=tour.webm"), 16, "Source=" + source);
    Write(name, text);
    if (source == "tour.webm" && !fs::exists(Path("tour.webm")))
      fs::copy_file(KLP_EXAMPLE_DIR "/tour.webm", Path("tour.webm"));
  }
  // A page at the view's origin with embeds (attribute text each) and a script.
  std::string Page(const std::vector<std::string>& embeds, const std::string& script) const {
    std::string html = "<html><body style='margin:0'>";
    for (const std::string& e : embeds)
      html += "<embed type='application/kelvora-movie' width='320' height='240' " + e + ">";
    html += "<script>" + script + "</script></body></html>";
    return Write("page.html", html);
  }
  // Skips media tests while the media graph cannot open the example movie.
  bool MediaMissing(const ViewRun& r) const { return r.Has("error 2"); }

  fs::path dir_;
};

constexpr const char* kLogEvents =
    "function log(t) { console.log(t); }"
    "function m1_OnMarker(v) { log('marker ' + v); }"
    "function m1_OnKLEvent(v) { log('event ' + v); }"
    "function m1_OnActivateAnchor(v) { log('anchor ' + v); }"
    "function m1_OnError(c) { log('error ' + c); }";

// Whether image holds the idle picture with its top left corner at (x, y).
bool IdlePictureAt(const QImage& image, int x, int y) {
  const resources::Bitmap* idle = resources::FindBitmap(resources::IDB_IDLE);
  if (!idle) return false;
  for (int j = 0; j < idle->height; ++j)
    for (int i = 0; i < idle->width; ++i)
      if ((image.pixel(x + i, y + j) & 0xFFFFFF) != idle->Rgb(i, j)) return false;
  return true;
}

TEST_F(Browser, CommandLineFailuresHaveTheirExitCodes) {
  EXPECT_EQ(View({"--headless", Path("none.html")}).code, 3);
  Write("a.html", "<html></html>");
  EXPECT_EQ(View({"--headless", "--plugin-dir", Path("nowhere"), Path("a.html")}).code, 4);
  EXPECT_EQ(View({"--headless", "--at", "1", Path("a.html")}).code, 2);
  EXPECT_EQ(View({Path("a.html")}).code, 5);  // no display and not headless
}

TEST_F(Browser, TheIdlePictureIsCentredWhileNoMovieIsOpen) {
  Project("idle.klp", "missing.webm");
  std::string page = Page({"id='m1' name='m1' src='idle.klp'"}, kLogEvents);
  ViewRun r = View({"--headless", "--screenshot", Path("idle.png"), "--at", "1", page});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.Count("error 3"), 1u) << r.out;  // the movie was not delivered
  QImage shot(QString::fromStdString(Path("idle.png")));
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(IdlePictureAt(shot, (320 - 122) / 2, (240 - 38) / 2));
  EXPECT_EQ(shot.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(Browser, AProjectOpensFullPage) {
  Project("idle.klp", "missing.webm");
  ViewRun r = View({"--headless", "--size", "640x480", "--screenshot", Path("full.png"), "--at", "1",
                Path("idle.klp")});
  ASSERT_EQ(r.code, 0) << r.out;
  QImage shot(QString::fromStdString(Path("full.png")));
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(IdlePictureAt(shot, (640 - 122) / 2, (480 - 38) / 2));
}

TEST_F(Browser, PageScriptCallsTheMethodsWhichPostTheirCommands) {
  Project("idle.klp", "missing.webm");
  std::string page = Page(
      {"id='m1' name='m1' src='idle.klp' kldebug='true'"},
      std::string(kLogEvents) +
          "function m1_OnSysOut(t) { if (t.charAt(0) == '<') log('trace ' + t); }"
          "function tryLog(label, f) { try { log(label + ' ' + f()); }"
          "                            catch (e) { log(label + ' threw'); } }"
          "setTimeout(function() { var m = document.getElementById('m1');"
          "  tryLog('play', function() { return m.Play(25.7); });"
          "  tryLog('play text', function() { return m.Play('x'); });"
          "  tryLog('play none', function() { return m.Play(); });"
          "  tryLog('pause', function() { return m.Pause(); });"
          "  tryLog('marker', function() { return m.EnableMarker('middle'); });"
          "  tryLog('anchor number', function() { return m.EnableAnchor(3); });"
          "}, 500);");
  ViewRun r = View({"--headless", "--quit-after", "2", page});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.Only({"play true", "play text threw", "play none threw", "pause true",
                    "marker true", "anchor number threw", "trace <WM_KL_PLAY>", "error 7",
                    "trace <WM_KL_PAUSE>", "trace <WM_KL_ENABLEMARKER>"}),
            (std::vector<std::string>{"play true", "play text threw", "play none threw",
                                      "pause true", "marker true", "anchor number threw",
                                      "trace <WM_KL_PLAY>", "error 7", "trace <WM_KL_PAUSE>",
                                      "error 7", "trace <WM_KL_ENABLEMARKER>", "error 7"}))
      << r.out;
}

TEST_F(Browser, EventsThePageDoesNotHandleAreSkipped) {
  Project("idle.klp", "missing.webm");
  std::string page = Page({"id='m1' name='m1' src='idle.klp' kldebug='true'"},
                          "function m1_OnSysOut(t) { console.log('trace ' + t); }"
                          "setTimeout(function() { document.getElementById('m1').Stop(); }, 500);");
  ViewRun r = View({"--headless", "--quit-after", "1.5", page});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(r.Has("trace <WM_KL_STOP>")) << r.out;
  EXPECT_FALSE(r.Has("trace <OnError>")) << r.out;  // no OnError function: not delivered
}

// --- With the media graph ---------------------------------------------------------------------

TEST_F(Browser, MarkersAndEventsReachThePageOnceEachInOrder) {
  Project("tour.klp", "tour.webm");
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='true'"}, kLogEvents);
  ViewRun r = View({"--headless", "--quit-after", "10", page});
  ASSERT_EQ(r.code, 0) << r.out;
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  EXPECT_EQ(r.Only({"marker start", "event bell", "marker middle", "event doorway", "marker end"}),
            (std::vector<std::string>{"marker start", "event bell", "marker middle",
                                      "event doorway", "marker end"}))
      << r.out;
}

TEST_F(Browser, VideoFillsTheEmbedWithTheAnchorFramesWhereTheProjectPutsThem) {
  Project("tour.klp", "tour.webm");
  // Frame 100 of the door's slide: key frames (20,70)-(90,210) at 20 and (220,70)-(290,210)
  // at 180 give (120,70)-(190,210).
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='false'"},
                          std::string(kLogEvents) +
                              "setTimeout(function() {"
                              "  document.getElementById('m1').EnableMarker('middle'); }, 1000);");
  ViewRun r = View({"--headless", "--screenshot", Path("video.png"), "--at", "2.5", page});
  ASSERT_EQ(r.code, 0) << r.out;
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  QImage shot(QString::fromStdString(Path("video.png")));
  ASSERT_FALSE(shot.isNull());
  EXPECT_FALSE(IdlePictureAt(shot, (320 - 122) / 2, (240 - 38) / 2));
  auto near = [&](int x0, int x1, int y, QColor want) {
    for (int x = x0; x <= x1; ++x) {
      QColor c = shot.pixelColor(x, y);
      if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
          std::abs(c.blue() - want.blue()) < 40)
        return true;
    }
    return false;
  };
  EXPECT_TRUE(near(116, 124, 140, QColor(0, 255, 0))) << "door's left edge";
  EXPECT_TRUE(near(186, 194, 140, QColor(0, 255, 0))) << "door's right edge";
  EXPECT_TRUE(near(126, 136, 70, QColor(0, 255, 0)) || near(126, 136, 68, QColor(0, 255, 0)) ||
              near(126, 136, 72, QColor(0, 255, 0)))
      << "door's top edge";
  // Just inside the left edge the picture is the cyan bar of the test pattern, without frame.
  EXPECT_FALSE(near(127, 134, 140, QColor(0, 255, 0))) << "inside the door: video only";
  EXPECT_TRUE(near(127, 134, 140, QColor(0, 255, 255))) << "the video under the door";
}

TEST_F(Browser, AClickOnAnAnchorPausesTheMovieAndTellsThePage) {
  Project("tour.klp", "tour.webm");
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='true'"}, kLogEvents);
  ViewRun r = View({"--headless", "--click", "265,40", "--at", "1", "--screenshot", Path("a.png"),
                "--at", "1.5", "--screenshot", Path("b.png"), "--at", "2.5", page});
  ASSERT_EQ(r.code, 0) << r.out;
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  EXPECT_EQ(r.Count("anchor sun"), 1u) << r.out;
  EXPECT_EQ(QImage(QString::fromStdString(Path("a.png"))),
            QImage(QString::fromStdString(Path("b.png"))))
      << "the movie went on after the click";
}

TEST_F(Browser, TwoEmbedsOnOnePageBothPlay) {
  Project("tour.klp", "tour.webm");
  std::string page =
      Page({"id='m1' name='m1' src='tour.klp' autoplay='true'",
            "id='m2' name='m2' src='tour.klp' autoplay='true'"},
           "function m1_OnMarker(v) { console.log('m1 ' + v); }"
           "function m2_OnMarker(v) { console.log('m2 ' + v); }"
           "function m1_OnError(c) { console.log('error ' + c); }");
  ViewRun r = View({"--headless", "--size", "700x300", "--quit-after", "6", page});
  ASSERT_EQ(r.code, 0) << r.out;
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  EXPECT_EQ(r.Count("m1 middle"), 1u) << r.out;
  EXPECT_EQ(r.Count("m2 middle"), 1u) << r.out;
}

TEST_F(Browser, NavigatingAwayDestroysTheInstancesCleanly) {
  Project("tour.klp", "tour.webm");
  Write("next.html", "<html><body><script>console.log('next page');</script></body></html>");
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='true'",
                           "id='m2' name='m2' src='tour.klp' autoplay='true'"},
                          std::string(kLogEvents) +
                              "setTimeout(function() { location.href = 'next.html'; }, 1500);");
  ViewRun r = View({"--headless", "--quit-after", "3", page});
  EXPECT_EQ(r.code, 0) << r.out;  // no crash while the movies were torn down
  EXPECT_TRUE(r.Has("next page")) << r.out;
}

}  // namespace
