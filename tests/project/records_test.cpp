#include "project/records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "project/project_info.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(RecordParse, EventSplitsItsParametersByKind) {
  CEventInfo tac;
  tac.Parse("bell:300:TAC:one,\"t,w:o\",three,four");
  EXPECT_EQ(tac.name, "bell");
  EXPECT_EQ(tac.frame, 300);
  EXPECT_EQ(tac.kind, "TAC");
  EXPECT_EQ(tac.params, "one,\"t,w:o\",three,four");
  EXPECT_EQ(tac.tacParam1, "one");
  EXPECT_EQ(tac.tacParam2, "\"t,w:o\"");
  EXPECT_EQ(tac.tacParam3, "three");
  EXPECT_EQ(tac.url, "");

  CEventInfo url;
  url.Parse("\"go:now\":1x2:URL:\"http://h:80/a,b\",\"_top\":ignored");
  EXPECT_EQ(url.name, "\"go:now\"");
  EXPECT_EQ(url.frame, 12);
  EXPECT_EQ(url.url, "http://h:80/a,b");
  EXPECT_EQ(url.urlTarget, "_top");
  EXPECT_EQ(url.params, "\"http://h:80/a,b\",\"_top\"");

  CEventInfo other;
  other.Parse("e:5:url:a,b");
  EXPECT_EQ(other.kind, "url");
  EXPECT_EQ(other.params, "a,b");
  EXPECT_EQ(other.url, "");
}

TEST(RecordParse, MarkerHasNoQuoting) {
  CMarkerInfo marker;
  marker.Parse("intro:1a20");
  EXPECT_EQ(marker.name, "intro");
  EXPECT_EQ(marker.frame, 120);
  marker = CMarkerInfo();
  marker.Parse("m1=intro:100:junk");
  EXPECT_EQ(marker.name, "m1=intro");
  EXPECT_EQ(marker.frame, 100);
  marker = CMarkerInfo();
  marker.Parse("no colon here");
  EXPECT_EQ(marker.name, "no colon here");
  EXPECT_EQ(marker.frame, 0);
  marker = CMarkerInfo();
  marker.Parse("\"a:b\":5");
  EXPECT_EQ(marker.name, "\"a");
  EXPECT_EQ(marker.frame, 0);
}

TEST(RecordParse, HotSpotHeaderSkipsItsDelimiters) {
  CHotSpotInfo spot;
  spot.Parse("(door:doorlink:R:100-400:2)");
  EXPECT_EQ(spot.name, "door");
  EXPECT_EQ(spot.linkName, "doorlink");
  EXPECT_EQ(spot.shape, "R");
  EXPECT_EQ(spot.startFrame, 100);
  EXPECT_EQ(spot.endFrame, 400);
  EXPECT_EQ(spot.keyFrameCount, 2);
  EXPECT_TRUE(spot.keyFrames.empty());

  spot = CHotSpotInfo();
  spot.Parse("xa:\"b:c\":5-3-9:99999999999:extra]");
  EXPECT_EQ(spot.name, "a");
  EXPECT_EQ(spot.linkName, "\"b");
  EXPECT_EQ(spot.shape, "c\"");
  EXPECT_EQ(spot.startFrame, 5);
  EXPECT_EQ(spot.endFrame, 3);
  EXPECT_EQ(spot.keyFrameCount, kMax);

  for (const char* tiny : {"", "x", "()"}) {
    CHotSpotInfo empty;
    empty.Parse(tiny);
    EXPECT_EQ(empty.name, "");
    EXPECT_EQ(empty.shape, "");
    EXPECT_EQ(empty.endFrame, 0);
    EXPECT_EQ(empty.keyFrameCount, 0);
  }
}

TEST(RecordParse, KeyFramesAreAppendedAndCounted) {
  CHotSpotInfo spot;
  spot.Parse("(s:l:C:0-9:7)");
  spot.ParseKeyFrames({"100:10,20,60,90", "5:-3,+4,5-3,+-5", "[Effect]"});
  ASSERT_EQ(spot.keyFrames.size(), 3u);
  EXPECT_EQ(spot.keyFrameCount, 3);
  const KeyFrame& first = spot.keyFrames[0];
  EXPECT_EQ(first.frame, 100);
  EXPECT_EQ(first.left, 10);
  EXPECT_EQ(first.top, 20);
  EXPECT_EQ(first.right, 60);
  EXPECT_EQ(first.bottom, 90);
  const KeyFrame& second = spot.keyFrames[1];
  EXPECT_EQ(second.left, -3);
  EXPECT_EQ(second.top, 4);
  EXPECT_EQ(second.right, 5);
  EXPECT_EQ(second.bottom, 0);
  const KeyFrame& header = spot.keyFrames[2];
  EXPECT_EQ(header.frame, 0);
  EXPECT_EQ(header.left | header.top | header.right | header.bottom, 0);
  spot.ParseKeyFrames({"1:1,1,1,1"});
  EXPECT_EQ(spot.keyFrameCount, 4);
}

TEST(RecordParse, LinkPlacesItsParameterByKind) {
  CLinkInfo url;
  url.Parse("doorlink:URL:\"http://a:8/c\",main:more:ignored");
  EXPECT_EQ(url.kind, "URL");
  EXPECT_EQ(url.url, "http://a:8/c");
  EXPECT_EQ(url.urlTarget, "main");
  EXPECT_EQ(url.extra, "more");

  CLinkInfo seek;
  seek.Parse("s:SEEK:\"450\"");
  EXPECT_EQ(seek.seekParam, "\"450\"");
  CLinkInfo player;
  player.Parse("p:PLAYER:\"a:b, c\"");
  EXPECT_EQ(player.playerParam, "a:b, c");
  EXPECT_EQ(player.seekParam, "");

  CLinkInfo none;
  none.Parse("n:NONE:dropped");
  EXPECT_EQ(none.kind, "NONE");
  EXPECT_EQ(none.url + none.urlTarget + none.seekParam + none.playerParam, "");

  CLinkInfo bare;
  EXPECT_EQ(bare.kind, "NONE");
  bare.Parse("bare");
  EXPECT_EQ(bare.name, "bare");
  EXPECT_EQ(bare.kind, "");
}

TEST(RecordParse, EffectReadsItsValuesOutOfFieldOrder) {
  CEffectInfo effect;
  effect.Parse("door:#FF00:2:0xFFFF:1");
  EXPECT_EQ(effect.frameColor, 0xFF00);
  EXPECT_EQ(effect.lineWidth, 2);
  EXPECT_EQ(effect.highlightColor, 0xFFFF);
  EXPECT_EQ(effect.visibility, 1);

  CEffectInfo named;
  EXPECT_EQ(named.frameColor, 0xFF);
  named.Parse("\"door:x\"");
  EXPECT_EQ(named.name, "\"door:x\"");
  EXPECT_EQ(named.frameColor, 0);
  EXPECT_EQ(named.highlightColor, 0);
  EXPECT_EQ(named.lineWidth, 0);
  EXPECT_EQ(named.visibility, 0);

  CEffectInfo huge;
  huge.Parse("e:FFFFFFFF:99999999999:zz:-1");
  EXPECT_EQ(huge.frameColor, kMax);
  EXPECT_EQ(huge.lineWidth, kMax);
  EXPECT_EQ(huge.highlightColor, 0);
  EXPECT_EQ(huge.visibility, 1);
}

class ProjectLookups : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* line : {"start:0", "dup:10", "dup:20", "Case:30"}) project_.AddMarker(line);
  }
  CProjectInfo project_;
};

TEST_F(ProjectLookups, EmptyNameLooksUpByIndex) {
  const CMarkerInfo* marker = nullptr;
  EXPECT_EQ(project_.FindMarker("", 1, &marker), 1);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->frame, 10);
  marker = nullptr;
  EXPECT_EQ(project_.FindMarker("", 4, &marker), -1);
  EXPECT_EQ(project_.FindMarker("", -1, &marker), -1);
  EXPECT_EQ(marker, nullptr);
  const CEventInfo* event = nullptr;
  EXPECT_EQ(project_.FindEvent("", 0, &event), -1);
  EXPECT_EQ(project_.FindEvent("", -1, &event), -1);
}

TEST_F(ProjectLookups, NameMatchesExactlyAndTheFirstWins) {
  const CMarkerInfo* marker = nullptr;
  EXPECT_EQ(project_.FindMarker("dup", 3, &marker), 1);
  EXPECT_EQ(marker->frame, 10);
  EXPECT_EQ(project_.FindMarker("Case", -1, nullptr), 3);
  EXPECT_EQ(project_.FindMarker("case", -1, &marker), -1);
  EXPECT_EQ(project_.FindMarker(" dup", -1, &marker), -1);
  EXPECT_EQ(project_.FindMarker("dup ", 0, &marker), -1);
}

TEST_F(ProjectLookups, EffectOfAHotSpotNeedsTheSameSpelling) {
  int32_t count = -1;
  EXPECT_EQ(project_.AddHotSpot("(door:l:R:1-2:3)", count), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(project_.AddHotSpot("(\"door\":l:R:1-2:0)", count), 1);
  EXPECT_EQ(project_.AddEffect("\"door\":FF:1:FF:1"), 0);
  const CHotSpotInfo* spot = nullptr;
  const CEffectInfo* effect = nullptr;
  ASSERT_EQ(project_.FindHotSpot("", 0, &spot), 0);
  EXPECT_EQ(project_.FindEffect(spot->name, -1, &effect), -1);
  ASSERT_EQ(project_.FindHotSpot("", 1, &spot), 1);
  EXPECT_EQ(project_.FindEffect(spot->name, -1, &effect), 0);
}

TEST_F(ProjectLookups, KeyFramesGoOnlyToAnExistingHotSpot) {
  int32_t count = 0;
  project_.AddHotSpot("(a:l:R:1-2:1)", count);
  EXPECT_EQ(project_.SetHotSpotKeyFrames({"1:1,2,3,4"}, 1), -1);
  EXPECT_EQ(project_.SetHotSpotKeyFrames({"1:1,2,3,4"}, -1), -1);
  EXPECT_TRUE(project_.hotSpots[0]->keyFrames.empty());
  EXPECT_EQ(project_.SetHotSpotKeyFrames({"1:1,2,3,4"}, 0), 0);
  EXPECT_EQ(project_.hotSpots[0]->keyFrames.at(0).bottom, 4);
}

TEST_F(ProjectLookups, AddDoesNotCountAndRemoveAllEmptiesEverything) {
  EXPECT_EQ(project_.markerCount, 0);
  EXPECT_EQ(project_.AddLink("l:URL:x"), 0);
  EXPECT_EQ(project_.AddEvent("e:1"), 0);
  project_.markerCount = 4;
  project_.linkCount = 1;
  project_.RemoveAll();
  EXPECT_TRUE(project_.markers.empty());
  EXPECT_TRUE(project_.links.empty());
  EXPECT_TRUE(project_.events.empty());
  EXPECT_EQ(project_.markerCount, 0);
  EXPECT_EQ(project_.linkCount, 0);
  EXPECT_EQ(project_.FindMarker("start", -1, nullptr), -1);
}

}  // namespace
