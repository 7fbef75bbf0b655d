#!/usr/bin/env bash
# run.sh [BUILD_DIR]: whole page lives under valgrind memcheck: the page-life test that drives
# the module through the integration host with the real GStreamer graph (test_media_page), then
# the integration host's own tests (host_tests). Exits non-zero on any invalid read or write,
# use of an uninitialised value, or definite or indirect leak that libraries.supp does not
# explain. Prints memcheck's summary lines and the time of each; the logs stay in a temporary
# folder whose path is printed. 50 to 80 s on two cores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
command -v valgrind >/dev/null ||
  { echo "memcheck: valgrind is missing (bash scripts/install-deps.sh --tools)" >&2; exit 1; }
for t in media/test_media_page host/host_tests; do
  [ -x "$build/tests/$t" ] || { echo "memcheck: no $build/tests/$t (build first)" >&2; exit 1; }
done

logs=$(mktemp -d /tmp/klp-memcheck.XXXXXX)
status=0
for t in media/test_media_page host/host_tests; do
  name=$(basename "$t")
  start=$(date +%s)
  # GLib's slices as plain allocations so that memcheck sees each block; gc-friendly clears
  # freed pointers so that dropped blocks do not look reachable. The module's frames keep their
  # names after the host unloads it (keep-debuginfo). The clip tool the test runs is its own
  # process and is not traced.
  rc=0
  G_SLICE=always-malloc G_DEBUG=gc-friendly valgrind --tool=memcheck --error-exitcode=99 \
    --leak-check=full --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --track-origins=yes --keep-debuginfo=yes --num-callers=40 \
    --suppressions="$here/libraries.supp" --log-file="$logs/$name.log" \
    "$build/tests/$t" > "$logs/$name.out" 2>&1 || rc=$?
  echo "$name: $(tail -n 1 "$logs/$name.out") ($(( $(date +%s) - start )) s, exit $rc)"
  grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:|suppressed:' \
    "$logs/$name.log" | sed 's/^==[0-9]*== */  /'
  [ "$rc" = 0 ] || status=1
done
echo "logs: $logs"
exit "$status"
