// The shipped unit kit: up to date with its generator, and making buildings that are one clean
// surface (the linter finds nothing in it), and far fewer positions than the kit of boxes had.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <ostrel/building/Building.h>
#include <ostrel/lint/KitLint.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using BuildingTest::Request;
using Ostrel::VectorF;

using TestSupport::kShipped;

std::vector<std::string> UnitFiles(const std::string& i_folder) {
  std::vector<std::string> names;
  for (const auto& entry : TestSupport::fs::directory_iterator(i_folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

Obj::Mesh BuildMesh(const Request& i_request) {
  Ostrel::Buildings::Building building = BuildingTest::Make(i_request, kShipped);
  Obj::Mesh mesh;
  Obj::Parse(BuildingTest::BuildText(building), mesh);
  return mesh;
}

std::string At(const VectorF& i_point) {
  std::ostringstream text;
  text << "(" << i_point.x << ", " << i_point.y << ", " << i_point.z << ")";
  return text.str();
}

TEST(Kit, CommittedFilesAreWhatTheGeneratorWrites) {
  TestSupport::ScratchDir scratch;
  TestSupport::RunOptions options;
  options.program = KITGEN_BINARY;
  options.args = {scratch.path.string()};
  ASSERT_EQ(TestSupport::Run(options).status, 0);

  const std::vector<std::string> written = UnitFiles(scratch.path.string());
  EXPECT_EQ(UnitFiles(kShipped), written) << "run kitgen to rebuild the kit";
  for (const std::string& name : written)
    EXPECT_EQ(TestSupport::ReadFile(kShipped + "/" + name), TestSupport::ReadFile(scratch / name))
        << name << ": run kitgen to rebuild the kit";
}

// kitgen takes one folder; anything that looks like an option is refused rather than taken for
// the name of a folder to fill.
TEST(Kit, GeneratorRefusesUnknownOptions) {
  TestSupport::ScratchDir scratch;
  TestSupport::RunOptions options;
  options.program = KITGEN_BINARY;
  options.workdir = scratch.path.string();
  options.args = {"--help"};
  const TestSupport::RunResult help = TestSupport::Run(options);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("Usage: kitgen [folder]\n", 0), 0u) << help.output;
  for (const std::string wrong : {"--out", "-x"}) {
    options.args = {wrong, "units"};
    const TestSupport::RunResult refused = TestSupport::Run(options);
    EXPECT_EQ(refused.status, 1) << wrong;
    EXPECT_NE(refused.output.find("error : unknown option '" + wrong + "'"), std::string::npos)
        << refused.output;
  }
  EXPECT_TRUE(UnitFiles(scratch.path.string()).empty()) << "nothing is written after a refusal or for --help";
}

// One palette per style, whose name (no "_") adds no style: the tool's list is still base and the
// three styles.
TEST(Kit, EveryStyleHasAPalette) {
  for (const std::string& style : TestSupport::kShippedStyles)
    EXPECT_TRUE(TestSupport::fs::is_regular_file(kShipped + "/" + style + ".mtl")) << style;
  TestSupport::ScratchDir work;
  const TestSupport::RunResult listed = TestSupport::RunTool(kShipped, work.path.string(), {"-k"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.output.find("unit-types:\n[towerkit-0.1] info :  - A\n[towerkit-0.1] info :  - B\n"
                               "[towerkit-0.1] info :  - S\n[towerkit-0.1] info :  - base\n"),
            std::string::npos)
      << listed.output;
}

TEST(Kit, BaseUnitsSpanOneCellOfThreeMetres) {
  VectorF lo(1e9f), hi(-1e9f);
  for (const char* base : {"base_floorclose", "base_roof"}) {
    Obj::Mesh mesh;
    ASSERT_TRUE(Obj::ReadMesh(kShipped + "/" + base + ".obj", mesh));
    for (const VectorF& p : mesh.vertices) {
      lo = VectorF(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = VectorF(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
  }
  EXPECT_EQ(At(lo), At(VectorF(-1.5f, 0, -1.5f)));
  EXPECT_EQ(At(hi), At(VectorF(1.5f, 3, 1.5f)));
}

// The linter finds nothing in the shipped kit: every piece is there, read whole and inside its
// cell, with normals that agree with the winding and materials its palette defines; and the
// buildings it makes of them (doors on every side, balconies and walls of every pattern, rows of
// no cells, height 0) are one clean surface, open only along their base.
TEST(Kit, TheLinterFindsNothing) {
  EXPECT_EQ(Ostrel::Buildings::LintedStyles(UnitFiles(kShipped)), TestSupport::kShippedStyles);
  for (const Ostrel::Buildings::LintFinding& finding : Ostrel::Buildings::LintKit(kShipped, TestSupport::kShippedStyles))
    ADD_FAILURE() << finding.file << ", line " << finding.line << ": " << finding.message;
}

// The building of the README's pictures has at most half the v lines that it had from the kit of
// separate boxes (measured with that kit: 12216 for A, 21696 for B).
TEST(Kit, BuildingsHaveAtMostHalfThePositionsOfTheBoxKit) {
  const std::pair<std::string, std::size_t> before[] = {{"A", 12216}, {"B", 21696}};
  for (const auto& [style, lines] : before) {
    const Obj::Mesh mesh = BuildMesh({style, "SC", {"NC", "EA"}, {"WA", "NE"}, 4, 3, 3});
    EXPECT_GT(mesh.vertices.size(), 0u);
    EXPECT_LE(mesh.vertices.size(), lines / 2) << style;
  }
}

// The first command of a newcomer, run from the repository's root with the shipped kit, builds
// every style.
TEST(Kit, TheToolBuildsEveryStyleFromTheRepositoryRoot) {
  for (const std::string& style : TestSupport::kShippedStyles) {
    TestSupport::ScratchDir scratch;
    TestSupport::RunOptions options;
    options.args = {"-s", style, "-w", "3", "-l", "3", "-h", "3", scratch / "tower.obj"};
    options.workdir = TOWERKIT_SOURCE_DIR;
    options.unsetEnv = {"OSTREL_UNITS_PATH"};
    ASSERT_EQ(TestSupport::Run(options).status, 0) << style;
    Ostrel::Buildings::Building building = BuildingTest::Make({style, "  ", {}, {}, 3, 3, 3}, kShipped);
    building.setMaterialLibrary("tower.mtl", scratch.path.string());
    EXPECT_EQ(TestSupport::ReadFile(scratch / "tower.obj"), BuildingTest::BuildText(building)) << style;
    // Every material the building names is defined beside it, each once.
    EXPECT_EQ(TestSupport::ReadFile(scratch / "tower.mtl"), building.materialLibraryText()) << style;
    const Obj::Mesh mesh = [&] {
      Obj::Mesh parsed;
      Obj::Parse(TestSupport::ReadFile(scratch / "tower.obj"), parsed);
      return parsed;
    }();
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    Mtl::Parse(building.materialLibraryText(), library, findings);
    EXPECT_TRUE(findings.empty()) << style;
    std::vector<std::string> defined;
    for (const Mtl::Material& material : library.materials) defined.push_back(material.name);
    EXPECT_EQ(defined, mesh.materials) << style;
  }
}

}  // namespace
