#!/usr/bin/env bash
# Runs the same requests with two builds of the tool and compares what each wrote: every file of
# the work folder byte for byte, standard output, standard error and the exit status. For a change
# that must not change any output (a restructuring): a difference is printed and the status is 1.
#
#   bench/same_output.sh OLD_TOWERKIT NEW_TOWERKIT
#
# Each request runs in a fresh work folder at the same path for both tools (so that the paths in
# console lines agree), with a copy of the shipped kit as ./units and a few small kits and city
# files beside it. Standard input is empty unless a request gives its own.
set -u
old=$(realpath "$1")
new=$(realpath "$2")
repo=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
work=$scratch/work
failures=0
count=0

# The folder every request starts from.
seed=$scratch/seed
mkdir -p "$seed"
cp -r "$repo/units" "$seed/units"
cp "$repo/examples/city.csv" "$seed/city.csv"
printf 'style,width,length,height\n' > "$seed/empty.csv"
printf 'style,width,length,height\nA,2,2,2\nA,x,2,2\n' > "$seed/bad.csv"
printf 'style,width,length,height,angle\nT,1,1,1,0\nT,1,1,1,45\n' > "$seed/far.csv"
printf 'style,width,length,height\nA,70000,70000,2000\n' > "$seed/huge.csv"
printf 'style,width,length,height,band\nA,2,2,3,0:Q\nQ,1,1,1,\n' > "$seed/other.csv"
# A kit without its roof pieces, and one without base units.
mkdir -p "$seed/holes" "$seed/nobase" "$seed/more" "$seed/far" "$seed/nocap" "$seed/badcap"
# A kit without its roof cap: the linter lays it empty over roofs and terraces; and one whose cap
# meets nothing.
cp "$repo"/units/A* "$repo"/units/base_* "$seed/nocap/"
rm "$seed/nocap/A_roofcap.obj"
cp "$repo"/units/A* "$repo"/units/base_* "$seed/badcap/"
printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n' > "$seed/badcap/A_roofcap.obj"
# A corner piece near the float limit: turned in a city, it passes it.
cp "$repo"/units/base_* "$seed/far/"
printf 'v 3.4e38 0 3.4e38\nv 0 1 0\nv 0 0 1\nf 1 2 3\n' > "$seed/far/T_angle.obj"
cp "$repo"/units/A* "$repo"/units/base_* "$seed/holes/"
rm "$seed/holes/A_roof.obj" "$seed/holes/A_angleroof.obj"
cp "$repo"/units/A_* "$seed/nobase/"
for f in "$repo"/units/B_*; do cp "$f" "$seed/more/Q_${f##*/B_}"; done
cp "$repo"/units/B.mtl "$repo"/units/B.png "$repo"/units/B.normal.png "$seed/more/"

# run NAME [ENV=VALUE ...] -- ARGS...: the request with both tools.
run() {
  local name=$1
  shift
  local envs=()
  while [ "$1" != "--" ]; do envs+=("$1"); shift; done
  shift
  count=$((count + 1))
  local tool
  for tool in old new; do
    rm -rf "$work"
    cp -r "$seed" "$work"
    local binary=$old
    [ $tool = new ] && binary=$new
    (cd "$work" && env -u OSTREL_UNITS_PATH "${envs[@]}" "$binary" "$@" < "${STDIN:-/dev/null}" \
       > "$scratch/stdout" 2> "$scratch/stderr"; echo $? > "$scratch/status")
    rm -rf "$scratch/$tool"
    mv "$work" "$scratch/$tool"
    mv "$scratch/stdout" "$scratch/status" "$scratch/stderr" "$scratch/$tool/"
  done
  # -q first: a full diff of a request's output of gigabytes would hold it in memory.
  if ! diff -rq "$scratch/old" "$scratch/new" > "$scratch/diff"; then
    failures=$((failures + 1))
    echo "DIFFERS: $name: $*"
    if [ "$(du -sm "$scratch/old" | cut -f1)" -lt 256 ]; then
      diff -r "$scratch/old" "$scratch/new" | head -20
    else
      head -20 "$scratch/diff"
    fi
  fi
}

# Buildings, each format and option.
run obj -- -s A -w 3 -l 3 -h 3 out.obj
run obj-doors -- -s A -w 3 -l 2 -h 4 -d NC -b NE -b SA -c WA -c EO out.obj
run glb -- -s B -w 2 -l 3 -h 3 -d SL out.glb
run glb-case -- -s B -w 2 -l 3 -h 3 OUT.GLB
run gltf -- -s A -w 2 -l 2 -h 2 out.gltf
run nodes -- -s A -w 2 -l 2 -h 3 --instances nodes out.glb
run gpu-gltf -- -s A -w 2 -l 2 -h 3 --instances gpu out.gltf
run instances-obj -- -s A -w 2 -l 2 -h 2 --instances nodes --markers out.obj
run metres-stats -- -s A -w 3 -l 2 -h 2 -m --stats out.obj
run stats-glb -- -s A -w 3 -l 2 -h 2 --stats out.glb
run stats-gltf -- -s B -w 1 -l 2 -h 2 --stats --instances nodes out.gltf
run roofs -- -s B -w 4 -l 2 -h 3 --roof gable out.obj
run hip -- -s A -w 3 -l 3 -h 2 --roof hip --ridge x out.glb
run shape -- -s A -w 5 -l 4 -h 8 --setback 2:NSEW:2 --band 0-1:S out.obj
run engine -- -s A -w 4 -l 3 -h 5 --collision --lod 2 --markers --pivot base-centre -m tower.glb
run engine-obj -- -s A -w 2 -l 2 -h 3 --collision unreal --lod 3 --pivot corner out.obj
run variants -- -s A -w 3 -l 3 -h 3 --seed 5 --vary cell out.obj
run check -- -k
run lint -- --lint
run lint-style -- --lint B
run lint-nocap OSTREL_UNITS_PATH=nocap -- --lint A
run lint-badcap OSTREL_UNITS_PATH=badcap -- --lint A
run help -- --help
run unknown -- -s A -w 1 -l 1 -h 1 --frobnicate out.obj
run strict -- -s A -w 1 -l 1 -h 1 --frobnicate --strict out.obj
run strict-holes OSTREL_UNITS_PATH=holes -- -s A -w 1 -l 1 -h 1 --strict out.obj
run holes OSTREL_UNITS_PATH=holes -- -s A -w 2 -l 1 -h 1 --stats out.obj
run nobase OSTREL_UNITS_PATH=nobase -- -s A -w 1 -l 1 -h 1 out.obj
run nobase-glb OSTREL_UNITS_PATH=nobase -- -s A -w 1 -l 1 -h 1 out.glb
run no-output -- -s A -w 1 -l 1 -h 1
run negative -- -s A -w -1 -l 1 -h 1 out.obj
run too-wide -- -s A -w 2147483647 -l 1 -h 1 out.obj
run too-large -- -s A -w 2147483645 -l 2147483645 -h 2147483646 out.obj
run too-large-glb -- -s A -w 2147483645 -l 2147483645 -h 2147483646 out.glb
run too-large-lod -- -s A -w 2000 -l 2000 -h 3 --lod 1 out.obj
run nothing -- -s Z -w 1 -l 1 -h 1 out.obj
run bad-style -- -s ../x -w 1 -l 1 -h 1 out.obj
run folder -- -s A -w 1 -l 1 -h 1 units
run over-input -- -s A -w 1 -l 1 -h 1 units/A_angle.obj
run over-library -- -s A -w 1 -l 1 -h 1 units/A.obj
run over-buffer -- -s A -w 1 -l 1 -h 1 units/A_floor.gltf
run same-library -- -s A -w 1 -l 1 -h 1 out.mtl
run dev-null -- -s A -w 1 -l 1 -h 1 /dev/null
run dev-null-glb -- -s A -w 1 -l 1 -h 1 /dev/null.glb
run stdout -- -s A -w 1 -l 1 -h 1 /dev/stdout
run units-folders -- --units more -s A -w 2 -l 2 -h 3 --band 1:Q out.obj
run bad-band -- -s A -w 2 -l 2 -h 3 --band 1:Q out.obj
run bad-setback -- -s A -w 2 -l 2 -h 3 --setback 9:X out.obj
run footprint -- -s B -h 4 --footprint "0,0 8,0 8,3 3,3 3,9 0,9" -d SC -b NA -c EO ell.obj
run footprint-hip -- -s A -h 2 --footprint "0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6" --roof hip --collision --lod 2 out.glb
run footprint-gable -- -s B -h 3 --footprint "0,0 7,0 7,4 3,4 3,7 0,7" --roof gable --stats out.gltf
run footprint-bands -- -s A -h 4 --footprint "0,0 4,0 4,2 2,2 2,4 4,4 4,6 0,6" --band 0:S --pivot base-centre out.obj
STDIN=$scratch/answers
printf 'A\n2\n2\n2\nNC\nNE\n\n\nasked.obj\n' > "$STDIN"
run asked -- 
printf 'A\n2\n' > "$STDIN"
run asked-short -- 
unset STDIN

# Cities.
run city -- --city city.csv city.obj
run city-glb -- --city city.csv --jobs 1 city.glb
run city-gltf -- --city city.csv --instances gpu city.gltf
run city-jobs -- --city city.csv --jobs 3 --shard 2/3 -m city.obj
run city-stats -- --city city.csv --stats -m --collision --lod 1 city.glb
run city-stats-obj -- --city city.csv --stats --markers city.obj
run city-shard-bad -- --city city.csv --shard 5/4 city.obj
run city-jobs-bad -- --city city.csv --jobs 0 city.obj
run city-missing -- --city nothere.csv city.obj
run city-bad-row -- --city bad.csv city.obj
run city-empty -- --city empty.csv city.obj
run city-empty-shard -- --city city.csv --shard 9/9 city.obj
run city-far OSTREL_UNITS_PATH=far -- --city far.csv -m city.obj
run city-far-glb OSTREL_UNITS_PATH=far -- --city far.csv -m city.glb
run far-pivot OSTREL_UNITS_PATH=far -- -s T -w 1 -l 1 -h 1 -m out.obj
run city-huge -- --city huge.csv city.obj
run city-huge-lod -- --city huge.csv --lod 1 city.glb
run city-check -- --city city.csv -k
run city-lint -- --city city.csv --lint A
run city-over-input -- --city city.csv city.csv
run city-no-output -- --city city.csv
run city-folder -- --city city.csv units
run city-holes OSTREL_UNITS_PATH=holes -- --city city.csv --strict city.obj
run city-nobase OSTREL_UNITS_PATH=nobase -- --city city.csv city.obj
run city-units OSTREL_UNITS_PATH=units:more -- --city other.csv city.obj
run city-units-bad -- --city other.csv city.obj
run city-dev-null -- --city city.csv /dev/null
run city-dev-null-gltf -- --city city.csv /dev/null.gltf

echo "$count requests, $failures differ"
[ "$failures" -eq 0 ]
