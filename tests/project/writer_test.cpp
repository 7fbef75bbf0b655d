#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "lint/lint.h"
#include "project/project_writer.h"
#include "tests/project/temp_dir.h"

namespace klp {
namespace {

using test::TempDir;

template <typename List>
std::string ListDifference(const List& a, const List& b, const char* what) {
  if (a.size() != b.size()) return std::string(what) + ": " + std::to_string(b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (const char* field = DifferingField(*a[i], *b[i])) {
      return std::string(what) + " " + std::to_string(i) + ": " + field;
    }
  }
  return "";
}

// Where b, read back, differs from a; empty when every record and value is the same and the
// counts are the sizes of the lists.
std::string Difference(const CProjectInfo& a, const CProjectInfo& b) {
  if (a.version != b.version) return "version: " + b.version;
  if (a.source != b.source) return "source: " + b.source;
  const auto count = [](const auto& list) { return static_cast<int32_t>(list.size()); };
  if (b.eventCount != count(b.events) || b.markerCount != count(b.markers) ||
      b.hotSpotCount != count(b.hotSpots) || b.linkCount != count(b.links) ||
      b.effectCount != count(b.effects)) {
    return "counts";
  }
  for (const std::string& d :
       {ListDifference(a.events, b.events, "event"), ListDifference(a.markers, b.markers, "marker"),
        ListDifference(a.hotSpots, b.hotSpots, "hot spot"),
        ListDifference(a.links, b.links, "link"), ListDifference(a.effects, b.effects, "effect")}) {
    if (!d.empty()) return d;
  }
  return "";
}

class Writer : public ::testing::Test {
 protected:
  // Writes project and reads it back; the difference, or "refused: " and the errors.
  std::string RoundTrip(const CProjectInfo& project, WriteCheck check, bool* refused = nullptr) {
    const WriteResult written = WriteProject(project, nullptr, check);
    if (refused != nullptr) *refused = !written.ok();
    if (!written.ok()) return "refused: " + written.errors.front();
    const std::string path = dir_.Write("w.klp", written.text);
    CProjectInfo again;
    if (again.Read(path) != 0) return "unreadable";
    const std::string difference = Difference(project, again);
    if (!difference.empty()) return difference + "\n" + written.text;
    if (check == WriteCheck::kPlayable) {
      const lint::Report report = lint::LintFile(path);
      if (!report.diagnostics.empty()) return lint::FormatText(report) + written.text;
    }
    return "";
  }

  // The project read from text.
  CProjectInfo& Parsed(const std::string& text, FileLayout* layout = nullptr) {
    EXPECT_EQ(parsed_.Read(dir_.Write("in.klp", text), layout), 0);
    return parsed_;
  }

  TempDir dir_;
  CProjectInfo parsed_;
};

// Projects that a careful editor makes: every name and value one the format carries, with the
// characters that need care (blanks inside, "=", ",", "#", brackets, quotes and bytes above 0x7F).
class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  void Fill(CProjectInfo& project, bool hostile) {
    hostile_ = hostile;
    project.version = Pick({"1.00", "2.0", " padded ", "\"quoted\"", "'single'", ""});
    project.source = Name("") + ".mpg";
    if (Chance(5)) project.source = " " + project.source + " ";
    for (int i = Below(4); i > 0; --i) {
      auto& marker = *project.markers.emplace_back(std::make_unique<CMarkerInfo>());
      marker.name = Name("m" + std::to_string(i));
      marker.frame = Frame();
    }
    for (int i = Below(4); i > 0; --i) {
      auto& event = *project.events.emplace_back(std::make_unique<CEventInfo>());
      const std::string kind = Pick({"", "URL", "TAC", "GO"});
      std::string line = Name("e") + ":" + std::to_string(Frame());
      if (!kind.empty())
        line += ":" + kind + ":" +
                Pick({"", "a.html,_top", "\"x:1/y\",main", "one,two,three", "\"a,b\",c"});
      event.Parse(line);
    }
    const int spots = Below(4);
    for (int i = spots; i > 0; --i) {
      auto& spot = *project.hotSpots.emplace_back(std::make_unique<CHotSpotInfo>());
      spot.name = Name("h" + std::to_string(i));
      spot.linkName = Chance(2) ? "" : Name("l");
      spot.shape = Pick({"R", "r", "C", "c"});
      int32_t frame = Below(5000);
      spot.startFrame = frame;
      for (int k = 1 + Below(5); k > 0; --k) {
        const int32_t left = Below(700) - 50, top = Below(500) - 50;
        spot.keyFrames.push_back({frame, left, top, left + Below(200), top + Below(200)});
        frame += 1 + Below(300);
      }
      spot.endFrame = frame + Below(50);
      spot.keyFrameCount = Chance(3) ? 0 : static_cast<int32_t>(spot.keyFrames.size());
      if (Chance(2)) {
        auto& effect = *project.effects.emplace_back(std::make_unique<CEffectInfo>());
        effect.name = spot.name;
        effect.frameColor = Below(0x1000000);
        effect.highlightColor = Chance(4) ? 0x7FFFFFFF : Below(0x1000000);
        effect.lineWidth = Below(9);
        effect.visibility = Below(2);
      }
    }
    for (int i = Below(3); i > 0; --i) {
      auto& link = *project.links.emplace_back(std::make_unique<CLinkInfo>());
      link.name = Name("l");
      link.kind = Pick({"URL", "SEEK", "PLAYER", "NONE", ""});
      if (link.kind == "URL") {
        link.url = Pick({"page.html", "http://host:8080/p?a=1,2"});
        link.urlTarget = Pick({"", "_top", "main"});
      } else if (link.kind == "SEEK") {
        link.seekParam = Pick({"120", "start", ""});
      } else if (link.kind == "PLAYER") {
        link.playerParam = Pick({"pause", "a:b", ""});
      }
      if (Chance(3)) link.extra = "x";
    }
    if (hostile_) Spoil(project);
  }

 private:
  int Below(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
  bool Chance(int oneIn) { return Below(oneIn) == 0; }
  std::string Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Below(static_cast<int>(choices.size())));
  }
  int32_t Frame() { return Chance(10) ? 2147483647 - Below(1000) : Below(5000); }

  // A name unique by its prefix, with one character that needs care after the first.
  std::string Name(const std::string& unique) {
    static const char* const kTricky[] = {" ", "=",        ",",    "#", "(", ")", "[", "]",
                                          "'", "\xC3\xA9", "\xE9", ";", "-", ".", "_"};
    std::string name = Pick({"door", "Bell", "x", "scene", "a b"}) + unique;
    if (Chance(2)) name += kTricky[Below(sizeof kTricky / sizeof kTricky[0])];
    if (hostile_ && Chance(12)) name = Pick({":", "\"", " ", ";", "[", "\n", "\r"}) + name;
    if (hostile_ && Chance(12)) name += Pick({":", "\"", " ", "\t"});
    return name;
  }

  // Values that the format cannot carry, or that play otherwise than they read.
  void Spoil(CProjectInfo& project) {
    if (Chance(3) && !project.markers.empty()) project.markers[0]->frame = -1 - Below(5);
    if (Chance(3) && !project.hotSpots.empty()) {
      auto& keys = project.hotSpots[0]->keyFrames;
      if (keys.size() > 1) std::swap(keys.front(), keys.back());
      project.hotSpots[0]->shape = Pick({"R", "X", "R:", ""});
    }
    if (Chance(3) && !project.effects.empty()) {
      project.effects[0]->visibility = Below(3);
      project.effects[0]->name += Pick({"", "x", "\""});
    }
    if (Chance(4)) project.source = Pick({"", "*", "a\nb", std::string(300, 'a').c_str()});
    if (Chance(4) && !project.links.empty()) project.links[0]->kind = Pick({"[Event]", "SEEK"});
  }

  std::mt19937 random_;
  bool hostile_ = false;
};

TEST_F(Writer, GeneratedProjectsReadBackTheSameAndAreClean) {
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    CProjectInfo project;
    Generator(seed).Fill(project, false);
    EXPECT_EQ(RoundTrip(project, WriteCheck::kPlayable), "") << "seed " << seed;
  }
}

TEST_F(Writer, SpoiltProjectsAreRefusedOrReadBackTheSame) {
  int refusedPlayable = 0, refusedExact = 0;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    CProjectInfo project;
    Generator(seed).Fill(project, true);
    bool refused = false;
    const std::string exact = RoundTrip(project, WriteCheck::kExact, &refused);
    if (!refused) {
      EXPECT_EQ(exact, "") << "seed " << seed;
    }
    refusedExact += refused;
    const std::string playable = RoundTrip(project, WriteCheck::kPlayable, &refused);
    if (!refused) {
      EXPECT_EQ(playable, "") << "seed " << seed;
    }
    refusedPlayable += refused;
  }
  // Both ways out are taken, and the playable check refuses more.
  EXPECT_GT(refusedExact, 40);
  EXPECT_LT(refusedExact, 360);
  EXPECT_GT(refusedPlayable, refusedExact);
}

TEST_F(Writer, CorpusFilesReadBackTheSame) {
  int read = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KLP_PROJECT_CORPUS)) {
    CProjectInfo project;
    if (project.Read(entry.path().string()) != 0) continue;
    ++read;
    EXPECT_EQ(RoundTrip(project, WriteCheck::kExact), "") << entry.path();
    bool refused = false;
    const std::string playable = RoundTrip(project, WriteCheck::kPlayable, &refused);
    if (!refused) {
      EXPECT_EQ(playable, "") << entry.path();
    }
  }
  EXPECT_GE(read, 4);
}

TEST_F(Writer, CountsAreTheListsWhateverTheFieldsSay) {
  CProjectInfo& project = Parsed(
      "[Global]\nSource=m.mpg\nHotSpot=1\n[HotSpot]\n(a::R:0-9:1)\n0:1,2,3,4\n"
      "[Marker]\nx:5\n[Effect]\na:FF:1:FF0000:1\n");
  project.hotSpotCount = 7;
  project.markerCount = 0;
  project.hotSpots[0]->keyFrameCount = 3;
  project.hotSpots[0]->keyFrames.push_back({9, 5, 6, 7, 8});
  const WriteResult written = WriteProject(project);
  ASSERT_TRUE(written.ok()) << written.errors.front();
  EXPECT_EQ(written.text,
            "[Global]\nKLPVersion=*\nSource=m.mpg\nEvent=0\nMarker=1\nHotSpot=1\nLink=0\n"
            "Effect=1\n\n[Marker]\nx:5\n\n[HotSpot]\n(a::R:0-9:2)\n0:1,2,3,4\n9:5,6,7,8\n\n"
            "[Effect]\na:0000FF:1:FF0000:1\n");
}

TEST_F(Writer, ValuesTheReaderWouldChangeAreRefused) {
  CProjectInfo& project = Parsed(
      "[Global]\nSource=m.mpg\nHotSpot=1\n[HotSpot]\n(a::R:0-9:1)\n0:1,2,3,4\n[Marker]\nx:5\n"
      "[Event]\ne:1\n[Link]\nl:SEEK:9\n");
  project.version = std::string("1.0\0x", 5);
  project.source = "m\n.mpg";
  project.markers[0]->name = "a:b";
  project.markers[0]->frame = -5;
  project.events[0]->name = ";e";
  project.hotSpots[0]->linkName = "x:y";
  project.hotSpots[0]->keyFrames[0].frame = -1;
  project.links[0]->name = "[Event]";
  project.links[0]->kind = "";
  project.links[0]->seekParam = "";
  const WriteResult written = WriteProject(project, nullptr, WriteCheck::kExact);
  EXPECT_EQ(written.text, "");
  EXPECT_EQ(written.errors,
            (std::vector<std::string>{
                "KLPVersion \"1.0\\x00x\" holds a NUL byte, which ends the value",
                "Source \"m\\x0A.mpg\" holds a line break, which ends the value",
                "marker \"a:b\" cannot be written: its name would read back otherwise from "
                "\"a:b:-5\"",
                "event \";e\" cannot be written: its line would be read as a comment: \";e:1\"",
                "hot spot \"a\" cannot be written: its link name would read back otherwise from "
                "\"(a:x:y:R:0-9:1)\"",
                "hot spot \"a\": key frame -1 cannot be written: frames are 0 or more",
                "link \"[Event]\" cannot be written: its line would be read as a section header",
            }));
}

TEST_F(Writer, WhatCheckWouldWarnOfIsRefusedWhenPlayable) {
  CProjectInfo& project = Parsed(
      "[Global]\nSource=*\nHotSpot=2\n[HotSpot]\n(\"a\"::X:9-0:2)\n5:1,2,3,4\n4:9,2,3,4\n"
      "(b::R:0-1:0)\n[Marker]\nx:5\nx:6\n[Effect]\nB:FF:1:FF0000:2\nb:FF:1:FF0000:1\n"
      "b:FF:1:FF0000:1\n");
  EXPECT_TRUE(WriteProject(project, nullptr, WriteCheck::kExact).ok());
  EXPECT_EQ(WriteProject(project).errors,
            (std::vector<std::string>{
                "the project names no movie: Source is \"*\"",
                "marker \"x\": a second record of that name",
                "hot spot \"\\\"a\\\"\": the shape \"X\" is never hit; use R or C",
                "hot spot \"\\\"a\\\"\": it starts at frame 9, after its end at frame 0",
                "hot spot \"\\\"a\\\"\": key frame 4 follows key frame 5; key frames must ascend",
                "hot spot \"\\\"a\\\"\": key frame 4 has an empty rectangle",
                "hot spot \"\\\"a\\\"\": a name in double quotes keeps them, and the page "
                "receives them",
                "hot spot \"b\": it has no key frames",
                "effect \"B\": visibility 2 is neither 1 (shown) nor 0 (hidden)",
                "effect \"B\": no hot spot has its name",
                "effect \"b\": its hot spot has an effect already",
            }));
}

TEST_F(Writer, CommentsAndUnknownKeysStayWhereTheyWere) {
  FileLayout layout;
  CProjectInfo& project = Parsed(
      "; a tour\n[Global]\nKLPVersion=1.00\n; the movie\nSource=tour.mpg\nAuthor=me\n"
      "HotSpot=1\n[Notes]\nby=me\n\n; the marks\n[Marker]\n; first\nstart:0\nend:90\n[HotSpot]\n; "
      "door\n"
      "(door::R:0-90:2)\n0:1,2,3,4\n; halfway\n90:5,6,7,8\n; the end\n",
      &layout);
  // Edited: a marker before the others and a key frame between the two.
  project.markers.insert(project.markers.begin(), std::make_unique<CMarkerInfo>());
  project.markers[0]->name = "new";
  auto& keys = project.hotSpots[0]->keyFrames;
  keys.insert(keys.begin() + 1, {45, 3, 4, 5, 6});
  const WriteResult written = WriteProject(project, &layout);
  ASSERT_TRUE(written.ok()) << written.errors.front();
  EXPECT_EQ(written.text,
            "; a tour\n[Global]\nKLPVersion=1.00\nSource=tour.mpg\nEvent=0\nMarker=3\n"
            "HotSpot=1\nLink=0\nEffect=0\n; the movie\nAuthor=me\n\n; the marks\n[Marker]\n"
            "new:0\n; first\nstart:0\nend:90\n\n[HotSpot]\n; door\n(door::R:0-90:3)\n"
            "0:1,2,3,4\n45:3,4,5,6\n; halfway\n90:5,6,7,8\n\n; the end\n");
}

}  // namespace
}  // namespace klp
