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
// The levels of detail are the building's triangles, welded into one surface, simplified by
// meshoptimizer: the edges between materials stay as seams and the open borders are locked, so
// that outlines and silhouette stay, unless that cannot reach the count (then the borders are let
// go, and last the sloppy simplifier merges whatever lies near, each triangle taking the material
// of its corners that covers most). The last of two or more levels is the block hulls, each face
// in the material of the side it stands for.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/scene/Scene.h>

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
  std::vector<ExtraMesh> levels;         // levels of detail 1, 2 ...: each with fewer triangles
  std::vector<DoorMarker> doors;

  // The hulls, then the levels, numbered from 0.
  std::size_t meshCount() const { return hulls.size() + levels.size(); }
  const ExtraMesh& mesh(std::size_t i_index) const {
    return i_index < hulls.size() ? hulls[i_index] : levels[i_index - hulls.size()];
  }
};

// The extras that i_options asks for, of the building of i_plan (made of i_request) placed in
// i_frame. i_pieces is MakeTriangleMeshes(i_kit).
// i_mapped tells, by kit material id, the materials with a map: the levels' triangles of those
// keep the texture coordinates of the building's vertices (a level made of the hulls, the middle
// of its material's coordinates).
EngineExtras MakeEngineExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                              const Request& i_request, const Frame& i_frame, const EngineOptions& i_options,
                              const std::vector<bool>& i_mapped = {});

// A scene building's extras as a writer writes them: made in the building's own frame, its hulls
// named, their triangles and vertices counted into the report; the materials with a map are
// those that a material file of the kit gives a map_Kd, so that every format makes the same
// levels.
EngineExtras MakeWrittenExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                               const SceneBuilding& i_building, const EngineOptions& i_options,
                               SceneReport& io_report);

// The materials that a material file of the kit gives a map_Kd, by kit material id.
std::vector<bool> MappedMaterials(const Kit& i_kit);

// A building seen from afar: the hull level alone (every block's solid, each face in the material
// of its side) and how far it strays from the building: the depth inside the solids of the
// deepest corner of a placed part's box (output units; 0 for a building of solid boxes).
struct FarLevel {
  ExtraMesh mesh;
  double error = 0;
};

// The far level of the building of i_plan (made of i_request) placed in i_frame, made without
// welding its surface, at a fraction of the cost of the levels of detail. i_mapped as
// MappedMaterials.
FarLevel MakeFarLevel(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                      const Request& i_request, const Frame& i_frame, const std::vector<bool>& i_mapped);

// The names of a building's collision hulls, one a block: Godot's "<name>-colonly" (blocks after
// the first "<name>_01-colonly" ...), Unreal's "UCX_<name>_00", "UCX_<name>_01" ...
std::string HullName(const std::string& i_building, CollisionNaming i_naming, std::size_t i_block);

// The name of a building's level of detail i_level (0: the building itself): "<name>_LOD<level>".
std::string LevelName(const std::string& i_building, std::size_t i_level);

}  // namespace Ostrel::Buildings
