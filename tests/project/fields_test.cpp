#include "project/fields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace klp {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

using Fields = std::vector<std::string_view>;

TEST(DigitsValue, KeepsDigitsWhereverTheyStand) {
  EXPECT_EQ(DigitsValue("1a20"), 120);
  EXPECT_EQ(DigitsValue(" -4 5 "), 45);
  EXPECT_EQ(DigitsValue(""), 0);
  EXPECT_EQ(DigitsValue("abc"), 0);
  EXPECT_EQ(DigitsValue(std::string(1000, '0') + "7"), 7);
}

TEST(DigitsValue, SaturatesAtInt32Max) {
  EXPECT_EQ(DigitsValue("2147483647"), kMax);
  EXPECT_EQ(DigitsValue("2147483648"), kMax);
  EXPECT_EQ(DigitsValue("9x9999999999999999999"), kMax);
  EXPECT_EQ(DigitsValue(std::string(100000, '9')), kMax);
}

TEST(SignedValue, ReadsOneSignThenDigits) {
  EXPECT_EQ(SignedValue("5-3"), 5);
  EXPECT_EQ(SignedValue("+-5"), 0);
  EXPECT_EQ(SignedValue("-7"), -7);
  EXPECT_EQ(SignedValue("+7"), 7);
  EXPECT_EQ(SignedValue(" x-1y2 "), -12);
  EXPECT_EQ(SignedValue("-"), 0);
  EXPECT_EQ(SignedValue(""), 0);
}

TEST(SignedValue, SaturatesAtBothLimits) {
  EXPECT_EQ(SignedValue("-2147483648"), kMin);
  EXPECT_EQ(SignedValue("-2147483649"), kMin);
  EXPECT_EQ(SignedValue("2147483648"), kMax);
  EXPECT_EQ(SignedValue("-" + std::string(5000, '8')), kMin);
}

TEST(HexValue, DropsAllButLettersAndDigits) {
  EXPECT_EQ(HexValue("#FF0000"), 0xFF0000);
  EXPECT_EQ(HexValue("0xFF0000"), 0xFF0000);
  EXPECT_EQ(HexValue("FF0000"), 0xFF0000);
  EXPECT_EQ(HexValue("0Xff"), 0xFF);
  EXPECT_EQ(HexValue(" 1 2 "), 0x12);
  EXPECT_EQ(HexValue("-1"), 1);
}

TEST(HexValue, StopsAtTheFirstNonHexCharacter) {
  EXPECT_EQ(HexValue("12g3"), 0x12);
  EXPECT_EQ(HexValue("g12"), 0);
  EXPECT_EQ(HexValue("0x"), 0);
  EXPECT_EQ(HexValue("00xFF"), 0);
  EXPECT_EQ(HexValue(""), 0);
}

TEST(HexValue, CapsAt0x7FFFFFFF) {
  EXPECT_EQ(HexValue("7FFFFFFF"), kMax);
  EXPECT_EQ(HexValue("80000000"), kMax);
  EXPECT_EQ(HexValue("FFFFFFFF"), kMax);
  EXPECT_EQ(HexValue("0x" + std::string(1000, 'F')), kMax);
  EXPECT_EQ(HexValue(std::string(1000, '0') + "1"), 1);
}

TEST(DecimalValue, ReadsLikeTheGlobalCounts) {
  EXPECT_EQ(DecimalValue("  -5x"), -5);
  EXPECT_EQ(DecimalValue("\t+7"), 7);
  EXPECT_EQ(DecimalValue("3 4"), 3);
  EXPECT_EQ(DecimalValue("*"), 0);
  EXPECT_EQ(DecimalValue("- 5"), 0);
  EXPECT_EQ(DecimalValue(""), 0);
  EXPECT_EQ(DecimalValue("99999999999"), kMax);
  EXPECT_EQ(DecimalValue("-99999999999"), kMin);
}

TEST(SplitFields, WithoutQuotingEverySeparatorSplits) {
  EXPECT_EQ(SplitFields("a:b::c", ':', false), (Fields{"a", "b", "", "c"}));
  EXPECT_EQ(SplitFields("\"a:b\"", ':', false), (Fields{"\"a", "b\""}));
  EXPECT_EQ(SplitFields("", ':', false), (Fields{""}));
  EXPECT_EQ(SplitFields("a:", ':', false), (Fields{"a", ""}));
}

TEST(SplitFields, QuotesGroupAndStayInTheField) {
  EXPECT_EQ(SplitFields("\"a:b\":c", ':', true), (Fields{"\"a:b\"", "c"}));
  EXPECT_EQ(SplitFields("x\"1,2\"y,z", ',', true), (Fields{"x\"1,2\"y", "z"}));
  EXPECT_EQ(SplitFields("\"open:to:end", ':', true), (Fields{"\"open:to:end"}));
}

// The records read their fields through LeadingFields: it must give SplitFields' first N.
TEST(LeadingFields, AreSplitFieldsFirstFields) {
  for (const char* text : {"a:b::c", "", "a:", ":", "\"a:b\":c:d", "\"open:to:end", "x\"1:2\"y:z:",
                           "1:2:3:4:5:6:7", "::::"}) {
    for (bool quoting : {false, true}) {
      SCOPED_TRACE(std::string(text) + (quoting ? " quoting" : ""));
      const Fields all = SplitFields(text, ':', quoting);
      const LeadingFields<3> three(text, ':', quoting);
      for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(three.at(i), i < 3 ? FieldAt(all, i) : std::string_view()) << i;
    }
  }
  EXPECT_EQ(LeadingFields<1>("a:b", ':', false).at(0), "a");  // ends at its separator
}

TEST(RemoveQuotePair, TakesOffOneQuoteAtEachEnd) {
  EXPECT_EQ(RemoveQuotePair("\"x\""), "x");
  EXPECT_EQ(RemoveQuotePair("\"x"), "x");
  EXPECT_EQ(RemoveQuotePair("x\""), "x");
  EXPECT_EQ(RemoveQuotePair("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(RemoveQuotePair("\""), "");
  EXPECT_EQ(RemoveQuotePair("'x'"), "'x'");
}

TEST(TrimBlanks, RemovesOnlyAsciiBlanks) {
  EXPECT_EQ(TrimBlanks(" \t\v\fx y\r\n"), "x y");
  EXPECT_EQ(TrimBlanks("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(TrimBlanks(" \r "), "");
}

}  // namespace
}  // namespace klp
