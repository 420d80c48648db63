// Measuring a scene for its statistics line.

#include <ostrel/scene/Stats.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <ostrel/ext/Obj.h>

namespace Ostrel::Buildings {

SceneStats MeasureScene(const Scene& i_scene, const Framing& i_framing) {
  SceneStats stats;
  const Kit& kit = *i_scene.kit;
  if (!kit.measured()) return stats;
  std::set<std::uint32_t> materials;
  double low[3] = {INFINITY, INFINITY, INFINITY};
  double high[3] = {-INFINITY, -INFINITY, -INFINITY};
  const NextBuilding next = FramedPass(i_scene, i_framing);
  SceneBuilding building;
  while (next(building)) {
    ForEachPlacement(building.plan, kit, [&](const Placement& i_placement) {
      const Piece& piece = kit.piece(i_placement.piece);
      const PlacementFloats at = FloatsOf(i_placement);
      for (const VectorF& p : piece.positions) {
        float xyz[3];
        PlacePosition(p, at, building.frame, xyz);
        for (int k = 0; k < 3; ++k) {
          low[k] = std::min(low[k], static_cast<double>(xyz[k]));
          high[k] = std::max(high[k], static_cast<double>(xyz[k]));
        }
      }
      stats.vertices += piece.positions.size();
      for (std::size_t face = 0; face < piece.polycount.size(); ++face) {
        stats.triangles += piece.polycount[face] - 2;
        materials.insert(piece.faceMaterials.empty() ? Obj::kNoMaterial : piece.faceMaterials[face]);
      }
    });
  }
  // A kit without materials draws with none at all.
  const bool none = materials.size() == 1 && *materials.begin() == Obj::kNoMaterial;
  stats.materials = none ? 0 : materials.size();
  if (stats.vertices == 0) return stats;
  for (int k = 0; k < 3; ++k) {
    stats.min[k] = low[k];
    stats.max[k] = high[k];
  }
  return stats;
}

}  // namespace Ostrel::Buildings
