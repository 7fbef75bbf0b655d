#include <algorithm>
#include <array>
#include <set>

#include "lint/linter.h"
#include "lint/text.h"

namespace klp::lint {
namespace {

// Beyond this many key frames a hot spot's rectangle is checked at its key frames only.
constexpr std::size_t kMaxSampledKeyFrames = 2000;

}  // namespace

void Linter::CheckAgainstMovie() {
  const Movie& movie = *movie_;
  if (movie.frames) {
    const int64_t end = *movie.frames;
    const std::string ends = "the movie ends at frame " + std::to_string(end);
    for (std::size_t i = 0; i < project_.markers.size(); ++i) {
      const int64_t line = LineAt(trace_.markerLines, i);
      const CMarkerInfo& marker = *project_.markers[i];
      if (!Misread(line) && marker.frame > end) {
        Warn(line, "beyond-end",
             "marker " + Quoted(marker.name) + " at frame " + std::to_string(marker.frame) +
                 " is never reached: " + ends,
             "use a frame from 0 to " + std::to_string(end));
      }
    }
    for (std::size_t i = 0; i < project_.events.size(); ++i) {
      const int64_t line = LineAt(trace_.eventLines, i);
      const CEventInfo& event = *project_.events[i];
      if (!Misread(line) && event.frame > end) {
        Warn(line, "beyond-end",
             "event " + Quoted(event.name) + " at frame " + std::to_string(event.frame) +
                 " never fires: " + ends,
             "use a frame from 0 to " + std::to_string(end));
      }
    }
    for (std::size_t i = 0; i < project_.hotSpots.size(); ++i) {
      const CHotSpotInfo& spot = *project_.hotSpots[i];
      if (!HotSpotMisread(i) && spot.startFrame > end && spot.startFrame <= spot.endFrame) {
        Warn(LineAt(trace_.hotSpotLines, i), "beyond-end",
             "hot spot " + Quoted(spot.name) + " starts at frame " +
                 std::to_string(spot.startFrame) + " and is never shown: " + ends,
             "use frames from 0 to " + std::to_string(end));
      }
    }
  }
  if (movie.width <= 0 || movie.height <= 0) {
    if (!project_.hotSpots.empty()) {
      Warn(0, "no-picture", "the movie has no picture: no hot spot is shown or hit",
           "give a movie with a video stream");
    }
    return;
  }
  for (std::size_t i = 0; i < project_.hotSpots.size(); ++i) {
    if (!HotSpotMisread(i)) CheckPicture(i, *project_.hotSpots[i]);
  }
}

// Where the hot spot's rectangle stands against the picture over its life. Between two key
// frames each coordinate moves monotonically from one to the other (or, with key frames out
// of order, along a line), so its extremes lie at the key frames, next to them, or at the ends
// of the life: those are the frames looked at.
void Linter::CheckPicture(std::size_t index, const CHotSpotInfo& spot) {
  const std::vector<KeyFrame>& keys = spot.keyFrames;
  if (keys.empty()) return;
  const int64_t first = std::max<int64_t>(spot.startFrame, 0);
  int64_t last = spot.endFrame;
  if (movie_->frames) last = std::min<int64_t>(last, *movie_->frames);
  if (first > last) return;

  const bool ascending = std::is_sorted(
      keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
  // Out of order and too many to walk at every frame: each key frame's own rectangle only.
  const bool keysOnly = !ascending && keys.size() > kMaxSampledKeyFrames;
  std::set<int64_t> frames;
  if (!keysOnly) frames = {first, last};
  for (const KeyFrame& key : keys) {
    for (int64_t f = int64_t{key.frame} - 1; f <= int64_t{key.frame} + 1; ++f) {
      const bool wanted = f == key.frame || (!ascending && !keysOnly);
      if (wanted && f >= first && f <= last) frames.insert(f);
    }
  }

  // The key frame that gives the rectangle at frame exactly, as RectAtFrame finds it, or
  // keys.size().
  const auto exactKey = [&](int32_t frame) -> std::size_t {
    if (ascending) {
      const auto found =
          std::lower_bound(keys.begin(), keys.end(), frame,
                           [](const KeyFrame& key, int32_t f) { return key.frame < f; });
      return found != keys.end() && found->frame == frame ? found - keys.begin() : keys.size();
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (keys[k].frame == frame) return k;
      if (keys[k].frame > frame && !keysOnly) break;
    }
    return keys.size();
  };
  const auto rectAt = [&](int32_t frame, std::size_t exact) {
    anchors::Rect rect;
    if (exact < keys.size()) {
      const KeyFrame& key = keys[exact];
      rect = {key.left, key.top, key.right, key.bottom};
    } else {
      anchors::RectAtFrame(keys.data(), keys.size(), frame, &rect);
    }
    return rect;
  };
  const int32_t width = movie_->width, height = movie_->height;
  const auto beyond = [&](const anchors::Rect& r) {
    return r.left < 0 || r.top < 0 || r.right > width || r.bottom > height;
  };
  const int32_t shape = anchors::DrawShape(spot.shape);

  struct Finding {
    int64_t frame;
    anchors::Rect rect;
    bool off;         // no point of the picture is in the shape
    std::size_t key;  // the key frame giving the rectangle exactly, or keys.size()
  };
  std::vector<Finding> outside;
  bool allOff = true;
  std::array<bool, 4> allBeyond = {true, true, true, true};  // left, above, right, below
  // The frame looked at before, if its rectangle was inside (kept as a flag and a value: GCC
  // cannot see through an optional in the halving loop below).
  bool wasInside = false;
  int64_t insideBefore = 0;
  for (const int64_t frame : frames) {
    const auto f = static_cast<int32_t>(frame);
    const std::size_t exact = exactKey(f);
    if (keysOnly && exact == keys.size()) continue;
    const anchors::Rect rect = rectAt(f, exact);
    if (rect.left > rect.right || rect.top > rect.bottom) {  // empty-rect's case
      wasInside = false;
      continue;
    }
    const bool off = !PictureMeetsShape(rect, shape, width, height);
    allOff = allOff && off;
    allBeyond[0] = allBeyond[0] && rect.right < 0;
    allBeyond[1] = allBeyond[1] && rect.bottom < 0;
    allBeyond[2] = allBeyond[2] && rect.left > width;
    allBeyond[3] = allBeyond[3] && rect.top > height;
    if (!off && !beyond(rect)) {
      wasInside = true;
      insideBefore = frame;
      continue;
    }
    Finding found{frame, rect, off, exact};
    if (exact == keys.size() && wasInside && beyond(rect)) {
      // Each coordinate is monotonic between two frames looked at, so once beyond a side the
      // rectangle stays beyond it: the first such frame is found by halving.
      int64_t low = insideBefore, high = frame;  // inside at low, beyond at high
      while (high - low > 1) {
        const int64_t middle = low + (high - low) / 2;
        const auto m = static_cast<int32_t>(middle);
        (beyond(rectAt(m, exactKey(m))) ? high : low) = middle;
      }
      const auto h = static_cast<int32_t>(high);
      found.frame = high;
      found.key = exactKey(h);
      found.rect = rectAt(h, found.key);
      found.off = !PictureMeetsShape(found.rect, shape, width, height);
    }
    wasInside = false;
    if (found.key == keys.size()) {
      // Before the first key frame, after the last and between equal ones the rectangle is a
      // key frame's own: told with that key frame.
      const auto same = std::find_if(keys.begin(), keys.end(), [&](const KeyFrame& k) {
        return anchors::Rect{k.left, k.top, k.right, k.bottom} == found.rect;
      });
      found.key = static_cast<std::size_t>(same - keys.begin());
    }
    outside.push_back(found);
  }
  if (outside.empty()) return;

  const std::string picture = std::to_string(width) + "x" + std::to_string(height) + " picture";
  const std::string what = "hot spot " + Quoted(spot.name);
  const std::string within = "within 0,0," + std::to_string(width) + "," + std::to_string(height);
  const int64_t headerLine = LineAt(trace_.hotSpotLines, index);
  // Only when every frame was looked at, and all lie beyond the same side, does no frame
  // between them come onto the picture.
  const bool never = allOff && !keysOnly &&
                     std::any_of(allBeyond.begin(), allBeyond.end(), [](bool b) { return b; });
  if (never) {
    Warn(headerLine, "never-on-picture",
         what + " lies outside the " + picture + " on every frame of its life: it is never " +
             "seen or hit",
         "give its key frames in pixels of the movie picture, " + within);
    return;
  }
  bool interpolatedTold = false;
  std::set<std::size_t> keysTold;
  for (const Finding& found : outside) {
    const std::string where =
        found.off ? " lies entirely outside the " + picture + ": it cannot be seen or hit there"
                  : " reaches outside the " + picture;
    const std::string hint = "keep the rectangle " + within + " (pixels of the movie picture)";
    if (found.key < keys.size()) {
      if (!keysTold.insert(found.key).second) continue;
      const int64_t line = index < trace_.keyFrameLines.size()
                               ? LineAt(trace_.keyFrameLines[index], found.key)
                               : headerLine;
      Warn(line, "outside-picture",
           what + " at frame " + std::to_string(found.frame) + ": the rectangle " +
               RectText(found.rect) + where,
           hint);
    } else if (!interpolatedTold) {
      interpolatedTold = true;
      Warn(headerLine, "outside-picture",
           what + " between key frames, from frame " + std::to_string(found.frame) +
               ": the rectangle " + RectText(found.rect) + where,
           hint);
    }
  }
}

// Whether any pixel of the picture lies in the shape. The shape's point nearest to its centre
// within the picture is the picture's point nearest to the shape, also for the ellipse (whose
// axes are the picture's), so one test of that point decides.
bool Linter::PictureMeetsShape(const anchors::Rect& rect, int32_t shape, int32_t width,
                               int32_t height) {
  const int64_t a = (static_cast<int64_t>(rect.right) - rect.left) / 2 + 1;
  const int64_t b = (static_cast<int64_t>(rect.bottom) - rect.top) / 2 + 1;
  const anchors::Point nearest{
      static_cast<int32_t>(std::clamp<int64_t>(rect.left + a - 1, 0, width - 1)),
      static_cast<int32_t>(std::clamp<int64_t>(rect.top + b - 1, 0, height - 1))};
  return anchors::PointInShape(nearest, rect, shape);
}

}  // namespace klp::lint
