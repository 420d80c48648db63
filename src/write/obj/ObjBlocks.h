#pragma once
// Writes one building's OBJ text on several threads. The building's placements are cut into
// blocks, spans of the walk of about the same amount of text; each part of each block (its v, vn,
// vt or f lines) is made by one thread into a buffer of its own, and the buffers go to the output
// in the order of the text. The numbers a block's faces need (the offsets before it, the material
// its faces continue) are counted before any text is made, so no block waits for another: the
// output is the same bytes as WriteObj's, whatever the number of threads.
//
// Memory stays bounded whatever the building's size: at most two blocks a thread are made or wait
// for their turn at once, each of a few MiB, beside each thread's text caches.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/scene/Materials.h>

#include "write/PlanSpans.h"
#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings {

// Writes one building as WriteObj does, its text made on i_jobs threads while the calling one
// writes it into io_out. What io_writer holds is flushed first, so that the building follows it;
// a building of pieces of a thousand vertices or more (see CutObjBlocks) is written by io_writer,
// a large piece's v lines on up to two of the threads (ObjDense.h). Returns the offsets after the building;
// o_bytes, when given, has the bytes written into io_out directly added to it. A block holds about
// i_blockElements elements (vertices, normals, texture coordinates and face corners), or one
// placement of up to 16 times as many: by default a few hundred KiB of text in each part, so that
// a part is still in the cache when it is written, and at most about 12 MiB.
Offsets WriteObjOnThreads(ObjWriter& io_writer, std::ostream& io_out, const Kit& i_kit, const Plan& i_plan,
                          const Frame& i_frame, const Offsets& i_start, const MaterialNames& i_names,
                          unsigned i_jobs, std::uint64_t* o_bytes = nullptr,
                          std::uint64_t i_blockElements = std::uint64_t{1} << 15);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// One block: its placements, and what its faces start from.
struct ObjBlock {
  PlanSpan span;
  Offsets at;               // the offsets before its first placement
  MaterialState materials;  // the usemtl state the faces before it left
};

inline constexpr std::uint64_t kLargestPlacement = 16;

struct ObjBlocks {
  std::vector<ObjBlock> blocks;
  Offsets end;  // the offsets after the building
};

// Cuts the walk into blocks of at least i_elements elements each (the last may have fewer), the
// first starting at i_start. No blocks when a single placement has more than kLargestPlacement
// times i_elements, as a piece of hundreds of thousands of vertices has: a few blocks of it would
// not be small. Nor when a piece is large enough for a writer to keep its coordinates' text
// (kKeptColumnsMinVertices): each thread would make that text, and the piece's ready lines, again,
// and keep them in its share of the budget, which costs more than the threads save.
ObjBlocks CutObjBlocks(const Plan& i_plan, const Kit& i_kit, const WalkedRuns& i_walked, const Offsets& i_start,
                       bool i_materials, std::uint64_t i_elements);

}  // namespace detail

}  // namespace Ostrel::Buildings
