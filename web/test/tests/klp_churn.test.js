// Players added and removed by script, round after round: each removal ends its instance (no
// event afterwards, nothing left running), and the module's heap returns to where it was; in
// Chromium the page's DOM nodes and event listeners too (after a garbage collection).
// Then two pages of 5 players each navigate to each other: every navigation makes a new realm
// with a new module, so the figures that must stay flat are the new module's heap, the browser's
// processes (memory, threads, descriptors; printed) and, in Chromium, its documents, DOM nodes,
// listeners and JavaScript heap after a collection, with no workers left.
// KLP_CHURN_ROUNDS sets the rounds of each (default 4; 34 rounds are 204 instance lives, 50
// rounds of navigation 100 navigations), and the levels of each round are printed as
// diagnostics.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch, processGroupUsage } from '../lib/browser.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();
const PLAYERS = 6;
const ROUNDS = Number(process.env.KLP_CHURN_ROUNDS) || 4;
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  // Beside the clip, which it names by its file name.
  const clip = site.clips.webm.path.replace(/^clips\//, '');
  site.write('clips/churn.klp', `[Global]\nKLPVersion=1.00\nSource=${clip}\nMarker=1\nHotSpot=1\n` +
    'Effect=0\nEvent=0\nLink=0\n\n[Marker]\nstart:0\n\n[HotSpot]\n' +
    '(spot::R:0-99:2)\n0:10,80,60,120\n99:200,80,250,120\n');
  // nav-a.html and nav-b.html: five players each, counting those that have started.
  for (const side of ['a', 'b']) {
    const names = [1, 2, 3, 4, 5].map((i) => `${side}${i}`);
    site.write(`nav-${side}.html`, '<!DOCTYPE html><html><body style="margin:0">\n' +
      names.map((n) => `<embed name="${n}" src="clips/churn.klp" type="application/kelvora-movie" ` +
        'width="160" height="120" autoplay="true" autorepeat="true">\n').join('') +
      '<script src="klp.js"></script>\n<script>\nvar started = new Set();\n' +
      names.map((n) => `function ${n}_OnMarker(m) { if (m === 'start') started.add('${n}'); }\n`).join('') +
      '</script></body></html>\n');
  }
});
after(async () => { await site?.close(); });

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    let page;
    before(async () => {
      browser = await launch(engine);
      page = await browser.newPage();
      await page.goto(site.url('churn.html'));
      await page.waitFor(() => window.klpRuntime && window.klpRuntime.usage().instances === 0 &&
        typeof window.klpRuntime.usage().heap === 'number', { what: 'the runtime' });
      await page.evaluate(() => window.klpRuntime.ready);
    });
    after(async () => { await browser?.close(); });

    // The module's heap and live instances; in Chromium also the page's DOM nodes and event
    // listeners once garbage is collected.
    async function levels() {
      const usage = await page.evaluate(() => window.klpRuntime.usage());
      if (engine !== 'chromium') return usage;
      const cdp = await page.page.createCDPSession();
      await cdp.send('HeapProfiler.collectGarbage');
      await cdp.detach();
      const { Nodes: nodes, JSEventListeners: listeners } = await page.page.metrics();
      return { ...usage, nodes, listeners };
    }

    it('ends every instance it removes and gives its memory back', async (t) => {
      const rounds = [];
      for (let round = 0; round < ROUNDS; ++round) {
        await page.evaluate((n) => add(n, 'clips/churn.klp'), PLAYERS);
        await page.waitFor((n) => playing() === n, { args: [PLAYERS], timeout: 30000,
          what: `${PLAYERS} players playing` });
        await page.evaluate(() => clear());
        const level = await levels();
        assert.equal(level.instances, 0);
        rounds.push(level);
        t.diagnostic(`round ${round + 1}: ${JSON.stringify(level)}`);
      }
      // The first round may leave what stays for the page's life (interned names, the
      // identifier table); later rounds, with the same names, add nothing.
      const table = rounds.map((r) => JSON.stringify(r)).join(', ');
      const first = rounds[1], last = rounds[ROUNDS - 1];
      assert.ok(last.heap - first.heap <= 256, `after each round: ${table}`);
      if (engine === 'chromium') {
        assert.ok(last.nodes <= first.nodes, `after each round: ${table}`);
        assert.ok(last.listeners <= first.listeners, `after each round: ${table}`);
      }
    });

    it('hears nothing from removed players', async () => {
      const before = await page.evaluate(() => heard.marker);
      await new Promise((r) => setTimeout(r, 1500));
      assert.equal(await page.evaluate(() => heard.marker), before);
      assert.deepEqual(await page.evaluate(() => heard.error), []);
      assert.deepEqual(page.errors, [], page.report());
    });
  });
}

for (const engine of ENGINES) {
  describe(`${engine}: navigation`, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    let page;
    before(async () => {
      // Without the back-forward cache, which keeps the last pages whole (up to 6 in Chromium,
      // 8 in Firefox): every navigation ends the page it leaves.
      browser = await launch(engine, {
        args: engine === 'chromium' ? ['--disable-features=BackForwardCache'] : [],
        prefs: { 'browser.sessionhistory.max_total_viewers': 0 },
      });
      page = await browser.newPage();
    });
    after(async () => { await browser?.close(); });

    async function visit(side) {
      await page.goto(site.url(`nav-${side}.html`));
      await page.waitFor(() => window.started && started.size === 5, { timeout: 30000,
        what: `the five players of nav-${side}.html started` });
    }
    // The module's heap with five players, the browser's processes, and in Chromium the
    // renderer's figures after a collection and the workers there are.
    async function levels() {
      const { instances, heap } = await page.evaluate(() => window.klpRuntime.usage());
      const level = { instances, heap };
      if (engine === 'chromium') {
        // Pages left are freed by later collections: three, a moment apart.
        const cdp = await page.page.createCDPSession();
        for (let i = 0; i < 3; ++i) {
          await cdp.send('HeapProfiler.collectGarbage');
          await pause(200);
        }
        await cdp.detach();
        const m = await page.page.metrics();
        Object.assign(level, { documents: m.Documents, frames: m.Frames, nodes: m.Nodes,
          listeners: m.JSEventListeners, jsHeap: m.JSHeapUsedSize,
          workers: browser.puppeteer.targets().filter((t) => /worker/.test(t.type())).length });
      }
      return { ...level, ...processGroupUsage(browser.pid) };
    }

    it('leaves the browser where it was after the first round', async (t) => {
      const rounds = [];
      for (let round = 0; round < ROUNDS; ++round) {
        await visit('a');
        await visit('b');
        const level = await levels();
        assert.equal(level.instances, 5);
        rounds.push(level);
        t.diagnostic(`round ${round + 1}: ${JSON.stringify(level)}`);
      }
      const table = rounds.map((r) => JSON.stringify(r)).join(', ');
      const first = rounds[0], last = rounds[ROUNDS - 1];
      // Each page's new module holds the same, give or take a few bytes.
      assert.ok(last.heap <= first.heap + 256, `module heap after each round: ${table}`);
      assert.ok(last.processes <= first.processes, `processes after each round: ${table}`);
      if (engine === 'chromium') {
        // Pages left are collected some time after: the page and up to 6 more were seen, never
        // one for each page left.
        assert.ok(last.documents <= 7, `documents after each round: ${table}`);
        assert.ok(last.listeners <= first.listeners, `listeners after each round: ${table}`);
        assert.equal(last.workers, 0, `workers after each round: ${table}`);
        assert.ok(last.jsHeap <= first.jsHeap + 1024 * 1024, `JavaScript heap after each round: ${table}`);
      }
      assert.deepEqual(page.errors, [], page.report());
    });
  });
}
