// The browser extension, loaded with --load-extension in Chromium and installed as a temporary
// add-on through WebDriver BiDi in Firefox: the tour's plug-in page, which has no script tag for
// the runtime, plays, and the page's own script drives the player and hears its events; a page
// without movies is left alone; a link to a project opens it full-page; the options page turns
// the extension off for one site and on again.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { startServer } from '../lib/server.js';
import { webDir } from '../lib/site.js';
import { copyTour, tourAvailable, waitForTourPlaying } from '../lib/tour.js';

const extensionDir = path.resolve(webDir(), '../extension');
const tour = tourAvailable();
const skip = !fs.existsSync(path.join(extensionDir, 'manifest.json'))
  ? `no extension in ${extensionDir}; run scripts/build-web.sh` : tour.available ? false : tour.reason;
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

let tmp;
let server;
before(async () => {
  if (skip) return;
  tmp = fs.mkdtempSync(path.join(process.env.KLP_WEB_TMP || os.tmpdir(), 'klp-extension-'));
  copyTour(tmp);
  fs.writeFileSync(path.join(tmp, 'links.html'), '<p><a id="open" href="tour.klp">The tour</a></p>');
  fs.writeFileSync(path.join(tmp, 'plain.html'), '<p>No movies here.</p>');
  server = await startServer({ root: tmp });
});
after(async () => {
  await server?.close();
  if (tmp) fs.rmSync(tmp, { recursive: true, force: true });
});

// The page's requests that left the browser (extension files are not fetched from anywhere).
function recordRequests(page) {
  const urls = [];
  page.page.on('request', (r) => {
    if (!/^(chrome|moz)-extension:/.test(r.url())) urls.push(r.url());
  });
  return urls;
}

for (const engine of ENGINES) {
  describe(`the extension in ${engine}`, { skip }, () => {
    let browser;
    before(async () => { browser = await launch(engine, { extension: extensionDir }); });
    after(async () => { await browser?.close(); });

    // Opens the options page. Firefox lets no page but the extension's own go there, so the
    // way leads through the viewer, from a page of the site (host) of the given name.
    async function openOptions(page, host = '127.0.0.1') {
      await page.goto(server.url('links.html').replace('127.0.0.1', host));
      await page.clickElement('#open');
      await page.waitFor(() => /-extension:$/.test(location.protocol), { what: 'the viewer' });
      await page.evaluate(() => location.assign('options.html'));
      await page.waitFor(() => document.getElementById('add'), { what: 'the options page' });
    }

    async function withPage(fn) {
      const page = await browser.newPage();
      try {
        return await fn(page);
      } finally {
        await page.close();
      }
    }

    it("plays the tour's plug-in page, whose own script drives the player", () => withPage(async (page) => {
      const requests = recordRequests(page);
      await page.goto(server.url('index.html'));
      const log = await waitForTourPlaying(page);
      assert.deepEqual(log.slice(0, 2), ['marker start', 'event bell']);
      // The page's Pause button: its script calls Pause() on the player.
      await page.evaluate(() => document.querySelectorAll('button')[1].click());
      await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('video').paused,
        { what: "the movie paused by the page's button" });
      assert.equal(await page.evaluate(() => typeof window.klpRuntime), 'object');
      assert.deepEqual(requests.filter((u) => new URL(u).origin !== server.origin), []);
      assert.ok(!server.requests.some((r) => /klp\.(js|wasm)$/.test(r.path)), 'the runtime came from the site');
      assert.deepEqual(page.errors, []);
    }));

    it('leaves a page without movies alone', () => withPage(async (page) => {
      await page.goto(server.url('plain.html'));
      await pause(1000);
      assert.deepEqual(await page.evaluate(() => [typeof window.klpRuntime, document.scripts.length]),
        ['undefined', 0]);
    }));

    it('opens a link to a project full-page', () => withPage(async (page) => {
      await page.goto(server.url('links.html'));
      await page.clickElement('#open');
      const href = await page.waitFor(() => /-extension:$/.test(location.protocol) && location.href,
        { what: 'the viewer' });
      const viewer = 'viewer.html#' + encodeURIComponent(server.url('tour.klp'));
      assert.match(href, /^(chrome|moz)-extension:\/\/[0-9a-z-]+\/viewer\.html#/);
      assert.ok(href.endsWith(`/${viewer}`), href);
      await page.waitFor(() => document.querySelector('klp-player')?.shadowRoot
        ?.querySelector('video')?.currentTime > 0.5, { timeout: 20000, what: 'the project playing' });
      const shown = await page.evaluate(() => {
        const r = document.querySelector('klp-player').getBoundingClientRect();
        return [document.title, r.x, r.y, r.width, r.height];
      });
      assert.deepEqual(shown, ['tour.klp', 0, 0, 800, 600]);
      assert.deepEqual(page.errors, []);
    }));

    it('is turned off for one site on the options page, and on again', () => withPage(async (page) => {
      const setSite = (text) => page.evaluate((t) => {
        document.getElementById('site').value = t;
        document.getElementById('add').requestSubmit();
      }, text);
      const listed = () => page.evaluate(() =>
        Array.from(document.querySelectorAll('#sites li'), (li) => li.dataset.site));
      await openOptions(page);
      await setSite('http://');
      await page.waitFor(() => document.getElementById('error').textContent, { what: 'the error' });
      assert.equal(await page.evaluate(() => document.getElementById('error').textContent),
        '"http://" names no site');
      await setSite(`${server.url('index.html')}`);
      await page.waitFor(() => document.querySelector('#sites li'), { what: 'the site listed' });
      assert.deepEqual(await listed(), ['127.0.0.1']);

      await page.goto(server.url('index.html'));
      await pause(2000);
      assert.deepEqual(await page.evaluate(() => [document.getElementById('m1').localName,
        typeof window.klpRuntime]), ['embed', 'undefined']);
      await page.goto(server.url('index.html').replace('127.0.0.1', 'localhost'));
      await waitForTourPlaying(page);

      await openOptions(page, 'localhost');
      await page.waitFor(() => document.querySelector('#sites li button'), { what: 'the list' });
      await page.evaluate(() => document.querySelector('#sites li button').click());
      await page.waitFor(() => !document.querySelector('#sites li'), { what: 'the site removed' });
      await page.goto(server.url('index.html'));
      await waitForTourPlaying(page);
    }));
  });
}
