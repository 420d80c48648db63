#pragma once
// The output formats, one row each: the only place that knows a format's name, the file names
// that choose it, the file it writes beside its output, the limit it refuses a scene by, the
// options it cannot apply, and its writer. A tool picks a row by the output's name and asks the
// row the rest; it never names a format itself.
//
// A new format is a new writer (one file) and its row in Formats.cpp; when it takes options of
// its own, a struct of them here in SceneOptions, beside those of OBJ and glTF.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/scene/Engine.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/CardSheets.h>
#include <ostrel/write/Gltf.h>
#include <ostrel/write/Obj.h>
#include <ostrel/write/Sheets.h>
#include <ostrel/write/Tiles.h>

namespace Ostrel::Buildings {

// What every format is told about writing a scene, and what each is told of its own.
struct SceneOptions {
  bool kitUnits = false;  // coordinates in the kit's own units (unit size x cell units)
  EngineOptions engine;   // extras for game engines, and the buildings' pivot
  // Told after each building is written, by one thread at a time: buildings written so far, and
  // bytes written so far.
  std::function<void(std::uint64_t i_buildings, std::uint64_t i_bytes)> progress;
  ObjOptions obj;    // the OBJ writer's own
  GltfOptions gltf;  // the glTF writer's own
  TilesOptions tiles;  // the tileset writer's own
  SheetOptions sheets;  // where the kit's texture sheets go, and how large
  // The card sheets that the far levels show (--lod 3), beside the kit, which the writers then
  // write from a copy of with their materials.
  std::vector<CardSet> cards;

  // How the buildings are framed in the output.
  Framing framing() const { return {kitUnits, engine.pivot}; }
};

// A file a format writes beside its output: the output's name with another extension, beside
// the file actually written.
struct SideFile {
  enum class Kind {
    None,
    // Text the writer leaves in SceneReport::materialLibrary when the scene uses materials,
    // written once the output is; beside an output that is no regular file it is left out, with
    // a warning.
    Library,
    // A stream the writer writes with the output; an output that is no regular file, with no
    // folder to keep it in, cannot be written at all.
    Stream,
    // Files the writer writes itself, which belong in the folder `name` beside the output (a
    // tileset's tiles/). The writer is told the path of a new, empty folder to write them into;
    // the caller moves them into place once the output is written whole, or removes them.
    Folder,
  };
  Kind kind = Kind::None;
  const char* extension = "";  // ".mtl"
  const char* name = "";       // as messages name it: "material file"; a Folder's folder name
  const char* holds = "";      // what is lost without it, for a Library's warning: "materials"
};

// Where a format keeps the kit's texture sheets when not told otherwise (SheetPlace::Format).
enum class SheetHome {
  Kit,        // its material library names the kit's own files
  Embedded,   // inside the output
  OwnFolder,  // in a folder of its own beside the output, shared by its files (SheetPlace::Beside too)
};

class Writer;

struct OutputFormat {
  const char* name;       // as messages name it: "OBJ"
  const char* extension;  // an output's name that ends in it, in any case, chooses the format;
                          // empty: every name that no other format's extension ends
  SideFile side;
  // Why a scene is too large for the format, to follow "is too large to write: ".
  std::string limit;
  bool limitOfOne;  // whether the refusal of a single building tells it too
  // The tool's options that the format cannot apply, in the order their warnings are told, and
  // why: "Option 'O' WHY: 'FILE' is written as NAME".
  std::vector<std::string> ignores;
  std::string ignoredWhy;
  // Tells the writer where its side file goes: the file's path and, for a Stream, the stream.
  void (*beside)(const std::string& i_path, std::ostream* io_stream, SceneOptions& io_options);
  std::unique_ptr<Writer> (*writer)();
  bool metres = false;  // its coordinates are always in the kit's units (metres), as with -m
  SheetHome sheets = SheetHome::Kit;
};

// Every format, the one chosen by any other name first.
const std::vector<OutputFormat>& OutputFormats();

// The format an output file of that name is written in.
const OutputFormat& FormatOfOutput(std::string_view i_name);

}  // namespace Ostrel::Buildings
