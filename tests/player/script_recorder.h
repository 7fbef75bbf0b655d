// A script runtime for player tests: a JRI environment answering the operations the module makes
// (class lookup and binding, strings, method calls) and a browser table offering it, so that
// trace lines (OnSysOut) and script events (OnMarker, OnKLEvent, OnActivateAnchor, OnError) are
// recorded in the order the module made them. The peer of an instance is the NPP itself, so each
// record names the instance it went to.
//
// One recorder at a time: it installs the browser table and binds the script class for its
// lifetime.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/jri/jri.h"
#include "platform/npapi/npfunctions.h"
#include "plugin/services.h"
#include "script/binding.h"

namespace klp::test {

struct ScriptCall {
  NPP instance = nullptr;
  std::string method;             // "OnSysOut", "OnMarker", ...
  std::vector<std::string> args;  // the strings, or OnError's code in decimal
};

class ScriptRecorder {
 public:
  ScriptRecorder() {
    current_ = this;
    for (auto& slot : table_.slot) slot = nullptr;
    table_.slot[jri::kFindClass] = reinterpret_cast<void*>(&FindClass);
    table_.slot[jri::kThrowNew] = reinterpret_cast<void*>(&ThrowNew);
    table_.slot[jri::kNewGlobalRef] = reinterpret_cast<void*>(&NewGlobalRef);
    table_.slot[jri::kDisposeGlobalRef] = reinterpret_cast<void*>(&DisposeGlobalRef);
    table_.slot[jri::kGetGlobalRef] = reinterpret_cast<void*>(&GetGlobalRef);
    table_.slot[jri::kGetMethodID] = reinterpret_cast<void*>(&GetId);
    table_.slot[jri::kGetFieldID] = reinterpret_cast<void*>(&GetId);
    table_.slot[jri::kCallMethod] = reinterpret_cast<void*>(&CallMethod);
    table_.slot[jri::kNewStringUTF] = reinterpret_cast<void*>(&NewStringUTF);
    table_.slot[jri::kCallMethodInt] = reinterpret_cast<void*>(&CallMethodInt);
    table_.slot[jri::kGetStringUTFChars] = reinterpret_cast<void*>(&GetStringUTFChars);
    funcs_.size = sizeof funcs_;
    funcs_.version = 27;
    funcs_.getJavaEnv = [] { return &current_->env_; };
    funcs_.getJavaPeer = [](NPP instance) -> jref { return instance; };
    SetBrowserFuncs(&funcs_);
    use_NPKLOD32(&env_);
  }
  ~ScriptRecorder() {
    unuse_NPKLOD32(&env_);
    SetBrowserFuncs(nullptr);
    current_ = nullptr;
  }
  ScriptRecorder(const ScriptRecorder&) = delete;
  ScriptRecorder& operator=(const ScriptRecorder&) = delete;

  const std::vector<ScriptCall>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  JRIEnv* env() { return &env_; }
  // A runtime string, as a page's script passes one to a native method.
  jstring String(const std::string& text) { return &strings_.emplace_back(text); }

  // OnSysOut lines, to all instances or to one.
  std::vector<std::string> Lines(NPP instance = nullptr) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
      if (c.method == "OnSysOut" && (!instance || c.instance == instance))
        out.push_back(c.args.at(0));
    return out;
  }
  // Script events other than OnSysOut as "method value" ("OnMarker intro", "OnError 2").
  std::vector<std::string> Events(NPP instance = nullptr) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
      if (c.method != "OnSysOut" && (!instance || c.instance == instance))
        out.push_back(c.method + " " + c.args.at(1));
    return out;
  }

 private:
  static ScriptRecorder& Self() { return *current_; }

  static jref FindClass(JRIEnv*, jint, const char* name) {
    return std::string(name) == "NPKLOD32" ? &Self().classTag_ : nullptr;
  }
  static void ThrowNew(JRIEnv*, jint, jref, const char*) {}
  static jglobal NewGlobalRef(JRIEnv*, jint, jref ref) { return ref; }
  static void DisposeGlobalRef(JRIEnv*, jint, jglobal) {}
  static jref GetGlobalRef(JRIEnv*, jint, jglobal ref) { return ref; }
  static jint GetId(JRIEnv*, jint, jref, const char* name, const char*) {
    auto& ids = Self().ids_;
    auto it = ids.emplace(name, static_cast<jint>(ids.size())).first;
    return it->second;
  }
  static jstring NewStringUTF(JRIEnv*, jint, const char* bytes, jint length) {
    return &Self().strings_.emplace_back(bytes, static_cast<size_t>(length));
  }
  static jref CallMethod(JRIEnv*, jint, jref obj, JRIMethodID method, ...) {
    ScriptRecorder& self = Self();
    ScriptCall call{static_cast<NPP>(obj), "?", {}};
    for (const auto& [name, id] : self.ids_)
      if (id == method) call.method = name;
    auto text = [](jref s) { return *static_cast<std::string*>(s); };
    va_list ap;
    va_start(ap, method);
    if (call.method == "OnSysOut") {
      call.args.push_back(text(va_arg(ap, jref)));
    } else if (call.method == "OnError") {
      call.args.push_back(text(va_arg(ap, jref)));
      call.args.push_back(std::to_string(va_arg(ap, jint)));
    } else {
      call.args.push_back(text(va_arg(ap, jref)));
      call.args.push_back(text(va_arg(ap, jref)));
    }
    va_end(ap);
    self.calls_.push_back(std::move(call));
    return nullptr;
  }

  // GetPeerEx: the low 32 bits of the peer, which is the instance's NPP.
  static jint CallMethodInt(JRIEnv*, jint, jref obj, JRIMethodID, ...) {
    return static_cast<jint>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(obj)));
  }
  static const char* GetStringUTFChars(JRIEnv*, jint, jstring str) {
    return static_cast<std::string*>(str)->c_str();
  }

  static inline ScriptRecorder* current_ = nullptr;
  JRIEnvInterface table_{};
  JRIEnv env_ = &table_;
  NPNetscapeFuncs funcs_{};
  int classTag_ = 0;
  std::map<std::string, jint> ids_;
  std::deque<std::string> strings_;
  std::vector<ScriptCall> calls_;
};

}  // namespace klp::test
