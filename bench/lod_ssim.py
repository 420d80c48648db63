#!/usr/bin/python3
"""How much each level of detail looks like the building, at the size on screen where it is shown.

Builds buildings of styles A, B and S, small and large, with flat and pitched roofs, with
`--lod 3 -m`; renders every level with f3d (under xvfb-run) from four sides, and compares levels 1,
2 and 3 with level 0 by SSIM: grey, 7 x 7 windows, averaged over the building's pixels (those
that are not the background in either picture). Level 1 is seen at 128 pixels, level 2 at 64 and
level 3 at 32; every picture is rendered at 384 pixels and scaled down, so that the kit's
textures do not shimmer (f3d samples them without mipmaps) and every level is filtered alike.
Prints a Markdown table, with each level's triangles beside the budgets: level 1 at most a third
of level 0's, level 2 at most two a cell face plus the roof, level 3 at most 12 a block plus the
roof.

    bench/lod_ssim.py [path/to/towerkit] [--quick]

--quick measures two buildings only. Needs f3d, xvfb-run, ImageMagick's convert and numpy.
"""

import os
import re
import subprocess
import sys
import tempfile

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZES = {1: 128, 2: 64, 3: 32}
RENDERED = 384

CASES = [
    ("-s B -w 4 -l 3 -h 3 -d SC -b NA", True),
    ("-s A -w 8 -l 6 -h 6 -d SC -b NC --roof hip", True),
    ("-s A -w 3 -l 2 -h 3 -d SC", False),
    ("-s A -w 3 -l 3 -h 2 -d SC --roof gable", False),
    ("-s A -w 10 -l 8 -h 8 -d SC -b NC", False),
    ("-s B -w 3 -l 2 -h 2 -d SC --roof gable", False),
    ("-s B -w 10 -l 8 -h 8 -d SC -b NC", False),
    ("-s B -w 8 -l 6 -h 6 -d SC --roof hip", False),
    ("-s S -w 3 -l 2 -h 3 -d SC", False),
    ("-s S -w 3 -l 3 -h 2 -d SC --roof gable", False),
    ("-s S -w 10 -l 8 -h 8 -d SC", False),
    ("-s S -w 8 -l 6 -h 6 -d SC --roof hip", False),
]


def run(args, **kwargs):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)


def split_levels(obj, work):
    """Writes one OBJ file a level (LOD0 ...) from the tool's OBJ: every v, vt and vn line, and
    the faces of that level's object alone. Returns {level: (path, triangles)}."""
    head, objects, current = [], {}, None
    with open(obj) as lines:
        for line in lines:
            if line.startswith("o "):
                current = line[2:].strip()
                objects.setdefault(current, [])
            elif line.startswith(("v ", "vt ", "vn ", "mtllib")) or current is None:
                head.append(line)
            else:
                objects[current].append(line)
    levels = {}
    for name, body in objects.items():
        found = re.search(r"_LOD(\d+)$", name)
        if not found:
            continue
        level = int(found.group(1))
        path = os.path.join(work, f"lod{level}.obj")
        with open(path, "w") as out:
            out.writelines(head)
            out.writelines(body)
        triangles = sum(len(line.split()) - 3 for line in body if line.startswith("f "))
        levels[level] = (path, triangles)
        mtl = os.path.splitext(obj)[0] + ".mtl"
        if os.path.exists(mtl):
            with open(mtl) as source, open(path + ".mtl", "w") as copy:
                copy.write(source.read())
    return levels


def bounds(obj):
    points = []
    with open(obj) as lines:
        for line in lines:
            if line.startswith("v "):
                points.append([float(value) for value in line.split()[1:4]])
    points = np.array(points)
    return points.min(axis=0), points.max(axis=0)


def render(obj, picture, eye, focus):
    run(["xvfb-run", "-a", "f3d", obj, "--dry-run", f"--output={picture}",
         f"--resolution={RENDERED},{RENDERED}", "--camera-position=%g,%g,%g" % tuple(eye),
         "--camera-focal-point=%g,%g,%g" % tuple(focus), "--camera-view-up=0,1,0",
         "--bg-color=1,0,1", "--fxaa", "--tone-mapping", "--ssao"])


def pixels(picture, size):
    """The picture scaled down to size x size, as floats 0..255, rgb."""
    data = run(["convert", picture, "-scale", f"{size}x{size}!", "-depth", "8", "ppm:-"]).stdout
    header = data.split(b"\n", 3)
    width, height = map(int, header[1].split())
    return np.frombuffer(header[3], dtype=np.uint8)[: width * height * 3].reshape(height, width, 3).astype(float)


def box(image, radius):
    """The mean of each (2 radius + 1)-square window, the image's edge repeated."""
    padded = np.pad(image, radius, mode="edge")
    total = padded.cumsum(axis=0).cumsum(axis=1)
    total = np.pad(total, ((1, 0), (1, 0)))
    n = 2 * radius + 1
    return (total[n:, n:] - total[:-n, n:] - total[n:, :-n] + total[:-n, :-n]) / (n * n)


def ssim(reference, level):
    """SSIM of two rgb pictures, grey, 7 x 7 windows, averaged over the building's pixels."""
    background = np.array([255.0, 0.0, 255.0])
    building = (np.abs(reference - background).max(axis=2) > 24) | (np.abs(level - background).max(axis=2) > 24)
    weights = np.array([0.299, 0.587, 0.114])
    x, y = reference @ weights, level @ weights
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    mx, my = box(x, 3), box(y, 3)
    vx, vy, cxy = box(x * x, 3) - mx * mx, box(y * y, 3) - my * my, box(x * y, 3) - mx * my
    index = ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2))
    return float(index[building].mean()) if building.any() else 1.0


def measure(tool, args, work):
    obj = os.path.join(work, "building.obj")
    env = dict(os.environ, OSTREL_UNITS_PATH=os.path.join(ROOT, "units"))
    run([tool, *args.split(), "--lod", "3", "-m", obj], env=env)
    levels = split_levels(obj, work)
    low, high = bounds(levels[0][0])
    centre = (low + high) / 2
    radius = np.linalg.norm(high - low) / 2
    distance = radius / np.tan(np.radians(15)) * 1.05
    scores = {level: [] for level in SIZES}
    for side in range(4):
        angle = np.radians(45 + 90 * side)
        way = np.array([np.cos(angle), 0.45, np.sin(angle)])
        eye = centre + way / np.linalg.norm(way) * distance
        pictures = {}
        for level in range(4):
            if level not in levels:
                continue
            pictures[level] = os.path.join(work, f"side{side}_lod{level}.png")
            render(levels[level][0], pictures[level], eye, centre)
        for level, size in SIZES.items():
            if level in pictures:
                scores[level].append(ssim(pixels(pictures[0], size), pixels(pictures[level], size)))
    return {level: float(np.mean(values)) for level, values in scores.items() if values}, levels


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith("--")]
    tool = os.path.realpath(arguments[0] if arguments else os.path.join(ROOT, "build/default/towerkit"))
    cases = [args for args, quick in CASES if quick or "--quick" not in sys.argv]
    print("| building | LOD1 at 128 px | LOD2 at 64 px | LOD3 at 32 px | triangles LOD0, 1, 2, 3 |")
    print("|---|---|---|---|---|")
    for args in cases:
        with tempfile.TemporaryDirectory() as work:
            scores, levels = measure(tool, args, work)
        cells = " | ".join(f"{scores[level]:.2f}" if level in scores else "-" for level in SIZES)
        triangles = ", ".join(str(levels[level][1]) if level in levels else "-" for level in range(4))
        print(f"| `{args} --lod 3 -m` | {cells} | {triangles} |", flush=True)


if __name__ == "__main__":
    main()
