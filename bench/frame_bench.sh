#!/usr/bin/env bash
# The sample frame window (the main program's common skin: title, minimise
# and close buttons, a text line, a wide button, the dimming overlay) under
# Wine, each figure beside a plain window doing the least the same step
# needs: skin load and first paint beside creating and painting a plain
# window; one border-drag step at 955 x 600 and at 1920 x 1080 (buffer
# rendered again, region cut, window moved and painted) beside resizing a
# plain window by the same pixel and painting it with one BitBlt; then the
# share of a core the frame window takes while idle, beside a plain window's.
# The display is 2560 x 1600 here, so the larger window fits on it.
# Usage: bench/frame_bench.sh [rounds=5] [idle seconds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

rounds=${1:-5}
idle=${2:-5}

bench_prepare "$@"
OV_SCREEN=2560x1600x24 bench_start_wine

work="$OV_BUILD/bench-frame"
mkdir -p "$work"
$WINE64 "$OV_BUILD/x86_64/bench/OvFrameWindowBench.exe" "$rounds" "$idle" </dev/null |
  tr -d '\r' >"$work/results.txt"

awk '{ v[$1] = $2 }
  END {
    printf "the sample frame window, best of each, beside a plain window:\n"
    printf "  skin load and first paint (first) %8.3f ms\n", v["load_cold"]
    printf "  skin load and first paint         %8.3f ms  %6.2f x plain create %.3f ms\n", v["load"], v["load"] / v["plain_create"], v["plain_create"]
    printf "  drag step at 955 x 600            %8.3f ms  %6.2f x plain resize %.3f ms (window %s)\n", v["drag_955x600"], v["drag_955x600"] / v["plain_955x600"], v["plain_955x600"], v["size_955x600"]
    printf "  drag step at 1920 x 1080          %8.3f ms  %6.2f x plain resize %.3f ms (window %s)\n", v["drag_1920x1080"], v["drag_1920x1080"] / v["plain_1920x1080"], v["plain_1920x1080"], v["size_1920x1080"]
    printf "  idle                              %8.2f %% of a core (plain window %.2f %%, with a 33 ms timer %.2f %%)\n", v["idle_cpu"], v["plain_idle_cpu"], v["plain_tick_idle_cpu"]
  }' "$work/results.txt"
rm -rf "$work"
