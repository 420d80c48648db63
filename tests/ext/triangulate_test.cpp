// The polygon cutter on the shapes of the kit's faces and on broken ones. A cut is checked by its
// properties: each triangle has area and the polygon's winding; each side of the polygon is an
// edge of exactly one triangle; every other edge is shared by two triangles running opposite ways
// (no overlap, no T-junction); the areas add up to the polygon's.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include <ostrel/ext/Triangulate.h>

namespace {

using namespace Ostrel;
using namespace Ostrel::Triangulation;

// Corners in the x-y plane (metres), seen from +z.
std::vector<VectorF> Flat(const std::vector<std::pair<float, float>>& i_xy) {
  std::vector<VectorF> corners;
  for (const auto& [x, y] : i_xy) corners.emplace_back(x, y, 0.0f);
  return corners;
}

bool Same(const VectorF& i_a, const VectorF& i_b) {
  return i_a.x == i_b.x && i_a.y == i_b.y && i_a.z == i_b.z;
}

// Cuts the polygon and checks the shape, the classifier's word and the cut. Of a polygon that is
// not simple, only each triangle is checked.
void ExpectCut(const std::vector<VectorF>& i_corners, PolygonShape i_shape) {
  std::vector<CornerTriangle> triangles;
  ASSERT_EQ(CutPolygon(i_corners, triangles), i_shape);
  EXPECT_EQ(ClassifyPolygon(i_corners), i_shape);
  VectorF normal;  // twice the area, along the normal (Newell)
  for (std::size_t i = 0; i < i_corners.size(); ++i)
    normal =
        normal + (i_corners[i] - i_corners[0]).cross(i_corners[(i + 1) % i_corners.size()] - i_corners[0]);
  const float twiceArea = std::sqrt(normal.dot(normal));
  float sum = 0;
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const CornerTriangle& t : triangles) {
    const VectorF& a = i_corners.at(t[0]);
    const float twice = (i_corners.at(t[1]) - a).cross(i_corners.at(t[2]) - a).dot(normal.normalize());
    EXPECT_GT(twice, 1e-8f * twiceArea) << t[0] << " " << t[1] << " " << t[2];
    sum += twice;
    for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
  }
  if (i_shape == PolygonShape::NotSimple) return;
  EXPECT_NEAR(sum, twiceArea, 2e-4f);
  std::vector<std::uint32_t> distinct;  // exactly repeated corners count once
  for (std::uint32_t i = 0; i < i_corners.size(); ++i)
    if (distinct.empty() || !Same(i_corners[i], i_corners[distinct.back()])) distinct.push_back(i);
  while (Same(i_corners[distinct.back()], i_corners[0])) distinct.pop_back();
  EXPECT_EQ(triangles.size(), distinct.size() - 2);
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    const std::pair<std::uint32_t, std::uint32_t> side{distinct[i], distinct[(i + 1) % distinct.size()]};
    EXPECT_EQ(edges[side], 1) << "side " << side.first << "-" << side.second;
    edges.erase(side);
  }
  for (const auto& [edge, count] : edges) {
    EXPECT_EQ(count, 1) << edge.first << "-" << edge.second;
    EXPECT_EQ(edges.count({edge.second, edge.first}), 1u)
        << "inner edge " << edge.first << "-" << edge.second;
  }
}

// A 4 m x 3 m wall with a 2 m x 2 m window notch from its top, as the kit exports it.
const std::vector<VectorF> kNotch = Flat({{0, 0}, {4, 0}, {4, 3}, {3, 3}, {3, 1}, {1, 1}, {1, 3}, {0, 3}});

TEST(CutPolygon, ConvexKeepsCollinearCornersAsCorners) {
  std::vector<VectorF> bent = Flat({{0, 0}, {3, 0}, {3, 2.5f}, {0, 2.5f}});
  bent[2].z = 2e-6f;  // out of plane by float rounding
  for (const auto& polygon :
       {Flat({{0, 0}, {1, 0}, {0, 1}}), bent,
        Flat({{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}}),
        Flat({{0, 0}, {3, 0}, {3, 2.5f}, {1.5f, 2.5f}, {0, 2.5f}}),  // a wall's pentagon
        Flat({{0, 0}, {6, 0}, {6, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}, {1, 1}, {0, 1}}),
        // A fan from corner 0 gives flat triangles here, and repeats are dropped.
        Flat({{0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 2}, {1, 2}, {0, 2}, {0, 0}})})
    ExpectCut(polygon, PolygonShape::Convex);
}

TEST(CutPolygon, ConcaveIsCutInsideTheOutline) {
  std::vector<std::pair<float, float>> comb = {{0, 0}};  // teeth on a base line of collinear corners
  for (int x = 20; x >= 0; --x) comb.push_back({x * 0.5f, x % 2 ? 3.0f : 1.0f});
  std::vector<VectorF> star;
  for (int k = 0; k < 64; ++k)
    star.emplace_back((k % 2 ? 1.0f : 3.0f) * std::cos(k * 0.09817477f),
                      (k % 2 ? 1.0f : 3.0f) * std::sin(k * 0.09817477f), 0.0f);
  for (const auto& polygon :
       {Flat({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}), kNotch, Flat(comb), star,
        Flat({{0, 0}, {2, 0}, {4, 0}, {4, 2}, {3, 2}, {3, 1}, {2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 1}})})
    ExpectCut(polygon, PolygonShape::Concave);
}

// A notch with collinear corners and a wall's pentagon as a floor (facing +y, up), an underside
// (facing -y), walls facing +x and -z, and tilted far from the origin, where float rounding moves
// collinear corners off their line by more than the polygon's size alone would allow.
TEST(CutPolygon, WorksInAnyPlane) {
  const auto notch =
      Flat({{0, 0}, {2, 0}, {4, 0}, {4, 3}, {3, 3}, {3, 1}, {1, 1}, {1, 3}, {0, 3}, {0, 1.5f}});
  const auto pentagon = Flat({{0, 0}, {3, 0}, {3, 2.5f}, {1.5f, 2.5f}, {0, 2.5f}});
  const VectorF frames[][3] = {{{0, 0, 0}, {1, 0, 0}, {0, 0, -1}},  // origin, u, v with u × v the facing
                               {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}},
                               {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                               {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}},
                               {{800, 30, -500}, {0.36f, 0.48f, 0.8f}, {0.8f, -0.6f, 0}},
                               {{-900, 700, 0}, {0.8f, -0.36f, 0.48f}, {0, 0.8f, 0.6f}}};
  for (const auto& [origin, u, v] : frames) {
    for (const auto& [flat, shape] :
         {std::pair{notch, PolygonShape::Concave}, {pentagon, PolygonShape::Convex}}) {
      std::vector<VectorF> corners;
      for (const VectorF& p : flat) corners.push_back(origin + u * p.x + v * p.y);
      ExpectCut(corners, shape);
    }
  }
}

// Nothing is added to what the caller's vector holds.
TEST(CutPolygon, DegenerateGivesNoTriangle) {
  for (const auto& polygon : {Flat({{0, 0}, {1, 0}}), Flat({{0, 0}, {1, 0}, {2, 0}, {3, 0}}),
                              Flat({{0, 0}, {2, 0}, {1, 0}}),  // folds back on its line
                              // A sliver across the axes, thinner than the tolerance.
                              std::vector<VectorF>{{0, 0, 0}, {3, 3, 3}, {1.5000017f, 1.4999983f, 1.5f}},
                              Flat({{1, 1}, {1, 1}, {1, 1}}), Flat({{0, 0}, {1, 0}, {1, 0}, {0, 0}}),
                              Flat({{0, 0}, {1, 0}, {1, 1}, {1, 0}}),     // a spike out and back
                              Flat({{0, 0}, {2, 2}, {2, 0}, {0, 2}})}) {  // lobes that cancel out
    std::vector<CornerTriangle> triangles = {{7, 8, 9}};
    EXPECT_EQ(CutPolygon(polygon, triangles), PolygonShape::Degenerate);
    EXPECT_EQ(ClassifyPolygon(polygon), PolygonShape::Degenerate);
    EXPECT_EQ(triangles.size(), 1u);
  }
}

// A bow-tie with unequal lobes, a pentagram, a square whose corner touches its opposite side, a
// corner that is not a number: an answer, and triangles that keep the first rules.
TEST(CutPolygon, NotSimpleIsABestEffort) {
  for (const auto& polygon :
       {Flat({{0, 0}, {3, 3}, {3, 0}, {0, 1}}),
        Flat({{0, 3}, {-1.76f, -2.43f}, {2.85f, 0.93f}, {-2.85f, 0.93f}, {1.76f, -2.43f}}),
        Flat({{0, 0}, {2, 0}, {2, 2}, {1, 0}, {0, 2}}), Flat({{0, 0}, {1, 0}, {NAN, 1}, {0, 1}})})
    ExpectCut(polygon, PolygonShape::NotSimple);
  // A round of 200 corners 1 km out, each within the tolerance of straight: no corner is an ear,
  // but it is cut whole all the same.
  std::vector<VectorF> round;
  for (int k = 0; k < 200; ++k)
    round.emplace_back(1000 + std::cos(k * 0.0314159f), std::sin(k * 0.0314159f), 0.0f);
  std::vector<CornerTriangle> triangles;
  EXPECT_EQ(CutPolygon(round, triangles), PolygonShape::NotSimple);
  EXPECT_EQ(triangles.size(), 198u);
}

}  // namespace
