# Run by run.sh inside a headless Blender:
#   blender -b --factory-startup --python-exit-code 1 --python check.py -- TOWERKIT ZIP UNITS CITY SCRATCH
# Every check that fails is printed as a FAIL line; any failure ends Blender with status 1.
import csv
import json
import os
import struct
import subprocess
import sys

import bpy

tool, addon_zip, units, city, scratch = sys.argv[sys.argv.index("--") + 1:]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def read_glb(path):
    """The JSON chunk of a binary glTF file."""
    with open(path, "rb") as stream:
        data = stream.read()
    length, kind = struct.unpack_from("<II", data, 12)
    assert kind == 0x4E4F534A, "no JSON chunk"
    return json.loads(data[20:20 + length])


def glb_summary(gltf):
    """Node names, the materials the meshes use, those with a base colour texture, the
    triangles of every node's mesh, and each mesh's position bounds in Blender's axes (z up)."""
    nodes, triangles, materials, textured, bounds = [], 0, set(), set(), {}
    stack = list(gltf["scenes"][gltf.get("scene", 0)]["nodes"])
    while stack:
        node = gltf["nodes"][stack.pop()]
        nodes.append(node["name"])
        stack += node.get("children", [])
        stack += node.get("extensions", {}).get("MSFT_lod", {}).get("ids", [])
        if "mesh" not in node:
            continue
        low, high = [float("inf")] * 3, [float("-inf")] * 3
        for primitive in gltf["meshes"][node["mesh"]]["primitives"]:
            indices = primitive.get("indices", primitive["attributes"]["POSITION"])
            triangles += gltf["accessors"][indices]["count"] // 3
            if "material" in primitive:  # a collision hull has none
                material = gltf["materials"][primitive["material"]]
                materials.add(material["name"])
                if "baseColorTexture" in material.get("pbrMetallicRoughness", {}):
                    textured.add(material["name"])
            position = gltf["accessors"][primitive["attributes"]["POSITION"]]
            x0, y0, z0 = position["min"]
            x1, y1, z1 = position["max"]
            for axis, (a, b) in enumerate(((x0, x1), (-z1, -z0), (y0, y1))):
                low[axis], high[axis] = min(low[axis], a), max(high[axis], b)
        bounds[node["name"]] = (low, high)
    return sorted(nodes), triangles, materials, textured, bounds


def scene_summary(root):
    objects = root.children_recursive
    triangles = sum(len(polygon.vertices) - 2 for obj in objects if obj.type == "MESH"
                    for polygon in obj.data.polygons)
    materials = {slot.material.name for obj in objects for slot in obj.material_slots if slot.material}
    return sorted(obj.name for obj in objects), triangles, materials


def mesh_bounds(obj):
    xs, ys, zs = zip(*(vertex.co for vertex in obj.data.vertices))
    return [min(xs), min(ys), min(zs)], [max(xs), max(ys), max(zs)]


def close(a, b, tolerance=1e-4):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def error_of(call):
    """The message of the RuntimeError a failing operator raises in a script (its reports), or
    None when it did not fail."""
    try:
        call()
    except RuntimeError as error:
        return str(error)
    return None


# 1. The add-on, installed from its zip and enabled, uses the tool it carries.
bpy.ops.preferences.addon_install(filepath=addon_zip)
bpy.ops.preferences.addon_enable(module="towerkit")
import towerkit  # noqa: E402  (installed just above)

check(hasattr(bpy.types, "TOWERKIT_PT_main"), "the panel is registered")
found = towerkit.properties.tool_path()
check(found and found.startswith(os.path.join(os.environ["BLENDER_USER_SCRIPTS"], "addons", "towerkit")),
      "the tool beside the add-on is used, not %s" % found)
styles = [item[0] for item in towerkit.properties.style_items(None, bpy.context)]
check(styles == ["A", "B", "S"], "the styles listed are A, B, S, not %s" % styles)

# 2. A building at the 3-D cursor, as the tool's own .glb of the same request holds it.
settings = bpy.context.scene.towerkit
settings.name = "house"  # not "tower": the example city has a building of that name
settings.style, settings.width, settings.length, settings.storeys = "A", 3, 2, 3
settings.door_side, settings.door_place = "S", "C"
settings.balcony_s, settings.closed_w = "E", "A"
settings.roof, settings.collision, settings.lod, settings.markers = "gable", "godot", 1, True
bpy.context.scene.cursor.location = (5, -3, 1)
bpy.ops.towerkit.generate()
root = bpy.context.active_object
reference = os.path.join(scratch, "reference.glb")
subprocess.run([tool, "-s", "A", "-w", "3", "-l", "2", "-h", "3", "-d", "SC", "-b", "SE", "-c", "WA",
                "--roof", "gable", "--collision", "--lod", "1", "--markers", "--units", units, "-m",
                reference], check=True, stdout=subprocess.DEVNULL)
nodes, triangles, materials, textured, bounds = glb_summary(read_glb(reference))
objects, scene_triangles, scene_materials = scene_summary(root)
check(root.name == "house" and tuple(root.location) == (5, -3, 1), "the building's root stands at the cursor")
check(objects == nodes, "objects %s are the file's nodes %s" % (objects, nodes))
check(scene_triangles == triangles, "%d triangles, the file has %d" % (scene_triangles, triangles))
check(scene_materials == materials, "materials %s are the file's %s" % (scene_materials, materials))
for name in textured:
    images = [node.image for node in bpy.data.materials[name].node_tree.nodes
              if node.type == "TEX_IMAGE" and node.image]
    check(images and all(image.size[0] > 0 and image.packed_file for image in images),
          "material %s has its texture, packed into the .blend" % name)
for name, (low, high) in bounds.items():
    obj = bpy.data.objects.get(name)
    check(obj is not None and close(sum(mesh_bounds(obj), []), low + high),
          "%s has the file's bounds, in metres" % name)
check(root["towerkit"]["roof"] == "gable" and root["towerkit"]["balconies"] == "SE", "the options are stored")

# 3. Made again with another seed, in place: the root keeps its transform, the pieces theirs.
root.location, root.rotation_euler, root.scale = (4, 5, 6), (0, 0, 0.5), (2, 2, 2)
bpy.context.view_layer.update()
placed = {obj.name: obj.matrix_world.copy() for obj in root.children_recursive}


def unused():
    """The meshes, materials and images nothing uses: what a building removed badly leaves."""
    return {block.name for pool in (bpy.data.meshes, bpy.data.materials, bpy.data.images)
            for block in pool if block.users == 0}


unused_before = unused()
bpy.data.objects["building"]["before"] = True
bpy.ops.towerkit.regenerate(source="STORED", new_seed=True)
bpy.context.view_layer.update()
check(bpy.context.active_object == root and tuple(root.location) == (4, 5, 6), "the root stays where it was moved")
check(all(obj.matrix_world == placed.get(obj.name) for obj in root.children_recursive)
      and len(placed) == len(root.children_recursive), "every piece keeps its place under the root")
check("building" in bpy.data.objects and "before" not in bpy.data.objects["building"], "the building is new")
check(unused() == unused_before, "the old building's meshes, materials and images are gone: %s left"
      % sorted(unused() - unused_before))
seed = root["towerkit"]["seed"]
check(seed != 0 and ("--seed %d" % seed) in root["towerkit_command"], "the new seed is stored")
check(root["towerkit"]["roof"] == "gable" and root["towerkit"]["lod"] == 1, "the other options stay stored")
settings.width = 5
bpy.ops.towerkit.regenerate(source="PANEL")
check(root["towerkit"]["width"] == 5 and root.name == "house", "the panel's options replace the stored ones")

# 4. The example city: one object per row, named by its id; then a city from map data.
with open(city, newline="") as stream:
    ids = sorted(row["id"] for row in csv.DictReader(stream))
bpy.ops.towerkit.import_city(filepath=city)
city_root = bpy.context.active_object
check(sorted(obj.name for obj in city_root.children) == ids, "the city's buildings %s are %s" %
      (sorted(obj.name for obj in city_root.children), ids))

# A GeoJSON city of two outlines on the map, one named, one numbered by the tool.
def lot(lon, lat):  # about 12 m east by 9 m north
    corners = [(lon, lat), (lon + 0.000176, lat), (lon + 0.000176, lat + 0.000081), (lon, lat + 0.000081)]
    return {"type": "Polygon", "coordinates": [[list(c) for c in corners + corners[:1]]]}


map_city = os.path.join(scratch, "lots.geojson")
with open(map_city, "w") as stream:
    json.dump({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"name": "bakery", "building:levels": "2"}, "geometry": lot(13.4, 52.5)},
        {"type": "Feature", "properties": {}, "geometry": lot(13.4005, 52.5)}]}, stream)
bpy.ops.towerkit.import_city(filepath=map_city)
map_root = bpy.context.active_object
check(sorted(obj.name for obj in map_root.children) == ["bakery", "building_2"],
      "the map city's buildings are %s" % sorted(obj.name for obj in map_root.children))

# 5. Failures come as reports in the tool's words, and leave the scene as it was.
before = len(bpy.data.objects)
bpy.context.view_layer.objects.active = root
settings.setbacks.add().storey = 9
for call in (bpy.ops.towerkit.generate, lambda: bpy.ops.towerkit.regenerate(source="PANEL")):
    message = error_of(call)
    check(message and "Value '9' of option '--setback'" in message and "Traceback" not in message,
          "a refused option is reported as towerkit says it: %s" % message)
check(len(bpy.data.objects) == before, "a refused option changes nothing")
settings.setbacks.clear()
prefs = bpy.context.preferences.addons["towerkit"].preferences
prefs.tool_path = os.path.join(scratch, "no-towerkit")
message = error_of(bpy.ops.towerkit.generate)
check(message and "towerkit was not found" in message and "Traceback" not in message, "a missing tool: %s" % message)
# A towerkit from before --pivot: the real one's help without it.
old_help = os.path.join(scratch, "old-help.txt")
with open(old_help, "w") as stream:
    help_text = subprocess.run([tool, "--help"], stdout=subprocess.PIPE, text=True).stdout
    stream.writelines(line for line in help_text.splitlines(True) if "--pivot" not in line)
old_tool = os.path.join(scratch, "old-towerkit")
with open(old_tool, "w") as stream:
    stream.write("#!/bin/sh\ncat '%s'\n" % old_help)
os.chmod(old_tool, 0o755)
prefs.tool_path = old_tool
message = error_of(bpy.ops.towerkit.generate)
check(message and "too old" in message and "lacks the option --pivot." in message, "a tool too old: %s" % message)
prefs.tool_path = ""

# 6. A saved .blend remembers how the building was made, and keeps its textures.
saved = os.path.join(scratch, "saved.blend")
bpy.ops.wm.save_as_mainfile(filepath=saved)
bpy.ops.wm.open_mainfile(filepath=saved)
root = bpy.data.objects["house"]
check(root["towerkit"]["width"] == 5 and "--roof gable" in root["towerkit_command"], "the options are saved")
check(all(image.packed_file for image in bpy.data.images if image.source == "FILE"), "the textures are saved")

print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
sys.exit(1 if failures else 0)
