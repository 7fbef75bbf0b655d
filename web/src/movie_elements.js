// Which elements of a page are movies: an <embed> or <object> of our type, or naming a project
// file. Shared by the runtime (embeds.js) and the browser extension's content script.

const MIME_TYPE = 'application/kelvora-movie';

// Whether url's path ends in ".klp", any letter case, with or without a query.
function namesProject(url) {
  if (!url) return false;
  return /\.klp$/i.test(String(url).trim().replace(/[?#].*$/, ''));
}
function isOurType(type) {
  return (type || '').trim().toLowerCase() === MIME_TYPE;
}
function isMovieEmbed(e) {
  return isOurType(e.getAttribute('type')) || namesProject(e.getAttribute('src'));
}
function isMovieObject(e) {
  return isOurType(e.getAttribute('type')) || namesProject(e.getAttribute('data'));
}
