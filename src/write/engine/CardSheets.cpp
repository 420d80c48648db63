// The card sheets of a kit, and where each card side's tile lies on them.

#include <ostrel/write/CardSheets.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Png.h>

#include "write/TriangleMesh.h"
#include "write/engine/CardRaster.h"
#include "write/engine/CardTiles.h"
#include "write/engine/SheetTones.h"

namespace Ostrel::Buildings {

namespace {

constexpr int kCardPicture = kCardTile - 2 * kCardGutter;  // pixels along a tile's picture

// The opacity of each kit material (its library's d; 1 without one).
std::vector<double> CardOpacities(const Kit& i_kit) {
  std::vector<double> opacity(i_kit.materials.size(), 1.0);
  std::vector<bool> found(i_kit.materials.size(), false);
  for (const MaterialLibrary& library : i_kit.libraries) {
    for (const Mtl::Material& material : library.library.materials) {
      for (std::size_t id = 0; id < opacity.size(); ++id) {
        if (found[id] || i_kit.materials[id] != material.name) continue;
        found[id] = true;
        if (material.d) opacity[id] = std::clamp(static_cast<double>(*material.d), 0.0, 1.0);
      }
    }
  }
  return opacity;
}

// The top-left pixel of a tile's picture on its sheet.
std::pair<int, int> PictureOrigin(std::size_t i_tile) {
  const auto tile = static_cast<int>(i_tile);
  return {(tile % kCardColumns) * kCardTile + kCardGutter, (tile / kCardColumns) * kCardTile + kCardGutter};
}

// Copies a picture into its tile of a sheet (rgb rows), the picture's edge repeated over the gutter.
void PutTile(const std::vector<std::uint8_t>& i_picture, std::size_t i_tile, int i_width,
             std::vector<std::uint8_t>& io_sheet) {
  const auto [x0, y0] = PictureOrigin(i_tile);
  for (int y = -kCardGutter; y < kCardPicture + kCardGutter; ++y) {
    for (int x = -kCardGutter; x < kCardPicture + kCardGutter; ++x) {
      const int px = std::clamp(x, 0, kCardPicture - 1), py = std::clamp(y, 0, kCardPicture - 1);
      const std::size_t from = (static_cast<std::size_t>(py) * kCardPicture + static_cast<std::size_t>(px)) * 3;
      const std::size_t to =
          (static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(i_width) + static_cast<std::size_t>(x0 + x)) * 3;
      for (std::size_t k = 0; k < 3; ++k) io_sheet[to + k] = i_picture[from + k];
    }
  }
}

std::string EncodeRgb(int i_width, int i_height, std::vector<std::uint8_t> i_rgb) {
  Png::Pixels pixels;
  pixels.width = static_cast<std::uint32_t>(i_width);
  pixels.height = static_cast<std::uint32_t>(i_height);
  pixels.channels = 3;
  pixels.bytes = std::move(i_rgb);
  return Png::Encode(pixels);
}

}  // namespace

std::vector<StyleCards> LayOutCards(const Kit& i_kit) {
  std::vector<StyleCards> layout;
  for (const KitStyle& style : i_kit.styles) {
    const std::string prefix = style.name + "_";
    std::vector<std::pair<std::string, PieceId>> pieces;
    for (PieceId id = 0; id < i_kit.pieces.size(); ++id) {
      const Piece& piece = i_kit.pieces[id];
      if (!piece.empty() && piece.name.compare(0, prefix.size(), prefix) == 0) pieces.emplace_back(piece.name, id);
    }
    std::sort(pieces.begin(), pieces.end());
    pieces.erase(std::unique(pieces.begin(), pieces.end(),
                             [](const auto& i_a, const auto& i_b) { return i_a.first == i_b.first; }),
                 pieces.end());
    StyleCards cards;
    cards.style = style.name;
    for (const auto& [name, id] : pieces) {
      const std::array<CardSide, 4> sides = CardSides(MakeTriangleMesh(i_kit.pieces[id]), nullptr);
      for (int s = 0; s < 4; ++s) {
        if (sides[static_cast<std::size_t>(s)].shown) cards.tiles.emplace_back(id, s);
      }
    }
    if (cards.tiles.empty()) continue;
    const int rows = static_cast<int>((cards.tiles.size() + kCardColumns - 1) / kCardColumns);
    cards.width = kCardColumns * kCardTile;
    cards.height = kCardTile;
    while (cards.height < rows * kCardTile) cards.height *= 2;
    layout.push_back(std::move(cards));
  }
  return layout;
}

std::vector<std::array<CardTile, 4>> CardTilesOf(const Kit& i_kit, const std::vector<StyleCards>& i_layout) {
  std::vector<std::array<CardTile, 4>> tiles(i_kit.pieces.size());
  for (const StyleCards& cards : i_layout) {
    const auto named = std::find(i_kit.materials.begin(), i_kit.materials.end(), CardMaterialName(cards.style));
    if (named == i_kit.materials.end()) continue;
    const auto material = static_cast<std::uint32_t>(named - i_kit.materials.begin());
    for (std::size_t t = 0; t < cards.tiles.size(); ++t) {
      const auto [x0, y0] = PictureOrigin(t);
      CardTile& tile = tiles[cards.tiles[t].first][static_cast<std::size_t>(cards.tiles[t].second)];
      tile.material = material;
      tile.low = UV(static_cast<float>(static_cast<double>(x0) / cards.width),
                    static_cast<float>(static_cast<double>(y0) / cards.height));
      tile.high = UV(static_cast<float>(static_cast<double>(x0 + kCardPicture) / cards.width),
                     static_cast<float>(static_cast<double>(y0 + kCardPicture) / cards.height));
    }
  }
  return tiles;
}

std::vector<std::array<CardTone, 4>> CardTonesOf(const Kit& i_kit, const SheetTones& i_tones) {
  // A tone is a mean: a small picture gives it as well as a large one.
  constexpr int kToneSize = 16;
  std::vector<std::array<CardTone, 4>> tones(i_kit.pieces.size());
  const std::vector<double> opacity = CardOpacities(i_kit);
  for (PieceId id = 0; id < i_kit.pieces.size(); ++id) {
    if (i_kit.pieces[id].empty()) continue;
    const TriangleMesh mesh = MakeTriangleMesh(i_kit.pieces[id]);
    const std::array<CardSide, 4> sides = CardSides(mesh, nullptr);
    for (std::size_t s = 0; s < 4; ++s) {
      const CardSide& side = sides[s];
      if (!side.shown) continue;
      tones[id][s].mean = DrawCardSide(mesh, side, i_tones, opacity, kToneSize).mean;
      tones[id][s].area = (side.high[0] - side.low[0]) * (side.high[1] - side.low[1]);
    }
  }
  return tones;
}

std::vector<CardSheet> MakeCardSheets(const Kit& i_kit) {
  std::vector<CardSheet> sheets;
  const std::vector<StyleCards> layout = LayOutCards(i_kit);
  if (layout.empty()) return sheets;
  const SheetTones tones = LoadSheetTones(i_kit);
  const std::vector<double> opacity = CardOpacities(i_kit);
  for (const StyleCards& cards : layout) {
    const std::size_t bytes = static_cast<std::size_t>(cards.width) * static_cast<std::size_t>(cards.height) * 3;
    // What no tile covers is mid grey, and a flat normal.
    std::vector<std::uint8_t> colour(bytes, 128), normal(bytes, 128);
    for (std::size_t b = 2; b < bytes; b += 3) normal[b] = 255;
    for (std::size_t t = 0; t < cards.tiles.size(); ++t) {
      const TriangleMesh mesh = MakeTriangleMesh(i_kit.pieces[cards.tiles[t].first]);
      const CardSide side = CardSides(mesh, nullptr)[static_cast<std::size_t>(cards.tiles[t].second)];
      const CardPicture picture = DrawCardSide(mesh, side, tones, opacity, kCardPicture);
      PutTile(picture.colour, t, cards.width, colour);
      PutTile(picture.normal, t, cards.width, normal);
    }
    sheets.push_back({cards.style, EncodeRgb(cards.width, cards.height, std::move(colour)),
                      EncodeRgb(cards.width, cards.height, std::move(normal))});
  }
  return sheets;
}

std::string CardSheetName(const std::string& i_style) { return i_style + ".cards.png"; }
std::string CardNormalName(const std::string& i_style) { return i_style + ".cards.normal.png"; }
std::string CardMaterialName(const std::string& i_style) { return i_style + "_cards"; }

void AddCardMaterial(Kit& io_kit, const std::string& i_style, const std::string& i_folder) {
  const std::string name = CardMaterialName(i_style);
  if (std::find(io_kit.materials.begin(), io_kit.materials.end(), name) != io_kit.materials.end()) return;
  MaterialLibrary library;
  library.name = i_style + ".cards.mtl";
  library.file = i_folder + "/" + library.name;
  library.root = i_folder;
  // A plain, rough surface: the picture holds the colour, the normal map the relief.
  std::vector<Mtl::Finding> findings;
  Mtl::Parse("newmtl " + name + "\nKa 0 0 0\nKd 1 1 1\nKs 0.05 0.05 0.05\nNs 8\nd 1\nillum 2\nmap_Kd " +
                 CardSheetName(i_style) + "\nnorm " + CardNormalName(i_style) + "\n",
             library.library, findings);
  io_kit.libraries.push_back(std::move(library));
  io_kit.materials.push_back(name);
  Piece piece;
  piece.name = name;
  piece.file = i_folder + "/" + CardSheetName(i_style);
  piece.folder = i_folder;
  piece.faceMaterials = {static_cast<std::uint32_t>(io_kit.materials.size() - 1)};
  piece.libraries = {static_cast<std::uint32_t>(io_kit.libraries.size() - 1)};
  io_kit.cardPieces.push_back(static_cast<PieceId>(io_kit.pieces.size()));
  io_kit.pieces.push_back(std::move(piece));
}

}  // namespace Ostrel::Buildings
