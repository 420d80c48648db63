#pragma once
// The blocks of a building: the masses it is made of, each a box of storeys over a rectangle of
// cells (a building with setbacks steps back block by block as it climbs). Engine extras that
// work block by block (collision hulls, the hull level of detail) group the placed vertices by
// BlockOf, so that only these functions know how a building is cut into blocks: one block, and
// one more above each setback (Setbacks.h).

#include <cstddef>
#include <cstdint>
#include <vector>

#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>

namespace Ostrel::Buildings {

// How many blocks the building of the request has: 1 or more. A footprint other than a rectangle
// is cut into few rectangles (Rectangles, Footprint.h), each a block of its own, so that each
// block's box stays on the footprint; with setbacks, the cells of each block of storeys in turn.
std::int64_t BlockCount(const Request& i_request);

// The blocks of a footprint's building as rectangles of cells, by block (from the ground storey's
// up); none for a rectangle's.
std::vector<CellRect> BlockCells(const Request& i_request);

// The block of a point at (x, z), cell units of the building's own frame, among i_blocks
// (BlockCells): the rectangle it lies on, else the nearest (a cornice or a balcony standing out
// of the footprint); i_block when there are none (a rectangle's building).
std::int64_t BlockAtPoint(const std::vector<CellRect>& i_blocks, float i_x, float i_z, std::int64_t i_block);

// A footprint's blocks, found once for the many placements of its plan: the rectangles
// (BlockCells), where each block of storeys' rectangles start among them and their count at the
// end (block b of storeys has rectangles starts[b] .. starts[b + 1] - 1), and each block of
// storeys' cells. All empty for a rectangle's building.
struct FootprintBlocks {
  std::vector<CellRect> cells;
  std::vector<std::size_t> starts;
  std::vector<Footprint> storeys;
};

FootprintBlocks FootprintBlocksOf(const Request& i_request);

// BlockAtPoint among the rectangles of i_block's storeys only, since a footprint's blocks above a
// setback stand on the ground of those below.
std::int64_t BlockAtPoint(const FootprintBlocks& i_blocks, float i_x, float i_z, std::int64_t i_block);

// The block (0-based, below BlockCount) that a walked placement of the request's plan belongs to:
// the block of its storey; at a setback's storey the terrace (outside the block above) belongs to
// the block below.
std::int64_t BlockOf(const Request& i_request, const Placement& i_placement);

// The same with the footprint's blocks found once (FootprintBlocksOf the request).
std::int64_t BlockOf(const Request& i_request, const FootprintBlocks& i_blocks, const Placement& i_placement);

// The ground rectangle of a building's cells, in cell units of its own frame (before any pivot):
// the cells' outer edges, half a cell beyond the outermost cell centres.
struct GroundRect {
  double xmin = 0, xmax = 0;
  double zmin = 0, zmax = 0;
};

GroundRect GroundRectOf(const Request& i_request);

}  // namespace Ostrel::Buildings
