#pragma once
// The lines of a large piece (kKeptColumnsMinVertices vertices or more): each coordinate's text
// kept per vertex where the budget allows, and the lines made on a second thread too when the
// writer may use one.

#include <memory>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>

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

// The thread that makes part of a large piece's lines for a writer, started with the first
// placement that needs it and ended with the writer.
struct DenseHelper;
struct DenseHelperEnd {
  void operator()(DenseHelper* i_helper) const;
};
using DenseHelperPtr = std::unique_ptr<DenseHelper, DenseHelperEnd>;

}  // namespace detail

}  // namespace Ostrel::Buildings
