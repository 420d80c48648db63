// Whole runs of the built tool: exit statuses, the order of its console lines, the environment,
// and what is left on disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "towerkit/Options.h"

namespace {

using TestSupport::Line;
using TestSupport::RunOptions;
using TestSupport::RunResult;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

const std::string kFallbackWarnings =
    Line("warning",
         "Please, set env (export) 'OSTREL_UNITS_PATH' to point to your plugins paths column-separated") +
    Line("warning", "Now setting undefined paths as './units'");

std::string HelpText() {
  Ostrel::Message::SetAppName("towerkit");
  Ostrel::Message::SetAppVersion("0.1");
  Ostrel::Message::SetVerbosity(3);
  TestSupport::CaptureStdout out;
  Towerkit::showHelp();
  return out.str();
}

std::string FoundLine(const std::string& i_path) { return Line("info", "Found 1 paths in '" + i_path + "'"); }

// A units folder with a few styles, and a separate folder for output files.
struct Kit {
  TestSupport::ScratchDir units;
  TestSupport::ScratchDir work;
  Kit() {
    for (const char* name :
         {"A_floor.obj", "A_ground.obj", "B_roof.obj", "readme.txt", "A_floor_balcony.obj"}) {
      TestSupport::WriteFile(units / name, "");
    }
  }
  RunResult RunWith(const Strings& i_args, const std::string& i_input = "") const {
    return TestSupport::RunTool(units.path.string(), work.path.string(), i_args, i_input);
  }
  std::string Found() const { return FoundLine(units.path.string()); }
  Strings WorkEntries() const {
    Strings names;
    for (const auto& entry : fs::directory_iterator(work.path))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST(Cli, HelpEndsTheRunAtOnce) {
  const std::string help = HelpText();
  EXPECT_GT(std::count(help.begin(), help.end(), '\n'), 33);
  Kit kit;
  const struct {
    Strings args;
    std::string output;
  } cases[] = {
      {{"--help"}, help},
      {{"-k", "--help"}, Line("info", "Check enabled") + help},
      {{"out.obj", "-s", "A", "-w", "3", "--help", "-k"}, help},
      {{"--help", "-w"}, help},
  };
  for (const auto& c : cases) {
    const RunResult result = kit.RunWith(c.args);
    EXPECT_EQ(result.status, 0) << c.args[0];
    EXPECT_EQ(result.output, c.output) << c.args[0];
    EXPECT_EQ(result.errors, "");
  }
  EXPECT_EQ(kit.WorkEntries(), Strings{});
}

TEST(Cli, OptionWithoutItsValueEndsTheRunBeforeAnythingIsListed) {
  Kit kit;
  for (const std::string option : {"-w", "--style", "-c"}) {
    const RunResult result = kit.RunWith({"-k", "out.obj", option});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              Line("info", "Check enabled") + Line("error", "Option '" + option + "' needs a value"));
  }
  EXPECT_EQ(kit.WorkEntries(), Strings{});
}

TEST(Cli, UnitsPathLinesComeFirstAndOnce) {
  TestSupport::ScratchDir work;
  fs::create_directory(work / "units");
  TestSupport::WriteFile(work / "units/Q_floor.obj", "");
  const std::string catalogue = Line("info", "Available unit-types:") + Line("info", " - Q");
  const struct {
    const char* value;  // nullptr: unset
    int status;
    std::string output;
  } cases[] = {
      {nullptr, 0, kFallbackWarnings + catalogue},
      {"", 0, kFallbackWarnings + catalogue},
      {"units", 0, FoundLine("units") + catalogue},
      {"/nonexistent/a:units", 1,
       Line("info", "Found 2 paths in '/nonexistent/a:units'") +
           Line("error", "Error opening units folder '/nonexistent/a:units'")},
      {"::", 1, Line("info", "Found 0 paths in '::'") + Line("error", "Error opening units folder '::'")},
  };
  for (const auto& c : cases) {
    RunOptions options;
    options.args = {"-k"};
    options.workdir = work.path.string();
    if (c.value == nullptr) {
      options.unsetEnv.push_back("OSTREL_UNITS_PATH");
    } else {
      options.setEnv["OSTREL_UNITS_PATH"] = c.value;
    }
    const RunResult result = TestSupport::Run(options);
    EXPECT_EQ(result.status, c.status) << (c.value ? c.value : "unset");
    EXPECT_EQ(result.output, Line("info", "Check enabled") + c.output) << (c.value ? c.value : "unset");
  }
}

TEST(Cli, CheckModeListsTheCatalogueAndNothingElse) {
  Kit kit;
  TestSupport::WriteFile(kit.units / "_x.obj", "");
  fs::create_directory(kit.units / "C_folder");
  const RunResult result = kit.RunWith({"-k", "-s", "A", "-w", "3", "out.obj"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, Line("info", "Check enabled") + kit.Found() +
                               Line("info", "Available unit-types:") + Line("info", " - ") +
                               Line("info", " - A") + Line("info", " - B") + Line("info", " - C"));
  EXPECT_EQ(kit.WorkEntries(), Strings{});

  TestSupport::ScratchDir empty;
  RunOptions options;
  options.args = {"--check"};
  options.setEnv["OSTREL_UNITS_PATH"] = empty.path.string();
  const RunResult none = TestSupport::Run(options);
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.output, Line("info", "Check enabled") + FoundLine(empty.path.string()) +
                             Line("info", "Available unit-types:"));
}

TEST(Cli, UnreadableUnitsFolderEndsEveryPath) {
  TestSupport::ScratchDir scratch;
  TestSupport::WriteFile(scratch / "file", "");
  for (const std::string& folder : {scratch / "missing", scratch / "file"}) {
    for (const Strings& args :
         {Strings{"-k"}, Strings{}, Strings{"-s", "A"}, Strings{"-s", "A", "out.obj"}}) {
      RunOptions options;
      options.args = args;
      options.setEnv["OSTREL_UNITS_PATH"] = folder;
      options.workdir = scratch.path.string();
      const RunResult result = TestSupport::Run(options);
      EXPECT_EQ(result.status, 1);
      const std::string check = args == Strings{"-k"} ? Line("info", "Check enabled") : "";
      EXPECT_EQ(result.output,
                check + FoundLine(folder) + Line("error", "Error opening units folder '" + folder + "'"));
    }
  }
  EXPECT_FALSE(fs::exists(scratch / "out.obj"));
}

TEST(Cli, MissingOutputFileShowsTheHelp) {
  Kit kit;
  const std::string expected = Line("error", "No output file specified") + HelpText();
  const struct {
    Strings args;
    std::string warning;
  } cases[] = {
      {{"-s", "A", "-w", "3"}, ""},
      {{"out.obj", ""}, Line("warning", "Second output file name '' replaces 'out.obj'")},
      {{"-x", "-w", "3"}, Line("warning", "Unknown option '-x' is ignored")},
  };
  for (const auto& c : cases) {
    const RunResult result = kit.RunWith(c.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, c.warning + kit.Found() + expected);
  }
}

TEST(Cli, StepByStepDialogue) {
  Kit kit;
  const std::string prompt = "[towerkit-0.1] ";
  const RunResult result = kit.RunWith({}, "B\n2\n-\n2\n3\n\nNA\n\nSE\n\n\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.output,
      kit.Found() + prompt + "style [A,B]: " + prompt + "width (in units): " + prompt +
          "length (in units): " + Line("error", "'-' isn't a valid number, please try again") + prompt +
          "length (in units): " + prompt + "height (in units): " + prompt +
          "door [(N)orth,(S)outh,(E)st,(W)est][(L)eft,(C)enter,(R)ight] (ENTER to skip it): " + prompt +
          "balcony [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop "
          "enter balcony-option): " +
          prompt +
          "balcony [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop "
          "enter balcony-option): " +
          prompt +
          "close [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop "
          "enter close-option): " +
          prompt +
          "close [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop "
          "enter close-option): " +
          prompt + "output filename: " + Line("error", "No output file specified") + HelpText());
  EXPECT_EQ(result.errors, "");
}

TEST(Cli, StepByStepEndsWithStatusOneWhenInputRunsOut) {
  Kit kit;
  const std::string full = "A\n1\n1\n1\nNC\nNA\n\nSA\n\n";  // all but the file name
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    const RunResult result = kit.RunWith({}, full.substr(0, cut));
    EXPECT_EQ(result.status, 1) << cut;
    EXPECT_EQ(result.output.find("Done!"), std::string::npos) << cut;
    const bool ended = result.output.find("standard input has ended\n") != std::string::npos;
    const bool noFile = result.output.find("No output file specified\n") != std::string::npos;
    EXPECT_NE(ended, noFile) << cut;
  }
  const RunResult closed = kit.RunWith({}, "");
  EXPECT_EQ(closed.output, kit.Found() + "[towerkit-0.1] style [A,B]: [towerkit-0.1] width (in units): " +
                               Line("error", "No answer to 'width (in units)': standard input has ended"));
  EXPECT_EQ(kit.WorkEntries(), Strings{});
}

TEST(Cli, UnbuildableRequestsAreRefusedBeforeWriting) {
  Kit kit;
  TestSupport::WriteFile(kit.work / "out.obj", "precious\n");
  fs::create_directory(kit.work / "folder");
  const struct {
    Strings args;
    std::string error;
  } cases[] = {
      {{"-s", "A", "-w", "-1", "out.obj"}, "Width -1 is negative: give 0 or more units"},
      {{"-s", "A", "-h", "-99999999999", "out.obj"}, "Height -2147483648 is negative: give 0 or more units"},
      {{"-s", "A", "-w", "2147483647", "out.obj"},
       "Width 2147483647 is too large: give at most 2147483645 units"},
      {{"-s", "A", "-l", "99999999999", "out.obj"},
       "Length 2147483647 is too large: give at most 2147483645 units"},
      {{"-s", "A", "-h", "2147483647", "out.obj"},
       "Height 2147483647 is too large: give at most 2147483646 units"},
      {{"-s", "../A", "out.obj"}, "Invalid style '../A': a style cannot contain '/' or be '.' or '..'"},
      {{"-s", "..", "out.obj"}, "Invalid style '..': a style cannot contain '/' or be '.' or '..'"},
      {{"-s", "A", "folder"}, "Cannot write output file 'folder': it is a folder"},
      {{"-s", "A", "no/such/b.obj"}, "Cannot open output file 'no/such/b.obj': No such file or directory"},
  };
  for (const auto& c : cases) {
    const RunResult result = kit.RunWith(c.args);
    EXPECT_EQ(result.status, 1) << c.error;
    EXPECT_EQ(result.output, kit.Found() + Line("error", c.error));
  }
  EXPECT_EQ(TestSupport::ReadFile(kit.work / "out.obj"), "precious\n");
  EXPECT_EQ(kit.WorkEntries(), (Strings{"folder", "out.obj"}));
  EXPECT_EQ(fs::directory_iterator(kit.work / "folder"), fs::directory_iterator());
}

TEST(Cli, FailedBuildWritesNothingAndSaysNoDone) {
  // Valid base units, so the only fault is the style without unit files.
  Kit kit;
  const std::string cube =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
      "f 1 2 3 4\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n";
  TestSupport::WriteFile(kit.units / "base_floorclose.obj", cube);
  TestSupport::WriteFile(kit.units / "base_roof.obj", cube);
  TestSupport::WriteFile(kit.work / "out.obj", "precious\n");
  const RunResult result = kit.RunWith({"-s", "Z", "-w", "2", "out.obj"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, kit.Found() + Line("error",
                                              "Style 'Z' placed nothing: no unit files of it in the units "
                                              "folder '" +
                                                  kit.units.path.string() + "'"));
  EXPECT_EQ(TestSupport::ReadFile(kit.work / "out.obj"), "precious\n");
  EXPECT_EQ(kit.WorkEntries(), Strings{"out.obj"});

  // A setback or band that cannot be built is refused before the output is touched.
  const RunResult setback = kit.RunWith({"-s", "Z", "-h", "3", "--setback", "3", "out.obj"});
  EXPECT_EQ(setback.status, 1);
  EXPECT_EQ(setback.output, kit.Found() + Line("error", "Value '3' of option '--setback' steps back at storey 3: "
                                                        "give a storey from 1 to 2 (the height is 3)"));
  EXPECT_EQ(kit.RunWith({"-s", "Z", "--band", "0:Q", "out.obj"}).status, 1);
  EXPECT_EQ(TestSupport::ReadFile(kit.work / "out.obj"), "precious\n");
  EXPECT_EQ(kit.WorkEntries(), Strings{"out.obj"});

  for (const std::string special : {"/dev/full", "/dev/null"}) {
    const RunResult direct = kit.RunWith({"-s", "Z", special});
    EXPECT_EQ(direct.status, 1) << special;
    EXPECT_EQ(direct.output.find("Done!"), std::string::npos) << special;
  }
}

}  // namespace
