// The tileset writer: a quadtree over the city, its tiles written as they fill.
//
// Two passes over the scene. The first writes each building's box (output units, +y up) to a
// scratch file (TileScratch.h) and keeps only the extent of their centres; the tree is built from
// the boxes read back, a level at a time. The second makes each building again and puts it, with
// its far level when a parent draws it, into the scratch file until the last building of its leaf
// has come; the leaf is then read back and written, and a parent is written, from its buildings'
// far levels, once its last child is. Memory holds one tile's buildings at a time and a record's
// place for each building that waits, whatever order the rows come in. The tileset is in metres
// whatever the framing asked (the format's row says so, and the tool frames it so).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <ostrel/layout/PlanCounts.h>
#include <ostrel/write/Tiles.h>

#include "write/JsonValue.h"
#include "write/Writer.h"
#include "write/engine/EngineExtras.h"
#include "write/gltf/GltfWriter.h"
#include "write/tiles/TileBoxes.h"
#include "write/tiles/TileScratch.h"

namespace Ostrel::Buildings {

namespace {

using Json = JsonValue;

// The deepest level of the tree: below it, buildings whose centres lie within a 2^-24th of the
// city's extent of each other share a leaf.
inline constexpr int kMaxLevel = 24;

struct Tile {
  int level = 0;
  std::uint64_t x = 0, y = 0;  // its place among the tiles of its level, along x and along -z
  double x0 = 0, z0 = 0, size = 0;  // its square: the corner of smallest x and z, and its side
  int parent = -1;
  std::vector<int> children;     // in the order of their quarters
  int quarter[4] = {-1, -1, -1, -1};  // the child of each quarter (east + 2 * south), or -1
  std::uint64_t count = 0;       // buildings in the tile and under it
  TileBox box;                   // of every building under it, and of its far levels
  bool drawn = false;            // has content: a leaf, or a parent of few enough buildings
  double error = 0;              // metres
  std::uint64_t waiting = 0;     // buildings (a leaf) or children (a parent) not yet written
  // In the scratch file: a leaf's buildings that have come (TileBuilding) and their far levels
  // (FarBuilding), for the drawn parents above; a drawn parent's far levels.
  std::vector<ScratchRecord> held, heldFar, far;
};

// The quarter of the tile that holds the point (x, z): east + 2 * south.
int QuarterOf(const Tile& i_tile, double i_x, double i_z) {
  const double half = i_tile.size / 2;
  const int east = i_x >= i_tile.x0 + half ? 1 : 0;
  const int south = i_z >= i_tile.z0 + half ? 1 : 0;
  return east + 2 * south;
}

// The deepest tile made so far that holds the point (x, z).
int TileAt(const std::vector<Tile>& i_tiles, double i_x, double i_z) {
  int at = 0;
  while (!i_tiles[static_cast<std::size_t>(at)].children.empty()) {
    const Tile& tile = i_tiles[static_cast<std::size_t>(at)];
    const int child = tile.quarter[QuarterOf(tile, i_x, i_z)];
    if (child < 0) return at;
    at = child;
  }
  return at;
}

// Whether a tile of this many buildings is cut into quarters.
bool Splits(const Tile& i_tile, const TilesOptions& i_options) {
  return i_tile.count > i_options.leafBuildings && i_tile.level < kMaxLevel;
}

// The tree over the buildings' centres (x, z), which i_centres gives one after another, each
// time it is called: a level of the tree a call, the buildings counted into the quarters of
// each tile to cut, so that no list of buildings is ever held. i_extent is the box of the
// centres, i_count their number. Tile 0 is the root; a tile comes before its children.
template <typename Centres>
std::vector<Tile> MakeTree(std::uint64_t i_count, const TileBox& i_extent, const Centres& i_centres,
                           const TilesOptions& i_options) {
  std::vector<Tile> tiles(1);
  Tile& root = tiles[0];
  root.count = i_count;
  root.x0 = i_extent.lo[0];
  root.z0 = i_extent.lo[2];
  const double size = i_count == 0 ? 0 : std::max(i_extent.hi[0] - i_extent.lo[0], i_extent.hi[2] - i_extent.lo[2]);
  // Just wider than the centres' extent, so that the largest centre falls inside it.
  root.size = size * (1 + 1e-9) + 1e-9;
  // A city of no building is a root of nothing.
  root.drawn = i_count > 0;
  std::vector<int> cut;
  if (Splits(root, i_options)) cut.push_back(0);
  while (!cut.empty()) {
    std::vector<std::array<std::uint64_t, 4>> counts(tiles.size());
    i_centres([&](double i_x, double i_z) {
      const int tile = TileAt(tiles, i_x, i_z);
      if (Splits(tiles[static_cast<std::size_t>(tile)], i_options))
        ++counts[static_cast<std::size_t>(tile)][static_cast<std::size_t>(QuarterOf(tiles[static_cast<std::size_t>(tile)], i_x, i_z))];
    });
    std::vector<int> next;
    for (const int t : cut) {
      tiles[static_cast<std::size_t>(t)].drawn = tiles[static_cast<std::size_t>(t)].count <= i_options.parentBuildings;
      for (int q = 0; q < 4; ++q) {
        const std::uint64_t count = counts[static_cast<std::size_t>(t)][static_cast<std::size_t>(q)];
        if (count == 0) continue;
        const Tile& parent = tiles[static_cast<std::size_t>(t)];
        Tile child;
        child.level = parent.level + 1;
        // The tileset's y runs north, against the buildings' z: a quarter of larger z is the lower one.
        child.x = parent.x * 2 + static_cast<std::uint64_t>(q % 2);
        child.y = parent.y * 2 + static_cast<std::uint64_t>(1 - q / 2);
        const double half = parent.size / 2;
        child.x0 = parent.x0 + (q % 2) * half;
        child.z0 = parent.z0 + (q / 2) * half;
        child.size = half;
        child.parent = t;
        child.count = count;
        child.drawn = true;
        tiles.push_back(std::move(child));
        const int index = static_cast<int>(tiles.size() - 1);
        tiles[static_cast<std::size_t>(t)].children.push_back(index);
        tiles[static_cast<std::size_t>(t)].quarter[q] = index;
        if (Splits(tiles.back(), i_options)) next.push_back(index);
      }
    }
    cut = std::move(next);
  }
  for (Tile& tile : tiles) tile.waiting = tile.children.empty() ? tile.count : tile.children.size();
  return tiles;
}

std::string RoofWord(RoofShape i_roof) {
  return i_roof == RoofShape::Gable ? "gable" : i_roof == RoofShape::Hip ? "hip" : "flat";
}

GltfFeature FeatureOf(const SceneBuilding& i_building, const TileBox& i_box) {
  GltfFeature feature;
  feature.id = i_building.name;
  feature.style = i_building.request.style;
  feature.roof = RoofWord(i_building.request.roof);
  feature.storeys = static_cast<std::uint32_t>(std::max<std::int64_t>(0, i_building.request.rows - 1));
  feature.height = static_cast<float>(i_box.hi[1] - i_box.lo[1]);
  return feature;
}

// The box of a far level where its building stands: turned and moved by its frame.
TileBox FarBox(const FarBuilding& i_building) {
  TileBox box;
  const Frame& frame = i_building.frame;
  for (const ExtraPart& part : i_building.extras.levels[0].parts) {
    for (const VectorF& p : part.positions) {
      const double placed[3] = {frame.zdir * static_cast<double>(p.x) - frame.xdir * static_cast<double>(p.z) + frame.xpos,
                                static_cast<double>(p.y) + frame.ypos,
                                frame.xdir * static_cast<double>(p.x) + frame.zdir * static_cast<double>(p.z) + frame.zpos};
      box.add(placed);
    }
  }
  WidenForRounding(box);
  return box;
}

std::string TileName(const Tile& i_tile) {
  return std::to_string(i_tile.level) + "-" + std::to_string(i_tile.x) + "-" + std::to_string(i_tile.y) + ".glb";
}

class TilesFormat : public Writer {
 public:
  SceneError check(const SceneSurvey&, const SceneOptions&) const override { return SceneError::None; }

  void write(WriteContext& io_context) override {
    context_ = &io_context;
    const Kit& kit = io_context.kit;
    const TilesOptions& options = io_context.options.tiles;
    pieces_ = MakeTriangleMeshes(kit);
    mapped_ = MappedMaterials(kit);
    const Plan used = PiecesPlan(io_context.survey.pieces);
    materials_ = MakeGltfMaterials(FindDefinitions(used, kit), UsedMaterials(used, kit), io_context.survey.names,
                                   io_context.report.textureWarnings);
    // Its tiles share the one copy of each sheet in its own folder, whatever the place asked,
    // unless none is.
    std::vector<OutputSheet> unused;
    PlaceImages(materials_, io_context.options.sheets, false, unused, io_context.report.textureWarnings);
    folder_ = options.folder;
    std::error_code error;
    const bool none = io_context.options.sheets.place == SheetPlace::None;
    std::filesystem::create_directories(none ? folder_ : folder_ + "/textures", error);
    // Each image once for every tile, numbered so that two styles' sheets of one name stay apart.
    for (std::size_t i = 0; i < materials_.images.size(); ++i) {
      GltfImage& image = materials_.images[i];
      image.name = std::to_string(i) + "-" + image.name;
      std::ofstream file(folder_ + "/textures/" + image.name, std::ios::binary);
      file.write(image.bytes.data(), static_cast<std::streamsize>(image.bytes.size()));
      if (!file) failed_ = true;
      image.bytes.clear();
    }
    gltf_ = io_context.options.gltf;
    gltf_.features = true;
    gltf_.imageFolder = "textures";

    // The buildings' boxes wait in the scratch file, one after another from its start, beside the
    // tiles and gone before they are.
    if (!scratch_.open(folder_ + "/scratch")) failed_ = true;
    std::uint64_t count = 0;
    TileBox centres;
    SceneBuilding building;
    while (io_context.next(building)) {
      const TileBox box = BuildingBox(kit, pieces_, building.plan, building.frame);
      ScratchRecord record;
      if (!scratch_.put(std::string(reinterpret_cast<const char*>(&box), sizeof box), record)) failed_ = true;
      const double centre[3] = {box.centre(0), box.centre(1), box.centre(2)};
      centres.add(centre);
      ++count;
    }
    tiles_ = MakeTree(count, centres,
                      [&](const auto& i_visit) {
                        for (std::uint64_t b = 0; b < count; ++b) {
                          const TileBox box = BoxOf(b);
                          i_visit(box.centre(0), box.centre(2));
                        }
                      },
                      options);

    const NextBuilding again = FramedPass(*io_context.scene, io_context.options.framing());
    for (std::uint64_t b = 0; b < count && again(building); ++b) {
      const TileBox box = BoxOf(b);
      const int leaf = TileAt(tiles_, box.centre(0), box.centre(2));
      for (int up = leaf; up >= 0; up = tiles_[static_cast<std::size_t>(up)].parent)
        tiles_[static_cast<std::size_t>(up)].box.add(box);
      Hold(leaf, building, box);
      if (--tiles_[static_cast<std::size_t>(leaf)].waiting == 0) Finish(leaf);
    }
    scratch_.close();
    // Tiles come before their children: errors are filled from the last up.
    for (std::size_t t = tiles_.size(); t-- > 0;) {
      Tile& tile = tiles_[t];
      if (tile.children.empty() || tile.drawn) continue;
      // Nothing drawn: what is missing is the whole of it.
      tile.error = tile.box.diagonal();
      for (const int child : tile.children) tile.error = std::max(tile.error, tiles_[child].error);
    }
    PutTileset(io_context.out, options);
    if (failed_) io_context.out.setstate(std::ios::failbit);
    io_context.report.triangles = triangles_;
  }

 private:
  // The box of building i_b (0-based), from the scratch file.
  TileBox BoxOf(std::uint64_t i_b) {
    TileBox box;
    std::string bytes;
    if (!scratch_.get({i_b * sizeof box, sizeof box}, bytes)) {
      failed_ = true;
      return box;
    }
    std::memcpy(&box, bytes.data(), sizeof box);
    return box;
  }

  // Puts a building of the leaf into the scratch file, with its far level when a parent above
  // draws it; the far level's error and box go to the tiles above at once.
  void Hold(int i_leaf, const SceneBuilding& i_building, const TileBox& i_box) {
    Tile& leaf = tiles_[static_cast<std::size_t>(i_leaf)];
    const TileBuilding held{i_building.plan, i_building.frame, i_building.name, FeatureOf(i_building, i_box)};
    ScratchRecord record;
    if (!scratch_.put(RecordOf(held), record)) failed_ = true;
    leaf.held.push_back(record);
    if (leaf.parent < 0 || !tiles_[static_cast<std::size_t>(leaf.parent)].drawn) return;
    FarBuilding far;
    FarLevel level = MakeFarLevel(context_->kit, pieces_, i_building.plan, i_building.request,
                                  OwnFrame(i_building.frame), mapped_, farPieces_);
    far.extras.levels.push_back(std::move(level.mesh));
    far.frame = i_building.frame;
    far.name = i_building.name;
    far.feature = held.feature;
    far.error = level.error;
    if (!scratch_.put(RecordOf(far), record)) failed_ = true;
    leaf.heldFar.push_back(record);
    for (int up = leaf.parent; up >= 0 && tiles_[static_cast<std::size_t>(up)].drawn;
         up = tiles_[static_cast<std::size_t>(up)].parent) {
      Tile& parent = tiles_[static_cast<std::size_t>(up)];
      parent.error = std::max(parent.error, far.error);
    }
    // A far level may stand out of its building's box (a roof's hull is cut down to a few
    // corners, which can reach past the slopes): every tile above holds it.
    const TileBox farBox = FarBox(far);
    for (int up = leaf.parent; up >= 0; up = tiles_[static_cast<std::size_t>(up)].parent)
      tiles_[static_cast<std::size_t>(up)].box.add(farBox);
  }

  // Writes the tile, lets its buildings go, and tells its parent.
  void Finish(int i_tile) {
    Tile& tile = tiles_[static_cast<std::size_t>(i_tile)];
    if (tile.children.empty()) WriteLeaf(tile);
    else if (tile.drawn) WriteParent(tile);
    if (tile.parent >= 0 && --tiles_[static_cast<std::size_t>(tile.parent)].waiting == 0) Finish(tile.parent);
  }

  void WriteLeaf(Tile& io_tile) {
    std::vector<TileBuilding> held(io_tile.held.size());
    std::string bytes;
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (!scratch_.get(io_tile.held[i], bytes) || !ReadRecord(bytes, held[i])) failed_ = true;
    }
    std::vector<GltfBuilding> buildings;
    for (const TileBuilding& building : held)
      buildings.push_back({&building.plan, building.frame, building.name, {}, nullptr, false, &building.feature});
    GltfOptions options = gltf_;
    options.form = GltfForm::Gpu;
    WriteTile(io_tile, buildings, options);
    triangles_ += CountTriangles(context_->kit, pieces_, buildings);
    written_ += buildings.size();
    if (context_->options.progress) context_->options.progress(written_, bytes_);
    // The far levels go to every drawn parent above, in the order their leaves are written.
    for (int up = io_tile.parent; up >= 0 && tiles_[static_cast<std::size_t>(up)].drawn;
         up = tiles_[static_cast<std::size_t>(up)].parent) {
      Tile& parent = tiles_[static_cast<std::size_t>(up)];
      parent.far.insert(parent.far.end(), io_tile.heldFar.begin(), io_tile.heldFar.end());
    }
    io_tile.held = {};
    io_tile.heldFar = {};
  }

  void WriteParent(Tile& io_tile) {
    static const Plan kNothing;
    std::vector<FarBuilding> far(io_tile.far.size());
    std::string bytes;
    for (std::size_t i = 0; i < far.size(); ++i) {
      if (!scratch_.get(io_tile.far[i], bytes) || !ReadRecord(bytes, far[i])) failed_ = true;
    }
    std::vector<GltfBuilding> buildings;
    for (const FarBuilding& building : far) {
      buildings.push_back({&kNothing, building.frame, building.name, {}, &building.extras, true, &building.feature});
    }
    GltfOptions options = gltf_;
    options.form = GltfForm::Flat;
    WriteTile(io_tile, buildings, options);
    for (const FarBuilding& building : far) triangles_ += building.extras.levels[0].triangles();
    io_tile.far = {};
  }

  void WriteTile(const Tile& i_tile, const std::vector<GltfBuilding>& i_buildings, const GltfOptions& i_options) {
    std::ofstream file(folder_ + "/" + TileName(i_tile), std::ios::binary);
    if (WriteGlb(file, context_->kit, pieces_, materials_, i_buildings, i_options) != GlbResult::Written)
      context_->report.error = SceneError::TooLarge;
    if (!file) failed_ = true;
    bytes_ += static_cast<std::uint64_t>(std::max<std::streamoff>(0, file.tellp()));
  }

  // A tile's JSON, written as it goes so that the tree's text is never held whole; keys in the
  // order of JsonValue's objects (sorted), as the values are its text. The root has i_transform.
  void PutTile(std::ostream& io_out, const Tile& i_tile, const Json* i_transform) const {
    io_out << "{\"boundingVolume\":" << Json({{"box", TilesetBox(i_tile.box)}}).dump();
    if (!i_tile.children.empty()) {
      io_out << ",\"children\":[";
      for (std::size_t c = 0; c < i_tile.children.size(); ++c) {
        if (c > 0) io_out << ",";
        PutTile(io_out, tiles_[static_cast<std::size_t>(i_tile.children[c])], nullptr);
      }
      io_out << "]";
    }
    if (i_tile.drawn) io_out << ",\"content\":" << Json({{"uri", "tiles/" + TileName(i_tile)}}).dump();
    io_out << ",\"geometricError\":" << Json(i_tile.children.empty() ? 0.0 : i_tile.error).dump()
           << ",\"refine\":\"REPLACE\"";
    if (i_transform) io_out << ",\"transform\":" << i_transform->dump();
    io_out << "}";
  }

  void PutTileset(std::ostream& io_out, const TilesOptions& i_options) const {
    const double error = std::max(tiles_[0].box.diagonal(), tiles_[0].error);
    const Json asset = {{"version", "1.1"}, {"generator", gltf_.generator}};
    io_out << "{\"asset\":" << asset.dump() << ",\"geometricError\":" << Json(error).dump() << ",\"root\":";
    const Json transform =
        i_options.geo ? Json(EastNorthUpToEcef(i_options.longitude, i_options.latitude, i_options.height)) : Json();
    PutTile(io_out, tiles_[0], i_options.geo ? &transform : nullptr);
    io_out << "}\n";
  }

  WriteContext* context_ = nullptr;
  std::vector<TriangleMesh> pieces_;
  std::vector<bool> mapped_;
  FarPieces farPieces_;
  ScratchFile scratch_;
  GltfMaterials materials_;
  GltfOptions gltf_;
  std::string folder_;
  std::vector<Tile> tiles_;
  std::uint64_t triangles_ = 0;
  std::uint64_t written_ = 0;  // buildings in the leaves written so far
  std::uint64_t bytes_ = 0;    // of the tiles written so far
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Writer> MakeTilesFormat() { return std::make_unique<TilesFormat>(); }

}  // namespace Ostrel::Buildings
