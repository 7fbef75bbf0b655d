// The context menu, the Properties dialog and the About box in a real browser engine: `klp view`
// (QtWebKit) on a private Xvfb with no window manager, driven by real X input (xdotool). The
// page prints the plug-in's trace lines and events; screenshots are taken from the X server.
// KLP_UI_SHOT_DIR, when set, keeps the screenshots there to look at.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/view/xvfb.h"
#include "tests/browser/viewer_process.h"

// After Qt: Xlib's macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using klptest::Viewer;

// The X server's side: screenshots and the helper's windows.
class Screen {
 public:
  explicit Screen(const std::string& name) : d_(XOpenDisplay(name.c_str())) {
    XSetErrorHandler(+[](Display*, XErrorEvent*) { return 0; });  // windows come and go
  }
  ~Screen() {
    if (d_) XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }

  QImage Shot(int x, int y, int w, int h) {
    XImage* img = XGetImage(d_, DefaultRootWindow(d_), x, y, w, h, AllPlanes, ZPixmap);
    QImage q(w, h, QImage::Format_RGB32);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) q.setPixel(i, j, XGetPixel(img, i, j) | 0xFF000000u);
    XDestroyImage(img);
    return q;
  }

  // A viewable top-level window with this title, or 0.
  ::Window Titled(const std::string& title) {
    for (::Window w : TopLevels()) {
      char* name = nullptr;
      bool match = XFetchName(d_, w, &name) && name && title == name;
      if (name) XFree(name);
      if (match) return w;
    }
    return 0;
  }
  // Whether a pop-up menu is up.
  bool MenuUp() {
    Atom type = XInternAtom(d_, "_NET_WM_WINDOW_TYPE", False);
    Atom menu = XInternAtom(d_, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    for (::Window w : TopLevels()) {
      Atom actual;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(d_, w, type, 0, 1, False, XA_ATOM, &actual, &format, &n, &after,
                             &data) == Success &&
          data) {
        bool is = n == 1 && *reinterpret_cast<Atom*>(data) == menu;
        XFree(data);
        if (is) return true;
      }
    }
    return false;
  }
  QRect Geometry(::Window w) {
    XWindowAttributes a;
    XGetWindowAttributes(d_, w, &a);
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(d_, w, DefaultRootWindow(d_), 0, 0, &x, &y, &child);
    return QRect(x, y, a.width, a.height);
  }
  // What a window manager sends when the close box is clicked.
  void CloseBox(::Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d_, w, False, NoEventMask, &e);
    XFlush(d_);
  }

 private:
  std::vector<::Window> TopLevels() {
    std::vector<::Window> out;
    ::Window root, parent, *children = nullptr;
    unsigned n = 0;
    XSync(d_, False);
    if (!XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &n)) return out;
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(d_, children[i], &a) && a.map_state == IsViewable)
        out.push_back(children[i]);
    }
    if (children) XFree(children);
    return out;
  }

  Display* d_;
};

// The page: the example tour stopped at its middle marker (frame 100), where the door's green
// frame has its left edge at x = 120 and the sun's at (230..300, 15..65); the view's origin is
// the screen's.
constexpr const char* kPage =
    "<html><body style='margin:0'>"
    "<embed id='m1' name='m1' type='application/kelvora-movie' width='320' height='240' "
    "src='tour.klp' autoplay='false' kldebug='true' %ATTRS%>"
    "<script>"
    "function log(t) { console.log(t); }"
    "function m1_OnSysOut(t) { var c = t.charAt(0); if (c == '<' || c == '!') log('trace ' + t); }"
    "function m1_OnActivateAnchor(v) { log('anchor ' + v); }"
    "function m1_OnError(c) { log('error ' + c); }"
    "function m1_OnMarker(v) { log('marker ' + v); }"
    "setTimeout(function() { document.getElementById('m1').EnableMarker('middle'); }, 500);"
    "%SCRIPT%"
    "</script></body></html>";

class MenuInBrowser : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    xvfb_ = new klpview::Xvfb();
    if (!xvfb_->Start(1024, 768)) {
      delete xvfb_;
      xvfb_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete xvfb_;
    xvfb_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(xvfb_, nullptr) << "no Xvfb";
    screen_ = std::make_unique<Screen>(xvfb_->display());
    ASSERT_TRUE(screen_->ok());
    char tmpl[] = "/tmp/klp_gtk_browser_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::copy_file(KLP_EXAMPLE_DIR "/tour.klp", dir_ / "tour.klp");
    fs::copy_file(KLP_EXAMPLE_DIR "/tour.webm", dir_ / "tour.webm");
  }
  void TearDown() override {
    viewer_.Stop();
    fs::remove_all(dir_);
  }

  // Opens the page and waits for the movie at its middle marker; false when the media graph
  // cannot open the movie here.
  bool Open(const std::string& attrs = "", const std::string& script = "") {
    std::string page = kPage;
    page.replace(page.find("%ATTRS%"), 7, attrs);
    page.replace(page.find("%SCRIPT%"), 8, script);
    std::ofstream(dir_ / "page.html") << page;
    EXPECT_TRUE(
        viewer_.Start(xvfb_->display(), {"--quit-after", "120", (dir_ / "page.html").string()}));
    bool opened = viewer_.WaitFor("trace <OpenMovie>", 30000) &&
                  viewer_.WaitFor("trace <WM_KL_ENABLEMARKER>");
    if (opened && viewer_.Count("trace ! CKLPluginWindow::OpenMovie 02") == 0) {
      Pause(1000);  // the frame reaches the screen
      return true;
    }
    return false;
  }

  void Xdo(const std::string& args) {
    std::string cmd = "DISPLAY=" + xvfb_->display() + " xdotool " + args;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  template <typename F>
  static bool Eventually(F f, int ms = 10000) {
    for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end; Pause(50))
      if (f()) return true;
    return f();
  }

  // Right-click at (x, y) and wait for the menu.
  bool OpenMenu(int x = 60, int y = 60) {
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 3");
    return Eventually([&] { return screen_->MenuUp(); });
  }
  // Chooses from the open menu with the keyboard: keys, then Return.
  void Choose(const std::string& keys) {
    Xdo("key " + keys + " Return");
    EXPECT_TRUE(Eventually([&] { return !screen_->MenuUp(); }));
  }
  // Opens a dialog through the menu; its window.
  ::Window OpenDialog(const std::string& title) {
    if (!OpenMenu()) return 0;
    Choose(title == "Properties" ? "Up Up" : "Up");  // from the bottom: About, Properties
    ::Window w = 0;
    Eventually([&] { return (w = screen_->Titled(title)) != 0; });
    Pause(300);  // drawn and focused
    return w;
  }
  bool Gone(const std::string& title) {
    return Eventually([&] { return screen_->Titled(title) == 0; });
  }

  QImage Shot(const std::string& name, int x = 0, int y = 0, int w = 480, int h = 360) {
    QImage q = screen_->Shot(x, y, w, h);
    if (const char* keep = std::getenv("KLP_UI_SHOT_DIR"))
      q.save(QString::fromStdString((fs::path(keep) / (name + ".png")).string()));
    return q;
  }
  // The door's green frame: its left edge at x = 120 on row 140.
  bool DoorFrameShown() {
    QImage q = Shot("door", 100, 130, 40, 20);
    for (int x = 14; x <= 26; ++x) {
      QColor c = q.pixelColor(x, 10);
      if (c.green() > 200 && c.red() < 80 && c.blue() < 80) return true;
    }
    return false;
  }
  // Clicks on the sun (single or double) and says whether it was activated within a second.
  bool SunActivatedBy(const std::string& click) {
    size_t before = viewer_.Count("anchor sun");
    Xdo("mousemove 265 40 click " + click + " 1");
    Pause(1000);
    return viewer_.Count("anchor sun") > before;
  }

  static klpview::Xvfb* xvfb_;
  std::unique_ptr<Screen> screen_;
  fs::path dir_;
  Viewer viewer_;
};

klpview::Xvfb* MenuInBrowser::xvfb_ = nullptr;

#define OPEN_OR_SKIP(...) \
  if (!Open(__VA_ARGS__)) GTEST_SKIP() << "the movie does not open here:\n" << viewer_.out()

TEST_F(MenuInBrowser, TheMenuOffersWhatTheStateAllowsAndItsCommandsWork) {
  OPEN_OR_SKIP("autorepeat='true'");
  ASSERT_TRUE(OpenMenu(150, 60));
  // At the click point, not in the browser process; mapped comes before painted.
  EXPECT_TRUE(Eventually([&] {
    QColor inside = Shot("menu-stopped", 150, 60, 40, 40).pixelColor(30, 20);
    return inside.red() + inside.green() + inside.blue() > 3 * 220;
  }, 3000)) << "the menu's background";
  std::ifstream maps("/proc/" + std::to_string(viewer_.pid()) + "/maps");
  std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("libQt5WebKit"), std::string::npos);
  EXPECT_EQ(text.find("libgtk-3"), std::string::npos);
  EXPECT_EQ(text.find("libgdk-3"), std::string::npos);
  EXPECT_NE(viewer_.Helper(), 0);

  // Stopped: Play, then Properties (Pause and Stop are grayed, the keys pass over them).
  Choose("Down Down");
  ASSERT_TRUE(viewer_.WaitFor("trace <ID_MENU_PROPERTIES>"));
  ASSERT_TRUE(Eventually([&] { return screen_->Titled("Properties") != 0; }));
  Pause(300);
  Xdo("key Escape");
  ASSERT_TRUE(Gone("Properties"));

  ASSERT_TRUE(OpenMenu());
  Choose("Down");  // Play
  ASSERT_TRUE(viewer_.WaitFor("trace <ID_MENU_PLAY>"));
  Pause(500);
  ASSERT_TRUE(OpenMenu());
  Shot("menu-playing", 40, 40, 200, 200);
  Choose("Down");  // playing: Play is grayed, Pause comes first
  ASSERT_TRUE(viewer_.WaitFor("trace <ID_MENU_PAUSE>"));
  Pause(300);
  QImage a = Shot("paused-a", 0, 0, 320, 240);
  Pause(600);
  EXPECT_EQ(a, Shot("paused-b", 0, 0, 320, 240)) << "the movie went on after Pause";
  ASSERT_TRUE(OpenMenu());
  Choose("Down Down");  // paused: Play, Stop
  ASSERT_TRUE(viewer_.WaitFor("trace <ID_MENU_STOP>"));
  EXPECT_EQ(viewer_.Count("trace ! CKLMoviePlay::Pause 01") +
                viewer_.Count("trace ! CKLMoviePlay::Play 01") +
                viewer_.Count("trace ! CKLMoviePlay::Stop 01"),
            0u)
      << viewer_.out();
  EXPECT_TRUE(viewer_.Running());
}

TEST_F(MenuInBrowser, PropertiesShowTheSettingsAndOkAppliesThem) {
  OPEN_OR_SKIP();
  ASSERT_TRUE(DoorFrameShown());
  ASSERT_TRUE(SunActivatedBy("--repeat 1"));

  ::Window dialog = OpenDialog("Properties");
  ASSERT_NE(dialog, 0u);
  Shot("properties", 0, 0, 320, 260);
  Xdo("key space Return");  // Show Anchor has the focus: cleared, then OK
  ASSERT_TRUE(Gone("Properties"));
  EXPECT_TRUE(Eventually([&] { return !DoorFrameShown(); }, 3000));

  // It shows the setting it applied: space checks Show Anchor again.
  ASSERT_NE(OpenDialog("Properties"), 0u);
  Xdo("key space Return");
  ASSERT_TRUE(Gone("Properties"));
  EXPECT_TRUE(Eventually([&] { return DoorFrameShown(); }, 3000));

  // Double-click activation: Tab to the radio buttons, Down to Double-click.
  ASSERT_NE(OpenDialog("Properties"), 0u);
  Xdo("key Tab Tab Down");
  Pause(200);
  Shot("properties-double");
  Xdo("key Return");
  ASSERT_TRUE(Gone("Properties"));
  EXPECT_FALSE(SunActivatedBy("--repeat 1"));
  EXPECT_TRUE(SunActivatedBy("--repeat 2 --delay 120"));
  EXPECT_EQ(viewer_.Only({"trace <ID_MENU_PROPERTIES>"}).size(), 3u);
}

TEST_F(MenuInBrowser, EscapeAndTheCloseBoxLeaveEverythingAsItWas) {
  OPEN_OR_SKIP();
  ::Window dialog = OpenDialog("Properties");
  ASSERT_NE(dialog, 0u);
  Xdo("key space Tab Tab Down Tab space");  // every setting changed on screen
  Pause(200);
  Shot("properties-changed");
  Xdo("key Escape");
  ASSERT_TRUE(Gone("Properties"));
  EXPECT_TRUE(Eventually([&] { return DoorFrameShown(); }, 3000));
  EXPECT_TRUE(SunActivatedBy("--repeat 1"));

  dialog = OpenDialog("Properties");
  ASSERT_NE(dialog, 0u);
  Xdo("key space");
  screen_->CloseBox(dialog);
  ASSERT_TRUE(Gone("Properties"));
  EXPECT_TRUE(Eventually([&] { return DoorFrameShown(); }, 3000));
}

TEST_F(MenuInBrowser, TheAboutBoxIgnoresEscapeAndClosesWithOk) {
  OPEN_OR_SKIP();
  ::Window about = OpenDialog("About NPKLOD32");
  ASSERT_NE(about, 0u);
  QRect r = screen_->Geometry(about);
  // Centred on the movie.
  EXPECT_NEAR(r.center().x(), 160, 2);
  EXPECT_NEAR(r.center().y(), 120, 2);
  Shot("about", r.x() - 10, r.y() - 10, r.width() + 20, r.height() + 20);
  Xdo("key Escape");
  Pause(500);
  EXPECT_NE(screen_->Titled("About NPKLOD32"), 0u) << "Escape closed the About box";
  // The box is modal: the movie around it takes no clicks (the sun's top is not covered).
  ASSERT_LT(25, r.y());
  Xdo("mousemove 265 25 click 1");
  Pause(500);
  EXPECT_EQ(viewer_.Count("anchor sun"), 0u);
  // OK: 52, 70, 40 x 15 of the box's 146 x 92 dialog units.
  int x = r.x() + r.width() * 72 / 146, y = r.y() + r.height() * 155 / 184;
  Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
  EXPECT_TRUE(Gone("About NPKLOD32"));
  EXPECT_TRUE(viewer_.WaitFor("trace <ID_MENU_ABOUT>", 100));
  Xdo("mousemove 265 25 click 1");
  EXPECT_TRUE(viewer_.WaitFor("anchor sun", 1000)) << "the same click once the box is closed";
  EXPECT_TRUE(viewer_.Running());
}

TEST_F(MenuInBrowser, KillingTheHelperWithADialogOpenLeavesThePlugInWorking) {
  OPEN_OR_SKIP("autorepeat='true'");
  ASSERT_NE(OpenDialog("Properties"), 0u);
  pid_t helper = viewer_.Helper();
  ASSERT_NE(helper, 0);
  kill(helper, SIGKILL);
  ASSERT_TRUE(viewer_.WaitFor(
      "trace ! npklod32-ui: stopped (killed by signal 9); the dialog was cancelled"));
  EXPECT_TRUE(Gone("Properties"));
  // The area the dialog covered is repainted by the browser in its own time.
  EXPECT_TRUE(Eventually([&] { return DoorFrameShown(); }, 3000)) << "nothing was applied";
  // A new helper serves the next menu.
  ASSERT_TRUE(OpenMenu());
  EXPECT_NE(viewer_.Helper(), helper);
  Choose("Down");
  EXPECT_TRUE(viewer_.WaitFor("trace <ID_MENU_PLAY>"));
  EXPECT_TRUE(SunActivatedBy("--repeat 1"));
  EXPECT_TRUE(viewer_.Running());
}

TEST_F(MenuInBrowser, LeavingThePageWithTheMenuOpenTakesTheMenuDown) {
  std::ofstream(dir_ / "next.html")
      << "<html><body><script>console.log('next page');</script></body></html>";
  OPEN_OR_SKIP("", "setTimeout(function() { location.href = 'next.html'; }, 5000);");
  ASSERT_TRUE(OpenMenu());
  ASSERT_TRUE(viewer_.WaitFor("next page", 15000)) << "the page stayed while the menu was open";
  EXPECT_TRUE(Eventually([&] { return !screen_->MenuUp(); }, 3000))
      << "the menu outlived its page";
  Pause(500);
  EXPECT_TRUE(viewer_.Running());
}

TEST_F(MenuInBrowser, LeavingThePageWithADialogOpenTakesTheDialogDown) {
  std::ofstream(dir_ / "next.html")
      << "<html><body><script>console.log('next page');</script></body></html>";
  OPEN_OR_SKIP("", "setTimeout(function() { location.href = 'next.html'; }, 5000);");
  ASSERT_NE(OpenDialog("Properties"), 0u);
  ASSERT_TRUE(viewer_.WaitFor("next page", 15000)) << "the page stayed while the dialog was open";
  EXPECT_TRUE(Gone("Properties"));
  Pause(500);
  EXPECT_TRUE(viewer_.Running());
  EXPECT_EQ(viewer_.Count("trace ! npklod32-ui: stopped"), 0u);
}

}  // namespace
