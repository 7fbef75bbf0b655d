// The floor of in-page playback in a browser that shows windowless plug-ins: a module of the
// plug-in's type that decodes nothing and repaints its whole area from a ready picture at the
// movie's rate, putting the pixels as the plug-in does (npdesk::AreaImage). What the viewer and
// its X server spend on it is what the browser's windowless path costs before any movie plays.
//
// EMBED attributes: frames (repaints, default 300), fps (default 30). The number of pictures
// put is appended to the file KLP_PAINT_STATS names, as "painted N", when the instance goes.
#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/npapi/export.h"
#include "platform/npapi/npapi.h"
#include "platform/npapi/npfunctions.h"
#include "platform/npdesk/x11_output.h"

namespace {

NPNetscapeFuncs* g_browser = nullptr;

struct Floor {
  int frames = 300;
  int fps = 30;
  int ticks = 0;    // repaints asked for
  int painted = 0;  // pictures put, one per repaint asked for
  bool paintedTick = true;
  guint timer = 0;  // a GLib timeout: QtWebKit has no NPN_ScheduleTimer, and runs GLib's loop
  Display* display = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  int width = 0;
  int height = 0;
  npdesk::AreaImage image;
  bool filled = false;
};

Floor* Of(NPP npp) { return static_cast<Floor*>(npp->pdata); }

gboolean Tick(gpointer data) {
  auto npp = static_cast<NPP>(data);
  Floor* f = Of(npp);
  if (f->width <= 0 || f->height <= 0) return G_SOURCE_CONTINUE;
  if (f->ticks >= f->frames) {
    f->timer = 0;
    return G_SOURCE_REMOVE;
  }
  ++f->ticks;
  f->paintedTick = false;
  NPRect r{0, 0, static_cast<uint16_t>(f->height), static_cast<uint16_t>(f->width)};
  g_browser->invalidaterect(npp, &r);
  return G_SOURCE_CONTINUE;
}

NPError New(NPMIMEType, NPP npp, uint16_t, int16_t argc, char** argn, char** argv,
            NPSavedData*) {
  auto* f = new Floor();
  for (int i = 0; i < argc; ++i) {
    int v = argv[i] ? std::atoi(argv[i]) : 0;
    if (std::strcmp(argn[i], "frames") == 0 && v > 0) f->frames = v;
    if (std::strcmp(argn[i], "fps") == 0 && v > 0 && v <= 120) f->fps = v;
  }
  npp->pdata = f;
  g_browser->setvalue(npp, NPPVpluginWindowBool, nullptr);
  f->timer = g_timeout_add(static_cast<guint>(1000 / f->fps), &Tick, npp);
  return NPERR_NO_ERROR;
}

NPError Destroy(NPP npp, NPSavedData**) {
  Floor* f = Of(npp);
  if (!f) return NPERR_NO_ERROR;
  if (f->timer) g_source_remove(f->timer);
  if (const char* path = std::getenv("KLP_PAINT_STATS"); path && *path)
    if (std::FILE* out = std::fopen(path, "a")) {
      std::fprintf(out, "painted %d\n", f->painted);
      std::fclose(out);
    }
  delete f;
  npp->pdata = nullptr;
  return NPERR_NO_ERROR;
}

NPError SetWindow(NPP npp, NPWindow* window) {
  Floor* f = Of(npp);
  if (!f || !window) return NPERR_NO_ERROR;
  f->width = static_cast<int>(window->width);
  f->height = static_cast<int>(window->height);
  if (auto* ws = static_cast<NPSetWindowCallbackStruct*>(window->ws_info)) {
    f->display = static_cast<Display*>(ws->display);
    f->visual = static_cast<Visual*>(ws->visual);
    f->depth = static_cast<int>(ws->depth);
  }
  return NPERR_NO_ERROR;
}

int16_t HandleEvent(NPP npp, void* event) {
  Floor* f = Of(npp);
  auto* e = static_cast<XEvent*>(event);
  if (!f || e->type != GraphicsExpose) return 0;
  const XGraphicsExposeEvent& x = e->xgraphicsexpose;
  size_t pitch = 0;
  uint32_t* pixels = f->image.Pixels(f->display ? f->display : x.display, f->visual, f->depth,
                                     f->width, f->height, &pitch);
  if (!pixels) return 1;
  if (!f->filled) {  // a picture with detail, as a frame would have
    for (int y = 0; y < f->height; ++y)
      for (int c = 0; c < f->width; ++c)
        pixels[static_cast<size_t>(y) * pitch + c] =
            (static_cast<uint32_t>(y * f->width + c) * 2654435761u) & 0xFFFFFF;
    f->filled = true;
  }
  // The host reports the right and bottom edges in width and height.
  f->image.Put(x.drawable, x.x, x.y, x.x, x.y, x.width - x.x, x.height - x.y);
  if (!f->paintedTick) ++f->painted;
  f->paintedTick = true;
  return 1;
}

NPError GetValue(NPP, NPPVariable, void*) { return NPERR_GENERIC_ERROR; }
NPError SetValue(NPP, NPNVariable, void*) { return NPERR_GENERIC_ERROR; }
NPError NewStream(NPP, NPMIMEType, NPStream*, NPBool, uint16_t* type) {
  *type = NP_NORMAL;
  return NPERR_NO_ERROR;
}
NPError DestroyStream(NPP, NPStream*, NPReason) { return NPERR_NO_ERROR; }
int32_t WriteReady(NPP, NPStream*) { return 1 << 16; }
int32_t Write(NPP, NPStream*, int32_t, int32_t length, void*) { return length; }
void StreamAsFile(NPP, NPStream*, const char*) {}
void UrlNotify(NPP, const char*, NPReason, void*) {}

}  // namespace

KLP_EXPORT const char* NP_GetMIMEDescription() {
  return "application/kelvora-movie:klp:Kelvora Project File (*.klp)";
}

KLP_EXPORT NPError NP_GetValue(void*, NPPVariable variable, void* value) {
  if (variable == NPPVpluginNameString) *static_cast<const char**>(value) = "NPKLOD32";
  else if (variable == NPPVpluginDescriptionString)
    *static_cast<const char**>(value) = "page playback floor";
  else
    return NPERR_INVALID_PARAM;
  return NPERR_NO_ERROR;
}

KLP_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* p) {
  if (!browser || !p) return NPERR_INVALID_FUNCTABLE_ERROR;
  g_browser = browser;
  p->version = 11;
  p->newp = &New;
  p->destroy = &Destroy;
  p->setwindow = &SetWindow;
  p->newstream = &NewStream;
  p->destroystream = &DestroyStream;
  p->asfile = &StreamAsFile;
  p->writeready = &WriteReady;
  p->write = &Write;
  p->event = &HandleEvent;
  p->urlnotify = &UrlNotify;
  p->getvalue = &GetValue;
  p->setvalue = &SetValue;
  return NPERR_NO_ERROR;
}

KLP_EXPORT NPError NP_Shutdown() { return NPERR_NO_ERROR; }
