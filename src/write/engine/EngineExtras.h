#pragma once
// The engine extras of one building, made from its placed triangles before a writer writes them:
// a collision hull per block, the lower levels of detail, and a marker at each door. Everything
// is in the frame the caller gives: the building's own frame (its pivot, the output's units, no
// turn and no position), so that a writer puts the extras under the building's node, or turns and
// moves them as it turns and moves the building.
//
// The hull of a block is the box of its placed vertices, or, for the top block of a pitched roof,
// a prism that follows the slopes: the convex hull of the vertices seen along a horizontal axis,
// cut down to five corners (the walls and the two slopes) and drawn out along that axis; of the
// two axes, the one that gives the smaller prism. Either is closed and convex and holds every
// vertex of its block.
//
// The levels of detail are the kit's pieces' levels (PieceLevels.h), laid out as the building is
// and written as a writer writes the building itself, so they are not held here; the last of two
// or more levels is the block boxes (the hulls' solids), each face in the material of the side it
// stands for, toned with the middle of that material's texture coordinates.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/scene/Scene.h>

#include "write/engine/PieceLevels.h"
#include "write/TriangleMesh.h"

namespace Ostrel::Buildings {

// The triangles of one material: three indices each into positions, and a normal per vertex
// (empty for a collision hull, which is never drawn).
struct ExtraPart {
  std::uint32_t material = Obj::kNoMaterial;
  std::vector<VectorF> positions;
  std::vector<VectorF> normals;
  std::vector<std::uint32_t> indices;
  // A level's part of a material with a map: one texture coordinate (glTF's orientation) and one
  // tangent per vertex; empty otherwise.
  std::vector<UV> uvs;
  std::vector<std::array<float, 4>> tangents;
};

// A mesh of parts in ascending material order (Obj::kNoMaterial last).
struct ExtraMesh {
  std::vector<ExtraPart> parts;
  std::uint64_t triangles() const;
  std::uint64_t vertices() const;
};

// An empty node at a door, on its threshold: its +z points out of the building.
struct DoorMarker {
  std::string name;  // "door_" + side and place, such as door_SC
  float translation[3] = {0, 0, 0};
  float rotation[4] = {0, 0, 0, 1};  // a unit quaternion x, y, z, w
};

struct EngineExtras {
  std::vector<ExtraMesh> hulls;          // one a block, positions and indices only
  std::vector<std::string> hullNames;    // one a hull: set by MakeWrittenExtras (HullName)
  // The levels of detail, 1, 2 ...: first those laid out from the pieces' levels, then those
  // made here (the block boxes).
  std::vector<const PieceLevel*> streamed;
  std::vector<ExtraMesh> levels;
  std::vector<DoorMarker> doors;

  std::size_t levelCount() const { return streamed.size() + levels.size(); }

  // The hulls, then the levels made here, numbered from 0.
  std::size_t meshCount() const { return hulls.size() + levels.size(); }
  const ExtraMesh& mesh(std::size_t i_index) const {
    return i_index < hulls.size() ? hulls[i_index] : levels[i_index - hulls.size()];
  }
};

// The extras that i_options asks for, of the building of i_plan (made of i_request) placed in
// i_frame. i_pieces is MakeTriangleMeshes(i_kit), i_pieceLevels MakePieceLevels(i_kit, i_options.lods)
// (null: no level laid out from the pieces).
// i_mapped tells, by kit material id, the materials with a map: a box level's faces of those take
// the middle of their material's coordinates.
EngineExtras MakeEngineExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                              const Request& i_request, const Frame& i_frame, const EngineOptions& i_options,
                              const std::vector<PieceLevel>* i_pieceLevels = nullptr,
                              const std::vector<bool>& i_mapped = {});

// A scene building's extras as a writer writes them: made in the building's own frame, its hulls
// named, their triangles and vertices (and its levels') counted into the report; the materials
// with a map are those that a material file of the kit gives a map_Kd, so that every format makes
// the same levels.
EngineExtras MakeWrittenExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                               const std::vector<PieceLevel>& i_pieceLevels, const SceneBuilding& i_building,
                               const EngineOptions& i_options, SceneReport& io_report);

// The facade material (CardSheets.h) of each piece's style, by piece id: Obj::kNoMaterial for a
// piece of a style whose facade material the kit lacks; empty when the kit has none.
std::vector<std::uint32_t> FacadesOf(const Kit& i_kit);

// The materials that a material file of the kit gives a map_Kd, by kit material id.
std::vector<bool> MappedMaterials(const Kit& i_kit);

// A building seen from afar: the hull level alone (every block's solid, each face in the material
// of its side) and how far it strays from the building: the depth inside the solids of the
// deepest corner of a placed part's box (output units; 0 for a building of solid boxes).
struct FarLevel {
  ExtraMesh mesh;
  double error = 0;
};

// What a far level takes from one part of a piece turned to one facing, wherever it is placed:
// a building's far level then costs a few steps a placed part, not a walk over its vertices.
struct FarPart {
  std::uint32_t material = Obj::kNoMaterial;
  // The box of its positions turned to the facing, cell units, before the cell's move and the
  // frame's scales.
  VectorF low, high;
  // The convex hull's corners of its turned positions seen along z, (x, y), and along x, (z, y):
  // all that a roof's outline needs of them. Cell units, as the box.
  std::vector<std::array<float, 2>> alongZ, alongX;
  // The area of its triangles (output units squared, with the frame's scales) by the side they
  // face: north, east, south, west, up, down; and whether any triangle faces that side.
  std::array<double, 6> areas{};
  std::array<bool, 6> faces{};
  // Its texture coordinates' sums over its triangles' corners: u, v and the count; whether it has
  // texture coordinates.
  std::array<double, 3> uvSums{};
  bool uvs = false;
};

// The far parts of the pieces, by piece, facing and the frame's scales, made as buildings first
// need them and kept for every building after: the buildings of a city share a few hundred.
struct FarPieces {
  struct Key {
    PieceId piece;
    float xd, zd, xscale, yscale, zscale;
    bool operator<(const Key& i_other) const;
  };
  std::map<Key, std::vector<FarPart>> parts;
};

// The far level of the building of i_plan (made of i_request) placed in i_frame, made without
// welding its surface, at a fraction of the cost of the levels of detail. i_mapped as
// MappedMaterials. A building in a frame that neither turns nor moves it (OwnFrame) and of no
// footprint is made from io_pieces' far parts: the same solids and materials, within rounding.
FarLevel MakeFarLevel(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                      const Request& i_request, const Frame& i_frame, const std::vector<bool>& i_mapped,
                      FarPieces& io_pieces);

// The names of a building's collision hulls, one a block: Godot's "<name>-colonly" (blocks after
// the first "<name>_01-colonly" ...), Unreal's "UCX_<name>_00", "UCX_<name>_01" ...
std::string HullName(const std::string& i_building, CollisionNaming i_naming, std::size_t i_block);

// The name of a building's level of detail i_level (0: the building itself): "<name>_LOD<level>".
std::string LevelName(const std::string& i_building, std::size_t i_level);

}  // namespace Ostrel::Buildings
