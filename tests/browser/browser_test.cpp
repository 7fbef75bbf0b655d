// The plug-in in a real browser engine: `klp view --headless` opens pages in QtWebKit on a
// private Xvfb; the tests read what page script printed and the screenshots it saved.
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

#include "tests/browser/view_run.h"

namespace {

using klptest::IdlePictureAt;
using klptest::kLogEvents;
using klptest::ViewRun;

// The exit codes, screenshots of the door's frame, clicks and full-page projects are tested in
// every engine alike (engine_test.cpp); these are the plug-in's own.
class Browser : public ::testing::Test, public klptest::TourDir {
 protected:
  // Skips media tests while the media graph cannot open the example movie.
  bool MediaMissing(const ViewRun& r) const { return r.Has("error 2"); }
};

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
