// The instance's scriptable object for NPRuntime browsers: what page script reaches through
// the embed element. It offers the five script methods with the natives' behaviour: Play(n),
// Pause(), Stop(), EnableMarker(name), EnableAnchor(name) post their command to the instance's
// window and return true; a wrong argument count or type, or an instance that is gone,
// returns false (the page sees an exception).
#pragma once

#include "platform/npapi/npapi.h"
#include "platform/npapi/npruntime.h"

// For NPPVpluginScriptableNPObject: the instance's object with a reference for the browser,
// made at the first request; null without NPRuntime.
NPObject* ScriptableObjectFor(NPP instance);
// For NPP_Destroy: the object, which the page may still hold, answers nothing more.
void ReleaseScriptableObject(NPP instance);
