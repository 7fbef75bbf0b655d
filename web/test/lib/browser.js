// Headless Chromium and Firefox for the page tests, through puppeteer-core (CDP for Chromium,
// WebDriver BiDi for Firefox), each with a fresh profile that is removed again. The browsers
// run in their own process groups; close() ends the whole group, and so does the exit of this
// process, even after a failure.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { PNG } from 'pngjs';
// Shared with `klp view --engine`, which starts the browsers the same way.
import { ENGINES, errorText, executable, launchOptions } from '../../view/browsers.js';

export { ENGINES, errorText };

// The browser binaries (KLP_CHROMIUM and KLP_FIREFOX name others).
export const EXECUTABLES = Object.fromEntries(ENGINES.map((e) => [e, executable(e)]));

export const DEFAULT_VIEWPORT = { width: 800, height: 600, deviceScaleFactor: 1 };

// Profiles go under KLP_WEB_TMP when run.sh sets it, so that its clean-up finds them.
function tmpRoot() {
  const root = process.env.KLP_WEB_TMP || os.tmpdir();
  fs.mkdirSync(root, { recursive: true });
  return root;
}

// Process groups and profiles still alive, for the exit handler.
const live = new Map();

function killGroup(pid) {
  try {
    process.kill(-pid, 'SIGKILL');
  } catch {
    // already gone
  }
}

process.on('exit', () => {
  for (const [pid, profile] of live) {
    killGroup(pid);
    fs.rmSync(profile, { recursive: true, force: true });
  }
});

// The shared options, with an unpacked extension loaded from the command line in Chromium (new
// headless honours it); Firefox installs one after launch.
function testLaunchOptions(engine, profile, { viewport, args, prefs, extension }) {
  const load = engine === 'chromium' && extension
    ? [`--load-extension=${extension}`, `--disable-extensions-except=${extension}`] : [];
  const options = launchOptions(engine, profile, { viewport, args: [...load, ...args], prefs });
  if (load.length) options.enableExtensions = true;
  return options;
}

function withTimeout(promise, ms, what) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what} took over ${ms} ms`)), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

// Launches the engine ('chromium' or 'firefox'). Resolves to a Browser:
//   engine, version (the browser's own), puppeteer (the puppeteer Browser), pid (its process
//   group's),
//   newPage() -> Page (below), close().
// Options: viewport, args (more command-line switches), prefs (more Firefox prefs), extension
// (the directory of an unpacked extension: loaded with --load-extension in Chromium, installed
// as a temporary add-on through WebDriver BiDi in Firefox).
export async function launch(engine, { viewport = DEFAULT_VIEWPORT, args = [], prefs = {}, extension } = {}) {
  const profile = fs.mkdtempSync(path.join(tmpRoot(), `klp-${engine}-profile-`));
  let browser;
  try {
    browser = await puppeteer.launch(testLaunchOptions(engine, profile, { viewport, args, prefs, extension }));
    if (extension && engine === 'firefox') await browser.installExtension(extension);
  } catch (e) {
    await browser?.close().catch(() => {});
    fs.rmSync(profile, { recursive: true, force: true });
    throw new Error(`launching ${engine} (${EXECUTABLES[engine]}) failed: ${e.message}`);
  }
  const pid = browser.process()?.pid;
  if (pid) live.set(pid, profile);
  const version = await browser.version();
  const pages = new Set();
  let closed = false;

  return {
    engine,
    version,
    puppeteer: browser,
    pid,
    async newPage() {
      const page = await wrapPage(engine, await browser.newPage());
      pages.add(page);
      return page;
    },
    async close() {
      if (closed) return;
      closed = true;
      try {
        await withTimeout(browser.close(), 10000, `closing ${engine}`);
      } catch {
        // killed below
      }
      if (pid) {
        killGroup(pid);
        live.delete(pid);
      }
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// What the processes of the group led by pid (a browser launched here) hold: {processes,
// rssKiB, threads, fds}, read from /proc.
export function processGroupUsage(pid) {
  const usage = { processes: 0, rssKiB: 0, threads: 0, fds: 0 };
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      if (Number(fields[2]) !== pid || fields[0] === 'Z') continue;  // the process group
      const status = fs.readFileSync(`/proc/${entry}/status`, 'utf8');
      usage.rssKiB += Number(/VmRSS:\s*(\d+)/.exec(status)?.[1] || 0);
      usage.threads += Number(/Threads:\s*(\d+)/.exec(status)?.[1] || 0);
      usage.fds += fs.readdirSync(`/proc/${entry}/fd`).length;
      usage.processes++;
    } catch {
      // gone meanwhile
    }
  }
  return usage;
}

// A page and what it reported. Fields: engine, page (the puppeteer Page), console
// ([{type, text, url}]), errors ([text] of uncaught exceptions and unhandled rejections),
// failedRequests ([{url, error}]; Chromium only reports refused ports and the like).
async function wrapPage(engine, page) {
  const messages = [];
  const errors = [];
  const failedRequests = [];
  page.on('console', (m) => messages.push({ type: m.type(), text: m.text(), url: m.location()?.url || '' }));
  page.on('pageerror', (e) => errors.push(errorText(e)));
  page.on('requestfailed', (r) => failedRequests.push({ url: r.url(), error: r.failure()?.errorText }));

  const self = {
    engine,
    page,
    console: messages,
    errors,
    failedRequests,

    // Loads url and waits for its load event.
    async goto(url, { timeout = 15000 } = {}) {
      const response = await page.goto(url, { waitUntil: 'load', timeout });
      return response;
    },

    evaluate: (fn, ...args) => page.evaluate(fn, ...args),

    // Waits until fn(...args), run in the page, returns a truthy value, and resolves to it.
    // On time-out the error carries the page's console and errors.
    async waitFor(fn, { timeout = 10000, polling = 50, args = [], what } = {}) {
      try {
        const handle = await page.waitForFunction(fn, { timeout, polling }, ...args);
        const value = await handle.jsonValue();
        await handle.dispose();
        return value;
      } catch (e) {
        throw new Error(`${engine}: waiting for ${what || fn.toString()} failed: ${e.message}\n` +
          self.report());
      }
    },

    // The page's console and errors as text, for failure messages.
    report() {
      const lines = messages.map((c) => `  console.${c.type}: ${c.text}${c.url ? ` (${c.url})` : ''}`);
      lines.push(...errors.map((e) => `  page error: ${e}`));
      return lines.length ? lines.join('\n') : '  (nothing on the console)';
    },

    // The bounding box of the first element matching selector, in CSS pixels of the viewport.
    async box(selector) {
      const rect = await page.evaluate((s) => {
        const el = document.querySelector(s);
        if (!el) return null;
        const r = el.getBoundingClientRect();
        return { x: r.x, y: r.y, width: r.width, height: r.height };
      }, selector);
      if (!rect) throw new Error(`${engine}: no element matches ${selector}`);
      return rect;
    },

    // A PNG of the viewport as shown, or of clip ({x, y, width, height} in viewport pixels).
    async screenshot({ clip, path: file } = {}) {
      const opts = { type: 'png', captureBeyondViewport: false };
      if (clip) {
        // puppeteer takes the clip in document coordinates.
        const [left, top] = await page.evaluate(() => [window.scrollX, window.scrollY]);
        opts.clip = roundRect({ ...clip, x: clip.x + left, y: clip.y + top });
      }
      const png = Buffer.from(await page.screenshot(opts));
      if (file) fs.writeFileSync(file, png);
      return png;
    },

    // RGBA pixels of what the page shows in rect (viewport pixels), from a screenshot:
    // {width, height, data}. Sees everything composited there, video and overlays alike.
    async screenPixels(rect) {
      return decodePng(await self.screenshot({ clip: rect }));
    },

    // RGBA pixels of the first <video>, <canvas> or <img> matching selector, drawn into a
    // canvas in the page at the element's own size (videoWidth x videoHeight for a video):
    // {width, height, data}. The current picture only, without anything drawn over it.
    async elementPixels(selector) {
      const result = await page.evaluate((s) => {
        const el = document.querySelector(s);
        if (!el) return { error: `no element matches ${s}` };
        const width = el.videoWidth ?? el.naturalWidth ?? el.width;
        const height = el.videoHeight ?? el.naturalHeight ?? el.height;
        if (!width || !height) return { error: `${s} has no picture yet` };
        const canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
        const ctx = canvas.getContext('2d', { willReadFrequently: true });
        ctx.drawImage(el, 0, 0, width, height);
        const bytes = ctx.getImageData(0, 0, width, height).data;
        let binary = '';
        for (let i = 0; i < bytes.length; i += 0x8000) {
          binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        }
        return { width, height, base64: btoa(binary) };
      }, selector);
      if (result.error) throw new Error(`${engine}: ${result.error}`);
      const data = new Uint8Array(Buffer.from(result.base64, 'base64'));
      return { width: result.width, height: result.height, data };
    },

    // A real mouse click (press and release of the left button) at viewport pixel (x, y);
    // count 2 is a double click.
    click(x, y, { button = 'left', count = 1 } = {}) {
      return page.mouse.click(Math.round(x), Math.round(y), { button, count });
    },

    // A click at (dx, dy) inside the element's box (default: its middle).
    async clickElement(selector, { dx, dy, button, count } = {}) {
      const b = await self.box(selector);
      await self.click(b.x + (dx ?? b.width / 2), b.y + (dy ?? b.height / 2), { button, count });
    },

    close: () => page.close(),
  };
  return self;
}

function roundRect(r) {
  const x = Math.round(r.x);
  const y = Math.round(r.y);
  return { x, y, width: Math.round(r.x + r.width) - x, height: Math.round(r.y + r.height) - y };
}

// {width, height, data} of a PNG, RGBA.
export function decodePng(buffer) {
  const png = PNG.sync.read(buffer);
  return { width: png.width, height: png.height, data: new Uint8Array(png.data.buffer, png.data.byteOffset, png.data.length) };
}
