#!/usr/bin/env bash
# The main program's launcher as a process under Wine, beside a reference
# process started the same way (a plain window, created and painted):
# start to first paint (process creation until the window shows with nothing
# left to paint) and the share of a core each takes while idle. The sides
# take turns, round after round. What differs from a real run: a data root
# of the bench's own with a registered user, no card (the search sees only
# card L:, kept empty), and an empty install folder, so the launcher starts
# no core or music manager.
# Usage: bench/launcher_bench.sh [rounds=3] [idle seconds=5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../tools/lib.sh"
source "$here/rounds.sh"
ov_lock_prefix "$0" "$@"
"$here/../tools/setup"

rounds=${1:-3}
idle=${2:-5}

ov_build_both
ov_prepare_prefix
work="$OV_BUILD/bench-launcher"
trap 'ov_stop_all; [ "${OV_BENCH_KEEP:-0}" = 1 ] || rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
ov_start_display
ov_start_wine

rm -rf "$work"
mkdir -p "$work/data" "$work/install"
export OV_DATA_ROOT="$(winepath_of "$work/data")\\"
export OV_INSTALL_DIR="$(winepath_of "$work/install")"
export OV_CARD_DRIVES=L
bench="$OV_BUILD/x86_64/bench/OvLauncherBench.exe"
main_exe="$(winepath_of "$OV_BUILD/x86_64/main/Ostrovelle_EV.exe")"
$WINE64 "$OV_BUILD/x86_64/tools/cardmaker/OvCardMaker.exe" L: --device DIRU0000000077 \
  --model 9 --register bench --register-only </dev/null >/dev/null
echo "a data root of the bench's own in $work/data with a registered user; no card; no core"

figures="$work/figures.txt"
: >"$figures"
side_launcher() { $WINE64 "$bench" launcher "$main_exe" "$idle" </dev/null | tr -d '\r' >>"$figures"; }
side_reference() { $WINE64 "$bench" reference "$idle" </dev/null | tr -d '\r' >>"$figures"; }
bench_rounds "$rounds" side_launcher side_reference

echo "the launcher beside a plain window's process, $rounds rounds:"
bench_summary <(grep '_start ' "$figures")
bench_ratio "$figures" "start to first paint, launcher / plain" launcher_start reference_start
awk '
  { if (!($1 in n)) order[++names] = $1; v[$1, ++n[$1]] = $2 }
  END {
    for (i = 1; i <= names; i++) {
      name = order[i]
      if (name !~ /_idle_cpu$/) continue
      printf "  %-22s %d rounds, best %6.2f %%, median %6.2f %% of a core\n", name, n[name],
             best_of(name), median_of(name)
    }
  }
'"$_bench_stats" "$figures"
