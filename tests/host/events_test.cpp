// Error events and trace lines as the page's script receives them: the composed event name,
// the codes raised by the download callbacks, and the kldebug switch.
#include <gmock/gmock.h>

#include <string>

#include "tests/host/fixture.h"

namespace klp::host {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using ErrorEvents = PluginTest;

TEST_F(ErrorEvents, NameIsComposedFromTheNameAttribute) {
  NPP named = NewInstance({{"name", "m1"}});
  NPP unnamed = NewInstance({});
  NPP emptyName = NewInstance({{"NAME", ""}});
  for (NPP instance : {named, unnamed, emptyName})
    host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
  EXPECT_THAT(host.Events(named), ElementsAre("OnError(m1_OnError, 4)"));
  EXPECT_THAT(host.Events(unnamed), ElementsAre("OnError(OnError, 4)"));
  EXPECT_THAT(host.Events(emptyName), ElementsAre("OnError(_OnError, 4)"));
}

TEST_F(ErrorEvents, LongNamesAreCutToFitTheEventName) {
  // 247 characters, "_" and "OnError" make the longest name that fits 255 characters.
  for (size_t length : {247u, 248u, 5000u}) {
    NPP instance = NewInstance({{"name", std::string(length, 'n')}});
    host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
    EXPECT_THAT(host.Events(instance),
                ElementsAre("OnError(" + std::string(247, 'n') + "_OnError, 4)"))
        << length;
  }
}

TEST_F(ErrorEvents, KldebugOffDropsTraceLinesButNotErrors) {
  NPP quiet = NewInstance({{"name", "m1"}, {"kldebug", "yes"}});
  host.SetWindow(quiet);
  host.DeliverFile(quiet, "/a.klp", dir.Path("missing.klp"));
  EXPECT_THAT(host.Trace(quiet), IsEmpty());
  EXPECT_THAT(host.Events(quiet), ElementsAre("OnError(m1_OnError, 1)"));
}

TEST_F(ErrorEvents, ErrorTraceLinesFollowTheEvent) {
  // The first kldebug attribute wins, whatever its letter case.
  NPP instance = NewInstance({{"KLDEBUG", "True"}, {"kldebug", "false"}});
  host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
  EXPECT_THAT(host.ScriptLog(instance),
              ElementsAre("OnSysOut: <NPP_New> - Completed.", "OnError(OnError, 4)",
                          "OnSysOut: <OnError>", "OnSysOut: 4"));
}

TEST_F(ErrorEvents, NothingIsSentWithoutAPeer) {
  NPP instance = NewInstance({{"kldebug", "true"}});
  host.SetPeerAvailable(instance, false);
  host.SetWindow(instance);
  host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
  host.SetPeerAvailable(instance, true);
  host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
  EXPECT_THAT(host.ScriptLog(instance),
              ElementsAre("OnSysOut: <NPP_New> - Completed.", "OnError(OnError, 4)",
                          "OnSysOut: <OnError>", "OnSysOut: 4"));
}

TEST_F(ErrorEvents, NothingIsSentWithoutARuntime) {
  host.browser().getJavaEnv = nullptr;
  NPP instance = NewInstance({{"src", "/a.klp"}, {"kldebug", "true"}});
  EXPECT_EQ(host.plugin().javaClass, nullptr);
  host.SetWindow(instance);
  host.DeliverFile(instance, "/a.klp", Project("Source=m.mpg\r\n"));
  host.URLNotify(instance, "/m.mpg", NPRES_USER_BREAK, kMovieRequest);
  EXPECT_THAT(host.runtime().calls(), IsEmpty());
  EXPECT_EQ(OnlyRequest().url, "/m.mpg");
}

// NPP_URLNotify: what the request's outcome raises, by reason and notify data.
class URLNotify : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance = NewInstance({{"src", "/a.klp"}, {"name", "m1"}});
    host.SetWindow(instance);
  }
  std::vector<std::string> After(NPReason reason, void* notifyData) {
    host.runtime().ClearCalls();
    host.URLNotify(instance, "/m.mpg", reason, notifyData);
    return host.Events(instance);
  }
  NPP instance = nullptr;
};

TEST_F(URLNotify, DoneOrNetworkErrorWithoutAFileRaisesErrorThree) {
  EXPECT_THAT(After(NPRES_DONE, kMovieRequest), ElementsAre("OnError(m1_OnError, 3)"));
  EXPECT_THAT(After(NPRES_NETWORK_ERR, kMovieRequest), ElementsAre("OnError(m1_OnError, 3)"));
  // Other notify data looks at the project file, which has not arrived either.
  EXPECT_THAT(After(NPRES_DONE, reinterpret_cast<void*>(2)),
              ElementsAre("OnError(m1_OnError, 3)"));
  EXPECT_THAT(After(NPRES_DONE, nullptr), ElementsAre("OnError(m1_OnError, 3)"));
}

TEST_F(URLNotify, FileThatReachedThePlayerRaisesNothing) {
  host.DeliverFile(instance, "/a.klp", Project("Source=m.mpg\r\n"));
  EXPECT_THAT(After(NPRES_DONE, nullptr), IsEmpty());                        // project path
  EXPECT_THAT(After(NPRES_DONE, kMovieRequest), ElementsAre("OnError(m1_OnError, 3)"));
  host.Answer(OnlyRequest(), dir.Write("m.mpg", "x"), NPRES_DONE);          // fails to open
  EXPECT_THAT(After(NPRES_DONE, kMovieRequest), IsEmpty());
  EXPECT_THAT(After(NPRES_NETWORK_ERR, kMovieRequest), IsEmpty());
}

TEST_F(URLNotify, UserBreakRaisesErrorFourAndOtherReasonsNothing) {
  EXPECT_THAT(After(NPRES_USER_BREAK, kMovieRequest), ElementsAre("OnError(m1_OnError, 4)"));
  EXPECT_THAT(After(NPRES_USER_BREAK, nullptr), ElementsAre("OnError(m1_OnError, 4)"));
  EXPECT_THAT(After(3, kMovieRequest), IsEmpty());
  EXPECT_THAT(After(-1, kMovieRequest), IsEmpty());
  EXPECT_THAT(After(static_cast<NPReason>(0x8002), kMovieRequest), IsEmpty());
}

}  // namespace
}  // namespace klp::host
