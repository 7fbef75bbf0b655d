// Hostile movies, projects and networks: each ends in its error event or plays, the page's event
// loop is never held for 200 ms, not even while a 10 MB project is read, and removing the player
// leaves no instance and gives its memory back.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { moviePage, projectText, waitForFrame } from '../lib/movie.js';
import { klpAvailable, makeClip, openSite } from '../lib/site.js';

const klp = klpAvailable();
const HOT_SPOTS = 100000;
const LATE_MS = 30000;
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  const bytes = (key) => fs.readFileSync(path.join(site.dir, site.clips[key].path));
  const project = (name, source, extra = {}) => site.write(name, projectText({ source, markers: [['start', 0]], ...extra }));

  // A movie cut off half-way, one of text under a movie's name, an empty one.
  const mp4 = bytes('mp4');
  site.write('clips/truncated.mp4', mp4.subarray(0, mp4.length >> 1));
  project('truncated.klp', 'clips/truncated.mp4');
  site.write('clips/text.webm', 'This is not a movie.\n'.repeat(200));
  project('text.klp', 'clips/text.webm');
  site.write('clips/empty.webm', '');
  project('empty.klp', 'clips/empty.webm');

  // A header that claims 65535 x 65535 pixels (the most an MP4 track header and sample entry
  // can say): the track's 16.16 width and height, and the sample entry's 16-bit ones.
  const huge = Buffer.from(mp4);
  const tkhd = huge.indexOf('tkhd');
  const avc1 = huge.indexOf('avc1');
  assert.ok(tkhd > 0 && avc1 > 0, 'the test clip has a track header and an avc1 entry');
  const version = huge[tkhd + 4];
  const size = tkhd + 4 + (version === 1 ? 88 : 76);  // width, height at the header's end
  huge.writeUInt32BE(0xFFFF0000, size);
  huge.writeUInt32BE(0xFFFF0000, size + 4);
  huge.writeUInt16BE(0xFFFF, avc1 + 4 + 24);
  huge.writeUInt16BE(0xFFFF, avc1 + 4 + 26);
  site.write('clips/huge.mp4', huge);
  project('huge.klp', 'clips/huge.mp4');

  // Two hours at one frame a second, with a marker near its end.
  const long = await makeClip({ codec: 'Vp8Webm', ext: 'webm', width: 160, height: 120, frames: 7200, fps: 1, aspect: 1 });
  fs.copyFileSync(long, path.join(site.dir, 'clips/long.webm'));
  project('long.klp', 'clips/long.webm', { markers: [['start', 0], ['late', 7190]] });

  // A download the server breaks off half-way.
  const webm = bytes('webm');
  site.server.route('/clips/broken.webm', (req, res) => {
    res.writeHead(200, { 'Content-Type': 'video/webm', 'Content-Length': webm.length });
    res.write(webm.subarray(0, webm.length >> 1), () => res.destroy());
  });
  project('broken.klp', 'clips/broken.webm');

  // A 10 MB project of 100 000 hot spots, each with one key frame.
  const spots = [];
  for (let i = 0; i < HOT_SPOTS; ++i) {
    const x = (i * 7) % 280;
    const y = (i * 13) % 200;
    spots.push({ name: `spot${String(i).padStart(6, '0')}_${'x'.repeat(40)}`, first: 0, last: 99, keys: [[0, x, y, x + 30, y + 30]] });
  }
  project('crowd.klp', site.clips.webm.path, { hotSpots: spots });

  // A project the server answers after 30 s.
  const late = projectText({ source: site.clips.webm.path, markers: [['start', 0]] });
  site.server.route('/late.klp', (req, res) => {
    const timer = setTimeout(() => {
      res.writeHead(200, { 'Content-Type': 'application/kelvora-movie' });
      res.end(late);
    }, LATE_MS);
    res.on('close', () => clearTimeout(timer));
  });
});
after(async () => { await site?.close(); });

// Opens the movie page for project src. From its first script on, the page measures how long
// its event loop is kept from running (a task every 10 ms): window.longestGap, in ms. A click
// waits at least that long for its handler.
async function open(browser, src) {
  const page = await browser.newPage();
  await page.page.evaluateOnNewDocument(() => {
    window.longestGap = 0;
    let last = performance.now();
    const beat = () => {
      const now = performance.now();
      window.longestGap = Math.max(window.longestGap, now - last);
      last = now;
      setTimeout(beat, 10);
    };
    setTimeout(beat, 10);
  });
  await page.goto(site.url(moviePage({ name: 'm1', src, width: 320, height: 240 })));
  return page;
}
const longestGap = (page) => page.evaluate(() => window.longestGap);

// What became of the movie: 'plays' once a frame shows and "start" has fired, or the error
// codes the page heard.
async function outcome(page, timeout = 15000) {
  await page.waitFor(() => window.calls.some((c) => c.startsWith('m1_OnError') || c === 'm1_OnMarker start'),
    { timeout, what: 'the movie playing or an error' });
  const calls = await page.evaluate(() => window.calls);
  const errors = calls.filter((c) => c.startsWith('m1_OnError'));
  return errors.length ? errors : 'plays';
}

// Removes the player: no instance is left and the module's heap is back near where it was
// before the player started.
async function removedCleanly(page) {
  await page.evaluate(() => document.getElementById('m1').remove());
  await pause(300);
  const { instances, heap } = await page.evaluate(() => window.klpRuntime.usage());
  assert.equal(instances, 0);
  return heap;
}

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    let idleHeap;
    before(async () => {
      browser = await launch(engine);
      // The heap of a module that has had one ordinary player, and lost it.
      const page = await open(browser, 'truncated.klp');
      await page.evaluate(() => window.klpRuntime.ready);
      idleHeap = await removedCleanly(page);
      await page.close();
    });
    after(async () => { await browser?.close(); });

    const cases = [
      // Cut before its index (the test clips keep it at the end): no movie the browser can play.
      ['a truncated MP4: OnError 2', 'truncated.klp', [['m1_OnError 2']]],
      ['text under a movie\'s name: OnError 2', 'text.klp', [['m1_OnError 2']]],
      ['an empty movie: OnError 2', 'empty.klp', [['m1_OnError 2']]],
      ['a header claiming 65535 x 65535 pixels: plays or OnError 2', 'huge.klp', ['plays', ['m1_OnError 2']]],
      ['a download broken off half-way: OnError 3', 'broken.klp', [['m1_OnError 3']]],
    ];
    for (const [title, src, allowed] of cases) {
      it(title, async () => {
        const page = await open(browser, src);
        try {
          const got = await outcome(page);
          assert.ok(allowed.some((a) => JSON.stringify(a) === JSON.stringify(got)), `${src}: ${JSON.stringify(got)}`);
          assert.ok(await longestGap(page) < 200, `the page was held ${await longestGap(page)} ms`);
          const heap = await removedCleanly(page);
          assert.ok(heap <= idleHeap + 64 * 1024, `heap ${heap} after, ${idleHeap} idle`);
          assert.deepEqual(page.errors, [], page.report());
        } finally {
          await page.close();
        }
      });
    }

    it('a two-hour movie plays and goes to a marker near its end', async () => {
      const page = await open(browser, 'long.klp');
      try {
        assert.equal(await outcome(page), 'plays');
        await page.evaluate(() => document.getElementById('m1').EnableMarker('late'));
        await waitForFrame(page, (n) => n === (7190 & 1023), { what: 'frame 7190 (its low ten bits)', timeout: 20000 });
        assert.ok(await longestGap(page) < 200, `the page was held ${await longestGap(page)} ms`);
        await removedCleanly(page);
        assert.deepEqual(page.errors, [], page.report());
      } finally {
        await page.close();
      }
    });

    // The project is read ahead in slices; what is left in one task is setting up and drawing
    // the 100 000 anchors (measured: about 100 ms in Chromium, 55 ms in Firefox).
    it(`a 10 MB project of ${HOT_SPOTS} hot spots plays, the page answering meanwhile`, async (t) => {
      const page = await open(browser, 'crowd.klp');
      try {
        assert.equal(await outcome(page, 30000), 'plays');
        await pause(1000);
        const held = await longestGap(page);
        t.diagnostic(`the page was held ${Math.round(held)} ms`);
        assert.ok(held < 200, `the page was held ${held} ms`);
        await page.evaluate(() => document.getElementById('m1').EnableAnchor('spot099999_' + 'x'.repeat(40)));
        await removedCleanly(page);
        assert.deepEqual(page.errors, [], page.report());
      } finally {
        await page.close();
      }
    });

    // Waiting is the network's part, the same in every engine: one is enough.
    it('a project answered after 30 s: the page answers meanwhile, then the movie plays',
      { timeout: LATE_MS + 60000, skip: engine !== 'chromium' && 'waiting is tested in chromium' }, async () => {
      const page = await open(browser, 'late.klp');
      try {
        await pause(2000);
        assert.deepEqual(await page.evaluate(() => window.calls), []);
        assert.equal(await outcome(page, LATE_MS + 20000), 'plays');
        assert.ok(await longestGap(page) < 200, `the page was held ${await longestGap(page)} ms`);
        await removedCleanly(page);
      } finally {
        await page.close();
      }
    });
  });
}
