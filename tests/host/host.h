// The test host: a small browser stand-in that loads the plug-in module with dlopen and drives it
// only through its exports, as a browser would.
//
// It offers the module an NPNetscapeFuncs table (version and size settable; any member can be
// set to null before Initialize to play a browser that lacks it), records what the module asks
// of the browser (URL requests, windowless mode, invalidations), runs NPN_ScheduleTimer timers
// and NPN_PluginThreadAsyncCall calls in its own loop on a virtual clock the test advances, and
// carries a JRI script runtime (script_runtime.h) whose peers record the script events.
//
// The browser's services have no context argument, so one Host exists at a time. Each Host loads
// the module afresh and unloads it when it goes.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/npapi/npfunctions.h"
#include "tests/host/script_runtime.h"

namespace klp::host {

// The module's exports, resolved with dlsym.
struct Exports {
  NPError (*NP_GetEntryPoints)(NPPluginFuncs*) = nullptr;
  NPError (*NP_Initialize)(NPNetscapeFuncs*, NPPluginFuncs*) = nullptr;
  NPError (*NP_Shutdown)() = nullptr;
  const char* (*NP_GetMIMEDescription)() = nullptr;
  NPError (*NP_GetValue)(void*, NPPVariable, void*) = nullptr;
  jref (*use_NPKLOD32)(JRIEnv*) = nullptr;
  void (*unuse_NPKLOD32)(JRIEnv*) = nullptr;
  jref (*register_NPKLOD32)(JRIEnv*) = nullptr;
  void (*unregister_NPKLOD32)(JRIEnv*) = nullptr;
  jbool (*native_Play)(JRIEnv*, jref, jint) = nullptr;
  jbool (*native_Pause)(JRIEnv*, jref) = nullptr;
  jbool (*native_Stop)(JRIEnv*, jref) = nullptr;
  jbool (*native_EnableMarker)(JRIEnv*, jref, jstring) = nullptr;
  jbool (*native_EnableAnchor)(JRIEnv*, jref, jstring) = nullptr;
};

using Attributes = std::vector<std::pair<std::string, std::string>>;

// A URL request the module made with NPN_GetURLNotify.
struct Request {
  NPP instance = nullptr;
  std::string url;
  std::optional<std::string> target;  // none for a null target
  void* notifyData = nullptr;
};

struct SetValueCall {
  NPP instance = nullptr;
  NPPVariable variable{};
  void* value = nullptr;
};

inline constexpr uint16_t kModernBrowserVersion = 0x001B;  // major 0, minor 27

class Host {
 public:
  // Loads the module at modulePath; ok() tells whether it and every export were found.
  explicit Host(const std::string& modulePath);
  // Destroys live instances, calls NP_Shutdown if Initialize succeeded, unloads the module.
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // Whether the module is still mapped after a Host that loaded it went (dlopen RTLD_NOLOAD).
  static bool ModuleMapped(const std::string& modulePath);

  const Exports& exports() const { return exports_; }
  // The browser's service table: change version, size or members before Initialize.
  NPNetscapeFuncs& browser() { return browser_; }
  // The plug-in's callback table as the module filled it.
  NPPluginFuncs& plugin() { return plugin_; }
  ScriptRuntime& runtime() { return runtime_; }

  // NP_Initialize(browser table, plug-in table), the Unix form.
  NPError Initialize();

  // --- Instances ------------------------------------------------------------------------
  // Creates an NPP and calls NPP_New with the attributes as argn/argv (freed right after the
  // call). The NPP is returned even when NPP_New fails; its result goes to *result.
  NPP New(const Attributes& attributes, uint16_t mode = NP_EMBED, NPError* result = nullptr);
  // NPP_Destroy; the NPP is freed, its timers are cancelled and, unless
  // runCallsAfterDestroy, its pending async calls are dropped (as browsers do).
  NPError Destroy(NPP instance);
  // Whether the instance's script object exists (the default for new instances).
  void SetPeerAvailable(NPP instance, bool available);
  jref PeerOf(NPP instance);

  // NPP_SetWindow with a drawable (windowless) description of the given size.
  NPError SetWindow(NPP instance, uint32_t width = 320, uint32_t height = 240);

  // A file download as browsers deliver NP_ASFILEONLY streams: NPP_NewStream, NPP_StreamAsFile,
  // NPP_DestroyStream. Returns NPP_NewStream's result; *streamType gets the type asked for. The
  // stream's length is the file's size, or length when that is not negative (the length the
  // server announced).
  NPError DeliverFile(NPP instance, const std::string& url, const std::string& path,
                      void* notifyData = nullptr, uint16_t* streamType = nullptr,
                      int64_t length = -1);
  // Answers a request: delivers path as above (none: the download failed before a file
  // existed, so the stream ends without one), then NPP_URLNotify with the reason and the
  // request's notify data.
  void Answer(const Request& request, std::optional<std::string> path,
              NPReason reason = NPRES_DONE);
  void URLNotify(NPP instance, const std::string& url, NPReason reason, void* notifyData);

  // --- The loop on the virtual clock -----------------------------------------------------
  // Runs queued async calls, including those queued meanwhile, until none is left.
  size_t RunUntilIdle();
  // Advances the clock by ms, firing due timers in time order and running async calls
  // after each.
  void RunFor(uint32_t ms);
  uint64_t Now() const { return now_; }
  size_t PendingAsyncCalls() const;
  size_t PendingAsyncCalls(NPP instance) const;
  size_t ActiveTimers() const { return timers_.size(); }
  // When true, async calls of destroyed instances still run (for hosts that do not cancel).
  bool runCallsAfterDestroy = false;

  // --- What the module asked of the browser ----------------------------------------------
  std::vector<Request> requests;
  std::vector<SetValueCall> setValues;
  std::vector<NPP> invalidations;  // one entry per NPN_InvalidateRect
  int javaEnvCalls = 0;            // NPN_GetJavaEnv calls

  // --- What the page's script received ----------------------------------------------------
  // OnSysOut texts of the instance, in order.
  std::vector<std::string> Trace(NPP instance) const;
  // The other script calls of the instance, as "Method(arg1, arg2)".
  std::vector<std::string> Events(NPP instance) const;
  // Every script call of the instance in order: trace lines as "OnSysOut: text", others as in
  // Events.
  std::vector<std::string> ScriptLog(NPP instance) const;

 private:
  friend struct BrowserTable;

  struct InstanceRecord {
    std::unique_ptr<NPP_t> npp;
    std::unique_ptr<Peer> peer;
    bool peerAvailable = true;
    NPWindow window{};
  };
  struct AsyncCall {
    NPP instance;
    void (*func)(void*);
    void* userData;
  };
  struct Timer {
    NPP instance;
    uint32_t interval;
    bool repeat;
    void (*func)(NPP, uint32_t);
    uint64_t due;
  };

  InstanceRecord* Find(NPP instance);
  bool Live(NPP instance) const { return instances_.count(instance) != 0; }

  std::string error_;
  void* handle_ = nullptr;
  Exports exports_;
  NPNetscapeFuncs browser_{};
  NPPluginFuncs plugin_{};
  bool initialized_ = false;
  ScriptRuntime runtime_;
  std::map<NPP, InstanceRecord> instances_;

  mutable std::mutex asyncLock_;  // async calls may be queued from any thread
  std::deque<AsyncCall> async_;
  std::map<uint32_t, Timer> timers_;
  uint32_t nextTimerId_ = 1;
  uint64_t now_ = 0;

  static Host* current_;
};

// A directory of its own under the system's temporary directory, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Writes content as it is and returns the file's path.
  std::string Write(const std::string& name, std::string_view content) const;

 private:
  std::filesystem::path dir_;
};

}  // namespace klp::host
