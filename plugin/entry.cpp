// The module's face towards the browser: the exported entry points and the plug-in callbacks.
// Every callback runs inside a guard: nothing is thrown back into the browser.
#include <sys/stat.h>

#include <cstring>
#include <new>

#include "platform/com/com.h"
#include "platform/npapi/export.h"
#include "platform/npapi/npfunctions.h"
#include "platform/npdesk/npdesk.h"
#include "player/movie_play.h"
#include "plugin/embed.h"
#include "plugin/media_backend.h"
#include "plugin/module.h"
#include "plugin/services.h"
#include "resources/resources.h"
#include "script/binding.h"
#include "script/instance.h"
#include "script/natives.h"
#include "script/scriptable.h"
#include "script/trace.h"
#include "window/plugin_window.h"

namespace {

constexpr uintptr_t MOVIE_REQUEST_NOTIFY = 1;

NPPluginFuncs* g_pluginFuncs = nullptr;

template <typename R, typename F>
R Guarded(R failure, F body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// The file is shorter than the length the server announced for the stream: the download was
// broken off, although the browser delivers it as complete (QtWebKit does when the server closes
// the connection early). An unknown length (0) is never short.
bool ShortOfItsLength(const NPStream* stream, const char* fileName) {
  struct stat file;
  return stream && stream->end > 0 && stat(fileName, &file) == 0 &&
         static_cast<uint64_t>(file.st_size) < stream->end;
}

// Requests the movie; a URL that would run script in the page is refused with refusalLine.
void RequestMovie(NPP instance, const char* url, const char* refusalLine) {
  if (IsScriptURL(url)) {
    SysOut(instance, refusalLine);
    return;
  }
  NPN_GetURLNotify(instance, url, nullptr, reinterpret_cast<void*>(MOVIE_REQUEST_NOTIFY));
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                char* argv[], NPSavedData*) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  return Guarded<NPError>(NPERR_OUT_OF_MEMORY_ERROR, [&] {
    npdesk::InstanceScope scope(instance);
    int32_t fullPage = mode == NP_FULL ? 1 : 0;
    EmbedSettings s = ParseEmbedArgs(argc, argn, argv);
    auto* object = new (std::nothrow)
        CKLPluginWindow(instance, fullPage, s.src, s.name, s.activatemethod, s.changecursor,
                        s.showanchor, s.autoplay, s.autorepeat, s.kldebug);
    if (!object) {
      instance->pdata = nullptr;
      return NPERR_OUT_OF_MEMORY_ERROR;
    }
    instance->pdata = object;
    AddLiveInstance(instance);
    // Presentation is windowless: browsers of today refuse windowed plug-ins.
    NPN_SetValue(instance, NPPVpluginWindowBool, nullptr);
    SysOut(instance, "<NPP_New> - Completed.");
    return NPERR_NO_ERROR;
  });
}

NPError NPP_Destroy(NPP instance, NPSavedData** save) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  return Guarded<NPError>(NPERR_NO_ERROR, [&] {
    npdesk::InstanceScope scope(instance);
    RemoveLiveInstance(instance);
    ReleaseScriptableObject(instance);
    CKLPluginWindow* object = InstanceObject(instance);
    if (object && npdesk::InstanceScope::Nested()) {
      // The browser destroys the instance from inside a call into the module (its menu or
      // dialog waiting for the user, a page function the module called): that call may still
      // use the object. Cut off from the browser, it is deleted once the call has returned.
      object->m_instance = nullptr;
      instance->pdata = nullptr;
      object->DiscardQueuedCommands();      // before the area's queue is dropped unread
      npdesk::InstanceDestroyed(instance);  // ends the instance's menu or dialog
      npdesk::InstanceScope::AfterCalls([object] { delete object; });
    } else {
      delete object;
      instance->pdata = nullptr;
      npdesk::InstanceDestroyed(instance);
    }
    if (save) *save = nullptr;
    return NPERR_NO_ERROR;
  });
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (!window) return NPERR_GENERIC_ERROR;
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return NPERR_GENERIC_ERROR;
  return Guarded<NPError>(NPERR_GENERIC_ERROR, [&] {
    npdesk::InstanceScope scope(instance);
    // A drawable is the plug-in's area in the page although its window field is null.
    if (!window->window && window->type != NPWindowTypeDrawable) return NPERR_NO_ERROR;
    win::HWND hwnd = npdesk::AttachArea(instance, window);
    if (!hwnd) return NPERR_NO_ERROR;
    if (!object->m_prevWndProc) {
      object->SetWindow(hwnd);
      const char* movieName = object->GetMovieName();
      SysOut(instance, movieName);
      if (!movieName) {
        SysOut(instance, "no get movie URL");
      } else if (object->m_fullPage) {
        SysOut(instance, "FULL_SCREEN mode.");
        RequestMovie(instance, movieName, "! NPP_SetWindow 03");
      } else {
        SysOut(instance, "EMBED mode.");
        SysOut(instance, object->m_src);
        if (!object->m_src) {
          SysOut(instance, "! NPP_SetWindow 01");
        } else if (char* url = MakeMovieURL(object->m_src, movieName)) {
          SysOut(instance, url);
          RequestMovie(instance, url, "! NPP_SetWindow 03");
          delete[] url;
        } else {
          SysOut(instance, "! NPP_SetWindow 02");
        }
      }
    }
    win::InvalidateRect(object->m_hwnd, nullptr, win::TRUE);
    win::UpdateWindow(object->m_hwnd);
    return NPERR_NO_ERROR;
  });
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream* stream, NPBool, uint16_t* stype) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  if (stream) stream->pdata = instance->pdata;
  if (stype) *stype = NP_ASFILEONLY;
  return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP, NPStream*, NPReason) { return NPERR_NO_ERROR; }

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fileName) {
  if (!fileName || !fileName[0]) return;
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  Guarded<int>(0, [&] {
    npdesk::InstanceScope scope(instance);
    SysOut(instance, "<NPP_StreamAsFile>");
    SysOut(instance, fileName);
    if (ShortOfItsLength(stream, fileName)) {
      SysOut(instance, "! NPP_StreamAsFile 07");
      // The movie's request is notified next and reports it as not delivered; the project's
      // stream has no notification.
      if (!object->GetMovieName()) FireOnError(instance, ERR_PROJECT_OPEN);
      return 0;
    }
    if (object->GetMovieName()) {
      if (!object->OpenMovie(fileName)) {
        SysOut(instance, "! NPP_StreamAsFile 05");
        FireOnError(instance, ERR_MOVIE_OPEN);
      }
      return 0;
    }
    if (!object->OpenSrc(fileName)) {
      SysOut(instance, "! NPP_StreamAsFile 00-01");
      FireOnError(instance, ERR_PROJECT_OPEN);
      return 0;
    }
    if (!object->m_hwnd) {
      SysOut(instance, "! NPP_StreamAsFile 00-02");
      return 0;
    }
    if (object->m_fullPage) {
      SysOut(instance, "FULL_SCREEN mode.");
      const char* movieName = object->GetMovieName();
      if (!movieName) {
        SysOut(instance, "! NPP_StreamAsFile 04");
        return 0;
      }
      SysOut(instance, movieName);
      RequestMovie(instance, movieName, "! NPP_StreamAsFile 06");
      return 0;
    }
    SysOut(instance, "EMBED mode.");
    if (!object->m_src) {
      SysOut(instance, "! NPP_StreamAsFile 01");
      return 0;
    }
    const char* movieName = object->GetMovieName();
    if (!movieName) {
      SysOut(instance, "! NPP_StreamAsFile 02");
      return 0;
    }
    char* url = MakeMovieURL(object->m_src, movieName);
    if (!url) {
      SysOut(instance, "! NPP_StreamAsFile 03");
      return 0;
    }
    SysOut(instance, url);
    RequestMovie(instance, url, "! NPP_StreamAsFile 06");
    delete[] url;
    return 0;
  });
}

int32_t NPP_WriteReady(NPP, NPStream*) { return 0x0FFFFFFF; }

int32_t NPP_Write(NPP, NPStream*, int32_t, int32_t len, void*) { return len; }

void NPP_Print(NPP instance, NPPrint* print) {
  if (instance && print && print->mode == NP_FULL) print->print.fullPrint.pluginPrinted = 0;
}

void NPP_URLNotify(NPP instance, const char*, NPReason reason, void* notifyData) {
  CKLPluginWindow* object = InstanceObject(instance);
  if (!object) return;
  Guarded<int>(0, [&] {
    npdesk::InstanceScope scope(instance);
    auto r = static_cast<int16_t>(reason);
    if (r < 0) return 0;
    if (r == NPRES_DONE || r == NPRES_NETWORK_ERR) {
      const char* path = nullptr;
      if (CKLMoviePlay* player = object->m_player)
        path = reinterpret_cast<uintptr_t>(notifyData) == MOVIE_REQUEST_NOTIFY
                   ? player->m_moviePath
                   : player->m_projectPath;
      if (!path || !path[0]) FireOnError(instance, ERR_MOVIE_NOT_DELIVERED);
    } else if (r == NPRES_USER_BREAK) {
      FireOnError(instance, ERR_DOWNLOAD_BROKEN);
    }
    return 0;
  });
}

int16_t NPP_HandleEvent(NPP instance, void* event) {
  if (!InstanceObject(instance)) return 0;
  return Guarded<int16_t>(0, [&] { return npdesk::HandleEvent(instance, event); });
}

NPError GetModuleValue(NPPVariable variable, void* value) {
  if (!value) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = resources::Version().internalName;
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = resources::Version().fileDescription;
      return NPERR_NO_ERROR;
    default:
      return NPERR_INVALID_PARAM;
  }
}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  if (variable == NPPVpluginNeedsXEmbed && value) {
    *static_cast<NPBool*>(value) = 0;
    return NPERR_NO_ERROR;
  }
  if (variable == NPPVpluginScriptableNPObject) {
    if (!value || !InstanceObject(instance)) return NPERR_INVALID_PARAM;
    NPObject* object = Guarded<NPObject*>(nullptr, [&] { return ScriptableObjectFor(instance); });
    *static_cast<NPObject**>(value) = object;
    return object ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
  }
  return GetModuleValue(variable, value);
}

void FillPluginFuncs(NPPluginFuncs* f) {
  f->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  f->newp = NPP_New;
  f->destroy = NPP_Destroy;
  f->setwindow = NPP_SetWindow;
  f->newstream = NPP_NewStream;
  f->destroystream = NPP_DestroyStream;
  f->asfile = NPP_StreamAsFile;
  f->writeready = NPP_WriteReady;
  f->write = NPP_Write;
  f->print = NPP_Print;
  g_pluginFuncs = f;
}

// Load hook: the module records its handle and initialises COM for the loading thread.
__attribute__((constructor)) void ModuleLoaded() {
  static char moduleTag;
  SetModuleInstance(reinterpret_cast<win::HINSTANCE>(&moduleTag));
  com::CoInitialize(nullptr);
}

__attribute__((destructor)) void ModuleUnloaded() { com::CoUninitialize(); }

}  // namespace

KLP_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs* funcs) {
  if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
  FillPluginFuncs(funcs);
  return NPERR_NO_ERROR;
}

KLP_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* funcs) {
  return Guarded<NPError>(NPERR_GENERIC_ERROR, [&] {
    if (funcs) FillPluginFuncs(funcs);
    if (!browser) return NPERR_INVALID_FUNCTABLE_ERROR;
    SetBrowserFuncs(browser);
    if ((browser->version >> 8) != 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    npdesk::Install();
    npdesk::SetTraceSink(&SysOut);
    RegisterMediaClasses();
    if (g_pluginFuncs) {
      g_pluginFuncs->event = NPP_HandleEvent;
      g_pluginFuncs->getvalue = NPP_GetValue;
    }
    if ((browser->version & 0xFF) >= 9) {
      jref javaClass = HandOverScriptClass();
      if (g_pluginFuncs) {
        g_pluginFuncs->urlnotify = NPP_URLNotify;
        g_pluginFuncs->javaClass = javaClass;
      }
    }
    return NPERR_NO_ERROR;
  });
}

KLP_EXPORT NPError NP_Shutdown() {
  return Guarded<NPError>(NPERR_NO_ERROR, [] {
    ReleaseScriptClass();
    npdesk::Uninstall();  // every instance is gone; the next NP_Initialize makes a new desktop
    SetBrowserFuncs(nullptr);
    return NPERR_NO_ERROR;
  });
}

KLP_EXPORT const char* NP_GetMIMEDescription() { return resources::MimeDescription(); }

KLP_EXPORT NPError NP_GetValue(void*, NPPVariable variable, void* value) {
  return GetModuleValue(variable, value);
}
