// Footprints of any shape: the slab set operations against a cell-by-cell reference, the outline
// and mask readers with their faults, and buildings of the shipped styles over L, T, U, H,
// courtyard, plus and stair-stepped plans, each one closed surface with every piece on its cells.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/layout/Request.h>
#include <ostrel/layout/Setbacks.h>

#include "lint/LintBuildings.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

using Cells = std::set<std::pair<std::int64_t, std::int64_t>>;

Cells CellsOf(const Footprint& i_f) {
  Cells cells;
  for (const CellSlab& slab : i_f.slabs)
    for (std::int64_t x = slab.x0; x <= slab.x1; ++x)
      for (const CellSpan& span : slab.spans)
        for (std::int64_t z = span.z0; z <= span.z1; ++z) cells.insert({x, z});
  return cells;
}

// A random set of cells in an 8 x 8 square, as rows.
Footprint RandomSet(std::mt19937& io_random) {
  std::vector<std::vector<CellSpan>> rows(8);
  for (auto& row : rows)
    for (std::int64_t z = 0; z < 8; ++z)
      if (io_random() % 3 != 0) row.push_back({z, z});
  return FootprintOfRows(3, rows);
}

TEST(Footprint, SetOperationsAgreeWithCells) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const Footprint a = RandomSet(random), b = Shifted(RandomSet(random), 1, -2);
    const Cells ca = CellsOf(a), cb = CellsOf(b);
    Cells both, either = ca, only;
    for (const auto& c : ca) (cb.count(c) ? both : only).insert(c);
    either.insert(cb.begin(), cb.end());
    EXPECT_EQ(CellsOf(Intersection(a, b)), both);
    EXPECT_EQ(CellsOf(Difference(a, b)), only);
    EXPECT_EQ(CellsOf(Union(a, b)), either);
    // The canonical form is one: the same cells give equal slabs, however they were made.
    EXPECT_TRUE(Union(Intersection(a, b), Difference(a, b)) == a);
    for (const auto& [x, z] : ca) EXPECT_TRUE(ContainsCell(a, x, z));
    EXPECT_FALSE(ContainsCell(a, 4, 0));
    Cells fromRects;
    for (const CellRect& r : Rectangles(a))
      for (std::int64_t x = r.x0; x <= r.x1; ++x)
        for (std::int64_t z = r.z0; z <= r.z1; ++z) EXPECT_TRUE(fromRects.insert({x, z}).second);
    EXPECT_EQ(fromRects, ca);
    EXPECT_EQ(CellCount(a), ca.size());
  }
}

Footprint Outline(const std::string& i_text) {
  Footprint f;
  std::string why;
  EXPECT_TRUE(ParseOutline(i_text, f, why)) << i_text << ": " << why;
  return f;
}

std::string OutlineFault(const std::string& i_text) {
  Footprint f;
  std::string why;
  EXPECT_FALSE(ParseOutline(i_text, f, why)) << i_text;
  return why;
}

TEST(FootprintInput, OutlineAndMaskGiveTheSameCellsInTheBuildingsFrame) {
  // An L: 6 cells north-south on the west, 9 east-west on the south, 3 wide.
  const Footprint outline = Outline("0,0 6,0 6,3 3,3 3,9 0,9");
  const Footprint wound = Outline("0,0 0,9 3,9 3,3 6,3 6,0 0,0");  // the other way round, closed
  Footprint mask;
  std::size_t line = 0, column = 0;
  std::string why;
  ASSERT_TRUE(ParseMask("###......\n###......\r\n###\n#########\n#########\n#########\n\n", mask, line, column, why))
      << why;
  EXPECT_TRUE(outline == mask);
  EXPECT_TRUE(wound == mask);
  const CellRect bounds = BoundsOf(mask);
  EXPECT_EQ(bounds.x1, 0);  // the northernmost row at x = 0, the westernmost column at z = 0
  EXPECT_EQ(bounds.x0, -5);
  EXPECT_EQ(bounds.z0, 0);
  EXPECT_EQ(bounds.z1, 8);
  EXPECT_TRUE(ContainsCell(mask, 0, 2) && !ContainsCell(mask, 0, 3) && ContainsCell(mask, -5, 8));

  // A courtyard; a rectangle stays a rectangle.
  EXPECT_EQ(CellCount(Outline("0,0 8,0 8,8 0,8; 3,3 5,3 5,5 3,5")), 60u);
  EXPECT_TRUE(IsRectangle(Outline("2,2 2,6 5,6 5,2")));
}

TEST(FootprintInput, OutlineFaultsNameTheFault) {
  EXPECT_NE(OutlineFault("").find("encloses no cells"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 4,0 4,a").find("'4,a' is not a corner"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 4,1 4,4 0,4").find("not rectilinear: the edge from 0,0 to 4,1"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 6,0 6,6 3,6 3,-2 1,-2 1,6 0,6").find("crosses itself"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 6,0 6,6 0,6; 6,6 8,6 8,8 6,8").find("courtyard 1 touches the outline only at the corner 6,6"),
            std::string::npos);
  EXPECT_NE(OutlineFault("0,0 8,0 8,8 0,8; 2,2 4,2 4,4 2,4; 4,4 6,4 6,6 4,6").find("pinch"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 8,0 8,8 0,8; 0,2 4,2 4,4 0,4").find("crosses or touches the outline"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 8,0 8,8 0,8; 10,10 12,10 12,12 10,12").find("lies outside the outline"),
            std::string::npos);
  EXPECT_NE(OutlineFault("0,0 6,0 6,1 0,1").find("1 cell wide"), std::string::npos);
  EXPECT_NE(OutlineFault("0,0 2147483647,0 2147483647,2 -2,2 -2,0").find("too large"), std::string::npos);
  // A step of one cell leaves a side of one cell.
  EXPECT_NE(OutlineFault("0,0 6,0 6,3 5,3 5,6 0,6").find("1 cell long"), std::string::npos);
  // Two inner corners round one cell: the cell inside each is at the other.
  EXPECT_NE(OutlineFault("3,-2 3,1 1,1 1,3 -2,3 -2,0 0,0 0,-2").find("inner corner"), std::string::npos);
}

TEST(FootprintInput, MaskFaultsNameTheLineAndColumn) {
  Footprint f;
  std::size_t line = 0, column = 0;
  std::string why;
  EXPECT_FALSE(ParseMask("###\n#x#\n", f, line, column, why));
  EXPECT_EQ(line, 2u);
  EXPECT_EQ(column, 2u);
  EXPECT_FALSE(ParseMask("##..\n##..\n..##\n..##\n", f, line, column, why));
  EXPECT_NE(why.find("not 4-connected"), std::string::npos) << why;
  EXPECT_EQ(line, 3u);
  EXPECT_EQ(column, 3u);
  EXPECT_FALSE(ParseMask("##....\n##....\n######\n###.##\n######\n", f, line, column, why));
  EXPECT_NE(why.find("1 cell"), std::string::npos) << why;
  EXPECT_FALSE(ParseMask("....\n\n", f, line, column, why));
  EXPECT_NE(why.find("no cells"), std::string::npos) << why;
}

// The shapes, each in a bounding box of at most 12 x 12 cells, as outlines.
struct Shape {
  const char* name;
  const char* outline;
};
const Shape kShapes[] = {
    {"L", "0,0 7,0 7,3 3,3 3,9 0,9"},
    {"T", "0,0 3,0 3,3 7,3 7,6 3,6 3,9 0,9"},
    {"U", "0,0 7,0 7,3 3,3 3,6 7,6 7,9 0,9"},
    {"H", "0,0 8,0 8,3 5,3 5,6 8,6 8,9 0,9 0,6 3,6 3,3 0,3"},
    {"O", "0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6"},
    {"plus", "3,0 6,0 6,3 9,3 9,6 6,6 6,9 3,9 3,6 0,6 0,3 3,3"},
    {"stairs", "0,0 8,0 8,2 6,2 6,4 4,4 4,6 2,6 2,8 0,8"},
    {"two courtyards", "0,0 8,0 8,12 0,12; 2,2 6,2 6,5 2,5; 2,7 6,7 6,10 2,10"},
};

// Shapes that step back, each setback as the tool reads it: every side of an L, U and courtyard
// block at once (their inner corners over the terrace), two setbacks one above the other, the
// sides away from an L's inner corner (its walls flush with the storeys below) and the sides at
// it (the corner moves in diagonally), and hip and gable roofs on the top block's cells (style S
// offers flat roofs only).
struct Stepped {
  const char* name;
  const char* outline;
  std::vector<const char*> setbacks;
  RoofShape roof = RoofShape::Flat;
};
const Stepped kStepped[] = {
    {"L", "0,0 10,0 10,5 5,5 5,12 0,12", {"2"}},
    {"L twice", "0,0 12,0 12,6 6,6 6,14 0,14", {"1", "3"}},
    {"L away from its inner corner", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:SW:1"}},
    {"L at its inner corner", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:NE:2"}},
    {"U", "0,0 9,0 9,4 4,4 4,8 9,8 9,12 0,12", {"1:NESW:1"}},
    {"O", "0,0 12,0 12,12 0,12; 4,4 8,4 8,8 4,8", {"2"}},
    {"O twice", "0,0 16,0 16,16 0,16; 6,6 10,6 10,10 6,10", {"1", "3"}},
    {"L under a hip roof", "0,0 10,0 10,5 5,5 5,12 0,12", {"2"}, RoofShape::Hip},
    {"U under a gable roof", "0,0 9,0 9,4 4,4 4,8 9,8 9,12 0,12", {"1:S:1"}, RoofShape::Gable},
    // Some sides only where a facade turns: the wall of the block above runs on flush past the
    // terrace's end, on one side of the corner or the other.
    {"L stepped back on its north", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:N:1"}},
    {"L stepped back on its east", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:E:1"}},
    {"L stepped back on its north and south", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:NS:1"}, RoofShape::Hip},
    {"T stepped back on its north", "0,0 4,0 4,4 9,4 9,8 4,8 4,12 0,12", {"2:N:1"}},
    {"U stepped back on its east and west", "0,0 9,0 9,4 4,4 4,8 9,8 9,12 0,12", {"2:EW:1"}},
    {"O stepped back on its north and east", "0,0 12,0 12,12 0,12; 4,4 8,4 8,8 4,8", {"2:NE:1"}},
    {"O on its south, then its west", "0,0 12,0 12,12 0,12; 4,4 8,4 8,8 4,8", {"1:S:1", "3:W:1"}},
    // By more than a cell: a stretch of wall over the terrace before the one that runs on.
    {"L stepped back on its north by 2", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:N:2"}},
    {"L stepped back on its east by 3", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:E:3"}},
    {"L stepped back on its east by 3 under a hip roof", "0,0 10,0 10,5 5,5 5,12 0,12", {"2:E:3"}, RoofShape::Hip},
    {"U stepped back on its east and west by 2", "0,0 10,0 10,6 5,6 5,10 10,10 10,16 0,16", {"2:EW:2"}},
    {"O stepped back on its north and east by 2", "0,0 14,0 14,14 0,14; 5,5 9,5 9,9 5,9", {"1:NE:2"}},
    // The cell that runs on flush is the block above's outer corner: the wall turns there over
    // the terrace, next to the inner corner of the block above or further along.
    {"notched block stepped back on its north", "0,0 6,0 6,4 4,4 4,6 0,6", {"2:N:1"}},
    {"notched block stepped back on its east", "0,0 6,0 6,4 4,4 4,6 0,6", {"2:E:1"}, RoofShape::Hip},
    {"notched block stepped back on its north by 2", "0,0 7,0 7,4 4,4 4,7 0,7", {"2:N:2"}},
    {"notched block stepped back on its east by 2", "0,0 7,0 7,4 4,4 4,7 0,7", {"2:E:2"}},
    // The wall over the terrace is one cell long, the block above's outer corner, before it runs
    // on flush, and by 2 cells it turns at the next outer corner too.
    {"L of 2-cell wings stepped back on its north and south", "0,0 5,0 5,2 2,2 2,5 0,5", {"2:NS:1"}},
    {"L of 2-cell wings stepped back on its east and west", "0,0 5,0 5,2 2,2 2,5 0,5", {"2:EW:1"}, RoofShape::Hip},
    {"L of 3-cell wings stepped back on its north and south by 2", "0,0 6,0 6,3 3,3 3,6 0,6", {"2:NS:2"}},
    {"L of 3-cell wings stepped back on its east and west by 2", "0,0 6,0 6,3 3,3 3,6 0,6", {"2:EW:2"}},
    // The block above keeps the end of one wing and not the inner corner's cell: its outer corner
    // stands in the facade's inner corner, and the other wing's parapet ends against it.
    {"L of 2-cell wings stepped back on its south by 2", "0,0 5,0 5,2 2,2 2,5 0,5", {"2:S:2"}},
    {"L of 2-cell wings stepped back on its west by 2", "0,0 5,0 5,2 2,2 2,5 0,5", {"2:W:2"}, RoofShape::Hip},
    {"L of 3-cell wings stepped back on its south by 3", "0,0 6,0 6,3 3,3 3,6 0,6", {"2:S:3"}},
    // The block above keeps the inner corner's cell and neither end: its outer corner stands in
    // the facade's inner corner, and the parapets of both wings end against it.
    {"L stepped back on its north by 2 past a 2-cell wing", "0,0 7,0 7,5 5,5 5,12 0,12", {"2:N:2"}},
    {"L stepped back on its north and west by 2 past a 2-cell wing", "0,0 7,0 7,5 5,5 5,12 0,12", {"2:NW:2"},
     RoofShape::Hip},
};

// Every piece of the plan stands on i_cells; the door opens once.
void ExpectOnCellsWithOneDoor(const Plan& i_plan, const Kit& i_kit, const Footprint& i_cells, const char* i_style,
                              const std::string& i_what) {
  std::size_t off = 0, doors = 0;
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    if (!ContainsCell(i_cells, i_placement.x, i_placement.z)) ++off;
    if (i_placement.piece == i_kit.style(i_style)->piece(PieceKind::GroundDoor)) ++doors;
  });
  EXPECT_EQ(off, 0u) << i_what << ": placements off the footprint";
  EXPECT_EQ(doors, 1u) << i_what;
}

TEST(FootprintLayout, ShapesAreOneClosedSurfaceOnTheirCells) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  ASSERT_TRUE(kit.measured());
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  for (const char* style : {"A", "B", "S"}) {
    for (const Stepped& shape : kStepped) {
      Request request = MakeRequest(style, "SC", {"NA", "EC"}, {"WE", "SO"}, 1, 1, 5);
      SetFootprint(request, Outline(shape.outline));
      request.roof = std::string(style) == "S" ? RoofShape::Flat : shape.roof;
      for (const char* text : shape.setbacks) {
        Setback setback;
        std::string why;
        ASSERT_TRUE(ParseSetback(text, setback, why)) << text;
        request.setbacks.push_back(setback);
        ASSERT_EQ(SetbackFault(request, request.setbacks.size() - 1), "") << shape.name << ", " << text;
      }
      const Plan plan = MakePlan(request, kit);
      const std::string what = std::string(style) + ", " + shape.name + " stepped back";
      BuildingFaults faults;
      CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
      EXPECT_TRUE(faults.open.empty()) << what << ": " << faults.open.size() << " groups of open edges";
      EXPECT_TRUE(faults.shared.empty()) << what << ": " << faults.shared.size() << " shared edges";
      EXPECT_TRUE(faults.overlaps.empty()) << what << ": " << faults.overlaps.size() << " overlaps";
      ExpectOnCellsWithOneDoor(plan, kit, *request.footprint, style, what);
    }
    for (const Shape& shape : kShapes) {
      for (const int height : {1, 2, 5}) {
        Request request = MakeRequest(style, "SC", {"NA", "EC"}, {"WE", "SO"}, 1, 1, height);
        const Footprint footprint = Outline(shape.outline);
        SetFootprint(request, footprint);
        ASSERT_TRUE(request.footprint);
        const Plan plan = MakePlan(request, kit);
        const std::string what = std::string(style) + ", " + shape.name + ", height " + std::to_string(height);
        BuildingFaults faults;
        CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
        EXPECT_TRUE(faults.open.empty()) << what << ": " << faults.open.size() << " groups of open edges";
        EXPECT_TRUE(faults.shared.empty()) << what << ": " << faults.shared.size() << " shared edges";
        EXPECT_TRUE(faults.overlaps.empty()) << what << ": " << faults.overlaps.size() << " overlaps";
        ExpectOnCellsWithOneDoor(plan, kit, *request.footprint, style, what);
      }
    }
  }
}

// Random unions of rectangles, a rectangle cut out of some: every one the rules let through is one
// closed surface in every style, so the rules refuse all that the pieces cannot build.
TEST(FootprintLayout, EveryFootprintTheRulesLetThroughIsClosed) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  std::mt19937 random(30);
  const auto any = [&](int i_from, int i_count) { return i_from + static_cast<int>(random() % i_count); };
  int built = 0, doorless = 0;
  while (built < 60) {
    Footprint f;
    for (int i = any(2, 4); i > 0; --i) f = Union(f, RectangleFootprint(any(0, 10), any(0, 10), any(2, 6), any(2, 6)));
    if (random() % 2) f = Difference(f, RectangleFootprint(any(0, 10), any(0, 10), any(2, 3), any(2, 3)));
    if (!FootprintFault(f).why.empty() || IsRectangle(f)) continue;
    const char* style = built % 3 == 0 ? "A" : built % 3 == 1 ? "B" : "S";
    ++built;
    const std::string door = std::string(1, "NESW"[built % 4]) + "LCR"[built % 3];
    Request request = MakeRequest(style, door, {"NA", "EC"}, {"WE"}, 1, 1, any(1, 3));
    SetFootprint(request, f);
    BuildingFaults faults;
    const Plan plan = MakePlan(request, kit);
    CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
    // What --markers asks of the layout, against what the plan places: a door on a short run
    // (its cells all corners) is none.
    std::size_t doors = 0;
    ForEachPlacement(plan, kit, [&](const Placement& i_placement) {
      if (i_placement.piece == kit.style(style)->piece(PieceKind::GroundDoor)) ++doors;
    });
    std::string cells;
    for (const CellSlab& slab : request.footprint->slabs)
      for (const CellSpan& span : slab.spans)
        cells += " " + std::to_string(slab.x0) + ".." + std::to_string(slab.x1) + " x " + std::to_string(span.z0) +
                 ".." + std::to_string(span.z1);
    EXPECT_TRUE(faults.open.empty() && faults.shared.empty() && faults.overlaps.empty()) << style << ":" << cells;
    EXPECT_EQ(PlacesDoor(request), doors == 1) << door << ":" << cells;
    EXPECT_LE(doors, 1u) << door << ":" << cells;
    if (doors == 0) ++doorless;
  }
  // Some of them have no run that can hold the door: the check sees both kinds.
  EXPECT_GT(doorless, 0);
}

// Random footprints under random setbacks: every one the setback's checks let through is one
// closed surface, so the checks refuse all that the terrace's pieces cannot lay.
TEST(FootprintLayout, EverySetbackTheRulesLetThroughIsClosed) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  std::mt19937 random(37);
  const auto any = [&](int i_from, int i_count) { return i_from + static_cast<int>(random() % i_count); };
  int built = 0, refused = 0, runOn = 0, runOnLater = 0, turns = 0, standsOnEnd = 0, standsIn = 0;
  while (built < 40) {
    // Then unions of 2-cell squares: wings so narrow that a setback leaves only a wing's end.
    const bool narrow = built >= 32;
    Footprint f;
    if (narrow) {
      const int grid = any(3, 8);
      for (int i = any(1, grid); i > 0; --i) f = Union(f, RectangleFootprint(any(0, grid - 1), any(0, grid - 1), 2, 2));
    } else {
      for (int i = any(2, 3); i > 0; --i) f = Union(f, RectangleFootprint(any(0, 8), any(0, 8), any(4, 6), any(4, 6)));
      if (random() % 2) f = Difference(f, RectangleFootprint(any(-6, 6), any(1, 6), any(2, 3), any(2, 3)));
    }
    if (!FootprintFault(f).why.empty() || IsRectangle(f)) continue;
    const char* style = built % 3 == 0 ? "A" : built % 3 == 1 ? "B" : "S";
    Request request = MakeRequest(style, "SC", {"NA"}, {"EC"}, 1, 1, 3);
    SetFootprint(request, f);
    Setback setback{1 + any(0, 2), 0, 0, 0, 0};
    const std::int64_t cells = any(1, narrow ? 3 : 2);
    for (std::int64_t* side : {&setback.north, &setback.east, &setback.south, &setback.west})
      if (random() % 4 != 0) *side = cells;
    request.setbacks = {setback};
    if (!SetbackFault(request, 0).empty()) {
      ++refused;
      continue;
    }
    ++built;
    BuildingFaults faults;
    const Plan plan = MakePlan(request, kit);
    CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
    ForEachPlacement(plan, kit, [&](const Placement& i_placement) {
      for (const PieceKind kind : {PieceKind::InnerAngleTerraceLeft, PieceKind::InnerAngleTerraceRight})
        if (i_placement.piece == kit.style(style)->piece(kind)) ++runOn;
      for (const PieceKind kind : {PieceKind::TerraceEndLeft, PieceKind::TerraceEndRight})
        if (i_placement.piece == kit.style(style)->piece(kind)) ++runOnLater;
      for (const PieceKind kind : {PieceKind::InnerAngleTerraceTurnLeft, PieceKind::InnerAngleTerraceTurnRight,
                                   PieceKind::TerraceEndTurnLeft, PieceKind::TerraceEndTurnRight})
        if (i_placement.piece == kit.style(style)->piece(kind)) ++turns;
      for (const PieceKind kind : {PieceKind::InnerAngleRoofCornerLeft, PieceKind::InnerAngleRoofCornerRight})
        if (i_placement.piece == kit.style(style)->piece(kind)) ++standsOnEnd;
      if (i_placement.piece == kit.style(style)->piece(PieceKind::InnerAngleRoofCorner)) ++standsIn;
    });
    std::string cells_;
    for (const CellSlab& slab : request.footprint->slabs)
      for (const CellSpan& span : slab.spans)
        cells_ += " " + std::to_string(slab.x0) + ".." + std::to_string(slab.x1) + " x " + std::to_string(span.z0) +
                  ".." + std::to_string(span.z1);
    EXPECT_TRUE(faults.open.empty() && faults.shared.empty() && faults.overlaps.empty())
        << style << ", N" << setback.north << " E" << setback.east << " S" << setback.south << " W" << setback.west
        << ":" << cells_;
  }
  // The checks refuse some, and some step back only some sides where a facade turns, by 1 cell
  // or more, some of them into an outer corner, and some keep a wing's end or an inner corner's
  // cell whose corner stands in the facade's inner corner: the test sees all kinds.
  EXPECT_GT(refused, 0);
  EXPECT_GT(runOn, 0);
  EXPECT_GT(runOnLater, 0);
  EXPECT_GT(turns, 0);
  EXPECT_GT(standsOnEnd, 0);
  EXPECT_GT(standsIn, 0);
}

// The door opens on the longest run of its side on the outline, never on a courtyard's, even
// where the courtyard's run is longer.
TEST(FootprintLayout, TheDoorOpensOnTheLongestOuterRun) {
  const Kit kit = LoadKit(kShipped, {"A"});
  // A notch splits the north side into runs of 4, 2 and 4 cells; the courtyard's south wall faces
  // north over 6 cells.
  Request request = MakeRequest("A", "NL", {}, {}, 1, 1, 2);
  SetFootprint(request, Outline("0,0 10,0 10,4 8,4 8,6 10,6 10,10 0,10; 2,2 6,2 6,8 2,8"));
  const Plan plan = MakePlan(request, kit);
  std::vector<Placement> doors;
  ForEachPlacement(plan, kit, [&](const Placement& i_placement) {
    if (i_placement.piece == kit.style("A")->piece(PieceKind::GroundDoor)) doors.push_back(i_placement);
  });
  ASSERT_EQ(doors.size(), 1u);
  // On the first north run of 4, at its left end seen from outside: its inner cells are z = 1, 2.
  EXPECT_EQ(doors[0].x, 0);
  EXPECT_EQ(doors[0].z, 2);
}

// A courtyard block of 2,000 x 2,000 cells plans in a handful of blocks and is counted at once.
TEST(FootprintLayout, ThePlanGrowsWithTheOutlineNotTheCells) {
  const Kit kit = LoadKit(kShipped, {"A"});
  Request request = MakeRequest("A", "SC", {"NA"}, {}, 1, 1, 30);
  SetFootprint(request, Outline("0,0 2000,0 2000,2000 1200,2000 1200,2600 0,2600; 500,500 1500,500 1500,1500 500,1500"));
  const Plan plan = MakePlan(request, kit);
  EXPECT_LT(plan.blocks.size(), 40u);
  std::size_t runs = 0;
  for (const Block& block : plan.blocks) runs += block.runs.size();
  EXPECT_LT(runs, 400u);
  EXPECT_GT(CountPlan(plan, kit).vertices, 1000000u);
  // Two setbacks of hundreds of cells: three blocks and two terraces, each as folded.
  request.setbacks = {{10, 100, 100, 100, 100}, {20, 200, 200, 200, 200}};
  ASSERT_EQ(SetbackFault(request, 0) + SetbackFault(request, 1), "");
  const Plan stepped = MakePlan(request, kit);
  EXPECT_LT(stepped.blocks.size(), 120u);
  runs = 0;
  for (const Block& block : stepped.blocks) runs += block.runs.size();
  EXPECT_LT(runs, 1500u);
  EXPECT_GT(CountPlan(stepped, kit).vertices, 1000000u);
}

}  // namespace
