// The media graph and the anchor overlay filter the module registers with COM at NP_Initialize:
// the GStreamer graph in the native module, the browser's video element in the web build.
#pragma once

void RegisterMediaClasses();
