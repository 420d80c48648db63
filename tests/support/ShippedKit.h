#pragma once
// The kit shipped in units/, which many tests build with as users do. A folder's test files are
// compiled as one unit, so what several of them use is defined here once.

#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>

namespace TestSupport {

inline const std::string kShipped = std::string(TOWERKIT_SOURCE_DIR) + "/units";
// The shipped kit's styles, in the order the linter lists them.
inline const std::vector<std::string> kShippedStyles = {"A", "B", "S"};

// Leaves a loaded piece with no geometry, for tests that give it other geometry or none.
inline void EmptyPiece(Ostrel::Buildings::Piece& io_piece) {
  io_piece.positions.clear();
  io_piece.normals.clear();
  io_piece.uvs.clear();
  io_piece.corners.clear();
  io_piece.polycount.clear();
  io_piece.faceMaterials.clear();
}

}  // namespace TestSupport
