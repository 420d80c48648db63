#!/usr/bin/env bash
# Renders the pictures of the shipped styles into docs/: one building per style, seen from the
# north, east, south and west and from above, and the example city of examples/city.csv. Needs
# the Debian packages f3d and xvfb.
#
#   docs/render.sh [path/to/towerkit]      (default: build/default/towerkit)
#
# The building has its door on the south, balconies on the north (checkerboard) and east (all),
# closed walls on the west (all) and north (odd cells), and a closed roof over its interior.
# Then one larger building per style with two seeds, for the variants of its pieces; pitched
# roofs; and the example city.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="$(realpath "${1:-$root/build/default/towerkit}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

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
    xvfb-run -a f3d "$work/$style.obj" --dry-run --output="$root/docs/${style}_${name}.png" \
      --resolution=520,340 --camera-position="$eye" --camera-focal-point="$cx,$cy,$cz" \
      --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao
  done
done

# -w 5 -l 3 -h 5: the footprint spans x -6..0 and z 0..4; seen from the south-west.
for style in A B; do
  for seed in 1 2; do
    name="${style}_seed${seed}"
    OSTREL_UNITS_PATH="$root/units" "$tool" -s "$style" -w 5 -l 3 -h 5 -d SC -b SE --seed "$seed" \
      "$work/$name.obj" >/dev/null
    cp "$work/$name.mtl" "$work/$name.obj.mtl"
    xvfb-run -a f3d "$work/$name.obj" --dry-run --output="$root/docs/$name.png" \
      --resolution=520,400 --camera-position=-16,6,-7 --camera-focal-point=-3,2.5,3 \
      --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao
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
      xvfb-run -a f3d "$work/$name.obj" --dry-run --output="$root/docs/${name}_${side}.png" \
        --resolution=640,300 --camera-position="$eye" --camera-focal-point=-2,1.5,11.5 \
        --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao
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
    xvfb-run -a f3d "$work/$name.obj" --dry-run --output="$root/docs/${name}_${side}.png" \
      --resolution=520,400 --camera-position="$eye" --camera-focal-point="$cx,$cy,$cz" \
      --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao
  done
done

# The same building from its OBJ and from its .glb in Blender, for docs/gltf.md.
if command -v blender >/dev/null; then
  for form in obj glb; do
    OSTREL_UNITS_PATH="$root/units" "$tool" -s B -w 3 -l 2 -h 3 -d SC -b NC -m --roof hip "$work/pair.$form" >/dev/null
    blender -b --python "$root/docs/render-blender.py" -- "$work/pair.$form" "$root/docs/blender_$form.png" >/dev/null
  done
fi

# The example city of the README: a street of six buildings, seen from above its north end.
OSTREL_UNITS_PATH="$root/units" "$tool" --city "$root/examples/city.csv" "$work/city.obj" >/dev/null
cp "$work/city.mtl" "$work/city.obj.mtl"
xvfb-run -a f3d "$work/city.obj" --dry-run --output="$root/docs/city.png" \
  --resolution=800,500 --camera-position=26,24,-8 --camera-focal-point=2,1,11 \
  --camera-view-up=0,1,0 --bg-color=0.75,0.82,0.9 --fxaa --tone-mapping --ssao
