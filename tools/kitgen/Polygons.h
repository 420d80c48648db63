#pragma once
// Cuts a flat region, an outer outline with holes, into convex polygons whose corners are corners
// of the outlines and nothing else. A new corner on an outline would have to appear in every face
// that shares that edge, including the faces of the neighbouring piece across a cell boundary,
// so no cut may add one.
//
// Coordinates are whole numbers (centimetres), so every test is exact. The holes are joined to
// the outer outline by bridges into one ring, the ring is cut into triangles by ear clipping, and
// neighbouring triangles are merged while the result stays convex.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace Kitgen {

struct Point2 {
  std::int64_t u, v;
  bool operator==(const Point2& i_other) const { return u == i_other.u && v == i_other.v; }
};

// Convex polygons, counter-clockwise, as indices into the points of all loops in order (loop 0's
// points first). i_loops[0] is the outer outline, counter-clockwise; the others are holes,
// clockwise; no point repeats within a loop, and no loop touches another. Throws
// std::runtime_error when the region cannot be cut (only for loops that break these rules).
std::vector<std::vector<int>> ConvexParts(const std::vector<std::vector<Point2>>& i_loops);

namespace detail {

inline std::int64_t Cross(const Point2& i_a, const Point2& i_b, const Point2& i_c) {
  return (i_b.u - i_a.u) * (i_c.v - i_a.v) - (i_b.v - i_a.v) * (i_c.u - i_a.u);
}
inline bool Left(const Point2& a, const Point2& b, const Point2& c) { return Cross(a, b, c) > 0; }
inline bool LeftOn(const Point2& a, const Point2& b, const Point2& c) { return Cross(a, b, c) >= 0; }
inline bool Collinear(const Point2& a, const Point2& b, const Point2& c) { return Cross(a, b, c) == 0; }

// Whether c lies on the closed segment ab, given that the three are collinear.
inline bool Between(const Point2& a, const Point2& b, const Point2& c) {
  if (a.u != b.u) return (a.u <= c.u && c.u <= b.u) || (a.u >= c.u && c.u >= b.u);
  return (a.v <= c.v && c.v <= b.v) || (a.v >= c.v && c.v >= b.v);
}

// Whether the closed segments ab and cd share any point.
inline bool Intersect(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
  const std::int64_t abc = Cross(a, b, c), abd = Cross(a, b, d), cda = Cross(c, d, a), cdb = Cross(c, d, b);
  if (((abc > 0 && abd < 0) || (abc < 0 && abd > 0)) && ((cda > 0 && cdb < 0) || (cda < 0 && cdb > 0)))
    return true;
  return (abc == 0 && Between(a, b, c)) || (abd == 0 && Between(a, b, d)) || (cda == 0 && Between(c, d, a)) ||
         (cdb == 0 && Between(c, d, b));
}

// A ring of point indices, linked both ways, that ear clipping shrinks.
struct Ring {
  std::vector<int> point;  // node -> point index
  std::vector<int> prev, next;
};

// Whether the segment from node a to point b leaves a strictly inside the angle of the region at
// a (the region lies to the left of the ring).
inline bool InCone(const std::vector<Point2>& i_points, const Ring& i_ring, int i_node, const Point2& i_b) {
  const Point2& a = i_points[i_ring.point[i_node]];
  const Point2& before = i_points[i_ring.point[i_ring.prev[i_node]]];
  const Point2& after = i_points[i_ring.point[i_ring.next[i_node]]];
  if (LeftOn(before, a, after)) return Left(a, i_b, before) && Left(i_b, a, after);
  return !(LeftOn(a, i_b, after) && LeftOn(i_b, a, before));
}

// Whether the segment ab crosses or touches any of the edges, leaving out edges that end at a or
// at b (those are judged by the cone tests).
inline bool Blocked(const std::vector<Point2>& i_points, const std::vector<std::pair<int, int>>& i_edges,
                    const Point2& a, const Point2& b) {
  for (const auto& [from, to] : i_edges) {
    const Point2& c = i_points[from];
    const Point2& d = i_points[to];
    if (c == a || c == b || d == a || d == b) continue;
    if (Intersect(a, b, c, d)) return true;
  }
  return false;
}

inline std::vector<std::pair<int, int>> RingEdges(const Ring& i_ring, int i_start) {
  std::vector<std::pair<int, int>> edges;
  int node = i_start;
  do {
    edges.push_back({i_ring.point[node], i_ring.point[i_ring.next[node]]});
    node = i_ring.next[node];
  } while (node != i_start);
  return edges;
}

// Appends a loop as a closed chain of new nodes; returns its first node.
inline int AddLoop(Ring& io_ring, int i_firstPoint, std::size_t i_size) {
  const int first = static_cast<int>(io_ring.point.size());
  for (std::size_t k = 0; k < i_size; ++k) {
    const int node = first + static_cast<int>(k);
    io_ring.point.push_back(i_firstPoint + static_cast<int>(k));
    io_ring.prev.push_back(k == 0 ? first + static_cast<int>(i_size) - 1 : node - 1);
    io_ring.next.push_back(k + 1 == i_size ? first : node + 1);
  }
  return first;
}

// Joins the hole that starts at node i_hole to the ring through i_outer by a bridge to the nearest
// corner it can reach: the ring then runs ... V, M, the hole, M, V ... with V and M doubled.
inline void Bridge(const std::vector<Point2>& i_points, Ring& io_ring, int i_outer, int i_hole,
                   const std::vector<std::pair<int, int>>& i_otherEdges) {
  std::vector<int> holeNodes, ringNodes;
  for (int node = i_hole;;) {
    holeNodes.push_back(node);
    node = io_ring.next[node];
    if (node == i_hole) break;
  }
  for (int node = i_outer;;) {
    ringNodes.push_back(node);
    node = io_ring.next[node];
    if (node == i_outer) break;
  }
  std::vector<std::pair<int, int>> edges = RingEdges(io_ring, i_outer);
  const std::vector<std::pair<int, int>> holeEdges = RingEdges(io_ring, i_hole);
  edges.insert(edges.end(), holeEdges.begin(), holeEdges.end());
  edges.insert(edges.end(), i_otherEdges.begin(), i_otherEdges.end());

  const auto at = [&](int i_node) -> const Point2& { return i_points[io_ring.point[i_node]]; };
  struct Candidate {
    std::int64_t distance;
    int m, v;
  };
  std::vector<Candidate> candidates;
  for (const int m : holeNodes) {
    for (const int v : ringNodes) {
      const std::int64_t du = at(m).u - at(v).u, dv = at(m).v - at(v).v;
      candidates.push_back({du * du + dv * dv, m, v});
    }
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& i_a, const Candidate& i_b) { return i_a.distance < i_b.distance; });
  for (const Candidate& c : candidates) {
    if (!InCone(i_points, io_ring, c.v, at(c.m)) || !InCone(i_points, io_ring, c.m, at(c.v))) continue;
    if (Blocked(i_points, edges, at(c.m), at(c.v))) continue;
    // Splice: V -> M' (copy of M) ... hole ... M -> V' (copy of V) -> what followed V.
    const int vCopy = static_cast<int>(io_ring.point.size());
    const int mCopy = vCopy + 1;
    io_ring.point.push_back(io_ring.point[c.v]);
    io_ring.point.push_back(io_ring.point[c.m]);
    io_ring.prev.resize(io_ring.point.size());
    io_ring.next.resize(io_ring.point.size());
    const int afterV = io_ring.next[c.v];
    const int afterM = io_ring.next[c.m];
    io_ring.next[c.v] = mCopy, io_ring.prev[mCopy] = c.v;
    io_ring.next[mCopy] = afterM, io_ring.prev[afterM] = mCopy;
    io_ring.next[c.m] = vCopy, io_ring.prev[vCopy] = c.m;
    io_ring.next[vCopy] = afterV, io_ring.prev[afterV] = vCopy;
    return;
  }
  throw std::runtime_error("no bridge from a hole to the outline");
}

// Merges neighbouring polygons across their shared edge while the union stays convex.
inline void MergeConvex(const std::vector<Point2>& i_points, std::vector<std::vector<int>>& io_polygons) {
  const auto convex = [&](const std::vector<int>& i_poly) {
    for (std::size_t i = 0; i < i_poly.size(); ++i) {
      const Point2& a = i_points[i_poly[i]];
      const Point2& b = i_points[i_poly[(i + 1) % i_poly.size()]];
      const Point2& c = i_points[i_poly[(i + 2) % i_poly.size()]];
      if (Cross(a, b, c) < 0 || a == b) return false;
    }
    return true;
  };
  for (bool merged = true; merged;) {
    merged = false;
    for (std::size_t p = 0; p < io_polygons.size() && !merged; ++p) {
      const std::vector<int>& a = io_polygons[p];
      for (std::size_t i = 0; i < a.size() && !merged; ++i) {
        const int from = a[i], to = a[(i + 1) % a.size()];
        for (std::size_t q = p + 1; q < io_polygons.size() && !merged; ++q) {
          const std::vector<int>& b = io_polygons[q];
          for (std::size_t j = 0; j < b.size(); ++j) {
            if (b[j] != to || b[(j + 1) % b.size()] != from) continue;
            // a runs ... from, to ...; b runs ... to, from ...: join them at that edge.
            std::vector<int> joined;
            for (std::size_t k = 0; k < a.size(); ++k) joined.push_back(a[(i + 1 + k) % a.size()]);
            for (std::size_t k = 2; k < b.size(); ++k) joined.push_back(b[(j + k) % b.size()]);
            if (!convex(joined)) break;
            io_polygons[p] = joined;
            io_polygons.erase(io_polygons.begin() + static_cast<std::ptrdiff_t>(q));
            merged = true;
            break;
          }
        }
      }
    }
  }
}

}  // namespace detail

inline std::vector<std::vector<int>> ConvexParts(const std::vector<std::vector<Point2>>& i_loops) {
  std::vector<Point2> points;
  std::vector<int> firstPoint;
  for (const std::vector<Point2>& loop : i_loops) {
    firstPoint.push_back(static_cast<int>(points.size()));
    points.insert(points.end(), loop.begin(), loop.end());
  }
  detail::Ring ring;
  std::vector<int> loopNode;
  for (std::size_t k = 0; k < i_loops.size(); ++k)
    loopNode.push_back(detail::AddLoop(ring, firstPoint[k], i_loops[k].size()));

  // Holes from the one reaching farthest along u, as each bridge must not cross a later hole.
  std::vector<std::size_t> holes;
  for (std::size_t k = 1; k < i_loops.size(); ++k) holes.push_back(k);
  const auto reach = [&](std::size_t i_loop) {
    std::int64_t most = i_loops[i_loop][0].u;
    for (const Point2& p : i_loops[i_loop]) most = std::max(most, p.u);
    return most;
  };
  std::sort(holes.begin(), holes.end(),
            [&](std::size_t i_a, std::size_t i_b) { return reach(i_a) > reach(i_b); });
  for (std::size_t h = 0; h < holes.size(); ++h) {
    std::vector<std::pair<int, int>> others;
    for (std::size_t later = h + 1; later < holes.size(); ++later) {
      const std::vector<std::pair<int, int>> edges = detail::RingEdges(ring, loopNode[holes[later]]);
      others.insert(others.end(), edges.begin(), edges.end());
    }
    detail::Bridge(points, ring, loopNode[0], loopNode[holes[h]], others);
  }

  // Ear clipping: cut off a corner whenever the segment between its neighbours is a diagonal.
  std::vector<std::vector<int>> triangles;
  int start = loopNode[0];
  std::size_t left = 0;
  for (int node = start;;) {
    ++left;
    node = ring.next[node];
    if (node == start) break;
  }
  const auto at = [&](int i_node) -> const Point2& { return points[ring.point[i_node]]; };
  while (left > 3) {
    bool cut = false;
    int node = start;
    for (std::size_t tries = 0; tries < left && !cut; ++tries, node = ring.next[node]) {
      const int before = ring.prev[node];
      const int after = ring.next[node];
      if (!detail::Left(at(before), at(node), at(after))) continue;
      if (!detail::InCone(points, ring, before, at(after)) ||
          !detail::InCone(points, ring, after, at(before)))
        continue;
      if (detail::Blocked(points, detail::RingEdges(ring, node), at(before), at(after))) continue;
      triangles.push_back({ring.point[before], ring.point[node], ring.point[after]});
      ring.next[before] = after;
      ring.prev[after] = before;
      start = after;
      --left;
      cut = true;
    }
    if (!cut) throw std::runtime_error("a region that ear clipping cannot cut");
  }
  triangles.push_back({ring.point[ring.prev[start]], ring.point[start], ring.point[ring.next[start]]});
  if (!detail::Left(points[triangles.back()[0]], points[triangles.back()[1]], points[triangles.back()[2]]))
    throw std::runtime_error("a region whose last triangle has no area");

  detail::MergeConvex(points, triangles);
  return triangles;
}

}  // namespace Kitgen
