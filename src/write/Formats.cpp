// The table of output formats.

#include <ostrel/write/Formats.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/write/Sheets.h>

#include "write/Writer.h"

namespace Ostrel::Buildings {

// The formats' writers, each in its own file.
std::unique_ptr<Writer> MakeObjFormat();
std::unique_ptr<Writer> MakeGlbFormat();
std::unique_ptr<Writer> MakeTilesFormat();

namespace {

// The OBJ output names its material library by its file name, and the library's texture paths
// are made relative to its folder.
void ObjLibrary(const std::string& i_path, std::ostream*, SceneOptions& io_options) {
  const std::filesystem::path library(i_path);
  io_options.obj.libraryName = library.filename().string();
  io_options.obj.libraryFolder = library.parent_path().empty() ? "." : library.parent_path().string();
}

// A .gltf names its buffer relative to itself: the file beside it.
void GltfBuffer(const std::string& i_path, std::ostream* io_stream, SceneOptions& io_options) {
  io_options.gltf.buffer = io_stream;
  io_options.gltf.bufferUri = UriOf(std::filesystem::path(i_path).filename().string());
}

void Nothing(const std::string&, std::ostream*, SceneOptions&) {}

// A tileset's tiles are written into the folder the caller gives, tiles/ beside tileset.json
// once the tileset is whole.
void TilesFolder(const std::string& i_path, std::ostream*, SceneOptions& io_options) { io_options.tiles.folder = i_path; }

constexpr const char* kGlbLimit = "a .glb file holds at most 4 GiB";

bool EndsIn(std::string_view i_name, std::string_view i_extension) {
  if (i_name.size() < i_extension.size()) return false;
  const std::string_view end = i_name.substr(i_name.size() - i_extension.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(end[i])) != i_extension[i]) return false;
  }
  return true;
}

}  // namespace

const std::vector<OutputFormat>& OutputFormats() {
  const SideFile library{SideFile::Kind::Library, ".mtl", "material file", "materials"};
  const SideFile buffer{SideFile::Kind::Stream, ".bin", "buffer file of a .gltf", "buffer"};
  const SideFile tiles{SideFile::Kind::Folder, "", "tiles", "tiles"};
  const std::string indices = "its buildings hold more than " + std::to_string(kMaxIndex) +
                              " vertices, normals or texture coordinates";
  // clang-format off
  // name, extension, side file, limit and whether one building's refusal tells it, options it
  // cannot apply and why, how its writer is told of its side file, its writer, whether it is in
  // metres whatever asked, where it keeps texture sheets
  static const std::vector<OutputFormat> formats = {
      {"OBJ",         "",      library, indices,   false,
       {"--markers", "--instances"}, "applies to .glb output only", ObjLibrary, MakeObjFormat},
      {"binary glTF", ".glb",  {},      kGlbLimit, true,  {}, "", Nothing,    MakeGlbFormat, false,
       SheetHome::Embedded},
      {"glTF",        ".gltf", buffer,  kGlbLimit, true,  {}, "", GltfBuffer, MakeGlbFormat, false,
       SheetHome::Embedded},
      {"a 3D Tiles tileset", "tileset.json", tiles, "a tile's .glb file holds at most 4 GiB", true,
       {"--instances", "--collision", "--lod", "--markers"}, "does not apply to a tileset", TilesFolder,
       MakeTilesFormat, true, SheetHome::OwnFolder},
  };
  // clang-format on
  return formats;
}

const OutputFormat& FormatOfOutput(std::string_view i_name) {
  const std::vector<OutputFormat>& formats = OutputFormats();
  for (const OutputFormat& format : formats) {
    if (*format.extension != '\0' && EndsIn(i_name, format.extension)) return format;
  }
  return formats.front();
}

}  // namespace Ostrel::Buildings
