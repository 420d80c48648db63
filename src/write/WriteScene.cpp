// The scene pipeline: survey the buildings, merge their materials, hand them to a format's writer.

#include <ostrel/write/WriteScene.h>

#include <algorithm>
#include <ostream>
#include <string>

#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>
#include <ostrel/write/CardSheets.h>

#include "scene/PlacedBounds.h"
#include "write/Writer.h"

namespace Ostrel::Buildings {

SceneSurvey SurveyScene(const Scene& i_scene, const OutputFormat& i_format, const SceneOptions& i_options) {
  SceneSurvey survey;
  const Kit& kit = *i_scene.kit;
  if (!kit.measured()) {
    survey.error = SceneError::NoBaseUnits;
    return survey;
  }
  // Framed as the writers frame them (units and pivot), so that the check of finite coordinates
  // is of what is written.
  const NextBuilding next = FramedPass(i_scene, i_options.framing());
  SceneBuilding building;
  detail::PieceBoxes boxes;
  while (next(building)) {
    // Counting stops once a building alone passes what an output can index.
    const Totals counts = CountPlan(building.plan, kit, kMaxIndex);
    if (counts.vertices == 0) {
      survey.error = SceneError::NothingPlaced;
      survey.failedBuilding = survey.buildings;
      return survey;
    }
    if (!detail::PlacedFinite(building.plan, kit, building.frame, survey.failedPiece, boxes)) {
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
  // The cards of the far levels show the card sheets: the writers write from a copy of the kit
  // with their materials, which are used too.
  const bool levels =
      std::find(i_format.ignores.begin(), i_format.ignores.end(), "--lod") == i_format.ignores.end();
  if (levels && i_options.engine.lods >= kMaxLods && survey.buildings > 0 && !i_options.cards.empty()) {
    std::vector<PieceId> cardPieces;
    survey.written = std::make_shared<const Kit>(KitWithCards(kit, i_options.cards, cardPieces));
    survey.pieces.insert(survey.pieces.end(), cardPieces.begin(), cardPieces.end());
  }
  survey.names = NameMaterials(PiecesPlan(survey.pieces), survey.written ? *survey.written : kit);
  survey.error = i_format.writer()->check(survey, i_options);
  return survey;
}

SceneReport WriteScene(const Scene& i_scene, const SceneSurvey& i_survey, const OutputFormat& i_format,
                       const SceneOptions& i_options, std::ostream& io_out) {
  SceneReport report;
  report.error = i_survey.error;
  report.failedBuilding = i_survey.failedBuilding;
  report.failedPiece = i_survey.failedPiece;
  if (report.error != SceneError::None) return report;
  const Kit& kit = i_survey.written ? *i_survey.written : *i_scene.kit;
  report.buildings = i_survey.buildings;
  report.totals = i_survey.totals;
  report.usesMaterials = i_survey.names.used;
  report.missing = MissingUnits(i_survey.pieces, kit);
  // Only an OBJ output's library is written: where its textures point is asked of it alone.
  const TexturePlacer placer = i_options.obj.libraryName.empty()
                                   ? nullptr
                                   : LibraryPlacer(i_options.sheets, report.sheets, report.textureWarnings);
  const std::string library = MergeMaterials(PiecesPlan(i_survey.pieces), kit, i_survey.names,
                                             i_options.obj.libraryFolder, report.materialNotes, placer);
  WriteContext context{kit,    i_survey, i_options, io_out, library, FramedPass(i_scene, i_options.framing()),
                       report, &i_scene};
  i_format.writer()->write(context);
  return report;
}

SceneReport WriteScene(const Scene& i_scene, const OutputFormat& i_format, const SceneOptions& i_options,
                       std::ostream& io_out) {
  return WriteScene(i_scene, SurveyScene(i_scene, i_format, i_options), i_format, i_options, io_out);
}

}  // namespace Ostrel::Buildings
