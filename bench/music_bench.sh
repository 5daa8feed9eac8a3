#!/usr/bin/env bash
# Fills the card L: (the benchmarks' own drive) by one random music charge
# choosing from generated PC music files (made once under build/bench-music
# and kept), then copies the same files with cp (and, inside the program,
# with the platform's plain copy under Wine), and prints the times, their
# ratios and the time per file. The charge's copying phase is timed by its own log lines; tag
# reading is timed on its own. Everything the copies wrote (about 6 GB at the
# defaults) is removed again at the end; OV_BENCH_KEEP=1 keeps it.
# Usage: bench/music_bench.sh [files=20000] [bytes per file=400000]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../tools/lib.sh"
ov_lock_prefix "$0" "$@"
"$here/../tools/setup"

files=${1:-20000}
bytes=${2:-400000}
letter=l
work="$OV_BUILD/bench-music"
card="$(ov_card_folder $letter)"

echo "music_bench: unlike a real run, the charge runs inside OvMusicChargeBench (no core"
echo "  process, no launcher), on a card that is a folder of this disk (L:, ${card#"$OV_ROOT"/}),"
echo "  from generated MP3 files whose songs are mostly holes (kept in build/bench-music/pc"
echo "  for the next run), with settings of its own (random charge, all of the card)."

ov_build_both
ov_prepare_prefix
# What the copies wrote: the card's music and the platform's plain copy on
# the card, and cp's copy. The generated PC folder stays for the next run.
bench_cleanup() {
  [ "${OV_BENCH_KEEP:-0}" != 1 ] || { echo "kept (OV_BENCH_KEEP=1): $card, $work/cp"; return 0; }
  local used
  used=$(du -sm "$card" "$work/cp" 2>/dev/null | awk '{ s += $1 } END { print s + 0 }' || true)
  find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
  rm -rf "$work/cp"
  echo "cleaned up: $used MB of copies (card L: and ${work#"$OV_ROOT"/}/cp); the generated PC" \
    "music folder ${work#"$OV_ROOT"/}/pc stays for the next run" \
    "($(du -sm "$work/pc" 2>/dev/null | cut -f1 || true) MB on disk)"
}
trap 'bench_cleanup; ov_stop_all' EXIT
trap 'exit 130' INT TERM
ov_start_display
ov_start_wine

mkdir -p "$work"
rm -rf "$work/data" "$work/cp"
find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
# Both timed copies start with nothing left to write back from before.
sync

$WINE64 "$OV_BUILD/x86_64/bench/OvMusicChargeBench.exe" "$(winepath_of "$work")" "${letter^^}" \
  "$files" "$bytes" </dev/null | tr -d '\r' >"$work/wine.txt"

# The copying phase, from its two log lines (time stamps to the millisecond).
log="$work/data/Log/OvMusicChargeBench.log"
phase() { iconv -f CP932 -t UTF-8 "$log" | grep -a "$1" | tail -1 | cut -f1 | awk '{
  split($2, t, ":"); printf "%.3f", t[1] * 3600 + t[2] * 60 + t[3] + t[4] / 1000 }'; }
transfer_start=$(phase "◆PCからSDへファイル転送開始")
transfer_end=$(phase "◆PCからSDへファイル転送完了")

# The same files, copied by cp from the same (cached) sources, holes written
# out as the charge writes them.
(cd "$card/AV/MUSIC" && find . -type f -name '*.mp3' | sort) >"$work/chosen.txt"
mkdir -p "$work/cp"
sync
start=$(date +%s.%N)
(cd "$work/pc" && xargs -a "$work/chosen.txt" cp --sparse=never --parents -t "$work/cp")
end=$(date +%s.%N)

awk -v start="$start" -v end="$end" -v t0="$transfer_start" -v t1="$transfer_end" '
  { value[$1] = $2 }
  END {
    cp = end - start
    copy = t1 - t0
    n = value["copied"]
    printf "files: %d listed on the PC, %d copied to the card\n", value["listed"], n
    printf "tag reading alone: %.2f s (%.3f ms per file; first reading %.2f s)\n",
           value["tags_seconds"], 1000 * value["tags_seconds"] / value["listed"],
           value["tags_first_seconds"]
    printf "charge: %.2f s in all, of which copying %.2f s (%.3f ms per file)\n",
           value["charge_seconds"], copy, 1000 * copy / n
    printf "cp of the same files: %.2f s (%.3f ms per file)\n", cp, 1000 * cp / n
    printf "plain CopyFileW of the same files under Wine: %.2f s (%.3f ms per file)\n",
           value["plain_copy_seconds"], 1000 * value["plain_copy_seconds"] / n
    printf "ratio copying / cp: %.2f\n", copy / cp
    printf "ratio copying / plain CopyFileW: %.2f\n", copy / value["plain_copy_seconds"]
  }' "$work/wine.txt"
