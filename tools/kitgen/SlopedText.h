#pragma once
// The OBJ text of a piece made of sloped faces (Pitched.h), in the form of the kit's other files,
// written by FacesText (FaceText.h).
//
// A face's texture axes, before they go onto the style's sheet, are metres on the face's own
// plane as a viewer outside it sees it: u to the right, v up (up the slope on a slanted face); a
// level face takes u along x and v along -z on its top (+z on its underside), as the box
// modeller's faces do.

#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "FaceText.h"
#include "Pitched.h"
#include "Styles.h"

namespace Kitgen {

namespace detail {

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

// The sloped faces, ready to be written (FaceText.h).
inline std::vector<TexturedFace> SlopedFaces(const std::vector<SlopedFace>& i_faces) {
  std::vector<TexturedFace> faces;
  for (const SlopedFace& face : i_faces) {
    const std::array<double, 3> unit = detail::Unit(detail::Direction(face.corners));
    const auto [uAxis, vAxis] = detail::TextureAxes(unit);
    TexturedFace out{face.material,
                     face.corners,
                     {},
                     {static_cast<float>(unit[0]), static_cast<float>(unit[1]), static_cast<float>(unit[2])}};
    for (const Point3& p : face.corners) {
      const auto metres = [&](const std::array<double, 3>& i_axis) {
        return (p[0] * i_axis[0] + p[1] * i_axis[1] + p[2] * i_axis[2]) / 100.0;
      };
      out.uv.push_back({metres(uAxis), metres(vAxis)});
    }
    faces.push_back(std::move(out));
  }
  return faces;
}

// The frame a pitched roof piece's file states in its header.
inline const char* const kRoofFrame =
    "# Metres; +x downhill, out of the facade below, +y up from the top of the last storey, +z "
    "along the facade; the cell spans x and z -1.5..1.5.\n";

inline std::string SlopedPieceText(const SlopedPiece& i_piece, const std::string& i_palette,
                                   const std::vector<Material>& i_materials, const Sheet& i_sheet,
                                   const char* i_frame = kRoofFrame) {
  return "# " + i_piece.name +
         ": unit mesh of the towerkit kit, written by tools/kitgen; rebuild it rather than edit it.\n" + i_frame +
         "mtllib " + i_palette + ".mtl\n" + FacesText(i_piece.name, SlopedFaces(i_piece.faces), i_materials, i_sheet, true);
}

}  // namespace Kitgen
