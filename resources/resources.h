// The module's resources as data: the string table and the version block, looked up by id.
// Dialog templates, the idle bitmap and the anchor cursor join this table as they are built.
#pragma once

#include <cstddef>
#include <string_view>

namespace resources {

// String-table ids.
enum StringId : unsigned {
  IDS_MENU_PLAY = 1001,
  IDS_MENU_PAUSE = 1002,
  IDS_MENU_STOP = 1003,
  IDS_MENU_PROPERTIES = 1004,
  IDS_MENU_ABOUT = 1005,
  IDS_EVENT_ONMARKER = 1101,
  IDS_EVENT_ONKLEVENT = 1102,
  IDS_EVENT_ONACTIVATEANCHOR = 1103,
  IDS_EVENT_ONERROR = 1104,
  IDS_ATTR_SRC = 1201,
  IDS_ATTR_HIDDEN = 1202,
  IDS_ATTR_WIDTH = 1203,
  IDS_ATTR_HEIGHT = 1204,
  IDS_ATTR_ACTIVATEMETHOD = 1205,
  IDS_ATTR_CHANGECURSOR = 1206,
  IDS_ATTR_SHOWANCHOR = 1207,
  IDS_ATTR_AUTOPLAY = 1208,
  IDS_ATTR_AUTOREPEAT = 1209,
  IDS_ATTR_KLDEBUG = 1210,
  IDS_ATTR_NAME = 1211,
};

// The string with the given id, or an empty view when there is none.
std::string_view FindString(unsigned id);

// LoadString semantics: copies at most size - 1 bytes and a terminating zero into buffer and
// returns the number of bytes copied (0 for an unknown id, which leaves an empty string).
int LoadString(unsigned id, char* buffer, int size);

// Size of the buffers the module loads strings into.
inline constexpr int kStringBufferSize = 256;

// Version block (language 0409, code page 04E4), file and product version 2.50.7.0.
struct VersionInfo {
  const char* mimeType;
  const char* fileExtents;
  const char* fileOpenName;
  const char* fileDescription;
  const char* comments;
  const char* internalName;
  const char* originalFilename;
  const char* fileVersion;
  const char* productVersion;
  unsigned short fileVersionParts[4];
};
const VersionInfo& Version();

// "MIMEType:FileExtents:FileOpenName", the form Unix browsers read.
const char* MimeDescription();

}  // namespace resources
