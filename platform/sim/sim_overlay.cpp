#include "platform/sim/sim_overlay.h"

#include <utility>

namespace sim {

using com::HRESULT;
using namespace dshow;

SimOverlay::SimOverlay(std::shared_ptr<MediaContext> ctx)
    : SimComObject("overlay", ctx ? std::move(ctx) : MediaContext::OnCurrentDesktop(),
                   &MediaContext::overlaysMade) {}

SimOverlay::~SimOverlay() = default;

int SimOverlay::LiveCount() { return Live("overlay"); }

void* SimOverlay::Find(const com::IID& iid, const char** name) {
  if (iid == com::IID_IUnknown) {
    *name = "IUnknown";
    return Unknown();
  }
  if (iid == IID_IBaseFilter) {
    *name = "IBaseFilter";
    return static_cast<IBaseFilter*>(this);
  }
  if (iid == IID_IAnchorOverlay) {
    *name = "IAnchorOverlay";
    return static_cast<IAnchorOverlay*>(this);
  }
  return nullptr;
}

template <class Body>
HRESULT SimOverlay::Note(const char* method, std::vector<int32_t> args,
                         std::vector<AnchorKeyFrame> keyFrames, Body&& body) {
  std::string text;
  for (int32_t a : args) text += (text.empty() ? "" : ", ") + std::to_string(a);
  size_t at = calls_.size();
  calls_.push_back(OverlayCall{method, std::move(args), std::move(keyFrames), 0});
  HRESULT hr = Call(method, std::move(text), std::forward<Body>(body));
  calls_[at].result = hr;
  return hr;
}

HRESULT SimOverlay::Unused(const char* method) {
  return Note(method, {}, {}, [] { return com::E_NOTIMPL; });
}

OverlayAnchor* SimOverlay::FindAnchor(int32_t id) {
  auto it = anchors_.find(id);
  return it == anchors_.end() ? nullptr : &it->second;
}

HRESULT SimOverlay::Refresh() {
  return Note("Refresh", {}, {}, [&] {
    ++refreshes_;
    return com::S_OK;
  });
}

int32_t SimOverlay::CreateAnchor(int32_t lineWidth, int32_t colour, int32_t shape) {
  return Note("CreateAnchor", {lineWidth, colour, shape}, {}, [&] {
    int32_t id = nextId_++;
    anchors_[id] = OverlayAnchor{lineWidth, colour, shape, true, {}};
    return id;
  });
}

HRESULT SimOverlay::SetKeyFrames(int32_t id, const AnchorKeyFrame* frames, int32_t count) {
  // Copied before anything else: the caller frees the array right after the call.
  std::vector<AnchorKeyFrame> copy;
  if (frames && count > 0) copy.assign(frames, frames + count);
  return Note("SetKeyFrames", {id, count}, copy, [&] {
    if (count < 0) return com::E_INVALIDARG;
    if (!frames && count > 0) return com::E_POINTER;
    OverlayAnchor* a = FindAnchor(id);
    if (!a) return com::E_INVALIDARG;
    a->keyFrames = std::move(copy);
    return com::S_OK;
  });
}

HRESULT SimOverlay::SetAnchorColor(int32_t id, int32_t colour) {
  return Note("SetAnchorColor", {id, colour}, {}, [&] {
    OverlayAnchor* a = FindAnchor(id);
    if (!a) return com::E_INVALIDARG;
    a->colour = colour;
    return com::S_OK;
  });
}

HRESULT SimOverlay::ShowAnchor(int32_t id, int32_t show) {
  return Note("ShowAnchor", {id, show}, {}, [&] {
    OverlayAnchor* a = FindAnchor(id);
    if (!a) return com::E_INVALIDARG;
    a->shown = show != 0;
    return com::S_OK;
  });
}

HRESULT SimOverlay::ShowAllAnchors(int32_t show) {
  return Note("ShowAllAnchors", {show}, {}, [&] {
    allShown_ = show != 0;
    return com::S_OK;
  });
}

HRESULT SimOverlay::RemoveAllAnchors() {
  return Note("RemoveAllAnchors", {}, {}, [&] {
    anchors_.clear();
    return com::S_OK;
  });
}

}  // namespace sim
