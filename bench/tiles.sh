#!/usr/bin/env bash
# Tiles a generated city (bench/city_csv.py) and builds the same city as one instanced .glb, and
# prints, for one run, the wall time, processor time and peak memory (maximum resident set) of
# each and the ratios of the times; then tiles a city of a quarter the size, so that the two peaks
# show how memory grows with the city.
#
#   bench/tiles.sh [towerkit binary] [buildings]
#
# Defaults: build/default/towerkit, 100000 buildings. The scratch folder is BENCH_DIR (default:
# a new folder under /tmp); it needs room for the .glb and the tileset (a few GB).
set -euo pipefail
cd "$(dirname "$0")/.."

tool=$(realpath "${1:-build/default/towerkit}")
buildings=${2:-100000}
units=$(realpath units)
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-tiles-XXXXXX)}
mkdir -p "$dir"
trap 'rm -rf "$dir"/city.csv "$dir"/quarter.csv "$dir"/city.glb "$dir"/tiles "$dir"/quarter "$dir"/time.txt' EXIT

now() { echo "$EPOCHREALTIME"; }
calc() { awk "BEGIN {print $1}"; }
peakMiB() { awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$dir/time.txt"; }
# The processor time (user and system) of the last run: on a loaded machine, steadier than the wall.
cpuSeconds() { awk -F': ' '/(User|System) time/ {s += $2} END {printf "%.2f", s}' "$dir/time.txt"; }

# Runs the tool with the arguments under /usr/bin/time; prints the wall time in seconds.
run() {
  local start
  start=$(now)
  OSTREL_UNITS_PATH="$units" /usr/bin/time -v -o "$dir/time.txt" "$tool" "$@" > /dev/null
  calc "$(now) - $start"
}

bench/city_csv.py "$buildings" "${BENCH_SEED:-1}" > "$dir/city.csv"
bench/city_csv.py "$((buildings / 4))" "${BENCH_SEED:-1}" > "$dir/quarter.csv"
echo "load before: $(uptime)"
echo "city: $buildings buildings, $(nproc) cores"

glb=$(run --city "$dir/city.csv" -m --instances gpu "$dir/city.glb"); glbPeak=$(peakMiB); glbCpu=$(cpuSeconds)
glbBytes=$(stat -c %s "$dir/city.glb"); rm -f "$dir/city.glb"
tiles=$(run --city "$dir/city.csv" --tiles "$dir/tiles"); tilesPeak=$(peakMiB); tilesCpu=$(cpuSeconds)
tilesBytes=$(du -sb "$dir/tiles" | cut -f1)
tileCount=$(find "$dir/tiles" -name '*.glb' | wc -l)
largest=$(find "$dir/tiles" -name '*.glb' -printf '%s\n' | sort -n | tail -1)
rm -rf "$dir/tiles"
quarter=$(run --city "$dir/quarter.csv" --tiles "$dir/quarter"); quarterPeak=$(peakMiB); quarterCpu=$(cpuSeconds)
rm -rf "$dir/quarter"

printf '%-34s %9s %9s %9s %9s\n' "" "wall s" "cpu s" "peak MiB" "MB"
printf '%-34s %9.2f %9s %9s %9.1f\n' "one .glb (--instances gpu)" "$glb" "$glbCpu" "$glbPeak" "$(calc "$glbBytes / 1e6")"
printf '%-34s %9.2f %9s %9s %9.1f\n' "tileset" "$tiles" "$tilesCpu" "$tilesPeak" "$(calc "$tilesBytes / 1e6")"
printf '%-34s %9.2f %9s %9s\n' "tileset of a quarter of the city" "$quarter" "$quarterCpu" "$quarterPeak"
echo "tiles: $tileCount, the largest $(calc "$largest / 1e6") MB"
echo "time tileset / .glb: $(calc "$tiles / $glb") (wall), $(calc "$tilesCpu / $glbCpu") (cpu)"
echo "peak memory of the city / of its quarter: $(calc "$tilesPeak / $quarterPeak")"
echo "load after: $(uptime)"
