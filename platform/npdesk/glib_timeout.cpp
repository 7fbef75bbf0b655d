#include "platform/npdesk/glib_timeout.h"

#include <glib.h>

namespace npdesk {
namespace {

struct Timeout {
  void (*fire)(void*);
  void* data;
  void (*dispose)(void*);
};

gboolean Fire(gpointer p) {
  auto* t = static_cast<Timeout*>(p);
  t->fire(t->data);
  return G_SOURCE_CONTINUE;
}

void Dispose(gpointer p) {
  auto* t = static_cast<Timeout*>(p);
  if (t->dispose) t->dispose(t->data);
  delete t;
}

}  // namespace

unsigned AddTimeout(unsigned ms, void (*fire)(void*), void* data, void (*dispose)(void*)) {
  return g_timeout_add_full(G_PRIORITY_DEFAULT, ms, &Fire, new Timeout{fire, data, dispose},
                            &Dispose);
}

void RemoveTimeout(unsigned id) { g_source_remove(id); }

}  // namespace npdesk
