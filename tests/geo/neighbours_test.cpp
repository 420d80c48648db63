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
  // At the ends of a party wall the neighbour's front runs on from the house's in its plane; not
  // in the middle of the wall, nor where the neighbour is deeper and its front stands elsewhere.
  const auto runsOn = [&](std::size_t i, Facing i_facing) {
    int n = 0;
    for (const PartySide& side : sides[i]) n += side.facing == i_facing && side.runsOn;
    return n;
  };
  EXPECT_EQ(runsOn(1, Facing::West), 2);
  EXPECT_EQ(runsOn(0, Facing::East), 2);
  EXPECT_EQ(runsOn(2, Facing::East), 0);
  EXPECT_EQ(runsOn(3, Facing::West), 0);
  // House 4's cells stand beyond both ends of house 3's east wall, its fronts a metre out; house
  // 3's stand beyond neither end of house 4's west wall. A front that runs on stands there too.
  const auto endAgainst = [&](std::size_t i, Facing i_facing) {
    int n = 0;
    for (const PartySide& side : sides[i]) {
      n += side.facing == i_facing && side.endAgainst;
      EXPECT_TRUE(!side.runsOn || side.endAgainst);
    }
    return n;
  };
  EXPECT_EQ(endAgainst(2, Facing::East), 2);
  EXPECT_EQ(endAgainst(3, Facing::West), 0);
  EXPECT_EQ(endAgainst(1, Facing::West), 2);
  // A side in the neighbour's plane is backed by it.
  for (const auto& building : sides) {
    for (const PartySide& side : building) EXPECT_TRUE(!side.covered || side.backed);
  }
}

TEST(Neighbours, AWallAFewCentimetresOffBacksASideWithoutCoveringIt) {
  // Two houses 5 cm apart, and two 15 cm apart: the first pair's walls stand against each other
  // but not in one plane, so neither is left out; the second pair's stand apart.
  for (const double gap : {0.05, 0.15}) {
    std::vector<CityBuilding> houses = {Building(1, 3, Rectangle(0, 0, 7, 10)),
                                        Building(2, 3, Rectangle(7 + gap, 0, 14 + gap, 10))};
    const auto sides = PartySides(houses);
    ASSERT_EQ(sides[0].size(), 3u) << gap;
    for (const PartySide& side : sides[0]) {
      EXPECT_FALSE(side.covered || side.hidden) << gap;
      EXPECT_EQ(side.backed, gap < kBackedMetres) << gap;
    }
  }
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

namespace {

// Exposed cell sides of two buildings, kept (not left out), that lie in one plane facing each
// other (or, i_alike, facing the same way: fronts running on) and share more than 1 cm: the faces
// that would coincide on the mesh.
int KeptSidesInOnePlane(const std::vector<CityBuilding>& i_buildings, bool i_alike = false) {
  const auto party = PartySides(i_buildings);
  struct Wall {
    MapPoint middle, normal, along;
    double half;
  };
  std::vector<std::vector<Wall>> walls(i_buildings.size());
  for (std::size_t i = 0; i < i_buildings.size(); ++i) {
    const CellFootprint& fit = i_buildings[i].fit;
    const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        for (int f = 0; f < 4; ++f) {
          if (!fit.has(r, c) || fit.has(r + dr[f], c + dc[f])) continue;
          bool hidden = false;
          for (const PartySide& side : party[i])
            hidden = hidden || (side.row == r && side.column == c && static_cast<int>(side.facing) == f && side.hidden);
          if (hidden) continue;
          const Facing facing = static_cast<Facing>(f);
          walls[i].push_back({SideMiddle(fit, r, c, facing), SideNormal(fit, facing), f % 2 == 0 ? AxisZ(fit) : AxisX(fit),
                              0.5 * (f % 2 == 0 ? fit.cellZ : fit.cellX)});
        }
      }
    }
  }
  int count = 0;
  for (std::size_t i = 0; i < walls.size(); ++i) {
    for (std::size_t j = i + 1; j < walls.size(); ++j) {
      for (const Wall& a : walls[i]) {
        for (const Wall& b : walls[j]) {
          const double facing = a.normal.east * b.normal.east + a.normal.north * b.normal.north;
          if (i_alike ? facing < 0.99995 : facing > -0.99995) continue;
          const double de = b.middle.east - a.middle.east, dn = b.middle.north - a.middle.north;
          if (std::fabs(de * a.normal.east + dn * a.normal.north) > 0.02) continue;
          const double apart = std::fabs(de * a.along.east + dn * a.along.north);
          count += apart < a.half + b.half - 0.01 ? 1 : 0;
        }
      }
    }
  }
  return count;
}

TEST(Neighbours, NeighboursAtSlightlyDifferentAnglesShareOnePlaneAndOneWall) {
  // Two row houses whose outlines share a slanted party edge and whose other edges make them
  // lean 2 degrees apart; and two houses staggered along their party edge, whose cells end at
  // places more than a quarter of a cell apart, so that each has a side the other's wall covers
  // in part. On their own grids the first two walls cross; the last two would both stay.
  const double lean = std::tan(2.0 / 180.0 * 3.14159265358979);
  std::vector<CityBuilding> houses = {Building(1, 3, {{0, 0}, {9, 0}, {9.3, 10}, {0, 10}}),
                                      Building(2, 3, {{9, 0}, {18, -18 * lean}, {18.3, 10 - 18 * lean}, {9.3, 10}}),
                                      Building(3, 3, Box(0, 30, 9, 40)), Building(4, 2, Box(9, 34.5, 19, 44.5))};
  const double ownBearing = houses[1].fit.bearing;
  CellOptions options;
  AlignNeighbours(houses, options);
  SettleOverlaps(houses, options);
  EXPECT_EQ(houses[0].fit.bearing, houses[1].fit.bearing);
  EXPECT_NE(houses[1].fit.bearing, ownBearing);
  EXPECT_TRUE(houses[0].grid.given && houses[3].grid.given);
  const auto sides = PartySides(houses);
  int hidden = 0;
  for (const PartySide& side : sides[1]) hidden += side.hidden ? 1 : 0;
  EXPECT_EQ(hidden, 3);  // the later of two equal houses leaves its whole party wall out
  EXPECT_EQ(KeptSidesInOnePlane(houses), 0);
  // The staggered pair still meets: the later one's grid reaches into the earlier's wall.
  bool met = false;
  for (const PartySide& side : sides[3]) met = met || side.neighbour == 3;
  EXPECT_TRUE(met);
}

TEST(Neighbours, AShorterWallWithinANeighboursSideReachesIntoItsWall) {
  // A taller house whose party wall, 7 m long, stands within the middle of a 10 m wall whose
  // end cells it covers in part: the lower house's parapet would stand there in the plane of
  // the taller's wall. The later grid reaches into the earlier's wall instead: both walls stay,
  // neither in the other's plane.
  std::vector<CityBuilding> houses = {Building(1, 2, Box(0, 0, 9, 10)), Building(2, 4, Box(9, 1.5, 18, 8.5))};
  CellOptions options;
  AlignNeighbours(houses, options);
  SettleOverlaps(houses, options);
  const auto sides = PartySides(houses);
  ASSERT_FALSE(sides[1].empty());
  for (const auto& building : sides) {
    for (const PartySide& side : building) EXPECT_FALSE(side.hidden || side.covered);
  }
  EXPECT_EQ(KeptSidesInOnePlane(houses), 0);
}

TEST(Neighbours, AFrontRunningOnPastAReachStandsOffTheNeighboursFront) {
  // Row houses on one street line, staggered along their party edge: the later one's grid reaches
  // into the earlier's wall, and its front would lie on the earlier's front over the reach. Its
  // front stands a few centimetres off instead, forward, as its cells are the shallower: a wall's
  // inner face stands at a share of its cell's depth, and stepping back by 3 cm would bring it
  // within 1 cm of the deeper neighbour's. A front of a third house that meets it without a reach
  // keeps the line.
  std::vector<CityBuilding> houses = {Building(1, 3, Box(0, 0, 9, 10)), Building(2, 3, Box(9, 0, 18, 8.5)),
                                      Building(3, 3, Box(30, 0, 39, 9)), Building(4, 3, Box(39, 0, 48, 9))};
  CellOptions options;
  AlignNeighbours(houses, options);
  SettleOverlaps(houses, options);
  EXPECT_LT(houses[1].grid.tMin, 9 - 0.04);  // reached in
  EXPECT_EQ(KeptSidesInOnePlane(houses, true), 0);
  ASSERT_LT(houses[1].fit.cellX, houses[0].fit.cellX);
  const double forward = houses[0].grid.sMin - houses[1].grid.sMin;  // the south fronts face -s
  EXPECT_GT(forward, 0.02);
  EXPECT_LT(forward, kBackedMetres);  // still running on: the corner's bands end on the party line
  EXPECT_NEAR(houses[3].grid.sMin, houses[2].grid.sMin, 1e-9);
}

TEST(Neighbours, BuildingsKeepTheirOwnGridsAloneOrTurnedFarApart) {
  // A lone house, and two neighbours 15 degrees apart: each keeps the cells it has on its own.
  const double turn = std::tan(15.0 / 180.0 * 3.14159265358979);
  std::vector<CityBuilding> houses = {Building(1, 2, Box(0, 0, 9, 9)), Building(2, 2, Box(30, 0, 39, 9)),
                                      Building(3, 2, {{39, 0}, {48, 9 * turn}, {48 - 9 * turn, 9 + 9 * turn}, {39, 9}})};
  std::vector<CityBuilding> alone = houses;
  AlignNeighbours(houses, CellOptions{});
  for (std::size_t i = 0; i < houses.size(); ++i) {
    EXPECT_FALSE(houses[i].grid.given) << i;
    EXPECT_EQ(houses[i].fit.bearing, alone[i].fit.bearing) << i;
    EXPECT_EQ(MaskText(houses[i].fit), MaskText(alone[i].fit)) << i;
  }
}

TEST(Neighbours, ALaterGridAtASlantStopsShortOfTheRoofOfANeighbourOfItsHeight) {
  // A house 6 m wide turned 10 degrees, too far to line up, whose south edge crosses its
  // neighbour's north edge: its slab's south-east end reaches past the neighbour's wall line, past
  // the wall's inner face (0.3 m in, a tenth of a 3 m cell), and ends over its east wall. Of one
  // height its roof row would be a bare slab there, lying on the neighbour's roof: its grid's south
  // end stands back until its slab, between its own walls' inner faces, ends within the
  // neighbour's wall wherever it passes over the neighbour's roof, whose east end is the east
  // wall's inner face. Of another height nothing moves.
  const double a = 10.0 / 180.0 * 3.14159265358979;
  const MapPoint east{std::cos(a), -std::sin(a)}, north{std::sin(a), std::cos(a)};
  std::vector<MapPoint> turned;
  for (const auto& [t, s] : {std::pair{-3.0, 0.0}, {3.0, 0.0}, {3.0, 9.0}, {-3.0, 9.0}})
    turned.push_back({6.2 + t * east.east + s * north.east, 9 + t * east.north + s * north.north});
  for (const int storeys : {2, 3}) {
    std::vector<CityBuilding> houses = {Building(1, 2, Rectangle(0, 0, 9, 9)), Building(2, storeys, turned)};
    const CellFootprint alone = houses[1].fit;
    AlignNeighbours(houses, CellOptions{});
    const CellFootprint& fit = houses[1].fit;
    EXPECT_FALSE(houses[0].grid.given);
    EXPECT_EQ(houses[1].grid.given, storeys == 2);
    EXPECT_EQ(fit.bearing, alone.bearing);
    ASSERT_EQ(fit.rows, alone.rows);
    ASSERT_EQ(fit.columns, 2);
    double lowest = HUGE_VAL;  // the slab's south edge over the neighbour's roof, metres north
    for (double u = -0.4; u <= 1.4; u += 0.001) {
      const MapPoint edge = CellCentre(fit, fit.rows - 0.5, u);
      if (edge.east < 9 - 0.3) lowest = std::min(lowest, edge.north);
    }
    if (storeys == 2) {
      EXPECT_GE(lowest, 9 - 0.3);
      EXPECT_LT(lowest, 9 - 0.3 + 0.01);  // no further back than that
    } else {
      EXPECT_LT(lowest, 9 - 0.3 - 0.1);
    }
  }
}

TEST(Neighbours, AGridAtASlantEndsAtTheMiddleOfItsOutermostEdges) {
  // A 12 x 9 m rectangle seen from a grid turned 3 degrees: each end lies at the middle of the
  // edge facing that way, not at the corner that reaches farthest.
  const Shape box = {Area{Box(0, 0, 12, 9), {}}};
  const GridLines lines = ExtentAt(box, -3.0);
  CellFootprint turned;
  turned.bearing = -3.0;
  const MapPoint x = AxisX(turned), z = AxisZ(turned);
  const auto s = [&](double e, double n) { return e * x.east + n * x.north; };
  const auto t = [&](double e, double n) { return e * z.east + n * z.north; };
  EXPECT_NEAR(lines.sMax, s(6, 9), 1e-9);
  EXPECT_NEAR(lines.sMin, s(6, 0), 1e-9);
  EXPECT_NEAR(lines.tMin, t(0, 4.5), 1e-9);
  EXPECT_NEAR(lines.tMax, t(12, 4.5), 1e-9);
  EXPECT_TRUE(lines.given);
}

}  // namespace
