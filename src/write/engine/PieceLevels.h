#pragma once
// The levels of detail of a kit's pieces, made once for a kit and laid out exactly as the pieces
// are: a level of a building is its plan walked with the level's kit in place of the kit, so it
// streams like the finest level, at any size, in memory that does not grow with the building.
//
// A simplified piece keeps at most 28 % of its triangles, or as few as collapses that move its
// surface by at most a few centimetres a metre leave. Its faces that look into the building
// from behind its outer walls (a wall's inner face, the back of a pane) go first: the building's
// closed walls hide them. meshoptimizer then collapses its surface, welded by position alone, with
// the vertices of its open border that lie on the cell's box locked, so that neighbours still
// meet; a small region of one material (a frame) may go into its neighbour's. Its faces are flat,
// as the kit's are, and each takes the material of the piece's own face under it and its texture
// coordinates from the kit's mapping of that face: that mapping only turns and shifts a face onto
// its strip of the sheet, so regions of the sheet stay whole and no triangle stretches it. With the
// kit's card sheets, a face that looks out of a side with a card and is not a stretch of that
// side's wall (a pane and frame merged by the collapses, a face tilted out of every face) shows
// the card's picture of that side instead, unfolded onto it, and a piece whose walls then show
// mostly the card is its card; without them, a face tilted out of every face takes one texel of
// its material. A face is lit as the piece's face under it when it faces about the same way, so
// that a wall folded a little by the collapses still looks flat.
//
// The first level has richer forms too, for the buildings that can afford them: a storey's facade
// piece (a style's floor piece or one of its variants) that becomes its card at 28 % is simplified
// to 40 % instead, and where its walls then no longer show mostly its card, that is its richer
// form (a piece that is its card either way has none). A building takes the richer forms when its
// level with them keeps within a third of its own triangles, else the lean ones: a choice made per
// building from its pieces' counts alone, so that every format writes the same level and a city
// writes it alike on any number of threads.
//
// A card is the far form of a piece: one quad for each side of the cell that the piece faces
// (its outward walls), in the material that covers most of that side, toned with the mean colour
// of that side (SheetTones.h), plus the
// simplified piece's roof (its faces that look up).

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <ostrel/kit/Kit.h>

#include "write/TriangleMesh.h"
#include "write/engine/SheetTones.h"

namespace Ostrel::Buildings {

// What one side of a piece's card looks like from afar.
struct CardTone {
  Colour mean{};    // 0 to 255
  double area = 0;  // cell units
};

// One level of every piece of a kit.
struct PieceLevel {
  Kit kit;                        // the kit with each piece's faces those of this level
  std::vector<TriangleMesh> pieces;  // MakeTriangleMeshes(kit): its glTF form, in cell units
  // The kit's sheets' colours, which the cards and the block boxes are toned from (null for a
  // level made without them).
  std::shared_ptr<const SheetTones> tones;
  // By piece id and card side (as CardSides): the mean colour of the side's picture (CardRaster.h)
  // and the area of its quad (cell units); area 0 for a side without a card. The block boxes'
  // walls are toned from them. Empty for a level made without the sheets.
  std::vector<std::array<CardTone, 4>> cardTones;
  // Of the first level: the same level with the richer forms of the storeys' facade pieces, which a
  // building takes when its level with them keeps within a third of its triangles (LevelFor); null
  // for the other levels, and for a first level whose pieces have no richer form.
  std::shared_ptr<const PieceLevel> richer;
};

// The levels of a building with i_lods lower levels of detail that are laid out piece by piece:
// the simplified pieces for one or two levels (the last of two or more is the block boxes, made
// per building), then the cards for three.
std::vector<PieceLevel> MakePieceLevels(const Kit& i_kit, int i_lods);

// The forms of a level that a building takes: the level's richer forms when the building (i_counts
// of each piece, by piece id, as CountPieces) keeps at most a third of its triangles with them
// (i_pieces: the kit's pieces, MakeTriangleMeshes), else the level as it is.
const PieceLevel& LevelFor(const PieceLevel& i_level, const std::vector<TriangleMesh>& i_pieces,
                           const std::vector<std::uint64_t>& i_counts);


// One side of a piece's card: the faces of the piece that look out of its cell that way (+x, -x,
// +z or -z), added up.
struct CardSide {
  bool shown = false;  // it has enough area for a quad
  int axis = 0;        // 0: x, 2: z
  double sign = 1;     // +1 or -1 along the axis
  double out = 0;      // where the quad stands along the axis (cell units, signed)
  double low[2] = {0, 0}, high[2] = {0, 0};  // its extent: y, and across (z for an x side, x for a z side)
  std::uint32_t material = Obj::kNoMaterial;  // the material that covers most of it
  bool mapped = false;                        // whether that material's faces have texture coordinates
  UV uv;  // the flat tone of the side in that material (glTF's orientation)

  // A corner of the quad: i_y 0 low, 1 high; i_across the same (cell units).
  VectorF corner(int i_y, int i_across) const;
};

// The sides of a piece's card, +x, -x, +z, -z; each toned with the mean colour of the faces it
// stands for when i_tones has their sheets.
std::array<CardSide, 4> CardSides(const TriangleMesh& i_mesh, const SheetTones* i_tones);

// Where one side of a card takes its picture from: a tile of a card sheet, as the box of its
// texture coordinates (glTF's orientation: low.v is the tile's top, which shows the side's top).
// A side without a tile has no material.
struct CardTile {
  std::uint32_t material = Obj::kNoMaterial;  // the card sheet's kit material
  UV low, high;
};

// A piece simplified to at most i_share of its triangles, or as near as its locked border allows.
// i_opaque tells, by kit material id, the materials that hide what lies behind them. With i_tiles
// (the piece's card tiles, by side), a triangle that faces a side with a tile and is not a stretch
// of that side's wall shows the tile instead of the kit's sheet.
Piece SimplifiedPiece(const Piece& i_piece, double i_share, const std::vector<bool>& i_opaque,
                      const std::array<CardTile, 4>* i_tiles = nullptr);

// The card of a piece, from the piece and its simplified form (for the roof). Each side with a
// tile in i_tiles (by side, as CardSides) shows it; the others are toned with the mean colour of
// the faces they stand for, when i_tones has their sheets.
Piece CardPiece(const Piece& i_piece, const Piece& i_simplified, const SheetTones* i_tones = nullptr,
                const std::array<CardTile, 4>* i_tiles = nullptr);

}  // namespace Ostrel::Buildings
