// Short test clips made with GStreamer at test time. Every frame carries its number in its
// pixels: two bands across the top of the picture, ten cells each, the number's bits (bit 0 at
// the left; white 1, black 0) and below them the same bits inverted, over a mid-grey picture.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace klp::test {

enum class Codec {
  kMjpegAvi,           // MJPEG in AVI
  kMjpegAviWithAudio,  // the same with a PCM sound track
  kH264Mp4,            // H.264 (constrained baseline) in MP4
  kVp8Webm,            // VP8 in WebM
  kTheoraOgg,          // Theora in Ogg
  kMpeg1Ps,            // MPEG-1 video in an MPEG program stream (.mpg)
  kVorbisOgg,          // sound only
};

struct ClipSpec {
  Codec codec = Codec::kMjpegAvi;
  int width = 160;
  int height = 120;
  int frames = 60;
  int fps = 30;
  int pixelAspect = 1;  // pixels pixelAspect times as wide as high (stated by H.264 only)
};

const char* Extension(Codec codec);
const char* CodecName(Codec codec);

// Encodes the clip into path in this process; false with the reason in *error.
bool WriteClip(const ClipSpec& spec, const std::string& path, std::string* error);

// The same in a child process (the clip tool), so that what the encoders leave behind stays out
// of the tests' leak checks.
bool MakeClip(const ClipSpec& spec, const std::string& path, std::string* error);

// The codec named by CodecName; false for none.
bool CodecByName(const std::string& name, Codec* codec);

// The frame number painted into surface (a picture of clipWidth x clipHeight scaled to the
// surface), or -1 when the bands do not read as a number and its inverse.
int ReadFrameNumber(const win::Surface& surface, int clipWidth, int clipHeight);

// Rows of the picture the bands cover (anchors in tests stay below).
inline int BandRows(int clipHeight) { return clipHeight * 4 / 15; }

}  // namespace klp::test
