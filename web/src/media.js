// The movies of an instance as the page's video elements: loaded when the movie's stream
// arrives (before the module sees the file, so that opening it answers at once), then driven
// by the module's media graph through the imports of library_klp.js. The browser decodes and
// shows the frames; the graph hears which frame is on show from requestVideoFrameCallback and
// shows the anchors as sprites over the picture: small canvases in a plane of the picture's own
// pixels, scaled with it, each drawn when its look changes and otherwise only moved.

const MEDIA_LOAD_TIMEOUT_MS = 10000;

class MovieMedia {
  constructor(instance, bytes, type) {
    this.instance = instance;
    this.url = URL.createObjectURL(new Blob([bytes], type ? { type } : {}));
    const video = document.createElement('video');
    video.preload = 'auto';
    video.playsInline = true;
    video.disableRemotePlayback = true;
    video.className = 'video';
    video.tabIndex = -1;  // the keyboard's way is the player's own
    video.style.display = 'none';
    this.video = video;
    this.layer = document.createElement('div');
    this.layer.className = 'layer';
    this.layer.style.display = 'none';
    this.plane = document.createElement('div');
    this.plane.className = 'plane';
    this.layer.append(this.plane);
    this.sprites = [];  // {canvas, x, y, shown}
    this.spritesShown = 0;
    this.status = 0;
    this.id = 0;  // while the graph holds it
    this.seekSerial = 0;
    this.completedSeek = 0;
    this.mutedByPolicy = false;
    this.visible = false;
    this.rect = null;
  }

  // Resolves once the browser has the first picture, or knows it never will.
  load() {
    const video = this.video;
    this.instance.stage.append(video, this.layer);
    return new Promise((resolve) => {
      const done = (status) => {
        clearTimeout(timer);
        video.removeEventListener('loadeddata', loaded);
        video.removeEventListener('error', failed);
        this.status = status;
        resolve();
      };
      const loaded = () => done(video.videoWidth > 0 && video.videoHeight > 0 ? 0 : VFW_E_CANNOT_RENDER);
      const failed = () => done(VFW_E_INVALID_FILE_FORMAT);
      const timer = setTimeout(() => done(VFW_E_TIMEOUT), MEDIA_LOAD_TIMEOUT_MS);
      video.addEventListener('loadeddata', loaded);
      video.addEventListener('error', failed);
      video.src = this.url;
    });
  }

  // The graph takes the element: notices go to the module under id from now on.
  open(id) {
    const host = this.instance.host;
    const video = this.video;
    this.id = id;
    const notify = (name, ...args) => {
      if (this.id === id) host.enter(() => host.module[name](id, ...args));
    };
    // Browsers without requestVideoFrameCallback: the playback position at each repaint.
    const nextFrame = video.requestVideoFrameCallback
      ? (fn) => video.requestVideoFrameCallback(fn)
      : (fn) => requestAnimationFrame((now) => fn(now, { mediaTime: video.currentTime }));
    const presented = (now, meta) => {
      if (this.id !== id) return;
      notify('_klp_media_presented', meta.mediaTime, this.completedSeek);
      nextFrame(presented);
    };
    nextFrame(presented);
    this.listeners = {
      seeked: () => {
        if (video.seeking) return;
        this.completedSeek = this.seekSerial;
        notify('_klp_media_seeked', this.seekSerial, video.currentTime);
      },
      ended: () => notify('_klp_media_ended'),
      error: () => notify('_klp_media_failed'),
    };
    for (const [name, fn] of Object.entries(this.listeners)) video.addEventListener(name, fn);
  }

  close() {
    if (this.listeners)
      for (const [name, fn] of Object.entries(this.listeners)) this.video.removeEventListener(name, fn);
    this.listeners = null;
    this.id = 0;
    this.video.pause();
    this.visible = false;
    this.video.style.display = 'none';
    this.showLayer();
    this.instance.coverChanged();
  }

  // Everything goes: the instance is destroyed.
  dispose() {
    this.close();
    this.video.removeAttribute('src');
    this.video.load();
    this.video.remove();
    this.layer.remove();
    URL.revokeObjectURL(this.url);
  }

  play() {
    const started = this.video.play();
    if (!started) return;
    started.catch((e) => {
      // A page may not start sound before the user acts: play without it until they do.
      if (e.name !== 'NotAllowedError' || this.video.muted || this.id === 0) return;
      this.video.muted = true;
      this.mutedByPolicy = true;
      this.video.play().catch(() => {});
    });
  }
  pause() { this.video.pause(); }
  seek(seconds, serial) {
    this.seekSerial = serial;
    this.video.currentTime = seconds;
  }
  place(left, top, width, height, visible) {
    for (const e of [this.video, this.layer]) {
      e.style.left = `${left}px`;
      e.style.top = `${top}px`;
      e.style.width = `${width}px`;
      e.style.height = `${height}px`;
    }
    const w = this.video.videoWidth || width, h = this.video.videoHeight || height;
    this.plane.style.width = `${w}px`;
    this.plane.style.height = `${h}px`;
    this.plane.style.transform = `scale(${width / w}, ${height / h})`;
    this.rect = { left, top, right: left + width, bottom: top + height };
    this.visible = visible;
    this.video.style.display = visible ? 'block' : 'none';
    this.showLayer();
    this.instance.coverChanged();
  }
  // Whether the picture hides the whole of an area of width x height.
  covers(width, height) {
    const r = this.rect;
    return this.visible && r && r.left <= 0 && r.top <= 0 && r.right >= width && r.bottom >= height;
  }
  // The layer takes part in the page's compositing only while a sprite shows.
  showLayer() {
    this.layer.style.display = this.visible && this.spritesShown > 0 ? 'block' : 'none';
  }
  setSprite(index, rgba, width, height) {
    while (this.sprites.length <= index) {
      const canvas = document.createElement('canvas');
      canvas.style.display = 'none';
      this.plane.append(canvas);
      this.sprites.push({ canvas, x: NaN, y: NaN, shown: false });
    }
    const canvas = this.sprites[index].canvas;
    canvas.width = width;
    canvas.height = height;
    const module = this.instance.host.module;
    const pixels = new Uint8ClampedArray(module.HEAPU8.buffer, rgba, width * height * 4);
    canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  }
  // Shows the first count sprites at their places in the picture (positions: left, top pairs
  // in the module's memory) and hides the rest.
  placeSprites(positions, count) {
    const heap = this.instance.host.module.HEAP32;
    this.sprites.forEach((sprite, i) => {
      const shown = i < count;
      if (shown) {
        const x = heap[(positions >> 2) + 2 * i], y = heap[(positions >> 2) + 2 * i + 1];
        if (x !== sprite.x || y !== sprite.y) {
          sprite.canvas.style.transform = `translate(${x}px, ${y}px)`;
          sprite.x = x;
          sprite.y = y;
        }
      }
      if (shown !== sprite.shown) {
        sprite.canvas.style.display = shown ? 'block' : 'none';
        sprite.shown = shown;
      }
    });
    this.spritesShown = count;
    this.showLayer();
  }
  // The user acted on the player: sound held back by the page's policy may start.
  userActed() {
    if (!this.mutedByPolicy) return;
    this.mutedByPolicy = false;
    this.video.muted = false;
  }
}

