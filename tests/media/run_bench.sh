#!/usr/bin/env bash
# Builds the media benchmark in a release configuration and runs it: CPU seconds of the plain
# decoding pipeline against the graph with 20 moving anchors. Arguments go to bench_media
# (h264, mjpeg, vp8 or theora).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKLP_TESTS=ON > /dev/null
cmake --build build-bench -j"$(nproc)" --target bench_media > /dev/null
build-bench/tests/media/bench_media "$@"
