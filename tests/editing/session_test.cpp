// The editor's C++ side: a file read into records and written back the way the page rebuilds
// them, the lint tied to the records, and the outline at a frame.
#include "editing/session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

using klp::editing::Session;

std::string Tour() {
  std::ifstream in(KLP_TOUR, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TextOf(const std::string& json) {
  const std::string head = "{\"ok\":true,\"text\":\"";
  EXPECT_EQ(json.rfind(head, 0), 0u) << json;
  std::string text;
  for (size_t i = head.size(); i + 2 < json.size(); ++i) {
    if (json[i] == '\\') {
      ++i;
      text += json[i] == 'n' ? '\n' : json[i];
    } else {
      text += json[i];
    }
  }
  return text;
}

// What the page does before each Write: the records rebuilt from the session's own.
void Rebuild(Session& s) {
  const CProjectInfo& p = s.project();
  const std::string version = p.version, source = p.source;
  std::vector<std::pair<std::string, int32_t>> markers;
  for (const auto& m : p.markers) markers.emplace_back(m->name, m->frame);
  struct Ev { std::string name; int32_t frame; std::string kind, params; };
  std::vector<Ev> events;
  for (const auto& e : p.events) events.push_back({e->name, e->frame, e->kind, e->params});
  struct Spot { std::string name, link, shape; int32_t start, end; std::vector<::KeyFrame> keys; };
  std::vector<Spot> spots;
  for (const auto& h : p.hotSpots) {
    spots.push_back({h->name, h->linkName, h->shape, h->startFrame, h->endFrame, h->keyFrames});
  }
  struct Fx { std::string name; int32_t frame, high, width, vis; };
  std::vector<Fx> effects;
  for (const auto& e : p.effects) {
    effects.push_back({e->name, e->frameColor, e->highlightColor, e->lineWidth, e->visibility});
  }
  s.Clear(version, source);
  for (const auto& [name, frame] : markers) s.AddMarker(name, frame);
  for (const Ev& e : events) s.AddEvent(e.name, e.frame, e.kind, e.params);
  for (const Spot& h : spots) {
    s.AddHotSpot(h.name, h.link, h.shape, h.start, h.end);
    for (const ::KeyFrame& k : h.keys) s.AddKeyFrame(k.frame, k.left, k.top, k.right, k.bottom);
  }
  for (const Fx& e : effects) s.AddEffect(e.name, e.frame, e.high, e.width, e.vis);
}

TEST(EditingSession, TheTourReadsAndWritesBackThroughThePagesRecords) {
  Session s;
  const std::string opened = s.Open(Tour());
  EXPECT_EQ(opened.rfind("{\"ok\":true,\"records\":{\"version\":\"1.00\",\"source\":\"tour.webm\","
                         "\"markers\":[{\"name\":\"start\",\"frame\":0},",
                         0),
            0u)
      << opened;
  EXPECT_NE(opened.find("{\"name\":\"door\",\"link\":\"\",\"shape\":\"R\",\"start\":20,\"end\":180,"
                        "\"keyFrames\":[[20,20,70,90,210],[180,220,70,290,210]]}"),
            std::string::npos);
  EXPECT_NE(opened.find("{\"name\":\"bell\",\"frame\":50,\"kind\":\"TAC\",\"params\":\"ring,once,"
                        "soft\"}"),
            std::string::npos);
  EXPECT_NE(opened.find("{\"name\":\"door\",\"frameColor\":65280,\"highlightColor\":16776960,"
                        "\"lineWidth\":3,\"visibility\":1}"),
            std::string::npos);
  const std::string first = TextOf(s.Write(true));
  EXPECT_EQ(first.rfind("; The example tour:", 0), 0u) << first;  // comments kept
  Rebuild(s);
  EXPECT_EQ(TextOf(s.Write(true)), first);
  // Saved, reopened and saved again without a change: the same bytes.
  s.Open(first);
  Rebuild(s);
  EXPECT_EQ(TextOf(s.Write(true)), first);
  // Without the layout, a fresh file: no comments.
  s.Forget();
  EXPECT_EQ(TextOf(s.Write(true)).rfind("[Global]\nKLPVersion=1.00\nSource=tour.webm\n", 0), 0u);
}

TEST(EditingSession, EventsAreTakenAsTheReaderTakesThem) {
  Session s;
  s.Clear("1.00", "m.webm");
  s.AddEvent("bell", 5, "TAC", "a,b,c");
  s.AddEvent("go", 6, "URL", "\"http://x/\",_top");
  ASSERT_EQ(s.project().events.size(), 2u);
  EXPECT_EQ(s.project().events[0]->tacParam2, "b");
  EXPECT_EQ(s.project().events[1]->url, "http://x/");
  EXPECT_EQ(s.project().events[1]->urlTarget, "_top");
  EXPECT_EQ(TextOf(s.Write(false)),
            "[Global]\nKLPVersion=1.00\nSource=m.webm\nEvent=2\nMarker=0\nHotSpot=0\nLink=0\n"
            "Effect=0\n\n[Event]\nbell:5:TAC:a,b,c\ngo:6:URL:\"http://x/\",_top\n");
}

TEST(EditingSession, TheLintNamesTheRecordsItIsAbout) {
  Session s;
  s.Clear("1.00", "m.webm");
  s.AddMarker("start", 0);
  s.AddHotSpot("door", "", "R", 0, 100);
  s.AddKeyFrame(60, 10, 10, 50, 50);
  s.AddKeyFrame(10, 10, 10, 50, 50);
  s.AddHotSpot("lid", "", "R", 0, 100);
  const std::string lint = s.Lint(-1, 0, 0);
  EXPECT_NE(lint.find("\"code\":\"key-order\""), std::string::npos) << lint;
  EXPECT_NE(lint.find("\"item\":{\"list\":\"hotSpots\",\"index\":0,\"frame\":10}"),
            std::string::npos)
      << lint;
  EXPECT_NE(lint.find("\"item\":{\"list\":\"hotSpots\",\"index\":1,\"frame\":0}"),
            std::string::npos)
      << lint;
  // Against the movie: a marker beyond its end.
  Session t;
  t.Clear("1.00", "m.webm");
  t.AddMarker("late", 90);
  t.AddHotSpot("door", "", "R", 0, 100);
  t.AddKeyFrame(10, 10, 10, 50, 50);
  EXPECT_EQ(t.Lint(-1, 0, 0), "{\"errors\":0,\"warnings\":0,\"diagnostics\":[]}");
  EXPECT_EQ(t.Lint(50, 0, 0), "{\"errors\":0,\"warnings\":0,\"diagnostics\":[]}");
  EXPECT_NE(t.Lint(50, 320, 240).find("\"code\":\"beyond-end\",\"message\":\"marker \\\"late\\\" at "
                                      "frame 90 is never reached: the movie ends at frame 50\","),
            std::string::npos)
      << t.Lint(50, 320, 240);
  EXPECT_NE(t.Lint(50, 320, 240).find("\"item\":{\"list\":\"markers\",\"index\":0,\"frame\":90}"),
            std::string::npos);
  // What cannot be written at all.
  s.Clear("1.00", "m.webm");
  s.AddMarker("a:b", 0);
  EXPECT_EQ(s.Lint(-1, 0, 0),
            "{\"errors\":1,\"warnings\":0,\"diagnostics\":[{\"line\":null,\"severity\":\"error\","
            "\"code\":\"not-written\",\"message\":\"marker \\\"a:b\\\" cannot be written: its name "
            "would read back otherwise from \\\"a:b:0\\\"\",\"hint\":\"change the record so that "
            "it can be written\",\"item\":null}]}");
  EXPECT_EQ(s.Write(false).rfind("{\"ok\":false,\"errors\":[", 0), 0u);
}

TEST(EditingSession, TheOutlineAtAFrameIsThePlayers) {
  Session s;
  s.Clear("1.00", "m.webm");
  s.AddHotSpot("door", "", "R", 0, 199);
  s.AddKeyFrame(10, 40, 40, 120, 100);
  s.AddKeyFrame(60, 140, 90, 220, 150);
  s.AddHotSpot("odd", "", "X", 0, 199);
  s.AddKeyFrame(10, 0, 0, 10, 10);
  anchors::Rect r;
  EXPECT_EQ(s.AnchorAt(0, 35, &r), 3);
  EXPECT_EQ(r, (anchors::Rect{90, 65, 170, 125}));
  EXPECT_EQ(s.AnchorAt(0, 36, &r), 3);
  EXPECT_EQ(r, (anchors::Rect{92, 66, 172, 126}));  // left: 40 + 26 * 100 / 50
  EXPECT_EQ(s.AnchorAt(0, 5, &r), 2);  // hit before its first key frame, but not drawn
  EXPECT_EQ(r, (anchors::Rect{40, 40, 120, 100}));
  EXPECT_EQ(s.AnchorAt(1, 100, &r), 1);  // one key frame: drawn everywhere, its shape never hit
  EXPECT_EQ(s.AnchorAt(2, 0, &r), 0);
  EXPECT_EQ(s.AnchorAt(-1, 0, &r), 0);
}

}  // namespace
