// The card sheets of a kit, and where each card side's tile lies on them.

#include <ostrel/write/CardSheets.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Png.h>
#include <ostrel/kit/Textures.h>

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

// The picture of one side of a piece drawn over the whole face of its cell: a storey's height,
// the cell's width, so that pictures of neighbouring cells meet.
CardPicture DrawWholeSide(const TriangleMesh& i_mesh, CardSide i_side, const SheetTones& i_tones,
                          const std::vector<double>& i_opacity, int i_size) {
  // y from the storey's floor to its top, across the cell's width (cell units).
  i_side.low[0] = 0;
  i_side.high[0] = 1;
  i_side.low[1] = -0.5;
  i_side.high[1] = 0.5;
  return DrawCardSide(i_mesh, i_side, i_tones, i_opacity, i_size);
}

// The facade picture of a style (CardSheets.h), i_size pixels square: the mean of its floor
// piece's and its variants' outward sides (+x when they have one), each drawn over the whole face
// of the cell, since the layout mixes them. An empty picture for a style without a floor card.
CardPicture DrawFacade(const Kit& i_kit, const KitStyle& i_style, const SheetTones& i_tones,
                       const std::vector<double>& i_opacity, int i_size) {
  const PieceId floor = i_style.piece(PieceKind::Floor);
  if (floor >= i_kit.pieces.size()) return {};
  // The forms the layout chooses among begin with the piece itself.
  const std::vector<PieceId> ids = i_kit.pieces[floor].forms.empty() ? std::vector<PieceId>{floor} : i_kit.pieces[floor].forms;
  std::vector<double> colour, normal;
  int drawn = 0;
  for (const PieceId id : ids) {
    if (id >= i_kit.pieces.size() || i_kit.pieces[id].empty()) continue;
    const TriangleMesh mesh = MakeTriangleMesh(i_kit.pieces[id]);
    const std::array<CardSide, 4> sides = CardSides(mesh, nullptr);
    const auto shown = std::find_if(sides.begin(), sides.end(), [](const CardSide& i_side) { return i_side.shown; });
    if (shown == sides.end()) continue;
    const CardPicture picture = DrawWholeSide(mesh, *shown, i_tones, i_opacity, i_size);
    colour.resize(picture.colour.size(), 0.0);
    normal.resize(picture.normal.size(), 0.0);
    for (std::size_t k = 0; k < colour.size(); ++k) {
      colour[k] += picture.colour[k];
      normal[k] += picture.normal[k];
    }
    ++drawn;
  }
  CardPicture mean;
  if (drawn == 0) return mean;
  mean.size = i_size;
  for (std::size_t k = 0; k < colour.size(); ++k) {
    mean.colour.push_back(static_cast<std::uint8_t>(std::lround(colour[k] / drawn)));
    mean.normal.push_back(static_cast<std::uint8_t>(std::lround(normal[k] / drawn)));
  }
  return mean;
}

// The short walls' picture of a style (CardSheets.h), rows from the top, rgb: colour and normal
// map. Each wall has the corner piece's sides at its ends, the floor picture between. A wall's
// texture coordinate runs as its pieces' +z, so its last cell is a corner seen from its +x, and
// its first a corner seen from its +z, whose across runs against the wall (its x points out of
// the wall before): that side is drawn mirrored, and its normal's x with it.
struct EndsPicture {
  std::vector<std::uint8_t> colour, normal;
};

EndsPicture DrawEnds(const Kit& i_kit, const KitStyle& i_style, const CardPicture& i_floor, const SheetTones& i_tones,
                     const std::vector<double>& i_opacity) {
  constexpr int kCell = kFacadeEndsCell;
  const int width = EndsWidth() * kCell;
  EndsPicture ends;
  ends.colour.assign(static_cast<std::size_t>(width) * kCell * 3, 128);
  ends.normal.assign(ends.colour.size(), 128);
  for (std::size_t b = 2; b < ends.normal.size(); b += 3) ends.normal[b] = 255;
  // The corner's sides, or the floor's where the style has no corner with them.
  CardPicture first = i_floor, last = i_floor;
  const PieceId corner = i_style.piece(PieceKind::Angle);
  if (corner < i_kit.pieces.size() && !i_kit.pieces[corner].empty()) {
    const TriangleMesh mesh = MakeTriangleMesh(i_kit.pieces[corner]);
    const std::array<CardSide, 4> sides = CardSides(mesh, nullptr);
    if (sides[0].shown) last = DrawWholeSide(mesh, sides[0], i_tones, i_opacity, kCell);
    if (sides[2].shown) {
      first = DrawWholeSide(mesh, sides[2], i_tones, i_opacity, kCell);
      for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell / 2; ++x) {
          const auto a = static_cast<std::size_t>((y * kCell + x) * 3), b = static_cast<std::size_t>((y * kCell + kCell - 1 - x) * 3);
          for (std::size_t k = 0; k < 3; ++k) {
            std::swap(first.colour[a + k], first.colour[b + k]);
            std::swap(first.normal[a + k], first.normal[b + k]);
          }
        }
      }
      for (std::size_t k = 0; k < first.normal.size(); k += 3) first.normal[k] = static_cast<std::uint8_t>(255 - first.normal[k]);
    }
  }
  const auto put = [&](const CardPicture& i_picture, int i_cell) {
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const auto from = static_cast<std::size_t>((y * kCell + x) * 3);
        const auto to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(i_cell * kCell + x)) * 3;
        for (std::size_t k = 0; k < 3; ++k) {
          ends.colour[to + k] = i_picture.colour[from + k];
          ends.normal[to + k] = i_picture.normal[from + k];
        }
      }
    }
  };
  for (int cells = 2; cells <= kFacadeEndsLongest; ++cells) {
    const int start = EndsStart(cells);
    put(first, start);
    for (int c = 1; c + 1 < cells; ++c) put(i_floor, start + c);
    put(last, start + cells - 1);
  }
  return ends;
}

std::string EncodeRgb(int i_width, int i_height, std::vector<std::uint8_t> i_rgb, const std::string& i_key) {
  Png::Pixels pixels;
  pixels.width = static_cast<std::uint32_t>(i_width);
  pixels.height = static_cast<std::uint32_t>(i_height);
  pixels.channels = 3;
  pixels.bytes = std::move(i_rgb);
  return Png::WithText(Png::Encode(pixels), kCardKeyword, i_key);
}

// Bumped whenever the pictures are drawn otherwise, so that files drawn before do not pass as
// current.
constexpr const char* kCardDrawing = "cards 3";

// FNV-1a, 64 bits: the key guards against stale files, not against an adversary.
struct KeyHash {
  std::uint64_t value = 14695981039346656037ull;
  void add(const void* i_data, std::size_t i_size) {
    const auto* bytes = static_cast<const unsigned char*>(i_data);
    for (std::size_t k = 0; k < i_size; ++k) value = (value ^ bytes[k]) * 1099511628211ull;
  }
  void add(const std::string& i_text) {
    const std::uint64_t size = i_text.size();
    add(&size, sizeof size);
    add(i_text.data(), i_text.size());
  }
  template <typename T>
  void addAll(const std::vector<T>& i_values) {
    const std::uint64_t size = i_values.size();
    add(&size, sizeof size);
    if (!i_values.empty()) add(i_values.data(), i_values.size() * sizeof(T));
  }
};

// The party pieces without stubs where two party cells meet look from afar as those with them,
// whose cards they take (CardTilesOf): the sheet stays the same with or without them.
PieceKind StubbedKindOf(PieceKind i_join) {
  switch (i_join) {
    case PieceKind::GroundClosePartyJoinLeft:
    case PieceKind::GroundClosePartyJoinRight:
    case PieceKind::GroundClosePartyJoin:
      return PieceKind::GroundCloseParty;
    case PieceKind::FloorClosePartyJoinLeft:
    case PieceKind::FloorClosePartyJoinRight:
    case PieceKind::FloorClosePartyJoin:
      return PieceKind::FloorCloseParty;
    case PieceKind::AnglePartyLeftJoin:
      return PieceKind::AnglePartyLeft;
    default:
      return PieceKind::AnglePartyRight;
  }
}

// Whether a style's piece named i_name (without "<style>_") is one of those (or a variant).
bool IsJoin(std::string_view i_name) {
  PieceKind kind;
  std::uint32_t number = 0;
  return (KindOfSuffix(i_name, kind) || VariantOfSuffix(i_name, kind, number)) &&
         RuleOf(kind).row == PieceRow::PartyJoin;
}

// The non-empty pieces of a style (named "<style>_..."), each name once, in the order of names;
// the party pieces without stubs take other pieces' cards and are left out.
std::vector<std::pair<std::string, PieceId>> StylePieces(const Kit& i_kit, const std::string& i_style) {
  const std::string prefix = i_style + "_";
  std::vector<std::pair<std::string, PieceId>> pieces;
  for (PieceId id = 0; id < i_kit.pieces.size(); ++id) {
    const Piece& piece = i_kit.pieces[id];
    if (piece.empty() || piece.name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!IsJoin(std::string_view(piece.name).substr(prefix.size()))) pieces.emplace_back(piece.name, id);
  }
  std::sort(pieces.begin(), pieces.end());
  pieces.erase(std::unique(pieces.begin(), pieces.end(),
                           [](const auto& i_a, const auto& i_b) { return i_a.first == i_b.first; }),
               pieces.end());
  return pieces;
}

}  // namespace

std::vector<StyleCards> LayOutCards(const Kit& i_kit) {
  std::vector<StyleCards> layout;
  for (const KitStyle& style : i_kit.styles) {
    const std::vector<std::pair<std::string, PieceId>> pieces = StylePieces(i_kit, style.name);
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
  for (const KitStyle& style : i_kit.styles) {
    for (const PieceRule* rule = PieceRulesBegin(); rule != PieceRulesEnd(); ++rule) {
      if (rule->row != PieceRow::PartyJoin) continue;
      const PieceId join = style.piece(rule->kind), stubbed = style.piece(StubbedKindOf(rule->kind));
      if (join < tiles.size() && stubbed < tiles.size()) tiles[join] = tiles[stubbed];
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
    const std::string key = CardKey(i_kit, cards.style);
    CardSheet sheet{cards.style, EncodeRgb(cards.width, cards.height, std::move(colour), key),
                    EncodeRgb(cards.width, cards.height, std::move(normal), key), {}, {}, {}, {}};
    const KitStyle* style = i_kit.style(cards.style);
    CardPicture facade = style ? DrawFacade(i_kit, *style, tones, opacity, kFacadePicture) : CardPicture{};
    if (facade.size > 0) {
      EndsPicture ends = DrawEnds(i_kit, *style, DrawFacade(i_kit, *style, tones, opacity, kFacadeEndsCell), tones, opacity);
      const int width = EndsWidth() * kFacadeEndsCell;
      sheet.ends = EncodeRgb(width, kFacadeEndsCell, std::move(ends.colour), key);
      sheet.endsNormal = EncodeRgb(width, kFacadeEndsCell, std::move(ends.normal), key);
      sheet.facade = EncodeRgb(facade.size, facade.size, std::move(facade.colour), key);
      sheet.facadeNormal = EncodeRgb(facade.size, facade.size, std::move(facade.normal), key);
    }
    sheets.push_back(std::move(sheet));
  }
  return sheets;
}

std::string CardKey(const Kit& i_kit, const std::string& i_style) {
  const KitStyle* style = i_kit.style(i_style);
  if (!style) return std::string();
  KeyHash hash;
  hash.add(kCardDrawing);
  hash.add(i_style);
  std::vector<std::uint32_t> materials;
  for (const auto& [name, id] : StylePieces(i_kit, i_style)) {
    const Piece& piece = i_kit.pieces[id];
    hash.add(name);
    hash.addAll(piece.positions);
    hash.addAll(piece.normals);
    hash.addAll(piece.uvs);
    hash.addAll(piece.polycount);
    for (const Obj::Corner& corner : piece.corners) {
      const std::uint32_t fields[3] = {corner.v, corner.uv, corner.n};
      hash.add(fields, sizeof fields);
    }
    for (const std::uint32_t material : piece.faceMaterials) {
      hash.add(material < i_kit.materials.size() ? i_kit.materials[material] : std::string());
      materials.push_back(material);
    }
  }
  // The floor and its forms make the facade picture.
  const PieceId floor = style->piece(PieceKind::Floor);
  if (floor < i_kit.pieces.size()) {
    hash.add(i_kit.pieces[floor].name);
    for (const PieceId form : i_kit.pieces[floor].forms)
      hash.add(form < i_kit.pieces.size() ? i_kit.pieces[form].name : std::string());
  }
  // Each material as the pictures take it: from the first library that defines it.
  std::sort(materials.begin(), materials.end());
  materials.erase(std::unique(materials.begin(), materials.end()), materials.end());
  for (const std::uint32_t material : materials) {
    if (material >= i_kit.materials.size()) continue;
    for (const MaterialLibrary& library : i_kit.libraries) {
      const auto defined = std::find_if(library.library.materials.begin(), library.library.materials.end(),
                                        [&](const Mtl::Material& i_m) { return i_m.name == i_kit.materials[material]; });
      if (defined == library.library.materials.end()) continue;
      hash.add(defined->name);
      const float kd[3] = {defined->kd ? (*defined->kd)[0] : -1.0f, defined->kd ? (*defined->kd)[1] : -1.0f,
                           defined->kd ? (*defined->kd)[2] : -1.0f};
      const float d = defined->d ? *defined->d : -1.0f;
      hash.add(kd, sizeof kd);
      hash.add(&d, sizeof d);
      const Mtl::Texture* map = Mtl::FindTexture(*defined, "map_Kd");
      if (map) {
        const std::string folder = std::filesystem::path(library.file).parent_path().string();
        const std::string path = map->path.front() == '/' ? map->path : folder + "/" + map->path;
        std::string bytes;
        FileSystem::ReadResult read;
        hash.add(map->path);  // as the library names it: the kit's folder may be named otherwise
        if (ReadTexture(path, library.root, bytes, read) == TextureFault::None) hash.add(bytes);
      }
      break;
    }
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string key;
  for (int shift = 60; shift >= 0; shift -= 4) key.push_back(kDigits[(hash.value >> shift) & 0xf]);
  return key;
}

std::vector<std::string> CardStyles(const Kit& i_kit) {
  std::vector<std::string> styles;
  for (const StyleCards& cards : LayOutCards(i_kit)) styles.push_back(cards.style);
  return styles;
}

std::string CardSheetName(const std::string& i_style) { return i_style + ".cards.png"; }
std::string CardNormalName(const std::string& i_style) { return i_style + ".cards.normal.png"; }
std::string CardMaterialName(const std::string& i_style) { return i_style + "_cards"; }
std::string FacadeSheetName(const std::string& i_style) { return i_style + ".facade.png"; }
std::string FacadeNormalName(const std::string& i_style) { return i_style + ".facade.normal.png"; }
std::string FacadeMaterialName(const std::string& i_style) { return i_style + "_facade"; }
std::string EndsSheetName(const std::string& i_style) { return i_style + ".facade.ends.png"; }
std::string EndsNormalName(const std::string& i_style) { return i_style + ".facade.ends.normal.png"; }
std::string EndsMaterialName(const std::string& i_style) { return i_style + "_facadeends"; }

int EndsStart(int i_cells) { return (i_cells - 1) * i_cells / 2 - 1; }

int EndsWidth() {
  int width = 1;
  while (width < EndsStart(kFacadeEndsLongest + 1)) width *= 2;
  return width;
}

std::vector<CardFile> CardFilesOf(const CardSheet& i_sheet) {
  std::vector<CardFile> files = {{CardSheetName(i_sheet.style), &i_sheet.colour},
                                 {CardNormalName(i_sheet.style), &i_sheet.normal}};
  if (i_sheet.facade.empty()) return files;
  files.push_back({FacadeSheetName(i_sheet.style), &i_sheet.facade});
  files.push_back({FacadeNormalName(i_sheet.style), &i_sheet.facadeNormal});
  if (i_sheet.ends.empty()) return files;
  files.push_back({EndsSheetName(i_sheet.style), &i_sheet.ends});
  files.push_back({EndsNormalName(i_sheet.style), &i_sheet.endsNormal});
  return files;
}

namespace {

void AddCardMaterial(Kit& io_kit, const std::string& i_style, const std::string& i_folder, bool i_facade,
                     std::vector<PieceId>& io_pieces) {
  const std::string name = CardMaterialName(i_style);
  if (std::find(io_kit.materials.begin(), io_kit.materials.end(), name) != io_kit.materials.end()) return;
  MaterialLibrary library;
  library.name = i_style + ".cards.mtl";
  library.file = i_folder + "/" + library.name;
  library.root = i_folder;
  // A plain, rough surface: the picture holds the colour, the normal map the relief.
  const auto material = [](const std::string& i_name, const std::string& i_map, const std::string& i_normal) {
    return "newmtl " + i_name + "\nKa 0 0 0\nKd 1 1 1\nKs 0.05 0.05 0.05\nNs 8\nd 1\nillum 2\nmap_Kd " + i_map +
           "\nnorm " + i_normal + "\n";
  };
  std::string text = material(name, CardSheetName(i_style), CardNormalName(i_style));
  if (i_facade) {
    text += material(FacadeMaterialName(i_style), FacadeSheetName(i_style), FacadeNormalName(i_style));
    text += material(EndsMaterialName(i_style), EndsSheetName(i_style), EndsNormalName(i_style));
  }
  std::vector<Mtl::Finding> findings;
  Mtl::Parse(text, library.library, findings);
  io_kit.libraries.push_back(std::move(library));
  io_kit.materials.push_back(name);
  Piece piece;
  piece.name = name;
  piece.file = i_folder + "/" + CardSheetName(i_style);
  piece.folder = i_folder;
  piece.faceMaterials = {static_cast<std::uint32_t>(io_kit.materials.size() - 1)};
  if (i_facade) {
    io_kit.materials.push_back(FacadeMaterialName(i_style));
    piece.faceMaterials.push_back(static_cast<std::uint32_t>(io_kit.materials.size() - 1));
    io_kit.materials.push_back(EndsMaterialName(i_style));
    piece.faceMaterials.push_back(static_cast<std::uint32_t>(io_kit.materials.size() - 1));
  }
  piece.libraries = {static_cast<std::uint32_t>(io_kit.libraries.size() - 1)};
  io_pieces.push_back(static_cast<PieceId>(io_kit.pieces.size()));
  io_kit.pieces.push_back(std::move(piece));
}

}  // namespace

Kit KitWithCards(const Kit& i_kit, const std::vector<CardSet>& i_cards, std::vector<PieceId>& o_pieces) {
  Kit kit = i_kit;
  for (const CardSet& set : i_cards) AddCardMaterial(kit, set.style, set.folder, set.facade, o_pieces);
  return kit;
}

}  // namespace Ostrel::Buildings
