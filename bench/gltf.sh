#!/usr/bin/env bash
# Measures the .glb output against the OBJ output and against `cp`, in one run, in the same folder:
#  1. the largest building of bench/run.sh, flat: median wall time of the .glb, of the OBJ of the
#     same request, and of `cp` of the .glb; the ratios glb/cp and glb/obj;
#  2. a 60 x 60 x 60 building instanced by nodes and by GPU instancing: size against the flat
#     file's, and median wall time;
#  3. peak memory of every form, for a small and the largest building.
#
#   bench/gltf.sh [towerkit binary] [runs]
# The scratch folder is BENCH_DIR (default: a new folder under /tmp); it needs about 2 GB free.
set -euo pipefail
cd "$(dirname "$0")/.."

tool=$(realpath "${1:-build/default/towerkit}")
runs=${2:-5}
units=$(realpath units)
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-bench-XXXXXX)}
mkdir -p "$dir"
trap 'rm -f "$dir"/out.* "$dir"/copy.glb "$dir"/time.txt' EXIT

largest=${BENCH_LARGEST:-"120 120 120"}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { echo "$EPOCHREALTIME"; }
calc() { awk "BEGIN {print $1}"; }

# Builds w l h into $dir/out.EXT with the extra options; prints the wall time in seconds and
# leaves the peak memory in KiB in $dir/time.txt.
build() {
  local w=$1 l=$2 h=$3 ext=$4 start
  shift 4
  rm -f "$dir/out.$ext"
  start=$(now)
  OSTREL_UNITS_PATH="$units" /usr/bin/time -v -o "$dir/time.txt" \
    "$tool" -s A -w "$w" -l "$l" -h "$h" -d NC -b SC -c WE "$@" "$dir/out.$ext" > /dev/null
  calc "$(now) - $start"
}
peak() { awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt"; }
mib() { stat -c %s "$1" | awk '{printf "%.1f", $1 / 1000000}'; }

echo "load before: $(uptime)"
read -r w l h <<< "$largest"
objs=(); glbs=(); copies=()
# Interleaved, so that a change of the machine's load falls on all three alike.
for ((i = 0; i < runs; i++)); do
  objs+=("$(build "$w" "$l" "$h" obj)")
  glbs+=("$(build "$w" "$l" "$h" glb)")
  rm -f "$dir/copy.glb"
  start=$(now)
  cp "$dir/out.glb" "$dir/copy.glb"
  copies+=("$(calc "$(now) - $start")")
done
obj=$(printf '%s\n' "${objs[@]}" | median)
glb=$(printf '%s\n' "${glbs[@]}" | median)
copy=$(printf '%s\n' "${copies[@]}" | median)
echo "flat ${w}x${l}x${h}: glb $(mib "$dir/out.glb") MB in $glb s, obj $(mib "$dir/out.obj") MB in $obj s," \
  "cp of the glb $copy s"
echo "  glb / cp = $(calc "$glb / $copy"), glb / obj = $(calc "$glb / $obj")"

build 60 60 60 glb > /dev/null
flat=$(stat -c %s "$dir/out.glb")
for form in nodes gpu; do
  times=()
  for ((i = 0; i < runs; i++)); do times+=("$(build 60 60 60 glb --instances "$form")"); done
  bytes=$(stat -c %s "$dir/out.glb")
  echo "instanced 60x60x60 --instances $form: $(calc "$bytes / 1000") kB, $(calc "100 * $bytes / $flat")% of" \
    "the flat file's $(calc "$flat / 1000000") MB, in $(printf '%s\n' "${times[@]}" | median) s"
done

printf '%-16s %12s %12s\n' "peak MiB" "12x12x12" "${w}x${l}x${h}"
for form in obj flat nodes gpu; do
  row=()
  for size in "12 12 12" "$largest"; do
    read -r sw sl sh <<< "$size"
    case $form in
      obj) build "$sw" "$sl" "$sh" obj > /dev/null ;;
      flat) build "$sw" "$sl" "$sh" glb > /dev/null ;;
      *) build "$sw" "$sl" "$sh" glb --instances "$form" > /dev/null ;;
    esac
    row+=("$(calc "$(peak) / 1024")")
  done
  printf '%-16s %12.1f %12.1f\n' "$form" "${row[@]}"
done
echo "load after: $(uptime)"
