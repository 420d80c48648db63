#!/usr/bin/env python3
"""Draws docs/pivot.png: one city row (x 6, z 4, angle 30) built with --pivot origin and with
--pivot base-centre, seen from above with north at the top and east to the right, as
docs/footprint.png is. The outlines are the ground-floor vertices the tool writes, so the picture
shows what the tool does: the row's x and z place the pivot, and the building turns about it.
Needs Python 3 and rsvg-convert (the Debian package librsvg2-bin).

    docs/pivot.py [path/to/towerkit]      (default: build/default/towerkit)
"""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROW = (6.0, 4.0, 30.0)  # x, z, angle of the row
SCALE, PAD = 34.0, 40.0  # pixels per cell unit, margin


def outline(tool, work, pivot):
    """The convex hull (x, z) of the vertices at ground level of the row's building."""
    csv = os.path.join(work, "row.csv")
    with open(csv, "w") as f:
        f.write("style,width,length,height,x,z,angle\nA,3,2,1,%g,%g,%g\n" % ROW)
    out = os.path.join(work, "row-%s.obj" % pivot)
    env = dict(os.environ, OSTREL_UNITS_PATH=os.path.join(ROOT, "units"))
    subprocess.run([tool, "--city", csv, "--pivot", pivot, out], env=env, check=True, stdout=subprocess.DEVNULL)
    points = set()
    with open(out) as f:
        for line in f:
            if line.startswith("v "):
                x, y, z = map(float, line.split()[1:4])
                if abs(y) < 1e-4:
                    points.add((round(x, 4), round(z, 4)))
    points = sorted(points)

    def cross(o, a, b):
        return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])

    hull = []
    for sweep in (points, points[::-1]):
        part = []
        for p in sweep:
            while len(part) >= 2 and cross(part[-2], part[-1], p) <= 0:
                part.pop()
            part.append(p)
        hull += part[:-1]
    return hull


def main():
    tool = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/default/towerkit"))
    with tempfile.TemporaryDirectory() as work:
        shapes = {pivot: outline(tool, work, pivot) for pivot in ("origin", "base-centre")}
    every = [p for hull in shapes.values() for p in hull] + [(0.0, 0.0), (ROW[0], ROW[1])]
    xmin, xmax = min(p[0] for p in every), max(p[0] for p in every)
    zmin, zmax = min(p[1] for p in every), max(p[1] for p in every)
    width, height = (zmax - zmin) * SCALE + 2 * PAD, (xmax - xmin) * SCALE + 2 * PAD

    def at(x, z):  # north (+x) up, east (+z) right
        return PAD + (z - zmin) * SCALE, PAD + (xmax - x) * SCALE

    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="13"><rect width="100%%" height="100%%" fill="white"/>' % (width, height)]
    ox, oy = at(0, 0)
    svg.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="#888"/>' % (ox, oy, ox, oy - 60))
    svg.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="#888"/>' % (ox, oy, ox + 60, oy))
    svg.append('<text x="%g" y="%g" fill="#666">+x (north)</text>' % (ox + 4, oy - 50))
    svg.append('<text x="%g" y="%g" fill="#666">+z (east)</text>' % (ox + 64, oy + 4))
    svg.append('<text x="%g" y="%g" fill="#666">city origin</text>' % (ox + 4, oy + 16))
    styles = {"origin": ('#999', '6,4', 'pivot origin'), "base-centre": ('#c0392b', '', 'pivot base-centre')}
    for pivot, hull in shapes.items():
        colour, dash, label = styles[pivot]
        points = " ".join("%g,%g" % at(x, z) for x, z in hull)
        svg.append('<polygon points="%s" fill="%s" fill-opacity="0.12" stroke="%s" stroke-width="2" '
                   'stroke-dasharray="%s"/>' % (points, colour, colour, dash))
        top = max(hull, key=lambda p: p[0])
        tx, ty = at(*top)
        svg.append('<text x="%g" y="%g" fill="%s">%s</text>' % (tx + 6, ty - 6, colour, label))
    px, py = at(ROW[0], ROW[1])
    svg.append('<circle cx="%g" cy="%g" r="5" fill="black"/>' % (px, py))
    svg.append('<text x="%g" y="%g">row x %g, z %g, angle %g</text>' % (px + 9, py + 18, ROW[0], ROW[1], ROW[2]))
    svg.append('</svg>')
    svg_path = os.path.join(ROOT, "docs", "pivot.svg")
    with open(svg_path, "w") as f:
        f.write("\n".join(svg))
    subprocess.run(["rsvg-convert", svg_path, "-o", os.path.join(ROOT, "docs", "pivot.png")], check=True)
    os.remove(svg_path)


if __name__ == "__main__":
    main()
