#!/usr/bin/env bash
# Installs the add-on's zip into a headless Blender, as a user's "Install add-on" does, and runs
# check.py there: a building made and checked against the tool's own .glb, made again in place,
# a city, and failures that must come as reports.
#
#   tests/blender/run.sh path/to/towerkit path/to/towerkit-blender.zip path/to/units path/to/city.csv
#
# Exit status 0 when every check passes, 1 when not, 77 (skipped) without blender.
set -euo pipefail
if ! command -v blender >/dev/null; then
  echo "skipped: blender is not installed"
  exit 77
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# Blender's own preferences and add-ons stay in the scratch folder, away from the user's.
export BLENDER_USER_CONFIG="$scratch/config" BLENDER_USER_SCRIPTS="$scratch/scripts"
status=0
blender -b --factory-startup --python-exit-code 1 --python "$(dirname "$0")/check.py" -- \
  "$1" "$2" "$3" "$4" "$scratch" >"$scratch/blender.log" 2>&1 || status=$?
# Blender's own chatter only when something failed.
if [ "$status" -eq 0 ]; then grep -E '^(ok|[0-9]+ passed)' "$scratch/blender.log"; else cat "$scratch/blender.log"; fi
exit "$status"
