// The player element's methods: what they answer and throw, and what the picture and the
// markers do after Play, Pause, Stop and EnableMarker (frame numbers read from the screen).
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { moviePage, projectText, waitForFrame, waitForStill } from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();
const REFUSED = 'Error: Error calling method on NPObject.';

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  for (const [key, clip] of Object.entries(site.clips)) {
    site.write(`methods-${key}.klp`, projectText({
      source: clip.path,
      markers: [['start', 0], ['mid', 40], ['late', 75]],
      hotSpots: [{ name: 'box', first: 30, last: 99, keys: [[30, 100, 100, 200, 200]] }],
    }));
  }
});
after(async () => { await site?.close(); });

const pause = (ms) => new Promise((r) => setTimeout(r, ms));
const calls = (page) => page.evaluate(() => window.calls);
// Runs `${code}` on the element #m1 in the page: its result, or the error thrown as
// "Name: message".
const call = (page, code) => page.evaluate((text) => {
  const m1 = document.getElementById('m1');
  try {
    return new Function('m1', `return ${text};`)(m1);
  } catch (e) {
    return e instanceof Error ? `${e.name}: ${e.message}` : `not an Error: ${e}`;
  }
}, code);
const commands = (lines) => lines.filter((l) => l.startsWith('<WM_KL_'));

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    describe('answers', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'methods-webm.klp', width: 320, height: 240,
          autoplay: 'false', kldebug: 'true' })));
        await page.waitFor(() => window.sysout.includes('<OpenMovie>'), { what: 'the movie opened' });
      });
      after(async () => { await page?.close(); });

      it('true for every command taken, which runs after the call has returned', async () => {
        const { answers, during } = await page.evaluate(() => {
          const m1 = document.getElementById('m1');
          const from = window.sysout.length;
          const answers = [m1.Pause(), m1.Stop(), m1.EnableMarker('mid'), m1.EnableAnchor('box'), m1.Play(-1),
            m1.Pause()];
          return { answers, during: window.sysout.slice(from) };
        });
        assert.deepEqual(answers, [true, true, true, true, true, true]);
        assert.deepEqual(during, []);
        const expected = ['<WM_KL_PAUSE>', '<WM_KL_STOP>', '<WM_KL_ENABLEMARKER>', '<WM_KL_ENABLEANCHOR>',
          '<WM_KL_PLAY>', '<WM_KL_PAUSE>'];
        await page.waitFor((n) => window.sysout.filter((l) => l.startsWith('<WM_KL_')).length >= n,
          { args: [expected.length], what: 'the commands traced' });
        assert.deepEqual(commands(await page.evaluate(() => window.sysout)), expected);
        assert.deepEqual(await calls(page), []);
      });

      it('throws for a wrong count or type of arguments, and posts nothing', async () => {
        const wrong = ["m1.Play('x')", "m1.Play('5')", 'm1.Play()', 'm1.Play(1, 2)', 'm1.Play(true)', 'm1.Play(null)',
          'm1.Play(NaN)', 'm1.Pause(1)', 'm1.Stop(0)', 'm1.EnableMarker(5)', 'm1.EnableMarker()',
          "m1.EnableMarker('mid', 'late')", 'm1.EnableAnchor(null)', 'm1.EnableAnchor({})'];
        const from = (await page.evaluate(() => window.sysout)).length;
        const answers = [];
        for (const code of wrong) answers.push([code, await call(page, code)]);
        assert.deepEqual(answers, wrong.map((code) => [code, REFUSED]));
        // A command taken after them is the next one traced.
        assert.equal(await call(page, 'm1.Stop()'), true);
        await page.waitFor((n) => window.sysout.slice(n).includes('<WM_KL_STOP>'), { args: [from],
          what: 'Stop() traced' });
        assert.deepEqual(commands((await page.evaluate(() => window.sysout)).slice(from)), ['<WM_KL_STOP>']);
      });

      it('takes a name it does not know, then reports it: OnError 6 for a marker, 5 for a hot spot', async () => {
        assert.equal(await call(page, "m1.EnableMarker('nowhere')"), true);
        assert.equal(await call(page, "m1.EnableAnchor('nowhere')"), true);
        await page.waitFor(() => window.calls.length >= 2, { what: 'two errors' });
        assert.deepEqual(await calls(page), ['m1_OnError 6', 'm1_OnError 5']);
      });

      it('throws for every method once the element has left the page', async () => {
        await page.evaluate(() => { window.removed = document.getElementById('m1'); window.removed.remove(); });
        const answers = [];
        for (const code of ['m1.Play(0)', 'm1.Pause()', 'm1.Stop()', "m1.EnableMarker('mid')", "m1.EnableAnchor('box')"]) {
          answers.push(await page.evaluate((text) => {
            try {
              return new Function('m1', `return ${text};`)(window.removed);
            } catch (e) {
              return `${e.name}: ${e.message}`;
            }
          }, code));
        }
        assert.deepEqual(answers, Array(5).fill(REFUSED));
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    for (const key of ['webm', 'mp4']) {
      describe(`${key}: seeking, pausing, stopping`, () => {
        let page;
        before(async () => {
          page = await browser.newPage();
          await page.goto(site.url(moviePage({ name: 'm1', src: `methods-${key}.klp`, width: 320, height: 240 })));
          await page.waitFor(() => window.calls.includes('m1_OnMarker start'), { timeout: 15000,
            what: 'the marker on frame 0' });
        });
        after(async () => { await page?.close(); });

        it('EnableMarker("late") and Pause() show exactly frame 75, firing nothing for the jump', async () => {
          await page.evaluate(() => {
            const m1 = document.getElementById('m1');
            m1.EnableMarker('late');
            m1.Pause();
          });
          assert.equal(await waitForStill(page), 75);
          assert.deepEqual(await calls(page), ['m1_OnMarker start']);
        });

        it('Play(50) plays from frame 50: "late" fires on the way, "mid" before it does not', async () => {
          await page.evaluate(() => document.getElementById('m1').Play(50));
          // Frame 75 until the seek lands, then 50 and on.
          const { seen } = await waitForFrame(page, (n) => n > 50 && n < 75, { what: 'a frame from 51 to 74' });
          const wrong = seen.filter((n) => n !== 75 && (n < 50 || n > 74));
          assert.deepEqual(wrong, [], `read ${seen.join(' ')}`);
          await page.waitFor(() => window.calls.length >= 2, { what: 'the marker "late"' });
          assert.deepEqual(await calls(page), ['m1_OnMarker start', 'm1_OnMarker late']);
        });

        it('Pause() holds the picture still', async () => {
          await page.evaluate(() => document.getElementById('m1').Pause());
          const held = await waitForStill(page);
          assert.ok(held >= 75, `paused on ${held}`);
          await pause(400);
          assert.equal((await waitForStill(page)), held);
        });

        it('Play(-1) plays on from the paused frame', async () => {
          const held = await waitForStill(page);
          await page.evaluate(() => document.getElementById('m1').Play(-1));
          const { seen } = await waitForFrame(page, (n) => n > held, { what: `a frame past ${held}` });
          assert.deepEqual(seen.filter((n) => n < held), [], `read ${seen.join(' ')}`);
        });

        it('Stop() shows frame 0 and stays there, firing nothing', async () => {
          await page.evaluate(() => document.getElementById('m1').Stop());
          assert.equal(await waitForStill(page), 0);
          await pause(400);
          assert.equal(await waitForStill(page), 0);
          assert.deepEqual(await calls(page), ['m1_OnMarker start', 'm1_OnMarker late']);
        });

        it('Play(-1) after Stop() plays from frame 0, firing its marker again', async () => {
          await page.evaluate(() => document.getElementById('m1').Play(-1));
          const { seen } = await waitForFrame(page, (n) => n > 5, { what: 'a frame past 5' });
          assert.deepEqual(seen.filter((n) => n > 20), [], `read ${seen.join(' ')}`);
          await page.waitFor(() => window.calls.length >= 3, { what: 'a third marker' });
          assert.deepEqual(await calls(page), ['m1_OnMarker start', 'm1_OnMarker late', 'm1_OnMarker start']);
        });

        it('raised no page error', () => {
          assert.deepEqual(page.errors, [], page.report());
        });
      });
    }

    describe('autoplay="false"', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'methods-webm.klp', width: 320, height: 240,
          autoplay: 'false' })));
      });
      after(async () => { await page?.close(); });

      it('stands on frame 0 without firing its marker', async () => {
        await waitForFrame(page, (n) => n === 0, { what: 'frame 0' });
        assert.equal(await waitForStill(page), 0);
        await pause(300);
        assert.equal(await waitForStill(page), 0);
        assert.deepEqual(await calls(page), []);
      });

      it('Play(50) starts at frame 50: no marker before it fires', async () => {
        await page.evaluate(() => document.getElementById('m1').Play(50));
        const { seen } = await waitForFrame(page, (n) => n > 50, { what: 'a frame past 50' });
        assert.deepEqual(seen.filter((n) => n !== 0 && n < 50), [], `read ${seen.join(' ')}`);
        await page.waitFor(() => window.calls.length >= 1, { what: 'the marker "late"' });
        assert.deepEqual(await calls(page), ['m1_OnMarker late']);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    // klp.js comes first and the embed after it: the script right after the embed finds the
    // player, whose module is still loading.
    describe('calls before the module has loaded', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url('early.html?src=methods-webm.klp'));
      });
      after(async () => { await page?.close(); });

      it("reach a player already, of the embed's size, which takes them", async () => {
        const early = await page.evaluate(() => window.early);
        assert.deepEqual([early.element, early.play], ['klp-player', true]);
        assert.deepEqual(early.size, [320, 240]);
      });

      // The plug-in in a browser throws at once; the runtime cannot tell before it has loaded.
      it('answer true for a wrong argument too, the refusal told on the console once the player starts', async () => {
        assert.equal(await page.evaluate(() => window.early.wrong), true);
        await page.waitFor(() => window.sysout.includes('<OpenMovie>'), { what: 'the movie opened' });
        assert.deepEqual(page.console.filter((m) => m.type === 'error').map((m) => m.text), [
          'klp.js: Play("x"), called before the player had started, was refused: Error calling method on NPObject.']);
      });

      // A command needs an open movie, and the call runs when the player starts, before its
      // project and movie have arrived: the plug-in answers it with error 7 in a browser too.
      it('run when the player starts, before the movie has come: OnError 7', async () => {
        await page.waitFor(() => window.sysout.includes('<OpenMovie>'), { what: 'the movie opened' });
        const lines = await page.evaluate(() => window.sysout);
        assert.deepEqual(lines.slice(0, 7), ['<NPP_New> - Completed.', '<SetWindow>', 'no get movie URL',
          '<WM_KL_PLAY>', '<OnError>', '7', '<NPP_StreamAsFile>'], lines.join('\n'));
        assert.deepEqual(await calls(page), ['m1_OnError 7']);
        assert.equal(await waitForStill(page), 0);
      });

      it('raised no page error', () => {
        assert.deepEqual(page.errors, [], page.report());
      });
    });
  });
}
