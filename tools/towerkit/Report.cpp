// The console lines that tell what a build did.

#include "Report.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/ext/Obj.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/utils/Messages.h>

namespace Towerkit {

namespace {

using Ostrel::Buildings::MaterialNote;

void ReportMaterialNote(const MaterialNote& i_note) {
  using Kind = MaterialNote::Kind;
  switch (i_note.kind) {
    case Kind::LibraryUnread:
      Ostrel::Message::PrintWarning("Material file '" + i_note.file + "': " + i_note.message +
                                    ": its materials are not written");
      return;
    case Kind::LibraryLine:
      Ostrel::Message::PrintWarning("Material file '" + i_note.file + "', line " +
                                    std::to_string(i_note.line) + ": " + i_note.message +
                                    ": the line is left out");
      return;
    case Kind::Conflict:
      Ostrel::Message::PrintWarning("Material '" + i_note.material + "' is defined differently in '" +
                                    i_note.firstFile + "' and in '" + i_note.file + "': the definition in '" +
                                    i_note.firstFile + "' is used");
      return;
    case Kind::Undefined:
      Ostrel::Message::PrintWarning(
          "Material '" + i_note.material +
          "' is used but no material file defines it: viewers show their own default");
      return;
  }
}

}  // namespace

std::string PlacedNothing(const std::string& i_unitsPath) {
  return "placed nothing: no unit files of it in the units folder '" + i_unitsPath + "'";
}

std::string BeyondFloats(const std::string& i_piece) {
  return "piece '" + i_piece +
         "' would be placed at coordinates beyond the range of floats: nothing is written";
}

namespace {

// "width 3, length 2 and height 4", or "footprint '0,0 ...' and height 4" for a --footprint.
std::string BuildingSize(const RunSettings& i_settings) {
  const std::string height = " and height " + std::to_string(i_settings.height);
  if (!i_settings.footprint.empty()) return "footprint '" + i_settings.footprint + "'" + height;
  return "width " + std::to_string(i_settings.width) + ", length " + std::to_string(i_settings.length) + height;
}

}  // namespace

bool StrictAllows() { return Ostrel::Message::StrictErrors() == 0; }

std::string TooLargeLine(const std::string& i_subject, const Ostrel::Buildings::OutputFormat& i_format,
                         bool i_one) {
  const bool told = !i_one || i_format.limitOfOne;
  return i_subject + " is too large to write" + (told ? ": " + i_format.limit : std::string());
}

void ReportBuildError(Ostrel::Buildings::SceneError i_error, const RunSettings& i_settings,
                      const std::string& i_unitsPath, const Ostrel::Buildings::OutputFormat& i_format,
                      const std::string& i_piece) {
  using Ostrel::Buildings::SceneError;
  using Ostrel::Message::PrintError;
  switch (i_error) {
    case SceneError::None:
      return;
    case SceneError::NoBaseUnits:
      PrintError(
          std::string("Cannot measure the unit size: '") + Ostrel::Buildings::kBaseUnitFiles[0] + "' and '" +
          Ostrel::Buildings::kBaseUnitFiles[1] + "' in the units folder '" + i_unitsPath +
          "' give no usable unit");
      return;
    case SceneError::NothingPlaced:
      PrintError("Style '" + i_settings.style + "' " + PlacedNothing(i_unitsPath));
      return;
    case SceneError::TooLarge:
      PrintError(TooLargeLine("A building of " + BuildingSize(i_settings), i_format, true));
      return;
    case SceneError::NotFinite:
      PrintError("In the building of style '" + i_settings.style + "', " + BeyondFloats(i_piece));
      return;
  }
}

std::string UnitFileFault(const Ostrel::Buildings::MissingUnit& i_missing) {
  using Ostrel::Buildings::PieceFault;
  switch (i_missing.fault) {
    case PieceFault::NotFound:
      return "not found";
    case PieceFault::NotRegular:
      return "is not a regular file";
    case PieceFault::TooLarge:
      return "is larger than " + std::to_string(Obj::kMaxFileBytes >> 20) + " MiB";
    case PieceFault::CoordinatesTooLarge:
      return "has coordinates too large for the unit size";
    case PieceFault::Unreadable:
    case PieceFault::None:
      break;
  }
  return std::string("cannot be read (") + std::strerror(i_missing.error) + ")";
}

void ReportMissingUnits(const std::vector<Ostrel::Buildings::MissingUnit>& i_missing, const std::string& i_what) {
  for (const Ostrel::Buildings::MissingUnit& missing : i_missing) {
    Ostrel::Message::PrintWarning("Unit file '" + missing.file + "' " + UnitFileFault(missing) + ": the " +
                                  i_what + " is written without it");
  }
}

void ReportMaterialNotes(const std::vector<MaterialNote>& i_notes) {
  constexpr int kLinesShown = 5;
  std::vector<std::pair<std::string, int>> leftOut;  // file, lines left out
  for (const MaterialNote& note : i_notes) {
    if (note.kind == MaterialNote::Kind::LibraryLine) {
      auto it = std::find_if(leftOut.begin(), leftOut.end(),
                             [&](const auto& i_entry) { return i_entry.first == note.file; });
      if (it == leftOut.end()) it = leftOut.insert(leftOut.end(), {note.file, 0});
      if (++it->second > kLinesShown) continue;
    }
    ReportMaterialNote(note);
  }
  for (const auto& [file, lines] : leftOut) {
    if (lines <= kLinesShown) continue;
    Ostrel::Message::PrintWarning("Material file '" + file + "': " + std::to_string(lines - kLinesShown) +
                                  " more lines are left out");
  }
}

void ReportWritten(const Ostrel::Buildings::SceneReport& i_report, const std::string& i_what) {
  ReportMissingUnits(i_report.missing, i_what);
  ReportMaterialNotes(i_report.materialNotes);
  for (const std::string& warning : i_report.textureWarnings) Ostrel::Message::PrintWarning(warning);
}

bool RequireOutputName(const RunSettings& i_settings) {
  if (!i_settings.outputfilename.empty()) return true;
  Ostrel::Message::PrintError("No output file specified");
  showHelp();
  return false;
}

bool CheckStyleName(const std::string& i_style) {
  if (i_style.find('/') == std::string::npos && i_style != "." && i_style != "..") return true;
  Ostrel::Message::PrintError("Invalid style '" + i_style +
                              "': a style cannot contain '/' or be '.' or '..'");
  return false;
}

}  // namespace Towerkit
