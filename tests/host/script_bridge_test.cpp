// The script class binding, the natives and their stubs, as a script runtime reaches them.
#include <dlfcn.h>
#include <gmock/gmock.h>

#include <string>

#include "tests/host/fixture.h"

namespace klp::host {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Stub = intptr_t* (*)(intptr_t*, JRIEnv*);

class ScriptBridge : public PluginTest {
 protected:
  // An instance with a window, so that commands reach it; trace lines on.
  NPP Attached(const char* name = "m1") {
    NPP instance = NewInstance({{"kldebug", "true"}, {"name", name}});
    EXPECT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
    host.RunUntilIdle();
    host.runtime().ClearCalls();
    return instance;
  }
  Stub StubNamed(const char* name) {
    void* module = dlopen(KLP_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(module, nullptr);
    void* sym = module ? dlsym(module, name) : nullptr;
    if (module) dlclose(module);
    EXPECT_NE(sym, nullptr) << name;
    return reinterpret_cast<Stub>(sym);
  }
  size_t Lookups() {
    size_t n = 0;
    for (const JriCall& c : host.runtime().calls())
      if (c.what.rfind("GetMethodID", 0) == 0 || c.what.rfind("GetFieldID", 0) == 0) ++n;
    return n;
  }
  JRIEnv* env() { return host.runtime().env(); }
};

TEST_F(ScriptBridge, BindingLooksMembersUpOnceAndUnbindsCleanly) {
  JRIEnv* e = env();
  host.exports().unuse_NPKLOD32(e);  // nothing bound yet: nothing happens
  EXPECT_THAT(host.runtime().calls(), IsEmpty());

  jref clazz = host.exports().use_NPKLOD32(e);
  ASSERT_EQ(clazz, host.runtime().scriptClass());
  EXPECT_EQ(Lookups(), 13u);
  EXPECT_EQ(host.exports().use_NPKLOD32(e), clazz);
  EXPECT_EQ(Lookups(), 13u) << "a second use looks nothing up";
  EXPECT_EQ(host.runtime().LiveGlobalRefs(), 1u);

  host.exports().unuse_NPKLOD32(e);
  EXPECT_EQ(host.runtime().LiveGlobalRefs(), 0u);
  // Unbound again: a native finds no GetPeerEx to call and refuses.
  NPP instance = Attached();
  host.exports().unuse_NPKLOD32(e);
  host.runtime().ClearCalls();
  EXPECT_EQ(host.exports().native_Pause(e, host.PeerOf(instance)), 0);
  EXPECT_THAT(host.runtime().calls(), IsEmpty()) << "no runtime call while unbound";
}

TEST_F(ScriptBridge, ClassNotFoundRaisesTheException) {
  host.runtime().SetClassFound(false);
  EXPECT_EQ(host.exports().register_NPKLOD32(env()), nullptr);
  EXPECT_THAT(host.runtime().registeredNatives(), IsEmpty());
  EXPECT_EQ(host.runtime().calls().back().what, "ThrowNew ClassNotFoundException NPKLOD32");
  EXPECT_EQ(Lookups(), 0u);
}

TEST_F(ScriptBridge, CommandsRunInPostingOrder) {
  NPP instance = Attached();
  jref peer = host.PeerOf(instance);
  EXPECT_EQ(host.exports().native_Pause(env(), peer), 1);
  EXPECT_EQ(host.exports().native_Play(env(), peer, 25), 1);
  EXPECT_EQ(host.exports().native_Stop(env(), peer), 1);
  EXPECT_THAT(host.Trace(instance), IsEmpty()) << "natives only post";
  host.RunUntilIdle();
  // No movie is open: each command is traced and refused with error 7.
  EXPECT_THAT(host.ScriptLog(instance),
              ElementsAre("OnSysOut: <WM_KL_PAUSE>", "OnError(m1_OnError, 7)", "OnSysOut: <OnError>",
                          "OnSysOut: 7", "OnSysOut: <WM_KL_PLAY>", "OnError(m1_OnError, 7)",
                          "OnSysOut: <OnError>", "OnSysOut: 7", "OnSysOut: <WM_KL_STOP>",
                          "OnError(m1_OnError, 7)", "OnSysOut: <OnError>", "OnSysOut: 7"));
}

TEST_F(ScriptBridge, NamedCommandsCopyTheirNames) {
  NPP instance = Attached();
  jref peer = host.PeerOf(instance);
  EXPECT_EQ(host.exports().native_EnableMarker(env(), peer, host.runtime().NewString("")), 1);
  EXPECT_EQ(host.exports().native_EnableAnchor(env(), peer, host.runtime().NewString("door")), 1);
  host.RunUntilIdle();  // the names are freed by the handler (the sanitizer build checks)
  EXPECT_THAT(host.Events(instance), ElementsAre("OnError(m1_OnError, 7)", "OnError(m1_OnError, 7)"));
  EXPECT_EQ(host.Trace(instance).front(), "<WM_KL_ENABLEMARKER>");
}

TEST_F(ScriptBridge, StubsStoreTheResultInCellZero) {
  NPP instance = Attached();
  intptr_t cells[2] = {reinterpret_cast<intptr_t>(host.PeerOf(instance)), 0};
  // The frame is the low 32 bits of cell 1, signed.
  cells[1] = static_cast<intptr_t>(0xABCD00000000LL | 0xFFFFFFFFu);
  EXPECT_EQ(StubNamed("Java_NPKLOD32_Play_stub")(cells, env()), &cells[1]);
  EXPECT_EQ(cells[0], 1);
  cells[0] = reinterpret_cast<intptr_t>(host.PeerOf(instance));
  EXPECT_EQ(StubNamed("Java_NPKLOD32_Pause_stub")(cells, env()), &cells[1]);
  EXPECT_EQ(cells[0], 1);
  cells[0] = reinterpret_cast<intptr_t>(host.PeerOf(instance));
  cells[1] = reinterpret_cast<intptr_t>(host.runtime().NewString("intro"));
  EXPECT_EQ(StubNamed("Java_NPKLOD32_EnableMarker_stub")(cells, env()), &cells[1]);
  EXPECT_EQ(cells[0], 1);

  Peer stranger;
  intptr_t refused[2] = {reinterpret_cast<intptr_t>(&stranger), 0};
  for (const char* name : {"Java_NPKLOD32_Play_stub", "Java_NPKLOD32_Pause_stub",
                           "Java_NPKLOD32_Stop_stub", "Java_NPKLOD32_EnableMarker_stub",
                           "Java_NPKLOD32_EnableAnchor_stub"}) {
    refused[0] = reinterpret_cast<intptr_t>(&stranger);
    refused[1] = reinterpret_cast<intptr_t>(host.runtime().NewString("x"));
    EXPECT_EQ(StubNamed(name)(refused, env()), &refused[1]) << name;
    EXPECT_EQ(refused[0], 0) << name;
  }
  host.RunUntilIdle();
  EXPECT_EQ(host.Events(instance).size(), 3u) << "only the accepted three were posted";
}

TEST_F(ScriptBridge, CommandsBeforeTheWindowAreDropped) {
  NPP instance = NewInstance({{"kldebug", "true"}, {"name", "m1"}});
  jref peer = host.PeerOf(instance);
  EXPECT_EQ(host.exports().native_EnableAnchor(env(), peer, host.runtime().NewString("door")), 1);
  EXPECT_EQ(host.exports().native_Play(env(), peer, 0), 1);
  host.RunUntilIdle();
  EXPECT_THAT(host.Events(instance), IsEmpty());
  ASSERT_EQ(host.SetWindow(instance), NPERR_NO_ERROR);
  host.RunUntilIdle();
  EXPECT_THAT(host.Events(instance), IsEmpty()) << "nothing was kept for later";
}

TEST_F(ScriptBridge, CommandsForAnotherInstanceGoThere) {
  NPP a = Attached("a");
  NPP b = Attached("b");
  EXPECT_EQ(host.exports().native_Stop(env(), host.PeerOf(b)), 1);
  host.RunUntilIdle();
  EXPECT_THAT(host.Events(a), IsEmpty());
  EXPECT_THAT(host.Events(b), ElementsAre("OnError(b_OnError, 7)"));
}

}  // namespace
}  // namespace klp::host
