#pragma once
// The console lines that tell what a build of a building or a city did: why it wrote nothing,
// which unit files it went without, and what became of its materials. Shared by every run that
// writes a scene, so that a building and a city say the same things the same way.

#include <string>
#include <vector>

#include <ostrel/scene/Scene.h>

#include "Options.h"

namespace Towerkit {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// The text after "Style 'S' " or "..., style 'S' " for a style whose building placed nothing.
std::string PlacedNothing(const std::string& i_unitsPath);

// The error line of a building (not a city) that was not written.
// i_piece names the piece of NotFinite.
void ReportBuildError(Ostrel::City::SceneError i_error, const RunSettings& i_settings,
                      const std::string& i_unitsPath, bool i_glb, const std::string& i_piece = std::string());

// The end of the error line of a piece placed beyond the float range.
std::string BeyondFloats(const std::string& i_piece);

// Warnings for every unit file the scene went without; i_what names it ("building", "city").
void ReportMissingUnits(const std::vector<Ostrel::City::MissingUnit>& i_missing, const std::string& i_what);

// Reports every note, but at most a few left-out lines of each material file: a file that is no
// material library at all would otherwise give a warning for each of its lines.
void ReportMaterialNotes(const std::vector<Ostrel::City::MaterialNote>& i_notes);

// The warnings of a written scene: missing unit files, material notes, textures left out.
void ReportWritten(const Ostrel::City::SceneReport& i_report, const std::string& i_what);

// Why a unit file that the build needed gave nothing, for its warning: "not found", "is not a
// regular file", and so on.
std::string UnitFileFault(const Ostrel::City::MissingUnit& i_missing);

// A run that writes needs an output file: false, with the error line and the help, when none
// was given.
bool RequireOutputName(const RunSettings& i_settings);

// A style names files inside the units folder, so it can never lead out of it: false, reported,
// for one that could.
bool CheckStyleName(const std::string& i_style);

}  // namespace Towerkit
