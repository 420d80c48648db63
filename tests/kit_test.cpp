// The shipped unit kit: up to date with its generator, and making buildings that are one clean
// surface: no hidden or doubled faces, every edge closed by its neighbour but along the open
// base, normals that agree with the winding, and far fewer positions than the kit of boxes had.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <ostrel/city/Building.h>
#include <ostrel/ext/MeshCheck.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using BuildingTest::Request;
using namespace Ostrel::MeshCheck;
using Ostrel::VectorF;

const std::string kUnits = std::string(TOWERKIT_SOURCE_DIR) + "/units";
const std::vector<std::string> kStyles = {"A", "B"};

std::vector<std::string> UnitFiles(const std::string& i_folder) {
  std::vector<std::string> names;
  for (const auto& entry : TestSupport::fs::directory_iterator(i_folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

Obj::Mesh BuildMesh(const Request& i_request) {
  Ostrel::City::Building building = BuildingTest::Make(i_request, kUnits);
  Obj::Mesh mesh;
  Obj::Parse(BuildingTest::BuildText(building), mesh);
  return mesh;
}

std::string Describe(const Request& i_request) {
  std::string text = i_request.style + " -w " + std::to_string(i_request.w) + " -l " +
                     std::to_string(i_request.l) + " -h " + std::to_string(i_request.h) + " -d '" +
                     i_request.door + "'";
  for (const std::string& b : i_request.balcony) text += " -b " + b;
  for (const std::string& c : i_request.close) text += " -c " + c;
  return text;
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
  EXPECT_EQ(UnitFiles(kUnits), written) << "run kitgen to rebuild the kit";
  for (const std::string& name : written)
    EXPECT_EQ(TestSupport::ReadFile(kUnits + "/" + name), TestSupport::ReadFile(scratch / name))
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

// Every piece of every style, and one palette per style whose name (no "_") adds no style: the
// tool's list is still base and the two styles.
TEST(Kit, EveryStyleHasEveryPieceAndAPalette) {
  for (const std::string& style : kStyles) {
    for (const char* piece : {"angle", "angleroof", "ground", "grounddoor", "groundclose", "floor",
                              "floorclose", "roof", "roofdoor", "balcony", "roofcap"})
      EXPECT_TRUE(TestSupport::fs::is_regular_file(kUnits + "/" + style + "_" + piece + ".obj"))
          << style << piece;
    EXPECT_TRUE(TestSupport::fs::is_regular_file(kUnits + "/" + style + ".mtl")) << style;
  }
  TestSupport::ScratchDir work;
  const TestSupport::RunResult listed = TestSupport::RunTool(kUnits, work.path.string(), {"-k"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.output.find("unit-types:\n[towerkit-0.1] info :  - A\n[towerkit-0.1] info :  - B\n"
                               "[towerkit-0.1] info :  - base\n"),
            std::string::npos)
      << listed.output;
}

TEST(Kit, BaseUnitsSpanOneCellOfThreeMetres) {
  VectorF lo(1e9f), hi(-1e9f);
  for (const char* base : {"base_floorclose", "base_roof"}) {
    Obj::Mesh mesh;
    ASSERT_TRUE(Obj::ReadMesh(kUnits + "/" + base + ".obj", mesh));
    for (const VectorF& p : mesh.vertices) {
      lo = VectorF(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = VectorF(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
  }
  EXPECT_EQ(At(lo), At(VectorF(-1.5f, 0, -1.5f)));
  EXPECT_EQ(At(hi), At(VectorF(1.5f, 3, 1.5f)));
}

// Buildings of every shipped style at several sizes, with doors on each side, balconies and
// closed walls, rows of no cells and a building without interior. After welding equal positions:
// no two faces in one plane overlap (back to back or facing the same way), every edge is used
// once in each direction except along the open base (y 0), where the walls stand on the ground,
// and normals agree with the winding. Balconies are closed solids of their own and count the same.
TEST(Kit, BuildingsAreOneCleanSurface) {
  const std::vector<Request> requests = {
      {"", "SC", {"NC", "EA"}, {"WA", "NE"}, 4, 3, 3},
      {"", "NL", {"SA", "WA", "EE"}, {"NC", "EO"}, 5, 4, 5},
      {"", "WR", {"NA"}, {}, 1, 1, 1},
      {"", "ER", {"EA"}, {"SA", "NA", "EA", "WA"}, 3, 3, 2},
      {"", "NC", {"SO"}, {}, 1, 0, 2},  // no interior: the roof slabs of two facades meet
      {"", "  ", {}, {}, 0, 3, 1},      // two facades of no cells: corners meet corners
      {"", "  ", {}, {}, 0, 0, 1},
  };
  for (const std::string& style : kStyles) {
    for (Request request : requests) {
      request.style = style;
      SCOPED_TRACE(Describe(request));
      const Obj::Mesh mesh = BuildMesh(request);
      ASSERT_GT(mesh.polycount.size(), 0u);

      const std::vector<OverlapFinding> overlaps = FindOverlaps(mesh);
      EXPECT_TRUE(overlaps.empty()) << overlaps.size() << " pairs, the first " << overlaps[0].first << " and "
                                    << overlaps[0].second << " at " << At(overlaps[0].where)
                                    << (overlaps[0].kind == OverlapKind::BackToBack ? " back to back"
                                                                                    : " facing alike");
      std::size_t base = 0;
      std::vector<std::string> faults;
      for (const EdgeFinding& edge : FindEdgeFaults(mesh)) {
        if (edge.fault == EdgeFault::Open && edge.from.y == 0 && edge.to.y == 0) {
          ++base;
        } else {
          faults.push_back(std::string(edge.fault == EdgeFault::Open      ? "open"
                                       : edge.fault == EdgeFault::Flipped ? "flipped"
                                                                          : "crowded") +
                           " edge " + At(edge.from) + " - " + At(edge.to));
        }
      }
      EXPECT_TRUE(faults.empty()) << faults.size() << " faulty edges, the first " << faults[0];
      EXPECT_GT(base, 0u) << "the base is open";
      const std::vector<NormalFinding> normals = FindNormalsAgainstWinding(mesh);
      EXPECT_TRUE(normals.empty()) << "face " << normals[0].face;
    }
  }
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
  for (const std::string& style : kStyles) {
    TestSupport::ScratchDir scratch;
    TestSupport::RunOptions options;
    options.args = {"-s", style, "-w", "3", "-l", "3", "-h", "3", scratch / "tower.obj"};
    options.workdir = TOWERKIT_SOURCE_DIR;
    options.unsetEnv = {"OSTREL_UNITS_PATH"};
    ASSERT_EQ(TestSupport::Run(options).status, 0) << style;
    Ostrel::City::Building building = BuildingTest::Make({style, "  ", {}, {}, 3, 3, 3}, kUnits);
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
