#pragma once
// Writing a scene in a format: the pipeline above the writers.
//
// It has two steps. SurveyScene reads every building's plan once: what the buildings need from
// the kit together (each piece once, so that one material library and one set of missing-piece
// warnings serve them all), how many elements they hold, and whether the format can hold them.
// WriteScene then writes them with the format's writer, refusing before any byte what the format
// cannot hold. Both return what a user should be told as data; neither prints anything.

#include <ostream>
#include <vector>

#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>

namespace Ostrel::Buildings {

// Reads every building of the scene once.
SceneSurvey SurveyScene(const Scene& i_scene, const OutputFormat& i_format, const SceneOptions& i_options);

// The survey of a scene given in parts, its buildings those of the parts one after the other
// (all over the same kit): the parts are read at once, a thread each, and the survey is the one
// SurveyScene makes of the whole. Every part is read to its end or its first refused building,
// even after an earlier part's: a part stands for a share of the work, not a check of its own.
SceneSurvey SurveyScenes(const std::vector<Scene>& i_parts, const OutputFormat& i_format,
                         const SceneOptions& i_options);

// Writes the surveyed scene into io_out. Nothing is written when the survey or the format refuses
// it (the report's error says why).
SceneReport WriteScene(const Scene& i_scene, const SceneSurvey& i_survey, const OutputFormat& i_format,
                       const SceneOptions& i_options, std::ostream& io_out);

// Both steps.
SceneReport WriteScene(const Scene& i_scene, const OutputFormat& i_format, const SceneOptions& i_options,
                       std::ostream& io_out);

}  // namespace Ostrel::Buildings
