#pragma once
// The forms a glTF output of buildings takes.

#include <string>

namespace Ostrel::City {

// How the pieces of a building are stored.
enum class GltfForm {
  Flat,   // each building one mesh in the output's frame
  Nodes,  // each piece's mesh once; one node per placement, with its transform
  Gpu,    // each piece's mesh once; one node per piece and building, EXT_mesh_gpu_instancing
};

struct GltfOptions {
  GltfForm form = GltfForm::Flat;
  std::string generator = "ostrel";  // the asset's generator
};

// The form that an --instances value asks for: "nodes" or "gpu"; anything else is flat.
GltfForm GltfFormOf(const std::string& i_instances);

}  // namespace Ostrel::City
