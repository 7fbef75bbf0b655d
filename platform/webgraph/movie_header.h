// The frame rate of a movie, read from its container's header. The web runtime plays movies through
// the browser's video element, which tells the time but not the frame rate, so the rate comes from
// the file itself: MP4/QuickTime, WebM/Matroska and AVI. The bytes are untrusted: every size and
// offset is checked, no single read takes more than a fixed limit, and damage is refused.
#pragma once

#include <cstddef>
#include <cstdint>

namespace webgraph {

struct MovieTiming {
  // The rate is frameNum/frameDen frames per second, a reduced fraction: a frame lasts
  // frameDen/frameNum seconds.
  int64_t frameNum = 0;
  int64_t frameDen = 0;
  int64_t frames = -1;  // number of video frames when the header tells it, else -1
};

// Reads the first video track's frame rate, and its frame count where the header states it, from
// the start of a movie file's bytes (an MP4 whose moov follows its media needs the whole file).
// MP4: the track's timescale over its most common sample duration; frames = its sample count.
// WebM: 1e9/DefaultDuration, taken as the whole or 1000/1001 rate whose frame lasts within 1 ns of
// it (30000/1001 fps is stored as 33366666 or 33366667 ns); frames from the segment's Duration.
// AVI: the video stream header's dwRate/dwScale and dwLength, else the main header's frame time.
// Returns false, leaving *out as it was, when the bytes are no such container, are damaged, or give
// no rate between 1/1000 and 1000 frames per second (a WebM without DefaultDuration gives none).
bool ReadMovieTiming(const uint8_t* data, size_t size, MovieTiming* out);

// The same over a file, reading only the headers: top-level boxes and elements are found by
// seeking, so an MP4's moov at the end of a large file costs no more than one at its start.
bool ReadMovieTimingFromFile(const char* path, MovieTiming* out);

}  // namespace webgraph
