#include "tests/media/x_click.h"

#include <X11/Xlib.h>

#include <initializer_list>

namespace klp::test {

void ClickAt(const NPPluginFuncs& plugin, NPP instance, int x, int y) {
  for (int type : {ButtonPress, ButtonRelease}) {
    XEvent e{};
    e.xbutton.type = type;
    e.xbutton.button = Button1;
    e.xbutton.x = x;
    e.xbutton.y = y;
    plugin.event(instance, &e);
  }
}

}  // namespace klp::test
