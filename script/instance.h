// What the script bridge reads of an instance: the object in the instance's private-data slot
// (the instance's CKLPluginWindow, defined with the window) and three of its fields.
#pragma once

#include "platform/npapi/npapi.h"
#include "platform/win/win.h"

class CKLPluginWindow;

// The object in the instance's private-data slot, or null (no instance, or an empty slot).
CKLPluginWindow* InstanceObject(NPP instance);
// m_debug: trace lines are delivered.
bool TraceEnabled(const CKLPluginWindow& object);
// m_name: the instance's script name, or null when the page gave none.
const char* ScriptName(const CKLPluginWindow& object);
// m_hwnd: the window that command messages are posted to, or null before it is attached.
win::HWND CommandWindow(const CKLPluginWindow& object);
