// Hip roofs over footprints other than rectangles, from the shipped kit's pieces where the
// layout's HipRoofCells puts them: one clean surface, open only at the walls' feet, and every
// corner of their slopes on the roof's height field, computed afresh from the cells.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <ostrel/ext/MeshCheck.h>

#include "HipRoofs.h"

namespace {

using HipRoofs::Mask;
namespace Check = Ostrel::MeshCheck;

const std::string kUnits = std::string(TOWERKIT_SOURCE_DIR) + "/units";
const char* const kStyles[] = {"A", "B"};

// Wings of odd and even widths, equal and not, so that ridges of different heights meet.
const std::vector<std::pair<std::string, Mask>>& Shapes() {
  static const std::vector<std::pair<std::string, Mask>> shapes = {
      {"L", {"###.....", "###.....", "###.....", "########", "########", "########"}},
      {"L of 3 and 4", {"###......", "###......", "###......", "#########", "#########", "#########", "#########"}},
      {"T", {"#########", "#########", "#########", "#########", "...###...", "...###...", "...###..."}},
      {"U", {"###..###", "###..###", "###..###", "########", "########"}},
      {"H", {"###...###", "###...###", "#########", "#########", "###...###", "###...###"}},
      {"O", {"##########", "##########", "###....###", "###....###", "###....###", "##########", "##########"}},
      {"plus", {"...###...", "...###...", "#########", "#########", "#########", "...###...", "...###..."}},
      {"stairs", {"##......", "###.....", "####....", "#####...", "######..", "########", "########"}},
      {"steps of two", {"##......", "##......", "####....", "####....", "######..", "######..", "########", "########"}},
      {"Z", {"#####...", "#####...", "..######", "..######", "......##", "......##"}},
  };
  return shapes;
}

// What is wrong with the roof over the cells, or nothing.
std::string Faults(PitchedRoofs::Kit& io_kit, const Mask& i_mask) {
  std::string fault;
  const std::vector<HipRoofs::Placed> roof = HipRoofs::Roof(i_mask, fault);
  if (!fault.empty()) return " " + fault;
  const PitchedRoofs::Pitch pitch = PitchedRoofs::MeasurePitch(io_kit);
  const Obj::Mesh mesh = HipRoofs::Assemble(io_kit, roof, pitch.rise);
  std::string faults;
  for (const Check::EdgeFinding& edge : Check::FindEdgeFaults(mesh)) {
    if (edge.fault == Check::EdgeFault::Open && edge.from.y == 0 && edge.to.y == 0) continue;
    faults += std::string(edge.fault == Check::EdgeFault::Open ? " open" : " flipped or crowded") + " edge from (" +
              std::to_string(edge.from.x) + ", " + std::to_string(edge.from.y) + ", " + std::to_string(edge.from.z) +
              ") to (" + std::to_string(edge.to.x) + ", " + std::to_string(edge.to.y) + ", " +
              std::to_string(edge.to.z) + ");";
  }
  for (const Check::OverlapFinding& overlap : Check::FindOverlaps(mesh))
    faults += " faces " + std::to_string(overlap.first) + " and " + std::to_string(overlap.second) + " overlap;";
  if (!Check::FindNormalsAgainstWinding(mesh).empty()) faults += " normals against the winding;";

  // The slopes' corners: the slab's top, its thickness above the field.
  std::size_t corner = 0;
  for (std::size_t face = 0; face < mesh.polycount.size(); ++face) {
    const bool slope = mesh.materials.at(mesh.faceMaterials[face]).find("_roofing") != std::string::npos;
    for (std::uint32_t k = 0; k < mesh.polycount[face]; ++k, ++corner) {
      if (!slope) continue;
      const Ostrel::VectorF& v = mesh.vertices[mesh.corners[corner].v];
      const long x = std::lround(v.x), y = std::lround(v.y), z = std::lround(v.z);
      const long distance = HipRoofs::SignedDistance(i_mask, x, z);
      if (y * 300 == pitch.thick * 300 + pitch.rise * distance) continue;
      faults += " slope corner (" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(z) +
                ") off the field (" + std::to_string(distance) + " cm in);";
      break;
    }
  }
  return faults;
}

TEST(HipRoofs, EveryShapeIsOneSurfaceOnTheField) {
  for (const char* style : kStyles) {
    PitchedRoofs::Kit kit(kUnits, style);
    for (const auto& [name, mask] : Shapes()) {
      const std::string faults = Faults(kit, mask);
      EXPECT_TRUE(faults.empty()) << style << ", " << name << ":" << faults.substr(0, 1500);
    }
  }
}

}  // namespace
