// Simplified pieces and cards.

#include "write/engine/PieceLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include <meshoptimizer.h>

#include <ostrel/utils/Numbers.h>

#include "write/engine/CardTiles.h"

namespace Ostrel::Buildings {

namespace {

// The simplifier stops at the triangle count asked for or once a collapse would move the surface
// by more than this share of the piece's size, whichever comes first; each bound is tried in
// turn until the count is reached. The largest folds a window's frame (a few centimetres deep in
// a cell of metres) into its pane and wall but keeps the opening: past it, walls fold into it.
constexpr float kErrors[] = {0.005f, 0.01f, 0.02f, 0.04f};
// The share of a piece's triangles, hidden ones included, that its simplified form keeps, at
// most: the faces the building hides go first, so what they free goes to the surface that shows.
// With the pieces that cannot be simplified (a roof's few quads) and those that become their
// card, a building's level then stays within a third of its triangles.
constexpr double kShare = 0.28;
// The share that the richer form of a storey's facade piece keeps where the share above makes it
// its card (PieceLevel::richer): a building that can afford them shows its storeys' windows as
// geometry rather than as pictures on a flat wall.
constexpr double kRichShare = 0.4;
// A piece whose simplified walls show its card over at least this share of their area becomes its
// card: the brick, plaster or stone between its openings is then too little to be worth its
// triangles.
constexpr double kCardedShare = 0.7;

// A side of a card faces along +x, -x, +z or -z: a face counts towards it when its normal points
// within about 45 degrees of that way and its middle lies in the outer part of the cell (cell
// units, the cell spanning -0.5 to 0.5).
constexpr double kFacing = 0.7;
constexpr double kOuter = 0.2;
// A side needs this much area (cell faces) to become a quad, and a piece this much area that
// looks up to keep its roof.
constexpr double kLeastSide = 0.15;
constexpr double kLeastRoof = 0.3;
constexpr double kLooksUp = 0.3;  // the least y of a unit normal that looks up
constexpr float kOnCell = 1e-4f;   // how near a vertex lies to its cell's box to be on it (cell units)

// The piece's own name, files and forms, without faces.
Piece Hollow(const Piece& i_piece) {
  Piece piece;
  piece.name = i_piece.name;
  piece.file = i_piece.file;
  piece.folder = i_piece.folder;
  piece.fault = i_piece.fault;
  piece.error = i_piece.error;
  piece.libraries = i_piece.libraries;
  piece.forms = i_piece.forms;
  return piece;
}

// Adds a triangle to a piece, its corners given in glTF's form (texture coordinates with v down):
// each corner a vertex of its own, with a normal, and a texture coordinate when i_uvs is set.
void AddTriangle(Piece& io_piece, std::uint32_t i_material, const VectorF* i_positions, const VectorF* i_normals,
                 const UV* i_uvs) {
  for (int k = 0; k < 3; ++k) {
    Obj::Corner corner;
    corner.v = static_cast<std::uint32_t>(io_piece.positions.size());
    io_piece.positions.push_back(i_positions[k]);
    corner.n = static_cast<std::uint32_t>(io_piece.normals.size());
    io_piece.normals.push_back(i_normals[k]);
    if (i_uvs) {
      corner.uv = static_cast<std::uint32_t>(io_piece.uvs.size());
      io_piece.uvs.emplace_back(i_uvs[k].u, 1.0f - i_uvs[k].v);  // OBJ's v runs up the image
    }
    io_piece.corners.push_back(corner);
  }
  io_piece.polycount.push_back(3);
  io_piece.faceMaterials.push_back(i_material);
}

VectorF Minus(const VectorF& i_a, const VectorF& i_b) { return VectorF(i_a.x - i_b.x, i_a.y - i_b.y, i_a.z - i_b.z); }

VectorF Cross(const VectorF& i_a, const VectorF& i_b) {
  return VectorF(i_a.y * i_b.z - i_a.z * i_b.y, i_a.z * i_b.x - i_a.x * i_b.z, i_a.x * i_b.y - i_a.y * i_b.x);
}

double Length(const VectorF& i_v) {
  return std::sqrt(static_cast<double>(i_v.x) * i_v.x + static_cast<double>(i_v.y) * i_v.y +
                   static_cast<double>(i_v.z) * i_v.z);
}

// A piece whose faces had no material keeps none.
void DropMaterials(Piece& io_piece, const Piece& i_from) {
  if (i_from.faceMaterials.empty()) io_piece.faceMaterials.clear();
}

// One triangle of a piece as glTF draws it: its material, corners, texture coordinates (none
// when its part has none) and plane.
struct Original {
  std::uint32_t material = Obj::kNoMaterial;
  VectorF corners[3];
  UV uvs[3];
  bool mapped = false;
  VectorF normal;   // unit
  double offset = 0;  // of the plane along the normal
};

double Dot(const VectorF& i_a, const VectorF& i_b) {
  return static_cast<double>(i_a.x) * i_b.x + static_cast<double>(i_a.y) * i_b.y + static_cast<double>(i_a.z) * i_b.z;
}

VectorF Middle(const VectorF* i_corners) {
  return VectorF((i_corners[0].x + i_corners[1].x + i_corners[2].x) / 3,
                 (i_corners[0].y + i_corners[1].y + i_corners[2].y) / 3,
                 (i_corners[0].z + i_corners[1].z + i_corners[2].z) / 3);
}

// A triangle of a piece with an area: where it is in its part, its corners, unit normal, area
// and middle (file units).
struct Facet {
  const MeshPart& part;
  std::size_t first;  // its first corner's place in part.indices
  const VectorF &a, &b, &c;
  double n[3];
  double area;
  double middle[3];
};

// Calls i_visit with each triangle of the mesh that has an area, in order.
template <typename Visit>
void ForEachFacet(const TriangleMesh& i_mesh, Visit&& i_visit) {
  for (const MeshPart& part : i_mesh.parts) {
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
      const VectorF& a = part.positions[part.indices[i]];
      const VectorF& b = part.positions[part.indices[i + 1]];
      const VectorF& c = part.positions[part.indices[i + 2]];
      const VectorF normal = Cross(Minus(b, a), Minus(c, a));
      const double twice = Length(normal);
      if (!(twice > 0)) continue;
      i_visit(Facet{part,
                    i,
                    a,
                    b,
                    c,
                    {normal.x / twice, normal.y / twice, normal.z / twice},
                    twice / 2,
                    {(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0}});
    }
  }
}

// The sides of the cell (+x, -x, +z, -z) that a piece faces out from: those with at least
// kLeastSide of its area looking that way in the outer part of the cell.
std::array<bool, 4> OutwardSides(const TriangleMesh& i_mesh) {
  const int axes[4] = {0, 0, 2, 2};
  const double signs[4] = {1, -1, 1, -1};
  double areas[4] = {0, 0, 0, 0};
  ForEachFacet(i_mesh, [&](const Facet& i_facet) {
    for (int s = 0; s < 4; ++s) {
      if (i_facet.n[axes[s]] * signs[s] >= kFacing && i_facet.middle[axes[s]] * signs[s] >= kOuter)
        areas[s] += i_facet.area;
    }
  });
  return {areas[0] >= kLeastSide, areas[1] >= kLeastSide, areas[2] >= kLeastSide, areas[3] >= kLeastSide};
}

// Whether a face looks into the building from behind one of the piece's outer walls (the inner
// face of a wall, the back of a pane): seen from outside, the building's closed walls hide it.
bool LooksIn(const Original& i_triangle, const std::array<bool, 4>& i_outward) {
  const int axes[4] = {0, 0, 2, 2};
  const double signs[4] = {1, -1, 1, -1};
  for (int s = 0; s < 4; ++s) {
    if (!i_outward[static_cast<std::size_t>(s)]) continue;
    const auto at = [&](const VectorF& i_p) { return (axes[s] == 0 ? i_p.x : i_p.z) * signs[s]; };
    const double n = (axes[s] == 0 ? i_triangle.normal.x : i_triangle.normal.z) * signs[s];
    const VectorF* c = i_triangle.corners;
    if (n <= -kFacing && std::max({at(c[0]), at(c[1]), at(c[2])}) < 0.5 - kOnCell) return true;
  }
  return false;
}

// Whether the ray from i_from along i_way meets the face ahead of it.
bool Meets(const Original& i_face, const VectorF& i_from, const VectorF& i_way) {
  const VectorF e1 = Minus(i_face.corners[1], i_face.corners[0]);
  const VectorF e2 = Minus(i_face.corners[2], i_face.corners[0]);
  const VectorF p = Cross(i_way, e2);
  const double determinant = Dot(e1, p);
  if (std::fabs(determinant) < 1e-12) return false;
  const VectorF t = Minus(i_from, i_face.corners[0]);
  const double u = Dot(t, p) / determinant;
  if (u < -1e-6 || u > 1 + 1e-6) return false;
  const VectorF q = Cross(t, e1);
  const double v = Dot(i_way, q) / determinant;
  if (v < -1e-6 || u + v > 1 + 1e-6) return false;
  return Dot(e2, q) / determinant > 1e-5;
}

// Whether the piece's own opaque faces hide a face from every way it is seen from outside: from
// straight ahead of each of its outward sides and from above, below and either hand of it. A face
// behind a pane, or in the hollow behind a trim, never shows; a face beside an opening does.
bool Hidden(const Original& i_triangle, const std::vector<Original>& i_faces, const std::vector<bool>& i_opaque,
            const std::array<bool, 4>& i_outward) {
  const VectorF ways[4] = {VectorF(1, 0, 0), VectorF(-1, 0, 0), VectorF(0, 0, 1), VectorF(0, 0, -1)};
  const VectorF middle = Middle(i_triangle.corners);
  std::vector<VectorF> samples = {middle};
  for (const VectorF& corner : i_triangle.corners)
    samples.push_back(VectorF(corner.x + 0.05f * (middle.x - corner.x), corner.y + 0.05f * (middle.y - corner.y),
                              corner.z + 0.05f * (middle.z - corner.z)));
  bool outward = false;
  for (int s = 0; s < 4; ++s) {
    if (!i_outward[static_cast<std::size_t>(s)]) continue;
    outward = true;
    const VectorF& way = ways[s];
    const VectorF across(way.z, 0, way.x);
    for (const float up : {0.0f, 0.6f, -0.6f}) {
      for (const float side : {0.0f, 0.6f, -0.6f}) {
        if (up != 0 && side != 0) continue;
        const VectorF look(way.x + side * across.x, up, way.z + side * across.z);
        if (Dot(look, i_triangle.normal) <= 0) continue;  // its back, which a reader does not draw
        for (const VectorF& sample : samples) {
          const bool blocked = std::any_of(i_faces.begin(), i_faces.end(), [&](const Original& i_face) {
            return &i_face != &i_triangle && i_face.material < i_opaque.size() && i_opaque[i_face.material] &&
                   Meets(i_face, sample, look);
          });
          if (!blocked) return false;
        }
      }
    }
  }
  return outward;
}

// Locks the vertices of the piece's open border that lie on its cell's box, where neighbours
// meet it, and leaves the rest of the border (the rim of a face taken away, an edge that stands
// free) to the simplifier. meshoptimizer locks a vertex that has more than two others at its
// position, so two unused copies of each such vertex go after the vertices; the caller drops
// them afterwards.
void LockWhereNeighboursMeet(std::vector<VectorF>& io_positions, const std::vector<std::uint32_t>& i_indices) {
  // Edges by position, counted over the triangles: those of one triangle are the open border.
  std::map<std::array<float, 3>, std::uint32_t> spot;
  std::vector<std::uint32_t> spotOf(io_positions.size());
  for (std::size_t v = 0; v < io_positions.size(); ++v) {
    const VectorF& p = io_positions[v];
    spotOf[v] = spot.emplace(std::array<float, 3>{p.x, p.y, p.z}, static_cast<std::uint32_t>(spot.size())).first->second;
  }
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (std::size_t i = 0; i + 2 < i_indices.size(); i += 3) {
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint32_t a = spotOf[i_indices[i + k]], b = spotOf[i_indices[i + (k + 1) % 3]];
      ++edges[std::minmax(a, b)];
    }
  }
  std::vector<bool> border(spot.size(), false);
  for (const auto& [edge, count] : edges) {
    if (count != 1) continue;
    border[edge.first] = true;
    border[edge.second] = true;
  }
  const auto onBox = [](const VectorF& i_p) {
    return std::fabs(i_p.x) >= 0.5f - kOnCell || std::fabs(i_p.z) >= 0.5f - kOnCell || i_p.y <= kOnCell ||
           std::fabs(i_p.y - 1.0f) <= kOnCell;
  };
  const std::size_t count = io_positions.size();
  for (std::size_t v = 0; v < count; ++v) {
    if (!border[spotOf[v]] || !onBox(io_positions[v])) continue;
    const VectorF p = io_positions[v];
    io_positions.push_back(p);
    io_positions.push_back(p);
  }
}

// Where i_p lies on the triangle's plane, as (s, t) along its edges from corner 0: p = a + s (b - a)
// + t (c - a), for the point's projection on the plane.
std::array<double, 2> OnTriangle(const Original& i_triangle, const VectorF& i_p) {
  const VectorF e1 = Minus(i_triangle.corners[1], i_triangle.corners[0]);
  const VectorF e2 = Minus(i_triangle.corners[2], i_triangle.corners[0]);
  const VectorF d = Minus(i_p, i_triangle.corners[0]);
  const double a = Dot(e1, e1), b = Dot(e1, e2), c = Dot(e2, e2), p = Dot(d, e1), q = Dot(d, e2);
  const double determinant = a * c - b * b;
  if (!(std::fabs(determinant) > 0)) return {0, 0};
  return {(c * p - b * q) / determinant, (a * q - b * p) / determinant};
}

// The texture coordinate the kit's mapping of i_triangle's face gives a point of its plane: the
// mapping of a face is rigid (it only turns and shifts the face onto its strip), so a point the
// face's mapping reaches keeps the kit's density, and the sheet is never stretched.
UV MapOnto(const Original& i_triangle, const VectorF& i_p) {
  const std::array<double, 2> st = OnTriangle(i_triangle, i_p);
  const UV* uv = i_triangle.uvs;
  return UV(static_cast<float>(uv[0].u + st[0] * (uv[1].u - uv[0].u) + st[1] * (uv[2].u - uv[0].u)),
            static_cast<float>(uv[0].v + st[0] * (uv[1].v - uv[0].v) + st[1] * (uv[2].v - uv[0].v)));
}

// Of the piece's own triangles in the plane of the triangle (i_corners, i_normal), the one whose
// face holds its middle, or else the one nearest it; when none lies in that plane (the collapses
// tilted it), the nearest that faces about the same way, or the nearest of all.
struct Under {
  const Original* face = nullptr;
  bool inPlane = false;
};

Under FaceUnder(const std::vector<Original>& i_originals, const VectorF* i_corners, const VectorF& i_normal) {
  const VectorF middle = Middle(i_corners);
  Under under;
  double nearestDistance = INFINITY;
  int nearestRank = -1;  // 2 in the plane, 1 facing about the same way, 0 any other
  for (const Original& original : i_originals) {
    const double facing = Dot(original.normal, i_normal);
    const bool inPlane = facing >= 0.999 && std::fabs(Dot(original.normal, middle) - original.offset) <= 1e-4;
    if (inPlane) {
      const std::array<double, 2> st = OnTriangle(original, middle);
      if (st[0] >= -1e-6 && st[1] >= -1e-6 && st[0] + st[1] <= 1 + 1e-6) return {&original, true};
    }
    const int rank = inPlane ? 2 : facing >= kFacing ? 1 : 0;
    const double distance = Length(Minus(Middle(original.corners), middle));
    if (rank > nearestRank || (rank == nearestRank && distance < nearestDistance)) {
      nearestRank = rank;
      nearestDistance = distance;
      under = {&original, inPlane};
    }
  }
  return under;
}

// The materials that hide what lies behind them, by kit material id: those whose library gives
// no opacity below 1.
std::vector<bool> OpaqueMaterials(const Kit& i_kit) {
  std::vector<bool> opaque(i_kit.materials.size(), true);
  for (const MaterialLibrary& library : i_kit.libraries) {
    for (const Mtl::Material& material : library.library.materials) {
      if (!material.d || *material.d >= 1) continue;
      for (std::size_t id = 0; id < opaque.size(); ++id) opaque[id] = opaque[id] && i_kit.materials[id] != material.name;
    }
  }
  return opaque;
}


// Whether a simplified triangle shows its piece's card rather than the kit's sheet, and if so its
// card material and texture coordinates (glTF's orientation). It does when it faces a side of the
// piece that has a tile (within about 45 degrees) and is not a stretch of that side's own wall: its
// corners recessed behind the wall (a window's pane and frame, which the collapses merge), or
// tilted out of every face of the piece (a wall folded towards an opening, a lintel or a shutter
// laid against the wall). The tile is the piece's side seen straight on, so such a triangle shows
// the window as it looks from afar instead of one texel of a material. A tilted triangle is
// unfolded onto the side about its middle, so that its edges keep their lengths on the tile.
bool OnCard(const VectorF* i_corners, const VectorF& i_normal, const Under& i_under,
            const std::array<CardSide, 4>& i_sides, const std::array<CardTile, 4>* i_tiles, UV* o_uvs,
            std::uint32_t& o_material) {
  if (!i_tiles) return false;
  for (std::size_t s = 0; s < 4; ++s) {
    const CardSide& side = i_sides[s];
    const CardTile& tile = (*i_tiles)[s];
    if (!side.shown || tile.material == Obj::kNoMaterial) continue;
    const double facing = (side.axis == 0 ? i_normal.x : i_normal.z) * side.sign;
    if (facing < kFacing) continue;
    const bool wall = i_under.inPlane && i_under.face->material == side.material;
    if (wall) return false;
    const double height = side.high[0] - side.low[0], width = side.high[1] - side.low[1];
    if (!(height > 0) || !(width > 0)) return false;
    // Up the triangle's slope is down the tile, across it (the way the side's across coordinate
    // grows) is across the tile; its middle lies where it lies seen straight on.
    const double lean = i_normal.y;
    const VectorF slope(static_cast<float>(-lean * i_normal.x), static_cast<float>(1 - lean * lean),
                        static_cast<float>(-lean * i_normal.z));
    const double slopeLength = Length(slope);
    const VectorF up(static_cast<float>(slope.x / slopeLength), static_cast<float>(slope.y / slopeLength),
                     static_cast<float>(slope.z / slopeLength));
    VectorF across = Cross(up, i_normal);
    if ((side.axis == 0 ? across.z : across.x) < 0) across = VectorF(-across.x, -across.y, -across.z);
    const VectorF middle = Middle(i_corners);
    const double middleAcross = (side.axis == 0 ? middle.z : middle.x) - side.low[1];
    const double middleDown = side.high[0] - middle.y;
    for (int k = 0; k < 3; ++k) {
      const VectorF offset = Minus(i_corners[k], middle);
      const double at = (middleAcross + Dot(offset, across)) / width;
      const double down = (middleDown - Dot(offset, up)) / height;
      o_uvs[k] = UV(static_cast<float>(tile.low.u + std::clamp(at, 0.0, 1.0) * (tile.high.u - tile.low.u)),
                    static_cast<float>(tile.low.v + std::clamp(down, 0.0, 1.0) * (tile.high.v - tile.low.v)));
    }
    o_material = tile.material;
    return true;
  }
  return false;
}

// The share of a simplified piece's wall area (its faces that look sideways) that shows its card.
double CardedShare(const Piece& i_simplified, const std::array<CardTile, 4>& i_tiles) {
  double carded = 0, walls = 0;
  ForEachFacet(MakeTriangleMesh(i_simplified), [&](const Facet& i_facet) {
    if (std::fabs(i_facet.n[1]) > kLooksUp) return;
    walls += i_facet.area;
    const bool card = std::any_of(i_tiles.begin(), i_tiles.end(), [&](const CardTile& i_tile) {
      return i_tile.material != Obj::kNoMaterial && i_tile.material == i_facet.part.material;
    });
    if (card) carded += i_facet.area;
  });
  return walls > 0 ? carded / walls : 0;
}

// The pieces that make a storey's facade, by piece id: each style's floor piece and its variants.
std::vector<bool> StoreyPieces(const Kit& i_kit) {
  std::vector<bool> storeys(i_kit.pieces.size(), false);
  for (const KitStyle& style : i_kit.styles) {
    const PieceId floor = style.piece(PieceKind::Floor);
    if (floor >= i_kit.pieces.size()) continue;
    storeys[floor] = true;
    for (const PieceId form : i_kit.pieces[floor].forms) {
      if (form < storeys.size()) storeys[form] = true;
    }
  }
  return storeys;
}

}  // namespace

Piece SimplifiedPiece(const Piece& i_piece, double i_share, const std::vector<bool>& i_opaque,
                      const std::array<CardTile, 4>* i_tiles) {
  const TriangleMesh whole = MakeTriangleMesh(i_piece);
  const std::array<bool, 4> outward = OutwardSides(whole);
  const std::array<CardSide, 4> sides = CardSides(whole, nullptr);
  // The piece's triangles over vertices welded by position: the simplifier sees one surface, and
  // may take a small region of one material (a frame, a sill) into its neighbour's. Each kept
  // triangle then takes the material and mapping of the piece's own face under it.
  std::vector<Original> originals;
  std::vector<VectorF> positions;
  std::map<std::array<float, 3>, std::uint32_t> welded;
  std::vector<std::uint32_t> indices;
  std::map<std::uint32_t, std::array<double, 3>> uvSums;  // a mapped material's u, v and count
  std::vector<Original> faces;
  for (const MeshPart& part : whole.parts) {
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
      Original original;
      original.material = part.material;
      original.mapped = !part.uvs.empty();
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t index = part.indices[i + static_cast<std::size_t>(k)];
        original.corners[k] = part.positions[index];
        original.uvs[k] = original.mapped ? part.uvs[index] : UV(0, 0);
      }
      const VectorF normal = Cross(Minus(original.corners[1], original.corners[0]),
                                   Minus(original.corners[2], original.corners[0]));
      const double length = Length(normal);
      if (!(length > 0)) continue;
      original.normal = VectorF(static_cast<float>(normal.x / length), static_cast<float>(normal.y / length),
                                static_cast<float>(normal.z / length));
      original.offset = Dot(original.normal, original.corners[0]);
      if (!LooksIn(original, outward)) faces.push_back(original);
    }
  }
  for (const Original& original : faces) {
    if (!Hidden(original, faces, i_opaque, outward)) originals.push_back(original);
  }
  for (const Original& original : originals) {
    for (int k = 0; k < 3; ++k) {
      const VectorF& p = original.corners[k];
      const auto [it, added] = welded.emplace(std::array<float, 3>{p.x, p.y, p.z},
                                              static_cast<std::uint32_t>(positions.size()));
      if (added) positions.push_back(p);
      indices.push_back(it->second);
      if (!original.mapped) continue;
      std::array<double, 3>& sums = uvSums[original.material];
      sums = {sums[0] + original.uvs[k].u, sums[1] + original.uvs[k].v, sums[2] + 1};
    }
  }
  if (indices.empty()) return Hollow(i_piece);
  const std::size_t welds = positions.size();
  LockWhereNeighboursMeet(positions, indices);
  std::size_t triangles = 0;
  for (const MeshPart& part : whole.parts) triangles += part.indices.size() / 3;
  const auto target = 3 * static_cast<std::size_t>(std::floor(static_cast<double>(triangles) * i_share));
  std::vector<std::uint32_t> kept = indices;
  for (const float error : kErrors) {
    if (kept.size() <= target) break;
    std::vector<std::uint32_t> fewer(indices.size());
    fewer.resize(meshopt_simplify(fewer.data(), indices.data(), indices.size(), &positions[0].x, positions.size(),
                                  sizeof(VectorF), target, error, 0, nullptr));
    if (!fewer.empty() && fewer.size() < kept.size()) kept = std::move(fewer);
  }
  positions.resize(welds);
  // Each kept triangle with the material and mapping of the face under it; a triangle that the
  // collapses tilted out of every face takes one texel of its material: a flat tone rather than
  // a stretch. A triangle is lit as the face under it is when it faces about the same way, so
  // that a wall the collapses folded a little still looks flat.
  struct Kept {
    std::uint32_t material;
    VectorF corners[3];
    VectorF normal;
    VectorF shading;  // unit, the normal it is lit with
    UV uvs[3];
    bool mapped;
  };
  std::vector<Kept> made;
  for (std::size_t i = 0; i + 2 < kept.size(); i += 3) {
    Kept triangle;
    for (int k = 0; k < 3; ++k) triangle.corners[k] = positions[kept[i + static_cast<std::size_t>(k)]];
    const VectorF normal = Cross(Minus(triangle.corners[1], triangle.corners[0]),
                                 Minus(triangle.corners[2], triangle.corners[0]));
    const double length = Length(normal);
    if (!(length > 1e-9)) continue;
    triangle.normal = VectorF(static_cast<float>(normal.x / length), static_cast<float>(normal.y / length),
                              static_cast<float>(normal.z / length));
    const Under under = FaceUnder(originals, triangle.corners, triangle.normal);
    triangle.shading = Dot(under.face->normal, triangle.normal) >= kFacing ? under.face->normal : triangle.normal;
    if (OnCard(triangle.corners, triangle.normal, under, sides, i_tiles, triangle.uvs, triangle.material)) {
      triangle.mapped = true;
      made.push_back(triangle);
      continue;
    }
    triangle.material = under.face->material;
    triangle.mapped = under.face->mapped;
    const auto sums = uvSums.find(triangle.material);
    for (int k = 0; k < 3; ++k) {
      if (under.inPlane) triangle.uvs[k] = MapOnto(*under.face, triangle.corners[k]);
      else if (sums != uvSums.end())
        triangle.uvs[k] = UV(static_cast<float>(sums->second[0] / sums->second[2]),
                             static_cast<float>(sums->second[1] / sums->second[2]));
    }
    made.push_back(triangle);
  }
  // In material order, so that a material's faces come in one run.
  std::stable_sort(made.begin(), made.end(),
                   [](const Kept& i_a, const Kept& i_b) { return i_a.material < i_b.material; });
  Piece piece = Hollow(i_piece);
  for (const Kept& triangle : made) {
    const VectorF normals[3] = {triangle.shading, triangle.shading, triangle.shading};
    AddTriangle(piece, triangle.material, triangle.corners, normals, triangle.mapped ? triangle.uvs : nullptr);
  }
  DropMaterials(piece, i_piece);
  return piece;
}

std::array<CardSide, 4> CardSides(const TriangleMesh& i_mesh, const SheetTones* i_tones) {
  // What the faces of the piece that look one way add up to.
  struct Tone {
    double area = 0, u = 0, v = 0;
  };
  struct Sums {
    double area = 0;
    double depth = 0;  // area times the distance out along the side's way
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};  // y, and across
    std::map<std::uint32_t, Tone> tones;                                     // by material
    std::map<std::uint32_t, bool> mapped;
    Colour colour{};  // area times the colour of its faces
  };
  // +x, -x, +z, -z: the axis (0 x, 2 z) and its sign.
  const int axes[4] = {0, 0, 2, 2};
  const double signs[4] = {1, -1, 1, -1};
  Sums sums[4];
  ForEachFacet(i_mesh, [&](const Facet& i_facet) {
    const MeshPart& part = i_facet.part;
    const double area = i_facet.area;
    for (int s = 0; s < 4; ++s) {
      const int axis = axes[s];
      if (i_facet.n[axis] * signs[s] < kFacing || i_facet.middle[axis] * signs[s] < kOuter) continue;
      Sums& side = sums[s];
      side.area += area;
      side.depth += area * i_facet.middle[axis] * signs[s];
      const int across = 2 - axis;
      for (const VectorF* p : {&i_facet.a, &i_facet.b, &i_facet.c}) {
        const double at[2] = {p->y, across == 0 ? p->x : p->z};
        for (int k = 0; k < 2; ++k) {
          side.low[k] = std::min(side.low[k], at[k]);
          side.high[k] = std::max(side.high[k], at[k]);
        }
      }
      Tone& tone = side.tones[part.material];
      tone.area += area;
      side.mapped[part.material] = !part.uvs.empty();
      if (i_tones) {
        UV middleUv(0, 0);
        for (int k = 0; k < 3 && !part.uvs.empty(); ++k) {
          const UV& uv = part.uvs[part.indices[i_facet.first + static_cast<std::size_t>(k)]];
          middleUv = UV(middleUv.u + uv.u / 3, middleUv.v + uv.v / 3);
        }
        const Colour colour = i_tones->colour(part.material, middleUv);
        for (std::size_t k = 0; k < 3; ++k) side.colour[k] += area * colour[k];
      }
      if (part.uvs.empty()) continue;
      for (int k = 0; k < 3; ++k) {
        const UV& uv = part.uvs[part.indices[i_facet.first + static_cast<std::size_t>(k)]];
        tone.u += area * uv.u / 3;
        tone.v += area * uv.v / 3;
      }
    }
  });
  std::array<CardSide, 4> sides;
  for (int s = 0; s < 4; ++s) {
    const Sums& sum = sums[s];
    CardSide& side = sides[static_cast<std::size_t>(s)];
    side.axis = axes[s];
    side.sign = signs[s];
    if (sum.area < kLeastSide) continue;
    side.shown = true;
    side.out = sum.depth / sum.area * signs[s];
    for (int k = 0; k < 2; ++k) {
      side.low[k] = sum.low[k];
      side.high[k] = sum.high[k];
    }
    side.material = sum.tones.begin()->first;
    for (const auto& [id, tone] : sum.tones) {
      if (tone.area > sum.tones.at(side.material).area) side.material = id;
    }
    const Tone& tone = sum.tones.at(side.material);
    side.mapped = sum.mapped.at(side.material);
    side.uv = UV(static_cast<float>(tone.u / tone.area), static_cast<float>(tone.v / tone.area));
    if (i_tones && i_tones->hasSheet(side.material))
      side.uv = i_tones->nearest(side.material, {sum.colour[0] / sum.area, sum.colour[1] / sum.area,
                                                 sum.colour[2] / sum.area});
  }
  return sides;
}

VectorF CardSide::corner(int i_y, int i_across) const {
  const auto y = static_cast<float>(i_y ? high[0] : low[0]);
  const auto across = static_cast<float>(i_across ? high[1] : low[1]);
  return axis == 0 ? VectorF(static_cast<float>(out), y, across) : VectorF(across, y, static_cast<float>(out));
}

Piece CardPiece(const Piece& i_piece, const Piece& i_simplified, const SheetTones* i_tones,
                const std::array<CardTile, 4>* i_tiles) {
  const std::array<CardSide, 4> sides = CardSides(MakeTriangleMesh(i_piece), i_tones);
  Piece card = Hollow(i_piece);
  for (std::size_t s = 0; s < 4; ++s) {
    const CardSide& side = sides[s];
    if (!side.shown) continue;
    VectorF normal(0, 0, 0);
    (side.axis == 0 ? normal.x : normal.z) = static_cast<float>(side.sign);
    const VectorF normals[3] = {normal, normal, normal};
    // Corners by (y, across), each with its place on the side's tile: u along across, v down y.
    const CardTile* tile = i_tiles && (*i_tiles)[s].material != Obj::kNoMaterial ? &(*i_tiles)[s] : nullptr;
    const auto uvAt = [&](int i_y, int i_across) {
      if (!tile) return side.uv;
      return UV(i_across ? tile->high.u : tile->low.u, i_y ? tile->low.v : tile->high.v);
    };
    int first[3][2] = {{0, 0}, {0, 1}, {1, 1}};
    int second[3][2] = {{0, 0}, {1, 1}, {1, 0}};
    // Wound counter-clockwise seen from outside.
    const VectorF a = side.corner(0, 0), b = side.corner(0, 1), c = side.corner(1, 1);
    const VectorF winding = Cross(Minus(b, a), Minus(c, a));
    if (winding.x * normal.x + winding.z * normal.z < 0) {
      std::swap(first[1], first[2]);
      std::swap(second[1], second[2]);
    }
    for (const auto* triangle : {first, second}) {
      VectorF positions[3];
      UV uvs[3];
      for (int k = 0; k < 3; ++k) {
        positions[k] = side.corner(triangle[k][0], triangle[k][1]);
        uvs[k] = uvAt(triangle[k][0], triangle[k][1]);
      }
      const std::uint32_t material = tile ? tile->material : side.material;
      AddTriangle(card, material, positions, normals, tile || side.mapped ? uvs : nullptr);
    }
  }
  double up = 0;
  ForEachFacet(MakeTriangleMesh(i_piece), [&](const Facet& i_facet) {
    if (i_facet.n[1] > kLooksUp) up += i_facet.area;
  });
  if (up >= kLeastRoof) {
    const TriangleMesh simplified = MakeTriangleMesh(i_simplified);
    for (const MeshPart& part : simplified.parts) {
      for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
        VectorF positions[3], normals[3];
        UV uvs[3];
        for (int k = 0; k < 3; ++k) {
          const std::uint32_t index = part.indices[i + static_cast<std::size_t>(k)];
          positions[k] = part.positions[index];
          normals[k] = part.normals[index];
          uvs[k] = part.uvs.empty() ? UV(0, 0) : part.uvs[index];
        }
        const VectorF normal = Cross(Minus(positions[1], positions[0]), Minus(positions[2], positions[0]));
        const double length = Length(normal);
        if (!(length > 0) || normal.y / length <= kLooksUp) continue;
        AddTriangle(card, part.material, positions, normals, part.uvs.empty() ? nullptr : uvs);
      }
    }
  }
  DropMaterials(card, i_piece);
  return card;
}

std::vector<PieceLevel> MakePieceLevels(const Kit& i_kit, int i_lods) {
  std::vector<PieceLevel> levels;
  if (i_lods <= 0) return levels;
  PieceLevel simplified{i_kit, {}, nullptr, {}, nullptr};
  const std::vector<bool> opaque = OpaqueMaterials(i_kit);
  // The cards and the block boxes are toned from the sheets.
  if (i_lods >= 2) {
    simplified.tones = std::make_shared<const SheetTones>(LoadSheetTones(i_kit));
    simplified.cardTones = CardTonesOf(i_kit, *simplified.tones);
  }
  const std::shared_ptr<const SheetTones> tones = simplified.tones;
  // The sides with a tile on a card sheet the kit has show it where the simplified pieces lose
  // their detail, and on the cards; the others a flat tone. A kit has card sheets only for three
  // levels.
  const std::vector<std::array<CardTile, 4>> tiles =
      i_lods >= 3 ? CardTilesOf(i_kit, LayOutCards(i_kit)) : std::vector<std::array<CardTile, 4>>();
  std::vector<Piece> reduced(i_kit.pieces.size());
  // The richer forms of the storeys' facade pieces that become their cards, by piece id: those
  // that the larger share keeps as geometry.
  std::map<PieceId, Piece> richer;
  const std::vector<bool> storeys = StoreyPieces(i_kit);
  for (PieceId id = 0; id < i_kit.pieces.size(); ++id) {
    const Piece& piece = i_kit.pieces[id];
    if (piece.empty()) continue;
    const std::array<CardTile, 4>* tile = tiles.empty() ? nullptr : &tiles[id];
    // A piece whose walls show mostly its card when simplified is its card: the rest of its
    // triangles add little to what it looks like.
    reduced[id] = SimplifiedPiece(piece, kShare, opaque, tile);
    const bool card = tile && CardedShare(reduced[id], *tile) >= kCardedShare;
    simplified.kit.pieces[id] = card ? CardPiece(piece, reduced[id], tones.get(), tile) : reduced[id];
    if (!card || !storeys[id]) continue;
    Piece rich = SimplifiedPiece(piece, kRichShare, opaque, tile);
    if (CardedShare(rich, *tile) < kCardedShare) richer[id] = std::move(rich);
  }
  simplified.pieces = MakeTriangleMeshes(simplified.kit);
  if (!richer.empty()) {
    PieceLevel rich{simplified.kit, {}, tones, simplified.cardTones, nullptr};
    for (auto& [id, piece] : richer) rich.kit.pieces[id] = std::move(piece);
    rich.pieces = MakeTriangleMeshes(rich.kit);
    simplified.richer = std::make_shared<const PieceLevel>(std::move(rich));
  }
  if (i_lods < 3) {
    levels.push_back(std::move(simplified));
    return levels;
  }
  PieceLevel cards{i_kit, {}, tones, {}, nullptr};
  for (PieceId id = 0; id < cards.kit.pieces.size(); ++id) {
    if (!cards.kit.pieces[id].empty())
      cards.kit.pieces[id] = CardPiece(i_kit.pieces[id], reduced[id], tones.get(), &tiles[id]);
  }
  cards.pieces = MakeTriangleMeshes(cards.kit);
  levels.push_back(std::move(simplified));
  levels.push_back(std::move(cards));
  return levels;
}

const PieceLevel& LevelFor(const PieceLevel& i_level, const std::vector<TriangleMesh>& i_pieces,
                           const std::vector<std::uint64_t>& i_counts) {
  if (!i_level.richer) return i_level;
  // The building's own triangles as glTF has them (OBJ writes a face of no area too, and more
  // triangles then), the level's faces as OBJ writes them (glTF leaves out a triangle of no area):
  // the level keeps within a third in either.
  std::uint64_t own = 0, level = 0;
  for (PieceId id = 0; id < i_counts.size() && id < i_pieces.size(); ++id) {
    if (i_counts[id] == 0) continue;
    for (const MeshPart& part : i_pieces[id].parts)
      own = Numbers::SatAdd(own, Numbers::SatMul(i_counts[id], part.indices.size() / 3));
    std::uint64_t faces = 0;
    for (const std::uint32_t corners : i_level.richer->kit.pieces[id].polycount) faces += corners - 2;
    level = Numbers::SatAdd(level, Numbers::SatMul(i_counts[id], faces));
  }
  return level <= own / 3 ? *i_level.richer : i_level;
}

}  // namespace Ostrel::Buildings
