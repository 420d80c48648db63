#pragma once
// The card sheets of a run that writes the cards (--lod 3): each style's sheet is drawn from the
// run's kit (CardSheets.h). When the kit's own files of that name hold the same bytes (the
// shipped kit's, which kitgen writes), the output names them; else the sheet and its normal map
// are written beside the output, once, and kept there for the next run.

#include <ostrel/kit/Kit.h>
#include <ostrel/write/Formats.h>

#include "Options.h"

namespace Towerkit {

// Adds the material of each style's card sheet to io_kit when i_settings ask for the cards and
// i_format writes levels of detail. A sheet that cannot be written beside the output is told with
// a warning, and that style's cards keep their flat tones.
void PrepareCardSheets(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format,
                       Ostrel::Buildings::Kit& io_kit);

}  // namespace Towerkit
