#!/usr/bin/env bash
# Runs an i386 Linux program and passes its arguments and exit status through: natively where
# the kernel runs 32-bit programs, else under qemu-i386 (Debian package qemu-user). CMake's
# crosscompiling emulator for the linux-i386 preset; scripts/test.sh runs the suites with it.
#
#   scripts/run_i386.sh program [arguments...]
#   scripts/run_i386.sh --how    prints how programs would run here: "native", "qemu-i386"
#                                 or "none" (exit status 1), and why, on one line
#
# The question is asked of the machine each time, never assumed: the 32-bit dynamic loader is
# started once natively. QRV_I386_RUNNER=native|qemu-i386 forces one way.
set -uo pipefail

loader=/lib/ld-linux.so.2

# Sets `how` and `why`.
decide() {
  case ${QRV_I386_RUNNER:-} in
    native | qemu-i386)
      how=$QRV_I386_RUNNER
      why="forced by QRV_I386_RUNNER"
      return
      ;;
  esac
  if [ ! -e "$loader" ]; then
    how=none
    why="no 32-bit C library ($loader missing; Debian package libc6-i386 via g++-multilib)"
    return
  fi
  if "$loader" --version >/dev/null 2>&1; then
    # A binfmt_misc entry for qemu-i386 would run the probe, and every 32-bit program, through
    # qemu without our asking.
    local entry
    for entry in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i386-static; do
      if [ -f "$entry" ] && head -n 1 "$entry" | grep -q '^enabled'; then
        how=native
        why="through the kernel's binfmt_misc entry $(basename "$entry")"
        return
      fi
    done
    how=native
    why="the kernel runs 32-bit programs"
    return
  fi
  if command -v qemu-i386 >/dev/null 2>&1; then
    how=qemu-i386
    why="the kernel runs no 32-bit programs"
    return
  fi
  how=none
  why="the kernel runs no 32-bit programs and qemu-i386 is missing (Debian package qemu-user)"
}

if [ $# -lt 1 ]; then
  echo "usage: $0 program [arguments...] | --how" >&2
  exit 2
fi

decide
if [ "$1" = --how ]; then
  echo "$how ($why)"
  [ "$how" != none ]
  exit
fi

program=$1
shift
if [ ! -f "$program" ]; then
  echo "run_i386.sh: no such program: $program" >&2
  exit 127
fi
case $how in
  native) exec "$program" "$@" ;;
  qemu-i386) exec qemu-i386 "$program" "$@" ;;
  *)
    echo "run_i386.sh: cannot run $program: $why" >&2
    exit 127
    ;;
esac
