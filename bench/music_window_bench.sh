#!/usr/bin/env bash
# The manual transfer window on a card of 5,000 files in 300 folders (200 of
# them in the music folder itself) and a PC folder of 20,000 files (the list
# shows the first 1,000): the time until both lists are full, the copy of the
# shown PC files and the longest delay of a message posted to the window's
# thread every 50 ms while opening, listing and copying, round after round;
# each round also with the folder trees listed on the window's thread, as
# the reference for their own listing thread.
# Usage: bench/music_window_bench.sh [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../tools/lib.sh"
source "$here/rounds.sh"
ov_lock_prefix "$0" "$@"
"$here/../tools/setup"
rounds=${1:-3}

ov_build_both
ov_prepare_prefix
trap ov_stop_all EXIT
trap 'exit 130' INT TERM
ov_start_display
ov_start_wine

work="$OV_BUILD/bench-music-window"
card="$(ov_card_folder e)"
mkdir -p "$work"
[ -f "$work/song.mp3" ] || {
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1 sine 440
  lame --quiet -b 128 --tt "bench" "$work/tone.wav" "$work/song.mp3"
}
times="$work/times.txt"
: >"$times"
for round in $(seq 1 "$rounds"); do
  rm -rf "$card/PC" "$card/AV" "$work/pc"
  $WINE64 "$OV_BUILD/x86_64/tools/cardmaker/OvCardMaker.exe" E: --device DIRU0000000001 \
    --pairing 1 --ccid 00120034 --model 9 --format 01000000 --link </dev/null >/dev/null
  python3 - "$work/song.mp3" "$card/AV/MUSIC" "$work/pc" <<'PY'
import os, shutil, sys
song, music, pc = sys.argv[1:]
os.makedirs(pc, exist_ok=True)
os.makedirs(music, exist_ok=True)
for i in range(200):
    shutil.copyfile(song, os.path.join(music, "曲%03d.mp3" % i))
for f in range(300):
    folder = os.path.join(music, "フォルダ%03d" % f)
    os.makedirs(folder)
    for i in range(16):
        shutil.copyfile(song, os.path.join(folder, "曲%02d.mp3" % i))
for i in range(20000):
    shutil.copyfile(song, os.path.join(pc, "PC曲%05d.mp3" % i))
PY
  # The window as it is, then with its folder trees listed on its own
  # thread (the way it was): each round on the same card and PC folder.
  for mode in bench inplace; do
    rm -rf "$card/AV/MUSIC/PC"*
    echo "round $round ($mode):"
    OV_SOURCE_DIR="$OV_ROOT" $WINE64 "$OV_BUILD/x86_64/bench/OvMusicWindowBench.exe" "$mode" E \
      "$(winepath_of "$work/pc")" </dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 -c |
      grep -v '^box:' >"$work/round.txt" || true
    grep -v '^figure ' "$work/round.txt" | sed 's/^/  /'
    grep '^figure ' "$work/round.txt" | cut -d' ' -f2- >>"$times"
  done
done
echo "summary:"
bench_summary "$times"
# The delays beside the same thread's delay when it only pumps (the
# reference, measured in the same round just before the window is made).
bench_ratio "$times" "opening delay / idle delay" opening_delay idle_delay
bench_ratio "$times" "listing delay / idle delay" listing_delay idle_delay
bench_ratio "$times" "copying delay / idle delay" copying_delay idle_delay
# The trees' listing thread against listing them on the window's thread.
bench_ratio "$times" "opening delay / in place" opening_delay inplace_opening_delay
bench_ratio "$times" "time to full lists / in place" listed inplace_listed
