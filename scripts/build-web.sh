#!/usr/bin/env bash
# build-web.sh [BUILD_DIR]: builds the web runtime with em++ into BUILD_DIR/web (klp.js and
# klp.wasm), from its own configuration in BUILD_DIR/wasm, and lays out its packages: the npm
# package in BUILD_DIR/npm (`npm pack BUILD_DIR/npm` makes npklod32-VERSION.tgz) and the browser
# extension in BUILD_DIR/extension (and BUILD_DIR/npklod32-extension-VERSION.zip).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
# Debian's em++ needs Debian's JavaScript parser, which this machine's node does not see.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
log=$(mktemp)
if ! emcmake cmake -S . -B "$dir/wasm" -DCMAKE_BUILD_TYPE=Release -DKLP_WERROR=ON \
    -DKLP_WEB_OUTPUT_DIR="$PWD/$dir/web" -DKLP_NPM_OUTPUT_DIR="$PWD/$dir/npm" \
    -DKLP_EXTENSION_OUTPUT_DIR="$PWD/$dir/extension" >"$log" 2>&1; then
  cat "$log"
  rm -f "$log"
  exit 1
fi
rm -f "$log"
cmake --build "$dir/wasm" -j"$(nproc)"
# The example tour's web page takes the runtime from beside it.
mkdir -p "$dir/examples/tour"
cp "$dir/web/klp.js" "$dir/web/klp.wasm" "$dir/examples/tour/"
