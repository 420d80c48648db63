// The table of piece kinds.

#include <ostrel/kit/PieceKind.h>

#include <string>
#include <string_view>

namespace Ostrel::Buildings {

namespace {

// Facade pieces may stand out of their cell on the street side (+x) by up to one cell; corners on
// both of their street sides (+x and +z); a balcony may also hang half a storey below its floor.
constexpr CellReach kFacade{{-0.5f, 0.0f, -0.5f}, {1.5f, 1.0f, 0.5f}};
constexpr CellReach kCorner{{-0.5f, 0.0f, -0.5f}, {1.5f, 1.0f, 1.5f}};
constexpr CellReach kBalcony{{-0.5f, -0.5f, -0.5f}, {1.5f, 1.0f, 0.5f}};
// An inner corner builds the walls of the cells on its +x and +z sides, which stand out into the
// open cell between them.
constexpr CellReach kInner{{-0.5f, -0.5f, -0.5f}, {1.5f, 1.0f, 1.5f}};
// The inner corner whose wall runs on flush beyond the terrace also builds the terrace's cell
// between its walls, whose parapet's trims stand out into the open cell beyond.
constexpr CellReach kInnerEnd{{-0.5f, -0.5f, -0.5f}, {2.5f, 1.0f, 2.5f}};
// Where the cell that runs on flush is an outer corner, the quoins of its far corner stand out a
// little past that cell too.
constexpr CellReach kInnerTurn{{-0.5f, -0.5f, -0.5f}, {2.6f, 1.0f, 2.6f}};
constexpr CellReach kEndTurn{{-0.5f, -0.5f, -0.5f}, {1.6f, 1.0f, 1.6f}};
// The same with the wall's own cell an outer corner as well, whose quoins stand out behind it.
constexpr CellReach kAngleEnd{{-0.6f, -0.5f, -0.6f}, {1.6f, 1.0f, 1.6f}};
constexpr CellReach kInside{{-0.5f, 0.0f, -0.5f}, {0.5f, 1.0f, 0.5f}};
// The party roof slab's lip hangs a little below the roof row, into the wall under it.
constexpr CellReach kPartyCap{{-0.5f, -0.02f, -0.5f}, {0.5f, 1.0f, 0.5f}};
constexpr CellReach kPartyRoof{{-0.5f, -0.02f, -0.5f}, {1.5f, 1.0f, 0.5f}};
// A pitched roof's cells climb above their step and their slabs hang a little below it; eaves
// overhang the facade (and a corner's both facades) by up to one cell.
constexpr CellReach kRoofInside{{-0.5f, -0.5f, -0.5f}, {0.5f, 2.0f, 0.5f}};
constexpr CellReach kRoofEave{{-0.5f, -0.5f, -0.5f}, {1.5f, 2.0f, 0.5f}};
constexpr CellReach kRoofCorner{{-0.5f, -0.5f, -0.5f}, {1.5f, 2.0f, 1.5f}};

constexpr const char* kRoofs = "gable and hip roofs (--roof) need it";
constexpr const char* kHips = "hip roofs (--roof hip) need it";
constexpr const char* kGables = "gable roofs (--roof gable) need it";
constexpr const char* kWings = "hip roofs (--roof hip) over a footprint other than a rectangle (--footprint) need it";

constexpr const char* kSetbacks = "setbacks (--setback) need it";
constexpr const char* kEveryBuilding = "every building needs it";
constexpr const char* kFacadeCells = "every building with facade cells (-w or -l 1 or more) needs it";

// clang-format off
constexpr PieceRule kRules[] = {
    {PieceKind::Angle,       "angle",       true,  PieceRow::Storey, kCorner,  kEveryBuilding},
    {PieceKind::AngleRoof,   "angleroof",   true,  PieceRow::Roof,   kCorner,  kEveryBuilding},
    {PieceKind::Ground,      "ground",      true,  PieceRow::Ground, kFacade,  kFacadeCells},
    {PieceKind::GroundDoor,  "grounddoor",  true,  PieceRow::Ground, kFacade,  "buildings with a door (-d) need it"},
    {PieceKind::GroundClose, "groundclose", true,  PieceRow::Ground, kFacade,  "buildings with walls (-c) need it"},
    {PieceKind::Floor,       "floor",       true,  PieceRow::Floor,  kFacade,  "buildings of 2 storeys or more (-h 2) need it"},
    {PieceKind::FloorClose,  "floorclose",  true,  PieceRow::Floor,  kFacade,
     "buildings of 2 storeys or more with walls (-c) need it"},
    {PieceKind::Roof,        "roof",        true,  PieceRow::Roof,   kFacade,  kFacadeCells},
    {PieceKind::RoofDoor,    "roofdoor",    true,  PieceRow::Roof,   kFacade,
     "buildings of height 0 (-h 0) with a door (-d) need it"},
    {PieceKind::Balcony,     "balcony",     true,  PieceRow::Floor,  kBalcony, "buildings with balconies (-b) need it"},
    {PieceKind::RoofCap,     "roofcap",     false, PieceRow::Roof,   kInside,  nullptr},
    {PieceKind::Eave,            "eave",            true, PieceRow::Pitched, kRoofEave,   kRoofs},
    {PieceKind::Slope,           "slope",           true, PieceRow::Pitched, kRoofInside, "roofs of 3 cells or more across (--roof) need it"},
    {PieceKind::Ridge,           "ridge",           true, PieceRow::Pitched, kRoofInside, "roofs of an odd span (--roof) need it"},
    {PieceKind::EaveCorner,      "eavecorner",      true, PieceRow::Pitched, kRoofCorner, kHips},
    {PieceKind::Hip,             "hip",             true, PieceRow::Pitched, kRoofInside, kHips},
    {PieceKind::RidgeEnd,        "ridgeend",        true, PieceRow::Pitched, kRoofInside, kHips},
    {PieceKind::Peak,            "peak",            true, PieceRow::Pitched, kRoofInside, kHips},
    {PieceKind::GableWall,       "gablewall",       true, PieceRow::Pitched, kFacade,     kGables},
    {PieceKind::EaveGableLeft,   "eavegableleft",   true, PieceRow::Pitched, kRoofCorner, kGables},
    {PieceKind::EaveGableRight,  "eavegableright",  true, PieceRow::Pitched, kRoofCorner, kGables},
    {PieceKind::SlopeGableLeft,  "slopegableleft",  true, PieceRow::Pitched, kRoofInside, kGables},
    {PieceKind::SlopeGableRight, "slopegableright", true, PieceRow::Pitched, kRoofInside, kGables},
    {PieceKind::RidgeGable,      "ridgegable",      true, PieceRow::Pitched, kRoofInside, kGables},
    {PieceKind::TerraceFloor,      "terracefloor",      true, PieceRow::Terrace, kFacade, kSetbacks},
    {PieceKind::TerraceFloorClose, "terracefloorclose", true, PieceRow::Terrace, kFacade,
     "setbacks (--setback) with walls (-c) need it"},
    {PieceKind::TerraceAngle,      "terraceangle",      true, PieceRow::Terrace, kCorner, kSetbacks},
    {PieceKind::TerraceAngleLeft,  "terraceangleleft",  true, PieceRow::Terrace, kCorner,
     "setbacks (--setback) of some sides only need it"},
    {PieceKind::TerraceAngleRight, "terraceangleright", true, PieceRow::Terrace, kCorner,
     "setbacks (--setback) of some sides only need it"},
    {PieceKind::InnerAngle,     "innerangle",     true, PieceRow::Inner, kInner,
     "footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleRoof, "innerangleroof", true, PieceRow::Inner, kInner,
     "footprints with inner corners (--footprint) need it"},
    {PieceKind::RidgeTurn,            "ridgeturn",            true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::RidgeTee,             "ridgetee",             true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::RidgeCross,           "ridgecross",           true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::RidgeCorner,          "ridgecorner",          true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::RidgeSlope,           "ridgeslope",           true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::Saddle,               "saddle",               true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::Valley,               "valley",               true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::SlopeValleyLeft,      "slopevalleyleft",      true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::SlopeValleyRight,     "slopevalleyright",     true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::ValleyEave,           "valleyeave",           true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::SaddleEave,           "saddleeave",           true, PieceRow::Wings, kRoofInside, kWings},
    {PieceKind::EaveValleyLeft,       "eavevalleyleft",       true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveValleyRight,      "eavevalleyright",      true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveValleyBoth,       "eavevalleyboth",       true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveStepLeft,         "eavestepleft",         true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveStepRight,        "eavestepright",        true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveStepValleyLeft,   "eavestepvalleyleft",   true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::EaveStepValleyRight,  "eavestepvalleyright",  true, PieceRow::Wings, kRoofEave,   kWings},
    {PieceKind::CornerValleyLeft,     "cornervalleyleft",     true, PieceRow::Wings, kRoofCorner, kWings},
    {PieceKind::CornerValleyRight,    "cornervalleyright",    true, PieceRow::Wings, kRoofCorner, kWings},
    {PieceKind::CornerValleyBoth,     "cornervalleyboth",     true, PieceRow::Wings, kRoofCorner, kWings},
    {PieceKind::InnerAngleTerrace, "innerangleterrace", true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) over footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleTerraceLeft,  "innerangleterraceleft",  true, PieceRow::InnerTerrace, kInnerEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleTerraceRight, "innerangleterraceright", true, PieceRow::InnerTerrace, kInnerEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceEndLeft,  "terraceendleft",  true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceEndRight, "terraceendright", true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleTerraceTurnLeft,  "innerangleterraceturnleft",  true, PieceRow::InnerTerrace, kInnerTurn,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleTerraceTurnRight, "innerangleterraceturnright", true, PieceRow::InnerTerrace, kInnerTurn,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceEndTurnLeft,  "terraceendturnleft",  true, PieceRow::InnerTerrace, kEndTurn,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceEndTurnRight, "terraceendturnright", true, PieceRow::InnerTerrace, kEndTurn,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceAngleEndLeft,  "terraceangleendleft",  true, PieceRow::InnerTerrace, kAngleEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceAngleEndRight, "terraceangleendright", true, PieceRow::InnerTerrace, kAngleEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceAngleEndTurnLeft,  "terraceangleendturnleft",  true, PieceRow::InnerTerrace, kAngleEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::TerraceAngleEndTurnRight, "terraceangleendturnright", true, PieceRow::InnerTerrace, kAngleEnd,
     "setbacks (--setback) of some sides only over footprints with inner corners (--footprint) need it"},
    {PieceKind::InnerAngleRoofCornerLeft,  "innerangleroofcornerleft",  true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) of one side of an inner corner of a footprint (--footprint) need it"},
    {PieceKind::InnerAngleRoofCornerRight, "innerangleroofcornerright", true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) of one side of an inner corner of a footprint (--footprint) need it"},
    {PieceKind::InnerAngleRoofCorner, "innerangleroofcorner", true, PieceRow::InnerTerrace, kInner,
     "setbacks (--setback) over footprints with inner corners (--footprint) need it"},
    {PieceKind::RoofCapParty, "roofcapparty", true, PieceRow::Party, kPartyCap,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::RoofPartyLeft,  "roofpartyleft",  true, PieceRow::Party, kPartyRoof,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::RoofPartyRight, "roofpartyright", true, PieceRow::Party, kPartyRoof,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AngleParty, "angleparty", true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AngleRoofParty, "angleroofparty", true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AngleRoofPartyLeft,  "angleroofpartyleft",  true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AngleRoofPartyRight, "angleroofpartyright", true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::GroundCloseParty, "groundcloseparty", true, PieceRow::Party, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::FloorCloseParty,  "floorcloseparty",  true, PieceRow::Party, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AnglePartyLeft,  "anglepartyleft",  true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::AnglePartyRight, "anglepartyright", true, PieceRow::Party, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::RoofPartyShortLeft,  "roofpartyshortleft",  true, PieceRow::Party, kPartyRoof,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::RoofPartyShortRight, "roofpartyshortright", true, PieceRow::Party, kPartyRoof,
     "cities of map data (--city FILE.geojson) whose neighbours' walls stand staggered need it"},
    {PieceKind::TerraceFloorCloseParty, "terracefloorcloseparty", true, PieceRow::Party, kFacade,
     "cities of map data (--city FILE.geojson) whose buildings stand on a lower neighbour's roof need it"},
    {PieceKind::RoofCloseParty, "roofcloseparty", true, PieceRow::PartyCornice, kFacade,
     "cities of map data (--city FILE.geojson) whose buildings share walls need it"},
    {PieceKind::GroundClosePartyJoinLeft, "groundclosepartyjoinleft", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::GroundClosePartyJoinRight, "groundclosepartyjoinright", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::GroundClosePartyJoin, "groundclosepartyjoin", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::FloorClosePartyJoinLeft, "floorclosepartyjoinleft", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::FloorClosePartyJoinRight, "floorclosepartyjoinright", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::FloorClosePartyJoin, "floorclosepartyjoin", true, PieceRow::PartyJoin, kFacade,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::AnglePartyLeftJoin, "anglepartyleftjoin", true, PieceRow::PartyJoin, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
    {PieceKind::AnglePartyRightJoin, "anglepartyrightjoin", true, PieceRow::PartyJoin, kCorner,
     "cities of map data (--city FILE.geojson) whose neighbours' party walls meet need it"},
};
// clang-format on

// A kind without its row, or rows out of the order of the kinds, fails to compile.
constexpr bool RowsInOrder() {
  for (std::size_t k = 0; k < kPieceKindCount; ++k) {
    if (kRules[k].kind != static_cast<PieceKind>(k)) return false;
  }
  return true;
}
static_assert(sizeof kRules / sizeof kRules[0] == kPieceKindCount, "every piece kind needs its row");
static_assert(RowsInOrder(), "the rows follow the order of PieceKind");

}  // namespace

const PieceRule& RuleOf(PieceKind i_kind) { return kRules[static_cast<std::size_t>(i_kind)]; }

const PieceRule* PieceRulesBegin() { return kRules; }
const PieceRule* PieceRulesEnd() { return kRules + kPieceKindCount; }

bool KindOfSuffix(std::string_view i_suffix, PieceKind& o_kind) {
  for (const PieceRule& rule : kRules) {
    if (i_suffix != rule.suffix) continue;
    o_kind = rule.kind;
    return true;
  }
  return false;
}

bool VariantOfSuffix(std::string_view i_suffix, PieceKind& o_kind, std::uint32_t& o_number) {
  const std::size_t dot = i_suffix.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view number = i_suffix.substr(dot + 1);
  if (number.empty() || number.size() > 9 || number[0] < '1' || number[0] > '9' ||
      number.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  if (!KindOfSuffix(i_suffix.substr(0, dot), o_kind)) return false;
  o_number = 0;
  for (const char digit : number) o_number = o_number * 10 + static_cast<std::uint32_t>(digit - '0');
  return true;
}

std::string PieceName(const std::string& i_style, PieceKind i_kind, std::uint32_t i_variant) {
  std::string name = i_style + "_" + RuleOf(i_kind).suffix;
  if (i_variant != 0) name += "." + std::to_string(i_variant);
  return name;
}

}  // namespace Ostrel::Buildings
