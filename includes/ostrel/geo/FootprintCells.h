#pragma once
// A building's outline on the map turned into a footprint of cells: the cells, where they stand
// and how large they are.
//
// The grid is turned to the outline's dominant edge direction (edges weighted by length, taken
// modulo 90 degrees), so that a building's N side faces the compass's nearest quarter. Along
// each of its two axes the grid spans the outline's extent with whole cells, each stretched to
// between kMinStretch and kMaxStretch times the kit's cell, so that a 7 m house is 7 m, not 6 or 9.
// A cell is kept where the outline covers at least half of it; the largest 4-connected part is
// kept; then pinches (cells, or empty cells, touching at a corner only) and one-cell notches are
// filled, until none is left. A hole that still holds a cell is a courtyard.
//
// Frame: the map plane, metres east and north of the projection's origin (Projection.h). The
// building's own frame is the tool's: its local +x is its N side's outward direction, +z its E
// side's, row 0 of the mask is its northmost row and column 0 its westmost.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <ostrel/geo/Projection.h>

namespace Ostrel::Geo {

// A cell may be this many times the kit's cell, along each axis, at least and at most.
inline constexpr double kMinStretch = 0.8;
inline constexpr double kMaxStretch = 1.25;

// An outline of the map: outer rings and their holes, without the closing position repeated.
struct Area {
  std::vector<MapPoint> outer;
  std::vector<std::vector<MapPoint>> holes;
};
using Shape = std::vector<Area>;

// A grid chosen for an outline instead of its own, so that neighbours' grids line up
// (Neighbours.h): turned to `bearing` and spanning s from sMin to sMax and t from tMin to tMax,
// where s and t are a map point's metres along the grid's x and z axes from the map's origin.
struct GridLines {
  bool given = false;
  double bearing = 0;  // as CellFootprint's
  double sMin = 0, sMax = 0, tMin = 0, tMax = 0;
};

struct CellOptions {
  double cell = 3.0;             // the kit's cell, metres (along the building's x, and z too
                                 // unless cellZ says otherwise)
  double cellZ = 0;              // the kit's cell along the building's z, metres; 0: as cell
  std::int64_t maxCells = 1 << 22;  // a grid of more cells is refused as too large
  // Cells whose centre this says no to are never kept nor filled in (a neighbour's ground).
  std::function<bool(const MapPoint&)> forbidden;
  // The cells edited, a few at a time, until the kit's pieces can build them: no part 1 cell
  // wide either way, no straight side 1 cell long. It costs fidelity (see docs/geojson.md), and
  // a shape it cannot mend gets the fault "no shape the kit's pieces can build".
  bool kitRules = false;
  GridLines grid;  // when given, the grid the cells are fitted to; else the outline's own
};

struct CellFootprint {
  int rows = 0;     // along the building's x, north to south
  int columns = 0;  // along its z, west to east
  std::vector<unsigned char> cells;  // rows * columns, row by row: 1 for a cell of the building
  std::vector<float> covered;        // the same: the share of each cell the outline covers, 0 to 1
  MapPoint origin;     // the centre of cell (0, 0), kept or not
  double bearing = 0;  // degrees clockwise from north of the N side's outward direction, -45 to 45
  double cellX = 0;    // metres a cell spans along the building's x (a row's depth)
  double cellZ = 0;    // metres along its z (a column's width)
  int courtyards = 0;
  std::string fault;   // "too small for one cell", ...; empty when cells were found

  bool has(int i_row, int i_column) const {
    return i_row >= 0 && i_row < rows && i_column >= 0 && i_column < columns &&
           cells[static_cast<std::size_t>(i_row) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(i_column)] != 0;
  }
};

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

// The footprint of cells of i_shape. A shape with no cell left has fault set.
CellFootprint FootprintCells(const Shape& i_shape, const CellOptions& i_options);

// The extent of i_shape along the axes of a grid turned to i_bearing (given set): each end at the
// middle of the outermost edges facing that way, so that an edge at a slant to the grid is split.
GridLines ExtentAt(const Shape& i_shape, double i_bearing);

// The grid's axes in the map: i_fit's local +x (its N side) and +z (its E side), unit vectors.
MapPoint AxisX(const CellFootprint& i_fit);
MapPoint AxisZ(const CellFootprint& i_fit);

// The centre of cell (i_row, i_column), and the row and column a map point falls in (a cell
// covers its centre +- half a cell along each axis).
MapPoint CellCentre(const CellFootprint& i_fit, double i_row, double i_column);
void CellAt(const CellFootprint& i_fit, const MapPoint& i_point, int& o_row, int& o_column);

// The cells as a text mask: one line per row, north at the top, '#' for a cell, '.' for none.
std::string MaskText(const CellFootprint& i_fit);

// The shape's area in square metres, holes taken out.
double ShapeArea(const Shape& i_shape);

// Whether i_point lies inside i_shape (inside an outer ring and outside its holes).
bool Contains(const Shape& i_shape, const MapPoint& i_point);

// Where the building lands in the tool's world frame: x east, z south (north is -z), y up, in
// metres; its angle, in degrees from +x towards +z, as a city row's: bearing - 90.
struct Placement {
  double x = 0, z = 0;  // of the centre of cell (0, 0)
  double angle = 0;
};
Placement PlacementOf(const CellFootprint& i_fit);

}  // namespace Ostrel::Geo
