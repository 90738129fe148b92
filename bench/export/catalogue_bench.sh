#!/usr/bin/env bash
# The catalogue's rates as a user sees them: `wardrobix catalogue` timed as a
# whole process on generated data, into a fresh folder each run.
#
#   bench/export/catalogue_bench.sh [options]
#     --program PATH    the wardrobix to time (default: build/src/app/wardrobix)
#     --peer PATH       a second wardrobix, run in turn with the first (a ratio
#                       needs both timed in the same sitting on a shared machine)
#     --generator PATH  the sample-data generator (default: build/tools/wardrobix-sample-data)
#     --items N         items per slot of the generated data (default 30; 10 slots)
#     --runs N          runs of each program and kind (default 5)
#     --jobs N          threads (default 2)
#     --kinds LIST      comma-separated, of:
#                         mixed       640x480 front and back, 128x128 thumbnail (the defaults)
#                         thumbnails  every view 128x128: thumbnails only
#                         pictures    every view 640x480: pictures only
#                       (default: mixed,thumbnails,pictures)
#     --grey            the viewer's grey behind the figure (default: transparent)
#     --output-root DIR where the catalogues are written (default: a temporary
#                       folder in $TMPDIR or /tmp); e.g. /dev/shm leaves the
#                       disk's file system out of the figures
#
# Prints, per program and kind, the median, lowest and highest of: pictures/s
# (640x480 views), thumbnails/s (128x128 views), and the peak resident memory.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
program=$root/build/src/app/wardrobix
peer=
generator=$root/build/tools/wardrobix-sample-data
items=30
runs=5
jobs=2
kinds=mixed,thumbnails,pictures
output_root=
background=--transparent

while [ $# -gt 0 ]; do
    case $1 in
    --program) program=$2; shift 2 ;;
    --peer) peer=$2; shift 2 ;;
    --generator) generator=$2; shift 2 ;;
    --items) items=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --kinds) kinds=$2; shift 2 ;;
    --grey) background=; shift ;;
    --output-root) output_root=$2; shift 2 ;;
    -h | --help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "catalogue_bench: unknown option $1" >&2; exit 2 ;;
    esac
done
case $items in '' | *[!0-9]*) echo "catalogue_bench: --items takes a number" >&2; exit 2 ;; esac
case $runs in '' | *[!0-9]* | 0) echo "catalogue_bench: --runs takes a number from 1" >&2; exit 2 ;; esac
for tool in "$program" "$generator" ${peer:+"$peer"}; do
    [ -x "$tool" ] || { echo "catalogue_bench: cannot run $tool" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "catalogue_bench: needs GNU time (/usr/bin/time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/wbx-catalogue-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$generator" --items "$items" "$work/data" >/dev/null
outputs=${output_root:-$work}
if [ -n "$output_root" ]; then
    outputs=$(mktemp -d "$output_root/wbx-catalogue-out.XXXXXX")
    trap 'rm -rf "$work" "$outputs"' EXIT
fi

# The options of a kind, and how many 640x480 and 128x128 views an item has.
kind_options() {
    case $1 in
    mixed) echo "--size 640x480 --thumbnail 128 2 1" ;;
    thumbnails) echo "--size 128x128 --thumbnail 128 0 3" ;;
    pictures) echo "--size 640x480 --thumbnail 640x480 3 0" ;;
    *) echo "catalogue_bench: unknown kind $1" >&2; return 2 ;;
    esac
}

# median lowest highest of the numbers on standard input
summary() {
    sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.1f (%.1f-%.1f)", m, v[1], v[NR] }'
}

programs=("$program")
[ -n "$peer" ] && programs+=("$peer")
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
IFS=, read -r -a kind_list <<<"$kinds"
for kind in "${kind_list[@]}"; do
    read -r size_flag size thumb_flag thumb big small <<<"$(kind_options "$kind")"
    for ((run = 1; run <= runs; ++run)); do
        for p in "${!programs[@]}"; do
            # A folder of its own per run, all removed at the end: deleting
            # the last run's files just before a run would time the file
            # system's reuse of freshly freed inodes rather than the program.
            out=$outputs/$kind.$run.$p
            start=$(date +%s.%N)
            /usr/bin/time -f %M -o "$work/rss" "${programs[$p]}" catalogue --data "$work/data" -o "$out" \
                -j "$jobs" $background "$size_flag" "$size" "$thumb_flag" "$thumb" >/dev/null 2>"$work/log" ||
                { echo "catalogue_bench: the catalogue failed:" >&2; cat "$work/log" >&2; exit 1; }
            end=$(date +%s.%N)
            done_items=$(($(wc -l <"$out/manifest.csv") - 1))
            done_items=$((done_items / 3))
            awk -v s="$start" -v e="$end" -v n="$done_items" -v b="$big" -v t="$small" \
                'BEGIN { d = e - s; printf "%f %f\n", n * b / d, n * t / d }' >>"$work/rates.$p.$kind"
            cat "$work/rss" >>"$work/rss.$p.$kind"
        done
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %-8s %-26s %-26s %s\n' kind program "pictures/s median (range)" "thumbnails/s median (range)" \
    "peak KB median (range)"
for kind in "${kind_list[@]}"; do
    for p in "${!programs[@]}"; do
        name=program
        [ "$p" = 1 ] && name=peer
        printf '%-10s %-8s %-26s %-26s %s\n' "$kind" "$name" \
            "$(cut -d' ' -f1 "$work/rates.$p.$kind" | summary)" \
            "$(cut -d' ' -f2 "$work/rates.$p.$kind" | summary)" \
            "$(summary <"$work/rss.$p.$kind")"
    done
done
