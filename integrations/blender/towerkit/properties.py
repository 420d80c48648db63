"""The panel's settings, the add-on's preferences, and the styles the kit offers."""

import os
import tempfile

import bpy
from bpy.props import (BoolProperty, CollectionProperty, EnumProperty, IntProperty,
                       PointerProperty, StringProperty)

from . import request, tool

SIDES = "NESW"
SIDE_NAMES = {"N": "North", "E": "East", "S": "South", "W": "West"}
PATTERNS = [
    ("NONE", "None", "No request on this side"),
    ("A", "All", "Every cell"),
    ("E", "1, 3, 5 ...", "Cells 1, 3, 5 ... counted from the side's west (or north) end"),
    ("O", "2, 4, 6 ...", "Cells 2, 4, 6 ..."),
    ("C", "Checkerboard", "Odd cells on storeys 1, 3 ..., even cells on storeys 0, 2 ..."),
]


def addon_dir():
    return os.path.dirname(os.path.abspath(__file__))


def preferences(context=None):
    context = context or bpy.context
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon else None


def tool_path(context=None):
    """The towerkit to run, from the preferences or found; None when there is none."""
    prefs = preferences(context)
    preferred = bpy.path.abspath(prefs.tool_path) if prefs and prefs.tool_path else ""
    return tool.find_tool(preferred, addon_dir())


def units_path(units):
    """A units folder as the tool sees it: Blender's "//" paths are relative to the .blend."""
    return os.path.normpath(bpy.path.abspath(units)) if units else ""


# The styles of each (tool, units folder) listed so far, as enum items. Blender keeps only
# pointers to the items' strings, so they must live as long as the add-on does.
_style_items = {}
_style_problems = {}
NO_STYLE = "NONE"


def _style_key(context):
    scene = getattr(context, "scene", None) if context else None
    units = scene.towerkit.units if scene else ""
    return tool_path(context), units_path(units)


def style_items(_self, context):
    key = _style_key(context)
    if key not in _style_items:
        _style_items[key], _style_problems[key] = _list_styles(*key)
    return _style_items[key]


def _list_styles(path, units):
    try:
        with tempfile.TemporaryDirectory(prefix="towerkit-") as folder:
            tool.check_tool(path, folder)
            styles, problems = tool.list_styles(path, units, folder)
    except tool.ToolError as error:
        styles, problems = [], [("error", str(error))]
    if not styles:
        reason = problems[0][1] if problems else "the units folder holds no style"
        return [(NO_STYLE, "(no styles)", reason)], problems
    return [(style, style, "Style %s of the units folder" % style) for style in styles], problems


def style_problems(context):
    """The errors and warnings of listing the styles for the panel's tool and units folder."""
    style_items(None, context)
    return _style_problems.get(_style_key(context), [])


def forget_styles(_self=None, _context=None):
    _style_items.clear()
    _style_problems.clear()


class TOWERKIT_Setback(bpy.types.PropertyGroup):
    storey: IntProperty(name="From storey", min=1, default=2,
                        description="The first storey that steps back (0 is the ground storey)")
    north: BoolProperty(name="N", default=True, description="The north side steps back")
    east: BoolProperty(name="E", default=True, description="The east side steps back")
    south: BoolProperty(name="S", default=True, description="The south side steps back")
    west: BoolProperty(name="W", default=True, description="The west side steps back")
    cells: IntProperty(name="Cells", min=1, default=1, description="How many cells the sides step in")

    def text(self):
        sides = "".join(side for side, on in zip(SIDES, (self.north, self.east, self.south, self.west)) if on)
        return request.setback_text(self.storey, sides, self.cells)


class TOWERKIT_Band(bpy.types.PropertyGroup):
    first: IntProperty(name="From", min=0, default=0, description="The band's first storey (0 is the ground storey)")
    last: IntProperty(name="To", min=0, default=0, description="The band's last storey")
    style: EnumProperty(name="Style", items=style_items, description="The style the band's storeys are built of")

    def text(self):
        return request.band_text(self.first, self.last, self.style)


def _pattern_property(kind, side):
    return EnumProperty(name=SIDE_NAMES[side], items=PATTERNS, default="NONE",
                        description="%s on the %s side" % (kind, SIDE_NAMES[side].lower()))


class TOWERKIT_Settings(bpy.types.PropertyGroup):
    name: StringProperty(name="Name", default="tower",
                         description="The building's name: its collection, its root and its mesh")
    style: EnumProperty(name="Style", items=style_items, description="The style of the kit's pieces")
    width: IntProperty(name="Width", min=0, soft_max=30, default=3,
                       description="Cells between the corners along the east and west sides")
    length: IntProperty(name="Length", min=0, soft_max=30, default=3,
                        description="Cells between the corners along the north and south sides")
    storeys: IntProperty(name="Storeys", min=0, soft_max=30, default=3,
                         description="Storeys, the ground storey included; the roof comes on top")
    door_side: EnumProperty(name="Door", default="NONE", description="The side of the entrance door",
                            items=[("NONE", "No door", "")] + [(s, SIDE_NAMES[s], "") for s in SIDES])
    door_place: EnumProperty(name="Place", default="C", description="Where on its side the door is, seen from outside",
                             items=[("L", "Left", ""), ("C", "Centre", ""), ("R", "Right", "")])
    balcony_n: _pattern_property("Balconies", "N")
    balcony_e: _pattern_property("Balconies", "E")
    balcony_s: _pattern_property("Balconies", "S")
    balcony_w: _pattern_property("Balconies", "W")
    closed_n: _pattern_property("Closed walls", "N")
    closed_e: _pattern_property("Closed walls", "E")
    closed_s: _pattern_property("Closed walls", "S")
    closed_w: _pattern_property("Closed walls", "W")
    roof: EnumProperty(name="Roof", default="flat", description="The roof's shape",
                       items=[("flat", "Flat", "A flat roof behind a parapet"),
                              ("gable", "Gable", "Two slopes and gable walls"),
                              ("hip", "Hip", "Four slopes")])
    ridge: EnumProperty(name="Ridge", default="AUTO", description="The axis of a gable roof's ridge",
                        items=[("AUTO", "Longer side", "Along the longer side"),
                               ("x", "x (north-south)", ""), ("z", "z (east-west)", "")])
    setbacks: CollectionProperty(type=TOWERKIT_Setback)
    bands: CollectionProperty(type=TOWERKIT_Band)
    seed: IntProperty(name="Seed", min=0, default=0,
                      description="Which variants of the pieces the building takes")
    vary: EnumProperty(name="Vary", default="storey", description="How often a variant is chosen",
                       items=[("storey", "Per storey", "One choice per piece, storey and side"),
                              ("cell", "Per cell", "A choice in each cell")])
    collision: EnumProperty(name="Collision", default="NONE", description="A collision hull on the building",
                            items=[("NONE", "None", ""), ("godot", "Godot", "Named NAME-colonly"),
                                   ("unreal", "Unreal", "Named UCX_NAME_00 ...")])
    lod: IntProperty(name="Levels of detail", min=0, max=3, default=0,
                     description="Lower levels of detail added to the building")
    markers: BoolProperty(name="Door markers", default=False, description="An empty at each door")
    pivot: EnumProperty(name="Pivot", default="origin", description="Where the building's own origin lies",
                        items=[("origin", "Corner cell", "The centre of the north-west corner cell"),
                               ("base-centre", "Base centre", "The middle of the footprint, at ground level"),
                               ("corner", "Outer corner", "The outer north-west corner, at ground level")])
    units: StringProperty(name="Units folder", subtype="DIR_PATH", default="", update=forget_styles,
                          description="The kit's folder of unit meshes; empty: the kit that came with towerkit")

    def options(self):
        """The panel's building as a request's options."""
        return request.complete({
            "name": self.name.strip() or "tower",
            "style": self.style,
            "width": self.width, "length": self.length, "storeys": self.storeys,
            "door": "" if self.door_side == "NONE" else self.door_side + self.door_place,
            "balconies": self.requests("balcony"),
            "closed": self.requests("closed"),
            "roof": self.roof,
            "ridge": "" if self.ridge == "AUTO" else self.ridge,
            "setbacks": " ".join(item.text() for item in self.setbacks),
            "bands": " ".join(item.text() for item in self.bands),
            "seed": self.seed, "vary": self.vary,
            "collision": "" if self.collision == "NONE" else self.collision,
            "lod": self.lod, "markers": self.markers, "pivot": self.pivot,
            "units": self.units,
        })

    def requests(self, kind):
        """The side requests of kind (balcony or closed) as towerkit takes them: "NC EA"."""
        patterns = ((side, getattr(self, "%s_%s" % (kind, side.lower()))) for side in SIDES)
        return " ".join(side + pattern for side, pattern in patterns if pattern != "NONE")

    def load(self, options):
        """Sets the panel to a building's stored options; a style the kit does not list stays."""
        o = request.complete(options)
        self.name = o["name"]
        self.units = o["units"]
        try:
            self.style = o["style"]
        except TypeError:
            pass
        self.width, self.length, self.storeys = o["width"], o["length"], o["storeys"]
        door = o["door"]
        self.door_side = door[0] if len(door) == 2 and door[0] in SIDES else "NONE"
        if len(door) == 2 and door[1] in "LCR":
            self.door_place = door[1]
        for kind, key in (("balcony", "balconies"), ("closed", "closed")):
            patterns = request.side_patterns(o[key])
            for side in SIDES:
                pattern = patterns.get(side, "NONE")
                setattr(self, "%s_%s" % (kind, side.lower()), pattern if pattern in "AEOC" else "NONE")
        self.roof = o["roof"] if o["roof"] in ("flat", "gable", "hip") else "flat"
        self.ridge = o["ridge"] if o["ridge"] in ("x", "z") else "AUTO"
        self.setbacks.clear()
        for text in request.words(o["setbacks"]):
            parsed = request.parse_setback(text)
            if parsed:
                item = self.setbacks.add()
                item.storey, sides, item.cells = parsed
                item.north, item.east, item.south, item.west = (side in sides for side in SIDES)
        self.bands.clear()
        for text in request.words(o["bands"]):
            parsed = request.parse_band(text)
            if parsed:
                item = self.bands.add()
                item.first, item.last, style = parsed
                try:
                    item.style = style
                except TypeError:
                    pass
        self.seed = max(0, min(int(o["seed"]), 2**31 - 1))
        self.vary = o["vary"] if o["vary"] in ("storey", "cell") else "storey"
        self.collision = o["collision"] or "NONE"
        self.lod = max(0, min(int(o["lod"]), 3))
        self.markers = bool(o["markers"])
        self.pivot = o["pivot"] if o["pivot"] in ("origin", "base-centre", "corner") else "origin"


class TOWERKIT_Preferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    tool_path: StringProperty(name="towerkit", subtype="FILE_PATH", default="", update=forget_styles,
                              description="The towerkit program; empty: the one beside the add-on, "
                                          "else the one on PATH")

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "tool_path")
        path = tool_path(context)
        if not path:
            layout.label(text="No towerkit found beside the add-on or on PATH", icon="ERROR")
            return
        try:
            with tempfile.TemporaryDirectory(prefix="towerkit-") as folder:
                tool.check_tool(path, folder)
        except tool.ToolError as error:
            layout.label(text=str(error), icon="ERROR")
            return
        layout.label(text="Using %s" % path, icon="CHECKMARK")


classes = (TOWERKIT_Setback, TOWERKIT_Band, TOWERKIT_Settings, TOWERKIT_Preferences)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.Scene.towerkit = PointerProperty(type=TOWERKIT_Settings)


def unregister():
    del bpy.types.Scene.towerkit
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
    forget_styles()
