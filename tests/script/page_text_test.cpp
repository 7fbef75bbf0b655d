#include <gtest/gtest.h>

#include "script/page_functions.h"

namespace {

TEST(PageText, Utf8PassesAndOtherBytesAreTakenAsLatin1) {
  EXPECT_EQ(PageText("door"), "door");
  EXPECT_EQ(PageText("caf\xC3\xA9"), "caf\xC3\xA9");           // already UTF-8
  EXPECT_EQ(PageText("caf\xE9"), "caf\xC3\xA9");               // Latin-1 e acute
  EXPECT_EQ(PageText("\xE2\x82"), "\xC3\xA2\xC2\x82");          // a cut-off sequence
  EXPECT_EQ(PageText("\xC0\xAF"), "\xC3\x80\xC2\xAF");          // an overlong form
  EXPECT_EQ(PageText(""), "");
  EXPECT_EQ(PageText(nullptr), "");
}

}  // namespace
