#!/usr/bin/env bash
# Renders docs/quarter_city.png: examples/quarter.geojson built by the tool with the shipped kit,
# seen from the south-east; and docs/quarter_party.png, a closer look at row houses that share
# walls and roofs. Needs the Debian packages f3d, xvfb and imagemagick.
#
#   docs/geocity.sh [path/to/towerkit]      (default: build/default/towerkit)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="$(realpath "${1:-$root/build/default/towerkit}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
OSTREL_UNITS_PATH="$root/units" "$tool" --city "$root/examples/quarter.geojson" quarter.glb > /dev/null
# Metres: east +x, north -z. Rendered at twice the size and scaled down against moire; the
# .glb, whose single mesh f3d loads far faster than the OBJ of a million triangles.
xvfb-run -a f3d quarter.glb --dry-run --output="$work/big.png" --resolution=2400,1400 \
  --camera-position=230,170,300 --camera-focal-point=-20,0,20 --camera-view-up=0,1,0 \
  --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping
convert "$work/big.png" -scale "1200x700!" "$root/docs/quarter_city.png"
xvfb-run -a f3d quarter.glb --dry-run --output="$work/party.png" --resolution=2000,1400 \
  --camera-position=-150,60,60 --camera-focal-point=-200,10,0 --camera-view-up=0,1,0 \
  --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping
convert "$work/party.png" -scale "1000x700!" "$root/docs/quarter_party.png"
