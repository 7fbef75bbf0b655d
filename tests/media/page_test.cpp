// Whole page lives through npklod32.so with a real clip in real time: the integration host
// delivers the project and the movie (deleting the movie file at once, as browsers do), the
// module's player drives the GStreamer graph, and the page's script receives the events.
#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "tests/host/fixture.h"
#include "tests/media/clip_cache.h"
#include "tests/media/x_click.h"

namespace klp::host {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

// 60 frames at 30 fps; the hot spot "door" moves right across the picture and always covers
// the point (80, 75).
constexpr const char* kProject =
    "[Global]\r\nKLPVersion=1.00\r\nSource=clip.avi\r\nHotSpot=1\r\n"
    "[Marker]\r\nstart:0\r\nmiddle:20\r\nlate:50\r\n"
    "[Event]\r\nbell:10:TAC:one\r\ngong:40:TAC:two\r\n"
    "[HotSpot]\r\n(door:doorlink:R:0-59:2)\r\n0:0,40,80,110\r\n59:80,40,160,110\r\n"
    "[Effect]\r\ndoor:FF00:2:FF0000:1\r\n";

class PageLife : public PluginTest {
 protected:
  // An embedded instance that has its window, its project and its movie.
  NPP Open(const std::string& name, bool autoplay, bool autorepeat = false) {
    NPP instance = NewInstance({{"src", "/movies/tour.klp"},
                                {"name", name},
                                {"autoplay", autoplay ? "true" : "false"},
                                {"autorepeat", autorepeat ? "true" : "false"},
                                {"kldebug", "true"}});
    EXPECT_EQ(host.SetWindow(instance, 160, 120), NPERR_NO_ERROR);
    host.DeliverFile(instance, "/movies/tour.klp", dir.Write(name + ".klp", kProject));
    const Request& request = host.requests.back();
    EXPECT_EQ(request.instance, instance);
    EXPECT_EQ(request.url, "/movies/clip.avi");
    // The browser's copy of the download goes as soon as the plug-in has seen it.
    std::string delivered = dir.Path(name + "-clip.avi");
    std::filesystem::copy_file(test::Clip(test::ClipSpec{}), delivered);
    host.Answer(request, delivered);
    std::filesystem::remove(delivered);
    EXPECT_THAT(host.Events(instance), Not(Contains(::testing::HasSubstr("OnError"))));
    EXPECT_TRUE(Traced(instance, "<OpenMovie>"));
    return instance;
  }

  // Runs the browser's loop in step with real time until done() or timeoutMs.
  bool LiveUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      host.RunFor(10);
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void LiveFor(int ms) {
    LiveUntil([] { return false; }, ms);
  }
  bool Saw(NPP instance, const std::string& event, size_t times = 1) {
    size_t n = 0;
    for (const std::string& e : host.Events(instance)) n += e == event;
    return n >= times;
  }
  bool Traced(NPP instance, const std::string& line) {
    for (const std::string& t : host.Trace(instance))
      if (t == line) return true;
    return false;
  }

  void Click(NPP instance, int x, int y) { test::ClickAt(host.plugin(), instance, x, y); }

  // The events of one kind that the page heard, in order. Marks passed within one tick fire all
  // markers before all events, so the order across kinds depends on how late the tick came.
  std::vector<std::string> Heard(NPP instance, const std::string& kind) {
    std::vector<std::string> heard;
    for (const std::string& e : host.Events(instance))
      if (e.rfind(kind + "(", 0) == 0) heard.push_back(e);
    return heard;
  }

  JRIEnv* env() { return host.runtime().env(); }
  jstring Text(const char* s) { return host.runtime().NewString(s); }
};

TEST_F(PageLife, PlaysClicksCommandsAndEnds) {
  NPP m1 = Open("m1", /*autoplay=*/true);
  jref peer = host.PeerOf(m1);
  ASSERT_TRUE(LiveUntil([&] { return Saw(m1, "OnKLEvent(m1_OnKLEvent, gong)"); }));
  EXPECT_THAT(Heard(m1, "OnMarker"),
              ElementsAre("OnMarker(m1_OnMarker, start)", "OnMarker(m1_OnMarker, middle)"));
  EXPECT_THAT(Heard(m1, "OnKLEvent"),
              ElementsAre("OnKLEvent(m1_OnKLEvent, bell)", "OnKLEvent(m1_OnKLEvent, gong)"));

  // A click on the moving anchor activates it and pauses the movie.
  Click(m1, 80, 75);
  EXPECT_TRUE(Saw(m1, "OnActivateAnchor(m1_OnActivateAnchor, door)"));
  size_t events = host.Events(m1).size();
  LiveFor(400);
  EXPECT_EQ(host.Events(m1).size(), events) << "paused: nothing more fires";

  // Play from where it stands, to the end: the player stops on frame 0.
  ASSERT_EQ(host.exports().native_Play(env(), peer, -1), 1);
  ASSERT_TRUE(LiveUntil([&] { return Traced(m1, "<EC_COMPLETE>"); }));
  host.RunFor(200);
  EXPECT_THAT(host.Events(m1), ElementsAre(_, _, _, _,
                                           "OnActivateAnchor(m1_OnActivateAnchor, door)",
                                           "OnMarker(m1_OnMarker, late)"));

  // To a marker, play, pause and stop through the natives.
  ASSERT_EQ(host.exports().native_EnableMarker(env(), peer, Text("middle")), 1);
  ASSERT_EQ(host.exports().native_Play(env(), peer, -1), 1);
  ASSERT_TRUE(LiveUntil([&] { return Saw(m1, "OnKLEvent(m1_OnKLEvent, gong)", 2); }));
  ASSERT_EQ(host.exports().native_Pause(env(), peer), 1);
  ASSERT_EQ(host.exports().native_Stop(env(), peer), 1);
  ASSERT_EQ(host.exports().native_EnableAnchor(env(), peer, Text("door")), 1);
  LiveFor(300);
  std::vector<std::string> all = host.Events(m1);
  ASSERT_GE(all.size(), 7u);
  EXPECT_EQ(all[6], "OnKLEvent(m1_OnKLEvent, gong)");
  EXPECT_THAT(all, Not(Contains(::testing::HasSubstr("OnError"))));
  EXPECT_THAT(host.Trace(m1), Not(Contains(::testing::StartsWith("! "))));

  // Destroyed while playing.
  ASSERT_EQ(host.exports().native_Play(env(), peer, 10), 1);
  LiveFor(200);
  EXPECT_EQ(host.Destroy(m1), NPERR_NO_ERROR);
}

TEST_F(PageLife, TwoPlayersOnOnePageBothPlayTickAndEnd) {
  NPP a = Open("a", true);
  NPP b = Open("b", true);
  ASSERT_TRUE(LiveUntil([&] { return Traced(a, "<EC_COMPLETE>") && Traced(b, "<EC_COMPLETE>"); }));
  host.RunFor(200);
  for (NPP instance : {a, b}) {
    std::string n = instance == a ? "a" : "b";
    EXPECT_THAT(Heard(instance, "OnMarker"), ElementsAre("OnMarker(" + n + "_OnMarker, start)",
                                                         "OnMarker(" + n + "_OnMarker, middle)",
                                                         "OnMarker(" + n + "_OnMarker, late)"));
    EXPECT_THAT(Heard(instance, "OnKLEvent"), ElementsAre("OnKLEvent(" + n + "_OnKLEvent, bell)",
                                                          "OnKLEvent(" + n + "_OnKLEvent, gong)"));
    EXPECT_EQ(host.Events(instance).size(), 5u);
  }
}

enum class Moment { kPrerolled, kStarting, kPlaying, kPaused, kEnded };

class DestroyIn : public PageLife, public ::testing::WithParamInterface<Moment> {};

TEST_P(DestroyIn, EveryStateReturnsAndLeavesNothing) {
  NPP m1 = Open("m1", GetParam() != Moment::kPrerolled);
  jref peer = host.PeerOf(m1);
  switch (GetParam()) {
    case Moment::kPrerolled:
    case Moment::kStarting:
      break;
    case Moment::kPlaying:
      LiveFor(300);
      break;
    case Moment::kPaused:
      LiveFor(300);
      host.exports().native_Pause(env(), peer);
      host.RunFor(10);
      break;
    case Moment::kEnded:
      ASSERT_TRUE(LiveUntil([&] { return Traced(m1, "<EC_COMPLETE>"); }));
      break;
  }
  EXPECT_THAT(host.Trace(m1), Not(Contains(::testing::StartsWith("! "))));
  EXPECT_EQ(host.Destroy(m1), NPERR_NO_ERROR);
  host.RunFor(100);  // notices posted before the end find nothing
}

std::string MomentName(const ::testing::TestParamInfo<Moment>& info) {
  static const char* const kNames[] = {"Prerolled", "Starting", "Playing", "Paused", "Ended"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Moments, DestroyIn,
                         ::testing::Values(Moment::kPrerolled, Moment::kStarting,
                                           Moment::kPlaying, Moment::kPaused, Moment::kEnded),
                         MomentName);

}  // namespace
}  // namespace klp::host
