// The test server: types, byte ranges, missing files, paths that try to leave the root, and
// the virtual routes.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { parseRange, startServer } from '../lib/server.js';

let top;
let root;
let server;
const body = Buffer.from('0123456789abcdef');

// A request with the path sent as is (no normalisation); resolves to {status, headers, body}.
function request(p, { method = 'GET', headers = {} } = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: server.port, path: p, method, headers }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    });
    req.on('error', reject);
    req.end();
  });
}

before(async () => {
  top = fs.mkdtempSync(path.join(os.tmpdir(), 'klp-server-test-'));
  root = path.join(top, 'site');
  fs.mkdirSync(path.join(root, 'sub'), { recursive: true });
  fs.mkdirSync(path.join(root, 'empty'));
  fs.writeFileSync(path.join(top, 'secret.txt'), 'outside the root');
  fs.writeFileSync(path.join(root, 'clip.webm'), body);
  fs.writeFileSync(path.join(root, 'sub', 'index.html'), '<p>index</p>');
  fs.writeFileSync(path.join(root, 'a b.txt'), 'spaced');
  for (const ext of ['html', 'js', 'wasm', 'klp', 'mp4', 'png']) fs.writeFileSync(path.join(root, `f.${ext}`), 'x');
  server = await startServer({
    root,
    routes: { '/custom': (req, res) => { res.writeHead(201); res.end('made'); } },
  });
});

after(async () => {
  await server.close();
  fs.rmSync(top, { recursive: true, force: true });
});

describe('files', () => {
  it('binds to 127.0.0.1 on a port of its own', () => {
    assert.match(server.origin, /^http:\/\/127\.0\.0\.1:\d+$/);
    assert.notEqual(server.port, 0);
    assert.equal(server.url('x.html'), `${server.origin}/x.html`);
  });

  it('sends the type by extension', async () => {
    const types = {
      html: /^text\/html/, js: /^text\/javascript/, wasm: /^application\/wasm$/,
      klp: /^(application\/octet-stream|text\/plain)/, mp4: /^video\/mp4$/, png: /^image\/png$/,
    };
    for (const [ext, type] of Object.entries(types)) {
      const res = await request(`/f.${ext}`);
      assert.equal(res.status, 200, ext);
      assert.match(res.headers['content-type'], type, ext);
    }
    assert.equal((await request('/clip.webm')).headers['content-type'], 'video/webm');
  });

  it('serves the whole file with its length and an offer of ranges', async () => {
    const res = await request('/clip.webm');
    assert.equal(res.status, 200);
    assert.deepEqual(res.body, body);
    assert.equal(res.headers['content-length'], String(body.length));
    assert.equal(res.headers['accept-ranges'], 'bytes');
  });

  it('decodes escaped names and serves a directory index', async () => {
    assert.equal((await request('/a%20b.txt')).body.toString(), 'spaced');
    assert.equal((await request('/sub/')).body.toString(), '<p>index</p>');
  });

  it('answers HEAD with the headers only', async () => {
    const res = await request('/clip.webm', { method: 'HEAD' });
    assert.equal(res.status, 200);
    assert.equal(res.headers['content-length'], String(body.length));
    assert.equal(res.body.length, 0);
  });

  it('answers 404 for missing files and directories without an index', async () => {
    assert.equal((await request('/nothing.html')).status, 404);
    assert.equal((await request('/empty/')).status, 404);
    assert.equal((await request('/favicon.ico')).status, 204);
  });

  it('refuses paths that leave the root', async () => {
    for (const p of ['/../secret.txt', '/%2e%2e/secret.txt', '/sub/%2E%2E/%2e%2e/secret.txt',
                     '/sub/..%2f..%2fsecret.txt', '/%00', '/%zz']) {
      const res = await request(p);
      assert.equal(res.status, 403, p);
      assert.ok(!res.body.toString().includes('outside the root'), p);
    }
  });
});

describe('ranges', () => {
  const cases = [
    ['bytes=2-5', 2, 5],
    ['bytes=10-', 10, 15],
    ['bytes=-3', 13, 15],
    ['bytes=14-99', 14, 15],
    ['bytes=0-0', 0, 0],
  ];
  for (const [range, start, end] of cases) {
    it(`serves ${range} as bytes ${start}-${end}`, async () => {
      const res = await request('/clip.webm', { headers: { Range: range } });
      assert.equal(res.status, 206);
      assert.equal(res.headers['content-range'], `bytes ${start}-${end}/${body.length}`);
      assert.equal(res.headers['content-length'], String(end - start + 1));
      assert.deepEqual(res.body, body.subarray(start, end + 1));
    });
  }

  it('answers 416 for a range past the end', async () => {
    for (const range of ['bytes=16-', 'bytes=99-100', 'bytes=-0']) {
      const res = await request('/clip.webm', { headers: { Range: range } });
      assert.equal(res.status, 416, range);
      assert.equal(res.headers['content-range'], `bytes */${body.length}`);
    }
  });

  it('ignores ranges it does not take, sending the whole file', async () => {
    for (const range of ['bytes=5-2', 'bytes=0-1,4-5', 'items=0-1', 'bytes=-']) {
      const res = await request('/clip.webm', { headers: { Range: range } });
      assert.equal(res.status, 200, range);
      assert.deepEqual(res.body, body);
    }
  });

  it('parses a range against the size', () => {
    assert.equal(parseRange(undefined, 10), null);
    assert.deepEqual(parseRange('bytes=0-', 10), { start: 0, end: 9 });
    assert.deepEqual(parseRange('bytes=-20', 10), { start: 0, end: 9 });
    assert.equal(parseRange('bytes=0-', 0), 'unsatisfiable');
  });
});

describe('virtual routes', () => {
  it('answers the status asked for', async () => {
    assert.equal((await request('/_test/status/500')).status, 500);
    assert.equal((await request('/_test/status/404/movie.klp')).status, 404);
  });

  it('serves a file late', async () => {
    const start = Date.now();
    const res = await request('/_test/slow/300/clip.webm', { headers: { Range: 'bytes=0-3' } });
    assert.ok(Date.now() - start >= 290, `answered after ${Date.now() - start} ms`);
    assert.equal(res.status, 206);
    assert.equal(res.body.toString(), '0123');
    assert.equal((await request('/_test/slow/1/../secret.txt')).status, 403);
  });

  it('sends the headers of a hanging file and no body', async () => {
    const res = await new Promise((resolve, reject) => {
      const req = http.get({ host: '127.0.0.1', port: server.port, path: '/_test/hang/clip.webm' }, resolve);
      req.on('error', reject);
    });
    assert.equal(res.statusCode, 200);
    let received = 0;
    res.on('data', (c) => { received += c.length; });
    res.on('error', () => {});
    await new Promise((r) => setTimeout(r, 200));
    assert.equal(received, 0);
    res.destroy();
  });

  it('calls added routes and logs every request', async () => {
    assert.equal((await request('/custom')).status, 201);
    server.route('/late', (req, res) => { res.writeHead(202); res.end(); });
    assert.equal((await request('/late')).status, 202);
    server.unroute('/late');
    assert.equal((await request('/late')).status, 404);
    await request('/clip.webm', { headers: { Range: 'bytes=1-2' } });
    const last = server.requests.at(-1);
    assert.deepEqual(last, { method: 'GET', path: '/clip.webm', range: 'bytes=1-2', status: 206 });
  });
});
