// The browser's services and the script runtime's operations as the module calls them.
//
// The browser's service table is recorded by NP_Initialize. Every wrapper tolerates a missing
// table or a missing member (a browser that offers less): it then does nothing and answers
// none, 0 or the error the caller would see from a browser that refused.
#pragma once

#include "platform/jri/jri.h"
#include "platform/npapi/npfunctions.h"

void SetBrowserFuncs(NPNetscapeFuncs* funcs);  // null forgets the table
NPNetscapeFuncs* BrowserFuncs();

// Forwards when the browser's minor version is 9 or more; else NPERR_INCOMPATIBLE_VERSION_ERROR.
NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);
JRIEnv* NPN_GetJavaEnv();
jref NPN_GetJavaPeer(NPP instance);
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value);
void NPN_InvalidateRect(NPP instance, NPRect* rect);
void NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData);
// 0 when the browser has no timer service.
uint32_t NPN_ScheduleTimer(NPP instance, uint32_t interval, NPBool repeat,
                           void (*timerFunc)(NPP npp, uint32_t timerID));
void NPN_UnscheduleTimer(NPP instance, uint32_t timerID);
bool NPN_HasScheduleTimer();
bool NPN_HasPluginThreadAsyncCall();

// NPRuntime. NPN_HasNPRuntime tells whether the browser offers all of the calls below; each
// call answers none, false or does nothing when its member is missing.
bool NPN_HasNPRuntime();
void NPN_MemFree(void* ptr);
NPIdentifier NPN_GetStringIdentifier(const char* name);
bool NPN_IdentifierIsString(NPIdentifier identifier);
char* NPN_UTF8FromIdentifier(NPIdentifier identifier);  // the caller frees it with NPN_MemFree
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* obj);
void NPN_ReleaseObject(NPObject* obj);
bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                uint32_t argCount, NPVariant* result);
bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);

// The runtime's operations by their index in the environment's table. A null environment
// makes every call a no-op answering none or -1.
namespace jri {
jref FindClass(JRIEnv* env, const char* name);
void ThrowNew(JRIEnv* env, jref clazz, const char* message);
jglobal NewGlobalRef(JRIEnv* env, jref ref);
void DisposeGlobalRef(JRIEnv* env, jglobal ref);
jref GetGlobalRef(JRIEnv* env, jglobal ref);
JRIMethodID GetMethodID(JRIEnv* env, jref clazz, const char* name, const char* signature);
JRIFieldID GetFieldID(JRIEnv* env, jref clazz, const char* name, const char* signature);
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg);
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg1, jref arg2);
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg1, jint arg2);
jint CallMethodInt(JRIEnv* env, jref obj, JRIMethodID method);
jstring NewStringUTF(JRIEnv* env, const char* bytes, jint length);
const char* GetStringUTFChars(JRIEnv* env, jstring str);
void RegisterNatives(JRIEnv* env, jref clazz, char** names, JRINativeProc* procs);
void UnregisterNatives(JRIEnv* env, jref clazz);
}  // namespace jri
