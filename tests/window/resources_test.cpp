// The idle picture and the anchor cursor: sizes, colours, the hot spot. The version block and
// the About box, whose version comes from the package's changelog.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/resources.h"

namespace {

using namespace resources;

TEST(Resources, TheIdlePictureIs122By38InSixteenColours) {
  const Bitmap* b = FindBitmap(IDB_IDLE);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->width, 122);
  EXPECT_EQ(b->height, 38);
  EXPECT_EQ(b->colours, 16);
  std::set<int> used;
  for (int i = 0; i < b->width * b->height; ++i) {
    ASSERT_LT(b->pixels[i], 16);
    used.insert(b->pixels[i]);
  }
  EXPECT_GE(used.size(), 12u) << "a picture, not a placeholder";
  EXPECT_EQ(FindBitmap(IDC_ANCHOR), nullptr) << "ids are looked up by kind";
}

TEST(Resources, TheAnchorCursorPointsWithItsHotSpot) {
  const Cursor* c = FindCursor(IDC_ANCHOR);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->hotX, 7);
  EXPECT_EQ(c->hotY, 4);
  EXPECT_FALSE(c->AndBit(7, 4)) << "the hot spot is drawn";
  EXPECT_TRUE(c->AndBit(7, 2)) << "nothing above the fingertip";
  int drawn = 0;
  for (int y = 0; y < Cursor::kSize; ++y) {
    for (int x = 0; x < Cursor::kSize; ++x) {
      EXPECT_FALSE(c->AndBit(x, y) && c->XorBit(x, y)) << "no inverting pixels";
      drawn += !c->AndBit(x, y);
    }
  }
  EXPECT_GT(drawn, 150);
  EXPECT_TRUE(c->AndBit(31, 31));
}

TEST(Resources, TheVersionBlockAndTheAboutBoxShowTheChangelogsVersion) {
  const VersionInfo& v = Version();
  EXPECT_STREQ(v.fileVersion, "2.50.0007");
  EXPECT_STREQ(v.productVersion, "2.50.0007");
  EXPECT_EQ(v.fileVersionParts[0], 2);
  EXPECT_EQ(v.fileVersionParts[1], 50);
  EXPECT_EQ(v.fileVersionParts[2], 7);
  EXPECT_EQ(v.fileVersionParts[3], 0);
  const DialogTemplate* about = FindDialog(IDD_ABOUT);
  ASSERT_NE(about, nullptr);
  int shown = 0;
  for (size_t i = 0; i < about->controlCount; ++i) {
    const char* text = about->controls[i].text;
    shown += text && std::string(text) == "Ver 2.50";
  }
  EXPECT_EQ(shown, 1);
}

}  // namespace
