// NPRuntime declarations: the scriptable-object interface of NPAPI browsers.
#pragma once

#include <cstdint>

extern "C" {

using NPIdentifier = void*;
struct NPObject;
struct NPClass;

struct NPString {
  const char* UTF8Characters;
  uint32_t UTF8Length;
};

enum NPVariantType {
  NPVariantType_Void,
  NPVariantType_Null,
  NPVariantType_Bool,
  NPVariantType_Int32,
  NPVariantType_Double,
  NPVariantType_String,
  NPVariantType_Object
};

struct NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
};

using NPAllocateFunctionPtr = NPObject* (*)(void* npp, NPClass* aClass);
using NPDeallocateFunctionPtr = void (*)(NPObject* npobj);
using NPInvalidateFunctionPtr = void (*)(NPObject* npobj);
using NPHasMethodFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPInvokeFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                     uint32_t argCount, NPVariant* result);
using NPInvokeDefaultFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args,
                                            uint32_t argCount, NPVariant* result);
using NPHasPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPGetPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name, NPVariant* result);
using NPSetPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name,
                                          const NPVariant* value);
using NPRemovePropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPEnumerationFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
using NPConstructFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                        NPVariant* result);

struct NPClass {
  uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

struct NPObject {
  NPClass* _class;
  uint32_t referenceCount;
};

}  // extern "C"

inline constexpr uint32_t NP_CLASS_STRUCT_VERSION = 3;
