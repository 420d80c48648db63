// The scene pipeline: survey the buildings, merge their materials, hand them to a format's writer.

#include <ostrel/write/WriteScene.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/layout/PlanCounts.h>
#include <ostrel/utils/Numbers.h>
#include <ostrel/utils/Threads.h>
#include <ostrel/write/CardSheets.h>

#include "scene/PlacedBounds.h"
#include "write/Writer.h"

namespace Ostrel::Buildings {

namespace {

// The buildings of one pass: their counts and pieces, or the first that cannot be written. The
// kit has a unit size.
SceneSurvey SurveyBuildings(const Scene& i_scene, const Framing& i_framing) {
  SceneSurvey survey;
  const Kit& kit = *i_scene.kit;
  // Framed as the writers frame them (units and pivot), so that the check of finite coordinates
  // is of what is written.
  const NextBuilding next = FramedPass(i_scene, i_framing);
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
  return survey;
}

// Appends the survey of the buildings after io_survey's to it, as if one pass had read both.
void AddSurvey(const SceneSurvey& i_after, SceneSurvey& io_survey) {
  if (i_after.error != SceneError::None) {
    io_survey.error = i_after.error;
    io_survey.failedBuilding = io_survey.buildings + i_after.failedBuilding;
    io_survey.failedPiece = i_after.failedPiece;
  }
  io_survey.buildings += i_after.buildings;
  io_survey.totals = {Numbers::SatAdd(io_survey.totals.vertices, i_after.totals.vertices),
                      Numbers::SatAdd(io_survey.totals.normals, i_after.totals.normals),
                      Numbers::SatAdd(io_survey.totals.uvs, i_after.totals.uvs)};
  AddPieces(PiecesPlan(i_after.pieces), io_survey.pieces);
}

// What the survey of every building adds: the kit with the card sheets, the material names, and
// whether the format can hold it all.
void FinishSurvey(const Kit& i_kit, const OutputFormat& i_format, const SceneOptions& i_options,
                  SceneSurvey& io_survey) {
  if (io_survey.error != SceneError::None) return;
  // The cards of the far levels show the card sheets: the writers write from a copy of the kit
  // with their materials, which are used too.
  const bool levels =
      std::find(i_format.ignores.begin(), i_format.ignores.end(), "--lod") == i_format.ignores.end();
  if (levels && i_options.engine.lods >= kMaxLods && io_survey.buildings > 0 && !i_options.cards.empty()) {
    std::vector<PieceId> cardPieces;
    io_survey.written = std::make_shared<const Kit>(KitWithCards(i_kit, i_options.cards, cardPieces));
    io_survey.pieces.insert(io_survey.pieces.end(), cardPieces.begin(), cardPieces.end());
  }
  io_survey.names = NameMaterials(PiecesPlan(io_survey.pieces), io_survey.written ? *io_survey.written : i_kit);
  io_survey.error = i_format.writer()->check(io_survey, i_options);
}

}  // namespace

SceneSurvey SurveyScene(const Scene& i_scene, const OutputFormat& i_format, const SceneOptions& i_options) {
  SceneSurvey survey;
  if (!i_scene.kit->measured()) {
    survey.error = SceneError::NoBaseUnits;
    return survey;
  }
  survey = SurveyBuildings(i_scene, i_options.framing());
  FinishSurvey(*i_scene.kit, i_format, i_options, survey);
  return survey;
}

SceneSurvey SurveyScenes(const std::vector<Scene>& i_parts, const OutputFormat& i_format,
                         const SceneOptions& i_options) {
  SceneSurvey survey;
  if (i_parts.empty()) return survey;
  if (!i_parts.front().kit->measured()) {
    survey.error = SceneError::NoBaseUnits;
    return survey;
  }
  // A thread for every part but the last, which the calling thread takes.
  std::vector<SceneSurvey> parts(i_parts.size());
  Threads::RunParts(i_parts.size(), [&](std::size_t i_part) {
    parts[i_part] = SurveyBuildings(i_parts[i_part], i_options.framing());
  });
  survey = std::move(parts.front());
  for (std::size_t part = 1; part < parts.size() && survey.error == SceneError::None; ++part) {
    AddSurvey(parts[part], survey);
  }
  FinishSurvey(*i_parts.front().kit, i_format, i_options, survey);
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
