// Players added and removed by script, round after round: each removal ends its instance (no
// event afterwards, nothing left running), and the module's heap returns to where it was; in
// Chromium the page's DOM nodes and event listeners too (after a garbage collection).
// KLP_CHURN_ROUNDS sets the rounds (default 4; 34 rounds are 204 instance lives), and the levels
// of each round are printed as diagnostics.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();
const PLAYERS = 6;
const ROUNDS = Number(process.env.KLP_CHURN_ROUNDS) || 4;

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  // Beside the clip, which it names by its file name.
  const clip = site.clips.webm.path.replace(/^clips\//, '');
  site.write('clips/churn.klp', `[Global]\nKLPVersion=1.00\nSource=${clip}\nMarker=1\nHotSpot=1\n` +
    'Effect=0\nEvent=0\nLink=0\n\n[Marker]\nstart:0\n\n[HotSpot]\n' +
    '(spot::R:0-99:2)\n0:10,80,60,120\n99:200,80,250,120\n');
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
