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
  // Each building a feature that a viewer can pick: its index in the file is its feature ID, on
  // its instances (EXT_instance_features) or its vertices (EXT_mesh_features), and its properties
  // are a row of one table (EXT_structural_metadata). For the tiles of a tileset.
  bool features = false;
  // Not empty: images are not embedded but named by their file name in this folder, relative to
  // the output, so that the tiles of a tileset share one copy of each.
  std::string imageFolder{};
  // Images are not embedded but named by their bare file name (GltfImage::name), as copies
  // beside the output; before imageFolder.
  bool imagesBeside = false;
  // A JSON object, written as the scene's extras (where the model stands on a map); empty: none.
  std::string sceneExtras{};
  // Threads that make the flat form's binary data, in blocks written in order: the same bytes
  // whatever the number.
  unsigned jobs = 1;
};

// The form that an --instances value asks for: "nodes" or "gpu"; anything else is flat.
GltfForm GltfFormOf(const std::string& i_instances);

}  // namespace Ostrel::Buildings
