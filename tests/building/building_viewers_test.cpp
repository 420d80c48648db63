// Buildings load cleanly in two independent OBJ loaders: assimp (its command-line tool, when
// installed) and tinyobjloader.

#include <gtest/gtest.h>

#include <tiny_obj_loader.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using BuildingTest::Request;

struct Output {
  std::string name;
  std::string path;
  std::string materials;  // the material library written beside it; empty when none
};

// Writes a few buildings of the test kit and of the shipped kit into i_dir.
std::vector<Output> WriteBuildings(const TestSupport::ScratchDir& i_dir) {
  struct Case {
    const char* name;
    Request request;
    std::string units;
    float xdir, zdir;
  };
  const std::string shipped = std::string(TOWERKIT_SOURCE_DIR) + "/units";
  std::vector<Case> cases = {
      {"worked", Request{"T", "NC", {"SC"}, {"NA"}, 3, 3, 3}, BuildingTest::kKit, 0, 1},
      {"flat", Request{"T", "  ", {}, {}, 0, 0, 0}, BuildingTest::kKit, 0, 1},
      {"long", Request{"T", "WR", {"EA", "NO"}, {"SE"}, 1, 6, 2}, BuildingTest::kKit, 0.6f, -0.8f},
  };
  // The shipped styles at several sizes, the smallest included.
  for (const char* style : {"A", "B"}) {
    cases.push_back({"shipped0", Request{style, "NC", {}, {}, 0, 0, 0}, shipped, 0, 1});
    cases.push_back({"shipped1", Request{style, "EL", {"SA"}, {}, 1, 1, 1}, shipped, 0, 1});
    cases.push_back({"shipped3", Request{style, "NC", {"SC"}, {"EA"}, 3, 3, 3}, shipped, 0, 1});
    cases.push_back({"shipped24", Request{style, "WL", {"NA"}, {"SO"}, 2, 4, 2}, shipped, 1, 0});
  }
  std::vector<Output> outputs;
  for (const Case& c : cases) {
    const std::string name = std::string(c.name) + c.request.style;
    Ostrel::Buildings::Building building = BuildingTest::Make(c.request, c.units);
    building.setOrientation(c.xdir, 0, c.zdir);
    building.setMaterialLibrary(name + ".mtl", i_dir.path.string());
    const std::string text = BuildingTest::BuildText(building);
    EXPECT_EQ(building.lastError(), Ostrel::Buildings::BuildError::None) << c.name;
    const std::string path = i_dir / (name + ".obj");
    TestSupport::WriteFile(path, text);
    if (building.usesMaterials())
      TestSupport::WriteFile(i_dir / (name + ".mtl"), building.materialLibraryText());
    outputs.push_back({name, path, building.materialLibraryText()});
  }
  return outputs;
}

std::string Lower(std::string i_text) {
  for (char& c : i_text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return i_text;
}

TEST(BuildingViewers, AssimpReportsNoErrorOrWarning) {
  const std::string assimp = "/usr/bin/assimp";
  if (!std::filesystem::exists(assimp)) GTEST_SKIP() << "assimp is not installed";
  TestSupport::ScratchDir dir;
  for (const Output& output : WriteBuildings(dir)) {
    TestSupport::RunOptions options;
    options.program = assimp;
    options.args = {"info", output.path, "-v"};
    const TestSupport::RunResult result = TestSupport::Run(options);
    const std::string said = Lower(result.output + result.errors);
    EXPECT_EQ(result.status, 0) << output.name << "\n" << said;
    EXPECT_EQ(said.find("error"), std::string::npos) << output.name << "\n" << said;
    EXPECT_EQ(said.find("warn"), std::string::npos) << output.name << "\n" << said;
    EXPECT_NE(said.find("faces:"), std::string::npos) << output.name;
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    Mtl::Parse(output.materials, library, findings);
    for (const Mtl::Material& material : library.materials) {
      const std::string listed = "'" + material.name + "' (prop)";
      EXPECT_NE(result.output.find(listed), std::string::npos) << output.name << ": " << material.name;
    }
  }
}

TEST(BuildingViewers, TinyObjLoaderLoadsWithoutWarnings) {
  TestSupport::ScratchDir dir;
  for (const Output& output : WriteBuildings(dir)) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const std::string folder = dir.path.string() + "/";
    const bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, output.path.c_str(),
                                         folder.c_str(), false);
    EXPECT_TRUE(loaded) << output.name;
    EXPECT_EQ(warn, "") << output.name;
    EXPECT_EQ(err, "") << output.name;
    std::size_t corners = 0;
    for (const tinyobj::shape_t& shape : shapes) {
      corners += shape.mesh.indices.size();
      for (const tinyobj::index_t& index : shape.mesh.indices) {
        EXPECT_GE(index.vertex_index, 0);
        EXPECT_LT(static_cast<std::size_t>(index.vertex_index), attrib.vertices.size() / 3);
        EXPECT_LT(index.normal_index, static_cast<int>(attrib.normals.size() / 3));
        EXPECT_LT(index.texcoord_index, static_cast<int>(attrib.texcoords.size() / 2));
      }
    }
    EXPECT_GT(corners, 0u) << output.name;

    // Every material of the library, with its colour; every face with one of them.
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    Mtl::Parse(output.materials, library, findings);
    ASSERT_EQ(materials.size(), library.materials.size()) << output.name;
    for (std::size_t i = 0; i < materials.size(); ++i) {
      EXPECT_EQ(materials[i].name, library.materials[i].name) << output.name;
      const auto kd = library.materials[i].kd.value_or(std::array<float, 3>{0.8f, 0.8f, 0.8f});
      for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(materials[i].diffuse[k], kd[static_cast<std::size_t>(k)]);
    }
    for (const tinyobj::shape_t& shape : shapes) {
      for (const int material : shape.mesh.material_ids) {
        EXPECT_TRUE(library.materials.empty() ? material == -1 : material >= 0) << output.name;
      }
    }
  }
}

// The shipped pieces are triangles, none of them flat: assimp, tinyobjloader (cutting polygons
// itself) and the .glb of the same request hold the same number of triangles, and no flat one.
TEST(BuildingViewers, EveryReaderCountsTheTrianglesOfTheGlb) {
  TestSupport::ScratchDir dir;
  const std::string shipped = std::string(TOWERKIT_SOURCE_DIR) + "/units";
  const bool assimp = std::filesystem::exists("/usr/bin/assimp");
  for (const char* style : {"A", "B"}) {
    for (const Request& request : {Request{style, "NC", {"SC"}, {"EA"}, 3, 3, 3},
                                   Request{style, "WL", {"NA", "SE"}, {"SO"}, 12, 8, 6}}) {
      Ostrel::Buildings::Building building = BuildingTest::Make(request, shipped);
      const std::string path = dir / "building.obj";
      TestSupport::WriteFile(path, BuildingTest::BuildText(building));
      std::ostringstream glb;
      const std::uint64_t triangles = building.buildGlb(glb, {});

      tinyobj::attrib_t attrib;
      std::vector<tinyobj::shape_t> shapes;
      std::vector<tinyobj::material_t> materials;
      std::string warn, err;
      ASSERT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, true));
      std::size_t faces = 0, flat = 0;
      for (const tinyobj::shape_t& shape : shapes) {
        faces += shape.mesh.num_face_vertices.size();
        for (std::size_t i = 0; i + 2 < shape.mesh.indices.size(); i += 3) {
          double p[3][3];
          for (int k = 0; k < 3; ++k) {
            for (int axis = 0; axis < 3; ++axis) {
              p[k][axis] =
                  attrib.vertices[3 * static_cast<std::size_t>(shape.mesh.indices[i + k].vertex_index) +
                                  static_cast<std::size_t>(axis)];
            }
          }
          const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
          const double v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
          const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                               u[0] * v[1] - u[1] * v[0]};
          if (n[0] * n[0] + n[1] * n[1] + n[2] * n[2] < 1e-14) ++flat;
        }
      }
      EXPECT_EQ(faces, triangles) << style;
      EXPECT_EQ(flat, 0u) << style;
      if (!assimp) continue;
      TestSupport::RunOptions options;
      options.program = "/usr/bin/assimp";
      options.args = {"info", path};
      const std::string said = TestSupport::Run(options).output;
      EXPECT_NE(said.find("Faces:              " + std::to_string(triangles) + "\n"), std::string::npos)
          << style << "\n"
          << said;
    }
  }
}

}  // namespace
