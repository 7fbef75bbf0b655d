// The NPAPI structures as the module lays them out in its memory (32-bit pointers), and the
// conversions between page values and NPVariants. The C++ side asserts the same offsets
// (plugin/web_abi.cpp).

const NPERR_NO_ERROR = 0;
const NPERR_GENERIC_ERROR = 1;
const NPERR_INVALID_PARAM = 9;
const NPRES_DONE = 0;
const NPRES_NETWORK_ERR = 1;
const NP_EMBED = 1;
const NP_FULL = 2;
const NP_ASFILE = 3;
const NP_ASFILEONLY = 4;
const NPWindowTypeDrawable = 2;
const NPPVpluginScriptableNPObject = 15;
const NPNVjavascriptEnabledBool = 4;
const NPNVWindowNPObject = 15;
const NPNVSupportsWindowless = 17;
const BROWSER_VERSION = (0 << 8) | 27;

// HRESULTs the media element reports (as signed 32-bit values).
const E_FILE_NOT_FOUND = 0x80070002 | 0;
const VFW_E_INVALID_FILE_FORMAT = 0x8004022F | 0;
const VFW_E_CANNOT_RENDER = 0x80040218 | 0;
const VFW_E_TIMEOUT = 0x8004022E | 0;

// Members after `uint16_t size, version`, one pointer each, in declaration order.
const PLUGIN_FUNCS = [
  'newp', 'destroy', 'setwindow', 'newstream', 'destroystream', 'asfile', 'writeready', 'write',
  'print', 'event', 'urlnotify', 'javaClass', 'getvalue', 'setvalue', 'gotfocus', 'lostfocus',
  'urlredirectnotify', 'clearsitedata', 'getsiteswithdata', 'didComposite',
];
const BROWSER_FUNCS = [
  'geturl', 'posturl', 'requestread', 'newstream', 'write', 'destroystream', 'status', 'uagent',
  'memalloc', 'memfree', 'memflush', 'reloadplugins', 'getJavaEnv', 'getJavaPeer',
  'geturlnotify', 'posturlnotify', 'getvalue', 'setvalue', 'invalidaterect', 'invalidateregion',
  'forceredraw', 'getstringidentifier', 'getstringidentifiers', 'getintidentifier',
  'identifierisstring', 'utf8fromidentifier', 'intfromidentifier', 'createobject',
  'retainobject', 'releaseobject', 'invoke', 'invokeDefault', 'evaluate', 'getproperty',
  'setproperty', 'removeproperty', 'hasproperty', 'hasmethod', 'releasevariantvalue',
  'setexception', 'pushpopupsenabledstate', 'poppopupsenabledstate', 'enumerate',
  'pluginthreadasynccall', 'construct', 'getvalueforurl', 'setvalueforurl',
  'getauthenticationinfo', 'scheduletimer', 'unscheduletimer', 'popupcontextmenu',
  'convertpoint', 'handleevent', 'unfocusinstance', 'urlredirectresponse',
];
const funcsSize = (names) => 4 + 4 * names.length;
const funcOffset = (names, name) => 4 + 4 * names.indexOf(name);

// NPClass: structVersion, then the hooks.
const NPCLASS_HOOKS = [
  'allocate', 'deallocate', 'invalidate', 'hasMethod', 'invoke', 'invokeDefault', 'hasProperty',
  'getProperty', 'setProperty', 'removeProperty', 'enumerate', 'construct',
];
const NPCLASS_SIZE = 4 + 4 * NPCLASS_HOOKS.length;
const classHookOffset = (name) => 4 + 4 * NPCLASS_HOOKS.indexOf(name);

// NPVariant: type, then an 8-byte aligned value. NPString: pointer, length.
const VARIANT_SIZE = 16;
const VARIANT_VALUE = 8;
const NPVariantType = { Void: 0, Null: 1, Bool: 2, Int32: 3, Double: 4, String: 5, Object: 6 };

// NPStream: pdata, ndata, url, end, lastmodified, notifyData, headers.
const STREAM_SIZE = 28;
// NPWindow: window, x, y, width, height, clipRect (4 x uint16), ws_info, type.
const WINDOW_SIZE = 36;
// The web host's event (platform/npdesk/web_event.h): seven int32 fields, then the pixels.
const EVENT_SIZE = 32;
const WebEvent = {
  Paint: 1, PointerDown: 2, PointerUp: 3, PointerMove: 4, PointerEnter: 5, PointerLeave: 6,
  MenuChoice: 7, DialogClick: 8, DialogKey: 9, DialogClose: 10, KeyDown: 11, FocusLost: 12, Tap: 13,
};
const WebState = { Left: 1, Right: 2, Middle: 4, Shift: 8, Control: 16 };

// Views of the module's memory, taken afresh at each access (the memory may grow).
class Memory {
  constructor(module) {
    this.m = module;
    this.encoder = new TextEncoder();
    this.decoder = new TextDecoder();
  }
  get u8() { return this.m.HEAPU8; }
  i32(p) { return this.m.HEAP32[p >> 2]; }
  u32(p) { return this.m.HEAPU32[p >> 2]; }
  setI32(p, v) { this.m.HEAP32[p >> 2] = v; }
  setU16(p, v) { this.m.HEAPU16[p >> 1] = v; }
  f64(p) { return this.m.HEAPF64[p >> 3]; }
  setF64(p, v) { this.m.HEAPF64[p >> 3] = v; }
  alloc(size) {
    const p = this.m._malloc(size);
    if (!p) throw new Error('out of memory');
    this.u8.fill(0, p, p + size);
    return p;
  }
  free(p) { if (p) this.m._free(p); }
  // A zero-terminated UTF-8 copy of text, for the module to read (and the caller to free).
  cstring(text) {
    const bytes = this.encoder.encode(String(text));
    const p = this.alloc(bytes.length + 1);
    this.u8.set(bytes, p);
    return p;
  }
  bytes(bytes) {
    const p = this.alloc(bytes.length + 1);
    this.u8.set(bytes, p);
    return p;
  }
  string(p, length) {
    if (!p) return '';
    const u8 = this.u8;
    let end = p;
    if (length === undefined) while (u8[end]) ++end;
    else end = p + length;
    return this.decoder.decode(u8.subarray(p, end));
  }
}
