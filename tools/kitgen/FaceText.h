#pragma once
// The one place where a piece's faces become OBJ lines, for every kind of piece (the box
// modeller's, Surface.h, and the sloped roof pieces', Pitched.h): one v line per distinct corner,
// one vn line per direction, one vt line per distinct texture coordinate, and the faces in runs
// of one material, in the palette's order, each run after a usemtl line.
//
// A face's texture coordinates come in metres on its own plane, u to the right and v up as a
// viewer outside the face sees it. A face whose material has a strip on the style's texture
// sheet is written in the sheet's coordinates (Sheets.h: MapFace, SheetUv); any other keeps its
// metres.

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Triangulate.h>
#include <ostrel/utils/NumberFormat.h>

#include "Sheets.h"
#include "Styles.h"
#include "Surface.h"

namespace Kitgen {

// A flat convex face ready to be written.
struct TexturedFace {
  std::string material;
  std::vector<Point3> corners;              // centimetres, counter-clockwise seen from outside
  std::vector<std::array<double, 2>> uv;    // metres on the face's plane, one per corner
  std::array<float, 3> normal;              // outward, of unit length
};

// Texture axes of a box face as a viewer outside it sees them: u to the right, v up (for the top
// and the bottom, v away from a viewer standing on the +x side), in centimetres.
inline std::pair<int, int> TextureAt(const Face& i_face, const Point3& i_p) {
  if (i_face.axis == 0) return {-i_face.sign * i_p[2], i_p[1]};
  if (i_face.axis == 1) return {i_p[0], -i_face.sign * i_p[2]};
  return {i_face.sign * i_p[0], i_p[1]};
}

// The box modeller's faces, ready to be written.
inline std::vector<TexturedFace> BoxFaces(const std::vector<Face>& i_faces) {
  std::vector<TexturedFace> faces;
  for (const Face& face : i_faces) {
    TexturedFace out{face.material, face.corners, {}, {0, 0, 0}};
    out.normal[static_cast<std::size_t>(face.axis)] = static_cast<float>(face.sign);
    for (const Point3& p : face.corners) {
      const auto [u, v] = TextureAt(face, p);
      out.uv.push_back({u / 100.0, v / 100.0});
    }
    faces.push_back(std::move(out));
  }
  return faces;
}

namespace detail {

inline void AppendNumbers(std::string& io_text, std::initializer_list<float> i_values) {
  char number[Ostrel::Format::kMaxFloatChars];
  for (const float value : i_values) {
    io_text += ' ';
    io_text.append(number, Ostrel::Format::AppendFloat(number, value + 0.0f));
  }
  io_text += '\n';
}

// The corners' texture coordinates as written: on the sheet when the material has a strip there.
inline std::vector<std::array<float, 2>> WrittenUvs(const TexturedFace& i_face, const Sheet& i_sheet) {
  std::vector<std::array<float, 2>> uvs;
  for (const std::array<double, 2>& uv : SheetUvs(i_sheet, i_face.material, i_face.uv))
    uvs.push_back({static_cast<float>(uv[0]), static_cast<float>(uv[1])});
  return uvs;
}

}  // namespace detail

// The v, vt, vn and f lines of the faces (with usemtl lines when i_materials is true), the faces
// sorted by the palette's order of materials so that each material is one run. Throws for a face
// that is not a convex polygon.
inline std::string FacesText(const std::string& i_piece, std::vector<TexturedFace> i_faces,
                             const std::vector<Material>& i_palette, const Sheet& i_sheet, bool i_materials) {
  const auto rank = [&](const std::string& i_material) {
    for (std::size_t k = 0; k < i_palette.size(); ++k)
      if (i_palette[k].name == i_material) return k;
    return i_palette.size();
  };
  std::stable_sort(i_faces.begin(), i_faces.end(), [&](const TexturedFace& i_a, const TexturedFace& i_b) {
    return rank(i_a.material) < rank(i_b.material);
  });

  std::map<Point3, std::size_t> vertexIndex;
  std::map<std::array<float, 2>, std::size_t> uvIndex;
  std::map<std::array<float, 3>, std::size_t> normalIndex;
  std::string v, vt, vn, f;
  std::string material;
  for (const TexturedFace& face : i_faces) {
    if (i_materials && face.material != material) {
      material = face.material;
      f += "usemtl " + material + "\n";
    }
    const auto [n, newNormal] = normalIndex.try_emplace(face.normal, normalIndex.size() + 1);
    if (newNormal) {
      vn += "vn";
      detail::AppendNumbers(vn, {face.normal[0], face.normal[1], face.normal[2]});
    }
    const std::vector<std::array<float, 2>> uvs = detail::WrittenUvs(face, i_sheet);
    // Every reader reads the same triangles, none of them flat: the polygon is cut here, in its
    // plane, keeping its collinear corners (no T-junction with its neighbours).
    std::vector<std::string> corners;  // each corner's "v/vt/vn"
    std::vector<Ostrel::VectorF> polygon;
    for (std::size_t k = 0; k < face.corners.size(); ++k) {
      const Point3& p = face.corners[k];
      const auto [at, newVertex] = vertexIndex.try_emplace(p, vertexIndex.size() + 1);
      if (newVertex) {
        v += "v";
        detail::AppendNumbers(v, {static_cast<float>(p[0]) / 100.0f, static_cast<float>(p[1]) / 100.0f,
                                  static_cast<float>(p[2]) / 100.0f});
      }
      const auto [uv, newUv] = uvIndex.try_emplace(uvs[k], uvIndex.size() + 1);
      if (newUv) {
        vt += "vt";
        detail::AppendNumbers(vt, {uvs[k][0], uvs[k][1]});
      }
      corners.push_back(std::to_string(at->second) + '/' + std::to_string(uv->second) + '/' +
                        std::to_string(n->second));
      polygon.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    }
    std::vector<Ostrel::Triangulation::CornerTriangle> triangles;
    if (Ostrel::Triangulation::CutPolygon(polygon, triangles) != Ostrel::Triangulation::PolygonShape::Convex) {
      throw std::runtime_error(i_piece + ": a face is not a convex polygon");
    }
    for (const Ostrel::Triangulation::CornerTriangle& triangle : triangles) {
      f += "f " + corners[triangle[0]] + ' ' + corners[triangle[1]] + ' ' + corners[triangle[2]] + '\n';
    }
  }
  return v + vt + vn + f;
}

}  // namespace Kitgen
