// kitgen's texture sheets: the same bytes on every run, strips apart from each other whose looks
// run on where the kit's faces meet, and every face of the shipped pieces on the sheet, inside
// its own strip.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Obj.h>

#include "TestSupport.h"
#include "kitgen/FaceText.h"
#include "kitgen/SheetImage.h"
#include "kitgen/Sheets.h"
#include "kitgen/Shop.h"
#include "kitgen/SlopedText.h"
#include "kitgen/Styles.h"
#include "kitgen/Terraces.h"
#include "kitgen/Variants.h"
#include "kitgen/Wings.h"
#include "ShippedKit.h"

namespace {

using namespace Kitgen;

using TestSupport::kShipped;

// Each shipped style with its variants, pitched palette and gable wall, as kitgen writes it.
std::vector<Style> ShippedStyles() {
  std::vector<Style> styles = {ModernStyle(), ClassicStyle(), ShopStyle()};
  for (Style& style : styles) {
    if (style.name != "S") {
      const std::vector<PieceSpec> variants = style.name == "A" ? ModernVariants() : ClassicVariants();
      style.pieces.insert(style.pieces.end(), variants.begin(), variants.end());
    }
    const std::vector<Material> roofing = PitchedPalette(style.name);
    style.palette.insert(style.palette.end(), roofing.begin(), roofing.end());
    style.pieces.push_back(GableWall(StylePitch(style.name)));
  }
  return styles;
}

// How far the storeys' inner corner keeps its trims past the corner, as kitgen takes it.
int InnerTrim(const std::string& i_style) {
  const detail::Design design = i_style == "A"   ? detail::ModernDesign()
                                : i_style == "S" ? detail::ShopDesign()
                                                 : detail::ClassicDesign();
  return detail::InnerParts(design).front().z1 - detail::kHalf;
}

TerraceDesign StyleTerrace(const std::string& i_style) {
  if (i_style == "A") return ModernTerrace();
  if (i_style == "B") return ClassicTerrace();
  return ShopTerrace();
}

// Every face of a style's pieces, terraces and pitched roofs (wings' pieces too), as kitgen writes them.
std::vector<TexturedFace> StyleFaces(const Style& i_style) {
  std::vector<TexturedFace> faces;
  const TerraceKit terraces = TerracePieces(StyleTerrace(i_style.name));
  std::vector<PieceSpec> boxed = i_style.pieces;
  boxed.insert(boxed.end(), terraces.boxed.begin(), terraces.boxed.end());
  std::vector<SlopedPiece> sloped = terraces.sloped;
  const std::vector<SlopedPiece> roofs = PitchedPieces(StylePitch(i_style.name));
  const std::vector<SlopedPiece> wings = WingPieces(StylePitch(i_style.name), InnerTrim(i_style.name));
  sloped.insert(sloped.end(), roofs.begin(), roofs.end());
  sloped.insert(sloped.end(), wings.begin(), wings.end());
  for (const PieceSpec& piece : boxed) {
    const std::vector<TexturedFace> some = BoxFaces(MakeSurface(piece.steps, piece.open, piece.parts));
    faces.insert(faces.end(), some.begin(), some.end());
  }
  for (const SlopedPiece& piece : sloped) {
    const std::vector<TexturedFace> some = SlopedFaces(piece.faces);
    faces.insert(faces.end(), some.begin(), some.end());
  }
  return faces;
}

// The chunk types of a PNG file, in order, and its size from the header.
std::vector<std::string> Chunks(const std::string& i_png, int& o_width, int& o_height) {
  std::vector<std::string> types;
  const auto word = [&](std::size_t i_at) {
    std::size_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<unsigned char>(i_png[i_at + k]);
    return value;
  };
  o_width = static_cast<int>(word(16));
  o_height = static_cast<int>(word(20));
  for (std::size_t at = 8; at + 8 <= i_png.size(); at += 12 + word(at)) types.push_back(i_png.substr(at + 4, 4));
  return types;
}

// The sheets in units/ are the bytes kitgen writes: Kit.CommittedFilesAreWhatTheGeneratorWrites
// runs it and compares every file, so every run writes the same bytes, and these are they (a
// second run here would only repeat that, at the cost of the whole kit once more).
TEST(Sheets, TheGeneratorWritesTheSameSquareImagesWithoutTimeOrTextOnEveryRun) {
  for (const std::string name : {"A.png", "A.normal.png", "B.png", "B.normal.png", "S.png", "S.normal.png"}) {
    const std::string bytes = TestSupport::ReadFile(kShipped + "/" + name);
    ASSERT_GT(bytes.size(), 24u) << name;
    int width = 0, height = 0;
    const std::vector<std::string> chunks = Chunks(bytes, width, height);
    EXPECT_EQ(width, kSheetSize) << name;
    EXPECT_EQ(height, kSheetSize) << name;
    ASSERT_GE(chunks.size(), 3u) << name;
    EXPECT_EQ(chunks.front(), "IHDR") << name;
    EXPECT_EQ(chunks.back(), "IEND") << name;
    for (std::size_t k = 1; k + 1 < chunks.size(); ++k) EXPECT_EQ(chunks[k], "IDAT") << name;
  }
}

// Strips and their gutters lie inside the sheet and never overlap; every material of a palette
// has one.
TEST(Sheets, EveryMaterialHasAStripInsideTheSheetApartFromTheOthers) {
  for (const Style& style : ShippedStyles()) {
    const Sheet sheet = StyleSheet(style.name, style.palette);
    for (const Material& material : style.palette) EXPECT_NE(FindStrip(sheet, material.name), nullptr) << material.name;
    for (std::size_t a = 0; a < sheet.strips.size(); ++a) {
      const Strip& s = sheet.strips[a];
      EXPECT_GE(s.x - kGutter, 0) << s.material;
      EXPECT_GE(s.y - kGutter, 0) << s.material;
      EXPECT_LE(s.x + s.width + kGutter, kSheetSize) << s.material;
      EXPECT_LE(s.y + s.height + kGutter, kSheetSize) << s.material;
      for (std::size_t b = a + 1; b < sheet.strips.size(); ++b) {
        const Strip& t = sheet.strips[b];
        const bool apart = s.x + s.width + kGutter <= t.x - kGutter || t.x + t.width + kGutter <= s.x - kGutter ||
                           s.y + s.height + kGutter <= t.y - kGutter || t.y + t.height + kGutter <= s.y - kGutter;
        EXPECT_TRUE(apart) << s.material << " and " << t.material;
      }
    }
  }
}

// Every look repeats every cell along its strip, and every period up a repeating strip, gutters
// included: a cell's right end shows what the next cell's left end shows, a storey's top what the
// storey above shows at its foot, colour and relief.
TEST(Sheets, LooksRunOnAcrossCellsAndStoreys) {
  for (const Style& style : ShippedStyles()) {
    for (const Strip& strip : StyleSheet(style.name, style.palette).strips) {
      for (int k = -kGutter; k < kGutter; ++k) {
        for (const int y : {-kGutter, 0, strip.height / 2, strip.height + kGutter - 1}) {
          const Texel in = LookAt(strip, k, y), next = LookAt(strip, k + kCellTexels, y);
          ASSERT_TRUE(in.colour.r == next.colour.r && in.colour.g == next.colour.g &&
                      in.colour.b == next.colour.b && in.height == next.height)
              << strip.material << " at x " << k << ", y " << y;
        }
        if (strip.period == 0) continue;
        for (const int x : {-kGutter, 0, 100, strip.width}) {
          const Texel in = LookAt(strip, x, k), above = LookAt(strip, x, k + strip.period);
          ASSERT_TRUE(in.colour.r == above.colour.r && in.colour.b == above.colour.b && in.height == above.height)
              << strip.material << " at x " << x << ", y " << k;
        }
      }
    }
  }
}

// Every face of every shipped piece lands inside its own strip.
TEST(Sheets, EveryFaceOfTheShippedPiecesLiesInsideItsStrip) {
  for (const Style& style : ShippedStyles()) {
    const Sheet sheet = StyleSheet(style.name, style.palette);
    for (const TexturedFace& face : StyleFaces(style)) {
      const Strip* strip = FindStrip(sheet, face.material);
      ASSERT_NE(strip, nullptr) << face.material;
      for (const std::array<double, 2>& at : SheetUvs(sheet, face.material, face.uv)) {
        const double x = at[0] * kSheetSize - strip->x, y = at[1] * kSheetSize - strip->y;
        EXPECT_TRUE(x >= -1e-6 && y >= -1e-6 && x <= strip->width + 1e-6 && y <= strip->height + 1e-6)
            << face.material << " at " << x << ", " << y << " of its strip";
      }
    }
  }
}

// Faces that meet across a cell's end or a storey's top sample texels one period apart, and a
// pitched roof's eave and the slopes above it continue each other up the slope.
TEST(Sheets, FacesMeetingAcrossCellsStoreysAndRoofStepsSampleOnePattern) {
  const Sheet sheet = ClassicSheet(ClassicStyle().palette);
  const auto pixels = [&](const std::string& i_material, const std::vector<std::array<double, 2>>& i_uv) {
    std::vector<std::array<double, 2>> at = SheetUvs(sheet, i_material, i_uv);
    for (std::array<double, 2>& p : at) p = {p[0] * kSheetSize, p[1] * kSheetSize};
    return at;
  };
  // A storey's wall: u -1.5..1.5, v 0..3 m fill the strip exactly, a whole period each way.
  const auto wall = pixels("B_wall", {{-1.5, 0}, {1.5, 0}, {1.5, 3}, {-1.5, 3}});
  EXPECT_NEAR(wall[1][0] - wall[0][0], kCellTexels, 1e-9);
  EXPECT_NEAR(wall[2][1] - wall[1][1], kCellTexels, 1e-9);
  // A wall's top (v -1.5..1.5) goes up half a storey: a whole number (18) of brick courses.
  const auto top = pixels("B_wall", {{1.2, -1.5}, {1.5, -1.5}, {1.5, 1.5}, {1.2, 1.5}});
  const double courses = (top[0][1] - (-1.5 * kTexelsPerMetre + wall[0][1])) / (kCellTexels / 36.0);
  EXPECT_NEAR(courses, std::round(courses), 1e-9);
  // The top of a string course runs along the facade in v: turned, its ends a cell apart.
  const auto course = pixels("B_trim", {{1.5, -1.5}, {1.6, -1.5}, {1.6, 1.5}, {1.5, 1.5}});
  EXPECT_NEAR(course[2][0] - course[1][0], kCellTexels, 1e-9);

  // Pitched roofs: the slope of a cell is one period of the roofing's look, the eave's foot the
  // strip's foot, the head of every step the strip's top.
  const Strip* roofing = FindStrip(sheet, "B_roofing");
  ASSERT_NE(roofing, nullptr);
  double eaveFoot = 1e30, eaveHead = -1e30, slopeFoot = 1e30, slopeHead = -1e30;
  for (const SlopedPiece& piece : PitchedPieces(ClassicPitch())) {
    if (piece.name != "B_eave" && piece.name != "B_slope") continue;
    for (const TexturedFace& face : SlopedFaces(piece.faces)) {
      if (face.material != "B_roofing") continue;
      for (const std::array<double, 2>& p : pixels(face.material, face.uv)) {
        double& foot = piece.name == "B_eave" ? eaveFoot : slopeFoot;
        double& head = piece.name == "B_eave" ? eaveHead : slopeHead;
        foot = std::min(foot, p[1] - roofing->y);
        head = std::max(head, p[1] - roofing->y);
      }
    }
  }
  EXPECT_NEAR(eaveFoot, 0, 1e-6);
  EXPECT_NEAR(slopeHead - slopeFoot, roofing->period, 1e-6);
  EXPECT_NEAR(eaveHead, slopeHead, 1e-6);
  EXPECT_LE(slopeHead, roofing->height + 1e-6);
}

// Every face of every shipped unit file whose material has a map in its palette has texture
// coordinates on the sheet (0..1), whatever kind of piece it is.
TEST(Sheets, EveryFaceWithAMappedMaterialHasSheetCoordinates) {
  std::size_t checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
    if (entry.path().extension() != ".obj" || entry.path().filename().string().rfind("base_", 0) == 0) continue;
    Obj::Mesh mesh;
    ASSERT_TRUE(Obj::ReadMesh(entry.path().string(), mesh)) << entry.path();
    ASSERT_EQ(mesh.libraries.size(), 1u) << entry.path();
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    ASSERT_TRUE(Mtl::ReadLibrary(kShipped + "/" + mesh.libraries[0], library, findings));
    std::size_t corner = 0;
    for (std::size_t face = 0; face < mesh.polycount.size(); ++face) {
      const std::string& name = mesh.materials.at(mesh.faceMaterials[face]);
      bool mapped = false;
      for (const Mtl::Material& material : library.materials)
        mapped = mapped || (material.name == name && Mtl::FindTexture(material, "map_Kd") != nullptr);
      EXPECT_TRUE(mapped) << entry.path().filename() << ": " << name << " has no map";
      for (std::uint32_t k = 0; k < mesh.polycount[face]; ++k, ++corner) {
        const Obj::Corner& c = mesh.corners[corner];
        ASSERT_NE(c.uv, Obj::kAbsent) << entry.path().filename() << ": a face of " << name;
        const Ostrel::UV& uv = mesh.uvs[c.uv];
        EXPECT_TRUE(uv.u >= 0 && uv.u <= 1 && uv.v >= 0 && uv.v <= 1) << entry.path().filename() << ": " << name;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000u);
}

}  // namespace
