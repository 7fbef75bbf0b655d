#include "host/check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/project/temp_dir.h"
#include "tests/project/worked_example.h"

namespace {

using klp::tools::CheckProject;
using klp::tools::CheckReport;
using klp::tools::ExitStatus;
using klp::tools::MovieInfo;
using klp::tools::Severity;

// A good [Global] section: lines 1 to 3.
constexpr char kGlobal[] = "[Global]\nSource=a.mpg\nHotSpot=1\n";

MovieInfo Movie(int64_t frames, int32_t width, int32_t height) {
  MovieInfo movie;
  movie.frames = frames;
  movie.fps = 25;
  movie.width = width;
  movie.height = height;
  return movie;
}

class Check : public ::testing::Test {
 protected:
  CheckReport Run(const std::string& text, const MovieInfo* movie = nullptr) {
    return CheckProject(dir_.Write("p.klp", text), movie);
  }
  // "line code" of each diagnostic, in report order.
  static std::vector<std::string> Found(const CheckReport& report) {
    std::vector<std::string> found;
    for (const auto& d : report.diagnostics) found.push_back(std::to_string(d.line) + " " + d.code);
    return found;
  }
  static const klp::tools::Diagnostic& Only(const CheckReport& report) {
    EXPECT_EQ(report.diagnostics.size(), 1u) << klp::tools::FormatText(report);
    static const klp::tools::Diagnostic kNone;
    return report.diagnostics.empty() ? kNone : report.diagnostics.front();
  }
  klp::test::TempDir dir_;
};

using V = std::vector<std::string>;

TEST_F(Check, TheWorkedExampleIsClean) {
  CheckReport report = Run(kWorkedExample);
  EXPECT_TRUE(report.diagnostics.empty()) << klp::tools::FormatText(report);
  EXPECT_EQ(ExitStatus(report), 0);
  const MovieInfo movie = Movie(500, 320, 240);
  report = Run(kWorkedExample, &movie);
  EXPECT_TRUE(report.diagnostics.empty()) << klp::tools::FormatText(report);
}

TEST_F(Check, AFileThatCannotBeReadIsAnError) {
  for (const std::string& path : {dir_.Path("missing.klp"), dir_.Path("")}) {
    const CheckReport report = CheckProject(path);
    const auto& d = Only(report);
    EXPECT_EQ(d.code, "unreadable");
    EXPECT_EQ(d.line, 0);
    EXPECT_EQ(ExitStatus(report), 2);
  }
}

TEST_F(Check, AMissingOrEmptySourceLeavesNoMovie) {
  EXPECT_EQ(Found(Run("[Marker]\nm:1\n")), V{"0 no-source"});
  EXPECT_EQ(Found(Run("; notes\n[Global]\nHotSpot=0\n[Marker]\nm:1\n")), V{"2 no-source"});
  const CheckReport empty = Run("[Global]\nKLPVersion=1\nSource=\n");
  EXPECT_EQ(Found(empty), V{"3 no-source"});
  EXPECT_EQ(empty.diagnostics[0].severity, Severity::kError);
  // Lines before any section belong to no section, so the profile reader does not see them.
  EXPECT_EQ(Found(Run("Source=a.mpg\nHotSpot=1\n[Marker]\nm:1\n")),
            (V{"0 no-source", "1 outside-section"}));
}

TEST_F(Check, TheHotSpotCountSteersHowManyBlocksAreRead) {
  // No count: the section is read and dropped; told once, blank lines or not.
  CheckReport report = Run("[Global]\nSource=a.mpg\n[HotSpot]\n(a::R:1-9:1)\n\n1:1,1,2,2\n");
  EXPECT_EQ(Found(report), V{"4 dropped-hotspots"});
  EXPECT_EQ(ExitStatus(report), 2);

  // Too large: the next section header becomes a hot spot, and what follows is misread with it
  // (the link line is taken as a hot spot but gets no diagnostics of its own).
  report =
      Run("[Global]\nSource=a.mpg\nHotSpot=2\n[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n"
          "[Link]\nl:URL:x.html\n");
  EXPECT_EQ(Found(report), V{"7 swallowed-header"});
  EXPECT_NE(report.diagnostics[0].message.find("HotSpot=2"), std::string::npos);

  // Too small or too large without a misread: only the count is wrong.
  EXPECT_EQ(Found(Run("[Global]\nSource=a.mpg\nHotSpot=1\n[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n"
                      "(b::R:1-9:1)\n1:1,1,2,2\n")),
            V{"3 hotspot-count"});
  report = Run("[Global]\nSource=a.mpg\nHotSpot=3\n[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n");
  EXPECT_EQ(Found(report), V{"3 hotspot-count"});
  EXPECT_EQ(ExitStatus(report), 1);
}

TEST_F(Check, KeyFrameCountsMustBeExact) {
  // Too large: a section header is taken as a key frame; the effect after it is misread.
  CheckReport report =
      Run(std::string(kGlobal) + "[HotSpot]\n(a::R:1-9:3)\n1:1,1,2,2\n2:1,1,2,2\n[Effect]\na:FF\n");
  EXPECT_EQ(Found(report), V{"8 swallowed-header"});
  EXPECT_NE(report.diagnostics[0].hint.find("line 5"), std::string::npos);

  // Too large: the next block's header is taken as a key frame.
  EXPECT_EQ(Found(Run("[Global]\nSource=a.mpg\nHotSpot=2\n[HotSpot]\n(a::R:1-9:2)\n1:1,1,2,2\n"
                      "(b::R:1-9:1)\n1:1,1,2,2\n")),
            V{"7 count-too-large"});

  // Too small: the extra key frame is taken as a hot spot's header.
  EXPECT_EQ(
      Found(Run(std::string(kGlobal) + "[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n; more\n9:1,1,2,2\n")),
      V{"8 count-too-small"});

  // No header at all before the key frames.
  EXPECT_EQ(Found(Run(std::string(kGlobal) + "[HotSpot]\n1:1,1,2,2\n")), V{"5 missing-header"});

  // The file ends first: nothing is misread, the hot spot has fewer key frames.
  report = Run(std::string(kGlobal) + "[HotSpot]\n(a::R:1-9:3)\n1:1,1,2,2\n");
  EXPECT_EQ(Found(report), V{"5 short-block"});
  EXPECT_EQ(ExitStatus(report), 1);
}

TEST_F(Check, GlobalMustComeFirst) {
  // The profile reader still finds the movie, but the line loop reads the section as markers.
  CheckReport report = Run("[Marker]\nm:1\n[Global]\nSource=late.mpg\nHotSpot=1\n");
  EXPECT_EQ(Found(report), V{"3 global-late"});
  EXPECT_EQ(ExitStatus(report), 2);
  EXPECT_EQ(Found(Run("[Global]\nSource=a.mpg\nHotSpot=2\n[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n"
                      "[ global ]\nx=1\n")),
            V{"7 global-late"});
}

TEST_F(Check, LinesThatLookLikeHeadersButAreNot) {
  // Before the first header the hot spots after it are lost (so the count is wrong too); inside
  // a section, it becomes a record of that section.
  EXPECT_EQ(Found(Run(std::string(kGlobal) + "[HotSpot] ; spots\n(a::R:1-9:1)\n1:1,1,2,2\n")),
            (V{"3 hotspot-count", "4 not-a-header"}));
  const CheckReport plural = Run(std::string(kGlobal) + "[Event]\ne:1\n[Markers]\nm:5\n");
  EXPECT_EQ(Found(plural), V{"6 not-a-header"});
  EXPECT_NE(plural.diagnostics[0].message.find("[Marker]"), std::string::npos);
  EXPECT_EQ(Found(Run(std::string(kGlobal) + "[Event]\ne:1\n[Chapters]\n")), V{"6 not-a-header"});
  // Not flagged: other sections before the first header, and brackets as header delimiters.
  EXPECT_TRUE(Run("[Global]\nSource=a.mpg\nHotSpot=1\n[Notes]\nwho=me\n[HotSpot]\n"
                  "[door:l:R:1-9:1]\n1:1,1,2,2\n")
                  .diagnostics.empty());
}

TEST_F(Check, EffectsMatchHotSpotsByteForByte) {
  const std::string spots = std::string(kGlobal) + "[HotSpot]\n(door::R:1-9:1)\n1:1,1,2,2\n";
  CheckReport report = Run(spots + "[Effect]\n\"door\":FF:2:FF00:1\n");
  EXPECT_EQ(Found(report), V{"8 effect-unmatched"});
  EXPECT_NE(report.diagnostics[0].hint.find("\"door\""), std::string::npos);
  EXPECT_EQ(Found(Run(spots + "[Effect]\nDoor :FF:2:FF00:1\n")), V{"8 effect-unmatched"});
  // Quoted on both sides they match; the quotes still reach the page with the anchor's name.
  EXPECT_EQ(Found(Run(std::string(kGlobal) + "[HotSpot]\n(\"door\"::R:1-9:1)\n1:1,1,2,2\n"
                                             "[Effect]\n\"door\":FF:2:FF00:1\n")),
            V{"5 quoted-name"});
  EXPECT_EQ(Found(Run(spots + "[Effect]\ndoor:FF:2:FF00:1\ndoor:FF:2:FF00:0\n")),
            V{"9 effect-duplicate"});
}

TEST_F(Check, EffectValuesThatTheReaderChanges) {
  const std::string spots = std::string(kGlobal) + "[HotSpot]\n(d::R:1-9:1)\n1:1,1,2,2\n[Effect]\n";
  CheckReport report = Run(spots + "d\n");
  EXPECT_EQ(Found(report), V{"8 effect-values"});
  EXPECT_NE(report.diagnostics[0].message.find("visibility 0 (hidden)"), std::string::npos);
  EXPECT_EQ(Found(Run(spots + "d:#FF00:2:0xFFFF:2\n")), V{"8 effect-values"});
  report = Run(spots + "d:FFFFFFFF:2:red:1\n");
  EXPECT_EQ(Found(report), (V{"8 bad-number", "8 bad-number"}));
  EXPECT_NE(report.diagnostics[0].message.find("7FFFFFFF"), std::string::npos);
  EXPECT_NE(report.diagnostics[1].message.find("\"red\" is read as 0"), std::string::npos);
}

TEST_F(Check, HotSpotsThatAreNeverHitOrShown) {
  const std::string head = std::string(kGlobal) + "[HotSpot]\n";
  EXPECT_EQ(Found(Run(head + "(a::X:1-9:1)\n1:1,1,2,2\n")), V{"5 shape-never-hit"});
  EXPECT_EQ(Found(Run(head + "(a::rect:1-9:1)\n1:1,1,2,2\n")), V{"5 shape-never-hit"});
  EXPECT_EQ(Found(Run(head + "(a::c:9-1:1)\n1:1,1,2,2\n")), V{"5 never-shown"});
  EXPECT_EQ(Found(Run(head + "(a::R:1-9:0)\n")), V{"5 no-key-frames"});
  EXPECT_EQ(Found(Run(head + "(a::R:1-9:1)\n1:5,1,2,2\n")), V{"6 empty-rect"});
  // Without delimiters the first and last characters are lost: name "oor", no key frames.
  const CheckReport bare = Run(head + "door::R:1-9:1\n1:1,1,2,2\n");
  ASSERT_FALSE(bare.diagnostics.empty());
  EXPECT_EQ(Found(bare)[0], "5 header-delimiters");
  EXPECT_EQ(ExitStatus(bare), 2);
}

TEST_F(Check, KeyFramesMustAscend) {
  const std::string head = std::string(kGlobal) + "[HotSpot]\n(a::R:0-99:3)\n";
  // Told once per hot spot, at the first key frame out of order.
  EXPECT_EQ(Found(Run(head + "50:1,1,2,2\n10:1,1,2,2\n5:1,1,2,2\n")), V{"7 key-order"});
  EXPECT_EQ(Found(Run(head + "10:1,1,2,2\n10:1,1,3,3\n90:1,1,2,2\n")), V{"7 key-order"});
}

TEST_F(Check, NumbersAndFieldsThatTheReaderChanges) {
  CheckReport report =
      Run("[Global]\nSource=a.mpg\n[Marker]\nintro:1a20\nnoframe\n[Event]\n"
          "e:-5:NONE\n\"e2\":7:NONE\n");
  EXPECT_EQ(Found(report), (V{"4 bad-number", "5 missing-field", "7 bad-number", "8 quoted-name"}));
  EXPECT_NE(report.diagnostics[0].message.find("read as 120"), std::string::npos);

  const std::string head = std::string(kGlobal) + "[HotSpot]\n";
  EXPECT_EQ(Found(Run(head + "(a::R:1-9:2)\n1:5-3,1,9,9\n2:1,1,9\n")),
            (V{"6 bad-number", "7 missing-field", "7 empty-rect"}));
  EXPECT_EQ(Found(Run(head + "(a::R:1-9)\n")), (V{"5 missing-field", "5 no-key-frames"}));
  EXPECT_EQ(Found(Run(head + "(a::R:5:0)\n")),
            (V{"5 missing-field", "5 never-shown", "5 no-key-frames"}));
  // Blanks, signs and leading zeros are read as they look.
  EXPECT_TRUE(Run(head + "(a::R: 01 - 9 :1)\n1: -3, +4, 10 ,12\n").diagnostics.empty());
}

TEST_F(Check, NamesThatLookupsFindOnlyOnce) {
  EXPECT_EQ(Found(Run("[Global]\nSource=a.mpg\n[Marker]\nm:1\nm:2\n")), V{"5 duplicate-name"});
  EXPECT_EQ(Found(Run("[Global]\nSource=a.mpg\nHotSpot=2\n[HotSpot]\n(a::R:1-9:1)\n1:1,1,2,2\n"
                      "(a::R:1-9:1)\n1:1,1,2,2\n")),
            V{"7 duplicate-name"});
}

TEST_F(Check, FramesBeyondTheMovieEnd) {
  const MovieInfo movie = Movie(100, 320, 240);
  const CheckReport report = Run(std::string(kGlobal) +
                                     "[Marker]\nend:100\nafter:101\n[Event]\ne:150\n"
                                     "[HotSpot]\n(a::R:120-200:1)\n120:1,1,2,2\n",
                                 &movie);
  EXPECT_EQ(Found(report), (V{"6 beyond-end", "8 beyond-end", "10 beyond-end"}));
  EXPECT_EQ(ExitStatus(report), 1);
}

TEST_F(Check, RectanglesAgainstThePicture) {
  const MovieInfo movie = Movie(1000, 200, 100);
  const std::string head = std::string(kGlobal) + "[HotSpot]\n";
  // A key frame partly outside: told at its own line.
  CheckReport report = Run(head + "(a::R:0-400:2)\n0:10,10,50,50\n400:150,10,250,50\n", &movie);
  EXPECT_EQ(Found(report), V{"7 outside-picture"});
  EXPECT_NE(report.diagnostics[0].message.find("reaches outside the 200x100 picture"),
            std::string::npos);
  // Between key frames: told at the header with the first frame outside. The life ends at
  // frame 350, before the key frame at 400 that is outside.
  report = Run(head + "(a::R:100-350:2)\n100:10,20,60,90\n400:200,20,250,90\n", &movie);
  EXPECT_EQ(Found(report), V{"5 outside-picture"});
  EXPECT_NE(report.diagnostics[0].message.find("from frame 323"), std::string::npos);
  // Beyond the same side on every frame: never seen or hit.
  EXPECT_EQ(Found(Run(head + "(a::R:0-99:2)\n0:-50,1,-10,9\n99:-40,1,-1,9\n", &movie)),
            V{"5 never-on-picture"});
  // Crossing the picture from left to right: only the key frames are off it.
  EXPECT_EQ(Found(Run(head + "(a::R:0-99:2)\n0:-50,1,-10,9\n99:300,1,340,9\n", &movie)),
            (V{"6 outside-picture", "7 outside-picture"}));
  // A rectangle over the corner meets the picture; the ellipse inscribed in it does not.
  report = Run(head + "(a::R:0-9:1)\n0:-50,-50,2,2\n", &movie);
  EXPECT_NE(Only(report).message.find("reaches outside"), std::string::npos);
  report = Run(head + "(a::C:0-9:1)\n0:-50,-50,2,2\n", &movie);
  EXPECT_NE(Only(report).message.find("entirely outside"), std::string::npos);
  // The picture's far edge itself is accepted.
  EXPECT_TRUE(Run(head + "(a::R:0-9:1)\n0:0,0,200,100\n", &movie).diagnostics.empty());
  // Out-of-order key frames are followed as the player follows them: before frame 50 the
  // first key frame's rectangle, which is outside.
  report = Run(head + "(a::R:0-99:2)\n50:150,1,199,9\n10:-60,1,-20,9\n", &movie);
  EXPECT_EQ(Found(report), (V{"5 outside-picture", "7 key-order"}));

  MovieInfo sound = Movie(1000, 0, 0);
  EXPECT_EQ(Found(Run(head + "(a::R:0-9:1)\n0:1,1,9,9\n", &sound)), V{"0 no-picture"});
}

TEST_F(Check, TextAndJsonForms) {
  const CheckReport report = Run("[Marker]\nm:1\nm:x\n");
  const std::string text = klp::tools::FormatText(report);
  const std::string path = dir_.Path("p.klp");
  EXPECT_NE(text.find(path + ": error: "), std::string::npos) << text;
  EXPECT_NE(text.find(path + ":3: warning: marker \"m\": frame \"x\" is read as 0\n" + path +
                      ":3: note: "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(path + ": 1 error, 2 warnings\n"), std::string::npos) << text;
}

}  // namespace
