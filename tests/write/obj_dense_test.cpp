// A large piece's v and f lines made on two threads: the same bytes as on one, in the same order.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <streambuf>
#include <utility>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include "write/obj/ObjWriter.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

// Style A with each floor piece a cloud of i_vertices vertices (cell units, few repeated values),
// each with a normal and a texture coordinate, in triangles of consecutive vertices.
Kit CloudKit(std::size_t i_vertices) {
  Kit kit = LoadKit(TestSupport::kShipped, {"A"});
  std::uint64_t state = 12345;
  const auto next = [&state] {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<float>(state >> 40) / static_cast<float>(1u << 24) - 0.5f;
  };
  for (Piece& piece : kit.pieces) {
    if (piece.name.rfind("A_floor", 0) != 0) continue;
    TestSupport::EmptyPiece(piece);
    for (std::size_t i = 0; i < i_vertices; ++i) {
      piece.positions.emplace_back(next(), next() + 0.5f, next());
      piece.normals.emplace_back(next(), next(), next());
      piece.uvs.push_back({next() + 0.5f, next() + 0.5f});
    }
    for (std::size_t i = 0; i + 3 <= i_vertices; i += 3) {
      for (std::size_t k = i; k < i + 3; ++k) {
        const auto index = static_cast<std::uint32_t>(k);
        piece.corners.push_back({index, index, index});
      }
      piece.polycount.push_back(3);
    }
  }
  return kit;
}

// The bytes a stream is given, as their count and a hash of each MiB in turn: tens of MiB are
// compared without being kept, whatever the writes they came in.
class HashingBuffer : public std::streambuf {
 public:
  std::uint64_t bytes = 0;

  std::uint64_t hash() {
    addBlock();
    return m_hash;
  }

 protected:
  std::streamsize xsputn(const char* i_text, std::streamsize i_count) override {
    for (std::streamsize done = 0; done < i_count;) {
      const auto part = std::min<std::streamsize>(i_count - done, static_cast<std::streamsize>(kBlock - m_block.size()));
      m_block.append(i_text + done, static_cast<std::size_t>(part));
      done += part;
      if (m_block.size() == kBlock) addBlock();
    }
    bytes += static_cast<std::uint64_t>(i_count);
    return i_count;
  }
  int_type overflow(int_type i_c) override {
    if (traits_type::eq_int_type(i_c, traits_type::eof())) return traits_type::not_eof(i_c);
    const char c = traits_type::to_char_type(i_c);
    xsputn(&c, 1);
    return i_c;
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  void addBlock() {
    m_hash = m_hash * 1099511628211u + std::hash<std::string>()(m_block);
    m_block.clear();
  }
  std::string m_block;
  std::uint64_t m_hash = 0;
};

// The bytes' count and hash; with i_columnBytes, the writer keeps that many bytes of coordinate
// text instead of what the kit allows; with i_ownThread, full buffers (and the helper's lines,
// lent) are written on a thread of their own.
std::pair<std::uint64_t, std::uint64_t> DenseText(const Kit& i_kit, const Plan& i_plan, const Frame& i_frame,
                                                   unsigned i_jobs, std::size_t i_columnBytes = 0,
                                                   bool i_ownThread = false) {
  HashingBuffer buffer;
  std::ostream out(&buffer);
  {
    const auto writer = MakeObjWriter(out, i_ownThread);
    writer->jobs = i_jobs;
    if (i_columnBytes != 0) {
      // Readied for the kit as its first building would, then the budget set.
      WriteObj(*writer, i_kit, Plan{}, i_frame, {});
      writer->columnBudget = i_columnBytes;
    }
    WriteObj(*writer, i_kit, i_plan, i_frame, {});
    Flush(*writer);
  }
  return {buffer.bytes, buffer.hash()};
}

TEST(ObjDense, TwoThreadsWriteTheBytesOfOne) {
  // Fewer vertices than two threads share; halves (odd); runs of lines in turn, the last the
  // helper's and short. The normals of a stretched building, and those and the texture
  // coordinates past the ready text's budget, are made afresh at every placement.
  Frame stretched = CityFrame(2.5, 1, -4, 30);
  stretched.xstretch = 1.5f;
  for (const std::size_t vertices : {5000u, 10001u, 200000u}) {
    const Kit kit = CloudKit(vertices);
    const Plan plan = MakePlan(MakeRequest("A", "NC", {}, {}, 3, 3, 2), kit);
    for (const Frame& frame : {CityFrame(2.5, 1, -4, 30), stretched}) {
      const auto one = DenseText(kit, plan, frame, 1);
      ASSERT_GT(one.first, 2 * vertices * 50);
      EXPECT_EQ(DenseText(kit, plan, frame, 2), one) << vertices;
      // The helper's lines lent to the writing thread, in turn with the buffers handed to it.
      EXPECT_EQ(DenseText(kit, plan, frame, 2, 0, true), one) << vertices;
    }
  }
}

TEST(ObjDense, OnlyAHugePieceTakesTheHelperAtJobsOne) {
  // At jobs 1 a writer that may use the helper for huge pieces starts it for a piece of two whole
  // runs of lines, not for one of 20,000 vertices, and writes the bytes of one thread either way.
  for (const std::size_t vertices : {20000u, 140000u}) {
    const Kit kit = CloudKit(vertices);
    const Plan plan = MakePlan(MakeRequest("A", "NC", {}, {}, 1, 1, 2), kit);
    HashingBuffer buffer;
    std::ostream out(&buffer);
    bool helped = false;
    {
      const auto writer = MakeObjWriter(out, false);
      writer->hugePieceHelper = true;
      WriteObj(*writer, kit, plan, Frame{}, {});
      Flush(*writer);
      helped = writer->denseHelper != nullptr;
    }
    EXPECT_EQ(helped, vertices > 131072) << vertices;
    EXPECT_EQ(std::make_pair(buffer.bytes, buffer.hash()), DenseText(kit, plan, Frame{}, 1)) << vertices;
  }
}

// CloudKit with vertices whose placed texts a kept text cannot hold or that show a sign: at the
// corner of cell 0 (0, or -0 in a frame that mirrors x), and near it texts of 9 and more bytes and
// in exponent notation.
Kit EdgeCloudKit(std::size_t i_vertices) {
  Kit kit = CloudKit(i_vertices);
  for (Piece& piece : kit.pieces) {
    if (piece.name.rfind("A_floor", 0) != 0) continue;
    piece.positions[0] = {0.0f, 0.5f, 0.0f};
    piece.positions[1] = {0.0123457f, 0.25f, -0.00123457f};
    piece.positions[2] = {1e-5f, 0.5f, -3e-5f};
    piece.positions[3] = {-0.25f, 0.125f, 0.25f};
  }
  return kit;
}

TEST(ObjDense, KeptColumnsWriteTheBytesOfNone) {
  // Budgets that keep no column, the height alone, the height and z, those of the first piece and
  // the height of the next, or everything (x too, where it would be copied): the same text. In
  // the plain frame, a building of one cell turns each side by 90 degrees from the last, so that
  // x is z of the side before with the sign flipped, and one of three cells runs its facades
  // along x and z; the mirrored frame makes -0 of a 0; the city frame's turn makes no coordinate
  // of one placement another's.
  constexpr std::size_t kVertices = 5000;
  const Kit kit = EdgeCloudKit(kVertices);
  Frame mirrored;
  mirrored.xscale = -1.0f;
  mirrored.xpos = -0.0f;
  const std::size_t column = kVertices * sizeof(detail::CoordinateText);
  for (const int width : {3, 1}) {
    const Plan plan = MakePlan(MakeRequest("A", "NC", {}, {}, width, width, 2), kit);
    for (const Frame& frame : {Frame{}, mirrored, CityFrame(2.5, 1, -4, 30)}) {
      const auto none = DenseText(kit, plan, frame, 1, 1);
      for (const std::size_t budget : {column, 2 * column, 4 * column, std::size_t{0}}) {
        EXPECT_EQ(DenseText(kit, plan, frame, 1, budget), none)
            << width << " wide, " << budget / column << " columns";
      }
      EXPECT_EQ(DenseText(kit, plan, frame, 2), none) << width << " wide";
    }
  }
}

TEST(ObjDense, XIsKeptWhereItWouldBeCopied) {
  // Along the facades of a building three cells wide, x of a placement is x of the last: x is
  // kept. A building of one cell places each piece turned from its last placement, where neither
  // x nor z has the magnitude of the last x: x is not kept.
  const Kit kit = CloudKit(5000);
  for (const int width : {3, 1}) {
    const Plan plan = MakePlan(MakeRequest("A", "NC", {}, {}, width, width, 3), kit);
    std::ostringstream out;
    const auto writer = MakeObjWriter(out, false);
    WriteObj(*writer, kit, plan, Frame{}, {});
    bool keptX = false;
    for (const detail::PieceText& text : writer->texts) keptX = keptX || !text.columns[0].empty();
    EXPECT_EQ(keptX, width == 3) << width;
  }
}

TEST(ObjDense, APlainFramePlacesAsTheGeneralWay) {
  // The default frame takes a shorter placing. Pivots of -0, not the default's bits, take the
  // general one, which places every coordinate at the same bits.
  const Kit kit = CloudKit(5000);
  const Plan plan = MakePlan(MakeRequest("A", "NC", {}, {}, 3, 3, 2), kit);
  Frame negativeZeros;
  negativeZeros.xpivot = -0.0f;
  negativeZeros.zpivot = -0.0f;
  EXPECT_EQ(DenseText(kit, plan, Frame{}, 1), DenseText(kit, plan, negativeZeros, 1));
}

// A piece of 30,000 vertices (each with a texture coordinate and a normal) whose corners name
// fields as i_kind says: 0 all three, 1 the vertex alone, 2 each corner in turn all three, the
// vertex, the vertex and texture coordinate, the vertex and normal. Its 60,000 triangles come in
// runs of three materials, the last a run of none, with a face of 40 corners in the first. They
// name scattered indices, with a face longer than the helper's buffer holds in the second run,
// or, i_near, indices near each other, as faces in the order of their vertices do.
Kit ChunkedFacesKit(int i_kind, bool i_near) {
  constexpr std::uint32_t kVertices = 30000;
  Kit kit;
  kit.materials = {"brick", "glass"};
  Piece piece;
  piece.name = "A_floor";
  for (std::uint32_t i = 0; i < kVertices; ++i) {
    piece.positions.emplace_back(0.001f * static_cast<float>(i), 0.0f, 0.0f);
    piece.uvs.push_back({0.5f, 0.5f});
    piece.normals.emplace_back(0.0f, 1.0f, 0.0f);
  }
  std::uint32_t k = 0;
  const auto face = [&](std::uint32_t i_corners, std::uint32_t i_material) {
    for (std::uint32_t j = 0; j < i_corners; ++j, ++k) {
      Obj::Corner corner{k * 7919 % kVertices, k * 104729 % kVertices, k * 15485863u % kVertices};
      if (i_near) corner = {k / 7, k / 7 + k % 5, k / 7 + 9};
      const std::uint32_t fields = i_kind == 2 ? k % 4 : static_cast<std::uint32_t>(i_kind);
      if (fields == 1 || fields == 3) corner.uv = Obj::kAbsent;
      if (fields == 1 || fields == 2) corner.n = Obj::kAbsent;
      piece.corners.push_back(corner);
    }
    piece.polycount.push_back(i_corners);
    piece.faceMaterials.push_back(i_material);
  };
  for (std::uint32_t i = 0; i < 60000; ++i) {
    const std::uint32_t material = i < 5000 ? 0 : i < 55000 ? 1 : Obj::kNoMaterial;
    if (i == 2500) face(40, material);
    if (i == 30000 && !i_near) face(300000, material);
    face(3, material);
  }
  kit.pieces.push_back(piece);
  return kit;
}

// The text of one placement of the kit's piece at i_start, by a writer of i_jobs threads; with
// o_text, the piece's ready text after it (its faces' chunks).
std::string OnePlacementText(const Kit& i_kit, const Offsets& i_start, unsigned i_jobs,
                             detail::PieceText* o_text = nullptr) {
  Plan plan;
  Ostrel::Buildings::Run run;
  run.period.push_back(Placement{});
  plan.blocks.push_back({{run}, 1});
  std::ostringstream out;
  const auto writer = MakeObjWriter(out, false);
  writer->jobs = i_jobs;
  WriteObj(*writer, i_kit, plan, Frame{}, i_start, MaterialNames{true, "none"});
  Flush(*writer);
  if (o_text) *o_text = std::move(writer->texts[0]);
  return out.str();
}

TEST(ObjDense, TwoThreadsWriteTheFacesOfOne) {
  // Corners of each kind, in runs of numbers of one length and across a power of ten (vertices
  // 999,991 .. 1,029,990, normals and texture coordinates too): the faces shared out in chunks,
  // the long face on the writer's thread alone, with the usemtl lines between; the numbers of
  // faces that name indices near each other made per chunk, on the thread that makes it.
  for (const bool near : {false, true}) {
    for (const int kind : {0, 1, 2}) {
      const Kit kit = ChunkedFacesKit(kind, near);
      for (const Offsets& start : {Offsets{100000, 200000, 300000}, Offsets{999990, 999995, 999980}}) {
        detail::PieceText text;
        const std::string two = OnePlacementText(kit, start, 2, &text);
        const std::vector<detail::PieceText::FaceChunk>& chunks = text.faceChunks;
        const auto shared = [](const detail::PieceText::FaceChunk& i_chunk) { return i_chunk.shared; };
        EXPECT_GE(std::count_if(chunks.begin(), chunks.end(), shared), 2) << kind;
        EXPECT_TRUE(near || !std::all_of(chunks.begin(), chunks.end(), shared)) << kind;
        EXPECT_EQ(text.windowedNumbers, near) << kind;
        EXPECT_TRUE(two == OnePlacementText(kit, start, 1))
            << kind << (near ? " near" : "") << " from " << start.vertices;
      }
    }
  }
}

}  // namespace
