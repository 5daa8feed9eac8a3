#!/usr/bin/env bash
# A 955 x 600 skinned window (36 buttons with captions, six text lines, three
# running animations, a shaped region) under Wine: the pointer moving from
# one button to the next, a full redraw of the items, a full rebuild of the
# buffer and region, beside one BitBlt of the whole client; then the share of
# a core the window takes while idle with its animations running.
# Usage: bench/skinwindow_bench.sh [rounds=5] [idle seconds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

rounds=${1:-5}
idle=${2:-5}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-skinwindow"
mkdir -p "$work"
$WINE64 "$OV_BUILD/x86_64/bench/OvSkinWindowBench.exe" "$rounds" "$idle" </dev/null |
  tr -d '\r' >"$work/results.txt"

awk '{ v[$1] = $2 }
  END {
    printf "a 955 x 600 skinned window, best of each:\n"
    printf "  hover from button to button  %8.3f ms  %6.2f x one full copy\n", v["hover"], v["hover"] / v["copy"]
    printf "  full redraw of the items     %8.3f ms  %6.2f x one full copy\n", v["redraw"], v["redraw"] / v["copy"]
    printf "  full rebuild with region     %8.3f ms  %6.2f x one full copy\n", v["rebuild"], v["rebuild"] / v["copy"]
    printf "  one full copy (BitBlt)       %8.3f ms\n", v["copy"]
    printf "  idle with three animations   %8.2f %% of a core\n", v["idle_cpu"]
  }' "$work/results.txt"
