// The layout of the NPAPI structures in the WebAssembly module, which the web host's script
// (web/src/abi.js) reads and writes by offset; what the host may ask of the module's heap; and
// the reading of a project ahead of its hand-over, a slice at a time.
#include <emscripten.h>
#include <malloc.h>

#include <cstddef>

#include "platform/npapi/npfunctions.h"
#include "platform/npdesk/web_event.h"
#include "project/read_ahead.h"

static_assert(sizeof(void*) == 4, "the web host lays out 32-bit pointers");
static_assert(sizeof(NPP_t) == 8);
static_assert(offsetof(NPPluginFuncs, newp) == 4 && offsetof(NPPluginFuncs, getvalue) == 52 &&
              sizeof(NPPluginFuncs) == 84);
static_assert(offsetof(NPNetscapeFuncs, geturlnotify) == 4 + 4 * 14 &&
              offsetof(NPNetscapeFuncs, pluginthreadasynccall) == 4 + 4 * 43 &&
              offsetof(NPNetscapeFuncs, unscheduletimer) == 4 + 4 * 49 &&
              sizeof(NPNetscapeFuncs) == 4 + 4 * 55);
static_assert(offsetof(NPClass, allocate) == 4 && offsetof(NPClass, invoke) == 20 &&
              sizeof(NPClass) == 52);
static_assert(sizeof(NPObject) == 8 && offsetof(NPObject, referenceCount) == 4);
static_assert(sizeof(NPVariant) == 16 && offsetof(NPVariant, value) == 8);
static_assert(sizeof(NPString) == 8);
static_assert(offsetof(NPStream, url) == 8 && offsetof(NPStream, end) == 12 &&
              offsetof(NPStream, notifyData) == 20 && sizeof(NPStream) == 28);
static_assert(offsetof(NPWindow, width) == 12 && offsetof(NPWindow, clipRect) == 20 &&
              offsetof(NPWindow, type) == 32 && sizeof(NPWindow) == 36);
static_assert(sizeof(npdesk::WebEvent) == 32);

// Bytes of the module's heap in use, for the host's leak checks.
extern "C" EMSCRIPTEN_KEEPALIVE size_t klp_heap_in_use() { return mallinfo().uordblks; }

// A project stream's file read ahead of NPP_StreamAsFile, whose read then takes the result.
extern "C" EMSCRIPTEN_KEEPALIVE int klp_read_ahead_begin(const char* path) {
  return path ? klp::BeginReadAhead(path) : 0;
}
extern "C" EMSCRIPTEN_KEEPALIVE int klp_read_ahead_step(int id, int lines) {
  return klp::StepReadAhead(id, lines) ? 1 : 0;
}
extern "C" EMSCRIPTEN_KEEPALIVE void klp_read_ahead_end(int id) { klp::EndReadAhead(id); }
