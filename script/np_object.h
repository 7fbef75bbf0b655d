// NPRuntime objects built from the hooks a class defines. T derives from NPObjectBase<T> and
// hides the hooks it answers (HasMethod, Invoke, Invalidate); the others keep the harmless
// defaults here. One NPClass per T is made from the hooks.
#pragma once

#include <new>

#include "platform/npapi/npruntime.h"
#include "plugin/services.h"

template <typename T>
class NPObjectBase : public NPObject {
 public:
  static NPClass* Class() {
    static NPClass c = {
        NP_CLASS_STRUCT_VERSION, &Allocate, &Deallocate, &InvalidateThunk, &HasMethodThunk,
        &InvokeThunk, &InvokeDefaultThunk, &HasPropertyThunk, &GetPropertyThunk,
        nullptr,  // setProperty
        nullptr,  // removeProperty
        nullptr,  // enumerate
        nullptr,  // construct
    };
    return &c;
  }
  // A new object with one reference, through the browser; null without NPRuntime.
  static T* Create(NPP npp) {
    return static_cast<T*>(static_cast<NPObjectBase*>(NPN_CreateObject(npp, Class())));
  }

  NPP npp() const { return npp_; }

 protected:
  explicit NPObjectBase(NPP npp) : npp_(npp) {}
  ~NPObjectBase() = default;

  // Default hooks.
  bool HasMethod(NPIdentifier) { return false; }
  bool Invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) { return false; }
  bool InvokeDefault(const NPVariant*, uint32_t, NPVariant*) { return false; }
  bool HasProperty(NPIdentifier) { return false; }
  bool GetProperty(NPIdentifier, NPVariant*) { return false; }
  void Invalidate() {}

  NPP npp_;

 private:
  static T* Self(NPObject* o) { return static_cast<T*>(static_cast<NPObjectBase*>(o)); }
  static NPObject* Allocate(void* npp, NPClass*) {
    return new (std::nothrow) T(static_cast<NPP>(npp));
  }
  static void Deallocate(NPObject* o) { delete Self(o); }
  static void InvalidateThunk(NPObject* o) { Self(o)->Invalidate(); }
  static bool HasMethodThunk(NPObject* o, NPIdentifier name) { return Self(o)->HasMethod(name); }
  static bool InvokeThunk(NPObject* o, NPIdentifier name, const NPVariant* args, uint32_t count,
                          NPVariant* result) {
    return Self(o)->Invoke(name, args, count, result);
  }
  static bool InvokeDefaultThunk(NPObject* o, const NPVariant* args, uint32_t count,
                                 NPVariant* result) {
    return Self(o)->InvokeDefault(args, count, result);
  }
  static bool HasPropertyThunk(NPObject* o, NPIdentifier name) {
    return Self(o)->HasProperty(name);
  }
  static bool GetPropertyThunk(NPObject* o, NPIdentifier name, NPVariant* result) {
    return Self(o)->GetProperty(name, result);
  }
};
