#!/usr/bin/env bash
# Sets up, builds and runs every test. This is the command CI runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KRVS_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
