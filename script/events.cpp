#include "script/events.h"

#include <cstring>

#include "plugin/services.h"
#include "resources/resources.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/trace.h"

namespace {

void FireEvent(NPP instance, unsigned eventId, JRIMethodID ScriptClassBinding::*method,
               const char* traceLine, const char* value) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  char name[kEventNameSize];
  ComposeEventName(ScriptName(*object), eventId, name);
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return;
  if (!value) value = "";
  jstring valueString = jri::NewStringUTF(env, value, static_cast<jint>(std::strlen(value)));
  jstring nameString = jri::NewStringUTF(env, name, static_cast<jint>(std::strlen(name)));
  jri::CallMethod(env, peer, b.*method, nameString, valueString);
  SysOut(instance, traceLine);
  SysOut(instance, value);
}

}  // namespace

void FireOnMarker(NPP instance, const char* markerName) {
  FireEvent(instance, resources::IDS_EVENT_ONMARKER, &ScriptClassBinding::OnMarker, "<OnMarker>",
            markerName);
}

void FireOnKLEvent(NPP instance, const char* eventName) {
  FireEvent(instance, resources::IDS_EVENT_ONKLEVENT, &ScriptClassBinding::OnKLEvent,
            "<OnKLEvent>", eventName);
}

void FireOnActivateAnchor(NPP instance, const char* anchorName) {
  FireEvent(instance, resources::IDS_EVENT_ONACTIVATEANCHOR, &ScriptClassBinding::OnActivateAnchor,
            "<OnActivateAnchor>", anchorName);
}
