#!/usr/bin/env bash
# Assembles the release package in dist/addons/qrv_vemtark and zips it to dist/qrv_vemtark.zip:
#   dlls/     qrv_vemtark_mm_i386.so, qrv_vemtark_mm_amd64.so, qrv_vemtark_mm.dll (32-bit) and
#             the sample debug modules (*.lib) that configs/debug.ini lists
#   configs/  the commented samples from addons/qrv_vemtark/configs
#   logs/     present from the start: the plug-in writes there but never creates the folder
#   plugins-linux.ini, plugins-linux64.ini, plugins-win32.ini  the line to add to Metamod's
#             plugins.ini on each platform
#   README.md the operator's part of the README, with its picture tickrate-steering.svg
# Run it after scripts/test.sh; the three release presets are brought up to date first.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mkdir -p build/logs

bash scripts/deps.sh
for preset in linux-i386 win32 linux; do
  log=build/logs/package-$preset.log
  # Only the shipped binary: the same target the preset's suites ran against.
  if ! { cmake --preset "$preset" &&
    cmake --build --preset "$preset" -j "${QRV_JOBS:-2}" --target qrv_vemtark_mm; } \
    >"$log" 2>&1; then
    echo "package: the $preset build failed ($log)" >&2
    exit 1
  fi
done

binaries=(
  build/linux-i386/bin/qrv_vemtark_mm_i386.so
  build/linux/bin/qrv_vemtark_mm_amd64.so
  build/win32/bin/qrv_vemtark_mm.dll
)
modules=(frame_probe.lib cpu_probe.lib)
configs=(vemtark.cfg vemtark.ini engine.cfgs debug.cfgs debug.ini
  strengthening_on.xdsg strengthening_off.xdsg)

missing=()
for f in "${binaries[@]}"; do [ -f "$f" ] || missing+=("$f"); done
for f in "${configs[@]}"; do
  [ -f "addons/qrv_vemtark/configs/$f" ] || missing+=("addons/qrv_vemtark/configs/$f")
done
for f in "${modules[@]}"; do
  [ -f "addons/qrv_vemtark/dlls/$f" ] || missing+=("addons/qrv_vemtark/dlls/$f")
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'package: missing %s\n' "${missing[@]}" >&2
  exit 1
fi

pkg=dist/addons/qrv_vemtark
rm -rf dist/addons dist/qrv_vemtark.zip
mkdir -p "$pkg/dlls" "$pkg/configs" "$pkg/logs"

cp "${binaries[@]}" "$pkg/dlls/"
# The x86_64 library comes from a RelWithDebInfo build; servers do not need its debug sections.
strip --strip-debug "$pkg/dlls/qrv_vemtark_mm_amd64.so" "$pkg/dlls/qrv_vemtark_mm_i386.so"
i686-w64-mingw32-strip --strip-debug "$pkg/dlls/qrv_vemtark_mm.dll"

cp -R addons/qrv_vemtark/configs/. "$pkg/configs/"
for f in "${modules[@]}"; do cp "addons/qrv_vemtark/dlls/$f" "$pkg/dlls/"; done
: >"$pkg/logs/.keep"

# One plugins.ini snippet per platform, and the operator's part of the README.
cat >"$pkg/plugins-linux.ini" <<'INI'
; Linux, 32-bit engine (the usual HLDS): add this line to addons/metamod/plugins.ini.
linux addons/qrv_vemtark/dlls/qrv_vemtark_mm_i386.so
INI
cat >"$pkg/plugins-linux64.ini" <<'INI'
; Linux, 64-bit engine: add this line to addons/metamod/plugins.ini.
linux addons/qrv_vemtark/dlls/qrv_vemtark_mm_amd64.so
INI
cat >"$pkg/plugins-win32.ini" <<'INI'
; Windows: add this line to addons\metamod\plugins.ini.
win32 addons/qrv_vemtark/dlls/qrv_vemtark_mm.dll
INI
{
  sed -n '1,/^## For server operators/p' README.md | sed '$d'
  sed -n '/^## For server operators/,/^## For developers/p' README.md | sed '$d'
} >"$pkg/README.md"
cp tickrate-steering.svg "$pkg/"  # the README's picture

(
  cd dist
  if command -v zip >/dev/null 2>&1; then
    zip -q -r -X qrv_vemtark.zip addons
  else
    python3 -m zipfile -c qrv_vemtark.zip addons
  fi
)
echo "package: dist/qrv_vemtark.zip"
(cd dist && find addons -type f | sort | sed 's/^/  /')
