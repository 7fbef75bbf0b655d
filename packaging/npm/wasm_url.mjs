// Runs before klp.js (imports run in order): tells it where klp.wasm is, since a module has no
// script element of its own to go by.
window.klpWasmURL ??= new URL('./klp.wasm', import.meta.url).href;
