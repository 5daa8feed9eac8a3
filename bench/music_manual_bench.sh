#!/usr/bin/env bash
# Copies generated PC music files onto the card E: through the manual
# window's copy worker and lists them through a listing worker, then copies
# the same files with cp; prints the times and their ratios.
# Usage: bench/music_manual_bench.sh [files=1000] [bytes per file=400000]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../tools/setup"
source "$here/../tools/lib.sh"

files=${1:-1000}
bytes=${2:-400000}

ov_build_both
ov_prepare_prefix
trap ov_stop_all EXIT
trap 'exit 130' INT TERM
ov_start_display
ov_start_wine

work="$OV_BUILD/bench-music-manual"
card="$(ov_card_folder e)"
mkdir -p "$work"
find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
sync

$WINE64 "$OV_BUILD/x86_64/bench/OvMusicManualBench.exe" "$(winepath_of "$work")" E \
  "$files" "$bytes" </dev/null | tr -d '\r' >"$work/wine.txt"
cat "$work/wine.txt"

rm -rf "$work/cp"
mkdir -p "$work/cp"
sync
start=$(date +%s.%N)
cp --sparse=never "$work/pc/"*.mp3 "$work/cp/"
end=$(date +%s.%N)
rm -rf "$work/cp"

field() { awk -v key="$1" '$1 == key { print $2 }' "$work/wine.txt"; }
worker=$(field worker_copy)
list=$(field worker_list)
plain=$(field plain_copy)
cp_time=$(echo "$end - $start" | bc -l)
printf 'cp %.3f s\n' "$cp_time"
printf 'worker copy / cp:          %.2f\n' "$(echo "$worker / $cp_time" | bc -l)"
printf 'worker copy / plain copy:  %.2f\n' "$(echo "$worker / $plain" | bc -l)"
printf 'listing per file:          %.3f ms\n' "$(echo "$list * 1000 / $files" | bc -l)"
printf 'listing / worker copy:     %.2f\n' "$(echo "$list / $worker" | bc -l)"
