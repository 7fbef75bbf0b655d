// Script events and the trace channel as the page's script object receives them.
#include <gmock/gmock.h>

#include "platform/sim/sim_desktop.h"
#include "script/events.h"
#include "script/trace.h"
#include "tests/player/script_recorder.h"
#include "window/plugin_window.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Instance {
  Instance(const char* name, int32_t debug) : object(&npp, 0, nullptr, name, 0, 1, 1, 1, 0, debug) {
    npp.pdata = &object;
  }
  NPP_t npp{};
  CKLPluginWindow object;
};

class ScriptEvents : public ::testing::Test {
 protected:
  sim::SimDesktop desk;
  klp::test::ScriptRecorder script;
};

TEST_F(ScriptEvents, EventThenItsTwoTraceLines) {
  Instance m1("m1", 1);
  FireOnMarker(&m1.npp, "intro");
  ASSERT_EQ(script.calls().size(), 3u);
  EXPECT_EQ(script.calls()[0].method, "OnMarker");
  EXPECT_THAT(script.calls()[0].args, ElementsAre("m1_OnMarker", "intro"));
  EXPECT_THAT(script.Lines(), ElementsAre("<OnMarker>", "intro"));
}

TEST_F(ScriptEvents, NamesComposeFromTheNameAttribute) {
  Instance unnamed(nullptr, 1);
  Instance empty("", 1);
  FireOnKLEvent(&unnamed.npp, "bell");
  FireOnActivateAnchor(&empty.npp, "door");
  FireOnError(&unnamed.npp, 7);
  EXPECT_THAT(script.calls()[0].args, ElementsAre("OnKLEvent", "bell"));
  EXPECT_THAT(script.Events(&empty.npp), ElementsAre("OnActivateAnchor door"));
  EXPECT_EQ(script.calls()[3].args[0], "_OnActivateAnchor");
  EXPECT_THAT(script.Lines(&unnamed.npp), ElementsAre("<OnKLEvent>", "bell", "<OnError>", "7"));
}

TEST_F(ScriptEvents, AnEmptyValueWritesOnlyTheFirstLine) {
  Instance m1("m1", 1);
  FireOnMarker(&m1.npp, "");
  EXPECT_THAT(script.Events(), ElementsAre("OnMarker "));
  EXPECT_THAT(script.Lines(), ElementsAre("<OnMarker>"));
}

TEST_F(ScriptEvents, TraceSwitchOffStillSendsEvents) {
  Instance quiet("m1", 0);
  FireOnKLEvent(&quiet.npp, "bell");
  FireOnError(&quiet.npp, 3);
  SysOut(&quiet.npp, "anything");
  EXPECT_THAT(script.Events(), ElementsAre("OnKLEvent bell", "OnError 3"));
  EXPECT_THAT(script.Lines(), IsEmpty());
}

TEST_F(ScriptEvents, NothingWithoutAnObject) {
  NPP_t bare{};
  FireOnMarker(&bare, "intro");
  FireOnError(&bare, 1);
  SysOut(&bare, "x");
  FireOnError(nullptr, 1);
  EXPECT_THAT(script.calls(), IsEmpty());
}

}  // namespace
