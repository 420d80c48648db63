#pragma once
// Reading .glb files back with an independent reader (tinygltf), and the triangles they show in
// world space, whichever way their meshes are placed (plain nodes, node trees with translation,
// rotation and scale, GPU instances), for comparing one form with another and with OBJ text.

#include <tiny_gltf.h>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Triangulate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace GltfTest {

// A triangle's three corners, x y z each.
using Triangle = std::array<double, 9>;

// Keeps the image's bytes as they are in the file, so that tests compare what was embedded.
inline bool KeepImageBytes(tinygltf::Image* o_image, const int, std::string*, std::string*, int, int,
                           const unsigned char* i_bytes, int i_size, void*) {
  o_image->image.assign(i_bytes, i_bytes + i_size);
  return true;
}

// Loads a .glb from its bytes; o_problems gets tinygltf's errors and warnings.
inline bool Load(const std::string& i_bytes, tinygltf::Model& o_model, std::string& o_problems) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader(KeepImageBytes, nullptr);
  std::string error, warning;
  const bool loaded = loader.LoadBinaryFromMemory(&o_model, &error, &warning,
                                                  reinterpret_cast<const unsigned char*>(i_bytes.data()),
                                                  static_cast<unsigned int>(i_bytes.size()));
  o_problems = error + warning;
  return loaded;
}

// Column-major 4 x 4 matrices, as glTF writes them.
using Matrix = std::array<double, 16>;

inline Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

inline Matrix Multiply(const Matrix& i_a, const Matrix& i_b) {
  Matrix product{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      for (int k = 0; k < 4; ++k) product[column * 4 + row] += i_a[k * 4 + row] * i_b[column * 4 + k];
    }
  }
  return product;
}

// T * R * S from a translation, a quaternion (x, y, z, w) and a scale.
inline Matrix Compose(const double* i_t, const double* i_q, const double* i_s) {
  const double x = i_q[0], y = i_q[1], z = i_q[2], w = i_q[3];
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                       2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                       2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  Matrix m = Identity();
  for (int column = 0; column < 3; ++column) {
    for (int row = 0; row < 3; ++row) m[column * 4 + row] = r[column * 3 + row] * i_s[column];
  }
  for (int row = 0; row < 3; ++row) m[12 + row] = i_t[row];
  return m;
}

inline Matrix NodeMatrix(const tinygltf::Node& i_node) {
  double t[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
  for (std::size_t i = 0; i < i_node.translation.size(); ++i) t[i] = i_node.translation[i];
  for (std::size_t i = 0; i < i_node.rotation.size(); ++i) q[i] = i_node.rotation[i];
  for (std::size_t i = 0; i < i_node.scale.size(); ++i) s[i] = i_node.scale[i];
  return Compose(t, q, s);
}

// Element i_index of a float or unsigned integer accessor, component i_component.
inline double Element(const tinygltf::Model& i_model, int i_accessor, std::size_t i_index, int i_component) {
  const tinygltf::Accessor& accessor = i_model.accessors[static_cast<std::size_t>(i_accessor)];
  const tinygltf::BufferView& view = i_model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
  const int size = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
  const int stride = accessor.ByteStride(view);
  const unsigned char* at = i_model.buffers[static_cast<std::size_t>(view.buffer)].data.data() +
                            view.byteOffset + accessor.byteOffset +
                            i_index * static_cast<std::size_t>(stride) +
                            static_cast<std::size_t>(i_component * size);
  if (accessor.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
    float value;
    std::memcpy(&value, at, 4);
    return value;
  }
  if (accessor.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
    std::uint16_t value;
    std::memcpy(&value, at, 2);
    return value;
  }
  std::uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

// Adds the mesh's triangles placed by i_world; with o_normals, also their corners' normals,
// turned by i_world and made unit length again.
inline void AddMeshTriangles(const tinygltf::Model& i_model, const tinygltf::Mesh& i_mesh,
                             const Matrix& i_world, std::vector<Triangle>& io_triangles,
                             std::vector<Triangle>* o_normals) {
  for (const tinygltf::Primitive& primitive : i_mesh.primitives) {
    const int positions = primitive.attributes.at("POSITION");
    const int normals = primitive.attributes.at("NORMAL");
    const std::size_t count = i_model.accessors[static_cast<std::size_t>(primitive.indices)].count;
    for (std::size_t i = 0; i + 2 < count; i += 3) {
      Triangle triangle{}, normal{};
      for (std::size_t corner = 0; corner < 3; ++corner) {
        const auto vertex = static_cast<std::size_t>(Element(i_model, primitive.indices, i + corner, 0));
        double p[3], n[3];
        for (int k = 0; k < 3; ++k) p[k] = Element(i_model, positions, vertex, k);
        for (int k = 0; k < 3; ++k) n[k] = Element(i_model, normals, vertex, k);
        double length = 0;
        for (int row = 0; row < 3; ++row) {
          triangle[corner * 3 + row] =
              i_world[row] * p[0] + i_world[4 + row] * p[1] + i_world[8 + row] * p[2] + i_world[12 + row];
          normal[corner * 3 + row] = i_world[row] * n[0] + i_world[4 + row] * n[1] + i_world[8 + row] * n[2];
          length += normal[corner * 3 + row] * normal[corner * 3 + row];
        }
        for (int row = 0; row < 3; ++row) normal[corner * 3 + row] /= std::sqrt(length);
      }
      io_triangles.push_back(triangle);
      if (o_normals) o_normals->push_back(normal);
    }
  }
}

// The instance matrices of a node's EXT_mesh_gpu_instancing, or none.
inline std::vector<Matrix> Instances(const tinygltf::Model& i_model, const tinygltf::Node& i_node) {
  const auto extension = i_node.extensions.find("EXT_mesh_gpu_instancing");
  if (extension == i_node.extensions.end()) return {};
  const tinygltf::Value& attributes = extension->second.Get("attributes");
  const int translation = attributes.Get("TRANSLATION").GetNumberAsInt();
  const std::size_t count = i_model.accessors[static_cast<std::size_t>(translation)].count;
  std::vector<Matrix> matrices;
  for (std::size_t i = 0; i < count; ++i) {
    double t[3], q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
    for (int k = 0; k < 3; ++k) t[k] = Element(i_model, translation, i, k);
    if (attributes.Has("ROTATION")) {
      for (int k = 0; k < 4; ++k) q[k] = Element(i_model, attributes.Get("ROTATION").GetNumberAsInt(), i, k);
    }
    if (attributes.Has("SCALE")) {
      for (int k = 0; k < 3; ++k) s[k] = Element(i_model, attributes.Get("SCALE").GetNumberAsInt(), i, k);
    }
    matrices.push_back(Compose(t, q, s));
  }
  return matrices;
}

inline void AddNodeTriangles(const tinygltf::Model& i_model, int i_node, const Matrix& i_parent,
                             std::vector<Triangle>& io_triangles, std::vector<Triangle>* o_normals) {
  const tinygltf::Node& node = i_model.nodes[static_cast<std::size_t>(i_node)];
  const Matrix world = Multiply(i_parent, NodeMatrix(node));
  if (node.mesh >= 0) {
    const tinygltf::Mesh& mesh = i_model.meshes[static_cast<std::size_t>(node.mesh)];
    std::vector<Matrix> instances = Instances(i_model, node);
    if (instances.empty()) instances.push_back(Identity());
    for (const Matrix& instance : instances) {
      AddMeshTriangles(i_model, mesh, Multiply(world, instance), io_triangles, o_normals);
    }
  }
  for (const int child : node.children) AddNodeTriangles(i_model, child, world, io_triangles, o_normals);
}

// Every triangle of the default scene, in world space; with o_normals, its corners' normals.
inline std::vector<Triangle> SceneTriangles(const tinygltf::Model& i_model,
                                            std::vector<Triangle>* o_normals = nullptr) {
  std::vector<Triangle> triangles;
  for (const int node : i_model.scenes[static_cast<std::size_t>(i_model.defaultScene)].nodes) {
    AddNodeTriangles(i_model, node, Identity(), triangles, o_normals);
  }
  return triangles;
}

// Empty when every corner's normal points within a few degrees of its triangle's front, as the
// winding gives it (counter-clockwise seen from the front); otherwise the first that does not.
// Triangles without area are passed over.
inline std::string CheckNormalsFollowWinding(const std::vector<Triangle>& i_triangles,
                                             const std::vector<Triangle>& i_normals) {
  for (std::size_t t = 0; t < i_triangles.size(); ++t) {
    const Triangle& p = i_triangles[t];
    const double u[3] = {p[3] - p[0], p[4] - p[1], p[5] - p[2]};
    const double v[3] = {p[6] - p[0], p[7] - p[1], p[8] - p[2]};
    double front[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double area = std::sqrt(front[0] * front[0] + front[1] * front[1] + front[2] * front[2]);
    if (area < 1e-9) continue;
    for (int corner = 0; corner < 3; ++corner) {
      double dot = 0;
      for (int k = 0; k < 3; ++k) dot += front[k] / area * i_normals[t][corner * 3 + k];
      if (dot < 0.99)
        return "triangle " + std::to_string(t) + " corner " + std::to_string(corner) + ": " +
               std::to_string(dot);
    }
  }
  return std::string();
}

// The triangles of OBJ text, polygons cut in their own plane as the glTF writer and a careful
// reader cut them (Triangulate.h). The writer cuts a piece's polygons in cell units: i_scale, the
// output's units per cell, brings text in other units back to them for the cut.
inline std::vector<Triangle> ObjTriangles(const std::string& i_text,
                                          const Ostrel::VectorF& i_scale = Ostrel::VectorF(1, 1, 1)) {
  std::vector<std::array<double, 3>> vertices;
  std::vector<Triangle> triangles;
  std::istringstream in(i_text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "v") {
      std::array<double, 3> v{};
      words >> v[0] >> v[1] >> v[2];
      vertices.push_back(v);
    } else if (keyword == "f") {
      std::vector<std::size_t> corners;
      std::string corner;
      while (words >> corner) corners.push_back(std::stoul(corner.substr(0, corner.find('/'))) - 1);
      std::vector<Ostrel::VectorF> polygon;
      for (const std::size_t c : corners) {
        polygon.emplace_back(static_cast<float>(vertices[c][0] / i_scale.x),
                             static_cast<float>(vertices[c][1] / i_scale.y),
                             static_cast<float>(vertices[c][2] / i_scale.z));
      }
      std::vector<Ostrel::Triangulation::CornerTriangle> cut;
      Ostrel::Triangulation::CutPolygon(polygon, cut);
      for (const Ostrel::Triangulation::CornerTriangle& three : cut) {
        Triangle triangle{};
        for (int k = 0; k < 3; ++k) {
          for (int axis = 0; axis < 3; ++axis) triangle[k * 3 + axis] = vertices[corners[three[k]]][axis];
        }
        triangles.push_back(triangle);
      }
    }
  }
  return triangles;
}

// Empty when both lists hold the same triangles, corner for corner, in any order, each
// coordinate within i_tolerance; otherwise the first triangle of i_a that i_b lacks.
inline std::string CompareTriangles(const std::vector<Triangle>& i_a, const std::vector<Triangle>& i_b,
                                    double i_tolerance) {
  if (i_a.size() != i_b.size()) {
    return std::to_string(i_a.size()) + " triangles against " + std::to_string(i_b.size());
  }
  // i_b by the cell of a grid, coarser than the tolerance, that holds its first corner: a match
  // of a triangle of i_a lies in the cell of its own first corner or in a neighbouring one.
  const double cell = 4 * i_tolerance;
  using Cell = std::array<long long, 3>;
  const auto cellOf = [cell](const Triangle& i_triangle) {
    return Cell{std::llround(i_triangle[0] / cell), std::llround(i_triangle[1] / cell),
                std::llround(i_triangle[2] / cell)};
  };
  std::multimap<Cell, std::size_t> cells;
  for (std::size_t i = 0; i < i_b.size(); ++i) cells.emplace(cellOf(i_b[i]), i);
  const auto close = [i_tolerance](const Triangle& i_x, const Triangle& i_y) {
    for (int i = 0; i < 9; ++i) {
      if (!(std::fabs(i_x[i] - i_y[i]) <= i_tolerance)) return false;
    }
    return true;
  };
  for (std::size_t t = 0; t < i_a.size(); ++t) {
    const Cell home = cellOf(i_a[t]);
    bool found = false;
    for (int d = 0; d < 27 && !found; ++d) {
      const Cell near = {home[0] + d % 3 - 1, home[1] + d / 3 % 3 - 1, home[2] + d / 9 - 1};
      const auto [first, last] = cells.equal_range(near);
      for (auto it = first; it != last; ++it) {
        if (close(i_a[t], i_b[it->second])) {
          cells.erase(it);
          found = true;
          break;
        }
      }
    }
    if (!found) {
      std::string corners;
      for (int i = 0; i < 9; ++i) corners += " " + std::to_string(i_a[t][i]);
      return "triangle " + std::to_string(t) + " has no match:" + corners;
    }
  }
  return std::string();
}

}  // namespace GltfTest
