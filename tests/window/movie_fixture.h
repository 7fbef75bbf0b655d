// A page with an open movie: the window fixture plus the sim media graph and overlay, a project
// file on disk with two anchors, two markers and an event, and a 300-frame movie at 30 frames per
// second (a position tick of 100 ms is 3 frames) of 320 x 240 pixels.
//
// Anchors: "sign" is still at (200, 20)-(300, 50) on every frame; "door" slides from
// (40, 60)-(120, 200) at frame 30 to (180, 60)-(260, 200) at frame 150 and is absent otherwise.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim_graph.h"
#include "platform/sim/sim_overlay.h"
#include "plugin/embed.h"
#include "tests/project/temp_dir.h"
#include "tests/window/window_fixture.h"

namespace window_test {

inline constexpr const char* kProject =
    "[Global]\n"
    "Source=movie.sim\n"
    "Event=1\n"
    "Marker=2\n"
    "HotSpot=2\n"
    "Effect=1\n"
    "\n"
    "[Marker]\n"
    "start:0\n"
    "hall:120\n"
    "\n"
    "[Event]\n"
    "bell:75:TAC:ring\n"
    "\n"
    "[HotSpot]\n"
    "(sign:signlink:R:0-300:1)\n"
    "0:200,20,300,50\n"
    "(door:doorlink:R:30-150:2)\n"
    "30:40,60,120,200\n"
    "150:180,60,260,200\n"
    "\n"
    "[Effect]\n"
    "door:00FF00:2:FFFF00:1\n";

class MovieTest : public WindowTest {
 protected:
  MovieTest() { media.AddMovie("movie.sim", "frames=300\nfps=30\nwidth=320\nheight=240"); }
  ~MovieTest() override {
    Destroy();
    for (sim::SimGraph* g : media.graphs()) EXPECT_EQ(g->RefCount(), 0u);
    for (sim::SimOverlay* o : media.overlays()) EXPECT_EQ(o->RefCount(), 0u);
  }

  // What NPP_New and the downloads do: the object from the EMBED attributes, the window, the
  // project file, the movie.
  void Open(std::vector<std::pair<std::string, std::string>> attributes, int32_t fullPage = 0) {
    Destroy();
    attributes.insert(attributes.begin(), {{"src", "http://pages/tour.klp"}, {"name", "m1"},
                                           {"kldebug", "true"}, {"autoplay", "false"}});
    std::vector<char*> names, values;
    for (auto& [n, v] : attributes) {
      names.push_back(n.data());
      values.push_back(v.data());
    }
    EmbedSettings s =
        ParseEmbedArgs(static_cast<int16_t>(names.size()), names.data(), values.data());
    object = std::make_unique<CKLPluginWindow>(&npp, fullPage, s.src, s.name, s.activatemethod,
                                               s.changecursor, s.showanchor, s.autoplay,
                                               s.autorepeat, s.kldebug);
    npp.pdata = object.get();
    object->SetWindow(browser);
    ASSERT_EQ(object->OpenSrc(dir.Write("tour.klp", kProject).c_str()), 1);
    ASSERT_STREQ(object->GetMovieName(), "movie.sim");
    ASSERT_EQ(object->OpenMovie("movie.sim"), 1);
    Forget();
  }

  int32_t Frame() { return player().GetCurrentFrame(); }
  int32_t State() { return player().m_state; }
  void ScriptPlay(int32_t frame) {
    Post(WM_KL_PLAY, static_cast<win::WPARAM>(static_cast<uint32_t>(frame)));
    desk.RunUntilIdle();
  }
  void DoubleClick(int x, int y) {
    Click(x, y);
    Click(x, y);
  }
  sim::SimOverlay& overlay() { return *media.overlay(); }

  sim::SimMedia media{desk};
  klp::test::TempDir dir;
};

}  // namespace window_test
