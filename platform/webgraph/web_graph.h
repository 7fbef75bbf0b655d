// The filter graph of the web runtime: one COM object answering IGraphBuilder, IMediaControl,
// IMediaSeeking, IMediaEventEx, IVideoWindow and IBasicVideo over the browser's video element
// (media_element.h), registered under CLSID_FilterGraph. Filters added to it that answer
// media::IVideoFrameShapes have their shapes shown above the picture as sprites, each drawn once
// for its look and moved from frame to frame; nothing is drawn into the picture itself.
//
// Meanings the player relies on, as the GStreamer graph gives them:
// - RenderFile takes the element the host loaded for the file, paused on its first frame, or
//   fails: a file the host never loaded (0x80070002), one the browser cannot play
//   (VFW_E_INVALID_FILE_FORMAT), one without a picture (VFW_E_CANNOT_RENDER).
// - Time format frames: the rate comes from the movie's header (movie_header.h), else from the
//   smallest step between presented frames. The position is the frame on show (the frame of the
//   latest presented media time); while a seek is under way, its target. A seek to frame N aims
//   at the middle of frame N. The duration is the header's frame count, else the element's
//   duration in frames, rounded.
// - Run, Pause and StopWhenReady return at once with S_OK; the element follows. GetState never
//   waits.
// - The end of the movie queues EC_COMPLETE and posts the notify message; the graph stays
//   running there, and a seek plays on from the new position.
// - The video window is the element, placed in the owner's area; the sprites go with it.
#pragma once

#include "platform/com/com.h"

namespace webgraph {

// Registers the graph under CLSID_FilterGraph.
void Register();

// A new graph holding one reference.
com::IUnknown* CreateFilterGraph();

// Graphs not yet freed.
int LiveGraphs();

}  // namespace webgraph
