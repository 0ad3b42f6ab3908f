#!/usr/bin/env bash
# Runs a Windows program under wine and passes its arguments and exit status through: an x86_64
# program under wine64, an i686 one under 32-bit wine (Debian package wine32:i386, program
# "wine"), which runs only where the kernel runs 32-bit programs. CMake's crosscompiling
# emulator for the win64 and win32 presets; scripts/test.sh runs the suites with it.
#
#   scripts/wine.sh program.exe [arguments...]
#   scripts/wine.sh --how win32|win64   prints which wine would run such programs here, or
#                                       "none (why)" with exit status 1, on one line
#
# The wine prefix lives inside the build folder: $QRV_WINEPREFIX if set, else <build dir>/wine
# where <build dir> is the nearest folder above the program that holds a CMakeCache.txt, else
# a folder "wine" beside the program. The first start creates the prefix (a few seconds).
# QRV_WINE names the wine program to use instead.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 program.exe [arguments...] | --how win32|win64" >&2
  exit 2
fi

wine_dir=/usr/lib/wine

# The PE machine field: 332 (0x14c) for i386, 34404 (0x8664) for x86_64.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  od -An -tu2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# Sets `wine` and `why` for a platform (win32 or win64); `wine` stays empty when none can run.
choose() {
  local platform=$1 candidate package
  case $platform in
    win32) candidate=$wine_dir/wine package="wine32:i386" ;;
    *) candidate=$wine_dir/wine64 package=wine64 ;;
  esac
  [ -n "${QRV_WINE:-}" ] && candidate=$QRV_WINE
  wine=""
  if [ ! -x "$candidate" ]; then
    why="$candidate not found (Debian package $package; scripts/deps.sh installs it)"
    return
  fi
  # Asked of the machine, never assumed: 32-bit wine is itself a 32-bit program.
  local version rc=0
  version=$("$candidate" --version 2>/dev/null) || rc=$?
  if [ "$rc" -ne 0 ]; then
    if [ "$platform" = win32 ]; then
      why="$candidate does not start, status $rc: the kernel runs no 32-bit programs"
    else
      why="$candidate does not start, status $rc"
    fi
    return
  fi
  wine=$candidate
  why="$(basename "$candidate") (${version:-?})"
}

if [ "$1" = --how ]; then
  choose "${2:-win64}"
  if [ -n "$wine" ]; then
    echo "$why"
    exit 0
  fi
  echo "none ($why)"
  exit 1
fi

program=$1
shift
if [ ! -f "$program" ]; then
  echo "wine.sh: no such program: $program" >&2
  exit 127
fi
platform=win64
[ "$(pe_machine "$program")" = 332 ] && platform=win32
choose "$platform"
if [ -z "$wine" ]; then
  echo "wine.sh: cannot run $program: $why" >&2
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
# A 32-bit program gets a 32-bit prefix of its own (the win32 build folder's).
[ "$platform" = win32 ] && export WINEARCH=win32
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
