// How npklod32-ui lays out what it presents, as plain rules: dialog units to pixels, where a
// dialog and its picture go, and menu texts. No toolkit, so that the rules are testable alone.
#pragma once

#include <string>
#include <string_view>

#include "resources/resources.h"

namespace gtkui {

// The dialog font's base units, as the dialog manager measures them: a horizontal dialog unit
// is a quarter of `x`, a vertical one an eighth of `y`.
struct BaseUnits {
  int x = 6;
  int y = 13;
};
// From the font: the width in pixels of "A".."Z" "a".."z" set in it, and its height.
BaseUnits MeasuredBaseUnits(int alphabetWidth, int fontHeight);

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Dialog units to pixels, rounded to the nearest pixel.
PixelRect ToPixels(int x, int y, int cx, int cy, BaseUnits units);
inline PixelRect ControlRect(const resources::DialogControl& c, BaseUnits units) {
  return ToPixels(c.x, c.y, c.cx, c.cy, units);
}
// The size of the dialog's client area.
PixelRect DialogClient(const resources::DialogTemplate& t, BaseUnits units);

// Where the dialog's top left corner goes, given the rectangle the plug-in placed its own
// dialog window in: centred on that rectangle for DS_CENTER, else at its top left.
PixelRect DialogPlacement(const resources::DialogTemplate& t, BaseUnits units, PixelRect placed);

// A picture shown at its real size in control c: with SS_RIGHTJUST its bottom right corner stays
// at the control's, else its top left does. width and height include the picture's frame.
PixelRect PictureRect(const resources::DialogControl& c, BaseUnits units, int width, int height);

// A menu or button text with its '&' mnemonic marker ("&&" for a plain '&') in the toolkit's
// form: '_' marks the mnemonic and a plain '_' is doubled.
std::string MnemonicLabel(std::string_view text);

}  // namespace gtkui
