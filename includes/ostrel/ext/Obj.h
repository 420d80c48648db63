#pragma once
// Wavefront OBJ files: the reader that loads unit meshes and the library's general writer.
// PLACEHOLDER: interface only; the bodies are being written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/core/MathTypes.h>

namespace Obj {

using Ostrel::Triangle;
using Ostrel::UV;
using Ostrel::VectorF;

// Marks a corner field that the file does not give (a corner written "1//3" has no texture).
inline constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;

// One face corner: 0-based indices into its own file's vertices, uvs and normals.
struct Corner {
  std::uint32_t v = kAbsent;
  std::uint32_t uv = kAbsent;
  std::uint32_t n = kAbsent;
};

// One OBJ file with its corners kept whole, so that mixed corner forms stay aligned.
struct Mesh {
  std::vector<VectorF> vertices;
  std::vector<VectorF> normals;
  std::vector<UV> uvs;
  std::vector<Corner> corners;           // all faces' corners, face after face
  std::vector<std::uint32_t> polycount;  // corner count of each face
};

// Replaces o_mesh with the mesh in i_text.
inline void Parse(std::string_view i_text, Mesh& o_mesh) {
  o_mesh = Mesh{};
  (void)i_text;
}

// Replaces o_mesh with the mesh of the file. False when it cannot be opened as a regular file.
inline bool ReadMesh(const std::string& i_filename, Mesh& o_mesh) {
  o_mesh = Mesh{};
  (void)i_filename;
  return false;
}

// Appends the file's mesh to the seven arrays, indices 0-based from the file's own first element.
inline bool Read(const std::string& filename, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
                 std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices, std::vector<std::uint32_t>& nindices,
                 std::vector<std::uint32_t>& uvindices, std::vector<std::uint32_t>& polycount);

void Write(const std::string& outputfilename, const std::vector<VectorF>& vertices,
           const std::vector<VectorF>& normals, const std::vector<Triangle>& triangles);

}  // namespace Obj
