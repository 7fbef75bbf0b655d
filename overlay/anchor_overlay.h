// The anchor overlay filter: a COM object answering IBaseFilter, IAnchorOverlay (at its fixed
// method-table positions), media::IVideoFrameFilter and media::IVideoFrameShapes, registered
// under CLSID_AnchorOverlay. Added to the media graph, it draws the anchors it was given into
// every video frame (draw.h), or hands them one by one to a graph that shows them above the
// picture; Refresh has the graph draw the frame on show again.
//
// Anchors: CreateAnchor returns ids from 1 up, never reused by one filter; an anchor starts
// shown, without key frames (so not drawn). A line width of 0 or less draws nothing. Calls with
// an unknown id answer E_INVALIDARG; the slots the player never calls answer E_NOTIMPL.
// Threads: the IAnchorOverlay calls come on the desktop's thread; drawing happens on the graph's
// streaming thread; the anchors are guarded by one lock.
#pragma once

#include "platform/com/com.h"

namespace overlay {

// Registers the filter under CLSID_AnchorOverlay.
void Register();

// A new filter holding one reference.
com::IUnknown* CreateAnchorOverlay();

// Filters not yet freed, in the whole process.
int LiveOverlays();

}  // namespace overlay
