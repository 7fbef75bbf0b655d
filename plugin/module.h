// The module's own handle, recorded by the load hook and used to register window classes and
// load resources.
#pragma once

#include "platform/win/win.h"

win::HINSTANCE ModuleInstance();
void SetModuleInstance(win::HINSTANCE instance);
