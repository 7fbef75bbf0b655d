// The trace channel (SysOut) and the error event (FireOnError) from an instance to its script
// object, and the composed event method names they and the script events use.
#pragma once

#include <cstdint>

#include "platform/npapi/npapi.h"

enum KLError : int32_t {
  ERR_PROJECT_OPEN = 1,
  ERR_MOVIE_OPEN = 2,
  ERR_MOVIE_NOT_DELIVERED = 3,
  ERR_DOWNLOAD_BROKEN = 4,
  ERR_ANCHOR = 5,
  ERR_MARKER = 6,
  ERR_NO_MOVIE = 7,
};

inline constexpr int kEventNameSize = 256;

// Sends text to the script object's OnSysOut (JRI) and to the page function composed from
// "OnSysOut" (NPRuntime, when the page defines it) when the instance has kldebug on. Empty or
// missing text sends nothing.
void SysOut(NPP instance, const char* text);
// Calls the script object's OnError with the composed name and code (JRI) and the page function
// of the composed name with the code (NPRuntime), then traces "<OnError>" and the code when
// either took it.
void FireOnError(NPP instance, int32_t code);

// Composes the event method name for string id eventId: the instance's name and "_" (when it
// has a name, even an empty one), then the event name. A name too long for the buffer is cut so
// that the event name always fits whole: the result has at most kEventNameSize - 1 characters.
void ComposeEventName(const char* instanceName, unsigned eventId, char (&out)[kEventNameSize]);
// The same with the event name given as text ("OnSysOut" for the page's trace function).
void ComposeEventName(const char* instanceName, const char* event, char (&out)[kEventNameSize]);
