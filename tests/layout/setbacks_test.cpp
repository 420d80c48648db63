// Setbacks and storey bands as the layout lays them from the shipped kit's pieces: every building
// is one closed surface (open only at the base), with no faces over each other, and each block's
// pieces stand on its own footprint; the terrace's roof ring and cap stand on the block below,
// in the cells the block above leaves open.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/layout/Setbacks.h>

#include "lint/LintBuildings.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

struct Case {
  const char* name;
  std::vector<Setback> setbacks;  // level, then cells north, east, south, west
  std::vector<std::string> balcony, close;
  int w, l, h;
  RoofShape roof = RoofShape::Flat;
};

const Case kSteppedCases[] = {
    {"tower on a podium", {{2, 2, 2, 2, 2}}, {"NA"}, {}, 5, 5, 5},
    {"north and east", {{1, 1, 1, 0, 0}}, {}, {}, 3, 4, 3},
    {"north", {{1, 1, 0, 0, 0}}, {}, {}, 3, 3, 2},
    {"east", {{1, 0, 1, 0, 0}}, {}, {}, 3, 3, 2},
    {"south", {{1, 0, 0, 1, 0}}, {}, {}, 3, 3, 2},
    {"west", {{1, 0, 0, 0, 2}}, {}, {}, 3, 4, 2},
    {"two setbacks", {{1, 1, 0, 0, 1}, {3, 0, 1, 1, 0}}, {"EE"}, {"SO"}, 4, 4, 5},
    {"walls and balconies over the terrace", {{1, 1, 0, 1, 0}}, {"NA", "SC"}, {"NE", "SA"}, 3, 3, 3},
    {"hip roof on the top block", {{1, 1, 1, 1, 1}}, {}, {}, 4, 3, 3, RoofShape::Hip},
    {"gable roof on the top block", {{2, 0, 1, 0, 1}}, {}, {}, 2, 3, 3, RoofShape::Gable},
};

// The block whose storeys include i_level: 0 below the first setback.
std::size_t BlockAt(const Request& i_request, std::int64_t i_level) {
  std::size_t block = 0;
  while (block < i_request.setbacks.size() && i_request.setbacks[block].level <= i_level) ++block;
  return block;
}

bool Inside(const BlockRect& i_f, std::int64_t i_x, std::int64_t i_z) {
  return i_x <= i_f.x0 && i_x > i_f.x0 - i_f.cellsAlongX && i_z >= i_f.z0 && i_z < i_f.z0 + i_f.cellsAlongZ;
}

// The building as one surface, and every placement on its block's footprint: a roof row's piece
// at a setback's level is the terrace, on the block below and off the block above.
void ExpectClean(const Request& i_request, const Kit& i_kit, const std::string& i_what) {
  const Plan plan = MakePlan(i_request, i_kit);
  std::vector<PieceId> same(i_kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  BuildingFaults faults;
  CheckBuilding(plan, i_kit, same, std::vector<char>(i_kit.pieces.size(), 0), faults);
  EXPECT_TRUE(faults.open.empty()) << i_what << ": " << faults.open.size() << " groups of open edges";
  EXPECT_TRUE(faults.shared.empty()) << i_what << ": " << faults.shared.size() << " shared edges";
  EXPECT_TRUE(faults.overlaps.empty()) << i_what << ": " << faults.overlaps.size() << " overlaps";

  std::map<PieceId, PieceKind> kinds;
  for (const KitStyle& style : i_kit.styles)
    for (std::size_t k = 0; k < kPieceKindCount; ++k) kinds[style.pieces[k]] = static_cast<PieceKind>(k);
  std::size_t misplaced = 0;
  ForEachPlacement(plan, i_kit, [&](const Placement& i_placement) {
    const std::size_t block = BlockAt(i_request, i_placement.level);
    const bool roofRow = RuleOf(kinds[i_placement.piece]).row == PieceRow::Roof;
    const bool terrace = roofRow && block > 0 && i_placement.level == i_request.setbacks[block - 1].level;
    const bool inside = terrace ? Inside(BlockRectOf(i_request, block - 1), i_placement.x, i_placement.z) &&
                                      !Inside(BlockRectOf(i_request, block), i_placement.x, i_placement.z)
                                : Inside(BlockRectOf(i_request, block), i_placement.x, i_placement.z);
    if (!inside) ++misplaced;
  });
  EXPECT_EQ(misplaced, 0u) << i_what << ": placements off their block's footprint";
}

TEST(SetbackLayout, SteppedBuildingsAreOneClosedSurfaceOnTheirFootprints) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  ASSERT_TRUE(kit.measured());
  for (const char* style : {"A", "B", "S"}) {
    for (const Case& c : kSteppedCases) {
      if (c.roof != RoofShape::Flat && std::string(style) == "S") continue;  // S has flat roofs only
      Request request = MakeRequest(style, "SC", c.balcony, c.close, c.w, c.l, c.h);
      request.setbacks = c.setbacks;
      request.roof = c.roof;
      ExpectClean(request, kit, std::string(style) + ", " + c.name);
    }
  }
}

TEST(SetbackLayout, BandsMeetTheStoreysAboveAndBelow) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  ASSERT_TRUE(kit.measured());
  struct Banded {
    const char* style;
    std::vector<Band> bands;
    std::vector<Setback> setbacks;
  };
  const Banded banded[] = {
      {"A", {{0, 0, "S"}}, {}},
      {"B", {{0, 0, "S"}}, {}},
      {"B", {{0, 1, "A"}}, {}},
      {"A", {{0, 1, "B"}}, {}},
      {"A", {{2, 3, "B"}}, {}},
      {"B", {{1, 2, "S"}}, {}},
      // A shop front podium under a tower: the terrace is the shop front's roof, whose parapet
      // is style A's, and around a tower on all sides it meets only the slab.
      {"A", {{0, 0, "S"}}, {{1, 1, 0, 0, 0}}},
      {"B", {{0, 0, "S"}}, {{1, 1, 1, 1, 1}}},
  };
  for (const Banded& b : banded) {
    Request request = MakeRequest(b.style, "SC", {"NC", "EA"}, {"WA"}, 3, 3, 5);
    request.bands = b.bands;
    request.setbacks = b.setbacks;
    std::string what = std::string(b.style) + " with bands";
    for (const Band& band : b.bands)
      what += " " + std::to_string(band.from) + "-" + std::to_string(band.to) + ":" + band.style;
    if (!b.setbacks.empty()) what += " and a setback";
    ExpectClean(request, kit, what);
    request.roof = RoofShape::Hip;
    if (StyleOfStorey(request, request.rows - 2) != "S") ExpectClean(request, kit, what + ", hip roof");
  }
}

}  // namespace
