// The module's context menu, Properties and About in the page: the menu opens on a right-click
// instead of the browser's, with its items enabled by the player's state; Pause, Stop and Play
// from it; Properties shows the settings and applies them only on OK; About ignores Escape;
// while either is up the players take no mouse input; removing the player takes it down.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import {
  drawnOver, moviePage, projectText, shownFrame, waitForFrame, waitForPlaying, waitForStill,
} from '../lib/movie.js';
import { klpAvailable, openSite } from '../lib/site.js';

const klp = klpAvailable();

// "box" is framed from frame 0 on; (300, 230) lies outside it.
const BOX = { name: 'box', rect: [100, 100, 200, 200], colour: '00FF00', width: 3, highlight: 'FFFF00' };
const ON_BOX = [150, 150];
const OUTSIDE = [300, 230];

let site;
before(async () => {
  if (!klp.available) return;
  site = await openSite();
  site.write('menu.klp', projectText({
    source: site.clips.webm.path,
    hotSpots: [{ name: 'box', first: 0, last: 99, keys: [[0, ...BOX.rect]] }],
    effects: [BOX],
  }));
});
after(async () => { await site?.close(); });

const pause = (ms) => new Promise((r) => setTimeout(r, ms));

// In the player's shadow root.
const inPlayer = (page, fn, ...args) => page.evaluate((source, ...a) => {
  // eslint-disable-next-line no-new-func
  const f = new Function('root', '...a', `return (${source})(root, ...a);`);
  return f(document.getElementById('m1')?.shadowRoot, ...a);
}, fn.toString(), ...args);

// The menu's items as "Text" or "Text (disabled)"; null while no menu is up.
const menuItems = (page) => inPlayer(page, (root) => {
  const menu = root?.querySelector('[role=menu]');
  return menu ? [...menu.querySelectorAll('[role=menuitem]')]
    .map((i) => i.textContent + (i.getAttribute('aria-disabled') === 'true' ? ' (disabled)' : '')) : null;
});
// The open dialog: its accessible name, and its check boxes and radio buttons by label.
const dialogState = (page) => inPlayer(page, (root) => {
  const box = root?.querySelector('dialog.klp-dialog');
  if (!box) return null;
  const name = root.getElementById(box.getAttribute('aria-labelledby'))?.textContent;
  const checks = {};
  for (const input of box.querySelectorAll('input')) checks[input.parentElement.textContent] = input.checked;
  return { name, open: box.open, checks, text: box.innerText };
});

async function openMenu(page, [x, y] = OUTSIDE) {
  await page.clickElement('#m1', { dx: x, dy: y, button: 'right' });
  await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('[role=menu]'),
    { what: 'the menu' });
}
// A real click on the element of the player's shadow root that find(root) returns.
async function clickInPlayer(page, find, ...args) {
  const handle = await page.page.evaluateHandle((source, ...a) => {
    // eslint-disable-next-line no-new-func
    const f = new Function('root', '...a', `return (${source})(root, ...a);`);
    return f(document.getElementById('m1').shadowRoot, ...a);
  }, find.toString(), ...args);
  const element = handle.asElement();
  assert.ok(element, `nothing to click for ${find}`);
  await element.click();
  await handle.dispose();
}
const clickItem = (page, text) => clickInPlayer(page, (root, t) =>
  [...root.querySelectorAll('[role=menuitem]')].find((i) => i.textContent === t), text);
const clickLabel = (page, text) => clickInPlayer(page, (root, t) =>
  [...root.querySelectorAll('dialog.klp-dialog label, dialog.klp-dialog button')]
    .find((e) => e.textContent === t || e.getAttribute('aria-label') === t), text);
const press = (page, key) => page.page.keyboard.press(key);
const gone = (page, what) => page.waitFor(
  () => !document.getElementById('m1')?.shadowRoot?.querySelector('dialog'), { what });

for (const engine of ENGINES) {
  describe(engine, { skip: klp.available ? false : klp.reason }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    describe('the context menu', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'menu.klp', width: 320, height: 240, autorepeat: 'true' })));
        await page.evaluate(() => {
          window.browserMenus = 0;
          document.addEventListener('contextmenu', (e) => { if (!e.defaultPrevented) window.browserMenus++; });
        });
        await waitForFrame(page, (n) => n >= 2, { what: 'the movie playing' });
      });
      after(async () => { await page?.close(); });

      it('opens instead of the browser\'s, as a menu with the items playing enables', async () => {
        await openMenu(page);
        assert.deepEqual(await menuItems(page),
          ['Play (disabled)', 'Pause', 'Stop', 'Properties...', 'About...']);
        assert.equal(await page.evaluate(() => window.browserMenus), 0);
        assert.equal(await inPlayer(page, (root) => root.querySelectorAll('[role=menu] [role=separator]').length), 2);
        assert.equal(await inPlayer(page, (root) => root.activeElement?.textContent), 'Pause',
          'the first enabled item has the focus');
      });

      it('Escape closes it with no choice: the movie plays on', async () => {
        await press(page, 'Escape');
        await gone(page, 'the menu gone');
        await waitForPlaying(page);
      });

      it('Pause from it pauses; paused, Play and Stop are enabled', async () => {
        await openMenu(page);
        await clickItem(page, 'Pause');
        await gone(page, 'the menu gone');
        const held = await waitForStill(page);
        await pause(300);
        assert.equal(await waitForStill(page), held);
        await openMenu(page);
        assert.deepEqual(await menuItems(page),
          ['Play', 'Pause (disabled)', 'Stop', 'Properties...', 'About...']);
      });

      it('the keyboard moves through the items and Enter chooses: Stop', async () => {
        // From Play: down to the disabled Pause, to Stop.
        await press(page, 'ArrowDown');
        await press(page, 'ArrowDown');
        assert.equal(await inPlayer(page, (root) => root.activeElement?.textContent), 'Stop');
        await press(page, 'Enter');
        await gone(page, 'the menu gone');
        assert.equal(await waitForStill(page), 0, 'stopped on frame 0');
        await openMenu(page);
        assert.deepEqual(await menuItems(page),
          ['Play', 'Pause (disabled)', 'Stop (disabled)', 'Properties...', 'About...']);
      });

      it('a click beside it closes it and reaches no player: the hot spot is not activated', async () => {
        await page.clickElement('#m1', { dx: ON_BOX[0], dy: ON_BOX[1] });
        await gone(page, 'the menu gone');
        await pause(300);
        assert.deepEqual(await page.evaluate(() => window.calls), []);
        await openMenu(page);
        await clickItem(page, 'Play');
        await gone(page, 'the menu gone');
        await waitForPlaying(page);
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('Properties', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'menu.klp', width: 320, height: 240 })));
        await waitForFrame(page, (n) => n >= 2, { what: 'the movie playing' });
        await page.evaluate(() => document.getElementById('m1').Pause());
        await waitForStill(page);
      });
      after(async () => { await page?.close(); });

      const openProperties = async () => {
        await openMenu(page);
        await clickItem(page, 'Properties...');
        await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('dialog.klp-dialog'),
          { what: 'the Properties dialog' });
      };
      const framed = async () => drawnOver((await shownFrame(page)).image, BOX.rect, BOX.width).length > 0;

      it('shows the settings from the attributes, in a modal dialog named Properties', async () => {
        await openProperties();
        const d = await dialogState(page);
        assert.equal(d.name, 'Properties');
        assert.equal(d.open, true);
        assert.deepEqual(d.checks, {
          'Show Anchor': true, 'Change Cursor': true, 'Single-click': true, 'Double-click': false,
          'Auto Repeat': false,
        });
        assert.equal(await inPlayer(page, (root) => root.activeElement?.parentElement.textContent), 'Show Anchor');
        assert.deepEqual(await inPlayer(page, (root) => [...root.querySelectorAll('[role=group]')]
          .map((g) => `${root.getElementById(g.getAttribute('aria-labelledby')).textContent}: ${g.querySelectorAll('input').length}`)),
        ['Controls: 2', 'Activate: 2', 'Playback: 1']);
      });

      it('Escape after changing every control changes nothing', async () => {
        for (const label of ['Show Anchor', 'Change Cursor', 'Double-click', 'Auto Repeat']) await clickLabel(page, label);
        assert.deepEqual((await dialogState(page)).checks, {
          'Show Anchor': false, 'Change Cursor': false, 'Single-click': false, 'Double-click': true,
          'Auto Repeat': true,
        });
        await press(page, 'Escape');
        await gone(page, 'the dialog gone');
        assert.ok(await framed(), 'the frame is still drawn');
        await openProperties();
        assert.deepEqual((await dialogState(page)).checks, {
          'Show Anchor': true, 'Change Cursor': true, 'Single-click': true, 'Double-click': false,
          'Auto Repeat': false,
        });
      });

      it('the close box changes nothing', async () => {
        await clickLabel(page, 'Show Anchor');
        await clickLabel(page, 'Close');
        await gone(page, 'the dialog gone');
        assert.ok(await framed(), 'the frame is still drawn');
      });

      it('OK with Show Anchor cleared hides the frames at once', async () => {
        await openProperties();
        await clickLabel(page, 'Show Anchor');
        await clickLabel(page, 'OK');
        await gone(page, 'the dialog gone');
        for (let i = 0; i < 20 && await framed(); ++i) await pause(50);
        assert.equal(await framed(), false, 'no frame drawn');
        await openProperties();
        assert.equal((await dialogState(page)).checks['Show Anchor'], false);
        await press(page, 'Enter');  // OK, the default button
        await gone(page, 'the dialog gone');
        assert.deepEqual(page.errors, [], page.report());
      });
    });

    describe('About', () => {
      let page;
      before(async () => {
        page = await browser.newPage();
        await page.goto(site.url(moviePage({ name: 'm1', src: 'menu.klp', width: 320, height: 240 })));
        await waitForFrame(page, (n) => n >= 0, { what: 'the movie' });
        await openMenu(page);
        await clickItem(page, 'About...');
        await page.waitFor(() => document.getElementById('m1').shadowRoot.querySelector('dialog.klp-dialog'),
          { what: 'the About box' });
      });
      after(async () => { await page?.close(); });

      it('shows the version data and the picture', async () => {
        const d = await dialogState(page);
        assert.equal(d.name, 'About NPKLOD32');
        assert.match(d.text, /NPKLOD32/);
        assert.match(d.text, /Ver 2\.50/);
        assert.deepEqual(await inPlayer(page, (root) => {
          const c = root.querySelector('dialog canvas');
          return [c.width, c.height];
        }), [122, 38]);
      });

      it('ignores Escape; Enter closes it', async () => {
        await press(page, 'Escape');
        await pause(300);
        assert.equal((await dialogState(page))?.open, true);
        await press(page, 'Escape');  // twice: a browser may close a dialog on a second Escape
        await pause(300);
        assert.equal((await dialogState(page))?.open, true);
        await press(page, 'Enter');
        await gone(page, 'the About box gone');
      });

      it('the players take mouse input again', async () => {
        await page.evaluate(() => document.getElementById('m1').Pause());
        await page.clickElement('#m1', { dx: ON_BOX[0], dy: ON_BOX[1] });
        await page.waitFor(() => window.calls.includes('m1_OnActivateAnchor box'), { what: 'the activation' });
      });
    });

    describe('removing the player', () => {
      it('takes its menu down and leaves the page usable', async () => {
        const page = await browser.newPage();
        try {
          await page.goto(site.url(moviePage({ name: 'm1', src: 'menu.klp', width: 320, height: 240 })));
          await waitForFrame(page, (n) => n >= 0, { what: 'the movie' });
          await openMenu(page);
          await page.evaluate(() => {
            document.getElementById('m1').remove();
            const b = document.createElement('button');
            b.textContent = 'after';
            b.style.cssText = 'position:fixed;left:10px;top:10px;width:100px;height:40px';
            b.onclick = () => { window.clicked = true; };
            document.body.append(b);
          });
          assert.equal(await page.evaluate(() => document.querySelectorAll('dialog').length), 0);
          await page.click(60, 30);
          await page.waitFor(() => window.clicked, { what: 'the page\'s button clicked' });
          assert.deepEqual(page.errors, [], page.report());
        } finally {
          await page.close();
        }
      });
    });
  });
}
