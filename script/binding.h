// The binding of the script class NPKLOD32: the global reference to the class and the ids of
// the thirteen members the module uses, shared by all instances. Bound by use_NPKLOD32 (from
// NP_Initialize), released by unuse_NPKLOD32 (from NP_Shutdown).
//
// A script class for this module declares: the name NPKLOD32 (no package); an int field count;
// a constructor without arguments; the natives EnableAnchor(String)Z, EnableMarker(String)Z,
// Play(I)Z, Pause()Z, Stop()Z; GetPeerEx()I; and OnMarker, OnKLEvent, OnActivateAnchor
// (String, String)V, OnError(String, I)V, OnSysOut(String)V.
#pragma once

#include "platform/jri/jri.h"
#include "platform/npapi/export.h"

struct ScriptClassBinding {
  jglobal classRef = nullptr;
  JRIFieldID count = -1;
  JRIMethodID EnableAnchor = -1;
  JRIMethodID EnableMarker = -1;
  JRIMethodID Play = -1;
  JRIMethodID Pause = -1;
  JRIMethodID Stop = -1;
  JRIMethodID OnMarker = -1;
  JRIMethodID OnKLEvent = -1;
  JRIMethodID OnActivateAnchor = -1;
  JRIMethodID OnError = -1;
  JRIMethodID OnSysOut = -1;
  JRIMethodID GetPeerEx = -1;
  JRIMethodID init = -1;

  // Runtime calls are made only while the class is bound.
  bool bound() const { return classRef != nullptr; }
};

const ScriptClassBinding& Binding();

// For NP_Initialize: binds the class and returns a further global reference to it for the
// browser's javaClass member (the browser's to keep), or none.
jref HandOverScriptClass();
// For NP_Shutdown: releases the binding when the browser has a runtime.
void ReleaseScriptClass();

KLP_EXPORT jref use_NPKLOD32(JRIEnv* env);
KLP_EXPORT void unuse_NPKLOD32(JRIEnv* env);
KLP_EXPORT jref register_NPKLOD32(JRIEnv* env);
KLP_EXPORT void unregister_NPKLOD32(JRIEnv* env);
