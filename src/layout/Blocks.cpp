// The blocks of a building: one, and one more above each setback.

#include <ostrel/layout/Blocks.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include <ostrel/layout/Setbacks.h>

namespace Ostrel::Buildings {

namespace {

// Of a footprint's building, where each block of storeys' rectangles start among BlockCells', and
// their count at the end: block b of storeys has rectangles starts[b] .. starts[b + 1] - 1.
std::vector<std::size_t> StoreyBlockStarts(const Request& i_request, std::vector<CellRect>* o_cells = nullptr) {
  std::vector<std::size_t> starts{0};
  for (std::size_t b = 0; b <= i_request.setbacks.size(); ++b) {
    const std::vector<CellRect> rects = Rectangles(BlockFootprintOf(i_request, b));
    starts.push_back(starts.back() + rects.size());
    if (o_cells) o_cells->insert(o_cells->end(), rects.begin(), rects.end());
  }
  return starts;
}

// The nearest of i_blocks[i_first .. i_last - 1] to (x, z), as BlockAtPoint.
std::int64_t NearestBlock(const std::vector<CellRect>& i_blocks, std::size_t i_first, std::size_t i_last, float i_x,
                          float i_z, std::int64_t i_block) {
  // The nearest rectangle: the one the point lies on, or, for a point standing out of the
  // footprint (a cornice, a balcony), the one it stands out from.
  std::int64_t nearest = i_block;
  double best = 0;
  for (std::size_t i = i_first; i < i_last; ++i) {
    const CellRect& r = i_blocks[i];
    const double dx = std::max({r.x0 - 0.5 - i_x, i_x - (r.x1 + 0.5), 0.0});
    const double dz = std::max({r.z0 - 0.5 - i_z, i_z - (r.z1 + 0.5), 0.0});
    const double distance = dx * dx + dz * dz;
    if (i == i_first || distance < best) {
      best = distance;
      nearest = static_cast<std::int64_t>(i);
    }
  }
  return nearest;
}

}  // namespace

std::int64_t BlockCount(const Request& i_request) {
  if (i_request.footprint && !i_request.setbacks.empty())
    return static_cast<std::int64_t>(StoreyBlockStarts(i_request).back());
  if (i_request.footprint) return static_cast<std::int64_t>(Rectangles(*i_request.footprint).size());
  return static_cast<std::int64_t>(i_request.setbacks.size()) + 1;
}

std::vector<CellRect> BlockCells(const Request& i_request) {
  if (!i_request.footprint) return {};
  std::vector<CellRect> cells;
  StoreyBlockStarts(i_request, &cells);
  return cells;
}

std::vector<std::size_t> BlockCellStarts(const Request& i_request) {
  if (!i_request.footprint) return {};
  return StoreyBlockStarts(i_request);
}

std::int64_t BlockAtPoint(const std::vector<std::size_t>& i_starts, const std::vector<CellRect>& i_blocks, float i_x,
                          float i_z, std::int64_t i_block) {
  if (i_starts.size() <= 2) return BlockAtPoint(i_blocks, i_x, i_z, i_block);
  // Only among the rectangles of i_block's storeys: the blocks above stand on the same ground.
  const std::vector<std::size_t>& starts = i_starts;
  std::size_t b = 0;
  while (b + 2 < starts.size() && starts[b + 1] <= static_cast<std::size_t>(i_block)) ++b;
  return NearestBlock(i_blocks, starts[b], starts[b + 1], i_x, i_z, i_block);
}

std::int64_t BlockAtPoint(const std::vector<CellRect>& i_blocks, float i_x, float i_z, std::int64_t i_block) {
  return NearestBlock(i_blocks, 0, i_blocks.size(), i_x, i_z, i_block);
}

std::int64_t BlockOf(const Request& i_request, const Placement& i_placement) {
  if (i_request.footprint && !i_request.setbacks.empty()) {
    // The block of its storeys, as a rectangle's; at a setback's storey the terrace (outside the
    // block above) belongs to the block below. Then the nearest of that block's rectangles.
    std::size_t block = 0;
    while (block < i_request.setbacks.size() && i_placement.level >= i_request.setbacks[block].level) ++block;
    if (block > 0 && i_placement.level == i_request.setbacks[block - 1].level &&
        !ContainsCell(BlockFootprintOf(i_request, block), i_placement.x, i_placement.z))
      --block;
    std::vector<CellRect> cells;
    const std::vector<std::size_t> starts = StoreyBlockStarts(i_request, &cells);
    return NearestBlock(cells, starts[block], starts[block + 1], static_cast<float>(i_placement.x),
                        static_cast<float>(i_placement.z), static_cast<std::int64_t>(starts[block]));
  }
  if (i_request.footprint) {
    return BlockAtPoint(BlockCells(i_request), static_cast<float>(i_placement.x), static_cast<float>(i_placement.z), 0);
  }
  std::size_t block = 0;
  while (block < i_request.setbacks.size() && i_placement.level >= i_request.setbacks[block].level) ++block;
  if (block == 0 || i_placement.level != i_request.setbacks[block - 1].level) return static_cast<std::int64_t>(block);
  const BlockRect above = BlockRectOf(i_request, block);
  const bool inside = i_placement.x <= above.x0 && i_placement.x > above.x0 - above.cellsAlongX &&
                      i_placement.z >= above.z0 && i_placement.z < above.z0 + above.cellsAlongZ;
  return static_cast<std::int64_t>(inside ? block : block - 1);
}

GroundRect GroundRectOf(const Request& i_request) {
  // Cell centres run from x = 1 - cellsAlongX to 0 and from z = 0 to cellsAlongZ - 1 (Layout.h).
  GroundRect footprint;
  footprint.xmin = 0.5 - static_cast<double>(i_request.cellsAlongX);
  footprint.xmax = 0.5;
  footprint.zmin = -0.5;
  footprint.zmax = static_cast<double>(i_request.cellsAlongZ) - 0.5;
  return footprint;
}

}  // namespace Ostrel::Buildings
