#include "resources/resources.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace resources {
namespace {

struct StringEntry {
  unsigned id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
    {IDS_MENU_PLAY, "Play"},
    {IDS_MENU_PAUSE, "Pause"},
    {IDS_MENU_STOP, "Stop"},
    {IDS_MENU_PROPERTIES, "Properties..."},
    {IDS_MENU_ABOUT, "About..."},
    {IDS_EVENT_ONMARKER, "OnMarker"},
    {IDS_EVENT_ONKLEVENT, "OnKLEvent"},
    {IDS_EVENT_ONACTIVATEANCHOR, "OnActivateAnchor"},
    {IDS_EVENT_ONERROR, "OnError"},
    {IDS_ATTR_SRC, "src"},
    {IDS_ATTR_HIDDEN, "hidden"},
    {IDS_ATTR_WIDTH, "width"},
    {IDS_ATTR_HEIGHT, "height"},
    {IDS_ATTR_ACTIVATEMETHOD, "activatemethod"},
    {IDS_ATTR_CHANGECURSOR, "changecursor"},
    {IDS_ATTR_SHOWANCHOR, "showanchor"},
    {IDS_ATTR_AUTOPLAY, "autoplay"},
    {IDS_ATTR_AUTOREPEAT, "autorepeat"},
    {IDS_ATTR_KLDEBUG, "kldebug"},
    {IDS_ATTR_NAME, "name"},
};

constexpr VersionInfo kVersion = {
    "application/kelvora-movie",
    "klp",
    "Kelvora Project File (*.klp)",
    "NPKLOD32, KL-MOVIE plugin DLL",
    "NPKLOD32, KL-MOVIE plugin DLL",
    "NPKLOD32",
    "NPKLOD32.DLL",
    "2.50.0007",
    "2.50.0007",
    {2, 50, 7, 0},
};

}  // namespace

std::string_view FindString(unsigned id) {
  for (const auto& e : kStrings)
    if (e.id == id) return e.text;
  return {};
}

int LoadString(unsigned id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  std::string_view s = FindString(id);
  size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

const VersionInfo& Version() { return kVersion; }

const char* MimeDescription() {
  static const std::string desc = std::string(kVersion.mimeType) + ":" + kVersion.fileExtents +
                                  ":" + kVersion.fileOpenName;
  return desc.c_str();
}

}  // namespace resources
