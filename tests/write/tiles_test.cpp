// The frame of a tileset on the globe, its boxes, and the joining of shards' tilesets.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/write/Tiles.h>

#include "write/tiles/TileBoxes.h"
#include "write/tiles/TileScratch.h"

namespace {

using Ostrel::Buildings::EastNorthUpToEcef;

// Published WGS 84 positions: the matrix's last column is the point, its first three the unit
// east, north and up directions there.
TEST(TilesTest, EastNorthUpFrameStandsOnTheEllipsoid) {
  const std::array<double, 16> equator = EastNorthUpToEcef(0, 0, 0);
  EXPECT_NEAR(equator[12], 6378137.0, 1e-6);
  EXPECT_NEAR(equator[13], 0, 1e-6);
  EXPECT_NEAR(equator[14], 0, 1e-6);
  const double east[3] = {0, 1, 0}, north[3] = {0, 0, 1}, up[3] = {1, 0, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(equator[i], east[i], 1e-12);
    EXPECT_NEAR(equator[4 + i], north[i], 1e-12);
    EXPECT_NEAR(equator[8 + i], up[i], 1e-12);
  }
  EXPECT_EQ(equator[3], 0);
  EXPECT_EQ(equator[15], 1);

  // 45 degrees north and east: x = y = 3194419.145 m, z = 4487348.409 m.
  const std::array<double, 16> mid = EastNorthUpToEcef(45, 45, 0);
  EXPECT_NEAR(mid[12], 3194419.145, 1e-3);
  EXPECT_NEAR(mid[13], 3194419.145, 1e-3);
  EXPECT_NEAR(mid[14], 4487348.409, 1e-3);
  // Up is the ellipsoid's normal: along the geodetic latitude, not towards the centre.
  EXPECT_NEAR(mid[10], std::sin(M_PI / 4), 1e-12);

  // The pole at 100 m: the semi-minor axis, 6356752.314 m, and 100 m more.
  const std::array<double, 16> pole = EastNorthUpToEcef(30, 90, 100);
  EXPECT_NEAR(pole[14], 6356752.314 + 100, 1e-3);
  EXPECT_NEAR(pole[10], 1, 1e-12);
}

// glTF's +y up is the tileset's +z up, and its +z is the tileset's -y.
TEST(TilesTest, BoxTurnsFromYUpToZUp) {
  Ostrel::Buildings::TileBox box;
  const double lo[3] = {0, 0, 0}, hi[3] = {2, 4, 6};
  box.add(lo);
  box.add(hi);
  const std::array<double, 12> expected = {1, -3, 2, 1, 0, 0, 0, 3, 0, 0, 0, 2};
  EXPECT_EQ(Ostrel::Buildings::TilesetBox(box), expected);
}

TEST(TilesTest, MergeJoinsShardsAndRefusesAFolderWithoutThem) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "towerkit-merge-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "shard-2");
  std::filesystem::create_directories(folder / "shard-10");
  std::filesystem::create_directories(folder / "shard-x");
  std::string error;
  EXPECT_FALSE(Ostrel::Buildings::MergeTilesets(folder.string(), error));
  EXPECT_EQ(error, "No shard's tileset in '" + folder.string() + "' (shard-K/tileset.json)");

  const auto write = [&](const char* i_shard, double i_x, double i_error) {
    std::ofstream(folder / i_shard / "tileset.json")
        << R"({"asset":{"version":"1.1"},"geometricError":)" << i_error
        << R"(,"root":{"boundingVolume":{"box":[)" << i_x
        << R"(,0,5,1,0,0,0,2,0,0,0,5]},"geometricError":1,"refine":"REPLACE",)"
        << R"("content":{"uri":"tiles/0-0-0.glb"}}})";
  };
  write("shard-2", 0, 10);
  write("shard-10", 10, 30);
  ASSERT_TRUE(Ostrel::Buildings::MergeTilesets(folder.string(), error)) << error;
  std::ifstream file(folder / "tileset.json");
  const nlohmann::json merged = nlohmann::json::parse(file);
  EXPECT_EQ(merged["geometricError"], 30);
  const nlohmann::json& children = merged["root"]["children"];
  ASSERT_EQ(children.size(), 2u);
  // By shard number, not by name.
  EXPECT_EQ(children[0]["content"]["uri"], "shard-2/tileset.json");
  EXPECT_EQ(children[1]["content"]["uri"], "shard-10/tileset.json");
  const std::array<double, 12> root = merged["root"]["boundingVolume"]["box"];
  const std::array<double, 12> expected = {5, 0, 5, 6, 0, 0, 0, 2, 0, 0, 0, 5};
  EXPECT_EQ(root, expected);
  std::filesystem::remove_all(folder);
}

// A shard's tileset that was edited or cut short is refused by name, whatever member is missing or
// of the wrong kind: none of them may crash the merge.
TEST(TilesTest, MergeRefusesAShardTilesetOfTheWrongShape) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "towerkit-merge-shape-test";
  const char* const shapes[] = {
      R"({"geometricError":1})",
      R"({"geometricError":1,"root":7})",
      R"({"geometricError":1,"root":{"boundingVolume":[]}})",
      R"({"geometricError":1,"root":{"boundingVolume":{"box":[0,0,0,1,0,0,0,1,0,0,0,"1"]}}})",
      R"({"geometricError":"1","root":{"boundingVolume":{"box":[0,0,0,1,0,0,0,1,0,0,0,1]}}})",
      (R"({"geometricError":1,"root":{"boundingVolume":{"box":[0,0,0,1,0,0,0,1,0,0,0,1]},)"
       R"("content":{},"transform":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,null]}})"),
      R"([1,2,3])",
      R"({"geometricError":1,"root":)",
  };
  for (const char* shape : shapes) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "shard-0");
    std::ofstream(folder / "shard-0" / "tileset.json") << shape;
    std::string error;
    EXPECT_FALSE(Ostrel::Buildings::MergeTilesets(folder.string(), error)) << shape;
    EXPECT_EQ(error, "Tileset '" + folder.string() + "/shard-0/tileset.json' cannot be read") << shape;
  }
  std::filesystem::remove_all(folder);
}

// Every placement a plan walks, as text: two plans that walk alike place the same pieces.
std::string Walk(const Ostrel::Buildings::Plan& i_plan) {
  std::string walk;
  Ostrel::Buildings::ForEachPlacement(i_plan, [&](const Ostrel::Buildings::Placement& i_p) {
    walk += std::to_string(i_p.piece) + " " + std::to_string(i_p.x) + " " + std::to_string(i_p.z) + " " +
            std::to_string(i_p.level) + " " + std::to_string(i_p.step) + " " + std::to_string(i_p.rise) + " " +
            std::to_string(i_p.xd) + " " + std::to_string(i_p.zd) + "\n";
  });
  return walk;
}

// A building waits for its tile in the scratch file: it must come back as it went, plan, frame,
// name and properties, and its far level; a record cut short or of the other kind is refused.
TEST(TilesTest, AWaitingBuildingComesBackFromTheScratchFileAsItWent) {
  using namespace Ostrel::Buildings;
  const Kit kit = LoadKit(std::string(TOWERKIT_SOURCE_DIR) + "/units", {"B"});
  Request request = MakeRequest("B", "SC", {"NA"}, {}, 4, 3, 5);
  request.roof = RoofShape::Hip;
  request.setbacks = {{1, 0, 1, 1, 0}};
  TileBuilding building{MakePlan(request, kit), {}, "lot_7", {"lot_7", "B", "hip", 4, 15.5f}};
  building.frame.xpos = 40;
  building.frame.xdir = 1;
  building.frame.zdir = 0;
  FarBuilding far;
  far.extras.levels.emplace_back();
  far.extras.levels[0].parts.resize(2);
  far.extras.levels[0].parts[0].material = 3;
  far.extras.levels[0].parts[0].positions = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}};
  far.extras.levels[0].parts[0].indices = {0, 1, 2};
  far.extras.levels[0].parts[1].uvs = {{0.25f, 0.5f}};
  far.extras.levels[0].parts[1].tangents = {{1, 0, 0, -1}};
  far.frame = building.frame;
  far.name = "lot_7";
  far.feature = building.feature;
  far.error = 0.375;

  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "towerkit-scratch-test";
  std::filesystem::create_directories(folder);
  ScratchFile scratch;
  ASSERT_TRUE(scratch.open((folder / "scratch").string()));
  ScratchRecord buildingAt, farAt;
  ASSERT_TRUE(scratch.put(RecordOf(building), buildingAt));
  ASSERT_TRUE(scratch.put(RecordOf(far), farAt));
  std::string bytes;
  ASSERT_TRUE(scratch.get(buildingAt, bytes));
  TileBuilding back;
  ASSERT_TRUE(ReadRecord(bytes, back));
  EXPECT_FALSE(Walk(back.plan).empty());
  EXPECT_EQ(Walk(back.plan), Walk(building.plan));
  EXPECT_EQ(back.plan.choices.size(), building.plan.choices.size());
  EXPECT_EQ(back.frame.xpos, 40);
  EXPECT_EQ(back.frame.xdir, 1);
  EXPECT_EQ(back.name, "lot_7");
  EXPECT_EQ(back.feature.id, "lot_7");
  EXPECT_EQ(back.feature.roof, "hip");
  EXPECT_EQ(back.feature.storeys, 4u);
  EXPECT_EQ(back.feature.height, 15.5f);
  FarBuilding notFar;
  EXPECT_FALSE(ReadRecord(bytes, notFar));
  EXPECT_FALSE(ReadRecord(bytes.substr(0, bytes.size() - 1), back));

  ASSERT_TRUE(scratch.get(farAt, bytes));
  FarBuilding farBack;
  ASSERT_TRUE(ReadRecord(bytes, farBack));
  ASSERT_EQ(farBack.extras.levels.size(), 1u);
  const std::vector<ExtraPart>& parts = farBack.extras.levels[0].parts;
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].material, 3u);
  EXPECT_EQ(parts[0].positions.size(), 3u);
  EXPECT_EQ(parts[0].positions[2].z, 8);
  EXPECT_EQ(parts[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(parts[1].uvs.size(), 1u);
  EXPECT_EQ(parts[1].tangents.size(), 1u);
  EXPECT_EQ(farBack.frame.xdir, 1);
  EXPECT_EQ(farBack.feature.style, "B");
  EXPECT_EQ(farBack.error, 0.375);
  EXPECT_FALSE(ReadRecord(bytes.substr(0, bytes.size() - 1), farBack));
  // The file is nobody else's: it is gone from its folder while in use.
  EXPECT_FALSE(std::filesystem::exists(folder / "scratch"));
  scratch.close();
  std::filesystem::remove_all(folder);
}

}  // namespace
