#!/usr/bin/env bash
# Imports a .glb with --collision into a Godot 3 project, as the editor does, and checks that the
# importer made the hull a static body with a collision shape, and kept the door marker.
#
#   tests/godot/run.sh path/to/towerkit path/to/units
#
# Exit status 0 when it does, 1 when not, 77 (skipped) without godot3 or xvfb-run.
set -euo pipefail
tool="$1"
units="$2"
for program in godot3 xvfb-run; do
  if ! command -v "$program" >/dev/null; then
    echo "skipped: $program is not installed"
    exit 77
  fi
done
project="$(mktemp -d)"
trap 'rm -rf "$project"' EXIT
printf 'config_version=4\n\n[application]\nconfig/name="towerkit import check"\n' >"$project/project.godot"
cp "$(dirname "$0")/check.gd" "$project/"
OSTREL_UNITS_PATH="$units" "$tool" -s A -w 2 -l 1 -h 2 -d SC -m --collision --markers "$project/building.glb" >/dev/null
# The editor imports every new file of the project, then quits.
xvfb-run -a godot3 --path "$project" -e --quit >"$project/import.log" 2>&1 || true
tree="$(xvfb-run -a godot3 --no-window --path "$project" -s check.gd 2>/dev/null | grep -E '^[0-9]+ ' || true)"
echo "$tree"
status=0
for expected in '^2 StaticBody building$' '^3 CollisionShape .* (Concave|Convex)PolygonShape$' '^2 Spatial door_SC$'; do
  if ! grep -Eq "$expected" <<<"$tree"; then
    echo "FAIL: no node matching '$expected' in the imported scene"
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$status"
