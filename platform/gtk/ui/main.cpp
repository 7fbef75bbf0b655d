// npklod32-ui's main loop: lines from the plug-in on standard input, answers on standard output.
#include <errno.h>
#include <fcntl.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/gtk/ui/helper.h"

namespace gtkui {
namespace {

constexpr int kHeartbeatMs = 1000;

struct Input {
  Helper* helper;
  LineReader reader;
};

gboolean OnInput(gint fd, GIOCondition, gpointer data) {
  auto* in = static_cast<Input*>(data);
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      in->reader.Feed(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    gtk_main_quit();  // the plug-in has gone
    return G_SOURCE_REMOVE;
  }
  while (auto line = in->reader.Next())
    if (auto m = Parse(*line)) in->helper->Receive(*m);
  return G_SOURCE_CONTINUE;
}

}  // namespace

Helper::~Helper() { TakeDown(); }

void Helper::Send(const Message& m) {
  std::string line = Format(m) + "\n";
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = write(out_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) std::exit(0);  // the plug-in has gone
    done += static_cast<size_t>(n);
  }
}

void Helper::Receive(const Message& m) {
  switch (m.verb) {
    case Verb::Menu:
    case Verb::Dialog:
      header_ = m;
      body_.clear();
      break;
    case Verb::Item:
      if (header_) body_.push_back(m);
      break;
    case Verb::Check:
      if (header_) {
        body_.push_back(m);
      } else {
        pendingChecks_[static_cast<int>(m.numbers[0])] = static_cast<int>(m.numbers[1]);
      }
      break;
    case Verb::Show: {
      if (!header_) break;
      TakeDown();
      Message header = *header_;
      header_.reset();
      if (header.verb == Verb::Menu) {
        ShowMenu(header, body_);
      } else {
        ShowDialog(header, body_);
      }
      body_.clear();
      break;
    }
    case Verb::Update:
      if (dialog_ && m.numbers[0] == serial_) ApplyChecks(pendingChecks_);
      pendingChecks_.clear();
      break;
    case Verb::End:
      if (m.numbers[0] == serial_) TakeDown();
      break;
    default:
      break;
  }
}

void Helper::TakeDown() {
  if (heartbeat_) g_source_remove(heartbeat_);
  heartbeat_ = 0;
  if (menu_) {
    g_signal_handlers_disconnect_by_data(menu_, this);
    gtk_widget_destroy(menu_);
    menu_ = nullptr;
  }
  if (dialog_) {
    gtk_widget_destroy(dialog_);
    dialog_ = nullptr;
  }
  checkables_.clear();
  if (owner_) g_object_unref(owner_);
  owner_ = nullptr;
  serial_ = 0;
}

void Helper::StartHeartbeat() {
  heartbeat_ = g_timeout_add(
      kHeartbeatMs,
      +[](gpointer self) -> gboolean {
        static_cast<Helper*>(self)->Send(Message{Verb::Alive, {}, {}});
        return G_SOURCE_CONTINUE;
      },
      this);
}

// The browser's window as a GDK window, or the root window when it is unknown or gone.
GdkWindow* Helper::OwnerWindow(int64_t xid) {
  GdkDisplay* display = gdk_display_get_default();
  GdkWindow* w = nullptr;
  if (xid > 0 && GDK_IS_X11_DISPLAY(display)) {
    gdk_x11_display_error_trap_push(display);
    w = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(xid));
    gdk_x11_display_error_trap_pop_ignored(display);
  }
  if (!w) w = GDK_WINDOW(g_object_ref(gdk_get_default_root_window()));
  return w;
}

}  // namespace gtkui

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  // The protocol keeps standard output to itself: whatever else prints goes to standard error.
  int out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (out < 0) return 1;
  dup2(STDERR_FILENO, STDOUT_FILENO);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "npklod32-ui: cannot open the display\n");
    return 1;
  }
  fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  gtkui::Helper helper(out);
  gtkui::Input input{&helper, {}};
  g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                &gtkui::OnInput, &input);
  helper.Send(gtkui::Message{gtkui::Verb::Ready, {gtkui::kProtocolVersion}, {}});
  gtk_main();
  return 0;
}
