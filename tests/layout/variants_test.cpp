// Piece variants: which form a place takes, how the kit finds variants, and that walking,
// counting and listing a plan with choices agree with each other and refuse what is too large.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/layout/Variation.h>
#include "write/gltf/GltfWriter.h"

#include "BuildingTestSupport.h"
#include "TestSupport.h"
#include "towerkit/RunFlow.h"

namespace {

namespace fs = std::filesystem;
using namespace Ostrel::Buildings;
using TestSupport::ScratchDir;

// The test kit with variants of different sizes: T_floor.1 and .2 (8 and 3 vertices beside the
// plain 7), T_balcony.1, T_angle.1 and T_roofcap.1. T_ground.1 stands beyond a gap (.1 missing),
// so it is no variant.
struct VariantKit {
  ScratchDir dir;
  VariantKit() {
    for (const auto& entry : fs::directory_iterator(BuildingTest::kKit)) fs::copy(entry.path(), dir.path);
    const auto copy = [&](const char* i_from, const char* i_to) {
      fs::copy_file(dir.path / i_from, dir.path / i_to);
    };
    copy("T_balcony.obj", "T_floor.1.obj");
    copy("T_angle.obj", "T_floor.2.obj");
    copy("T_floor.obj", "T_balcony.1.obj");
    copy("T_roof.obj", "T_angle.1.obj");
    copy("T_angle.obj", "T_roofcap.1.obj");
    copy("T_floor.obj", "T_ground.2.obj");
  }
  std::string path() const { return dir.path.string(); }
};

Request MakeVaried(int i_w, int i_l, int i_h, std::uint64_t i_seed, bool i_byCell) {
  Request request = MakeRequest("T", "SC", {"NA", "EC"}, {"WE"}, i_w, i_l, i_h);
  request.seed = i_seed;
  request.varyByCell = i_byCell;
  return request;
}

std::string Name(const Kit& i_kit, PieceId i_id) { return i_kit.piece(i_id).name; }

// ---- The choice ------------------------------------------------------------------------------

// The hash and the key are part of the output: a change of either changes every building with
// variants, and must be seen.
TEST(Variants, ChoicesArePinned) {
  EXPECT_EQ(TextHash(""), 0xCBF29CE484222325u);
  EXPECT_EQ(TextHash("floor"), 0xA03A74A942DB43BDu);
  EXPECT_EQ(PlaceKey(0, "floor", 'N'), 0x4F3066EC383DA75Au);
  const struct {
    std::uint64_t seed;
    const char* kind;
    char facade;
    std::int64_t level, x, z;
    bool byCell;
    std::size_t expected;
  } cases[] = {
      {0, "floor", 'N', 1, 0, 1, false, 0},    {0, "floor", 'N', 2, 0, 1, false, 2},
      {0, "floor", 'E', 1, 0, 1, false, 0},    {12345, "floor", 'N', 1, 0, 1, false, 2},
      {0, "balcony", 'S', 3, -4, 2, false, 1}, {0, "floor", 'N', 1, 0, 1, true, 2},
      {0, "floor", 'N', 1, 0, 2, true, 1},     {7, "roofcap", 0, 5, -2, 3, true, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseVariant(PlaceKey(c.seed, c.kind, c.facade), c.level, c.byCell, c.x, c.z, 3), c.expected)
        << c.seed << " " << c.kind << " " << c.facade << " " << c.level << " " << c.x << " " << c.z;
  }
}

TEST(Variants, EveryFormIsAboutEquallyLikely) {
  for (const std::size_t forms : {2u, 3u, 5u}) {
    std::vector<int> counts(forms, 0);
    const int places = 60000;
    for (int i = 0; i < places; ++i) {
      const std::uint64_t key = PlaceKey(static_cast<std::uint64_t>(i / 40), "floor", "NESW"[i % 4]);
      ++counts[ChooseVariant(key, i % 10, (i & 1) != 0, -(i % 7), i % 11, forms)];
    }
    for (std::size_t f = 0; f < forms; ++f) {
      const double share = static_cast<double>(counts[f]) * static_cast<double>(forms) / places;
      EXPECT_NEAR(share, 1.0, 0.05) << forms << " forms, form " << f;
    }
  }
}

// ---- The kit ---------------------------------------------------------------------------------

TEST(Variants, KitFindsVariantsUpToTheFirstMissingNumber) {
  VariantKit units;
  fs::create_directory(units.dir.path / "T_roof.1.obj");  // exists, gives nothing
  fs::copy_file(units.dir.path / "T_roof.obj", units.dir.path / "T_roof.2.obj");
  fs::remove(units.dir.path / "T_roofdoor.obj");
  fs::copy_file(units.dir.path / "T_roof.obj", units.dir.path / "T_roofdoor.1.obj");
  const Kit kit = LoadKit(units.path(), {"T"});
  const auto forms = [&](const std::string& i_name) {
    PieceId id = 0;
    EXPECT_TRUE(kit.find(i_name, id)) << i_name;
    std::vector<std::string> names;
    for (const PieceId form : kit.piece(id).forms) names.push_back(Name(kit, form));
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(forms("T_floor"), (Names{"T_floor", "T_floor.1", "T_floor.2"}));
  EXPECT_EQ(forms("T_ground"), Names{});  // .2 beyond a gap
  EXPECT_EQ(forms("T_roof"), (Names{"T_roof", "T_roof.1", "T_roof.2"}));
  EXPECT_EQ(forms("T_roofdoor"), (Names{"T_roofdoor", "T_roofdoor.1"}));
  EXPECT_EQ(forms("T_floor.1"), Names{});
  PieceId id = 0;
  ASSERT_TRUE(kit.find("T_roof.1", id));
  EXPECT_EQ(kit.piece(id).fault, PieceFault::NotRegular);
  ASSERT_TRUE(kit.find("T_roofdoor", id));
  EXPECT_EQ(kit.piece(id).fault, PieceFault::NotFound);
  EXPECT_FALSE(kit.find("T_ground.2", id));
}

// A broken variant is warned as a missing piece where it is placed; a missing plain piece beside
// its variants too, since it stays one of the forms.
TEST(Variants, BrokenFormsAreMissingUnitsWherePlaced) {
  VariantKit units;
  fs::remove(units.dir.path / "T_floor.obj");
  fs::create_directory(units.dir.path / "T_floor.3.obj");
  Building building = BuildingTest::Make({"T", "  ", {}, {}, 6, 6, 12}, units.path());
  building.setVariation(1, true);
  std::ostringstream out;
  building.build(out, 0);
  std::set<std::string> missing;
  for (const MissingUnit& unit : building.missingUnits())
    missing.insert(fs::path(unit.file).filename().string());
  EXPECT_EQ(missing, (std::set<std::string>{"T_floor.obj", "T_floor.3.obj"}));
}

TEST(Variants, VariantFilesAddNoStyleToTheCatalogue) {
  const Towerkit::Catalogue catalogue = Towerkit::BuildCatalogue(
      {"A_floor.obj", "A_floor.1.obj", "C_floor.1.obj", "C_balcony.12.obj", "D_floor.01.obj", "E_floor.1.txt",
       "F_tower.1.obj", "G_floor.1.obj.bak", "base_roof.obj"});
  EXPECT_EQ(catalogue, (Towerkit::Catalogue{"A", "D", "E", "F", "G", "base"}));
}

// The tool's options reach the building: the seed picks the shipped kit's variants, the same
// seed gives the same bytes, and per cell differs from per storey.
TEST(Variants, ToolOptionsChooseTheShippedVariants) {
  const std::string units = std::string(TOWERKIT_SOURCE_DIR) + "/units";
  ScratchDir work;
  const auto build = [&](const std::vector<std::string>& i_options) {
    std::vector<std::string> args = {"-s", "B", "-w", "4", "-l", "3", "-h", "5", "-b", "NA"};
    args.insert(args.end(), i_options.begin(), i_options.end());
    args.push_back("out.obj");
    const TestSupport::RunResult run = TestSupport::RunTool(units, work.path.string(), args);
    EXPECT_EQ(run.status, 0) << run.output;
    return TestSupport::ReadFile(work / "out.obj");
  };
  const std::string seedZero = build({});
  EXPECT_EQ(build({"--seed", "0"}), seedZero);
  EXPECT_EQ(build({"--vary", "storey"}), seedZero);
  const std::string seedOne = build({"--seed", "1"});
  EXPECT_NE(seedOne, seedZero);
  EXPECT_EQ(build({"--seed", "1"}), seedOne);
  EXPECT_NE(build({"--seed", "1", "--vary", "cell"}), seedOne);
}

// ---- The layout ------------------------------------------------------------------------------

// The facade of a placement, from its direction (xd, 0, zd), which turns the piece's +x to
// (zd, 0, xd): N faces +x, E +z, S -x, W -z.
char FacadeOf(const UnitPlacement& i_placement) {
  if (i_placement.direction.z > 0.5f) return 'N';
  if (i_placement.direction.x > 0.5f) return 'E';
  if (i_placement.direction.z < -0.5f) return 'S';
  return 'W';
}

// The forms of T_floor placed on each storey of each facade.
std::map<std::pair<float, char>, std::set<std::string>> FloorsByStorey(const std::string& i_units,
                                                                       std::uint64_t i_seed, bool i_byCell) {
  Building building = BuildingTest::Make({"T", "  ", {}, {}, 9, 7, 14}, i_units);
  building.setVariation(i_seed, i_byCell);
  std::map<std::pair<float, char>, std::set<std::string>> forms;
  building.forEachPlacement(0, [&](const UnitPlacement& i_placement) {
    if (i_placement.piece.rfind("T_floor", 0) == 0 && i_placement.piece.rfind("T_floorclose", 0) != 0)
      forms[{i_placement.position.y, FacadeOf(i_placement)}].insert(i_placement.piece);
  });
  return forms;
}

TEST(Variants, OneFormPerStoreyAndFacadeUnlessByCell) {
  VariantKit units;
  std::set<std::string> seen;
  for (const std::uint64_t seed : {0u, 1u, 12345u}) {
    for (const auto& [place, forms] : FloorsByStorey(units.path(), seed, false)) {
      EXPECT_EQ(forms.size(), 1u) << seed << " storey " << place.first << " facade " << place.second;
      seen.insert(forms.begin(), forms.end());
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"T_floor", "T_floor.1", "T_floor.2"}));

  std::size_t mixed = 0;
  for (const auto& [place, forms] : FloorsByStorey(units.path(), 0, true)) mixed += forms.size() > 1 ? 1 : 0;
  EXPECT_GT(mixed, 40u);  // of 13 storeys times 4 facades

  // The seed changes the building.
  EXPECT_NE(FloorsByStorey(units.path(), 0, false), FloorsByStorey(units.path(), 1, false));
}

// The layout's part of the key (the kind without its style, the facade, the storey, the cell) is
// pinned too: the forms of facade N's windows up its storeys, and along its first storey by cell.
TEST(Variants, LayoutChoicesArePinned) {
  VariantKit units;
  const auto northFloors = [&](bool i_byCell) {
    Building building = BuildingTest::Make({"T", "  ", {}, {}, 1, 6, 7}, units.path());
    building.setVariation(5, i_byCell);
    std::string forms;
    building.forEachPlacement(0, [&](const UnitPlacement& i_placement) {
      if (FacadeOf(i_placement) != 'N' || i_placement.piece.rfind("T_floor", 0) != 0) return;
      if (i_byCell && i_placement.position.y != 1) return;
      forms += i_placement.piece == "T_floor" ? '0' : i_placement.piece.back();
    });
    return forms;
  };
  EXPECT_EQ(northFloors(false),
            "222222"
            "000000"
            "111111"
            "111111"
            "000000"
            "111111");
  EXPECT_EQ(northFloors(true), "220000");
}

// A kit without variants ignores the seed and the per-cell switch, byte for byte.
TEST(Variants, KitWithoutVariantsIgnoresTheSeed) {
  std::string first;
  for (const auto& [seed, byCell] :
       {std::pair<std::uint64_t, bool>{0, false}, {12345, false}, {12345, true}}) {
    Building building = BuildingTest::Make({"T", "NC", {"SA", "EC"}, {"NO"}, 5, 4, 6});
    building.setVariation(seed, byCell);
    const std::string text = BuildingTest::BuildText(building);
    if (first.empty()) first = text;
    EXPECT_EQ(text, first) << seed;
  }
  const Kit kit = LoadKit(BuildingTest::kKit, {"T"});
  EXPECT_TRUE(MakePlan(MakeVaried(5, 4, 6, 12345, true), kit).choices.empty());
}

// Walking, counting and listing a plan with choices must agree, whatever is folded.
TEST(Variants, CountsAndPieceOrderFollowTheWalk) {
  VariantKit units;
  const Kit kit = LoadKit(units.path(), {"T"});
  for (const auto& [w, l, h] : {std::tuple{1, 1, 0}, {3, 2, 1}, {6, 5, 9}, {0, 4, 4}}) {
    for (const bool byCell : {false, true}) {
      const Plan plan = MakePlan(MakeVaried(w, l, h, 99, byCell), kit);
      std::vector<std::uint64_t> counts(kit.pieces.size(), 0);
      std::vector<PieceId> order;
      Totals walked;
      ForEachPlacement(plan, [&](const Placement& i_placement) {
        if (counts[i_placement.piece]++ == 0) order.push_back(i_placement.piece);
        walked.vertices += kit.piece(i_placement.piece).positions.size();
        walked.normals += kit.piece(i_placement.piece).normals.size();
        walked.uvs += kit.piece(i_placement.piece).uvs.size();
      });
      const std::string which = std::to_string(w) + "x" + std::to_string(l) + "x" + std::to_string(h);
      EXPECT_EQ(CountPieces(plan, kit), counts) << which << " " << byCell;
      EXPECT_EQ(PiecesInOrder(plan), order) << which << " " << byCell;
      const Totals counted = CountPlan(plan, kit);
      EXPECT_EQ(counted.vertices, walked.vertices) << which;
      EXPECT_EQ(counted.normals, walked.normals) << which;
      EXPECT_EQ(counted.uvs, walked.uvs) << which;
      // Exact up to the limit; past it, the vertices pass the limit.
      EXPECT_EQ(CountPlan(plan, kit, walked.vertices).vertices, walked.vertices) << which;
      EXPECT_GT(CountPlan(plan, kit, walked.vertices - 1).vertices, walked.vertices - 1) << which;
    }
  }
}

// The pieces of many plans, each once in the order first needed: a plan whose pieces are all
// known adds nothing, one with a new form adds it after them.
TEST(Variants, AddedPiecesFollowTheOrderOfFirstNeed) {
  VariantKit units;
  const Kit kit = LoadKit(units.path(), {"T"});
  std::vector<Plan> plans;
  for (const auto& [w, l, h, seed] : {std::tuple{1, 1, 0, 1}, {3, 2, 1, 5}, {6, 5, 9, 99}, {2, 2, 3, 7}}) {
    for (const bool byCell : {false, true}) plans.push_back(MakePlan(MakeVaried(w, l, h, seed, byCell), kit));
  }
  plans.push_back(plans.front());
  std::vector<PieceId> expected;
  std::vector<PieceId> added;
  for (const Plan& plan : plans) {
    for (const PieceId piece : PiecesInOrder(plan)) {
      if (std::find(expected.begin(), expected.end(), piece) == expected.end()) expected.push_back(piece);
    }
    AddPieces(plan, added);
    EXPECT_EQ(added, expected);
  }
}

// The largest request, with variants chosen per storey and per cell, is refused before any walk
// over its storeys or cells (which would take far past the test's time-out).
TEST(Variants, LargestRequestsAreStillRefused) {
  VariantKit units;
  for (const bool byCell : {false, true}) {
    Building building =
        BuildingTest::Make({"T", "NC", {"SA"}, {"NA"}, INT_MAX - 2, INT_MAX - 2, INT_MAX - 1}, units.path());
    building.setVariation(3, byCell);
    std::ostringstream out;
    building.build(out, 0);
    EXPECT_EQ(building.lastError(), BuildError::TooLarge);
    EXPECT_EQ(out.str(), "");

    const Kit kit = LoadKit(units.path(), {"T"});
    const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
    const Plan plan = MakePlan(MakeVaried(INT_MAX - 2, INT_MAX - 2, INT_MAX - 1, 3, byCell), kit);
    for (const GltfForm form : {GltfForm::Flat, GltfForm::Nodes, GltfForm::Gpu}) {
      EXPECT_EQ(WriteGlb(out, kit, pieces, {}, {{&plan, Frame{}, "b"}}, {form, "test"}), GlbResult::TooLarge);
    }
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
