// How Chromium and Firefox are started, for `klp view --engine` and for the page tests alike:
// the executables, the switches and preferences that keep the browser off the network and let
// movies play without a gesture, and the puppeteer-core launch options built from them.
// Plain data and functions: nothing here imports puppeteer-core.

export const ENGINES = ['chromium', 'firefox'];

// The browser binaries: Debian's, or the ones the environment names.
export function executable(engine, env = process.env) {
  if (engine === 'chromium') return env.KLP_CHROMIUM || '/usr/bin/chromium';
  if (engine === 'firefox') return env.KLP_FIREFOX || '/usr/bin/firefox-esr';
  throw new Error(`unknown engine ${engine} (one of ${ENGINES.join(', ')})`);
}

// The environment variable that names another binary, and the Debian package of the default.
export const EXECUTABLE_SOURCE = {
  chromium: { variable: 'KLP_CHROMIUM', debianPackage: 'chromium' },
  firefox: { variable: 'KLP_FIREFOX', debianPackage: 'firefox-esr' },
};

// Resolves every host name but the loopback one to "not found" inside the browser, so the
// browser's own services (sign-in, updates, time) never reach the network.
export const CHROMIUM_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-domain-reliability',
  '--disable-features=NetworkTimeServiceQuerying',
  '--no-pings',
  '--autoplay-policy=no-user-gesture-required',
  '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1, EXCLUDE localhost',
];

// On top of what puppeteer sets. native-is-localhost makes every name resolve to 127.0.0.1,
// where nothing answers the browser's services; the rest keeps them from starting at all.
export const FIREFOX_PREFS = {
  'media.autoplay.default': 0,
  'media.autoplay.blocking_policy': 0,
  'network.dns.native-is-localhost': true,
  'network.trr.mode': 5,
  'network.dns.disablePrefetch': true,
  'network.prefetch-next': false,
  'network.http.speculative-parallel-limit': 0,
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
  'app.update.enabled': false,
  'app.update.auto': false,
  'app.normandy.enabled': false,
  'browser.region.update.enabled': false,
  'browser.region.network.url': '',
  'browser.safebrowsing.malware.enabled': false,
  'browser.safebrowsing.phishing.enabled': false,
  'browser.safebrowsing.downloads.enabled': false,
  'browser.safebrowsing.downloads.remote.enabled': false,
  'browser.safebrowsing.provider.google4.updateURL': '',
  'browser.safebrowsing.provider.mozilla.updateURL': '',
  'datareporting.healthreport.uploadEnabled': false,
  'datareporting.policy.dataSubmissionEnabled': false,
  'toolkit.telemetry.enabled': false,
  'toolkit.telemetry.unified': false,
  'toolkit.telemetry.archive.enabled': false,
  'toolkit.telemetry.server': '',
  'extensions.update.enabled': false,
  'extensions.blocklist.enabled': false,
  'extensions.getAddons.cache.enabled': false,
  'media.gmp-manager.updateEnabled': false,
  'media.gmp-gmpopenh264.enabled': false,
  'browser.ping-centre.telemetry': false,
  'browser.newtabpage.activity-stream.feeds.telemetry': false,
  'browser.newtabpage.activity-stream.telemetry': false,
};

// puppeteer-core's launch options for engine with a fresh profile directory. Options:
// headless (default true), viewport ({width, height, deviceScaleFactor}), args (more switches),
// prefs (more Firefox preferences), env (where the executable's variable is read).
export function launchOptions(engine, profile, {
  headless = true, viewport, args = [], prefs = {}, env = process.env,
} = {}) {
  const common = {
    executablePath: executable(engine, env),
    userDataDir: profile,
    headless,
    defaultViewport: viewport,
    protocolTimeout: 30000,
    timeout: 30000,
  };
  if (engine === 'chromium') {
    return { ...common, browser: 'chrome', args: [...CHROMIUM_ARGS, ...args] };
  }
  return { ...common, browser: 'firefox', args, extraPrefsFirefox: { ...FIREFOX_PREFS, ...prefs } };
}

// An uncaught exception or unhandled rejection as text, the same in both engines:
// "TypeError: boom" for a thrown TypeError, "text" for a thrown string. Chromium wraps errors
// of evaluated code as "Error: Uncaught TypeError: ...", Firefox gives "TypeError: boom" as the
// message of an Error and "uncaught exception: text" for a non-Error.
export function errorText(e) {
  let text = e instanceof Error ? `${e.name}: ${e.message}` : String(e);
  text = text.replace(/^Error: (?=\w*(Error|Exception)\b|Uncaught\b|uncaught exception: )/, '');
  text = text.replace(/^Uncaught (\(in promise\) )?/, '').replace(/^uncaught exception: /, '');
  return text;
}
