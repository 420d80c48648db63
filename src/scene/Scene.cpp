// The scene pipeline: survey the buildings, merge their materials, hand them to a format's writer.

#include <ostrel/scene/Scene.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>

#include "scene/PlacedBounds.h"
#include "write/Writer.h"

namespace Ostrel::City {

NextBuilding FramedPass(const Scene& i_scene, const SceneOptions& i_options) {
  NextBuilding next = i_scene.buildings();
  const Pivot pivot = i_options.engine.pivot;
  if (!i_options.kitUnits && pivot == Pivot::Origin) return next;
  const Kit& kit = *i_scene.kit;
  const bool kitUnits = i_options.kitUnits;
  return [next, &kit, kitUnits, pivot](SceneBuilding& o_building) {
    if (!next(o_building)) return false;
    PlacePivot(o_building.request, pivot, o_building.frame);
    if (!kitUnits) return true;
    o_building.frame.xscale = kit.unitWidth;
    o_building.frame.yscale = kit.unitHeight;
    o_building.frame.zscale = kit.unitLength;
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

SceneSurvey SurveyScene(const Scene& i_scene, const SceneOptions& i_options) {
  SceneSurvey survey;
  const Kit& kit = *i_scene.kit;
  if (!kit.measured()) {
    survey.error = SceneError::NoBaseUnits;
    return survey;
  }
  // Framed as the writers frame them (units and pivot), so that the check of finite coordinates
  // is of what is written.
  const NextBuilding next = FramedPass(i_scene, i_options);
  SceneBuilding building;
  while (next(building)) {
    // Counting stops once a building alone passes what an output can index.
    const Totals counts = CountPlan(building.plan, kit, kMaxIndex);
    if (counts.vertices == 0) {
      survey.error = SceneError::NothingPlaced;
      survey.failedBuilding = survey.buildings;
      return survey;
    }
    if (!detail::PlacedFinite(building.plan, kit, building.frame, survey.failedPiece)) {
      survey.error = SceneError::NotFinite;
      survey.failedBuilding = survey.buildings;
      return survey;
    }
    survey.totals = {Numbers::SatAdd(survey.totals.vertices, counts.vertices),
                     Numbers::SatAdd(survey.totals.normals, counts.normals),
                     Numbers::SatAdd(survey.totals.uvs, counts.uvs)};
    AddPieces(building.plan, survey.pieces);
    ++survey.buildings;
  }
  survey.names = NameMaterials(PiecesPlan(survey.pieces), kit);
  survey.error = MakeWriter(i_options.format)->check(survey, i_options);
  return survey;
}

SceneReport WriteScene(const Scene& i_scene, const SceneSurvey& i_survey, const SceneOptions& i_options,
                       std::ostream& io_out) {
  SceneReport report;
  report.error = i_survey.error;
  report.failedBuilding = i_survey.failedBuilding;
  report.failedPiece = i_survey.failedPiece;
  if (report.error != SceneError::None) return report;
  const Kit& kit = *i_scene.kit;
  report.buildings = i_survey.buildings;
  report.totals = i_survey.totals;
  report.usesMaterials = i_survey.names.used;
  report.missing = MissingUnits(i_survey.pieces, kit);
  const std::string library = MergeMaterials(PiecesPlan(i_survey.pieces), kit, i_survey.names,
                                             i_options.libraryFolder, report.materialNotes);
  WriteContext context{kit, i_survey, i_options, io_out, library, FramedPass(i_scene, i_options), report};
  MakeWriter(i_options.format)->write(context);
  return report;
}

SceneReport WriteScene(const Scene& i_scene, const SceneOptions& i_options, std::ostream& io_out) {
  return WriteScene(i_scene, SurveyScene(i_scene, i_options), i_options, io_out);
}

}  // namespace Ostrel::City
