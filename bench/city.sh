#!/usr/bin/env bash
# Builds a generated city (bench/city_csv.py: buildings of 1 to 8 cells a side and 1 to 12
# storeys, styles A and B) and prints, for one run:
#   - throughput with 1 job and with 2 jobs, and their ratio: the output goes to /dev/null, so
#     that the figure is the tool's, not the disk's (runs alternate, medians are compared);
#   - the wall time of a build with all jobs into a file, against `cp` of that file in the same
#     folder right after, and their ratio;
#   - the peak memory (maximum resident set) of each.
#
#   bench/city.sh [towerkit binary] [buildings] [runs]
#
# Defaults: build/default/towerkit, 10000 buildings (about 13 GB of OBJ), 3 runs of each job
# count. The scratch folder is BENCH_DIR (default: a new folder under /tmp); it needs room for the
# output twice. BENCH_SEED chooses the city (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

tool=$(realpath "${1:-build/default/towerkit}")
buildings=${2:-10000}
runs=${3:-3}
units=$(realpath units)
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-city-XXXXXX)}
mkdir -p "$dir"
trap 'rm -f "$dir"/city.csv "$dir"/out.obj "$dir"/out.mtl "$dir"/copy.obj "$dir"/time.txt' EXIT

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { echo "$EPOCHREALTIME"; }
calc() { awk "BEGIN {print $1}"; }
peakMiB() { awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$dir/time.txt"; }
# User and system seconds of the last build: on a machine shared with other work, their ratio
# tells what the threads cost beside what the wall times could show.
cpuSeconds() { awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$dir/time.txt"; }
# Context switches of the last build, voluntary (a thread waited: for another's buffer, a lock,
# the disk) and forced: with one job to /dev/null, the writing thread is handed a full buffer it
# writes at no cost, so nearly all of them are hand-overs, whose cost rises with the machine's
# load, and that job's time with it.
switches() { awk -F': ' '/context switches/ {s += $2} END {print s}' "$dir/time.txt"; }

# Builds the city with $1 jobs into $2 under /usr/bin/time; prints the wall time in seconds.
build() {
  local start
  start=$(now)
  OSTREL_UNITS_PATH="$units" /usr/bin/time -v -o "$dir/time.txt" \
    "$tool" --city "$dir/city.csv" --jobs "$1" "$2" > /dev/null
  calc "$(now) - $start"
}

bench/city_csv.py "$buildings" "${BENCH_SEED:-1}" > "$dir/city.csv"
echo "load before: $(uptime)"
echo "city: $buildings buildings, $(nproc) cores"

one=() two=() cpuOne=() cpuTwo=() switchOne=() switchTwo=() peakOne=0 peakTwo=0
for ((i = 0; i < runs; i++)); do
  one+=("$(build 1 /dev/null)"); peakOne=$(peakMiB); cpuOne+=("$(cpuSeconds)"); switchOne+=("$(switches)")
  two+=("$(build 2 /dev/null)"); peakTwo=$(peakMiB); cpuTwo+=("$(cpuSeconds)"); switchTwo+=("$(switches)")
done
oneMedian=$(printf '%s\n' "${one[@]}" | median)
twoMedian=$(printf '%s\n' "${two[@]}" | median)
cpuOneMedian=$(printf '%s\n' "${cpuOne[@]}" | median)
cpuTwoMedian=$(printf '%s\n' "${cpuTwo[@]}" | median)
switchOneMedian=$(printf '%s\n' "${switchOne[@]}" | median)
switchTwoMedian=$(printf '%s\n' "${switchTwo[@]}" | median)
printf '%-28s %9s %9s %9s %9s\n' "to /dev/null" "wall s" "cpu s" "peak MiB" "switches"
printf '%-28s %9.2f %9.2f %9s %9s\n' "--jobs 1" "$oneMedian" "$cpuOneMedian" "$peakOne" "$switchOneMedian"
printf '%-28s %9.2f %9.2f %9s %9s\n' "--jobs 2" "$twoMedian" "$cpuTwoMedian" "$peakTwo" "$switchTwoMedian"
echo "throughput 2 jobs / 1 job: $(calc "$oneMedian / $twoMedian")" \
  "(cpu seconds 2 jobs / 1 job: $(calc "$cpuTwoMedian / $cpuOneMedian"))"

rm -f "$dir/out.obj" "$dir/copy.obj"
buildWall=$(build "$(nproc)" "$dir/out.obj")
peakAll=$(peakMiB)
bytes=$(stat -c %s "$dir/out.obj")
start=$(now)
cp "$dir/out.obj" "$dir/copy.obj"
copyWall=$(calc "$(now) - $start")
printf '%-28s %9s %9s %9s\n' "into a file" "MB" "wall s" "peak MiB"
printf '%-28s %9.0f %9.2f %9s\n' "--jobs $(nproc)" "$(calc "$bytes / 1000000")" "$buildWall" "$peakAll"
printf '%-28s %9.0f %9.2f\n' "cp of its output" "$(calc "$bytes / 1000000")" "$copyWall"
echo "wall all jobs / cp: $(calc "$buildWall / $copyWall")"
echo "load after: $(uptime)"
