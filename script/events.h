// Script events of playback: a marker passed, a project event due, an anchor activated. Each
// calls the script object's method with the composed event name and the value (JRI) and the
// page function of the composed name with the value (NPRuntime, when the page defines it),
// then traces when either took it.
#pragma once

#include "platform/npapi/npapi.h"

void FireOnMarker(NPP instance, const char* markerName);
void FireOnKLEvent(NPP instance, const char* eventName);
void FireOnActivateAnchor(NPP instance, const char* anchorName);
