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

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>

#include "write/gltf/GltfBinary.h"
#include "write/gltf/GltfDocument.h"
#include "write/gltf/GltfMaterials.h"
#include "write/TriangleMesh.h"

namespace Ostrel::Buildings {

enum class GlbResult {
  Written,
  TooLarge,  // the file would pass the 4 GiB of GLB: nothing was written
};

// Writes the buildings as one .glb into io_out. i_pieces is MakeTriangleMeshes(i_kit); i_materials
// the kit's materials (a kit material without one gets no glTF material). Each building is a
// node of the scene, named by its name. With io_buffer, a .gltf instead: the JSON text alone in
// io_out, the buffer in io_buffer, named in the JSON by i_bufferUri; same limits. The flat form's
// data is made on i_options.jobs threads in blocks of about i_blockVertices vertices.
GlbResult WriteGlb(std::ostream& io_out, const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                   const GltfMaterials& i_materials, const std::vector<GltfBuilding>& i_buildings,
                   const GltfOptions& i_options, std::ostream* io_buffer = nullptr,
                   const std::string& i_bufferUri = std::string(),
                   std::uint64_t i_blockVertices = detail::kGlbBlockVertices);

// The triangles that the buildings show, whatever the form (saturating).
std::uint64_t CountTriangles(const Kit& i_kit, const std::vector<TriangleMesh>& i_pieces,
                             const std::vector<GltfBuilding>& i_buildings);

}  // namespace Ostrel::Buildings
