// The blocks of a building: one, and one more above each setback.

#include <ostrel/layout/Blocks.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include <ostrel/layout/Setbacks.h>

namespace Ostrel::Buildings {

std::int64_t BlockCount(const Request& i_request) {
  if (i_request.footprint) return static_cast<std::int64_t>(Rectangles(*i_request.footprint).size());
  return static_cast<std::int64_t>(i_request.setbacks.size()) + 1;
}

std::vector<CellRect> BlockCells(const Request& i_request) {
  if (!i_request.footprint) return {};
  return Rectangles(*i_request.footprint);
}

std::int64_t BlockAtPoint(const std::vector<CellRect>& i_blocks, float i_x, float i_z, std::int64_t i_block) {
  // The nearest rectangle: the one the point lies on, or, for a point standing out of the
  // footprint (a cornice, a balcony), the one it stands out from.
  std::int64_t nearest = i_block;
  double best = 0;
  for (std::size_t i = 0; i < i_blocks.size(); ++i) {
    const CellRect& r = i_blocks[i];
    const double dx = std::max({r.x0 - 0.5 - i_x, i_x - (r.x1 + 0.5), 0.0});
    const double dz = std::max({r.z0 - 0.5 - i_z, i_z - (r.z1 + 0.5), 0.0});
    const double distance = dx * dx + dz * dz;
    if (i == 0 || distance < best) {
      best = distance;
      nearest = static_cast<std::int64_t>(i);
    }
  }
  return nearest;
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

}  // namespace Ostrel::Buildings
