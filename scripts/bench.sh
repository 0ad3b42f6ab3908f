#!/usr/bin/env bash
# Builds the bench preset (Release, Google Benchmark) and runs the benchmarks, then the frame
# pacing run (qrv_pacing_bench: a few seconds a row with the real clock, about 30 s in all).
# Arguments go to the Google Benchmark program (e.g. --benchmark_filter=Join).
# Environment: QRV_BENCH_ONLY=gbench or QRV_BENCH_ONLY=pacing runs only that part;
# QRV_PACING_SECONDS (default 3) is how long each pacing row is measured. QRV_BENCH_ONLY=servers
# runs scripts/bench_servers.sh instead (many servers at once, about a minute), which the default
# leaves out for its length.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
only=${QRV_BENCH_ONLY:-}
case "$only" in
  "" | gbench | pacing) ;;
  servers) exec bash scripts/bench_servers.sh ;;
  *)
    echo "bench: QRV_BENCH_ONLY must be gbench, pacing or servers, not \"$only\"" >&2
    exit 2
    ;;
esac
bash scripts/build_preset.sh bench
bin=build/bench/bin

if [ "$only" != pacing ]; then
  if [ ! -x "$bin/qrv_bench" ]; then
    echo "bench: $bin/qrv_bench was not built (no sources in bench/?)" >&2
    exit 1
  fi
  # Medians of five repetitions unless told otherwise: a single run on a busy machine says little.
  if [ $# -eq 0 ]; then
    set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
  fi
  output=$(mktemp)
  trap 'rm -f "$output"' EXIT
  "$bin/qrv_bench" "$@" | tee "$output"
  # What the frame hook costs beyond reporting mres, in nanoseconds: the median of the
  # repetitions when there are some, else the single run. Real time is what the ratios above use;
  # CPU time leaves out what a busy virtual machine's other guests took.
  sed 's/\x1b\[[0-9;]*m//g' "$output" | awk '
    function ns(value, unit) {
      if (unit == "ns") return value
      if (unit == "us") return value * 1e3
      if (unit == "ms") return value * 1e6
      if (unit == "s") return value * 1e9
      return ""
    }
    $1 ~ /^BM_(MinimalHook|FrameWithinPeriod|ReHLDSFrame|ClientUpdate|TimedCommand)/ && NF >= 5 {
      name = $1
      sub(/_median$/, "", name)
      if ($1 !~ /_(mean|stddev|cv|min)$/ && $3 ~ /^(ns|us|ms|s)$/) {
        real[name] = ns($2, $3)
        cpu[name] = ns($4, $5)
      }
      if ($1 ~ /_min$/ && $3 ~ /^(ns|us|ms|s)$/) {
        sub(/_min$/, "", name)
        least[name] = ns($2, $3)
      }
    }
    # The anatomy beside it off, and its own cost: on, less a hook that only hands the call on
    # (what any hook costs the stand-in chain), from the fastest repetitions when there are some.
    function anatomy(bench, budget) {
      on = bench "/anatomy:1"; off = bench "/anatomy:0"; passing = bench "/anatomy:2"
      if (!(on in real) || !(off in real) || !(passing in real)) return
      if ((on in least) && (passing in least)) {
        added = least[on] - least[passing]; how = "fastest repetitions"
      } else {
        added = real[on] - real[passing]; how = "medians"
      }
      printf "%-15s anatomy off %6.1f ns, on %6.1f ns, a passing hook %6.1f ns: the anatomy adds %5.1f ns (%s)%s\n", \
        bench, real[off], real[on], real[passing], added, how, budget
    }
    END {
      anatomy("BM_ReHLDSFrame", " (budget 60 ns)")
      anatomy("BM_ClientUpdate", " (budget 10 ns)")
      anatomy("BM_TimedCommand", "")
      hook = "BM_FrameWithinPeriod"
      floor = "BM_MinimalHook"
      if (!(hook in real) || !(floor in real)) exit
      if (real[hook] == "" || real[floor] == "" || cpu[hook] == "" || cpu[floor] == "") exit
      printf "%-30s - %-28s = %6.1f ns real time, %.1f ns CPU time (budget 30 ns)\n", \
        "BM_FrameWithinPeriod", "BM_MinimalHook", real[hook] - real[floor], cpu[hook] - cpu[floor]
    }'
fi

if [ "$only" != gbench ]; then
  if [ ! -x "$bin/qrv_pacing_bench" ]; then
    echo "bench: $bin/qrv_pacing_bench was not built" >&2
    exit 1
  fi
  "$bin/qrv_pacing_bench" --seconds "${QRV_PACING_SECONDS:-3}"
fi
