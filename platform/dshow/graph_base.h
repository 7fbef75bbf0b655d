// What every filter graph backend answers alike: one COM object with the six graph interfaces
// (QueryInterface, reference counting), the checks of a seek's arguments, the time formats, and
// the 16-bit file path back to bytes. A backend derives from GraphBase and implements the rest.
#pragma once

#include <atomic>
#include <string>

#include "platform/dshow/dshow.h"

namespace dshow {

class GraphBase : public IGraphBuilder,
                  public IMediaControl,
                  public IMediaSeeking,
                  public IMediaEventEx,
                  public IVideoWindow,
                  public IBasicVideo {
 public:
  com::IUnknown* Unknown() { return static_cast<IGraphBuilder*>(this); }

  HRESULT QueryInterface(const com::IID& iid, void** object) override;
  com::ULONG AddRef() override { return ++refs_; }
  com::ULONG Release() override;

  // Frames or media time (100 ns); the latter at first.
  HRESULT SetTimeFormat(const com::GUID* format) override;

 protected:
  virtual ~GraphBase() = default;

  // The seek SetPositions asks for: S_OK with *seek true and *newStop telling whether *stop
  // counts, S_OK with *seek false for nothing to do, or the failure to answer. Only absolute
  // seeks, with or without a new absolute stop, are made.
  static HRESULT CheckSeek(const LONGLONG* current, DWORD currentFlags, const LONGLONG* stop,
                           DWORD stopFlags, bool* seek, bool* newStop);

  bool inFrames_ = false;  // TIME_FORMAT_FRAME, else media time (100 ns)

 private:
  std::atomic<com::ULONG> refs_{1};
};

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(LPCWSTR s);

// The 16-bit path back to file-system bytes: units up to 0xFF are the bytes the player widened
// one by one (MultiByteToWideChar); any larger unit means UTF-16, written as UTF-8.
std::string PathBytes(LPCWSTR path);

}  // namespace dshow
