// The frame of a tileset on the globe, its boxes, and the joining of shards' tilesets.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include <ostrel/write/Tiles.h>

#include "write/tiles/TileBoxes.h"

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

}  // namespace
