// The tool building with the test kit, end to end: the file it writes, its console lines and
// its exit statuses.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using TestSupport::Line;
using TestSupport::RunResult;

const std::vector<std::string> kWorkedExample = {"-s", "T",  "-w", "3",  "-l", "3",  "-h",
                                                 "3",  "-d", "NC", "-c", "NA", "-b", "SC"};

// Runs the tool in a scratch working folder with the given units folder.
RunResult RunTool(const std::string& i_units, const std::string& i_workdir, std::vector<std::string> i_args) {
  TestSupport::RunOptions options;
  options.args = std::move(i_args);
  options.setEnv = {{"OSTREL_UNITS_PATH", i_units}};
  options.workdir = i_workdir;
  return TestSupport::Run(options);
}

std::string Found(const std::string& i_units) { return Line("info", "Found 1 paths in '" + i_units + "'"); }

TEST(BuildingCli, WorkedExampleWritesTheGoldenFile) {
  TestSupport::ScratchDir work;
  std::vector<std::string> args = kWorkedExample;
  args.push_back("tower.obj");
  const RunResult result = RunTool(BuildingTest::kKit, work.path.string(), args);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, Found(BuildingTest::kKit) + Line("info", "Done!"));
  EXPECT_EQ(TestSupport::ReadFile(work / "tower.obj"),
            TestSupport::ReadFile(std::string(TOWERKIT_TEST_DATA) + "/golden/worked_example.obj"));
}

// -m writes the same building in the kit's own units: the test kit's unit is 2 x 3 x 2, so its
// first vertex (cell units 1e-05 0.266667 -0.275) reads 2e-05 0.8 -0.55.
TEST(BuildingCli, MetresWriteTheKitsOwnUnits) {
  TestSupport::ScratchDir work;
  std::vector<std::string> args = kWorkedExample;
  args.insert(args.end(), {"-m", "tower.obj"});
  const RunResult result = RunTool(BuildingTest::kKit, work.path.string(), args);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, Found(BuildingTest::kKit) + Line("info", "Done!"));
  const std::string text = TestSupport::ReadFile(work / "tower.obj");
  const std::string golden =
      TestSupport::ReadFile(std::string(TOWERKIT_TEST_DATA) + "/golden/worked_example.obj");
  EXPECT_EQ(golden.substr(0, golden.find('\n')), "v 1e-05 0.266667 -0.275");
  EXPECT_EQ(text.substr(0, text.find('\n')), "v 2e-05 0.8 -0.55");
  EXPECT_EQ(text.substr(text.find("\nf ")), golden.substr(golden.find("\nf ")));
}

TEST(BuildingCli, TyposWarnAndBuildWhatTheyAlwaysBuilt) {
  const std::string door =
      " is not a door: give a side N, S, E or W and a place L, C or R, such as SC; no door is placed";
  const struct {
    std::vector<std::string> typo;
    std::vector<std::string> meaning;  // what the typo is read as
    std::string warnings;
  } cases[] = {
      {{"-d", "sc"}, {}, Line("warning", "Value 'sc' of option '-d'" + door)},
      {{"-d", "XY"}, {}, Line("warning", "Value 'XY' of option '-d'" + door)},
      {{"-b", "QQ"},
       {},
       Line(
           "warning",
           "Value 'QQ' of option '-b' is not a balcony request: give a side N, S, E or W and a pattern A, E, "
           "O or C, such as NA; it adds no balcony")},
      {{"-c", "NAX"},
       {"-c", "NA"},
       Line("warning", "Value 'NAX' of option '-c' has more than two letters: only 'NA' is used")},
      {{"-w", "4x"},
       {"-w", "4"},
       Line("warning", "Value '4x' of option '-w' is not a whole number: the width is 4")},
      {{"--widht", "5"},
       {},
       Line("warning", "Unknown option '--widht' is ignored: did you mean '--width'?") +
           Line("warning", "Second output file name 'tower.obj' replaces '5'")},
      {{"--width=4"}, {}, Line("warning", "Unknown option '--width=4' is ignored: use '--width 4'")},
      {{"-w3"}, {}, Line("warning", "Unknown option '-w3' is ignored: use '-w 3'")},
      {{"-x", "5"},
       {},
       Line("warning", "Unknown option '-x' is ignored") +
           Line("warning", "Second output file name 'tower.obj' replaces '5'")},
  };
  for (const auto& c : cases) {
    TestSupport::ScratchDir typoWork, meantWork;
    std::vector<std::string> typoArgs = {"-s", "T", "-l", "3", "-h", "2", "-b", "SC"};
    std::vector<std::string> meantArgs = typoArgs;
    typoArgs.insert(typoArgs.end(), c.typo.begin(), c.typo.end());
    typoArgs.push_back("tower.obj");
    meantArgs.insert(meantArgs.end(), c.meaning.begin(), c.meaning.end());
    meantArgs.push_back("tower.obj");
    const RunResult typo = RunTool(BuildingTest::kKit, typoWork.path.string(), typoArgs);
    const RunResult meant = RunTool(BuildingTest::kKit, meantWork.path.string(), meantArgs);
    EXPECT_EQ(typo.status, 0) << c.typo[0];
    EXPECT_EQ(meant.status, 0) << c.typo[0];
    EXPECT_EQ(typo.output, c.warnings + Found(BuildingTest::kKit) + Line("info", "Done!"));
    EXPECT_EQ(meant.output, Found(BuildingTest::kKit) + Line("info", "Done!"));
    const std::string written = TestSupport::ReadFile(typoWork / "tower.obj");
    EXPECT_NE(written, "") << c.typo[0];
    EXPECT_EQ(written, TestSupport::ReadFile(meantWork / "tower.obj")) << c.typo[0];
    EXPECT_FALSE(fs::exists(typoWork / "5")) << c.typo[0];
  }
}

TEST(BuildingCli, MissingPieceIsOneWarningAndTheRestIsWritten) {
  TestSupport::ScratchDir units, work;
  for (const auto& entry : fs::directory_iterator(BuildingTest::kKit)) {
    const std::string name = entry.path().filename().string();
    if (name != "T_balcony.obj" && name != "T_grounddoor.obj") fs::copy_file(entry.path(), units.path / name);
  }
  std::vector<std::string> args = kWorkedExample;
  args.push_back("tower.obj");
  const RunResult result = RunTool(units.path.string(), work.path.string(), args);
  EXPECT_EQ(result.status, 0);
  const std::string missing = " not found: the building is written without it";
  EXPECT_EQ(result.output, Found(units.path.string()) +
                               Line("warning", "Unit file '" + (units / "T_grounddoor.obj") + "'" + missing) +
                               Line("warning", "Unit file '" + (units / "T_balcony.obj") + "'" + missing) +
                               Line("info", "Done!"));
  const std::string text = TestSupport::ReadFile(work / "tower.obj");
  EXPECT_EQ(BuildingTest::CheckIndices(text), "");
  EXPECT_NE(text.size(), 0u);
}

TEST(BuildingCli, RefusedBuildsEndWithStatusOneAndNoFile) {
  TestSupport::ScratchDir noBase, work;
  fs::copy_file(BuildingTest::kKit + "/T_angle.obj", noBase.path / "T_angle.obj");
  const std::string baseError =
      "Cannot measure the unit size: 'base_floorclose.obj' and 'base_roof.obj' in the "
      "units folder '" +
      noBase.path.string() + "' give no usable unit";
  const RunResult result = RunTool(noBase.path.string(), work.path.string(), {"-s", "T", "out.obj"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, Found(noBase.path.string()) + Line("error", baseError));

  const RunResult large =
      RunTool(BuildingTest::kKit, work.path.string(), {"-s", "T", "-w", "2000000000", "-h", "5", "out.obj"});
  EXPECT_EQ(large.status, 1);
  EXPECT_EQ(large.output,
            Found(BuildingTest::kKit) +
                Line("error", "A building of width 2000000000, length 1 and height 5 is too large to write"));
  EXPECT_TRUE(fs::is_empty(work.path));
}

}  // namespace
