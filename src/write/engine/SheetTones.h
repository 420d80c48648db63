#pragma once
// The colours of a kit's texture sheets, for the far levels of detail: a far face is one flat tone
// of its material, and looks like what it stands for when that tone is the mean colour of the
// faces it replaces. The tone is taken from the sheet itself (the middle of the most even patch
// whose colour is nearest the mean), so that no level needs a texture of its own.
//
// Sheets are read once a run, PNG only (a JPEG sheet, or one that cannot be read, gives no
// colours: its materials keep their old tone).

#include <array>
#include <cstdint>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/kit/Kit.h>

namespace Ostrel::Buildings {

using Colour = std::array<double, 3>;  // sRGB, 0 to 255

// One sheet, decoded, and its patches: the mean and spread of each square of kPatch texels.
struct Sheet {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // row by row from the top
  struct Patch {
    Colour mean{};
    double spread = 0;  // mean squared distance of its texels from the mean
    UV middle;          // glTF's orientation (v down)
  };
  std::vector<Patch> patches;
};

struct SheetTones {
  std::vector<int> sheetOf;  // by kit material id: its map_Kd's index into sheets, or -1
  std::vector<Colour> plain;  // by kit material id: its Kd, or mid grey
  std::vector<Sheet> sheets;

  // The colour of a material at a texture coordinate (glTF's orientation, repeated); its Kd
  // when it has no sheet.
  Colour colour(std::uint32_t i_material, const UV& i_uv) const;
  // Whether the material has a sheet to take a tone from.
  bool hasSheet(std::uint32_t i_material) const;
  // The texture coordinate of the tone of the material's sheet nearest i_colour.
  UV nearest(std::uint32_t i_material, const Colour& i_colour) const;
};

// The tones of every material of the kit with a map_Kd that is a PNG inside its units folder.
SheetTones LoadSheetTones(const Kit& i_kit);

}  // namespace Ostrel::Buildings
