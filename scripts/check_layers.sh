#!/usr/bin/env bash
# Keeps the plug-in's layering from drifting: every #include "folder/file.h" under src/ must
# point into the including file's own folder or into a folder below it in the order here, and no
# two units (a .h with its .cpp) may include each other. Prints "layers: ok (...)" or one line
# per offending include, then exits nonzero.
#
# Usage: scripts/check_layers.sh [source folder, default src]
set -uo pipefail

# Top to bottom. The subsystems (commands .. game) sit between the entry layer and the shared
# services; the order among them fixes the one direction any two of them may call in.
layers=(entry commands perf config game base platform sdk)

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src}
declare -A rank=()
for index in "${!layers[@]}"; do rank[${layers[$index]}]=$index; done

problems=()
declare -A edges=()
files=0
includes=0
while IFS= read -r -d '' file; do
  relative=${file#"$root"/}
  folder=${relative%%/*}
  unit=${relative%.*}
  files=$((files + 1))
  if [ -z "${rank[$folder]+set}" ]; then
    problems+=("src/$relative: folder $folder/ has no place in the layer order (scripts/check_layers.sh)")
    continue
  fi
  while IFS= read -r target; do
    includes=$((includes + 1))
    case $target in
      */*) to_folder=${target%%/*} ;;
      *) to_folder=$folder target=$folder/$target ;;
    esac
    if [ -z "${rank[$to_folder]+set}" ]; then
      problems+=("src/$relative includes $target: folder $to_folder/ has no place in the layer order")
    elif [ "${rank[$to_folder]}" -lt "${rank[$folder]}" ]; then
      problems+=("src/$relative includes $target, which lies in a layer above $folder/")
    fi
    to_unit=${target%.*}
    [ "$to_unit" != "$unit" ] && edges[$unit\>$to_unit]=1
  done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$file")
done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

for edge in "${!edges[@]}"; do
  from=${edge%%>*}
  to=${edge#*>}
  if [ -n "${edges[$to\>$from]:-}" ] && [[ $from < $to ]]; then
    problems+=("$from and $to include each other")
  fi
done

if [ "$files" -eq 0 ]; then
  echo "layers: FAILED, no source files under $root"
  exit 1
fi
if [ ${#problems[@]} -gt 0 ]; then
  printf 'layers: FAILED, %s\n' "${problems[@]}"
  exit 1
fi
echo "layers: ok ($includes includes in $files files, order ${layers[*]})"
