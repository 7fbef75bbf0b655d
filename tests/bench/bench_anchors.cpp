// Cost of the player's per-event work on a large project: AnchorAt for one mouse move over
// 1 000 hot spots with 10 key frames each, and one position tick (OnSeeking) over 10 000 markers
// and 10 000 events. Hot spots are spread over a 30 000-frame movie of 320 x 240 shown at
// 640 x 480; marks lie every 3 frames, so a tick advancing 3 frames fires one marker and one
// event (into an instance without a bound script class: the event's own cost, not the page's).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "player/movie_play.h"
#include "window/plugin_window.h"

namespace {

constexpr int32_t kFrames = 30000;

std::string Named(const char* prefix, int i) {
  std::string name(prefix);
  name += std::to_string(i);
  return name;
}

class Scene {
 public:
  Scene(int hotSpots, int keyFrames, int marks) {
    npp_.pdata = &window_;
    window_.m_hwnd = browser_;
    CKLMoviePlay& p = player();
    p.m_videoWidth = 320;
    p.m_videoHeight = 240;
    p.m_displayWidth = 640;
    p.m_displayHeight = 480;
    std::mt19937 rng(7);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    CProjectInfo& project = *p.m_project;
    for (int i = 0; i < hotSpots; ++i) {
      auto spot = std::make_unique<CHotSpotInfo>();
      spot->name = Named("spot", i);
      spot->shape.assign(1, i % 2 ? 'C' : 'R');
      spot->startFrame = in(0, kFrames - 3000);
      spot->endFrame = spot->startFrame + 3000;
      for (int k = 0; k < keyFrames; ++k) {
        int32_t l = in(0, 280), t = in(0, 200);
        spot->keyFrames.push_back(
            KeyFrame{spot->startFrame + k * 300, l, t, l + in(10, 40), t + in(10, 40)});
      }
      project.hotSpots.push_back(std::move(spot));
    }
    for (int i = 0; i < marks; ++i) {
      auto marker = std::make_unique<CMarkerInfo>();
      marker->name = Named("marker", i);
      marker->frame = i * 3;
      project.markers.push_back(std::move(marker));
      auto event = std::make_unique<CEventInfo>();
      event->name = Named("event", i);
      event->frame = i * 3 + 1;
      project.events.push_back(std::move(event));
    }
    project.hotSpotCount = hotSpots;
    project.markerCount = marks;
    project.eventCount = marks;
    p.m_hotSpotCount = hotSpots;
  }
  CKLMoviePlay& player() { return *window_.m_player; }

 private:
  sim::SimDesktop desk_;
  win::HWND browser_ = desk_.CreateBrowserWindow(0, 0, 640, 480);
  NPP_t npp_{};
  CKLPluginWindow window_{&npp_, 0, nullptr, "bench", 0, 1, 1, 0, 0, 0};
};

// A mouse move anywhere over the video at a frame somewhere in the movie.
void BM_AnchorAt(benchmark::State& state) {
  Scene scene(1000, 10, 0);
  std::mt19937 rng(11);
  std::vector<std::pair<int32_t, anchors::Point>> moves(4096);
  for (auto& [frame, point] : moves) {
    frame = std::uniform_int_distribution<int32_t>(0, kFrames)(rng);
    point = {std::uniform_int_distribution<int32_t>(0, 639)(rng),
             std::uniform_int_distribution<int32_t>(0, 479)(rng)};
  }
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    const auto& [frame, point] = moves[i++ & 4095];
    int32_t found = scene.player().AnchorAt(frame, point);
    hits += found >= 0;
    benchmark::DoNotOptimize(found);
  }
  state.counters["hit%"] = 100.0 * static_cast<double>(hits) / static_cast<double>(i);
}
BENCHMARK(BM_AnchorAt);

// The worst move: a point no hot spot covers, so every hot spot is tested.
void BM_AnchorAtMiss(benchmark::State& state) {
  Scene scene(1000, 10, 0);
  int32_t frame = 0;
  for (auto _ : state) {
    frame = (frame + 3) % kFrames;
    benchmark::DoNotOptimize(scene.player().AnchorAt(frame, anchors::Point{639, 479}));
  }
}
BENCHMARK(BM_AnchorAtMiss);

// One tick while playing: three frames on, one marker and one event passed, timer set again.
void BM_OnSeekingTick(benchmark::State& state) {
  Scene scene(0, 0, 10000);
  CKLMoviePlay& p = scene.player();
  p.m_state = MOVIE_PLAYING;
  int32_t frame = 0;
  for (auto _ : state) {
    frame += 3;
    if (frame >= kFrames) {
      frame = 0;
      p.m_curFrame = -1;
    }
    p.OnSeeking(frame);
  }
}
BENCHMARK(BM_OnSeekingTick);

}  // namespace

BENCHMARK_MAIN();
