#pragma once
// A placement as the transform of an instance: translation, rotation and scale, as scene
// formats place a mesh stored once. Applied to a piece's positions (cell units), the transform
// puts each where PlacePosition (Frame.h) does, within float rounding: the building's turn and
// the piece's facing make one rotation about +y, the output's scale follows the facing (x and z
// swap for a quarter turn), and the translation is where PlacePosition puts the piece's origin.

#include <algorithm>
#include <cmath>

#include <ostrel/city/Frame.h>
#include <ostrel/city/Layout.h>
#include <ostrel/core/MathTypes.h>

namespace Ostrel::City {

struct InstanceTransform {
  float translation[3];  // output units
  float rotation[4];     // unit quaternion x, y, z, w; a turn about +y
  float scale[3];
};

InstanceTransform InstanceOf(const Placement& i_placement, const Frame& i_frame);

// Whether some instance of the piece in the plan is turned (the roof cap never is, unless the
// whole building is). Facings are the same in every repeat of a run, so the folded plan tells.
bool PieceTurns(const Plan& i_plan, PieceId i_piece, const Frame& i_frame);

// Whether the instances of a building in this frame are scaled (by anything but 1).
bool FrameScales(const Frame& i_frame);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// A direction longer than 1 stretches the building along x and z as well as turning it.
inline double Stretch(const Frame& i_frame) {
  return std::sqrt(static_cast<double>(i_frame.xdir) * i_frame.xdir +
                   static_cast<double>(i_frame.zdir) * i_frame.zdir);
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline InstanceTransform InstanceOf(const Placement& i_placement, const Frame& i_frame) {
  InstanceTransform transform{};
  const PlacementFloats at = FloatsOf(i_placement);
  PlacePosition(VectorF(0, 0, 0), at, i_frame, transform.translation);
  // Both turns map x to x c - z s and z to x s + z c, the building's after the facing's: a turn
  // about +y by the angle whose cosine is c and whose sine is -s. Its quaternion
  // (0, sin a/2, 0, cos a/2), from the half-angle formulas, is exact for quarter turns.
  const Turn building = MakeTurn(i_frame.xdir, i_frame.zdir);
  const double c = static_cast<double>(building.c) * at.zd - static_cast<double>(building.s) * at.xd;
  const double s = static_cast<double>(building.s) * at.zd + static_cast<double>(building.c) * at.xd;
  const double length = std::sqrt(c * c + s * s);
  const double cosine = length > 0 ? std::clamp(c / length, -1.0, 1.0) : 1.0;
  const double half = std::sqrt((1 - cosine) / 2);
  transform.rotation[1] = static_cast<float>(s > 0 ? -half : half);
  transform.rotation[3] = static_cast<float>(std::sqrt((1 + cosine) / 2));
  const bool quarter = at.xd != 0;
  const double stretch = detail::Stretch(i_frame);
  transform.scale[0] = static_cast<float>(stretch * (quarter ? i_frame.zscale : i_frame.xscale));
  transform.scale[1] = i_frame.yscale;
  transform.scale[2] = static_cast<float>(stretch * (quarter ? i_frame.xscale : i_frame.zscale));
  return transform;
}

inline bool PieceTurns(const Plan& i_plan, PieceId i_piece, const Frame& i_frame) {
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

inline bool FrameScales(const Frame& i_frame) {
  const double stretch = detail::Stretch(i_frame);
  return stretch * i_frame.xscale != 1 || i_frame.yscale != 1 || stretch * i_frame.zscale != 1;
}

}  // namespace Ostrel::City
