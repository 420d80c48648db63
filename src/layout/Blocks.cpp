// The blocks of a building: one, until setbacks cut a building into several.

#include <ostrel/layout/Blocks.h>

namespace Ostrel::City {

std::int64_t BlockCount(const Request&) { return 1; }

std::int64_t BlockOf(const Request&, const Placement&) { return 0; }

Footprint FootprintOf(const Request& i_request) {
  // Cell centres run from x = 1 - cellsAlongX to 0 and from z = 0 to cellsAlongZ - 1 (Layout.h).
  Footprint footprint;
  footprint.xmin = 0.5 - static_cast<double>(i_request.cellsAlongX);
  footprint.xmax = 0.5;
  footprint.zmin = -0.5;
  footprint.zmax = static_cast<double>(i_request.cellsAlongZ) - 0.5;
  return footprint;
}

}  // namespace Ostrel::City
