#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, among them the i386
# architecture for 32-bit wine (wine32:i386) and qemu-i386 (qemu-user). Calls apt-get only when
# something is missing, so a second run costs two dpkg queries.
set -euo pipefail

packages=(
  cmake g++ g++-multilib
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 wine32:i386 qemu-user
  libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev file
)

add_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1

# One query for all: "cmake", "libgtest-dev:amd64" (multi-arch libraries carry their
# architecture), "wine32:i386".
declare -A installed=()
native=$(dpkg --print-architecture)
while IFS=$'\t' read -r name status; do
  [ "$status" = "install ok installed" ] && installed[${name%:"$native"}]=1
done < <(dpkg-query -W -f='${binary:Package}\t${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for pkg in "${packages[@]}"; do
  [ -n "${installed[$pkg]:-}" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ] && [ $add_i386 -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "deps: missing packages (${missing[*]}) and neither root nor sudo; install them by hand" >&2
  exit 1
fi

if [ $add_i386 -eq 1 ]; then
  echo "deps: adding the i386 architecture (for wine32:i386)"
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
# Multi-arch libraries must match across architectures, so apt may bring some installed amd64
# libraries up to the version of their new i386 twins; it removes nothing.
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
