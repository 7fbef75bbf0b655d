#!/usr/bin/env bash
# soak.sh [BUILD_DIR] [SECONDS] [EMBEDS]: a page of EMBEDS (default 8) copies of the example tour,
# each playing with autorepeat, left open in `klp view` for SECONDS (default 600) on a private
# Xvfb. Every 10 s it samples the viewer's resident memory, open descriptors, threads, child
# processes (the npklod32-ui helpers) and X resources (sample.sh), and at the end prints the growth
# per hour of each after the first minute, with the markers the page heard.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
seconds=${2:-600}
embeds=${3:-8}
case $build in /*) ;; *) build=$repo/$build ;; esac
source "$here/sample.sh"
workdir soak "$build" Xvfb xrestop

{
  echo '<!DOCTYPE html><html><body style="margin:0">'
  for i in $(seq 1 "$embeds"); do
    echo "<embed name=\"m$i\" src=\"tour.klp\" type=\"application/kelvora-movie\" width=\"320\""
    echo " height=\"240\" autoplay=\"true\" autorepeat=\"true\" showanchor=\"true\">"
  done
  # SOAK_HANDLERS=0: a page without script, to tell the page's part from the plug-in's.
  # SOAK_HANDLERS=timer: the same handlers under names the plug-in does not call, called by a page
  # timer at the markers' rate (start, middle, end every 8 s, as the tour's frames 0, 100 and 190
  # at 25 fps) for SOAK_TIMERS embeds' worth (default EMBEDS; with EMBEDS 0 a page without the
  # plug-in): the page's script engine alone.
  case ${SOAK_HANDLERS:-1} in
  0) ;;
  timer)
    echo '<script>'
    echo "function marker(m) { console.log('marker ' + m); }"
    echo 'function tour() { marker("start"); setTimeout(marker, 4000, "middle"); setTimeout(marker, 7600, "end"); }'
    for i in $(seq 1 "${SOAK_TIMERS:-$embeds}"); do
      echo "setTimeout(function () { tour(); setInterval(tour, 8000); }, $((i * 100)));"
    done
    echo '</script>'
    ;;
  *)
    echo '<script>'
    for i in $(seq 1 "$embeds"); do
      echo "function m${i}_OnMarker(m) { console.log('marker ' + m); }"
    done
    echo '</script>'
    ;;
  esac
  echo '</body></html>'
} > "$work/page.html"

start_xvfb "$work" 1400x1000
"$build/klp" view --size 1400x1000 --plugin-dir "$build" \
  --quit-after "$((seconds + seconds / 4 + 60))" "$work/page.html" > "$work/console" 2>&1 &
viewer=$!
sleep 3

sample_header s
# Samples on the clock, not after sleeps that sampling lengthens; the viewer is ended on exit.
start=$SECONDS
for ((t = 10; t <= seconds; t += 10)); do
  while ((SECONDS - start < t)); do sleep 0.2; done
  kill -0 "$viewer" 2>/dev/null || { echo "soak: the viewer ended early" >&2; exit 1; }
  sample "$viewer" "$t" "$work/samples"  # the view runs in klp's own process
done

awk -v seconds="$seconds" '
  $1 >= 60 && !first { first = 1; t0 = $1; r0 = $2; f0 = $3; h0 = $4; p0 = $5; x0 = $7 }
  { t1 = $1; r1 = $2; f1 = $3; h1 = $4; p1 = $5; x1 = $7 }
  END {
    if (!first || t1 == t0) { print "soak: run longer than a minute for growth figures"; exit }
    per_hour = 3600 / (t1 - t0)
    printf "after the first minute (%d s to %d s): RSS %+d KiB (%+.0f KiB/h), fds %+d, threads %+d, helpers %+d, X resources %+d\n",
      t0, t1, r1 - r0, (r1 - r0) * per_hour, f1 - f0, h1 - h0, p1 - p0, x1 - x0
  }' "$work/samples"
for m in start middle end; do
  printf 'marker %s: %s times\n' "$m" "$(grep -c "^marker $m\$" "$work/console" || true)"
done
