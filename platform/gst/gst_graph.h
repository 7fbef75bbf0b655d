// The filter graph on GStreamer: one COM object answering IGraphBuilder, IMediaControl,
// IMediaSeeking, IMediaEventEx, IVideoWindow and IBasicVideo, registered under
// CLSID_FilterGraph. Callers reach it only through those interfaces (CoCreateInstance); filters
// added to it that answer media::IVideoFrameFilter (frame_filter.h) see every video frame.
//
// Meanings the player relies on:
// - RenderFile opens a local file and prerolls it (paused on its first frame) or fails with a
//   negative result: a missing file (0x80070002), one that is no movie
//   (VFW_E_INVALID_FILE_FORMAT), one without a decodable video stream (VFW_E_CANNOT_RENDER),
//   one that does not preroll in time (VFW_E_TIMEOUT). The file stays open: deleting its name
//   afterwards does not disturb playback, seeking or replay.
// - Time format frames: the duration is the stream's duration in frames rounded; the position is
//   the frame whose start is nearest; seeking to frame N shows exactly frame N where the
//   container's timestamps allow. A stop position at or past the duration means the end.
// - Run, Pause and StopWhenReady wait until the change completes, at most a few seconds (S_FALSE
//   when still going on); StopWhenReady leaves the graph paused, so the frame stays shown.
//   GetState never waits longer than 10 s, INFINITE included.
// - The end of the stream queues EC_COMPLETE and posts the notify message; the graph keeps
//   running there, and a seek plays on from the new position.
// - The video window is a child of the owner, painted with the latest frame scaled to its size.
#pragma once

#include "platform/com/com.h"

namespace gstgraph {

// Registers the graph under CLSID_FilterGraph. GStreamer itself is initialised by the first
// RenderFile (which fails with E_FAIL when it cannot be), so loading the module costs nothing.
void Register();

// A new graph holding one reference.
com::IUnknown* CreateFilterGraph();

// Graphs not yet freed, in the whole process.
int LiveGraphs();

}  // namespace gstgraph
