#!/usr/bin/env bash
# The demo server: builds the linux preset and runs the emulated server with the release plug-in.
# Arguments go to the demo (e.g. --console to type operator commands yourself, --standalone to
# have the engine load the plug-in in place of the game library, over our stub game library).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build_preset.sh linux

exec build/linux/bin/qrv_demo --plugin build/linux/bin/qrv_vemtark_mm_amd64.so "$@"
