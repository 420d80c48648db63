// The tool as `cmake --install` leaves it, installed into a scratch prefix: with nothing else to
// name a units folder it uses the kit installed beside it, also once the prefix has moved; with
// OSTREL_UNITS_PATH or a ./units folder, every line is the same as for the tool in the build tree.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using TestSupport::Line;
using TestSupport::RunOptions;
using TestSupport::RunResult;
using Strings = std::vector<std::string>;

const std::string kCatalogue = Line("info", "Available unit-types:") + Line("info", " - A") +
                               Line("info", " - B") + Line("info", " - S") + Line("info", " - base");

// Installs this build under <scratch>/prefix.
struct Install {
  TestSupport::ScratchDir scratch;
  std::string prefix = scratch / "prefix";
  int status = -1;
  Install() {
    RunOptions options;
    options.program = CMAKE_COMMAND;
    options.args = {"--install", TOWERKIT_BUILD_DIR, "--prefix", prefix};
    status = TestSupport::Run(options).status;
  }
  std::string Tool() const { return prefix + "/bin/towerkit"; }
  std::string Kit() const { return prefix + "/share/towerkit/units"; }
};

// Runs i_program in i_workdir; i_units null: OSTREL_UNITS_PATH unset.
RunResult RunIn(const std::string& i_program, const std::string& i_workdir, const Strings& i_args,
                const char* i_units = nullptr) {
  RunOptions options;
  options.program = i_program;
  options.args = i_args;
  options.workdir = i_workdir;
  if (i_units == nullptr) {
    options.unsetEnv.push_back("OSTREL_UNITS_PATH");
  } else {
    options.setEnv["OSTREL_UNITS_PATH"] = i_units;
  }
  return TestSupport::Run(options);
}

TEST(Install, TheInstalledToolUsesItsOwnKitWhenNothingNamesOne) {
  Install install;
  ASSERT_EQ(install.status, 0);
  TestSupport::ScratchDir work, reference;
  const Strings args = {"-s", "A", "-w", "2", "-l", "1", "-h", "2", "-d", "SC", "-b", "NA", "out.obj"};
  for (const char* units : {static_cast<const char*>(nullptr), ""}) {
    const RunResult result = RunIn(install.Tool(), work.path.string(), args, units);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              Line("info", "Using the installed unit kit '" + install.Kit() + "'") + Line("info", "Done!"));
  }
  // The same building as the tool in the build tree makes from the kit in the repository.
  const std::string units = std::string(TOWERKIT_SOURCE_DIR) + "/units";
  EXPECT_EQ(RunIn(TOWERKIT_BINARY, reference.path.string(), args, units.c_str()).status, 0);
  EXPECT_EQ(TestSupport::ReadFile(work / "out.obj"), TestSupport::ReadFile(reference / "out.obj"));

  // The kit is found relative to the tool, so a moved tree keeps working.
  const std::string moved = install.scratch / "moved";
  fs::rename(install.prefix, moved);
  const RunResult result = RunIn(moved + "/bin/towerkit", work.path.string(), {"-k"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            Line("info", "Check enabled") +
                Line("info", "Using the installed unit kit '" + moved + "/share/towerkit/units'") +
                kCatalogue);
}

TEST(Install, AUnitsFolderOrTheEnvironmentComesFirst) {
  Install install;
  ASSERT_EQ(install.status, 0);
  const std::string fallback =
      Line("warning",
           "Please, set env (export) 'OSTREL_UNITS_PATH' to point to your plugins paths column-separated") +
      Line("warning", "Now setting undefined paths as './units'");

  TestSupport::ScratchDir withFolder;
  fs::create_directory(withFolder / "units");
  TestSupport::WriteFile(withFolder / "units/Q_floor.obj", "");
  RunResult result = RunIn(install.Tool(), withFolder.path.string(), {"-k"});
  EXPECT_EQ(result.output, Line("info", "Check enabled") + fallback + Line("info", "Available unit-types:") +
                               Line("info", " - Q"));

  // Any entry named units counts, even one that is no folder.
  TestSupport::ScratchDir withFile;
  TestSupport::WriteFile(withFile / "units", "");
  result = RunIn(install.Tool(), withFile.path.string(), {"-k"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            Line("info", "Check enabled") + fallback + Line("error", "Error opening units folder './units'"));

  TestSupport::ScratchDir empty;
  result = RunIn(install.Tool(), empty.path.string(), {"-k"}, install.Kit().c_str());
  EXPECT_EQ(result.output, Line("info", "Check enabled") +
                               Line("info", "Found 1 paths in '" + install.Kit() + "'") + kCatalogue);
}

}  // namespace
