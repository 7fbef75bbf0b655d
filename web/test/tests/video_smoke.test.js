// A plain <video> playing each test clip in each engine: the clips decode and play, frames are
// reported as they are presented, and a paused seek to the middle of frame N shows N both in
// the decoded picture and on the screen. Needs no web runtime; it checks the harness itself.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { describeBands, readFrameNumber } from '../lib/frame_number.js';
import { openSite } from '../lib/site.js';

let site;
before(async () => { site = await openSite(); });
after(async () => { await site?.close(); });

// Polls read() until it gives want or timeout ms pass; resolves to the last value read.
async function readUntil(read, want, timeout = 3000) {
  const end = Date.now() + timeout;
  let got = await read();
  while (got.number !== want && Date.now() < end) {
    await new Promise((r) => setTimeout(r, 100));
    got = await read();
  }
  return got;
}

for (const engine of ENGINES) {
  describe(engine, () => {
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
          page = await browser.newPage();
          await page.goto(site.url(`video.html?src=${clip.path}`));
        });
        after(async () => { await page?.close(); });

        it('plays, presenting frames with increasing media time', async () => {
          await page.waitFor(() => window.smoke.played || window.smoke.playError, { what: 'play()' });
          const smoke = await page.evaluate(() => window.smoke);
          assert.equal(smoke.playError, null);
          assert.ok(smoke.rvfc, 'requestVideoFrameCallback is missing');
          await page.waitFor(() => window.smoke.frames.length >= 10, { what: '10 presented frames' });
          const { frames, events } = await page.evaluate(() => window.smoke);
          for (let i = 1; i < frames.length; ++i) {
            assert.ok(frames[i] > frames[i - 1], `mediaTime went ${frames[i - 1]} -> ${frames[i]}: ` +
              `${frames.join(' ')}; events ${events.join(' ')}`);
          }
          const ranged = site.server.requests.filter((r) => r.path === `/${clip.path}` && r.status === 206);
          assert.ok(ranged.length > 0, 'the clip was never fetched with a byte range');
        });

        it('shows the frame that currentTime names while playing', async () => {
          const time = await page.evaluate(() => document.querySelector('video').currentTime);
          const image = await page.elementPixels('video');
          const after = await page.evaluate(() => document.querySelector('video').currentTime);
          const number = readFrameNumber(image, dims);
          assert.notEqual(number, -1, describeBands(image, dims));
          const low = Math.floor(time * clip.fps) - 2;
          const high = Math.floor(after * clip.fps) + 2;
          assert.ok(number >= low && number <= high, `frame ${number} at ${time}..${after} s`);
        });

        for (const n of [37, 99, 0, 64]) {
          it(`shows frame ${n} after a pause and a seek to its middle`, async () => {
            const time = await page.evaluate((f, fps) => window.seekToFrame(f, fps), n, clip.fps);
            assert.ok(Math.abs(time - (n + 0.5) / clip.fps) < 1e-3, `currentTime ${time}`);
            const decoded = await page.elementPixels('video');
            assert.equal(decoded.width, clip.width);
            assert.equal(decoded.height, clip.height);
            assert.equal(readFrameNumber(decoded, dims), n, describeBands(decoded, dims));
            const box = await page.box('video');
            const shown = await readUntil(async () => {
              const image = await page.screenPixels(box);
              return { image, number: readFrameNumber(image, dims) };
            }, n);
            assert.equal(shown.number, n, `on screen: ${describeBands(shown.image, dims)}`);
          });
        }

        it('raised no page error', () => {
          assert.deepEqual(page.errors, [], page.report());
          assert.ok(!(page.console.some((c) => c.type === 'error')), page.report());
        });
      });
    }
  });
}
