// The run flow of one building: the units folder, the catalogue, the questions, the build.

#include "RunFlow.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <ostrel/core/Settings.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/write/Formats.h>

#include "CardFiles.h"
#include "CityRun.h"
#include "Lint.h"
#include "RunInputs.h"
#include "SceneFiles.h"
#include "ShapeValues.h"
#include "SheetFiles.h"
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
  return Ostrel::Buildings::StylesOf(i_entries);
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

// --markers marks doors: on a building without one it would add nothing, in silence.
void WarnMarkersWithoutDoor(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format,
                            const Ostrel::Buildings::Request& i_request) {
  if (!i_settings.engine.markers || Ostrel::Buildings::PlacesDoor(i_request)) return;
  for (const std::string& ignored : i_format.ignores) {
    if (ignored == "--markers") return;  // already warned as ignored by the format
  }
  Ostrel::Message::PrintWarning("Option '--markers' marks doors, but the building has none: it adds nothing");
}

}  // namespace

int WriteBuilding(const RunSettings& i_settings, const std::string& i_unitsPath, const Catalogue& i_styles) {
  using namespace Ostrel::Buildings;
  // One thread unless asked: with the shipped kit a building's text is made about as fast as it
  // is written, and more threads cost CPU time without saving wall time (bench/run.sh with
  // BENCH_ARGS=--jobs 2). A piece of hundreds of thousands of vertices is the exception: its v
  // lines take several times as long to make as to write, so unless asked otherwise they are
  // made on two threads where there are two cores (the dense rows of bench/run.sh: the piece of
  // two million vertices gains, pieces of 20,000 lose to the hand-overs).
  unsigned jobs = 1;
  if (!i_settings.jobs.empty() && !ParseJobs(i_settings.jobs, jobs)) return kExitFailure;
  const bool hugePieceHelper = i_settings.jobs.empty() && std::thread::hardware_concurrency() >= 2;
  const OutputFormat& format = FormatOfOutput(i_settings.outputfilename);
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
  WarnIgnoredOptions(i_settings, format);
  WarnMarkersWithoutDoor(i_settings, format, request);
  SheetOptions sheets;
  if (!SheetOptionsOf(i_settings, format, sheets)) return kExitFailure;
  request.seed = i_settings.seed;
  request.varyByCell = i_settings.varyByCell;
  request.roof = i_settings.roof;
  request.ridge = i_settings.ridge;

  const Kit kit = LoadKit(RunFolders(i_settings, i_unitsPath), StylesOfRequest(request));
  const std::vector<CardSet> cards = PrepareCardSheets(i_settings, format, kit);
  const Scene scene = RequestScene(kit, request);
  const auto refused = [&](const SceneReport& i_report) {
    if (i_report.error == SceneError::None) return false;
    const bool far = i_report.error == SceneError::NotFinite;
    const std::string piece = far ? kit.piece(i_report.failedPiece).name : std::string();
    ReportBuildError(i_report.error, i_settings, i_unitsPath, format, piece);
    return true;
  };
  SceneOptions options = SceneOptionsOf(i_settings);
  if (format.metres) options.kitUnits = true;
  options.sheets = sheets;
  options.obj.jobs = jobs;
  options.obj.hugePieceHelper = hugePieceHelper;
  // A flat glTF's data stays on one thread: its binary is made about as fast as it is copied, and
  // blocks on two threads took half as long again on two cores (a 447 MB .glb).
  options.cards = cards;
  SceneFiles files{&scene, nullptr, options, KitInputs(kit), "building", 1, refused};
  return WriteSceneFiles(i_settings.outputfilename, format, std::move(files), i_settings.stats);
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

std::vector<std::string> RunFolders(const RunSettings& i_settings, const std::string& i_unitsPath) {
  return i_settings.folders.empty() ? std::vector<std::string>{i_unitsPath} : i_settings.folders;
}

bool ReadUnitsFolders(RunSettings& io_settings, const std::string& i_kitFromBin, std::string& o_unitsPath,
                      std::vector<std::string>& o_entries) {
  o_unitsPath = UnitsFolders(io_settings, i_kitFromBin);
  return StrictAllows() && ListUnitsFolders(RunFolders(io_settings, o_unitsPath), o_entries);
}

int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
  std::string unitsPath;
  std::vector<std::string> units;
  if (!ReadUnitsFolders(io_settings, i_kitFromBin, unitsPath, units)) return kExitFailure;
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
