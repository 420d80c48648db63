// The kit linter, through towerkit --lint: a broken kit whose every fault shows once, the exit
// status of errors and of warnings, and what is linted when no style is named. That the shipped
// kit lints clean is the kit test's.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <ostrel/lint/KitLint.h>

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::Line;
using TestSupport::RunResult;
using Strings = std::vector<std::string>;

const std::string kData = TOWERKIT_TEST_DATA;
using TestSupport::kShipped;

RunResult Lint(const std::string& i_units, const std::string& i_work, const Strings& i_args) {
  return TestSupport::RunTool(i_units, i_work, i_args);
}

// tests/data/lint: style T, whose pieces are cubes in the middle of a cell of 2 x 2 x 2 (which
// never meet), each file with one fault; see the comment at the top of each.
TEST(Lint, EveryFaultOfTheBrokenKitShowsOnce) {
  // clang-format off
  const std::pair<const char*, std::string> lines[] = {
      {"info", "Found 1 paths in 'lint'"},
      // Each file's own faults first, by file and line.
      {"warning", "'lint/T_angle.obj', line 18: material 'T_nothing' is used, but 'T.mtl' does not define "
                  "it"},
      {"error", "'lint/T_grounddoor.obj' does not exist: buildings with a door (-d) need it"},
      {"error", "'lint/T_floor.obj', line 8: reaches outside its cell: vertex (-0.5, 0.5, 1.3) lies 0.3 "
                "beyond z = 1; 4 vertices in all"},
      {"error", "'lint/T_floorclose.obj', line 20: its normals point against its winding: the face or its "
                "normals are reversed"},
      {"warning", "'lint/T_roof.obj', line 24: statement 'l' is not read: the line is left out"},
      {"error", "'lint/T_roof.obj', line 25: face left out: vertex 99 is not in the file"},
      {"error", "'lint/T_roof.obj', line 26: face of 2 corners is no polygon: it is left out"},
      {"warning", "'lint/T_roofcap.obj' does not exist: the roof stays open over the interior without it"},
      {"warning", "'lint/T_tower.obj' is no piece the tool places: a piece is named STYLE_KIND.obj or "
                  "STYLE_KIND.N.obj, KIND one of angle, angleroof, ground, grounddoor, groundclose, floor, "
                  "floorclose, roof, roofdoor, balcony, roofcap, eave, slope, ridge, eavecorner, hip, ridgeend, peak, "
                  "gablewall, eavegableleft, eavegableright, slopegableleft, slopegableright, ridgegable, "
                  "terracefloor, terracefloorclose, terraceangle, terraceangleleft, terraceangleright, innerangle, innerangleroof, "
                  "ridgeturn, ridgetee, ridgecross, ridgecorner, ridgeslope, saddle, valley, slopevalleyleft, "
                  "slopevalleyright, valleyeave, saddleeave, eavevalleyleft, eavevalleyright, eavevalleyboth, "
                  "eavestepleft, eavestepright, eavestepvalleyleft, eavestepvalleyright, cornervalleyleft, "
                  "cornervalleyright, cornervalleyboth, innerangleterrace, innerangleterraceleft, "
                  "innerangleterraceright, terraceendleft, terraceendright, innerangleterraceturnleft, "
                  "innerangleterraceturnright, terraceendturnleft, terraceendturnright, terraceangleendleft, "
                  "terraceangleendright, terraceangleendturnleft, terraceangleendturnright, "
                  "innerangleroofcornerleft, innerangleroofcornerright, innerangleroofcorner, roofcapparty, "
                  "roofpartyleft, roofpartyright, angleparty, angleroofparty, "
                  "angleroofpartyleft, angleroofpartyright, groundcloseparty, floorcloseparty, anglepartyleft, anglepartyright, "
                  "roofpartyshortleft, roofpartyshortright, terracefloorcloseparty, roofcloseparty, "
                  "groundclosepartyjoinleft, groundclosepartyjoinright, groundclosepartyjoin, floorclosepartyjoinleft, "
                  "floorclosepartyjoinright, floorclosepartyjoin, anglepartyleftjoin, anglepartyrightjoin"},
      {"warning", "'lint/T.mtl', line 2: statement before any newmtl: 'Kd 1 0 0': the line is left out"},
      {"warning", "'lint/gone.mtl' does not exist: its materials are not written (named by "
                  "'lint/T_angleroof.obj')"},
      // Then what shows only where pieces meet in buildings, in the same order of files.
      {"error", "'lint/T_angleroof.obj', line 28: edge (0, 0.5, -0.2) - (0, 0.5, 0.2) is shared by 4 faces, "
                "among them the face at line 37: surfaces meet along a line"},
      {"error", "'lint/T_ground.obj', line 17: open edge (-0.5, 1.5, -0.5) - (0.5, 1.5, -0.5) that no face "
                "closes; 4 open edges in all"},
      {"error", "'lint/T_groundclose.obj', line 18: its cross-section on the cell's +z side does not meet "
                "that of 'lint/T_ground.obj' beside it: open edge (-0.2, 0.8, 1) - (-0.2, 1.2, 1); 4 open "
                "edges in all"},
      {"warning", "'lint/T_roofdoor.obj', line 29: face lies back to back with the face at line 34: a hidden "
                  "pair, which no viewer shows"},
      {"error", "'lint/T_balcony.obj', line 29: face lies over the face at line 35, facing the same way: "
                "they flicker in a viewer"},
      // The variant is found wrong only where it stands in its plain piece's place.
      {"error", "'lint/T_floor.1.obj', line 20: face is wound against its neighbour: edge (0.5, 1.5, -0.5) "
                "- (0.5, 0.5, -0.5) runs the same way in it and in the face at line 17; 4 such edges in this "
                "face"},
      {"info", "Checked style T of the units folder 'lint': 10 errors, 7 warnings"},
  };
  // clang-format on
  std::string expected;
  for (const auto& [kind, text] : lines) expected += Line(kind, text);
  // Every style of the folder, or the one named: T is the only one.
  for (const Strings& args : {Strings{"--lint"}, Strings{"--lint", "T"}, Strings{"-s", "T", "--lint"}}) {
    const RunResult run = Lint("lint", kData, args);
    EXPECT_EQ(run.status, 1) << args.size();
    EXPECT_EQ(run.output, expected) << args.size();
  }
}

// Warnings alone end with status 0; the shipped kit without its roof cap has one.
TEST(Lint, WarningsAloneEndWithStatusZero) {
  TestSupport::ScratchDir units, work;
  for (const auto& entry : TestSupport::fs::directory_iterator(kShipped)) {
    if (entry.path().filename() != "A_roofcap.obj") TestSupport::fs::copy(entry.path(), units.path);
  }
  const RunResult run = Lint(units.path.string(), work.path.string(), {"--lint", "A"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output,
            Line("info", "Found 1 paths in '" + units.path.string() + "'") +
                Line("warning", "'" + units / "A_roofcap.obj" +
                                    "' does not exist: the roof stays open over the interior without it") +
                Line("info", "Checked style A of the units folder '" + units.path.string() +
                                 "': 0 errors, 1 warning"));
}

// The tool reads variants up to the first missing number: one past a gap is checked, and warned.
TEST(Lint, AVariantPastAGapIsUnused) {
  TestSupport::ScratchDir units, work;
  for (const auto& entry : TestSupport::fs::directory_iterator(kShipped))
    TestSupport::fs::copy(entry.path(), units.path);
  TestSupport::fs::copy(kShipped + "/A_floor.obj", units / "A_floor.4.obj");
  const RunResult run = Lint(units.path.string(), work.path.string(), {"--lint", "A"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output,
            Line("info", "Found 1 paths in '" + units.path.string() + "'") +
                Line("warning", "'" + units / "A_floor.4.obj" +
                                    "' is not used: the tool reads a piece's variants from 1 up to the first "
                                    "missing number") +
                Line("info", "Checked style A of the units folder '" + units.path.string() +
                                 "': 0 errors, 1 warning"));
}

// Without base units there is no unit size, so nothing else can be checked.
TEST(Lint, NoUnitSizeIsAnError) {
  TestSupport::ScratchDir units, work;
  TestSupport::fs::copy(kShipped + "/A_floor.obj", units.path);
  TestSupport::WriteFile(units / "base_roof.obj", "v 0 0 0\nv 1 0 1\n");
  const RunResult run = Lint(units.path.string(), work.path.string(), {"--lint"});
  EXPECT_EQ(run.status, 1);
  const std::string together =
      ": the unit size is measured from base_floorclose.obj and base_roof.obj together";
  EXPECT_EQ(run.output,
            Line("info", "Found 1 paths in '" + units.path.string() + "'") +
                Line("error", "'" + units / "base_floorclose.obj" + "' does not exist" + together) +
                Line("error", "'" + units.path.string() +
                                  "' gives no unit size: base_floorclose.obj and base_roof.obj together span "
                                  "nothing along some axis, so no building can be made") +
                Line("info", "Checked style A of the units folder '" + units.path.string() +
                                 "': 2 errors, 0 warnings"));
}

// A folder's styles are those with a file of a piece kind or a variant; base is the base units'.
// A style named must have files; a folder without styles has nothing to lint.
TEST(Lint, WhichStylesAreLinted) {
  // The styles of the catalogue (-k), but base: a variant's file alone (A) and a name of two "_"
  // (F) make no style; any other STYLE_* entry does, and is linted as one.
  EXPECT_EQ(
      Ostrel::Buildings::LintedStyles({"base_roof.obj", "base_floorclose.obj", "B_roof.obj", "A_floor.2.obj",
                                  "C_floor.02.obj", "D_tower.obj", "E_floor.txt", "A.mtl", "F_floor_x.obj"}),
      (Strings{"B", "C", "D", "E"}));

  TestSupport::ScratchDir work;
  RunResult run = Lint(kData + "/lint", work.path.string(), {"--lint", "Z"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.output.find(Line("error", "Style 'Z' has no unit files in the units folder '" + kData + "/lint'")),
      std::string::npos)
      << run.output;
  run = Lint(work.path.string(), work.path.string(), {"--lint"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.output.find(Line("error", "The units folder '" + work.path.string() + "' holds no style to check")),
      std::string::npos)
      << run.output;
}

// A concave face is named concave (not two faces over each other), and a face whose corners lie
// on one line is named a face of no area.
TEST(Lint, ConcaveAndFlatFacesAreNamed) {
  TestSupport::ScratchDir units;
  TestSupport::WriteFile(units / "base_floorclose.obj", "v 0 0 0\nv 2 2 0.2\n");
  TestSupport::WriteFile(units / "base_roof.obj", "v 0 0 0\nv 2 0.5 2\n");
  // An L in the plane x = 0.5, counter-clockwise seen from +x; then three corners on one line.
  TestSupport::WriteFile(units / "T_floor.obj",
                         "v 0.5 0 -0.5\nv 0.5 0 0.5\nv 0.5 1 0.5\nv 0.5 1 0\nv 0.5 2 0\nv 0.5 2 -0.5\n"
                         "f 1 2 3 4 5 6\nf 1 2 2\nv 0.5 0 0\nf 1 7 2\n");
  std::vector<std::string> said;
  for (const Ostrel::Buildings::LintFinding& finding : Ostrel::Buildings::LintKit(units.path.string(), {"T"})) {
    if (finding.file.find("T_floor.obj") != std::string::npos) said.push_back(finding.message);
  }
  const auto has = [&](const std::string& i_text) {
    for (const std::string& message : said) {
      if (message.find(i_text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("face is concave")) << ::testing::PrintToString(said);
  EXPECT_TRUE(has("face has no area")) << ::testing::PrintToString(said);
  EXPECT_FALSE(has("lies over")) << ::testing::PrintToString(said);
}

}  // namespace
