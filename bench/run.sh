#!/usr/bin/env bash
# Builds style A of the shipped kit at growing sizes and compares each build with a plain copy of
# its own output file, in the same folder, in the same run. For each size it prints the output
# size, the median wall time of the build, its MB/s, its peak memory, the median time of `cp`, and
# the ratio of the two medians.
#
#   bench/run.sh [towerkit binary] [runs per size]
# The scratch folder is BENCH_DIR (default: a new folder under /tmp); it needs about 2 GB free.
set -euo pipefail
cd "$(dirname "$0")/.."

tool=$(realpath "${1:-build/default/towerkit}")
runs=${2:-5}
units=$(realpath units)
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-bench-XXXXXX)}
mkdir -p "$dir"
trap 'rm -f "$dir"/out.obj "$dir"/copy.obj "$dir"/time.txt' EXIT

# width length height, chosen so that the output grows from about 10 MB to about 1 GB.
sizes=${BENCH_SIZES:-"10 10 10;20 20 20;30 30 30;50 50 40;70 70 60;100 100 100"}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
calc() { awk "BEGIN {print $1}"; }

printf '%-12s %10s %9s %9s %9s %9s %7s\n' "size" "MB" "build s" "MB/s" "peak MiB" "cp s" "ratio"
IFS=';' read -ra list <<< "$sizes"
for size in "${list[@]}"; do
  read -r w l h <<< "$size"
  builds=(); copies=(); peak=0
  for ((i = 0; i < runs; i++)); do
    rm -f "$dir/out.obj" "$dir/copy.obj"
    start=$(now)
    OSTREL_UNITS_PATH="$units" /usr/bin/time -v -o "$dir/time.txt" \
      "$tool" -s A -w "$w" -l "$l" -h "$h" -d NC -b SC -c WE "$dir/out.obj" > /dev/null
    builds+=("$(calc "$(now) - $start")")
    kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
    (( kib > peak )) && peak=$kib
    start=$(now)
    cp "$dir/out.obj" "$dir/copy.obj"
    copies+=("$(calc "$(now) - $start")")
  done
  bytes=$(stat -c %s "$dir/out.obj")
  build=$(printf '%s\n' "${builds[@]}" | median)
  copy=$(printf '%s\n' "${copies[@]}" | median)
  mb=$(calc "$bytes / 1000000")
  printf '%-12s %10.1f %9.3f %9.1f %9.1f %9.3f %7.2f\n' "${w}x${l}x${h}" "$mb" "$build" \
    "$(calc "$mb / $build")" "$(calc "$peak / 1024")" "$copy" "$(calc "$build / $copy")"
done
