# Sourced by the soak and churn scripts: a private X server, and samples of what one viewer
# process holds.

# stop PID: ends the process PID started (nothing when PID is empty or gone).
stop() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# workdir NAME BUILD_DIR TOOL...: checks that the build has the example tour and that each TOOL
# is installed, then makes the temporary folder $work holding a copy of the tour. The viewer
# ($viewer) and the X server ($xvfb_pid) are ended and the folder removed when the script exits.
workdir() {
  local name=$1 tour=$2/examples/tour tool
  shift 2
  [ -f "$tour/tour.webm" ] || { echo "$name: no example tour in $tour (build first)" >&2; exit 1; }
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      { echo "$name: $tool is missing (bash scripts/install-deps.sh --tools)" >&2; exit 1; }
  done
  work=$(mktemp -d "/tmp/klp-$name.XXXXXX")
  viewer=
  xvfb_pid=
  trap 'stop "$viewer"; stop "$xvfb_pid"; rm -rf "$work"' EXIT
  cp "$tour/tour.webm" "$tour/tour.klp" "$work/"
}

# start_xvfb DIR WxH: starts Xvfb on a free display (its number written to DIR/display), exports
# DISPLAY and sets xvfb_pid.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$2x24" -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
  xvfb_pid=$!
  local i
  for ((i = 0; i < 100; ++i)); do
    [ -s "$1/display" ] && break
    sleep 0.1
  done
  [ -s "$1/display" ] || { echo "Xvfb did not start (is the xvfb package installed?)" >&2; return 1; }
  export DISPLAY=":$(head -n 1 "$1/display")"
}

# x_resources: the X clients on DISPLAY and the resources they hold, as "clients resources", the
# server's own (resource base 0) and xrestop's left out (the display is private, so every other
# client is the viewer's or its helpers').
x_resources() {
  xrestop -b -m 1 | awk '
    function end() { if (name != "" && name != "xrestop" && base != "0") { clients++; total += sum } }
    /^[0-9]+ - / { end(); name = $3; base = ""; sum = 0; next }
    /^\tres_base *:/ { base = $NF; next }
    /^\t(windows|GCs|fonts|pixmaps|pictures|glyphsets|colormaps|passive grabs|cursors|unknowns) *:/ {
      sum += $NF }
    END { end(); printf "%d %d\n", clients, total }'
}

sample_header() {  # sample_header FIRST: the column titles after FIRST
  printf '%6s %10s %6s %8s %8s %9s %7s\n' "$1" "RSS KiB" "fds" "threads" "helpers" "X clients" "X res"
}

# sample PID LABEL FILE: one row for the process PID (resident memory, open descriptors, threads,
# npklod32-ui children) and the X resources on DISPLAY; printed, and appended to FILE as
# "LABEL rss fds threads helpers xclients xres".
sample() {
  local rss fds threads helpers x
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status")
  fds=$(ls "/proc/$1/fd" | wc -l)
  threads=$(awk '/^Threads:/ { print $2 }' "/proc/$1/status")
  helpers=$(pgrep -c -P "$1" -x npklod32-ui || true)
  x=$(x_resources)
  printf '%6s %10s %6s %8s %8s %9s %7s\n' "$2" "$rss" "$fds" "$threads" "$helpers" $x
  echo "$2 $rss $fds $threads $helpers $x" >> "$3"
}
