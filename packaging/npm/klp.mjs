// The web runtime as a module, for bundlers: `import { ready } from 'npklod32'`. Importing it
// starts the runtime on the page as the <script> tag does; klp.wasm is found by its URL beside
// this file (bundlers copy the file they see in `new URL(..., import.meta.url)`).
import './wasm_url.mjs';
import './klp.js';

// Resolves when the player module has loaded; rejects when it cannot be.
export const ready = window.klpRuntime.ready;
// Live players and bytes of the module's heap in use.
export const usage = () => window.klpRuntime.usage();
// The codes NAME_OnError is called with.
export const KlpError = Object.freeze({
  ProjectUnreadable: 1,
  MovieNotOpened: 2,
  MovieNotDelivered: 3,
  DownloadBrokenOff: 4,
  NoSuchAnchor: 5,
  NoSuchMarker: 6,
  NoMovieOpen: 7,
});
