#pragma once
// The bytes of a .glb of buildings that are written as the plans are walked: the Nodes form's
// node list, the flat form's bounds, and the binary chunk, buffer view by buffer view, in the
// order of GltfDocument.h. The writer (GltfWriter.cpp) is the only user.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Instance.h>
#include <ostrel/layout/Layout.h>

#include "write/TextOut.h"
#include "write/gltf/GltfDocument.h"
#include "write/TriangleMesh.h"

namespace Ostrel::Buildings::detail {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "glTF data is little-endian, written as in memory");
static_assert(sizeof(VectorF) == 12 && sizeof(UV) == 8, "vectors are written as packed floats");

// Four floats in one register (a GCC and Clang vector), so that one instruction does an operation
// of PlacePosition for four vertices.
using Float4 = float __attribute__((vector_size(16)));

inline Float4 Splat(float i_value) { return Float4{i_value, i_value, i_value, i_value}; }

// Lanes A and B of i_u, then lanes C and D of i_v (0-based): one instruction on x86 (shufps).
template <int A, int B, int C, int D>
Float4 Take(Float4 i_u, Float4 i_v) {
  return __builtin_shufflevector(i_u, i_v, A, B, C + 4, D + 4);
}

// PlacePosition (Frame.h) of four vertices at once, from i_p (twelve floats: x y z of each in
// turn) into o_xyz (the same): the same operations in the same order on each lane, so the same
// bits (the build turns off fused multiply-adds), in a quarter of the instructions. The positions
// are the slowest data of a .glb to make; one by one, slower than the writing thread writes them.
inline void PlaceFour(const char* i_p, const PlacementFloats& i_at, const Frame& i_frame, char* o_xyz) {
  Float4 a, b, c;  // x0 y0 z0 x1, y1 z1 x2 y2, z2 x3 y3 z3
  std::memcpy(&a, i_p, 16);
  std::memcpy(&b, i_p + 16, 16);
  std::memcpy(&c, i_p + 32, 16);
  const Float4 px = Take<0, 3, 0, 3>(a, Take<2, 3, 0, 1>(b, c));
  const Float4 py = Take<0, 2, 0, 2>(Take<1, 1, 0, 0>(a, b), Take<3, 3, 2, 2>(b, c));
  const Float4 pz = Take<0, 2, 0, 2>(Take<2, 2, 1, 1>(a, b), Take<0, 0, 3, 3>(c, c));
  const Float4 vx = (px * Splat(i_at.zd) - pz * Splat(i_at.xd) + Splat(i_at.x) - Splat(i_frame.xpivot)) *
                    Splat(i_frame.xscale);
  const Float4 vy = (py + Splat(i_at.y)) * Splat(i_frame.yscale);
  const Float4 vz = (px * Splat(i_at.xd) + pz * Splat(i_at.zd) + Splat(i_at.z) - Splat(i_frame.zpivot)) *
                    Splat(i_frame.zscale);
  const Float4 x = Splat(i_frame.zdir) * vx - Splat(i_frame.xdir) * vz + Splat(i_frame.xpos);
  const Float4 y = vy + Splat(i_frame.ypos);
  const Float4 z = Splat(i_frame.xdir) * vx + Splat(i_frame.zdir) * vz + Splat(i_frame.zpos);
  a = Take<0, 2, 0, 2>(Take<0, 0, 0, 0>(x, y), Take<0, 0, 1, 1>(z, x));
  b = Take<0, 2, 0, 2>(Take<1, 1, 1, 1>(y, z), Take<2, 2, 2, 2>(x, y));
  c = Take<0, 2, 0, 2>(Take<2, 2, 3, 3>(z, x), Take<3, 3, 3, 3>(y, z));
  std::memcpy(o_xyz, &a, 16);
  std::memcpy(o_xyz + 16, &b, 16);
  std::memcpy(o_xyz + 32, &c, 16);
}

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

// The numbers i_first, i_first + 1 ... (i_count of them), separated by commas.
template <typename Sink>
void PutRange(Sink& io_sink, std::uint64_t i_first, std::uint64_t i_count) {
  char text[32];
  for (std::uint64_t child = i_first; child < i_first + i_count; ++child) {
    char* end = std::to_chars(text, text + 24, child).ptr;
    if (child + 1 < i_first + i_count) *end++ = ',';
    io_sink.write(text, static_cast<std::size_t>(end - text));
  }
}

// The Nodes form's node list, without its brackets: every building's node with its range of
// children, then one node per placement, building after building, then the nodes of the engine
// extras (i_layout's lists), of which a building's finest level of detail holds its placements.
template <typename Sink>
void PutNodes(Sink& io_sink, const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
              const std::vector<GltfBuilding>& i_buildings, const std::vector<std::int64_t>& i_meshOfPiece,
              const MeshScale& i_meshScale, const GlbLayout& i_layout) {
  char text[512];
  std::uint64_t next = i_buildings.size();  // the first placement node of the building
  std::vector<std::uint64_t> firstOf, childrenOf;  // each building's placement nodes
  for (std::size_t b = 0; b < i_buildings.size(); ++b) {
    std::uint64_t children = 0;
    const std::vector<std::uint64_t> counts = PlacementCounts(*i_buildings[b].plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      if (!i_pieces[id].parts.empty()) children += counts[id];
    }
    firstOf.push_back(next);
    childrenOf.push_back(children);
    const bool extras = b < i_layout.extraChildren.size();
    const std::uint64_t own = extras && i_layout.placementsInLevel[b] ? 0 : children;
    const std::vector<std::uint64_t> none;
    const std::vector<std::uint64_t>& more = extras ? i_layout.extraChildren[b] : none;
    io_sink.write(b == 0 ? "{" : ",{", b == 0 ? 1 : 2);
    if (own > 0 || !more.empty()) {
      io_sink.write("\"children\":[", 12);
      PutRange(io_sink, next, own);
      for (std::size_t i = 0; i < more.size(); ++i) {
        char* end = text;
        if (own > 0 || i > 0) *end++ = ',';
        end = std::to_chars(end, end + 24, more[i]).ptr;
        io_sink.write(text, static_cast<std::size_t>(end - text));
      }
      io_sink.write("],", 2);
    }
    std::string name = "\"name\":" + JsonString(i_buildings[b].name);
    const std::string transform = TransformText(i_buildings[b].node);
    if (!transform.empty()) name += "," + transform;
    name += "}";
    io_sink.write(name.data(), name.size());
    next += children;
  }
  // Each piece's node is named after the piece (A_floor, A_floor.1), its name written once.
  std::vector<std::string> names(i_kit.pieces.size());
  for (PieceId id = 0; id < names.size(); ++id) {
    if (!i_pieces[id].parts.empty()) names[id] = JsonString(i_kit.piece(id).name);
  }
  for (const GltfBuilding& building : i_buildings) {
    ForEachPlacement(*building.plan, i_kit, [&](const Placement& i_placement) {
      if (i_pieces[i_placement.piece].parts.empty()) return;
      const InstanceTransform transform = InstanceOf(i_placement, building.frame);
      const float scale[3] = {transform.scale[0] / i_meshScale.x, transform.scale[1] / i_meshScale.y,
                              transform.scale[2] / i_meshScale.z};
      char* end = PutText(text, ",{\"mesh\":");
      end = std::to_chars(end, end + 24, i_meshOfPiece[i_placement.piece]).ptr;
      io_sink.write(text, static_cast<std::size_t>(end - text));
      const std::string& pieceName = names[i_placement.piece];
      io_sink.write(",\"name\":", 8);
      io_sink.write(pieceName.data(), pieceName.size());
      end = text;
      if (transform.rotation[1] != 0 || transform.rotation[3] != 1) {
        end = PutFloats(PutText(end, ",\"rotation\":"), transform.rotation, 4);
      }
      if (scale[0] != 1 || scale[1] != 1 || scale[2] != 1)
        end = PutFloats(PutText(end, ",\"scale\":"), scale, 3);
      end = PutFloats(PutText(end, ",\"translation\":"), transform.translation, 3);
      *end++ = '}';
      io_sink.write(text, static_cast<std::size_t>(end - text));
    });
  }
  for (std::size_t i = 0; i < i_layout.extraNodes.size(); ++i) {
    const std::string& node = i_layout.extraNodes[i];  // a JSON object: "{...}"
    const std::int64_t holds = i_layout.extraNodeHolds[i];
    if (holds < 0 || childrenOf[static_cast<std::size_t>(holds)] == 0) {
      io_sink.write(",", 1);
      io_sink.write(node.data(), node.size());
      continue;
    }
    io_sink.write(",{\"children\":[", 14);
    PutRange(io_sink, firstOf[static_cast<std::size_t>(holds)], childrenOf[static_cast<std::size_t>(holds)]);
    io_sink.write("],", 2);
    io_sink.write(node.data() + 1, node.size() - 1);
  }
}

// The fewest bytes a placement's node can take, with its separator:
// ,{"mesh":0,"name":"","translation":[0,0,0]}.
inline constexpr std::uint64_t kMinNodeBytes = 43;

// Whether a piece that a run may place has a part of i_material.
inline bool RunHasMaterial(const Run& i_run, const Plan& i_plan, const std::vector<TriangleMesh>& i_pieces,
                           std::uint32_t i_material) {
  for (const Placement& placement : i_run.period) {
    if (placement.choice == 0) {
      if (i_pieces[placement.piece].part(i_material)) return true;
      continue;
    }
    for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
      if (i_pieces[form].part(i_material)) return true;
    }
  }
  return false;
}

// Calls i_visit(placement, part) for every placement of the building with a part of i_material,
// in the order of ForEachPlacement with the kit. Each material's views walk the plan again, so the
// runs without the material (most of them, for any one material: the roof's, the balconies') are
// left out whole rather than walked placement by placement for nothing.
template <typename Visit>
void ForEachPart(const GltfBuilding& i_building, const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                 std::uint32_t i_material, Visit&& i_visit) {
  const Plan& plan = *i_building.plan;
  WalkPlan(
      plan,
      [&](const Run& i_run) {
        return RunIsEmpty(i_run, plan, i_kit) || !RunHasMaterial(i_run, plan, i_pieces, i_material);
      },
      [&](const Placement& i_placement) {
        const MeshPart* part = i_pieces[i_placement.piece].part(i_material);
        if (part) i_visit(i_placement, *part);
      });
}

// The flat form's POSITION bounds of each building's flat primitives, building by building in
// the order of FlatMaterials, from the positions as they will be written.
std::vector<Bounds> FlatBounds(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                               const std::vector<GltfBuilding>& i_buildings);

// The bounds of one flat primitive: the parts of i_material of i_pieces placed in the building.
Bounds MaterialBounds(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces, const GltfBuilding& i_building,
                      std::uint32_t i_material);

// A piece's turned normals or tangents per facing, for one building at a time. Looked up once
// per placement and view, so by index: byLevel[level][(piece * parts + part) * 9 + facing], parts
// being the most parts a piece of that level has.
struct TurnedCache {
  struct Level {
    std::size_t parts = 0;
    std::vector<std::string> bytes;  // empty until made
  };
  std::vector<Level> byLevel;
  std::uint32_t building = 0;
};

// Streams the binary chunk.
struct GlbStreamer {
  TextOut& out;
  const Kit& kit;
  const std::vector<TriangleMesh>& pieces;
  const GltfMaterials& materials;
  const std::vector<GltfBuilding>& buildings;
  MeshScale meshScale;
  TurnedCache normals;
  TurnedCache tangents;
  const std::vector<std::string>* blobs = nullptr;  // the layout's, for its Blob views
};

// The whole binary chunk, every view padded with zeros to four bytes.
void PutBinary(GlbStreamer& io_streamer, const std::vector<GlbView>& i_views);

}  // namespace Ostrel::Buildings::detail
