#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win/win.h"
#include "plugin/embed.h"

namespace {

struct Args {
  std::vector<std::string> names, values;
  std::vector<char*> n, v;
  Args(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    for (auto& [a, b] : pairs) {
      names.emplace_back(a);
      values.emplace_back(b);
    }
    for (size_t i = 0; i < names.size(); ++i) {
      n.push_back(names[i].data());
      v.push_back(values[i].data());
    }
  }
  EmbedSettings Parse() { return ParseEmbedArgs(static_cast<int16_t>(n.size()), n.data(), v.data()); }
};

std::string Url(const char* base, const char* name) {
  std::unique_ptr<char[]> url(MakeMovieURL(base, name));
  return url ? std::string(url.get()) : std::string("<none>");
}

TEST(ParseEmbedArgs, DefaultsWithoutAttributes) {
  EmbedSettings s = ParseEmbedArgs(0, nullptr, nullptr);
  EXPECT_EQ(s.src, nullptr);
  EXPECT_EQ(s.name, nullptr);
  EXPECT_EQ(s.activatemethod, 0);
  EXPECT_EQ(s.changecursor, 1);
  EXPECT_EQ(s.showanchor, 1);
  EXPECT_EQ(s.autoplay, 1);
  EXPECT_EQ(s.autorepeat, 0);
  EXPECT_EQ(s.kldebug, 0);
  char* names[] = {const_cast<char*>("kldebug")};
  char* values[] = {const_cast<char*>("true")};
  EXPECT_EQ(ParseEmbedArgs(-1, names, values).kldebug, 0) << "a negative count reads nothing";
}

TEST(ParseEmbedArgs, FirstOccurrenceWinsInAnyCase) {
  Args a{{"SRC", "a.klp"}, {"src", "b.klp"}, {"Name", "m1"}, {"NAME", "m2"}};
  EmbedSettings s = a.Parse();
  EXPECT_STREQ(s.src, "a.klp");
  EXPECT_STREQ(s.name, "m1");
  Args b{{"kldebug", "maybe"}, {"KLDEBUG", "true"}};
  EXPECT_EQ(b.Parse().kldebug, 0) << "an unrecognised value still marks the attribute seen";
}

TEST(ParseEmbedArgs, BooleansTakeOnlyTrueAndFalse) {
  EXPECT_EQ((Args{{"AutoPlay", "FALSE"}}.Parse().autoplay), 0);
  EXPECT_EQ((Args{{"autoplay", "0"}}.Parse().autoplay), 1);
  EXPECT_EQ((Args{{"autoplay", "no"}}.Parse().autoplay), 1);
  EXPECT_EQ((Args{{"autoplay", ""}}.Parse().autoplay), 1);
  EXPECT_EQ((Args{{"kldebug", "True"}}.Parse().kldebug), 1);
  EXPECT_EQ((Args{{"autorepeat", "TRUE"}}.Parse().autorepeat), 1);
  EXPECT_EQ((Args{{"changecursor", "false"}}.Parse().changecursor), 0);
  EXPECT_EQ((Args{{"showanchor", "False"}}.Parse().showanchor), 0);
  EXPECT_EQ((Args{{"showanchor", " false"}}.Parse().showanchor), 1) << "no trimming";
}

TEST(ParseEmbedArgs, ActivateMethodTakesZeroOrOne) {
  EXPECT_EQ((Args{{"activatemethod", " 1"}}.Parse().activatemethod), 1);
  EXPECT_EQ((Args{{"activatemethod", "1x"}}.Parse().activatemethod), 1);
  EXPECT_EQ((Args{{"activatemethod", "+1"}}.Parse().activatemethod), 1);
  EXPECT_EQ((Args{{"activatemethod", "2"}}.Parse().activatemethod), 0);
  EXPECT_EQ((Args{{"activatemethod", "-1"}}.Parse().activatemethod), 0);
  EXPECT_EQ((Args{{"activatemethod", "4294967297"}}.Parse().activatemethod), 0)
      << "digits beyond 32 bits saturate rather than wrap to 1";
}

TEST(ParseEmbedArgs, IgnoresOtherAttributesAndKeepsValuesUnchanged) {
  Args a{{"width", "320"}, {"hidden", "true"}, {"src", "  spaced.klp "}, {"name", ""}};
  EmbedSettings s = a.Parse();
  EXPECT_STREQ(s.src, "  spaced.klp ");
  ASSERT_NE(s.name, nullptr);
  EXPECT_STREQ(s.name, "");
}

TEST(MakeMovieURL, KeepsTheBaseDirectory) {
  EXPECT_EQ(Url("/a/b/c.klp", "m.mpg"), "/a/b/m.mpg");
  EXPECT_EQ(Url("c.klp", "m.mpg"), "m.mpg");
  EXPECT_EQ(Url("", "m.mpg"), "m.mpg");
  EXPECT_EQ(Url("C:c.klp", "m.mpg"), "C:m.mpg");
  EXPECT_EQ(Url("dir\\c.klp", "m.mpg"), "dir\\m.mpg");
  EXPECT_EQ(Url("/a/b/", "m.mpg"), "/a/b/m.mpg");
  EXPECT_EQ(Url("x.cgi?f=a/b", "m.mpg"), "x.cgi?f=a/m.mpg");
  EXPECT_EQ(Url("file:///C|c.klp", "m.mpg"), "file:///C|m.mpg");
  EXPECT_EQ(Url("http://h/p/a.klp", "../up/m.mpg"), "http://h/p/../up/m.mpg") << "name is literal";
  EXPECT_EQ(Url(nullptr, "m.mpg"), "<none>");
  EXPECT_EQ(Url("/a/b.klp", nullptr), "<none>");
}

TEST(MakeMovieURL, NeverCutsADoubleByteCharacter) {
  // 0x95 0x5C is one Shift JIS character whose second byte is the byte of "\".
  const char base[] = "dir\\\x95\x5C\\c.klp";
  const char trailingChar[] = "dir\\ab\x95\x5C";
  win::SetAnsiCodePage(932);
  EXPECT_EQ(Url(base, "m.mpg"), "dir\\\x95\x5C\\m.mpg");
  EXPECT_EQ(Url(trailingChar, "m.mpg"), "dir\\m.mpg");
  win::SetAnsiCodePage(1252);
  EXPECT_EQ(Url(trailingChar, "m.mpg"), "dir\\ab\x95\\m.mpg") << "single-byte: every byte counts";
}

TEST(IsScriptURL, RecognisesTheSchemeAsBrowsersParseIt) {
  EXPECT_TRUE(IsScriptURL("javascript:alert(1)"));
  EXPECT_TRUE(IsScriptURL("  JavaScript:x"));
  EXPECT_TRUE(IsScriptURL("\x01java\tscript:x"));
  EXPECT_FALSE(IsScriptURL("/dir/javascript:x"));
  EXPECT_FALSE(IsScriptURL("javascript"));
  EXPECT_FALSE(IsScriptURL("m.mpg"));
  EXPECT_FALSE(IsScriptURL(nullptr));
}

}  // namespace
