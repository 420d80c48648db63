#!/usr/bin/env bash
# Builds style A of the shipped kit at growing sizes and compares each build with a plain copy of
# its own output file, in the same folder, in the same run. For each size it prints the output
# size, the median wall time of the build, its MB/s, its peak memory, the median time of `cp`, and
# the ratio of the two medians.
# BENCH_DIR on a disk measures the file system as it is (a copy of a large file then waits for
# write-back); on tmpfs (/dev/shm) it measures the page cache alone.
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

# width length height, chosen so that the output grows from about 10 MB to about 1 GB (style A:
# 10, 43, 111, 253, 571 and 1050 MB).
sizes=${BENCH_SIZES:-"12 12 12;25 25 25;40 40 40;60 60 60;90 90 90;120 120 120"}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { echo "$EPOCHREALTIME"; }  # no process of its own, so it adds nothing to what it times
calc() { awk "BEGIN {print $1}"; }

# Builds w x l x h into $dir/out.obj under /usr/bin/time; prints the wall time in seconds.
build() {
  local start
  start=$(now)
  OSTREL_UNITS_PATH="$units" /usr/bin/time -v -o "$dir/time.txt" \
    "$tool" -s A -w "$1" -l "$2" -h "$3" -d NC -b SC -c WE "$dir/out.obj" > /dev/null
  calc "$(now) - $start"
}

echo "load before: $(uptime)"
# The fixed cost of a run (starting the process, reading the kit), from the smallest building:
# the last column leaves it out, to show how the time grows with the output alone.
startups=()
for ((i = 0; i < runs; i++)); do startups+=("$(build 1 1 1)"); done
startup=$(printf '%s\n' "${startups[@]}" | median)
echo "start-up (1x1x1 building): $startup s"
printf '%-12s %10s %9s %9s %9s %9s %7s %9s\n' "size" "MB" "build s" "MB/s" "peak MiB" "cp s" "ratio" \
  "net MB/s"
IFS=';' read -ra list <<< "$sizes"
for size in "${list[@]}"; do
  read -r w l h <<< "$size"
  builds=(); copies=(); peak=0
  for ((i = 0; i < runs; i++)); do
    rm -f "$dir/out.obj" "$dir/copy.obj"
    builds+=("$(build "$w" "$l" "$h")")
    kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
    if (( kib > peak )); then peak=$kib; fi
    start=$(now)
    cp "$dir/out.obj" "$dir/copy.obj"
    copies+=("$(calc "$(now) - $start")")
  done
  bytes=$(stat -c %s "$dir/out.obj")
  build=$(printf '%s\n' "${builds[@]}" | median)
  copy=$(printf '%s\n' "${copies[@]}" | median)
  mb=$(calc "$bytes / 1000000")
  printf '%-12s %10.1f %9.3f %9.1f %9.1f %9.3f %7.2f %9.1f\n' "${w}x${l}x${h}" "$mb" "$build" \
    "$(calc "$mb / $build")" "$(calc "$peak / 1024")" "$copy" "$(calc "$build / $copy")" \
    "$(calc "$mb / ($build - $startup)")"
done
echo "load after: $(uptime)"
