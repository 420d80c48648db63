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

namespace Ostrel::Buildings {

namespace {

// The simplifier stops at the triangle count asked for or once a collapse would move the surface
// by more than this share of the piece's size, whichever comes first; each bound is tried in
// turn until the count is reached. The largest keeps a window's recess and frame (a few
// centimetres deep in a cell of metres): past it, windows fold into shards of frame.
constexpr float kErrors[] = {0.005f, 0.01f, 0.02f, 0.05f};
constexpr float kStraightBorder[] = {1e-4f, 1e-3f};

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

// Of the piece's own triangles of i_material in the plane of the triangle (i_corners, i_normal),
// the one whose face holds its middle, or else the one nearest it; null when none lies in the
// plane.
const Original* FaceUnder(const std::vector<Original>& i_originals, std::uint32_t i_material,
                          const VectorF* i_corners, const VectorF& i_normal) {
  const VectorF middle((i_corners[0].x + i_corners[1].x + i_corners[2].x) / 3,
                       (i_corners[0].y + i_corners[1].y + i_corners[2].y) / 3,
                       (i_corners[0].z + i_corners[1].z + i_corners[2].z) / 3);
  const Original* nearest = nullptr;
  double nearestDistance = INFINITY;
  for (const Original& original : i_originals) {
    if (original.material != i_material || Dot(original.normal, i_normal) < 0.999) continue;
    if (std::fabs(Dot(original.normal, middle) - original.offset) > 1e-4) continue;
    const std::array<double, 2> st = OnTriangle(original, middle);
    if (st[0] >= -1e-6 && st[1] >= -1e-6 && st[0] + st[1] <= 1 + 1e-6) return &original;
    const VectorF centre((original.corners[0].x + original.corners[1].x + original.corners[2].x) / 3,
                         (original.corners[0].y + original.corners[1].y + original.corners[2].y) / 3,
                         (original.corners[0].z + original.corners[1].z + original.corners[2].z) / 3);
    const double distance = Length(Minus(centre, middle));
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest = &original;
    }
  }
  return nearest;
}

}  // namespace

Piece SimplifiedPiece(const Piece& i_piece, double i_share) {
  const TriangleMesh whole = MakeTriangleMesh(i_piece);
  // The piece's triangles over vertices welded by position and material: the simplifier sees one
  // surface, where the edges between materials are seams that it keeps, and nothing else.
  std::vector<Original> originals;
  std::vector<VectorF> positions;
  std::vector<std::uint32_t> materials;  // of each welded vertex
  std::map<std::pair<std::array<float, 3>, std::uint32_t>, std::uint32_t> welded;
  std::vector<std::uint32_t> indices;
  std::map<std::uint32_t, std::array<double, 3>> uvSums;  // a mapped material's u, v and count
  for (const MeshPart& part : whole.parts) {
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
      Original original;
      original.material = part.material;
      original.mapped = !part.uvs.empty();
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t index = part.indices[i + static_cast<std::size_t>(k)];
        const VectorF& p = part.positions[index];
        original.corners[k] = p;
        original.uvs[k] = original.mapped ? part.uvs[index] : UV(0, 0);
        const auto [it, added] = welded.emplace(std::make_pair(std::array<float, 3>{p.x, p.y, p.z}, part.material),
                                                static_cast<std::uint32_t>(positions.size()));
        if (added) {
          positions.push_back(p);
          materials.push_back(part.material);
        }
        indices.push_back(it->second);
        if (!original.mapped) continue;
        std::array<double, 3>& sums = uvSums[part.material];
        sums = {sums[0] + original.uvs[k].u, sums[1] + original.uvs[k].v, sums[2] + 1};
      }
      const VectorF normal = Cross(Minus(original.corners[1], original.corners[0]),
                                   Minus(original.corners[2], original.corners[0]));
      const double length = Length(normal);
      if (!(length > 0)) continue;
      original.normal = VectorF(static_cast<float>(normal.x / length), static_cast<float>(normal.y / length),
                                static_cast<float>(normal.z / length));
      original.offset = Dot(original.normal, original.corners[0]);
      originals.push_back(original);
    }
  }
  const auto target = 3 * static_cast<std::size_t>(std::floor(static_cast<double>(indices.size() / 3) * i_share));
  std::vector<std::uint32_t> kept = indices;
  for (const float error : kErrors) {
    if (kept.size() <= target) break;
    std::vector<std::uint32_t> fewer(indices.size());
    fewer.resize(meshopt_simplify(fewer.data(), indices.data(), indices.size(), &positions[0].x, positions.size(),
                                  sizeof(VectorF), target, error, meshopt_SimplifyLockBorder, nullptr));
    if (!fewer.empty() && fewer.size() < kept.size()) kept = std::move(fewer);
  }
  // A vertex of the border that lies on a straight stretch of it can go without moving the
  // border: neighbours still meet along the same line.
  for (const float error : kStraightBorder) {
    if (kept.size() <= target) break;
    std::vector<std::uint32_t> fewer(kept.size());
    fewer.resize(meshopt_simplify(fewer.data(), kept.data(), kept.size(), &positions[0].x, positions.size(),
                                  sizeof(VectorF), target, error, 0, nullptr));
    if (!fewer.empty() && fewer.size() < kept.size()) kept = std::move(fewer);
  }
  // Triangles in material order, so that a material's faces come in one run.
  std::vector<std::array<std::uint32_t, 3>> triangles;
  for (std::size_t i = 0; i + 2 < kept.size(); i += 3) triangles.push_back({kept[i], kept[i + 1], kept[i + 2]});
  std::stable_sort(triangles.begin(), triangles.end(), [&](const auto& i_a, const auto& i_b) {
    return materials[i_a[0]] < materials[i_b[0]];
  });
  Piece piece = Hollow(i_piece);
  for (const auto& triangle : triangles) {
    const std::uint32_t material = materials[triangle[0]];
    const VectorF corners[3] = {positions[triangle[0]], positions[triangle[1]], positions[triangle[2]]};
    const VectorF normal = Cross(Minus(corners[1], corners[0]), Minus(corners[2], corners[0]));
    const double length = Length(normal);
    if (!(length > 1e-9)) continue;
    const VectorF unit(static_cast<float>(normal.x / length), static_cast<float>(normal.y / length),
                       static_cast<float>(normal.z / length));
    const VectorF normals[3] = {unit, unit, unit};
    const auto sums = uvSums.find(material);
    if (sums == uvSums.end()) {
      AddTriangle(piece, material, corners, normals, nullptr);
      continue;
    }
    // A triangle that the collapses tilted out of every face of its material takes one texel of
    // that material: a flat tone rather than a stretch.
    const std::array<double, 3>& s = sums->second;
    const UV tone(static_cast<float>(s[0] / s[2]), static_cast<float>(s[1] / s[2]));
    UV uvs[3] = {tone, tone, tone};
    if (const Original* face = FaceUnder(originals, material, corners, unit)) {
      for (int k = 0; k < 3; ++k) uvs[k] = MapOnto(*face, corners[k]);
    }
    AddTriangle(piece, material, corners, normals, uvs);
  }
  DropMaterials(piece, i_piece);
  return piece;
}

Piece CardPiece(const Piece& i_piece, const Piece& i_simplified) {
  // What the faces of the piece that look one way add up to.
  struct Tone {
    double area = 0, u = 0, v = 0;
  };
  struct Side {
    double area = 0;
    double depth = 0;  // area times the distance out along the side's way
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};  // y, and across
    std::map<std::uint32_t, Tone> tones;                                     // by material
    std::map<std::uint32_t, bool> mapped;
  };
  // +x, -x, +z, -z: the axis (0 x, 2 z) and its sign.
  const int axes[4] = {0, 0, 2, 2};
  const double signs[4] = {1, -1, 1, -1};
  Side sides[4];
  double up = 0;
  const TriangleMesh whole = MakeTriangleMesh(i_piece);
  for (const MeshPart& part : whole.parts) {
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
      const VectorF& a = part.positions[part.indices[i]];
      const VectorF& b = part.positions[part.indices[i + 1]];
      const VectorF& c = part.positions[part.indices[i + 2]];
      const VectorF normal = Cross(Minus(b, a), Minus(c, a));
      const double twice = Length(normal);
      if (!(twice > 0)) continue;
      const double n[3] = {normal.x / twice, normal.y / twice, normal.z / twice};
      const double area = twice / 2;
      if (n[1] > kLooksUp) up += area;
      const double middle[3] = {(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0};
      for (int s = 0; s < 4; ++s) {
        const int axis = axes[s];
        if (n[axis] * signs[s] < kFacing || middle[axis] * signs[s] < kOuter) continue;
        Side& side = sides[s];
        side.area += area;
        side.depth += area * middle[axis] * signs[s];
        const int across = 2 - axis;
        for (const VectorF* p : {&a, &b, &c}) {
          const double at[2] = {p->y, across == 0 ? p->x : p->z};
          for (int k = 0; k < 2; ++k) {
            side.low[k] = std::min(side.low[k], at[k]);
            side.high[k] = std::max(side.high[k], at[k]);
          }
        }
        Tone& tone = side.tones[part.material];
        tone.area += area;
        side.mapped[part.material] = !part.uvs.empty();
        if (part.uvs.empty()) continue;
        for (int k = 0; k < 3; ++k) {
          const UV& uv = part.uvs[part.indices[i + static_cast<std::size_t>(k)]];
          tone.u += area * uv.u / 3;
          tone.v += area * uv.v / 3;
        }
      }
    }
  }
  Piece card = Hollow(i_piece);
  for (int s = 0; s < 4; ++s) {
    const Side& side = sides[s];
    if (side.area < kLeastSide) continue;
    std::uint32_t material = side.tones.begin()->first;
    for (const auto& [id, tone] : side.tones) {
      if (tone.area > side.tones.at(material).area) material = id;
    }
    const Tone& tone = side.tones.at(material);
    const UV uv(static_cast<float>(tone.u / tone.area), static_cast<float>(tone.v / tone.area));
    const UV uvs[3] = {uv, uv, uv};
    const int axis = axes[s];
    const double out = side.depth / side.area * signs[s];
    // The quad's corners by (y, across), from low to high.
    const auto corner = [&](int i_y, int i_across) {
      const auto y = static_cast<float>(i_y ? side.high[0] : side.low[0]);
      const auto across = static_cast<float>(i_across ? side.high[1] : side.low[1]);
      return axis == 0 ? VectorF(static_cast<float>(out), y, across) : VectorF(across, y, static_cast<float>(out));
    };
    VectorF normal(0, 0, 0);
    (axis == 0 ? normal.x : normal.z) = static_cast<float>(signs[s]);
    const VectorF normals[3] = {normal, normal, normal};
    VectorF first[3] = {corner(0, 0), corner(0, 1), corner(1, 1)};
    VectorF second[3] = {corner(0, 0), corner(1, 1), corner(1, 0)};
    // Wound counter-clockwise seen from outside.
    const VectorF winding = Cross(Minus(first[1], first[0]), Minus(first[2], first[0]));
    if (winding.x * normal.x + winding.z * normal.z < 0) {
      std::swap(first[1], first[2]);
      std::swap(second[1], second[2]);
    }
    const bool mapped = side.mapped.at(material);
    AddTriangle(card, material, first, normals, mapped ? uvs : nullptr);
    AddTriangle(card, material, second, normals, mapped ? uvs : nullptr);
  }
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
  PieceLevel simplified{i_kit, {}};
  for (Piece& piece : simplified.kit.pieces) {
    if (!piece.empty()) piece = SimplifiedPiece(piece, 0.25);
  }
  simplified.pieces = MakeTriangleMeshes(simplified.kit);
  if (i_lods < 3) {
    levels.push_back(std::move(simplified));
    return levels;
  }
  PieceLevel cards{i_kit, {}};
  for (PieceId id = 0; id < cards.kit.pieces.size(); ++id) {
    if (!cards.kit.pieces[id].empty()) cards.kit.pieces[id] = CardPiece(i_kit.pieces[id], simplified.kit.pieces[id]);
  }
  cards.pieces = MakeTriangleMeshes(cards.kit);
  levels.push_back(std::move(simplified));
  levels.push_back(std::move(cards));
  return levels;
}

}  // namespace Ostrel::Buildings
