#pragma once
// What a scene holds, for a line about each output file: its triangles, vertices and materials,
// and the bounds of its placed vertices.

#include <cstdint>

#include <ostrel/scene/Scene.h>

namespace Ostrel::Buildings {

struct SceneStats {
  std::uint64_t triangles = 0;  // each placed face of n corners counts n - 2
  std::uint64_t vertices = 0;   // placed positions, as an OBJ file's v lines count them
  std::uint64_t materials = 0;  // the materials the placed faces use (the default one included)
  // The smallest and largest x, y and z of the placed vertices, in the output's units and frame;
  // min above max when nothing is placed.
  double min[3] = {0, 0, 0};
  double max[3] = {-1, -1, -1};
};

// Walks every building of the scene, framed as i_framing says (FramedPass).
SceneStats MeasureScene(const Scene& i_scene, const Framing& i_framing);

}  // namespace Ostrel::Buildings
