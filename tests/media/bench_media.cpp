// CPU cost of playing a movie through the graph, side by side with the floor: the plain decoding
// pipeline with the conversion to BGRx that painting needs. One 640x480, 30 fps, 20 s clip is
// made first; then both play it in real time, one after the other, and the process's CPU
// seconds (all threads) are compared. The graph plays with 20 moving anchors into a window of
// the clip's size on the sim desktop, pumped as a browser's thread would be.
//
// Usage: bench_media [h264|mjpeg|vp8|theora] (h264 when not given)
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "overlay/anchor_overlay.h"
#include "platform/dshow/dshow.h"
#include "platform/gst/frame_filter.h"
#include "platform/gst/gst_graph.h"
#include "platform/sim/sim_desktop.h"
#include "tests/media/bench_floor.h"
#include "tests/media/clip_maker.h"
#include "tests/media/media_fixture.h"

namespace {

using namespace dshow;
using klp::test::ClipSpec;
using klp::test::Codec;

constexpr int kWidth = 640, kHeight = 480, kFps = 30, kFrames = 20 * kFps, kAnchors = 20;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Run {
  double cpu = 0;
  double wall = 0;
  int frames = 0;   // frames that reached the end of the pipeline (the graph: distinct ones)
  int painted = 0;  // distinct frames painted (graph only)
};

bool PlayFloor(const std::string& path, Run* run) {
  double cpu = CpuSeconds(), wall = Now();
  bool ok = klp::test::PlayPlainPipeline(path, &run->frames);
  run->cpu = CpuSeconds() - cpu;
  run->wall = Now() - wall;
  return ok;
}

// Counts the frames the graph's filters see.
class FrameCounter final : public media::IVideoFrameFilter, public IBaseFilter {
 public:
  virtual ~FrameCounter() = default;
  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    if (iid == media::IID_IVideoFrameFilter) {
      *object = static_cast<media::IVideoFrameFilter*>(this);
    } else if (iid == IID_IBaseFilter || iid == com::IID_IUnknown) {
      *object = static_cast<IBaseFilter*>(this);
    } else {
      *object = nullptr;
      return com::E_NOINTERFACE;
    }
    return com::S_OK;
  }
  com::ULONG AddRef() override { return 2; }  // lives on the stack of PlayGraph
  com::ULONG Release() override { return 1; }
  void AttachHost(media::IVideoFrameHost*) override {}
  void TransformFrame(const media::VideoFrame& f) override {
    std::lock_guard lock(mutex);
    seen.insert(f.number);
  }
  std::mutex mutex;
  std::set<int> seen;  // frame numbers
};

// The sim desktop woken by posted messages, as a browser's thread is by its async calls.
class WakingDesktop final : public sim::SimDesktop {
 public:
  void MessagePosted(win::HWND) override {
    {
      std::lock_guard lock(mutex_);
      posted_ = true;
    }
    wake_.notify_one();
  }
  void WaitForPost(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, limit, [&] { return posted_; });
    posted_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool posted_ = false;
};

bool PlayGraph(const std::string& path, Run* run) {
  WakingDesktop desk;
  FrameCounter counter;
  klp::test::TestGraph g(desk);
  if (g.builder->AddFilter(&counter, nullptr) != com::S_OK) return false;
  if (g.Open(path) != com::S_OK) return false;
  // Twenty anchors crossing the picture, half of them ellipses.
  for (int i = 0; i < kAnchors; ++i) {
    int32_t id = g.overlay->CreateAnchor(3, 0x0000FF + i * 0x0A0000,
                                         i % 2 ? SHAPE_ELLIPSE : SHAPE_RECT);
    // Below the frame-number bands (the top 128 rows).
    int x = 20 + (i % 5) * 120, y = 240 + (i / 5) * 55;
    AnchorKeyFrame keys[] = {{0, x, y, x + 80, y + 45},
                             {kFrames / 2, x + 30, y - 100, x + 100, y - 60},
                             {kFrames - 1, x, y, x + 80, y + 45}};
    g.overlay->SetKeyFrames(id, keys, 3);
  }
  std::set<int> painted;
  int lastPaints = -1;
  double cpu = CpuSeconds(), wall = Now();
  if (g.control->Run() != com::S_OK) return false;
  bool ended = false;
  double limit = Now() + 120;
  win::Surface* screen = g.Screen();
  int notifies = g.NotifiesPosted();
  while (!ended && Now() < limit) {
    desk.WaitForPost(std::chrono::milliseconds(100));
    desk.RunUntilIdle();
    if (screen->paints != lastPaints) {
      lastPaints = screen->paints;
      int n = klp::test::ReadFrameNumber(*screen, kWidth, kHeight);
      if (n >= 0) painted.insert(n);
    }
    if (g.NotifiesPosted() != notifies) {
      notifies = g.NotifiesPosted();
      ended = g.TakeComplete();
    }
  }
  run->cpu = CpuSeconds() - cpu;
  run->wall = Now() - wall;
  run->frames = static_cast<int>(counter.seen.size());
  run->painted = static_cast<int>(painted.size());

  g.Release();
  return ended;
}

}  // namespace

int main(int argc, char** argv) {
  Codec codec = Codec::kH264Mp4;
  if (argc > 1 && !std::strcmp(argv[1], "mjpeg")) codec = Codec::kMjpegAvi;
  if (argc > 1 && !std::strcmp(argv[1], "vp8")) codec = Codec::kVp8Webm;
  if (argc > 1 && !std::strcmp(argv[1], "theora")) codec = Codec::kTheoraOgg;
  klp::test::MediaTempDir dir;
  std::string path = dir.Path(std::string("bench") + klp::test::Extension(codec)), error;
  std::printf("making a %dx%d %d fps %d s %s clip...\n", kWidth, kHeight, kFps, kFrames / kFps,
              klp::test::CodecName(codec));
  if (!klp::test::WriteClip(ClipSpec{codec, kWidth, kHeight, kFrames, kFps}, path, &error)) {
    std::fprintf(stderr, "cannot make the clip: %s\n", error.c_str());
    return 1;
  }
  Run floor, graph;
  const bool graphOnly = argc > 2 && !std::strcmp(argv[2], "graph");
  if (!graphOnly && !PlayFloor(path, &floor)) {
    std::fprintf(stderr, "the plain pipeline did not reach its end\n");
    return 1;
  }
  if (!PlayGraph(path, &graph)) {
    std::fprintf(stderr, "the graph did not reach its end\n");
    return 1;
  }
  std::printf("%-52s %8s %8s %8s %8s\n", "", "cpu s", "wall s", "frames", "painted");
  std::printf("%-52s %8.2f %8.2f %8d %8s\n",
              "decodebin ! videoconvert ! BGRx ! fakesink sync=true", floor.cpu, floor.wall,
              floor.frames, "-");
  std::printf("%-52s %8.2f %8.2f %8d %8d\n", "graph, 20 moving anchors, 640x480 window",
              graph.cpu, graph.wall, graph.frames, graph.painted);
  std::printf("ratio %.3f, frames dropped: %d of %d delivered, %d of %d painted\n",
              graph.cpu / floor.cpu, kFrames - graph.frames, kFrames, kFrames - graph.painted,
              kFrames);
  return 0;
}
