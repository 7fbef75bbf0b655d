// The script class's native methods Play, Pause, Stop, EnableMarker and EnableAnchor, their
// stubs, and the table of live instances through which a native finds its instance.
//
// A native learns its instance from the script object's GetPeerEx, which returns 32 bits. The
// convention on 64-bit platforms: GetPeerEx returns the low 32 bits of the instance's NPP value;
// a native accepts the value only when it names exactly one live instance of this module, and
// otherwise returns false and posts nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/jri/jri.h"
#include "platform/npapi/export.h"
#include "platform/npapi/npapi.h"
#include "platform/win/win.h"

// Live instances, from NPP_New to NPP_Destroy. Thread-safe.
void AddLiveInstance(NPP instance);
void RemoveLiveInstance(NPP instance);
bool IsLiveInstance(NPP instance);

// What every script method does, whichever runtime calls it: posts msg to the window of a live
// instance and answers true (a command for an instance without a window yet is dropped); false,
// posting nothing, when the instance is not live or has no object. The named form posts a copy
// of the length bytes of text; false when the copy cannot be made.
bool PostScriptCommand(NPP instance, win::UINT msg, win::WPARAM wParam);
bool PostScriptNamedCommand(NPP instance, win::UINT msg, const char* text, size_t length);

// The registration table: five method descriptions and their functions, each list ending with
// a null entry.
char** NativeMethodNames();
JRINativeProc* NativeMethodProcs();

KLP_EXPORT jbool native_NPKLOD32_Play(JRIEnv* env, jref self, jint frame);
KLP_EXPORT jbool native_NPKLOD32_Pause(JRIEnv* env, jref self);
KLP_EXPORT jbool native_NPKLOD32_Stop(JRIEnv* env, jref self);
KLP_EXPORT jbool native_NPKLOD32_EnableMarker(JRIEnv* env, jref self, jstring name);
KLP_EXPORT jbool native_NPKLOD32_EnableAnchor(JRIEnv* env, jref self, jstring name);

// Stubs: cells are pointer-sized; cell 0 the object, cell 1 the argument. The result goes into
// cell 0 as 1 or 0; the address of cell 1 is returned.
KLP_EXPORT intptr_t* Java_NPKLOD32_Play_stub(intptr_t* args, JRIEnv* env);
KLP_EXPORT intptr_t* Java_NPKLOD32_Pause_stub(intptr_t* args, JRIEnv* env);
KLP_EXPORT intptr_t* Java_NPKLOD32_Stop_stub(intptr_t* args, JRIEnv* env);
KLP_EXPORT intptr_t* Java_NPKLOD32_EnableMarker_stub(intptr_t* args, JRIEnv* env);
KLP_EXPORT intptr_t* Java_NPKLOD32_EnableAnchor_stub(intptr_t* args, JRIEnv* env);
