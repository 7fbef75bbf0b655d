// Dialogs built from the module's templates: controls at their template positions in the
// template's font, input reported to the plug-in, states shown as the plug-in sends them.
#include <gdk/gdkkeysyms.h>

#include <string>

#include "platform/gtk/layout.h"
#include "platform/gtk/ui/helper.h"

namespace gtkui {
namespace {

using resources::ControlKind;
using resources::DialogControl;
using resources::DialogTemplate;

constexpr const char* kDialogClass = "npklod32-dialog";
constexpr int kEnter = 13;
constexpr int kEscape = 27;

// The template's font where the system has it, else the sans-serif font at the template's size;
// controls as compact as the template's sizes ask for.
void StyleDialogs(const DialogTemplate& t) {
  static GtkCssProvider* provider = nullptr;
  if (!provider) {
    provider = gtk_css_provider_new();
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  std::string c = std::string(".") + kDialogClass;
  std::string css = c + " { font-family: \"" + t.font +
                    "\", Sans; font-size: " + std::to_string(t.pointSize) + "pt; }\n" + c +
                    " button { min-height: 0; min-width: 0; padding: 0 6px; }\n" + c +
                    " checkbutton, " + c + " radiobutton { min-height: 0; padding: 0; }\n" + c +
                    " checkbutton check, " + c + " radiobutton radio { margin: 0 4px 0 0; }\n" + c +
                    " frame > label { margin: 0 2px; }\n";
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

BaseUnits MeasureFont(GtkWidget* window) {
  PangoLayout* layout = gtk_widget_create_pango_layout(
      window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return MeasuredBaseUnits(width, height);
}

GdkPixbuf* BitmapPixbuf(const resources::Bitmap& b) {
  GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, b.width, b.height);
  guchar* pixels = gdk_pixbuf_get_pixels(p);
  int stride = gdk_pixbuf_get_rowstride(p);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      uint32_t rgb = b.Rgb(x, y);
      guchar* px = pixels + y * stride + x * 3;
      px[0] = static_cast<guchar>(rgb >> 16);
      px[1] = static_cast<guchar>(rgb >> 8);
      px[2] = static_cast<guchar>(rgb);
    }
  return p;
}

float TextAlignment(uint32_t style) {
  uint32_t align = style & 0x3;
  return align == resources::dlg::SS_CENTER  ? 0.5f
         : align == resources::dlg::SS_RIGHT ? 1.0f
                                             : 0.0f;
}

bool Focusable(ControlKind kind) {
  return kind == ControlKind::AutoCheckBox || kind == ControlKind::AutoRadioButton ||
         kind == ControlKind::PushButton || kind == ControlKind::DefPushButton;
}

}  // namespace

GtkWidget* Helper::MakeControl(const DialogControl& c, GtkWidget** radioGroup) {
  std::string label = MnemonicLabel(c.text ? c.text : "");
  GtkWidget* w = nullptr;
  if (c.style & resources::dlg::WS_GROUP) *radioGroup = nullptr;
  switch (c.kind) {
    case ControlKind::GroupBox:
      return gtk_frame_new(c.text);
    case ControlKind::Text: {
      w = gtk_label_new(c.text);
      float x = TextAlignment(c.style);
      gtk_label_set_xalign(GTK_LABEL(w), x);
      gtk_label_set_yalign(GTK_LABEL(w), 0.0f);
      gtk_label_set_justify(GTK_LABEL(w), x == 0.5f   ? GTK_JUSTIFY_CENTER
                                          : x == 1.0f ? GTK_JUSTIFY_RIGHT
                                                      : GTK_JUSTIFY_LEFT);
      return w;
    }
    case ControlKind::Picture: {
      const resources::Bitmap* b = resources::FindBitmap(c.image);
      w = gtk_frame_new(nullptr);
      gtk_frame_set_shadow_type(GTK_FRAME(w), GTK_SHADOW_IN);
      if (b) {
        GdkPixbuf* p = BitmapPixbuf(*b);
        gtk_container_add(GTK_CONTAINER(w), gtk_image_new_from_pixbuf(p));
        g_object_unref(p);
      }
      return w;
    }
    case ControlKind::AutoCheckBox:
      w = gtk_check_button_new_with_mnemonic(label.c_str());
      break;
    case ControlKind::AutoRadioButton:
      w = *radioGroup ? gtk_radio_button_new_with_mnemonic_from_widget(
                            GTK_RADIO_BUTTON(*radioGroup), label.c_str())
                      : gtk_radio_button_new_with_mnemonic(nullptr, label.c_str());
      if (!*radioGroup) *radioGroup = w;
      break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      w = gtk_button_new_with_mnemonic(label.c_str());
      break;
  }
  if (c.kind == ControlKind::AutoCheckBox || c.kind == ControlKind::AutoRadioButton)
    checkables_[c.id] = w;
  g_object_set_data(G_OBJECT(w), "control", GINT_TO_POINTER(c.id));
  g_signal_connect(w, "clicked", G_CALLBACK(&OnControlClicked), this);
  return w;
}

void Helper::ShowDialog(const Message& header, const std::vector<Message>& checks) {
  const DialogTemplate* t = resources::FindDialog(static_cast<unsigned>(header.numbers[1]));
  serial_ = header.numbers[0];
  if (!t) {  // not ours to show: the plug-in's procedure decides what closing it means
    Send(Message{Verb::Close, {serial_}, {}});
    return;
  }
  owner_ = OwnerWindow(header.numbers[6]);
  StyleDialogs(*t);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  dialog_ = window;
  gtk_style_context_add_class(gtk_widget_get_style_context(window), kDialogClass);
  gtk_window_set_title(GTK_WINDOW(window), t->caption);
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_modal(GTK_WINDOW(window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
  gtk_window_set_deletable(GTK_WINDOW(window), (t->style & resources::dlg::WS_SYSMENU) != 0);
  BaseUnits units = MeasureFont(window);

  PixelRect client = DialogClient(*t, units);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, client.width, client.height);
  gtk_container_add(GTK_CONTAINER(window), fixed);
  GtkWidget* radioGroup = nullptr;
  GtkWidget* focus = nullptr;
  GList* chain = nullptr;
  for (size_t i = 0; i < t->controlCount; ++i) {
    const DialogControl& c = t->controls[i];
    GtkWidget* w = MakeControl(c, &radioGroup);
    PixelRect r = ControlRect(c, units);
    if (c.kind == ControlKind::Picture) {
      GtkRequisition natural;
      gtk_widget_show_all(w);
      gtk_widget_get_preferred_size(w, nullptr, &natural);
      r = PictureRect(c, units, natural.width, natural.height);
    }
    gtk_widget_set_size_request(w, r.width, r.height);
    gtk_fixed_put(GTK_FIXED(fixed), w, r.x, r.y);
    if (c.kind == ControlKind::DefPushButton) {
      gtk_widget_set_can_default(w, TRUE);
      gtk_window_set_default(GTK_WINDOW(window), w);
    }
    if (Focusable(c.kind)) chain = g_list_append(chain, w);
    if (!focus && (c.style & resources::dlg::WS_TABSTOP)) focus = w;
  }
  // Tab follows the template's order, as in the dialog manager.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(fixed), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);

  std::map<int, int> states;
  for (const Message& m : checks)
    if (m.verb == Verb::Check)
      states[static_cast<int>(m.numbers[0])] = static_cast<int>(m.numbers[1]);
  ApplyChecks(states);

  PixelRect at = DialogPlacement(
      *t, units,
      PixelRect{static_cast<int>(header.numbers[2]), static_cast<int>(header.numbers[3]),
                static_cast<int>(header.numbers[4]), static_cast<int>(header.numbers[5])});
  int ox = 0, oy = 0;
  gdk_window_get_origin(owner_, &ox, &oy);
  gtk_window_move(GTK_WINDOW(window), ox + at.x, oy + at.y);
  g_signal_connect(window, "key-press-event", G_CALLBACK(&OnDialogKey), this);
  g_signal_connect(window, "delete-event", G_CALLBACK(&OnDialogDelete), this);
  // The user opened it in the browser: it takes the keyboard once shown (with no window manager
  // to give it, too).
  g_signal_connect(window, "map-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) -> gboolean {
                     gtk_window_present(GTK_WINDOW(w));
                     return FALSE;
                   }),
                   nullptr);
  gtk_widget_realize(window);
  if (owner_ != gdk_get_default_root_window())
    gdk_window_set_transient_for(gtk_widget_get_window(window), owner_);
  if (focus) gtk_widget_grab_focus(focus);
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
  StartHeartbeat();
}

// Unchecked first: a radio button stays checked until another of its group is.
void Helper::ApplyChecks(const std::map<int, int>& checks) {
  updating_ = true;
  for (bool on : {false, true})
    for (const auto& [id, state] : checks) {
      auto it = checkables_.find(id);
      if (it != checkables_.end() && (state == 1) == on)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(it->second), on);
    }
  updating_ = false;
}

// A radio button reports being checked; the one it unchecks is "clicked" too, and says nothing.
void Helper::OnControlClicked(GtkButton* button, gpointer self) {
  auto* h = static_cast<Helper*>(self);
  int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "control"));
  if (h->updating_ || !h->dialog_ || id < 0) return;
  if (GTK_IS_RADIO_BUTTON(button) && !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)))
    return;
  h->Send(Message{Verb::Click, {h->serial_, id}, {}});
}

// Enter goes to the default button, unless a push button has the focus, which Enter presses;
// Escape is the dialog manager's Cancel. The procedure decides what each does.
gboolean Helper::OnDialogKey(GtkWidget* window, GdkEventKey* key, gpointer self) {
  auto* h = static_cast<Helper*>(self);
  switch (key->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
      if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;
      h->Send(Message{Verb::Key, {h->serial_, kEnter}, {}});
      return TRUE;
    }
    case GDK_KEY_Escape:
      h->Send(Message{Verb::Key, {h->serial_, kEscape}, {}});
      return TRUE;
    default:
      return FALSE;
  }
}

// The close box: the plug-in decides.
gboolean Helper::OnDialogDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* h = static_cast<Helper*>(self);
  h->Send(Message{Verb::Close, {h->serial_}, {}});
  return TRUE;
}

}  // namespace gtkui
