#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-in and the web runtime, and opens the
# example tour page (build/examples/tour/index.html: an embed and no klp.js) in `klp view` in
# each engine: QtWebKit with the plug-in on a private X server, then headless Chromium and
# Firefox, which play it through klp.js (the viewer adds it to the page). In each, the page's
# events are printed as they come, a click on the sun hot spot activates it, and screenshots are
# saved (their paths printed at the end).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
bash scripts/build-web.sh build
bash scripts/npm-ci.sh web/view  # the browser driver's puppeteer-core
shots=$(mktemp -d "${TMPDIR:-/tmp}/klp-tour.XXXXXX")
for engine in qtwebkit chromium firefox; do
  echo "== klp view --engine $engine"
  ./build/klp view --engine "$engine" --headless \
    --screenshot "$shots/$engine-playing.png" --at 1.5 \
    --click 282,101 --at 3 \
    --screenshot "$shots/$engine-after-click.png" --at 3.5 \
    --quit-after 10 \
    build/examples/tour/index.html
done
echo "screenshots:"
for engine in qtwebkit chromium firefox; do
  echo "  $shots/$engine-playing.png $shots/$engine-after-click.png"
done
