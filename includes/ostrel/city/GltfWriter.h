#pragma once
// Writes buildings as one binary glTF 2.0 file (.glb), in one of three forms (GltfForm): flat,
// each building one mesh; or instanced, each piece's mesh stored once and placed by one node per
// placement or by GPU instancing. Every form shows the same triangles at the positions of the OBJ
// writer, within float rounding: pieces are placed by Frame.h in all of them. +y is up, front
// faces wind counter-clockwise, and the units are the frame's (cell units by default).
//
// Memory does not grow with the size of the buildings: every length is counted from the plans
// first (a file past the 4 GiB of GLB is refused before a byte is written), then the JSON is
// written, and the binary chunk is streamed by walking the plans once for each buffer view.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/city/Frame.h>
#include <ostrel/city/GltfLayout.h>
#include <ostrel/city/GltfMaterials.h>
#include <ostrel/city/GltfMesh.h>
#include <ostrel/city/GltfStream.h>
#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>
#include <ostrel/city/ObjWriter.h>
#include <ostrel/ext/Glb.h>

namespace Ostrel::City {

enum class GlbResult {
  Written,
  TooLarge,  // the file would pass the 4 GiB of GLB: nothing was written
};

// Writes the buildings as one .glb into io_out. i_pieces is MakeGltfPieces(i_kit); i_materials
// the kit's materials (a kit material without one gets no glTF material). Each building is a
// node of the scene, named by its name.
GlbResult WriteGlb(std::ostream& io_out, const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                   const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                   const GltfOptions& i_options);

// The triangles that the buildings show, whatever the form (saturating).
std::uint64_t CountTriangles(const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                             const std::vector<GltfBuilding>& i_buildings);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// Whether the buildings surely pass the size of a GLB file in every form: each placement of a
// piece with triangles costs at least three floats (its positions, its node or its instance's
// translation). Counted on the folded plans with the smallest form of each choice, at once, so
// that choices are never walked for a building far too large.
inline bool SurelyTooLarge(const std::vector<GltfPiece>& i_pieces,
                           const std::vector<GltfBuilding>& i_buildings) {
  std::uint64_t placements = 0;
  for (const GltfBuilding& building : i_buildings) {
    const auto shown = [&](PieceId i_id) { return std::uint64_t{i_pieces[i_id].parts.empty() ? 0u : 1u}; };
    placements = SatAdd(placements, LeastPlaced(*building.plan, shown));
  }
  return SatMul(placements, 3 * sizeof(float)) > Glb::kMaxFileBytes;
}

// The placements that the Nodes form gives a node each.
inline std::uint64_t CountNodes(const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                                const std::vector<GltfBuilding>& i_buildings) {
  std::uint64_t nodes = 0;
  for (const GltfBuilding& building : i_buildings) {
    const std::vector<std::uint64_t> counts = PlacementCounts(*building.plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      if (!i_pieces[id].parts.empty()) nodes = SatAdd(nodes, counts[id]);
    }
  }
  return nodes;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline GlbResult WriteGlb(std::ostream& io_out, const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                          const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                          const GltfOptions& i_options) {
  if (detail::SurelyTooLarge(i_pieces, i_buildings)) return GlbResult::TooLarge;
  detail::GlbLayout layout = detail::MakeLayout(i_kit, i_pieces, i_materials, i_buildings, i_options);
  // Refused at once when counting says so, before any walk whose length grows with the buildings.
  if (layout.binBytes > Glb::kMaxFileBytes) return GlbResult::TooLarge;
  const bool nodes = i_options.form == GltfForm::Nodes;
  std::uint64_t nodesBytes = 0;
  if (nodes) {
    const std::uint64_t least = detail::SatMul(detail::CountNodes(i_kit, i_pieces, i_buildings), detail::kMinNodeBytes);
    if (detail::SatAdd(layout.binBytes, least) > Glb::kMaxFileBytes) return GlbResult::TooLarge;
    detail::CountingSink counter;
    detail::PutNodes(counter, i_kit, i_pieces, i_buildings, layout.meshOfPiece);
    nodesBytes = counter.bytes;
  }
  if (i_options.form == GltfForm::Flat) detail::FillBounds(layout, i_kit, i_pieces, i_buildings);

  // The Nodes form's node list is written between the rest of the document and its last brace.
  std::string json = detail::DumpJson(layout.document);
  const std::string tail = nodes ? "]}" : "";
  if (nodes) {
    json.pop_back();
    json += ",\"nodes\":[";
  }
  const std::uint64_t jsonBytes = json.size() + nodesBytes + tail.size();
  if (Glb::FileBytes(jsonBytes, layout.binBytes) > Glb::kMaxFileBytes) return GlbResult::TooLarge;

  Glb::WriteGlbStart(io_out, jsonBytes, layout.binBytes);
  {
    detail::TextOut out(io_out);
    out.write(json.data(), json.size());
    if (nodes) detail::PutNodes(out, i_kit, i_pieces, i_buildings, layout.meshOfPiece);
    out.write(tail.data(), tail.size());
  }
  Glb::WriteJsonEnd(io_out, jsonBytes, layout.binBytes);
  {
    detail::TextOut out(io_out);
    detail::GlbStreamer streamer{out, i_kit, i_pieces, i_materials, i_buildings, {}, 0};
    detail::PutBinary(streamer, layout.views);
  }
  Glb::WriteBinEnd(io_out, layout.binBytes);
  return GlbResult::Written;
}

inline std::uint64_t CountTriangles(const Kit& i_kit, const std::vector<GltfPiece>& i_pieces,
                                    const std::vector<GltfBuilding>& i_buildings) {
  std::uint64_t triangles = 0;
  for (const GltfBuilding& building : i_buildings) {
    const std::vector<std::uint64_t> counts = detail::PlacementCounts(*building.plan, i_kit);
    for (PieceId id = 0; id < counts.size(); ++id) {
      for (const GltfPart& part : i_pieces[id].parts) {
        triangles = detail::SatAdd(triangles, detail::SatMul(counts[id], part.indices.size() / 3));
      }
    }
  }
  return triangles;
}

}  // namespace Ostrel::City
