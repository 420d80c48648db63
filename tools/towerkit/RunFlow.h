#pragma once
// Everything a run does after the command line has been read: list the units folder, build the
// style catalogue, then either print it (check mode) or ask for the settings (step-by-step mode),
// check the request and write the building. Each step is one function; RunFlow chains them.

#include <set>
#include <string>
#include <vector>

#include <ostrel/scene/Scene.h>

#include "Options.h"
#include "OutputFile.h"
#include "Report.h"
#include "RunInputs.h"

namespace Towerkit {

// Style names in ascending byte order, each once.
using Catalogue = std::set<std::string>;

// Appends the entry names of the units folder to o_entries; false, reported, when it cannot be read.
bool ListUnitsFolder(const std::string& i_folder, std::vector<std::string>& o_entries);

// ListUnitsFolder for each folder, in order, into the one list: false at the first that fails.
bool ListUnitsFolders(const std::vector<std::string>& i_folders, std::vector<std::string>& o_entries);

// The styles of the units folder's entries (StylesOf, Kit.h).
Catalogue BuildCatalogue(const std::vector<std::string>& i_entries);

void PrintCatalogue(const Catalogue& i_catalogue);

// "style [A,B]" for the styles A and B; "style ]" when there are none, since the last character
// (the comma, or the bracket itself) becomes the closing bracket.
std::string StyleDescription(const Catalogue& i_catalogue);

// Asks for every setting on the console, storing the answers as given (a door, balcony or wall
// answer the building cannot use gets a warning, as on the command line). False when standard
// input ended at a number question (already reported); text questions then get empty answers.
bool AskStepByStep(const Catalogue& i_catalogue, RunSettings& io_settings);

// What is wrong with a size, for a sentence that starts with it: empty when the building can be
// made that size, else " is negative: ..." or " is too large: ...". i_extra is what the building
// adds to it (a ring of corner cells around the footprint, the roof row above the storeys).
std::string SizeFault(int i_value, int i_extra);

// False, reported, when the output path names a folder.
bool CheckOutputPath(const std::string& i_path);

// Refuses a request that cannot be built, with its reason; nothing has been written yet.
bool CheckRequest(const RunSettings& i_settings);

// True when the output file's name ends in ".glb", in any case: the building is then written as
// binary glTF rather than OBJ.
bool IsGlbName(const std::string& i_name);

// The same for ".gltf": glTF JSON with its buffer in a file beside it.
bool IsGltfName(const std::string& i_name);

// Either of them: an output written by the glTF writer.
bool IsGltfOutput(const std::string& i_name);

// --instances or --markers given for an output that is written as OBJ: they cannot apply.
void WarnInstancesInObj(const RunSettings& i_settings);

// --markers given for a building without a door, which it would mark: it adds nothing.
void WarnMarkersWithoutDoor(const RunSettings& i_settings, const Ostrel::City::Request& i_request);

// How an opened output is written: its format, and for OBJ the material library beside it (a
// file written in place, such as a terminal or a pipe, has no folder to keep it in; a .glb holds
// its own). o_libraryPath is where the library goes, empty for none.
Ostrel::City::SceneOptions OutputOptions(const RunSettings& i_settings, const OutputFile& i_output,
                                         std::string& o_libraryPath);

// The buffer file of a .gltf output: NAME.bin beside the file actually written.
std::string BufferPath(const OutputFile& i_output);

// Opens the buffer file of a .gltf output; false, reported, when it cannot be (an output that is
// no regular file has no folder to keep it in).
bool OpenGltfBuffer(const OutputFile& i_output, OutputFile& o_buffer);

// True, reported and with the outputs discarded, when an output file (the named one, its material
// library at i_libraryPath, the buffer of a .gltf) is one of the run's inputs.
bool RefuseOutputOverInput(const RunInputs& i_inputs, OutputFile& io_output, const std::string& i_libraryPath,
                           OutputFile* io_buffer);

// Puts a written .gltf and its buffer in place together and says "Done!"; returns the exit status.
int FinishGltf(OutputFile& io_output, OutputFile& io_buffer);

// Puts a written output in place, with its material library (i_text, to be written at
// i_libraryPath) unless i_alone, and says "Done!". Returns the exit status. i_what names what
// was built, for the warning about materials that cannot be written beside a special file.
int FinishWriting(OutputFile& io_output, bool i_alone, const std::string& i_libraryPath,
                  const std::string& i_text, const std::string& i_what = "building");

// Builds the requested building into the output file. Returns the exit status; "Done!" only
// after the whole file was written and put in place. i_styles are the units folder's, which a
// band may name.
int WriteBuilding(const RunSettings& i_settings, const std::string& i_unitsPath, const Catalogue& i_styles);

// The kit installed with the tool, when this run should use it; empty otherwise. It stands in
// for ./units only when the environment names no units folder (i_env unset or empty) and the
// working folder has no entry "units". i_executable is the tool's own file and i_kitFromBin the
// kit's folder relative to the tool's folder, so an installed tree works wherever it is moved.
std::string InstalledKit(const char* i_env, const std::string& i_executable, const std::string& i_kitFromBin);

// The units folder of this run, with its one console line or two: the installed kit, named, or
// the folder the environment (or its fallback ./units) gives.
std::string UnitsPath(const std::string& i_kitFromBin);

// Every units folder of this run, in order, into io_settings.folders: the folders of --units, then
// those of the environment (its whole value when that names a folder, as it always did, else its
// list), or its fallbacks ./units and the installed kit. Returns how messages name them: the one
// folder, or all of them joined by ':'. Prints the lines UnitsPath prints, unless --units names
// folders and the environment none.
std::string UnitsFolders(RunSettings& io_settings, const std::string& i_kitFromBin);

// The whole run after the command line; returns the exit status. i_kitFromBin is where the
// installed kit lies relative to the tool's folder.
int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin);

}  // namespace Towerkit
