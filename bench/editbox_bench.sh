#!/usr/bin/env bash
# Edit box items under Wine: N characters typed into each kind of box (plain
# EDIT, capitals-and-digits EDIT, narrow rich, wide rich with Japanese) and
# one filtered paste of N characters, each beside the same work on a bare
# control of the same class, with the ratio of the two.
# Usage: bench/editbox_bench.sh [characters=1000] [rounds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

count=${1:-1000}
rounds=${2:-5}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-editbox"
mkdir -p "$work"
$WINE64 "$OV_BUILD/x86_64/bench/OvEditBoxBench.exe" "$count" "$rounds" </dev/null |
  tr -d '\r' >"$work/results.txt"

awk -v n="$count" '{ v[$1] = $2 }
  END {
    printf "%d characters, best of each, item beside a bare control:\n", n
    split("plain alnum rich wide paste", kinds, " ")
    for (i = 1; i <= 5; i++) {
      k = kinds[i]
      printf "  %-6s %9.2f ms  bare %9.2f ms  %6.2f x\n", k, v[k "_item"], v[k "_bare"], v[k "_item"] / v[k "_bare"]
    }
  }' "$work/results.txt"
