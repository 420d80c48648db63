// The card sheets of a run.

#include "CardFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <ostrel/ext/Png.h>
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

// The key of the card file at the path (CardSheets.h); empty when it has none or is no file.
std::string KeyOf(const std::string& i_path) {
  std::string bytes;
  if (Ostrel::FileSystem::ReadFile(i_path, std::uint64_t{1} << 26, bytes).status != Ostrel::FileSystem::ReadStatus::Ok)
    return std::string();
  return Png::TextOf(bytes, Ostrel::Buildings::kCardKeyword);
}

// Whether i_folder holds a style's card files drawn from what i_key says: its sheet and normal
// map, and with o_facade whether its facade pictures and normal maps too.
bool Current(const std::string& i_folder, const std::string& i_style, const std::string& i_key, bool& o_facade) {
  using namespace Ostrel::Buildings;
  if (i_key.empty() || KeyOf(SheetPath(i_folder, CardSheetName(i_style))) != i_key ||
      KeyOf(SheetPath(i_folder, CardNormalName(i_style))) != i_key)
    return false;
  // The facade picture comes with the short walls' picture: all four files or none.
  const bool facade = KeyOf(SheetPath(i_folder, FacadeSheetName(i_style))) == i_key;
  for (const std::string& name : {FacadeNormalName(i_style), EndsSheetName(i_style), EndsNormalName(i_style)}) {
    if (facade != (KeyOf(SheetPath(i_folder, name)) == i_key)) return false;
  }
  o_facade = facade;
  return true;
}

}  // namespace

std::vector<Ostrel::Buildings::CardSet> PrepareCardSheets(const RunSettings& i_settings,
                                                          const Ostrel::Buildings::OutputFormat& i_format,
                                                          const Ostrel::Buildings::Kit& i_kit) {
  using namespace Ostrel::Buildings;
  std::vector<CardSet> sets;
  const bool levels = std::find(i_format.ignores.begin(), i_format.ignores.end(), "--lod") == i_format.ignores.end();
  if (i_settings.engine.lods < kMaxLods || !levels || !i_kit.measured()) return sets;
  const std::string parent = std::filesystem::path(i_settings.outputfilename).parent_path().string();
  const std::string beside = parent.empty() ? "." : parent;
  // Drawn only when a style's files are found nowhere current: drawing takes far longer than
  // reading the keys.
  std::vector<CardSheet> drawn;
  bool drew = false;
  for (const std::string& name : CardStyles(i_kit)) {
    const KitStyle* style = i_kit.style(name);
    const std::string own = style && !style->folder.empty() ? style->folder : i_kit.folder;
    const std::string key = CardKey(i_kit, name);
    CardSet found{name, own, false};
    if (Current(own, name, key, found.facade)) {
      sets.push_back(found);
      continue;
    }
    found.folder = beside;
    if (Current(beside, name, key, found.facade)) {
      sets.push_back(found);
      continue;
    }
    if (!drew) drawn = MakeCardSheets(i_kit);
    drew = true;
    const auto sheet = std::find_if(drawn.begin(), drawn.end(), [&](const CardSheet& i_sheet) { return i_sheet.style == name; });
    if (sheet == drawn.end()) continue;
    const std::vector<CardFile> files = CardFilesOf(*sheet);
    std::string error;
    if (!std::all_of(files.begin(), files.end(), [&](const CardFile& i_file) {
          return Keep(SheetPath(beside, i_file.name), *i_file.bytes, error);
        })) {
      Ostrel::Message::PrintWarning(error + ": the cards of style '" + Ostrel::TextFile::Excerpt(name, name.size()) +
                                    "' keep flat tones");
      continue;
    }
    sets.push_back({name, beside, !sheet->facade.empty()});
  }
  return sets;
}

}  // namespace Towerkit
