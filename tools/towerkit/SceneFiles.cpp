// Writing a scene into its files.

#include "SceneFiles.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <ostrel/utils/Messages.h>
#include <ostrel/utils/TextFile.h>
#include <ostrel/write/WriteScene.h>

#include "CityRun.h"
#include "Report.h"
#include "SheetFiles.h"
#include "Stats.h"

namespace Towerkit {

namespace {

using Ostrel::Buildings::SideFile;

// Opens the side file that a format writes with its output; false, reported, when it cannot be
// (an output that is no regular file has no folder to keep it in).
bool OpenSideStream(const OutputFile& i_output, const SideFile& i_side, OutputFile& o_side) {
  std::string error;
  if (i_output.tempPath.empty()) {
    error = "Cannot write output file '" + i_output.target + "': it is not a regular file, so the " +
            i_side.name + " cannot stand beside it";
  } else if (OpenOutput(BesidePath(i_output, i_side.extension), o_side, error, OutputNaming::Tool)) {
    return true;
  }
  Ostrel::Message::PrintError(error);
  return false;
}

// Writes the side file's text and puts it in place together with the finished output.
bool WriteWithSideText(OutputFile& io_output, const SideFile& i_side, const std::string& i_sidePath,
                       const std::string& i_text, std::string& o_error) {
  if (std::filesystem::path(i_sidePath) == std::filesystem::path(io_output.target)) {
    o_error = "Cannot write output file '" + io_output.target + "': its " + i_side.name +
              " would have the same name; give the output another extension";
    DiscardOutput(io_output);
    return false;
  }
  OutputFile side;
  if (!OpenOutput(i_sidePath, side, o_error, OutputNaming::Tool)) {
    DiscardOutput(io_output);
    return false;
  }
  side.stream.write(i_text.data(), static_cast<std::streamsize>(i_text.size()));
  return CommitOutputs(io_output, side, o_error);
}

// Tells the writers where copies of the sheets go, when they go beside the output: its folder,
// and the names the run writes there itself. False, reported, when the output has no folder to
// keep them in.
bool SheetsBeside(const OutputFile& i_output, const std::string& i_sidePath,
                  Ostrel::Buildings::SheetOptions& io_options) {
  if (io_options.place != Ostrel::Buildings::SheetPlace::Beside) return true;
  if (i_output.tempPath.empty()) {
    Ostrel::Message::PrintError("Cannot write output file '" +
                                Ostrel::TextFile::Excerpt(i_output.target, i_output.target.size()) +
                                "': it is not a regular file, so no texture sheet can stand beside it");
    return false;
  }
  const std::filesystem::path written(WrittenPath(i_output));
  io_options.folder = written.has_parent_path() ? written.parent_path().string() : ".";
  io_options.taken = {written.filename().string()};
  if (!i_sidePath.empty()) io_options.taken.push_back(std::filesystem::path(i_sidePath).filename().string());
  return true;
}

void Discard(OutputFile& io_output, OutputFile* io_side) {
  DiscardOutput(io_output);
  if (io_side) DiscardOutput(*io_side);
}

// A path quoted in a message, as one printable line.
std::string Quoted(const std::string& i_path) { return "'" + Ostrel::TextFile::Excerpt(i_path, i_path.size()) + "'"; }

void TellFolderDropped(const OutputFolder& i_folder, const OutputFile& i_output, const SideFile& i_side) {
  if (i_folder.touched) return;
  // Named beside the output as the user named it, not where its links lead.
  const std::string folder = (std::filesystem::path(i_output.target).parent_path() / i_side.name).string();
  Ostrel::Message::PrintError("Output file " + Quoted(i_output.target) + " is not written, and the " + i_side.name +
                              " this run wrote are removed: the files that were in " + Quoted(folder) +
                              " before are as they were");
}

// After a failed run of a format that writes a folder of files: the files this run wrote go, and
// the user is told that nothing that was there before has changed.
void DropFolder(OutputFolder* io_folder, const OutputFile& i_output, const SideFile& i_side) {
  if (!io_folder || io_folder->staging.empty()) return;
  DiscardOutputFolder(*io_folder);
  TellFolderDropped(*io_folder, i_output, i_side);
}

}  // namespace

std::string WrittenPath(const OutputFile& i_output) {
  struct stat info {};
  const bool link = lstat(i_output.target.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
  return link && !i_output.tempPath.empty() ? i_output.realPath : i_output.target;
}

std::string BesidePath(const OutputFile& i_output, const char* i_extension) {
  return std::filesystem::path(WrittenPath(i_output)).replace_extension(i_extension).string();
}

bool RefuseOutputOverInput(const RunInputs& i_inputs, OutputFile& io_output, const std::string& i_sidePath,
                           OutputFile* io_side) {
  std::vector<std::string> outputs;
  if (!io_output.tempPath.empty()) outputs.push_back(io_output.target);
  outputs.push_back(i_sidePath);
  if (io_side) outputs.push_back(io_side->target);
  const std::string error = OutputOverInput(i_inputs, outputs);
  if (error.empty()) return false;
  Discard(io_output, io_side);
  Ostrel::Message::PrintError(error);
  return true;
}

int FinishWriting(OutputFile& io_output, const SideFile& i_side, bool i_alone, const std::string& i_sidePath,
                  const std::string& i_text, OutputFile* io_side, const std::string& i_what, OutputFolder* io_folder) {
  if (!StrictAllows()) {
    Discard(io_output, io_side);
    DropFolder(io_folder, io_output, i_side);
    return kExitFailure;
  }
  std::string error;
  bool done = true;
  if (io_folder && !io_folder->staging.empty()) {
    done = CommitOutputWithFolder(io_output, *io_folder, error);
    if (!done) {
      Ostrel::Message::PrintError(error);
      TellFolderDropped(*io_folder, io_output, i_side);
      return kExitFailure;
    }
  } else if (io_side) {
    done = CommitOutputs(io_output, *io_side, error);
  } else if (i_alone) {
    done = CommitOutput(io_output, error);
  } else if (i_sidePath.empty()) {
    Ostrel::Message::PrintWarning("The " + i_what + "'s " + i_side.holds + " are not written: output file '" +
                                  io_output.target + "' is not a regular file, so no " + i_side.name +
                                  " can stand beside it");
    done = CommitOutput(io_output, error);
  } else {
    done = WriteWithSideText(io_output, i_side, i_sidePath, i_text, error);
  }
  if (!done) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  Ostrel::Message::PrintInfo("Done!");
  return kExitSuccess;
}

int WriteSceneFiles(const std::string& i_path, const Ostrel::Buildings::OutputFormat& i_format, SceneFiles i_files,
                    bool i_stats) {
  using namespace Ostrel::Buildings;
  OutputFile output;
  std::string error;
  if (!OpenOutput(i_path, output, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  const SideFile& side = i_format.side;
  OutputFile stream;
  OutputFile* written = nullptr;  // a side file written with the output
  std::string sidePath;
  if (side.kind == SideFile::Kind::Stream) {
    if (!OpenSideStream(output, side, stream)) {
      DiscardOutput(output);
      return kExitFailure;
    }
    written = &stream;
    sidePath = stream.target;
  } else if (side.kind == SideFile::Kind::Library && !output.tempPath.empty()) {
    sidePath = BesidePath(output, side.extension);
  }
  SceneOptions& options = i_files.options;
  if (!sidePath.empty()) i_format.beside(sidePath, written ? &stream.stream : nullptr, options);
  OutputFolder folder;  // a Folder's files, written apart until the output is whole
  if (side.kind == SideFile::Kind::Folder) {
    std::filesystem::path parent = std::filesystem::path(output.realPath).parent_path();
    if (parent.empty()) parent = ".";
    if (!OpenOutputFolder((parent / side.name).string(), folder, error)) {
      DiscardOutput(output);
      Ostrel::Message::PrintError(error);
      return kExitFailure;
    }
    i_format.beside(folder.staging, nullptr, options);
  }
  if (RefuseOutputOverInput(i_files.inputs, output, written ? std::string() : sidePath, written)) {
    DiscardOutputFolder(folder);
    return kExitFailure;
  }
  if (!SheetsBeside(output, sidePath, options.sheets)) {
    Discard(output, written);
    DiscardOutputFolder(folder);
    return kExitFailure;
  }

  const Scene& scene = *i_files.scene;
  SceneReport report;
  // A city's progress line counts its buildings, and is ended only once the run is; a single
  // building that takes a while shows it from its bytes written, ended before the lines that
  // follow.
  std::optional<CityProgressLine> city;
  if (i_files.survey) {
    city.emplace(i_files.buildings);
    options.progress = [&](std::uint64_t i_done, std::uint64_t i_bytes) { city->report(i_done, i_bytes); };
    report = WriteScene(scene, *i_files.survey, i_format, options, output.stream);
  } else {
    CityProgressLine progress(i_files.buildings, true);
    std::uint64_t bytes = 0;
    output.stream.onWrite([&](std::uint64_t i_bytes) { progress.report(0, bytes = i_bytes); });
    report = WriteScene(scene, i_format, options, output.stream);
    output.stream.onWrite(nullptr);
    if (report.error == SceneError::None) progress.report(i_files.buildings, bytes);
  }
  if (i_files.refused(report)) {
    Discard(output, written);
    DropFolder(&folder, output, side);
    return kExitFailure;
  }
  ReportWritten(report, i_files.what);
  // The sheets first, so that the output is never in place without them; none under a strict
  // run that a warning ends (FinishWriting says so).
  std::vector<std::string> sheets;
  if (StrictAllows() && !WriteSheets(report.sheets, options.sheets.folder, sheets)) {
    RemoveSheets(sheets);
    Discard(output, written);
    DropFolder(&folder, output, side);
    return kExitFailure;
  }
  const std::string libraryPath = written ? std::string() : sidePath;
  const bool alone =
      side.kind == SideFile::Kind::None || side.kind == SideFile::Kind::Folder || !report.usesMaterials;
  const int status =
      FinishWriting(output, side, alone, libraryPath, report.materialLibrary, written, i_files.what, &folder);
  if (status != kExitSuccess) RemoveSheets(sheets);
  if (status == kExitSuccess && i_stats) {
    ReportStats(output.target, libraryPath, scene, options.framing(), report);
    ReportSheetStats(options.sheets.folder, report.sheets);
  }
  return status;
}

}  // namespace Towerkit
