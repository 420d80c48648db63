// The blocks of a building: one, and one more above each setback.

#include <ostrel/layout/Blocks.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include <ostrel/layout/Setbacks.h>

namespace Ostrel::Buildings {

namespace {

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

FootprintBlocks FootprintBlocksOf(const Request& i_request) {
  FootprintBlocks blocks;
  if (!i_request.footprint) return blocks;
  blocks.starts.push_back(0);
  for (std::size_t b = 0; b <= i_request.setbacks.size(); ++b) {
    blocks.storeys.push_back(BlockFootprintOf(i_request, b));
    const std::vector<CellRect> rects = Rectangles(blocks.storeys.back());
    blocks.cells.insert(blocks.cells.end(), rects.begin(), rects.end());
    blocks.starts.push_back(blocks.cells.size());
  }
  return blocks;
}

std::int64_t BlockCount(const Request& i_request) {
  if (i_request.footprint) return static_cast<std::int64_t>(FootprintBlocksOf(i_request).cells.size());
  return static_cast<std::int64_t>(i_request.setbacks.size()) + 1;
}

std::vector<CellRect> BlockCells(const Request& i_request) { return FootprintBlocksOf(i_request).cells; }

std::int64_t BlockAtPoint(const std::vector<CellRect>& i_blocks, float i_x, float i_z, std::int64_t i_block) {
  return NearestBlock(i_blocks, 0, i_blocks.size(), i_x, i_z, i_block);
}

std::int64_t BlockAtPoint(const FootprintBlocks& i_blocks, float i_x, float i_z, std::int64_t i_block) {
  // Only among the rectangles of i_block's storeys: the blocks above stand on the ground of those
  // below.
  std::size_t b = 0;
  while (b + 2 < i_blocks.starts.size() && i_blocks.starts[b + 1] <= static_cast<std::size_t>(i_block)) ++b;
  return NearestBlock(i_blocks.cells, i_blocks.starts[b], i_blocks.starts[b + 1], i_x, i_z, i_block);
}

std::int64_t BlockOf(const Request& i_request, const Placement& i_placement) {
  return BlockOf(i_request, FootprintBlocksOf(i_request), i_placement);
}

std::int64_t BlockOf(const Request& i_request, const FootprintBlocks& i_blocks, const Placement& i_placement) {
  std::size_t block = 0;
  while (block < i_request.setbacks.size() && i_placement.level >= i_request.setbacks[block].level) ++block;
  if (i_request.footprint) {
    // The block of its storeys, as a rectangle's below; then the nearest of that block's
    // rectangles.
    if (block > 0 && i_placement.level == i_request.setbacks[block - 1].level &&
        !ContainsCell(i_blocks.storeys[block], i_placement.x, i_placement.z))
      --block;
    return NearestBlock(i_blocks.cells, i_blocks.starts[block], i_blocks.starts[block + 1],
                        static_cast<float>(i_placement.x), static_cast<float>(i_placement.z),
                        static_cast<std::int64_t>(i_blocks.starts[block]));
  }
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
