// The browser's part of NPAPI, played for the module: its service table (NPN_*), NPRuntime
// objects and identifiers, timers, asynchronous calls, and the calls into the plug-in's
// callbacks (NPP_*). The module's code runs unchanged; this is the browser it talks to.

class NPAPIHost {
  constructor(module) {
    this.module = module;
    this.mem = new Memory(module);
    this.table = module.klpTable();
    this.identifiers = new Map();  // name -> pointer to the interned name
    this.identifierNames = new Map();  // pointer -> name
    this.hostObjects = new Map();  // NPObject pointer -> page value, for objects of the page
    this.objectsOfValues = new Map();  // page value -> NPObject pointer
    this.instances = new Map();  // NPP pointer -> PlayerInstance
    this.depth = 0;  // calls into the module under way
    this.afterCalls = [];  // work for when the outermost call has returned
    this.asyncQueue = [];
    this.channel = new MessageChannel();
    this.channel.port1.onmessage = () => this.runAsyncCalls();
    this.hostClass = this.mem.alloc(NPCLASS_SIZE);
    this.mem.setI32(this.hostClass, 3);
    this.plugin = {};
    this.initialize();
  }

  // --- Calls into the module ---------------------------------------------------------------
  // Every call into the module passes here, so that memory the module may still use on an
  // outer call's stack is freed only once the outermost call has returned.
  enter(fn) {
    ++this.depth;
    try {
      return fn();
    } catch (e) {
      console.error('klp.js: the module failed:', e);
      return undefined;
    } finally {
      if (--this.depth === 0) {
        const work = this.afterCalls;
        this.afterCalls = [];
        for (const w of work) w();
      }
    }
  }
  whenIdle(fn) {
    if (this.depth === 0) fn();
    else this.afterCalls.push(fn);
  }
  callPointer(pointer, ...args) {
    return this.table.get(pointer)(...args);
  }
  // The plug-in's callback by its member name; undefined when the table leaves it empty.
  callPlugin(name, ...args) {
    const pointer = this.plugin[name];
    if (!pointer) return undefined;
    return this.enter(() => this.callPointer(pointer, ...args));
  }

  // --- NP_Initialize -------------------------------------------------------------------------
  initialize() {
    const mem = this.mem;
    const browser = mem.alloc(funcsSize(BROWSER_FUNCS));
    mem.setU16(browser, funcsSize(BROWSER_FUNCS));
    mem.setU16(browser + 2, BROWSER_VERSION);
    for (const [name, [signature, fn]] of Object.entries(this.services())) {
      mem.setI32(browser + funcOffset(BROWSER_FUNCS, name), this.module.addFunction(fn, signature));
    }
    const plugin = mem.alloc(funcsSize(PLUGIN_FUNCS));
    mem.setU16(plugin, funcsSize(PLUGIN_FUNCS));
    const err = this.enter(() => this.module._NP_Initialize(browser, plugin));
    if (err !== NPERR_NO_ERROR) throw new Error(`NP_Initialize failed with ${err}`);
    for (const name of PLUGIN_FUNCS) this.plugin[name] = mem.i32(plugin + funcOffset(PLUGIN_FUNCS, name));
    this.browserFuncs = browser;
    this.pluginFuncs = plugin;
  }

  // The browser's services the module calls, with their wasm signatures. Members left out stay
  // null: the module then does without them.
  services() {
    const mem = this.mem;
    return {
      memalloc: ['ii', (size) => this.module._malloc(size)],
      memfree: ['vi', (p) => mem.free(p)],
      getJavaEnv: ['i', () => 0],
      getJavaPeer: ['ii', () => 0],
      geturlnotify: ['iiiii', (npp, url, target, notifyData) =>
        this.getURLNotify(npp, mem.string(url), target ? mem.string(target) : null, notifyData)],
      getvalue: ['iiii', (npp, variable, value) => this.getValue(npp, variable, value)],
      setvalue: ['iiii', () => NPERR_NO_ERROR],
      invalidaterect: ['vii', (npp) => this.instances.get(npp)?.invalidate()],
      forceredraw: ['vi', (npp) => this.instances.get(npp)?.invalidate()],
      getstringidentifier: ['ii', (name) => this.identifier(mem.string(name))],
      identifierisstring: ['ii', (id) => (this.identifierNames.has(id) ? 1 : 0)],
      utf8fromidentifier: ['ii', (id) =>
        (this.identifierNames.has(id) ? mem.cstring(this.identifierNames.get(id)) : 0)],
      createobject: ['iii', (npp, npclass) => this.createObject(npp, npclass)],
      retainobject: ['ii', (object) => {
        if (object) mem.setI32(object + 4, mem.u32(object + 4) + 1);
        return object;
      }],
      releaseobject: ['vi', (object) => this.releaseObject(object)],
      invoke: ['iiiiiii', (npp, object, name, args, count, result) =>
        this.invoke(object, name, args, count, result)],
      getproperty: ['iiiii', (npp, object, name, result) =>
        this.getProperty(object, name, result)],
      releasevariantvalue: ['vi', (variant) => this.releaseVariantValue(variant)],
      pluginthreadasynccall: ['viii', (npp, fn, data) => this.asyncCall(npp, fn, data)],
      scheduletimer: ['iiiii', (npp, interval, repeat, fn) =>
        this.instances.get(npp)?.scheduleTimer(interval, repeat, fn) ?? 0],
      unscheduletimer: ['vii', (npp, id) => this.instances.get(npp)?.unscheduleTimer(id)],
    };
  }

  getValue(npp, variable, value) {
    if (!value) return NPERR_INVALID_PARAM;
    switch (variable) {
      case NPNVWindowNPObject:
        this.mem.setI32(value, this.objectFor(window));
        return NPERR_NO_ERROR;
      case NPNVjavascriptEnabledBool:
      case NPNVSupportsWindowless:
        this.mem.u8[value] = 1;
        return NPERR_NO_ERROR;
      default:
        return NPERR_GENERIC_ERROR;  // no X display, no browser window
    }
  }

  getURLNotify(npp, url, target, notifyData) {
    const instance = this.instances.get(npp);
    if (!instance) return NPERR_GENERIC_ERROR;
    if (target !== null) return NPERR_GENERIC_ERROR;  // the host never navigates
    instance.request(url, notifyData);
    return NPERR_NO_ERROR;
  }

  // --- Asynchronous calls: a task each, in order, for live instances only --------------------
  asyncCall(npp, fn, data) {
    this.asyncQueue.push({ npp, fn, data });
    if (this.asyncQueue.length === 1) this.channel.port2.postMessage(0);
  }
  runAsyncCalls() {
    const calls = this.asyncQueue;
    this.asyncQueue = [];
    for (const c of calls) {
      if (this.instances.has(c.npp)) this.enter(() => this.callPointer(c.fn, c.data));
    }
  }
  forgetAsyncCalls(npp) {
    this.asyncQueue = this.asyncQueue.filter((c) => c.npp !== npp);
  }

  // --- NPRuntime -----------------------------------------------------------------------------
  identifier(name) {
    let id = this.identifiers.get(name);
    if (!id) {
      id = this.mem.cstring(name);  // interned for the page's life
      this.identifiers.set(name, id);
      this.identifierNames.set(id, name);
    }
    return id;
  }

  createObject(npp, npclass) {
    if (!npclass) return 0;
    const allocate = this.mem.i32(npclass + classHookOffset('allocate'));
    const object = allocate ? this.callPointer(allocate, npp, npclass) : this.mem.alloc(8);
    if (!object) return 0;
    this.mem.setI32(object, npclass);
    this.mem.setI32(object + 4, 1);
    return object;
  }

  releaseObject(object) {
    if (!object) return;
    const count = this.mem.u32(object + 4) - 1;
    this.mem.setI32(object + 4, count);
    if (count > 0) return;
    const npclass = this.mem.i32(object);
    if (npclass === this.hostClass) {
      this.objectsOfValues.delete(this.hostObjects.get(object));
      this.hostObjects.delete(object);
      this.mem.free(object);
      return;
    }
    const deallocate = this.mem.i32(npclass + classHookOffset('deallocate'));
    if (deallocate) this.callPointer(deallocate, object);
    else this.mem.free(object);
  }

  // The NPObject standing for a page object, with a new reference.
  objectFor(value) {
    let object = this.objectsOfValues.get(value);
    if (object) {
      this.mem.setI32(object + 4, this.mem.u32(object + 4) + 1);
      return object;
    }
    object = this.mem.alloc(8);
    this.mem.setI32(object, this.hostClass);
    this.mem.setI32(object + 4, 1);
    this.hostObjects.set(object, value);
    this.objectsOfValues.set(value, object);
    return object;
  }

  getProperty(object, name, result) {
    if (!this.hostObjects.has(object) || !this.identifierNames.has(name) || !result) return 0;
    let value;
    try {
      value = this.hostObjects.get(object)[this.identifierNames.get(name)];
    } catch (e) {
      return 0;
    }
    this.writeVariant(result, value);
    return 1;
  }

  invoke(object, name, args, count, result) {
    if (!this.hostObjects.has(object) || !this.identifierNames.has(name)) return 0;
    const target = this.hostObjects.get(object);
    const values = [];
    for (let i = 0; i < count; ++i) values.push(this.readVariant(args + i * VARIANT_SIZE));
    let value;
    try {
      value = target[this.identifierNames.get(name)](...values);
    } catch (e) {
      reportPageError(e);  // the page's own exception, on its console as it would be
      return 0;
    }
    if (result) this.writeVariant(result, value);
    return 1;
  }

  releaseVariantValue(variant) {
    if (!variant) return;
    const type = this.mem.i32(variant);
    if (type === NPVariantType.String) this.mem.free(this.mem.i32(variant + VARIANT_VALUE));
    else if (type === NPVariantType.Object) this.releaseObject(this.mem.i32(variant + VARIANT_VALUE));
    this.mem.setI32(variant, NPVariantType.Void);
  }

  // A page value as an NPVariant at p: numbers that are whole and fit 32 bits as Int32, the
  // others as Double; strings copied (released with NPN_ReleaseVariantValue); objects retained.
  writeVariant(p, value) {
    const mem = this.mem;
    mem.u8.fill(0, p, p + VARIANT_SIZE);
    const v = p + VARIANT_VALUE;
    if (value === undefined) {
      mem.setI32(p, NPVariantType.Void);
    } else if (value === null) {
      mem.setI32(p, NPVariantType.Null);
    } else if (typeof value === 'boolean') {
      mem.setI32(p, NPVariantType.Bool);
      mem.u8[v] = value ? 1 : 0;
    } else if (typeof value === 'number') {
      if (Number.isInteger(value) && value >= -0x80000000 && value <= 0x7FFFFFFF &&
          !Object.is(value, -0)) {
        mem.setI32(p, NPVariantType.Int32);
        mem.setI32(v, value);
      } else {
        mem.setI32(p, NPVariantType.Double);
        mem.setF64(v, value);
      }
    } else if (typeof value === 'string') {
      const bytes = mem.encoder.encode(value);
      mem.setI32(p, NPVariantType.String);
      mem.setI32(v, mem.bytes(bytes));
      mem.setI32(v + 4, bytes.length);
    } else if (typeof value === 'object' || typeof value === 'function') {
      mem.setI32(p, NPVariantType.Object);
      mem.setI32(v, this.objectFor(value));
    } else {  // symbols and big integers have no NPAPI form
      mem.setI32(p, NPVariantType.Void);
    }
  }

  readVariant(p) {
    const mem = this.mem;
    const v = p + VARIANT_VALUE;
    switch (mem.i32(p)) {
      case NPVariantType.Null: return null;
      case NPVariantType.Bool: return mem.u8[v] !== 0;
      case NPVariantType.Int32: return mem.i32(v);
      case NPVariantType.Double: return mem.f64(v);
      case NPVariantType.String: return mem.string(mem.i32(v), mem.u32(v + 4));
      case NPVariantType.Object: return this.hostObjects.get(mem.i32(v)) ?? null;
      default: return undefined;
    }
  }

  // Calls method of the module's scriptable object with page values, as a browser does for the
  // plug-in element: the result as a page value, or an exception when the object refuses.
  invokeScriptable(object, method, values) {
    const mem = this.mem;
    const npclass = mem.i32(object);
    const hasMethod = mem.i32(npclass + classHookOffset('hasMethod'));
    const invoke = mem.i32(npclass + classHookOffset('invoke'));
    const id = this.identifier(method);
    const args = mem.alloc(VARIANT_SIZE * Math.max(values.length, 1));
    const result = mem.alloc(VARIANT_SIZE);
    try {
      values.forEach((value, i) => this.writeVariant(args + i * VARIANT_SIZE, value));
      const ok = this.enter(() => hasMethod && this.callPointer(hasMethod, object, id) &&
        invoke && this.callPointer(invoke, object, id, args, values.length, result));
      if (!ok) throw new Error('Error calling method on NPObject.');
      const value = this.readVariant(result);
      this.releaseVariantValue(result);
      return value;
    } finally {
      for (let i = 0; i < values.length; ++i) this.releaseVariantValue(args + i * VARIANT_SIZE);
      mem.free(args);
      mem.free(result);
    }
  }
}

// An exception of the page's own script, reported as the browser reports uncaught ones.
function reportPageError(e) {
  if (typeof window.reportError === 'function') window.reportError(e);
  else setTimeout(() => { throw e; });
}
