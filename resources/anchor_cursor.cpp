// The anchor cursor (cursor 105, 32 x 32 monochrome): a pointing hand whose fingertip is the hot
// spot (7, 4). The picture is written out below and turned into the masks at compile time.
#include <string_view>

#include "resources/data.h"

namespace resources {
namespace {

// '.' transparent, '#' black, 'o' white. Rows not listed are transparent.
constexpr std::string_view kHand[] = {
    "",
    "",
    "",
    "......##",
    ".....#oo#",
    ".....#oo#",
    ".....#oo#",
    ".....#oo#",
    ".....#oo###",
    ".....#oo#oo###",
    ".....#oo#oo#oo##",
    ".##..#oo#oo#oo#o#",
    "#oo#.#oo#oo#oo#o#",
    "#ooo##oooooooooo#",
    ".#ooo#oooooooooo#",
    ".#oooooooooooooo#",
    "..#ooooooooooooo#",
    "..#oooooooooooo#",
    "...#ooooooooooo#",
    "...#oooooooooo#",
    "....#ooooooooo#",
    "....#ooooooooo#",
    "....###########",
};

constexpr Cursor MakeCursor(int hotX, int hotY) {
  Cursor c;
  c.hotX = hotX;
  c.hotY = hotY;
  for (int y = 0; y < Cursor::kSize; ++y) {
    for (int x = 0; x < Cursor::kSize; ++x) {
      char p = '.';
      if (y < static_cast<int>(std::size(kHand)) && x < static_cast<int>(kHand[y].size()))
        p = kHand[y][x];
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      size_t at = static_cast<size_t>(y * Cursor::kRowBytes + x / 8);
      if (p == '.') c.andMask[at] |= bit;
      if (p == 'o') c.xorMask[at] |= bit;
    }
  }
  return c;
}

constexpr Cursor kAnchorCursor = MakeCursor(7, 4);

}  // namespace

const Cursor& AnchorCursor() { return kAnchorCursor; }

}  // namespace resources
