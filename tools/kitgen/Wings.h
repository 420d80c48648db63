#pragma once
// The roof pieces where the wings of a footprint meet under a hip roof: valleys, ridges that
// turn, join or run into a higher slope, and eaves that turn inward. Each is made from its case
// (HipRoof.h), the cell's neighbourhood, with nothing drawn by hand: the case fixes the field of
// heights over the cell, and at the eaves which sides overhang and where the walls below turn.
//
// The field: a corner stands a rise high where the three cells around it beside the cell are in
// its ring, the middle half a rise, a side's middle half a rise where the cell across it is in
// the ring (a whole one where both its corners are high); between these nine points it is flat
// on each of the eight triangles that the cell's diagonals and middle lines cut. That is the
// distance to the outline in the max-norm, so the pieces meet each other, and the gable and hip
// pieces (Roofs.h), with one cross-section at every side they share.
//
// At the eaves an exposed side overhangs as the eave does; at its ends the overhang stops flush
// where the next cell's eave goes on, runs round an outer corner (split on the diagonal with the
// other side's overhang, as the eave corner's hip runs on), or is cut on the diagonal where the
// outline turns inward, where the other eave's overhang meets it in the valley. The storeys'
// walls rise to the slab's underside along every exposed side and at every inner corner.
//
// Sizes are whole centimetres in the piece's frame, as in Pitched.h.

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/kit/PieceKind.h>
#include <ostrel/layout/HipRoof.h>

#include "Pitched.h"
#include "Roofs.h"
#include "Styles.h"

namespace Kitgen {

namespace wings {

using detail::kHalf;
using detail::kWallInner;
using detail::kWallOuter;

using Flat = std::array<std::int64_t, 2>;  // x, z

// 300 y = a x + b z + c: a plane of the roof over the plan.
struct Plane {
  std::int64_t a = 0, b = 0, c = 0;
  bool operator==(const Plane& i_other) const { return a == i_other.a && b == i_other.b && c == i_other.c; }
};

// A convex part of the slab's plan, counter-clockwise seen from above, in one plane.
struct Region {
  std::vector<Flat> corners;
  Plane plane;
};

inline int HeightOf(const Plane& i_plane, const Flat& i_p) {
  const std::int64_t times300 = i_plane.a * i_p[0] + i_plane.b * i_p[1] + i_plane.c;
  if (times300 % (2 * kHalf) != 0) throw std::runtime_error("a roof corner falls between whole centimetres");
  return static_cast<int>(times300 / (2 * kHalf));
}

inline std::int64_t Cross(const Flat& i_o, const Flat& i_a, const Flat& i_b) {
  return (i_a[0] - i_o[0]) * (i_b[1] - i_o[1]) - (i_a[1] - i_o[1]) * (i_b[0] - i_o[0]);
}

// The polygon without repeated corners and without corners where it runs straight on.
inline std::vector<Flat> Simplified(const std::vector<Flat>& i_corners) {
  std::vector<Flat> corners;
  for (const Flat& p : i_corners)
    if (corners.empty() || p != corners.back()) corners.push_back(p);
  while (corners.size() > 1 && corners.front() == corners.back()) corners.pop_back();
  bool changed = true;
  while (changed && corners.size() >= 3) {
    changed = false;
    for (std::size_t k = 0; k < corners.size(); ++k) {
      const Flat& before = corners[(k + corners.size() - 1) % corners.size()];
      const Flat& after = corners[(k + 1) % corners.size()];
      if (Cross(before, corners[k], after) != 0) continue;
      corners.erase(corners.begin() + static_cast<std::ptrdiff_t>(k));
      changed = true;
      break;
    }
  }
  return corners;
}

inline bool IsConvex(const std::vector<Flat>& i_corners) {
  for (std::size_t k = 0; k < i_corners.size(); ++k) {
    const Flat& a = i_corners[k];
    const Flat& b = i_corners[(k + 1) % i_corners.size()];
    const Flat& c = i_corners[(k + 2) % i_corners.size()];
    if (Cross(a, b, c) < 0) return false;
  }
  return true;
}

// The plane through three points of the plan at heights i_h (centimetres), the first at the
// origin.
inline Plane PlaneThrough(const Flat& i_p, int i_hp, const Flat& i_q, int i_hq, int i_h0) {
  const std::int64_t r1 = 2 * kHalf * (i_hp - i_h0), r2 = 2 * kHalf * (i_hq - i_h0);
  const std::int64_t det = i_p[0] * i_q[1] - i_q[0] * i_p[1];
  const std::int64_t a = r1 * i_q[1] - r2 * i_p[1], b = i_p[0] * r2 - i_q[0] * r1;
  if (det == 0 || a % det != 0 || b % det != 0) throw std::runtime_error("a roof plane off the centimetre grid");
  return {a / det, b / det, 2 * kHalf * i_h0};
}

// A cell of a roof piece in its own frame: which neighbours are in (HipCase).
struct Cell {
  const Ostrel::Buildings::HipCase* hip;
  bool in(int i_x, int i_z) const { return (i_x == 0 && i_z == 0) || Ostrel::Buildings::CaseHas(*hip, i_x, i_z); }
  // A corner stands high where the three cells around it beside this one are in.
  bool high(int i_x, int i_z) const { return in(i_x, 0) && in(0, i_z) && in(i_x, i_z); }
  bool exposed(int i_x, int i_z) const { return hip->eave && !in(i_x, i_z); }
};

// The field's height at a corner, a side's middle or the middle, in half rises.
inline int HalfRises(const Cell& i_cell, int i_x, int i_z) {
  if (i_x != 0 && i_z != 0) return i_cell.high(i_x, i_z) ? 2 : 0;
  if (i_x == 0 && i_z == 0) return 1;
  if (!i_cell.in(i_x, i_z)) return 0;
  const bool bothHigh = i_x != 0 ? i_cell.high(i_x, 1) && i_cell.high(i_x, -1) : i_cell.high(1, i_z) && i_cell.high(-1, i_z);
  return bothHigh ? 2 : 1;
}

// The eight triangles of the cell, merged where they share a plane into convex parts.
inline std::vector<Region> CellRegions(const Cell& i_cell, int i_rise) {
  // The cell's rim counter-clockwise from above (x right, z up): side middles and corners.
  const int rim[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  const auto at = [](const int* i_d) { return Flat{kHalf * i_d[0], kHalf * i_d[1]}; };
  const auto height = [&](const int* i_d) { return HalfRises(i_cell, i_d[0], i_d[1]) * i_rise / 2; };
  Plane planes[8];
  for (int k = 0; k < 8; ++k)
    planes[k] = PlaneThrough(at(rim[k]), height(rim[k]), at(rim[(k + 1) % 8]), height(rim[(k + 1) % 8]), i_rise / 2);
  int start = 0;
  while (start < 8 && planes[start] == planes[(start + 7) % 8]) ++start;
  if (start == 8) {
    Region all{{}, planes[0]};
    for (const auto& d : rim) all.corners.push_back(at(d));
    return {Region{Simplified(all.corners), planes[0]}};
  }
  std::vector<Region> regions;
  for (int k = 0; k < 8;) {
    // Triangles start + k .. of one plane; more than four (half the cell) are no longer convex,
    // and are parted at a corner of the cell, where the neighbours have a corner too.
    const int first = (start + k) % 8;
    int count = 1;
    while (k + count < 8 && planes[(start + k + count) % 8] == planes[first]) ++count;
    if (count > 4) {
      int part = 4;
      while ((first + part) % 2 == 0 || count - part > 4) --part;
      count = part;
    }
    Region region{{{0, 0}}, planes[first]};
    for (int j = 0; j <= count; ++j) region.corners.push_back(at(rim[(first + j) % 8]));
    region.corners = Simplified(region.corners);
    regions.push_back(region);
    k += count;
  }
  return regions;
}

// A direction of the plan turned a quarter counter-clockwise from above.
inline std::array<int, 2> Left(const std::array<int, 2>& i_d) { return {-i_d[1], i_d[0]}; }

// The overhang in front of an exposed side i_out: from the side out by i_overhang, its ends
// flush, round an outer corner, or cut back on the diagonal at an inner one.
inline Region Overhang(const Cell& i_cell, const std::array<int, 2>& i_out, int i_overhang, int i_rise) {
  const std::array<int, 2> left = Left(i_out), right = {-left[0], -left[1]};
  const auto end = [&](const std::array<int, 2>& i_along) -> std::int64_t {
    if (!i_cell.in(i_along[0], i_along[1])) return kHalf + i_overhang;                          // round the corner
    if (i_cell.in(i_out[0] + i_along[0], i_out[1] + i_along[1])) return kHalf - i_overhang;  // an inner corner
    return kHalf;
  };
  // Points given as (out, along-left) in the side's terms.
  const auto point = [&](std::int64_t i_o, std::int64_t i_l) {
    return Flat{i_o * i_out[0] + i_l * left[0], i_o * i_out[1] + i_l * left[1]};
  };
  const std::int64_t far = kHalf + i_overhang;
  Region region;
  region.corners = {point(kHalf, -kHalf), point(far, -end(right)), point(far, end(left)), point(kHalf, kHalf)};
  // Falling outward: a rise per cell, level with the cell's side at 0.
  region.plane = {-std::int64_t{i_rise} * i_out[0], -std::int64_t{i_rise} * i_out[1], std::int64_t{i_rise} * kHalf};
  return region;
}

// The regions with a shared side and one plane made one, where the union stays convex.
inline void MergeRegions(std::vector<Region>& io_regions) {
  for (bool merged = true; merged;) {
    merged = false;
    for (std::size_t i = 0; i < io_regions.size() && !merged; ++i) {
      for (std::size_t j = 0; j < io_regions.size() && !merged; ++j) {
        if (i == j || !(io_regions[i].plane == io_regions[j].plane)) continue;
        const std::vector<Flat>& a = io_regions[i].corners;
        const std::vector<Flat>& b = io_regions[j].corners;
        for (std::size_t p = 0; p < a.size() && !merged; ++p) {
          const Flat& a0 = a[p];
          const Flat& a1 = a[(p + 1) % a.size()];
          for (std::size_t q = 0; q < b.size() && !merged; ++q) {
            if (!(b[q] == a1 && b[(q + 1) % b.size()] == a0)) continue;
            // a up to a0, then b from a0 round to a1, then a on from a1.
            std::vector<Flat> joined;
            for (std::size_t k = 0; k <= p; ++k) joined.push_back(a[k]);
            for (std::size_t k = 2; k < b.size(); ++k) joined.push_back(b[(q + k) % b.size()]);
            for (std::size_t k = p + 1; k < a.size(); ++k) joined.push_back(a[k]);
            joined = Simplified(joined);
            if (!IsConvex(joined)) continue;
            io_regions[i].corners = joined;
            io_regions.erase(io_regions.begin() + static_cast<std::ptrdiff_t>(j));
            merged = true;
          }
        }
      }
    }
  }
}

// The outline loops of regions that tile a part of the plan: their sides that no other region
// shares, joined end to end.
inline std::vector<std::vector<Flat>> Outlines(const std::vector<Region>& i_regions) {
  std::vector<std::pair<Flat, Flat>> sides;
  for (const Region& region : i_regions) {
    for (std::size_t k = 0; k < region.corners.size(); ++k)
      sides.push_back({region.corners[k], region.corners[(k + 1) % region.corners.size()]});
  }
  std::vector<std::pair<Flat, Flat>> outline;
  for (const auto& side : sides) {
    const bool shared = std::any_of(sides.begin(), sides.end(), [&](const std::pair<Flat, Flat>& i_other) {
      return i_other.first == side.second && i_other.second == side.first;
    });
    if (!shared) outline.push_back(side);
  }
  std::vector<std::vector<Flat>> loops;
  while (!outline.empty()) {
    std::vector<Flat> loop = {outline.front().first};
    Flat at = outline.front().second;
    outline.erase(outline.begin());
    while (at != loop.front()) {
      loop.push_back(at);
      const auto next = std::find_if(outline.begin(), outline.end(),
                                     [&](const std::pair<Flat, Flat>& i_side) { return i_side.first == at; });
      if (next == outline.end()) throw std::runtime_error("a roof plane's outline does not close");
      at = next->second;
      outline.erase(next);
    }
    loops.push_back(Simplified(loop));
  }
  return loops;
}

// A simple counter-clockwise polygon cut into triangles between its own corners.
inline std::vector<std::vector<Flat>> Triangles(std::vector<Flat> i_polygon) {
  std::vector<std::vector<Flat>> triangles;
  while (i_polygon.size() > 3) {
    bool cut = false;
    for (std::size_t k = 0; k < i_polygon.size() && !cut; ++k) {
      const Flat& a = i_polygon[(k + i_polygon.size() - 1) % i_polygon.size()];
      const Flat& b = i_polygon[k];
      const Flat& c = i_polygon[(k + 1) % i_polygon.size()];
      if (Cross(a, b, c) <= 0) continue;
      const bool blocked = std::any_of(i_polygon.begin(), i_polygon.end(), [&](const Flat& i_p) {
        return i_p != a && i_p != b && i_p != c && Cross(a, b, i_p) >= 0 && Cross(b, c, i_p) >= 0 &&
               Cross(c, a, i_p) >= 0;
      });
      if (blocked) continue;
      triangles.push_back({a, b, c});
      i_polygon.erase(i_polygon.begin() + static_cast<std::ptrdiff_t>(k));
      cut = true;
    }
    if (!cut) throw std::runtime_error("a roof plane's outline cannot be cut into triangles");
  }
  if (i_polygon.size() == 3) triangles.push_back(i_polygon);
  return triangles;
}

// The regions of each plane as few convex parts, cut between the corners of the plane's outline
// only: a side that runs straight on across the regions (a flush eave's end, past the cell's
// corner) keeps no corner in its middle, just as the eave's own side has none.
inline std::vector<Region> Regrouped(const std::vector<Region>& i_regions) {
  std::vector<Region> regrouped;
  std::vector<bool> done(i_regions.size(), false);
  for (std::size_t i = 0; i < i_regions.size(); ++i) {
    if (done[i]) continue;
    std::vector<Region> same;
    for (std::size_t j = i; j < i_regions.size(); ++j) {
      if (done[j] || !(i_regions[j].plane == i_regions[i].plane)) continue;
      same.push_back(i_regions[j]);
      done[j] = true;
    }
    std::vector<Region> parts;
    for (const std::vector<Flat>& loop : Outlines(same)) {
      for (std::vector<Flat>& triangle : Triangles(loop)) parts.push_back({std::move(triangle), i_regions[i].plane});
    }
    MergeRegions(parts);
    regrouped.insert(regrouped.end(), parts.begin(), parts.end());
  }
  return regrouped;
}

struct Rect {
  std::int64_t x0, x1, z0, z1;
};

// The part of a convex polygon on the side s . p >= i_limit of a line of the plan (s along x or z).
inline std::vector<Flat> Clip(const std::vector<Flat>& i_corners, int i_axis, int i_sign, std::int64_t i_limit) {
  std::vector<Flat> kept;
  const auto value = [&](const Flat& i_p) { return i_sign * (i_p[i_axis] - i_limit); };
  for (std::size_t k = 0; k < i_corners.size(); ++k) {
    const Flat& a = i_corners[k];
    const Flat& b = i_corners[(k + 1) % i_corners.size()];
    const std::int64_t va = value(a), vb = value(b);
    if (va >= 0) kept.push_back(a);
    if ((va > 0 && vb < 0) || (va < 0 && vb > 0)) {
      Flat p{};
      for (int c = 0; c < 2; ++c) {
        const std::int64_t step = (b[c] - a[c]) * va;
        if (step % (va - vb) != 0) throw std::runtime_error("a wall cuts the roof between whole centimetres");
        p[c] = a[c] + step / (va - vb);
      }
      kept.push_back(p);
    }
  }
  return Simplified(kept);
}

// The part of a convex polygon where a x + b z + c >= 0.
inline std::vector<Flat> ClipBy(const std::vector<Flat>& i_corners, std::int64_t i_a, std::int64_t i_b, std::int64_t i_c) {
  std::vector<Flat> kept;
  const auto value = [&](const Flat& i_p) { return i_a * i_p[0] + i_b * i_p[1] + i_c; };
  for (std::size_t k = 0; k < i_corners.size(); ++k) {
    const Flat& a = i_corners[k];
    const Flat& b = i_corners[(k + 1) % i_corners.size()];
    const std::int64_t va = value(a), vb = value(b);
    if (va >= 0) kept.push_back(a);
    if ((va > 0 && vb < 0) || (va < 0 && vb > 0)) {
      Flat p{};
      for (int c = 0; c < 2; ++c) {
        const std::int64_t step = (b[c] - a[c]) * va;
        if (step % (va - vb) != 0) throw std::runtime_error("a wall cuts the roof between whole centimetres");
        p[c] = a[c] + step / (va - vb);
      }
      kept.push_back(p);
    }
  }
  return Simplified(kept);
}

// A convex polygon less the wall at the inner corner (i_x, i_z), in convex parts: cut on the
// cell's diagonal through that corner, each half less its half of the wall, so that no cut runs
// on to the cell's far sides, where the neighbours would not have its corners.
inline std::vector<std::vector<Flat>> LessCorner(const std::vector<Flat>& i_corners, int i_x, int i_z) {
  const std::int64_t inner = kWallInner;
  // u = i_x x, v = i_z z: the wall is u, v in [inner, kHalf].
  const std::vector<Flat> below = ClipBy(ClipBy(i_corners, i_x, -i_z, 0), 0, -i_z, inner);  // v <= u, v <= inner
  const std::vector<Flat> above = ClipBy(ClipBy(i_corners, -i_x, i_z, 0), -i_x, 0, inner);  // v >= u, u <= inner
  std::vector<std::vector<Flat>> parts;
  for (const std::vector<Flat>* part : {&below, &above}) {
    if (part->size() >= 3) parts.push_back(*part);
  }
  return parts;
}

// A convex polygon less a rectangle, in convex parts.
inline std::vector<std::vector<Flat>> Less(const std::vector<Flat>& i_corners, const Rect& i_rect) {
  std::vector<std::vector<Flat>> parts = {Clip(i_corners, 0, -1, i_rect.x0), Clip(i_corners, 0, 1, i_rect.x1)};
  const std::vector<Flat> middle = Clip(Clip(i_corners, 0, 1, i_rect.x0), 0, -1, i_rect.x1);
  parts.push_back(Clip(middle, 1, -1, i_rect.z0));
  parts.push_back(Clip(middle, 1, 1, i_rect.z1));
  std::vector<std::vector<Flat>> kept;
  for (std::vector<Flat>& part : parts) {
    if (part.size() >= 3) kept.push_back(std::move(part));
  }
  return kept;
}

inline bool Inside(const std::vector<Flat>& i_corners, const Flat& i_p) {
  for (std::size_t k = 0; k < i_corners.size(); ++k) {
    if (Cross(i_corners[k], i_corners[(k + 1) % i_corners.size()], i_p) < 0) return false;
  }
  return true;
}

// The underside's height at a point of the slab's plan.
inline int Field(const std::vector<Region>& i_regions, const Flat& i_p) {
  for (const Region& region : i_regions) {
    if (Inside(region.corners, i_p)) return HeightOf(region.plane, i_p);
  }
  throw std::runtime_error("a wall stands outside its roof piece");
}

inline Point3 Lift(const Flat& i_p, int i_y) { return {static_cast<int>(i_p[0]), i_y, static_cast<int>(i_p[1])}; }

// Whether a segment of the plan lies on one of the cell's sides, where the neighbour goes on.
inline bool OnCellSide(const Flat& i_a, const Flat& i_b) {
  for (int c = 0; c < 2; ++c) {
    if (i_a[c] == i_b[c] && (i_a[c] == kHalf || i_a[c] == -kHalf)) return true;
  }
  return false;
}

// The walls of the storeys below, risen to the underside: along each exposed side (where two
// meet, the side before the other counter-clockwise stops at the other's inner face), and at each
// inner corner (InnerCorners).
inline std::vector<std::array<int, 2>> InnerCorners(const Cell& i_cell) {
  std::vector<std::array<int, 2>> corners;
  if (!i_cell.hip->eave) return corners;
  for (const int x : {-1, 1}) {
    for (const int z : {-1, 1}) {
      if (i_cell.in(x, 0) && i_cell.in(0, z) && !i_cell.in(x, z)) corners.push_back({x, z});
    }
  }
  return corners;
}

inline std::vector<Rect> Walls(const Cell& i_cell) {
  std::vector<Rect> walls;
  if (!i_cell.hip->eave) return walls;
  const std::array<int, 2> sides[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (const auto& out : sides) {
    if (!i_cell.exposed(out[0], out[1])) continue;
    const std::array<int, 2> left = Left(out);
    const std::int64_t reach = i_cell.exposed(left[0], left[1]) ? kWallInner : kHalf;
    // In the side's terms: out from kWallInner to kWallOuter, along from -kHalf to reach.
    const std::int64_t xs[2] = {kWallInner * out[0] - kHalf * left[0], kWallOuter * out[0] + reach * left[0]};
    const std::int64_t zs[2] = {kWallInner * out[1] - kHalf * left[1], kWallOuter * out[1] + reach * left[1]};
    walls.push_back({std::min(xs[0], xs[1]), std::max(xs[0], xs[1]), std::min(zs[0], zs[1]), std::max(zs[0], zs[1])});
  }
  for (const auto& [x, z] : InnerCorners(i_cell)) {
    const std::int64_t x0 = x > 0 ? kWallInner : -kWallOuter, z0 = z > 0 ? kWallInner : -kWallOuter;
    walls.push_back({x0, x0 + kWallOuter - kWallInner, z0, z0 + kWallOuter - kWallInner});
  }
  return walls;
}

// The points of a wall's foot line where the underside above it turns.
inline std::vector<Flat> Kinks(const std::vector<Region>& i_regions, const Flat& i_a, const Flat& i_b) {
  std::vector<Flat> points = {i_a};
  const int axis = i_a[0] == i_b[0] ? 1 : 0;  // the coordinate that runs
  const std::int64_t fixed = i_a[1 - axis];
  std::vector<std::int64_t> at;
  for (const Region& region : i_regions) {
    for (const Flat& p : region.corners) at.push_back(p[axis]);
  }
  // The cell's diagonals and middle lines cross the line at +-fixed and 0.
  for (const std::int64_t v : {fixed, -fixed, std::int64_t{0}}) at.push_back(v);
  std::sort(at.begin(), at.end());
  const std::int64_t lo = std::min(i_a[axis], i_b[axis]), hi = std::max(i_a[axis], i_b[axis]);
  std::vector<Flat> inner;
  for (const std::int64_t v : at) {
    if (v <= lo || v >= hi) continue;
    Flat p = i_a;
    p[axis] = v;
    if (inner.empty() || inner.back() != p) inner.push_back(p);
  }
  if (i_a[axis] > i_b[axis]) std::reverse(inner.begin(), inner.end());
  points.insert(points.end(), inner.begin(), inner.end());
  points.push_back(i_b);
  // Only where the underside turns.
  std::vector<Flat> kinks = {points.front()};
  for (std::size_t k = 1; k + 1 < points.size(); ++k) {
    const Flat& p = kinks.back();
    const Flat& q = points[k];
    const Flat& r = points[k + 1];
    const std::int64_t yp = Field(i_regions, p), yq = Field(i_regions, q), yr = Field(i_regions, r);
    const std::int64_t dq = std::abs(q[axis] - p[axis]), dr = std::abs(r[axis] - p[axis]);
    if ((yq - yp) * dr != (yr - yp) * dq) kinks.push_back(q);
  }
  kinks.push_back(points.back());
  return kinks;
}

}  // namespace wings

// The piece of a kind of the Wings row, in the style's pitch. i_trim: how far the storeys' inner
// corner piece keeps its trims in the cell on its +x side past the corner, so that the other cell's
// wall top has a corner there (InnerParts in Styles.h); the eave above that cell has one too.
inline SlopedPiece WingPiece(const Pitch& i_pitch, int i_trim, Ostrel::Buildings::PieceKind i_kind) {
  using namespace wings;
  const Ostrel::Buildings::HipCase* hip = Ostrel::Buildings::CaseOf(i_kind);
  if (hip == nullptr) throw std::runtime_error("a roof piece without a case");
  const Cell cell{hip};
  const std::string& s = i_pitch.style;
  std::vector<Region> regions = CellRegions(cell, i_pitch.rise);
  const std::array<int, 2> sides[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (const auto& out : sides) {
    if (cell.exposed(out[0], out[1])) regions.push_back(Overhang(cell, out, i_pitch.overhang, i_pitch.rise));
  }
  MergeRegions(regions);
  const std::vector<Rect> walls = Walls(cell);
  const std::vector<std::array<int, 2>> innerCorners = InnerCorners(cell);

  std::vector<SlopedFace> faces;
  for (const Region& region : Regrouped(regions)) {
    std::vector<Point3> top;
    for (const Flat& p : region.corners) top.push_back(Lift(p, HeightOf(region.plane, p) + i_pitch.thick));
    detail::AddFace(faces, s + "_roofing", top, {0, 1, 0});
  }
  for (const Region& region : regions) {
    std::vector<std::vector<Flat>> under = {region.corners};
    for (std::size_t w = 0; w < walls.size(); ++w) {
      // The walls along the sides come first, those at the inner corners after them.
      const std::size_t corner = w + innerCorners.size() - walls.size();
      const bool atCorner = w + innerCorners.size() >= walls.size();
      std::vector<std::vector<Flat>> left;
      for (const std::vector<Flat>& part : under) {
        for (std::vector<Flat>& rest : atCorner ? LessCorner(part, innerCorners[corner][0], innerCorners[corner][1])
                                                : Less(part, walls[w]))
          left.push_back(std::move(rest));
      }
      under = std::move(left);
    }
    // The overhang's underside in front of a side whose right end (seen from outside) meets an
    // inner corner has a corner on the facade's line i_trim in from that end.
    for (const auto& out : sides) {
      const std::array<int, 2> left = Left(out);
      if (!cell.exposed(out[0], out[1]) || !cell.in(-left[0], -left[1]) ||
          !cell.in(out[0] - left[0], out[1] - left[1]))
        continue;
      const std::int64_t along = i_trim - kHalf;
      const Flat mark{kHalf * out[0] + along * left[0], kHalf * out[1] + along * left[1]};
      for (std::vector<Flat>& part : under) {
        for (std::size_t k = 0; k < part.size(); ++k) {
          const Flat& a = part[k];
          const Flat& b = part[(k + 1) % part.size()];
          const bool inside = Cross(a, b, mark) == 0 && mark != a && mark != b &&
                              std::min(a[0], b[0]) <= mark[0] && mark[0] <= std::max(a[0], b[0]) &&
                              std::min(a[1], b[1]) <= mark[1] && mark[1] <= std::max(a[1], b[1]);
          if (!inside) continue;
          part.insert(part.begin() + static_cast<std::ptrdiff_t>(k + 1), mark);
          break;
        }
      }
    }
    for (const std::vector<Flat>& part : under) {
      Flat middle{0, 0};
      for (const Flat& p : part) middle[0] += p[0], middle[1] += p[1];
      const auto n = static_cast<std::int64_t>(part.size());
      const bool inCell = std::abs(middle[0]) <= kHalf * n && std::abs(middle[1]) <= kHalf * n;
      std::vector<Point3> corners;
      for (const Flat& p : part) corners.push_back(Lift(p, HeightOf(region.plane, p)));
      detail::AddFace(faces, inCell ? i_pitch.ceiling : i_pitch.edge, corners, {0, -1, 0});
    }
  }
  // The slab's ends where no neighbour goes on: the overhang's outer edges.
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const std::vector<Flat>& c = regions[i].corners;
    for (std::size_t k = 0; k < c.size(); ++k) {
      const Flat& a = c[k];
      const Flat& b = c[(k + 1) % c.size()];
      bool shared = false;
      for (std::size_t j = 0; j < regions.size() && !shared; ++j) {
        const std::vector<Flat>& d = regions[j].corners;
        for (std::size_t q = 0; q < d.size() && !shared; ++q) shared = d[q] == b && d[(q + 1) % d.size()] == a;
      }
      // A diagonal edge not shared is an inner corner's cut, where the other eave goes on; the
      // regions inside the cell tile it, whether their sides meet corner to corner or not.
      const auto inCell = [](const Flat& i_p) { return std::abs(i_p[0]) <= kHalf && std::abs(i_p[1]) <= kHalf; };
      if (shared || OnCellSide(a, b) || (a[0] != b[0] && a[1] != b[1]) || (inCell(a) && inCell(b))) continue;
      const int ya = HeightOf(regions[i].plane, a), yb = HeightOf(regions[i].plane, b);
      // Outward: to the right of a -> b, the polygon being counter-clockwise from above.
      const std::array<int, 3> outward = {static_cast<int>(b[1] - a[1]), 0, static_cast<int>(a[0] - b[0])};
      detail::AddFace(faces, i_pitch.edge,
                      {Lift(a, ya), Lift(b, yb), Lift(b, yb + i_pitch.thick), Lift(a, ya + i_pitch.thick)}, outward);
    }
  }
  // The walls' faces from their foot to the underside, but where they stand on a cell's side or
  // against another wall.
  for (const Rect& wall : walls) {
    const Flat c00{wall.x0, wall.z0}, c10{wall.x1, wall.z0}, c11{wall.x1, wall.z1}, c01{wall.x0, wall.z1};
    const std::pair<Flat, Flat> edges[4] = {{c00, c10}, {c10, c11}, {c11, c01}, {c01, c00}};
    for (const auto& [a, b] : edges) {
      if (OnCellSide(a, b)) continue;
      const int axis = a[1] == b[1] ? 0 : 1;  // the coordinate that runs along the face
      std::vector<std::pair<std::int64_t, std::int64_t>> spans = {{std::min(a[axis], b[axis]), std::max(a[axis], b[axis])}};
      for (const Rect& other : walls) {
        const std::int64_t lo = axis == 0 ? other.x0 : other.z0, hi = axis == 0 ? other.x1 : other.z1;
        const std::int64_t near = axis == 0 ? other.z0 : other.x0, far = axis == 0 ? other.z1 : other.x1;
        if (&other == &wall || (a[1 - axis] != near && a[1 - axis] != far)) continue;
        std::vector<std::pair<std::int64_t, std::int64_t>> left;
        for (const auto& [from, to] : spans) {
          if (from < lo) left.push_back({from, std::min(to, lo)});
          if (to > hi) left.push_back({std::max(from, hi), to});
        }
        spans = left;
      }
      // Outward: to the right of a -> b, the rectangle's edges running counter-clockwise from above.
      const std::array<int, 3> outward = {static_cast<int>(b[1] - a[1]), 0, static_cast<int>(a[0] - b[0])};
      for (const auto& [from, to] : spans) {
        Flat p = a, q = a;
        p[axis] = from, q[axis] = to;
        if (a[axis] > b[axis]) std::swap(p, q);
        const std::vector<Flat> points = Kinks(regions, p, q);
        for (std::size_t k = 0; k + 1 < points.size(); ++k) {
          const Flat& u = points[k];
          const Flat& v = points[k + 1];
          detail::AddFace(faces, s + "_wall",
                          {Lift(u, 0), Lift(v, 0), Lift(v, Field(regions, v)), Lift(u, Field(regions, u))}, outward);
        }
      }
    }
  }
  detail::AddCornersOnEdges(faces);
  return {Ostrel::Buildings::PieceName(s, i_kind), faces};
}

// Every piece of the Wings row.
inline std::vector<SlopedPiece> WingPieces(const Pitch& i_pitch, int i_trim) {
  std::vector<SlopedPiece> pieces;
  for (const Ostrel::Buildings::PieceRule* rule = Ostrel::Buildings::PieceRulesBegin(); rule != Ostrel::Buildings::PieceRulesEnd();
       ++rule) {
    if (rule->row == Ostrel::Buildings::PieceRow::Wings) pieces.push_back(WingPiece(i_pitch, i_trim, rule->kind));
  }
  return pieces;
}

}  // namespace Kitgen
