#include "platform/webgraph/web_graph.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/dshow/graph_base.h"
#include "platform/gst/frame_filter.h"
#include "platform/webgraph/media_element.h"
#include "platform/webgraph/movie_header.h"
#include "platform/win/win.h"

namespace webgraph {
namespace {

using com::HRESULT;
using namespace dshow;

inline constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);

// The frame time assumed until the movie tells or shows its own.
constexpr double kGuessedFrameSeconds = 1.0 / 25;

int g_live = 0;

struct QueuedEvent {
  LONG code;
  LONG_PTR param1;
};

class FilterGraph final : public GraphBase,
                          private media::IVideoFrameHost,
                          private MediaListener {
 public:
  FilterGraph() { ++g_live; }

  // --- IGraphBuilder ---------------------------------------------------------------------------
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR) override {
    if (!filter) return com::E_POINTER;
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
    void* shapes = nullptr;
    if (filter->QueryInterface(media::IID_IVideoFrameShapes, &shapes) == com::S_OK) {
      ShapeFilter& added = shapeFilters_.emplace_back();
      added.shapes = static_cast<media::IVideoFrameShapes*>(shapes);
      added.drawer = static_cast<media::IVideoFrameFilter*>(frameFilter);
    }
    return com::S_OK;
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
    if (!file) return com::E_POINTER;
    if (element_) return VFW_E_WRONG_STATE;  // one file per graph
    std::string path = PathBytes(file);
    HRESULT status = com::E_FAIL;
    std::unique_ptr<MediaElement> element = OpenMediaElement(path.c_str(), this, &status);
    if (!element) return com::FAILED(status) ? status : com::E_FAIL;
    info_ = element->Info();
    if (info_.width <= 0 || info_.height <= 0) return VFW_E_CANNOT_RENDER;
    MovieTiming timing;
    if (ReadMovieTimingFromFile(path.c_str(), &timing)) {
      frameSeconds_ = static_cast<double>(timing.frameDen) / static_cast<double>(timing.frameNum);
      headerFrames_ = timing.frames;
      rateKnown_ = true;
    }
    element_ = std::move(element);
    state_ = State_Stopped;
    PlaceElement();
    return com::S_OK;
  }

  // --- IMediaControl ---------------------------------------------------------------------------
  HRESULT Run() override { return ChangeState(State_Running); }
  HRESULT Pause() override { return ChangeState(State_Paused); }
  // Pauses, so the frame at the position stays on show; the graph is then reported stopped.
  HRESULT StopWhenReady() override { return ChangeState(State_Stopped); }

  HRESULT GetState(LONG, OAFilterState* state) override {
    if (!state) return com::E_POINTER;
    *state = state_;
    return com::S_OK;
  }

  // --- IMediaSeeking ---------------------------------------------------------------------------
  HRESULT GetDuration(LONGLONG* duration) override {
    if (!duration) return com::E_POINTER;
    if (!element_) return VFW_E_WRONG_STATE;
    *duration = inFrames_ ? DurationFrames() : static_cast<LONGLONG>(info_.duration * 1e7);
    return com::S_OK;
  }

  HRESULT GetCurrentPosition(LONGLONG* current) override {
    if (!current) return com::E_POINTER;
    if (!element_) return VFW_E_WRONG_STATE;
    int64_t frame = seekPending_ ? seekFrame_ : shownFrame_;
    *current = inFrames_ ? frame : static_cast<LONGLONG>(frame * frameSeconds_ * 1e7);
    return com::S_OK;
  }

  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                       DWORD stopFlags) override {
    bool seek, newStop;
    HRESULT hr = CheckSeek(current, currentFlags, stop, stopFlags, &seek, &newStop);
    if (com::FAILED(hr) || !seek) return hr;
    if (!element_) return VFW_E_WRONG_STATE;
    if (newStop) {
      int64_t stopFrame = ToFrames(std::max<LONGLONG>(*stop, 0));
      stopFrame_ = stopFrame >= DurationFrames() ? -1 : stopFrame;
    }
    SeekToFrame(ToFrames(std::max<LONGLONG>(*current, 0)));
    return com::S_OK;
  }

  // --- IMediaEventEx ---------------------------------------------------------------------------
  HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override {
    notifyWindow_ = reinterpret_cast<win::HWND>(window);
    notifyMessage_ = static_cast<win::UINT>(message);
    notifyData_ = instanceData;
    return com::S_OK;
  }

  HRESULT SetNotifyFlags(LONG noNotifyFlags) override {
    if (noNotifyFlags != 0 && noNotifyFlags != AM_MEDIAEVENT_NONOTIFY) return com::E_INVALIDARG;
    noNotify_ = noNotifyFlags != 0;
    if (noNotify_) events_.clear();
    return com::S_OK;
  }

  // Never waits: the notices that queue events arrive from the browser's loop, which this call
  // would block.
  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG) override {
    if (!code || !param1 || !param2) return com::E_POINTER;
    if (events_.empty()) return E_ABORT;
    QueuedEvent e = events_.front();
    events_.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = 0;
    return com::S_OK;
  }

  HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return com::S_OK; }

  // --- IVideoWindow ----------------------------------------------------------------------------
  HRESULT put_Owner(OAHWND owner) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    auto hwnd = reinterpret_cast<win::HWND>(owner);
    if (hwnd && !win::IsWindow(hwnd)) return com::E_INVALIDARG;
    owner_ = hwnd;
    PlaceElement();
    return com::S_OK;
  }
  HRESULT put_WindowStyle(LONG) override {
    return element_ ? com::S_OK : VFW_E_NOT_CONNECTED;
  }
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    if (width < 0 || height < 0) return com::E_INVALIDARG;
    rect_ = win::RECT{left, top, left + width, top + height};
    PlaceElement();
    return com::S_OK;
  }
  HRESULT put_MessageDrain(OAHWND) override {
    // The page's pointer events reach the owner's area directly.
    return element_ ? com::S_OK : VFW_E_NOT_CONNECTED;
  }
  HRESULT put_AutoShow(LONG autoShow) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    autoShow_ = autoShow != OAFALSE;
    return com::S_OK;
  }
  HRESULT put_Visible(LONG visible) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    visible_ = visible != OAFALSE;
    PlaceElement();
    return com::S_OK;
  }
  HRESULT put_Width(LONG width) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    if (width < 0) return com::E_INVALIDARG;
    rect_.right = rect_.left + width;
    PlaceElement();
    return com::S_OK;
  }
  HRESULT put_Height(LONG height) override {
    if (!element_) return VFW_E_NOT_CONNECTED;
    if (height < 0) return com::E_INVALIDARG;
    rect_.bottom = rect_.top + height;
    PlaceElement();
    return com::S_OK;
  }

  // --- IBasicVideo -----------------------------------------------------------------------------
  HRESULT GetVideoSize(LONG* width, LONG* height) override {
    if (!width || !height) return com::E_POINTER;
    if (!element_) return VFW_E_NOT_CONNECTED;
    *width = info_.width;
    *height = info_.height;
    return com::S_OK;
  }

 private:
  ~FilterGraph() {
    element_.reset();
    for (media::IVideoFrameFilter* f : frameFilters_) {
      f->AttachHost(nullptr);
      f->Release();
    }
    for (const ShapeFilter& f : shapeFilters_) f.shapes->Release();
    for (IBaseFilter* f : filters_) f->Release();
    --g_live;
  }

  HRESULT ChangeState(OAFilterState target) {
    if (!element_) return VFW_E_WRONG_STATE;
    if (target != state_) lastMediaTime_ = -1;
    state_ = target;
    Drive();
    if (autoShow_ && !visible_) {
      visible_ = true;
      PlaceElement();
    }
    return com::S_OK;
  }

  // Frames from the units of the time format in force.
  int64_t ToFrames(int64_t units) const {
    return inFrames_ ? units : static_cast<int64_t>(std::floor(units / 1e7 / frameSeconds_ + 0.5));
  }
  int64_t DurationFrames() const {
    if (headerFrames_ >= 0) return headerFrames_;
    return static_cast<int64_t>(std::floor(info_.duration / frameSeconds_ + 0.5));
  }
  // The frame whose start is nearest to seconds.
  int64_t FrameAt(double seconds) const {
    return static_cast<int64_t>(std::floor(seconds / frameSeconds_ + 0.5));
  }

  // The element plays only while the graph runs and no seek is on its way: a seek is made with
  // the element paused, so that a pause asked before it lands shows exactly its frame (a playing
  // element may play on past it first), and a running graph plays on once it has landed (also
  // after the end of the movie).
  void Drive() {
    if (state_ == State_Running && !atStop_ && !seekPending_)
      element_->Play();
    else
      element_->Pause();
  }

  void SeekToFrame(int64_t frame) {
    lastMediaTime_ = -1;
    atStop_ = false;
    // A seek already on its way to the frame lands there: the element is not asked again (as
    // when a pause settles on the frame a seek just before it aimed at).
    if (seekPending_ && frame == seekFrame_) return;
    seekPending_ = true;
    seekFrame_ = frame;
    if (state_ == State_Running) element_->Pause();
    element_->Seek((static_cast<double>(frame) + 0.5) * frameSeconds_, ++seekSerial_);
  }

  void SeekLanded() {
    seekPending_ = false;
    if (state_ == State_Running) Drive();
  }

  void QueueEvent(LONG code, LONG_PTR param1) {
    if (noNotify_) return;
    events_.push_back(QueuedEvent{code, param1});
    if (notifyWindow_) win::PostMessageA(notifyWindow_, notifyMessage_, 0, notifyData_);
  }

  void PlaceElement() {
    if (!element_) return;
    bool shown = owner_ && visible_;
    element_->Place(rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
                    shown);
  }

  // --- MediaListener ---------------------------------------------------------------------------
  void FramePresented(double mediaTime, uint32_t completedSeek) override {
    if (seekPending_ && completedSeek < seekSerial_) return;  // a frame from before the seek
    if (seekPending_) SeekLanded();
    // Between seeks the movie only goes forwards: an earlier frame reported late is stale.
    if (completedSeek == shownSeek_ && FrameAt(mediaTime) < shownFrame_) return;
    shownSeek_ = completedSeek;
    MeasureFrameTime(mediaTime);
    Show(FrameAt(mediaTime));
    if (stopFrame_ >= 0 && shownFrame_ >= stopFrame_ && state_ == State_Running && !atStop_) {
      atStop_ = true;
      element_->Pause();
      QueueEvent(EC_COMPLETE, com::S_OK);
    }
  }
  // Without a rate from the header, the frame time is the smallest step between frames
  // presented one after the other while playing.
  void MeasureFrameTime(double mediaTime) {
    double previous = lastMediaTime_;
    lastMediaTime_ = state_ == State_Running ? mediaTime : -1;
    if (rateKnown_ || previous < 0) return;
    double step = mediaTime - previous;
    if (step >= 0.001 && (!measured_ || step < frameSeconds_)) {
      frameSeconds_ = step;
      measured_ = true;
    }
  }
  void SeekCompleted(uint32_t serial, double currentTime) override {
    if (serial != seekSerial_) return;
    shownSeek_ = serial;
    Show(static_cast<int64_t>(std::floor(currentTime / frameSeconds_)));
    if (seekPending_) SeekLanded();
  }
  void Ended() override { QueueEvent(EC_COMPLETE, com::S_OK); }
  void Failed() override { QueueEvent(EC_ERRORABORT, com::E_FAIL); }

  // --- The shapes over the picture ------------------------------------------------------------
  // The filters' drawing is shown as sprites above the picture: each shape is drawn into its own
  // small picture when its look or size changes, and otherwise only moved. Beyond kMostSprites
  // shapes, a sprite apiece would cost the page an element each: one picture of the frame's size
  // then carries them all, drawn again when any shape moves or changes.
  static constexpr int32_t kMostSprites = 256;

  void Show(int64_t frame) {
    shownFrame_ = frame;
    if (frame != layerFrame_) DrawLayer();
  }

  // IVideoFrameHost: the filters' settings changed.
  void RedrawFrame() override {
    if (element_ && layerFrame_ != kNoFrame) DrawLayer();
  }

  void DrawLayer() {
    layerFrame_ = shownFrame_;
    media::VideoFrame frame;
    frame.width = info_.width;
    frame.height = info_.height;
    frame.number = static_cast<int32_t>(shownFrame_);
    frame.videoWidth = info_.width;
    frame.videoHeight = info_.height;
    positions_.clear();
    // Each filter's shapes are gathered once a frame: sprites for them, or past kMostSprites in
    // all one picture of the whole frame.
    int64_t total = 0;
    for (ShapeFilter& f : shapeFilters_) total += f.Gather(frame);
    if (total > kMostSprites) return DrawWholeLayer(frame);
    int32_t index = 0;
    for (const ShapeFilter& f : shapeFilters_) {
      for (int32_t i = 0; i < f.count; ++i, ++index) {
        const media::FrameShape& shape = f.room[static_cast<size_t>(i)];
        DrawSprite(f.shapes, frame, i, index, shape);
        positions_.push_back(shape.left);
        positions_.push_back(shape.top);
      }
    }
    const auto count = static_cast<int32_t>(positions_.size() / 2);
    if (count == 0 && placedSprites_ == 0) return;  // none before, none now
    placedSprites_ = count;
    element_->PlaceSprites(positions_.data(), count);
  }

  // Sprite 0 is a picture of the frame's size with every filter's drawing, placed at its corner.
  void DrawWholeLayer(const media::VideoFrame& frame) {
    // Its look: every shape's place, size and look (FNV-1a).
    uint64_t look = 0xCBF29CE484222325ull;
    auto mix = [&look](uint64_t v) {
      for (int b = 0; b < 64; b += 8) look = (look ^ ((v >> b) & 0xFF)) * 0x100000001B3ull;
    };
    for (const ShapeFilter& f : shapeFilters_) {
      for (int32_t i = 0; i < f.count; ++i) {
        const media::FrameShape& s = f.room[static_cast<size_t>(i)];
        mix(static_cast<uint32_t>(s.left) | static_cast<uint64_t>(static_cast<uint32_t>(s.top)) << 32);
        mix(static_cast<uint32_t>(s.width) | static_cast<uint64_t>(static_cast<uint32_t>(s.height)) << 32);
        mix(s.look);
      }
    }
    const media::FrameShape whole{0, 0, frame.width, frame.height, look};
    if (sprites_.empty()) sprites_.resize(1);
    media::FrameShape& kept = sprites_[0];
    if (kept.look != whole.look || kept.width != whole.width || kept.height != whole.height) {
      kept = whole;
      const size_t bytes = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4;
      sprite_.assign(bytes, 0);
      media::VideoFrame picture = frame;
      picture.pixels = sprite_.data();
      picture.stride = frame.width * 4;
      for (const ShapeFilter& f : shapeFilters_)
        if (f.drawer) f.drawer->TransformFrame(picture);
      ShowSprite(0, frame.width, frame.height);
    }
    positions_.assign({0, 0});
    placedSprites_ = 1;
    element_->PlaceSprites(positions_.data(), 1);
  }

  // Sprite index shows shape i of filter f: drawn afresh unless it already looks so.
  void DrawSprite(media::IVideoFrameShapes* f, const media::VideoFrame& frame, int32_t i,
                  int32_t index, const media::FrameShape& shape) {
    if (static_cast<size_t>(index) >= sprites_.size()) sprites_.resize(static_cast<size_t>(index) + 1);
    media::FrameShape& kept = sprites_[static_cast<size_t>(index)];
    if (kept.look == shape.look && kept.width == shape.width && kept.height == shape.height &&
        kept.width > 0)
      return;
    kept = shape;
    const size_t bytes = static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height) * 4;
    sprite_.assign(bytes, 0);
    media::VideoFrame sprite;
    sprite.pixels = sprite_.data();
    sprite.width = shape.width;
    sprite.height = shape.height;
    sprite.stride = shape.width * 4;
    sprite.number = frame.number;
    f->DrawShape(frame, i, sprite);
    ShowSprite(index, shape.width, shape.height);
  }

  // Hands sprite_ to the page as sprite index. The filters write B, G, R, x with x set where
  // they drew; the page's canvas takes R, G, B, alpha.
  void ShowSprite(int32_t index, int32_t width, int32_t height) {
    for (size_t p = 0; p < sprite_.size(); p += 4)
      if (sprite_[p + 3]) std::swap(sprite_[p], sprite_[p + 2]);
    element_->SetSprite(index, sprite_.data(), width, height);
  }

  static constexpr int64_t kNoFrame = INT64_MIN;

  std::unique_ptr<MediaElement> element_;
  MediaInfo info_;
  OAFilterState state_ = State_Stopped;

  // The time line.
  double frameSeconds_ = kGuessedFrameSeconds;
  bool rateKnown_ = false;  // from the header
  bool measured_ = false;   // from presented frames
  int64_t headerFrames_ = -1;
  double lastMediaTime_ = -1;
  int64_t shownFrame_ = 0;
  uint32_t shownSeek_ = 0;  // the seek the frame on show came after
  bool seekPending_ = false;
  int64_t seekFrame_ = 0;
  uint32_t seekSerial_ = 0;
  int64_t stopFrame_ = -1;  // -1: the end
  bool atStop_ = false;     // paused at an early stop position

  std::vector<IBaseFilter*> filters_;                    // one reference each
  std::vector<media::IVideoFrameFilter*> frameFilters_;  // one reference each
  // A filter that tells its shapes: one reference to its shapes; its drawing, held in
  // frameFilters_ (or none); and its shapes of the frame last asked for.
  struct ShapeFilter {
    media::IVideoFrameShapes* shapes = nullptr;
    media::IVideoFrameFilter* drawer = nullptr;
    std::vector<media::FrameShape> room = std::vector<media::FrameShape>(32);
    int32_t count = 0;

    // The shapes in frame, into room; how many. The room is kept from frame to frame, so a
    // frame with no more shapes than before is asked for once.
    int32_t Gather(const media::VideoFrame& frame) {
      int32_t n = shapes->FrameShapes(frame, room.data(), static_cast<int32_t>(room.size()));
      if (n > static_cast<int32_t>(room.size())) {
        room.resize(static_cast<size_t>(n));
        n = shapes->FrameShapes(frame, room.data(), n);
      }
      count = std::clamp<int32_t>(n, 0, static_cast<int32_t>(room.size()));
      return count;
    }
  };
  std::vector<ShapeFilter> shapeFilters_;
  int64_t layerFrame_ = kNoFrame;  // the frame the shapes were placed for
  std::vector<media::FrameShape> sprites_;  // what each sprite shows
  std::vector<uint8_t> sprite_;             // pixels of the sprite being drawn
  std::vector<int32_t> positions_;
  int32_t placedSprites_ = 0;

  std::deque<QueuedEvent> events_;
  win::HWND notifyWindow_ = nullptr;
  win::UINT notifyMessage_ = 0;
  LONG_PTR notifyData_ = 0;
  bool noNotify_ = false;

  win::HWND owner_ = nullptr;
  win::RECT rect_{0, 0, 0, 0};
  bool autoShow_ = true;
  bool visible_ = false;
};

}  // namespace

void Register() {
  com::RegisterClassObject(CLSID_FilterGraph, [] { return CreateFilterGraph(); });
}

com::IUnknown* CreateFilterGraph() { return (new FilterGraph())->Unknown(); }

int LiveGraphs() { return g_live; }

}  // namespace webgraph
