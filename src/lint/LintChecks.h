#pragma once
// The checks of one unit file for the kit linter (KitLint.h): lines the reader leaves out or
// reads in part, faces of fewer than three corners, vertices outside the cell, normals against
// the winding, materials that no material file defines; and the findings they make.
//
// The cell of a piece, in its own frame and file units, spans x and z from -size/2 to size/2 and
// y from 0 to the storey's height (the unit size, from the base units). A piece may stand out of
// it as far as its kind's rule allows (PieceKind.h); everything else stays inside the cell,
// within a thousandth of a cell.
//
// Findings that lose or break geometry are errors; the others are warnings.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/lint/KitLint.h>
#include <ostrel/utils/FileSystem.h>

namespace Ostrel::Buildings::detail {

// How far (cell units) a vertex may lie outside what its cell allows.
inline constexpr float kCellTolerance = 1e-3f;

// Findings, kept to be given by stage, then by file (in the order files were first named) and
// line. Stage 0 holds each file's own faults, stage 1 those that show when pieces meet in
// buildings, so that a piece's own fault comes before what it causes in its neighbours.
struct LintReport {
  std::vector<std::string> files;
  std::vector<std::pair<std::size_t, LintFinding>> found;
  int stage = 0;                   // of the findings added now
  std::vector<int> stages;         // of each finding of found

  std::size_t order(const std::string& i_file);
  void add(LintSeverity i_severity, const std::string& i_file, std::size_t i_line, std::string i_message);
  std::vector<LintFinding> sorted();
};

// A unit file as the linter reads it, beside the kit's piece of it.
struct LintPiece {
  std::string file;
  bool isPiece = false;               // false for a STYLE_*.obj file that is no piece
  PieceKind kind = PieceKind::Angle;  // its piece kind, when it is a piece
  PieceId id = 0;                     // in the kit
  PieceId plain = 0;                  // the piece it stands in for: itself, or the plain piece of a variant
  FileSystem::ReadResult read;
  Obj::Mesh mesh;  // file units
  std::vector<Obj::Finding> findings;
  Obj::SourceLines lines;
  std::vector<std::size_t> keptFaceLines;  // the line of each face the kit keeps
  std::vector<PieceId> variants;           // of a plain piece, in the order of their numbers
  bool unused = false;                     // a variant past a missing number, which the tool does not read
};

void ReadLintPiece(LintPiece& io_piece);

// "(x, y, z)" in the file's own numbers.
std::string Point(const VectorF& i_p);

// "1 corner", "2 corners": i_plural is the noun's plural form.
std::string Plural(std::size_t i_count, const char* i_noun, const char* i_plural);

// What the reader left out or read in part, and faces of fewer than three corners.
void CheckReading(const LintPiece& i_piece, LintReport& io_report);

// Everything that is told of one unit file on its own: missing, unreadable, reading, cell,
// normals, materials, unused, no piece.
void CheckPieceFile(const LintPiece& i_piece, const Kit& i_kit, LintReport& io_report);

// Whether a piece has a vertex outside what its cell allows (CheckCell tells which).
bool ReachesOutside(const LintPiece& i_piece, const Piece& i_kitPiece);

// The findings of the material files the kit read; a file that gives nothing names the unit
// files that name it.
void CheckLibraries(const Kit& i_kit, LintReport& io_report);

// The texture files the material files name, each once per file: missing, unreadable, neither
// PNG nor JPEG, or outside its style's units folder.
void CheckTextures(const Kit& i_kit, LintReport& io_report);

}  // namespace Ostrel::Buildings::detail
