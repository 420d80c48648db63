// The tileset writer: a quadtree over the city, its tiles written as they fill.
//
// Two passes over the scene. The first keeps each building's box (output units, +y up): about
// 50 bytes a building with its place in the tree, all that the tree is built from. The second
// makes each building again and puts it, with its far level when a parent draws it, into a
// scratch file (TileScratch.h) until the last building of its leaf has come; the leaf is then
// read back and written, and a parent is written, from its buildings' far levels, once its last
// child is. Memory holds one tile's buildings at a time, whatever order the rows come in. The
// tileset is in metres whatever the framing asked (the format's row says so, and the tool frames
// it so).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/layout/PlanCounts.h>
#include <ostrel/write/Tiles.h>

#include "write/Writer.h"
#include "write/engine/EngineExtras.h"
#include "write/gltf/GltfWriter.h"
#include "write/tiles/TileBoxes.h"
#include "write/tiles/TileScratch.h"

namespace Ostrel::Buildings {

namespace {

using Json = nlohmann::json;

// The deepest level of the tree: below it, buildings whose centres lie within a 2^-24th of the
// city's extent of each other share a leaf.
inline constexpr int kMaxLevel = 24;

struct Tile {
  int level = 0;
  std::uint64_t x = 0, y = 0;  // its place among the tiles of its level, along x and along -z
  int parent = -1;
  std::vector<int> children;
  std::vector<std::uint32_t> buildings;  // a leaf's, in scene order
  std::uint64_t count = 0;               // buildings in the tile and under it
  TileBox box;                           // of every building under it
  bool drawn = false;                    // has content: a leaf, or a parent of few enough buildings
  double error = 0;                      // metres
  std::uint64_t waiting = 0;             // buildings (a leaf) or children (a parent) not yet written
  // In the scratch file: a leaf's buildings that have come (TileBuilding) and their far levels
  // (FarBuilding), for the drawn parents above; a drawn parent's far levels.
  std::vector<ScratchRecord> held, heldFar, far;
};

// Builds the tree under tile i_tile, whose buildings are i_members, over the square of side
// i_size whose corner (smallest x, smallest z) is i_x0, i_z0.
void Split(std::vector<Tile>& io_tiles, int i_tile, std::vector<std::uint32_t> i_members,
           const std::vector<TileBox>& i_boxes, double i_x0, double i_z0, double i_size,
           const TilesOptions& i_options) {
  io_tiles[i_tile].count = i_members.size();
  for (const std::uint32_t b : i_members) io_tiles[i_tile].box.add(i_boxes[b]);
  if (i_members.size() <= i_options.leafBuildings || io_tiles[i_tile].level >= kMaxLevel) {
    // A city of no building is a root of nothing.
    io_tiles[i_tile].drawn = !i_members.empty();
    io_tiles[i_tile].buildings = std::move(i_members);
    return;
  }
  const double half = i_size / 2;
  std::vector<std::uint32_t> quarters[4];
  for (const std::uint32_t b : i_members) {
    const int east = i_boxes[b].centre(0) >= i_x0 + half ? 1 : 0;
    const int south = i_boxes[b].centre(2) >= i_z0 + half ? 1 : 0;
    quarters[east + 2 * south].push_back(b);
  }
  i_members = {};
  io_tiles[i_tile].drawn = io_tiles[i_tile].count <= i_options.parentBuildings;
  for (int q = 0; q < 4; ++q) {
    if (quarters[q].empty()) continue;
    Tile child;
    child.level = io_tiles[i_tile].level + 1;
    // The tileset's y runs north, against the buildings' z: a quarter of larger z is the lower one.
    child.x = io_tiles[i_tile].x * 2 + static_cast<std::uint64_t>(q % 2);
    child.y = io_tiles[i_tile].y * 2 + static_cast<std::uint64_t>(1 - q / 2);
    child.parent = i_tile;
    io_tiles.push_back(std::move(child));
    const int index = static_cast<int>(io_tiles.size() - 1);
    io_tiles[i_tile].children.push_back(index);
    Split(io_tiles, index, std::move(quarters[q]), i_boxes, i_x0 + (q % 2) * half, i_z0 + (q / 2) * half, half,
          i_options);
  }
}

// The tree over the buildings' boxes; tile 0 is the root.
std::vector<Tile> MakeTree(const std::vector<TileBox>& i_boxes, const TilesOptions& i_options) {
  std::vector<Tile> tiles(1);
  TileBox centres;
  for (const TileBox& box : i_boxes) {
    const double c[3] = {box.centre(0), box.centre(1), box.centre(2)};
    centres.add(c);
  }
  const double size = i_boxes.empty() ? 0 : std::max(centres.hi[0] - centres.lo[0], centres.hi[2] - centres.lo[2]);
  std::vector<std::uint32_t> all(i_boxes.size());
  for (std::uint32_t b = 0; b < all.size(); ++b) all[b] = b;
  // Just wider than the centres' extent, so that the largest centre falls inside it.
  Split(tiles, 0, std::move(all), i_boxes, centres.lo[0], centres.lo[2], size * (1 + 1e-9) + 1e-9, i_options);
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

    std::vector<TileBox> boxes;
    SceneBuilding building;
    while (io_context.next(building)) boxes.push_back(BuildingBox(kit, pieces_, building.plan, building.frame));
    tiles_ = MakeTree(boxes, options);
    std::vector<int> leafOf(boxes.size(), 0);
    for (std::size_t t = 0; t < tiles_.size(); ++t) {
      Tile& tile = tiles_[t];
      for (const std::uint32_t b : tile.buildings) leafOf[b] = static_cast<int>(t);
      tile.waiting = tile.children.empty() ? tile.buildings.size() : tile.children.size();
    }
    boxes_ = std::move(boxes);

    // Beside the tiles, and gone before they are.
    if (!scratch_.open(folder_ + "/scratch")) failed_ = true;
    const NextBuilding again = FramedPass(*io_context.scene, io_context.options.framing());
    for (std::uint32_t b = 0; again(building); ++b) {
      Hold(leafOf[b], building, boxes_[b]);
      if (--tiles_[static_cast<std::size_t>(leafOf[b])].waiting == 0) Finish(leafOf[b]);
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
    const std::string json = TilesetText(options);
    io_context.out.write(json.data(), static_cast<std::streamsize>(json.size()));
    if (failed_) io_context.out.setstate(std::ios::failbit);
    io_context.report.triangles = triangles_;
  }

 private:
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

  Json TileJson(const Tile& i_tile) const {
    Json tile = {{"boundingVolume", {{"box", TilesetBox(i_tile.box)}}},
                 {"geometricError", i_tile.children.empty() ? 0.0 : i_tile.error},
                 {"refine", "REPLACE"}};
    if (i_tile.drawn) tile["content"] = {{"uri", "tiles/" + TileName(i_tile)}};
    for (const int child : i_tile.children) tile["children"].push_back(TileJson(tiles_[static_cast<std::size_t>(child)]));
    return tile;
  }

  std::string TilesetText(const TilesOptions& i_options) const {
    Json root = TileJson(tiles_[0]);
    if (i_options.geo) root["transform"] = EastNorthUpToEcef(i_options.longitude, i_options.latitude, i_options.height);
    const double error = std::max(tiles_[0].box.diagonal(), tiles_[0].error);
    const Json tileset = {{"asset", {{"version", "1.1"}, {"generator", gltf_.generator}}},
                          {"geometricError", error},
                          {"root", std::move(root)}};
    return tileset.dump() + "\n";
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
  std::vector<TileBox> boxes_;
  std::uint64_t triangles_ = 0;
  std::uint64_t written_ = 0;  // buildings in the leaves written so far
  std::uint64_t bytes_ = 0;    // of the tiles written so far
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Writer> MakeTilesFormat() { return std::make_unique<TilesFormat>(); }

}  // namespace Ostrel::Buildings
