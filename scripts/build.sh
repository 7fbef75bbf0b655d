#!/usr/bin/env bash
# build.sh [DIR [cmake options...]]: configures and builds into DIR (default build/).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}; shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKLP_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
