// The browser desktop's web presentation: menus and dialogs shown without waiting, answered by
// the host's events, and what the host is told to show and take down.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "platform/npdesk/npdesk.h"
#include "platform/npdesk/web_event.h"
#include "platform/win/desktop.h"
#include "plugin/services.h"
#include "resources/resources.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// What the host's imports were asked.
struct Host {
  std::vector<std::string> calls;
  std::string menu, dialog;
  int pictureWidth = 0, pictureHeight = 0;
};
Host* g_host = nullptr;

}  // namespace

extern "C" {
void klp_area_cursor(void*, int32_t, const uint8_t*, int32_t, int32_t, int32_t) {}
void klp_show_menu(void*, int32_t x, int32_t y, const char* items) {
  g_host->calls.push_back("menu " + std::to_string(x) + "," + std::to_string(y));
  g_host->menu = items;
}
void klp_show_dialog(void*, const char* description, const uint8_t* picture, int32_t width,
                     int32_t height) {
  g_host->calls.push_back(std::string("dialog") + (picture ? " with picture" : ""));
  g_host->dialog = description;
  g_host->pictureWidth = width;
  g_host->pictureHeight = height;
}
void klp_dialog_checks(void*, const char* states) {
  g_host->calls.push_back(std::string("checks ") + states);
}
void klp_modal_closed(void*) { g_host->calls.push_back("closed"); }
void klp_area_focus(void*, int32_t x, int32_t y, int32_t w, int32_t h, int32_t ellipse,
                    const char* name) {
  g_host->calls.push_back("focus " + std::to_string(x) + "," + std::to_string(y) + " " +
                          std::to_string(w) + "x" + std::to_string(h) + (ellipse ? " ellipse " : " ") +
                          name);
}
void klp_area_passed(void*, const char* kind, const char* name) {
  g_host->calls.push_back(std::string("passed ") + kind + " " + name);
}
}

namespace {

std::vector<win::MSG> g_messages;
win::WNDPROC g_areaDefault = nullptr;
std::vector<std::string> g_traces;

win::LRESULT AreaProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  if (msg != win::WM_PAINT) g_messages.push_back(win::MSG{hwnd, msg, wp, lp, 0, {0, 0}});
  // Tab is taken with the shift key up; Shift-Tab shows a focus ring; space is not taken.
  if (msg == win::WM_KEYDOWN && wp == win::VK_TAB) {
    if (win::GetKeyState(win::VK_SHIFT) >= 0) return 1;
    win::RECT r{10, 20, 50, 40};
    win::ShowFocusRect(hwnd, &r, win::TRUE, "door");
    win::AnnouncePassed(hwnd, "marker", "start");
    return 1;
  }
  if (msg == win::WM_KILLFOCUS) win::ShowFocusRect(hwnd, nullptr, win::FALSE, nullptr);
  return win::CallWindowProcA(g_areaDefault, hwnd, msg, wp, lp);
}

std::vector<win::UINT> g_dialogCommands;
win::INT_PTR DialogProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  if (msg == win::WM_INITDIALOG) {
    win::CheckDlgButton(dialog, resources::IDC_SHOWANCHOR, win::BST_CHECKED);
    win::CheckDlgButton(dialog, resources::IDC_SINGLECLICK, win::BST_CHECKED);
    return 1;
  }
  if (msg != win::WM_COMMAND) return 0;
  g_dialogCommands.push_back(static_cast<win::UINT>(wParam));
  if (wParam == win::IDOK) win::EndDialog(dialog, 1);
  return 1;
}

class WebDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    g_host = &host_;
    g_messages.clear();
    g_traces.clear();
    g_dialogCommands.clear();
    npdesk::SetTraceSink([](NPP, const char* text) { g_traces.push_back(text); });
    npdesk::Install();
    NPWindow window{};
    window.width = 320;
    window.height = 240;
    window.type = NPWindowTypeDrawable;
    area_ = npdesk::AttachArea(&npp_, &window);
    g_areaDefault = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
        area_, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&AreaProc)));
  }
  void TearDown() override {
    npdesk::InstanceDestroyed(&npp_);
    npdesk::Uninstall();
    npdesk::SetTraceSink(nullptr);
    g_host = nullptr;
  }

  int16_t Send(int32_t type, int32_t button = 0, int32_t x = 10, int32_t y = 10) {
    npdesk::WebEvent e{type, x, y, 0, 0, button, 0, nullptr};
    return npdesk::HandleEvent(&npp_, &e);
  }
  // The context menu's items: Play, Pause (grayed), a separator and Properties.
  void ShowMenu(int x, int y) {
    npdesk::InstanceScope scope(&npp_);
    win::HMENU menu = win::CreatePopupMenu();
    win::AppendMenuA(menu, win::MF_STRING, 5000, "Play");
    win::AppendMenuA(menu, win::MF_STRING | win::MF_GRAYED, 5001, "Pause");
    win::AppendMenuA(menu, win::MF_SEPARATOR, 0, nullptr);
    win::AppendMenuA(menu, win::MF_STRING, 5003, "Pro\"perties...");
    EXPECT_TRUE(win::TrackPopupMenu(menu, win::TPM_RIGHTBUTTON, x, y, 0, area_, nullptr));
    win::DestroyMenu(menu);
  }
  win::INT_PTR ShowDialog(unsigned id) {
    npdesk::InstanceScope scope(&npp_);
    return win::DialogBoxParamA(nullptr, win::MAKEINTRESOURCEA(id), area_, &DialogProc, 0);
  }
  std::vector<win::WPARAM> Commands() const {
    std::vector<win::WPARAM> out;
    for (const win::MSG& m : g_messages)
      if (m.message == win::WM_COMMAND) out.push_back(m.wParam);
    return out;
  }
  size_t Presses() const {
    size_t n = 0;
    for (const win::MSG& m : g_messages) n += m.message == win::WM_LBUTTONDOWN;
    return n;
  }

  Host host_;
  NPP_t npp_{};
  win::HWND area_ = nullptr;
};

TEST_F(WebDesktop, TheMenuIsShownAtOnceAndItsChoiceArrivesAsACommand) {
  ShowMenu(30, 40);
  EXPECT_THAT(host_.calls, ElementsAre("menu 30,40"));
  EXPECT_EQ(host_.menu,
            "[{\"command\":5000,\"text\":\"Play\",\"enabled\":true},"
            "{\"command\":5001,\"text\":\"Pause\",\"enabled\":false},{\"separator\":true},"
            "{\"command\":5003,\"text\":\"Pro\\\"perties...\",\"enabled\":true}]");
  EXPECT_TRUE(Commands().empty()) << "nothing chosen yet";

  // While it is up, the mouse reaches no window.
  EXPECT_EQ(Send(npdesk::kWebPointerDown, 0), 1);
  EXPECT_EQ(Presses(), 0u);

  EXPECT_EQ(Send(npdesk::kWebMenuChoice, 5003), 1);
  EXPECT_THAT(Commands(), ElementsAre(win::WPARAM{5003}));
  EXPECT_THAT(host_.calls, ElementsAre("menu 30,40", "closed"));
  EXPECT_EQ(Send(npdesk::kWebMenuChoice, 5000), 0) << "no menu open";
  Send(npdesk::kWebPointerDown, 0);
  EXPECT_EQ(Presses(), 1u) << "the mouse is back";
}

TEST_F(WebDesktop, OnlyAnOfferedItemCanBeChosenAndClosingChoosesNothing) {
  for (int32_t answer : {5001, 5002, 0, -1}) {
    ShowMenu(0, 0);
    EXPECT_EQ(Send(npdesk::kWebMenuChoice, answer), 1);
  }
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(host_.calls.back(), "closed");
}

TEST_F(WebDesktop, OneMenuOrDialogAtATime) {
  ShowMenu(0, 0);
  ShowMenu(5, 5);
  EXPECT_EQ(ShowDialog(resources::IDD_ABOUT), -1) << "not shown: abandoned";
  EXPECT_THAT(host_.calls, ElementsAre("menu 0,0"));
  EXPECT_THAT(g_traces,
              ElementsAre("! klp.js: a menu or dialog is already open; the menu was not shown",
                          "! klp.js: a menu or dialog is already open; the dialog was not shown"));
  EXPECT_EQ(Send(npdesk::kWebMenuChoice, 5000), 1);
  EXPECT_THAT(Commands(), ElementsAre(win::WPARAM{5000})) << "the first menu still answers";
}

TEST_F(WebDesktop, TheDialogLingersFedByTheHostUntilItsProcedureEndsIt) {
  EXPECT_EQ(ShowDialog(resources::IDD_PROPERTIES), 0) << "returns at once";
  ASSERT_THAT(host_.calls, ElementsAre("dialog"));
  const std::string& d = host_.dialog;
  EXPECT_THAT(d, HasSubstr("{\"template\":109,\"caption\":\"Properties\",\"font\":\"MS Sans Serif\","
                           "\"points\":8,\"closeBox\":true,\"centred\":false,\"size\":[190,136],"
                           "\"placement\":[0,0,285,221],\"controls\":["));
  EXPECT_THAT(d, HasSubstr("{\"id\":202,\"kind\":\"check\",\"text\":\"Show Anchor\","
                           "\"rect\":[15,20,65,11],\"align\":\"left\",\"group\":false,"
                           "\"rightJust\":false}"));
  EXPECT_THAT(d, HasSubstr("{\"id\":1,\"kind\":\"default\",\"text\":\"OK\""));
  EXPECT_THAT(d, HasSubstr("\"checks\":{\"202\":1,\"203\":0,\"204\":0,\"205\":1,\"206\":0}}"));

  EXPECT_EQ(Send(npdesk::kWebPointerDown, 0), 1);
  EXPECT_EQ(Presses(), 0u) << "the owner of a modal dialog takes no mouse input";

  EXPECT_EQ(Send(npdesk::kWebDialogClick, resources::IDC_DOUBLECLICK), 1);
  EXPECT_EQ(host_.calls.back(), "checks {\"202\":1,\"203\":0,\"204\":0,\"205\":0,\"206\":1}");
  EXPECT_EQ(Send(npdesk::kWebDialogKey, 27), 1);
  EXPECT_EQ(Send(npdesk::kWebDialogKey, 65), 1) << "other keys: nothing";
  EXPECT_EQ(Send(npdesk::kWebDialogClick, 999), 1) << "no such control: nothing";
  EXPECT_THAT(g_dialogCommands, ElementsAre(win::UINT{resources::IDC_DOUBLECLICK}, win::UINT{win::IDCANCEL}));
  EXPECT_EQ(host_.calls.size(), 5u) << "states sent after every input";

  EXPECT_EQ(Send(npdesk::kWebDialogKey, 13), 1);
  EXPECT_EQ(g_dialogCommands.back(), win::UINT{win::IDOK});
  EXPECT_EQ(host_.calls.back(), "closed");
  EXPECT_EQ(Send(npdesk::kWebDialogClick, resources::IDC_SHOWANCHOR), 0) << "gone";
  Send(npdesk::kWebPointerDown, 0);
  EXPECT_EQ(Presses(), 1u);
}

TEST_F(WebDesktop, TheAboutBoxIsCentredWithItsPicture) {
  EXPECT_EQ(ShowDialog(resources::IDD_ABOUT), 0);
  EXPECT_THAT(host_.calls, ElementsAre("dialog with picture"));
  EXPECT_EQ(host_.pictureWidth, 122);
  EXPECT_EQ(host_.pictureHeight, 38);
  EXPECT_THAT(host_.dialog, HasSubstr("\"caption\":\"About NPKLOD32\""));
  EXPECT_THAT(host_.dialog, HasSubstr("\"centred\":true"));
  EXPECT_THAT(host_.dialog, HasSubstr("\"kind\":\"picture\",\"text\":\"\""));
  EXPECT_THAT(host_.dialog, HasSubstr("\"rightJust\":true"));
  EXPECT_EQ(Send(npdesk::kWebDialogClose), 1);
  EXPECT_THAT(g_dialogCommands, ElementsAre(win::UINT{win::IDCANCEL})) << "the close box's command";
  EXPECT_EQ(host_.calls.back(), "checks {}") << "its procedure did not end it";
  EXPECT_EQ(Send(npdesk::kWebDialogKey, 13), 1);
  EXPECT_EQ(host_.calls.back(), "closed");
}

TEST_F(WebDesktop, KeysReachTheAreaWindowWithTheShiftStateAndItsFocusRingReachesTheHost) {
  EXPECT_EQ(Send(npdesk::kWebKeyDown, 9), 1) << "taken";
  EXPECT_EQ(Send(npdesk::kWebKeyDown, 32), 0) << "left to the page";
  EXPECT_TRUE(host_.calls.empty());
  npdesk::WebEvent shiftTab{npdesk::kWebKeyDown, 0, 0, 0, 0, 9, npdesk::kWebShift, nullptr};
  EXPECT_EQ(npdesk::HandleEvent(&npp_, &shiftTab), 1);
  EXPECT_THAT(host_.calls, ElementsAre("focus 10,20 40x20 ellipse door", "passed marker start"));
  EXPECT_EQ(win::GetKeyState(win::VK_SHIFT), 0) << "only during the key";
  EXPECT_EQ(Send(npdesk::kWebFocusLost), 1);
  EXPECT_EQ(host_.calls.back(), "focus 0,0 0x0 ");
}

TEST_F(WebDesktop, AnInstanceThatGoesTakesItsDialogWithItUnapplied) {
  EXPECT_EQ(ShowDialog(resources::IDD_PROPERTIES), 0);
  win::Desktop* desk = win::Desktop::Current();
  size_t windows = desk->Windows().size();
  npdesk::InstanceDestroyed(&npp_);
  EXPECT_EQ(host_.calls.back(), "closed");
  EXPECT_TRUE(g_dialogCommands.empty());
  EXPECT_LT(desk->Windows().size(), windows);
  // Another instance may open its menu now.
  NPP_t other{};
  NPWindow window{};
  window.width = 10;
  window.height = 10;
  win::HWND area = npdesk::AttachArea(&other, &window);
  {
    npdesk::InstanceScope scope(&other);
    win::HMENU menu = win::CreatePopupMenu();
    win::AppendMenuA(menu, win::MF_STRING, 5000, "Play");
    EXPECT_TRUE(win::TrackPopupMenu(menu, 0, 0, 0, 0, area, nullptr));
  }
  EXPECT_EQ(host_.calls.back(), "menu 0,0");
  npdesk::InstanceDestroyed(&other);
  EXPECT_EQ(host_.calls.back(), "closed");
}

}  // namespace
