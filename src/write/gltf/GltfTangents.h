#pragma once
// The tangents that a normal map needs beside a part's normals, so that every reader bends the
// map's normals the same way rather than each making up a tangent space of its own.
//
// glTF's tangent is a vertex's direction of growing u, made perpendicular to its normal, with a
// sign w (1 or -1) such that cross(normal, tangent) * w points up the image (where OBJ's v grows,
// glTF's shrinks): the convention of a normal map whose green points up the image.

#include <array>
#include <vector>

#include "write/TriangleMesh.h"

namespace Ostrel::Buildings {

// One tangent (x, y, z, w) per vertex of a part with texture coordinates, in the part's frame:
// the sum over its triangles, each weighted by its area on the texture; a vertex whose triangles
// give no direction gets one perpendicular to its normal.
std::vector<std::array<float, 4>> MakeTangents(const MeshPart& i_part);

// The same of any triangles: one tangent per vertex of i_positions.
std::vector<std::array<float, 4>> MakeTangents(const std::vector<VectorF>& i_positions,
                                               const std::vector<VectorF>& i_normals, const std::vector<UV>& i_uvs,
                                               const std::vector<std::uint32_t>& i_indices);

}  // namespace Ostrel::Buildings
