"""The add-on's buttons: generate, regenerate, import a city, and the panel's list edits.

Every failure the user can meet (towerkit missing or too old, an option it refuses, a file it
cannot read) ends as a Blender report in towerkit's own words, never as a Python traceback."""

import os
import random

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import building, properties, request, tool

# Seeds the panel draws: the positive range of Blender's whole-number properties.
SEED_MAX = 2**31 - 1


def _report_all(operator, reports):
    for level, message in reports:
        operator.report({"ERROR"} if level == "error" else {"WARNING"}, message)


def _fail(operator, error):
    for line in str(error).splitlines() or ["towerkit failed"]:
        operator.report({"ERROR"}, line)
    return {"CANCELLED"}


class TOWERKIT_OT_generate(bpy.types.Operator):
    """Build the panel's building with towerkit and place it at the 3-D cursor"""
    bl_idname = "towerkit.generate"
    bl_label = "Generate"
    bl_options = {"REGISTER", "UNDO"}

    def execute(self, context):
        try:
            root, reports = building.generate(context, context.scene.towerkit.options())
        except tool.ToolError as error:
            return _fail(self, error)
        _report_all(self, reports)
        self.report({"INFO"}, "Generated '%s'" % root.name)
        return {"FINISHED"}


class TOWERKIT_OT_regenerate(bpy.types.Operator):
    """Build the selected towerkit building again in place, keeping its transform"""
    bl_idname = "towerkit.regenerate"
    bl_label = "Regenerate"
    bl_options = {"REGISTER", "UNDO"}

    source: EnumProperty(name="Options", default="STORED", items=[
        ("STORED", "Stored", "The options the building was made with"),
        ("PANEL", "Panel", "The panel's options (its name stays the building's)")])
    new_seed: BoolProperty(name="New seed", default=False,
                           description="A new random seed: other variants of the pieces")

    @classmethod
    def poll(cls, context):
        return building.building_root(context.active_object) is not None

    def execute(self, context):
        root = building.building_root(context.active_object)
        if root is None:
            self.report({"ERROR"}, "Select a building made by towerkit first")
            return {"CANCELLED"}
        stored = building.stored_options(root)
        options = context.scene.towerkit.options() if self.source == "PANEL" else stored
        # The building keeps its name, and a city stays the city it was.
        options.update(name=stored["name"], city=stored["city"])
        if self.new_seed:
            options["seed"] = random.randint(1, SEED_MAX)
        try:
            reports = building.regenerate(context, root, options)
        except tool.ToolError as error:
            return _fail(self, error)
        _report_all(self, reports)
        self.report({"INFO"}, "Regenerated '%s' (seed %d)" % (root.name, options["seed"]))
        return {"FINISHED"}


class TOWERKIT_OT_load_options(bpy.types.Operator):
    """Set the panel to the options the selected building was made with"""
    bl_idname = "towerkit.load_options"
    bl_label = "Load into panel"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        return building.building_root(context.active_object) is not None

    def execute(self, context):
        options = building.stored_options(building.building_root(context.active_object))
        context.scene.towerkit.load(options)
        return {"FINISHED"}


class TOWERKIT_OT_import_city(bpy.types.Operator, ImportHelper):
    """Build every building of a city file (CSV or GeoJSON) with towerkit, at the 3-D cursor"""
    bl_idname = "towerkit.import_city"
    bl_label = "Import city"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".csv"
    filter_glob: StringProperty(default="*.csv;*.geojson;*.json", options={"HIDDEN"})

    def execute(self, context):
        panel = context.scene.towerkit.options()
        stem = os.path.splitext(os.path.basename(self.filepath))[0] or "city"
        # The rows give each building's shape; the panel gives what applies to all of them.
        options = {key: value for key, value in panel.items() if key not in request.BUILDING_ONLY}
        options.update(name=stem, city=self.filepath)
        try:
            root, reports = building.generate(context, options)
        except tool.ToolError as error:
            return _fail(self, error)
        _report_all(self, reports)
        self.report({"INFO"}, "Imported the city '%s'" % root.name)
        return {"FINISHED"}


class TOWERKIT_OT_random_seed(bpy.types.Operator):
    """Draw a new random seed for the panel"""
    bl_idname = "towerkit.random_seed"
    bl_label = "Random seed"
    bl_options = {"REGISTER", "UNDO"}

    def execute(self, context):
        context.scene.towerkit.seed = random.randint(1, SEED_MAX)
        return {"FINISHED"}


class TOWERKIT_OT_list_add(bpy.types.Operator):
    """Add a setback or a band"""
    bl_idname = "towerkit.list_add"
    bl_label = "Add"
    bl_options = {"REGISTER", "UNDO", "INTERNAL"}

    kind: EnumProperty(items=[("setbacks", "Setback", ""), ("bands", "Band", "")])

    def execute(self, context):
        settings = context.scene.towerkit
        items = getattr(settings, self.kind)
        item = items.add()
        if self.kind == "setbacks" and len(items) > 1:
            item.storey = items[len(items) - 2].storey + 1  # one setback a storey, from the lowest up
        return {"FINISHED"}


class TOWERKIT_OT_list_remove(bpy.types.Operator):
    """Remove this setback or band"""
    bl_idname = "towerkit.list_remove"
    bl_label = "Remove"
    bl_options = {"REGISTER", "UNDO", "INTERNAL"}

    kind: EnumProperty(items=[("setbacks", "Setback", ""), ("bands", "Band", "")])
    index: IntProperty()

    def execute(self, context):
        items = getattr(context.scene.towerkit, self.kind)
        if 0 <= self.index < len(items):
            items.remove(self.index)
        return {"FINISHED"}


class TOWERKIT_OT_reload_styles(bpy.types.Operator):
    """List the kit's styles again (after the units folder changed on disk)"""
    bl_idname = "towerkit.reload_styles"
    bl_label = "Reload styles"
    bl_options = {"INTERNAL"}

    def execute(self, context):
        properties.forget_styles()
        return {"FINISHED"}


classes = (TOWERKIT_OT_generate, TOWERKIT_OT_regenerate, TOWERKIT_OT_load_options,
           TOWERKIT_OT_import_city, TOWERKIT_OT_random_seed, TOWERKIT_OT_list_add,
           TOWERKIT_OT_list_remove, TOWERKIT_OT_reload_styles)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)


def unregister():
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
