#!/usr/bin/env bash
# run.sh [BUILD_DIR [node --test options...]]: runs the page tests of the web runtime in
# headless Chromium and Firefox against BUILD_DIR (default build): its web/ output (klp.js,
# klp.wasm; the tests that need them skip while they are missing) and its clip tool.
# Installs the npm packages first when node_modules is missing or older than the lock file.
# Exits non-zero when a test fails; leaves no browser running and no temporary files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
shift || true
case $build in /*) ;; *) build=$repo/$build ;; esac

cd "$here"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi

clip_tool=$build/tests/media/make_test_clip
if [ ! -x "$clip_tool" ] && [ -f "$build/CMakeCache.txt" ]; then
  cmake --build "$build" --target make_test_clip >/dev/null
fi

tmp=$(mktemp -d /tmp/klp-web-test.XXXXXX)
run_id=$(basename "$tmp")

# Ends whatever this run left running: every process whose environment carries this run's id
# (the test processes and the browsers they started), then removes the run's files.
cleanup() {
  local pids=() environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}; pid=${pid%/environ}
    if grep -qxzF "KLP_WEB_RUN=$run_id" "$environ" 2>/dev/null; then
      pids+=("$pid")
    fi
  done
  if [ ${#pids[@]} -gt 0 ]; then
    echo "run.sh: ending ${#pids[@]} leftover process(es): ${pids[*]}" >&2
    kill -KILL "${pids[@]}" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

status=0
KLP_WEB_RUN=$run_id KLP_WEB_TMP=$tmp KLP_WEB_DIR=$build/web KLP_CLIP_TOOL=$clip_tool \
  timeout --kill-after=10 600 \
  node --test --test-concurrency=1 --test-timeout=120000 "$@" tests/ || status=$?
exit $status
