# Alternating rounds and their summary, shared by the benchmark scripts.
# Sourced, not run.
#
# A single round swings with the page cache and whatever else the machine
# does; the sides of a comparison therefore take turns, round after round,
# and the summary gives each side's best and median.

# The best and the median of the figures v[name, 1..n[name]], for awk.
_bench_stats='
function best_of(name,   k, b) {
  b = v[name, 1]; for (k = 2; k <= n[name]; k++) if (v[name, k] < b) b = v[name, k]
  return b
}
function median_of(name,   k, j, t, m, a) {
  m = n[name]; for (k = 1; k <= m; k++) a[k] = v[name, k]
  for (k = 2; k <= m; k++) { t = a[k]; for (j = k - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
  return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
}'

# bench_now_ms: the wall clock in milliseconds.
bench_now_ms() { date +%s%3N; }

# bench_time TIMES NAME COMMAND...: runs the command and appends
# "NAME <milliseconds>" to the file TIMES.
bench_time() {
  local times=$1 name=$2 start
  shift 2
  start=$(bench_now_ms)
  "$@"
  echo "$name $(( $(bench_now_ms) - start ))" >>"$times"
}

# bench_rounds ROUNDS STEP...: runs the steps (shell commands, usually
# functions that call bench_time or append their own "name ms" lines) one
# after another, ROUNDS times over, so that every side sees every state of
# the machine. BENCH_ROUND holds the round's number (1..ROUNDS).
bench_rounds() {
  local rounds=$1 step
  shift
  for BENCH_ROUND in $(seq 1 "$rounds"); do
    echo "round $BENCH_ROUND of $rounds"
    for step in "$@"; do
      $step
    done
  done
}

# bench_summary TIMES: one line per name in TIMES ("name ms" lines, names
# in their first order): rounds, best and median in milliseconds.
bench_summary() {
  awk '
    { if (!($1 in n)) order[++names] = $1; v[$1, ++n[$1]] = $2 }
    END {
      for (i = 1; i <= names; i++) {
        name = order[i]
        printf "  %-22s %d rounds, best %8.0f ms, median %8.0f ms\n", name, n[name],
               best_of(name), median_of(name)
      }
    }
'"$_bench_stats" "$1"
}

# bench_ratio TIMES LABEL NUMERATOR DENOMINATOR [AIM]: the ratio of the
# medians (and of the bests) of two names, or of two sums of names written
# "a+b". AIM, when given, is printed beside it.
bench_ratio() {
  awk -v label="$2" -v top="$3" -v bottom="$4" -v aim="${5:-}" '
    { v[$1, ++n[$1]] = $2 }
    END {
      mt = sum(top, "median"); mb = sum(bottom, "median")
      bt = sum(top, "best"); bb = sum(bottom, "best")
      if (mb <= 0 || bb <= 0) { printf "  %s: no figures\n", label; exit }
      printf "  %s: median %.3f, best %.3f%s\n", label, mt / mb, bt / bb,
             aim == "" ? "" : " (aim: at most " aim ")"
    }
    function sum(names, what,   parts, k, s, c) {
      c = split(names, parts, "+"); s = 0
      for (k = 1; k <= c; k++) s += (what == "best" ? best_of(parts[k]) : median_of(parts[k]))
      return s
    }
'"$_bench_stats" "$1"
}

# bench_round_ratio TIMES LABEL NUMERATOR DENOMINATOR [AIM]: the ratio of
# the two names round by round (the n-th figure of one over the n-th of the
# other: the two sides of a round saw the same machine), and the median and
# the best of those ratios.
bench_round_ratio() {
  awk -v label="$2" -v top="$3" -v bottom="$4" -v aim="${5:-}" '
    $1 == top { t[++nt] = $2 } $1 == bottom { b[++nb] = $2 }
    END {
      m = nt < nb ? nt : nb
      for (k = 1; k <= m; k++) if (b[k] > 0) { v["r", ++n["r"]] = t[k] / b[k]; s = s sprintf(" %.2f", t[k] / b[k]) }
      if (!n["r"]) { printf "  %s, round by round: no figures\n", label; exit }
      printf "  %s, round by round:%s; median %.3f, best %.3f%s\n", label, s,
             median_of("r"), best_of("r"), aim == "" ? "" : " (aim: at most " aim ")"
    }
'"$_bench_stats" "$1"
}

# bench_warm FOLDER: reads every file below FOLDER once, so that the first
# timed side does not pay for the disk and the others profit from its reads.
bench_warm() { find "$1" -type f -print0 | xargs -0 -r cat >/dev/null; }

# bench_load: the machine's load (one-minute average of the run queue) and
# its cores, for the figures printed beside it.
bench_load() { echo "$(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"; }
