#!/usr/bin/env bash
# Host instructions per emulated instruction on bench_x86's two loops, counted by callgrind: the
# difference between a run of 11 million and one of 1 million instructions, over 10 million (so the
# start-up and the warm-up cancel out). Needs valgrind.
#
#   bench/x86/host_instructions.sh [path/to/bench_x86_count]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
count=$(realpath "${1:-$root/build/bin/bench_x86_count}")
collected() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$count" "$1" "$2" 2>&1 | awk '/Collected/ { print $4 }'
}
for loop in arith moves; do
  a=$(collected "$loop" 0)
  b=$(collected "$loop" 10)
  echo "$loop: $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.1f", (b - a) / 1e7 }') host instructions per emulated instruction"
done
