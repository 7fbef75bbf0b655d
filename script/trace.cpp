#include "script/trace.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plugin/services.h"
#include "resources/resources.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/natives.h"
#include "script/page_functions.h"

void ComposeEventName(const char* instanceName, unsigned eventId, char (&out)[kEventNameSize]) {
  char event[resources::kStringBufferSize];
  resources::LoadString(eventId, event, sizeof event);
  ComposeEventName(instanceName, event, out);
}

void ComposeEventName(const char* instanceName, const char* event, char (&out)[kEventNameSize]) {
  size_t eventLen = std::min(std::strlen(event), size_t{kEventNameSize - 2});
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

namespace {

// The script object's OnSysOut through the JRI runtime.
void TraceToPeer(NPP instance, const char* text) {
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return;
  jstring s = jri::NewStringUTF(env, text, static_cast<jint>(std::strlen(text)));
  jri::CallMethod(env, peer, b.OnSysOut, s);
}

// The script object's OnError through the JRI runtime; false when it could not be called.
bool ErrorToPeer(NPP instance, const char* name, int32_t code) {
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return false;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return false;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return false;
  jstring s = jri::NewStringUTF(env, name, static_cast<jint>(std::strlen(name)));
  jri::CallMethod(env, peer, b.OnError, s, static_cast<jint>(code));
  return true;
}

}  // namespace

void SysOut(NPP instance, const char* text) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object || !TraceEnabled(*object) || !text || !text[0]) return;
  TraceToPeer(instance, text);
  char name[kEventNameSize];
  ComposeEventName(ScriptName(*object), "OnSysOut", name);
  CallPageFunction(instance, name, text);
}

void FireOnError(NPP instance, int32_t code) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  char name[kEventNameSize];
  ComposeEventName(ScriptName(*object), resources::IDS_EVENT_ONERROR, name);
  bool delivered = ErrorToPeer(instance, name, code);
  if (CallPageFunction(instance, name, code)) {
    if (!IsLiveInstance(instance)) return;  // the page's handler removed the plug-in
    delivered = true;
  }
  if (!delivered) return;
  SysOut(instance, "<OnError>");
  SysOut(instance, std::to_string(code).c_str());
}
