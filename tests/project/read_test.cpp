#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <limits>
#include <string>

#include "project/project_info.h"
#include "tests/project/temp_dir.h"
#include "tests/project/worked_example.h"

namespace {

class ProjectRead : public ::testing::Test {
 protected:
  int Read(const std::string& content) { return project_.Read(dir_.Write("p.klp", content)); }
  std::string Names() const {
    std::string names;
    for (const auto& spot : project_.hotSpots) names += spot->name + "|";
    return names;
  }
  klp::test::TempDir dir_;
  CProjectInfo project_;
};

TEST_F(ProjectRead, WorkedExample) {
  const std::string path = dir_.Write("tour.klp", kWorkedExample);
  ASSERT_EQ(project_.Read(path), 0);
  EXPECT_EQ(project_.path, path);
  EXPECT_EQ(project_.version, "1.00");
  EXPECT_EQ(project_.source, "tour.mpg");
  EXPECT_EQ(project_.eventCount, 1);
  EXPECT_EQ(project_.markerCount, 2);
  EXPECT_EQ(project_.hotSpotCount, 1);
  EXPECT_EQ(project_.linkCount, 1);
  EXPECT_EQ(project_.effectCount, 1);

  ASSERT_EQ(project_.markers.size(), 2u);
  EXPECT_EQ(project_.markers[0]->name, "start");
  EXPECT_EQ(project_.markers[0]->frame, 0);
  EXPECT_EQ(project_.markers[1]->name, "scene2");
  EXPECT_EQ(project_.markers[1]->frame, 450);

  const CEventInfo& bell = *project_.events.at(0);
  EXPECT_EQ(bell.name, "bell");
  EXPECT_EQ(bell.frame, 300);
  EXPECT_EQ(bell.tacParam1 + "," + bell.tacParam2 + "," + bell.tacParam3, "one,two,three");

  const CHotSpotInfo& door = *project_.hotSpots.at(0);
  EXPECT_EQ(door.name, "door");
  EXPECT_EQ(door.linkName, "doorlink");
  EXPECT_EQ(door.shape, "R");
  EXPECT_EQ(door.startFrame, 100);
  EXPECT_EQ(door.endFrame, 400);
  ASSERT_EQ(door.keyFrameCount, 2);
  ASSERT_EQ(door.keyFrames.size(), 2u);
  const KeyFrame& last = door.keyFrames[1];
  EXPECT_EQ(door.keyFrames[0].left, 10);
  EXPECT_EQ(last.frame, 400);
  EXPECT_EQ(last.left, 200);
  EXPECT_EQ(last.top, 20);
  EXPECT_EQ(last.right, 250);
  EXPECT_EQ(last.bottom, 90);

  const CLinkInfo& link = *project_.links.at(0);
  EXPECT_EQ(link.name, "doorlink");
  EXPECT_EQ(link.url, "page2.html");
  EXPECT_EQ(link.urlTarget, "main");

  const CEffectInfo* effect = nullptr;
  ASSERT_EQ(project_.FindEffect("door", -1, &effect), 0);
  EXPECT_EQ(effect->frameColor, 0xFF00);
  EXPECT_EQ(effect->lineWidth, 2);
  EXPECT_EQ(effect->highlightColor, 0xFFFF);
  EXPECT_EQ(effect->visibility, 1);
}

TEST_F(ProjectRead, MissingFileFailsWithTheDefaults) {
  project_.AddMarker("kept:1");
  EXPECT_EQ(project_.Read(dir_.Path("missing.klp")), -1);
  EXPECT_EQ(project_.path, dir_.Path("missing.klp"));
  EXPECT_EQ(project_.version, "*");
  EXPECT_EQ(project_.source, "*");
  EXPECT_EQ(project_.markerCount, 0);
  EXPECT_EQ(project_.markers.size(), 1u);
}

TEST_F(ProjectRead, UnreadableFileFails) {
  EXPECT_EQ(project_.Read(dir_.Path("")), -1);  // a directory opens, but reading it fails
}

// Lines, then a read error.
class FailingLines : public klp::LineSource {
 public:
  explicit FailingLines(std::deque<std::string> lines) : lines_(std::move(lines)) {}
  klp::LineStatus Next(std::string& line) override {
    if (lines_.empty()) return klp::LineStatus::kError;
    line = lines_.front();
    lines_.pop_front();
    return klp::LineStatus::kLine;
  }

 private:
  std::deque<std::string> lines_;
};

TEST(ProjectReadError, KeepsRecordsMadeAndTheGlobalCounts) {
  CProjectInfo project;
  project.markerCount = 9;
  project.hotSpotCount = 2;
  FailingLines lines({"[Marker]", "a:1", "b:2", "[HotSpot]", "(s:l:R:0-9:3)", "1:1,2,3,4"});
  EXPECT_EQ(project.ReadRecords(lines), -1);
  EXPECT_EQ(project.markers.size(), 2u);
  EXPECT_EQ(project.markerCount, 9);
  EXPECT_EQ(project.hotSpotCount, 2);
  ASSERT_EQ(project.hotSpots.size(), 1u);
  EXPECT_EQ(project.hotSpots[0]->keyFrameCount, 1);  // the key frames read before the error
}

TEST_F(ProjectRead, WithoutAHotSpotCountTheSectionIsDropped) {
  for (const char* global : {"", "HotSpot=0\n", "HotSpot=-3\n", "HotSpot=x\n"}) {
    CProjectInfo project;
    const std::string file = std::string("[Global]\n") + global +
                             "[HotSpot]\n(a:l:R:1-2:1)\n1:1,1,1,1\n[Marker]\nm:5\n";
    ASSERT_EQ(project.Read(dir_.Write("p.klp", file)), 0) << global;
    EXPECT_TRUE(project.hotSpots.empty()) << global;
    EXPECT_EQ(project.markers.size(), 1u) << global;
  }
}

TEST_F(ProjectRead, HeadersMatchAnyCaseButOnlyAlone) {
  ASSERT_EQ(Read("[Global]\nHotSpot=1\n[marker]\nm:1\n  [HotSpot] ; spots\n"
                 "[hotspot]\n(a::r:1-2:0)\n[HOTSPOT]\n(b::c:1-2:0)\n"),
            0);
  ASSERT_EQ(project_.markers.size(), 2u);
  EXPECT_EQ(project_.markers[1]->name, "[HotSpot] ; spots");
  EXPECT_EQ(Names(), "a|b|");
}

TEST_F(ProjectRead, EachRecordLineInTheSectionStartsAPass) {
  ASSERT_EQ(Read("[Global]\nHotSpot=1\n[HotSpot]\n(a::R:1-2:1)\n\n; note\n1:1,1,1,1\n"
                 "(b::R:1-2:0)\n"),
            0);
  EXPECT_EQ(Names(), "a|b|");
  EXPECT_EQ(project_.hotSpots[0]->keyFrames.at(0).right, 1);
  EXPECT_EQ(project_.hotSpotCount, 2);
}

TEST_F(ProjectRead, InsideABlockSectionHeadersAreTakenAsBlockLines) {
  ASSERT_EQ(Read("[Global]\nHotSpot=2\n[HotSpot]\n(a::R:1-2:0)\n[Link]\nl:URL:x\n"), 0);
  EXPECT_EQ(Names(), "a|Link||");
  EXPECT_EQ(project_.hotSpots.at(2)->linkName, "URL");  // "l:URL:x" less its first and last
  EXPECT_TRUE(project_.links.empty());

  CProjectInfo short_block;
  ASSERT_EQ(short_block.Read(dir_.Write(
                "s.klp", "[Global]\nHotSpot=1\n[HotSpot]\n(a::R:1-2:3)\n1:1,1,1,1\n2:2,2,2,2\n"
                         "[Effect]\n")),
            0);
  const CHotSpotInfo& spot = *short_block.hotSpots.at(0);
  ASSERT_EQ(spot.keyFrames.size(), 3u);
  EXPECT_EQ(spot.keyFrames[2].frame, 0);
  EXPECT_EQ(spot.keyFrames[2].bottom, 0);
}

TEST_F(ProjectRead, BlocksStopAtTheEndOfTheFile) {
  ASSERT_EQ(Read("[Global]\nHotSpot=2000000000\n[HotSpot]\n(a::R:1-2:2000000000)\n1:1,1,1,1\n"
                 "2:2,2,2,2"),
            0);
  ASSERT_EQ(project_.hotSpots.size(), 1u);
  EXPECT_EQ(project_.hotSpots[0]->keyFrameCount, 2);
  EXPECT_EQ(project_.hotSpotCount, 1);
}

TEST_F(ProjectRead, CountsAreTheRecordsRead) {
  ASSERT_EQ(Read("[Global]\nMarker=1\nEvent=99999999999\n[Marker]\na:1\nb:2\nc:3\nd:4\ne:5\n"), 0);
  EXPECT_EQ(project_.markerCount, 5);
  EXPECT_EQ(project_.eventCount, 0);
  EXPECT_EQ(project_.source, "*");
  EXPECT_EQ(project_.version, "*");
}

TEST_F(ProjectRead, GlobalAfterARecordSectionIsRecords) {
  ASSERT_EQ(Read("ignored:1\n[Marker]\nm:1\n[Global]\nSource=late.mpg\n"), 0);
  EXPECT_EQ(project_.source, "late.mpg");
  ASSERT_EQ(project_.markers.size(), 3u);
  EXPECT_EQ(project_.markers[1]->name, "[Global]");
  EXPECT_EQ(project_.markers[2]->name, "Source=late.mpg");
}

TEST_F(ProjectRead, QuotedNamesKeepTheirQuotes) {
  ASSERT_EQ(Read("[Event]\n\"big bang\":10:NONE\n[Link]\nl:URL:\"http://x:1/y\",top\n"), 0);
  EXPECT_EQ(project_.events.at(0)->name, "\"big bang\"");
  EXPECT_EQ(project_.links.at(0)->url, "http://x:1/y");
  EXPECT_EQ(project_.links.at(0)->urlTarget, "top");
}

TEST_F(ProjectRead, AnyBytesAreKept) {
  const std::string nul("nul\0byte:7", 10);
  ASSERT_EQ(Read("[Marker]\n" + nul + "\n\xFF\xFE\xC0:8\r\n"), 0);
  ASSERT_EQ(project_.markers.size(), 2u);
  EXPECT_EQ(project_.markers[0]->name, std::string("nul\0byte", 8));
  EXPECT_EQ(project_.markers[0]->frame, 7);
  EXPECT_EQ(project_.markers[1]->name, "\xFF\xFE\xC0");
}

TEST_F(ProjectRead, LongLinesAndManyHotSpots) {
  std::string file = "[Global]\nSource=" + std::string(1 << 20, 's') + "\nHotSpot=100000\n";
  file += "[Marker]\n" + std::string(4 << 20, 'n') + ":" + std::string(1 << 20, '9') + "\n";
  file += "[HotSpot]\n";
  for (int i = 0; i < 100000; ++i) file += "(h:l:R:0-9:1)\n1:1,2,3,4\n";
  ASSERT_EQ(Read(file), 0);
  EXPECT_EQ(project_.source.size(), 255u);
  EXPECT_EQ(project_.markers.at(0)->name.size(), 4u << 20);
  EXPECT_EQ(project_.markers.at(0)->frame, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(project_.hotSpotCount, 100000);
  EXPECT_EQ(project_.hotSpots.back()->keyFrames.at(0).bottom, 4);
}

}  // namespace
