// kitgen: writes the unit kit that ships with towerkit, one OBJ file per piece and style and one
// material file per style.
//
//   kitgen [folder]      (default folder: units)
//
// Every piece is one clean surface (see Surface.h and Styles.h, and Pitched.h and Roofs.h for the
// pitched roof pieces, whose faces slope): one v line per distinct corner, one vn line per
// direction its faces face, one vt line per distinct texture coordinate, and the faces in runs of
// one material, each run after a usemtl line. The tool shifts each kind of index
// of a unit by the count of that kind placed before it, so the three counts may differ.
// Texture coordinates are in metres on the face's own plane, as a viewer outside that face sees
// it. A style's material file is named after the style alone (A.mtl): with no "_" in its name,
// it adds no style to the tool's list.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Triangulate.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/NumberFormat.h>

#include "Roofs.h"
#include "Shop.h"
#include "SlopedText.h"
#include "Styles.h"
#include "Terraces.h"
#include "Variants.h"

namespace {

// Appends " x y ..." and a line feed, each value in the unit given (centimetres become metres).
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

Kitgen::TerraceDesign StyleTerrace(const std::string& i_style) {
  if (i_style == "A") return Kitgen::ModernTerrace();
  if (i_style == "B") return Kitgen::ClassicTerrace();
  return Kitgen::ShopTerrace();
}

float Metres(int i_cm) { return static_cast<float>(i_cm) / 100.0f; }

// Texture axes as a viewer outside the face sees them: u to the right, v up (for the top and the
// bottom, v away from a viewer standing on the +x side), in centimetres.
std::pair<int, int> TextureAt(const Kitgen::Face& i_face, const Kitgen::Point3& i_p) {
  if (i_face.axis == 0) return {-i_face.sign * i_p[2], i_p[1]};
  if (i_face.axis == 1) return {i_p[0], -i_face.sign * i_p[2]};
  return {i_face.sign * i_p[0], i_p[1]};
}

std::string PieceText(const Kitgen::PieceSpec& i_piece, const std::vector<Kitgen::Material>& i_palette) {
  std::vector<Kitgen::Face> faces;
  try {
    faces = Kitgen::MakeSurface(i_piece.steps, i_piece.open);
  } catch (const std::exception& e) {
    throw std::runtime_error(i_piece.name + ": " + e.what());
  }
  // Faces in the palette's order of materials, so that each material is one run.
  const auto rank = [&](const std::string& i_material) {
    for (std::size_t k = 0; k < i_palette.size(); ++k)
      if (i_palette[k].name == i_material) return k;
    return i_palette.size();
  };
  std::stable_sort(faces.begin(), faces.end(), [&](const Kitgen::Face& i_a, const Kitgen::Face& i_b) {
    return rank(i_a.material) < rank(i_b.material);
  });

  std::map<Kitgen::Point3, std::size_t> vertexIndex;
  std::map<std::pair<int, int>, std::size_t> uvIndex;
  std::map<std::pair<int, int>, std::size_t> normalIndex;  // (axis, sign)
  std::string v, vt, vn, f;
  std::string material;
  for (const Kitgen::Face& face : faces) {
    if (!i_piece.palette.empty() && face.material != material) {
      material = face.material;
      f += "usemtl " + material + "\n";
    }
    const auto [n, newNormal] = normalIndex.try_emplace({face.axis, face.sign}, normalIndex.size() + 1);
    if (newNormal) {
      float normal[3] = {0, 0, 0};
      normal[face.axis] = static_cast<float>(face.sign);
      vn += "vn";
      AppendNumbers(vn, {normal[0], normal[1], normal[2]});
    }
    // Every reader reads the same triangles, none of them flat: the polygon is cut here, in its
    // plane, keeping its collinear corners (no T-junction with its neighbours).
    std::vector<std::string> corners;  // each corner's "v/vt/vn"
    std::vector<Ostrel::VectorF> polygon;
    for (const Kitgen::Point3& p : face.corners) {
      const auto [at, newVertex] = vertexIndex.try_emplace(p, vertexIndex.size() + 1);
      if (newVertex) {
        v += "v";
        AppendNumbers(v, {Metres(p[0]), Metres(p[1]), Metres(p[2])});
      }
      const auto [uv, newUv] = uvIndex.try_emplace(TextureAt(face, p), uvIndex.size() + 1);
      if (newUv) {
        vt += "vt";
        AppendNumbers(vt, {Metres(uv->first.first), Metres(uv->first.second)});
      }
      corners.push_back(std::to_string(at->second) + '/' + std::to_string(uv->second) + '/' +
                        std::to_string(n->second));
      polygon.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    }
    std::vector<Ostrel::Triangulation::CornerTriangle> triangles;
    if (Ostrel::Triangulation::CutPolygon(polygon, triangles) !=
        Ostrel::Triangulation::PolygonShape::Convex) {
      throw std::runtime_error(i_piece.name + ": a face is not a convex polygon");
    }
    for (const Ostrel::Triangulation::CornerTriangle& triangle : triangles) {
      f += "f " + corners[triangle[0]] + ' ' + corners[triangle[1]] + ' ' + corners[triangle[2]] + '\n';
    }
  }
  std::string text =
      "# " + i_piece.name +
      ": unit mesh of the towerkit kit, written by tools/kitgen; rebuild it rather than edit it.\n" +
      kFacadeFrame;
  if (!i_piece.palette.empty()) text += "mtllib " + i_piece.palette + ".mtl\n";
  return text + v + vt + vn + f;
}

std::string PaletteText(const Kitgen::Style& i_style) {
  std::string text =
      "# " + i_style.name +
      ": materials of the towerkit kit's style, written by tools/kitgen; rebuild it rather than "
      "edit it.\n# Colours are sRGB.\n";
  for (const Kitgen::Material& m : i_style.palette) {
    // No ambient colour of its own (viewers that read Ka as the ambient light's share wash the
    // colours out), and illumination model 2, diffuse with specular highlights, for glass too:
    // the model every reader agrees on (4 makes glass metallic in some, unknown in others); the
    // glass is see-through by its d.
    text += "\nnewmtl " + m.name + "\nKa 0 0 0\nKd";
    AppendNumbers(text, {m.kd[0], m.kd[1], m.kd[2]});
    text += "Ks";
    AppendNumbers(text, {m.ks, m.ks, m.ks});
    text += "Ns";
    AppendNumbers(text, {m.ns});
    text += "d";
    AppendNumbers(text, {m.d});
    text += "illum 2\n";
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

void PrintUsage() {
  std::cout << "Usage: kitgen [folder]\n"
               "Writes the unit kit that ships with towerkit (one OBJ file per piece and style, one\n"
               "material file per style) into folder, by default units.\n"
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
      if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, {}))) return 1;
      ++files;
    }
    Kitgen::Style modern = Kitgen::ModernStyle();
    Kitgen::Style classic = Kitgen::ClassicStyle();
    for (Kitgen::Style* style : {&modern, &classic}) {
      const std::vector<Kitgen::PieceSpec> variants =
          style == &modern ? Kitgen::ModernVariants() : Kitgen::ClassicVariants();
      style->pieces.insert(style->pieces.end(), variants.begin(), variants.end());
      const std::vector<Kitgen::Material> roofing = Kitgen::PitchedPalette(style->name);
      style->palette.insert(style->palette.end(), roofing.begin(), roofing.end());
      style->pieces.push_back(Kitgen::GableWall(Kitgen::StylePitch(style->name)));
    }
    // The shop front offers flat roofs only: it is meant to stand under storeys of other styles.
    const Kitgen::Style shop = Kitgen::ShopStyle();
    for (const Kitgen::Style& style : {modern, classic, shop}) {
      if (!WriteText(folder / (style.name + ".mtl"), PaletteText(style))) return 1;
      ++files;
      for (const Kitgen::PieceSpec& piece : style.pieces) {
        if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, style.palette))) return 1;
        ++files;
      }
      const Kitgen::TerraceKit terraces = Kitgen::TerracePieces(StyleTerrace(style.name));
      for (const Kitgen::PieceSpec& piece : terraces.boxed) {
        if (!WriteText(folder / (piece.name + ".obj"), PieceText(piece, style.palette))) return 1;
        ++files;
      }
      for (const Kitgen::SlopedPiece& piece : terraces.sloped) {
        if (!WriteText(folder / (piece.name + ".obj"),
                       Kitgen::SlopedPieceText(piece, style.name, style.palette, kFacadeFrame)))
          return 1;
        ++files;
      }
      if (style.name == shop.name) continue;
      for (const Kitgen::SlopedPiece& piece : Kitgen::PitchedPieces(Kitgen::StylePitch(style.name))) {
        if (!WriteText(folder / (piece.name + ".obj"), Kitgen::SlopedPieceText(piece, style.name, style.palette)))
          return 1;
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
