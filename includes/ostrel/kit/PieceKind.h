#pragma once
// The kinds of piece a style is made of, and one table of rules per kind: its file name, whether
// a building can do without it, the row of the building it belongs to, and how far it may reach
// beyond its cell. The kit loader, the layout, the linter and the kit generator all read this
// table; nothing else names a piece by its text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Ostrel::Buildings {

// In the order a kit reads a style's pieces (which numbers the kit's materials, and so fixes
// the order of a .glb's primitives).
enum class PieceKind : std::uint8_t {
  Angle,
  AngleRoof,
  Ground,
  GroundDoor,
  GroundClose,
  Floor,
  FloorClose,
  Roof,
  RoofDoor,
  Balcony,
  RoofCap,
  // Pitched roofs, cell by cell (the layout's AddPitchedRoof says where each goes).
  Eave,             // a side cell at the eave
  Slope,            // a side cell higher up
  Ridge,            // the middle cell of an odd span: slopes down to +x and -x
  EaveCorner,       // a hip roof's corner at the eave: eaves on +x and +z
  Hip,              // a hip roof's corner higher up
  RidgeEnd,         // the end of an odd span's ridge on a hip roof
  Peak,             // the top of an odd square hip roof
  GableWall,        // a panel of gable wall, one rise high
  EaveGableLeft,    // a gable roof's corner at the eave, the gable on +z
  EaveGableRight,   // the same, the gable on -z
  SlopeGableLeft,   // a gable end cell higher up, the gable on +z
  SlopeGableRight,  // the same, the gable on -z
  RidgeGable,       // the gable end of an odd span's ridge, the gable on +z
  // The first storey of a block that steps back, where it stands over the terrace of the block
  // below (the layout's AddCell and AddCorner choose them for the sides over the terrace).
  TerraceFloor,       // a facade cell over the terrace: its wall stands on the terrace's slab
  TerraceFloorClose,  // the same with a closed wall
  TerraceAngle,       // a corner over the terrace on both sides
  TerraceAngleLeft,   // a corner whose +x side continues the facade below, the terrace on +z
  TerraceAngleRight,  // a corner over the terrace on +x, whose +z side continues the facade below
  // A footprint's inner corners, where the facade turns inward (the layout's FootprintRing says
  // where each goes): in the cell diagonally inside the corner, with the walls of the two cells
  // that end the runs meeting there, on its +x and +z sides.
  InnerAngle,      // on every storey
  InnerAngleRoof,  // in the roof row: the parapet round the corner, and the roof over the three cells
  // A hip roof over a footprint other than a rectangle: where wings meet, ridges of different
  // heights join and the eaves turn inward (HipRoof.h says which cells take them). Their
  // neighbourhoods, as HipCases draws them, name them best.
  RidgeTurn,            // a ridge turning a corner
  RidgeTee,             // a ridge from -x meeting one across +z and -z
  RidgeCross,           // two ridges crossing
  RidgeCorner,          // two ridges meeting under a slope that rises to the -x, -z corner
  RidgeSlope,           // a ridge from +x running into a slope that rises to -x
  Saddle,               // slopes rising to two opposite corners
  Valley,               // a valley down to the +x, -z corner
  SlopeValleyLeft,      // a slope falling to +x whose +z half folds into a valley
  SlopeValleyRight,     // the same on its -z half
  ValleyEave,           // a valley down to the +x, -z corner at the eaves, the walls' inner corner below it
  SaddleEave,           // a saddle at the eaves: two inner corners below it
  EaveValleyLeft,       // an eave whose +z end meets a valley
  EaveValleyRight,      // the same at its -z end
  EaveValleyBoth,       // an eave with a valley at both ends
  EaveStepLeft,         // an eave whose +z end meets a valley, with an inner corner behind that end
  EaveStepRight,        // the same at its -z end
  EaveStepValleyLeft,   // an eave step on the +z end and a valley at the -z end
  EaveStepValleyRight,  // an eave step on the -z end and a valley at the +z end
  CornerValleyLeft,     // the eaves' outer corner whose +z eave runs on into a valley
  CornerValleyRight,    // the same for its +x eave
  CornerValleyBoth,     // both of its eaves run on into valleys
  // A footprint's inner corner on the first storey of a block that steps back, where both of its
  // walls stand over the terrace of the block below (as InnerAngle, with TerraceFloor's walls).
  InnerAngleTerrace,
  // The same where the block below's facade turns inward beyond the end of one wall: that wall
  // runs on flush with the facade below, and the terrace's cell between the two walls ends in a
  // parapet along the lower facade's line, which the piece builds with the cell's slab. Left: the
  // +x wall runs on; right: the +z wall.
  InnerAngleTerraceLeft,
  InnerAngleTerraceRight,
  // A closed wall over the terrace, further along than an inner corner's end cell, past whose
  // end the block below's facade turns inward: as the two kinds above without their inner
  // corner, the wall's next cell running on flush with the facade below and the terrace's cell
  // in front of the wall ending in a parapet. It faces +z in its frame; left: the wall runs on
  // along +x; right: the same with x and z swapped (it faces +x and runs on along +z).
  TerraceEndLeft,
  TerraceEndRight,
  // The four kinds above where the cell that runs on flush is also the block above's outer
  // corner: its other wall stands over the terrace beyond it, as a terraceangleleft or
  // terraceangleright corner's does, and meets the parapet of the terrace's cell there.
  InnerAngleTerraceTurnLeft,
  InnerAngleTerraceTurnRight,
  TerraceEndTurnLeft,
  TerraceEndTurnRight,
  // The two terrace ends and the two turning ones where the wall over the terrace is one cell
  // long, the block above's outer corner: its other wall stands over the terrace too, as a
  // terraceangle corner's does.
  TerraceAngleEndLeft,
  TerraceAngleEndRight,
  TerraceAngleEndTurnLeft,
  TerraceAngleEndTurnRight,
  // The roof row's inner corner on the terrace whose +x cell (left) or +z cell (right) is the
  // block above's outer corner, standing in the lower facade's inner corner: the piece builds
  // that corner's first storey, and the other cell's parapet ends against its wall over the
  // terrace.
  InnerAngleRoofCornerLeft,
  InnerAngleRoofCornerRight,
  // The same where the block above's outer corner stands on the inner corner's own cell: its
  // walls stand over the terrace of both end cells, whose parapets end against them.
  InnerAngleRoofCorner,
  // The bare roof slab on a side whose wall stays, against a neighbour whose grid it reaches
  // into: a lip under the slab's edge laps the neighbour's slab edge, which would otherwise lie
  // on the slab's underside (the layout's AddPartyCells places it).
  RoofCapParty,
  // The roof row's corner cell whose other side is such a bare party side: the parapet of its
  // kept side, with the same lip under the slab's end on the party side, +z (left) or -z (right).
  RoofPartyLeft,
  RoofPartyRight,
  // A corner cell of a storey whose side against a neighbour has the neighbour's cells beyond the
  // corner's end: the corner piece with its bands (and anything else past its faces) stopping
  // short of both of its faces, so that they reach neither into the neighbour's nor onto its bands.
  AngleParty,
  AngleRoofParty,  // the same in the roof row: the corner roof with its trims and coping's overhang cut back
  // The same roof corner whose one side only stands against the neighbour, +z (left) or +x
  // (right): the coping over that side's wall goes too, but for a stub at the cell's far end
  // where the row's coping runs on, so that it lies on no coping of a neighbour's parapet there.
  AngleRoofPartyLeft,
  AngleRoofPartyRight,
  // A closed wall of the ground storey or an upper storey on a party side, where the neighbour
  // stands behind it: its bands (anything past its face) only as stubs at the cell's ends, where
  // the bands of the cells beside it run on, so that they do not lie on the neighbour's bands
  // behind it, a few centimetres away or askew.
  GroundCloseParty,
  FloorCloseParty,
  // A storey's party corner against the neighbour on one side alone, +z (left) or +x (right): its
  // bands along that side only as a stub at the cell's far end, where the row's bands run on (a
  // plain corner of the neighbour beside it keeps its bands there).
  AnglePartyLeft,
  AnglePartyRight,
  // The roof row's corner cell beside a bare party side, as RoofPartyLeft and RoofPartyRight,
  // whose coping and band stop short of that end: the neighbour's parapet or corner beyond it,
  // whose wall the cell reaches into, keeps its coping and band along the party line.
  RoofPartyShortLeft,
  RoofPartyShortRight,
  // The closed wall of the storey on a lower neighbour's roof (TerraceFloorClose) where its own
  // wall stands below it: its underside over the wall open, as a storey's.
  TerraceFloorCloseParty,
  // The roof row's parapet on a party side whose wall stays, for a style whose roof row stands out
  // of its wall further than its storeys' bands (a cornice): everything past the wall's face only
  // as stubs at the cell's ends, where the cells beside it run their trims on, so that the cornice
  // neither hangs over a lower neighbour's roof nor pokes through a taller one's wall.
  RoofCloseParty,
  // The closed party walls and one-sided party corners (GroundCloseParty, FloorCloseParty,
  // AnglePartyLeft, AnglePartyRight) where an end meets a party cell that keeps only a stub of its
  // bands there too: no band runs on through that end, so neither keeps its stub. Two askew
  // neighbours' stubs would otherwise stand in the gap between their walls, at one height. A wall
  // without its stub at its +z end (JoinLeft), its -z end (JoinRight) or both (Join); a corner
  // without the stub at its party side's far end.
  GroundClosePartyJoinLeft,
  GroundClosePartyJoinRight,
  GroundClosePartyJoin,
  FloorClosePartyJoinLeft,
  FloorClosePartyJoinRight,
  FloorClosePartyJoin,
  AnglePartyLeftJoin,
  AnglePartyRightJoin,
  Count,                // no kind: the number of kinds, kept last
};
inline constexpr std::size_t kPieceKindCount = static_cast<std::size_t>(PieceKind::Count);

// The row of a building a kind is placed in.
enum class PieceRow : std::uint8_t {
  Storey,  // every storey: the corners, ground storey included
  Ground,  // the ground storey
  Floor,   // the upper storeys
  Roof,    // the roof row
  Pitched,  // a pitched roof, on top of the storeys instead of the roof row
  Terrace,  // the first storey of a block that steps back
  Inner,    // the inner corners of a footprint other than a rectangle, on every row
  Wings,    // a hip roof over a footprint other than a rectangle, on top of the storeys
  InnerTerrace,  // the inner corners over the terrace of a footprint's block that steps back
  Party,         // cells against a neighbour's wall in a city of map data: roof row cells, storeys' corners
  PartyCornice,  // the roof row's party parapet of a style whose cornice stands out, a set of its own
  PartyJoin,     // the party pieces without their stubs where two party cells meet, a set of its own
};

// What a piece may fill, in cell units of its own frame (+x out of the facade, +y up, +z along
// it): the cell spans x and z from -0.5 to 0.5 and y from 0 to 1.
struct CellReach {
  float lo[3];
  float hi[3];
};

struct PieceRule {
  PieceKind kind;
  const char* suffix;  // the unit file is STYLE_SUFFIX.obj
  bool required;       // false: a building without it only lacks a finish (the roof cap)
  PieceRow row;
  CellReach reach;       // slab edges, sills, cornices and balconies stand out on the street side
  const char* neededBy;  // which buildings need it, to follow "does not exist: " in the linter
};

const PieceRule& RuleOf(PieceKind i_kind);

// Every rule, in the order of PieceKind.
const PieceRule* PieceRulesBegin();
const PieceRule* PieceRulesEnd();

// The kind whose file suffix is i_suffix ("floorclose"); false for none.
bool KindOfSuffix(std::string_view i_suffix, PieceKind& o_kind);

// The kind and number of a variant's name after its style and "_": "KIND.N", N from 1 with no
// leading zero and at most 9 digits. False for anything else.
bool VariantOfSuffix(std::string_view i_suffix, PieceKind& o_kind, std::uint32_t& o_number);

// The name of a style's piece without ".obj": STYLE_SUFFIX, or STYLE_SUFFIX.N for variant N >= 1.
std::string PieceName(const std::string& i_style, PieceKind i_kind, std::uint32_t i_variant = 0);

}  // namespace Ostrel::Buildings
