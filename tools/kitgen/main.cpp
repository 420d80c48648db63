// kitgen: writes the unit kit that ships with towerkit, one OBJ file per piece and style and one
// material file per style.
//
//   kitgen [folder]      (default folder: units)
//
// Beside each style's material file it writes the style's texture sheet and its normal map
// (A.png and A.normal.png beside A.mtl; see Sheets.h and docs/textures.md), the same bytes on
// every run. Last, it draws each style's card sheet and its normal map from the written kit
// (A.cards.png and A.cards.normal.png; see ostrel/write/CardSheets.h).
//
// Every piece is one clean surface (see Surface.h and Styles.h, Terraces.h and Shop.h, and
// Pitched.h and Roofs.h for the pitched roof pieces, whose faces slope): one v line per distinct corner, one vn line per
// direction its faces face, one vt line per distinct texture coordinate, and the faces in runs of
// one material, each run after a usemtl line (FaceText.h). The tool shifts each kind of index of a
// unit by the count of that kind placed before it, so the three counts may differ. Texture
// coordinates are on the style's sheet. A style's material file is named after the style alone
// (A.mtl): with no "_" in its name, it adds no style to the tool's list.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/NumberFormat.h>
#include <ostrel/write/CardSheets.h>

#include "FaceText.h"
#include "Roofs.h"
#include "SheetImage.h"
#include "Sheets.h"
#include "Shop.h"
#include "SlopedText.h"
#include "Wings.h"
#include "Styles.h"
#include "Terraces.h"
#include "Variants.h"

namespace {

// Appends " x y ..." and a line feed.
void AppendNumbers(std::string& io_text, std::initializer_list<float> i_values) {
  char number[Ostrel::Format::kMaxFloatChars];
  for (const float value : i_values) {
    io_text += ' ';
    io_text.append(number, Ostrel::Format::AppendFloat(number, value));
  }
  io_text += '\n';
}

// The frame a facade piece's file states in its header.
const char* const kFacadeFrame =
    "# Metres; +x out of the facade, +y up, +z along the facade; the cell spans x and z -1.5..1.5, y 0..3.\n";

// The trims, windows and parapet of style i_style.
Kitgen::detail::Design DesignOf(const std::string& i_style) {
  return i_style == "A"   ? Kitgen::detail::ModernDesign()
         : i_style == "S" ? Kitgen::detail::ShopDesign()
                          : Kitgen::detail::ClassicDesign();
}

// How far past the corner the storeys' inner-corner piece keeps its +x cell's part (Styles.h): the
// hip roof's eave over the other cell meets the piece's wall top there.
int InnerTrim(const std::string& i_style) {
  return Kitgen::detail::InnerParts(DesignOf(i_style)).front().z1 - Kitgen::detail::kHalf;
}

Kitgen::TerraceDesign StyleTerrace(const std::string& i_style) {
  if (i_style == "A") return Kitgen::ModernTerrace();
  if (i_style == "B") return Kitgen::ClassicTerrace();
  return Kitgen::ShopTerrace();
}

std::string PieceText(const Kitgen::PieceSpec& i_piece, const std::vector<Kitgen::Material>& i_palette,
                      const Kitgen::Sheet& i_sheet) {
  std::vector<Kitgen::Face> faces;
  try {
    faces = Kitgen::MakeSurface(i_piece.steps, i_piece.open, i_piece.parts);
  } catch (const std::exception& e) {
    throw std::runtime_error(i_piece.name + ": " + e.what());
  }
  std::string text =
      "# " + i_piece.name +
      ": unit mesh of the towerkit kit, written by tools/kitgen; rebuild it rather than edit it.\n" +
      kFacadeFrame;
  if (!i_piece.palette.empty()) text += "mtllib " + i_piece.palette + ".mtl\n";
  return text +
         Kitgen::FacesText(i_piece.name, Kitgen::BoxFaces(faces), i_palette, i_sheet, !i_piece.palette.empty());
}

// A material with a strip on the style's sheet takes its colour from the sheet (the strip is
// painted in the palette's colour): its Kd is white, so that a reader does not tint the map a
// second time, and the sheet's normal map gives it its relief.
std::string PaletteText(const Kitgen::Style& i_style, const Kitgen::Sheet& i_sheet) {
  std::string text =
      "# " + i_style.name +
      ": materials of the towerkit kit's style, written by tools/kitgen; rebuild it rather than "
      "edit it.\n# Colours are sRGB; a material with a map takes its colour from the map.\n";
  for (const Kitgen::Material& m : i_style.palette) {
    // No ambient colour of its own (viewers that read Ka as the ambient light's share wash the
    // colours out), and illumination model 2, diffuse with specular highlights, for glass too:
    // the model every reader agrees on (4 makes glass metallic in some, unknown in others).
    const bool mapped = Kitgen::FindStrip(i_sheet, m.name) != nullptr;
    text += "\nnewmtl " + m.name + "\nKa 0 0 0\nKd";
    if (mapped) {
      AppendNumbers(text, {1, 1, 1});
    } else {
      AppendNumbers(text, {m.kd[0], m.kd[1], m.kd[2]});
    }
    text += "Ks";
    AppendNumbers(text, {m.ks, m.ks, m.ks});
    text += "Ns";
    AppendNumbers(text, {m.ns});
    text += "d";
    AppendNumbers(text, {m.d});
    text += "illum 2\n";
    if (mapped) text += "map_Kd " + i_sheet.style + ".png\nnorm " + i_sheet.style + ".normal.png\n";
  }
  return text;
}

bool WriteText(const std::filesystem::path& i_path, const std::string& i_text) {
  std::ofstream out(i_path, std::ios::binary | std::ios::trunc);
  out << i_text;
  out.close();
  if (out) return true;
  Ostrel::Message::PrintError("cannot write " + i_path.string());
  return false;
}

// The sheet's colours as STYLE.png and its normal map as STYLE.normal.png: no "_" in either
// name, so that neither adds a style to the tool's list.
bool WriteSheet(const std::filesystem::path& i_folder, const Kitgen::Sheet& i_sheet) {
  const Kitgen::SheetImages images = Kitgen::PaintSheet(i_sheet);
  for (const auto& [name, image] : {std::pair{i_sheet.style + ".png", &images.colour},
                                    std::pair{i_sheet.style + ".normal.png", &images.normal}}) {
    if (Kitgen::WriteBytes(i_folder / name, Kitgen::EncodePng(*image))) continue;
    Ostrel::Message::PrintError("cannot write " + (i_folder / name).string());
    return false;
  }
  return true;
}

void PrintUsage() {
  std::cout << "Usage: kitgen [folder]\n"
               "Writes the unit kit that ships with towerkit (one OBJ file per piece and style, one\n"
               "material file, texture sheet and normal map per style) into folder, by default units.\n"
               "Options are:\n"
               " --help               Shows this help\n";
}

}  // namespace

int main(int argc, char** argv) {
  Ostrel::Message::SetAppName("kitgen");
  Ostrel::Message::SetAppVersion("0.1");
  Ostrel::Message::SetVerbosity(3);

  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    }
    // A folder named like an option is far more likely a typo than a wish.
    if (arg.size() > 1 && arg[0] == '-') {
      Ostrel::Message::PrintError("unknown option '" + arg + "' (kitgen --help lists the options)");
      return 1;
    }
    folders.push_back(arg);
  }
  if (folders.size() > 1) {
    Ostrel::Message::PrintError("more than one folder: '" + folders[0] + "' and '" + folders[1] + "'");
    return 1;
  }
  const std::filesystem::path folder = folders.empty() ? "units" : folders[0];

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::size_t files = 0;
  try {
    for (const Kitgen::PieceSpec& piece : Kitgen::BasePieces()) {
      if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, {}, Kitgen::Sheet{}))) return 1;
      ++files;
    }
    Kitgen::Style modern = Kitgen::ModernStyle();
    Kitgen::Style classic = Kitgen::ClassicStyle();
    Kitgen::Style shop = Kitgen::ShopStyle();
    for (Kitgen::Style* style : {&modern, &classic}) {
      const std::vector<Kitgen::PieceSpec> variants =
          style == &modern ? Kitgen::ModernVariants() : Kitgen::ClassicVariants();
      style->pieces.insert(style->pieces.end(), variants.begin(), variants.end());
    }
    // The shop front has no variants: it is meant to stand under storeys of other styles. A
    // building of its own may still take a pitched roof.
    for (Kitgen::Style* style : {&modern, &classic, &shop}) {
      const std::vector<Kitgen::Material> roofing = Kitgen::PitchedPalette(style->name);
      style->palette.insert(style->palette.end(), roofing.begin(), roofing.end());
      style->pieces.push_back(Kitgen::GableWall(Kitgen::StylePitch(style->name)));
      style->pieces.push_back(Kitgen::detail::RoofCapParty(style->name));
      using Ostrel::Buildings::PieceKind;
      const auto named = [&](PieceKind i_kind) {
        const std::string name = Ostrel::Buildings::PieceName(style->name, i_kind);
        return std::find_if(style->pieces.begin(), style->pieces.end(),
                            [&](const Kitgen::PieceSpec& i_piece) { return i_piece.name == name; });
      };
      for (const auto& [kind, party] : {std::pair{PieceKind::Angle, PieceKind::AngleParty},
                                        std::pair{PieceKind::AngleRoof, PieceKind::AngleRoofParty}}) {
        const auto angle = named(kind);
        if (angle == style->pieces.end()) continue;
        style->pieces.push_back(Kitgen::detail::AngleParty(*angle, party));
        if (kind == PieceKind::Angle && Kitgen::detail::RoofStandsOut(DesignOf(style->name)))
          Kitgen::detail::ClearCorniceTops(style->pieces.back(), DesignOf(style->name));
      }
      const auto roofParty = named(PieceKind::AngleRoofParty), roofAngle = named(PieceKind::AngleRoof);
      if (roofParty != style->pieces.end() && roofAngle != style->pieces.end()) {
        const Kitgen::PieceSpec party = *roofParty, angle = *roofAngle;
        for (const bool left : {true, false})
          style->pieces.push_back(Kitgen::detail::AngleRoofPartySide(party, angle, left));
      }
      std::vector<Kitgen::PieceSpec> joins;  // written after the other party pieces
      for (const auto& [kind, party] : {std::pair{PieceKind::GroundClose, PieceKind::GroundCloseParty},
                                        std::pair{PieceKind::FloorClose, PieceKind::FloorCloseParty}}) {
        const auto close = named(kind);
        if (close == style->pieces.end()) continue;
        const Kitgen::PieceSpec wall = *close;
        style->pieces.push_back(Kitgen::detail::ClosePartyStorey(wall, party));
        const bool ground = party == PieceKind::GroundCloseParty;
        joins.push_back(Kitgen::detail::ClosePartyStorey(
            wall, ground ? PieceKind::GroundClosePartyJoinLeft : PieceKind::FloorClosePartyJoinLeft, false, true));
        joins.push_back(Kitgen::detail::ClosePartyStorey(
            wall, ground ? PieceKind::GroundClosePartyJoinRight : PieceKind::FloorClosePartyJoinRight, true, false));
        joins.push_back(Kitgen::detail::ClosePartyStorey(
            wall, ground ? PieceKind::GroundClosePartyJoin : PieceKind::FloorClosePartyJoin, false, false));
      }
      const auto angleParty = named(PieceKind::AngleParty);
      if (angleParty != style->pieces.end()) {
        const Kitgen::PieceSpec party = *angleParty;
        for (const bool left : {true, false}) {
          style->pieces.push_back(Kitgen::detail::AnglePartySide(party, left));
          joins.push_back(Kitgen::detail::AnglePartySide(party, left, false));
        }
      }
      for (const bool left : {true, false}) {
        const auto roof = named(left ? PieceKind::RoofPartyLeft : PieceKind::RoofPartyRight);
        if (roof == style->pieces.end()) continue;
        const Kitgen::PieceSpec party = *roof;
        style->pieces.push_back(Kitgen::detail::RoofPartyShort(party, left));
      }
      // A cornice that stands out further than the storeys' bands stops at the party sides: the
      // party parapet, and the roof corners' party sides cut back.
      const auto roof = named(PieceKind::Roof);
      if (roof != style->pieces.end() && Kitgen::detail::RoofStandsOut(DesignOf(style->name))) {
        const Kitgen::PieceSpec parapet = *roof;
        style->pieces.push_back(Kitgen::detail::ClosePartyStorey(parapet, PieceKind::RoofCloseParty));
        for (const auto& [kind, x, z] : {std::tuple{PieceKind::AngleRoofParty, true, true},
                                         std::tuple{PieceKind::AngleRoofPartyLeft, false, true},
                                         std::tuple{PieceKind::AngleRoofPartyRight, true, false}}) {
          const auto corner = named(kind);
          if (corner != style->pieces.end()) Kitgen::detail::CutPartySides(*corner, x, z);
        }
      }
      style->pieces.insert(style->pieces.end(), joins.begin(), joins.end());
    }
    for (const Kitgen::Style& style : {modern, classic, shop}) {
      const Kitgen::Sheet sheet = Kitgen::StyleSheet(style.name, style.palette);
      if (!WriteText(folder / (style.name + ".mtl"), PaletteText(style, sheet))) return 1;
      ++files;
      if (!sheet.strips.empty()) {
        if (!WriteSheet(folder, sheet)) return 1;
        files += 2;
      }
      for (const Kitgen::PieceSpec& piece : style.pieces) {
        if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, style.palette, sheet))) return 1;
        ++files;
      }
      const Kitgen::TerraceKit terraces = Kitgen::TerracePieces(StyleTerrace(style.name));
      for (const Kitgen::PieceSpec& piece : terraces.boxed) {
        if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, style.palette, sheet))) return 1;
        ++files;
      }
      for (const Kitgen::SlopedPiece& piece : terraces.sloped) {
        if (!WriteText(folder / (piece.name + ".obj"),
                       Kitgen::SlopedPieceText(piece, style.name, style.palette, sheet, kFacadeFrame)))
          return 1;
        ++files;
      }
      for (const Kitgen::SlopedPiece& piece : Kitgen::PitchedPieces(Kitgen::StylePitch(style.name))) {
        if (!WriteText(folder / (piece.name + ".obj"),
                       Kitgen::SlopedPieceText(piece, style.name, style.palette, sheet)))
          return 1;
        ++files;
      }
      for (const Kitgen::SlopedPiece& piece : Kitgen::WingPieces(Kitgen::StylePitch(style.name), InnerTrim(style.name))) {
        if (!WriteText(folder / (piece.name + ".obj"),
                       Kitgen::SlopedPieceText(piece, style.name, style.palette, sheet)))
          return 1;
        ++files;
      }
    }
    // The far levels' card sheets, drawn from the kit just written exactly as the tool draws
    // them, so that the tool finds them equal and names these files.
    const Ostrel::Buildings::Kit kit = Ostrel::Buildings::LoadKit(folder.string(), {"A", "B", "S"});
    for (const Ostrel::Buildings::CardSheet& sheet : Ostrel::Buildings::MakeCardSheets(kit)) {
      for (const Ostrel::Buildings::CardFile& file : Ostrel::Buildings::CardFilesOf(sheet)) {
        if (!WriteText(folder / file.name, *file.bytes)) return 1;
        ++files;
      }
    }
  } catch (const std::exception& e) {
    // A piece whose faces cannot be cut into polygons: a fault of its model, not of the disk.
    Ostrel::Message::PrintError(std::string("cannot make the kit: ") + e.what());
    return 1;
  }
  Ostrel::Message::PrintInfo("wrote " + std::to_string(files) + " files into " + folder.string());
  return 0;
}
