#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need. Calls apt-get only
# when something is missing, so a second run costs one dpkg-query.
set -euo pipefail

packages=(
  cmake g++ g++-multilib
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev file
)

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ]; then
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

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends "${missing[@]}"
