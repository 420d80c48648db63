// The f lines of one placement: each corner names its vertex, and its texture coordinate and
// normal where it has them, by the output's 1-based numbers, whatever the offsets the placement
// starts at.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include "write/obj/ObjWriter.h"

namespace {

using namespace Ostrel::Buildings;

// Which fields the corners of OnePieceKit's piece name.
enum class Fields { Full, Bare, Mixed };

// One piece of 50 vertices, 45 texture coordinates and 7 normals, with a triangle, a quad, a
// face of 40 corners and another triangle: every corner names all three (Full), its vertex alone
// (Bare), or in turn all three, the vertex, the vertex and texture coordinate, the vertex and
// normal (Mixed); no two fields of a corner have the same index.
Kit OnePieceKit(Fields i_fields) {
  Kit kit;
  Piece piece;
  piece.name = "A_floor";
  for (int i = 0; i < 50; ++i) piece.positions.emplace_back(0.01f * static_cast<float>(i), 0.0f, 0.0f);
  for (int i = 0; i < 45; ++i) piece.uvs.push_back({0.01f * static_cast<float>(i), 0.5f});
  for (int i = 0; i < 7; ++i) piece.normals.emplace_back(0.0f, 1.0f, 0.0f);
  for (const std::uint32_t count : {3u, 4u, 40u, 3u}) {
    const auto first = static_cast<std::uint32_t>(piece.corners.size());
    for (std::uint32_t k = first; k < first + count; ++k) {
      Obj::Corner corner{k % 50, (k * 7 + 3) % 45, k % 7};
      const std::uint32_t kind = i_fields == Fields::Full ? 0 : i_fields == Fields::Bare ? 1 : k % 4;
      if (kind == 1 || kind == 3) corner.uv = Obj::kAbsent;
      if (kind == 1 || kind == 2) corner.n = Obj::kAbsent;
      piece.corners.push_back(corner);
    }
    piece.polycount.push_back(count);
  }
  kit.pieces.push_back(piece);
  return kit;
}

// The f lines the piece's placement at i_start should read, from the corners as they are.
std::string ExpectedFaces(const Piece& i_piece, const Offsets& i_start) {
  std::string text;
  std::size_t corner = 0;
  for (const std::uint32_t count : i_piece.polycount) {
    text += "f ";
    for (std::uint32_t j = 0; j < count; ++j, ++corner) {
      const Obj::Corner& c = i_piece.corners[corner];
      text += std::to_string(i_start.vertices + c.v + 1);
      if (c.uv != Obj::kAbsent || c.n != Obj::kAbsent) text += "/";
      if (c.uv != Obj::kAbsent) text += std::to_string(i_start.uvs + c.uv + 1);
      if (c.n != Obj::kAbsent) text += "/" + std::to_string(i_start.normals + c.n + 1);
      text += " ";
    }
    text += "\n";
  }
  return text;
}

TEST(ObjFaces, NumbersOfEveryLengthAndAcrossAPowerOfTen) {
  Plan plan;
  Ostrel::Buildings::Run run;
  run.period.push_back(Placement{});
  plan.blocks.push_back({{run}, 1});
  // Offsets are vertices, normals, texture coordinates. Numbers of one length in each run, the
  // runs of different lengths; each run in turn crossing a power of ten while the others do not
  // (96 .. 145, 6 .. 12, 9991 .. 10035); all three; the longest numbers.
  const Offsets starts[] = {
      {1000, 20, 123456}, {95, 10, 10},  {100, 5, 10},
      {100, 10, 9990},    {0, 0, 0},     {99999999999900u, 99999999999990u, 99999999999950u},
      {999999999999900u, 999999999999990u, 999999999999950u},
  };
  for (const Fields fields : {Fields::Full, Fields::Bare, Fields::Mixed}) {
    const Kit kit = OnePieceKit(fields);
    for (const Offsets& start : starts) {
      std::ostringstream out;
      {
        const auto writer = MakeObjWriter(out, false);
        WriteObj(*writer, kit, plan, Frame{}, start);
        Flush(*writer);
      }
      const std::string text = out.str();
      const std::size_t faces = text.find("f ");
      ASSERT_NE(faces, std::string::npos);
      EXPECT_EQ(text.substr(faces), ExpectedFaces(kit.pieces[0], start))
          << static_cast<int>(fields) << " from " << start.vertices << ", " << start.uvs << ", " << start.normals;
    }
  }
}

}  // namespace
