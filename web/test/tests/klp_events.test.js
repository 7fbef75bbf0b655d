// Markers and events of a playing movie reach the page functions named after the embed: once
// each, in frame order, again after the end with autorepeat; trace lines reach NAME_OnSysOut
// only with kldebug on.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { moviePage, projectText, waitForStill } from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

// Listed out of frame order: they fire in frame order all the same. "mid" and "bell" share a
// frame, where markers come first; "end" is the last frame.
const MARKERS = [['start', 0], ['late', 75], ['mid', 40], ['end', 99]];
const EVENTS = [['bell', 40, 'ring'], ['gong', 20, 'once'], ['last', 90, '']];
const IN_ORDER = ['m1_OnMarker start', 'm1_OnKLEvent gong', 'm1_OnMarker mid', 'm1_OnKLEvent bell',
  'm1_OnMarker late', 'm1_OnKLEvent last', 'm1_OnMarker end'];

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  for (const [key, clip] of Object.entries(site.clips)) {
    site.write(`events-${key}.klp`, projectText({ source: clip.path, markers: MARKERS, events: EVENTS }));
  }
});
after(async () => { await site?.close(); });

const calls = (page) => page.evaluate(() => window.calls);

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    // The whole movie with the attributes' defaults (autoplay on, autorepeat and kldebug
    // off), in each clip at once: m1 plays the WebM clip, m2 the MP4 one.
    describe('WebM and MP4 side by side, played to the end', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url('two.html?src1=events-webm.klp&src2=events-mp4.klp'));
      });
      after(async () => { await page?.close(); });

      const of = (name, got) => got.filter((c) => c.startsWith(`${name}_`));
      const inOrder = (name) => IN_ORDER.map((c) => c.replace(/^m1_/, `${name}_`));

      it('fires every marker and event once, in frame order', async () => {
        await page.waitFor(() => window.calls.includes('m1_OnMarker end') && window.calls.includes('m2_OnMarker end'),
          { timeout: 15000, what: 'the marker on the last frame of each' });
        const { calls: got, times } = await page.evaluate(() => ({ calls: window.calls, times: window.times }));
        for (const name of ['m1', 'm2']) {
          assert.deepEqual(of(name, got), inOrder(name));
          // As the frames pass, not all at once: 75 frames are 3 s at 25 fps, of which a late
          // start may take some.
          const span = times[got.indexOf(`${name}_OnMarker late`)] - times[got.indexOf(`${name}_OnMarker start`)];
          assert.ok(span > 2000, `${name}: "start" (frame 0) and "late" (frame 75) came ${span} ms apart`);
        }
      });

      it('stops on frame 0 at the end, firing nothing more', async () => {
        for (const name of ['m1', 'm2']) assert.equal(await waitForStill(page, { selector: `#${name}` }), 0, name);
        const got = await calls(page);
        for (const name of ['m1', 'm2']) assert.deepEqual(of(name, got), inOrder(name));
      });

      it('calls no OnSysOut', async () => {
        assert.deepEqual(await page.evaluate(() => window.sysout), []);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('autorepeat="True"', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'events-webm.klp', width: 320, height: 240,
          autorepeat: 'True' })));
      });
      after(async () => { await page?.close(); });

      it('plays again from frame 0, firing everything again', async () => {
        await page.waitFor((n) => window.calls.length >= n, { args: [IN_ORDER.length + 2], timeout: 20000,
          what: 'the marks of a second pass up to frame 20' });
        const got = await calls(page);
        assert.deepEqual(got.slice(0, IN_ORDER.length + 2), [...IN_ORDER, ...IN_ORDER.slice(0, 2)]);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('kldebug, autoplay and no name', () => {
      const pages = [];
      after(async () => { for (const p of pages) await p.close(); });

      // Loads the movie with these attributes and waits for the marker on frame 0: the first
      // trace lines come with the instance, long before it.
      async function playing(attributes, prefix = 'm1_') {
        while (pages.length) await pages.pop().close();  // one page at a time: the others hide
        const page = await browser.newPage();
        pages.push(page);
        await page.goto(site.url(moviePage({ ...attributes, src: 'events-webm.klp', width: 320, height: 240 })));
        await page.waitFor((call) => window.calls.includes(call),
          { args: [`${prefix}OnMarker start`], timeout: 15000, what: 'the marker on frame 0' });
        return page;
      }

      it('"TRUE" sends every trace line to NAME_OnSysOut, from the instance on', async () => {
        const page = await playing({ name: 'm1', kldebug: 'TRUE' });
        const lines = await page.evaluate(() => window.sysout);
        assert.equal(lines[0], '<NPP_New> - Completed.');
        const at = lines.indexOf('<OnMarker>');
        assert.deepEqual(lines.slice(at, at + 2), ['<OnMarker>', 'start'], lines.join('\n'));
        assert.deepEqual(page.errors, [], page.report());
      });

      it('"yes" is no value of it: no trace line', async () => {
        const page = await playing({ name: 'm1', kldebug: 'yes' });
        assert.deepEqual(await page.evaluate(() => window.sysout), []);
        assert.deepEqual(page.errors, [], page.report());
      });

      it('autoplay="no" is no value of it either: the movie plays', async () => {
        const page = await playing({ name: 'm1', autoplay: 'no' });
        assert.deepEqual(await calls(page), ['m1_OnMarker start']);
        assert.deepEqual(page.errors, [], page.report());
      });

      it('an embed without a name calls the functions without a prefix', async () => {
        const page = await playing({ kldebug: 'true' }, '');
        assert.deepEqual(await calls(page), ['OnMarker start']);
        assert.equal((await page.evaluate(() => window.sysout))[0], '<NPP_New> - Completed.');
        assert.deepEqual(page.errors, [], page.report());
      });
    });
  });
}
