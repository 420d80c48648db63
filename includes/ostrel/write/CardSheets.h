#pragma once
// The card sheets of a kit, for the far levels of detail: for each style, one image of tiles, each
// the picture of one outward side of one of the style's pieces seen from outside (drawn by a small
// software rasterizer from the piece's faces and its own sheet), and its normal map. A card's quad
// then shows its tile, so that a building made of cards still shows its windows, bands and
// doors. kitgen writes the sheets of the shipped kit beside its material files (A.cards.png and
// A.cards.normal.png); the tool draws them for any kit and uses the kit's own files when they hold
// the same bytes.
//
// A sheet is kCardColumns tiles wide; a tile is kCardTile pixels square, its picture inset by
// kCardGutter pixels whose colour repeats its edge, so that a filtering reader does not blend in
// the next tile. Its height is the rows' height rounded up to a power of two. The tiles of a
// style are its non-empty pieces in the order of their names, each piece's sides +x, -x, +z, -z
// that have a card, so that the same pieces give the same sheet whatever else the kit holds.

#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>

namespace Ostrel::Buildings {

inline constexpr int kCardTile = 64;    // pixels
inline constexpr int kCardGutter = 2;   // pixels
inline constexpr int kCardColumns = 16;

struct CardSheet {
  std::string style;
  std::string colour;  // the PNG file's bytes (rgb, sRGB)
  std::string normal;  // the same for the normal map (x right, y up, z out of the card)
};

// The card sheet of each style of the kit that has a piece with a card side, in the kit's order
// of styles. The kit's texture sheets are read (PNG only) for the pieces' colours.
std::vector<CardSheet> MakeCardSheets(const Kit& i_kit);

// The file names of a style's card sheet and its normal map (A.cards.png, A.cards.normal.png),
// and the name of the material that shows it (A_cards).
std::string CardSheetName(const std::string& i_style);
std::string CardNormalName(const std::string& i_style);
std::string CardMaterialName(const std::string& i_style);

// Adds the material of a style's card sheet to the kit, its sheet and normal map the files of
// those names in i_folder, and a piece without faces that uses it (listed in Kit::cardPieces), so
// that an output that writes the cards defines it. Nothing when the kit has that material already.
void AddCardMaterial(Kit& io_kit, const std::string& i_style, const std::string& i_folder);

}  // namespace Ostrel::Buildings
