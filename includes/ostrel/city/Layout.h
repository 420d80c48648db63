#pragma once
// The layout of a building: which piece of the kit goes into which cell, facing which way. It is
// the one definition of the building's shape; writing, counting and checking all walk it.
//
// The building is a ring of cells around a rectangular footprint, laid out row by row: the ground
// storey at level 0, the upper storeys, then the roof row, whose interior the roof cap closes. In
// cell units the footprint spans x from 1 - length to 0 and z from 0 to width - 1; the facades N,
// E, S and W are the lines x = 0, z = width - 1, x = 1 - length and z = 0, and face +x, +z, -x
// and -z. Each facade's inner cells are numbered from 1; its two end cells are corners.
//
// A plan keeps the placements in their output order but folded: cells of one facade repeat with
// the parity of their index (every pattern is a rule on parity), and upper storeys repeat with
// the parity of their level. So a plan's size does not depend on the building's size: a building
// can be counted, or refused as too large, at once, and walking it costs only what is placed.
//
// Where a piece has variants (Kit.h), the plan keeps its placements folded all the same: the
// placement names a choice among the piece's forms, and the form is chosen where the walk puts
// the placement (Variation.h). A kit without variants gives plans without choices.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <ostrel/city/Kit.h>
#include <ostrel/city/Request.h>
#include <ostrel/city/Variation.h>

namespace Ostrel::City {

// One piece in one cell.
struct Placement {
  PieceId piece = 0;
  std::int64_t x = 0, z = 0;  // the cell, cell units
  std::int64_t level = 0;     // the storey, cell units up; below 0 only for a negative height
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
// on, `repeats` times in all (at least once).
struct Run {
  std::vector<Placement> period;
  std::int64_t repeats = 1;
  std::int64_t dx = 0, dz = 0;
};

// Runs that repeat as a whole, moved by dx cells and dlevel storeys each time: a period of upper
// storeys, or the lines of the roof cap.
struct Block {
  std::vector<Run> runs;
  std::int64_t repeats = 1;
  std::int64_t dx = 0, dlevel = 0;
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

// ---------------------------------------------------------------------------------------------
// Plans
// ---------------------------------------------------------------------------------------------

// The plan of a building of the kit's pieces. The kit must hold the request's style; a style it
// lacks places nothing. The roof cap is placed only when the kit has something of it.
Plan MakePlan(const Request& i_request, const Kit& i_kit);

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

// PiecesInOrder, CountPlan and CountPieces (PlanCounts.h) list and count what a plan places.

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

inline std::uint64_t SatAdd(std::uint64_t i_a, std::uint64_t i_b) {
  const std::uint64_t sum = i_a + i_b;
  return sum < i_a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

inline std::uint64_t SatMul(std::uint64_t i_a, std::uint64_t i_b) {
  if (i_a != 0 && i_b > std::numeric_limits<std::uint64_t>::max() / i_a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return i_a * i_b;
}

// One facade of a row: its letter, its inner cells, where cell 1 stands and how the cells step,
// and the facing of its pieces.
struct Facade {
  char letter;
  std::int64_t cells;             // inner cells, numbered 1 to cells
  std::int64_t minSide, maxSide;  // indices of the left and right end cells, seen from outside
  std::int64_t x, z;              // cell 1
  std::int64_t dx, dz;            // from one cell to the next
  std::int8_t xd, zd;
};

// What one row lays out: the pieces of its kind and where it stands.
struct Row {
  const Request* request;
  const Kit* kit;
  std::int64_t level;
  RowKind kind;
  std::string corner;            // the corner piece's name
  std::string window;            // the facade cells' piece name, before "door" or "close"
  std::vector<Choice>* choices;  // the plan's, which gains those of the row's pieces
};

inline PieceId PieceOf(const Row& i_row, const std::string& i_name) {
  PieceId id = 0;
  i_row.kit->find(i_name, id);
  return id;
}

// The choice (1 + its index in io_choices, which gains it when new) of the piece i_name of the
// request's style at a place of facade i_facade (0 for none); 0 when the piece has no variants.
inline std::uint32_t ChoiceOf(const Request& i_request, const Kit& i_kit, const std::string& i_name,
                              char i_facade, std::vector<Choice>& io_choices) {
  PieceId id = 0;
  if (!i_kit.find(i_name, id) || i_kit.piece(id).forms.empty()) return 0;
  const std::string kind = i_name.substr(i_request.style.size() + 1);
  Choice choice{i_kit.piece(id).forms, PlaceKey(i_request.seed, kind, i_facade), i_request.varyByCell};
  for (std::size_t i = 0; i < io_choices.size(); ++i) {
    const Choice& known = io_choices[i];
    if (known.key == choice.key && known.byCell == choice.byCell && known.forms == choice.forms)
      return static_cast<std::uint32_t>(i + 1);
  }
  io_choices.push_back(std::move(choice));
  return static_cast<std::uint32_t>(io_choices.size());
}

// The piece i_name placed in a cell of the row, facing (xd, zd), with its choice.
inline Placement Place(const Row& i_row, const std::string& i_name, char i_facade, std::int64_t i_x,
                       std::int64_t i_z, std::int8_t i_xd, std::int8_t i_zd) {
  return {PieceOf(i_row, i_name),
          i_x,
          i_z,
          i_row.level,
          i_xd,
          i_zd,
          ChoiceOf(*i_row.request, *i_row.kit, i_name, i_facade, *i_row.choices)};
}

// The pieces of one inner cell: its window, door or wall, then its balcony if it has one.
inline void AddCell(const Row& i_row, const Facade& i_facade, std::int64_t i_index,
                    std::vector<Placement>& o_period) {
  const int level = RuleLevel(i_row.level);
  const std::int64_t x = i_facade.x + (i_index - 1) * i_facade.dx;
  const std::int64_t z = i_facade.z + (i_index - 1) * i_facade.dz;
  const std::string suffix = DoorOrClose(*i_row.request, level, i_row.kind, i_facade.letter, i_facade.minSide,
                                         i_facade.maxSide, i_index);
  o_period.push_back(Place(i_row, i_row.window + suffix, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  if (BalconySelects(*i_row.request, level, i_row.kind, i_facade.letter, i_index)) {
    o_period.push_back(
        Place(i_row, i_row.request->style + "_balcony", i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  }
}

// Cells i_first to i_last (1-based, inclusive) of one facade, none of them the door's: two
// neighbouring cells as the period, then a last odd one.
inline void AddCells(const Row& i_row, const Facade& i_facade, std::int64_t i_first, std::int64_t i_last,
                     std::vector<Run>& o_runs) {
  const std::int64_t count = i_last - i_first + 1;
  if (count >= 2) {
    Run pair;
    AddCell(i_row, i_facade, i_first, pair.period);
    AddCell(i_row, i_facade, i_first + 1, pair.period);
    pair.repeats = count / 2;
    pair.dx = 2 * i_facade.dx;
    pair.dz = 2 * i_facade.dz;
    o_runs.push_back(std::move(pair));
  }
  if (count >= 1 && count % 2 == 1) {
    Run last;
    AddCell(i_row, i_facade, i_last, last.period);
    o_runs.push_back(std::move(last));
  }
}

inline void AddFacade(const Row& i_row, const Facade& i_facade, std::vector<Run>& o_runs) {
  if (i_facade.cells <= 0) return;
  std::int64_t door = 0;
  if (!DoorCell(i_row.request->door, RuleLevel(i_row.level), i_facade.letter, i_facade.minSide,
                i_facade.maxSide, door)) {
    door = 0;  // no cell has index 0
  }
  if (door < 1 || door > i_facade.cells) return AddCells(i_row, i_facade, 1, i_facade.cells, o_runs);
  AddCells(i_row, i_facade, 1, door - 1, o_runs);
  AddCells(i_row, i_facade, door, door, o_runs);
  AddCells(i_row, i_facade, door + 1, i_facade.cells, o_runs);
}

inline void AddCorner(const Row& i_row, std::int64_t i_x, std::int64_t i_z, std::int8_t i_xd,
                      std::int8_t i_zd, std::vector<Run>& o_runs) {
  Run corner;
  corner.period.push_back(Place(i_row, i_row.corner, 0, i_x, i_z, i_xd, i_zd));
  o_runs.push_back(std::move(corner));
}

// The ring of one row: a corner, facade N, a corner, facade E, and so on round to facade W; the
// first corner closes the ring.
inline std::vector<Run> RingRuns(const Row& i_row) {
  const std::int64_t W = i_row.request->width;
  const std::int64_t L = i_row.request->length;
  std::vector<Run> runs;
  AddCorner(i_row, 0, 0, -1, 0, runs);
  AddFacade(i_row, {'N', W - 2, W - 2, 1, 0, 1, 0, 1, 0, 1}, runs);
  AddCorner(i_row, 0, W - 1, 0, 1, runs);
  AddFacade(i_row, {'E', L - 2, L - 2, 1, -1, W - 1, -1, 0, 1, 0}, runs);
  AddCorner(i_row, 1 - L, W - 1, 1, 0, runs);
  AddFacade(i_row, {'S', W - 2, 1, W - 2, 1 - L, 1, 0, 1, 0, -1}, runs);
  AddCorner(i_row, 1 - L, 0, 0, -1, runs);
  AddFacade(i_row, {'W', L - 2, 1, L - 2, -1, 0, -1, 0, -1, 0}, runs);
  return runs;
}

inline Row MakeRow(const Request& i_request, const Kit& i_kit, std::int64_t i_level, RowKind i_kind,
                   Plan& io_plan) {
  const std::string& style = i_request.style;
  switch (i_kind) {
    case RowKind::Ground:
      return {&i_request, &i_kit, i_level, i_kind, style + "_angle", style + "_ground", &io_plan.choices};
    case RowKind::Floor:
      return {&i_request, &i_kit, i_level, i_kind, style + "_angle", style + "_floor", &io_plan.choices};
    case RowKind::Roof:
      break;
  }
  return {&i_request, &i_kit, i_level, i_kind, style + "_angleroof", style + "_roof", &io_plan.choices};
}

// The roof cap i_cap (placed in cell x = -1, z = 1) over every interior cell: lines
// l = 1 .. length - 2 at x = -l, each over the cells w = 1 .. width - 2 at z = w, facing +z.
inline Block RoofCapLines(const Request& i_request, const Placement& i_cap) {
  Run line;
  line.period.push_back(i_cap);
  line.repeats = i_request.width - 2;
  line.dz = 1;
  Block lines;
  lines.runs.push_back(std::move(line));
  lines.repeats = i_request.length - 2;
  lines.dx = -1;
  return lines;
}

inline void AddRoofCap(const Request& i_request, const Kit& i_kit, std::int64_t i_level, Plan& io_plan) {
  PieceId cap = 0;
  if (!i_kit.find(i_request.style + "_roofcap", cap) || i_kit.piece(cap).empty()) return;
  if (i_request.width - 2 <= 0 || i_request.length - 2 <= 0) return;
  const Placement placement{cap, -1, 1, i_level, 0, 1,
                            ChoiceOf(i_request, i_kit, i_request.style + "_roofcap", 0, io_plan.choices)};
  io_plan.blocks.push_back(RoofCapLines(i_request, placement));
}

inline bool RunIsEmpty(const Run& i_run, const Plan& i_plan, const Kit& i_kit) {
  for (const Placement& placement : i_run.period) {
    if (placement.choice == 0) {
      if (!i_kit.piece(placement.piece).empty()) return false;
      continue;
    }
    for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
      if (!i_kit.piece(form).empty()) return false;
    }
  }
  return true;
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
        for (std::int64_t k = 0; k < run.repeats; ++k) {
          for (Placement placement : run.period) {
            placement.x += r * block.dx + k * run.dx;
            placement.z += k * run.dz;
            placement.level += r * block.dlevel;
            if (placement.choice != 0) {
              placement.piece = PlacedPiece(i_plan, placement);
              placement.choice = 0;
            }
            i_visit(static_cast<const Placement&>(placement));
          }
        }
      }
    }
  }
}

}  // namespace detail

inline Plan MakePlan(const Request& i_request, const Kit& i_kit) {
  Plan plan;
  PieceId any = 0;
  if (!i_kit.find(i_request.style + "_angle", any)) return plan;

  plan.blocks.push_back({detail::RingRuns(detail::MakeRow(i_request, i_kit, 0, RowKind::Ground, plan))});
  // Upper storeys: levels 1 to height - 2, which differ only by the parity of their level.
  const std::int64_t floors = i_request.height - 2;
  if (floors >= 2) {
    Block pair{detail::RingRuns(detail::MakeRow(i_request, i_kit, 1, RowKind::Floor, plan))};
    std::vector<Run> second = detail::RingRuns(detail::MakeRow(i_request, i_kit, 2, RowKind::Floor, plan));
    pair.runs.insert(pair.runs.end(), second.begin(), second.end());
    pair.repeats = floors / 2;
    pair.dlevel = 2;
    plan.blocks.push_back(std::move(pair));
  }
  if (floors >= 1 && floors % 2 == 1) {
    plan.blocks.push_back(
        {detail::RingRuns(detail::MakeRow(i_request, i_kit, floors, RowKind::Floor, plan))});
  }
  // The roof row is always laid, at level 0 too for a height of 0.
  const std::int64_t roof = i_request.height - 1;
  plan.blocks.push_back({detail::RingRuns(detail::MakeRow(i_request, i_kit, roof, RowKind::Roof, plan))});
  detail::AddRoofCap(i_request, i_kit, roof, plan);
  return plan;
}

template <typename Visit>
void ForEachPlacement(const Plan& i_plan, Visit&& i_visit) {
  detail::WalkPlan(
      i_plan, [](const Run&) { return false; }, i_visit);
}

template <typename Visit>
void ForEachPlacement(const Plan& i_plan, const Kit& i_kit, Visit&& i_visit) {
  detail::WalkPlan(
      i_plan, [&](const Run& i_run) { return detail::RunIsEmpty(i_run, i_plan, i_kit); }, i_visit);
}

inline PieceId PlacedPiece(const Plan& i_plan, const Placement& i_placement) {
  if (i_placement.choice == 0) return i_placement.piece;
  const Choice& choice = i_plan.choices[i_placement.choice - 1];
  return choice.forms[ChooseVariant(choice.key, i_placement.level, choice.byCell, i_placement.x,
                                    i_placement.z, choice.forms.size())];
}

inline bool MayPlace(const Plan& i_plan, const Placement& i_placement, PieceId i_piece) {
  if (i_placement.choice == 0) return i_placement.piece == i_piece;
  for (const PieceId form : i_plan.choices[i_placement.choice - 1].forms) {
    if (form == i_piece) return true;
  }
  return false;
}

}  // namespace Ostrel::City

#include <ostrel/city/PlanCounts.h>
