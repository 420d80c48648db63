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
//
// Beside the sheet, a style with a floor piece has a facade picture: its floor's outward side,
// one cell wide and one storey high, drawn over the whole cell so that it tiles seamlessly. The
// farthest level's block boxes repeat it over their walls, one picture a cell and storey, as a
// texture that wraps: a tile of an atlas cannot repeat.
//
// A wall of a few cells is mostly its two corners, which the repeated floor does not show: for
// walls of 2 to kFacadeEndsLongest cells the style also has a picture of the whole storey of
// each, its corner piece's sides at both ends and the floor between, side by side, shortest
// first, kFacadeEndsCell pixels a cell and one storey high, so that it still repeats up the wall.
// Its width is rounded up to a power of two.

#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>

namespace Ostrel::Buildings {

inline constexpr int kCardTile = 64;    // pixels
inline constexpr int kCardGutter = 2;   // pixels
inline constexpr int kCardColumns = 16;

inline constexpr int kFacadePicture = 64;  // pixels along each side of a facade picture
inline constexpr int kFacadeEndsLongest = 12;  // cells of the longest wall drawn whole
inline constexpr int kFacadeEndsCell = 32;     // pixels a cell and a storey of those walls

struct CardSheet {
  std::string style;
  std::string colour;  // the PNG file's bytes (rgb, sRGB)
  std::string normal;  // the same for the normal map (x right, y up, z out of the card)
  // The facade picture and its normal map, the same way; empty for a style without a floor card.
  std::string facade;
  std::string facadeNormal;
  // The short walls' picture and its normal map, the same way; empty without a facade picture.
  std::string ends;
  std::string endsNormal;
};

// A file of a style's cards: its name (CardSheetName ...) and bytes.
struct CardFile {
  std::string name;
  const std::string* bytes;
};

// The files of a sheet: the sheet and its normal map, then the facade's and the short walls'
// when it has them.
std::vector<CardFile> CardFilesOf(const CardSheet& i_sheet);

// The card sheet of each style of the kit that has a piece with a card side, in the kit's order
// of styles. The kit's texture sheets are read (PNG only) for the pieces' colours. Each file
// holds its style's CardKey in a text chunk of keyword kCardKeyword.
std::vector<CardSheet> MakeCardSheets(const Kit& i_kit);

// What a style's card files are drawn from, as a short text: a hash of the style's pieces (their
// names and faces), of the materials they use (colour, opacity, texture file and its bytes) and
// of the way they are drawn. Files that hold the same key hold the same pictures, so that a run
// finds a kit's files current without drawing them again. Empty for a style the kit lacks.
std::string CardKey(const Kit& i_kit, const std::string& i_style);

inline constexpr const char* kCardKeyword = "towerkit cards";

// The styles of the kit that have a card sheet, in the kit's order of styles.
std::vector<std::string> CardStyles(const Kit& i_kit);

// The file names of a style's card sheet and its normal map (A.cards.png, A.cards.normal.png),
// and the name of the material that shows it (A_cards).
std::string CardSheetName(const std::string& i_style);
std::string CardNormalName(const std::string& i_style);
std::string CardMaterialName(const std::string& i_style);

// The same for a style's facade picture (A.facade.png, A.facade.normal.png, A_facade).
std::string FacadeSheetName(const std::string& i_style);
std::string FacadeNormalName(const std::string& i_style);
std::string FacadeMaterialName(const std::string& i_style);

// The same for the short walls' picture (A.facade.ends.png, A.facade.ends.normal.png,
// A_facadeends).
std::string EndsSheetName(const std::string& i_style);
std::string EndsNormalName(const std::string& i_style);
std::string EndsMaterialName(const std::string& i_style);

// Where a wall of i_cells cells (2 to kFacadeEndsLongest) begins on the short walls' picture, and
// that picture's width, in cells.
int EndsStart(int i_cells);
int EndsWidth();

// Where a run found a style's card sheet: the folder of its files, and whether it has a facade
// picture (and the short walls' picture with it). A run hands these to the writers beside the kit, which it never changes.
struct CardSet {
  std::string style;
  std::string folder;
  bool facade = false;
};

// A copy of the kit with the material of each set's card sheet, its sheet and normal map the files
// of those names in the set's folder, and the material of its facade picture when it has one; and
// for each set a piece without faces that uses them, listed in o_pieces, so that an output that
// writes the cards counts it among its pieces and defines the materials. A set whose material the
// kit has already adds nothing.
Kit KitWithCards(const Kit& i_kit, const std::vector<CardSet>& i_cards, std::vector<PieceId>& o_pieces);

}  // namespace Ostrel::Buildings
