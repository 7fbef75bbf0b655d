// The browser side of `klp view --engine chromium|firefox`. The C++ front end (host/view) has
// parsed the command line and checked the target, the display and the web runtime; it runs
//   node klp-view.mjs RUN
// where RUN is JSON: {engine, target, kind: 'page'|'project'|'url', headless, width, height,
// quitTime (seconds after load, < 0: when the user closes the browser), actions: [{kind:
// 'screenshot'|'click', at, file, x, y, button: 'left'|'right'|'double'}], webDir (klp.js and
// klp.wasm), exit: {ok, usage, loadFailed, noBrowser} (the viewer's exit codes)}.
//
// This serves the page (with klp.js added when it lacks it, see page.js) and the runtime on
// 127.0.0.1 under a random path, starts the browser through puppeteer-core with a fresh
// profile, prints the page's console messages on stdout as they come and its own messages on
// stderr ("klp view: ..."), runs the actions at their times after the page's load event, and
// ends with the viewer's exit code. Nothing waits without a limit in an automated run.
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { EXECUTABLE_SOURCE, errorText, executable, launchOptions } from './browsers.js';
import { findFile, resolveInRoot, sendFile, sendText } from './files.js';
import { filePathURL, fullPage, withRuntime } from './page.js';

const LAUNCH_TIMEOUT_MS = 30000;
const LOAD_TIMEOUT_MS = 60000;  // as the QtWebKit viewer: automated runs only
const CLOSE_TIMEOUT_MS = 10000;

const say = (text) => process.stderr.write(`klp view: ${text}\n`);

let run;
try {
  run = JSON.parse(process.argv[2] || '');
} catch {
  say('klp-view.mjs is started by `klp view --engine chromium|firefox`, not by hand');
  process.exit(2);
}
const EXIT = run.exit;
// A file:// URL is served like a file: Chromium does not let a page from file:// fetch klp.wasm.
if (run.kind === 'url' && /^file:\/\//i.test(run.target)) {
  run.target = fileURLToPath(run.target);
  run.kind = /\.klp$/i.test(run.target) ? 'project' : 'page';
}
const automated = run.quitTime >= 0;

// --- Ending -----------------------------------------------------------------------------------
let browser = null;
let browserPid = 0;
let server = null;
let profile = null;
let ending = false;

function killBrowser() {
  if (!browserPid) return;
  try {
    process.kill(-browserPid, 'SIGKILL');  // puppeteer starts it as a process group
  } catch {
    // already gone
  }
  browserPid = 0;
}
function removeProfile() {
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
  profile = null;
}
process.on('exit', () => {
  killBrowser();
  removeProfile();
});
for (const [signal, number] of [['SIGINT', 2], ['SIGTERM', 15], ['SIGHUP', 1]]) {
  process.on(signal, () => process.exit(128 + number));
}

function withTimeout(promise, ms, what) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what} took over ${ms / 1000} s`)), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

async function finish(code) {
  if (ending) return;
  ending = true;
  if (browser) {
    try {
      await withTimeout(browser.close(), CLOSE_TIMEOUT_MS, 'closing the browser');
    } catch {
      // ended below
    }
  }
  killBrowser();
  removeProfile();
  server?.closeAllConnections?.();
  server?.close();
  process.exit(code);
}

// A last guard for automated runs: whatever the browser does, the run ends.
if (automated) {
  const limit = LAUNCH_TIMEOUT_MS + LOAD_TIMEOUT_MS + run.quitTime * 1000 + 60000;
  setTimeout(() => {
    say(`${run.engine} stopped answering; ending the run`);
    finish(EXIT.noBrowser);
  }, limit).unref();
}

// --- The browser's parts ----------------------------------------------------------------------
const binary = executable(run.engine);
try {
  fs.accessSync(binary, fs.constants.X_OK);
} catch {
  const source = EXECUTABLE_SOURCE[run.engine];
  say(`${run.engine} not found at ${binary} (install the ${source.debianPackage} package, or ` +
      `name another with ${source.variable})`);
  process.exit(EXIT.noBrowser);
}
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch (e) {
  const here = path.dirname(fileURLToPath(import.meta.url));
  say(`puppeteer-core is missing beside ${path.join(here, 'klp-view.mjs')} (run npm ci in ` +
      `${here}): ${e.message.split('\n')[0]}`);
  process.exit(EXIT.noBrowser);
}

// --- The server -------------------------------------------------------------------------------
// Everything lives under a random first segment, which only the browser started here learns:
// /TOKEN/klp/ the runtime (readable from any origin, for pages given as URLs), /TOKEN/fs/ the
// file system as file:// would show it (for pages given as files), with every HTML page there
// given the runtime when it lacks it, and the runtime answering for a klp.js or klp.wasm the
// page names but does not have.
const token = crypto.randomBytes(16).toString('hex');
const runtimePrefix = `/${token}/klp/`;
const filePrefix = `/${token}/fs`;
const runtimePath = `${runtimePrefix}klp.js`;
const webDir = path.resolve(run.webDir);
const RUNTIME_FILES = new Set(['klp.js', 'klp.wasm']);

function noContent(res) {
  res.writeHead(204, { 'Cache-Control': 'no-store' });
  res.end();
}

function sendPage(res, html) {
  const body = Buffer.from(html, 'latin1');
  res.writeHead(200, { 'Content-Type': 'text/html', 'Content-Length': body.length,
    'Cache-Control': 'no-store' });
  res.end(body);
}

function handle(req, res) {
  const [rawPath, query = ''] = req.url.split('?', 2);
  if (req.method !== 'GET' && req.method !== 'HEAD') return sendText(res, 405, 'method not allowed');
  if (rawPath.startsWith(runtimePrefix)) {
    const name = rawPath.slice(runtimePrefix.length);
    if (!RUNTIME_FILES.has(name)) return sendText(res, 404, 'not found');
    return sendFile(req, res, path.join(webDir, name),
      { headers: { 'Access-Control-Allow-Origin': '*' } });
  }
  if (run.kind === 'url' || !rawPath.startsWith(filePrefix + '/')) {
    // Browsers ask for an icon of their own accord: no icon is no error of the page.
    if (rawPath === '/favicon.ico') return noContent(res);
    return sendText(res, 404, 'not found');
  }
  const file = resolveInRoot('/', rawPath.slice(filePrefix.length));
  if (!file) return sendText(res, 403, 'forbidden');
  if (run.kind === 'project' && file === projectFile && query === 'klp-view=full-page') {
    return sendPage(res, fullPage(path.basename(file), runtimePath));
  }
  const found = findFile(file);
  if (!found) {
    const name = path.basename(file);
    if (RUNTIME_FILES.has(name)) return sendFile(req, res, path.join(webDir, name));
    if (name === 'favicon.ico') return noContent(res);
    return sendText(res, 404, 'not found');
  }
  if (found.stat.isFile() && /\.html?$/i.test(found.file)) {
    return sendPage(res, withRuntime(fs.readFileSync(found.file).toString('latin1'), runtimePath));
  }
  return sendFile(req, res, found.file);
}

const projectFile = run.kind === 'project' ? path.resolve(run.target) : null;
server = http.createServer((req, res) => {
  try {
    handle(req, res);
  } catch (e) {
    if (!res.headersSent) sendText(res, 500, String(e));
    else res.destroy();
  }
});
await new Promise((resolve, reject) => {
  server.once('error', reject);
  server.listen(0, '127.0.0.1', resolve);
});
const origin = `http://127.0.0.1:${server.address().port}`;

let url;
if (run.kind === 'url') url = run.target;
else if (run.kind === 'project') url = origin + filePathURL(filePrefix, projectFile) + '?klp-view=full-page';
else url = origin + filePathURL(filePrefix, path.resolve(run.target));

// --- The browser ------------------------------------------------------------------------------
profile = fs.mkdtempSync(path.join(os.tmpdir(), `klp-view-${run.engine}-`));
const viewport = { width: run.width, height: run.height, deviceScaleFactor: 1 };
const args = run.engine === 'chromium' && !run.headless
  ? [`--window-size=${run.width},${run.height + 100}`] : [];
try {
  browser = await withTimeout(puppeteer.launch({
    ...launchOptions(run.engine, profile, { headless: run.headless, viewport, args }),
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
  }), LAUNCH_TIMEOUT_MS + 5000, `starting ${run.engine}`);
} catch (e) {
  say(`${run.engine} (${binary}) would not start: ${e.message.split('\n')[0]}`);
  await finish(EXIT.noBrowser);
}
browserPid = browser.process()?.pid || 0;
browser.on('disconnected', () => {
  if (ending) return;
  if (automated) {
    say(`${run.engine} ended before the run did`);
    finish(EXIT.noBrowser);
  } else {
    finish(exitCode);  // the user closed the browser
  }
});

let exitCode = EXIT.ok;
const page = (await browser.pages())[0] || await browser.newPage();
await page.setViewport(viewport);
// Console messages and alerts on stdout, one line each, as the QtWebKit viewer prints them;
// uncaught errors as their text, as QtWebKit reports them on its console.
const print = (text) => process.stdout.write(`${text}\n`);
page.on('console', (m) => print(m.text()));
page.on('pageerror', (e) => print(errorText(e)));
page.on('dialog', async (d) => {
  if (d.type() === 'alert') print(`alert: ${d.message()}`);
  try {
    await (d.type() === 'alert' ? d.accept() : d.dismiss());
  } catch {
    // the page went on without it
  }
});

// --- Loading ----------------------------------------------------------------------------------
const timeout = automated ? LOAD_TIMEOUT_MS : 0;
try {
  if (run.kind === 'url') {
    // A page from elsewhere gets the runtime once its document is there.
    await page.goto(url, { waitUntil: 'domcontentloaded', timeout });
    const has = await page.evaluate(() => Boolean(window.klpRuntime) ||
      [...document.scripts].some((s) => /\bklp\.js(?![\w.])/.test(s.src)));
    if (!has) {
      await page.addScriptTag({ url: origin + runtimePath }).catch((e) => {
        say(`could not add klp.js to ${url}: ${e.message.split('\n')[0]}`);
      });
    }
    await page.waitForFunction(() => document.readyState === 'complete', { timeout, polling: 50 });
  } else {
    await page.goto(url, { waitUntil: 'load', timeout });
  }
} catch (e) {
  if (ending) await new Promise(() => {});
  if (/timeout|exceeded/i.test(e.message) && automated) {
    say(`the page did not finish loading within ${LOAD_TIMEOUT_MS / 1000} s: ${run.target}`);
  } else {
    say(`could not load ${run.target}: ${e.message.split('\n')[0]}`);
  }
  await finish(EXIT.loadFailed);
}

// --- The actions ------------------------------------------------------------------------------
const loaded = performance.now();
const until = (seconds) => new Promise((resolve) => {
  setTimeout(resolve, Math.max(0, loaded + seconds * 1000 - performance.now()));
});

async function screenshot(a) {
  let png;
  try {
    png = await page.screenshot({ type: 'png', captureBeyondViewport: false });
  } catch (e) {
    say(`could not take the screenshot ${a.file}: ${e.message.split('\n')[0]}`);
    exitCode = EXIT.usage;
    return;
  }
  try {
    fs.writeFileSync(a.file, png);
    say(`saved ${a.file}`);
  } catch {
    say(`could not write ${a.file}`);
    exitCode = EXIT.usage;
  }
}

// The pointer moves there, then press and release (double: two clicks, the second counted as
// a double click).
async function click(a) {
  try {
    await page.mouse.move(a.x, a.y);
    if (a.button === 'double') await page.mouse.click(a.x, a.y, { count: 2 });
    else await page.mouse.click(a.x, a.y, { button: a.button });
  } catch (e) {
    say(`could not click at ${a.x},${a.y}: ${e.message.split('\n')[0]}`);
  }
}

// In time order (command-line order among equal times), one after the other; the quit time
// ends the run after the actions due by then have been done.
const due = run.actions.map((a, i) => ({ ...a, i }))
  .filter((a) => !automated || a.at <= run.quitTime)
  .sort((a, b) => a.at - b.at || a.i - b.i);
for (const a of due) {
  await until(a.at);
  if (ending) break;
  await (a.kind === 'click' ? click(a) : screenshot(a));
}
if (automated) {
  await until(run.quitTime);
  await finish(exitCode);
}
// Otherwise the run ends when the user closes the browser.
