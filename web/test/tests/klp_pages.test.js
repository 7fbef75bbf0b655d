// Movies in pages: two players at once, elements added and removed by script, an <object>
// with <param>s, which elements become players, and what a page sees when the project or
// the movie is missing or broken.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { moviePage, pixel, projectText, shownFrame, waitForFrame, waitForStill } from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  const { webm, mp4 } = site.clips;
  site.write('first.klp', projectText({ source: webm.path, markers: [['a1', 5], ['a2', 30], ['a3', 60]] }));
  site.write('second.klp', projectText({ source: mp4.path, markers: [['b1', 5], ['b2', 20], ['b3', 40]] }));
  site.write('start.klp', projectText({ source: webm.path, markers: [['start', 0], ['twenty', 20]] }));
  site.write('no-movie.klp', projectText({ source: 'clips/none.webm', markers: [['start', 0]] }));
  // Bytes of no movie format, under a movie's name.
  const noise = Buffer.alloc(20000);
  for (let i = 0, x = 12345; i < noise.length; ++i) {
    x = (x * 1103515245 + 12345) >>> 0;
    noise[i] = x >>> 24;
  }
  site.write('noise.webm', noise);
  site.write('noise.klp', projectText({ source: 'noise.webm', markers: [['start', 0]] }));
  site.write('noise-project.klp', noise);
});
after(async () => { await site?.close(); });

const calls = (page) => page.evaluate(() => window.calls);

// What is wrong with image as the idle picture: a small picture in the middle of white.
function idleFaults(image) {
  let [x0, y0, x1, y1] = [image.width, image.height, -1, -1];
  for (let y = 0; y < image.height; ++y) {
    for (let x = 0; x < image.width; ++x) {
      if (pixel(image, x, y).some((v) => v < 0xF0)) {
        x0 = Math.min(x0, x);
        y0 = Math.min(y0, y);
        x1 = Math.max(x1, x);
        y1 = Math.max(y1, y);
      }
    }
  }
  if (x1 < 0) return ['all white'];
  const faults = [];
  const [w, h] = [x1 - x0 + 1, y1 - y0 + 1];
  if (w > image.width / 2 || h > image.height / 2) faults.push(`a ${w}x${h} picture is no small one`);
  if (Math.abs(x0 + x1 + 1 - image.width) > 2 || Math.abs(y0 + y1 + 1 - image.height) > 2) {
    faults.push(`the picture at (${x0},${y0})-(${x1},${y1}) is off the middle of ${image.width}x${image.height}`);
  }
  return faults;
}

// Waits up to 10 s for the idle picture in the box of selector; resolves to what is wrong with
// the last picture read, [] once it is the idle one.
async function idleShown(page, selector = '#m1') {
  const end = Date.now() + 10000;
  for (;;) {
    const { image } = await shownFrame(page, selector);
    const faults = image ? idleFaults(image) : ['an empty box'];
    if (faults.length === 0 || Date.now() > end) return faults;
    await new Promise((r) => setTimeout(r, 100));
  }
}

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    describe('two players, WebM and MP4', () => {
      let page;
      let removedAt;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url('two.html?src1=first.klp&src2=second.klp'));
      });
      after(async () => { await page?.close(); });

      it('both play, each calling the functions of its own name', async () => {
        await page.waitFor(() => window.calls.includes('m1_OnMarker a1') && window.calls.includes('m2_OnMarker b1'),
          { timeout: 15000, what: 'the first marker of each' });
        for (const id of ['#m1', '#m2']) {
          const { number } = await shownFrame(page, id);
          await waitForFrame(page, (n) => n > number && number >= 0, { selector: id, what: `a frame past ${number}` });
        }
        // Whatever has come so far, in order, each under its own name.
        const got = await calls(page);
        const m1 = got.filter((c) => c.startsWith('m1_'));
        const m2 = got.filter((c) => c.startsWith('m2_'));
        assert.deepEqual(m1, ['m1_OnMarker a1', 'm1_OnMarker a2', 'm1_OnMarker a3'].slice(0, m1.length));
        assert.deepEqual(m2, ['m2_OnMarker b1', 'm2_OnMarker b2', 'm2_OnMarker b3'].slice(0, m2.length));
        assert.equal(got.length, m1.length + m2.length, got.join(', '));
      });

      it('document.NAME is the player of that name', async () => {
        assert.deepEqual(await page.evaluate(() => [document.m1 === document.getElementById('m1'),
          document.m2 === document.getElementById('m2'), document.m1.localName]), [true, true, 'klp-player']);
      });

      it('one removed while playing calls nothing more; the other plays on', async () => {
        removedAt = await page.evaluate(() => {
          document.getElementById('m2').remove();
          return window.calls.length;
        });
        await page.waitFor(() => window.calls.includes('m1_OnMarker a3'), { timeout: 15000,
          what: 'the marker of m1 on frame 60' });
        const got = await calls(page);
        assert.deepEqual(got.slice(removedAt).filter((c) => c.startsWith('m2_')), []);
        assert.deepEqual(got.filter((c) => c.startsWith('m1_')), ['m1_OnMarker a1', 'm1_OnMarker a2', 'm1_OnMarker a3']);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('an embed added by script after load', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url('added.html'));
        await page.evaluate(() => window.klpRuntime.ready);
      });
      after(async () => { await page?.close(); });

      it('becomes a player with its attributes, which plays', async () => {
        await page.evaluate(() => window.addEmbed({ id: 'm1', name: 'm1', type: 'application/kelvora-movie',
          src: 'start.klp', width: '320', height: '240', 'data-note': 'kept' }));
        await page.waitFor(() => window.calls.includes('m1_OnMarker twenty'), { timeout: 15000,
          what: 'the marker on frame 20' });
        assert.deepEqual(await page.evaluate(() => {
          const m1 = document.getElementById('m1');
          return [m1.localName, m1.getAttribute('name'), m1.getAttribute('data-note'), m1.getBoundingClientRect().width,
            m1.getBoundingClientRect().height];
        }), ['klp-player', 'm1', 'kept', 320, 240]);
        const { number } = await shownFrame(page);
        await waitForFrame(page, (n) => n > number && number >= 20, { what: `a frame past ${number}` });
        assert.deepEqual(await calls(page), ['m1_OnMarker start', 'm1_OnMarker twenty']);
      });

      it('of our type in any letter case, or with a src ending in .klp: a player; else left alone', async () => {
        const kinds = await page.evaluate(() => {
          const cases = {
            'type in capitals': { type: 'Application/Kelvora-Movie', src: 'elsewhere/project' },
            '.KLP with a query': { src: 'elsewhere/A.KLP?v=2' },
            'another type': { type: 'application/x-other', src: 'elsewhere/a.klp.txt' },
          };
          for (const [id, attributes] of Object.entries(cases)) window.addEmbed({ id, width: '40', height: '30', ...attributes });
          return Object.keys(cases);
        });
        await page.waitFor((ids) => ids.slice(0, 2).every((id) => document.getElementById(id).localName === 'klp-player'),
          { args: [kinds], what: 'two players' });
        assert.deepEqual(await page.evaluate((ids) => ids.map((id) => document.getElementById(id).localName), kinds),
          ['klp-player', 'klp-player', 'embed']);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('an <object> with data and <param name="autoplay" value="false">', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url('object.html?src=start.klp'));
      });
      after(async () => { await page?.close(); });

      it('becomes a player of its size that opens the movie of its data', async () => {
        await page.waitFor(() => window.sysout.includes('<OpenMovie>'), { what: 'the movie opened' });
        assert.deepEqual(await page.evaluate(() => {
          const m1 = document.getElementById('m1');
          const r = m1.getBoundingClientRect();
          return [m1.localName, m1.getAttribute('data'), r.width, r.height];
        }), ['klp-player', 'start.klp', 320, 240]);
      });

      it('does not start by itself', async () => {
        assert.equal(await waitForStill(page), 0);
        await new Promise((r) => setTimeout(r, 300));
        assert.equal(await waitForStill(page), 0);
        assert.deepEqual(await calls(page), []);
      });

      it('plays when told to', async () => {
        assert.equal(await page.evaluate(() => document.getElementById('m1').Play(-1)), true);
        await waitForFrame(page, (n) => n > 5, { what: 'a frame past 5' });
        await page.waitFor(() => window.calls.length > 0, { what: 'the marker on frame 0' });
        assert.deepEqual(await calls(page), ['m1_OnMarker start']);
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('what goes wrong', () => {
      const pages = [];
      after(async () => { for (const p of pages) await p.close(); });

      let firstRequest = 0;
      async function open(src) {
        while (pages.length) await pages.pop().close();  // one page at a time: the others hide
        const page = await browser.newPage();
        pages.push(page);
        firstRequest = site.server.requests.length;
        await page.goto(site.url(moviePage({ name: 'm1', src, width: 320, height: 240, kldebug: 'true' })));
        return page;
      }
      // The statuses the server answered for path since the page was opened, each once. The
      // browser may fetch an embed's src itself too, before klp.js has replaced it.
      const answered = (path) => [...new Set(site.server.requests.slice(firstRequest)
        .filter((r) => r.path === path).map((r) => r.status))];

      it('a missing project: no error event, the idle picture', async () => {
        const page = await open('nowhere.klp');
        // The runtime's request has been answered, and a moment has passed.
        await page.waitFor(() => window.fetched.includes('/nowhere.klp 404'), { what: 'the fetch of the project' });
        await new Promise((r) => setTimeout(r, 200));
        assert.deepEqual(await idleShown(page), []);
        assert.deepEqual(answered('/nowhere.klp'), [404]);
        assert.deepEqual(await calls(page), []);
        assert.deepEqual(await page.evaluate(() => window.sysout), ['<NPP_New> - Completed.', '<SetWindow>',
          'no get movie URL']);
        assert.deepEqual(page.errors, [], page.report());
      });

      it('a movie that is not there: OnError 3 once, the idle picture', async () => {
        const page = await open('no-movie.klp');
        await page.waitFor(() => window.calls.length > 0, { what: 'an error' });
        assert.deepEqual(await idleShown(page), []);
        assert.deepEqual(await calls(page), ['m1_OnError 3']);
        assert.deepEqual(answered('/clips/none.webm'), [404]);
        assert.deepEqual(page.errors, [], page.report());
      });

      it('a movie file that is no movie: OnError 2 once, the idle picture', async () => {
        const page = await open('noise.klp');
        await page.waitFor(() => window.calls.length > 0, { what: 'an error' });
        assert.deepEqual(await idleShown(page), []);
        assert.deepEqual(await calls(page), ['m1_OnError 2']);
        assert.deepEqual(page.errors, [], page.report());
      });

      // Any file reads as a project: without a [Global] Source it names the movie "*", which
      // the server does not have.
      it('a project file that is no project: asks for the movie "*", OnError 3 once', async () => {
        const page = await open('noise-project.klp');
        await page.waitFor(() => window.calls.length > 0, { what: 'an error' });
        assert.deepEqual(await idleShown(page), []);
        assert.deepEqual(await calls(page), ['m1_OnError 3']);
        assert.deepEqual(answered('/*'), [404]);
        assert.deepEqual(page.errors, [], page.report());
      });

      it("a page function that throws: the page's error, and the movie plays on", async () => {
        const page = await open('first.klp');
        await page.evaluate(() => {
          window.m1_OnMarker = (name) => {
            window.calls.push(`m1_OnMarker ${name}`);
            if (name === 'a2') throw new TypeError('no a2 here');
          };
        });
        await page.waitFor(() => window.calls.includes('m1_OnMarker a3'), { timeout: 15000,
          what: 'the marker on frame 60' });
        assert.deepEqual(await calls(page), ['m1_OnMarker a1', 'm1_OnMarker a2', 'm1_OnMarker a3']);
        assert.deepEqual(page.errors, ['TypeError: no a2 here']);
      });
    });
  });
}
