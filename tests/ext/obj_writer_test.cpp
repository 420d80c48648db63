// The OBJ writer: exact bytes of small meshes, truncation, unchecked numbers, number format.

#include <gtest/gtest.h>

#include <filesystem>
#include <locale>

#include <ostrel/ext/Obj.h>
#include "TestSupport.h"

namespace {

using Obj::Triangle;
using Obj::VectorF;
using TestSupport::ReadFile;
using TestSupport::ScratchDir;

std::string WriteText(const std::vector<VectorF>& i_vertices, const std::vector<VectorF>& i_normals,
                      const std::vector<Triangle>& i_triangles) {
  ScratchDir dir;
  Obj::Write(dir / "out.obj", i_vertices, i_normals, i_triangles);
  return ReadFile(dir / "out.obj");
}

TEST(ObjWriter, ExactFiles) {
  const std::vector<VectorF> vertices = {{0, 0, 0}, {1, 0.5f, -2.25f}, {1e6f, 0.0001f, 0.00001f}};
  const std::vector<VectorF> normals = {{0, 0, 1}, {0, -0.0f, 1}, {0.1f, 999999.5f, 123456}};
  EXPECT_EQ(WriteText(vertices, normals, {{1, 2, 3}}),
            "# 3 vertices\n"
            "# 3 vertex normals\n"
            "v 0 0 0\n"
            "v 1 0.5 -2.25\n"
            "v 1e+06 0.0001 1e-05\n"
            "vn 0 0 1\n"
            "vn 0 -0 1\n"
            "vn 0.1 1e+06 123456\n"
            "s 1\n"
            "f 1//1 2//2 3//3\n");

  EXPECT_EQ(WriteText({}, {}, {}), "# 0 vertices\n# 0 vertex normals\ns 1\n");

  // Numbers are written as given and no counts are checked.
  EXPECT_EQ(WriteText({{1, 2, 3}}, {}, {{0, 1, 2}, {7, 18446744073709551615u, 40}}),
            "# 1 vertices\n# 0 vertex normals\nv 1 2 3\ns 1\nf 0//0 1//1 2//2\n"
            "f 7//7 18446744073709551615//18446744073709551615 40//40\n");
}

TEST(ObjWriter, ReplacesAnExistingFileAndSkipsUnopenablePaths) {
  ScratchDir dir;
  TestSupport::WriteFile(dir / "out.obj", std::string(10000, 'x'));
  Obj::Write(dir / "out.obj", {}, {}, {});
  EXPECT_EQ(ReadFile(dir / "out.obj"), "# 0 vertices\n# 0 vertex normals\ns 1\n");

  Obj::Write(dir.path.string(), {{1, 1, 1}}, {}, {});  // a folder
  Obj::Write(dir / "missing/out.obj", {{1, 1, 1}}, {}, {});
  EXPECT_TRUE(std::filesystem::is_directory(dir.path));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// A mesh larger than one write block comes out whole, in order, and reads back.
TEST(ObjWriter, LargeMeshRoundTrip) {
  std::vector<VectorF> vertices, normals;
  std::vector<Triangle> triangles;
  for (int i = 0; i < 30000; ++i) {
    vertices.emplace_back(static_cast<float>(i), 0.25f * static_cast<float>(i), -1.0f);
    normals.emplace_back(0.0f, 1.0f, static_cast<float>(i % 7));
    if (i >= 2)
      triangles.push_back(
          {static_cast<std::size_t>(i - 1), static_cast<std::size_t>(i), static_cast<std::size_t>(i + 1)});
  }
  ScratchDir dir;
  Obj::Write(dir / "big.obj", vertices, normals, triangles);
  Obj::Mesh mesh;
  ASSERT_TRUE(Obj::ReadMesh(dir / "big.obj", mesh));
  ASSERT_EQ(mesh.vertices.size(), vertices.size());
  ASSERT_EQ(mesh.normals.size(), normals.size());
  ASSERT_EQ(mesh.polycount.size(), triangles.size());
  EXPECT_EQ(mesh.vertices[29999].x, 29999.0f);
  EXPECT_EQ(mesh.vertices[12345].y, 3086.25f);
  EXPECT_EQ(mesh.normals[29999].z, 4.0f);
  EXPECT_EQ(mesh.corners.back().v, 29999u);
  EXPECT_EQ(mesh.corners.back().n, 29999u);
}

struct DecimalCommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(ObjWriter, IgnoresTheGlobalLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new DecimalCommaPunct));
  std::vector<Triangle> triangles(1, Triangle{1234, 1235, 1236});
  const std::string text = WriteText(std::vector<VectorF>(1234, VectorF(1.5f, 2500, -0.25f)), {}, triangles);
  std::locale::global(saved);
  EXPECT_EQ(text.rfind("# 1234 vertices\n# 0 vertex normals\nv 1.5 2500 -0.25\n", 0), 0u);
  EXPECT_NE(text.find("\nf 1234//1234 1235//1235 1236//1236\n"), std::string::npos);
}

}  // namespace
