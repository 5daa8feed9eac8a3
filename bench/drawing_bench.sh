#!/usr/bin/env bash
# Cuts regions out of 955 x 600 pictures by their magenta key, solid (a skin
# picture with rounded corners and two holes) and scattered (every pixel a
# coin toss), and decodes a 1024 x 1024 PNG into a 24-bit bitmap, under Wine;
# prints the best times and their ratios to references measured in the same
# run: one read of every pixel for the regions; for the decode, bare GDI+
# locking the pixels into a buffer of its own (the work a decode into a
# bitmap cannot avoid), bare GDI+ reading them where it keeps them, and
# zlib's inflate of the same pixel data.
# Usage: bench/drawing_bench.sh [rounds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

rounds=${1:-5}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-drawing"
mkdir -p "$work"
bench="$WINE64 $OV_BUILD/x86_64/bench/OvDrawingBench.exe"
$bench regions "$rounds" </dev/null | tr -d '\r' >"$work/regions.txt"
$bench decode "$rounds" </dev/null | tr -d '\r' >"$work/decode.txt"

awk '{ ms[$1] = $2; count[$1] = $3 }
  END {
    printf "regions of a 955 x 600 picture, best of each:\n"
    printf "  solid key      %8.2f ms  %7d rectangles  %6.1f x one read of the picture\n",
      ms["solid"], count["solid"], ms["solid"] / ms["scan"]
    printf "  scattered key  %8.2f ms  %7d rectangles  %6.1f x one read of the picture\n",
      ms["scattered"], count["scattered"], ms["scattered"] / ms["scan"]
    printf "  one read       %8.2f ms\n", ms["scan"]
    printf "  scattered / solid: %.1f\n", ms["scattered"] / ms["solid"]
  }' "$work/regions.txt"
awk '{ ms[$1] = $2; if ($1 == "ours") bytes = $3 }
  END {
    printf "decoding a 1024 x 1024 PNG (%d bytes), best of each:\n", bytes
    printf "  ours %.2f ms (%.2f ms with GDI+ already started)\n", ms["ours"], ms["started"]
    printf "  bare GDI+ into a buffer of its own %.2f ms, left where GDI+ keeps it %.2f ms\n",
      ms["gdiplus_copy"], ms["gdiplus"]
    printf "  inflate alone %.2f ms\n", ms["inflate"]
    printf "  ours / bare GDI+ into a buffer: %.2f (aim: at most 1.10)\n", ms["ours"] / ms["gdiplus_copy"]
    printf "  ours / inflate: %.1f\n", ms["ours"] / ms["inflate"]
  }' "$work/decode.txt"
