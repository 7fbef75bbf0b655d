// The site the page tests load: a temporary directory served on 127.0.0.1 holding the fixture
// pages (web/test/pages/*), the web runtime's output (klp.js, klp.wasm and whatever else is in
// KLP_WEB_DIR) and the test clips under clips/, made once per run with the clip tool.
//   KLP_WEB_DIR    the build's web output (default build/web)
//   KLP_CLIP_TOOL  the clip tool (default build/tests/media/make_test_clip)
//   KLP_WEB_TMP    where clips, sites and profiles go (run.sh makes one per run)
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { startServer } from './server.js';

const here = path.dirname(fileURLToPath(import.meta.url));
export const PAGES_DIR = path.resolve(here, '../pages');
const repo = path.resolve(here, '../../..');

export const webDir = () => path.resolve(process.env.KLP_WEB_DIR || path.join(repo, 'build/web'));
export const clipTool = () =>
  path.resolve(process.env.KLP_CLIP_TOOL || path.join(repo, 'build/tests/media/make_test_clip'));

// The clips every site has, by key. Each frame shows its number (see frame_number.js).
export const CLIPS = {
  webm: { codec: 'Vp8Webm', ext: 'webm', width: 320, height: 240, frames: 100, fps: 25, aspect: 1 },
  mp4: { codec: 'H264Mp4', ext: 'mp4', width: 320, height: 240, frames: 100, fps: 25, aspect: 1 },
};

const clipName = (c) => `${c.codec}-${c.width}x${c.height}-${c.frames}f-${c.fps}fps-${c.aspect}.${c.ext}`;

// Whether the web runtime is there: {available, reason}. Tests that need it skip with reason.
export function klpAvailable() {
  const dir = webDir();
  const missing = ['klp.js', 'klp.wasm'].filter((f) => !fs.existsSync(path.join(dir, f)));
  if (missing.length === 0) return { available: true, reason: '' };
  return { available: false, reason: `no ${missing.join(' or ')} in ${dir} (KLP_WEB_DIR); build the web runtime first` };
}

const removeAtExit = new Set();
process.on('exit', () => {
  for (const dir of removeAtExit) fs.rmSync(dir, { recursive: true, force: true });
});

function tempDir(prefix) {
  const root = process.env.KLP_WEB_TMP || os.tmpdir();
  fs.mkdirSync(root, { recursive: true });
  return fs.mkdtempSync(path.join(root, prefix));
}

let clipCache;
function clipCacheDir() {
  if (!clipCache) {
    if (process.env.KLP_WEB_TMP) {
      clipCache = path.join(process.env.KLP_WEB_TMP, 'clips');
      fs.mkdirSync(clipCache, { recursive: true });
    } else {
      clipCache = tempDir('klp-clips-');
      removeAtExit.add(clipCache);
    }
  }
  return clipCache;
}

// Makes the clip (once: later calls and other test files of the run reuse the file) and
// resolves to its path.
export async function makeClip(clip) {
  const file = path.join(clipCacheDir(), clipName(clip));
  if (fs.existsSync(file)) return file;
  const tool = clipTool();
  if (!fs.existsSync(tool)) {
    throw new Error(`no clip tool at ${tool} (KLP_CLIP_TOOL); build the make_test_clip target`);
  }
  const partial = `${file}.${process.pid}.part.${clip.ext}`;
  try {
    await promisify(execFile)(tool, [clip.codec, clip.width, clip.height, clip.frames, clip.fps,
      clip.aspect, partial].map(String), { timeout: 60000 });
  } catch (e) {
    fs.rmSync(partial, { force: true });
    throw new Error(`${tool} ${clip.codec} failed: ${e.stderr || e.message}`);
  }
  fs.renameSync(partial, file);
  return file;
}

// Builds a site and serves it. Resolves to
//   {dir, server, origin, url(path), clips, klp, write(name, data), close()}
// where clips maps each key of CLIPS to {...spec, path} (path relative to the site root, e.g.
// 'clips/Vp8Webm-320x240-100f-25fps-1.webm'), and klp is klpAvailable().
export async function openSite({ routes } = {}) {
  const dir = tempDir('klp-site-');
  removeAtExit.add(dir);
  fs.cpSync(PAGES_DIR, dir, { recursive: true });
  const klp = klpAvailable();
  if (klp.available) fs.cpSync(webDir(), dir, { recursive: true, dereference: true });
  fs.mkdirSync(path.join(dir, 'clips'), { recursive: true });
  const clips = {};
  for (const [key, spec] of Object.entries(CLIPS)) {
    const file = await makeClip(spec);
    const rel = `clips/${clipName(spec)}`;
    fs.copyFileSync(file, path.join(dir, rel));
    clips[key] = { ...spec, path: rel };
  }
  const server = await startServer({ root: dir, routes });
  return {
    dir,
    server,
    origin: server.origin,
    url: server.url,
    clips,
    klp,
    // Adds or replaces a file of the site (e.g. a project written by a test).
    write(name, data) {
      const file = path.join(dir, name);
      fs.mkdirSync(path.dirname(file), { recursive: true });
      fs.writeFileSync(file, data);
      return name;
    },
    async close() {
      await server.close();
      fs.rmSync(dir, { recursive: true, force: true });
      removeAtExit.delete(dir);
    },
  };
}
