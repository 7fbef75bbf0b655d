#include "project/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/project/temp_dir.h"

namespace klp {
namespace {

class ProfileReader : public ::testing::Test {
 protected:
  // The value of key in section "Global" of a file holding content.
  std::string Global(const std::string& content, const char* key, const char* fallback = "*") {
    return Get(dir_.Write("p.klp", content), key, fallback, 256);
  }
  static std::string Get(const std::string& path, const char* key, const char* fallback,
                         std::size_t size) {
    char buffer[300];
    const std::size_t count =
        GetPrivateProfileString("Global", key, fallback, buffer, size, path.c_str());
    EXPECT_EQ(count, std::string(buffer).size());
    return buffer;
  }
  test::TempDir dir_;
};

TEST_F(ProfileReader, NamesMatchWithoutRegardToCase) {
  const std::string file = "[gLOBAL]\r\nSOURCE=movie.mpg\r\nhotspot=3\r\n";
  EXPECT_EQ(Global(file, "Source"), "movie.mpg");
  EXPECT_EQ(Global(file, "HotSpot"), "3");
}

TEST_F(ProfileReader, BlanksAroundNamesAndValuesAndOnePairOfQuotesGo) {
  EXPECT_EQ(Global("  [ Global ]  \n\t Source \t=  tour.mpg \t\r\n", "Source"), "tour.mpg");
  EXPECT_EQ(Global("[Global]\nSource=\" a b \"\n", "Source"), " a b ");
  EXPECT_EQ(Global("[Global]\nSource='x'\n", "Source"), "x");
  EXPECT_EQ(Global("[Global]\nSource=\"x'\n", "Source"), "\"x'");
  EXPECT_EQ(Global("[Global]\nSource=\"\n", "Source"), "\"");
  EXPECT_EQ(Global("[Global]\nSource=\"\"x\"\"\n", "Source"), "\"x\"");
  EXPECT_EQ(Global("[Global]\nSource=a=b\n", "Source"), "a=b");
  EXPECT_EQ(Global("[Global]\nSource=\n", "Source"), "");
}

TEST_F(ProfileReader, FirstSectionAndFirstKeyWin) {
  const std::string file = "[Global]\nA=1\nA=2\n[Other]\nB=3\n[GLOBAL]\nA=4\nB=5\n";
  EXPECT_EQ(Global(file, "A"), "1");
  EXPECT_EQ(Global(file, "B"), "*");
}

TEST_F(ProfileReader, SkipsCommentsKeylessLinesAndOtherSections) {
  const std::string file =
      "Source=before\n[Marker]\nSource=other\n[Global] trailing\n; Source=comment\nSource\n"
      "Source=found\n";
  EXPECT_EQ(Global(file, "Source"), "found");
}

// As the Windows profile functions read them: a carriage return alone ends a line, and a header
// without its "]" still opens its section.
TEST_F(ProfileReader, LoneCarriageReturnsEndLines) {
  const std::string file = "[Global]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[Other]\rB=1\r";
  EXPECT_EQ(Global(file, "name1"), "val1");
  EXPECT_EQ(Global(file, "name2"), "val2");
  EXPECT_EQ(Global(file, "name3"), "*");
  EXPECT_EQ(Global(file, "name4"), "a");
  EXPECT_EQ(Global(file, "B"), "*") << "the next header ends the section";
  EXPECT_EQ(Global("[Other]\nA=1\r[Global]\nA=2\n", "A"), "2") << "mixed with line feeds";
  EXPECT_EQ(Global("[Global]\r\n\r\nA=1\r\r\n", "A"), "1");
}

TEST_F(ProfileReader, AHeaderWithoutItsBracketOpensTheSection) {
  EXPECT_EQ(Global("[Global\nSource=x\n", "Source"), "x");
  EXPECT_EQ(Global("  [ Global  \r\nSource=x\r\n", "Source"), "x");
  EXPECT_EQ(Global("[Global\nA=1\n[Other\nSource=x\n", "Source"), "*");
  EXPECT_EQ(Global("[Globalx\nSource=x\n", "Source"), "*");
  EXPECT_EQ(Global("[Other\n[Global\nSource=x\n", "Source"), "x");
}

TEST_F(ProfileReader, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Get(dir_.Path("none.klp"), "Source", "*", 256), "*");
  EXPECT_EQ(Get(dir_.Path(""), "Source", "*", 256), "*");  // a directory
  EXPECT_EQ(Global("[Other]\nSource=x\n", "Source"), "*");
  EXPECT_EQ(Global("[Global]\nSourceX=x\n", "Source"), "*");
  EXPECT_EQ(Global("", "Source", nullptr), "");
  EXPECT_EQ(Global("", "Source", "dflt  "), "dflt");
}

TEST_F(ProfileReader, ValueIsCutToTheBuffer) {
  const std::string value = "\"" + std::string(300, 'v') + "\"";
  const std::string path = dir_.Write("p.klp", "[Global]\nSource=" + value);
  EXPECT_EQ(Get(path, "Source", "*", 256), std::string(255, 'v'));
  EXPECT_EQ(Get(path, "Source", "*", 1), "");
  char untouched = 'u';
  EXPECT_EQ(GetPrivateProfileString("Global", "Source", "*", &untouched, 0, path.c_str()), 0u);
  EXPECT_EQ(untouched, 'u');
}

}  // namespace
}  // namespace klp
