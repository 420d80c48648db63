// The materials of buildings: naming them and merging their libraries into one.

#include <ostrel/scene/Materials.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <ostrel/layout/PlanCounts.h>

namespace Ostrel::Buildings {

namespace {

bool PieceHasFaceWithout(const Piece& i_piece) {
  if (i_piece.faceMaterials.empty()) return !i_piece.polycount.empty();
  for (const std::uint32_t material : i_piece.faceMaterials) {
    if (material == Obj::kNoMaterial) return true;
  }
  return false;
}

// The materials the placed pieces use, in order of first use, each once.
std::vector<std::uint32_t> MaterialsInOrder(const std::vector<PieceId>& i_pieces, const Kit& i_kit) {
  std::vector<char> seen(i_kit.materials.size(), 0);
  std::vector<std::uint32_t> materials;
  for (const PieceId id : i_pieces) {
    for (const std::uint32_t material : i_kit.piece(id).faceMaterials) {
      if (material == Obj::kNoMaterial || seen[material]) continue;
      seen[material] = 1;
      materials.push_back(material);
    }
  }
  return materials;
}

// A texture path of a library in i_libraryFolder, as seen from i_outputFolder. Absolute paths
// stay as they are.
std::string MoveTexturePath(const std::string& i_path, const std::filesystem::path& i_libraryFolder,
                            const std::filesystem::path& i_outputFolder) {
  namespace fs = std::filesystem;
  const fs::path path(i_path);
  if (path.is_absolute()) return i_path;
  std::error_code ec;
  const fs::path target = fs::absolute(i_libraryFolder / path, ec).lexically_normal();
  if (ec) return i_path;
  const fs::path from = fs::absolute(i_outputFolder, ec).lexically_normal();
  if (ec) return target.string();
  const fs::path relative = target.lexically_relative(from);
  if (relative.empty()) return target.string();
  // A path that began with '-' would read as a texture option.
  const std::string text = relative.generic_string();
  return text[0] == '-' ? "./" + text : text;
}

// Each texture statement of the material pointed where i_placer says, or left out.
void PlaceTextures(Mtl::Material& io_material, const std::filesystem::path& i_libraryFolder,
                   const std::string& i_root, const TexturePlacer& i_placer) {
  std::vector<Mtl::Texture> kept;
  std::vector<std::string> lines;
  std::size_t next = 0;  // the next texture, in line order
  for (std::size_t i = 0; i < io_material.lines.size(); ++i) {
    if (next >= io_material.textures.size() || io_material.textures[next].lineIndex != i) {
      lines.push_back(io_material.lines[i]);
      continue;
    }
    Mtl::Texture texture = io_material.textures[next++];
    const std::filesystem::path path(texture.path);
    const std::string file = path.is_absolute() ? texture.path : (i_libraryFolder / path).string();
    texture.path = i_placer(file, i_root, io_material.name);
    if (texture.path.empty()) continue;
    texture.lineIndex = lines.size();
    lines.push_back(io_material.lines[i]);
    kept.push_back(std::move(texture));
  }
  io_material.lines = std::move(lines);
  io_material.textures = std::move(kept);
}

void NoteLibrary(const MaterialLibrary& i_library, std::vector<MaterialNote>& o_notes) {
  for (const Mtl::Finding& finding : i_library.findings) {
    MaterialNote note{finding.line == 0 ? MaterialNote::Kind::LibraryUnread : MaterialNote::Kind::LibraryLine,
                      i_library.file,
                      finding.line,
                      finding.message,
                      "",
                      ""};
    o_notes.push_back(note);
  }
}

}  // namespace

const char* const kDefaultMaterialText = "Ka 0 0 0\nKd 0.8 0.8 0.8\nKs 0 0 0\nd 1\nillum 1\n";

std::vector<std::uint32_t> LibrariesInOrder(const std::vector<PieceId>& i_pieces, const Kit& i_kit) {
  std::vector<std::uint32_t> libraries;
  for (const PieceId id : i_pieces) {
    for (const std::uint32_t library : i_kit.piece(id).libraries) {
      bool seen = false;
      for (const std::uint32_t known : libraries) seen = seen || known == library;
      if (!seen) libraries.push_back(library);
    }
  }
  return libraries;
}

MaterialNames NameMaterials(const Plan& i_plan, const Kit& i_kit) {
  MaterialNames names;
  for (const PieceId id : PiecesInOrder(i_plan))
    names.used = names.used || !i_kit.piece(id).faceMaterials.empty();
  if (!names.used) return names;
  names.defaultName = "towerkit_default";
  for (int suffix = 2;; ++suffix) {
    bool taken = false;
    for (const std::string& name : i_kit.materials) taken = taken || name == names.defaultName;
    if (!taken) return names;
    names.defaultName = "towerkit_default_" + std::to_string(suffix);
  }
}

std::string MergeMaterials(const Plan& i_plan, const Kit& i_kit, const MaterialNames& i_names,
                           const std::string& i_outputFolder, std::vector<MaterialNote>& o_notes,
                           const TexturePlacer& i_placer) {
  const std::vector<PieceId> pieces = PiecesInOrder(i_plan);
  const std::vector<std::uint32_t> libraries = LibrariesInOrder(pieces, i_kit);
  for (const std::uint32_t library : libraries) NoteLibrary(i_kit.libraries[library], o_notes);

  std::string text;
  for (const std::uint32_t material : MaterialsInOrder(pieces, i_kit)) {
    const std::string& name = i_kit.materials[material];
    const Mtl::Material* chosen = nullptr;
    const MaterialLibrary* chosenLibrary = nullptr;
    for (const std::uint32_t index : libraries) {
      const MaterialLibrary& library = i_kit.libraries[index];
      for (const Mtl::Material& definition : library.library.materials) {
        if (definition.name != name) continue;
        if (!chosen) {
          chosen = &definition;
          chosenLibrary = &library;
        } else if (definition.lines != chosen->lines) {
          o_notes.push_back({MaterialNote::Kind::Conflict, library.file, 0, "", name, chosenLibrary->file});
        }
      }
    }
    if (!chosen) {
      o_notes.push_back({MaterialNote::Kind::Undefined, "", 0, "", name, ""});
      continue;
    }
    Mtl::Material moved = *chosen;
    const std::filesystem::path libraryFolder = std::filesystem::path(chosenLibrary->file).parent_path();
    if (i_placer) {
      PlaceTextures(moved, libraryFolder, chosenLibrary->root, i_placer);
    } else {
      for (Mtl::Texture& texture : moved.textures) {
        texture.path = MoveTexturePath(texture.path, libraryFolder, i_outputFolder);
      }
    }
    if (!text.empty()) text += '\n';
    Mtl::AppendMaterial(moved, text);
  }

  bool defaultUsed = false;
  for (const PieceId id : pieces) defaultUsed = defaultUsed || PieceHasFaceWithout(i_kit.piece(id));
  if (i_names.used && defaultUsed) {
    if (!text.empty()) text += '\n';
    text += "newmtl " + i_names.defaultName + "\n" + kDefaultMaterialText;
  }
  return text;
}

}  // namespace Ostrel::Buildings
