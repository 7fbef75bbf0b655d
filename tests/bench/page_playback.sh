#!/usr/bin/env bash
# page_playback.sh [BUILD_DIR] [SECONDS]: what a page playing a movie costs, against a native
# player of the same movie at the same size.
#
# Makes a 1280x720, 30 fps clip (H.264 in MP4 and MJPEG in AVI) of SECONDS (default 20) and a
# project with 20 hot spots moving over it the whole time, then plays, each on its own Xvfb:
#   - the page in `klp view`, its embed at 1:1, half size and enlarged;
#   - gst-launch decoding into ximagesink, scaled to the same size by videoscale;
#   - the floor: the same page with a module of the plug-in's type that decodes nothing and only
#     repaints its area at the movie's rate (tests/bench/floor_module.cpp), which is what the
#     browser's windowless path costs by itself.
# Prints, per case: CPU seconds of the player process (with its children), of the X server, the
# ratio of their sum to the native player's at that size, and the frames painted against the
# frames in the movie (the plug-in and the floor count them into KLP_PAINT_STATS).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
seconds=${2:-20}
case $build in /*) ;; *) build=$repo/$build ;; esac
fps=30
frames=$((seconds * fps))

work=$(mktemp -d /tmp/klp-page-bench.XXXXXX)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

clip() {  # clip FILE ENCODER... : the ball test picture, encoded
  local file=$1
  shift
  gst-launch-1.0 -q videotestsrc pattern=ball num-buffers=$frames \
    ! "video/x-raw,width=1280,height=720,framerate=$fps/1" ! "$@" \
    ! filesink location="$work/$file" >/dev/null
}
clip h264.mp4 x264enc speed-preset=veryfast key-int-max=60 ! mp4mux
clip mjpeg.avi jpegenc quality=85 ! avimux

# 20 hot spots crossing the picture, each on its own row, for the whole movie.
project() {  # project MOVIE > KLP
  echo "[Global]"
  echo "KLPVersion=1.00"
  echo "Source=$1"
  echo "HotSpot=20"
  echo "Effect=20"
  echo
  echo "[HotSpot]"
  local i
  for i in $(seq 0 19); do
    local top=$((i * 34 + 10)) left=$(((i * 53) % 400))
    echo "(h$i::R:0-$((frames - 1)):2)"
    echo "0:$left,$top,$((left + 120)),$((top + 30))"
    echo "$((frames - 1)):$((left + 760)),$top,$((left + 880)),$((top + 30))"
  done
  echo
  echo "[Effect]"
  for i in $(seq 0 19); do echo "h$i:00FF00:2:FFFF00:1"; done
}
page() {  # page PROJECT WIDTH HEIGHT [ATTRIBUTES] > HTML
  cat <<EOF
<!DOCTYPE html>
<html><body style="margin:0">
<embed name="m1" src="$1" type="application/kelvora-movie" width="$2" height="$3"
       autoplay="true" autorepeat="false" showanchor="true"${4:+ $4}>
</body></html>
EOF
}
for movie in h264.mp4 mjpeg.avi; do project "$movie" > "$work/${movie%%.*}.klp"; done

start_xvfb() {
  exec 9< <(Xvfb -displayfd 1 -screen 0 1920x1200x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
  local line
  read -r line <&9
  xvfb_pid=${line#pid }
  read -r display <&9
  export DISPLAY=:$display
}
stop_xvfb() {
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
  exec 9<&-
}
cpu_of() {  # cpu_of PID: its user plus system seconds so far
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"
}

# run_case COMMAND...: sets proc, xcpu and status (the command's exit status)
run_case() {
  start_xvfb
  local times=$work/times
  status=0
  /usr/bin/time -f "%U %S" -o "$times" "$@" >/dev/null 2>&1 || status=$?
  proc=$(tail -n 1 "$times" | awk '{ printf "%.2f", $1 + $2 }')
  xcpu=$(cpu_of "$xvfb_pid")
  stop_xvfb
}

native() {  # native MOVIE WIDTH HEIGHT
  run_case timeout $((seconds + 10)) gst-launch-1.0 -q filesrc location="$work/$1" ! decodebin \
    ! videoconvert ! videoscale ! "video/x-raw,width=$2,height=$3" ! ximagesink
}
plugin() {  # plugin MOVIE WIDTH HEIGHT [PLUGIN_DIR]
  local name=${1%%.*}
  # The floor takes the movie's length and rate from its attributes.
  page "$name.klp" "$2" "$3" ${4:+"frames=\"$frames\" fps=\"$fps\""} > "$work/$name-$2.html"
  rm -f "$work/stats"
  KLP_PAINT_STATS=$work/stats run_case "$build/klp" view --size 1900x1100 \
    --plugin-dir "${4:-$build}" --quit-after $((seconds + 2)) "$work/$name-$2.html"
  painted=$(awk '/^painted/ { n += $2 } END { print n + 0 }' "$work/stats" 2>/dev/null || echo 0)
}
floor_dir=$build/tests/bench/floor

failed=0
printf '%-7s %-10s %-9s %8s %8s %7s %14s\n' movie size player "proc s" "X s" ratio "frames"
for movie in h264.mp4 mjpeg.avi; do
  for size in 1280x720 640x360 1600x900; do
    w=${size%x*} h=${size#*x}
    native "$movie" "$w" "$h"
    base=$(awk -v a="$proc" -v b="$xcpu" 'BEGIN { print a + b }')
    printf '%-7s %-10s %-9s %8s %8s %7s %14s\n' "${movie%%.*}" "$size" native "$proc" "$xcpu" 1.00 "-"
    [ "$status" = 0 ] || failed=1
    plugin "$movie" "$w" "$h"
    ratio=$(awk -v a="$proc" -v b="$xcpu" -v c="$base" 'BEGIN { printf "%.2f", (a + b) / c }')
    printf '%-7s %-10s %-9s %8s %8s %7s %14s\n' "${movie%%.*}" "$size" plug-in "$proc" "$xcpu" "$ratio" \
      "$painted/$frames"
    [ "$status" = 0 ] && [ "$painted" -gt 0 ] || failed=1
    [ -f "$floor_dir/npklod32.so" ] || continue
    plugin "$movie" "$w" "$h" "$floor_dir"
    ratio=$(awk -v a="$proc" -v b="$xcpu" -v c="$base" 'BEGIN { printf "%.2f", (a + b) / c }')
    printf '%-7s %-10s %-9s %8s %8s %7s %14s\n' "${movie%%.*}" "$size" floor "$proc" "$xcpu" "$ratio" \
      "$painted/$frames"
    [ "$status" = 0 ] && [ "$painted" -gt 0 ] || failed=1
  done
done
if [ "$failed" != 0 ]; then
  echo "page_playback: a player failed, or the plug-in or the floor painted nothing" >&2
  exit 1
fi
