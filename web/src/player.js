// One plug-in instance in the page, as a browser keeps it: the NPP handle, the window (an area
// canvas the module paints into), the streams it asked for, its timers, its movies, and the
// pointer events of its element turned into the host's events for NPP_HandleEvent.

let streamSerial = 0;
const MAX_AREA_PIXELS = 16 * 1024 * 1024;
const LONG_PRESS_MS = 500;
const TAP_SLOP = 10;  // CSS pixels a finger may move and still tap
const KEYS = { Tab: 9, Enter: 13, ' ': 32 };
// A project is read ahead of its hand-over in slices of about this long, the page running on
// between them.
const READ_AHEAD_SLICE_MS = 8;
const READ_AHEAD_LINES = 2048;  // lines read between looks at the clock

// Resolves in a task of its own, after the events already waiting (a timer could be clamped).
const nextTask = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = () => { channel.port1.close(); resolve(); };
  channel.port2.postMessage(0);
});

// Whether the device has no mouse (nor another fine pointer): a tap then activates whatever the
// activation method, since there is nothing to double-click with.
const noMouse = () => !window.matchMedia?.('(any-pointer: fine)').matches;

class PlayerInstance {
  constructor(host, element, args) {
    this.host = host;
    this.element = element;
    this.args = args;  // [name, value] pairs, in the page's order
    this.timers = new Map();  // browser timer id -> JS timer
    this.nextTimer = 1;
    this.media = new Map();  // file path -> MovieMedia
    this.files = [];
    this.aborter = new AbortController();
    this.paintPending = false;
    this.pixels = 0;
    this.pixelsSize = 0;
    this.scriptable = 0;
    this.live = false;

    const root = element.shadowRoot || element.attachShadow({ mode: 'open' });
    root.innerHTML = '<style>' +
      ':host{display:inline-block;position:relative;overflow:hidden;vertical-align:baseline}' +
      ':host([hidden]){display:none}' +
      '.area,.video,.layer{position:absolute;left:0;top:0}' +
      '.video{object-fit:fill}.video,.layer{pointer-events:none}.layer{overflow:hidden}' +
      '.plane{transform-origin:0 0}' +
      '.plane>canvas{position:absolute;left:0;top:0;image-rendering:pixelated;will-change:transform}' +
      '.focus{position:absolute;display:none;box-sizing:border-box;pointer-events:none;z-index:1;' +
      'border:2px solid #fff;outline:2px solid #000}' +
      '.live{position:absolute;width:1px;height:1px;overflow:hidden;clip-path:inset(50%);white-space:nowrap}' +
      '</style>';
    this.area = document.createElement('canvas');
    this.area.className = 'area';
    this.stage = root;
    // The keyboard's way in: a focus ring on the anchor focused, and what is said about it.
    this.ring = document.createElement('div');
    this.ring.className = 'focus';
    this.liveRegion = document.createElement('div');
    this.liveRegion.className = 'live';
    this.liveRegion.setAttribute('aria-live', 'polite');
    root.append(this.area, this.ring, this.liveRegion);
    if (!element.hasAttribute('tabindex')) element.tabIndex = 0;
    if (!element.hasAttribute('role')) element.setAttribute('role', 'group');
    if (!element.hasAttribute('aria-roledescription')) element.setAttribute('aria-roledescription', 'interactive movie');
  }

  get mem() { return this.host.mem; }

  // NPP_New, then the window, then the page's src as the instance's first stream.
  start() {
    const { host, mem } = this;
    this.npp = mem.alloc(8);
    host.instances.set(this.npp, this);
    this.args = this.args.slice(0, 0x7FFF);  // the plug-in counts them in 16 bits
    const names = this.args.map(([n]) => mem.cstring(n));
    const values = this.args.map(([, v]) => mem.cstring(v));
    const argn = mem.alloc(4 * Math.max(names.length, 1));
    const argv = mem.alloc(4 * Math.max(values.length, 1));
    names.forEach((p, i) => mem.setI32(argn + 4 * i, p));
    values.forEach((p, i) => mem.setI32(argv + 4 * i, p));
    const type = mem.cstring(MIME_TYPE);
    // A project shown as a document of its own (the page `klp view` makes for a .klp) is a
    // full-page instance, as a browser with plug-ins would create it.
    const full = this.element.getAttribute('data-klp-mode') === 'full';
    const err = host.callPlugin('newp', type, this.npp, full ? NP_FULL : NP_EMBED,
      this.args.length, argn, argv, 0);
    for (const p of [...names, ...values, argn, argv, type]) mem.free(p);
    if (err !== NPERR_NO_ERROR) {
      console.error(`klp.js: the plug-in refused the instance (error ${err})`);
      host.instances.delete(this.npp);
      mem.free(this.npp);
      this.npp = 0;
      return;
    }
    this.live = true;
    this.listen();
    this.setWindow();
    const src = this.args.find(([n]) => n.toLowerCase() === 'src');
    if (src) this.fetchStream(src[1], null);
  }

  // NPP_Destroy: nothing of the instance runs afterwards.
  destroy() {
    if (!this.live) return;
    this.live = false;
    const { host, mem } = this;
    this.aborter.abort();
    this.unlisten();
    const save = mem.alloc(4);
    host.callPlugin('destroy', this.npp, save);
    mem.free(save);
    this.modalClosed();
    for (const t of this.timers.values()) clearInterval(t.handle);
    this.timers.clear();
    host.forgetAsyncCalls(this.npp);
    host.instances.delete(this.npp);
    for (const m of this.media.values()) m.dispose();
    this.media.clear();
    for (const f of this.files) {
      try { host.module.FS.unlink(f); } catch (e) { /* already gone */ }
    }
    const npp = this.npp;
    const scriptable = this.scriptable;
    const owned = [this.pixels, this.window, this.event, npp];
    host.whenIdle(() => {
      if (scriptable) host.releaseObject(scriptable);
      for (const p of owned) mem.free(p);
    });
  }

  // --- The window ----------------------------------------------------------------------------
  size() {
    const width = Math.max(0, Math.round(this.element.klpWidth));
    const height = Math.max(0, Math.round(this.element.klpHeight));
    return { width, height };
  }
  setWindow() {
    const { mem } = this;
    const { width, height } = this.size();
    this.area.width = width;
    this.area.height = height;
    if (!this.window) this.window = mem.alloc(WINDOW_SIZE);
    const w = this.window;
    mem.setI32(w + 12, width);
    mem.setI32(w + 16, height);
    mem.setU16(w + 20 + 4, Math.min(height, 0xFFFF));  // clipRect: top, left, bottom, right
    mem.setU16(w + 20 + 6, Math.min(width, 0xFFFF));
    mem.setI32(w + 32, NPWindowTypeDrawable);
    this.host.callPlugin('setwindow', this.npp, w);
    this.coverChanged();
    this.invalidate();
  }
  // The area's own picture is hidden while a movie covers all of it: the page then composites
  // the picture alone. Where a movie leaves part of it free (a full-page instance shows the
  // movie at its own size), the area is painted anew, as the window behind the movie paints
  // now (its background, no longer the idle picture).
  coverChanged() {
    const { width, height } = this.size();
    const covered = [...this.media.values()].some((m) => m.covers(width, height));
    this.area.style.visibility = covered ? 'hidden' : '';
    if (!covered) this.invalidate();
  }
  invalidate() {
    if (this.paintPending || !this.live) return;
    this.paintPending = true;
    requestAnimationFrame(() => this.paint());
  }
  paint() {
    this.paintPending = false;
    if (!this.live) return;
    const { width, height } = this.size();
    // The area's own picture (white, the idle picture) is painted up to a sane size; a larger
    // player shows the page's background around it.
    if (!width || !height || width * height > MAX_AREA_PIXELS) return;
    const { mem } = this;
    const bytes = width * height * 4;
    if (this.pixelsSize !== bytes) {
      mem.free(this.pixels);
      this.pixels = mem.alloc(bytes);
      this.pixelsSize = bytes;
    }
    const handled = this.sendEvent(WebEvent.Paint, 0, 0, width, height, 0, 0, this.pixels);
    if (!handled || !this.live) return;
    const image = new ImageData(new Uint8ClampedArray(mem.u8.buffer, this.pixels, bytes), width, height);
    this.area.getContext('2d').putImageData(image, 0, 0);
  }

  sendEvent(type, x, y, width, height, button, state, pixels) {
    if (!this.live) return 0;
    const { mem } = this;
    if (!this.event) this.event = mem.alloc(EVENT_SIZE);
    const e = this.event;
    [type, x, y, width, height, button, state, pixels].forEach((v, i) => mem.setI32(e + 4 * i, v));
    return this.host.callPlugin('event', this.npp, e);
  }

  // --- Pointer and cursor --------------------------------------------------------------------
  listen() {
    const element = this.element;
    const point = (e) => {
      const r = element.getBoundingClientRect();
      return [Math.floor(e.clientX - r.left - element.clientLeft),
              Math.floor(e.clientY - r.top - element.clientTop)];
    };
    const state = (e) => (e.buttons & 7) | (e.shiftKey ? WebState.Shift : 0) |
      (e.ctrlKey ? WebState.Control : 0);
    const send = (type) => (e) => {
      if (!this.live || e.pointerType === 'touch') return;
      const [x, y] = point(e);
      if (type === WebEvent.PointerDown) {
        for (const m of this.media.values()) m.userActed();
        element.setPointerCapture?.(e.pointerId);
        // The mouse takes over from the keyboard: the ring goes.
        if (this.focusName) this.sendEvent(WebEvent.FocusLost, 0, 0, 0, 0, 0, 0, 0);
      }
      this.sendEvent(type, x, y, 0, 0, e.button, state(e), 0);
    };
    const mouse = {
      down: send(WebEvent.PointerDown), up: send(WebEvent.PointerUp), move: send(WebEvent.PointerMove),
    };
    this.handlers = {
      pointerenter: send(WebEvent.PointerEnter),
      pointerleave: send(WebEvent.PointerLeave),
      // The right button is the module's: its own menu opens on the release.
      contextmenu: (e) => e.preventDefault(),
      keydown: (e) => {
        const vk = KEYS[e.key];
        if (!this.live || !vk || e.target !== element || e.altKey || e.ctrlKey || e.metaKey) return;
        if (this.sendEvent(WebEvent.KeyDown, 0, 0, 0, 0, vk, e.shiftKey ? WebState.Shift : 0, 0)) e.preventDefault();
      },
      blur: () => this.sendEvent(WebEvent.FocusLost, 0, 0, 0, 0, 0, 0, 0),
      ...this.touchHandlers(point, mouse),
    };
    for (const [name, fn] of Object.entries(this.handlers)) element.addEventListener(name, fn);
    if (window.ResizeObserver) {
      this.resize = new ResizeObserver(() => {
        const { width, height } = this.size();
        if (this.live && (width !== this.area.width || height !== this.area.height)) this.setWindow();
      });
      this.resize.observe(element);
    }
  }
  // Touch: a tap is a click (on a device without a mouse, an activation whatever the activation
  // method); a long press is a right click, which opens the menu. A finger that moves scrolls.
  touchHandlers(point, mouse) {
    let touch = null;
    const cancel = () => {
      if (touch) clearTimeout(touch.timer);
      touch = null;
    };
    const click = (button, x, y) => {
      const held = button === 2 ? WebState.Right : WebState.Left;
      this.sendEvent(WebEvent.PointerDown, x, y, 0, 0, button, held, 0);
      if (this.live) this.sendEvent(WebEvent.PointerUp, x, y, 0, 0, button, 0, 0);
    };
    return {
      pointerdown: (e) => {
        if (e.pointerType !== 'touch') return mouse.down(e);
        cancel();
        if (!this.live || !e.isPrimary) return;
        for (const m of this.media.values()) m.userActed();
        const [x, y] = point(e);
        touch = { id: e.pointerId, x, y, clientX: e.clientX, clientY: e.clientY };
        touch.timer = setTimeout(() => {
          const t = touch;
          touch = null;
          if (this.live) click(2, t.x, t.y);
        }, LONG_PRESS_MS);
      },
      pointermove: (e) => {
        if (e.pointerType !== 'touch') return mouse.move(e);
        if (touch && touch.id === e.pointerId &&
            Math.hypot(e.clientX - touch.clientX, e.clientY - touch.clientY) > TAP_SLOP) cancel();
      },
      pointerup: (e) => {
        if (e.pointerType !== 'touch') return mouse.up(e);
        if (!touch || touch.id !== e.pointerId || !this.live) return cancel();
        const { x, y } = touch;
        cancel();
        if (noMouse()) this.sendEvent(WebEvent.Tap, x, y, 0, 0, 0, 0, 0);
        else click(0, x, y);
      },
      pointercancel: cancel,
    };
  }

  // --- Keyboard focus and what assistive technology is told ---------------------------------
  showFocus(x, y, width, height, ellipse, name) {
    const ring = this.ring.style;
    if (width <= 0) {
      ring.display = 'none';
      this.focusName = '';
      return;
    }
    Object.assign(ring, {
      display: 'block', left: `${x}px`, top: `${y}px`, width: `${width}px`, height: `${height}px`,
      borderRadius: ellipse ? '50%' : '0',
    });
    if (name !== this.focusName) this.say(name);
    this.focusName = name;
  }
  // Markers and events passed are said only when the page asks for it.
  passed(kind, name) {
    if ((this.element.getAttribute('announcemarks') || '').trim().toLowerCase() !== 'true') return;
    this.say(`${kind === 'marker' ? 'Marker' : 'Event'}: ${name}`);
  }
  say(text) {
    this.liveRegion.textContent = text;
  }

  unlisten() {
    if (this.handlers)
      for (const [name, fn] of Object.entries(this.handlers)) this.element.removeEventListener(name, fn);
    this.handlers = null;
    this.resize?.disconnect();
    this.element.style.cursor = '';
  }
  showCursor(kind, rgba, size, hotX, hotY) {
    const style = this.element.style;
    if (kind === 0) style.cursor = '';
    else if (kind === 1) style.cursor = 'default';
    else if (kind === 2) style.cursor = 'wait';
    else style.cursor = `url(${this.host.cursorImage(rgba, size)}) ${hotX} ${hotY}, pointer`;
  }

  // --- Menu and dialogs (modal.js) ---------------------------------------------------------
  showMenu(x, y, items) {
    this.modalClosed();
    this.modal = new ModuleMenu(this, x, y, items,
      (command) => this.sendEvent(WebEvent.MenuChoice, 0, 0, 0, 0, command, 0, 0));
  }
  showDialog(description, picture) {
    this.modalClosed();
    this.modal = new ModuleDialog(this, description, picture,
      (type, value) => this.sendEvent(type, 0, 0, 0, 0, value, 0, 0));
  }
  dialogChecks(states) {
    if (this.modal instanceof ModuleDialog) this.modal.apply(states);
  }
  modalClosed() {
    this.modal?.close();
    this.modal = null;
  }

  // --- Timers --------------------------------------------------------------------------------
  scheduleTimer(interval, repeat, fn) {
    const id = this.nextTimer++;
    const fire = () => {
      if (!this.live || !this.timers.has(id)) return;
      if (!repeat) this.timers.delete(id);
      this.host.enter(() => this.host.callPointer(fn, this.npp, id));
    };
    const handle = repeat ? setInterval(fire, interval) : setTimeout(fire, interval);
    this.timers.set(id, { handle });
    return id;
  }
  unscheduleTimer(id) {
    const t = this.timers.get(id);
    if (!t) return;
    clearInterval(t.handle);
    this.timers.delete(id);
  }

  // --- Streams -------------------------------------------------------------------------------
  // NPN_GetURLNotify: the movie. Its outcome is told with NPP_URLNotify. The player is named
  // after it, unless the page named it.
  request(url, notifyData) {
    if (!this.element.hasAttribute('aria-label') || this.namedAfterMovie) {
      let name = url;
      try { name = decodeURIComponent(new URL(url, document.baseURI).pathname.split('/').pop()) || url; }
      catch (e) { /* the URL as written */ }
      this.element.setAttribute('aria-label', name);
      this.namedAfterMovie = true;
    }
    this.fetchStream(url, { notifyData });
  }

  async fetchStream(url, notify) {
    const signal = this.aborter.signal;
    let response = null;
    let bytes = null;
    try {
      const resolved = new URL(url, document.baseURI);
      // Only documents are fetched: a script URL never runs.
      if (!['http:', 'https:', 'blob:', 'data:', 'file:'].includes(resolved.protocol)) {
        throw new Error(`refused ${resolved.protocol} URL`);
      }
      response = await fetch(resolved.href, { signal, credentials: 'same-origin' });
      if (!response.ok) throw new Error(`HTTP ${response.status}`);
      bytes = new Uint8Array(await response.arrayBuffer());
    } catch (e) {
      if (signal.aborted || !this.live) return;
      if (notify) this.urlNotify(url, NPRES_NETWORK_ERR, notify.notifyData);
      return;
    }
    if (!this.live) return;
    const type = (response.headers.get('Content-Type') || '').split(';')[0].trim();
    const path = this.fileFor(url, bytes);
    if (notify) {
      const media = new MovieMedia(this, bytes, type.startsWith('video/') ? type : '');
      this.media.set(path, media);
      await media.load();
      if (!this.live) return;
      this.deliver(url, path, bytes.length, type || MIME_TYPE, notify);
      return;
    }
    const pathPtr = this.mem.cstring(path);
    const readAhead = this.host.module._klp_read_ahead_begin(pathPtr);
    this.mem.free(pathPtr);
    try {
      await this.readAhead(readAhead);
      if (this.live) this.deliver(url, path, bytes.length, type || MIME_TYPE, notify);
    } finally {
      this.host.module._klp_read_ahead_end(readAhead);
    }
  }

  // The project's file is read ahead in slices, the page running on between them; the read in
  // NPP_StreamAsFile then takes what was read, and a large project does not hold the page.
  async readAhead(id) {
    const { module } = this.host;
    for (let more = id !== 0; more && this.live;) {
      const start = performance.now();
      do more = module._klp_read_ahead_step(id, READ_AHEAD_LINES) !== 0;
      while (more && performance.now() - start < READ_AHEAD_SLICE_MS);
      if (more) await nextTask();
    }
  }

  // The file the stream is handed over as, in the module's file system.
  fileFor(url, bytes) {
    const FS = this.host.module.FS;
    const dir = `/streams/${++streamSerial}`;
    let name = '';
    try { name = decodeURIComponent(new URL(url, document.baseURI).pathname.split('/').pop()); }
    catch (e) { /* keep the default */ }
    name = name.replace(/[\\/:\0]/g, '_').slice(-100) || 'stream';
    try { FS.mkdir('/streams'); } catch (e) { /* exists */ }
    FS.mkdir(dir);
    const path = `${dir}/${name}`;
    FS.writeFile(path, bytes, { canOwn: true });  // the file keeps the fetched bytes
    this.files.push(path);
    return path;
  }

  // As browsers deliver a stream the plug-in takes as a file: NPP_NewStream,
  // NPP_StreamAsFile, NPP_DestroyStream, and for a notifying request NPP_URLNotify.
  deliver(url, path, length, type, notify) {
    const { host, mem } = this;
    const stream = mem.alloc(STREAM_SIZE);
    const urlPtr = mem.cstring(url);
    const typePtr = mem.cstring(type);
    const pathPtr = mem.cstring(path);
    const stype = mem.alloc(4);
    mem.setI32(stream + 8, urlPtr);
    mem.setI32(stream + 12, length);
    mem.setI32(stream + 20, notify ? notify.notifyData : 0);
    mem.setU16(stype, 1);  // NP_NORMAL unless the plug-in asks otherwise
    const err = host.callPlugin('newstream', this.npp, typePtr, stream, 0, stype);
    if (err === NPERR_NO_ERROR && this.live) {
      const how = mem.u8[stype] | (mem.u8[stype + 1] << 8);
      if (how === NP_ASFILE || how === NP_ASFILEONLY) host.callPlugin('asfile', this.npp, stream, pathPtr);
      if (this.live) host.callPlugin('destroystream', this.npp, stream, NPRES_DONE);
    }
    host.whenIdle(() => { for (const p of [stream, urlPtr, typePtr, pathPtr, stype]) mem.free(p); });
    if (notify && this.live) {
      this.urlNotify(url, err === NPERR_NO_ERROR ? NPRES_DONE : NPRES_NETWORK_ERR, notify.notifyData);
    }
  }

  urlNotify(url, reason, notifyData) {
    const { host, mem } = this;
    const urlPtr = mem.cstring(url);
    host.callPlugin('urlnotify', this.npp, urlPtr, reason, notifyData);
    host.whenIdle(() => mem.free(urlPtr));
  }

  // --- Scripting -----------------------------------------------------------------------------
  invoke(method, values) {
    if (!this.live) throw new Error('Error calling method on NPObject.');
    if (!this.scriptable) {
      const { mem } = this;
      const out = mem.alloc(4);
      const err = this.host.callPlugin('getvalue', this.npp, NPPVpluginScriptableNPObject, out);
      this.scriptable = err === NPERR_NO_ERROR ? mem.i32(out) : 0;
      mem.free(out);
      if (!this.scriptable) throw new Error('Error calling method on NPObject.');
    }
    return this.host.invokeScriptable(this.scriptable, method, values);
  }
}
