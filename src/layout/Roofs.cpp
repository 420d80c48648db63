// Pitched roofs, laid cell by cell over the footprint like the storeys, and folded like them.
//
// A roof cell k steps in from the eave stands k rises above the top of the storeys. Along a
// slope every cell of a row is the same piece, so a row is one run; the rows of one slope differ
// only by where they stand and how high, so they are one block whose runs move in by a cell and
// up by a step each time. A hip roof's rings step in on all four sides and grow shorter by two
// cells a ring; a gable wall's panels, stacked one rise high under its sloping cells, do the same
// in the wall's plane. So a roof's plan, like the storeys', does not grow with the building.
//
// Facings: a piece's own +x points downhill (out over the eave); its +z to the left of a viewer
// below the eave who faces the roof. A gable end's pieces come in a left and a right form, the
// gable on their +z or their -z side, since pieces are turned but never mirrored.

#include <cstdint>
#include <utility>
#include <vector>

#include <ostrel/layout/HipRoof.h>

#include "layout/LayoutParts.h"

namespace Ostrel::Buildings::detail {

namespace {

// A world direction in the x-z plane, one of the four axes.
struct Direction {
  int x, z;
};

// Where a roof is laid, and from what.
struct Roof {
  const Request& request;
  const Kit& kit;
  const KitStyle& style;
  std::int64_t level;
  Plan& plan;
};

// The facade letter a downhill direction faces, for the choice among variants.
char FacadeOf(Direction i_down) {
  if (i_down.x > 0) return 'N';
  if (i_down.z > 0) return 'E';
  if (i_down.x < 0) return 'S';
  return 'W';
}

// The style's piece of kind i_kind in cell (x, z), i_step rises up, its own +x turned toward
// i_toward: the piece's +x axis turns to (zd, 0, xd).
Placement Place(const Roof& io_roof, PieceKind i_kind, char i_facade, std::int64_t i_x, std::int64_t i_z,
                std::int64_t i_step, Direction i_toward) {
  Placement placement;
  placement.piece = io_roof.style.piece(i_kind);
  placement.x = i_x;
  placement.z = i_z;
  placement.level = io_roof.level;
  placement.step = i_step;
  placement.rise = io_roof.style.rise;
  placement.xd = static_cast<std::int8_t>(i_toward.z);
  placement.zd = static_cast<std::int8_t>(i_toward.x);
  placement.choice = ChoiceOf(io_roof.request, io_roof.kit, io_roof.style, i_kind, i_facade, io_roof.plan.choices);
  return placement;
}

// The world direction of a placed piece's own +z.
Direction LeftOf(const Placement& i_placement) { return {-i_placement.xd, i_placement.zd}; }

// A run of i_repeats cells from i_first, i_along apart; moving i_ring per repeat of its block,
// one step up and i_shrink cells shorter.
Run Line(const Placement& i_first, std::int64_t i_repeats, Direction i_along, Direction i_ring = {0, 0},
         std::int64_t i_shrink = 0) {
  Run run;
  run.period.push_back(i_first);
  run.repeats = i_repeats;
  run.dx = i_along.x;
  run.dz = i_along.z;
  run.bx = i_ring.x;
  run.bz = i_ring.z;
  run.bstep = 1;
  run.shrink = i_shrink;
  return run;
}

void AddBlock(Roof& io_roof, std::vector<Run> i_runs, std::int64_t i_repeats) {
  std::vector<Run> runs;
  for (Run& run : i_runs) {
    if (run.repeats > 0) runs.push_back(std::move(run));
  }
  if (runs.empty() || i_repeats <= 0) return;
  io_roof.plan.blocks.push_back({std::move(runs), i_repeats});
}

// A gable roof in its own terms: rows i across the slopes, cells j along the ridge.
struct Gable {
  std::int64_t across, along;  // cells across the slopes (the span) and along the ridge
  Direction stepI, stepJ;      // one cell on in i and in j, in the world
  Direction down;              // downhill on the rows near i = 0
  Direction end;               // out of the gable at j = along - 1 (the other points the other way)
};

Gable GableOf(const Request& i_request) {
  const std::int64_t X = i_request.cellsAlongX, Z = i_request.cellsAlongZ;
  const bool alongZ = i_request.ridge == RidgeAxis::Z || (i_request.ridge == RidgeAxis::Longer && Z >= X);
  // Row i = 0 is the north facade (x = 0) with the ridge along z, the west (z = 0) along x.
  if (alongZ) return {X, Z, {-1, 0}, {0, 1}, {1, 0}, {0, 1}};
  return {Z, X, {0, 1}, {-1, 0}, {0, -1}, {-1, 0}};
}

Direction Opposite(Direction i_d) { return {-i_d.x, -i_d.z}; }

// The cell (x, z) of row i, cell j.
std::pair<std::int64_t, std::int64_t> CellOf(const Gable& i_gable, std::int64_t i_i, std::int64_t i_j) {
  return {i_i * i_gable.stepI.x + i_j * i_gable.stepJ.x, i_i * i_gable.stepI.z + i_j * i_gable.stepJ.z};
}

// The pieces of one slope's rows, from its eave (row i_eave) up to the ridge (i_rows rows, each
// one cell further in i_in), and its cells at the two gable ends.
void AddGableSlope(Roof& io_roof, const Gable& i_gable, std::int64_t i_eave, Direction i_down, Direction i_in,
                   std::int64_t i_rows) {
  const char facade = FacadeOf(i_down);
  // Which form closes each end: the gable on the piece's own +z (left) or -z side.
  const Direction left = LeftOf(Place(io_roof, PieceKind::Eave, facade, 0, 0, 0, i_down));
  const bool leftAtFar = left.x == i_gable.end.x && left.z == i_gable.end.z;  // at j = along - 1
  // A row of the slope i_step steps up: a gable cell at each end, i_middle between.
  const auto row = [&](std::int64_t i_step, PieceKind i_left, PieceKind i_right, PieceKind i_middle) {
    const std::int64_t i = i_eave + i_step * (i_in.x * i_gable.stepI.x + i_in.z * i_gable.stepI.z);
    const auto [x0, z0] = CellOf(i_gable, i, 0);
    const auto [x1, z1] = CellOf(i_gable, i, 1);
    const auto [xn, zn] = CellOf(i_gable, i, i_gable.along - 1);
    std::vector<Run> runs;
    runs.push_back(Line(Place(io_roof, leftAtFar ? i_right : i_left, facade, x0, z0, i_step, i_down), 1, {0, 0}, i_in));
    runs.push_back(Line(Place(io_roof, leftAtFar ? i_left : i_right, facade, xn, zn, i_step, i_down), 1, {0, 0}, i_in));
    runs.push_back(Line(Place(io_roof, i_middle, facade, x1, z1, i_step, i_down), i_gable.along - 2, i_gable.stepJ, i_in));
    return runs;
  };
  AddBlock(io_roof, row(0, PieceKind::EaveGableLeft, PieceKind::EaveGableRight, PieceKind::Eave), 1);
  // The rows above the eave, one cell in and one step up each.
  AddBlock(io_roof, row(1, PieceKind::SlopeGableLeft, PieceKind::SlopeGableRight, PieceKind::Slope), i_rows - 1);
}

// The gable walls' panels at one end (cell j), stacked under the cells whose step is above them.
void AddGablePanels(Roof& io_roof, const Gable& i_gable, std::int64_t i_j, Direction i_out) {
  const std::int64_t levels = (i_gable.across - 1) / 2;
  const auto [x, z] = CellOf(i_gable, 1, i_j);
  Placement panel = Place(io_roof, PieceKind::GableWall, FacadeOf(i_out), x, z, 0, i_out);
  // Panel level p stands under the cells p + 1 .. across - 2 - p.
  AddBlock(io_roof, {Line(panel, i_gable.across - 2, i_gable.stepI, i_gable.stepI, 2)}, levels);
}

void AddGableRoof(Roof& io_roof) {
  const Gable gable = GableOf(io_roof.request);
  const std::int64_t half = gable.across / 2;  // rows of each slope
  const Direction stepBack = Opposite(gable.stepI);
  AddGableSlope(io_roof, gable, 0, gable.down, gable.stepI, half);
  AddGableSlope(io_roof, gable, gable.across - 1, Opposite(gable.down), stepBack, half);
  if (gable.across % 2 == 1) {
    // The ridge row of an odd span: the ridge's own +z along the ridge, and a gable at each end
    // with the gable on its +z side.
    const auto [x0, z0] = CellOf(gable, half, 0);
    const auto [x1, z1] = CellOf(gable, half, 1);
    const auto [xn, zn] = CellOf(gable, half, gable.along - 1);
    const Direction atEnd = gable.end, atStart = Opposite(gable.end);
    // A piece whose own +z points to (a.x, a.z) turns its own +x to (a.z, -a.x).
    const auto facingLeft = [](Direction i_left) { return Direction{i_left.z, -i_left.x}; };
    std::vector<Run> ridge;
    ridge.push_back(Line(Place(io_roof, PieceKind::RidgeGable, 0, x0, z0, half, facingLeft(atStart)), 1, {0, 0}));
    ridge.push_back(Line(Place(io_roof, PieceKind::RidgeGable, 0, xn, zn, half, facingLeft(atEnd)), 1, {0, 0}));
    ridge.push_back(Line(Place(io_roof, PieceKind::Ridge, 0, x1, z1, half, facingLeft(atEnd)), gable.along - 2,
                         gable.stepJ));
    AddBlock(io_roof, std::move(ridge), 1);
  }
  AddGablePanels(io_roof, gable, 0, Opposite(gable.end));
  AddGablePanels(io_roof, gable, gable.along - 1, gable.end);
}

// One hip roof's rings from ring i_first on, i_rings of them: a corner at each corner of the
// ring and a side between, each side facing out; ring d stands d steps up and d cells in.
void AddHipRings(Roof& io_roof, std::int64_t i_first, std::int64_t i_rings, PieceKind i_corner, PieceKind i_side) {
  const std::int64_t X = io_roof.request.cellsAlongX, Z = io_roof.request.cellsAlongZ;
  const std::int64_t d = i_first;
  const Direction north{1, 0}, east{0, 1}, south{-1, 0}, west{0, -1};
  std::vector<Run> runs;
  // The corners as the storeys' rings turn theirs: the facade on the piece's +x, the next on +z.
  runs.push_back(Line(Place(io_roof, i_corner, 0, -d, d, d, west), 1, {0, 0}, {-1, 1}));
  runs.push_back(Line(Place(io_roof, i_side, 'N', -d, d + 1, d, north), Z - 2 - 2 * d, {0, 1}, {-1, 1}, 2));
  runs.push_back(Line(Place(io_roof, i_corner, 0, -d, Z - 1 - d, d, north), 1, {0, 0}, {-1, -1}));
  runs.push_back(Line(Place(io_roof, i_side, 'E', -d - 1, Z - 1 - d, d, east), X - 2 - 2 * d, {-1, 0}, {-1, -1}, 2));
  runs.push_back(Line(Place(io_roof, i_corner, 0, 1 - X + d, Z - 1 - d, d, east), 1, {0, 0}, {1, -1}));
  runs.push_back(Line(Place(io_roof, i_side, 'S', 1 - X + d, d + 1, d, south), Z - 2 - 2 * d, {0, 1}, {1, 1}, 2));
  runs.push_back(Line(Place(io_roof, i_corner, 0, 1 - X + d, d, d, south), 1, {0, 0}, {1, 1}));
  runs.push_back(Line(Place(io_roof, i_side, 'W', -d - 1, d, d, west), X - 2 - 2 * d, {-1, 0}, {-1, 1}, 2));
  AddBlock(io_roof, std::move(runs), i_rings);
}

void AddHipRoof(Roof& io_roof) {
  const std::int64_t X = io_roof.request.cellsAlongX, Z = io_roof.request.cellsAlongZ;
  const std::int64_t shorter = X < Z ? X : Z;
  // Rings of two cells or more on both sides; the last, one cell wide, is the ridge.
  const std::int64_t rings = shorter / 2;
  AddHipRings(io_roof, 0, 1, PieceKind::EaveCorner, PieceKind::Eave);
  AddHipRings(io_roof, 1, rings - 1, PieceKind::Hip, PieceKind::Slope);
  if (shorter % 2 == 0) return;
  const std::int64_t d = rings;
  if (X == Z) {
    AddBlock(io_roof, {Line(Place(io_roof, PieceKind::Peak, 0, -d, d, d, {1, 0}), 1, {0, 0})}, 1);
    return;
  }
  // The ridge runs along the longer side: its ends' slopes face out along it, its cells' own +z
  // runs along it.
  const bool alongZ = Z > X;
  const Direction along = alongZ ? Direction{0, 1} : Direction{-1, 0};
  const std::int64_t length = (alongZ ? Z : X) - 2 * d;
  const std::int64_t fx = -d, fz = d;
  const std::int64_t lx = fx + (length - 1) * along.x, lz = fz + (length - 1) * along.z;
  std::vector<Run> ridge;
  ridge.push_back(Line(Place(io_roof, PieceKind::RidgeEnd, 0, fx, fz, d, Opposite(along)), 1, {0, 0}));
  ridge.push_back(Line(Place(io_roof, PieceKind::Ridge, 0, fx + along.x, fz + along.z, d, {along.z, -along.x}),
                       length - 2, along));
  ridge.push_back(Line(Place(io_roof, PieceKind::RidgeEnd, 0, lx, lz, d, along), 1, {0, 0}));
  AddBlock(io_roof, std::move(ridge), 1);
}

// A hip roof over a footprint other than a rectangle: each rectangle of cells that take one piece
// is a run along z, repeated row by row along x.
void AddFootprintHipRoof(Roof& io_roof) {
  std::vector<HipCells> cells;
  std::vector<GableEnd> ends;
  std::string fault;
  // The tool refuses a footprint that no hip roof covers before it lays one out.
  const bool gable = io_roof.request.roof == RoofShape::Gable;
  if (gable ? !GableRoofCells(*io_roof.request.footprint, cells, ends, fault)
            : !HipRoofCells(*io_roof.request.footprint, cells, fault))
    return;
  for (const HipCells& run : cells) {
    const Direction down{run.zd, run.xd};
    Run line = Line(Place(io_roof, run.kind, FacadeOf(down), run.x, run.z, run.step, down), run.cells, {0, 1});
    line.bx = 1;
    line.bstep = 0;
    AddBlock(io_roof, {std::move(line)}, run.rows);
  }
  // Each end's gable wall, as a rectangle's: panel level p under the end's cells p + 1 ..
  // cells - 2 - p, whose roof stands above it.
  for (const GableEnd& end : ends) {
    const Direction out{end.outX, end.outZ}, along{end.dx, end.dz};
    Placement panel = Place(io_roof, PieceKind::GableWall, FacadeOf(out), end.x + end.dx, end.z + end.dz, 0, out);
    AddBlock(io_roof, {Line(panel, end.cells - 2, along, along, 2)}, (end.cells - 1) / 2);
  }
}

}  // namespace

void AddPitchedRoof(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
                    Plan& io_plan) {
  Roof roof{i_request, i_kit, i_style, i_level, io_plan};
  if (i_request.footprint) return AddFootprintHipRoof(roof);
  if (i_request.roof == RoofShape::Gable) return AddGableRoof(roof);
  AddHipRoof(roof);
}

}  // namespace Ostrel::Buildings::detail
