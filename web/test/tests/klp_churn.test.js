// Players added and removed by script, round after round: each removal ends its instance (no
// event afterwards, nothing left running), and the module's heap returns to where it was.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();
const PLAYERS = 6;
const ROUNDS = 4;

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

    it('ends every instance it removes and gives its memory back', async () => {
      const heaps = [];
      for (let round = 0; round < ROUNDS; ++round) {
        await page.evaluate((n) => add(n, 'clips/churn.klp'), PLAYERS);
        await page.waitFor((n) => playing() === n, { args: [PLAYERS], timeout: 30000,
          what: `${PLAYERS} players playing` });
        await page.evaluate(() => clear());
        const usage = await page.evaluate(() => window.klpRuntime.usage());
        assert.equal(usage.instances, 0);
        heaps.push(usage.heap);
      }
      // The first round may leave what stays for the page's life (interned names, the
      // identifier table); later rounds add nothing.
      const grown = heaps[ROUNDS - 1] - heaps[1];
      assert.ok(grown <= 4096, `heap after each round: ${heaps.join(', ')}`);
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
