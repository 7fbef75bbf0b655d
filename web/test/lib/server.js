// A static HTTP server for the browser tests: serves one directory on 127.0.0.1 with byte
// ranges (browsers fetch media with Range), plus a few virtual routes under /_test/:
//   /_test/status/N[/anything]   answers status N with a short text body
//   /_test/slow/MS/PATH          serves PATH from the root after MS milliseconds
//   /_test/hang/PATH             sends the headers of PATH and then nothing until closed
// and routes added with route(path, handler). A missing /favicon.ico is 204, not 404.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

// The file serving itself is shared with `klp view --engine`.
import { MIME_TYPES, parseRange, resolveInRoot, sendFile, sendText } from '../../view/files.js';

export { MIME_TYPES, parseRange, resolveInRoot };

// Starts the server on a free port of 127.0.0.1. Resolves to
// {origin, port, url(path), route(path, handler), unroute(path), requests, close()}:
// requests lists {method, path, range, status} of every request answered, in order.
export async function startServer({ root, routes = {} } = {}) {
  if (!root) throw new Error('startServer: root is required');
  root = path.resolve(root);
  const table = new Map(Object.entries(routes));
  const requests = [];
  const sockets = new Set();

  const server = http.createServer((req, res) => {
    // The path as sent: URL() would drop '..' segments that should be refused.
    const rawPath = req.url.split(/[?#]/)[0];
    const url = new URL(req.url, 'http://127.0.0.1');
    const entry = { method: req.method, path: rawPath, range: req.headers.range || null, status: 0 };
    requests.push(entry);
    res.on('finish', () => { entry.status = res.statusCode; });
    const origWriteHead = res.writeHead;
    res.writeHead = function (status, ...rest) {
      entry.status = status;
      return origWriteHead.call(this, status, ...rest);
    };
    try {
      handle(req, res, rawPath, url);
    } catch (e) {
      if (!res.headersSent) sendText(res, 500, String(e && e.stack || e));
      else res.destroy();
    }
  });

  function handle(req, res, rawPath, url) {
    const custom = table.get(rawPath);
    if (custom) return custom(req, res, url);
    if (req.method !== 'GET' && req.method !== 'HEAD') return sendText(res, 405, 'method not allowed');
    let m;
    if ((m = /^\/_test\/status\/(\d{3})(?:\/.*)?$/.exec(rawPath))) {
      return sendText(res, Number(m[1]), `status ${m[1]}`);
    }
    if ((m = /^\/_test\/slow\/(\d+)(\/.*)$/.exec(rawPath))) {
      const file = resolveInRoot(root, m[2]);
      if (!file) return sendText(res, 403, 'forbidden');
      const timer = setTimeout(() => sendFile(req, res, file), Number(m[1]));
      res.on('close', () => clearTimeout(timer));
      return;
    }
    if ((m = /^\/_test\/hang(\/.*)$/.exec(rawPath))) {
      const file = resolveInRoot(root, m[1]);
      if (!file) return sendText(res, 403, 'forbidden');
      return sendFile(req, res, file, { hang: true });
    }
    const file = resolveInRoot(root, rawPath);
    if (!file) return sendText(res, 403, 'forbidden');
    // Browsers ask for an icon on their own; no icon is not an error of the page.
    if (rawPath === '/favicon.ico' && !fs.existsSync(file)) {
      res.writeHead(204, { 'Cache-Control': 'no-store' });
      return res.end();
    }
    return sendFile(req, res, file);
  }

  server.on('connection', (s) => {
    sockets.add(s);
    s.on('close', () => sockets.delete(s));
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  const { port } = server.address();
  const origin = `http://127.0.0.1:${port}`;
  return {
    origin,
    port,
    requests,
    url: (p = '/') => origin + (p.startsWith('/') ? p : '/' + p),
    route(p, handler) { table.set(p, handler); },
    unroute(p) { table.delete(p); },
    close() {
      for (const s of sockets) s.destroy();
      return new Promise((resolve) => server.close(() => resolve()));
    },
  };
}
