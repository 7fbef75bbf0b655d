// What `klp view --engine chromium|firefox` shows the browser: a page with the web runtime
// (klp.js) added when the page does not include it, and a project file as a page of its own.
// Text only: nothing here serves or starts anything.

// Whether the page's text includes the web runtime: a <script> whose src names klp.js.
export function includesRuntime(html) {
  return /<script\b[^>]*\bsrc\s*=\s*["']?[^"'\s>]*\bklp\.js(?![\w.])/i.test(html);
}

// The page with <script src="runtimeURL"> put before its first <script> (as the build makes
// web.html from the tour), else before </body> or </html>, else at the end; the page as it is
// when it includes the runtime already. Works on text read as Latin-1, so every byte of a page
// in any encoding comes back unchanged.
export function withRuntime(html, runtimeURL) {
  if (includesRuntime(html)) return html;
  const tag = `<script src="${escapeAttribute(runtimeURL)}"></script>\n`;
  for (const where of [/<script\b/i, /<\/body\s*>/i, /<\/html\s*>/i]) {
    const at = html.search(where);
    if (at >= 0) return html.slice(0, at) + tag + html.slice(at);
  }
  return html + tag;
}

// A project file shown full-page: the page a browser makes for a plug-in document (WebKit's
// plug-in document: no margin, an embed filling the view, named "plugin"), with the runtime.
// data-klp-mode="full" makes the runtime create the instance as NP_FULL, as the browser would.
export function fullPage(projectName, runtimeURL) {
  const name = escapeAttribute(projectName);
  return '<!DOCTYPE html>\n<html style="height:100%"><head><meta charset="utf-8">' +
    `<title>${name}</title>\n<script src="${escapeAttribute(runtimeURL)}"></script>\n</head>\n` +
    '<body style="margin:0;height:100%;overflow:hidden">' +
    `<embed name="plugin" src="${escapeAttribute(encodeURIComponent(projectName))}" ` +
    'type="application/kelvora-movie" width="100%" height="100%" data-klp-mode="full">' +
    '</body></html>\n';
}

function escapeAttribute(text) {
  return String(text).replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;')
    .replace(/>/g, '&gt;');
}

// The URL path under which an absolute file path is served: each segment percent-encoded.
export function filePathURL(prefix, file) {
  return prefix + file.split('/').map((s) => encodeURIComponent(s)).join('/');
}
