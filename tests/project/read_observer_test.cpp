#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/project_info.h"
#include "tests/project/temp_dir.h"

namespace {

using klp::LineUse;
using klp::Section;

// Every line told, as "number use index/part text".
class Recorder : public klp::ReadObserver {
 public:
  void OnGlobal(const CProjectInfo& project) override {
    globalHotSpots = project.hotSpotCount;
    globalSource = project.source;
  }
  void OnLine(const klp::ReadLine& line) override {
    static const char* const kUses[] = {"skip", "out",  "head", "event", "marker",
                                        "link", "effect", "spot", "key",   "drop"};
    lines.push_back(std::to_string(line.number) + " " + kUses[static_cast<int>(line.use)] + " " +
                    std::to_string(line.index) + "/" + std::to_string(line.part) + " " +
                    std::string(line.text));
    sections.push_back(line.section);
  }
  int globalHotSpots = -1;
  std::string globalSource;
  std::vector<std::string> lines;
  std::vector<Section> sections;
};

TEST(ReadObserver, TellsEveryLineHowItWasTaken) {
  klp::test::TempDir dir;
  const std::string path = dir.Write("p.klp",
                                     "[Global]\r\n"
                                     "Source=a.mpg\r\n"
                                     "HotSpot=2\n"
                                     "\n"
                                     "[Marker]\n"
                                     "  m:1  \n"
                                     "[HotSpot]\n"
                                     "(a::R:1-9:1)\n"
                                     "; between\n"
                                     "1:1,2,3,4\n"
                                     "(b::R:1-9:0)\n"
                                     "(c::R:1-9:0)\n"
                                     "[Link]\n"
                                     "l:NONE\n"
                                     "[Effect]\n"
                                     "a:FF");
  Recorder recorder;
  CProjectInfo project;
  ASSERT_EQ(project.Read(path, &recorder), 0);
  EXPECT_EQ(recorder.globalHotSpots, 2);
  EXPECT_EQ(recorder.globalSource, "a.mpg");
  const std::vector<std::string> expected = {
      "1 out -1/-1 [Global]",
      "2 out -1/-1 Source=a.mpg",
      "3 out -1/-1 HotSpot=2",
      "4 skip -1/-1 ",
      "5 head -1/-1 [Marker]",
      "6 marker 0/-1 m:1",
      "7 head -1/-1 [HotSpot]",
      "8 spot 0/0 (a::R:1-9:1)",
      "9 skip -1/-1 ; between",
      "10 key 0/0 1:1,2,3,4",
      "11 spot 1/1 (b::R:1-9:0)",
      "12 spot 2/0 (c::R:1-9:0)",  // a second pass
      "13 spot 3/1 [Link]",        // swallowed by that pass
      "14 spot 4/0 l:NONE",
      "15 spot 5/1 [Effect]",
      "16 spot 6/0 a:FF",
  };
  EXPECT_EQ(recorder.lines, expected);
  EXPECT_EQ(recorder.sections.at(3), Section::kNone);
  EXPECT_EQ(recorder.sections.at(5), Section::kMarker);
  EXPECT_EQ(recorder.sections.at(8), Section::kHotSpot);
}

TEST(ReadObserver, DroppedLinesAndTheSameReadWithOrWithout) {
  klp::test::TempDir dir;
  const std::string path = dir.Write("p.klp",
                                     "[HotSpot]\n(a::R:1-9:1)\n1:1,2,3,4\n[Event]\ne:5:URL:x,y\n"
                                     "[Global]\nSource=s.mpg\n");
  Recorder recorder;
  CProjectInfo observed;
  CProjectInfo plain;
  ASSERT_EQ(observed.Read(path, &recorder), 0);
  ASSERT_EQ(plain.Read(path), 0);
  EXPECT_EQ(recorder.globalHotSpots, 0);
  EXPECT_EQ(recorder.lines.at(1), "2 drop -1/-1 (a::R:1-9:1)");
  EXPECT_EQ(recorder.lines.at(2), "3 drop -1/-1 1:1,2,3,4");
  EXPECT_EQ(recorder.lines.at(5), "6 event 1/-1 [Global]");
  EXPECT_EQ(observed.source, plain.source);
  ASSERT_EQ(observed.events.size(), plain.events.size());
  for (std::size_t i = 0; i < plain.events.size(); ++i) {
    EXPECT_EQ(observed.events[i]->name, plain.events[i]->name);
  }
  EXPECT_EQ(observed.hotSpotCount, plain.hotSpotCount);
  EXPECT_EQ(observed.eventCount, plain.eventCount);
}

TEST(ReadObserver, KeyFramesCutShortByTheEndAreTold) {
  klp::test::TempDir dir;
  const std::string path =
      dir.Write("p.klp", "[Global]\nHotSpot=1\n[HotSpot]\n(a::R:1-9:3)\n1:1,2,3,4\n");
  Recorder recorder;
  CProjectInfo project;
  ASSERT_EQ(project.Read(path, &recorder), 0);
  ASSERT_EQ(recorder.lines.size(), 5u);
  EXPECT_EQ(recorder.lines.back(), "5 key 0/0 1:1,2,3,4");
}

}  // namespace
