#pragma once
// The exit statuses, and the console lines shared by every run that writes a scene, so that a
// building and a city say the same things the same way: why a build wrote nothing, which unit
// files it went without, what became of its materials, and the checks of a request that every
// run makes (an output file named, a style that stays inside the units folder).

#include <string>
#include <vector>

#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>

#include "Options.h"

namespace Towerkit {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// The text after "Style 'S' " or "..., style 'S' " for a style whose building placed nothing.
std::string PlacedNothing(const std::string& i_unitsPath);

// Under --strict, a warning told so far (as an error) means nothing may be written: false then.
bool StrictAllows();

// The error line of a scene too large for its format: "SUBJECT is too large to write: LIMIT".
// The limit is left out of a single building's (i_one) when its format says so.
std::string TooLargeLine(const std::string& i_subject, const Ostrel::Buildings::OutputFormat& i_format,
                         bool i_one);

// The error line of a building (not a city) that was not written to an output in i_format.
// i_piece names the piece of NotFinite.
void ReportBuildError(Ostrel::Buildings::SceneError i_error, const RunSettings& i_settings,
                      const std::string& i_unitsPath, const Ostrel::Buildings::OutputFormat& i_format,
                      const std::string& i_piece = std::string());

// The end of the error line of a piece placed beyond the float range.
std::string BeyondFloats(const std::string& i_piece);

// The end of the error line of a building too large for levels of detail.
std::string LevelsLimit();

// Warnings for every unit file the scene went without; i_what names it ("building", "city").
void ReportMissingUnits(const std::vector<Ostrel::Buildings::MissingUnit>& i_missing, const std::string& i_what);

// Reports every note, but at most a few left-out lines of each material file: a file that is no
// material library at all would otherwise give a warning for each of its lines.
void ReportMaterialNotes(const std::vector<Ostrel::Buildings::MaterialNote>& i_notes);

// The warnings of a written scene: missing unit files, material notes, textures left out.
void ReportWritten(const Ostrel::Buildings::SceneReport& i_report, const std::string& i_what);

// Why a unit file that the build needed gave nothing, for its warning: "not found", "is not a
// regular file", and so on.
std::string UnitFileFault(const Ostrel::Buildings::MissingUnit& i_missing);

// A run that writes needs an output file: false, with the error line and the help, when none
// was given.
bool RequireOutputName(const RunSettings& i_settings);

// A style names files inside the units folder, so it can never lead out of it: false, reported,
// for one that could.
bool CheckStyleName(const std::string& i_style);

}  // namespace Towerkit
