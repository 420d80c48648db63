// The run flow of one building: the units folder, the catalogue, the questions, the build.

#include "RunFlow.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/core/Settings.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>

#include "Lint.h"
#include "ShapeValues.h"
#include "ValueChecks.h"

namespace Towerkit {

namespace {

// Asks for a whole number; false, reported, when standard input ends first.
bool AskNumber(const std::string& i_question, int& o_value) {
  if (Ostrel::CLI::GetUserInt(i_question, o_value)) return true;
  Ostrel::Message::PrintError("No answer to '" + i_question + "': standard input has ended");
  return false;
}

// Asks until an empty answer, appending every other answer to o_list, each checked by i_check.
void AskList(const std::string& i_question,
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

// i_name is the size's name as it starts a sentence; i_extra is what the building adds to it
// (a ring of corner cells around the footprint, the roof row above the storeys).
bool CheckSize(const char* i_name, int i_value, int i_extra) {
  const std::string fault = SizeFault(i_value, i_extra);
  if (fault.empty()) return true;
  Ostrel::Message::PrintError(std::string(i_name) + " " + std::to_string(i_value) + fault);
  return false;
}

// The material library beside an output file: the same name with ".mtl" for its extension.
std::string MaterialLibraryPath(const std::string& i_output) {
  return std::filesystem::path(i_output).replace_extension(".mtl").string();
}

// Writes the material library and puts it in place together with the finished mesh file.
bool WriteWithMaterials(OutputFile& io_output, const std::string& i_libraryPath, const std::string& i_text,
                        std::string& o_error) {
  if (std::filesystem::path(i_libraryPath) == std::filesystem::path(io_output.target)) {
    o_error = "Cannot write output file '" + io_output.target +
              "': its material file would have the same name; give the output another extension";
    DiscardOutput(io_output);
    return false;
  }
  OutputFile library;
  if (!OpenOutput(i_libraryPath, library, o_error)) {
    DiscardOutput(io_output);
    return false;
  }
  library.stream.write(i_text.data(), static_cast<std::streamsize>(i_text.size()));
  return CommitOutputs(io_output, library, o_error);
}

// The tool's own file, from the system: the path it was started by may be relative or a link.
std::string ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

}  // namespace

bool ListUnitsFolder(const std::string& i_folder, std::vector<std::string>& o_entries) {
  if (Ostrel::FileSystem::GetFilesFromFolder(i_folder, o_entries) == 0) return true;
  Ostrel::Message::PrintError("Error opening units folder '" + i_folder + "'");
  return false;
}

Catalogue BuildCatalogue(const std::vector<std::string>& i_entries) {
  return Ostrel::City::StylesOf(i_entries);
}

void PrintCatalogue(const Catalogue& i_catalogue) {
  Ostrel::Message::PrintInfo("Available unit-types:");
  for (const std::string& style : i_catalogue) Ostrel::Message::PrintInfo(" - " + style);
}

std::string StyleDescription(const Catalogue& i_catalogue) {
  std::string styleDescription = "style [";
  for (const std::string& style : i_catalogue) styleDescription += style + ",";
  styleDescription.back() = ']';
  return styleDescription;
}

bool AskStepByStep(const Catalogue& i_catalogue, RunSettings& io_settings) {
  using Ostrel::CLI::GetUserString;
  GetUserString(StyleDescription(i_catalogue), io_settings.style);
  if (!AskNumber("width (in units)", io_settings.width)) return false;
  if (!AskNumber("length (in units)", io_settings.length)) return false;
  if (!AskNumber("height (in units)", io_settings.height)) return false;
  GetUserString("door [(N)orth,(S)outh,(E)st,(W)est][(L)eft,(C)enter,(R)ight] (ENTER to skip it)",
                io_settings.door);
  if (io_settings.door.empty()) {
    io_settings.door = "  ";
  } else {
    CheckDoor(AnswerValue(io_settings.door), io_settings.door);
  }
  AskList(
      "balcony [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop enter "
      "balcony-option)",
      CheckBalcony, io_settings.balcony);
  AskList(
      "close [(N)orth,(S)outh,(E)st,(W)est][(A)llwindows,(E)ven,(O)dd,(C)heckerboard] (ENTER to stop enter "
      "close-option)",
      CheckWall, io_settings.close);
  GetUserString("output filename", io_settings.outputfilename);
  return true;
}

std::string SizeFault(int i_value, int i_extra) {
  if (i_value < 0) return " is negative: give 0 or more units";
  if (i_value > INT_MAX - i_extra)
    return " is too large: give at most " + std::to_string(INT_MAX - i_extra) + " units";
  return std::string();
}

bool CheckOutputPath(const std::string& i_path) {
  std::error_code ec;
  if (!std::filesystem::is_directory(i_path, ec)) return true;
  Ostrel::Message::PrintError("Cannot write output file '" + i_path + "': it is a folder");
  return false;
}

bool CheckRequest(const RunSettings& i_settings) {
  if (!RequireOutputName(i_settings)) return false;
  return CheckSize("Width", i_settings.width, 2) && CheckSize("Length", i_settings.length, 2) &&
         CheckSize("Height", i_settings.height, 1) && CheckStyleName(i_settings.style) &&
         CheckOutputPath(i_settings.outputfilename);
}

bool IsGlbName(const std::string& i_name) {
  if (i_name.size() < 4) return false;
  std::string extension = i_name.substr(i_name.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".glb";
}

void WarnInstancesInObj(const RunSettings& i_settings) {
  if (i_settings.instances.empty()) return;
  Ostrel::Message::PrintWarning("Option '--instances' applies to .glb output only: '" +
                                i_settings.outputfilename + "' is written as OBJ");
}

Ostrel::City::SceneOptions OutputOptions(const RunSettings& i_settings, const OutputFile& i_output,
                                         std::string& o_libraryPath) {
  Ostrel::City::SceneOptions options;
  options.kitUnits = i_settings.metres;
  options.gltf = {Ostrel::City::GltfFormOf(i_settings.instances), "towerkit"};
  o_libraryPath.clear();
  if (IsGlbName(i_settings.outputfilename)) {
    options.format = Ostrel::City::OutputFormat::Glb;
    return options;
  }
  if (i_output.tempPath.empty()) return options;
  o_libraryPath = MaterialLibraryPath(i_output.target);
  const std::filesystem::path library(o_libraryPath);
  options.libraryName = library.filename().string();
  options.libraryFolder = library.parent_path().empty() ? "." : library.parent_path().string();
  return options;
}

int FinishWriting(OutputFile& io_output, bool i_alone, const std::string& i_libraryPath,
                  const std::string& i_text, const std::string& i_what) {
  std::string error;
  if (i_alone) {
    if (!CommitOutput(io_output, error)) {
      Ostrel::Message::PrintError(error);
      return kExitFailure;
    }
  } else if (i_libraryPath.empty()) {
    Ostrel::Message::PrintWarning("The " + i_what + "'s materials are not written: output file '" +
                                  io_output.target +
                                  "' is not a regular file, so no material file can stand beside it");
    if (!CommitOutput(io_output, error)) {
      Ostrel::Message::PrintError(error);
      return kExitFailure;
    }
  } else if (!WriteWithMaterials(io_output, i_libraryPath, i_text, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  Ostrel::Message::PrintInfo("Done!");
  return kExitSuccess;
}

int WriteBuilding(const RunSettings& i_settings, const std::string& i_unitsPath, const Catalogue& i_styles) {
  using namespace Ostrel::City;
  const bool glb = IsGlbName(i_settings.outputfilename);
  Request request = MakeRequest(i_settings.style, i_settings.door, i_settings.balcony, i_settings.close,
                                i_settings.width, i_settings.length, i_settings.height);
  ShapeFault fault;
  if (!ReadShape(i_settings.setbacks, i_settings.bands, i_styles, request, fault)) {
    Ostrel::Message::PrintError(OptionValue(std::string("--") + fault.kind, fault.value) + fault.why);
    return kExitFailure;
  }
  if (!glb) WarnInstancesInObj(i_settings);

  OutputFile output;
  std::string error;
  if (!OpenOutput(i_settings.outputfilename, output, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  std::string libraryPath;
  const SceneOptions options = OutputOptions(i_settings, output, libraryPath);

  const Kit kit = LoadKit(i_unitsPath, StylesOfRequest(request));
  request.seed = i_settings.seed;
  request.varyByCell = i_settings.varyByCell;
  request.roof = i_settings.roof;
  request.ridge = i_settings.ridge;
  std::vector<SceneBuilding> building;
  if (kit.measured()) building.push_back({MakePlan(request, kit), Frame{}, "building"});
  const SceneReport report = WriteScene(HeldScene(kit, std::move(building)), options, output.stream);
  if (report.error != SceneError::None) {
    DiscardOutput(output);
    ReportBuildError(report.error, i_settings, i_unitsPath, glb);
    return kExitFailure;
  }
  ReportWritten(report, "building");
  return FinishWriting(output, glb || !report.usesMaterials, libraryPath, report.materialLibrary);
}

std::string InstalledKit(const char* i_env, const std::string& i_executable,
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

std::string UnitsPath(const std::string& i_kitFromBin) {
  const std::string installed =
      InstalledKit(std::getenv("OSTREL_UNITS_PATH"), ExecutablePath(), i_kitFromBin);
  if (!installed.empty()) {
    Ostrel::Core::Settings::SetUnitsPath(installed);
    Ostrel::Message::PrintInfo("Using the installed unit kit '" + installed + "'");
  }
  return Ostrel::Core::Settings::GetUnitsPath();
}

int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
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
  return WriteBuilding(io_settings, unitsPath, unitsType);
}

}  // namespace Towerkit
