// The editor page of `klp edit`. The records live here as plain objects; everything that knows
// the file format is the editing module's (klp-edit.js: the reader, the writer, the lint and the
// overlay's geometry, compiled from the same C++ as the plug-in), and the page hands the records
// over to it before each question. The server (host/edit) gives the session, the movie and the
// project file, and takes the file back.
'use strict';

const DEFAULT_FRAME = 0x0000FF;      // a hot spot without an effect is framed in blue
const DEFAULT_HIGHLIGHT = 0xFF0000;  // and red while activated, 3 pixels wide
const DEFAULT_WIDTH = 3;
const HANDLE = 5;                    // half a resize handle, in screen pixels
const $ = (id) => document.getElementById(id);

const app = {
  mod: null,         // the editing module
  session: null,     // from the server
  fps: 25,
  last: 0,           // the last frame of the time line
  width: 0,          // the picture, in video pixels
  height: 0,
  frame: 0,
  records: null,     // {version, source, markers, events, hotSpots (each with its effect), links, otherEffects}
  selected: { list: 'hotSpots', index: -1 },
  undo: [],
  redo: [],
  savedText: null,   // what was read or saved last
  fit: true,
  tool: 'R',
  drag: null,        // the stage or time line gesture under way
  lint: null,
};

// ---- The editing module ---------------------------------------------------------------------

function cString(text) {
  const m = app.mod;
  const n = m.lengthBytesUTF8(text) + 1;
  const p = m._malloc(n);
  m.stringToUTF8(text, p, n);
  return p;
}

// Calls fn with the strings as C strings, freed after.
function withStrings(strings, fn) {
  const ptrs = strings.map((s) => cString(String(s)));
  try { return fn(...ptrs); } finally { ptrs.forEach((p) => app.mod._free(p)); }
}

const editing = {
  open(text) {
    return JSON.parse(withStrings([text], (p) => app.mod.UTF8ToString(app.mod._klp_edit_open(p))));
  },
  write(playable) { return JSON.parse(app.mod.UTF8ToString(app.mod._klp_edit_write(playable ? 1 : 0))); },
  lint() {
    const frames = app.session.movie.frames ?? -1;
    return JSON.parse(app.mod.UTF8ToString(app.mod._klp_edit_lint(frames, app.width, app.height)));
  },
  anchorAt(index, frame) {
    const p = app.mod._klp_edit_anchor_at(index, frame);
    const v = [0, 1, 2, 3, 4].map((i) => app.mod.getValue(p + 4 * i, 'i32'));
    return { drawn: (v[0] & 1) !== 0, hit: (v[0] & 2) !== 0, any: v[0] !== 0 || hasKeys(index),
             rect: { left: v[1], top: v[2], right: v[3], bottom: v[4] } };
  },
  // The page's records, handed over in list order; source given for the preview.
  push(source) {
    const m = app.mod;
    const r = app.records;
    withStrings([r.version, source ?? r.source], (v, s) => m._klp_edit_clear(v, s));
    for (const k of r.markers) withStrings([k.name], (n) => m._klp_edit_add_marker(n, k.frame));
    for (const e of r.events) {
      withStrings([e.name, e.kind, e.params], (n, k, p) => m._klp_edit_add_event(n, e.frame, k, p));
    }
    for (const h of r.hotSpots) {
      withStrings([h.name, h.link, h.shape], (n, l, s) => m._klp_edit_add_hot_spot(n, l, s, h.start, h.end));
      for (const [f, l, t, rr, b] of h.keyFrames) m._klp_edit_add_key_frame(f, l, t, rr, b);
    }
    for (const l of r.links) {
      withStrings([l.name, l.kind, l.seekParam, l.playerParam, l.url, l.urlTarget, l.extra],
        (...p) => m._klp_edit_add_link(...p));
    }
    const effects = r.hotSpots.filter((h) => h.effect).map((h) => ({ ...h.effect, name: h.name }));
    for (const e of effects.concat(r.otherEffects)) {
      withStrings([e.name], (n) => m._klp_edit_add_effect(n, e.frameColor, e.highlightColor, e.lineWidth, e.visibility));
    }
  },
};

function hasKeys(index) {
  const h = app.records.hotSpots[index];
  return !!h && h.keyFrames.length > 0;
}

// The file's records as the page keeps them: each effect with the first hot spot of its name.
function fromFile(records) {
  const r = { ...records, otherEffects: [] };
  r.hotSpots = records.hotSpots.map((h) => ({ ...h, effect: null }));
  for (const e of records.effects) {
    const h = r.hotSpots.find((s) => s.name === e.name && !s.effect);
    const { name, ...rest } = e;
    if (h) h.effect = rest;
    else r.otherEffects.push(e);
  }
  delete r.effects;
  return r;
}

// ---- Changes, undo and redo ---------------------------------------------------------------

// Applies change to the records as one step of the undo history.
function commit(change) {
  const before = JSON.stringify(app.records);
  change(app.records);
  if (JSON.stringify(app.records) === before) return refresh();
  app.undo.push(before);
  app.redo = [];
  refresh();
}

function undo() { travel(app.undo, app.redo); }
function redo() { travel(app.redo, app.undo); }

// Goes back to the records last kept on from, keeping the present ones on to.
function travel(from, to) {
  if (!from.length) return;
  to.push(JSON.stringify(app.records));
  app.records = JSON.parse(from.pop());
  keepSelection();
  refresh();
}

function keepSelection() {
  const list = app.records[app.selected.list] || [];
  if (app.selected.index >= list.length) app.selected.index = list.length - 1;
}

function select(list, index) {
  app.selected = { list, index };
  render();
}

function selectedSpot() {
  return app.selected.list === 'hotSpots' ? app.records.hotSpots[app.selected.index] : undefined;
}

function uniqueName(base, list) {
  for (let i = 1; ; ++i) {
    const name = base + i;
    if (!list.some((x) => x.name === name)) return name;
  }
}

// A key frame at frame, new or in place of the one there; the span grows to hold it.
function putKeyFrame(spot, frame, rect) {
  const key = [frame, rect.left, rect.top, rect.right, rect.bottom];
  const at = spot.keyFrames.findIndex((k) => k[0] >= frame);
  if (at >= 0 && spot.keyFrames[at][0] === frame) spot.keyFrames[at] = key;
  else if (at >= 0) spot.keyFrames.splice(at, 0, key);
  else spot.keyFrames.push(key);
  spot.start = Math.min(spot.start, frame);
  spot.end = Math.max(spot.end, frame);
}

// ---- Frames ---------------------------------------------------------------------------------

function setFrame(frame) {
  const f = Math.max(0, Math.min(app.last, Math.round(Number(frame) || 0)));
  app.frame = f;
  const video = $('movie');
  // The middle of the frame: the picture shown is frame f's on every browser.
  const t = (f + 0.5) / app.fps;
  if (video.readyState > 0 && Math.abs(video.currentTime - t) > 1e-6) video.currentTime = t;
  render();
}

// ---- Rendering ------------------------------------------------------------------------------

let lintTimer = 0;

function refresh() {
  editing.push();
  render();
  clearTimeout(lintTimer);
  lintTimer = setTimeout(showLint, 120);
}

function render() {
  if (!app.records) return;
  $('undo').disabled = !app.undo.length;
  $('redo').disabled = !app.redo.length;
  $('frame').value = app.frame;
  $('frame').max = app.last;
  $('of').textContent = `of ${app.last}`;
  $('time').textContent = `${(app.frame / app.fps).toFixed(2)} s at ${app.fps} fps`;
  showStatus();
  renderStage();
  renderTimeline();
  renderSide();
}

function hex(n) { return '#' + (n >>> 0 & 0xFFFFFF).toString(16).padStart(6, '0'); }

function svg(tag, attrs, parent) {
  const e = document.createElementNS('http://www.w3.org/2000/svg', tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  if (parent) parent.appendChild(e);
  return e;
}

// The outline as the overlay draws it: inside the rectangle (its sides included), line-width wide.
function outline(parent, shape, r, colour, width, cls) {
  const w = width;
  const x = r.left + w / 2, y = r.top + w / 2;
  const rw = Math.max(r.right - r.left + 1 - w, 0.5), rh = Math.max(r.bottom - r.top + 1 - w, 0.5);
  const attrs = { fill: 'none', stroke: colour, 'stroke-width': w, class: cls || '' };
  if (shape === 'C' || shape === 'c') {
    return svg('ellipse', { ...attrs, cx: x + rw / 2, cy: y + rh / 2, rx: rw / 2, ry: rh / 2 }, parent);
  }
  return svg('rect', { ...attrs, x, y, width: rw, height: rh }, parent);
}

function scale() {
  const box = $('overlay').getBoundingClientRect();
  return box.width > 0 ? app.width / box.width : 1;
}

function renderStage() {
  const video = $('movie');
  const box = $('stage-box');
  let w = app.width, h = app.height;
  if (app.fit && w > 0 && h > 0) {
    const k = Math.min((box.clientWidth - 16) / w, (box.clientHeight - 16) / h);
    if (k > 0) { w = Math.floor(w * k); h = Math.floor(h * k); }
  }
  video.style.width = `${w}px`;
  video.style.height = `${h}px`;
  const layer = $('overlay');
  layer.setAttribute('viewBox', `0 0 ${app.width} ${app.height}`);
  layer.replaceChildren();
  const k = scale();
  app.records.hotSpots.forEach((spot, i) => {
    const at = editing.anchorAt(i, app.frame);
    const selected = app.selected.list === 'hotSpots' && app.selected.index === i;
    if (!at.any) return;
    const effect = spot.effect || {};
    const width = effect.lineWidth ?? DEFAULT_WIDTH;
    // Hidden, or 0 pixels wide: the overlay draws nothing.
    if (at.drawn && effect.visibility !== 0 && width > 0) {
      outline(layer, spot.shape, at.rect, hex(effect.frameColor ?? DEFAULT_FRAME), width);
    }
    if (!selected) return;
    // Where it is, even on frames it is not drawn on, with its handles.
    const r = at.rect;
    svg('rect', { class: 'selected-hint body', x: r.left, y: r.top, width: r.right - r.left + 1,
                  height: r.bottom - r.top + 1, 'data-spot': i }, layer);
    outline(layer, spot.shape, r, '#ffffff', k, 'ghost');
    const isKey = spot.keyFrames.some((kf) => kf[0] === app.frame);
    for (const [cx, cy, name] of corners(r)) {
      svg('rect', { class: 'handle' + (isKey ? ' key' : ''), x: cx - HANDLE * k, y: cy - HANDLE * k,
                    width: 2 * HANDLE * k, height: 2 * HANDLE * k, 'data-handle': name }, layer);
    }
  });
  if (app.drag && app.drag.rect) {
    const r = app.drag.rect;
    svg('rect', { class: 'drag', x: r.left, y: r.top, width: r.right - r.left + 1, height: r.bottom - r.top + 1 }, layer);
  }
}

function corners(r) {
  const mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
  return [[r.left, r.top, 'nw'], [mx, r.top, 'n'], [r.right, r.top, 'ne'], [r.right, my, 'e'],
          [r.right, r.bottom, 'se'], [mx, r.bottom, 's'], [r.left, r.bottom, 'sw'], [r.left, my, 'w']];
}

function el(tag, cls, parent, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  if (parent) parent.appendChild(e);
  return e;
}

function trackWidth() {
  return Math.max(1, $('timeline').clientWidth - 110);
}
function xOf(frame) { return (frame + 0.5) * trackWidth() / (app.last + 1); }
function frameAt(x) {
  return Math.max(0, Math.min(app.last, Math.floor(x * (app.last + 1) / trackWidth())));
}

function renderTimeline() {
  const tl = $('timeline');
  tl.replaceChildren();
  const ruler = el('div', 'tl-row tl-ruler', tl);
  el('div', 'tl-label', ruler, 'frame');
  const rt = el('div', 'tl-track', ruler);
  rt.dataset.scrub = '1';
  const step = [1, 5, 10, 25, 50, 100, 250, 500, 1000, 2500, 5000].find(
    (s) => s * trackWidth() / (app.last + 1) >= 48) || 10000;
  for (let f = 0; f <= app.last; f += step) {
    const t = el('div', 'tl-tick', rt, String(f));
    t.style.left = `${xOf(f)}px`;
    t.dataset.scrub = '1';
  }
  const flags = (list, cls, label) => {
    const row = el('div', 'tl-row', tl);
    el('div', 'tl-label', row, label);
    const track = el('div', 'tl-track', row);
    app.records[list].forEach((item, i) => {
      const f = el('div', `tl-flag ${cls}`, track, item.name);
      f.style.left = `${xOf(item.frame)}px`;
      f.title = `${item.name} at frame ${item.frame}`;
      f.dataset.list = list;
      f.dataset.index = i;
      if (app.selected.list === list && app.selected.index === i) f.classList.add('selected');
    });
  };
  flags('markers', 'marker', 'Markers');
  flags('events', 'event', 'Events');
  app.records.hotSpots.forEach((spot, i) => {
    const row = el('div', 'tl-row', tl);
    if (app.selected.list === 'hotSpots' && app.selected.index === i) row.classList.add('selected');
    const label = el('div', 'tl-label', row, spot.name);
    label.dataset.spot = i;
    const track = el('div', 'tl-track', row);
    const span = el('div', 'tl-span', track);
    const x0 = Math.max(xOf(spot.start) - 3, 0), x1 = Math.min(xOf(spot.end) + 3, trackWidth());
    span.style.left = `${x0}px`;
    span.style.width = `${Math.max(x1 - x0, 6)}px`;
    span.title = `${spot.name}: frames ${spot.start} to ${spot.end}`;
    for (const edge of ['start', 'end']) {
      const g = el('div', 'grip', span);
      g.style[edge === 'start' ? 'left' : 'right'] = '-3px';
      g.dataset.spot = i;
      g.dataset.edge = edge;
    }
    spot.keyFrames.forEach((k, j) => {
      const key = el('div', 'tl-key', track);
      key.style.left = `${xOf(k[0])}px`;
      key.title = `key frame ${k[0]}: ${k[1]},${k[2]},${k[3]},${k[4]}`;
      key.dataset.spot = i;
      key.dataset.key = j;
      if (k[0] === app.frame && app.selected.index === i && app.selected.list === 'hotSpots') key.classList.add('selected');
    });
  });
  const head = el('div', 'tl-head', tl);
  head.style.left = `${110 + xOf(app.frame)}px`;
}

function renderSide() {
  const spots = $('spots');
  spots.replaceChildren();
  app.records.hotSpots.forEach((spot, i) => {
    const li = el('li', '', spots);
    const sw = el('span', 'swatch', li);
    sw.style.background = hex(spot.effect?.frameColor ?? DEFAULT_FRAME);
    li.append(`${spot.name}  (${spot.keyFrames.length} key frame${spot.keyFrames.length === 1 ? '' : 's'})`);
    li.dataset.spot = i;
    if (app.selected.list === 'hotSpots' && app.selected.index === i) li.classList.add('selected');
  });
  const spot = selectedSpot();
  const form = $('spot-form');
  form.toggleAttribute('disabled', !spot);
  if (spot && !form.contains(document.activeElement)) {
    const e = spot.effect || {};
    $('spot-name').value = spot.name;
    $('spot-shape').value = spot.shape === 'C' || spot.shape === 'c' ? 'C' : 'R';
    $('spot-link').value = spot.link;
    $('spot-start').value = spot.start;
    $('spot-end').value = spot.end;
    $('spot-colour').value = hex(e.frameColor ?? DEFAULT_FRAME);
    $('spot-highlight').value = hex(e.highlightColor ?? DEFAULT_HIGHLIGHT);
    $('spot-width').value = e.lineWidth ?? DEFAULT_WIDTH;
    $('spot-shown').checked = e.visibility !== 0;
  }
  $('delete-key').disabled = !spot || !spot.keyFrames.some((k) => k[0] === app.frame);
  rows('markers', ['name', 'frame']);
  rows('events', ['name', 'frame', 'kind', 'params']);
}

function rows(list, fields) {
  const table = $(list);
  if (table.contains(document.activeElement)) return;  // not while typing
  table.replaceChildren();
  app.records[list].forEach((item, i) => {
    const tr = el('tr', '', table);
    if (app.selected.list === list && app.selected.index === i) tr.classList.add('selected');
    for (const f of fields) {
      const td = el('td', f === 'frame' ? 'frame' : '', tr);
      const input = el('input', '', td);
      if (f === 'frame') { input.type = 'number'; input.min = 0; }
      input.value = item[f];
      input.placeholder = f;
      input.setAttribute('aria-label', `${list === 'markers' ? 'marker' : 'event'} ${f}`);
      input.dataset.list = list;
      input.dataset.index = i;
      input.dataset.field = f;
    }
    const del = el('button', 'remove', el('td', '', tr), '×');
    del.title = 'Remove';
    del.dataset.list = list;
    del.dataset.index = i;
  });
}

function showLint() {
  if (!app.records) return;
  app.lint = editing.lint();
  const ul = $('problems');
  ul.replaceChildren();
  $('problem-count').textContent = app.lint.diagnostics.length ? `(${app.lint.diagnostics.length})` : '';
  if (!app.lint.diagnostics.length) el('li', 'none', ul, 'None: the project plays as drawn.');
  app.lint.diagnostics.forEach((d, i) => {
    const li = el('li', d.severity, ul, d.message);
    el('span', 'hint', li, d.hint);
    li.dataset.problem = i;
    li.title = d.code;
  });
}

function showStatus(text, cls) {
  const s = $('status');
  if (text !== undefined) {
    s.textContent = text;
    s.className = cls || '';
    return;
  }
  if (s.className === 'failed') return;
  const dirty = currentText() !== app.savedText;
  s.textContent = dirty ? 'Unsaved changes' : (app.session.exists || app.savedText !== null ? 'Saved' : 'New project');
  s.className = dirty ? 'dirty' : '';
}

function currentText() {
  const w = editing.write(false);
  return w.ok ? w.text : null;
}

// ---- The stage: drawing, moving and resizing ------------------------------------------------

function videoPoint(ev) {
  const box = $('overlay').getBoundingClientRect();
  const k = app.width / box.width;
  return { x: Math.floor((ev.clientX - box.left) * k), y: Math.floor((ev.clientY - box.top) * k) };
}

function clampRect(r) {
  const c = (v, max) => Math.max(0, Math.min(max - 1, v));
  const left = c(Math.min(r.left, r.right), app.width), right = c(Math.max(r.left, r.right), app.width);
  const top = c(Math.min(r.top, r.bottom), app.height), bottom = c(Math.max(r.top, r.bottom), app.height);
  return { left, top, right, bottom };
}

function stageDown(ev) {
  if (ev.button !== 0 || !app.records) return;
  ev.preventDefault();
  $('overlay').setPointerCapture(ev.pointerId);
  const p = videoPoint(ev);
  const handle = ev.target.dataset?.handle;
  const spot = selectedSpot();
  const at = spot ? editing.anchorAt(app.selected.index, app.frame) : null;
  if (spot && at && at.any && handle) {
    app.drag = { kind: 'resize', handle, from: p, base: at.rect, rect: { ...at.rect } };
  } else if (spot && at && at.any && inside(p, at.rect)) {
    app.drag = { kind: 'move', from: p, base: at.rect, rect: null };
  } else {
    app.drag = { kind: 'draw', from: p, rect: null };
  }
}

function inside(p, r) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }

function stageMove(ev) {
  const d = app.drag;
  if (!d || !['draw', 'move', 'resize'].includes(d.kind)) return;
  const p = videoPoint(ev);
  const dx = p.x - d.from.x, dy = p.y - d.from.y;
  if (d.kind === 'draw') {
    d.rect = clampRect({ left: d.from.x, top: d.from.y, right: p.x, bottom: p.y });
  } else if (d.kind === 'move') {
    const b = d.base;
    const mx = Math.max(-b.left, Math.min(app.width - 1 - b.right, dx));
    const my = Math.max(-b.top, Math.min(app.height - 1 - b.bottom, dy));
    d.rect = { left: b.left + mx, top: b.top + my, right: b.right + mx, bottom: b.bottom + my };
  } else {
    const r = { ...d.base };
    if (d.handle.includes('w')) r.left += dx;
    if (d.handle.includes('e')) r.right += dx;
    if (d.handle.includes('n')) r.top += dy;
    if (d.handle.includes('s')) r.bottom += dy;
    d.rect = clampRect(r);
  }
  renderStage();
}

function stageUp(ev) {
  const d = app.drag;
  if (!d || !['draw', 'move', 'resize'].includes(d.kind)) return;
  app.drag = null;
  const r = d.rect;
  if (d.kind === 'draw' && (!r || r.right - r.left < 2 || r.bottom - r.top < 2)) {
    // A click: selects the hot spot under it.
    const p = videoPoint(ev);
    const hit = app.records.hotSpots.findIndex((s, i) => {
      const at = editing.anchorAt(i, app.frame);
      return at.drawn && inside(p, at.rect);
    });
    select('hotSpots', hit);
    return;
  }
  if (!r) return render();
  commit((rec) => {
    let spot = selectedSpot();
    if (d.kind === 'draw' && !spot) {
      spot = { name: uniqueName('spot', rec.hotSpots), link: '', shape: app.tool, start: app.frame,
               end: app.frame, keyFrames: [], effect: null };
      rec.hotSpots.push(spot);
      app.selected = { list: 'hotSpots', index: rec.hotSpots.length - 1 };
    }
    if (d.kind === 'draw') spot.shape = app.tool;
    putKeyFrame(spot, app.frame, r);
  });
}

// ---- The time line: scrubbing and dragging --------------------------------------------------

function timelineDown(ev) {
  if (ev.button !== 0 || !app.records) return;
  const t = ev.target;
  const track = t.closest('.tl-track');
  const x0 = $('timeline').getBoundingClientRect().left + 110;
  const frameOf = (e) => frameAt(e.clientX - x0);
  if (t.dataset.spot !== undefined && t.classList.contains('tl-label')) {
    select('hotSpots', Number(t.dataset.spot));
    return;
  }
  if (!track) return;
  ev.preventDefault();
  $('timeline').setPointerCapture(ev.pointerId);
  if (t.dataset.scrub) {
    app.drag = { kind: 'scrub', frameOf };
    setFrame(frameOf(ev));
  } else if (t.dataset.list) {
    const list = t.dataset.list, index = Number(t.dataset.index);
    app.selected = { list, index };
    app.drag = { kind: 'flag', list, index, frameOf, el: t };
    render();
  } else if (t.dataset.edge) {
    const i = Number(t.dataset.spot);
    app.selected = { list: 'hotSpots', index: i };
    app.drag = { kind: 'edge', spot: i, edge: t.dataset.edge, frameOf };
  } else if (t.dataset.key !== undefined) {
    const i = Number(t.dataset.spot);
    app.selected = { list: 'hotSpots', index: i };
    app.drag = { kind: 'key', spot: i, key: Number(t.dataset.key), frameOf, el: t,
                 start: app.records.hotSpots[i].keyFrames[Number(t.dataset.key)][0] };
    setFrame(app.drag.start);
  } else {
    setFrame(frameOf(ev));
  }
}

function timelineMove(ev) {
  const d = app.drag;
  if (!d) return;
  const f = d.frameOf ? d.frameOf(ev) : 0;
  if (d.kind === 'scrub') return setFrame(f);
  if (!['flag', 'edge', 'key'].includes(d.kind)) return;
  d.to = f;
  // Shown where it would go, committed on release.
  if (d.el) d.el.style.left = `${xOf(f)}px`;
  const head = document.querySelector('.tl-head');
  if (head) head.style.left = `${110 + xOf(f)}px`;
}

function timelineUp() {
  const d = app.drag;
  if (!d || !['scrub', 'flag', 'edge', 'key'].includes(d.kind)) return;
  app.drag = null;
  if (d.kind === 'scrub' || d.to === undefined) return render();
  const f = d.to;
  if (d.kind === 'flag') {
    commit((r) => { r[d.list][d.index].frame = f; });
    return setFrame(f);
  }
  if (d.kind === 'edge') {
    commit((r) => {
      const s = r.hotSpots[d.spot];
      if (d.edge === 'start') s.start = Math.min(f, s.end);
      else s.end = Math.max(f, s.start);
    });
    return;
  }
  const spot = app.records.hotSpots[d.spot];
  if (spot.keyFrames.some((k, j) => j !== d.key && k[0] === f)) return render();  // taken
  commit((r) => {
    const s = r.hotSpots[d.spot];
    const [k] = s.keyFrames.splice(d.key, 1);
    putKeyFrame(s, f, { left: k[1], top: k[2], right: k[3], bottom: k[4] });
  });
  setFrame(f);
}

// ---- The side panel -------------------------------------------------------------------------

function editSpot(change) {
  const i = app.selected.index;
  commit((r) => change(r.hotSpots[i]));
}

function effectOf(spot) {
  if (!spot.effect) {
    spot.effect = { frameColor: DEFAULT_FRAME, highlightColor: DEFAULT_HIGHLIGHT, lineWidth: DEFAULT_WIDTH, visibility: 1 };
  }
  return spot.effect;
}

function colour(value) { return parseInt(value.slice(1), 16); }

function wireSide() {
  $('spot-form').addEventListener('submit', (ev) => ev.preventDefault());
  const on = (id, fn) => $(id).addEventListener('change', (ev) => { if (selectedSpot()) editSpot((s) => fn(s, ev.target)); });
  on('spot-name', (s, t) => { if (t.value.trim()) s.name = t.value.trim(); });
  on('spot-shape', (s, t) => { s.shape = t.value; });
  on('spot-link', (s, t) => { s.link = t.value.trim(); });
  on('spot-start', (s, t) => { s.start = Math.max(0, Math.min(Number(t.value) || 0, s.end)); });
  on('spot-end', (s, t) => { s.end = Math.max(Number(t.value) || 0, s.start); });
  on('spot-colour', (s, t) => { effectOf(s).frameColor = colour(t.value); });
  on('spot-highlight', (s, t) => { effectOf(s).highlightColor = colour(t.value); });
  on('spot-width', (s, t) => { effectOf(s).lineWidth = Math.max(0, Math.round(Number(t.value) || 0)); });
  on('spot-shown', (s, t) => { effectOf(s).visibility = t.checked ? 1 : 0; });
  $('delete-spot').addEventListener('click', () => {
    const i = app.selected.index;
    if (!selectedSpot()) return;
    commit((r) => { r.hotSpots.splice(i, 1); });
    select('hotSpots', -1);
  });
  $('delete-key').addEventListener('click', () => {
    if (!selectedSpot()) return;
    editSpot((s) => { s.keyFrames = s.keyFrames.filter((k) => k[0] !== app.frame); });
  });
  $('new-spot').addEventListener('click', () => {
    select('hotSpots', -1);
    showStatus('Draw the new hot spot on the picture', '');
  });
  $('spots').addEventListener('click', (ev) => {
    const li = ev.target.closest('li');
    if (li) select('hotSpots', Number(li.dataset.spot));
  });
  $('add-marker').addEventListener('click', () => {
    commit((r) => { r.markers.push({ name: uniqueName('marker', r.markers), frame: app.frame }); });
    select('markers', app.records.markers.length - 1);
  });
  $('add-event').addEventListener('click', () => {
    commit((r) => { r.events.push({ name: uniqueName('event', r.events), frame: app.frame, kind: '', params: '' }); });
    select('events', app.records.events.length - 1);
  });
  for (const list of ['markers', 'events']) {
    const table = $(list);
    table.addEventListener('change', (ev) => {
      const t = ev.target;
      if (!t.dataset.field) return;
      const i = Number(t.dataset.index), f = t.dataset.field;
      commit((r) => {
        const item = r[list][i];
        if (f === 'frame') item.frame = Math.max(0, Math.min(app.last, Math.round(Number(t.value) || 0)));
        else if (f === 'name' && !t.value.trim()) return;
        else item[f] = f === 'name' ? t.value.trim() : t.value;
      });
      t.blur();
      render();
    });
    table.addEventListener('focusin', (ev) => {
      const t = ev.target;
      if (t.dataset.index !== undefined) {
        app.selected = { list, index: Number(t.dataset.index) };
        renderTimeline();
      }
    });
    table.addEventListener('click', (ev) => {
      const t = ev.target;
      if (!t.classList.contains('remove')) return;
      commit((r) => { r[list].splice(Number(t.dataset.index), 1); });
      select(list, -1);
    });
  }
  $('problems').addEventListener('click', (ev) => {
    const li = ev.target.closest('li');
    const d = li && app.lint?.diagnostics[Number(li.dataset.problem)];
    if (!d || !d.item) return;
    app.selected = { list: d.item.list, index: d.item.index };
    setFrame(d.item.frame);
  });
}

// ---- Keyboard -------------------------------------------------------------------------------

function keydown(ev) {
  const typing = /^(INPUT|SELECT|TEXTAREA)$/.test(ev.target.tagName);
  const ctrl = ev.ctrlKey || ev.metaKey;
  if (ctrl && ev.key.toLowerCase() === 's') {
    ev.preventDefault();
    if (typing) ev.target.blur();  // what is being typed is taken first
    save();
    return;
  }
  if (typing || $('preview-box').open) return;
  if (ctrl && ev.key.toLowerCase() === 'z') {
    ev.preventDefault();
    ev.shiftKey ? redo() : undo();
    return;
  }
  if (ctrl && ev.key.toLowerCase() === 'y') {
    ev.preventDefault();
    redo();
    return;
  }
  const step = ev.shiftKey ? 10 : 1;
  const moves = { ArrowLeft: app.frame - step, ArrowRight: app.frame + step, Home: 0, End: app.last };
  if (ev.key in moves) {
    ev.preventDefault();
    setFrame(moves[ev.key]);
  }
}

// ---- Saving and previewing ------------------------------------------------------------------

async function save() {
  editing.push();
  const w = editing.write(false);
  if (!w.ok) {
    showStatus('Not saved: ' + w.errors.join('; '), 'failed');
    return false;
  }
  let res;
  try {
    res = await fetch('project', { method: 'PUT', body: w.text, headers: { 'Content-Type': 'text/plain; charset=utf-8' } });
  } catch (e) {
    showStatus(`Not saved: ${e.message}`, 'failed');
    return false;
  }
  if (!res.ok) {
    showStatus(`Not saved: ${(await res.text()).trim()}`, 'failed');
    return false;
  }
  app.savedText = w.text;
  $('status').className = '';
  showStatus();
  document.dispatchEvent(new CustomEvent('klp-saved', { detail: w.text }));
  return true;
}

// The project as it is now, served by the editor's server from memory beside the movie.
async function preview() {
  editing.push('../movie');
  const w = editing.write(false);
  editing.push();
  if (!w.ok) {
    showStatus('Cannot preview: ' + w.errors.join('; '), 'failed');
    return;
  }
  closePreview();
  const res = await fetch('preview/project.klp', { method: 'PUT', body: w.text });
  if (!res.ok) {
    showStatus(`Cannot preview: ${(await res.text()).trim()}`, 'failed');
    return;
  }
  const log = $('preview-log');
  log.replaceChildren();
  const say = (text) => { el('li', '', log, text); log.scrollTop = log.scrollHeight; };
  window.klpPreview_OnMarker = (name) => say(`marker ${name}`);
  window.klpPreview_OnKLEvent = (name) => say(`event ${name}`);
  window.klpPreview_OnActivateAnchor = (name) => say(`hot spot ${name} activated`);
  window.klpPreview_OnError = (code) => say(`error ${code}`);
  const embed = document.createElement('embed');
  Object.entries({ id: 'klpPreview', name: 'klpPreview', src: 'preview/project.klp', type: 'application/kelvora-movie',
                   width: app.width, height: app.height, autoplay: 'true' })
    .forEach(([k, v]) => embed.setAttribute(k, v));
  $('preview-stage').replaceChildren(embed);
  $('preview-box').showModal();
}

function closePreview() {
  $('preview-stage').replaceChildren();
  if ($('preview-box').open) $('preview-box').close();
}

// ---- Start ----------------------------------------------------------------------------------

async function start() {
  app.mod = await createKlpEditModule();
  app.session = await (await fetch('session')).json();
  const movie = app.session.movie;
  if (movie.fps > 0) app.fps = movie.fps;
  document.title = `${app.session.project} - klp edit`;
  $('title').textContent = app.session.project;
  $('title').title = app.session.projectPath;
  let records;
  const res = await fetch('project');
  if (res.ok) {
    // Records are handed to the module as UTF-8: other bytes would not come back as they were.
    let text;
    try {
      text = new TextDecoder('utf-8', { fatal: true }).decode(await res.arrayBuffer());
    } catch (e) {
      throw new Error(`${app.session.project} is not UTF-8 text, and saving it here would change its bytes; convert it to UTF-8 first`);
    }
    const opened = editing.open(text);
    if (!opened.ok) throw new Error(opened.error);
    records = opened.records;
    app.savedText = null;
  } else {
    records = { version: '1.00', source: movie.source, markers: [], events: [], hotSpots: [], links: [], effects: [] };
  }
  app.records = fromFile(records);
  const video = $('movie');
  if (video.readyState < 1) {
    await new Promise((resolve) => {
      video.addEventListener('loadedmetadata', resolve, { once: true });
      video.addEventListener('error', resolve, { once: true });
    });
  }
  app.width = movie.width || video.videoWidth || 320;
  app.height = movie.height || video.videoHeight || 240;
  // The last frame with a picture; the time line's end (movie.frames) comes after it.
  app.last = Math.max(0, (movie.frames ?? Math.round((video.duration || 0) * app.fps)) - 1);
  editing.push();
  // The file as the writer writes it: a file written by this editor compares equal unchanged.
  if (res.ok) app.savedText = currentText();
  wire();
  refresh();
  setFrame(0);
}

function wire() {
  const layer = $('overlay');
  layer.addEventListener('pointerdown', stageDown);
  layer.addEventListener('pointermove', stageMove);
  layer.addEventListener('pointerup', stageUp);
  const tl = $('timeline');
  tl.addEventListener('pointerdown', timelineDown);
  tl.addEventListener('pointermove', timelineMove);
  tl.addEventListener('pointerup', timelineUp);
  document.addEventListener('keydown', keydown);
  window.addEventListener('resize', render);
  $('movie').addEventListener('seeked', () => renderStage());
  $('undo').addEventListener('click', undo);
  $('redo').addEventListener('click', redo);
  $('save').addEventListener('click', save);
  $('preview').addEventListener('click', preview);
  $('preview-close').addEventListener('click', closePreview);
  $('preview-box').addEventListener('close', closePreview);
  $('fit').addEventListener('click', () => {
    app.fit = !app.fit;
    $('fit').setAttribute('aria-pressed', String(app.fit));
    $('fit').textContent = app.fit ? 'Fitted' : 'Own size';
    render();
  });
  for (const tool of ['R', 'C']) {
    $(`tool-${tool}`).addEventListener('click', () => {
      app.tool = tool;
      $('tool-R').setAttribute('aria-pressed', String(tool === 'R'));
      $('tool-C').setAttribute('aria-pressed', String(tool === 'C'));
    });
  }
  const frame = $('frame');
  frame.addEventListener('change', () => { setFrame(frame.value); frame.blur(); });
  frame.addEventListener('keydown', (ev) => { if (ev.key === 'Enter') { setFrame(frame.value); frame.blur(); } });
  $('first').addEventListener('click', () => setFrame(0));
  $('back10').addEventListener('click', () => setFrame(app.frame - 10));
  $('back').addEventListener('click', () => setFrame(app.frame - 1));
  $('forward').addEventListener('click', () => setFrame(app.frame + 1));
  $('forward10').addEventListener('click', () => setFrame(app.frame + 10));
  $('last').addEventListener('click', () => setFrame(app.last));
  wireSide();
  window.addEventListener('beforeunload', (ev) => {
    if (app.records && currentText() !== app.savedText) ev.preventDefault();
  });
}

// For the page's tests: the records and the frame, read only.
window.klpEditor = {
  ready: start().catch((e) => {
    $('save').disabled = true;
    $('preview').disabled = true;
    showStatus(`The editor could not start: ${e.message}`, 'failed');
    throw e;
  }),
  records: () => JSON.parse(JSON.stringify(app.records)),
  frame: () => app.frame,
  lint: () => app.lint,
  text: currentText,
};
