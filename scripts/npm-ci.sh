#!/usr/bin/env bash
# npm-ci.sh DIR: installs DIR's npm packages from its lock file (npm ci) when node_modules is
# missing or older than the lock file; does nothing otherwise.
set -euo pipefail
cd "$1"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
