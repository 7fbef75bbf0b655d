#include "project/read_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/project_info.h"
#include "tests/project/temp_dir.h"
#include "tests/project/worked_example.h"

namespace {

// Everything a read leaves in a project, one line per value.
std::string Describe(const CProjectInfo& p, int result) {
  std::string s = "result " + std::to_string(result) + "\npath " + p.path + "\nversion " +
                  p.version + "\nsource " + p.source + "\ncounts " +
                  std::to_string(p.eventCount) + " " + std::to_string(p.markerCount) + " " +
                  std::to_string(p.hotSpotCount) + " " + std::to_string(p.linkCount) + " " +
                  std::to_string(p.effectCount) + "\n";
  const auto line = [&s](std::initializer_list<std::string> values) {
    for (const std::string& v : values) s += v + "|";
    s += "\n";
  };
  using std::to_string;
  for (const auto& e : p.events)
    line({"E", e->name, to_string(e->frame), e->kind, e->params, e->url, e->urlTarget,
          e->tacParam1, e->tacParam2, e->tacParam3});
  for (const auto& m : p.markers) line({"M", m->name, to_string(m->frame)});
  for (const auto& h : p.hotSpots) {
    line({"H", h->name, h->linkName, h->shape, to_string(h->startFrame), to_string(h->endFrame),
          to_string(h->keyFrameCount)});
    for (const auto& k : h->keyFrames)
      line({"K", to_string(k.frame), to_string(k.left), to_string(k.top), to_string(k.right),
            to_string(k.bottom)});
  }
  for (const auto& l : p.links)
    line({"L", l->name, l->kind, l->seekParam, l->playerParam, l->url, l->urlTarget, l->extra});
  for (const auto& f : p.effects)
    line({"F", f->name, to_string(f->frameColor), to_string(f->highlightColor),
          to_string(f->lineWidth), to_string(f->visibility)});
  return s;
}

std::string PlainRead(const std::string& path) {
  CProjectInfo project;
  const int result = project.Read(path);
  return Describe(project, result);
}

// The project Read makes of path after a read ahead of it stepped `step` lines at a time, all
// the way (or stopped after `stopAfter` steps).
std::string ReadAfterReadingAhead(const std::string& path, int step, int stopAfter = -1) {
  const int id = klp::BeginReadAhead(path);
  for (int n = 0; n != stopAfter && klp::StepReadAhead(id, step); ++n) {
  }
  CProjectInfo project;
  const int result = project.Read(path);
  klp::EndReadAhead(id);
  return Describe(project, result);
}

class ReadAhead : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(klp::ReadsAhead(), 0); }
  klp::test::TempDir dir_;
};

TEST_F(ReadAhead, ReadTakesWhatAPlainReadMakes) {
  const std::vector<std::string> files = {
      kWorkedExample,
      // Passes of hot-spot blocks: comments inside, section headers taken as block lines, a
      // block cut short by the end of the file, a header announcing no key frames.
      "[Global]\nHotSpot=2\n[HotSpot]\n(a::R:1-2:1)\n\n; note\n1:1,1,1,1\n(b::C:1-2:0)\n"
      "[Link]\nl:URL:x\n(c::R:3-4:0)\n[Marker]\nm:5\n[HotSpot]\n(d::r:0-9:3)\n1:1,2,3,4",
      "[Global]\nHotSpot=0\n[HotSpot]\n(dropped::R:1-2:1)\n[Marker]\nm:1\r\n",
      "\xEF\xBB\xBF[Global]\r\nSource=\"a b.mp4\"\r\nMarker=x\r\n[marker]\r\n  m:1  \r\n",
      "no sections at all\n",
      "",
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string path = dir_.Write("p" + std::to_string(i) + ".klp", files[i]);
    const std::string plain = PlainRead(path);
    EXPECT_EQ(ReadAfterReadingAhead(path, 1), plain) << "file " << i << ", a line a step";
    EXPECT_EQ(ReadAfterReadingAhead(path, 3), plain) << "file " << i << ", three lines a step";
    EXPECT_EQ(ReadAfterReadingAhead(path, 1, 2), plain) << "file " << i << ", left unfinished";
  }
  const std::string missing = dir_.Path("missing.klp");
  EXPECT_EQ(ReadAfterReadingAhead(missing, 1), PlainRead(missing));
  EXPECT_NE(PlainRead(missing).find("result -1"), std::string::npos);
}

TEST_F(ReadAhead, OnlyAReadOfItsPathIntoAnEmptyProjectWithoutObserverTakesIt) {
  const std::string path = dir_.Write("a.klp", "[Marker]\nm:1\n");
  const std::string other = dir_.Write("b.klp", "[Marker]\nother:2\n");
  const int id = klp::BeginReadAhead(path);
  while (klp::StepReadAhead(id, 1)) {
  }
  dir_.Write("a.klp", "[Marker]\nn:1\n");  // the same size: the read ahead stays good

  CProjectInfo elsewhere;
  ASSERT_EQ(elsewhere.Read(other), 0);
  EXPECT_EQ(elsewhere.markers.at(0)->name, "other");

  struct Lines : klp::ReadObserver {
    void OnLine(const klp::ReadLine&) override { ++count; }
    int count = 0;
  } observer;
  CProjectInfo observed;
  ASSERT_EQ(observed.Read(path, &observer), 0);
  EXPECT_EQ(observer.count, 2);
  EXPECT_EQ(observed.markers.at(0)->name, "n");  // read afresh

  CProjectInfo holding;
  holding.AddMarker("kept:0");
  ASSERT_EQ(holding.Read(path), 0);
  ASSERT_EQ(holding.markers.size(), 2u);
  EXPECT_EQ(holding.markers[1]->name, "n");  // read afresh, appended

  CProjectInfo taking;
  ASSERT_EQ(taking.Read(path), 0);
  EXPECT_EQ(taking.markers.at(0)->name, "m");  // the read begun before the file changed
  CProjectInfo again;
  ASSERT_EQ(again.Read(path), 0);
  EXPECT_EQ(again.markers.at(0)->name, "n");  // taken once only
  klp::EndReadAhead(id);
}

TEST_F(ReadAhead, AFileWhoseSizeChangedIsReadAfreshAndUnknownIdsAreHarmless) {
  const std::string path = dir_.Write("a.klp", "[Marker]\nm:1\n");
  const int id = klp::BeginReadAhead(path);
  EXPECT_TRUE(klp::StepReadAhead(id, 1));
  dir_.Write("a.klp", "[Marker]\nlonger:1\n");
  CProjectInfo project;
  ASSERT_EQ(project.Read(path), 0);
  EXPECT_EQ(project.markers.at(0)->name, "longer");
  klp::EndReadAhead(id);

  EXPECT_FALSE(klp::StepReadAhead(id, 1));
  EXPECT_FALSE(klp::StepReadAhead(0, 1));
  klp::EndReadAhead(id);
  klp::EndReadAhead(-5);
}

}  // namespace
