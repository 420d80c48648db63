// The kit's texture sheets of a run: the options, and the copies beside an output.

#include "SheetFiles.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <ostrel/ext/Csv.h>
#include <ostrel/ext/Png.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/TextFile.h>

#include "OutputFile.h"
#include "ValueChecks.h"

namespace Towerkit {

bool SheetOptionsOf(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format,
                    Ostrel::Buildings::SheetOptions& o_options) {
  using Ostrel::Buildings::SheetHome;
  using Ostrel::Buildings::SheetPlace;
  o_options = Ostrel::Buildings::SheetOptions();
  if (!i_settings.textureSize.empty()) {
    int size = 0;
    if (Csv::ParseInt(i_settings.textureSize, size) != Csv::NumberError::kNone || size < 1 ||
        static_cast<std::uint32_t>(size) > Png::kMaxSide) {
      Ostrel::Message::PrintError(OptionValue("--texture-size", i_settings.textureSize) +
                                  " is not a size in pixels: give a whole number from 1 to " +
                                  std::to_string(Png::kMaxSide) + ", such as 512");
      return false;
    }
    o_options.maxSize = static_cast<std::uint32_t>(size);
  }
  const std::string& where = i_settings.textures;
  // A tileset's tiles always share the copies in its own folder: external asks nothing more.
  if (where == "external" && i_format.sheets != SheetHome::OwnFolder) o_options.place = SheetPlace::Beside;
  if (where == "none") o_options.place = SheetPlace::None;
  const std::string& name = i_settings.outputfilename;
  const std::string output =
      "'" + Ostrel::TextFile::Excerpt(name, name.size()) + "' is written as " + i_format.name;
  if (where == "embed" && i_format.sheets != SheetHome::Embedded)
    Ostrel::Message::PrintWarning("Option '--textures embed' embeds sheets in a .glb or .gltf only: " +
                                  output);
  if (o_options.maxSize == 0) return true;
  if (o_options.place == SheetPlace::None) {
    Ostrel::Message::PrintWarning(
        "Option '--texture-size' does nothing with --textures none: no sheet is carried");
  } else if (o_options.place == SheetPlace::Format && i_format.sheets == SheetHome::Kit) {
    Ostrel::Message::PrintWarning(
        "Option '--texture-size' applies to sheets an output carries: " + output +
        ", whose material library names the kit's own sheets; add --textures external");
  }
  return true;
}

std::string SheetPath(const std::string& i_folder, const std::string& i_name) {
  return i_folder == "." ? i_name : (std::filesystem::path(i_folder) / i_name).string();
}

bool WriteSheets(const std::vector<Ostrel::Buildings::OutputSheet>& i_sheets, const std::string& i_folder,
                 std::vector<std::string>& io_placed) {
  for (const Ostrel::Buildings::OutputSheet& sheet : i_sheets) {
    if (sheet.present) continue;
    const std::string path = SheetPath(i_folder, sheet.name);
    OutputFile file;
    std::string error;
    bool done = OpenOutput(path, file, error, OutputNaming::Tool);
    if (done) {
      file.stream.write(sheet.bytes.data(), static_cast<std::streamsize>(sheet.bytes.size()));
      done = CommitOutput(file, error);
    }
    if (!done) {
      Ostrel::Message::PrintError(error);
      return false;
    }
    io_placed.push_back(path);
  }
  return true;
}

void RemoveSheets(const std::vector<std::string>& i_placed) {
  for (const std::string& path : i_placed) std::remove(path.c_str());
}

}  // namespace Towerkit
