#pragma once
// The modeller of pitched roof pieces: a slab whose top and underside slope, over walls that rise
// from the piece's foot to the underside. The box modeller (Surface.h) cannot make a slanted face,
// so these pieces are built face by face from a few plan rectangles.
//
// Sizes are whole centimetres in the piece's frame (as in Styles.h): +x downhill, out of the
// facade below; +y up from the top of the last storey; +z along the facade. A roof plane falls
// toward one side of the cell, from `rise` at the opposite side to 0 at its own: falling toward +x
// it is y = rise (150 - x) / 300. The underside is the lowest of the piece's planes (their meeting
// lines are the ridges and hips, all through the cell's centre), the top lies `thick` above it.
// Every corner must come out on the centimetre grid; a piece whose corner would not is refused, so
// that the pieces meet bit for bit wherever they are placed.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Styles.h"
#include "Surface.h"

namespace Kitgen {

// A side of the cell, or the side toward which a roof plane falls: (1, 0) is +x, (0, -1) is -z.
struct Side {
  int dx, dz;
};

inline bool operator==(const Side& i_a, const Side& i_b) { return i_a.dx == i_b.dx && i_a.dz == i_b.dz; }

struct PlanRect {
  int x0, x1, z0, z1;
};

// A part of the slab's underside that shows (the attic's ceiling, a soffit under the eave).
struct Underside {
  std::string material;
  PlanRect area;
};

struct RoofCell {
  std::string name;
  int rise = 0;   // how far a plane climbs across one cell
  int thick = 0;  // the slab's vertical thickness
  std::vector<Side> falls;
  PlanRect slab;                      // the slab's plan, overhangs included
  std::vector<PlanRect> walls;        // walls from y = 0 up to the underside; they do not overlap
  std::vector<Underside> undersides;  // the slab's plan less the walls
  std::vector<Side> open;             // cell sides that the neighbouring piece continues
  std::string top, edge, wall;        // materials of the slab's top, its ends, the walls
};

// A flat convex polygon, counter-clockwise seen from outside.
struct SlopedFace {
  std::string material;
  std::vector<Point3> corners;
};

struct SlopedPiece {
  std::string name;  // file name without ".obj", such as B_eave
  std::vector<SlopedFace> faces;
};

namespace detail {

using Plan = std::array<int, 2>;  // x, z

inline std::int64_t Along(const Side& i_side, const Plan& i_p) {
  return std::int64_t{i_side.dx} * i_p[0] + std::int64_t{i_side.dz} * i_p[1];
}

// 300 times the height of the plane falling toward i_fall over i_p.
inline std::int64_t PlaneTimes300(const RoofCell& i_cell, const Side& i_fall, const Plan& i_p) {
  return std::int64_t{i_cell.rise} * (kHalf - Along(i_fall, i_p));
}

inline std::int64_t LowestTimes300(const RoofCell& i_cell, const Plan& i_p) {
  std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
  for (const Side& fall : i_cell.falls) lowest = std::min(lowest, PlaneTimes300(i_cell, fall, i_p));
  return lowest;
}

// The underside's height over a point.
inline int Underneath(const RoofCell& i_cell, const Plan& i_p) {
  const std::int64_t times300 = LowestTimes300(i_cell, i_p);
  if (times300 % (2 * kHalf) != 0)
    throw std::runtime_error(i_cell.name + ": a corner falls between whole centimetres");
  return static_cast<int>(times300 / (2 * kHalf));
}

// The point of the segment ab where a linear function goes from i_sa to i_sb through 0.
inline Plan Crossing(const RoofCell& i_cell, const Plan& i_a, const Plan& i_b, std::int64_t i_sa,
                     std::int64_t i_sb) {
  Plan p{};
  for (int k = 0; k < 2; ++k) {
    const std::int64_t step = std::int64_t{i_b[k] - i_a[k]} * i_sa;
    if (step % (i_sa - i_sb) != 0)
      throw std::runtime_error(i_cell.name + ": a ridge or hip crosses an edge between whole centimetres");
    p[k] = i_a[k] + static_cast<int>(step / (i_sa - i_sb));
  }
  return p;
}

// The part of a convex plan polygon where the plane falling toward i_fall is the lowest one.
inline std::vector<Plan> WhereLowest(const RoofCell& i_cell, std::vector<Plan> i_polygon, const Side& i_fall) {
  for (const Side& other : i_cell.falls) {
    if (other == i_fall) continue;
    const Side keep{i_fall.dx - other.dx, i_fall.dz - other.dz};  // lowest where keep . p >= 0
    std::vector<Plan> kept;
    for (std::size_t k = 0; k < i_polygon.size(); ++k) {
      const Plan& a = i_polygon[k];
      const Plan& b = i_polygon[(k + 1) % i_polygon.size()];
      const std::int64_t sa = Along(keep, a), sb = Along(keep, b);
      if (sa >= 0) kept.push_back(a);
      if ((sa > 0 && sb < 0) || (sa < 0 && sb > 0)) kept.push_back(Crossing(i_cell, a, b, sa, sb));
    }
    i_polygon = kept;
  }
  return i_polygon;
}

inline std::vector<Plan> Corners(const PlanRect& i_rect) {
  return {{i_rect.x0, i_rect.z0}, {i_rect.x1, i_rect.z0}, {i_rect.x1, i_rect.z1}, {i_rect.x0, i_rect.z1}};
}

// The segment ab and the points inside it where the underside turns (it crosses a ridge or hip).
inline std::vector<Plan> Kinks(const RoofCell& i_cell, const Plan& i_a, const Plan& i_b) {
  std::vector<std::pair<std::int64_t, Plan>> inside;
  for (const Side& d : i_cell.falls) {
    for (const Side& e : i_cell.falls) {
      const Side apart{d.dx - e.dx, d.dz - e.dz};
      const std::int64_t sa = Along(apart, i_a), sb = Along(apart, i_b);
      if (!(sa > 0 && sb < 0)) continue;
      const Plan p = Crossing(i_cell, i_a, i_b, sa, sb);
      if (PlaneTimes300(i_cell, d, p) != LowestTimes300(i_cell, p)) continue;
      inside.push_back({std::abs(std::int64_t{p[0] - i_a[0]}) + std::abs(std::int64_t{p[1] - i_a[1]}), p});
    }
  }
  std::sort(inside.begin(), inside.end());
  std::vector<Plan> points = {i_a};
  for (const auto& entry : inside)
    if (entry.second != points.back()) points.push_back(entry.second);
  points.push_back(i_b);
  return points;
}

inline Point3 Lift(const Plan& i_p, int i_y) { return {i_p[0], i_y, i_p[1]}; }

// Newell's normal, exact in whole numbers: along the winding's normal, twice the area long.
inline std::array<std::int64_t, 3> AreaNormal(const std::vector<Point3>& i_corners) {
  std::array<std::int64_t, 3> n{0, 0, 0};
  for (std::size_t k = 0; k < i_corners.size(); ++k) {
    const Point3& p = i_corners[k];
    const Point3& q = i_corners[(k + 1) % i_corners.size()];
    n[0] += std::int64_t{p[1] - q[1]} * (p[2] + q[2]);
    n[1] += std::int64_t{p[2] - q[2]} * (p[0] + q[0]);
    n[2] += std::int64_t{p[0] - q[0]} * (p[1] + q[1]);
  }
  return n;
}

// Adds the face unless it has no area, wound to face i_outward.
inline void AddFace(std::vector<SlopedFace>& io_faces, const std::string& i_material, std::vector<Point3> i_corners,
                    const std::array<int, 3>& i_outward) {
  std::vector<Point3> corners;
  for (const Point3& p : i_corners)
    if (corners.empty() || p != corners.back()) corners.push_back(p);
  while (corners.size() > 1 && corners.front() == corners.back()) corners.pop_back();
  if (corners.size() < 3) return;
  const std::array<std::int64_t, 3> n = AreaNormal(corners);
  const std::int64_t facing = n[0] * i_outward[0] + n[1] * i_outward[1] + n[2] * i_outward[2];
  if (facing == 0) return;
  if (facing < 0) std::reverse(corners.begin(), corners.end());
  io_faces.push_back({i_material, corners});
}

// The slab's top or underside over a plan polygon, one face per plane.
inline void AddSlopes(std::vector<SlopedFace>& io_faces, const RoofCell& i_cell, const std::string& i_material,
                      const PlanRect& i_area, int i_lift, int i_up) {
  for (const Side& fall : i_cell.falls) {
    std::vector<Point3> corners;
    for (const Plan& p : WhereLowest(i_cell, Corners(i_area), fall))
      corners.push_back(Lift(p, Underneath(i_cell, p) + i_lift));
    AddFace(io_faces, i_material, corners, {0, i_up, 0});
  }
}

// Whether the side of the cell that faces i_side is continued by the neighbour, and the plane at
// i_plane is that side.
inline bool IsOpen(const RoofCell& i_cell, const Side& i_side, int i_plane) {
  return i_plane == kHalf * (i_side.dx + i_side.dz) &&
         std::find(i_cell.open.begin(), i_cell.open.end(), i_side) != i_cell.open.end();
}

// A rectangle's side facing i_side: its plane, its ends (from a to b along the side).
struct RectSide {
  int plane;
  Plan a, b;
};

inline RectSide SideOf(const PlanRect& i_rect, const Side& i_side) {
  if (i_side.dx > 0) return {i_rect.x1, {i_rect.x1, i_rect.z0}, {i_rect.x1, i_rect.z1}};
  if (i_side.dx < 0) return {i_rect.x0, {i_rect.x0, i_rect.z0}, {i_rect.x0, i_rect.z1}};
  if (i_side.dz > 0) return {i_rect.z1, {i_rect.x0, i_rect.z1}, {i_rect.x1, i_rect.z1}};
  return {i_rect.z0, {i_rect.x0, i_rect.z0}, {i_rect.x1, i_rect.z0}};
}

constexpr Side kSides[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// The slab's ends: a band from the underside up by the thickness on every side that no
// neighbour continues, in one quadrilateral per plane that it runs under.
inline void AddSlabEnds(std::vector<SlopedFace>& io_faces, const RoofCell& i_cell) {
  for (const Side& side : kSides) {
    const RectSide end = SideOf(i_cell.slab, side);
    if (IsOpen(i_cell, side, end.plane)) continue;
    const std::vector<Plan> points = Kinks(i_cell, end.a, end.b);
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
      const int ya = Underneath(i_cell, points[k]), yb = Underneath(i_cell, points[k + 1]);
      AddFace(io_faces, i_cell.edge,
              {Lift(points[k], ya), Lift(points[k + 1], yb), Lift(points[k + 1], yb + i_cell.thick),
               Lift(points[k], ya + i_cell.thick)},
              {side.dx, 0, side.dz});
    }
  }
}

// The walls' faces from y = 0 up to the underside, where neither another wall nor the
// neighbouring piece touches them. Their feet stand on the walls below and stay open.
inline void AddWalls(std::vector<SlopedFace>& io_faces, const RoofCell& i_cell) {
  for (const PlanRect& wall : i_cell.walls) {
    for (const Side& side : kSides) {
      const RectSide face = SideOf(wall, side);
      if (IsOpen(i_cell, side, face.plane)) continue;
      const int axis = side.dx != 0 ? 1 : 0;  // the plan coordinate that runs along the side
      std::vector<std::pair<int, int>> spans = {{face.a[axis], face.b[axis]}};
      for (const PlanRect& other : i_cell.walls) {
        const RectSide touching = SideOf(other, {-side.dx, -side.dz});
        if (&other == &wall || touching.plane != face.plane) continue;
        std::vector<std::pair<int, int>> left;
        for (const auto& [lo, hi] : spans) {
          if (lo < touching.a[axis]) left.push_back({lo, std::min(hi, touching.a[axis])});
          if (hi > touching.b[axis]) left.push_back({std::max(lo, touching.b[axis]), hi});
        }
        spans = left;
      }
      for (const auto& [lo, hi] : spans) {
        Plan a = face.a, b = face.b;
        a[axis] = lo, b[axis] = hi;
        std::vector<Point3> corners = {Lift(a, 0), Lift(b, 0)};
        const std::vector<Plan> top = Kinks(i_cell, a, b);
        for (auto p = top.rbegin(); p != top.rend(); ++p) corners.push_back(Lift(*p, Underneath(i_cell, *p)));
        AddFace(io_faces, i_cell.wall, corners, {side.dx, 0, side.dz});
      }
    }
  }
}

// Adds to each edge of each face every corner of the piece that lies strictly inside the edge, so
// that faces meet corner for corner.
inline void AddCornersOnEdges(std::vector<SlopedFace>& io_faces) {
  std::vector<Point3> corners;
  for (const SlopedFace& face : io_faces) corners.insert(corners.end(), face.corners.begin(), face.corners.end());
  std::sort(corners.begin(), corners.end());
  corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
  for (SlopedFace& face : io_faces) {
    std::vector<Point3> result;
    for (std::size_t k = 0; k < face.corners.size(); ++k) {
      const Point3& a = face.corners[k];
      const Point3& b = face.corners[(k + 1) % face.corners.size()];
      result.push_back(a);
      const std::array<std::int64_t, 3> d = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
      const std::int64_t length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
      std::vector<std::pair<std::int64_t, Point3>> inside;
      for (const Point3& p : corners) {
        const std::array<std::int64_t, 3> e = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
        const bool onLine = d[1] * e[2] == d[2] * e[1] && d[2] * e[0] == d[0] * e[2] && d[0] * e[1] == d[1] * e[0];
        const std::int64_t along = d[0] * e[0] + d[1] * e[1] + d[2] * e[2];
        if (onLine && along > 0 && along < length2) inside.push_back({along, p});
      }
      std::sort(inside.begin(), inside.end());
      for (const auto& entry : inside) result.push_back(entry.second);
    }
    face.corners = result;
  }
}

}  // namespace detail

inline std::vector<SlopedFace> MakeRoofCell(const RoofCell& i_cell) {
  std::vector<SlopedFace> faces;
  detail::AddSlopes(faces, i_cell, i_cell.top, i_cell.slab, i_cell.thick, 1);
  for (const Underside& underside : i_cell.undersides)
    detail::AddSlopes(faces, i_cell, underside.material, underside.area, 0, -1);
  detail::AddSlabEnds(faces, i_cell);
  detail::AddWalls(faces, i_cell);
  detail::AddCornersOnEdges(faces);
  return faces;
}

// The piece seen in a mirror across its z = 0 plane: the other hand of a gable end.
inline std::vector<SlopedFace> MirrorZ(std::vector<SlopedFace> i_faces) {
  for (SlopedFace& face : i_faces) {
    for (Point3& p : face.corners) p[2] = -p[2];
    std::reverse(face.corners.begin(), face.corners.end());
  }
  return i_faces;
}

}  // namespace Kitgen
