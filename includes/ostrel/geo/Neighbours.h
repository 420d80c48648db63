#pragma once
// Buildings that share walls: row houses and perimeter blocks, whose outlines in the data meet on
// a common edge.
//
// Two steps, over the footprints of a whole city (FootprintCells.h), in the map plane:
// - SettleOverlaps gives no building a cell whose centre lies on another building's ground (in its
//   outline and not in the building's own; where outlines overlap in the data, the building
//   first in the file keeps the ground), so that neighbours overlap by slivers at most;
// - PartySides finds each building's facade cell sides that stand against a neighbour's cells:
//   its party walls, which take no window, door or balcony. Where two party walls lie in one
//   plane, one of them is left out, so that no face of one building coincides with a face of the
//   other: of two buildings' walls in a plane, the one the other's stands over wholly; when each
//   stands over the other, or neither does, the lower building's (of two equal, the one later in
//   the file). The wall that stays is closed. A side only partly against the staying wall (where
//   the two grids' cells end at different places) stays too: the one place left where faces of
//   two buildings may meet, over less than a cell.
//
// Memory: the outlines and cells of every building, about 800 bytes for a house.

#include <cstdint>
#include <vector>

#include <ostrel/geo/FootprintCells.h>

namespace Ostrel::Geo {

struct CityBuilding {
  std::uint64_t number = 0;  // its place in the file, 1-based: the first keeps disputed ground
  Shape shape;               // its outline, metres on the map
  CellFootprint fit;         // its cells
  int storeys = 1;           // the higher of two neighbours keeps a shared wall
};

// The sides of a cell, in the building's own frame: N faces its +x (row - 1), E its +z
// (column + 1), S its -x (row + 1), W its -z (column - 1).
enum class Facing : unsigned char { North, East, South, West };

// One cell side of a building's facade that stands against a neighbour.
struct PartySide {
  int row = 0, column = 0;    // the building's cell
  Facing facing = Facing::North;
  bool hidden = false;        // left out: the neighbour's closed wall stands in its plane instead
  bool covered = false;       // the neighbour's cells stand against the whole side, their wall in its plane
  std::uint64_t neighbour = 0;  // the neighbour's number
};

// Makes each building's cells again without the cells on other buildings' ground (the grid
// stays as it was). i_options as for FootprintCells, its `forbidden` unused. A building left
// without a cell keeps the fault "too small for one cell".
void SettleOverlaps(std::vector<CityBuilding>& io_buildings, const CellOptions& i_options);

// The party sides of each building, in the order of io_buildings, each building's in row, column
// and facing order.
std::vector<std::vector<PartySide>> PartySides(const std::vector<CityBuilding>& i_buildings);

// The outward unit normal of a cell's side on the map, and the middle of that side.
MapPoint SideNormal(const CellFootprint& i_fit, Facing i_facing);
MapPoint SideMiddle(const CellFootprint& i_fit, int i_row, int i_column, Facing i_facing);

}  // namespace Ostrel::Geo
