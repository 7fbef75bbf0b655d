#include "overlay/anchor_overlay.h"
#include "platform/gst/gst_graph.h"
#include "plugin/media_backend.h"

void RegisterMediaClasses() {
  gstgraph::Register();
  overlay::Register();
}
