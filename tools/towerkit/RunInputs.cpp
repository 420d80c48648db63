// The files a run reads, by device and inode.

#include "RunInputs.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Towerkit {

namespace {

void AddInput(const std::string& i_path, RunInputs& io_inputs) {
  struct stat info {};
  if (i_path.empty() || stat(i_path.c_str(), &info) != 0) return;
  io_inputs.push_back({info.st_dev, info.st_ino, i_path});
}

}  // namespace

RunInputs KitInputs(const Ostrel::Buildings::Kit& i_kit, const std::string& i_cityFile) {
  RunInputs inputs;
  AddInput(i_cityFile, inputs);
  for (const char* base : Ostrel::Buildings::kBaseUnitFiles) AddInput(i_kit.folder + "/" + base, inputs);
  for (const Ostrel::Buildings::Piece& piece : i_kit.pieces) AddInput(piece.file, inputs);
  for (const Ostrel::Buildings::MaterialLibrary& library : i_kit.libraries) {
    AddInput(library.file, inputs);
    const std::filesystem::path folder = std::filesystem::path(library.file).parent_path();
    for (const Mtl::Material& material : library.library.materials) {
      for (const Mtl::Texture& texture : material.textures) {
        if (texture.path.empty()) continue;
        AddInput(texture.path.front() == '/' ? texture.path : (folder / texture.path).string(), inputs);
      }
    }
  }
  return inputs;
}

std::string OutputOverInput(const RunInputs& i_inputs, const std::vector<std::string>& i_outputs) {
  for (const std::string& output : i_outputs) {
    struct stat info {};
    if (output.empty() || stat(output.c_str(), &info) != 0) continue;
    for (const RunInput& input : i_inputs) {
      if (input.device != info.st_dev || input.inode != info.st_ino) continue;
      return "Output file '" + output + "' is '" + input.path +
             "', which this run reads: nothing is written; give the output another name";
    }
  }
  return std::string();
}

}  // namespace Towerkit
