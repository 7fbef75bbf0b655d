// The example tour as the package tests use it: its files from the build
// (KLP_WEB_DIR/../examples/tour), pages made from its plug-in page, and the check that it plays.
import fs from 'node:fs';
import path from 'node:path';
import { webDir } from './site.js';

export const tourDir = () => path.resolve(webDir(), '../examples/tour');

// Whether the tour's project and movie are there: {available, reason}.
export function tourAvailable() {
  const missing = ['index.html', 'tour.klp', 'tour.webm'].filter((f) => !fs.existsSync(path.join(tourDir(), f)));
  if (missing.length === 0) return { available: true, reason: '' };
  return { available: false, reason: `no ${missing.join(', ')} in ${tourDir()}; build the example_tour target` };
}

// Copies the tour's plug-in page (no script tag for the runtime), project and movie into dir.
export function copyTour(dir) {
  for (const f of ['index.html', 'tour.klp', 'tour.webm']) fs.copyFileSync(path.join(tourDir(), f), path.join(dir, f));
}

// The tour's page with markup put before its first <script>.
export function tourPageWith(markup) {
  const page = fs.readFileSync(path.join(tourDir(), 'index.html'), 'utf8');
  const at = page.indexOf('<script>');
  if (at < 0) throw new Error('the tour page has no <script>');
  return page.slice(0, at) + markup + '\n' + page.slice(at);
}

// Waits until the tour has played past its first event (frame 50, 2 s in), which the page's own
// script shows: the embed is a player, its video runs, and m1_OnMarker and m1_OnKLEvent were
// called. Resolves to the lines of the page's log.
export async function waitForTourPlaying(page) {
  await page.waitFor(() => document.getElementById('m1')?.localName === 'klp-player' &&
    document.getElementById('m1').shadowRoot?.querySelector('video')?.currentTime > 0,
  { timeout: 20000, what: 'the tour playing in a klp-player' });
  await page.waitFor(() => document.getElementById('log').textContent.includes('event bell'),
    { timeout: 15000, what: "the tour's event bell on the page" });
  return page.evaluate(() => Array.from(document.querySelectorAll('#log > div'), (d) => d.textContent));
}
