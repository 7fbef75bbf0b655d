// The contract between the media graph and the filters added to it with AddFilter: plain data
// only, so a filter (the anchor overlay) needs neither GStreamer nor the graph's headers.
//
// The graph asks every added filter for IVideoFrameFilter. A filter that answers is attached to
// the graph's IVideoFrameHost and sees every decoded video frame, in decoding order, before the
// frame is stored for painting. The graph keeps an undrawn copy of the frame on show, so a
// filter can ask for it to be drawn again (after its own settings changed) without decoding.
#pragma once

#include <cstdint>

#include "platform/com/com.h"

namespace media {

// One decoded picture in memory: 4 bytes a pixel in the order B, G, R, unused (BGRx), rows
// `stride` bytes apart, top row first.
struct VideoFrame {
  uint8_t* pixels = nullptr;
  int32_t width = 0;   // pixels
  int32_t height = 0;  // rows
  int32_t stride = 0;  // bytes, >= 4 * width
  int32_t number = 0;  // frame number on the movie's time line, from 0
  // The video's own size (IBasicVideo::GetVideoSize: pixel aspect applied); filters take their
  // coordinates in these pixels and scale them to width x height.
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
};
static_assert(sizeof(VideoFrame) == sizeof(uint8_t*) + 6 * sizeof(int32_t),
              "plain data: a pointer and six 32-bit fields");

// Implemented by the graph. Called on the thread that runs the desktop (the browser's thread).
struct IVideoFrameHost {
  // Runs the filters again over an undrawn copy of the frame on show and repaints it. Nothing
  // happens before the first frame.
  virtual void RedrawFrame() = 0;

 protected:
  ~IVideoFrameHost() = default;
};

// {8A0B5C4E-61D2-4F1B-9E57-3C2A7D10B6F1}
inline constexpr com::IID IID_IVideoFrameFilter = {
    0x8A0B5C4E, 0x61D2, 0x4F1B, {0x9E, 0x57, 0x3C, 0x2A, 0x7D, 0x10, 0xB6, 0xF1}};

struct IVideoFrameFilter : com::IUnknown {
  // The graph attaches itself when the filter is added and detaches (null) before it lets the
  // filter go. Called on the desktop's thread; the host is not reference counted.
  virtual void AttachHost(IVideoFrameHost* host) = 0;
  // Draws into frame.pixels in place. Called on a streaming thread for new frames and on the
  // desktop's thread for redraws, possibly at the same time (on different frames): the filter
  // guards its own settings.
  virtual void TransformFrame(const VideoFrame& frame) = 0;

 protected:
  ~IVideoFrameFilter() = default;
};

// One shape a filter draws into frames, for a host that shows the shapes above the picture
// instead: where it lies in a frame, and what it looks like.
struct FrameShape {
  int32_t left = 0;  // the rectangle holding the shape, in the frame's pixels
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint64_t look = 0;  // equal looks and sizes mean equal pixels: the sprite can be kept
};

// {3C9E2F71-0B4A-4E8D-A6C5-5D1F8E2B7A90}
inline constexpr com::IID IID_IVideoFrameShapes = {
    0x3C9E2F71, 0x0B4A, 0x4E8D, {0xA6, 0xC5, 0x5D, 0x1F, 0x8E, 0x2B, 0x7A, 0x90}};

// Answered by a filter whose drawing is a set of shapes. Drawing every shape of FrameShapes into
// its own sprite and laying the sprites over the frame at their rectangles, in order, gives the
// pixels TransformFrame would draw. Called on the desktop's thread.
struct IVideoFrameShapes : com::IUnknown {
  // The shapes the filter would draw into frame (its number and sizes; no pixels are needed),
  // bottom first. Writes at most max of them and returns how many there are.
  virtual int32_t FrameShapes(const VideoFrame& frame, FrameShape* shapes, int32_t max) = 0;
  // Draws shape index of FrameShapes(frame) into sprite, which holds the shape's rectangle.
  virtual void DrawShape(const VideoFrame& frame, int32_t index, const VideoFrame& sprite) = 0;

 protected:
  ~IVideoFrameShapes() = default;
};

}  // namespace media
