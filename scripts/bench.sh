#!/usr/bin/env bash
# Builds the bench preset (Release, Google Benchmark) and runs the benchmarks.
# Arguments go to the benchmark program (e.g. --benchmark_filter=Join).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build_preset.sh bench
if [ ! -x build/bench/bin/qrv_bench ]; then
  echo "bench: build/bench/bin/qrv_bench was not built (no sources in bench/?)" >&2
  exit 1
fi

# Medians of five repetitions unless told otherwise: a single run on a busy machine says little.
if [ $# -eq 0 ]; then
  set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
exec build/bench/bin/qrv_bench "$@"
