// The movies of an instance as the page's video elements: loaded when the movie's stream
// arrives (before the module sees the file, so that opening it answers at once), then driven
// by the module's media graph through the imports of library_klp.js. The browser decodes and
// shows the frames; the graph hears which frame is on show from requestVideoFrameCallback and
// draws the anchors into a canvas laid over the picture.

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
    video.style.display = 'none';
    this.video = video;
    this.layer = document.createElement('canvas');
    this.layer.className = 'layer';
    this.layer.style.display = 'none';
    this.status = 0;
    this.id = 0;  // while the graph holds it
    this.seekSerial = 0;
    this.completedSeek = 0;
    this.mutedByPolicy = false;
    this.visible = false;
    this.rect = null;
    this.drawn = null;  // the layer's rectangle that holds what the module drew
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
    const presented = (now, meta) => {
      if (this.id !== id) return;
      notify('_klp_media_presented', meta.mediaTime, this.completedSeek);
      video.requestVideoFrameCallback(presented);
    };
    video.requestVideoFrameCallback(presented);
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
    this.showLayerIfDrawn();
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
    this.rect = { left, top, right: left + width, bottom: top + height };
    this.visible = visible;
    this.video.style.display = visible ? 'block' : 'none';
    this.showLayerIfDrawn();
    this.instance.coverChanged();
  }
  // Whether the picture hides the whole of an area of width x height.
  covers(width, height) {
    const r = this.rect;
    return this.visible && r && r.left <= 0 && r.top <= 0 && r.right >= width && r.bottom >= height;
  }
  // The layer takes part in the page's compositing only while it holds something.
  showLayerIfDrawn() {
    this.layer.style.display = this.visible && this.drawn ? 'block' : 'none';
  }
  // Puts the module's layer pixels into the canvas: only the rectangle that changed, which holds
  // what was drawn before and what is drawn now.
  showLayer(rgba, width, height, left, top, drawnWidth, drawnHeight) {
    const canvas = this.layer;
    let dirty = this.drawn;
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      dirty = null;
    }
    const now = drawnWidth > 0 && drawnHeight > 0
      ? { left, top, right: left + drawnWidth, bottom: top + drawnHeight } : null;
    this.drawn = now;
    this.showLayerIfDrawn();
    if (!now) return;  // nothing shows: the canvas is cleared when it shows again
    const update = dirty ? union(dirty, now) : { left: 0, top: 0, right: width, bottom: height };
    const module = this.instance.host.module;
    const pixels = new Uint8ClampedArray(module.HEAPU8.buffer, rgba, width * height * 4);
    canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0, update.left,
      update.top, update.right - update.left, update.bottom - update.top);
  }
  // The user acted on the player: sound held back by the page's policy may start.
  userActed() {
    if (!this.mutedByPolicy) return;
    this.mutedByPolicy = false;
    this.video.muted = false;
  }
}

function union(a, b) {
  return { left: Math.min(a.left, b.left), top: Math.min(a.top, b.top),
    right: Math.max(a.right, b.right), bottom: Math.max(a.bottom, b.bottom) };
}
