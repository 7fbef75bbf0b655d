// Anchors in the overlay, the selected anchor, and hit testing through the player.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/player/alloc_fault.h"
#include "tests/player/player_fixture.h"

namespace klp::test {
namespace {

using anchors::Rect;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Texts = std::vector<std::string>;

std::string Args(const char* method, std::vector<int64_t> args) {
  std::string out = std::string(method) + "(";
  for (size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + std::to_string(args[i]);
  return out + ")";
}

class AnchorTest : public PlayerTest {
 protected:
  std::vector<std::string> OverlayCalls() { return media.overlay()->Log(); }
  // Video and display sizes as an open movie would leave them.
  void Screen(int32_t videoW, int32_t videoH, int32_t displayW, int32_t displayH) {
    player().m_videoWidth = videoW;
    player().m_videoHeight = videoH;
    player().m_displayWidth = displayW;
    player().m_displayHeight = displayH;
  }
  Rect At(int32_t index, int32_t frame) {
    Rect r{-1, -1, -1, -1};
    EXPECT_TRUE(player().GetAnchorRect(index, frame, &r)) << "frame " << frame;
    return r;
  }
};

// --- Anchors in the overlay -------------------------------------------------------------------

TEST_F(AnchorTest, SetAnchorInfoHandsEveryHotSpotOverLastFirst) {
  AddHotSpot("a", "R", 0, 100, {{0, 1, 2, 3, 4}, {9, 5, 6, 7, 8}});
  AddHotSpot("b", "c", 0, 100, {});
  AddHotSpot("c", "X", 0, 100, {{5, 10, 10, 20, 20}});
  AddHotSpot("d", "C", 0, 100, {{0, 0, 0, 1, 1}});
  AddEffect("a", 0x00FF00, 2, 0xFFFF00, 0);
  AddEffect("c", 0x123456, 5, 0x654321, 7);  // neither hidden nor shown: left alone
  AddEffect("d", 0x111111, 1, 0x222222, 1);
  ASSERT_EQ(Open(), 1);
  EXPECT_THAT(OverlayCalls(),
              ElementsAre(Args("CreateAnchor", {1, 0x111111, 1}), "ShowAnchor(1, 1)",
                          "SetKeyFrames(1, 1)", Args("CreateAnchor", {5, 0x123456, 0}),
                          "SetKeyFrames(2, 1)", "CreateAnchor(3, 255, 1)", "SetKeyFrames(3, 0)",
                          Args("CreateAnchor", {2, 0x00FF00, 0}), "ShowAnchor(4, 0)",
                          "SetKeyFrames(4, 2)", "ShowAllAnchors(1)"));
  const int32_t* ids = player().m_anchorIds;
  ASSERT_NE(ids, nullptr);
  EXPECT_THAT(std::vector<int32_t>(ids, ids + 4), ElementsAre(4, 3, 2, 1));
  const auto& a = media.overlay()->anchors().at(4).keyFrames;
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[1].frame, 9);
  EXPECT_EQ(a[1].left, 5);
  EXPECT_EQ(a[1].bottom, 8);
  EXPECT_FALSE(media.overlay()->anchors().at(4).shown);
}

TEST_F(AnchorTest, MissingHotSpotsAreSkippedAndAnEmptyProjectMakesNoAnchors) {
  AddHotSpot("a", "R", 0, 100, {{0, 1, 2, 3, 4}});
  player().m_hotSpotCount = 2;  // one more than the project holds
  ASSERT_EQ(Open(), 1);
  EXPECT_THAT(OverlayCalls(),
              ElementsAre("CreateAnchor(3, 255, 0)", "SetKeyFrames(1, 1)", "ShowAllAnchors(1)"));
  EXPECT_THAT(std::vector<int32_t>(player().m_anchorIds, player().m_anchorIds + 2),
              ElementsAre(1, 0));
  EXPECT_THAT(Lines(), IsEmpty());

  Make({.showAnchor = 0});
  ASSERT_EQ(Open(), 1);
  EXPECT_THAT(OverlayCalls(), ElementsAre("ShowAllAnchors(0)"));
  EXPECT_EQ(player().m_anchorIds, nullptr);
}

TEST_F(AnchorTest, AnchorsMadeBeforeAFailedKeyFrameCopyStayUntilRelease) {
  AddHotSpot("a", "R", 0, 100, {{0, 1, 2, 3, 4}});
  AddHotSpot("b", "R", 0, 100, {{0, 1, 2, 3, 4}});
  FailArrayAllocation(4);  // path copy, id table, b's key frames, then a's
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::SetAnchorInfo 02", "! CKLMoviePlay::RenderFile 13",
                            "! CKLMoviePlay::OpenMovie 04"}));
  EXPECT_EQ(media.overlay()->anchors().size(), 2u);
  EXPECT_EQ(media.overlay()->anchors().at(1).keyFrames.size(), 1u);
  instance->Destroy();
  EXPECT_TRUE(media.overlay()->anchors().empty());
}

TEST_F(AnchorTest, SetShowAnchorNeedsAMovie) {
  EXPECT_EQ(player().SetShowAnchor(0), 0);
  EXPECT_EQ(player().m_showAnchor, 1);
  OpenQuietly();
  EXPECT_EQ(player().SetShowAnchor(0), 1);
  EXPECT_EQ(player().m_showAnchor, 0);
  EXPECT_THAT(OverlayCalls(), ElementsAre("ShowAllAnchors(0)", "Refresh()"));
  EXPECT_THAT(Lines(), IsEmpty());
}

// --- Selection --------------------------------------------------------------------------------

TEST_F(AnchorTest, SelectingHighlightsFiresOnceAndRestoresTheFormerAnchor) {
  AddHotSpot("a", "R", 0, 100, {{0, 0, 0, 10, 10}});
  AddHotSpot("b", "R", 0, 100, {{0, 0, 0, 10, 10}});
  AddEffect("b", 0x00FF00, 2, 0xFFFF00, 1);
  OpenQuietly();  // anchor ids: b 1, a 2
  player().SelectAnchor(1);
  player().SelectAnchor(1);
  EXPECT_THAT(OverlayCalls(), ElementsAre(Args("SetAnchorColor", {1, 0xFFFF00}), "Refresh()"));
  EXPECT_EQ(Lines(), (Texts{"<OnActivateAnchor>", "b"}));
  const ScriptCall& fired = script.calls().front();
  EXPECT_EQ(fired.method, "OnActivateAnchor");
  EXPECT_EQ(fired.args, (Texts{"m1_OnActivateAnchor", "b"}));
  Forget();
  player().SelectAnchor(0);
  EXPECT_THAT(OverlayCalls(), ElementsAre(Args("SetAnchorColor", {1, 0x00FF00}),
                                          Args("SetAnchorColor", {2, 0xFF0000}), "Refresh()"));
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor a"));
  Forget();
  player().SelectAnchor(-1);
  EXPECT_THAT(OverlayCalls(), ElementsAre("SetAnchorColor(2, 255)", "Refresh()"));
  EXPECT_THAT(Events(), IsEmpty());
  EXPECT_EQ(player().m_selected, -1);
}

TEST_F(AnchorTest, PlaySeekAndGotoClearTheHighlight) {
  AddHotSpot("a", "R", 0, 100, {{0, 0, 0, 10, 10}});
  AddMarker("m", 20);
  OpenQuietly();
  for (auto clear : {+[](CKLMoviePlay& p) { return p.Seek(5); },
                     +[](CKLMoviePlay& p) { return p.GotoMarker("m"); },
                     +[](CKLMoviePlay& p) { return p.GotoAnchor("a"); },
                     +[](CKLMoviePlay& p) { return p.Play(-1) + p.Pause(); }}) {
    player().SelectAnchor(0);
    Forget();
    EXPECT_GT(clear(player()), 0);
    EXPECT_EQ(player().m_selected, -1);
    EXPECT_THAT(OverlayCalls(), ::testing::Contains("SetAnchorColor(1, 255)"));
  }
}

TEST_F(AnchorTest, WithoutAMovieSelectionStillFiresButDrawsNothing) {
  AddHotSpot("a", "R", 0, 100, {{0, 0, 0, 10, 10}});
  player().SelectAnchor(0);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor a"));
  EXPECT_THAT(media.overlays(), IsEmpty());
}

TEST_F(AnchorTest, ClickingAnAnchorSelectsItOnceAndElsewhereClears) {
  AddHotSpot("door", "R", 0, 300, {{0, 10, 10, 20, 20}});
  OpenQuietly();  // 320 x 240 shown at 640 x 480: the door is (20, 20, 40, 40)
  EXPECT_TRUE(player().IsOverAnchor({30, 30}));
  EXPECT_FALSE(player().IsOverAnchor({41, 30}));
  EXPECT_TRUE(player().SelectAnchorAt({40, 40}));
  EXPECT_TRUE(player().SelectAnchorAt({20, 20}));
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));
  EXPECT_FALSE(player().SelectAnchorAt({100, 100}));
  EXPECT_EQ(player().m_selected, -1);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));
}

// --- Geometry through the player --------------------------------------------------------------

TEST_F(AnchorTest, RectanglesFollowTheKeyFrames) {
  AddHotSpot("s", "R", 0, 30, {{10, 0, 0, 100, 100}, {20, 100, 0, 200, 100}});
  AddHotSpot("empty", "R", 0, 30, {});
  AddHotSpot("far", "R", 0, 2000000, {{0, 0, 0, 0, 0}, {2000000, 100000, 100000, 100000, 100000}});
  EXPECT_EQ(At(0, 15), (Rect{50, 0, 150, 100}));
  EXPECT_EQ(At(0, 12).left, 20);
  EXPECT_EQ(At(0, 5), (Rect{0, 0, 100, 100}));
  EXPECT_EQ(At(0, 25), (Rect{100, 0, 200, 100}));
  // 1000000 * 100000 overflows 32 bits: computed in 64.
  EXPECT_EQ(At(2, 1000000), (Rect{50000, 50000, 50000, 50000}));
  Rect r;
  EXPECT_FALSE(player().GetAnchorRect(0, 31, &r));
  EXPECT_FALSE(player().GetAnchorRect(1, 15, &r)) << "no key frames";
  EXPECT_FALSE(player().GetAnchorRect(3, 15, &r)) << "no hot spot";
  EXPECT_FALSE(player().GetAnchorRect(-1, 15, &r));
}

TEST_F(AnchorTest, MapToDisplayScalesAndHitsNothingWithoutAVideoSize) {
  Rect out;
  EXPECT_FALSE(player().MapToDisplay(Rect{10, 10, 20, 20}, &out)) << "no movie: video size 0";
  AddHotSpot("s", "R", 0, 30, {{0, 10, 10, 20, 20}});
  OpenQuietly();
  ASSERT_TRUE(player().MapToDisplay(Rect{10, 10, 20, 20}, &out));
  EXPECT_EQ(out, (Rect{20, 20, 40, 40}));
  EXPECT_EQ(player().AnchorAt(0, {30, 30}), 0);
  player().ReleaseGraph();
  EXPECT_FALSE(player().MapToDisplay(Rect{10, 10, 20, 20}, &out));
  EXPECT_EQ(player().AnchorAt(0, {30, 30}), -1);
  Screen(320, 0, 640, 480);
  EXPECT_EQ(player().AnchorAt(0, {30, 30}), -1);
}

TEST_F(AnchorTest, ShapesSpansOverlapsAndFrames) {
  Screen(320, 240, 320, 240);
  AddHotSpot("ellipse", "C", 0, 100, {{0, 10, 10, 20, 20}});  // a = b = 6, centre (15, 15)
  AddHotSpot("rect", "r", 0, 100, {{0, 10, 10, 20, 20}});
  AddHotSpot("span", "R", 10, 20, {{0, 100, 100, 110, 110}});
  AddHotSpot("unknown", "X", 0, 100, {{0, 200, 200, 210, 210}});
  AddHotSpot("early", "R", -5, 100, {{0, 300, 200, 310, 210}});
  EXPECT_EQ(player().AnchorAt(0, {15, 10}), 0) << "on the ellipse";
  EXPECT_EQ(player().AnchorAt(0, {10, 10}), 1) << "outside the ellipse, on the rectangle";
  EXPECT_EQ(player().AnchorAt(0, {20, 20}), 1);
  EXPECT_EQ(player().AnchorAt(0, {21, 20}), -1);
  for (int32_t frame : {9, 21}) EXPECT_EQ(player().AnchorAt(frame, {105, 105}), -1) << frame;
  for (int32_t frame : {10, 20}) EXPECT_EQ(player().AnchorAt(frame, {105, 105}), 2) << frame;
  EXPECT_EQ(player().AnchorAt(0, {205, 205}), -1) << "never hit";
  EXPECT_EQ(player().AnchorAt(0, {305, 205}), 4);
  EXPECT_EQ(player().AnchorAt(-1, {305, 205}), -1) << "no frame: nothing is hit";
}

TEST_F(AnchorTest, AProjectWithoutRecordsPlaysToItsEnd) {
  media.AddMovie("short.sim", "frames=30\nfps=30");
  ASSERT_EQ(Open("short.sim"), 1);
  ASSERT_EQ(player().Play(-1), 1);
  EXPECT_EQ(player().AnchorAt(player().GetCurrentFrame(), {10, 10}), -1);
  desk.RunFor(1500);
  EXPECT_EQ(Lines(), (Texts{"<EC_COMPLETE>"}));
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
  EXPECT_THAT(OverlayCalls(), ElementsAre("ShowAllAnchors(1)"));
}

}  // namespace
}  // namespace klp::test
