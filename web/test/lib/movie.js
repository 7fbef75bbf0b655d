// Projects and players for the runtime's page tests: the text of a .klp project, what a player
// shows on screen (the frame number of the test clips, pixel colours) and waits on both.
import { describeBands, readFrameNumber } from './frame_number.js';

// The text of a project. markers: [[name, frame]]; events: [[name, frame, value]];
// hotSpots: [{name, shape ('R' or 'C'), first, last, keys: [[frame, left, top, right, bottom]]}];
// effects: [{name, colour ('RRGGBB'), width, highlight ('RRGGBB'), visibility}].
export function projectText({ source, markers = [], events = [], hotSpots = [], effects = [] }) {
  const lines = ['[Global]', 'KLPVersion=1.00', `Source=${source}`, `Event=${events.length}`,
    `Marker=${markers.length}`, `HotSpot=${hotSpots.length}`, 'Link=0', `Effect=${effects.length}`, ''];
  lines.push('[Marker]', ...markers.map(([name, frame]) => `${name}:${frame}`), '');
  lines.push('[Event]', ...events.map(([name, frame, value = '']) => `${name}:${frame}:TAC:${value}`), '');
  lines.push('[HotSpot]');
  for (const h of hotSpots) {
    lines.push(`(${h.name}::${h.shape || 'R'}:${h.first}-${h.last}:${h.keys.length})`);
    for (const [frame, ...rect] of h.keys) lines.push(`${frame}:${rect.join(',')}`);
  }
  lines.push('', '[Effect]');
  for (const e of effects) lines.push(`${e.name}:${e.colour}:${e.width}:${e.highlight}:${e.visibility ?? 1}`);
  return lines.join('\n') + '\n';
}

const pause = (ms) => new Promise((r) => setTimeout(r, ms));

// What the element matching selector shows: {box, image, number}, number being the frame of a
// clipWidth x clipHeight test clip that fills the box (-1 when none reads; image null while the
// box is empty).
export async function shownFrame(page, selector = '#m1', { clipWidth = 320, clipHeight = 240 } = {}) {
  const box = await page.box(selector);
  if (Math.round(box.width) <= 0 || Math.round(box.height) <= 0) return { box, image: null, number: -1 };
  const image = await page.screenPixels(box);
  return { box, image, number: readFrameNumber(image, { clipWidth, clipHeight }) };
}

function describeShown(shown) {
  if (!shown.image) return `nothing: the box is ${JSON.stringify(shown.box)}`;
  return `${shown.number} (${describeBands(shown.image)})`;
}

// Reads the shown frame until test(number, history) holds; resolves to {number, image, box,
// seen} where seen lists every number read, in order. Throws after timeout ms.
export async function waitForFrame(page, test, { selector = '#m1', timeout = 10000, what = String(test) } = {}) {
  const end = Date.now() + timeout;
  const seen = [];
  for (;;) {
    const shown = await shownFrame(page, selector);
    seen.push(shown.number);
    if (test(shown.number, seen)) return { ...shown, seen };
    if (Date.now() > end) {
      throw new Error(`${page.engine}: ${selector} never showed ${what}; read ${seen.join(' ')}, ` +
        `last ${describeShown(shown)}\n${page.report()}`);
    }
    await pause(40);
  }
}

// Waits until the shown frame stops changing: the same number in reads over 200 ms (five
// frames at 25 fps). Resolves to that number.
export async function waitForStill(page, { selector = '#m1', timeout = 10000 } = {}) {
  let last = null;
  let since = 0;
  const { number } = await waitForFrame(page, (n) => {
    const now = Date.now();
    if (n < 0 || n !== last) {
      last = n;
      since = now;
      return false;
    }
    return now - since >= 200;
  }, { selector, timeout, what: 'one frame for 200 ms' });
  return number;
}

// Waits until the shown frame has moved on by more than three frames.
export async function waitForPlaying(page, { selector = '#m1', timeout = 10000 } = {}) {
  const { number } = await shownFrame(page, selector);
  await waitForFrame(page, (n) => n > number + 3, { selector, timeout, what: `a frame past ${number + 3}` });
}

// [r, g, b] at (x, y) of an image of screenPixels.
export function pixel(image, x, y) {
  const i = (Math.round(y) * image.width + Math.round(x)) * 4;
  return [image.data[i], image.data[i + 1], image.data[i + 2]];
}

export const hex = ([r, g, b]) => [r, g, b].map((v) => v.toString(16).padStart(2, '0')).join('').toUpperCase();

// Whether rgb is within tolerance of colour ('RRGGBB') in every channel.
export function near(rgb, colour, tolerance = 24) {
  const want = [0, 2, 4].map((i) => parseInt(colour.slice(i, i + 2), 16));
  return rgb.every((v, i) => Math.abs(v - want[i]) <= tolerance);
}

// The test clips' mid grey where no frame is drawn.
export const isGrey = ([r, g, b]) => Math.max(r, g, b) - Math.min(r, g, b) <= 16 && r >= 0x60 && r <= 0xA0;

// What is drawn in the bands of rect's sides (movie pixels, line width `width`, shown at `scale`
// display pixels per movie pixel), of any colour but the picture's grey: [] when nothing.
export function drawnOver(image, rect, width, scale = 1) {
  const faults = [];
  const [left, top, right, bottom] = rect.map((v, i) => (i < 2 ? v * scale : (v + 1) * scale - 1));
  for (let d = 0; d < width * scale; ++d) {
    for (const [x, y] of [[left + d, (top + bottom) >> 1], [right - d, (top + bottom) >> 1],
      [(left + right) >> 1, top + d], [(left + right) >> 1, bottom - d]]) {
      const rgb = pixel(image, x, y);
      if (!isGrey(rgb)) faults.push(`(${x},${y}): ${hex(rgb)}`);
    }
  }
  return faults;
}

// The path of movie.html (pages/movie.html) with these attributes on its <embed>, in order.
export const moviePage = (attributes) => `movie.html?${new URLSearchParams(attributes)}`;
