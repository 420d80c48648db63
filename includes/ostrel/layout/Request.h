#pragma once
// A building request, and the rules that read it cell by cell: where the door is, which cells
// get a balcony, which a wall instead of a window. The layout (Layout.h) applies them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/kit/PieceKind.h>
#include <ostrel/layout/Footprint.h>

namespace Ostrel::Buildings {

// The shape of a building's roof: today's flat roof row behind a parapet, or pitched.
enum class RoofShape {
  Flat,
  Gable,  // two slopes meeting at a ridge along the ridge's axis, closed at both ends by gable walls
  Hip,    // four slopes: the ridge runs along the longer side and shrinks to a point on a square
};

// The axis a gable roof's ridge runs along.
enum class RidgeAxis { Longer, X, Z };

// The roof shape a word names: flat, gable or hip; false for any other.
bool RoofShapeOf(const std::string& i_word, RoofShape& o_roof);

// From storey `level` up (0 is the ground storey), the building steps in: each side by its cells.
// The storeys from one setback to the next are a block, standing on the block below.
struct Setback {
  std::int64_t level = 1;
  std::int64_t north = 0, east = 0, south = 0, west = 0;  // cells
};

// Storeys `from` to `to` (0-based, inclusive) built from the pieces of another style.
struct Band {
  std::int64_t from = 0, to = 0;
  std::string style;
};

// A line of facade cells that stands against a neighbour's wall: a party wall. It takes no
// window, door or balcony, and where the neighbour's wall stands in its plane it is left out, so
// that no face of one building lies on a face of the other.
struct PartyWall {
  char side = 'N';  // the facade the cells' sides face: N, E, S or W
  CellRect cells;   // the cells, in the building's cells (a line: one x, or one z)
  // Storeys from the ground (level 0 up to hidden - 1) whose wall is left out: the neighbour's
  // wall stands in their place. The storeys above are closed walls.
  std::int64_t hidden = 0;
  // The roof row takes the bare roof slab without its parapet: the neighbour's wall, or its
  // parapet, stands there and closes the slab's edge.
  bool bareRoof = false;
  // The storey whose wall stands on a lower neighbour's roof, 0 for none: it is built as a wall
  // over a terrace, its foot open where the neighbour's roof slab meets it.
  std::int64_t onRoof = 0;
  // Storeys from the ground (level 0 up to beside - 1) that the neighbour stands beside, its roof
  // row included. There a corner cell of the wall takes the closed walls of its two sides instead
  // of the corner piece, whose bands and copings wrap round the corner into the neighbour's front.
  std::int64_t beside = 0;
  // Storeys from the ground (level 0 up to against - 1) at which the neighbour's cells stand
  // beyond the end of a corner cell's side on the wall, its roof row included: there the corner
  // takes the party corner (its bands stop short of its faces) if the style has it, which a
  // corner beside the neighbour (beside) takes too.
  std::int64_t against = 0;
  // Storeys from the ground (level 0 up to behind - 1) that the neighbour's cells stand behind,
  // its roof row included: there a closed wall takes the party wall piece, whose bands are stubs
  // at the cell's ends, if the style has it (the neighbour's bands would lie on its bands).
  std::int64_t behind = 0;
};

// A building as the layout reads it. The requests are kept as given; only their first two
// letters count, in upper case.
struct Request {
  std::string style;
  std::string door = "  ";           // facade N, E, S or W, then L, C or R; anything else: no door
  std::vector<std::string> balcony;  // facade, then pattern A(ll), E(ven), O(dd) or C(heckerboard)
  std::vector<std::string> close;    // walls instead of windows, as balcony
  std::int64_t cellsAlongZ = 3;      // cells along the N and S facades, both corners included
  std::int64_t cellsAlongX = 3;      // cells along the E and W facades, both corners included
  std::int64_t rows = 2;             // rows of cells: the storeys and the roof row
  std::uint64_t seed = 0;            // picks among the variants of a piece (Variation.h)
  bool varyByCell = false;           // a choice per cell, not per piece, storey and facade
  RoofShape roof = RoofShape::Flat;
  RidgeAxis ridge = RidgeAxis::Longer;  // of a gable roof: the longer side's (z for a square)
  std::vector<Setback> setbacks;        // by rising level (Setbacks.h checks them)
  std::vector<Band> bands;              // none overlapping
  // A footprint of any shape (Footprint.h), normalized, instead of the rectangle: cellsAlongX and
  // cellsAlongZ are then its bounds. Null for a rectangle. Its setbacks step every facade of their
  // sides in (SteppedBack, Setbacks.h).
  std::shared_ptr<const Footprint> footprint;
  // Lines of facade cells against neighbours, none sharing a cell side; kept as lines, so that the
  // plan grows with them, not with their cells. A cell at a corner of the footprint whose one
  // side is left out takes its other side's closed wall. For a building without setbacks (the
  // tool gives them to map data's buildings only).
  std::vector<PartyWall> partyWalls;
};

// The request on a footprint: the footprint and its bounds (a footprint that fills its bounds
// stays a rectangle, with no footprint of its own).
void SetFootprint(Request& io_request, const Footprint& i_footprint);

// The request of w units between the corners along E and W (cells along x), l along N and S
// (cells along z), and h storeys.
Request MakeRequest(const std::string& i_style, const std::string& i_door,
                    const std::vector<std::string>& i_balcony, const std::vector<std::string>& i_close,
                    int i_w, int i_l, int i_h);

// ---- The rules of one cell ------------------------------------------------------------------

// A level as the cell rules see it: a level that does not fit wraps, as a plain conversion would.
int RuleLevel(std::int64_t i_level);

// The door's cell on this facade at this level, if the door request puts one there. i_minSide
// and i_maxSide are the indices of the facade's left and right end cells, seen from outside.
bool DoorCell(const std::string& i_door, int i_level, char i_facade, std::int64_t i_minSide,
              std::int64_t i_maxSide, std::int64_t& o_cell);

// Whether a balcony or wall pattern letter selects the inner cell i_current on level i_level.
// Every pattern depends on the cell only through the parity of its index: the plan folds
// facades on that.
bool PatternSelects(char i_letter, int i_level, std::int64_t i_current);

// Whether any request of the list selects the cell; requests never apply to the roof row.
bool AnySelects(const std::vector<std::string>& i_requests, int i_level, PieceRow i_row, char i_facade,
                std::int64_t i_current);

// Balconies never stand on the ground storey.
bool BalconySelects(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                    std::int64_t i_current);

bool CloseSelects(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                  std::int64_t i_current);

// What goes in an inner cell instead of its window: the door, a closed wall, or nothing else.
enum class CellOpening { Window, Door, Close };

// The door for the door's cell, else a closed wall when a wall request selects the cell, else
// the window.
CellOpening DoorOrClose(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                        std::int64_t i_minSide, std::int64_t i_maxSide, std::int64_t i_current);

}  // namespace Ostrel::Buildings
