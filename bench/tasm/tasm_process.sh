#!/usr/bin/env bash
# The whole TASM.Exe as the IDE starts it, on the generated programs of 10,000, 100,000 and
# 1,000,000 lines: its peak memory against three times the source, and lines per second of wall time.
#
#   bench/tasm/tasm_process.sh [build dir] [runs] [TASM.Exe]
#
# The third argument measures another build's assembler on the same programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
tasm=$(realpath "${3:-$build/bin/Bin/TASM.Exe}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
printf "%9s %10s %10s %12s %12s\n" lines source_kb peak_kb 3x_source_kb lines/s
for lines in 10000 100000 1000000; do
  "$build/bin/bench_tasm" --write-program=$lines BIG.ASM
  bytes=$(stat -c %s BIG.ASM)
  # The generator rounds to whole blocks: count the lines it wrote.
  count=$(wc -l < BIG.ASM)
  read -r _ peak _ ms _ < <("$build/bin/bench_peak" "$runs" "$tasm" BIG.ASM)
  awk -v n="$count" -v kb=$((bytes / 1024)) -v peak="$peak" -v ms="$ms" \
    'BEGIN { printf "%9d %10d %10d %12d %12.0f\n", n, kb, peak, 3 * kb, n * 1000 / ms }'
done
