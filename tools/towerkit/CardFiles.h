#pragma once
// The card sheets of a run that writes the cards (--lod 3) (CardSheets.h). When the kit's own
// files of that name hold the key of the run's kit (the shipped kit's, which kitgen writes), the
// output names them; else the files beside the output when they hold it; else the sheets are
// drawn from the run's kit and written beside the output, once, and kept there for the next run.
// The key is read, not the pictures drawn, so that a run with current files does not draw them.

#include <ostrel/kit/Kit.h>
#include <ostrel/write/Formats.h>

#include "Options.h"

namespace Towerkit {

// Where each style's card sheet is, when i_settings ask for the cards and i_format writes levels
// of detail (SceneOptions::cards); none otherwise. A sheet that cannot be written beside the
// output is told with a warning, and that style's cards keep their flat tones.
std::vector<Ostrel::Buildings::CardSet> PrepareCardSheets(const RunSettings& i_settings,
                                                          const Ostrel::Buildings::OutputFormat& i_format,
                                                          const Ostrel::Buildings::Kit& i_kit);

}  // namespace Towerkit
