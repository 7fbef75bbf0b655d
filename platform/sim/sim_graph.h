// SimGraph: the filter graph for tests, playing a movie described by a small text fixture on the
// SimDesktop's virtual clock; SimMedia registers it and SimOverlay (sim_overlay.h) with COM.
//
// Movie fixture: one "key=value" or flag per line; blank lines and lines starting with '#' are
// skipped. Every key is optional; an empty file is a 300-frame movie.
//   frames=N         frame count, 1 .. 100000000000 (default 300)
//   fps=N            frames per second, 1 .. 1000 (default 30)
//   width=N          video width in pixels, 1 .. 65535 (default 320)
//   height=N         video height in pixels, 1 .. 65535 (default 240)
//   novideo          no video stream: IBasicVideo and IVideoWindow answer E_NOINTERFACE
//   cannot-render    RenderFile fails with VFW_E_CANNOT_RENDER
//   partial          RenderFile succeeds with VFW_S_PARTIAL_RENDER
// Anything else makes RenderFile fail with VFW_E_INVALID_FILE_FORMAT; a missing file fails with
// kFileNotFound. Fixtures added with SimMedia::AddMovie are found before the file system.
//
// Playback: positions run from 0 to the frame count (the end). While running, the position is
// start + elapsed ms * fps / 1000 (integer), up to the stop position; reaching it queues
// EC_COMPLETE once and the graph keeps running there, as DirectShow does. The first Run queues
// EC_CLOCK_CHANGED and every Pause from another state queues EC_PAUSED. Each queued event posts
// the notify message. GetState and GetEvent never wait. Everything runs on the desktop's thread.
//
// Faults: Faults::FailNext("Run") makes the next Run return E_FAIL without doing anything; the
// key is the method name, or "QueryInterface(IMediaControl)" for a query (see each object's Log).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/sim/sim_desktop.h"

namespace sim {

class SimOverlay;

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): RenderFile of a missing file.
inline constexpr com::HRESULT kFileNotFound = static_cast<com::HRESULT>(0x80070002u);

// --- Call log and injected faults -------------------------------------------------------------

struct MediaCall {
  std::string object;  // "graph" or "overlay"
  int serial = 0;      // 1 for the first object of its kind in the context
  std::string text;    // method and arguments: "SetPositions(30, 1, 300, 1)"
  com::HRESULT result = com::S_OK;
};

// The calls of every object sharing the log, in the order they were made.
class CallLog {
 public:
  size_t Add(MediaCall call);
  void SetResult(size_t index, com::HRESULT result);
  const std::vector<MediaCall>& calls() const { return calls_; }
  // "object.text" per call; QueryInterface, AddRef and Release only when refs is set.
  std::vector<std::string> Texts(bool refs = false) const;
  void Clear() { calls_.clear(); }

 private:
  std::vector<MediaCall> calls_;
};

// Results to give instead of doing a call, by call name.
class Faults {
 public:
  // The next call of that name returns hr; queued when given more than once.
  void FailNext(const std::string& call, com::HRESULT hr = com::E_FAIL);
  // Every call of that name returns hr, after the queued ones, until Clear.
  void FailAlways(const std::string& call, com::HRESULT hr = com::E_FAIL);
  void Clear();
  // The injected result for this call, consumed, or nothing.
  std::optional<com::HRESULT> Take(const std::string& call);

 private:
  std::map<std::string, std::deque<com::HRESULT>> next_;
  std::map<std::string, com::HRESULT> always_;
};

// What the objects of one registration share.
struct MediaContext {
  SimDesktop* desktop = nullptr;  // the clock; without one, playback time stands still
  Faults graphFaults;
  Faults overlayFaults;
  CallLog log;
  std::map<std::string, std::string> movies;  // UTF-8 path -> fixture text
  int graphsMade = 0;
  int overlaysMade = 0;

  // A context on the current desktop, if that is a SimDesktop.
  static std::shared_ptr<MediaContext> OnCurrentDesktop();
};

// --- COM object plumbing ----------------------------------------------------------------------

template <class I>
inline constexpr const char* kInterfaceName = nullptr;
template <>
inline constexpr const char* kInterfaceName<com::IUnknown> = "IUnknown";
template <>
inline constexpr const char* kInterfaceName<dshow::IGraphBuilder> = "IGraphBuilder";
template <>
inline constexpr const char* kInterfaceName<dshow::IMediaControl> = "IMediaControl";
template <>
inline constexpr const char* kInterfaceName<dshow::IMediaSeeking> = "IMediaSeeking";
template <>
inline constexpr const char* kInterfaceName<dshow::IMediaEventEx> = "IMediaEventEx";
template <>
inline constexpr const char* kInterfaceName<dshow::IVideoWindow> = "IVideoWindow";
template <>
inline constexpr const char* kInterfaceName<dshow::IBasicVideo> = "IBasicVideo";
template <>
inline constexpr const char* kInterfaceName<dshow::IBaseFilter> = "IBaseFilter";
template <>
inline constexpr const char* kInterfaceName<dshow::IAnchorOverlay> = "IAnchorOverlay";

template <class I, class Outer>
class ComPart;

// Reference counting (per interface, so tests see which pointer was released), call logging and
// fault injection shared by the sim media objects. The object is freed at its final Release
// unless pinned: a pinned object stays for inspection, and calls on it after the final Release
// are recorded as misuses.
class SimComObject {
 public:
  SimComObject(const SimComObject&) = delete;
  SimComObject& operator=(const SimComObject&) = delete;

  com::ULONG RefCount() const { return refs_; }
  // References held through one interface ("IMediaControl"). COM lets a client release through
  // another interface than it added through, so only RefCount is authoritative.
  int InterfaceRefs(std::string_view iface) const;
  const std::vector<std::string>& Misuses() const { return misuses_; }
  int serial() const { return serial_; }
  // This object's calls, as in CallLog::Texts but without the object prefix.
  std::vector<std::string> Log(bool refs = false) const;
  MediaContext& context() { return *ctx_; }
  const MediaContext& context() const { return *ctx_; }
  virtual Faults& faults() = 0;

  void Pin() { pinned_ = true; }
  void Unpin();  // frees the object when it was released already

 protected:
  // serial = ++(ctx->*made).
  SimComObject(const char* kind, std::shared_ptr<MediaContext> ctx, int MediaContext::*made);
  virtual ~SimComObject();

  // The interface pointer answering iid and its name, or null.
  virtual void* Find(const com::IID& iid, const char** name) = 0;
  // Runs at the final Release, before the object is freed or left pinned.
  virtual void Teardown() {}

  // Logs "method(args)" and returns E_UNEXPECTED after the final Release, else the injected
  // result for method, else body().
  template <class Body>
  com::HRESULT Call(const char* method, std::string args, Body&& body) {
    size_t at = Record(std::string(method) + "(" + args + ")");
    com::HRESULT hr;
    if (refs_ == 0) {
      hr = Misuse(at);
    } else if (auto injected = faults().Take(method)) {
      hr = *injected;
    } else {
      hr = body();
    }
    ctx_->log.SetResult(at, hr);
    return hr;
  }

  // Counts objects of each kind still holding references.
  static int Live(const char* kind);

 private:
  template <class I, class Outer>
  friend class ComPart;

  com::HRESULT Query(const com::IID& iid, void** object);
  com::ULONG Ref(const char* iface);
  com::ULONG Unref(const char* iface);
  size_t Record(std::string text);
  com::HRESULT Misuse(size_t at);

  std::string kind_;
  std::shared_ptr<MediaContext> ctx_;
  int serial_;
  com::ULONG refs_ = 1;  // the creator's reference, counted on IUnknown
  std::map<std::string, int, std::less<>> interfaceRefs_;
  std::vector<std::string> misuses_;
  bool pinned_ = false;
};

// One interface of an object: its IUnknown methods go to the object, named by the interface.
template <class I, class Outer>
class ComPart : public I {
  static_assert(kInterfaceName<I> != nullptr, "name the interface in kInterfaceName");

 public:
  com::HRESULT QueryInterface(const com::IID& iid, void** object) final {
    return self()->Query(iid, object);
  }
  com::ULONG AddRef() final { return self()->Ref(kInterfaceName<I>); }
  com::ULONG Release() final { return self()->Unref(kInterfaceName<I>); }

 protected:
  ~ComPart() = default;

 private:
  Outer* self() { return static_cast<Outer*>(this); }
};

// --- The graph --------------------------------------------------------------------------------

struct Movie {
  int64_t frames = 300;
  int32_t fps = 30;
  int32_t width = 320;
  int32_t height = 240;
  bool video = true;
  bool renderable = true;
  bool partial = false;
};

// Reads fixture text (format above). On failure returns nothing and says why in *error.
std::optional<Movie> ParseMovie(std::string_view text, std::string* error = nullptr);

// What IVideoWindow was told, with DirectShow's initial values.
struct VideoWindowState {
  dshow::OAHWND owner = 0;
  dshow::LONG style = 0;
  dshow::LONG left = 0;
  dshow::LONG top = 0;
  dshow::LONG width = 0;  // the video's size once rendered
  dshow::LONG height = 0;
  dshow::OAHWND drain = 0;
  dshow::LONG autoShow = dshow::OATRUE;  // shown when the graph next pauses or runs
  dshow::LONG visible = dshow::OAFALSE;
};

struct MediaEvent {
  dshow::LONG code;
  dshow::LONG_PTR param1;
  dshow::LONG_PTR param2;
};

class SimGraph final : public SimComObject,
                       public ComPart<com::IUnknown, SimGraph>,
                       public ComPart<dshow::IGraphBuilder, SimGraph>,
                       public ComPart<dshow::IMediaControl, SimGraph>,
                       public ComPart<dshow::IMediaSeeking, SimGraph>,
                       public ComPart<dshow::IMediaEventEx, SimGraph>,
                       public ComPart<dshow::IVideoWindow, SimGraph>,
                       public ComPart<dshow::IBasicVideo, SimGraph> {
 public:
  // Created holding one reference. Without a context the graph gets its own, on the current
  // desktop if that is a SimDesktop.
  explicit SimGraph(std::shared_ptr<MediaContext> ctx = nullptr);

  // Graphs holding references, over the whole process.
  static int LiveCount();
  com::IUnknown* Unknown() { return static_cast<ComPart<com::IUnknown, SimGraph>*>(this); }
  Faults& faults() override { return context().graphFaults; }

  // --- Inspection -----------------------------------------------------------------------------
  const std::optional<Movie>& movie() const { return movie_; }
  dshow::OAFilterState state() const { return state_; }
  int64_t Position() const;  // in frames, whatever the time format
  int64_t StopPosition() const { return stop_; }
  // The frame on screen: the position while paused or running, the frame shown when the graph
  // stopped; -1 before the first pause.
  int64_t ShownFrame() const;
  const com::GUID& timeFormat() const { return timeFormat_; }
  const VideoWindowState& videoWindow() const { return window_; }
  dshow::OAHWND notifyWindow() const { return notifyWindow_; }
  dshow::LONG notifyMessage() const { return notifyMessage_; }
  dshow::LONG_PTR notifyData() const { return notifyData_; }
  dshow::LONG notifyFlags() const { return notifyFlags_; }
  const std::deque<MediaEvent>& PendingEvents() const { return events_; }
  int eventsTaken() const { return eventsTaken_; }
  int eventsFreed() const { return eventsFreed_; }
  int notifiesPosted() const { return notifiesPosted_; }
  const std::vector<dshow::IBaseFilter*>& filters() const { return filters_; }

  // Queues an event (and posts the notify message) as the graph's own threads would.
  void QueueEvent(dshow::LONG code, dshow::LONG_PTR param1 = 0, dshow::LONG_PTR param2 = 0);

  // --- IGraphBuilder ---------------------------------------------------------------------------
  com::HRESULT AddFilter(dshow::IBaseFilter* filter, dshow::LPCWSTR name) override;
  com::HRESULT RenderFile(dshow::LPCWSTR file, dshow::LPCWSTR playList) override;
  // --- IMediaControl ---------------------------------------------------------------------------
  com::HRESULT Run() override;
  com::HRESULT Pause() override;
  com::HRESULT StopWhenReady() override;
  com::HRESULT GetState(dshow::LONG msTimeout, dshow::OAFilterState* state) override;
  // --- IMediaSeeking ---------------------------------------------------------------------------
  com::HRESULT SetTimeFormat(const com::GUID* format) override;
  com::HRESULT GetDuration(dshow::LONGLONG* duration) override;
  com::HRESULT GetCurrentPosition(dshow::LONGLONG* current) override;
  com::HRESULT SetPositions(dshow::LONGLONG* current, dshow::DWORD currentFlags,
                            dshow::LONGLONG* stop, dshow::DWORD stopFlags) override;
  // --- IMediaEventEx ---------------------------------------------------------------------------
  com::HRESULT SetNotifyWindow(dshow::OAHWND window, dshow::LONG message,
                               dshow::LONG_PTR instanceData) override;
  com::HRESULT SetNotifyFlags(dshow::LONG noNotifyFlags) override;
  com::HRESULT GetEvent(dshow::LONG* code, dshow::LONG_PTR* param1, dshow::LONG_PTR* param2,
                        dshow::LONG msTimeout) override;
  com::HRESULT FreeEventParams(dshow::LONG code, dshow::LONG_PTR param1,
                               dshow::LONG_PTR param2) override;
  // --- IVideoWindow ----------------------------------------------------------------------------
  com::HRESULT put_Owner(dshow::OAHWND owner) override;
  com::HRESULT put_WindowStyle(dshow::LONG style) override;
  com::HRESULT SetWindowPosition(dshow::LONG left, dshow::LONG top, dshow::LONG width,
                                 dshow::LONG height) override;
  com::HRESULT put_MessageDrain(dshow::OAHWND drain) override;
  com::HRESULT put_AutoShow(dshow::LONG autoShow) override;
  com::HRESULT put_Visible(dshow::LONG visible) override;
  com::HRESULT put_Width(dshow::LONG width) override;
  com::HRESULT put_Height(dshow::LONG height) override;
  // --- IBasicVideo -----------------------------------------------------------------------------
  com::HRESULT GetVideoSize(dshow::LONG* width, dshow::LONG* height) override;

 private:
  ~SimGraph() override;
  void* Find(const com::IID& iid, const char** name) override;
  void Teardown() override;

  win::DWORD Now() const;
  int64_t ToUnits(int64_t frame) const;  // frames -> the current time format
  int64_t FromUnits(int64_t units) const;
  bool HasVideo() const { return movie_ && movie_->video; }
  // Sets a video-window property, or E_NOINTERFACE without video.
  template <class T>
  com::HRESULT SetWindowField(const char* method, T value, T VideoWindowState::*field);
  void Freeze();  // takes the running position as the new start
  void ShowOnStateChange();
  void ScheduleEnd();
  void CancelEnd();
  void ReachEnd();

  std::optional<Movie> movie_;
  dshow::OAFilterState state_ = dshow::State_Stopped;
  int64_t start_ = 0;  // the position when the run started, or the position when not running
  win::DWORD runStartMs_ = 0;
  int64_t stop_ = 0;
  int64_t shownWhenStopped_ = -1;
  bool clockChangedSent_ = false;
  SimDesktop::CallId endCall_ = 0;
  com::GUID timeFormat_ = dshow::TIME_FORMAT_MEDIA_TIME;
  VideoWindowState window_;
  dshow::OAHWND notifyWindow_ = 0;
  dshow::LONG notifyMessage_ = 0;
  dshow::LONG_PTR notifyData_ = 0;
  dshow::LONG notifyFlags_ = 0;
  std::deque<MediaEvent> events_;
  int eventsTaken_ = 0;
  int eventsFreed_ = 0;
  int notifiesPosted_ = 0;
  std::vector<dshow::IBaseFilter*> filters_;  // one reference each
};

// --- Registration -----------------------------------------------------------------------------

// Registers SimGraph under CLSID_FilterGraph and SimOverlay under CLSID_AnchorOverlay for its
// lifetime (one registration at a time). Every object it makes is pinned until the registration
// ends, so tests can inspect it after the code under test released it. graphFaults and
// overlayFaults are shared by all objects of their kind, made or still to be made:
// graphFaults().FailNext("Pause") before the player builds its graph fails that graph's first
// Pause. The key "CoCreateInstance" makes the next creation fail (CoCreateInstance then answers
// E_OUTOFMEMORY, as for a factory that returns nothing).
class SimMedia {
 public:
  explicit SimMedia(SimDesktop& desktop);
  ~SimMedia();
  SimMedia(const SimMedia&) = delete;
  SimMedia& operator=(const SimMedia&) = delete;

  SimGraph* graph() const { return graphs_.empty() ? nullptr : graphs_.back(); }
  SimOverlay* overlay() const { return overlays_.empty() ? nullptr : overlays_.back(); }
  const std::vector<SimGraph*>& graphs() const { return graphs_; }
  const std::vector<SimOverlay*>& overlays() const { return overlays_; }

  Faults& graphFaults() { return ctx_->graphFaults; }
  Faults& overlayFaults() { return ctx_->overlayFaults; }
  CallLog& log() { return ctx_->log; }
  // A movie fixture that RenderFile finds at path without a file.
  void AddMovie(const std::string& path, const std::string& fixture);

 private:
  std::shared_ptr<MediaContext> ctx_;
  std::vector<SimGraph*> graphs_;
  std::vector<SimOverlay*> overlays_;
};

}  // namespace sim
