#include "platform/sim/sim_graph.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>

#include "platform/dshow/graph_base.h"
#include "platform/sim/sim_overlay.h"
#include "platform/win/win.h"

namespace sim {

using com::HRESULT;
using namespace dshow;

namespace {

constexpr int64_t kMaxFrames = 100'000'000'000;  // keeps frame * 10^7 within 64 bits
constexpr int64_t kUnitsPerSecond = 10'000'000;  // media time: 100 ns

std::string GuidText(const com::GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

std::string Quoted(LPCWSTR s) { return s ? "\"" + Utf8(s) + "\"" : "null"; }

template <class P>
std::string ValueOrNull(const P* p) {
  return p ? std::to_string(*p) : "null";
}

template <class... T>
std::string Args(T... values) {
  std::string out;
  ((out += (out.empty() ? "" : ", ") + std::to_string(values)), ...);
  return out;
}

bool IsRef(const std::string& text) {
  return text.starts_with("QueryInterface(") || text.starts_with("AddRef(") ||
         text.starts_with("Release(");
}

std::map<std::string, int>& LiveCounts() {
  static std::map<std::string, int> counts;
  return counts;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

template <class T>
bool ParseNumber(std::string_view text, T low, T high, T* out) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return false;
  *out = value;
  return true;
}

}  // namespace

// --- CallLog, Faults --------------------------------------------------------------------------

size_t CallLog::Add(MediaCall call) {
  calls_.push_back(std::move(call));
  return calls_.size() - 1;
}

void CallLog::SetResult(size_t index, HRESULT result) {
  if (index < calls_.size()) calls_[index].result = result;
}

std::vector<std::string> CallLog::Texts(bool refs) const {
  std::vector<std::string> out;
  for (const auto& c : calls_)
    if (refs || !IsRef(c.text)) out.push_back(c.object + "." + c.text);
  return out;
}

void Faults::FailNext(const std::string& call, HRESULT hr) { next_[call].push_back(hr); }

void Faults::FailAlways(const std::string& call, HRESULT hr) { always_[call] = hr; }

void Faults::Clear() {
  next_.clear();
  always_.clear();
}

std::optional<HRESULT> Faults::Take(const std::string& call) {
  auto it = next_.find(call);
  if (it != next_.end() && !it->second.empty()) {
    HRESULT hr = it->second.front();
    it->second.pop_front();
    return hr;
  }
  auto always = always_.find(call);
  if (always != always_.end()) return always->second;
  return std::nullopt;
}

// --- SimComObject -----------------------------------------------------------------------------

SimComObject::SimComObject(const char* kind, std::shared_ptr<MediaContext> ctx,
                           int MediaContext::*made)
    : kind_(kind), ctx_(std::move(ctx)), serial_(++((*ctx_).*made)) {
  interfaceRefs_["IUnknown"] = 1;
  ++LiveCounts()[kind_];
}

SimComObject::~SimComObject() = default;

int SimComObject::Live(const char* kind) { return LiveCounts()[kind]; }

int SimComObject::InterfaceRefs(std::string_view iface) const {
  auto it = interfaceRefs_.find(iface);
  return it == interfaceRefs_.end() ? 0 : it->second;
}

std::vector<std::string> SimComObject::Log(bool refs) const {
  std::vector<std::string> out;
  for (const auto& c : ctx_->log.calls())
    if (c.object == kind_ && c.serial == serial_ && (refs || !IsRef(c.text))) out.push_back(c.text);
  return out;
}

void SimComObject::Unpin() {
  pinned_ = false;
  if (refs_ == 0) delete this;
}

size_t SimComObject::Record(std::string text) {
  return ctx_->log.Add(MediaCall{kind_, serial_, std::move(text), com::S_OK});
}

HRESULT SimComObject::Misuse(size_t at) {
  misuses_.push_back(ctx_->log.calls()[at].text + " after the final Release");
  return com::E_UNEXPECTED;
}

HRESULT SimComObject::Query(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  const char* name = nullptr;
  void* found = Find(iid, &name);
  std::string text = "QueryInterface(" + (name ? std::string(name) : GuidText(iid)) + ")";
  size_t at = Record(text);
  HRESULT hr = com::S_OK;
  if (refs_ == 0) {
    hr = Misuse(at);
  } else if (auto injected = faults().Take(text)) {
    hr = *injected;
  } else if (!found) {
    hr = com::E_NOINTERFACE;
  } else {
    *object = found;
    ++refs_;
    ++interfaceRefs_[name];
  }
  ctx_->log.SetResult(at, hr);
  return hr;
}

com::ULONG SimComObject::Ref(const char* iface) {
  size_t at = Record(std::string("AddRef(") + iface + ")");
  if (refs_ == 0) {
    Misuse(at);
    return 0;
  }
  ++interfaceRefs_[iface];
  return ++refs_;
}

com::ULONG SimComObject::Unref(const char* iface) {
  size_t at = Record(std::string("Release(") + iface + ")");
  if (refs_ == 0) {
    Misuse(at);
    return 0;
  }
  --interfaceRefs_[iface];
  if (--refs_ > 0) return refs_;
  --LiveCounts()[kind_];
  Teardown();
  if (!pinned_) delete this;
  return 0;
}

// --- Movie fixtures ---------------------------------------------------------------------------

std::optional<Movie> ParseMovie(std::string_view text, std::string* error) {
  Movie m;
  int lineNo = 0;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = eq == std::string_view::npos ? "" : Trim(line.substr(eq + 1));
    bool ok;
    if (eq == std::string_view::npos) {
      ok = true;
      if (key == "novideo")
        m.video = false;
      else if (key == "cannot-render")
        m.renderable = false;
      else if (key == "partial")
        m.partial = true;
      else
        ok = false;
    } else if (key == "frames") {
      ok = ParseNumber<int64_t>(value, 1, kMaxFrames, &m.frames);
    } else if (key == "fps") {
      ok = ParseNumber<int32_t>(value, 1, 1000, &m.fps);
    } else if (key == "width") {
      ok = ParseNumber<int32_t>(value, 1, 65535, &m.width);
    } else if (key == "height") {
      ok = ParseNumber<int32_t>(value, 1, 65535, &m.height);
    } else {
      ok = false;
    }
    if (!ok) {
      if (error) *error = "line " + std::to_string(lineNo) + ": " + std::string(line);
      return std::nullopt;
    }
  }
  return m;
}

// --- SimGraph ---------------------------------------------------------------------------------

std::shared_ptr<MediaContext> MediaContext::OnCurrentDesktop() {
  auto ctx = std::make_shared<MediaContext>();
  ctx->desktop = dynamic_cast<SimDesktop*>(win::Desktop::Current());
  return ctx;
}

SimGraph::SimGraph(std::shared_ptr<MediaContext> ctx)
    : SimComObject("graph", ctx ? std::move(ctx) : MediaContext::OnCurrentDesktop(),
                   &MediaContext::graphsMade) {}

SimGraph::~SimGraph() = default;

int SimGraph::LiveCount() { return Live("graph"); }

void* SimGraph::Find(const com::IID& iid, const char** name) {
  struct Entry {
    const com::IID& iid;
    const char* name;
    void* object;
  };
  const Entry table[] = {
      {com::IID_IUnknown, "IUnknown", Unknown()},
      {IID_IGraphBuilder, "IGraphBuilder", static_cast<IGraphBuilder*>(this)},
      {IID_IMediaControl, "IMediaControl", static_cast<IMediaControl*>(this)},
      {IID_IMediaSeeking, "IMediaSeeking", static_cast<IMediaSeeking*>(this)},
      {IID_IMediaEventEx, "IMediaEventEx", static_cast<IMediaEventEx*>(this)},
      {IID_IVideoWindow, "IVideoWindow", static_cast<IVideoWindow*>(this)},
      {IID_IBasicVideo, "IBasicVideo", static_cast<IBasicVideo*>(this)},
      {IID_IBaseFilter, "IBaseFilter", nullptr},
      {IID_IAnchorOverlay, "IAnchorOverlay", nullptr},
  };
  for (const auto& e : table) {
    if (e.iid == iid) {
      *name = e.name;
      return e.object;
    }
  }
  return nullptr;
}

void SimGraph::Teardown() {
  CancelEnd();
  notifyWindow_ = 0;
  for (IBaseFilter* f : filters_) f->Release();
  filters_.clear();
}

win::DWORD SimGraph::Now() const {
  SimDesktop* d = context().desktop;
  return d ? d->Now() : 0;
}

int64_t SimGraph::ToUnits(int64_t frame) const {
  if (timeFormat_ == TIME_FORMAT_FRAME || !movie_) return frame;
  int64_t fps = movie_->fps;
  return frame / fps * kUnitsPerSecond + frame % fps * kUnitsPerSecond / fps;
}

int64_t SimGraph::FromUnits(int64_t units) const {
  if (timeFormat_ == TIME_FORMAT_FRAME || !movie_) return units;
  units = std::clamp<int64_t>(units, 0, ToUnits(movie_->frames));
  int64_t fps = movie_->fps;
  return units / kUnitsPerSecond * fps + units % kUnitsPerSecond * fps / kUnitsPerSecond;
}

int64_t SimGraph::Position() const {
  if (state_ != State_Running || !movie_) return start_;
  int64_t elapsed = static_cast<int64_t>(Now() - runStartMs_);
  return std::min(start_ + elapsed * movie_->fps / 1000, std::max(start_, stop_));
}

int64_t SimGraph::ShownFrame() const {
  if (!movie_) return -1;
  if (state_ == State_Stopped) return shownWhenStopped_;
  return std::min(Position(), movie_->frames - 1);
}

void SimGraph::Freeze() {
  start_ = Position();
  runStartMs_ = Now();
}

void SimGraph::ShowOnStateChange() {
  if (HasVideo() && window_.autoShow != OAFALSE) window_.visible = OATRUE;
}

void SimGraph::ScheduleEnd() {
  CancelEnd();
  SimDesktop* d = context().desktop;
  if (!d || !movie_ || state_ != State_Running) return;
  int64_t frames = std::max<int64_t>(0, stop_ - start_);
  int64_t ms = (frames * 1000 + movie_->fps - 1) / movie_->fps;
  int64_t at = static_cast<int64_t>(runStartMs_) + ms;
  if (at > std::numeric_limits<win::DWORD>::max()) return;  // beyond the clock: never ends
  endCall_ = d->CallAt(static_cast<win::DWORD>(at), [this] {
    endCall_ = 0;
    ReachEnd();
  });
}

void SimGraph::CancelEnd() {
  if (endCall_ && context().desktop) context().desktop->Cancel(endCall_);
  endCall_ = 0;
}

void SimGraph::ReachEnd() {
  if (state_ != State_Running) return;
  Freeze();
  QueueEvent(EC_COMPLETE, com::S_OK, 0);
}

void SimGraph::QueueEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
  if (notifyFlags_ & AM_MEDIAEVENT_NONOTIFY) return;
  events_.push_back(MediaEvent{code, param1, param2});
  if (notifyWindow_ && win::PostMessageA(reinterpret_cast<win::HWND>(notifyWindow_),
                                         static_cast<win::UINT>(notifyMessage_), 0, notifyData_))
    ++notifiesPosted_;
}

// --- IGraphBuilder ----------------------------------------------------------------------------

HRESULT SimGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  std::string what = "null";
  if (filter) {
    auto* overlay = dynamic_cast<SimOverlay*>(filter);
    what = overlay ? "overlay#" + std::to_string(overlay->serial()) : "filter";
  }
  return Call("AddFilter", what + ", " + Quoted(name), [&] {
    if (!filter) return com::E_POINTER;
    if (std::find(filters_.begin(), filters_.end(), filter) != filters_.end())
      return com::E_INVALIDARG;
    filter->AddRef();
    filters_.push_back(filter);
    return com::S_OK;
  });
}

HRESULT SimGraph::RenderFile(LPCWSTR file, LPCWSTR playList) {
  return Call("RenderFile", Quoted(file) + ", " + Quoted(playList), [&]() -> HRESULT {
    if (!file) return com::E_POINTER;
    if (movie_) return VFW_E_WRONG_STATE;  // a graph renders one file
    std::string path = Utf8(file);
    std::string text;
    auto known = context().movies.find(path);
    if (known != context().movies.end()) {
      text = known->second;
    } else {
      std::ifstream in(path, std::ios::binary);
      if (!in) return kFileNotFound;
      std::ostringstream all;
      all << in.rdbuf();
      text = all.str();
    }
    std::optional<Movie> m = ParseMovie(text);
    if (!m) return VFW_E_INVALID_FILE_FORMAT;
    if (!m->renderable) return VFW_E_CANNOT_RENDER;
    movie_ = m;
    start_ = 0;
    stop_ = m->frames;
    if (m->video) {
      window_.width = m->width;
      window_.height = m->height;
    }
    return m->partial ? VFW_S_PARTIAL_RENDER : com::S_OK;
  });
}

// --- IMediaControl ----------------------------------------------------------------------------

HRESULT SimGraph::Run() {
  return Call("Run", "", [&] {
    if (state_ == State_Running) return com::S_OK;
    if (!clockChangedSent_) {
      clockChangedSent_ = true;
      QueueEvent(EC_CLOCK_CHANGED);
    }
    state_ = State_Running;
    runStartMs_ = Now();
    ShowOnStateChange();
    ScheduleEnd();
    return com::S_OK;
  });
}

HRESULT SimGraph::Pause() {
  return Call("Pause", "", [&] {
    if (state_ == State_Paused) return com::S_OK;
    Freeze();
    CancelEnd();
    state_ = State_Paused;
    ShowOnStateChange();
    QueueEvent(EC_PAUSED, com::S_OK, 0);
    return com::S_OK;
  });
}

HRESULT SimGraph::StopWhenReady() {
  return Call("StopWhenReady", "", [&] {
    // Pauses first, so the frame at the position is the one left on screen.
    Freeze();
    CancelEnd();
    if (movie_) shownWhenStopped_ = std::min(start_, movie_->frames - 1);
    ShowOnStateChange();
    state_ = State_Stopped;
    return com::S_OK;
  });
}

HRESULT SimGraph::GetState(LONG msTimeout, OAFilterState* state) {
  if (state) *state = state_;  // also with an injected VFW_S_STATE_INTERMEDIATE
  return Call("GetState", Args(msTimeout), [&] { return state ? com::S_OK : com::E_POINTER; });
}

// --- IMediaSeeking ----------------------------------------------------------------------------

HRESULT SimGraph::SetTimeFormat(const com::GUID* format) {
  std::string what = !format                             ? "null"
                     : *format == TIME_FORMAT_FRAME      ? "TIME_FORMAT_FRAME"
                     : *format == TIME_FORMAT_MEDIA_TIME ? "TIME_FORMAT_MEDIA_TIME"
                                                         : GuidText(*format);
  return Call("SetTimeFormat", what, [&] {
    if (!format) return com::E_POINTER;
    if (*format != TIME_FORMAT_FRAME && *format != TIME_FORMAT_MEDIA_TIME) return com::E_INVALIDARG;
    timeFormat_ = *format;
    return com::S_OK;
  });
}

HRESULT SimGraph::GetDuration(LONGLONG* duration) {
  return Call("GetDuration", "", [&] {
    if (!duration) return com::E_POINTER;
    if (!movie_) return com::E_NOTIMPL;  // nothing seekable in the graph
    *duration = ToUnits(movie_->frames);
    return com::S_OK;
  });
}

HRESULT SimGraph::GetCurrentPosition(LONGLONG* current) {
  return Call("GetCurrentPosition", "", [&] {
    if (!current) return com::E_POINTER;
    if (!movie_) return com::E_NOTIMPL;
    *current = ToUnits(Position());
    return com::S_OK;
  });
}

HRESULT SimGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                               DWORD stopFlags) {
  std::string args = ValueOrNull(current) + ", " + std::to_string(currentFlags) + ", " +
                     ValueOrNull(stop) + ", " + std::to_string(stopFlags);
  return Call("SetPositions", args, [&] {
    auto valid = [](LONGLONG* p, DWORD flags) {
      DWORD how = flags & AM_SEEKING_PositioningBitsMask;
      return how == AM_SEEKING_NoPositioning || (how == AM_SEEKING_AbsolutePositioning && p);
    };
    if (!valid(current, currentFlags) || !valid(stop, stopFlags)) return com::E_INVALIDARG;
    if (!movie_) return com::E_NOTIMPL;
    auto absolute = [](DWORD flags) {
      return (flags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning;
    };
    if (absolute(stopFlags)) stop_ = std::clamp<int64_t>(FromUnits(*stop), 0, movie_->frames);
    if (absolute(currentFlags)) {
      start_ = std::clamp<int64_t>(FromUnits(*current), 0, movie_->frames);
      runStartMs_ = Now();
    } else {
      Freeze();
    }
    if (state_ == State_Running) ScheduleEnd();
    return com::S_OK;
  });
}

// --- IMediaEventEx ----------------------------------------------------------------------------

HRESULT SimGraph::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) {
  return Call("SetNotifyWindow", Args(window, message, instanceData), [&] {
    notifyWindow_ = window;
    notifyMessage_ = message;
    notifyData_ = instanceData;
    return com::S_OK;
  });
}

HRESULT SimGraph::SetNotifyFlags(LONG noNotifyFlags) {
  return Call("SetNotifyFlags", Args(noNotifyFlags), [&] {
    if (noNotifyFlags != 0 && noNotifyFlags != AM_MEDIAEVENT_NONOTIFY) return com::E_INVALIDARG;
    notifyFlags_ = noNotifyFlags;
    if (noNotifyFlags) events_.clear();
    return com::S_OK;
  });
}

HRESULT SimGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) {
  return Call("GetEvent", Args(msTimeout), [&] {
    if (!code || !param1 || !param2) return com::E_POINTER;
    if (events_.empty()) return E_ABORT;  // never waits, whatever the timeout
    MediaEvent e = events_.front();
    events_.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    ++eventsTaken_;
    return com::S_OK;
  });
}

HRESULT SimGraph::FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) {
  return Call("FreeEventParams", Args(code, param1, param2), [&] {
    ++eventsFreed_;
    return com::S_OK;
  });
}

// --- IVideoWindow -----------------------------------------------------------------------------

template <class T>
HRESULT SimGraph::SetWindowField(const char* method, T value, T VideoWindowState::*field) {
  return Call(method, Args(value), [&] {
    if (!HasVideo()) return com::E_NOINTERFACE;
    window_.*field = value;
    return com::S_OK;
  });
}

HRESULT SimGraph::put_Owner(OAHWND owner) {
  return SetWindowField("put_Owner", owner, &VideoWindowState::owner);
}
HRESULT SimGraph::put_WindowStyle(LONG style) {
  return SetWindowField("put_WindowStyle", style, &VideoWindowState::style);
}
HRESULT SimGraph::put_MessageDrain(OAHWND drain) {
  return SetWindowField("put_MessageDrain", drain, &VideoWindowState::drain);
}
HRESULT SimGraph::put_AutoShow(LONG autoShow) {
  return SetWindowField("put_AutoShow", autoShow, &VideoWindowState::autoShow);
}
HRESULT SimGraph::put_Visible(LONG visible) {
  return SetWindowField("put_Visible", visible, &VideoWindowState::visible);
}
HRESULT SimGraph::put_Width(LONG width) {
  return SetWindowField("put_Width", width, &VideoWindowState::width);
}
HRESULT SimGraph::put_Height(LONG height) {
  return SetWindowField("put_Height", height, &VideoWindowState::height);
}

HRESULT SimGraph::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
  return Call("SetWindowPosition", Args(left, top, width, height), [&] {
    if (!HasVideo()) return com::E_NOINTERFACE;
    window_.left = left;
    window_.top = top;
    window_.width = width;
    window_.height = height;
    return com::S_OK;
  });
}

// --- IBasicVideo ------------------------------------------------------------------------------

HRESULT SimGraph::GetVideoSize(LONG* width, LONG* height) {
  return Call("GetVideoSize", "", [&] {
    if (!width || !height) return com::E_POINTER;
    if (!HasVideo()) return com::E_NOINTERFACE;
    *width = movie_->width;
    *height = movie_->height;
    return com::S_OK;
  });
}

// --- SimMedia ---------------------------------------------------------------------------------

SimMedia::SimMedia(SimDesktop& desktop) : ctx_(std::make_shared<MediaContext>()) {
  ctx_->desktop = &desktop;
  com::RegisterClassObject(CLSID_FilterGraph, [this]() -> com::IUnknown* {
    if (ctx_->graphFaults.Take("CoCreateInstance")) return nullptr;
    auto* g = new SimGraph(ctx_);
    g->Pin();
    graphs_.push_back(g);
    return g->Unknown();
  });
  com::RegisterClassObject(CLSID_AnchorOverlay, [this]() -> com::IUnknown* {
    if (ctx_->overlayFaults.Take("CoCreateInstance")) return nullptr;
    auto* o = new SimOverlay(ctx_);
    o->Pin();
    overlays_.push_back(o);
    return o->Unknown();
  });
}

SimMedia::~SimMedia() {
  com::RevokeClassObject(CLSID_FilterGraph);
  com::RevokeClassObject(CLSID_AnchorOverlay);
  for (SimGraph* g : graphs_) g->Unpin();
  for (SimOverlay* o : overlays_) o->Unpin();
}

void SimMedia::AddMovie(const std::string& path, const std::string& fixture) {
  ctx_->movies[path] = fixture;
}

}  // namespace sim
