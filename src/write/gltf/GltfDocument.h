#pragma once
// What a .glb of buildings holds and where, decided before a byte of it is written: the JSON
// document and the list of buffer views that the binary chunk streams, one after another.
//
// Every count comes from the plans' folded form, so a building of any size is measured at once;
// only the flat form's bounds need a walk over what will be written (GltfBinary.h), done once the
// file is known to fit. The JSON tree stays inside GltfDocument.cpp.

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Instance.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/write/Gltf.h>

#include "write/engine/EngineExtras.h"
#include "write/gltf/GltfMaterials.h"
#include "write/TriangleMesh.h"

namespace Ostrel::Buildings {

// What a viewer is told of a building that it can pick (GltfOptions::features).
struct GltfFeature {
  std::string id;
  std::string style;
  std::string roof;            // flat, gable or hip
  std::uint32_t storeys = 0;   // the roof not counted
  float height = 0;            // from its lowest to its highest point, output units
};

// One building of a glTF file. Given to the writer in the output's frame; inside it, its content
// is placed in its own frame (OwnFrame, Instance.h) under a node that moves and turns it, so that
// an engine moves a building about its own origin and far from the origin keeps full precision.
struct GltfBuilding {
  const Plan* plan = nullptr;
  Frame frame;
  std::string name;                                            // its node's name
  InstanceTransform node{{0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}};  // its node's transform
  const EngineExtras* extras = nullptr;  // its engine extras, in its own frame; null for none
  // Drawn by the last of its extras' levels alone, in place of its pieces (a tileset's far view
  // of it); its plan then places nothing.
  bool farOnly = false;
  const GltfFeature* feature = nullptr;  // with GltfOptions::features
};

namespace detail {

inline constexpr std::uint64_t kFloatType = 5126;
inline constexpr std::uint64_t kUint16Type = 5123;
inline constexpr std::uint64_t kUint32Type = 5125;
inline constexpr std::uint64_t kVertexTarget = 34962;
inline constexpr std::uint64_t kIndexTarget = 34963;
// Indices of up to this many vertices fit 16 bits (the largest value is reserved).
inline constexpr std::uint64_t kMaxShortVertices = 0xFFFF;

// Whether every texture coordinate lies in [0, 1], as a normalised unsigned number's must.
inline bool UvsInUnitSquare(const std::vector<UV>& i_uvs) {
  for (const UV& uv : i_uvs) {
    if (!(uv.u >= 0 && uv.u <= 1 && uv.v >= 0 && uv.v <= 1)) return false;
  }
  return true;
}

// A coordinate in [0, 1] as a normalised unsigned 16-bit number, which a reader divides by 65535:
// the nearest step, within 1/131070 of the coordinate.
inline std::uint16_t ShortUv(float i_value) {
  return static_cast<std::uint16_t>(std::lround(static_cast<double>(i_value) * 65535.0));
}

// What one buffer view holds.
enum class GlbData {
  FlatPositions,
  FlatNormals,
  FlatUvs,
  FlatIndices,  // one material of one building, placed
  PartPositions,
  PartNormals,
  PartUvs,
  PartIndices,  // one part of one piece, as it is
  Translations,
  Rotations,
  Scales,  // the instances of one piece in one building
  Image,
  ExtraPositions,
  ExtraNormals,
  ExtraIndices,  // one part of one mesh of a building's engine extras
  FlatTangents,   // with a normal map: one material of one building, placed
  PartTangents,   // with a normal map: one part of one piece, as it is
  ExtraUvs,       // with a map: one part of one level of a building's engine extras
  ExtraTangents,  // with a normal map: the same
  FeatureIds,     // the building's feature ID, once per vertex or instance (floats)
  Blob,           // bytes held by the layout (GlbLayout::blobs): a table of feature properties
};

struct GlbView {
  GlbData data = GlbData::Image;
  std::uint32_t building = 0;                 // flat and instance data
  std::uint32_t material = Obj::kNoMaterial;  // flat data: the kit material id
  PieceId piece = 0;                          // part and instance data
  std::uint32_t part = 0;                     // part data: index into TriangleMesh::parts
  std::uint32_t image = 0;                    // index into GltfMaterials::images
  std::uint32_t extra = 0;                    // extra data: the mesh, EngineExtras::mesh
  std::uint32_t blob = 0;                     // index into GlbLayout::blobs
  std::uint32_t level = 0;                    // flat data: 0 the pieces, n EngineExtras::streamed[n - 1]
  bool wide = false;                          // indices of 32 bits rather than 16
  bool shortUvs = false;                      // texture coordinates as ShortUv numbers, not floats
  std::uint64_t bytes = 0;                    // without padding
};

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
};

struct GltfDocumentJson;  // the JSON document, known to GltfDocument.cpp alone

// The scale a piece's mesh is stored at in the instanced forms: the output's units, so that a
// mesh an engine reuses has its size, and nodes carry no scale (but for cells that are not
// square, whose quarter-turned pieces keep the ratio of the two sides).
struct MeshScale {
  float x = 1, y = 1, z = 1;
};

struct GlbLayout {
  GlbLayout();
  GlbLayout(GlbLayout&&) noexcept;
  GlbLayout& operator=(GlbLayout&&) noexcept;
  ~GlbLayout();

  std::unique_ptr<GltfDocumentJson> document;  // the Nodes form's "nodes" are the writer's
  std::vector<GlbView> views;                  // in the order of the binary chunk
  std::uint64_t binBytes = 0;                  // every view padded to four bytes (saturating)
  std::vector<std::int64_t> meshOfPiece;       // instanced forms: the mesh of each piece, or -1
  // The Nodes form's nodes of engine extras, written after every placement's node: each one's JSON
  // object, and the building whose placements it holds as children (its finest level of detail),
  // or -1. By building: the extras' nodes among its children, and whether its placements are
  // under its finest level's node rather than under its own.
  std::vector<std::string> extraNodes;
  std::vector<std::int64_t> extraNodeHolds;
  std::vector<std::vector<std::uint64_t>> extraChildren;
  std::vector<bool> placementsInLevel;
  std::vector<std::string> blobs;  // the bytes of the Blob views
};

// How many times the plan places each piece, by PieceId (saturating).
std::vector<std::uint64_t> PlacementCounts(const Plan& i_plan, const Kit& i_kit);

// The kit materials of the parts of the pieces a building places (i_counts by PieceId), in
// ascending order (Obj::kNoMaterial last): the primitives of its flat mesh.
std::vector<std::uint32_t> FlatMaterials(const std::vector<TriangleMesh>& i_pieces,
                                         const std::vector<std::uint64_t>& i_counts);

// The whole document but the Nodes form's nodes and the flat form's bounds.
GlbLayout MakeLayout(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                     const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                     const GltfOptions& i_options, const MeshScale& i_meshScale);

// Names the buffer's file (a .gltf's), relative to the document's.
void SetBufferUri(GlbLayout& io_layout, const std::string& i_uri);

// The document's text, with the flat form's bounds of each building's flat primitives, building
// by building in the order of FlatMaterials (none for the instanced forms).
std::string DocumentText(GlbLayout& io_layout, const std::vector<Bounds>& i_flatBounds);

// A text as a JSON string: quoted, and escaped where JSON needs it.
std::string JsonString(const std::string& i_text);

// A node's transform as the members of its JSON object ("translation":[..],...), each where it
// moves, turns or scales; empty for none.
std::string TransformText(const InstanceTransform& i_transform);

}  // namespace detail

}  // namespace Ostrel::Buildings
