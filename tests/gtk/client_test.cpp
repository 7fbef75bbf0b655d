// The module's side of menus and dialogs: the line protocol, the layout rules, and the
// presenter against a scripted stand-in helper (fake_ui.cpp): answers, input to dialog
// procedures, helpers that die, hang or never start, and the browser's loop during the wait.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/layout.h"
#include "platform/gtk/presenter.h"
#include "platform/gtk/protocol.h"
#include "platform/sim/sim_desktop.h"
#include "tests/gtk/presenter_desk.h"
#include "platform/win/win.h"
#include "resources/resources.h"

// After the project's headers: GLib defines TRUE and FALSE, which the win layer uses as names.
#include <glib.h>

namespace {

namespace fs = std::filesystem;
using gtkui::Message;
using gtkui::Verb;

// --- Protocol ---------------------------------------------------------------------------------

TEST(Protocol, MessagesSurviveTheRoundTripWithTheirText) {
  Message item{Verb::Item, {0x0801, 5003}, "a\\b\nc\rd &Properties..."};
  std::string line = gtkui::Format(item);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  auto back = gtkui::Parse(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->verb, Verb::Item);
  EXPECT_EQ(back->numbers, item.numbers);
  EXPECT_EQ(back->text, item.text);
  EXPECT_EQ(gtkui::Parse(gtkui::Format(Message{Verb::Item, {0, 1}, ""}))->text, "");
  EXPECT_EQ(gtkui::Format(Message{Verb::Dialog, {3, 109, -5, 7, 285, 221, 4194305}, {}}),
            "dialog 3 109 -5 7 285 221 4194305");
}

TEST(Protocol, LinesThatDoNotParseAreRefused) {
  for (const char* bad : {"", "chosen", "chosen 1", "chosen 1 2 3", "chosen 1 x", "chosen 1 2x",
                          "chosen  1 2", "alive now", "shout 1", "CHOSEN 1 2"})
    EXPECT_FALSE(gtkui::Parse(bad)) << bad;
  EXPECT_TRUE(gtkui::Parse("alive"));
  EXPECT_EQ(gtkui::Parse("key 4 27")->numbers, (std::vector<int64_t>{4, 27}));
}

TEST(Protocol, TheReaderSplitsTheStreamAndDropsOverlongLines) {
  gtkui::LineReader r;
  r.Feed("ready 1\nali", 11);
  EXPECT_EQ(r.Next(), "ready 1");
  EXPECT_FALSE(r.Next());
  r.Feed("ve\n", 3);
  EXPECT_EQ(r.Next(), "alive");
  std::string huge(gtkui::LineReader::kMaxLine + 10, 'x');
  r.Feed(huge.data(), huge.size());  // no line break yet: dropped as it grows
  EXPECT_FALSE(r.Next());
  r.Feed("tail\nclose 2\n", 13);
  EXPECT_EQ(r.Next(), "close 2");
}

// --- Layout -----------------------------------------------------------------------------------

TEST(Layout, BaseUnitsAndDialogUnitsRoundAsTheDialogManagerDoes) {
  // 52 letters 331 pixels wide: (331 / 26 + 1) / 2 = 6.
  gtkui::BaseUnits u = gtkui::MeasuredBaseUnits(331, 13);
  EXPECT_EQ(u.x, 6);
  EXPECT_EQ(u.y, 13);
  EXPECT_EQ(gtkui::MeasuredBaseUnits(360, 15).x, 7);
  gtkui::PixelRect r = gtkui::ToPixels(7, 7, 83, 53, u);  // 10.5 -> 11, 124.5 -> 125, 86.1 -> 86
  EXPECT_EQ(r.x, 11);
  EXPECT_EQ(r.y, 11);
  EXPECT_EQ(r.width, 125);
  EXPECT_EQ(r.height, 86);
  const resources::DialogTemplate* props = resources::FindDialog(resources::IDD_PROPERTIES);
  gtkui::PixelRect client = gtkui::DialogClient(*props, u);
  EXPECT_EQ(client.width, 285);
  EXPECT_EQ(client.height, 221);
}

TEST(Layout, CentredDialogsCentreOnThePlacementOthersTakeItsCorner) {
  gtkui::BaseUnits u{6, 13};
  const resources::DialogTemplate* about = resources::FindDialog(resources::IDD_ABOUT);
  const resources::DialogTemplate* props = resources::FindDialog(resources::IDD_PROPERTIES);
  gtkui::PixelRect placed{100, 50, 320, 240};
  gtkui::PixelRect a = gtkui::DialogPlacement(*about, u, placed);
  EXPECT_EQ(a.x + a.width / 2, 100 + 160);
  EXPECT_EQ(a.y + a.height / 2, 50 + 120);
  gtkui::PixelRect p = gtkui::DialogPlacement(*props, u, placed);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 50);
  // Placements at the ends of the range, as a line may carry them, stay in range.
  gtkui::PixelRect far = gtkui::DialogPlacement(*about, u, {INT_MAX, INT_MIN, INT_MAX, 0});
  EXPECT_EQ(far.x, INT_MAX);
  EXPECT_EQ(far.y, INT_MIN);
}

TEST(Layout, ARightJustifiedPictureKeepsTheControlsBottomRightCorner) {
  gtkui::BaseUnits u{6, 13};
  const resources::DialogControl& picture =
      resources::FindDialog(resources::IDD_ABOUT)->controls[0];
  gtkui::PixelRect box = gtkui::ControlRect(picture, u);
  gtkui::PixelRect r = gtkui::PictureRect(picture, u, 124, 40);
  EXPECT_EQ(r.x + r.width, box.x + box.width);
  EXPECT_EQ(r.y + r.height, box.y + box.height);
  EXPECT_EQ(r.width, 124);
  resources::DialogControl plain = picture;
  plain.style &= ~resources::dlg::SS_RIGHTJUST;
  EXPECT_EQ(gtkui::PictureRect(plain, u, 124, 40).x, box.x);
}

TEST(Layout, MnemonicMarkersBecomeTheToolkitsOwn) {
  EXPECT_EQ(gtkui::MnemonicLabel("&Play"), "_Play");
  EXPECT_EQ(gtkui::MnemonicLabel("Save && Quit"), "Save & Quit");
  EXPECT_EQ(gtkui::MnemonicLabel("snake_case &x"), "snake__case _x");
  EXPECT_EQ(gtkui::MnemonicLabel("Properties..."), "Properties...");
}

// --- Presenter --------------------------------------------------------------------------------

using Desk = klp::test::PresenterDesk;

// What the test dialog procedure saw.
struct ProcRecord {
  std::vector<std::string> events;
  std::map<int, win::UINT> checksAtOk;
  bool ignoreCancel = false;  // as the About box does
};
ProcRecord* g_proc = nullptr;

win::INT_PTR TestProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  switch (msg) {
    case win::WM_INITDIALOG:
      win::CheckDlgButton(dialog, resources::IDC_SHOWANCHOR, win::BST_CHECKED);
      win::CheckRadioButton(dialog, resources::IDC_SINGLECLICK, resources::IDC_DOUBLECLICK,
                            resources::IDC_SINGLECLICK);
      return 1;
    case win::WM_COMMAND:
      g_proc->events.push_back("command " + std::to_string(wParam));
      if (wParam == static_cast<win::WPARAM>(win::IDOK)) {
        g_proc->checksAtOk = win::Desktop::Current()->FindDialog(dialog)->checks;
        win::EndDialog(dialog, 1);
        return 1;
      }
      if (wParam == static_cast<win::WPARAM>(win::IDCANCEL) && !g_proc->ignoreCancel) {
        win::EndDialog(dialog, 2);
        return 1;
      }
      return 0;
    case win::WM_CLOSE:
      g_proc->events.push_back("close");
      win::EndDialog(dialog, 3);
      return 1;
    default:
      return 0;
  }
}

bool Alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/klp_gtk_client_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("KLP_FAKE_UI_LOG", (dir_ / "log").c_str(), 1);
    unsetenv("KLP_FAKE_UI_START");
    Script("");
    g_proc = &proc_;
  }
  void TearDown() override {
    desk_.reset();
    g_proc = nullptr;
    fs::remove_all(dir_);
  }

  void Start(int startMs = 5000, int silenceMs = 2000, std::string path = KLP_FAKE_UI) {
    desk_ = std::make_unique<Desk>(gtkui::Presenter::Options{std::move(path), startMs, silenceMs});
    desk_->owner.tag = this;
    desk_->owner.window = 77;
    desk_->owner.trace = [this](const char* t) { traces_.push_back(t); };
    desk_->owner.pump = [this] { ++pumps_; };
    owner_ = desk_->CreateBrowserWindow(0, 0, 320, 240);
  }
  static void Script(const std::string& s) { setenv("KLP_FAKE_UI", s.c_str(), 1); }

  // The transport menu: Play grayed.
  win::UINT_PTR Menu(int x = 30, int y = 40) {
    win::HMENU m = win::CreatePopupMenu();
    win::AppendMenuA(m, win::MF_GRAYED, 5000, "Play");
    win::AppendMenuA(m, win::MF_STRING, 5001, "Pause");
    win::AppendMenuA(m, win::MF_SEPARATOR, 0, nullptr);
    win::AppendMenuA(m, win::MF_STRING, 5003, "Properties...");
    auto chosen = win::TrackPopupMenu(m, win::TPM_RETURNCMD, x, y, 0, owner_, nullptr);
    win::DestroyMenu(m);
    return static_cast<win::UINT_PTR>(chosen);
  }
  win::INT_PTR Dialog(unsigned id = resources::IDD_PROPERTIES) {
    return win::DialogBoxParamA(nullptr, win::MAKEINTRESOURCEA(id), owner_, &TestProc, 0);
  }
  std::vector<std::string> Log() const {
    std::ifstream in(dir_ / "log");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  // Whether the helper has received line, within a second: it logs what it reads when it reads.
  bool Logged(const std::string& line) const {
    for (int i = 0; i < 100; ++i) {
      auto l = Log();
      if (std::find(l.begin(), l.end(), line) != l.end()) return true;
      g_usleep(10000);
    }
    return false;
  }

  fs::path dir_;
  std::unique_ptr<Desk> desk_;
  win::HWND owner_ = nullptr;
  std::vector<std::string> traces_;
  int pumps_ = 0;
  ProcRecord proc_;
};

TEST_F(Client, TheMenuGoesToTheHelperAndItsAnswerComesBack) {
  Script("chosen 5001");
  Start();
  desk_->owner.display = ":42";
  EXPECT_EQ(Menu(30, 40), 5001u);
  EXPECT_EQ(Log(), (std::vector<std::string>{"argv --display :42", "menu 1 30 40 77",
                                             "item 1 5000 Play", "item 0 5001 Pause",
                                             "item 2048 0 ", "item 0 5003 Properties...", "show"}));
  EXPECT_TRUE(traces_.empty());
  EXPECT_FALSE(desk_->presenter.Busy());
}

TEST_F(Client, OneHelperServesMenuAfterMenuAndAGrayedAnswerChoosesNothing) {
  Script("chosen 5000");  // Play, grayed: the user could not have chosen it
  Start();
  EXPECT_EQ(Menu(), 0u);
  pid_t first = desk_->presenter.HelperPid();
  EXPECT_EQ(Menu(), 0u);
  EXPECT_EQ(desk_->presenter.HelperPid(), first);
  EXPECT_TRUE(Logged("menu 2 30 40 77"));
  desk_.reset();  // the helper ends with the presenter
  EXPECT_FALSE(Alive(first));
}

TEST_F(Client, AnswersForAnotherMenuAndLinesThatDoNotParseAreIgnored) {
  Script("raw chosen $P 5003;raw garbage;raw chosen $S;raw chosen $S 1 2;chosen 5001");
  Start();
  EXPECT_EQ(Menu(), 5001u);
}

TEST_F(Client, AHelperThatDiesCancelsTheMenuWithATraceLineAndTheNextMenuGetsANewOne) {
  Script("exit 3");
  Start();
  EXPECT_EQ(Menu(), 0u);
  ASSERT_EQ(traces_.size(), 1u);
  EXPECT_EQ(traces_[0], "! npklod32-ui: stopped (exited with status 3); the menu was cancelled");
  Script("chosen 5003");
  EXPECT_EQ(Menu(), 5003u);
  EXPECT_EQ(traces_.size(), 1u);
}

TEST_F(Client, AHelperThatStopsListeningCostsNoSignal) {
  setenv("KLP_FAKE_UI_START", "deaf", 1);  // says ready, then shuts its input: sending fails
  Start();
  EXPECT_EQ(Menu(), 0u);
  EXPECT_EQ(traces_, std::vector<std::string>{
                         "! npklod32-ui: stopped (killed by signal 9); the menu was cancelled"});
}

TEST_F(Client, AHelperThatFallsSilentIsKilledAtTheTimeout) {
  Script("alive 300;hang");
  Start(5000, 400);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Menu(), 0u);
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  EXPECT_GE(ms.count(), 600);  // the heartbeats kept it going, then 400 ms of silence
  EXPECT_LT(ms.count(), 3000);
  ASSERT_EQ(traces_.size(), 1u);
  EXPECT_EQ(
      traces_[0],
      "! npklod32-ui: did not answer for 400 ms (killed by signal 9); the menu was cancelled");
}

TEST_F(Client, AHelperThatNeverSaysReadyOrCannotBeStartedShowsNothing) {
  setenv("KLP_FAKE_UI_START", "silent", 1);
  Start(300, 2000);
  EXPECT_EQ(Menu(), 0u);
  ASSERT_EQ(traces_.size(), 1u);
  EXPECT_EQ(
      traces_[0],
      "! npklod32-ui: did not start within 300 ms (killed by signal 9); the menu was not shown");

  Start(5000, 2000, (dir_ / "missing-ui").string());
  EXPECT_EQ(Menu(), 0u);
  ASSERT_EQ(traces_.size(), 2u);
  EXPECT_NE(traces_[1].find("cannot start"), std::string::npos) << traces_[1];
  EXPECT_EQ(Dialog(), 3) << "closed as by its close box";
  EXPECT_EQ(proc_.events, std::vector<std::string>{"close"});
}

gboolean CountTick(gpointer count) {
  ++*static_cast<int*>(count);
  return G_SOURCE_CONTINUE;
}

TEST_F(Client, TheBrowsersLoopAndThePumpRunWhileTheMenuIsOpen) {
  Script("alive 400;chosen 5001");
  Start();
  int ticks = 0;
  guint source = g_timeout_add(20, &CountTick, &ticks);
  EXPECT_EQ(Menu(), 5001u);
  g_source_remove(source);
  EXPECT_GE(ticks, 10);
  EXPECT_GE(pumps_, 10);
}

struct Nested {
  Client* test;
  win::UINT_PTR answer = 99;
  std::function<win::UINT_PTR()> menu;
};

TEST_F(Client, ASecondMenuWhileOneIsOpenIsRefusedAndCancelEndsTheFirst) {
  Script("alive 600;chosen 5001");
  Start();
  Nested nested{this, 99, [this] { return Menu(); }};
  g_timeout_add(
      100,
      +[](gpointer p) -> gboolean {
        auto* n = static_cast<Nested*>(p);
        n->answer = n->menu();
        return G_SOURCE_REMOVE;
      },
      &nested);
  struct Cancel {
    gtkui::Presenter* presenter;
    const void* tag;
  } cancel{&desk_->presenter, this};
  g_timeout_add(
      300,
      +[](gpointer p) -> gboolean {
        auto* c = static_cast<Cancel*>(p);
        c->presenter->Cancel(c->tag);
        return G_SOURCE_REMOVE;
      },
      &cancel);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Menu(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_EQ(nested.answer, 0u);
  EXPECT_EQ(traces_,
            std::vector<std::string>{
                "! npklod32-ui: a menu or dialog is already open; the menu was not shown"});
  // The helper was told; its late answer to the first menu is not taken for the second's.
  EXPECT_EQ(Menu(), 5001u);
  EXPECT_TRUE(Logged("end 1"));
}

TEST_F(Client, DialogInputReachesTheProcedureAndTheHelperShowsTheStatesItLeft) {
  Script("click 202;click 206;key 13");
  Start();
  EXPECT_EQ(Dialog(), 1);
  EXPECT_EQ(proc_.events, (std::vector<std::string>{"command 202", "command 206", "command 1"}));
  EXPECT_EQ(proc_.checksAtOk.at(resources::IDC_SHOWANCHOR), win::BST_UNCHECKED);
  EXPECT_EQ(proc_.checksAtOk.at(resources::IDC_SINGLECLICK), win::BST_UNCHECKED);
  EXPECT_EQ(proc_.checksAtOk.at(resources::IDC_DOUBLECLICK), win::BST_CHECKED);
  // Placed where the win layer placed it: the owner's origin, 190 x 136 units of 6 x 13 pixels.
  ASSERT_TRUE(Logged("end 1"));
  EXPECT_EQ(Log(), (std::vector<std::string>{"argv",        "dialog 1 109 0 0 285 221 77",
                                             "check 202 1", "check 203 0",
                                             "check 204 0", "check 205 1",
                                             "check 206 0", "show",
                                             "check 202 0", "check 203 0",
                                             "check 204 0", "check 205 1",
                                             "check 206 0", "update 1",
                                             "check 202 0", "check 203 0",
                                             "check 204 0", "check 205 0",
                                             "check 206 1", "update 1",
                                             "end 1"}));
}

TEST_F(Client, WhatTheProcedureIgnoresLeavesTheDialogUp) {
  proc_.ignoreCancel = true;
  Script("key 27;close");
  Start();
  EXPECT_EQ(Dialog(resources::IDD_ABOUT), 3);
  EXPECT_EQ(proc_.events, (std::vector<std::string>{"command 2", "close"}));
  ASSERT_TRUE(Logged("end 1"));
  EXPECT_TRUE(Logged("update 1"));
}

TEST_F(Client, AHelperDyingInADialogClosesItAsTheCloseBoxWould) {
  Script("click 202;exit 9");
  Start();
  EXPECT_EQ(Dialog(), 3);
  EXPECT_EQ(proc_.events, (std::vector<std::string>{"command 202", "close"}));
  EXPECT_TRUE(proc_.checksAtOk.empty()) << "nothing applied";
  ASSERT_EQ(traces_.size(), 1u);
  EXPECT_EQ(traces_[0], "! npklod32-ui: stopped (exited with status 9); the dialog was cancelled");
}

}  // namespace
