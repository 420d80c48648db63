// The plan of a building: its rows, each a ring of corners and facades, folded by parity.

#include <ostrel/layout/Layout.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "layout/LayoutParts.h"

namespace Ostrel::City {

namespace detail {

std::uint32_t ChoiceOf(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, PieceKind i_kind,
                       char i_facade, std::vector<Choice>& io_choices) {
  const Piece& piece = i_kit.piece(i_style.piece(i_kind));
  if (piece.forms.empty()) return 0;
  Choice choice{piece.forms, PlaceKey(i_request.seed, RuleOf(i_kind).suffix, i_facade), i_request.varyByCell};
  for (std::size_t i = 0; i < io_choices.size(); ++i) {
    const Choice& known = io_choices[i];
    if (known.key == choice.key && known.byCell == choice.byCell && known.forms == choice.forms) {
      return static_cast<std::uint32_t>(i + 1);
    }
  }
  io_choices.push_back(std::move(choice));
  return static_cast<std::uint32_t>(io_choices.size());
}

}  // namespace detail

namespace {

using detail::ChoiceOf;

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

// What one row lays out: the kinds of its pieces and where it stands.
struct Row {
  const Request* request;
  const Kit* kit;
  const KitStyle* style;
  std::int64_t level;
  RowKind kind;
  PieceKind corner;
  PieceKind window, door, close;  // of an inner cell, by its opening
  std::vector<Choice>* choices;   // the plan's, which gains those of the row's pieces
};

// The piece of kind i_kind placed in a cell of the row, facing (xd, zd), with its choice.
Placement Place(const Row& i_row, PieceKind i_kind, char i_facade, std::int64_t i_x, std::int64_t i_z,
                std::int8_t i_xd, std::int8_t i_zd) {
  Placement placement;
  placement.piece = i_row.style->piece(i_kind);
  placement.x = i_x;
  placement.z = i_z;
  placement.level = i_row.level;
  placement.xd = i_xd;
  placement.zd = i_zd;
  placement.choice = ChoiceOf(*i_row.request, *i_row.kit, *i_row.style, i_kind, i_facade, *i_row.choices);
  return placement;
}

// The pieces of one inner cell: its window, door or wall, then its balcony if it has one.
void AddCell(const Row& i_row, const Facade& i_facade, std::int64_t i_index,
             std::vector<Placement>& o_period) {
  const int level = RuleLevel(i_row.level);
  const std::int64_t x = i_facade.x + (i_index - 1) * i_facade.dx;
  const std::int64_t z = i_facade.z + (i_index - 1) * i_facade.dz;
  const CellOpening opening = DoorOrClose(*i_row.request, level, i_row.kind, i_facade.letter,
                                          i_facade.minSide, i_facade.maxSide, i_index);
  const PieceKind kind = opening == CellOpening::Door    ? i_row.door
                         : opening == CellOpening::Close ? i_row.close
                                                         : i_row.window;
  o_period.push_back(Place(i_row, kind, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  if (BalconySelects(*i_row.request, level, i_row.kind, i_facade.letter, i_index)) {
    o_period.push_back(Place(i_row, PieceKind::Balcony, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  }
}

// Cells i_first to i_last (1-based, inclusive) of one facade, none of them the door's: two
// neighbouring cells as the period, then a last odd one.
void AddCells(const Row& i_row, const Facade& i_facade, std::int64_t i_first, std::int64_t i_last,
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

void AddFacade(const Row& i_row, const Facade& i_facade, std::vector<Run>& o_runs) {
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

void AddCorner(const Row& i_row, std::int64_t i_x, std::int64_t i_z, std::int8_t i_xd, std::int8_t i_zd,
               std::vector<Run>& o_runs) {
  Run corner;
  corner.period.push_back(Place(i_row, i_row.corner, 0, i_x, i_z, i_xd, i_zd));
  o_runs.push_back(std::move(corner));
}

// The ring of one row: a corner, facade N, a corner, facade E, and so on round to facade W; the
// first corner closes the ring.
std::vector<Run> RingRuns(const Row& i_row) {
  const std::int64_t Z = i_row.request->cellsAlongZ;
  const std::int64_t X = i_row.request->cellsAlongX;
  std::vector<Run> runs;
  AddCorner(i_row, 0, 0, -1, 0, runs);
  AddFacade(i_row, {'N', Z - 2, Z - 2, 1, 0, 1, 0, 1, 0, 1}, runs);
  AddCorner(i_row, 0, Z - 1, 0, 1, runs);
  AddFacade(i_row, {'E', X - 2, X - 2, 1, -1, Z - 1, -1, 0, 1, 0}, runs);
  AddCorner(i_row, 1 - X, Z - 1, 1, 0, runs);
  AddFacade(i_row, {'S', Z - 2, 1, Z - 2, 1 - X, 1, 0, 1, 0, -1}, runs);
  AddCorner(i_row, 1 - X, 0, 0, -1, runs);
  AddFacade(i_row, {'W', X - 2, 1, X - 2, -1, 0, -1, 0, -1, 0}, runs);
  return runs;
}

Row MakeRow(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
            RowKind i_kind, Plan& io_plan) {
  Row row{&i_request,      &i_kit,
          &i_style,        i_level,
          i_kind,          PieceKind::AngleRoof,
          PieceKind::Roof, PieceKind::RoofDoor,
          PieceKind::Roof, &io_plan.choices};
  // The roof row takes no wall requests (AnySelects), so its "close" piece is never asked for.
  switch (i_kind) {
    case RowKind::Ground:
      row.corner = PieceKind::Angle;
      row.window = PieceKind::Ground;
      row.door = PieceKind::GroundDoor;
      row.close = PieceKind::GroundClose;
      break;
    case RowKind::Floor:
      row.corner = PieceKind::Angle;
      row.window = PieceKind::Floor;
      row.door = PieceKind::Floor;  // the door stands on the ground storey only
      row.close = PieceKind::FloorClose;
      break;
    case RowKind::Roof:
      break;
  }
  return row;
}

void AddRoofCap(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
                Plan& io_plan) {
  const PieceId cap = i_style.piece(PieceKind::RoofCap);
  if (i_kit.piece(cap).empty() || i_request.cellsAlongZ - 2 <= 0 || i_request.cellsAlongX - 2 <= 0) return;
  const std::uint32_t choice = ChoiceOf(i_request, i_kit, i_style, PieceKind::RoofCap, 0, io_plan.choices);
  Block lines;
  if (RoofCapLines(i_request, cap, choice, i_level, lines)) io_plan.blocks.push_back(std::move(lines));
}

}  // namespace

Plan MakePlan(const Request& i_request, const Kit& i_kit) {
  Plan plan;
  const KitStyle* style = i_kit.style(i_request.style);
  if (!style) return plan;

  plan.blocks.push_back({RingRuns(MakeRow(i_request, i_kit, *style, 0, RowKind::Ground, plan))});
  // Upper storeys: levels 1 to rows - 2, which differ only by the parity of their level.
  const std::int64_t floors = i_request.rows - 2;
  if (floors >= 2) {
    Block pair{RingRuns(MakeRow(i_request, i_kit, *style, 1, RowKind::Floor, plan))};
    std::vector<Run> second = RingRuns(MakeRow(i_request, i_kit, *style, 2, RowKind::Floor, plan));
    pair.runs.insert(pair.runs.end(), second.begin(), second.end());
    pair.repeats = floors / 2;
    for (Run& run : pair.runs) run.blevel = 2;
    plan.blocks.push_back(std::move(pair));
  }
  if (floors >= 1 && floors % 2 == 1) {
    plan.blocks.push_back({RingRuns(MakeRow(i_request, i_kit, *style, floors, RowKind::Floor, plan))});
  }
  // The roof row is always laid, at level 0 too for a height of 0.
  const std::int64_t roof = i_request.rows - 1;
  if (i_request.roof != RoofShape::Flat) {
    // A pitched roof stands on the ground storey at a height of 0, as at 1: it has no row to
    // share the ground storey's level with.
    detail::AddPitchedRoof(i_request, i_kit, *style, std::max<std::int64_t>(roof, 1), plan);
    return plan;
  }
  plan.blocks.push_back({RingRuns(MakeRow(i_request, i_kit, *style, roof, RowKind::Roof, plan))});
  AddRoofCap(i_request, i_kit, *style, roof, plan);
  return plan;
}

bool RoofCapLines(const Request& i_request, PieceId i_cap, std::uint32_t i_choice, std::int64_t i_level,
                  Block& o_lines) {
  if (i_request.cellsAlongZ - 2 <= 0 || i_request.cellsAlongX - 2 <= 0) return false;
  Run line;
  Placement cap;
  cap.piece = i_cap;
  cap.x = -1;
  cap.z = 1;
  cap.level = i_level;
  cap.choice = i_choice;
  line.period.push_back(cap);
  line.repeats = i_request.cellsAlongZ - 2;
  line.dz = 1;
  line.bx = -1;
  o_lines = Block{};
  o_lines.runs.push_back(std::move(line));
  o_lines.repeats = i_request.cellsAlongX - 2;
  return true;
}

bool RunIsEmpty(const Run& i_run, const Plan& i_plan, const Kit& i_kit) {
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

PieceId PlacedPiece(const Plan& i_plan, const Placement& i_placement) {
  if (i_placement.choice == 0) return i_placement.piece;
  const Choice& choice = i_plan.choices[i_placement.choice - 1];
  return choice.forms[ChooseVariant(choice.key, i_placement.level, choice.byCell, i_placement.x,
                                    i_placement.z, choice.forms.size())];
}

bool MayPlace(const Plan& i_plan, const Placement& i_placement, PieceId i_piece) {
  if (i_placement.choice == 0) return i_placement.piece == i_piece;
  for (const PieceId form : i_plan.choices[i_placement.choice - 1].forms) {
    if (form == i_piece) return true;
  }
  return false;
}

Placement MovedTo(const Placement& i_placement, const Block&, std::int64_t i_r, const Run& i_run, std::int64_t i_k) {
  Placement moved = i_placement;
  moved.x += i_r * i_run.bx + i_k * i_run.dx;
  moved.z += i_r * i_run.bz + i_k * i_run.dz;
  moved.level += i_r * i_run.blevel;
  moved.step += i_r * i_run.bstep;
  return moved;
}

}  // namespace Ostrel::City
