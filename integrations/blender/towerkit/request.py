"""A building's options as a plain dict, and the towerkit command line that makes it.

The dict is what a building stores in its custom properties, so every value is one an ID
property holds: strings, 32-bit whole numbers and booleans. A request several of which may be
given (balconies, closed walls, setbacks, bands) is one string of blank-separated values, as a
city file's columns take them ("NC EA"). Nothing here imports bpy.
"""

import shlex

# The options of a single building, with their defaults: a building made with them all is
# towerkit's own default building of that style and size.
DEFAULTS = {
    "name": "tower",
    "style": "",
    "width": 3,
    "length": 3,
    "storeys": 3,
    "door": "",        # side and place, "SC"; empty: no door
    "balconies": "",   # "NC EA"
    "closed": "",      # "WA"
    "roof": "flat",    # flat, gable or hip
    "ridge": "",       # x or z; empty: along the longer side
    "setbacks": "",    # "2::2 4:NE"
    "bands": "",       # "0:S"
    "seed": 0,
    "vary": "storey",  # storey or cell
    "collision": "",   # godot or unreal; empty: no hull
    "lod": 0,          # 0 to 3 lower levels of detail
    "markers": False,
    "pivot": "origin",  # origin, base-centre or corner
    "units": "",       # units folder; empty: the tool's own choice (the kit beside it)
    "city": "",        # a city file: its rows replace the single building's shape
}

# The options that shape a single building, which a city file's rows give instead.
BUILDING_ONLY = ("style", "width", "length", "storeys", "door", "balconies", "closed", "roof",
                 "setbacks", "bands")


def complete(options):
    """options with every missing key at its default, and no key the add-on does not know."""
    whole = dict(DEFAULTS)
    for key, value in options.items():
        if key in DEFAULTS:
            whole[key] = value
    return whole


def words(text):
    return str(text).split()


def arguments(options, units_path):
    """The command line (after the program's name, before the output file) for options.

    units_path is the units folder as the tool should see it (Blender's relative paths
    resolved); the output is always in metres, Blender's unit."""
    o = complete(options)
    args = []
    if o["city"]:
        args += ["--city", o["city"]]
    else:
        args += ["-s", o["style"], "-w", str(o["width"]), "-l", str(o["length"]),
                 "-h", str(o["storeys"])]
        if o["door"]:
            args += ["-d", o["door"]]
        for request in words(o["balconies"]):
            args += ["-b", request]
        for request in words(o["closed"]):
            args += ["-c", request]
        if o["roof"] != "flat":
            args += ["--roof", o["roof"]]
        for setback in words(o["setbacks"]):
            args += ["--setback", setback]
        for band in words(o["bands"]):
            args += ["--band", band]
    if o["ridge"]:
        args += ["--ridge", o["ridge"]]
    if o["seed"]:
        args += ["--seed", str(o["seed"])]
    if o["vary"] != "storey":
        args += ["--vary", o["vary"]]
    if o["collision"]:
        args += ["--collision", o["collision"]]
    if o["lod"]:
        args += ["--lod", str(o["lod"])]
    if o["markers"]:
        args.append("--markers")
    if o["pivot"] != "origin":
        args += ["--pivot", o["pivot"]]
    if units_path:
        args += ["--units", units_path]
    args.append("-m")
    return args


def command_line(args, output):
    """The command as a user would type it, for the building's record."""
    return " ".join(shlex.quote(word) for word in ["towerkit"] + list(args) + [output])


def setback_text(storey, sides, cells):
    """One --setback value: "L", "L:SIDES" or "L:SIDES:C"; all four sides or none is every side."""
    sides = "" if len(sides) in (0, 4) else sides
    if cells != 1:
        return "%d:%s:%d" % (storey, sides, cells)
    return "%d:%s" % (storey, sides) if sides else str(storey)


def parse_setback(text):
    """(storey, sides, cells) of a --setback value, or None when it is not one."""
    parts = text.split(":")
    try:
        storey = int(parts[0])
        sides = parts[1].upper() if len(parts) > 1 else ""
        cells = int(parts[2]) if len(parts) > 2 and parts[2] else 1
    except ValueError:
        return None
    return storey, sides or "NESW", cells


def band_text(first, last, style):
    return "%d:%s" % (first, style) if last <= first else "%d-%d:%s" % (first, last, style)


def parse_band(text):
    """(first, last, style) of a --band value, or None when it is not one."""
    storeys, _, style = text.partition(":")
    first, _, last = storeys.partition("-")
    try:
        first = int(first)
        last = int(last) if last else first
    except ValueError:
        return None
    return first, last, style


def side_patterns(text):
    """{side: pattern} of blank-separated two-letter requests ("NC EA"); a later request for a
    side replaces an earlier one, as the panel holds one pattern a side."""
    patterns = {}
    for request in words(text):
        if len(request) == 2:
            patterns[request[0].upper()] = request[1].upper()
    return patterns
