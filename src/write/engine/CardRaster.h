#pragma once
// The picture of one side of a piece's card, made by a small software rasterizer: the piece seen
// from outside its cell along the side's axis, orthographically, over the quad of the card (its
// extent across and up). Each pixel takes the colour of the nearest face's material at that point
// (its sheet's texel, or its Kd without one), with the faces of materials that let light through
// laid over what lies behind them, and the normal of that face, in the quad's frame, for a normal
// map. The picture is drawn at kSuper times its size and box-filtered down, so that a texel stands
// for the mean of what it covers; pixels that no face covers take the mean colour of those that
// are covered and the quad's own normal. The same input gives the same bytes on every machine:
// no threads, and only double arithmetic in a fixed order.

#include <cstdint>
#include <vector>

#include "write/TriangleMesh.h"
#include "write/engine/PieceLevels.h"
#include "write/engine/SheetTones.h"

namespace Ostrel::Buildings {

inline constexpr int kSuper = 4;  // samples along each side of a pixel

struct CardPicture {
  int size = 0;                        // pixels along each side
  std::vector<std::uint8_t> colour;    // rgb, rows from the top (the side's top), sRGB
  std::vector<std::uint8_t> normal;    // rgb: x across (as u runs), y up, z out; 128 is 0
  Colour mean{};                       // the mean colour of the covered pixels (0 to 255)
};

// The picture, i_size pixels square, of the side of i_mesh (in cell units). i_opacity gives each
// kit material id's opacity (1 when missing). Columns run as the side's across coordinate grows,
// rows down from its high y, as the card's texture coordinates do.
CardPicture DrawCardSide(const TriangleMesh& i_mesh, const CardSide& i_side, const SheetTones& i_tones,
                         const std::vector<double>& i_opacity, int i_size);

}  // namespace Ostrel::Buildings
