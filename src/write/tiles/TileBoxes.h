#pragma once
// The boxes of a tileset: a building's, in the output's units with +y up, and the same box as a
// tile's bounding volume, +z up.

#include <array>
#include <cmath>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>

#include "write/TriangleMesh.h"

namespace Ostrel::Buildings {

struct TileBox {
  double lo[3] = {INFINITY, INFINITY, INFINITY};
  double hi[3] = {-INFINITY, -INFINITY, -INFINITY};

  bool empty() const { return lo[0] > hi[0]; }
  double centre(int i_axis) const { return (lo[i_axis] + hi[i_axis]) / 2; }
  double diagonal() const {
    if (empty()) return 0;
    return std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                     (hi[2] - lo[2]) * (hi[2] - lo[2]));
  }
  void add(const double* i_xyz) {
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], i_xyz[i]);
      hi[i] = std::max(hi[i], i_xyz[i]);
    }
  }
  void add(const TileBox& i_box) {
    if (i_box.empty()) return;
    add(i_box.lo);
    add(i_box.hi);
  }
};

// The box of every vertex the plan places in the frame: the placed corners of each placed part's
// box, widened for rounding.
// i_pieces is MakeTriangleMeshs(i_kit).
TileBox BuildingBox(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                    const Frame& i_frame);

// Widens the box by a millimetre and a millionth of its distance from the origin, so that it holds
// what float rounding may move out of it.
void WidenForRounding(TileBox& io_box);

// A box (+y up) as a tile's bounding volume (+z up): its centre, then its three half axes.
std::array<double, 12> TilesetBox(const TileBox& i_box);

}  // namespace Ostrel::Buildings
