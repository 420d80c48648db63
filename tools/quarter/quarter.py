#!/usr/bin/env python3
"""Draws a synthetic city quarter as an OpenStreetMap export would give it: a GeoJSON
FeatureCollection of building outlines in longitude/latitude, with OSM's tags as properties.

Nothing here comes from real data: the streets, blocks and buildings are drawn from a seeded
random generator, so the file is the same on every run. Two districts meet at an angle; their
blocks are parallelograms (corners that are not right angles), lined with row houses that share
their walls, L-shaped corner houses, a few single-owner courtyard blocks, detached villas and
yard garages. A few features cannot be built, as in real exports: a bench (a Point), a wall (a
LineString), a kiosk too small for a cell, a shed drawn with an unclosed ring.

    tools/quarter/quarter.py [--copies N] > examples/quarter.geojson

--copies N repeats the quarter N times side by side (for measuring large files).
"""
import argparse
import json
import math
import random
import sys

ORIGIN_LON, ORIGIN_LAT = 13.4050, 52.5200  # where the drawing is put on the map
# Metres per degree at the origin's latitude (WGS 84 radii of curvature).
A, F = 6378137.0, 1 / 298.257223563
E2 = F * (2 - F)
_phi = math.radians(ORIGIN_LAT)
_w = math.sqrt(1 - E2 * math.sin(_phi) ** 2)
M_PER_DEG_LAT = math.radians(1) * A * (1 - E2) / _w ** 3
M_PER_DEG_LON = math.radians(1) * A * math.cos(_phi) / _w


def lonlat(p):
    """A point in metres east and north of the origin as [longitude, latitude], 7 decimals as OSM."""
    return [round(ORIGIN_LON + p[0] / M_PER_DEG_LON, 7), round(ORIGIN_LAT + p[1] / M_PER_DEG_LAT, 7)]


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def intersect(p1, d1, p2, d2):
    """The meeting point of the lines p1 + s d1 and p2 + u d2."""
    det = d1[0] * d2[1] - d1[1] * d2[0]
    s = ((p2[0] - p1[0]) * d2[1] - (p2[1] - p1[1]) * d2[0]) / det
    return (p1[0] + s * d1[0], p1[1] + s * d1[1])


def inset(quad, depth):
    """The quadrilateral whose edges lie depth metres inside those of quad (counter-clockwise)."""
    lines = []
    for i in range(4):
        a, b = quad[i], quad[(i + 1) % 4]
        d = (b[0] - a[0], b[1] - a[1])
        n = math.hypot(*d)
        inward = (-d[1] / n * depth, d[0] / n * depth)
        lines.append(((a[0] + inward[0], a[1] + inward[1]), d))
    return [intersect(*lines[i - 1], *lines[i]) for i in range(4)]


class Quarter:
    def __init__(self, seed):
        self.rnd = random.Random(seed)
        self.features = []
        self.next_way = 24000000

    def way(self):
        self.next_way += self.rnd.randint(1, 900)
        return self.next_way

    def tags(self, kind, levels):
        r = self.rnd
        tags = {"building": kind}
        if kind in ("garage", "shed"):
            levels = 1
        # Real exports are uneven: most have levels, some a height, some both, a few neither.
        choice = r.random()
        if choice < 0.70:
            tags["building:levels"] = str(levels)
        elif choice < 0.85:
            tags["height"] = "%.1f" % (levels * 3.1 + r.uniform(0.5, 2.5))
        elif choice < 0.95:
            tags["building:levels"] = str(levels)
            tags["height"] = "%.1f" % (levels * 3.0 + r.uniform(1, 3))
        roofs = ["flat"] * 5 + ["gabled"] * 4 + ["hipped"] * 3 + ["mansard", "pyramidal", "skillion"]
        if r.random() < 0.8:
            tags["roof:shape"] = r.choice(roofs)
        if r.random() < 0.5 and kind not in ("garage", "shed"):
            tags["addr:street"] = r.choice(["Lindenweg", "Am Markt", "Schulstraße", "Mühlengasse", "Kirchplatz"])
            tags["addr:housenumber"] = str(r.randint(1, 80))
        return tags

    def add(self, rings, tags, kind="Polygon", way=None):
        ident = way or "way/%d" % self.way()
        props = {"@id": ident}
        props.update(tags)
        if kind == "Polygon":
            coords = [[lonlat(p) for p in ring + [ring[0]]] for ring in rings]
        elif kind == "MultiPolygon":
            coords = [[[lonlat(p) for p in ring + [ring[0]]] for ring in poly] for poly in rings]
        else:
            coords = rings
        self.features.append({"type": "Feature", "properties": props,
                              "geometry": {"type": kind, "coordinates": coords}, "id": ident})

    def perimeter_block(self, quad, levels):
        """Row houses along every edge of the block, L-shaped houses at its corners.

        Lots run square to their street, as they mostly do, so that the corner houses take the
        block's odd angles; now and then a party wall is drawn a little askew, as real data has."""
        r = self.rnd
        depth = r.uniform(10, 14)
        inner = inset(quad, depth)
        cuts = []  # per edge: the party walls, as (distance along the street, skew at the back)
        for i in range(4):
            a, b = quad[i], quad[(i + 1) % 4]
            d = ((b[0] - a[0]) / math.dist(a, b), (b[1] - a[1]) / math.dist(a, b))
            start = (inner[i][0] - a[0]) * d[0] + (inner[i][1] - a[1]) * d[1]
            end = (inner[(i + 1) % 4][0] - a[0]) * d[0] + (inner[(i + 1) % 4][1] - a[1]) * d[1]
            ts, t = [], max(0.0, start) + r.uniform(4, 8)
            while t < end - 4:
                ts.append((t, r.uniform(-1.2, 1.2) if r.random() < 0.1 else 0.0))
                t += r.uniform(6.5, 15)
            cuts.append((d, ts))

        def front(i, t):
            a, (d, _) = quad[i], cuts[i]
            return (a[0] + d[0] * t, a[1] + d[1] * t)

        def back(i, t, skew):
            d, _ = cuts[i]
            p = front(i, t + skew)
            return (p[0] - d[1] * depth, p[1] + d[0] * depth)

        for i in range(4):
            ts = cuts[i][1]
            for k in range(len(ts) - 1):
                if r.random() < 0.08:
                    continue  # an empty lot: the row's walls show there
                (t0, s0), (t1, s1) = ts[k], ts[k + 1]
                ring = [front(i, t0), front(i, t1), back(i, t1, s1), back(i, t0, s0)]
                self.add([ring], self.tags(r.choice(["residential", "apartments", "house", "retail"]),
                                           levels + r.choice([-1, 0, 0, 1])))
            # The corner house at the edge's end: from its last party wall round to the next
            # edge's first.
            n = (i + 1) % 4
            (t_last, s_last), (t_first, s_first) = ts[-1], cuts[n][1][0]
            ring = [front(i, t_last), quad[n], front(n, t_first), back(n, t_first, s_first), inner[n],
                    back(i, t_last, s_last)]
            self.add([ring], self.tags("apartments", levels + 1))
        # A garage or two in the yard.
        centre = (sum(p[0] for p in inner) / 4, sum(p[1] for p in inner) / 4)
        for corner in r.sample(range(4), r.randint(0, 2)):
            self.rect(lerp(centre, inner[corner], 0.4), r.uniform(5, 8), r.uniform(5, 6.5),
                      self.angle_of(quad), self.tags("garage", 1))

    def courtyard_block(self, quad, levels):
        """One building round a courtyard: the outer ring and the court as a hole."""
        inner = inset(quad, self.rnd.uniform(11, 14))
        tags = self.tags("apartments", levels + 1)
        tags["name"] = self.rnd.choice(["Lindenhof", "Hofgarten", "Am Brunnen", "Mühlenhof"])
        self.add([quad, list(reversed(inner))], tags, way="relation/%d" % self.way())

    def villas(self, quad, levels):
        """Detached houses, some L-shaped, turned a little against the block."""
        r = self.rnd
        angle = self.angle_of(quad) + r.uniform(-6, 6)
        for u in (0.27, 0.73):
            for v in (0.27, 0.73):
                centre = lerp(lerp(quad[0], quad[1], u), lerp(quad[3], quad[2], u), v)
                w, d = r.uniform(8, 14), r.uniform(8, 12)
                if r.random() < 0.5:
                    self.rect(centre, w, d, angle, self.tags("house", max(1, levels - 2)))
                else:
                    self.ell(centre, w + 4, d + 3, angle, self.tags("house", max(1, levels - 2)))

    @staticmethod
    def angle_of(quad):
        return math.degrees(math.atan2(quad[1][1] - quad[0][1], quad[1][0] - quad[0][0]))

    @staticmethod
    def turned(points, centre, angle):
        c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        return [(centre[0] + x * c - y * s, centre[1] + x * s + y * c) for x, y in points]

    def rect(self, centre, w, d, angle, tags):
        self.add([self.turned([(-w / 2, -d / 2), (w / 2, -d / 2), (w / 2, d / 2), (-w / 2, d / 2)], centre, angle)], tags)

    def ell(self, centre, w, d, angle, tags):
        wx, dy = w * 0.5, d * 0.5
        pts = [(-w / 2, -d / 2), (w / 2, -d / 2), (w / 2, -d / 2 + dy), (-w / 2 + wx, -d / 2 + dy),
               (-w / 2 + wx, d / 2), (-w / 2, d / 2)]
        self.add([self.turned(pts, centre, angle)], tags)

    def district(self, origin, angle, skew, columns, rows, levels):
        """Blocks on a grid turned by angle, each a parallelogram skewed by skew degrees."""
        r = self.rnd
        c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        shear = math.tan(math.radians(skew))
        block_w, block_d, street = 62.0, 54.0, 16.0

        def at(x, y):
            x += y * shear
            return (origin[0] + x * c - y * s, origin[1] + x * s + y * c)

        for i in range(columns):
            for j in range(rows):
                x0, y0 = i * (block_w + street), j * (block_d + street)
                quad = [at(x0, y0), at(x0 + block_w, y0), at(x0 + block_w, y0 + block_d), at(x0, y0 + block_d)]
                kind = r.random()
                if kind < 0.15:
                    self.courtyard_block(quad, levels)
                elif kind < 0.28:
                    self.villas(quad, levels)
                else:
                    self.perimeter_block(quad, levels)

    def oddities(self, at):
        """Features of real exports that are no buildings, or cannot be built."""
        self.features.append({"type": "Feature", "properties": {"@id": "node/%d" % self.way(), "amenity": "bench"},
                              "geometry": {"type": "Point", "coordinates": lonlat(at)}, "id": "node/%d" % self.next_way})
        wall = [lonlat((at[0] + 5, at[1])), lonlat((at[0] + 25, at[1] + 3))]
        self.add(wall, {"barrier": "wall"}, kind="LineString")
        self.rect((at[0] - 8, at[1] + 6), 1.6, 1.4, 12, {"building": "kiosk", "building:levels": "1"})
        shed = [lonlat(p) for p in self.turned([(0, 0), (4, 0), (4, 5), (0, 5)], (at[0] + 10, at[1] - 12), 5)]
        self.features.append({"type": "Feature", "properties": {"@id": "way/%d" % self.way(), "building": "shed"},
                              "geometry": {"type": "Polygon", "coordinates": [shed]}, "id": "way/%d" % self.next_way})
        # A school of two wings drawn as one multipolygon.
        wings = [[self.turned([(0, 0), (40, 0), (40, 14), (0, 14)], (at[0] - 60, at[1] - 40), 3)],
                 [self.turned([(0, 20), (14, 20), (14, 50), (0, 50)], (at[0] - 60, at[1] - 40), 3)]]
        self.add(wings, {"building": "school", "building:levels": "3", "roof:shape": "hipped", "name": "Grundschule"},
                 kind="MultiPolygon", way="relation/%d" % self.way())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--copies", type=int, default=1)
    args = parser.parse_args()
    q = Quarter(seed=31)
    for copy in range(args.copies):
        shift = (copy % 100) * 700.0, (copy // 100) * 700.0
        q.district((-330 + shift[0], -150 + shift[1]), 17.0, 8.0, 4, 4, 4)
        q.district((40 + shift[0], -230 + shift[1]), -9.0, -6.0, 3, 4, 5)
        q.oddities((-40 + shift[0], -170 + shift[1]))
    out = sys.stdout
    out.write('{"type":"FeatureCollection","generator":"tools/quarter/quarter.py (synthetic, not OpenStreetMap data)",\n')
    out.write('"features":[\n')
    for i, feature in enumerate(q.features):
        out.write((",\n" if i else "") + json.dumps(feature, ensure_ascii=False, separators=(",", ":")))
    out.write("\n]}\n")


if __name__ == "__main__":
    main()
