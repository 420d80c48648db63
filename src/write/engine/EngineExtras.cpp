// Collision hulls, levels of detail and door markers of one building.

#include "write/engine/EngineExtras.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <ostrel/ext/Mtl.h>
#include <ostrel/layout/Blocks.h>
#include <ostrel/layout/Instance.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>
#include <ostrel/write/CardSheets.h>

#include "write/gltf/GltfTangents.h"

namespace Ostrel::Buildings {

namespace {

using Point3 = std::array<double, 3>;
using Point2 = std::array<double, 2>;

// Where a triangle faces: the four walls (north +x, east +z, south -x, west -z), up, down.
enum Side { kNorth, kEast, kSouth, kWest, kUp, kDown, kSides };

// Triangle area per material (kit material id), for each side of each block.
using SideAreas = std::array<std::map<std::uint32_t, double>, kSides>;

// The texture coordinates of the materials with a map, gathered so that a box level's face of a
// material can take the middle of its material's coordinates: one flat tone of it.
struct Tones {
  std::vector<bool> mapped;                              // by kit material id: has a map
  std::map<std::uint32_t, std::array<double, 3>> uvSums;  // a mapped material's u, v and count
  const SheetTones* sheets = nullptr;  // the sheets' colours, when the faces are toned from them

  bool isMapped(std::uint32_t i_material) const { return i_material < mapped.size() && mapped[i_material]; }

  // The middle of a mapped material's texture coordinates.
  UV centre(std::uint32_t i_material) const {
    const auto sums = uvSums.find(i_material);
    if (sums == uvSums.end()) return UV(0, 0);
    const std::array<double, 3>& s = sums->second;
    return UV(static_cast<float>(s[0] / s[2]), static_cast<float>(s[1] / s[2]));
  }
};

std::vector<Point2> ConvexHull(std::vector<Point2> io_points);

// What a block's hull is made of: the box of its vertices and, for the block under a pitched
// roof, their outlines seen along z, (x, y), and along x, (z, y). An outline is cut back to its
// convex hull whenever it grows long, so that the memory a hull takes does not grow with the
// building.
struct BlockOutline {
  Point3 low{INFINITY, INFINITY, INFINITY};
  Point3 high{-INFINITY, -INFINITY, -INFINITY};
  bool outlines = false;  // whether the outlines are kept
  std::vector<Point2> alongZ;
  std::vector<Point2> alongX;
  std::size_t cutAt = 1 << 16;  // outline points

  bool empty() const { return low[0] > high[0]; }

  void add(const Point3& i_p) {
    for (std::size_t k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], i_p[k]);
      high[k] = std::max(high[k], i_p[k]);
    }
    if (!outlines) return;
    alongZ.push_back({i_p[0], i_p[1]});
    alongX.push_back({i_p[2], i_p[1]});
    cutIfLong();
  }

  // The box of points whose box is i_a to i_b (either corner may be the lower).
  void addBox(const Point3& i_a, const Point3& i_b) {
    for (std::size_t k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], std::min(i_a[k], i_b[k]));
      high[k] = std::max(high[k], std::max(i_a[k], i_b[k]));
    }
  }

  void cutIfLong() {
    if (std::max(alongZ.size(), alongX.size()) < cutAt) return;
    alongZ = ConvexHull(std::move(alongZ));
    alongX = ConvexHull(std::move(alongX));
    cutAt = std::max<std::size_t>(cutAt, 2 * std::max(alongZ.size(), alongX.size()));
  }
};

// What a walk over the building's placed triangles gathers.
struct Gathered {
  std::vector<BlockOutline> blockOutlines;  // by block
  std::vector<SideAreas> blockAreas;             // by block, for the box level
  Tones tones;                                   // for the box level
  // By block and side, with tones.sheets: area times the colour of the faces, and the area.
  std::vector<std::array<std::array<double, 4>, kSides>> blockColours;
  // The same for the walls from the pieces' cards, which show what the faces show from outside.
  std::vector<std::array<std::array<double, 4>, kSides>> cardColours;
  // By block, when the pieces' styles have facade pictures: the one its walls repeat (the
  // facade material of most of its placements; Obj::kNoMaterial for none), and a corner of one
  // of its cells, where a picture starts (output units).
  std::vector<std::uint32_t> blockFacades;
  std::vector<Point3> blockCorners;
  // By block: the short walls' picture of its facade's style (Obj::kNoMaterial for none), shown
  // on a wall that ends at corner cells; walls end there on every block that is a rectangle.
  std::vector<std::uint32_t> blockEnds;
  bool rectangles = true;
  // By block: the box of the cells its style's pieces stand in (output units), whose sides are
  // its walls' ends; balconies and cornices reach past them.
  std::vector<BlockOutline> blockCells;
  Point3 cellSize{1, 1, 1};  // output units a cell along x and z, a storey along y
};

Point3 Sub(const Point3& i_a, const Point3& i_b) { return {i_a[0] - i_b[0], i_a[1] - i_b[1], i_a[2] - i_b[2]}; }

Point3 Cross(const Point3& i_a, const Point3& i_b) {
  return {i_a[1] * i_b[2] - i_a[2] * i_b[1], i_a[2] * i_b[0] - i_a[0] * i_b[2], i_a[0] * i_b[1] - i_a[1] * i_b[0]};
}

double Dot(const Point3& i_a, const Point3& i_b) { return i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2]; }

Point3 ToPoint(const VectorF& i_p) { return {i_p.x, i_p.y, i_p.z}; }

// The side a face of this normal (of any length) stands for: the axis it points along most.
Side SideOf(const Point3& i_normal) {
  const double ax = std::fabs(i_normal[0]), ay = std::fabs(i_normal[1]), az = std::fabs(i_normal[2]);
  if (ay >= ax && ay >= az) return i_normal[1] >= 0 ? kUp : kDown;
  if (ax >= az) return i_normal[0] >= 0 ? kNorth : kSouth;
  return i_normal[2] >= 0 ? kEast : kWest;
}

// The short walls' material of the style of a facade material; Obj::kNoMaterial for none.
std::uint32_t EndsMaterial(const Kit& i_kit, std::uint32_t i_facade) {
  if (i_facade >= i_kit.materials.size()) return Obj::kNoMaterial;
  for (const KitStyle& style : i_kit.styles) {
    if (i_kit.materials[i_facade] != FacadeMaterialName(style.name)) continue;
    const auto named = std::find(i_kit.materials.begin(), i_kit.materials.end(), EndsMaterialName(style.name));
    if (named != i_kit.materials.end()) return static_cast<std::uint32_t>(named - i_kit.materials.begin());
  }
  return Obj::kNoMaterial;
}

Gathered Gather(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                const Request& i_request, const Frame& i_frame, bool i_levels, const std::vector<bool>& i_mapped,
                const SheetTones* i_sheets = nullptr,
                const std::vector<std::array<CardTone, 4>>* i_cards = nullptr,
                const std::vector<std::uint32_t>& i_facades = {}) {
  Gathered gathered;
  gathered.tones.mapped = i_mapped;
  gathered.tones.sheets = i_sheets;
  const auto blocks = static_cast<std::size_t>(std::max<std::int64_t>(1, BlockCount(i_request)));
  gathered.blockOutlines.resize(blocks);
  gathered.blockOutlines.back().outlines = i_request.roof != RoofShape::Flat;
  gathered.blockAreas.resize(blocks);
  if (i_sheets) gathered.blockColours.resize(blocks);
  const bool cards = i_sheets && i_cards && !i_cards->empty();
  if (cards) gathered.cardColours.resize(blocks);
  // Each block's votes for a facade, by material.
  std::vector<std::map<std::uint32_t, std::uint64_t>> facadeVotes(i_facades.empty() ? 0 : blocks);
  if (!i_facades.empty()) gathered.blockCorners.resize(blocks, {NAN, NAN, NAN});
  if (!i_facades.empty()) gathered.blockCells.resize(blocks);
  gathered.cellSize = {i_frame.xscale, i_frame.yscale, i_frame.zscale};
  std::vector<Point3> placed;
  const FootprintBlocks footprintBlocks = FootprintBlocksOf(i_request);
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    const std::int64_t block = std::clamp<std::int64_t>(BlockOf(i_request, footprintBlocks, i_placement), 0,
                                                        static_cast<std::int64_t>(blocks) - 1);
    const PlacementFloats at = FloatsOf(i_placement);
    if (!i_facades.empty() && i_facades[i_placement.piece] != Obj::kNoMaterial) {
      const auto b = static_cast<std::size_t>(block);
      ++facadeVotes[b][i_facades[i_placement.piece]];
      float low[3], high[3];
      PlacePosition(VectorF(-0.5f, 0, -0.5f), at, i_frame, low);
      PlacePosition(VectorF(0.5f, 0, 0.5f), at, i_frame, high);
      gathered.blockCells[b].addBox({low[0], low[1], low[2]}, {high[0], high[1], high[2]});
      // The block's first placed cell's corner is where its pictures start.
      if (std::isnan(gathered.blockCorners[b][0])) gathered.blockCorners[b] = {low[0], low[1], low[2]};
    }
    if (cards) {
      // Each card side counts towards the wall it faces once placed.
      float origin[3], ends[4][3];
      PlacePosition(VectorF(0, 0, 0), at, i_frame, origin);
      const VectorF ways[4] = {VectorF(1, 0, 0), VectorF(-1, 0, 0), VectorF(0, 0, 1), VectorF(0, 0, -1)};
      const std::array<CardTone, 4>& tones = (*i_cards)[i_placement.piece];
      for (std::size_t s = 0; s < 4; ++s) {
        if (!(tones[s].area > 0)) continue;
        PlacePosition(ways[s], at, i_frame, ends[s]);
        const Side side = SideOf({ends[s][0] - origin[0], ends[s][1] - origin[1], ends[s][2] - origin[2]});
        std::array<double, 4>& sums =
            gathered.cardColours[static_cast<std::size_t>(block)][static_cast<std::size_t>(side)];
        const double area = tones[s].area;
        sums = {sums[0] + area * tones[s].mean[0], sums[1] + area * tones[s].mean[1],
                sums[2] + area * tones[s].mean[2], sums[3] + area};
      }
    }
    for (const MeshPart& part : i_pieces[i_placement.piece].parts) {
      placed.clear();
      for (const VectorF& p : part.positions) {
        float xyz[3];
        PlacePosition(p, at, i_frame, xyz);
        placed.push_back({xyz[0], xyz[1], xyz[2]});
      }
      if (!footprintBlocks.cells.empty()) {
        // A footprint's piece may reach into the next rectangle (an inner corner builds the walls
        // of two cells beside its own): each point goes to the block of the cell it lies in.
        for (std::size_t k = 0; k < part.positions.size(); ++k) {
          const VectorF& q = part.positions[k];
          const float x = q.x * at.zd - q.z * at.xd + at.x, z = q.x * at.xd + q.z * at.zd + at.z;
          const std::int64_t pointBlock = BlockAtPoint(footprintBlocks, x, z, block);
          gathered.blockOutlines[static_cast<std::size_t>(pointBlock)].add(placed[k]);
        }
      } else {
        BlockOutline& outline = gathered.blockOutlines[static_cast<std::size_t>(block)];
        for (const Point3& p : placed) outline.add(p);
      }
      if (!i_levels) continue;
      SideAreas& areas = gathered.blockAreas[static_cast<std::size_t>(block)];
      for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
        const Point3& a = placed[part.indices[i]];
        const Point3 normal = Cross(Sub(placed[part.indices[i + 1]], a), Sub(placed[part.indices[i + 2]], a));
        const double area = std::sqrt(Dot(normal, normal)) / 2;
        areas[SideOf(normal)][part.material] += area;
        if (!i_sheets) continue;
        UV middle(0, 0);
        for (std::size_t k = 0; k < 3 && !part.uvs.empty(); ++k) {
          const UV& uv = part.uvs[part.indices[i + k]];
          middle = UV(middle.u + uv.u / 3, middle.v + uv.v / 3);
        }
        const Colour colour = i_sheets->colour(part.material, middle);
        std::array<double, 4>& sums =
            gathered.blockColours[static_cast<std::size_t>(block)][static_cast<std::size_t>(SideOf(normal))];
        sums = {sums[0] + area * colour[0], sums[1] + area * colour[1], sums[2] + area * colour[2], sums[3] + area};
      }
      if (!gathered.tones.isMapped(part.material) || part.uvs.empty()) continue;
      std::array<double, 3>& sums = gathered.tones.uvSums[part.material];
      for (const std::uint32_t index : part.indices) {
        const UV& uv = part.uvs[index];
        sums = {sums[0] + uv.u, sums[1] + uv.v, sums[2] + 1};
      }
    }
  });
  for (const auto& votes : facadeVotes) {
    std::uint32_t best = Obj::kNoMaterial;
    std::uint64_t most = 0;
    for (const auto& [material, count] : votes) {
      if (count > most) {
        most = count;
        best = material;
      }
    }
    gathered.blockFacades.push_back(best);
    gathered.blockEnds.push_back(EndsMaterial(i_kit, best));
  }
  gathered.rectangles = footprintBlocks.cells.empty();
  return gathered;
}

// A part's far part at one facing (FarPart): placed at cell 0 with only the frame's scales, so
// that its areas are those of every placement of that facing.
FarPart MakeFarPart(const MeshPart& i_part, float i_xd, float i_zd, const Frame& i_frame) {
  FarPart far;
  far.material = i_part.material;
  far.low = VectorF(INFINITY, INFINITY, INFINITY);
  far.high = VectorF(-INFINITY, -INFINITY, -INFINITY);
  std::vector<Point2> alongZ, alongX;
  for (const VectorF& p : i_part.positions) {
    // Turned as PlacePosition turns it, to the same bits.
    const float x = p.x * i_zd - p.z * i_xd, z = p.x * i_xd + p.z * i_zd;
    far.low = VectorF(std::min(far.low.x, x), std::min(far.low.y, p.y), std::min(far.low.z, z));
    far.high = VectorF(std::max(far.high.x, x), std::max(far.high.y, p.y), std::max(far.high.z, z));
    alongZ.push_back({x, p.y});
    alongX.push_back({z, p.y});
  }
  for (const Point2& c : ConvexHull(std::move(alongZ))) far.alongZ.push_back({static_cast<float>(c[0]), static_cast<float>(c[1])});
  for (const Point2& c : ConvexHull(std::move(alongX))) far.alongX.push_back({static_cast<float>(c[0]), static_cast<float>(c[1])});
  Frame scales;
  scales.xscale = i_frame.xscale;
  scales.yscale = i_frame.yscale;
  scales.zscale = i_frame.zscale;
  const PlacementFloats at{0, 0, 0, i_xd, i_zd};
  std::vector<Point3> placed;
  for (const VectorF& p : i_part.positions) {
    float xyz[3];
    PlacePosition(p, at, scales, xyz);
    placed.push_back({xyz[0], xyz[1], xyz[2]});
  }
  for (std::size_t i = 0; i + 2 < i_part.indices.size(); i += 3) {
    const Point3& a = placed[i_part.indices[i]];
    const Point3 normal = Cross(Sub(placed[i_part.indices[i + 1]], a), Sub(placed[i_part.indices[i + 2]], a));
    const Side side = SideOf(normal);
    far.areas[side] += std::sqrt(Dot(normal, normal)) / 2;
    far.faces[side] = true;
  }
  for (const std::uint32_t index : i_part.indices) {
    if (i_part.uvs.empty()) break;
    const UV& uv = i_part.uvs[index];
    far.uvSums = {far.uvSums[0] + uv.u, far.uvSums[1] + uv.v, far.uvSums[2] + 1};
  }
  far.uvs = !i_part.uvs.empty();
  return far;
}

const std::vector<FarPart>& FarPartsOf(FarPieces& io_pieces, const std::vector<TriangleMesh>& i_pieces,
                                       PieceId i_piece, const PlacementFloats& i_at, const Frame& i_frame) {
  const FarPieces::Key key{i_piece, i_at.xd, i_at.zd, i_frame.xscale, i_frame.yscale, i_frame.zscale};
  const auto found = io_pieces.parts.find(key);
  if (found != io_pieces.parts.end()) return found->second;
  std::vector<FarPart> parts;
  for (const MeshPart& part : i_pieces[i_piece].parts) parts.push_back(MakeFarPart(part, i_at.xd, i_at.zd, i_frame));
  return io_pieces.parts.emplace(key, std::move(parts)).first->second;
}

// Gather's walk for a far level, from the pieces' far parts: each placed part gives its block the
// box of its corners and the outline of its hull's corners, its areas and its texture sums. For a
// frame that neither turns nor moves the building, in which each placed coordinate is an affine
// map of the same turned one (x of x, y of y, z of z), so that boxes and hulls map to theirs.
Gathered GatherFar(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                   const Request& i_request, const Frame& i_frame, const std::vector<bool>& i_mapped,
                   FarPieces& io_pieces) {
  Gathered gathered;
  gathered.tones.mapped = i_mapped;
  const auto blocks = static_cast<std::size_t>(std::max<std::int64_t>(1, BlockCount(i_request)));
  gathered.blockOutlines.resize(blocks);
  gathered.blockOutlines.back().outlines = i_request.roof != RoofShape::Flat;
  gathered.blockAreas.resize(blocks);
  const FootprintBlocks footprintBlocks = FootprintBlocksOf(i_request);
  // A footprint's part may reach into the next block: its points are gathered one by one.
  if (!footprintBlocks.cells.empty()) return Gather(i_kit, i_pieces, i_plan, i_request, i_frame, true, i_mapped);
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    const std::int64_t block = std::clamp<std::int64_t>(BlockOf(i_request, footprintBlocks, i_placement), 0,
                                                        static_cast<std::int64_t>(blocks) - 1);
    const PlacementFloats at = FloatsOf(i_placement);
    // PlacePosition's moves and scales, in its order.
    const auto x = [&](float i_x) -> double { return (i_x + at.x - i_frame.xpivot) * i_frame.xscale; };
    const auto y = [&](float i_y) -> double { return (i_y + at.y) * i_frame.yscale; };
    const auto z = [&](float i_z) -> double { return (i_z + at.z - i_frame.zpivot) * i_frame.zscale; };
    BlockOutline& outline = gathered.blockOutlines[static_cast<std::size_t>(block)];
    SideAreas& areas = gathered.blockAreas[static_cast<std::size_t>(block)];
    for (const FarPart& part : FarPartsOf(io_pieces, i_pieces, i_placement.piece, at, i_frame)) {
      outline.addBox({x(part.low.x), y(part.low.y), z(part.low.z)}, {x(part.high.x), y(part.high.y), z(part.high.z)});
      if (outline.outlines) {
        for (const auto& c : part.alongZ) outline.alongZ.push_back({x(c[0]), y(c[1])});
        for (const auto& c : part.alongX) outline.alongX.push_back({z(c[0]), y(c[1])});
        outline.cutIfLong();
      }
      for (std::size_t side = 0; side < kSides; ++side) {
        if (part.faces[side]) areas[side][part.material] += part.areas[side];
      }
      if (!gathered.tones.isMapped(part.material) || !part.uvs) continue;
      std::array<double, 3>& sums = gathered.tones.uvSums[part.material];
      sums = {sums[0] + part.uvSums[0], sums[1] + part.uvSums[1], sums[2] + part.uvSums[2]};
    }
  });
  return gathered;
}

// ---- Hulls ------------------------------------------------------------------------------------

// A closed convex solid: corners and outward-wound triangles.
struct Solid {
  std::vector<Point3> corners;
  std::vector<std::array<std::uint32_t, 3>> triangles;
};

double Cross2(const Point2& i_o, const Point2& i_a, const Point2& i_b) {
  return (i_a[0] - i_o[0]) * (i_b[1] - i_o[1]) - (i_a[1] - i_o[1]) * (i_b[0] - i_o[0]);
}

// The convex hull of the points, counter-clockwise, without corners on a straight side.
std::vector<Point2> ConvexHull(std::vector<Point2> io_points) {
  std::sort(io_points.begin(), io_points.end());
  io_points.erase(std::unique(io_points.begin(), io_points.end()), io_points.end());
  if (io_points.size() < 3) return io_points;
  std::vector<Point2> hull(2 * io_points.size());
  std::size_t k = 0;
  for (const Point2& p : io_points) {
    while (k >= 2 && Cross2(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (std::size_t i = io_points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && Cross2(hull[k - 2], hull[k - 1], io_points[i]) <= 0) --k;
    hull[k++] = io_points[i];
  }
  hull.resize(k - 1);
  return hull;
}

// Where the line through i_a along i_da meets the line through i_b along i_db; false when they
// do not meet ahead of i_a and behind i_b, as the removal of the side between them needs.
bool Meet(const Point2& i_a, const Point2& i_da, const Point2& i_b, const Point2& i_db, Point2& o_at) {
  const double denominator = i_da[0] * i_db[1] - i_da[1] * i_db[0];
  if (denominator <= 1e-12) return false;  // parallel, or turning away
  const double t = ((i_b[0] - i_a[0]) * i_db[1] - (i_b[1] - i_a[1]) * i_db[0]) / denominator;
  if (t < 0) return false;
  o_at = {i_a[0] + t * i_da[0], i_a[1] + t * i_da[1]};
  return true;
}

// Cuts a convex polygon down to i_corners corners, or as near as it goes, by taking away one side
// at a time: its two neighbours are drawn out until they meet. Each step takes the side whose
// removal adds the least area; the polygon only grows, so it still holds every point it held.
void ReduceCorners(std::vector<Point2>& io_polygon, std::size_t i_corners) {
  while (io_polygon.size() > i_corners) {
    const std::size_t n = io_polygon.size();
    double bestArea = INFINITY;
    std::size_t best = n;
    Point2 bestAt{};
    for (std::size_t i = 0; i < n; ++i) {
      // The side from corner i to corner i + 1; its neighbours end at i and start at i + 1.
      const Point2& p0 = io_polygon[(i + n - 1) % n];
      const Point2& p1 = io_polygon[i];
      const Point2& p2 = io_polygon[(i + 1) % n];
      const Point2& p3 = io_polygon[(i + 2) % n];
      Point2 at;
      if (!Meet(p1, {p1[0] - p0[0], p1[1] - p0[1]}, p2, {p3[0] - p2[0], p3[1] - p2[1]}, at)) continue;
      const double area = std::fabs(Cross2(p1, at, p2)) / 2;
      if (area < bestArea) {
        bestArea = area;
        best = i;
        bestAt = at;
      }
    }
    if (best == n) return;
    io_polygon[best] = bestAt;
    io_polygon.erase(io_polygon.begin() + static_cast<std::ptrdiff_t>((best + 1) % n));
  }
}

double PolygonArea(const std::vector<Point2>& i_polygon) {
  double twice = 0;
  for (std::size_t i = 0; i < i_polygon.size(); ++i) {
    const Point2& a = i_polygon[i];
    const Point2& b = i_polygon[(i + 1) % i_polygon.size()];
    twice += a[0] * b[1] - a[1] * b[0];
  }
  return twice / 2;
}

// A 3-D point of a prism along x (i_alongX) or z: (u, v) across it (u the other horizontal
// coordinate, v up), w along it.
Point3 PrismPoint(bool i_alongX, const Point2& i_uv, double i_w) {
  return i_alongX ? Point3{i_w, i_uv[1], i_uv[0]} : Point3{i_uv[0], i_uv[1], i_w};
}

// The prism of a convex polygon drawn out from i_w0 to i_w1, its triangles wound outwards.
Solid Prism(bool i_alongX, const std::vector<Point2>& i_polygon, double i_w0, double i_w1) {
  Solid solid;
  const auto n = static_cast<std::uint32_t>(i_polygon.size());
  for (const Point2& p : i_polygon) solid.corners.push_back(PrismPoint(i_alongX, p, i_w0));
  for (const Point2& p : i_polygon) solid.corners.push_back(PrismPoint(i_alongX, p, i_w1));
  for (std::uint32_t i = 1; i + 1 < n; ++i) {
    solid.triangles.push_back({0, i, i + 1});
    solid.triangles.push_back({n, n + i, n + i + 1});
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t j = (i + 1) % n;
    solid.triangles.push_back({i, j, n + j});
    solid.triangles.push_back({i, n + j, n + i});
  }
  Point3 centre{0, 0, 0};
  for (const Point3& c : solid.corners) {
    for (int k = 0; k < 3; ++k) centre[static_cast<std::size_t>(k)] += c[static_cast<std::size_t>(k)] / solid.corners.size();
  }
  // A convex solid's faces all face away from its centre.
  for (auto& t : solid.triangles) {
    const Point3& a = solid.corners[t[0]];
    const Point3 normal = Cross(Sub(solid.corners[t[1]], a), Sub(solid.corners[t[2]], a));
    if (Dot(normal, Sub(a, centre)) < 0) std::swap(t[1], t[2]);
  }
  return solid;
}

// The box of a block, as a prism along z.
Solid Box(const BlockOutline& i_block) {
  const Point3& low = i_block.low;
  const Point3& high = i_block.high;
  const std::vector<Point2> rectangle = {{low[0], low[1]}, {high[0], low[1]}, {high[0], high[1]}, {low[0], high[1]}};
  return Prism(false, rectangle, low[2], high[2]);
}

// The hull of a block under a pitched roof: of the prisms along x and along z, the smaller.
Solid RoofPrism(const BlockOutline& i_block) {
  Solid best;
  double bestVolume = INFINITY;
  for (const bool alongX : {false, true}) {
    std::vector<Point2> polygon = ConvexHull(alongX ? i_block.alongX : i_block.alongZ);
    if (polygon.size() < 3) continue;
    const double w0 = alongX ? i_block.low[0] : i_block.low[2];
    const double w1 = alongX ? i_block.high[0] : i_block.high[2];
    // Two walls, the floor and the two slopes.
    ReduceCorners(polygon, 5);
    const double volume = PolygonArea(polygon) * (w1 - w0);
    if (volume < bestVolume) {
      bestVolume = volume;
      best = Prism(alongX, polygon, w0, w1);
    }
  }
  return best.corners.empty() ? Box(i_block) : best;
}

std::vector<Solid> BlockSolids(const Gathered& i_gathered, const Request& i_request) {
  std::vector<Solid> solids;
  const std::size_t top = i_gathered.blockOutlines.size() - 1;
  for (std::size_t b = 0; b < i_gathered.blockOutlines.size(); ++b) {
    const BlockOutline& block = i_gathered.blockOutlines[b];
    if (block.empty()) {
      solids.emplace_back();
      continue;
    }
    const bool pitched = b == top && i_request.roof != RoofShape::Flat;
    solids.push_back(pitched ? RoofPrism(block) : Box(block));
  }
  return solids;
}

VectorF ToVector(const Point3& i_p) {
  return VectorF(static_cast<float>(i_p[0]), static_cast<float>(i_p[1]), static_cast<float>(i_p[2]));
}

// A collision hull: the solid's corners and triangles, no material, no normals.
ExtraMesh HullMesh(const Solid& i_solid) {
  ExtraMesh mesh;
  if (i_solid.triangles.empty()) return mesh;
  ExtraPart part;
  for (const Point3& c : i_solid.corners) part.positions.push_back(ToVector(c));
  for (const auto& t : i_solid.triangles) part.indices.insert(part.indices.end(), t.begin(), t.end());
  mesh.parts.push_back(std::move(part));
  return mesh;
}

// The material with the most area in the map; i_fallback when it is empty.
std::uint32_t Largest(const std::map<std::uint32_t, double>& i_areas, std::uint32_t i_fallback) {
  std::uint32_t best = i_fallback;
  double most = -1;
  for (const auto& [material, area] : i_areas) {
    if (area > most) {
      most = area;
      best = material;
    }
  }
  return best;
}

// Adds a triangle with its own three vertices and its face normal to the part, and with their
// texture coordinates when i_uvs is given.
void AddFlatTriangle(ExtraPart& io_part, const VectorF& i_a, const VectorF& i_b, const VectorF& i_c,
                     const UV* i_uvs = nullptr) {
  if (i_uvs) io_part.uvs.insert(io_part.uvs.end(), i_uvs, i_uvs + 3);
  const Point3 a = ToPoint(i_a), b = ToPoint(i_b), c = ToPoint(i_c);
  const Point3 normal = Cross(Sub(b, a), Sub(c, a));
  const double length = std::sqrt(Dot(normal, normal));
  const VectorF n(static_cast<float>(normal[0] / length), static_cast<float>(normal[1] / length),
                  static_cast<float>(normal[2] / length));
  const auto first = static_cast<std::uint32_t>(io_part.positions.size());
  for (const VectorF& p : {i_a, i_b, i_c}) {
    io_part.positions.push_back(p);
    io_part.normals.push_back(n);
  }
  io_part.indices.insert(io_part.indices.end(), {first, first + 1, first + 2});
}

// Parts of a map by material, in ascending material order, without empty ones.
ExtraMesh MeshOf(std::map<std::uint32_t, ExtraPart>& io_parts) {
  ExtraMesh mesh;
  for (auto& [material, part] : io_parts) {
    if (part.indices.empty()) continue;
    part.material = material;
    if (!part.uvs.empty()) part.tangents = MakeTangents(part.positions, part.normals, part.uvs, part.indices);
    mesh.parts.push_back(std::move(part));
  }
  return mesh;
}

// A wall's texture coordinate on its block's facade picture, which repeats once a cell across
// and once a storey up from i_corner (a corner of a cell): across runs as a piece's +z does on a
// facade facing that side, so that the picture is not mirrored; v runs down from a storey's top
// (glTF's orientation).
UV FacadeUv(const Point3& i_p, Side i_side, const Point3& i_corner, const Point3& i_cell) {
  const double x = (i_p[0] - i_corner[0]) / i_cell[0], z = (i_p[2] - i_corner[2]) / i_cell[2];
  const double across = i_side == kNorth ? z : i_side == kSouth ? -z : i_side == kEast ? -x : x;
  return UV(static_cast<float>(across), static_cast<float>(-(i_p[1] - i_corner[1]) / i_cell[1]));
}

// The hull level: every block's solid, each face in the material of its side of the block (the
// roof's for the faces that look up, and for the floor); a block with a facade picture shows it
// on its walls.
ExtraMesh HullLevel(const std::vector<Solid>& i_solids, const Gathered& i_gathered) {
  std::map<std::uint32_t, ExtraPart> parts;
  for (std::size_t b = 0; b < i_solids.size(); ++b) {
    const SideAreas& areas = i_gathered.blockAreas[b];
    const std::uint32_t roof = Largest(areas[kUp], Obj::kNoMaterial);
    const std::uint32_t facade = b < i_gathered.blockFacades.size() ? i_gathered.blockFacades[b] : Obj::kNoMaterial;
    for (const auto& t : i_solids[b].triangles) {
      const Point3& a = i_solids[b].corners[t[0]];
      const Side side =
          SideOf(Cross(Sub(i_solids[b].corners[t[1]], a), Sub(i_solids[b].corners[t[2]], a)));
      if (facade != Obj::kNoMaterial && side != kUp && side != kDown) {
        UV uvs[3];
        for (std::size_t k = 0; k < 3; ++k)
          uvs[k] = FacadeUv(i_solids[b].corners[t[k]], side, i_gathered.blockCorners[b], i_gathered.cellSize);
        const std::uint32_t ends = i_gathered.rectangles ? i_gathered.blockEnds[b] : Obj::kNoMaterial;
        const BlockOutline& box = i_gathered.blockCells[b];
        // The wall's first and last cells' outer edges along the picture's across.
        const double from = FacadeUv(box.low, side, i_gathered.blockCorners[b], i_gathered.cellSize).u;
        const double to = FacadeUv(box.high, side, i_gathered.blockCorners[b], i_gathered.cellSize).u;
        const double first = std::round(std::min(from, to));
        const auto cells = static_cast<int>(std::lround(std::fabs(to - from)));
        if (ends != Obj::kNoMaterial && cells >= 2 && cells <= kFacadeEndsLongest) {
          for (UV& uv : uvs)
            uv.u = static_cast<float>((EndsStart(cells) + uv.u - first) / EndsWidth());
          AddFlatTriangle(parts[ends], ToVector(a), ToVector(i_solids[b].corners[t[1]]),
                          ToVector(i_solids[b].corners[t[2]]), uvs);
          continue;
        }
        AddFlatTriangle(parts[facade], ToVector(a), ToVector(i_solids[b].corners[t[1]]),
                        ToVector(i_solids[b].corners[t[2]]), uvs);
        continue;
      }
      const std::uint32_t material = side == kUp || side == kDown ? roof : Largest(areas[side], roof);
      UV centre = i_gathered.tones.centre(material);
      // With the sheets' colours, a face takes the mean colour of what it stands for.
      const SheetTones* sheets = i_gathered.tones.sheets;
      if (sheets && sheets->hasSheet(material)) {
        const std::size_t looks = side == kDown ? kUp : side;
        const bool carded = !i_gathered.cardColours.empty() && i_gathered.cardColours[b][looks][3] > 0;
        const std::array<double, 4>& sums = carded ? i_gathered.cardColours[b][looks] : i_gathered.blockColours[b][looks];
        if (sums[3] > 0) centre = sheets->nearest(material, {sums[0] / sums[3], sums[1] / sums[3], sums[2] / sums[3]});
      }
      const UV uvs[3] = {centre, centre, centre};
      AddFlatTriangle(parts[material], ToVector(a), ToVector(i_solids[b].corners[t[1]]),
                      ToVector(i_solids[b].corners[t[2]]), i_gathered.tones.isMapped(material) ? uvs : nullptr);
    }
  }
  return MeshOf(parts);
}

// The side letter and place letter of a door request, in upper case.
std::string DoorLetters(const std::string& i_door) {
  std::string letters = i_door.substr(0, 2);
  for (char& c : letters) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return letters;
}

// The pieces that stand in a door's cell: every style's door pieces and their variants.
std::set<PieceId> DoorPieces(const Kit& i_kit) {
  std::set<PieceId> doors;
  for (const KitStyle& style : i_kit.styles) {
    for (const PieceKind kind : {PieceKind::GroundDoor, PieceKind::RoofDoor}) {
      const PieceId id = style.piece(kind);
      if (id >= i_kit.pieces.size()) continue;
      doors.insert(id);
      for (const PieceId form : i_kit.piece(id).forms) doors.insert(form);
    }
  }
  return doors;
}

std::vector<DoorMarker> DoorMarkers(const Kit& i_kit, const Plan& i_plan, const Request& i_request,
                                    const Frame& i_frame) {
  std::vector<DoorMarker> markers;
  const std::set<PieceId> doors = DoorPieces(i_kit);
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    if (doors.count(i_placement.piece) == 0) return;
    DoorMarker marker;
    marker.name = "door_" + DoorLetters(i_request.door);
    // The facade's outer face is the cell's edge, half a cell out along the piece's +x.
    PlacePosition(VectorF(0.5f, 0, 0), FloatsOf(i_placement), i_frame, marker.translation);
    // The piece's +x points out of the facade, to (zd, 0, xd); the node's +z is turned there, by
    // the angle a about +y that takes +z to (sin a, 0, cos a).
    const double angle = std::atan2(static_cast<double>(i_placement.zd), static_cast<double>(i_placement.xd));
    marker.rotation[1] = static_cast<float>(std::sin(angle / 2));
    marker.rotation[3] = static_cast<float>(std::cos(angle / 2));
    markers.push_back(marker);
  });
  return markers;
}

}  // namespace

std::uint64_t ExtraMesh::triangles() const {
  std::uint64_t count = 0;
  for (const ExtraPart& part : parts) count += part.indices.size() / 3;
  return count;
}

std::uint64_t ExtraMesh::vertices() const {
  std::uint64_t count = 0;
  for (const ExtraPart& part : parts) count += part.positions.size();
  return count;
}

EngineExtras MakeEngineExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                              const Request& i_request, const Frame& i_frame, const EngineOptions& i_options,
                              const std::vector<PieceLevel>* i_pieceLevels, const std::vector<bool>& i_mapped) {
  EngineExtras extras;
  if (i_options.markers) extras.doors = DoorMarkers(i_kit, i_plan, i_request, i_frame);
  const bool hulls = i_options.collision != CollisionNaming::None;
  const int lods = std::clamp(i_options.lods, 0, kMaxLods);
  // The pieces' levels first, then, of two levels or more, the block boxes last.
  const std::size_t streamed = lods >= 2 ? static_cast<std::size_t>(lods - 1) : static_cast<std::size_t>(lods);
  // The first level in its richer forms when the building keeps within a third of its triangles
  // with them (LevelFor): the choice of this building alone.
  for (std::size_t level = 0; i_pieceLevels && level < streamed && level < i_pieceLevels->size(); ++level) {
    const PieceLevel& pieces = (*i_pieceLevels)[level];
    extras.streamed.push_back(pieces.richer ? &LevelFor(pieces, i_pieces, CountPieces(i_plan, i_kit)) : &pieces);
  }
  // Only the hulls and the boxes need a walk over the building.
  if (!hulls && lods < 2) return extras;
  const SheetTones* sheets =
      i_pieceLevels && !i_pieceLevels->empty() ? i_pieceLevels->front().tones.get() : nullptr;
  const std::vector<std::array<CardTone, 4>>* cards =
      i_pieceLevels && !i_pieceLevels->empty() ? &i_pieceLevels->front().cardTones : nullptr;
  const Gathered gathered = Gather(i_kit, i_pieces, i_plan, i_request, i_frame, lods >= 2, i_mapped,
                                   lods >= 2 ? sheets : nullptr, lods >= 2 ? cards : nullptr,
                                   lods >= kMaxLods ? FacadesOf(i_kit) : std::vector<std::uint32_t>());
  const std::vector<Solid> solids = BlockSolids(gathered, i_request);
  if (hulls) {
    for (const Solid& solid : solids) extras.hulls.push_back(HullMesh(solid));
  }
  if (lods >= 2) extras.levels.push_back(HullLevel(solids, gathered));
  return extras;
}

std::vector<std::uint32_t> FacadesOf(const Kit& i_kit) {
  std::vector<std::uint32_t> facades;
  for (const KitStyle& style : i_kit.styles) {
    const auto named = std::find(i_kit.materials.begin(), i_kit.materials.end(), FacadeMaterialName(style.name));
    if (named == i_kit.materials.end()) continue;
    facades.resize(i_kit.pieces.size(), Obj::kNoMaterial);
    const std::string prefix = style.name + "_";
    for (PieceId id = 0; id < i_kit.pieces.size(); ++id) {
      if (i_kit.pieces[id].name.compare(0, prefix.size(), prefix) == 0)
        facades[id] = static_cast<std::uint32_t>(named - i_kit.materials.begin());
    }
  }
  return facades;
}

std::vector<bool> MappedMaterials(const Kit& i_kit) {
  std::vector<bool> mapped(i_kit.materials.size(), false);
  for (const MaterialLibrary& library : i_kit.libraries) {
    for (const Mtl::Material& material : library.library.materials) {
      if (!Mtl::FindTexture(material, "map_Kd")) continue;
      for (std::size_t id = 0; id < mapped.size(); ++id) mapped[id] = mapped[id] || i_kit.materials[id] == material.name;
    }
  }
  return mapped;
}

bool FarPieces::Key::operator<(const Key& i_other) const {
  return std::tie(piece, xd, zd, xscale, yscale, zscale) <
         std::tie(i_other.piece, i_other.xd, i_other.zd, i_other.xscale, i_other.yscale, i_other.zscale);
}

FarLevel MakeFarLevel(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const Plan& i_plan,
                      const Request& i_request, const Frame& i_frame, const std::vector<bool>& i_mapped,
                      FarPieces& io_pieces) {
  const bool own = i_frame.xdir == 0 && i_frame.zdir == 1 && i_frame.xpos == 0 && i_frame.ypos == 0 &&
                   i_frame.zpos == 0;
  const Gathered gathered = own ? GatherFar(i_kit, i_pieces, i_plan, i_request, i_frame, i_mapped, io_pieces)
                                : Gather(i_kit, i_pieces, i_plan, i_request, i_frame, true, i_mapped);
  const std::vector<Solid> solids = BlockSolids(gathered, i_request);
  FarLevel far;
  far.mesh = HullLevel(solids, gathered);
  // Each solid's faces as planes n.p <= d, n outward and of unit length.
  struct Plane {
    Point3 n;
    double d;
  };
  std::vector<std::vector<Plane>> planes;
  for (const Solid& solid : solids) {
    planes.emplace_back();
    for (const auto& t : solid.triangles) {
      const Point3& a = solid.corners[t[0]];
      Point3 n = Cross(Sub(solid.corners[t[1]], a), Sub(solid.corners[t[2]], a));
      const double length = std::sqrt(Dot(n, n));
      if (!(length > 0)) continue;
      n = {n[0] / length, n[1] / length, n[2] / length};
      // A face of two triangles is one plane.
      const Plane plane{n, Dot(n, a)};
      const auto same = [&](const Plane& i_other) { return i_other.n == plane.n && i_other.d == plane.d; };
      if (std::none_of(planes.back().begin(), planes.back().end(), same)) planes.back().push_back(plane);
    }
  }
  // How deep a point lies inside the solids, when deeper than i_deepest: inside one, its distance
  // to that one's nearest face. A solid is left at its first face nearer than that.
  const auto deeper = [&](const Point3& i_p, double i_deepest) {
    for (const std::vector<Plane>& solid : planes) {
      double nearest = INFINITY;
      for (const Plane& plane : solid) {
        nearest = std::min(nearest, plane.d - Dot(plane.n, i_p));
        if (nearest <= i_deepest) break;
      }
      if (!solid.empty() && nearest > i_deepest) i_deepest = nearest;
    }
    return i_deepest;
  };
  // Each placed part's box stands for its vertices: its corners reach as deep as they do, or
  // deeper, so that the error is never understated.
  ForEachPlacedBoxCorner(i_kit, i_pieces, i_plan, i_frame, [&](const float* i_xyz) {
    far.error = deeper({i_xyz[0], i_xyz[1], i_xyz[2]}, far.error);
  });
  return far;
}

EngineExtras MakeWrittenExtras(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                               const std::vector<PieceLevel>& i_pieceLevels, const SceneBuilding& i_building,
                               const EngineOptions& i_options, SceneReport& io_report) {
  const std::vector<bool> mapped = MappedMaterials(i_kit);
  EngineExtras extras = MakeEngineExtras(i_kit, i_pieces, i_building.plan, i_building.request,
                                         OwnFrame(i_building.frame), i_options, &i_pieceLevels, mapped);
  for (std::size_t h = 0; h < extras.hulls.size(); ++h)
    extras.hullNames.push_back(HullName(i_building.name, i_options.collision, h));
  for (std::size_t m = 0; m < extras.meshCount(); ++m) {
    io_report.extraTriangles += extras.mesh(m).triangles();
    io_report.extraVertices += extras.mesh(m).vertices();
  }
  if (!extras.streamed.empty()) {
    const std::vector<std::uint64_t> counts = CountPieces(i_building.plan, i_kit);
    for (const PieceLevel* level : extras.streamed) {
      for (PieceId id = 0; id < counts.size(); ++id) {
        for (const MeshPart& part : level->pieces[id].parts) {
          io_report.extraTriangles = Numbers::SatAdd(io_report.extraTriangles,
                                                     Numbers::SatMul(counts[id], part.indices.size() / 3));
          io_report.extraVertices = Numbers::SatAdd(io_report.extraVertices,
                                                    Numbers::SatMul(counts[id], part.positions.size()));
        }
      }
    }
  }
  return extras;
}

std::string HullName(const std::string& i_building, CollisionNaming i_naming, std::size_t i_block) {
  const std::string number = (i_block < 10 ? "0" : "") + std::to_string(i_block);
  if (i_naming == CollisionNaming::Unreal) return "UCX_" + i_building + "_" + number;
  return (i_block == 0 ? i_building : i_building + "_" + number) + "-colonly";
}

std::string LevelName(const std::string& i_building, std::size_t i_level) {
  return i_building + "_LOD" + std::to_string(i_level);
}

}  // namespace Ostrel::Buildings
