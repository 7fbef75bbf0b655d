// The `klp view` command line and where it finds the plug-in.
#include <gtest/gtest.h>

#include "host/view/options.h"

namespace {

using klpview::Action;
using klpview::Options;

bool Parse(std::vector<std::string> args, Options* o, std::string* error = nullptr) {
  std::string e;
  bool ok = klpview::ParseOptions(args, o, &e);
  if (error) *error = e;
  return ok;
}

TEST(ViewOptions, TimedActionsTakeTheAtThatFollowsThem) {
  Options o;
  ASSERT_TRUE(Parse({"--headless", "--screenshot", "a.png", "--at", "1.5", "--click", "10,20",
                     "--at", "2", "--click", "3,4,double", "--at", "0", "--quit-after", "4",
                     "page.html"},
                    &o));
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.target, "page.html");
  ASSERT_EQ(o.actions.size(), 3u);
  EXPECT_EQ(o.actions[0].kind, Action::Kind::Screenshot);
  EXPECT_EQ(o.actions[0].file, "a.png");
  EXPECT_DOUBLE_EQ(o.actions[0].at, 1.5);
  EXPECT_EQ(o.actions[1].kind, Action::Kind::Click);
  EXPECT_EQ(o.actions[1].x, 10);
  EXPECT_EQ(o.actions[1].y, 20);
  EXPECT_EQ(o.actions[1].button, Action::Button::Left);
  EXPECT_EQ(o.actions[2].button, Action::Button::Double);
  EXPECT_DOUBLE_EQ(o.QuitTime(), 4);
}

TEST(ViewOptions, BadCommandLinesAreRefusedWithAReason) {
  Options o;
  std::string e;
  EXPECT_FALSE(Parse({"--screenshot", "a.png", "page.html"}, &o, &e));
  EXPECT_NE(e.find("--at"), std::string::npos);
  EXPECT_FALSE(Parse({"--at", "1", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--click", "10", "--at", "1", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--click", "10,20,middle", "--at", "1", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--click", "10,20", "--at", "-1", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--quit-after", "soon", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--size", "800", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"--frobnicate", "page.html"}, &o, &e));
  EXPECT_FALSE(Parse({"a.html", "b.html"}, &o, &e));
  EXPECT_FALSE(Parse({}, &o, &e));
  EXPECT_FALSE(Parse({"--screenshot"}, &o, &e));
}

TEST(ViewOptions, HeadlessRunsEndAfterTheirLastAction) {
  Options o;
  ASSERT_TRUE(Parse({"--headless", "--click", "1,1", "--at", "3", "--screenshot", "a.png", "--at",
                     "1", "p.html"},
                    &o));
  EXPECT_DOUBLE_EQ(o.QuitTime(), 3.5);
  ASSERT_TRUE(Parse({"--headless", "p.html"}, &o));
  EXPECT_DOUBLE_EQ(o.QuitTime(), 0);
  ASSERT_TRUE(Parse({"p.html"}, &o));
  EXPECT_LT(o.QuitTime(), 0);  // on a display the user closes the window
}

TEST(ViewOptions, ThePlugInComesFromTheBuildTreeWhenRunFromThere) {
  EXPECT_EQ(klpview::FindPluginDir("/src/build/host/view/klp-view", "/src/build",
                                   "lib/mozilla/plugins"),
            "/src/build");
  EXPECT_EQ(klpview::FindPluginDir("/opt/klp/bin/klp", "/src/build", "lib/mozilla/plugins"),
            "/opt/klp/lib/mozilla/plugins");
  EXPECT_EQ(klpview::FindPluginDir("/src/build2/klp", "/src/build", "lib/mozilla/plugins"),
            "/src/lib/mozilla/plugins");  // a sibling tree is not the build tree
  EXPECT_EQ(klpview::FindPluginDir("/usr/bin/klp", "/src/build", "/usr/lib/mozilla/plugins"),
            "/usr/lib/mozilla/plugins");
}

TEST(ViewOptions, TheEngineIsQtWebKitUnlessNamed) {
  Options o;
  ASSERT_TRUE(Parse({"p.html"}, &o));
  EXPECT_EQ(o.engine, klpview::Engine::QtWebKit);
  ASSERT_TRUE(Parse({"--engine", "chromium", "--web-dir", "/w", "p.html"}, &o));
  EXPECT_EQ(o.engine, klpview::Engine::Chromium);
  EXPECT_EQ(o.webDir, "/w");
  ASSERT_TRUE(Parse({"p.html", "--engine", "firefox"}, &o));
  EXPECT_EQ(o.engine, klpview::Engine::Firefox);
  ASSERT_TRUE(Parse({"--engine", "chromium", "--engine", "qtwebkit", "p.html"}, &o));
  EXPECT_EQ(o.engine, klpview::Engine::QtWebKit);  // the last one counts
  std::string e;
  EXPECT_FALSE(Parse({"--engine", "safari", "p.html"}, &o, &e));
  EXPECT_EQ(e, "--engine takes qtwebkit, chromium or firefox, not safari");
  EXPECT_FALSE(Parse({"--engine", "Chromium", "p.html"}, &o, &e));
  EXPECT_FALSE(Parse({"p.html", "--engine"}, &o, &e));
  EXPECT_EQ(e, "--engine needs a value");
  EXPECT_FALSE(Parse({"p.html", "--web-dir"}, &o, &e));
  EXPECT_STREQ(klpview::EngineName(klpview::Engine::Firefox), "firefox");
}

TEST(ViewOptions, TheWebRuntimeAndDriverComeFromTheBuildTreeOrTheDataDir) {
  EXPECT_EQ(klpview::FindViewerFile("/src/build/klp", "/src/build", "/src/build/web",
                                    "share/npklod32/web"),
            "/src/build/web");
  EXPECT_EQ(klpview::FindViewerFile("/src/build/klp", "/src/build", "/src/web/view/klp-view.mjs",
                                    "share/npklod32/view/klp-view.mjs"),
            "/src/web/view/klp-view.mjs");  // the driver stays in the source tree
  EXPECT_EQ(klpview::FindViewerFile("/usr/bin/klp", "/src/build", "/src/build/web",
                                    "share/npklod32/web"),
            "/usr/share/npklod32/web");
  EXPECT_EQ(klpview::FindViewerFile("/opt/k/bin/klp", "/src/build", "/src/build/web",
                                    "/usr/share/npklod32/web"),
            "/usr/share/npklod32/web");
}

TEST(ViewOptions, UrlsAreNotFiles) {
  EXPECT_TRUE(klpview::IsUrl("http://127.0.0.1/x.html"));
  EXPECT_TRUE(klpview::IsUrl("file:///x.html"));
  EXPECT_FALSE(klpview::IsUrl("/x/page.html"));
}

TEST(ViewOptions, ProjectsOpenFullPage) {
  EXPECT_TRUE(klpview::IsProjectFile("tour.klp"));
  EXPECT_TRUE(klpview::IsProjectFile("/x/TOUR.KLP"));
  EXPECT_FALSE(klpview::IsProjectFile("tour.html"));
  EXPECT_FALSE(klpview::IsProjectFile("klp"));
}

}  // namespace
