// --footprint and the city file's footprint column: a building of any footprint in every output
// form, the faults refused before anything is written, and a rectangle given as an outline built
// as -w and -l build it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::Line;
using TestSupport::RunTool;

using TestSupport::kShipped;

// The triangles --stats tells for the output file, or "" when it tells none.
std::string StatTriangles(const std::string& i_output, const std::string& i_file) {
  const std::size_t at = i_output.find("Stats '" + i_file + "': ");
  if (at == std::string::npos) return "";
  const std::size_t end = i_output.find(" triangles", at);
  const std::size_t start = i_output.rfind(", ", end);
  return i_output.substr(start + 2, end - start - 2);
}

// Flat roofs, and the L under a gable roof and the courtyard block under a hip roof.
TEST(FootprintCli, TheGlbHoldsTheObjsTriangles) {
  TestSupport::ScratchDir work;
  const char* const l = "0,0 7,0 7,3 3,3 3,9 0,9";
  const char* const courtyard = "0,0 9,0 9,9 0,9; 3,3 6,3 6,6 3,6";
  const std::pair<const char*, const char*> shapes[] = {
      {l, "flat"}, {courtyard, "flat"}, {l, "gable"}, {courtyard, "hip"}};
  for (const char* style : {"A", "B", "S"}) {
    for (const auto& [outline, roof] : shapes) {
      std::vector<std::string> args = {"-s", style, "-h", "3", "-d", "SC", "-b", "NA", "--footprint", outline,
                                       "--roof", roof, "--stats", "f.obj"};
      const TestSupport::RunResult obj = RunTool(kShipped, work.path.string(), args);
      ASSERT_EQ(obj.status, 0) << obj.output;
      for (const char* form : {"f.glb", "f.gltf"}) {
        args.back() = form;
        const TestSupport::RunResult gltf = RunTool(kShipped, work.path.string(), args);
        ASSERT_EQ(gltf.status, 0) << gltf.output;
        EXPECT_NE(StatTriangles(obj.output, "f.obj"), "");
        EXPECT_EQ(StatTriangles(gltf.output, form), StatTriangles(obj.output, "f.obj"))
            << style << " " << outline << " " << roof;
      }
    }
  }
}

// Setbacks whose block above keeps, of an inner corner of the block below, the inner cell alone (the
// L's north facades stepped in by 2 past its wing of 2 cells) or an end cell alone (the L of
// 2-cell wings stepped in on its south by 2): they build, and the .glb holds the OBJ's triangles.
TEST(FootprintCli, ACornerOfTheBlockAboveInTheFacadesInnerCornerBuilds) {
  TestSupport::ScratchDir work;
  const std::pair<const char*, const char*> cases[] = {{"0,0 7,0 7,5 5,5 5,12 0,12", "1:N:2"},
                                                       {"0,0 5,0 5,2 2,2 2,5 0,5", "1:S:2"}};
  for (const auto& [outline, setback] : cases) {
    std::vector<std::string> args = {"-s", "B", "-h", "3", "--footprint", outline, "--setback", setback,
                                     "--stats", "f.obj"};
    const TestSupport::RunResult obj = RunTool(kShipped, work.path.string(), args);
    ASSERT_EQ(obj.status, 0) << obj.output;
    args.back() = "f.glb";
    const TestSupport::RunResult glb = RunTool(kShipped, work.path.string(), args);
    ASSERT_EQ(glb.status, 0) << glb.output;
    EXPECT_NE(StatTriangles(obj.output, "f.obj"), "");
    EXPECT_EQ(StatTriangles(glb.output, "f.glb"), StatTriangles(obj.output, "f.obj")) << outline << " " << setback;
  }
}

// A rectangle's outline or mask builds the bytes of -w and -l, pitched roofs and setbacks included.
TEST(FootprintCli, ARectangleIsTheBuildingOfWidthAndLength) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "box.txt", "......\n.####.\n.####.\n.####.\n");
  const std::vector<std::string> shape = {"-s", "B", "-h", "3", "-d", "EC", "--roof", "hip", "--setback", "2:N"};
  std::vector<std::string> args = shape;
  args.insert(args.end(), {"-w", "1", "-l", "2", "b.obj"});
  ASSERT_EQ(RunTool(kShipped, work.path.string(), args).status, 0);
  const std::string expected = TestSupport::ReadFile(work / "b.obj");
  for (const char* footprint : {"5,5 5,9 2,9 2,5", "@box.txt"}) {
    args = shape;
    args.insert(args.end(), {"--footprint", footprint, "b.obj"});
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(TestSupport::ReadFile(work / "b.obj"), expected) << footprint;
  }
}

TEST(FootprintCli, FaultsAreRefusedBeforeAnythingIsWritten) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "pinch.txt", "#####\n#####\n##.##\n###.#\n#####\n");
  TestSupport::WriteFile(work / "stub.txt", "####\n####\n####\n#...\n");
  TestSupport::WriteFile(work / "dumbbell.txt", "#####..#####\n#####..#####\n############\n############\n"
                                                "#####..#####\n#####..#####\n");
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::string l = "0,0 7,0 7,3 3,3 3,9 0,9";
  const Case cases[] = {
      {{"--footprint", "0,0 4,1 4,4 0,4"},
       "Value '0,0 4,1 4,4 0,4' of option '--footprint': the outline is not rectilinear: the edge from 0,0 to 4,1 "
       "runs neither north-south nor east-west"},
      {{"--footprint", "0,0 8,0 8,8 0,8; 8,8 9,8 9,9 8,9"},
       "Value '0,0 8,0 8,8 0,8; 8,8 9,8 9,9 8,9' of option '--footprint': courtyard 1 touches the outline only at "
       "the corner 8,8 (a pinch): keep it a cell or more apart"},
      {{"--footprint", "@stub.txt"},
       "Value '@stub.txt' of option '--footprint': footprint file 'stub.txt', line 4, column 1: this cell: this "
       "part is 1 cell wide: every part needs 2 cells or more each way"},
      {{"--footprint", "@pinch.txt"},
       "Value '@pinch.txt' of option '--footprint': footprint file 'pinch.txt', line 3, column 4: the lower left "
       "corner of this cell: two cells meet only at this corner (a courtyard may not touch the outline or another "
       "courtyard at a corner alone)"},
      {{"--footprint", "@none.txt"},
       "Value '@none.txt' of option '--footprint': footprint file 'none.txt' does not exist"},
      // A setback steps every facade of its sides in: the L's wings of 3 cells keep 1.
      {{"--footprint", l, "--setback", "1"},
       "Value '1' of option '--setback' leaves the block above a footprint the kit cannot build: this part is 1 "
       "cell wide: every part needs 2 cells or more each way"},
      {{"--footprint", l, "--setback", "1::2"},
       "Value '1::2' of option '--setback' leaves no cell of the footprint to stand on: the block above would be "
       "empty"},
      {{"--footprint", "@dumbbell.txt", "--setback", "1"},
       "Value '1' of option '--setback' splits the footprint: the block above would fall into parts apart from "
       "each other"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-s", "A", "-h", "2"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("out.obj");
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
    EXPECT_EQ(run.status, 1) << c.error;
    EXPECT_NE(run.output.find(Line("error", c.error)), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(work / "out.obj")) << c.error;
  }
}

// A city file's footprint column: an outline, or a mask relative to the city file's folder; the
// footprint gives the row's width and length, which may be left empty or given as it gives them,
// and a file of footprints needs no columns for them.
TEST(FootprintCli, ACityRowTakesAFootprint) {
  TestSupport::ScratchDir work;
  std::filesystem::create_directories(work / "plans");
  TestSupport::WriteFile(work / "plans/ell.txt", "###....\n###....\n#######\n#######\n");
  TestSupport::WriteFile(work / "plans/city.csv",
                         "style,width,length,height,z,footprint\nA,,,2,0,\"0,0 7,0 7,3 3,3 3,9 0,9\"\n"
                         "B,2,5,2,12,@ell.txt\nB,1,1,2,20,\n");
  const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), {"--city", "plans/city.csv", "c.obj"});
  EXPECT_EQ(run.status, 0) << run.output;
  // Without the columns: the same buildings as with the sizes given.
  TestSupport::WriteFile(work / "plans/sized.csv", "style,width,length,height,z,footprint\n"
                                                   "A,5,7,2,0,\"0,0 7,0 7,3 3,3 3,9 0,9\"\nB,2,5,2,12,@ell.txt\n");
  TestSupport::WriteFile(work / "plans/bare.csv", "style,height,z,footprint\n"
                                                  "A,2,0,\"0,0 7,0 7,3 3,3 3,9 0,9\"\nB,2,12,@ell.txt\n");
  std::filesystem::create_directories(work / "sized");
  std::filesystem::create_directories(work / "bare");
  for (const char* name : {"sized", "bare"}) {
    const TestSupport::RunResult each = RunTool(kShipped, work.path.string(),
                                                {"--city", std::string("plans/") + name + ".csv", std::string(name) + "/c.obj"});
    EXPECT_EQ(each.status, 0) << each.output;
  }
  EXPECT_EQ(TestSupport::ReadFile(work / "bare/c.obj"), TestSupport::ReadFile(work / "sized/c.obj"));
  TestSupport::WriteFile(work / "plans/bad.csv", "style,width,length,height,footprint\nA,1,1,2,@gone.txt\n");
  const TestSupport::RunResult bad = RunTool(kShipped, work.path.string(), {"--city", "plans/bad.csv", "d.obj"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.output.find("footprint file 'plans/gone.txt' does not exist"), std::string::npos) << bad.output;
}

}  // namespace
