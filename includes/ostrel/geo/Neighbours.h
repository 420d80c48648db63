#pragma once
// Buildings that share walls: row houses and perimeter blocks, whose outlines in the data meet on
// a common edge.
//
// Three steps, over the footprints of a whole city (FootprintCells.h), in the map plane:
// - AlignNeighbours lines up the grids of buildings whose outlines touch: neighbours whose edge
//   directions differ by a few degrees take one direction, and a grid's end within a quarter of
//   a cell of a line of an earlier neighbour's grid moves onto it, so that walls meant to meet on
//   a shared edge, or to stand in one street front, meet in one plane, cell side on cell side,
//   instead of crossing at a slight angle or a few centimetres apart;
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
  GridLines grid;            // the grid its cells were fitted to, when not its outline's own
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
  // At a corner of the building's cells: the neighbour's front runs on from the building's front
  // round the corner, in its plane, so that a corner piece's bands would lie on the neighbour's.
  bool runsOn = false;
  // At a corner of the building's cells: the neighbour's cells stand just beyond the side at the
  // corner's end, whether or not its front runs on (runsOn implies it), so that a corner piece's
  // bands, wrapping round past the side, would reach into its wall or cross its bands.
  bool endAgainst = false;
  // The neighbour's cells stand against the whole side, their wall within kBackedMetres of its
  // line: in its plane, or a few centimetres off where their grids are staggered.
  bool backed = false;
};

// Neighbours' grids whose directions differ by up to this many degrees take one direction.
inline constexpr double kAlignDegrees = 9.0;
// A neighbour's wall this near a side's line, metres, stands against it (PartySide::backed).
inline constexpr double kBackedMetres = 0.1;
// Ends of neighbours' grids this share of a kit's cell apart, or nearer, become one line.
inline constexpr double kAlignShare = 0.25;

// Fits the cells of buildings whose outlines touch (or come within 0.3 m) to grids lined up as
// said above, in the buildings' order, each stretching its own cells; each end of a grid lies at
// the middle of the outline's outermost edges facing that way (ExtentAt). Where the cells of two
// neighbours meet on one line staggered, so that one has a side the other's covers in part, the
// later one's grid reaches 5 cm into the earlier's wall instead: the walls then overlap inside
// each other, no face on the other's. (Where each has such a side, neither wall could be left
// out; where one has, the wall left out for it would stand in the plane of the other's parapet or
// wall above the lower roof, over part of a cell.) A front of that grid which runs on from a
// front of the neighbour in its plane would lie on it over the reach: it stands 3 cm off it
// (forward where its cells are the shallower, back where the deeper, so that the walls' inner
// faces stand apart too), unless another earlier neighbour's grid has a line there, whose front
// meets it without a reach. A building with no
// such neighbour, or whose cells the lined-up grid would leave empty, keeps its own grid.
// Against an earlier neighbour of its height whose wall its end's line crosses at a slant (the two
// not lined up), a building's roof row is a bare slab under the neighbour's parapet: where that
// line reaches past the wall's inner face (a tenth of the neighbour's cell) over its roof, by no
// more than a sliver, the end stands back until the slab ends 3 mm inside the wall, so that the
// two slabs' tops do not lie in one plane; an end on a line of an earlier neighbour's grid stays,
// and so does a grid that would lose a cell, or a side's contact with a neighbour, by it.
// i_options as for FootprintCells, its `grid` unused.
void AlignNeighbours(std::vector<CityBuilding>& io_buildings, const CellOptions& i_options);

// Makes each building's cells again (on its grid) without the cells on other buildings' ground (the grid
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
