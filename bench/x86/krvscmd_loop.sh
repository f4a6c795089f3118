#!/usr/bin/env bash
# A whole program run by krvscmd, process start to exit: a .COM whose inner loop is register
# arithmetic and a memory store, on the emulated PC with its timer running. Prints the median of
# several runs as millions of emulated instructions per second of the process's CPU time.
#
#   bench/x86/krvscmd_loop.sh [path/to/krvscmd] [runs] [outer passes]
#
# The program (each outer pass runs the inner loop 65536 times):
#   100 BD nnnn    mov bp,passes        10E 89 05   mov [di],ax
#   103 BF 0002    mov di,200h          110 29 CB   sub bx,cx
#   106 B9 0000    mov cx,0             112 E2 F5   loop 109
#   109 01 D8      add ax,bx            114 4D      dec bp
#   10B 31 C2      xor dx,ax            115 75 EF   jnz 106
#   10D 46         inc si               117 B8 004C mov ax,4C00h / 11A CD 21 int 21h
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
krvscmd=$(realpath "${1:-$root/build/bin/Bin/krvscmd}")
runs=${2:-7}
passes=${3:-600}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
lo=$((passes & 0xFF)); hi=$((passes >> 8))
printf "\xBD\\x$(printf %02x $lo)\\x$(printf %02x $hi)\xBF\x00\x02\xB9\x00\x00\x01\xD8\x31\xC2\x46\x89\x05\x29\xCB\xE2\xF5\x4D\x75\xEF\xB8\x00\x4C\xCD\x21" >"$dir/LOOP.COM"
# 3 + passes * (1 + 6 * 65536 + 2) + 2 instructions, the timer interrupts not counted.
instructions=$((3 + passes * (3 + 6 * 65536) + 2))
# The figure is the process's CPU time (user + system), as the other benchmarks count, so that other
# work on a shared machine does not count against it; the wall time is printed beside it.
cpu=()
wall=()
TIMEFORMAT='%3U %3S %3R'
for ((i = 0; i < runs; i++)); do
  t=$( { time (cd "$dir" && "$krvscmd" /c LOOP.COM </dev/null >/dev/null); } 2>&1 )
  read -r user sys real <<<"$t"
  cpu+=($(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000000 }'))
  wall+=($(awk -v r="$real" 'BEGIN { printf "%d", r * 1000000 }'))
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
mc=$(median "${cpu[@]}")
mw=$(median "${wall[@]}")
echo "krvscmd LOOP.COM: $instructions instructions, median of $runs runs: CPU $((mc / 1000)) ms," \
  "$(awk -v n="$instructions" -v us="$mc" 'BEGIN { printf "%.0f", n / us }') M instructions/s" \
  "(wall $((mw / 1000)) ms, $(awk -v n="$instructions" -v us="$mw" 'BEGIN { printf "%.0f", n / us }') M/s)"
