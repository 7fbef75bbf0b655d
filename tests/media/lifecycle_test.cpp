// The graph's COM contract, its failures (missing, corrupt, empty, audio-only files; calls
// before a movie), release in every state, bounded waits, notifications and the video window.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/media/media_fixture.h"

namespace klp::test {
namespace {

using namespace dshow;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);

std::string WriteFile(const MediaTempDir& dir, const std::string& name, const std::string& bytes) {
  std::string path = dir.Path(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

com::HRESULT Render(TestGraph& g, const std::string& path) {
  std::u16string wide(path.begin(), path.end());
  return g.builder->RenderFile(wide.c_str(), nullptr);
}

// --- COM contract ------------------------------------------------------------------------------

TEST(GraphObject, AnswersItsInterfacesAndFreesItselfAtTheLastRelease) {
  sim::SimDesktop desk;
  int live = gstgraph::LiveGraphs();
  com::IUnknown* unk = gstgraph::CreateFilterGraph();
  ASSERT_NE(unk, nullptr);
  EXPECT_EQ(gstgraph::LiveGraphs(), live + 1);
  std::vector<com::IUnknown*> held;
  for (const com::IID* iid : {&IID_IGraphBuilder, &IID_IMediaControl, &IID_IMediaSeeking,
                              &IID_IMediaEventEx, &IID_IVideoWindow, &IID_IBasicVideo}) {
    com::IUnknown* i = Ask<com::IUnknown>(unk, *iid);
    ASSERT_NE(i, nullptr);
    com::IUnknown* identity = Ask<com::IUnknown>(i, com::IID_IUnknown);
    EXPECT_EQ(identity, unk);
    identity->Release();
    held.push_back(i);
  }
  void* none = nullptr;
  EXPECT_EQ(unk->QueryInterface(IID_IAnchorOverlay, &none), com::E_NOINTERFACE);
  EXPECT_EQ(unk->QueryInterface(IID_IBaseFilter, &none), com::E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(unk->Release(), 6u);
  for (com::IUnknown* i : held) i->Release();
  EXPECT_EQ(gstgraph::LiveGraphs(), live);
}

TEST(GraphObject, KeepsItsFiltersUntilItGoes) {
  sim::SimDesktop desk;
  int overlays = overlay::LiveOverlays();
  {
    TestGraph g(desk);
    IBaseFilter* f = Ask<IBaseFilter>(g.overlay, IID_IBaseFilter);
    EXPECT_EQ(g.builder->AddFilter(f, nullptr), com::E_INVALIDARG);  // already in
    EXPECT_EQ(g.builder->AddFilter(nullptr, nullptr), com::E_POINTER);
    f->Release();
    g.overlay->Release();  // the graph's reference keeps the filter
    g.overlay = nullptr;
    EXPECT_EQ(overlay::LiveOverlays(), overlays + 1);
    g.video->Release();
    g.window->Release();
    g.events->Release();
    g.seeking->Release();
    g.control->Release();
    EXPECT_EQ(g.builder->Release(), 0u);
    g.builder = nullptr;
  }
  EXPECT_EQ(overlay::LiveOverlays(), overlays);
}

TEST(GraphObject, RegistersUnderTheFilterGraphClass) {
  gstgraph::Register();
  IMediaControl* control = nullptr;
  ASSERT_EQ(com::CoCreateInstance(CLSID_FilterGraph, nullptr, com::CLSCTX_INPROC_SERVER,
                                  IID_IMediaControl, reinterpret_cast<void**>(&control)),
            com::S_OK);
  EXPECT_EQ(control->Release(), 0u);
}

// --- Failures ----------------------------------------------------------------------------------

class RenderFailure : public ::testing::Test {
 protected:
  void TearDown() override {
    // A failed graph answers without a movie and goes cleanly.
    LONG w = 0, h = 0;
    EXPECT_LT(g.video->GetVideoSize(&w, &h), 0);
    EXPECT_LT(g.control->Run(), 0);
    LONGLONG d;
    EXPECT_LT(g.seeking->GetDuration(&d), 0);
    EXPECT_LT(g.window->put_Owner(1), 0);
    g.Release();
    EXPECT_EQ(gstgraph::LiveGraphs(), 0);
  }

  MediaTempDir dir;
  sim::SimDesktop desk;
  TestGraph g{desk};
};

TEST_F(RenderFailure, MissingFile) { EXPECT_EQ(Render(g, dir.Path("gone.avi")), kFileNotFound); }

TEST_F(RenderFailure, DirectoryIsNoMovie) { EXPECT_EQ(Render(g, dir.Path("")), VFW_E_INVALID_FILE_FORMAT); }

TEST_F(RenderFailure, EmptyFile) { EXPECT_LT(Render(g, WriteFile(dir, "empty.avi", "")), 0); }

TEST_F(RenderFailure, RandomBytes) {
  std::mt19937 random(8);
  std::string bytes(64 * 1024, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  EXPECT_LT(Render(g, WriteFile(dir, "noise.mpg", bytes)), 0);
}

TEST_F(RenderFailure, TruncatedHeader) {
  std::ifstream in(Clip(ClipSpec{Codec::kMjpegAvi}), std::ios::binary);
  std::string head(200, '\0');
  in.read(head.data(), 200);
  EXPECT_LT(Render(g, WriteFile(dir, "cut.avi", head)), 0);
}

TEST_F(RenderFailure, SoundOnly) {
  EXPECT_EQ(Render(g, Clip(ClipSpec{Codec::kVorbisOgg})), VFW_E_CANNOT_RENDER);
}

TEST(GraphWithoutMovie, AnswersEveryCallWithoutWaiting) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  OAFilterState state = -1;
  EXPECT_EQ(g.control->GetState(static_cast<LONG>(INFINITE), &state), com::S_OK);
  EXPECT_EQ(state, State_Stopped);
  LONG code;
  LONG_PTR p1, p2;
  EXPECT_EQ(g.events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  LONGLONG at = 5;
  EXPECT_LT(g.seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning),
            0);
  EXPECT_EQ(g.seeking->SetTimeFormat(&TIME_FORMAT_FRAME), com::S_OK);
  const com::GUID other = IID_IBasicVideo;
  EXPECT_EQ(g.seeking->SetTimeFormat(&other), com::E_INVALIDARG);
  EXPECT_EQ(g.builder->RenderFile(nullptr, nullptr), com::E_POINTER);
}

// --- Release in every state --------------------------------------------------------------------

enum class Moment { kOpened, kRunStarted, kPlaying, kSeekingWhilePlaying, kPaused, kEnded };

std::string MomentName(const ::testing::TestParamInfo<Moment>& info) {
  static const char* const kNames[] = {"Opened", "RunStarted", "Playing",
                                       "Seeking", "Paused", "Ended"};
  return kNames[static_cast<int>(info.param)];
}

class ReleaseIn : public ::testing::TestWithParam<Moment> {};

TEST_P(ReleaseIn, EveryStateGoesPromptlyAndCompletely) {
  sim::SimDesktop desk;
  int overlays = overlay::LiveOverlays();
  {
    TestGraph g(desk);
    ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kH264Mp4})), com::S_OK);
    g.overlay->CreateAnchor(2, 0xFF, SHAPE_RECT);
    switch (GetParam()) {
      case Moment::kOpened:
        break;
      case Moment::kRunStarted:
        g.control->Run();
        break;
      case Moment::kPlaying:
        g.control->Run();
        PumpFor(desk, 200);
        break;
      case Moment::kSeekingWhilePlaying: {
        g.control->Run();
        PumpFor(desk, 50);
        LONGLONG at = 40;
        g.seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr,
                                AM_SEEKING_NoPositioning);
        break;
      }
      case Moment::kPaused:
        g.control->Run();
        PumpFor(desk, 100);
        g.PauseOnFrame();
        break;
      case Moment::kEnded:
        g.Seek(55);
        g.control->Run();
        ASSERT_TRUE(g.WaitForComplete());
        break;
    }
    g.Release();
    EXPECT_EQ(g.VideoWindow(), nullptr);
  }
  EXPECT_EQ(gstgraph::LiveGraphs(), 0);
  EXPECT_EQ(overlay::LiveOverlays(), overlays);
  desk.RunUntilIdle();  // repaints posted before the release find no window
}

INSTANTIATE_TEST_SUITE_P(Moments, ReleaseIn,
                         ::testing::Values(Moment::kOpened, Moment::kRunStarted, Moment::kPlaying,
                                           Moment::kSeekingWhilePlaying, Moment::kPaused,
                                           Moment::kEnded),
                         MomentName);

// --- Notifications -----------------------------------------------------------------------------

TEST(Notifications, PostedToTheNotifyWindowAndSilencedByTheFlags) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi})), com::S_OK);
  ASSERT_EQ(g.events->SetNotifyWindow(reinterpret_cast<OAHWND>(g.notify), WM_KL_GRAPHNOTIFY, 77),
            com::S_OK);
  ASSERT_EQ(g.Seek(55), com::S_OK);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  ASSERT_TRUE(g.WaitForComplete());
  ASSERT_TRUE(PumpUntil(desk, [&] { return g.NotifiesPosted() > 0; }, 2000));
  const win::MSG& m = desk.BrowserLog().back();
  EXPECT_EQ(m.message, WM_KL_GRAPHNOTIFY);
  EXPECT_EQ(m.lParam, 77);
  // Without notifications nothing is queued or posted at the next end.
  ASSERT_EQ(g.events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), com::S_OK);
  int posted = g.NotifiesPosted();
  ASSERT_EQ(g.Seek(57), com::S_OK);
  PumpFor(desk, 400);
  EXPECT_EQ(g.NotifiesPosted(), posted);
  EXPECT_FALSE(g.TakeComplete());
}

TEST(Notifications, GetEventWaitsAtMostItsTimeout) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi})), com::S_OK);
  ASSERT_EQ(g.Seek(58), com::S_OK);
  ASSERT_EQ(g.control->Run(), com::S_OK);
  // The end arrives from a streaming thread while this thread waits.
  LONG code = 0;
  LONG_PTR p1, p2;
  while (g.events->GetEvent(&code, &p1, &p2, 2000) == com::S_OK && code != EC_COMPLETE) {
  }
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(g.events->GetEvent(&code, &p1, &p2, 20), E_ABORT);
}

// --- The video window --------------------------------------------------------------------------

TEST(VideoWindow, FollowsPositionVisibilityAndOwner) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi}), 320, 240), com::S_OK);
  win::HWND video = g.VideoWindow();
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(g.window->SetWindowPosition(10, 20, 160, 120), com::S_OK);
  EXPECT_EQ(g.window->put_Width(100), com::S_OK);
  win::RECT r;
  win::GetClientRect(video, &r);
  EXPECT_EQ(r.right, 100);
  EXPECT_EQ(r.bottom, 120);
  EXPECT_EQ(desk.Find(video)->rect.left, 10);
  EXPECT_EQ(g.ShownFrame(), 0);
  EXPECT_EQ(g.Screen()->width, 100);

  EXPECT_EQ(g.window->put_Visible(OAFALSE), com::S_OK);
  EXPECT_FALSE(desk.Find(video)->style & win::WS_VISIBLE);
  EXPECT_EQ(g.window->put_Visible(OATRUE), com::S_OK);
  EXPECT_TRUE(desk.Find(video)->style & win::WS_VISIBLE);

  EXPECT_EQ(g.window->put_Owner(0), com::S_OK);
  EXPECT_FALSE(win::IsWindow(video));
  EXPECT_EQ(g.Seek(20), com::S_OK);  // frames arrive with no window to paint
  desk.RunUntilIdle();
}

TEST(VideoWindow, MouseGoesToTheDrainInItsCoordinates) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi}), 320, 240), com::S_OK);
  ASSERT_EQ(g.window->SetWindowPosition(10, 20, 160, 120), com::S_OK);
  desk.ClearBrowserLog();
  win::SendMessageA(g.VideoWindow(), win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(5, 7));
  ASSERT_EQ(desk.BrowserLog().size(), 1u);
  const win::MSG& m = desk.BrowserLog()[0];
  EXPECT_EQ(m.hwnd, g.owner);
  EXPECT_EQ(m.message, win::WM_LBUTTONDOWN);
  EXPECT_EQ(m.wParam, win::MK_LBUTTON);
  EXPECT_EQ(m.lParam, win::MAKELPARAM(15, 27));
}

TEST(VideoWindow, OwnerDestroyedFirstTakesTheWindowWithIt) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi})), com::S_OK);
  win::HWND video = g.VideoWindow();
  win::DestroyWindow(g.owner);
  EXPECT_FALSE(win::IsWindow(video));
  ASSERT_EQ(g.Seek(10), com::S_OK);
  desk.RunUntilIdle();
  g.Release();
}

}  // namespace
}  // namespace klp::test
