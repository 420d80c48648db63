#pragma once
// The layout of a building: which piece of the kit goes into which cell, facing which way. It is
// the one definition of the building's shape; writing, counting and checking all walk it.
//
// The building is a ring of cells around a rectangular footprint, laid out row by row: the ground
// storey at level 0, the upper storeys, then the roof row, whose interior the roof cap closes. In
// cell units the footprint spans x from 1 - cellsAlongX to 0 and z from 0 to cellsAlongZ - 1; the
// facades N, E, S and W are the lines x = 0, z = cellsAlongZ - 1, x = 1 - cellsAlongX and z = 0,
// and face +x, +z, -x and -z. Each facade's inner cells are numbered from 1; its two end cells
// are corners.
//
// A plan keeps the placements in their output order but folded: cells of one facade repeat with
// the parity of their index (every pattern is a rule on parity), and upper storeys repeat with
// the parity of their level. So a plan's size does not depend on the building's size: a building
// can be counted, or refused as too large, at once, and walking it costs only what is placed.
//
// Where a piece has variants (Kit.h), the plan keeps its placements folded all the same: the
// placement names a choice among the piece's forms, and the form is chosen where the walk puts
// the placement (Variation.h). A kit without variants gives plans without choices.

#include <cstdint>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Request.h>
#include <ostrel/layout/Variation.h>

namespace Ostrel::Buildings {

// One piece in one cell.
struct Placement {
  PieceId piece = 0;
  std::int64_t x = 0, z = 0;  // the cell, cell units
  std::int64_t level = 0;     // the storey, cell units up; below 0 only for a negative height
  // A pitched roof's cells climb by steps above their level: `step` rises of `rise` storeys each.
  std::int64_t step = 0;
  float rise = 0;
  // Facing: the piece's own +x axis turns to (zd, 0, xd), its +z axis to (-xd, 0, zd).
  std::int8_t xd = 0, zd = 1;
  // In a plan, 1 + the index in Plan::choices of the choice that gives the piece where the walk
  // puts the placement; 0 when the piece is placed as it is. Walked placements have 0.
  std::uint32_t choice = 0;
};

// A choice among a piece's forms (its plain piece and its variants), made anew on each storey,
// or in each cell when byCell.
struct Choice {
  std::vector<PieceId> forms;
  std::uint64_t key = 0;  // PlaceKey of the request's seed, the piece kind and the facade
  bool byCell = false;
};

// Placements that repeat along a line: `period`, then the same moved by (dx, dz) cells, and so
// on, `repeats` times in all. From one repeat of its block to the next, the line moves by (bx, bz)
// cells, blevel storeys and bstep roof steps, and loses `shrink` repeats (the rings of a hip roof
// step in and grow shorter); a line of no repeats places nothing.
struct Run {
  std::vector<Placement> period;
  std::int64_t repeats = 1;
  std::int64_t dx = 0, dz = 0;
  std::int64_t bx = 0, bz = 0, blevel = 0, bstep = 0, shrink = 0;
};

// Runs that repeat as a whole, each moving as it says: a period of upper storeys, the lines of
// the roof cap, the rings or rows of a pitched roof.
struct Block {
  std::vector<Run> runs;
  std::int64_t repeats = 1;
};

struct Plan {
  std::vector<Block> blocks;    // in output order
  std::vector<Choice> choices;  // empty when the kit has no variants of the pieces placed
};

// Counts of a whole building, saturating instead of wrapping.
struct Totals {
  std::uint64_t vertices = 0;
  std::uint64_t normals = 0;
  std::uint64_t uvs = 0;
};

// The plan of a building of the kit's pieces. A style the kit has not loaded places nothing. The
// roof cap is placed only when the kit has something of it.
Plan MakePlan(const Request& i_request, const Kit& i_kit);

// Whether the request's door opens in a cell of the ground storey: a door request for a side whose
// door run has inner cells. A rectangle's door run is its facade of that side; a footprint's is
// the longest run on the outline facing that way, never a courtyard's, and its inner cells are all
// but its two end cells (outer corners, or the ends an inner-corner piece builds).
bool PlacesDoor(const Request& i_request);

// The roof cap's lines over every interior cell of the building's roof row at i_level: lines
// l = 1 .. cellsAlongX - 2 at x = -l, each over the cells w = 1 .. cellsAlongZ - 2 at z = w,
// facing +z; i_cap stands in cell x = -1, z = 1. False when the building has no interior.
bool RoofCapLines(const Request& i_request, PieceId i_cap, std::uint32_t i_choice, std::int64_t i_level,
                  Block& o_lines);

// The roof cap over the terrace that block i_block (1 or more) of the request steps back onto:
// over the inside of the block below that the block above leaves open, at the level of the
// block's first storey. Appends blocks of lines of i_cap to io_plan.
void AddTerraceCap(const Request& i_request, std::size_t i_block, PieceId i_cap, std::uint32_t i_choice,
                   Plan& io_plan);

// Calls i_visit(placement) for every placement of the plan, in output order.
template <typename Visit>
void ForEachPlacement(const Plan& i_plan, Visit&& i_visit);

// The same, leaving out every run whose pieces are all empty in the kit: they would write
// nothing, and walking them would tie the time of a build to the requested size instead of to
// what is written.
template <typename Visit>
void ForEachPlacement(const Plan& i_plan, const Kit& i_kit, Visit&& i_visit);

// The piece that a placement of the plan, moved to where the walk puts it, places: its own, or
// the form its choice takes there.
PieceId PlacedPiece(const Plan& i_plan, const Placement& i_placement);

// Whether a placement of the plan as it is folded (not walked) places i_piece anywhere it repeats,
// or may place it there: its own piece, or a form of its choice.
bool MayPlace(const Plan& i_plan, const Placement& i_placement, PieceId i_piece);

// Whether every piece a run may place is empty in the kit.
bool RunIsEmpty(const Run& i_run, const Plan& i_plan, const Kit& i_kit);

// How many times a run places its period in the i_r-th repeat of its block (0-based).
inline std::int64_t RepeatsAt(const Run& i_run, std::int64_t i_r) {
  const std::int64_t repeats = i_run.repeats - i_run.shrink * i_r;
  return repeats > 0 ? repeats : 0;
}

// A placement of a run moved to its k-th repeat within the r-th repeat of its block, as the walk
// puts it (its choice not yet taken).
inline Placement MovedTo(const Placement& i_placement, const Block&, std::int64_t i_r, const Run& i_run,
                         std::int64_t i_k) {
  // The moved fields are read from i_placement, not from the copy: read back from a copy just
  // stored, a pair of them loaded at once would wait for the stores to land, at every placement.
  Placement moved = i_placement;
  moved.x = i_placement.x + (i_r * i_run.bx + i_k * i_run.dx);
  moved.z = i_placement.z + (i_r * i_run.bz + i_k * i_run.dz);
  moved.level = i_placement.level + i_r * i_run.blevel;
  moved.step = i_placement.step + i_r * i_run.bstep;
  return moved;
}

// PiecesInOrder, CountPlan and CountPieces (PlanCounts.h) list and count what a plan places.

// ---------------------------------------------------------------------------------------------
// The walk: inline, since writers spend their time in it.
// ---------------------------------------------------------------------------------------------

namespace detail {

// A placement of a run where the walk puts it (MovedTo), its choice taken.
inline Placement Walked(const Plan& i_plan, const Block& i_block, std::int64_t i_r, const Run& i_run,
                        std::int64_t i_k, const Placement& i_placement) {
  Placement placement = MovedTo(i_placement, i_block, i_r, i_run, i_k);
  if (placement.choice != 0) {
    placement.piece = PlacedPiece(i_plan, placement);
    placement.choice = 0;
  }
  return placement;
}

// Walks the plan; i_skip(run) leaves a run out.
template <typename Skip, typename Visit>
void WalkPlan(const Plan& i_plan, Skip&& i_skip, Visit&& i_visit) {
  std::vector<const Run*> runs;  // the runs of a block that are walked
  for (const Block& block : i_plan.blocks) {
    runs.clear();
    for (const Run& run : block.runs) {
      if (!i_skip(run)) runs.push_back(&run);
    }
    if (runs.empty()) continue;
    for (std::int64_t r = 0; r < block.repeats; ++r) {
      for (const Run* walked : runs) {
        const Run& run = *walked;
        const std::int64_t repeats = RepeatsAt(run, r);
        for (std::int64_t k = 0; k < repeats; ++k) {
          for (const Placement& placement : run.period) {
            i_visit(static_cast<const Placement&>(Walked(i_plan, block, r, run, k, placement)));
          }
        }
      }
    }
  }
}

}  // namespace detail

template <typename Visit>
void ForEachPlacement(const Plan& i_plan, Visit&& i_visit) {
  detail::WalkPlan(
      i_plan, [](const Run&) { return false; }, i_visit);
}

template <typename Visit>
void ForEachPlacement(const Plan& i_plan, const Kit& i_kit, Visit&& i_visit) {
  detail::WalkPlan(
      i_plan, [&](const Run& i_run) { return RunIsEmpty(i_run, i_plan, i_kit); }, i_visit);
}

}  // namespace Ostrel::Buildings
