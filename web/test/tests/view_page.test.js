// What `klp view --engine chromium|firefox` serves (web/view/page.js): klp.js added to pages
// that lack it, where web.html has it, and the page that shows a project full-page. The runs
// themselves are tested through the viewer (tests/browser/engine_test.cpp).
import assert from 'node:assert/strict';
import { describe, it } from 'node:test';
import { filePathURL, fullPage, includesRuntime, withRuntime } from '../../view/page.js';

const RUNTIME = '/t/klp/klp.js';

describe('klp view pages', () => {
  it('sees the runtime in script tags, whatever the quoting and path', () => {
    assert.ok(includesRuntime('<script src="klp.js"></script>'));
    assert.ok(includesRuntime("<SCRIPT type='text/javascript' src='../lib/klp.js?v=2'></SCRIPT>"));
    assert.ok(includesRuntime('<script src=klp.js></script>'));
    assert.ok(includesRuntime('<script defer src="https://cdn.example/klp/klp.js#x"></script>'));
    assert.ok(!includesRuntime('<script src="klp.json"></script>'));
    assert.ok(!includesRuntime('<script src="klp.js.map"></script>'));
    assert.ok(!includesRuntime('<embed src="tour.klp"><p>klp.js</p>'));
  });

  it('puts the runtime before the first script, as the build does for web.html', () => {
    const page = '<html><body><embed src="a.klp"><script>m1()</script><script>x</script></body></html>';
    assert.equal(withRuntime(page, RUNTIME),
      '<html><body><embed src="a.klp"><script src="/t/klp/klp.js"></script>\n<script>m1()</script>' +
      '<script>x</script></body></html>');
  });

  it('else before the end of the body or the document, else at the end', () => {
    assert.equal(withRuntime('<body><embed></BODY >', RUNTIME),
      '<body><embed><script src="/t/klp/klp.js"></script>\n</BODY >');
    assert.equal(withRuntime('<embed></html>', RUNTIME), '<embed><script src="/t/klp/klp.js"></script>\n</html>');
    assert.equal(withRuntime('<embed>', RUNTIME), '<embed><script src="/t/klp/klp.js"></script>\n');
  });

  it('leaves a page that has the runtime, and every byte of any other, as it was', () => {
    const own = '<script src="klp.js"></script><embed src="a.klp">';
    assert.equal(withRuntime(own, RUNTIME), own);
    const latin1 = Buffer.from([0x3c, 0x70, 0x3e, 0xe9, 0xff, 0x3c, 0x2f, 0x70, 0x3e]).toString('latin1');
    const out = Buffer.from(withRuntime(latin1, RUNTIME), 'latin1');
    assert.deepEqual([...out.subarray(0, 9)], [0x3c, 0x70, 0x3e, 0xe9, 0xff, 0x3c, 0x2f, 0x70, 0x3e]);
  });

  it('shows a project full-page: one embed filling the view, the runtime, NP_FULL asked for', () => {
    const page = fullPage('my "tour".klp', RUNTIME);
    assert.match(page, /<script src="\/t\/klp\/klp.js"><\/script>/);
    assert.match(page, /<embed name="plugin" src="my%20%22tour%22.klp" type="application\/kelvora-movie" width="100%" height="100%" data-klp-mode="full">/);
    assert.match(page, /<body style="margin:0;height:100%;overflow:hidden">/);
    assert.match(page, /<title>my &quot;tour&quot;.klp<\/title>/);
  });

  it('serves a file under its absolute path, each segment encoded', () => {
    assert.equal(filePathURL('/t/fs', '/home/a b/#1/page.html'), '/t/fs/home/a%20b/%231/page.html');
  });
});
