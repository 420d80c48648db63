// A kit's pieces as glTF draws them.

#include "write/TriangleMesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include <ostrel/ext/Triangulate.h>

#include "write/gltf/GltfTangents.h"

namespace Ostrel::Buildings {

namespace {

// i_vector made unit length, or false when it has no length (or is not finite).
bool Unit(double i_x, double i_y, double i_z, VectorF& o_unit) {
  const double length = std::sqrt(i_x * i_x + i_y * i_y + i_z * i_z);
  if (!(length > 0) || !std::isfinite(length)) return false;
  o_unit = VectorF(static_cast<float>(i_x / length), static_cast<float>(i_y / length),
                   static_cast<float>(i_z / length));
  return true;
}

std::uint32_t FloatBits(float i_value) {
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  return bits;
}

// One vertex: its position's index, then the bits of its normal and texture coordinate.
using VertexKey = std::array<std::uint32_t, 6>;

// Builds one part, vertex by vertex, sharing vertices that are equal in every attribute.
struct PartBuilder {
  MeshPart part;
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
    const VertexKey key = {i_corner.v,          FloatBits(normal.x), FloatBits(normal.y),
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

}  // namespace

VectorF FaceNormal(const std::vector<VectorF>& i_positions, const Obj::Corner* i_corners,
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
  Unit(x, y, z, normal);
  return normal;
}

TriangleMesh MakeTriangleMesh(const Piece& i_piece) {
  std::map<std::uint32_t, PartBuilder> builders;  // by material id, in ascending order
  std::vector<VectorF> polygon;                   // the face's corners' positions
  std::vector<Triangulation::CornerTriangle> triangles;
  const Obj::Corner* corners = i_piece.corners.data();
  for (std::size_t face = 0; face < i_piece.polycount.size(); ++face) {
    const std::uint32_t count = i_piece.polycount[face];
    const std::uint32_t material =
        i_piece.faceMaterials.empty() ? Obj::kNoMaterial : i_piece.faceMaterials[face];
    polygon.clear();
    for (std::uint32_t i = 0; i < count; ++i) polygon.push_back(i_piece.positions[corners[i].v]);
    triangles.clear();
    Triangulation::CutPolygon(polygon, triangles);
    if (!triangles.empty()) {
      PartBuilder& builder = builders[material];
      const VectorF faceNormal = FaceNormal(i_piece.positions, corners, count);
      for (const Triangulation::CornerTriangle& triangle : triangles) {
        for (const std::uint32_t corner : triangle) {
          builder.part.indices.push_back(builder.vertex(i_piece, corners[corner], faceNormal));
        }
      }
    }
    corners += count;
  }
  TriangleMesh piece;
  for (auto& [material, builder] : builders) {
    MeshPart& part = builder.part;
    part.material = material;
    if (builder.anyUv) part.uvs = std::move(builder.uvs);
    // Every part has tangents: a flat primitive of a normal-mapped material may gather parts
    // with and without texture coordinates, and glTF wants a unit tangent at every vertex.
    part.tangents = MakeTangents(part);
    part.low = part.high = part.positions.front();
    for (const VectorF& p : part.positions) {
      part.low = VectorF(std::min(part.low.x, p.x), std::min(part.low.y, p.y), std::min(part.low.z, p.z));
      part.high = VectorF(std::max(part.high.x, p.x), std::max(part.high.y, p.y), std::max(part.high.z, p.z));
    }
    piece.parts.push_back(std::move(part));
  }
  return piece;
}

std::vector<TriangleMesh> MakeTriangleMeshes(const Kit& i_kit) {
  std::vector<TriangleMesh> pieces;
  pieces.reserve(i_kit.pieces.size());
  for (const Piece& piece : i_kit.pieces) pieces.push_back(MakeTriangleMesh(piece));
  return pieces;
}

}  // namespace Ostrel::Buildings
