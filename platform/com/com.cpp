#include "platform/com/com.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace com {
namespace {

std::atomic<int> g_initCount{0};

struct Registration {
  CLSID clsid;
  ClassFactory factory;
};

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::vector<Registration>& Registry() {
  static std::vector<Registration> r;
  return r;
}

}  // namespace

HRESULT CoInitialize(void*) { return g_initCount.fetch_add(1) == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  int n = g_initCount.load();
  while (n > 0 && !g_initCount.compare_exchange_weak(n, n - 1)) {
  }
}

int CoInitializeCount() { return g_initCount.load(); }

void RegisterClassObject(const CLSID& clsid, ClassFactory factory) {
  std::lock_guard lock(RegistryLock());
  for (auto& r : Registry()) {
    if (r.clsid == clsid) {
      r.factory = std::move(factory);
      return;
    }
  }
  Registry().push_back({clsid, std::move(factory)});
}

void RevokeClassObject(const CLSID& clsid) {
  std::lock_guard lock(RegistryLock());
  auto& reg = Registry();
  for (auto it = reg.begin(); it != reg.end(); ++it) {
    if (it->clsid == clsid) {
      reg.erase(it);
      return;
    }
  }
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t, const IID& iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  ClassFactory factory;
  {
    std::lock_guard lock(RegistryLock());
    for (auto& r : Registry())
      if (r.clsid == clsid) factory = r.factory;
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  IUnknown* unk = factory();
  if (!unk) return E_OUTOFMEMORY;
  HRESULT hr = unk->QueryInterface(iid, object);
  unk->Release();
  return hr;
}

}  // namespace com
