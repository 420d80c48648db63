// The kit linter's check of the textures that the material files name.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include <ostrel/ext/Mtl.h>
#include <ostrel/kit/Textures.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/TextFile.h>

#include "lint/LintChecks.h"

namespace Ostrel::Buildings::detail {

namespace {

// What keeps one texture file from being shown, or nothing: it is missing or cannot be read, it
// is no PNG or JPEG (a .glb embeds only those), or it lies outside the style's units folder
// (a .glb leaves it out).
std::string TextureFaultText(const std::string& i_path, const std::string& i_root) {
  std::string bytes;
  FileSystem::ReadResult read;
  switch (ReadTexture(i_path, i_root, bytes, read)) {
    case TextureFault::OutsideFolder:
      return "lies outside the units folder '" + TextFile::Excerpt(i_root, i_root.size()) + "': a .glb goes without it";
    case TextureFault::Unreadable:
      return TextFile::Describe(read);
    case TextureFault::NotAnImage:
      return "is neither PNG nor JPEG: a .glb goes without it";
    case TextureFault::None:
      break;
  }
  return std::string();
}

}  // namespace

void CheckTextures(const Kit& i_kit, LintReport& io_report) {
  for (const MaterialLibrary& library : i_kit.libraries) {
    const std::string folder = std::filesystem::path(library.file).parent_path().string();
    std::set<std::string> told;  // each file once per library, however many materials name it
    for (const Mtl::Material& material : library.library.materials) {
      for (const Mtl::Texture& texture : material.textures) {
        const std::string path = texture.path.front() == '/' ? texture.path : folder + "/" + texture.path;
        if (!told.insert(path).second) continue;
        const std::string fault = TextureFaultText(path, library.root);
        if (fault.empty()) continue;
        io_report.add(LintSeverity::Warning, library.file, material.line,
                      "texture '" + TextFile::Excerpt(texture.path, texture.path.size()) + "' (" + texture.keyword +
                          " of material '" + TextFile::Excerpt(material.name, material.name.size()) + "') " +
                          fault);
      }
    }
  }
}

}  // namespace Ostrel::Buildings::detail
