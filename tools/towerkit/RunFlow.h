#pragma once
// Everything a run does after the command line has been read: list the units folder, build the
// style catalogue, then either print it (check mode) or ask for the settings (step-by-step mode),
// check the request and write the building. Each step is one function; RunFlow chains them.

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/city/Building.h>
#include <ostrel/core/Settings.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>

#include "Lint.h"
#include "Options.h"
#include "OutputFile.h"
#include "ValueChecks.h"

namespace Towerkit {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// Style names in ascending byte order, each once.
using Catalogue = std::set<std::string>;

// Appends the entry names of the units folder to o_entries; false, reported, when it cannot be read.
inline bool ListUnitsFolder(const std::string& i_folder, std::vector<std::string>& o_entries) {
  if (Ostrel::FileSystem::GetFilesFromFolder(i_folder, o_entries) == 0) return true;
  Ostrel::Message::PrintError("Error opening units folder '" + i_folder + "'");
  return false;
}

// Whether the part of an entry name after its style's "_" names a variant's unit file,
// "KIND.N.obj" (Kit.h).
inline bool IsVariantFile(const std::string& i_rest) {
  const std::string extension = ".obj";
  return i_rest.size() > extension.size() &&
         i_rest.compare(i_rest.size() - extension.size(), extension.size(), extension) == 0 &&
         !Ostrel::City::VariantKind(i_rest.substr(0, i_rest.size() - extension.size())).empty();
}

// A style is the part before the only "_" of an entry name; names with no "_" or with more than
// one give none, and so do the unit files of variants. Files and folders count alike, and
// otherwise the extension plays no part.
inline Catalogue BuildCatalogue(const std::vector<std::string>& i_entries) {
  Catalogue unitsType;
  for (const std::string& entry : i_entries) {
    if (entry == "." || entry == "..") continue;
    std::vector<std::string> tokens;
    Ostrel::FileSystem::SplitString(entry, '_', tokens);
    if (tokens.size() == 2 && !IsVariantFile(tokens[1])) unitsType.insert(tokens[0]);
  }
  return unitsType;
}

inline void PrintCatalogue(const Catalogue& i_catalogue) {
  Ostrel::Message::PrintInfo("Available unit-types:");
  for (const std::string& style : i_catalogue) Ostrel::Message::PrintInfo(" - " + style);
}

// "style [A,B]" for the styles A and B; "style ]" when there are none, since the last character
// (the comma, or the bracket itself) becomes the closing bracket.
inline std::string StyleDescription(const Catalogue& i_catalogue) {
  std::string styleDescription = "style [";
  for (const std::string& style : i_catalogue) styleDescription += style + ",";
  styleDescription.back() = ']';
  return styleDescription;
}

namespace detail {

// Asks for a whole number; false, reported, when standard input ends first.
inline bool AskNumber(const std::string& i_question, int& o_value) {
  if (Ostrel::CLI::GetUserInt(i_question, o_value)) return true;
  Ostrel::Message::PrintError("No answer to '" + i_question + "': standard input has ended");
  return false;
}

// Asks until an empty answer, appending every other answer to o_list, each checked by i_check.
inline void AskList(const std::string& i_question,
                    void (*i_check)(const std::string& i_subject, const std::string& i_value),
                    std::vector<std::string>& o_list) {
  for (;;) {
    std::string answer;
    Ostrel::CLI::GetUserString(i_question, answer);
    if (answer.empty()) return;
    i_check(AnswerValue(answer), answer);
    o_list.push_back(answer);
  }
}

}  // namespace detail

// Asks for every setting on the console, storing the answers as given (a door, balcony or wall
// answer the building cannot use gets a warning, as on the command line). False when standard
// input ended at a number question (already reported); text questions then get empty answers.
inline bool AskStepByStep(const Catalogue& i_catalogue, RunSettings& io_settings) {
  using Ostrel::CLI::GetUserString;
  GetUserString(StyleDescription(i_catalogue), io_settings.style);
  if (!detail::AskNumber("width (in units)", io_settings.width)) return false;
  if (!detail::AskNumber("length (in units)", io_settings.length)) return false;
  if (!detail::AskNumber("height (in units)", io_settings.height)) return false;
  GetUserString("door [(N)orth,(S)outh,(E)st,(W)est][(L)eft,(C)enter,(R)ight] (ENTER to skip it)",
                io_settings.door);
  if (io_settings.door.empty()) {
    io_settings.door = "  ";
  } else {
    CheckDoor(AnswerValue(io_settings.door), io_settings.door);
  }
  detail::AskList(
      "balcony [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop enter "
      "balcony-option)",
      CheckBalcony, io_settings.balcony);
  detail::AskList(
      "close [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop enter "
      "close-option)",
      CheckWall, io_settings.close);
  GetUserString("output filename", io_settings.outputfilename);
  return true;
}

// What is wrong with a size, for a sentence that starts with it: empty when the building can be
// made that size, else " is negative: ..." or " is too large: ...". i_extra is what the building
// adds to it (a ring of corner cells around the footprint, the roof row above the storeys).
inline std::string SizeFault(int i_value, int i_extra) {
  if (i_value < 0) return " is negative: give 0 or more units";
  if (i_value > INT_MAX - i_extra) return " is too large: give at most " + std::to_string(INT_MAX - i_extra) + " units";
  return std::string();
}

namespace detail {

// i_name is the size's name as it starts a sentence; i_extra is what the building adds to it
// (a ring of corner cells around the footprint, the roof row above the storeys).
inline bool CheckSize(const char* i_name, int i_value, int i_extra) {
  const std::string fault = SizeFault(i_value, i_extra);
  if (fault.empty()) return true;
  Ostrel::Message::PrintError(std::string(i_name) + " " + std::to_string(i_value) + fault);
  return false;
}

// A style names files inside the units folder, so it can never lead out of it.
inline bool CheckStyle(const std::string& i_style) {
  if (i_style.find('/') == std::string::npos && i_style != "." && i_style != "..") return true;
  Ostrel::Message::PrintError("Invalid style '" + i_style +
                              "': a style cannot contain '/' or be '.' or '..'");
  return false;
}

inline bool CheckOutputPath(const std::string& i_path) {
  std::error_code ec;
  if (!std::filesystem::is_directory(i_path, ec)) return true;
  Ostrel::Message::PrintError("Cannot write output file '" + i_path + "': it is a folder");
  return false;
}

}  // namespace detail

// Refuses a request that cannot be built, with its reason; nothing has been written yet.
inline bool CheckRequest(const RunSettings& i_settings) {
  if (i_settings.outputfilename.empty()) {
    Ostrel::Message::PrintError("No output file specified");
    showHelp();
    return false;
  }
  return detail::CheckSize("Width", i_settings.width, 2) &&
         detail::CheckSize("Length", i_settings.length, 2) &&
         detail::CheckSize("Height", i_settings.height, 1) && detail::CheckStyle(i_settings.style) &&
         detail::CheckOutputPath(i_settings.outputfilename);
}

namespace detail {

inline void ReportBuildError(Ostrel::City::BuildError i_error, const RunSettings& i_settings,
                             const std::string& i_units_path, bool i_glb) {
  using Ostrel::City::BuildError;
  using Ostrel::Message::PrintError;
  switch (i_error) {
    case BuildError::None:
      return;
    case BuildError::NoBaseUnits:
      PrintError(
          "Cannot measure the unit size: 'base_floorclose.obj' and 'base_roof.obj' in the units folder '" +
          i_units_path + "' give no usable unit");
      return;
    case BuildError::NothingPlaced:
      PrintError("Style '" + i_settings.style +
                 "' placed nothing: no unit files of it in the units folder '" + i_units_path + "'");
      return;
    case BuildError::TooLarge:
      PrintError("A building of width " + std::to_string(i_settings.width) + ", length " +
                 std::to_string(i_settings.length) + " and height " + std::to_string(i_settings.height) +
                 " is too large to write" + (i_glb ? ": a .glb file holds at most 4 GiB" : ""));
      return;
  }
}

inline void ReportMaterialNote(const Ostrel::City::MaterialNote& i_note) {
  using Kind = Ostrel::City::MaterialNote::Kind;
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

// Reports every note, but at most a few left-out lines of each material file: a file that is no
// material library at all would otherwise give a warning for each of its lines.
inline void ReportMaterialNotes(const std::vector<Ostrel::City::MaterialNote>& i_notes) {
  constexpr int kLinesShown = 5;
  std::vector<std::pair<std::string, int>> leftOut;  // file, lines left out
  for (const Ostrel::City::MaterialNote& note : i_notes) {
    if (note.kind == Ostrel::City::MaterialNote::Kind::LibraryLine) {
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

// Why a unit file that the build needed gave nothing, for its warning: "not found", "is not a
// regular file", and so on.
inline std::string UnitFileFault(const Ostrel::City::MissingUnit& i_missing) {
  using Ostrel::City::PieceFault;
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

}  // namespace detail

// The material library beside an output file: the same name with ".mtl" for its extension.
inline std::string MaterialLibraryPath(const std::string& i_output) {
  return std::filesystem::path(i_output).replace_extension(".mtl").string();
}

// Writes the material library and puts it in place together with the finished mesh file.
inline bool WriteWithMaterials(OutputFile& io_objout, const std::string& i_libraryPath,
                               const std::string& i_text, std::string& o_error) {
  if (std::filesystem::path(i_libraryPath) == std::filesystem::path(io_objout.target)) {
    o_error = "Cannot write output file '" + io_objout.target +
              "': its material file would have the same name; give the output another extension";
    DiscardOutput(io_objout);
    return false;
  }
  OutputFile library;
  if (!OpenOutput(i_libraryPath, library, o_error)) {
    DiscardOutput(io_objout);
    return false;
  }
  library.stream.write(i_text.data(), static_cast<std::streamsize>(i_text.size()));
  return CommitOutputs(io_objout, library, o_error);
}

// True when the output file's name ends in ".glb", in any case: the building is then written as
// binary glTF rather than OBJ.
inline bool IsGlbName(const std::string& i_name) {
  if (i_name.size() < 4) return false;
  std::string extension = i_name.substr(i_name.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".glb";
}

// The glTF form that --instances asks for; flat when it was not given or not understood.
// --instances given for an output that is written as OBJ: it cannot apply.
inline void WarnInstancesInObj(const RunSettings& i_settings) {
  if (i_settings.instances.empty()) return;
  Ostrel::Message::PrintWarning("Option '--instances' applies to .glb output only: '" + i_settings.outputfilename +
                                "' is written as OBJ");
}

inline Ostrel::City::GltfForm GltfFormOf(const std::string& i_instances) {
  if (i_instances == "nodes") return Ostrel::City::GltfForm::Nodes;
  if (i_instances == "gpu") return Ostrel::City::GltfForm::Gpu;
  return Ostrel::City::GltfForm::Flat;
}

// Puts a written output in place, with its material library (i_text, to be written at
// i_libraryPath) unless i_alone, and says "Done!". Returns the exit status. i_what names what
// was built, for the warning about materials that cannot be written beside a special file.
inline int FinishWriting(OutputFile& io_objout, bool i_alone, const std::string& i_libraryPath,
                         const std::string& i_text, const std::string& i_what = "building") {
  std::string error;
  if (i_alone) {
    if (!CommitOutput(io_objout, error)) {
      Ostrel::Message::PrintError(error);
      return kExitFailure;
    }
  } else if (i_libraryPath.empty()) {
    Ostrel::Message::PrintWarning("The " + i_what + "'s materials are not written: output file '" +
                                  io_objout.target +
                                  "' is not a regular file, so no material file can stand beside it");
    if (!CommitOutput(io_objout, error)) {
      Ostrel::Message::PrintError(error);
      return kExitFailure;
    }
  } else if (!WriteWithMaterials(io_objout, i_libraryPath, i_text, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  Ostrel::Message::PrintInfo("Done!");
  return kExitSuccess;
}

// Builds the requested building into the output file. Returns the exit status; "Done!" only
// after the whole file was written and put in place.
inline int WriteBuilding(const RunSettings& i_settings, const std::string& i_units_path) {
  Ostrel::City::Building building(i_settings.style, i_settings.door, i_settings.balcony, i_settings.close,
                                  i_settings.width, i_settings.length, i_settings.height);
  building.setUnitsPath(i_units_path);
  building.setPosition(0.0f, 0.0f, 0.0f);
  building.setOrientation(0.0f, 0.0f, 1.0f);
  building.setKitUnits(i_settings.metres);
  building.setVariation(i_settings.seed, i_settings.varyByCell);

  const bool glb = IsGlbName(i_settings.outputfilename);
  if (!glb) WarnInstancesInObj(i_settings);

  OutputFile objout;
  std::string error;
  if (!OpenOutput(i_settings.outputfilename, objout, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  // A file written in place (a terminal, a pipe) has no folder to keep its materials in; a .glb
  // holds its own.
  const std::string libraryPath =
      glb || objout.tempPath.empty() ? std::string() : MaterialLibraryPath(objout.target);
  if (!libraryPath.empty()) {
    const std::filesystem::path library(libraryPath);
    const std::string folder = library.parent_path().empty() ? "." : library.parent_path().string();
    building.setMaterialLibrary(library.filename().string(), folder);
  }
  if (glb) {
    building.buildGlb(objout.stream, {GltfFormOf(i_settings.instances), "towerkit"});
  } else {
    building.build(objout.stream, 0);
  }
  if (building.lastError() != Ostrel::City::BuildError::None) {
    DiscardOutput(objout);
    detail::ReportBuildError(building.lastError(), i_settings, i_units_path, glb);
    return kExitFailure;
  }
  for (const Ostrel::City::MissingUnit& missing : building.missingUnits()) {
    Ostrel::Message::PrintWarning("Unit file '" + missing.file + "' " + detail::UnitFileFault(missing) +
                                  ": the building is written without it");
  }
  detail::ReportMaterialNotes(building.materialNotes());
  for (const std::string& warning : building.textureWarnings()) Ostrel::Message::PrintWarning(warning);
  return FinishWriting(objout, glb || !building.usesMaterials(), libraryPath, building.materialLibraryText());
}

// The kit installed with the tool, when this run should use it; empty otherwise. It stands in
// for ./units only when the environment names no units folder (i_env unset or empty) and the
// working folder has no entry "units". i_executable is the tool's own file and i_kitFromBin the
// kit's folder relative to the tool's folder, so an installed tree works wherever it is moved.
inline std::string InstalledKit(const char* i_env, const std::string& i_executable,
                                const std::string& i_kitFromBin) {
  namespace fs = std::filesystem;
  if (i_env != nullptr && *i_env != '\0') return std::string();
  std::error_code ec;
  if (fs::exists(fs::symlink_status("units", ec))) return std::string();
  if (i_executable.empty()) return std::string();
  const fs::path kit = (fs::path(i_executable).parent_path() / i_kitFromBin).lexically_normal();
  if (!fs::is_directory(kit, ec)) return std::string();
  return kit.string();
}

// The tool's own file, from the system: the path it was started by may be relative or a link.
inline std::string ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

// The units folder of this run, with its one console line or two: the installed kit, named, or
// the folder the environment (or its fallback ./units) gives.
inline std::string UnitsPath(const std::string& i_kitFromBin) {
  const std::string installed =
      InstalledKit(std::getenv("OSTREL_UNITS_PATH"), ExecutablePath(), i_kitFromBin);
  if (!installed.empty()) {
    Ostrel::Core::Settings::SetUnitsPath(installed);
    Ostrel::Message::PrintInfo("Using the installed unit kit '" + installed + "'");
  }
  return Ostrel::Core::Settings::GetUnitsPath();
}

// The whole run after the command line; returns the exit status. i_kitFromBin is where the
// installed kit lies relative to the tool's folder.
inline int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
  const std::string unitsPath = UnitsPath(i_kitFromBin);
  std::vector<std::string> units;
  if (!ListUnitsFolder(unitsPath, units)) return kExitFailure;
  const Catalogue unitsType = BuildCatalogue(units);
  if (io_settings.lint) {
    const std::string& style = io_settings.lintStyle.empty() ? io_settings.style : io_settings.lintStyle;
    return LintStyles(unitsPath, units, style);
  }

  if (io_settings.check) {
    PrintCatalogue(unitsType);
    return kExitSuccess;
  }
  if (io_settings.stepByStep && !AskStepByStep(unitsType, io_settings)) return kExitFailure;
  if (!CheckRequest(io_settings)) return kExitFailure;
  return WriteBuilding(io_settings, unitsPath);
}

}  // namespace Towerkit
