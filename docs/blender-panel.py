# Run by blender-panel.sh in Blender's window under Xvfb:
#   blender --factory-startup --enable-event-simulate START.blend --python blender-panel.py -- ZIP OUT.png
# Installs the add-on from its zip, generates a building from the panel, opens the sidebar's
# towerkit tab with a simulated click and saves a screenshot of the window. Each step waits on a
# timer long enough for the software renderer to draw the window in between.
import sys

import bpy

addon_zip, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.preferences.addon_install(filepath=addon_zip)
bpy.ops.preferences.addon_enable(module="towerkit")


def viewport():
    window = bpy.context.window_manager.windows[0]
    area = next(area for area in window.screen.areas if area.type == "VIEW_3D")
    regions = {region.type: region for region in area.regions}
    return window, area, regions["UI"], regions["WINDOW"]


def generate():
    window, area, _, view = viewport()
    space = area.spaces.active
    space.show_region_ui = True
    space.shading.type, space.shading.color_type = "SOLID", "TEXTURE"
    settings = bpy.context.scene.towerkit
    settings.style, settings.width, settings.length, settings.storeys = "B", 4, 3, 4
    settings.door_side, settings.balcony_s, settings.balcony_e = "S", "E", "O"
    settings.roof, settings.seed = "hip", 1
    band = settings.bands.add()
    band.first, band.last, band.style = 0, 0, "S"
    bpy.ops.towerkit.generate()
    with bpy.context.temp_override(window=window, area=area, region=view):
        bpy.ops.view3d.view_all()
        for _ in range(4):
            bpy.ops.view3d.zoom(delta=-1)


def open_tab():
    # The sidebar's tabs run down its right edge: Item, Tool, View, then towerkit.
    window, _, sidebar, _ = viewport()
    x, y = sidebar.x + sidebar.width - 10, sidebar.y + sidebar.height - 170
    window.event_simulate(type="MOUSEMOVE", value="NOTHING", x=x, y=y)
    window.event_simulate(type="LEFTMOUSE", value="PRESS", x=x, y=y)
    window.event_simulate(type="LEFTMOUSE", value="RELEASE", x=x, y=y)
    window.event_simulate(type="MOUSEMOVE", value="NOTHING", x=x - 600, y=y)


def shoot():
    window = bpy.context.window_manager.windows[0]
    with bpy.context.temp_override(window=window, screen=window.screen, area=window.screen.areas[0]):
        bpy.ops.wm.redraw_timer(type="DRAW_WIN_SWAP", iterations=1)
        bpy.ops.screen.screenshot(filepath=out, check_existing=False)
    bpy.ops.wm.quit_blender()


bpy.app.timers.register(generate, first_interval=1.0)
bpy.app.timers.register(open_tab, first_interval=30.0)
bpy.app.timers.register(shoot, first_interval=55.0)
