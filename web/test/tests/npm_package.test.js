// The web runtime's npm package: `npm pack` of the package the build lays out, installed into a
// site's node_modules, plays the tour in Chromium from a plain <script> tag and as a module, and
// its types check a page's script that uses them and refuse one that misuses them.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { launch } from '../lib/browser.js';
import { startServer } from '../lib/server.js';
import { webDir } from '../lib/site.js';
import { copyTour, tourAvailable, tourPageWith, waitForTourPlaying } from '../lib/tour.js';

const run = promisify(execFile);
const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '../../..');
const tsc = path.resolve(here, '../node_modules/typescript/bin/tsc');
const npmDir = path.resolve(webDir(), '../npm');
const version = /^npklod32 \(([^)]+)\)/.exec(fs.readFileSync(path.join(repo, 'packaging/deb/changelog'), 'utf8'))[1];

const tour = tourAvailable();
const skip = !fs.existsSync(path.join(npmDir, 'package.json'))
  ? `no npm package in ${npmDir}; run scripts/build-web.sh` : tour.available ? false : tour.reason;

let tmp;
let site;
let packed;
let server;
let browser;
before(async () => {
  if (skip) return;
  tmp = fs.mkdtempSync(path.join(process.env.KLP_WEB_TMP || os.tmpdir(), 'klp-npm-'));
  const { stdout } = await run('npm', ['pack', npmDir, '--json', '--pack-destination', tmp], { cwd: tmp });
  [packed] = JSON.parse(stdout);
  site = path.join(tmp, 'site');
  fs.mkdirSync(site);
  await run('npm', ['install', '--offline', '--no-save', '--no-audit', '--no-fund', '--prefix', site,
    path.join(tmp, packed.filename)], { cwd: site });
  copyTour(site);
  fs.writeFileSync(path.join(site, 'script.html'),
    tourPageWith('<script src="node_modules/npklod32/klp.js"></script>'));
  fs.writeFileSync(path.join(site, 'module.html'), tourPageWith(`
<script type="importmap">{"imports": {"npklod32": "./node_modules/npklod32/klp.mjs"}}</script>
<script type="module">
  import { ready, usage, KlpError } from 'npklod32';
  ready.then(() => console.log('ready, players: ' + usage().instances + ', no marker: ' + KlpError.NoSuchMarker));
</script>`));
  server = await startServer({ root: site });
  browser = await launch('chromium');
});
after(async () => {
  await browser?.close();
  await server?.close();
  if (tmp) fs.rmSync(tmp, { recursive: true, force: true });
});

describe('the npm package', { skip }, () => {
  it('packs the runtime, its module entry, types and README under the version of the changelog', () => {
    assert.equal(packed.name, 'npklod32');
    assert.equal(packed.version, version);
    assert.equal(packed.filename, `npklod32-${version}.tgz`);
    assert.deepEqual(packed.files.map((f) => f.path).sort(),
      ['README.md', 'klp.d.ts', 'klp.js', 'klp.mjs', 'klp.wasm', 'package.json', 'wasm_url.mjs']);
  });

  // tsc's diagnostics (their first lines) for a script of the site that imports the package,
  // strict, as a bundler resolves it: [] when it checks.
  async function typeErrors(name, code) {
    fs.writeFileSync(path.join(site, name), code);
    try {
      await run(process.execPath, [tsc, '--noEmit', '--strict', '--target', 'es2022', '--lib', 'es2022,dom',
        '--module', 'esnext', '--moduleResolution', 'bundler', '--pretty', 'false', name], { cwd: site });
      return [];
    } catch (e) {
      if (!e.stdout) throw e;
      return e.stdout.trim().split('\n').filter((line) => /^\S/.test(line));  // not the elaborations
    }
  }

  it("types the player's methods and the page functions", async () => {
    assert.deepEqual(await typeErrors('good.ts', `
import { ready, usage, KlpError, type KlpPageFunctions } from 'npklod32';
declare global { interface Window extends KlpPageFunctions<'m1'> {} }
window.m1_OnMarker = (marker) => console.log(marker.toUpperCase());
window.m1_OnError = (code) => { if (code === KlpError.NoSuchMarker) console.log('no marker'); };
const player = document.querySelector('klp-player');
const started: boolean | undefined = player?.Play(-1);
player?.EnableMarker('middle');
ready.then(() => console.log(usage().instances + usage().heap, started));
`), []);
    assert.deepEqual(await typeErrors('bad.ts', `
import type { KlpPageFunctions } from 'npklod32';
declare global { interface Window extends KlpPageFunctions<'m1'> {} }
window.m1_OnMarker = (marker: number) => console.log(marker);
document.querySelector('klp-player')?.Play('start');
document.querySelector('klp-player')?.Rewind();
`), [
      "bad.ts(4,1): error TS2322: Type '(marker: number) => void' is not assignable to type '(marker: string) => void'.",
      "bad.ts(5,44): error TS2345: Argument of type 'string' is not assignable to parameter of type 'number'.",
      "bad.ts(6,39): error TS2339: Property 'Rewind' does not exist on type 'KlpPlayerElement'.",
    ]);
  });

  for (const [entry, file] of [['a <script> tag', 'script.html'], ['an import of the module', 'module.html']]) {
    it(`plays the tour from node_modules through ${entry}`, async () => {
      const page = await browser.newPage();
      const wasm = [];
      page.page.on('request', (r) => { if (r.url().endsWith('.wasm')) wasm.push(r.url()); });
      try {
        await page.goto(server.url(file));
        const log = await waitForTourPlaying(page);
        assert.deepEqual(log.slice(0, 2), ['marker start', 'event bell']);
        assert.deepEqual(wasm, [server.url('node_modules/npklod32/klp.wasm')]);
        if (file === 'module.html') {
          assert.ok(page.console.some((c) => c.text === 'ready, players: 1, no marker: 6'), page.report());
        }
        assert.deepEqual(page.errors, []);
      } finally {
        await page.close();
      }
    });
  }
});
