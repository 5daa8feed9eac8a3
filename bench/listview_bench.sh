#!/usr/bin/env bash
# A button list view fed by a table of 5,000 rows under Wine, beside the
# platform's own list view (report style, owner data) with the same rows,
# columns, font and size in the same process: the first paint of a new
# window, a full redraw, paging from the top to the bottom, and a hover.
# Usage: bench/listview_bench.sh [rounds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

rounds=${1:-5}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-listview"
mkdir -p "$work"
$WINE64 "$OV_BUILD/x86_64/bench/OvButtonListViewBench.exe" "$rounds" </dev/null |
  tr -d '\r' >"$work/results.txt"

awk '{ v[$1] = $2 }
  END {
    printf "5,000 rows, best of each (button list view / platform list view):\n"
    printf "  first paint of a new window  %8.3f ms  %8.3f ms  %6.2f x\n", v["first_view"], v["first_ref"], v["first_view"] / v["first_ref"]
    printf "  the same with 50 rows        %8.3f ms              %6.2f x the 5,000-row paint\n", v["first_view_50"], v["first_view_50"] / v["first_view"]
    printf "  full redraw                  %8.3f ms  %8.3f ms  %6.2f x\n", v["redraw_view"], v["redraw_ref"], v["redraw_view"] / v["redraw_ref"]
    printf "  one page down and its paint  %8.3f ms  %8.3f ms  %6.2f x  (%.1f / %.1f rows a page)\n", v["page_view"], v["page_ref"], v["page_view"] / v["page_ref"], v["rows_view"], v["rows_ref"]
    printf "  hover to another row         %8.3f ms  %8.3f ms  %6.2f x\n", v["hover_view"], v["hover_ref"], v["hover_view"] / v["hover_ref"]
    printf "    the view alone             %8.3f ms              %6.2f x\n", v["hover_item"], v["hover_item"] / v["hover_ref"]
  }' "$work/results.txt"
