#pragma once
// Pitched roofs assembled from the kit's unit files the way the layout places them, on a last
// storey ring of corners and facade cells, for tests and pictures.
//
// Everything is in whole centimetres (the unit files' metres times 100, rounded), placed with
// whole-number arithmetic, so that corners that pieces share are equal bit for bit. A cell is
// 300 cm; cell (i, j) has its centre at x = 300 i, z = 300 j, for i from 0 to nx - 1 and j from
// 0 to nz - 1. The last storey stands from y = -300 to 0; the roof starts at y = 0.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/ext/Obj.h>

namespace PitchedRoofs {

// A direction in plan, in world axes: (1, 0) is +x, (0, -1) is -z.
struct Dir {
  int x, z;
  bool operator==(const Dir& i_other) const { return x == i_other.x && z == i_other.z; }
};

// Where a piece's +z points when its +x points along i_d (pieces are turned, never mirrored).
inline Dir Turn(const Dir& i_d) { return {-i_d.z, i_d.x}; }

struct Placement {
  std::string kind;  // such as "eave"; "floor" and the like for the storey
  int i, j;          // cell
  Dir facing;        // where the piece's +x points
  int y;             // centimetres
};

enum class Roof { GableAlongZ, GableAlongX, Hip };

// The four sides of the footprint and the number of cells between cell (i, j) and each.
inline std::vector<std::pair<Dir, int>> SideDistances(int i_nx, int i_nz, int i_i, int i_j) {
  return {{{-1, 0}, i_i}, {{1, 0}, i_nx - 1 - i_i}, {{0, -1}, i_j}, {{0, 1}, i_nz - 1 - i_j}};
}

// The corner's facing: of its two sides, the one whose turn is the other.
inline Dir CornerFacing(const Dir& i_a, const Dir& i_b) { return Turn(i_a) == i_b ? i_a : i_b; }

// The last storey: corners and facade cells, of every facade variant in turn (with i_variants;
// the shop front has none).
inline std::vector<Placement> StoreyRing(int i_nx, int i_nz, bool i_variants) {
  const char* const variants[] = {"floor", "floorclose", i_variants ? "floor.1" : "floor",
                                  i_variants ? "floor.2" : "floorclose", "floor"};
  std::vector<Placement> ring;
  for (int i = 0; i < i_nx; ++i) {
    for (int j = 0; j < i_nz; ++j) {
      std::vector<Dir> sides;
      for (const auto& [side, distance] : SideDistances(i_nx, i_nz, i, j))
        if (distance == 0) sides.push_back(side);
      if (sides.size() == 2) ring.push_back({"angle", i, j, CornerFacing(sides[0], sides[1]), -300});
      if (sides.size() != 1) continue;
      const int pick = (i + j) % 5;
      ring.push_back({variants[pick], i, j, sides[0], -300});
      if (pick == 4) ring.push_back({"balcony", i, j, sides[0], -300});
    }
  }
  return ring;
}

// A gable roof whose ridge runs along z (slopes facing -x and +x) or along x.
inline std::vector<Placement> GableRoof(int i_nx, int i_nz, bool i_alongZ, int i_rise) {
  const Dir across = i_alongZ ? Dir{1, 0} : Dir{0, 1};
  const Dir along = i_alongZ ? Dir{0, 1} : Dir{1, 0};
  const int span = i_alongZ ? i_nx : i_nz, length = i_alongZ ? i_nz : i_nx;
  std::vector<Placement> roof;
  for (int i = 0; i < i_nx; ++i) {
    for (int j = 0; j < i_nz; ++j) {
      const int a = i_alongZ ? i : j, b = i_alongZ ? j : i;
      const int k = std::min(a, span - 1 - a);
      const bool middle = a == span - 1 - a;
      const Dir down = a < span - 1 - a ? Dir{-across.x, -across.z} : across;
      const int y = k * i_rise;
      if (b != 0 && b != length - 1) {
        roof.push_back({middle ? "ridge" : k == 0 ? "eave" : "slope", i, j, down, y});
        continue;
      }
      const Dir gable = b == 0 ? Dir{-along.x, -along.z} : along;
      for (int t = 0; t < k; ++t) roof.push_back({"gablewall", i, j, gable, t * i_rise});
      if (middle) {
        roof.push_back({"ridgegable", i, j, {gable.z, -gable.x}, y});
        continue;
      }
      const std::string hand = Turn(down) == gable ? "left" : "right";
      roof.push_back({(k == 0 ? "eavegable" : "slopegable") + hand, i, j, down, y});
    }
  }
  return roof;
}

// A hip roof: rings of cells stepping in from the eaves.
inline std::vector<Placement> HipRoof(int i_nx, int i_nz, int i_rise) {
  std::vector<Placement> roof;
  for (int i = 0; i < i_nx; ++i) {
    for (int j = 0; j < i_nz; ++j) {
      const std::vector<std::pair<Dir, int>> distances = SideDistances(i_nx, i_nz, i, j);
      int k = distances[0].second;
      for (const auto& entry : distances) k = std::min(k, entry.second);
      std::vector<Dir> sides;
      for (const auto& [side, distance] : distances)
        if (distance == k) sides.push_back(side);
      const int y = k * i_rise;
      if (sides.size() == 1) {
        roof.push_back({k == 0 ? "eave" : "slope", i, j, sides[0], y});
      } else if (sides.size() == 2 && sides[0].x + sides[1].x == 0 && sides[0].z + sides[1].z == 0) {
        roof.push_back({"ridge", i, j, sides[0], y});
      } else if (sides.size() == 2) {
        roof.push_back({k == 0 ? "eavecorner" : "hip", i, j, CornerFacing(sides[0], sides[1]), y});
      } else if (sides.size() == 3) {
        // The ridge runs in from the end that has no opposite among the sides.
        for (const Dir& side : sides) {
          const bool opposed = std::any_of(sides.begin(), sides.end(), [&](const Dir& i_other) {
            return i_other.x == -side.x && i_other.z == -side.z;
          });
          if (!opposed) roof.push_back({"ridgeend", i, j, side, y});
        }
      } else {
        roof.push_back({"peak", i, j, {1, 0}, y});
      }
    }
  }
  return roof;
}

inline std::vector<Placement> RoofOn(Roof i_roof, int i_nx, int i_nz, int i_rise) {
  if (i_roof == Roof::Hip) return HipRoof(i_nx, i_nz, i_rise);
  return GableRoof(i_nx, i_nz, i_roof == Roof::GableAlongZ, i_rise);
}

// A unit file with its positions in whole centimetres.
struct Piece {
  Obj::Mesh mesh;
  std::vector<std::array<long, 3>> cm;
};

// The style's pieces, each read once.
class Kit {
 public:
  Kit(std::string i_folder, std::string i_style) : m_folder(std::move(i_folder)), m_style(std::move(i_style)) {}

  bool has(const std::string& i_kind) const {
    return m_pieces.count(i_kind) != 0 || std::filesystem::exists(m_folder + "/" + m_style + "_" + i_kind + ".obj");
  }

  const Piece& get(const std::string& i_kind) {
    const auto found = m_pieces.find(i_kind);
    if (found != m_pieces.end()) return found->second;
    Piece piece;
    const std::string path = m_folder + "/" + m_style + "_" + i_kind + ".obj";
    if (!Obj::ReadMesh(path, piece.mesh)) throw std::runtime_error("cannot read " + path);
    for (const Ostrel::VectorF& v : piece.mesh.vertices)
      piece.cm.push_back({std::lround(v.x * 100.0), std::lround(v.y * 100.0), std::lround(v.z * 100.0)});
    return m_pieces.emplace(i_kind, std::move(piece)).first->second;
  }

 private:
  std::string m_folder, m_style;
  std::map<std::string, Piece> m_pieces;
};

// Appends a placed piece to one mesh: positions in centimetres, normals turned alike.
inline void Place(Obj::Mesh& io_mesh, const Piece& i_piece, const Placement& i_at) {
  const long ox = 300L * i_at.i, oz = 300L * i_at.j;
  const int dx = i_at.facing.x, dz = i_at.facing.z;
  const auto base = static_cast<std::uint32_t>(io_mesh.vertices.size());
  const auto normalBase = static_cast<std::uint32_t>(io_mesh.normals.size());
  for (const auto& p : i_piece.cm) {
    io_mesh.vertices.emplace_back(static_cast<float>(dx * p[0] - dz * p[2] + ox), static_cast<float>(p[1] + i_at.y),
                                  static_cast<float>(dz * p[0] + dx * p[2] + oz));
  }
  for (const Ostrel::VectorF& n : i_piece.mesh.normals)
    io_mesh.normals.emplace_back(dx * n.x - dz * n.z, n.y, dz * n.x + dx * n.z);
  for (Obj::Corner corner : i_piece.mesh.corners) {
    corner.v += base;
    if (corner.n != Obj::kAbsent) corner.n += normalBase;
    corner.uv = Obj::kAbsent;
    io_mesh.corners.push_back(corner);
  }
  io_mesh.polycount.insert(io_mesh.polycount.end(), i_piece.mesh.polycount.begin(), i_piece.mesh.polycount.end());
}

// How far the style's roof climbs across one cell and how thick its slab is (cm), measured from
// its slope piece: the lowest corner at its head (x = -150) less the lowest at its foot (x = 150),
// and the highest at its foot less the lowest there.
struct Pitch {
  long rise, thick;
};

inline Pitch MeasurePitch(Kit& io_kit) {
  long headLow = 1L << 30, footLow = 1L << 30, footHigh = -(1L << 30);
  for (const auto& p : io_kit.get("slope").cm) {
    if (p[0] == -150) headLow = std::min(headLow, p[1]);
    if (p[0] == 150) footLow = std::min(footLow, p[1]), footHigh = std::max(footHigh, p[1]);
  }
  return {headLow - footLow, footHigh - footLow};
}

// The last storey of an nx by nz footprint and the roof on it, as one mesh.
inline Obj::Mesh Building(Kit& io_kit, Roof i_roof, int i_nx, int i_nz) {
  Obj::Mesh mesh;
  std::vector<Placement> all = StoreyRing(i_nx, i_nz, io_kit.has("floor.1"));
  const std::vector<Placement> roof = RoofOn(i_roof, i_nx, i_nz, static_cast<int>(MeasurePitch(io_kit).rise));
  all.insert(all.end(), roof.begin(), roof.end());
  for (const Placement& at : all) Place(mesh, io_kit.get(at.kind), at);
  return mesh;
}

}  // namespace PitchedRoofs
