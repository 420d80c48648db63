#pragma once
// The texture sheets of the shipped styles and where a face's texture coordinates fall in them.
//
// A sheet is one image per style (docs/textures.md says why), 768 x 4096 pixels at 256 pixels
// per metre: 3 m (one cell) across and 16 m up. It is cut into horizontal strips, one per
// material; a strip runs the sheet's full width, and its look repeats across it, so a face's u
// may run past either side (the sampler wraps u). Each strip has a gutter of kGutter pixels above
// and below that continues its look, so that filtering and mipmaps do not bleed the next strip
// into it. A face's v range must lie inside its strip.
//
// Faces keep their size: one metre of a face is 256 pixels of the sheet wherever it lies. The
// mapping only turns a face by a quarter (so that its length runs along the strip) and shifts it
// up or down the strip; see MapFace.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Noise.h"
#include "Styles.h"

namespace Kitgen {

constexpr int kTexelsPerMetre = 256;
constexpr int kSheetWidth = 768;  // pixels: 3 m, one cell, so that u = -1.5 m and 1.5 m meet
constexpr int kSheetHeight = 4096;
constexpr int kGutter = 8;  // pixels above and below each strip

// What a strip shows.
enum class Look {
  kBrick,         // running bond with mortar joints
  kPlaster,       // fine-grained render
  kConcrete,      // fair-faced concrete with pores
  kStone,         // dressed stone, in blocks of 75 cm along u
  kMembrane,      // a flat roof's bitumen sheets, laps every 75 cm up v
  kClayTiles,     // a pitched roof's tiles: courses along u (up the slope), staggered
  kStandingSeam,  // a pitched roof's metal pans: seams along u (down the slope), every 50 cm
  kGlass,         // dark, reflective window glass
  kGlassPanel,    // light glass of a balustrade
  kBrushedMetal,  // metal brushed along u, with joints every 1.5 m
  kAluminium,     // anodised frame sections, brushed along u
  kPaintedWood,   // painted timber, grain along u
  kIron,          // painted wrought iron
};

// How a face's coordinates turn onto its strip. Turned, the face's v runs along the strip's u
// and its u against the strip's v: (u, v) -> (v, -u), a quarter turn that mirrors nothing.
enum class Turn {
  kAsIs,         // turned only when the face is taller than the strip and its width fits
  kAlongLength,  // turned whenever it is taller than wide: grain and joints run along its length
  kAlways,       // always turned (a pitched roof: v up the slope runs along the strip)
};

struct Rgb {
  int r, g, b;  // sRGB, 0..255
};

struct Strip {
  std::string material;
  Look look;
  Rgb colour;
  int height;  // pixels, without the gutters
  Turn turn;
  // Pixels after which the look repeats up the strip (0: it does not). A strip that repeats
  // every 3 m holds every face of a storey whole, and faces that meet across a storey's top or
  // a cell's end show one continuous pattern.
  int period;
  int bottom = 0;  // pixels from the image's bottom row to the strip's (gutter excluded)
  std::uint64_t seed = 0;
};

struct Sheet {
  std::string style;
  std::vector<Strip> strips;  // from the image's bottom up
};

namespace detail {

inline std::uint64_t NameSeed(const std::string& i_name) {
  std::uint64_t seed = 0;
  for (const char c : i_name) seed = Mix(seed ^ static_cast<unsigned char>(c));
  return seed;
}

// The palette's colour of a material, or `i_fallback` for a material the palette does not have
// yet (the pitched roofs' roofing).
inline Rgb PaletteColour(const std::vector<Material>& i_palette, const std::string& i_name, Rgb i_fallback) {
  for (const Material& m : i_palette) {
    if (m.name != i_name) continue;
    return {static_cast<int>(std::lround(m.kd[0] * 255.0f)), static_cast<int>(std::lround(m.kd[1] * 255.0f)),
            static_cast<int>(std::lround(m.kd[2] * 255.0f))};
  }
  return i_fallback;
}

// Stacks the strips from the image's bottom, each between its two gutters.
inline Sheet Lay(const std::string& i_style, const std::vector<Material>& i_palette,
                 std::vector<Strip> i_strips) {
  int at = kGutter;
  for (Strip& strip : i_strips) {
    strip.colour = PaletteColour(i_palette, strip.material, strip.colour);
    strip.bottom = at;
    strip.seed = NameSeed(strip.material);
    at += strip.height + 2 * kGutter;
  }
  return {i_style, std::move(i_strips)};
}

constexpr int kStoreyTexels = 3 * kTexelsPerMetre;  // 768 pixels, one storey or one cell

}  // namespace detail

// Style A. Strip heights hold the tallest face of each material once turned (docs/textures.md).
inline Sheet ModernSheet(const std::vector<Material>& i_palette) {
  using detail::kStoreyTexels;
  return detail::Lay(
      "A", i_palette,
      {{"A_wall", Look::kPlaster, {}, kStoreyTexels, Turn::kAsIs, kStoreyTexels},
       {"A_roof", Look::kMembrane, {}, kStoreyTexels, Turn::kAsIs, kStoreyTexels},
       {"A_roofing", Look::kStandingSeam, {92, 97, 104}, kStoreyTexels, Turn::kAlways, kStoreyTexels},
       {"A_glass", Look::kGlass, {}, 640, Turn::kAsIs, 0},
       {"A_balcony", Look::kConcrete, {}, 320, Turn::kAsIs, 0},
       {"A_band", Look::kConcrete, {}, 224, Turn::kAlongLength, 0},
       {"A_railing", Look::kGlassPanel, {}, 224, Turn::kAsIs, 0},
       {"A_coping", Look::kBrushedMetal, {}, 128, Turn::kAlongLength, 0},
       {"A_frame", Look::kAluminium, {}, 64, Turn::kAlongLength, 0}});
}

// Style B.
inline Sheet ClassicSheet(const std::vector<Material>& i_palette) {
  using detail::kStoreyTexels;
  return detail::Lay(
      "B", i_palette,
      {{"B_wall", Look::kBrick, {}, kStoreyTexels, Turn::kAsIs, kStoreyTexels},
       {"B_roof", Look::kMembrane, {}, kStoreyTexels, Turn::kAsIs, kStoreyTexels},
       {"B_roofing", Look::kClayTiles, {158, 76, 50}, kStoreyTexels, Turn::kAlways, kStoreyTexels},
       {"B_glass", Look::kGlass, {}, 512, Turn::kAsIs, 0},
       {"B_door", Look::kPaintedWood, {}, 384, Turn::kAlongLength, 0},
       {"B_balcony", Look::kStone, {}, 256, Turn::kAsIs, 0},
       {"B_trim", Look::kStone, {}, 224, Turn::kAlongLength, 0},
       {"B_coping", Look::kStone, {}, 128, Turn::kAlongLength, 0},
       {"B_railing", Look::kIron, {}, 32, Turn::kAlongLength, 0},
       {"B_frame", Look::kPaintedWood, {}, 32, Turn::kAlongLength, 0}});
}

// The strip of a material, or null when the sheet has none.
inline const Strip* FindStrip(const Sheet& i_sheet, const std::string& i_material) {
  for (const Strip& strip : i_sheet.strips)
    if (strip.material == i_material) return &strip;
  return nullptr;
}

// Texture axes as a viewer outside the face sees them: u to the right, v up (for the top and the
// bottom, v away from a viewer standing on the +x side), in centimetres.
inline std::pair<int, int> TextureAt(const Face& i_face, const Point3& i_p) {
  if (i_face.axis == 0) return {-i_face.sign * i_p[2], i_p[1]};
  if (i_face.axis == 1) return {i_p[0], -i_face.sign * i_p[2]};
  return {i_face.sign * i_p[0], i_p[1]};
}

// The extent of a face's texture coordinates, in metres on its own plane (u right, v up).
struct Extent {
  double u0, u1, v0, v1;
};

inline Extent FaceExtent(const Face& i_face) {
  int u0 = 1 << 30, u1 = -(1 << 30), v0 = 1 << 30, v1 = -(1 << 30);
  for (const Point3& p : i_face.corners) {
    const auto [u, v] = TextureAt(i_face, p);
    u0 = std::min(u0, u);
    u1 = std::max(u1, u);
    v0 = std::min(v0, v);
    v1 = std::max(v1, v);
  }
  return {u0 / 100.0, u1 / 100.0, v0 / 100.0, v1 / 100.0};
}

// Where one face goes on its strip: turned or not, and shifted up the strip by `shift` metres.
struct FaceMap {
  const Strip* strip = nullptr;
  bool turned = false;
  double shift = 0;
  bool fits = true;  // false: the face is taller than its strip even turned, and overruns it
};

// Places a face of `i_material` with coordinates in `i_extent`. The shift is a whole number of
// half periods of a repeating strip (of the strip's height otherwise) where one keeps the face
// inside the strip, so that faces of one plane keep one pattern (a storey's wall faces, v 0 to
// 3 m, are not shifted at all; the tops and soffits of a wall, v -1.5 to 1.5 m, go up 1.5 m, by
// a whole number of brick courses). Otherwise the face's foot goes to the strip's foot.
inline FaceMap MapFace(const Sheet& i_sheet, const std::string& i_material, const Extent& i_extent) {
  constexpr double kSlack = 1e-6;  // metres: kitgen's coordinates are whole centimetres
  FaceMap map;
  map.strip = FindStrip(i_sheet, i_material);
  if (map.strip == nullptr) return map;
  const Strip& strip = *map.strip;
  const double height = static_cast<double>(strip.height) / kTexelsPerMetre;
  const double width = i_extent.u1 - i_extent.u0, tall = i_extent.v1 - i_extent.v0;
  if (strip.turn == Turn::kAlways) map.turned = true;
  if (strip.turn == Turn::kAlongLength) map.turned = tall > width + kSlack;
  if (strip.turn == Turn::kAsIs) map.turned = tall > height + kSlack && width <= height + kSlack;
  // Turned, v' = -u.
  const double v0 = map.turned ? -i_extent.u1 : i_extent.v0;
  const double v1 = map.turned ? -i_extent.u0 : i_extent.v1;
  const double step =
      static_cast<double>(strip.period > 0 ? strip.period / 2 : strip.height) / kTexelsPerMetre;
  map.shift = step * std::ceil(-v0 / step - kSlack);
  if (v1 + map.shift > height + kSlack) map.shift = -v0;
  map.fits = v1 - v0 <= height + kSlack;
  return map;
}

// The sheet's texture coordinates of the point (u, v) of a face placed by `i_map`, in the OBJ
// convention: 0..1 across the image (u past either side wraps), v up from the image's bottom.
inline std::array<double, 2> SheetUv(const FaceMap& i_map, double i_u, double i_v) {
  const double u = i_map.turned ? i_v : i_u;
  const double v = (i_map.turned ? -i_u : i_v) + i_map.shift;
  const double metresWide = static_cast<double>(kSheetWidth) / kTexelsPerMetre;
  return {u / metresWide, (i_map.strip->bottom + v * kTexelsPerMetre) / kSheetHeight};
}

}  // namespace Kitgen
