#!/usr/bin/env bash
# Renders the pictures of the engine extras into docs/, with the f3d settings of render.sh: two
# buildings with their collision hulls drawn as red rods along the hulls' edges, and a row of the
# levels of detail of a building in each style. Needs the Debian packages f3d, xvfb and
# imagemagick, and python3.
#
#   docs/render-engine.sh [path/to/towerkit]      (default: build/default/towerkit)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="$(realpath "${1:-$root/build/default/towerkit}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Rendered at three times the picture's size and scaled down, as render.sh does: f3d 1.3 samples
# the kit's textures without mipmaps.
render() {  # OBJ file, picture, resolution, camera position, focal point
  xvfb-run -a f3d "$1" --dry-run --output="$work/big.png" --resolution="$((${3%,*} * 3)),$((${3#*,} * 3))" \
    --camera-position="$4" --camera-focal-point="$5" --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa \
    --tone-mapping --ssao
  convert "$work/big.png" -scale "${3%,*}x${3#*,}!" "$root/docs/$2"
}

# Hulls: a gable roof's prism (B, -w 2 -l 3: x -3.5..0.5, z -0.5..4.5) and the box of a flat
# roof with balconies (A, -w 3 -l 2: x -4.5..0.5, z -0.5..3.5), from the south-west.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -w 2 -l 3 -h 2 -d SC --roof gable --collision "$work/hull_B.obj" >/dev/null
OSTREL_UNITS_PATH="$root/units" "$tool" -s A -w 3 -l 2 -h 3 -d SC -b SA -b WA --collision "$work/hull_A.obj" >/dev/null
for style in B A; do
  python3 "$root/docs/engine_views.py" wire "$work/hull_$style.obj" "$work/wire_$style.obj"
  render "$work/wire_$style.obj" "engine_hull_$style.png" 520,400 -16,6,-7 -2,1.5,2
done

# Levels of detail 0 to 3 of -w 3 -l 2 -h 3 (z -0.5..3.5), each 6 cells further along +z.
for style in A B; do
  OSTREL_UNITS_PATH="$root/units" "$tool" -s "$style" -w 3 -l 2 -h 3 -d SC -b SE --lod 3 "$work/lod_$style.obj" >/dev/null
  python3 "$root/docs/engine_views.py" row "$work/lod_$style.obj" "$work/row_$style.obj" 6
  render "$work/row_$style.obj" "engine_lod_$style.png" 900,300 -17,6,-4 -2,1.2,10.5
done
