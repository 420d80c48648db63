#pragma once
// A placement as the transform of an instance: translation, rotation and scale, as scene
// formats place a mesh stored once. Applied to a piece's positions (cell units), the transform
// puts each where PlacePosition (Frame.h) does, within float rounding: the building's turn and
// the piece's facing make one rotation about +y, the output's scale follows the facing (x and z
// swap for a quarter turn), and the translation is where PlacePosition puts the piece's origin.

#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

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

// A building's content as it stands under a node of its own: in the output's units, but neither
// moved nor turned (OwnFrame), and the node's transform that moves and turns it where the frame
// puts it, and stretches it for a direction longer or shorter than 1 (BuildingTransform).
Frame OwnFrame(const Frame& i_frame);
InstanceTransform BuildingTransform(const Frame& i_frame);

}  // namespace Ostrel::Buildings
