// Pieces as glTF draws them, kit materials as glTF materials, and placements as instance
// transforms.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Instance.h>
#include "write/gltf/GltfMaterials.h"
#include "write/TriangleMesh.h"

namespace {

using namespace Ostrel::Buildings;
using Ostrel::UV;
using Ostrel::VectorF;

constexpr std::uint32_t kNone = Obj::kAbsent;

// A piece of one face per entry of i_faces, each a list of corners.
Piece MakePiece(const std::vector<std::vector<Obj::Corner>>& i_faces,
                std::vector<std::uint32_t> i_materials = {}) {
  Piece piece;
  piece.positions = {{0, 0, 0}, {1, 0, 0}, {1, 0, -1}, {0, 0, -1}, {0.5f, 0, -1.5f}, {0.5f, 0, 0}};
  piece.normals = {{0, 2, 0}, {0, 0, 0}, {1, 0, 0}};
  piece.uvs = {{0.25f, 0.75f}, {1, 1}};
  for (const std::vector<Obj::Corner>& face : i_faces) {
    piece.corners.insert(piece.corners.end(), face.begin(), face.end());
    piece.polycount.push_back(static_cast<std::uint32_t>(face.size()));
  }
  piece.faceMaterials = std::move(i_materials);
  return piece;
}

// The area of each triangle of a part (cell units squared).
std::vector<double> TriangleAreas(const MeshPart& i_part) {
  std::vector<double> areas;
  for (std::size_t i = 0; i + 2 < i_part.indices.size(); i += 3) {
    const VectorF& a = i_part.positions[i_part.indices[i]];
    const VectorF& b = i_part.positions[i_part.indices[i + 1]];
    const VectorF& c = i_part.positions[i_part.indices[i + 2]];
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const double x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
    areas.push_back(std::sqrt(x * x + y * y + z * z) / 2);
  }
  return areas;
}

TEST(GltfMesh, PolygonsAreCutIntoTrianglesOfArea) {
  const TriangleMesh pentagon = MakeTriangleMesh(MakePiece({{{0}, {1}, {2}, {4}, {3}}}));
  ASSERT_EQ(pentagon.parts.size(), 1u);
  EXPECT_EQ(pentagon.parts[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 3, 4, 0}));
  EXPECT_EQ(pentagon.parts[0].positions.size(), 5u);
  // A corner on the first side (5 halves 0-1): a fan from corner 0 would give a flat triangle.
  const TriangleMesh collinear = MakeTriangleMesh(MakePiece({{{0}, {5}, {1}, {2}, {3}}}));
  const std::vector<double> areas = TriangleAreas(collinear.parts.at(0));
  ASSERT_EQ(areas.size(), 3u);
  double total = 0;
  for (const double area : areas) {
    EXPECT_GT(area, 0.01);
    total += area;
  }
  EXPECT_NEAR(total, 1.0, 1e-6);
  // A face whose corners lie on one line gives no triangle, nor a part.
  EXPECT_TRUE(MakeTriangleMesh(MakePiece({{{0}, {5}, {1}}})).parts.empty());
}

TEST(GltfMesh, NormalsAreUnitAndFromTheWindingWhereMissing) {
  // Counter-clockwise seen from above: the face's normal is +y. Corner 0 names (0, 2, 0), corner
  // 1 a zero normal, corner 2 none; the fourth names +x, a normal of its own.
  const TriangleMesh piece = MakeTriangleMesh(MakePiece({{{0, kNone, 0}, {1, kNone, 1}, {2}, {3, kNone, 2}}}));
  const std::vector<VectorF>& normals = piece.parts.at(0).normals;
  ASSERT_EQ(normals.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(normals[i].x, 0);
    EXPECT_EQ(normals[i].y, 1);
    EXPECT_EQ(normals[i].z, 0);
  }
  EXPECT_EQ(normals[3].x, 1);
  // Clockwise from above: -y.
  const VectorF down = MakeTriangleMesh(MakePiece({{{3}, {2}, {1}}})).parts.at(0).normals.at(0);
  EXPECT_EQ(down.y, -1);
}

TEST(GltfMesh, VerticesAreSharedOnlyWhenEveryAttributeIsEqual) {
  // Two triangles sharing an edge with equal attributes, then the same positions with another
  // normal: 4 + 3 vertices.
  const TriangleMesh piece = MakeTriangleMesh(
      MakePiece({{{0}, {1}, {2}}, {{0}, {2}, {3}}, {{0, kNone, 2}, {1, kNone, 2}, {2, kNone, 2}}}));
  EXPECT_EQ(piece.parts.at(0).positions.size(), 7u);
  EXPECT_EQ(piece.parts[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6}));
}

TEST(GltfMesh, TextureCoordinatesRunDownTheImageAndOnlyWhereSomeCornerHasOne) {
  const TriangleMesh textured = MakeTriangleMesh(MakePiece({{{0, 0}, {1, 1}, {2}}}));
  const std::vector<UV>& uvs = textured.parts.at(0).uvs;
  ASSERT_EQ(uvs.size(), 3u);
  EXPECT_EQ(uvs[0].u, 0.25f);
  EXPECT_EQ(uvs[0].v, 0.25f);
  EXPECT_EQ(uvs[1].v, 0);
  EXPECT_EQ(uvs[2].u, 0);  // none given: (0, 0)
  EXPECT_EQ(uvs[2].v, 0);
  EXPECT_TRUE(MakeTriangleMesh(MakePiece({{{0}, {1}, {2}}})).parts.at(0).uvs.empty());
}

// A flat primitive of a normal-mapped material may gather parts without texture coordinates:
// theirs too must be unit tangents, perpendicular to the normal, with w 1 or -1.
TEST(GltfMesh, EveryPartHasUnitTangentsWithOrWithoutTextureCoordinates) {
  for (const TriangleMesh& piece :
       {MakeTriangleMesh(MakePiece({{{0, 0}, {1, 1}, {2}}})), MakeTriangleMesh(MakePiece({{{0}, {1}, {2}, {3}}}))}) {
    const MeshPart& part = piece.parts.at(0);
    ASSERT_EQ(part.tangents.size(), part.positions.size());
    for (std::size_t i = 0; i < part.tangents.size(); ++i) {
      const std::array<float, 4>& t = part.tangents[i];
      EXPECT_NEAR(std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]), 1, 1e-6);
      EXPECT_NEAR(t[0] * part.normals[i].x + t[1] * part.normals[i].y + t[2] * part.normals[i].z, 0, 1e-6);
      EXPECT_EQ(std::fabs(t[3]), 1);
    }
  }
}

TEST(GltfMesh, OnePartPerMaterialWithoutMaterialLast) {
  const TriangleMesh piece = MakeTriangleMesh(MakePiece(
      {{{0}, {1}, {2}}, {{0}, {2}, {3}}, {{2}, {4}, {3}}, {{0}, {1}, {3}}}, {Obj::kNoMaterial, 4, 1, 4}));
  ASSERT_EQ(piece.parts.size(), 3u);
  EXPECT_EQ(piece.parts[0].material, 1u);
  EXPECT_EQ(piece.parts[1].material, 4u);
  EXPECT_EQ(piece.parts[1].indices.size(), 6u);
  EXPECT_EQ(piece.parts[2].material, Obj::kNoMaterial);
  EXPECT_NE(piece.part(4), nullptr);
  EXPECT_EQ(piece.part(2), nullptr);
  EXPECT_TRUE(MakeTriangleMesh(Piece{}).parts.empty());
}

TEST(GltfMaterials, MtlValuesBecomePhysicalOnes) {
  EXPECT_EQ(SrgbToLinear(0), 0);
  EXPECT_EQ(SrgbToLinear(1), 1);
  EXPECT_NEAR(SrgbToLinear(0.5f), 0.21404f, 1e-5);
  EXPECT_NEAR(SrgbToLinear(0.02f), 0.02f / 12.92f, 1e-7);
  EXPECT_EQ(SrgbToLinear(1.7f), 1);  // clamped, as glTF's factors are

  Mtl::Library library;
  std::vector<Mtl::Finding> findings;
  Mtl::Parse("newmtl glass pane\nKd 0.5 1 0\nNs 98\nd 0.25\nnewmtl bare\nKd 0.2\nNs -5\n", library, findings);
  const GltfMaterial glass = ConvertMaterial(library.materials.at(0));
  EXPECT_EQ(glass.name, "glass pane");
  EXPECT_NEAR(glass.baseColor[0], 0.21404f, 1e-5);
  EXPECT_EQ(glass.baseColor[1], 1);
  EXPECT_EQ(glass.baseColor[3], 0.25f);
  EXPECT_TRUE(glass.blend());
  EXPECT_NEAR(glass.roughness, std::sqrt(std::sqrt(2.0 / 100)), 1e-7);  // perceptual: alpha = r^2
  const GltfMaterial bare = ConvertMaterial(library.materials.at(1));
  EXPECT_FALSE(bare.blend());
  EXPECT_EQ(bare.roughness, 1);  // a negative exponent counts as 0
  EXPECT_EQ(ConvertMaterial(Mtl::Material{}).roughness, 1);
}

// Where instances land is checked end to end (gltf_output_test); here, that turns by quarters are
// exact and that a frame scales only when it must.
Placement Facing(std::int64_t i_x, std::int64_t i_level, std::int8_t i_xd, std::int8_t i_zd) {
  Placement placement;
  placement.x = i_x;
  placement.level = i_level;
  placement.xd = i_xd;
  placement.zd = i_zd;
  return placement;
}

TEST(Instance, QuarterTurnsAreExact) {
  // A half turn is (0, 1, 0, 0), not (0, 1, 0, 6.1e-17); a quarter turn has equal halves.
  const InstanceTransform half = InstanceOf(Facing(0, 0, 0, -1), Frame{});
  EXPECT_EQ(half.rotation[1], 1);
  EXPECT_EQ(half.rotation[3], 0);
  const InstanceTransform quarter = InstanceOf(Facing(0, 0, 1, 0), Frame{});
  EXPECT_EQ(quarter.rotation[1], -quarter.rotation[3]);
  const InstanceTransform none = InstanceOf(Facing(5, 1, 0, 1), Frame{});
  EXPECT_EQ(none.rotation[1], 0);
  EXPECT_EQ(none.rotation[3], 1);
  EXPECT_EQ(none.translation[0], 5);
  EXPECT_EQ(none.translation[1], 1);
  Frame stretched;
  stretched.zdir = 2;
  EXPECT_TRUE(FrameScales(stretched));
  EXPECT_FALSE(FrameScales(Frame{}));
}

}  // namespace
