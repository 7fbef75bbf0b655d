// The browser desktop against a real X server (a private Xvfb): painting into the browser's
// drawable, cursors on the browser's window, pointer tracking, invalidation and both timer
// services. The browser itself is a table of fake services.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "host/view/xvfb.h"
#include "platform/npdesk/compose.h"
#include "platform/npdesk/npdesk.h"
#include "platform/npdesk/x11_output.h"
#include "plugin/services.h"
#include "resources/resources.h"

// After the project's headers: Xlib and GLib define macros (None, TRUE, FALSE) that they use
// as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <glib.h>

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

// --- Composition ---------------------------------------------------------------------------

win::Surface Filled(int w, int h, uint32_t colour) {
  win::Surface s;
  s.width = w;
  s.height = h;
  s.pixels.assign(static_cast<size_t>(w) * h, colour);
  return s;
}

TEST(Compose, LayersGoOverTheBaseAtTheirOffsetsAndAreClipped) {
  win::Surface base = Filled(10, 8, kRed), child = Filled(4, 4, kBlue), late = Filled(2, 2, kGreen);
  win::RECT r{0, 0, 10, 8};
  auto px = npdesk::Compose(base, {{&child, 8, 6}, {&late, -1, -1}}, &r);
  ASSERT_EQ(px.size(), 80u);
  auto at = [&](int x, int y) { return px[y * 10 + x]; };
  EXPECT_EQ(at(7, 5), kRed);
  EXPECT_EQ(at(8, 6), kBlue);
  EXPECT_EQ(at(9, 7), kBlue);  // the rest of the child lies outside the base
  EXPECT_EQ(at(0, 0), kGreen);
  EXPECT_EQ(at(1, 1), kRed);
}

TEST(Compose, IntoAnImageAtItsPitchWithCoveringLayersOverTheBase) {
  win::Surface base = Filled(10, 8, kRed), video = Filled(12, 4, kBlue), mark = Filled(2, 2, kGreen);
  win::RECT r{2, 1, 9, 7};
  ASSERT_TRUE(npdesk::ClipToBase(base, &r));
  constexpr size_t kPitch = 16;
  std::vector<uint32_t> image(kPitch * 6, 0xDEADBEEF);
  npdesk::ComposeInto(base, {{&video, -1, 2}, {&mark, 4, 3}}, r, image.data(), kPitch);
  auto at = [&](int x, int y) { return image[(y - r.top) * kPitch + (x - r.left)]; };
  EXPECT_EQ(at(2, 1), kRed);
  EXPECT_EQ(at(8, 1), kRed);
  EXPECT_EQ(at(2, 2), kBlue);  // rows 2 to 5: the video from side to side
  EXPECT_EQ(at(8, 5), kBlue);
  EXPECT_EQ(at(4, 3), kGreen);
  EXPECT_EQ(at(5, 4), kGreen);
  EXPECT_EQ(at(6, 4), kBlue);
  EXPECT_EQ(at(3, 6), kRed);
  EXPECT_EQ(image[7], 0xDEADBEEFu);  // past the rectangle's width: untouched
  EXPECT_EQ(image[5 * kPitch + 7], 0xDEADBEEFu);
}

TEST(Compose, TheRectangleIsClippedToTheBase) {
  win::Surface base = Filled(10, 8, kRed), child = Filled(4, 4, kBlue);
  win::RECT r{6, 5, 40, 30};
  auto px = npdesk::Compose(base, {{&child, 20, 20}}, &r);
  EXPECT_EQ(r.left, 6);
  EXPECT_EQ(r.right, 10);
  EXPECT_EQ(r.bottom, 8);
  EXPECT_EQ(px, std::vector<uint32_t>(12, kRed));
  win::RECT outside{12, 0, 20, 5};
  EXPECT_TRUE(npdesk::Compose(base, {}, &outside).empty());
}

// A layer drawn on demand writes only its part of the rectangle, given in its own coordinates,
// in order with the other layers; the byte above red it leaves is cleared in a copy.
TEST(Compose, ALayerDrawnOnDemandWritesItsClippedPartInOrder) {
  win::Surface base = Filled(10, 8, kRed), mark = Filled(2, 2, kGreen), video;
  video.width = 12;
  video.height = 4;
  std::vector<win::RECT> asked;
  video.draw = [&](const win::Surface& s, const win::RECT& r, uint32_t* out, size_t pitch) {
    EXPECT_EQ(&s, &video);
    asked.push_back(r);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        out[(y - r.top) * pitch + (x - r.left)] = 0xAB000000u | static_cast<uint32_t>(y * 16 + x);
  };
  win::RECT r{2, 1, 9, 7};
  auto px = npdesk::Compose(base, {{&video, -1, 2}, {&mark, 4, 3}}, &r);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].left, 3);  // base column 2 is video column 3
  EXPECT_EQ(asked[0].top, 0);
  EXPECT_EQ(asked[0].right, 10);
  EXPECT_EQ(asked[0].bottom, 4);
  auto at = [&](int x, int y) { return px[(y - 1) * 7 + (x - 2)]; };
  EXPECT_EQ(at(2, 1), kRed);
  EXPECT_EQ(at(2, 2), 3u);              // video (3, 0), the byte above red cleared
  EXPECT_EQ(at(8, 5), 3u * 16 + 9);     // video (9, 3)
  EXPECT_EQ(at(4, 3), kGreen);          // the later layer over it
  EXPECT_EQ(at(8, 6), kRed);
  // Into an image, the layer's pixels are left as it wrote them.
  constexpr size_t kPitch = 16;
  std::vector<uint32_t> image(kPitch * 6, 0);
  npdesk::ComposeInto(base, {{&video, -1, 2}}, r, image.data(), kPitch);
  EXPECT_EQ(image[kPitch * 1], 0xAB000003u);
  // Outside the rectangle it is not asked.
  win::RECT above{0, 0, 10, 2};
  asked.clear();
  npdesk::Compose(base, {{&video, -1, 2}}, &above);
  EXPECT_TRUE(asked.empty());
}

// --- The desktop under a real X server -------------------------------------------------------

struct FakeBrowser {
  ::Window browserWindow = 0;
  std::vector<NPRect> invalidated;
  std::vector<uint32_t> scheduled;  // intervals asked of NPN_ScheduleTimer
  void (*timerFunc)(NPP, uint32_t) = nullptr;
  std::vector<std::pair<void (*)(void*), void*>> asyncCalls;  // NPN_PluginThreadAsyncCall
};
FakeBrowser* g_browser = nullptr;

NPError GetValue(NPP, NPNVariable variable, void* value) {
  if (variable != NPNVnetscapeWindow || !g_browser->browserWindow) return NPERR_GENERIC_ERROR;
  *static_cast<unsigned long*>(value) = g_browser->browserWindow;
  return NPERR_NO_ERROR;
}
void InvalidateRect(NPP, NPRect* r) { g_browser->invalidated.push_back(*r); }
uint32_t ScheduleTimer(NPP, uint32_t interval, NPBool, void (*f)(NPP, uint32_t)) {
  g_browser->scheduled.push_back(interval);
  g_browser->timerFunc = f;
  return static_cast<uint32_t>(g_browser->scheduled.size());
}
void UnscheduleTimer(NPP, uint32_t) {}
void AsyncCall(NPP, void (*f)(void*), void* data) { g_browser->asyncCalls.emplace_back(f, data); }

std::vector<win::MSG> g_messages;
uint32_t g_areaColour = kRed;

win::LRESULT AreaProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  g_messages.push_back(win::MSG{hwnd, msg, wp, lp, 0, {0, 0}});
  if (msg == win::WM_PAINT) {
    win::PAINTSTRUCT ps;
    if (win::HDC dc = win::BeginPaint(hwnd, &ps)) {
      win::Surface* s = win::SurfaceFromDC(dc);
      for (int y = 2; y < s->height - 2; ++y)
        for (int x = 2; x < s->width - 2; ++x) s->pixels[y * s->width + x] = g_areaColour;
    }
    win::EndPaint(hwnd, &ps);
  }
  return 0;
}

win::LRESULT ChildProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  if (msg == win::WM_PAINT) {
    win::PAINTSTRUCT ps;
    if (win::HDC dc = win::BeginPaint(hwnd, &ps)) {
      win::Surface* s = win::SurfaceFromDC(dc);
      std::fill(s->pixels.begin(), s->pixels.end(), kBlue);
    }
    win::EndPaint(hwnd, &ps);
    return 0;
  }
  return win::DefWindowProcA(hwnd, msg, wp, lp);
}

// A child that draws itself on demand where the desktop offers it (as the video window does):
// columns of blue and green, with the byte above red set, which the server must ignore.
bool g_offeredOnDemand = false;
uint32_t Column(int x) { return 0xFF000000u | (x % 2 ? kGreen : kBlue); }

win::LRESULT OnDemandProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  if (msg == win::WM_PAINT) {
    win::PAINTSTRUCT ps;
    if (win::HDC dc = win::BeginPaint(hwnd, &ps)) {
      win::Surface* s = win::SurfaceFromDC(dc);
      g_offeredOnDemand = s->onDemand;
      s->draw = [](const win::Surface&, const win::RECT& r, uint32_t* out, size_t pitch) {
        for (int y = r.top; y < r.bottom; ++y)
          for (int x = r.left; x < r.right; ++x)
            out[(y - r.top) * pitch + (x - r.left)] = Column(x);
      };
      s->pixels.clear();
    }
    win::EndPaint(hwnd, &ps);
    return 0;
  }
  return win::DefWindowProcA(hwnd, msg, wp, lp);
}

class BrowserDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartServer({}); }
  static void StartServer(const std::vector<std::string>& extra) {
    xvfb_ = new klpview::Xvfb();
    ASSERT_TRUE(xvfb_->Start(640, 480, 10000, extra)) << xvfb_->error();
    display_ = XOpenDisplay(xvfb_->display().c_str());
    ASSERT_NE(display_, nullptr);
  }
  static void TearDownTestSuite() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    delete xvfb_;
    xvfb_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(display_, nullptr);
    g_browser = &browser_;
    g_messages.clear();
    g_areaColour = kRed;
    funcs_.version = 26;
    funcs_.getvalue = &GetValue;
    funcs_.invalidaterect = &InvalidateRect;
    SetBrowserFuncs(&funcs_);
    npdesk::Install();
  }
  void TearDown() override {
    npdesk::Uninstall();
    SetBrowserFuncs(nullptr);
    g_browser = nullptr;
  }

  // The instance's area, at (x, y) of the drawable, drawn by AreaProc.
  win::HWND Attach(uint32_t w, uint32_t h, int32_t x = 0, int32_t y = 0) {
    ws_.display = display_;
    ws_.visual = DefaultVisual(display_, DefaultScreen(display_));
    ws_.depth = 24;
    NPWindow window{};
    window.x = x;
    window.y = y;
    window.width = w;
    window.height = h;
    window.ws_info = &ws_;
    window.type = NPWindowTypeDrawable;
    win::HWND area = npdesk::AttachArea(&npp_, &window);
    win::SetWindowLongPtrA(area, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&AreaProc));
    return area;
  }
  win::HWND Child(win::HWND parent, int x, int y, int w, int h) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &ChildProc;
    wc.lpszClassName = "TestChild";
    win::RegisterClassA(&wc);  // once per desktop; later calls find the name taken
    npdesk::InstanceScope scope(&npp_);
    return win::CreateWindowExA(0, "TestChild", "", win::WS_CHILD | win::WS_VISIBLE, x, y, w, h,
                                parent, nullptr, nullptr, nullptr);
  }
  // An expose puts a child drawn on demand at its place in the area, whether the area's image
  // is shared with the server or not.
  void CheckChildDrawnOnDemand() {
    win::HWND area = Attach(60, 40);
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &OnDemandProc;
    wc.lpszClassName = "TestOnDemand";
    win::RegisterClassA(&wc);
    {
      npdesk::InstanceScope scope(&npp_);
      win::CreateWindowExA(0, "TestOnDemand", "", win::WS_CHILD | win::WS_VISIBLE, 30, 20, 20,
                           10, area, nullptr, nullptr, nullptr);
    }
    g_offeredOnDemand = false;
    Pixmap p = FilledPixmap(100, 80, kRed);
    EXPECT_EQ(ExposeArea(p, 0, 0, 60, 40), 1);
    EXPECT_TRUE(g_offeredOnDemand);
    EXPECT_EQ(PixelAt(p, 30, 20), kBlue);  // the child's column 0
    EXPECT_EQ(PixelAt(p, 31, 20), kGreen);
    EXPECT_EQ(PixelAt(p, 49, 29), kGreen);
    EXPECT_EQ(PixelAt(p, 50, 29), kRed);  // the area beside it
    EXPECT_EQ(PixelAt(p, 30, 30), kRed);
    // A rectangle cutting the child asks for that part only, at its place.
    XFreePixmap(display_, p);
    p = FilledPixmap(100, 80, kRed);
    EXPECT_EQ(ExposeArea(p, 35, 25, 40, 27), 1);
    EXPECT_EQ(PixelAt(p, 35, 25), kGreen);  // the child's column 5
    EXPECT_EQ(PixelAt(p, 36, 26), kBlue);
    EXPECT_EQ(PixelAt(p, 34, 25), kRed);    // outside the rectangle: untouched
    EXPECT_EQ(PixelAt(p, 40, 25), kRed);
    XFreePixmap(display_, p);
  }

  Pixmap FilledPixmap(int w, int h, unsigned long colour) {
    Pixmap p = XCreatePixmap(display_, DefaultRootWindow(display_), w, h, 24);
    GC gc = XCreateGC(display_, p, 0, nullptr);
    XSetForeground(display_, gc, colour);
    XFillRectangle(display_, p, gc, 0, 0, w, h);
    XFreeGC(display_, gc);
    return p;
  }
  uint32_t PixelAt(Drawable d, int x, int y) {
    XImage* img = XGetImage(display_, d, x, y, 1, 1, AllPlanes, ZPixmap);
    uint32_t v = static_cast<uint32_t>(XGetPixel(img, 0, 0)) & 0xFFFFFF;
    XDestroyImage(img);
    return v;
  }
  int16_t ExposeArea(Drawable d, int x, int y, int right, int bottom) {
    XEvent e{};
    e.xgraphicsexpose.type = GraphicsExpose;
    e.xgraphicsexpose.display = display_;
    e.xgraphicsexpose.drawable = d;
    e.xgraphicsexpose.x = x;
    e.xgraphicsexpose.y = y;
    e.xgraphicsexpose.width = right;
    e.xgraphicsexpose.height = bottom;
    return npdesk::HandleEvent(&npp_, &e);
  }
  int16_t Crossing(int type, int x, int y) {
    XEvent e{};
    e.xcrossing.type = type;
    e.xcrossing.display = display_;
    e.xcrossing.x = x;
    e.xcrossing.y = y;
    return npdesk::HandleEvent(&npp_, &e);
  }
  int16_t Pointer(int type, int x, int y, unsigned button = 0) {
    XEvent e{};
    e.xbutton.type = type;
    e.xbutton.display = display_;
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.button = button;
    return npdesk::HandleEvent(&npp_, &e);
  }
  std::vector<win::UINT> Messages() const {
    std::vector<win::UINT> out;
    for (const win::MSG& m : g_messages) out.push_back(m.message);
    return out;
  }

  static inline klpview::Xvfb* xvfb_ = nullptr;
  static inline Display* display_ = nullptr;
  FakeBrowser browser_;
  NPNetscapeFuncs funcs_{};
  NPSetWindowCallbackStruct ws_{};
  NPP_t npp_{};
};

TEST_F(BrowserDesktop, ExposePaintsTheAreaWithItsChildrenIntoTheDrawable) {
  win::HWND area = Attach(60, 40);
  Child(area, 30, 20, 20, 10);
  Pixmap p = FilledPixmap(100, 80, kGreen);
  EXPECT_EQ(ExposeArea(p, 0, 0, 60, 40), 1);
  EXPECT_EQ(PixelAt(p, 0, 0), 0xFFFFFFu);  // erased to the page background, not painted
  EXPECT_EQ(PixelAt(p, 5, 5), kRed);
  EXPECT_EQ(PixelAt(p, 30, 20), kBlue);
  EXPECT_EQ(PixelAt(p, 49, 29), kBlue);
  EXPECT_EQ(PixelAt(p, 50, 30), kRed);
  EXPECT_EQ(PixelAt(p, 60, 5), kGreen);  // beyond the area: untouched
  EXPECT_EQ(PixelAt(p, 5, 40), kGreen);
  XFreePixmap(display_, p);
}

// The area's image: shared with the server where it can be, remade when the area's size
// changes, and put from any of its rectangles.
void CheckAreaImage(Display* display, bool shared) {
  Visual* visual = DefaultVisual(display, DefaultScreen(display));
  npdesk::AreaImage image;
  size_t pitch = 0;
  for (int width : {40, 90}) {
    uint32_t* pixels = image.Pixels(display, visual, 24, width, 30, &pitch);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(image.shared(), shared);
    EXPECT_GE(pitch, static_cast<size_t>(width));
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < width; ++x) pixels[y * pitch + x] = x < 20 ? kRed : kBlue;
    Pixmap p = XCreatePixmap(display, DefaultRootWindow(display), 100, 40, 24);
    ASSERT_TRUE(image.Put(p, 15, 5, 2, 3, 10, 20));
    XImage* got = XGetImage(display, p, 2, 3, 10, 20, AllPlanes, ZPixmap);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(XGetPixel(got, 0, 0) & 0xFFFFFF, kRed);
    EXPECT_EQ(XGetPixel(got, 4, 19) & 0xFFFFFF, kRed);
    EXPECT_EQ(XGetPixel(got, 5, 0) & 0xFFFFFF, kBlue);
    EXPECT_EQ(XGetPixel(got, 9, 19) & 0xFFFFFF, kBlue);
    XDestroyImage(got);
    XFreePixmap(display, p);
  }
  // Other depths take converted pixels.
  EXPECT_EQ(image.Pixels(display, visual, 32, 40, 30, &pitch), nullptr);
}

TEST_F(BrowserDesktop, AChildDrawnOnDemandIsDrawnStraightIntoTheArea) { CheckChildDrawnOnDemand(); }

TEST_F(BrowserDesktop, TheAreaImageIsSharedWithTheServer) {
  ASSERT_TRUE(XShmQueryExtension(display_));
  CheckAreaImage(display_, true);
}

// As on a remote display: the server offers no shared memory.
class BrowserDesktopWithoutShm : public BrowserDesktop {
 protected:
  static void SetUpTestSuite() { StartServer({"-extension", "MIT-SHM"}); }
};

TEST_F(BrowserDesktopWithoutShm, TheAreaImageIsTheClientsOwnAndPaintsTheSame) {
  ASSERT_FALSE(XShmQueryExtension(display_));
  CheckAreaImage(display_, false);
  win::HWND area = Attach(60, 40);
  Child(area, 30, 20, 20, 10);
  Pixmap p = FilledPixmap(100, 80, kGreen);
  EXPECT_EQ(ExposeArea(p, 0, 0, 60, 40), 1);
  EXPECT_EQ(PixelAt(p, 5, 5), kRed);
  EXPECT_EQ(PixelAt(p, 30, 20), kBlue);
  EXPECT_EQ(PixelAt(p, 60, 5), kGreen);
  XFreePixmap(display_, p);
}

TEST_F(BrowserDesktopWithoutShm, AChildDrawnOnDemandIsDrawnIntoTheClientsOwnImage) {
  CheckChildDrawnOnDemand();
}

// A child covering the exposed rectangle (the movie) spares the area window its repaint; any
// part of the area showing paints it again.
TEST_F(BrowserDesktop, TheAreaPaintsForAnExposeUnlessAChildCoversIt) {
  win::HWND area = Attach(60, 40);
  Child(area, 10, 10, 40, 20);
  Pixmap p = FilledPixmap(100, 80, kGreen);
  auto paints = [&] {
    std::vector<win::UINT> m = Messages();
    return std::count(m.begin(), m.end(), static_cast<win::UINT>(win::WM_PAINT));
  };
  ExposeArea(p, 0, 0, 60, 40);
  EXPECT_EQ(paints(), 1);
  g_areaColour = kGreen;
  ExposeArea(p, 10, 10, 50, 30);
  EXPECT_EQ(paints(), 1);
  EXPECT_EQ(PixelAt(p, 10, 10), kBlue);
  EXPECT_EQ(PixelAt(p, 9, 10), kRed);  // not exposed: as painted first
  ExposeArea(p, 9, 10, 50, 30);
  EXPECT_EQ(paints(), 2);
  EXPECT_EQ(PixelAt(p, 9, 10), kGreen);
  XFreePixmap(display_, p);
}

TEST_F(BrowserDesktop, ExposeWidthAndHeightAreTheRightAndBottomEdges) {
  Attach(60, 40);
  Pixmap p = FilledPixmap(100, 80, kGreen);
  ExposeArea(p, 20, 10, 30, 15);  // the rectangle from (20, 10) to (30, 15)
  EXPECT_EQ(PixelAt(p, 20, 10), kRed);
  EXPECT_EQ(PixelAt(p, 29, 14), kRed);
  EXPECT_EQ(PixelAt(p, 30, 14), kGreen);
  EXPECT_EQ(PixelAt(p, 29, 15), kGreen);
  EXPECT_EQ(PixelAt(p, 19, 10), kGreen);
  XFreePixmap(display_, p);
}

TEST_F(BrowserDesktop, AnAreaAwayFromTheDrawableOriginIsDrawnAtItsPlace) {
  Attach(60, 40, 10, 20);
  Pixmap p = FilledPixmap(100, 80, kGreen);
  ExposeArea(p, 10, 20, 70, 60);
  EXPECT_EQ(PixelAt(p, 9, 25), kGreen);
  EXPECT_EQ(PixelAt(p, 10, 20), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(p, 15, 25), kRed);
  EXPECT_EQ(PixelAt(p, 69, 59), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(p, 70, 59), kGreen);
  XFreePixmap(display_, p);
}

TEST_F(BrowserDesktop, InvalidatingAWindowAsksTheBrowserToRepaintItsRectangle) {
  win::HWND area = Attach(60, 40);
  win::HWND child = Child(area, 30, 20, 20, 10);
  browser_.invalidated.clear();
  win::InvalidateRect(child, nullptr, 0);
  ASSERT_EQ(browser_.invalidated.size(), 1u);
  NPRect r = browser_.invalidated[0];
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 30);
  win::InvalidateRect(area, nullptr, 1);
  ASSERT_EQ(browser_.invalidated.size(), 2u);
  EXPECT_EQ(browser_.invalidated[1].right, 60);
  EXPECT_EQ(browser_.invalidated[1].bottom, 40);
}

TEST_F(BrowserDesktop, AMovedChildIsDrawnAtItsNewPlace) {
  win::HWND area = Attach(60, 40);
  win::HWND child = Child(area, 0, 0, 10, 10);
  g_areaColour = kRed;
  Pixmap p = FilledPixmap(60, 40, kGreen);
  ExposeArea(p, 0, 0, 60, 40);
  EXPECT_EQ(PixelAt(p, 5, 5), kBlue);
  win::MoveWindow(child, 40, 20, 10, 10, 1);
  ExposeArea(p, 0, 0, 60, 40);
  EXPECT_EQ(PixelAt(p, 5, 5), kRed);
  EXPECT_EQ(PixelAt(p, 45, 25), kBlue);
  XFreePixmap(display_, p);
}

TEST_F(BrowserDesktop, CrossingEventsSwapXAndYAndTrackThePointer) {
  win::HWND area = Attach(60, 40, 100, 50);
  Crossing(EnterNotify, 7, 30);  // the point (30, 7)
  win::POINT p;
  ASSERT_TRUE(win::GetCursorPos(&p));
  EXPECT_EQ(p.x, 130);
  EXPECT_EQ(p.y, 57);
  EXPECT_EQ(win::WindowFromPoint(p), area);
  win::ScreenToClient(area, &p);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.y, 7);
  Pointer(MotionNotify, 12, 34);
  win::GetCursorPos(&p);
  EXPECT_EQ(p.x, 112);
  EXPECT_EQ(p.y, 84);
  Crossing(LeaveNotify, 0, 0);
  EXPECT_EQ(win::WindowFromPoint(p), nullptr);
}

TEST_F(BrowserDesktop, MouseEventsBecomeMessagesWithSetCursorFirst) {
  Attach(60, 40);
  EXPECT_EQ(Pointer(MotionNotify, 12, 34), 1);
  EXPECT_EQ(Pointer(ButtonPress, 12, 34, Button1), 1);
  EXPECT_EQ(Pointer(ButtonRelease, 12, 34, Button1), 1);
  EXPECT_EQ(Pointer(ButtonPress, 13, 34, Button1), 1);  // quick and near: a double click
  EXPECT_EQ(Pointer(ButtonPress, 5, 6, Button3), 1);
  EXPECT_EQ(Pointer(ButtonPress, 5, 6, 4), 0);  // wheel: the browser's
  EXPECT_EQ(Messages(),
            (std::vector<win::UINT>{win::WM_SETCURSOR, win::WM_MOUSEMOVE, win::WM_LBUTTONDOWN,
                                    win::WM_LBUTTONUP, win::WM_LBUTTONDBLCLK,
                                    win::WM_RBUTTONDOWN}));
  EXPECT_EQ(g_messages[1].lParam, win::MAKELPARAM(12, 34));
  EXPECT_EQ(g_messages[5].lParam, win::MAKELPARAM(5, 6));
}

// The menu that the right button's release opens waits for the user; the browser may not destroy
// an instance while an event call into it runs, so the release arrives after the call.
TEST_F(BrowserDesktop, TheRightButtonsReleaseArrivesAfterTheEventCall) {
  funcs_.pluginthreadasynccall = &AsyncCall;
  Attach(60, 40);
  EXPECT_EQ(Pointer(ButtonPress, 5, 6, Button3), 1);
  EXPECT_EQ(Pointer(ButtonRelease, 7, 8, Button3), 1);
  EXPECT_EQ(Messages(), (std::vector<win::UINT>{win::WM_RBUTTONDOWN}));
  ASSERT_EQ(browser_.asyncCalls.size(), 1u);
  browser_.asyncCalls[0].first(browser_.asyncCalls[0].second);
  EXPECT_EQ(Messages(), (std::vector<win::UINT>{win::WM_RBUTTONDOWN, win::WM_RBUTTONUP}));
  EXPECT_EQ(g_messages[1].lParam, win::MAKELPARAM(7, 8));
}

// The cursor the server shows at the pointer.
XFixesCursorImage* ShownCursor(Display* d) {
  XSync(d, False);
  return XFixesGetCursorImage(d);
}

TEST_F(BrowserDesktop, TheCursorIsSetOnTheBrowserWindowWhileThePointerIsInsideOnly) {
  int ev, err;
  ASSERT_TRUE(XFixesQueryExtension(display_, &ev, &err));
  ::Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 200, 0, 0, 0);
  XMapWindow(display_, w);
  XSync(display_, False);
  XWarpPointer(display_, None, w, 0, 0, 0, 0, 50, 50);
  browser_.browserWindow = w;
  Attach(60, 40);
  win::HCURSOR anchor = win::LoadCursorA(reinterpret_cast<win::HINSTANCE>(1),
                                         win::MAKEINTRESOURCEA(resources::IDC_ANCHOR));
  const resources::Cursor* res = resources::FindCursor(resources::IDC_ANCHOR);
  ASSERT_NE(res, nullptr);

  win::SetCursor(anchor);  // the pointer is not over the area yet: nothing shown
  XFixesCursorImage* c = ShownCursor(display_);
  EXPECT_FALSE(c->xhot == res->hotX && c->yhot == res->hotY && c->width == 32);
  XFree(c);

  Crossing(EnterNotify, 5, 5);
  win::SetCursor(anchor);
  c = ShownCursor(display_);
  EXPECT_EQ(c->width, 32);
  EXPECT_EQ(c->xhot, res->hotX);
  EXPECT_EQ(c->yhot, res->hotY);
  XFree(c);

  Crossing(LeaveNotify, 5, 5);  // the browser's arrow comes back
  c = ShownCursor(display_);
  EXPECT_FALSE(c->xhot == res->hotX && c->yhot == res->hotY && c->width == 32);
  XFree(c);

  Crossing(EnterNotify, 5, 5);  // and the same cursor set again applies again
  win::SetCursor(anchor);
  c = ShownCursor(display_);
  EXPECT_EQ(c->xhot, res->hotX);
  XFree(c);
  XDestroyWindow(display_, w);
}

TEST_F(BrowserDesktop, WithoutBrowserTimersTimersRunOnTheGlibMainContext) {
  win::HWND area = Attach(60, 40);
  ASSERT_NE(win::SetTimer(area, 11, 10, nullptr), 0u);
  auto count = [] {
    return std::count_if(g_messages.begin(), g_messages.end(),
                         [](const win::MSG& m) { return m.message == win::WM_TIMER; });
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (count() < 2 && std::chrono::steady_clock::now() < deadline)
    g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(count(), 2);
  win::KillTimer(area, 11);
  auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
  while (std::chrono::steady_clock::now() < quiet) g_main_context_iteration(nullptr, FALSE);
  EXPECT_EQ(count(), 2);
  EXPECT_TRUE(browser_.scheduled.empty());
}

TEST_F(BrowserDesktop, BrowserTimersArePreferred) {
  funcs_.scheduletimer = &ScheduleTimer;
  funcs_.unscheduletimer = &UnscheduleTimer;
  win::HWND area = Attach(60, 40);
  win::SetTimer(area, 21, 100, nullptr);
  ASSERT_EQ(browser_.scheduled, std::vector<uint32_t>{100});
  browser_.timerFunc(&npp_, 1);
  ASSERT_FALSE(g_messages.empty());
  EXPECT_EQ(g_messages.back().message, win::WM_TIMER);
  EXPECT_EQ(g_messages.back().wParam, 21u);
  EXPECT_FALSE(g_main_context_iteration(nullptr, FALSE));  // nothing left on GLib's side
}

}  // namespace
