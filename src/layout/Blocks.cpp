// The blocks of a building: one, and one more above each setback.

#include <ostrel/layout/Blocks.h>

#include <cstddef>

#include <ostrel/layout/Setbacks.h>

namespace Ostrel::City {

std::int64_t BlockCount(const Request& i_request) {
  return static_cast<std::int64_t>(i_request.setbacks.size()) + 1;
}

std::int64_t BlockOf(const Request& i_request, const Placement& i_placement) {
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
