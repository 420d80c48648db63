// The tool writing .glb files: chosen by the output's name, with the console lines, warnings,
// exit statuses and refusals of OBJ output, and the --instances option.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GltfTestSupport.h"
#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::Line;
using TestSupport::RunTool;

using TestSupport::kShipped;
const std::string kFound = Line("info", "Found 1 paths in '" + kShipped + "'");

tinygltf::Model LoadFile(const std::string& i_path) {
  tinygltf::Model model;
  std::string problems;
  EXPECT_TRUE(GltfTest::Load(TestSupport::ReadFile(i_path), model, problems)) << i_path;
  EXPECT_EQ(problems, "") << i_path;
  return model;
}

TEST(GltfCli, AGlbNameInAnyCaseWritesGltfWithTheConsoleLinesOfObj) {
  TestSupport::ScratchDir work;
  const std::vector<std::string> request = {"-s", "B", "-w", "2", "-l", "3", "-h", "2", "-d", "SC"};
  std::vector<std::string> args = request;
  args.push_back("b.obj");
  const TestSupport::RunResult obj = RunTool(kShipped, work.path.string(), args);
  for (const char* name : {"b.glb", "b.GLB", "b.Glb"}) {
    args.back() = name;
    const TestSupport::RunResult glb = RunTool(kShipped, work.path.string(), args);
    EXPECT_EQ(glb.status, 0) << name;
    EXPECT_EQ(glb.output, obj.output) << name;
    EXPECT_EQ(TestSupport::ReadFile(work / name).substr(0, 4), "glTF") << name;
  }
  EXPECT_EQ(obj.output, kFound + Line("info", "Done!"));
  EXPECT_EQ(LoadFile(work / "b.glb").meshes.size(), 1u);
}

TEST(GltfCli, MissingPiecesAreWarnedAsForObj) {
  TestSupport::ScratchDir units, work;
  for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
    if (entry.path().filename() != "A_floor.obj")
      std::filesystem::copy(entry.path(), units.path / entry.path().filename());
  }
  const std::vector<std::string> request = {"-s", "A", "-w", "2", "-l", "2", "-h", "3"};
  std::vector<std::string> args = request;
  args.push_back("a.obj");
  const TestSupport::RunResult obj = RunTool(units.path.string(), work.path.string(), args);
  args.back() = "a.glb";
  const TestSupport::RunResult glb = RunTool(units.path.string(), work.path.string(), args);
  EXPECT_EQ(glb.status, 0);
  EXPECT_EQ(glb.output, obj.output);
  EXPECT_NE(glb.output.find("warning : Unit file '" + units / "A_floor.obj" + "' not found"),
            std::string::npos);
  EXPECT_EQ(GltfTest::SceneTriangles(LoadFile(work / "a.glb")).size(),
            GltfTest::ObjTriangles(TestSupport::ReadFile(work / "a.obj")).size());
}

TEST(GltfCli, InstancesChooseTheForm) {
  TestSupport::ScratchDir work;
  const auto run = [&work](const std::string& i_form, const std::string& i_name) {
    return RunTool(kShipped, work.path.string(),
                   {"-s", "A", "-w", "3", "-l", "2", "-h", "3", "--instances", i_form, i_name});
  };
  EXPECT_EQ(run("nodes", "n.glb").output, kFound + Line("info", "Done!"));
  const tinygltf::Model nodes = LoadFile(work / "n.glb");
  EXPECT_TRUE(nodes.extensionsRequired.empty());
  EXPECT_GT(nodes.nodes.size(), 50u);

  EXPECT_EQ(run("gpu", "g.glb").status, 0);
  const tinygltf::Model gpu = LoadFile(work / "g.glb");
  EXPECT_EQ(gpu.extensionsRequired, std::vector<std::string>{"EXT_mesh_gpu_instancing"});
  EXPECT_EQ(gpu.extensionsUsed, std::vector<std::string>{"EXT_mesh_gpu_instancing"});
  EXPECT_LT(gpu.nodes.size(), 20u);

  const TestSupport::RunResult bad = run("GPU", "f.glb");
  EXPECT_EQ(bad.status, 0);
  EXPECT_EQ(
      bad.output,
      Line("warning", "Value 'GPU' of option '--instances' is not nodes or gpu: a .glb is written flat") +
          kFound + Line("info", "Done!"));
  const tinygltf::Model flat = LoadFile(work / "f.glb");
  EXPECT_EQ(flat.nodes.size(), 1u);
  EXPECT_EQ(GltfTest::CompareTriangles(GltfTest::SceneTriangles(flat), GltfTest::SceneTriangles(gpu), 1e-5),
            "");
  EXPECT_EQ(GltfTest::CompareTriangles(GltfTest::SceneTriangles(nodes), GltfTest::SceneTriangles(gpu), 1e-5),
            "");

  // An OBJ output is written as it would be without the option, with a warning.
  TestSupport::ScratchDir plain;
  EXPECT_EQ(
      RunTool(kShipped, plain.path.string(), {"-s", "A", "-w", "3", "-l", "2", "-h", "3", "o.obj"}).status,
      0);
  const TestSupport::RunResult obj = run("gpu", "o.obj");
  EXPECT_EQ(
      obj.output,
      kFound +
          Line("warning", "Option '--instances' applies to .glb output only: 'o.obj' is written as OBJ") +
          Line("info", "Done!"));
  EXPECT_TRUE(TestSupport::ReadFile(work / "o.obj") == TestSupport::ReadFile(plain / "o.obj"));
  EXPECT_TRUE(TestSupport::ReadFile(work / "o.mtl") == TestSupport::ReadFile(plain / "o.mtl"));
}

TEST(GltfCli, ABuildingPastFourGibibytesIsRefusedAndTheOldFileKept) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "big.glb", "precious");
  const TestSupport::RunResult result =
      RunTool(kShipped, work.path.string(), {"-s", "A", "-w", "900", "-l", "900", "-h", "900", "big.glb"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            kFound + Line("error",
                          "A building of width 900, length 900 and height 900 is too large to write: "
                          "a .glb file holds at most 4 GiB"));
  EXPECT_EQ(TestSupport::ReadFile(work / "big.glb"), "precious");
  // Nothing else was left in the folder either (the temporary file is gone).
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(work.path), std::filesystem::directory_iterator()),
      1);
}

TEST(GltfCli, ACityIsANamedNodePerBuildingInEveryFormWithTheTrianglesOfItsObj) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv",
                         "id,style,width,length,height,door,balcony,x,z,angle\n"
                         "first,A,3,2,3,SC,NC EA,0,0,0\n"
                         ",B,2,4,2,NL,,10,0,90\n"
                         "third,A,1,1,1,,,0,10,45\n");
  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "city.csv", "city.obj"}).status, 0);
  const std::vector<GltfTest::Triangle> obj =
      GltfTest::ObjTriangles(TestSupport::ReadFile(work / "city.obj"));
  for (const char* form : {"", "nodes", "gpu"}) {
    std::vector<std::string> args = {"--city", "city.csv", "city.glb"};
    if (*form != '\0') args.insert(args.begin(), {"--instances", form});
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
    EXPECT_EQ(run.output, kFound + Line("info", "Done!")) << form;
    const tinygltf::Model model = LoadFile(work / "city.glb");
    std::vector<std::string> names;
    for (const int node : model.scenes[0].nodes)
      names.push_back(model.nodes[static_cast<std::size_t>(node)].name);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "building_2", "third"})) << form;
    EXPECT_EQ(GltfTest::CompareTriangles(GltfTest::SceneTriangles(model), obj, 1e-4), "") << form;
  }
}

}  // namespace
