#pragma once
// Hip roofs over any set of cells, assembled from the kit's unit files where the layout's
// HipRoofCells puts them, for tests and pictures; and the roof's height field computed afresh
// from the cells, to hold them against.
//
// A set of cells is drawn as text, one line per row of cells: '#' a cell, anything else none.
// Line r is the row x = -r (north, +x, at the top), column c the cells z = c, as the layout's
// frame has them. Everything is in whole centimetres: cell (x, z) has its centre at (300 x,
// 300 z); the roof's eaves stand at y = 0.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <ostrel/ext/Obj.h>
#include <ostrel/kit/PieceKind.h>
#include <ostrel/layout/HipRoof.h>

#include "PitchedRoofs.h"

namespace HipRoofs {

using Mask = std::vector<std::string>;

inline bool IsCell(const Mask& i_mask, long i_x, long i_z) {
  const long r = -i_x;
  if (r < 0 || r >= static_cast<long>(i_mask.size()) || i_z < 0) return false;
  const std::string& line = i_mask[static_cast<std::size_t>(r)];
  return i_z < static_cast<long>(line.size()) && line[static_cast<std::size_t>(i_z)] == '#';
}

// The cells as the layout takes them: slabs of rows, north first (a slab a row).
inline Ostrel::Buildings::Footprint FootprintOf(const Mask& i_mask) {
  Ostrel::Buildings::Footprint footprint;
  for (std::size_t r = 0; r < i_mask.size(); ++r) {
    Ostrel::Buildings::CellSlab slab;
    slab.x0 = slab.x1 = -static_cast<std::int64_t>(r);
    const std::string& line = i_mask[r];
    for (std::size_t z = 0; z < line.size(); ++z) {
      if (line[z] != '#') continue;
      const auto cell = static_cast<std::int64_t>(z);
      if (!slab.spans.empty() && slab.spans.back().z1 + 1 == cell) ++slab.spans.back().z1;
      else slab.spans.push_back({cell, cell});
    }
    if (!slab.spans.empty()) footprint.slabs.push_back(slab);
  }
  return footprint;
}

// The distance in centimetres, in the max-norm, from the point (x, z) to the cell's square.
inline long DistanceToCell(long i_x, long i_z, long i_cx, long i_cz) {
  const long dx = std::max(0L, std::labs(i_x - 300 * i_cx) - 150);
  const long dz = std::max(0L, std::labs(i_z - 300 * i_cz) - 150);
  return std::max(dx, dz);
}

// The roof's height field in centimetres of plan: inside the cells the distance to the nearest
// cell not in the set, outside them less the distance to the nearest cell in it (the eaves'
// overhang continues the slopes). Every cell is tried: it is slow and plainly right.
inline long SignedDistance(const Mask& i_mask, long i_x, long i_z) {
  long rows = static_cast<long>(i_mask.size()), columns = 0;
  for (const std::string& line : i_mask) columns = std::max(columns, static_cast<long>(line.size()));
  long toOutside = 1L << 40, toSet = 1L << 40;
  // Cells one beyond the mask stand for everything outside it.
  for (long x = 1; x >= -rows; --x) {
    for (long z = -1; z <= columns; ++z) {
      long& nearest = IsCell(i_mask, x, z) ? toSet : toOutside;
      nearest = std::min(nearest, DistanceToCell(i_x, i_z, x, z));
    }
  }
  return toOutside > 0 ? toOutside : -toSet;
}

struct Placed {
  std::string kind;
  long x, z, step;
  int xd, zd;
};

inline std::vector<Placed> Roof(const Mask& i_mask, std::string& o_fault) {
  std::vector<Ostrel::Buildings::HipCells> cells;
  std::vector<Placed> placed;
  if (!Ostrel::Buildings::HipRoofCells(FootprintOf(i_mask), cells, o_fault)) return placed;
  for (const Ostrel::Buildings::HipCells& run : cells) {
    for (long r = 0; r < run.rows; ++r) {
      for (long c = 0; c < run.cells; ++c)
        placed.push_back({Ostrel::Buildings::RuleOf(run.kind).suffix, static_cast<long>(run.x) + r,
                          static_cast<long>(run.z) + c, static_cast<long>(run.step), run.xd, run.zd});
    }
  }
  return placed;
}

// Appends a piece turned as the layout turns it (its +x to (zd, xd), its +z to (-xd, zd)), with
// its materials.
inline void Place(Obj::Mesh& io_mesh, const PitchedRoofs::Piece& i_piece, const Placed& i_at, long i_rise) {
  const long ox = 300L * i_at.x, oz = 300L * i_at.z, oy = i_at.step * i_rise;
  const long xd = i_at.xd, zd = i_at.zd;
  const auto base = static_cast<std::uint32_t>(io_mesh.vertices.size());
  const auto normalBase = static_cast<std::uint32_t>(io_mesh.normals.size());
  for (const auto& p : i_piece.cm) {
    io_mesh.vertices.emplace_back(static_cast<float>(zd * p[0] - xd * p[2] + ox), static_cast<float>(p[1] + oy),
                                  static_cast<float>(xd * p[0] + zd * p[2] + oz));
  }
  for (const Ostrel::VectorF& n : i_piece.mesh.normals)
    io_mesh.normals.emplace_back(zd * n.x - xd * n.z, n.y, xd * n.x + zd * n.z);
  for (Obj::Corner corner : i_piece.mesh.corners) {
    corner.v += base;
    if (corner.n != Obj::kAbsent) corner.n += normalBase;
    corner.uv = Obj::kAbsent;
    io_mesh.corners.push_back(corner);
  }
  io_mesh.polycount.insert(io_mesh.polycount.end(), i_piece.mesh.polycount.begin(), i_piece.mesh.polycount.end());
  for (const std::uint32_t material : i_piece.mesh.faceMaterials) {
    const std::string& name = i_piece.mesh.materials.at(material);
    const auto found = std::find(io_mesh.materials.begin(), io_mesh.materials.end(), name);
    io_mesh.faceMaterials.push_back(static_cast<std::uint32_t>(found - io_mesh.materials.begin()));
    if (found == io_mesh.materials.end()) io_mesh.materials.push_back(name);
  }
}

inline Obj::Mesh Assemble(PitchedRoofs::Kit& io_kit, const std::vector<Placed>& i_roof, long i_rise) {
  Obj::Mesh mesh;
  for (const Placed& at : i_roof) Place(mesh, io_kit.get(at.kind), at, i_rise);
  return mesh;
}

// Whether a face, its corners from i_corner on, is of the slopes: the slab's top, of the roofing
// and facing up. A style may lay its roofing on the slab's underside too.
inline bool IsSlope(const Obj::Mesh& i_mesh, std::size_t i_face, std::size_t i_corner) {
  if (i_mesh.materials.at(i_mesh.faceMaterials[i_face]).find("_roofing") == std::string::npos) return false;
  const std::uint32_t normal = i_mesh.corners[i_corner].n;
  return normal != Obj::kAbsent && i_mesh.normals[normal].y > 0;
}

// i_visit(vertex) for each corner of each slope face (IsSlope), in face order.
template <typename Visit>
void ForEachSlopeCorner(const Obj::Mesh& i_mesh, Visit&& i_visit) {
  std::size_t corner = 0;
  for (std::size_t face = 0; face < i_mesh.polycount.size(); ++face) {
    const bool slope = IsSlope(i_mesh, face, corner);
    for (std::uint32_t k = 0; k < i_mesh.polycount[face]; ++k, ++corner) {
      if (slope) i_visit(i_mesh.vertices[i_mesh.corners[corner].v]);
    }
  }
}

}  // namespace HipRoofs
