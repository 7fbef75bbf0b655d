#include "platform/gst/pipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace gstgraph {
namespace {

constexpr int64_t kSecond = 1'000'000'000;

// playbin's flags (GstPlayFlags): video, audio, and no converters of its own on the video
// branch (ours converts to BGRx once).
constexpr unsigned kPlayFlagVideo = 1u << 0;
constexpr unsigned kPlayFlagAudio = 1u << 1;
constexpr unsigned kPlayFlagNativeVideo = 1u << 6;

int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  return static_cast<int64_t>(static_cast<__int128>(a) * b / c);
}

// A sound server or card to play to; otherwise audio goes to a fake sink that keeps the clock
// and prints nothing (a real sink without a device writes warnings to stderr).
GstElement* MakeAudioSink() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  bool server = std::getenv("PULSE_SERVER") != nullptr ||
                (runtime && stat((std::string(runtime) + "/pulse/native").c_str(), &st) == 0);
  if (server)
    if (GstElement* sink = gst_element_factory_make("pulsesink", nullptr)) return sink;
  if (stat("/dev/snd", &st) == 0)
    if (GstElement* sink = gst_element_factory_make("alsasink", nullptr)) return sink;
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

// The first error's kind decides what opening a file failed with.
Status StatusOfError(GError* error) {
  if (error->domain == GST_RESOURCE_ERROR) return Status::kNotFound;
  if (error->domain == GST_STREAM_ERROR) {
    switch (error->code) {
      case GST_STREAM_ERROR_TYPE_NOT_FOUND:
      case GST_STREAM_ERROR_WRONG_TYPE:
      case GST_STREAM_ERROR_DEMUX:
      case GST_STREAM_ERROR_FORMAT:
        return Status::kBadFormat;
      case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        return Status::kNoVideo;
      default:
        break;
    }
  }
  return Status::kFailed;
}

}  // namespace

bool InitializeGStreamer() {
  static const bool ok = gst_init_check(nullptr, nullptr, nullptr);
  return ok;
}

void DisplaySize(const VideoFormat& f, int32_t* width, int32_t* height) {
  int64_t w = f.width;
  if (f.parN > 0 && f.parD > 0 && f.parN != f.parD) w = (w * f.parN + f.parD / 2) / f.parD;
  *width = static_cast<int32_t>(w);
  *height = f.height;
}

int64_t FrameAtTime(int64_t ns, int32_t fpsN, int32_t fpsD) {
  int64_t unit = kSecond * fpsD;  // even: halves are exact
  __int128 scaled = static_cast<__int128>(ns) * fpsN;
  __int128 frame = (scaled + (scaled >= 0 ? unit / 2 : -unit / 2)) / unit;
  return static_cast<int64_t>(frame);
}

int64_t SeekTimeOfFrame(int64_t frame, int32_t fpsN, int32_t fpsD) {
  int64_t middle = MulDiv(2 * frame + 1, kSecond * fpsD, 2 * static_cast<int64_t>(fpsN));
  return middle > 0 ? middle - 1 : 0;
}

int64_t StartTimeOfFrame(int64_t frame, int32_t fpsN, int32_t fpsD) {
  return MulDiv(frame, kSecond * fpsD, fpsN);
}

// --- The frame on show ------------------------------------------------------------------------

// A decoded frame: the sample as decoded (the undrawn copy) and the picture with the filters
// applied, packed (stride = 4 * width).
struct Slot {
  GstSample* sample = nullptr;
  std::vector<uint32_t> drawn;  // whole pixels, so painting may read them as such
  media::VideoFrame frame;
};

// Copies the mapped picture into the packed rows of slot.
void CopyPicture(const GstVideoFrame& mapped, Slot& slot) {
  const int32_t width = GST_VIDEO_FRAME_WIDTH(&mapped);
  const int32_t height = GST_VIDEO_FRAME_HEIGHT(&mapped);
  const size_t stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
  const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
  const size_t row = static_cast<size_t>(width) * 4;
  slot.drawn.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  auto* dst = reinterpret_cast<uint8_t*>(slot.drawn.data());
  if (stride == row) {
    std::memcpy(dst, src, row * static_cast<size_t>(height));
    return;
  }
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(dst + row * static_cast<size_t>(y), src + stride * static_cast<size_t>(y), row);
}

struct Pipeline::Impl {
  explicit Impl(PipelineClient* c) : client(c) {}

  PipelineClient* const client;
  GstElement* playbin = nullptr;  // desktop thread
  GstElement* appsink = nullptr;  // desktop thread (a reference of our own)
  int fd = -1;                    // desktop thread

  // Written by the bus handler on any thread, read on the desktop thread.
  std::atomic<bool> errored{false};
  std::atomic<int> firstError{static_cast<int>(Status::kOk)};

  // The frame on show: written by the streaming thread, read by painting and Redraw on the
  // desktop thread.
  std::mutex frameLock;
  Slot front;
  bool haveFrame = false;
  // Where the streaming thread builds the next frame; only the streaming thread touches it.
  Slot back;
  // The caps the streaming thread last parsed, with their video info; streaming thread only.
  GstCaps* infoCaps = nullptr;
  GstVideoInfo info{};

  bool SetUp(int fileFd);
  void Deliver(GstSample* sample);
  static GstBusSyncReply OnBus(GstBus*, GstMessage* message, gpointer self);
  static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer self);
  static GstFlowReturn OnSample(GstAppSink* sink, gpointer self);
};

GstBusSyncReply Pipeline::Impl::OnBus(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<Impl*>(data);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      self->client->OnEndOfStream();
      break;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(message, &error, nullptr);
      int none = static_cast<int>(Status::kOk);
      self->firstError.compare_exchange_strong(none, static_cast<int>(StatusOfError(error)));
      g_error_free(error);
      if (!self->errored.exchange(true)) self->client->OnError();
      break;
    }
    default:
      break;
  }
  // Nothing is read from the bus later: waits poll the pipeline's state instead. A handler
  // that drops a message owns it.
  gst_message_unref(message);
  return GST_BUS_DROP;
}

GstFlowReturn Pipeline::Impl::OnPreroll(GstAppSink* sink, gpointer self) {
  if (GstSample* sample = gst_app_sink_pull_preroll(sink)) {
    static_cast<Impl*>(self)->Deliver(sample);
    gst_sample_unref(sample);
  }
  return GST_FLOW_OK;
}

GstFlowReturn Pipeline::Impl::OnSample(GstAppSink* sink, gpointer self) {
  if (GstSample* sample = gst_app_sink_pull_sample(sink)) {
    static_cast<Impl*>(self)->Deliver(sample);
    gst_sample_unref(sample);
  }
  return GST_FLOW_OK;
}

// Streaming thread: copies the frame, runs the filters over the copy and puts it on show.
void Pipeline::Impl::Deliver(GstSample* sample) {
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (!caps || !buffer) return;
  if (caps != infoCaps) {
    if (!gst_video_info_from_caps(&info, caps)) return;
    gst_caps_replace(&infoCaps, caps);
  }
  GstVideoFrame mapped;
  if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) return;
  const int32_t width = GST_VIDEO_FRAME_WIDTH(&mapped);
  const int32_t height = GST_VIDEO_FRAME_HEIGHT(&mapped);
  CopyPicture(mapped, back);
  gst_video_frame_unmap(&mapped);

  VideoFormat format;
  format.width = width;
  format.height = height;
  format.parN = GST_VIDEO_INFO_PAR_N(&info);
  format.parD = GST_VIDEO_INFO_PAR_D(&info);
  if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0) {
    format.fpsN = GST_VIDEO_INFO_FPS_N(&info);
    format.fpsD = GST_VIDEO_INFO_FPS_D(&info);
  }
  int64_t number = 0;
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (GST_BUFFER_PTS_IS_VALID(buffer) && segment) {
    guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (streamTime != GST_CLOCK_TIME_NONE)
      number = FrameAtTime(static_cast<int64_t>(streamTime), format.fpsN, format.fpsD);
  }
  media::VideoFrame& f = back.frame;
  f.pixels = reinterpret_cast<uint8_t*>(back.drawn.data());
  f.width = width;
  f.height = height;
  f.stride = width * 4;
  f.number = static_cast<int32_t>(number);
  DisplaySize(format, &f.videoWidth, &f.videoHeight);
  client->TransformFrame(f);

  GstSample* previous;
  {
    std::lock_guard lock(frameLock);
    std::swap(front, back);
    previous = back.sample;
    back.sample = nullptr;
    front.sample = gst_sample_ref(sample);
    haveFrame = true;
  }
  if (previous) gst_sample_unref(previous);
  client->OnFrameStored();
}

bool Pipeline::Impl::SetUp(int fileFd) {
  fd = fileFd;
  playbin = gst_element_factory_make("playbin", nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  GstElement* audio = MakeAudioSink();
  GstElement* bin = gst_bin_new(nullptr);
  if (!playbin || !convert || !filter || !sink || !audio || !bin) {
    for (GstElement* e : {convert, filter, sink, audio, bin})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return false;
  }
  GstCaps* bgrx = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
  g_object_set(filter, "caps", bgrx, nullptr);
  gst_caps_unref(bgrx);
  g_object_set(sink, "sync", TRUE, "max-buffers", 2, "enable-last-sample", FALSE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_preroll = &Impl::OnPreroll;
  callbacks.new_sample = &Impl::OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
  appsink = GST_ELEMENT(gst_object_ref(sink));

  gst_bin_add_many(GST_BIN(bin), convert, filter, sink, nullptr);
  gst_element_link_many(convert, filter, sink, nullptr);
  GstPad* target = gst_element_get_static_pad(convert, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);

  // The descriptor's name under /proc stays valid after the file's own name is deleted.
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  g_object_set(playbin, "uri", uri, "video-sink", bin, "audio-sink", audio, "flags",
               kPlayFlagVideo | kPlayFlagAudio | kPlayFlagNativeVideo, nullptr);
  g_free(uri);

  GstBus* bus = gst_element_get_bus(playbin);
  gst_bus_set_sync_handler(bus, &Impl::OnBus, this, nullptr);
  gst_object_unref(bus);
  return true;
}

// --- Pipeline ---------------------------------------------------------------------------------

Pipeline::Pipeline(PipelineClient* client) : impl_(std::make_unique<Impl>(client)) {}

Pipeline::~Pipeline() {
  Impl& p = *impl_;
  if (p.playbin) {
    // Synchronous: the streaming threads are stopped and joined when it returns.
    gst_element_set_state(p.playbin, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(p.playbin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(p.playbin);
  }
  if (p.appsink) gst_object_unref(p.appsink);
  for (Slot* s : {&p.front, &p.back})
    if (s->sample) gst_sample_unref(s->sample);
  gst_caps_replace(&p.infoCaps, nullptr);
  if (p.fd >= 0) close(p.fd);
}

Status Pipeline::Open(int fd, int timeoutMs) {
  Impl& p = *impl_;
  if (p.playbin) {
    close(fd);
    return Status::kFailed;
  }
  if (!p.SetUp(fd)) return Status::kFailed;
  if (gst_element_set_state(p.playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE &&
      !p.errored)
    return Status::kFailed;
  Status s = Wait(timeoutMs);
  if (p.errored) {
    Status first = static_cast<Status>(p.firstError.load());
    return first == Status::kOk ? Status::kFailed : first;
  }
  if (s == Status::kFailed) return Status::kBadFormat;  // stalled without a word
  if (s != Status::kOk) return s;
  gint videoStreams = 0;
  g_object_get(p.playbin, "n-video", &videoStreams, nullptr);
  VideoFormat format;
  if (videoStreams <= 0 || !Format(&format)) return Status::kNoVideo;
  return Status::kOk;
}

// Whether any streaming thread of the pipeline is working. A demuxer that fails while
// decodebin is still plugging it can have its error swallowed and leave the pipeline waiting
// with no thread left to finish the change.
bool AnyTaskStarted(GstElement* pipeline) {
  bool started = false;
  GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(pipeline));
  GValue element = G_VALUE_INIT;
  while (!started && gst_iterator_next(elements, &element) == GST_ITERATOR_OK) {
    GstIterator* pads = gst_element_iterate_pads(GST_ELEMENT(g_value_get_object(&element)));
    GValue pad = G_VALUE_INIT;
    while (!started && gst_iterator_next(pads, &pad) == GST_ITERATOR_OK) {
      started = gst_pad_get_task_state(GST_PAD(g_value_get_object(&pad))) == GST_TASK_STARTED;
      g_value_reset(&pad);
    }
    g_value_unset(&pad);
    gst_iterator_free(pads);
    g_value_reset(&element);
  }
  g_value_unset(&element);
  gst_iterator_free(elements);
  return started;
}

Status Pipeline::Wait(int timeoutMs) {
  Impl& p = *impl_;
  if (!p.playbin) return Status::kFailed;
  using Clock = std::chrono::steady_clock;
  constexpr auto kStallLimit = std::chrono::milliseconds(300);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto working = Clock::now();  // when a streaming thread was last seen at work
  for (;;) {
    if (p.errored) return Status::kFailed;
    // Short slices: an error does not wake a waiting get_state.
    GstStateChangeReturn r =
        gst_element_get_state(p.playbin, nullptr, nullptr, 10 * GST_MSECOND);
    if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL)
      return p.errored ? Status::kFailed : Status::kOk;
    if (r == GST_STATE_CHANGE_FAILURE) return Status::kFailed;
    auto now = Clock::now();
    if (AnyTaskStarted(p.playbin))
      working = now;
    else if (now - working > kStallLimit)
      return Status::kFailed;
    if (now >= deadline) return Status::kPending;
  }
}

Status Pipeline::Play(int timeoutMs) {
  Impl& p = *impl_;
  if (!p.playbin) return Status::kFailed;
  if (gst_element_set_state(p.playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
    return Status::kFailed;
  return Wait(timeoutMs);
}

Status Pipeline::Pause(int timeoutMs) {
  Impl& p = *impl_;
  if (!p.playbin) return Status::kFailed;
  if (gst_element_set_state(p.playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
    return Status::kFailed;
  return Wait(timeoutMs);
}

Status Pipeline::Seek(int64_t startNs, int64_t stopNs, int timeoutMs) {
  Impl& p = *impl_;
  if (!p.playbin) return Status::kFailed;
  auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  if (!gst_element_seek(p.playbin, 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                        std::max<int64_t>(startNs, 0), GST_SEEK_TYPE_SET,
                        stopNs < 0 ? static_cast<gint64>(GST_CLOCK_TIME_NONE) : stopNs))
    return Status::kFailed;
  return Wait(timeoutMs);
}

bool Pipeline::Position(int64_t* ns) {
  gint64 v = -1;
  if (!impl_->playbin || !gst_element_query_position(impl_->playbin, GST_FORMAT_TIME, &v) ||
      v < 0)
    return false;
  *ns = v;
  return true;
}

bool Pipeline::Duration(int64_t* ns) {
  gint64 v = -1;
  if (!impl_->playbin || !gst_element_query_duration(impl_->playbin, GST_FORMAT_TIME, &v) ||
      v < 0)
    return false;
  *ns = v;
  return true;
}

bool Pipeline::Format(VideoFormat* format) {
  if (!impl_->appsink) return false;
  GstPad* pad = gst_element_get_static_pad(impl_->appsink, "sink");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  if (!caps) return false;
  GstVideoInfo info;
  bool ok = gst_video_info_from_caps(&info, caps);
  gst_caps_unref(caps);
  if (!ok || info.width <= 0 || info.height <= 0) return false;
  format->width = info.width;
  format->height = info.height;
  format->parN = info.par_n > 0 ? info.par_n : 1;
  format->parD = info.par_d > 0 ? info.par_d : 1;
  if (info.fps_n > 0 && info.fps_d > 0) {
    format->fpsN = info.fps_n;
    format->fpsD = info.fps_d;
  }
  return true;
}

bool Pipeline::Errored() const { return impl_->errored; }

bool Pipeline::ReadFrame(const std::function<void(const media::VideoFrame&)>& reader) {
  Impl& p = *impl_;
  std::lock_guard lock(p.frameLock);
  if (!p.haveFrame) return false;
  reader(p.front.frame);
  return true;
}

bool Pipeline::Redraw() {
  Impl& p = *impl_;
  std::lock_guard lock(p.frameLock);
  if (!p.haveFrame || !p.front.sample) return false;
  GstBuffer* buffer = gst_sample_get_buffer(p.front.sample);
  GstCaps* caps = gst_sample_get_caps(p.front.sample);
  GstVideoInfo info;
  GstVideoFrame mapped;
  if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
      !gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ))
    return false;
  CopyPicture(mapped, p.front);  // same size: the buffer stays where frame.pixels points
  gst_video_frame_unmap(&mapped);
  p.client->TransformFrame(p.front.frame);
  return true;
}

}  // namespace gstgraph
