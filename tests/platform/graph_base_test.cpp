// What the graph backends share: paths and names from 16-bit strings.
#include <gtest/gtest.h>

#include "platform/dshow/graph_base.h"

namespace {

TEST(GraphBase, PathsOfWidenedBytesStayBytesOthersBecomeUtf8) {
  // Every unit up to 0xFF: the bytes the player widened, é as the one byte 0xE9.
  EXPECT_EQ(dshow::PathBytes(u"/tmp/caf\u00E9.webm"), "/tmp/caf\xE9.webm");
  // Any larger unit: UTF-16, so é is two bytes and the pair one four-byte character.
  EXPECT_EQ(dshow::PathBytes(u"caf\u00E9\u20AC"), "caf\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(dshow::PathBytes(u"\U0001F3AC.webm"), "\xF0\x9F\x8E\xAC.webm");
  EXPECT_EQ(dshow::PathBytes(u""), "");
}

TEST(GraphBase, Utf8ReplacesUnpairedSurrogates) {
  EXPECT_EQ(dshow::Utf8(u"a\xD800" u"b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(dshow::Utf8(u"\xDC00"), "\xEF\xBF\xBD");
  EXPECT_EQ(dshow::Utf8(u"\xD83C\xDFAC"), "\xF0\x9F\x8E\xAC");
}

}  // namespace
