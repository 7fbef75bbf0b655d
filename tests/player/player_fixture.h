// The fixture of the player tests: a sim desktop with the sim media graph, the browser's window
// of one instance, the instance's CKLPluginWindow (kldebug on, named "m1") whose player is under
// test, a recording script runtime, and helpers that build a project in memory.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_graph.h"
#include "platform/sim/sim_overlay.h"
#include "player/movie_play.h"
#include "plugin/module.h"
#include "tests/player/script_recorder.h"
#include "window/plugin_window.h"

namespace klp::test {

inline const win::HINSTANCE kModule = reinterpret_cast<win::HINSTANCE>(0x10000);
inline constexpr const char* kMovie = "movie.sim";
// 300 frames at 30 per second: one position tick (100 ms) is 3 frames.
inline constexpr const char* kMovieFixture = "frames=300\nfps=30\nwidth=320\nheight=240";

struct PlayerOptions {
  int32_t showAnchor = 1;
  int32_t autoPlay = 0;
  int32_t autoRepeat = 0;
};

// One instance: its handle, its window object and the browser's window it draws in.
struct Instance {
  NPP_t npp{};
  std::unique_ptr<CKLPluginWindow> window;

  Instance(win::HWND browser, PlayerOptions o, const char* name = "m1") {
    window = std::make_unique<CKLPluginWindow>(&npp, 0, nullptr, name, 0, 1, o.showAnchor,
                                               o.autoPlay, o.autoRepeat, 1);
    npp.pdata = window.get();
    window->m_hwnd = browser;
  }
  ~Instance() { Destroy(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void Destroy() {
    window.reset();
    npp.pdata = nullptr;
  }
  CKLMoviePlay& player() { return *window->m_player; }
};

// Records appended to a player's project, with the counts kept as a read would leave them.
inline int32_t AddHotSpot(CKLMoviePlay& player, std::string name, std::string shape, int32_t start,
                          int32_t end, std::vector<KeyFrame> keyFrames) {
  CProjectInfo& p = *player.m_project;
  auto spot = std::make_unique<CHotSpotInfo>();
  spot->name = std::move(name);
  spot->shape = std::move(shape);
  spot->startFrame = start;
  spot->endFrame = end;
  spot->keyFrameCount = static_cast<int32_t>(keyFrames.size());
  spot->keyFrames = std::move(keyFrames);
  p.hotSpots.push_back(std::move(spot));
  p.hotSpotCount = static_cast<int32_t>(p.hotSpots.size());
  player.m_hotSpotCount = p.hotSpotCount;
  return p.hotSpotCount - 1;
}

inline void AddEffect(CKLMoviePlay& player, std::string name, int32_t frameColor, int32_t lineWidth,
                      int32_t highlight, int32_t visibility) {
  CProjectInfo& p = *player.m_project;
  auto effect = std::make_unique<CEffectInfo>();
  effect->name = std::move(name);
  effect->frameColor = frameColor;
  effect->lineWidth = lineWidth;
  effect->highlightColor = highlight;
  effect->visibility = visibility;
  p.effects.push_back(std::move(effect));
  p.effectCount = static_cast<int32_t>(p.effects.size());
}

inline void AddMarker(CKLMoviePlay& player, std::string name, int32_t frame) {
  CProjectInfo& p = *player.m_project;
  auto marker = std::make_unique<CMarkerInfo>();
  marker->name = std::move(name);
  marker->frame = frame;
  p.markers.push_back(std::move(marker));
  p.markerCount = static_cast<int32_t>(p.markers.size());
}

inline void AddEvent(CKLMoviePlay& player, std::string name, int32_t frame) {
  CProjectInfo& p = *player.m_project;
  auto event = std::make_unique<CEventInfo>();
  event->name = std::move(name);
  event->frame = frame;
  p.events.push_back(std::move(event));
  p.eventCount = static_cast<int32_t>(p.events.size());
}

class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() {
    SetModuleInstance(kModule);
    media.AddMovie(kMovie, kMovieFixture);
  }
  ~PlayerTest() override { SetModuleInstance(nullptr); }

  void TearDown() override {
    instance.reset();
    ExpectAllReleased();
  }

  // Builds the instance anew (the old one goes first).
  void Make(PlayerOptions o = {}) {
    instance.reset();
    instance = std::make_unique<Instance>(browser, o);
  }
  CKLMoviePlay& player() { return instance->player(); }
  NPP npp() { return &instance->npp; }

  int Open(const char* path = kMovie) { return player().OpenMovie(browser, path); }
  // Opens the movie and forgets what opening traced and called.
  void OpenQuietly() {
    ASSERT_EQ(Open(), 1);
    Forget();
  }
  void Forget() {
    script.Clear();
    media.log().Clear();
  }
  std::vector<std::string> Lines() const { return script.Lines(); }
  std::vector<std::string> Events() const { return script.Events(); }
  // The graph and overlay calls since the last Forget, without reference counting.
  std::vector<std::string> Calls() { return media.log().Texts(); }
  // Timer 21 is set on the player's notification window.
  bool Ticking() const { return desk.TimerActive(instance->player().m_notifyWnd, IDT_POSITION); }

  // Every media object made so far holds no reference and was never used after its release.
  void ExpectAllReleased() {
    for (sim::SimGraph* g : media.graphs()) {
      EXPECT_EQ(g->RefCount(), 0u) << "graph #" << g->serial();
      EXPECT_THAT(g->Misuses(), ::testing::IsEmpty());
    }
    for (sim::SimOverlay* o : media.overlays()) {
      EXPECT_EQ(o->RefCount(), 0u) << "overlay #" << o->serial();
      EXPECT_THAT(o->Misuses(), ::testing::IsEmpty());
    }
  }

  // --- The project of the instance's player, in memory -----------------------------------------
  CProjectInfo& project() { return *player().m_project; }
  int32_t AddHotSpot(std::string name, std::string shape, int32_t start, int32_t end,
                     std::vector<KeyFrame> keyFrames) {
    return klp::test::AddHotSpot(player(), std::move(name), std::move(shape), start, end,
                                 std::move(keyFrames));
  }
  void AddEffect(std::string name, int32_t frameColor, int32_t lineWidth, int32_t highlight,
                 int32_t visibility) {
    klp::test::AddEffect(player(), std::move(name), frameColor, lineWidth, highlight, visibility);
  }
  void AddMarker(std::string name, int32_t frame) {
    klp::test::AddMarker(player(), std::move(name), frame);
  }
  void AddEvent(std::string name, int32_t frame) {
    klp::test::AddEvent(player(), std::move(name), frame);
  }

  sim::SimDesktop desk;
  sim::SimMedia media{desk};
  ScriptRecorder script;
  // The browser's window of the instance: client area 640 x 480 at (100, 50) on the screen.
  win::HWND browser = desk.CreateBrowserWindow(100, 50, 640, 480);
  std::unique_ptr<Instance> instance = std::make_unique<Instance>(browser, PlayerOptions{});
};

// Handles as the call log prints them.
inline std::string Handle(const void* hwnd) {
  return std::to_string(reinterpret_cast<intptr_t>(hwnd));
}

}  // namespace klp::test
