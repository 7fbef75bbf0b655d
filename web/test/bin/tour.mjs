// The example tour through the web runtime, for the main job: serves DIR on 127.0.0.1, opens
// web.html in headless Chromium and Firefox, prints the page's events as they come, clicks the
// sun hot spot, and saves a screenshot of each engine into SHOTS.
//   node bin/tour.mjs DIR SHOTS
import path from 'node:path';
import { ENGINES, launch } from '../lib/browser.js';
import { startServer } from '../lib/server.js';

const [dir, shots] = process.argv.slice(2);
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

const server = await startServer({ root: path.resolve(dir) });
try {
  for (const engine of ENGINES) {
    const browser = await launch(engine, { viewport: { width: 600, height: 520, deviceScaleFactor: 1 } });
    try {
      const page = await browser.newPage();
      page.page.on('console', (m) => console.log(`${engine}: ${m.text()}`));
      await page.goto(server.url('web.html'));
      await page.waitFor(() => document.querySelector('klp-player')?.shadowRoot
        ?.querySelector('video')?.currentTime > 0, { timeout: 20000, what: 'the tour playing' });
      await pause(1000);
      const file = path.join(shots, `web-${engine}.png`);
      await page.screenshot({ path: file });
      await page.clickElement('#m1', { dx: 265, dy: 40 });  // the sun
      await pause(500);
      await page.screenshot({ path: path.join(shots, `web-${engine}-after-click.png`) });
      for (const e of page.errors) console.log(`${engine}: page error: ${e}`);
      console.log(`${engine}: screenshots ${file} and the one after the click`);
    } finally {
      await browser.close();
    }
  }
} finally {
  await server.close();
}
