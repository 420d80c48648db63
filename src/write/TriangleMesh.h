#pragma once
// A kit's pieces as triangle meshes: triangles over vertices that each carry one position, one
// normal and one texture coordinate, in one group per material. glTF draws them as they are, and
// every format's engine extras (hulls, levels of detail) are made from them.
//
// OBJ corners name a position, a normal and a texture coordinate separately; glTF needs one
// vertex per distinct combination. Polygons are cut into triangles in their own plane
// (Triangulate.h): no triangle of zero area, concave polygons cut inside their outline, and a
// polygon of no area (corners on one line) gives none. A corner without a normal gets its face's normal, from
// the winding (counter-clockwise seen from the front); normals are made unit length, as glTF requires.
// Texture coordinates are turned to glTF's orientation (v runs down the image, OBJ's runs up), and a corner
// without one gets (0, 0) when another corner of its group has one.

#include <array>
#include <cstdint>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

// The faces of one piece that share one material.
struct MeshPart {
  std::uint32_t material = Obj::kNoMaterial;  // kit material id, or Obj::kNoMaterial
  std::vector<VectorF> positions;             // cell units, one per vertex
  std::vector<VectorF> normals;               // unit length, one per vertex
  std::vector<UV> uvs;                        // one per vertex; empty when no corner has one
  std::vector<std::array<float, 4>> tangents;  // one per vertex, from the uvs where it has them (GltfTangents.h)
  std::vector<std::uint32_t> indices;         // three per triangle, 0-based into the vertices
  VectorF low, high;                          // the smallest and largest x, y and z of the positions
};

struct TriangleMesh {
  std::vector<MeshPart> parts;  // by ascending material id (Obj::kNoMaterial last); none without faces

  // The part of that material, or null.
  const MeshPart* part(std::uint32_t i_material) const {
    for (const MeshPart& part : parts) {
      if (part.material == i_material) return &part;
    }
    return nullptr;
  }
};

// The glTF form of one piece.
TriangleMesh MakeTriangleMesh(const Piece& i_piece);

// The glTF form of every piece of the kit, indexed by PieceId.
std::vector<TriangleMesh> MakeTriangleMeshes(const Kit& i_kit);

// The unit normal of a polygon from its winding (Newell's method over its corners' positions),
// or +y when the polygon has no area.
VectorF FaceNormal(const std::vector<VectorF>& i_positions, const Obj::Corner* i_corners,
                   std::uint32_t i_count);

// Calls i_visit(xyz) with the eight corners of each placed part's box, placed in the frame as
// PlacePosition places the part's vertices (xyz: three floats, output units): a cheap stand-in
// for every vertex the plan places, which the boxes' corners enclose. i_pieces is
// MakeTriangleMeshes(i_kit).
template <typename Visit>
void ForEachPlacedBoxCorner(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                            const Frame& i_frame, Visit&& i_visit) {
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    const PlacementFloats at = FloatsOf(i_placement);
    for (const MeshPart& part : i_pieces[i_placement.piece].parts) {
      for (int corner = 0; corner < 8; ++corner) {
        const VectorF p((corner & 1) ? part.high.x : part.low.x, (corner & 2) ? part.high.y : part.low.y,
                        (corner & 4) ? part.high.z : part.low.z);
        float xyz[3];
        PlacePosition(p, at, i_frame, xyz);
        i_visit(static_cast<const float*>(xyz));
      }
    }
  });
}

}  // namespace Ostrel::Buildings
