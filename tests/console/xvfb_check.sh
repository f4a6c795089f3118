#!/usr/bin/env bash
# Rtm.EXe on a real X server (Xvfb with openbox): keys typed with xdotool go through X, the window's key
# table and the emulated keyboard controller to INT 21h, INT 16h and an INT 9 hook; a program's colours
# and box in video memory reach the screen; the window closes on the key after PAUSE.
# Usage: xvfb_check.sh TOOLS_DIR TEST_DATA_DIR
set -euo pipefail
tools=$1
data=$2
work=$(mktemp -d)
display=:$((200 + $$ % 500))
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "xvfb_check: $*" >&2; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 & pids+=($!)
sleep 0.5
cp "$data"/console/*.COM "$work"/
printf 'echo off\r\ncls\r\n%%1\r\necho.\r\nPause\r\n' > "$work/Runner.bat"
cd "$work"

# Waits up to 15 s for the window titled with $1 and gives it the keyboard (a loaded machine is slow).
activate() {
  for _ in $(seq 150); do
    win=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
    if [ -n "$win" ]; then
      xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win" >/dev/null 2>&1 || true
      return
    fi
    sleep 0.1
  done
  fail "no window titled $1"
}

# Waits for the Rtm.EXe whose pid is $1 to end within 10 s; its exit code goes to $code.
await() {
  for _ in $(seq 100); do
    if ! kill -0 "$1" 2>/dev/null; then
      code=0
      wait "$1" || code=$?
      return
    fi
    sleep 0.1
  done
  fail "Rtm.EXe did not close"
}

# The box: yellow (FFFF55) on blue drawn by SCREEN.COM into B800h must be on the X screen.
"$tools/Rtm.EXe" "$work/Runner.bat" "$work/SCREEN.COM" 2>/dev/null & rtm=$!; pids+=($rtm)
activate SCREEN.COM
sleep 1
import -window root "$work/shot.png"
[ -n "${KRVS_CONSOLE_SHOT:-}" ] && cp "$work/shot.png" "$KRVS_CONSOLE_SHOT"
colours=$(convert "$work/shot.png" -format %c histogram:info:-)
grep -qi "#FFFF55" <<<"$colours" || fail "the yellow box is not on the screen"
grep -qi "#0000AA" <<<"$colours" || fail "the blue background is not on the screen"
xdotool key space
await $rtm
[ "$code" = 0 ] || fail "Rtm.EXe ended with $code after SCREEN.COM"

# KEYS.COM ends with the number of keys it read through INT 16h as its exit code, which Rtm.EXe returns.
"$tools/Rtm.EXe" "$work/Runner.bat" "$work/KEYS.COM" 2>/dev/null & rtm=$!; pids+=($rtm)
activate KEYS.COM
sleep 0.5
xdotool type --delay 30 "hello"
xdotool key --delay 30 Return a Left F1 ctrl+Right alt+x End Escape
sleep 0.5
import -window root "$work/keys.png"
[ -n "${KRVS_CONSOLE_KEYS_SHOT:-}" ] && cp "$work/keys.png" "$KRVS_CONSOLE_KEYS_SHOT"
xdotool key space
await $rtm
[ "$code" = 6 ] || fail "KEYS.COM read $code keys through INT 16h, not 6"
echo "xvfb_check: passed"
