// The README's example city stands apart whichever units its places are read in: cell units, or
// the kit's own with -m (metres, for engines). Two buildings whose bounds overlap along both x and
// z run through each other.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

const std::string kSource = TOWERKIT_SOURCE_DIR;

// One building's bounds on the ground: the x and z its vertices span.
struct Footprint {
  std::string name;
  double x0 = std::numeric_limits<double>::max(), x1 = -std::numeric_limits<double>::max();
  double z0 = std::numeric_limits<double>::max(), z1 = -std::numeric_limits<double>::max();
};

// Every "o" object of the OBJ text with the bounds of its v lines.
std::vector<Footprint> FootprintsOf(const std::string& i_obj) {
  std::vector<Footprint> buildings;
  std::istringstream lines(i_obj);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("o ", 0) == 0) buildings.push_back({line.substr(2)});
    if (line.rfind("v ", 0) != 0 || buildings.empty()) continue;
    std::istringstream numbers(line.substr(2));
    double x = 0, y = 0, z = 0;
    numbers >> x >> y >> z;
    Footprint& b = buildings.back();
    b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
    b.z0 = std::min(b.z0, z), b.z1 = std::max(b.z1, z);
  }
  return buildings;
}

TEST(ExampleCity, NoTwoBuildingsOverlapInCellUnitsOrInMetres) {
  TestSupport::ScratchDir work;
  for (const bool metres : {false, true}) {
    std::vector<std::string> args = {"--city", kSource + "/examples/city.csv", "city.obj"};
    if (metres) args.push_back("-m");
    const TestSupport::RunResult run = TestSupport::RunTool(kSource + "/units", work.path.string(), args);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<Footprint> buildings = FootprintsOf(TestSupport::ReadFile(work / "city.obj"));
    ASSERT_EQ(buildings.size(), 6u);
    for (std::size_t a = 0; a < buildings.size(); ++a) {
      for (std::size_t b = a + 1; b < buildings.size(); ++b) {
        const Footprint &p = buildings[a], &q = buildings[b];
        const bool overlap = p.x0 < q.x1 && q.x0 < p.x1 && p.z0 < q.z1 && q.z0 < p.z1;
        EXPECT_FALSE(overlap) << p.name << " and " << q.name << (metres ? " with -m" : " in cell units");
      }
    }
  }
}

}  // namespace
