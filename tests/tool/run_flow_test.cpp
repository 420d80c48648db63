// The steps of a run, one at a time and in-process: the catalogue, the console dialogue, the
// checks of a request, and the output file that is replaced only when it is complete.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "towerkit/OutputFile.h"
#include "towerkit/RunFlow.h"

namespace {

using namespace Towerkit;
using Strings = std::vector<std::string>;
using TestSupport::Line;
namespace fs = std::filesystem;

class RunFlowTest : public TestSupport::ToolConsoleTest {};

std::string ShownHelp() {
  TestSupport::CaptureStdout out;
  showHelp();
  return out.str();
}

Strings FolderEntries(const fs::path& i_folder) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(i_folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(RunFlowTest, CatalogueTakesTheNamesWithExactlyOneUnderscore) {
  const struct {
    Strings entries;
    Catalogue expected;
  } cases[] = {
      {{"A_floor.obj", "A_ground.obj", "B_roof.obj", "readme.txt", "A_floor_balcony.obj"}, {"A", "B"}},
      {{".", "..", "base_roof.obj"}, {"base"}},
      // Fields are counted as split: a final "_" adds no field, so "x_" gives none and "y__" gives y.
      {{"_x.obj", "x_", "y__", "b_c_"}, {"", "b", "y"}},
      {{}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildCatalogue(c.entries), c.expected);

  // Ascending byte order: a prefix first, capitals before small letters, bytes above 127 last.
  const Catalogue sorted = BuildCatalogue({"b_1", "\xc3\x84_1", "AB_1", "A_1", "a_1", "B_1"});
  EXPECT_EQ(Strings(sorted.begin(), sorted.end()), (Strings{"A", "AB", "B", "a", "b", "\xc3\x84"}));
}

TEST_F(RunFlowTest, CatalogueLinesAndStylePrompt) {
  TestSupport::CaptureStdout out;
  PrintCatalogue({"A", "", "B"});
  PrintCatalogue({});
  EXPECT_EQ(out.str(), Line("info", "Available unit-types:") + Line("info", " - ") + Line("info", " - A") +
                           Line("info", " - B") + Line("info", "Available unit-types:"));
  EXPECT_EQ(StyleDescription({"A", "B"}), "style [A,B]");
  EXPECT_EQ(StyleDescription({"modern"}), "style [modern]");
  EXPECT_EQ(StyleDescription({}), "style ]");
}

TEST_F(RunFlowTest, UnreadableUnitsFolderIsReported) {
  TestSupport::ScratchDir dir;
  Strings entries;
  TestSupport::CaptureStdout out;
  EXPECT_FALSE(ListUnitsFolder(dir / "missing", entries));
  EXPECT_TRUE(ListUnitsFolder(dir.path.string(), entries));
  EXPECT_EQ(out.str(), Line("error", "Error opening units folder '" + (dir / "missing") + "'"));
  EXPECT_EQ(entries.size(), 2u);
}

const std::string kDoorPrompt =
    "[towerkit-0.1] door [(N)orth,(S)outh,(E)st,(W)est][(L)eft,(C)enter,(R)ight] (ENTER to skip it): ";
const std::string kBalconyPrompt =
    "[towerkit-0.1] balcony [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER "
    "to "
    "stop enter balcony-option): ";
const std::string kClosePrompt =
    "[towerkit-0.1] close [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to "
    "stop enter close-option): ";

TEST_F(RunFlowTest, StepByStepAsksForEverySettingInOrder) {
  TestSupport::FeedStdin in(" A \n3\nfour\n4\n-2\nSL\nNA\nSE\n\n\nout dir/b.obj\n");
  TestSupport::CaptureStdout out;
  RunSettings settings;
  EXPECT_TRUE(AskStepByStep({"A", "B"}, settings));
  EXPECT_EQ(settings.style, " A ");
  EXPECT_EQ(settings.width, 3);
  EXPECT_EQ(settings.length, 4);
  EXPECT_EQ(settings.height, -2);
  EXPECT_EQ(settings.door, "SL");
  EXPECT_EQ(settings.balcony, (Strings{"NA", "SE"}));
  EXPECT_TRUE(settings.close.empty());
  EXPECT_EQ(settings.outputfilename, "out dir/b.obj");
  EXPECT_EQ(out.str(),
            "[towerkit-0.1] style [A,B]: [towerkit-0.1] width (in units): "
            "[towerkit-0.1] length (in units): " +
                Line("error", "'four' isn't a valid number, please try again") +
                "[towerkit-0.1] length (in units): [towerkit-0.1] height (in units): " + kDoorPrompt +
                kBalconyPrompt + kBalconyPrompt + kBalconyPrompt + kClosePrompt +
                "[towerkit-0.1] output filename: ");
}

TEST_F(RunFlowTest, StepByStepEmptyDoorMeansNoDoor) {
  TestSupport::FeedStdin in("\n1\n1\n1\n\nWC\n\nEE\nNO\n\n\n");
  TestSupport::CaptureStdout out;
  RunSettings settings;
  EXPECT_TRUE(AskStepByStep({}, settings));
  EXPECT_EQ(settings.style, "");
  EXPECT_EQ(settings.door, "  ");
  EXPECT_EQ(settings.balcony, Strings{"WC"});
  EXPECT_EQ(settings.close, (Strings{"EE", "NO"}));
  EXPECT_EQ(settings.outputfilename, "");
  EXPECT_EQ(out.str().rfind("[towerkit-0.1] style ]: ", 0), 0u);
}

TEST_F(RunFlowTest, StepByStepWarnsAboutAnswersTheBuildingCannotUseAndKeepsThem) {
  TestSupport::FeedStdin in("A\n1\n1\n1\nsc\nQQ\nNA\n\nNAX\n\nout.obj\n");
  TestSupport::CaptureStdout out;
  RunSettings settings;
  EXPECT_TRUE(AskStepByStep({"A"}, settings));
  EXPECT_EQ(settings.door, "sc");
  EXPECT_EQ(settings.balcony, (Strings{"QQ", "NA"}));
  EXPECT_EQ(settings.close, Strings{"NAX"});
  const std::string text = out.str();
  const std::string afterNumbers = text.substr(text.find(kDoorPrompt));
  EXPECT_EQ(
      afterNumbers,
      kDoorPrompt +
          Line("warning",
               "Answer 'sc' is not a door: give a side N, S, E or W and a place L, C or R, such as SC; no "
               "door is placed") +
          kBalconyPrompt +
          Line("warning",
               "Answer 'QQ' is not a balcony request: give a side N, S, E or W and a pattern A, E, O or C, "
               "such as NA; it adds no balcony") +
          kBalconyPrompt + kBalconyPrompt + kClosePrompt +
          Line("warning", "Answer 'NAX' has more than two letters: only 'NA' is used") + kClosePrompt +
          "[towerkit-0.1] output filename: ");
}

TEST_F(RunFlowTest, StepByStepEndsWhenInputRunsOut) {
  // Input cut short before each number question: the question is named and asking stops.
  const struct {
    std::string input;
    std::string question;
  } numberCases[] = {
      {"", "width (in units)"},        {"A\n", "width (in units)"},      {"A\nx\n", "width (in units)"},
      {"A\n2\n", "length (in units)"}, {"A\n2\n2", "height (in units)"},
  };
  for (const auto& c : numberCases) {
    TestSupport::FeedStdin in(c.input);
    TestSupport::CaptureStdout out;
    RunSettings settings;
    EXPECT_FALSE(AskStepByStep({"A"}, settings)) << c.input;
    const std::string text = out.str();
    const std::string last = Line("error", "No answer to '" + c.question + "': standard input has ended");
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last) << c.input;
  }
  // Text questions get empty answers, so the run goes on to find no output file.
  for (const std::string input :
       {"A\n1\n1\n1\n", "A\n1\n1\n1\nNC\nNA\n", "A\n1\n1\n1\nNC\n\nSA", "A\n1\n1\n1\nNC\n\n\n"}) {
    TestSupport::FeedStdin in(input);
    TestSupport::CaptureStdout out;
    RunSettings settings;
    EXPECT_TRUE(AskStepByStep({"A"}, settings)) << input;
    EXPECT_EQ(settings.outputfilename, "") << input;
    const std::string text = out.str();
    EXPECT_EQ(text.substr(text.size() - 32), "[towerkit-0.1] output filename: ") << input;
  }
}

TEST_F(RunFlowTest, RequestWithoutOutputFileShowsHelp) {
  RunSettings settings;
  settings.width = -5;  // not looked at: the missing file comes first
  TestSupport::CaptureStdout out;
  EXPECT_FALSE(CheckRequest(settings));
  EXPECT_EQ(out.str(), Line("error", "No output file specified") + ShownHelp());
}

TEST_F(RunFlowTest, RequestSizesMustBeBuildable) {
  const struct {
    int width, length, height;
    std::string error;  // empty: accepted
  } cases[] = {
      {0, 0, 0, ""},
      {INT_MAX - 2, INT_MAX - 2, INT_MAX - 1, ""},
      {-1, 1, 1, "Width -1 is negative: give 0 or more units"},
      {1, INT_MIN, 1, "Length -2147483648 is negative: give 0 or more units"},
      {1, 1, -3, "Height -3 is negative: give 0 or more units"},
      {INT_MAX - 1, 1, 1, "Width 2147483646 is too large: give at most 2147483645 units"},
      {1, INT_MAX, 1, "Length 2147483647 is too large: give at most 2147483645 units"},
      {1, 1, INT_MAX, "Height 2147483647 is too large: give at most 2147483646 units"},
  };
  TestSupport::ScratchDir dir;
  for (const auto& c : cases) {
    RunSettings settings;
    settings.outputfilename = dir / "out.obj";
    settings.width = c.width;
    settings.length = c.length;
    settings.height = c.height;
    TestSupport::CaptureStdout out;
    EXPECT_EQ(CheckRequest(settings), c.error.empty()) << c.error;
    EXPECT_EQ(out.str(), c.error.empty() ? "" : Line("error", c.error));
  }
}

TEST_F(RunFlowTest, RequestStyleNamesFilesInsideTheUnitsFolder) {
  TestSupport::ScratchDir dir;
  const struct {
    std::string style;
    bool accepted;
  } cases[] = {
      {"A", true},  {"", true},    {"...", true}, {".A", true},    {"a b", true}, {"x\\y", true},
      {".", false}, {"..", false}, {"/", false},  {"../A", false}, {"A/", false}, {"/etc/passwd", false},
  };
  for (const auto& c : cases) {
    RunSettings settings;
    settings.style = c.style;
    settings.outputfilename = dir / "out.obj";
    TestSupport::CaptureStdout out;
    EXPECT_EQ(CheckRequest(settings), c.accepted) << c.style;
    EXPECT_EQ(out.str(), c.accepted ? ""
                                    : Line("error", "Invalid style '" + c.style +
                                                        "': a style cannot contain '/' or be '.' or '..'"));
  }
}

TEST_F(RunFlowTest, RequestOutputMustNotBeAFolder) {
  TestSupport::ScratchDir dir;
  RunSettings settings;
  for (const std::string& path : {dir.path.string(), dir.path.string() + "/", std::string(".")}) {
    settings.outputfilename = path;
    TestSupport::CaptureStdout out;
    EXPECT_FALSE(CheckRequest(settings));
    EXPECT_EQ(out.str(), Line("error", "Cannot write output file '" + path + "': it is a folder"));
  }
}

TEST_F(RunFlowTest, BuildErrorsNameWhatIsConcerned) {
  RunSettings settings;
  settings.style = "Q";
  settings.width = 3;
  settings.length = 4;
  settings.height = 5;
  using Ostrel::Buildings::SceneError;
  TestSupport::CaptureStdout out;
  for (SceneError error :
       {SceneError::None, SceneError::NoBaseUnits, SceneError::NothingPlaced, SceneError::TooLarge}) {
    ReportBuildError(error, settings, "/kit", Ostrel::Buildings::FormatOfOutput("b.obj"));
  }
  ReportBuildError(SceneError::TooLarge, settings, "/kit", Ostrel::Buildings::FormatOfOutput("b.glb"));
  EXPECT_EQ(
      out.str(),
      Line("error",
           "Cannot measure the unit size: 'base_floorclose.obj' and 'base_roof.obj' in the units folder "
           "'/kit' give no usable unit") +
          Line("error", "Style 'Q' placed nothing: no unit files of it in the units folder '/kit'") +
          Line("error", "A building of width 3, length 4 and height 5 is too large to write") +
          Line("error",
               "A building of width 3, length 4 and height 5 is too large to write: a .glb file holds at "
               "most 4 GiB"));
}

TEST_F(RunFlowTest, FailedBuildLeavesAnExistingFileAsItWas) {
  TestSupport::ScratchDir units;
  TestSupport::ScratchDir out;
  TestSupport::WriteFile(out / "b.obj", "precious\n");
  RunSettings settings;
  settings.style = "Z";  // no unit files at all
  settings.outputfilename = out / "b.obj";
  TestSupport::CaptureStdout console;
  EXPECT_EQ(WriteBuilding(settings, units.path.string(), {}), kExitFailure);
  EXPECT_EQ(console.str().find("Done!"), std::string::npos);
  EXPECT_EQ(console.str().rfind("[towerkit-0.1] error : ", 0), 0u);
  EXPECT_EQ(TestSupport::ReadFile(out / "b.obj"), "precious\n");
  EXPECT_EQ(FolderEntries(out.path), Strings{"b.obj"});
}

// The output file on its own, with text written by the test instead of a building.
class OutputFileTest : public RunFlowTest {};

TEST_F(OutputFileTest, NewFileAppearsOnlyWhenCommittedWithTheUmaskPermissions) {
  TestSupport::ScratchDir dir;
  const mode_t saved = umask(027);
  OutputFile file;
  std::string error;
  ASSERT_TRUE(OpenOutput(dir / "new.obj", file, error));
  file.stream << "v 1 2 3\n";
  EXPECT_FALSE(fs::exists(dir / "new.obj"));
  EXPECT_TRUE(CommitOutput(file, error)) << error;
  umask(saved);
  EXPECT_EQ(TestSupport::ReadFile(dir / "new.obj"), "v 1 2 3\n");
  struct stat info {};
  ASSERT_EQ(stat((dir / "new.obj").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(FolderEntries(dir.path), Strings{"new.obj"});
}

TEST_F(OutputFileTest, ExistingFileIsReplacedWholeOrNotAtAll) {
  TestSupport::ScratchDir dir;
  TestSupport::WriteFile(dir / "b.obj", "old content that is longer\n");
  chmod((dir / "b.obj").c_str(), 0604);
  OutputFile file;
  std::string error;

  ASSERT_TRUE(OpenOutput(dir / "b.obj", file, error));
  file.stream << "half";
  DiscardOutput(file);
  EXPECT_EQ(TestSupport::ReadFile(dir / "b.obj"), "old content that is longer\n");
  EXPECT_EQ(FolderEntries(dir.path), Strings{"b.obj"});

  ASSERT_TRUE(OpenOutput(dir / "b.obj", file, error));
  file.stream << "new\n";
  EXPECT_TRUE(CommitOutput(file, error)) << error;
  EXPECT_EQ(TestSupport::ReadFile(dir / "b.obj"), "new\n");
  struct stat info {};
  ASSERT_EQ(stat((dir / "b.obj").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0604u);
  EXPECT_EQ(FolderEntries(dir.path), Strings{"b.obj"});
}

TEST_F(OutputFileTest, LinkedFileIsWrittenThroughTheLink) {
  TestSupport::ScratchDir dir;
  fs::create_directory(dir / "real");
  TestSupport::WriteFile(dir / "real/b.obj", "old\n");
  fs::create_symlink("real/b.obj", dir / "link.obj");
  OutputFile file;
  std::string error;
  ASSERT_TRUE(OpenOutput(dir / "link.obj", file, error));
  file.stream << "new\n";
  EXPECT_TRUE(CommitOutput(file, error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.obj"));
  EXPECT_EQ(TestSupport::ReadFile(dir / "real/b.obj"), "new\n");
  EXPECT_EQ(FolderEntries(dir / "real"), Strings{"b.obj"});
}

TEST_F(OutputFileTest, SpecialFilesAreWrittenDirectly) {
  OutputFile file;
  std::string error;
  ASSERT_TRUE(OpenOutput("/dev/null", file, error));
  EXPECT_TRUE(file.tempPath.empty());
  file.stream << "v 0 0 0\n";
  EXPECT_TRUE(CommitOutput(file, error)) << error;

  ASSERT_TRUE(OpenOutput("/dev/full", file, error));
  file.stream << "v 0 0 0\n";
  EXPECT_FALSE(CommitOutput(file, error));
  EXPECT_EQ(error, "Cannot write output file '/dev/full': No space left on device");
}

TEST_F(OutputFileTest, UnopenableTargetsAreNamed) {
  TestSupport::ScratchDir dir;
  OutputFile file;
  std::string error;
  EXPECT_FALSE(OpenOutput(dir / "no/such/folder.obj", file, error));
  EXPECT_EQ(error,
            "Cannot open output file '" + (dir / "no/such/folder.obj") + "': No such file or directory");
  EXPECT_FALSE(OpenOutput(dir.path.string(), file, error));
  EXPECT_EQ(error, "Cannot write output file '" + dir.path.string() + "': it is a folder");
  EXPECT_EQ(FolderEntries(dir.path), Strings{});
}

}  // namespace
