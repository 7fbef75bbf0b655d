#include "platform/dshow/graph_base.h"

#include <algorithm>
#include <string_view>

namespace dshow {

HRESULT GraphBase::QueryInterface(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  void* found = nullptr;
  if (iid == com::IID_IUnknown || iid == IID_IGraphBuilder)
    found = static_cast<IGraphBuilder*>(this);
  else if (iid == IID_IMediaControl)
    found = static_cast<IMediaControl*>(this);
  else if (iid == IID_IMediaSeeking)
    found = static_cast<IMediaSeeking*>(this);
  else if (iid == IID_IMediaEventEx)
    found = static_cast<IMediaEventEx*>(this);
  else if (iid == IID_IVideoWindow)
    found = static_cast<IVideoWindow*>(this);
  else if (iid == IID_IBasicVideo)
    found = static_cast<IBasicVideo*>(this);
  *object = found;
  if (!found) return com::E_NOINTERFACE;
  AddRef();
  return com::S_OK;
}

com::ULONG GraphBase::Release() {
  com::ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT GraphBase::SetTimeFormat(const com::GUID* format) {
  if (!format) return com::E_POINTER;
  if (*format != TIME_FORMAT_FRAME && *format != TIME_FORMAT_MEDIA_TIME) return com::E_INVALIDARG;
  inFrames_ = *format == TIME_FORMAT_FRAME;
  return com::S_OK;
}

HRESULT GraphBase::CheckSeek(const LONGLONG* current, DWORD currentFlags, const LONGLONG* stop,
                             DWORD stopFlags, bool* seek, bool* newStop) {
  DWORD how = currentFlags & AM_SEEKING_PositioningBitsMask;
  DWORD stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
  *seek = *newStop = false;
  if ((how == AM_SEEKING_AbsolutePositioning && !current) ||
      (stopHow == AM_SEEKING_AbsolutePositioning && !stop))
    return com::E_POINTER;
  if (how == AM_SEEKING_NoPositioning && stopHow == AM_SEEKING_NoPositioning) return com::S_OK;
  if (how != AM_SEEKING_AbsolutePositioning || stopHow == AM_SEEKING_RelativePositioning)
    return com::E_NOTIMPL;
  *seek = true;
  *newStop = stopHow == AM_SEEKING_AbsolutePositioning;
  return com::S_OK;
}

std::string Utf8(LPCWSTR s) {
  std::string out;
  for (; *s; ++s) {
    uint32_t c = *s;
    if (c >= 0xD800 && c <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(s[1]) - 0xDC00);
      ++s;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string PathBytes(LPCWSTR path) {
  std::u16string_view units(path);
  if (!std::all_of(units.begin(), units.end(), [](char16_t c) { return c <= 0xFF; }))
    return Utf8(path);
  return std::string(units.begin(), units.end());
}

}  // namespace dshow
