// Anchors, markers and events of CKLMoviePlay during playback: the hot spots handed to the
// overlay, the selected anchor, hit testing (through the shared anchor geometry), the marks
// fired on each position tick, and seeking by anchor or marker name.
#include <memory>
#include <new>

#include "platform/dshow/dshow.h"
#include "player/movie_play.h"
#include "script/events.h"
#include "window/plugin_window.h"

namespace {

// Drawing of a hot spot without an effect of its name.
constexpr int32_t kDefaultLineWidth = 3;
constexpr int32_t kDefaultFrameColor = 0x0000FF;
constexpr int32_t kDefaultHighlightColor = 0xFF0000;

}  // namespace

const CHotSpotInfo* CKLMoviePlay::HotSpotAt(int32_t index) const {
  const CHotSpotInfo* spot = nullptr;
  if (!m_project || m_project->FindHotSpot("", index, &spot) < 0) return nullptr;
  return spot;
}

const CEffectInfo* CKLMoviePlay::EffectOf(const CHotSpotInfo* spot) const {
  const CEffectInfo* effect = nullptr;
  if (!spot || !m_project || m_project->FindEffect(spot->name, -1, &effect) < 0) return nullptr;
  return effect;
}

int32_t CKLMoviePlay::AnchorId(int32_t index) const {
  return m_anchorIds && index >= 0 && index < m_anchorCount ? m_anchorIds[index] : 0;
}

int CKLMoviePlay::SetAnchorInfo() {
  if (!m_overlay) return 0;
  return Outcome([&]() -> const char* {
    const int32_t n = m_hotSpotCount;
    if (n > 0) {
      int32_t* table = new (std::nothrow) int32_t[n]();
      if (!table) return "! CKLMoviePlay::SetAnchorInfo 01";
      delete[] m_anchorIds;
      m_anchorIds = table;
      m_anchorCount = n;
    }
    // Last hot spot first.
    for (int32_t i = n - 1; i >= 0; --i) {
      const CHotSpotInfo* spot = HotSpotAt(i);
      if (!spot) continue;
      const CEffectInfo* effect = EffectOf(spot);
      m_anchorIds[i] = m_overlay->CreateAnchor(effect ? effect->lineWidth : kDefaultLineWidth,
                                               effect ? effect->frameColor : kDefaultFrameColor,
                                               anchors::DrawShape(spot->shape));
      const size_t count = spot->keyFrames.size();
      std::unique_ptr<dshow::AnchorKeyFrame[]> frames(new (std::nothrow)
                                                          dshow::AnchorKeyFrame[count]);
      if (!frames) return "! CKLMoviePlay::SetAnchorInfo 02";
      for (size_t k = 0; k < count; ++k) {
        const KeyFrame& f = spot->keyFrames[k];
        frames[k] = dshow::AnchorKeyFrame{f.frame, f.left, f.top, f.right, f.bottom};
      }
      if (effect && (effect->visibility == 0 || effect->visibility == 1))
        m_overlay->ShowAnchor(m_anchorIds[i], effect->visibility);
      m_overlay->SetKeyFrames(m_anchorIds[i], frames.get(), static_cast<int32_t>(count));
    }
    return nullptr;
  });
}

int CKLMoviePlay::SetShowAnchor(int32_t show) {
  if (!m_overlay) return 0;
  m_overlay->ShowAllAnchors(show);
  m_overlay->Refresh();
  m_showAnchor = show;
  return 1;
}

void CKLMoviePlay::SelectAnchor(int32_t index) {
  if (index == m_selected) return;
  if (m_selected >= 0 && m_overlay) {
    const CEffectInfo* effect = EffectOf(HotSpotAt(m_selected));
    m_overlay->SetAnchorColor(AnchorId(m_selected),
                              effect ? effect->frameColor : kDefaultFrameColor);
  }
  m_selected = index;
  if (index >= 0) {
    const CHotSpotInfo* spot = HotSpotAt(index);
    const CEffectInfo* effect = EffectOf(spot);
    if (m_overlay)
      m_overlay->SetAnchorColor(AnchorId(index),
                                effect ? effect->highlightColor : kDefaultHighlightColor);
    if (spot) FireOnActivateAnchor(Instance(), spot->name.c_str());
  }
  if (m_overlay) m_overlay->Refresh();
}

bool CKLMoviePlay::GetAnchorRect(int32_t index, int32_t frame, anchors::Rect* rect) const {
  const CHotSpotInfo* spot = HotSpotAt(index);
  if (!spot || frame < spot->startFrame || frame > spot->endFrame) return false;
  return anchors::RectAtFrame(spot->keyFrames.data(), spot->keyFrames.size(), frame, rect);
}

bool CKLMoviePlay::MapToDisplay(const anchors::Rect& video, anchors::Rect* display) const {
  return anchors::MapToDisplay(video, m_videoWidth, m_videoHeight, m_displayWidth, m_displayHeight,
                               display);
}

int32_t CKLMoviePlay::AnchorAt(int32_t frame, anchors::Point point) const {
  if (frame < 0) return -1;  // no movie open
  // The lowest index wins where hot spots overlap.
  for (int32_t i = 0; i < m_hotSpotCount; ++i) {
    anchors::Rect video, display;
    if (!GetAnchorRect(i, frame, &video) || !MapToDisplay(video, &display)) continue;
    if (anchors::PointInShape(point, display, anchors::HitShape(HotSpotAt(i)->shape))) return i;
  }
  return -1;
}

std::vector<CKLMoviePlay::ShownAnchor> CKLMoviePlay::ShownAnchors() {
  std::vector<ShownAnchor> shown;
  int32_t frame = GetCurrentFrame();
  if (frame < 0) return shown;
  for (int32_t i = 0; i < m_hotSpotCount; ++i) {
    const CHotSpotInfo* spot = HotSpotAt(i);
    anchors::Rect video, display;
    int32_t shape = spot ? anchors::HitShape(spot->shape) : anchors::SHAPE_NONE;
    if (shape == anchors::SHAPE_NONE || !GetAnchorRect(i, frame, &video) ||
        !MapToDisplay(video, &display))
      continue;
    shown.push_back(ShownAnchor{i, display, shape == anchors::SHAPE_ELLIPSE, spot->name.c_str()});
  }
  return shown;
}

bool CKLMoviePlay::IsOverAnchor(anchors::Point point) {
  return AnchorAt(GetCurrentFrame(), point) != -1;
}

bool CKLMoviePlay::SelectAnchorAt(anchors::Point point) {
  int32_t index = AnchorAt(GetCurrentFrame(), point);
  SelectAnchor(index);
  return index != -1;
}

void CKLMoviePlay::RefreshCursor() {
  // The cursor follows anchors that move under a resting mouse. The video window covers the
  // owner's client area and gives its mouse to the owner: a point over it is over the owner.
  win::HWND owner = m_owner ? m_owner->m_hwnd : nullptr;
  win::POINT p;
  if (!owner || !win::GetCursorPos(&p)) return;
  win::HWND under = win::WindowFromPoint(p);
  if ((under != owner && !win::IsChild(owner, under)) || !win::ScreenToClient(owner, &p)) return;
  m_owner->UpdateCursor(0, p);
}

void CKLMoviePlay::FirePassedMarks() {
  // The window is open below and closed above; all markers, then all events, in project order.
  if (!m_project) return;
  auto passed = [&](int32_t frame) { return m_prevFrame < frame && frame <= m_curFrame; };
  win::HWND owner = m_owner ? m_owner->m_hwnd : nullptr;
  const CMarkerInfo* marker = nullptr;
  for (int32_t i = 0; i < m_project->markerCount; ++i)
    if (m_project->FindMarker("", i, &marker) >= 0 && passed(marker->frame)) {
      FireOnMarker(Instance(), marker->name.c_str());
      win::AnnouncePassed(owner, "marker", marker->name.c_str());
    }
  const CEventInfo* event = nullptr;
  for (int32_t i = 0; i < m_project->eventCount; ++i)
    if (m_project->FindEvent("", i, &event) >= 0 && passed(event->frame)) {
      FireOnKLEvent(Instance(), event->name.c_str());
      win::AnnouncePassed(owner, "event", event->name.c_str());
    }
}

void CKLMoviePlay::OnSeeking(int32_t frame) {
  if (frame < 0) {
    Trace("! CKLMoviePlay::OnSeeking 01");  // the ticks stop until the next Play
    return;
  }
  if (frame != m_curFrame) {
    m_prevFrame = m_curFrame;
    m_curFrame = frame;
    RefreshCursor();
    if (m_owner) m_owner->RefreshFocus();
    FirePassedMarks();
  }
  if (m_state == MOVIE_PLAYING) ArmPositionTimer();
}

int CKLMoviePlay::GotoAnchor(const char* name) {
  int index = m_project && name ? m_project->FindHotSpot(name, -1, nullptr) : -1;
  if (index < 0) return 0;  // unknown names are the caller's to report
  return Outcome([&]() -> const char* {
    const CHotSpotInfo* spot = HotSpotAt(index);
    if (!spot) return "! CKLMoviePlay::GotoAnchor 01";
    if (spot->startFrame < 0) return "! CKLMoviePlay::GotoAnchor 02";
    Seek(spot->startFrame);  // a failed seek is traced by Seek; the anchor was found
    return nullptr;
  });
}

int CKLMoviePlay::GotoMarker(const char* name) {
  int index = m_project && name ? m_project->FindMarker(name, -1, nullptr) : -1;
  if (index < 0) return 0;
  return Outcome([&]() -> const char* {
    const CMarkerInfo* marker = nullptr;
    if (m_project->FindMarker("", index, &marker) < 0) return "! CKLMoviePlay::GotoMarker 01";
    if (marker->frame < 0) return "! CKLMoviePlay::GotoMarker 02";
    Seek(marker->frame);
    return nullptr;
  });
}
