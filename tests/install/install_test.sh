#!/usr/bin/env bash
# The desktop install as a user meets it: `cmake --install` of the build tree into a fresh prefix, then,
# as a user with a fresh home who cannot write the program directory, a start of the installed IDE (which
# sets the program home up under ~/.local/share/Korvash) and a program assembled, linked and run with the
# tools seen from that home.
# Usage: install_test.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d /tmp/krvs-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
home=$work/home
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# What the install must place.
program=$prefix/lib/korvash
for f in korvash KRVS.html WD.dat korvash.png \
         Bin/TASM.Exe Bin/TLink.Exe Bin/DEBUG.EXE Bin/krvscmd Bin/Rtm.EXe Bin/TD.Exe Bin/TD.Pif Bin/TDConfig.TD \
         ../../share/applications/korvash.desktop ../../share/icons/hicolor/scalable/apps/korvash.svg; do
  [ -f "$program/$f" ] || fail "missing after install: lib/korvash/$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/korvash.png
  [ -f "$png" ] || fail "missing icon $png"
  # The PNG header's width field (bytes 17-20, big-endian) says the size the theme directory promises.
  width=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  [ "$width" = "$size" ] || fail "icon ${size}x${size} is $width pixels wide"
done
[ "$(readlink "$prefix/bin/korvash")" = "../lib/korvash/korvash" ] || fail "bin/korvash is not a link to ../lib/korvash/korvash"
if [ -d "$source/resources/examples" ]; then
  [ -d "$program/Examples" ] || fail "the example programs are not installed (lib/korvash/Examples)"
  for f in "$source"/resources/examples/*.ASM; do  # the programs; the folder also holds its CMakeLists.txt
    [ -e "$program/Examples/$(basename "$f")" ] || fail "example $(basename "$f") is not installed"
  done
fi
desktop=$prefix/share/applications/korvash.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects korvash.desktop"
fi
grep -qx 'Exec=korvash %f' "$desktop" || fail "the desktop entry does not start korvash with the file"
grep -qx 'MimeType=text/x-asm;' "$desktop" || fail "the desktop entry does not claim text/x-asm"

# The user: a fresh home and no right to write the program directory (root writes anywhere, so root
# plays the user nobody).
mkdir -p "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod -R a-w "$program"
  trap 'chmod -R u+w "$program"; rm -rf "$work"' EXIT
fi
run_user() {
  env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$@"
}

# A start from the installed copy: the main window is shown and closed again (the start-up measurement
# path), and the program home is set up under the user's home.
(cd "$home" && run_user env KRVS_MEASURE_STARTUP=1 timeout 120 "$prefix/bin/korvash" </dev/null >"$work/korvash.log" 2>&1) ||
  { cat "$work/korvash.log" >&2; fail "the installed korvash did not start and quit"; }
grep -q "main window shown" "$work/korvash.log" || { cat "$work/korvash.log" >&2; fail "the installed korvash showed no main window"; }
korvash_home=$home/.local/share/Korvash
for f in korvash KRVS.html Bin/TASM.Exe Bin/TLink.Exe Bin/krvscmd; do
  [ -e "$korvash_home/$f" ] || fail "the program home lacks $f"
done
[ "$(readlink -f "$korvash_home/Bin/TASM.Exe")" = "$(readlink -f "$program/Bin/TASM.Exe")" ] ||
  fail "the program home's TASM.Exe is not the installed one"

# A program built and run with the tools as the IDE finds them in the program home.
src=$source/tests/data/corpus/HELLOEXE
scratch=$home/hello
run_user mkdir "$scratch"
run_user cp "$src/HELLOEXE.ASM" "$scratch/"
tools=$korvash_home/Bin
(cd "$scratch" && run_user "$tools/TASM.Exe" HELLOEXE.ASM >"$work/tasm.log" 2>&1) || { cat "$work/tasm.log" >&2; fail "TASM.Exe failed"; }
(cd "$scratch" && run_user "$tools/TLink.Exe" HELLOEXE >"$work/tlink.log" 2>&1) || { cat "$work/tlink.log" >&2; fail "TLink.Exe failed"; }
(cd "$scratch" && run_user timeout 60 "$tools/krvscmd" /c HELLOEXE.EXE >"$work/run.out" 2>&1) || { cat "$work/run.out" >&2; fail "krvscmd failed"; }
cmp -s "$work/run.out" "$src/expected.stdout" || { cat "$work/run.out" >&2; fail "the program printed something other than expected.stdout"; }
echo "install test: installed, started and built a program from $prefix"
