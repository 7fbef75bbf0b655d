// AnchorAt against a brute-force reference over generated projects: overlapping hot spots, every
// shape text, empty and inverted spans, unordered and repeated key frames, large coordinates and
// frame distances, and any video and display size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/player/player_fixture.h"

namespace klp::test {
namespace {

struct Spot {
  std::string shape;
  int32_t start = 0;
  int32_t end = 0;
  std::vector<KeyFrame> keyFrames;
};

struct Scene {
  std::vector<Spot> spots;
  int32_t videoW = 0, videoH = 0, displayW = 0, displayH = 0;
};

// --- Reference: the rules written out, in wide arithmetic ---------------------------------------

std::optional<anchors::Rect> ReferenceRect(const Spot& s, int64_t frame) {
  if (frame < s.start || frame > s.end || s.keyFrames.empty()) return std::nullopt;
  const auto& k = s.keyFrames;
  const size_t n = k.size();
  size_t stop = n;  // the first key frame later than frame
  for (size_t i = n; i-- > 0;)
    if (k[i].frame > frame) stop = i;
  for (size_t i = 0; i < stop; ++i)
    if (k[i].frame == frame) return anchors::Rect{k[i].left, k[i].top, k[i].right, k[i].bottom};
  const KeyFrame& prev = stop == n ? k[n - 1] : k[stop == 0 ? 0 : stop - 1];
  const KeyFrame& next = stop == n ? k[0] : k[stop];
  const bool between = frame != prev.frame && next.frame > prev.frame;
  auto coord = [&](int32_t KeyFrame::*c) -> int32_t {
    if (!between) return prev.*c;
    __int128 num = static_cast<__int128>(frame - prev.frame) * (next.*c - prev.*c);
    return static_cast<int32_t>(prev.*c + num / (next.frame - prev.frame));
  };
  return anchors::Rect{coord(&KeyFrame::left), coord(&KeyFrame::top), coord(&KeyFrame::right),
                       coord(&KeyFrame::bottom)};
}

bool ReferenceHit(const Scene& sc, const Spot& s, int32_t frame, anchors::Point p) {
  const bool rect = s.shape == "R" || s.shape == "r";
  const bool ellipse = s.shape == "C" || s.shape == "c";
  auto r = ReferenceRect(s, frame);
  if (!r || (!rect && !ellipse) || sc.videoW <= 0 || sc.videoH <= 0) return false;
  // Scaling and the ellipse are floating point (double) by definition.
  const double x = static_cast<double>(sc.displayW) / sc.videoW;
  const double y = static_cast<double>(sc.displayH) / sc.videoH;
  const int64_t l = static_cast<int64_t>(std::trunc(r->left * x));
  const int64_t t = static_cast<int64_t>(std::trunc(r->top * y));
  const int64_t rr = static_cast<int64_t>(std::trunc(r->right * x));
  const int64_t b = static_cast<int64_t>(std::trunc(r->bottom * y));
  if (p.x < l || p.x > rr || p.y < t || p.y > b) return false;
  if (rect) return true;
  const int64_t a = (rr - l) / 2 + 1, bb = (b - t) / 2 + 1;
  const double dx = static_cast<double>(p.x - l - a + 1),
               dy = static_cast<double>(p.y - t - bb + 1);
  const double a2 = static_cast<double>(a) * a, b2 = static_cast<double>(bb) * bb;
  return dx * dx * b2 + dy * dy * a2 <= a2 * b2;
}

int32_t ReferenceAnchorAt(const Scene& sc, int32_t frame, anchors::Point p) {
  if (frame < 0) return -1;
  std::vector<int32_t> hits;
  for (size_t i = 0; i < sc.spots.size(); ++i)
    if (ReferenceHit(sc, sc.spots[i], frame, p)) hits.push_back(static_cast<int32_t>(i));
  return hits.empty() ? -1 : hits.front();
}

// --- Generation -------------------------------------------------------------------------------

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}
  int32_t Int(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng_);
  }
  bool Chance(int percent) { return Int(1, 100) <= percent; }

  Scene MakeScene() {
    Scene sc;
    const bool large = Chance(15);  // spans and coordinates whose products need 64 bits
    const int32_t frames = large ? 3000000 : 80, extent = large ? 200000 : 400;
    sc.videoW = Chance(3) ? 0 : Int(1, 400);
    sc.videoH = Chance(3) ? 0 : Int(1, 400);
    sc.displayW = Int(1, 800);
    sc.displayH = Int(1, 800);
    static const char* const kShapes[] = {"R", "r", "C", "c", "X", "", "RR", "c "};
    const int count = Int(1, 12);
    for (int i = 0; i < count; ++i) {
      Spot s;
      s.shape = kShapes[Int(0, 7)];
      s.start = Int(-5, frames / 2);
      s.end = s.start + Int(-3, frames);
      const int keys = Int(0, 5);
      for (int k = 0; k < keys; ++k) {
        // Repeated frames and any order; ascending most of the time.
        int32_t f = Chance(70) && !s.keyFrames.empty()
                        ? s.keyFrames.back().frame + Int(0, frames / 4)
                        : Int(-10, frames);
        int32_t l = Int(-extent / 8, extent), t = Int(-extent / 8, extent);
        s.keyFrames.push_back(KeyFrame{f, l, t, l + Int(-5, extent / 2), t + Int(-5, extent / 2)});
      }
      sc.spots.push_back(std::move(s));
    }
    return sc;
  }

  // A query near a hot spot's rectangle most of the time, so that hits and edges are common.
  std::pair<int32_t, anchors::Point> MakeQuery(const Scene& sc) {
    const Spot& s = sc.spots[Int(0, static_cast<int32_t>(sc.spots.size()) - 1)];
    int32_t frame =
        Chance(50) && !s.keyFrames.empty()
            ? s.keyFrames[Int(0, static_cast<int32_t>(s.keyFrames.size()) - 1)].frame + Int(-2, 2)
            : Int(std::min(s.start, 0) - 3, std::max(s.start, s.end) + 3);
    anchors::Point p{Int(-10, sc.displayW + 10), Int(-10, sc.displayH + 10)};
    auto r = ReferenceRect(s, frame);
    if (r && sc.videoW > 0 && sc.videoH > 0 && Chance(70)) {
      const double x = static_cast<double>(sc.displayW) / sc.videoW;
      const double y = static_cast<double>(sc.displayH) / sc.videoH;
      const int32_t l = static_cast<int32_t>(r->left * x), t = static_cast<int32_t>(r->top * y);
      const int32_t w = static_cast<int32_t>(r->right * x) - l;
      const int32_t h = static_cast<int32_t>(r->bottom * y) - t;
      switch (Int(0, 2)) {
        case 0:  // anywhere in or just around it
          p = {l + Int(-1, std::max(w, 0) + 1), t + Int(-1, std::max(h, 0) + 1)};
          break;
        case 1:  // a corner
          p = {l + (Chance(50) ? w : 0), t + (Chance(50) ? h : 0)};
          break;
        default:  // the middle of a side
          p = Chance(50) ? anchors::Point{l + w / 2, t + (Chance(50) ? h : 0)}
                         : anchors::Point{l + (Chance(50) ? w : 0), t + h / 2};
      }
    }
    return {frame, p};
  }

 private:
  std::mt19937 rng_;
};

using HitProperty = PlayerTest;

TEST_F(HitProperty, AnchorAtAgreesWithTheBruteForceReference) {
  Generator gen(20240521);
  int hits = 0, misses = 0;
  for (int project = 0; project < 400; ++project) {
    const Scene sc = gen.MakeScene();
    Make();
    for (const Spot& s : sc.spots) AddHotSpot("s", s.shape, s.start, s.end, s.keyFrames);
    player().m_videoWidth = sc.videoW;
    player().m_videoHeight = sc.videoH;
    player().m_displayWidth = sc.displayW;
    player().m_displayHeight = sc.displayH;
    for (int q = 0; q < 250; ++q) {
      const auto [frame, point] = gen.MakeQuery(sc);
      const int32_t expected = ReferenceAnchorAt(sc, frame, point);
      ASSERT_EQ(player().AnchorAt(frame, point), expected)
          << "project " << project << " query " << q << ": frame " << frame << " at (" << point.x
          << ", " << point.y << ")";
      (expected >= 0 ? hits : misses)++;
    }
  }
  // The generator reaches both outcomes often enough to mean something.
  EXPECT_GT(hits, 10000);
  EXPECT_GT(misses, 20000);
}

}  // namespace
}  // namespace klp::test
