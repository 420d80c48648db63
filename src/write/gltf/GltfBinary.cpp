// The binary chunk of a .glb, streamed as the plans are walked, and the flat form's bounds.

#include "write/gltf/GltfBinary.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <ostrel/ext/Glb.h>

namespace Ostrel::Buildings::detail {

namespace {

// Vertices or indices handled per request for room in the output buffer, which holds at least
// 16 KiB.
inline constexpr std::size_t kBatch = 1024;

// The part's positions placed: four at a time, the last few one by one.
void PutPlacedPositions(TextOut& io_out, const MeshPart& i_part, const PlacementFloats& i_at,
                        const Frame& i_frame) {
  // Copies: the bytes are stored through char pointers, which may alias anything, so values read
  // through references would be read again for every vertex.
  const PlacementFloats at = i_at;
  const Frame frame = i_frame;
  const VectorF* const positions = i_part.positions.data();
  const std::size_t count = i_part.positions.size();
  for (std::size_t first = 0; first < count; first += kBatch) {
    const std::size_t last = std::min(count, first + kBatch);
    char* pos = io_out.room((last - first) * 12);
    std::size_t i = first;
    for (; i + 4 <= last; i += 4, pos += 48) {
      PlaceFour(reinterpret_cast<const char*>(positions + i), at, frame, pos);
    }
    for (; i < last; ++i, pos += 12) {
      float xyz[3];
      PlacePosition(positions[i], at, frame, xyz);
      // One float at a time, from its register: copied as twelve bytes, the three would be
      // stored beside each other first and read back.
      std::memcpy(pos, &xyz[0], 4);
      std::memcpy(pos + 4, &xyz[1], 4);
      std::memcpy(pos + 8, &xyz[2], 4);
    }
    io_out.commit(pos);
  }
}

// The part's normals (i_tangents false) or tangents turned by the placement's facing and the
// building's turn, as bytes; a tangent keeps its sign, as the turns mirror nothing.
const std::string& TurnedBytes(GlbStreamer& io_streamer, std::uint32_t i_building, std::uint32_t i_level,
                               const std::vector<TriangleMesh>& i_pieces, const Placement& i_placement,
                               const MeshPart& i_part, bool i_tangents) {
  TurnedCache& cache = i_tangents ? io_streamer.tangents : io_streamer.normals;
  if (cache.building != i_building) {
    cache.byLevel.clear();
    cache.building = i_building;
  }
  if (cache.byLevel.size() <= i_level) cache.byLevel.resize(i_level + std::size_t{1});
  TurnedCache::Level& level = cache.byLevel[i_level];
  if (level.bytes.empty()) {
    for (const TriangleMesh& mesh : i_pieces) level.parts = std::max(level.parts, mesh.parts.size());
    level.bytes.resize(i_pieces.size() * level.parts * 9);
  }
  const TriangleMesh& piece = i_pieces[i_placement.piece];
  const auto part = static_cast<std::size_t>(&i_part - piece.parts.data());
  const auto facing = static_cast<std::size_t>((i_placement.xd + 1) * 3 + (i_placement.zd + 1));
  std::string& bytes = level.bytes[(i_placement.piece * level.parts + part) * 9 + facing];
  if (!bytes.empty()) return bytes;
  const PlacementFloats at = FloatsOf(i_placement);
  const Turn turn = MakeTurn(at.xd, at.zd);
  const Frame& frame = io_streamer.buildings[i_building].frame;
  const Turn building = MakeTurn(frame.xdir, frame.zdir);
  const NormalStretch stretch = MakeNormalStretch(frame);
  const std::size_t count = i_tangents ? i_part.tangents.size() : i_part.normals.size();
  const std::size_t size = i_tangents ? 16 : 12;
  bytes.resize(size * count);
  for (std::size_t i = 0; i < count; ++i) {
    const VectorF from = i_tangents ? VectorF(i_part.tangents[i][0], i_part.tangents[i][1], i_part.tangents[i][2])
                                    : i_part.normals[i];
    // A tangent is a direction along the surface: it stretches with the cells, where a normal
    // takes the inverse.
    const VectorF n = i_tangents ? TangentOf(from, turn, building, frame) : PlaceNormal(from, turn, building, stretch);
    const float values[4] = {n.x, n.y, n.z, i_tangents ? i_part.tangents[i][3] : 0.0f};
    std::memcpy(&bytes[size * i], values, size);
  }
  return bytes;
}

void PutZeros(TextOut& io_out, std::uint64_t i_bytes) {
  const char zeros[256] = {};
  for (; i_bytes > 0; i_bytes -= std::min<std::uint64_t>(i_bytes, sizeof zeros)) {
    io_out.write(zeros, static_cast<std::size_t>(std::min<std::uint64_t>(i_bytes, sizeof zeros)));
  }
}

// The texture coordinates of a part of i_vertices vertices as i_view holds them: floats, or
// ShortUv numbers; (0, 0) for each vertex when the part has none.
void PutUvs(TextOut& io_out, const std::vector<UV>& i_uvs, std::size_t i_vertices, const GlbView& i_view) {
  const std::size_t size = i_view.shortUvs ? 4 : 8;
  if (i_uvs.empty()) return PutZeros(io_out, size * i_vertices);
  if (!i_view.shortUvs) return io_out.write(reinterpret_cast<const char*>(i_uvs.data()), 8 * i_uvs.size());
  for (std::size_t first = 0; first < i_uvs.size(); first += kBatch) {
    const std::size_t last = std::min(i_uvs.size(), first + kBatch);
    char* pos = io_out.room((last - first) * 4);
    for (std::size_t i = first; i < last; ++i, pos += 4) {
      const std::uint16_t uv[2] = {ShortUv(i_uvs[i].u), ShortUv(i_uvs[i].v)};
      std::memcpy(pos, uv, 4);
    }
    io_out.commit(pos);
  }
}

// Writes i_indices, each plus i_base, as Index numbers (16 or 32 bits).
template <typename Index>
void PutIndicesAs(TextOut& io_out, const std::vector<std::uint32_t>& i_indices, std::uint32_t i_base) {
  for (std::size_t first = 0; first < i_indices.size(); first += kBatch) {
    const std::size_t count = std::min(i_indices.size() - first, kBatch);
    char* const pos = io_out.room(count * sizeof(Index));
    const std::uint32_t* const from = i_indices.data() + first;
    std::size_t i = 0;
    // Four at a time, so that the compiler does them as one vector.
    for (; i + 4 <= count; i += 4) {
      const Index four[4] = {static_cast<Index>(from[i] + i_base), static_cast<Index>(from[i + 1] + i_base),
                             static_cast<Index>(from[i + 2] + i_base),
                             static_cast<Index>(from[i + 3] + i_base)};
      std::memcpy(pos + i * sizeof(Index), four, sizeof four);
    }
    for (; i < count; ++i) {
      const auto index = static_cast<Index>(from[i] + i_base);
      std::memcpy(pos + i * sizeof(Index), &index, sizeof(Index));
    }
    io_out.commit(pos + count * sizeof(Index));
  }
}

void PutIndices(TextOut& io_out, const std::vector<std::uint32_t>& i_indices, std::uint32_t i_base,
                bool i_wide) {
  if (i_wide) return PutIndicesAs<std::uint32_t>(io_out, i_indices, i_base);
  PutIndicesAs<std::uint16_t>(io_out, i_indices, i_base);
}

// The pieces that a flat view's parts come from: the kit's, or those of a level of the
// building's engine extras.
const std::vector<TriangleMesh>& FlatPieces(const GlbStreamer& i_streamer, const GlbView& i_view) {
  const GltfBuilding& building = i_streamer.buildings[i_view.building];
  return i_view.level == 0 ? i_streamer.pieces : building.extras->streamed[i_view.level - 1]->pieces;
}

// One placement's part of a flat view; io_base is the placement's first vertex in the view, for
// indices, and moves on past it.
void PutFlatPart(GlbStreamer& io_streamer, const GlbView& i_view, const std::vector<TriangleMesh>& i_pieces,
                 const Placement& i_placement, const MeshPart& i_part, std::uint32_t& io_base) {
  TextOut& out = io_streamer.out;
  const GltfBuilding& building = io_streamer.buildings[i_view.building];
  switch (i_view.data) {
    case GlbData::FlatPositions:
      return PutPlacedPositions(out, i_part, FloatsOf(i_placement), building.frame);
    case GlbData::FlatNormals: {
      const std::string& bytes =
          TurnedBytes(io_streamer, i_view.building, i_view.level, i_pieces, i_placement, i_part, false);
      return out.write(bytes.data(), bytes.size());
    }
    case GlbData::FlatUvs:
      return PutUvs(out, i_part.uvs, i_part.positions.size(), i_view);
    case GlbData::FlatTangents: {
      const std::string& bytes =
          TurnedBytes(io_streamer, i_view.building, i_view.level, i_pieces, i_placement, i_part, true);
      return out.write(bytes.data(), bytes.size());
    }
    default:
      PutIndices(out, i_part.indices, io_base, i_view.wide);
      io_base += static_cast<std::uint32_t>(i_part.positions.size());
      return;
  }
}

// One flat view: the parts of one material, placement by placement.
void PutFlat(GlbStreamer& io_streamer, const GlbView& i_view) {
  std::uint32_t base = 0;  // the first vertex of the placement, for indices
  const std::vector<TriangleMesh>& pieces = FlatPieces(io_streamer, i_view);
  ForEachPart(io_streamer.buildings[i_view.building], io_streamer.kit, pieces, i_view.material,
              [&](const Placement& i_placement, const MeshPart& i_part) {
                PutFlatPart(io_streamer, i_view, pieces, i_placement, i_part, base);
              });
}

// One view of instance data: a value for each placement of one piece in one building.
void PutInstances(GlbStreamer& io_streamer, const GlbView& i_view) {
  const GltfBuilding& building = io_streamer.buildings[i_view.building];
  ForEachPlacement(*building.plan, io_streamer.kit, [&](const Placement& i_placement) {
    if (i_placement.piece != i_view.piece) return;
    const InstanceTransform transform = InstanceOf(i_placement, building.frame);
    if (i_view.data == GlbData::Translations)
      io_streamer.out.write(reinterpret_cast<const char*>(transform.translation), 12);
    if (i_view.data == GlbData::Rotations)
      io_streamer.out.write(reinterpret_cast<const char*>(transform.rotation), 16);
    if (i_view.data == GlbData::Scales) {
      const MeshScale& mesh = io_streamer.meshScale;
      const float scale[3] = {transform.scale[0] / mesh.x, transform.scale[1] / mesh.y,
                              transform.scale[2] / mesh.z};
      io_streamer.out.write(reinterpret_cast<const char*>(scale), 12);
    }
  });
}

void PutPart(TextOut& io_out, const MeshPart& i_part, const GlbView& i_view) {
  switch (i_view.data) {
    case GlbData::PartPositions:
      return io_out.write(reinterpret_cast<const char*>(i_part.positions.data()),
                          12 * i_part.positions.size());
    case GlbData::PartNormals:
      return io_out.write(reinterpret_cast<const char*>(i_part.normals.data()), 12 * i_part.normals.size());
    case GlbData::PartUvs:
      return PutUvs(io_out, i_part.uvs, i_part.positions.size(), i_view);
    case GlbData::PartTangents:
      return io_out.write(reinterpret_cast<const char*>(i_part.tangents.data()), 16 * i_part.tangents.size());
    default:
      return PutIndices(io_out, i_part.indices, 0, i_view.wide);
  }
}

// One view of a part of a building's engine extras, as it is.
void PutExtra(TextOut& io_out, const ExtraPart& i_part, const GlbView& i_view) {
  switch (i_view.data) {
    case GlbData::ExtraPositions:
      return io_out.write(reinterpret_cast<const char*>(i_part.positions.data()), 12 * i_part.positions.size());
    case GlbData::ExtraNormals:
      return io_out.write(reinterpret_cast<const char*>(i_part.normals.data()), 12 * i_part.normals.size());
    case GlbData::ExtraUvs:
      return PutUvs(io_out, i_part.uvs, i_part.positions.size(), i_view);
    case GlbData::ExtraTangents:
      return io_out.write(reinterpret_cast<const char*>(i_part.tangents.data()), 16 * i_part.tangents.size());
    default:
      return PutIndices(io_out, i_part.indices, 0, i_view.wide);
  }
}

// The placed bounds of a part, added to io_bounds: when i_axes (the building's turn maps axes to
// axes), each output coordinate is a monotonic function of one coordinate of the piece, computed
// by the same float operations whatever the others are: the placed corners of the part's box then
// hold the part's exact bounds, and a placement costs two positions, not one per vertex.
void AddPartBounds(const MeshPart& i_part, const PlacementFloats& i_at, const Frame& i_frame, bool i_axes,
                   Bounds& io_bounds) {
  float xyz[3];
  if (i_axes) {
    for (const VectorF& corner : {i_part.low, i_part.high}) {
      PlacePosition(corner, i_at, i_frame, xyz);
      io_bounds.add(xyz);
    }
    return;
  }
  for (const VectorF& p : i_part.positions) {
    PlacePosition(p, i_at, i_frame, xyz);
    io_bounds.add(xyz);
  }
}

bool TurnKeepsAxes(const Frame& i_frame) { return i_frame.xdir == 0 || i_frame.zdir == 0; }

// The bounds of each of a building's flat primitives, in the order of i_materials, in one walk
// of the plan: a walk per material would take each placement's piece again for every material.
// Each material's bounds see its parts in the order its own walk would, so they come out the same.
std::vector<Bounds> BuildingBounds(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                                   const GltfBuilding& i_building, const std::vector<std::uint32_t>& i_materials) {
  // Per piece and part, the place of the part's material in i_materials.
  std::vector<std::vector<std::size_t>> slots(i_pieces.size());
  for (std::size_t id = 0; id < i_pieces.size(); ++id) {
    for (const MeshPart& part : i_pieces[id].parts) {
      const auto at = std::lower_bound(i_materials.begin(), i_materials.end(), part.material);
      slots[id].push_back(at != i_materials.end() && *at == part.material
                              ? static_cast<std::size_t>(at - i_materials.begin())
                              : i_materials.size());
    }
  }
  std::vector<Bounds> bounds(i_materials.size());
  const bool axes = TurnKeepsAxes(i_building.frame);
  ForEachPlacement(*i_building.plan, i_kit, [&](const Placement& i_placement) {
    const std::vector<MeshPart>& parts = i_pieces[i_placement.piece].parts;
    if (parts.empty()) return;
    const PlacementFloats at = FloatsOf(i_placement);
    for (std::size_t p = 0; p < parts.size(); ++p) {
      const std::size_t slot = slots[i_placement.piece][p];
      if (slot < bounds.size()) AddPartBounds(parts[p], at, i_building.frame, axes, bounds[slot]);
    }
  });
  return bounds;
}

}  // namespace

Bounds MaterialBounds(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const GltfBuilding& i_building,
                      std::uint32_t i_material) {
  const bool axes = TurnKeepsAxes(i_building.frame);
  Bounds bounds;
  ForEachPart(i_building, i_kit, i_pieces, i_material, [&](const Placement& i_placement, const MeshPart& i_part) {
    AddPartBounds(i_part, FloatsOf(i_placement), i_building.frame, axes, bounds);
  });
  return bounds;
}

std::vector<Bounds> FlatBounds(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                               const std::vector<GltfBuilding>& i_buildings) {
  std::vector<Bounds> all;
  for (const GltfBuilding& building : i_buildings) {
    const std::vector<std::uint32_t> materials = FlatMaterials(i_pieces, PlacementCounts(*building.plan, i_kit));
    const std::vector<Bounds> bounds = BuildingBounds(i_kit, i_pieces, building, materials);
    all.insert(all.end(), bounds.begin(), bounds.end());
  }
  return all;
}

void PutBinary(GlbStreamer& io_streamer, const std::vector<GlbView>& i_views) {
  for (const GlbView& view : i_views) {
    switch (view.data) {
      case GlbData::FlatPositions:
      case GlbData::FlatNormals:
      case GlbData::FlatUvs:
      case GlbData::FlatTangents:
      case GlbData::FlatIndices:
        PutFlat(io_streamer, view);
        break;
      case GlbData::PartPositions:
      case GlbData::PartNormals:
      case GlbData::PartUvs:
      case GlbData::PartTangents:
      case GlbData::PartIndices:
        PutPart(io_streamer.out, io_streamer.pieces[view.piece].parts[view.part], view);
        break;
      case GlbData::Translations:
      case GlbData::Rotations:
      case GlbData::Scales:
        PutInstances(io_streamer, view);
        break;
      case GlbData::ExtraPositions:
      case GlbData::ExtraNormals:
      case GlbData::ExtraUvs:
      case GlbData::ExtraTangents:
      case GlbData::ExtraIndices:
        PutExtra(io_streamer.out, io_streamer.buildings[view.building].extras->mesh(view.extra).parts[view.part],
                 view);
        break;
      case GlbData::FeatureIds: {
        const float id = static_cast<float>(view.building);
        for (std::uint64_t i = 0; i < view.bytes / 4; ++i) io_streamer.out.write(reinterpret_cast<const char*>(&id), 4);
        break;
      }
      case GlbData::Blob: {
        const std::string& bytes = (*io_streamer.blobs)[view.blob];
        io_streamer.out.write(bytes.data(), bytes.size());
        break;
      }
      case GlbData::Image: {
        const std::string& bytes = io_streamer.materials.images[view.image].bytes;
        io_streamer.out.write(bytes.data(), bytes.size());
        break;
      }
    }
    PutZeros(io_streamer.out, Glb::Padded(view.bytes) - view.bytes);
  }
}

}  // namespace Ostrel::Buildings::detail
