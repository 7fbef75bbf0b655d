// The GStreamer side of the media graph behind a plain-data boundary: no GStreamer type appears
// here, and the COM side (filter_graph.cpp) speaks to it in nanoseconds and Status values.
//
// One Pipeline plays one local file: the file's own demuxer and decoders, video converted to
// BGRx and handed frame by frame to a PipelineClient, audio to the sound server or, without
// one, to a clock-keeping fake sink. Methods are called on one thread (the desktop's); every
// wait is bounded. The client's streaming-thread callbacks only record and post.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gst/frame_filter.h"

namespace gstgraph {

enum class Status {
  kOk,
  kPending,    // still changing state when the wait ran out
  kNotFound,   // the file cannot be read
  kBadFormat,  // not a movie GStreamer can demultiplex or decode
  kNoVideo,    // no decodable video stream (audio only, or no decoder)
  kFailed,     // the pipeline reported an error
};

// The negotiated video stream.
struct VideoFormat {
  int32_t width = 0;   // decoded picture, pixels
  int32_t height = 0;
  int32_t parN = 1;    // pixel aspect ratio
  int32_t parD = 1;
  int32_t fpsN = 25;   // frame rate; 25/1 when the stream does not state one
  int32_t fpsD = 1;
};

// Initialises GStreamer once for the process; false when it cannot be.
bool InitializeGStreamer();

// The video's own size: the width stretched by the pixel aspect ratio, rounded.
void DisplaySize(const VideoFormat& format, int32_t* width, int32_t* height);

// Frame number of a stream time: the nearest frame start, so that timestamps rounded to the
// millisecond (WebM) still name their frame.
int64_t FrameAtTime(int64_t ns, int32_t fpsN, int32_t fpsD);
// The time a seek to frame uses: just before the middle of the frame, well inside it whatever
// the container's timestamp rounding, and a position that FrameAtTime maps back to frame.
int64_t SeekTimeOfFrame(int64_t frame, int32_t fpsN, int32_t fpsD);
// Start time of a frame (frame * frame duration).
int64_t StartTimeOfFrame(int64_t frame, int32_t fpsN, int32_t fpsD);

// What a pipeline reports. OnEndOfStream, OnError and OnFrameStored run on streaming threads
// and must only record and post; TransformFrame runs the graph's filters over a frame.
class PipelineClient {
 public:
  virtual void OnEndOfStream() = 0;
  virtual void OnError() = 0;
  virtual void OnFrameStored() = 0;  // a new frame is on show
  // Streaming thread (new frames) or the desktop's thread (Redraw), possibly both at once.
  virtual void TransformFrame(const media::VideoFrame& frame) = 0;

 protected:
  ~PipelineClient() = default;
};

class Pipeline {
 public:
  explicit Pipeline(PipelineClient* client);
  // Stops the pipeline (its streaming threads are joined: no callback runs afterwards).
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Plays the file open on fd, which the pipeline takes over (and closes): the file stays
  // readable even once its name is deleted. Prerolls (paused on the first frame) within
  // timeoutMs; anything but kOk leaves the pipeline unusable.
  Status Open(int fd, int timeoutMs);

  Status Play(int timeoutMs);
  Status Pause(int timeoutMs);
  // Waits until the last state change or seek has completed.
  Status Wait(int timeoutMs);
  // Flushing, accurate seek to startNs; stopNs < 0 plays to the end.
  Status Seek(int64_t startNs, int64_t stopNs, int timeoutMs);

  bool Position(int64_t* ns);
  bool Duration(int64_t* ns);
  bool Format(VideoFormat* format);
  bool Errored() const;

  // Calls reader with the frame on show (its filters applied) under the frame lock; false
  // before the first frame.
  bool ReadFrame(const std::function<void(const media::VideoFrame&)>& reader);
  // Runs TransformFrame again over an undrawn copy of the frame on show; false without one.
  bool Redraw();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace gstgraph
