// Calls a browser may make that the module must survive: missing instances, empty slots,
// browsers that lack services, and script commands still queued when an instance goes.
#include <gmock/gmock.h>

#include <string>

#include "tests/host/fixture.h"

namespace klp::host {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Robustness = PluginTest;

TEST_F(Robustness, NewWithoutInstanceFails) {
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  char mime[] = "application/kelvora-movie";
  EXPECT_EQ(host.plugin().newp(mime, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_THAT(host.setValues, IsEmpty());
}

TEST_F(Robustness, NewAsksForWindowlessPresentation) {
  NPP instance = NewInstance({});
  ASSERT_EQ(host.setValues.size(), 1u);
  EXPECT_EQ(host.setValues[0].instance, instance);
  EXPECT_EQ(host.setValues[0].variable, NPPVpluginWindowBool);
  EXPECT_EQ(host.setValues[0].value, nullptr);  // false
  EXPECT_NE(instance->pdata, nullptr);
}

TEST_F(Robustness, SetWindowChecksItsArguments) {
  NPP instance = NewInstance({});
  NPWindow window{};
  window.type = NPWindowTypeDrawable;
  NPP_t empty{};
  EXPECT_EQ(host.plugin().setwindow(instance, nullptr), NPERR_GENERIC_ERROR);
  EXPECT_EQ(host.plugin().setwindow(nullptr, &window), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(host.plugin().setwindow(nullptr, nullptr), NPERR_GENERIC_ERROR);
  EXPECT_EQ(host.plugin().setwindow(&empty, &window), NPERR_GENERIC_ERROR);
  EXPECT_THAT(host.invalidations, IsEmpty());
}

// The module's own guard against a browser that calls with no instance or an empty slot.
TEST_F(Robustness, CallbacksWithoutInstanceObjectDoNothing) {
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  NPPluginFuncs& f = host.plugin();
  NPP_t empty{};
  char mime[] = "application/kelvora-movie";
  alignas(8) unsigned char xevent[192] = {};
  for (NPP instance : {static_cast<NPP>(nullptr), &empty}) {
    SCOPED_TRACE(instance ? "empty slot" : "no instance");
    NPStream stream{};
    stream.url = "/a.klp";
    uint16_t type = NP_NORMAL;
    EXPECT_EQ(f.newstream(instance, mime, &stream, 0, &type),
              instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR);
    f.asfile(instance, &stream, dir.Write("p.klp", "[Global]\r\nSource=m.mpg\r\n").c_str());
    EXPECT_EQ(f.writeready(instance, &stream), 0x0FFFFFFF);
    EXPECT_EQ(f.write(instance, &stream, 0, 17, xevent), 17);
    EXPECT_EQ(f.destroystream(instance, &stream, NPRES_DONE), NPERR_NO_ERROR);
    for (NPReason reason : {NPRES_DONE, NPRES_NETWORK_ERR, NPRES_USER_BREAK})
      f.urlnotify(instance, "/m.mpg", reason, kMovieRequest);
    NPPrint print{};
    print.mode = NP_FULL;
    f.print(instance, &print);
    EXPECT_EQ(f.event(instance, xevent), 0);
    NPBool flag = 1;
    EXPECT_EQ(f.getvalue(instance, NPPVpluginNeedsXEmbed, &flag), NPERR_NO_ERROR);
    EXPECT_EQ(f.destroy(instance, nullptr),
              instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR);
  }
  EXPECT_THAT(host.requests, IsEmpty());
  EXPECT_THAT(host.runtime().scriptCalls(), IsEmpty());
}

TEST_F(Robustness, StreamsAreTakenAsFilesAndDataIsAccepted) {
  NPP instance = NewInstance({});
  uint16_t type = 0;
  EXPECT_EQ(host.DeliverFile(instance, "/movie.mpg", dir.Write("m.mpg", "x"), nullptr, &type),
            NPERR_NO_ERROR);
  EXPECT_EQ(type, NP_ASFILEONLY);
  NPStream stream{};
  for (int32_t length : {0, 1, 65536, 0x7FFFFFFF}) {
    EXPECT_EQ(host.plugin().writeready(instance, &stream), 268435455);
    EXPECT_EQ(host.plugin().write(instance, &stream, 0, length, nullptr), length);
  }
}

TEST_F(Robustness, FullPagePrintingIsLeftToTheBrowser) {
  NPP instance = NewInstance({});
  NPPrint full{};
  full.mode = NP_FULL;
  full.print.fullPrint.pluginPrinted = 1;
  host.plugin().print(instance, &full);
  EXPECT_EQ(full.print.fullPrint.pluginPrinted, 0);
  host.plugin().print(instance, nullptr);
}

TEST_F(Robustness, BrowserWithoutOptionalServicesStillRequestsTheMovie) {
  NPNetscapeFuncs& b = host.browser();
  b.scheduletimer = nullptr;
  b.unscheduletimer = nullptr;
  b.pluginthreadasynccall = nullptr;
  b.invalidaterect = nullptr;
  b.setvalue = nullptr;
  b.getvalue = nullptr;
  b.getJavaPeer = nullptr;
  b.memalloc = nullptr;
  b.memfree = nullptr;
  NPP instance = NewInstance({{"src", "/a/b.klp"}, {"kldebug", "true"}});
  EXPECT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
  host.DeliverFile(instance, "/a/b.klp", Project("Source=m.mpg\r\n"));
  EXPECT_EQ(OnlyRequest().url, "/a/m.mpg");
  // Script commands are still taken; without async calls they run at the next callback.
  EXPECT_EQ(host.exports().native_Play(host.runtime().env(), host.PeerOf(instance), 0), 1);
  EXPECT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
  EXPECT_THAT(host.runtime().scriptCalls(), IsEmpty());
}

TEST_F(Robustness, CommandsQueuedForADestroyedInstanceAreDiscarded) {
  for (bool runAfterDestroy : {false, true}) {
    SCOPED_TRACE(runAfterDestroy ? "host runs late calls" : "host cancels late calls");
    host.runCallsAfterDestroy = runAfterDestroy;
    NPP instance = NewInstance({});
    host.SetWindow(instance);
    JRIEnv* env = host.runtime().env();
    jref peer = host.PeerOf(instance);
    EXPECT_EQ(host.exports().native_EnableMarker(env, peer, host.runtime().NewString("intro")), 1);
    EXPECT_EQ(host.exports().native_Play(env, peer, 5), 1);
    EXPECT_EQ(host.PendingAsyncCalls(), 1u);
    ASSERT_EQ(host.Destroy(instance), NPERR_NO_ERROR);
    host.RunUntilIdle();  // nothing reaches the destroyed instance; the name is freed
    EXPECT_EQ(host.PendingAsyncCalls(), 0u);
  }
}

TEST_F(Robustness, CommandsOfOtherInstancesStillRunAfterOneIsDestroyed) {
  NPP first = NewInstance({});
  NPP second = NewInstance({});
  host.SetWindow(first);
  host.SetWindow(second);
  JRIEnv* env = host.runtime().env();
  EXPECT_EQ(host.exports().native_Play(env, host.PeerOf(first), 0), 1);
  ASSERT_EQ(host.Destroy(first), NPERR_NO_ERROR);  // its pending call is cancelled
  EXPECT_EQ(host.exports().native_Play(env, host.PeerOf(second), 0), 1);
  EXPECT_EQ(host.PendingAsyncCalls(second), 1u);
  EXPECT_EQ(host.RunUntilIdle(), 1u);
}

}  // namespace
}  // namespace klp::host
