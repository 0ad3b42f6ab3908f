#!/usr/bin/env bash
# Installs what is missing, then configures and builds one CMake preset quietly; on failure shows
# the first errors. Used by the run and bench scripts: scripts/build_preset.sh <preset>
set -euo pipefail

preset=${1:?usage: scripts/build_preset.sh <preset>}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mkdir -p build/logs

bash scripts/deps.sh
log=build/logs/$preset-build.log
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "${QRV_JOBS:-2}"; } >"$log" 2>&1; then
  echo "$preset: the build failed ($log):" >&2
  grep -E -m 20 'error|Error|undefined reference' "$log" >&2 || tail -n 20 "$log" >&2
  exit 1
fi
