// The float range of placed pieces.

#include "scene/PlacedBounds.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include <ostrel/utils/Threads.h>

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
  const auto widen = [&](PieceId i_piece) {
    Extent& extent = io_extents[Key{i_piece, i_at.xd, i_at.zd}];
    Widen(extent.x, x + std::min({0.0, runX, blockX, runX + blockX}), x + std::max({0.0, runX, blockX, runX + blockX}));
    Widen(extent.z, z + std::min({0.0, runZ, blockZ, runZ + blockZ}), z + std::max({0.0, runZ, blockZ, runZ + blockZ}));
    Widen(extent.level, level + std::min(0.0, blockLevel), level + std::max(0.0, blockLevel));
  };
  if (i_at.choice == 0 || i_at.choice > i_plan.choices.size()) return widen(i_at.piece);
  for (const PieceId piece : i_plan.choices[i_at.choice - 1].forms) widen(piece);
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

// A bound of the magnitude of every coordinate the plan places, the sum of the magnitudes of the
// terms of LargestPlaced: far above the exact bound, but found in one pass without the extents.
// Infinite when a value is not finite or the bound overflows (std::max alone would drop a NaN).
double RoughLargest(const Plan& i_plan, const Kit& i_kit, const Frame& i_frame, PieceBoxes& io_boxes) {
  for (const float value : {i_frame.xpos, i_frame.ypos, i_frame.zpos, i_frame.xdir, i_frame.zdir,
                            i_frame.xscale, i_frame.yscale, i_frame.zscale, i_frame.xpivot, i_frame.zpivot}) {
    if (!std::isfinite(value)) return INFINITY;
  }
  const auto note = [](double& io_largest, double i_value) {
    io_largest = std::isfinite(i_value) ? std::max(io_largest, i_value) : INFINITY;
  };
  double piece = 0, x = 0, z = 0, level = 0;
  const auto widen = [&](PieceId i_piece) { note(piece, io_boxes.of(i_kit, i_piece).magnitude); };
  for (const Block& block : i_plan.blocks) {
    const double r = static_cast<double>(block.repeats - 1);
    for (const Run& run : block.runs) {
      const double k = static_cast<double>(run.repeats - 1);
      for (const Placement& at : run.period) {
        const double rise = static_cast<double>(at.rise);
        note(x, std::fabs(static_cast<double>(at.x)) + std::fabs(k * static_cast<double>(run.dx)) +
                    std::fabs(r * static_cast<double>(run.bx)));
        note(z, std::fabs(static_cast<double>(at.z)) + std::fabs(k * static_cast<double>(run.dz)) +
                    std::fabs(r * static_cast<double>(run.bz)));
        note(level, static_cast<double>(static_cast<std::uint64_t>(at.level)) +
                        std::fabs(static_cast<double>(at.step) * rise) +
                        std::fabs(r * static_cast<double>(run.blevel)) +
                        std::fabs(r * static_cast<double>(run.bstep) * rise));
        if (at.choice == 0 || at.choice > i_plan.choices.size()) {
          widen(at.piece);
        } else {
          for (const PieceId form : i_plan.choices[at.choice - 1].forms) widen(form);
        }
      }
    }
  }
  const double vx = (2 * piece + x + std::fabs(i_frame.xpivot)) * std::fabs(i_frame.xscale);
  const double vy = (piece + level) * std::fabs(i_frame.yscale);
  const double vz = (2 * piece + z + std::fabs(i_frame.zpivot)) * std::fabs(i_frame.zscale);
  const double xdir = std::fabs(i_frame.xdir), zdir = std::fabs(i_frame.zdir);
  double largest = 0;
  for (const double value : {zdir * vx + xdir * vz + std::fabs(i_frame.xpos), vy + std::fabs(i_frame.ypos),
                             xdir * vx + zdir * vz + std::fabs(i_frame.zpos)}) {
    note(largest, value);
  }
  return largest;
}

// Widens [io_low, io_high] over the positions [i_begin, i_end). A NaN bound stays NaN, and a NaN
// position leaves a bound that is not one as it was.
void Widen(const VectorF* i_begin, const VectorF* i_end, VectorF& io_low, VectorF& io_high) {
  for (const VectorF* p = i_begin; p != i_end; ++p) {
    io_low = VectorF(std::min(io_low.x, p->x), std::min(io_low.y, p->y), std::min(io_low.z, p->z));
    io_high = VectorF(std::max(io_high.x, p->x), std::max(io_high.y, p->y), std::max(io_high.z, p->z));
  }
}

// The bounds of the positions, from the first on, as one pass over them would widen them. On two
// threads each half starts from the first position too, and the second half's bounds then widen
// the first's: a bound of the second half that is not beyond the first's is passed over, as it
// would be in one pass.
void BoundsOf(const std::vector<VectorF>& i_positions, VectorF& o_low, VectorF& o_high) {
  const VectorF* const begin = i_positions.data();
  const VectorF* const end = begin + i_positions.size();
  o_low = o_high = i_positions.front();
  if (i_positions.size() < kTwoThreadPieceVertices) return Widen(begin, end, o_low, o_high);
  const VectorF* const half = begin + i_positions.size() / 2;
  VectorF low2 = o_low, high2 = o_high;
  Threads::RunParts(2, [&](std::size_t i_part) {
    if (i_part == 0) return Widen(begin, half, o_low, o_high);
    Widen(half, end, low2, high2);
  });
  o_low = VectorF(std::min(o_low.x, low2.x), std::min(o_low.y, low2.y), std::min(o_low.z, low2.z));
  o_high = VectorF(std::max(o_high.x, high2.x), std::max(o_high.y, high2.y), std::max(o_high.z, high2.z));
}

}  // namespace

const PieceBox& PieceBoxes::of(const Kit& i_kit, PieceId i_piece) {
  if (boxes.size() <= i_piece) boxes.resize(i_piece + std::size_t{1});
  PieceBox& box = boxes[i_piece];
  if (box.known) return box;
  box.known = true;
  const Piece& piece = i_kit.piece(i_piece);
  box.empty = piece.positions.empty();
  if (box.empty) return box;
  BoundsOf(piece.positions, box.low, box.high);
  for (const float value : {box.low.x, box.low.y, box.low.z, box.high.x, box.high.y, box.high.z}) {
    box.magnitude =
        std::isfinite(value) ? std::max(box.magnitude, std::fabs(static_cast<double>(value))) : INFINITY;
  }
  return box;
}

bool PlacedFinite(const Plan& i_plan, const Kit& i_kit, const Frame& i_frame, PieceId& o_piece,
                  PieceBoxes& io_boxes) {
  // Below the float limit by a margin for the float rounding of each step.
  const double limit = static_cast<double>(FLT_MAX) * (1 - 1e-6);
  // Nearly every building lies far inside the range: half the limit leaves room for any rounding
  // of the exact bound, so that the answer is the exact bound's. A NaN goes on to it too.
  if (RoughLargest(i_plan, i_kit, i_frame, io_boxes) < limit / 2) return true;
  std::map<Key, Extent> extents;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const Placement& at : run.period) AddPlacement(at, run, block, i_plan, extents);
    }
  }
  for (const auto& [key, extent] : extents) {
    const PieceBox& box = io_boxes.of(i_kit, std::get<0>(key));
    if (box.empty) continue;
    const VectorF& low = box.low;
    const VectorF& high = box.high;
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
