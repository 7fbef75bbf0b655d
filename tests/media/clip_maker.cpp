#include "tests/media/clip_maker.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstring>
#include <vector>

namespace klp::test {
namespace {

constexpr int kBits = 10;

// The pipeline after the appsrc named "src" (none for sound only), ending in a filesink
// named "out".
std::string Encoder(Codec codec) {
  switch (codec) {
    case Codec::kMjpegAvi:
      return "jpegenc quality=95 ! avimux ! filesink name=out";
    case Codec::kMjpegAviWithAudio:
      return "jpegenc quality=95 ! avimux name=mux ! filesink name=out "
             "audiotestsrc name=tone ! audio/x-raw,rate=44100,channels=1 ! mux.";
    case Codec::kH264Mp4:
      return "x264enc speed-preset=ultrafast key-int-max=15 ! "
             "video/x-h264,profile=constrained-baseline ! h264parse ! mp4mux ! "
             "filesink name=out";
    case Codec::kVp8Webm:
      return "vp8enc deadline=1 cpu-used=8 keyframe-max-dist=15 ! webmmux ! "
             "filesink name=out";
    case Codec::kTheoraOgg:
      return "theoraenc keyframe-freq=15 drop-frames=false ! oggmux ! filesink name=out";
    case Codec::kMpeg1Ps:
      return "mpeg2enc format=0 ! mpegpsmux ! filesink name=out";
    case Codec::kVorbisOgg:
      return "audiotestsrc name=tone ! audioconvert ! vorbisenc ! oggmux ! filesink name=out";
  }
  return "";
}

// One I420 picture: grey, with the number's bands on top.
std::vector<uint8_t> Picture(const ClipSpec& spec, int number) {
  const int w = spec.width, h = spec.height;
  const int chroma = ((w + 1) / 2) * ((h + 1) / 2);
  std::vector<uint8_t> data(static_cast<size_t>(w) * h + 2 * static_cast<size_t>(chroma), 128);
  const int band = BandRows(h) / 2;
  for (int y = 0; y < 2 * band; ++y) {
    const bool inverse = y >= band;
    for (int x = 0; x < w; ++x) {
      int bit = x * kBits / w;
      bool one = ((number >> bit) & 1) != inverse;
      data[static_cast<size_t>(y) * w + x] = one ? 235 : 16;
    }
  }
  return data;
}

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

}  // namespace

const char* Extension(Codec codec) {
  switch (codec) {
    case Codec::kMjpegAvi:
    case Codec::kMjpegAviWithAudio:
      return ".avi";
    case Codec::kH264Mp4:
      return ".mp4";
    case Codec::kVp8Webm:
      return ".webm";
    case Codec::kTheoraOgg:
    case Codec::kVorbisOgg:
      return ".ogg";
    case Codec::kMpeg1Ps:
      return ".mpg";
  }
  return "";
}

const char* CodecName(Codec codec) {
  switch (codec) {
    case Codec::kMjpegAvi:
      return "MjpegAvi";
    case Codec::kMjpegAviWithAudio:
      return "MjpegAviWithAudio";
    case Codec::kH264Mp4:
      return "H264Mp4";
    case Codec::kVp8Webm:
      return "Vp8Webm";
    case Codec::kTheoraOgg:
      return "TheoraOgg";
    case Codec::kMpeg1Ps:
      return "Mpeg1Ps";
    case Codec::kVorbisOgg:
      return "VorbisOgg";
  }
  return "";
}

bool WriteClip(const ClipSpec& spec, const std::string& path, std::string* error) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return Fail(error, "gst_init failed");
  const bool video = spec.codec != Codec::kVorbisOgg;
  std::string description = video ? "appsrc name=src ! " + Encoder(spec.codec) : Encoder(spec.codec);
  GError* parseError = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &parseError);
  if (!pipeline || parseError) {
    std::string text = parseError ? parseError->message : "parse failed";
    if (parseError) g_error_free(parseError);
    if (pipeline) gst_object_unref(pipeline);
    return Fail(error, description + ": " + text);
  }
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_object_set(out, "location", path.c_str(), nullptr);
  gst_object_unref(out);
  if (GstElement* tone = gst_bin_get_by_name(GST_BIN(pipeline), "tone")) {
    // Sound as long as the pictures: 1470 samples at 44.1 kHz are 1/30 s.
    g_object_set(tone, "samplesperbuffer", 44100 / spec.fps, "num-buffers", spec.frames,
                 nullptr);
    gst_object_unref(tone);
  }
  GstElement* src = video ? gst_bin_get_by_name(GST_BIN(pipeline), "src") : nullptr;
  if (src) {
    GstCaps* caps = gst_caps_new_simple(
        "video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, spec.width,
        "height", G_TYPE_INT, spec.height, "framerate", GST_TYPE_FRACTION, spec.fps, 1,
        "pixel-aspect-ratio", GST_TYPE_FRACTION, spec.pixelAspect, 1, nullptr);
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "block", TRUE, nullptr);
    gst_caps_unref(caps);
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  bool pushed = true;
  for (int i = 0; src && i < spec.frames && pushed; ++i) {
    std::vector<uint8_t> data = Picture(spec, i);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, data.size(), nullptr);
    gst_buffer_fill(buffer, 0, data.data(), data.size());
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, spec.fps);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, spec.fps);
    pushed = gst_app_src_push_buffer(GST_APP_SRC(src), buffer) == GST_FLOW_OK;
  }
  if (src) {
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
  }
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* done = gst_bus_timed_pop_filtered(
      bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = pushed && done && GST_MESSAGE_TYPE(done) == GST_MESSAGE_EOS;
  std::string why = !done ? "no end of stream" : pushed ? "" : "push refused";
  if (done && GST_MESSAGE_TYPE(done) == GST_MESSAGE_ERROR) {
    GError* e = nullptr;
    gst_message_parse_error(done, &e, nullptr);
    why = e->message;
    g_error_free(e);
  }
  if (done) gst_message_unref(done);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok || Fail(error, description + ": " + why);
}

bool CodecByName(const std::string& name, Codec* codec) {
  for (Codec c : {Codec::kMjpegAvi, Codec::kMjpegAviWithAudio, Codec::kH264Mp4, Codec::kVp8Webm,
                  Codec::kTheoraOgg, Codec::kMpeg1Ps, Codec::kVorbisOgg}) {
    if (name == CodecName(c)) {
      *codec = c;
      return true;
    }
  }
  return false;
}

int ReadFrameNumber(const win::Surface& s, int clipWidth, int clipHeight) {
  if (s.width <= 0 || s.height <= 0) return -1;
  const int band = BandRows(clipHeight) / 2;
  auto bitAt = [&](int bit, int row) {
    int x = (2 * bit + 1) * clipWidth / (2 * kBits) * s.width / clipWidth;
    int y = row * s.height / clipHeight;
    uint32_t p = s.pixels[static_cast<size_t>(y) * s.width + x];
    int luma = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
    return luma > 128;
  };
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    bool one = bitAt(bit, band / 2);
    if (one == bitAt(bit, band + band / 2)) return -1;
    number |= static_cast<int>(one) << bit;
  }
  return number;
}

}  // namespace klp::test
