#include "script/natives.h"

#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "plugin/services.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/messages.h"

char* CopyCommandName(const char* text) { return CopyCommandName(text, std::strlen(text)); }

char* CopyCommandName(const char* text, size_t length) {
  char* copy = new (std::nothrow) char[length + 1];
  if (!copy) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void FreeCommandName(char* name) { delete[] name; }

namespace {

std::mutex g_liveLock;
std::set<NPP> g_live;

// Runs post(window) for a live instance that has its object, under the lock that keeps the
// instance alive meanwhile. False when there is none.
template <typename Post>
bool WithLiveWindow(NPP instance, Post post) {
  std::lock_guard lock(g_liveLock);
  CKLPluginWindow* object = g_live.count(instance) ? InstanceObject(instance) : nullptr;
  if (!object) return false;
  return post(CommandWindow(*object));
}

// The live instance named by the script object's peer value; none when no instance or more
// than one has that value.
NPP PeerInstance(JRIEnv* env, jref self) {
  const ScriptClassBinding& b = Binding();
  if (!env || !b.bound()) return nullptr;
  uint32_t peer = static_cast<uint32_t>(jri::CallMethodInt(env, self, b.GetPeerEx));
  std::lock_guard lock(g_liveLock);
  NPP found = nullptr;
  for (NPP npp : g_live) {
    if (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(npp)) != peer) continue;
    if (found) return nullptr;  // ambiguous
    found = npp;
  }
  return found;
}

bool PostTo(NPP instance, win::UINT msg, win::WPARAM wParam) {
  return WithLiveWindow(instance, [&](win::HWND hwnd) {
    if (hwnd) win::PostMessageA(hwnd, msg, wParam, 0);
    return true;  // a command without a window is dropped
  });
}

// Posts a copy of text (length bytes and a terminating zero) for the message to carry.
bool PostCopy(win::HWND hwnd, win::UINT msg, const char* text, size_t length) {
  char* copy = text ? CopyCommandName(text, length) : nullptr;
  if (!copy) return false;
  if (!hwnd || !win::PostMessageA(hwnd, msg, reinterpret_cast<win::WPARAM>(copy), 0))
    FreeCommandName(copy);  // no window to take it
  return true;
}

bool PostNamedTo(NPP instance, win::UINT msg, const char* text, size_t length) {
  return WithLiveWindow(instance,
                        [&](win::HWND hwnd) { return PostCopy(hwnd, msg, text, length); });
}

jbool PostCommand(JRIEnv* env, jref self, win::UINT msg, win::WPARAM wParam) {
  NPP instance = PeerInstance(env, self);
  return instance && PostTo(instance, msg, wParam);
}

jbool PostNamedCommand(JRIEnv* env, jref self, win::UINT msg, jstring name) {
  NPP instance = PeerInstance(env, self);
  return instance && WithLiveWindow(instance, [&](win::HWND hwnd) {
           const char* text = jri::GetStringUTFChars(env, name);
           return PostCopy(hwnd, msg, text, text ? std::strlen(text) : 0);
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

bool IsLiveInstance(NPP instance) {
  std::lock_guard lock(g_liveLock);
  return g_live.count(instance) != 0;
}

bool PostScriptCommand(NPP instance, win::UINT msg, win::WPARAM wParam) {
  return PostTo(instance, msg, wParam);
}

bool PostScriptNamedCommand(NPP instance, win::UINT msg, const char* text, size_t length) {
  return PostNamedTo(instance, msg, text, length);
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
