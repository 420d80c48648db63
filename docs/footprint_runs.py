#!/usr/bin/env python3
"""Draws docs/footprint_runs.png: a building of an L footprint seen from above, with its cells, the
runs of each side and the numbers of their cells, its outer and inner corners, the cells the
pattern E takes and the door places L, C and R.

As docs/footprint.py does, the script runs towerkit with a kit of marker pieces (one small
triangle per piece, whose height tells the piece and whose corner tells the way it faces) and
draws where the tool put each piece. Needs Python 3 and rsvg-convert (librsvg2-bin).

    docs/footprint_runs.py [path/to/towerkit]      (default: build/default/towerkit)
"""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTLINE = "0,0 7,0 7,4 3,4 3,9 0,9"  # an L: its west wing 4 cells wide, its south wing 3 deep
SIDES = "NESW"
FACING = {(1, 0): "N", (0, 1): "E", (-1, 0): "S", (0, -1): "W"}
PIECES = ["angle", "angleroof", "ground", "grounddoor", "groundclose", "floor", "floorclose", "roof",
          "roofdoor", "balcony", "roofcap", "innerangle", "innerangleroof"]


def write_marker_kit(folder):
    for name in ("base_floorclose", "base_roof"):
        with open(os.path.join(folder, name + ".obj"), "w") as f:
            f.write("v -0.5 0 -0.5\nv 0.5 1 0.5\n")
    for k, piece in enumerate(PIECES, start=1):
        y = k / 100
        with open(os.path.join(folder, "M_%s.obj" % piece), "w") as f:
            f.write("v 0.25 %g 0\nv 0 %g 0\nv 0 %g 0.25\nf 1 2 3\n" % (y, y, y))


def placements(tool, kit, args):
    """[(piece, x, z, (dx, dz))]: every piece the tool places, its cell and where its +x points."""
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "m.obj")
        env = dict(os.environ, OSTREL_UNITS_PATH=kit)
        subprocess.run([tool, "-s", "M", "--footprint", OUTLINE] + args + [out],
                       env=env, check=True, stdout=subprocess.DEVNULL)
        vertices = []
        with open(out) as f:
            for line in f:
                if line.startswith("v "):
                    vertices.append([float(t) for t in line.split()[1:]])
    result = []
    for i in range(0, len(vertices), 3):
        tip, corner = vertices[i], vertices[i + 1]
        code = round((corner[1] - int(corner[1])) * 100)
        facing = (round((tip[0] - corner[0]) * 4), round((tip[2] - corner[2]) * 4))
        result.append((PIECES[code - 1], round(corner[0]), round(corner[2]), facing))
    return result


def layout(tool, kit):
    ground = placements(tool, kit, ["-h", "1"])
    cells = {}
    for piece, x, z, facing in ground:
        if piece == "angle":
            cells[(x, z)] = "corner"
        elif piece == "ground":
            cells[(x, z)] = FACING[facing]
        elif piece == "innerangle":
            cells[(x, z)] = "inner"
            # The piece builds the walls of the end cells on its +x and +z sides.
            left = (-facing[1], facing[0])
            cells[(x + facing[0], z + facing[1])] = "end"
            cells[(x + left[0], z + left[1])] = "end"
    inside = {(x, z) for piece, x, z, _ in ground if piece == "roofcap"}
    even = {(x, z) for piece, x, z, _ in placements(tool, kit, ["-h", "1"] + sum(
        (["-c", s + "E"] for s in SIDES), [])) if piece == "groundclose"}
    doors = {}
    for side in SIDES:
        for place in "LCR":
            for piece, x, z, _ in placements(tool, kit, ["-h", "1", "-d", side + place]):
                if piece == "grounddoor":
                    doors.setdefault((x, z), []).append(place)
    # Runs: cells of one side in a line, numbered from the west end (N, S) or the north end (E, W).
    numbers = {}
    for side in SIDES:
        line = sorted((c for c, s in cells.items() if s == side), key=lambda c: (-c[0], c[1]))
        n, last = 0, None
        for cell in line:
            along = side in "NS"
            follows = last is not None and (cell == (last[0], last[1] + 1) if along else cell == (last[0] - 1, last[1]))
            n = n + 1 if follows else 1
            numbers[cell] = n
            last = cell
    return cells, inside, even, doors, numbers


CELL = 60
LEFT, TOP = 190, 130
COLOURS = {"N": "#cfe3f7", "E": "#d8efcf", "S": "#f7ddc9", "W": "#ecd6f0", "corner": "#a3a8ae",
           "end": "#c4c8cc", "inner": "#7d8590"}


def svg(cells, inside, even, doors, numbers):
    every = set(cells) | inside
    xs = list(range(max(x for x, _ in every), min(x for x, _ in every) - 1, -1))
    zs = list(range(min(z for _, z in every), max(z for _, z in every) + 1))
    rows, cols = len(xs), len(zs)
    width, height = LEFT + cols * CELL + 120, TOP + rows * CELL + 230

    def at(x, z):
        return LEFT + zs.index(z) * CELL, TOP + xs.index(x) * CELL

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="DejaVu Sans" '
           'font-size="13">' % (width, height), '<rect width="100%" height="100%" fill="white"/>']

    def text(x, y, s, size=13, anchor="middle", weight="normal", fill="#222"):
        out.append('<text x="%g" y="%g" font-size="%d" text-anchor="%s" font-weight="%s" fill="%s">%s</text>'
                   % (x, y, size, anchor, weight, fill, s))

    text(width / 2, 30, 'towerkit --footprint "%s" seen from above' % OUTLINE, 17, weight="bold")
    text(width / 2, 52, "north (+x) at the top, east (+z) to the right; each square is one cell", 13)
    for (x, z) in inside:
        px, py = at(x, z)
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="#f4f4f4" stroke="#bbb"/>' % (px, py, CELL, CELL))
    for (x, z), kind in cells.items():
        px, py = at(x, z)
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s" stroke="#555"/>'
                   % (px, py, CELL, CELL, COLOURS[kind]))
        cx, cy = px + CELL / 2, py + CELL / 2
        if kind in ("corner", "end", "inner"):
            text(cx, cy + 4, {"corner": "corner", "end": "end", "inner": "inner"}[kind], 11, fill="white")
            continue
        text(cx - 10, cy - 2, kind, 11, fill="#555")
        text(cx + 8, cy, str(numbers[(x, z)]), 18, weight="bold")
        text(cx - 12, cy + 18, "E" if (x, z) in even else "", 11, fill="#555")
        if (x, z) in doors:
            text(cx + 12, cy + 18, "".join(doors[(x, z)]), 11, weight="bold", fill="#b03a2e")
    for x in xs:
        text(LEFT - 12, at(x, zs[0])[1] + CELL / 2 + 4, "x = %d" % x, 12, anchor="end")
    for z in zs:
        text(at(xs[0], z)[0] + CELL / 2, TOP - 12, "z = %d" % z, 11)
    legend = [
        "N, E, S, W: facade cells by the way they face; bold, their number along their run, from 1",
        "at the run's west end (N, S) or north end (E, W). E: the cells the pattern E takes (O the others).",
        "corner: an outer corner (the style's angle). inner: the inner-corner piece, which builds the walls",
        "of the two end cells beside it. Grey: the roof cap. Red L, C, R: the door of -d on the longest",
        "run of its side on the outline (never a courtyard's), left, centre or right seen from outside.",
    ]
    for i, line in enumerate(legend):
        text(30, TOP + rows * CELL + 50 + i * 20, line, 13, anchor="start")
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    tool = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/default/towerkit"))
    with tempfile.TemporaryDirectory() as kit:
        write_marker_kit(kit)
        picture = svg(*layout(tool, kit))
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False) as f:
        f.write(picture)
    try:
        subprocess.run(["rsvg-convert", "-o", os.path.join(ROOT, "docs/footprint_runs.png"), f.name], check=True)
    finally:
        os.unlink(f.name)


if __name__ == "__main__":
    main()
