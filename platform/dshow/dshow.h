// The DirectShow subset the player holds: the filter graph's interfaces with only the methods the
// player calls, the anchor overlay filter's IAnchorOverlay, their GUIDs and the constants.
//
// The graph interfaces are implemented by the backends (the GStreamer graph, the sim graph); only
// their names and meaning follow DirectShow, not their binary layout. IAnchorOverlay is different:
// its method-table positions are fixed (3 Refresh, 11 CreateAnchor, 13 SetKeyFrames, 15-18), so
// unused positions are kept as reserved slots.
//
// Paths are 16-bit wide strings (char16_t, like WCHAR); positions are 64-bit; window handles
// crossing these interfaces are pointer-sized integers (OAHWND).
#pragma once

#include <cstdint>

#include "platform/com/com.h"

namespace dshow {

using com::HRESULT;
using LONG = int32_t;
using DWORD = uint32_t;
using LONGLONG = int64_t;
using LONG_PTR = intptr_t;
using OAHWND = intptr_t;
using OAFilterState = LONG;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;

// --- Class and interface ids ------------------------------------------------------------------
inline constexpr com::CLSID CLSID_FilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IGraphBuilder = {
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IBaseFilter = {
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IBasicVideo = {
    0x56A868B5, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IVideoWindow = {
    0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IMediaEventEx = {
    0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr com::IID IID_IMediaSeeking = {
    0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr com::IID IID_IMediaControl = {
    0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// The anchor overlay filter: one GUID is both its class id and the id of IAnchorOverlay.
inline constexpr com::CLSID CLSID_AnchorOverlay = {
    0x1272D6E2, 0x3790, 0x11D2, {0xA5, 0x7E, 0x00, 0xC0, 0x4F, 0xCA, 0x35, 0xF5}};
inline constexpr com::IID IID_IAnchorOverlay = CLSID_AnchorOverlay;

// Time formats of IMediaSeeking.
inline constexpr com::GUID TIME_FORMAT_FRAME = {
    0x7B785570, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
inline constexpr com::GUID TIME_FORMAT_MEDIA_TIME = {  // 100 ns units, the initial format
    0x7B785574, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};

// --- Constants --------------------------------------------------------------------------------
inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

// Filter states reported by IMediaControl::GetState.
inline constexpr OAFilterState State_Stopped = 0;
inline constexpr OAFilterState State_Paused = 1;
inline constexpr OAFilterState State_Running = 2;

// Timeout without limit (GetState takes it as a LONG: -1).
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

// IMediaSeeking::SetPositions flags (the low two bits select the positioning).
inline constexpr DWORD AM_SEEKING_NoPositioning = 0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 2;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 3;

// IMediaEventEx::SetNotifyFlags: 0 posts the notify message and queues events; this stops both.
inline constexpr LONG AM_MEDIAEVENT_NONOTIFY = 1;

// Event codes of IMediaEventEx::GetEvent.
inline constexpr LONG EC_COMPLETE = 0x01;    // param1: HRESULT of the playback, param2: 0
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;  // param1: the failing HRESULT
inline constexpr LONG EC_CLOCK_CHANGED = 0x0D;
inline constexpr LONG EC_PAUSED = 0x0E;      // param1: HRESULT of the pause

// Results.
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);  // GetEvent: queue empty
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;        // GetState: in transition
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;            // some streams unrendered
inline constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022Fu);
inline constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);

// --- Graph interfaces -------------------------------------------------------------------------
// Destructors are protected: objects are freed through Release only.

struct IBaseFilter : com::IUnknown {
 protected:
  ~IBaseFilter() = default;
};

struct IGraphBuilder : com::IUnknown {
  // Adds the filter to the graph (the graph keeps a reference); name may be null.
  virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
  // Builds the graph that plays the file. Success codes other than S_OK (VFW_S_PARTIAL_RENDER)
  // mean some streams were left out.
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : com::IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  // Pauses (so the current frame is shown), then stops; the position is kept.
  virtual HRESULT StopWhenReady() = 0;
  // VFW_S_STATE_INTERMEDIATE while a transition is still running after msTimeout. The player
  // waits with INFINITE when it releases the graph, so a backend must return even then: once the
  // transition is done, or with VFW_S_STATE_INTERMEDIATE when it cannot complete.
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* state) = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaSeeking : com::IUnknown {
  virtual HRESULT SetTimeFormat(const com::GUID* format) = 0;
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
  // Each flags word is one of the AM_SEEKING_*Positioning values; a pointer may be null with
  // AM_SEEKING_NoPositioning.
  virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                               DWORD stopFlags) = 0;

 protected:
  ~IMediaSeeking() = default;
};

struct IMediaEventEx : com::IUnknown {
  // Each queued event posts message to window with wParam 0 and lParam instanceData.
  virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG noNotifyFlags) = 0;
  // Takes the oldest event; E_ABORT when none arrives within msTimeout.
  virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) = 0;
  // Frees what GetEvent handed out with the event; to be called for every event taken.
  virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEventEx() = default;
};

struct IVideoWindow : com::IUnknown {
  virtual HRESULT put_Owner(OAHWND owner) = 0;
  virtual HRESULT put_WindowStyle(LONG style) = 0;
  virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
  virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
  virtual HRESULT put_AutoShow(LONG autoShow) = 0;  // OATRUE: shown when the graph pauses or runs
  virtual HRESULT put_Visible(LONG visible) = 0;
  virtual HRESULT put_Width(LONG width) = 0;
  virtual HRESULT put_Height(LONG height) = 0;

 protected:
  ~IVideoWindow() = default;
};

struct IBasicVideo : com::IUnknown {
  // The native size of the video, in pixels.
  virtual HRESULT GetVideoSize(LONG* width, LONG* height) = 0;

 protected:
  ~IBasicVideo() = default;
};

// --- Anchor overlay ---------------------------------------------------------------------------

// One key frame of an anchor: the rectangle, in the video's own pixels, at a frame number.
struct AnchorKeyFrame {
  int32_t frame;
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};
static_assert(sizeof(AnchorKeyFrame) == 20, "key frames are five packed 32-bit integers");

inline constexpr int32_t SHAPE_RECT = 0;
inline constexpr int32_t SHAPE_ELLIPSE = 1;

// Every argument is 32-bit; colours are passed through unchanged. Only CreateAnchor's result is
// meaningful to the player. The declaration order is the method-table order.
struct IAnchorOverlay : com::IUnknown {
  virtual HRESULT Refresh() = 0;  // 3
  virtual HRESULT Reserved4() = 0;
  virtual HRESULT Reserved5() = 0;
  virtual HRESULT Reserved6() = 0;
  virtual HRESULT Reserved7() = 0;
  virtual HRESULT Reserved8() = 0;
  virtual HRESULT Reserved9() = 0;
  virtual HRESULT Reserved10() = 0;
  // 11: returns the new anchor's id.
  virtual int32_t CreateAnchor(int32_t lineWidth, int32_t colour, int32_t shape) = 0;
  virtual HRESULT Reserved12() = 0;
  // 13: the overlay copies the array; the caller frees it after the call.
  virtual HRESULT SetKeyFrames(int32_t id, const AnchorKeyFrame* frames, int32_t count) = 0;
  virtual HRESULT Reserved14() = 0;
  virtual HRESULT SetAnchorColor(int32_t id, int32_t colour) = 0;  // 15
  virtual HRESULT ShowAnchor(int32_t id, int32_t show) = 0;        // 16
  virtual HRESULT ShowAllAnchors(int32_t show) = 0;                // 17
  virtual HRESULT RemoveAllAnchors() = 0;                          // 18

 protected:
  ~IAnchorOverlay() = default;
};

}  // namespace dshow
