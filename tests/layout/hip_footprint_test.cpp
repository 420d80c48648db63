// Buildings of any footprint under a hip roof and under a gable roof, as the layout plans them with
// the shipped kit: the storeys and the roof are one closed surface, open only at the ground, with a
// gable at every wing's end; and the roof's plan stays folded, growing with its rings and the
// outline's edges, not with its cells.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/HipRoof.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>

#include "lint/LintBuildings.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

Footprint Outline(const char* i_outline) {
  Footprint footprint;
  std::string why;
  EXPECT_TRUE(ParseOutline(i_outline, footprint, why)) << i_outline << why;
  return footprint;
}

// Each shape with the gable ends its gable roof has: every end of a wing, none in a courtyard
// block.
struct HipShape {
  const char* outline;
  std::size_t gables;
};

const HipShape kHipShapes[] = {
    {"0,0 7,0 7,4 3,4 3,9 0,9", 2},                           // an L of wings 4 and 3 wide
    {"0,0 4,0 4,3 7,3 7,6 4,6 4,9 0,9", 3},                   // a T, its stem narrower than its bar
    {"0,0 7,0 7,3 3,3 3,6 7,6 7,9 0,9", 2},                   // a U
    {"0,0 8,0 8,3 5,3 5,6 8,6 8,9 0,9 0,6 3,6 3,3 0,3", 4},   // an H
    {"0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6", 0},                  // a courtyard block
    {"3,0 6,0 6,3 9,3 9,6 6,6 6,9 3,9 3,6 0,6 0,3 3,3", 4},   // a plus
    {"0,0 8,0 8,2 6,2 6,4 4,4 4,6 2,6 2,8 0,8", 2},           // stairs, the top and bottom steps wings
    {"0,0 9,0 9,5 5,5 5,11 0,11", 2},                         // an L of wings 5 wide
};

TEST(HipFootprint, ShapesAreOneClosedSurfaceWithTheirStoreys) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  ASSERT_TRUE(kit.measured());
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  for (const char* style : {"A", "B", "S"}) {
    for (const HipShape& shape : kHipShapes) {
      for (const RoofShape roof : {RoofShape::Hip, RoofShape::Gable}) {
        for (const int height : {1, 3}) {
          const char* outline = shape.outline;
          Request request = MakeRequest(style, "SC", {"NA"}, {"WE"}, 1, 1, height);
          SetFootprint(request, Outline(outline));
          request.roof = roof;
          const Plan plan = MakePlan(request, kit);
          const std::string what = std::string(style) + ", " + outline + ", height " + std::to_string(height) +
                                   (roof == RoofShape::Gable ? ", gable" : ", hip");
          BuildingFaults faults;
          CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
          EXPECT_TRUE(faults.open.empty()) << what << ": " << faults.open.size() << " groups of open edges";
          EXPECT_TRUE(faults.shared.empty()) << what << ": " << faults.shared.size() << " shared edges";
          EXPECT_TRUE(faults.overlaps.empty()) << what << ": " << faults.overlaps.size() << " overlaps";
        }
      }
    }
  }
  for (const HipShape& shape : kHipShapes) {
    std::vector<HipCells> cells;
    std::vector<GableEnd> ends;
    std::string fault;
    ASSERT_TRUE(GableRoofCells(Outline(shape.outline), cells, ends, fault)) << fault;
    EXPECT_EQ(ends.size(), shape.gables) << shape.outline;
  }
}

// Every cell of a courtyard block of 2,000 x 2,600 cells takes one roof piece, from a plan of a
// few runs per ring.
TEST(HipFootprint, TheRoofGrowsWithItsRingsNotItsCells) {
  const Footprint footprint =
      Outline("0,0 2000,0 2000,2000 1200,2000 1200,2600 0,2600; 500,500 1500,500 1500,1500 500,1500");
  std::vector<HipCells> cells;
  std::string fault;
  ASSERT_TRUE(HipRoofCells(footprint, cells, fault)) << fault;
  std::uint64_t covered = 0;
  std::int64_t rings = 0;
  for (const HipCells& run : cells) {
    covered += static_cast<std::uint64_t>(run.rows * run.cells);
    rings = std::max(rings, run.step + 1);
  }
  EXPECT_EQ(covered, 2000u * 2600u - 1000u * 1000u - 800u * 600u);
  // The solid part east of the courtyard, 1,100 cells wide, is the widest: 550 rings.
  EXPECT_EQ(rings, 550);
  EXPECT_LT(cells.size(), 40u * static_cast<std::size_t>(rings));
}

}  // namespace
