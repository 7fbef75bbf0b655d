// The module's exports as a browser and a script runtime meet them: the callback table, the
// interface version check, the script class binding, and the module's own data.
#include <gmock/gmock.h>

#include <string>

#include "tests/host/fixture.h"

namespace klp::host {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;

using EntryPoints = PluginTest;

int16_t SentinelHandleEvent(NPP, void*) { return 7; }
void SentinelURLNotify(NPP, const char*, NPReason, void*) {}

TEST_F(EntryPoints, GetEntryPointsWithoutTableFails) {
  EXPECT_EQ(host.exports().NP_GetEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
}

TEST_F(EntryPoints, GetEntryPointsFillsCallbacksAndLeavesTheRestAlone) {
  static char javaClass;
  NPPluginFuncs table{};
  table.size = 123;
  table.event = &SentinelHandleEvent;
  table.urlnotify = &SentinelURLNotify;
  table.javaClass = &javaClass;
  ASSERT_EQ(host.exports().NP_GetEntryPoints(&table), NPERR_NO_ERROR);
  EXPECT_EQ(table.version, 0x000B);
  EXPECT_EQ(table.size, 123);
  EXPECT_EQ(table.event, &SentinelHandleEvent);
  EXPECT_EQ(table.urlnotify, &SentinelURLNotify);
  EXPECT_EQ(table.javaClass, &javaClass);
  EXPECT_TRUE(table.newp && table.destroy && table.setwindow && table.newstream &&
              table.destroystream && table.asfile && table.writeready && table.write &&
              table.print);
}

TEST_F(EntryPoints, InitializeWithoutBrowserTableFails) {
  EXPECT_EQ(host.exports().NP_Initialize(nullptr, &host.plugin()), NPERR_INVALID_FUNCTABLE_ERROR);
}

TEST_F(EntryPoints, MajorVersionOtherThanZeroIsIncompatibleButTheTableIsRecorded) {
  host.browser().version = 0x0100;
  EXPECT_EQ(host.Initialize(), NPERR_INCOMPATIBLE_VERSION_ERROR);
  EXPECT_EQ(host.plugin().urlnotify, nullptr);
  EXPECT_EQ(host.plugin().javaClass, nullptr);
  EXPECT_EQ(host.javaEnvCalls, 0);
  // NP_Shutdown reaches the runtime through the table recorded before the version check.
  EXPECT_EQ(host.exports().NP_Shutdown(), NPERR_NO_ERROR);
  EXPECT_EQ(host.javaEnvCalls, 1);
}

TEST_F(EntryPoints, MinorVersionBelowNineInstallsNeitherURLNotifyNorScriptClass) {
  host.browser().version = 0x0008;
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  EXPECT_EQ(host.plugin().urlnotify, nullptr);
  EXPECT_EQ(host.plugin().javaClass, nullptr);
  EXPECT_THAT(host.runtime().calls(), IsEmpty());
  EXPECT_NE(host.plugin().event, nullptr);  // windowless input arrives through NPP_HandleEvent
}

TEST_F(EntryPoints, MinorVersionElevenInstallsURLNotifyAndScriptClass) {
  host.browser().version = 0x000B;
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  EXPECT_NE(host.plugin().urlnotify, nullptr);
  ASSERT_NE(host.plugin().javaClass, nullptr);
  EXPECT_EQ(host.runtime().Referent(host.plugin().javaClass), host.runtime().scriptClass());
}

TEST_F(EntryPoints, ScriptClassBindingAndRelease) {
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  ScriptRuntime& rt = host.runtime();
  EXPECT_THAT(rt.calls(), Contains(Field(&JriCall::what, "FindClass NPKLOD32")));
  EXPECT_THAT(rt.calls(), Contains(Field(&JriCall::what, "GetFieldID count I")));
  EXPECT_THAT(rt.calls(),
              Contains(Field(&JriCall::what, "GetMethodID OnError (Ljava/lang/String;I)V")));
  EXPECT_THAT(rt.calls(),
              Contains(Field(&JriCall::what, "GetMethodID OnSysOut (Ljava/lang/String;)V")));
  EXPECT_THAT(rt.calls(), Contains(Field(&JriCall::what, "GetMethodID GetPeerEx ()I")));
  // The module's binding and the browser's javaClass each hold a reference.
  EXPECT_EQ(rt.LiveGlobalRefs(), 2u);
  // Every operation is called with its own index.
  for (const JriCall& call : rt.calls()) EXPECT_EQ(call.op, call.slot) << call.what;

  EXPECT_EQ(host.exports().NP_Shutdown(), NPERR_NO_ERROR);
  EXPECT_EQ(rt.calls().back().what, "DisposeGlobalRef");
  EXPECT_EQ(rt.LiveGlobalRefs(), 1u);  // the browser's own
}

TEST_F(EntryPoints, MissingScriptClassLeavesInstancesSilent) {
  host.runtime().SetClassFound(false);
  ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
  EXPECT_EQ(host.plugin().javaClass, nullptr);
  EXPECT_THAT(host.runtime().calls(),
              Contains(Field(&JriCall::what, "ThrowNew ClassNotFoundException NPKLOD32")));

  NPP instance = NewInstance({{"kldebug", "true"}, {"name", "m1"}});
  host.URLNotify(instance, "m.mpg", NPRES_USER_BREAK, kMovieRequest);
  EXPECT_THAT(host.runtime().scriptCalls(), IsEmpty());
  EXPECT_EQ(host.exports().native_Play(host.runtime().env(), host.PeerOf(instance), 0), 0);
}

TEST_F(EntryPoints, RegisterNativesListsTheFiveMethods) {
  ASSERT_NE(host.exports().register_NPKLOD32(host.runtime().env()), nullptr);
  EXPECT_THAT(host.runtime().registeredNatives(),
              ElementsAre("EnableAnchor(Ljava/lang/String;)Z", "EnableMarker(Ljava/lang/String;)Z",
                          "Play(I)Z", "Pause()Z", "Stop()Z"));
  host.exports().unregister_NPKLOD32(host.runtime().env());
  EXPECT_EQ(host.runtime().calls().back().what, "DisposeGlobalRef");
  EXPECT_EQ(host.runtime().LiveGlobalRefs(), 0u);
}

TEST_F(EntryPoints, NativesFindTheirInstanceThroughGetPeerEx) {
  NPP instance = NewInstance({});
  ASSERT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
  JRIEnv* env = host.runtime().env();
  host.runtime().ClearCalls();
  EXPECT_EQ(host.exports().native_Play(env, host.PeerOf(instance), 25), 1);
  // CallMethodInt is taken from its own slot but called with CallMethod's index.
  EXPECT_THAT(host.runtime().calls(),
              ElementsAre(AllOf(Field(&JriCall::slot, 36), Field(&JriCall::op, 21),
                                Field(&JriCall::what, "CallMethodInt GetPeerEx"))));
  Peer stranger;  // an object no instance answers for
  EXPECT_EQ(host.exports().native_Stop(env, &stranger), 0);
  jref peer = host.PeerOf(instance);
  ASSERT_EQ(host.Destroy(instance), NPERR_NO_ERROR);
  EXPECT_EQ(host.exports().native_Pause(env, peer), 0);
}

TEST_F(EntryPoints, ModuleDataForTheBrowser) {
  EXPECT_STREQ(host.exports().NP_GetMIMEDescription(),
               "application/kelvora-movie:klp:Kelvora Project File (*.klp)");
  const char* text = nullptr;
  ASSERT_EQ(host.exports().NP_GetValue(nullptr, NPPVpluginNameString, &text), NPERR_NO_ERROR);
  EXPECT_STREQ(text, "NPKLOD32");
  ASSERT_EQ(host.exports().NP_GetValue(nullptr, NPPVpluginDescriptionString, &text),
            NPERR_NO_ERROR);
  EXPECT_STREQ(text, "NPKLOD32, KL-MOVIE plugin DLL");
}

TEST(ModuleLifetime, UnloadsWhenTheBrowserLetsGo) {
  {
    Host host(KLP_MODULE_PATH);
    ASSERT_TRUE(host.ok()) << host.error();
    ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
    host.New({{"src", "/a.klp"}});
    EXPECT_TRUE(Host::ModuleMapped(KLP_MODULE_PATH));
  }
  EXPECT_FALSE(Host::ModuleMapped(KLP_MODULE_PATH));
}

// pixman leaks its implementation table at each load, so it must not go and come back with the
// module, even when the browser never initialises it (this binary does not link pixman: only the
// module loads it).
TEST(ModuleLifetime, KeepsTheScalerLibraryLoaded) {
  {
    Host host(KLP_MODULE_PATH);
    ASSERT_TRUE(host.ok()) << host.error();
  }
  EXPECT_FALSE(Host::ModuleMapped(KLP_MODULE_PATH));
  EXPECT_TRUE(Host::ModuleMapped("libpixman-1.so.0"));
}

}  // namespace
}  // namespace klp::host
