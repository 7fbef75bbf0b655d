// Hot spots: their frames drawn over the picture in their effect's colour and line width, at
// the movie's size and scaled; activation by a real click or double click, which pauses the
// movie and turns the frame to the highlight colour; a double click elsewhere toggles playing.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import {
  drawnOver, hex, isGrey, moviePage, near, pixel, projectText, shownFrame, waitForFrame, waitForStill,
} from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

// Frames drawn on frame 30 ("later", from key frame 60 to 99, is not), in movie pixels. A frame
// fills its rectangle, right and bottom included, with its line inside.
const BOX = { name: 'box', rect: [100, 100, 200, 200], colour: '00FF00', width: 3, highlight: 'FFFF00' };
const PAD = { name: 'pad', rect: [230, 150, 300, 220], colour: 'FF0000', width: 5, highlight: '0000FF' };
const LATER = { name: 'later', rect: [20, 80, 80, 140], colour: 'FF00FF', width: 3, highlight: 'FFFFFF' };
// Moves right by 80 pixels over the movie, its left side from x 40 on frame 0 to 120 on frame
// 99; (160, 150) is inside it on every frame, (60, 150) only up to frame 24, (300, 230) never.
const MOVER = { name: 'mover', colour: '00FF00', width: 3, highlight: 'FF00FF' };
const moverLeft = (frame) => 40 + (80 * frame) / 99;
const ON_MOVER = [160, 150];
const LEFT_BEHIND = [60, 150];
const OUTSIDE = [300, 230];

const effect = (h) => ({ name: h.name, colour: h.colour, width: h.width, highlight: h.highlight });

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  const source = site.clips.webm.path;
  site.write('drawn.klp', projectText({
    source,
    markers: [['thirty', 30]],
    hotSpots: [
      { name: 'box', first: 30, last: 99, keys: [[30, ...BOX.rect]] },
      { name: 'pad', first: 30, last: 99, keys: [[30, ...PAD.rect]] },
      { name: 'later', first: 60, last: 99, keys: [[60, ...LATER.rect], [99, ...LATER.rect]] },
    ],
    effects: [BOX, PAD, LATER].map(effect),
  }));
  site.write('mover.klp', projectText({
    source,
    hotSpots: [{ name: 'mover', first: 0, last: 99, keys: [[0, 40, 90, 200, 220], [99, 120, 90, 280, 220]] }],
    effects: [effect(MOVER)],
  }));
});
after(async () => { await site?.close(); });

const pause = (ms) => new Promise((r) => setTimeout(r, ms));
const calls = (page) => page.evaluate(() => window.calls);


// What is wrong with the frame of rect (movie pixels, line width `width`) as drawn in image at
// `scale` display pixels per movie pixel: every pixel across each side's line, on its middle,
// must have `colour`; the pixel just outside the line and the one just inside must be the
// picture's grey. [] when all is right.
function outlineFaults(image, rect, width, colour, scale) {
  const [left, top, right, bottom] = rect.map((v, i) => (i < 2 ? v * scale : (v + 1) * scale - 1));
  const line = width * scale;
  const midX = Math.round((left + right) / 2);
  const midY = Math.round((top + bottom) / 2);
  // Each side: the pixel at distance d into the line from its outer edge.
  const sides = {
    left: (d) => [left + d, midY],
    right: (d) => [right - d, midY],
    top: (d) => [midX, top + d],
    bottom: (d) => [midX, bottom - d],
  };
  const faults = [];
  for (const [side, at] of Object.entries(sides)) {
    for (let d = -1; d <= line; ++d) {
      const [x, y] = at(d);
      const rgb = pixel(image, x, y);
      const want = d >= 0 && d < line ? colour : 'grey';
      if (want === 'grey' ? !isGrey(rgb) : !near(rgb, colour)) {
        faults.push(`${side} (${x},${y}): ${hex(rgb)}, not ${want}`);
      }
    }
  }
  return faults;
}

// Loads the movie and pauses it on the first frame of "box" (30).
async function pausedOnBox(browser, attributes) {
  const page = await browser.newPage();
  await page.goto(site.url(moviePage({ name: 'm1', src: 'drawn.klp', ...attributes })));
  await waitForFrame(page, (n) => n >= 0, { what: 'the movie' });
  await page.evaluate(() => {
    const m1 = document.getElementById('m1');
    m1.EnableAnchor('box');
    m1.Pause();
  });
  return page;
}

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    for (const scale of [1, 2]) {
      describe(`frames drawn on a paused frame, at ${320 * scale}x${240 * scale}`, () => {
        let page;
        let image;
        before(async () => {
          page = await pausedOnBox(browser, { width: 320 * scale, height: 240 * scale });
        });
        after(async () => { await page?.close(); });

        it('EnableAnchor goes to the first frame of the hot spot', async () => {
          assert.equal(await waitForStill(page), 30);
          ({ image } = await shownFrame(page));
        });

        it('draws each frame at its rectangle in its own colour and line width', () => {
          assert.deepEqual(outlineFaults(image, BOX.rect, BOX.width, BOX.colour, scale), []);
          assert.deepEqual(outlineFaults(image, PAD.rect, PAD.width, PAD.colour, scale), []);
        });

        it('draws no frame of a hot spot before its first key frame', () => {
          assert.deepEqual(drawnOver(image, LATER.rect, LATER.width, scale), []);
        });

        it('fired nothing and raised no page error', async () => {
          assert.deepEqual(await calls(page), []);
          assert.deepEqual(page.errors, [], page.report());
        });
      });
    }

    describe('showanchor="False"', () => {
      let page;
      before(async () => { page = await pausedOnBox(browser, { width: 320, height: 240, showanchor: 'False' }); });
      after(async () => { await page?.close(); });

      it('draws no frame', async () => {
        assert.equal(await waitForStill(page), 30);
        const { image } = await shownFrame(page);
        assert.deepEqual(drawnOver(image, BOX.rect, BOX.width, 1), []);
        assert.deepEqual(drawnOver(image, PAD.rect, PAD.width, 1), []);
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('the cursor', () => {
      let page;
      after(async () => { await page?.close(); });

      const cursor = () => page.evaluate(() => getComputedStyle(document.getElementById('m1')).cursor);
      // Moves the mouse to (x, y) of the player and waits for the player to set a cursor other
      // than `from`; resolves to it.
      async function moveTo([x, y], from) {
        const box = await page.box('#m1');
        await page.page.mouse.move(Math.round(box.x + x), Math.round(box.y + y));
        return page.waitFor((was) => {
          const now = getComputedStyle(document.getElementById('m1')).cursor;
          return now !== was && now;
        }, { args: [from], what: `a cursor other than ${from}` });
      }

      it('is the hot spot cursor over a hot spot, the arrow elsewhere', async () => {
        page = await pausedOnBox(browser, { width: 320, height: 240 });
        assert.equal(await waitForStill(page), 30);
        const over = await moveTo([150, 150], await cursor());
        assert.match(over, /^url\("data:image\/png;base64,[^"]+"\) \d+ \d+, pointer$/);
        assert.equal(await moveTo([20, 220], over), 'default');
        assert.deepEqual(page.errors, [], page.report());
        await page.close();
        page = null;
      });

      it('changecursor="False": the arrow over a hot spot too', async () => {
        page = await pausedOnBox(browser, { width: 320, height: 240, changecursor: 'False' });
        assert.equal(await waitForStill(page), 30);
        assert.equal(await moveTo([150, 150], await cursor()), 'default');
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('a click on a moving hot spot', () => {
      let page;
      let held;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'mover.klp', width: 320, height: 240 })));
        await waitForFrame(page, (n) => n >= 30, { what: 'frame 30 or later' });
      });
      after(async () => { await page?.close(); });

      // The top side of "mover" lies at y 90 to 92 wherever it has moved to.
      const topFaults = (image, colour) => {
        const [x] = ON_MOVER;
        const faults = [];
        for (let y = 89; y <= 93; ++y) {
          const rgb = pixel(image, x, y);
          const want = y >= 90 && y <= 92 ? colour : 'grey';
          if (want === 'grey' ? !isGrey(rgb) : !near(rgb, colour)) faults.push(`(${x},${y}): ${hex(rgb)}, not ${want}`);
        }
        return faults;
      };

      it('a click where it has been activates nothing', async () => {
        const { number } = await shownFrame(page);
        await page.clickElement('#m1', { dx: LEFT_BEHIND[0], dy: LEFT_BEHIND[1] });
        await waitForFrame(page, (n) => n > number + 5, { what: `a frame past ${number + 5}` });
        assert.deepEqual(await calls(page), []);
      });

      it('fires OnActivateAnchor with its name and pauses the movie', async () => {
        await page.clickElement('#m1', { dx: ON_MOVER[0], dy: ON_MOVER[1] });
        await page.waitFor(() => window.calls.length > 0, { what: 'the activation' });
        held = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), held);
        assert.deepEqual(await calls(page), ['m1_OnActivateAnchor mover']);
      });

      it('draws its frame where it has moved to, in the highlight colour', async () => {
        const { image } = await shownFrame(page);
        assert.deepEqual(topFaults(image, MOVER.highlight), []);
        // The middle of its left side's line, whichever way the position is rounded.
        const x = Math.round(moverLeft(held)) + 1;
        assert.equal(hex(pixel(image, x, 155)), MOVER.highlight, `left side at x ${x} on frame ${held}`);
      });

      it('a double click outside every hot spot plays the movie on, in the frame colour again', async () => {
        await page.clickElement('#m1', { dx: OUTSIDE[0], dy: OUTSIDE[1], count: 2 });
        await waitForFrame(page, (n) => n > held + 2, { what: `a frame past ${held + 2}` });
        const { image } = await shownFrame(page);
        assert.deepEqual(topFaults(image, MOVER.colour), []);
      });

      it('another double click there pauses it, activating nothing', async () => {
        await page.clickElement('#m1', { dx: OUTSIDE[0], dy: OUTSIDE[1], count: 2 });
        const still = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), still);
        assert.deepEqual(await calls(page), ['m1_OnActivateAnchor mover']);
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('activatemethod="1"', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'mover.klp', width: 320, height: 240,
          activatemethod: '1' })));
        await waitForFrame(page, (n) => n >= 5, { what: 'frame 5 or later' });
      });
      after(async () => { await page?.close(); });

      it('a single click on the hot spot activates nothing: the movie plays on', async () => {
        const { number } = await shownFrame(page);
        await page.clickElement('#m1', { dx: ON_MOVER[0], dy: ON_MOVER[1] });
        // Over half a second on, past the time a second press would make it a double click.
        await waitForFrame(page, (n) => n > number + 15, { what: `a frame past ${number + 15}` });
        assert.deepEqual(await calls(page), []);
      });

      it('a double click on it activates it and pauses the movie', async () => {
        await page.clickElement('#m1', { dx: ON_MOVER[0], dy: ON_MOVER[1], count: 2 });
        await page.waitFor(() => window.calls.length > 0, { what: 'the activation' });
        const held = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), held);
        assert.deepEqual(await calls(page), ['m1_OnActivateAnchor mover']);
        assert.deepEqual(page.errors, [], page.report());
      });
    });
  });
}
