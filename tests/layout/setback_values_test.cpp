// Setback and band texts as the tool and the city file give them, and the faults of each where
// it stands in a building.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/layout/Setbacks.h>

namespace {

using namespace Ostrel::Buildings;

TEST(SetbackValues, TextsReadAsTheyAreMeantOrNotAtAll) {
  Setback setback;
  std::string why;
  ASSERT_TRUE(ParseSetback("3", setback, why));
  EXPECT_EQ(setback.level, 3);
  EXPECT_EQ(setback.north + setback.east + setback.south + setback.west, 4);  // all four by one
  ASSERT_TRUE(ParseSetback("2:WN:3", setback, why));
  EXPECT_EQ(setback.north, 3);
  EXPECT_EQ(setback.west, 3);
  EXPECT_EQ(setback.east + setback.south, 0);
  ASSERT_TRUE(ParseSetback("2::3", setback, why));  // all four sides, by three
  EXPECT_EQ(setback.east, 3);
  for (const char* bad : {"", "x", "2:NN", "2:Q", "2:N:0", "2:N:-1", "2:N:1:1", "-1", " 2"}) {
    EXPECT_FALSE(ParseSetback(bad, setback, why)) << bad;
    EXPECT_NE(why.find("is not a setback"), std::string::npos) << bad;
  }

  Band band;
  ASSERT_TRUE(ParseBand("0:S", band, why));
  EXPECT_EQ(band.from, 0);
  EXPECT_EQ(band.to, 0);
  EXPECT_EQ(band.style, "S");
  ASSERT_TRUE(ParseBand("2-5:B", band, why));
  EXPECT_EQ(band.to, 5);
  for (const char* bad : {"0", "0:", ":A", "a-2:A", "1-:A", "-1:A"}) EXPECT_FALSE(ParseBand(bad, band, why)) << bad;
  EXPECT_FALSE(ParseBand("3-1:A", band, why));
  EXPECT_EQ(why, " runs from storey 3 down to 1: give the lower storey first");
}

TEST(SetbackValues, EachFaultIsFoundWhereTheSetbackStands) {
  Request request = MakeRequest("A", "SC", {}, {}, 3, 4, 5);  // 5 x 6 cells, storeys 0 to 4
  request.setbacks = {{2, 1, 0, 1, 0}, {4, 0, 2, 0, 0}};
  EXPECT_EQ(SetbackFault(request, 0), "");
  EXPECT_EQ(SetbackFault(request, 1), "");
  const BlockRect top = BlockRectOf(request, 2);
  EXPECT_EQ(top.x0, -1);  // north stepped in by one
  EXPECT_EQ(top.z0, 0);
  EXPECT_EQ(top.cellsAlongX, 3);
  EXPECT_EQ(top.cellsAlongZ, 4);

  request.setbacks = {{5, 1, 0, 0, 0}};
  EXPECT_EQ(SetbackFault(request, 0), " steps back at storey 5: give a storey from 1 to 4 (the height is 5)");
  request.setbacks = {{3, 1, 0, 0, 0}, {3, 1, 0, 0, 0}};
  EXPECT_NE(SetbackFault(request, 1).find("not above the setback before it (storey 3)"), std::string::npos);
  request.setbacks = {{1, 2, 0, 2, 0}};
  EXPECT_EQ(SetbackFault(request, 0),
            " leaves the block above 1 cell from north to south: a block needs 2 or more each way");
  request.setbacks = {{1, 0, 2, 0, 2}};
  EXPECT_EQ(SetbackFault(request, 0), "");  // 2 cells from west to east are enough
  request.rows = 2;
  EXPECT_NE(SetbackFault(request, 0).find("has no storey above its ground storey"), std::string::npos);
}

TEST(SetbackValues, BandsCoverStoreysOnceAndGiveTheirStyle) {
  Request request = MakeRequest("A", "SC", {}, {}, 1, 1, 4);
  request.bands = {{0, 0, "S"}, {2, 3, "B"}};
  EXPECT_EQ(BandFault(request, 1), "");
  EXPECT_EQ(StyleOfStorey(request, 0), "S");
  EXPECT_EQ(StyleOfStorey(request, 1), "A");
  EXPECT_EQ(StyleOfStorey(request, 3), "B");
  request.bands.push_back({3, 4, "S"});
  EXPECT_EQ(BandFault(request, 2), " covers storeys 3 to 4: the building of height 4 has storeys 0 to 3");
  request.bands.back() = {1, 2, "S"};
  EXPECT_EQ(BandFault(request, 2), " overlaps the band of storeys 2 to 3 before it");
}

}  // namespace

namespace {

using Ostrel::Buildings::BlockRect;

bool InFootprint(const BlockRect& i_footprint, std::int64_t i_x, std::int64_t i_z) {
  return i_x <= i_footprint.x0 && i_x > i_footprint.x0 - i_footprint.cellsAlongX && i_z >= i_footprint.z0 &&
         i_z < i_footprint.z0 + i_footprint.cellsAlongZ;
}

// At a setback's level every cell of the block below holds one piece, the block above's inside
// none; no piece stands outside the footprint of its level's block.
TEST(SetbackLayout, TheTerraceCoversWhatTheBlockAboveLeavesOpenOnce) {
  const Kit kit = LoadKit(std::string(TOWERKIT_SOURCE_DIR) + "/units", {"A"});
  ASSERT_TRUE(kit.measured());
  const std::vector<std::vector<Setback>> cases = {
      {{1, 1, 1, 1, 1}}, {{2, 0, 2, 0, 0}}, {{1, 0, 0, 0, 3}}, {{1, 2, 1, 3, 2}}, {{1, 1, 0, 0, 0}, {3, 0, 1, 1, 0}}};
  for (const auto& setbacks : cases) {
    Request request = MakeRequest("A", "SC", {"NA", "SA"}, {}, 6, 7, 5);
    request.setbacks = setbacks;
    std::map<std::tuple<std::int64_t, std::int64_t, std::int64_t>, int> pieces;  // level, x, z
    const Plan plan = MakePlan(request, kit);
    ForEachPlacement(plan, [&](const Placement& i_placement) {
      // Balconies share their facade cell; variants stand for their plain piece.
      if (kit.piece(PlacedPiece(plan, i_placement)).name.find("_balcony") == std::string::npos)
        ++pieces[{i_placement.level, i_placement.x, i_placement.z}];
    });
    for (std::size_t b = 0; b < setbacks.size(); ++b) {
      const BlockRect below = BlockRectOf(request, b), above = BlockRectOf(request, b + 1);
      const std::int64_t level = setbacks[b].level;
      for (std::int64_t x = below.x0 - below.cellsAlongX + 1; x <= below.x0; ++x) {
        for (std::int64_t z = below.z0; z < below.z0 + below.cellsAlongZ; ++z) {
          const bool inside = x < above.x0 && x > above.x0 - above.cellsAlongX + 1 && z > above.z0 &&
                              z < above.z0 + above.cellsAlongZ - 1;
          const auto it = pieces.find({level, x, z});
          EXPECT_EQ(it == pieces.end() ? 0 : it->second, inside ? 0 : 1)
              << "setback " << b << " at level " << level << ", cell " << x << ", " << z;
        }
      }
    }
    for (const auto& [cell, count] : pieces) {
      const auto [level, x, z] = cell;
      std::size_t block = 0;
      while (block < setbacks.size() && level > setbacks[block].level) ++block;
      // At a setback's own level the terrace belongs to the block below.
      EXPECT_TRUE(InFootprint(BlockRectOf(request, block), x, z)) << "level " << level << ", cell " << x << ", " << z;
    }
  }
}

}  // namespace
