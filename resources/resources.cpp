#include "resources/resources.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

#include "resources/data.h"

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
    KLP_VERSION_TEXT,
    KLP_VERSION_TEXT,
    {KLP_VERSION_MAJOR, KLP_VERSION_MINOR, KLP_VERSION_PATCH, 0},
};

// Bitmaps, cursors and dialogs by id.
struct Entry {
  unsigned id;
  std::variant<const Bitmap& (*)(), const Cursor& (*)(), const DialogTemplate& (*)()> data;
};

constexpr Entry kTable[] = {
    {IDB_IDLE, &IdleBitmap},
    {IDC_ANCHOR, &AnchorCursor},
    {IDD_ABOUT, &AboutDialog},
    {IDD_PROPERTIES, &PropertiesDialog},
};

template <typename T>
const T* Find(unsigned id) {
  for (const Entry& e : kTable)
    if (auto* get = std::get_if<const T& (*)()>(&e.data); get && e.id == id) return &(*get)();
  return nullptr;
}

}  // namespace

const Bitmap* FindBitmap(unsigned id) { return Find<Bitmap>(id); }
const Cursor* FindCursor(unsigned id) { return Find<Cursor>(id); }
const DialogTemplate* FindDialog(unsigned id) { return Find<DialogTemplate>(id); }

const DialogControl* DialogTemplate::Find(int controlId) const {
  for (size_t i = 0; i < controlCount; ++i)
    if (controls[i].id == controlId) return &controls[i];
  return nullptr;
}

std::string_view FindString(unsigned id) {
  for (const auto& e : kStrings)
    if (e.id == id) return e.text;
  return {};
}

int LoadString(unsigned id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  std::string_view s = FindString(id);
  size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
  if (n > 0) std::memcpy(buffer, s.data(), n);
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
