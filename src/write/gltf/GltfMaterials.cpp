// The kit's materials as glTF materials.

#include "write/gltf/GltfMaterials.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <ostrel/kit/Textures.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/TextFile.h>

namespace Ostrel::Buildings {

float SrgbToLinear(float i_srgb) {
  const double c = std::clamp(static_cast<double>(i_srgb), 0.0, 1.0);
  return static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
}

GltfMaterial ConvertMaterial(const Mtl::Material& i_material) {
  GltfMaterial material;
  material.name = i_material.name;
  if (i_material.kd) {
    for (int i = 0; i < 3; ++i) material.baseColor[i] = SrgbToLinear((*i_material.kd)[i]);
  }
  if (i_material.d) material.baseColor[3] = std::clamp(*i_material.d, 0.0f, 1.0f);
  if (i_material.ns) {
    const double ns = std::max(0.0, static_cast<double>(*i_material.ns));
    // Blinn-Phong's exponent matches the microfacet width alpha = sqrt(2 / (Ns + 2)); glTF's
    // roughness is perceptual (alpha = roughness^2). Two square roots, exact on every machine.
    material.roughness = static_cast<float>(std::sqrt(std::sqrt(2.0 / (ns + 2.0))));
  }
  return material;
}

std::vector<bool> UsedMaterials(const Plan& i_plan, const Kit& i_kit) {
  std::vector<bool> used(i_kit.materials.size(), false);
  for (const PieceId id : PiecesInOrder(i_plan)) {
    for (const std::uint32_t material : i_kit.piece(id).faceMaterials) {
      if (material < used.size()) used[material] = true;
    }
  }
  return used;
}

std::vector<std::optional<MaterialDefinition>> FindDefinitions(const Plan& i_plan, const Kit& i_kit) {
  std::vector<std::optional<MaterialDefinition>> definitions(i_kit.materials.size());
  for (const std::uint32_t index : LibrariesInOrder(PiecesInOrder(i_plan), i_kit)) {
    const MaterialLibrary& library = i_kit.libraries[index];
    const std::string folder = std::filesystem::path(library.file).parent_path().string();
    for (const Mtl::Material& material : library.library.materials) {
      for (std::size_t id = 0; id < i_kit.materials.size(); ++id) {
        if (i_kit.materials[id] == material.name && !definitions[id])
          definitions[id] = {material, folder, library.root};
      }
    }
  }
  return definitions;
}

namespace {

// The index in io_materials.images of the texture file, read now when new; -1, with a warning,
// when it cannot be embedded.
std::int32_t TextureImage(const std::string& i_path, const std::string& i_root, const std::string& i_material,
                          std::vector<std::string>& io_paths, GltfMaterials& io_materials,
                          std::vector<std::string>& o_warnings) {
  // One image per file: the same file named by another path (through "./", "../" or a link) too.
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::canonical(i_path, ec);
  const std::string key = ec ? i_path : canonical.string();
  for (std::size_t i = 0; i < io_paths.size(); ++i) {
    if (io_paths[i] == key) return static_cast<std::int32_t>(i);
  }
  const std::string subject = "Texture '" + TextFile::Excerpt(i_path, i_path.size()) + "' of material '" +
                              TextFile::Excerpt(i_material, i_material.size()) + "'";
  GltfImage image;
  FileSystem::ReadResult read;
  const TextureFault fault = ReadTexture(i_path, i_root, image.bytes, read);
  if (fault != TextureFault::None) {
    o_warnings.push_back(subject + TextureFaultText(fault, read, i_root));
    return -1;
  }
  image.mimeType = ImageMimeType(image.bytes);
  image.name = i_path.substr(i_path.rfind('/') + 1);
  image.path = i_path;
  io_paths.push_back(key);
  io_materials.images.push_back(std::move(image));
  return static_cast<std::int32_t>(io_materials.images.size() - 1);
}

}  // namespace

GltfMaterials MakeGltfMaterials(const std::vector<std::optional<MaterialDefinition>>& i_definitions,
                                const std::vector<bool>& i_used, const MaterialNames& i_names,
                                std::vector<std::string>& o_warnings) {
  GltfMaterials materials;
  if (i_names.used) {
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    Mtl::Parse("newmtl " + i_names.defaultName + "\n" + kDefaultMaterialText, library, findings);
    materials.none = ConvertMaterial(library.materials.at(0));
  }
  materials.ofKit.resize(i_definitions.size());
  std::vector<std::string> paths;  // of materials.images
  for (std::size_t id = 0; id < i_definitions.size(); ++id) {
    if (!i_definitions[id] || id >= i_used.size() || !i_used[id]) continue;
    const MaterialDefinition& definition = *i_definitions[id];
    GltfMaterial material = ConvertMaterial(definition.material);
    const auto image = [&](const Mtl::Texture* i_texture) -> std::int32_t {
      if (!i_texture) return -1;
      const std::string path =
          i_texture->path.front() == '/' ? i_texture->path : definition.folder + "/" + i_texture->path;
      return TextureImage(path, definition.root, material.name, paths, materials, o_warnings);
    };
    material.image = image(Mtl::FindTexture(definition.material, "map_Kd"));
    const Mtl::Texture* normal = Mtl::FindTexture(definition.material, "norm");
    material.normalImage = image(normal ? normal : Mtl::FindTexture(definition.material, "map_Bump"));
    materials.ofKit[id] = std::move(material);
  }
  return materials;
}

void PlaceImages(GltfMaterials& io_materials, const SheetOptions& i_options, bool i_beside,
                 std::vector<OutputSheet>& io_sheets, std::vector<std::string>& io_warnings) {
  if (i_options.place == SheetPlace::None) {
    io_materials.images.clear();
    io_materials.texcoords = false;
    for (std::optional<GltfMaterial>& material : io_materials.ofKit) {
      if (material) material->image = material->normalImage = -1;
    }
    return;
  }
  io_materials.small = i_options.maxSize > 0;
  for (GltfImage& image : io_materials.images) {
    image.bytes = ShrinkSheet(image.path, std::move(image.bytes), i_options.maxSize, io_warnings);
    if (!i_beside) continue;
    image.name = PlaceSheet(image.path, image.bytes, i_options, io_sheets, io_warnings);
    // The output names the copy; its bytes are written beside it, not into it.
    image.bytes = std::string();
  }
}

}  // namespace Ostrel::Buildings
