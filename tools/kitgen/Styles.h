#pragma once
// The pieces and palettes of the shipped styles, and the two base pieces.
//
// Sizes are whole centimetres in the piece's own frame: +x points out of the facade, +y up, +z
// along the facade (to the left of a viewer who faces the facade from outside). A cell spans x and
// z -150..150 and a storey y 0..300; the wall is the outer 30 cm of the cell (x 120..150). A corner
// piece has a facade on its +x side and the next facade of the ring on its +z side. A balcony
// stands in front of x = 150. The roof row is a storey of its own: a 30 cm slab with a parapet.
//
// Each piece is modelled as boxes added and cut in turn (Surface.h makes the one surface of the
// result), and says which of its sides the neighbouring piece continues:
// - along a row, pieces meet at z = -150 and z = 150 (a corner at z = -150 and x = -150) with one
//   cross-section, the same for every piece of the row;
// - storeys stack: a storey's top is exactly the wall, and the next storey or the roof row
//   continues it; every storey and roof row leaves its bottom open over the wall, so the ground
//   storey leaves the building's base open, as the corner (the same piece on every storey) must;
// - the roof slab runs on into the neighbouring roof cells at x = -150.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/PieceKind.h>

#include "Surface.h"

namespace Kitgen {

// A material of a style's palette; colours are sRGB. The colour is painted into the style's
// texture sheet and the material file's Kd is white, so two materials of a palette differ in ks
// or ns: readers that merge materials of equal properties (assimp) would merge them otherwise.
struct Material {
  std::string name;
  float kd[3];
  float ks;     // grey specular colour
  float ns;     // specular exponent
  float d = 1;  // opacity
};

struct PieceSpec {
  std::string name;     // file name without ".obj", such as A_floor
  std::string palette;  // the style's material file without ".mtl"; empty for no materials
  std::vector<Step> steps;
  std::vector<Open> open;
  std::vector<Part> parts{};  // parts of a piece wider than a cell (MakeSurface)
};

struct Style {
  std::string name;
  std::vector<Material> palette;
  std::vector<PieceSpec> pieces;
};

namespace detail {

constexpr int kHalf = 150;       // half a cell
constexpr int kStorey = 300;     // one storey
constexpr int kWallInner = 120;  // inner face of the wall
constexpr int kWallOuter = 150;  // outer face of the wall
constexpr int kSlab = 30;        // the roof slab; the roof surface is at this height
constexpr int kAll = 10000;      // beyond any piece: "the whole plane"

// A rectangle on the facade: z along it, y up.
struct Rect {
  int z0, z1, y0, y1;
};

// A profile that runs along a facade: x out of it, y up.
struct Run {
  std::string material;
  int x0, x1, y0, y1;
};

inline void Add(PieceSpec& io_piece, const std::string& i_material, const Box& i_box) {
  io_piece.steps.push_back({i_material, i_box});
}
inline void Cut(PieceSpec& io_piece, const Box& i_box) { io_piece.steps.push_back({"", i_box}); }

inline void AddRun(PieceSpec& io_piece, const Run& i_run) {
  Add(io_piece, i_run.material, {i_run.x0, i_run.x1, i_run.y0, i_run.y1, -kHalf, kHalf});
}

// Runs a profile round a corner: along the +x facade to its outer edge, and along the +z facade.
inline void AddWrapped(PieceSpec& io_piece, const Run& i_run) {
  Add(io_piece, i_run.material, {i_run.x0, i_run.x1, i_run.y0, i_run.y1, -kHalf, i_run.x1});
  Add(io_piece, i_run.material, {-kHalf, i_run.x1, i_run.y0, i_run.y1, i_run.x0, i_run.x1});
}

// A glazed opening: the glass fills it at depth glass0..glass1, and a frame stands on the glass
// out to frameOut everywhere but the lights.
struct Glazing {
  Rect opening;
  std::vector<Rect> lights;
  int glass0, glass1, frameOut;
};

inline void AddGlazing(PieceSpec& io_piece, const std::string& i_style, const Glazing& i_glazing) {
  const Rect& o = i_glazing.opening;
  Cut(io_piece, {kWallInner, kWallOuter, o.y0, o.y1, o.z0, o.z1});
  Add(io_piece, i_style + "_glass", {i_glazing.glass0, i_glazing.glass1, o.y0, o.y1, o.z0, o.z1});
  Add(io_piece, i_style + "_frame", {i_glazing.glass1, i_glazing.frameOut, o.y0, o.y1, o.z0, o.z1});
  for (const Rect& light : i_glazing.lights)
    Cut(io_piece, {i_glazing.glass1, i_glazing.frameOut, light.y0, light.y1, light.z0, light.z1});
}

// Open sides. A facade cell of a storey: both ends, the top, and the bottom over the wall.
inline std::vector<Open> StoreyOpen() {
  return {{2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}},
          {2, 1, {-kAll, kAll, -kAll, kAll, kHalf, kHalf}},
          {1, 1, {-kAll, kAll, kStorey, kStorey, -kAll, kAll}},
          {1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}}};
}

// A corner of a storey: its two ends, the top, and the bottom over its L of wall.
inline std::vector<Open> CornerOpen(bool i_storey) {
  std::vector<Open> open = {{2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}},
                            {0, -1, {-kHalf, -kHalf, -kAll, kAll, -kAll, kAll}},
                            {1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}},
                            {1, -1, {-kHalf, kWallOuter, 0, 0, kWallInner, kWallOuter}}};
  if (i_storey) open.push_back({1, 1, {-kAll, kAll, kStorey, kStorey, -kAll, kAll}});
  return open;
}

// A facade cell of the roof row: both ends, the slab's inner side, the bottom over the wall.
inline std::vector<Open> RoofOpen() {
  return {{2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}},
          {2, 1, {-kAll, kAll, -kAll, kAll, kHalf, kHalf}},
          {0, -1, {-kHalf, -kHalf, -kAll, kAll, -kAll, kAll}},
          {1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}}};
}

// The roof over an interior cell: all four sides.
inline std::vector<Open> CapOpen() {
  return {{0, -1, {-kHalf, -kHalf, -kAll, kAll, -kAll, kAll}},
          {0, 1, {kHalf, kHalf, -kAll, kAll, -kAll, kAll}},
          {2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}},
          {2, 1, {-kAll, kAll, -kAll, kAll, kHalf, kHalf}}};
}

// Every piece a style needs, from what differs between styles.
struct Design {
  std::vector<Run> storey;  // the wall's trims on every storey (bands)
  std::vector<Run> roof;    // the roof row's parapet and trims
  Glazing upper, ground;
};

inline PieceSpec Storey(const std::string& i_style, Ostrel::Buildings::PieceKind i_kind, const Design& i_design,
                        std::uint32_t i_variant = 0) {
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, i_kind, i_variant), i_style, {}, StoreyOpen()};
  Add(piece, i_style + "_wall", {kWallInner, kWallOuter, 0, kStorey, -kHalf, kHalf});
  for (const Run& run : i_design.storey) AddRun(piece, run);
  return piece;
}

inline PieceSpec Corner(const std::string& i_style, const Design& i_design) {
  PieceSpec piece{
      Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::Angle), i_style, {}, CornerOpen(true)};
  AddWrapped(piece, {i_style + "_wall", kWallInner, kWallOuter, 0, kStorey});
  for (const Run& run : i_design.storey) AddWrapped(piece, run);
  return piece;
}

// The roof row over a facade cell; with a gap, the parapet and its coping are cut down to the
// roof surface there, so that the roof runs out to the facade.
inline PieceSpec Roof(const std::string& i_style, Ostrel::Buildings::PieceKind i_kind, const Design& i_design,
                      const std::vector<Rect>& i_gaps = {}) {
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, i_kind), i_style, {}, RoofOpen()};
  Add(piece, i_style + "_roof", {-kHalf, kWallInner, 0, kSlab, -kHalf, kHalf});
  for (const Run& run : i_design.roof) AddRun(piece, run);
  for (const Rect& gap : i_gaps)
    Cut(piece, {kWallInner - 10, kWallOuter + 10, kSlab, kStorey, gap.z0, gap.z1});
  return piece;
}

inline PieceSpec CornerRoof(const std::string& i_style, const Design& i_design) {
  PieceSpec piece{
      Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::AngleRoof), i_style, {}, CornerOpen(false)};
  Add(piece, i_style + "_roof", {-kHalf, kWallInner, 0, kSlab, -kHalf, kWallInner});
  for (const Run& run : i_design.roof) AddWrapped(piece, run);
  return piece;
}

// An inner corner, in the cell diagonally inside it: the cells on its +x and +z sides end the two
// facades that meet at the corner (x = z = 150), the one facing +z and the other facing +x. It
// builds both cells' walls and trims, each from where it meets the other out to the far side of
// its cell (450), which the facade beyond continues.
constexpr int kBeyond = 3 * kHalf;

// The leg of the +z cell alone, from the corner out, or from i_from on.
inline void AddInnerLegZ(PieceSpec& io_piece, const Run& i_run, int i_from) {
  Add(io_piece, i_run.material, {i_run.x0, i_run.x1, i_run.y0, i_run.y1, i_from, kBeyond});
}
inline void AddInnerLegZ(PieceSpec& io_piece, const Run& i_run) { AddInnerLegZ(io_piece, i_run, i_run.x0); }

// The leg of the +x cell alone, from i_from on.
inline void AddInnerLegX(PieceSpec& io_piece, const Run& i_run, int i_from) {
  Add(io_piece, i_run.material, {i_from, kBeyond, i_run.y0, i_run.y1, i_run.x0, i_run.x1});
}

inline void AddInnerLegs(PieceSpec& io_piece, const Run& i_run) {
  AddInnerLegX(io_piece, i_run, i_run.x0);
  AddInnerLegZ(io_piece, i_run);
}

// The far ends of the two cells, and the bottom over their L of wall; a storey also its top.
inline std::vector<Open> InnerOpen(bool i_storey) {
  std::vector<Open> open = {{0, 1, {kBeyond, kBeyond, -kAll, kAll, -kAll, kAll}},
                            {2, 1, {-kAll, kAll, -kAll, kAll, kBeyond, kBeyond}},
                            {1, -1, {kWallInner, kBeyond, 0, 0, kWallInner, kWallOuter}},
                            {1, -1, {kWallInner, kWallOuter, 0, 0, kWallOuter, kBeyond}}};
  if (i_storey) open.push_back({1, 1, {-kAll, kAll, kStorey, kStorey, -kAll, kAll}});
  return open;
}

// The piece spans three cells, and its faces are cut into theirs: the cell on +x with everything
// out to the outermost trim's face on +z, the corner where both walls' trims meet included; then
// the cell on +z. The faces of each wall's trims are then cut across, never along, and the same
// way on every row, so that the rows' faces meet corner for corner.
inline std::vector<Part> InnerParts(const Design& i_design) {
  int out = kWallOuter;
  for (const std::vector<Run>* runs : {&i_design.storey, &i_design.roof})
    for (const Run& run : *runs) out = std::max(out, run.x1);
  return {{kHalf, kAll, -kAll, out}, {-kAll, kAll, kHalf, kAll}};
}

inline PieceSpec InnerCorner(const std::string& i_style, const Design& i_design) {
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::InnerAngle), i_style, {}, InnerOpen(true)};
  AddInnerLegs(piece, {i_style + "_wall", kWallInner, kWallOuter, 0, kStorey});
  for (const Run& run : i_design.storey) AddInnerLegs(piece, run);
  piece.parts = InnerParts(i_design);
  return piece;
}

// The roof row at an inner corner: the roof over its own cell and the two cells' roof up to their
// walls, and the parapet round the corner. The roof runs on into the cells beside all three.
inline PieceSpec InnerCornerRoof(const std::string& i_style, const Design& i_design) {
  std::vector<Open> open = InnerOpen(false);
  open.push_back({0, -1, {-kHalf, -kHalf, -kAll, kAll, -kAll, kAll}});
  open.push_back({2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}});
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::InnerAngleRoof), i_style, {}, open};
  Add(piece, i_style + "_roof", {-kHalf, kBeyond, 0, kSlab, -kHalf, kWallInner});
  Add(piece, i_style + "_roof", {-kHalf, kWallInner, 0, kSlab, -kHalf, kBeyond});
  for (const Run& run : i_design.roof) AddInnerLegs(piece, run);
  piece.parts = InnerParts(i_design);
  return piece;
}

inline PieceSpec RoofCap(const std::string& i_style) {
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::RoofCap), i_style, {}, CapOpen()};
  Add(piece, i_style + "_roof", {-kHalf, kHalf, 0, kSlab, -kHalf, kHalf});
  return piece;
}

// The bare roof slab on a party side whose wall stays (the city's neighbours): a neighbour's grid
// ends a few centimetres inside this wall, or this one's inside the neighbour's, so the
// neighbour's slab edge (its band or string course, standing up to 30 cm out of its wall at the
// roof row's foot) lies along this slab's underside. A lip 2 cm deep and 60 cm wide under the
// slab's +x edge takes the underside below it, past the deepest slab edge of the shipped styles
// even at the narrowest stretch of a cell; most of it stands in the wall below, and the rest is a
// step in the ceiling inside. The slab continues into its four neighbours as the plain cap does;
// the lip is closed all round, since the cells beside it may be plain caps or parapets.
constexpr int kLipWidth = 60;
constexpr int kLipDepth = 2;

inline PieceSpec RoofCapParty(const std::string& i_style) {
  const std::vector<Open> open = {{0, -1, {-kHalf, -kHalf, 0, kAll, -kAll, kAll}},
                                  {0, 1, {kHalf, kHalf, 0, kAll, -kAll, kAll}},
                                  {2, -1, {-kAll, kAll, 0, kAll, -kHalf, -kHalf}},
                                  {2, 1, {-kAll, kAll, 0, kAll, kHalf, kHalf}}};
  PieceSpec piece{Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::RoofCapParty), i_style, {},
                  open};
  Add(piece, i_style + "_roof", {-kHalf, kHalf, 0, kSlab, -kHalf, kHalf});
  Add(piece, i_style + "_roof", {kHalf - kLipWidth, kHalf, -kLipDepth, 0, -kHalf, kHalf});
  return piece;
}

// The roof row's corner cell whose other side is a bare party side over a wall that stays: the
// parapet piece of its kept side, with the same lip under the slab's end on the party side (+z
// for left, -z for right), inside the wall's inner face so that nothing of it shows outside. The
// ends stay open above the lip, where the row and the neighbour's wall continue the section.
inline PieceSpec RoofParty(const std::string& i_style, const Design& i_design, bool i_left) {
  using Ostrel::Buildings::PieceKind;
  PieceSpec piece =
      Roof(i_style, i_left ? PieceKind::RoofPartyLeft : PieceKind::RoofPartyRight, i_design);
  for (Open& open : piece.open) {
    if (open.axis != 1) open.area.y0 = 0;
  }
  const int z0 = i_left ? kHalf - kLipWidth : -kHalf, z1 = i_left ? kHalf : -kHalf + kLipWidth;
  Add(piece, i_style + "_roof", {-kHalf, kWallInner, -kLipDepth, 0, z0, z1});
  return piece;
}

// The corner of a storey against a neighbour whose cells stand beyond the corner's end on a
// party side: the style's corner piece with everything past its faces (its bands, quoins) cut
// back kPartyShort (cm, as the pieces' boxes) short of the other face's plane. Where two
// neighbours' walls overlap by the 5 cm one grid reaches into the other's, the bands of both then
// end apart, even at a cell stretched to 0.75 of the kit's (cut at 10 cm they still met), and no
// band lies on the other's or crosses its wall. The wall itself is
// untouched, so the piece's open sides stay the corner's. The roof row's corner is cut the same
// way (its coping's overhang, its band and cornice), from its own corner piece.
constexpr int kPartyShort = 20;

inline bool EndsWith(const std::string& i_text, const std::string& i_end) {
  return i_text.size() >= i_end.size() && i_text.compare(i_text.size() - i_end.size(), i_end.size(), i_end) == 0;
}

// A parapet's coping lies over its wall too, 5 cm past both of the wall's faces, where a
// neighbour's coping over the walls that overlap, or its parapet's coping running into this
// corner, would lie on it: within kPartyShort of either face the coping goes, down to its foot,
// and the parapet's walls (the steps of the wall's material) are laid again, their tops bare.
inline void CutCopingEnds(PieceSpec& io_piece, const PieceSpec& i_angle) {
  int foot = kAll;
  for (const Step& step : i_angle.steps)
    if (EndsWith(step.material, "_coping")) foot = std::min(foot, step.box.y0);
  if (foot == kAll) return;
  const int inner = kWallInner - 5;  // the coping's inner edge
  Cut(io_piece, {inner, kAll, foot, kAll, kWallOuter - kPartyShort, kAll});
  Cut(io_piece, {kWallOuter - kPartyShort, kAll, foot, kAll, inner, kAll});
  for (const Step& step : i_angle.steps)
    if (EndsWith(step.material, "_wall")) Add(io_piece, step.material, step.box);
}

inline PieceSpec AngleParty(const PieceSpec& i_angle, Ostrel::Buildings::PieceKind i_kind) {
  PieceSpec piece = i_angle;
  piece.name = Ostrel::Buildings::PieceName(i_angle.palette, i_kind);
  Cut(piece, {kWallOuter, kAll, -kAll, kAll, kWallOuter - kPartyShort, kAll});
  Cut(piece, {kWallOuter - kPartyShort, kAll, -kAll, kAll, kWallOuter, kAll});
  CutCopingEnds(piece, i_angle);
  return piece;
}

// The roof row's party corner whose one side alone, +z (left) or +x (right), stands against the
// neighbour. The neighbour's parapet on that line, 5 cm into this one's wall, keeps its coping
// where it is not covered in whole, and the two copings over the overlap would lie in one plane:
// on that side the coping goes along the whole cell, down to its foot, the wall's top bare, but
// for a stub kPartyShort long at the cell's far end, where the row's coping runs on into it. Two
// such corners back to back are mirror images, a left beside a right, whose bare tops would meet
// over the walls' overlap: the right one's wall stands 2 cm higher there, inside the depth of
// any coping beside it.
inline PieceSpec AngleRoofPartySide(const PieceSpec& i_party, const PieceSpec& i_angle, bool i_left) {
  using Ostrel::Buildings::PieceKind;
  PieceSpec piece = i_party;
  piece.name = Ostrel::Buildings::PieceName(
      i_angle.palette, i_left ? PieceKind::AngleRoofPartyLeft : PieceKind::AngleRoofPartyRight);
  int foot = kAll, top = 0;
  for (const Step& step : i_angle.steps) {
    if (EndsWith(step.material, "_coping")) foot = std::min(foot, step.box.y0);
    if (EndsWith(step.material, "_wall")) top = std::max(top, step.box.y1);
  }
  if (foot == kAll) return piece;
  const int inner = kWallInner - 5;  // the coping's inner edge
  const int from = -kHalf + kPartyShort;
  if (i_left) {
    Cut(piece, {from, kAll, foot, kAll, inner, kAll});
  } else {
    Cut(piece, {inner, kAll, foot, kAll, from, kAll});
  }
  for (const Step& step : i_angle.steps)
    if (EndsWith(step.material, "_wall")) Add(piece, step.material, step.box);
  if (!i_left) Add(piece, i_angle.palette + "_wall", {kWallInner, kWallOuter, top, top + 2, from, kWallOuter});
  return piece;
}

// A closed wall on a party side with the neighbour behind it, a few centimetres off or askew:
// the neighbour's bands, standing out of its wall as this one's do, would lie on this one's. Of
// everything past the wall's face only stubs kBandStub long at the cell's ends stay, where the
// cells beside it (a corner, a wall with its bands) run their bands on into it; each stub's other
// end is closed. The roof row's parapet on a party side is cut the same way (RoofCloseParty).
// Where an end meets another party cell that keeps only its stub there, no band runs on through
// it: without i_stubLeft (+z) or i_stubRight (-z) that end keeps no stub either.
constexpr int kBandStub = 10;

inline PieceSpec ClosePartyStorey(const PieceSpec& i_close, Ostrel::Buildings::PieceKind i_kind,
                                  bool i_stubLeft = true, bool i_stubRight = true) {
  PieceSpec piece = i_close;
  piece.name = Ostrel::Buildings::PieceName(i_close.palette, i_kind);
  const int z0 = i_stubRight ? -kHalf + kBandStub : -kAll, z1 = i_stubLeft ? kHalf - kBandStub : kAll;
  Cut(piece, {kWallOuter, kAll, -kAll, kAll, z0, z1});
  // A trim that stops short of an end of the cell (a shop's fascia) runs on into no cell there:
  // its stub at that end goes too, so that nothing but the bands that run on stands past the face.
  for (const Step& step : i_close.steps) {
    const Box& box = step.box;
    if (step.material.empty() || box.x1 <= kWallOuter) continue;
    const int x0 = std::max(box.x0, kWallOuter);
    if (i_stubRight && box.z0 > -kHalf && box.z0 < -kHalf + kBandStub)
      Cut(piece, {x0, box.x1, box.y0, box.y1, box.z0, -kHalf + kBandStub});
    if (i_stubLeft && box.z1 < kHalf && box.z1 > kHalf - kBandStub)
      Cut(piece, {x0, box.x1, box.y0, box.y1, kHalf - kBandStub, box.z1});
  }
  return piece;
}

// How far a profile's trims stand out of the wall's face, cm.
inline int StandOut(const std::vector<Run>& i_runs) {
  int out = kWallOuter;
  for (const Run& run : i_runs) out = std::max(out, run.x1);
  return out - kWallOuter;
}

// Whether a style's roof row stands out of the wall further than its storeys' bands (a cornice):
// on a party side it would hang over a lower neighbour's roof, or reach through a taller one's
// wall, where bands as deep as the storeys' stay inside it. Such a style's party parapet is
// RoofCloseParty; a style whose roof row stands out no further lays its plain parapet there.
inline bool RoofStandsOut(const Design& i_design) { return StandOut(i_design.roof) > StandOut(i_design.storey); }

// Such a style's roof corner on a party side, +x (i_x) or +z (i_z): everything past that side's
// face goes too, its cornice with its coping's overhang, but for a stub kBandStub long at the
// cell's far end, where the row's party parapet runs its stubs on.
inline void CutPartySides(PieceSpec& io_piece, bool i_x, bool i_z) {
  if (i_x) Cut(io_piece, {kWallOuter, kAll, -kAll, kAll, -kHalf + kBandStub, kAll});
  if (i_z) Cut(io_piece, {-kHalf + kBandStub, kAll, -kAll, kAll, kWallOuter, kAll});
}

// A storey's party corner of such a style may stand where a lower neighbour's roof row ends
// beside it (the neighbour's cells running past this corner's end), its cornice passing in front
// of this corner's face with its top at a storey's height above the floor. A trim of the corner
// standing past a face (a quoin) whose underside lies at the height of the top of any roof-row
// trim would lie on that top: its underside goes kCorniceClear (cm) lower, into the cornice's
// solid where the two meet, and clear of the plane elsewhere.
constexpr int kCorniceClear = 2;

inline void ClearCorniceTops(PieceSpec& io_piece, const Design& i_design) {
  for (Step& step : io_piece.steps) {
    Box& box = step.box;
    if (step.material.empty() || (box.x1 <= kWallOuter && box.z1 <= kWallOuter)) continue;
    for (const Run& run : i_design.roof) {
      if (run.x1 > kWallOuter && box.y0 == run.y1) {
        box.y0 -= kCorniceClear;
        break;
      }
    }
  }
}

// A storey's party corner against the neighbour on one side alone, +z (left) or +x (right): the
// neighbour's plain corner beside it, whose side this building covers only in part, keeps its
// bands along the party line, which this one's would lie on. Past that side's face only a stub
// kBandStub long stays at the cell's far end, where the row's bands run on into it; without
// i_stub (the far end meets a party wall that keeps only its stub there) nothing stays.
inline PieceSpec AnglePartySide(const PieceSpec& i_party, bool i_left, bool i_stub = true) {
  using Ostrel::Buildings::PieceKind;
  PieceSpec piece = i_party;
  const PieceKind kind = i_left ? (i_stub ? PieceKind::AnglePartyLeft : PieceKind::AnglePartyLeftJoin)
                                : (i_stub ? PieceKind::AnglePartyRight : PieceKind::AnglePartyRightJoin);
  piece.name = Ostrel::Buildings::PieceName(i_party.palette, kind);
  const int from = i_stub ? -kHalf + kBandStub : -kAll;
  if (i_left) {
    Cut(piece, {from, kAll, -kAll, kAll, kWallOuter, kAll});
  } else {
    Cut(piece, {kWallOuter, kAll, -kAll, kAll, from, kAll});
  }
  return piece;
}

// The roof row's parapet beside a bare party side (RoofParty, +z its left end, -z its right)
// whose cell reaches 5 cm into the neighbour's wall there: the neighbour's parapet or corner keeps
// its coping (5 cm over its wall's face) and its band along the party line, which this one's would
// lie on. Within kPartyShort of that end everything past the wall's face and the coping go, and
// the parapet's wall stands 2 cm lower than its top there, bare: a neighbour's one-sided party
// corner, whose wall top is bare along the party line (the right one's 2 cm higher), may stand
// beyond the end instead, and the lowered top lies inside the depth of any coping over it.
inline PieceSpec RoofPartyShort(const PieceSpec& i_party, bool i_left) {
  using Ostrel::Buildings::PieceKind;
  PieceSpec piece = i_party;
  piece.name = Ostrel::Buildings::PieceName(i_party.palette,
                                            i_left ? PieceKind::RoofPartyShortLeft : PieceKind::RoofPartyShortRight);
  int foot = kAll, top = 0;
  for (const Step& step : i_party.steps) {
    if (EndsWith(step.material, "_coping")) foot = std::min(foot, step.box.y0);
    if (EndsWith(step.material, "_wall")) top = std::max(top, step.box.y1);
  }
  const int z0 = i_left ? kHalf - kPartyShort : -kAll, z1 = i_left ? kAll : -kHalf + kPartyShort;
  Cut(piece, {kWallOuter, kAll, -kAll, kAll, z0, z1});
  Cut(piece, {kWallInner - 5, kAll, std::min(foot, top - 2), kAll, z0, z1});
  for (const Step& step : i_party.steps) {
    if (!EndsWith(step.material, "_wall")) continue;
    Box box = step.box;
    if (box.y1 == top) box.y1 = top - 2;
    Add(piece, step.material, {box.x0, box.x1, box.y0, box.y1, std::max(box.z0, z0), std::min(box.z1, z1)});
  }
  return piece;
}

// The trims, windows and parapet of the styles.
inline Design ModernDesign() {
  const std::string s = "A";
  Design design;
  design.storey = {{s + "_band", kWallOuter, 160, 0, 20}};
  design.roof = {{s + "_wall", kWallInner, kWallOuter, 0, 110},
                 {s + "_band", kWallOuter, 160, 0, 20},
                 {s + "_coping", 115, 155, 105, 115}};
  design.upper = {{-125, 125, 50, 275}, {{-120, -5, 55, 270}, {5, 120, 55, 270}}, 125, 135, 140};
  design.ground = {
      {-125, 125, 30, 270}, {{-120, -5, 35, 210}, {5, 120, 35, 210}, {-120, 120, 215, 265}}, 125, 135, 140};
  return design;
}

inline Design ClassicDesign() {
  const std::string s = "B";
  Design design;
  design.storey = {{s + "_trim", kWallOuter, 160, 0, 15}};
  design.roof = {{s + "_wall", kWallInner, kWallOuter, 0, 90},
                 {s + "_trim", kWallOuter, 165, 0, 10},
                 {s + "_trim", kWallOuter, 180, 5, 25},
                 {s + "_coping", 115, 155, 85, 100}};
  design.upper = {
      {-60, 60, 90, 240}, {{-50, -5, 100, 195}, {5, 50, 100, 195}, {-50, 50, 205, 230}}, 125, 135, 145};
  design.ground = {
      {-60, 60, 60, 240}, {{-50, -5, 70, 195}, {5, 50, 70, 195}, {-50, 50, 205, 230}}, 125, 135, 145};
  return design;
}

// The sill under a window of style B whose sill's top is at i_sillTop, its lintel and keystone.
inline void ClassicTrims(PieceSpec& io_piece, int i_sillTop) {
  Add(io_piece, "B_trim", {kWallOuter, 165, i_sillTop - 10, i_sillTop, -75, 75});  // sill
  Add(io_piece, "B_trim", {kWallOuter, 160, 240, 260, -75, 75});                   // lintel
  Add(io_piece, "B_trim", {kWallOuter, 165, 240, 265, -10, 10});                   // keystone
}

}  // namespace detail

// Style A, modern: wide panes in thin frames, slab edges between storeys, a flat parapet with a
// metal coping, a glass door under a canopy, glass balustrades.
inline Style ModernStyle() {
  using namespace detail;
  const std::string s = "A";
  const Design design = ModernDesign();
  // A glass double door, flush with the inner face of the wall.
  const Glazing door = {{-60, 60, 0, 240}, {{-55, -5, 0, 235}, {5, 55, 0, 235}}, kWallInner, 130, 135};

  Style style{s,
              {{s + "_wall", {0.84f, 0.82f, 0.78f}, 0.05f, 4},
               {s + "_band", {0.52f, 0.54f, 0.56f}, 0.08f, 12},
               {s + "_frame", {0.17f, 0.18f, 0.20f}, 0.45f, 120},
               {s + "_glass", {0.10f, 0.14f, 0.18f}, 0.90f, 500},
               {s + "_roof", {0.38f, 0.38f, 0.39f}, 0.03f, 8},
               {s + "_coping", {0.71f, 0.73f, 0.75f}, 0.55f, 150},
               {s + "_balcony", {0.66f, 0.66f, 0.65f}, 0.07f, 10},
               {s + "_railing", {0.62f, 0.72f, 0.76f}, 0.70f, 150, 0.55f}},
              {}};
  std::vector<PieceSpec>& kit = style.pieces;
  kit.push_back(Corner(s, design));
  kit.push_back(CornerRoof(s, design));

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Ground, design));
  AddGlazing(kit.back(), s, design.ground);

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::GroundDoor, design));
  Cut(kit.back(), {kWallOuter, 160, 0, 20, -65, 65});
  AddGlazing(kit.back(), s, door);
  Add(kit.back(), s + "_band", {kWallOuter, 210, 250, 260, -90, 90});  // the canopy

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::GroundClose, design));
  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design));
  AddGlazing(kit.back(), s, design.upper);
  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::FloorClose, design));
  kit.push_back(Roof(s, Ostrel::Buildings::PieceKind::Roof, design));
  kit.push_back(Roof(s, Ostrel::Buildings::PieceKind::RoofDoor, design, {{-60, 60, 0, 0}}));

  // The slab wraps the slab edge of the storey, and the glass sides are let into the wall, so
  // that the balcony is a closed solid of its own whose faces touch none of the wall's.
  PieceSpec balcony{Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::Balcony), s, {}, {}};
  Add(balcony, s + "_balcony", {145, 270, -5, 25, -120, 120});
  Add(balcony, s + "_railing", {260, 270, 25, 110, -120, 120});
  Add(balcony, s + "_railing", {145, 260, 25, 110, -120, -115});
  Add(balcony, s + "_railing", {145, 260, 25, 110, 115, 120});
  kit.push_back(balcony);

  kit.push_back(RoofCap(s));
  kit.push_back(InnerCorner(s, design));
  kit.push_back(InnerCornerRoof(s, design));
  kit.push_back(RoofParty(s, design, true));
  kit.push_back(RoofParty(s, design, false));
  return style;
}

// Style B, classic: brick with stone trims; smaller windows with sills, lintels and keystones,
// string courses between storeys, quoins at the corners, a panelled door under a hood, a cornice
// under the parapet, an iron balustrade.
inline Style ClassicStyle() {
  using namespace detail;
  const std::string s = "B";
  const Design design = ClassicDesign();
  const auto trims = ClassicTrims;

  Style style{s,
              {{s + "_wall", {0.55f, 0.27f, 0.20f}, 0.04f, 4},
               {s + "_trim", {0.87f, 0.83f, 0.73f}, 0.06f, 10},
               {s + "_frame", {0.93f, 0.93f, 0.90f}, 0.25f, 40},
               {s + "_glass", {0.09f, 0.12f, 0.15f}, 0.90f, 500},
               {s + "_door", {0.12f, 0.27f, 0.20f}, 0.30f, 40},
               {s + "_roof", {0.31f, 0.31f, 0.33f}, 0.03f, 8},
               {s + "_coping", {0.76f, 0.73f, 0.66f}, 0.05f, 8},
               {s + "_balcony", {0.80f, 0.77f, 0.69f}, 0.07f, 12},
               {s + "_railing", {0.13f, 0.13f, 0.14f}, 0.40f, 60}},
              {}};
  std::vector<PieceSpec>& kit = style.pieces;

  // Quoins: stones alternately long and short on the two faces of the corner.
  PieceSpec angle = Corner(s, design);
  for (int k = 0; k < 5; ++k) {
    const int y0 = 25 + 55 * k;
    const int alongX = k % 2 == 0 ? 60 : 35;  // length on the +x face
    const int alongZ = k % 2 == 0 ? 35 : 60;  // length on the +z face
    Add(angle, s + "_trim", {kWallOuter, 155, y0, y0 + 45, kHalf - alongX, 155});
    Add(angle, s + "_trim", {kHalf - alongZ, 155, y0, y0 + 45, kWallOuter, 155});
  }
  kit.push_back(angle);
  kit.push_back(CornerRoof(s, design));

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Ground, design));
  AddGlazing(kit.back(), s, design.ground);
  trims(kit.back(), 60);

  // A panelled door behind a step, framed by jambs and a head under a hood.
  PieceSpec entrance = Storey(s, Ostrel::Buildings::PieceKind::GroundDoor, design);
  Cut(entrance, {kWallOuter, 160, 0, 15, -90, 90});
  Cut(entrance, {kWallInner, kWallOuter, 0, 240, -75, 75});
  Add(entrance, s + "_door", {kWallInner, 130, 0, 240, -75, 75});
  for (const Rect& panel :
       std::vector<Rect>{{-65, -10, 25, 110}, {10, 65, 25, 110}, {-65, -10, 130, 225}, {10, 65, 130, 225}})
    Add(entrance, s + "_door", {130, 135, panel.y0, panel.y1, panel.z0, panel.z1});
  Add(entrance, s + "_trim", {kWallInner, 185, 0, 15, -80, 80});    // step
  Add(entrance, s + "_trim", {kWallOuter, 160, 0, 260, -95, -75});  // jambs and head
  Add(entrance, s + "_trim", {kWallOuter, 160, 0, 260, 75, 95});
  Add(entrance, s + "_trim", {kWallOuter, 160, 240, 260, -75, 75});
  Add(entrance, s + "_trim", {kWallOuter, 170, 255, 275, -105, 105});  // hood
  kit.push_back(entrance);

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::GroundClose, design));
  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design));
  AddGlazing(kit.back(), s, design.upper);
  trims(kit.back(), 90);
  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::FloorClose, design));
  kit.push_back(Roof(s, Ostrel::Buildings::PieceKind::Roof, design));
  kit.push_back(Roof(s, Ostrel::Buildings::PieceKind::RoofDoor, design, {{-60, 60, 0, 0}}));

  // A balustrade: a handrail on balusters, on a slab that wraps the string course; the side
  // rails are let into the wall, so that the balcony is a closed solid of its own.
  PieceSpec balcony{Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::Balcony), s, {}, {}};
  Add(balcony, s + "_balcony", {145, 240, -5, 20, -105, 105});
  Add(balcony, s + "_railing", {230, 240, 90, 100, -105, 105});
  Add(balcony, s + "_railing", {145, 240, 90, 100, -105, -95});
  Add(balcony, s + "_railing", {145, 240, 90, 100, 95, 105});
  for (const int z : {-100, -70, -40, -10, 10, 40, 70, 100})
    Add(balcony, s + "_railing", {230, 240, 20, 90, z - 5, z + 5});
  for (const int x : {170, 200}) {
    Add(balcony, s + "_railing", {x - 5, x + 5, 20, 90, -105, -95});
    Add(balcony, s + "_railing", {x - 5, x + 5, 20, 90, 95, 105});
  }
  kit.push_back(balcony);

  kit.push_back(RoofCap(s));
  kit.push_back(InnerCorner(s, design));
  kit.push_back(InnerCornerRoof(s, design));
  kit.push_back(RoofParty(s, design, true));
  kit.push_back(RoofParty(s, design, false));
  return style;
}

// The two pieces that fix the cell and storey size: together they span exactly 3 x 3 x 3 m.
inline std::vector<PieceSpec> BasePieces() {
  using namespace detail;
  PieceSpec wall{"base_floorclose", "", {}, {}};
  Add(wall, "wall", {kWallInner, kWallOuter, 0, kStorey, -kHalf, kHalf});
  PieceSpec roof{"base_roof", "", {}, {}};
  Add(roof, "roof", {-kHalf, kHalf, 0, kSlab, -kHalf, kHalf});
  return {wall, roof};
}

}  // namespace Kitgen
