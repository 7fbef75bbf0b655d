#include "tests/host/script_runtime.h"

#include <cstdarg>
#include <cstring>
#include <utility>

namespace klp::host {

ScriptRuntime* ScriptRuntime::current_ = nullptr;

// The environment's table entries, with the signatures of platform/jri/jri.h.
struct RuntimeTable {
  static ScriptRuntime& rt() { return *ScriptRuntime::current_; }

  static void Record(int slot, jint op, std::string what) {
    rt().calls_.push_back(JriCall{slot, op, std::move(what)});
  }
  static std::string Str(const char* s) { return s ? s : "(null)"; }

  static std::string Text(jstring s) {
    for (const auto& owned : rt().strings_)
      if (owned.get() == s) return *owned;
    return "(not a string)";
  }

  static NPP InstanceOf(jref obj) {
    auto* peer = static_cast<const Peer*>(obj);
    return rt().peers_.count(peer) ? peer->instance : nullptr;
  }

  static std::string MethodName(JRIMethodID id) {
    for (const auto& [name, value] : rt().methodIds_)
      if (value == id) return name;
    return "?";
  }

  static jint IdFor(std::map<std::string, jint>& ids, const char* name) {
    auto [it, added] = ids.try_emplace(Str(name), rt().nextId_);
    if (added) ++rt().nextId_;
    return it->second;
  }

  static jref FindClass(JRIEnv*, jint op, const char* name) {
    Record(jri::kFindClass, op, "FindClass " + Str(name));
    if (name && std::strcmp(name, "NPKLOD32") == 0)
      return rt().classFound_ ? &rt().classTag_ : nullptr;
    if (name && std::strcmp(name, "java/lang/ClassNotFoundException") == 0)
      return &rt().exceptionClassTag_;
    return nullptr;
  }

  static void ThrowNew(JRIEnv*, jint op, jref clazz, const char* message) {
    std::string cls = clazz == &rt().exceptionClassTag_ ? "ClassNotFoundException" : "?";
    Record(jri::kThrowNew, op, "ThrowNew " + cls + " " + Str(message));
  }

  static jglobal NewGlobalRef(JRIEnv*, jint op, jref ref) {
    Record(jri::kNewGlobalRef, op, "NewGlobalRef");
    rt().globalHandles_.push_back(std::make_unique<char>());
    jglobal handle = rt().globalHandles_.back().get();
    rt().globals_[handle] = ref;
    return handle;
  }

  static void DisposeGlobalRef(JRIEnv*, jint op, jglobal ref) {
    Record(jri::kDisposeGlobalRef, op,
           rt().globals_.erase(ref) ? "DisposeGlobalRef" : "DisposeGlobalRef (unknown)");
  }

  static jref GetGlobalRef(JRIEnv*, jint op, jglobal ref) {
    Record(jri::kGetGlobalRef, op, "GetGlobalRef");
    return rt().Referent(ref);
  }

  static JRIMethodID GetMethodID(JRIEnv*, jint op, jref, const char* name, const char* sig) {
    Record(jri::kGetMethodID, op, "GetMethodID " + Str(name) + " " + Str(sig));
    return IdFor(rt().methodIds_, name);
  }

  static JRIFieldID GetFieldID(JRIEnv*, jint op, jref, const char* name, const char* sig) {
    Record(jri::kGetFieldID, op, "GetFieldID " + Str(name) + " " + Str(sig));
    return IdFor(rt().fieldIds_, name);
  }

  // Reads the arguments each script method of the class takes.
  static jref CallMethod(JRIEnv*, jint op, jref obj, JRIMethodID method, ...) {
    std::string name = MethodName(method);
    Record(jri::kCallMethod, op, "CallMethod " + name);
    std::vector<std::string> args;
    va_list ap;
    va_start(ap, method);
    if (name == "OnSysOut") {
      args.push_back(Text(va_arg(ap, jstring)));
    } else if (name == "OnError") {
      args.push_back(Text(va_arg(ap, jstring)));
      args.push_back(std::to_string(va_arg(ap, jint)));
    } else if (name == "OnMarker" || name == "OnKLEvent" || name == "OnActivateAnchor") {
      args.push_back(Text(va_arg(ap, jstring)));
      args.push_back(Text(va_arg(ap, jstring)));
    }
    va_end(ap);
    rt().scriptCalls_.push_back(ScriptCall{InstanceOf(obj), name, std::move(args)});
    return nullptr;
  }

  static jint CallMethodInt(JRIEnv*, jint op, jref obj, JRIMethodID method, ...) {
    std::string name = MethodName(method);
    Record(jri::kCallMethodInt, op, "CallMethodInt " + name);
    NPP instance = InstanceOf(obj);
    if (name != "GetPeerEx" || !instance) return 0;
    return static_cast<jint>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(instance)));
  }

  static jstring NewStringUTF(JRIEnv*, jint op, const char* bytes, jint length) {
    std::string text = bytes && length > 0 ? std::string(bytes, static_cast<size_t>(length)) : "";
    Record(jri::kNewStringUTF, op, "NewStringUTF " + text);
    rt().strings_.push_back(std::make_unique<std::string>(std::move(text)));
    return rt().strings_.back().get();
  }

  static const char* GetStringUTFChars(JRIEnv*, jint op, jstring str) {
    Record(jri::kGetStringUTFChars, op, "GetStringUTFChars");
    for (const auto& owned : rt().strings_)
      if (owned.get() == str) return owned->c_str();
    return nullptr;
  }

  static void RegisterNatives(JRIEnv*, jint op, jref, char** names, JRINativeProc* procs) {
    Record(jri::kRegisterNatives, op, "RegisterNatives");
    rt().registeredNatives_.clear();
    for (size_t i = 0; names && names[i]; ++i)
      rt().registeredNatives_.push_back(names[i] + std::string(procs && procs[i] ? "" : " (none)"));
  }

  static void UnregisterNatives(JRIEnv*, jint op, jref) {
    Record(jri::kUnregisterNatives, op, "UnregisterNatives");
  }
};

namespace {
template <typename Fn>
void Install(JRIEnvInterface& table, jri::Op op, Fn fn) {
  table.slot[op] = reinterpret_cast<void*>(fn);
}
}  // namespace

ScriptRuntime::ScriptRuntime() {
  current_ = this;
  Install<jri::FindClassFn>(table_, jri::kFindClass, &RuntimeTable::FindClass);
  Install<jri::ThrowNewFn>(table_, jri::kThrowNew, &RuntimeTable::ThrowNew);
  Install<jri::NewGlobalRefFn>(table_, jri::kNewGlobalRef, &RuntimeTable::NewGlobalRef);
  Install<jri::DisposeGlobalRefFn>(table_, jri::kDisposeGlobalRef,
                                   &RuntimeTable::DisposeGlobalRef);
  Install<jri::GetGlobalRefFn>(table_, jri::kGetGlobalRef, &RuntimeTable::GetGlobalRef);
  Install<jri::GetMethodIDFn>(table_, jri::kGetMethodID, &RuntimeTable::GetMethodID);
  Install<jri::CallMethodFn>(table_, jri::kCallMethod, &RuntimeTable::CallMethod);
  Install<jri::CallMethodIntFn>(table_, jri::kCallMethodInt, &RuntimeTable::CallMethodInt);
  Install<jri::GetFieldIDFn>(table_, jri::kGetFieldID, &RuntimeTable::GetFieldID);
  Install<jri::NewStringUTFFn>(table_, jri::kNewStringUTF, &RuntimeTable::NewStringUTF);
  Install<jri::GetStringUTFCharsFn>(table_, jri::kGetStringUTFChars,
                                    &RuntimeTable::GetStringUTFChars);
  Install<jri::RegisterNativesFn>(table_, jri::kRegisterNatives, &RuntimeTable::RegisterNatives);
  Install<jri::UnregisterNativesFn>(table_, jri::kUnregisterNatives,
                                    &RuntimeTable::UnregisterNatives);
}

ScriptRuntime::~ScriptRuntime() {
  if (current_ == this) current_ = nullptr;
}

jref ScriptRuntime::Referent(jglobal ref) const {
  auto it = globals_.find(ref);
  return it == globals_.end() ? nullptr : it->second;
}

JRIMethodID ScriptRuntime::MethodId(const std::string& name) const {
  auto it = methodIds_.find(name);
  return it == methodIds_.end() ? -1 : it->second;
}

JRIFieldID ScriptRuntime::FieldId(const std::string& name) const {
  auto it = fieldIds_.find(name);
  return it == fieldIds_.end() ? -1 : it->second;
}

jstring ScriptRuntime::NewString(const std::string& text) {
  strings_.push_back(std::make_unique<std::string>(text));
  return strings_.back().get();
}

void ScriptRuntime::ClearCalls() {
  calls_.clear();
  scriptCalls_.clear();
}

}  // namespace klp::host
