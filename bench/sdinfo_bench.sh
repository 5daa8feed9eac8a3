#!/usr/bin/env bash
# The card-information window's refresh (its rows, the size bar over every
# measured folder, the probe date) on the card E: holding many small files,
# beside a bare FindFirstFile walk of the same folders under Wine and du on
# the host, round after round in turn; prints the best and the median of
# each and their ratios.
# Usage: bench/sdinfo_bench.sh [files=20000] [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"
source "$here/rounds.sh"

files=${1:-20000}
rounds=${2:-3}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-sdinfo"
card="$(ov_card_folder e)"
mkdir -p "$work"
find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
times="$work/times.txt"
: >"$times"

window() {
  $WINE64 "$OV_BUILD/x86_64/bench/OvSDInfoBench.exe" E "$files" 1 </dev/null |
    tr -d '\r' >"$work/wine.txt"
  awk '$1 == "refresh" || $1 == "walk" { printf "%s %.0f\n", $1, $2 }' \
    "$work/wine.txt" >>"$times"
}

host_du() {
  bench_time "$times" du sh -c 'du -sb "$@" >/dev/null' du "$card/PC" "$card/AV" "$card/UPDATE"
}

# The first run writes the files; it is not counted.
$WINE64 "$OV_BUILD/x86_64/bench/OvSDInfoBench.exe" E "$files" 1 </dev/null >/dev/null
bench_rounds "$rounds" window host_du
if [ "${OV_BENCH_KEEP:-0}" != 1 ]; then
  echo "removing $(du -sh "$card" | cut -f1) of generated files from the card"
  find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
fi

echo "card-information refresh on $files files:"
bench_summary "$times"
bench_ratio "$times" "refresh / bare walk" refresh walk
bench_ratio "$times" "refresh / du" refresh du
