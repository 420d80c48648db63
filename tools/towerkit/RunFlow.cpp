// The run flow of one building: the units folder, the catalogue, the questions, the build.

#include "RunFlow.h"

#include <sys/stat.h>

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

#include "CityRun.h"
#include "Lint.h"
#include "RunInputs.h"
#include "ShapeValues.h"
#include "Stats.h"
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

// A file the tool writes beside an output file: the same name with i_extension for its
// extension, beside the file actually written (when the output is a link, beside its target).
std::string BesidePath(const OutputFile& i_output, const char* i_extension) {
  struct stat info {};
  const bool link = lstat(i_output.target.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
  const std::string& written = link && !i_output.tempPath.empty() ? i_output.realPath : i_output.target;
  return std::filesystem::path(written).replace_extension(i_extension).string();
}

// A file name as a relative URI: every byte but unreserved ones percent-encoded.
std::string UriOf(const std::string& i_name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string uri;
  for (const char c : i_name) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

// Under --strict, a warning told so far (as an error) means nothing may be written: false then.
bool StrictAllows() { return Ostrel::Message::StrictErrors() == 0; }

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
  if (!OpenOutput(i_libraryPath, library, o_error, OutputNaming::Tool)) {
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

bool ListUnitsFolders(const std::vector<std::string>& i_folders, std::vector<std::string>& o_entries) {
  for (const std::string& folder : i_folders) {
    if (!ListUnitsFolder(folder, o_entries)) return false;
  }
  return true;
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

namespace {

bool HasExtension(const std::string& i_name, const std::string& i_extension) {
  if (i_name.size() < i_extension.size()) return false;
  std::string extension = i_name.substr(i_name.size() - i_extension.size());
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == i_extension;
}

}  // namespace

bool IsGlbName(const std::string& i_name) { return HasExtension(i_name, ".glb"); }

bool IsGltfName(const std::string& i_name) { return HasExtension(i_name, ".gltf"); }

bool IsGltfOutput(const std::string& i_name) { return IsGlbName(i_name) || IsGltfName(i_name); }

void WarnInstancesInObj(const RunSettings& i_settings) {
  if (i_settings.engine.markers) {
    Ostrel::Message::PrintWarning("Option '--markers' applies to .glb output only: '" +
                                  i_settings.outputfilename + "' is written as OBJ");
  }
  if (i_settings.instances.empty()) return;
  Ostrel::Message::PrintWarning("Option '--instances' applies to .glb output only: '" +
                                i_settings.outputfilename + "' is written as OBJ");
}

Ostrel::City::SceneOptions OutputOptions(const RunSettings& i_settings, const OutputFile& i_output,
                                         std::string& o_libraryPath) {
  Ostrel::City::SceneOptions options;
  options.kitUnits = i_settings.metres;
  options.gltf = {Ostrel::City::GltfFormOf(i_settings.instances), "towerkit"};
  options.engine = i_settings.engine;
  o_libraryPath.clear();
  if (IsGltfOutput(i_settings.outputfilename)) {
    options.format = Ostrel::City::OutputFormat::Glb;
    if (IsGltfName(i_settings.outputfilename)) {
      options.gltfBufferUri = UriOf(std::filesystem::path(BufferPath(i_output)).filename().string());
    }
    return options;
  }
  if (i_output.tempPath.empty()) return options;
  o_libraryPath = BesidePath(i_output, ".mtl");
  const std::filesystem::path library(o_libraryPath);
  options.libraryName = library.filename().string();
  options.libraryFolder = library.parent_path().empty() ? "." : library.parent_path().string();
  return options;
}

std::string BufferPath(const OutputFile& i_output) { return BesidePath(i_output, ".bin"); }

bool OpenGltfBuffer(const OutputFile& i_output, OutputFile& o_buffer) {
  std::string error;
  if (i_output.tempPath.empty()) {
    error = "Cannot write output file '" + i_output.target +
            "': it is not a regular file, so the buffer file of a .gltf cannot stand beside it";
  } else if (OpenOutput(BufferPath(i_output), o_buffer, error, OutputNaming::Tool)) {
    return true;
  }
  Ostrel::Message::PrintError(error);
  return false;
}

bool RefuseOutputOverInput(const RunInputs& i_inputs, OutputFile& io_output, const std::string& i_libraryPath,
                           OutputFile* io_buffer) {
  std::vector<std::string> outputs;
  if (!io_output.tempPath.empty()) outputs.push_back(io_output.target);
  outputs.push_back(i_libraryPath);
  if (io_buffer) outputs.push_back(io_buffer->target);
  const std::string error = OutputOverInput(i_inputs, outputs);
  if (error.empty()) return false;
  DiscardOutput(io_output);
  if (io_buffer) DiscardOutput(*io_buffer);
  Ostrel::Message::PrintError(error);
  return true;
}

int FinishGltf(OutputFile& io_output, OutputFile& io_buffer) {
  if (!StrictAllows()) {
    DiscardOutput(io_output);
    DiscardOutput(io_buffer);
    return kExitFailure;
  }
  std::string error;
  if (!CommitOutputs(io_output, io_buffer, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  Ostrel::Message::PrintInfo("Done!");
  return kExitSuccess;
}

int FinishWriting(OutputFile& io_output, bool i_alone, const std::string& i_libraryPath,
                  const std::string& i_text, const std::string& i_what) {
  std::string error;
  if (!StrictAllows()) {
    DiscardOutput(io_output);
    return kExitFailure;
  }
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
  const bool glb = IsGltfOutput(i_settings.outputfilename);
  Request request = MakeRequest(i_settings.style, i_settings.door, i_settings.balcony, i_settings.close,
                                i_settings.width, i_settings.length, i_settings.height);
  // The footprint first: setbacks are checked against it, and it against the roof and setbacks.
  std::string footprintFault;
  if (!i_settings.footprint.empty()) ReadFootprint(i_settings.footprint, "", request, footprintFault);
  ShapeFault fault;
  if (footprintFault.empty() && !ReadShape(i_settings.setbacks, i_settings.bands, i_styles, request, fault)) {
    Ostrel::Message::PrintError(OptionValue(std::string("--") + fault.kind, fault.value) + fault.why);
    return kExitFailure;
  }
  if (!i_settings.footprint.empty()) {
    request.roof = i_settings.roof;
    if (footprintFault.empty()) footprintFault = FootprintShapeFault(request);
    if (!footprintFault.empty()) {
      Ostrel::Message::PrintError(OptionValue("--footprint", i_settings.footprint) + footprintFault);
      return kExitFailure;
    }
  }
  std::string unitsError;
  if (!BandUnitsMatch(i_settings.folders, request, unitsError)) {
    Ostrel::Message::PrintError(unitsError);
    return kExitFailure;
  }
  if (!glb) WarnInstancesInObj(i_settings);

  OutputFile output;
  std::string error;
  if (!OpenOutput(i_settings.outputfilename, output, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  OutputFile buffer;
  const bool gltf = IsGltfName(i_settings.outputfilename);
  if (gltf && !OpenGltfBuffer(output, buffer)) {
    DiscardOutput(output);
    return kExitFailure;
  }
  std::string libraryPath;
  SceneOptions options = OutputOptions(i_settings, output, libraryPath);
  if (gltf) options.gltfBuffer = &buffer.stream;

  const std::vector<std::string> styles = StylesOfRequest(request);
  const Kit kit = i_settings.folders.size() > 1 ? LoadKit(i_settings.folders, styles) : LoadKit(i_unitsPath, styles);
  if (RefuseOutputOverInput(KitInputs(kit), output, libraryPath, gltf ? &buffer : nullptr)) return kExitFailure;
  request.seed = i_settings.seed;
  request.varyByCell = i_settings.varyByCell;
  request.roof = i_settings.roof;
  request.ridge = i_settings.ridge;
  std::vector<SceneBuilding> building;
  if (kit.measured()) building.push_back({MakePlan(request, kit), Frame{}, "building", request});
  const Scene scene = HeldScene(kit, std::move(building));
  SceneReport report;
  {
    // A building that takes a while shows the progress line a city shows, from its bytes
    // written; the line is ended before the lines that follow.
    CityProgressLine progress(1, true);
    std::uint64_t written = 0;
    output.stream.onWrite([&](std::uint64_t i_bytes) { progress.report(0, written = i_bytes); });
    report = WriteScene(scene, options, output.stream);
    output.stream.onWrite(nullptr);
    if (report.error == SceneError::None) progress.report(1, written);
  }
  if (report.error != SceneError::None) {
    DiscardOutput(output);
    if (gltf) DiscardOutput(buffer);
    ReportBuildError(report.error, i_settings, i_unitsPath, glb,
                     report.error == SceneError::NotFinite ? kit.piece(report.failedPiece).name : "");
    return kExitFailure;
  }
  ReportWritten(report, "building");
  const int status = gltf ? FinishGltf(output, buffer)
                          : FinishWriting(output, glb || !report.usesMaterials, libraryPath, report.materialLibrary);
  if (status == kExitSuccess && i_settings.stats) ReportStats(output.target, libraryPath, scene, options, report);
  return status;
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

std::string UnitsFolders(RunSettings& io_settings, const std::string& i_kitFromBin) {
  namespace fs = std::filesystem;
  std::vector<std::string>& folders = io_settings.folders;
  folders = io_settings.units;
  const char* env = std::getenv("OSTREL_UNITS_PATH");
  const bool envSet = env != nullptr && *env != '\0';
  std::error_code ec;
  if (!folders.empty() && !envSet) {
    // Folders named on the command line: the fallbacks of an unset environment follow them
    // without their warnings.
    if (fs::exists(fs::symlink_status("units", ec))) {
      folders.push_back("./units");
    } else {
      const std::string installed = InstalledKit(env, ExecutablePath(), i_kitFromBin);
      if (!installed.empty()) folders.push_back(installed);
    }
  } else {
    const std::string path = UnitsPath(i_kitFromBin);
    // A value that names a folder is that one folder, as it always was; else it is a list.
    if (!envSet || fs::is_directory(path, ec) || Ostrel::Core::Settings::s_units_path_list.size() <= 1) {
      if (folders.empty()) return path;
      folders.push_back(path);
    } else {
      for (const std::string& folder : Ostrel::Core::Settings::s_units_path_list) folders.push_back(folder);
    }
  }
  if (folders.size() == 1) return folders.front();
  std::string shown;
  for (const std::string& folder : folders) shown += (shown.empty() ? "" : ":") + folder;
  return shown;
}

int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
  const std::string unitsPath = UnitsFolders(io_settings, i_kitFromBin);
  if (!StrictAllows()) return kExitFailure;
  std::vector<std::string> units;
  if (io_settings.folders.size() > 1 ? !ListUnitsFolders(io_settings.folders, units)
                                     : !ListUnitsFolder(unitsPath, units)) {
    return kExitFailure;
  }
  const Catalogue unitsType = BuildCatalogue(units);
  if (io_settings.lint) {
    const std::string& style = io_settings.lintStyle.empty() ? io_settings.style : io_settings.lintStyle;
    const int status = io_settings.folders.size() > 1 ? LintFolders(io_settings.folders, style)
                                                      : LintStyles(unitsPath, units, style);
    return StrictAllows() ? status : kExitFailure;
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
