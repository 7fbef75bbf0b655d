#include "host/movie_probe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/project/temp_dir.h"

// Under the leak checker: the libraries of GStreamer's plug-ins allocate once in their
// constructors and keep it. Full stacks show the constructor under GLib's frames.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:_dl_init\n";
}
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}

namespace {

using klp::tools::MakeFixtureProbe;
using klp::tools::ProbeMovie;

TEST(MovieProbe, Fixtures) {
  klp::test::TempDir dir;
  std::string error;
  auto movie =
      ProbeMovie(dir.Write("m.sim", "# movie\nframes=90\nfps=30\nwidth=64\nheight=48\n"), &error);
  ASSERT_TRUE(movie) << error;
  EXPECT_EQ(movie->probe, "fixture");
  EXPECT_EQ(movie->frames, 90);
  EXPECT_EQ(movie->width, 64);
  EXPECT_EQ(movie->height, 48);

  movie = ProbeMovie(dir.Write("sound.sim", "novideo\n"), &error);
  ASSERT_TRUE(movie) << error;
  EXPECT_EQ(movie->frames, 300);
  EXPECT_EQ(movie->width, 0);

  EXPECT_FALSE(MakeFixtureProbe()->Probe(dir.Write("bad.sim", "cannot-render\n"), &error));
  EXPECT_FALSE(MakeFixtureProbe()->Probe(dir.Write("junk.sim", "frames=ten\n"), &error));
  EXPECT_NE(error.find("frames=ten"), std::string::npos) << error;
  EXPECT_FALSE(
      MakeFixtureProbe()->Probe(dir.Write("nul.sim", std::string("frames=9\0", 9)), &error));
  EXPECT_FALSE(ProbeMovie(dir.Path("missing.mpg"), &error));
  EXPECT_FALSE(error.empty());
}

#ifdef KLP_HAVE_GST_PROBE
// A real movie made with GStreamer's command-line tool, when it is installed.
TEST(MovieProbe, RealMediaThroughGStreamer) {
  if (std::system("gst-launch-1.0 --version > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gst-launch-1.0 is not installed";
  }
  klp::test::TempDir dir;
  const std::string path = dir.Path("m.avi");
  const std::string make =
      "gst-launch-1.0 -q videotestsrc num-buffers=50 ! "
      "video/x-raw,width=160,height=120,framerate=25/1 ! jpegenc ! avimux ! "
      "filesink location=" +
      path + " > /dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "cannot make a test movie";
  std::string error;
  const auto movie = ProbeMovie(path, &error);
  ASSERT_TRUE(movie) << error;
  EXPECT_EQ(movie->probe, "gstreamer");
  EXPECT_EQ(movie->frames, 50);
  EXPECT_DOUBLE_EQ(movie->fps, 25);
  EXPECT_EQ(movie->width, 160);
  EXPECT_EQ(movie->height, 120);

  EXPECT_FALSE(ProbeMovie(dir.Write("noise.bin", std::string(70000, '\x01')), &error));
  EXPECT_FALSE(error.empty());
}
#endif

}  // namespace
