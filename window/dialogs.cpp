// The Properties dialog (this instance's interaction settings) and the About box.
#include "player/movie_play.h"
#include "resources/resources.h"
#include "window/plugin_window.h"

namespace {

constexpr const char* kDialogProp = "KLWndProcProp";

win::UINT Check(bool on) { return on ? win::BST_CHECKED : win::BST_UNCHECKED; }

}  // namespace

void CKLPluginWindow::ShowProperties(win::HWND dialog) const {
  using namespace resources;
  win::CheckDlgButton(dialog, IDC_SHOWANCHOR, Check(m_player && m_player->m_showAnchor));
  win::CheckDlgButton(dialog, IDC_CHANGECURSOR, Check(m_changeCursor != 0));
  win::CheckRadioButton(dialog, IDC_SINGLECLICK, IDC_DOUBLECLICK,
                        m_activateMethod == 1 ? IDC_DOUBLECLICK : IDC_SINGLECLICK);
  win::CheckDlgButton(dialog, IDC_AUTOREPEAT, Check(m_player && m_player->m_autoRepeat));
}

// Applies the dialog's settings at once, in the order of its controls.
void CKLPluginWindow::ApplyProperties(win::HWND dialog) {
  using namespace resources;
  auto checked = [dialog](int id) { return win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED; };
  if (m_player) m_player->SetShowAnchor(checked(IDC_SHOWANCHOR) ? 1 : 0);
  m_changeCursor = checked(IDC_CHANGECURSOR) ? 1 : 0;
  // The last cursor chosen would otherwise stay forced on the window by WM_SETCURSOR.
  if (!m_changeCursor) m_cursor = nullptr;
  if (checked(IDC_SINGLECLICK)) m_activateMethod = 0;
  if (checked(IDC_DOUBLECLICK)) m_activateMethod = 1;
  if (m_player) m_player->m_autoRepeat = checked(IDC_AUTOREPEAT) ? 1 : 0;
}

// OK applies and closes; Cancel, Escape and the close box close without applying.
win::INT_PTR CKLPluginWindow::PropertiesDlgProc(win::HWND dialog, win::UINT msg,
                                                win::WPARAM wParam, win::LPARAM lParam) {
  switch (msg) {
    case win::WM_INITDIALOG: {
      auto* self = reinterpret_cast<CKLPluginWindow*>(lParam);
      win::SetPropA(dialog, kDialogProp, self);
      if (self) self->ShowProperties(dialog);
      return 1;
    }
    case win::WM_COMMAND:
      if (wParam == static_cast<win::WPARAM>(win::IDOK)) {
        if (auto* self = static_cast<CKLPluginWindow*>(win::GetPropA(dialog, kDialogProp)))
          self->ApplyProperties(dialog);
        win::EndDialog(dialog, 1);
        return 1;
      }
      if (wParam == static_cast<win::WPARAM>(win::IDCANCEL)) {
        win::EndDialog(dialog, 1);
        return 1;
      }
      return 0;
    case win::WM_CLOSE:
      win::EndDialog(dialog, 1);
      return 1;
    case win::WM_DESTROY:
      win::RemovePropA(dialog, kDialogProp);
      return 1;
    default:
      return 0;
  }
}

// OK, Enter and the close box close the box; Escape does not.
win::INT_PTR CKLPluginWindow::AboutDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam,
                                           win::LPARAM) {
  if (msg == win::WM_INITDIALOG) return 1;
  if ((msg == win::WM_COMMAND && wParam == static_cast<win::WPARAM>(win::IDOK)) ||
      msg == win::WM_CLOSE) {
    win::EndDialog(dialog, 1);
    return 1;
  }
  return 0;
}
