// Modal dialogs from the module's templates. The dialog is a window of the dialog class whose
// procedure hands every message to the dialog procedure; its controls are state kept with it.
#include "platform/win/desktop.h"
#include "platform/win/win.h"

namespace win {
namespace {

using resources::ControlKind;
using resources::DialogControl;
using resources::DialogTemplate;

constexpr const char* kDialogClass = "#32770";

// Dialog units to pixels for the templates' 8-point font: 6 x 13 pixels per character cell.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

Dialog* Record(HWND hwnd) {
  Desktop* d = Desktop::Current();
  if (!d) return nullptr;
  auto it = d->dialogs_.find(hwnd);
  return it == d->dialogs_.end() ? nullptr : &it->second;
}

// A dialog that still takes input.
Dialog* OpenDialog(HWND hwnd) {
  Dialog* rec = Record(hwnd);
  return rec && !rec->ended ? rec : nullptr;
}

LRESULT DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const Dialog* rec = Record(hwnd);
  if (!rec || !rec->proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  INT_PTR handled = rec->proc(hwnd, msg, wParam, lParam);
  if (handled) return handled;
  if (msg == WM_CLOSE) {
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The dialog's screen rectangle: centred on the owner with DS_CENTER, else placed at the
// template's position in the owner's client area.
RECT Placement(const DialogTemplate& t, HWND owner) {
  int w = t.cx * kBaseX / 4, h = t.cy * kBaseY / 8;
  POINT at{t.x * kBaseX / 4, t.y * kBaseY / 8};
  if (owner && (t.style & resources::dlg::DS_CENTER)) {
    RECT client;
    GetClientRect(owner, &client);
    POINT centre{client.right / 2, client.bottom / 2};
    ClientToScreen(owner, &centre);
    at = POINT{centre.x - w / 2, centre.y - h / 2};
  } else if (owner) {
    ClientToScreen(owner, &at);
  }
  return RECT{at.x, at.y, at.x + w, at.y + h};
}

// Clears the other radio buttons of the group holding control index i: the controls from the
// last WS_GROUP control at or before it up to the next WS_GROUP control.
void ClearRadioGroup(Dialog& rec, size_t i) {
  const DialogTemplate& t = *rec.tmpl;
  auto starts = [&](size_t k) { return (t.controls[k].style & resources::dlg::WS_GROUP) != 0; };
  size_t first = i;
  while (first > 0 && !starts(first)) --first;
  for (size_t k = first; k < t.controlCount && (k == first || !starts(k)); ++k)
    if (k != i && t.controls[k].kind == ControlKind::AutoRadioButton)
      rec.checks[t.controls[k].id] = BST_UNCHECKED;
}

// A lingering dialog goes once its input has ended it.
void Settle(HWND dialog) {
  const Dialog* rec = Record(dialog);
  if (rec && rec->ended && rec->lingers) Desktop::Current()->DiscardDialog(dialog);
}

bool SendButtonClick(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), 0);
  Settle(dialog);
  return true;
}

}  // namespace

const Dialog* Desktop::FindDialog(HWND dialog) const {
  auto it = dialogs_.find(dialog);
  return it == dialogs_.end() ? nullptr : &it->second;
}

bool Desktop::ClickDialogControl(HWND dialog, int id) {
  Dialog* rec = OpenDialog(dialog);
  if (!rec || id < 0) return false;
  const DialogTemplate& t = *rec->tmpl;
  for (size_t i = 0; i < t.controlCount; ++i) {
    const DialogControl& c = t.controls[i];
    if (c.id != id) continue;
    switch (c.kind) {
      case ControlKind::AutoCheckBox:
        rec->checks[id] = rec->checks[id] == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
      case ControlKind::AutoRadioButton:
        ClearRadioGroup(*rec, i);
        rec->checks[id] = BST_CHECKED;
        break;
      case ControlKind::PushButton:
      case ControlKind::DefPushButton:
        break;
      default:
        return false;
    }
    return SendButtonClick(dialog, id);
  }
  return false;
}

bool Desktop::PressDialogKey(HWND dialog, UINT vk) {
  Dialog* rec = OpenDialog(dialog);
  if (!rec) return false;
  if (vk == VK_ESCAPE) return SendButtonClick(dialog, IDCANCEL);
  if (vk != VK_RETURN) return false;
  int id = IDOK;
  for (size_t i = 0; i < rec->tmpl->controlCount; ++i)
    if (rec->tmpl->controls[i].kind == ControlKind::DefPushButton) id = rec->tmpl->controls[i].id;
  return SendButtonClick(dialog, id);
}

bool Desktop::CloseDialog(HWND dialog) {
  Dialog* rec = OpenDialog(dialog);
  if (!rec || !(rec->tmpl->style & resources::dlg::WS_SYSMENU)) return false;
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  Settle(dialog);
  return true;
}

void Desktop::DiscardDialog(HWND dialog) {
  if (!dialogs_.count(dialog)) return;
  if (Find(dialog)) DestroyWindow(dialog);
  dialogs_.erase(dialog);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM initParam) {
  Desktop* d = Desktop::Current();
  if (!d || !proc || !IS_INTRESOURCE(templateName) || (owner && !d->Find(owner))) return -1;
  const DialogTemplate* t =
      resources::FindDialog(static_cast<unsigned>(reinterpret_cast<uintptr_t>(templateName)));
  if (!t) return -1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &DialogWindowProc;
  wc.lpszClassName = kDialogClass;
  RegisterClassA(&wc);  // once per desktop; later calls find it taken
  RECT r = Placement(*t, owner);
  HWND dialog = CreateWindowExA(t->exStyle, kDialogClass, t->caption, t->style | WS_VISIBLE,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr,
                                nullptr, instance, nullptr);
  if (!dialog) return -1;
  Dialog& rec = d->dialogs_[dialog];
  rec.tmpl = t;
  rec.proc = proc;
  rec.owner = owner;
  for (size_t i = 0; i < t->controlCount; ++i)
    if (t->controls[i].Checkable()) rec.checks[t->controls[i].id] = BST_UNCHECKED;
  SendMessageA(dialog, WM_INITDIALOG, 0, initParam);
  if (!rec.ended && d->RunDialog(dialog)) {
    // Shown without waiting: the result is not known yet.
    if (Dialog* open = OpenDialog(dialog)) {
      open->lingers = true;
      return 0;
    }
  }
  const Dialog* done = Record(dialog);
  INT_PTR result = done && done->ended ? done->result : -1;
  d->DiscardDialog(dialog);
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Dialog* rec = OpenDialog(dialog);
  if (!rec) return FALSE;
  rec->ended = true;
  rec->result = result;
  return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  Dialog* rec = Record(dialog);
  if (!rec) return FALSE;
  auto it = rec->checks.find(id);
  if (it == rec->checks.end()) return FALSE;
  it->second = check;
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  const Dialog* rec = Record(dialog);
  if (!rec) return BST_UNCHECKED;
  auto it = rec->checks.find(id);
  return it == rec->checks.end() ? BST_UNCHECKED : it->second;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  Dialog* rec = Record(dialog);
  if (!rec) return FALSE;
  for (auto& [id, state] : rec->checks)
    if (id >= first && id <= last) state = id == check ? BST_CHECKED : BST_UNCHECKED;
  return TRUE;
}

}  // namespace win
