#pragma once
// Whether a building's placed coordinates stay finite as floats. A piece whose coordinates are
// near the float limit, turned or moved with its building, would be written as "inf" or as a
// glTF bound of null; such a building is refused before anything is written.

#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings::detail {

// The bounds of a piece's positions (kit units), found once for the buildings of a scene.
struct PieceBox {
  bool known = false;
  bool empty = true;  // the piece has no positions
  VectorF low;
  VectorF high;
  double magnitude = 0;  // the largest magnitude of the bounds' coordinates
};

struct PieceBoxes {
  std::vector<PieceBox> boxes;  // by piece
  const PieceBox& of(const Kit& i_kit, PieceId i_piece);
};

// False, with o_piece set to a piece that would leave the float range, when some placement of
// the plan in the frame (output units) may give a coordinate that is not finite. Exact up to a
// millionth of the float range: the bounds of each piece and facing are placed at the extremes
// of their cells. io_boxes keeps the pieces' bounds from one building to the next.
bool PlacedFinite(const Plan& i_plan, const Kit& i_kit, const Frame& i_frame, PieceId& o_piece,
                  PieceBoxes& io_boxes);

}  // namespace Ostrel::Buildings::detail
