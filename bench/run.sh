#!/usr/bin/env bash
# Builds buildings at growing sizes and compares each build with a plain copy of its own output
# file, in the same folder, in the same run. For each row it prints the output size, the median
# wall time of the build, its MB/s, its peak memory, the median time of `cp`, and the ratio of
# the two medians.
#
# The first table is style A of the shipped kit from about 10 MB to 1 GB. The second is kits of
# dense pieces written by densekit (bench/densekit.cpp), each built to about 1 GB: eleven pieces
# of 20,000 and of 50,000 vertices with a normal and a texture coordinate on every corner, and
# one piece of two million vertices, positions only.
#
# With BENCH_BASELINE naming another towerkit binary, every row is measured with both, run by
# run in turn, so that the two ratios come from the same minutes of the machine. BENCH_ARGS and
# BENCH_BASELINE_ARGS add options to each, so that one binary can be measured against itself:
#   BENCH_BASELINE=build/default/towerkit BENCH_ARGS="--jobs 2" BENCH_BASELINE_ARGS="--jobs 1" bench/run.sh
# The user CPU time (the median, in seconds, of every thread) shows the work apart from the wall
# time that other processes on the machine stretch.
#
# BENCH_DIR on a disk measures the file system as it is (a copy of a large file then waits for
# write-back); on tmpfs (/dev/shm) it measures the page cache alone.
#
#   bench/run.sh [towerkit binary] [runs per size]
# The scratch folder is BENCH_DIR (default: a new folder under /tmp); it needs about 3 GB free.
# BENCH_SIZES and BENCH_DENSE choose rows (BENCH_DENSE=none leaves the second table out).
set -euo pipefail
cd "$(dirname "$0")/.."

tool=$(realpath "${1:-build/default/towerkit}")
runs=${2:-5}
baseline=${BENCH_BASELINE:+$(realpath "$BENCH_BASELINE")}
read -ra toolArgs <<< "${BENCH_ARGS:-}"
read -ra baselineArgs <<< "${BENCH_BASELINE_ARGS:-}"
# -m: a missing densekit matters only to the second table (BENCH_DENSE=none leaves it out).
densekit=$(realpath -m "${BENCH_DENSEKIT:-build/bench/bench/densekit}")
units=$(realpath units)
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-bench-XXXXXX)}
mkdir -p "$dir"
trap 'rm -rf "$dir"/out.obj "$dir"/out.mtl "$dir"/copy.obj "$dir"/time.txt "$dir"/kit-*' EXIT

# width length height, chosen so that the output grows from about 10 MB to about 1 GB (style A:
# 10, 38, 199, 459 and 1007 MB).
sizes=${BENCH_SIZES:-"24 24 24;45 45 45;100 100 100;150 150 150;220 220 220"}
# vertices per piece, "positions" or "attributes", width length height: about 1 GB each, the
# piece of two million vertices 0.66 GB.
dense=${BENCH_DENSE:-"20000 attributes 8 8 10;50000 attributes 4 4 8;2000000 positions 1 1 4"}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { echo "$EPOCHREALTIME"; }  # no process of its own, so it adds nothing to what it times
calc() { awk "BEGIN {print $1}"; }

# Builds style $2 of the kit $1 at w x l x h ($3 $4 $5) with the binary $6 and the options after it
# into $dir/out.obj under /usr/bin/time; prints the wall time in seconds.
build() {
  local start
  start=$(now)
  OSTREL_UNITS_PATH="$1" /usr/bin/time -v -o "$dir/time.txt" \
    "$6" "${@:7}" -s "$2" -w "$3" -l "$4" -h "$5" -d NC -b SC -c WE "$dir/out.obj" > /dev/null
  calc "$(now) - $start"
}

peakKiB() { awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt"; }
userSeconds() { awk -F': ' '/User time \(seconds\)/ {print $2}' "$dir/time.txt"; }

copy() {
  local start
  start=$(now)
  cp "$dir/out.obj" "$dir/copy.obj"
  calc "$(now) - $start"
}

header() {
  if [ -n "$baseline" ]; then
    printf '%-22s %8s %9s %9s %7s %9s %7s %9s %9s %7s %9s\n' "$1" "MB" "build s" "peak MiB" "user s" "cp s" \
      "ratio" "base s" "base MiB" "base user s" "base ratio"
  else
    printf '%-22s %8s %9s %9s %9s %7s %9s %7s\n' "$1" "MB" "build s" "MB/s" "peak MiB" "user s" "cp s" "ratio"
  fi
}

# Measures one row: kit $1, style $2, size $3 $4 $5, named $6.
row() {
  local builds=() copies=() bases=() users=() baseUsers=() peak=0 basePeak=0 kib
  for ((i = 0; i < runs; i++)); do
    rm -f "$dir/out.obj" "$dir/copy.obj"
    builds+=("$(build "$1" "$2" "$3" "$4" "$5" "$tool" "${toolArgs[@]}")")
    users+=("$(userSeconds)")
    kib=$(peakKiB); if (( kib > peak )); then peak=$kib; fi
    copies+=("$(copy)")
    if [ -n "$baseline" ]; then
      rm -f "$dir/out.obj"
      bases+=("$(build "$1" "$2" "$3" "$4" "$5" "$baseline" "${baselineArgs[@]}")")
      baseUsers+=("$(userSeconds)")
      kib=$(peakKiB); if (( kib > basePeak )); then basePeak=$kib; fi
    fi
  done
  local bytes buildMedian copyMedian mb userMedian
  bytes=$(stat -c %s "$dir/out.obj")
  buildMedian=$(printf '%s\n' "${builds[@]}" | median)
  userMedian=$(printf '%s\n' "${users[@]}" | median)
  copyMedian=$(printf '%s\n' "${copies[@]}" | median)
  mb=$(calc "$bytes / 1000000")
  if [ -n "$baseline" ]; then
    local baseMedian baseUserMedian
    baseMedian=$(printf '%s\n' "${bases[@]}" | median)
    baseUserMedian=$(printf '%s\n' "${baseUsers[@]}" | median)
    printf '%-22s %8.1f %9.3f %9.1f %7.2f %9.3f %7.2f %9.3f %9.1f %11.2f %9.2f\n' "$6" "$mb" "$buildMedian" \
      "$(calc "$peak / 1024")" "$userMedian" "$copyMedian" "$(calc "$buildMedian / $copyMedian")" "$baseMedian" \
      "$(calc "$basePeak / 1024")" "$baseUserMedian" "$(calc "$baseMedian / $copyMedian")"
  else
    printf '%-22s %8.1f %9.3f %9.1f %9.1f %7.2f %9.3f %7.2f\n' "$6" "$mb" "$buildMedian" \
      "$(calc "$mb / $buildMedian")" "$(calc "$peak / 1024")" "$userMedian" "$copyMedian" \
      "$(calc "$buildMedian / $copyMedian")"
  fi
}

echo "load before: $(uptime)"
[ -n "$baseline" ] && echo "baseline: $baseline"
header "shipped kit, size"
IFS=';' read -ra list <<< "$sizes"
for size in "${list[@]}"; do
  read -r w l h <<< "$size"
  row "$units" A "$w" "$l" "$h" "${w}x${l}x${h}"
done

if [ "$dense" != none ]; then
  header "dense kit, size"
  IFS=';' read -ra list <<< "$dense"
  for entry in "${list[@]}"; do
    read -r vertices kind w l h <<< "$entry"
    kit="$dir/kit-$vertices-$kind"
    mkdir -p "$kit"
    if [ "$kind" = positions ]; then "$densekit" "$kit" "$vertices" positions; else "$densekit" "$kit" "$vertices"; fi
    row "$kit" D "$w" "$l" "$h" "${vertices}v ${w}x${l}x${h}"
    rm -rf "$kit"
  done
fi
echo "load after: $(uptime)"
