#include "script/natives.h"

#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "plugin/services.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/messages.h"

char* CopyCommandName(const char* text) {
  size_t n = std::strlen(text);
  char* copy = new (std::nothrow) char[n + 1];
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

void FreeCommandName(char* name) { delete[] name; }

namespace {

std::mutex g_liveLock;
std::set<NPP> g_live;

// Runs post(window) for the instance named by the script object's peer value, under the lock
// that keeps the instance alive meanwhile. False when no live instance has an object.
template <typename Post>
bool WithInstanceWindow(JRIEnv* env, jref self, Post post) {
  const ScriptClassBinding& b = Binding();
  if (!env || !b.bound()) return false;
  uint32_t peer = static_cast<uint32_t>(jri::CallMethodInt(env, self, b.GetPeerEx));
  std::lock_guard lock(g_liveLock);
  NPP found = nullptr;
  for (NPP npp : g_live) {
    if (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(npp)) != peer) continue;
    if (found) return false;  // ambiguous
    found = npp;
  }
  CKLPluginWindow* object = found ? InstanceObject(found) : nullptr;
  if (!object) return false;
  return post(CommandWindow(*object));
}

jbool PostCommand(JRIEnv* env, jref self, win::UINT msg, win::WPARAM wParam) {
  return WithInstanceWindow(env, self, [&](win::HWND hwnd) {
    if (hwnd) win::PostMessageA(hwnd, msg, wParam, 0);
    return true;  // a command without a window is dropped
  });
}

jbool PostNamedCommand(JRIEnv* env, jref self, win::UINT msg, jstring name) {
  return WithInstanceWindow(env, self, [&](win::HWND hwnd) {
    const char* text = jri::GetStringUTFChars(env, name);
    char* copy = text ? CopyCommandName(text) : nullptr;
    if (!copy) return false;
    if (!hwnd || !win::PostMessageA(hwnd, msg, reinterpret_cast<win::WPARAM>(copy), 0))
      FreeCommandName(copy);  // no window to take it
    return true;
  });
}

char* g_names[] = {
    const_cast<char*>("EnableAnchor(Ljava/lang/String;)Z"),
    const_cast<char*>("EnableMarker(Ljava/lang/String;)Z"),
    const_cast<char*>("Play(I)Z"),
    const_cast<char*>("Pause()Z"),
    const_cast<char*>("Stop()Z"),
    nullptr,
};

JRINativeProc g_procs[] = {
    reinterpret_cast<JRINativeProc>(&native_NPKLOD32_EnableAnchor),
    reinterpret_cast<JRINativeProc>(&native_NPKLOD32_EnableMarker),
    reinterpret_cast<JRINativeProc>(&native_NPKLOD32_Play),
    reinterpret_cast<JRINativeProc>(&native_NPKLOD32_Pause),
    reinterpret_cast<JRINativeProc>(&native_NPKLOD32_Stop),
    nullptr,
};

intptr_t* StubResult(intptr_t* args, jbool result) {
  args[0] = result ? 1 : 0;
  return args + 1;
}

}  // namespace

void AddLiveInstance(NPP instance) {
  std::lock_guard lock(g_liveLock);
  g_live.insert(instance);
}

void RemoveLiveInstance(NPP instance) {
  std::lock_guard lock(g_liveLock);
  g_live.erase(instance);
}

char** NativeMethodNames() { return g_names; }
JRINativeProc* NativeMethodProcs() { return g_procs; }

jbool native_NPKLOD32_Play(JRIEnv* env, jref self, jint frame) {
  return PostCommand(env, self, WM_KL_PLAY, static_cast<win::WPARAM>(static_cast<intptr_t>(frame)));
}
jbool native_NPKLOD32_Pause(JRIEnv* env, jref self) {
  return PostCommand(env, self, WM_KL_PAUSE, 0);
}
jbool native_NPKLOD32_Stop(JRIEnv* env, jref self) { return PostCommand(env, self, WM_KL_STOP, 0); }
jbool native_NPKLOD32_EnableMarker(JRIEnv* env, jref self, jstring name) {
  return PostNamedCommand(env, self, WM_KL_ENABLEMARKER, name);
}
jbool native_NPKLOD32_EnableAnchor(JRIEnv* env, jref self, jstring name) {
  return PostNamedCommand(env, self, WM_KL_ENABLEANCHOR, name);
}

intptr_t* Java_NPKLOD32_Play_stub(intptr_t* args, JRIEnv* env) {
  jint frame = static_cast<jint>(static_cast<uint32_t>(args[1]));
  return StubResult(args, native_NPKLOD32_Play(env, reinterpret_cast<jref>(args[0]), frame));
}
intptr_t* Java_NPKLOD32_Pause_stub(intptr_t* args, JRIEnv* env) {
  return StubResult(args, native_NPKLOD32_Pause(env, reinterpret_cast<jref>(args[0])));
}
intptr_t* Java_NPKLOD32_Stop_stub(intptr_t* args, JRIEnv* env) {
  return StubResult(args, native_NPKLOD32_Stop(env, reinterpret_cast<jref>(args[0])));
}
intptr_t* Java_NPKLOD32_EnableMarker_stub(intptr_t* args, JRIEnv* env) {
  return StubResult(args, native_NPKLOD32_EnableMarker(env, reinterpret_cast<jref>(args[0]),
                                                       reinterpret_cast<jstring>(args[1])));
}
intptr_t* Java_NPKLOD32_EnableAnchor_stub(intptr_t* args, JRIEnv* env) {
  return StubResult(args, native_NPKLOD32_EnableAnchor(env, reinterpret_cast<jref>(args[0]),
                                                       reinterpret_cast<jstring>(args[1])));
}
