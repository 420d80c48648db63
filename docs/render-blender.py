# Renders one building in Blender 3.4 (headless, Cycles on the CPU), from its OBJ and from its
# .glb, for the pair of pictures in docs/gltf.md. Run by docs/render.sh when blender is installed:
#
#   blender -b --python docs/render-blender.py -- BUILDING.obj|.glb OUT.png
import math
import sys

import bpy
import mathutils
import numpy  # Debian's numpy lacks numpy.bool, which the glTF importer uses
numpy.bool = bool
argv = sys.argv[sys.argv.index('--') + 1:]
path, out = argv[0], argv[1]
bpy.ops.wm.read_factory_settings(use_empty=True)
if path.endswith('.obj'):
    bpy.ops.import_scene.obj(filepath=path, axis_forward='-Z', axis_up='Y')
else:
    bpy.ops.import_scene.gltf(filepath=path)
scene = bpy.context.scene
scene.render.engine = 'CYCLES'
scene.cycles.samples = 24
scene.cycles.device = 'CPU'
scene.cycles.use_denoising = False
scene.view_layers[0].cycles.use_denoising = False
scene.render.resolution_x, scene.render.resolution_y = 480, 360
world = bpy.data.worlds.new('w'); scene.world = world
world.use_nodes = True
world.node_tree.nodes['Background'].inputs[0].default_value = (0.55, 0.65, 0.8, 1)
world.node_tree.nodes['Background'].inputs[1].default_value = 0.6
sun = bpy.data.objects.new('sun', bpy.data.lights.new('sun', 'SUN'))
sun.data.energy = 3.5
sun.rotation_euler = (math.radians(50), 0, math.radians(-35))
scene.collection.objects.link(sun)
cam = bpy.data.objects.new('cam', bpy.data.cameras.new('cam'))
scene.collection.objects.link(cam); scene.camera = cam
# Blender is z up: the building's x (north) is Blender x, its z (east) is Blender -y.
cam.location = (-34, 17, 17)
target = (-6, -4.5, 5)

d = mathutils.Vector(target) - cam.location
cam.rotation_euler = d.to_track_quat('-Z', 'Y').to_euler()
scene.render.filepath = out
bpy.ops.render.render(write_still=True)
