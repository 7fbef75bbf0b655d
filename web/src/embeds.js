// The page's side: every <object> and <embed> of our type (present at load or added later) is
// replaced by a <klp-player> of the same size that keeps its attributes, with the plug-in
// element's script methods; the module is loaded once: klp.wasm from where the page said
// (window.klpWasmURL, set before this script runs), else from beside this script.

const SCRIPT_METHODS = ['Play', 'Pause', 'Stop', 'EnableMarker', 'EnableAnchor'];
const scriptURL = document.currentScript ? document.currentScript.src : document.baseURI;

// The plug-in's arguments: the element's attributes in order; an <object>'s <param> children
// after them, and its data as src when nothing else names one.
function argumentsOf(e) {
  const args = Array.from(e.attributes, (a) => [a.name, a.value]);
  if (e.localName === 'object') {
    for (const p of e.querySelectorAll(':scope > param')) {
      if (p.hasAttribute('name')) args.push([p.getAttribute('name'), p.getAttribute('value') || '']);
    }
    if (!args.some(([n]) => n.toLowerCase() === 'src') && e.hasAttribute('data'))
      args.push(['src', e.getAttribute('data')]);
  }
  return args;
}

// A length attribute in CSS pixels ("320", "320px"), or null.
function pixels(value) {
  const m = /^\s*(\d+(?:\.\d+)?)\s*(px)?\s*$/i.exec(value || '');
  return m ? Number(m[1]) : null;
}

let host = null;  // the NPAPIHost, once the module is ready
let loadFailed = false;
const waiting = new Set();  // players connected before it was

class KlpPlayerElement extends HTMLElement {
  connectedCallback() {
    if (this.klpInstance || !this.klpArgs) return;
    if (!host) {
      waiting.add(this);
      return;
    }
    this.klpInstance = new PlayerInstance(host, this, this.klpArgs);
    this.klpInstance.start();
    for (const [method, values] of this.klpEarlyCalls || []) {
      try {
        this.klpInstance.invoke(method, values);
      } catch (e) {
        console.error(`klp.js: ${method}(${values.map((v) => JSON.stringify(v)).join(', ')}), ` +
          `called before the player had started, was refused: ${e.message}`);
      }
    }
    this.klpEarlyCalls = null;
  }
  disconnectedCallback() {
    waiting.delete(this);
    const instance = this.klpInstance;
    this.klpInstance = null;
    if (instance) instance.destroy();
  }
  get klpWidth() { return this.clientWidth || pixels(this.getAttribute('width')) || 0; }
  get klpHeight() { return this.clientHeight || pixels(this.getAttribute('height')) || 0; }
}
for (const method of SCRIPT_METHODS) {
  KlpPlayerElement.prototype[method] = function (...values) {
    if (this.klpInstance) return this.klpInstance.invoke(method, values);
    if (!this.isConnected || loadFailed) throw new Error('Error calling method on NPObject.');
    // The module is still loading: the call runs when the player starts.
    (this.klpEarlyCalls ||= []).push([method, values]);
    return true;
  };
}

function replace(old) {
  const player = document.createElement('klp-player');
  for (const a of old.attributes) player.setAttribute(a.name, a.value);
  player.klpArgs = argumentsOf(old);
  // The embed's own look: its box as the page styled it, and its size.
  const style = old.isConnected ? getComputedStyle(old) : null;
  if (style) {
    const placed = style.getPropertyValue('position') !== 'static';
    const copied = ['border-top', 'border-right', 'border-bottom', 'border-left', 'margin',
      'vertical-align', 'float'];
    if (placed) copied.push('position', 'left', 'top', 'right', 'bottom', 'z-index');
    for (const p of copied) {
      if (!player.style.getPropertyValue(p)) player.style.setProperty(p, style.getPropertyValue(p));
    }
  }
  // The player's parts are laid out inside it, and it has its box before it starts.
  if (!player.style.position || player.style.position === 'static') player.style.position = 'relative';
  // An embed's hidden="false" showed it; any other hidden hides it.
  const hidden = player.hasAttribute('hidden') &&
    player.getAttribute('hidden').trim().toLowerCase() !== 'false';
  if (player.getAttribute('hidden')?.trim().toLowerCase() === 'false') player.removeAttribute('hidden');
  if (!player.style.display) player.style.display = hidden ? 'none' : 'inline-block';
  // Pixels as the page gave them; a percentage stays one, so the player follows the page.
  const length = (value, rendered, fallback) => {
    if (pixels(value) !== null) return `${pixels(value)}px`;
    if (/^\s*\d+(\.\d+)?%\s*$/.test(value || '')) return value.trim();
    return `${rendered || fallback}px`;
  };
  player.style.width = length(old.getAttribute('width'), old.offsetWidth, 300);
  player.style.height = length(old.getAttribute('height'), old.offsetHeight, 150);
  player.style.boxSizing = 'content-box';
  old.replaceWith(player);
  const name = player.getAttribute('name');
  if (name && !(name in document)) {
    Object.defineProperty(document, name, {
      configurable: true,
      get: () => document.querySelector(`klp-player[name="${CSS.escape(name)}"]`),
    });
  }
}

// Replaces the movies in root and below, <object>s first and outer ones before inner ones: an
// <object> often wraps an <embed> of the same movie, which goes with it. The fallback content of
// an object of another type is the page's to show, movies in it included.
function scan(root) {
  if (!root.querySelectorAll) return;
  const objects = [...(root.localName === 'object' ? [root] : []), ...root.querySelectorAll('object')];
  for (const o of objects) if (o.isConnected && isMovieObject(o)) replace(o);
  const embeds = [...(root.localName === 'embed' ? [root] : []), ...root.querySelectorAll('embed')];
  for (const e of embeds) if (e.isConnected && isMovieEmbed(e)) replace(e);
}

function startPage() {
  if (!customElements.get('klp-player')) customElements.define('klp-player', KlpPlayerElement);
  new MutationObserver((records) => {
    for (const r of records) for (const n of r.addedNodes) if (n.nodeType === 1) scan(n);
  }).observe(document.documentElement, { childList: true, subtree: true });
  scan(document.documentElement);
  if (document.readyState === 'loading')
    document.addEventListener('DOMContentLoaded', () => scan(document.documentElement));
}

// What the module's imports reach (library_klp.js).
const bridge = {
  media: new Map(),  // id -> MovieMedia
  nextMedia: 1,
  cursors: new Map(),
  mediaOpen(path, widthPtr, heightPtr, durationPtr, statusPtr) {
    let found = null;
    for (const instance of host.instances.values()) found ||= instance.media.get(path);
    const mem = host.mem;
    if (!found || found.status !== 0) {
      mem.setI32(statusPtr, found ? found.status : E_FILE_NOT_FOUND);
      return 0;
    }
    const id = this.nextMedia++;
    this.media.set(id, found);
    found.open(id);
    mem.setI32(widthPtr, found.video.videoWidth);
    mem.setI32(heightPtr, found.video.videoHeight);
    mem.setF64(durationPtr, Number.isFinite(found.video.duration) ? found.video.duration : 0);
    return id;
  },
  areaCursor(npp, kind, rgba, size, hotX, hotY) {
    host.instances.get(npp)?.showCursor(kind, rgba, size, hotX, hotY);
  },
  cursorImage(rgba, size) {
    const key = host.mem.u8.slice(rgba, rgba + size * size * 4).join(',');
    let url = this.cursors.get(key);
    if (!url) {
      const canvas = document.createElement('canvas');
      canvas.width = canvas.height = size;
      const pixels = new Uint8ClampedArray(host.mem.u8.slice(rgba, rgba + size * size * 4));
      canvas.getContext('2d').putImageData(new ImageData(pixels, size, size), 0, 0);
      url = canvas.toDataURL('image/png');
      this.cursors.set(key, url);
    }
    return url;
  },
};
const mediaCalls = {
  play: (m) => m.play(),
  pause: (m) => m.pause(),
  seek: (m, seconds, serial) => m.seek(seconds, serial),
  place: (m, ...rect) => m.place(...rect),
  sprite: (m, ...sprite) => m.setSprite(...sprite),
  sprites: (m, positions, count) => m.placeSprites(positions, count),
  close: (m, id) => { m.close(); bridge.media.delete(id); },
};
const moduleHost = {
  mediaOpen: (...a) => bridge.mediaOpen(...a),
  media(id, call, ...args) {
    const m = bridge.media.get(id);
    if (m) mediaCalls[call](m, ...(call === 'close' ? [id] : args));
  },
  areaCursor: (...a) => bridge.areaCursor(...a),
  modal(npp, call, ...args) { host.instances.get(npp)?.[call](...args); },
};

async function loadModule() {
  const wasmURL = window.klpWasmURL ? String(window.klpWasmURL) : null;
  const module = await createKlpModule({
    klpHost: moduleHost,
    locateFile: (file) => (file === 'klp.wasm' && wasmURL) || new URL(file, scriptURL).href,
    print: (t) => console.log(t),
    printErr: (t) => console.warn(t),
  });
  host = new NPAPIHost(module);
  host.cursorImage = (rgba, size) => bridge.cursorImage(rgba, size);
  for (const player of [...waiting]) {
    waiting.delete(player);
    if (player.isConnected) player.connectedCallback();
  }
}

if (!window.klpRuntime) {
  window.klpRuntime = {
    // What the runtime holds now: live instances and bytes of the module's heap in use.
    usage: () => (host ? { instances: host.instances.size, heap: host.module._klp_heap_in_use() }
      : { instances: 0, heap: 0 }),
    ready: loadModule().catch((e) => {
      loadFailed = true;
      console.error('klp.js: the movie player could not be loaded:', e);
      throw e;
    }),
  };
  window.klpRuntime.ready.catch(() => {});
  startPage();
}
