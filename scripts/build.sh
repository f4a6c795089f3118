#!/usr/bin/env bash
# Configures and builds the whole tree in build/ (or $KRVS_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KRVS_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
launcher=()
# Let ccache share objects between checkouts in different folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" "$@"
fi
cmake --build "$build" -j "$(nproc)"
