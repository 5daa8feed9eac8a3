#!/usr/bin/env bash
# Copies generated PC music files onto the card E: through the manual
# window's copy worker, lists them through a listing worker and copies them
# with the platform's plain copy (all under Wine), then copies the same
# files with cp, round after round in turn; prints the best and the median
# of each and their ratios.
# Usage: bench/music_manual_bench.sh [files=1000] [bytes per file=400000] [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"
source "$here/rounds.sh"

files=${1:-1000}
bytes=${2:-400000}
rounds=${3:-3}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-music-manual"
# One folder per size: the program keeps its generated PC files there.
sized="$work/${files}x${bytes}"
card="$(ov_card_folder e)"
mkdir -p "$sized"
find "$work" -mindepth 1 -maxdepth 1 ! -path "$sized" -exec rm -rf {} +
find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
times="$work/times.txt"
: >"$times"
first=1

worker() {
  sync
  $WINE64 "$OV_BUILD/x86_64/bench/OvMusicManualBench.exe" "$(winepath_of "$sized")" E \
    "$files" "$bytes" </dev/null | tr -d '\r' >"$work/wine.txt"
  # The first run makes the PC files; from then on they are read from the
  # page cache by every side.
  if [ "$first" = 1 ]; then
    first=0
    bench_warm "$sized/pc"
    return
  fi
  awk '$1 == "worker_copy" || $1 == "worker_list" || $1 == "plain_copy" {
    printf "%s %.0f\n", $1, $2 * 1000 }' "$work/wine.txt" >>"$times"
  awk '$1 == "worker_copy" { print $6 }' "$work/wine.txt" >"$work/progress.txt"
}

copy_cp() {
  rm -rf "$work/cp"
  mkdir -p "$work/cp"
  sync
  bench_time "$times" cp cp --sparse=never -t "$work/cp" "$sized/pc/"*.mp3
  rm -rf "$work/cp"
}

# One round more for the worker, whose first run makes the files.
worker
bench_rounds "$rounds" worker copy_cp
find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +

echo "$files files of $bytes bytes ($(cat "$work/progress.txt") progress messages a copy):"
bench_summary "$times"
bench_ratio "$times" "worker copy / cp" worker_copy cp
bench_ratio "$times" "worker copy / plain copy" worker_copy plain_copy
bench_ratio "$times" "listing / worker copy" worker_list worker_copy
awk -v n="$files" '$1 == "worker_list" { s += $2; c++ }
  END { printf "listing per file (mean): %.3f ms\n", s / c / n }' "$times"
