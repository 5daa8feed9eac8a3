#!/usr/bin/env bash
# Rebuilds a downloaded data set and copies it onto a card folder through the
# map charge's transfer (under Wine), and does the same with a reference
# shell pipeline on the same pieces into the same card folder (cat the
# pieces, gzip -d, cp, cmp), the two taking turns round after round; prints
# the best and the median of each and their ratios, where the transfer's
# time goes, and the CRC-16's throughput beside zlib's crc32 on one buffer. The data set and the card's copy are removed
# at the end; OV_BENCH_KEEP=1 keeps them.
# Usage: bench/transfer_bench.sh [megabytes=300] [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

megabytes=${1:-300}
rounds=${2:-3}
letter=l
work="$OV_BUILD/bench-transfer"
card="$(ov_card_folder "$letter")"

echo "transfer_bench: unlike a real run, the rebuild and transfer starts from pieces made"
echo "  on this disk (no download, no core process, no questions), and the card is a folder"
echo "  of this disk (L:, ${card#"$OV_ROOT"/}); the link file and the card's records are not touched."

bench_prepare "$@"
# The data set, its pieces and the copy on the card; the figures stay.
bench_cleanup() {
  [ "${OV_BENCH_KEEP:-0}" != 1 ] || { echo "kept (OV_BENCH_KEEP=1): $work, $card/BENCH"; return 0; }
  local used
  used=$(du -smc "$work/data" "$work/temp" "$card/BENCH" 2>/dev/null | tail -1 | cut -f1 || true)
  rm -rf "$work/data" "$work/temp" "$card/BENCH"
  echo "cleaned up: $used MB (the data set in ${work#"$OV_ROOT"/}, the copy on card L:)"
}
bench_start_wine bench_cleanup

bench="$WINE64 $OV_BUILD/x86_64/bench/OvTransferBench.exe"
data="$work/data"
rm -rf "$work"
mkdir -p "$data" "$work/temp"
echo "preparing a data set of $megabytes MB"
$bench prepare "$(winepath_of "$data")" "$megabytes" </dev/null | tr -d '\r' >"$work/manifest.txt"

source "$here/reference.sh"
source "$here/rounds.sh"
times="$work/times.txt"
: >"$times"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Both sides read the pieces from the page cache.
bench_warm "$data"

ours() {
  rm -rf "$card/BENCH"
  $bench run "$(winepath_of "$data")" "$letter" </dev/null | tr -d '\r' >>"$times"
}
# The reference: each file's pieces joined (and unpacked), copied to the
# card and compared there.
reference() {
  rm -rf "$card/BENCH"
  bench_time "$times" reference reference_transfer "$data" "$work/manifest.txt" "$card" "$work/temp"
}
bench_rounds "$rounds" ours reference
rm -rf "$card/BENCH"
$bench phases "$(winepath_of "$data")" "$letter" </dev/null | tr -d '\r' >"$work/phases.txt"
rm -rf "$card/BENCH"
$bench crc 64 </dev/null | tr -d '\r' >"$work/crc.txt"

echo "rebuild and transfer of a $megabytes MB data set onto a card folder"
echo "  (machine load before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)):"
bench_summary "$times"
bench_ratio "$times" "transfer / reference pipeline" ours reference 1.2
awk '{ total += $NF; step[NR] = $0 }
  END {
    printf "where the transfer goes (steps one by one, %.0f ms):\n", total
    for (i = 1; i <= NR; i++) {
      n = split(step[i], f, " "); name = f[2]; for (j = 3; j < n; j++) name = name " " f[j]
      printf "  %-30s %8.0f ms  %5.1f%%\n", name, f[n], 100 * f[n] / total
    }
  }' "$work/phases.txt"
awk '{ speed[$1] = $2 }
  END { printf "CRC-16 %.0f MB/s, zlib crc32 %.0f MB/s (crc32 / CRC-16: %.1f)\n",
        speed["crc16"], speed["crc32"], speed["crc32"] / speed["crc16"] }' "$work/crc.txt"
