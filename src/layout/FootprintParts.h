#pragma once
// The facades of a footprint as the layout lays them: its straight runs of facade cells, its inner
// corners, and which runs belong to the outline rather than a courtyard.

#include <cstdint>
#include <vector>

#include <ostrel/layout/Footprint.h>

namespace Ostrel::Buildings::detail {

// One straight run of facade cells facing one way, both end cells included. Cells are numbered
// from the run's own start: the west end of a north or south run, the north end of an east or
// west run, as on a rectangle's facades.
struct FacadeRun {
  char side = 'N';  // N, E, S or W: the facade faces +x, +z, -x or -z
  std::int64_t x = 0, z = 0;  // the first cell
  std::int64_t cells = 0;
  bool innerAtStart = false, innerAtEnd = false;  // the end meets an inner corner, not an outer one
};

// From one cell of a run to the next (dx, dz), and the way its facade faces (outX, outZ).
struct RunStep {
  std::int8_t dx, dz, outX, outZ;
};
RunStep StepOf(char i_side);

// An inner corner: the cell diagonally inside it (x, z), and the way (dx, dz) to the open cell
// across the corner. The cells (x + dx, z) and (x, z + dz) end the two runs that meet there.
struct InnerCorner {
  std::int64_t x = 0, z = 0;
  std::int8_t dx = 1, dz = 1;
};

// The runs in the order N, E, S, W; north and south runs from the north, then from the west; east
// and west runs from the west, then from the north.
std::vector<FacadeRun> FacadeRuns(const Footprint& i_footprint);
std::vector<InnerCorner> InnerCorners(const Footprint& i_footprint, const std::vector<FacadeRun>& i_runs);

// Whether each run lies on the outline (true) or on a courtyard, for a footprint without pinches.
std::vector<bool> OuterRuns(const std::vector<FacadeRun>& i_runs);

}  // namespace Ostrel::Buildings::detail
