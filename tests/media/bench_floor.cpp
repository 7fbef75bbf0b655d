#include "tests/media/bench_floor.h"

#include <gst/gst.h>

namespace klp::test {
namespace {

GstPadProbeReturn CountBuffer(GstPad*, GstPadProbeInfo*, gpointer count) {
  ++*static_cast<int*>(count);
  return GST_PAD_PROBE_OK;
}

}  // namespace

bool PlayPlainPipeline(const std::string& path, int* frames) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
  std::string description = "filesrc location=\"" + path +
                            "\" ! decodebin ! videoconvert ! video/x-raw,format=BGRx ! "
                            "fakesink name=sink sync=true";
  GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
  if (!pipeline) return false;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &CountBuffer, frames, nullptr);
  gst_object_unref(pad);
  gst_object_unref(sink);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* m = gst_bus_timed_pop_filtered(
      bus, 120 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
  if (m) gst_message_unref(m);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

}  // namespace klp::test
