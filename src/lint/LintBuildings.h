#pragma once
// Buildings made for a kit's linter: placed in memory as the tool places them, checked as one
// surface (MeshCheck.h), and every fault told in the terms of the pieces that make it: which
// piece, which of its faces, which edge of that face. A piece placed a hundred times gives each
// of its faults once.
//
// Positions are in cell units and rounded as the OBJ writer writes them, so that the surface
// checked is the one a viewer reads. The ground storey's base (edges at y = 0) is open on
// purpose and is no fault.

#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include <ostrel/ext/MeshCheck.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

// An edge of a piece: from corner `corner` of face `face` (both 0-based, as the kit keeps the
// piece) to the face's next corner.
struct PieceEdge {
  PieceId piece = 0;
  std::uint32_t face = 0;
  std::uint32_t corner = 0;
};

// A side of a piece's cell, in the piece's own frame; None for the inside of the cell.
enum class CellSide { None, PlusX, MinusX, PlusZ, MinusZ, Top, Bottom };

// Edges of one piece on one side of its cell that no face closes.
struct OpenEdges {
  PieceId piece = 0;
  CellSide side = CellSide::None;
  PieceEdge first;        // the first one found
  bool beside = false;    // a piece stood beside that side where the first was found
  PieceId neighbour = 0;  // that piece, when beside
  std::size_t count = 0;  // distinct edges of the piece
  // The pieces beside the first edge's other sides (an edge along an edge of the cell lies on
  // two), which might as well have broken it.
  std::vector<PieceId> others;
};

// An edge that two faces use the same way (Flipped) or more than two faces use (Crowded).
struct SharedEdge {
  MeshCheck::EdgeFault fault = MeshCheck::EdgeFault::Flipped;
  std::vector<PieceEdge> uses;  // each use, in the order the building's faces come
};

// Two faces in one plane over each other; first is the one of the lower piece, then face.
struct PieceOverlap {
  MeshCheck::OverlapKind kind = MeshCheck::OverlapKind::BackToBack;
  PieceEdge first, second;  // corner 0 of each face
};

// What the buildings checked so far show, each fault once.
struct BuildingFaults {
  std::vector<OpenEdges> open;
  std::vector<SharedEdge> shared;
  std::vector<PieceOverlap> overlaps;

  // Keys of what is already there.
  std::map<std::pair<PieceId, CellSide>, std::size_t> openGroups;
  std::map<std::tuple<PieceId, CellSide, std::uint32_t, std::uint32_t>, char> openEdges;
  std::map<std::vector<std::tuple<PieceId, std::uint32_t, std::uint32_t>>, char> sharedKeys;
  std::map<std::tuple<int, PieceId, std::uint32_t, PieceId, std::uint32_t>, char> overlapKeys;
};

// Places the plan's building and adds its faults to io_faults. i_formOf gives, for every piece of
// the kit, the piece placed in its stead (itself, or one of its variants); a placement whose
// piece i_skip marks (by the placed piece's id) is left out. A cell whose piece is empty (a
// missing file) closes nothing, and the open edges that face it are not told: the missing piece
// is the fault.
void CheckBuilding(const Plan& i_plan, const Kit& i_kit, const std::vector<PieceId>& i_formOf,
                   const std::vector<char>& i_skip, BuildingFaults& io_faults);

}  // namespace Ostrel::Buildings
