// The options for game engines on the command line: --pivot, --collision, --lod, --markers and
// --stats, their warnings, and the names and places of what they add in OBJ and glTF files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::Line;
using TestSupport::RunTool;

using TestSupport::kShipped;

struct Box {
  double min[3] = {INFINITY, INFINITY, INFINITY};
  double max[3] = {-INFINITY, -INFINITY, -INFINITY};
};

// The bounds of an OBJ file's v lines.
Box VertexBounds(const std::string& i_obj) {
  Box box;
  std::istringstream lines(i_obj);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("v ", 0) != 0) continue;
    std::istringstream values(line.substr(2));
    for (int k = 0; k < 3; ++k) {
      double v = 0;
      values >> v;
      box.min[k] = std::min(box.min[k], v);
      box.max[k] = std::max(box.max[k], v);
    }
  }
  return box;
}

std::vector<std::string> ObjectNames(const std::string& i_obj) {
  std::vector<std::string> objects;
  std::istringstream lines(i_obj);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("o ", 0) == 0) objects.push_back(line.substr(2));
  }
  return objects;
}

nlohmann::json GlbJson(const std::string& i_bytes) {
  std::uint32_t length = 0;
  std::memcpy(&length, i_bytes.data() + 12, 4);
  return nlohmann::json::parse(i_bytes.substr(20, length));
}

TEST(EngineCli, BaseCentrePutsTheFootprintsCentreAtTheOriginAndItsBaseAtZero) {
  TestSupport::ScratchDir work;
  // No door nor balcony: the building's sides are alike, so its bounds are as even as its cells.
  for (const char* style : {"A", "B"}) {
    for (const std::string units : {"", "-m"}) {
      std::vector<std::string> args = {"-s", style, "-w", "3", "-l", "2", "-h", "2", "--pivot", "base-centre", "p.obj"};
      if (!units.empty()) args.insert(args.begin(), units);
      ASSERT_EQ(RunTool(kShipped, work.path.string(), args).status, 0);
      const Box box = VertexBounds(TestSupport::ReadFile(work / "p.obj"));
      EXPECT_NEAR(box.min[0] + box.max[0], 0, 1e-5) << style << units;
      EXPECT_NEAR(box.min[2] + box.max[2], 0, 1e-5) << style << units;
      EXPECT_EQ(box.min[1], 0) << style << units;
    }
  }
}

TEST(EngineCli, ACityRowPlacesAndTurnsTheBuildingAboutItsPivot) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", "style,width,length,height,x,z,angle\nA,3,2,2,10,5,90\nB,1,4,1,-3,2,30\n");
  for (const char* pivot : {"base-centre", "corner"}) {
    ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--pivot", pivot, "c.glb"}).status, 0);
    const nlohmann::json json = GlbJson(TestSupport::ReadFile(work / "c.glb"));
    EXPECT_EQ(json["nodes"][0]["translation"], nlohmann::json({10, 0, 5})) << pivot;
    EXPECT_EQ(json["nodes"][1]["translation"], nlohmann::json({-3, 0, 2})) << pivot;
  }
  // In OBJ, a building about its base centre stays centred on its row's place whatever its turn.
  TestSupport::WriteFile(work / "one.csv", "style,width,length,height,x,z,angle\nA,3,2,2,10,5,90\n");
  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "one.csv", "--pivot", "base-centre", "one.obj"}).status,
            0);
  const Box box = VertexBounds(TestSupport::ReadFile(work / "one.obj"));
  EXPECT_NEAR((box.min[0] + box.max[0]) / 2, 10, 1e-4);
  EXPECT_NEAR((box.min[2] + box.max[2]) / 2, 5, 1e-4);
}

TEST(EngineCli, LevelsAndHullsAreObjectsOfTheirOwnInObj) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", "id,style,width,length,height,roof\nhall,B,2,2,1,gable\nshop,A,1,1,1,\n");
  const TestSupport::RunResult run = RunTool(
      kShipped, work.path.string(), {"--city", "city.csv", "--collision", "unreal", "--lod", "2", "c.obj"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ObjectNames(TestSupport::ReadFile(work / "c.obj")),
            (std::vector<std::string>{"hall_LOD0", "hall_LOD1", "hall_LOD2", "UCX_hall_00", "shop_LOD0", "shop_LOD1",
                                      "shop_LOD2", "UCX_shop_00"}));
  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"-s", "A", "--collision", "one.obj"}).status, 0);
  EXPECT_EQ(ObjectNames(TestSupport::ReadFile(work / "one.obj")), (std::vector<std::string>{"building-colonly"}));
}

// A reader without MSFT_lod draws what the scene's hierarchy holds: the finest level, the hull and
// the doors. The lower levels are reached through the extension alone.
TEST(EngineCli, TheBuildingsNodeHoldsItsFinestLevelHullAndDoorsAndTheLowerLevelsNoNode) {
  TestSupport::ScratchDir work;
  for (const char* form : {"flat", "nodes", "gpu"}) {
    std::vector<std::string> args = {"-s", "A", "-w", "2", "-l", "1", "-h", "2", "-d", "EL", "--collision",
                                     "--lod", "3", "--markers", "t.glb"};
    if (std::string(form) != "flat") args.insert(args.end(), {"--instances", form});
    ASSERT_EQ(RunTool(kShipped, work.path.string(), args).status, 0) << form;
    const nlohmann::json json = GlbJson(TestSupport::ReadFile(work / "t.glb"));
    const nlohmann::json& nodes = json["nodes"];
    std::vector<std::string> names;
    for (const auto& child : nodes[0]["children"]) names.push_back(nodes[child.get<int>()]["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"building_LOD0", "building-colonly", "door_EL"})) << form;
    const nlohmann::json& finest = nodes[nodes[0]["children"][0].get<int>()];
    const nlohmann::json& ids = finest["extensions"]["MSFT_lod"]["ids"];
    std::vector<std::string> lower;
    for (const auto& id : ids) lower.push_back(nodes[id.get<int>()]["name"]);
    EXPECT_EQ(lower, (std::vector<std::string>{"building_LOD1", "building_LOD2", "building_LOD3"})) << form;
    for (const auto& node : nodes) {
      for (const auto& child : node.value("children", nlohmann::json::array()))
        EXPECT_EQ(std::find(ids.begin(), ids.end(), child), ids.end()) << form << " " << node["name"];
    }
    for (const auto& root : json["scenes"][0]["nodes"])
      EXPECT_EQ(std::find(ids.begin(), ids.end(), root), ids.end()) << form;
    EXPECT_TRUE(finest.contains(std::string(form) == "flat" ? "mesh" : "children")) << form;
    const auto& used = json["extensionsUsed"];
    EXPECT_NE(std::find(used.begin(), used.end(), "MSFT_lod"), used.end()) << form;
    if (json.contains("extensionsRequired")) {
      const auto& required = json["extensionsRequired"];
      EXPECT_EQ(std::find(required.begin(), required.end(), "MSFT_lod"), required.end()) << form;
    }
  }
}

// A building without a door has nothing for --markers to mark: it says so, and writes the same
// file. A door request that names no cell (a facade of no cells, letters the building cannot
// use) is no door either.
TEST(EngineCli, MarkersWithoutADoorWarn) {
  TestSupport::ScratchDir work;
  const std::string warning =
      Line("warning", "Option '--markers' marks doors, but the building has none: it adds nothing");
  const TestSupport::RunResult plain = RunTool(kShipped, work.path.string(), {"-s", "A", "plain.glb"});
  ASSERT_EQ(plain.status, 0);
  for (const std::vector<std::string>& door :
       {std::vector<std::string>{}, {"-d", "NC", "-l", "0"}, {"-d", "XC"}, {"-d", "sc"}}) {
    std::vector<std::string> args = {"-s", "A", "--markers", "m.glb"};
    args.insert(args.end(), door.begin(), door.end());
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
    EXPECT_EQ(run.status, 0) << run.output;
    const std::size_t at = run.output.find(warning);
    EXPECT_NE(at, std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(warning, at + 1), std::string::npos) << run.output;
    if (door.empty()) {
      EXPECT_EQ(TestSupport::ReadFile(work / "m.glb"), TestSupport::ReadFile(work / "plain.glb"));
    }
  }
  // A door, on the roof row of a building of no storeys too, is marked without a word; OBJ
  // output has its own warning.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-d", "EL", "--markers", "m.glb"}, {"-d", "NC", "-h", "0", "--markers", "m.glb"},
        {"--markers", "m.obj"}}) {
    std::vector<std::string> all = {"-s", "A"};
    all.insert(all.end(), args.begin(), args.end());
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), all);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find(warning), std::string::npos) << run.output;
  }
}

TEST(EngineCli, BadValuesWarnAndKeepTheDefault) {
  TestSupport::ScratchDir work;
  const std::vector<std::string> args = {"-s", "A", "--collision", "unity", "--lod", "4", "--pivot", "middle",
                                         "--markers", "w.obj"};
  const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
  EXPECT_EQ(run.status, 0);
  const std::string expected =
      Line("warning", "Value 'unity' of option '--collision' is not godot or unreal: the collision hulls are named for Godot") +
      Line("warning", "Value '4' of option '--lod' is not 1, 2 or 3: no level of detail is added") +
      Line("warning",
           "Value 'middle' of option '--pivot' is not origin, base-centre or corner: the pivot stays at the origin");
  EXPECT_EQ(run.output.substr(0, expected.size()), expected);
  EXPECT_NE(run.output.find(Line("warning", "Option '--markers' applies to .glb output only: 'w.obj' is written as OBJ")),
            std::string::npos);
  EXPECT_EQ(ObjectNames(TestSupport::ReadFile(work / "w.obj")), (std::vector<std::string>{"building-colonly"}));
  // --collision takes no file name for its value.
  const TestSupport::RunResult named = RunTool(kShipped, work.path.string(), {"-s", "A", "--collision", "n.glb"});
  EXPECT_EQ(named.status, 0);
  EXPECT_TRUE(TestSupport::ReadFile(work / "n.glb").rfind("glTF", 0) == 0);
}

TEST(EngineCli, StatsFollowDone) {
  TestSupport::ScratchDir work;
  const TestSupport::RunResult run =
      RunTool(kShipped, work.path.string(), {"-s", "A", "-w", "1", "-l", "1", "-h", "1", "-m", "--stats", "s.obj"});
  ASSERT_EQ(run.status, 0);
  const std::string done = Line("info", "Done!");
  const std::size_t at = run.output.find(done);
  ASSERT_NE(at, std::string::npos);
  const std::string after = run.output.substr(at + done.size());
  const std::string bytes = std::to_string(TestSupport::ReadFile(work / "s.obj").size());
  EXPECT_EQ(after.rfind("[towerkit-0.1] info : Stats 's.obj': " + bytes + " bytes, ", 0), 0u) << after;
  EXPECT_NE(after.find("materials, bounds x "), std::string::npos) << after;
  EXPECT_NE(after.find("(the kit's units), footprint "), std::string::npos) << after;
  EXPECT_NE(after.find("\n[towerkit-0.1] info : Stats 's.mtl': "), std::string::npos) << after;
}

}  // namespace
