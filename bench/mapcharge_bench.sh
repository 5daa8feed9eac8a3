#!/usr/bin/env bash
# A whole map charge (list, download from the stand-in, completion notice,
# rebuild and transfer onto a card folder) under Wine, beside the platform's
# floor for the same work in the same run: a bare WinHTTP loop (under Wine,
# as http_bench.sh has it for one file, a session per piece; the charge
# keeps one, and the loop through one session is printed beside it)
# fetching every piece to disk, then
# the shell pipeline of transfer_bench.sh (cat, gzip -d, cp, cmp) into the
# same card folder; the two take turns round after round. curl fetching the
# same pieces is timed beside them for scale only (under Wine WinHTTP is
# about ten times slower than curl, so curl is no floor here). Prints the
# best and the median of each and their ratios. What it downloads and
# writes is removed at the end; OV_BENCH_KEEP=1 keeps it.
# Usage: bench/mapcharge_bench.sh [megabytes=300] [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

megabytes=${1:-300}
rounds=${2:-3}
letter=l
work="$OV_BUILD/bench-mapcharge"
card="$(ov_card_folder "$letter")"

echo "mapcharge_bench: unlike a real run, the charge runs inside OvMapDemo (no core process),"
echo "  without the two 2 s pauses between its phases, without the line-speed test (a saved"
echo "  line speed stands in; the server's threshold is still asked), answering yes to every"
echo "  question, against the stand-in on 127.0.0.1, onto a card that is a folder of this disk"
echo "  (L:, ${card#"$OV_ROOT"/}), with settings and downloads of its own under ${work#"$OV_ROOT"/}."

bench_prepare "$@"
ov_install_checker
# The data set, the downloads, the bare loop's and curl's pieces and the
# card's data; the figures stay.
bench_cleanup() {
  [ "${OV_BENCH_KEEP:-0}" != 1 ] || { echo "kept (OV_BENCH_KEEP=1): $work, $card"; return 0; }
  local used
  used=$(du -smc "$work"/data "$work"/download "$work"/fetched "$work"/curl "$work"/temp \
    "$work"/root "$card" 2>/dev/null | tail -1 | cut -f1 || true)
  rm -rf "$work"/data "$work"/download "$work"/fetched "$work"/curl "$work"/temp "$work"/root
  find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
  echo "cleaned up: $used MB (the data set, downloads and settings in ${work#"$OV_ROOT"/}, card L:)"
}
bench_start_wine bench_cleanup
ov_start_standin

data="$work/data"
rm -rf "$work"
mkdir -p "$data"
echo "preparing a data set of $megabytes MB"
$WINE64 "$OV_BUILD/x86_64/bench/OvTransferBench.exe" prepare "$(winepath_of "$data")" \
  "$megabytes" </dev/null | tr -d '\r' >"$work/manifest.txt"
base=$($WINE64 "$OV_BUILD/x86_64/tools/mapdemo/OvMapDemo.exe" serve "$data" \
  "$(winepath_of "$work/Connection.info")" </dev/null | tr -d '\r' | sed -n 's/^base //p')
export OV_CONNECTION_INFO="$(winepath_of "$work/Connection.info")"

# A card whose map is older than the data set, and a PC that has nothing yet.
fresh_card_and_pc() {
  find "$card" -mindepth 1 -maxdepth 1 ! -name '.windows-*' -exec rm -rf {} +
  $WINE64 "$OV_BUILD/x86_64/tools/cardmaker/OvCardMaker.exe" "${letter^^}:" \
    --device DIRU0000000001 --pairing 1 --ccid 00120034 --model 9 --format 01000000 --link \
    --record 10000001:01000000:2010:0:\\PC\\PROGRAM --record 30020001:02000000:2012:0 \
    </dev/null >/dev/null
  rm -rf "$work/root" "$work/download"
  mkdir -p "$work/root" "$work/download"
  export OV_DATA_ROOT="$(winepath_of "$work/root")"
  export OV_DOWNLOAD_FOLDER="$(winepath_of "$work/download")"
}

# The floor's download: the bare WinHTTP loop, every piece one after another
# into the folder the pipeline reads, a session of its own for each piece;
# then the same through one session and connection kept for all, as the
# charge keeps them (under Wine the two cost the same within the noise).
fetch_bare() {
  rm -rf "$work/fetched" "$work/curl"
  mkdir -p "$work/fetched" "$work/curl"
  $WINE64 "$OV_BUILD/x86_64/bench/OvHttpBench.exe" pieces "$base" \
    "$(winepath_of "$work/manifest.txt")" "$(winepath_of "$work/fetched")" </dev/null |
    tr -d '\r' >>"$times"
  $WINE64 "$OV_BUILD/x86_64/bench/OvHttpBench.exe" pieces-one "$base" \
    "$(winepath_of "$work/manifest.txt")" "$(winepath_of "$work/curl")" </dev/null |
    tr -d '\r' >>"$times"
  rm -rf "$work/curl"
}
# curl, for scale: the same pieces, one after another.
fetch_curl() {
  local mode name pieces piece
  rm -rf "$work/curl"
  while read -r mode name pieces; do
    for piece in $pieces; do
      mkdir -p "$work/curl/$(dirname "$piece")"
      curl -sf -o "$work/curl/$piece" "$base$piece"
    done
  done <"$work/manifest.txt"
  rm -rf "$work/curl"
}

source "$here/reference.sh"
source "$here/rounds.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
times="$work/times.txt"
: >"$times"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# The stand-in and the reference read the data set from the page cache.
bench_warm "$data"

charge() {
  fresh_card_and_pc
  $WINE64 "$OV_BUILD/x86_64/tools/mapdemo/OvMapDemo.exe" run "${letter^^}" </dev/null |
    tr -d '\r' >"$work/charge.txt"
  grep -q '^result 0x02000000$' "$work/charge.txt" || { echo "the map charge failed"; exit 1; }
  grep -v '^result ' "$work/charge.txt" >>"$times"
}
reference() {
  fresh_card_and_pc
  fetch_bare
  bench_time "$times" pipeline reference_transfer "$work/fetched" "$work/manifest.txt" "$card" "$work/temp"
  bench_time "$times" curl fetch_curl
}
bench_rounds "$rounds" charge reference

echo "a whole map charge of a $megabytes MB data set from the stand-in onto a card folder"
echo "  (machine load before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)):"
bench_summary "$times"
bench_ratio "$times" "charge / (bare WinHTTP loop + pipeline)" charge bare+pipeline 1.15
bench_ratio "$times" "download / bare WinHTTP loop" download bare
bench_ratio "$times" "transfer / pipeline" transfer pipeline 1.2
bench_ratio "$times" "download / bare loop on one connection (scale only)" download bare-one
bench_ratio "$times" "bare WinHTTP loop / curl (scale only)" bare curl

# What the download does around each piece, step by step, on the smallest
# piece of the data set but one (microseconds per time, three runs of a
# hundred times each).
steps_piece=$(awk '{ for (i = 3; i <= NF; i++) print $i }' "$work/manifest.txt" | grep small | head -1)
steps="$work/steps.txt"
: >"$steps"
for _ in 1 2 3; do
  $WINE64 "$OV_BUILD/x86_64/tools/mapdemo/OvMapDemo.exe" steps "$base" "$steps_piece" \
    "$(winepath_of "$work/temp/steps")" 100 </dev/null | tr -d '\r' |
    awk '$1 == "step" && NF == 3 { print $2, $3 }' >>"$steps"
done
echo "per piece, step by step (${steps_piece##*/}, microseconds, load $(bench_load)):"
bench_summary "$steps" | sed 's/ ms,/ us,/; s/ ms$/ us/'
rm -rf "$work/temp/steps"
