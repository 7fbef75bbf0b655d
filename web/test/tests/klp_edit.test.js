// `klp edit` in Chromium, driven with the mouse and the keyboard: a hot spot drawn at frame 10
// and moved at frame 60, a marker and an event added, saved; the file is clean under
// `klp check`, `klp info --json` shows what was drawn, and the plug-in in `klp view` (QtWebKit)
// activates the hot spot where the editor showed it at frame 35. Reopened, a change undone and
// redone and undone again, saved: the same bytes. Also the editing module alone, in node.
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { createRequire } from 'node:module';
import { promisify } from 'node:util';
import { launch } from '../lib/browser.js';
import { webDir } from '../lib/site.js';
import { tourAvailable, tourDir } from '../lib/tour.js';

const run = promisify(execFile);
const buildDir = () => path.resolve(webDir(), '..');
const klp = () => path.join(buildDir(), 'klp');
const missing = ['klp-edit.js', 'klp-edit.wasm', 'klp.js'].filter((f) => !fs.existsSync(path.join(webDir(), f)));
const skip = missing.length ? `no ${missing.join(', ')} in ${webDir()}` :
  !fs.existsSync(klp()) ? `no ${klp()}` : (tourAvailable().available ? false : tourAvailable().reason);

// The editing module in node, as the page uses it.
async function editingModule() {
  const require = createRequire(import.meta.url);
  const create = require(path.join(webDir(), 'klp-edit.js'));
  // node's fetch takes no file paths: the module is given its bytes.
  return create({ wasmBinary: fs.readFileSync(path.join(webDir(), 'klp-edit.wasm')) });
}

describe('the editing module', { skip }, () => {
  it('reads, writes back and lints through the C++ reader, writer and lint', async () => {
    const m = await editingModule();
    const call = (fn, ...strings) => {
      const ptrs = strings.map((s) => {
        const n = m.lengthBytesUTF8(s) + 1;
        const p = m._malloc(n);
        m.stringToUTF8(s, p, n);
        return p;
      });
      try { return fn(...ptrs); } finally { ptrs.forEach((p) => m._free(p)); }
    };
    const tour = fs.readFileSync(path.join(tourDir(), 'tour.klp'), 'utf8');
    const opened = JSON.parse(call((p) => m.UTF8ToString(m._klp_edit_open(p)), tour));
    assert.equal(opened.ok, true);
    assert.deepEqual(opened.records.hotSpots[0].keyFrames, [[20, 20, 70, 90, 210], [180, 220, 70, 290, 210]]);
    const written = JSON.parse(m.UTF8ToString(m._klp_edit_write(1)));
    assert.equal(written.ok, true);
    assert.match(written.text, /^; The example tour:/);
    assert.deepEqual(JSON.parse(m.UTF8ToString(m._klp_edit_lint(200, 320, 240))),
      { errors: 0, warnings: 0, diagnostics: [] });
    // The door half way between its key frames, as the player has it.
    const p = m._klp_edit_anchor_at(0, 100);
    assert.deepEqual([0, 1, 2, 3, 4].map((i) => m.getValue(p + 4 * i, 'i32')), [3, 120, 70, 190, 210]);
    call((n, s) => m._klp_edit_clear(n, s), '1.00', 'm.webm');
    call((n) => m._klp_edit_add_marker(n, 300), 'late');
    const lint = JSON.parse(m.UTF8ToString(m._klp_edit_lint(200, 320, 240)));
    assert.equal(lint.diagnostics[0].code, 'beyond-end');
    assert.deepEqual(lint.diagnostics[0].item, { list: 'markers', index: 0, frame: 300 });
  });
});

describe('klp edit in Chromium', { skip }, () => {
  let dir, server, url, browser, page;

  before(async () => {
    dir = fs.mkdtempSync(path.join(process.env.KLP_WEB_TMP || os.tmpdir(), 'klp-edit-'));
    fs.copyFileSync(path.join(tourDir(), 'tour.webm'), path.join(dir, 'tour.webm'));
    server = spawn(klp(), ['edit', path.join(dir, 'tour.webm'), path.join(dir, 'door.klp'), '--no-open'],
      { stdio: ['ignore', 'pipe', 'pipe'] });
    url = await new Promise((resolve, reject) => {
      let out = '';
      server.stdout.on('data', (d) => {
        out += d;
        const m = /^(http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/)$/m.exec(out);
        if (m) resolve(m[1]);
      });
      server.on('exit', (code) => reject(new Error(`klp edit ended with ${code}: ${out}`)));
    });
    browser = await launch('chromium', { viewport: { width: 1280, height: 860, deviceScaleFactor: 1 } });
  });

  after(async () => {
    await browser?.close();
    server?.kill('SIGTERM');
    if (dir) fs.rmSync(dir, { recursive: true, force: true });
  });

  async function open() {
    page = await browser.newPage();
    await page.goto(url);
    await page.waitFor(() => window.klpEditor && window.klpEditor.records() && document.getElementById('status').textContent,
      { what: 'the editor ready' });
    await page.evaluate(() => window.klpEditor.ready);
  }

  // The screen point of a point of the picture, in video pixels.
  async function screen(x, y) {
    const box = await page.box('#overlay');
    const k = box.width / 320;
    return [box.x + (x + 0.5) * k, box.y + (y + 0.5) * k];
  }

  async function goTo(frame) {
    const input = await page.page.$('#frame');
    await input.click({ clickCount: 3 });
    await page.page.keyboard.type(String(frame));
    await page.page.keyboard.press('Enter');
    await page.waitFor((f) => window.klpEditor.frame() === f, { args: [frame], what: `frame ${frame}` });
  }

  async function drag(from, to) {
    const mouse = page.page.mouse;
    await mouse.move(...from);
    await mouse.down();
    await mouse.move((from[0] + to[0]) / 2, (from[1] + to[1]) / 2, { steps: 4 });
    await mouse.move(...to, { steps: 4 });
    await mouse.up();
  }

  const saved = () => page.waitFor(() => document.getElementById('status').textContent === 'Saved',
    { what: 'the project saved' });

  it('draws, moves, adds a marker and an event, and saves a file that plays as drawn', async () => {
    await open();
    const kb = page.page.keyboard;
    // At its own size: one screen pixel a video pixel.
    await page.page.click('#fit');
    assert.equal(await page.evaluate(() => document.getElementById('overlay').getBoundingClientRect().width), 320);
    // Frame-exact stepping from the keyboard.
    await page.page.focus('#timeline');
    await kb.press('End');
    assert.equal(await page.evaluate(() => window.klpEditor.frame()), 199);
    await kb.press('Home');
    await kb.down('Shift');
    await kb.press('ArrowRight');
    await kb.up('Shift');
    await kb.press('ArrowRight');
    await kb.press('ArrowLeft');
    assert.equal(await page.evaluate(() => window.klpEditor.frame()), 10);

    await drag(await screen(40, 40), await screen(120, 100));
    await goTo(60);
    await drag(await screen(80, 70), await screen(180, 120));
    // The marker the plug-in's page goes to below.
    await goTo(35);
    await page.page.click('#add-marker');
    await goTo(150);
    await page.page.click('#add-event');
    // Renamed by typing.
    const name = await page.page.$('#markers input[data-field="name"]');
    await name.click({ clickCount: 3 });
    await kb.type('half');
    await kb.press('Enter');
    await kb.down('Control');
    await kb.press('s');
    await kb.up('Control');
    await saved();
    assert.deepEqual(page.errors, []);

    const file = path.join(dir, 'door.klp');
    const check = await run(klp(), ['check', file, '--movie', path.join(dir, 'tour.webm')]);
    assert.equal(check.stderr, '');
    const info = JSON.parse((await run(klp(), ['info', '--json', file])).stdout);
    assert.deepEqual(info.markers.map((m) => [m.name, m.frame]), [['half', 35]]);
    assert.deepEqual(info.events.map((e) => [e.name, e.frame]), [['event1', 150]]);
    assert.equal(info.hotSpots.length, 1);
    const spot = info.hotSpots[0];
    assert.equal(spot.name, 'spot1');
    assert.equal(spot.shape, 'R');
    assert.deepEqual([spot.startFrame, spot.endFrame], [10, 60]);
    assert.deepEqual(spot.keyFrames.map((k) => [k.frame, k.left, k.top, k.right, k.bottom]),
      [[10, 40, 40, 120, 100], [60, 140, 90, 220, 150]]);

    // The editor's outline at frame 35, which the plug-in must hit.
    await goTo(35);
    const outline = await page.evaluate(() => {
      const r = document.querySelector('#overlay rect[stroke]');
      return r && [r.getAttribute('x'), r.getAttribute('y')].map(Number);
    });
    assert.deepEqual(outline, [90 + 1.5, 65 + 1.5]);  // 3 pixels wide, inside {90,65,170,125}

    const pageFile = path.join(dir, 'page.html');
    fs.writeFileSync(pageFile,
      "<html><body style='margin:0'><embed id='m1' name='m1' type='application/kelvora-movie' " +
      "width='320' height='240' src='door.klp'><script>" +
      "function m1_OnActivateAnchor(v) { console.log('anchor ' + v); }" +
      "function m1_OnError(c) { console.log('error ' + c); }" +
      "setTimeout(function() { var m = document.getElementById('m1'); m.EnableMarker('half');" +
      "  m.Pause(); }, 700);</script></body></html>");
    // At frame 35 the hot spot has left the place where it was drawn at frame 10.
    const view = await run(klp(), ['view', '--headless', '--click', '50,45', '--at', '2', '--click', '130,95', '--at', '2.5',
      '--quit-after', '4', pageFile],
      { env: { ...process.env, DISPLAY: '' }, timeout: 60000 }).catch((e) => e);
    assert.equal(view.code ?? 0, 0, `${view.stdout}\n${view.stderr}`);
    if (!/error 2/.test(view.stdout)) assert.deepEqual(view.stdout.match(/anchor .*/g), ['anchor spot1'], view.stdout);
  });

  it('reopens the file and saves it unchanged after undo and redo', async () => {
    const file = path.join(dir, 'door.klp');
    const first = fs.readFileSync(file);
    await page.page.close();
    await open();
    assert.equal(await page.evaluate(() => document.getElementById('status').textContent), 'Saved');
    const kb = page.page.keyboard;
    await goTo(120);
    const flag = await page.box('.tl-flag.marker');
    await drag([flag.x + 4, flag.y + 8], [flag.x + 80, flag.y + 8]);
    assert.notEqual(await page.evaluate(() => window.klpEditor.records().markers[0].frame), 35);
    await kb.down('Control');
    await kb.press('z');
    await kb.press('y');
    await kb.press('z');
    await kb.up('Control');
    assert.equal(await page.evaluate(() => window.klpEditor.records().markers[0].frame), 35);
    await page.page.click('#save');
    await saved();
    assert.deepEqual(fs.readFileSync(file), first);
    assert.deepEqual(fs.readFileSync(file + '~'), first);
    // Preview: the project through the web runtime, its page functions logging.
    await page.page.click('#preview');
    await page.waitFor(() => document.getElementById('preview-log').textContent.includes('marker half'),
      { timeout: 20000, what: 'the preview passing the marker' });
    assert.deepEqual(page.errors, []);
  });

  it('refuses to edit a file that is not UTF-8 rather than change its bytes', async () => {
    const file = path.join(dir, 'door.klp');
    const latin1 = Buffer.concat([Buffer.from('; caf'), Buffer.from([0xe9]), Buffer.from('\n'), fs.readFileSync(file)]);
    fs.writeFileSync(file, latin1);
    await page.page.close();
    page = await browser.newPage();
    await page.goto(url);
    await page.waitFor(() => document.getElementById('status').className === 'failed', { what: 'the refusal' });
    assert.equal(await page.evaluate(() => document.getElementById('status').textContent),
      'The editor could not start: door.klp is not UTF-8 text, and saving it here would change its bytes; convert it to UTF-8 first');
    assert.equal(await page.evaluate(() => document.getElementById('save').disabled), true);
    assert.deepEqual(fs.readFileSync(file), latin1);
  });
});
