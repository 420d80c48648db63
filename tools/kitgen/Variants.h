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

// Style A: upper windows of three lights and of a tall narrow pane with a transom, a ground
// storey of one undivided shop window, a balcony with a solid parapet.
inline std::vector<PieceSpec> ModernVariants() {
  using namespace detail;
  const std::string s = "A";
  const Design design = ModernDesign();
  std::vector<PieceSpec> kit;

  kit.push_back(Storey(s, "floor.1", design));
  AddGlazing(
      kit.back(), s,
      {{-125, 125, 50, 275}, {{-120, -45, 55, 270}, {-35, 35, 55, 270}, {45, 120, 55, 270}}, 125, 135, 140});

  kit.push_back(Storey(s, "floor.2", design));
  AddGlazing(kit.back(), s, {{-70, 70, 40, 280}, {{-65, 65, 45, 215}, {-65, 65, 225, 275}}, 125, 135, 140});

  kit.push_back(Storey(s, "ground.1", design));
  AddGlazing(kit.back(), s, {{-125, 125, 30, 270}, {{-120, 120, 35, 265}}, 125, 135, 140});

  PieceSpec balcony{s + "_balcony.1", s, {}, {}};
  Add(balcony, s + "_balcony", {145, 270, -5, 25, -120, 120});
  Add(balcony, s + "_band", {255, 270, 25, 105, -120, 120});
  Add(balcony, s + "_band", {145, 255, 25, 105, -120, -110});
  Add(balcony, s + "_band", {145, 255, 25, 105, 110, 120});
  kit.push_back(balcony);
  return kit;
}

// Style B: upper windows with shutters and as a pair of narrow windows, a ground storey with a
// wide shop window, a balcony with a solid stone balustrade.
inline std::vector<PieceSpec> ClassicVariants() {
  using namespace detail;
  const std::string s = "B";
  const Design design = ClassicDesign();
  std::vector<PieceSpec> kit;

  kit.push_back(Storey(s, "floor.1", design));
  AddGlazing(kit.back(), s, design.upper);
  ClassicTrims(kit.back(), 90);
  for (const Rect& shutter : std::vector<Rect>{{-110, -80, 95, 235}, {80, 110, 95, 235}})
    Add(kit.back(), s + "_door", {kWallOuter, 155, shutter.y0, shutter.y1, shutter.z0, shutter.z1});

  kit.push_back(Storey(s, "floor.2", design));
  for (const int z : {-45, 45}) {
    AddGlazing(
        kit.back(), s,
        {{z - 25, z + 25, 90, 240}, {{z - 18, z + 18, 100, 195}, {z - 18, z + 18, 205, 230}}, 125, 135, 145});
  }
  Add(kit.back(), s + "_trim", {kWallOuter, 165, 80, 90, -80, 80});    // one sill under both
  Add(kit.back(), s + "_trim", {kWallOuter, 160, 240, 260, -80, 80});  // one lintel over both

  kit.push_back(Storey(s, "ground.1", design));
  AddGlazing(
      kit.back(), s,
      {{-100, 100, 40, 240}, {{-92, -4, 50, 195}, {4, 92, 50, 195}, {-92, 92, 205, 232}}, 125, 135, 145});
  Add(kit.back(), s + "_trim", {kWallOuter, 165, 30, 40, -110, 110});    // sill
  Add(kit.back(), s + "_trim", {kWallOuter, 160, 240, 260, -110, 110});  // lintel

  PieceSpec balcony{s + "_balcony.1", s, {}, {}};
  Add(balcony, s + "_balcony", {145, 240, -5, 20, -105, 105});
  Add(balcony, s + "_trim", {225, 240, 20, 100, -105, 105});
  Add(balcony, s + "_trim", {145, 225, 20, 100, -105, -90});
  Add(balcony, s + "_trim", {145, 225, 20, 100, 90, 105});
  kit.push_back(balcony);
  return kit;
}

}  // namespace Kitgen
