#include "script/trace.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plugin/services.h"
#include "resources/resources.h"
#include "script/binding.h"
#include "script/instance.h"

void ComposeEventName(const char* instanceName, unsigned eventId, char (&out)[kEventNameSize]) {
  char event[resources::kStringBufferSize];
  resources::LoadString(eventId, event, sizeof event);
  size_t eventLen = std::strlen(event);
  size_t pos = 0;
  if (instanceName) {
    size_t room = kEventNameSize - 1 - eventLen - 1;  // leaves space for "_" and the event name
    size_t n = std::min(std::strlen(instanceName), room);
    std::memcpy(out, instanceName, n);
    pos = n;
    out[pos++] = '_';
  }
  std::memcpy(out + pos, event, eventLen);
  out[pos + eventLen] = '\0';
}

void SysOut(NPP instance, const char* text) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object || !TraceEnabled(*object) || !text || !text[0]) return;
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return;
  jstring s = jri::NewStringUTF(env, text, static_cast<jint>(std::strlen(text)));
  jri::CallMethod(env, peer, b.OnSysOut, s);
}

void FireOnError(NPP instance, int32_t code) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  char name[kEventNameSize];
  ComposeEventName(ScriptName(*object), resources::IDS_EVENT_ONERROR, name);
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return;
  jstring s = jri::NewStringUTF(env, name, static_cast<jint>(std::strlen(name)));
  jri::CallMethod(env, peer, b.OnError, s, static_cast<jint>(code));
  SysOut(instance, "<OnError>");
  SysOut(instance, std::to_string(code).c_str());
}
