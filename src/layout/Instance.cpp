// Placements as instance transforms.

#include <ostrel/layout/Instance.h>

#include <algorithm>
#include <cmath>

namespace Ostrel::Buildings {

namespace {

// A direction longer than 1 stretches the building along x and z as well as turning it.
double Stretch(const Frame& i_frame) {
  return std::sqrt(static_cast<double>(i_frame.xdir) * i_frame.xdir +
                   static_cast<double>(i_frame.zdir) * i_frame.zdir);
}

// The quaternion of the turn that maps x to x c - z s and z to x s + z c: a turn about +y by the
// angle whose cosine is c and whose sine is -s. Its quaternion (0, sin a/2, 0, cos a/2), from the
// half-angle formulas, is exact for quarter turns.
void TurnQuaternion(double i_c, double i_s, float* o_rotation) {
  const double length = std::sqrt(i_c * i_c + i_s * i_s);
  const double cosine = length > 0 ? std::clamp(i_c / length, -1.0, 1.0) : 1.0;
  const double half = std::sqrt((1 - cosine) / 2);
  o_rotation[0] = 0;
  o_rotation[1] = static_cast<float>(i_s > 0 ? -half : half);
  o_rotation[2] = 0;
  o_rotation[3] = static_cast<float>(std::sqrt((1 + cosine) / 2));
}

}  // namespace

InstanceTransform InstanceOf(const Placement& i_placement, const Frame& i_frame) {
  InstanceTransform transform{};
  const PlacementFloats at = FloatsOf(i_placement);
  PlacePosition(VectorF(0, 0, 0), at, i_frame, transform.translation);
  // Both turns map x to x c - z s and z to x s + z c, the building's after the facing's.
  const Turn building = MakeTurn(i_frame.xdir, i_frame.zdir);
  const double c = static_cast<double>(building.c) * at.zd - static_cast<double>(building.s) * at.xd;
  const double s = static_cast<double>(building.s) * at.zd + static_cast<double>(building.c) * at.xd;
  TurnQuaternion(c, s, transform.rotation);
  const bool quarter = at.xd != 0;
  const double stretch = Stretch(i_frame);
  transform.scale[0] = static_cast<float>(stretch * (quarter ? i_frame.zscale : i_frame.xscale));
  transform.scale[1] = i_frame.yscale;
  transform.scale[2] = static_cast<float>(stretch * (quarter ? i_frame.xscale : i_frame.zscale));
  return transform;
}

bool PieceTurns(const Plan& i_plan, PieceId i_piece, const Frame& i_frame) {
  const Turn building = MakeTurn(i_frame.xdir, i_frame.zdir);
  if (building.c != 1 || building.s != 0) return true;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const Placement& placement : run.period) {
        if (MayPlace(i_plan, placement, i_piece) && (placement.xd != 0 || placement.zd != 1)) return true;
      }
    }
  }
  return false;
}

bool FrameScales(const Frame& i_frame) {
  const double stretch = Stretch(i_frame);
  return stretch * i_frame.xscale != 1 || i_frame.yscale != 1 || stretch * i_frame.zscale != 1;
}

Frame OwnFrame(const Frame& i_frame) {
  Frame own;
  own.xscale = i_frame.xscale;
  own.yscale = i_frame.yscale;
  own.zscale = i_frame.zscale;
  own.xpivot = i_frame.xpivot;
  own.zpivot = i_frame.zpivot;
  return own;
}

InstanceTransform BuildingTransform(const Frame& i_frame) {
  InstanceTransform transform{{i_frame.xpos, i_frame.ypos, i_frame.zpos}, {0, 0, 0, 1}, {1, 1, 1}};
  const Turn turn = MakeTurn(i_frame.xdir, i_frame.zdir);
  if (turn.turns) TurnQuaternion(turn.c, turn.s, transform.rotation);
  const auto stretch = static_cast<float>(Stretch(i_frame));
  if (turn.turns) transform.scale[0] = transform.scale[2] = stretch;
  return transform;
}

}  // namespace Ostrel::Buildings
