// The frame-number reader on pictures painted the way the clip tool paints them, at the clip's
// size, scaled, inside a larger image, and on pictures that carry no number.
import assert from 'node:assert/strict';
import { describe, it } from 'node:test';
import { bandRows, readFrameNumber } from '../lib/frame_number.js';

// An RGBA picture of frame n as the clip tool makes it: grey, the bits in the upper band
// (luma 235 for 1, 16 for 0), their inverse in the lower one.
function paint(n, w = 320, h = 240) {
  const data = new Uint8Array(w * h * 4).fill(128);
  const band = Math.trunc(bandRows(h) / 2);
  for (let y = 0; y < 2 * band; ++y) {
    for (let x = 0; x < w; ++x) {
      const bit = Math.trunc((x * 10) / w);
      const one = ((n >> bit) & 1) === 1 !== (y >= band);
      data.fill(one ? 235 : 16, (y * w + x) * 4, (y * w + x) * 4 + 3);
    }
  }
  return { width: w, height: h, data };
}

// Nearest-neighbour scaling to w x h.
function scale(image, w, h) {
  const data = new Uint8Array(w * h * 4);
  for (let y = 0; y < h; ++y) {
    for (let x = 0; x < w; ++x) {
      const sx = Math.trunc((x * image.width) / w);
      const sy = Math.trunc((y * image.height) / h);
      const s = (sy * image.width + sx) * 4;
      data.set(image.data.subarray(s, s + 4), (y * w + x) * 4);
    }
  }
  return { width: w, height: h, data };
}

// image pasted at (x, y) into a white w x h image.
function place(image, w, h, x, y) {
  const data = new Uint8Array(w * h * 4).fill(255);
  for (let row = 0; row < image.height; ++row) {
    const s = row * image.width * 4;
    data.set(image.data.subarray(s, s + image.width * 4), ((y + row) * w + x) * 4);
  }
  return { width: w, height: h, data };
}

describe('reads the number', () => {
  it('at the clip size', () => {
    for (const n of [0, 1, 2, 37, 99, 512, 1023]) assert.equal(readFrameNumber(paint(n)), n);
  });

  it('scaled up, down and unevenly', () => {
    for (const [w, h] of [[640, 480], [160, 120], [333, 250], [100, 300]]) {
      assert.equal(readFrameNumber(scale(paint(677), w, h)), 677, `${w}x${h}`);
    }
  });

  it('of a clip of another size', () => {
    const image = paint(300, 176, 144);
    assert.equal(readFrameNumber(image, { clipWidth: 176, clipHeight: 144 }), 300);
  });

  it('inside a region of a larger image', () => {
    const image = place(scale(paint(421), 240, 180), 500, 400, 50, 30);
    const region = { x: 50, y: 30, width: 240, height: 180 };
    assert.equal(readFrameNumber(image, { region }), 421);
    assert.equal(readFrameNumber(image), -1);
  });
});

describe('gives -1', () => {
  it('for a picture without bands', () => {
    const grey = { width: 320, height: 240, data: new Uint8Array(320 * 240 * 4).fill(128) };
    assert.equal(readFrameNumber(grey), -1);
  });

  it('when the lower band is not the inverse of the upper', () => {
    const image = paint(5);
    const band = Math.trunc(bandRows(240) / 2);
    // Make bit 9's lower cell match its upper one (both black).
    for (let y = band; y < 2 * band; ++y) image.data.fill(16, (y * 320 + 300) * 4, (y * 320 + 319) * 4);
    assert.equal(readFrameNumber(image), -1);
  });
});

it('refuses a region outside the image', () => {
  assert.throws(() => readFrameNumber(paint(1), { region: { x: 10, y: 0, width: 320, height: 240 } }), RangeError);
});
