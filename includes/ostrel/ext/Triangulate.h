#pragma once
// Cutting one polygon of a mesh into triangles the way a careful reader of the file would, and
// telling what kind of polygon it is.
//
// A polygon is its corners in order, counter-clockwise seen from its front, possibly a little out
// of one plane (float rounding). It is cut in its own plane, the one across its Newell normal.
// The cut keeps every corner, collinear ones too, so that a neighbouring face that meets this one
// corner to corner still does after the cut (no T-junction): every side of the polygon is an edge
// of exactly one triangle, and no triangle is flat (its height over its longest side is more than
// "near"). Concave polygons are cut inside their outline, by ear clipping, in O(n²) for n corners.
//
// "Near" is relative to the polygon's size and position: corners closer than a millionth of the
// larger of its extent and its farthest coordinate from the origin (in the mesh's units) are one
// point, and a corner that near to the line through its neighbours lies on that line. The same
// input gives the same triangles on every machine: the work is plain double arithmetic in a fixed
// order, built like the rest of the library without fused multiply-adds (-ffp-contract=off).

#include <array>
#include <cstdint>
#include <vector>

#include <ostrel/core/MathTypes.h>

namespace Ostrel::Triangulation {

enum class PolygonShape {
  Convex,      // no corner turns inwards (collinear corners allowed)
  Concave,     // simple, with at least one corner that turns inwards
  Degenerate,  // fewer than three distinct corners, all of them near one line, or no area (lobes
               // of opposite windings that cancel out): no triangle
  NotSimple,   // sides cross or touch, a coordinate is not a finite number, or (CutPolygon only)
               // the cut could not keep every rule: a best-effort cut
};

// Three corners of a polygon (0-based indices into its corner list), in the polygon's winding.
using CornerTriangle = std::array<std::uint32_t, 3>;

// What the polygon is, without cutting it.
PolygonShape ClassifyPolygon(const std::vector<VectorF>& i_corners);

// Appends the polygon's triangles to io_triangles and tells what the polygon was. A degenerate
// polygon adds nothing. A polygon that is not simple adds as many triangles as could be cut, each
// wound like the polygon and higher than a quarter of "near"; they may overlap or leave parts
// uncovered. A polygon none of whose corners turns by more than "near" once a few are cut off (a
// finely divided arc, which ClassifyPolygon calls convex or concave) is cut whole with some such
// thinner triangles, and said not simple. Of repeated consecutive corners the first is used. A
// triangle, and a convex quad without collinear corners, take a fast path that allocates nothing.
PolygonShape CutPolygon(const std::vector<VectorF>& i_corners, std::vector<CornerTriangle>& io_triangles);

}  // namespace Ostrel::Triangulation
