#!/usr/bin/env bash
# Runs an x86_64 Windows program under wine64 and passes its arguments and exit status through.
# CMake's crosscompiling emulator for the win64 preset; scripts/test.sh runs the suites with it.
#
# The wine prefix lives inside the build folder: $QRV_WINEPREFIX if set, else <build dir>/wine
# where <build dir> is the nearest folder above the program that holds a CMakeCache.txt, else
# a folder "wine" beside the program. The first start creates the prefix (a few seconds).
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 program.exe [arguments...]" >&2
  exit 2
fi

wine=${QRV_WINE:-/usr/lib/wine/wine64}
if [ ! -x "$wine" ]; then
  echo "wine.sh: $wine not found (Debian package wine64; scripts/deps.sh installs it)" >&2
  exit 127
fi

program=$1
shift
if [ ! -f "$program" ]; then
  echo "wine.sh: no such program: $program" >&2
  exit 127
fi

prefix=${QRV_WINEPREFIX:-}
if [ -z "$prefix" ]; then
  dir=$(cd "$(dirname "$program")" && pwd)
  probe=$dir
  while [ "$probe" != "/" ] && [ ! -f "$probe/CMakeCache.txt" ]; do
    probe=$(dirname "$probe")
  done
  if [ -f "$probe/CMakeCache.txt" ]; then
    prefix=$probe/wine
  else
    prefix=$dir/wine
  fi
fi

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No display here: keep wine from offering Mono and Gecko installers while it creates the prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Several programs may start at once (ctest -j); only one of them creates the prefix.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi

exec "$wine" "$program" "$@"
