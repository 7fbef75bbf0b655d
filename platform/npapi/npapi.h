// NPAPI declarations for x86_64 Linux browsers: types, structures and constants, laid out as
// browsers expect them. Only what the plug-in and its hosts use is declared.
#pragma once

#include <cstdint>

#include "platform/jri/jri.h"

extern "C" {

using NPError = int16_t;
using NPReason = int16_t;
using NPBool = unsigned char;
using NPMIMEType = char*;

struct NPP_t {
  void* pdata;  // plug-in private data
  void* ndata;  // browser private data
};
using NPP = NPP_t*;

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPSavedData {
  int32_t len;
  void* buf;
};

struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

struct NPWindow {
  void* window;  // X Window for windowed plug-ins; null for windowless ones
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  void* ws_info;  // NPSetWindowCallbackStruct*
  NPWindowType type;
};

// X types kept opaque here so that this header needs no X11 include.
struct NPSetWindowCallbackStruct {
  int32_t type;
  void* display;      // Display*
  void* visual;       // Visual*
  unsigned long colormap;
  unsigned int depth;
};

struct NPFullPrint {
  NPBool pluginPrinted;
  NPBool printOne;
  void* platformPrint;
};

struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
};

struct NPPrint {
  uint16_t mode;  // NP_FULL or NP_EMBED
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
};

enum NPPVariable {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginTransparentBool = 4,
  NPPVjavaClass = 5,
  NPPVpluginNeedsXEmbed = 14,
  NPPVpluginScriptableNPObject = 15,
};

enum NPNVariable {
  NPNVxDisplay = 1,
  NPNVxtAppContext = 2,
  NPNVnetscapeWindow = 3,
  NPNVjavascriptEnabledBool = 4,
  NPNVToolkit = 13,
  NPNVSupportsXEmbedBool = 14,
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
  NPNVSupportsWindowless = 17,
};

}  // extern "C"

// Display modes.
inline constexpr uint16_t NP_EMBED = 1;
inline constexpr uint16_t NP_FULL = 2;

// Stream types.
inline constexpr uint16_t NP_NORMAL = 1;
inline constexpr uint16_t NP_SEEK = 2;
inline constexpr uint16_t NP_ASFILE = 3;
inline constexpr uint16_t NP_ASFILEONLY = 4;

// Interface version.
inline constexpr int NP_VERSION_MAJOR = 0;
inline constexpr int NP_VERSION_MINOR = 11;

// Error codes.
inline constexpr NPError NPERR_NO_ERROR = 0;
inline constexpr NPError NPERR_GENERIC_ERROR = 1;
inline constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
inline constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
inline constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
inline constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
inline constexpr NPError NPERR_INVALID_PLUGIN_ERROR = 6;
inline constexpr NPError NPERR_INVALID_PLUGIN_DIR_ERROR = 7;
inline constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
inline constexpr NPError NPERR_INVALID_PARAM = 9;
inline constexpr NPError NPERR_INVALID_URL = 10;
inline constexpr NPError NPERR_FILE_NOT_FOUND = 11;
inline constexpr NPError NPERR_NO_DATA = 12;
inline constexpr NPError NPERR_STREAM_NOT_SEEKABLE = 13;

// Reasons.
inline constexpr NPReason NPRES_DONE = 0;
inline constexpr NPReason NPRES_NETWORK_ERR = 1;
inline constexpr NPReason NPRES_USER_BREAK = 2;
