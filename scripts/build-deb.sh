#!/usr/bin/env bash
# build-deb.sh [BUILD_DIR]: makes the Debian package BUILD_DIR/deb/npklod32_VERSION_amd64.deb
# from the configured BUILD_DIR (default build), building the web runtime first when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if [ ! -f "$dir/web/klp.js" ] || [ ! -f "$dir/web/klp.wasm" ]; then
  bash scripts/build-web.sh "$dir"
fi
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/deb/npklod32_*.deb
(cd "$dir" && cpack --config CPackConfig.cmake >/dev/null)
ls "$dir"/deb/npklod32_*_*.deb
