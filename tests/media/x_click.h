// A left-button click as the browser hands it to a windowless plug-in: X button events through
// NPP_HandleEvent (kept apart from other headers: Xlib's macros clash with them).
#pragma once

#include "platform/npapi/npfunctions.h"

namespace klp::test {

void ClickAt(const NPPluginFuncs& plugin, NPP instance, int x, int y);

}  // namespace klp::test
