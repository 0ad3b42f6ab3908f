#!/usr/bin/env bash
# The demo server: builds the linux preset and runs the emulated server with the release plug-in.
# Arguments go to the demo (e.g. --console to type operator commands yourself).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mkdir -p build/logs

bash scripts/deps.sh
log=build/logs/run-build.log
if ! { cmake --preset linux && cmake --build --preset linux -j "${QRV_JOBS:-2}"; } >"$log" 2>&1; then
  echo "run: the linux build failed ($log):" >&2
  grep -E -m 20 'error|Error|undefined reference' "$log" >&2 || tail -n 20 "$log" >&2
  exit 1
fi

exec build/linux/bin/qrv_demo --plugin build/linux/bin/qrv_vemtark_mm_amd64.so "$@"
