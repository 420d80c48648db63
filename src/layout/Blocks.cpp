// The blocks of a building: one, and one more above each setback.

#include <ostrel/layout/Blocks.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include <ostrel/layout/Setbacks.h>

namespace Ostrel::City {

std::int64_t BlockCount(const Request& i_request) {
  if (i_request.footprint) return static_cast<std::int64_t>(Rectangles(*i_request.footprint).size());
  return static_cast<std::int64_t>(i_request.setbacks.size()) + 1;
}

std::vector<CellRect> BlockCells(const Request& i_request) {
  if (!i_request.footprint) return {};
  return Rectangles(*i_request.footprint);
}

std::int64_t BlockAtPoint(const std::vector<CellRect>& rects, float i_x, float i_z, std::int64_t i_block) {
  // A point on the line between two cells counts in the cell on its south or west side.
  const auto x = static_cast<std::int64_t>(std::floor(i_x + 0.5f)), z = static_cast<std::int64_t>(std::floor(i_z + 0.5f));
  for (std::size_t i = 0; i < rects.size(); ++i) {
    if (x >= rects[i].x0 && x <= rects[i].x1 && z >= rects[i].z0 && z <= rects[i].z1) return static_cast<std::int64_t>(i);
  }
  return i_block;
}

std::int64_t BlockOf(const Request& i_request, const Placement& i_placement) {
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

}  // namespace Ostrel::City
