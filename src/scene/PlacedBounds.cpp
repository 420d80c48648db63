// The float range of placed pieces.

#include "scene/PlacedBounds.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace Ostrel::Buildings::detail {

namespace {

// The extremes of the cells (cell units) and storeys where one piece is placed with one facing.
struct Extent {
  double x[2] = {INFINITY, -INFINITY};
  double z[2] = {INFINITY, -INFINITY};
  double level[2] = {INFINITY, -INFINITY};
};

void Widen(double (&io_range)[2], double i_low, double i_high) {
  io_range[0] = std::min(io_range[0], i_low);
  io_range[1] = std::max(io_range[1], i_high);
}

using Key = std::tuple<PieceId, int, int>;  // piece, xd, zd

void AddPlacement(const Placement& i_at, const Run& i_run, const Block& i_block, const Plan& i_plan,
                  std::map<Key, Extent>& io_extents) {
  // A place moves linearly with the run's repeat k and the block's repeat r, so its extremes lie
  // at their first and last values (a shrinking run only places fewer: the bound stays safe).
  const double k = static_cast<double>(i_run.repeats - 1);
  const double r = static_cast<double>(i_block.repeats - 1);
  const double x = static_cast<double>(i_at.x);
  const double z = static_cast<double>(i_at.z);
  // As the writers convert it: a level below 0 wraps; a pitched roof's steps climb by its rise.
  const double level = static_cast<double>(static_cast<std::uint64_t>(i_at.level)) +
                       static_cast<double>(i_at.step) * static_cast<double>(i_at.rise);
  const double runX = k * static_cast<double>(i_run.dx), runZ = k * static_cast<double>(i_run.dz);
  const double blockX = r * static_cast<double>(i_run.bx), blockZ = r * static_cast<double>(i_run.bz);
  const double blockLevel = r * (static_cast<double>(i_run.blevel) +
                                 static_cast<double>(i_run.bstep) * static_cast<double>(i_at.rise));
  std::vector<PieceId> pieces{i_at.piece};
  if (i_at.choice != 0 && i_at.choice <= i_plan.choices.size()) pieces = i_plan.choices[i_at.choice - 1].forms;
  for (const PieceId piece : pieces) {
    Extent& extent = io_extents[Key{piece, i_at.xd, i_at.zd}];
    Widen(extent.x, x + std::min({0.0, runX, blockX, runX + blockX}), x + std::max({0.0, runX, blockX, runX + blockX}));
    Widen(extent.z, z + std::min({0.0, runZ, blockZ, runZ + blockZ}), z + std::max({0.0, runZ, blockZ, runZ + blockZ}));
    Widen(extent.level, level + std::min(0.0, blockLevel), level + std::max(0.0, blockLevel));
  }
}

// The largest magnitude of the coordinates of one corner of a piece placed at the extremes of
// its extent, as PlacePosition (Frame.h) computes them, in double.
double LargestPlaced(const VectorF& i_p, int i_xd, int i_zd, const Extent& i_extent, const Frame& i_frame) {
  double largest = 0;
  for (const double x : i_extent.x) {
    for (const double z : i_extent.z) {
      for (const double level : i_extent.level) {
        const double vx = (i_p.x * i_zd - static_cast<double>(i_p.z) * i_xd + x - i_frame.xpivot) * i_frame.xscale;
        const double vy = (i_p.y + level) * i_frame.yscale;
        const double vz = (i_p.x * i_xd + static_cast<double>(i_p.z) * i_zd + z - i_frame.zpivot) * i_frame.zscale;
        const double out[3] = {i_frame.zdir * vx - i_frame.xdir * vz + i_frame.xpos, vy + i_frame.ypos,
                               i_frame.xdir * vx + i_frame.zdir * vz + i_frame.zpos};
        for (const double value : out) largest = std::isnan(value) ? INFINITY : std::max(largest, std::fabs(value));
      }
    }
  }
  return largest;
}

}  // namespace

bool PlacedFinite(const Plan& i_plan, const Kit& i_kit, const Frame& i_frame, PieceId& o_piece) {
  std::map<Key, Extent> extents;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const Placement& at : run.period) AddPlacement(at, run, block, i_plan, extents);
    }
  }
  // Below the float limit by a margin for the float rounding of each step.
  const double limit = static_cast<double>(FLT_MAX) * (1 - 1e-6);
  for (const auto& [key, extent] : extents) {
    const Piece& piece = i_kit.piece(std::get<0>(key));
    if (piece.positions.empty()) continue;
    VectorF low = piece.positions.front(), high = low;
    for (const VectorF& p : piece.positions) {
      low = VectorF(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
      high = VectorF(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
    }
    for (int corner = 0; corner < 8; ++corner) {
      const VectorF p((corner & 1) ? high.x : low.x, (corner & 2) ? high.y : low.y, (corner & 4) ? high.z : low.z);
      if (LargestPlaced(p, std::get<1>(key), std::get<2>(key), extent, i_frame) > limit) {
        o_piece = std::get<0>(key);
        return false;
      }
    }
  }
  return true;
}

}  // namespace Ostrel::Buildings::detail
