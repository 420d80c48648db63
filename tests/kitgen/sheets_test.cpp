// kitgen's texture sheets: the same bytes on every run, strips that tile where the kit's faces
// meet, and every face of the shipped pieces inside its strip.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "kitgen/SheetImage.h"
#include "kitgen/Sheets.h"
#include "kitgen/Styles.h"
#include "kitgen/Variants.h"

namespace {

using namespace Kitgen;

std::vector<Sheet> BothSheets() {
  return {ModernSheet(ModernStyle().palette), ClassicSheet(ClassicStyle().palette)};
}

// The chunk types of a PNG file, in order.
std::vector<std::string> Chunks(const std::string& i_png) {
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 8 <= i_png.size();) {
    const auto byte = [&](std::size_t i_k) {
      return static_cast<std::size_t>(static_cast<unsigned char>(i_png[at + i_k]));
    };
    const std::size_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    types.push_back(i_png.substr(at + 4, 4));
    at += 12 + length;
  }
  return types;
}

TEST(Sheets, TwoRunsOfTheGeneratorWriteTheSameBytesAndNoTimeOrText) {
  TestSupport::ScratchDir first, second;
  for (const TestSupport::ScratchDir* scratch : {&first, &second}) {
    TestSupport::RunOptions options;
    options.program = KITGEN_BINARY;
    options.args = {"--sheets", scratch->path.string()};
    ASSERT_EQ(TestSupport::Run(options).status, 0);
  }
  for (const std::string name : {"A.png", "A.normal.png", "B.png", "B.normal.png"}) {
    const std::string bytes = TestSupport::ReadFile(first / name);
    ASSERT_GT(bytes.size(), 8u) << name;
    EXPECT_TRUE(bytes == TestSupport::ReadFile(second / name)) << name;
    std::vector<std::string> chunks = Chunks(bytes);
    ASSERT_GE(chunks.size(), 3u) << name;
    EXPECT_EQ(chunks.front(), "IHDR") << name;
    EXPECT_EQ(chunks.back(), "IEND") << name;
    for (std::size_t k = 1; k + 1 < chunks.size(); ++k) EXPECT_EQ(chunks[k], "IDAT") << name;
  }
}

// Each strip's look repeats across the sheet, gutters included, so that u wraps without a seam:
// the column past the right edge is the left column, colour and relief.
TEST(Sheets, EveryStripContinuesAcrossTheSheetsEdges) {
  for (const Sheet& sheet : BothSheets()) {
    for (const Strip& strip : sheet.strips) {
      for (int y = -kGutter; y < strip.height + kGutter; ++y) {
        for (const int x : {0, 1, kSheetWidth - 1}) {
          const Texel in = LookAt(strip, x, y), right = LookAt(strip, x + kSheetWidth, y),
                      left = LookAt(strip, x - kSheetWidth, y);
          ASSERT_TRUE(in.colour.r == right.colour.r && in.colour.g == right.colour.g &&
                      in.colour.b == right.colour.b && in.height == right.height)
              << strip.material << " at x " << x << ", y " << y;
          ASSERT_TRUE(in.colour.r == left.colour.r && in.height == left.height)
              << strip.material << " at x " << x << ", y " << y;
        }
      }
    }
  }
}

// A strip that repeats up the sheet (walls, roofs) holds one storey: its gutters show what the
// storey above and below show, so brick courses run on across v = 0 and 3 m.
TEST(Sheets, StoreyHighStripsContinueAcrossTheirTopAndFoot) {
  for (const Sheet& sheet : BothSheets()) {
    const SheetImages images = PaintSheet(sheet);
    const auto row = [&](const Image& i_image, const Strip& i_strip, int i_y) {
      const std::size_t stride = static_cast<std::size_t>(kSheetWidth) * 3;
      const std::size_t top = static_cast<std::size_t>(kSheetHeight - 1 - (i_strip.bottom + i_y)) * stride;
      return std::vector<std::uint8_t>(i_image.bytes.begin() + top, i_image.bytes.begin() + top + stride);
    };
    for (const Strip& strip : sheet.strips) {
      if (strip.period == 0) continue;
      ASSERT_EQ(strip.period, strip.height) << strip.material;
      for (int y = 0; y < kGutter; ++y) {
        EXPECT_TRUE(row(images.colour, strip, strip.height + y) == row(images.colour, strip, y))
            << strip.material << ": the row " << y << " above the top";
        EXPECT_TRUE(row(images.colour, strip, -1 - y) == row(images.colour, strip, strip.height - 1 - y))
            << strip.material << ": the row " << y << " below the foot";
      }
      // Inside the strip the normal map sees the same neighbours as across the seam.
      EXPECT_TRUE(row(images.normal, strip, 1) == row(images.normal, strip, strip.height + 1))
          << strip.material;
    }
  }
}

TEST(Sheets, StripsLieInsideTheSheetApartFromEachOther) {
  for (const Sheet& sheet : BothSheets()) {
    int above = 0;  // the first row not yet taken, from the bottom
    for (const Strip& strip : sheet.strips) {
      EXPECT_GE(strip.bottom - kGutter, above) << strip.material;
      above = strip.bottom + strip.height + kGutter;
    }
    EXPECT_LE(above, kSheetHeight) << sheet.style;
  }
}

// Every textured face of every shipped piece lands inside its own strip, the same size.
TEST(Sheets, EveryFaceOfTheShippedPiecesLiesInsideItsStrip) {
  std::vector<Style> styles = {ModernStyle(), ClassicStyle()};
  const std::vector<PieceSpec> variants[] = {ModernVariants(), ClassicVariants()};
  for (std::size_t k = 0; k < styles.size(); ++k) {
    Style& style = styles[k];
    style.pieces.insert(style.pieces.end(), variants[k].begin(), variants[k].end());
    const Sheet sheet = k == 0 ? ModernSheet(style.palette) : ClassicSheet(style.palette);
    for (const PieceSpec& piece : style.pieces) {
      for (const Face& face : MakeSurface(piece.steps, piece.open)) {
        const Extent extent = FaceExtent(face);
        const FaceMap map = MapFace(sheet, face.material, extent);
        ASSERT_NE(map.strip, nullptr) << piece.name << ": " << face.material;
        EXPECT_TRUE(map.fits) << piece.name << ": " << face.material;
        const double foot = static_cast<double>(map.strip->bottom) / kSheetHeight;
        const double top = static_cast<double>(map.strip->bottom + map.strip->height) / kSheetHeight;
        for (const Point3& p : face.corners) {
          const auto [u, v] = TextureAt(face, p);
          const std::array<double, 2> at = SheetUv(map, u / 100.0, v / 100.0);
          EXPECT_GE(at[1], foot - 1e-9) << piece.name << ": " << face.material;
          EXPECT_LE(at[1], top + 1e-9) << piece.name << ": " << face.material;
        }
      }
    }
  }
}

// Faces that meet across a cell's end or a storey's top sample the same texel on both sides:
// the sheet's u differs by a whole turn, the strip's v by its whole period.
TEST(Sheets, FacesMeetingAcrossCellsAndStoreysSampleOnePattern) {
  const Sheet sheet = ClassicSheet(ClassicStyle().palette);
  const auto same = [](double i_a, double i_b) { return std::abs(i_a - i_b) < 1e-9; };
  const auto whole = [](double i_d) {
    return std::abs(i_d - std::round(i_d)) < 1e-9 && std::round(i_d) != 0;
  };

  // A storey's wall: u -1.5..1.5, v 0..3 m, neither turned nor shifted.
  const FaceMap wall = MapFace(sheet, "B_wall", {-1.5, 1.5, 0, 3});
  EXPECT_FALSE(wall.turned);
  EXPECT_TRUE(whole(SheetUv(wall, 1.5, 1)[0] - SheetUv(wall, -1.5, 1)[0]));
  EXPECT_TRUE(same((SheetUv(wall, 0, 3)[1] - SheetUv(wall, 0, 0)[1]) * kSheetHeight, wall.strip->period));

  // The top of a string course runs along the facade in v: turned, its ends a whole turn apart.
  const FaceMap course = MapFace(sheet, "B_trim", {1.5, 1.6, -1.5, 1.5});
  EXPECT_TRUE(course.turned);
  EXPECT_TRUE(whole(SheetUv(course, 1.55, 1.5)[0] - SheetUv(course, 1.55, -1.5)[0]));

  // A pitched roof's face, 3 m along the eaves and 3.7 m up the slope: the slope along the
  // strip, the eaves across it, whole periods apart.
  const FaceMap roof = MapFace(sheet, "B_roofing", {-1.5, 1.5, 0, 3.7});
  EXPECT_TRUE(roof.turned);
  EXPECT_TRUE(roof.fits);
  EXPECT_TRUE(
      same((SheetUv(roof, -1.5, 1)[1] - SheetUv(roof, 1.5, 1)[1]) * kSheetHeight, roof.strip->period));

  // The door leaf, 1.5 x 2.25 m, turns so that its grain runs up it; a wall's top, v -1.5..1.5,
  // goes up half a storey, a whole number of brick courses.
  EXPECT_TRUE(MapFace(sheet, "B_door", {-0.75, 0.75, 0.15, 2.4}).turned);
  const FaceMap top = MapFace(sheet, "B_wall", {1.2, 1.5, -1.5, 1.5});
  EXPECT_FALSE(top.turned);
  EXPECT_TRUE(same(top.shift * 36 / 3, std::round(top.shift * 36 / 3)));
  EXPECT_EQ(MapFace(sheet, "B_nothing", {0, 1, 0, 1}).strip, nullptr);
}

}  // namespace
