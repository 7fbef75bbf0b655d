#include "host/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/tools/json_parse.h"

namespace {

using klp::test::JsonParser;
using klp::tools::JsonString;
using klp::tools::JsonWriter;
using klp::tools::Quoted;
using klp::tools::Utf8SequenceAt;

TEST(Utf8, WellFormedSequencesOnly) {
  EXPECT_EQ(Utf8SequenceAt("a", 0), 1u);
  EXPECT_EQ(Utf8SequenceAt("\xC3\xA9", 0), 2u);
  EXPECT_EQ(Utf8SequenceAt("\xE2\x82\xAC", 0), 3u);
  EXPECT_EQ(Utf8SequenceAt("\xF0\x9F\x98\x80", 0), 4u);
  EXPECT_EQ(Utf8SequenceAt("\xF4\x8F\xBF\xBF", 0), 4u);  // U+10FFFF
  for (const char* bad :
       {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC3", "\xE2\x82", "\xC3\x41"}) {
    EXPECT_EQ(Utf8SequenceAt(bad, 0), 0u) << Quoted(bad);
  }
}

TEST(JsonString, EscapesWhatJsonForbidsAndKeepsUtf8) {
  EXPECT_EQ(JsonString("say \"hi\" \\ bye"), R"("say \"hi\" \\ bye")");
  EXPECT_EQ(JsonString(std::string("a\0b\x01\x1F\n\t\r\b\f\x7F", 11)),
            "\"a\\u0000b\\u0001\\u001f\\n\\t\\r\\b\\f\x7F\"");
  EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC"), "\"caf\xC3\xA9 \xE2\x82\xAC\"");
  // Bytes that are not UTF-8 are read as Latin-1, one by one.
  EXPECT_EQ(JsonString("caf\xE9"), "\"caf\\u00e9\"");
  EXPECT_EQ(JsonString("\xC0\x80\xED\xA0\x80\xC3"),
            "\"\\u00c0\\u0080\\u00ed\\u00a0\\u0080\\u00c3\"");
  EXPECT_EQ(JsonString(""), "\"\"");
}

TEST(JsonString, EveryByteStringGivesValidJson) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (const std::string& text : {all, all + all.substr(0xC0), std::string("\xF0\x9F\x98")}) {
    const auto parsed = JsonParser::Parse(JsonString(text));
    ASSERT_TRUE(parsed) << JsonString(text);
    // Every byte comes back as one character: itself below 0x80, else U+0080 .. U+00FF.
    std::size_t characters = 0;
    for (unsigned char c : parsed->string) characters += (c & 0xC0) != 0x80;
    EXPECT_EQ(characters, text.size());
  }
}

TEST(Quoted, OneLineForAnyName) {
  EXPECT_EQ(Quoted("door"), "\"door\"");
  EXPECT_EQ(Quoted("\"door\""), R"("\"door\"")");
  EXPECT_EQ(Quoted(std::string("a\nb\0\x7F\\\xFF\xC3\xA9", 9)), R"("a\nb\x00\x7f\\\xff)"
                                                                "\xC3\xA9\"");
}

TEST(JsonWriter, PlacesCommasInNestedValues) {
  JsonWriter json;
  json.BeginObject().Key("a").BeginArray().Number(int64_t{1}).BeginObject().EndObject();
  json.BeginArray().EndArray().Null().EndArray();
  json.Key("b")
      .Bool(true)
      .Key("c")
      .Real(29.97)
      .Key("d")
      .Real(std::numeric_limits<double>::infinity())
      .EndObject();
  EXPECT_EQ(json.str(), R"({"a":[1,{},[],null],"b":true,"c":29.97,"d":null})");
  EXPECT_TRUE(JsonParser::Parse(json.str()));
}

}  // namespace
