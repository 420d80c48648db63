#pragma once
// What a .glb of buildings holds and where, decided before a byte of it is written: the JSON
// document and the list of buffer views that the binary chunk streams, one after another. The
// writer (GltfWriter.h) is the only user; it keeps these internals out of its own header.
//
// Every count comes from the plans' folded form, so a building of any size is measured at once;
// only the flat form's bounds need a walk over what will be written.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/city/Frame.h>
#include <ostrel/city/GltfMaterials.h>
#include <ostrel/city/GltfMesh.h>
#include <ostrel/city/Instance.h>
#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>
#include <ostrel/ext/Glb.h>

namespace Ostrel::City {

// How the pieces of a building are stored.
enum class GltfForm {
  Flat,   // each building one mesh in the output's frame
  Nodes,  // each piece's mesh once; one node per placement, with its transform
  Gpu,    // each piece's mesh once; one node per piece and building, EXT_mesh_gpu_instancing
};

// One building of a glTF file.
struct GltfBuilding {
  const Plan* plan = nullptr;
  Frame frame;
  std::string name;  // its node's name
};

struct GltfOptions {
  GltfForm form = GltfForm::Flat;
  std::string generator = "ostrel";  // the asset's generator
};

namespace detail {

// Floats as floats, so that the JSON holds their shortest text ("0.1", not "0.10000000149").
using GltfJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;

inline constexpr std::uint64_t kFloatType = 5126;
inline constexpr std::uint64_t kUint16Type = 5123;
inline constexpr std::uint64_t kUint32Type = 5125;
inline constexpr std::uint64_t kVertexTarget = 34962;
inline constexpr std::uint64_t kIndexTarget = 34963;
inline constexpr std::uint64_t kMaxFileBytes = Glb::kMaxFileBytes;
// Indices of up to this many vertices fit 16 bits (the largest value is reserved).
inline constexpr std::uint64_t kMaxShortVertices = 0xFFFF;

// What one buffer view holds.
enum class GlbData {
  FlatPositions, FlatNormals, FlatUvs, FlatIndices,  // one material of one building, placed
  PartPositions, PartNormals, PartUvs, PartIndices,  // one part of one piece, as it is
  Translations, Rotations, Scales,                   // the instances of one piece in one building
  Image,
};

struct GlbView {
  GlbData data = GlbData::Image;
  std::uint32_t building = 0;                 // flat and instance data
  std::uint32_t material = Obj::kNoMaterial;  // flat data: the kit material id
  PieceId piece = 0;                          // part and instance data
  std::uint32_t part = 0;                     // part data: index into GltfPiece::parts
  std::uint32_t image = 0;                    // index into GltfMaterials::images
  bool wide = false;                          // indices of 32 bits rather than 16
  std::uint64_t bytes = 0;                    // without padding
};

struct GlbLayout {
  GltfJson document;                      // the "nodes" of the Nodes form are left to the writer
  std::vector<GlbView> views;             // in the order of the binary chunk
  std::uint64_t binBytes = 0;             // every view padded to four bytes (saturating)
  std::vector<std::int64_t> meshOfPiece;  // instanced forms: the mesh of each piece, or -1
  std::vector<std::uint64_t> boundsOf;    // flat form: the POSITION accessor of each positions view
};

// How many times the plan places each piece (saturating).
inline std::vector<std::uint64_t> PlacementCounts(const Plan& i_plan, const Kit& i_kit) {
  return CountPieces(i_plan, i_kit);
}

// Adds a buffer view for i_view; returns its index.
inline std::uint64_t AddView(GlbLayout& io_layout, const GlbView& i_view, std::uint64_t i_target) {
  GltfJson view = {{"buffer", 0}, {"byteOffset", io_layout.binBytes}, {"byteLength", i_view.bytes}};
  if (i_target != 0) view["target"] = i_target;
  io_layout.document["bufferViews"].push_back(std::move(view));
  io_layout.views.push_back(i_view);
  // A saturated length must stay saturated: padding it would wrap it round to nothing.
  const std::uint64_t padded = i_view.bytes > kMaxFileBytes ? i_view.bytes : Glb::Padded(i_view.bytes);
  io_layout.binBytes = SatAdd(io_layout.binBytes, padded);
  return io_layout.document["bufferViews"].size() - 1;
}

// Adds an accessor of a whole buffer view; returns its index.
inline std::uint64_t AddAccessor(GlbLayout& io_layout, std::uint64_t i_view, std::uint64_t i_componentType,
                                 std::uint64_t i_count, const char* i_type) {
  io_layout.document["accessors"].push_back(
      {{"bufferView", i_view}, {"componentType", i_componentType}, {"count", i_count}, {"type", i_type}});
  return io_layout.document["accessors"].size() - 1;
}

// Adds a view and its accessor of vertex data (or, with i_target 0, instance data).
inline std::uint64_t AddData(GlbLayout& io_layout, GlbView i_view, std::uint64_t i_count, int i_components,
                             std::uint64_t i_target) {
  i_view.bytes = SatMul(i_count, 4 * static_cast<std::uint64_t>(i_components));
  const std::uint64_t view = AddView(io_layout, i_view, i_target);
  const char* type = i_components == 2 ? "VEC2" : i_components == 3 ? "VEC3" : "VEC4";
  return AddAccessor(io_layout, view, kFloatType, i_count, type);
}

inline std::uint64_t AddIndices(GlbLayout& io_layout, GlbView i_view, std::uint64_t i_vertices,
                                std::uint64_t i_count) {
  i_view.wide = i_vertices > kMaxShortVertices;
  i_view.bytes = SatMul(i_count, i_view.wide ? 4 : 2);
  const std::uint64_t view = AddView(io_layout, i_view, kIndexTarget);
  return AddAccessor(io_layout, view, i_view.wide ? kUint32Type : kUint16Type, i_count, "SCALAR");
}

// The smallest and largest x, y and z of the positions added.
struct Bounds {
  float min[3] = {INFINITY, INFINITY, INFINITY};
  float max[3] = {-INFINITY, -INFINITY, -INFINITY};

  void add(const float* i_xyz) {
    for (int i = 0; i < 3; ++i) {
      if (i_xyz[i] < min[i]) min[i] = i_xyz[i];
      if (i_xyz[i] > max[i]) max[i] = i_xyz[i];
    }
  }
  void store(GltfJson& io_accessor) const {
    io_accessor["min"] = {min[0], min[1], min[2]};
    io_accessor["max"] = {max[0], max[1], max[2]};
  }
};

// The glTF material of a kit material id, made and numbered the first time it is used; -1 when
// the id has no definition.
struct MaterialNumbers {
  const GltfMaterials* materials;
  std::map<std::uint32_t, std::int64_t> ofKit;
  std::vector<std::uint32_t> used;  // kit ids (Obj::kNoMaterial: the default), in glTF order

  std::int64_t of(std::uint32_t i_material) {
    const auto known = ofKit.find(i_material);
    if (known != ofKit.end()) return known->second;
    std::int64_t number = -1;
    const bool defined = i_material == Obj::kNoMaterial
                             ? materials->none.has_value()
                             : i_material < materials->ofKit.size() && materials->ofKit[i_material].has_value();
    if (defined) {
      number = static_cast<std::int64_t>(used.size());
      used.push_back(i_material);
    }
    ofKit.emplace(i_material, number);
    return number;
  }
};

// One primitive: its attributes, indices and material.
inline GltfJson Primitive(std::uint64_t i_positions, std::uint64_t i_normals, std::int64_t i_uvs,
                          std::uint64_t i_indices, std::int64_t i_material) {
  GltfJson primitive = {{"attributes", {{"POSITION", i_positions}, {"NORMAL", i_normals}}}, {"indices", i_indices}};
  if (i_uvs >= 0) primitive["attributes"]["TEXCOORD_0"] = i_uvs;
  if (i_material >= 0) primitive["material"] = i_material;
  return primitive;
}

// The flat mesh of building i_building: one primitive per material that its pieces use.
inline GltfJson FlatMesh(GlbLayout& io_layout, const std::vector<GltfPiece>& i_pieces,
                         const std::vector<std::uint64_t>& i_counts, std::uint32_t i_building,
                         MaterialNumbers& io_numbers) {
  std::set<std::uint32_t> materials;
  for (PieceId id = 0; id < i_pieces.size(); ++id) {
    if (i_counts[id] == 0) continue;
    for (const GltfPart& part : i_pieces[id].parts) materials.insert(part.material);
  }
  GltfJson primitives = GltfJson::array();
  for (const std::uint32_t material : materials) {
    std::uint64_t vertices = 0, indices = 0;
    bool uvs = false;
    for (PieceId id = 0; id < i_pieces.size(); ++id) {
      const GltfPart* part = i_pieces[id].part(material);
      if (i_counts[id] == 0 || !part) continue;
      vertices = SatAdd(vertices, SatMul(i_counts[id], part->positions.size()));
      indices = SatAdd(indices, SatMul(i_counts[id], part->indices.size()));
      uvs = uvs || !part->uvs.empty();
    }
    GlbView view;
    view.building = i_building;
    view.material = material;
    view.data = GlbData::FlatPositions;
    const std::uint64_t positions = AddData(io_layout, view, vertices, 3, kVertexTarget);
    io_layout.boundsOf.push_back(positions);
    view.data = GlbData::FlatNormals;
    const std::uint64_t normals = AddData(io_layout, view, vertices, 3, kVertexTarget);
    view.data = GlbData::FlatUvs;
    const std::int64_t texcoords =
        uvs ? static_cast<std::int64_t>(AddData(io_layout, view, vertices, 2, kVertexTarget)) : -1;
    view.data = GlbData::FlatIndices;
    const std::uint64_t triangles = AddIndices(io_layout, view, vertices, indices);
    primitives.push_back(Primitive(positions, normals, texcoords, triangles, io_numbers.of(material)));
  }
  return primitives;
}

// The mesh of one piece, as it is in cell units: one primitive per part.
inline GltfJson PieceMesh(GlbLayout& io_layout, const GltfPiece& i_piece, PieceId i_id,
                          MaterialNumbers& io_numbers) {
  GltfJson primitives = GltfJson::array();
  for (std::uint32_t p = 0; p < i_piece.parts.size(); ++p) {
    const GltfPart& part = i_piece.parts[p];
    GlbView view;
    view.piece = i_id;
    view.part = p;
    view.data = GlbData::PartPositions;
    const std::uint64_t vertices = part.positions.size();
    const std::uint64_t positions = AddData(io_layout, view, vertices, 3, kVertexTarget);
    GltfJson& accessor = io_layout.document["accessors"][positions];
    accessor["min"] = {part.low.x, part.low.y, part.low.z};
    accessor["max"] = {part.high.x, part.high.y, part.high.z};
    view.data = GlbData::PartNormals;
    const std::uint64_t normals = AddData(io_layout, view, vertices, 3, kVertexTarget);
    view.data = GlbData::PartUvs;
    const std::int64_t uvs =
        part.uvs.empty() ? -1 : static_cast<std::int64_t>(AddData(io_layout, view, vertices, 2, kVertexTarget));
    view.data = GlbData::PartIndices;
    const std::uint64_t indices = AddIndices(io_layout, view, vertices, part.indices.size());
    primitives.push_back(Primitive(positions, normals, uvs, indices, io_numbers.of(part.material)));
  }
  return primitives;
}

// Materials, textures and images of the used kit materials; the images' views come last.
inline void AddMaterials(GlbLayout& io_layout, const MaterialNumbers& i_numbers, const GltfMaterials& i_materials) {
  std::map<std::int32_t, std::uint64_t> textureOf;  // image -> texture
  for (const std::uint32_t id : i_numbers.used) {
    const GltfMaterial& material = id == Obj::kNoMaterial ? *i_materials.none : *i_materials.ofKit[id];
    GltfJson pbr = {{"baseColorFactor", material.baseColor},
                    {"metallicFactor", 0.0f},
                    {"roughnessFactor", material.roughness}};
    if (material.image >= 0) {
      if (textureOf.count(material.image) == 0) {
        GlbView view;
        view.data = GlbData::Image;
        view.image = static_cast<std::uint32_t>(material.image);
        const GltfImage& image = i_materials.images[view.image];
        view.bytes = image.bytes.size();
        const std::uint64_t bufferView = AddView(io_layout, view, 0);
        io_layout.document["images"].push_back(
            {{"bufferView", bufferView}, {"mimeType", image.mimeType}, {"name", image.name}});
        io_layout.document["textures"].push_back({{"source", io_layout.document["images"].size() - 1}});
        textureOf[material.image] = io_layout.document["textures"].size() - 1;
      }
      pbr["baseColorTexture"] = {{"index", textureOf[material.image]}};
    }
    GltfJson entry = {{"name", material.name}, {"pbrMetallicRoughness", std::move(pbr)}};
    if (material.blend()) entry["alphaMode"] = "BLEND";
    io_layout.document["materials"].push_back(std::move(entry));
  }
}

inline std::string DumpJson(const GltfJson& i_json) {
  return i_json.dump(-1, ' ', false, GltfJson::error_handler_t::replace);
}

// The pieces of a plan that an instanced form stores: placed, with some triangle.
inline std::vector<PieceId> InstancedPieces(const Plan& i_plan, const std::vector<GltfPiece>& i_pieces) {
  std::vector<PieceId> ids;
  for (const PieceId id : PiecesInOrder(i_plan)) {
    if (!i_pieces[id].parts.empty()) ids.push_back(id);
  }
  return ids;
}

// The Gpu form's nodes: every building's, then one per piece of each building, with the
// accessors of its instances.
inline void AddGpuNodes(GlbLayout& io_layout, const std::vector<GltfPiece>& i_pieces,
                        const std::vector<GltfBuilding>& i_buildings,
                        const std::vector<std::vector<std::uint64_t>>& i_counts) {
  GltfJson& nodes = io_layout.document["nodes"];
  std::vector<GltfJson> pieceNodes;
  for (std::uint32_t b = 0; b < i_buildings.size(); ++b) {
    GltfJson building = {{"name", i_buildings[b].name}};
    const bool scales = FrameScales(i_buildings[b].frame);
    for (const PieceId id : InstancedPieces(*i_buildings[b].plan, i_pieces)) {
      GlbView view;
      view.building = b;
      view.piece = id;
      GltfJson attributes;
      view.data = GlbData::Translations;
      attributes["TRANSLATION"] = AddData(io_layout, view, i_counts[b][id], 3, 0);
      if (PieceTurns(*i_buildings[b].plan, id, i_buildings[b].frame)) {
        view.data = GlbData::Rotations;
        attributes["ROTATION"] = AddData(io_layout, view, i_counts[b][id], 4, 0);
      }
      if (scales) {
        view.data = GlbData::Scales;
        attributes["SCALE"] = AddData(io_layout, view, i_counts[b][id], 3, 0);
      }
      building["children"].push_back(i_buildings.size() + pieceNodes.size());
      pieceNodes.push_back({{"mesh", io_layout.meshOfPiece[id]},
                            {"extensions", {{"EXT_mesh_gpu_instancing", {{"attributes", attributes}}}}}});
    }
    nodes.push_back(std::move(building));
  }
  for (GltfJson& node : pieceNodes) nodes.push_back(std::move(node));
  io_layout.document["extensionsUsed"] = {"EXT_mesh_gpu_instancing"};
  io_layout.document["extensionsRequired"] = {"EXT_mesh_gpu_instancing"};
}

// The whole file but the Nodes form's nodes and the flat form's bounds.
inline GlbLayout MakeLayout(const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                            const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                            const GltfOptions& i_options) {
  GlbLayout layout;
  GltfJson& document = layout.document;
  document["asset"] = {{"version", "2.0"}, {"generator", i_options.generator}};
  document["scene"] = 0;
  GltfJson roots = GltfJson::array();
  for (std::size_t b = 0; b < i_buildings.size(); ++b) roots.push_back(b);
  document["scenes"] = {{{"nodes", roots}}};
  std::vector<std::vector<std::uint64_t>> counts;
  for (const GltfBuilding& building : i_buildings) counts.push_back(PlacementCounts(*building.plan, i_kit));

  MaterialNumbers numbers{&i_materials, {}, {}};
  if (i_options.form == GltfForm::Flat) {
    for (std::uint32_t b = 0; b < i_buildings.size(); ++b) {
      GltfJson node = {{"name", i_buildings[b].name}};
      GltfJson primitives = FlatMesh(layout, i_pieces, counts[b], b, numbers);
      if (!primitives.empty()) {
        document["meshes"].push_back({{"name", i_buildings[b].name}, {"primitives", std::move(primitives)}});
        node["mesh"] = document["meshes"].size() - 1;
      }
      document["nodes"].push_back(std::move(node));
    }
  } else {
    layout.meshOfPiece.assign(i_kit.pieces.size(), -1);
    for (const GltfBuilding& building : i_buildings) {
      for (const PieceId id : InstancedPieces(*building.plan, i_pieces)) {
        if (layout.meshOfPiece[id] >= 0) continue;
        layout.meshOfPiece[id] = static_cast<std::int64_t>(document["meshes"].size());
        document["meshes"].push_back(
            {{"name", i_kit.piece(id).name}, {"primitives", PieceMesh(layout, i_pieces[id], id, numbers)}});
      }
    }
    if (i_options.form == GltfForm::Gpu) AddGpuNodes(layout, i_pieces, i_buildings, counts);
  }
  AddMaterials(layout, numbers, i_materials);
  if (layout.binBytes > 0) document["buffers"] = {{{"byteLength", layout.binBytes}}};
  return layout;
}

}  // namespace detail

}  // namespace Ostrel::City
