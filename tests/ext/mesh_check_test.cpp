// The mesh checks on small meshes whose faults are known: a clean cube, and cubes with a face
// missing, flipped, with a wrong normal, or touching another cube.

#include <gtest/gtest.h>

#include <string>

#include <ostrel/ext/MeshCheck.h>

namespace {

using namespace Ostrel::MeshCheck;

// A unit cube at (i_x, 0, 0) as its own 8 v lines, 6 vn lines and 6 outward quads; i_first is the
// number of v lines before it. i_flip reverses face 0's winding; i_badNormal gives face 1 the
// normal of the opposite side.
std::string Cube(int i_x, int i_first, bool i_flip = false, bool i_badNormal = false) {
  std::string text;
  for (int k = 0; k < 8; ++k)
    text += "v " + std::to_string(i_x + (k & 1)) + " " + std::to_string((k >> 1) & 1) + " " +
            std::to_string(k >> 2) + "\n";
  text += "vn -1 0 0\nvn 1 0 0\nvn 0 -1 0\nvn 0 1 0\nvn 0 0 -1\nvn 0 0 1\n";
  // Corners (by bits x, y, z) of each side, counter-clockwise seen from outside.
  const int sides[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  const int normalFirst = i_first / 8 * 6;
  for (int side = 0; side < 6; ++side) {
    int normal = side;
    if (side == 1 && i_badNormal) normal = 0;
    std::string face = "f";
    for (int k = 0; k < 4; ++k) {
      const int corner = sides[side][side == 0 && i_flip ? 3 - k : k];
      face += " " + std::to_string(i_first + corner + 1) + "//" + std::to_string(normalFirst + normal + 1);
    }
    text += face + "\n";
  }
  return text;
}

Obj::Mesh Parse(const std::string& i_text) {
  Obj::Mesh mesh;
  Obj::Parse(i_text, mesh);
  return mesh;
}

TEST(MeshCheck, ACleanCubeHasNoFinding) {
  const Obj::Mesh mesh = Parse(Cube(0, 0));
  EXPECT_TRUE(FindEdgeFaults(mesh).empty());
  EXPECT_TRUE(FindNormalsAgainstWinding(mesh).empty());
  EXPECT_TRUE(FindOverlaps(mesh).empty());
}

// Two cubes apart, each with its own v lines, and the second cube's coordinates written as -0
// where the first has 0: welding makes one point of each position either way.
TEST(MeshCheck, EqualPositionsAreOnePoint) {
  Obj::Mesh mesh = Parse(Cube(0, 0) + Cube(0, 8));
  for (std::size_t k = 8; k < 16; ++k)
    if (mesh.vertices[k].y == 0) mesh.vertices[k].y = -0.0f;
  const Welded welded = Weld(mesh);
  EXPECT_EQ(welded.points.size(), 8u);
  ASSERT_EQ(welded.cornerPoints.size(), 48u);
  for (std::size_t k = 0; k < 24; ++k) EXPECT_EQ(welded.cornerPoints[k], welded.cornerPoints[k + 24]);
  // Two copies of one cube: every edge is used twice each way, and every face has a twin.
  const std::vector<EdgeFinding> edges = FindEdgeFaults(mesh);
  EXPECT_EQ(edges.size(), 12u);
  for (const EdgeFinding& edge : edges) EXPECT_EQ(edge.fault, EdgeFault::Crowded);
  EXPECT_EQ(FindOverlaps(mesh).size(), 6u);
}

TEST(MeshCheck, EdgeFaultsNameTheirKindAndFaces) {
  // Without its last face (the side z = 1), the cube has four open edges.
  std::string open = Cube(0, 0);
  open.erase(open.rfind("f "));
  const std::vector<EdgeFinding> holes = FindEdgeFaults(Parse(open));
  ASSERT_EQ(holes.size(), 4u);
  for (const EdgeFinding& edge : holes) {
    EXPECT_EQ(edge.fault, EdgeFault::Open);
    EXPECT_EQ(edge.from.z, 1.0f);
    EXPECT_EQ(edge.to.z, 1.0f);
    EXPECT_EQ(edge.faces.size(), 1u);
  }

  // A face wound the wrong way shares each of its edges in the same direction as a neighbour.
  const std::vector<EdgeFinding> flipped = FindEdgeFaults(Parse(Cube(0, 0, true)));
  ASSERT_EQ(flipped.size(), 4u);
  for (const EdgeFinding& edge : flipped) {
    EXPECT_EQ(edge.fault, EdgeFault::Flipped);
    ASSERT_EQ(edge.faces.size(), 2u);
    EXPECT_TRUE(edge.faces[0] == 0 || edge.faces[1] == 0);
  }
}

TEST(MeshCheck, NormalsAgainstTheWindingAreFound) {
  const std::vector<NormalFinding> found = FindNormalsAgainstWinding(Parse(Cube(0, 0, false, true)));
  ASSERT_EQ(found.size(), 4u);  // every corner of face 1
  for (const NormalFinding& finding : found) {
    EXPECT_EQ(finding.face, 1u);
    EXPECT_EQ(finding.normal.x, -1.0f);
    EXPECT_EQ(finding.winding.x, 1.0f);
  }
  // A flipped face with its normal as the file gives it disagrees as well.
  EXPECT_EQ(FindNormalsAgainstWinding(Parse(Cube(0, 0, true))).size(), 4u);
}

// Two cubes side by side: the sides where they touch are a hidden pair, back to back, and the
// four edges round them are used by four faces each.
TEST(MeshCheck, TouchingSolidsGiveABackToBackPair) {
  const Obj::Mesh mesh = Parse(Cube(0, 0) + Cube(1, 8));
  const std::vector<OverlapFinding> found = FindOverlaps(mesh);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, OverlapKind::BackToBack);
  EXPECT_EQ(found[0].first, 1u);   // the first cube's side x = 1
  EXPECT_EQ(found[0].second, 6u);  // the second cube's side x = 1
  EXPECT_EQ(found[0].where.x, 1.0f);
  std::size_t crowded = 0;
  for (const EdgeFinding& edge : FindEdgeFaults(mesh)) crowded += edge.fault == EdgeFault::Crowded;
  EXPECT_EQ(crowded, 4u);
}

// Faces in one plane overlap only over a positive area: sharing an edge or a corner is no
// overlap, and a face that is not convex is judged by its shape, not by its bounds.
TEST(MeshCheck, CoplanarFacesOverlapOnlyOverAnArea) {
  const std::string square = "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nf 1 2 3 4\n";
  const auto with = [&](const std::string& i_other) { return FindOverlaps(Parse(square + i_other)); };
  const std::vector<OverlapFinding> shifted = with("v 1 1 0\nv 3 1 0\nv 3 3 0\nv 1 3 0\nf 5 6 7 8\n");
  ASSERT_EQ(shifted.size(), 1u);
  EXPECT_EQ(shifted[0].kind, OverlapKind::SameFacing);
  EXPECT_TRUE(with("v 2 0 0\nv 4 0 0\nv 4 2 0\nv 2 2 0\nf 5 6 7 8\n").empty());  // an edge
  EXPECT_TRUE(with("v 2 2 0\nv 4 2 0\nv 4 4 0\nv 2 4 0\nf 5 6 7 8\n").empty());  // a corner
  EXPECT_TRUE(with("v 0 0 1\nv 2 0 1\nv 2 2 1\nv 0 2 1\nf 5 6 7 8\n").empty());  // another plane
  // An L round the square's upper right quarter, which lies within its bounds but outside it.
  const std::string notch = "v 1 1 0\nv 2 1 0\nv 2 2 0\nv 1 2 0\nf 1 2 3 4\n";
  const std::string ell = "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nv 1 2 0\nv 0 2 0\nf 5 6 7 8 9 10\n";
  EXPECT_TRUE(FindOverlaps(Parse(notch + ell)).empty());
  // Wound the other way, the shifted square faces the other way: a back-to-back pair.
  const std::vector<OverlapFinding> opposite = with("v 1 1 0\nv 1 3 0\nv 3 3 0\nv 3 1 0\nf 5 6 7 8\n");
  ASSERT_EQ(opposite.size(), 1u);
  EXPECT_EQ(opposite[0].kind, OverlapKind::BackToBack);
}

}  // namespace
