#pragma once
// The lines of a large piece (kKeptColumnsMinVertices vertices or more): each coordinate's text
// kept per vertex where the budget allows, and its v and f lines made on a second thread too when
// the writer may use one.

#include <cstddef>
#include <cstdint>
#include <memory>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include "write/obj/ObjText.h"

namespace Ostrel::Buildings {

struct ObjWriter;

namespace detail {

// Writes the v lines of one placement of the large piece i_id through io_writer, as the plain
// loop would: the same bytes in the same order, whatever io_writer.jobs.
void WriteDenseVertices(ObjWriter& io_writer, PieceId i_id, const PlacementFloats& i_at, const Frame& i_frame);

// Writes the vn lines of a large piece turned and stretched so, or its vt lines, made afresh (as
// when the writer keeps no more ready text), as the plain loop would.
void WriteDenseNormals(ObjWriter& io_writer, const Piece& i_piece, const Turn& i_facing, const Turn& i_building,
                       const NormalStretch& i_stretch);
void WriteDenseUvs(ObjWriter& io_writer, const Piece& i_piece);

// Whether io_writer makes a placement's i_lines lines of a large piece on two threads: at jobs 2
// or more, or when a huge piece may take the helper (ObjWriter::hugePieceHelper).
bool TwoThreadsFor(const ObjWriter& i_writer, std::size_t i_lines);

// The text of the numbers a placement's corners name, in three runs, each from the index of its
// first entry (0-based), with the digits every number of each run has (0 when the run crosses a
// power of ten and its numbers differ in length). The number of index i is v[i - vLow]: in 64
// bits, so that the compiler may take vLow from the run's address once, not at every corner.
struct FaceNumbers {
  const NumberTexts::Entry* v;
  const NumberTexts::Entry* uv;
  const NumberTexts::Entry* n;
  std::size_t vLow;
  std::size_t uvLow;
  std::size_t nLow;
  std::size_t vDigits;
  std::size_t uvDigits;
  std::size_t nDigits;
};

// The indices of one field (vertices, texture coordinates or normals) whose numbers a run of
// corners needs: low to high (exclusive, 0-based), index 0 numbered first (1-based).
struct NumberRun {
  std::uint64_t first;
  std::uint32_t low;
  std::uint32_t high;
};

// Faces first to end (exclusive, 0-based) of one placement of a piece, whose corners start at
// corner; fields as every corner of the piece has them. Windowed: the numbers are not made yet,
// and the thread that makes the faces makes those of runs first (vertex, texture coordinate,
// normal).
struct FaceLines {
  const Piece* piece = nullptr;
  FaceNumbers numbers{};
  PieceText::CornerFields fields = PieceText::CornerFields::Mixed;
  std::size_t first = 0;
  std::size_t end = 0;
  const Obj::Corner* corner = nullptr;
  bool windowed = false;
  NumberRun runs[3] = {};
};

// Number texts a thread makes a windowed chunk's numbers in, one per field.
struct NumberWindows {
  NumberTexts v;
  NumberTexts uv;
  NumberTexts n;
};

// The most text the helper makes at once, in bytes (the size of its buffer): a chunk of faces
// takes no more by FaceBytes (ObjWriter.cpp).
inline constexpr std::size_t kHelperTextBytes = (std::size_t{1} << 16) * kMaxVectorLine;

// Writes the f lines of i_faces at o_out, which has room for the FaceBytes of each face; returns
// the end; windowed numbers are made in io_windows. Made by the OBJ writer's face functions
// (ObjWriter.cpp), on either thread.
char* PutFaceLines(char* o_out, const FaceLines& i_faces, NumberWindows& io_windows);

// Asks io_writer's helper, started if it is not yet, to make the f lines of i_faces (at most
// kHelperTextBytes by FaceBytes); CopyHelped waits for the first asked of those not yet copied
// and copies them into io_writer's output. At most two may be asked and not yet copied. What the
// faces read (the writer's numbers, the piece) must stay unchanged until then: a HelperIdle kept
// over the asking sees to it should the output fail between.
void AskHelper(ObjWriter& io_writer, const FaceLines& i_faces);
void CopyHelped(ObjWriter& io_writer);
struct HelperIdle {
  ObjWriter& writer;
  ~HelperIdle();
};

// Returns once io_writer's output has written every text its helper lent it: the helper's
// buffers, which the output writes from, must outlast that.
void WaitLent(ObjWriter& io_writer);

// The thread that makes part of a large piece's lines for a writer, started with the first
// placement that needs it and ended with the writer.
struct DenseHelper;
struct DenseHelperEnd {
  void operator()(DenseHelper* i_helper) const;
};
using DenseHelperPtr = std::unique_ptr<DenseHelper, DenseHelperEnd>;

}  // namespace detail

}  // namespace Ostrel::Buildings
