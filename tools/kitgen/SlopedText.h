#pragma once
// The OBJ text of a piece made of sloped faces (Pitched.h), in the form of the kit's other files:
// metres, one v line per distinct corner, one vn line per direction, one vt line per distinct
// texture coordinate, faces in runs of one material in the palette's order.
//
// Texture coordinates are metres on the face's own plane as a viewer outside it sees it: u to the
// right, v up (up the slope on a slanted face); a level face takes u along x and v along -z on
// its top (+z on its underside), as the box modeller's faces do.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Triangulate.h>
#include <ostrel/utils/NumberFormat.h>

#include "Pitched.h"
#include "Styles.h"

namespace Kitgen {

namespace detail {

inline void AppendFloats(std::string& io_text, std::initializer_list<float> i_values) {
  char number[Ostrel::Format::kMaxFloatChars];
  for (const float value : i_values) {
    io_text += ' ';
    io_text.append(number, Ostrel::Format::AppendFloat(number, value + 0.0f));
  }
  io_text += '\n';
}

// The face's normal as the shortest whole-number vector: one key per direction.
inline std::array<std::int64_t, 3> Direction(const std::vector<Point3>& i_corners) {
  std::array<std::int64_t, 3> n = AreaNormal(i_corners);
  const std::int64_t divisor = std::gcd(std::gcd(std::abs(n[0]), std::abs(n[1])), std::abs(n[2]));
  for (std::int64_t& component : n) component /= divisor;
  return n;
}

inline std::array<double, 3> Unit(const std::array<std::int64_t, 3>& i_n) {
  const double x = static_cast<double>(i_n[0]), y = static_cast<double>(i_n[1]), z = static_cast<double>(i_n[2]);
  const double length = std::sqrt(x * x + y * y + z * z);
  return {x / length, y / length, z / length};
}

// The texture axes of a face with unit normal i_n, per centimetre of the piece's frame.
inline std::pair<std::array<double, 3>, std::array<double, 3>> TextureAxes(const std::array<double, 3>& i_n) {
  if (i_n[0] == 0 && i_n[2] == 0) return {{1, 0, 0}, {0, 0, i_n[1] > 0 ? -1.0 : 1.0}};
  const double across = std::sqrt(i_n[0] * i_n[0] + i_n[2] * i_n[2]);
  const std::array<double, 3> u = {i_n[2] / across, 0, -i_n[0] / across};  // up x normal: to the right
  const std::array<double, 3> v = {i_n[1] * u[2] - i_n[2] * u[1], i_n[2] * u[0] - i_n[0] * u[2],
                                   i_n[0] * u[1] - i_n[1] * u[0]};  // normal x u: up the face
  return {u, v};
}

}  // namespace detail

// The frame a pitched roof piece's file states in its header.
inline const char* const kRoofFrame =
    "# Metres; +x downhill, out of the facade below, +y up from the top of the last storey, +z "
    "along the facade; the cell spans x and z -1.5..1.5.\n";

inline std::string SlopedPieceText(const SlopedPiece& i_piece, const std::string& i_palette,
                                   const std::vector<Material>& i_materials, const char* i_frame = kRoofFrame) {
  std::vector<SlopedFace> faces = i_piece.faces;
  const auto rank = [&](const std::string& i_material) {
    for (std::size_t k = 0; k < i_materials.size(); ++k)
      if (i_materials[k].name == i_material) return k;
    return i_materials.size();
  };
  std::stable_sort(faces.begin(), faces.end(), [&](const SlopedFace& i_a, const SlopedFace& i_b) {
    return rank(i_a.material) < rank(i_b.material);
  });

  std::map<Point3, std::size_t> vertexIndex;
  std::map<std::pair<float, float>, std::size_t> uvIndex;
  std::map<std::array<std::int64_t, 3>, std::size_t> normalIndex;
  std::string v, vt, vn, f;
  std::string material;
  for (const SlopedFace& face : faces) {
    if (face.material != material) {
      material = face.material;
      f += "usemtl " + material + "\n";
    }
    const std::array<std::int64_t, 3> direction = detail::Direction(face.corners);
    const std::array<double, 3> unit = detail::Unit(direction);
    const auto [n, newNormal] = normalIndex.try_emplace(direction, normalIndex.size() + 1);
    if (newNormal) {
      vn += "vn";
      detail::AppendFloats(
          vn, {static_cast<float>(unit[0]), static_cast<float>(unit[1]), static_cast<float>(unit[2])});
    }
    const auto [uAxis, vAxis] = detail::TextureAxes(unit);
    std::vector<std::string> corners;  // each corner's "v/vt/vn"
    std::vector<Ostrel::VectorF> polygon;
    for (const Point3& p : face.corners) {
      const auto [at, newVertex] = vertexIndex.try_emplace(p, vertexIndex.size() + 1);
      if (newVertex) {
        v += "v";
        detail::AppendFloats(v, {static_cast<float>(p[0]) / 100.0f, static_cast<float>(p[1]) / 100.0f,
                                 static_cast<float>(p[2]) / 100.0f});
      }
      const auto metres = [&](const std::array<double, 3>& i_axis) {
        return static_cast<float>((p[0] * i_axis[0] + p[1] * i_axis[1] + p[2] * i_axis[2]) / 100.0) + 0.0f;
      };
      const auto [uv, newUv] = uvIndex.try_emplace({metres(uAxis), metres(vAxis)}, uvIndex.size() + 1);
      if (newUv) {
        vt += "vt";
        detail::AppendFloats(vt, {uv->first.first, uv->first.second});
      }
      corners.push_back(std::to_string(at->second) + '/' + std::to_string(uv->second) + '/' +
                        std::to_string(n->second));
      polygon.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    }
    // Triangles, none flat, as the box modeller's faces are written (main.cpp).
    std::vector<Ostrel::Triangulation::CornerTriangle> triangles;
    if (Ostrel::Triangulation::CutPolygon(polygon, triangles) != Ostrel::Triangulation::PolygonShape::Convex) {
      throw std::runtime_error(i_piece.name + ": a face is not a convex polygon");
    }
    for (const Ostrel::Triangulation::CornerTriangle& triangle : triangles) {
      f += "f " + corners[triangle[0]] + ' ' + corners[triangle[1]] + ' ' + corners[triangle[2]] + '\n';
    }
  }
  return "# " + i_piece.name +
         ": unit mesh of the towerkit kit, written by tools/kitgen; rebuild it rather than edit it.\n" +
         i_frame + "mtllib " + i_palette + ".mtl\n" + v + vt + vn + f;
}

}  // namespace Kitgen
