// The two-stage download: the project file arrives, the instance gets its window, and whichever
// comes second requests the movie the project names, once.
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "tests/host/fixture.h"

namespace klp::host {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

constexpr const char* kSrc = "/movies/intro/a.klp";

class Download : public PluginTest {
 protected:
  NPP Embedded(const std::string& src = kSrc) {
    return NewInstance({{"src", src}, {"name", "m1"}, {"kldebug", "true"}});
  }
  NPP FullPage() { return NewInstance({{"src", kSrc}, {"kldebug", "true"}}, NP_FULL); }
  void DeliverProject(NPP instance, const std::string& path) {
    uint16_t type = 0;
    ASSERT_EQ(host.DeliverFile(instance, kSrc, path, nullptr, &type), NPERR_NO_ERROR);
    EXPECT_EQ(type, NP_ASFILEONLY);
  }
  // The instance's trace lines after "<NPP_New> - Completed.".
  Lines TraceAfterNew(NPP instance) {
    Lines lines = host.Trace(instance);
    EXPECT_EQ(lines.empty() ? "" : lines.front(), "<NPP_New> - Completed.");
    return lines.empty() ? lines : Lines(lines.begin() + 1, lines.end());
  }
  // The instance's last n trace lines.
  Lines Tail(NPP instance, size_t n) {
    Lines lines = host.Trace(instance);
    return Lines(lines.end() - static_cast<long>(std::min(n, lines.size())), lines.end());
  }
};

TEST_F(Download, WindowFirstRequestsTheMovieWhenTheProjectArrives) {
  NPP instance = Embedded();
  ASSERT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
  EXPECT_THAT(host.requests, IsEmpty());
  const std::string project = Project("Source=m.mpg\r\n");
  DeliverProject(instance, project);

  Request request = OnlyRequest();
  EXPECT_EQ(request.instance, instance);
  EXPECT_EQ(request.url, "/movies/intro/m.mpg");
  EXPECT_EQ(request.target, std::nullopt);
  EXPECT_EQ(request.notifyData, kMovieRequest);
  EXPECT_THAT(TraceAfterNew(instance),
              ElementsAre("<SetWindow>", "no get movie URL", "<NPP_StreamAsFile>", project,
                          "<OpenSrc>", project, "EMBED mode.", "/movies/intro/m.mpg"));
  EXPECT_THAT(host.Events(instance), IsEmpty());
}

TEST_F(Download, ProjectFirstRequestsTheMovieFromSetWindow) {
  NPP instance = Embedded();
  const std::string project = Project("Source=m.mpg\r\n");
  DeliverProject(instance, project);
  EXPECT_THAT(host.requests, IsEmpty());
  ASSERT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);

  EXPECT_EQ(OnlyRequest().url, "/movies/intro/m.mpg");
  EXPECT_EQ(OnlyRequest().notifyData, kMovieRequest);
  EXPECT_THAT(TraceAfterNew(instance),
              ElementsAre("<NPP_StreamAsFile>", project, "<OpenSrc>", project,
                          "! NPP_StreamAsFile 00-02", "<SetWindow>", "m.mpg", "EMBED mode.", kSrc,
                          "/movies/intro/m.mpg"));
}

TEST_F(Download, FullPageRequestsTheMovieNameUnchanged) {
  NPP windowFirst = FullPage();
  NPP projectFirst = FullPage();
  const std::string project = Project("Source=m.mpg\r\n");
  host.SetWindow(windowFirst);
  DeliverProject(windowFirst, project);
  DeliverProject(projectFirst, project);
  host.SetWindow(projectFirst);

  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0].instance, windowFirst);
  EXPECT_EQ(host.requests[0].url, "m.mpg");
  EXPECT_EQ(host.requests[1].instance, projectFirst);
  EXPECT_EQ(host.requests[1].url, "m.mpg");
  EXPECT_THAT(TraceAfterNew(windowFirst),
              ElementsAre("<SetWindow>", "no get movie URL", "<NPP_StreamAsFile>", project,
                          "<OpenSrc>", project, "FULL_SCREEN mode.", "m.mpg"));
  EXPECT_THAT(TraceAfterNew(projectFirst),
              ElementsAre("<NPP_StreamAsFile>", project, "<OpenSrc>", project,
                          "! NPP_StreamAsFile 00-02", "<SetWindow>", "m.mpg", "FULL_SCREEN mode."));
}

TEST_F(Download, LaterWindowsOnlyRepaint) {
  NPP instance = Embedded();
  host.SetWindow(instance);
  DeliverProject(instance, Project("Source=m.mpg\r\n"));
  const size_t lines = host.Trace(instance).size();
  const size_t repaints = host.invalidations.size();

  EXPECT_EQ(host.SetWindow(instance, 640, 480), NPERR_NO_ERROR);
  EXPECT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(host.Trace(instance).size(), lines);
  EXPECT_EQ(host.invalidations.size(), repaints + 1);
}

TEST_F(Download, WindowWithoutHandleDoesNothing) {
  NPP instance = Embedded();
  NPWindow window{};
  window.type = NPWindowTypeWindow;  // a windowed description whose window is null
  EXPECT_EQ(host.plugin().setwindow(instance, &window), NPERR_NO_ERROR);
  EXPECT_THAT(host.invalidations, IsEmpty());
  EXPECT_THAT(TraceAfterNew(instance), IsEmpty());
  // The first real window still attaches.
  host.SetWindow(instance);
  EXPECT_THAT(TraceAfterNew(instance), ElementsAre("<SetWindow>", "no get movie URL"));
}

TEST_F(Download, ProjectWithoutSourceKeyRequestsTheReadersDefault) {
  // A missing "Source" reads as "*", and the project counts as naming that movie.
  NPP embedded = Embedded();
  NPP full = FullPage();
  for (NPP instance : {embedded, full}) {
    host.SetWindow(instance);
    DeliverProject(instance, Project(""));
  }
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0].url, "/movies/intro/*");
  EXPECT_EQ(host.requests[1].url, "*");
}

TEST_F(Download, EmptySourceLeavesTraceLinesOnly) {
  NPP embedded = Embedded();
  NPP full = FullPage();
  NPP projectFirst = Embedded();
  const std::string project = Project("Source=\r\n");
  for (NPP instance : {embedded, full}) {
    host.SetWindow(instance);
    DeliverProject(instance, project);
  }
  DeliverProject(projectFirst, project);
  host.SetWindow(projectFirst);

  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_EQ(host.Trace(embedded).back(), "! NPP_StreamAsFile 02");
  EXPECT_THAT(TraceAfterNew(full),
              ElementsAre("<SetWindow>", "no get movie URL", "<NPP_StreamAsFile>", project,
                          "<OpenSrc>", project, "FULL_SCREEN mode.", "! NPP_StreamAsFile 04"));
  EXPECT_EQ(host.Trace(projectFirst).back(), "no get movie URL");
  for (NPP instance : {embedded, full, projectFirst}) EXPECT_THAT(host.Events(instance), IsEmpty());
}

TEST_F(Download, EmbeddedWithoutSrcCannotFormTheURL) {
  NPP windowFirst = NewInstance({{"kldebug", "true"}});
  NPP projectFirst = NewInstance({{"kldebug", "true"}});
  const std::string project = Project("Source=m.mpg\r\n");
  host.SetWindow(windowFirst);
  DeliverProject(windowFirst, project);
  DeliverProject(projectFirst, project);
  host.SetWindow(projectFirst);

  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_THAT(TraceAfterNew(windowFirst),
              ElementsAre("<SetWindow>", "no get movie URL", "<NPP_StreamAsFile>", project,
                          "<OpenSrc>", project, "EMBED mode.", "! NPP_StreamAsFile 01"));
  EXPECT_THAT(TraceAfterNew(projectFirst),
              ElementsAre("<NPP_StreamAsFile>", project, "<OpenSrc>", project,
                          "! NPP_StreamAsFile 00-02", "<SetWindow>", "m.mpg", "EMBED mode.",
                          "! NPP_SetWindow 01"));
  EXPECT_THAT(host.Events(windowFirst), IsEmpty());
}

TEST_F(Download, UnreadableProjectRaisesErrorOneAndNamesNoMovie) {
  NPP instance = Embedded();
  const std::string missing = dir.Path("missing.klp");
  DeliverProject(instance, missing);
  host.SetWindow(instance);

  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_THAT(host.Events(instance), ElementsAre("OnError(m1_OnError, 1)"));
  EXPECT_THAT(TraceAfterNew(instance),
              ElementsAre("<NPP_StreamAsFile>", missing, "<OpenSrc>", missing,
                          "! NPP_StreamAsFile 00-01", "<OnError>", "1", "<SetWindow>",
                          "no get movie URL"));

  // The next file is taken as the project again.
  DeliverProject(instance, Project("Source=m.mpg\r\n"));
  EXPECT_EQ(OnlyRequest().url, "/movies/intro/m.mpg");
}

// A browser may deliver a download the server broke off as complete; the announced length
// tells. A project cut short is not read, a movie cut short is not opened.
TEST_F(Download, FilesShorterThanTheirAnnouncedLengthAreNotTaken) {
  NPP instance = Embedded();
  host.SetWindow(instance);
  const std::string project = Project("Source=m.mpg\r\n");
  const auto size = static_cast<int64_t>(std::filesystem::file_size(project));
  host.DeliverFile(instance, kSrc, project, nullptr, nullptr, size + 1);
  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_THAT(host.Events(instance), ElementsAre("OnError(m1_OnError, 1)"));
  EXPECT_THAT(Tail(instance, 5), ElementsAre("<NPP_StreamAsFile>", project, "! NPP_StreamAsFile 07",
                                             "<OnError>", "1"));

  // The whole project, then half a movie: the request's notification says not delivered.
  host.runtime().ClearCalls();
  host.DeliverFile(instance, kSrc, project, nullptr, nullptr, size);
  const std::string movie = dir.Write("m.mpg", "half a movie");
  host.DeliverFile(instance, OnlyRequest().url, movie, kMovieRequest, nullptr, 24);
  host.URLNotify(instance, OnlyRequest().url, NPRES_DONE, kMovieRequest);
  EXPECT_THAT(host.Events(instance), ElementsAre("OnError(m1_OnError, 3)"));
  EXPECT_THAT(Tail(instance, 5), ElementsAre("<NPP_StreamAsFile>", movie, "! NPP_StreamAsFile 07",
                                             "<OnError>", "3"));
  // An unknown length takes the file as it is.
  host.DeliverFile(instance, OnlyRequest().url, movie, kMovieRequest, nullptr, 0);
  EXPECT_THAT(host.Trace(instance), Contains("<OpenMovie>"));
}

TEST_F(Download, ScriptURLsAreRefused) {
  const std::string script = Project("Source=javascript:alert(1)\r\n");
  NPP windowFirst = FullPage();
  NPP projectFirst = FullPage();
  host.SetWindow(windowFirst);
  DeliverProject(windowFirst, script);
  DeliverProject(projectFirst, script);
  host.SetWindow(projectFirst);
  // A base that ends in a scheme makes the movie URL one, letter case and blanks aside.
  NPP embedded = Embedded(" JavaScript:");
  host.SetWindow(embedded);
  DeliverProject(embedded, Project("Source=alert(2)\r\n"));

  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_THAT(Tail(windowFirst, 3),
              ElementsAre("FULL_SCREEN mode.", "javascript:alert(1)", "! NPP_StreamAsFile 06"));
  EXPECT_THAT(Tail(projectFirst, 4), ElementsAre("<SetWindow>", "javascript:alert(1)",
                                                 "FULL_SCREEN mode.", "! NPP_SetWindow 03"));
  EXPECT_THAT(Tail(embedded, 3),
              ElementsAre("EMBED mode.", " JavaScript:alert(2)", "! NPP_StreamAsFile 06"));
  EXPECT_THAT(host.Events(embedded), IsEmpty());
}

TEST_F(Download, OtherMovieNamesAreRequestedLiterally) {
  NPP embedded = Embedded("/a/b.klp");
  NPP full = FullPage();
  for (NPP instance : {embedded, full}) host.SetWindow(instance);
  DeliverProject(embedded, Project("Source=javascript:x\r\n"));
  DeliverProject(full, Project("Source=javascript.mpg?q=../x\r\n"));
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0].url, "/a/javascript:x");
  EXPECT_EQ(host.requests[1].url, "javascript.mpg?q=../x");
}

TEST_F(Download, MovieThatCannotBeOpenedRaisesErrorTwo) {
  NPP instance = Embedded();
  host.SetWindow(instance);
  DeliverProject(instance, Project("Source=m.mpg\r\n"));
  const std::string movie = dir.Write("m.mpg", "not a movie");
  host.Answer(OnlyRequest(), movie, NPRES_DONE);

  // The player's own lines between these depend on its media graph.
  const Lines lines = host.Trace(instance);
  const auto entry = std::find(lines.rbegin(), lines.rend(), "<NPP_StreamAsFile>");
  ASSERT_NE(entry, lines.rend());
  const Lines movieLines(std::prev(entry.base()), lines.end());
  ASSERT_GE(movieLines.size(), 8u);
  EXPECT_THAT(Lines(movieLines.begin(), movieLines.begin() + 4),
              ElementsAre("<NPP_StreamAsFile>", movie, "<OpenMovie>", movie));
  EXPECT_THAT(movieLines, Contains("! CKLMoviePlay::OpenMovie 04"));
  EXPECT_THAT(Tail(instance, 4), ElementsAre("! CKLPluginWindow::OpenMovie 02",
                                             "! NPP_StreamAsFile 05", "<OnError>", "2"));
  // The file reached the player, so the request's completion raises nothing more.
  EXPECT_THAT(host.Events(instance), ElementsAre("OnError(m1_OnError, 2)"));
  EXPECT_EQ(host.requests.size(), 1u);
}

TEST_F(Download, StreamWithoutFileIsIgnored) {
  NPP instance = Embedded();
  host.SetWindow(instance);
  NPStream stream{};
  stream.url = kSrc;
  host.plugin().asfile(instance, &stream, "");
  host.plugin().asfile(instance, &stream, nullptr);
  EXPECT_THAT(TraceAfterNew(instance), ElementsAre("<SetWindow>", "no get movie URL"));
}

TEST_F(Download, BrowserBelowMinorNineIsNeverAsked) {
  host.browser().version = 0x0008;
  NPP instance = Embedded();
  host.SetWindow(instance);
  DeliverProject(instance, Project("Source=m.mpg\r\n"));
  EXPECT_THAT(host.requests, IsEmpty());
}

}  // namespace
}  // namespace klp::host
