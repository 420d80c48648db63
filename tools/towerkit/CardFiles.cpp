// The card sheets of a run.

#include "CardFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/TextFile.h>
#include <ostrel/write/CardSheets.h>

#include "OutputFile.h"
#include "SheetFiles.h"

namespace Towerkit {

namespace {

// Whether the file holds exactly these bytes.
bool Holds(const std::string& i_path, const std::string& i_bytes) {
  std::string held;
  return Ostrel::FileSystem::ReadFile(i_path, i_bytes.size() + 1, held).status == Ostrel::FileSystem::ReadStatus::Ok &&
         held == i_bytes;
}

// Writes the bytes to the path unless it holds them already; false, with o_error, when it cannot.
// A file of that name holding anything else is the user's, or sheets of an older kit: it is never
// replaced, since the user named no such output.
bool Keep(const std::string& i_path, const std::string& i_bytes, std::string& o_error) {
  if (Holds(i_path, i_bytes)) return true;
  std::error_code ignored;
  if (std::filesystem::symlink_status(i_path, ignored).type() != std::filesystem::file_type::not_found) {
    o_error = "File '" + Ostrel::TextFile::Excerpt(i_path, i_path.size()) + "' exists and is not this kit's card sheet";
    return false;
  }
  OutputFile file;
  if (!OpenOutput(i_path, file, o_error, OutputNaming::Tool)) return false;
  file.stream.write(i_bytes.data(), static_cast<std::streamsize>(i_bytes.size()));
  return CommitOutput(file, o_error);
}

}  // namespace

void PrepareCardSheets(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format,
                       Ostrel::Buildings::Kit& io_kit) {
  using namespace Ostrel::Buildings;
  const bool levels = std::find(i_format.ignores.begin(), i_format.ignores.end(), "--lod") == i_format.ignores.end();
  if (i_settings.engine.lods < kMaxLods || !levels || !io_kit.measured()) return;
  const std::string parent = std::filesystem::path(i_settings.outputfilename).parent_path().string();
  const std::string beside = parent.empty() ? "." : parent;
  for (const CardSheet& sheet : MakeCardSheets(io_kit)) {
    const KitStyle* style = io_kit.style(sheet.style);
    const std::string own = style && !style->folder.empty() ? style->folder : io_kit.folder;
    if (Holds(SheetPath(own, CardSheetName(sheet.style)), sheet.colour) &&
        Holds(SheetPath(own, CardNormalName(sheet.style)), sheet.normal)) {
      AddCardMaterial(io_kit, sheet.style, own);
      continue;
    }
    std::string error;
    if (!Keep(SheetPath(beside, CardSheetName(sheet.style)), sheet.colour, error) ||
        !Keep(SheetPath(beside, CardNormalName(sheet.style)), sheet.normal, error)) {
      Ostrel::Message::PrintWarning(error + ": the cards of style '" +
                                    Ostrel::TextFile::Excerpt(sheet.style, sheet.style.size()) +
                                    "' keep flat tones");
      continue;
    }
    AddCardMaterial(io_kit, sheet.style, beside);
  }
}

}  // namespace Towerkit
