// Buildings written as .glb, read back by tinygltf: the same triangles as the OBJ output of the
// same request in every form, valid bounds, the kit's materials and textures, 16- or 32-bit
// indices, and the 4 GiB refusal.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/ext/Mtl.h>
#include "write/gltf/GltfBinary.h"
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

TEST(GltfOutput, PositionsPlacedFourAtOnceHaveTheBitsOfPlacePosition) {
  // Every lane of every step: signed zeros, values that round, turned and scaled frames, each
  // facing; a lane mixed up or an operation out of order changes some bit.
  const std::vector<VectorF> positions = {{-0.0f, 0.1f, 1e-8f},  {0.3f, -0.0f, -3.75f},   {1e6f, 2.5e-3f, 0.7f},
                                          {-0.45f, 1.1f, -0.0f}, {0.0f, 0.0f, 0.0f},      {-1e-7f, 3.3f, 0.999f},
                                          {12.5f, -0.2f, 1.0f},  {0.6f, 0.0f, -123.45f}};
  Frame scaled;
  scaled.xpivot = 3.5f;
  scaled.zpivot = -2.25f;
  scaled.xscale = 2.7f;
  scaled.yscale = 3.1f;
  scaled.zscale = 0.3f;
  scaled.ypos = -0.0f;
  const Frame frames[] = {Frame{}, CityFrame(1234.5, 2.25, -77.1, 30), CityFrame(-0.5, 0, 9.9, 270), scaled};
  for (const Frame& frame : frames) {
    for (std::int8_t xd = -1; xd <= 1; ++xd) {
      for (std::int8_t zd = -1; zd <= 1; ++zd) {
        Placement placement;
        placement.x = -7;
        placement.z = 11;
        placement.level = 4;
        placement.step = 3;
        placement.rise = 0.35f;
        placement.xd = xd;
        placement.zd = zd;
        const PlacementFloats at = FloatsOf(placement);
        for (std::size_t first = 0; first < positions.size(); first += 4) {
          float four[12], one[12];
          detail::PlaceFour(reinterpret_cast<const char*>(&positions[first]), at, frame,
                            reinterpret_cast<char*>(four));
          for (std::size_t i = 0; i < 4; ++i) PlacePosition(positions[first + i], at, frame, one + 3 * i);
          EXPECT_EQ(std::memcmp(four, one, sizeof four), 0) << int(xd) << " " << int(zd) << " " << first;
        }
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

TEST(GltfOutput, TheSmallVertexFormDropsTangentsAndShortensTextureCoordinates) {
  // Every material normal-mapped; one placed piece with a coordinate past 1, whose primitive must
  // keep floats. The small form's other views are the same bytes; its coordinates are within half
  // a step of the floats.
  const Kit kit = LoadKit(kShipped, {"B"});
  std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
  const Plan plan = MakePlan(MakeRequest("B", "NC", {"SC"}, {"EA"}, 2, 2, 2), kit);
  GltfMaterials materials;
  materials.images.push_back({"n.png", "n.png", "image/png", "not decoded"});
  for (const std::string& name : kit.materials) materials.ofKit.push_back(GltfMaterial{name, {1, 1, 1, 1}, 1, -1, 0});
  PieceId wide = 0;
  ASSERT_TRUE(kit.find("B_roof", wide));
  ASSERT_FALSE(pieces[wide].parts.empty());
  const std::uint32_t wideMaterial = pieces[wide].parts[0].material;
  pieces[wide].parts[0].uvs.at(0).u = 1.5f;
  for (const GltfForm form : {GltfForm::Flat, GltfForm::Nodes}) {
    const auto write = [&](bool i_small) {
      materials.small = i_small;
      std::ostringstream out;
      EXPECT_EQ(WriteGlb(out, kit, pieces, materials, {{&plan, Frame{}, "b"}}, {form, "test"}), GlbResult::Written);
      return LoadOk(out.str(), FormName(form));
    };
    const tinygltf::Model plain = write(false);
    const tinygltf::Model small = write(true);
    ASSERT_EQ(plain.meshes.size(), small.meshes.size());
    int shortened = 0, kept = 0;
    for (std::size_t m = 0; m < plain.meshes.size(); ++m) {
      for (std::size_t p = 0; p < plain.meshes[m].primitives.size(); ++p) {
        const tinygltf::Primitive& was = plain.meshes[m].primitives[p];
        const tinygltf::Primitive& is = small.meshes[m].primitives.at(p);
        const std::string what = FormName(form) + " mesh " + std::to_string(m) + " primitive " + std::to_string(p);
        ASSERT_EQ(was.attributes.count("TANGENT"), 1u) << what;
        EXPECT_EQ(is.attributes.count("TANGENT"), 0u) << what;
        for (const char* name : {"POSITION", "NORMAL"}) {
          const tinygltf::Accessor& a = plain.accessors[static_cast<std::size_t>(was.attributes.at(name))];
          const tinygltf::Accessor& b = small.accessors[static_cast<std::size_t>(is.attributes.at(name))];
          for (std::size_t i = 0; i < a.count; ++i) {
            for (int c = 0; c < 3; ++c) {
              ASSERT_EQ(GltfTest::Element(plain, was.attributes.at(name), i, c),
                        GltfTest::Element(small, is.attributes.at(name), i, c)) << what << " " << name;
            }
          }
          EXPECT_EQ(a.count, b.count) << what;
        }
        const int from = was.attributes.at("TEXCOORD_0"), to = is.attributes.at("TEXCOORD_0");
        const tinygltf::Accessor& uvs = small.accessors[static_cast<std::size_t>(to)];
        const bool hasWide = form == GltfForm::Flat ? was.material >= 0 &&
                                                           plain.materials[static_cast<std::size_t>(was.material)].name ==
                                                               kit.materials[wideMaterial]
                                                    : plain.meshes[m].name == "B_roof" && p == 0;
        if (hasWide) {
          EXPECT_EQ(uvs.componentType, TINYGLTF_COMPONENT_TYPE_FLOAT) << what;
          ++kept;
        } else {
          EXPECT_EQ(uvs.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) << what;
          EXPECT_TRUE(uvs.normalized) << what;
          ++shortened;
        }
        const double scale = uvs.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ? 1 : 65535;
        for (std::size_t i = 0; i < uvs.count; ++i) {
          for (int c = 0; c < 2; ++c) {
            ASSERT_NEAR(GltfTest::Element(small, to, i, c) / scale, GltfTest::Element(plain, from, i, c), 0.5 / 65535)
                << what;
          }
        }
      }
    }
    EXPECT_GT(shortened, 0) << FormName(form);
    EXPECT_EQ(kept, 1) << FormName(form);
  }
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
