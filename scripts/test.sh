#!/usr/bin/env bash
# Sets up, builds and runs every test. This is the command CI runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KRVS_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
# An IDE started from this build tree makes bin/ its program home, and its build driver leaves its
# files beside the tools; TASM.Exe and TLink.Exe read the .CFG files there, so a user's last build
# would steer the tests' builds.
rm -f bin/Bin/TASM.CFG bin/Bin/TLink.CFG bin/Bin/Error.Txt bin/Bin/Runner.bat
ctest --output-on-failure -j "$(nproc)" "$@"
