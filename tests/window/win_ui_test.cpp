// The win layer's menus, dialog manager and GDI where the window tests do not reach.
#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"
#include "platform/win/win.h"
#include "resources/resources.h"

namespace {

using Script = sim::SimDesktop::DialogScript;
const win::HINSTANCE kModule = reinterpret_cast<win::HINSTANCE>(0x30000);

struct WinUiTest : ::testing::Test {
  sim::SimDesktop desk;
  win::HWND owner = desk.CreateBrowserWindow(0, 0, 200, 100);
};

TEST_F(WinUiTest, OnlyAnEnabledItemCanBeChosen) {
  win::HMENU menu = win::CreatePopupMenu();
  win::AppendMenuA(menu, win::MF_STRING, 7, "Seven");
  win::AppendMenuA(menu, win::MF_SEPARATOR, 0, nullptr);
  win::AppendMenuA(menu, win::MF_STRING | win::MF_GRAYED, 8, "Eight");
  for (win::UINT_PTR answer : {7u, 8u, 0u, 9u}) desk.QueueMenuChoice(answer);
  EXPECT_EQ(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 7);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
  EXPECT_EQ(desk.PendingPosted(), 0u) << "TPM_RETURNCMD posts nothing";
  EXPECT_TRUE(win::DestroyMenu(menu));
  EXPECT_FALSE(win::TrackPopupMenu(menu, 0, 0, 0, 0, owner, nullptr));
}

win::UINT g_commands[4];
int g_count;

win::INT_PTR Recorder(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  if (msg == win::WM_COMMAND && g_count < 4) g_commands[g_count++] = static_cast<win::UINT>(wParam);
  if (msg == win::WM_COMMAND && wParam == 1) win::EndDialog(dialog, 42);
  return msg == win::WM_INITDIALOG;
}

TEST_F(WinUiTest, TheDialogManagerTurnsInputIntoCommands) {
  using namespace resources;
  g_count = 0;
  win::HWND dialog = nullptr;
  desk.QueueDialog(Script()
                       .Then([&](win::HWND d) { dialog = d; })
                       .Click(IDC_SINGLECLICK)
                       .Click(IDC_DOUBLECLICK)
                       .Click(-1)      // a group box: no input
                       .CloseBox()     // unhandled WM_CLOSE: IDCANCEL
                       .Escape()
                       .Enter()        // the default button, which ends the dialog
                       .Click(IDC_SHOWANCHOR));
  EXPECT_EQ(win::DialogBoxParamA(kModule, win::MAKEINTRESOURCEA(IDD_PROPERTIES), owner, &Recorder, 0),
            42);
  EXPECT_EQ(g_count, 4);
  EXPECT_EQ(g_commands[0], win::UINT{IDC_SINGLECLICK});
  EXPECT_EQ(g_commands[1], win::UINT{IDC_DOUBLECLICK});
  EXPECT_EQ(g_commands[2], win::UINT{win::IDCANCEL});
  EXPECT_EQ(g_commands[3], win::UINT{win::IDCANCEL});
  const auto& shown = desk.DialogsShown().back();
  EXPECT_EQ(shown.checksAtEnd.at(IDC_SINGLECLICK), win::BST_UNCHECKED) << "one radio group";
  EXPECT_EQ(shown.checksAtEnd.at(IDC_DOUBLECLICK), win::BST_CHECKED);
  EXPECT_EQ(shown.stepsPlayed, 7u);
  EXPECT_FALSE(win::IsWindow(dialog));

  EXPECT_EQ(win::DialogBoxParamA(kModule, win::MAKEINTRESOURCEA(IDD_ABOUT), owner, &Recorder, 0),
            -1)
      << "no script: abandoned";
  EXPECT_EQ(win::DialogBoxParamA(kModule, win::MAKEINTRESOURCEA(108), owner, &Recorder, 0), -1);
}

int g_destroyed;
win::HWND g_dialog;

win::INT_PTR Counter(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  g_destroyed += msg == win::WM_DESTROY;
  if (msg == win::WM_INITDIALOG) g_dialog = dialog;
  return Recorder(dialog, msg, wParam, lParam);
}

TEST_F(WinUiTest, ADialogShownWithoutWaitingLingersUntilItsInputEndsIt) {
  using namespace resources;
  desk.LeaveDialogsOpen();
  g_count = 0;
  g_destroyed = 0;
  auto open = [&] {
    EXPECT_EQ(win::DialogBoxParamA(kModule, win::MAKEINTRESOURCEA(IDD_PROPERTIES), owner, &Counter, 0),
              0);
    return g_dialog;
  };
  win::HWND dialog = open();
  ASSERT_TRUE(win::IsWindow(dialog)) << "still open after DialogBoxParamA";
  EXPECT_TRUE(desk.ClickDialogControl(dialog, IDC_DOUBLECLICK));
  EXPECT_EQ(win::IsDlgButtonChecked(dialog, IDC_DOUBLECLICK), win::BST_CHECKED);
  EXPECT_TRUE(desk.PressDialogKey(dialog, win::VK_ESCAPE)) << "handled as IDCANCEL, not ended";
  EXPECT_TRUE(win::IsWindow(dialog));
  EXPECT_TRUE(desk.PressDialogKey(dialog, win::VK_RETURN));
  EXPECT_FALSE(win::IsWindow(dialog)) << "ended by OK: gone";
  EXPECT_EQ(desk.FindDialog(dialog), nullptr);
  EXPECT_FALSE(desk.ClickDialogControl(dialog, IDC_SHOWANCHOR));
  EXPECT_EQ(g_destroyed, 1);

  // Its owner goes away: destroyed with no command.
  dialog = open();
  int commands = g_count;
  desk.DiscardDialog(dialog);
  EXPECT_FALSE(win::IsWindow(dialog));
  EXPECT_EQ(desk.FindDialog(dialog), nullptr);
  EXPECT_EQ(g_count, commands);
  EXPECT_EQ(g_destroyed, 2);
}

TEST_F(WinUiTest, ABitmapCannotBeDeletedWhileSelected) {
  win::HBITMAP bitmap = win::LoadBitmapA(kModule, win::MAKEINTRESOURCEA(resources::IDB_IDLE));
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  EXPECT_EQ(win::SelectObject(dc, bitmap), nullptr);
  EXPECT_FALSE(win::DeleteObject(bitmap));
  EXPECT_TRUE(win::DeleteDC(dc));
  EXPECT_FALSE(win::BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, win::SRCCOPY)) << "a DC no longer alive";
  EXPECT_TRUE(win::DeleteObject(bitmap));
  EXPECT_EQ(desk.GdiObjects(), 0u);
  EXPECT_EQ(win::LoadBitmapA(kModule, win::MAKEINTRESOURCEA(104)), nullptr);
}

}  // namespace
