// The QtWebKit engine of `klp view`: the page in a QWebView with the plug-in from the build tree
// or the install prefix, on the display or a private Xvfb.
#include "host/view/engines.h"

#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebHitTestResult>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "host/view/options.h"
#include "host/view/xvfb.h"

namespace klpview {
namespace {

constexpr const char* kMimeType = "application/kelvora-movie";
constexpr const char* kPluginFile = "npklod32.so";

// Page console messages and alerts go to stdout, one line each, as they happen.
class Page : public QWebPage {
 public:
  using QWebPage::QWebPage;

 protected:
  void javaScriptConsoleMessage(const QString& message, int, const QString&) override {
    std::printf("%s\n", message.toUtf8().constData());
    std::fflush(stdout);
  }
  void javaScriptAlert(QWebFrame*, const QString& message) override {
    std::printf("alert: %s\n", message.toUtf8().constData());
    std::fflush(stdout);
  }
};

// The browser's own context menu stays closed over a plug-in, whose right button is its own.
class View : public QWebView {
 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    QWebHitTestResult hit = page()->mainFrame()->hitTestContent(event->pos());
    QString tag = hit.element().tagName().toLower();
    if (tag == "embed" || tag == "object") {
      event->accept();
      return;
    }
    QWebView::contextMenuEvent(event);
  }
};

void SendMouse(QWidget* view, QEvent::Type type, QPoint p, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent e(type, p, view->mapToGlobal(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(view, &e);
}

// A click as the window system delivers it: the pointer moves there, then press and release
// (right: the context-menu request comes with the press; double: a second press reported as
// a double click).
void Click(QWidget* view, const Action& a) {
  QPoint p(a.x, a.y);
  SendMouse(view, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
  Qt::MouseButton b = a.button == Action::Button::Right ? Qt::RightButton : Qt::LeftButton;
  SendMouse(view, QEvent::MouseButtonPress, p, b, b);
  if (b == Qt::RightButton) {
    QContextMenuEvent menu(QContextMenuEvent::Mouse, p, view->mapToGlobal(p));
    QApplication::sendEvent(view, &menu);
  }
  SendMouse(view, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
  if (a.button == Action::Button::Double) {
    SendMouse(view, QEvent::MouseButtonDblClick, p, b, b);
    SendMouse(view, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
  }
}

// Whether the engine registered the plug-in for its type, as page script sees it.
bool PluginRegistered() {
  QWebPage probe;
  probe.mainFrame()->setHtml("<html></html>");
  QString file = probe.mainFrame()
                     ->evaluateJavaScript(QString("(function(){var m=navigator.mimeTypes['") +
                                          kMimeType +
                                          "'];return m&&m.enabledPlugin?m.enabledPlugin.filename:'';})()")
                     .toString();
  return QFileInfo(file).fileName() == kPluginFile;
}

}  // namespace

int RunQtWebKit(const Options& o) {
  namespace fs = std::filesystem;
  bool isUrl = IsUrl(o.target);
  std::string pluginDir = !o.pluginDir.empty()
                              ? o.pluginDir
                              : FindPluginDir(ExecutablePath(), KLP_BUILD_DIR, KLP_PLUGIN_DIR);
  std::string pluginPath = (fs::path(pluginDir) / kPluginFile).string();
  if (!fs::is_regular_file(pluginPath)) {
    Fail("plug-in not found: " + pluginPath + " (build it, or install with cmake --install)");
    return kExitNoPlugin;
  }

  std::optional<Xvfb> xvfb;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    if (!o.headless) {
      Fail("no X display (DISPLAY is not set); use --headless to run on a private one");
      return kExitNoDisplay;
    }
    xvfb.emplace();
    if (!xvfb->Start(std::max(o.width, 1024), std::max(o.height, 768))) {
      Fail(xvfb->error());
      return kExitNoDisplay;
    }
    setenv("DISPLAY", xvfb->display().c_str(), 1);
  }
  setenv("QTWEBKIT_PLUGIN_PATH", pluginDir.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);  // windowless plug-ins paint with X11

  static int argc = 1;
  static char name[] = "klp";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QWebSettings::globalSettings()->setAttribute(QWebSettings::PluginsEnabled, true);
  QWebSettings::globalSettings()->setAttribute(QWebSettings::JavascriptEnabled, true);
  if (!PluginRegistered()) {
    Fail("the browser engine did not load the plug-in " + pluginPath);
    return kExitNoPlugin;
  }

  auto view = std::make_unique<View>();
  view->setPage(new Page(view.get()));
  view->resize(o.width, o.height);
  view->setWindowTitle(QString::fromStdString("klp view - " + o.target));
  view->show();

  int exitCode = kExitOk;
  bool started = false;
  QObject::connect(view.get(), &QWebView::loadFinished, [&](bool ok) {
    if (started) return;  // later navigations run no second schedule
    started = true;
    // A project is handed to the plug-in, which the engine reports as an interrupted load.
    if (!ok && !IsProjectFile(o.target)) {
      Fail("could not load " + o.target);
      exitCode = kExitLoadFailed;
      app.exit(exitCode);
      return;
    }
    for (const Action& a : o.actions) {
      QTimer::singleShot(static_cast<int>(a.at * 1000), view.get(), [&, a] {
        if (a.kind == Action::Kind::Click) {
          Click(view.get(), a);
        } else if (view->grab().save(QString::fromStdString(a.file), "PNG")) {
          std::fprintf(stderr, "klp view: saved %s\n", a.file.c_str());
        } else {
          Fail("could not write " + a.file);
          exitCode = kExitUsage;
        }
      });
    }
    double quit = o.QuitTime();
    if (quit >= 0)
      QTimer::singleShot(static_cast<int>(quit * 1000), &app, [&] { app.exit(exitCode); });
  });

  if (o.QuitTime() >= 0) {  // an automated run does not wait for ever on a page that never loads
    QTimer::singleShot(60 * 1000, &app, [&] {
      if (started) return;
      Fail("the page did not finish loading within 60 s: " + o.target);
      app.exit(kExitLoadFailed);
    });
  }
  if (isUrl) {
    view->load(QUrl(QString::fromStdString(o.target)));
  } else if (IsProjectFile(o.target)) {
    // Full-page mode: the project is the document, of the plug-in's type.
    QString path = QFileInfo(QString::fromStdString(o.target)).absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      Fail("cannot read " + o.target);
      return kExitNoFile;
    }
    view->page()->mainFrame()->setContent(file.readAll(), kMimeType, QUrl::fromLocalFile(path));
  } else {
    view->load(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(o.target)).absoluteFilePath()));
  }
  int result = app.exec();
  view.reset();  // destroys the page and with it the plug-in's instances
  return result;
}

}  // namespace klpview
