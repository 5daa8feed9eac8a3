# Sourced by every benchmark script: the project's shell helpers and the two
# steps each benchmark begins with.
# shellcheck source=../tools/lib.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../tools/lib.sh"

# Takes the build's Wine prefix for this benchmark (a test run or tools/run
# on the same checkout waits, and says so), installs what is missing, builds
# both architectures and prepares the prefix.
bench_prepare() {
  ov_lock_prefix "$0" "$@"
  "$OV_ROOT/tools/setup"
  ov_build_both
  ov_prepare_prefix
}

# Starts Xvfb and the Wine server; at the end, however it comes, runs the
# named clean-up function (if one is named) and stops them again.
bench_start_wine() {
  local cleanup=${1:-}
  if [ -n "$cleanup" ]; then
    trap "$cleanup; ov_stop_all" EXIT
  else
    trap ov_stop_all EXIT
  fi
  trap 'exit 130' INT TERM
  ov_start_display
  ov_start_wine
}
