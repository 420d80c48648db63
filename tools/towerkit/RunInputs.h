#pragma once
// The files a run reads, so that no output replaces one of them: a building written over its
// kit's palette, or a city over its own city file, would lose the input for good. Files are
// compared by device and inode, links resolved, so that another name of an input is caught too.

#include <sys/types.h>

#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>

namespace Towerkit {

struct RunInput {
  dev_t device = 0;
  ino_t inode = 0;
  std::string path;  // as the run reads it
};

using RunInputs = std::vector<RunInput>;

// Every file of the kit that exists: the base units, each loaded piece and variant, the material
// libraries and the textures they name; and i_cityFile when not empty.
RunInputs KitInputs(const Ostrel::Buildings::Kit& i_kit, const std::string& i_cityFile = std::string());

// Empty when none of i_outputs (paths about to be written; empty ones skipped) is one of the
// inputs; else the error line that names the output and the input.
std::string OutputOverInput(const RunInputs& i_inputs, const std::vector<std::string>& i_outputs);

}  // namespace Towerkit
