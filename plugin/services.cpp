#include "plugin/services.h"

#include <atomic>

namespace {
std::atomic<NPNetscapeFuncs*> g_browser{nullptr};

template <typename F>
F Member(F NPNetscapeFuncs::*member) {
  NPNetscapeFuncs* b = g_browser.load();
  return b ? b->*member : nullptr;
}
}  // namespace

void SetBrowserFuncs(NPNetscapeFuncs* funcs) { g_browser = funcs; }
NPNetscapeFuncs* BrowserFuncs() { return g_browser; }

NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData) {
  NPNetscapeFuncs* b = g_browser;
  if (!b || (b->version & 0xFF) < 9) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  if (!b->geturlnotify) return NPERR_GENERIC_ERROR;
  return b->geturlnotify(instance, url, target, notifyData);
}

JRIEnv* NPN_GetJavaEnv() {
  auto f = Member(&NPNetscapeFuncs::getJavaEnv);
  return f ? f() : nullptr;
}

jref NPN_GetJavaPeer(NPP instance) {
  auto f = Member(&NPNetscapeFuncs::getJavaPeer);
  return f ? f(instance) : nullptr;
}

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
  auto f = Member(&NPNetscapeFuncs::getvalue);
  return f ? f(instance, variable, value) : NPERR_GENERIC_ERROR;
}

NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
  auto f = Member(&NPNetscapeFuncs::setvalue);
  return f ? f(instance, variable, value) : NPERR_GENERIC_ERROR;
}

void NPN_InvalidateRect(NPP instance, NPRect* rect) {
  if (auto f = Member(&NPNetscapeFuncs::invalidaterect)) f(instance, rect);
}

void NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData) {
  if (auto f = Member(&NPNetscapeFuncs::pluginthreadasynccall)) f(instance, func, userData);
}

uint32_t NPN_ScheduleTimer(NPP instance, uint32_t interval, NPBool repeat,
                           void (*timerFunc)(NPP npp, uint32_t timerID)) {
  auto f = Member(&NPNetscapeFuncs::scheduletimer);
  return f ? f(instance, interval, repeat, timerFunc) : 0;
}

void NPN_UnscheduleTimer(NPP instance, uint32_t timerID) {
  if (auto f = Member(&NPNetscapeFuncs::unscheduletimer)) f(instance, timerID);
}

bool NPN_HasScheduleTimer() {
  return Member(&NPNetscapeFuncs::scheduletimer) && Member(&NPNetscapeFuncs::unscheduletimer);
}
bool NPN_HasPluginThreadAsyncCall() { return Member(&NPNetscapeFuncs::pluginthreadasynccall); }

bool NPN_HasNPRuntime() {
  return Member(&NPNetscapeFuncs::memfree) && Member(&NPNetscapeFuncs::getstringidentifier) &&
         Member(&NPNetscapeFuncs::identifierisstring) &&
         Member(&NPNetscapeFuncs::utf8fromidentifier) && Member(&NPNetscapeFuncs::createobject) &&
         Member(&NPNetscapeFuncs::retainobject) && Member(&NPNetscapeFuncs::releaseobject) &&
         Member(&NPNetscapeFuncs::invoke) && Member(&NPNetscapeFuncs::getproperty) &&
         Member(&NPNetscapeFuncs::releasevariantvalue);
}

void NPN_MemFree(void* ptr) {
  if (auto f = Member(&NPNetscapeFuncs::memfree)) f(ptr);
}

NPIdentifier NPN_GetStringIdentifier(const char* name) {
  auto f = Member(&NPNetscapeFuncs::getstringidentifier);
  return f ? f(name) : nullptr;
}

bool NPN_IdentifierIsString(NPIdentifier identifier) {
  auto f = Member(&NPNetscapeFuncs::identifierisstring);
  return f && f(identifier);
}

char* NPN_UTF8FromIdentifier(NPIdentifier identifier) {
  auto f = Member(&NPNetscapeFuncs::utf8fromidentifier);
  return f ? f(identifier) : nullptr;
}

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
  auto f = Member(&NPNetscapeFuncs::createobject);
  return f ? f(npp, aClass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* obj) {
  auto f = Member(&NPNetscapeFuncs::retainobject);
  return f && obj ? f(obj) : obj;
}

void NPN_ReleaseObject(NPObject* obj) {
  auto f = Member(&NPNetscapeFuncs::releaseobject);
  if (f && obj) f(obj);
}

bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                uint32_t argCount, NPVariant* result) {
  auto f = Member(&NPNetscapeFuncs::invoke);
  return f && f(npp, obj, methodName, args, argCount, result);
}

bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result) {
  auto f = Member(&NPNetscapeFuncs::getproperty);
  return f && f(npp, obj, propertyName, result);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (auto f = Member(&NPNetscapeFuncs::releasevariantvalue)) f(variant);
}

namespace jri {

jref FindClass(JRIEnv* env, const char* name) {
  return env ? Entry<FindClassFn>(env, kFindClass)(env, kFindClass, name) : nullptr;
}
void ThrowNew(JRIEnv* env, jref clazz, const char* message) {
  if (env) Entry<ThrowNewFn>(env, kThrowNew)(env, kThrowNew, clazz, message);
}
jglobal NewGlobalRef(JRIEnv* env, jref ref) {
  return env ? Entry<NewGlobalRefFn>(env, kNewGlobalRef)(env, kNewGlobalRef, ref) : nullptr;
}
void DisposeGlobalRef(JRIEnv* env, jglobal ref) {
  if (env) Entry<DisposeGlobalRefFn>(env, kDisposeGlobalRef)(env, kDisposeGlobalRef, ref);
}
jref GetGlobalRef(JRIEnv* env, jglobal ref) {
  return env ? Entry<GetGlobalRefFn>(env, kGetGlobalRef)(env, kGetGlobalRef, ref) : nullptr;
}
JRIMethodID GetMethodID(JRIEnv* env, jref clazz, const char* name, const char* signature) {
  return env ? Entry<GetMethodIDFn>(env, kGetMethodID)(env, kGetMethodID, clazz, name, signature)
             : -1;
}
JRIFieldID GetFieldID(JRIEnv* env, jref clazz, const char* name, const char* signature) {
  return env ? Entry<GetFieldIDFn>(env, kGetFieldID)(env, kGetFieldID, clazz, name, signature)
             : -1;
}
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg) {
  if (env) Entry<CallMethodFn>(env, kCallMethod)(env, kCallMethod, obj, method, arg);
}
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg1, jref arg2) {
  if (env) Entry<CallMethodFn>(env, kCallMethod)(env, kCallMethod, obj, method, arg1, arg2);
}
void CallMethod(JRIEnv* env, jref obj, JRIMethodID method, jref arg1, jint arg2) {
  if (env) Entry<CallMethodFn>(env, kCallMethod)(env, kCallMethod, obj, method, arg1, arg2);
}
jint CallMethodInt(JRIEnv* env, jref obj, JRIMethodID method) {
  // Taken from its own slot, but called with CallMethod's index, as runtimes expect of it.
  return env ? Entry<CallMethodIntFn>(env, kCallMethodInt)(env, kCallMethod, obj, method) : 0;
}
jstring NewStringUTF(JRIEnv* env, const char* bytes, jint length) {
  return env ? Entry<NewStringUTFFn>(env, kNewStringUTF)(env, kNewStringUTF, bytes, length)
             : nullptr;
}
const char* GetStringUTFChars(JRIEnv* env, jstring str) {
  return env ? Entry<GetStringUTFCharsFn>(env, kGetStringUTFChars)(env, kGetStringUTFChars, str)
             : nullptr;
}
void RegisterNatives(JRIEnv* env, jref clazz, char** names, JRINativeProc* procs) {
  if (env)
    Entry<RegisterNativesFn>(env, kRegisterNatives)(env, kRegisterNatives, clazz, names, procs);
}
void UnregisterNatives(JRIEnv* env, jref clazz) {
  if (env) Entry<UnregisterNativesFn>(env, kUnregisterNatives)(env, kUnregisterNatives, clazz);
}

}  // namespace jri
