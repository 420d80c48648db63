// A piece of millions of vertices is made on two threads: it must be the piece one thread makes.

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include <ostrel/ext/Obj.h>
#include <ostrel/kit/Kit.h>

#include "scene/PlacedBounds.h"

namespace {

using namespace Ostrel::Buildings;
using Ostrel::VectorF;

// More vertices than the two-thread threshold of a piece (2^17), and odd, so that the halves differ.
constexpr std::size_t kLarge = (std::size_t{1} << 17) + 3;

Kit KitOfUnitSize(float i_width, float i_height, float i_length) {
  Kit kit;
  kit.folder = ".";
  kit.unitWidth = i_width;
  kit.unitHeight = i_height;
  kit.unitLength = i_length;
  return kit;
}

// Every vertex goes into cell units once, the last of each half included; a coordinate that
// leaves the float range in the second half alone leaves the piece empty.
TEST(LargePiece, EveryVertexGoesIntoCellUnitsOnce) {
  Obj::Mesh mesh;
  for (std::size_t i = 0; i < kLarge; ++i) {
    const auto f = static_cast<float>(i);
    mesh.vertices.emplace_back(f, -f, 2 * f);
  }
  Kit kit = KitOfUnitSize(2, 4, 8);
  const Piece& piece = kit.piece(AddReadPiece(".", "X_floor", {}, mesh, kit));
  ASSERT_EQ(piece.fault, PieceFault::None);
  ASSERT_EQ(piece.positions.size(), kLarge);
  for (std::size_t i = 0; i < kLarge; ++i) {
    const auto f = static_cast<float>(i);
    ASSERT_TRUE(piece.positions[i].x == f / 2 && piece.positions[i].y == -f / 4 && piece.positions[i].z == f / 4) << i;
  }
  mesh.vertices[kLarge - 2].y = 3e38f;
  Kit tiny = KitOfUnitSize(1, 1e-3f, 1);
  const Piece& refused = tiny.piece(AddReadPiece(".", "X_floor", {}, mesh, tiny));
  EXPECT_EQ(refused.fault, PieceFault::CoordinatesTooLarge);
  EXPECT_TRUE(refused.positions.empty());
}

// The bounds are those of one pass from the first position on: a NaN first position makes them
// NaN, and a NaN elsewhere (here the first of the second half) is passed over.
TEST(LargePiece, BoundsAreThoseOfOnePass) {
  Kit kit;
  Piece piece;
  piece.positions.assign(kLarge, VectorF(0, 0, 0));
  piece.positions[10] = VectorF(-1, 2, 0);
  piece.positions[kLarge / 2] = VectorF(NAN, NAN, NAN);
  piece.positions[kLarge - 1] = VectorF(5, -3, 7);
  kit.pieces.push_back(piece);
  piece.positions.front() = VectorF(NAN, 0, 0);
  kit.pieces.push_back(piece);
  detail::PieceBoxes boxes;
  const detail::PieceBox& box = boxes.of(kit, 0);
  EXPECT_TRUE(box.low.x == -1 && box.low.y == -3 && box.low.z == 0);
  EXPECT_TRUE(box.high.x == 5 && box.high.y == 2 && box.high.z == 7);
  EXPECT_EQ(box.magnitude, 7);
  EXPECT_TRUE(std::isnan(boxes.of(kit, 1).low.x));
  EXPECT_EQ(boxes.of(kit, 1).magnitude, INFINITY);
}

}  // namespace
