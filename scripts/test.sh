#!/usr/bin/env bash
# Installs what is missing, builds every preset, runs every suite and checks the release binaries.
# The suites run against the binaries of every platform: x86_64 Linux and the sanitizer build
# natively, i386 Linux natively where the kernel runs 32-bit programs and else under qemu-i386,
# x86_64 Windows under wine64, i686 Windows under 32-bit wine where the kernel runs 32-bit
# programs. How each preset's suites run is decided here at run time and said in the log; suites
# that cannot run on this machine are said so in one line and counted as skipped.
# Prints one line per build, suite and binary check, and ends with exactly one line
# "N passed, M failed, K skipped" (tests, plus whole suites that could not run). Exit status is
# nonzero when anything failed.
#
# Logs of every step: build/logs/.
# QRV_PRESETS="linux win64" limits the run to some presets (default: all of them);
# QRV_TEST_TIMEOUT (seconds, default 1200) bounds each suite; QRV_JOBS (default 2) the build;
# QRV_FUZZ_SECONDS (default 15) is how long each fuzz target runs.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

read -r -a presets <<<"${QRV_PRESETS:-linux linux-i386 win32 win64 sanitize fuzz}"
jobs=${QRV_JOBS:-2}
suite_timeout=${QRV_TEST_TIMEOUT:-1200}
logs=build/logs
mkdir -p "$logs"

passed=0
failed=0
skipped=0

fail_tail() {  # shows why a step failed without flooding the console
  sed -e 's/^/    | /' "$1" | tail -n "${2:-25}"
}

finish() {
  echo "$passed passed, $failed failed, $skipped skipped"
  if [ "$failed" -eq 0 ]; then exit 0; fi
  exit 1
}

# --- packages ---------------------------------------------------------------------------------
if ! bash scripts/deps.sh >"$logs/deps.log" 2>&1; then
  echo "deps: FAILED to install the packages the build needs ($logs/deps.log)"
  fail_tail "$logs/deps.log"
  failed=$((failed + 1))
  finish
fi
echo "deps: ok"

# --- layers -----------------------------------------------------------------------------------
# Every include of the plug-in points down a layer; two folders or units never include each other.
if bash scripts/check_layers.sh >"$logs/layers.log" 2>&1; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi
cat "$logs/layers.log"

# --- builds -----------------------------------------------------------------------------------
declare -A built=()
declare -A suite_ran=()
for preset in "${presets[@]}"; do
  configure_log=$logs/$preset-configure.log
  build_log=$logs/$preset-build.log
  start=$SECONDS
  if ! cmake --preset "$preset" >"$configure_log" 2>&1; then
    echo "build $preset: FAILED to configure ($configure_log)"
    fail_tail "$configure_log"
    failed=$((failed + 1))
    continue
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >"$build_log" 2>&1; then
    echo "build $preset: FAILED ($build_log)"
    grep -E -m 15 'error|Error|undefined reference' "$build_log" | sed -e 's/^/    | /'
    failed=$((failed + 1))
    continue
  fi
  built[$preset]=1
  echo "build $preset: ok ($((SECONDS - start)) s)"
done

# --- suites -----------------------------------------------------------------------------------
# Counts one GoogleTest run. A run that crashes, times out or exits nonzero without reporting
# failed tests is a failure of its own; so is a run that exits 0 without its summary line.
run_suite() {
  local preset=$1 exe=$2 way=$3
  local name
  name=$(basename "$exe" .exe)
  local log=$logs/$preset-$name.log
  local -a cmd
  case $preset in
    win32 | win64) cmd=(bash scripts/wine.sh "$exe") ;;
    linux-i386) cmd=(bash scripts/run_i386.sh "$exe") ;;
    sanitize)
      cmd=(env "ASAN_OPTIONS=halt_on_error=1:print_stacktrace=1:detect_leaks=1"
        "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1" "$exe")
      ;;
    *) cmd=("$exe") ;;
  esac

  local start=$SECONDS rc=0
  # The braces keep bash's own "Segmentation fault" notice off the console; the status says it.
  { timeout -k 30 "$suite_timeout" "${cmd[@]}" --gtest_brief=0 --gtest_color=no \
    </dev/null >"$log" 2>&1; } 2>/dev/null || rc=$?

  # Windows programs end their lines with CR LF.
  local p f s
  p=$(tr -d '\r' <"$log" | sed -n -E 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' | tail -n 1)
  f=$(tr -d '\r' <"$log" | sed -n -E 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' |
    tail -n 1)
  s=$(tr -d '\r' <"$log" | sed -n -E 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below.*/\1/p' |
    tail -n 1)
  p=${p:-0}
  f=${f:-0}
  s=${s:-0}

  local extra="" own=0
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    extra="; timed out after ${suite_timeout} s"
    own=1
  elif [ "$rc" -gt 128 ] && [ "$rc" -lt 160 ]; then
    extra="; killed by signal $(kill -l $((rc - 128)) 2>/dev/null || echo $((rc - 128)))"
    own=1
  elif [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
    extra="; exited with status $rc without a failure count (crash or sanitizer report?)"
    own=1
  elif [ "$rc" -eq 0 ] && ! tr -d '\r' <"$log" | grep -q -E '^\[  PASSED  \] [0-9]+ tests?\.'; then
    extra="; no GoogleTest summary in the output"
    own=1
  fi
  [ "$s" -gt 0 ] && extra="$extra; $s skipped"

  passed=$((passed + p))
  failed=$((failed + f + own))
  skipped=$((skipped + s))
  printf '%-10s %-20s %5d passed, %d failed (%d s, %s, %s)%s\n' \
    "$preset" "$name" "$p" "$f" "$((SECONDS - start))" "$way" "$log" "$extra"
  if [ "$f" -gt 0 ]; then
    tr -d '\r' <"$log" | grep -E '^\[  FAILED  \] [A-Za-z_]' | sort -u | head -n 20 |
      sed -e 's/^/    | /'
  fi
  if [ "$own" -eq 1 ]; then
    tr -d '\r' <"$log" | fail_tail /dev/stdin 15
  fi
}

# How a preset's suites run on this machine: sets `way` (native, qemu-i386, wine64, wine...) or
# leaves it empty, with the reason in `why`.
suite_runner() {
  local out rc=0
  way="" why=""
  case $1 in
    linux | sanitize)
      way=native
      return
      ;;
    # Each answers on one line: "qemu-i386 (the kernel runs no 32-bit programs)",
    # "wine64 (wine-8.0 ...)", or "none (why not)" with a nonzero status.
    linux-i386) out=$(bash scripts/run_i386.sh --how 2>&1) || rc=$? ;;
    win32 | win64) out=$(bash scripts/wine.sh --how "$1" 2>&1) || rc=$? ;;
  esac
  why=${out#* }
  [ "$rc" -eq 0 ] && way=${out%% *}
}

for preset in "${presets[@]}"; do
  case $preset in linux | linux-i386 | win32 | win64 | sanitize) ;; *) continue ;; esac
  if [ -z "${built[$preset]:-}" ]; then
    echo "$preset: suites not run, the build failed"
    continue
  fi
  # The suites CMake registered, so that a stale executable of a removed suite never runs.
  mapfile -t suites < <(ctest --test-dir "build/$preset" -N 2>/dev/null |
    sed -n -E 's/^ *Test +#[0-9]+: +([A-Za-z0-9_]+).*/\1/p')
  if [ ${#suites[@]} -eq 0 ]; then
    echo "$preset: FAILED, no test suite is registered (tests/behaviour and tests/unit empty?)"
    failed=$((failed + 1))
    continue
  fi
  suite_runner "$preset"
  if [ -z "$way" ]; then
    echo "$preset: ${#suites[@]} suites skipped, they cannot run on this machine $why"
    skipped=$((skipped + ${#suites[@]}))
    continue
  fi
  [ -n "$why" ] && echo "$preset: suites run with $way $why"
  for suite in "${suites[@]}"; do
    exe=build/$preset/bin/$suite
    case $preset in win32 | win64) exe=$exe.exe ;; esac
    if [ ! -f "$exe" ]; then
      echo "$preset $suite: FAILED, $exe was not built"
      failed=$((failed + 1))
      continue
    fi
    run_suite "$preset" "$exe" "$way"
    suite_ran[$preset/$suite]=1
  done
done

# --- the same tests everywhere ----------------------------------------------------------------
# Every configuration runs the same list of tests; one that cannot apply on a platform skips
# there and says why. Compares the tests each suite ran ("[ RUN      ] Suite.Name") across the
# presets whose suites ran.
tests_in() {  # the tests one suite log ran, sorted
  tr -d '\r' <"$1" | sed -n -E 's/^\[ RUN      \] ([^ ]+).*/\1/p' | sort
}
declare -A ran_in=()
for preset in "${presets[@]}"; do
  for key in "${!suite_ran[@]}"; do
    [ "${key%%/*}" = "$preset" ] && ran_in[${key#*/}]="${ran_in[${key#*/}]:-} $preset"
  done
done
for suite in $(printf '%s\n' "${!ran_in[@]}" | sort); do
  read -r -a where <<<"${ran_in[$suite]}"
  [ ${#where[@]} -ge 2 ] || continue
  reference=$(tests_in "$logs/${where[0]}-$suite.log")
  differ=""
  for preset in "${where[@]:1}"; do
    list=$(tests_in "$logs/$preset-$suite.log")
    if [ "$list" != "$reference" ]; then
      only=$(comm -3 <(echo "$reference") <(echo "$list") | tr -d '\t' | head -n 5 | tr '\n' ' ')
      differ="$differ ${preset} (differs in: ${only% })"
    fi
  done
  count=$(sed '/^$/d' <<<"$reference" | wc -l)
  if [ -z "$differ" ]; then
    echo "tests     $suite: the same $count tests on ${where[*]}"
    passed=$((passed + 1))
  else
    echo "tests     $suite: FAILED, the list of tests differs from ${where[0]}'s on$differ"
    failed=$((failed + 1))
  fi
done

# --- fuzz targets -----------------------------------------------------------------------------
# A short run of every libFuzzer target, each counted as one check; longer runs are by hand. A
# target qrv_<name>_fuzz starts from its seed corpus fuzz/corpus/<name>/ when there is one,
# copied to a temporary folder, since libFuzzer adds the inputs it finds to its corpus folder.
if [ -n "${built[fuzz]:-}" ]; then
  fuzz_seconds=${QRV_FUZZ_SECONDS:-15}
  fuzz_dir=$(mktemp -d)
  for target in build/fuzz/bin/qrv_*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    log=$logs/fuzz-$name.log
    seeds=fuzz/corpus/${name#qrv_}
    seeds=${seeds%_fuzz}
    corpus=()
    if [ -d "$seeds" ]; then
      mkdir -p "$fuzz_dir/corpus-$name"
      cp -R "$seeds/." "$fuzz_dir/corpus-$name/"
      corpus=("$fuzz_dir/corpus-$name")
    fi
    if (cd "$fuzz_dir" && timeout -k 30 $((fuzz_seconds + 120)) "$root/$target" \
      -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=1 \
      "${corpus[@]}") >"$log" 2>&1; then
      runs=$(sed -n -E 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
      from="no seed corpus"
      [ ${#corpus[@]} -gt 0 ] && from="seeds from $seeds"
      echo "fuzz      $name: ok (${runs:-?} inputs in $fuzz_seconds s, $from, $log)"
      passed=$((passed + 1))
    else
      echo "fuzz      $name: FAILED ($log)"
      fail_tail "$log" 20
      failed=$((failed + 1))
    fi
  done
  rm -rf "$fuzz_dir"
fi

# --- release binaries and package ------------------------------------------------------------
# Adds the counts of a check script that ends with "N passed, M failed"; its other lines are
# shown with the label in front. A script without that summary is one failure.
count_checks() {
  local label=$1 log=$2
  local summary
  summary=$(tail -n 1 "$log")
  if [[ $summary =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    sed -e '$d' -e "s/^/$label: /" "$log"
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  else
    echo "$label: FAILED, no summary ($log)"
    fail_tail "$log"
    failed=$((failed + 1))
  fi
}

bash scripts/check_binaries.sh build >"$logs/check_binaries.log" 2>&1
count_checks binaries "$logs/check_binaries.log"

# Packed as an operator downloads it, unpacked into a fresh game folder and run from there.
if [ -n "${built[linux]:-}" ] && [ -n "${built[linux-i386]:-}" ] && [ -n "${built[win32]:-}" ]; then
  if bash scripts/package.sh >"$logs/package.log" 2>&1; then
    bash scripts/check_package.sh >"$logs/check_package.log" 2>&1
    count_checks package "$logs/check_package.log"
  else
    echo "package: FAILED to build the package ($logs/package.log)"
    fail_tail "$logs/package.log"
    failed=$((failed + 1))
  fi
fi

finish
