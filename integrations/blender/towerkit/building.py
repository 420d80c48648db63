"""Runs towerkit into a temporary .glb and puts what it made into the scene.

A building is one collection holding a root empty and, under the root, the nodes of towerkit's
file. The root carries the transform (where the building stands) and the options it was made
with, in its custom properties "towerkit" (the options) and "towerkit_command" (the command
line), so that a saved .blend remembers how each building was made and can make it again.
"""

import os
import re
import tempfile
import warnings

import addon_utils
import bpy

from . import properties, request, tool

OPTIONS_KEY = "towerkit"
COMMAND_KEY = "towerkit_command"


def _numpy_for_gltf():
    """Blender 3.4's glTF importer uses numpy.bool, which newer numpy releases (Debian's among
    them) no longer have; the builtin is what that name always meant."""
    try:
        import numpy
    except ImportError:
        return
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # numpy 1.24 warns on asking for the name
        if not hasattr(numpy, "bool"):
            numpy.bool = bool


def _gltf_importer():
    _, loaded = addon_utils.check("io_scene_gltf2")
    if not loaded:
        addon_utils.enable("io_scene_gltf2", default_set=False)
    _numpy_for_gltf()


def file_stem(name):
    """A file name of name for the temporary output (the command line the building keeps
    names it): only what a file name cannot hold is replaced."""
    stem = re.sub(r"[^\w.-]", "_", name).strip(".")
    return stem or "tower"


def building_root(obj):
    """The root of the towerkit building that obj belongs to, or None."""
    while obj is not None:
        if OPTIONS_KEY in obj:
            return obj
        obj = obj.parent
    return None


def stored_options(root):
    group = root.get(OPTIONS_KEY)
    return request.complete(group.to_dict() if hasattr(group, "to_dict") else {})


def make(options, run_folder):
    """Runs towerkit for options in run_folder; returns (the .glb's path, the command, reports).

    reports are (level, message) pairs of the tool's errors and warnings, in its own words.
    Raises ToolError, carrying the tool's first error, when it wrote no file."""
    path = properties.tool_path()
    tool.check_tool(path, run_folder)
    o = request.complete(options)
    if not o["city"] and (not o["style"] or o["style"] == properties.NO_STYLE):
        problems = [message for _, message in properties.style_problems(bpy.context)]
        raise tool.ToolError("No style to build: %s" % ("; ".join(problems) or "the units folder lists none"))
    output = os.path.join(run_folder, file_stem(o["name"]) + ".glb")
    args = request.arguments(o, properties.units_path(o["units"]))
    if o["city"]:
        args[args.index("--city") + 1] = properties.units_path(o["city"])
    status, lines = tool.run(path, args + [output], run_folder)
    reports = []
    for line in lines:
        level, message = tool.parse_line(line)
        if level in ("error", "warning"):
            reports.append((level, message))
    if status != 0 or not os.path.isfile(output):
        errors = [message for level, message in reports if level == "error"]
        if not errors:
            errors = [line for line in lines if line.strip()][-1:] or ["no message"]
            errors = ["towerkit ended with exit status %d: %s" % (status, errors[0])]
        raise tool.ToolError("\n".join(errors))
    command = request.command_line(args, os.path.basename(output))
    return output, command, reports


def _layer_collection(layer, collection):
    if layer.collection == collection:
        return layer
    for child in layer.children:
        found = _layer_collection(child, collection)
        if found:
            return found
    return None


def _import_glb(context, path, collection):
    """Imports the .glb at path into collection; returns the objects it made."""
    _gltf_importer()
    view_layer = context.view_layer
    active = view_layer.active_layer_collection
    target = _layer_collection(view_layer.layer_collection, collection)
    if target:
        view_layer.active_layer_collection = target
    before = set(bpy.data.objects)
    try:
        bpy.ops.import_scene.gltf(filepath=path)
    except RuntimeError as error:
        raise tool.ToolError("Blender's glTF importer could not read towerkit's output: %s" % error)
    finally:
        view_layer.active_layer_collection = active
    made = [obj for obj in bpy.data.objects if obj not in before]
    for obj in made:
        # The file is temporary: its images must live in the .blend.
        for slot in getattr(obj, "material_slots", ()):
            _pack_images(slot.material)
        if collection not in obj.users_collection:
            collection.objects.link(obj)
            for other in list(obj.users_collection):
                if other != collection:
                    other.objects.unlink(obj)
    return made


def _pack_images(material):
    if material is None or not material.use_nodes:
        return
    for node in material.node_tree.nodes:
        image = getattr(node, "image", None)
        if image is not None and image.packed_file is None and image.source == "FILE":
            image.pack()


def _remove_tree(root):
    """Removes everything under root, and the meshes, materials and images only it used."""
    objects = list(root.children_recursive)
    meshes = {obj.data for obj in objects if obj.type == "MESH"}
    materials = {slot.material for obj in objects for slot in obj.material_slots if slot.material}
    images = {node.image for material in materials if material.use_nodes
              for node in material.node_tree.nodes if getattr(node, "image", None)}
    for obj in objects:
        bpy.data.objects.remove(obj)
    for datablocks, pool in ((meshes, bpy.data.meshes), (materials, bpy.data.materials),
                             (images, bpy.data.images)):
        for block in datablocks:
            if block.users == 0:
                pool.remove(block)


def _store(root, options, command):
    root[OPTIONS_KEY] = request.complete(options)
    root[COMMAND_KEY] = command


def generate(context, options):
    """Makes a new building at the 3-D cursor; returns (its root, the tool's reports)."""
    o = request.complete(options)
    with tempfile.TemporaryDirectory(prefix="towerkit-") as folder:
        output, command, reports = make(o, folder)
        collection = bpy.data.collections.new(o["name"])
        context.scene.collection.children.link(collection)
        root = bpy.data.objects.new(o["name"], None)
        root.empty_display_type = "PLAIN_AXES"
        root.location = context.scene.cursor.location
        collection.objects.link(root)
        try:
            made = _import_glb(context, output, collection)
        except tool.ToolError:
            bpy.data.objects.remove(root)
            bpy.data.collections.remove(collection)
            raise
    _attach(root, made)
    _store(root, o, command)
    _select(context, root)
    return root, reports


def regenerate(context, root, options):
    """Makes root's building again from options, in place: the root, its transform and its
    collection stay; what was under it is replaced. Returns the tool's reports."""
    o = request.complete(options)
    with tempfile.TemporaryDirectory(prefix="towerkit-") as folder:
        # The tool runs first: a request it refuses leaves the building as it was.
        output, command, reports = make(o, folder)
        collection = root.users_collection[0] if root.users_collection else context.scene.collection
        _remove_tree(root)
        made = _import_glb(context, output, collection)
    _attach(root, made)
    _store(root, o, command)
    _select(context, root)
    return reports


def _attach(root, made):
    for obj in made:
        if obj.parent is None:
            obj.parent = root


def _select(context, root):
    for obj in context.selected_objects:
        obj.select_set(False)
    if context.view_layer.objects.get(root.name) is not None:
        root.select_set(True)
        context.view_layer.objects.active = root
