#!/usr/bin/env bash
# Runs the side-by-side benchmarks and prints their ratios against the
# targets.
#   scripts/bench.sh [build-dir]          (default: build)
# Each program below prints lines "RATIO <name> <value> (target <op> <limit>)"
# (op one of >=, <=); lines without a target are shown for information. The
# programs are built first, then run one after the other pinned to fixed
# cores, each benchmark repeated with the repetitions interleaved at random
# so ours and the baseline alternate; the ratios use the medians.
#   BENCH_CORES        cores for taskset (default 2-3)
#   BENCH_REPETITIONS  repetitions of each benchmark (default 9)
#   BENCH_FILTER       a --benchmark_filter regular expression (default all)
#   BENCH_PROGRAMS     space-separated programs to run (default: the list)
#   BENCH_RATIO_TIME   "cpu": ratios of the benchmark thread's CPU time
#                      instead of real time (for a loaded machine)
#   PHONEDECK_BENCH_PROBE_S  seconds of the start-up benchmark's UI probe in
#                      each run of the program (default 20)
# Full output goes to <build-dir>/bench/<program>.log. Exit status 1 when a
# target is missed or a program fails.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"

# Programs that print RATIO lines (in <build-dir>/bench).
programs=(
  agent_reply_bench
  xml_benchmark
  udp_round_trip_bench
  ui_first_paint_bench
  downlist_load_bench
  ui_large_phone_bench
)
if [ -n "${BENCH_PROGRAMS:-}" ]; then read -r -a programs <<<"$BENCH_PROGRAMS"; fi
cores="${BENCH_CORES:-2-3}"
reps="${BENCH_REPETITIONS:-9}"

BUILD_TARGETS="${programs[*]}" scripts/build.sh "$dir" >/dev/null

status=0
ratios=()
for p in "${programs[@]}"; do
  bin="$dir/bench/$p"
  log="$dir/bench/$p.log"
  if [ ! -x "$bin" ]; then echo "bench: $p was not built" >&2; status=1; continue; fi
  echo "== $p (cores $cores, $reps repetitions)"
  args=(--benchmark_color=false --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true
        --benchmark_report_aggregates_only=true)
  if [ -n "${BENCH_FILTER:-}" ]; then args+=(--benchmark_filter="$BENCH_FILTER"); fi
  if ! taskset -c "$cores" "$bin" "${args[@]}" >"$log" 2>&1; then
    echo "bench: $p failed; see $log" >&2
    tail -n 20 "$log" >&2
    status=1
  fi
  while IFS= read -r line; do ratios+=("$line"); done < <(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep '^RATIO ' || true)
done

echo
printf '%-34s %8s  %s\n' "ratio" "value" "target"
for line in "${ratios[@]}"; do
  # RATIO <name> <value> [(target <op> <limit>)]
  read -r _ name value _ op limit <<<"${line//[()]/}"
  verdict=""
  if [ -n "${op:-}" ]; then
    if awk -v v="$value" -v l="$limit" -v o="$op" \
        'BEGIN { exit !((o == ">=" && v >= l) || (o == "<=" && v <= l)) }'; then
      verdict="met"
    else
      verdict="MISSED"
      status=1
    fi
    printf '%-34s %8s  %s %s  %s\n' "$name" "$value" "$op" "$limit" "$verdict"
  else
    printf '%-34s %8s\n' "$name" "$value"
  fi
  op=""; limit=""
done
exit "$status"
