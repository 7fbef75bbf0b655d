#!/usr/bin/env bash
# The main job: installs what is missing, builds, and opens the example tour page in the
# viewer on a private X server: the page's events are printed as they come, a click on the
# sun hot spot activates it, and screenshots are saved (their paths printed at the end). Then
# the same tour through the web runtime (web.html) in headless Chromium and Firefox, likewise.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
shots=$(mktemp -d "${TMPDIR:-/tmp}/klp-tour.XXXXXX")
./build/klp view --headless \
  --screenshot "$shots/playing.png" --at 1.5 \
  --click 282,101 --at 3 \
  --screenshot "$shots/after-click.png" --at 3.5 \
  --quit-after 10 \
  build/examples/tour/index.html
echo "screenshots: $shots/playing.png $shots/after-click.png"

bash scripts/build-web.sh build
(cd web/test && { [ -f node_modules/.package-lock.json ] || npm ci --no-audit --no-fund --loglevel=error; })
node web/test/bin/tour.mjs build/examples/tour "$shots"
