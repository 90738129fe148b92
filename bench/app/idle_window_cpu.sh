#!/usr/bin/env bash
# The CPU a running viewer window takes while nobody touches it, as a user
# runs it: the wardrobix program on an X server of its own (Xvfb, 60 Hz),
# measured from the process's own CPU time (/proc/PID/stat) over a span of
# wall time after it has settled. Several programs are measured in turn,
# round after round, so that each one's figure is taken beside the others'
# under the same load; the median of the rounds follows.
#
#   bench/app/idle_window_cpu.sh [-r ROUNDS] [-s SECONDS] [-d DATA] PROGRAM...
#
# DATA is a data folder (default: one generated with build/tools/
# wardrobix-sample-data). The settings go to a temporary folder.
set -euo pipefail

rounds=3
seconds=20
data=
while getopts "r:s:d:" option; do
  case $option in
    r) rounds=$OPTARG ;;
    s) seconds=$OPTARG ;;
    d) data=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: $0 [-r ROUNDS] [-s SECONDS] [-d DATA] PROGRAM..." >&2; exit 2; }

work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "$data" ]; then
  generator=$(dirname "$0")/../../build/tools/wardrobix-sample-data
  data=$work/data
  "$generator" "$data" > /dev/null
fi

display=
for n in $(seq 81 99); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
  if [ -e /tmp/.X11-unix/X$n ]; then display=:$n; break; fi
  kill "$xvfb" 2>/dev/null || true
  xvfb=
done
[ -n "$display" ] || { echo "no Xvfb could be started" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# One run of program: its CPU share in percent of one core.
measure() {
  local program=$1
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config HOME=$work \
    "$program" --data "$data" > /dev/null 2>&1 &
  local pid=$!
  sleep 2  # shown, first frames out
  local before start after end
  before=$(cpu_ticks "$pid")
  start=$(date +%s.%N)
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  end=$(date +%s.%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  awk -v c=$((after - before)) -v t="$ticks" -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", 100 * c / t / (e - s) }'
}

declare -A results
for round in $(seq "$rounds"); do
  for program in "$@"; do
    figure=$(measure "$program")
    results[$program]="${results[$program]:-} $figure"
    echo "round $round: $program: $figure % of one core"
  done
done
for program in "$@"; do
  # shellcheck disable=SC2086
  median=$(printf '%s\n' ${results[$program]} | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  echo "median: $program: $median % of one core (runs:${results[$program]})"
done
