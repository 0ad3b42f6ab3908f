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
    $1 ~ /^BM_(MinimalHook|FrameWithinPeriod)(_median)?$/ && NF >= 5 {
      real[$1] = ns($2, $3)
      cpu[$1] = ns($4, $5)
    }
    END {
      hook = ("BM_FrameWithinPeriod_median" in real) ? "BM_FrameWithinPeriod_median" : "BM_FrameWithinPeriod"
      floor = ("BM_MinimalHook_median" in real) ? "BM_MinimalHook_median" : "BM_MinimalHook"
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
