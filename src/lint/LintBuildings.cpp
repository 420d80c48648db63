// Buildings placed in memory for the kit linter, checked as one surface.

#include "lint/LintBuildings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <ostrel/ext/Obj.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/utils/NumberFormat.h>

#include "ext/ObjNumbers.h"

namespace Ostrel::Buildings {

namespace {

// How far (cell units) a point may lie off a side of its cell and still be on it.
inline constexpr float kSideTolerance = 1e-4f;

// A float as it reads back from the text the OBJ writer makes of it.
float AsWritten(float i_value) {
  char text[Format::kMaxFloatChars];
  const char* end = Format::AppendFloat(text, i_value);
  const char* pos = text;
  float value = i_value;
  Obj::detail::ReadFloat(pos, end, value);
  return value;
}

// A face of the building and where it comes from.
struct FaceSource {
  PieceId piece;
  std::uint32_t face;         // among the piece's faces
  std::uint32_t firstCorner;  // the face's first corner among the piece's corners
  std::uint32_t placement;    // in LintBuilding::placements
  std::size_t meshCorner;     // the face's first corner in the building's mesh
};

struct LintBuilding {
  Obj::Mesh mesh;  // positions only: cell units, as written
  std::vector<FaceSource> faces;
  std::vector<Placement> placements;  // every one, empty pieces included, with the form placed
  // x, level, roof step, z -> the first placement there
  std::map<std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t>, std::uint32_t> cells;
};

LintBuilding PlaceBuilding(const Plan& i_plan, const Kit& i_kit, const std::vector<PieceId>& i_formOf,
                           const std::vector<char>& i_skip) {
  LintBuilding building;
  ForEachPlacement(i_plan, [&](const Placement& i_placement) {
    Placement placement = i_placement;
    placement.piece = i_formOf[placement.piece];
    if (i_skip[placement.piece]) return;
    const auto index = static_cast<std::uint32_t>(building.placements.size());
    building.placements.push_back(placement);
    building.cells.emplace(std::make_tuple(placement.x, placement.level, placement.step, placement.z), index);
    const Piece& piece = i_kit.piece(placement.piece);
    const auto base = static_cast<std::uint32_t>(building.mesh.vertices.size());
    const PlacementFloats at = FloatsOf(placement);
    for (const VectorF& p : piece.positions) {
      float placed[3];
      PlacePosition(p, at, Frame{}, placed);
      building.mesh.vertices.emplace_back(AsWritten(placed[0]), AsWritten(placed[1]), AsWritten(placed[2]));
    }
    std::uint32_t first = 0;
    for (std::size_t face = 0; face < piece.polycount.size(); ++face) {
      const std::uint32_t count = piece.polycount[face];
      for (std::uint32_t c = first; c < first + count; ++c) {
        building.mesh.corners.push_back({base + piece.corners[c].v, Obj::kAbsent, Obj::kAbsent});
      }
      building.mesh.polycount.push_back(count);
      building.faces.push_back({placement.piece, static_cast<std::uint32_t>(face), first, index,
                                building.mesh.corners.size() - count});
      first += count;
    }
  });
  return building;
}

// The first corner of the face whose edge runs from i_from to i_to, or from i_to to i_from.
std::uint32_t CornerOfEdge(const LintBuilding& i_building, std::size_t i_face, const VectorF& i_from,
                           const VectorF& i_to, const Kit& i_kit) {
  const FaceSource& source = i_building.faces[i_face];
  const Piece& piece = i_kit.piece(source.piece);
  const std::uint32_t count = piece.polycount[source.face];
  const std::size_t first = source.meshCorner;
  const auto at = [&](std::uint32_t i_corner) {
    return i_building.mesh.vertices[i_building.mesh.corners[first + i_corner % count].v];
  };
  const auto same = [](const VectorF& i_a, const VectorF& i_b) {
    return i_a.x == i_b.x && i_a.y == i_b.y && i_a.z == i_b.z;
  };
  for (std::uint32_t corner = 0; corner < count; ++corner) {
    if ((same(at(corner), i_from) && same(at(corner + 1), i_to)) ||
        (same(at(corner), i_to) && same(at(corner + 1), i_from))) {
      return corner;
    }
  }
  return 0;
}

// The sides of the cell that both points (cell units, the piece's frame) lie on: two for an edge
// along an edge of the cell.
std::vector<CellSide> SidesOf(const VectorF& i_a, const VectorF& i_b) {
  const auto on = [](float i_a, float i_b, float i_plane) {
    return std::fabs(i_a - i_plane) <= kSideTolerance && std::fabs(i_b - i_plane) <= kSideTolerance;
  };
  std::vector<CellSide> sides;
  if (on(i_a.x, i_b.x, 0.5f)) sides.push_back(CellSide::PlusX);
  if (on(i_a.x, i_b.x, -0.5f)) sides.push_back(CellSide::MinusX);
  if (on(i_a.z, i_b.z, 0.5f)) sides.push_back(CellSide::PlusZ);
  if (on(i_a.z, i_b.z, -0.5f)) sides.push_back(CellSide::MinusZ);
  if (on(i_a.y, i_b.y, 1.0f)) sides.push_back(CellSide::Top);
  if (on(i_a.y, i_b.y, 0.0f)) sides.push_back(CellSide::Bottom);
  return sides;
}

// The first placement in the cell beside i_placement's cell across i_side; false when none.
bool PlacementBeside(const LintBuilding& i_building, const Placement& i_placement, CellSide i_side,
                     std::uint32_t& o_index) {
  // The piece's +x axis points to (zd, 0, xd) in the building, its +z axis to (-xd, 0, zd).
  std::int64_t dx = 0, dz = 0, dlevel = 0;
  switch (i_side) {
    case CellSide::PlusX:
      dx = i_placement.zd, dz = i_placement.xd;
      break;
    case CellSide::MinusX:
      dx = -i_placement.zd, dz = -i_placement.xd;
      break;
    case CellSide::PlusZ:
      dx = -i_placement.xd, dz = i_placement.zd;
      break;
    case CellSide::MinusZ:
      dx = i_placement.xd, dz = -i_placement.zd;
      break;
    case CellSide::Top:
      dlevel = 1;
      break;
    case CellSide::Bottom:
      dlevel = -1;
      break;
    case CellSide::None:
      return false;
  }
  // Above a storey the next storey; above a roof's cell the next step (its gable's panels stack
  // so); below a roof's cell at step 0 the storey it stands on.
  const bool roof = i_placement.rise != 0 && !(dlevel < 0 && i_placement.step == 0);
  const auto it = i_building.cells.find(std::make_tuple(i_placement.x + dx, i_placement.level + (roof ? 0 : dlevel),
                                                        i_placement.step + (roof ? dlevel : 0), i_placement.z + dz));
  if (it == i_building.cells.end()) return false;
  o_index = it->second;
  return true;
}

// The row of the piece's kind, told by its name, STYLE_KIND or STYLE_KIND.N; false for a name of
// no kind.
bool RowOfPiece(const Kit& i_kit, PieceId i_piece, PieceRow& o_row) {
  const std::string& name = i_kit.piece(i_piece).name;
  const std::size_t underscore = name.find('_');
  if (underscore == std::string::npos) return false;
  const std::string_view suffix = std::string_view(name).substr(underscore + 1);
  PieceKind kind;
  std::uint32_t number = 0;
  if (!KindOfSuffix(suffix, kind) && !VariantOfSuffix(suffix, kind, number)) return false;
  o_row = RuleOf(kind).row;
  return true;
}

// Whether the piece is an inner corner's (or a variant of one), which builds the cells beside its
// own.
bool BuildsCellsBeside(const Kit& i_kit, PieceId i_piece) {
  PieceRow row;
  return RowOfPiece(i_kit, i_piece, row) && row == PieceRow::Inner;
}

// Whether the piece spans several cells: an inner corner's, or one over a terrace's inner corner.
bool SpansCells(const Kit& i_kit, PieceId i_piece) {
  PieceRow row;
  return RowOfPiece(i_kit, i_piece, row) && (row == PieceRow::Inner || row == PieceRow::InnerTerrace);
}

// The pieces of the cells round a point of the building (cell units), on its level and the one
// below: those whose faults could have opened an edge there, of a piece that spans several cells.
void AddPiecesNear(const LintBuilding& i_building, const VectorF& i_point, std::vector<PieceId>& io_pieces) {
  for (const Placement& placement : i_building.placements) {
    const float level = static_cast<float>(placement.level);
    if (std::fabs(static_cast<float>(placement.x) - i_point.x) > 1.5f ||
        std::fabs(static_cast<float>(placement.z) - i_point.z) > 1.5f || i_point.y < level - 1.0f ||
        i_point.y > level + 2.0f)
      continue;
    if (std::find(io_pieces.begin(), io_pieces.end(), placement.piece) == io_pieces.end())
      io_pieces.push_back(placement.piece);
  }
}

// A piece that builds the cells beside its own (an inner corner, on +x and +z) ends on their far
// sides, at 1.5: the placement beyond such a side, two cells out along it, and the side it is
// told as. False when the edge lies on no such side or no piece stands there.
bool PlacementBeyond(const LintBuilding& i_building, const Placement& i_placement, const VectorF& i_a,
                     const VectorF& i_b, CellSide& o_side, std::uint32_t& o_index) {
  const auto on = [](float i_a, float i_b) {
    return std::fabs(i_a - 1.5f) <= kSideTolerance && std::fabs(i_b - 1.5f) <= kSideTolerance;
  };
  std::int64_t ax = 0, az = 0;  // in the piece's own frame
  if (on(i_a.x, i_b.x)) {
    ax = 2;
    o_side = CellSide::PlusX;
  } else if (on(i_a.z, i_b.z)) {
    az = 2;
    o_side = CellSide::PlusZ;
  } else {
    return false;
  }
  // The piece's +x axis points to (zd, 0, xd) in the building, its +z axis to (-xd, 0, zd).
  const std::int64_t dx = ax * i_placement.zd - az * i_placement.xd, dz = ax * i_placement.xd + az * i_placement.zd;
  const auto it = i_building.cells.find(std::make_tuple(i_placement.x + dx, i_placement.level, i_placement.step,
                                                        i_placement.z + dz));
  if (it == i_building.cells.end()) return false;
  o_index = it->second;
  return true;
}

void AddOpenEdge(const LintBuilding& i_building, const MeshCheck::EdgeFinding& i_edge, const Kit& i_kit,
                 BuildingFaults& io_faults) {
  const std::size_t face = i_edge.faces.front();
  const FaceSource& source = i_building.faces[face];
  const Piece& piece = i_kit.piece(source.piece);
  const std::uint32_t corner = CornerOfEdge(i_building, face, i_edge.from, i_edge.to, i_kit);
  const std::uint32_t count = piece.polycount[source.face];
  const std::uint32_t a = piece.corners[source.firstCorner + corner].v;
  const std::uint32_t b = piece.corners[source.firstCorner + (corner + 1) % count].v;
  // Of the sides the edge lies on, the first with a piece beside it, which should have closed it.
  const std::vector<CellSide> sides = SidesOf(piece.positions[a], piece.positions[b]);
  const CellSide* side = sides.empty() ? nullptr : &sides.front();
  std::uint32_t beside = 0;
  bool hasBeside = false;
  std::vector<PieceId> others;
  // An edge on a far side of a piece that builds the cells beside its own: the piece beyond first.
  CellSide far = CellSide::None;
  if (BuildsCellsBeside(i_kit, source.piece) &&
      PlacementBeyond(i_building, i_building.placements[source.placement], piece.positions[a], piece.positions[b], far,
                      beside)) {
    hasBeside = true;
    side = &far;
  }
  for (const CellSide& candidate : sides) {
    std::uint32_t index = 0;
    if (!PlacementBeside(i_building, i_building.placements[source.placement], candidate, index)) continue;
    if (hasBeside) {
      others.push_back(i_building.placements[index].piece);
      continue;
    }
    side = &candidate;
    beside = index;
    hasBeside = true;
  }
  const PieceId neighbour = hasBeside ? i_building.placements[beside].piece : 0;
  if (hasBeside && i_kit.piece(neighbour).empty()) return;
  if (SpansCells(i_kit, source.piece))
    AddPiecesNear(i_building, {(i_edge.from.x + i_edge.to.x) / 2, (i_edge.from.y + i_edge.to.y) / 2,
                               (i_edge.from.z + i_edge.to.z) / 2},
                  others);

  const CellSide group = side ? *side : CellSide::None;
  const auto [it, added] = io_faults.openGroups.try_emplace({source.piece, group}, io_faults.open.size());
  if (added) {
    io_faults.open.push_back(
        {source.piece, group, {source.piece, source.face, corner}, hasBeside, neighbour, 0, others});
  }
  if (io_faults.openEdges.try_emplace({source.piece, group, std::min(a, b), std::max(a, b)}, 0).second) {
    ++io_faults.open[it->second].count;
  }
}

void AddSharedEdge(const LintBuilding& i_building, const MeshCheck::EdgeFinding& i_edge, const Kit& i_kit,
                   BuildingFaults& io_faults) {
  SharedEdge shared{i_edge.fault, {}};
  std::vector<std::tuple<PieceId, std::uint32_t, std::uint32_t>> key;
  for (const std::size_t face : i_edge.faces) {
    const FaceSource& source = i_building.faces[face];
    const std::uint32_t corner = CornerOfEdge(i_building, face, i_edge.from, i_edge.to, i_kit);
    shared.uses.push_back({source.piece, source.face, corner});
    key.emplace_back(source.piece, source.face, corner);
  }
  std::sort(key.begin(), key.end());
  if (io_faults.sharedKeys.try_emplace(key, 0).second) io_faults.shared.push_back(std::move(shared));
}

void AddOverlap(const LintBuilding& i_building, const MeshCheck::OverlapFinding& i_overlap,
                BuildingFaults& io_faults) {
  const FaceSource& a = i_building.faces[i_overlap.first];
  const FaceSource& b = i_building.faces[i_overlap.second];
  PieceEdge first{a.piece, a.face, 0}, second{b.piece, b.face, 0};
  if (std::make_pair(second.piece, second.face) < std::make_pair(first.piece, first.face))
    std::swap(first, second);
  if (!io_faults.overlapKeys
           .try_emplace(
               {static_cast<int>(i_overlap.kind), first.piece, first.face, second.piece, second.face}, 0)
           .second) {
    return;
  }
  io_faults.overlaps.push_back({i_overlap.kind, first, second});
}

}  // namespace

void CheckBuilding(const Plan& i_plan, const Kit& i_kit, const std::vector<PieceId>& i_formOf,
                   const std::vector<char>& i_skip, BuildingFaults& io_faults) {
  const LintBuilding building = PlaceBuilding(i_plan, i_kit, i_formOf, i_skip);
  for (const MeshCheck::EdgeFinding& edge : MeshCheck::FindEdgeFaults(building.mesh)) {
    if (edge.fault != MeshCheck::EdgeFault::Open) {
      AddSharedEdge(building, edge, i_kit, io_faults);
    } else if (edge.from.y != 0 || edge.to.y != 0) {
      AddOpenEdge(building, edge, i_kit, io_faults);
    }
  }
  for (const MeshCheck::OverlapFinding& overlap : MeshCheck::FindOverlaps(building.mesh)) {
    AddOverlap(building, overlap, io_faults);
  }
}

}  // namespace Ostrel::Buildings
