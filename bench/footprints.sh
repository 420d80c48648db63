#!/usr/bin/env bash
# Footprint fidelity and the cost of reading GeoJSON, for one run:
#   - on examples/quarter.geojson: features built and skipped (with their ids and reasons), the
#     intersection over union of each building's cells with its outline (median over buildings
#     of more than 4 cells), overlaps of neighbours' cells, party sides; and, on the city the tool
#     builds of it (bench/city_faces.cpp), the overlap of roof outlines, coincident faces and
#     openings facing a neighbour, and the first two of the same quarter all of style B and all
#     of style S;
#   - on a generated file of about 100,000 features (the quarter repeated side by side): the
#     peak memory of reading it alone (the streaming reader) and of turning every outline into
#     cells with its neighbours settled, against the file's size, and the time of each.
#
#   bench/footprints.sh [copies]
#
# The program is compiled here from the library's sources (it needs only the reader and the
# geometry); copies defaults to 392 (about 100,000 features, 33 MiB). The scratch folder is
# BENCH_DIR (default: a new folder under /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."

copies=${1:-392}
dir=${BENCH_DIR:-$(mktemp -d /tmp/towerkit-footprints-XXXXXX)}
mkdir -p "$dir"
trap 'rm -f "$dir"/big.geojson "$dir"/time.txt' EXIT

${CXX:-c++} -std=c++17 -O2 -Iincludes bench/footprint_fidelity.cpp src/ext/GeoJson.cpp src/geo/*.cpp \
  -o "$dir/footprint_fidelity"

echo "== examples/quarter.geojson"
"$dir/footprint_fidelity" examples/quarter.geojson
echo "== the same, the cells edited until the kit's pieces can build them"
"$dir/footprint_fidelity" examples/quarter.geojson --kit | grep -v "^  skipped"

# The neighbours on the mesh the tool writes, when it is built (TOWERKIT names another).
tool=${TOWERKIT:-build/default/towerkit}
if [ -x "$tool" ]; then
  ${CXX:-c++} -std=c++17 -O2 bench/city_faces.cpp -o "$dir/city_faces"
  echo "== examples/quarter.geojson built by $tool: how neighbours meet on the mesh"
  OSTREL_UNITS_PATH=units "$tool" --city examples/quarter.geojson "$dir/quarter.obj" > /dev/null
  "$dir/city_faces" "$dir/quarter.obj"
  # The same outlines in the styles whose trims stand out otherwise: B's cornice, S's fascia.
  for style in B S; do
    echo "== the same, all of style $style (-s $style)"
    OSTREL_UNITS_PATH=units "$tool" -s "$style" --city examples/quarter.geojson "$dir/quarter.obj" > /dev/null
    "$dir/city_faces" "$dir/quarter.obj" | grep -E "^roof outlines|^coincident"
  done
  rm -f "$dir/quarter.obj" "$dir/quarter.mtl"
fi

python3 tools/quarter/quarter.py --copies "$copies" > "$dir/big.geojson"
bytes=$(stat -c %s "$dir/big.geojson")
peak() { awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$dir/time.txt"; }
seconds() { awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$dir/time.txt"; }
echo "== $copies copies: $(awk "BEGIN {printf \"%.1f\", $bytes / 1048576}") MiB"
/usr/bin/time -v "$dir/footprint_fidelity" --read "$dir/big.geojson" 2> "$dir/time.txt"
echo "reading alone: peak $(peak) MiB, $(seconds)"
/usr/bin/time -v "$dir/footprint_fidelity" "$dir/big.geojson" 2> "$dir/time.txt" | grep -E "^features|union|overlap|party"
echo "cells and neighbours: peak $(peak) MiB, $(seconds)"
