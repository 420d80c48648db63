// The cards' pictures: the rasterizer draws a piece's side as seen from outside, the right way up
// and round, nearest face first, and a card's quad maps its tile the same way round.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include <ostrel/kit/Kit.h>

#include "write/TriangleMesh.h"
#include "write/engine/CardRaster.h"
#include "write/engine/PieceLevels.h"
#include "write/engine/SheetTones.h"

namespace {

using namespace Ostrel::Buildings;
using Ostrel::UV;
using Ostrel::VectorF;

// Material ids of the test's plain colours.
enum : std::uint32_t { kWall, kDark, kBack, kVeil };

// Adds an axis-aligned quad facing +x or -x at depth x, over y0..y1 and z0..z1, wound to face
// along i_facing.
void AddQuad(MeshPart& io_part, float i_x, float i_y0, float i_y1, float i_z0, float i_z1, float i_facing) {
  const auto first = static_cast<std::uint32_t>(io_part.positions.size());
  for (const VectorF& p : {VectorF(i_x, i_y0, i_z0), VectorF(i_x, i_y0, i_z1), VectorF(i_x, i_y1, i_z1),
                           VectorF(i_x, i_y1, i_z0)}) {
    io_part.positions.push_back(p);
    io_part.normals.push_back(VectorF(i_facing, 0, 0));
  }
  const std::vector<std::uint32_t> out = {0, 2, 1, 0, 3, 2};  // counter-clockwise seen from +x
  const std::vector<std::uint32_t> in = {0, 1, 2, 0, 2, 3};
  for (const std::uint32_t k : i_facing > 0 ? out : in) io_part.indices.push_back(first + k);
}

MeshPart Part(std::uint32_t i_material) {
  MeshPart part;
  part.material = i_material;
  return part;
}

SheetTones PlainTones() {
  SheetTones tones;
  tones.sheetOf = {-1, -1, -1, -1};
  tones.plain = {Colour{200, 200, 200}, Colour{20, 20, 20}, Colour{250, 0, 0}, Colour{0, 0, 250}};
  return tones;
}

// A wall on the cell's +x side, a dark square over its top +z quarter standing out of it, a
// red face behind the wall looking in, and a blue veil (half opaque) over its bottom -z quarter.
TriangleMesh TestWall() {
  TriangleMesh mesh;
  MeshPart wall = Part(kWall), dark = Part(kDark), back = Part(kBack), veil = Part(kVeil);
  AddQuad(wall, 0.5f, 0, 1, -0.5f, 0.5f, 1);
  AddQuad(dark, 0.52f, 0.5f, 1, 0, 0.5f, 1);
  AddQuad(back, 0.45f, 0, 1, -0.5f, 0.5f, -1);
  AddQuad(back, 0.4f, 0, 1, -0.5f, 0.5f, 1);  // behind the wall: hidden
  AddQuad(veil, 0.55f, 0, 0.5f, -0.5f, 0, 1);
  mesh.parts = {wall, dark, back, veil};
  return mesh;
}

TEST(CardRaster, APictureShowsTheSideFromOutsideNearestFaceFirstTheRightWayUp) {
  const TriangleMesh mesh = TestWall();
  const std::array<CardSide, 4> sides = CardSides(mesh, nullptr);
  ASSERT_TRUE(sides[0].shown);
  for (std::size_t s = 1; s < 4; ++s) EXPECT_FALSE(sides[s].shown) << s;
  const CardPicture picture = DrawCardSide(mesh, sides[0], PlainTones(), {1, 1, 1, 0.5}, 8);
  ASSERT_EQ(picture.colour.size(), 8u * 8u * 3u);
  // Rows run down from the top, columns as z grows.
  const auto at = [&](int i_row, int i_column, int i_channel) {
    return picture.colour[static_cast<std::size_t>((i_row * 8 + i_column) * 3 + i_channel)];
  };
  EXPECT_EQ(at(1, 6, 0), 20);   // the dark square: top, +z
  EXPECT_EQ(at(1, 1, 0), 200);  // the wall beside it: top, -z
  EXPECT_EQ(at(6, 6, 0), 200);  // the wall below it
  EXPECT_EQ(at(6, 1, 0), 100);  // the veil over the wall, half of each
  EXPECT_EQ(at(6, 1, 2), 225);
  // Flat faces facing out have the card's own normal.
  for (std::size_t i = 0; i < picture.normal.size(); i += 3) {
    EXPECT_EQ(picture.normal[i], 128);
    EXPECT_EQ(picture.normal[i + 2], 255);
  }
}

TEST(CardRaster, ACardsQuadMapsItsTileTheWayThePictureRuns) {
  // The test wall as a piece: each triangle a face of its own.
  const TriangleMesh mesh = TestWall();
  Piece piece;
  piece.name = "T_wall";
  for (const MeshPart& part : mesh.parts) {
    for (const std::uint32_t index : part.indices) {
      Obj::Corner corner;
      corner.v = static_cast<std::uint32_t>(piece.positions.size());
      corner.n = static_cast<std::uint32_t>(piece.normals.size());
      piece.positions.push_back(part.positions[index]);
      piece.normals.push_back(part.normals[index]);
      piece.corners.push_back(corner);
    }
    for (std::size_t t = 0; t < part.indices.size() / 3; ++t) {
      piece.polycount.push_back(3);
      piece.faceMaterials.push_back(part.material);
    }
  }
  std::array<CardTile, 4> tiles;
  tiles[0] = {7, UV(0.25f, 0.5f), UV(0.375f, 0.75f)};
  const TriangleMesh card = MakeTriangleMesh(CardPiece(piece, piece, nullptr, &tiles));
  const MeshPart* quad = card.part(7);
  ASSERT_NE(quad, nullptr);
  ASSERT_EQ(quad->indices.size(), 6u);
  for (const std::uint32_t index : quad->indices) {
    const VectorF& p = quad->positions[index];
    const UV& uv = quad->uvs[index];
    // The top of the side is the tile's top (glTF's v runs down); +z is the tile's right.
    EXPECT_FLOAT_EQ(uv.v, p.y > 0.5f ? 0.5f : 0.75f) << p.y;
    EXPECT_FLOAT_EQ(uv.u, p.z > 0 ? 0.375f : 0.25f) << p.z;
  }
}

}  // namespace
