#pragma once
// The kit's texture sheets of a run: what --textures and --texture-size ask of the output's
// format, and the copies written beside an output (Sheets.h), each under a temporary name and put
// in place whole, before the output itself, so that an output is never put in place without them.

#include <string>
#include <vector>

#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>
#include <ostrel/write/Sheets.h>

#include "Options.h"

namespace Towerkit {

// The sheet options that the settings ask of an output in i_format, with a warning for each that
// the format cannot apply as asked. False, reported, when --texture-size gives no size.
bool SheetOptionsOf(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format,
                    Ostrel::Buildings::SheetOptions& o_options);

// The path of the sheet of that name in i_folder, as messages name it: the bare name in ".".
std::string SheetPath(const std::string& i_folder, const std::string& i_name);

// Writes each sheet that is not present yet into i_folder, appending its path to io_placed once it
// is in place. False, reported with the error line that names the file, when one cannot be
// written: the sheets placed so far stay listed for RemoveSheets.
bool WriteSheets(const std::vector<Ostrel::Buildings::OutputSheet>& i_sheets, const std::string& i_folder,
                 std::vector<std::string>& io_placed);

// Removes the files WriteSheets placed, when the output they belong to was not put in place.
void RemoveSheets(const std::vector<std::string>& i_placed);

}  // namespace Towerkit
