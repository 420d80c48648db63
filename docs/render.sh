#!/usr/bin/env bash
# Renders the pictures of the shipped styles into docs/: one building per style, seen from the
# north, east, south and west and from above, and the example city of examples/city.csv. Needs
# the Debian packages f3d, xvfb and imagemagick.
#
#   docs/render.sh [path/to/towerkit]      (default: build/default/towerkit)
#
# The building has its door on the south, balconies on the north (checkerboard) and east (all),
# closed walls on the west (all) and north (odd cells), and a closed roof over its interior.
# Then one larger building per style with two seeds, for the variants of its pieces; pitched
# roofs; setbacks and bands; footprints of L, T, U, H and courtyard plans, flat, hip and gable, and
# stepped back; a close-up of the brick
# across a cell's end and a storey's top; and the example city. f3d shows the kit's textures (map_Kd) from the material file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="$(realpath "${1:-$root/build/default/towerkit}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Renders an OBJ file into docs/: shoot OBJ PICTURE WIDTH,HEIGHT EYE FOCUS [f3d options]. f3d 1.3
# samples textures without mipmaps, so brick far away would shimmer into moire: the picture is
# rendered at three times its size and scaled down, each pixel the mean of nine.
shoot() {
  local obj="$1" picture="$2" size="$3" eye="$4" focus="$5"
  shift 5
  xvfb-run -a f3d "$obj" --dry-run --output="$work/big.png" --resolution="$((${size%,*} * 3)),$((${size#*,} * 3))" \
    --camera-position="$eye" --camera-focal-point="$focus" --camera-view-up=0,1,0 \
    --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao "$@"
  convert "$work/big.png" -scale "${size%,*}x${size#*,}!" "$root/docs/$picture"
}

# -w 4 -l 3: 6 cells along x and 5 along z. In cell units the footprint spans x -5..0 and z 0..4,
# the storeys y 0..3 and the roof row y 3..4, so the building's middle is about (-2.5, 1.8, 2).
cx=-2.5 cy=1.8 cz=2
views=(
  # name   camera position (cell units), 35 degrees off the facade's axis so that the headlight
  #        shades the reveals of windows and doors apart from the facade
  "north   7.5,4.3,9"
  "east    -9.5,4.3,12"
  "south   -12.5,4.3,-5"
  "west    4.5,4.3,-8"
  "above   3.5,15,9"
)

for style in A B; do
  OSTREL_UNITS_PATH="$root/units" "$tool" -s "$style" -w 4 -l 3 -h 3 -d SC -b NC -b EA -c WA -c NE \
    "$work/$style.obj" >/dev/null
  # f3d reads a model's materials from NAME.obj.mtl, whatever its mtllib line names.
  if [ -f "$work/$style.mtl" ]; then cp "$work/$style.mtl" "$work/$style.obj.mtl"; fi
  for view in "${views[@]}"; do
    read -r name eye <<<"$view"
    shoot "$work/$style.obj" "${style}_${name}.png" 520,340 "$eye" "$cx,$cy,$cz"
  done
done

# -w 5 -l 3 -h 5: the footprint spans x -6..0 and z 0..4; seen from the south-west.
for style in A B; do
  for seed in 1 2; do
    name="${style}_seed${seed}"
    OSTREL_UNITS_PATH="$root/units" "$tool" -s "$style" -w 5 -l 3 -h 5 -d SC -b SE --seed "$seed" \
      "$work/$name.obj" >/dev/null
    cp "$work/$name.mtl" "$work/$name.obj.mtl"
    shoot "$work/$name.obj" "$name.png" 520,400 -16,6,-7 -3,2.5,3
  done
done

# Pitched roofs: per style and shape, a narrow (-w 0 -l 3), a square (3 x 3) and a long (1 x 7)
# building of two storeys in a row along z, seen from the south-west and from the north-east.
for style in B A; do
  for roof in gable hip; do
    name="roof_${style}_${roof}"
    {
      echo "style,width,length,height,door,z,roof"
      echo "$style,0,3,2,SC,0,$roof"
      echo "$style,3,3,2,SC,7,$roof"
      echo "$style,1,7,2,SC,14,$roof"
    } >"$work/$name.csv"
    OSTREL_UNITS_PATH="$root/units" "$tool" --city "$work/$name.csv" "$work/$name.obj" >/dev/null
    cp "$work/$name.mtl" "$work/$name.obj.mtl"
    for view in "sw -19,14,-7" "ne 15,14,30"; do
      read -r side eye <<<"$view"
      shoot "$work/$name.obj" "${name}_${side}.png" 640,300 "$eye" -2,1.5,11.5
    done
  done
done

# Setbacks and bands: a tower on a podium, a building stepping back on two sides, and a shop
# front under storeys of style B; each from the south-west and from the north-east. The camera
# looks at the middle of the building, from a distance that grows with its size.
shapes=(
  "podium    A 5 5 7 --setback 2::2"
  "stepped   B 4 4 6 --setback 2:NE --setback 4:NE --roof hip"
  "shopfront B 4 3 4 --band 0:S"
)
for shape in "${shapes[@]}"; do
  read -r name style w l h args <<<"$shape"
  OSTREL_UNITS_PATH="$root/units" "$tool" -s "$style" -w "$w" -l "$l" -h "$h" -d SC -b EO $args \
    "$work/$name.obj" >/dev/null
  cp "$work/$name.mtl" "$work/$name.obj.mtl"
  # Cells span x from -(w + 1.5) to 0.5 and z from -0.5 to l + 1.5.
  read -r cx cy cz d <<<"$(awk -v w="$w" -v l="$l" -v h="$h" \
    'BEGIN { print -(w + 1) / 2, h / 2.5, (l + 1) / 2, (w + l + h) * 0.75 + 3 }')"
  for view in "sw -1 -0.8" "ne 1 0.8"; do
    read -r side sx sz <<<"$view"
    eye="$(awk -v cx="$cx" -v cy="$cy" -v cz="$cz" -v d="$d" -v sx="$sx" -v sz="$sz" \
      'BEGIN { print cx + sx * d, cy + 0.55 * d, cz + sz * d }' | tr ' ' ',')"
    shoot "$work/$name.obj" "${name}_${side}.png" 520,400 "$eye" "$cx,$cy,$cz"
  done
done

# Footprints: an L, a T, a U, an H and a courtyard block in a row along z, per style, from the
# south-west and from the north-east; and the courtyard block from above.
for style in A B; do
  name="footprints_${style}"
  {
    echo "style,width,length,height,door,balcony,z,footprint"
    echo "$style,,,3,SC,NA,0,\"0,0 7,0 7,3 3,3 3,7 0,7\""
    echo "$style,,,3,SC,EE,10,\"0,0 3,0 3,3 7,3 7,6 3,6 3,9 0,9\""
    echo "$style,,,3,SC,NA,22,\"0,0 7,0 7,3 4,3 4,6 7,6 7,9 0,9\""
    echo "$style,,,3,SC,NA,34,\"0,0 8,0 8,3 5,3 5,6 8,6 8,9 0,9 0,6 3,6 3,3 0,3\""
    echo "$style,,,3,SC,SA,46,\"0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6\""
  } >"$work/$name.csv"
  OSTREL_UNITS_PATH="$root/units" "$tool" --city "$work/$name.csv" "$work/$name.obj" >/dev/null
  cp "$work/$name.mtl" "$work/$name.obj.mtl"
  for view in "sw -30,26,-12" "ne 26,26,66"; do
    read -r side eye <<<"$view"
    shoot "$work/$name.obj" "${name}_${side}.png" 900,340 "$eye" -4,1.5,27
  done
done
shoot "$work/footprints_B.obj" "footprint_courtyard.png" 520,400 -12,16,45 -4,1,50.5

# Setbacks over footprints: an L of style A stepped back on every side at storey 2, and a
# courtyard block of style B stepped back at storeys 1 and 3, from the north-east and above, where
# the terraces turn round the inner corners.
name="footprints_setback"
{
  echo "style,height,door,balcony,z,setback,footprint"
  echo "A,4,SC,NA,0,2,\"0,0 10,0 10,5 5,5 5,12 0,12\""
  echo "B,5,SC,EE,16,1 3,\"0,0 16,0 16,16 0,16; 6,6 10,6 10,10 6,10\""
} >"$work/$name.csv"
OSTREL_UNITS_PATH="$root/units" "$tool" --city "$work/$name.csv" "$work/$name.obj" >/dev/null
cp "$work/$name.mtl" "$work/$name.obj.mtl"
shoot "$work/$name.obj" "$name.png" 900,420 20,30,44 -6,2,15

# A setback of 1 cell on one side of an L's inner corner, close up from the north-east: the
# terrace ends where the facade below turns inward, its parapet running into the wall that runs on
# flush with the storeys below.
OSTREL_UNITS_PATH="$root/units" "$tool" -s A -h 4 -d SC -b NA --setback 2:N:1 \
  --footprint "0,0 10,0 10,5 5,5 5,12 0,12" "$work/setback_turn.obj" >/dev/null
cp "$work/setback_turn.mtl" "$work/setback_turn.obj.mtl"
shoot "$work/setback_turn.obj" "footprint_setback_turn.png" 520,400 1.5,5.5,10.5 -4.5,2,4.5

# The L of style B stepped back on its east side by 2 cells, from the north-east: the wall over the
# terrace stands 2 cells over it before it runs on flush, where the terrace's parapet ends.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -h 4 -d SC -b NA --setback 2:E:2 \
  --footprint "0,0 10,0 10,5 5,5 5,12 0,12" "$work/setback_turn_deep.obj" >/dev/null
cp "$work/setback_turn_deep.mtl" "$work/setback_turn_deep.obj.mtl"
shoot "$work/setback_turn_deep.obj" "footprint_setback_turn_deep.png" 520,400 1.5,6.5,10.5 -4.5,2.3,3.5

# A block of style B with a notch at its north-east corner, stepped back on its north side by 1
# cell, close up from the north-east: the wall that runs on flush with the storeys below past the
# terrace's end is one cell long and turns at the block above's outer corner, whose other wall
# stands over the terrace beyond, where that terrace's parapet meets the corner's quoins.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -h 4 -d SC -b NA --setback 2:N:1 \
  --footprint "0,0 6,0 6,4 4,4 4,6 0,6" "$work/setback_turn_corner.obj" >/dev/null
cp "$work/setback_turn_corner.mtl" "$work/setback_turn_corner.obj.mtl"
shoot "$work/setback_turn_corner.obj" "footprint_setback_turn_corner.png" 520,400 2.5,4.5,6.5 -1.5,2.3,3

# An L of 2-cell wings of style B stepped back on its south side by 2 cells, from the south-east:
# the block above is the end of the west wing, its corner standing in the inner corner of the
# facade below, where the terrace's parapet along the south wing ends against it.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -h 4 -d SC -b NA --setback 2:S:2 \
  --footprint "0,0 5,0 5,2 2,2 2,5 0,5" "$work/setback_inner_corner.obj" >/dev/null
cp "$work/setback_inner_corner.mtl" "$work/setback_inner_corner.obj.mtl"
shoot "$work/setback_inner_corner.obj" "footprint_setback_inner_corner.png" 520,400 -6.5,4.8,4.5 -2.5,2.1,1.3

# The L of style B stepped back on its north side by 2 cells, past its wing of 2 cells, from the
# north-east: the block above keeps the inner corner's own cell, its corner standing in the inner
# corner of the facade below, where the parapets of both terraces end against it.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -h 4 -d SC -b NA --setback 2:N:2 \
  --footprint "0,0 7,0 7,5 5,5 5,12 0,12" "$work/setback_inner_cell.obj" >/dev/null
cp "$work/setback_inner_cell.mtl" "$work/setback_inner_cell.obj.mtl"
shoot "$work/setback_inner_cell.obj" "footprint_setback_inner_cell.png" 520,400 1.5,5.2,12.5 -2.5,2.3,7

# Hip roofs over the same plans, the L's wings 3 and 4 cells wide and the T's stem 3 cells wide
# under a bar of 4, so that ridges of different heights meet; per style, from the south-west and
# from the north-east.
for style in A B; do
  name="footprints_hip_${style}"
  {
    echo "style,width,length,height,door,z,roof,footprint"
    echo "$style,,,2,SC,0,hip,\"0,0 7,0 7,4 3,4 3,7 0,7\""
    echo "$style,,,2,SC,10,hip,\"0,0 4,0 4,3 7,3 7,6 4,6 4,9 0,9\""
    echo "$style,,,2,SC,22,hip,\"0,0 7,0 7,3 4,3 4,6 7,6 7,9 0,9\""
    echo "$style,,,2,SC,34,hip,\"0,0 8,0 8,3 5,3 5,6 8,6 8,9 0,9 0,6 3,6 3,3 0,3\""
    echo "$style,,,2,SC,46,hip,\"0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6\""
  } >"$work/$name.csv"
  OSTREL_UNITS_PATH="$root/units" "$tool" --city "$work/$name.csv" "$work/$name.obj" >/dev/null
  cp "$work/$name.mtl" "$work/$name.obj.mtl"
  for view in "sw -42,26,0" "ne 30,26,52"; do
    read -r side eye <<<"$view"
    shoot "$work/$name.obj" "${name}_${side}.png" 1200,420 "$eye" -4,2,25
  done
done

# The courtyard block of style B alone under its hip roof, from above.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -h 2 -d SC --roof hip --footprint "0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6" \
  "$work/courtyard_hip.obj" >/dev/null
cp "$work/courtyard_hip.mtl" "$work/courtyard_hip.obj.mtl"
shoot "$work/courtyard_hip.obj" "footprint_courtyard_hip.png" 520,400 -15,17,-4 -4,1.5,4

# Gable roofs over the same plans: each wing's end a gable, hips and valleys where wings meet; per
# style, from the south-west and from the north-east.
for style in A B; do
  name="footprints_gable_${style}"
  {
    echo "style,height,door,z,roof,footprint"
    echo "$style,2,SC,0,gable,\"0,0 7,0 7,4 3,4 3,7 0,7\""
    echo "$style,2,SC,10,gable,\"0,0 4,0 4,3 7,3 7,6 4,6 4,9 0,9\""
    echo "$style,2,SC,22,gable,\"0,0 7,0 7,3 4,3 4,6 7,6 7,9 0,9\""
    echo "$style,2,SC,34,gable,\"0,0 8,0 8,3 5,3 5,6 8,6 8,9 0,9 0,6 3,6 3,3 0,3\""
    echo "$style,2,SC,46,gable,\"3,0 6,0 6,3 9,3 9,6 6,6 6,9 3,9 3,6 0,6 0,3 3,3\""
  } >"$work/$name.csv"
  OSTREL_UNITS_PATH="$root/units" "$tool" --city "$work/$name.csv" "$work/$name.obj" >/dev/null
  cp "$work/$name.mtl" "$work/$name.obj.mtl"
  for view in "sw -42,26,0" "ne 30,26,52"; do
    read -r side eye <<<"$view"
    shoot "$work/$name.obj" "${name}_${side}.png" 1200,420 "$eye" -4,2,25
  done
done

# A close-up of style B's gable end, where the brick meets across a cell's end and across the top
# of the storey into the gable's wall panels: with the mesh's edges drawn, and without. -w 3 -l 3
# -h 1 with its ridge along x: the south gable is the plane x = -4.5, the storey's top y = 1, the
# panels' seam y = 1.67, a cell's end z = 1.5.
OSTREL_UNITS_PATH="$root/units" "$tool" -s B -w 3 -l 3 -h 1 -c WA -c SA --roof gable --ridge x \
  "$work/seams.obj" >/dev/null
cp "$work/seams.mtl" "$work/seams.obj.mtl"
for edges in "" "--edges --line-width=3"; do
  shoot "$work/seams.obj" "seams${edges:+_edges}.png" 520,400 -6.6,1.55,0.9 -4.5,1.33,1.5 $edges
done

# The same building from its OBJ and from its .glb in Blender, for docs/gltf.md.
if command -v blender >/dev/null; then
  for form in obj glb; do
    OSTREL_UNITS_PATH="$root/units" "$tool" -s B -w 3 -l 2 -h 3 -d SC -b NC -m --roof hip "$work/pair.$form" >/dev/null
    blender -b --python "$root/docs/render-blender.py" -- "$work/pair.$form" "$root/docs/blender_$form.png" >/dev/null
  done
fi

# The example city of the README: a street of six buildings, built in metres (-m) as for an
# engine, seen from above its north end.
OSTREL_UNITS_PATH="$root/units" "$tool" --city "$root/examples/city.csv" -m "$work/city.obj" >/dev/null
cp "$work/city.mtl" "$work/city.obj.mtl"
shoot "$work/city.obj" "city.png" 800,500 85,79,-30 6,3,33
