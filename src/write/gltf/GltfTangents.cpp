// The tangents of a part's vertices.

#include "write/gltf/GltfTangents.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace Ostrel::Buildings {

namespace {
// Named apart: the library is built in unity batches, where another file's helpers may share a name.
namespace tangent_math {

using Vector3 = std::array<double, 3>;

Vector3 Minus(const VectorF& i_a, const VectorF& i_b) {
  return {static_cast<double>(i_a.x) - i_b.x, static_cast<double>(i_a.y) - i_b.y,
          static_cast<double>(i_a.z) - i_b.z};
}

double Dot(const Vector3& i_a, const Vector3& i_b) { return i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2]; }

Vector3 Cross(const Vector3& i_a, const Vector3& i_b) {
  return {i_a[1] * i_b[2] - i_a[2] * i_b[1], i_a[2] * i_b[0] - i_a[0] * i_b[2], i_a[0] * i_b[1] - i_a[1] * i_b[0]};
}

// i_t less its share along the unit normal i_n, unit length; false when nothing is left.
bool Perpendicular(const Vector3& i_n, const Vector3& i_t, Vector3& o_t) {
  const double along = Dot(i_n, i_t);
  o_t = {i_t[0] - i_n[0] * along, i_t[1] - i_n[1] * along, i_t[2] - i_n[2] * along};
  const double length = std::sqrt(Dot(o_t, o_t));
  if (!(length > 1e-12) || !std::isfinite(length)) return false;
  for (double& c : o_t) c /= length;
  return true;
}

}  // namespace tangent_math
}  // namespace

std::vector<std::array<float, 4>> MakeTangents(const MeshPart& i_part) {
  return MakeTangents(i_part.positions, i_part.normals, i_part.uvs, i_part.indices);
}

std::vector<std::array<float, 4>> MakeTangents(const std::vector<VectorF>& i_positions,
                                               const std::vector<VectorF>& i_normals, const std::vector<UV>& i_uvs,
                                               const std::vector<std::uint32_t>& i_indices) {
  // Declared here, not brought in by a using-directive, so that they hide a batch neighbour's
  // helpers of the same name and types instead of standing beside them.
  using tangent_math::Cross;
  using tangent_math::Dot;
  using tangent_math::Minus;
  using tangent_math::Perpendicular;
  using tangent_math::Vector3;
  const std::size_t count = i_positions.size();
  std::vector<Vector3> along(count, Vector3{0, 0, 0}), up(count, Vector3{0, 0, 0});
  // Without texture coordinates, every vertex takes the fallback below.
  const std::size_t mapped = i_uvs.empty() ? 0 : i_indices.size();
  for (std::size_t k = 0; k + 2 < mapped; k += 3) {
    const std::uint32_t a = i_indices[k], b = i_indices[k + 1], c = i_indices[k + 2];
    const Vector3 e1 = Minus(i_positions[b], i_positions[a]);
    const Vector3 e2 = Minus(i_positions[c], i_positions[a]);
    // s along u, t up the image (glTF's v runs down it).
    const double s1 = static_cast<double>(i_uvs[b].u) - i_uvs[a].u;
    const double s2 = static_cast<double>(i_uvs[c].u) - i_uvs[a].u;
    const double t1 = static_cast<double>(i_uvs[a].v) - i_uvs[b].v;
    const double t2 = static_cast<double>(i_uvs[a].v) - i_uvs[c].v;
    const double area = s1 * t2 - s2 * t1;
    if (area == 0 || !std::isfinite(area)) continue;
    // Scaled by the signed area on the texture: each triangle weighs by its size there.
    const double sign = area > 0 ? 1 : -1;
    for (const std::uint32_t v : {a, b, c}) {
      for (int i = 0; i < 3; ++i) {
        along[v][i] += sign * (e1[i] * t2 - e2[i] * t1);
        up[v][i] += sign * (e2[i] * s1 - e1[i] * s2);
      }
    }
  }
  std::vector<std::array<float, 4>> tangents(count);
  for (std::size_t v = 0; v < count; ++v) {
    const VectorF& normal = i_normals[v];
    const Vector3 n = {normal.x, normal.y, normal.z};
    Vector3 t;
    if (!Perpendicular(n, along[v], t) && !Perpendicular(n, Vector3{1, 0, 0}, t)) Perpendicular(n, Vector3{0, 0, 1}, t);
    const double w = tangent_math::Dot(tangent_math::Cross(n, t), up[v]) < 0 ? -1 : 1;
    tangents[v] = {static_cast<float>(t[0]) + 0.0f, static_cast<float>(t[1]) + 0.0f, static_cast<float>(t[2]) + 0.0f,
                   static_cast<float>(w)};
  }
  return tangents;
}

}  // namespace Ostrel::Buildings
