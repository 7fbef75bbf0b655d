// The two NPAPI function tables: the browser's services (NPNetscapeFuncs) and the plug-in's
// callbacks (NPPluginFuncs), in the member order browsers use.
#pragma once

#include "platform/npapi/npapi.h"
#include "platform/npapi/npruntime.h"

extern "C" {

using NPP_NewProcPtr = NPError (*)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                                   char* argn[], char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError (*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError (*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, NPStream* stream,
                                         NPBool seekable, uint16_t* stype);
using NPP_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void (*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = int32_t (*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = int32_t (*)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                     void* buffer);
using NPP_PrintProcPtr = void (*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = int16_t (*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void (*)(NPP instance, const char* url, NPReason reason,
                                      void* notifyData);
using NPP_GetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* ret_value);
using NPP_SetValueProcPtr = NPError (*)(NPP instance, NPNVariable variable, void* value);
using NPP_GotFocusProcPtr = NPBool (*)(NPP instance, int direction);
using NPP_LostFocusProcPtr = void (*)(NPP instance);
using NPP_URLRedirectNotifyProcPtr = void (*)(NPP instance, const char* url, int32_t status,
                                              void* notifyData);
using NPP_ClearSiteDataPtr = NPError (*)(const char* site, uint64_t flags, uint64_t maxAge);
using NPP_GetSitesWithDataPtr = char** (*)(void);
using NPP_DidCompositePtr = void (*)(NPP instance);

struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  jref javaClass;
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
  NPP_GotFocusProcPtr gotfocus;
  NPP_LostFocusProcPtr lostfocus;
  NPP_URLRedirectNotifyProcPtr urlredirectnotify;
  NPP_ClearSiteDataPtr clearsitedata;
  NPP_GetSitesWithDataPtr getsiteswithdata;
  NPP_DidCompositePtr didComposite;
};

using NPN_GetURLProcPtr = NPError (*)(NPP instance, const char* url, const char* window);
using NPN_PostURLProcPtr = NPError (*)(NPP instance, const char* url, const char* window,
                                       uint32_t len, const char* buf, NPBool file);
using NPN_GenericProcPtr = void* (*)(void);
using NPN_GetJavaEnvProcPtr = JRIEnv* (*)(void);
using NPN_GetJavaPeerProcPtr = jref (*)(NPP instance);
using NPN_GetURLNotifyProcPtr = NPError (*)(NPP instance, const char* url, const char* target,
                                            void* notifyData);
using NPN_GetValueProcPtr = NPError (*)(NPP instance, NPNVariable variable, void* ret_value);
using NPN_SetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* value);
using NPN_InvalidateRectProcPtr = void (*)(NPP instance, NPRect* rect);
using NPN_ForceRedrawProcPtr = void (*)(NPP instance);
using NPN_MemAllocProcPtr = void* (*)(uint32_t size);
using NPN_MemFreeProcPtr = void (*)(void* ptr);
using NPN_GetStringIdentifierProcPtr = NPIdentifier (*)(const char* name);
using NPN_UTF8FromIdentifierProcPtr = char* (*)(NPIdentifier identifier);
using NPN_IdentifierIsStringProcPtr = bool (*)(NPIdentifier identifier);
using NPN_CreateObjectProcPtr = NPObject* (*)(NPP npp, NPClass* aClass);
using NPN_RetainObjectProcPtr = NPObject* (*)(NPObject* obj);
using NPN_ReleaseObjectProcPtr = void (*)(NPObject* obj);
using NPN_InvokeProcPtr = bool (*)(NPP npp, NPObject* obj, NPIdentifier methodName,
                                   const NPVariant* args, uint32_t argCount, NPVariant* result);
using NPN_GetPropertyProcPtr = bool (*)(NPP npp, NPObject* obj, NPIdentifier propertyName,
                                        NPVariant* result);
using NPN_ReleaseVariantValueProcPtr = void (*)(NPVariant* variant);
using NPN_PluginThreadAsyncCallProcPtr = void (*)(NPP instance, void (*func)(void*),
                                                  void* userData);
using NPN_ScheduleTimerProcPtr = uint32_t (*)(NPP instance, uint32_t interval, NPBool repeat,
                                              void (*timerFunc)(NPP npp, uint32_t timerID));
using NPN_UnscheduleTimerProcPtr = void (*)(NPP instance, uint32_t timerID);

struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;
  NPN_GetURLProcPtr geturl;
  NPN_PostURLProcPtr posturl;
  NPN_GenericProcPtr requestread;
  NPN_GenericProcPtr newstream;
  NPN_GenericProcPtr write;
  NPN_GenericProcPtr destroystream;
  NPN_GenericProcPtr status;
  NPN_GenericProcPtr uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_GenericProcPtr memflush;
  NPN_GenericProcPtr reloadplugins;
  NPN_GetJavaEnvProcPtr getJavaEnv;
  NPN_GetJavaPeerProcPtr getJavaPeer;
  NPN_GetURLNotifyProcPtr geturlnotify;
  NPN_GenericProcPtr posturlnotify;
  NPN_GetValueProcPtr getvalue;
  NPN_SetValueProcPtr setvalue;
  NPN_InvalidateRectProcPtr invalidaterect;
  NPN_GenericProcPtr invalidateregion;
  NPN_ForceRedrawProcPtr forceredraw;
  NPN_GetStringIdentifierProcPtr getstringidentifier;
  NPN_GenericProcPtr getstringidentifiers;
  NPN_GenericProcPtr getintidentifier;
  NPN_IdentifierIsStringProcPtr identifierisstring;
  NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
  NPN_GenericProcPtr intfromidentifier;
  NPN_CreateObjectProcPtr createobject;
  NPN_RetainObjectProcPtr retainobject;
  NPN_ReleaseObjectProcPtr releaseobject;
  NPN_InvokeProcPtr invoke;
  NPN_GenericProcPtr invokeDefault;
  NPN_GenericProcPtr evaluate;
  NPN_GetPropertyProcPtr getproperty;
  NPN_GenericProcPtr setproperty;
  NPN_GenericProcPtr removeproperty;
  NPN_GenericProcPtr hasproperty;
  NPN_GenericProcPtr hasmethod;
  NPN_ReleaseVariantValueProcPtr releasevariantvalue;
  NPN_GenericProcPtr setexception;
  NPN_GenericProcPtr pushpopupsenabledstate;
  NPN_GenericProcPtr poppopupsenabledstate;
  NPN_GenericProcPtr enumerate;
  NPN_PluginThreadAsyncCallProcPtr pluginthreadasynccall;
  NPN_GenericProcPtr construct;
  NPN_GenericProcPtr getvalueforurl;
  NPN_GenericProcPtr setvalueforurl;
  NPN_GenericProcPtr getauthenticationinfo;
  NPN_ScheduleTimerProcPtr scheduletimer;
  NPN_UnscheduleTimerProcPtr unscheduletimer;
  NPN_GenericProcPtr popupcontextmenu;
  NPN_GenericProcPtr convertpoint;
  NPN_GenericProcPtr handleevent;
  NPN_GenericProcPtr unfocusinstance;
  NPN_GenericProcPtr urlredirectresponse;
};

}  // extern "C"
