#pragma once
// Where a piece lands in the output: turned to its facing and moved to its cell by the layout,
// then turned and moved with its whole building. Every writer places pieces with these
// functions, so that buildings of every output format overlay exactly. They run for every vertex
// written, so they stay inline.

#include <cmath>

#include <ostrel/core/MathTypes.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

// Where a building stands. Its pieces, placed in cell units, are first scaled into the output's
// units (by 1, the default, the output stays in cell units; by the unit size, it is in the kit's
// own units), then the orientation turns every position about the vertical axis,
// x' = zdir x - xdir z and z' = xdir x + zdir z (a direction longer or shorter than 1 also
// scales the building), then the position (output units) is added.
struct Frame {
  float xpos = 0, ypos = 0, zpos = 0;
  float xdir = 0, zdir = 1;
  float xscale = 1, yscale = 1, zscale = 1;  // output units per cell along x and z, per storey along y
  // The building's own origin (its pivot), cell units of its layout: pieces are placed relative
  // to it, so that the orientation turns the building about it and the position puts it there.
  // 0, 0 is the layout's origin; subtracting +0 changes no bit of a coordinate.
  float xpivot = 0, zpivot = 0;
  // How much the building's cells are stretched along x and z, times the kit's, within the scales
  // above (a building fitted to an outline on a map): the normals take its inverse.
  float xstretch = 1, zstretch = 1;
};

// A building standing at (x, y, z) (output units), turned by i_degrees about the vertical axis:
// its orientation is (sin a, 0, cos a), so 0 leaves it as a single building stands. The angle is
// reduced to [0, 360) first, and the four multiples of 90 give exact axis directions (0 and
// +-1), never a rounding residue such as 6.12323e-17.
Frame CityFrame(double i_x, double i_y, double i_z, double i_degrees);

// One placement's move, as floats: the cell and the facing direction.
struct PlacementFloats {
  float x, y, z;  // cell units
  float xd, zd;
};

inline PlacementFloats FloatsOf(const Placement& i_placement) {
  // A level below 0 (a negative height) wraps, as a conversion to an unsigned level would.
  float y = static_cast<float>(static_cast<std::uint64_t>(i_placement.level));
  // A pitched roof's cell stands its steps' rises higher.
  if (i_placement.step != 0) y += static_cast<float>(i_placement.step) * i_placement.rise;
  return {static_cast<float>(i_placement.x), y, static_cast<float>(i_placement.z),
          static_cast<float>(i_placement.xd), static_cast<float>(i_placement.zd)};
}

// A piece's position (cell units) placed in the output, into o_xyz. The operations and their
// order are fixed: they decide the last bit of every coordinate written.
inline void PlacePosition(const VectorF& i_p, const PlacementFloats& i_at, const Frame& i_frame,
                          float* o_xyz) {
  // Scaling by 1 changes no bit, not even of a negative zero.
  const float vx = (i_p.x * i_at.zd - i_p.z * i_at.xd + i_at.x - i_frame.xpivot) * i_frame.xscale;
  const float vy = (i_p.y + i_at.y) * i_frame.yscale;
  const float vz = (i_p.x * i_at.xd + i_p.z * i_at.zd + i_at.z - i_frame.zpivot) * i_frame.zscale;
  o_xyz[0] = i_frame.zdir * vx - i_frame.xdir * vz + i_frame.xpos;
  o_xyz[1] = vy + i_frame.ypos;
  o_xyz[2] = i_frame.xdir * vx + i_frame.zdir * vz + i_frame.zpos;
}

// A turn about the vertical axis by a direction in the x-z plane, taken as a pure rotation: the
// direction is normalised, so normals keep their length. It maps +x to (c, 0, s), in the same
// sense as the positions' turn: x' = x*c - z*s, z' = x*s + z*c.
struct Turn {
  float c = 1;
  float s = 0;
  bool turns = false;  // false for a zero or non-finite direction: vectors stay as they are
};

inline Turn MakeTurn(float i_xdir, float i_zdir) {
  const double length =
      std::sqrt(static_cast<double>(i_xdir) * i_xdir + static_cast<double>(i_zdir) * i_zdir);
  if (!(length > 0) || !std::isfinite(length)) return {};
  return {static_cast<float>(i_zdir / length), static_cast<float>(i_xdir / length), true};
}

// Adding 0 turns a negative zero into 0, so that an axis-aligned normal reads "0", not "-0".
inline VectorF ApplyTurn(const Turn& i_turn, const VectorF& i_vector) {
  if (!i_turn.turns) return i_vector;
  return {i_vector.x * i_turn.c - i_vector.z * i_turn.s + 0.0f, i_vector.y,
          i_vector.x * i_turn.s + i_vector.z * i_turn.c + 0.0f};
}

// A building's stretch as normals take it: the inverse transpose of scaling x and z, which for a
// scale is its inverse, then the normal made unit again. Only a stretched building's normals
// change, so that every other keeps its bits.
struct NormalStretch {
  float x = 1, z = 1;  // 1 / the stretch along each axis
  bool stretches = false;
};

inline NormalStretch MakeNormalStretch(const Frame& i_frame) {
  if (i_frame.xstretch == i_frame.zstretch || !(i_frame.xstretch > 0) || !(i_frame.zstretch > 0)) return {};
  return {1 / i_frame.xstretch, 1 / i_frame.zstretch, true};
}

inline VectorF ApplyStretch(const NormalStretch& i_stretch, const VectorF& i_n) {
  if (!i_stretch.stretches) return i_n;
  const float x = i_n.x * i_stretch.x, z = i_n.z * i_stretch.z;
  const float length = std::sqrt(x * x + i_n.y * i_n.y + z * z);
  if (!(length > 0)) return i_n;
  return {x / length, i_n.y / length, z / length};
}

// A piece's tangent placed in the output: turned by its facing, stretched with its building's
// cells and made unit again, then turned by the building's.
inline VectorF TangentOf(const VectorF& i_t, const Turn& i_facing, const Turn& i_building, const Frame& i_frame) {
  const NormalStretch stretch = MakeNormalStretch(i_frame);
  if (!stretch.stretches) return ApplyTurn(i_building, ApplyTurn(i_facing, i_t));
  const NormalStretch along{i_frame.xstretch, i_frame.zstretch, true};
  return ApplyTurn(i_building, ApplyStretch(along, ApplyTurn(i_facing, i_t)));
}

// A piece's normal placed in the output: turned by its facing, stretched with its building's
// cells (in the building's own frame), then turned by the building's.
inline VectorF PlaceNormal(const VectorF& i_n, const Turn& i_facing, const Turn& i_building,
                           const NormalStretch& i_stretch = NormalStretch{}) {
  return ApplyTurn(i_building, ApplyStretch(i_stretch, ApplyTurn(i_facing, i_n)));
}

}  // namespace Ostrel::Buildings
