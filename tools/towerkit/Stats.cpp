// The lines of --stats.

#include "Stats.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <ostrel/ext/Png.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/TextFile.h>

#include "SheetFiles.h"

namespace Towerkit {

namespace {

// A number as at most six significant digits ("3.38", "10.15", "0").
std::string Number(double i_value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", i_value + 0.0);
  return text;
}

// The file's size, when it is a regular file.
bool FileBytes(const std::string& i_path, std::uintmax_t& o_bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(i_path, ec)) return false;
  o_bytes = std::filesystem::file_size(i_path, ec);
  return !ec;
}

std::string BytesText(const std::string& i_path) {
  std::uintmax_t bytes = 0;
  return FileBytes(i_path, bytes) ? std::to_string(bytes) + " bytes" : std::string("not a regular file");
}

}  // namespace

std::string StatsLine(const std::string& i_path, std::uintmax_t i_bytes, const Ostrel::Buildings::SceneStats& i_stats,
                      const Ostrel::Buildings::SceneReport& i_report, const Ostrel::Buildings::Kit& i_kit, bool i_kitUnits) {
  std::string line = "Stats '" + i_path + "': " + std::to_string(i_bytes) + " bytes, " +
                     std::to_string(i_stats.triangles + i_report.extraTriangles) + " triangles, " +
                     std::to_string(i_stats.vertices + i_report.extraVertices) + " vertices, " +
                     std::to_string(i_stats.materials) + " materials";
  if (i_stats.min[0] > i_stats.max[0]) return line + ", nothing placed";
  line += ", bounds";
  const char* axes[3] = {" x ", ", y ", ", z "};
  for (int k = 0; k < 3; ++k) line += axes[k] + Number(i_stats.min[k]) + " to " + Number(i_stats.max[k]);
  line += i_kitUnits ? " (the kit's units)" : " (cell units)";
  // In cell units, the unit size turns a size into the kit's units: metres for a kit made in metres.
  const double width = (i_stats.max[0] - i_stats.min[0]) * (i_kitUnits ? 1 : i_kit.unitWidth);
  const double length = (i_stats.max[2] - i_stats.min[2]) * (i_kitUnits ? 1 : i_kit.unitLength);
  const double height = (i_stats.max[1] - i_stats.min[1]) * (i_kitUnits ? 1 : i_kit.unitHeight);
  return line + ", footprint " + Number(width) + " x " + Number(length) + " m, height " + Number(height) + " m";
}

void ReportStats(const std::string& i_path, const std::string& i_libraryPath, const Ostrel::Buildings::Scene& i_scene,
                 const Ostrel::Buildings::Framing& i_framing, const Ostrel::Buildings::SceneReport& i_report) {
  const Ostrel::Buildings::SceneStats stats = Ostrel::Buildings::MeasureScene(i_scene, i_framing);
  std::uintmax_t bytes = 0;
  if (!FileBytes(i_path, bytes)) bytes = 0;
  Ostrel::Message::PrintInfo(StatsLine(i_path, bytes, stats, i_report, *i_scene.kit, i_framing.kitUnits));
  if (i_libraryPath.empty() || !i_report.usesMaterials) return;
  Ostrel::Message::PrintInfo("Stats '" + i_libraryPath + "': " + BytesText(i_libraryPath) + ", " +
                             std::to_string(stats.materials) + " materials");
}

void ReportSheetStats(const std::string& i_folder,
                      const std::vector<Ostrel::Buildings::OutputSheet>& i_sheets) {
  for (const Ostrel::Buildings::OutputSheet& sheet : i_sheets) {
    const std::string path = SheetPath(i_folder, sheet.name);
    std::string line = "Stats '" + Ostrel::TextFile::Excerpt(path, path.size()) + "': " + BytesText(path);
    std::uint32_t width = 0, height = 0;
    if (Png::HeaderSize(sheet.bytes, width, height))
      line += ", " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    Ostrel::Message::PrintInfo(line + ", a texture sheet");
  }
}

}  // namespace Towerkit
