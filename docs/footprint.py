#!/usr/bin/env python3
"""Draws docs/footprint.png: a building seen from above, with its cells, corners, sides, axes,
origin, the numbers of the cells of each side, the door places L, C and R and the cells that the
patterns E and O take.

Nothing in the picture is typed in by hand: the script runs towerkit with a kit of marker pieces
(one small triangle per piece, whose height tells the piece and whose corner tells the way it
faces) and draws where the tool put each piece. Needs Python 3 and rsvg-convert (the Debian
package librsvg2-bin).

    docs/footprint.py [path/to/towerkit]      (default: build/default/towerkit)
"""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIDTH, LENGTH = 4, 6  # -w and -l of the building drawn: even counts make E and O tell the ends apart
SIDES = "NESW"
# The way a piece's outside (its local +x) faces, per side.
FACING = {(1, 0): "N", (0, 1): "E", (-1, 0): "S", (0, -1): "W"}
PIECES = ["angle", "angleroof", "ground", "grounddoor", "groundclose", "floor", "floorclose", "roof",
          "roofdoor", "balcony", "roofcap"]


def write_marker_kit(folder):
    """Style M: piece k is a triangle at height k/100 of its storey, with its right angle at the
    cell's centre and one leg along the piece's +x. Base units of 1 x 1 x 1 keep file units as
    cell units."""
    for name in ("base_floorclose", "base_roof"):
        with open(os.path.join(folder, name + ".obj"), "w") as f:
            f.write("v -0.5 0 -0.5\nv 0.5 1 0.5\n")
    for k, piece in enumerate(PIECES, start=1):
        y = k / 100
        with open(os.path.join(folder, "M_%s.obj" % piece), "w") as f:
            f.write("v 0.25 %g 0\nv 0 %g 0\nv 0 %g 0.25\nf 1 2 3\n" % (y, y, y))


def placements(tool, kit, args):
    """[(piece, x, z, side)] of every piece the tool places for the request, in cell units."""
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "m.obj")
        env = dict(os.environ, OSTREL_UNITS_PATH=kit)
        subprocess.run([tool, "-s", "M", "-w", str(WIDTH), "-l", str(LENGTH)] + args + [out],
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
        side = FACING[(round((tip[0] - corner[0]) * 4), round((tip[2] - corner[2]) * 4))]
        result.append((PIECES[code - 1], round(corner[0]), round(corner[2]), side))
    return result


def layout(tool, kit):
    """Every fact the picture shows, as the tool places the pieces."""
    ground = placements(tool, kit, ["-h", "1"])
    cells = {(x, z): ("corner" if piece == "angle" else side)
             for piece, x, z, side in ground if piece in ("angle", "ground")}
    inside = {(x, z) for piece, x, z, _ in ground if piece == "roofcap"}
    even = {(x, z) for piece, x, z, _ in placements(tool, kit, ["-h", "1"] + sum(
        (["-c", s + "E"] for s in SIDES), [])) if piece == "groundclose"}
    doors = {}
    for side in SIDES:
        for place in "LCR":
            for piece, x, z, _ in placements(tool, kit, ["-h", "1", "-d", side + place]):
                if piece == "grounddoor":
                    doors.setdefault((x, z), []).append(place)
    # A side's cells are numbered from the end whose first cell E takes (cell 1; the counts are
    # even, so the other end's cell is an O cell).
    numbers = {}
    for side in SIDES:
        run = sorted((c for c, s in cells.items() if s == side), key=lambda c: (-c[0], c[1]))
        if run[0] not in even:
            run.reverse()
        for n, cell in enumerate(run, start=1):
            numbers[cell] = n
    return cells, inside, even, doors, numbers


CELL = 72
LEFT, TOP = 200, 130
COLOURS = {"N": "#cfe3f7", "E": "#d8efcf", "S": "#f7ddc9", "W": "#ecd6f0", "corner": "#a3a8ae"}


def svg(cells, inside, even, doors, numbers):
    xs = sorted({x for x, _ in cells}, reverse=True)  # north (x = 0) at the top
    zs = sorted({z for _, z in cells})  # west (z = 0) on the left
    rows, cols = len(xs), len(zs)
    width, height = LEFT + cols * CELL + 150, TOP + rows * CELL + 190

    def at(x, z):  # top-left corner of the cell's square
        return LEFT + zs.index(z) * CELL, TOP + xs.index(x) * CELL

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="DejaVu Sans" '
           'font-size="13">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<defs><marker id="arrow" viewBox="0 0 10 10" refX="9" refY="5" markerWidth="6" '
           'markerHeight="6" orient="auto"><path d="M0,0 L10,5 L0,10 z" fill="#1f5fbf"/></marker></defs>']

    def text(x, y, s, size=13, anchor="middle", weight="normal", fill="#222"):
        out.append('<text x="%g" y="%g" font-size="%d" text-anchor="%s" font-weight="%s" fill="%s">%s</text>'
                   % (x, y, size, anchor, weight, fill, s))

    text(width / 2, 30, "A building of -w %d -l %d seen from above: (w + 2) x (l + 2) = %d x %d cells"
         % (WIDTH, LENGTH, rows, cols), 17, weight="bold")
    text(width / 2, 52, "north at the top; +y, the up of the building, points out of the picture", 13)

    for (x, z) in inside:
        px, py = at(x, z)
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="#f4f4f4" stroke="#bbb"/>'
                   % (px, py, CELL, CELL))
    for (x, z), kind in cells.items():
        px, py = at(x, z)
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s" stroke="#555"/>'
                   % (px, py, CELL, CELL, COLOURS[kind]))
        cx, cy = px + CELL / 2, py + CELL / 2
        if kind == "corner":
            # The north-west corner holds the origin and the axes, so its label goes low.
            text(cx, cy + (26 if (x, z) == (0, 0) else 4), "corner", 11, fill="white")
            continue
        text(cx, cy - 6, str(numbers[(x, z)]), 20, weight="bold")
        text(cx - 14, cy + 16, "E" if (x, z) in even else "O", 12, fill="#555")
        if (x, z) in doors:
            text(cx + 12, cy + 16, "".join(doors[(x, z)]), 12, weight="bold", fill="#b03a2e")
    text(LEFT + cols * CELL / 2, TOP + rows * CELL / 2 + 5, "inside", 13, fill="#888")

    # Coordinates of the cell centres, and the sides.
    for x in xs:
        text(LEFT - 12, at(x, zs[0])[1] + CELL / 2 + 4, "x = %d" % x, 12, anchor="end")
    for z in zs:
        text(at(xs[0], z)[0] + CELL / 2, TOP - 12, "z = %d" % z, 12)
    mid_x, mid_y = LEFT + cols * CELL / 2, TOP + rows * CELL / 2
    text(mid_x, TOP - 34, "N side: faces +x", 15, weight="bold")
    text(mid_x, TOP + rows * CELL + 24, "S side: faces -x", 15, weight="bold")
    out.append('<text x="%g" y="%g" font-size="15" font-weight="bold" text-anchor="middle" '
               'transform="rotate(90 %g %g)">E side: faces +z</text>'
               % (LEFT + cols * CELL + 22, mid_y, LEFT + cols * CELL + 22, mid_y))
    out.append('<text x="%g" y="%g" font-size="15" font-weight="bold" text-anchor="middle" '
               'transform="rotate(-90 %g %g)">W side: faces -z</text>'
               % (LEFT - 72, mid_y, LEFT - 72, mid_y))

    # The origin and the axes, from the centre of the north-west corner cell.
    ox, oy = at(0, 0)
    ox, oy = ox + CELL / 2, oy + CELL / 2
    axis = "#1f5fbf"
    for dx, dy in ((0, -1), (1, 0)):
        out.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="2.5" '
                   'marker-end="url(#arrow)"/>' % (ox, oy, ox + dx * CELL * 0.44, oy + dy * CELL * 0.44, axis))
    out.append('<circle cx="%g" cy="%g" r="4.5" fill="%s"/>' % (ox, oy, axis))
    text(ox + 6, oy - CELL / 2 + 13, "+x", 13, anchor="start", weight="bold", fill=axis)
    text(ox + CELL / 2 - 4, oy + 18, "+z", 13, anchor="end", weight="bold", fill=axis)
    out.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="1"/>'
               % (LEFT - 20, TOP - 50, ox - 3, oy - 3, axis))
    text(LEFT - 185, TOP - 56, "origin (0, 0, 0), at the foot", 13, anchor="start", fill=axis)

    legend = [
        "Each square is one cell: 1.0 along x and z; each storey is 1.0 along y (with the shipped kit, 1.0 is 3 m).",
        "Bold: the number of the cell on its side, from 1 at the west end (N, S) or the north end (E, W).",
        "E / O: the cells that the pattern letter E (cells 1, 3, 5 ...) or O (cells 2, 4, 6 ...) takes;",
        "C takes the E cells on storeys 1, 3 ... and the O cells on storeys 0, 2 ... (the ground storey is 0).",
        "Red L, C, R: where -d puts the door, left, centre or right as seen from outside facing the side.",
    ]
    for i, line in enumerate(legend):
        text(LEFT - 110, TOP + rows * CELL + 62 + i * 20, line, 13, anchor="start")
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
        subprocess.run(["rsvg-convert", "-o", os.path.join(ROOT, "docs/footprint.png"), f.name], check=True)
    finally:
        os.unlink(f.name)


if __name__ == "__main__":
    main()
