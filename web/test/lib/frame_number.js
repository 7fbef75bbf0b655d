// Reads the frame number that the clip tool paints into every frame: two bands across the top
// 4/15 of the picture, ten cells each, bit 0 at the left, white 1 and black 0, the lower band
// the inverse of the upper, over mid-grey. Same sampling as ReadFrameNumber in
// tests/media/clip_maker.cpp: the middle of each cell, halfway down each band.

export const BITS = 10;

export function bandRows(clipHeight) {
  return Math.trunc((clipHeight * 4) / 15);
}

// The sample points: for each bit, [x, yUpper, yLower] in the picture's own pixels.
function samplePoints(width, height, clipWidth, clipHeight) {
  const band = Math.trunc(bandRows(clipHeight) / 2);
  const rowAt = (row) => Math.trunc((row * height) / clipHeight);
  const points = [];
  for (let bit = 0; bit < BITS; ++bit) {
    const cell = Math.trunc(((2 * bit + 1) * clipWidth) / (2 * BITS));
    const x = Math.trunc((cell * width) / clipWidth);
    points.push([x, rowAt(Math.trunc(band / 2)), rowAt(band + Math.trunc(band / 2))]);
  }
  return points;
}

function lumaAt(image, region, x, y) {
  const i = ((region.y + y) * image.width + region.x + x) * 4;
  const d = image.data;
  return Math.trunc((d[i] + d[i + 1] + d[i + 2]) / 3);
}

function regionOf(image, region) {
  const r = region || { x: 0, y: 0, width: image.width, height: image.height };
  if (r.width <= 0 || r.height <= 0 || r.x < 0 || r.y < 0 ||
      r.x + r.width > image.width || r.y + r.height > image.height) {
    throw new RangeError(`region ${JSON.stringify(r)} is outside the ${image.width}x${image.height} image`);
  }
  return r;
}

// image: {width, height, data} with RGBA bytes (ImageData, a decoded PNG, ...). The picture of
// a clipWidth x clipHeight clip, scaled, fills region (default: the whole image). Returns the
// frame number, or -1 when the bands do not read as a number over its inverse.
export function readFrameNumber(image, { region, clipWidth = 320, clipHeight = 240 } = {}) {
  const r = regionOf(image, region);
  let number = 0;
  const points = samplePoints(r.width, r.height, clipWidth, clipHeight);
  for (let bit = 0; bit < BITS; ++bit) {
    const [x, yUpper, yLower] = points[bit];
    const one = lumaAt(image, r, x, yUpper) > 128;
    if (one === lumaAt(image, r, x, yLower) > 128) return -1;
    if (one) number |= 1 << bit;
  }
  return number;
}

// The sampled lumas of both bands as text, for failure messages.
export function describeBands(image, { region, clipWidth = 320, clipHeight = 240 } = {}) {
  const r = regionOf(image, region);
  const points = samplePoints(r.width, r.height, clipWidth, clipHeight);
  const upper = points.map(([x, y]) => lumaAt(image, r, x, y));
  const lower = points.map(([x, , y]) => lumaAt(image, r, x, y));
  return `upper [${upper.join(' ')}] lower [${lower.join(' ')}] (${r.width}x${r.height})`;
}
