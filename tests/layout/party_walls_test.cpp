// Party walls: facade cells against a neighbour take no window, door or balcony; those left out
// for the neighbour's wall lay nothing on their storeys and the bare roof slab on the roof row,
// their corners only the other side's wall; the plan stays folded along them.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>

#include "lint/LintBuildings.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

bool Faces(const Placement& i_placement, std::int8_t i_xd, std::int8_t i_zd) {
  return i_placement.xd == i_xd && i_placement.zd == i_zd;
}

// 5 x 5 cells, 4 storeys, its east side (z = 4, x 0 to -4, corners included) against a taller
// neighbour: left out on the two lowest storeys, closed above, its roof row bare. The request
// asks for a door and balconies there.
TEST(PartyWalls, TheWallTakesNoOpeningAndGivesWayBelowTheNeighboursTop) {
  const Kit kit = LoadKit(kShipped, {"A"});
  const KitStyle& style = *kit.style("A");
  const auto piece = [&](PieceKind i_kind) { return style.piece(i_kind); };
  Request request = MakeRequest("A", "EC", {"EA", "NA"}, {}, 3, 3, 4);
  request.partyWalls.push_back({'E', {-4, 0, 4, 4}, 2, true, 0});
  const Plan plan = MakePlan(request, kit);
  int closedAbove = 0, caps = 0, cornerWalls = 0, northBalconies = 0;
  ForEachPlacement(plan, kit, [&](const Placement& p) {
    if (p.piece == piece(PieceKind::Balcony) && p.z < 4) ++northBalconies;
    if (p.z != 4) return;
    const bool corner = p.x == 0 || p.x == -4;
    const std::string where = "x " + std::to_string(p.x) + ", level " + std::to_string(p.level);
    EXPECT_NE(p.piece, piece(PieceKind::GroundDoor)) << where;
    EXPECT_NE(p.piece, piece(PieceKind::Balcony)) << where;
    if (p.level < 2) {
      // Only the corners' north and south walls, running on to the neighbour's.
      EXPECT_TRUE(corner) << where;
      EXPECT_TRUE(Faces(p, 0, p.x == 0 ? 1 : -1)) << where;
      EXPECT_EQ(p.piece, piece(p.level == 0 ? PieceKind::GroundClose : PieceKind::FloorClose)) << where;
      cornerWalls += 1;
    } else if (p.level < 4) {
      if (!corner) {
        EXPECT_EQ(p.piece, piece(PieceKind::FloorClose)) << where;
        EXPECT_TRUE(Faces(p, 1, 0)) << where;
        ++closedAbove;
      } else {
        EXPECT_EQ(p.piece, piece(PieceKind::Angle)) << where;
      }
    } else if (corner) {
      // The parapet of the corner's other side, with the lip beside the bare cap's, its coping
      // and band stopping short of the neighbour's.
      EXPECT_EQ(p.piece, piece(p.x == 0 ? PieceKind::RoofPartyShortLeft : PieceKind::RoofPartyShortRight)) << where;
      EXPECT_TRUE(Faces(p, 0, p.x == 0 ? 1 : -1)) << where;
    } else {
      // Its top storey's wall stays: the cap with the lip.
      EXPECT_EQ(p.piece, piece(PieceKind::RoofCapParty)) << where;
      ++caps;
    }
  });
  EXPECT_EQ(cornerWalls, 4);
  EXPECT_EQ(closedAbove, 6);
  EXPECT_EQ(caps, 3);
  EXPECT_GT(northBalconies, 0);  // the other sides keep what they ask for
}

// The storey standing on a lower neighbour's roof is walled as over a terrace, the storeys above
// and below it as closed walls; over its own wall below, by the piece whose underside is open
// there, unless the wall below is left out or the style lacks it.
TEST(PartyWalls, TheStoreyOnALowerRoofStandsAsOverATerrace) {
  Kit kit = LoadKit(kShipped, {"B"});
  const KitStyle& style = *kit.style("B");
  Request request = MakeRequest("B", "  ", {}, {}, 3, 3, 5);
  request.partyWalls.push_back({'S', {-4, -4, 1, 3}, 0, false, 2});
  const auto count = [&](PieceKind i_onRoof) {
    std::vector<int> onTerrace(6, 0), closed(6, 0);
    ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
      if (p.x != -4 || p.z < 1 || p.z > 3 || p.level > 4) return;
      if (p.piece == style.piece(i_onRoof)) ++onTerrace[static_cast<std::size_t>(p.level)];
      if (p.piece == style.piece(PieceKind::FloorClose) || p.piece == style.piece(PieceKind::GroundClose))
        ++closed[static_cast<std::size_t>(p.level)];
    });
    const int below = request.partyWalls.back().hidden > 0 ? 0 : 3;
    EXPECT_EQ(closed, (std::vector<int>{below, below, 0, 3, 3, 0}));
    return onTerrace;
  };
  EXPECT_EQ(count(PieceKind::TerraceFloorCloseParty), (std::vector<int>{0, 0, 3, 0, 0, 0}));
  request.partyWalls.back().hidden = 2;  // the wall below left out: the piece closes its underside
  EXPECT_EQ(count(PieceKind::TerraceFloorClose)[2], 3);
  request.partyWalls.back().hidden = 0;
  kit.pieces[style.piece(PieceKind::TerraceFloorCloseParty)].fault = PieceFault::NotFound;  // a style without it
  EXPECT_EQ(count(PieceKind::TerraceFloorClose), (std::vector<int>{0, 0, 3, 0, 0, 0}));
}

// A closed party wall behind which the neighbour stands (up to its roof row, level 1 here) takes
// the party wall pieces, whose bands are stubs (none where two of them meet); above the
// neighbour, and in a style without them, the plain closed walls.
TEST(PartyWalls, AClosedWallWithTheNeighbourBehindItTakesTheStubbedBands) {
  Kit kit = LoadKit(kShipped, {"A"});
  const KitStyle& style = *kit.style("A");
  Request request = MakeRequest("A", "  ", {}, {}, 3, 3, 4);
  PartyWall wall{'S', {-4, -4, 1, 3}};
  wall.behind = 2;
  request.partyWalls.push_back(wall);
  const auto count = [&](std::vector<PieceKind> i_kinds) {
    std::vector<int> found(4, 0);
    ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
      if (p.x != -4 || p.z < 1 || p.z > 3 || p.level > 3) return;
      for (const PieceKind kind : i_kinds)
        found[static_cast<std::size_t>(p.level)] += p.piece == style.piece(kind) ? 1 : 0;
    });
    return found;
  };
  using K = PieceKind;
  EXPECT_EQ(count({K::GroundCloseParty, K::GroundClosePartyJoinLeft, K::GroundClosePartyJoinRight,
                   K::GroundClosePartyJoin, K::FloorCloseParty, K::FloorClosePartyJoinLeft,
                   K::FloorClosePartyJoinRight, K::FloorClosePartyJoin}),
            (std::vector<int>{3, 3, 0, 0}));
  EXPECT_EQ(count({K::GroundClose, K::FloorClose}), (std::vector<int>{0, 0, 3, 3}));
  kit.pieces[style.piece(PieceKind::FloorCloseParty)].fault = PieceFault::NotFound;  // a style without it
  EXPECT_EQ(count({K::GroundClose, K::FloorClose}), (std::vector<int>{0, 3, 3, 3}));
}

// A kept wall's corner cells beside the neighbour take the party corner, whose bands stop short
// of the party line instead of wrapping round into the neighbour's front, or, in a style without
// it, the closed walls of both sides; above the neighbour the corner piece stands again.
TEST(PartyWalls, AKeptWallsCornersBesideTheNeighbourTakeNoCornerPiece) {
  Kit kit = LoadKit(kShipped, {"A"});
  const KitStyle& style = *kit.style("A");
  Request request = MakeRequest("A", "  ", {}, {}, 3, 3, 4);
  request.partyWalls.push_back({'W', {-4, 0, 0, 0}, 0, false, 0, 2});
  const auto count = [&](PieceKind i_kind) {
    std::vector<int> found(5, 0);
    ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
      if (p.z != 0 || (p.x != 0 && p.x != -4)) return;
      const bool closed = p.piece == style.piece(PieceKind::FloorClose) || p.piece == style.piece(PieceKind::GroundClose);
      if (p.piece == style.piece(i_kind) || (i_kind == PieceKind::FloorClose && closed))
        ++found[static_cast<std::size_t>(p.level)];
    });
    return found;
  };
  // The west side is the north-west corner's +x side and the south-west corner's +z side.
  EXPECT_EQ(count(PieceKind::AnglePartyLeft), (std::vector<int>{1, 1, 0, 0, 0}));
  EXPECT_EQ(count(PieceKind::AnglePartyRight), (std::vector<int>{1, 1, 0, 0, 0}));
  EXPECT_EQ(count(PieceKind::Angle), (std::vector<int>{0, 0, 2, 2, 0}));
  for (const PieceKind kind : {PieceKind::AnglePartyLeft, PieceKind::AnglePartyRight})
    kit.pieces[style.piece(kind)].fault = PieceFault::NotFound;  // a style without the one-sided ones
  EXPECT_EQ(count(PieceKind::AngleParty), (std::vector<int>{2, 2, 0, 0, 0}));
  kit.pieces[style.piece(PieceKind::AngleParty)].fault = PieceFault::NotFound;  // a style without any
  EXPECT_EQ(count(PieceKind::AngleParty), (std::vector<int>{0, 0, 0, 0, 0}));
  EXPECT_EQ(count(PieceKind::Angle), (std::vector<int>{0, 0, 2, 2, 0}));
  EXPECT_EQ(count(PieceKind::FloorClose), (std::vector<int>{4, 4, 0, 0, 0}));
}

// Where the neighbour's cells stand beyond the end of a corner's side on a kept wall, its front
// elsewhere, the corner takes the party corner up to the neighbour's roof row, facing as the
// corner piece would; the corner at the wall's other end, against nothing, keeps the corner piece,
// and so does the storey on a lower neighbour's roof.
TEST(PartyWalls, ACornerWhoseEndStandsAgainstTheNeighbourTakesThePartyCorner) {
  const Kit kit = LoadKit(kShipped, {"A", "B"});
  for (const char* name : {"A", "B"}) {
    const KitStyle& style = *kit.style(name);
    // 5 x 5 cells, 4 storeys and the roof row (level 4).
    const Request plain = MakeRequest(name, "  ", {}, {}, 3, 3, 4);
    std::vector<Placement> corners;
    ForEachPlacement(MakePlan(plain, kit), kit, [&](const Placement& p) {
      if (p.piece == style.piece(PieceKind::Angle) || p.piece == style.piece(PieceKind::AngleRoof)) corners.push_back(p);
    });
    Request request = plain;
    // The north side (x 0), corners included: the neighbour beyond the north-west corner's end
    // (z 0) only, as tall; the south-east corner's east side against a neighbour of one storey,
    // whose roof the corner's second storey stands on.
    request.partyWalls.push_back({'N', {0, 0, 0, 0}, 0, false, 0, 0, 5});
    request.partyWalls.push_back({'N', {0, 0, 1, 3}, 0, false, 0, 0, 0});
    request.partyWalls.push_back({'N', {0, 0, 4, 4}, 0, false, 0, 0, 0});
    request.partyWalls.push_back({'E', {-4, -4, 4, 4}, 0, false, 1, 0, 2});
    std::vector<int> party(5, 0), roofParty(5, 0), southEast(5, 0);
    ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
      const std::size_t level = static_cast<std::size_t>(p.level);
      // The north-west corner's party side is its +z side, the south-east's its +x side.
      const bool isParty =
          p.piece == style.piece(PieceKind::AnglePartyLeft) || p.piece == style.piece(PieceKind::AnglePartyRight);
      if (isParty) {
        EXPECT_EQ(p.piece, style.piece(p.x == 0 ? PieceKind::AnglePartyLeft : PieceKind::AnglePartyRight)) << name;
      }
      EXPECT_NE(p.piece, style.piece(PieceKind::AngleParty)) << name;
      // The north side is the north-west corner's +z side: the roof row's corner against the
      // neighbour on that side alone takes the one whose coping goes along it.
      const bool isRoofParty = p.piece == style.piece(PieceKind::AngleRoofPartyLeft);
      EXPECT_NE(p.piece, style.piece(PieceKind::AngleRoofParty)) << name;
      EXPECT_NE(p.piece, style.piece(PieceKind::AngleRoofPartyRight)) << name;
      party[level] += isParty ? 1 : 0;
      roofParty[level] += isRoofParty ? 1 : 0;
      southEast[level] += p.x == -4 && p.z == 4 && p.piece == style.piece(PieceKind::Angle) ? 1 : 0;
      if (!isParty && !isRoofParty) return;
      EXPECT_TRUE((p.x == 0 && p.z == 0) || (p.x == -4 && p.z == 4)) << name << ": a party corner against nothing";
      bool same = false;
      for (const Placement& c : corners)
        same = same || (c.x == p.x && c.z == p.z && c.level == p.level && c.xd == p.xd && c.zd == p.zd);
      EXPECT_TRUE(same) << name << ": the party corner faces another way than the corner, level " << p.level;
    });
    EXPECT_EQ(party, (std::vector<int>{2, 1, 1, 1, 0})) << name;
    EXPECT_EQ(roofParty, (std::vector<int>{0, 0, 0, 0, 1})) << name;
    EXPECT_EQ(southEast, (std::vector<int>{0, 1, 1, 1, 0})) << name;
  }
}

// The party corners are the corner pieces cut back: nothing of them stands past one face's
// plane nearer than 20 cm (2/30 of a cell) to the other's, so that their bands end short of the
// party line on either side, and their walls reach the cell's ends as the corner's do.
TEST(PartyWalls, ThePartyCornersStopShortOfBothFaces) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  for (const char* name : {"A", "B", "S"}) {
    const KitStyle& style = *kit.style(name);
    for (const auto& [kind, party] : {std::pair{PieceKind::Angle, PieceKind::AngleParty},
                                      std::pair{PieceKind::AngleRoof, PieceKind::AngleRoofParty},
                                      std::pair{PieceKind::Angle, PieceKind::AnglePartyLeft},
                                      std::pair{PieceKind::Angle, PieceKind::AnglePartyRight},
                                      std::pair{PieceKind::AngleRoof, PieceKind::AngleRoofPartyLeft},
                                      std::pair{PieceKind::AngleRoof, PieceKind::AngleRoofPartyRight}}) {
      const Piece& corner = kit.piece(style.piece(kind));
      const Piece& cut = kit.piece(style.piece(party));
      ASSERT_FALSE(cut.positions.empty()) << name;
      float cornerOut = -1, cutOut = -1;
      for (const auto& v : corner.positions) cornerOut = std::max(cornerOut, std::max(v.x, v.z));
      for (const auto& v : cut.positions) {
        cutOut = std::max(cutOut, std::max(v.x, v.z));
        if (v.x > 0.5f + 1e-4f) {
          EXPECT_LE(v.z, 0.5f - 0.2f / 3 + 1e-4f) << name << " " << v.x << " " << v.z;
        }
        if (v.z > 0.5f + 1e-4f) {
          EXPECT_LE(v.x, 0.5f - 0.2f / 3 + 1e-4f) << name << " " << v.x << " " << v.z;
        }
      }
      // Its bands still stand out of its faces, away from the corner.
      EXPECT_FLOAT_EQ(cutOut, cornerOut) << name;
    }
  }
}

// The roof row's party corners against the neighbour on one side alone keep no coping along that
// side's wall but a stub at the cell's far end, 20 cm (2/30 of a cell) long, and keep the other
// side's; the right one's bare top stands higher than the left one's, so that the two, back to
// back over the walls' overlap, do not lie in one plane.
TEST(PartyWalls, TheOneSidedRoofCornersLoseTheCopingAlongTheirPartySide) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  for (const char* name : {"A", "B", "S"}) {
    const KitStyle& style = *kit.style(name);
    // The highest point over the wall of the +z side (i_z) or the +x side, from i_from along it.
    const auto top = [&](PieceKind i_kind, bool i_z, float i_from, float i_to) {
      float y = -1;
      for (const auto& v : kit.piece(style.piece(i_kind)).positions) {
        const float across = i_z ? v.z : v.x, along = i_z ? v.x : v.z;
        if (across >= 0.4f - 1e-4f && along > i_from && along < i_to) y = std::max(y, v.y);
      }
      return y;
    };
    const float stub = -0.5f + 0.2f / 3 + 1e-3f, near = 0.5f - 0.2f / 3 - 1e-3f;
    const float coping = top(PieceKind::AngleRoof, true, stub, 1);
    const float left = top(PieceKind::AngleRoofPartyLeft, true, stub, 1);
    const float right = top(PieceKind::AngleRoofPartyRight, false, stub, 1);
    EXPECT_LT(left, coping - 0.005f) << name;
    EXPECT_LT(right, coping - 0.005f) << name;
    EXPECT_GT(right, left) << name;
    EXPECT_FLOAT_EQ(top(PieceKind::AngleRoofPartyLeft, true, -1, stub), coping) << name << ": the stub";
    EXPECT_FLOAT_EQ(top(PieceKind::AngleRoofPartyLeft, false, -1, near), coping) << name << ": the other side";
    EXPECT_FLOAT_EQ(top(PieceKind::AngleRoofPartyRight, true, -1, near), coping) << name << ": the other side";
  }
}

// B's cornice stands out further than its storeys' bands: on a closed party side with a neighbour
// behind it, lower too, its roof row takes the party parapet and its corners the party corners,
// where A, whose parapet is as deep as its bands, keeps its plain pieces; with no neighbour said
// (behind 0), B keeps them too. Past the party side's face the pieces keep only the 10 cm (1/30
// of a cell) stubs at the cell's ends (the corners: at the far end), and S's closed party wall
// keeps nothing of its fascia, which runs on into no cell.
TEST(PartyWalls, ACorniceThatStandsOutStopsAtThePartySide) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  for (const char* name : {"A", "B"}) {
    const KitStyle& style = *kit.style(name);
    for (const std::int64_t behind : {0, 2}) {
      Request request = MakeRequest(name, "  ", {}, {}, 3, 3, 4);
      request.partyWalls.push_back({'W', {-4, 0, 0, 0}, 0, false, 0, 0, 0, behind});
      const bool party = behind > 0 && std::string(name) == "B";
      int parapets = 0, corners = 0;
      ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
        if (p.level != 4 || p.z != 0) return;
        const bool corner = p.x == 0 || p.x == -4;
        const PieceKind expected = !corner ? (party ? PieceKind::RoofCloseParty : PieceKind::Roof)
                                   : !party ? PieceKind::AngleRoof
                                   : p.x == 0 ? PieceKind::AngleRoofPartyRight
                                              : PieceKind::AngleRoofPartyLeft;
        EXPECT_EQ(p.piece, style.piece(expected)) << name << ", behind " << behind << ", x " << p.x;
        (corner ? corners : parapets) += 1;
      });
      EXPECT_EQ(parapets, 3) << name;
      EXPECT_EQ(corners, 2) << name;
    }
  }
  const float stub = 0.5f - 0.1f / 3 - 1e-4f;  // within the stubs' ends
  const auto pastFace = [&](const char* i_style, PieceKind i_kind, bool i_z, float i_from, float i_to) {
    int count = 0;
    for (const auto& v : kit.piece(kit.style(i_style)->piece(i_kind)).positions) {
      const float across = i_z ? v.z : v.x, along = i_z ? v.x : v.z;
      count += across > 0.5f + 1e-4f && along > i_from && along < i_to ? 1 : 0;
    }
    return count;
  };
  EXPECT_EQ(pastFace("B", PieceKind::RoofCloseParty, false, -stub, stub), 0);
  EXPECT_GT(pastFace("B", PieceKind::RoofCloseParty, false, -1, -stub), 0) << "the stubs";
  EXPECT_EQ(pastFace("B", PieceKind::AngleRoofPartyLeft, true, -stub, 1), 0);
  EXPECT_EQ(pastFace("B", PieceKind::AngleRoofPartyRight, false, -stub, 1), 0);
  EXPECT_GT(pastFace("B", PieceKind::AngleRoofPartyRight, true, -1, 0.4f), 0) << "the front's cornice";
  EXPECT_TRUE(kit.piece(kit.style("A")->piece(PieceKind::RoofCloseParty)).positions.empty());
  // S's closed party wall: past its face only the string course's stubs, at its foot.
  for (const auto& v : kit.piece(kit.style("S")->piece(PieceKind::GroundCloseParty)).positions) {
    if (v.x > 0.5f + 1e-4f) {
      EXPECT_LT(v.y, 0.1f) << v.y;
    }
  }
}

// A lower neighbour's roof row may end beside a storey's party corner, its cornice (B's: top 25 cm
// over the row's floor) passing in front of the corner's face: no trim of the party corners past
// a face has its underside at that height, as the plain corner's lowest quoin has.
TEST(PartyWalls, ThePartyCornersTrimsClearALowerNeighboursCorniceTop) {
  const Kit kit = LoadKit(kShipped, {"B"});
  const KitStyle& style = *kit.style("B");
  const float top = 0.25f / 3;  // cell units
  const auto atTop = [&](PieceKind i_kind) {
    int count = 0;
    for (const auto& v : kit.piece(style.piece(i_kind)).positions)
      count += (v.x > 0.5f + 1e-4f || v.z > 0.5f + 1e-4f) && std::abs(v.y - top) < 1e-4f ? 1 : 0;
    return count;
  };
  EXPECT_GT(atTop(PieceKind::Angle), 0) << "the plain corner's quoin";
  for (const PieceKind kind : {PieceKind::AngleParty, PieceKind::AnglePartyLeft, PieceKind::AnglePartyRight,
                               PieceKind::AnglePartyLeftJoin, PieceKind::AnglePartyRightJoin})
    EXPECT_EQ(atTop(kind), 0) << static_cast<int>(kind);
}

// The parapets beside a bare party side that stop short: within 20 cm (2/30 of a cell) of that
// end nothing past the wall's face and no coping, the wall's top lower than the one-sided roof
// corners' bare tops (so that neither lies on it) and inside the coping's depth; elsewhere the
// lipped parapet as it was. A style without them lays the lipped parapet.
TEST(PartyWalls, TheShortPartyParapetsEndBareBeforeTheNeighbour) {
  Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  for (const char* name : {"A", "B", "S"}) {
    const KitStyle& style = *kit.style(name);
    for (const bool left : {true, false}) {
      const Piece& whole = kit.piece(style.piece(left ? PieceKind::RoofPartyLeft : PieceKind::RoofPartyRight));
      const Piece& cut = kit.piece(style.piece(left ? PieceKind::RoofPartyShortLeft : PieceKind::RoofPartyShortRight));
      ASSERT_FALSE(cut.positions.empty()) << name;
      const float sign = left ? 1.0f : -1.0f, near = 0.5f - 0.2f / 3 + 1e-4f;
      float copingFoot = 2, cutTop = -1, far = -1, wholeFar = -1;
      for (const auto& v : whole.positions) {
        if (v.x > 0.38f && v.x < 0.4f - 1e-4f) copingFoot = std::min(copingFoot, v.y);  // its inner overhang
        if (sign * v.z < near) wholeFar = std::max(wholeFar, v.y);
      }
      for (const auto& v : cut.positions) {
        if (sign * v.z < near) {
          far = std::max(far, v.y);
          continue;
        }
        EXPECT_LE(v.x, 0.5f + 1e-4f) << name << " " << v.x << " " << v.z;
        if (v.x > 0.39f) cutTop = std::max(cutTop, v.y);
      }
      const float cornerBare = [&] {
        float y = -1;
        for (const auto& v : kit.piece(style.piece(PieceKind::AngleRoofPartyLeft)).positions)
          if (v.z > 0.4f - 1e-4f && v.z < 0.5f + 1e-4f && v.x > -0.5f + 0.2f / 3 + 1e-3f) y = std::max(y, v.y);
        return y;
      }();
      EXPECT_LT(cutTop, cornerBare - 0.005f) << name;
      EXPECT_GT(cutTop, copingFoot) << name;
      EXPECT_FLOAT_EQ(far, wholeFar) << name << ": away from the end";
    }
  }
  Request request = MakeRequest("A", "", {}, {}, 3, 3, 3);
  request.partyWalls.push_back({'E', {-4, 0, 4, 4}, 0, true, 0});
  const KitStyle& style = *kit.style("A");
  const auto corners = [&](PieceKind i_left, PieceKind i_right) {
    int found = 0;
    ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
      if (p.level == 3 && p.z == 4 && (p.piece == style.piece(p.x == 0 ? i_left : i_right))) ++found;
    });
    return found;
  };
  EXPECT_EQ(corners(PieceKind::RoofPartyShortLeft, PieceKind::RoofPartyShortRight), 2);
  for (const PieceKind kind : {PieceKind::RoofPartyShortLeft, PieceKind::RoofPartyShortRight})
    kit.pieces[style.piece(kind)].fault = PieceFault::NotFound;
  EXPECT_EQ(corners(PieceKind::RoofPartyLeft, PieceKind::RoofPartyRight), 2);
}

// A bare roof over a wall that stays takes the cap whose lip laps the neighbour's slab edge, on
// the wall's side, in every style; over a wall left out to the top, where the neighbour's wall
// stands in the line itself, the plain cap, whose lip would lie on that wall's face.
TEST(PartyWalls, ABareRoofOverAKeptWallTakesTheLippedCapOnItsSide) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  for (const char* name : {"A", "B", "S"}) {
    const KitStyle& style = *kit.style(name);
    for (const std::int64_t hidden : {0, 3}) {
      Request request = MakeRequest(name, "", {}, {}, 3, 3, 3);
      // The east side, corners included, and the north side's first cell: its corner has both
      // sides bare.
      request.partyWalls.push_back({'E', {-4, 0, 4, 4}, hidden, true, 0});
      request.partyWalls.push_back({'N', {0, 0, 3, 4}, 0, true, 0});
      const Plan plan = MakePlan(request, kit);
      std::vector<Placement> walls, caps;
      ForEachPlacement(plan, kit, [&](const Placement& p) {
        if (p.level == 2 && (p.piece == style.piece(PieceKind::FloorClose) || p.piece == style.piece(PieceKind::Angle)))
          walls.push_back(p);
        if (p.level == 3 && (p.piece == style.piece(PieceKind::RoofCapParty) || p.piece == style.piece(PieceKind::RoofCap)))
          caps.push_back(p);
      });
      const std::string where = std::string(name) + ", hidden " + std::to_string(hidden);
      // x -1 to -3 on the east side, and the corner at x 0.
      std::size_t lipped = 0;
      for (const Placement& cap : caps) {
        if (cap.z != 4 || cap.x < -3) continue;
        const bool eastWall = hidden == 0;
        const bool lip = cap.piece == style.piece(PieceKind::RoofCapParty);
        // The corner's north side keeps its wall in either case.
        EXPECT_EQ(lip, eastWall || cap.x == 0) << where << ", x " << cap.x;
        if (!lip) continue;
        ++lipped;
        bool under = false;
        for (const Placement& wall : walls)
          under = under || (wall.x == cap.x && wall.z == cap.z &&
                            (wall.piece == style.piece(PieceKind::Angle) || (wall.xd == cap.xd && wall.zd == cap.zd)));
        EXPECT_TRUE(under) << where << ", x " << cap.x << ": the lip faces away from the wall that stays";
      }
      EXPECT_EQ(lipped, hidden == 0 ? 4u : 1u) << where;
      // The south-east corner keeps its south parapet; under a bare east side over a wall that
      // stays, its lip lies on the east (+z) side of the cell, under the slab.
      std::size_t parapets = 0;
      ForEachPlacement(plan, kit, [&](const Placement& p) {
        if (p.level != 3 || p.x != -4 || p.z != 4) return;
        const bool lipped = p.piece == style.piece(PieceKind::RoofPartyShortLeft) ||
                            p.piece == style.piece(PieceKind::RoofPartyShortRight);
        EXPECT_TRUE(lipped || p.piece == style.piece(PieceKind::Roof)) << where;
        EXPECT_EQ(lipped, hidden == 0) << where;
        ++parapets;
        for (const auto& v : kit.piece(p.piece).positions) {
          if (v.y >= 0) continue;
          // The piece's frame turned to its facing: x to x zd - z xd, z to x xd + z zd.
          const float z = v.x * p.xd + v.z * p.zd;
          EXPECT_GT(z, 0.25f) << where << ": the lip lies away from the bare side";
        }
      });
      EXPECT_EQ(parapets, 1u) << where;
    }
  }
}

// Walls kept closed change the pieces, not the surface: every style, on a rectangle and on an L,
// is still one closed surface.
TEST(PartyWalls, ClosedWallsKeepTheBuildingOneClosedSurface) {
  const Kit kit = LoadKit(kShipped, {"A", "B", "S"});
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  Footprint l;
  std::string why;
  ASSERT_TRUE(ParseOutline("0,0 6,0 6,3 3,3 3,6 0,6", l, why)) << why;
  for (const char* style : {"A", "B", "S"}) {
    for (const bool rectangle : {true, false}) {
      Request request = MakeRequest(style, "WC", {"WA"}, {}, 3, 3, 3);
      if (!rectangle) SetFootprint(request, l);
      // The west side, corners included, and part of the north side.
      request.partyWalls.push_back({'W', {-4, 0, 0, 0}, 0, false, 0});
      request.partyWalls.push_back({'N', {0, 0, 1, 2}, 0, false, 0});
      const Plan plan = MakePlan(request, kit);
      BuildingFaults faults;
      CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
      EXPECT_TRUE(faults.open.empty() && faults.shared.empty() && faults.overlaps.empty())
          << style << (rectangle ? ", rectangle" : ", L");
      std::size_t openings = 0;
      ForEachPlacement(plan, kit, [&](const Placement& p) {
        const KitStyle& s = *kit.style(style);
        if (p.z == 0 && p.level < 3 && (p.piece == s.piece(PieceKind::GroundDoor) || p.piece == s.piece(PieceKind::Balcony)))
          ++openings;
      });
      EXPECT_EQ(openings, 0u) << style;
    }
  }
}

// A wall 1,000 cells long, left out under 10 of 30 storeys, adds a handful of runs.
TEST(PartyWalls, ThePlanGrowsWithTheWallsNotTheirCells) {
  const Kit kit = LoadKit(kShipped, {"A"});
  Request request = MakeRequest("A", "SC", {}, {}, 1000, 4, 30);
  const std::size_t before = [&] {
    std::size_t runs = 0;
    for (const Block& block : MakePlan(request, kit).blocks) runs += block.runs.size();
    return runs;
  }();
  request.partyWalls.push_back({'E', {-1001, 0, 5, 5}, 10, true, 0});
  std::size_t runs = 0;
  const Plan plan = MakePlan(request, kit);
  for (const Block& block : plan.blocks) runs += block.runs.size();
  EXPECT_LT(runs, before + 30);
  EXPECT_LT(plan.blocks.size(), 12u);
}

}  // namespace

// Where two party pieces meet that keep only stubs of their bands past the wall's face (closed
// party walls with the neighbour behind, a one-sided party corner's party side), both leave the
// stubs out: askew neighbours' stubs stood in the gap between their walls at one height. Every
// junction along the wall must still agree, a band's end meeting a stub or nothing meeting
// nothing: here the west side (z 0, its face at z -0.5) against a neighbour beyond both corners,
// all of it behind the neighbour, or only its north end (x -1 and 0) with a plain closed wall
// beyond, whose bands run on into the party wall's stub.
TEST(PartyWalls, PartyPiecesLeaveOutTheStubsWhereTheyMeetAndOnlyThere) {
  const Kit kit = LoadKit(kShipped, {"A", "S"});
  const float stub = 0.1f / 3 + 1e-3f;  // a stub's length, cell units
  for (const char* name : {"A", "S"}) {
    for (const bool whole : {true, false}) {
      Request request = MakeRequest(name, "  ", {}, {}, 3, 3, 4);
      if (whole) {
        request.partyWalls.push_back({'W', {-4, 0, 0, 0}, 0, false, 0, 0, 5, 5});
      } else {
        request.partyWalls.push_back({'W', {-1, 0, 0, 0}, 0, false, 0, 0, 5, 5});
        request.partyWalls.push_back({'W', {-4, -2, 0, 0}, 0, false, 0, 0, 0, 0});
      }
      // Per storey and junction (between cells x and x - 1, x 0 to -3): whether the cell on its
      // +x side, and the one on its -x side, stand past the face within a stub's length of it.
      std::vector<std::array<bool, 2>> past(4 * 4, {false, false});
      ForEachPlacement(MakePlan(request, kit), kit, [&](const Placement& p) {
        if (p.z != 0 || p.level >= 4) return;
        for (const auto& v : kit.piece(p.piece).positions) {
          // The piece's +x turns to (zd, xd), its +z to (-xd, zd), in (x, z).
          const float x = static_cast<float>(p.x) + v.x * p.zd - v.z * p.xd;
          const float z = v.x * p.xd + v.z * p.zd;
          if (z > -0.5f - 1e-4f) continue;
          for (std::int64_t j = 0; j < 4; ++j) {
            const float at = static_cast<float>(-j) - 0.5f;
            const std::size_t k = static_cast<std::size_t>(p.level * 4 + j);
            if (p.x == -j && x < at + stub) past[k][0] = true;
            if (p.x == -j - 1 && x > at - stub) past[k][1] = true;
          }
        }
      });
      for (std::size_t k = 0; k < past.size(); ++k) {
        const std::string where = std::string(name) + (whole ? ", whole" : ", north end") + ", storey " +
                                  std::to_string(k / 4) + ", junction " + std::to_string(k % 4);
        EXPECT_EQ(past[k][0], past[k][1]) << where;
        // Where both sides are the neighbour's, nothing; beside the plain wall, its band.
        EXPECT_EQ(past[k][0], !whole && k % 4 >= 1) << where;
      }
    }
  }
}
