// The shipped unit kit: up to date with its generator, every piece a closed outward solid, and
// neighbouring pieces meeting without gaps. Files are read with a small parser of their own, so
// that a fault of the tool's reader cannot hide a fault of the kit.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <locale>
#include <map>
#include <set>
#include <sstream>

#include "TestSupport.h"

namespace {

using TestSupport::fs::path;

const std::string kUnits = std::string(TOWERKIT_SOURCE_DIR) + "/units";
const std::vector<std::string> kStyles = {"A", "B"};

using Point = std::array<long, 3>;  // centimetres of the piece's frame (all kit sizes are whole cm)

struct Face {
  std::vector<long> corners;  // 0-based, the same index for position, texture and normal
  std::size_t solid = 0;      // index of the group ("g" line) it belongs to
};

struct Unit {
  std::vector<Point> vertices;
  std::vector<Point> normals;  // whole numbers: the kit only has axis-aligned sides
  std::size_t uvs = 0;
  std::vector<Face> faces;
  std::size_t solids = 0;
  std::vector<std::string> faults;  // what does not parse as the kit's form
};

Unit Load(const std::string& i_file) {
  Unit unit;
  std::istringstream text(TestSupport::ReadFile(i_file));
  std::string line;
  while (std::getline(text, line)) {
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    std::string key;
    in >> key;
    if (key == "v" || key == "vn") {
      Point p{};
      for (long& c : p) {
        double value = 0;
        in >> value;
        c = std::lround(value * (key == "v" ? 100 : 1));
        if (std::fabs(value * (key == "v" ? 100 : 1) - static_cast<double>(c)) > 1e-4)
          unit.faults.push_back(line);
      }
      (key == "v" ? unit.vertices : unit.normals).push_back(p);
    } else if (key == "vt") {
      ++unit.uvs;
    } else if (key == "g") {
      ++unit.solids;
    } else if (key == "f") {
      Face face{{}, unit.solids};
      std::string corner;
      while (in >> corner) {
        long a = 0, b = 0, c = 0;
        char s1 = 0, s2 = 0;
        std::istringstream fields(corner);
        if (!(fields >> a >> s1 >> b >> s2 >> c) || s1 != '/' || s2 != '/' || a != b || b != c)
          unit.faults.push_back(line);
        face.corners.push_back(a - 1);
      }
      unit.faces.push_back(face);
    }
  }
  return unit;
}

std::string Name(const std::string& i_style, const std::string& i_piece) { return i_style + "_" + i_piece; }
Unit LoadPiece(const std::string& i_name) { return Load(kUnits + "/" + i_name + ".obj"); }

// The points of a 5 cm grid (cell centres, in doubled cm so they stay whole) that the faces with
// outward normal i_sign along i_axis cover, seen along that axis. With i_plane set, only faces
// lying in that plane count: the cross-section of the piece there. Points are (u, v) with
// (z, y) for the x axis, (x, z) for y and (x, y) for z.
using Samples = std::set<std::pair<long, long>>;

Samples Covered(const Unit& i_unit, int i_axis, int i_sign, const long* i_plane = nullptr) {
  const int ua = i_axis == 0 ? 2 : 0;
  const int va = i_axis == 1 ? 2 : 1;
  Samples samples;
  for (const Face& face : i_unit.faces) {
    const Point& n = i_unit.normals[static_cast<std::size_t>(face.corners[0])];
    if (n[static_cast<std::size_t>(i_axis)] != i_sign) continue;
    std::vector<std::pair<long, long>> polygon;
    bool inPlane = true;
    for (const long c : face.corners) {
      const Point& p = i_unit.vertices[static_cast<std::size_t>(c)];
      polygon.push_back({2 * p[ua], 2 * p[va]});
      if (i_plane && p[static_cast<std::size_t>(i_axis)] != *i_plane) inPlane = false;
    }
    if (!inPlane) continue;
    long u0 = polygon[0].first, u1 = u0, v0 = polygon[0].second, v1 = v0;
    for (const auto& [u, v] : polygon)
      u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
    // Sample centres never lie on an edge, so the crossing test needs no special cases.
    for (long u = u0 - (u0 % 10 + 10) % 10 + 5; u < u1; u += 10) {
      for (long v = v0 - (v0 % 10 + 10) % 10 + 5; v < v1; v += 10) {
        bool inside = false;
        for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
          const auto [ui, vi] = polygon[i];
          const auto [uj, vj] = polygon[j];
          if ((vi > v) != (vj > v) && u < ui + (uj - ui) * (v - vi) / static_cast<double>(vj - vi))
            inside = !inside;
        }
        if (inside) samples.insert({u, v});
      }
    }
  }
  return samples;
}

Samples Section(const Unit& i_unit, int i_axis, int i_sign, long i_plane) {
  return Covered(i_unit, i_axis, i_sign, &i_plane);
}

// All grid points of a rectangle, in cm.
Samples Rectangle(long i_u0, long i_u1, long i_v0, long i_v1) {
  Samples samples;
  for (long u = 2 * i_u0 + 5; u < 2 * i_u1; u += 10)
    for (long v = 2 * i_v0 + 5; v < 2 * i_v1; v += 10) samples.insert({u, v});
  return samples;
}

bool Contains(const Samples& i_all, const Samples& i_part) {
  return std::includes(i_all.begin(), i_all.end(), i_part.begin(), i_part.end());
}

// Equal sections, or how many grid points of 5 cm differ (printing them all helps nobody).
testing::AssertionResult Same(const Samples& i_actual, const Samples& i_expected) {
  std::vector<std::pair<long, long>> differ;
  std::set_symmetric_difference(i_actual.begin(), i_actual.end(), i_expected.begin(), i_expected.end(),
                                std::back_inserter(differ));
  if (differ.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << differ.size() << " points of 5 cm differ, the first at ("
                                     << differ[0].first / 2.0 << ", " << differ[0].second / 2.0 << ") cm";
}

Samples MirrorU(const Samples& i_samples) {
  Samples mirrored;
  for (const auto& [u, v] : i_samples) mirrored.insert({-u, v});
  return mirrored;
}

std::vector<std::string> UnitFiles(const std::string& i_folder) {
  std::vector<std::string> names;
  for (const auto& entry : TestSupport::fs::directory_iterator(i_folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
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

TEST(Kit, EveryStyleHasEveryPiece) {
  for (const std::string& style : kStyles)
    for (const char* piece : {"angle", "angleroof", "ground", "grounddoor", "groundclose", "floor",
                              "floorclose", "roof", "roofdoor", "balcony", "roofcap"})
      EXPECT_TRUE(TestSupport::fs::is_regular_file(kUnits + "/" + Name(style, piece) + ".obj"))
          << style << piece;
}

// Each group is one solid: every edge used once in each direction, positive volume, and each
// side's normal agreeing with its winding. Every corner carries all three indices, and a unit
// carries as many normals and texture coordinates as positions, since the tool shifts all three
// index lists by the vertex count.
TEST(Kit, EveryPieceIsClosedOutwardAndSmall) {
  for (const std::string& file : UnitFiles(kUnits)) {
    SCOPED_TRACE(file);
    const Unit unit = Load(kUnits + "/" + file);
    EXPECT_TRUE(unit.faults.empty()) << unit.faults.front();
    ASSERT_GT(unit.vertices.size(), 0u);
    EXPECT_LE(unit.vertices.size(), 450u);
    EXPECT_EQ(unit.normals.size(), unit.vertices.size());
    EXPECT_EQ(unit.uvs, unit.vertices.size());

    std::vector<std::map<std::pair<Point, Point>, int>> edges(unit.solids + 1);
    std::vector<double> volume(unit.solids + 1, 0.0);
    for (const Face& face : unit.faces) {
      ASSERT_GE(face.corners.size(), 3u);
      std::array<double, 3> newell{};
      for (std::size_t i = 0; i < face.corners.size(); ++i) {
        const long a = face.corners[i];
        const long b = face.corners[(i + 1) % face.corners.size()];
        ASSERT_TRUE(a >= 0 && b >= 0 && static_cast<std::size_t>(std::max(a, b)) < unit.vertices.size());
        const Point& p = unit.vertices[static_cast<std::size_t>(a)];
        const Point& q = unit.vertices[static_cast<std::size_t>(b)];
        ++edges[face.solid][{p, q}];
        for (std::size_t k = 0; k < 3; ++k) {
          const std::size_t k1 = (k + 1) % 3, k2 = (k + 2) % 3;
          newell[k] += static_cast<double>((p[k1] - q[k1]) * (p[k2] + q[k2]));
        }
      }
      // Six times the volume, by the divergence theorem over a fan of each side.
      const Point& p0 = unit.vertices[static_cast<std::size_t>(face.corners[0])];
      for (std::size_t i = 1; i + 1 < face.corners.size(); ++i) {
        const Point& p1 = unit.vertices[static_cast<std::size_t>(face.corners[i])];
        const Point& p2 = unit.vertices[static_cast<std::size_t>(face.corners[i + 1])];
        volume[face.solid] += static_cast<double>(p0[0]) * (p1[1] * p2[2] - p1[2] * p2[1]) +
                              static_cast<double>(p0[1]) * (p1[2] * p2[0] - p1[0] * p2[2]) +
                              static_cast<double>(p0[2]) * (p1[0] * p2[1] - p1[1] * p2[0]);
      }
      for (const long c : face.corners) {
        const Point& n = unit.normals[static_cast<std::size_t>(c)];
        EXPECT_GT(newell[0] * n[0] + newell[1] * n[1] + newell[2] * n[2], 0.0)
            << "a side's normal against its winding";
      }
    }
    for (std::size_t solid = 0; solid < edges.size(); ++solid) {
      for (const auto& [edge, count] : edges[solid]) {
        const auto back = edges[solid].find({edge.second, edge.first});
        EXPECT_TRUE(count == 1 && back != edges[solid].end() && back->second == 1)
            << "open or twisted at solid " << solid;
      }
      if (!edges[solid].empty()) {
        EXPECT_GT(volume[solid], 0.0) << "inside out: solid " << solid;
      }
    }
  }
}

TEST(Kit, BaseUnitsSpanOneCellOfThreeMetres) {
  Point lo{1000000, 1000000, 1000000}, hi{-1000000, -1000000, -1000000};
  for (const char* base : {"base_floorclose", "base_roof"}) {
    for (const Point& p : LoadPiece(base).vertices)
      for (std::size_t k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
  }
  EXPECT_EQ(lo, (Point{-150, 0, -150}));
  EXPECT_EQ(hi, (Point{150, 300, 150}));
}

// Facade pieces of one row share one profile at both cell edges along the facade; a corner shows
// that profile at its edge towards the facade before it (z = -150) and, turned a quarter, at its
// edge towards the facade after it (x = -150), where the next piece's -z end lies along its +z.
TEST(Kit, NeighbouringPiecesMeetWithTheSameProfile) {
  for (const std::string& style : kStyles) {
    SCOPED_TRACE(style);
    const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
        {"angle", {"ground", "grounddoor", "groundclose", "floor", "floorclose"}},
        {"angleroof", {"roof", "roofdoor"}}};
    for (const auto& [corner, pieces] : rows) {
      const Samples profile = Section(LoadPiece(Name(style, pieces.front())), 2, -1, -150);
      ASSERT_FALSE(profile.empty());
      for (const std::string& piece : pieces) {
        const Unit unit = LoadPiece(Name(style, piece));
        EXPECT_TRUE(Same(Section(unit, 2, -1, -150), profile)) << piece << " at z -1.5";
        EXPECT_TRUE(Same(Section(unit, 2, 1, 150), profile)) << piece << " at z 1.5";
      }
      const Unit angle = LoadPiece(Name(style, corner));
      EXPECT_TRUE(Same(Section(angle, 2, -1, -150), profile)) << corner << " towards the facade before it";
      EXPECT_TRUE(Same(Section(angle, 0, -1, -150), profile)) << corner << " towards the facade after it";
    }
  }
}

// The wall band of the outer 30 cm is closed at each storey boundary, in a facade cell and in a
// corner (an L of both bands), so storeys stack without a slit.
TEST(Kit, StoreysStackWithoutSlits) {
  const Samples band = Rectangle(120, 150, -150, 150);
  Samples corner = Rectangle(120, 150, -150, 150);
  for (const auto& point : Rectangle(-150, 120, 120, 150)) corner.insert(point);
  for (const std::string& style : kStyles) {
    for (const char* piece : {"ground", "grounddoor", "groundclose", "floor", "floorclose"})
      EXPECT_TRUE(Contains(Section(LoadPiece(Name(style, piece)), 1, 1, 300), band))
          << style << piece << " top";
    for (const char* piece : {"floor", "floorclose", "roof", "roofdoor"})
      EXPECT_TRUE(Contains(Section(LoadPiece(Name(style, piece)), 1, -1, 0), band))
          << style << piece << " bottom";
    const Unit angle = LoadPiece(Name(style, "angle"));
    EXPECT_TRUE(Contains(Section(angle, 1, 1, 300), corner)) << style << " angle top";
    EXPECT_TRUE(Contains(Section(angle, 1, -1, 0), corner)) << style << " angle bottom";
    EXPECT_TRUE(Contains(Section(LoadPiece(Name(style, "angleroof")), 1, -1, 0), corner)) << style;
  }
}

// Nothing can be seen through a storey's facade cell or a corner from outside, and the roof row
// with its caps covers its cells from above at one height.
TEST(Kit, FacadesAreOpaqueAndTheRoofIsClosed) {
  const Samples face = Rectangle(-150, 150, 0, 300);
  const Samples plan = Rectangle(-150, 150, -150, 150);
  for (const std::string& style : kStyles) {
    SCOPED_TRACE(style);
    for (const char* piece : {"ground", "grounddoor", "groundclose", "floor", "floorclose", "angle"})
      EXPECT_TRUE(Contains(Covered(LoadPiece(Name(style, piece)), 0, 1), face)) << piece;
    EXPECT_TRUE(Contains(Covered(LoadPiece(Name(style, "angle")), 2, 1), face));
    for (const char* piece : {"roof", "roofdoor", "angleroof", "roofcap"})
      EXPECT_TRUE(Contains(Covered(LoadPiece(Name(style, piece)), 1, 1), plan)) << piece;

    // The cap meets the -x side of a facade cell's roof on any of its four sides; on the south and
    // east the roof is turned so that its z runs against the cap's.
    const Unit cap = LoadPiece(Name(style, "roofcap"));
    const Samples roofEdge = Section(LoadPiece(Name(style, "roof")), 0, -1, -150);
    EXPECT_FALSE(roofEdge.empty());
    EXPECT_TRUE(Same(Section(cap, 0, 1, 150), roofEdge));
    EXPECT_TRUE(Same(Section(cap, 0, -1, -150), MirrorU(roofEdge)));
    EXPECT_TRUE(Same(Section(cap, 2, 1, 150), MirrorU(roofEdge)));
    EXPECT_TRUE(Same(Section(cap, 2, -1, -150), roofEdge));
  }
}

// A balcony stands in front of its facade: fixed to the wall (sunk at most 5 cm into it), and
// reaching nowhere into the building.
TEST(Kit, BalconiesStandInFrontOfTheirFacade) {
  for (const std::string& style : kStyles) {
    long lo = 1000000, hi = -1000000;
    for (const Point& p : LoadPiece(Name(style, "balcony")).vertices)
      lo = std::min(lo, p[0]), hi = std::max(hi, p[0]);
    EXPECT_TRUE(lo >= 145 && lo <= 150) << style << ": innermost x " << lo;
    EXPECT_GT(hi, 200) << style;
  }
}

// The first command of a newcomer, run from the repository's root with the shipped kit, and a few
// other sizes: every style builds, and since each unit carries as many normals and texture
// coordinates as vertices, every corner of the output names the same index three times.
TEST(Kit, TheToolBuildsEveryStyleFromTheRepositoryRoot) {
  const std::vector<std::vector<std::string>> sizes = {
      {"-w", "3", "-l", "3", "-h", "3"},
      {"-w", "1", "-l", "1", "-h", "1"},
      {"-w", "4", "-l", "2", "-h", "0", "-d", "NL"},
      {"-w", "2", "-l", "5", "-h", "4", "-d", "SC", "-b", "EA", "-c", "WO"}};
  for (const std::string& style : kStyles) {
    for (const std::vector<std::string>& size : sizes) {
      TestSupport::ScratchDir scratch;
      TestSupport::RunOptions options;
      options.args = {"-s", style};
      options.args.insert(options.args.end(), size.begin(), size.end());
      options.args.push_back(scratch / "tower.obj");
      options.workdir = TOWERKIT_SOURCE_DIR;
      options.unsetEnv = {"OSTREL_UNITS_PATH"};
      SCOPED_TRACE(style + " " + size[1] + "x" + size[3] + "x" + size[5]);
      ASSERT_EQ(TestSupport::Run(options).status, 0);

      std::istringstream text(TestSupport::ReadFile(scratch / "tower.obj"));
      std::map<std::string, long> count;
      std::string line, key;
      bool aligned = true, inRange = true;
      while (std::getline(text, line)) {
        std::istringstream in(line);
        in >> key;
        ++count[key];
        if (key != "f") continue;
        long a = 0, b = 0, c = 0;
        char s1 = 0, s2 = 0;
        for (std::string corner; in >> corner;) {
          std::istringstream fields(corner);
          aligned = aligned && (fields >> a >> s1 >> b >> s2 >> c) && a == b && b == c;
          inRange = inRange && a >= 1 && a <= count["v"];
        }
      }
      EXPECT_GT(count["v"], 0);
      EXPECT_EQ(count["vn"], count["v"]);
      EXPECT_EQ(count["vt"], count["v"]);
      EXPECT_TRUE(aligned);
      EXPECT_TRUE(inRange);
    }
  }
}

}  // namespace
