#pragma once
// Where each piece's card sides lie on their style's card sheet (CardSheets.h).

#include <array>
#include <vector>

#include <ostrel/kit/Kit.h>

#include "write/engine/PieceLevels.h"

namespace Ostrel::Buildings {

// One style's tiles: the pieces and sides that have one, in the sheet's order.
struct StyleCards {
  std::string style;
  std::vector<std::pair<PieceId, int>> tiles;  // piece and side (0 to 3: +x, -x, +z, -z)
  int width = 0, height = 0;                   // the sheet's size in pixels
};

// The tiles of every style of the kit, in the kit's order of styles (styles without one left out).
std::vector<StyleCards> LayOutCards(const Kit& i_kit);

// The tile of each piece's card sides, by piece id and side: the box of its picture on the sheet,
// with the material of the style's card sheet. Sides without a tile, and every side of a style
// whose card material the kit does not have, have no material.
std::vector<std::array<CardTile, 4>> CardTilesOf(const Kit& i_kit, const std::vector<StyleCards>& i_layout);

// The tone of each piece's card sides, by piece id (PieceLevel::cardTones), from pictures drawn
// small.
std::vector<std::array<CardTone, 4>> CardTonesOf(const Kit& i_kit, const SheetTones& i_tones);

}  // namespace Ostrel::Buildings
