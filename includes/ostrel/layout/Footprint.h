#pragma once
// A building's footprint of any shape: a set of cells on the building's grid, in the building's
// own frame (Layout.h): x grows to the north, z to the east, cell (x, z) is the unit square
// centred on (x, z). A building's footprint is moved so that its northernmost cells have x = 0
// and its westernmost z = 0, as a rectangle's are (NormalizedFootprint).
//
// The set is kept folded, as slabs: a slab is a range of rows (cells of one x) that all cover the
// same spans of cells along z. Slabs change only where the outline has an edge across x, and a
// slab holds one span per piece of the outline it crosses, so a footprint's size grows with its
// outline's edges, never with its cells: a courtyard block of 2,000 x 2,000 cells with 12 edges
// is 3 slabs of at most 2 spans.
//
// Reading the cells (a roof generator, a checker): walk `slabs` (every slab's rows x1 down to x0,
// each row covering its spans), or ask ContainsCell for one cell; Rectangles gives the same set
// as few rectangles. Every function here costs time in proportion to the slabs and spans, never
// to the cells, except where it says otherwise.

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Buildings {

// Cells z0 .. z1 along z (inclusive, z0 <= z1).
struct CellSpan {
  std::int64_t z0 = 0, z1 = 0;
};

// Rows x0 .. x1 (inclusive, x0 <= x1), each covering the same spans: sorted by z, none empty,
// and at least one cell apart (two touching spans are one).
struct CellSlab {
  std::int64_t x0 = 0, x1 = 0;
  std::vector<CellSpan> spans;
};

// The canonical form: slabs sorted by falling x (north first), none without spans, no two
// overlapping, and two slabs that touch (one's x0 is the other's x1 + 1) never have the same
// spans. So two footprints are the same set of cells exactly when their slabs are equal.
struct Footprint {
  std::vector<CellSlab> slabs;
};

// A rectangle of cells: x from x0 to x1, z from z0 to z1 (inclusive).
struct CellRect {
  std::int64_t x0 = 0, x1 = 0, z0 = 0, z1 = 0;
};

bool operator==(const CellSpan& i_a, const CellSpan& i_b);
bool operator==(const CellSlab& i_a, const CellSlab& i_b);
bool operator==(const Footprint& i_a, const Footprint& i_b);

bool IsEmpty(const Footprint& i_footprint);
bool ContainsCell(const Footprint& i_footprint, std::int64_t i_x, std::int64_t i_z);

// The bounds of the cells; all 0 for an empty footprint.
CellRect BoundsOf(const Footprint& i_footprint);

// How many cells (saturating).
std::uint64_t CellCount(const Footprint& i_footprint);

// Whether the cells fill their bounds.
bool IsRectangle(const Footprint& i_footprint);

// The rectangle's cells: x from x0 down to x0 - cellsAlongX + 1, z from z0 to z0 + cellsAlongZ - 1
// (a building of -w and -l: x0 = z0 = 0, cellsAlongX = w + 2, cellsAlongZ = l + 2).
Footprint RectangleFootprint(std::int64_t i_x0, std::int64_t i_z0, std::int64_t i_cellsAlongX,
                             std::int64_t i_cellsAlongZ);

// Rows of cells, one by one (row i at x = i_x - i, each its spans): the canonical footprint of
// them. Costs time in proportion to the rows.
Footprint FootprintOfRows(std::int64_t i_x, const std::vector<std::vector<CellSpan>>& i_rows);

// Set operations, each giving the canonical form.
Footprint Shifted(const Footprint& i_footprint, std::int64_t i_dx, std::int64_t i_dz);
Footprint Intersection(const Footprint& i_a, const Footprint& i_b);
Footprint Difference(const Footprint& i_a, const Footprint& i_b);
Footprint Union(const Footprint& i_a, const Footprint& i_b);

// The footprint moved so that its northernmost cells have x = 0 and its westernmost z = 0.
Footprint NormalizedFootprint(const Footprint& i_footprint);

// The cells as few rectangles: each slab's spans, a rectangle running on over the slabs below
// while they have the same span.
std::vector<CellRect> Rectangles(const Footprint& i_footprint);

// What makes a set of cells unfit for a building of the kit's pieces, and where: the first fault
// found, or an empty `why`. The cell is one next to the fault; the corner, for a fault at a
// corner of cells (a pinch), is that corner: corner (x, z) is where cells x - 1, x, z - 1 and z
// meet, in cell units plus a half.
struct CellFault {
  std::string why;  // to follow the place in a message, such as ": the cells meet only at a corner"
  std::int64_t x = 0, z = 0;
  bool atCorner = false;  // the fault lies at the corner shared by cell (x, z) and cell (x - 1, z - 1)
};

// What keeps a set of cells from being one building, in this order: no cells; cells that are not
// 4-connected; two cells that meet only at a corner (a pinch: a courtyard touching the outline or
// another courtyard at one corner). A set without these faults is what a roof over any footprint
// has to cover.
CellFault CellSetFault(const Footprint& i_footprint);

// The same, then what the kit's pieces cannot build, in this order: a part 1 cell wide (a cell
// with facades on two opposite sides); a straight side of 1 cell; an inner corner whose inside
// cell (the cell diagonally inside the corner, which holds the inner-corner pieces and the roof
// over the junction) has a facade or another inner corner.
CellFault FootprintFault(const Footprint& i_footprint);

}  // namespace Ostrel::Buildings
