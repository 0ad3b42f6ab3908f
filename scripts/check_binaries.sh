#!/usr/bin/env bash
# Checks the four plug-in binaries: file type and machine, the exact undecorated export list, the
# libraries they need, (Linux) the newest C library version they require and that they need no
# C++ run-time versions from the system, and (32-bit Windows) that every function it imports is
# on the oldest Windows it is meant to load on. One line per check, then "N passed, M failed";
# nonzero exit on failure.
#
# usage: scripts/check_binaries.sh [build root, default build]
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}

so32=$build/linux-i386/bin/qrv_vemtark_mm_i386.so
so64=$build/linux/bin/qrv_vemtark_mm_amd64.so
dll32=$build/win32/bin/qrv_vemtark_mm.dll
dll64=$build/win64/bin/qrv_vemtark_mm.dll

# What the engine and Metamod look up by name; nothing more may be visible.
expected_exports="GetEntityAPI2
GetEntityAPI2_Post
GetNewDLLFunctions
GiveFnptrsToDll
Meta_Attach
Meta_Detach
Meta_Init
Meta_Query
Server_GetBlendingInterface"

# The oldest C libraries the servers we support run: 32-bit engines go back to glibc 2.11,
# 64-bit ones to 2.17.
glibc_limit_i386=2.11
glibc_limit_amd64=2.17
# Nothing else may be needed from the system on Linux.
linux_libraries=(libc.so.6 libm.so.6 libdl.so.2)
# Every function the 32-bit DLL imports, by DLL, each looked up for the oldest Windows that has
# it: CreateWaitableTimerExW needs Vista / Server 2008, the rest XP at most (the newest of them
# AddVectoredExceptionHandler and RemoveVectoredExceptionHandler), so the DLL loads on Vista and
# later. A new import fails the check until its oldest Windows has been looked up and it is added.
declare -A win32_imports=(
  [kernel32.dll]="AddVectoredExceptionHandler CloseHandle CreateFileA CreateWaitableTimerExW
    CreateWaitableTimerW DeleteCriticalSection EnterCriticalSection FreeLibrary GetCommandLineA
    GetCurrentProcess GetCurrentThreadId GetLastError GetModuleHandleA GetModuleHandleExA
    GetModuleHandleW GetProcessTimes
    GetProcAddress GetSystemInfo InitializeCriticalSection IsDBCSLeadByteEx LeaveCriticalSection
    LoadLibraryA MultiByteToWideChar QueryPerformanceCounter QueryPerformanceFrequency
    RemoveVectoredExceptionHandler SetWaitableTimer Sleep TlsGetValue VirtualProtect VirtualQuery
    WaitForSingleObject WideCharToMultiByte WriteFile"
  [msvcrt.dll]="__mb_cur_max _amsg_exit _errno _initterm _iob _lock _unlock abort atoi calloc
    exit fclose feof fgetc fopen fputc fread free fseek ftell fwrite localeconv localtime malloc
    memcpy memmove memset realloc setlocale strchr strcmp strerror strlen strncmp strncpy strpbrk
    strstr strtod strtol time ungetc vfprintf wcslen"
  [user32.dll]="MessageBoxA"
  [winmm.dll]="timeBeginPeriod timeEndPeriod timeGetDevCaps"
)

passed=0
failed=0

pass() {
  echo "PASS $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL $1: $2"
  failed=$((failed + 1))
}

pe_objdump() {  # the mingw objdump knows PE for sure; the host one usually does too
  local tool
  for tool in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump objdump; do
    if command -v "$tool" >/dev/null 2>&1; then
      "$tool" "$@"
      return
    fi
  done
  echo "no objdump found" >&2
  return 127
}

# Compares a list of names (one per line) with the expected exports; prints the difference.
export_difference() {
  local actual
  actual=$(sort -u <<<"$1" | sed '/^$/d')
  local extra missing
  extra=$(comm -13 <(echo "$expected_exports") <(echo "$actual") | tr '\n' ' ')
  missing=$(comm -23 <(echo "$expected_exports") <(echo "$actual") | tr '\n' ' ')
  [ -z "$extra$missing" ] && return 0
  local why=""
  [ -n "$missing" ] && why="missing: ${missing% }"
  [ -n "$extra" ] && why="${why:+$why; }unexpected: ${extra% }"
  echo "$why"
  return 1
}

check_elf() {
  local file=$1 label=$2 class=$3 machine=$4
  shift 4
  local -a allowed=("$@")
  if [ ! -f "$file" ]; then
    fail "$label type" "$file not found (build the preset first)"
    fail "$label exports" "$file not found"
    fail "$label needed libraries" "$file not found"
    return 1
  fi

  local header got_class got_machine
  header=$(readelf -h "$file" 2>&1)
  got_class=$(sed -n -E 's/^ *Class: *(.*)$/\1/p' <<<"$header")
  got_machine=$(sed -n -E 's/^ *Machine: *(.*)$/\1/p' <<<"$header")
  if [ "$got_class" = "$class" ] && [ "$got_machine" = "$machine" ]; then
    pass "$label type: $class, $machine"
  else
    fail "$label type" "expected $class $machine, found ${got_class:-?} ${got_machine:-?}"
  fi

  # Every defined dynamic symbol, whatever its kind, with any @version stripped.
  local names why
  names=$(nm -D --defined-only "$file" 2>/dev/null | awk 'NF >= 3 { print $3 }' | sed 's/@.*//')
  if why=$(export_difference "$names"); then
    pass "$label exports exactly the nine entry points"
  else
    fail "$label exports" "$why"
  fi

  local needed bad=""
  needed=$(readelf -d "$file" 2>/dev/null | sed -n -E 's/.*\(NEEDED\).*\[(.*)\].*/\1/p')
  local lib ok a
  for lib in $needed; do
    ok=0
    for a in "${allowed[@]}"; do
      [ "$lib" = "$a" ] && ok=1
    done
    [ $ok -eq 1 ] || bad="$bad $lib"
  done
  if [ -z "$bad" ]; then
    pass "$label needed libraries: ${needed//$'\n'/ }"
  else
    fail "$label needed libraries" "not allowed:$bad (allowed: ${allowed[*]})"
  fi
}

# True when version $1 is no newer than version $2.
version_at_most() {
  [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$2" ]
}

# The symbol versions the binary needs (readelf -V: "File: libc.so.6" then "Name: GLIBC_2.1"),
# checked against the C library limit; any other versioned need (GLIBCXX, CXXABI, GCC) means a
# run-time that the server may not have.
check_versions() {
  local file=$1 label=$2 limit=$3
  if [ ! -f "$file" ]; then
    fail "$label C library version" "$file not found"
    fail "$label C++ run-time versions" "$file not found"
    return
  fi
  local needs
  needs=$(readelf -V --wide "$file" 2>/dev/null | sed -n '/^Version needs section/,/^$/p' |
    sed -n -E 's/^ *0x[0-9a-f]+: +Name: +([^ ]+).*/\1/p' | sort -u)
  # The symbols behind each version, for the failure messages: "(GLIBC_2.34)  dlopen".
  local symbols
  symbols=$(objdump -T "$file" 2>/dev/null | sed -n -E 's/.*\(([A-Z_]+[0-9.]*)\) +([^ ]+)$/\1 \2/p')
  culprits_of() {
    awk -v v="$1" '$1 == v { print $2 }' <<<"$symbols" | sort -u | head -n 5 | tr '\n' ' '
  }

  local glibc newest="" too_new="" other="" v
  glibc=$(sed -n -E 's/^GLIBC_([0-9]+(\.[0-9]+)+)$/\1/p' <<<"$needs" | sort -V)
  newest=$(tail -n 1 <<<"$glibc")
  for v in $glibc; do
    version_at_most "$v" "$limit" || too_new="$too_new GLIBC_$v ($(culprits_of "GLIBC_$v"))"
  done
  if [ -z "$newest" ]; then
    fail "$label C library version" "no GLIBC symbol versions found (readelf -V)"
  elif [ -z "$too_new" ]; then
    pass "$label requires GLIBC_$newest at most (limit $limit)"
  else
    fail "$label C library version" "above GLIBC_$limit:$too_new"
  fi

  for v in $needs; do
    case $v in GLIBC_[0-9]* | GLIBC_PRIVATE) ;; *) other="$other $v ($(culprits_of "$v"))" ;; esac
  done
  if [ -z "$other" ]; then
    pass "$label needs no C++ run-time versions from the system"
  else
    fail "$label C++ run-time versions" "needs${other}"
  fi
}

check_pe() {
  local file=$1 label=$2 format=$3
  if [ ! -f "$file" ]; then
    fail "$label type" "$file not found (build the preset first)"
    fail "$label exports" "$file not found"
    fail "$label imported DLLs" "$file not found"
    return 1
  fi

  local got
  got=$(pe_objdump -f "$file" 2>&1 | sed -n -E 's/.*file format ([^ ]+).*/\1/p' | head -n 1)
  if [ "$got" = "$format" ]; then
    pass "$label type: $format"
  else
    fail "$label type" "expected $format, found ${got:-unreadable}"
  fi

  local private
  private=$(pe_objdump -p "$file" 2>/dev/null)

  # The names in the export table's "[Ordinal/Name Pointer] Table" section, decoration kept.
  local names why
  names=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
               inside && /^[[:space:]]*$/ { inside = 0 }
               inside { print $NF }' <<<"$private")
  if why=$(export_difference "$names"); then
    pass "$label exports exactly the nine entry points, undecorated"
  else
    fail "$label exports" "$why"
  fi

  local dlls bad="" dll lower
  dlls=$(sed -n -E 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$private" | tr -d '\r')
  for dll in $dlls; do
    lower=${dll,,}
    case $lower in
      kernel32.dll | user32.dll | winmm.dll | msvcrt.dll | advapi32.dll | api-ms-win-crt-*) ;;
      libstdc++* | libgcc* | libwinpthread*) bad="$bad $dll (mingw run-time, link it statically)" ;;
      *) bad="$bad $dll (not an allowed Windows system DLL)" ;;
    esac
  done
  if [ -z "$dlls" ]; then
    fail "$label imported DLLs" "no import table found"
  elif [ -z "$bad" ]; then
    pass "$label imported DLLs: ${dlls//$'\n'/ }"
  else
    fail "$label imported DLLs" "${bad# }"
  fi
}

# Each function the DLL imports ("DLL Name:" then one line per function) against win32_imports.
check_pe_functions() {
  local file=$1 label=$2
  if [ ! -f "$file" ]; then
    fail "$label imported functions" "$file not found"
    return
  fi
  local imports dll name count=0 bad=""
  imports=$(pe_objdump -p "$file" 2>/dev/null | tr -d '\r' |
    awk '/^[[:space:]]*DLL Name:/ { dll = tolower($3); next }
         /^[[:space:]]*vma:/ { next }
         NF == 0 { dll = "" }
         dll != "" && NF >= 3 { print dll, $3 }')
  while read -r dll name; do
    [ -n "$dll" ] || continue
    count=$((count + 1))
    [[ " ${win32_imports[$dll]-} " == *[[:space:]]"$name"[[:space:]]* ]] || bad="$bad $dll!$name"
  done <<<"$imports"
  if [ "$count" -eq 0 ]; then
    fail "$label imported functions" "no imported functions found"
  elif [ -z "$bad" ]; then
    pass "$label imports $count functions, all on Windows Vista / Server 2008"
  else
    fail "$label imported functions" "not yet looked up for Windows Vista / Server 2008:$bad"
  fi
}

check_elf "$so32" "linux-i386 qrv_vemtark_mm_i386.so" ELF32 "Intel 80386" "${linux_libraries[@]}"
check_versions "$so32" "linux-i386 qrv_vemtark_mm_i386.so" "$glibc_limit_i386"
check_elf "$so64" "linux qrv_vemtark_mm_amd64.so" ELF64 "Advanced Micro Devices X86-64" \
  "${linux_libraries[@]}"
check_versions "$so64" "linux qrv_vemtark_mm_amd64.so" "$glibc_limit_amd64"
check_pe "$dll32" "win32 qrv_vemtark_mm.dll" pei-i386
check_pe_functions "$dll32" "win32 qrv_vemtark_mm.dll"
check_pe "$dll64" "win64 qrv_vemtark_mm.dll" pei-x86-64

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
