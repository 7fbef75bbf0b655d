// npklod32-ui: presents the plug-in's pop-up menus and dialogs with GTK 3 and reports what the
// user does (protocol.h). One menu or dialog at a time; the plug-in decides when a dialog ends.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gtk/protocol.h"
#include "resources/resources.h"

namespace gtkui {

class Helper {
 public:
  explicit Helper(int out) : out_(out) {}
  ~Helper();
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // Handles one message from the plug-in.
  void Receive(const Message& m);
  // Sends one message to the plug-in; exits when it has gone.
  void Send(const Message& m);

 private:
  // menu.cpp
  void ShowMenu(const Message& header, const std::vector<Message>& items);
  static void OnItemActivated(GtkMenuItem* item, gpointer self);
  static void OnMenuDeactivated(GtkMenuShell* menu, gpointer self);
  void FinishLater();  // answers for the menu up now, once pending signals are over

  // dialog.cpp
  void ShowDialog(const Message& header, const std::vector<Message>& checks);
  void ApplyChecks(const std::map<int, int>& checks);
  GtkWidget* MakeControl(const resources::DialogControl& c, GtkWidget** radioGroup);
  static void OnControlClicked(GtkButton* button, gpointer self);
  static gboolean OnDialogKey(GtkWidget* window, GdkEventKey* key, gpointer self);
  static gboolean OnDialogDelete(GtkWidget* window, GdkEvent* event, gpointer self);

  // main.cpp
  void TakeDown();
  void StartHeartbeat();
  GdkWindow* OwnerWindow(int64_t xid);

  int out_;
  std::optional<Message> header_;  // the request being received
  std::vector<Message> body_;
  std::map<int, int> pendingChecks_;  // check lines since the last update

  int64_t serial_ = 0;  // of what is up now
  GtkWidget* menu_ = nullptr;
  int64_t chosen_ = 0;  // command of the item activated, 0 for none
  GtkWidget* dialog_ = nullptr;
  std::map<int, GtkWidget*> checkables_;  // check boxes and radio buttons by control id
  bool updating_ = false;                 // setting states the plug-in sent
  guint heartbeat_ = 0;
  GdkWindow* owner_ = nullptr;  // foreign window of the browser, while something is up
};

}  // namespace gtkui
