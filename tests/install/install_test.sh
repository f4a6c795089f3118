#!/usr/bin/env bash
# The desktop install as a user meets it: `cmake --install` of the build tree into a fresh prefix, then,
# as a user with a fresh home who cannot write the program directory, a first start of the installed IDE
# (which sets the program home up under ~/.local/share/Korvash and takes the .asm association) and an
# installed example assembled, linked and run with the tools seen from that home.
# Needs Xvfb, openbox and xdotool (scripts/setup.sh installs them).
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
for f in "$source"/resources/examples/*.ASM; do
  [ -f "$program/Examples/$(basename "$f")" ] || fail "example $(basename "$f") is not installed in lib/korvash/Examples"
done
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
fi
display=
# Runs "$@" as the user in a clean environment. Not a function for what runs in the background: $! of a
# backgrounded function is its subshell, and killing that leaves the program running.
user_env() { as=(env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" QT_QPA_PLATFORM=xcb "${as_user[@]}"); }
run_user() { user_env; "${as[@]}" "$@"; }

# A first start of the installed copy on an X server: it asks to become the program for .asm files
# (Return answers yes), shows its main window and closes it again (the start-up measurement path), and
# sets the program home up under the user's home.
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  [ "$(id -u)" -eq 0 ] || chmod -R u+w "$program"
  rm -rf "$work"
}
trap cleanup EXIT
# The server picks a free display itself, so that tests running at the same time do not collide.
touch "$work/display"; chmod 666 "$work/display"
user_env
"${as[@]}" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=:$(head -1 "$work/display")
for _ in $(seq 50); do run_user xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
user_env
"${as[@]}" openbox >/dev/null 2>&1 & pids+=($!)
cd "$home"
user_env
"${as[@]}" env KRVS_MEASURE_STARTUP=1 "$prefix/bin/korvash" </dev/null >"$work/korvash.log" 2>&1 & korvash=$!
for _ in $(seq 60); do
  sleep 2
  kill -0 "$korvash" 2>/dev/null || break
  run_user xdotool key Return >/dev/null 2>&1 || true
done
if kill -0 "$korvash" 2>/dev/null; then
  kill "$korvash"
  cat "$work/korvash.log" >&2
  fail "the installed korvash did not start and quit within 120 s"
fi
wait "$korvash" || { cat "$work/korvash.log" >&2; fail "the installed korvash failed"; }
grep -q "main window shown" "$work/korvash.log" || { cat "$work/korvash.log" >&2; fail "the installed korvash showed no main window"; }
korvash_home=$home/.local/share/Korvash
for f in korvash KRVS.html Examples/HELLO.ASM Bin/TASM.Exe Bin/TLink.Exe Bin/krvscmd; do
  [ -e "$korvash_home/$f" ] || fail "the program home lacks $f"
done
[ "$(readlink -f "$korvash_home/Bin/TASM.Exe")" = "$(readlink -f "$program/Bin/TASM.Exe")" ] ||
  fail "the program home's TASM.Exe is not the installed one"

# The association the first start wrote for the user says what the installed entry says, for the copy
# in the program home.
user_entry=$home/.local/share/applications/korvash.desktop
[ -f "$user_entry" ] || fail "the first start wrote no desktop entry for the .asm association"
grep -qx "Exec=\"$korvash_home/korvash\" %f" "$user_entry" || fail "the user's desktop entry does not start the program home's korvash"
diff <(grep -v '^Exec=\|^Icon=' "$desktop") <(grep -v '^Exec=\|^Icon=' "$user_entry") >&2 ||
  fail "the installed desktop entry and the user's differ"

# An installed example built and run with the tools as the IDE finds them in the program home.
expected=$source/tests/examples/data/HELLO/expected.stdout
scratch=$home/hello
run_user mkdir "$scratch"
run_user cp "$korvash_home/Examples/HELLO.ASM" "$scratch/"
tools=$korvash_home/Bin
(cd "$scratch" && run_user "$tools/TASM.Exe" HELLO.ASM >"$work/tasm.log" 2>&1) || { cat "$work/tasm.log" >&2; fail "TASM.Exe failed"; }
(cd "$scratch" && run_user "$tools/TLink.Exe" HELLO >"$work/tlink.log" 2>&1) || { cat "$work/tlink.log" >&2; fail "TLink.Exe failed"; }
(cd "$scratch" && run_user timeout 60 "$tools/krvscmd" /c HELLO.EXE >"$work/run.out" 2>&1) || { cat "$work/run.out" >&2; fail "krvscmd failed"; }
cmp -s "$work/run.out" "$expected" || { cat "$work/run.out" >&2; fail "HELLO printed something other than $expected"; }
echo "install test: installed, started and built a program from $prefix"
