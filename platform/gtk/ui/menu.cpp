// The pop-up menu: items as the plug-in appended them, at the point it asked for, answered with
// the command chosen once the menu has closed.
#include <cstdio>

#include "platform/gtk/layout.h"
#include "platform/gtk/ui/helper.h"

namespace gtkui {
namespace {

// AppendMenuA's flags.
constexpr int64_t kGrayed = 0x0001;
constexpr int64_t kDisabled = 0x0002;
constexpr int64_t kSeparator = 0x0800;

// Menu texts are in the plug-in's code page.
std::string Utf8(const std::string& text) {
  gchar* u = g_convert_with_fallback(text.c_str(), -1, "UTF-8", "WINDOWS-1252", "?", nullptr,
                                     nullptr, nullptr);
  std::string out = u ? u : "";
  g_free(u);
  return out;
}

// A release of the right button: what opened the menu, for its pointer grab.
GdkEvent* TriggerEvent(GdkWindow* window) {
  GdkEvent* e = gdk_event_new(GDK_BUTTON_RELEASE);
  e->button.window = GDK_WINDOW(g_object_ref(window));
  e->button.time = GDK_CURRENT_TIME;
  e->button.button = 3;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(window));
  gdk_event_set_device(e, gdk_seat_get_pointer(seat));
  return e;
}

}  // namespace

void Helper::ShowMenu(const Message& header, const std::vector<Message>& items) {
  serial_ = header.numbers[0];
  chosen_ = 0;
  owner_ = OwnerWindow(header.numbers[3]);
  menu_ = gtk_menu_new();
  for (const Message& item : items) {
    int64_t flags = item.numbers[0];
    GtkWidget* w;
    if (flags & kSeparator) {
      w = gtk_separator_menu_item_new();
    } else {
      w = gtk_menu_item_new_with_mnemonic(MnemonicLabel(Utf8(item.text)).c_str());
      gtk_widget_set_sensitive(w, !(flags & (kGrayed | kDisabled)));
      g_object_set_data(G_OBJECT(w), "command", GINT_TO_POINTER(static_cast<int>(item.numbers[1])));
      g_signal_connect(w, "activate", G_CALLBACK(&OnItemActivated), this);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_), w);
  }
  g_signal_connect(menu_, "deactivate", G_CALLBACK(&OnMenuDeactivated), this);
  gtk_widget_show_all(menu_);
  GdkRectangle at{static_cast<int>(header.numbers[1]), static_cast<int>(header.numbers[2]), 1, 1};
  GdkEvent* trigger = TriggerEvent(owner_);
  gtk_menu_popup_at_rect(GTK_MENU(menu_), owner_, &at, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, trigger);
  gdk_event_free(trigger);
  StartHeartbeat();
  if (!gtk_widget_get_visible(menu_)) {  // no pointer grab to be had
    std::fprintf(stderr, "npklod32-ui: the menu could not be shown\n");
    FinishLater();
  }
}

void Helper::OnItemActivated(GtkMenuItem* item, gpointer self) {
  static_cast<Helper*>(self)->chosen_ =
      GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "command"));
}

// An item's activation follows the menu's deactivation: answer once both are over.
void Helper::OnMenuDeactivated(GtkMenuShell*, gpointer self) {
  static_cast<Helper*>(self)->FinishLater();
}

void Helper::FinishLater() {
  struct Finish {
    Helper* helper;
    int64_t serial;
  };
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      +[](gpointer data) -> gboolean {
        auto* f = static_cast<Finish*>(data);
        Helper* h = f->helper;
        if (h->menu_ && h->serial_ == f->serial) {
          h->Send(Message{Verb::Chosen, {h->serial_, h->chosen_}, {}});
          h->TakeDown();
        }
        return G_SOURCE_REMOVE;
      },
      new Finish{this, serial_}, +[](gpointer data) { delete static_cast<Finish*>(data); });
}

}  // namespace gtkui
