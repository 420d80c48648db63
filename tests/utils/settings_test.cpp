// The units path: taken from OSTREL_UNITS_PATH on the first call only, with the fallback ./units
// and its warnings when the variable is unset or empty.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <ostrel/core/Settings.h>

#include "TestSupport.h"

namespace {

using namespace Ostrel;
using Strings = std::vector<std::string>;
namespace Settings = Ostrel::Core::Settings;

class UnitsPathTest : public TestSupport::ToolConsoleTest {
 protected:
  void SetUp() override {
    ToolConsoleTest::SetUp();
    Settings::s_units_path.clear();
    Settings::s_units_path_list.clear();
  }
  void TearDown() override {
    unsetenv("OSTREL_UNITS_PATH");
    Settings::s_units_path.clear();
    Settings::s_units_path_list.clear();
    ToolConsoleTest::TearDown();
  }
};

const std::string kFallbackWarnings =
    TestSupport::Line(
        "warning",
        "Please, set env (export) 'OSTREL_UNITS_PATH' to point to your plugins paths column-separated") +
    TestSupport::Line("warning", "Now setting undefined paths as './units'");

TEST_F(UnitsPathTest, FromTheEnvironmentOrTheFallback) {
  const struct {
    const char* value;  // nullptr: unset
    std::string path;
    Strings list;
    std::string output;
  } cases[] = {
      {nullptr, "./units", {"./units"}, kFallbackWarnings},
      {"", "./units", {"./units"}, kFallbackWarnings},
      {"/srv/units",
       "/srv/units",
       {"/srv/units"},
       TestSupport::Line("info", "Found 1 paths in '/srv/units'")},
      {"/a:/b", "/a:/b", {"/a", "/b"}, TestSupport::Line("info", "Found 2 paths in '/a:/b'")},
      {":", ":", {}, TestSupport::Line("info", "Found 0 paths in ':'")},
      {" :\t: ", " :\t: ", {}, TestSupport::Line("info", "Found 0 paths in ' :\t: '")},
      {":/a::/b c\t/d:",
       ":/a::/b c\t/d:",
       {"/a", "/b", "c", "/d"},
       TestSupport::Line("info", "Found 4 paths in ':/a::/b c\t/d:'")},
  };
  for (const auto& c : cases) {
    SetUp();
    if (c.value == nullptr) {
      unsetenv("OSTREL_UNITS_PATH");
    } else {
      setenv("OSTREL_UNITS_PATH", c.value, 1);
    }
    TestSupport::CaptureStdout out;
    const std::string& path = Settings::GetUnitsPath();
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(&path, &Settings::s_units_path);
    EXPECT_EQ(Settings::s_units_path_list, c.list);
    EXPECT_EQ(out.str(), c.output);
  }
}

TEST_F(UnitsPathTest, OnlyTheFirstCallReadsAndPrints) {
  setenv("OSTREL_UNITS_PATH", "/first", 1);
  TestSupport::CaptureStdout out;
  Settings::GetUnitsPath();
  setenv("OSTREL_UNITS_PATH", "/second:/third", 1);
  EXPECT_EQ(Settings::GetUnitsPath(), "/first");
  unsetenv("OSTREL_UNITS_PATH");
  EXPECT_EQ(Settings::GetUnitsPath(), "/first");
  EXPECT_EQ(Settings::s_units_path_list, Strings{"/first"});
  EXPECT_EQ(out.str(), TestSupport::Line("info", "Found 1 paths in '/first'"));
}

TEST_F(UnitsPathTest, SetUnitsPathFillsAnEmptyPathSilentlyAndOnlyOnce) {
  setenv("OSTREL_UNITS_PATH", "/from/env", 1);
  TestSupport::CaptureStdout out;
  Settings::SetUnitsPath("/kit");
  Settings::SetUnitsPath("/other");
  EXPECT_EQ(Settings::GetUnitsPath(), "/kit");
  EXPECT_EQ(Settings::s_units_path_list, Strings{"/kit"});
  EXPECT_EQ(out.str(), "");

  SetUp();
  Settings::GetUnitsPath();
  Settings::SetUnitsPath("/kit");
  EXPECT_EQ(Settings::GetUnitsPath(), "/from/env");
}

TEST_F(UnitsPathTest, UpdatePathsFillsAnyEmptySettingAndReplacesItsList) {
  setenv("TOWERKIT_TEST_PATHS", "/p:/q", 1);
  std::string path;
  Strings list = {"stale"};
  TestSupport::CaptureStdout out;
  Settings::UpdatePaths("TOWERKIT_TEST_PATHS", path, list);
  EXPECT_EQ(path, "/p:/q");
  EXPECT_EQ(list, (Strings{"/p", "/q"}));
  // The warning names the variable asked about.
  unsetenv("TOWERKIT_TEST_PATHS");
  std::string other;
  Strings otherList = {"stale"};
  Settings::UpdatePaths("TOWERKIT_TEST_PATHS", other, otherList);
  EXPECT_EQ(other, "./units");
  EXPECT_EQ(otherList, Strings{"./units"});
  EXPECT_EQ(out.str(),
            TestSupport::Line("info", "Found 2 paths in '/p:/q'") +
                TestSupport::Line("warning",
                                  "Please, set env (export) 'TOWERKIT_TEST_PATHS' to point to your "
                                  "plugins paths column-separated") +
                TestSupport::Line("warning", "Now setting undefined paths as './units'"));
}

TEST_F(UnitsPathTest, LowVerbosityHidesTheLinesButStillFillsThePath) {
  const struct {
    std::uint32_t level;
    const char* value;
    std::string output;
  } cases[] = {
      {1, nullptr, ""},
      {2, nullptr, kFallbackWarnings},
      {2, "/srv/units", ""},
  };
  for (const auto& c : cases) {
    SetUp();
    Message::SetVerbosity(c.level);
    if (c.value == nullptr) {
      unsetenv("OSTREL_UNITS_PATH");
    } else {
      setenv("OSTREL_UNITS_PATH", c.value, 1);
    }
    TestSupport::CaptureStdout out;
    EXPECT_EQ(Settings::GetUnitsPath(), c.value == nullptr ? "./units" : c.value);
    EXPECT_EQ(out.str(), c.output) << "level " << c.level;
  }
}

}  // namespace
