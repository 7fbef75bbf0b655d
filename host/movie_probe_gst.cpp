// The real-media probe: GStreamer's discoverer gives the duration, the frame rate and the
// picture size of the first video stream.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <cmath>

#include "host/movie_probe.h"

namespace klp::tools {
namespace {

constexpr GstClockTime kTimeout = 20 * GST_SECOND;

std::string TakeMessage(GError*& error, const char* fallback) {
  std::string message = error != nullptr && error->message != nullptr ? error->message : fallback;
  g_clear_error(&error);
  return message;
}

class MediaProbe final : public MovieProbe {
 public:
  std::string_view Name() const override { return "gstreamer"; }

  std::optional<MovieInfo> Probe(const std::string& path, std::string* error) override {
    GError* gerror = nullptr;
    if (!gst_init_check(nullptr, nullptr, &gerror)) {
      *error = "GStreamer cannot start: " + TakeMessage(gerror, "unknown error");
      return std::nullopt;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), &gerror);
    if (uri == nullptr) {
      *error = TakeMessage(gerror, "not a file name");
      return std::nullopt;
    }
    GstDiscoverer* discoverer = gst_discoverer_new(kTimeout, &gerror);
    if (discoverer == nullptr) {
      g_free(uri);
      *error = "GStreamer cannot start: " + TakeMessage(gerror, "no discoverer");
      return std::nullopt;
    }
    GstDiscovererInfo* found = gst_discoverer_discover_uri(discoverer, uri, &gerror);
    g_free(uri);
    std::optional<MovieInfo> movie;
    if (found != nullptr && gst_discoverer_info_get_result(found) == GST_DISCOVERER_OK) {
      g_clear_error(&gerror);
      movie = Describe(found, path);
    } else {
      *error = "not a movie GStreamer can read: " + TakeMessage(gerror, "no streams found");
    }
    if (found != nullptr) gst_discoverer_info_unref(found);
    g_object_unref(discoverer);
    return movie;
  }

 private:
  static MovieInfo Describe(GstDiscovererInfo* found, const std::string& path) {
    MovieInfo info;
    info.path = path;
    info.probe = "gstreamer";
    // As the media backend counts frames: 25 per second when the stream states no rate, and a
    // time's frame is the nearest frame start.
    guint rateN = 25, rateD = 1;
    GList* videos = gst_discoverer_info_get_video_streams(found);
    if (videos != nullptr) {
      auto* video = GST_DISCOVERER_VIDEO_INFO(videos->data);
      info.width = static_cast<int32_t>(gst_discoverer_video_info_get_width(video));
      info.height = static_cast<int32_t>(gst_discoverer_video_info_get_height(video));
      if (gst_discoverer_video_info_get_framerate_num(video) > 0 &&
          gst_discoverer_video_info_get_framerate_denom(video) > 0) {
        rateN = gst_discoverer_video_info_get_framerate_num(video);
        rateD = gst_discoverer_video_info_get_framerate_denom(video);
      }
    }
    gst_discoverer_stream_info_list_free(videos);
    info.fps = static_cast<double>(rateN) / rateD;
    const GstClockTime duration = gst_discoverer_info_get_duration(found);
    if (GST_CLOCK_TIME_IS_VALID(duration)) {
      info.frames =
          static_cast<int64_t>(std::llround(static_cast<long double>(duration) * rateN /
                                            (static_cast<long double>(rateD) * GST_SECOND)));
    }
    return info;
  }
};

}  // namespace

std::unique_ptr<MovieProbe> MakeMediaProbe() { return std::make_unique<MediaProbe>(); }

}  // namespace klp::tools
