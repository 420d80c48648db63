#pragma once
// The kit's texture sheets as an output carries them: where they go (SheetPlace), how large they
// may be, and the names of the copies written beside an output.
//
// Copies beside an output are named by the sheet's bare file name, so that the output's folder
// can be moved whole. A name is never given to an entry of that folder that holds something else:
// a name already taken (by another file, a folder, a link, the run's own output or side file, or
// another sheet of the run) gives way to the name with -2, -3 ... before its extension. A regular
// file of that name that holds the same bytes is the copy itself and is kept, so that runs into
// one folder (the shards of a city, a building written again) share one copy of each sheet.

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/scene/Materials.h>
#include <ostrel/scene/Scene.h>

namespace Ostrel::Buildings {

enum class SheetPlace {
  // Where the format keeps them: embedded in a .glb or .gltf; named by an OBJ's material library
  // where the kit keeps them (relative to the library); in a tileset's own textures folder.
  Format,
  Beside,  // copies in the output's folder, named by bare names (a tileset: its textures folder)
  None,    // no images: the materials keep their colours alone
};

struct SheetOptions {
  SheetPlace place = SheetPlace::Format;
  // Sheets with a longer side than this (pixels) are box-filtered down to it; 0: as they are. Only
  // PNG sheets can be; others are carried as they are, with a warning. Copies and embedded
  // sheets only: the kit's own files are never changed.
  std::uint32_t maxSize = 0;
  // Beside: the folder the copies go into, and the names of that folder that the run writes
  // itself (its output and the file beside it), which no sheet may take.
  std::string folder = ".";
  std::vector<std::string> taken{};
};

// i_bytes, the sheet at i_path (for messages), box-filtered so that its longer side is at most
// i_maxSize pixels (Png.h); as they are when already that small or i_maxSize is 0. A sheet that
// cannot be made smaller (not PNG, broken, too large to decode) stays as it is with one line in
// io_warnings.
std::string ShrinkSheet(const std::string& i_path, std::string i_bytes, std::uint32_t i_maxSize,
                        std::vector<std::string>& io_warnings);

// The name beside the output of the sheet i_bytes, made from the kit's file i_source: its bare
// name, or the first free one after it (see above). Appends the sheet to io_sheets unless one of
// that name and bytes is there already (the same sheet named by two materials); a name that had
// to change gets a line in io_warnings.
std::string PlaceSheet(const std::string& i_source, const std::string& i_bytes, const SheetOptions& i_options,
                       std::vector<OutputSheet>& io_sheets, std::vector<std::string>& io_warnings);

// How an OBJ output's material library (Materials.h) names its textures under i_options: with
// None, it names none (every texture statement is left out); with Beside, each file is read once
// by the kit's rule (Textures.h), shrunk to i_options.maxSize when PNG, named beside the output
// and kept in io_sheets; a file the rule refuses is left out with a line in io_warnings. Null for
// Format: the library names the kit's files. io_sheets and io_warnings must outlive the placer.
TexturePlacer LibraryPlacer(const SheetOptions& i_options, std::vector<OutputSheet>& io_sheets,
                            std::vector<std::string>& io_warnings);

// A file name as a relative URI: every byte but unreserved ones percent-encoded.
std::string UriOf(const std::string& i_name);

}  // namespace Ostrel::Buildings
