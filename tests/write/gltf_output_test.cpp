// Buildings written as .glb, read back by tinygltf: the same triangles as the OBJ output of the
// same request in every form, valid bounds, the kit's materials and textures, 16- or 32-bit
// indices, and the 4 GiB refusal.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/ext/Mtl.h>
#include "write/gltf/GltfWriter.h"
#include "write/obj/ObjWriter.h"

#include "BuildingTestSupport.h"
#include "GltfTestSupport.h"
#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;
using Ostrel::VectorF;

using TestSupport::kShipped;
constexpr GltfForm kForms[] = {GltfForm::Flat, GltfForm::Nodes, GltfForm::Gpu};

std::string FormName(GltfForm i_form) {
  return i_form == GltfForm::Flat ? "flat" : i_form == GltfForm::Nodes ? "nodes" : "gpu";
}

std::string BuildGlb(Building& io_building, GltfForm i_form) {
  std::ostringstream out;
  io_building.buildGlb(out, {i_form, "test"});
  return out.str();
}

tinygltf::Model LoadOk(const std::string& i_bytes, const std::string& i_what) {
  tinygltf::Model model;
  std::string problems;
  EXPECT_TRUE(GltfTest::Load(i_bytes, model, problems)) << i_what;
  EXPECT_EQ(problems, "") << i_what;
  return model;
}

struct GltfCase {
  const char* name;
  BuildingTest::Request request;
  std::string units;
  float xdir, zdir;
  bool metres = false;  // the kit's own units: the test kit's cell is 2 x 3 x 2
  std::uint64_t seed = 0;
  bool byCell = false;  // variants chosen per cell
};

std::vector<GltfCase> Cases() {
  std::vector<GltfCase> cases = {
      {"worked", BuildingTest::Request{"T", "NC", {"SC"}, {"NA"}, 3, 3, 3}, BuildingTest::kKit, 0, 1},
      {"flat", BuildingTest::Request{"T", "  ", {}, {}, 0, 0, 0}, BuildingTest::kKit, 0, 1},
      {"long", BuildingTest::Request{"T", "WR", {"EA", "NO"}, {"SE"}, 1, 6, 2}, BuildingTest::kKit, 0.6f, -0.8f},
      {"metres", BuildingTest::Request{"T", "SL", {"WC"}, {"NE"}, 2, 3, 2}, BuildingTest::kKit, -1, 0, true},
  };
  for (const char* style : {"A", "B"}) {
    cases.push_back({"shipped0", BuildingTest::Request{style, "NC", {}, {}, 0, 0, 0}, kShipped, 0, 1});
    cases.push_back({"shipped3", BuildingTest::Request{style, "NC", {"SC"}, {"EA"}, 3, 3, 3}, kShipped, 0, 1});
    cases.push_back({"shipped24", BuildingTest::Request{style, "WL", {"NA"}, {"SO"}, 2, 4, 2}, kShipped, -1, 0});
    // Distinct variants are distinct meshes of the instanced forms.
    cases.push_back(
        {"cells", BuildingTest::Request{style, "SC", {"NA", "EC"}, {"WO"}, 4, 3, 5}, kShipped, -1, 0, false, 5, true});
  }
  return cases;
}

TEST(GltfOutput, EveryFormShowsTheTrianglesOfTheObjOutput) {
  for (const GltfCase& c : Cases()) {
    Building building = BuildingTest::Make(c.request, c.units);
    building.setOrientation(c.xdir, 0, c.zdir);
    building.setKitUnits(c.metres);
    building.setVariation(c.seed, c.byCell);
    const Kit kit = LoadKit(c.units, {});
    const VectorF cells =
        c.metres ? VectorF(kit.unitWidth, kit.unitHeight, kit.unitLength) : VectorF(1, 1, 1);
    const std::vector<GltfTest::Triangle> obj =
        GltfTest::ObjTriangles(BuildingTest::BuildText(building), cells);
    for (const GltfForm form : kForms) {
      const std::string what = std::string(c.name) + c.request.style + " " + FormName(form);
      const std::string bytes = BuildGlb(building, form);
      ASSERT_EQ(building.lastError(), BuildError::None) << what;
      const tinygltf::Model model = LoadOk(bytes, what);
      std::vector<GltfTest::Triangle> normals;
      const std::vector<GltfTest::Triangle> triangles = GltfTest::SceneTriangles(model, &normals);
      // OBJ text keeps 6 significant digits of coordinates below 10.
      EXPECT_EQ(GltfTest::CompareTriangles(triangles, obj, 1e-4), "") << what;
      // The shipped kit's normals are its faces' own; the test kit's point anywhere.
      if (c.units == kShipped) {
        EXPECT_EQ(GltfTest::CheckNormalsFollowWinding(triangles, normals), "") << what;
      }
    }
  }
}

TEST(GltfOutput, FlatBoundsAreThoseOfThePositions) {
  for (const GltfCase& c : Cases()) {
    Building building = BuildingTest::Make(c.request, c.units);
    building.setOrientation(c.xdir, 0, c.zdir);
    building.setKitUnits(c.metres);
    const tinygltf::Model model = LoadOk(BuildGlb(building, GltfForm::Flat), c.name);
    for (const tinygltf::Primitive& primitive : model.meshes.at(0).primitives) {
      const int positions = primitive.attributes.at("POSITION");
      const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(positions)];
      for (int axis = 0; axis < 3; ++axis) {
        double low = INFINITY, high = -INFINITY;
        for (std::size_t i = 0; i < accessor.count; ++i) {
          low = std::min(low, GltfTest::Element(model, positions, i, axis));
          high = std::max(high, GltfTest::Element(model, positions, i, axis));
        }
        // Bounds are single-precision floats, read as such.
        EXPECT_EQ(static_cast<float>(accessor.minValues.at(static_cast<std::size_t>(axis))), low) << c.name;
        EXPECT_EQ(static_cast<float>(accessor.maxValues.at(static_cast<std::size_t>(axis))), high) << c.name;
      }
    }
  }
}

TEST(GltfOutput, InstancesFollowEveryFrameLikeTheFlatForm) {
  // A turned, stretched, moved frame with a different scale on each axis: instanced nodes must
  // still place every corner where the flat form and the OBJ writer do. A second building
  // shares the file, as in a city.
  const Kit kit = LoadKit(kShipped, {"B"});
  const Plan plan = MakePlan(MakeRequest("B", "EL", {"NC", "WA"}, {"SO"}, 2, 3, 3), kit);
  const Plan other = MakePlan(MakeRequest("B", "NC", {}, {"EA"}, 1, 2, 2), kit);
  Frame frame;
  frame.xpos = 5;
  frame.ypos = 1;
  frame.zpos = -2;
  frame.xdir = 0.6f * 1.5f;
  frame.zdir = -0.8f * 1.5f;
  frame.xscale = 3;
  frame.yscale = 2.5f;
  frame.zscale = 4;
  Frame beside;
  beside.xpos = 20;
  std::ostringstream obj;
  {
    const std::unique_ptr<ObjWriter> writer = MakeObjWriter(obj);
    WriteObj(*writer, kit, other, beside, WriteObj(*writer, kit, plan, frame, {}));
  }
  const std::vector<GltfTest::Triangle> expected = GltfTest::ObjTriangles(obj.str());
  const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
  for (const GltfForm form : kForms) {
    std::ostringstream out;
    ASSERT_EQ(
        WriteGlb(out, kit, pieces, {}, {{&plan, frame, "turned"}, {&other, beside, "plain"}}, {form, "test"}),
        GlbResult::Written);
    const tinygltf::Model model = LoadOk(out.str(), FormName(form));
    // Coordinates up to about 60: 6 significant digits of OBJ text.
    EXPECT_EQ(GltfTest::CompareTriangles(GltfTest::SceneTriangles(model), expected, 1e-3), "")
        << FormName(form);
    const std::vector<int>& roots = model.scenes.at(0).nodes;
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(model.nodes[static_cast<std::size_t>(roots[0])].name, "turned");
    EXPECT_EQ(model.nodes[static_cast<std::size_t>(roots[1])].name, "plain");
  }
}

TEST(GltfOutput, FlatDataMadeInBlocksOnThreadsIsTheSameBytes) {
  // Two buildings, one turned, of several materials: blocks of one placement, of a few and of
  // whole views, on two and three threads, give the bytes of one thread; indices continue across
  // the blocks of a view.
  const Kit kit = LoadKit(kShipped, {"B"});
  const Plan plan = MakePlan(MakeRequest("B", "EL", {"NC", "WA"}, {"SO"}, 3, 3, 4), kit);
  const Plan other = MakePlan(MakeRequest("B", "NC", {}, {"EA"}, 1, 2, 2), kit);
  Frame turned;
  turned.xdir = 0.6f;
  turned.zdir = -0.8f;
  Frame beside;
  beside.xpos = 20;
  const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
  const auto write = [&](unsigned i_jobs, std::uint64_t i_blockVertices) {
    std::ostringstream out;
    GltfOptions options{GltfForm::Flat, "test"};
    options.jobs = i_jobs;
    EXPECT_EQ(WriteGlb(out, kit, pieces, {}, {{&plan, turned, "turned"}, {&other, beside, "plain"}}, options,
                       nullptr, "", i_blockVertices),
              GlbResult::Written);
    return out.str();
  };
  const std::string one = write(1, detail::kGlbBlockVertices);
  for (const unsigned jobs : {2u, 3u}) {
    for (const std::uint64_t vertices : {std::uint64_t{1}, std::uint64_t{50}, detail::kGlbBlockVertices}) {
      EXPECT_TRUE(write(jobs, vertices) == one) << jobs << " jobs, blocks of " << vertices;
    }
  }
}

TEST(GltfOutput, KitMaterialsBecomeGltfMaterials) {
  Building building = BuildingTest::Make(BuildingTest::Request{"A", "NC", {"SA"}, {}, 2, 2, 3}, kShipped);
  const tinygltf::Model model = LoadOk(BuildGlb(building, GltfForm::Flat), "A");
  Mtl::Library library;
  std::vector<Mtl::Finding> findings;
  ASSERT_TRUE(Mtl::ReadLibrary(kShipped + "/A.mtl", library, findings));
  ASSERT_EQ(model.meshes.at(0).primitives.size(), model.materials.size());
  std::set<std::string> names;
  for (const tinygltf::Material& material : model.materials) {
    names.insert(material.name);
    const Mtl::Material* definition = nullptr;
    for (const Mtl::Material& candidate : library.materials) {
      if (candidate.name == material.name) definition = &candidate;
    }
    ASSERT_NE(definition, nullptr) << material.name;
    const std::vector<double>& color = material.pbrMetallicRoughness.baseColorFactor;
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(color[i], SrgbToLinear((*definition->kd)[i]), 1e-6) << material.name;
    EXPECT_NEAR(color[3], definition->d.value_or(1.0f), 1e-6) << material.name;
    EXPECT_EQ(material.alphaMode, definition->d.value_or(1.0f) < 1 ? "BLEND" : "OPAQUE") << material.name;
    EXPECT_EQ(material.pbrMetallicRoughness.metallicFactor, 0);
    EXPECT_NEAR(material.pbrMetallicRoughness.roughnessFactor,
                std::sqrt(std::sqrt(2.0 / (*definition->ns + 2))), 1e-6);
  }
  EXPECT_EQ(names.count("A_glass"), 1u);
  EXPECT_EQ(names.count("A_railing"), 1u);

  // A kit without materials: one primitive, with no material.
  Building plain = BuildingTest::Make(BuildingTest::Request{"T", "NC", {"SC"}, {}, 2, 2, 2});
  const tinygltf::Model untextured = LoadOk(BuildGlb(plain, GltfForm::Flat), "T");
  ASSERT_EQ(untextured.meshes.at(0).primitives.size(), 1u);
  EXPECT_EQ(untextured.meshes[0].primitives[0].material, -1);
  EXPECT_TRUE(untextured.materials.empty());
}

TEST(GltfOutput, IndicesAreShortWhereTheyFit) {
  // Style A's wall primitive passes 65535 vertices at this size; its glass does not.
  Building building = BuildingTest::Make(BuildingTest::Request{"A", "  ", {}, {}, 22, 22, 22}, kShipped);
  const tinygltf::Model model = LoadOk(BuildGlb(building, GltfForm::Flat), "A22");
  std::set<int> types;
  for (const tinygltf::Primitive& primitive : model.meshes.at(0).primitives) {
    const std::size_t vertices =
        model.accessors[static_cast<std::size_t>(primitive.attributes.at("POSITION"))].count;
    const int type = model.accessors[static_cast<std::size_t>(primitive.indices)].componentType;
    EXPECT_EQ(type, vertices > 65535 ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT
                                     : TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    types.insert(type);
  }
  EXPECT_EQ(types.size(), 2u);
}

TEST(GltfOutput, DiffuseTexturesAreEmbeddedOnce) {
  TestSupport::ScratchDir units;
  for (const auto& entry : std::filesystem::directory_iterator(BuildingTest::kKit)) {
    std::filesystem::copy(entry.path(), units.path / entry.path().filename());
  }
  const std::string png("\x89PNG\r\n\x1a\n-not-decoded-here", 26);
  TestSupport::WriteFile(units / "bricks.png", png);
  TestSupport::WriteFile(units / "notes.png", "plain text");
  TestSupport::WriteFile(units / "T.mtl",
                         "newmtl brick\nKd 1 0.5 0\nmap_Kd bricks.png\n"
                         "newmtl brick2\nmap_Kd -s 2 2 1 bricks.png\n"
                         "newmtl lost\nmap_Kd lost.png\nnewmtl text\nmap_Kd notes.png\n");
  const std::string ground = TestSupport::ReadFile(units / "T_ground.obj");
  const std::string roof = TestSupport::ReadFile(units / "T_roof.obj");
  const std::string angle = TestSupport::ReadFile(units / "T_angle.obj");
  TestSupport::WriteFile(units / "T_ground.obj", "mtllib T.mtl\nusemtl brick\n" + ground);
  TestSupport::WriteFile(units / "T_roof.obj", "mtllib T.mtl\nusemtl brick2\n" + roof);
  TestSupport::WriteFile(units / "T_angle.obj", "mtllib T.mtl\nusemtl lost\n" + angle);
  const std::string floor = TestSupport::ReadFile(units / "T_floor.obj");
  TestSupport::WriteFile(units / "T_floor.obj", "mtllib T.mtl\nusemtl text\n" + floor);
  const std::string cap = TestSupport::ReadFile(units / "T_roofcap.obj");
  TestSupport::WriteFile(units / "T_roofcap.obj", "mtllib T.mtl\nusemtl ghost\n" + cap);

  Building building = BuildingTest::Make(BuildingTest::Request{"T", "  ", {}, {}, 2, 2, 3}, units.path.string());
  const tinygltf::Model model = LoadOk(BuildGlb(building, GltfForm::Flat), "textured");
  ASSERT_EQ(model.images.size(), 1u);
  EXPECT_EQ(model.images[0].mimeType, "image/png");
  EXPECT_EQ(std::string(model.images[0].image.begin(), model.images[0].image.end()), png);
  int textured = 0;
  for (const tinygltf::Material& material : model.materials) {
    const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
    if (material.name == "brick" || material.name == "brick2") {
      EXPECT_EQ(texture, 0) << material.name;
      ++textured;
    } else {
      EXPECT_EQ(texture, -1) << material.name;
    }
  }
  EXPECT_EQ(textured, 2);
  const std::string folder = units.path.string();
  EXPECT_EQ(
      building.textureWarnings(),
      (std::vector<std::string>{
          "Texture '" + folder + "/lost.png' of material 'lost' does not exist: the material has no texture",
          "Texture '" + folder +
              "/notes.png' of material 'text' is neither PNG nor JPEG: the material has no "
              "texture"}));
  // Faces without a material get the OBJ output's plain default one.
  const auto fallback =
      std::find_if(model.materials.begin(), model.materials.end(),
                   [](const tinygltf::Material& i_m) { return i_m.name == "towerkit_default"; });
  ASSERT_NE(fallback, model.materials.end());
  EXPECT_NEAR(fallback->pbrMetallicRoughness.baseColorFactor[0], SrgbToLinear(0.8f), 1e-6);
  // What the kit's materials lack is told as for OBJ output.
  const std::vector<MaterialNote> notes = building.materialNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].kind, MaterialNote::Kind::Undefined);
  EXPECT_EQ(notes[0].material, "ghost");
  building.setMaterialLibrary("t.mtl", units.path.string());
  BuildingTest::BuildText(building);
  EXPECT_EQ(building.materialNotes().size(), 1u);
}

TEST(GltfOutput, FilesPastFourGibibytesAreRefusedBeforeAnyByte) {
  const Kit kit = LoadKit(kShipped, {"A"});
  const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
  // Instanced, a building holds little besides its nodes or instances: it must be far larger.
  for (const auto& [form, size] :
       {std::pair{GltfForm::Flat, 1000}, {GltfForm::Nodes, 6000}, {GltfForm::Gpu, 200000}}) {
    const Plan plan = MakePlan(MakeRequest("A", "NC", {"SC"}, {}, size, size, size), kit);
    std::ostringstream out;
    EXPECT_EQ(WriteGlb(out, kit, pieces, {}, {{&plan, Frame{}, "b"}}, {form, "test"}), GlbResult::TooLarge)
        << FormName(form);
    EXPECT_EQ(out.str(), "") << FormName(form);
  }
  // The largest request the tool takes: counts saturate, and must still be refused.
  const Plan largest =
      MakePlan(MakeRequest("A", "NC", {"SC"}, {}, INT_MAX - 2, INT_MAX - 2, INT_MAX - 1), kit);
  for (const GltfForm form : kForms) {
    std::ostringstream out;
    EXPECT_EQ(WriteGlb(out, kit, pieces, {}, {{&largest, Frame{}, "b"}}, {form, "test"}), GlbResult::TooLarge)
        << FormName(form);
  }
  Building building = BuildingTest::Make(BuildingTest::Request{"A", "NC", {}, {}, 1000, 1000, 1000}, kShipped);
  EXPECT_EQ(BuildGlb(building, GltfForm::Flat), "");
  EXPECT_EQ(building.lastError(), BuildError::TooLarge);
}

}  // namespace
