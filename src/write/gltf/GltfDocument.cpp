// The JSON document of a .glb.

#include "write/gltf/GltfDocument.h"
#include "write/JsonValue.h"
#include "write/gltf/GltfBinary.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <ostrel/ext/Glb.h>
#include <ostrel/layout/Instance.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>

namespace Ostrel::Buildings::detail {

using Numbers::SatAdd;
using Numbers::SatMul;

// Its numbers are written as floats, so that the JSON holds their shortest text ("0.1", not
// "0.10000000149"): see DumpJson.
using GltfJson = JsonValue;

struct GltfDocumentJson {
  GltfJson json;
  std::vector<std::uint64_t> boundsOf;  // flat form: the POSITION accessor of each positions view
  // The scene's extras as JSON text, put in as written: its numbers are doubles (a longitude to
  // the tenth of a millimetre), which the document's floats would round.
  std::string sceneExtras;
};

GlbLayout::GlbLayout() : document(std::make_unique<GltfDocumentJson>()) {}
GlbLayout::GlbLayout(GlbLayout&&) noexcept = default;
GlbLayout& GlbLayout::operator=(GlbLayout&&) noexcept = default;
GlbLayout::~GlbLayout() = default;

namespace {

inline constexpr std::uint64_t kMaxFileBytes = Glb::kMaxFileBytes;
// A node's translation, rotation and scale, each where it moves, turns or scales.
void PutTransform(GltfJson& io_node, const InstanceTransform& i_transform) {
  const float* t = i_transform.translation;
  const float* r = i_transform.rotation;
  const float* s = i_transform.scale;
  if (t[0] != 0 || t[1] != 0 || t[2] != 0) io_node["translation"] = {t[0], t[1], t[2]};
  if (r[0] != 0 || r[1] != 0 || r[2] != 0 || r[3] != 1) io_node["rotation"] = {r[0], r[1], r[2], r[3]};
  if (s[0] != 1 || s[1] != 1 || s[2] != 1) io_node["scale"] = {s[0], s[1], s[2]};
}

// Whether some placement of the piece in the building needs a scale beside its mesh's: the
// building's output scale is not the meshes', or its cells are not square and the piece is
// turned (a quarter turn swaps the cell's sides).
bool ResidualScales(const GltfBuilding& i_building, PieceId i_piece, const MeshScale& i_mesh) {
  const Frame& frame = i_building.frame;
  if (frame.xscale != i_mesh.x || frame.yscale != i_mesh.y || frame.zscale != i_mesh.z) return true;
  return frame.xscale != frame.zscale && PieceTurns(*i_building.plan, i_piece, frame);
}

// Adds a buffer view for i_view; returns its index.
std::uint64_t AddView(GlbLayout& io_layout, GltfJson& io_document, const GlbView& i_view,
                      std::uint64_t i_target) {
  GltfJson view = {{"buffer", 0}, {"byteOffset", io_layout.binBytes}, {"byteLength", i_view.bytes}};
  if (i_target != 0) view["target"] = i_target;
  io_document["bufferViews"].push_back(std::move(view));
  io_layout.views.push_back(i_view);
  // A saturated length must stay saturated: padding it would wrap it round to nothing.
  const std::uint64_t padded = i_view.bytes > kMaxFileBytes ? i_view.bytes : Glb::Padded(i_view.bytes);
  io_layout.binBytes = SatAdd(io_layout.binBytes, padded);
  return io_document["bufferViews"].size() - 1;
}

// Adds an accessor of a whole buffer view; returns its index.
std::uint64_t AddAccessor(GltfJson& io_document, std::uint64_t i_view, std::uint64_t i_componentType,
                          std::uint64_t i_count, const char* i_type) {
  io_document["accessors"].push_back(
      {{"bufferView", i_view}, {"componentType", i_componentType}, {"count", i_count}, {"type", i_type}});
  return io_document["accessors"].size() - 1;
}

// Adds a view and its accessor of vertex data (or, with i_target 0, instance data).
std::uint64_t AddData(GlbLayout& io_layout, GltfJson& io_document, GlbView i_view, std::uint64_t i_count,
                      int i_components, std::uint64_t i_target) {
  i_view.bytes = SatMul(i_count, 4 * static_cast<std::uint64_t>(i_components));
  const std::uint64_t view = AddView(io_layout, io_document, i_view, i_target);
  const char* type = i_components == 1 ? "SCALAR" : i_components == 2 ? "VEC2" : i_components == 3 ? "VEC3" : "VEC4";
  return AddAccessor(io_document, view, kFloatType, i_count, type);
}

// Adds the view and accessor of i_count texture coordinates: floats, or in the small form, when
// i_inUnitSquare, normalised unsigned 16-bit numbers.
std::uint64_t AddUvs(GlbLayout& io_layout, GltfJson& io_document, GlbView i_view, std::uint64_t i_count,
                     const GltfMaterials& i_materials, bool i_inUnitSquare) {
  if (!i_materials.small || !i_inUnitSquare) return AddData(io_layout, io_document, i_view, i_count, 2, kVertexTarget);
  i_view.shortUvs = true;
  i_view.bytes = SatMul(i_count, 4);
  const std::uint64_t view = AddView(io_layout, io_document, i_view, kVertexTarget);
  const std::uint64_t accessor = AddAccessor(io_document, view, kUint16Type, i_count, "VEC2");
  io_document["accessors"][accessor]["normalized"] = true;
  return accessor;
}

std::uint64_t AddIndices(GlbLayout& io_layout, GltfJson& io_document, GlbView i_view,
                         std::uint64_t i_vertices, std::uint64_t i_count) {
  i_view.wide = i_vertices > kMaxShortVertices;
  i_view.bytes = SatMul(i_count, i_view.wide ? 4 : 2);
  const std::uint64_t view = AddView(io_layout, io_document, i_view, kIndexTarget);
  return AddAccessor(io_document, view, i_view.wide ? kUint32Type : kUint16Type, i_count, "SCALAR");
}

// The feature ID of building i_building on i_count vertices (or, with i_target 0, instances): an
// attribute that a feature ID set names by its number, 0.
std::uint64_t AddFeatureIds(GlbLayout& io_layout, GltfJson& io_document, std::uint32_t i_building,
                            std::uint64_t i_count, std::uint64_t i_target) {
  GlbView view;
  view.data = GlbData::FeatureIds;
  view.building = i_building;
  return AddData(io_layout, io_document, view, i_count, 1, i_target);
}

// The one feature ID set of a primitive or a node whose vertices or instances are all one
// building's: its ID in the attribute, its properties in the file's one table.
GltfJson FeatureIdSet() {
  return {{"featureIds", {{{"featureCount", 1}, {"attribute", 0}, {"propertyTable", 0}}}}};
}

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
    const bool defined = i_material == Obj::kNoMaterial ? materials->none.has_value()
                                                        : i_material < materials->ofKit.size() &&
                                                              materials->ofKit[i_material].has_value();
    if (defined) {
      number = static_cast<std::int64_t>(used.size());
      used.push_back(i_material);
    }
    ofKit.emplace(i_material, number);
    return number;
  }
};

// One primitive: its attributes, indices and material.
GltfJson Primitive(std::uint64_t i_positions, std::uint64_t i_normals, std::int64_t i_uvs,
                   std::uint64_t i_indices, std::int64_t i_material) {
  GltfJson primitive = {{"attributes", {{"POSITION", i_positions}, {"NORMAL", i_normals}}},
                        {"indices", i_indices}};
  if (i_uvs >= 0) primitive["attributes"]["TEXCOORD_0"] = i_uvs;
  if (i_material >= 0) primitive["material"] = i_material;
  return primitive;
}

// Whether the kit material (Obj::kNoMaterial: the default) has a normal map whose primitives carry
// tangents: not in the small vertex form.
bool CarriesTangents(const GltfMaterials& i_materials, std::uint32_t i_material) {
  if (i_materials.small) return false;
  if (i_material >= i_materials.ofKit.size() || !i_materials.ofKit[i_material]) return false;
  return i_materials.ofKit[i_material]->normalImage >= 0;
}

// The flat mesh of building i_building: one primitive per material that its pieces use; io_boundsOf
// gains the POSITION accessor of each.
GltfJson FlatMesh(GlbLayout& io_layout, GltfJson& io_document, const std::vector<TriangleMesh>& i_pieces,
                  const std::vector<std::uint64_t>& i_counts, std::uint32_t i_building,
                  MaterialNumbers& io_numbers, std::vector<std::uint64_t>& io_boundsOf, std::uint32_t i_level = 0) {
  GltfJson primitives = GltfJson::array();
  for (const std::uint32_t material : FlatMaterials(i_pieces, i_counts)) {
    std::uint64_t vertices = 0, indices = 0;
    bool uvs = false;
    bool inUnitSquare = true;  // parts without coordinates get (0, 0)
    for (PieceId id = 0; id < i_pieces.size(); ++id) {
      const MeshPart* part = i_pieces[id].part(material);
      if (i_counts[id] == 0 || !part) continue;
      vertices = SatAdd(vertices, SatMul(i_counts[id], part->positions.size()));
      indices = SatAdd(indices, SatMul(i_counts[id], part->indices.size()));
      uvs = uvs || !part->uvs.empty();
      inUnitSquare = inUnitSquare && (!io_numbers.materials->small || UvsInUnitSquare(part->uvs));
    }
    uvs = uvs && io_numbers.materials->texcoords;
    GlbView view;
    view.building = i_building;
    view.material = material;
    view.level = i_level;
    view.data = GlbData::FlatPositions;
    const std::uint64_t positions = AddData(io_layout, io_document, view, vertices, 3, kVertexTarget);
    io_boundsOf.push_back(positions);
    view.data = GlbData::FlatNormals;
    const std::uint64_t normals = AddData(io_layout, io_document, view, vertices, 3, kVertexTarget);
    view.data = GlbData::FlatUvs;
    const std::int64_t texcoords =
        uvs ? static_cast<std::int64_t>(AddUvs(io_layout, io_document, view, vertices, *io_numbers.materials, inUnitSquare))
            : -1;
    std::int64_t tangents = -1;
    if (uvs && CarriesTangents(*io_numbers.materials, material)) {
      view.data = GlbData::FlatTangents;
      tangents = static_cast<std::int64_t>(AddData(io_layout, io_document, view, vertices, 4, kVertexTarget));
    }
    view.data = GlbData::FlatIndices;
    const std::uint64_t triangles = AddIndices(io_layout, io_document, view, vertices, indices);
    primitives.push_back(Primitive(positions, normals, texcoords, triangles, io_numbers.of(material)));
    if (tangents >= 0) primitives.back()["attributes"]["TANGENT"] = tangents;
  }
  return primitives;
}

// The mesh of one piece, as it is in cell units: one primitive per part.
GltfJson PieceMesh(GlbLayout& io_layout, GltfJson& io_document, const TriangleMesh& i_piece, PieceId i_id,
                   MaterialNumbers& io_numbers) {
  GltfJson primitives = GltfJson::array();
  for (std::uint32_t p = 0; p < i_piece.parts.size(); ++p) {
    const MeshPart& part = i_piece.parts[p];
    GlbView view;
    view.piece = i_id;
    view.part = p;
    view.data = GlbData::PartPositions;
    const std::uint64_t vertices = part.positions.size();
    const std::uint64_t positions = AddData(io_layout, io_document, view, vertices, 3, kVertexTarget);
    GltfJson& accessor = io_document["accessors"][positions];
    accessor["min"] = {part.low.x, part.low.y, part.low.z};
    accessor["max"] = {part.high.x, part.high.y, part.high.z};
    view.data = GlbData::PartNormals;
    const std::uint64_t normals = AddData(io_layout, io_document, view, vertices, 3, kVertexTarget);
    view.data = GlbData::PartUvs;
    const std::int64_t uvs =
        part.uvs.empty() || !io_numbers.materials->texcoords
            ? -1
            : static_cast<std::int64_t>(AddUvs(io_layout, io_document, view, vertices, *io_numbers.materials,
                                               UvsInUnitSquare(part.uvs)));
    std::int64_t tangents = -1;
    if (uvs >= 0 && CarriesTangents(*io_numbers.materials, part.material)) {
      view.data = GlbData::PartTangents;
      tangents = static_cast<std::int64_t>(AddData(io_layout, io_document, view, vertices, 4, kVertexTarget));
    }
    view.data = GlbData::PartIndices;
    const std::uint64_t indices = AddIndices(io_layout, io_document, view, vertices, part.indices.size());
    primitives.push_back(Primitive(positions, normals, uvs, indices, io_numbers.of(part.material)));
    if (tangents >= 0) primitives.back()["attributes"]["TANGENT"] = tangents;
  }
  return primitives;
}

// The texture of image i_image, added with its image (whose view comes last) the first time it is
// named: each image once, whichever materials name it. The first texture adds the one sampler,
// linear with mipmaps, repeating as OBJ readers do.
std::uint64_t TextureOf(std::int32_t i_image, GlbLayout& io_layout, GltfJson& io_document,
                        const GltfMaterials& i_materials, const GltfOptions& i_options,
                        std::map<std::int32_t, std::uint64_t>& io_textureOf) {
  const auto known = io_textureOf.find(i_image);
  if (known != io_textureOf.end()) return known->second;
  GlbView view;
  view.data = GlbData::Image;
  view.image = static_cast<std::uint32_t>(i_image);
  const GltfImage& image = i_materials.images[view.image];
  if (i_options.imagesBeside) {
    io_document["images"].push_back({{"uri", UriOf(image.name)}, {"name", image.name}});
  } else if (i_options.imageFolder.empty()) {
    view.bytes = image.bytes.size();
    const std::uint64_t bufferView = AddView(io_layout, io_document, view, 0);
    io_document["images"].push_back({{"bufferView", bufferView}, {"mimeType", image.mimeType}, {"name", image.name}});
  } else {
    io_document["images"].push_back(
        {{"uri", i_options.imageFolder + "/" + UriOf(image.name)}, {"name", image.name}});
  }
  if (!io_document.contains("samplers")) {
    io_document["samplers"] = {{{"magFilter", 9729}, {"minFilter", 9987}, {"wrapS", 10497}, {"wrapT", 10497}}};
  }
  io_document["textures"].push_back({{"sampler", 0}, {"source", io_document["images"].size() - 1}});
  return io_textureOf[i_image] = io_document["textures"].size() - 1;
}

// Materials, textures and images of the used kit materials; the images' views come last.
void AddMaterials(GlbLayout& io_layout, GltfJson& io_document, const MaterialNumbers& i_numbers,
                  const GltfMaterials& i_materials, const GltfOptions& i_options) {
  std::map<std::int32_t, std::uint64_t> textureOf;  // image -> texture
  for (const std::uint32_t id : i_numbers.used) {
    const GltfMaterial& material = id == Obj::kNoMaterial ? *i_materials.none : *i_materials.ofKit[id];
    GltfJson pbr = {{"baseColorFactor", material.baseColor},
                    {"metallicFactor", 0.0f},
                    {"roughnessFactor", material.roughness}};
    if (material.image >= 0) {
      pbr["baseColorTexture"] = {
          {"index", TextureOf(material.image, io_layout, io_document, i_materials, i_options, textureOf)}};
    }
    GltfJson entry = {{"name", material.name}, {"pbrMetallicRoughness", std::move(pbr)}};
    if (material.normalImage >= 0) {
      entry["normalTexture"] = {{"index", TextureOf(material.normalImage, io_layout, io_document, i_materials,
                                                    i_options, textureOf)}};
    }
    if (material.blend()) entry["alphaMode"] = "BLEND";
    io_document["materials"].push_back(std::move(entry));
  }
}

std::string DumpJson(const GltfJson& i_json) {
  return i_json.dump(JsonReals::Floats);
}

// The pieces of a plan that an instanced form stores: placed, with some triangle.
std::vector<PieceId> InstancedPieces(const Plan& i_plan, const std::vector<TriangleMesh>& i_pieces) {
  std::vector<PieceId> ids;
  for (const PieceId id : PiecesInOrder(i_plan)) {
    if (!i_pieces[id].parts.empty()) ids.push_back(id);
  }
  return ids;
}

// The Gpu form's nodes: every building's, then one per piece of each building, with the
// accessors of its instances.
void AddGpuNodes(GlbLayout& io_layout, GltfJson& io_document, const std::vector<TriangleMesh>& i_pieces,
                 const std::vector<GltfBuilding>& i_buildings,
                 const std::vector<std::vector<std::uint64_t>>& i_counts, const MeshScale& i_meshScale,
                 const Kit& i_kit, bool i_features) {
  GltfJson& nodes = io_document["nodes"];
  std::vector<GltfJson> pieceNodes;
  for (std::uint32_t b = 0; b < i_buildings.size(); ++b) {
    GltfJson building = {{"name", i_buildings[b].name}};
    PutTransform(building, i_buildings[b].node);
    for (const PieceId id : InstancedPieces(*i_buildings[b].plan, i_pieces)) {
      GlbView view;
      view.building = b;
      view.piece = id;
      GltfJson attributes;
      view.data = GlbData::Translations;
      attributes["TRANSLATION"] = AddData(io_layout, io_document, view, i_counts[b][id], 3, 0);
      if (PieceTurns(*i_buildings[b].plan, id, i_buildings[b].frame)) {
        view.data = GlbData::Rotations;
        attributes["ROTATION"] = AddData(io_layout, io_document, view, i_counts[b][id], 4, 0);
      }
      if (ResidualScales(i_buildings[b], id, i_meshScale)) {
        view.data = GlbData::Scales;
        attributes["SCALE"] = AddData(io_layout, io_document, view, i_counts[b][id], 3, 0);
      }
      if (i_features) attributes["_FEATURE_ID_0"] = AddFeatureIds(io_layout, io_document, b, i_counts[b][id], 0);
      building["children"].push_back(i_buildings.size() + pieceNodes.size());
      pieceNodes.push_back({{"mesh", io_layout.meshOfPiece[id]},
                            {"name", i_kit.piece(id).name},
                            {"extensions", {{"EXT_mesh_gpu_instancing", {{"attributes", attributes}}}}}});
      if (i_features) pieceNodes.back()["extensions"]["EXT_instance_features"] = FeatureIdSet();
    }
    nodes.push_back(std::move(building));
  }
  for (GltfJson& node : pieceNodes) nodes.push_back(std::move(node));
  io_document["extensionsUsed"].push_back("EXT_mesh_gpu_instancing");
  io_document["extensionsRequired"] = {"EXT_mesh_gpu_instancing"};
  if (i_features) io_document["extensionsUsed"].push_back("EXT_instance_features");
}

// ---- Engine extras ---------------------------------------------------------------------------

// The smallest and largest x, y and z of the positions.
void PutExtraBounds(GltfJson& io_accessor, const std::vector<VectorF>& i_positions) {
  Bounds bounds;
  for (const VectorF& p : i_positions) {
    const float xyz[3] = {p.x, p.y, p.z};
    bounds.add(xyz);
  }
  io_accessor["min"] = {bounds.min[0], bounds.min[1], bounds.min[2]};
  io_accessor["max"] = {bounds.max[0], bounds.max[1], bounds.max[2]};
}

// The primitive of one part of a mesh of a building's extras; a drawn part gets its material.
GltfJson ExtraPrimitive(GlbLayout& io_layout, GltfJson& io_document, const ExtraPart& i_part, GlbView i_view,
                        MaterialNumbers& io_numbers, bool i_drawn) {
  const std::uint64_t vertices = i_part.positions.size();
  i_view.data = GlbData::ExtraPositions;
  const std::uint64_t positions = AddData(io_layout, io_document, i_view, vertices, 3, kVertexTarget);
  PutExtraBounds(io_document["accessors"][positions], i_part.positions);
  GltfJson primitive = {{"attributes", {{"POSITION", positions}}}};
  if (!i_part.normals.empty()) {
    i_view.data = GlbData::ExtraNormals;
    primitive["attributes"]["NORMAL"] = AddData(io_layout, io_document, i_view, vertices, 3, kVertexTarget);
  }
  if (!i_part.uvs.empty() && io_numbers.materials->texcoords) {
    i_view.data = GlbData::ExtraUvs;
    primitive["attributes"]["TEXCOORD_0"] =
        AddUvs(io_layout, io_document, i_view, vertices, *io_numbers.materials, UvsInUnitSquare(i_part.uvs));
  }
  if (!i_part.tangents.empty() && io_numbers.materials->texcoords &&
      CarriesTangents(*io_numbers.materials, i_part.material)) {
    i_view.data = GlbData::ExtraTangents;
    primitive["attributes"]["TANGENT"] = AddData(io_layout, io_document, i_view, vertices, 4, kVertexTarget);
  }
  i_view.data = GlbData::ExtraIndices;
  primitive["indices"] = AddIndices(io_layout, io_document, i_view, vertices, i_part.indices.size());
  const std::int64_t material = i_drawn ? io_numbers.of(i_part.material) : -1;
  if (material >= 0) primitive["material"] = material;
  return primitive;
}

// The meshes of a building's extras (the hulls, then the levels); -1 for one without triangles. A
// level laid out from the pieces' levels is a flat mesh of them, placed as the building's pieces
// are, whatever the form.
std::vector<std::int64_t> AddExtraMeshes(GlbLayout& io_layout, GltfJson& io_document, const Kit& i_kit,
                                         const GltfBuilding& i_building, std::uint32_t i_building_index,
                                         MaterialNumbers& io_numbers) {
  const EngineExtras& extras = *i_building.extras;
  std::vector<std::int64_t> meshOf;
  const auto add = [&](GltfJson i_primitives, const std::string& i_name) {
    if (i_primitives.empty()) return meshOf.push_back(-1);
    meshOf.push_back(static_cast<std::int64_t>(io_document["meshes"].size()));
    io_document["meshes"].push_back({{"name", i_name}, {"primitives", std::move(i_primitives)}});
  };
  const auto made = [&](std::size_t i_mesh) {
    GltfJson primitives = GltfJson::array();
    const std::vector<ExtraPart>& parts = extras.mesh(i_mesh).parts;
    for (std::uint32_t p = 0; p < parts.size(); ++p) {
      GlbView view;
      view.building = i_building_index;
      view.extra = static_cast<std::uint32_t>(i_mesh);
      view.part = p;
      primitives.push_back(
          ExtraPrimitive(io_layout, io_document, parts[p], view, io_numbers, i_mesh >= extras.hulls.size()));
    }
    return primitives;
  };
  for (std::size_t h = 0; h < extras.hulls.size(); ++h) add(made(h), extras.hullNames[h]);
  std::size_t level = 1;
  if (!extras.streamed.empty()) {
    const std::vector<std::uint64_t> counts = PlacementCounts(*i_building.plan, i_kit);
    for (const PieceLevel* pieces : extras.streamed) {
      std::vector<std::uint64_t> boundsOf;
      GltfJson primitives = FlatMesh(io_layout, io_document, pieces->pieces, counts, i_building_index, io_numbers,
                                     boundsOf, static_cast<std::uint32_t>(level));
      const std::vector<std::uint32_t> materials = FlatMaterials(pieces->pieces, counts);
      for (std::size_t i = 0; i < boundsOf.size(); ++i) {
        const Bounds bounds = MaterialBounds(i_kit, pieces->pieces, i_building, materials[i]);
        GltfJson& accessor = io_document["accessors"][boundsOf[i]];
        accessor["min"] = {bounds.min[0], bounds.min[1], bounds.min[2]};
        accessor["max"] = {bounds.max[0], bounds.max[1], bounds.max[2]};
      }
      add(std::move(primitives), LevelName(i_building.name, level++));
    }
  }
  for (std::size_t l = 0; l < extras.levels.size(); ++l)
    add(made(extras.hulls.size() + l), LevelName(i_building.name, level++));
  return meshOf;
}

// A node of a mesh that may have no triangles.
GltfJson MeshNode(const std::string& i_name, std::int64_t i_mesh) {
  GltfJson node = {{"name", i_name}};
  if (i_mesh >= 0) node["mesh"] = i_mesh;
  return node;
}

// Every building's extras: their meshes, and their nodes from node i_firstNode on. Under a
// building's node, its finest level of detail comes first (LOD0, which takes what the building's
// node held and names the lower levels with MSFT_lod), then its hulls, then its doors; the lower
// levels' nodes follow LOD0's, children of no node and in no scene. In the Nodes
// form the nodes go to the layout's lists, for the writer to put after the placements' nodes.
void AddEngineNodes(GlbLayout& io_layout, GltfJson& io_document, const Kit& i_kit,
                    const std::vector<GltfBuilding>& i_buildings, MaterialNumbers& io_numbers, bool i_nodesForm,
                    std::uint64_t i_firstNode) {
  std::vector<GltfJson> nodes;
  bool levels = false;
  io_layout.extraChildren.assign(i_buildings.size(), {});
  io_layout.placementsInLevel.assign(i_buildings.size(), false);
  for (std::uint32_t b = 0; b < i_buildings.size(); ++b) {
    if (!i_buildings[b].extras || i_buildings[b].farOnly) continue;
    const EngineExtras& extras = *i_buildings[b].extras;
    const std::string& name = i_buildings[b].name;
    const std::vector<std::int64_t> meshOf =
        AddExtraMeshes(io_layout, io_document, i_kit, i_buildings[b], b, io_numbers);
    std::vector<std::uint64_t>& children = io_layout.extraChildren[b];
    // A node that is no child of the building's is reached through MSFT_lod alone.
    const auto add = [&](GltfJson i_node, std::int64_t i_holds, bool i_child = true) {
      if (i_child) children.push_back(i_firstNode + nodes.size());
      io_layout.extraNodeHolds.push_back(i_holds);
      nodes.push_back(std::move(i_node));
      return nodes.size() - 1;
    };
    if (extras.levelCount() > 0) {
      levels = true;
      GltfJson finest = {{"name", LevelName(name, 0)}};
      if (!i_nodesForm) {
        GltfJson& building = io_document["nodes"][b];
        for (const char* member : {"mesh", "children"}) {
          if (!building.contains(member)) continue;
          finest[member] = std::move(building[member]);
          building.erase(member);
        }
      }
      io_layout.placementsInLevel[b] = i_nodesForm;
      const std::size_t at = add(std::move(finest), i_nodesForm ? b : -1);
      // The lower levels stay out of the scene's hierarchy: a reader without the extension then
      // draws the finest level alone, rather than every level on top of one another.
      GltfJson ids = GltfJson::array();
      for (std::size_t level = 0; level < extras.levelCount(); ++level) {
        ids.push_back(i_firstNode + nodes.size());
        add(MeshNode(LevelName(name, level + 1), meshOf[extras.hulls.size() + level]), -1, false);
      }
      nodes[at]["extensions"]["MSFT_lod"]["ids"] = std::move(ids);
    }
    for (std::size_t h = 0; h < extras.hulls.size(); ++h) add(MeshNode(extras.hullNames[h], meshOf[h]), -1);
    for (const DoorMarker& door : extras.doors) {
      GltfJson node = {{"name", door.name}};
      PutTransform(node, InstanceTransform{{door.translation[0], door.translation[1], door.translation[2]},
                                           {door.rotation[0], door.rotation[1], door.rotation[2], door.rotation[3]},
                                           {1, 1, 1}});
      add(std::move(node), -1);
    }
    if (!i_nodesForm) {
      for (const std::uint64_t child : children) io_document["nodes"][b]["children"].push_back(child);
    }
  }
  for (GltfJson& node : nodes) {
    if (i_nodesForm) io_layout.extraNodes.push_back(DumpJson(node));
    else io_document["nodes"].push_back(std::move(node));
  }
  if (levels) io_document["extensionsUsed"].push_back("MSFT_lod");
}

// The building drawn by the last level of its extras: one primitive per part, each with the
// building's feature ID on its vertices when the file has features.
GltfJson FarMesh(GlbLayout& io_layout, GltfJson& io_document, const GltfBuilding& i_building, std::uint32_t i_b,
                 MaterialNumbers& io_numbers, bool i_features) {
  GltfJson primitives = GltfJson::array();
  if (!i_building.extras || i_building.extras->levels.empty()) return primitives;
  const std::size_t last = i_building.extras->meshCount() - 1;
  const std::vector<ExtraPart>& parts = i_building.extras->mesh(last).parts;
  for (std::uint32_t p = 0; p < parts.size(); ++p) {
    GlbView view;
    view.building = i_b;
    view.extra = static_cast<std::uint32_t>(last);
    view.part = p;
    primitives.push_back(ExtraPrimitive(io_layout, io_document, parts[p], view, io_numbers, true));
    if (!i_features) continue;
    primitives.back()["attributes"]["_FEATURE_ID_0"] =
        AddFeatureIds(io_layout, io_document, i_b, parts[p].positions.size(), kVertexTarget);
    primitives.back()["extensions"]["EXT_mesh_features"] = FeatureIdSet();
  }
  return primitives;
}

// Adds a Blob view of the bytes; returns its index.
std::uint64_t AddBlob(GlbLayout& io_layout, GltfJson& io_document, std::string i_bytes) {
  GlbView view;
  view.data = GlbData::Blob;
  view.blob = static_cast<std::uint32_t>(io_layout.blobs.size());
  view.bytes = i_bytes.size();
  io_layout.blobs.push_back(std::move(i_bytes));
  return AddView(io_layout, io_document, view, 0);
}

// The values of a string property: the texts one after another, and where each starts (32-bit
// offsets, one more than the texts).
GltfJson StringColumn(GlbLayout& io_layout, GltfJson& io_document, const std::vector<std::string>& i_texts) {
  std::string values, offsets;
  const auto put = [&](std::uint32_t i_offset) { offsets.append(reinterpret_cast<const char*>(&i_offset), 4); };
  for (const std::string& text : i_texts) {
    put(static_cast<std::uint32_t>(values.size()));
    values += text;
  }
  put(static_cast<std::uint32_t>(values.size()));
  const std::uint64_t valuesView = AddBlob(io_layout, io_document, std::move(values));
  return {{"values", valuesView}, {"stringOffsets", AddBlob(io_layout, io_document, std::move(offsets))}};
}

// The class of a building's properties, and one table of them, a row per building in the order of
// the file's buildings (its feature ID).
void AddPropertyTable(GlbLayout& io_layout, GltfJson& io_document, const std::vector<GltfBuilding>& i_buildings) {
  std::vector<std::string> ids, styles, roofs;
  std::string storeys, heights;
  const GltfFeature none;
  for (const GltfBuilding& building : i_buildings) {
    const GltfFeature& feature = building.feature ? *building.feature : none;
    ids.push_back(feature.id);
    styles.push_back(feature.style);
    roofs.push_back(feature.roof);
    storeys.append(reinterpret_cast<const char*>(&feature.storeys), 4);
    heights.append(reinterpret_cast<const char*>(&feature.height), 4);
  }
  GltfJson properties;
  properties["id"] = StringColumn(io_layout, io_document, ids);
  properties["style"] = StringColumn(io_layout, io_document, styles);
  properties["storeys"] = {{"values", AddBlob(io_layout, io_document, std::move(storeys))}};
  properties["height"] = {{"values", AddBlob(io_layout, io_document, std::move(heights))}};
  properties["roof"] = StringColumn(io_layout, io_document, roofs);
  GltfJson schema = {
      {"id", "towerkit"},
      {"classes",
       {{"building",
         {{"name", "Building"},
          {"properties",
           {{"id", {{"type", "STRING"}, {"description", "the building's id, its row's in a city file"}}},
            {"style", {{"type", "STRING"}}},
            {"storeys", {{"type", "SCALAR"}, {"componentType", "UINT32"}}},
            {"height", {{"type", "SCALAR"}, {"componentType", "FLOAT32"}, {"description", "metres"}}},
            {"roof", {{"type", "STRING"}, {"description", "flat, gable or hip"}}}}}}}}}};
  io_document["extensions"]["EXT_structural_metadata"] = {
      {"schema", std::move(schema)},
      {"propertyTables", {{{"class", "building"}, {"count", i_buildings.size()}, {"properties", std::move(properties)}}}}};
  io_document["extensionsUsed"].push_back("EXT_structural_metadata");
}

// The placements that the Nodes form gives a node each, in every building.
std::uint64_t PlacementNodes(const std::vector<TriangleMesh>& i_pieces,
                             const std::vector<std::vector<std::uint64_t>>& i_counts) {
  std::uint64_t nodes = 0;
  for (const std::vector<std::uint64_t>& counts : i_counts) {
    for (PieceId id = 0; id < counts.size(); ++id) {
      if (!i_pieces[id].parts.empty()) nodes = SatAdd(nodes, counts[id]);
    }
  }
  return nodes;
}

}  // namespace

GlbLayout MakeLayout(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                     const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                     const GltfOptions& i_options, const MeshScale& i_meshScale) {
  GlbLayout layout;
  GltfJson& document = layout.document->json;
  document["asset"] = {{"version", "2.0"}, {"generator", i_options.generator}};
  document["scene"] = 0;
  GltfJson roots = GltfJson::array();
  for (std::size_t b = 0; b < i_buildings.size(); ++b) roots.push_back(b);
  document["scenes"] = {{{"nodes", roots}}};
  layout.document->sceneExtras = i_options.sceneExtras;
  std::vector<std::vector<std::uint64_t>> counts;
  for (const GltfBuilding& building : i_buildings) counts.push_back(PlacementCounts(*building.plan, i_kit));

  MaterialNumbers numbers{&i_materials, {}, {}};
  const bool features = i_options.features;
  if (i_options.form == GltfForm::Flat) {
    for (std::uint32_t b = 0; b < i_buildings.size(); ++b) {
      GltfJson node = {{"name", i_buildings[b].name}};
      PutTransform(node, i_buildings[b].node);
      GltfJson primitives =
          i_buildings[b].farOnly
              ? FarMesh(layout, document, i_buildings[b], b, numbers, features)
              : FlatMesh(layout, document, i_pieces, counts[b], b, numbers, layout.document->boundsOf);
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
            {{"name", i_kit.piece(id).name},
             {"primitives", PieceMesh(layout, document, i_pieces[id], id, numbers)}});
      }
    }
    if (i_options.form == GltfForm::Gpu) {
      AddGpuNodes(layout, document, i_pieces, i_buildings, counts, i_meshScale, i_kit, features);
    }
  }
  const bool extras = std::any_of(i_buildings.begin(), i_buildings.end(),
                                  [](const GltfBuilding& i_building) { return i_building.extras != nullptr; });
  if (extras) {
    const bool nodesForm = i_options.form == GltfForm::Nodes;
    const std::uint64_t first =
        nodesForm ? i_buildings.size() + PlacementNodes(i_pieces, counts) : document["nodes"].size();
    AddEngineNodes(layout, document, i_kit, i_buildings, numbers, nodesForm, first);
  }
  AddMaterials(layout, document, numbers, i_materials, i_options);
  if (features) {
    AddPropertyTable(layout, document, i_buildings);
    if (std::any_of(i_buildings.begin(), i_buildings.end(), [](const GltfBuilding& i_b) { return i_b.farOnly; }))
      document["extensionsUsed"].push_back("EXT_mesh_features");
  }
  if (layout.binBytes > 0) document["buffers"] = {{{"byteLength", layout.binBytes}}};
  return layout;
}

void SetBufferUri(GlbLayout& io_layout, const std::string& i_uri) {
  GltfJson& document = io_layout.document->json;
  if (document.contains("buffers")) document["buffers"][0]["uri"] = i_uri;
}

std::string DocumentText(GlbLayout& io_layout, const std::vector<Bounds>& i_flatBounds) {
  GltfJson& document = io_layout.document->json;
  const std::vector<std::uint64_t>& boundsOf = io_layout.document->boundsOf;
  for (std::size_t i = 0; i < boundsOf.size() && i < i_flatBounds.size(); ++i) {
    GltfJson& accessor = document["accessors"][boundsOf[i]];
    const Bounds& bounds = i_flatBounds[i];
    accessor["min"] = {bounds.min[0], bounds.min[1], bounds.min[2]};
    accessor["max"] = {bounds.max[0], bounds.max[1], bounds.max[2]};
  }
  std::string text = DumpJson(document);
  const std::string& extras = io_layout.document->sceneExtras;
  // A quote in the text of a string is escaped, so this is the one scene's key.
  const std::string::size_type scene = text.find("\"scenes\":[{");
  if (!extras.empty() && scene != std::string::npos)
    text.insert(scene + 11, "\"extras\":" + extras + (text.compare(scene + 11, 1, "}") == 0 ? "" : ","));
  return text;
}

std::vector<std::uint64_t> PlacementCounts(const Plan& i_plan, const Kit& i_kit) {
  return CountPieces(i_plan, i_kit);
}

std::vector<std::uint32_t> FlatMaterials(const std::vector<TriangleMesh>& i_pieces,
                                         const std::vector<std::uint64_t>& i_counts) {
  std::set<std::uint32_t> materials;
  for (PieceId id = 0; id < i_pieces.size(); ++id) {
    if (i_counts[id] == 0) continue;
    for (const MeshPart& part : i_pieces[id].parts) materials.insert(part.material);
  }
  return std::vector<std::uint32_t>(materials.begin(), materials.end());
}

std::string JsonString(const std::string& i_text) { return DumpJson(GltfJson(i_text)); }

std::string TransformText(const InstanceTransform& i_transform) {
  GltfJson node = GltfJson::object();
  PutTransform(node, i_transform);
  std::string text = DumpJson(node);
  return text.size() > 2 ? text.substr(1, text.size() - 2) : std::string();
}

}  // namespace Ostrel::Buildings::detail
