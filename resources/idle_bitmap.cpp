// The idle picture (bitmap 103, 122 x 38, 16 colours): a film strip on the left and the
// "NPKLOD32" wordmark with its tag line on a blue gradient. Drawn once, at first use, from the
// glyph tables below.
#include <array>
#include <cstdint>
#include <string_view>

#include "resources/data.h"

namespace resources {
namespace {

constexpr int kWidth = 122;
constexpr int kHeight = 38;

enum Colour : uint8_t {
  kBlack, kNight, kNavy, kBlue, kSteel, kSky, kPale, kWhite,
  kFilm, kFilmEdge, kSprocket, kAmber, kOrange, kShadow, kGlow, kRed,
};

constexpr uint32_t kPalette[16] = {
    0x000000, 0x0B1530, 0x13224A, 0x1D3A6E, 0x2F5D9A, 0x5B8FD0, 0xA9C8EE, 0xFFFFFF,
    0x161616, 0x3C3C3C, 0xD8D8D0, 0xFFB020, 0xF07010, 0x050A18, 0xFFE080, 0xD03828,
};

struct Glyph {
  char c;
  std::array<std::string_view, 9> rows;  // '#' set; the width is the row length
};

// The wordmark: 7 x 9, two-pixel strokes.
constexpr Glyph kLarge[] = {
    {'N', {"##...##", "###..##", "###..##", "####.##", "##.####", "##..###", "##..###", "##...##",
           "##...##"}},
    {'P', {"######.", "#######", "##...##", "##...##", "#######", "######.", "##.....", "##.....",
           "##....."}},
    {'K', {"##...##", "##..###", "##.###.", "#####..", "####...", "#####..", "##.###.", "##..###",
           "##...##"}},
    {'L', {"##.....", "##.....", "##.....", "##.....", "##.....", "##.....", "##.....", "#######",
           "#######"}},
    {'O', {".#####.", "#######", "##...##", "##...##", "##...##", "##...##", "##...##", "#######",
           ".#####."}},
    {'D', {"######.", "#######", "##...##", "##...##", "##...##", "##...##", "##...##", "#######",
           "######."}},
    {'3', {"######.", "#######", ".....##", "..####.", "..####.", ".....##", ".....##", "#######",
           "######."}},
    {'2', {".#####.", "#######", "##...##", "....###", "..####.", ".###...", "###....", "#######",
           "#######"}},
};

// The tag line: 5 rows, variable width (only the first five rows are used).
constexpr Glyph kSmall[] = {
    {'I', {"###", ".#.", ".#.", ".#.", "###"}},
    {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}},
    {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'E', {"###", "#..", "##.", "#..", "###"}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
    {'C', {".##", "#..", "#..", "#..", ".##"}},
    {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
    {'M', {"#...#", "##.##", "#.#.#", "#...#", "#...#"}},
    {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
    {' ', {"..", "..", "..", "..", ".."}},
};

template <size_t N>
const Glyph& GlyphOf(const Glyph (&font)[N], char c) {
  for (const Glyph& g : font)
    if (g.c == c) return g;
  return font[N - 1];
}

class Canvas {
 public:
  void Set(int x, int y, uint8_t colour) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[y * kWidth + x] = colour;
  }
  void Fill(int x0, int y0, int x1, int y1, uint8_t colour) {  // inclusive corners
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, colour);
  }
  // Draws text; colourAt(row) gives each glyph row its colour. Returns the width drawn.
  template <size_t N, typename ColourAt>
  int Text(const Glyph (&font)[N], std::string_view text, int x, int y, int rows, int gap,
           ColourAt colourAt) {
    int start = x;
    for (char c : text) {
      const Glyph& g = GlyphOf(font, c);
      for (int r = 0; r < rows; ++r)
        for (size_t i = 0; i < g.rows[r].size(); ++i)
          if (g.rows[r][i] == '#') Set(x + static_cast<int>(i), y + r, colourAt(r));
      x += static_cast<int>(g.rows[0].size()) + gap;
    }
    return x - gap - start;
  }
  const uint8_t* data() const { return pixels_.data(); }

 private:
  std::array<uint8_t, kWidth * kHeight> pixels_{};
};

// Background: a vertical ramp from steel to night, ordered-dithered between neighbouring shades.
void Background(Canvas& c) {
  constexpr uint8_t ramp[] = {kSteel, kBlue, kNavy, kNight};
  constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  constexpr int steps = (sizeof ramp - 1) * 16;
  for (int y = 0; y < kHeight; ++y) {
    int level = y * steps / (kHeight - 1);
    for (int x = 0; x < kWidth; ++x) {
      int band = level / 16, frac = level % 16;
      bool up = band + 1 < static_cast<int>(sizeof ramp) && frac > bayer[y % 4][x % 4];
      c.Set(x, y, ramp[band + (up ? 1 : 0)]);
    }
  }
  // Bevel: light top and left edges, dark bottom and right edges.
  c.Fill(0, 0, kWidth - 1, 0, kSky);
  c.Fill(0, 0, 0, kHeight - 1, kSky);
  c.Fill(0, kHeight - 1, kWidth - 1, kHeight - 1, kShadow);
  c.Fill(kWidth - 1, 1, kWidth - 1, kHeight - 1, kShadow);
}

// A vertical film strip with sprocket holes and two frames: a play sign and a framed hot spot.
void FilmStrip(Canvas& c) {
  constexpr int left = 6, right = 27, top = 3, bottom = 34;
  c.Fill(left - 1, top, right + 1, bottom, kShadow);  // drop shadow to the right
  c.Fill(left, top - 1, right, bottom - 1, kFilm);
  c.Fill(left, top - 1, left, bottom - 1, kFilmEdge);
  c.Fill(right, top - 1, right, bottom - 1, kFilmEdge);
  for (int y = top + 1; y + 1 < bottom - 1; y += 4) {
    c.Fill(left + 2, y, left + 3, y + 1, kSprocket);
    c.Fill(right - 3, y, right - 2, y + 1, kSprocket);
  }
  // Upper frame: the play sign on a blue picture.
  c.Fill(left + 6, top + 2, right - 6, top + 14, kBlue);
  for (int i = 0; i < 7; ++i) c.Fill(left + 9, top + 5 + i, left + 9 + (i < 4 ? i : 6 - i),
                                     top + 5 + i, i == 3 ? kGlow : kAmber);
  // Lower frame: sky over ground with a hot spot framed in red.
  c.Fill(left + 6, top + 17, right - 6, top + 24, kSky);
  c.Fill(left + 6, top + 25, right - 6, top + 29, kSteel);
  for (int x = left + 8; x <= left + 12; ++x) {
    c.Set(x, top + 20, kRed);
    c.Set(x, top + 26, kRed);
  }
  c.Fill(left + 8, top + 20, left + 8, top + 26, kRed);
  c.Fill(left + 12, top + 20, left + 12, top + 26, kRed);
  c.Fill(left + 10, top + 23, left + 10, top + 24, kWhite);
}

void Wordmark(Canvas& c) {
  constexpr int x = 40, y = 8;
  // Shadow first, then the letters: white above, pale below, like lit chrome.
  c.Text(kLarge, "NPKLOD32", x + 1, y + 1, 9, 2, [](int) { return kShadow; });
  int width = c.Text(kLarge, "NPKLOD32", x, y, 9, 2, [](int r) { return r < 4 ? kWhite : kPale; });
  c.Fill(x, y + 12, x + width - 1, y + 12, kAmber);
  c.Fill(x + 1, y + 13, x + width, y + 13, kOrange);
  c.Text(kSmall, "INTERACTIVE MOVIE", x + 1, y + 16, 5, 1, [](int) { return kPale; });
}

}  // namespace

const Bitmap& IdleBitmap() {
  static const Canvas canvas = [] {
    Canvas c;
    Background(c);
    FilmStrip(c);
    Wordmark(c);
    return c;
  }();
  static const Bitmap bitmap{kWidth, kHeight, kPalette, 16, canvas.data()};
  return bitmap;
}

}  // namespace resources
