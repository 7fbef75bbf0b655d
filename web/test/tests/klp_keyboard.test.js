// Keyboard, assistive technology and touch: the player takes the focus, Tab and Shift-Tab move a
// ring through the anchors on the frame and out, Enter activates as a click does, Space toggles
// playback; the player is named after its movie, a focused anchor and (when the page asks) the
// marks passed are said through a live region; a tap activates on a device without a mouse, a
// long press opens the menu.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { moviePage, projectText, waitForFrame, waitForPlaying, waitForStill } from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

// On every frame: "box", then "round" (an ellipse) to its right; "start" marks frame 0.
const BOX = [100, 100, 200, 200];
const ROUND = [220, 60, 300, 140];
const ON_BOX = [150, 150];
const OUTSIDE = [300, 230];

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  site.write('keys.klp', projectText({
    source: site.clips.webm.path,
    markers: [['start', 0], ['late', 60]],
    hotSpots: [
      { name: 'box', first: 0, last: 99, keys: [[0, ...BOX]] },
      { name: 'round', shape: 'C', first: 0, last: 99, keys: [[0, ...ROUND]] },
    ],
  }));
});
after(async () => { await site?.close(); });

const pause = (ms) => new Promise((r) => setTimeout(r, ms));
const press = (page, key) => page.page.keyboard.press(key);
// The focus ring as [left, top, width, height, round] in the player, null while hidden; and what
// the live region says.
const ring = (page) => page.evaluate(() => {
  const root = document.getElementById('m1').shadowRoot;
  const r = root.querySelector('.focus');
  if (getComputedStyle(r).display === 'none') return null;
  return [r.offsetLeft, r.offsetTop, r.offsetWidth, r.offsetHeight, r.style.borderRadius === '50%'];
});
const said = (page) => page.evaluate(() => document.getElementById('m1').shadowRoot.querySelector('[aria-live]').textContent);
const activations = (page) => page.evaluate(() => window.calls.filter((c) => c.includes('OnActivateAnchor')));
const focused = (page) => page.evaluate(() => document.activeElement?.id || document.activeElement?.localName);

async function open(browser, attributes = {}) {
  const page = await browser.newPage();
  await page.goto(site.url(moviePage({ name: 'm1', src: 'keys.klp', width: 320, height: 240, ...attributes })));
  await page.evaluate(() => {
    const before = document.createElement('button');
    before.id = 'before';
    document.body.prepend(before);
    const next = document.createElement('button');
    next.id = 'after';
    document.body.append(next);
  });
  await waitForFrame(page, (n) => n >= 2, { what: 'the movie playing' });
  return page;
}

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    describe('the keyboard', () => {
      let page;
      before(async () => { page = await open(browser); });
      after(async () => { await page?.close(); });

      it('the player is in the tab order, named after its movie', async () => {
        await page.evaluate(() => document.getElementById('before').focus());
        await press(page, 'Tab');
        assert.equal(await focused(page), 'm1');
        const name = await page.evaluate(() => document.getElementById('m1').getAttribute('aria-label'));
        assert.match(name, /\.webm$/);
        assert.equal(await ring(page), null, 'no anchor focused yet');
      });

      it('Tab moves a ring through the anchors in hit order, saying each name', async () => {
        await press(page, 'Tab');
        assert.deepEqual(await ring(page), [100, 100, 101, 101, false]);
        assert.equal(await said(page), 'box');
        await press(page, 'Tab');
        assert.deepEqual(await ring(page), [220, 60, 81, 81, true]);
        assert.equal(await said(page), 'round');
        assert.equal(await focused(page), 'm1');
      });

      it('Tab past the last anchor leaves the player; Shift-Tab comes back to it', async () => {
        await press(page, 'Tab');
        assert.equal(await focused(page), 'after');
        assert.equal(await ring(page), null);
        await page.page.keyboard.down('Shift');
        await press(page, 'Tab');
        assert.equal(await focused(page), 'm1');
        await press(page, 'Tab');
        assert.equal(await focused(page), 'before');
        await page.page.keyboard.up('Shift');
      });

      it('Space with no anchor focused pauses, and again plays', async () => {
        await press(page, 'Tab');
        assert.equal(await focused(page), 'm1');
        await press(page, ' ');
        const held = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), held);
        await press(page, ' ');
        await waitForPlaying(page);
        assert.equal(await page.evaluate(() => window.scrollY), 0, 'the page did not scroll');
      });

      it('Enter on a focused anchor activates it as a click does: the page hears it, the movie pauses', async () => {
        await press(page, 'Tab');
        await press(page, 'Enter');
        await page.waitFor(() => window.calls.includes('m1_OnActivateAnchor box'), { what: 'the activation' });
        const held = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), held);
        assert.deepEqual(await activations(page), ['m1_OnActivateAnchor box']);
        assert.deepEqual(page.errors, [], page.report());
      });

      it('a mouse user sees no ring', async () => {
        await page.clickElement('#m1', { dx: OUTSIDE[0], dy: OUTSIDE[1] });
        assert.equal(await ring(page), null);
      });
    });

    describe('announcemarks="true"', () => {
      it('says the markers passed', async () => {
        const page = await open(browser, { announcemarks: 'true' });
        try {
          await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('[aria-live]').textContent === 'Marker: late',
            { what: 'the marker said', timeout: 15000 });
        } finally {
          await page.close();
        }
      });

      it('without it nothing is said', async () => {
        const page = await open(browser);
        try {
          await waitForFrame(page, (n) => n > 65, { what: 'frame 65 passed' });
          assert.equal(await said(page), '');
        } finally {
          await page.close();
        }
      });
    });

    if (engine !== 'chromium') return;
    describe('touch', () => {
      let page;
      let cdp;
      const tapAt = async ([x, y]) => {
        const b = await page.box('#m1');
        await page.page.touchscreen.tap(b.x + x, b.y + y);
      };
      before(async () => {
        page = await open(browser, { activatemethod: '1' });
        cdp = await page.page.createCDPSession();
        await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 1 });
      });
      after(async () => { await page?.close(); });

      // Headless Chromium has no fine pointer: a device without a mouse.
      it('without a mouse, a tap activates whatever the activation method', async () => {
        assert.equal(await page.evaluate(() => matchMedia('(any-pointer: fine)').matches), false);
        await tapAt(ON_BOX);
        await page.waitFor(() => window.calls.includes('m1_OnActivateAnchor box'), { what: 'the activation' });
        await waitForStill(page);
      });

      it('a long press opens the menu', async () => {
        const b = await page.box('#m1');
        await page.page.touchscreen.touchStart(b.x + OUTSIDE[0], b.y + OUTSIDE[1]);
        await pause(800);
        await page.page.touchscreen.touchEnd();
        await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('[role=menu]'), { what: 'the menu' });
        await press(page, 'Escape');
        assert.deepEqual(page.errors, [], page.report());
      });
    });
  });
}
