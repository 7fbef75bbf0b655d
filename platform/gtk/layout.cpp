#include "platform/gtk/layout.h"

#include <algorithm>
#include <climits>

namespace gtkui {
namespace {

// a * b / c rounded to the nearest integer, for non-negative c.
int MulDiv(int a, int b, int c) {
  long long p = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace

BaseUnits MeasuredBaseUnits(int alphabetWidth, int fontHeight) {
  // The average width of the 52 letters, rounded as the dialog manager rounds it.
  return BaseUnits{std::max(1, (alphabetWidth / 26 + 1) / 2), std::max(1, fontHeight)};
}

PixelRect ToPixels(int x, int y, int cx, int cy, BaseUnits u) {
  return PixelRect{MulDiv(x, u.x, 4), MulDiv(y, u.y, 8), MulDiv(cx, u.x, 4), MulDiv(cy, u.y, 8)};
}

PixelRect DialogClient(const resources::DialogTemplate& t, BaseUnits units) {
  return ToPixels(0, 0, t.cx, t.cy, units);
}

PixelRect DialogPlacement(const resources::DialogTemplate& t, BaseUnits units, PixelRect placed) {
  PixelRect own = DialogClient(t, units);
  if (t.style & resources::dlg::DS_CENTER) {
    // In 64 bits: the placement comes off a line of the protocol and may be anything.
    auto centre = [](int at, int size, int ownSize) {
      const long long c = static_cast<long long>(at) + size / 2 - ownSize / 2;
      return static_cast<int>(std::clamp<long long>(c, INT_MIN, INT_MAX));
    };
    own.x = centre(placed.x, placed.width, own.width);
    own.y = centre(placed.y, placed.height, own.height);
  } else {
    own.x = placed.x;
    own.y = placed.y;
  }
  return own;
}

PixelRect PictureRect(const resources::DialogControl& c, BaseUnits units, int width, int height) {
  PixelRect r = ControlRect(c, units);
  if (c.style & resources::dlg::SS_RIGHTJUST) {
    r.x += r.width - width;
    r.y += r.height - height;
  }
  r.width = width;
  r.height = height;
  return r;
}

std::string MnemonicLabel(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') {
      out += "__";
    } else if (c == '&' && i + 1 < text.size() && text[i + 1] == '&') {
      out += '&';
      ++i;
    } else if (c == '&') {
      out += '_';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace gtkui
