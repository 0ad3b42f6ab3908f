#!/usr/bin/env bash
# Draws how the plug-in steers sys_ticrate towards qrv_vemtark_autofps, from two demo traces: a
# target above the running rate (pinned at 100, then 250) and one below (pinned at 400, then
# 150). Writes tickrate-steering.svg beside the README; installs gnuplot when it is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build_preset.sh linux
if ! command -v gnuplot >/dev/null 2>&1; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    gnuplot-nox
fi

traces=$(mktemp -d)
trap 'rm -rf "$traces"' EXIT
build/linux/bin/qrv_demo --trace "$traces/up.txt" 100 250 90 >/dev/null
build/linux/bin/qrv_demo --trace "$traces/down.txt" 400 150 90 >/dev/null

gnuplot <<PLOT
set terminal svg size 900,420 dynamic font "sans,11" background rgb "white"
set output "tickrate-steering.svg"
set multiplot layout 1,2 title "QRV Vem-Tark steering sys\\\\_ticrate towards qrv\\\\_vemtark\\\\_autofps (emulated server)"
set xlabel "game time (s)"
set ylabel "frames per second"
set grid
set key bottom right
set yrange [0:450]
set arrow from 12, graph 0 to 12, graph 1 nohead dashtype 2 linecolor rgb "gray"
set title "pinned at 100, then target 250"
plot "$traces/up.txt" using 1:2 with lines linecolor rgb "#bbbbbb" title "server frame rate", \
     "" using 1:4 with steps linewidth 2 linecolor rgb "#d95f02" title "sys\\\\_ticrate", \
     "" using 1:3 with steps linewidth 2 linecolor rgb "#1b9e77" title "qrv\\\\_fps (measured)", \
     250 with lines dashtype 3 linecolor rgb "black" title "target"
set title "pinned at 400, then target 150"
plot "$traces/down.txt" using 1:2 with lines linecolor rgb "#bbbbbb" title "server frame rate", \
     "" using 1:4 with steps linewidth 2 linecolor rgb "#d95f02" title "sys\\\\_ticrate", \
     "" using 1:3 with steps linewidth 2 linecolor rgb "#1b9e77" title "qrv\\\\_fps (measured)", \
     150 with lines dashtype 3 linecolor rgb "black" title "target"
unset multiplot
PLOT
echo "plot: tickrate-steering.svg"
