// An embedded movie with autoplay: klp.js puts a player where the element was, at its size,
// and the movie plays there. Skipped while the build has no web runtime.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { describeBands, readFrameNumber } from '../lib/frame_number.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

let site;
before(async () => { if (klp.available) site = await openSite(); });
after(async () => { await site?.close(); });

// The frame number shown in the box of #m1 on screen, with the box and the picture.
async function shownFrame(page, dims) {
  const box = await page.box('#m1');
  const image = await page.screenPixels(box);
  return { box, image, number: readFrameNumber(image, dims) };
}

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    for (const key of ['webm', 'mp4']) {
      describe(key, () => {
        let clip;
        let dims;
        let page;
        before(async () => {
          clip = site.clips[key];
          dims = { clipWidth: clip.width, clipHeight: clip.height };
          const project = site.write(`autoplay-${key}.klp`, `[Global]\nKLPVersion=1.00\nSource=${clip.path}\n`);
          page = await browser.newPage();
          await page.goto(site.url(`embed.html?src=${project}`));
        });
        after(async () => { await page?.close(); });

        it('shows the movie in the box of the element, at its size', async () => {
          await page.waitFor(() => {
            const el = document.getElementById('m1');
            const r = el && el.getBoundingClientRect();
            return r && r.width === 320 && r.height === 240;
          }, { what: '#m1 at 320x240' });
          const end = Date.now() + 10000;
          let shown = await shownFrame(page, dims);
          while (shown.number < 0 && Date.now() < end) {
            await new Promise((r) => setTimeout(r, 100));
            shown = await shownFrame(page, dims);
          }
          assert.notEqual(shown.number, -1, `no frame in ${JSON.stringify(shown.box)}: ` +
            `${describeBands(shown.image, dims)}\n${page.report()}`);
        });

        it('plays on by itself', async () => {
          const first = await shownFrame(page, dims);
          await new Promise((r) => setTimeout(r, 600));
          const later = await shownFrame(page, dims);
          assert.ok(later.number > first.number, `frame ${first.number}, then ${later.number}`);
        });

        it('raised no page error', () => {
          assert.deepEqual(page.errors, [], page.report());
        });
      });
    }
  });
}
