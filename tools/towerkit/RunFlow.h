#pragma once
// Everything a run does after the command line has been read: list the units folder, build the
// style catalogue, then either print it (check mode) or ask for the settings (step-by-step mode),
// check the request and write the building. Each step is one function; RunFlow chains them.

#include <set>
#include <string>
#include <vector>

#include "Options.h"
#include "Report.h"

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

// Every units folder of the run, in order: those UnitsFolders left in the settings, else the one
// folder i_unitsPath.
std::vector<std::string> RunFolders(const RunSettings& i_settings, const std::string& i_unitsPath);

// The units folders of the run (UnitsFolders), how messages name them (o_unitsPath) and all their
// entries, in order. False, reported, when a warning under --strict or a folder that cannot be
// read ends the run.
bool ReadUnitsFolders(RunSettings& io_settings, const std::string& i_kitFromBin, std::string& o_unitsPath,
                      std::vector<std::string>& o_entries);

// The whole run after the command line; returns the exit status. i_kitFromBin is where the
// installed kit lies relative to the tool's folder.
int RunFlow(RunSettings& io_settings, const std::string& i_kitFromBin);

}  // namespace Towerkit
