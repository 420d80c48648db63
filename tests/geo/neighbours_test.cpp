// Neighbours: no cell on another building's ground, party walls where cells stand against a
// neighbour's, and of two walls in one plane exactly one left out.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <ostrel/geo/Neighbours.h>

namespace {

using namespace Ostrel::Geo;

std::vector<MapPoint> Rectangle(double i_west, double i_south, double i_east, double i_north) {
  return {{i_west, i_south}, {i_east, i_south}, {i_east, i_north}, {i_west, i_north}};
}

CityBuilding Building(std::uint64_t i_number, int i_storeys, std::vector<MapPoint> i_ring) {
  CityBuilding building;
  building.number = i_number;
  building.storeys = i_storeys;
  building.shape = {Area{std::move(i_ring), {}}};
  building.fit = FootprintCells(building.shape, CellOptions{});
  return building;
}

TEST(Neighbours, RowHousesShareWallsAndOneOfEachPairIsLeftOut) {
  // Three houses in a row, 7 m wide and 10 m deep; the middle one is the tallest, the outer two
  // of equal height. A fourth, 12 m deep, stands behind the third's east wall and beyond it.
  std::vector<CityBuilding> houses = {Building(1, 3, Rectangle(0, 0, 7, 10)), Building(2, 4, Rectangle(7, 0, 14, 10)),
                                      Building(3, 3, Rectangle(14, 0, 21, 10)), Building(4, 3, Rectangle(21, -1, 30, 11))};
  SettleOverlaps(houses, CellOptions{});
  const auto sides = PartySides(houses);
  const auto count = [&](std::size_t i, Facing i_facing, bool i_hidden) {
    int n = 0;
    for (const PartySide& side : sides[i]) n += side.facing == i_facing && side.hidden == i_hidden;
    return n;
  };
  // House 1 against the taller house 2: its east wall left out, house 2's west wall kept closed.
  EXPECT_EQ(count(0, Facing::East, true), 3);
  EXPECT_EQ(count(1, Facing::West, false), 3);
  EXPECT_EQ(count(1, Facing::West, true), 0);
  EXPECT_EQ(count(1, Facing::East, false), 3);
  EXPECT_EQ(count(2, Facing::West, true), 3);
  // Houses 3 and 4 of equal height: 4's wall is deeper, so it stands over all of 3's: 3's is
  // left out even though 3 comes first, and 4's, which 3 covers only in part, stays.
  EXPECT_EQ(count(2, Facing::East, true), 3);
  for (const PartySide& side : sides[3]) {
    EXPECT_EQ(side.facing, Facing::West);
    EXPECT_FALSE(side.hidden);
    EXPECT_EQ(side.neighbour, 3u);
  }
  // No party side on a street or garden facade; none on the ends of the row.
  for (std::size_t i = 0; i < houses.size(); ++i) {
    EXPECT_EQ(count(i, Facing::North, false) + count(i, Facing::South, false), 0) << i;
  }
  EXPECT_EQ(count(0, Facing::West, false) + count(0, Facing::West, true), 0);
}

TEST(Neighbours, NoCellOnAnotherBuildingsGround) {
  // An outline reaching 2 m into its neighbour's (a drawing error in the data), and a skewed
  // building against a straight one: no cell centre of one lies in the other's outline.
  std::vector<CityBuilding> pair = {Building(1, 2, Rectangle(0, 0, 9, 9)), Building(2, 2, Rectangle(7, 0, 16, 9)),
                                    Building(3, 2, {{16, 0}, {26, 0}, {26, 9}, {17.5, 9}}),
                                    // Two that share a slanted wall: their grids' end cells overlap.
                                    Building(4, 2, {{7, 30}, {16, 30}, {17.5, 39}, {7, 39}}),
                                    Building(5, 2, {{16, 30}, {26, 30}, {26, 39}, {17.5, 39}})};
  SettleOverlaps(pair, CellOptions{});
  for (std::size_t i = 0; i < pair.size(); ++i) {
    ASSERT_TRUE(pair[i].fit.fault.empty());
    for (int r = 0; r < pair[i].fit.rows; ++r) {
      for (int c = 0; c < pair[i].fit.columns; ++c) {
        if (!pair[i].fit.has(r, c)) continue;
        const MapPoint centre = CellCentre(pair[i].fit, r, c);
        for (std::size_t j = 0; j < pair.size(); ++j) {
          if (j == i) continue;
          // Ground both outlines hold stays with the building first in the file.
          const bool disputed = Contains(pair[i].shape, centre) && pair[i].number < pair[j].number;
          EXPECT_FALSE(Contains(pair[j].shape, centre) && !disputed) << i << " " << r << "," << c;
        }
      }
    }
  }
  // Nor do two buildings' cells overlap by more than a tenth of a cell (sampled on a 10 x 10 grid).
  for (std::size_t i = 0; i < pair.size(); ++i) {
    const CellFootprint& fit = pair[i].fit;
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        int inside = 0;
        for (int u = 0; u < 10; ++u) {
          for (int v = 0; v < 10; ++v) {
            const MapPoint point = CellCentre(fit, r - 0.45 + u * 0.1, c - 0.45 + v * 0.1);
            for (std::size_t j = 0; j < pair.size(); ++j) {
              int row = 0, column = 0;
              CellAt(pair[j].fit, point, row, column);
              if (j != i && pair[j].fit.has(row, column)) ++inside;
            }
          }
        }
        EXPECT_LE(inside, 12) << i << " " << r << "," << c;
      }
    }
  }
  // The first keeps its 9 m; the second loses the cells over the first's ground.
  EXPECT_EQ(MaskText(pair[0].fit), "###\n###\n###\n");
  EXPECT_EQ(MaskText(pair[1].fit), ".##\n.##\n.##\n");
  // Walls that meet at an angle are party walls, closed, but none is left out: they are not in
  // one plane, so neither covers the other.
  const auto sides = PartySides(pair);
  bool skewed = false;
  for (const PartySide& side : sides[2]) {
    skewed = skewed || side.neighbour == 2;
    EXPECT_FALSE(side.hidden);
  }
  EXPECT_TRUE(skewed);
}

}  // namespace
