#!/usr/bin/env bash
# A GeoJSON city built by the tool, for one run:
#   - examples/quarter.geojson: the summary line (features, built, skipped) against the file's
#     feature count, and whether --jobs 1 and --jobs 2 write the same bytes;
#   - a generated file of about 100,000 features (the quarter repeated side by side): the peak
#     memory of the whole run (both readings, every outline fitted and settled, every building's
#     request held) against the file's size. Only the first of 400 shards is written, so that
#     the output (some 40 GB for the whole city as OBJ) does not decide the figure.
#
#   bench/geocity.sh [path/to/towerkit] [copies]
#
# copies defaults to 392 (100,015 features, 33 MiB). The scratch folder is BENCH_DIR (default: a
# new folder under /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/default/towerkit}")
copies=${2:-392}
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-geocity-XXXXXX)}
mkdir -p "$dir"
trap 'rm -rf "$dir"/big.geojson "$dir"/*.obj "$dir"/*.mtl "$dir"/one "$dir"/two "$dir"/time.txt' EXIT
export OSTREL_UNITS_PATH=$PWD/units

echo "== examples/quarter.geojson: $(grep -c '"type":"Feature"' examples/quarter.geojson) features in the file"
# One name in two folders: the OBJ names its material library.
mkdir -p "$dir/one" "$dir/two"
"$tool" --city examples/quarter.geojson --jobs 1 "$dir/one/city.obj" | grep "features,"
"$tool" --city examples/quarter.geojson --jobs 2 "$dir/two/city.obj" > /dev/null
cmp -s "$dir/one/city.obj" "$dir/two/city.obj" && echo "--jobs 1 and --jobs 2: the same bytes" || echo "--jobs 1 and --jobs 2 DIFFER"

python3 tools/quarter/quarter.py --copies "$copies" > "$dir/big.geojson"
bytes=$(stat -c %s "$dir/big.geojson")
echo "== $copies copies: $(awk "BEGIN {printf \"%.1f\", $bytes / 1048576}") MiB"
/usr/bin/time -v "$tool" --city "$dir/big.geojson" --shard 1/400 "$dir/big.obj" 2> "$dir/time.txt" | grep "features,"
awk -F': ' '/Maximum resident set size/ {peak = $2 / 1024} /Elapsed \(wall clock\)/ {wall = $2}
  END {printf "whole run: peak %.1f MiB, %s\n", peak, wall}' \
  "$dir/time.txt"
