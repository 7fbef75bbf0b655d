#include "script/scriptable.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

#include "plugin/services.h"
#include "script/messages.h"
#include "script/natives.h"
#include "script/np_object.h"

namespace {

class MovieObject : public NPObjectBase<MovieObject> {
 public:
  explicit MovieObject(NPP npp) : NPObjectBase(npp) {}

  bool HasMethod(NPIdentifier name) { return Find(name) != nullptr; }
  bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result) {
    const Method* m = Find(name);
    if (!m || !npp_ || (count && !args) || !result) return false;
    if (!(this->*m->handler)(args, count)) return false;
    result->type = NPVariantType_Bool;
    result->value.boolValue = true;
    return true;
  }
  void Invalidate() { npp_ = nullptr; }
  void Detach() { npp_ = nullptr; }

 private:
  struct Method {
    std::string_view name;
    bool (MovieObject::*handler)(const NPVariant* args, uint32_t count);
  };
  static const Method kMethods[5];

  static const Method* Find(NPIdentifier id) {
    if (!id || !NPN_IdentifierIsString(id)) return nullptr;
    char* name = NPN_UTF8FromIdentifier(id);
    if (!name) return nullptr;
    const Method* found = nullptr;
    for (const Method& m : kMethods)
      if (m.name == name) found = &m;
    NPN_MemFree(name);
    return found;
  }

  // Play(frame): a number; doubles are cut toward zero and must fit 32 bits.
  bool Play(const NPVariant* args, uint32_t count) {
    if (count != 1) return false;
    int32_t frame;
    if (args[0].type == NPVariantType_Int32) {
      frame = args[0].value.intValue;
    } else if (args[0].type == NPVariantType_Double) {
      double d = std::trunc(args[0].value.doubleValue);
      if (!std::isfinite(d) || d < INT32_MIN || d > INT32_MAX) return false;
      frame = static_cast<int32_t>(d);
    } else {
      return false;
    }
    return PostScriptCommand(npp_, WM_KL_PLAY, static_cast<win::WPARAM>(static_cast<intptr_t>(frame)));
  }
  bool Pause(const NPVariant*, uint32_t count) {
    return count == 0 && PostScriptCommand(npp_, WM_KL_PAUSE, 0);
  }
  bool Stop(const NPVariant*, uint32_t count) {
    return count == 0 && PostScriptCommand(npp_, WM_KL_STOP, 0);
  }
  bool Named(win::UINT msg, const NPVariant* args, uint32_t count) {
    if (count != 1 || args[0].type != NPVariantType_String) return false;
    const NPString& s = args[0].value.stringValue;
    const char* text = s.UTF8Characters ? s.UTF8Characters : "";
    return PostScriptNamedCommand(npp_, msg, text, s.UTF8Characters ? s.UTF8Length : 0);
  }
  bool EnableMarker(const NPVariant* args, uint32_t count) {
    return Named(WM_KL_ENABLEMARKER, args, count);
  }
  bool EnableAnchor(const NPVariant* args, uint32_t count) {
    return Named(WM_KL_ENABLEANCHOR, args, count);
  }
};

const MovieObject::Method MovieObject::kMethods[5] = {
    {"Play", &MovieObject::Play},
    {"Pause", &MovieObject::Pause},
    {"Stop", &MovieObject::Stop},
    {"EnableMarker", &MovieObject::EnableMarker},
    {"EnableAnchor", &MovieObject::EnableAnchor},
};

std::mutex g_lock;
std::map<NPP, MovieObject*> g_objects;  // one reference each, held for the instance

}  // namespace

NPObject* ScriptableObjectFor(NPP instance) {
  if (!instance || !NPN_HasNPRuntime()) return nullptr;
  std::lock_guard lock(g_lock);
  MovieObject*& object = g_objects[instance];
  if (!object) object = MovieObject::Create(instance);
  if (!object) {
    g_objects.erase(instance);
    return nullptr;
  }
  return NPN_RetainObject(object);
}

void ReleaseScriptableObject(NPP instance) {
  MovieObject* object = nullptr;
  {
    std::lock_guard lock(g_lock);
    auto it = g_objects.find(instance);
    if (it == g_objects.end()) return;
    object = it->second;
    g_objects.erase(it);
  }
  object->Detach();
  NPN_ReleaseObject(object);
}
