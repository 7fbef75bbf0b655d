#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host/commands.h"
#include "tests/project/temp_dir.h"
#include "tests/tools/json_parse.h"
#include "tests/tools/run_klp.h"

namespace {

using klp::test::Json;
using klp::test::JsonParser;
using klp::test::Klp;
using klp::test::Outcome;

class Command : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) { return dir_.Write("p.klp", text); }
  klp::test::TempDir dir_;
};

TEST_F(Command, TheProgramAndItsHelp) {
  Outcome run = Klp({});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("check"), std::string::npos);
  run = Klp({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("info"), std::string::npos);
  run = Klp({"lint", "p.klp"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown command lint"), std::string::npos);

  for (const char* command : {"check", "info"}) {
    run = Klp({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("--json"), std::string::npos) << command;
    EXPECT_TRUE(run.err.empty()) << command;
  }
  EXPECT_NE(Klp({"check", "-h"}).out.find("--movie FILE"), std::string::npos);
}

TEST_F(Command, BadArgumentsGoToStandardError) {
  const std::string path = Write("[Global]\nSource=a.mpg\n");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"check"},
                                             {"check", path, path},
                                             {"check", path, "--fast"},
                                             {"check", path, "--movie"},
                                             {"info"},
                                             {"info", path, "--movie", "m.sim"}}) {
    const Outcome run = Klp(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("usage: klp "), std::string::npos) << run.err;
  }
}

TEST_F(Command, CheckExitStatusAndStreams) {
  Outcome run = Klp({"check", Write("[Global]\nSource=a.mpg\n[Marker]\nm:1\n")});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.empty() && run.err.empty()) << run.err;

  run = Klp({"check", Write("[Global]\nSource=a.mpg\n[Marker]\nm:1\nm:2\n")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find(":5: warning: "), std::string::npos) << run.err;

  run = Klp({"check", Write("[Marker]\nm:1\n")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(": error: "), std::string::npos) << run.err;

  run = Klp({"check", dir_.Path("missing.klp")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;
}

TEST_F(Command, CheckWithAMovie) {
  const std::string project = Write("[Global]\nSource=a.mpg\n[Marker]\nlate:500\n");
  Outcome run = Klp({"check", project, "--movie=" + dir_.Write("m.sim", "frames=100\n")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the movie ends at frame 100"), std::string::npos) << run.err;
  EXPECT_EQ(Klp({"check", project, "--movie", dir_.Write("l.sim", "frames=900\n")}).status, 0);
  run = Klp({"check", project, "--movie", dir_.Path("none.mpg")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot read the movie"), std::string::npos) << run.err;
}

TEST_F(Command, CheckJson) {
  const std::string project =
      Write("[Global]\nSource=a.mpg\n[Marker]\n\"q\x01\xFF\":1\n\"q\x01\xFF\":x\n");
  const Outcome run = Klp({"check", "--json", project, "--movie", dir_.Write("m.sim", "fps=25\n")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.empty()) << run.err;
  const auto json = JsonParser::Parse(run.out);
  ASSERT_TRUE(json) << run.out;
  EXPECT_EQ((*json)["file"].string, project);
  EXPECT_EQ((*json)["movie"]["frames"].number, 300);
  EXPECT_EQ((*json)["movie"]["probe"].string, "fixture");
  EXPECT_EQ((*json)["errors"].number, 0);
  const Json& diagnostics = (*json)["diagnostics"];
  ASSERT_EQ(diagnostics.array.size(), (*json)["warnings"].number);
  for (const Json& d : diagnostics.array) {
    EXPECT_EQ(d["line"].type, Json::Type::kNumber);
    EXPECT_EQ(d["severity"].string, "warning");
    EXPECT_FALSE(d["code"].string.empty());
    EXPECT_FALSE(d["hint"].string.empty());
  }

  const auto unreadable = JsonParser::Parse(Klp({"check", "--json", dir_.Path("x.klp")}).out);
  ASSERT_TRUE(unreadable);
  EXPECT_EQ((*unreadable)["diagnostics"][0]["line"].type, Json::Type::kNull);
  EXPECT_EQ((*unreadable)["movie"].type, Json::Type::kNull);
}

TEST_F(Command, InfoSummary) {
  const Outcome run =
      Klp({"info", Write("[Global]\nSource=tour.mpg\nHotSpot=1\n"
                         "[Event]\nlate:300\nsame:100\n"
                         "[Marker]\nend:450\nsame:100\nstart:0\n"
                         "[HotSpot]\n(door:l:R:100-400:2)\n100:1,2,3,4\n400:5,6,7,8\n")});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.empty());
  EXPECT_NE(run.out.find("movie    \"tour.mpg\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("3 markers, 2 events, 1 hot spot, 0 links, 0 effects"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("frames 100-400"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("effect none: frame colour 0000FF, highlight FF0000"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("key frame 400: 5,6 to 7,8  line 14"), std::string::npos) << run.out;
  // By frame; at the same frame markers before events, as they fire.
  std::vector<std::size_t> at;
  for (const char* entry : {"marker  \"start\"", "marker  \"same\"", "event   \"same\"",
                            "event   \"late\"", "marker  \"end\""}) {
    at.push_back(run.out.find(entry));
    EXPECT_NE(at.back(), std::string::npos) << entry;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << run.out;
}

TEST_F(Command, InfoJsonHasEveryRecordWhateverTheNames) {
  const std::string tricky = "\"door\" \\ \t\x01\xFF\xC3\xA9";
  const std::string project =
      Write("[Global]\nSource=" + tricky + "\nHotSpot=1\n[Marker]\n" + tricky +
            ":5\n"
            "[Event]\ne:7:URL:\"u,1\",top\n[HotSpot]\n(" +
            tricky +
            ":l:C:1-9:1)\n3:-1,2,3,4\n"
            "[Link]\nl:SEEK:12\n[Effect]\n" +
            tricky + ":FF:2:FF00:1\n");
  EXPECT_NE(Klp({"info", project}).out.find("frame colour 0000FF, highlight 00FF00"),
            std::string::npos)
      << "six digits, as written";
  const Outcome run = Klp({"info", project, "--json"});
  EXPECT_EQ(run.status, 0);
  const auto json = JsonParser::Parse(run.out);
  ASSERT_TRUE(json) << run.out;
  // What is not UTF-8 comes back as Latin-1: 0xFF is U+00FF.
  const std::string expected = "\"door\" \\ \t\x01\xC3\xBF\xC3\xA9";
  EXPECT_EQ((*json)["markers"][0]["name"].string, expected);
  EXPECT_EQ((*json)["markers"][0]["line"].number, 5);
  EXPECT_EQ((*json)["global"]["hotSpot"].number, 1);
  EXPECT_EQ((*json)["events"][0]["url"].string, "u,1");
  EXPECT_EQ((*json)["events"][0]["urlTarget"].string, "top");
  const Json& spot = (*json)["hotSpots"][0];
  EXPECT_EQ(spot["name"].string, expected);
  EXPECT_EQ(spot["shape"].string, "C");
  EXPECT_EQ(spot["keyFrames"][0]["left"].number, -1);
  EXPECT_EQ(spot["keyFrames"][0]["line"].number, 10);
  EXPECT_EQ((*json)["links"][0]["seekParam"].string, "12");
  EXPECT_EQ((*json)["effects"][0]["highlightColor"].number, 0xFF00);

  EXPECT_EQ(Klp({"info", dir_.Path("missing.klp")}).status, 2);
}

}  // namespace
