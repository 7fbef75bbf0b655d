// On every page of a site the user has not turned it off for: once the page has a movie embed,
// puts the packaged web runtime into the page (a script element, so that it runs beside the
// page's own script, which calls the player's methods and defines its NAME_On... functions),
// and opens a clicked link to a project file full-page in the extension's viewer.

let runtimeAdded = false;

function addRuntime() {
  if (runtimeAdded) return;
  runtimeAdded = true;
  const script = document.createElement('script');
  script.src = extensionApi.runtime.getURL('klp.js');
  script.addEventListener('load', () => script.remove());
  (document.head || document.documentElement).append(script);
}

function hasMovie(node) {
  if (node.nodeType !== Node.ELEMENT_NODE) return false;
  const movie = (e) => (e.localName === 'embed' && isMovieEmbed(e)) ||
    (e.localName === 'object' && isMovieObject(e));
  return movie(node) || Array.prototype.some.call(node.querySelectorAll('embed, object'), movie);
}

function watchForMovies() {
  if (hasMovie(document.documentElement)) return addRuntime();
  const observer = new MutationObserver((records) => {
    for (const r of records) {
      for (const n of r.addedNodes) {
        if (hasMovie(n)) {
          observer.disconnect();
          return addRuntime();
        }
      }
    }
  });
  observer.observe(document.documentElement, { childList: true, subtree: true });
}

function openProjectLinksFullPage() {
  document.addEventListener('click', (event) => {
    if (event.defaultPrevented || event.button !== 0 || event.ctrlKey || event.metaKey ||
        event.shiftKey || event.altKey) return;
    const link = event.target instanceof Element ? event.target.closest('a[href]') : null;
    if (!link || link.hasAttribute('download') || !namesProject(link.href)) return;
    const url = new URL(link.href);
    if (url.protocol !== 'http:' && url.protocol !== 'https:') return;
    event.preventDefault();
    const viewer = `${extensionApi.runtime.getURL('viewer.html')}#${encodeURIComponent(url.href)}`;
    if (link.target === '_blank') window.open(viewer, '_blank', 'noopener');
    else window.top.location.href = viewer;  // from a frame of another site too
  });
}

disabledSites().then((sites) => {
  if (sites.includes(siteOf(location.href))) return;
  watchForMovies();
  openProjectLinksFullPage();
}, (e) => console.error('NPKLOD32 movies: the settings could not be read:', e));
