// The colours of a kit's texture sheets.

#include "write/engine/SheetTones.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Png.h>
#include <ostrel/kit/Textures.h>

namespace Ostrel::Buildings {

namespace {

constexpr int kPatch = 8;  // texels along a patch's side
constexpr double kSpreadWeight = 0.25;  // of a patch's spread against its distance from the colour

// Decodes a PNG into rgb rows; false when it is not one the sheets' reader takes. Alpha is
// dropped: a tone is the colour the texel paints, and grey widens to three equal samples.
bool DecodeSheet(const std::string& i_bytes, Sheet& o_sheet) {
  Png::Pixels pixels;
  if (Png::Decode(i_bytes, pixels) != Png::DecodeResult::Ok) return false;
  o_sheet.width = static_cast<int>(pixels.width);
  o_sheet.height = static_cast<int>(pixels.height);
  const std::size_t count = std::size_t{pixels.width} * pixels.height;
  o_sheet.rgb.resize(count * 3);
  const bool grey = pixels.channels < 3;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* texel = pixels.bytes.data() + i * pixels.channels;
    for (int c = 0; c < 3; ++c) o_sheet.rgb[i * 3 + c] = texel[grey ? 0 : c];
  }
  return true;
}

void MakePatches(Sheet& io_sheet) {
  for (int y0 = 0; y0 + kPatch <= io_sheet.height; y0 += kPatch) {
    for (int x0 = 0; x0 + kPatch <= io_sheet.width; x0 += kPatch) {
      Sheet::Patch patch;
      double squares = 0;
      for (int y = y0; y < y0 + kPatch; ++y) {
        for (int x = x0; x < x0 + kPatch; ++x) {
          const std::uint8_t* texel = &io_sheet.rgb[3 * (static_cast<std::size_t>(y) * io_sheet.width + x)];
          for (int k = 0; k < 3; ++k) {
            patch.mean[k] += texel[k];
            squares += static_cast<double>(texel[k]) * texel[k];
          }
        }
      }
      const double count = kPatch * kPatch;
      double meanSquares = 0;
      for (int k = 0; k < 3; ++k) {
        patch.mean[k] /= count;
        meanSquares += patch.mean[k] * patch.mean[k];
      }
      patch.spread = squares / count - meanSquares;
      patch.middle = UV(static_cast<float>((x0 + kPatch / 2.0) / io_sheet.width),
                        static_cast<float>((y0 + kPatch / 2.0) / io_sheet.height));
      io_sheet.patches.push_back(patch);
    }
  }
}

}  // namespace

Colour SheetTones::colour(std::uint32_t i_material, const UV& i_uv) const {
  if (!hasSheet(i_material)) return i_material < plain.size() ? plain[i_material] : Colour{128, 128, 128};
  const Sheet& sheet = sheets[static_cast<std::size_t>(sheetOf[i_material])];
  const double u = i_uv.u - std::floor(i_uv.u), v = i_uv.v - std::floor(i_uv.v);
  const int x = std::min(sheet.width - 1, static_cast<int>(u * sheet.width));
  const int y = std::min(sheet.height - 1, static_cast<int>(v * sheet.height));
  const std::uint8_t* texel = &sheet.rgb[3 * (static_cast<std::size_t>(y) * sheet.width + x)];
  return {static_cast<double>(texel[0]), static_cast<double>(texel[1]), static_cast<double>(texel[2])};
}

bool SheetTones::hasSheet(std::uint32_t i_material) const {
  return i_material < sheetOf.size() && sheetOf[i_material] >= 0 &&
         !sheets[static_cast<std::size_t>(sheetOf[i_material])].patches.empty();
}

UV SheetTones::nearest(std::uint32_t i_material, const Colour& i_colour) const {
  const Sheet& sheet = sheets[static_cast<std::size_t>(sheetOf[i_material])];
  const Sheet::Patch* best = &sheet.patches.front();
  double bestScore = INFINITY;
  for (const Sheet::Patch& patch : sheet.patches) {
    // A reader that filters blends the middle texel with its patch, one that does not shows it:
    // an even patch looks the same either way, but the colour matters most.
    double score = kSpreadWeight * patch.spread;
    for (int k = 0; k < 3; ++k) score += (patch.mean[k] - i_colour[k]) * (patch.mean[k] - i_colour[k]);
    if (score < bestScore) {
      bestScore = score;
      best = &patch;
    }
  }
  return best->middle;
}

SheetTones LoadSheetTones(const Kit& i_kit) {
  SheetTones tones;
  tones.sheetOf.assign(i_kit.materials.size(), -1);
  tones.plain.assign(i_kit.materials.size(), Colour{128, 128, 128});
  std::map<std::string, int> sheetOfPath;
  for (const MaterialLibrary& library : i_kit.libraries) {
    const std::string folder = std::filesystem::path(library.file).parent_path().string();
    for (const Mtl::Material& material : library.library.materials) {
      for (std::size_t id = 0; id < i_kit.materials.size(); ++id) {
        if (i_kit.materials[id] != material.name || tones.sheetOf[id] >= 0) continue;
        if (material.kd) tones.plain[id] = {(*material.kd)[0] * 255, (*material.kd)[1] * 255, (*material.kd)[2] * 255};
        const Mtl::Texture* map = Mtl::FindTexture(material, "map_Kd");
        if (!map) continue;
        const std::string path = map->path.front() == '/' ? map->path : folder + "/" + map->path;
        const auto known = sheetOfPath.find(path);
        if (known != sheetOfPath.end()) {
          tones.sheetOf[id] = known->second;
          continue;
        }
        Sheet sheet;
        std::string bytes;
        FileSystem::ReadResult read;
        const bool decoded = ReadTexture(path, library.root, bytes, read) == TextureFault::None &&
                             DecodeSheet(bytes, sheet);
        if (decoded) MakePatches(sheet);
        const int index = decoded ? static_cast<int>(tones.sheets.size()) : -1;
        if (decoded) tones.sheets.push_back(std::move(sheet));
        sheetOfPath[path] = index;
        tones.sheetOf[id] = index;
      }
    }
  }
  return tones;
}

}  // namespace Ostrel::Buildings
