// The layout of a building: which piece goes where, facing which way, with which offset.
// Observed through forEachPlacement, so no file is written.

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

#include "BuildingTestSupport.h"

namespace {

using Ostrel::Buildings::Building;
using Ostrel::Buildings::UnitPlacement;

// Vertex counts of the test kit's pieces of style T.
const std::map<std::string, std::size_t> kVertices = {
    {"T_angle", 3},       {"T_angleroof", 5}, {"T_ground", 4},     {"T_grounddoor", 6},
    {"T_groundclose", 3}, {"T_floor", 7},     {"T_floorclose", 4}, {"T_roof", 5},
    {"T_roofdoor", 4},    {"T_balcony", 8},   {"T_roofcap", 4}};

std::vector<UnitPlacement> Walk(const BuildingTest::Request& request, std::size_t offset = 0) {
  Building building = BuildingTest::Make(request);
  std::vector<UnitPlacement> placements;
  EXPECT_TRUE(building.forEachPlacement(offset, [&](const UnitPlacement& p) { placements.push_back(p); }));
  return placements;
}

// Placements of one level (the y of their position), in order.
std::vector<UnitPlacement> AtLevel(const std::vector<UnitPlacement>& all, float level) {
  std::vector<UnitPlacement> out;
  for (const UnitPlacement& p : all) {
    if (p.position.y == level) out.push_back(p);
  }
  return out;
}

std::vector<std::string> Pieces(const std::vector<UnitPlacement>& placements) {
  std::vector<std::string> out;
  for (const UnitPlacement& p : placements) out.push_back(p.piece);
  return out;
}

// Pieces of the facade cells whose position satisfies `on`, without corners and roof caps.
template <typename On>
std::vector<std::string> Facade(const std::vector<UnitPlacement>& placements, On on) {
  std::vector<std::string> out;
  for (const UnitPlacement& p : placements) {
    if (p.piece.find("angle") == std::string::npos && p.piece != "T_roofcap" && on(p)) out.push_back(p.piece);
  }
  return out;
}

BuildingTest::Request WorkedExample() {
  BuildingTest::Request request;
  request.w = 3;
  request.l = 3;
  request.h = 3;
  request.door = "NC";
  request.close = {"NA"};
  request.balcony = {"SC"};
  return request;
}

TEST(BuildingLayout, WorkedExampleGroundRowInOrder) {
  const std::vector<UnitPlacement> ground = AtLevel(Walk(WorkedExample()), 0);
  struct Expected {
    const char* piece;
    float x, z, xd, zd;
  };
  const std::vector<Expected> expected = {
      {"T_angle", 0, 0, -1, 0},      {"T_groundclose", 0, 1, 0, 1}, {"T_grounddoor", 0, 2, 0, 1},
      {"T_groundclose", 0, 3, 0, 1}, {"T_angle", 0, 4, 0, 1},       {"T_ground", -1, 4, 1, 0},
      {"T_ground", -2, 4, 1, 0},     {"T_ground", -3, 4, 1, 0},     {"T_angle", -4, 4, 1, 0},
      {"T_ground", -4, 1, 0, -1},    {"T_ground", -4, 2, 0, -1},    {"T_ground", -4, 3, 0, -1},
      {"T_angle", -4, 0, 0, -1},     {"T_ground", -1, 0, -1, 0},    {"T_ground", -2, 0, -1, 0},
      {"T_ground", -3, 0, -1, 0}};
  ASSERT_EQ(ground.size(), expected.size());
  std::size_t offset = 0;
  for (std::size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(ground[k].piece, expected[k].piece);
    EXPECT_EQ(ground[k].position.x, expected[k].x);
    EXPECT_EQ(ground[k].position.z, expected[k].z);
    EXPECT_EQ(ground[k].direction.x, expected[k].xd);
    EXPECT_EQ(ground[k].direction.y, 0.0f);
    EXPECT_EQ(ground[k].direction.z, expected[k].zd);
    EXPECT_EQ(ground[k].offset, offset);  // each placement starts where the one before ended
    offset += kVertices.at(ground[k].piece);
  }
}

TEST(BuildingLayout, WorkedExamplePiecesPerLevel) {
  const std::vector<UnitPlacement> all = Walk(WorkedExample());
  auto north = [](const UnitPlacement& p) { return p.position.x == 0; };
  auto east = [](const UnitPlacement& p) { return p.position.z == 4 && p.position.x < 0 && p.position.x > -4; };
  auto south = [](const UnitPlacement& p) { return p.position.x == -4; };
  auto west = [](const UnitPlacement& p) { return p.position.z == 0 && p.position.x < 0 && p.position.x > -4; };
  using V = std::vector<std::string>;
  const V floor3 = {"T_floor", "T_floor", "T_floor"};

  const auto level1 = AtLevel(all, 1);
  EXPECT_EQ(Facade(level1, north), V({"T_floorclose", "T_floorclose", "T_floorclose"}));
  EXPECT_EQ(Facade(level1, east), floor3);
  EXPECT_EQ(Facade(level1, south), V({"T_floor", "T_balcony", "T_floor", "T_floor", "T_balcony"}));
  EXPECT_EQ(Facade(level1, west), floor3);

  const auto level2 = AtLevel(all, 2);
  EXPECT_EQ(Facade(level2, north), V({"T_floorclose", "T_floorclose", "T_floorclose"}));
  EXPECT_EQ(Facade(level2, south), V({"T_floor", "T_floor", "T_balcony", "T_floor"}));

  const auto roof = AtLevel(all, 3);
  EXPECT_EQ(Facade(roof, north), V({"T_roof", "T_roof", "T_roof"}));
  EXPECT_EQ(Facade(roof, south), V({"T_roof", "T_roof", "T_roof"}));
  for (float level : {0.0f, 1.0f, 2.0f}) {
    EXPECT_EQ(Pieces(AtLevel(all, level)).front(), "T_angle");
  }
  EXPECT_EQ(roof.front().piece, "T_angleroof");
  // The roof cap follows the ring: row l = 1..3, within it w = 1..3, at (-l, 3, w), facing +z.
  ASSERT_EQ(roof.size(), 16u + 9u);
  for (std::size_t k = 0; k < 9; ++k) {
    const UnitPlacement& cap = roof[16 + k];
    EXPECT_EQ(cap.piece, "T_roofcap");
    EXPECT_EQ(cap.position.x, -static_cast<float>(k / 3 + 1));
    EXPECT_EQ(cap.position.z, static_cast<float>(k % 3 + 1));
    EXPECT_EQ(cap.direction.z, 1.0f);
  }
}

TEST(BuildingLayout, RowsFromGroundToRoof) {
  struct Case {
    int h;
    std::vector<std::string> corners;  // corner piece of each row, bottom up
    std::vector<float> levels;
  };
  const std::vector<Case> cases = {
      {0, {"T_angle", "T_angleroof"}, {0, 0}},
      {1, {"T_angle", "T_angleroof"}, {0, 1}},
      {3, {"T_angle", "T_angle", "T_angle", "T_angleroof"}, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    BuildingTest::Request request;
    request.h = c.h;
    std::vector<std::string> corners;
    std::vector<float> levels;
    for (const UnitPlacement& p : Walk(request)) {
      // The first corner of each row stands at the origin.
      if (p.position.x == 0 && p.position.z == 0) {
        corners.push_back(p.piece);
        levels.push_back(p.position.y);
      }
    }
    EXPECT_EQ(corners, c.corners) << "h " << c.h;
    EXPECT_EQ(levels, c.levels) << "h " << c.h;
  }
}

TEST(BuildingLayout, WidthAndLengthAreSwapped) {
  // w counts the cells along E and W, l those along N and S.
  BuildingTest::Request request;
  request.w = 3;
  request.l = 5;
  request.h = 0;
  const auto ground = Walk(request);
  std::size_t north = 0, east = 0;
  for (const UnitPlacement& p : ground) {
    if (p.piece == "T_ground" && p.direction.z == 1) ++north;
    if (p.piece == "T_ground" && p.direction.x == 1) ++east;
  }
  EXPECT_EQ(north, 5u);
  EXPECT_EQ(east, 3u);
  // Zero width and length: the four corners alone.
  request.w = 0;
  request.l = 0;
  EXPECT_EQ(Pieces(Walk(request)),
            std::vector<std::string>({"T_angle", "T_angle", "T_angle", "T_angle", "T_angleroof",
                                      "T_angleroof", "T_angleroof", "T_angleroof"}));
}

TEST(BuildingLayout, DoorPlaces) {
  struct Case {
    std::string door;
    int cells;  // inner cells on every facade
    char facade;
    int cell;  // 0: no door
  };
  const std::vector<Case> cases = {
      {"NL", 1, 'N', 1}, {"NC", 1, 'N', 1}, {"NR", 1, 'N', 1}, {"NC", 4, 'N', 2},
      {"NL", 3, 'N', 3}, {"NR", 3, 'N', 1}, {"SL", 3, 'S', 1}, {"SR", 3, 'S', 3},
      {"EL", 3, 'E', 3}, {"WL", 3, 'W', 1}, {"WC", 4, 'W', 2}, {"  ", 3, 'N', 0},
      {"nc", 3, 'N', 0}, {"N", 3, 'N', 0},  {"NX", 3, 'N', 0}, {"XC", 3, 'N', 0}};
  for (const Case& c : cases) {
    Building building("T", c.door, {}, {}, c.cells, c.cells, 2);
    for (const char facade : std::string("NESW")) {
      for (int i = 1; i <= c.cells; ++i) {
        const bool door = facade == c.facade && i == c.cell;
        const int low = facade == 'N' || facade == 'E' ? c.cells : 1;
        const int high = facade == 'N' || facade == 'E' ? 1 : c.cells;
        EXPECT_EQ(building.checkForDoorOrClose(0, "ground", facade, low, high, i), door ? "door" : "")
            << c.door << " " << facade << i;
        EXPECT_EQ(building.checkForDoorOrClose(1, "floor", facade, low, high, i), "");
      }
    }
  }
  // A roof row on the ground takes the door; nothing else does.
  BuildingTest::Request request;
  request.h = 0;
  request.door = "EC";
  request.close = {"EA"};
  std::size_t roofdoors = 0, grounddoors = 0;
  for (const UnitPlacement& p : Walk(request)) {
    roofdoors += p.piece == "T_roofdoor";
    grounddoors += p.piece == "T_grounddoor";
  }
  EXPECT_EQ(roofdoors, 1u);
  EXPECT_EQ(grounddoors, 1u);
}

TEST(BuildingLayout, PatternsSelectCells) {
  // Cells 1..4 on facade S; expected selection per pattern and level, as a string of 0 and 1.
  struct Case {
    std::string request;
    int level;
    const char* name;
    const char* walls;      // checkForClose for cells 1..4
    const char* balconies;  // checkForBalcony for cells 1..4
  };
  const std::vector<Case> cases = {{"SA", 1, "floor", "1111", "1111"},  {"SE", 1, "floor", "1010", "1010"},
                                   {"SO", 2, "floor", "0101", "0101"},  {"SC", 1, "floor", "1010", "1010"},
                                   {"SC", 2, "floor", "0101", "0101"},  {"SA", 0, "ground", "1111", "0000"},
                                   {"SC", 0, "ground", "0101", "0000"}, {"SA", 3, "roof", "0000", "0000"},
                                   {"sa", 1, "floor", "0000", "0000"},  {"NA", 1, "floor", "0000", "0000"},
                                   {"S", 1, "floor", "0000", "0000"},   {"SX", 1, "floor", "0000", "0000"},
                                   {"SAB", 1, "floor", "1111", "1111"}};
  for (const Case& c : cases) {
    Building building("T", "  ", {c.request}, {c.request}, 4, 4, 4);
    std::string walls, balconies;
    for (int i = 1; i <= 4; ++i) {
      walls += building.checkForClose(c.level, c.name, 'S', i) ? '1' : '0';
      balconies += building.checkForBalcony(c.level, c.name, 'S', i) ? '1' : '0';
    }
    EXPECT_EQ(walls, c.walls) << c.request << " level " << c.level;
    EXPECT_EQ(balconies, c.balconies) << c.request << " level " << c.level;
  }
  // Several requests for one facade combine; a door wins over a wall in its cell.
  Building building("T", "NC", {}, {"NE", "NO"}, 3, 3, 3);
  EXPECT_EQ(building.checkForDoorOrClose(0, "ground", 'N', 3, 1, 1), "close");
  EXPECT_EQ(building.checkForDoorOrClose(0, "ground", 'N', 3, 1, 2), "door");
  EXPECT_EQ(building.checkForDoorOrClose(0, "ground", 'N', 3, 1, 3), "close");
}

TEST(BuildingLayout, BalconyFollowsItsCellAndCornersStayPlain) {
  BuildingTest::Request request;
  request.w = 2;
  request.l = 2;
  request.h = 2;
  request.door = "NL";
  request.balcony = {"NA", "EA", "SA", "WA"};
  request.close = {"NA"};
  const auto all = Walk(request);
  std::size_t balconies = 0;
  for (std::size_t k = 0; k < all.size(); ++k) {
    if (all[k].piece != "T_balcony") continue;
    ++balconies;
    ASSERT_GT(k, 0u);
    EXPECT_EQ(all[k].position.x, all[k - 1].position.x);  // same cell and direction as the piece before
    EXPECT_EQ(all[k].position.z, all[k - 1].position.z);
    EXPECT_EQ(all[k].direction.x, all[k - 1].direction.x);
    EXPECT_EQ(all[k].position.y, 1.0f);  // only the upper storey
    EXPECT_NE(all[k - 1].piece.find("floor"), std::string::npos);
  }
  EXPECT_EQ(balconies, 8u);
  for (const UnitPlacement& p : all) {
    const bool corner = (p.position.x == 0 || p.position.x == -3) && (p.position.z == 0 || p.position.z == 3);
    if (corner) {
      EXPECT_NE(p.piece.find("angle"), std::string::npos);
    }
  }
}

TEST(BuildingLayout, OffsetsChainAcrossRowsAndMissingPieces) {
  BuildingTest::Request request = WorkedExample();
  const std::size_t start = 1000;
  std::size_t offset = start;
  for (const UnitPlacement& p : Walk(request, start)) {
    EXPECT_EQ(p.offset, offset) << p.piece;
    offset += kVertices.at(p.piece);
  }
  // The build's result is the sum of every placement's vertices.
  Building building = BuildingTest::Make(request);
  std::ostringstream out;
  EXPECT_EQ(building.build(out, start), offset - start);

  // A style without files places nothing: every offset stays where it started.
  request.style = "none";
  for (const UnitPlacement& p : Walk(request, 5)) EXPECT_EQ(p.offset, 5u) << p.piece;
}

// A walk over the cells of these sizes would take hours, far past the test time-out.
TEST(BuildingLayout, AnySizeEndsQuickly) {
  const int sizes[] = {INT_MIN, -5, -2, -1, INT_MAX - 1, INT_MAX};
  for (int w : sizes) {
    for (int h : sizes) {
      Building building = BuildingTest::Make(BuildingTest::Request{"T", "NC", {"SA"}, {"NA"}, w, w, h});
      std::ostringstream out;
      building.build(out, 0);
      if (w > 0 || h > 0) {
        EXPECT_EQ(building.lastError(), Ostrel::Buildings::BuildError::TooLarge) << w << " " << h;
        EXPECT_TRUE(out.str().empty());
      }
    }
  }
}

}  // namespace
