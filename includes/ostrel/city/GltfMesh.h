#pragma once
// A kit's pieces as glTF draws them: triangles over vertices that each carry one position, one
// normal and one texture coordinate, in one group per material.
//
// OBJ corners name a position, a normal and a texture coordinate separately; glTF needs one
// vertex per distinct combination. Polygons become triangle fans, as OBJ readers make them. A
// corner without a normal gets its face's normal, from the winding (counter-clockwise seen from
// the front); normals are made unit length, as glTF requires. Texture coordinates are turned to
// glTF's orientation (v runs down the image, OBJ's runs up), and a corner without one gets
// (0, 0) when another corner of its group has one.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include <ostrel/city/Kit.h>
#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>

namespace Ostrel::City {

// The faces of one piece that share one material.
struct GltfPart {
  std::uint32_t material = Obj::kNoMaterial;  // kit material id, or Obj::kNoMaterial
  std::vector<VectorF> positions;             // cell units, one per vertex
  std::vector<VectorF> normals;               // unit length, one per vertex
  std::vector<UV> uvs;                        // one per vertex; empty when no corner has one
  std::vector<std::uint32_t> indices;         // three per triangle, 0-based into the vertices
  VectorF low, high;                          // the smallest and largest x, y and z of the positions
};

struct GltfPiece {
  std::vector<GltfPart> parts;  // by ascending material id (Obj::kNoMaterial last); none without faces

  // The part of that material, or null.
  const GltfPart* part(std::uint32_t i_material) const {
    for (const GltfPart& part : parts) {
      if (part.material == i_material) return &part;
    }
    return nullptr;
  }
};

// The glTF form of one piece.
GltfPiece MakeGltfPiece(const Piece& i_piece);

// The glTF form of every piece of the kit, indexed by PieceId.
std::vector<GltfPiece> MakeGltfPieces(const Kit& i_kit);

// The unit normal of a polygon from its winding (Newell's method over its corners' positions),
// or +y when the polygon has no area.
VectorF FaceNormal(const std::vector<VectorF>& i_positions, const Obj::Corner* i_corners, std::uint32_t i_count);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// i_vector made unit length, or false when it has no length (or is not finite).
inline bool Unit(double i_x, double i_y, double i_z, VectorF& o_unit) {
  const double length = std::sqrt(i_x * i_x + i_y * i_y + i_z * i_z);
  if (!(length > 0) || !std::isfinite(length)) return false;
  o_unit = VectorF(static_cast<float>(i_x / length), static_cast<float>(i_y / length),
                   static_cast<float>(i_z / length));
  return true;
}

inline std::uint32_t FloatBits(float i_value) {
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  return bits;
}

// One vertex: its position's index, then the bits of its normal and texture coordinate.
using VertexKey = std::array<std::uint32_t, 6>;

// Builds one part, vertex by vertex, sharing vertices that are equal in every attribute.
struct PartBuilder {
  GltfPart part;
  std::map<VertexKey, std::uint32_t> known;
  std::vector<UV> uvs;  // kept aside until the part is known to have texture coordinates
  bool anyUv = false;

  std::uint32_t vertex(const Piece& i_piece, const Obj::Corner& i_corner, const VectorF& i_faceNormal) {
    VectorF normal = i_faceNormal;
    if (i_corner.n != Obj::kAbsent) {
      const VectorF& n = i_piece.normals[i_corner.n];
      if (!Unit(n.x, n.y, n.z, normal)) normal = i_faceNormal;
    }
    UV uv(0, 0);
    if (i_corner.uv != Obj::kAbsent) {
      uv = UV(i_piece.uvs[i_corner.uv].u, 1.0f - i_piece.uvs[i_corner.uv].v);
      anyUv = true;
    }
    const VertexKey key = {i_corner.v,       FloatBits(normal.x), FloatBits(normal.y),
                           FloatBits(normal.z), FloatBits(uv.u),     FloatBits(uv.v)};
    const auto [it, added] = known.emplace(key, static_cast<std::uint32_t>(part.positions.size()));
    if (added) {
      part.positions.push_back(i_piece.positions[i_corner.v]);
      part.normals.push_back(normal);
      uvs.push_back(uv);
    }
    return it->second;
  }
};

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline VectorF FaceNormal(const std::vector<VectorF>& i_positions, const Obj::Corner* i_corners,
                          std::uint32_t i_count) {
  double x = 0, y = 0, z = 0;
  for (std::uint32_t i = 0; i < i_count; ++i) {
    const VectorF& a = i_positions[i_corners[i].v];
    const VectorF& b = i_positions[i_corners[(i + 1) % i_count].v];
    x += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
    y += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
    z += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
  }
  VectorF normal(0, 1, 0);
  detail::Unit(x, y, z, normal);
  return normal;
}

inline GltfPiece MakeGltfPiece(const Piece& i_piece) {
  std::map<std::uint32_t, detail::PartBuilder> builders;  // by material id, in ascending order
  const Obj::Corner* corners = i_piece.corners.data();
  for (std::size_t face = 0; face < i_piece.polycount.size(); ++face) {
    const std::uint32_t count = i_piece.polycount[face];
    const std::uint32_t material = i_piece.faceMaterials.empty() ? Obj::kNoMaterial : i_piece.faceMaterials[face];
    detail::PartBuilder& builder = builders[material];
    const VectorF faceNormal = FaceNormal(i_piece.positions, corners, count);
    const std::uint32_t first = builder.vertex(i_piece, corners[0], faceNormal);
    std::uint32_t previous = builder.vertex(i_piece, corners[1], faceNormal);
    for (std::uint32_t i = 2; i < count; ++i) {
      const std::uint32_t next = builder.vertex(i_piece, corners[i], faceNormal);
      builder.part.indices.insert(builder.part.indices.end(), {first, previous, next});
      previous = next;
    }
    corners += count;
  }
  GltfPiece piece;
  for (auto& [material, builder] : builders) {
    GltfPart& part = builder.part;
    part.material = material;
    if (builder.anyUv) part.uvs = std::move(builder.uvs);
    part.low = part.high = part.positions.front();
    for (const VectorF& p : part.positions) {
      part.low = VectorF(std::min(part.low.x, p.x), std::min(part.low.y, p.y), std::min(part.low.z, p.z));
      part.high = VectorF(std::max(part.high.x, p.x), std::max(part.high.y, p.y), std::max(part.high.z, p.z));
    }
    piece.parts.push_back(std::move(part));
  }
  return piece;
}

inline std::vector<GltfPiece> MakeGltfPieces(const Kit& i_kit) {
  std::vector<GltfPiece> pieces;
  pieces.reserve(i_kit.pieces.size());
  for (const Piece& piece : i_kit.pieces) pieces.push_back(MakeGltfPiece(piece));
  return pieces;
}

}  // namespace Ostrel::City
