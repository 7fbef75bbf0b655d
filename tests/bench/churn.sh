#!/usr/bin/env bash
# churn.sh [BUILD_DIR] [NAVIGATIONS] [SCRIPT_ROUNDS]: instance lives in one `klp view` process on
# a private Xvfb. First a page of 5 tour embeds and a second page of 5 navigate to each other
# NAVIGATIONS times (default 100); on the second page the first embed's context menu is opened
# (a right click with xdotool) and left open while the page goes. Then a page adds 5 embeds by
# script, waits until each has started, removes them, SCRIPT_ROUNDS times (default 40). After
# each round the viewer's resident memory, descriptors, threads, npklod32-ui children and the
# X clients and resources on the display (xrestop) are sampled: on the first page once its
# embeds have started, on the script page once its embeds are removed. Prints a table per part
# and the change of each from the level after the first round to the last round. Exits 1 when a
# page got stuck or a count other than memory grew in the second half of a part.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
navigations=${2:-100}
script_rounds=${3:-40}
case $build in /*) ;; *) build=$repo/$build ;; esac
source "$here/sample.sh"
workdir churn "$build" Xvfb xrestop xdotool
rounds=$((navigations / 2))
hold_ms=1500  # a page stays this long once its embeds have started

embeds() {  # embeds PREFIX: five embeds as HTML
  local i
  for i in 1 2 3 4 5; do
    echo "<embed name=\"$1$i\" src=\"tour.klp\" type=\"application/kelvora-movie\" width=\"320\""
    echo " height=\"240\" autoplay=\"true\" showanchor=\"true\">"
  done
}
handlers() {  # handlers PREFIX: each embed's start marker counts
  local i
  for i in 1 2 3 4 5; do echo "function $1${i}_OnMarker(m) { if (m == 'start') started(); }"; done
}

# a.html and b.html: each reports "ready SIDE ROUND" once its five embeds have started, then goes
# to the other; a.html goes on to dyn.html after the last round.
page() {  # page SIDE NEXT STEP
  cat <<HTML
<!DOCTYPE html><html><body style="margin:0">
$(embeds "$1")
<script>
var round = +((/round=(\d+)/.exec(location.search) || [0, 1])[1]);
var count = 0;
function started() {
  if (++count != 5) return;
  console.log('ready $1 ' + round);
  var next = '$1' == 'a' && round == $rounds ? 'dyn.html' : '$2.html?round=' + (round + $3);
  setTimeout(function () { location.href = next; }, $hold_ms);
}
$(handlers "$1")
setTimeout(function () { if (count < 5) console.log('stuck $1 ' + round + ': ' + count + ' of 5 started'); }, 20000);
</script>
</body></html>
HTML
}
page a b 0 > "$work/a.html"
page b a 1 > "$work/b.html"

# dyn.html: adds five embeds, removes them once all have started, and reports "removed ROUND"
# after a settling pause.
cat > "$work/dyn.html" <<HTML
<!DOCTYPE html><html><body style="margin:0">
<div id="box"></div>
<script>
var round = 0, count = 0;
function add() {
  ++round;
  count = 0;
  document.getElementById('box').innerHTML = '$(embeds d | tr -d '\n')';
  setTimeout(function (r) { if (round == r && count < 5) console.log('stuck d ' + r + ': ' + count + ' of 5 started'); }, 20000, round);
}
function started() {
  if (++count != 5) return;
  document.getElementById('box').innerHTML = '';
  setTimeout(function () {
    console.log('removed ' + round);
    if (round < $script_rounds) setTimeout(add, $hold_ms); else console.log('script done');
  }, 500);
}
$(handlers d)
add();
</script>
</body></html>
HTML

start_xvfb "$work" 1400x1000
: > "$work/console"
"$build/klp" view --size 1400x1000 --plugin-dir "$build" "$work/a.html" > "$work/console" 2>&1 &
viewer=$!

# wait_for LINE: waits until the console has LINE, the viewer ends or a page reports being stuck.
wait_for() {
  local deadline=$((SECONDS + 60))
  until grep -qx "$1" "$work/console"; do
    if grep -q '^stuck' "$work/console" || ! kill -0 "$viewer" 2>/dev/null || ((SECONDS > deadline)); then
      echo "churn: waiting for \"$1\":" >&2
      grep -E '^(stuck|klp view)' "$work/console" >&2 || tail -n 5 "$work/console" >&2
      exit 1
    fi
    sleep 0.1
  done
}

start=$SECONDS
echo "navigation: $rounds rounds of a.html -> b.html -> a.html, 10 instance lives each"
sample_header round
for ((r = 1; r <= rounds; ++r)); do
  wait_for "ready a $r"
  sample "$viewer" "$r" "$work/navigation"
  if ((r < rounds)); then
    wait_for "ready b $r"
    sleep 0.3
    xdotool mousemove 160 120 click 3  # the first embed's context menu, left open
  fi
done
echo "($((SECONDS - start)) s)"

start=$SECONDS
echo "script: $script_rounds rounds of 5 embeds added and removed"
sample_header round
for ((r = 1; r <= script_rounds; ++r)); do
  wait_for "removed $r"
  sample "$viewer" "$r" "$work/script"
done
echo "($((SECONDS - start)) s)"

# The level after the first round is the second round's sample. A count grows when a round of
# the second half goes above the highest of the first half (a thread pool may keep one more
# thread once it has needed it); memory is compared between the middle and the last round.
status=0
for part in navigation script; do
  awk -v part="$part" '
    { row[NR] = $0 }
    END {
      if (NR < 4) { print part ": run at least 4 rounds for a level"; exit }
      mid = int((NR + 1) / 2)
      split(row[2], ref); split(row[mid], half); split(row[NR], last)
      for (r = 2; r <= NR; ++r) {
        split(row[r], v)
        for (i = 3; i <= 7; ++i) {
          if (r <= mid && v[i] > top[i]) top[i] = v[i]
          if (r > mid && v[i] > late[i]) late[i] = v[i]
        }
      }
      printf "%s, round %d to %d: RSS %+d KiB, fds %+d, threads %+d, helpers %+d, X clients %+d, X resources %+d\n",
        part, ref[1], last[1], last[2] - ref[2], last[3] - ref[3], last[4] - ref[4],
        last[5] - ref[5], last[6] - ref[6], last[7] - ref[7]
      printf "%s, RSS from round %d to %d: %+d KiB (%+.1f KiB a round)\n", part, half[1], last[1],
        last[2] - half[2], (last[2] - half[2]) / (last[1] - half[1])
      names = "fds threads helpers X-clients X-resources"
      split(names, name)
      grew = ""
      for (i = 3; i <= 7; ++i)
        if (late[i] > top[i]) grew = grew sprintf(" %s %d after %d", name[i - 2], late[i], top[i])
      print part ", grew in the second half:" (grew == "" ? " nothing" : grew)
      exit grew != ""
    }' "$work/$part" || status=1
done
exit "$status"
