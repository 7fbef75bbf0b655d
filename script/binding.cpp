#include "script/binding.h"

#include "plugin/services.h"
#include "script/natives.h"

namespace {

ScriptClassBinding g_binding;

constexpr const char* kClassName = "NPKLOD32";
constexpr const char* kNotFound = "java/lang/ClassNotFoundException";

jref FindScriptClass(JRIEnv* env) {
  jref clazz = jri::FindClass(env, kClassName);
  if (!clazz) jri::ThrowNew(env, jri::FindClass(env, kNotFound), kClassName);
  return clazz;
}

}  // namespace

const ScriptClassBinding& Binding() { return g_binding; }

jref use_NPKLOD32(JRIEnv* env) {
  if (!env) return nullptr;
  if (g_binding.classRef) return jri::GetGlobalRef(env, g_binding.classRef);
  jref clazz = FindScriptClass(env);
  if (!clazz) return nullptr;
  ScriptClassBinding& b = g_binding;
  constexpr const char* kEvent = "(Ljava/lang/String;Ljava/lang/String;)V";
  b.count = jri::GetFieldID(env, clazz, "count", "I");
  b.EnableAnchor = jri::GetMethodID(env, clazz, "EnableAnchor", "(Ljava/lang/String;)Z");
  b.EnableMarker = jri::GetMethodID(env, clazz, "EnableMarker", "(Ljava/lang/String;)Z");
  b.Play = jri::GetMethodID(env, clazz, "Play", "(I)Z");
  b.Pause = jri::GetMethodID(env, clazz, "Pause", "()Z");
  b.Stop = jri::GetMethodID(env, clazz, "Stop", "()Z");
  b.OnMarker = jri::GetMethodID(env, clazz, "OnMarker", kEvent);
  b.OnKLEvent = jri::GetMethodID(env, clazz, "OnKLEvent", kEvent);
  b.OnActivateAnchor = jri::GetMethodID(env, clazz, "OnActivateAnchor", kEvent);
  b.OnError = jri::GetMethodID(env, clazz, "OnError", "(Ljava/lang/String;I)V");
  b.OnSysOut = jri::GetMethodID(env, clazz, "OnSysOut", "(Ljava/lang/String;)V");
  b.GetPeerEx = jri::GetMethodID(env, clazz, "GetPeerEx", "()I");
  b.init = jri::GetMethodID(env, clazz, "<init>", "()V");
  b.classRef = jri::NewGlobalRef(env, clazz);
  return clazz;
}

void unuse_NPKLOD32(JRIEnv* env) {
  if (!env || !g_binding.classRef) return;
  jglobal ref = g_binding.classRef;
  g_binding = ScriptClassBinding{};
  jri::DisposeGlobalRef(env, ref);
}

jref register_NPKLOD32(JRIEnv* env) {
  if (!env) return nullptr;
  jref clazz = FindScriptClass(env);
  if (!clazz) return nullptr;
  jri::RegisterNatives(env, clazz, NativeMethodNames(), NativeMethodProcs());
  return use_NPKLOD32(env);
}

void unregister_NPKLOD32(JRIEnv* env) {
  if (!env) return;
  jri::UnregisterNatives(env, jri::FindClass(env, kClassName));
  unuse_NPKLOD32(env);
}

jref HandOverScriptClass() {
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return nullptr;
  jref clazz = use_NPKLOD32(env);
  return clazz ? jri::NewGlobalRef(env, clazz) : nullptr;
}

void ReleaseScriptClass() {
  if (JRIEnv* env = NPN_GetJavaEnv()) unuse_NPKLOD32(env);
}
