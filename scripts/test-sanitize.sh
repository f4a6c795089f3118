#!/usr/bin/env bash
# Configures, builds and runs every test with the address and undefined-behaviour sanitizers, the leak
# checker included, in build-asan/ (or $KRVS_BUILD_DIR). Slow (about four times the normal build and
# suite), so it is run by hand before a release rather than by CI. Arguments go to ctest (-R, -E, -j).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KRVS_BUILD_DIR:-$root/build-asan}
"$root/scripts/setup.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKRVS_SANITIZE=address,undefined "${launcher[@]}"
fi
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# A finding ends the program with an error, so its test fails; leaks are checked at every program's exit.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure --timeout 900 -j "$(nproc)" "$@"
