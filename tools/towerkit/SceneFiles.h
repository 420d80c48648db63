#pragma once
// Writing a scene into its files: the output the user names, in the format its name chooses
// (Formats.h), and the file that format writes beside it. A building and a city are written by
// this one function; each run says only, in its own words, why a scene was not written.

#include <cstdint>
#include <functional>
#include <string>

#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>

#include "OutputFile.h"
#include "RunInputs.h"

namespace Towerkit {

struct SceneFiles {
  const Ostrel::Buildings::Scene* scene = nullptr;
  // The scene surveyed before its output was opened (a city's, whose rows are then told before
  // anything is written); null: surveyed as it is written.
  const Ostrel::Buildings::SceneSurvey* survey = nullptr;
  Ostrel::Buildings::SceneOptions options;  // the format's side file is told to them here
  RunInputs inputs;                    // the files of the run that no output may replace
  std::string what;                    // "building" or "city", as console lines name it
  // The buildings the progress line counts; a single building's line shows only once the run has
  // taken a second, from the bytes written.
  std::uint64_t buildings = 1;
  // Prints why the scene of this report may not be written and returns true; false when it may.
  std::function<bool(const Ostrel::Buildings::SceneReport& i_report)> refused;
};

// The file an output's bytes go to: its target, or the file a link of that name points to.
std::string WrittenPath(const OutputFile& i_output);

// The path of a file the tool writes beside an output file: the same name with i_extension for
// its extension, beside the file actually written (when the output is a link, beside its target).
std::string BesidePath(const OutputFile& i_output, const char* i_extension);

// True, reported and with the outputs discarded, when an output file (the named one, the file
// beside it at i_sidePath, and io_side when it is open) is one of the run's inputs.
bool RefuseOutputOverInput(const RunInputs& i_inputs, OutputFile& io_output, const std::string& i_sidePath,
                           OutputFile* io_side);

// Puts a written output in place with the file its format writes beside it, and says "Done!".
// Returns the exit status. A Stream side file (io_side) was written with the output; a Library's
// text (i_text, to be written at i_sidePath) is written now, unless i_alone; without a path, the
// output stands alone with a warning that names what was built (i_what). A Folder's files, staged
// in io_folder, are put in place with the output, or removed with a line that says so.
int FinishWriting(OutputFile& io_output, const Ostrel::Buildings::SideFile& i_side, bool i_alone,
                  const std::string& i_sidePath, const std::string& i_text, OutputFile* io_side,
                  const std::string& i_what = "building", OutputFolder* io_folder = nullptr);

// Writes the scene into the file at i_path and the file beside it, in i_format, prints the
// warnings of what was written, "Done!" and with i_stats the --stats lines. Returns the exit
// status; nothing is put in place unless everything was written.
int WriteSceneFiles(const std::string& i_path, const Ostrel::Buildings::OutputFormat& i_format, SceneFiles i_files,
                    bool i_stats);

}  // namespace Towerkit
