// The Java Runtime Interface environment ABI as the plug-in uses it: a JRIEnv points to a table
// of function pointers, and every call passes the environment and then the operation's index in
// that table. Only the operations the plug-in calls have typed entries below.
#pragma once

#include <cstdint>

extern "C" {

using jint = int32_t;
using jbool = uint8_t;
using jref = void*;
using jglobal = void*;
using jstring = jref;
using JRIMethodID = jint;
using JRIFieldID = jint;

inline constexpr int kJriTableSize = 130;

struct JRIEnvInterface {
  void* slot[kJriTableSize];
};
using JRIEnv = const JRIEnvInterface*;

// A native method as the runtime calls it: (environment, object, argument) -> jbool.
using JRINativeProc = void*;

}  // extern "C"

namespace jri {

// Indices of the operations in the environment's table.
enum Op : jint {
  kFindClass = 4,
  kThrowNew = 6,
  kNewGlobalRef = 10,
  kDisposeGlobalRef = 11,
  kGetGlobalRef = 12,
  kGetMethodID = 20,
  kCallMethod = 21,
  kCallMethodInt = 36,
  kGetFieldID = 48,
  kNewStringUTF = 118,
  kGetStringUTFChars = 120,
  kRegisterNatives = 128,
  kUnregisterNatives = 129,
};

// Signatures of the table entries.
using FindClassFn = jref (*)(JRIEnv* env, jint op, const char* name);
using ThrowNewFn = void (*)(JRIEnv* env, jint op, jref clazz, const char* message);
using NewGlobalRefFn = jglobal (*)(JRIEnv* env, jint op, jref ref);
using DisposeGlobalRefFn = void (*)(JRIEnv* env, jint op, jglobal ref);
using GetGlobalRefFn = jref (*)(JRIEnv* env, jint op, jglobal ref);
using GetMethodIDFn = JRIMethodID (*)(JRIEnv* env, jint op, jref clazz, const char* name,
                                      const char* signature);
using CallMethodFn = jref (*)(JRIEnv* env, jint op, jref obj, JRIMethodID method, ...);
using CallMethodIntFn = jint (*)(JRIEnv* env, jint op, jref obj, JRIMethodID method, ...);
using GetFieldIDFn = JRIFieldID (*)(JRIEnv* env, jint op, jref clazz, const char* name,
                                    const char* signature);
using NewStringUTFFn = jstring (*)(JRIEnv* env, jint op, const char* bytes, jint length);
using GetStringUTFCharsFn = const char* (*)(JRIEnv* env, jint op, jstring str);
using RegisterNativesFn = void (*)(JRIEnv* env, jint op, jref clazz, char** names,
                                   JRINativeProc* procs);
using UnregisterNativesFn = void (*)(JRIEnv* env, jint op, jref clazz);

template <typename Fn>
inline Fn Entry(JRIEnv* env, Op op) {
  return reinterpret_cast<Fn>((*env)->slot[op]);
}

}  // namespace jri
