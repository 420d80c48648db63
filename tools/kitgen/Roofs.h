#pragma once
// The pitched roof pieces of the shipped styles, for gable and hip roofs, and their materials.
//
// A roof cell k steps in from the eave stands k rises above the top of the last storey; the
// pieces meet their neighbours with one cross-section at every side they share: a band of the
// slab's thickness, level at the foot of the cell's planes and one rise up at their head, or the
// ridge's gable outline across a ridge. Under an eave the walls of the last storey rise to the
// slab's underside, which meets the outer face of the wall exactly at the storey's top (y = 0),
// so the soffit runs on from the facade and the storey's pieces below stay untouched. Gable ends
// are closed by the style's wall, flush with the facade: panels of one rise in height, stacked
// under each gable cell, and a triangle of wall in the gable cell itself. The verges are flush
// with the gable; only the eaves overhang.
//
// Rises, thicknesses and overhangs are chosen so that every corner is a whole centimetre and the
// heights where pieces of different steps meet are exact in binary floating point in metres
// (0.5 m, 2 m, 0.25 m): the tool's sums of these heights are then the same bit for bit.

#include <string>
#include <vector>

#include <ostrel/kit/PieceKind.h>

#include "Pitched.h"
#include "Styles.h"

namespace Kitgen {

// What differs between the styles' pitched roofs, in centimetres.
struct Pitch {
  std::string style;
  int rise;             // how far a plane climbs across one cell
  int thick;            // the slab's vertical thickness
  int overhang;         // how far an eave reaches out in front of the facade
  std::string edge;     // material of the slab's ends and of the soffits under the eaves
  std::string ceiling;  // material of the slab's underside inside the walls, the attic's ceiling
};

// Style A: a shallow metal roof (about 9.5 degrees) with a wide, thin eave.
inline Pitch ModernPitch() { return {"A", 50, 25, 60, "A_fascia", "A_roof"}; }

// Style B: a tiled roof of about 34 degrees.
inline Pitch ClassicPitch() { return {"B", 200, 25, 45, "B_fascia", "B_roof"}; }

// Style S: a shallow roof of the flat roof's felt, at A's pitch (about 9.5 degrees), with a short
// eave boarded in the shop sign's green. The slab is felt on both faces: S's sheet has room for
// one strip a cell's slope long but not two (the flat roof's strip is one storey, 3 m, and the
// slope 3.04 m), and the attic's ceiling shows only from inside.
inline Pitch ShopPitch() { return {"S", 50, 25, 18, "S_eaves", "S_roofing"}; }

inline Pitch StylePitch(const std::string& i_style) {
  if (i_style == "A") return ModernPitch();
  if (i_style == "S") return ShopPitch();
  return ClassicPitch();
}

// The materials the pitched pieces add to a style's palette.
inline std::vector<Material> PitchedPalette(const std::string& i_style) {
  if (i_style == "A")
    return {{"A_roofing", {0.58f, 0.60f, 0.63f}, 0.50f, 120}, {"A_fascia", {0.22f, 0.23f, 0.25f}, 0.30f, 40}};
  if (i_style == "S")
    return {{"S_roofing", {0.45f, 0.48f, 0.50f}, 0.04f, 6}, {"S_eaves", {0.08f, 0.26f, 0.22f}, 0.25f, 30}};
  return {{"B_roofing", {0.52f, 0.20f, 0.12f}, 0.05f, 10}, {"B_fascia", {0.90f, 0.89f, 0.85f}, 0.20f, 30}};
}

namespace detail {

constexpr Side kPlusX{1, 0}, kMinusX{-1, 0}, kPlusZ{0, 1}, kMinusZ{0, -1};

// A roof cell over the inside of the building: the slab over the whole cell, its underside the
// attic's ceiling.
inline RoofCell Inner(const Pitch& i_pitch, Ostrel::Buildings::PieceKind i_kind, const std::vector<Side>& i_falls,
                      const std::vector<Side>& i_open) {
  const std::string& s = i_pitch.style;
  RoofCell cell;
  cell.name = Ostrel::Buildings::PieceName(s, i_kind);
  cell.rise = i_pitch.rise;
  cell.thick = i_pitch.thick;
  cell.falls = i_falls;
  cell.slab = {-kHalf, kHalf, -kHalf, kHalf};
  cell.undersides = {{i_pitch.ceiling, cell.slab}};
  cell.open = i_open;
  cell.top = s + "_roofing";
  cell.edge = i_pitch.edge;
  cell.wall = s + "_wall";
  return cell;
}

// A cell at the eave: the slab reaches out over +x by the overhang, the facade's wall rises to its
// underside, and the underside outside the wall is the soffit.
inline RoofCell Eave(const Pitch& i_pitch, Ostrel::Buildings::PieceKind i_kind, const std::vector<Side>& i_open) {
  RoofCell cell = Inner(i_pitch, i_kind, {kPlusX}, i_open);
  const int out = kWallOuter + i_pitch.overhang;
  cell.slab.x1 = out;
  cell.walls = {{kWallInner, kWallOuter, -kHalf, kHalf}};
  cell.undersides = {{i_pitch.ceiling, {-kHalf, kWallInner, -kHalf, kHalf}},
                     {i_pitch.edge, {kWallOuter, out, -kHalf, kHalf}}};
  return cell;
}

// A cell at a gable on its +z side: the gable wall (z 120..150) rises to the underside.
inline RoofCell Gable(const Pitch& i_pitch, Ostrel::Buildings::PieceKind i_kind, const std::vector<Side>& i_falls) {
  RoofCell cell = Inner(i_pitch, i_kind, i_falls, {kPlusX, kMinusX, kMinusZ});
  cell.walls = {{-kHalf, kHalf, kWallInner, kWallOuter}};
  cell.undersides = {{i_pitch.ceiling, {-kHalf, kHalf, -kHalf, kWallInner}}};
  return cell;
}

// The eave's corner at a gable on its +z side: the L of wall of the corner below rises to the
// underside, the eave overhangs +x, the verge is flush with the gable.
inline RoofCell EaveGable(const Pitch& i_pitch) {
  RoofCell cell = Eave(i_pitch, Ostrel::Buildings::PieceKind::EaveGableLeft, {kMinusX, kMinusZ});
  cell.walls = {{kWallInner, kWallOuter, -kHalf, kWallInner}, {-kHalf, kHalf, kWallInner, kWallOuter}};
  cell.undersides = {{i_pitch.ceiling, {-kHalf, kWallInner, -kHalf, kWallInner}},
                     {i_pitch.edge, {kWallOuter, cell.slab.x1, -kHalf, kHalf}}};
  return cell;
}

// The hip's foot at the corner of the eaves: the slab overhangs both facades.
inline RoofCell EaveCorner(const Pitch& i_pitch) {
  RoofCell cell = Eave(i_pitch, Ostrel::Buildings::PieceKind::EaveCorner, {kMinusX, kMinusZ});
  const int out = cell.slab.x1;
  cell.falls = {kPlusX, kPlusZ};
  cell.slab.z1 = out;
  cell.walls = {{kWallInner, kWallOuter, -kHalf, kWallInner}, {-kHalf, kWallOuter, kWallInner, kWallOuter}};
  cell.undersides = {{i_pitch.ceiling, {-kHalf, kWallInner, -kHalf, kWallInner}},
                     {i_pitch.edge, {kWallOuter, out, -kHalf, out}},
                     {i_pitch.edge, {-kHalf, kWallOuter, kWallOuter, out}}};
  return cell;
}

inline SlopedPiece Piece(const RoofCell& i_cell) { return {i_cell.name, MakeRoofCell(i_cell)}; }

}  // namespace detail

// Every pitched piece of a style but the gable wall panel (GableWall).
inline std::vector<SlopedPiece> PitchedPieces(const Pitch& i_pitch) {
  using namespace detail;
  const std::vector<Side> all = {kPlusX, kMinusX, kPlusZ, kMinusZ};
  const std::string& s = i_pitch.style;
  std::vector<SlopedPiece> kit;
  kit.push_back(Piece(Eave(i_pitch, Ostrel::Buildings::PieceKind::Eave, {kMinusX, kPlusZ, kMinusZ})));
  kit.push_back(Piece(Inner(i_pitch, Ostrel::Buildings::PieceKind::Slope, {kPlusX}, all)));
  kit.push_back(Piece(Inner(i_pitch, Ostrel::Buildings::PieceKind::Ridge, {kPlusX, kMinusX}, all)));
  kit.push_back(Piece(EaveCorner(i_pitch)));
  kit.push_back(Piece(Inner(i_pitch, Ostrel::Buildings::PieceKind::Hip, {kPlusX, kPlusZ}, all)));
  kit.push_back(Piece(Inner(i_pitch, Ostrel::Buildings::PieceKind::RidgeEnd, {kPlusX, kPlusZ, kMinusZ}, all)));
  kit.push_back(Piece(Inner(i_pitch, Ostrel::Buildings::PieceKind::Peak, all, all)));
  const SlopedPiece eaveGable = Piece(EaveGable(i_pitch));
  const SlopedPiece slopeGable = Piece(Gable(i_pitch, Ostrel::Buildings::PieceKind::SlopeGableLeft, {kPlusX}));
  kit.push_back(eaveGable);
  kit.push_back({Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::EaveGableRight), MirrorZ(eaveGable.faces)});
  kit.push_back(slopeGable);
  kit.push_back({Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::SlopeGableRight), MirrorZ(slopeGable.faces)});
  kit.push_back(Piece(Gable(i_pitch, Ostrel::Buildings::PieceKind::RidgeGable, {kPlusX, kMinusX})));
  return kit;
}

// A panel of gable wall one rise high, placed like a facade cell: it continues the wall below and
// is continued by the panel or the gable cell above.
inline PieceSpec GableWall(const Pitch& i_pitch) {
  using namespace detail;
  const int top = i_pitch.rise;
  PieceSpec piece{Ostrel::Buildings::PieceName(i_pitch.style, Ostrel::Buildings::PieceKind::GableWall),
                  i_pitch.style,
                  {},
                  {{2, -1, {-kAll, kAll, -kAll, kAll, -kHalf, -kHalf}},
                   {2, 1, {-kAll, kAll, -kAll, kAll, kHalf, kHalf}},
                   {1, 1, {-kAll, kAll, top, top, -kAll, kAll}},
                   {1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}}}};
  Add(piece, i_pitch.style + "_wall", {kWallInner, kWallOuter, 0, top, -kHalf, kHalf});
  return piece;
}

}  // namespace Kitgen
