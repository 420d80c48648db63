#!/usr/bin/env bash
# Takes the picture of the add-on's panel in docs/blender_panel.png: Blender's window under Xvfb,
# the add-on installed from its zip, a building generated, the towerkit tab open.
#
#   docs/blender-panel.sh [path/to/towerkit-blender.zip]
#
# Needs blender and xvfb-run (Debian's blender and xvfb). It takes about a minute: Blender draws
# the window in software there, a few seconds a frame.
set -euo pipefail
docs="$(cd "$(dirname "$0")" && pwd)"
zip="$(realpath "${1:-$docs/../build/default/integrations/blender/towerkit-blender.zip}")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export BLENDER_USER_CONFIG="$scratch/config" BLENDER_USER_SCRIPTS="$scratch/scripts"
# A file to open, so that Blender starts without its splash screen.
blender -b --factory-startup --python-expr \
  "import bpy; [bpy.data.objects.remove(o) for o in list(bpy.data.objects)]; bpy.ops.wm.save_as_mainfile(filepath='$scratch/start.blend')" >/dev/null
timeout 300 xvfb-run -a -s "-screen 0 1500x1300x24" blender --factory-startup --enable-event-simulate \
  "$scratch/start.blend" --python "$docs/blender-panel.py" -- "$zip" "$scratch/panel.png" >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; exit 1; }
# The 3-D viewport with its sidebar, without the outliner, the properties and the timeline.
convert "$scratch/panel.png" -crop 1240x1185+0+0 +repage "$docs/blender_panel.png"
echo "wrote $docs/blender_panel.png"
