#pragma once
// The variants of the shipped styles' pieces: STYLE_PIECE.N, which the tool takes in place of
// STYLE_PIECE where the seed chooses them. A variant keeps everything its plain piece shares with
// its neighbours (the wall, the bands and trims at both ends of the cell, the top and bottom of
// the storey, a balcony's hold in the wall) and changes only what lies inside the cell: the
// window, the shop front, the balustrade. Sizes as in Styles.h: centimetres in the piece's frame.

#include <string>
#include <vector>

#include "Styles.h"

namespace Kitgen {

namespace detail {

// The balcony variant of a style, with a solid parapet of `material`: its slab reaches from the
// wall out to x = `out` and `half` to either side of the cell's middle, `slabTop` high (from 5
// below the storey's foot, so that it wraps the band there); the parapet is `front` thick at the
// front and `side` thick at the sides, up to `top`. The slab and the sides are let into the wall
// (from x = 145), so that the balcony is a closed solid of its own.
struct SolidParapet {
  std::string material;
  int out, half, slabTop, front, side, top;
};

inline PieceSpec SolidBalcony(const std::string& i_style, const SolidParapet& i_p) {
  PieceSpec balcony{Ostrel::Buildings::PieceName(i_style, Ostrel::Buildings::PieceKind::Balcony, 1), i_style, {}, {}};
  Add(balcony, i_style + "_balcony", {145, i_p.out, -5, i_p.slabTop, -i_p.half, i_p.half});
  Add(balcony, i_p.material, {i_p.out - i_p.front, i_p.out, i_p.slabTop, i_p.top, -i_p.half, i_p.half});
  Add(balcony, i_p.material,
      {145, i_p.out - i_p.front, i_p.slabTop, i_p.top, -i_p.half, i_p.side - i_p.half});
  Add(balcony, i_p.material, {145, i_p.out - i_p.front, i_p.slabTop, i_p.top, i_p.half - i_p.side, i_p.half});
  return balcony;
}

}  // namespace detail

// Style A: upper windows of three lights and of a tall narrow pane with a transom, a ground
// storey of one undivided shop window, a balcony with a solid parapet.
inline std::vector<PieceSpec> ModernVariants() {
  using namespace detail;
  const std::string s = "A";
  const Design design = ModernDesign();
  std::vector<PieceSpec> kit;

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design, 1));
  AddGlazing(
      kit.back(), s,
      {{-125, 125, 50, 275}, {{-120, -45, 55, 270}, {-35, 35, 55, 270}, {45, 120, 55, 270}}, 125, 135, 140});

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design, 2));
  AddGlazing(kit.back(), s, {{-70, 70, 40, 280}, {{-65, 65, 45, 215}, {-65, 65, 225, 275}}, 125, 135, 140});

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Ground, design, 1));
  AddGlazing(kit.back(), s, {{-125, 125, 30, 270}, {{-120, 120, 35, 265}}, 125, 135, 140});

  kit.push_back(SolidBalcony(s, {s + "_band", 270, 120, 25, 15, 10, 105}));
  return kit;
}

// Style B: upper windows with shutters and as a pair of narrow windows, a ground storey with a
// wide shop window, a balcony with a solid stone balustrade.
inline std::vector<PieceSpec> ClassicVariants() {
  using namespace detail;
  const std::string s = "B";
  const Design design = ClassicDesign();
  std::vector<PieceSpec> kit;

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design, 1));
  AddGlazing(kit.back(), s, design.upper);
  ClassicTrims(kit.back(), 90);
  for (const Rect& shutter : std::vector<Rect>{{-110, -80, 95, 235}, {80, 110, 95, 235}})
    Add(kit.back(), s + "_door", {kWallOuter, 155, shutter.y0, shutter.y1, shutter.z0, shutter.z1});

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Floor, design, 2));
  for (const int z : {-45, 45}) {
    AddGlazing(
        kit.back(), s,
        {{z - 25, z + 25, 90, 240}, {{z - 18, z + 18, 100, 195}, {z - 18, z + 18, 205, 230}}, 125, 135, 145});
  }
  Add(kit.back(), s + "_trim", {kWallOuter, 165, 80, 90, -80, 80});    // one sill under both
  Add(kit.back(), s + "_trim", {kWallOuter, 160, 240, 260, -80, 80});  // one lintel over both

  kit.push_back(Storey(s, Ostrel::Buildings::PieceKind::Ground, design, 1));
  AddGlazing(
      kit.back(), s,
      {{-100, 100, 40, 240}, {{-92, -4, 50, 195}, {4, 92, 50, 195}, {-92, 92, 205, 232}}, 125, 135, 145});
  Add(kit.back(), s + "_trim", {kWallOuter, 165, 30, 40, -110, 110});    // sill
  Add(kit.back(), s + "_trim", {kWallOuter, 160, 240, 260, -110, 110});  // lintel

  kit.push_back(SolidBalcony(s, {s + "_trim", 240, 105, 20, 15, 15, 100}));
  return kit;
}

}  // namespace Kitgen
