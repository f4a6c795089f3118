#!/usr/bin/env bash
# Sets up, builds and starts the IDE; any arguments (a source file) go to it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KRVS_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
exec "$build/bin/korvash" "$@"
