// Script events of playback: a marker passed, a project event due, an anchor activated. Each
// calls the script object's method with the composed event name and the value, then traces.
#pragma once

#include "platform/npapi/npapi.h"

void FireOnMarker(NPP instance, const char* markerName);
void FireOnKLEvent(NPP instance, const char* eventName);
void FireOnActivateAnchor(NPP instance, const char* anchorName);
