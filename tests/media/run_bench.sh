#!/usr/bin/env bash
# Builds the media benchmark in a release configuration and runs it: CPU seconds of the plain
# decoding pipeline against the graph with 20 moving anchors, on one 640x480 30 fps 20 s clip.
# The argument picks the clip's codec: h264 (the default), mjpeg, vp8 or theora.
set -euo pipefail
cd "$(dirname "$0")/../.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build-bench -j"$(nproc)" --target bench_media; } > "$log" 2>&1; then
  cat "$log"
  exit 1
fi
build-bench/tests/media/bench_media "$@"
