// The glTF writer: one .glb of buildings, flat or instanced.

#include "write/gltf/GltfWriter.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/ext/Glb.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>

#include "write/TextOut.h"
#include "write/Writer.h"
#include "write/engine/EngineExtras.h"
#include "write/gltf/GltfBinary.h"

namespace Ostrel::Buildings {

namespace {

using namespace detail;

// Whether the buildings surely pass the size of a GLB file in every form: each placement of a
// piece with triangles costs at least three floats (its positions, its node or its instance's
// translation). Counted on the folded plans with the smallest form of each choice, at once, so
// that choices are never walked for a building far too large.
bool SurelyTooLarge(const std::vector<TriangleMesh>& i_pieces, const std::vector<GltfBuilding>& i_buildings) {
  std::vector<std::uint64_t> shown;  // 1 for each piece with a triangle
  for (const TriangleMesh& piece : i_pieces) shown.push_back(piece.parts.empty() ? 0 : 1);
  std::uint64_t placements = 0;
  for (const GltfBuilding& building : i_buildings) {
    placements = Numbers::SatAdd(placements, LeastPlaced(*building.plan, shown));
  }
  return Numbers::SatMul(placements, 3 * sizeof(float)) > Glb::kMaxFileBytes;
}

// The placements that the Nodes form gives a node each.
std::uint64_t CountNodes(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                         const std::vector<GltfBuilding>& i_buildings) {
  std::uint64_t nodes = 0;
  for (const GltfBuilding& building : i_buildings) {
    const std::vector<std::uint64_t> counts = PlacementCounts(*building.plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      if (!i_pieces[id].parts.empty()) nodes = Numbers::SatAdd(nodes, counts[id]);
    }
  }
  return nodes;
}

// The pieces with their positions (and bounds) scaled into the output's units.
std::vector<TriangleMesh> ScaledPieces(const std::vector<TriangleMesh>& i_pieces, const MeshScale& i_scale) {
  std::vector<TriangleMesh> scaled = i_pieces;
  const auto times = [&](const VectorF& i_p) {
    return VectorF(i_p.x * i_scale.x, i_p.y * i_scale.y, i_p.z * i_scale.z);
  };
  for (TriangleMesh& piece : scaled) {
    for (MeshPart& part : piece.parts) {
      for (VectorF& p : part.positions) p = times(p);
      part.low = times(part.low);
      part.high = times(part.high);
    }
  }
  return scaled;
}

}  // namespace

GlbResult WriteGlb(std::ostream& io_out, const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                   const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                   const GltfOptions& i_options, std::ostream* io_buffer, const std::string& i_bufferUri,
                   std::uint64_t i_blockVertices) {
  if (SurelyTooLarge(i_pieces, i_buildings)) return GlbResult::TooLarge;
  // Each building's content in its own frame, under a node that puts it where its frame says.
  std::vector<GltfBuilding> buildings;
  for (const GltfBuilding& building : i_buildings) {
    buildings.push_back({building.plan, OwnFrame(building.frame), building.name, BuildingTransform(building.frame),
                         building.extras, building.farOnly, building.feature});
  }
  const bool flat = i_options.form == GltfForm::Flat;
  // The instanced forms store each piece's mesh in the output's units.
  MeshScale scale;
  if (!flat && !buildings.empty())
    scale = {buildings[0].frame.xscale, buildings[0].frame.yscale, buildings[0].frame.zscale};
  const bool unscaled = scale.x == 1 && scale.y == 1 && scale.z == 1;
  const std::vector<TriangleMesh> scaled = unscaled ? std::vector<TriangleMesh>() : ScaledPieces(i_pieces, scale);
  const std::vector<TriangleMesh>& pieces = unscaled ? i_pieces : scaled;

  GlbLayout layout = MakeLayout(i_kit, pieces, i_materials, buildings, i_options, scale);
  if (io_buffer) SetBufferUri(layout, i_bufferUri);
  // Refused at once when counting says so, before any walk whose length grows with the buildings.
  if (layout.binBytes > Glb::kMaxFileBytes) return GlbResult::TooLarge;
  const bool nodes = i_options.form == GltfForm::Nodes;
  std::uint64_t nodesBytes = 0;
  if (nodes) {
    const std::uint64_t least = Numbers::SatMul(CountNodes(i_kit, pieces, buildings), kMinNodeBytes);
    if (Numbers::SatAdd(layout.binBytes, least) > Glb::kMaxFileBytes) return GlbResult::TooLarge;
    CountingSink counter;
    PutNodes(counter, i_kit, pieces, buildings, layout.meshOfPiece, scale, layout);
    nodesBytes = counter.bytes;
  }
  const std::vector<Bounds> bounds = flat ? FlatBounds(i_kit, pieces, buildings) : std::vector<Bounds>();
  // The Nodes form's node list is written between the rest of the document and its last brace.
  std::string json = DocumentText(layout, bounds);
  const std::string tail = nodes ? "]}" : "";
  if (nodes) {
    json.pop_back();
    json += ",\"nodes\":[";
  }
  const std::uint64_t jsonBytes = json.size() + nodesBytes + tail.size();
  if (Glb::FileBytes(jsonBytes, layout.binBytes) > Glb::kMaxFileBytes) return GlbResult::TooLarge;

  // A .gltf is the same JSON and the same buffer, without the container around them.
  if (!io_buffer) Glb::WriteGlbStart(io_out, jsonBytes, layout.binBytes);
  {
    TextOut out(io_out);
    out.write(json.data(), json.size());
    if (nodes) PutNodes(out, i_kit, pieces, buildings, layout.meshOfPiece, scale, layout);
    out.write(tail.data(), tail.size());
  }
  if (!io_buffer) Glb::WriteJsonEnd(io_out, jsonBytes, layout.binBytes);
  std::ostream& binary = io_buffer ? *io_buffer : io_out;
  {
    TextOut out(binary);
    GlbStreamer streamer{out, i_kit, pieces, i_materials, buildings, scale, {}, {}, &layout.blobs};
    PutBinaryOnThreads(streamer, layout.views, i_options.jobs, i_blockVertices);
  }
  Glb::WriteBinEnd(binary, layout.binBytes);
  return GlbResult::Written;
}

std::uint64_t CountTriangles(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                             const std::vector<GltfBuilding>& i_buildings) {
  std::uint64_t triangles = 0;
  for (const GltfBuilding& building : i_buildings) {
    const std::vector<std::uint64_t> counts = PlacementCounts(*building.plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      for (const MeshPart& part : i_pieces[id].parts) {
        triangles = Numbers::SatAdd(triangles, Numbers::SatMul(counts[id], part.indices.size() / 3));
      }
    }
  }
  return triangles;
}

namespace {

// The three glTF forms of a .glb: every building is held until the file is written, since the
// JSON, which lists them all, comes first.
class GlbFormat : public Writer {
 private:
  // Each building's engine extras in its own frame, when the scene asks for some; none otherwise.
  static std::vector<EngineExtras> MakeExtras(WriteContext& io_context, const std::vector<SceneBuilding>& i_held,
                                              const std::vector<TriangleMesh>& i_pieces,
                                              const std::vector<PieceLevel>& i_levels) {
    const EngineOptions& options = io_context.options.engine;
    std::vector<EngineExtras> all;
    if (!options.adds()) return all;
    for (const SceneBuilding& building : i_held)
      all.push_back(MakeWrittenExtras(io_context.kit, i_pieces, i_levels, building, options, io_context.report));
    return all;
  }

 public:
  SceneError check(const SceneSurvey&, const SceneOptions&) const override { return SceneError::None; }

  void write(WriteContext& io_context) override {
    const Kit& kit = io_context.kit;
    const Plan pieces = PiecesPlan(io_context.survey.pieces);
    GltfMaterials materials = MakeGltfMaterials(FindDefinitions(pieces, kit), UsedMaterials(pieces, kit),
                                                io_context.survey.names, io_context.report.textureWarnings);
    GltfOptions options = io_context.options.gltf;
    options.imagesBeside = io_context.options.sheets.place == SheetPlace::Beside;
    PlaceImages(materials, io_context.options.sheets, options.imagesBeside, io_context.report.sheets,
                io_context.report.textureWarnings);
    std::vector<SceneBuilding> held;
    SceneBuilding building;
    while (io_context.next(building)) held.push_back(std::move(building));
    const std::vector<TriangleMesh> glTF = MakeTriangleMeshes(kit);
    const std::vector<PieceLevel> levels = MakePieceLevels(kit, io_context.options.engine.lods);
    const std::vector<EngineExtras> extras = MakeExtras(io_context, held, glTF, levels);
    std::vector<GltfBuilding> buildings;
    for (std::size_t b = 0; b < held.size(); ++b) {
      const SceneBuilding& kept = held[b];
      buildings.push_back({&kept.plan, kept.frame, kept.name, {}, extras.empty() ? nullptr : &extras[b]});
    }
    if (WriteGlb(io_context.out, kit, glTF, materials, buildings, options, options.buffer,
                 options.bufferUri) != GlbResult::Written) {
      io_context.report.error = SceneError::TooLarge;
      return;
    }
    io_context.report.triangles = CountTriangles(kit, glTF, buildings);
  }
};

}  // namespace

std::unique_ptr<Writer> MakeGlbFormat() { return std::make_unique<GlbFormat>(); }

GltfForm GltfFormOf(const std::string& i_instances) {
  if (i_instances == "nodes") return GltfForm::Nodes;
  if (i_instances == "gpu") return GltfForm::Gpu;
  return GltfForm::Flat;
}

}  // namespace Ostrel::Buildings
