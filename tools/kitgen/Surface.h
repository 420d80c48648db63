#pragma once
// The outer surface of a piece modelled as boxes added and cut in turn, in whole centimetres.
//
// The boxes' coordinates split space into a grid of cells, each of them empty or solid with one
// material. A face lies wherever a solid cell meets an empty one, so faces between two solids
// never exist and parts of one piece merge into one solid. Faces on the piece's open sides (where
// the neighbouring piece continues the surface) are left out. The faces of each plane, material
// and facing are cut into convex polygons with no corner but the outline's, and finally every
// corner that lies on another polygon's edge is added to that edge, so that polygons meet corner
// for corner.

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Polygons.h"

namespace Kitgen {

using Point3 = std::array<int, 3>;  // x, y, z in centimetres of the piece's frame

struct Box {
  int x0, x1;  // out of the facade
  int y0, y1;  // up
  int z0, z1;  // along the facade
  int lo(int i_axis) const { return i_axis == 0 ? x0 : i_axis == 1 ? y0 : z0; }
  int hi(int i_axis) const { return i_axis == 0 ? x1 : i_axis == 1 ? y1 : z1; }
};

// One modelling step: fill the box with a material, or empty it (an empty material).
struct Step {
  std::string material;
  Box box;
};

// Faces of the given facing (axis, sign) lying in the plane of `area`'s flat side along that axis
// and inside `area` are left out: the neighbouring piece continues the solid there.
struct Open {
  int axis;
  int sign;
  Box area;  // lo(axis) == hi(axis) is the plane
};

struct Face {
  std::string material;
  int axis, sign;               // the outward normal: +1 or -1 along axis 0 (x), 1 (y) or 2 (z)
  std::vector<Point3> corners;  // counter-clockwise seen from outside
};

// A part of a piece's footprint (x0 <= x < x1, z0 <= z < z1) whose faces no face outside it
// continues: a piece wider than a cell is cut into the parts its cells hold, so that each face
// stays within one cell (as its texture's strip does). A face belongs to the first part that holds
// it (a face across x or z by its plane), or to none. A part may hold only the heights y0 <= y <
// y1, where a piece's faces are cut one way above and another below.
struct Part {
  int x0, x1, z0, z1;
  int y0 = -100000, y1 = 100000;
};

std::vector<Face> MakeSurface(const std::vector<Step>& i_steps, const std::vector<Open>& i_open,
                              const std::vector<Part>& i_parts = {});

namespace detail {

// The region of one plane, material and facing: a set of grid cells of that plane.
struct Layer {
  std::string material;
  int axis, sign, plane;                  // plane in cm
  std::vector<std::vector<bool>> filled;  // [u cell][v cell]
};

// The outlines of one 4-connected set of cells, each counter-clockwise around the set (holes
// then run clockwise), with only the corners where the outline turns.
inline std::vector<std::vector<Point2>> Outlines(const std::vector<std::vector<bool>>& i_cells,
                                                 const std::vector<int>& i_us, const std::vector<int>& i_vs) {
  const int nu = static_cast<int>(i_cells.size()), nv = static_cast<int>(i_cells[0].size());
  const auto in = [&](int i_u, int i_v) {
    return i_u >= 0 && i_v >= 0 && i_u < nu && i_v < nv && i_cells[i_u][i_v];
  };
  std::map<std::pair<int, int>, std::pair<int, int>> next;  // grid corner -> next along the outline
  const auto link = [&](int a, int b, int c, int d) {
    if (!next.emplace(std::pair{a, b}, std::pair{c, d}).second)
      throw std::runtime_error("a face region touches itself at a corner");
  };
  for (int u = 0; u < nu; ++u) {
    for (int v = 0; v < nv; ++v) {
      if (!in(u, v)) continue;
      if (!in(u, v - 1)) link(u, v, u + 1, v);
      if (!in(u + 1, v)) link(u + 1, v, u + 1, v + 1);
      if (!in(u, v + 1)) link(u + 1, v + 1, u, v + 1);
      if (!in(u - 1, v)) link(u, v + 1, u, v);
    }
  }
  std::vector<std::vector<Point2>> loops;
  while (!next.empty()) {
    std::vector<std::pair<int, int>> chain;
    for (std::pair<int, int> at = next.begin()->first;;) {
      const auto it = next.find(at);
      if (it == next.end()) break;
      chain.push_back(at);
      at = it->second;
      next.erase(it);
    }
    std::vector<Point2> loop;
    for (std::size_t k = 0; k < chain.size(); ++k) {
      const auto& a = chain[(k + chain.size() - 1) % chain.size()];
      const auto& b = chain[k];
      const auto& c = chain[(k + 1) % chain.size()];
      const bool straight =
          (a.first == b.first && b.first == c.first) || (a.second == b.second && b.second == c.second);
      if (!straight) loop.push_back({i_us[b.first], i_vs[b.second]});
    }
    loops.push_back(loop);
  }
  // The outer outline first: the only one counter-clockwise.
  const auto area = [](const std::vector<Point2>& i_loop) {
    std::int64_t twice = 0;
    for (std::size_t k = 0; k < i_loop.size(); ++k) {
      const Point2& p = i_loop[k];
      const Point2& q = i_loop[(k + 1) % i_loop.size()];
      twice += p.u * q.v - p.v * q.u;
    }
    return twice;
  };
  std::stable_partition(loops.begin(), loops.end(),
                        [&](const std::vector<Point2>& i_loop) { return area(i_loop) > 0; });
  return loops;
}

// Splits a layer into its 4-connected parts.
inline std::vector<std::vector<std::vector<bool>>> Parts(const std::vector<std::vector<bool>>& i_cells) {
  const int nu = static_cast<int>(i_cells.size()), nv = static_cast<int>(i_cells[0].size());
  std::vector<std::vector<bool>> seen(i_cells.size(), std::vector<bool>(i_cells[0].size(), false));
  std::vector<std::vector<std::vector<bool>>> parts;
  for (int u = 0; u < nu; ++u) {
    for (int v = 0; v < nv; ++v) {
      if (!i_cells[u][v] || seen[u][v]) continue;
      std::vector<std::vector<bool>> part(i_cells.size(), std::vector<bool>(i_cells[0].size(), false));
      std::vector<std::pair<int, int>> todo = {{u, v}};
      seen[u][v] = true;
      while (!todo.empty()) {
        const auto [a, b] = todo.back();
        todo.pop_back();
        part[a][b] = true;
        for (const auto& [da, db] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int c = a + da, d = b + db;
          if (c < 0 || d < 0 || c >= nu || d >= nv || !i_cells[c][d] || seen[c][d]) continue;
          seen[c][d] = true;
          todo.push_back({c, d});
        }
      }
      parts.push_back(std::move(part));
    }
  }
  return parts;
}

// Adds to each edge of each face every corner of any face that lies strictly inside the edge.
inline void CloseTJunctions(std::vector<Face>& io_faces) {
  std::vector<Point3> corners;
  for (const Face& face : io_faces) corners.insert(corners.end(), face.corners.begin(), face.corners.end());
  std::sort(corners.begin(), corners.end());
  corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
  for (Face& face : io_faces) {
    std::vector<Point3> result;
    for (std::size_t k = 0; k < face.corners.size(); ++k) {
      const Point3& a = face.corners[k];
      const Point3& b = face.corners[(k + 1) % face.corners.size()];
      result.push_back(a);
      const Point3 d = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
      const long long length2 = 1LL * d[0] * d[0] + 1LL * d[1] * d[1] + 1LL * d[2] * d[2];
      std::vector<std::pair<long long, Point3>> inside;
      for (const Point3& p : corners) {
        const Point3 e = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
        const long long cx = 1LL * d[1] * e[2] - 1LL * d[2] * e[1];
        const long long cy = 1LL * d[2] * e[0] - 1LL * d[0] * e[2];
        const long long cz = 1LL * d[0] * e[1] - 1LL * d[1] * e[0];
        const long long along = 1LL * d[0] * e[0] + 1LL * d[1] * e[1] + 1LL * d[2] * e[2];
        if (cx == 0 && cy == 0 && cz == 0 && along > 0 && along < length2) inside.push_back({along, p});
      }
      std::sort(inside.begin(), inside.end());
      for (const auto& entry : inside) result.push_back(entry.second);
    }
    face.corners = result;
  }
}

}  // namespace detail

inline std::vector<Face> MakeSurface(const std::vector<Step>& i_steps, const std::vector<Open>& i_open,
                                     const std::vector<Part>& i_parts) {
  // The grid: every coordinate that a step names, per axis. An open side leaves out the faces of
  // grid cells wholly inside its area.
  std::array<std::vector<int>, 3> grid;
  for (const Step& step : i_steps)
    for (int axis = 0; axis < 3; ++axis)
      grid[axis].insert(grid[axis].end(), {step.box.lo(axis), step.box.hi(axis)});
  for (const Part& part : i_parts) {
    grid[0].insert(grid[0].end(), {part.x0, part.x1});
    grid[2].insert(grid[2].end(), {part.z0, part.z1});
    // A part of some heights only cuts the faces across y where it ends.
    for (const int y : {part.y0, part.y1})
      if (y > -100000 && y < 100000) grid[1].push_back(y);
  }
  for (std::vector<int>& lines : grid) {
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  }
  const auto index = [&](int i_axis, int i_value) {
    return static_cast<int>(std::lower_bound(grid[i_axis].begin(), grid[i_axis].end(), i_value) -
                            grid[i_axis].begin());
  };
  const int n[3] = {static_cast<int>(grid[0].size()) - 1, static_cast<int>(grid[1].size()) - 1,
                    static_cast<int>(grid[2].size()) - 1};

  // Materials by number; 0 is empty.
  std::vector<std::string> materials = {""};
  std::vector<int> cells(static_cast<std::size_t>(n[0]) * n[1] * n[2], 0);
  const auto cell = [&](int x, int y, int z) -> int& {
    return cells[(static_cast<std::size_t>(x) * n[1] + y) * n[2] + z];
  };
  for (const Step& step : i_steps) {
    auto found = std::find(materials.begin(), materials.end(), step.material);
    if (found == materials.end()) found = materials.insert(materials.end(), step.material);
    const int material = static_cast<int>(found - materials.begin());
    for (int x = index(0, step.box.x0); x < index(0, step.box.x1); ++x)
      for (int y = index(1, step.box.y0); y < index(1, step.box.y1); ++y)
        for (int z = index(2, step.box.z0); z < index(2, step.box.z1); ++z) cell(x, y, z) = material;
  }
  const auto at = [&](const int(&i_c)[3]) {
    for (int axis = 0; axis < 3; ++axis)
      if (i_c[axis] < 0 || i_c[axis] >= n[axis]) return 0;
    return cell(i_c[0], i_c[1], i_c[2]);
  };

  // The part (1-based; 0 for none) that holds a face's grid cell: its x and z are where the cell
  // starts, or the face's plane along the face's own axis.
  const auto partOf = [&](int i_axis, int i_plane, const int (&i_cell)[3]) {
    const int x = i_axis == 0 ? i_plane : grid[0][i_cell[0]];
    const int y = i_axis == 1 ? i_plane : grid[1][i_cell[1]];
    const int z = i_axis == 2 ? i_plane : grid[2][i_cell[2]];
    for (std::size_t p = 0; p < i_parts.size(); ++p) {
      const Part& part = i_parts[p];
      if (part.x0 <= x && x < part.x1 && part.y0 <= y && y < part.y1 && part.z0 <= z && z < part.z1)
        return static_cast<int>(p + 1);
    }
    return 0;
  };
  // Layers: for every grid plane of every axis, the cells where solid meets empty; a layer holds
  // the cells of one part.
  std::map<std::tuple<int, int, int, int, int>, detail::Layer> layers;  // axis, plane index, sign, material, part
  for (int axis = 0; axis < 3; ++axis) {
    const int ua = (axis + 1) % 3, va = (axis + 2) % 3;
    for (int k = 0; k <= n[axis]; ++k) {
      for (int u = 0; u < n[ua]; ++u) {
        for (int v = 0; v < n[va]; ++v) {
          int below[3], above[3];
          below[axis] = k - 1, above[axis] = k;
          below[ua] = above[ua] = u;
          below[va] = above[va] = v;
          const int lo = at(below), hi = at(above);
          if ((lo != 0) == (hi != 0)) continue;
          const int sign = lo != 0 ? 1 : -1;
          const int plane = grid[axis][k];
          const bool open = std::any_of(i_open.begin(), i_open.end(), [&](const Open& i_side) {
            return i_side.axis == axis && i_side.sign == sign && i_side.area.lo(axis) == plane &&
                   i_side.area.lo(ua) <= grid[ua][u] && grid[ua][u + 1] <= i_side.area.hi(ua) &&
                   i_side.area.lo(va) <= grid[va][v] && grid[va][v + 1] <= i_side.area.hi(va);
          });
          if (open) continue;
          const int material = lo != 0 ? lo : hi;
          detail::Layer& layer = layers[{axis, k, sign, material, partOf(axis, plane, above)}];
          if (layer.filled.empty()) {
            layer = {materials[material], axis, sign, plane,
                     std::vector<std::vector<bool>>(n[ua], std::vector<bool>(n[va], false))};
          }
          layer.filled[u][v] = true;
        }
      }
    }
  }

  std::vector<Face> faces;
  for (const auto& [key, layer] : layers) {
    const int ua = (layer.axis + 1) % 3, va = (layer.axis + 2) % 3;
    for (const auto& part : detail::Parts(layer.filled)) {
      const std::vector<std::vector<Point2>> loops = detail::Outlines(part, grid[ua], grid[va]);
      std::vector<Point2> points;
      for (const std::vector<Point2>& loop : loops) points.insert(points.end(), loop.begin(), loop.end());
      for (const std::vector<int>& polygon : ConvexParts(loops)) {
        Face face{layer.material, layer.axis, layer.sign, {}};
        for (const int p : polygon) {
          Point3 corner{};
          corner[layer.axis] = layer.plane;
          corner[ua] = static_cast<int>(points[p].u);
          corner[va] = static_cast<int>(points[p].v);
          face.corners.push_back(corner);
        }
        // Counter-clockwise in (u, v) faces +axis; the other side runs the other way.
        if (layer.sign < 0) std::reverse(face.corners.begin(), face.corners.end());
        faces.push_back(std::move(face));
      }
    }
  }
  detail::CloseTJunctions(faces);
  return faces;
}

}  // namespace Kitgen
