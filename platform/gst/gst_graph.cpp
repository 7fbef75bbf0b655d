#include "platform/gst/gst_graph.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/dshow/graph_base.h"
#include "platform/gst/frame_filter.h"
#include "platform/gst/pipeline.h"
#include "platform/gst/video_window.h"
#include "platform/win/win.h"

namespace gstgraph {
namespace {

using com::HRESULT;
using namespace dshow;

inline constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
inline constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);

constexpr int kOpenTimeoutMs = 10000;   // RenderFile: building and prerolling
constexpr int kChangeTimeoutMs = 5000;  // Run, Pause, StopWhenReady, SetPositions
constexpr int kLongestWaitMs = 10000;   // GetState and GetEvent, INFINITE included

std::atomic<int> g_live{0};

// Status of a state change or seek as an HRESULT: S_FALSE while it still goes on.
HRESULT FromStatus(Status s) {
  switch (s) {
    case Status::kOk:
      return com::S_OK;
    case Status::kPending:
      return com::S_FALSE;
    case Status::kNotFound:
      return kFileNotFound;
    case Status::kBadFormat:
      return VFW_E_INVALID_FILE_FORMAT;
    case Status::kNoVideo:
      return VFW_E_CANNOT_RENDER;
    case Status::kFailed:
      break;
  }
  return com::E_FAIL;
}

int WaitLimit(LONG msTimeout) {
  return msTimeout < 0 ? kLongestWaitMs : std::min<int>(msTimeout, kLongestWaitMs);
}

struct QueuedEvent {
  LONG code;
  LONG_PTR param1;
  LONG_PTR param2;
};

class FilterGraph final : public GraphBase,
                          private media::IVideoFrameHost,
                          private PipelineClient {
 public:
  FilterGraph()
      : window_([this](const std::function<void(const media::VideoFrame&)>& reader) {
          return pipeline_ && pipeline_->ReadFrame(reader);
        }) {
    ++g_live;
  }

  // --- IGraphBuilder ---------------------------------------------------------------------------
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR) override {
    if (!filter) return com::E_POINTER;
    std::lock_guard lock(filterLock_);
    if (std::find(filters_.begin(), filters_.end(), filter) != filters_.end())
      return com::E_INVALIDARG;
    filter->AddRef();
    filters_.push_back(filter);
    void* frameFilter = nullptr;
    if (filter->QueryInterface(media::IID_IVideoFrameFilter, &frameFilter) == com::S_OK) {
      auto* f = static_cast<media::IVideoFrameFilter*>(frameFilter);
      f->AttachHost(this);
      frameFilters_.push_back(f);
    }
    return com::S_OK;
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
    if (!file) return com::E_POINTER;
    if (pipeline_) return VFW_E_WRONG_STATE;  // one file per graph
    if (!InitializeGStreamer()) return com::E_FAIL;
    int fd = open(PathBytes(file).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES ? kAccessDenied : kFileNotFound;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return VFW_E_INVALID_FILE_FORMAT;
    }
    pipeline_ = std::make_unique<Pipeline>(static_cast<PipelineClient*>(this));
    Status s = pipeline_->Open(fd, kOpenTimeoutMs);
    if (s == Status::kOk && !pipeline_->Format(&format_)) s = Status::kNoVideo;
    if (s != Status::kOk) {
      pipeline_.reset();
      std::lock_guard lock(eventLock_);
      events_.clear();
      return s == Status::kPending ? VFW_E_TIMEOUT : FromStatus(s);
    }
    DisplaySize(format_, &videoWidth_, &videoHeight_);
    window_.SetPosition(0, 0, videoWidth_, videoHeight_);
    state_ = State_Stopped;
    return com::S_OK;
  }

  // --- IMediaControl ---------------------------------------------------------------------------
  HRESULT Run() override { return ChangeState(State_Running); }
  HRESULT Pause() override { return ChangeState(State_Paused); }
  // Pauses, so the frame at the position stays on show; the graph is then reported stopped.
  HRESULT StopWhenReady() override { return ChangeState(State_Stopped); }

  HRESULT GetState(LONG msTimeout, OAFilterState* state) override {
    if (!state) return com::E_POINTER;
    *state = state_;
    if (!pipeline_) return com::S_OK;
    Status s = pipeline_->Wait(WaitLimit(msTimeout));
    if (s == Status::kPending) return VFW_S_STATE_INTERMEDIATE;
    return s == Status::kOk ? com::S_OK : com::E_FAIL;
  }

  // --- IMediaSeeking ---------------------------------------------------------------------------
  HRESULT GetDuration(LONGLONG* duration) override {
    if (!duration) return com::E_POINTER;
    int64_t ns;
    if (!pipeline_) return VFW_E_WRONG_STATE;
    if (!pipeline_->Duration(&ns)) return com::E_FAIL;
    *duration = ToUnits(ns);
    return com::S_OK;
  }

  HRESULT GetCurrentPosition(LONGLONG* current) override {
    if (!current) return com::E_POINTER;
    int64_t ns;
    if (!pipeline_) return VFW_E_WRONG_STATE;
    if (!pipeline_->Position(&ns)) return com::E_FAIL;
    *current = ToUnits(ns);
    // Pausing a playing pipeline shows the next frame that reaches the sink (its preroll). On a
    // loaded machine that frame may lie past the clock's stop (the decoder ran ahead) or short of
    // it (the decoder lagged): either way the position is the frame on show.
    int32_t shown = -1;
    if (inFrames_ && pausedFromRun_ &&
        pipeline_->ReadFrame([&](const media::VideoFrame& f) { shown = f.number; }) && shown >= 0)
      *current = shown;
    return com::S_OK;
  }

  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                       DWORD stopFlags) override {
    bool seek, newStop;
    HRESULT hr = CheckSeek(current, currentFlags, stop, stopFlags, &seek, &newStop);
    if (com::FAILED(hr) || !seek) return hr;
    if (!pipeline_) return VFW_E_WRONG_STATE;
    int64_t start = std::max<LONGLONG>(*current, 0);
    int64_t startNs = inFrames_ ? SeekTimeOfFrame(start, format_.fpsN, format_.fpsD) : start * 100;
    if (newStop) {
      int64_t stopUnits = std::max<LONGLONG>(*stop, 0);
      int64_t ns = inFrames_ ? StartTimeOfFrame(stopUnits, format_.fpsN, format_.fpsD)
                             : stopUnits * 100;
      int64_t duration;
      stopNs_ = pipeline_->Duration(&duration) && ns >= duration ? -1 : ns;
    }
    pausedFromRun_ = false;
    Status s = pipeline_->Seek(startNs, stopNs_, kChangeTimeoutMs);
    return s == Status::kOk || s == Status::kPending ? com::S_OK : FromStatus(s);
  }

  // --- IMediaEventEx ---------------------------------------------------------------------------
  HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override {
    std::lock_guard lock(eventLock_);
    notifyWindow_ = reinterpret_cast<win::HWND>(window);
    notifyMessage_ = static_cast<win::UINT>(message);
    notifyData_ = instanceData;
    return com::S_OK;
  }

  HRESULT SetNotifyFlags(LONG noNotifyFlags) override {
    if (noNotifyFlags != 0 && noNotifyFlags != AM_MEDIAEVENT_NONOTIFY) return com::E_INVALIDARG;
    std::lock_guard lock(eventLock_);
    noNotify_ = noNotifyFlags != 0;
    if (noNotify_) events_.clear();
    return com::S_OK;
  }

  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) override {
    if (!code || !param1 || !param2) return com::E_POINTER;
    std::unique_lock lock(eventLock_);
    if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(WaitLimit(msTimeout)),
                                [&] { return !events_.empty(); }))
      return E_ABORT;
    QueuedEvent e = events_.front();
    events_.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return com::S_OK;
  }

  HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return com::S_OK; }

  // --- IVideoWindow ----------------------------------------------------------------------------
  HRESULT put_Owner(OAHWND owner) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    auto hwnd = reinterpret_cast<win::HWND>(owner);
    if (hwnd && !win::IsWindow(hwnd)) return com::E_INVALIDARG;
    return window_.SetOwner(hwnd) ? com::S_OK : com::E_FAIL;
  }
  HRESULT put_WindowStyle(LONG style) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    window_.SetStyle(style);
    return com::S_OK;
  }
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    if (width < 0 || height < 0) return com::E_INVALIDARG;
    window_.SetPosition(left, top, width, height);
    return com::S_OK;
  }
  HRESULT put_MessageDrain(OAHWND drain) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    window_.SetDrain(reinterpret_cast<win::HWND>(drain));
    return com::S_OK;
  }
  HRESULT put_AutoShow(LONG autoShow) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    window_.SetAutoShow(autoShow != OAFALSE);
    return com::S_OK;
  }
  HRESULT put_Visible(LONG visible) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    window_.SetVisible(visible != OAFALSE);
    return com::S_OK;
  }
  HRESULT put_Width(LONG width) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    if (width < 0) return com::E_INVALIDARG;
    window_.SetWidth(width);
    return com::S_OK;
  }
  HRESULT put_Height(LONG height) override {
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    if (height < 0) return com::E_INVALIDARG;
    window_.SetHeight(height);
    return com::S_OK;
  }

  // --- IBasicVideo -----------------------------------------------------------------------------
  HRESULT GetVideoSize(LONG* width, LONG* height) override {
    if (!width || !height) return com::E_POINTER;
    if (!pipeline_) return VFW_E_NOT_CONNECTED;
    *width = videoWidth_;
    *height = videoHeight_;
    return com::S_OK;
  }

 private:
  ~FilterGraph() {
    // First the streaming threads (joined here), then what they used.
    pipeline_.reset();
    window_.SetOwner(nullptr);
    for (media::IVideoFrameFilter* f : frameFilters_) {
      f->AttachHost(nullptr);
      f->Release();
    }
    for (IBaseFilter* f : filters_) f->Release();
    --g_live;
  }

  HRESULT ChangeState(OAFilterState target) {
    if (!pipeline_) return VFW_E_WRONG_STATE;
    Status s = target == State_Running ? pipeline_->Play(kChangeTimeoutMs)
                                       : pipeline_->Pause(kChangeTimeoutMs);
    if (s != Status::kOk && s != Status::kPending) return FromStatus(s);
    pausedFromRun_ = target == State_Running ? false : pausedFromRun_ || state_ == State_Running;
    state_ = target;
    window_.GraphStateChanged();
    return FromStatus(s);
  }

  int64_t ToUnits(int64_t ns) const {
    return inFrames_ ? FrameAtTime(ns, format_.fpsN, format_.fpsD) : ns / 100;
  }

  // Streaming threads: record and post, nothing else.
  void QueueEvent(LONG code, LONG_PTR param1) {
    win::HWND window;
    win::UINT message;
    LONG_PTR data;
    {
      std::lock_guard lock(eventLock_);
      if (noNotify_) return;
      events_.push_back(QueuedEvent{code, param1, 0});
      window = notifyWindow_;
      message = notifyMessage_;
      data = notifyData_;
    }
    eventArrived_.notify_all();
    if (window) win::PostMessageA(window, message, 0, data);
  }

  // --- PipelineClient --------------------------------------------------------------------------
  void OnEndOfStream() override { QueueEvent(EC_COMPLETE, com::S_OK); }
  void OnError() override { QueueEvent(EC_ERRORABORT, com::E_FAIL); }
  void OnFrameStored() override { window_.FrameArrived(); }
  void TransformFrame(const media::VideoFrame& frame) override {
    std::lock_guard lock(filterLock_);
    for (media::IVideoFrameFilter* f : frameFilters_) f->TransformFrame(frame);
  }

  // --- IVideoFrameHost -------------------------------------------------------------------------
  void RedrawFrame() override {
    if (pipeline_ && pipeline_->Redraw()) window_.Repaint();
  }

  // Desktop's thread only. pipeline_ is set by RenderFile before any streaming thread exists
  // and reset before the graph goes; the streaming threads reach the graph through
  // PipelineClient only.
  std::unique_ptr<Pipeline> pipeline_;
  VideoFormat format_;
  LONG videoWidth_ = 0;
  LONG videoHeight_ = 0;
  OAFilterState state_ = State_Stopped;
  bool pausedFromRun_ = false;  // paused after running, with no seek since
  int64_t stopNs_ = -1;    // -1: the end

  // Written by AddFilter and the destructor (desktop's thread), read by TransformFrame
  // (streaming thread and desktop's thread).
  std::mutex filterLock_;
  std::vector<IBaseFilter*> filters_;                   // one reference each
  std::vector<media::IVideoFrameFilter*> frameFilters_;  // one reference each

  // The event queue and where it notifies: written by the IMediaEventEx calls (desktop's
  // thread) and QueueEvent (streaming threads).
  std::mutex eventLock_;
  std::condition_variable eventArrived_;
  std::deque<QueuedEvent> events_;
  win::HWND notifyWindow_ = nullptr;
  win::UINT notifyMessage_ = 0;
  LONG_PTR notifyData_ = 0;
  bool noNotify_ = false;

  // Its own threading: see video_window.h. Declared last so it goes before the fields its
  // frame reader uses.
  VideoWindow window_;
};

}  // namespace

void Register() {
  com::RegisterClassObject(CLSID_FilterGraph, [] { return CreateFilterGraph(); });
}

com::IUnknown* CreateFilterGraph() { return (new FilterGraph())->Unknown(); }

int LiveGraphs() { return g_live.load(); }

}  // namespace gstgraph
