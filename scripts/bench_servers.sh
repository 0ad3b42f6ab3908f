#!/usr/bin/env bash
# Many emulated servers on one machine at the same time: builds the bench preset, then for each
# count N runs N copies of qrv_pacing_bench as separate processes, once all paced at 1000 (row a)
# and once all as the spinning -pingboost 3 loop at sys_ticrate 1001 (row d). The copies warm up
# on their own, then all measure the same seconds from one start time, so that they contend for
# the cores; each run prints a line a copy and its lowest FPS, highest p99 and summed CPU, and a
# table of all runs comes last. About a minute with the defaults.
# Environment: QRV_SERVERS_COUNTS (default "4 8 12") the copy counts; QRV_PACING_SECONDS (default
# 3) the seconds measured a run; QRV_SERVERS_LEAD (default 7) the seconds from launching the
# copies to the shared start, which must cover a copy's warm-up (about 4.5 s) under the load.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
counts=${QRV_SERVERS_COUNTS:-4 8 12}
seconds=${QRV_PACING_SECONDS:-3}
lead=${QRV_SERVERS_LEAD:-7}
for count in $counts; do
  if ! [[ $count =~ ^[1-9][0-9]*$ ]] || [ "$count" -gt 64 ]; then
    echo "bench_servers: QRV_SERVERS_COUNTS holds \"$count\", not a count from 1 to 64" >&2
    exit 2
  fi
done
if ! [[ $lead =~ ^[1-9][0-9]*$ ]]; then
  echo "bench_servers: QRV_SERVERS_LEAD must be whole seconds, not \"$lead\"" >&2
  exit 2
fi
bash scripts/build_preset.sh bench
bin=build/bench/bin/qrv_pacing_bench
if [ ! -x "$bin" ]; then
  echo "bench_servers: $bin was not built" >&2
  exit 1
fi

work=$(mktemp -d)
pids=()
# Only the copies this script started, by their ids, should a run be cut short.
stop_copies() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_copies EXIT
trap 'exit 130' INT TERM

summary=$work/summary
cores=$(nproc)
# The CPU time all tasks of the machine have used so far, in microseconds, and the time of day in
# microseconds. From the root control group's counter, which the scheduler keeps to the
# nanosecond; /proc/stat samples at the timer tick, which misses most of a paced server's short
# runs. Nothing where neither version of control groups shows the root's counter.
machine_cpu() {
  local used
  if [ -r /sys/fs/cgroup/cpuacct/cpuacct.usage ]; then
    used=$(($(cat /sys/fs/cgroup/cpuacct/cpuacct.usage) / 1000))
  elif [ -r /sys/fs/cgroup/cpu.stat ]; then
    used=$(awk '$1 == "usage_usec" { print $2 }' /sys/fs/cgroup/cpu.stat)
  else
    return 0
  fi
  echo "$used ${EPOCHREALTIME/[.,]/}"
}
sound=1
echo "Many emulated ReHLDS servers at once on $cores cores: $seconds s measured together a run."
echo "CPU is each copy's process CPU time over the window, as a share of one core; the machine's"
echo "is all tasks' CPU time over about the same window (the copies and everything else running)."
for count in $counts; do
  for row in a d; do
    case $row in
      a) loop="paced at 1000" ;;
      d) loop="spinning, unpaced 1001" ;;
    esac
    start=$(($("$bin" --clock) + lead * 1000000000))
    pids=()
    for copy in $(seq 1 "$count"); do
      "$bin" --rows "$row" --seconds "$seconds" --start-at "$start" --raw \
        >"$work/$copy.out" 2>"$work/$copy.err" &
      pids+=("$!")
    done
    # What the whole machine did over the window, so that figures taken beside other work show it.
    now=$("$bin" --clock)
    sleep "$(awk -v ns=$((start - now)) 'BEGIN { printf "%.3f", (ns > 0 ? ns / 1e9 : 0) }')"
    before=$(machine_cpu)
    sleep "$seconds"
    after=$(machine_cpu)
    machine=$(awk -v before="$before" -v after="$after" 'BEGIN {
      split(before, b, " "); split(after, a, " ")
      if (before == "" || after == "" || a[2] <= b[2]) print "n/a"
      else printf "%.1f", 100 * (a[1] - b[1]) / (a[2] - b[2]) }')
    failed=0
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    pids=()
    echo
    echo "$count copies, $loop:"
    printf '  %4s %8s %8s %7s\n' copy FPS "p99 ms" "CPU %"
    for copy in $(seq 1 "$count"); do
      line=$(grep -m 1 '^row=' "$work/$copy.out" || true)
      if [ -z "$line" ]; then
        # Its exit status already marks the run as failed.
        echo "  $copy: no figures ($(head -c 200 "$work/$copy.err"))"
        continue
      fi
      echo "$copy $line"
    done | awk -v count="$count" -v loop="$loop" -v machine="$machine" -v summary="$summary" '
      function field(name,   i) {
        for (i = 2; i <= NF; i++) if (index($i, name "=") == 1) return substr($i, length(name) + 2)
        return ""
      }
      $2 !~ /^row=/ { print; next }
      {
        # As numbers: awk compares two fields read as text letter by letter.
        fps = field("fps") + 0; p99 = field("p99_ms") + 0; cpu = field("cpu_pct") + 0
        problem = substr($0, index($0, "problem=") + 8)
        printf "  %4d %8.1f %8.3f %7.1f%s\n", $1, fps, p99, cpu, problem == "" ? "" : "  PROBLEM: " problem
        if (problem != "") problems++
        slack = field("slack_ms") / 1000; lag = field("start_lag_us") / 1000
        if (n == 0 || slack < least_slack) least_slack = slack
        if (n == 0 || lag > most_lag) most_lag = lag
        if (n == 0 || fps < lowest) lowest = fps
        if (n == 0 || p99 > highest) highest = p99
        sum += cpu
        n++
      }
      END {
        if (n == 0) exit
        printf "  lowest FPS %.1f, highest p99 %.3f ms, sum CPU %.1f %% of a core (%d of %d copies%s)\n", \
          lowest, highest, sum, n, count, problems ? ", " problems " with problems" : ""
        printf "  the whole machine used %s %% of a core meanwhile\n", machine
        if (least_slack < 0)
          printf "  a copy warmed up %.1f s after the start: that run did not contend throughout\n", -least_slack
        else
          printf "  every copy warmed up %.1f s or more before the start and began within %.2f ms of it\n", \
            least_slack, most_lag
        printf "%3d  %-24s %10.1f %14.3f %10.1f %14s%s\n", count, loop, lowest, highest, sum, machine, \
          (n < count || problems) ? "  (see above)" : "" >> summary
      }'
    [ "$failed" -eq 0 ] || sound=0
  done
done

echo
printf '%3s  %-24s %10s %14s %10s %14s\n' N loop "lowest FPS" "highest p99 ms" "sum CPU %" "machine CPU %"
cat "$summary"
[ "$sound" -eq 1 ]
