// --city with a GeoJSON file: each building stands on its outline, whatever the pivot; every
// feature is built or told with its name and reason, and counted; a file that is no feature
// collection is refused at its line and column before anything is written; threads change no
// byte. And the values read from map data, and the normals of stretched cells.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/layout/Frame.h>
#include "towerkit/GeoCity.h"

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::RunTool;

using TestSupport::kShipped;

// A feature of one ring, in the order given (closed here), with the properties' JSON text.
std::string Feature(const std::string& i_properties, const std::vector<std::pair<double, double>>& i_ring) {
  std::string ring;
  for (std::size_t i = 0; i <= i_ring.size(); ++i) {
    const auto& at = i_ring[i % i_ring.size()];
    char position[64];
    std::snprintf(position, sizeof position, "%s[%.7f,%.7f]", i == 0 ? "" : ",", at.first, at.second);
    ring += position;
  }
  return "{\"type\":\"Feature\",\"properties\":{" + i_properties +
         "},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[" + ring + "]]}}";
}

std::string Collection(const std::vector<std::string>& i_features) {
  std::string text = "{\"type\":\"FeatureCollection\",\"features\":[\n";
  for (std::size_t i = 0; i < i_features.size(); ++i) text += (i ? ",\n" : "") + i_features[i];
  return text + "\n]}\n";
}

// The bounds --stats tells: x from, x to, y from, y to, z from, z to.
std::vector<double> StatBounds(const std::string& i_output) {
  const std::size_t at = i_output.find("bounds x ");
  if (at == std::string::npos) return {};
  double v[6];
  if (std::sscanf(i_output.c_str() + at, "bounds x %lf to %lf, y %lf to %lf, z %lf to %lf", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5]) != 6)
    return {};
  return std::vector<double>(v, v + 6);
}

// A house of 12 x 7.5 m in planar metres, 100 m east and 200 m north of the origin: its cells
// stretched to fill it (4 x 2.5 cells of the kit's 3 m would not), east +x and north -z, and
// every pivot puts it on the same ground.
TEST(GeoCity, ABuildingStandsOnItsOutline) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "map.json",
                         Collection({Feature("\"building:levels\":\"2\"", {{100, 200}, {112, 200}, {112, 207.5}, {100, 207.5}})}));
  for (const char* pivot : {"origin", "base-centre", "corner"}) {
    const TestSupport::RunResult run = RunTool(
        kShipped, work.path.string(),
        {"--city", "map.json", "--crs", "metres", "--origin", "0,0", "--pivot", pivot, "--stats", "city.obj"});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<double> bounds = StatBounds(run.output);
    ASSERT_EQ(bounds.size(), 6u) << run.output;
    // The pieces' overhangs (copings, sills) reach a little beyond the walls.
    EXPECT_NEAR(bounds[0], 100, 0.4) << pivot;
    EXPECT_NEAR(bounds[1], 112, 0.4) << pivot;
    EXPECT_NEAR(bounds[4], -207.5, 0.4) << pivot;
    EXPECT_NEAR(bounds[5], -200, 0.4) << pivot;
    EXPECT_EQ(bounds[2], 0) << pivot;
  }
  const std::string obj = TestSupport::ReadFile(work / "city.obj");
  EXPECT_EQ(obj.substr(0, obj.find('\n')),
            "# origin easting 0.000, northing 0.000 (the file's coordinates); x east, -z north, y up, metres");
}

// Every feature is built or told, with its name and reason, and the counts add up; roof values
// the kit has no shape for are told once each.
TEST(GeoCity, EveryFeatureIsBuiltOrTold) {
  TestSupport::ScratchDir work;
  const double lon = 13.4, lat = 52.5, m = 1.0 / 111000;  // about a metre of latitude
  const double e = m / std::cos(lat * 3.14159265358979 / 180);
  const auto box = [&](double i_east, double i_north, double i_width, double i_depth) {
    return std::vector<std::pair<double, double>>{{lon + i_east * e, lat + i_north * m},
                                                  {lon + (i_east + i_width) * e, lat + i_north * m},
                                                  {lon + (i_east + i_width) * e, lat + (i_north + i_depth) * m},
                                                  {lon + i_east * e, lat + (i_north + i_depth) * m}};
  };
  std::vector<std::string> features = {
      Feature("\"@id\":\"way/1\",\"roof:shape\":\"dome\"", box(0, 0, 12, 9)),
      Feature("\"@id\":\"way/2\",\"roof:shape\":\"dome\"", box(40, 0, 12, 9)),
      "{\"type\":\"Feature\",\"properties\":{\"name\":\"bench\"},\"geometry\":{\"type\":\"Point\","
      "\"coordinates\":[13.4,52.5]}}",
      Feature("\"osm_id\":3", box(80, 0, 1, 1)),
      Feature("\"name\":\"shed\",\"towerkit:style\":\"Nope\"", box(0, 40, 12, 9)),
      Feature("\"height\":\"tall\"", box(40, 40, 9, 9)),
  };
  TestSupport::WriteFile(work / "map.geojson", Collection(features));
  const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), {"--city", "map.geojson", "city.glb"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("City file 'map.geojson': 6 features, 3 built, 3 skipped"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("feature 3 'bench' (line 4) is skipped: a Point"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("feature 4 '3' (line 5) is skipped: too small for one cell"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("feature 5 'shed' (line 6) is skipped: its towerkit:style 'Nope' is not a style"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("feature 6 'building_6' (line 7): its height 'tall' is not a number of metres: it has 3 "
                            "storeys"),
            std::string::npos)
      << run.output;
  const std::string dome = "roof:shape 'dome' is built as the nearest roof the kit has, hip";
  ASSERT_NE(run.output.find(dome), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(dome, run.output.find(dome) + 1), std::string::npos) << run.output;
  for (const std::string line : {"City file", "roof:shape"}) EXPECT_EQ(run.output.find(line + "\n"), std::string::npos);

  // The same city on one thread and on three, as OBJ (one name: the OBJ names its library).
  std::filesystem::create_directory(work / "one");
  std::filesystem::create_directory(work / "three");
  ASSERT_EQ(RunTool(kShipped, work / "one", {"--city", "../map.geojson", "--jobs", "1", "city.obj"}).status, 0);
  ASSERT_EQ(RunTool(kShipped, work / "three", {"--city", "../map.geojson", "--jobs", "3", "city.obj"}).status, 0);
  EXPECT_EQ(TestSupport::ReadFile(work / "one/city.obj"), TestSupport::ReadFile(work / "three/city.obj"));
}

// The triangles of each object of an OBJ that lie in the plane x = i_x, as (y, z) corners, and
// the centres of its glass and door triangles.
struct PlaneFaces {
  std::vector<std::array<std::array<double, 2>, 3>> inPlane;
  std::vector<std::array<double, 3>> openings;
};

std::vector<PlaneFaces> FacesAt(const std::string& i_obj, double i_x) {
  std::vector<PlaneFaces> objects;
  std::vector<std::array<double, 3>> v;
  std::string line, material;
  std::istringstream in(i_obj);
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "v") {
      std::array<double, 3> p{};
      words >> p[0] >> p[1] >> p[2];
      v.push_back(p);
    } else if (word == "o") {
      objects.emplace_back();
    } else if (word == "usemtl") {
      words >> material;
    } else if (word == "f" && !objects.empty()) {
      std::vector<std::array<double, 3>> corners;
      while (words >> word) corners.push_back(v[static_cast<std::size_t>(std::stol(word) - 1)]);
      for (std::size_t k = 1; k + 1 < corners.size(); ++k) {
        const std::array<std::array<double, 3>, 3> t{corners[0], corners[k], corners[k + 1]};
        if (material.find("glass") != std::string::npos || material.find("door") != std::string::npos)
          objects.back().openings.push_back({(t[0][0] + t[1][0] + t[2][0]) / 3, (t[0][1] + t[1][1] + t[2][1]) / 3,
                                             (t[0][2] + t[1][2] + t[2][2]) / 3});
        if (std::fabs(t[0][0] - i_x) < 1e-4 && std::fabs(t[1][0] - i_x) < 1e-4 && std::fabs(t[2][0] - i_x) < 1e-4)
          objects.back().inPlane.push_back({{{t[0][1], t[0][2]}, {t[1][1], t[1][2]}, {t[2][1], t[2][2]}}});
      }
    }
  }
  return objects;
}

// The area two triangles of one plane share.
double SharedArea(const std::array<std::array<double, 2>, 3>& i_a, std::array<std::array<double, 2>, 3> i_b) {
  const auto cross = [](const std::array<double, 2>& o, const std::array<double, 2>& a, const std::array<double, 2>& b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
  };
  if (cross(i_b[0], i_b[1], i_b[2]) < 0) std::swap(i_b[1], i_b[2]);
  std::vector<std::array<double, 2>> part(i_a.begin(), i_a.end());
  for (std::size_t i = 0; i < 3 && !part.empty(); ++i) {
    std::vector<std::array<double, 2>> out;
    for (std::size_t j = 0; j < part.size(); ++j) {
      const auto& p = part[j];
      const auto& q = part[(j + 1) % part.size()];
      const double sp = cross(i_b[i], i_b[(i + 1) % 3], p), sq = cross(i_b[i], i_b[(i + 1) % 3], q);
      if (sp >= 0) out.push_back(p);
      if ((sp >= 0) != (sq >= 0)) out.push_back({p[0] + (q[0] - p[0]) * sp / (sp - sq), p[1] + (q[1] - p[1]) * sp / (sp - sq)});
    }
    part = std::move(out);
  }
  double twice = 0;
  for (std::size_t i = 0; i < part.size(); ++i) twice += cross({0, 0}, part[i], part[(i + 1) % part.size()]);
  return std::fabs(twice) / 2;
}

// Two houses sharing the wall east = 12 m, of equal and of unequal height: no face of one lies on
// a face of the other, no window or door opens within a metre of the wall, and the pitched roof
// asked of one of them gives way to a flat one (its eaves would overhang the other).
TEST(GeoCity, NeighboursShareNoFaceAndTheirPartyWallNoOpening) {
  for (const char* levels : {"2", "4"}) {
    TestSupport::ScratchDir work;
    TestSupport::WriteFile(
        work / "row.json",
        Collection({Feature("\"building:levels\":\"2\",\"roof:shape\":\"gabled\"", {{0, 0}, {12, 0}, {12, 9}, {0, 9}}),
                    Feature("\"building:levels\":\"" + std::string(levels) + "\"", {{12, 0}, {24, 0}, {24, 9}, {12, 9}})}));
    const TestSupport::RunResult run =
        RunTool(kShipped, work.path.string(), {"--city", "row.json", "--crs", "metres", "--origin", "0,0", "city.obj"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("2 features, 2 built"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 building that shares walls with neighbours is built with a flat roof"),
              std::string::npos)
        << run.output;
    const std::vector<PlaneFaces> houses = FacesAt(TestSupport::ReadFile(work / "city.obj"), 12.0);
    ASSERT_EQ(houses.size(), 2u);
    EXPECT_FALSE(houses[0].inPlane.empty() && houses[1].inPlane.empty()) << levels;  // a wall stands on the line
    double shared = 0;
    for (const auto& a : houses[0].inPlane)
      for (const auto& b : houses[1].inPlane) shared += SharedArea(a, b);
    EXPECT_LT(shared, 1e-4) << levels;
    for (const PlaneFaces& house : houses) {
      EXPECT_FALSE(house.openings.empty());
      for (const auto& at : house.openings) EXPECT_GT(std::fabs(at[0] - 12), 1.0) << levels << ": at y " << at[1];
    }
  }
}

TEST(GeoCity, AFileThatIsNoCollectionIsRefusedAtItsPlace) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "map.json", "{\n  \"type\": \"Feature\", \"geometry\": null}\n");
  const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), {"--city", "map.json", "city.obj"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("error : City file 'map.json', line 2, column "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("not a FeatureCollection"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(work / "city.obj"));

  TestSupport::WriteFile(work / "map.json", Collection({}));
  const TestSupport::RunResult style =
      RunTool(kShipped, work.path.string(), {"--city", "map.json", "--style-by", "building", "city.obj"});
  EXPECT_EQ(style.status, 1);
  EXPECT_NE(style.output.find("Value 'building' of option '--style-by' is not a list of rules"), std::string::npos)
      << style.output;
}

TEST(GeoCityValues, RulesStoreysAndRoofs) {
  std::vector<Towerkit::StyleRule> rules;
  std::string why;
  ASSERT_TRUE(Towerkit::ParseStyleRules("building:use=retail:S,building=house:B", rules, why));
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].key, "building:use");
  EXPECT_EQ(rules[0].value, "retail");
  EXPECT_EQ(rules[0].style, "S");
  EXPECT_EQ(rules[1].style, "B");
  for (const char* bad : {"", "building", "building=house", "=house:B", "building=house:", "a=b:C,"})
    EXPECT_FALSE(Towerkit::ParseStyleRules(bad, rules, why)) << bad;

  const std::string height = "12 m", levels = "4", bad = "x";
  std::string fault;
  EXPECT_EQ(Towerkit::StoreysOf(&height, &levels, 3.0, 2, fault), 4);
  EXPECT_EQ(Towerkit::StoreysOf(nullptr, &levels, 3.0, 2, fault), 4);
  EXPECT_EQ(Towerkit::StoreysOf(nullptr, nullptr, 3.0, 2, fault), 2);
  EXPECT_TRUE(fault.empty());
  EXPECT_EQ(Towerkit::StoreysOf(&bad, &levels, 3.0, 2, fault), 4);
  EXPECT_FALSE(fault.empty());

  bool direct = false;
  EXPECT_EQ(Towerkit::NearestRoof("Hipped", direct), Ostrel::Buildings::RoofShape::Hip);
  EXPECT_TRUE(direct);
  EXPECT_EQ(Towerkit::NearestRoof("gambrel", direct), Ostrel::Buildings::RoofShape::Gable);
  EXPECT_FALSE(direct);
  EXPECT_EQ(Towerkit::NearestRoof("pyramidal", direct), Ostrel::Buildings::RoofShape::Hip);
  EXPECT_EQ(Towerkit::NearestRoof("something", direct), Ostrel::Buildings::RoofShape::Flat);
  EXPECT_FALSE(direct);
}

// Cells stretched twice along x: a slope's normal stays at right angles to the stretched slope,
// and its tangent runs along it.
TEST(GeoCityValues, StretchedNormalsStayNormal) {
  using namespace Ostrel::Buildings;
  using Ostrel::VectorF;
  Frame frame;
  frame.xstretch = 2;
  const Turn none;
  const float h = std::sqrt(0.5f);
  const VectorF normal = PlaceNormal(VectorF(-h, h, 0), none, none, MakeNormalStretch(frame));
  const VectorF tangent = TangentOf(VectorF(h, h, 0), none, none, frame);
  EXPECT_NEAR(normal.x * 2 + normal.y * 1, 0, 1e-6);  // the stretched slope runs along (2, 1, 0)
  EXPECT_NEAR(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z, 1, 1e-6);
  EXPECT_NEAR(tangent.x - 2 * tangent.y, 0, 1e-6);
  EXPECT_NEAR(tangent.x * tangent.x + tangent.y * tangent.y, 1, 1e-6);
  // An unstretched frame changes no bit.
  const VectorF same = PlaceNormal(VectorF(-h, h, 0), none, none, MakeNormalStretch(Frame{}));
  EXPECT_EQ(same.x, -h);
  EXPECT_EQ(same.y, h);
}

}  // namespace
