#include "plugin/module.h"

namespace {
win::HINSTANCE g_module = nullptr;
}

win::HINSTANCE ModuleInstance() { return g_module; }
void SetModuleInstance(win::HINSTANCE instance) { g_module = instance; }
