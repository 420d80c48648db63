// What build writes: placed positions, turned normals, shifted indices, corner forms, number
// format, and the cases in which it refuses to write anything.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/layout/PlanCounts.h>

#include "write/obj/ObjWriter.h"

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using BuildingTest::Lines;
using BuildingTest::Request;
using Ostrel::Buildings::BuildError;
using Ostrel::Buildings::Building;

// A units folder with a 2 x 3 x 2 unit and the given pieces of style S.
struct Kit {
  TestSupport::ScratchDir dir;
  Kit() {
    TestSupport::WriteFile(dir / "base_floorclose.obj", "v 0 0 0\nv 2 3 0.2\n");
    TestSupport::WriteFile(dir / "base_roof.obj", "v 0 2.5 0\nv 2 3 2\n");
  }
  Kit& piece(const std::string& name, const std::string& text) {
    TestSupport::WriteFile(dir / ("S_" + name + ".obj"), text);
    return *this;
  }
  std::string path() const { return dir.path.string(); }
};

// The smallest building: four corners on the ground, four roof corners on the same level.
Building Corners(const Kit& kit) {
  return BuildingTest::Make(Request{"S", "  ", {}, {}, 0, 0, 0}, kit.path());
}

TEST(BuildingOutput, PositionAndOrientation) {
  // The first corner faces (-1, 0, 0), so the file vertex (-6, 6, 2) is placed at (1, 2, 3).
  Kit kit;
  kit.piece("angle", "v -6 6 2\nvn 1 0 0\nf 1//1 1//1 1//1\n");
  struct Case {
    float xdir, zdir, xpos, zpos;
    const char* vertex;
    const char* normal;
  };
  const std::vector<Case> cases = {
      {0, 1, 0, 0, "v 1 2 3", "vn 0 0 -1"},    // the facing turned the normal with its unit
      {1, 0, 10, 5, "v 7 2 6", "vn 1 0 0"},    // turned to (-3, 2, 1), then moved
      {0, -1, 0, 0, "v -1 2 -3", "vn 0 0 1"},  //
      {0, 2, 0, 0, "v 2 2 6", "vn 0 0 -1"},    // positions scale, normals only turn
      {0, 0, 0, 0, "v 0 2 0", "vn 0 0 -1"},    // no direction: positions collapse, normals stay
  };
  for (const Case& c : cases) {
    Building building = Corners(kit);
    building.setOrientation(c.xdir, 5, c.zdir);
    building.setPosition(c.xpos, 0, c.zpos);
    const std::string text = BuildingTest::BuildText(building);
    EXPECT_EQ(Lines(text, "v ").at(0), c.vertex) << c.xdir << " " << c.zdir;
    EXPECT_EQ(Lines(text, "vn ").at(0), c.normal) << c.xdir << " " << c.zdir;
  }
}

TEST(BuildingOutput, FourFacingDirections) {
  // The four corners of a ring face (-1,0,0), (0,0,1), (1,0,0), (0,0,-1) at (0,0), (0,1), (-1,1),
  // (-1,0); the file vertex (2, 0, 4) is (1, 0, 2) in cell units.
  Kit kit;
  kit.piece("angle", "v 2 0 4\nvn 1 0 0\nf 1//1 1//1 1//1\n");
  Building building = Corners(kit);
  const std::string text = BuildingTest::BuildText(building);
  const std::vector<std::string> vertices = Lines(text, "v ");
  const std::vector<std::string> normals = Lines(text, "vn ");
  ASSERT_EQ(vertices.size(), 4u);       // four ground corners; the roof corners are missing
  EXPECT_EQ(vertices[0], "v 2 0 -1");   // (-1,0,0): (x, z) -> (z, -x)
  EXPECT_EQ(vertices[1], "v 1 0 3");    // (0,0,1): unchanged, moved to z = 1
  EXPECT_EQ(vertices[2], "v -3 0 2");   // (1,0,0): (x, z) -> (-z, x), moved to x = -1, z = 1
  EXPECT_EQ(vertices[3], "v -2 0 -2");  // (0,0,-1): (x, z) -> (-x, -z), moved to x = -1
  EXPECT_EQ(std::vector<std::string>(normals.begin(), normals.begin() + 4),
            std::vector<std::string>({"vn 0 0 -1", "vn 1 0 0", "vn 0 0 1", "vn -1 0 0"}));
}

TEST(BuildingOutput, CornerFormsAndShiftedIndices) {
  // A cube-like unit of 8 vertices, 6 normals and 4 texture coordinates: each later unit's normal
  // and texture numbers move by 6 and 4, its vertex numbers by 8.
  Kit kit;
  std::string unit;
  for (int i = 0; i < 8; ++i) unit += "v " + std::to_string(i % 2) + " 1 " + std::to_string(i / 2) + "\n";
  for (int i = 0; i < 6; ++i) unit += "vn 0 1 0\n";
  for (int i = 0; i < 4; ++i) unit += "vt 0.5 0.5\n";
  unit += "f 1/1/1 2/2/2 3/3/3\nf 1/2 3/4 5/1 7/3\nf 8//6 7//5 6//4\nf 4 5 6\nf 1 2\nf 7/4/6 8/4/6 2/1/1 \n";
  kit.piece("angle", unit);
  Building building = Corners(kit);
  const std::string text = BuildingTest::BuildText(building, 20);
  const std::vector<std::string> faces = Lines(text, "f ");
  ASSERT_EQ(faces.size(), 4u * 5u);  // the two-corner face is not written
  EXPECT_EQ(faces[0], "f 21/1/1 22/2/2 23/3/3 ");
  EXPECT_EQ(faces[1], "f 21/2 23/4 25/1 27/3 ");
  EXPECT_EQ(faces[2], "f 28//6 27//5 26//4 ");
  EXPECT_EQ(faces[3], "f 24 25 26 ");
  EXPECT_EQ(faces[4], "f 27/4/6 28/4/6 22/1/1 ");
  EXPECT_EQ(faces[5], "f 29/5/7 30/6/8 31/7/9 ");
  EXPECT_EQ(faces[15], "f 45/13/19 46/14/20 47/15/21 ");
  EXPECT_EQ(Lines(text, "vn ").size(), 24u);
  EXPECT_EQ(Lines(text, "vt ").size(), 16u);
  EXPECT_EQ(BuildingTest::CheckIndices(text, 20), "");
}

TEST(BuildingOutput, CornerFormsOfEachPiece) {
  // One writer meets a piece whose every corner has all three numbers and one whose corners do
  // not: each piece's faces keep their own forms, whichever piece came first.
  for (const bool fullFirst : {true, false}) {
    const std::string full = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n";
    const std::string mixed = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2//1 3/1\nf 1 2 3\n";
    Kit kit;
    kit.piece("angle", fullFirst ? full : mixed).piece("angleroof", fullFirst ? mixed : full);
    Building building = Corners(kit);
    const std::vector<std::string> faces = Lines(BuildingTest::BuildText(building), "f ");
    ASSERT_EQ(faces.size(), 12u) << fullFirst;  // four corners of each piece; the mixed one has two faces
    // The first ground corner, then the first roof corner, the fifth placement.
    using Texts = std::vector<std::string>;
    const Texts fullFace = {"f 1/1/1 2/1/1 3/1/1 "};
    const Texts mixedFaces = {"f 1/1/1 2//1 3/1 ", "f 1 2 3 "};
    const Texts fullRoof = {"f 13/5/5 14/5/5 15/5/5 "};
    const Texts mixedRoof = {"f 13/5/5 14//5 15/5 ", "f 13 14 15 "};
    const Texts& ground = fullFirst ? fullFace : mixedFaces;
    const Texts& roof = fullFirst ? mixedRoof : fullRoof;
    EXPECT_EQ(Texts(faces.begin(), faces.begin() + ground.size()), ground) << fullFirst;
    const std::size_t roofFirst = 4 * ground.size();
    EXPECT_EQ(Texts(faces.begin() + roofFirst, faces.begin() + roofFirst + roof.size()), roof) << fullFirst;
  }
}

TEST(BuildingOutput, BlocksAndNumberFormat) {
  // File z becomes the placed x of the first corner (z / 2), file y the placed y (y / 3).
  Kit kit;
  kit.piece("angle",
            "v 0 0 2000000\nv 0 3 0.00002\nv 0 0 -4.5\nv 0 0 0.0002\nv 0 0 1999999\nv 0 0 0\n"
            "vt 0.25 1e-05\nvn 0 1 0\nf 1/1/1 2/1/1 3/1/1\n");
  Building building = Corners(kit);
  const std::string text = BuildingTest::BuildText(building);
  const std::vector<std::string> expectedStart = {"v 1e+06 0 0",  "v 1e-05 1 0", "v -2.25 0 0",
                                                  "v 0.0001 0 0", "v 1e+06 0 0", "v 0 0 0"};
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 24u + 4u + 4u + 4u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6), expectedStart);
  // All v lines, then vn, then vt, then f; nothing else, and every line ends in a line feed.
  EXPECT_EQ(lines[24], "vn 0 1 0");
  EXPECT_EQ(lines[28], "vt 0.25 1e-05");
  EXPECT_EQ(lines[32], "f 1/1/1 2/1/1 3/1/1 ");
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(BuildingOutput, UnitSizeFromBothBaseUnits) {
  struct Case {
    const char* floorclose;
    const char* roof;
    const char* vertex;  // the first line for the piece vertex (-6, 6, 2)
  };
  const std::vector<Case> cases = {
      {"v 0 0 0\nv 2 3 0.2\n", "v 0 0 0\nv 2 0.5 2\n", "v 1 2 3"},  // 2 x 3 x 2
      {"", "v 0 0 0\nv 4 6 1\n", "v 2 1 1.5"},                      // a missing file: the other alone
      {"v 0 0 0\nv 2 3 2\n", "", "v 1 2 3"},                        //
      // Every x above a million: the smallest x stays at its start, 1000000.
      {"v 2000000 0 0\nv 3000000 3 2\n", "", "v 1 2 3e-06"},
  };
  for (const Case& c : cases) {
    Kit kit;
    TestSupport::WriteFile(kit.dir / "base_floorclose.obj", c.floorclose);
    TestSupport::WriteFile(kit.dir / "base_roof.obj", c.roof);
    if (std::string(c.roof).empty()) std::filesystem::remove(kit.dir / "base_roof.obj");
    kit.piece("angle", "v -6 6 2\nf 1 1 1\n");
    Building building = Corners(kit);
    const std::string text = BuildingTest::BuildText(building);
    ASSERT_EQ(building.lastError(), BuildError::None) << c.floorclose << c.roof;
    EXPECT_EQ(Lines(text, "v ").at(0), c.vertex) << c.floorclose << c.roof;
  }
}

TEST(BuildingOutput, RefusesWithoutWritingAnything) {
  struct Case {
    const char* why;
    const char* floorclose;  // nullptr: no file
    const char* roof;
    std::string style;
    int w;
    std::size_t offset;
    BuildError error;
  };
  const std::vector<Case> cases = {
      {"no base units", nullptr, nullptr, "S", 1, 0, BuildError::NoBaseUnits},
      {"base units without vertices", "# none\n", "f 1 2 3\n", "S", 1, 0, BuildError::NoBaseUnits},
      {"flat base units", "v 0 0 0\nv 2 0 2\n", nullptr, "S", 1, 0, BuildError::NoBaseUnits},
      {"infinite unit size", "v -3e38 0 0\nv 3e38 3 2\n", nullptr, "S", 1, 0, BuildError::NoBaseUnits},
      {"unknown style", "v 0 0 0\nv 2 3 2\n", nullptr, "Nope", 1, 0, BuildError::NothingPlaced},
      {"too wide", "v 0 0 0\nv 2 3 2\n", nullptr, "S", 2000000000, 0, BuildError::TooLarge},
      {"offset too close to the limit", "v 0 0 0\nv 2 3 2\n", nullptr, "S", 1, 4294967295u - 10,
       BuildError::TooLarge},
  };
  for (const Case& c : cases) {
    TestSupport::ScratchDir dir;
    if (c.floorclose) TestSupport::WriteFile(dir / "base_floorclose.obj", c.floorclose);
    if (c.roof) TestSupport::WriteFile(dir / "base_roof.obj", c.roof);
    TestSupport::WriteFile(dir / "S_angle.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
    TestSupport::WriteFile(dir / "S_ground.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
    Building building = BuildingTest::Make(Request{c.style, "  ", {}, {}, c.w, 1, 1}, dir.path.string());
    std::ostringstream out;
    EXPECT_EQ(building.build(out, c.offset), 0u) << c.why;
    EXPECT_EQ(building.lastError(), c.error) << c.why;
    EXPECT_EQ(out.str(), "") << c.why;
  }
  // The last offset that still fits: 24 vertices (8 corners of 3), the largest index 4294967295.
  TestSupport::ScratchDir dir;
  TestSupport::WriteFile(dir / "base_floorclose.obj", "v 0 0 0\nv 2 3 2\n");
  TestSupport::WriteFile(dir / "S_angle.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
  TestSupport::WriteFile(dir / "S_angleroof.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
  Building building = BuildingTest::Make(Request{"S", "  ", {}, {}, 0, 0, 0}, dir.path.string());
  const std::string text = BuildingTest::BuildText(building, 4294967295u - 24);
  EXPECT_EQ(building.lastError(), BuildError::None);
  EXPECT_NE(text.find("f 4294967293 4294967294 4294967295 \n"), std::string::npos);
}

TEST(BuildingOutput, MissingPiecesListedOnceInOrderOfNeed) {
  Kit kit;
  kit.piece("angle", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n")
      .piece("floor", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Building building = BuildingTest::Make(Request{"S", "NC", {"SA"}, {}, 1, 1, 3}, kit.path());
  const std::string text = BuildingTest::BuildText(building);
  EXPECT_EQ(building.lastError(), BuildError::None);
  const std::string base = kit.path() + "/S_";
  // No roof cap among them: a kit need not have one.
  EXPECT_EQ(building.missingUnitFiles(),
            std::vector<std::string>({base + "grounddoor.obj", base + "ground.obj", base + "balcony.obj",
                                      base + "angleroof.obj", base + "roof.obj"}));
  // 3 rows of 4 corners (the roof's are missing) and 2 upper storeys of 4 windows, 3 vertices each.
  EXPECT_EQ(Lines(text, "v ").size(), 3u * (3 * 4 + 2 * 4));
  EXPECT_EQ(BuildingTest::CheckIndices(text), "");
}

TEST(BuildingOutput, RoofCapClosesTheRoofOnlyWhenPresent) {
  Request request{"T", "  ", {}, {}, 3, 2, 1};
  Building with = BuildingTest::Make(request);
  const std::string withCap = BuildingTest::BuildText(with);
  // The same kit without the cap gives exactly the text without its vertices and faces.
  TestSupport::ScratchDir dir;
  for (const auto& entry : std::filesystem::directory_iterator(BuildingTest::kKit)) {
    if (entry.path().filename() != "T_roofcap.obj") {
      std::filesystem::copy_file(entry.path(), dir.path / entry.path().filename());
    }
  }
  Building without = BuildingTest::Make(request, dir.path.string());
  const std::string withoutCap = BuildingTest::BuildText(without);
  EXPECT_TRUE(without.missingUnitFiles().empty());
  EXPECT_EQ(Lines(withCap, "v ").size(), Lines(withoutCap, "v ").size() + 3 * 2 * 4);
  EXPECT_EQ(Lines(withCap, "f ").size(), Lines(withoutCap, "f ").size() + 3 * 2 * 4);
  const std::vector<std::string> v1 = Lines(withCap, "v ");
  const std::vector<std::string> v0 = Lines(withoutCap, "v ");
  EXPECT_TRUE(std::equal(v0.begin(), v0.end(), v1.begin()));  // the cap comes after everything else
}

TEST(BuildingOutput, WorkedExampleMatchesGoldenFile) {
  Building building = BuildingTest::Make(Request{"T", "NC", {"SC"}, {"NA"}, 3, 3, 3});
  const std::string text = BuildingTest::BuildText(building);
  EXPECT_EQ(text, TestSupport::ReadFile(std::string(TOWERKIT_TEST_DATA) + "/golden/worked_example.obj"));
  // A second build of the same object writes the same again.
  EXPECT_EQ(BuildingTest::BuildText(building), text);
}

TEST(BuildingOutput, LargeBuildingStreamsInBlocks) {
  // Far more than one buffer of text; the counts must agree with the layout.
  Building building = BuildingTest::Make(Request{"T", "SL", {"EC", "WA"}, {"NO"}, 120, 100, 20});
  const std::string text = BuildingTest::BuildText(building);
  EXPECT_GT(text.size(), std::size_t{2} << 20);
  EXPECT_EQ(BuildingTest::CheckIndices(text), "");
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace

namespace {

// Buildings that share one kit and one writer, as a street of them in one file does: every
// index continues after the buildings before it, on each kind of element, and the text the
// writer reuses (a piece's normals turned by its building, say) never leaks from one building
// into the next.
TEST(BuildingOutput, BuildingsShareOneOutputWithEveryIndexRight) {
  using namespace Ostrel::Buildings;
  const Ostrel::Buildings::Kit kit = LoadKit(BuildingTest::kKit, {"T"});
  const Plan first = MakePlan(MakeRequest("T", "NC", {"SC"}, {"NA"}, 3, 2, 2), kit);
  const Plan second = MakePlan(MakeRequest("T", "EL", {"WA"}, {}, 1, 4, 3), kit);
  const Frame turned{5, 0, -2, 1, 0};
  const Frame straight;

  std::ostringstream both;
  const std::unique_ptr<ObjWriter> writer = MakeObjWriter(both);
  const Offsets middle = WriteObj(*writer, kit, first, turned, Offsets{});
  const Offsets end = WriteObj(*writer, kit, second, straight, middle);
  Flush(*writer);

  const Totals counted = CountPlan(first, kit);
  EXPECT_EQ(middle.vertices, counted.vertices);
  EXPECT_EQ(middle.normals, counted.normals);
  EXPECT_EQ(middle.uvs, counted.uvs);
  EXPECT_GT(end.normals, middle.normals);
  EXPECT_GT(end.uvs, middle.uvs);
  EXPECT_EQ(BuildingTest::CheckIndices(both.str()), "");

  // Each building reads as it does written alone with the same offsets.
  auto alone = [&](const Plan& i_plan, const Frame& i_frame, const Offsets& i_start) {
    std::ostringstream text;
    const std::unique_ptr<ObjWriter> own = MakeObjWriter(text);
    WriteObj(*own, kit, i_plan, i_frame, i_start);
    Flush(*own);
    return text.str();
  };
  EXPECT_EQ(both.str(), alone(first, turned, Offsets{}) + alone(second, straight, middle));
}

}  // namespace

namespace {

// In the kit's own units every position is the cell-unit one times the unit size (here 2 x 3 x 5),
// scaled before the building is turned and moved; nothing else changes.
TEST(BuildingOutput, KitUnitsScaleEveryPosition) {
  TestSupport::ScratchDir units;
  for (const auto& entry : std::filesystem::directory_iterator(BuildingTest::kKit)) {
    std::filesystem::copy_file(entry.path(), units.path / entry.path().filename());
  }
  TestSupport::WriteFile(units / "base_floorclose.obj", "v 0 0 0\nv 2 3 5\n");
  TestSupport::WriteFile(units / "base_roof.obj", "v 0 0 0\n");
  Building cells = BuildingTest::Make(Request{"T", "NC", {"SC"}, {"NA"}, 3, 2, 2}, units.path.string());
  Building kitUnits = BuildingTest::Make(Request{"T", "NC", {"SC"}, {"NA"}, 3, 2, 2}, units.path.string());
  for (Building* building : {&cells, &kitUnits}) {
    building->setOrientation(1, 0, 0);
    building->setPosition(10, 20, 30);
  }
  kitUnits.setKitUnits(true);
  const std::string inCells = BuildingTest::BuildText(cells);
  const std::string inKitUnits = BuildingTest::BuildText(kitUnits);
  const std::vector<std::string> a = Lines(inCells, "v ");
  const std::vector<std::string> b = Lines(inKitUnits, "v ");
  ASSERT_EQ(a.size(), b.size());
  ASSERT_FALSE(a.empty());
  for (std::size_t i = 0; i < a.size(); ++i) {
    float x = 0, y = 0, z = 0, mx = 0, my = 0, mz = 0;
    std::istringstream(a[i].substr(2)) >> x >> y >> z;
    std::istringstream(b[i].substr(2)) >> mx >> my >> mz;
    // Turned by (1, 0, 0): the output's x came from the building's -z, which the unit's length
    // scales, and its z from x, which the unit's width scales.
    EXPECT_NEAR(mx - 10, (x - 10) * 5, 2e-3) << a[i] << " / " << b[i];
    EXPECT_NEAR(my - 20, (y - 20) * 3, 2e-3) << a[i] << " / " << b[i];
    EXPECT_NEAR(mz - 30, (z - 30) * 2, 2e-3) << a[i] << " / " << b[i];
  }
  EXPECT_EQ(Lines(inCells, "f "), Lines(inKitUnits, "f "));
  EXPECT_EQ(Lines(inCells, "vn "), Lines(inKitUnits, "vn "));
}

}  // namespace
