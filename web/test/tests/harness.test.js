// The launcher's page helpers in both engines: what the page reports (uncaught exceptions,
// unhandled rejections, console messages) is collected, clicks are real input at the right
// place, and screen pixels come from the rectangle asked for, also on a scrolled page.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { openSite } from '../lib/site.js';

let site;
before(async () => { site = await openSite(); });
after(async () => { await site?.close(); });

function pixel(image, x, y) {
  const i = (y * image.width + x) * 4;
  return [...image.data.subarray(i, i + 4)];
}

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    let page;
    before(async () => {
      browser = await launch(engine);
      page = await browser.newPage();
      await page.goto(site.url('harness.html'));
    });
    after(async () => { await browser?.close(); });

    describe('page reports', () => {
      it('collects uncaught exceptions, unhandled rejections and thrown non-errors', async () => {
        await page.evaluate(() => {
          setTimeout(() => { throw new TypeError('thrown in a timer'); }, 0);
          Promise.reject(new RangeError('rejected'));
          setTimeout(() => { throw 'a bare string'; }, 0);
        });
        const end = Date.now() + 5000;
        while (page.errors.length < 3 && Date.now() < end) await new Promise((r) => setTimeout(r, 50));
        assert.deepEqual([...page.errors].sort(),
          ['RangeError: rejected', 'TypeError: thrown in a timer', 'a bare string']);
        page.errors.length = 0;
      });

      it('collects console messages by type', async () => {
        await page.evaluate(() => {
          console.log('a log line', 7);
          console.warn('a warning');
          console.error('an error');
        });
        const end = Date.now() + 5000;
        while (page.console.length < 3 && Date.now() < end) await new Promise((r) => setTimeout(r, 50));
        const seen = page.console.map((c) => `${c.type} ${c.text}`);
        for (const line of ['log a log line 7', 'warn a warning', 'error an error']) {
          assert.ok(seen.includes(line), `${line} in ${JSON.stringify(seen)}`);
        }
        page.console.length = 0;
      });

      it('names the page state in a wait that times out', async () => {
        await page.evaluate(() => console.log('state at the time-out'));
        await assert.rejects(page.waitFor(() => false, { timeout: 300, what: 'never' }),
          /waiting for never failed[\s\S]*state at the time-out/);
        page.console.length = 0;
      });
    });

    describe('mouse', () => {
      it('clicks with trusted events at the given point', async () => {
        await page.evaluate(() => { window.scrollTo(0, 0); window.mouse.length = 0; });
        const box = await page.box('#target');
        await page.click(box.x + 150, box.y + 40);
        const events = await page.waitFor(() => window.mouse.length >= 3 && window.mouse, { what: 'the click' });
        const click = events.find((e) => e.type === 'click');
        assert.ok(click, JSON.stringify(events));
        assert.deepEqual({ x: click.x, y: click.y, button: click.button, trusted: click.trusted, on: click.on },
          { x: 150, y: 40, button: 0, trusted: true, on: 'right' });
        const order = events.map((e) => e.type).filter((t) => t.startsWith('mouse') || t === 'click');
        assert.deepEqual(order, ['mousedown', 'mouseup', 'click']);
      });

      it('clicks inside an element by offset on a scrolled page', async () => {
        await page.evaluate(() => { window.scrollTo(0, 250); window.mouse.length = 0; });
        await page.clickElement('#target', { dx: 30, dy: 70 });
        const events = await page.waitFor(() => window.mouse.some((e) => e.type === 'click') && window.mouse,
          { what: 'the click' });
        const click = events.find((e) => e.type === 'click');
        assert.deepEqual({ x: click.x, y: click.y, on: click.on }, { x: 30, y: 70, on: 'left' });
      });
    });

    describe('screen pixels', () => {
      for (const scroll of [0, 250]) {
        it(`reads the rectangle asked for with the page scrolled by ${scroll}`, async () => {
          await page.evaluate((y) => window.scrollTo(0, y), scroll);
          const box = await page.box('#target');
          const image = await page.screenPixels(box);
          assert.deepEqual([image.width, image.height], [200, 100]);
          assert.deepEqual(pixel(image, 2, 2), [255, 0, 0, 255]);
          assert.deepEqual(pixel(image, 97, 97), [255, 0, 0, 255]);
          assert.deepEqual(pixel(image, 102, 2), [0, 0, 255, 255]);
          assert.deepEqual(pixel(image, 197, 97), [0, 0, 255, 255]);
        });
      }
    });

    it('raised no page error of its own', () => {
      assert.deepEqual(page.errors, [], page.report());
    });
  });
}
