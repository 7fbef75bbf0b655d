// The movie's video element on the page, as the web graph drives it. The browser decodes and
// shows the frames itself; the graph only tells the element what to do and hears back which
// frame it presented. Calls return at once; their outcomes arrive later as notices
// (MediaListener), always on the browser's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/com/com.h"

namespace webgraph {

// What the element knew once the host had loaded the movie.
struct MediaInfo {
  int32_t width = 0;   // the picture's size as shown (pixel aspect applied)
  int32_t height = 0;
  double duration = 0;  // seconds
};

class MediaElement {
 public:
  virtual ~MediaElement() = default;
  virtual MediaInfo Info() const = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  // Seeks to seconds; serial names the seek in the notices that follow.
  virtual void Seek(double seconds, uint32_t serial) = 0;
  // Where the picture lies in the owner's area, and whether it is shown.
  virtual void Place(int32_t left, int32_t top, int32_t width, int32_t height, bool visible) = 0;
  // The shapes drawn over the picture, as sprites: the later over the earlier. Sets the pixels
  // of sprite index (R, G, B, alpha, rows top first), kept until set again.
  virtual void SetSprite(int32_t index, const uint8_t* rgba, int32_t width, int32_t height) = 0;
  // Shows the first count sprites with their top left corners at positions (left, top pairs, in
  // the picture's own pixels) and hides the others.
  virtual void PlaceSprites(const int32_t* positions, int32_t count) = 0;
};

// Notices from the element.
class MediaListener {
 public:
  // A frame with presentation time mediaTime (seconds) is being shown; completedSeek is the
  // serial of the last seek completed before it (0 before any).
  virtual void FramePresented(double mediaTime, uint32_t completedSeek) = 0;
  // The seek with this serial completed at currentTime (seconds).
  virtual void SeekCompleted(uint32_t serial, double currentTime) = 0;
  virtual void Ended() = 0;
  virtual void Failed() = 0;

 protected:
  ~MediaListener() = default;
};

// Opens the element the host loaded for the movie file at path, with listener for its notices.
// Null with *status set when there is none: 0x80070002 for a file the host never loaded,
// VFW_E_INVALID_FILE_FORMAT for one that is no movie the browser plays,
// VFW_E_CANNOT_RENDER for one without a picture.
std::unique_ptr<MediaElement> OpenMediaElement(const char* path, MediaListener* listener,
                                               com::HRESULT* status);

}  // namespace webgraph
