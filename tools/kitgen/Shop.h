#pragma once
// Style S, a shop front: a ground storey of large shop windows over stall risers, a shop door
// with side lights, and a painted fascia (the sign band) over each bay; quiet rendered upper
// storeys with plain windows, a flat parapet, or, standing alone, a shallow pitched roof of felt
// (Roofs.h). It is made to stand under storeys of the other styles as a band, so every storey
// keeps the cross-section they share at its top and bottom: the wall alone (x 120..150) at y 300,
// and the wall with a string course at its foot. Its roof row has style A's parapet, so that the
// terrace over a shop front meets A's corners too.
//
// Sizes as in Styles.h: centimetres in the piece's frame. The corner is the same piece on every
// storey, so nothing may run through a ground storey's ends that the upper storeys lack: the
// fascia stops short of each cell's ends, one sign board per bay.

#include <string>
#include <vector>

#include <ostrel/kit/PieceKind.h>

#include "Styles.h"
#include "Terraces.h"

namespace Kitgen {

namespace detail {

inline Design ShopDesign() {
  const std::string s = "S";
  Design design;
  design.storey = {{s + "_trim", kWallOuter, 160, 0, 15}};
  design.roof = {{s + "_wall", kWallInner, kWallOuter, 0, 110},
                 {s + "_trim", kWallOuter, 160, 0, 20},
                 {s + "_coping", 115, 155, 105, 115}};
  design.upper = {{-60, 60, 90, 240}, {{-55, -3, 95, 235}, {3, 55, 95, 235}}, 125, 133, 140};
  design.ground = {
      {-125, 125, 50, 238}, {{-119, 119, 56, 188}, {-119, -3, 196, 232}, {3, 119, 196, 232}}, 125, 133, 140};
  return design;
}

// The sign band over a bay and the small cornice on it, stopping 4 cm short of the cell's ends.
inline void AddFascia(PieceSpec& io_piece) {
  Add(io_piece, "S_fascia", {kWallOuter, 168, 246, 286, -146, 146});
  Add(io_piece, "S_trim", {kWallOuter, 172, 286, 292, -146, 146});
}

// A stall riser: the panel under a shop window, standing on the string course.
inline void AddRiser(PieceSpec& io_piece, int i_z0, int i_z1) {
  Add(io_piece, "S_riser", {kWallOuter, 156, 15, 50, i_z0, i_z1});
}

}  // namespace detail

// The shop front's terrace pieces: a glazed door over an upstand, a band of the trims' grey.
inline TerraceDesign ShopTerrace() {
  using namespace detail;
  const std::string s = "S";
  const Design design = ShopDesign();
  TerraceDesign terrace{s, design.storey, design.roof, {s + "_trim", 149, kWallOuter, 40, 50}, {}, {}, "", {}};
  terrace.door = {{-70, 70, 60, 250}, {{-64, -3, 66, 244}, {3, 64, 66, 244}}, 125, 133, 140};
  return terrace;
}

inline Style ShopStyle() {
  using namespace detail;
  using Ostrel::Buildings::PieceKind;
  const std::string s = "S";
  const Design design = ShopDesign();

  Style style{s,
              {{s + "_wall", {0.86f, 0.83f, 0.77f}, 0.04f, 4},
               {s + "_trim", {0.62f, 0.61f, 0.58f}, 0.06f, 10},
               {s + "_frame", {0.16f, 0.15f, 0.14f}, 0.45f, 110},
               {s + "_glass", {0.10f, 0.13f, 0.15f}, 0.90f, 450},
               {s + "_fascia", {0.08f, 0.26f, 0.22f}, 0.30f, 40},
               {s + "_riser", {0.20f, 0.22f, 0.25f}, 0.20f, 30},
               {s + "_roof", {0.36f, 0.36f, 0.37f}, 0.03f, 8},
               {s + "_coping", {0.70f, 0.71f, 0.72f}, 0.55f, 140},
               {s + "_balcony", {0.60f, 0.60f, 0.59f}, 0.07f, 12},
               {s + "_railing", {0.18f, 0.19f, 0.20f}, 0.40f, 60}},
              {}};
  std::vector<PieceSpec>& kit = style.pieces;
  kit.push_back(Corner(s, design));
  kit.push_back(CornerRoof(s, design));

  kit.push_back(Storey(s, PieceKind::Ground, design));
  AddGlazing(kit.back(), s, design.ground);
  AddRiser(kit.back(), -125, 125);
  AddFascia(kit.back());

  // A glazed shop door between two side lights, all under the fascia.
  kit.push_back(Storey(s, PieceKind::GroundDoor, design));
  Cut(kit.back(), {kWallOuter, 160, 0, 15, -56, 56});
  AddGlazing(kit.back(), s, {{-50, 50, 0, 238}, {{-44, 44, 8, 180}, {-44, 44, 190, 232}}, kWallInner, 128, 134});
  for (const int side : {-1, 1}) {
    const int z0 = side < 0 ? -125 : 62, z1 = side < 0 ? -62 : 125;
    AddGlazing(kit.back(), s, {{z0, z1, 50, 238}, {{z0 + 6, z1 - 6, 56, 232}}, 125, 133, 140});
    AddRiser(kit.back(), z0, z1);
  }
  AddFascia(kit.back());

  kit.push_back(Storey(s, PieceKind::GroundClose, design));
  AddFascia(kit.back());

  kit.push_back(Storey(s, PieceKind::Floor, design));
  AddGlazing(kit.back(), s, design.upper);
  Add(kit.back(), s + "_trim", {kWallOuter, 160, 80, 90, -70, 70});  // sill
  kit.push_back(Storey(s, PieceKind::FloorClose, design));
  kit.push_back(Roof(s, PieceKind::Roof, design));
  kit.push_back(Roof(s, PieceKind::RoofDoor, design, {{-60, 60, 0, 0}}));

  // A steel railing on a slab that wraps the string course; the slab and the side rails are let
  // into the wall, so that the balcony is a closed solid of its own.
  PieceSpec balcony{Ostrel::Buildings::PieceName(s, PieceKind::Balcony), s, {}, {}};
  Add(balcony, s + "_balcony", {145, 240, -5, 20, -100, 100});
  Add(balcony, s + "_railing", {232, 240, 92, 100, -100, 100});
  Add(balcony, s + "_railing", {145, 232, 92, 100, -100, -92});
  Add(balcony, s + "_railing", {145, 232, 92, 100, 92, 100});
  for (const int z : {-96, -48, 0, 48, 96}) Add(balcony, s + "_railing", {233, 239, 20, 92, z - 3, z + 3});
  for (const int z : {-96, 96}) Add(balcony, s + "_railing", {187, 193, 20, 92, z - 3, z + 3});
  kit.push_back(balcony);

  kit.push_back(RoofCap(s));
  kit.push_back(InnerCorner(s, design));
  kit.push_back(InnerCornerRoof(s, design));
  kit.push_back(RoofParty(s, design, true));
  kit.push_back(RoofParty(s, design, false));
  return style;
}

}  // namespace Kitgen
