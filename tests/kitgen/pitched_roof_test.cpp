// The shipped kit's pitched roof pieces: gable and hip roofs of every size from 2 to 12 cells,
// both ridge directions, assembled on a last storey as the layout places them, are one clean
// surface with that storey, as high as their rise makes them; their eaves clear the storey's
// trims, and each piece keeps to its cell.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include <ostrel/ext/MeshCheck.h>

#include "PitchedRoofs.h"
#include "ShippedKit.h"

namespace {

using namespace PitchedRoofs;
namespace Check = Ostrel::MeshCheck;

using TestSupport::kShipped;
constexpr long kBase = -300;  // the foot of the last storey, where the building stays open

std::string Name(Roof i_roof) {
  return i_roof == Roof::Hip ? "hip" : i_roof == Roof::GableAlongZ ? "gable along z" : "gable along x";
}

// What is wrong with one roof on its storey, or nothing.
std::string Faults(Kit& io_kit, Roof i_roof, int i_nx, int i_nz) {
  const Obj::Mesh mesh = Building(io_kit, i_roof, i_nx, i_nz);
  std::string faults;
  for (const Check::EdgeFinding& edge : Check::FindEdgeFaults(mesh)) {
    if (edge.fault == Check::EdgeFault::Open && edge.from.y == kBase && edge.to.y == kBase) continue;
    faults += std::string(edge.fault == Check::EdgeFault::Open ? " open" : " flipped or crowded") + " edge at (" +
              std::to_string(edge.from.x) + ", " + std::to_string(edge.from.y) + ", " + std::to_string(edge.from.z) +
              ");";
  }
  for (const Check::OverlapFinding& overlap : Check::FindOverlaps(mesh))
    faults += " faces " + std::to_string(overlap.first) + " and " + std::to_string(overlap.second) + " overlap;";
  if (!Check::FindNormalsAgainstWinding(mesh).empty()) faults += " normals against the winding;";

  const Pitch pitch = MeasurePitch(io_kit);
  const int span = i_roof == Roof::Hip ? std::min(i_nx, i_nz) : i_roof == Roof::GableAlongZ ? i_nx : i_nz;
  float top = 0;
  for (const Ostrel::VectorF& v : mesh.vertices) top = std::max(top, v.y);
  const long expected = span * pitch.rise / 2 + pitch.thick;
  if (top != static_cast<float>(expected))
    faults += " highest point " + std::to_string(top) + " instead of " + std::to_string(expected) + ";";
  return faults;
}

TEST(PitchedRoofs, EveryRoofIsOneSurfaceWithTheLastStorey) {
  for (const std::string& style : TestSupport::kShippedStyles) {
    Kit kit(kShipped, style);
    for (const Roof roof : {Roof::GableAlongZ, Roof::GableAlongX, Roof::Hip}) {
      std::size_t failed = 0;
      for (int nx = 2; nx <= 12; ++nx) {
        for (int nz = 2; nz <= 12; ++nz) {
          const std::string faults = Faults(kit, roof, nx, nz);
          if (faults.empty() || ++failed > 3) continue;
          ADD_FAILURE() << style << ", " << Name(roof) << ", " << nx << " x " << nz << ":"
                        << faults.substr(0, 600);
        }
      }
      EXPECT_EQ(failed, 0u) << style << ", " << Name(roof) << ": footprints with faults";
    }
  }
}

// The rise suits the style (a shallow roof of metal or felt; a tiled one of 30 to 40 degrees), and every
// corner lies on the centimetre grid, inside its cell but for an eave's overhang in front of its
// facade (both facades at a corner).
TEST(PitchedRoofs, PiecesKeepToTheGridAndTheirCell) {
  const char* const kinds[] = {"eave", "slope", "ridge", "eavecorner", "hip", "ridgeend", "peak", "eavegableleft",
                               "eavegableright", "slopegableleft", "slopegableright", "ridgegable", "gablewall"};
  for (const std::string& style : TestSupport::kShippedStyles) {
    Kit kit(kShipped, style);
    const long rise = MeasurePitch(kit).rise;
    EXPECT_TRUE(std::string(style) != "B" ? rise >= 40 && rise <= 80 : rise >= 170 && rise <= 250) << rise;
    for (const std::string kind : kinds) {
      const Piece& piece = kit.get(kind);
      const long outX = kind.rfind("eave", 0) == 0 ? 450 : 150, outZ = kind == "eavecorner" ? 450 : 150;
      for (std::size_t k = 0; k < piece.cm.size(); ++k) {
        const Ostrel::VectorF& v = piece.mesh.vertices[k];
        const auto& p = piece.cm[k];
        const bool onGrid = std::fabs(v.x * 100.0 - p[0]) + std::fabs(v.y * 100.0 - p[1]) +
                                std::fabs(v.z * 100.0 - p[2]) < 1e-3;
        const bool inCell = p[0] >= -150 && p[0] <= outX && p[2] >= -150 && p[2] <= outZ && p[1] >= -150;
        EXPECT_TRUE(onGrid && inCell) << style << "_" << kind << " at (" << v.x << ", " << v.y << ", " << v.z << ")";
      }
    }
  }
}

// Nothing of the last storey's pieces reaches up into the eave: every corner in front of the
// facade lies on or under the soffit, which falls by the rise over a cell from the wall's top
// edge (x = 150, or the nearer facade at a corner). At -h 0 and 1 the ground storey is the last,
// with the shop front's sign band close under the eave.
TEST(PitchedRoofs, EavesClearTheLastStorey) {
  for (const std::string& style : TestSupport::kShippedStyles) {
    Kit kit(kShipped, style);
    const long rise = MeasurePitch(kit).rise;
    for (const std::string kind :
         {"floor", "floorclose", "floor.1", "floor.2", "balcony", "angle", "ground", "grounddoor", "groundclose"}) {
      // The shop front has no variants.
      if (std::string(style) == "S" && kind.find('.') != std::string::npos) continue;
      for (const auto& p : kit.get(kind).cm) {
        const long out = kind == "angle" ? std::max(p[0], p[2]) : p[0];
        if (out <= 150) continue;
        EXPECT_LE(300 * (p[1] - 300), -rise * (out - 150))
            << style << "_" << kind << " at (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
      }
    }
  }
}

}  // namespace
