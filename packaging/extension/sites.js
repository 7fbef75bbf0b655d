// The sites the user turned the extension off for: host names, kept in storage.local under
// "disabledSites". Shared by the content script and the options page.

const extensionApi = globalThis.browser ?? globalThis.chrome;

// The host name a user's entry names ("Example.org", "https://example.org:8080/a" and
// "example.org." all give "example.org"), or '' when it names none.
function siteOf(entry) {
  let text = String(entry ?? '').trim();
  if (!text) return '';
  if (!/^[a-z][a-z0-9+.-]*:\/\//i.test(text)) text = `http://${text}`;
  let host;
  try {
    host = new URL(text).hostname;
  } catch {
    return '';
  }
  return host.toLowerCase().replace(/\.$/, '');
}

async function disabledSites() {
  const { disabledSites: sites } = await extensionApi.storage.local.get('disabledSites');
  return Array.isArray(sites) ? sites : [];
}

function setDisabledSites(sites) {
  return extensionApi.storage.local.set({ disabledSites: [...new Set(sites)].sort() });
}
