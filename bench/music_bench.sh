#!/usr/bin/env bash
# One random music charge fills the card L: (the benchmarks' own drive)
# choosing from generated PC music files, then the same files are copied,
# in the order the charge copied them, with cp and with the platform's plain
# copy (CopyFileW under Wine, after reading the PC folder's tags as the
# charge does), round after round in turn; prints the best and the median
# of each, their ratios and the time per file. The charge's copying phase
# is timed by its own log lines; tag reading is timed on its own, once.
# Then one file's copy is taken apart: the plain copy, the charge's list
# copy, the chunked copy, the move into place and the questions asked per
# file, each timed on its own, round after round. Every side starts on an
# empty card; everything the copies wrote (about 2 GB a copy at the
# defaults) is removed again at the end; OV_BENCH_KEEP=1 keeps it. Single
# rounds swing by a third here, so five rounds are the default.
# Usage: bench/music_bench.sh [files=20000] [bytes per file=400000] [rounds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"
source "$here/rounds.sh"

files=${1:-20000}
bytes=${2:-400000}
rounds=${3:-5}
letter=l
work="$OV_BUILD/bench-music"
card="$(ov_card_folder $letter)"
pc="$work/pc-${files}x${bytes}"
bench="$WINE64 $OV_BUILD/x86_64/bench/OvMusicChargeBench.exe"

bench_prepare "$@"
echo "music_bench: unlike a real run, the charge runs inside OvMusicChargeBench (no core"
echo "  process, no launcher), on a card that is a folder of this disk (L:, ${card#"$OV_ROOT"/}),"
echo "  from generated MP3 files whose songs are mostly holes (kept in ${pc#"$OV_ROOT"/}"
echo "  for the next run of this size), with settings of its own (random charge, all of the card)."

clear_card() { find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +; }
# What the copies wrote: the card's music and the platform's plain copy on
# the card, and cp's copy. The generated PC folder stays for the next run.
bench_cleanup() {
  [ "${OV_BENCH_KEEP:-0}" != 1 ] || { echo "kept (OV_BENCH_KEEP=1): $card, $work/cp"; return 0; }
  local used
  used=$(du -smc "$card" "$work/cp" "$work/data" 2>/dev/null | tail -1 | cut -f1 || true)
  clear_card
  rm -rf "$work/cp" "$work/data"
  echo "cleaned up: $used MB of copies (card L: and ${work#"$OV_ROOT"/}/cp); the generated PC" \
    "music folder ${pc#"$OV_ROOT"/} stays for the next run" \
    "($(du -sm "$pc" 2>/dev/null | cut -f1 || true) MB on disk)"
}
bench_start_wine bench_cleanup

# One PC folder per size: a folder left by another size would be listed too.
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 -name 'pc*' ! -path "$pc" -exec rm -rf {} +
rm -rf "$work/data" "$work/cp"
clear_card
echo "making $files PC music files of $bytes bytes (once per size)"
$bench make "$(winepath_of "$pc")" "$files" "$bytes" </dev/null
$bench tags "$(winepath_of "$pc")" </dev/null | tr -d '\r' >"$work/tags.txt"
# Every side reads the PC files from the page cache.
bench_warm "$pc"

times="$work/times.txt"
: >"$times"
: >"$work/counts.txt"

# The copying phase, from its two log lines (time stamps to the millisecond).
phase_ms() {
  iconv -f CP932 -t UTF-8 "$1" | grep -a "$2" | tail -1 | cut -f1 | awk '{
    split($2, t, ":"); printf "%.0f", (t[1] * 3600 + t[2] * 60 + t[3]) * 1000 + t[4] }'
}

charge() {
  clear_card
  rm -rf "$work/data"
  sync
  $bench charge "$(winepath_of "$work")" "$(winepath_of "$pc")" "${letter^^}" </dev/null |
    tr -d '\r' >"$work/charge.txt" || { cat "$work/charge.txt"; echo "the charge failed"; exit 1; }
  local log="$work/data/Log/OvMusicChargeBench.log" t0 t1
  t0=$(phase_ms "$log" "◆PCからSDへファイル転送開始")
  t1=$(phase_ms "$log" "◆PCからSDへファイル転送完了")
  echo "charge_copying $(( t1 - t0 ))" >>"$times"
  awk '$1 == "charge_seconds" { printf "charge_all %.0f\n", $2 * 1000 }' "$work/charge.txt" >>"$times"
  awk '$1 == "copied" { print $2 }' "$work/charge.txt" >>"$work/counts.txt"
  # The files this round's charge copied, in the order it copied them
  # (random; each took its name, and so its change time, as it was done),
  # for the copies of the round: the same files in the same order.
  (cd "$card/AV/MUSIC" && find . -type f -name '*.mp3' -printf '%C@ %p\n' | sort -n |
    cut -d' ' -f2-) >"$work/chosen.txt"
  [ -s "$work/chosen.txt" ] || { echo "the charge copied nothing"; exit 1; }
  clear_card
}

# cp of the same files from the same (cached) sources, holes written out as
# the charge writes them.
copy_cp() {
  rm -rf "$work/cp"
  mkdir -p "$work/cp"
  sync
  bench_time "$times" cp bash -c 'cd "$1" && xargs -a "$2" cp --sparse=never --parents -t "$3"' \
    _ "$pc" "$work/chosen.txt" "$work/cp"
  rm -rf "$work/cp"
}

# CopyFileW of the same files onto the card, under Wine.
copy_plain() {
  clear_card
  sync
  $bench plain "$(winepath_of "$pc")" "$(winepath_of "$work/chosen.txt")" "${letter^^}:\\PLAIN" \
    </dev/null | tr -d '\r' >>"$times"
  clear_card
}

load_before=$(bench_load)
bench_rounds "$rounds" charge copy_cp copy_plain
load_after=$(bench_load)

# The steps of one file's copy, each on its own over the last round's files,
# taking turns as the sides did, each on an empty card as the sides are (a
# side that follows others on the card without its clearing takes up to
# three times as long here, even after sync); the move into place moves
# what the chunked copy wrote.
steps="$work/steps.txt"
: >"$steps"
one_step() {
  [ "$1" = rename ] || clear_card
  sync
  $bench steps "$(winepath_of "$pc")" "$(winepath_of "$work/chosen.txt")" "${letter^^}:\\STEPS" "$1" \
    </dev/null | tr -d '\r' >>"$steps" || { echo "the step $1 failed"; exit 1; }
}
step_round() {
  for step in copyfilew library chunked rename chunked_progress in_place small; do one_step $step; done
  clear_card
}
echo "one file's copy step by step:"
bench_rounds "$rounds" step_round
n=$(sort -n "$work/counts.txt" | head -1)
echo "machine load: $load_before before the rounds, $load_after after"
echo "files: $(awk '$1 == "listed" { print $2 }' "$work/tags.txt") on the PC, $n copied to the card a round"
awk '{ v[$1] = $2 } END {
  printf "tag reading alone: %.2f s (%.3f ms per file; first reading %.2f s)\n",
    v["tags_seconds"], 1000 * v["tags_seconds"] / v["listed"], v["tags_first_seconds"] }' "$work/tags.txt"
echo "times ($n files a round):"
bench_summary "$times"
echo "ratios:"
bench_ratio "$times" "charge's copying / CopyFileW" charge_copying copyfilew 1.3
bench_round_ratio "$times" "charge's copying / CopyFileW" charge_copying copyfilew 1.3
bench_ratio "$times" "charge's copying / cp" charge_copying cp
bench_ratio "$times" "CopyFileW / cp" copyfilew cp
awk -v n="$n" '$1 == "charge_copying" || $1 == "copyfilew" || $1 == "cp" { s[$1] += $2; c[$1]++ }
  END { printf "per file (mean): copying %.3f ms, CopyFileW %.3f ms, cp %.3f ms\n",
        s["charge_copying"] / c["charge_copying"] / n, s["copyfilew"] / c["copyfilew"] / n,
        s["cp"] / c["cp"] / n }' "$times"
chosen=$(wc -l <"$work/chosen.txt")
echo "one file's copy step by step ($chosen files; the median per file):"
sed 's/^step_//' "$steps" | awk -v n="$chosen" '
    { if (!($1 in c)) order[++names] = $1; v[$1, ++c[$1]] = $2 }
    END {
      for (i = 1; i <= names; i++) {
        k = order[i]; m = c[k]
        for (a = 1; a <= m; a++) s[a] = v[k, a]
        for (a = 2; a <= m; a++) { t = s[a]; for (b = a - 1; b >= 1 && s[b] > t; b--) s[b + 1] = s[b]; s[b + 1] = t }
        med = m % 2 ? s[(m + 1) / 2] : (s[m / 2] + s[m / 2 + 1]) / 2
        printf "  %-20s %8.1f us\n", k, 1000 * med / n
      }
    }'
