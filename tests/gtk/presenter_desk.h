// The scripted desktop with its menus and dialogs presented through a presenter.
#pragma once

#include <utility>

#include "platform/gtk/presenter.h"
#include "platform/sim/sim_desktop.h"
#include "platform/win/win.h"

namespace klp::test {

class PresenterDesk : public sim::SimDesktop {
 public:
  explicit PresenterDesk(gtkui::Presenter::Options o) : presenter(std::move(o)) {}
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::UINT, win::POINT at, win::HWND) override {
    return presenter.TrackMenu(menu, at, owner);
  }
  bool RunDialog(win::HWND dialog) override {
    presenter.RunDialog(dialog, Find(dialog)->rect, owner);
    return false;
  }

  gtkui::Presenter presenter;
  gtkui::Owner owner;
};

}  // namespace klp::test
