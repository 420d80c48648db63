// The plan of a building: its rows, each a ring of corners and facades, folded by parity.

#include <ostrel/layout/Layout.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/Setbacks.h>

#include "layout/FootprintParts.h"
#include "layout/LayoutParts.h"

namespace Ostrel::Buildings {

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
  bool mayHoldDoor = true;  // of a footprint's runs, only the door's run may
  // Cells at the ends that another piece builds: the wall that runs on past an inner corner over
  // the terrace (InnerAngleTerraceLeft, Right) builds the cell after its end cell.
  std::int64_t skipFirst = 0, skipLast = 0;
  // The corner cell before cell 1 (after the last cell) runs on flush with the facade below while
  // the cell beside it stands over the terrace: the piece of that cell builds the corner too.
  bool turnFirst = false, turnLast = false;
};

// What one row lays out: the kinds of its pieces and where it stands.
struct Row {
  const Request* request;
  const Kit* kit;
  const KitStyle* style;
  std::int64_t level;
  PieceRow kind;
  PieceKind corner;
  PieceKind inner;                // of a footprint's inner corners
  PieceKind window, door, close;  // of an inner cell, by its opening
  std::vector<Choice>* choices;   // the plan's, which gains those of the row's pieces
  // The first storey of a block that steps back: the sides N, E, S, W that stand over the
  // terrace of the block below take the terrace's pieces.
  std::array<bool, 4> terrace{};
  // The top of a block that a block above steps back from: the cells the block above stands on
  // (in the row's cells) are left out of its roof ring.
  const BlockRect* keepOut = nullptr;
  // The same two for a footprint's blocks: the cells of the block below, whose terrace a facade
  // of the row's first storey stands over where the cell outside it is one of them; and the
  // cells of the block above, left out of the terrace's ring.
  const Footprint* below = nullptr;
  const Footprint* keepOutCells = nullptr;
};

std::size_t SideIndex(char i_side) {
  switch (i_side) {
    case 'N':
      return 0;
    case 'E':
      return 1;
    case 'S':
      return 2;
    default:
      return 3;
  }
}

bool Inside(const BlockRect& i_footprint, std::int64_t i_x, std::int64_t i_z) {
  return i_x <= i_footprint.x0 && i_x > i_footprint.x0 - i_footprint.cellsAlongX && i_z >= i_footprint.z0 &&
         i_z < i_footprint.z0 + i_footprint.cellsAlongZ;
}

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

// What a row lays on a party wall's cell side: a closed wall (over a lower neighbour's roof, as
// over a terrace), or nothing of its own (the neighbour's wall stands there; a roof row lays the
// bare roof slab).
enum class Party { None, Closed, OnRoof, LeftOut };

// Whether the row's style has a piece of kind i_kind.
bool Has(const Row& i_row, PieceKind i_kind) {
  return i_row.kit->piece(i_row.style->piece(i_kind)).fault != PieceFault::NotFound;
}

// The party wall on side i_side of cell (x, z), or null.
const PartyWall* PartyWallAt(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  for (const PartyWall& wall : i_row.request->partyWalls) {
    const CellRect& c = wall.cells;
    if (wall.side == i_side && i_x >= c.x0 && i_x <= c.x1 && i_z >= c.z0 && i_z <= c.z1) return &wall;
  }
  return nullptr;
}

// The bare roof slab for a party side of the roof row. Where the storey below keeps its wall, the
// building's grid reaches a few centimetres into the neighbour's wall, whose slab edge (band,
// string course) then lies along the slab's underside: the party cap's lip laps it. A style
// without the party cap lays the plain one.
PieceKind BareRoofOn(const Row& i_row, const PartyWall* i_wall) {
  if (!i_wall || i_wall->hidden >= i_row.level) return PieceKind::RoofCap;
  return Has(i_row, PieceKind::RoofCapParty) ? PieceKind::RoofCapParty : PieceKind::RoofCap;
}

// Whether the neighbour of the party wall on side i_side of cell (x, z) stands behind it at the
// row's level, or, for the roof row, at any level: a cornice on the roof row's party side would
// hang over a lower neighbour's roof.
bool Behind(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const PartyWall* wall = PartyWallAt(i_row, i_side, i_x, i_z);
  return wall && (i_row.kind == PieceRow::Roof ? wall->behind > 0 : i_row.level < wall->behind);
}

// The closed wall of a party side's cell (x, z): the party wall piece, whose bands (the roof
// row's: its cornice) are stubs at its ends, where the neighbour stands behind it and the style
// has it; else the row's closed wall.
PieceKind ClosedPartyWall(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const PieceKind kind = i_row.kind == PieceRow::Roof            ? PieceKind::RoofCloseParty
                         : i_row.close == PieceKind::GroundClose ? PieceKind::GroundCloseParty
                         : i_row.close == PieceKind::FloorClose  ? PieceKind::FloorCloseParty
                                                                 : i_row.close;
  if (kind == i_row.close || !Behind(i_row, i_side, i_x, i_z)) return i_row.close;
  return Has(i_row, kind) ? kind : i_row.close;
}

// The closed wall of a party side's cell (x, z) on a lower neighbour's roof: the one whose
// underside over the wall is open, where the storey below keeps its wall and the style has it
// (else its underside would lie in the plane of the neighbour's slab's, beside it); else the one
// over a terrace.
PieceKind OnRoofWall(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const PartyWall* wall = PartyWallAt(i_row, i_side, i_x, i_z);
  if (!wall || wall->hidden >= i_row.level || !Has(i_row, PieceKind::TerraceFloorCloseParty))
    return PieceKind::TerraceFloorClose;
  return PieceKind::TerraceFloorCloseParty;
}

Party PartyOf(const Row& i_row, const PartyWall& i_wall) {
  if (i_row.kind == PieceRow::Roof) return i_wall.bareRoof ? Party::LeftOut : Party::Closed;
  if (i_row.level < i_wall.hidden) return Party::LeftOut;
  return i_wall.onRoof > 0 && i_row.level == i_wall.onRoof ? Party::OnRoof : Party::Closed;
}

// The party state of side i_side of cell (x, z) in the row.
Party PartyAt(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const PartyWall* wall = PartyWallAt(i_row, i_side, i_x, i_z);
  return wall ? PartyOf(i_row, *wall) : Party::None;
}

// The side a footprint's ring turns to at the end of a run of side i_side: the next one clockwise.
char NextSide(char i_side) { return i_side == 'N' ? 'E' : i_side == 'E' ? 'S' : i_side == 'S' ? 'W' : 'N'; }

// The party corner of the row: where one side alone, +x (i_sideX) or +z, stands against the
// neighbour, the one whose coping (the roof row) or bands go along that side, if the style has it
// (the neighbour's parapet or corner there may keep its coping and bands, 5 cm into this one's).
PieceKind PartyCorner(const Row& i_row, bool i_sideX, bool i_sideZ) {
  const bool roof = i_row.kind == PieceRow::Roof;
  const PieceKind both = roof ? PieceKind::AngleRoofParty : PieceKind::AngleParty;
  if (i_sideX == i_sideZ) return both;
  const PieceKind kind = roof ? (i_sideZ ? PieceKind::AngleRoofPartyLeft : PieceKind::AngleRoofPartyRight)
                              : (i_sideZ ? PieceKind::AnglePartyLeft : PieceKind::AnglePartyRight);
  return Has(i_row, kind) ? kind : both;
}

// The party corner a corner cell takes whose sides A (its +x) and B (its +z) are party walls,
// neither left out, where the neighbour's cells stand beyond the corner's end or beside it and the
// style has it (see AddBesideCorner); Count where it takes none.
PieceKind BesideCornerKind(const Row& i_row, char i_sideA, Party i_partyA, char i_sideB, Party i_partyB,
                           std::int64_t i_x, std::int64_t i_z) {
  const auto below = [&](char i_side, std::int64_t PartyWall::*i_levels) {
    const PartyWall* wall = PartyWallAt(i_row, i_side, i_x, i_z);
    return wall && i_row.level < wall->*i_levels;
  };
  const bool besideA = below(i_sideA, &PartyWall::beside), besideB = below(i_sideB, &PartyWall::beside);
  bool againstA = below(i_sideA, &PartyWall::against), againstB = below(i_sideB, &PartyWall::against);
  // A roof row whose cornice stops at party sides (the style has the party parapet) stops it at
  // every closed party side of a corner with a neighbour behind it, whether or not the neighbour
  // stands beyond the corner's end.
  if (i_row.kind == PieceRow::Roof && Has(i_row, PieceKind::RoofCloseParty)) {
    againstA = againstA || (i_partyA == Party::Closed && Behind(i_row, i_sideA, i_x, i_z));
    againstB = againstB || (i_partyB == Party::Closed && Behind(i_row, i_sideB, i_x, i_z));
  }
  const bool beside = besideA || besideB;
  const bool against = againstA || againstB;
  const bool onRoof = i_partyA == Party::OnRoof || i_partyB == Party::OnRoof;
  const PieceKind kind = PartyCorner(i_row, besideA || againstA, besideB || againstB);
  return (beside || against) && !onRoof && Has(i_row, kind) ? kind : PieceKind::Count;
}

// Whether cell (x, z) is the building's.
bool InBuilding(const Request& i_request, std::int64_t i_x, std::int64_t i_z) {
  if (i_request.footprint) return ContainsCell(*i_request.footprint, i_x, i_z);
  return i_x <= 0 && i_x > -i_request.cellsAlongX && i_z >= 0 && i_z < i_request.cellsAlongZ;
}

// The side whose facade faces (i_outX, i_outZ), in cells.
char SideFacing(std::int64_t i_outX, std::int64_t i_outZ) {
  return i_outX > 0 ? 'N' : i_outX < 0 ? 'S' : i_outZ > 0 ? 'E' : 'W';
}

// Whether the piece in cell (x, z) keeps of its bands along side i_side only stubs at its ends: a
// closed party wall with the neighbour behind it, or a one-sided party corner whose party side
// that is (its stub at the far end). Where two such pieces meet, no band runs on through the
// junction, and both may leave their stubs out. A cell at an inner corner is the inner corner's
// piece's, whose bands run on; the roof row keeps its stubs.
bool StubbedOn(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const Request& request = *i_row.request;
  if (i_row.kind == PieceRow::Roof || !InBuilding(request, i_x, i_z)) return false;
  const detail::RunStep step = detail::StepOf(i_side);
  if (InBuilding(request, i_x + step.outX, i_z + step.outZ)) return false;  // not on that facade
  char other = 0;  // the corner's other side
  for (const int d : {-1, 1}) {
    const std::int64_t x = i_x + d * step.dx, z = i_z + d * step.dz;
    if (!InBuilding(request, x, z)) {
      if (other != 0) return false;  // a facade one cell long
      other = SideFacing(d * step.dx, d * step.dz);
    } else if (InBuilding(request, x + step.outX, z + step.outZ)) {
      return false;  // the facade steps out there: an inner corner
    }
  }
  if (other == 0) {
    return PartyAt(i_row, i_side, i_x, i_z) == Party::Closed &&
           ClosedPartyWall(i_row, i_side, i_x, i_z) != i_row.close;
  }
  // A corner's +x side is the one whose next side clockwise is its +z side.
  const char sideA = NextSide(i_side) == other ? i_side : other, sideB = sideA == i_side ? other : i_side;
  const Party partyA = PartyAt(i_row, sideA, i_x, i_z), partyB = PartyAt(i_row, sideB, i_x, i_z);
  if (partyA == Party::LeftOut || partyB == Party::LeftOut) return false;
  const PieceKind kind = BesideCornerKind(i_row, sideA, partyA, sideB, partyB, i_x, i_z);
  return (kind == PieceKind::AnglePartyLeft && i_side == sideB) ||
         (kind == PieceKind::AnglePartyRight && i_side == sideA);
}

// Whether the row's style has the party pieces without stubs, the whole set: a junction leaves
// its stubs out on both sides or on neither.
bool HasJoins(const Row& i_row) {
  for (const PieceKind kind : {PieceKind::GroundClosePartyJoinLeft, PieceKind::GroundClosePartyJoinRight,
                               PieceKind::GroundClosePartyJoin, PieceKind::FloorClosePartyJoinLeft,
                               PieceKind::FloorClosePartyJoinRight, PieceKind::FloorClosePartyJoin,
                               PieceKind::AnglePartyLeftJoin, PieceKind::AnglePartyRightJoin}) {
    if (!Has(i_row, kind)) return false;
  }
  return true;
}

// The closed wall of a party side's cell (x, z) (ClosedPartyWall), without its stub at an end
// that meets another party cell's stub (StubbedOn), where the style has those pieces.
PieceKind PartyWallJoined(const Row& i_row, char i_side, std::int64_t i_x, std::int64_t i_z) {
  const PieceKind kind = ClosedPartyWall(i_row, i_side, i_x, i_z);
  const bool ground = kind == PieceKind::GroundCloseParty;
  if ((!ground && kind != PieceKind::FloorCloseParty) || !HasJoins(i_row)) return kind;
  // The piece's +z, its left seen from outside, in cells.
  const detail::RunStep step = detail::StepOf(i_side);
  const std::int64_t lx = -step.outZ, lz = step.outX;
  const bool left = StubbedOn(i_row, i_side, i_x + lx, i_z + lz);
  const bool right = StubbedOn(i_row, i_side, i_x - lx, i_z - lz);
  using K = PieceKind;
  if (left && right) return ground ? K::GroundClosePartyJoin : K::FloorClosePartyJoin;
  if (left) return ground ? K::GroundClosePartyJoinLeft : K::FloorClosePartyJoinLeft;
  if (right) return ground ? K::GroundClosePartyJoinRight : K::FloorClosePartyJoinRight;
  return kind;
}

// A one-sided party corner (i_kind) of cell (x, z), its +x on side A and +z on side B, without
// the stub at its party side's far end where the next cell along that side keeps only its stub
// there too (StubbedOn), if the style has those pieces.
PieceKind PartyCornerJoined(const Row& i_row, PieceKind i_kind, char i_sideA, char i_sideB, std::int64_t i_x,
                            std::int64_t i_z) {
  const bool left = i_kind == PieceKind::AnglePartyLeft;
  if ((!left && i_kind != PieceKind::AnglePartyRight) || !HasJoins(i_row)) return i_kind;
  // The far end along the party side lies away from the other side's facade.
  const char party = left ? i_sideB : i_sideA;
  const detail::RunStep away = detail::StepOf(left ? i_sideA : i_sideB);
  if (!StubbedOn(i_row, party, i_x - away.outX, i_z - away.outZ)) return i_kind;
  return left ? PieceKind::AnglePartyLeftJoin : PieceKind::AnglePartyRightJoin;
}

// The pieces of one inner cell: its window, door or wall, then its balcony if it has one. A
// party wall's cell is a closed wall.
void AddCell(const Row& i_row, const Facade& i_facade, std::int64_t i_index, Party i_party,
             std::vector<Placement>& o_period) {
  const bool party = i_party != Party::None;
  const int level = RuleLevel(i_row.level);
  const std::int64_t x = i_facade.x + (i_index - 1) * i_facade.dx;
  const std::int64_t z = i_facade.z + (i_index - 1) * i_facade.dz;
  CellOpening opening = party ? CellOpening::Close
                                : DoorOrClose(*i_row.request, level, i_row.kind, i_facade.letter, i_facade.minSide,
                                              i_facade.maxSide, i_index);
  if (opening == CellOpening::Door && !i_facade.mayHoldDoor) {
    opening = CloseSelects(*i_row.request, level, i_row.kind, i_facade.letter, i_index) ? CellOpening::Close
                                                                                        : CellOpening::Window;
  }
  if (i_party == Party::OnRoof) {
    o_period.push_back(Place(i_row, OnRoofWall(i_row, i_facade.letter, x, z), i_facade.letter, x, z, i_facade.xd,
                             i_facade.zd));
    return;
  }
  if (i_row.terrace[SideIndex(i_facade.letter)]) {
    // Over the terrace no balcony: the terrace is the storey's outdoor floor.
    const PieceKind kind = opening == CellOpening::Close ? PieceKind::TerraceFloorClose : PieceKind::TerraceFloor;
    o_period.push_back(Place(i_row, kind, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
    return;
  }
  const PieceKind close = party ? PartyWallJoined(i_row, i_facade.letter, x, z) : i_row.close;
  const PieceKind kind = opening == CellOpening::Door    ? i_row.door
                         : opening == CellOpening::Close ? close
                                                         : i_row.window;
  o_period.push_back(Place(i_row, kind, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  if (!party && BalconySelects(*i_row.request, level, i_row.kind, i_facade.letter, i_index)) {
    o_period.push_back(Place(i_row, PieceKind::Balcony, i_facade.letter, x, z, i_facade.xd, i_facade.zd));
  }
}

// Cells i_first to i_last (1-based, inclusive) of one facade, none of them the door's: two
// neighbouring cells as the period, then a last odd one. i_party: a party wall's closed cells.
void AddCells(const Row& i_row, const Facade& i_facade, std::int64_t i_first, std::int64_t i_last,
              std::vector<Run>& o_runs, Party i_party = Party::None) {
  const std::int64_t count = i_last - i_first + 1;
  if (count >= 2) {
    Run pair;
    AddCell(i_row, i_facade, i_first, i_party, pair.period);
    AddCell(i_row, i_facade, i_first + 1, i_party, pair.period);
    pair.repeats = count / 2;
    pair.dx = 2 * i_facade.dx;
    pair.dz = 2 * i_facade.dz;
    o_runs.push_back(std::move(pair));
  }
  if (count >= 1 && count % 2 == 1) {
    Run last;
    AddCell(i_row, i_facade, i_last, i_party, last.period);
    o_runs.push_back(std::move(last));
  }
}

// The cells i_lo to i_hi (1-based) of the facade that stand in i_footprint; false for none.
bool CellsInside(const Facade& i_facade, const BlockRect& i_footprint, std::int64_t& o_lo, std::int64_t& o_hi) {
  // Along the facade's line the cells step by one along x or z; across it they stay.
  const bool alongX = i_facade.dx != 0;
  const std::int64_t step = alongX ? i_facade.dx : i_facade.dz;
  const std::int64_t start = alongX ? i_facade.x : i_facade.z;
  const std::int64_t lo = alongX ? i_footprint.x0 - i_footprint.cellsAlongX + 1 : i_footprint.z0;
  const std::int64_t hi = alongX ? i_footprint.x0 : i_footprint.z0 + i_footprint.cellsAlongZ - 1;
  const std::int64_t across = alongX ? i_facade.z : i_facade.x;
  if (alongX ? !Inside(i_footprint, i_footprint.x0, across) : !Inside(i_footprint, across, i_footprint.z0))
    return false;
  // Cell i stands at start + (i - 1) * step, step = +1 or -1.
  std::int64_t first = 1 + (lo - start) * step, last = 1 + (hi - start) * step;
  if (first > last) std::swap(first, last);
  o_lo = std::max<std::int64_t>(first, 1);
  o_hi = std::min(last, i_facade.cells);
  return o_lo <= o_hi;
}

// The cells i_lo to i_hi (1-based) of the facade that lie on the party wall; false for none.
bool PartyCells(const Facade& i_facade, const PartyWall& i_wall, std::int64_t& o_lo, std::int64_t& o_hi) {
  if (i_wall.side != i_facade.letter) return false;
  const bool alongX = i_facade.dx != 0;
  const CellRect& c = i_wall.cells;
  if (alongX ? c.z0 != i_facade.z || c.z1 != i_facade.z : c.x0 != i_facade.x || c.x1 != i_facade.x) return false;
  const std::int64_t step = alongX ? i_facade.dx : i_facade.dz;
  const std::int64_t start = alongX ? i_facade.x : i_facade.z;
  std::int64_t first = 1 + ((alongX ? c.x0 : c.z0) - start) * step;
  std::int64_t last = 1 + ((alongX ? c.x1 : c.z1) - start) * step;
  if (first > last) std::swap(first, last);
  o_lo = std::max<std::int64_t>(first, 1);
  o_hi = std::min(last, i_facade.cells);
  return o_lo <= o_hi;
}

// Cells i_first to i_last of the facade with their openings, the door's cell on its own.
void AddOpenCells(const Row& i_row, const Facade& i_facade, std::int64_t i_first, std::int64_t i_last,
                  std::int64_t i_door, std::vector<Run>& o_runs) {
  if (i_door < i_first || i_door > i_last) return AddCells(i_row, i_facade, i_first, i_last, o_runs);
  AddCells(i_row, i_facade, i_first, i_door - 1, o_runs);
  AddCells(i_row, i_facade, i_door, i_door, o_runs);
  AddCells(i_row, i_facade, i_door + 1, i_last, o_runs);
}

// Cells i_first to i_last of the facade on a party wall: closed, or left out (the roof row's as
// the bare roof slab, one run).
void AddPartyCells(const Row& i_row, const Facade& i_facade, std::int64_t i_first, std::int64_t i_last,
                   Party i_party, std::vector<Run>& o_runs) {
  if (i_party == Party::Closed && i_last - i_first >= 2) {
    // An end cell may leave out its stub at its outer end (PartyWallJoined), where the cells
    // between leave out both: then each end is a run of its own.
    const auto kind = [&](std::int64_t i_index) {
      return PartyWallJoined(i_row, i_facade.letter, i_facade.x + (i_index - 1) * i_facade.dx,
                             i_facade.z + (i_index - 1) * i_facade.dz);
    };
    if (kind(i_first) != kind(i_first + 1) || kind(i_last) != kind(i_last - 1)) {
      AddCells(i_row, i_facade, i_first, i_first, o_runs, i_party);
      AddCells(i_row, i_facade, i_first + 1, i_last - 1, o_runs, i_party);
      return AddCells(i_row, i_facade, i_last, i_last, o_runs, i_party);
    }
  }
  if (i_party != Party::LeftOut) return AddCells(i_row, i_facade, i_first, i_last, o_runs, i_party);
  if (i_row.kind != PieceRow::Roof) return;
  const std::int64_t x = i_facade.x + (i_first - 1) * i_facade.dx, z = i_facade.z + (i_first - 1) * i_facade.dz;
  Run caps;
  caps.period.push_back(Place(i_row, BareRoofOn(i_row, PartyWallAt(i_row, i_facade.letter, x, z)), i_facade.letter,
                              x, z, i_facade.xd, i_facade.zd));
  caps.repeats = i_last - i_first + 1;
  caps.dx = i_facade.dx;
  caps.dz = i_facade.dz;
  o_runs.push_back(std::move(caps));
}

void AddFacade(const Row& i_row, const Facade& i_facade, std::vector<Run>& o_runs) {
  if (i_facade.cells <= 0) return;
  std::int64_t lo = 0, hi = 0;
  if (i_row.keepOut && CellsInside(i_facade, *i_row.keepOut, lo, hi)) {
    AddCells(i_row, i_facade, 1, lo - 1, o_runs);
    AddCells(i_row, i_facade, hi + 1, i_facade.cells, o_runs);
    return;
  }
  std::int64_t door = 0;
  if (!i_facade.mayHoldDoor || !DoorCell(i_row.request->door, RuleLevel(i_row.level), i_facade.letter, i_facade.minSide,
                i_facade.maxSide, door)) {
    door = 0;  // no cell has index 0
  }
  // The party walls on the facade, by their first cell: the stretches between them keep their
  // openings, a door on a party wall is not built.
  struct Stretch {
    std::int64_t lo, hi;
    Party party;
  };
  std::vector<Stretch> party;
  for (const PartyWall& wall : i_row.request->partyWalls) {
    if (PartyCells(i_facade, wall, lo, hi)) party.push_back({lo, hi, PartyOf(i_row, wall)});
  }
  std::sort(party.begin(), party.end(), [](const Stretch& a, const Stretch& b) { return a.lo < b.lo; });
  std::int64_t next = 1 + i_facade.skipFirst;
  const std::int64_t last = i_facade.cells - i_facade.skipLast;
  for (const Stretch& stretch : party) {
    AddOpenCells(i_row, i_facade, next, std::min(stretch.lo - 1, last), door, o_runs);
    AddPartyCells(i_row, i_facade, std::max(next, stretch.lo), std::min(stretch.hi, last), stretch.party, o_runs);
    next = std::max(next, stretch.hi + 1);
  }
  AddOpenCells(i_row, i_facade, next, last, door, o_runs);
}

// The outward facing of a side's pieces (Placement's xd, zd).
std::pair<std::int8_t, std::int8_t> FacingOf(char i_side) {
  const detail::RunStep step = detail::StepOf(i_side);
  return {step.outZ, step.outX};
}

// A corner cell of a storey with closed party walls, whose side on one of them has the neighbour's
// cells beyond the corner's end: the corner piece's bands would wrap round past the party line
// into the neighbour's wall, onto its bands or across them. The party corner, whose bands stop
// short of its faces, stands there if the style has it; otherwise, where the neighbour stands
// beside the corner (its front runs on from the corner's), the closed walls of its two sides
// (over a lower neighbour's roof, the party side's as over a terrace), which end on the party
// line. False where the corner piece stands: no such wall, a roof row, or a storey above the
// neighbour.
bool AddBesideCorner(const Row& i_row, char i_sideA, Party i_partyA, char i_sideB, Party i_partyB, std::int64_t i_x,
                     std::int64_t i_z, std::int8_t i_xd, std::int8_t i_zd, std::vector<Run>& o_runs) {
  const PieceKind kind = BesideCornerKind(i_row, i_sideA, i_partyA, i_sideB, i_partyB, i_x, i_z);
  if (kind != PieceKind::Count) {
    Run corner;
    corner.period.push_back(Place(i_row, PartyCornerJoined(i_row, kind, i_sideA, i_sideB, i_x, i_z), 0, i_x, i_z,
                                  i_xd, i_zd));
    o_runs.push_back(std::move(corner));
    return true;
  }
  const auto beside = [&](char i_side) {
    const PartyWall* wall = PartyWallAt(i_row, i_side, i_x, i_z);
    return wall && i_row.level < wall->beside;
  };
  if (!(beside(i_sideA) || beside(i_sideB)) || i_row.kind == PieceRow::Roof) return false;
  Run run;
  for (const auto& [side, party] : {std::make_pair(i_sideA, i_partyA), std::make_pair(i_sideB, i_partyB)}) {
    const auto [xd, zd] = FacingOf(side);
    const PieceKind kind = party == Party::OnRoof ? OnRoofWall(i_row, side, i_x, i_z) : i_row.close;
    run.period.push_back(Place(i_row, kind, side, i_x, i_z, xd, zd));
  }
  o_runs.push_back(std::move(run));
  return true;
}

// The parapet of side i_kept of a roof row's corner cell whose side i_bare is bare: where the bare
// slab beside it takes the lip (the cell reaches into the neighbour's wall), the parapet piece
// whose coping and band stop short of that end, if the style has it (the neighbour's coping and
// band run along the party line there), else the one that takes the lip too under its slab's end
// on that side: +z (left) or -z (right) in its frame, whose +z is its facing turned a quarter to
// the left.
PieceKind ParapetBeside(const Row& i_row, char i_kept, char i_bare, const PartyWall* i_wall) {
  if (BareRoofOn(i_row, i_wall) != PieceKind::RoofCapParty) return i_row.close;
  const detail::RunStep kept = detail::StepOf(i_kept), bare = detail::StepOf(i_bare);
  const bool left = bare.outX == -kept.outZ && bare.outZ == kept.outX;
  const PieceKind cut = left ? PieceKind::RoofPartyShortLeft : PieceKind::RoofPartyShortRight;
  if (Has(i_row, cut)) return cut;
  const PieceKind kind = left ? PieceKind::RoofPartyLeft : PieceKind::RoofPartyRight;
  return Has(i_row, kind) ? kind : i_row.close;
}

// A corner cell with a side left out for a neighbour's wall: its other side's closed wall alone,
// running on to the neighbour's wall (the roof row: its parapet over the roof slab), or, with
// both sides left out, nothing (the roof row: the bare roof slab). False when neither side is
// left out: the corner piece stands.
bool AddPartyCorner(const Row& i_row, char i_sideA, char i_sideB, std::int64_t i_x, std::int64_t i_z,
                    std::int8_t i_xd, std::int8_t i_zd, std::vector<Run>& o_runs) {
  if (i_row.request->partyWalls.empty()) return false;
  const Party partyA = PartyAt(i_row, i_sideA, i_x, i_z), partyB = PartyAt(i_row, i_sideB, i_x, i_z);
  const bool outA = partyA == Party::LeftOut;
  const bool outB = partyB == Party::LeftOut;
  if (!outA && !outB) return AddBesideCorner(i_row, i_sideA, partyA, i_sideB, partyB, i_x, i_z, i_xd, i_zd, o_runs);
  if (outA && outB && i_row.kind != PieceRow::Roof) return true;
  char kept = outA ? i_sideB : i_sideA;
  PieceKind kind = i_row.close;
  if (outA && outB) {
    // The bare slab alone, its lip (if any) on the side whose wall stays.
    kind = BareRoofOn(i_row, PartyWallAt(i_row, kept, i_x, i_z));
    if (kind == PieceKind::RoofCap && BareRoofOn(i_row, PartyWallAt(i_row, i_sideA, i_x, i_z)) != kind) {
      kept = i_sideA;
      kind = PieceKind::RoofCapParty;
    }
  } else if (i_row.kind == PieceRow::Roof) {
    kind = ParapetBeside(i_row, kept, outA ? i_sideA : i_sideB, PartyWallAt(i_row, outA ? i_sideA : i_sideB, i_x, i_z));
  }
  const auto [xd, zd] = FacingOf(kept);
  Run run;
  run.period.push_back(Place(i_row, kind, kept, i_x, i_z, xd, zd));
  o_runs.push_back(std::move(run));
  return true;
}

// A corner between the facade on its +x side and the one on its +z side.
void AddCorner(const Row& i_row, char i_xSide, char i_zSide, std::int64_t i_x, std::int64_t i_z, std::int8_t i_xd,
               std::int8_t i_zd, std::vector<Run>& o_runs) {
  if (i_row.keepOut && Inside(*i_row.keepOut, i_x, i_z)) return;
  if (AddPartyCorner(i_row, i_xSide, i_zSide, i_x, i_z, i_xd, i_zd, o_runs)) return;
  const bool overX = i_row.terrace[SideIndex(i_xSide)], overZ = i_row.terrace[SideIndex(i_zSide)];
  const PieceKind kind = overX && overZ ? PieceKind::TerraceAngle
                         : overZ        ? PieceKind::TerraceAngleLeft
                         : overX        ? PieceKind::TerraceAngleRight
                                        : i_row.corner;
  Run corner;
  corner.period.push_back(Place(i_row, kind, 0, i_x, i_z, i_xd, i_zd));
  o_runs.push_back(std::move(corner));
}

// The ring of one row: a corner, facade N, a corner, facade E, and so on round to facade W; the
// first corner closes the ring.
std::vector<Run> RingRuns(const Row& i_row) {
  const std::int64_t Z = i_row.request->cellsAlongZ;
  const std::int64_t X = i_row.request->cellsAlongX;
  std::vector<Run> runs;
  AddCorner(i_row, 'W', 'N', 0, 0, -1, 0, runs);
  AddFacade(i_row, {'N', Z - 2, Z - 2, 1, 0, 1, 0, 1, 0, 1}, runs);
  AddCorner(i_row, 'N', 'E', 0, Z - 1, 0, 1, runs);
  AddFacade(i_row, {'E', X - 2, X - 2, 1, -1, Z - 1, -1, 0, 1, 0}, runs);
  AddCorner(i_row, 'E', 'S', 1 - X, Z - 1, 1, 0, runs);
  AddFacade(i_row, {'S', Z - 2, 1, Z - 2, 1 - X, 1, 0, 1, 0, -1}, runs);
  AddCorner(i_row, 'S', 'W', 1 - X, 0, 0, -1, runs);
  AddFacade(i_row, {'W', X - 2, 1, X - 2, -1, 0, -1, 0, -1, 0}, runs);
  return runs;
}

// The cells of a footprint's facade outside i_keepOut, as runs of cells (no door: the terrace's
// ring is a roof row above the ground storey).
void AddFacadeOutside(const Row& i_row, const Facade& i_facade, const Footprint& i_keepOut, std::vector<Run>& o_runs) {
  if (i_facade.cells <= 0) return;
  const std::int64_t lastX = i_facade.x + (i_facade.cells - 1) * i_facade.dx;
  const std::int64_t lastZ = i_facade.z + (i_facade.cells - 1) * i_facade.dz;
  const Footprint line = RectangleFootprint(std::max(i_facade.x, lastX), std::min(i_facade.z, lastZ),
                                            std::abs(lastX - i_facade.x) + 1, std::abs(lastZ - i_facade.z) + 1);
  const bool alongX = i_facade.dx != 0;
  const std::int64_t step = alongX ? i_facade.dx : i_facade.dz;
  const std::int64_t start = alongX ? i_facade.x : i_facade.z;
  for (const CellRect& open : Rectangles(Difference(line, i_keepOut))) {
    // Cell i stands at start + (i - 1) * step, step = +1 or -1.
    const std::int64_t a = 1 + ((alongX ? open.x0 : open.z0) - start) * step;
    const std::int64_t b = 1 + ((alongX ? open.x1 : open.z1) - start) * step;
    AddCells(i_row, i_facade, std::min(a, b), std::max(a, b), o_runs);
  }
}

// Whether the wall of cell (x, z) facing i_side stands over the terrace of the block below.
bool OverTerrace(const Row& i_row, std::int64_t i_x, std::int64_t i_z, char i_side) {
  if (!i_row.below) return false;
  const detail::RunStep step = detail::StepOf(i_side);
  return ContainsCell(*i_row.below, i_x + step.outX, i_z + step.outZ);
}

// Whether the wall of an inner corner over the terrace (its inner cell i_x, i_z) that runs one
// cell along (i_ux, i_uz) and faces (i_vx, i_vz) runs on past its end cell flush with the facade
// below: the next cell along stands on the facade below, a cell outside the block below in
// front of it.
bool RunsOnFlush(const Row& i_row, std::int64_t i_x, std::int64_t i_z, int i_ux, int i_uz, int i_vx, int i_vz) {
  const std::int64_t x = i_x + 2 * i_ux, z = i_z + 2 * i_uz;
  return ContainsCell(*i_row.request->footprint, x, z) && !ContainsCell(*i_row.below, x + i_vx, z + i_vz);
}

// The piece that ends a wall over the terrace in cell (x, z), facing (i_outX, i_outZ), whose wall
// runs on flush past it along (i_ux, i_uz): it faces out (+z) and its wall runs on along +x
// (left), or faces out along +x and runs on along +z (right), +z a quarter turn left of +x. With
// i_turn the flush cell is an outer corner; with i_angle the wall's own cell is.
void AddTerraceEnd(const Row& i_row, std::int64_t i_x, std::int64_t i_z, std::int64_t i_ux, std::int64_t i_uz,
                   std::int64_t i_outX, std::int64_t i_outZ, bool i_turn, bool i_angle, std::vector<Run>& o_runs) {
  const bool left = -i_uz == i_outX && i_ux == i_outZ;
  const std::int64_t px = left ? i_ux : i_outX, pz = left ? i_uz : i_outZ;  // the piece's +x
  using K = PieceKind;
  const PieceKind kind = i_angle ? (i_turn ? (left ? K::TerraceAngleEndTurnLeft : K::TerraceAngleEndTurnRight)
                                           : (left ? K::TerraceAngleEndLeft : K::TerraceAngleEndRight))
                                 : (i_turn ? (left ? K::TerraceEndTurnLeft : K::TerraceEndTurnRight)
                                           : (left ? K::TerraceEndLeft : K::TerraceEndRight));
  Run run;
  run.period.push_back(Place(i_row, kind, 0, i_x, i_z, static_cast<std::int8_t>(pz), static_cast<std::int8_t>(px)));
  o_runs.push_back(std::move(run));
}

// The cells of a footprint's facade on the first storey of a block that steps back, in stretches
// over the terrace of the block below and flush with its facade. Where a stretch over the terrace
// ends beside a flush one, its last wall's piece (TerraceEndLeft, Right) builds the flush cell
// after it too (the setback's checks see to it that both are the facade's inner cells). A facade
// all over the terrace or all flush is one stretch.
void AddSteppedFacade(const Row& i_row, const Facade& i_facade, std::vector<Run>& o_runs) {
  const std::int64_t first = 1 + i_facade.skipFirst, last = i_facade.cells - i_facade.skipLast;
  if (first > last) return;
  // The stretches over the terrace, in the facade's cell numbers: the cells in front of the
  // facade that are the block below's.
  const bool alongX = i_facade.dx != 0;
  const std::int64_t step = alongX ? i_facade.dx : i_facade.dz;
  const std::int64_t start = alongX ? i_facade.x : i_facade.z;
  const std::int64_t outX = i_facade.zd, outZ = i_facade.xd;  // Placement's xd is the facing's z
  const std::int64_t ax = i_facade.x + (first - 1) * i_facade.dx, az = i_facade.z + (first - 1) * i_facade.dz;
  const std::int64_t bx = i_facade.x + (last - 1) * i_facade.dx, bz = i_facade.z + (last - 1) * i_facade.dz;
  const Footprint front = RectangleFootprint(std::max(ax, bx) + outX, std::min(az, bz) + outZ, std::abs(bx - ax) + 1,
                                             std::abs(bz - az) + 1);
  struct Stretch {
    std::int64_t lo, hi;
    bool over;
    bool endLo = false, endHi = false;  // the end's wall runs on flush past it
    bool turnLo = false, turnHi = false;  // into the corner cell beyond the facade's cells
  };
  std::vector<Stretch> stretches;
  for (const CellRect& rect : Rectangles(Intersection(front, *i_row.below))) {
    const std::int64_t a = 1 + ((alongX ? rect.x0 : rect.z0) - start) * step;
    const std::int64_t b = 1 + ((alongX ? rect.x1 : rect.z1) - start) * step;
    stretches.push_back({std::min(a, b), std::max(a, b), true});
  }
  std::sort(stretches.begin(), stretches.end(), [](const Stretch& p, const Stretch& q) { return p.lo < q.lo; });
  // The flush stretches between them; a stretch over the terrace beside a flush one ends in the
  // piece that builds the flush one's first cell.
  std::vector<Stretch> all;
  for (const Stretch& over : stretches) {
    const std::int64_t from = all.empty() ? first : all.back().hi + 1;
    if (!all.empty() && all.back().over && over.lo == from) {
      all.back().hi = over.hi;  // a line's rectangles may meet
      continue;
    }
    if (over.lo > from) all.push_back({from, over.lo - 1, false});
    all.push_back(over);
  }
  const std::int64_t from = all.empty() ? first : all.back().hi + 1;
  if (from <= last) all.push_back({from, last, false});
  if (i_facade.turnFirst && !all.empty() && all.front().over) all.front().endLo = all.front().turnLo = true;
  if (i_facade.turnLast && !all.empty() && all.back().over) all.back().endHi = all.back().turnHi = true;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!all[i].over) continue;
    if (i > 0) {
      all[i].endLo = true;
      --all[i - 1].hi;
    }
    if (i + 1 < all.size()) {
      all[i].endHi = true;
      ++all[i + 1].lo;
    }
  }
  // An end's piece faces out (+z) and its wall runs on along +x (left), or faces out along +x
  // and runs on along +z (right), +z a quarter turn left of +x.
  const auto end = [&](std::int64_t i_index, std::int64_t i_on, bool i_turn) {
    const std::int64_t x = i_facade.x + (i_index - 1) * i_facade.dx, z = i_facade.z + (i_index - 1) * i_facade.dz;
    AddTerraceEnd(i_row, x, z, i_on * i_facade.dx, i_on * i_facade.dz, outX, outZ, i_turn, false, o_runs);
  };
  for (const Stretch& stretch : all) {
    if (stretch.endLo) end(stretch.lo, -1, stretch.turnLo);
    Row row = i_row;
    row.terrace[SideIndex(i_facade.letter)] = stretch.over;
    Facade cells = i_facade;
    cells.skipFirst = stretch.lo + (stretch.endLo ? 1 : 0) - 1;
    cells.skipLast = i_facade.cells - stretch.hi + (stretch.endHi ? 1 : 0);
    AddFacade(row, cells, o_runs);
    if (stretch.endHi && !(stretch.endLo && stretch.hi == stretch.lo)) end(stretch.hi, 1, stretch.turnHi);
  }
}

// The longest run on the outline that faces the door's side (the first of equal ones): the only
// run the door may open in, never a courtyard's. None when the request has no door.
std::size_t DoorRun(const std::string& i_door, const std::vector<detail::FacadeRun>& i_runs,
                    const std::vector<bool>& i_outer) {
  std::size_t best = i_runs.size();
  if (i_door.size() < 2) return best;
  for (std::size_t i = 0; i < i_runs.size(); ++i) {
    if (!i_outer[i] || i_runs[i].side != i_door[0]) continue;
    if (best == i_runs.size() || i_runs[i].cells > i_runs[best].cells) best = i;
  }
  return best;
}

// The ring of one row of a footprint's building: every run of facade cells with the corner that
// turns from it to the next side (each outer corner laid once, by the run it faces the same way
// as), then the inner corners. The inner-corner piece stands in the cell diagonally inside the
// corner, its +x toward one run's end cell and its +z toward the other's, and builds the walls of
// both end cells; those cells, like a rectangle's corners, take no piece of their own.
std::vector<Run> FootprintRing(const Row& i_row) {
  const Footprint& footprint = *i_row.request->footprint;
  const std::vector<detail::FacadeRun> runs = detail::FacadeRuns(footprint);
  const std::vector<bool> outer = detail::OuterRuns(runs);
  const std::size_t doorRun = DoorRun(i_row.request->door, runs, outer);
  std::vector<Run> out;
  // Of a run's end cell (its last with i_atEnd, else its first; an outer corner) and the cell next
  // to it: whether the end cell stands over the terrace but not the next one, or the other way
  // round, where a wall over the terrace runs on flush with the facade below. Then the piece that
  // ends the wall over the terrace builds the corner (the setback's checks see to it that the
  // corner's other side stands over the terrace).
  enum class End { Plain, Turns, Angle };
  const auto endOf = [&](const detail::FacadeRun& i_run, bool i_atEnd) {
    if (!i_row.below || (i_atEnd ? i_run.innerAtEnd : i_run.innerAtStart)) return End::Plain;
    const detail::RunStep step = detail::StepOf(i_run.side);
    const std::int64_t k = i_atEnd ? i_run.cells - 1 : 0, toward = i_atEnd ? -1 : 1;
    const std::int64_t x = i_run.x + k * step.dx, z = i_run.z + k * step.dz;
    const bool over = OverTerrace(i_row, x, z, i_run.side);
    if (over == OverTerrace(i_row, x + toward * step.dx, z + toward * step.dz, i_run.side)) return End::Plain;
    return over ? End::Angle : End::Turns;
  };
  std::vector<std::pair<std::int64_t, std::int64_t>> turns;  // the corners those pieces build
  for (const detail::FacadeRun& r : runs) {
    const detail::RunStep step = detail::StepOf(r.side);
    const std::int64_t lastX = r.x + (r.cells - 1) * step.dx, lastZ = r.z + (r.cells - 1) * step.dz;
    const End first = endOf(r, false), last = endOf(r, true);
    if (first != End::Plain) turns.emplace_back(r.x, r.z);
    if (last != End::Plain) turns.emplace_back(lastX, lastZ);
    // A corner over the terrace: its piece, whose wall runs on into the run (and turns at the
    // run's other end where the run is two corners).
    const bool pair = r.cells == 2;
    if (first == End::Angle) AddTerraceEnd(i_row, r.x, r.z, step.dx, step.dz, step.outX, step.outZ, pair, true, out);
    if (last == End::Angle)
      AddTerraceEnd(i_row, lastX, lastZ, -step.dx, -step.dz, step.outX, step.outZ, pair, true, out);
  }
  if (i_row.below) {
    // An outer corner standing on an end cell of an inner corner of the block below whose inner
    // cell the block stands back from: the terrace's inner-corner piece builds it.
    // The same for an outer corner on the inner cell itself, without either end cell.
    for (const detail::InnerCorner& c : detail::InnerCorners(*i_row.below, detail::FacadeRuns(*i_row.below))) {
      const bool endX = ContainsCell(footprint, c.x + c.dx, c.z), endZ = ContainsCell(footprint, c.x, c.z + c.dz);
      if (ContainsCell(footprint, c.x, c.z)) {
        if (!endX && !endZ) turns.emplace_back(c.x, c.z);
        continue;
      }
      if (endX) turns.emplace_back(c.x + c.dx, c.z);
      if (endZ) turns.emplace_back(c.x, c.z + c.dz);
    }
  }
  const auto corner = [&](std::int64_t i_x, std::int64_t i_z, char i_side, const detail::RunStep& i_step) {
    if (i_row.keepOutCells && ContainsCell(*i_row.keepOutCells, i_x, i_z)) return;
    if (std::find(turns.begin(), turns.end(), std::pair{i_x, i_z}) != turns.end()) return;
    if (AddPartyCorner(i_row, i_side, NextSide(i_side), i_x, i_z, i_step.outZ, i_step.outX, out)) return;
    // The corner's +x faces the run's way, its +z the next side's: the piece's +x turns to
    // (zd, 0, xd).
    const bool overX = OverTerrace(i_row, i_x, i_z, i_side), overZ = OverTerrace(i_row, i_x, i_z, NextSide(i_side));
    const PieceKind kind = overX && overZ ? PieceKind::TerraceAngle
                           : overZ        ? PieceKind::TerraceAngleLeft
                           : overX        ? PieceKind::TerraceAngleRight
                                          : i_row.corner;
    Run run;
    run.period.push_back(Place(i_row, kind, 0, i_x, i_z, i_step.outZ, i_step.outX));
    out.push_back(std::move(run));
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const detail::FacadeRun& r = runs[i];
    const detail::RunStep step = detail::StepOf(r.side);
    // Seen from outside, the left end of a north or east run is its last cell, as on a rectangle.
    const bool countsLeft = r.side == 'N' || r.side == 'E';
    Facade facade{r.side,
                  r.cells - 2,
                  countsLeft ? r.cells - 2 : 1,
                  countsLeft ? 1 : r.cells - 2,
                  r.x + step.dx,
                  r.z + step.dz,
                  step.dx,
                  step.dz,
                  step.outZ,
                  step.outX,
                  i == doorRun};
    const std::int64_t lastX = r.x + (r.cells - 1) * step.dx, lastZ = r.z + (r.cells - 1) * step.dz;
    // The next side clockwise is at the end of north and east runs, the start of south and west.
    const bool cornerAtEnd = r.side == 'N' || r.side == 'E';
    if (!cornerAtEnd && !r.innerAtStart) corner(r.x, r.z, r.side, step);
    if (i_row.keepOutCells) {
      AddFacadeOutside(i_row, facade, *i_row.keepOutCells, out);
    } else if (i_row.below) {
      // An end cell over the terrace whose inner corner's wall runs on flush builds the next cell
      // too (the setback's checks see to it).
      const bool overStart = OverTerrace(i_row, r.x, r.z, r.side), overEnd = OverTerrace(i_row, lastX, lastZ, r.side);
      const bool overFirst = OverTerrace(i_row, r.x + step.dx, r.z + step.dz, r.side);
      const bool overLast = OverTerrace(i_row, lastX - step.dx, lastZ - step.dz, r.side);
      facade.skipFirst = r.innerAtStart && overStart && !overFirst ? 1 : 0;
      facade.skipLast = r.innerAtEnd && overEnd && !overLast ? 1 : 0;
      facade.turnFirst = endOf(r, false) == End::Turns;
      facade.turnLast = endOf(r, true) == End::Turns;
      // The piece at an outer corner over the terrace builds the flush cell after it.
      if (endOf(r, false) == End::Angle) facade.skipFirst = 1;
      if (endOf(r, true) == End::Angle) facade.skipLast = 1;
      AddSteppedFacade(i_row, facade, out);
    } else {
      AddFacade(i_row, facade, out);
    }
    if (cornerAtEnd && !r.innerAtEnd) corner(lastX, lastZ, r.side, step);
  }
  for (const detail::InnerCorner& c : detail::InnerCorners(footprint, runs)) {
    // +x toward one end cell and +z toward the other, +z a quarter turn left of +x.
    const bool xFirst = c.dx == c.dz;
    const std::int8_t ax = xFirst ? c.dx : 0, az = xFirst ? 0 : c.dz;
    if (i_row.keepOutCells && ContainsCell(*i_row.keepOutCells, c.x, c.z)) {
      // The block above stands on the inner cell: where it keeps neither end cell, its corner
      // there stands in the facade's inner corner, and this piece builds it with both parapets.
      if (ContainsCell(*i_row.keepOutCells, c.x + c.dx, c.z) || ContainsCell(*i_row.keepOutCells, c.x, c.z + c.dz))
        continue;
      Run run;
      run.period.push_back(Place(i_row, PieceKind::InnerAngleRoofCorner, 0, c.x, c.z, az, ax));
      out.push_back(std::move(run));
      continue;
    }
    if (i_row.keepOutCells) {
      // The block above stands on one end cell: its corner there stands in the facade's inner
      // corner, and this piece builds it with the other end cell's parapet (the setback's checks
      // see to it that the block above keeps no other cell of the corner).
      const std::int8_t bx = xFirst ? 0 : c.dx, bz = xFirst ? c.dz : 0;  // the piece's +z
      const bool left = ContainsCell(*i_row.keepOutCells, c.x + ax, c.z + az);
      if (left || ContainsCell(*i_row.keepOutCells, c.x + bx, c.z + bz)) {
        Run run;
        const PieceKind kind = left ? PieceKind::InnerAngleRoofCornerLeft : PieceKind::InnerAngleRoofCornerRight;
        run.period.push_back(Place(i_row, kind, 0, c.x, c.z, az, ax));
        out.push_back(std::move(run));
        continue;
      }
    }
    // Both walls face the open cell: over the terrace when it is the block below's.
    const bool over = i_row.below && ContainsCell(*i_row.below, c.x + c.dx, c.z + c.dz);
    PieceKind kind = over ? PieceKind::InnerAngleTerrace : i_row.inner;
    if (over) {
      // The piece's +x wall runs on flush with the facade below where the cell beyond its end
      // cell faces a cell outside the block below (the setback's checks leave one such wall).
      const std::int8_t bx = xFirst ? 0 : c.dx, bz = xFirst ? c.dz : 0;  // the piece's +z
      // Past that cell the wall turns where the block above has none.
      const auto turns = [&](std::int64_t i_ux, std::int64_t i_uz) {
        return !ContainsCell(footprint, c.x + 3 * i_ux, c.z + 3 * i_uz);
      };
      if (RunsOnFlush(i_row, c.x, c.z, ax, az, bx, bz))
        kind = turns(ax, az) ? PieceKind::InnerAngleTerraceTurnLeft : PieceKind::InnerAngleTerraceLeft;
      if (RunsOnFlush(i_row, c.x, c.z, bx, bz, ax, az))
        kind = turns(bx, bz) ? PieceKind::InnerAngleTerraceTurnRight : PieceKind::InnerAngleTerraceRight;
    }
    Run run;
    run.period.push_back(Place(i_row, kind, 0, c.x, c.z, az, ax));
    out.push_back(std::move(run));
  }
  return out;
}

// The ring of a row: a rectangle's, or a footprint's.
std::vector<Run> RowRuns(const Row& i_row) {
  return i_row.request->footprint ? FootprintRing(i_row) : RingRuns(i_row);
}

Row MakeRow(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
            PieceRow i_kind, Plan& io_plan) {
  Row row{&i_request,      &i_kit,
          &i_style,        i_level,
          i_kind,          PieceKind::AngleRoof,
          PieceKind::InnerAngleRoof,
          PieceKind::Roof, PieceKind::RoofDoor,
          PieceKind::Roof, &io_plan.choices};
  // The roof row takes no wall requests (AnySelects), so its "close" piece is never asked for.
  if (i_kind == PieceRow::Ground) {
    row.corner = PieceKind::Angle;
    row.inner = PieceKind::InnerAngle;
    row.window = PieceKind::Ground;
    row.door = PieceKind::GroundDoor;
    row.close = PieceKind::GroundClose;
  } else if (i_kind == PieceRow::Floor) {
    row.corner = PieceKind::Angle;
    row.inner = PieceKind::InnerAngle;
    row.window = PieceKind::Floor;
    row.door = PieceKind::Floor;  // the door stands on the ground storey only
    row.close = PieceKind::FloorClose;
  }
  return row;
}

void AddCapRect(const PieceId i_cap, std::uint32_t i_choice, std::int64_t i_level, std::int64_t i_x,
                std::int64_t i_countX, std::int64_t i_z, std::int64_t i_countZ, Plan& io_plan);

// The roof cap of a footprint: every cell with no facade, but the cells inside inner corners,
// whose inner-corner piece roofs them, and those of i_keepOut (the block above a terrace);
// rectangle by rectangle, each as lines along z.
void AddFootprintCap(const Footprint& i_footprint, PieceId i_cap, std::uint32_t i_choice, std::int64_t i_level,
                     Plan& io_plan, const Footprint* i_keepOut = nullptr) {
  Footprint inside = i_footprint;
  for (const auto& [dx, dz] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}})
    inside = Intersection(inside, Shifted(i_footprint, dx, dz));
  for (const detail::InnerCorner& c : detail::InnerCorners(i_footprint, detail::FacadeRuns(i_footprint)))
    inside = Difference(inside, RectangleFootprint(c.x, c.z, 1, 1));
  if (i_keepOut) inside = Difference(inside, *i_keepOut);
  for (const CellRect& rect : Rectangles(inside))
    AddCapRect(i_cap, i_choice, i_level, rect.x1, rect.x1 - rect.x0 + 1, rect.z0, rect.z1 - rect.z0 + 1, io_plan);
}

void AddRoofCap(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
                Plan& io_plan) {
  const PieceId cap = i_style.piece(PieceKind::RoofCap);
  if (i_request.footprint) {
    if (i_kit.piece(cap).empty()) return;
    const std::uint32_t choice = ChoiceOf(i_request, i_kit, i_style, PieceKind::RoofCap, 0, io_plan.choices);
    return AddFootprintCap(*i_request.footprint, cap, choice, i_level, io_plan);
  }
  if (i_kit.piece(cap).empty() || i_request.cellsAlongZ - 2 <= 0 || i_request.cellsAlongX - 2 <= 0) return;
  const std::uint32_t choice = ChoiceOf(i_request, i_kit, i_style, PieceKind::RoofCap, 0, io_plan.choices);
  Block lines;
  if (RoofCapLines(i_request, cap, choice, i_level, lines)) io_plan.blocks.push_back(std::move(lines));
}


// The request as a building of the footprint's cells, its north-west corner cell at (0, 0): a
// block is laid as such a building and then moved to its place (Shift).
Request OnFootprint(const Request& i_request, const BlockRect& i_footprint) {
  Request block = i_request;
  block.cellsAlongX = i_footprint.cellsAlongX;
  block.cellsAlongZ = i_footprint.cellsAlongZ;
  return block;
}

// Moves the plan's blocks from i_first on by the footprint's north-west corner cell.
void Shift(Plan& io_plan, std::size_t i_first, const BlockRect& i_footprint) {
  if (i_footprint.x0 == 0 && i_footprint.z0 == 0) return;
  for (std::size_t b = i_first; b < io_plan.blocks.size(); ++b) {
    for (Run& run : io_plan.blocks[b].runs) {
      for (Placement& placement : run.period) {
        placement.x += i_footprint.x0;
        placement.z += i_footprint.z0;
      }
    }
  }
}

// The style of a storey, the building's when the kit lacks the band's (the tool refuses that).
const KitStyle& StyleAt(const Request& i_request, const Kit& i_kit, std::int64_t i_level) {
  const KitStyle* style = i_kit.style(StyleOfStorey(i_request, i_level));
  return style ? *style : *i_kit.style(i_request.style);
}

std::array<bool, 4> TerraceSides(const Setback& i_setback) {
  return {i_setback.north > 0, i_setback.east > 0, i_setback.south > 0, i_setback.west > 0};
}

// One row of the block at i_level in the style of that storey.
void AddRow(const Request& i_block, const Kit& i_kit, std::int64_t i_level, PieceRow i_kind,
            const std::array<bool, 4>& i_terrace, const BlockRect* i_keepOut, Plan& io_plan) {
  // The roof row and a terrace belong to the storey below them.
  const std::int64_t storey = i_kind == PieceRow::Roof && i_level > 0 ? i_level - 1 : i_level;
  Row row = MakeRow(i_block, i_kit, StyleAt(i_block, i_kit, storey), i_level, i_kind, io_plan);
  row.terrace = i_terrace;
  row.keepOut = i_keepOut;
  io_plan.blocks.push_back({RowRuns(row)});
}

// The last storey from i_first on, up to i_last, before the style changes: where a band starts
// or ends (bands do not overlap). Found from the bands, never by walking the storeys.
std::int64_t LastOfSameStyle(const Request& i_request, std::int64_t i_first, std::int64_t i_last) {
  std::int64_t last = i_last;
  for (const Band& band : i_request.bands) {
    if (band.from > i_first) last = std::min(last, band.from - 1);
    if (band.from <= i_first && band.to >= i_first) last = std::min(last, band.to);
  }
  // A party wall's storeys left out differ from its closed ones above, and the storey on a lower
  // neighbour's roof from both.
  for (const PartyWall& wall : i_request.partyWalls) {
    if (wall.hidden > i_first) last = std::min(last, wall.hidden - 1);
    if (wall.onRoof > i_first) last = std::min(last, wall.onRoof - 1);
    if (wall.onRoof == i_first) last = i_first;
    if (wall.beside > i_first) last = std::min(last, wall.beside - 1);
    if (wall.against > i_first) last = std::min(last, wall.against - 1);
  }
  return last;
}

// Upper storeys i_first to i_last of a block, which differ only by the parity of their level and
// their style: each run of one style as a pair of storeys repeated, then a last odd one.
void AddFloors(const Request& i_block, const Kit& i_kit, std::int64_t i_first, std::int64_t i_last,
               Plan& io_plan) {
  while (i_first <= i_last) {
    const std::int64_t end = LastOfSameStyle(i_block, i_first, i_last);
    const std::int64_t floors = end - i_first + 1;
    if (floors >= 2) {
      Block pair{RowRuns(MakeRow(i_block, i_kit, StyleAt(i_block, i_kit, i_first), i_first, PieceRow::Floor, io_plan))};
      std::vector<Run> second =
          RowRuns(MakeRow(i_block, i_kit, StyleAt(i_block, i_kit, i_first), i_first + 1, PieceRow::Floor, io_plan));
      pair.runs.insert(pair.runs.end(), second.begin(), second.end());
      pair.repeats = floors / 2;
      for (Run& run : pair.runs) run.blevel = 2;
      io_plan.blocks.push_back(std::move(pair));
    }
    if (floors % 2 == 1) AddRow(i_block, i_kit, end, PieceRow::Floor, {}, nullptr, io_plan);
    i_first = end + 1;
  }
}

// The roof on the top block: the roof row and its cap, or a pitched roof, in the style of the
// top storey.
void AddRoof(const Request& i_block, const Kit& i_kit, Plan& io_plan) {
  // The roof row is always laid, at level 0 too for a height of 0.
  const std::int64_t roof = i_block.rows - 1;
  const KitStyle& style = StyleAt(i_block, i_kit, roof > 0 ? roof - 1 : 0);
  if (i_block.roof != RoofShape::Flat) {
    // A pitched roof stands on the ground storey at a height of 0, as at 1: it has no row to
    // share the ground storey's level with.
    detail::AddPitchedRoof(i_block, i_kit, style, std::max<std::int64_t>(roof, 1), io_plan);
    return;
  }
  AddRow(i_block, i_kit, roof, PieceRow::Roof, {}, nullptr, io_plan);
  AddRoofCap(i_block, i_kit, style, roof, io_plan);
}

// Roof cap over the cells x from i_x down to i_x - i_countX + 1 and z from i_z up to
// i_z + i_countZ - 1 (the block's cells), lines along z.
void AddCapRect(const PieceId i_cap, std::uint32_t i_choice, std::int64_t i_level, std::int64_t i_x,
                std::int64_t i_countX, std::int64_t i_z, std::int64_t i_countZ, Plan& io_plan) {
  if (i_countX <= 0 || i_countZ <= 0) return;
  Run line;
  Placement cap;
  cap.piece = i_cap;
  cap.x = i_x;
  cap.z = i_z;
  cap.level = i_level;
  cap.choice = i_choice;
  line.period.push_back(cap);
  line.repeats = i_countZ;
  line.dz = 1;
  line.bx = -1;
  Block lines;
  lines.runs.push_back(std::move(line));
  lines.repeats = i_countX;
  io_plan.blocks.push_back(std::move(lines));
}

// The terrace block i_block steps back onto, at the level of its first storey: the roof ring of
// the block below where the block above leaves it open, and roof cap over the rest of the block
// below's inside that the block above leaves open, in the style of the storey below.
void AddTerrace(const Request& i_request, const Kit& i_kit, std::size_t i_block, Plan& io_plan) {
  const BlockRect below = BlockRectOf(i_request, i_block - 1);
  const BlockRect above = BlockRectOf(i_request, i_block);
  const std::int64_t level = i_request.setbacks[i_block - 1].level;
  const Request lower = OnFootprint(i_request, below);
  const std::size_t first = io_plan.blocks.size();
  // The block above in the cells of the block below.
  const BlockRect keepOut{above.x0 - below.x0, above.z0 - below.z0, above.cellsAlongX, above.cellsAlongZ};
  AddRow(lower, i_kit, level, PieceRow::Roof, {}, &keepOut, io_plan);
  Shift(io_plan, first, below);

  const KitStyle& style = StyleAt(i_request, i_kit, level - 1);
  const PieceId cap = style.piece(PieceKind::RoofCap);
  if (i_kit.piece(cap).empty()) return;
  const std::uint32_t choice = ChoiceOf(i_request, i_kit, style, PieceKind::RoofCap, 0, io_plan.choices);
  AddTerraceCap(i_request, i_block, cap, choice, io_plan);
}

}  // namespace

void AddTerraceCap(const Request& i_request, std::size_t i_block, PieceId i_cap, std::uint32_t i_choice,
                   Plan& io_plan) {
  const BlockRect below = BlockRectOf(i_request, i_block - 1);
  const BlockRect above = BlockRectOf(i_request, i_block);
  const std::int64_t level = i_request.setbacks[i_block - 1].level;
  const std::size_t first = io_plan.blocks.size();
  // The block above in the cells of the block below; the inside of the block below: x from -1
  // down to 2 - X, z from 1 up to Z - 2; the block above: x from keepOut.x0 down to keepOut.x0 -
  // keepOut.cellsAlongX + 1, z from keepOut.z0 up. North and south strips (rows of cells) across
  // the whole inside, then west and east strips between them.
  const BlockRect keepOut{above.x0 - below.x0, above.z0 - below.z0, above.cellsAlongX, above.cellsAlongZ};
  const std::int64_t X = below.cellsAlongX, Z = below.cellsAlongZ;
  const std::int64_t insideX = X - 2, insideZ = Z - 2;
  const std::int64_t north = std::min(-1 - keepOut.x0, insideX);
  const std::int64_t south = std::min(keepOut.x0 - keepOut.cellsAlongX + X - 1, insideX);
  const std::int64_t west = std::min(keepOut.z0 - 1, insideZ);
  const std::int64_t east = std::min(Z - 1 - keepOut.z0 - keepOut.cellsAlongZ, insideZ);
  const std::int64_t middle = insideX - std::max<std::int64_t>(north, 0) - std::max<std::int64_t>(south, 0);
  AddCapRect(i_cap, i_choice, level, -1, north, 1, insideZ, io_plan);
  AddCapRect(i_cap, i_choice, level, 1 - X + south, south, 1, insideZ, io_plan);
  const std::int64_t middleX = -1 - std::max<std::int64_t>(north, 0);
  AddCapRect(i_cap, i_choice, level, middleX, middle, 1, west, io_plan);
  AddCapRect(i_cap, i_choice, level, middleX, middle, Z - 1 - east, east, io_plan);
  Shift(io_plan, first, below);
}

namespace {

// The terrace a footprint's block of cells i_above steps back onto from i_below, at i_level (the
// first storey of the block above): the roof ring of the block below where the block above leaves
// it open, and roof cap over the rest of the block below's inside that the block above leaves
// open, in the style of the storey below.
void AddFootprintTerrace(const Request& i_request, const Kit& i_kit, std::int64_t i_level, const Footprint& i_below,
                         const Footprint& i_above, Plan& io_plan) {
  Request lower = i_request;
  lower.footprint = std::make_shared<const Footprint>(i_below);
  Row row = MakeRow(lower, i_kit, StyleAt(i_request, i_kit, i_level - 1), i_level, PieceRow::Roof, io_plan);
  row.keepOutCells = &i_above;
  io_plan.blocks.push_back({RowRuns(row)});
  const KitStyle& style = StyleAt(i_request, i_kit, i_level - 1);
  const PieceId cap = style.piece(PieceKind::RoofCap);
  if (i_kit.piece(cap).empty()) return;
  const std::uint32_t choice = ChoiceOf(i_request, i_kit, style, PieceKind::RoofCap, 0, io_plan.choices);
  AddFootprintCap(i_below, cap, choice, i_level, io_plan, &i_above);
}

// A footprint's building with setbacks: each block on its own cells (SteppedBack), the first
// storey of each block above the ground one standing over the terrace of the block below.
Plan MakeSteppedFootprintPlan(const Request& i_request, const Kit& i_kit) {
  Plan plan;
  const std::size_t blocks = i_request.setbacks.size() + 1;
  const std::int64_t top = i_request.rows - 2;  // the top storey
  std::vector<std::shared_ptr<const Footprint>> cells{i_request.footprint};
  for (std::size_t b = 1; b < blocks; ++b)
    cells.push_back(std::make_shared<const Footprint>(SteppedBack(*cells.back(), i_request.setbacks[b - 1])));
  for (std::size_t b = 0; b < blocks; ++b) {
    Request block = i_request;
    block.footprint = cells[b];
    const std::int64_t level = b == 0 ? 0 : i_request.setbacks[b - 1].level;
    if (b == 0) {
      AddRow(block, i_kit, 0, PieceRow::Ground, {}, nullptr, plan);
    } else {
      AddFootprintTerrace(i_request, i_kit, level, *cells[b - 1], *cells[b], plan);
      Row row = MakeRow(block, i_kit, StyleAt(block, i_kit, level), level, PieceRow::Floor, plan);
      row.below = cells[b - 1].get();
      plan.blocks.push_back({RowRuns(row)});
    }
    const std::int64_t last = b + 1 < blocks ? i_request.setbacks[b].level - 1 : top;
    AddFloors(block, i_kit, level + 1, last, plan);
    if (b + 1 == blocks) AddRoof(block, i_kit, plan);
  }
  return plan;
}

}  // namespace

bool PlacesDoor(const Request& i_request) {
  std::int64_t cell = 0;
  if (!i_request.footprint) {
    for (const char facade : {'N', 'E', 'S', 'W'}) {
      const std::int64_t cells =
          facade == 'N' || facade == 'S' ? i_request.cellsAlongZ - 2 : i_request.cellsAlongX - 2;
      if (cells > 0 && DoorCell(i_request.door, 0, facade, 1, cells, cell)) return true;
    }
    return false;
  }
  const std::vector<detail::FacadeRun> runs = detail::FacadeRuns(*i_request.footprint);
  const std::size_t door = DoorRun(i_request.door, runs, detail::OuterRuns(runs));
  if (door == runs.size()) return false;
  const std::int64_t cells = runs[door].cells - 2;
  return cells > 0 && DoorCell(i_request.door, 0, runs[door].side, 1, cells, cell);
}

Plan MakePlan(const Request& i_request, const Kit& i_kit) {
  Plan plan;
  if (!i_kit.style(i_request.style)) return plan;
  if (i_request.footprint && !i_request.setbacks.empty()) return MakeSteppedFootprintPlan(i_request, i_kit);
  const std::size_t blocks = i_request.setbacks.size() + 1;
  const std::int64_t top = i_request.rows - 2;  // the top storey; -1 for a height of 0
  for (std::size_t b = 0; b < blocks; ++b) {
    const BlockRect footprint = BlockRectOf(i_request, b);
    const Request block = OnFootprint(i_request, footprint);
    const std::int64_t level = b == 0 ? 0 : i_request.setbacks[b - 1].level;
    if (b > 0) AddTerrace(i_request, i_kit, b, plan);
    const std::size_t first = plan.blocks.size();  // the block's own rows, laid at (0, 0)
    if (b == 0) {
      AddRow(block, i_kit, 0, PieceRow::Ground, {}, nullptr, plan);
    } else {
      AddRow(block, i_kit, level, PieceRow::Floor, TerraceSides(i_request.setbacks[b - 1]), nullptr, plan);
    }
    const std::int64_t last = b + 1 < blocks ? i_request.setbacks[b].level - 1 : top;
    AddFloors(block, i_kit, level + 1, last, plan);
    if (b + 1 == blocks) AddRoof(block, i_kit, plan);
    Shift(plan, first, footprint);
  }
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

}  // namespace Ostrel::Buildings
