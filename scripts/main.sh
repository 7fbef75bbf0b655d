#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the demo host against the sample
# project, printing what the plug-in did.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
./build/tests/host/klp_demo build/npklod32.so examples/demo/tour.klp
