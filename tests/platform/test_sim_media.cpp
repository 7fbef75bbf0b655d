// The sim media graph and overlay: COM contract, playback on the virtual clock, seeking, fixtures,
// fault injection, overlay recording, and the overlay interface's method-table positions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_graph.h"
#include "platform/sim/sim_overlay.h"

namespace {

using namespace dshow;
using com::S_FALSE;
using com::S_OK;
using sim::SimGraph;
using sim::SimOverlay;
using ::testing::ElementsAre;

constexpr win::UINT kNotifyMessage = 1125;

template <class I>
I* Query(com::IUnknown* from, const com::IID& iid) {
  void* p = nullptr;
  EXPECT_EQ(from->QueryInterface(iid, &p), S_OK);
  return static_cast<I*>(p);
}

// Every interface of one graph, released together.
struct Graph {
  IGraphBuilder* builder = nullptr;
  IMediaControl* control = nullptr;
  IMediaSeeking* seeking = nullptr;
  IMediaEventEx* events = nullptr;
  IVideoWindow* window = nullptr;
  IBasicVideo* video = nullptr;
  explicit Graph(IGraphBuilder* b)
      : builder(b),
        control(Query<IMediaControl>(b, IID_IMediaControl)),
        seeking(Query<IMediaSeeking>(b, IID_IMediaSeeking)),
        events(Query<IMediaEventEx>(b, IID_IMediaEventEx)),
        window(Query<IVideoWindow>(b, IID_IVideoWindow)),
        video(Query<IBasicVideo>(b, IID_IBasicVideo)) {}
  ~Graph() {
    for (com::IUnknown* i :
         std::initializer_list<com::IUnknown*>{video, window, events, seeking, control, builder})
      i->Release();
  }
  LONGLONG Position() {
    LONGLONG p = -1;
    EXPECT_EQ(seeking->GetCurrentPosition(&p), S_OK);
    return p;
  }
  com::HRESULT Seek(LONGLONG frame) {
    return seeking->SetPositions(&frame, AM_SEEKING_AbsolutePositioning, nullptr,
                                 AM_SEEKING_NoPositioning);
  }
  // Takes and frees every queued event; returns the codes.
  std::vector<LONG> Drain() {
    std::vector<LONG> codes;
    LONG code;
    LONG_PTR p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      codes.push_back(code);
      events->FreeEventParams(code, p1, p2);
    }
    return codes;
  }
};

class SimMediaTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Every object made in a test was released by it.
    EXPECT_EQ(SimGraph::LiveCount(), 0);
    EXPECT_EQ(SimOverlay::LiveCount(), 0);
  }

  IGraphBuilder* CreateBuilder() {
    void* p = nullptr;
    EXPECT_EQ(com::CoCreateInstance(CLSID_FilterGraph, nullptr, com::CLSCTX_INPROC_SERVER,
                                    IID_IGraphBuilder, &p),
              S_OK);
    return static_cast<IGraphBuilder*>(p);
  }
  // A graph with the movie rendered, in frame format, notifying the browser window.
  std::unique_ptr<Graph> Open(const std::string& fixture) {
    media.AddMovie("movie.sim", fixture);
    auto g = std::make_unique<Graph>(CreateBuilder());
    EXPECT_EQ(g->builder->RenderFile(u"movie.sim", nullptr), S_OK);
    EXPECT_EQ(g->seeking->SetTimeFormat(&TIME_FORMAT_FRAME), S_OK);
    EXPECT_EQ(g->events->SetNotifyWindow(reinterpret_cast<OAHWND>(browser), kNotifyMessage, 7),
              S_OK);
    return g;
  }
  int NotifiesReceived() const {
    int n = 0;
    for (const auto& m : desk.BrowserLog())
      if (m.message == kNotifyMessage && m.hwnd == browser && m.lParam == 7) ++n;
    return n;
  }

  sim::SimDesktop desk;
  sim::SimMedia media{desk};
  win::HWND browser = desk.CreateBrowserWindow(0, 0, 400, 300);
};

// --- COM contract -----------------------------------------------------------------------------

TEST_F(SimMediaTest, GraphAnswersItsInterfacesWithOneIdentity) {
  IGraphBuilder* builder = CreateBuilder();
  SimGraph* graph = media.graph();
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->RefCount(), 1u);
  {
    Graph g(builder);
    EXPECT_EQ(graph->RefCount(), 6u);
    com::IUnknown* a = Query<com::IUnknown>(g.control, com::IID_IUnknown);
    com::IUnknown* b = Query<com::IUnknown>(g.window, com::IID_IUnknown);
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    for (const com::IID* iid : {&IID_IBaseFilter, &IID_IAnchorOverlay, &CLSID_FilterGraph}) {
      void* p = &g;
      EXPECT_EQ(g.video->QueryInterface(*iid, &p), com::E_NOINTERFACE);
      EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(graph->InterfaceRefs("IMediaControl"), 1);
  }
  EXPECT_EQ(graph->RefCount(), 0u);
  EXPECT_EQ(graph->InterfaceRefs("IGraphBuilder"), 0);
  EXPECT_TRUE(graph->Misuses().empty());
  // Releases are logged per interface, in order.
  auto log = graph->Log(true);
  std::vector<std::string> releases;
  for (const auto& t : log)
    if (t.starts_with("Release(")) releases.push_back(t);
  EXPECT_THAT(releases, ElementsAre("Release(IUnknown)", "Release(IUnknown)", "Release(IUnknown)",
                                    "Release(IBasicVideo)", "Release(IVideoWindow)",
                                    "Release(IMediaEventEx)", "Release(IMediaSeeking)",
                                    "Release(IMediaControl)", "Release(IGraphBuilder)"));
}

TEST_F(SimMediaTest, OverlayAnswersFilterAndOverlayInterfaces) {
  void* p = nullptr;
  ASSERT_EQ(com::CoCreateInstance(CLSID_AnchorOverlay, nullptr, com::CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, &p),
            S_OK);
  auto* filter = static_cast<IBaseFilter*>(p);
  auto* overlay = Query<IAnchorOverlay>(filter, IID_IAnchorOverlay);
  void* none = nullptr;
  EXPECT_EQ(overlay->QueryInterface(IID_IGraphBuilder, &none), com::E_NOINTERFACE);
  EXPECT_EQ(SimOverlay::LiveCount(), 1);
  overlay->Release();
  filter->Release();
  EXPECT_EQ(media.overlay()->RefCount(), 0u);
}

TEST_F(SimMediaTest, GraphKeepsAddedFilterUntilItsFinalRelease) {
  void* p = nullptr;
  ASSERT_EQ(com::CoCreateInstance(CLSID_AnchorOverlay, nullptr, 1, IID_IBaseFilter, &p), S_OK);
  auto* filter = static_cast<IBaseFilter*>(p);
  IGraphBuilder* builder = CreateBuilder();
  EXPECT_EQ(builder->AddFilter(filter, nullptr), S_OK);
  EXPECT_EQ(builder->AddFilter(nullptr, nullptr), com::E_POINTER);
  filter->Release();
  EXPECT_EQ(SimOverlay::LiveCount(), 1);
  builder->Release();
  EXPECT_EQ(SimOverlay::LiveCount(), 0);
  EXPECT_THAT(media.log().Texts(),
              ElementsAre("graph.AddFilter(overlay#1, null)", "graph.AddFilter(null, null)"));
}

TEST_F(SimMediaTest, PinnedGraphRecordsUseAfterFinalRelease) {
  IGraphBuilder* builder = CreateBuilder();
  auto* control = Query<IMediaControl>(builder, IID_IMediaControl);
  control->Release();
  builder->Release();
  EXPECT_EQ(control->Run(), com::E_UNEXPECTED);  // the pinned object is still readable
  EXPECT_EQ(builder->Release(), 0u);
  EXPECT_THAT(media.graph()->Misuses(),
              ElementsAre("Run() after the final Release",
                          "Release(IGraphBuilder) after the final Release"));
}

TEST(SimMediaStandalone, UnregisteredAfterRegistrationEnds) {
  sim::SimDesktop desk;
  { sim::SimMedia media(desk); }
  void* p = &desk;
  EXPECT_EQ(com::CoCreateInstance(CLSID_FilterGraph, nullptr, 1, IID_IGraphBuilder, &p),
            com::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
  auto* own = new SimGraph();  // unpinned: freed by its final Release (checked under ASan)
  EXPECT_EQ(SimGraph::LiveCount(), 1);
  own->Unknown()->Release();
  EXPECT_EQ(SimGraph::LiveCount(), 0);
}

// --- Playback on the virtual clock --------------------------------------------------------------

TEST_F(SimMediaTest, PositionFollowsTheClockOnlyWhileRunning) {
  auto g = Open("frames=90\nfps=30\n");
  EXPECT_EQ(g->Position(), 0);
  EXPECT_EQ(media.graph()->ShownFrame(), -1);  // nothing cued yet
  ASSERT_EQ(g->control->Run(), S_OK);
  desk.RunFor(1000);
  EXPECT_EQ(g->Position(), 30);
  desk.RunFor(49);
  EXPECT_EQ(g->Position(), 31);  // 1049 ms * 30 / 1000, rounded down
  ASSERT_EQ(g->control->Pause(), S_OK);
  desk.RunFor(1000);
  EXPECT_EQ(g->Position(), 31);
  OAFilterState state = -1;
  EXPECT_EQ(g->control->GetState(static_cast<LONG>(INFINITE), &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(media.graph()->ShownFrame(), 31);
}

TEST_F(SimMediaTest, EndOfMovieQueuesOneCompleteAndKeepsRunning) {
  auto g = Open("frames=90\nfps=30\n");
  ASSERT_EQ(g->control->Run(), S_OK);
  desk.RunFor(2999);
  EXPECT_THAT(g->Drain(), ElementsAre(EC_CLOCK_CHANGED));
  desk.RunFor(1);
  EXPECT_EQ(g->Position(), 90);
  desk.RunFor(5000);
  EXPECT_EQ(g->Position(), 90);
  EXPECT_THAT(g->Drain(), ElementsAre(EC_COMPLETE));
  EXPECT_EQ(NotifiesReceived(), 2);  // one message per event
  EXPECT_EQ(media.graph()->state(), State_Running);
  EXPECT_EQ(media.graph()->ShownFrame(), 89);
  // Seeking back while running plays on from there, to a second end (auto repeat).
  ASSERT_EQ(g->Seek(0), S_OK);
  desk.RunFor(3000);
  EXPECT_THAT(g->Drain(), ElementsAre(EC_COMPLETE));
  EXPECT_EQ(media.graph()->eventsFreed(), 3);
  LONG code;
  LONG_PTR p1, p2;
  EXPECT_EQ(g->events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(SimMediaTest, EndComesWhenThePositionReachesTheLastFrame) {
  auto g = Open("frames=10\nfps=3\n");  // 10 frames take 3333.3 ms
  g->control->Run();
  desk.RunFor(3333);
  EXPECT_EQ(g->Position(), 9);
  EXPECT_THAT(g->Drain(), ElementsAre(EC_CLOCK_CHANGED));
  desk.RunFor(1);
  EXPECT_EQ(g->Position(), 10);
  EXPECT_THAT(g->Drain(), ElementsAre(EC_COMPLETE));
  // Running again at the end completes at once.
  g->control->Pause();
  g->control->Run();
  desk.RunUntilIdle();
  EXPECT_THAT(g->Drain(), ElementsAre(EC_PAUSED, EC_COMPLETE));
}

TEST_F(SimMediaTest, StateChangesQueueEventsThePlayerDiscards) {
  auto g = Open("frames=90\nfps=30\n");
  g->control->Run();
  g->control->Pause();
  g->control->Run();
  g->control->Pause();
  EXPECT_THAT(g->Drain(), ElementsAre(EC_CLOCK_CHANGED, EC_PAUSED, EC_PAUSED));
  // No notification: nothing queued, nothing posted.
  ASSERT_EQ(g->events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
  g->control->Run();
  desk.RunFor(5000);
  EXPECT_TRUE(g->Drain().empty());
  EXPECT_EQ(NotifiesReceived(), 3);
}

TEST_F(SimMediaTest, StopWhenReadyLeavesTheFrameShownAndAutoShowShowsTheWindow) {
  auto g = Open("frames=90\nfps=30\n");
  SimGraph* graph = media.graph();
  EXPECT_EQ(graph->videoWindow().visible, OAFALSE);
  g->control->Run();
  EXPECT_EQ(graph->videoWindow().visible, OATRUE);
  desk.RunFor(500);
  ASSERT_EQ(g->control->StopWhenReady(), S_OK);
  EXPECT_EQ(graph->state(), State_Stopped);
  EXPECT_EQ(graph->ShownFrame(), 15);
  desk.RunFor(500);
  EXPECT_EQ(g->Position(), 15);
  ASSERT_EQ(g->Seek(0), S_OK);
  EXPECT_EQ(graph->ShownFrame(), 15);  // a stopped graph shows no new frame
  ASSERT_EQ(g->control->Pause(), S_OK);
  EXPECT_EQ(graph->ShownFrame(), 0);
  // Without auto show the window stays as put.
  ASSERT_EQ(g->window->put_Visible(OAFALSE), S_OK);
  ASSERT_EQ(g->window->put_AutoShow(OAFALSE), S_OK);
  g->control->Run();
  EXPECT_EQ(graph->videoWindow().visible, OAFALSE);
}

TEST_F(SimMediaTest, VideoWindowStartsAtTheVideoSizeAndKeepsItsCorner) {
  auto g = Open("width=160\nheight=120\n");
  LONG w = 0, h = 0;
  ASSERT_EQ(g->video->GetVideoSize(&w, &h), S_OK);
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 120);
  const sim::VideoWindowState& v = media.graph()->videoWindow();
  EXPECT_EQ(v.width, 160);
  EXPECT_EQ(v.height, 120);
  g->window->SetWindowPosition(1, 2, 300, 200);
  g->window->put_Width(80);
  g->window->put_Height(60);
  EXPECT_EQ(v.left, 1);
  EXPECT_EQ(v.top, 2);
  EXPECT_EQ(v.width, 80);
  EXPECT_EQ(v.height, 60);
}

// --- Seeking ----------------------------------------------------------------------------------

TEST_F(SimMediaTest, SeekingClampsAndHonoursTheStopPosition) {
  auto g = Open("frames=90\nfps=30\n");
  LONGLONG duration = 0;
  ASSERT_EQ(g->seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 90);
  EXPECT_EQ(g->Seek(-5), S_OK);
  EXPECT_EQ(g->Position(), 0);
  EXPECT_EQ(g->Seek(1000), S_OK);
  EXPECT_EQ(g->Position(), 90);
  LONGLONG cur = 30, stop = 45;
  ASSERT_EQ(g->seeking->SetPositions(&cur, AM_SEEKING_AbsolutePositioning, &stop,
                                     AM_SEEKING_AbsolutePositioning),
            S_OK);
  g->control->Run();
  desk.RunFor(499);
  EXPECT_EQ(g->Position(), 44);
  EXPECT_EQ(media.graph()->PendingEvents().size(), 1u);  // EC_CLOCK_CHANGED
  desk.RunFor(1);
  EXPECT_EQ(g->Position(), 45);
  EXPECT_EQ(media.graph()->PendingEvents().back().code, EC_COMPLETE);
  // Only absolute positioning, with a position to go to.
  EXPECT_EQ(g->seeking->SetPositions(&cur, AM_SEEKING_RelativePositioning, nullptr, 0),
            com::E_INVALIDARG);
  EXPECT_EQ(g->seeking->SetPositions(nullptr, AM_SEEKING_AbsolutePositioning, nullptr, 0),
            com::E_INVALIDARG);
}

TEST_F(SimMediaTest, MediaTimeUntilFrameFormatIsSet) {
  media.AddMovie("m", "frames=90\nfps=30\n");
  Graph g(CreateBuilder());
  ASSERT_EQ(g.builder->RenderFile(u"m", nullptr), S_OK);
  LONGLONG d = 0;
  g.seeking->GetDuration(&d);
  EXPECT_EQ(d, 30'000'000);  // 3 s in 100 ns units
  LONGLONG half = 15'000'000;
  g.seeking->SetPositions(&half, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  g.seeking->SetTimeFormat(&TIME_FORMAT_FRAME);
  EXPECT_EQ(g.Position(), 45);
}

TEST_F(SimMediaTest, PositionsBeyond32Bits) {
  auto g = Open("frames=5000000000\nfps=1000\n");
  LONGLONG d = 0;
  g->seeking->GetDuration(&d);
  EXPECT_EQ(d, 5'000'000'000);
  ASSERT_EQ(g->Seek(4'294'967'396), S_OK);
  g->control->Run();  // the end lies beyond the clock's range: never scheduled
  desk.RunFor(1000);
  EXPECT_EQ(g->Position(), 4'294'968'396);
}

// --- Fixtures ---------------------------------------------------------------------------------

TEST(MovieFixture, ParsesKeysAndFlags) {
  auto m =
      sim::ParseMovie("# clip\n frames = 12 \r\nfps=25\n\nwidth=64\nheight=48\nnovideo\npartial\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->frames, 12);
  EXPECT_EQ(m->fps, 25);
  EXPECT_EQ(m->width, 64);
  EXPECT_EQ(m->height, 48);
  EXPECT_FALSE(m->video);
  EXPECT_TRUE(m->partial);
  EXPECT_TRUE(m->renderable);
  auto d = sim::ParseMovie("");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->frames, 300);
  for (const char* bad : {"frames=0", "frames=-3", "frames=12x", "fps=", "fps=1001", "width=0",
                          "novideo=1", "colour=red", "frames=100000000001"}) {
    std::string why;
    EXPECT_FALSE(sim::ParseMovie(std::string("fps=30\n") + bad, &why)) << bad;
    EXPECT_EQ(why, std::string("line 2: ") + bad);
  }
}

TEST_F(SimMediaTest, RenderFileOutcomes) {
  media.AddMovie("cannot", "cannot-render");
  media.AddMovie("partial", "partial");
  media.AddMovie("bad", "frames=none");
  media.AddMovie("audio", "novideo");
  struct Case {
    const char16_t* path;
    com::HRESULT hr;
  };
  for (Case c : {Case{u"cannot", VFW_E_CANNOT_RENDER}, Case{u"partial", VFW_S_PARTIAL_RENDER},
                 Case{u"bad", VFW_E_INVALID_FILE_FORMAT},
                 Case{u"/no/such/movie", sim::kFileNotFound}, Case{nullptr, com::E_POINTER}}) {
    IGraphBuilder* b = CreateBuilder();
    EXPECT_EQ(b->RenderFile(c.path, nullptr), c.hr);
    b->Release();
  }
  Graph g(CreateBuilder());
  ASSERT_EQ(g.builder->RenderFile(u"audio", nullptr), S_OK);
  LONG w, h;
  EXPECT_EQ(g.video->GetVideoSize(&w, &h), com::E_NOINTERFACE);
  EXPECT_EQ(g.window->put_Owner(0), com::E_NOINTERFACE);
  EXPECT_EQ(g.builder->RenderFile(u"audio", nullptr), VFW_E_WRONG_STATE);
}

TEST_F(SimMediaTest, RenderFileReadsAFileByItsWidePath) {
  std::string path = ::testing::TempDir() + "sim_movie_\xC3\xA9.txt";  // "é" in UTF-8
  std::ofstream(path) << "frames=7\n";
  std::u16string wide;
  for (unsigned char c : ::testing::TempDir() + "sim_movie_") wide += c;
  wide += u"\u00E9.txt";
  Graph g(CreateBuilder());
  EXPECT_EQ(g.builder->RenderFile(wide.c_str(), nullptr), S_OK);
  std::remove(path.c_str());
  ASSERT_TRUE(media.graph()->movie());
  EXPECT_EQ(media.graph()->movie()->frames, 7);
  EXPECT_EQ(media.graph()->Log()[0].substr(0, 12), "RenderFile(\"");
}

// --- Fault injection --------------------------------------------------------------------------

TEST_F(SimMediaTest, EveryCallCanBeMadeToFailOnce) {
  auto g = Open("frames=90\n");
  LONGLONG pos = 0;
  LONG w, h;
  OAFilterState st;
  LONG code;
  LONG_PTR p1, p2;
  g->control->Pause();  // queues one event for GetEvent
  const std::vector<std::pair<std::string, std::function<com::HRESULT()>>> calls = {
      {"AddFilter", [&] { return g->builder->AddFilter(nullptr, nullptr); }},
      {"RenderFile", [&] { return g->builder->RenderFile(u"movie.sim", nullptr); }},
      {"Run", [&] { return g->control->Run(); }},
      {"Pause", [&] { return g->control->Pause(); }},
      {"StopWhenReady", [&] { return g->control->StopWhenReady(); }},
      {"GetState", [&] { return g->control->GetState(0, &st); }},
      {"SetTimeFormat", [&] { return g->seeking->SetTimeFormat(&TIME_FORMAT_FRAME); }},
      {"GetDuration", [&] { return g->seeking->GetDuration(&pos); }},
      {"GetCurrentPosition", [&] { return g->seeking->GetCurrentPosition(&pos); }},
      {"SetPositions", [&] { return g->Seek(1); }},
      {"SetNotifyWindow", [&] { return g->events->SetNotifyWindow(0, 0, 0); }},
      {"SetNotifyFlags", [&] { return g->events->SetNotifyFlags(0); }},
      {"GetEvent", [&] { return g->events->GetEvent(&code, &p1, &p2, 0); }},
      {"FreeEventParams", [&] { return g->events->FreeEventParams(0, 0, 0); }},
      {"put_Owner", [&] { return g->window->put_Owner(0); }},
      {"put_WindowStyle", [&] { return g->window->put_WindowStyle(0); }},
      {"SetWindowPosition", [&] { return g->window->SetWindowPosition(0, 0, 1, 1); }},
      {"put_MessageDrain", [&] { return g->window->put_MessageDrain(0); }},
      {"put_AutoShow", [&] { return g->window->put_AutoShow(OATRUE); }},
      {"put_Visible", [&] { return g->window->put_Visible(OATRUE); }},
      {"put_Width", [&] { return g->window->put_Width(1); }},
      {"put_Height", [&] { return g->window->put_Height(1); }},
      {"GetVideoSize", [&] { return g->video->GetVideoSize(&w, &h); }},
  };
  constexpr com::HRESULT kInjected = static_cast<com::HRESULT>(0x8004FFFFu);
  for (const auto& [name, call] : calls) {
    media.graph()->faults().FailNext(name, kInjected);
    size_t before = media.log().calls().size();
    EXPECT_EQ(call(), kInjected) << name;
    EXPECT_EQ(media.log().calls().back().result, kInjected) << name;
    EXPECT_EQ(media.log().calls().size(), before + 1) << name;
    EXPECT_NE(call(), kInjected) << name << " failed twice";
  }
}

TEST_F(SimMediaTest, InjectedResultsReplaceTheCallWhole) {
  auto g = Open("frames=90\n");
  media.graphFaults().FailNext("SetTimeFormat", S_FALSE);
  EXPECT_EQ(g->seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_FALSE);
  EXPECT_EQ(media.graph()->timeFormat(), TIME_FORMAT_FRAME);
  media.graphFaults().FailNext("GetState", VFW_S_STATE_INTERMEDIATE);
  OAFilterState st = -1;
  EXPECT_EQ(g->control->GetState(0, &st), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(st, State_Stopped);  // the state is still reported
  media.graphFaults().FailAlways("Pause");
  EXPECT_EQ(g->control->Pause(), com::E_FAIL);
  EXPECT_EQ(g->control->Pause(), com::E_FAIL);
  EXPECT_EQ(media.graph()->state(), State_Stopped);
  media.graphFaults().Clear();
  EXPECT_EQ(g->control->Pause(), S_OK);
}

TEST_F(SimMediaTest, QueriesAndCreationCanFail) {
  // Faults set before creation apply to the next graph.
  media.graphFaults().FailNext("QueryInterface(IMediaSeeking)", com::E_NOINTERFACE);
  media.graphFaults().FailNext("Pause");
  IGraphBuilder* b = CreateBuilder();
  void* p = nullptr;
  EXPECT_EQ(b->QueryInterface(IID_IMediaSeeking, &p), com::E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  auto* control = Query<IMediaControl>(b, IID_IMediaControl);
  EXPECT_EQ(control->Pause(), com::E_FAIL);
  control->Release();
  b->Release();

  // CoCreateInstance: a factory that makes nothing, or a graph refusing IGraphBuilder.
  media.graphFaults().FailNext("CoCreateInstance");
  EXPECT_EQ(com::CoCreateInstance(CLSID_FilterGraph, nullptr, 1, IID_IGraphBuilder, &p),
            com::E_OUTOFMEMORY);
  media.graphFaults().FailNext("QueryInterface(IGraphBuilder)", com::E_NOINTERFACE);
  EXPECT_EQ(com::CoCreateInstance(CLSID_FilterGraph, nullptr, 1, IID_IGraphBuilder, &p),
            com::E_NOINTERFACE);
  EXPECT_EQ(media.graphs().size(), 2u);  // the refused one was made and freed again
  media.overlayFaults().FailNext("CoCreateInstance");
  EXPECT_EQ(com::CoCreateInstance(CLSID_AnchorOverlay, nullptr, 1, IID_IBaseFilter, &p),
            com::E_OUTOFMEMORY);
  const std::pair<const char*, const com::IID*> queries[] = {
      {"QueryInterface(IBaseFilter)", &IID_IBaseFilter},
      {"QueryInterface(IAnchorOverlay)", &IID_IAnchorOverlay}};
  for (auto [key, iid] : queries) {
    media.overlayFaults().FailNext(key, com::E_NOINTERFACE);
    void* o = nullptr;
    com::CoCreateInstance(CLSID_AnchorOverlay, nullptr, 1, com::IID_IUnknown, &o);
    ASSERT_NE(o, nullptr);
    auto* unk = static_cast<com::IUnknown*>(o);
    EXPECT_EQ(unk->QueryInterface(*iid, &p), com::E_NOINTERFACE) << key;
    unk->Release();
  }
}

// --- Overlay ----------------------------------------------------------------------------------

TEST_F(SimMediaTest, OverlayRecordsCallsAndCopiesKeyFrames) {
  auto* unk = (new SimOverlay(nullptr))->Unknown();
  auto* o = Query<IAnchorOverlay>(unk, IID_IAnchorOverlay);
  unk->Release();
  SimOverlay* sim = static_cast<SimOverlay*>(o);
  EXPECT_EQ(o->CreateAnchor(3, 0xFF, SHAPE_RECT), 1);
  EXPECT_EQ(o->CreateAnchor(2, 0xFF00, SHAPE_ELLIPSE), 2);
  auto frames = std::make_unique<AnchorKeyFrame[]>(2);
  frames[0] = {0, 10, 20, 30, 40};
  frames[1] = {50, 11, 21, 31, 41};
  EXPECT_EQ(o->SetKeyFrames(2, frames.get(), 2), S_OK);
  frames.reset();  // the caller frees its array right after the call
  EXPECT_EQ(o->SetKeyFrames(1, nullptr, 0), S_OK);
  EXPECT_EQ(o->SetKeyFrames(9, nullptr, 0), com::E_INVALIDARG);
  EXPECT_EQ(o->SetKeyFrames(1, nullptr, -1), com::E_INVALIDARG);
  EXPECT_EQ(o->ShowAnchor(1, 0), S_OK);
  EXPECT_EQ(o->SetAnchorColor(2, 0xFF0000), S_OK);
  EXPECT_EQ(o->ShowAllAnchors(0), S_OK);
  EXPECT_EQ(o->Refresh(), S_OK);

  const auto& a = sim->anchors();
  ASSERT_EQ(a.size(), 2u);
  EXPECT_FALSE(a.at(1).shown);
  EXPECT_EQ(a.at(2).shape, SHAPE_ELLIPSE);
  EXPECT_EQ(a.at(2).colour, 0xFF0000);
  ASSERT_EQ(a.at(2).keyFrames.size(), 2u);
  EXPECT_EQ(a.at(2).keyFrames[1].frame, 50);
  EXPECT_EQ(a.at(2).keyFrames[1].bottom, 41);
  EXPECT_FALSE(sim->allShown());
  EXPECT_EQ(sim->refreshes(), 1);
  const auto& calls = sim->calls();
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_EQ(calls[1].method, "CreateAnchor");
  EXPECT_THAT(calls[1].args, ElementsAre(2, 0xFF00, SHAPE_ELLIPSE));
  EXPECT_EQ(calls[1].result, 2);
  EXPECT_EQ(calls[2].keyFrames[0].right, 30);

  EXPECT_EQ(o->RemoveAllAnchors(), S_OK);
  EXPECT_TRUE(sim->anchors().empty());
  EXPECT_EQ(o->CreateAnchor(1, 0, 0), 3);  // ids are not reused
  EXPECT_THAT(sim->Log(), ::testing::Contains("SetKeyFrames(2, 2)"));
  o->Release();
}

// --- Method-table positions -------------------------------------------------------------------

// Slot of a virtual method: in the Itanium C++ ABI its member pointer holds 1 + the byte offset
// of its entry in the method table.
template <class M>
ptrdiff_t Slot(M method) {
  struct Raw {
    ptrdiff_t ptr;
    ptrdiff_t adj;
  };
  static_assert(sizeof(M) == sizeof(Raw));
  return (std::bit_cast<Raw>(method).ptr - 1) / static_cast<ptrdiff_t>(sizeof(void*));
}

TEST(AnchorOverlayLayout, MethodsStandInTheirSlots) {
  using O = IAnchorOverlay;
  EXPECT_EQ(Slot(&O::QueryInterface), 0);
  EXPECT_EQ(Slot(&O::AddRef), 1);
  EXPECT_EQ(Slot(&O::Release), 2);
  EXPECT_EQ(Slot(&O::Refresh), 3);
  EXPECT_EQ(Slot(&O::Reserved4), 4);
  EXPECT_EQ(Slot(&O::Reserved10), 10);
  EXPECT_EQ(Slot(&O::CreateAnchor), 11);
  EXPECT_EQ(Slot(&O::Reserved12), 12);
  EXPECT_EQ(Slot(&O::SetKeyFrames), 13);
  EXPECT_EQ(Slot(&O::Reserved14), 14);
  EXPECT_EQ(Slot(&O::SetAnchorColor), 15);
  EXPECT_EQ(Slot(&O::ShowAnchor), 16);
  EXPECT_EQ(Slot(&O::ShowAllAnchors), 17);
  EXPECT_EQ(Slot(&O::RemoveAllAnchors), 18);
  EXPECT_EQ(offsetof(AnchorKeyFrame, left), 4u);
  EXPECT_EQ(offsetof(AnchorKeyFrame, bottom), 16u);
}

TEST(AnchorOverlayLayout, SimOverlayAnswersThroughTheSlots) {
  auto* unk = (new SimOverlay(nullptr))->Unknown();
  auto* o = Query<IAnchorOverlay>(unk, IID_IAnchorOverlay);
  unk->Release();
  // Call slot 11 as a caller built against the table would.
  using CreateFn = int32_t (*)(IAnchorOverlay*, int32_t, int32_t, int32_t);
  auto table = *reinterpret_cast<void* const* const*>(o);
  EXPECT_EQ(reinterpret_cast<CreateFn>(table[11])(o, 4, 5, SHAPE_RECT), 1);
  EXPECT_EQ(static_cast<SimOverlay*>(o)->calls().back().method, "CreateAnchor");
  o->Release();
}

}  // namespace
