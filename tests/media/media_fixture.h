// What the media tests share: clips made once per process (clip_cache.h), a pump for the sim
// desktop while GStreamer runs in real time, and a graph with the overlay in
// it, driven as the player drives it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "overlay/anchor_overlay.h"
#include "platform/dshow/dshow.h"
#include "platform/gst/gst_graph.h"
#include "platform/sim/sim_desktop.h"
#include "script/messages.h"
#include "tests/media/clip_cache.h"
#include "tests/media/clip_maker.h"

namespace klp::test {

// Dispatches the desktop's posted messages until done() holds or timeoutMs pass in real time.
inline bool PumpUntil(sim::SimDesktop& desk, const std::function<bool()>& done,
                      int timeoutMs = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    desk.RunUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

inline void PumpFor(sim::SimDesktop& desk, int ms) {
  PumpUntil(desk, [] { return false; }, ms);
}

template <class I>
I* Ask(com::IUnknown* from, const com::IID& iid) {
  void* p = nullptr;
  EXPECT_EQ(from->QueryInterface(iid, &p), com::S_OK);
  return static_cast<I*>(p);
}

// One graph with the anchor overlay added, its interfaces held as the player holds them.
class TestGraph {
 public:
  explicit TestGraph(sim::SimDesktop& desk) : desk_(desk) {
    gstgraph::Register();
    overlay::Register();
    EXPECT_EQ(com::CoCreateInstance(dshow::CLSID_FilterGraph, nullptr, com::CLSCTX_INPROC_SERVER,
                                    dshow::IID_IGraphBuilder, reinterpret_cast<void**>(&builder)),
              com::S_OK);
    dshow::IBaseFilter* filter = nullptr;
    EXPECT_EQ(com::CoCreateInstance(dshow::CLSID_AnchorOverlay, nullptr,
                                    com::CLSCTX_INPROC_SERVER, dshow::IID_IBaseFilter,
                                    reinterpret_cast<void**>(&filter)),
              com::S_OK);
    EXPECT_EQ(builder->AddFilter(filter, nullptr), com::S_OK);
    overlay = Ask<dshow::IAnchorOverlay>(filter, dshow::IID_IAnchorOverlay);
    filter->Release();
    control = Ask<dshow::IMediaControl>(builder, dshow::IID_IMediaControl);
    seeking = Ask<dshow::IMediaSeeking>(builder, dshow::IID_IMediaSeeking);
    events = Ask<dshow::IMediaEventEx>(builder, dshow::IID_IMediaEventEx);
    window = Ask<dshow::IVideoWindow>(builder, dshow::IID_IVideoWindow);
    video = Ask<dshow::IBasicVideo>(builder, dshow::IID_IBasicVideo);
  }
  ~TestGraph() { Release(); }
  TestGraph(const TestGraph&) = delete;
  TestGraph& operator=(const TestGraph&) = delete;

  // Releases every interface, the graph last, as the player's ReleaseGraph does.
  void Release() {
    if (!builder) return;
    video->Release();
    window->put_Visible(dshow::OAFALSE);
    window->put_Owner(0);
    window->Release();
    events->Release();
    seeking->Release();
    control->Release();
    overlay->RemoveAllAnchors();
    overlay->Release();
    builder->Release();
    builder = nullptr;
  }

  // Renders the clip into a window of the owner (made here when none is given), with the
  // notices going to a window of their own, and stops on frame 0 as the player does.
  com::HRESULT Open(const std::string& path, int windowWidth = 0, int windowHeight = 0) {
    std::u16string wide(path.begin(), path.end());
    com::HRESULT hr = builder->RenderFile(wide.c_str(), nullptr);
    if (com::FAILED(hr)) return hr;
    notify = desk_.CreateBrowserWindow(0, 0, 1, 1);
    EXPECT_EQ(events->SetNotifyWindow(reinterpret_cast<dshow::OAHWND>(notify), WM_KL_GRAPHNOTIFY, 0),
              com::S_OK);
    EXPECT_EQ(events->SetNotifyFlags(0), com::S_OK);
    EXPECT_EQ(seeking->SetTimeFormat(&dshow::TIME_FORMAT_FRAME), com::S_OK);
    EXPECT_EQ(video->GetVideoSize(&videoWidth, &videoHeight), com::S_OK);
    if (windowWidth == 0) {
      windowWidth = videoWidth;
      windowHeight = videoHeight;
    }
    owner = desk_.CreateBrowserWindow(0, 0, windowWidth, windowHeight);
    EXPECT_EQ(window->put_Owner(reinterpret_cast<dshow::OAHWND>(owner)), com::S_OK);
    EXPECT_EQ(window->put_WindowStyle(0x46000000), com::S_OK);
    EXPECT_EQ(window->SetWindowPosition(0, 0, windowWidth, windowHeight), com::S_OK);
    EXPECT_EQ(window->put_MessageDrain(reinterpret_cast<dshow::OAHWND>(owner)), com::S_OK);
    EXPECT_EQ(window->put_AutoShow(dshow::OATRUE), com::S_OK);
    EXPECT_EQ(Stop(), com::S_OK);
    return hr;
  }

  // --- What the player does --------------------------------------------------------------------
  com::HRESULT Seek(int64_t frame) {
    dshow::LONGLONG current = frame, stop = Duration();
    return seeking->SetPositions(&current, dshow::AM_SEEKING_AbsolutePositioning, &stop,
                                 dshow::AM_SEEKING_AbsolutePositioning);
  }
  com::HRESULT Stop() {
    com::HRESULT hr = control->StopWhenReady();
    if (com::SUCCEEDED(hr)) hr = control->Pause();
    if (com::SUCCEEDED(hr)) hr = Seek(0);
    if (com::SUCCEEDED(hr)) hr = control->Pause();
    return hr;
  }
  // Pauses and settles on the frame the position names; returns that frame, or -1.
  int64_t PauseOnFrame() {
    if (com::FAILED(control->StopWhenReady()) || com::FAILED(control->Pause())) return -1;
    int64_t frame = Position();
    if (frame < 0 || com::FAILED(Seek(frame)) || com::FAILED(control->Pause())) return -1;
    return frame;
  }

  int64_t Position() {
    dshow::LONGLONG p = -1;
    return com::SUCCEEDED(seeking->GetCurrentPosition(&p)) ? p : -1;
  }
  int64_t Duration() {
    dshow::LONGLONG d = -1;
    return com::SUCCEEDED(seeking->GetDuration(&d)) ? d : -1;
  }

  // --- What the user sees ----------------------------------------------------------------------
  win::HWND VideoWindow() const {
    for (win::HWND h : desk_.Windows())
      if (win::Window* w = desk_.Find(h); w && w->parent == owner && owner) return h;
    return nullptr;
  }
  win::Surface* Screen() const {
    win::HWND h = VideoWindow();
    return h ? desk_.SurfaceOf(h) : nullptr;
  }
  // The frame number on screen once the posted repaints are through, or -1.
  int ShownFrame() {
    desk_.RunUntilIdle();
    win::Surface* s = Screen();
    return s && s->paints > 0 ? ReadFrameNumber(*s, videoWidth, videoHeight) : -1;
  }
  uint32_t Pixel(int x, int y) {
    desk_.RunUntilIdle();
    win::Surface* s = Screen();
    return s ? s->pixels[static_cast<size_t>(y) * s->width + x] : 0xFFFFFFFFu;
  }

  // --- Notices ---------------------------------------------------------------------------------
  int NotifiesPosted() const {
    int n = 0;
    for (const win::MSG& m : desk_.BrowserLog()) n += m.hwnd == notify && m.message == WM_KL_GRAPHNOTIFY;
    return n;
  }
  // Takes queued events until EC_COMPLETE; true when one was there.
  bool TakeComplete() {
    dshow::LONG code;
    dshow::LONG_PTR p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == com::S_OK) {
      events->FreeEventParams(code, p1, p2);
      if (code == dshow::EC_COMPLETE) return true;
    }
    return false;
  }
  // Pumps until the graph has queued EC_COMPLETE.
  bool WaitForComplete(int timeoutMs = 5000) {
    return PumpUntil(desk_, [&] { return TakeComplete(); }, timeoutMs);
  }

  dshow::IGraphBuilder* builder = nullptr;
  dshow::IMediaControl* control = nullptr;
  dshow::IMediaSeeking* seeking = nullptr;
  dshow::IMediaEventEx* events = nullptr;
  dshow::IVideoWindow* window = nullptr;
  dshow::IBasicVideo* video = nullptr;
  dshow::IAnchorOverlay* overlay = nullptr;
  win::HWND owner = nullptr;
  win::HWND notify = nullptr;
  dshow::LONG videoWidth = 0;
  dshow::LONG videoHeight = 0;

 private:
  sim::SimDesktop& desk_;
};

}  // namespace klp::test
