// Benchmark (not a test): the CPU the whole browser spends playing a movie through klp.js,
// against the same movie in a bare <video> of the same size, side by side in one run and in
// each engine. Prints one table, plus the runtime's sizes and its start-up time.
//
//   node bench/page_cpu.mjs [--seconds 20] [--width 1280] [--height 720] [--fps 30]
//                           [--anchors 20] [--runs 1] [--engines chromium,firefox]
//
// The clip is H.264 in MP4, made with the project's clip tool; the project moves `anchors` hot
// spots across the picture over the whole movie. CPU time is user plus system time of the
// browser and every process below it (read from /proc), from the start of playback to its end.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { launch } from '../lib/browser.js';
import { makeClip, openSite, webDir } from '../lib/site.js';

const options = { seconds: 20, width: 1280, height: 720, fps: 30, anchors: 20, runs: 1,
  engines: 'chromium,firefox' };
for (let i = 2; i < process.argv.length; i += 2) {
  const key = process.argv[i].replace(/^--/, '');
  if (!(key in options)) throw new Error(`unknown option ${process.argv[i]}`);
  options[key] = key === 'engines' ? process.argv[i + 1] : Number(process.argv[i + 1]);
}

const ticks = 100;  // clock ticks a second (sysconf(_SC_CLK_TCK) on Linux)

// CPU seconds of pid and its descendants: their own time and that of children they reaped.
function treeCpu(root) {
  const parents = new Map();
  const cpu = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    let stat;
    try { stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8'); } catch { continue; }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    parents.set(Number(name), Number(fields[1]));
    // utime, stime, cutime, cstime are fields 14-17 of the line (11-14 after the name).
    cpu.set(Number(name), fields.slice(11, 15).reduce((s, f) => s + Number(f), 0));
  }
  let total = 0;
  for (const [pid, t] of cpu) {
    for (let p = pid; p; p = parents.get(p)) {
      if (p === root) { total += t; break; }
      if (!parents.has(p)) break;
    }
  }
  return total / ticks;
}

function project(clip, n) {
  const frames = clip.frames;
  const lines = ['[Global]', 'KLPVersion=1.00', `Source=${path.basename(clip.path)}`, `HotSpot=${n}`,
    'Marker=0', 'Event=0', 'Link=0', 'Effect=0', '', '[HotSpot]'];
  const w = clip.width, h = clip.height;
  for (let i = 0; i < n; ++i) {
    const size = 60, row = Math.floor(i / 5), col = i % 5;
    const top = Math.round((h - size) * (row + 0.5) / 4.5);
    const x0 = Math.round((w / 5) * col), x1 = Math.min(w - size - 1, x0 + Math.round(w / 3));
    lines.push(`(spot${i}::${i % 2 ? 'C' : 'R'}:0-${frames - 1}:2)`);
    lines.push(`0:${x0},${top},${x0 + size},${top + size}`);
    lines.push(`${frames - 1}:${x1},${top},${x1 + size},${top + size}`);
  }
  return lines.join('\n') + '\n';
}

const pages = {
  klp: (clip) => `<!DOCTYPE html><html><body style="margin:0">
<script>window.t0 = performance.now();</script>
<script src="klp.js"></script>
<embed id="m1" name="m1" src="bench.klp" type="application/kelvora-movie"
       width="${clip.width}" height="${clip.height}" autoplay="true">
<script>
function m1_OnError(c) { console.log('error ' + c); }
window.klpRuntime.ready.then(() => {
  window.startup = performance.now() - window.t0;
});
</script></body></html>`,
  video: (clip) => `<!DOCTYPE html><html><body style="margin:0">
<video id="v" src="${path.basename(clip.path)}" width="${clip.width}" height="${clip.height}"
       autoplay muted playsinline style="object-fit:fill;display:block"></video>
</body></html>`,
};

async function measure(engine, site, kind, clip) {
  const viewport = { width: clip.width + 40, height: clip.height + 40, deviceScaleFactor: 1 };
  const browser = await launch(engine, { viewport });
  try {
    const page = await browser.newPage();
    await page.goto(site.url(`${kind}.html`));
    // Playback has begun once the picture moves.
    await page.waitFor(() => {
      const v = document.querySelector('video') ||
        document.querySelector('klp-player')?.shadowRoot?.querySelector('video');
      return v && v.currentTime > 0;
    }, { timeout: 30000, what: 'playback' });
    const pid = browser.puppeteer.process().pid;
    const before = treeCpu(pid);
    const started = Date.now();
    await new Promise((r) => setTimeout(r, clip.seconds * 1000));
    const cpu = treeCpu(pid) - before;
    const wall = (Date.now() - started) / 1000;
    const startup = kind === 'klp' ? await page.evaluate(() => window.startup) : null;
    if (page.errors.length) console.error(`${engine} ${kind}: ${page.report()}`);
    return { cpu, wall, startup };
  } finally {
    await browser.close();
  }
}

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

async function main() {
  const frames = Math.round(options.seconds * options.fps) + options.fps;  // a second to spare
  const spec = { codec: 'H264Mp4', ext: 'mp4', width: options.width, height: options.height,
    frames, fps: options.fps, aspect: 1 };
  const file = await makeClip(spec);
  const site = await openSite();
  try {
    const clip = { ...spec, seconds: options.seconds, path: site.write('bench.mp4', fs.readFileSync(file)) };
    site.write('bench.klp', project(clip, options.anchors));
    for (const [kind, page] of Object.entries(pages)) site.write(`${kind}.html`, page(clip));
    const rows = [];
    for (const engine of options.engines.split(',')) {
      const results = { klp: [], video: [] };
      for (let run = 0; run < options.runs; ++run) {
        for (const kind of ['video', 'klp']) results[kind].push(await measure(engine, site, kind, clip));
      }
      const video = median(results.video.map((r) => r.cpu));
      const klp = median(results.klp.map((r) => r.cpu));
      rows.push({ engine, video, klp, ratio: klp / video,
        startup: median(results.klp.map((r) => r.startup ?? NaN)) });
    }
    const gz = (f) => zlib.gzipSync(fs.readFileSync(path.join(webDir(), f)), { level: 9 }).length;
    console.log(`${options.width}x${options.height} ${options.fps} fps H.264, ${options.seconds} s, ` +
      `${options.anchors} moving anchors; CPU seconds of the whole browser, median of ${options.runs}`);
    console.log('engine     <video>   klp.js   ratio   klp.js start-up (ms)');
    for (const r of rows) {
      console.log(`${r.engine.padEnd(10)} ${r.video.toFixed(2).padStart(7)} ${r.klp.toFixed(2).padStart(8)} ` +
        `${r.ratio.toFixed(3).padStart(7)}   ${r.startup.toFixed(0)}`);
    }
    console.log(`sizes (gzip -9): klp.wasm ${gz('klp.wasm')} B, klp.js ${gz('klp.js')} B`);
  } finally {
    await site.close();
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
