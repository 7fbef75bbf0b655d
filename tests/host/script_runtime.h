// The test host's script runtime: a JRI environment whose table answers the operations the
// module calls (slots 4, 6, 10, 11, 12, 20, 21, 36, 48, 118, 120, 128, 129) and records each
// call, keeping the strings and global references it hands out until it goes.
//
// The class NPKLOD32 is a tag object; method and field ids are distinct per member name.
// CallMethod records the script events (OnSysOut, OnError, OnMarker, OnKLEvent,
// OnActivateAnchor) against the instance whose peer received them; CallMethodInt answers
// GetPeerEx with the low 32 bits of that instance's NPP, as the module's 64-bit convention
// asks. The table's functions find the runtime through `current`: one runtime at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/jri/jri.h"
#include "platform/npapi/npapi.h"

namespace klp::host {

// The script object a page holds for one instance.
struct Peer {
  NPP instance = nullptr;
};

// One call into the environment's table: the slot it was taken from, the operation index it
// was called with, and the operation's name with its arguments, e.g. "FindClass NPKLOD32".
struct JriCall {
  int slot = 0;
  jint op = 0;
  std::string what;
};

// A script method called on a peer. OnError's code is given as decimal text.
struct ScriptCall {
  NPP instance = nullptr;  // the peer's instance (null for an object that is no peer)
  std::string method;      // "OnSysOut", "OnError", ...; "?" for an unknown method id
  std::vector<std::string> args;
};

class ScriptRuntime {
 public:
  ScriptRuntime();
  ~ScriptRuntime();
  ScriptRuntime(const ScriptRuntime&) = delete;
  ScriptRuntime& operator=(const ScriptRuntime&) = delete;

  // What NPN_GetJavaEnv hands out.
  JRIEnv* env() { return &envPointer_; }

  // FindClass("NPKLOD32") finds the class while this is true (the default).
  void SetClassFound(bool found) { classFound_ = found; }
  jref scriptClass() { return &classTag_; }

  // The object a live global reference stands for, or null.
  jref Referent(jglobal ref) const;
  size_t LiveGlobalRefs() const { return globals_.size(); }

  // The id handed out for a method or field name, or -1 when the module never asked for it.
  JRIMethodID MethodId(const std::string& name) const;
  JRIFieldID FieldId(const std::string& name) const;

  // A runtime string, as the page's script passes one to a native method.
  jstring NewString(const std::string& text);

  // Peers answer GetPeerEx and receive script calls; the host registers one per instance.
  void AddPeer(const Peer* peer) { peers_.insert(peer); }
  void RemovePeer(const Peer* peer) { peers_.erase(peer); }

  const std::vector<JriCall>& calls() const { return calls_; }
  const std::vector<ScriptCall>& scriptCalls() const { return scriptCalls_; }
  // The method descriptions passed to RegisterNatives, up to the null entry.
  const std::vector<std::string>& registeredNatives() const { return registeredNatives_; }
  void ClearCalls();

 private:
  friend struct RuntimeTable;

  JRIEnvInterface table_{};
  const JRIEnvInterface* envPointer_ = &table_;
  bool classFound_ = true;
  char classTag_ = 0;
  char exceptionClassTag_ = 0;
  jint nextId_ = 100;
  std::map<std::string, jint> methodIds_;
  std::map<std::string, jint> fieldIds_;
  std::map<jglobal, jref> globals_;
  std::deque<std::unique_ptr<char>> globalHandles_;
  std::deque<std::unique_ptr<std::string>> strings_;
  std::set<const Peer*> peers_;
  std::vector<JriCall> calls_;
  std::vector<ScriptCall> scriptCalls_;
  std::vector<std::string> registeredNatives_;

  static ScriptRuntime* current_;
};

}  // namespace klp::host
