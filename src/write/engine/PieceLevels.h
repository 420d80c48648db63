#pragma once
// The levels of detail of a kit's pieces, made once for a kit and laid out exactly as the pieces
// are: a level of a building is its plan walked with the level's kit in place of the kit, so it
// streams like the finest level, at any size, in memory that does not grow with the building.
//
// A simplified piece keeps about 30 % of its triangles, or as few as collapses that move its
// surface by at most a few centimetres a metre leave. Its faces that look into the building
// from behind its outer walls (a wall's inner face, the back of a pane) go first: the building's
// closed walls hide them. meshoptimizer then collapses its surface, welded by position alone, with
// the vertices of its open border that lie on the cell's box locked, so that neighbours still
// meet; a small region of one material (a frame) may go into its neighbour's. Its faces are flat,
// as the kit's are, and each takes the material of the piece's own face under it and its texture
// coordinates from the kit's mapping of that face: that mapping only turns and shifts a face onto
// its strip of the sheet, so regions of the sheet stay whole and no triangle stretches it. A face
// that the collapses tilted out of every face takes one texel of its material.
//
// A card is the far form of a piece: one quad for each side of the cell that the piece faces
// (its outward walls), in the material that covers most of that side, toned with the mean colour
// of that side (SheetTones.h), plus the
// simplified piece's roof (its faces that look up).

#include <memory>
#include <vector>

#include <ostrel/kit/Kit.h>

#include "write/TriangleMesh.h"
#include "write/engine/SheetTones.h"

namespace Ostrel::Buildings {

// One level of every piece of a kit.
struct PieceLevel {
  Kit kit;                        // the kit with each piece's faces those of this level
  std::vector<TriangleMesh> pieces;  // MakeTriangleMeshes(kit): its glTF form, in cell units
  // The kit's sheets' colours, which the cards and the block boxes are toned from (null for a
  // level made without them).
  std::shared_ptr<const SheetTones> tones;
};

// The levels of a building with i_lods lower levels of detail that are laid out piece by piece:
// the simplified pieces for one or two levels (the last of two or more is the block boxes, made
// per building), then the cards for three.
std::vector<PieceLevel> MakePieceLevels(const Kit& i_kit, int i_lods);

// A piece simplified to at most i_share of its triangles, or as near as its locked border allows.
// i_opaque tells, by kit material id, the materials that hide what lies behind them.
Piece SimplifiedPiece(const Piece& i_piece, double i_share, const std::vector<bool>& i_opaque);

// The card of a piece, from the piece and its simplified form (for the roof); each side toned with
// the mean colour of the faces it stands for, when i_tones has their sheets.
Piece CardPiece(const Piece& i_piece, const Piece& i_simplified, const SheetTones* i_tones = nullptr);

}  // namespace Ostrel::Buildings
