// The web graph over a scripted video element: what it asks of the element, how the frames the
// element reports become positions, seeks confirmed by the element, the end of the movie, and
// the anchor layer drawn by the real overlay filter.
#include "platform/webgraph/web_graph.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "overlay/anchor_overlay.h"
#include "platform/dshow/dshow.h"
#include "platform/gst/frame_filter.h"
#include "platform/sim/sim_desktop.h"
#include "platform/webgraph/media_element.h"

namespace webgraph {

// The element the test scripts: what the graph asked, and a way to send its notices.
struct FakeElement {
  MediaInfo info{160, 120, 4.0};
  com::HRESULT status = com::S_OK;  // of the open
  MediaListener* listener = nullptr;
  std::vector<std::string> calls;
  std::vector<double> seeks;
  uint32_t lastSerial = 0;
  int placed = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool visible = false;
  struct Sprite {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
  };
  std::vector<Sprite> sprites;
  int spritesSet = 0;
  std::vector<int32_t> placedAt;  // left, top of each sprite shown
  int placements = 0;
  bool closed = false;
};
FakeElement* g_fake = nullptr;

namespace {

class ScriptedElement final : public MediaElement {
 public:
  MediaInfo Info() const override { return g_fake->info; }
  void Play() override { g_fake->calls.push_back("play"); }
  void Pause() override { g_fake->calls.push_back("pause"); }
  void Seek(double seconds, uint32_t serial) override {
    g_fake->calls.push_back("seek");
    g_fake->seeks.push_back(seconds);
    g_fake->lastSerial = serial;
  }
  void Place(int32_t l, int32_t t, int32_t w, int32_t h, bool v) override {
    ++g_fake->placed;
    g_fake->left = l, g_fake->top = t, g_fake->width = w, g_fake->height = h, g_fake->visible = v;
  }
  void SetSprite(int32_t index, const uint8_t* rgba, int32_t w, int32_t h) override {
    if (static_cast<size_t>(index) >= g_fake->sprites.size()) g_fake->sprites.resize(index + 1);
    g_fake->sprites[index] = {w, h, std::vector<uint8_t>(rgba, rgba + static_cast<size_t>(w) * h * 4)};
    ++g_fake->spritesSet;
  }
  void PlaceSprites(const int32_t* positions, int32_t count) override {
    g_fake->placedAt.assign(positions, positions + 2 * count);
    ++g_fake->placements;
  }
  ~ScriptedElement() override { g_fake->closed = true; }
};

}  // namespace

std::unique_ptr<MediaElement> OpenMediaElement(const char* path, MediaListener* listener,
                                               com::HRESULT* status) {
  if (!g_fake || std::string(path).find("missing") != std::string::npos) {
    *status = static_cast<com::HRESULT>(0x80070002u);
    return nullptr;
  }
  if (com::FAILED(g_fake->status)) {
    *status = g_fake->status;
    return nullptr;
  }
  g_fake->listener = listener;
  return std::make_unique<ScriptedElement>();
}

namespace {

using namespace dshow;

constexpr win::UINT kNotify = 0x8000;

template <class I>
I* Query(com::IUnknown* from, const com::IID& iid) {
  void* p = nullptr;
  return from->QueryInterface(iid, &p) == com::S_OK ? static_cast<I*>(p) : nullptr;
}

class WebGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake;
    owner = desk.CreateBrowserWindow(0, 0, 320, 240);
    graph = static_cast<IGraphBuilder*>(CreateFilterGraph());
    control = Query<IMediaControl>(graph, IID_IMediaControl);
    seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking);
    events = Query<IMediaEventEx>(graph, IID_IMediaEventEx);
    window = Query<IVideoWindow>(graph, IID_IVideoWindow);
  }
  void TearDown() override {
    for (com::IUnknown* i : std::vector<com::IUnknown*>{control, seeking, events, window, graph})
      if (i) i->Release();
    EXPECT_EQ(LiveGraphs(), 0);
    EXPECT_TRUE(fake.closed || !fake.listener);
    g_fake = nullptr;
  }

  // Opens path in frames, notifying `owner`; the clip has no readable header unless made so.
  com::HRESULT Open(const char* path = "/streams/1/movie.webm") {
    std::u16string wide(path, path + std::char_traits<char>::length(path));
    com::HRESULT hr = graph->RenderFile(wide.c_str(), nullptr);
    if (com::FAILED(hr)) return hr;
    seeking->SetTimeFormat(&TIME_FORMAT_FRAME);
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(owner), kNotify, 0);
    return hr;
  }
  int64_t Position() {
    LONGLONG p = -1;
    EXPECT_EQ(seeking->GetCurrentPosition(&p), com::S_OK);
    return p;
  }
  com::HRESULT Seek(LONGLONG frame, LONGLONG stop = 1 << 30) {
    return seeking->SetPositions(&frame, AM_SEEKING_AbsolutePositioning, &stop,
                                 AM_SEEKING_AbsolutePositioning);
  }
  size_t NotifiesPosted() {
    size_t n = 0;
    win::MSG m;
    while (win::PeekMessageA(&m, owner, kNotify, kNotify, win::PM_REMOVE)) ++n;
    return n;
  }

  sim::SimDesktop desk;
  FakeElement fake;
  win::HWND owner = nullptr;
  IGraphBuilder* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaSeeking* seeking = nullptr;
  IMediaEventEx* events = nullptr;
  IVideoWindow* window = nullptr;
};

TEST_F(WebGraphTest, OpeningFailsAsTheElementSays) {
  EXPECT_EQ(Open("/streams/1/missing.webm"), static_cast<com::HRESULT>(0x80070002u));
  fake.status = VFW_E_INVALID_FILE_FORMAT;
  EXPECT_EQ(Open(), VFW_E_INVALID_FILE_FORMAT);
  fake.status = com::S_OK;
  fake.info.width = 0;  // sound only
  EXPECT_EQ(Open(), VFW_E_CANNOT_RENDER);
  LONGLONG d;
  EXPECT_EQ(seeking->GetDuration(&d), VFW_E_WRONG_STATE);
}

TEST_F(WebGraphTest, WithoutAHeaderTheFrameTimeIsLearntFromPresentedFrames) {
  fake.info.duration = 2.0;
  ASSERT_EQ(Open(), com::S_OK);
  LONGLONG d = 0;
  ASSERT_EQ(seeking->GetDuration(&d), com::S_OK);
  EXPECT_EQ(d, 50);  // 25 frames a second until the movie shows otherwise
  ASSERT_EQ(control->Run(), com::S_OK);
  for (int i = 0; i < 4; ++i) fake.listener->FramePresented(i / 30.0, 0);
  EXPECT_EQ(Position(), 3);
  fake.listener->FramePresented(45 / 30.0, 0);
  EXPECT_EQ(Position(), 45);
}

TEST_F(WebGraphTest, SeeksAimAtTheMiddleOfTheFrameAndWaitForTheElement) {
  ASSERT_EQ(Open(), com::S_OK);  // 25 fps
  fake.calls.clear();
  ASSERT_EQ(Seek(10), com::S_OK);
  ASSERT_EQ(fake.seeks.size(), 1u);
  EXPECT_DOUBLE_EQ(fake.seeks[0], 10.5 / 25);
  EXPECT_EQ(Position(), 10);  // the target while the seek is under way
  // A frame presented before the seek completed says nothing of the new place.
  fake.listener->FramePresented(3 / 25.0, fake.lastSerial - 1);
  EXPECT_EQ(Position(), 10);
  fake.listener->SeekCompleted(fake.lastSerial, fake.seeks[0]);
  EXPECT_EQ(Position(), 10);
  fake.listener->FramePresented(11 / 25.0, fake.lastSerial);
  EXPECT_EQ(Position(), 11);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"seek"}));  // paused: no play
}

TEST_F(WebGraphTest, ASeekToTheFrameAPendingSeekAimsAtAsksTheElementNothingMore) {
  ASSERT_EQ(Open(), com::S_OK);
  ASSERT_EQ(Seek(75), com::S_OK);
  ASSERT_EQ(Seek(75), com::S_OK);
  EXPECT_EQ(fake.seeks.size(), 1u);
  fake.listener->SeekCompleted(fake.lastSerial, fake.seeks[0]);
  EXPECT_EQ(Position(), 75);
  ASSERT_EQ(Seek(75), com::S_OK);  // none pending now: asked again
  ASSERT_EQ(Seek(40), com::S_OK);  // another frame: asked
  EXPECT_EQ(fake.seeks.size(), 3u);
  EXPECT_EQ(Position(), 40);
}

TEST_F(WebGraphTest, AnEarlierFrameReportedLateIsStaleButASeekMayGoBack) {
  ASSERT_EQ(Open(), com::S_OK);
  ASSERT_EQ(control->Run(), com::S_OK);
  fake.listener->FramePresented(10 / 25.0, 0);
  fake.listener->FramePresented(2 / 25.0, 0);
  EXPECT_EQ(Position(), 10);
  ASSERT_EQ(Seek(3), com::S_OK);
  fake.listener->SeekCompleted(fake.lastSerial, fake.seeks.back());
  EXPECT_EQ(Position(), 3);
  fake.listener->FramePresented(2 / 25.0, fake.lastSerial);
  EXPECT_EQ(Position(), 3);
  fake.listener->FramePresented(4 / 25.0, fake.lastSerial);
  EXPECT_EQ(Position(), 4);
}

TEST_F(WebGraphTest, TransportFollowsTheStateAndASeekWhileRunningPlaysOn) {
  ASSERT_EQ(Open(), com::S_OK);
  fake.calls.clear();
  ASSERT_EQ(control->Run(), com::S_OK);
  ASSERT_EQ(Seek(0), com::S_OK);
  ASSERT_EQ(control->StopWhenReady(), com::S_OK);
  OAFilterState s = -1;
  EXPECT_EQ(control->GetState(static_cast<LONG>(INFINITE), &s), com::S_OK);
  EXPECT_EQ(s, State_Stopped);
  ASSERT_EQ(control->Pause(), com::S_OK);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"play", "pause", "seek", "pause", "pause"}));
}

// A playing element may pass the frame before a pause takes hold: it is held paused while a
// seek is on its way, and plays on when the seek lands only if the graph still runs.
TEST_F(WebGraphTest, TheElementWaitsPausedForASeekAndPlaysOnIfStillRunning) {
  ASSERT_EQ(Open(), com::S_OK);
  ASSERT_EQ(control->Run(), com::S_OK);
  fake.calls.clear();
  ASSERT_EQ(Seek(75), com::S_OK);
  ASSERT_EQ(control->Run(), com::S_OK);  // still waiting
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause", "seek", "pause"}));
  fake.listener->FramePresented(76 / 25.0, fake.lastSerial - 1);  // from before the seek
  fake.listener->SeekCompleted(fake.lastSerial, fake.seeks[0]);
  EXPECT_EQ(Position(), 75);
  EXPECT_EQ(fake.calls.back(), "play");

  ASSERT_EQ(Seek(75), com::S_OK);
  ASSERT_EQ(control->Pause(), com::S_OK);
  ASSERT_EQ(Seek(75), com::S_OK);  // the pause settling on the frame: not asked again
  fake.calls.clear();
  fake.listener->SeekCompleted(fake.lastSerial, fake.seeks[1]);
  EXPECT_EQ(Position(), 75);
  EXPECT_EQ(fake.calls, std::vector<std::string>{});
  EXPECT_EQ(fake.seeks.size(), 2u);
  // Landed through a frame presented after it, as well.
  ASSERT_EQ(control->Run(), com::S_OK);
  ASSERT_EQ(Seek(10), com::S_OK);
  fake.calls.clear();
  fake.listener->FramePresented(10.5 / 25.0, fake.lastSerial);
  EXPECT_EQ(fake.calls, std::vector<std::string>{"play"});
}

TEST_F(WebGraphTest, TheEndQueuesOneCompletionAndPostsTheNotice) {
  ASSERT_EQ(Open(), com::S_OK);
  LONG code;
  LONG_PTR p1, p2;
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, static_cast<LONG>(INFINITE)), E_ABORT);
  fake.listener->Ended();
  EXPECT_EQ(NotifiesPosted(), 1u);
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), com::S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(p1, com::S_OK);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  // Without notices nothing is queued.
  events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
  fake.listener->Ended();
  EXPECT_EQ(NotifiesPosted(), 0u);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(WebGraphTest, AnEarlyStopPositionPausesThereAndCompletes) {
  ASSERT_EQ(Open(), com::S_OK);
  ASSERT_EQ(Seek(0, 20), com::S_OK);
  fake.listener->SeekCompleted(fake.lastSerial, 0.5 / 25);
  ASSERT_EQ(control->Run(), com::S_OK);
  fake.calls.clear();
  fake.listener->FramePresented(19 / 25.0, fake.lastSerial);
  EXPECT_EQ(NotifiesPosted(), 0u);
  fake.listener->FramePresented(20 / 25.0, fake.lastSerial);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause"}));
  EXPECT_EQ(NotifiesPosted(), 1u);
  ASSERT_EQ(control->Run(), com::S_OK);  // stays at the stop
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause", "pause"}));
}

TEST_F(WebGraphTest, TheVideoWindowPlacesTheElementInItsOwner) {
  EXPECT_EQ(window->put_Owner(reinterpret_cast<OAHWND>(owner)), static_cast<com::HRESULT>(0x80040209u));
  ASSERT_EQ(Open(), com::S_OK);
  ASSERT_EQ(window->put_Owner(reinterpret_cast<OAHWND>(owner)), com::S_OK);
  ASSERT_EQ(window->SetWindowPosition(0, 0, 320, 240), com::S_OK);
  EXPECT_FALSE(fake.visible);
  ASSERT_EQ(control->Pause(), com::S_OK);  // auto show
  EXPECT_TRUE(fake.visible);
  EXPECT_EQ(fake.width, 320);
  EXPECT_EQ(fake.height, 240);
  ASSERT_EQ(window->put_Width(640), com::S_OK);
  EXPECT_EQ(fake.width, 640);
  ASSERT_EQ(window->put_Visible(OAFALSE), com::S_OK);
  EXPECT_FALSE(fake.visible);
  EXPECT_EQ(window->put_Owner(static_cast<OAHWND>(0x1234)), com::E_INVALIDARG);
  EXPECT_EQ(window->SetWindowPosition(0, 0, -1, 5), com::E_INVALIDARG);
}

class AnchorLayerTest : public WebGraphTest {
 protected:
  void SetUp() override {
    WebGraphTest::SetUp();
    filter = static_cast<IBaseFilter*>(overlay::CreateAnchorOverlay());
    ASSERT_EQ(graph->AddFilter(filter, nullptr), com::S_OK);
    anchors = Query<IAnchorOverlay>(filter, IID_IAnchorOverlay);
    ASSERT_EQ(Open(), com::S_OK);
    id = anchors->CreateAnchor(2, 0x112233, SHAPE_RECT);
    AnchorKeyFrame k[2] = {{0, 10, 10, 49, 39}, {10, 110, 10, 149, 39}};
    anchors->SetKeyFrames(id, k, 2);
  }
  void TearDown() override {
    anchors->Release();
    filter->Release();
    WebGraphTest::TearDown();
  }
  // What the page shows at picture pixel (x, y) over the picture: the top sprite there, as
  // 0xRRGGBBAA, 0 where none is.
  uint32_t Pixel(int x, int y) const {
    uint32_t found = 0;
    for (size_t i = 0; 2 * i < fake.placedAt.size(); ++i) {
      const auto& s = fake.sprites[i];
      int sx = x - fake.placedAt[2 * i], sy = y - fake.placedAt[2 * i + 1];
      if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) continue;
      const uint8_t* p = &s.rgba[(static_cast<size_t>(sy) * s.width + sx) * 4];
      if (p[3]) found = static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    }
    return found;
  }

  IBaseFilter* filter = nullptr;
  IAnchorOverlay* anchors = nullptr;
  int32_t id = 0;
};

TEST_F(AnchorLayerTest, TheOverlaysShapesAreShownAsSpritesInPageColours) {
  fake.listener->FramePresented(0, 0);
  ASSERT_EQ(fake.placements, 1);
  EXPECT_EQ(fake.placedAt, (std::vector<int32_t>{10, 10}));
  ASSERT_EQ(fake.sprites.size(), 1u);
  EXPECT_EQ(fake.sprites[0].width, 40);
  EXPECT_EQ(fake.sprites[0].height, 30);
  EXPECT_EQ(Pixel(10, 10), 0x112233FFu);  // R, G, B, opaque
  EXPECT_EQ(Pixel(11, 11), 0x112233FFu);  // two pixels wide
  EXPECT_EQ(Pixel(12, 12), 0u);           // clear inside
  EXPECT_EQ(Pixel(49, 39), 0x112233FFu);
  // The same frame again changes nothing; the next frame moves the sprite without redrawing it.
  fake.listener->FramePresented(0, 0);
  EXPECT_EQ(fake.placements, 1);
  fake.listener->FramePresented(10 / 25.0, 0);
  EXPECT_EQ(fake.placements, 2);
  EXPECT_EQ(fake.spritesSet, 1);
  EXPECT_EQ(Pixel(10, 10), 0u);
  EXPECT_EQ(Pixel(110, 10), 0x112233FFu);
}

TEST_F(AnchorLayerTest, ManyShapesShareOnePictureOfTheFramesSizeDrawnWhenTheyChange) {
  std::vector<int32_t> more;
  for (int i = 0; i < 300; ++i) {
    more.push_back(anchors->CreateAnchor(1, 0x00FF00, SHAPE_RECT));
    AnchorKeyFrame k = {0, 100 + i % 50, 60 + i % 40, 109 + i % 50, 69 + i % 40};
    anchors->SetKeyFrames(more.back(), &k, 1);
  }
  fake.listener->FramePresented(0, 0);
  EXPECT_EQ(fake.placedAt, (std::vector<int32_t>{0, 0}));
  ASSERT_EQ(fake.sprites.size(), 1u);
  EXPECT_EQ(fake.sprites[0].width, 160);
  EXPECT_EQ(fake.sprites[0].height, 120);
  EXPECT_EQ(Pixel(10, 10), 0x112233FFu) << "the first anchor, as its own sprite showed it";
  EXPECT_EQ(Pixel(12, 12), 0u);
  EXPECT_EQ(Pixel(100, 60), 0x00FF00FFu);
  EXPECT_EQ(fake.spritesSet, 1);
  // A frame where nothing has moved is not drawn again; one where the first anchor has is.
  anchors->SetKeyFrames(id, std::vector<AnchorKeyFrame>{{0, 10, 10, 49, 39}, {10, 10, 10, 49, 39}}.data(), 2);
  anchors->Refresh();
  fake.listener->FramePresented(5 / 25.0, 0);
  EXPECT_EQ(fake.spritesSet, 1);
  anchors->SetKeyFrames(id, std::vector<AnchorKeyFrame>{{0, 10, 10, 49, 39}, {10, 110, 10, 149, 39}}.data(), 2);
  anchors->Refresh();
  EXPECT_EQ(fake.spritesSet, 2);
  EXPECT_EQ(Pixel(10, 10), 0u);
  EXPECT_EQ(Pixel(60, 10), 0x112233FFu);
  // Back to few shapes: a sprite each again.
  for (int32_t m : more) anchors->ShowAnchor(m, 0);
  anchors->Refresh();
  EXPECT_EQ(fake.placedAt, (std::vector<int32_t>{60, 10}));
  EXPECT_EQ(fake.sprites[0].width, 40);
}

TEST_F(AnchorLayerTest, ChangesRedrawTheFrameOnShowAndNoShapesHideTheSprites) {
  fake.listener->FramePresented(0, 0);
  anchors->SetAnchorColor(id, 0xFF0000);
  anchors->Refresh();
  EXPECT_EQ(fake.spritesSet, 2);  // a new look: drawn again
  EXPECT_EQ(Pixel(10, 10), 0xFF0000FFu);
  anchors->ShowAllAnchors(0);
  anchors->Refresh();
  EXPECT_EQ(fake.placements, 3);
  EXPECT_TRUE(fake.placedAt.empty());
  fake.listener->FramePresented(5 / 25.0, 0);  // still nothing to show: nothing sent
  EXPECT_EQ(fake.placements, 3);
}

// Sprites laid over a clear frame give exactly what the filter draws into the frame itself.
TEST_F(AnchorLayerTest, SpritesAddUpToTheFiltersOwnDrawing) {
  const int32_t ellipse = anchors->CreateAnchor(3, 0x00FF00, SHAPE_ELLIPSE);
  AnchorKeyFrame e[2] = {{0, 100, 50, 131, 90}, {10, 300, 20, 339, 119}};
  anchors->SetKeyFrames(ellipse, e, 2);
  const int32_t offEdge = anchors->CreateAnchor(1, 0x0000FF, SHAPE_RECT);
  AnchorKeyFrame o[1] = {{0, 140, 100, 170, 130}};  // partly outside the 160x120 picture
  anchors->SetKeyFrames(offEdge, o, 1);
  void* p = nullptr;
  ASSERT_EQ(filter->QueryInterface(media::IID_IVideoFrameFilter, &p), com::S_OK);
  auto* frameFilter = static_cast<media::IVideoFrameFilter*>(p);
  for (int f : {0, 3, 7}) {
    fake.listener->FramePresented(f / 25.0, 0);
    std::vector<uint8_t> pixels(160 * 120 * 4, 0);
    media::VideoFrame frame{pixels.data(), 160, 120, 160 * 4, f, 160, 120};
    frameFilter->TransformFrame(frame);
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) {
        const uint8_t* q = &pixels[(static_cast<size_t>(y) * 160 + x) * 4];
        uint32_t want = q[3] ? static_cast<uint32_t>(q[2]) << 24 | q[1] << 16 | q[0] << 8 | 0xFF : 0;
        ASSERT_EQ(Pixel(x, y), want) << "frame " << f << " at " << x << "," << y;
      }
  }
  frameFilter->Release();
}

// A clip with a header: the rate and the length come from it.
TEST_F(WebGraphTest, TheHeaderGivesTheRateAndTheLength) {
  if (std::system("gst-launch-1.0 --version >/dev/null 2>&1") != 0) GTEST_SKIP();
  auto dir = std::filesystem::temp_directory_path() / ("klp_webgraph_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "clip.webm").string();
  std::string cmd = "gst-launch-1.0 -q videotestsrc num-buffers=36 ! "
                    "video/x-raw,width=64,height=48,framerate=12/1 ! vp8enc deadline=1 ! "
                    "webmmux ! filesink location=" + path;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  fake.info.duration = 2.95;  // what an element might say: the header wins
  ASSERT_EQ(Open(path.c_str()), com::S_OK);
  LONGLONG d = 0;
  ASSERT_EQ(seeking->GetDuration(&d), com::S_OK);
  EXPECT_EQ(d, 36);
  ASSERT_EQ(Seek(6), com::S_OK);
  EXPECT_DOUBLE_EQ(fake.seeks.back(), 6.5 / 12);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace webgraph
