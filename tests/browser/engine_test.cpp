// `klp view --engine qtwebkit|chromium|firefox`: every engine takes the same command line,
// prints the page's console, saves screenshots, delivers clicks, opens projects full-page and
// ends with the same exit codes. QtWebKit plays the page through the plug-in on a private Xvfb,
// Chromium and Firefox through the web runtime (klp.js, added by the viewer) headless.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/browser/view_run.h"

namespace {

namespace fs = std::filesystem;
using klptest::IdlePictureAt;
using klptest::kLogEvents;
using klptest::NearInRow;
using klptest::ReadFile;
using klptest::ViewRun;

const std::vector<std::string> kEngines = {"qtwebkit", "chromium", "firefox"};

class Engine : public ::testing::TestWithParam<std::string>, public klptest::TourDir {
 protected:
  const std::string& engine() const { return GetParam(); }
  bool Web() const { return engine() != "qtwebkit"; }

  // Why the engine cannot play pages here, or empty: Chromium and Firefox need the web runtime
  // (scripts/build-web.sh) and the driver's puppeteer-core (npm ci in web/view).
  std::string Missing() const {
    if (!Web()) return {};
    if (!fs::exists(KLP_WEB_DIR "/klp.js") || !fs::exists(KLP_WEB_DIR "/klp.wasm"))
      return "no web runtime in " KLP_WEB_DIR " (bash scripts/build-web.sh)";
    if (!fs::exists(KLP_DRIVER_DIR "/node_modules/puppeteer-core"))
      return "no puppeteer-core in " KLP_DRIVER_DIR " (npm ci there)";
    return {};
  }
  // klp view --engine ENGINE with args (see TourDir::View).
  ViewRun View(std::vector<std::string> args, const std::string& env = "") const {
    args.insert(args.begin(), {"--engine", engine()});
    return TourDir::View(args, env);
  }
  // QtWebKit's media graph may be unable to open the movie here.
  bool MediaMissing(const ViewRun& r) const { return !Web() && r.Has("error 2"); }
  // A screenshot of the project opened full-page in a 640x480 view, after its movie (source)
  // has had time to start.
  QImage FullPage(const std::string& source, ViewRun* r) const {
    Project("full.klp", source);
    *r = View({"--headless", "--size", "640x480", "--screenshot", Path("full.png"), "--at",
               "1.5", Path("full.klp")});
    return QImage(QString::fromStdString(Path("full.png")));
  }
};

#define REQUIRE_ENGINE()                           \
  do {                                             \
    std::string missing = Missing();               \
    if (!missing.empty()) GTEST_SKIP() << missing; \
  } while (0)

// --- The command line -------------------------------------------------------------------------

TEST_P(Engine, BadCommandLinesAreRefusedAsForTheDefaultEngine) {
  Write("a.html", "<html></html>");
  const std::vector<std::vector<std::string>> bad = {
      {"--at", "1", Path("a.html")},
      {"--screenshot", Path("a.png"), Path("a.html")},
      {"--click", "10", "--at", "1", Path("a.html")},
      {"--quit-after", "soon", Path("a.html")},
      {"--size", "800", Path("a.html")},
      {"--frobnicate", Path("a.html")},
      {Path("a.html"), Path("b.html")},
      {},
  };
  for (const auto& args : bad) {
    ViewRun mine = View(args);
    ViewRun plain = TourDir::View(args);
    EXPECT_EQ(mine.code, 2) << mine.Report();
    EXPECT_EQ(mine.FirstErrorLine(), plain.FirstErrorLine());
    EXPECT_NE(mine.err.find("usage: klp view"), std::string::npos) << mine.Report();
  }
}

TEST_P(Engine, AMissingFileIsCode3) {
  ViewRun r = View({"--headless", Path("none.html")});
  EXPECT_EQ(r.code, 3) << r.Report();
  EXPECT_EQ(r.FirstErrorLine(), "klp view: no such file: " + Path("none.html"));
}

TEST_P(Engine, AMissingPlayerIsCode4) {
  Write("a.html", "<html></html>");
  ViewRun r = View({"--headless", Web() ? "--web-dir" : "--plugin-dir", Path("nowhere"),
                    Path("a.html")});
  EXPECT_EQ(r.code, 4) << r.Report();
  EXPECT_NE(r.err.find(Path("nowhere")), std::string::npos) << r.Report();
}

TEST_P(Engine, NoDisplayWithoutHeadlessIsCode5) {
  REQUIRE_ENGINE();  // a missing runtime is reported first
  Write("a.html", "<html></html>");
  ViewRun r = View({Path("a.html")});
  EXPECT_EQ(r.code, 5) << r.Report();
  EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.Report();
}

TEST_P(Engine, APageThatDoesNotLoadIsCode6) {
  REQUIRE_ENGINE();
  ViewRun r = View({"--headless", "http://127.0.0.1:1/none.html"});  // nothing listens there
  EXPECT_EQ(r.code, 6) << r.Report();
  EXPECT_NE(r.err.find("could not load http://127.0.0.1:1/none.html"), std::string::npos)
      << r.Report();
}

TEST_P(Engine, AMissingBrowserOrNodeIsCode7AtOnce) {
  if (!Web()) GTEST_SKIP() << "QtWebKit is built in";
  Write("a.html", "<html></html>");
  if (!Missing().empty()) {
    // Without the runtime the viewer stops before it looks for the browser.
    GTEST_SKIP() << Missing();
  }
  ViewRun r = View({"--headless", Path("a.html")},
                   "KLP_CHROMIUM=" + Path("no-chromium") + " KLP_FIREFOX=" + Path("no-firefox"));
  EXPECT_EQ(r.code, 7) << r.Report();
  EXPECT_NE(r.err.find(engine() + " not found at " + Path("no-" + engine())), std::string::npos)
      << r.Report();
  EXPECT_LT(r.seconds, 20) << r.Report();

  r = View({"--headless", Path("a.html")}, "KLP_NODE=" + Path("no-node"));
  EXPECT_EQ(r.code, 7) << r.Report();
  EXPECT_NE(r.err.find("cannot run " + Path("no-node")), std::string::npos) << r.Report();
}

// The driver without its puppeteer-core beside it says so and fails with code 7.
TEST_P(Engine, TheDriverWithoutPuppeteerIsCode7) {
  if (!Web()) GTEST_SKIP() << "QtWebKit is built in";
  fs::create_directory(Path("driver"));
  for (const char* f : {"klp-view.mjs", "browsers.js", "files.js", "page.js", "package.json"})
    fs::copy_file(fs::path(KLP_DRIVER_DIR) / f, fs::path(Path("driver")) / f);
  std::string cmd = "timeout 60 node '" + Path("driver/klp-view.mjs") +
                    "' '{\"engine\":\"" + engine() +
                    "\",\"exit\":{\"ok\":0,\"usage\":2,\"loadFailed\":6,\"noBrowser\":7}}' 2>'" +
                    Path("stderr.txt") + "'";
  int status = std::system(cmd.c_str());
  std::string err = ReadFile(Path("stderr.txt"));
  if (err.find("not found at") != std::string::npos) GTEST_SKIP() << err;  // no browser here
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 7) << err;
  EXPECT_NE(err.find("puppeteer-core is missing"), std::string::npos) << err;
}

// --- The page ---------------------------------------------------------------------------------

// One run: the console in order, a screenshot of the view's size, and one that cannot be
// written, which makes the run fail with the usage code as a bad command line would.
TEST_P(Engine, ConsoleAndScreenshots) {
  REQUIRE_ENGINE();
  std::string page = Write("page.html",
                           "<html><body style='margin:0;background:#fff'>"
                           "<div style='width:100px;height:50px;background:#f00'></div><script>"
                           "console.log('one');"
                           "alert('hi');"
                           "setTimeout(function() { console.log('two ' + (1 + 1)); }, 300);"
                           "</script></body></html>");
  ViewRun r = View({"--headless", "--size", "640x480", "--screenshot", Path("shot.png"), "--at",
                    "0.2", "--screenshot", Path("no/such/dir/a.png"), "--at", "0.3",
                    "--quit-after", "1", page});
  EXPECT_EQ(r.code, 2) << r.Report();
  EXPECT_EQ(r.Only({"one", "alert: hi", "two 2"}),
            (std::vector<std::string>{"one", "alert: hi", "two 2"}))
      << r.Report();
  EXPECT_NE(r.err.find("klp view: saved " + Path("shot.png") + "\n"), std::string::npos)
      << r.Report();
  EXPECT_NE(r.err.find("klp view: could not write " + Path("no/such/dir/a.png") + "\n"),
            std::string::npos)
      << r.Report();
  QImage shot(QString::fromStdString(Path("shot.png")));
  ASSERT_FALSE(shot.isNull()) << r.Report();
  EXPECT_EQ(shot.width(), 640);
  EXPECT_EQ(shot.height(), 480);
  EXPECT_EQ(shot.pixel(50, 25) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shot.pixel(300, 300) & 0xFFFFFF, 0xFFFFFFu);
}

// --- The movie --------------------------------------------------------------------------------

// The door's frame at frame 100 of its slide: key frames (20,70)-(90,210) at 20 and
// (220,70)-(290,210) at 180 give (120,70)-(190,210), green over the test pattern.
TEST_P(Engine, TheScreenshotShowsTheDoorsFrameWhereTheProjectPutsIt) {
  REQUIRE_ENGINE();
  Project("tour.klp", "tour.webm");
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='false'"},
                          std::string(kLogEvents) +
                              "setTimeout(function() {"
                              "  document.getElementById('m1').EnableMarker('middle'); }, 1000);");
  ViewRun r = View({"--headless", "--screenshot", Path("video.png"), "--at", "2.5", page});
  ASSERT_EQ(r.code, 0) << r.Report();
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  QImage shot(QString::fromStdString(Path("video.png")));
  ASSERT_FALSE(shot.isNull());
  EXPECT_FALSE(IdlePictureAt(shot, (320 - 122) / 2, (240 - 38) / 2));
  const QColor green(0, 255, 0);
  EXPECT_TRUE(NearInRow(shot, 116, 124, 140, green)) << "door's left edge";
  EXPECT_TRUE(NearInRow(shot, 186, 194, 140, green)) << "door's right edge";
  EXPECT_TRUE(NearInRow(shot, 126, 136, 70, green) || NearInRow(shot, 126, 136, 68, green) ||
              NearInRow(shot, 126, 136, 72, green))
      << "door's top edge";
  EXPECT_FALSE(NearInRow(shot, 127, 134, 140, green)) << "inside the door: video only";
  EXPECT_TRUE(NearInRow(shot, 127, 134, 140, QColor(0, 255, 255))) << "the video under the door";
}

TEST_P(Engine, AClickOnAnAnchorReachesThePage) {
  REQUIRE_ENGINE();
  Project("tour.klp", "tour.webm");
  std::string page = Page({"id='m1' name='m1' src='tour.klp' autoplay='true'"}, kLogEvents);
  ViewRun r = View({"--headless", "--click", "265,40", "--at", "1", "--quit-after", "2", page});
  ASSERT_EQ(r.code, 0) << r.Report();
  if (MediaMissing(r)) GTEST_SKIP() << "the media graph cannot open the movie";
  EXPECT_EQ(r.Count("anchor sun"), 1u) << r.Report();
}

TEST_P(Engine, AProjectOpensFullPage) {
  REQUIRE_ENGINE();
  ViewRun r;
  QImage shot = FullPage("missing.webm", &r);
  ASSERT_EQ(r.code, 0) << r.Report();
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(IdlePictureAt(shot, (640 - 122) / 2, (480 - 38) / 2));
}

TEST_P(Engine, AProjectFullPagePlaysItsMovieAtItsOwnSize) {
  REQUIRE_ENGINE();
  ViewRun r;
  QImage shot = FullPage("tour.webm", &r);
  ASSERT_EQ(r.code, 0) << r.Report();
  ASSERT_FALSE(shot.isNull());
  EXPECT_FALSE(IdlePictureAt(shot, (640 - 122) / 2, (480 - 38) / 2)) << "the movie is open";
  // The movie's 320x240 picture at the top left, not stretched (the test pattern's yellow bar,
  // the white page right of and below it), and no idle picture behind.
  QColor yellow = shot.pixelColor(65, 100);
  EXPECT_GT(yellow.red(), 150);
  EXPECT_GT(yellow.green(), 150);
  EXPECT_LT(yellow.blue(), 100);
  EXPECT_EQ(shot.pixel(330, 100) & 0xFFFFFF, 0xFFFFFFu) << "right of the movie";
  EXPECT_EQ(shot.pixel(100, 250) & 0xFFFFFF, 0xFFFFFFu) << "below the movie";
  EXPECT_EQ(shot.pixel(400, 300) & 0xFFFFFF, 0xFFFFFFu) << "where the idle picture was";
}

INSTANTIATE_TEST_SUITE_P(Engines, Engine, ::testing::ValuesIn(kEngines),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

TEST(EngineHelp, ListsTheEngines) {
  FILE* p = popen("'" KLP_VIEW "' --help", "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("--engine qtwebkit|chromium|firefox"), std::string::npos) << out;
  EXPECT_NE(out.find("7 browser engine missing"), std::string::npos) << out;
}

}  // namespace
