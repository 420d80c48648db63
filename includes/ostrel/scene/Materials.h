#pragma once
// Materials of a building: which material each placed face has, and the one material library
// (.mtl) an output carries beside it, merged from the libraries that the placed pieces name.
//
// A building uses materials when any placed face names one. Its faces then all get one: those
// without a material of their own get a plain default material, so that they never inherit the
// material of the faces before them in the file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

// Something a merged material library could not do as asked, for a warning line.
struct MaterialNote {
  enum class Kind {
    LibraryUnread,  // a library file could not be read: `message` says why
    LibraryLine,    // a line of a library was left out: `line`, `message`
    Conflict,       // `material` is defined differently in `file` and, first, in `firstFile`
    Undefined,      // `material` is used but no library defines it
  };
  Kind kind;
  std::string file;       // the library concerned (units folder + "/" + its name)
  std::size_t line = 0;   // 1-based, for LibraryLine
  std::string message;    // for LibraryUnread and LibraryLine
  std::string material;   // for Conflict and Undefined
  std::string firstFile;  // for Conflict: the definition that is used
};

// How an output names materials.
struct MaterialNames {
  bool used = false;        // some placed face names a material
  std::string defaultName;  // the material of faces that name none, when used
};

// Whether the plan's faces name materials, and the name of the default material: one that no
// piece of the kit uses.
MaterialNames NameMaterials(const Plan& i_plan, const Kit& i_kit);

// Where a merged library's texture statement points instead of the kit's file: given that file
// (its library's folder joined to the statement's path, or the path when absolute), the units
// folder of its style (empty: none) and the material's name, the path to write; empty to leave
// the statement out.
using TexturePlacer = std::function<std::string(const std::string& i_file, const std::string& i_root,
                                                const std::string& i_material)>;

// The text of the material library of an output that holds the plan's building: every material
// its faces use, each once, in the order of first use, as the first library that defines it
// has it, and the default material when a face without one is placed. Texture paths are made
// relative to i_outputFolder, where the library is written, so that they still find their files;
// or, with i_placer, are what it gives.
// o_notes gets what a user should be told, in the order found.
std::string MergeMaterials(const Plan& i_plan, const Kit& i_kit, const MaterialNames& i_names,
                           const std::string& i_outputFolder, std::vector<MaterialNote>& o_notes,
                           const TexturePlacer& i_placer = nullptr);

// The material libraries the pieces name, in the order of the pieces, each once, as indices into
// Kit::libraries: the order in which a definition is looked for.
std::vector<std::uint32_t> LibrariesInOrder(const std::vector<PieceId>& i_pieces, const Kit& i_kit);

// The lines of the plain material that faces without one of their own get (after its newmtl line).
extern const char* const kDefaultMaterialText;

}  // namespace Ostrel::Buildings
