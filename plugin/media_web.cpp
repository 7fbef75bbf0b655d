#include "overlay/anchor_overlay.h"
#include "platform/webgraph/web_graph.h"
#include "plugin/media_backend.h"

void RegisterMediaClasses() {
  webgraph::Register();
  overlay::Register();
}
