// Transport control on the sim graph: the state table, every failing step by fault injection,
// the position timer, the end of the movie with and without auto repeat, and 64-bit positions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/dshow/dshow.h"
#include "tests/player/player_fixture.h"

namespace klp::test {
namespace {

using ::testing::IsEmpty;
using Texts = std::vector<std::string>;

enum class Op { Play, PlayAt10, Pause, Stop, Seek10 };

const char* Name(Op op) {
  switch (op) {
    case Op::Play:
    case Op::PlayAt10:
      return "Play";
    case Op::Pause:
      return "Pause";
    case Op::Stop:
      return "Stop";
    case Op::Seek10:
      return "Seek";
  }
  return "?";
}

class TransportTest : public PlayerTest {
 protected:
  // A new player in the given state; a paused one stands on frame 9.
  void Enter(MovieState state) {
    Make();
    Forget();
    if (state == MOVIE_NONE) return;
    ASSERT_EQ(Open(), 1);
    if (state == MOVIE_PLAYING || state == MOVIE_PAUSED) {
      ASSERT_EQ(player().Play(-1), 1);
      desk.RunFor(300);
    }
    if (state == MOVIE_PAUSED) {
      ASSERT_EQ(player().Pause(), 1);
    }
    ASSERT_EQ(player().m_state, state);
    Forget();
  }
  int Run(Op op) {
    switch (op) {
      case Op::Play:
        return player().Play(-1);
      case Op::PlayAt10:
        return player().Play(10);
      case Op::Pause:
        return player().Pause();
      case Op::Stop:
        return player().Stop();
      case Op::Seek10:
        return player().Seek(10);
    }
    return -1;
  }
};

TEST_F(TransportTest, StateTable) {
  constexpr int kRefused = -1;
  struct Row {
    MovieState from;
    Op op;
    int to;
  };
  const Row rows[] = {
      {MOVIE_NONE, Op::Play, kRefused},
      {MOVIE_NONE, Op::PlayAt10, kRefused},
      {MOVIE_NONE, Op::Pause, kRefused},
      {MOVIE_NONE, Op::Stop, kRefused},
      {MOVIE_NONE, Op::Seek10, kRefused},
      {MOVIE_STOPPED, Op::Play, MOVIE_PLAYING},
      {MOVIE_STOPPED, Op::PlayAt10, MOVIE_PLAYING},
      {MOVIE_STOPPED, Op::Pause, kRefused},
      {MOVIE_STOPPED, Op::Stop, kRefused},
      {MOVIE_STOPPED, Op::Seek10, MOVIE_STOPPED},
      {MOVIE_PAUSED, Op::Play, MOVIE_PLAYING},
      {MOVIE_PAUSED, Op::PlayAt10, MOVIE_PLAYING},
      {MOVIE_PAUSED, Op::Pause, kRefused},
      {MOVIE_PAUSED, Op::Stop, MOVIE_STOPPED},
      {MOVIE_PAUSED, Op::Seek10, MOVIE_PAUSED},
      {MOVIE_PLAYING, Op::Play, kRefused},
      {MOVIE_PLAYING, Op::PlayAt10, kRefused},
      {MOVIE_PLAYING, Op::Pause, MOVIE_PAUSED},
      {MOVIE_PLAYING, Op::Stop, MOVIE_STOPPED},
      {MOVIE_PLAYING, Op::Seek10, MOVIE_PLAYING},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(Name(r.op)) + " from state " + std::to_string(r.from));
    Enter(r.from);
    const int32_t cur = player().m_curFrame, prev = player().m_prevFrame;
    const bool ticking = Ticking();
    const int result = Run(r.op);
    if (r.to == kRefused) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::" + std::string(Name(r.op)) + " 01"}));
      EXPECT_EQ(player().m_state, r.from);
      EXPECT_EQ(player().m_curFrame, cur);
      EXPECT_EQ(player().m_prevFrame, prev);
      EXPECT_EQ(Ticking(), ticking);
      EXPECT_THAT(Calls(), IsEmpty());
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_THAT(Lines(), IsEmpty());
      EXPECT_EQ(player().m_state, r.to);
      EXPECT_EQ(Ticking(), r.to == MOVIE_PLAYING);
      const bool sought = r.op == Op::Seek10 || r.op == Op::PlayAt10;
      if (sought || r.op == Op::Stop) {
        EXPECT_EQ(player().m_curFrame, sought ? 10 : -1);
      }
    }
  }
}

TEST_F(TransportTest, EveryFailingStepTracesItsLineAndKeepsTheState) {
  struct Case {
    MovieState from;
    std::vector<std::pair<std::string, com::HRESULT>> faults;
    Op op;
    Texts lines;
    bool sought = false;  // the failure came after a successful seek to frame 0
  };
  const com::HRESULT kFail = com::E_FAIL, kPass = com::S_OK;
  // A first Pause answered without pausing lets the second one fail.
  const Case cases[] = {
      {MOVIE_STOPPED,
       {{"SetPositions", kFail}},
       Op::PlayAt10,
       {"! CKLMoviePlay::Seek 03", "! CKLMoviePlay::Play 02"}},
      {MOVIE_STOPPED, {{"Run", kFail}}, Op::Play, {"! CKLMoviePlay::Play 03"}},
      {MOVIE_PLAYING, {{"StopWhenReady", kFail}}, Op::Pause, {"! CKLMoviePlay::Pause 02"}},
      {MOVIE_PLAYING, {{"Pause", kFail}}, Op::Pause, {"! CKLMoviePlay::Pause 03"}},
      {MOVIE_PLAYING, {{"GetCurrentPosition", kFail}}, Op::Pause, {"! CKLMoviePlay::Pause 04"}},
      {MOVIE_PLAYING, {{"SetPositions", kFail}}, Op::Pause, {"! CKLMoviePlay::Pause 05-02"}},
      {MOVIE_PLAYING,
       {{"Pause", kPass}, {"Pause", kFail}},
       Op::Pause,
       {"! CKLMoviePlay::Pause 06"}},
      {MOVIE_PLAYING, {{"StopWhenReady", kFail}}, Op::Stop, {"! CKLMoviePlay::Stop 02"}},
      {MOVIE_PAUSED, {{"Pause", kFail}}, Op::Stop, {"! CKLMoviePlay::Stop 03"}},
      {MOVIE_PLAYING,
       {{"SetPositions", kFail}},
       Op::Stop,
       {"! CKLMoviePlay::Seek 03", "! CKLMoviePlay::Stop 04"}},
      {MOVIE_PLAYING,
       {{"Pause", kPass}, {"Pause", kFail}},
       Op::Stop,
       {"! CKLMoviePlay::Stop 05"},
       true},
      {MOVIE_PAUSED, {{"SetPositions", kFail}}, Op::Seek10, {"! CKLMoviePlay::Seek 03"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    Enter(c.from);
    const int32_t cur = player().m_curFrame;
    for (const auto& [call, hr] : c.faults) media.graphFaults().FailNext(call, hr);
    EXPECT_EQ(Run(c.op), 0);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_EQ(player().m_state, c.from);
    EXPECT_EQ(player().m_curFrame, c.sought ? 0 : cur);
    EXPECT_EQ(Ticking(), c.from == MOVIE_PLAYING) << "a failed Pause or Stop leaves it running";
    media.graphFaults().Clear();
  }
}

TEST_F(TransportTest, PauseSettlesOnTheFrameFiresUpToItAndPlayResumesThere) {
  AddMarker("m10", 10);
  AddMarker("m11", 11);
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  desk.RunFor(350);  // ticks at frames 3, 6 and 9; the movie stands at 10
  Forget();
  ASSERT_EQ(player().Pause(), 1);
  EXPECT_EQ(Calls(), (Texts{"graph.StopWhenReady()", "graph.Pause()", "graph.GetCurrentPosition()",
                            "graph.SetPositions(10, 1, 300, 1)", "graph.Pause()"}));
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "m10"}));
  EXPECT_EQ(player().m_curFrame, 10);
  EXPECT_EQ(media.graph()->ShownFrame(), 10);
  EXPECT_FALSE(Ticking());
  desk.RunFor(1000);
  EXPECT_EQ(player().GetCurrentFrame(), 10);

  Forget();
  ASSERT_EQ(player().Play(-1), 1);
  EXPECT_EQ(Calls(), (Texts{"graph.Run()"})) << "resumes without seeking";
  desk.RunFor(100);
  EXPECT_EQ(player().m_curFrame, 13);
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "m11"}));
}

TEST_F(TransportTest, PlayFromAFrameSeeksThereFirst) {
  OpenQuietly();
  ASSERT_EQ(player().Play(100), 1);
  EXPECT_EQ(Calls(), (Texts{"graph.SetPositions(100, 1, 300, 1)", "graph.Run()"}));
  desk.RunFor(100);
  EXPECT_EQ(player().m_curFrame, 103);
  EXPECT_EQ(player().Play(0), 0) << "playing already";
  EXPECT_EQ(media.graph()->state(), dshow::State_Running) << "and it plays on";
}

TEST_F(TransportTest, SeekClampsBelowZeroButNotAboveTheEnd) {
  OpenQuietly();
  EXPECT_EQ(player().Seek(-5), 1);
  EXPECT_EQ(player().m_curFrame, 0);
  EXPECT_EQ(player().Seek(1000), 1);
  EXPECT_EQ(player().m_curFrame, 1000);
  EXPECT_EQ(player().m_prevFrame, -1);
  EXPECT_EQ(Calls(),
            (Texts{"graph.SetPositions(0, 1, 300, 1)", "graph.SetPositions(1000, 1, 300, 1)"}));
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
}

TEST_F(TransportTest, AutoPlayDecidesTheStateAfterOpening) {
  Make({.autoPlay = 0});
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
  EXPECT_EQ(media.graph()->ShownFrame(), 0);
  EXPECT_FALSE(Ticking());
  Make({.autoPlay = 1});
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(player().m_state, MOVIE_PLAYING);
  EXPECT_TRUE(Ticking());
  // A refused autoplay still leaves the movie open.
  Make({.autoPlay = 1});
  media.graphFaults().FailNext("Run");
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::Play 03"}));
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
}

TEST_F(TransportTest, SetVideoSizeSizesTheVideoWindow) {
  EXPECT_EQ(player().SetVideoSize(320, 240), 0) << "no video window";
  OpenQuietly();
  EXPECT_EQ(player().SetVideoSize(320, 240), 1);
  EXPECT_EQ(Calls(), (Texts{"graph.put_Width(320)", "graph.put_Height(240)"}));
  EXPECT_EQ(player().m_displayWidth, 320);
  EXPECT_EQ(player().m_displayHeight, 240);
  media.graphFaults().FailNext("put_Height");
  EXPECT_EQ(player().SetVideoSize(100, 50), 0);
  EXPECT_EQ(player().m_displayWidth, 100);
  EXPECT_EQ(player().m_displayHeight, 240);
  media.graphFaults().FailNext("put_Width");
  EXPECT_EQ(player().SetVideoSize(7, 7), 0);
  EXPECT_EQ(player().m_displayWidth, 100);
  EXPECT_THAT(Lines(), IsEmpty());
}

// --- The position timer and the graph's notices --------------------------------------------------

TEST_F(TransportTest, ThePositionTimerIsOneShotAndStopsOnAnUnreadablePosition) {
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  desk.RunFor(100);
  EXPECT_EQ(player().m_curFrame, 3);
  EXPECT_TRUE(Ticking()) << "set again by the tick";
  media.graphFaults().FailNext("GetCurrentPosition");
  desk.RunFor(100);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::OnSeeking 01"}));
  EXPECT_FALSE(Ticking());
  desk.RunFor(1000);
  EXPECT_EQ(Lines().size(), 1u);
  EXPECT_EQ(player().m_state, MOVIE_PLAYING) << "the video plays on without ticks";
  ASSERT_EQ(player().Pause(), 1);
  ASSERT_EQ(player().Play(-1), 1);
  EXPECT_TRUE(Ticking());
}

TEST_F(TransportTest, NoticesDiscardOtherEventsAndLeaveThoseBehindTheEnd) {
  Make({.autoRepeat = 1});
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  desk.RunUntilIdle();
  // The pause from opening and the first run's clock change: taken without waiting, freed and
  // dropped at the first notice; the two notices after it find the queue empty.
  EXPECT_EQ(Calls(), (Texts{"graph.Run()", "graph.GetEvent(0)", "graph.FreeEventParams(14, 0, 0)",
                            "graph.GetEvent(0)", "graph.FreeEventParams(13, 0, 0)",
                            "graph.GetEvent(0)", "graph.GetEvent(0)"}));
  EXPECT_THAT(Lines(), IsEmpty());

  sim::SimGraph* g = media.graph();
  g->QueueEvent(dshow::EC_COMPLETE);
  g->QueueEvent(dshow::EC_ERRORABORT, 5);
  player().OnNotify();
  EXPECT_EQ(Lines(), (Texts{"<EC_COMPLETE>"}));
  ASSERT_EQ(g->PendingEvents().size(), 1u);
  EXPECT_EQ(g->PendingEvents().front().code, dshow::EC_ERRORABORT);
  EXPECT_EQ(g->eventsFreed(), g->eventsTaken());
}

class EndOfMovieTest : public TransportTest {
 protected:
  // One second of movie with marks at its first, last and end frame.
  void OpenShort(PlayerOptions o) {
    media.AddMovie("short.sim", "frames=30\nfps=30");
    Make(o);
    AddMarker("start", 0);
    AddMarker("late", 29);
    AddMarker("end", 30);
    ASSERT_EQ(Open("short.sim"), 1);
    ASSERT_EQ(player().Play(-1), 1);
  }
};

TEST_F(EndOfMovieTest, AutoRepeatFiresUpToTheEndAndFrameZeroAgain) {
  OpenShort({.autoRepeat = 1});
  desk.RunFor(1100);
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "start", "<EC_COMPLETE>", "<OnMarker>", "late",
                            "<OnMarker>", "end", "<OnMarker>", "start"}));
  EXPECT_EQ(player().m_state, MOVIE_PLAYING);
  EXPECT_TRUE(Ticking());
  EXPECT_EQ(media.graph()->state(), dshow::State_Running);
}

TEST_F(EndOfMovieTest, WithoutAutoRepeatItStopsOnFrameZero) {
  OpenShort({.autoRepeat = 0});
  desk.RunFor(2000);
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "start", "<EC_COMPLETE>", "<OnMarker>", "late",
                            "<OnMarker>", "end"}));
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
  EXPECT_EQ(player().m_curFrame, -1);
  EXPECT_FALSE(Ticking());
  EXPECT_EQ(media.graph()->state(), dshow::State_Paused);
  EXPECT_EQ(media.graph()->ShownFrame(), 0);
}

TEST_F(EndOfMovieTest, ChangingAutoRepeatTakesEffectAtTheNextEnd) {
  OpenShort({.autoRepeat = 1});
  desk.RunFor(1100);
  player().m_autoRepeat = 0;
  desk.RunFor(1000);
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);

  OpenShort({.autoRepeat = 0});
  desk.RunFor(500);
  player().m_autoRepeat = 1;
  desk.RunFor(600);
  EXPECT_EQ(player().m_state, MOVIE_PLAYING);
  EXPECT_EQ(player().m_curFrame, 3) << "playing again from frame 0";
}

// --- 64-bit positions -------------------------------------------------------------------------

TEST_F(TransportTest, PositionsAreNarrowedToTheirLow32Bits) {
  media.AddMovie("long.sim", "frames=5000000000\nfps=1000");
  ASSERT_EQ(Open("long.sim"), 1);
  EXPECT_EQ(player().m_duration, 705032704);  // 5e9 - 2^32
  auto at = [this](dshow::LONGLONG position) {
    dshow::LONGLONG stop = 0;
    player().m_seeking->SetPositions(&position, dshow::AM_SEEKING_AbsolutePositioning, &stop,
                                     dshow::AM_SEEKING_NoPositioning);
    return player().GetCurrentFrame();
  };
  EXPECT_EQ(at(4294967396), 100);
  EXPECT_EQ(at(2147483653), -2147483643);
  EXPECT_EQ(at(4294967295), -1);
  // A frame is sign-extended on its way to the graph.
  Forget();
  EXPECT_EQ(player().Seek(7), 1);
  EXPECT_EQ(Calls(), (Texts{"graph.SetPositions(7, 1, 705032704, 1)"}));
}

}  // namespace
}  // namespace klp::test
