#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Does nothing when all are present.
# --tools: also those of the scripts that CI does not run (tests/memcheck, tests/bench/churn.sh).
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libx11-dev libxext-dev libxfixes-dev libpixman-1-dev libglib2.0-dev libgtk-3-dev xdotool
  qtbase5-dev libqt5webkit5-dev xvfb xauth time
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-x
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav
  emscripten chromium firefox-esr
  lintian man-db
  libcpp-httplib-dev
)
[ "${1:-}" = --tools ] && packages+=(valgrind xrestop)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
