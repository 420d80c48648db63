"""towerkit for Blender: buildings from a kit of unit meshes, made by the towerkit program and
imported as collections that remember the options they were made with."""

bl_info = {
    "name": "towerkit",
    "author": "towerkit developers",
    "version": (0, 1, 0),
    "blender": (3, 4, 0),
    "location": "3D Viewport > Sidebar > towerkit",
    "description": "Buildings from a kit of unit meshes: generate, regenerate, import a city",
    "category": "Add Mesh",
}

if "properties" in locals():
    import importlib
    for module in (request, tool, properties, building, operators, panel):  # noqa: F821
        importlib.reload(module)
else:
    from . import request, tool, properties, building, operators, panel

_modules = (properties, operators, panel)


def register():
    for module in _modules:
        module.register()


def unregister():
    for module in reversed(_modules):
        module.unregister()
