#pragma once
// What the glTF writer is told beside what every format is (Formats.h): the form its buildings
// take, its generator, and for a .gltf where its buffer goes.

#include <iosfwd>
#include <string>

namespace Ostrel::Buildings {

// How the pieces of a building are stored.
enum class GltfForm {
  Flat,   // each building one mesh in the output's frame
  Nodes,  // each piece's mesh once; one node per placement, with its transform
  Gpu,    // each piece's mesh once; one node per piece and building, EXT_mesh_gpu_instancing
};

struct GltfOptions {
  GltfForm form = GltfForm::Flat;
  std::string generator = "ostrel";  // the asset's generator
  // Where the buffer goes for a .gltf (JSON text in the output, its buffer, images included, in
  // this stream, named by bufferUri, relative to the JSON's file); null: one .glb in the output.
  std::ostream* buffer = nullptr;
  std::string bufferUri{};
};

// The form that an --instances value asks for: "nodes" or "gpu"; anything else is flat.
GltfForm GltfFormOf(const std::string& i_instances);

}  // namespace Ostrel::Buildings
