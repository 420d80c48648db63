// Hip roofs over footprints other than rectangles, from the shipped kit's pieces where the
// layout's HipRoofCells puts them: one clean surface, open only at the walls' feet, and every
// corner of their slopes on the roof's height field, computed afresh from the cells; and gable roofs
// over wings, on the field of the cells with each wing's end carried on, drawn by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <ostrel/ext/MeshCheck.h>

#include "HipRoofs.h"
#include "ShippedKit.h"

namespace {

using HipRoofs::Mask;
namespace Check = Ostrel::MeshCheck;

using TestSupport::kShipped;

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
  HipRoofs::ForEachSlopeCorner(mesh, [&](const Ostrel::VectorF& v) {
    const long x = std::lround(v.x), y = std::lround(v.y), z = std::lround(v.z);
    const long distance = HipRoofs::SignedDistance(i_mask, x, z);
    if (y * 300 == pitch.thick * 300 + pitch.rise * distance) return;
    faults += " slope corner (" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(z) +
              ") off the field (" + std::to_string(distance) + " cm in);";
  });
  return faults;
}

// Gable roofs over wings: each drawn with its cells ('#') and its wing ends carried on ('e'), by
// hand, for the field: the hip roof's field of the cells and the carried cells together.
const std::vector<std::pair<std::string, Mask>>& GableShapes() {
  static const std::vector<std::pair<std::string, Mask>> shapes = {
      {"L of 3 and 4", {"", "", "", "...########eee", "...########eee", "...########eee", "...####", "...####",
                        "...####", "...####", "...####", "...eeee", "...eeee", "...eeee"}},
      {"T", {"", "", "", "eee#########eee", "eee#########eee", "eee#########eee", "eee#########eee", "......###",
             "......###", "......###", "......eee", "......eee", "......eee"}},
      {"U", {"...eee...eee", "...eee...eee", "...eee...eee", "...###...###", "...###...###", "...###...###",
             "...#########", "...#########", "...#########"}},
      {"H", {"...eee...eee", "...eee...eee", "...eee...eee", "...###...###", "...###...###", "...#########",
             "...#########", "...###...###", "...###...###", "...eee...eee", "...eee...eee", "...eee...eee"}},
      {"plus", {"......eee", "......eee", "......eee", "......###", "......###", "......###", "eee#########eee",
                "eee#########eee", "eee#########eee", "......###", "......###", "......###", "......eee",
                "......eee", "......eee"}},
  };
  return shapes;
}

// The mask with only the cells ('#'), or with the carried cells as cells too.
Mask Cells(const Mask& i_drawn, bool i_carried) {
  Mask cells = i_drawn;
  for (std::string& line : cells)
    for (char& c : line) c = c == '#' || (i_carried && c == 'e') ? '#' : '.';
  return cells;
}

// The gable roof as the layout lays it over the cells, its gable walls' panels included.
std::vector<HipRoofs::Placed> GableRoof(const Mask& i_cells, std::size_t& o_ends, std::string& o_fault) {
  std::vector<Ostrel::Buildings::HipCells> cells;
  std::vector<Ostrel::Buildings::GableEnd> ends;
  std::vector<HipRoofs::Placed> placed;
  if (!Ostrel::Buildings::GableRoofCells(HipRoofs::FootprintOf(i_cells), cells, ends, o_fault)) return placed;
  o_ends = ends.size();
  for (const Ostrel::Buildings::HipCells& run : cells) {
    for (long r = 0; r < run.rows; ++r)
      for (long c = 0; c < run.cells; ++c)
        placed.push_back({Ostrel::Buildings::RuleOf(run.kind).suffix, static_cast<long>(run.x) + r,
                          static_cast<long>(run.z) + c, static_cast<long>(run.step), run.xd, run.zd});
  }
  // Panel level p under the end's cells p + 1 .. cells - 2 - p, facing out: +x to (outX, outZ).
  for (const Ostrel::Buildings::GableEnd& end : ends) {
    for (long p = 0; 2 * p + 2 < end.cells; ++p)
      for (long i = p + 1; i <= end.cells - 2 - p; ++i)
        placed.push_back({"gablewall", static_cast<long>(end.x) + i * end.dx, static_cast<long>(end.z) + i * end.dz, p,
                          end.outZ, end.outX});
  }
  return placed;
}

TEST(HipRoofs, GableRoofsOverWingsAreOneSurfaceOnTheCarriedField) {
  for (const std::string& style : TestSupport::kShippedStyles) {
    PitchedRoofs::Kit kit(kShipped, style);
    const PitchedRoofs::Pitch pitch = PitchedRoofs::MeasurePitch(kit);
    for (const auto& [name, drawn] : GableShapes()) {
      const Mask cells = Cells(drawn, false), carried = Cells(drawn, true);
      std::string fault;
      std::size_t ends = 0;
      const Obj::Mesh mesh = HipRoofs::Assemble(kit, GableRoof(cells, ends, fault), pitch.rise);
      ASSERT_TRUE(fault.empty()) << name << ": " << fault;
      // Every end drawn: its carried cells are a block of their own.
      const std::size_t drawnEnds = name == "L of 3 and 4" || name == "U" ? 2 : name == "T" ? 3 : 4;
      EXPECT_EQ(ends, drawnEnds) << style << ", " << name;
      std::string faults;
      for (const Check::EdgeFinding& edge : Check::FindEdgeFaults(mesh)) {
        if (edge.fault == Check::EdgeFault::Open && edge.from.y == 0 && edge.to.y == 0) continue;
        faults += " edge from (" + std::to_string(edge.from.x) + ", " + std::to_string(edge.from.y) + ", " +
                  std::to_string(edge.from.z) + ");";
      }
      if (!Check::FindOverlaps(mesh).empty()) faults += " overlaps;";
      HipRoofs::ForEachSlopeCorner(mesh, [&](const Ostrel::VectorF& v) {
        const long x = std::lround(v.x), y = std::lround(v.y), z = std::lround(v.z);
        const long distance = HipRoofs::SignedDistance(carried, x, z);
        if (y * 300 != pitch.thick * 300 + pitch.rise * distance)
          faults += " slope corner (" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(z) +
                    ") off the field;";
      });
      EXPECT_TRUE(faults.empty()) << style << ", " << name << ":" << faults.substr(0, 1500);
    }
  }
}

TEST(HipRoofs, EveryShapeIsOneSurfaceOnTheField) {
  for (const std::string& style : TestSupport::kShippedStyles) {
    PitchedRoofs::Kit kit(kShipped, style);
    for (const auto& [name, mask] : Shapes()) {
      const std::string faults = Faults(kit, mask);
      EXPECT_TRUE(faults.empty()) << style << ", " << name << ":" << faults.substr(0, 1500);
    }
  }
}

}  // namespace
