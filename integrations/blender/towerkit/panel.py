"""The towerkit tab of the 3-D viewport's sidebar."""

import bpy

from . import building, properties


class _Tab:
    bl_space_type = "VIEW_3D"
    bl_region_type = "UI"
    bl_category = "towerkit"


class TOWERKIT_PT_main(_Tab, bpy.types.Panel):
    bl_label = "towerkit"

    def draw(self, context):
        layout = self.layout
        for level, message in properties.style_problems(context):
            layout.label(text=message, icon="ERROR" if level == "error" else "INFO")
        row = layout.row(align=True)
        row.scale_y = 1.4
        row.operator("towerkit.generate", icon="HOME")
        row.operator("towerkit.import_city", icon="FILE")
        root = building.building_root(context.active_object)
        box = layout.box()
        if root is None:
            box.label(text="Select a towerkit building to regenerate it", icon="INFO")
            return
        box.label(text=root.name, icon="OUTLINER_OB_EMPTY")
        options = building.stored_options(root)
        box.label(text="Seed %d" % options["seed"])
        col = box.column(align=True)
        op = col.operator("towerkit.regenerate", text="Regenerate", icon="FILE_REFRESH")
        op.source, op.new_seed = "STORED", False
        op = col.operator("towerkit.regenerate", text="New seed", icon="MOD_NOISE")
        op.source, op.new_seed = "STORED", True
        op = col.operator("towerkit.regenerate", text="With the panel's options", icon="IMPORT")
        op.source, op.new_seed = "PANEL", False
        col.operator("towerkit.load_options", text="Options into the panel", icon="EXPORT")


class TOWERKIT_PT_building(_Tab, bpy.types.Panel):
    bl_label = "Building"
    bl_parent_id = "TOWERKIT_PT_main"

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(settings, "name")
        row = layout.row(align=True)
        row.prop(settings, "style")
        row.operator("towerkit.reload_styles", text="", icon="FILE_REFRESH")
        col = layout.column(align=True)
        col.prop(settings, "width")
        col.prop(settings, "length")
        col.prop(settings, "storeys")
        layout.prop(settings, "door_side")
        row = layout.row()
        row.enabled = settings.door_side != "NONE"
        row.prop(settings, "door_place")


class TOWERKIT_PT_facades(_Tab, bpy.types.Panel):
    bl_label = "Balconies and closed walls"
    bl_parent_id = "TOWERKIT_PT_main"

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        for kind, title in (("balcony", "Balconies"), ("closed", "Closed walls")):
            layout.label(text=title)
            col = layout.column(align=True)
            for side in properties.SIDES:
                col.prop(settings, "%s_%s" % (kind, side.lower()))


class TOWERKIT_PT_roof(_Tab, bpy.types.Panel):
    bl_label = "Roof"
    bl_parent_id = "TOWERKIT_PT_main"

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        layout.row().prop(settings, "roof", expand=True)
        row = layout.row()
        row.enabled = settings.roof == "gable"
        row.prop(settings, "ridge")


class TOWERKIT_PT_setbacks(_Tab, bpy.types.Panel):
    bl_label = "Setbacks and bands"
    bl_parent_id = "TOWERKIT_PT_main"

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        col = layout.column(align=True)
        for index, item in enumerate(settings.setbacks):
            row = col.row(align=True)
            row.prop(item, "storey", text="Storey")
            for side in ("north", "east", "south", "west"):
                row.prop(item, side, toggle=True)
            row.prop(item, "cells", text="")
            op = row.operator("towerkit.list_remove", text="", icon="X")
            op.kind, op.index = "setbacks", index
        col.operator("towerkit.list_add", text="Add setback", icon="ADD").kind = "setbacks"
        col = layout.column(align=True)
        for index, item in enumerate(settings.bands):
            row = col.row(align=True)
            row.prop(item, "first")
            row.prop(item, "last")
            row.prop(item, "style", text="")
            op = row.operator("towerkit.list_remove", text="", icon="X")
            op.kind, op.index = "bands", index
        col.operator("towerkit.list_add", text="Add band", icon="ADD").kind = "bands"


class TOWERKIT_PT_variants(_Tab, bpy.types.Panel):
    bl_label = "Variants"
    bl_parent_id = "TOWERKIT_PT_main"

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        row = layout.row(align=True)
        row.prop(settings, "seed")
        row.operator("towerkit.random_seed", text="", icon="MOD_NOISE")
        layout.row().prop(settings, "vary", expand=True)


class TOWERKIT_PT_engines(_Tab, bpy.types.Panel):
    bl_label = "For game engines"
    bl_parent_id = "TOWERKIT_PT_main"
    bl_options = {"DEFAULT_CLOSED"}

    def draw(self, context):
        settings = context.scene.towerkit
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(settings, "collision")
        layout.prop(settings, "lod", text="LOD levels")
        layout.prop(settings, "markers")
        layout.prop(settings, "pivot")


class TOWERKIT_PT_kit(_Tab, bpy.types.Panel):
    bl_label = "Kit"
    bl_parent_id = "TOWERKIT_PT_main"
    bl_options = {"DEFAULT_CLOSED"}

    def draw(self, context):
        settings = context.scene.towerkit
        self.layout.prop(settings, "units")
        self.layout.label(text="Output in metres, +z up as Blender has it")


classes = (TOWERKIT_PT_main, TOWERKIT_PT_building, TOWERKIT_PT_facades, TOWERKIT_PT_roof,
           TOWERKIT_PT_setbacks, TOWERKIT_PT_variants, TOWERKIT_PT_engines, TOWERKIT_PT_kit)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)


def unregister():
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
