// A scene: its buildings, made from requests, and passes over them.

#include <ostrel/scene/Scene.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Buildings {

NextBuilding FramedPass(const Scene& i_scene, const Framing& i_framing) {
  NextBuilding next = i_scene.buildings();
  const Pivot pivot = i_framing.pivot;
  if (!i_framing.kitUnits && pivot == Pivot::Origin) return next;
  const Kit& kit = *i_scene.kit;
  const bool kitUnits = i_framing.kitUnits;
  return [next, &kit, kitUnits, pivot](SceneBuilding& o_building) {
    if (!next(o_building)) return false;
    PlacePivot(o_building.request, pivot, o_building.frame);
    if (!kitUnits) return true;
    // A building's stretch times the unit size; by 1, the unit size's own bits.
    o_building.frame.xscale = o_building.frame.xstretch * kit.unitWidth;
    o_building.frame.yscale = kit.unitHeight;
    o_building.frame.zscale = o_building.frame.zstretch * kit.unitLength;
    return true;
  };
}

std::vector<MissingUnit> MissingUnits(const std::vector<PieceId>& i_pieces, const Kit& i_kit) {
  std::vector<MissingUnit> missing;
  for (const PieceId id : i_pieces) {
    const Piece& piece = i_kit.piece(id);
    if (piece.fault != PieceFault::None) missing.push_back({piece.file, piece.fault, piece.error});
  }
  return missing;
}

Scene HeldScene(const Kit& i_kit, std::vector<SceneBuilding> i_buildings) {
  const auto held = std::make_shared<const std::vector<SceneBuilding>>(std::move(i_buildings));
  Scene scene;
  scene.kit = &i_kit;
  scene.buildings = [held] {
    std::size_t next = 0;
    return NextBuilding([held, next](SceneBuilding& o_building) mutable {
      if (next == held->size()) return false;
      o_building = (*held)[next++];
      return true;
    });
  };
  return scene;
}

SceneBuilding MakeSceneBuilding(const Request& i_request, const Kit& i_kit, const Frame& i_frame,
                                const std::string& i_name) {
  return {MakePlan(i_request, i_kit), i_frame, i_name, i_request};
}

Scene RequestScene(const Kit& i_kit, const Request& i_request, const Frame& i_frame,
                   const std::string& i_name) {
  std::vector<SceneBuilding> buildings;
  if (i_kit.measured()) buildings.push_back(MakeSceneBuilding(i_request, i_kit, i_frame, i_name));
  return HeldScene(i_kit, std::move(buildings));
}

}  // namespace Ostrel::Buildings
