#!/bin/sh
# Runs the frame benchmark and its llvmpipe peer alternately in one sitting
# and prints, per frame size and thread count, the median of each side's
# per-run medians and their ratio (ours / llvmpipe), for wall time and for
# processor time (each run's mean per frame, which counts every thread).
# llvmpipe's "1 thread" is LP_NUM_THREADS=0 (everything on the calling
# thread); its "2 threads" is LP_NUM_THREADS=2. Last, per frame size, our two
# threads against our one thread: the median over runs of each run's ratio
# (both thread counts timed in the same run, seconds apart, so a machine whose
# speed drifts between runs moves both alike).
#
#   bench/d3d9/compare_llvmpipe.sh [BUILD_DIR] [ROUNDS] [FRAMES] [MODEL.pdt]
set -eu
build=${1:-build}
rounds=${2:-5}
frames=${3:-200}
model=${4:-}
ours=$build/bench/d3d9/wbx_bench_d3d9_frame
peer=$build/bench/osmesa/wbx_bench_osmesa_frame
for program in "$ours" "$peer"; do
  [ -x "$program" ] || { echo "missing $program (build it first)" >&2; exit 2; }
done
out=$(mktemp)
trap 'rm -f "$out" "$out.ratio"' EXIT
for size in 640x480 1920x1080; do
  f=$frames
  [ "$size" = 1920x1080 ] && f=$(( (frames + 3) / 4 ))
  i=0
  while [ "$i" -lt "$rounds" ]; do
    # shellcheck disable=SC2086
    "$ours" $model --size "$size" --frames "$f" --threads 1,2 | sed -n "s/^threads \([0-9]*\): median \([0-9]*\) us.*cpu median [0-9]* us\/frame, mean \([0-9]*\) us.*/$size ours \1 \2 \3/p" >> "$out"
    # shellcheck disable=SC2086
    "$peer" $model --size "$size" --frames "$f" --threads 0,2 | sed -n "s/^threads \([0-9]*\): median \([0-9]*\) us.*cpu median [0-9]* us\/frame, mean \([0-9]*\) us.*/$size llvmpipe \1 \2 \3/p" | sed 's/ llvmpipe 0 / llvmpipe 1 /' >> "$out"
    i=$((i + 1))
  done
done
# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
echo "size      threads  ours wall  llvmpipe wall  ratio   ours cpu  llvmpipe cpu  ratio  (us, medians of $rounds runs)"
for size in 640x480 1920x1080; do
  for t in 1 2; do
    med() { grep "^$size $1 $t " "$out" | awk -v c="$2" '{print $c}' | median; }
    ow=$(med ours 4); oc=$(med ours 5); lw=$(med llvmpipe 4); lc=$(med llvmpipe 5)
    awk -v s="$size" -v t="$t" -v ow="$ow" -v lw="$lw" -v oc="$oc" -v lc="$lc" \
      'BEGIN {printf "%-9s %7d  %9d  %13d  %5.2f  %9d  %12d  %5.2f\n", s, t, ow, lw, ow / lw, oc, lc, oc / lc}'
  done
done
echo "size      ours 2 threads / ours 1 thread, median of $rounds runs' own ratios (wall, cpu)"
for size in 640x480 1920x1080; do
  grep "^$size ours " "$out" | awk '
    $3 == 1 { w1[++n1] = $4; c1[n1] = $5 }
    $3 == 2 { w2[++n2] = $4; c2[n2] = $5 }
    END { for (i = 1; i <= n1 && i <= n2; ++i) printf "%f %f\n", w2[i] / w1[i], c2[i] / c1[i] }' > "$out.ratio"
  w=$(cut -d' ' -f1 "$out.ratio" | median)
  c=$(cut -d' ' -f2 "$out.ratio" | median)
  lo=$(cut -d' ' -f1 "$out.ratio" | sort -n | head -1)
  hi=$(cut -d' ' -f1 "$out.ratio" | sort -n | tail -1)
  awk -v s="$size" -v w="$w" -v c="$c" -v lo="$lo" -v hi="$hi" \
    'BEGIN {printf "%-9s wall %.3f (runs %.3f-%.3f), cpu %.3f\n", s, w, lo, hi, c}'
done
