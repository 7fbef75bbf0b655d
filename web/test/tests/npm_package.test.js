// The web runtime's npm package: `npm pack` of the package the build lays out, installed into a
// site's node_modules, plays the tour in Chromium from a plain <script> tag and as a module.
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
const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const npmDir = path.resolve(webDir(), '../npm');
const version = /^npklod32 \(([^)]+)\)/.exec(fs.readFileSync(path.join(repo, 'packaging/deb/changelog'), 'utf8'))[1];

const tour = tourAvailable();
const skip = !fs.existsSync(path.join(npmDir, 'package.json'))
  ? `no npm package in ${npmDir}; run scripts/build-web.sh` : tour.available ? false : tour.reason;

let tmp;
let packed;
let server;
let browser;
before(async () => {
  if (skip) return;
  tmp = fs.mkdtempSync(path.join(process.env.KLP_WEB_TMP || os.tmpdir(), 'klp-npm-'));
  const { stdout } = await run('npm', ['pack', npmDir, '--json', '--pack-destination', tmp], { cwd: tmp });
  [packed] = JSON.parse(stdout);
  const site = path.join(tmp, 'site');
  fs.mkdirSync(site);
  await run('npm', ['install', '--offline', '--no-save', '--no-audit', '--no-fund', '--prefix', site,
    path.join(tmp, packed.filename)], { cwd: site });
  copyTour(site);
  fs.writeFileSync(path.join(site, 'script.html'),
    tourPageWith('<script src="node_modules/npklod32/klp.js"></script>'));
  fs.writeFileSync(path.join(site, 'module.html'), tourPageWith(`
<script type="importmap">{"imports": {"npklod32": "./node_modules/npklod32/klp.mjs"}}</script>
<script type="module">
  import { ready, usage } from 'npklod32';
  ready.then(() => console.log('ready, players: ' + usage().instances));
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
          assert.ok(page.console.some((c) => c.text === 'ready, players: 1'), page.report());
        }
        assert.deepEqual(page.errors, []);
      } finally {
        await page.close();
      }
    });
  }
});
