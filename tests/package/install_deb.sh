#!/usr/bin/env bash
# install_deb.sh [BUILD_DIR]: checks the Debian package BUILD_DIR/deb/npklod32_*.deb (made by
# scripts/build-deb.sh) on this machine: lintian finds no errors; `apt-get install ./DEB`
# installs it with its dependencies declared; `klp view --headless` plays the installed tour
# with the installed plug-in; `man -w` finds the manual pages; `apt-get purge` leaves nothing of
# it behind. Changes the machine's package state, so it needs root and leaves the package purged
# even when a step fails. Skips (exit 0) when not root or when npklod32 is already installed.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}

if [ "$(id -u)" != 0 ]; then
  echo "install_deb.sh: skipped: installing a package needs root"
  exit 0
fi
# npklod32's dpkg status: "" when dpkg knows nothing of it.
status() { dpkg-query -W -f='${Status}' npklod32 2>/dev/null || true; }
case $(status) in ""|*" not-installed") ;; *)
  echo "install_deb.sh: skipped: npklod32 is installed already; remove it to run this test"
  exit 0 ;;
esac
if grep -qs '^path-exclude.*/usr/share/\(man\|doc\)' /etc/dpkg/dpkg.cfg.d/*; then
  echo "install_deb.sh: skipped: dpkg here leaves out manual pages and documentation (path-exclude in /etc/dpkg/dpkg.cfg.d)"
  exit 0
fi
debs=("$build"/deb/npklod32_*_amd64.deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "install_deb.sh: expected one package in $build/deb; run scripts/build-deb.sh $build" >&2
  exit 1
fi
deb=$(realpath "${debs[0]}")
version=$(sed -n '1s/^npklod32 (\([^)]*\)).*/\1/p' packaging/deb/changelog)

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() {  # what expected actual
  if [ "$2" != "$3" ]; then fail "$1: expected '$2', got '$3'"; fi
}

apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=120 "$@"
}
tmp=$(mktemp -d /tmp/klp-deb-test.XXXXXX)
cleanup() {
  case $(status) in ""|*" not-installed") ;; *) apt_get purge npklod32 >/dev/null || true ;; esac
  rm -rf "$tmp"
}
trap cleanup EXIT

# The package itself: name, version, and dependencies computed from the binaries.
expect_eq "file name" "npklod32_${version}_amd64.deb" "$(basename "$deb")"
expect_eq "version" "$version" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libgstreamer1.0-0 libgtk-3-0 libqt5webkit5 libcpp-httplib0.11 libc6; do
  [[ ", $depends" == *", $lib (>= "* ]] || fail "Depends has no versioned $lib: $depends"
done
[[ "$depends," == *", libx11-6,"* ]] || fail "Depends lacks libx11-6: $depends"
[[ "$depends" == *"gstreamer1.0-plugins-good"* ]] || fail "Depends lacks the media elements: $depends"

if command -v lintian >/dev/null; then
  lintian --allow-root "$deb" >"$tmp/lintian" 2>&1 || true
  cat "$tmp/lintian"
  if grep -q '^E: ' "$tmp/lintian"; then fail "lintian reports errors"; fi
else
  echo "install_deb.sh: lintian not installed; not run"
fi

# What it holds, to look for after the purge.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\.||; s|/$||' | grep -v '^$' >"$tmp/paths"
for path in /usr/lib/mozilla/plugins/npklod32.so /usr/lib/mozilla/plugins/npklod32-ui /usr/bin/klp \
    /usr/share/npklod32/web/klp.js /usr/share/npklod32/web/klp.wasm \
    /usr/share/npklod32/web/klp-edit.js /usr/share/npklod32/web/klp-edit.wasm \
    /usr/share/npklod32/edit/index.html /usr/share/npklod32/edit/edit.js \
    /usr/share/man/man1/klp.1.gz /usr/share/man/man1/klp-view.1.gz \
    /usr/share/man/man1/klp-check.1.gz /usr/share/man/man1/klp-info.1.gz \
    /usr/share/man/man1/klp-edit.1.gz \
    /usr/share/doc/npklod32/copyright /usr/share/doc/npklod32/changelog.gz \
    /usr/share/doc/npklod32/page-authors.md /usr/share/doc/npklod32/examples/tour/index.html; do
  grep -qxF "$path" "$tmp/paths" || fail "the package lacks $path"
done

apt_get install --no-install-recommends "$deb" >"$tmp/install" 2>&1 || {
  cat "$tmp/install"; fail "apt-get install $deb"; exit 1; }

# The installed tour with the installed plug-in, away from the build tree.
tour=/usr/share/doc/npklod32/examples/tour
(cd "$tmp" && timeout 60 /usr/bin/klp view --headless --quit-after 3 "$tour/index.html" \
  >"$tmp/view" 2>&1) || fail "klp view exited with $?"
for line in "marker start" "event bell"; do
  grep -qxF "$line" "$tmp/view" || fail "klp view printed no '$line'"
done
[ "$(readlink -f "$tour/klp.js")" = /usr/share/npklod32/web/klp.js ] ||
  fail "the tour's klp.js is not the installed runtime"
# klp edit, installed: its page and the editing module are served from under /usr/share.
/usr/bin/klp edit "$tour/tour.webm" "$tmp/edit.klp" --no-open >"$tmp/edit" 2>&1 &
edit_pid=$!
for _ in $(seq 50); do grep -q '^http://' "$tmp/edit" && break; sleep 0.2; done
edit_url=$(grep -m1 '^http://' "$tmp/edit" || true)
get() {  # PATH under the session: the status line and the body
  local hostport=${edit_url#http://}; hostport=${hostport%%/*}
  local token=${edit_url#http://*/}; token=${token%/}
  exec 3<>"/dev/tcp/${hostport%:*}/${hostport#*:}"
  printf 'GET /%s/%s HTTP/1.0\r\nHost: %s\r\n\r\n' "$token" "$1" "$hostport" >&3
  cat <&3
  exec 3<&-
}
if [ -z "$edit_url" ]; then
  fail "klp edit printed no address: $(cat "$tmp/edit")"
else
  page=$(get "")
  [[ $page == *'<title>klp edit</title>'* ]] || fail "klp edit did not serve its page: $page"
  module=$(get klp-edit.js)
  [[ ${module%%$'\r'*} == 'HTTP/1.1 200 OK' ]] || fail "klp edit did not serve klp-edit.js: ${module%%$'\r'*}"
fi
kill "$edit_pid" 2>/dev/null; wait "$edit_pid" 2>/dev/null || true

for page in klp klp-view klp-check klp-info klp-edit; do
  expect_eq "man -w $page" "/usr/share/man/man1/$page.1.gz" "$(man -w "$page" 2>&1)"
done
if [ $failures != 0 ]; then echo "klp view printed:"; cat "$tmp/view"; fi

apt_get purge npklod32 >"$tmp/purge" 2>&1 || { cat "$tmp/purge"; fail "apt-get purge npklod32"; }
case $(status) in ""|*" not-installed") ;; *) fail "npklod32 after the purge: $(status)" ;; esac
while read -r path; do
  case $path in
    /usr|/usr/bin|/usr/lib|/usr/lib/mozilla|/usr/lib/mozilla/plugins|/usr/share|/usr/share/doc|\
    /usr/share/man|/usr/share/man/man1) continue ;;  # shared with other packages
  esac
  if [ -e "$path" ] || [ -L "$path" ]; then fail "left after the purge: $path"; fi
done <"$tmp/paths"

if [ $failures != 0 ]; then
  echo "install_deb.sh: $failures failure(s)" >&2
  exit 1
fi
echo "install_deb.sh: $(basename "$deb") installs, plays the tour, has its manual pages, purges clean"
