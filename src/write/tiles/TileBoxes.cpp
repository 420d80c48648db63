// The boxes of a tileset.

#include "write/tiles/TileBoxes.h"

#include <algorithm>

namespace Ostrel::Buildings {

TileBox BuildingBox(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                    const Frame& i_frame) {
  TileBox box;
  ForEachPlacedBoxCorner(i_kit, i_pieces, i_plan, i_frame, [&](const float* i_xyz) {
    const double placed[3] = {i_xyz[0], i_xyz[1], i_xyz[2]};
    box.add(placed);
  });
  WidenForRounding(box);
  return box;
}

void WidenForRounding(TileBox& io_box) {
  if (io_box.empty()) return;
  for (int i = 0; i < 3; ++i) {
    const double margin = 1e-3 + 1e-6 * std::max(std::fabs(io_box.lo[i]), std::fabs(io_box.hi[i]));
    io_box.lo[i] -= margin;
    io_box.hi[i] += margin;
  }
}

std::array<double, 12> TilesetBox(const TileBox& i_box) {
  if (i_box.empty()) return {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const double half[3] = {(i_box.hi[0] - i_box.lo[0]) / 2, (i_box.hi[1] - i_box.lo[1]) / 2,
                          (i_box.hi[2] - i_box.lo[2]) / 2};
  // glTF's (x, y, z) is the tileset's (x, -z, y).
  return {i_box.centre(0), -i_box.centre(2), i_box.centre(1), half[0], 0, 0, 0, half[2], 0, 0, 0, half[1]};
}

}  // namespace Ostrel::Buildings
