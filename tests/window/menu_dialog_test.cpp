// The context menu and the Properties and About dialogs, answered by the sim desktop's scripts.
#include <map>

#include "resources/resources.h"
#include "tests/window/window_fixture.h"

namespace window_test {
namespace {

using Script = sim::SimDesktop::DialogScript;
using Checks = std::map<int, win::UINT>;
using namespace resources;

std::vector<std::string> Items(const sim::SimDesktop::ShownMenu& menu) {
  std::vector<std::string> out;
  for (const win::MenuItem& item : menu.items) {
    if (item.flags & win::MF_SEPARATOR) {
      out.push_back("-");
      continue;
    }
    out.push_back(std::to_string(item.id) + " " + item.text +
                  (item.flags & win::MF_GRAYED ? " (grayed)" : ""));
  }
  return out;
}

TEST_F(WindowTest, TheMenuOffersTheTransportCommandsThatApply) {
  const std::map<int32_t, std::vector<std::string>> expected = {
      {MOVIE_STOPPED, {"5000 Play", "5001 Pause (grayed)", "5002 Stop (grayed)", "-",
                       "5003 Properties...", "-", "5004 About..."}},
      {MOVIE_PAUSED, {"5000 Play", "5001 Pause (grayed)", "5002 Stop", "-", "5003 Properties...",
                      "-", "5004 About..."}},
      {MOVIE_PLAYING, {"5000 Play (grayed)", "5001 Pause", "5002 Stop", "-",
                       "5003 Properties...", "-", "5004 About..."}},
  };
  for (const auto& [state, items] : expected) {
    Show(state);
    Mouse(win::WM_RBUTTONDOWN, 30, 40);
    Mouse(win::WM_RBUTTONUP, 30, 40);
    const auto& menu = desk.MenusShown().back();
    EXPECT_EQ(Items(menu), items) << "state " << state;
    EXPECT_EQ(menu.flags, win::TPM_RIGHTBUTTON);
    EXPECT_EQ(menu.screen.x, 130);
    EXPECT_EQ(menu.screen.y, 90);
    EXPECT_EQ(menu.owner, browser);
    EXPECT_THAT(desk.menus_, IsEmpty()) << "destroyed once closed";
  }
  EXPECT_EQ(PassedOn(win::WM_RBUTTONDOWN), 3u);
  EXPECT_EQ(PassedOn(win::WM_RBUTTONUP), 3u);
  EXPECT_THAT(Lines(), IsEmpty()) << "closed without a choice";
}

TEST_F(WindowTest, TheChoiceArrivesAfterTheMenuClosedWhichLeftTheCursorAlone) {
  Show(MOVIE_STOPPED);
  Mouse(win::WM_MOUSEMOVE, 10, 10);
  desk.QueueMenuChoice(ID_MENU_ABOUT, [&] {
    EXPECT_EQ(object->m_trackCursor, 0);
    Mouse(win::WM_MOUSEMOVE, 20, 20);
    Send(win::WM_SETCURSOR);
    EXPECT_EQ(desk.CursorHistory().size(), 1u);
    EXPECT_EQ(PassedOn(win::WM_SETCURSOR), 1u);
  });
  Mouse(win::WM_RBUTTONUP, 10, 10);
  EXPECT_EQ(object->m_trackCursor, 1);
  EXPECT_THAT(Lines(), IsEmpty()) << "posted, not handled yet";
  desk.RunUntilIdle();
  EXPECT_THAT(Lines(), ElementsAre("<ID_MENU_ABOUT>"));
  EXPECT_EQ(desk.DialogsShown().size(), 1u);

  desk.QueueMenuChoice(ID_MENU_STOP);  // grayed while stopped: the user cannot pick it
  Mouse(win::WM_RBUTTONUP, 10, 10);
  EXPECT_EQ(desk.PendingPosted(), 0u);
}

class PropertiesTest : public WindowTest {
 protected:
  const sim::SimDesktop::ShownDialog& Open(Script input) {
    desk.QueueDialog(std::move(input));
    Send(win::WM_COMMAND, ID_MENU_PROPERTIES);
    return desk.DialogsShown().back();
  }
  void ExpectSettings(int32_t showAnchor, int32_t changeCursor, int32_t method,
                      int32_t autoRepeat) {
    EXPECT_EQ(player().m_showAnchor, showAnchor);
    EXPECT_EQ(object->m_changeCursor, changeCursor);
    EXPECT_EQ(object->m_activateMethod, method);
    EXPECT_EQ(player().m_autoRepeat, autoRepeat);
  }
};

TEST_F(PropertiesTest, ShowsTheSettingsWithExactlyOneActivationMethodChecked) {
  const auto& shown = Open(Script().Escape());
  EXPECT_EQ(shown.templateId, IDD_PROPERTIES);
  EXPECT_EQ(shown.caption, "Properties");
  EXPECT_EQ(shown.owner, browser);
  EXPECT_EQ(shown.rect.left, 100) << "at (0, 0) of the plug-in window";
  EXPECT_EQ(shown.rect.top, 50);
  EXPECT_EQ(shown.checksShown, (Checks{{IDC_SHOWANCHOR, 1}, {IDC_CHANGECURSOR, 1},
                                       {IDC_AUTOREPEAT, 0}, {IDC_SINGLECLICK, 1},
                                       {IDC_DOUBLECLICK, 0}}));
  Make({.activateMethod = 1, .changeCursor = 0, .showAnchor = 0, .autoRepeat = 1});
  EXPECT_EQ(Open(Script().Escape()).checksShown,
            (Checks{{IDC_SHOWANCHOR, 0}, {IDC_CHANGECURSOR, 0}, {IDC_AUTOREPEAT, 1},
                    {IDC_SINGLECLICK, 0}, {IDC_DOUBLECLICK, 1}}));
  EXPECT_THAT(Lines(), ElementsAre("<ID_MENU_PROPERTIES>"));
}

TEST_F(PropertiesTest, CancelEscapeAndTheCloseBoxChangeNothing) {
  auto changeAll = [] {
    return Script().Click(IDC_SHOWANCHOR).Click(IDC_CHANGECURSOR).Click(IDC_DOUBLECLICK).Click(
        IDC_AUTOREPEAT);
  };
  for (Script input : {changeAll().Click(win::IDCANCEL), changeAll().Escape(),
                        changeAll().CloseBox()}) {
    const auto& shown = Open(input);
    EXPECT_TRUE(shown.ended);
    EXPECT_EQ(shown.result, 1);
    EXPECT_EQ(shown.checksAtEnd, (Checks{{IDC_SHOWANCHOR, 0}, {IDC_CHANGECURSOR, 0},
                                         {IDC_AUTOREPEAT, 1}, {IDC_SINGLECLICK, 0},
                                         {IDC_DOUBLECLICK, 1}}));
    ExpectSettings(1, 1, 0, 0);
    EXPECT_EQ(object->m_trackCursor, 1);
  }
}

TEST_F(PropertiesTest, OkAppliesEveryChangeAtOnce) {
  win::HWND dialog = nullptr;
  Open(Script()
           .Then([&](win::HWND d) {
             dialog = d;
             EXPECT_EQ(win::GetPropA(d, "KLWndProcProp"), object.get());
             EXPECT_EQ(object->m_trackCursor, 0);
           })
           .Click(IDC_CHANGECURSOR)
           .Click(IDC_DOUBLECLICK)
           .Click(IDC_AUTOREPEAT)
           .Click(win::IDOK));
  ExpectSettings(1, 0, 1, 1);
  EXPECT_EQ(object->m_trackCursor, 1);
  EXPECT_FALSE(win::IsWindow(dialog));

  Open(Script().Click(IDC_SINGLECLICK).Click(IDC_CHANGECURSOR).Enter());
  ExpectSettings(1, 1, 0, 1);
}

TEST_F(PropertiesTest, WithoutAPlayerOnlyTheWindowsOwnSettingsApply) {
  delete object->m_player;
  object->m_player = nullptr;
  const auto& shown = Open(Script()
                               .Click(IDC_SHOWANCHOR)
                               .Click(IDC_CHANGECURSOR)
                               .Click(IDC_DOUBLECLICK)
                               .Click(IDC_AUTOREPEAT)
                               .Click(win::IDOK));
  EXPECT_EQ(shown.checksShown, (Checks{{IDC_SHOWANCHOR, 0}, {IDC_CHANGECURSOR, 1},
                                       {IDC_AUTOREPEAT, 0}, {IDC_SINGLECLICK, 1},
                                       {IDC_DOUBLECLICK, 0}}));
  EXPECT_TRUE(shown.ended);
  EXPECT_EQ(object->m_changeCursor, 0);
  EXPECT_EQ(object->m_activateMethod, 1);
}

TEST_F(PropertiesTest, ClearingChangeCursorHandsTheCursorBackToTheBrowser) {
  Show(MOVIE_STOPPED);
  Mouse(win::WM_MOUSEMOVE, 10, 10);
  Open(Script().Click(IDC_CHANGECURSOR).Click(win::IDOK));
  EXPECT_EQ(object->m_cursor, nullptr);
  Send(win::WM_SETCURSOR);
  Mouse(win::WM_MOUSEMOVE, 20, 20);
  EXPECT_EQ(PassedOn(win::WM_SETCURSOR), 1u);
  EXPECT_EQ(desk.CursorHistory().size(), 1u);
}

TEST_F(WindowTest, EscapeDoesNotCloseTheAboutBoxOkEnterAndTheCloseBoxDo) {
  desk.QueueDialog(Script().Escape().Then([&](win::HWND d) {
    EXPECT_FALSE(desk.FindDialog(d)->ended);
    EXPECT_EQ(object->m_trackCursor, 0);
  }).Enter());
  desk.QueueDialog(Script().Click(win::IDOK));
  desk.QueueDialog(Script().CloseBox());
  for (int i = 0; i < 3; ++i) Send(win::WM_COMMAND, ID_MENU_ABOUT);
  const auto& shown = desk.DialogsShown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].templateId, IDD_ABOUT);
  EXPECT_EQ(shown[0].caption, "About NPKLOD32");
  EXPECT_EQ((shown[0].rect.left + shown[0].rect.right) / 2, 260) << "centred on the window";
  EXPECT_EQ((shown[0].rect.top + shown[0].rect.bottom) / 2, 170);
  EXPECT_EQ(shown[0].stepsPlayed, 3u);
  for (const auto& s : shown) {
    EXPECT_TRUE(s.ended);
    EXPECT_EQ(s.result, 1);
  }
  EXPECT_EQ(object->m_trackCursor, 1);
}

}  // namespace
}  // namespace window_test
