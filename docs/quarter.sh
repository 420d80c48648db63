#!/usr/bin/env bash
# Draws docs/quarter.png and docs/quarter_detail.png: examples/quarter.geojson from above, north
# up, each outline in black over the cells made of it (darker for more storeys), party sides in
# red (dashed where left out for the neighbour's wall). Needs a C++ compiler and rsvg-convert
# (Debian's librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d /tmp/towerkit-quarter-XXXXXX)
trap 'rm -rf "$dir"' EXIT
${CXX:-c++} -std=c++17 -O2 -Iincludes bench/footprint_fidelity.cpp src/ext/GeoJson.cpp src/geo/*.cpp \
  -o "$dir/footprint_fidelity"
"$dir/footprint_fidelity" examples/quarter.geojson --svg "$dir/quarter.svg" > /dev/null
rsvg-convert "$dir/quarter.svg" -o docs/quarter.png
rsvg-convert -z 3 "$dir/quarter.svg" -o "$dir/large.png"
convert "$dir/large.png" -crop 900x640+0+400 +repage docs/quarter_detail.png
