// The trace of a whole page life, line for line, against the native plug-in's: the same page
// from the same server, once in the command-line tool's browser view with the plug-in and
// once in each engine with klp.js. Only the local files the streams were stored in differ.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { ENGINES, launch } from '../lib/browser.js';
import { projectText } from '../lib/movie.js';
import { klpAvailable, openSite, webDir } from '../lib/site.js';

const klp = klpAvailable();
const tool = path.resolve(webDir(), '..', 'klp');
const skip = !klp.available ? klp.reason
  : !fs.existsSync(tool) ? `no ${tool} (the native build's command-line tool) to compare with` : false;

const OUR_LINE = /^(trace|marker|event|anchor|error) /;
// The line after each of these names a stream's local file.
const FILE_BEFORE = new Set(['trace <NPP_StreamAsFile>', 'trace <OpenSrc>', 'trace <OpenMovie>']);

// The page's lines, with the names of local files replaced by "<file>".
function normalised(lines) {
  const ours = lines.filter((l) => OUR_LINE.test(l));
  return ours.map((l, i) => (i > 0 && FILE_BEFORE.has(ours[i - 1]) ? 'trace <file>' : l));
}

let site;
let url;
let native;
before(async () => {
  if (skip) return;
  site = await openSite();
  // Marks at least five frames apart, so that each is passed on a tick of its own; a name in
  // Latin-1, as older project files have them.
  const text = projectText({
    source: site.clips.webm.path,
    markers: [['opening', 0], ['café', 35], ['closing', 80]],
    events: [['bell', 20, 'ring,once'], ['gong', 60, '']],
    hotSpots: [
      { name: 'door', first: 10, last: 90, keys: [[10, 20, 80, 90, 200], [90, 220, 80, 290, 200]] },
      { name: 'sun', shape: 'C', first: 0, last: 99, keys: [[0, 230, 150, 300, 220]] },
    ],
    effects: [
      { name: 'door', colour: '00FF00', width: 3, highlight: 'FFFF00' },
      { name: 'sun', colour: 'FF8000', width: 2, highlight: 'FF0000' },
    ],
  });
  site.write('trace.klp', Buffer.from(text, 'latin1'));
  url = site.url('trace.html?src=trace.klp');
  // The native view runs beside the engines: it ends 8 s after the page has loaded.
  native = new Promise((resolve) => {
    execFile(tool, ['view', '--headless', '--quit-after', '8', url], { timeout: 60000 }, (error, stdout, stderr) => {
      resolve({ error, lines: stdout.split('\n'), stderr });
    });
  });
});
after(async () => {
  await native;
  await site?.close();
});

for (const engine of ENGINES) {
  describe(engine, { skip }, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });

    it('traces the page life as the native plug-in does, line for line', async () => {
      const page = await browser.newPage();
      await page.goto(url);
      const end = Date.now() + 15000;
      while (!page.console.some((m) => m.text === 'trace <EC_COMPLETE>')) {
        if (Date.now() > end) assert.fail(`no end of the movie in ${engine}:\n${page.report()}`);
        await new Promise((r) => setTimeout(r, 100));
      }
      // The page's end belongs to its life.
      await page.goto('about:blank');
      await page.close();
      const ours = normalised(page.console.map((m) => m.text));
      const theirs = normalised((await native).lines);
      assert.ok(theirs.includes('trace <EC_COMPLETE>'), 'the native view did not play to the end');
      assert.deepEqual(ours, theirs);
      assert.deepEqual(page.errors, [], page.report());
    });
  });
}

// Last, so that the engines play while the native view does.
describe('the native plug-in in the view of klp', { skip }, () => {
  it('plays the page to the end of the movie', async () => {
    const { error, lines, stderr } = await native;
    assert.equal(error, null, `${tool} view failed: ${stderr}`);
    assert.ok(lines.includes('trace <EC_COMPLETE>'), `its lines:\n${lines.join('\n')}\n${stderr}`);
  });
});
