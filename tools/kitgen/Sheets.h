#pragma once
// The texture sheets of the shipped styles and where a face's texture coordinates fall in them.
//
// A sheet is one square image per style (docs/textures.md says why), 2048 x 2048 pixels at 256
// pixels per metre: 8 m x 8 m. It is cut into rectangular strips, one per material, each with a
// gutter of kGutter pixels on every side that continues its look, so that filtering and mipmaps
// never bleed a neighbour into it. Nothing wraps: every face lies inside its strip.
//
// Every look repeats every 3 m (one cell, kCellTexels) along the strip's u, so a strip 3 m wide
// holds one cell exactly: a facade's faces, u from -1.5 to 1.5 m, map onto it whole, and the
// texel at u = 1.5 m of one cell is the texel at u = -1.5 m of the next. A strip whose look
// repeats up it too (walls, roofs) holds one storey, or one roof cell up the slope.
//
// Faces keep their size: one metre is 256 pixels along u everywhere, and along v too but on the
// pitched roofs, whose slope is stretched by under 1.5% so that one cell's slope is a whole
// number of pixels (see RoofingStrip). The mapping only turns a face by a quarter (so that its
// length runs along the strip) and shifts it by whole periods of its look; see MapFace.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Noise.h"
#include "Roofs.h"
#include "Styles.h"

namespace Kitgen {

constexpr int kTexelsPerMetre = 256;
constexpr int kSheetSize = 2048;   // pixels, across and up
constexpr int kCellTexels = 768;   // pixels: 3 m, one cell, the period of every look along u
constexpr int kGutter = 8;         // pixels on every side of each strip

// What a strip shows.
enum class Look {
  kBrick,         // running bond with mortar joints
  kPlaster,       // fine-grained render
  kConcrete,      // fair-faced concrete with pores
  kStone,         // dressed stone, in blocks of 75 cm along u
  kMembrane,      // a flat roof's bitumen sheets, laps every 75 cm up v
  kClayTiles,     // a pitched roof's tiles: courses across, up the slope (v)
  kStandingSeam,  // a pitched roof's metal pans: seams up the slope, every 50 cm along u
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
  kAsIs,         // turned only when it does not fit as it is and fits turned
  kAlongLength,  // turned whenever it is taller than wide: grain and joints run along its length
};

struct Rgb {
  int r, g, b;  // sRGB, 0..255
};

struct Strip {
  std::string material;
  Look look;
  int x, y;           // pixels: the strip's lower left corner from the image's, gutters excluded
  int width, height;  // pixels, gutters excluded
  Turn turn = Turn::kAsIs;
  // Pixels after which the look repeats up the strip (0: it does not). A strip that repeats
  // every storey holds every face of a storey whole, and faces that meet across a storey's top
  // show one continuous pattern.
  int period = 0;
  double periodMetres = 0;  // metres of a face's v in one period (3 m; a roof cell's slope)
  double origin = 0;        // metres: the face's v that falls on the strip's foot, modulo a period
  Rgb colour{128, 128, 128};
  std::uint64_t seed = 0;
};

struct Sheet {
  std::string style;
  std::vector<Strip> strips;
};

// Pixels per metre up a strip: 256, or what makes one period exactly periodMetres.
inline double TexelsUp(const Strip& i_strip) {
  return i_strip.period > 0 ? i_strip.period / i_strip.periodMetres : kTexelsPerMetre;
}

namespace detail {

inline std::uint64_t NameSeed(const std::string& i_name) {
  std::uint64_t seed = 0;
  for (const char c : i_name) seed = Mix(seed ^ static_cast<unsigned char>(c));
  return seed;
}

// The palette's colour of a material (sRGB bytes), grey for one it does not have.
inline Rgb PaletteColour(const std::vector<Material>& i_palette, const std::string& i_name) {
  for (const Material& m : i_palette) {
    if (m.name != i_name) continue;
    return {static_cast<int>(std::lround(m.kd[0] * 255.0f)), static_cast<int>(std::lround(m.kd[1] * 255.0f)),
            static_cast<int>(std::lround(m.kd[2] * 255.0f))};
  }
  return {128, 128, 128};
}

inline Sheet Finish(const std::string& i_style, const std::vector<Material>& i_palette,
                    std::vector<Strip> i_strips) {
  for (Strip& strip : i_strips) {
    strip.colour = PaletteColour(i_palette, strip.material);
    strip.seed = NameSeed(strip.material);
  }
  return {i_style, std::move(i_strips)};
}

// A strip whose look repeats every storey (3 m) up it.
inline Strip Storey(const std::string& i_material, Look i_look, int i_x, int i_y) {
  Strip strip{i_material, i_look, i_x, i_y, kCellTexels, kCellTexels};
  strip.period = kCellTexels;
  strip.periodMetres = 3;
  return strip;
}

// A strip whose look repeats every storey up it, taller than a storey.
inline Strip Storeys(const std::string& i_material, Look i_look, int i_x, int i_y, int i_height) {
  Strip strip = Storey(i_material, i_look, i_x, i_y);
  strip.height = i_height;
  return strip;
}

inline Strip Plain(const std::string& i_material, Look i_look, int i_x, int i_y, int i_width, int i_height,
                   Turn i_turn) {
  Strip strip{i_material, i_look, i_x, i_y, i_width, i_height};
  strip.turn = i_turn;
  return strip;
}

}  // namespace detail

// The pitched roof's covering: u along the eaves, v up the slope. One period up the strip is one
// roof cell's slope, sqrt(300^2 + rise^2) cm, as `i_period` pixels (chosen near 256 a metre, and
// a multiple of the noise's cells up the slope); the strip's foot is the foot of the eave, which
// overhangs the facade, and its top the head of the cell, so each step's face continues the one
// below. The eave's corner on a hip reaches past the cell by the overhang along the eaves too.
inline Strip RoofingStrip(const Pitch& i_pitch, Look i_look, int i_x, int i_y, int i_period) {
  const double rise = i_pitch.rise, thick = i_pitch.thick, overhang = i_pitch.overhang;
  const double slope = std::sqrt(300.0 * 300.0 + rise * rise);  // centimetres
  // v of a point on a plane falling toward +x is (rise y - 300 x) / slope (SlopedText.h); the
  // plane's top at the cell's foot (x = 150) stands `thick` above the storey.
  const double foot = (thick * rise - 150.0 * 300.0) / slope;
  const double eave = overhang * slope / 300.0;
  Strip strip{i_pitch.style + "_roofing", i_look, i_x, i_y, 0, 0};
  strip.period = i_period;
  strip.periodMetres = slope / 100.0;
  strip.origin = (foot - eave) / 100.0;
  strip.width = static_cast<int>(std::ceil((300.0 + overhang) * kTexelsPerMetre / 100.0));
  strip.height = static_cast<int>(std::ceil((slope + eave) / 100.0 * TexelsUp(strip)));
  return strip;
}

// Style A. Each strip holds the largest face of its material (docs/textures.md has the table);
// positions are the strip's lower left corner in pixels, gutters excluded, packed so that the
// gutters of neighbours touch.
inline Sheet ModernSheet(const std::vector<Material>& i_palette) {
  using detail::Plain;
  using detail::Storey;
  const Turn along = Turn::kAlongLength, asIs = Turn::kAsIs;
  return detail::Finish(
      "A", i_palette,
      {Storey("A_wall", Look::kPlaster, 344, 303),
       // The flat roof's top and the attic's ceiling under a pitched roof (3.04 m up its slope).
       detail::Storeys("A_roof", Look::kMembrane, 1128, 524, 784),
       RoofingStrip(ModernPitch(), Look::kStandingSeam, 8, 1087, kCellTexels),
       Plain("A_glass", Look::kGlass, 946, 1324, 640, 616, asIs),
       Plain("A_balcony", Look::kConcrete, 8, 8, 320, 616, asIs),
       Plain("A_band", Look::kConcrete, 1128, 303, 794, 205, along),
       Plain("A_railing", Look::kGlassPanel, 1312, 8, 616, 218, asIs),
       Plain("A_coping", Look::kBrushedMetal, 344, 8, 781, 103, along),
       Plain("A_frame", Look::kAluminium, 1312, 242, 640, 32, along),
       Plain("A_fascia", Look::kAluminium, 344, 127, 952, 160, along)});
}

// Style B.
inline Sheet ClassicSheet(const std::vector<Material>& i_palette) {
  using detail::Plain;
  using detail::Storey;
  const Turn along = Turn::kAlongLength, asIs = Turn::kAsIs;
  return detail::Finish(
      "B", i_palette,
      {Storey("B_wall", Look::kBrick, 8, 1092),
       // The flat roof's top and the attic's ceiling under a pitched roof (3.61 m up its slope).
       detail::Storeys("B_roof", Look::kMembrane, 792, 1100, 924),
       RoofingStrip(ClassicPitch(), Look::kClayTiles, 8, 8, 928),
       Plain("B_glass", Look::kGlass, 1500, 56, 512, 512, asIs),
       Plain("B_door", Look::kPaintedWood, 908, 8, 576, 384, along),
       Plain("B_balcony", Look::kStone, 1705, 981, 244, 538, asIs),
       Plain("B_trim", Look::kStone, 908, 584, 845, 205, along),
       Plain("B_coping", Look::kStone, 908, 981, 781, 103, along),
       Plain("B_railing", Look::kIron, 908, 408, 538, 32, along),
       Plain("B_frame", Look::kPaintedWood, 1500, 8, 512, 32, along),
       Plain("B_fascia", Look::kPaintedWood, 908, 805, 1104, 160, along)});
}

// Style S, the shop front. Its pitched roof's strips fill the room the flat-roofed kit left, below
// the others, so that the strips of the storeys' pieces stay where they were.
inline Sheet ShopSheet(const std::vector<Material>& i_palette) {
  using detail::Plain;
  using detail::Storey;
  const Turn along = Turn::kAlongLength, asIs = Turn::kAsIs;
  return detail::Finish(
      "S", i_palette,
      {Storey("S_wall", Look::kPlaster, 8, 8), Storey("S_roof", Look::kMembrane, 792, 8),
       Plain("S_glass", Look::kGlass, 8, 792, 640, 610, asIs),
       Plain("S_frame", Look::kAluminium, 1320, 1031, 640, 32, along),
       Plain("S_fascia", Look::kPaintedWood, 664, 911, 748, 104, along),
       Plain("S_riser", Look::kStone, 664, 1031, 640, 96, along),
       Plain("S_trim", Look::kStone, 664, 1143, 794, 64, along),
       Plain("S_coping", Look::kBrushedMetal, 664, 792, 781, 103, along),
       Plain("S_balcony", Look::kConcrete, 1576, 8, 244, 512, asIs),
       Plain("S_railing", Look::kIron, 1461, 792, 512, 32, along),
       // The slab's top and, inside the walls, its underside (Roofs.h says why).
       RoofingStrip(ShopPitch(), Look::kMembrane, 1225, 1223, kCellTexels),
       Plain("S_eaves", Look::kPaintedWood, 8, 1418, 840, 80, along)});
}

// The sheet of a shipped style; a style without one gets an empty sheet (its faces keep metres).
inline Sheet StyleSheet(const std::string& i_style, const std::vector<Material>& i_palette) {
  if (i_style == "A") return ModernSheet(i_palette);
  if (i_style == "B") return ClassicSheet(i_palette);
  if (i_style == "S") return ShopSheet(i_palette);
  return {i_style, {}};
}

// The strip of a material, or null when the sheet has none.
inline const Strip* FindStrip(const Sheet& i_sheet, const std::string& i_material) {
  for (const Strip& strip : i_sheet.strips)
    if (strip.material == i_material) return &strip;
  return nullptr;
}

// The extent of a face's texture coordinates, in metres on its own plane (u right, v up).
struct Extent {
  double u0, u1, v0, v1;
};

inline Extent UvExtent(const std::vector<std::array<double, 2>>& i_uv) {
  Extent e{1e30, -1e30, 1e30, -1e30};
  for (const std::array<double, 2>& uv : i_uv) {
    e.u0 = std::min(e.u0, uv[0]);
    e.u1 = std::max(e.u1, uv[0]);
    e.v0 = std::min(e.v0, uv[1]);
    e.v1 = std::max(e.v1, uv[1]);
  }
  return e;
}

// Where one face goes on its strip: turned or not, and shifted along and up the strip.
struct FaceMap {
  const Strip* strip = nullptr;
  bool turned = false;
  double shiftU = 0;  // metres along the strip, after u + 1.5 m
  double shiftV = 0;  // pixels up the strip
};

namespace detail {

constexpr double kSlack = 1e-6;  // metres or pixels: kitgen's corners are whole centimetres

// The shift by whole steps that keeps [i_lo, i_hi] inside [0, i_size], the one nearest 0; when
// none does, the one that puts i_lo on 0.
inline double ShiftInto(double i_lo, double i_hi, double i_size, double i_step) {
  const double first = std::ceil(-i_lo / i_step - kSlack), last = std::floor((i_size - i_hi) / i_step + kSlack);
  if (first > last) return -i_lo;
  return i_step * (first > 0 ? first : last < 0 ? last : 0);
}

}  // namespace detail

// Places a face of `i_material` with coordinates in `i_extent`. Along the strip, u + 1.5 m falls
// on the strip's left edge (a cell's faces fill a 3 m strip exactly), shifted by whole cells
// (3 m) when the face would reach past either side. Up the strip, (v - origin) at the strip's
// density falls on its foot, shifted by whole half periods of a repeating look (whole strip
// heights of another), the shift nearest 0 that keeps the face inside: faces of one plane keep
// one pattern. A storey's wall faces (v 0 to 3 m) are not shifted; the tops and soffits of a wall
// (v -1.5 to 1.5 m) go up 1.5 m, a whole number of brick courses.
inline FaceMap MapFace(const Sheet& i_sheet, const std::string& i_material, const Extent& i_extent) {
  using detail::kSlack;
  FaceMap map;
  map.strip = FindStrip(i_sheet, i_material);
  if (map.strip == nullptr) return map;
  const Strip& strip = *map.strip;
  const double wide = static_cast<double>(strip.width) / kTexelsPerMetre;
  const double up = TexelsUp(strip);
  const double width = i_extent.u1 - i_extent.u0, tall = i_extent.v1 - i_extent.v0;
  const bool asIs = width <= wide + kSlack && tall * up <= strip.height + kSlack;
  const bool turned = tall <= wide + kSlack && width * up <= strip.height + kSlack;
  if (strip.turn == Turn::kAlongLength) map.turned = tall > width + kSlack;
  if (strip.turn == Turn::kAsIs) map.turned = !asIs && turned;
  // Turned, u' = v and v' = -u.
  const double u0 = map.turned ? i_extent.v0 : i_extent.u0, u1 = map.turned ? i_extent.v1 : i_extent.u1;
  const double v0 = map.turned ? -i_extent.u1 : i_extent.v0, v1 = map.turned ? -i_extent.u0 : i_extent.v1;
  map.shiftU = detail::ShiftInto(u0 + 1.5, u1 + 1.5, wide, 3.0);
  const double step = strip.period > 0 ? strip.period / 2.0 : strip.height;
  map.shiftV = detail::ShiftInto((v0 - strip.origin) * up, (v1 - strip.origin) * up, strip.height, step);
  return map;
}

// A slanted face of a material whose grain runs along its members (a verge board along a gable's
// slope) turned in its plane so that its longest edge runs along u; any other face as it is.
// The turn mirrors nothing and keeps the face's size.
inline std::vector<std::array<double, 2>> AlongLongestEdge(const Strip& i_strip,
                                                           std::vector<std::array<double, 2>> i_uv) {
  if (i_strip.turn != Turn::kAlongLength || i_uv.size() < 2) return i_uv;
  double du = 0, dv = 0, longest = 0;
  for (std::size_t k = 0; k < i_uv.size(); ++k) {
    const std::array<double, 2>& a = i_uv[k];
    const std::array<double, 2>& b = i_uv[(k + 1) % i_uv.size()];
    const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
    if (length <= longest) continue;
    longest = length;
    du = (b[0] - a[0]) / length;
    dv = (b[1] - a[1]) / length;
  }
  if (std::abs(du) < 1e-9 || std::abs(dv) < 1e-9) return i_uv;
  if (du < 0) {
    du = -du;
    dv = -dv;
  }
  for (std::array<double, 2>& uv : i_uv) uv = {du * uv[0] + dv * uv[1], -dv * uv[0] + du * uv[1]};
  return i_uv;
}

// The sheet's texture coordinates of the point (u, v) of a face placed by `i_map`, in the OBJ
// convention: 0..1 across the image from its left, and up from its bottom.
inline std::array<double, 2> SheetUv(const FaceMap& i_map, double i_u, double i_v) {
  const Strip& strip = *i_map.strip;
  const double u = i_map.turned ? i_v : i_u;
  const double v = i_map.turned ? -i_u : i_v;
  const double x = strip.x + (u + 1.5 + i_map.shiftU) * kTexelsPerMetre;
  const double y = strip.y + (v - strip.origin) * TexelsUp(strip) + i_map.shiftV;
  return {x / kSheetSize, y / kSheetSize};
}

// The sheet's texture coordinates of a face's corners (metres on its plane) when its material has
// a strip on the sheet; the metres as they are otherwise.
inline std::vector<std::array<double, 2>> SheetUvs(const Sheet& i_sheet, const std::string& i_material,
                                                   const std::vector<std::array<double, 2>>& i_uv) {
  const Strip* strip = FindStrip(i_sheet, i_material);
  if (strip == nullptr) return i_uv;
  const std::vector<std::array<double, 2>> uv = AlongLongestEdge(*strip, i_uv);
  const FaceMap map = MapFace(i_sheet, i_material, UvExtent(uv));
  std::vector<std::array<double, 2>> at;
  for (const std::array<double, 2>& corner : uv) at.push_back(SheetUv(map, corner[0], corner[1]));
  return at;
}

}  // namespace Kitgen
