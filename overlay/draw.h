// Drawing anchor frames into a video frame: a pure function over the frame's pixels and the
// anchors, used by the anchor overlay filter for every frame it sees.
//
// An anchor's rectangle at a frame is the player's own (anchors::RectAtFrame over its key frames,
// scaled from video pixels to the frame's pixels with anchors::MapToDisplay), so what is drawn is
// what the player hit-tests. It is drawn on the frames from its first key frame to its last (an
// anchor with a single key frame on every frame): outside them the hot spot does not exist and
// cannot be hit. The outline is lineWidth pixels wide and lies inside the rectangle, whose four
// sides are included; an ellipse is the rectangle's inscribed one, with the hit test's own
// inside test. Colours are 0xRRGGBB, as page authors write "#RRGGBB".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/gst/frame_filter.h"
#include "player/anchor_geometry.h"

namespace overlay {

struct Anchor {
  int32_t id = 0;
  int32_t lineWidth = 3;
  int32_t colour = 0x0000FF;  // 0xRRGGBB; the top byte is ignored
  int32_t shape = dshow::SHAPE_RECT;  // SHAPE_ELLIPSE, else drawn as a rectangle
  bool shown = true;
  std::vector<dshow::AnchorKeyFrame> keyFrames;
};

// The anchor's rectangle in the frame's pixels at frame.number; false where it is not drawn
// (no key frames, or a frame outside its key frames).
bool AnchorRectInFrame(const Anchor& anchor, const media::VideoFrame& frame, anchors::Rect* out);

// Draws every shown anchor into frame.pixels, clipped to the frame.
void DrawAnchors(const media::VideoFrame& frame, const Anchor* anchors, size_t count);

// Draws the anchor with rectangle r (in a frame's pixels) into target, which holds that frame's
// pixels from (originX, originY) on, clipped to the target: a whole frame at (0, 0), or a sprite
// of the anchor alone at the rectangle's top left.
void DrawAnchor(const Anchor& anchor, const anchors::Rect& r, const media::VideoFrame& target,
                int32_t originX, int32_t originY);

}  // namespace overlay
