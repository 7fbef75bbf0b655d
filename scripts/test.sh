#!/usr/bin/env bash
# The test command: installs what is missing, builds the normal and the sanitizer configurations
# and the web runtime, and runs every test: both configurations' (the normal one's with klp view
# in every engine), the web runtime's in the browsers, and the Debian package's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
bash scripts/build-web.sh build
bash scripts/npm-ci.sh web/view  # klp view --engine chromium|firefox, tested by ctest
(cd build && ctest --output-on-failure -j"$(nproc)")
# The web runtime in headless Chromium and Firefox.
bash web/test/run.sh build
# The Debian package: lintian, then installed with apt-get, used, and purged again.
bash scripts/build-deb.sh build
bash tests/package/install_deb.sh build
# The page playback benchmark, on a short clip, to keep it working.
bash tests/bench/page_playback.sh build 1
bash scripts/build.sh build-asan -DKLP_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)")
