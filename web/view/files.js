// Static files over HTTP as browsers want them for movies: the type by extension, byte ranges
// (media elements fetch with Range), no caching. Used by `klp view --engine` and the page tests'
// server.
import fs from 'node:fs';
import path from 'node:path';

export const MIME_TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.htm': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.klp': 'application/octet-stream',
  '.txt': 'text/plain; charset=utf-8',
  '.webm': 'video/webm',
  '.mp4': 'video/mp4',
  '.ogg': 'video/ogg',
  '.ogv': 'video/ogg',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.gif': 'image/gif',
  '.svg': 'image/svg+xml',
  '.ico': 'image/x-icon',
};

// Parses a Range header against a body of size bytes: null when absent or not a single byte
// range (the whole body is sent), 'unsatisfiable', or {start, end} (end inclusive).
export function parseRange(header, size) {
  if (!header) return null;
  const m = /^bytes=(\d*)-(\d*)$/.exec(header.trim());
  if (!m || (m[1] === '' && m[2] === '')) return null;
  let start;
  let end;
  if (m[1] === '') {
    const suffix = Number(m[2]);
    if (suffix === 0) return 'unsatisfiable';
    start = Math.max(0, size - suffix);
    end = size - 1;
  } else {
    start = Number(m[1]);
    end = m[2] === '' ? size - 1 : Math.min(Number(m[2]), size - 1);
    if (m[2] !== '' && Number(m[2]) < start) return null;
  }
  if (start >= size) return 'unsatisfiable';
  return { start, end };
}

// The file under root that a URL path names, or null when it would leave root.
export function resolveInRoot(root, urlPath) {
  let decoded;
  try {
    decoded = decodeURIComponent(urlPath);
  } catch {
    return null;
  }
  if (decoded.includes('\0') || decoded.split('/').includes('..')) return null;
  const file = path.resolve(root, '.' + path.posix.normalize('/' + decoded));
  const inside = root.endsWith(path.sep) ? root : root + path.sep;  // '/' is its own
  if (file !== root && !file.startsWith(inside)) return null;
  return file;
}

// {file, stat} of the file at name (a directory's index.html), or null when there is none.
export function findFile(name) {
  try {
    const stat = fs.statSync(name);
    if (!stat.isDirectory()) return { file: name, stat };
    const index = path.join(name, 'index.html');
    return { file: index, stat: fs.statSync(index) };
  } catch {
    return null;
  }
}

export function sendText(res, status, text) {
  res.writeHead(status, { 'Content-Type': 'text/plain; charset=utf-8', 'Cache-Control': 'no-store' });
  res.end(text + '\n');
}

// Serves the file (a directory's index.html) with Range support, or answers 404; hang leaves
// the response open after the headers (for tests of stalled loads); headers are added to the
// response's.
export function sendFile(req, res, name, { hang = false, headers: extra = {} } = {}) {
  const found = findFile(name);
  if (!found) return sendText(res, 404, 'not found');
  const { file, stat } = found;
  const size = stat.size;
  const headers = {
    'Content-Type': MIME_TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream',
    'Accept-Ranges': 'bytes',
    'Cache-Control': 'no-store',
    ...extra,
  };
  const range = parseRange(req.headers.range, size);
  if (range === 'unsatisfiable') {
    res.writeHead(416, { ...headers, 'Content-Range': `bytes */${size}`, 'Content-Length': 0 });
    return res.end();
  }
  const status = range ? 206 : 200;
  const start = range ? range.start : 0;
  const end = range ? range.end : size - 1;
  if (range) headers['Content-Range'] = `bytes ${start}-${end}/${size}`;
  headers['Content-Length'] = size === 0 ? 0 : end - start + 1;
  res.writeHead(status, headers);
  if (hang) {
    res.flushHeaders();
    return;
  }
  if (req.method === 'HEAD' || size === 0) return res.end();
  fs.createReadStream(file, { start, end }).pipe(res);
}

