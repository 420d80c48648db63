#!/usr/bin/env python3
"""Prepares towerkit OBJ output for the pictures of docs/render-engine.sh.

  engine_views.py wire IN.obj OUT.obj    the collision hull objects drawn as red rods along their
                                         edges (the diagonals of flat faces left out), over the rest
  engine_views.py row IN.obj OUT.obj GAP each object moved along +z by GAP times its place, so that
                                         the levels of detail stand in a row

Both copy the material library IN.mtl to OUT.obj.mtl (where f3d looks for it), the rods' red added.
"""
import sys


def read(path):
    lines = open(path).read().split('\n')
    vertices = [tuple(map(float, l.split()[1:4])) for l in lines if l.startswith('v ')]
    return lines, vertices


def corner(word):
    return int(word.split('/')[0])


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(a):
    length = sum(x * x for x in a) ** 0.5
    return tuple(x / length for x in a)


def rod(a, b, radius):
    """The 8 corners and 6 quads of a square rod from a to b."""
    axis = unit(sub(b, a))
    side = unit(cross(axis, (0, 1, 0) if abs(axis[1]) < 0.9 else (1, 0, 0)))
    up = cross(axis, side)
    ring = [tuple(radius * (s * side[k] + u * up[k]) for k in range(3)) for s, u in ((1, 1), (-1, 1), (-1, -1), (1, -1))]
    corners = [tuple(p[k] + o[k] for k in range(3)) for p in (a, b) for o in ring]
    quads = [(0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6), (3, 0, 4, 7), (3, 2, 1, 0), (4, 5, 6, 7)]
    return corners, quads


def wire(source, target):
    lines, vertices = read(source)
    out, faces, hull = [], [], False
    for line in lines:
        if line.startswith('o '):
            hull = line.endswith('-colonly') or line[2:].startswith('UCX_')
        if hull and line.startswith('f '):
            faces.append([corner(w) for w in line.split()[1:]])
        elif not hull or line.startswith('v '):
            out.append(line)
    normal = lambda f: unit(cross(sub(vertices[f[1] - 1], vertices[f[0] - 1]), sub(vertices[f[2] - 1], vertices[f[0] - 1])))
    sides = {}
    for f in faces:
        for i in range(len(f)):
            sides.setdefault(frozenset((f[i], f[(i + 1) % len(f)])), []).append(normal(f))
    out.append('o hull_edges')
    out.append('usemtl hull_edge')
    count = len(vertices)
    # f3d's reader drops faces without normals from a file whose other faces have them, and the
    # texture coordinates of all when some face lacks them: the rods get both.
    normals_so_far = sum(1 for l in lines if l.startswith('vn '))
    out.append('vt 0 0')
    uv = sum(1 for l in lines if l.startswith('vt ')) + 1
    for edge, normals in sides.items():
        if len(normals) == 2 and sum(x * y for x, y in zip(*normals)) > 0.999:
            continue  # a diagonal across a flat face
        a, b = (vertices[i - 1] for i in edge)
        corners, quads = rod(a, b, 0.025)
        out += ['v %g %g %g' % c for c in corners]
        for q in quads:
            n = unit(cross(sub(corners[q[1]], corners[q[0]]), sub(corners[q[2]], corners[q[0]])))
            out.append('vn %g %g %g' % n)
            normals_so_far += 1
            out.append('f ' + ' '.join('%d/%d/%d' % (count + 1 + i, uv, normals_so_far) for i in q))
        count += 8
    open(target, 'w').write('\n'.join(out) + '\n')


def row(source, target, gap):
    lines, _ = read(source)
    out, place = [], -1
    for line in lines:
        if line.startswith('o '):
            place += 1
        if line.startswith('v '):
            x, y, z = map(float, line.split()[1:4])
            line = 'v %g %g %g' % (x, y, z + place * gap)
        out.append(line)
    open(target, 'w').write('\n'.join(out) + '\n')


if __name__ == '__main__':
    mode, source, target = sys.argv[1:4]
    if mode == 'wire':
        wire(source, target)
    else:
        row(source, target, float(sys.argv[4]))
    library = source[:-4] + '.mtl'
    text = open(library).read() if __import__('os').path.exists(library) else ''
    open(target + '.mtl', 'w').write(text + '\nnewmtl hull_edge\nKd 0.9 0.05 0.05\nKa 0 0 0\nillum 2\n')
