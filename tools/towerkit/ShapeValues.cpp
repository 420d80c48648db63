// Setbacks and storey bands read from the command line or a city file, and checked.

#include "ShapeValues.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/HipRoof.h>
#include <ostrel/layout/Setbacks.h>
#include <ostrel/utils/TextFile.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/NumberFormat.h>

namespace Towerkit {

namespace {

bool Refuse(const char* i_kind, const std::string& i_value, const std::string& i_why, ShapeFault& o_fault) {
  o_fault = {i_kind, i_value, i_why};
  return false;
}

// "3 x 3 x 3": a cell across, a storey up, a cell along (file units).
std::string UnitSize(const Ostrel::Buildings::Kit& i_kit) {
  return Ostrel::Format::FloatToString(i_kit.unitWidth) + " x " + Ostrel::Format::FloatToString(i_kit.unitHeight) +
         " x " + Ostrel::Format::FloatToString(i_kit.unitLength);
}

}  // namespace

bool ReadShape(const std::vector<std::string>& i_setbacks, const std::vector<std::string>& i_bands,
               const std::set<std::string>& i_styles, Ostrel::Buildings::Request& io_request, ShapeFault& o_fault) {
  using namespace Ostrel::Buildings;
  std::string why;
  for (const std::string& text : i_setbacks) {
    Setback setback;
    if (!ParseSetback(text, setback, why)) return Refuse("setback", text, why, o_fault);
    io_request.setbacks.push_back(setback);
    why = SetbackFault(io_request, io_request.setbacks.size() - 1);
    if (!why.empty()) return Refuse("setback", text, why, o_fault);
  }
  for (const std::string& text : i_bands) {
    Band band;
    if (!ParseBand(text, band, why)) return Refuse("band", text, why, o_fault);
    if (i_styles.count(band.style) == 0 || band.style == Ostrel::Buildings::kBaseStyle) {
      return Refuse("band", text,
                    " names style '" + Ostrel::TextFile::Excerpt(band.style) + "', which the units folder does not have (-k lists them)",
                    o_fault);
    }
    io_request.bands.push_back(band);
    why = BandFault(io_request, io_request.bands.size() - 1);
    if (!why.empty()) return Refuse("band", text, why, o_fault);
  }
  return true;
}

bool ReadFootprint(const std::string& i_value, const std::string& i_baseFolder, Ostrel::Buildings::Request& io_request,
                   std::string& o_why) {
  using namespace Ostrel::Buildings;
  Footprint footprint;
  if (i_value.empty() || i_value[0] != '@') {
    std::string why;
    if (!ParseOutline(i_value, footprint, why)) {
      o_why = ": " + why;
      return false;
    }
    SetFootprint(io_request, footprint);
    return true;
  }
  std::string file = i_value.substr(1);
  if (!file.empty() && file[0] != '/' && !i_baseFolder.empty()) file = i_baseFolder + "/" + file;
  // A mask is a small drawing; a file larger than this is not one.
  constexpr std::uint64_t kMaxMaskBytes = std::uint64_t{64} << 20;
  std::string text;
  const Ostrel::FileSystem::ReadResult read = Ostrel::FileSystem::ReadFile(file, kMaxMaskBytes, text);
  if (read.status != Ostrel::FileSystem::ReadStatus::Ok) {
    o_why = ": footprint file '" + Ostrel::TextFile::Excerpt(file, file.size()) + "' " + Ostrel::TextFile::Describe(read);
    return false;
  }
  std::size_t line = 0, column = 0;
  std::string why;
  if (!ParseMask(text, footprint, line, column, why)) {
    o_why = ": footprint file '" + Ostrel::TextFile::Excerpt(file, file.size()) + "'" +
            (line > 0 ? ", line " + std::to_string(line) + ", column " + std::to_string(column) : std::string()) +
            ": " + why;
    return false;
  }
  SetFootprint(io_request, footprint);
  return true;
}

std::string FootprintShapeFault(const Ostrel::Buildings::Request& i_request) {
  if (!i_request.footprint) return "";
  // The roof stands on the top block: above the last setback, on the cells it leaves.
  const Ostrel::Buildings::Footprint top =
      Ostrel::Buildings::BlockFootprintOf(i_request, i_request.setbacks.size());
  const std::string on = i_request.setbacks.empty() ? "" : " over the block above the last setback";
  if (i_request.roof == Ostrel::Buildings::RoofShape::Hip) {
    std::vector<Ostrel::Buildings::HipCells> cells;
    std::string fault;
    if (!Ostrel::Buildings::HipRoofCells(top, cells, fault)) return ": a hip roof (--roof hip)" + on + ": " + fault;
  }
  if (i_request.roof == Ostrel::Buildings::RoofShape::Gable) {
    std::vector<Ostrel::Buildings::HipCells> cells;
    std::vector<Ostrel::Buildings::GableEnd> ends;
    std::string fault;
    if (!Ostrel::Buildings::GableRoofCells(top, cells, ends, fault))
      return ": a gable roof (--roof gable)" + on + ": " + fault;
  }
  return "";
}

bool BandUnitsMatch(const std::vector<std::string>& i_folders, const Ostrel::Buildings::Request& i_request,
                    std::string& o_error) {
  using namespace Ostrel::Buildings;
  if (i_folders.size() <= 1 || i_request.bands.empty()) return true;
  std::vector<std::vector<std::string>> entries(i_folders.size());
  for (std::size_t i = 0; i < i_folders.size(); ++i) Ostrel::FileSystem::GetFilesFromFolder(i_folders[i], entries[i]);
  const std::string home = StyleFolder(i_folders, entries, i_request.style);
  const Kit own = LoadKit(home, {});
  if (!own.measured()) return true;
  for (const Band& band : i_request.bands) {
    const std::string folder = StyleFolder(i_folders, entries, band.style);
    if (folder == home) continue;
    const Kit other = LoadKit(folder, {});
    if (!other.measured() || (other.unitWidth == own.unitWidth && other.unitHeight == own.unitHeight &&
                              other.unitLength == own.unitLength))
      continue;
    o_error = "Styles '" + i_request.style + "' and '" + band.style + "' have different unit sizes: " + UnitSize(own) +
              " in '" + home + "' and " + UnitSize(other) + " in '" + folder +
              "': a band joins storeys of one unit size only";
    return false;
  }
  return true;
}

std::vector<std::string> StylesOfRequest(const Ostrel::Buildings::Request& i_request) {
  std::vector<std::string> styles{i_request.style};
  for (const Ostrel::Buildings::Band& band : i_request.bands) styles.push_back(band.style);
  return styles;
}

}  // namespace Towerkit
