// The GStreamer graph with real clips, driven as the player drives it: the frame on screen
// against the position reported, exact seeks, pausing on a frame, the end of the movie and the
// restart from frame 0, over every container and codec the tests can make.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/media/media_fixture.h"

namespace klp::test {
namespace {

using namespace dshow;

class PlaybackTest : public ::testing::TestWithParam<Codec> {
 protected:
  void SetUp() override {
    path_ = Clip(ClipSpec{GetParam()});
    ASSERT_FALSE(path_.empty());
    ASSERT_EQ(g.Open(path_), com::S_OK);
  }

  sim::SimDesktop desk;
  TestGraph g{desk};
  std::string path_;
};

TEST_P(PlaybackTest, OpensStoppedOnFrameZeroWithItsSizeAndLength) {
  EXPECT_EQ(g.videoWidth, 160);
  EXPECT_EQ(g.videoHeight, 120);
  EXPECT_EQ(g.Duration(), 60);
  EXPECT_EQ(g.Position(), 0);
  EXPECT_EQ(g.ShownFrame(), 0);
  OAFilterState state = -1;
  EXPECT_EQ(g.control->GetState(0, &state), com::S_OK);
  EXPECT_EQ(state, State_Paused);
  win::Window* w = desk.Find(g.VideoWindow());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->style & win::WS_VISIBLE);  // auto show
  EXPECT_TRUE(w->style & win::WS_CHILD);
}

TEST_P(PlaybackTest, SeeksShowExactlyTheFrameAsked) {
  for (int frame : {1, 17, 30, 49, 59, 5, 0}) {
    ASSERT_EQ(g.Seek(frame), com::S_OK);
    EXPECT_EQ(g.Position(), frame);
    EXPECT_EQ(g.ShownFrame(), frame);
  }
}

TEST_P(PlaybackTest, PausesOnTheFrameItShows) {
  ASSERT_EQ(g.control->Run(), com::S_OK);
  PumpFor(desk, 300);
  ASSERT_EQ(g.control->StopWhenReady(), com::S_OK);
  ASSERT_EQ(g.control->Pause(), com::S_OK);
  // After the pause the picture is the one the position names...
  int64_t paused = g.Position();
  EXPECT_EQ(g.ShownFrame(), paused);
  EXPECT_GT(paused, 3);
  EXPECT_LT(paused, 30);
  // ...and settling there with a seek keeps it.
  ASSERT_EQ(g.Seek(paused), com::S_OK);
  EXPECT_EQ(g.Position(), paused);
  EXPECT_EQ(g.ShownFrame(), paused);
  PumpFor(desk, 100);
  EXPECT_EQ(g.Position(), paused);
}

// While playing the position follows the clock; the picture follows it within a frame, a few
// more when the machine is busy and painting lags.
TEST_P(PlaybackTest, ReportsTheFrameOnScreenWhilePlaying) {
  ASSERT_EQ(g.control->Run(), com::S_OK);
  int checked = 0, close = 0;
  for (int i = 0; i < 8; ++i) {
    PumpFor(desk, 90);
    int shown = g.ShownFrame();
    int64_t position = g.Position();
    if (shown < 0 || position >= 59) continue;
    EXPECT_GE(position - shown, -1) << "tick " << i;
    EXPECT_LE(position - shown, 3) << "tick " << i;
    close += std::abs(position - shown) <= 1;
    ++checked;
  }
  EXPECT_GE(checked, 5);
  EXPECT_GE(close * 2, checked);
}

TEST_P(PlaybackTest, EndPostsCompleteOnceAndASeekPlaysOnFromFrameZero) {
  ASSERT_EQ(g.Seek(45), com::S_OK);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  ASSERT_TRUE(g.WaitForComplete());
  // The notice follows the queued event.
  EXPECT_TRUE(PumpUntil(desk, [&] { return g.NotifiesPosted() == 1; }, 2000));
  EXPECT_EQ(g.ShownFrame(), 59);
  // The graph is still running: a seek replays from the start without Run.
  ASSERT_EQ(g.Seek(0), com::S_OK);
  OAFilterState state = -1;
  EXPECT_EQ(g.control->GetState(1000, &state), com::S_OK);
  EXPECT_EQ(state, State_Running);
  ASSERT_TRUE(PumpUntil(desk, [&] { return g.ShownFrame() >= 5; }, 3000));
  EXPECT_LT(g.ShownFrame(), 40);
  EXPECT_FALSE(g.TakeComplete());
}

TEST_P(PlaybackTest, StopAfterTheEndShowsFrameZero) {
  ASSERT_EQ(g.Seek(55), com::S_OK);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  ASSERT_TRUE(g.WaitForComplete());
  ASSERT_EQ(g.Stop(), com::S_OK);
  EXPECT_EQ(g.Position(), 0);
  EXPECT_EQ(g.ShownFrame(), 0);
}

// The player passes seeks past the end on unchanged: the graph stands at its end and, run,
// ends at once; a seek back shows its frame.
TEST_P(PlaybackTest, SeekPastTheEndEndsAtOnce) {
  ASSERT_EQ(g.Seek(1000), com::S_OK);
  EXPECT_EQ(g.Position(), 60);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  EXPECT_TRUE(g.WaitForComplete(1000));
  ASSERT_EQ(g.Seek(10), com::S_OK);
  EXPECT_EQ(g.ShownFrame(), 10);
}

INSTANTIATE_TEST_SUITE_P(Codecs, PlaybackTest,
                         ::testing::Values(Codec::kMjpegAvi, Codec::kH264Mp4, Codec::kVp8Webm,
                                           Codec::kTheoraOgg),
                         [](const auto& p) { return CodecName(p.param); });

// --- Program streams: not frame-exact in GStreamer ---------------------------------------------

// The demuxer estimates their length (about a second short) and lands seeks near the frame.
TEST(ProgramStream, PlaysSeeksApproximatelyAndEnds) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  std::string path = Clip(ClipSpec{Codec::kMpeg1Ps});
  ASSERT_EQ(g.Open(path), com::S_OK);
  EXPECT_EQ(g.videoWidth, 160);
  EXPECT_GT(g.Duration(), 0);
  EXPECT_LE(g.Duration(), 70);
  ASSERT_EQ(g.Seek(30), com::S_OK);
  int shown = -1;
  EXPECT_TRUE(PumpUntil(desk, [&] { return (shown = g.ShownFrame()) >= 0; }, 2000));
  EXPECT_NEAR(shown, 30, 10);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  EXPECT_TRUE(g.WaitForComplete(5000));
}

// --- The file behind the graph -----------------------------------------------------------------

TEST(MovieFile, DeletedAfterOpeningStillSeeksEndsAndReplays) {
  sim::SimDesktop desk;
  MediaTempDir dir;
  std::string copy = dir.Path("delivered.avi");
  std::filesystem::copy_file(Clip(ClipSpec{Codec::kMjpegAvi}), copy);
  TestGraph g(desk);
  ASSERT_EQ(g.Open(copy), com::S_OK);
  ASSERT_EQ(unlink(copy.c_str()), 0);
  ASSERT_EQ(g.Seek(30), com::S_OK);
  EXPECT_EQ(g.ShownFrame(), 30);
  ASSERT_EQ(g.Seek(50), com::S_OK);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  ASSERT_TRUE(g.WaitForComplete());
  ASSERT_EQ(g.Seek(0), com::S_OK);
  EXPECT_TRUE(PumpUntil(desk, [&] { return g.ShownFrame() >= 3; }, 3000));
}

TEST(MovieFile, WithASoundTrackPlaysQuietlyToItsEnd) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAviWithAudio})), com::S_OK);
  EXPECT_EQ(g.Duration(), 60);
  ASSERT_EQ(g.Seek(45), com::S_OK);
  EXPECT_EQ(g.ShownFrame(), 45);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  EXPECT_TRUE(g.WaitForComplete());
}

// --- Two graphs at once ------------------------------------------------------------------------

TEST(TwoGraphs, BothPlayAndEnd) {
  sim::SimDesktop desk;
  TestGraph a(desk), b(desk);
  ASSERT_EQ(a.Open(Clip(ClipSpec{Codec::kMjpegAvi})), com::S_OK);
  ASSERT_EQ(b.Open(Clip(ClipSpec{Codec::kH264Mp4})), com::S_OK);
  ASSERT_EQ(a.Seek(40), com::S_OK);
  ASSERT_EQ(b.Seek(45), com::S_OK);
  ASSERT_EQ(a.control->Run(), com::S_OK);
  ASSERT_EQ(b.control->Run(), com::S_OK);
  bool endA = false, endB = false;
  EXPECT_TRUE(PumpUntil(desk, [&] {
    endA = endA || a.TakeComplete();
    endB = endB || b.TakeComplete();
    return endA && endB;
  }));
  EXPECT_EQ(a.ShownFrame(), 59);
  EXPECT_EQ(b.ShownFrame(), 59);
}

}  // namespace
}  // namespace klp::test
