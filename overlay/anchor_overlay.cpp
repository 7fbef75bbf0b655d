#include "overlay/anchor_overlay.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "overlay/draw.h"
#include "platform/dshow/dshow.h"
#include "platform/gst/frame_filter.h"

namespace overlay {
namespace {

using com::HRESULT;
using namespace dshow;

std::atomic<int> g_live{0};

class AnchorOverlay final : public IBaseFilter,
                            public IAnchorOverlay,
                            public media::IVideoFrameFilter,
                            public media::IVideoFrameShapes {
 public:
  AnchorOverlay() { ++g_live; }

  com::IUnknown* Unknown() { return static_cast<IBaseFilter*>(this); }

  // --- IUnknown --------------------------------------------------------------------------------
  HRESULT QueryInterface(const com::IID& iid, void** object) override {
    if (!object) return com::E_POINTER;
    void* found = nullptr;
    if (iid == com::IID_IUnknown || iid == IID_IBaseFilter)
      found = static_cast<IBaseFilter*>(this);
    else if (iid == IID_IAnchorOverlay)
      found = static_cast<IAnchorOverlay*>(this);
    else if (iid == media::IID_IVideoFrameFilter)
      found = static_cast<media::IVideoFrameFilter*>(this);
    else if (iid == media::IID_IVideoFrameShapes)
      found = static_cast<media::IVideoFrameShapes*>(this);
    *object = found;
    if (!found) return com::E_NOINTERFACE;
    AddRef();
    return com::S_OK;
  }
  com::ULONG AddRef() override { return ++refs_; }
  com::ULONG Release() override {
    com::ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // --- IAnchorOverlay --------------------------------------------------------------------------
  HRESULT Refresh() override {
    if (host_) host_->RedrawFrame();
    return com::S_OK;
  }

  int32_t CreateAnchor(int32_t lineWidth, int32_t colour, int32_t shape) override {
    std::lock_guard lock(lock_);
    Anchor a;
    a.id = nextId_++;
    a.lineWidth = lineWidth;
    a.colour = colour;
    a.shape = shape;
    anchors_.push_back(std::move(a));
    return anchors_.back().id;
  }

  HRESULT SetKeyFrames(int32_t id, const AnchorKeyFrame* frames, int32_t count) override {
    if (count < 0) return com::E_INVALIDARG;
    if (!frames && count > 0) return com::E_POINTER;
    std::vector<AnchorKeyFrame> copy;
    if (count > 0) copy.assign(frames, frames + count);
    return Change(id, [&](Anchor& a) { a.keyFrames = std::move(copy); });
  }

  HRESULT SetAnchorColor(int32_t id, int32_t colour) override {
    return Change(id, [&](Anchor& a) { a.colour = colour; });
  }

  HRESULT ShowAnchor(int32_t id, int32_t show) override {
    return Change(id, [&](Anchor& a) { a.shown = show != 0; });
  }

  HRESULT ShowAllAnchors(int32_t show) override {
    std::lock_guard lock(lock_);
    allShown_ = show != 0;
    return com::S_OK;
  }

  HRESULT RemoveAllAnchors() override {
    std::lock_guard lock(lock_);
    anchors_.clear();
    return com::S_OK;
  }

  HRESULT Reserved4() override { return com::E_NOTIMPL; }
  HRESULT Reserved5() override { return com::E_NOTIMPL; }
  HRESULT Reserved6() override { return com::E_NOTIMPL; }
  HRESULT Reserved7() override { return com::E_NOTIMPL; }
  HRESULT Reserved8() override { return com::E_NOTIMPL; }
  HRESULT Reserved9() override { return com::E_NOTIMPL; }
  HRESULT Reserved10() override { return com::E_NOTIMPL; }
  HRESULT Reserved12() override { return com::E_NOTIMPL; }
  HRESULT Reserved14() override { return com::E_NOTIMPL; }

  // --- media::IVideoFrameFilter ----------------------------------------------------------------
  void AttachHost(media::IVideoFrameHost* host) override { host_ = host; }

  void TransformFrame(const media::VideoFrame& frame) override {
    std::lock_guard lock(lock_);
    if (allShown_) DrawAnchors(frame, anchors_.data(), anchors_.size());
  }

  // --- media::IVideoFrameShapes -----------------------------------------------------------------
  // Each anchor drawn at the frame is one shape; its look is its outline's shape, width and
  // colour.
  int32_t FrameShapes(const media::VideoFrame& frame, media::FrameShape* shapes,
                      int32_t max) override {
    std::lock_guard lock(lock_);
    int32_t n = 0;
    ForEachDrawn(frame, [&](const Anchor& a, const anchors::Rect& r) {
      if (shapes && n < max) {
        shapes[n] = media::FrameShape{r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1,
                                      Look(a)};
      }
      ++n;
    });
    return n;
  }

  void DrawShape(const media::VideoFrame& frame, int32_t index,
                 const media::VideoFrame& sprite) override {
    std::lock_guard lock(lock_);
    int32_t n = 0;
    ForEachDrawn(frame, [&](const Anchor& a, const anchors::Rect& r) {
      if (n++ == index) DrawAnchor(a, r, sprite, r.left, r.top);
    });
  }

 private:
  ~AnchorOverlay() { --g_live; }

  // Calls fn(anchor, rectangle) for each anchor DrawAnchors draws into frame, in its order. The
  // caller holds lock_.
  template <class F>
  void ForEachDrawn(const media::VideoFrame& frame, F&& fn) const {
    if (!allShown_) return;
    for (const Anchor& a : anchors_) {
      anchors::Rect r;
      if (!a.shown || a.lineWidth <= 0 || !AnchorRectInFrame(a, frame, &r)) continue;
      if (r.right < r.left || r.bottom < r.top || r.right < 0 || r.bottom < 0 ||
          r.left >= frame.width || r.top >= frame.height)
        continue;  // nothing of it in the frame
      fn(a, r);
    }
  }

  // What an anchor's outline looks like: its shape, colour and width.
  static uint64_t Look(const Anchor& a) {
    uint64_t ellipse = a.shape == dshow::SHAPE_ELLIPSE ? 1 : 0;
    return ellipse << 56 | static_cast<uint64_t>(static_cast<uint32_t>(a.colour) & 0xFFFFFFu) << 32 |
           static_cast<uint32_t>(a.lineWidth);
  }

  // Ids grow with each anchor created and anchors_ keeps creation order: a binary search finds
  // one, so a project of many anchors is set up in n log n.
  template <class F>
  HRESULT Change(int32_t id, F&& change) {
    std::lock_guard lock(lock_);
    auto it = std::lower_bound(anchors_.begin(), anchors_.end(), id,
                               [](const Anchor& a, int32_t wanted) { return a.id < wanted; });
    if (it == anchors_.end() || it->id != id) return com::E_INVALIDARG;
    change(*it);
    return com::S_OK;
  }

  std::atomic<com::ULONG> refs_{1};
  // Desktop's thread only: set by the graph, used by Refresh.
  media::IVideoFrameHost* host_ = nullptr;
  // Written by the IAnchorOverlay calls (desktop's thread), read by TransformFrame (streaming
  // thread, or the desktop's thread during a redraw).
  std::mutex lock_;
  std::vector<Anchor> anchors_;  // in creation order
  int32_t nextId_ = 1;
  bool allShown_ = true;
};

}  // namespace

void Register() {
  com::RegisterClassObject(CLSID_AnchorOverlay, [] { return CreateAnchorOverlay(); });
}

com::IUnknown* CreateAnchorOverlay() { return (new AnchorOverlay())->Unknown(); }

int LiveOverlays() { return g_live.load(); }

}  // namespace overlay
