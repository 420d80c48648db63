#pragma once
// A kit linter: checks the unit files of a style the way the tool uses them and says what is
// wrong, file by file and line by line, for the kit's author. It prints nothing: it returns its
// findings.
//
// Each unit file is checked on its own, then every piece is placed in a few buildings that
// together put it next to each of its neighbours, where open edges, faces wound against their
// neighbours and faces over each other show. A variant (STYLE_PIECE.N.obj) is checked as a piece
// of its own and, in buildings, in place of its plain piece; another STYLE_*.obj file is checked
// on its own and told to be no piece.
//
// Errors are the findings that lose or break geometry: a needed piece or the unit size missing,
// a face or a vertex's numbers lost, faces of fewer than three corners, vertices outside the
// cell, open edges, faces wound against their neighbours or against their normals, faces over
// each other facing the same way. Warnings are the rest: an optional piece missing, texture or
// normal fields lost, lines the reader does not read, faces back to back (hidden), material
// troubles, files that are no piece.

#include <cstddef>
#include <string>
#include <vector>

#include <ostrel/layout/Request.h>

namespace Ostrel::Buildings {

enum class LintSeverity { Error, Warning };

struct LintFinding {
  LintSeverity severity = LintSeverity::Error;
  std::string file;      // units folder + "/" + the file's name, or the units folder alone
  std::size_t line = 0;  // 1-based line of the file; 0 when the finding is about the whole file
  // With a line, what is wrong on it ("face left out: ..."); without, what is wrong with the
  // file, to follow its name ("does not exist: ...").
  std::string message;
};

// The styles a linter checks when it is given none: every style of a units folder's entries
// (StylesOf, Kit.h) but "base", whose files are the base units.
std::vector<std::string> LintedStyles(const std::vector<std::string>& i_entries);

// The buildings each style is checked in: doors on every side and beside a corner, walls and
// balconies of every pattern, rows of no cells, one cell and more, and height 0 (of which only
// the roof row is checked: the ground storey stands inside it, which no kit can make clean);
// with i_pitched, gable and hip roofs of odd and even spans too; with i_terraces, setbacks of
// every side and corner form (hip roofs on their top blocks with i_pitched too); with i_inner,
// footprints with inner corners (an L, a U, a T and a courtyard); with i_hips, those under hip
// roofs too, and a plus and a stair; with i_terraces, i_inner and i_innerTerraces, an L and a
// courtyard block stepped back over their inner corners.
std::vector<Request> LintRequests(const std::string& i_style, bool i_pitched, bool i_terraces, bool i_inner,
                                  bool i_hips = false, bool i_innerTerraces = false);

// Lints the styles (names as the tool takes them) of the units folder. Findings come by file
// (the base units, then each style's pieces in the order of the piece kinds, their variants, its
// other STYLE_*.obj files, then the material files) and, within a file, by line.
std::vector<LintFinding> LintKit(const std::string& i_folder, const std::vector<std::string>& i_styles);

// The same for styles of i_folder among several units folders (i_folders, in order, i_folder one
// of them): the base units come from the first of i_folders that has them, as a build takes them.
std::vector<LintFinding> LintKit(const std::string& i_folder, const std::vector<std::string>& i_styles,
                                 const std::vector<std::string>& i_folders);

}  // namespace Ostrel::Buildings
