// Pitched roofs as the layout lays them from the shipped kit's pieces: every gable (either ridge)
// and hip roof of spans from 2 to 12 cells, odd and even, on one storey, is one closed surface
// with the storey (open only at the base), with no faces over each other, and tops out where the
// pieces' rise puts it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>

#include "lint/LintBuildings.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

struct Roofed {
  RoofShape roof;
  RidgeAxis ridge;
  const char* name;
};

constexpr Roofed kRoofs[] = {{RoofShape::Gable, RidgeAxis::Longer, "gable"},
                             {RoofShape::Gable, RidgeAxis::X, "gable x"},
                             {RoofShape::Gable, RidgeAxis::Z, "gable z"},
                             {RoofShape::Hip, RidgeAxis::Longer, "hip"}};

// The highest y (storeys) that the building's placed vertices reach.
float HighestPoint(const Plan& i_plan, const Kit& i_kit) {
  float highest = -1e30f;
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    const PlacementFloats at = FloatsOf(i_placement);
    for (const Ostrel::VectorF& p : i_kit.piece(i_placement.piece).positions) {
      float xyz[3];
      PlacePosition(p, at, Frame{}, xyz);
      highest = std::max(highest, xyz[1]);
    }
  });
  return highest;
}

TEST(PitchedRoofLayout, EveryRoofIsOneClosedSurfaceAndTopsOutAtItsRise) {
  const Kit kit = LoadKit(kShipped, {"A", "B"});
  ASSERT_TRUE(kit.measured());
  const std::vector<std::int64_t> spans = {0, 1, 2, 3, 4, 5, 10};  // cells between the corners
  for (const char* style : {"A", "B"}) {
    const KitStyle& pieces = *kit.style(style);
    const Piece& slope = kit.piece(pieces.piece(PieceKind::Slope));
    float slopeTop = -1e30f;
    for (const Ostrel::VectorF& p : slope.positions) slopeTop = std::max(slopeTop, p.y);
    std::vector<PieceId> same(kit.pieces.size());
    for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
    const std::vector<char> none(kit.pieces.size(), 0);
    for (const Roofed& roofed : kRoofs) {
      for (const std::int64_t w : spans) {
        for (const std::int64_t l : spans) {
          Request request = MakeRequest(style, "SC", {}, {}, static_cast<int>(w), static_cast<int>(l), 1);
          request.roof = roofed.roof;
          request.ridge = roofed.ridge;
          const Plan plan = MakePlan(request, kit);
          BuildingFaults faults;
          CheckBuilding(plan, kit, same, none, faults);
          const std::string what = std::string(style) + " " + roofed.name + " " + std::to_string(w + 2) + " x " +
                                   std::to_string(l + 2) + " cells";
          EXPECT_TRUE(faults.open.empty()) << what << ": " << faults.open.size() << " groups of open edges";
          EXPECT_TRUE(faults.shared.empty()) << what << ": " << faults.shared.size() << " shared edges";
          EXPECT_TRUE(faults.overlaps.empty()) << what << ": " << faults.overlaps.size() << " overlaps";

          // The span the roof climbs across: the gable's across its ridge, the hip's shorter side.
          const std::int64_t X = request.cellsAlongX, Z = request.cellsAlongZ;
          const bool alongZ =
              roofed.ridge == RidgeAxis::Z || (roofed.ridge == RidgeAxis::Longer && Z >= X);
          const std::int64_t span = roofed.roof == RoofShape::Hip ? std::min(X, Z) : (alongZ ? X : Z);
          const float expected = 1.0f + static_cast<float>(span) * pieces.rise / 2 + (slopeTop - pieces.rise);
          EXPECT_NEAR(HighestPoint(plan, kit), expected, 1e-4f) << what;

          // At a height of 0 the roof stands on the ground storey as at 1, not inside it.
          request.rows = 1;
          EXPECT_NEAR(HighestPoint(MakePlan(request, kit), kit), expected, 1e-4f) << what << ", height 0";
        }
      }
    }
  }
}

}  // namespace
