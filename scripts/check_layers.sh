#!/usr/bin/env bash
# Keeps the plug-in's layering from drifting: every #include "folder/file.h" under src/ must
# point into the including file's own folder or into a folder below it in the order here, no
# two units (a .h with its .cpp) may include each other, and no file may call a function that
# only a layer above it defines (a declaration below would get the call past the include rule).
# Prints "layers: ok (...)" or one line per offending include or use, then exits nonzero.
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

# Every function the files define at file level (its head ends in "{" rather than ";"), as
# "name file" lines; comments are left out.
defined_functions() {
  [ $# -gt 0 ] || return 0
  awk '
    FNR == 1 { pending = "" }
    {
      line = $0
      sub(/\/\/.*$/, "", line)
      if (pending == "" && line !~ /^(typedef|using|return|#)/ &&
          match(line, /^[A-Za-z_][^=;(]*[^A-Za-z0-9_(][A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(/)) {
        count = split(substr(line, 1, RLENGTH - 1), words, /[^A-Za-z0-9_]+/)
        pending = words[count] != "" ? words[count] : words[count - 1]
      }
      if (pending == "") next
      if (line ~ /[{]/) { print pending, FILENAME; pending = "" }
      else if (line ~ /;/) pending = ""
    }' "$@"
}
declare -A defined_above=() defined_in=()
for index in "${!layers[@]}"; do
  [ -d "$root/${layers[$index]}" ] || continue
  while read -r name _; do defined_in[$index]+=" $name"; done < <(defined_functions \
    $(find "$root/${layers[$index]}" -type f \( -name '*.h' -o -name '*.cpp' \) | sort))
done
for index in "${!layers[@]}"; do
  layer=${layers[$index]}
  [ -d "$root/$layer" ] || continue
  # A name this layer or one below defines as well is its own, whatever the layers above hold.
  declare -A own=()
  for lower in "${!layers[@]}"; do
    [ "$lower" -ge "$index" ] || continue
    for name in ${defined_in[$lower]:-}; do own[$name]=1; done
  done
  names=()
  for name in "${!defined_above[@]}"; do
    [ -z "${own[$name]+set}" ] && names+=("$name")
  done
  unset own
  if [ ${#names[@]} -gt 0 ]; then
    call="(^|[^A-Za-z0-9_.>:])($(IFS='|'; echo "${names[*]}"))[[:space:]]*\\("
    # grep finds the candidates; a mention inside a comment is no call.
    while IFS= read -r hit; do
      file=${hit%%:*} rest=${hit#*:}
      line=${rest%%:*} text=${rest#*:}
      [[ ${text%%//*} =~ $call ]] || continue
      name=${BASH_REMATCH[2]}
      problems+=("src/${file#"$root"/}:$line uses $name, defined only above $layer/ (src/${defined_above[$name]#"$root"/})")
    done < <(find "$root/$layer" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z |
      xargs -0r grep -nHE "$call")
  fi
  while read -r name file; do
    [ -z "${defined_above[$name]+set}" ] && defined_above[$name]=$file
  done < <(defined_functions $(find "$root/$layer" -type f \( -name '*.h' -o -name '*.cpp' \) | sort))
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
