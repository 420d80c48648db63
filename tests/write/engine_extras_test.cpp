// Engine extras of buildings of the shipped kit: collision hulls that are closed, convex and hold
// every vertex of their block, levels of detail that each have fewer triangles, pieces' levels
// that keep their place and the sheet's mapping, and door markers on the threshold facing out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/kit/PieceKind.h>
#include <ostrel/layout/Blocks.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/write/CardSheets.h>

#include "write/engine/EngineExtras.h"
#include "write/engine/PieceLevels.h"
#include "write/engine/SheetTones.h"
#include "write/TriangleMesh.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;
using Ostrel::VectorF;
using Ostrel::UV;

using TestSupport::kShipped;

struct Case {
  const char* style;
  int w, l, h;
  RoofShape roof;
  std::vector<Setback> setbacks;  // a block more for each
};

const Case kCases[] = {
    {"A", 0, 0, 0, RoofShape::Flat, {}},  {"A", 3, 2, 3, RoofShape::Flat, {}}, {"B", 1, 1, 2, RoofShape::Flat, {}},
    {"B", 3, 2, 2, RoofShape::Gable, {}}, {"B", 1, 5, 1, RoofShape::Gable, {}}, {"A", 2, 2, 2, RoofShape::Hip, {}},
    {"B", 4, 3, 2, RoofShape::Hip, {}},   {"A", 6, 1, 2, RoofShape::Gable, {}},
    {"A", 4, 4, 4, RoofShape::Flat, {{2, 1, 1, 1, 1}}},
    {"B", 4, 3, 5, RoofShape::Hip, {{1, 0, 1, 1, 0}, {3, 1, 0, 0, 0}}},
};

std::string Name(const Case& i_case) {
  return std::string(i_case.style) + " " + std::to_string(i_case.w) + "x" + std::to_string(i_case.l) + "x" +
         std::to_string(i_case.h) + " roof " + std::to_string(static_cast<int>(i_case.roof));
}

// A building in metres about its base centre, the frame in which the extras are checked.
struct Made {
  Kit kit;
  Request request;
  Plan plan;
  Frame frame;
};

Made Make(const Case& i_case) {
  Made made;
  made.kit = LoadKit(kShipped, {i_case.style});
  made.request = MakeRequest(i_case.style, "SC", {"NA"}, {}, i_case.w, i_case.l, i_case.h);
  made.request.roof = i_case.roof;
  made.request.setbacks = i_case.setbacks;
  made.plan = MakePlan(made.request, made.kit);
  made.frame.xscale = made.kit.unitWidth;
  made.frame.yscale = made.kit.unitHeight;
  made.frame.zscale = made.kit.unitLength;
  PlacePivot(made.request, Pivot::BaseCentre, made.frame);
  return made;
}

// Every placed vertex of each block, in the frame.
std::vector<std::vector<VectorF>> BlockVertices(const Made& i_made) {
  std::vector<std::vector<VectorF>> blocks(static_cast<std::size_t>(BlockCount(i_made.request)));
  ForEachPlacement(i_made.plan, i_made.kit, [&](const Placement& i_placement) {
    for (const VectorF& p : i_made.kit.piece(i_placement.piece).positions) {
      float xyz[3];
      PlacePosition(p, FloatsOf(i_placement), i_made.frame, xyz);
      blocks[static_cast<std::size_t>(BlockOf(i_made.request, i_placement))].push_back(
          VectorF(xyz[0], xyz[1], xyz[2]));
    }
  });
  return blocks;
}

std::uint64_t Triangles(const Kit& i_kit, const Plan& i_plan) {
  const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(i_kit);
  std::uint64_t triangles = 0;
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    for (const MeshPart& part : pieces[i_placement.piece].parts) triangles += part.indices.size() / 3;
  });
  return triangles;
}

// How far i_p lies outside the plane of the triangle (a, b, c), along its outward normal (metres).
double Outside(const VectorF& i_a, const VectorF& i_b, const VectorF& i_c, const VectorF& i_p) {
  const double ux = i_b.x - i_a.x, uy = i_b.y - i_a.y, uz = i_b.z - i_a.z;
  const double vx = i_c.x - i_a.x, vy = i_c.y - i_a.y, vz = i_c.z - i_a.z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  return ((i_p.x - i_a.x) * nx + (i_p.y - i_a.y) * ny + (i_p.z - i_a.z) * nz) / length;
}

TEST(EngineExtras, HullsAreClosedConvexAndHoldEveryVertexOfTheirBlock) {
  EngineOptions options;
  options.collision = CollisionNaming::Godot;
  // The last case has blocks of more vertices than a hull's outline keeps before it is cut back.
  std::vector<Case> cases(std::begin(kCases), std::end(kCases));
  cases.push_back({"B", 50, 30, 6, RoofShape::Hip, {}});
  for (const Case& c : cases) {
    const Made made = Make(c);
    const EngineExtras extras =
        MakeEngineExtras(made.kit, MakeTriangleMeshes(made.kit), made.plan, made.request, made.frame, options);
    const std::vector<std::vector<VectorF>> blocks = BlockVertices(made);
    ASSERT_EQ(extras.hulls.size(), blocks.size()) << Name(c);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      ASSERT_EQ(extras.hulls[b].parts.size(), 1u) << Name(c);
      const ExtraPart& hull = extras.hulls[b].parts[0];
      // Closed: every edge meets its opposite exactly once.
      std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
      for (std::size_t i = 0; i < hull.indices.size(); i += 3) {
        for (int k = 0; k < 3; ++k) ++edges[{hull.indices[i + k], hull.indices[i + (k + 1) % 3]}];
      }
      for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1) << Name(c) << ": edge " << edge.first << "-" << edge.second << " twice";
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u) << Name(c) << ": open edge";
      }
      // Convex, holding every vertex: nothing beyond any face's plane.
      for (std::size_t i = 0; i < hull.indices.size(); i += 3) {
        const VectorF& a = hull.positions[hull.indices[i]];
        const VectorF& bb = hull.positions[hull.indices[i + 1]];
        const VectorF& cc = hull.positions[hull.indices[i + 2]];
        double worst = -INFINITY;
        for (const VectorF& p : hull.positions) worst = std::max(worst, Outside(a, bb, cc, p));
        EXPECT_LE(worst, 1e-4) << Name(c) << ": a corner outside face " << i / 3;
        worst = -INFINITY;
        for (const VectorF& p : blocks[b]) worst = std::max(worst, Outside(a, bb, cc, p));
        EXPECT_LE(worst, 1e-3) << Name(c) << ": a vertex outside face " << i / 3 << " by " << worst << " m";
      }
      // A box, or a prism that takes the slopes with few more.
      EXPECT_LE(hull.indices.size() / 3, c.roof == RoofShape::Flat ? 12u : 16u) << Name(c);
    }
  }
}

// The triangles of a level laid out from the pieces' levels, as a writer lays it out.
std::uint64_t LevelTriangles(const PieceLevel& i_level, const Kit& i_kit, const Plan& i_plan) {
  std::uint64_t triangles = 0;
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    for (const MeshPart& part : i_level.pieces[i_placement.piece].parts) triangles += part.indices.size() / 3;
  });
  return triangles;
}

TEST(EngineExtras, EachLevelOfDetailHasFewerTrianglesTheBoxLevelFewest) {
  for (const int lods : {1, 2, 3}) {
    EngineOptions options;
    options.lods = lods;
    for (const Case& c : kCases) {
      const Made made = Make(c);
      const std::vector<PieceLevel> pieceLevels = MakePieceLevels(made.kit, lods);
      const EngineExtras extras = MakeEngineExtras(made.kit, MakeTriangleMeshes(made.kit), made.plan, made.request,
                                                   made.frame, options, &pieceLevels);
      ASSERT_EQ(extras.levelCount(), static_cast<std::size_t>(lods)) << Name(c);
      ASSERT_EQ(extras.levels.size(), lods >= 2 ? 1u : 0u) << Name(c);
      std::uint64_t before = Triangles(made.kit, made.plan);
      for (std::size_t level = 0; level < extras.levelCount(); ++level) {
        const bool laidOut = level < extras.streamed.size();
        const std::uint64_t triangles = laidOut ? LevelTriangles(*extras.streamed[level], made.kit, made.plan)
                                                : extras.levels[level - extras.streamed.size()].triangles();
        EXPECT_GT(triangles, 0u) << Name(c) << " level " << level + 1;
        EXPECT_LT(triangles, before) << Name(c) << " level " << level + 1;
        before = triangles;
      }
      for (const ExtraMesh& mesh : extras.levels) {
        for (const ExtraPart& part : mesh.parts) EXPECT_EQ(part.normals.size(), part.positions.size()) << Name(c);
      }
      if (lods == 1) continue;
      const std::uint64_t blocks = static_cast<std::uint64_t>(BlockCount(made.request));
      EXPECT_LE(extras.levels.back().triangles(), 12 * blocks + (c.roof == RoofShape::Flat ? 0 : 4)) << Name(c);
    }
  }
}

// The first level has richer forms of the storeys' facade pieces that its lean forms make their
// cards (B's floor piece): a building takes them when its level with them keeps within a third of
// its triangles (a large building, whose storeys' walls outweigh its corners), and the lean forms
// when it would not (a small one). Either way the level keeps within that third.
TEST(EngineExtras, ABuildingTakesTheRicherFirstLevelWhenItKeepsWithinAThird) {
  EngineOptions options;
  options.lods = 3;
  const std::pair<Case, bool> cases[] = {{{"B", 10, 8, 8, RoofShape::Flat, {}}, true},
                                         {{"B", 3, 2, 2, RoofShape::Gable, {}}, false}};
  for (const auto& [c, richer] : cases) {
    Made made = Make(c);
    std::vector<PieceId> cardPieces;
    made.kit = KitWithCards(made.kit, {{c.style, kShipped, true}}, cardPieces);
    const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(made.kit);
    const std::vector<PieceLevel> levels = MakePieceLevels(made.kit, 3);
    ASSERT_TRUE(levels[0].richer) << Name(c);
    EXPECT_FALSE(levels[1].richer) << Name(c);
    // The richer forms differ from the lean ones in the floor piece and its variants alone, and
    // have more triangles there.
    const PieceId floor = made.kit.style(c.style)->piece(PieceKind::Floor);
    std::vector<PieceId> storeys = made.kit.pieces[floor].forms;
    storeys.push_back(floor);
    std::size_t differ = 0;
    for (PieceId id = 0; id < made.kit.pieces.size(); ++id) {
      std::size_t lean = 0, rich = 0;
      for (const MeshPart& part : levels[0].pieces[id].parts) lean += part.indices.size() / 3;
      for (const MeshPart& part : levels[0].richer->pieces[id].parts) rich += part.indices.size() / 3;
      if (rich == lean) continue;
      ++differ;
      EXPECT_NE(std::find(storeys.begin(), storeys.end(), id), storeys.end()) << made.kit.pieces[id].name;
      EXPECT_GT(rich, lean) << made.kit.pieces[id].name;
    }
    EXPECT_GT(differ, 0u) << Name(c);
    const EngineExtras extras =
        MakeEngineExtras(made.kit, pieces, made.plan, made.request, made.frame, options, &levels);
    ASSERT_EQ(extras.streamed.size(), 2u) << Name(c);
    EXPECT_EQ(extras.streamed[0], richer ? levels[0].richer.get() : &levels[0]) << Name(c);
    EXPECT_EQ(extras.streamed[1], &levels[1]) << Name(c);
    const std::uint64_t own = Triangles(made.kit, made.plan);
    EXPECT_LE(3 * LevelTriangles(*extras.streamed[0], made.kit, made.plan), own) << Name(c);
    if (!richer) {
      EXPECT_GT(3 * LevelTriangles(*levels[0].richer, made.kit, made.plan), own) << Name(c);
    }
  }
  // Without the card sheets no piece is its card, and the first level has no richer forms.
  const Made made = Make(kCases[3]);
  for (const int lods : {1, 2}) EXPECT_FALSE(MakePieceLevels(made.kit, lods)[0].richer) << lods;
}

// The kit maps every face rigidly onto its strip of the sheet: a simplified piece's triangle keeps
// that mapping (each edge as long on the sheet, within the kit's own spread, as in space) or takes
// one texel for the whole triangle, never a stretch across strips.
TEST(EngineExtras, SimplifiedPiecesDoNotStretchTheSheet) {
  std::size_t textured = 0;
  for (const char* style : {"A", "B"}) {
    const Kit kit = LoadKit(kShipped, {style});
    const std::vector<PieceLevel> levels = MakePieceLevels(kit, 1);
    ASSERT_EQ(levels.size(), 1u);
    for (PieceId id = 0; id < kit.pieces.size(); ++id) {
      for (const MeshPart& part : levels[0].pieces[id].parts) {
        if (part.uvs.empty()) continue;
        for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
          double lowest = INFINITY, highest = 0;
          for (int k = 0; k < 3; ++k) {
            const std::uint32_t from = part.indices[i + k], to = part.indices[i + (k + 1) % 3];
            const VectorF& p = part.positions[from];
            const VectorF& q = part.positions[to];
            // Cell units to metres (3 m a cell and a storey in the shipped kit) do not change a ratio
            // of one triangle's edges.
            const double length = std::hypot(q.x - p.x, q.y - p.y, q.z - p.z);
            const double on = std::hypot(part.uvs[to].u - part.uvs[from].u, part.uvs[to].v - part.uvs[from].v);
            if (length < 1e-4) continue;
            lowest = std::min(lowest, on / length);
            highest = std::max(highest, on / length);
          }
          if (highest == 0) continue;  // one texel
          ++textured;
          EXPECT_LE(highest, lowest * 1.05 + 1e-6) << kit.pieces[id].name << " triangle " << i / 3;
        }
      }
    }
  }
  EXPECT_GT(textured, 0u) << "no simplified piece keeps the sheet";
}

// A simplified piece still fills its place: its box is the piece's, so that neighbours meet and the
// silhouette stays (but for a trim that stood out a few centimetres, and on the building's inner
// side of its walls, whose backs go, up to a wall's thickness; the party wall on a neighbour's roof
// has only a back at its foot, open below over its own wall and outside against the neighbour's
// slab, and loses that foot, up to the slab's height); it has no more triangles than the piece.
TEST(EngineExtras, ASimplifiedPieceKeepsItsBoxAndHasNoMoreTriangles) {
  constexpr double kTrim = 0.02;  // cell units: 6 cm of the shipped kit's 3 m
  constexpr double kWall = 0.1;   // cell units: the shipped kit's walls are 30 cm thick at most
  for (const char* style : {"A", "B"}) {
    const Kit kit = LoadKit(kShipped, {style});
    const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(kit);
    const std::vector<PieceLevel> levels = MakePieceLevels(kit, 1);
    for (PieceId id = 0; id < kit.pieces.size(); ++id) {
      std::size_t before = 0, after = 0;
      VectorF low(INFINITY, INFINITY, INFINITY), high(-INFINITY, -INFINITY, -INFINITY);
      VectorF keptLow = low, keptHigh = high;
      const auto grow = [](VectorF& io_low, VectorF& io_high, const MeshPart& i_part) {
        io_low = VectorF(std::min(io_low.x, i_part.low.x), std::min(io_low.y, i_part.low.y), std::min(io_low.z, i_part.low.z));
        io_high = VectorF(std::max(io_high.x, i_part.high.x), std::max(io_high.y, i_part.high.y),
                          std::max(io_high.z, i_part.high.z));
      };
      for (const MeshPart& part : pieces[id].parts) {
        before += part.indices.size() / 3;
        grow(low, high, part);
      }
      for (const MeshPart& part : levels[0].pieces[id].parts) {
        after += part.indices.size() / 3;
        grow(keptLow, keptHigh, part);
      }
      EXPECT_LE(after, before) << kit.pieces[id].name;
      if (before == 0) continue;
      EXPECT_GT(after, 0u) << kit.pieces[id].name;
      // Pieces face out along +x (and +z at a corner): their inner side is towards -x and -z.
      EXPECT_GE(keptLow.x, low.x - kTrim) << kit.pieces[id].name;
      EXPECT_LE(keptLow.x, low.x + kWall + kTrim) << kit.pieces[id].name;
      const bool footOpen = id == kit.style(style)->piece(PieceKind::TerraceFloorCloseParty);
      EXPECT_NEAR(keptLow.y, low.y, footOpen ? kWall + kTrim : kTrim) << kit.pieces[id].name;
      EXPECT_GE(keptLow.z, low.z - kTrim) << kit.pieces[id].name;
      EXPECT_LE(keptLow.z, low.z + kWall + kTrim) << kit.pieces[id].name;
      EXPECT_NEAR(keptHigh.x, high.x, kTrim) << kit.pieces[id].name;
      EXPECT_NEAR(keptHigh.y, high.y, kTrim) << kit.pieces[id].name;
      EXPECT_NEAR(keptHigh.z, high.z, kTrim) << kit.pieces[id].name;
    }
  }
}

// Neighbours meet where they met: every corner of a facade piece's outer wall on the open border
// at the cell's side (z = -0.5 or 0.5), where the next piece of the row takes over, is still a
// vertex of the simplified piece.
TEST(EngineExtras, ASimplifiedFacadePieceKeepsItsOuterWallsCornersAtTheCellsSides) {
  for (const char* style : {"A", "B", "S"}) {
    const Kit kit = LoadKit(kShipped, {style});
    const std::vector<PieceLevel> levels = MakePieceLevels(kit, 1);
    for (const PieceKind kind : {PieceKind::Floor, PieceKind::Ground, PieceKind::GroundDoor}) {
      const PieceId id = kit.style(style)->piece(kind);
      std::vector<VectorF> kept;
      for (const MeshPart& part : levels[0].pieces[id].parts) kept.insert(kept.end(), part.positions.begin(), part.positions.end());
      std::size_t corners = 0;
      for (const MeshPart& part : MakeTriangleMesh(kit.pieces[id]).parts) {
        for (std::size_t i = 0; i < part.indices.size(); ++i) {
          const VectorF& p = part.positions[part.indices[i]];
          if (part.normals[part.indices[i]].x < 0.99f || std::fabs(std::fabs(p.z) - 0.5f) > 1e-5f) continue;
          ++corners;
          const bool found = std::any_of(kept.begin(), kept.end(), [&](const VectorF& q) {
            return q.x == p.x && q.y == p.y && q.z == p.z;
          });
          EXPECT_TRUE(found) << kit.pieces[id].name << " lost (" << p.x << ", " << p.y << ", " << p.z << ")";
        }
      }
      EXPECT_GT(corners, 0u) << kit.pieces[id].name;
    }
  }
}

// A facade piece's card is one quad on its outer side, facing out (+x), wound so that it faces
// the way its normal says.
TEST(EngineExtras, AFacadePiecesCardIsOneQuadFacingOut) {
  for (const char* style : {"A", "B"}) {
    const Kit kit = LoadKit(kShipped, {style});
    const std::vector<PieceLevel> levels = MakePieceLevels(kit, 3);
    ASSERT_EQ(levels.size(), 2u);
    for (const PieceKind kind : {PieceKind::Floor, PieceKind::Ground, PieceKind::FloorClose}) {
      const PieceId id = kit.style(style)->piece(kind);
      std::size_t triangles = 0;
      for (const MeshPart& part : levels[1].pieces[id].parts) {
        for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
          ++triangles;
          const VectorF& a = part.positions[part.indices[i]];
          const VectorF& b = part.positions[part.indices[i + 1]];
          const VectorF& c = part.positions[part.indices[i + 2]];
          const double nx = (b.y - a.y) * (c.z - a.z) - (b.z - a.z) * (c.y - a.y);
          EXPECT_GT(nx, 0) << kit.pieces[id].name;
          EXPECT_GT(a.x, 0.3) << kit.pieces[id].name;
          EXPECT_FLOAT_EQ(part.normals[part.indices[i]].x, 1.0f) << kit.pieces[id].name;
        }
      }
      EXPECT_EQ(triangles, 2u) << kit.pieces[id].name;
    }
  }
}

// The far levels' tones come from the sheets: every material with a map has its decoded sheet, and
// the tone nearest a colour taken from the sheet looks like it (a sheet read with the wrong stride,
// or not at all, gives tones of another colour or none).
TEST(EngineExtras, TheSheetsToneNearestAColourOfTheSheetLooksLikeIt) {
  const Kit kit = LoadKit(kShipped, {"A", "B"});
  const SheetTones tones = LoadSheetTones(kit);
  const std::vector<bool> mapped = MappedMaterials(kit);
  std::size_t checked = 0;
  for (std::uint32_t material = 0; material < kit.materials.size(); ++material) {
    if (!mapped[material]) continue;
    ASSERT_TRUE(tones.hasSheet(material)) << kit.materials[material];
    for (const UV uv : {UV(0.1f, 0.2f), UV(0.5f, 0.5f), UV(0.83f, 0.61f)}) {
      const Colour colour = tones.colour(material, uv);
      const Colour found = tones.colour(material, tones.nearest(material, colour));
      double distance = 0;
      for (std::size_t k = 0; k < 3; ++k) distance += (found[k] - colour[k]) * (found[k] - colour[k]);
      EXPECT_LE(std::sqrt(distance), 48) << kit.materials[material] << " at " << uv.u << ", " << uv.v;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0u);
}

TEST(EngineExtras, ADoorMarkerStandsOnTheThresholdInTheFacadeFacingOut) {
  EngineOptions options;
  options.markers = true;
  const Made made = Make(kCases[1]);  // 3 x 2 cells between the corners, door SC
  const EngineExtras extras =
      MakeEngineExtras(made.kit, MakeTriangleMeshes(made.kit), made.plan, made.request, made.frame, options);
  ASSERT_EQ(extras.doors.size(), 1u);
  const DoorMarker& door = extras.doors[0];
  EXPECT_EQ(door.name, "door_SC");
  // The south facade's outer face is the footprint's -x edge: 2.5 cells from the centre, 3 m each.
  EXPECT_FLOAT_EQ(door.translation[0], -7.5f);
  EXPECT_FLOAT_EQ(door.translation[1], 0.0f);
  // SC is the first of the two middle cells from the west: half a cell west of the centre.
  EXPECT_FLOAT_EQ(door.translation[2], -1.5f);
  // The node's +z, turned by the quaternion, points to -x.
  const float y = door.rotation[1], w = door.rotation[3];
  EXPECT_NEAR(2 * y * w, -1.0, 1e-6);             // x of the turned +z
  EXPECT_NEAR(1 - 2 * y * y, 0.0, 1e-6);          // z of the turned +z
  EXPECT_NEAR(y * y + w * w, 1.0, 1e-6);
}

// A tileset's far level is made from the pieces' far parts, kept per facing and scale: it must be
// the box level that the walk over every placed vertex makes, face for face, material for
// material, within rounding; and the same again from the far parts kept from the first building.
TEST(EngineExtras, AFarLevelFromThePiecesFarPartsIsTheWalkedBoxLevel) {
  EngineOptions options;
  options.lods = 2;
  std::vector<Case> cases(std::begin(kCases), std::end(kCases));
  cases.push_back({"B", 50, 30, 6, RoofShape::Hip, {}});
  for (const Case& c : cases) {
    const Made made = Make(c);
    const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(made.kit);
    const std::vector<bool> mapped = MappedMaterials(made.kit);
    const ExtraMesh walked =
        MakeEngineExtras(made.kit, pieces, made.plan, made.request, made.frame, options, nullptr, mapped).levels.back();
    FarPieces farPieces;
    for (int again = 0; again < 2; ++again) {
      const FarLevel far = MakeFarLevel(made.kit, pieces, made.plan, made.request, made.frame, mapped, farPieces);
      ASSERT_EQ(far.mesh.parts.size(), walked.parts.size()) << Name(c);
      for (std::size_t p = 0; p < walked.parts.size(); ++p) {
        const ExtraPart& mine = far.mesh.parts[p];
        const ExtraPart& theirs = walked.parts[p];
        EXPECT_EQ(mine.material, theirs.material) << Name(c);
        ASSERT_EQ(mine.positions.size(), theirs.positions.size()) << Name(c) << " part " << p;
        ASSERT_EQ(mine.uvs.size(), theirs.uvs.size()) << Name(c) << " part " << p;
        for (std::size_t v = 0; v < theirs.positions.size(); ++v) {
          EXPECT_NEAR(mine.positions[v].x, theirs.positions[v].x, 1e-4) << Name(c);
          EXPECT_NEAR(mine.positions[v].y, theirs.positions[v].y, 1e-4) << Name(c);
          EXPECT_NEAR(mine.positions[v].z, theirs.positions[v].z, 1e-4) << Name(c);
        }
        for (std::size_t v = 0; v < theirs.uvs.size(); ++v) {
          EXPECT_NEAR(mine.uvs[v].u, theirs.uvs[v].u, 1e-5) << Name(c);
          EXPECT_NEAR(mine.uvs[v].v, theirs.uvs[v].v, 1e-5) << Name(c);
        }
      }
      EXPECT_GE(far.error, 0) << Name(c);
    }
  }
}

// A box wall of 2 to 12 cells shows its own strip of the short walls' picture, from its first
// cell's edge to its last's; a longer wall repeats the floor picture.
TEST(EngineExtras, ABoxWallOfAFewCellsShowsItsStripOfTheShortWallsPicture) {
  EngineOptions options;
  options.lods = 3;
  // -w 3 -l 2: walls of 5 and 4 cells; -w 10 -l 11: 12 and 13.
  const std::pair<Case, std::vector<int>> cases[] = {{{"A", 3, 2, 3, RoofShape::Flat, {}}, {4, 5}},
                                                     {{"A", 10, 11, 2, RoofShape::Flat, {}}, {12}}};
  for (const auto& [c, lengths] : cases) {
    Made made = Make(c);
    std::vector<PieceId> cardPieces;
    made.kit = KitWithCards(made.kit, {{"A", kShipped, true}}, cardPieces);
    const std::vector<TriangleMesh> pieces = MakeTriangleMeshes(made.kit);
    const ExtraMesh box =
        MakeEngineExtras(made.kit, pieces, made.plan, made.request, made.frame, options, nullptr).levels.back();
    const auto named = [&](const std::string& i_name) {
      return static_cast<std::uint32_t>(std::find(made.kit.materials.begin(), made.kit.materials.end(), i_name) -
                                        made.kit.materials.begin());
    };
    std::vector<int> found;
    bool repeated = false;
    for (const ExtraPart& part : box.parts) {
      repeated = repeated || part.material == named(FacadeMaterialName("A"));
      if (part.material != named(EndsMaterialName("A"))) continue;
      // Each wall's triangles, gathered by the wall's plane, span its strip (in cells of the picture).
      std::map<std::pair<long, long>, std::pair<double, double>> walls;
      for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
        const VectorF& n = part.normals[part.indices[i]];
        const VectorF& p = part.positions[part.indices[i]];
        const bool alongX = std::fabs(n.x) > std::fabs(n.z);
        const std::pair<long, long> key{std::lround(alongX ? n.x : 2 * n.z), std::lround(alongX ? p.x : p.z)};
        auto& span = walls.emplace(key, std::make_pair(INFINITY, -INFINITY)).first->second;
        for (std::size_t k = i; k < i + 3; ++k) {
          span.first = std::min(span.first, part.uvs[part.indices[k]].u * static_cast<double>(EndsWidth()));
          span.second = std::max(span.second, part.uvs[part.indices[k]].u * static_cast<double>(EndsWidth()));
        }
      }
      // A balcony or a cornice reaches past the wall's end cells by less than half a cell.
      for (const auto& [wall, span] : walls) {
        int cells = 2;
        while (cells < kFacadeEndsLongest && EndsStart(cells) + 0.5 < span.first) ++cells;
        found.push_back(cells);
        EXPECT_NEAR(span.first, EndsStart(cells), 0.5) << Name(c) << " " << cells;
        EXPECT_NEAR(span.second, EndsStart(cells) + cells, 0.5) << Name(c) << " " << cells;
      }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    EXPECT_EQ(found, lengths) << Name(c);
    EXPECT_EQ(repeated, lengths.size() == 1) << Name(c);
  }
}

TEST(EngineExtras, HullNamesFollowTheEnginesConventions) {
  EXPECT_EQ(HullName("building_1", CollisionNaming::Godot, 0), "building_1-colonly");
  EXPECT_EQ(HullName("building_1", CollisionNaming::Godot, 1), "building_1_01-colonly");
  EXPECT_EQ(HullName("building_1", CollisionNaming::Unreal, 0), "UCX_building_1_00");
  EXPECT_EQ(HullName("tower", CollisionNaming::Unreal, 12), "UCX_tower_12");
  EXPECT_EQ(LevelName("tower", 2), "tower_LOD2");
}

}  // namespace
