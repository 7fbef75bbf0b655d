// The idle picture, the anchor cursor and the dialog templates as a dialog backend reads them.
#include <gtest/gtest.h>

#include <set>
#include <vector>

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

TEST(Resources, DialogTemplatesListTheControlsInTabOrder) {
  const DialogTemplate* p = FindDialog(IDD_PROPERTIES);
  ASSERT_NE(p, nullptr);
  std::vector<int> ids;
  for (size_t i = 0; i < p->controlCount; ++i) ids.push_back(p->controls[i].id);
  EXPECT_EQ(ids, (std::vector<int>{-1, -1, -1, 202, 203, 205, 206, 204, 1, 2}));
  EXPECT_EQ(p->Find(IDC_DOUBLECLICK)->kind, ControlKind::AutoRadioButton);
  EXPECT_EQ(p->Find(IDC_AUTOREPEAT)->kind, ControlKind::AutoCheckBox);
  EXPECT_EQ(p->Find(1)->kind, ControlKind::DefPushButton);
  EXPECT_EQ(p->cx, 190);
  EXPECT_EQ(p->cy, 136);
  EXPECT_STREQ(p->font, "MS Sans Serif");
  EXPECT_FALSE(p->style & dlg::DS_CENTER);

  const DialogTemplate* a = FindDialog(IDD_ABOUT);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->extended);
  EXPECT_TRUE(a->style & dlg::DS_CENTER);
  EXPECT_EQ(a->controls[0].kind, ControlKind::Picture);
  EXPECT_EQ(a->controls[0].image, IDB_IDLE);
  EXPECT_EQ(FindDialog(108), nullptr);
}

}  // namespace
