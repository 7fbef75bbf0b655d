#include "tests/fuzz/presenter_check.h"

#include <random>
#include <set>

#include "platform/gtk/presenter.h"
#include "platform/gtk/protocol.h"
#include "platform/sim/sim_desktop.h"
#include "tests/gtk/presenter_desk.h"
#include "platform/win/win.h"
#include "resources/resources.h"
#include "tests/fuzz/scripted_helper.h"

namespace klp::fuzz {
namespace {

using Desk = klp::test::PresenterDesk;

// Ends on OK, Cancel and the close box; any other button checks or unchecks the box that shows
// anchors, so that the helper is sent states to update.
win::INT_PTR DialogProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  if (msg == win::WM_CLOSE) return win::EndDialog(dialog, 3);
  if (msg != win::WM_COMMAND) return msg == win::WM_INITDIALOG;
  if (wParam == static_cast<win::WPARAM>(win::IDOK)) return win::EndDialog(dialog, 1);
  if (wParam == static_cast<win::WPARAM>(win::IDCANCEL)) return win::EndDialog(dialog, 2);
  const bool on = win::IsDlgButtonChecked(dialog, resources::IDC_SHOWANCHOR) == win::BST_CHECKED;
  win::CheckDlgButton(dialog, resources::IDC_SHOWANCHOR, on ? win::BST_UNCHECKED : win::BST_CHECKED);
  return 1;
}

}  // namespace

std::string CheckPresenter(std::string_view bytes) {
  if (bytes.empty()) return "";
  const auto mode = static_cast<unsigned char>(bytes[0]);
  const bool dialog = mode & 1;
  HelperScript& script = Script();
  script = HelperScript{};
  script.startFails = (mode & 0x0C) == 0x08;
  if (!(mode & 0x10)) script.says = "ready 1\n";
  script.says += bytes.substr(1);
  script.says += dialog ? "\nclose $S\nkey $S 27\n" : "\nchosen $S 0\n";
  std::minstd_rand cuts(mode + 1u);
  for (std::size_t at = 0; at < script.says.size();) {
    script.reads.push_back(1 + cuts() % 48);
    at += script.reads.back();
  }

  Desk desk(gtkui::Presenter::Options{"npklod32-ui", 600000, 600000});
  desk.owner.tag = &desk;
  desk.owner.window = 77;
  const win::HWND owner = desk.CreateBrowserWindow(0, 0, 320, 240);
  std::set<win::UINT_PTR> choosable;
  std::string problem;
  if (!dialog) {
    win::HMENU m = win::CreatePopupMenu();
    win::AppendMenuA(m, win::MF_GRAYED, 5000, "Play");
    win::AppendMenuA(m, win::MF_STRING, 5001, "Pause");
    win::AppendMenuA(m, win::MF_SEPARATOR, 0, nullptr);
    win::AppendMenuA(m, win::MF_STRING, 5003, "&Properties...\\\n");
    const auto chosen = static_cast<win::UINT_PTR>(
        win::TrackPopupMenu(m, win::TPM_RETURNCMD, 30, 40, 0, owner, nullptr));
    win::DestroyMenu(m);
    if (chosen != 0 && chosen != 5001 && chosen != 5003) problem = "a command not in the menu";
  } else {
    const unsigned id = mode & 2 ? resources::IDD_ABOUT : resources::IDD_PROPERTIES;
    const win::INT_PTR result =
        win::DialogBoxParamA(nullptr, win::MAKEINTRESOURCEA(id), owner, &DialogProc, 0);
    if (result < 1 || result > 3) problem = "the dialog did not end";
  }
  if (problem.empty() && desk.presenter.Busy()) problem = "still busy after the request";
  // What the plug-in said is in the protocol's own form, and the request comes first.
  for (const std::string& line : script.heard) {
    const auto m = gtkui::Parse(line);
    if (problem.empty() && (!m || gtkui::Format(*m) != line)) problem = "sent a malformed line";
  }
  if (problem.empty() && !script.heard.empty() &&
      script.heard[0].rfind(dialog ? "dialog 1 " : "menu 1 ", 0) != 0)
    problem = "the request did not come first";
  return problem;
}

std::vector<std::string> PresenterSeeds() {
  using namespace std::string_literals;
  return {
      "\x00" "chosen $S 5001\n"s,
      "\x00" "alive\nchosen 0 5001\nchosen $S 5000\n"s,
      "\x10ready 1\nalive\nchosen $S 5003\n"s,
      "\x10ready 2\n"s,
      "\x01" "click $S 202\nclick $S 202\nclick $S 205\nclick $S -1\nkey $S 13\n"s,
      "\x01" "click $S 2\nclose $S\n"s,
      "\x03key $S 27\nkey $S 4294967309\nclick $S 1\n"s,
      "\x01" "click $S 206\nclick $S 204\nclose 99\nclick $S 4294967298\nkey $S 13\n"s,
      "\x09" "chosen $S 5001\n"s,
  };
}

}  // namespace klp::fuzz
