#pragma once
// A hip roof over any set of cells: every slope at the kit's pitch.
//
// Over a rectilinear outline the roof's height at a point is the point's distance to the outside
// in the max-norm (the straight skeleton of the outline), in rises per cell. So the cells k rings
// in are those whose (2k + 1) x (2k + 1) square of cells lies inside: the footprint eroded k times
// by a 3 x 3 square. A cell of ring k (in that erosion, not in the next) has its corners at k or
// k + 1 rises and its middle at k + 1/2, and which corners stand high, and how the field folds
// between them, follows from which of its eight neighbours are in the same erosion: a finite
// table of cases, like marching squares. Each case is one kind of roof piece, turned, placed
// k steps up.
//
// The erosions of a rectilinear set are rectilinear again, so the roof is laid ring by ring as
// runs along each ring's edges: its plan grows with the outline's edges and the roof's rings, not
// with the cells.

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/PieceKind.h>
#include <ostrel/layout/Footprint.h>

namespace Ostrel::Buildings {

// One case: a cell's neighbourhood in the piece's own frame, drawn as a viewer below the piece's
// +x side sees it, facing -x: rows x = -1, 0, +1 from the top, columns z = +1, 0, -1 from the
// left; '#' for a neighbour in the same erosion, '.' for one out of it. At the eaves (ring 0)
// every neighbour counts; higher up a corner neighbour counts only where both cells beside it
// are in, since only there does the corner between them stand a rise higher.
struct HipCase {
  PieceKind kind;
  bool eave;  // a case of ring 0, whose outside neighbours are the street
  const char* rows[3];
};

inline constexpr HipCase kHipCases[] = {
    {PieceKind::Eave, true, {"###", "###", "..."}},
    {PieceKind::EaveCorner, true, {".##", ".##", "..."}},
    {PieceKind::EaveValleyLeft, true, {"###", "###", "#.."}},
    {PieceKind::EaveValleyRight, true, {"###", "###", "..#"}},
    {PieceKind::EaveValleyBoth, true, {"###", "###", "#.#"}},
    {PieceKind::EaveStepLeft, true, {".##", "###", "#.."}},
    {PieceKind::EaveStepRight, true, {"##.", "###", "..#"}},
    {PieceKind::EaveStepValleyLeft, true, {".##", "###", "#.#"}},
    {PieceKind::EaveStepValleyRight, true, {"##.", "###", "#.#"}},
    {PieceKind::CornerValleyLeft, true, {"###", ".##", "..."}},
    {PieceKind::CornerValleyRight, true, {".##", ".##", "..#"}},
    {PieceKind::CornerValleyBoth, true, {"###", ".##", "..#"}},
    {PieceKind::ValleyEave, true, {"###", "###", "##."}},
    {PieceKind::SaddleEave, true, {".##", "###", "##."}},
    {PieceKind::Slope, false, {"###", "###", "..."}},
    {PieceKind::Hip, false, {".##", ".##", "..."}},
    {PieceKind::Ridge, false, {"...", "###", "..."}},
    {PieceKind::RidgeEnd, false, {".#.", ".#.", "..."}},
    {PieceKind::Peak, false, {"...", ".#.", "..."}},
    {PieceKind::RidgeTurn, false, {".#.", ".##", "..."}},
    {PieceKind::RidgeTee, false, {".#.", "###", "..."}},
    {PieceKind::RidgeCross, false, {".#.", "###", ".#."}},
    {PieceKind::RidgeCorner, false, {".##", "###", ".#."}},
    {PieceKind::RidgeSlope, false, {"###", "###", ".#."}},
    {PieceKind::Saddle, false, {".##", "###", "##."}},
    {PieceKind::Valley, false, {"###", "###", "##."}},
    {PieceKind::SlopeValleyLeft, false, {".##", "###", "..."}},
    {PieceKind::SlopeValleyRight, false, {"##.", "###", "..."}},
};

// Whether the case has its neighbour at (i_x, i_z), each -1, 0 or 1, in the piece's frame.
inline bool CaseHas(const HipCase& i_case, int i_x, int i_z) { return i_case.rows[i_x + 1][1 - i_z] == '#'; }

// The case of a roof piece kind, or null.
inline const HipCase* CaseOf(PieceKind i_kind) {
  for (const HipCase& entry : kHipCases) {
    if (entry.kind == i_kind) return &entry;
  }
  return nullptr;
}

// A rectangle of cells that take the same piece: rows x .. x + rows - 1, cells z .. z + cells - 1,
// `step` rises up, the piece's +x turned to (zd, 0, xd) as a Placement's.
struct HipCells {
  PieceKind kind = PieceKind::Slope;
  std::int64_t x = 0, z = 0, rows = 1, cells = 1, step = 0;
  std::int8_t xd = 0, zd = 1;
};

// The hip roof over the footprint's cells, ring by ring. False, with o_fault set, when a cell
// matches no case: a part of the footprint narrower than two cells.
bool HipRoofCells(const Footprint& i_footprint, std::vector<HipCells>& o_cells, std::string& o_fault);

// A gable roof over any set of cells: a hip roof whose wings run on straight through each of their
// ends, where a gable wall closes them.
//
// A wing's end is an edge of the outline between two outer corners behind which a rectangle of
// the edge's width runs into the cells for more than the edge's length (the short side of a
// wing): the two ends of an L, the three of a T, the two arm ends of a U, the four of an H or a
// plus; a courtyard has none. The roof is the hip roof (max-norm distance to the outline) of the
// cells with every end carried on outward as far as the roof is high, so that no slope rises from
// an end; the cells along an end take the gable forms of the eave, slope and ridge, and the end's
// gable wall panels stack under them. An end whose cells would not be those of a straight wing's
// end (a wing too short, an end facing other cells within the roof's reach) stays hipped.
//
// A gable end: the cells along it (a rectangle one cell deep) and the way it faces out.
struct GableEnd {
  std::int64_t x = 0, z = 0;  // its first cell: the northernmost or westernmost
  std::int64_t cells = 0;     // along the end, both corner cells included
  std::int8_t dx = 0, dz = 0;      // from one cell to the next along the end
  std::int8_t outX = 0, outZ = 0;  // out of the gable
};

// The gable roof's cells (as HipRoofCells', the end cells in their gable forms) and its ends.
// False, with o_fault set, where HipRoofCells fails.
bool GableRoofCells(const Footprint& i_footprint, std::vector<HipCells>& o_cells, std::vector<GableEnd>& o_ends,
                    std::string& o_fault);

}  // namespace Ostrel::Buildings
