#pragma once
// The bytes of a .glb of buildings that are written as the plans are walked: the Nodes form's
// node list, the flat form's bounds, and the binary chunk, buffer view by buffer view, in the
// order of GltfLayout.h. The writer (GltfWriter.h) is the only user.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <ostrel/city/Frame.h>
#include <ostrel/city/GltfLayout.h>
#include <ostrel/city/GltfMesh.h>
#include <ostrel/city/Instance.h>
#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>
#include <ostrel/city/ObjWriter.h>
#include <ostrel/ext/Glb.h>

namespace Ostrel::City::detail {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "glTF data is little-endian, written as in memory");
static_assert(sizeof(VectorF) == 12 && sizeof(UV) == 8, "vectors are written as packed floats");

// Text sinks of the Nodes form's node list: one counts, the other (TextOut) writes.
struct CountingSink {
  std::uint64_t bytes = 0;
  void write(const char*, std::size_t i_length) { bytes += i_length; }
};

inline char* PutText(char* o_out, const char* i_text) {
  const std::size_t length = std::strlen(i_text);
  std::memcpy(o_out, i_text, length);
  return o_out + length;
}

// "[a,b,c]": each float as its shortest text that reads back as the same float.
inline char* PutFloats(char* o_out, const float* i_values, int i_count) {
  *o_out++ = '[';
  for (int i = 0; i < i_count; ++i) {
    if (i > 0) *o_out++ = ',';
    o_out = std::to_chars(o_out, o_out + 32, i_values[i] + 0.0f).ptr;  // no "-0"
  }
  *o_out++ = ']';
  return o_out;
}

// The Nodes form's node list, without its brackets: every building's node with its range of
// children, then one node per placement, building after building.
template <typename Sink>
void PutNodes(Sink& io_sink, const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
              const std::vector<GltfBuilding>& i_buildings, const std::vector<std::int64_t>& i_meshOfPiece) {
  char text[512];
  std::uint64_t next = i_buildings.size();  // the first placement node of the building
  for (std::size_t b = 0; b < i_buildings.size(); ++b) {
    std::uint64_t children = 0;
    const std::vector<std::uint64_t> counts = PlacementCounts(*i_buildings[b].plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      if (!i_pieces[id].parts.empty()) children += counts[id];
    }
    io_sink.write(b == 0 ? "{" : ",{", b == 0 ? 1 : 2);
    if (children > 0) {
      io_sink.write("\"children\":[", 12);
      for (std::uint64_t child = next; child < next + children; ++child) {
        char* end = std::to_chars(text, text + 24, child).ptr;
        if (child + 1 < next + children) *end++ = ',';
        io_sink.write(text, static_cast<std::size_t>(end - text));
      }
      io_sink.write("],", 2);
    }
    const std::string name = "\"name\":" + DumpJson(GltfJson(i_buildings[b].name)) + "}";
    io_sink.write(name.data(), name.size());
    next += children;
  }
  for (const GltfBuilding& building : i_buildings) {
    const bool scales = FrameScales(building.frame);
    ForEachPlacement(*building.plan, i_kit, [&](const Placement& i_placement) {
      if (i_pieces[i_placement.piece].parts.empty()) return;
      const InstanceTransform transform = InstanceOf(i_placement, building.frame);
      char* end = PutText(text, ",{\"mesh\":");
      end = std::to_chars(end, end + 24, i_meshOfPiece[i_placement.piece]).ptr;
      if (transform.rotation[1] != 0 || transform.rotation[3] != 1) {
        end = PutFloats(PutText(end, ",\"rotation\":"), transform.rotation, 4);
      }
      if (scales) end = PutFloats(PutText(end, ",\"scale\":"), transform.scale, 3);
      end = PutFloats(PutText(end, ",\"translation\":"), transform.translation, 3);
      *end++ = '}';
      io_sink.write(text, static_cast<std::size_t>(end - text));
    });
  }
}

// The fewest bytes a placement's node can take, with its separator: {"mesh":0,"translation":[0,0,0]}.
inline constexpr std::uint64_t kMinNodeBytes = 34;

// Calls i_visit(placement, part) for every placement of the building with a part of i_material.
template <typename Visit>
void ForEachPart(const GltfBuilding& i_building, const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                 std::uint32_t i_material, Visit&& i_visit) {
  ForEachPlacement(*i_building.plan, i_kit, [&](const Placement& i_placement) {
    const GltfPart* part = i_pieces[i_placement.piece].part(i_material);
    if (part) i_visit(i_placement, *part);
  });
}

// The flat form's POSITION bounds, from the positions as they will be written. When the
// building's turn maps axes to axes, each output coordinate is a monotonic function of one
// coordinate of the piece, computed by the same float operations whatever the others are: the
// placed corners of a part's box then hold the part's exact bounds, and a placement costs two
// positions, not one per vertex.
inline void FillBounds(GlbLayout& io_layout, const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                       const std::vector<GltfBuilding>& i_buildings) {
  std::size_t next = 0;
  for (const GlbView& view : io_layout.views) {
    if (view.data != GlbData::FlatPositions) continue;
    const GltfBuilding& building = i_buildings[view.building];
    const bool axes = building.frame.xdir == 0 || building.frame.zdir == 0;
    Bounds bounds;
    ForEachPart(building, i_kit, i_pieces, view.material, [&](const Placement& i_placement, const GltfPart& i_part) {
      const PlacementFloats at = FloatsOf(i_placement);
      float xyz[3];
      if (axes) {
        for (const VectorF& corner : {i_part.low, i_part.high}) {
          PlacePosition(corner, at, building.frame, xyz);
          bounds.add(xyz);
        }
        return;
      }
      for (const VectorF& p : i_part.positions) {
        PlacePosition(p, at, building.frame, xyz);
        bounds.add(xyz);
      }
    });
    bounds.store(io_layout.document["accessors"][io_layout.boundsOf[next++]]);
  }
}

// Vertices or indices handled per request for room in the output buffer, which holds at least
// 16 KiB.
inline constexpr std::size_t kBatch = 1024;

// Streams the binary chunk. Its normal cache holds a piece's turned normals per facing, for one
// building at a time.
struct GlbStreamer {
  TextOut& out;
  const Kit& kit;
  const std::vector<GltfPiece>& pieces;
  const GltfMaterials& materials;
  const std::vector<GltfBuilding>& buildings;
  std::map<std::array<std::uint32_t, 3>, std::string> normals;  // (piece, part, facing) -> bytes
  std::uint32_t normalsBuilding = 0;
};

inline void PutPlacedPositions(TextOut& io_out, const GltfPart& i_part, const PlacementFloats& i_at,
                               const Frame& i_frame) {
  const std::size_t count = i_part.positions.size();
  for (std::size_t first = 0; first < count; first += kBatch) {
    const std::size_t last = std::min(count, first + kBatch);
    char* pos = io_out.room((last - first) * 12);
    for (std::size_t i = first; i < last; ++i, pos += 12) {
      float xyz[3];
      PlacePosition(i_part.positions[i], i_at, i_frame, xyz);
      std::memcpy(pos, xyz, 12);
    }
    io_out.commit(pos);
  }
}

// The part's normals turned by the placement's facing and the building's turn, as bytes.
inline const std::string& TurnedNormals(GlbStreamer& io_streamer, std::uint32_t i_building,
                                        const Placement& i_placement, const GltfPart& i_part) {
  if (io_streamer.normalsBuilding != i_building) {
    io_streamer.normals.clear();
    io_streamer.normalsBuilding = i_building;
  }
  const GltfPiece& piece = io_streamer.pieces[i_placement.piece];
  const auto part = static_cast<std::uint32_t>(&i_part - piece.parts.data());
  const auto facing = static_cast<std::uint32_t>((i_placement.xd + 1) * 3 + (i_placement.zd + 1));
  std::string& bytes = io_streamer.normals[{i_placement.piece, part, facing}];
  if (!bytes.empty()) return bytes;
  const PlacementFloats at = FloatsOf(i_placement);
  const Turn turn = MakeTurn(at.xd, at.zd);
  const Frame& frame = io_streamer.buildings[i_building].frame;
  const Turn building = MakeTurn(frame.xdir, frame.zdir);
  bytes.resize(12 * i_part.normals.size());
  for (std::size_t i = 0; i < i_part.normals.size(); ++i) {
    const VectorF n = PlaceNormal(i_part.normals[i], turn, building);
    const float xyz[3] = {n.x, n.y, n.z};
    std::memcpy(&bytes[12 * i], xyz, 12);
  }
  return bytes;
}

inline void PutZeros(TextOut& io_out, std::uint64_t i_bytes) {
  const char zeros[256] = {};
  for (; i_bytes > 0; i_bytes -= std::min<std::uint64_t>(i_bytes, sizeof zeros)) {
    io_out.write(zeros, static_cast<std::size_t>(std::min<std::uint64_t>(i_bytes, sizeof zeros)));
  }
}

// Writes i_indices, each plus i_base, as Index numbers (16 or 32 bits).
template <typename Index>
void PutIndicesAs(TextOut& io_out, const std::vector<std::uint32_t>& i_indices, std::uint32_t i_base) {
  for (std::size_t first = 0; first < i_indices.size(); first += kBatch) {
    const std::size_t count = std::min(i_indices.size() - first, kBatch);
    char* const pos = io_out.room(count * sizeof(Index));
    const std::uint32_t* const from = i_indices.data() + first;
    for (std::size_t i = 0; i < count; ++i) {
      const auto index = static_cast<Index>(from[i] + i_base);
      std::memcpy(pos + i * sizeof(Index), &index, sizeof(Index));
    }
    io_out.commit(pos + count * sizeof(Index));
  }
}

inline void PutIndices(TextOut& io_out, const std::vector<std::uint32_t>& i_indices, std::uint32_t i_base,
                       bool i_wide) {
  if (i_wide) return PutIndicesAs<std::uint32_t>(io_out, i_indices, i_base);
  PutIndicesAs<std::uint16_t>(io_out, i_indices, i_base);
}

// One flat view: the parts of one material, placement by placement.
inline void PutFlat(GlbStreamer& io_streamer, const GlbView& i_view) {
  TextOut& out = io_streamer.out;
  const GltfBuilding& building = io_streamer.buildings[i_view.building];
  std::uint32_t base = 0;  // the first vertex of the placement, for indices
  ForEachPart(building, io_streamer.kit, io_streamer.pieces, i_view.material,
              [&](const Placement& i_placement, const GltfPart& i_part) {
                switch (i_view.data) {
                  case GlbData::FlatPositions:
                    return PutPlacedPositions(out, i_part, FloatsOf(i_placement), building.frame);
                  case GlbData::FlatNormals: {
                    const std::string& bytes = TurnedNormals(io_streamer, i_view.building, i_placement, i_part);
                    return out.write(bytes.data(), bytes.size());
                  }
                  case GlbData::FlatUvs:
                    if (i_part.uvs.empty()) return PutZeros(out, 8 * i_part.positions.size());
                    return out.write(reinterpret_cast<const char*>(i_part.uvs.data()), 8 * i_part.uvs.size());
                  default:
                    PutIndices(out, i_part.indices, base, i_view.wide);
                    base += static_cast<std::uint32_t>(i_part.positions.size());
                    return;
                }
              });
}

// One view of instance data: a value for each placement of one piece in one building.
inline void PutInstances(GlbStreamer& io_streamer, const GlbView& i_view) {
  const GltfBuilding& building = io_streamer.buildings[i_view.building];
  ForEachPlacement(*building.plan, io_streamer.kit, [&](const Placement& i_placement) {
    if (i_placement.piece != i_view.piece) return;
    const InstanceTransform transform = InstanceOf(i_placement, building.frame);
    if (i_view.data == GlbData::Translations) io_streamer.out.write(reinterpret_cast<const char*>(transform.translation), 12);
    if (i_view.data == GlbData::Rotations) io_streamer.out.write(reinterpret_cast<const char*>(transform.rotation), 16);
    if (i_view.data == GlbData::Scales) io_streamer.out.write(reinterpret_cast<const char*>(transform.scale), 12);
  });
}

inline void PutPart(TextOut& io_out, const GltfPart& i_part, const GlbView& i_view) {
  switch (i_view.data) {
    case GlbData::PartPositions:
      return io_out.write(reinterpret_cast<const char*>(i_part.positions.data()), 12 * i_part.positions.size());
    case GlbData::PartNormals:
      return io_out.write(reinterpret_cast<const char*>(i_part.normals.data()), 12 * i_part.normals.size());
    case GlbData::PartUvs:
      return io_out.write(reinterpret_cast<const char*>(i_part.uvs.data()), 8 * i_part.uvs.size());
    default:
      return PutIndices(io_out, i_part.indices, 0, i_view.wide);
  }
}

// The whole binary chunk, every view padded with zeros to four bytes.
inline void PutBinary(GlbStreamer& io_streamer, const std::vector<GlbView>& i_views) {
  for (const GlbView& view : i_views) {
    switch (view.data) {
      case GlbData::FlatPositions:
      case GlbData::FlatNormals:
      case GlbData::FlatUvs:
      case GlbData::FlatIndices:
        PutFlat(io_streamer, view);
        break;
      case GlbData::PartPositions:
      case GlbData::PartNormals:
      case GlbData::PartUvs:
      case GlbData::PartIndices:
        PutPart(io_streamer.out, io_streamer.pieces[view.piece].parts[view.part], view);
        break;
      case GlbData::Translations:
      case GlbData::Rotations:
      case GlbData::Scales:
        PutInstances(io_streamer, view);
        break;
      case GlbData::Image: {
        const std::string& bytes = io_streamer.materials.images[view.image].bytes;
        io_streamer.out.write(bytes.data(), bytes.size());
        break;
      }
    }
    PutZeros(io_streamer.out, Glb::Padded(view.bytes) - view.bytes);
  }
}

}  // namespace Ostrel::City::detail
