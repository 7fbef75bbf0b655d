#include "tests/host/host.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace klp::host {

Host* Host::current_ = nullptr;

// The browser's services, with the signatures of platform/npapi/npfunctions.h.
struct BrowserTable {
  static Host& host() { return *Host::current_; }

  static NPError GetURLNotify(NPP instance, const char* url, const char* target, void* data) {
    host().requests.push_back(Request{instance, url ? url : "",
                                      target ? std::optional<std::string>(target) : std::nullopt,
                                      data});
    return NPERR_NO_ERROR;
  }

  static JRIEnv* GetJavaEnv() {
    ++host().javaEnvCalls;
    return host().runtime_.env();
  }

  static jref GetJavaPeer(NPP instance) {
    Host::InstanceRecord* record = host().Find(instance);
    return record && record->peerAvailable ? record->peer.get() : nullptr;
  }

  // A browser without an X display: the module paints nothing.
  static NPError GetValue(NPP, NPNVariable variable, void* value) {
    if (!value) return NPERR_INVALID_PARAM;
    switch (variable) {
      case NPNVSupportsWindowless:
      case NPNVjavascriptEnabledBool:
        *static_cast<NPBool*>(value) = 1;
        return NPERR_NO_ERROR;
      default:
        return NPERR_GENERIC_ERROR;
    }
  }

  static NPError SetValue(NPP instance, NPPVariable variable, void* value) {
    host().setValues.push_back(SetValueCall{instance, variable, value});
    return NPERR_NO_ERROR;
  }

  static void InvalidateRect(NPP instance, NPRect*) { host().invalidations.push_back(instance); }

  static void* MemAlloc(uint32_t size) { return std::malloc(size); }
  static void MemFree(void* p) { std::free(p); }

  static void AsyncCall(NPP instance, void (*func)(void*), void* userData) {
    std::lock_guard lock(host().asyncLock_);
    host().async_.push_back(Host::AsyncCall{instance, func, userData});
  }

  static uint32_t ScheduleTimer(NPP instance, uint32_t interval, NPBool repeat,
                                void (*func)(NPP, uint32_t)) {
    Host& h = host();
    uint32_t id = h.nextTimerId_++;
    h.timers_[id] = Host::Timer{instance, interval, repeat != 0, func, h.now_ + interval};
    return id;
  }

  static void UnscheduleTimer(NPP, uint32_t timerID) { host().timers_.erase(timerID); }
};

namespace {

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& fn, std::string& error) {
  fn = reinterpret_cast<Fn>(dlsym(handle, name));
  if (!fn && error.empty()) error = std::string("missing export ") + name;
  return fn != nullptr;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

const char* MimeTypeOf(const std::string& url) {
  return url.size() >= 4 && url.compare(url.size() - 4, 4, ".klp") == 0
             ? "application/kelvora-movie"
             : "application/octet-stream";
}

}  // namespace

Host::Host(const std::string& modulePath) {
  current_ = this;
  browser_.size = sizeof(NPNetscapeFuncs);
  browser_.version = kModernBrowserVersion;
  browser_.geturlnotify = &BrowserTable::GetURLNotify;
  browser_.getJavaEnv = &BrowserTable::GetJavaEnv;
  browser_.getJavaPeer = &BrowserTable::GetJavaPeer;
  browser_.getvalue = &BrowserTable::GetValue;
  browser_.setvalue = &BrowserTable::SetValue;
  browser_.invalidaterect = &BrowserTable::InvalidateRect;
  browser_.memalloc = &BrowserTable::MemAlloc;
  browser_.memfree = &BrowserTable::MemFree;
  browser_.pluginthreadasynccall = &BrowserTable::AsyncCall;
  browser_.scheduletimer = &BrowserTable::ScheduleTimer;
  browser_.unscheduletimer = &BrowserTable::UnscheduleTimer;
  plugin_.size = sizeof(NPPluginFuncs);

  handle_ = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    error_ = why ? why : "dlopen failed";
    return;
  }
  Exports& e = exports_;
  Resolve(handle_, "NP_GetEntryPoints", e.NP_GetEntryPoints, error_);
  Resolve(handle_, "NP_Initialize", e.NP_Initialize, error_);
  Resolve(handle_, "NP_Shutdown", e.NP_Shutdown, error_);
  Resolve(handle_, "NP_GetMIMEDescription", e.NP_GetMIMEDescription, error_);
  Resolve(handle_, "NP_GetValue", e.NP_GetValue, error_);
  Resolve(handle_, "use_NPKLOD32", e.use_NPKLOD32, error_);
  Resolve(handle_, "unuse_NPKLOD32", e.unuse_NPKLOD32, error_);
  Resolve(handle_, "register_NPKLOD32", e.register_NPKLOD32, error_);
  Resolve(handle_, "unregister_NPKLOD32", e.unregister_NPKLOD32, error_);
  Resolve(handle_, "native_NPKLOD32_Play", e.native_Play, error_);
  Resolve(handle_, "native_NPKLOD32_Pause", e.native_Pause, error_);
  Resolve(handle_, "native_NPKLOD32_Stop", e.native_Stop, error_);
  Resolve(handle_, "native_NPKLOD32_EnableMarker", e.native_EnableMarker, error_);
  Resolve(handle_, "native_NPKLOD32_EnableAnchor", e.native_EnableAnchor, error_);
}

Host::~Host() {
  if (handle_) {
    std::vector<NPP> live;
    for (auto& [npp, record] : instances_) live.push_back(npp);
    for (NPP npp : live) Destroy(npp);
    if (initialized_) exports_.NP_Shutdown();
    dlclose(handle_);
  }
  current_ = nullptr;
}

bool Host::ModuleMapped(const std::string& modulePath) {
  void* h = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

NPError Host::Initialize() {
  NPError result = exports_.NP_Initialize(&browser_, &plugin_);
  initialized_ = initialized_ || result == NPERR_NO_ERROR;
  return result;
}

Host::InstanceRecord* Host::Find(NPP instance) {
  auto it = instances_.find(instance);
  return it == instances_.end() ? nullptr : &it->second;
}

NPP Host::New(const Attributes& attributes, uint16_t mode, NPError* result) {
  InstanceRecord record;
  record.npp = std::make_unique<NPP_t>();
  record.peer = std::make_unique<Peer>();
  NPP npp = record.npp.get();
  record.peer->instance = npp;
  runtime_.AddPeer(record.peer.get());
  instances_.emplace(npp, std::move(record));

  // The browser's attribute strings live only during the call.
  std::vector<std::unique_ptr<char[]>> owned;
  auto copy = [&owned](const std::string& s) {
    owned.push_back(std::make_unique<char[]>(s.size() + 1));
    std::memcpy(owned.back().get(), s.c_str(), s.size() + 1);
    return owned.back().get();
  };
  std::vector<char*> argn, argv;
  for (const auto& [name, value] : attributes) {
    argn.push_back(copy(name));
    argv.push_back(copy(value));
  }
  char mimeType[] = "application/kelvora-movie";
  NPError r = plugin_.newp ? plugin_.newp(mimeType, npp, mode,
                                          static_cast<int16_t>(attributes.size()), argn.data(),
                                          argv.data(), nullptr)
                           : NPERR_GENERIC_ERROR;
  if (result) *result = r;
  return npp;
}

NPError Host::Destroy(NPP instance) {
  InstanceRecord* record = Find(instance);
  if (!record) return NPERR_INVALID_INSTANCE_ERROR;
  NPSavedData* saved = nullptr;
  NPError result = plugin_.destroy ? plugin_.destroy(instance, &saved) : NPERR_NO_ERROR;
  for (auto it = timers_.begin(); it != timers_.end();)
    it = it->second.instance == instance ? timers_.erase(it) : std::next(it);
  if (!runCallsAfterDestroy) {
    std::lock_guard lock(asyncLock_);
    std::erase_if(async_, [instance](const AsyncCall& c) { return c.instance == instance; });
  }
  runtime_.RemovePeer(record->peer.get());
  instances_.erase(instance);
  return result;
}

void Host::SetPeerAvailable(NPP instance, bool available) {
  if (InstanceRecord* record = Find(instance)) record->peerAvailable = available;
}

jref Host::PeerOf(NPP instance) {
  InstanceRecord* record = Find(instance);
  return record ? record->peer.get() : nullptr;
}

NPError Host::SetWindow(NPP instance, uint32_t width, uint32_t height) {
  InstanceRecord* record = Find(instance);
  if (!record || !plugin_.setwindow) return NPERR_INVALID_INSTANCE_ERROR;
  NPWindow& w = record->window;
  w = NPWindow{};
  w.width = width;
  w.height = height;
  w.clipRect = NPRect{0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
  w.type = NPWindowTypeDrawable;
  return plugin_.setwindow(instance, &w);
}

NPError Host::DeliverFile(NPP instance, const std::string& url, const std::string& path,
                          void* notifyData, uint16_t* streamType, int64_t length) {
  NPStream stream{};
  stream.url = url.c_str();
  stream.notifyData = notifyData;
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  stream.end = length >= 0 ? static_cast<uint32_t>(length) : ec ? 0 : static_cast<uint32_t>(size);
  if (!plugin_.newstream || !plugin_.asfile || !plugin_.destroystream)
    return NPERR_INVALID_FUNCTABLE_ERROR;
  uint16_t type = NP_NORMAL;
  std::string mime = MimeTypeOf(url);
  NPError result = plugin_.newstream(instance, mime.data(), &stream, 0, &type);
  if (streamType) *streamType = type;
  if (result != NPERR_NO_ERROR) return result;
  plugin_.asfile(instance, &stream, path.empty() ? nullptr : path.c_str());
  plugin_.destroystream(instance, &stream, NPRES_DONE);
  return result;
}

void Host::Answer(const Request& request, std::optional<std::string> path, NPReason reason) {
  // A download that failed before a file existed still opens and ends a stream, with no file.
  DeliverFile(request.instance, request.url, path.value_or(""), request.notifyData);
  URLNotify(request.instance, request.url, reason, request.notifyData);
}

void Host::URLNotify(NPP instance, const std::string& url, NPReason reason, void* notifyData) {
  if (plugin_.urlnotify) plugin_.urlnotify(instance, url.c_str(), reason, notifyData);
}

size_t Host::RunUntilIdle() {
  size_t run = 0;
  for (;;) {
    AsyncCall call;
    {
      std::lock_guard lock(asyncLock_);
      if (async_.empty()) break;
      call = async_.front();
      async_.pop_front();
    }
    if (!runCallsAfterDestroy && !Live(call.instance)) continue;
    call.func(call.userData);
    ++run;
  }
  return run;
}

void Host::RunFor(uint32_t ms) {
  const uint64_t end = now_ + ms;
  RunUntilIdle();
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due))
        next = it;
    if (next == timers_.end()) break;
    const uint32_t id = next->first;
    Timer timer = next->second;
    now_ = timer.due;
    if (timer.repeat)
      next->second.due += timer.interval ? timer.interval : 1;
    else
      timers_.erase(next);
    timer.func(timer.instance, id);
    RunUntilIdle();
  }
  now_ = end;
}

size_t Host::PendingAsyncCalls() const {
  std::lock_guard lock(asyncLock_);
  return async_.size();
}

size_t Host::PendingAsyncCalls(NPP instance) const {
  std::lock_guard lock(asyncLock_);
  size_t n = 0;
  for (const auto& c : async_) n += c.instance == instance ? 1 : 0;
  return n;
}

std::vector<std::string> Host::Trace(NPP instance) const {
  std::vector<std::string> lines;
  for (const auto& c : runtime_.scriptCalls())
    if (c.instance == instance && c.method == "OnSysOut" && !c.args.empty())
      lines.push_back(c.args[0]);
  return lines;
}

std::vector<std::string> Host::Events(NPP instance) const {
  std::vector<std::string> events;
  for (const auto& c : runtime_.scriptCalls())
    if (c.instance == instance && c.method != "OnSysOut")
      events.push_back(c.method + "(" + Join(c.args) + ")");
  return events;
}

std::vector<std::string> Host::ScriptLog(NPP instance) const {
  std::vector<std::string> log;
  for (const auto& c : runtime_.scriptCalls())
    if (c.instance == instance) log.push_back(c.method == "OnSysOut" && !c.args.empty()
                                                  ? "OnSysOut: " + c.args[0]
                                                  : c.method + "(" + Join(c.args) + ")");
  return log;
}

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  do {
    dir_ = base / ("klp_host_" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(dir_));
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::Write(const std::string& name, std::string_view content) const {
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return path;
}

}  // namespace klp::host
