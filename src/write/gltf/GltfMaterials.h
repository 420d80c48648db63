#pragma once
// The kit's materials as glTF materials: metallic-roughness with the .mtl's diffuse colour,
// shininess and opacity, and the diffuse texture and the normal map (norm, or map_Bump) embedded,
// each image file once however many materials name it.
//
// .mtl colours are sRGB; glTF's colour factors are linear. The specular exponent Ns becomes a
// roughness by the usual Blinn-Phong to GGX match, alpha = sqrt(2 / (Ns + 2)), taken as glTF's
// perceptual roughness (alpha = roughness^2): (2 / (Ns + 2))^(1/4); no Ns means fully rough.
// glTF embeds PNG and JPEG images only (the kit's texture rule, Textures.h).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/scene/Materials.h>
#include <ostrel/write/Sheets.h>

namespace Ostrel::Buildings {

struct GltfMaterial {
  std::string name;
  std::array<float, 4> baseColor{1, 1, 1, 1};  // linear red, green, blue and alpha, 0 to 1
  float roughness = 1;                         // 0 to 1
  std::int32_t image = -1;                     // index into GltfMaterials::images; -1: no texture
  std::int32_t normalImage = -1;               // the same for its normal map
  bool blend() const { return baseColor[3] < 1; }
};

struct GltfImage {
  std::string name;      // the file's name, without its folder
  std::string path;      // the file as it was read
  std::string mimeType;  // "image/png" or "image/jpeg"
  std::string bytes;     // the whole file
};

struct GltfMaterials {
  std::vector<std::optional<GltfMaterial>> ofKit;  // by kit material id; none without a definition
  std::optional<GltfMaterial> none;                // of faces without a material, when others have one
  std::vector<GltfImage> images;
  // Whether primitives carry their texture coordinates: not when the sheets are left out, since
  // no material could read them.
  bool texcoords = true;
  // The small vertex form: normal-mapped primitives without tangents (glTF readers make them from
  // the positions, normals and texture coordinates, with MikkTSpace), and texture coordinates
  // that all lie in [0, 1] as normalised unsigned 16-bit numbers, half the bytes of floats.
  bool small = false;
};

// A material definition and the folder its texture paths are relative to.
struct MaterialDefinition {
  Mtl::Material material;
  std::string folder;
  // The units folder of its style, which its textures must lie inside (Textures.h). Empty: no
  // such limit.
  std::string root;
};

// An sRGB component (0 to 1) as a linear one.
float SrgbToLinear(float i_srgb);

// The glTF material of a .mtl definition, without its texture.
GltfMaterial ConvertMaterial(const Mtl::Material& i_material);

// Which kit material ids the plan's pieces use, by kit material id.
std::vector<bool> UsedMaterials(const Plan& i_plan, const Kit& i_kit);

// The definition of each kit material that the plan's building uses, as the OBJ output's
// material library has it: the first among the libraries of the placed pieces, in the order of
// first placement; none for a material defined nowhere.
std::vector<std::optional<MaterialDefinition>> FindDefinitions(const Plan& i_plan, const Kit& i_kit);

// The glTF materials of the used kit materials (i_used, by kit material id) that have a
// definition, each texture file read once, and, when the building uses materials, the plain
// default material of faces without one, as in the OBJ output. A texture that cannot be
// embedded (outside its style's units folder, unreadable, too large, neither PNG nor JPEG) is left
// out with one line in o_warnings.
GltfMaterials MakeGltfMaterials(const std::vector<std::optional<MaterialDefinition>>& i_definitions,
                                const std::vector<bool>& i_used, const MaterialNames& i_names,
                                std::vector<std::string>& o_warnings);

// The images as i_options have them carried: with None, none (no material keeps a texture);
// else each shrunk to i_options.maxSize, and with i_beside named beside the output (Sheets.h),
// their bytes moved into io_sheets. Shrunk sheets ask for a small file: the vertices then take the
// small form as well. Warnings go to io_warnings.
void PlaceImages(GltfMaterials& io_materials, const SheetOptions& i_options, bool i_beside,
                 std::vector<OutputSheet>& io_sheets, std::vector<std::string>& io_warnings);

}  // namespace Ostrel::Buildings
