#pragma once
// Writes buildings as Wavefront OBJ text: for each building every v line, then vn, vt and f
// lines, with absolute 1-based indices that continue after what the output held before.
//
// Writing is mostly copying text made before: a building has few distinct coordinates (a
// piece's coordinate plus whole cells or storeys, and a coordinate stays the same along a storey
// or a facade), a piece's normal and texture lines read the same at every placement with the same
// facing, and index numbers only count up.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/utils/NumberFormat.h>
#include <ostrel/scene/Materials.h>

#include "write/PlanSpans.h"
#include "write/obj/ObjDense.h"
#include "write/TextOut.h"
#include "write/obj/ObjText.h"

namespace Ostrel::Buildings {

// Elements of each kind that an output holds before a building: its indices continue after them.
struct Offsets {
  std::uint64_t vertices = 0;
  std::uint64_t normals = 0;
  std::uint64_t uvs = 0;
};

struct ObjWriter;

// An OBJ writer into a stream, with the text it reuses. Its caches are large beside a small
// building, so make one per output and drop it when the output is written. With
// i_writeOnOwnThread, full buffers go to the stream on a second thread while the next fills;
// callers that keep every core busy themselves do better without it.
std::unique_ptr<ObjWriter> MakeObjWriter(std::ostream& io_stream, bool i_writeOnOwnThread = true);

// Writes one building of the plan and returns the offsets after it. The whole text passes through
// the writer's buffer: Flush (or dropping the writer) hands the rest to the stream. When i_names
// says materials are used, each run of faces with one material starts with a usemtl line, the
// first run of the building included; faces without a material take the default one.
Offsets WriteObj(ObjWriter& io_writer, const Kit& i_kit, const Plan& i_plan, const Frame& i_frame,
                 const Offsets& i_start, const MaterialNames& i_names = {});

// Writes a line of text as it is, through the writer's buffer (a "mtllib" or an "o" line).
void WriteLine(ObjWriter& io_writer, const std::string& i_line);

void Flush(ObjWriter& io_writer);

// The four parts of a building's text, in the order they are written: every v line, then the vn,
// vt and f lines.
enum class ObjPart { Vertices, Normals, Uvs, Faces };

// Where the faces before a span of placements left the usemtl lines: whether the building's
// first face is written yet, and the material of the last one.
struct MaterialState {
  bool started = false;
  std::uint32_t current = Obj::kNoMaterial;
};

// Writes one part of the lines of a span of the building's placements (PlanSpans.h), as WriteObj
// writes them in the building's text; i_walked is WalkedRunsOf(i_plan, i_kit). For the faces,
// i_at holds the offsets before the span's first placement and i_materials the usemtl state the
// faces before it left; the other parts do not read them. The parts of consecutive spans, each
// written by any writer, joined part by part in order, are the building's text.
void WriteObjPart(ObjWriter& io_writer, const Kit& i_kit, const Plan& i_plan, const Frame& i_frame,
                  ObjPart i_part, const detail::WalkedRuns& i_walked, const detail::PlanSpan& i_span,
                  const Offsets& i_at, const MaterialState& i_materials, const MaterialNames& i_names = {});

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

struct ObjWriter {
  ObjWriter(std::ostream& io_stream, bool i_writeOnOwnThread) : out(io_stream, i_writeOnOwnThread) {}
  ObjWriter(const ObjWriter&) = delete;
  ObjWriter& operator=(const ObjWriter&) = delete;
  ~ObjWriter() { detail::WaitLent(*this); }
  detail::TextOut out;
  Format::FloatTextCache floats;
  detail::NumberTexts vertexNumbers;
  detail::NumberTexts uvNumbers;
  detail::NumberTexts normalNumbers;
  // Per kit piece; valid for one kit only.
  const Kit* kit = nullptr;
  std::vector<detail::PieceText> texts;
  std::size_t readyBytes = 0;    // of the ready text in texts
  std::size_t readyBudget = 0;   // the most ready text kept for this kit
  std::size_t columnBytes = 0;   // of the coordinate text in texts
  std::size_t columnBudget = 0;  // the most coordinate text kept for this kit
  // Writers that make one output's text together, each keeping its share of the budgets, so
  // that together they keep no more than one.
  unsigned budgetShares = 1;
  // Threads a large piece's v and f lines may be made on (ObjDense.h); the second starts when
  // needed.
  unsigned jobs = 1;
  bool hugePieceHelper = false;  // at jobs 1, a huge piece's lines are made on two threads too
  detail::DenseHelperPtr denseHelper;  // last: it ends before what it reads
};

}  // namespace Ostrel::Buildings
