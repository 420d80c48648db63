#pragma once
// The lines of --stats: after "Done!", one info line about each output file written.

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/scene/Stats.h>

namespace Towerkit {

// One line about the mesh file at i_path (bytes, triangles, vertices, materials, bounds in the
// output's units, footprint and height in metres), and one about its material library at
// i_libraryPath when that is not empty. i_scene is what was written, framed as i_framing says,
// i_report its report.
// Metres are the kit's own units: the shipped kit is made in metres.
void ReportStats(const std::string& i_path, const std::string& i_libraryPath, const Ostrel::Buildings::Scene& i_scene,
                 const Ostrel::Buildings::Framing& i_framing, const Ostrel::Buildings::SceneReport& i_report);

// One line about each texture sheet the output names beside it, in i_folder: its bytes and its
// size in pixels.
void ReportSheetStats(const std::string& i_folder,
                      const std::vector<Ostrel::Buildings::OutputSheet>& i_sheets);

// The text of such a line, from the numbers.
std::string StatsLine(const std::string& i_path, std::uintmax_t i_bytes, const Ostrel::Buildings::SceneStats& i_stats,
                      const Ostrel::Buildings::SceneReport& i_report, const Ostrel::Buildings::Kit& i_kit, bool i_kitUnits);

}  // namespace Towerkit
