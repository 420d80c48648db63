// Differential test: for well-formed files, Obj::Read must agree with an independent loader on
// positions, normals, texture coordinates and face corners.

#include <gtest/gtest.h>
#include <tiny_obj_loader.h>

#include <ostrel/ext/Obj.h>
#include "TestSupport.h"

namespace {

using U32s = std::vector<std::uint32_t>;

struct Peer {
  std::vector<float> vertices, normals, uvs;  // flat: 3, 3 and 2 floats per element
  U32s vindices, nindices, uvindices, polycount;
};

// Loads with the peer, faces as written (no triangulation), all shapes' faces in file order.
Peer LoadPeer(const std::string& i_path) {
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warn, err;
  Peer peer;
  const bool loaded =
      tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, i_path.c_str(), nullptr, false);
  EXPECT_TRUE(loaded) << err;
  peer.vertices = attrib.vertices;
  peer.normals = attrib.normals;
  peer.uvs = attrib.texcoords;
  for (const tinyobj::shape_t& shape : shapes) {
    for (const tinyobj::index_t& index : shape.mesh.indices) {
      peer.vindices.push_back(static_cast<std::uint32_t>(index.vertex_index));
      if (index.texcoord_index >= 0)
        peer.uvindices.push_back(static_cast<std::uint32_t>(index.texcoord_index));
      if (index.normal_index >= 0) peer.nindices.push_back(static_cast<std::uint32_t>(index.normal_index));
    }
    for (const unsigned count : shape.mesh.num_face_vertices) peer.polycount.push_back(count);
  }
  return peer;
}

void ExpectAgreement(const std::string& i_name, const std::string& i_text) {
  SCOPED_TRACE(i_name);
  TestSupport::ScratchDir dir;
  const std::string path = dir / (i_name + ".obj");
  TestSupport::WriteFile(path, i_text);
  const Peer peer = LoadPeer(path);

  std::vector<Obj::VectorF> vertices, normals;
  std::vector<Obj::UV> uvs;
  U32s vindices, nindices, uvindices, polycount;
  ASSERT_TRUE(Obj::Read(path, vertices, normals, uvs, vindices, nindices, uvindices, polycount));

  std::vector<float> flat;
  for (const Obj::VectorF& v : vertices) flat.insert(flat.end(), {v.x, v.y, v.z});
  ASSERT_EQ(flat.size(), peer.vertices.size());
  for (std::size_t i = 0; i < flat.size(); ++i)
    EXPECT_FLOAT_EQ(flat[i], peer.vertices[i]) << "vertex float " << i;
  flat.clear();
  for (const Obj::VectorF& n : normals) flat.insert(flat.end(), {n.x, n.y, n.z});
  ASSERT_EQ(flat.size(), peer.normals.size());
  for (std::size_t i = 0; i < flat.size(); ++i)
    EXPECT_FLOAT_EQ(flat[i], peer.normals[i]) << "normal float " << i;
  flat.clear();
  for (const Obj::UV& t : uvs) flat.insert(flat.end(), {t.u, t.v});
  ASSERT_EQ(flat.size(), peer.uvs.size());
  for (std::size_t i = 0; i < flat.size(); ++i) EXPECT_FLOAT_EQ(flat[i], peer.uvs[i]) << "uv float " << i;

  EXPECT_EQ(vindices, peer.vindices);
  EXPECT_EQ(uvindices, peer.uvindices);
  EXPECT_EQ(nindices, peer.nindices);
  EXPECT_EQ(polycount, peer.polycount);
}

const char* const kCubeVertices =
    "v -0.5 -0.5 0.5\nv 0.5 -0.5 0.5\nv -0.5 0.5 0.5\nv 0.5 0.5 0.5\n"
    "v -0.5 0.5 -0.5\nv 0.5 0.5 -0.5\nv -0.5 -0.5 -0.5\nv 0.5 -0.5 -0.5\n";

TEST(ObjPeer, CornerForms) {
  const std::string v = kCubeVertices;
  const std::string vt = "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n";
  const std::string vn = "vn 0 0 1\nvn 0 1 0\nvn 0 0 -1\nvn 0 -1 0\nvn 1 0 0\nvn -1 0 0\n";
  ExpectAgreement("cube_full", "# cube\n" + v + vt + vn +
                                   "f 1/1/1 2/2/1 4/4/1 3/3/1\nf 3/1/2 4/2/2 6/4/2 5/3/2\n"
                                   "f 5/4/3 6/3/3 8/1/3 7/2/3\nf 7/1/4 8/2/4 2/4/4 1/3/4\n"
                                   "f 2/1/5 8/2/5 6/4/5 4/3/5\nf 7/1/6 1/2/6 3/4/6 5/3/6\n");
  ExpectAgreement("cube_normals",
                  v + vn + "f 1//1 2//1 4//1 3//1\nf 3//2 4//2 6//2 5//2\nf 5//3 6//3 8//3 7//3\n");
  ExpectAgreement("cube_uvs", v + vt + "f 1/1 2/2 4/4 3/3\nf 3/1 4/2 6/4 5/3\nf 2/1 8/2 6/4 4/3\n");
  ExpectAgreement("cube_bare", v + "f 1 2 4 3\nf 3 4 6 5\nf 5 6 8 7\nf 7 8 2 1\nf 2 8 6 4\nf 7 1 3 5\n");
}

TEST(ObjPeer, PolygonsNumbersAndLineEnds) {
  ExpectAgreement("ngons",
                  "v 0 0 0\nv 1 0 0\nv 1.5 0.75 0\nv 1 1.5 0\nv 0 1.5 0\nv -0.5 0.75 0\nv 0.25 0.125 2\n"
                  "f 1 2 3\nf 1 2 3 4\nf 1 2 3 4 5\nf 1 2 3 4 5 6\nf 7 1 2\n");
  ExpectAgreement("numbers",
                  "v 1e-05 -2.25e+02 0.333333\nv 123456.789 -0 1E3\nv .5 5. +7\n"
                  "vt 0.125 0.875 0.5\nvn -0.57735 0.57735 0.57735\nf 1/1/1 2/1/1 3/1/1\n");
  ExpectAgreement("relative",
                  "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\n"
                  "f -3/-3/-1 -2/-2/-1 -1/-1/-1\nv 1 1 0\nf -3 -2 -1\nf 1/1 -1/-1 3/-2\n");
  ExpectAgreement("crlf", "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nvn 0 0 1\r\nf 1//1 2//1 3//1\r\n");
  ExpectAgreement("groups",
                  "mtllib none.mtl\no first\nv 0 0 0\nv 1 0 0\nv 0 1 0\ng a\ns 1\nf 1 2 3\n"
                  "o second\nv 0 0 1\nusemtl red\nf 2 3 4\ns off\nf 4 3 1\n");
}

}  // namespace
