// Pop-up menus: built with CreatePopupMenu/AppendMenuA, presented by the desktop backend.
#include "platform/win/desktop.h"
#include "platform/win/win.h"

namespace win {
namespace {

Menu* FindMenu(HMENU menu) {
  Desktop* d = Desktop::Current();
  if (!d) return nullptr;
  auto it = d->menus_.find(menu);
  return it == d->menus_.end() ? nullptr : it->second.get();
}

}  // namespace

HMENU CreatePopupMenu() {
  Desktop* d = Desktop::Current();
  if (!d) return nullptr;
  auto menu = std::make_unique<Menu>();
  menu->handle = reinterpret_cast<HMENU>(d->NewHandle());
  HMENU h = menu->handle;
  d->menus_[h] = std::move(menu);
  return h;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  if (flags & MF_SEPARATOR) {
    m->items.push_back(MenuItem{flags, 0, {}});
    return TRUE;
  }
  if (!text) return FALSE;
  m->items.push_back(MenuItem{flags, id, text});
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  Desktop* d = Desktop::Current();
  Menu* m = FindMenu(menu);
  if (!m || !d->Find(owner)) return FALSE;
  UINT_PTR chosen = d->TrackMenu(*m, flags, POINT{x, y}, owner);
  // The backend may only choose what the user could: an enabled item of this menu.
  m = FindMenu(menu);
  bool valid = false;
  if (m && chosen)
    for (const MenuItem& item : m->items) valid = valid || (item.Selectable() && item.id == chosen);
  if (!valid) chosen = 0;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(chosen), 0), 0);
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  Desktop* d = Desktop::Current();
  return d && d->menus_.erase(menu) ? TRUE : FALSE;
}

}  // namespace win
