#include "script/events.h"

#include <cstring>

#include "plugin/services.h"
#include "resources/resources.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/natives.h"
#include "script/page_functions.h"
#include "script/trace.h"

namespace {

// The script object's method through the JRI runtime; false when there is no runtime, class
// binding or peer.
bool CallPeer(NPP instance, JRIMethodID ScriptClassBinding::*method, const char* name,
              const char* value) {
  const ScriptClassBinding& b = Binding();
  if (!b.bound()) return false;
  jref peer = NPN_GetJavaPeer(instance);
  if (!peer) return false;
  JRIEnv* env = NPN_GetJavaEnv();
  if (!env) return false;
  jstring valueString = jri::NewStringUTF(env, value, static_cast<jint>(std::strlen(value)));
  jstring nameString = jri::NewStringUTF(env, name, static_cast<jint>(std::strlen(name)));
  jri::CallMethod(env, peer, b.*method, nameString, valueString);
  return true;
}

// Delivers the event to the script object's method (JRI) and to the page function of the
// composed name (NPRuntime), then traces it when either took it.
void FireEvent(NPP instance, unsigned eventId, JRIMethodID ScriptClassBinding::*method,
               const char* traceLine, const char* value) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  char name[kEventNameSize];
  ComposeEventName(ScriptName(*object), eventId, name);
  if (!value) value = "";
  bool delivered = CallPeer(instance, method, name, value);
  if (CallPageFunction(instance, name, value)) {
    if (!IsLiveInstance(instance)) return;  // the page's handler removed the plug-in
    delivered = true;
  }
  if (!delivered) return;
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
