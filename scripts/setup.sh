#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the IDE need. Idempotent: packages already
# present are left alone, and apt is not touched at all when nothing is missing. Works as root or via sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libqscintilla2-qt6-dev libsimpleini-dev
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  fonts-noto-cjk qt6-translations-l10n desktop-file-utils nasm xvfb xauth xdotool openbox imagemagick
  librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
