// Setbacks and storey bands read from their texts and checked against the building.

#include <ostrel/layout/Setbacks.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <ostrel/layout/Footprint.h>
#include <ostrel/utils/Numbers.h>

#include "layout/FootprintParts.h"

namespace Ostrel::Buildings {

namespace {

constexpr const char* kNoSetback = " is not a setback: give LEVEL[:SIDES[:CELLS]], such as 2:NS:1";
constexpr const char* kNoBand = " is not a band: give FROM[-TO]:STYLE, such as 0:B";

// A whole number of 0 or more that fits an int32, the whole text.
bool ReadCount(std::string_view i_text, std::int64_t& o_value) {
  std::int32_t value = 0;
  if (Numbers::ParseWhole(i_text, value) != Numbers::WholeFault::None || value < 0) return false;
  o_value = value;
  return true;
}

bool ReadSides(std::string_view i_text, Setback& io_setback) {
  if (i_text.empty()) return false;
  for (const char side : i_text) {
    std::int64_t* cells = side == 'N'   ? &io_setback.north
                          : side == 'E' ? &io_setback.east
                          : side == 'S' ? &io_setback.south
                          : side == 'W' ? &io_setback.west
                                        : nullptr;
    if (!cells || *cells != 0) return false;
    *cells = 1;
  }
  return true;
}

std::string Storeys(std::int64_t i_from, std::int64_t i_to) {
  return i_from == i_to ? "storey " + std::to_string(i_from)
                        : "storeys " + std::to_string(i_from) + " to " + std::to_string(i_to);
}

std::string Cells(std::int64_t i_count) { return std::to_string(i_count) + (i_count == 1 ? " cell" : " cells"); }

// The cells c of i_cells whose next i_count - 1 cells along x (i_alongX) or z are in i_cells too:
// by doubling, in as many set operations as i_count has bits.
Footprint Eroded(const Footprint& i_cells, std::int64_t i_count, bool i_alongX) {
  const auto back = [&](const Footprint& i_set, std::int64_t i_by) {
    return i_alongX ? Shifted(i_set, -i_by, 0) : Shifted(i_set, 0, -i_by);
  };
  Footprint out = i_cells;    // the cells with the next `have` - 1 in the set
  Footprint power = i_cells;  // the same for `step` cells
  std::int64_t have = 1, step = 1;
  std::int64_t rest = i_count - 1;  // cells still to take, a power of two at a time
  while (rest > 0 && !IsEmpty(out)) {
    if (rest & 1) {
      out = Intersection(out, back(power, have));
      have += step;
    }
    rest >>= 1;
    if (rest == 0) break;
    power = Intersection(power, back(power, step));
    step *= 2;
  }
  return out;
}

// Whether the block above (i_above) keeps, of an inner corner of the block below whose inner cell
// (i_x, i_z) it keeps, the end cell one step along (i_ux, i_uz) but not the other, one step along
// (i_vx, i_vz), in a way the kit builds: the kept end's wall runs on flush with the facade below,
// and the wall over the terrace beside it is one leg of an inner corner of the block above whose
// other leg stands over the terrace all along.
bool EndsAtInnerCorner(const Footprint& i_below, const Footprint& i_above, std::int64_t i_x, std::int64_t i_z,
                       int i_ux, int i_uz, int i_vx, int i_vz) {
  // The block above's inner corner: its inner cell one step back along u, its ends the corner's
  // inner cell and the cell beside that inner cell along v.
  const std::int64_t ix = i_x - i_ux, iz = i_z - i_uz;
  if (!ContainsCell(i_above, ix, iz) || !ContainsCell(i_above, ix + i_vx, iz + i_vz)) return false;
  // The piece builds the kept end's wall too, which a facade cell of the same run continues, or
  // which turns there over the terrace beyond (the run of the block below goes on there).
  const std::int64_t nx = i_x + 2 * i_ux, nz = i_z + 2 * i_uz;
  if (ContainsCell(i_above, nx, nz) ? ContainsCell(i_above, nx + i_vx, nz + i_vz) : !ContainsCell(i_below, nx, nz))
    return false;
  // Its other leg runs on over the terrace or turns: not flush beyond its end as well.
  const std::int64_t bx = ix + 2 * i_vx, bz = iz + 2 * i_vz;
  return !ContainsCell(i_above, bx, bz) || ContainsCell(i_below, bx + i_ux, bz + i_uz);
}

// Whether the block above keeps, of an inner corner of the block below whose inner cell (i_x,
// i_z) it keeps, the end cell one step along (i_ux, i_uz) but not the other, one step along (i_vx,
// i_vz), in the other way the kit builds: the inner cell's wall faces the terrace and ends a
// stretch of wall over it, and the kept end's wall runs on flush with the facade below
// (TerraceEndLeft, Right). That piece builds the kept end's wall and the terrace's cell in front of
// the inner cell, whose parapet runs on along v into the terrace's ring.
bool EndsWallOverTerrace(const Footprint& i_below, const Footprint& i_above, std::int64_t i_x, std::int64_t i_z,
                         int i_ux, int i_uz, int i_vx, int i_vz) {
  // The cell before it along the run stands over the terrace too, in the same facade, or the
  // inner cell is the block above's outer corner, whose other wall stands over the terrace.
  const std::int64_t px = i_x - i_ux, pz = i_z - i_uz;
  if (!ContainsCell(i_above, px, pz)) {
    if (!ContainsCell(i_below, px, pz)) return false;
  } else if (ContainsCell(i_above, px + i_vx, pz + i_vz) || !ContainsCell(i_below, px + i_vx, pz + i_vz)) {
    return false;
  }
  // A facade cell of the same run continues the kept end's wall, flush as well, or the wall
  // turns there over the terrace beyond (the run of the block below goes on there).
  const std::int64_t nx = i_x + 2 * i_ux, nz = i_z + 2 * i_uz;
  if (ContainsCell(i_above, nx, nz) ? ContainsCell(i_below, nx + i_vx, nz + i_vz) : !ContainsCell(i_below, nx, nz))
    return false;
  // The terrace's cell: the cells beside it along v are the terrace's, and the one ahead a roof
  // cell of the facade its parapet runs along.
  const std::int64_t tx = i_x + i_vx + i_vx, tz = i_z + i_vz + i_vz;  // the cell after it along v
  return ContainsCell(i_below, tx, tz) && !ContainsCell(i_above, tx, tz) && !ContainsCell(i_below, tx + i_ux, tz + i_uz) &&
         ContainsCell(i_below, tx - i_ux, tz - i_uz);
}

// Whether the block above keeps, of an inner corner of the block below whose inner cell (i_x, i_z)
// it leaves out, the end cell one step along (i_ux, i_uz) and not the other, one step along (i_vx,
// i_vz), in the way the kit builds (InnerAngleRoofCornerLeft, Right): the kept end is the block
// above's outer corner, standing in the facade's inner corner, whose wall facing the inner cell
// runs on over the terrace, and the other end's parapet runs on along the terrace's ring. (The
// kept end's other neighbours are the block above's, which is at least 2 cells wide.)
bool EndsAtFacadeCorner(const Footprint& i_above, std::int64_t i_x, std::int64_t i_z, int i_ux, int i_uz, int i_vx,
                        int i_vz) {
  if (!ContainsCell(i_above, i_x + i_ux, i_z + i_uz) || ContainsCell(i_above, i_x + i_vx, i_z + i_vz)) return false;
  return !ContainsCell(i_above, i_x - i_vx, i_z - i_vz) && !ContainsCell(i_above, i_x + 2 * i_vx, i_z + 2 * i_vz);
}

// Whether the block above keeps the inner cell (i_x, i_z) of an inner corner of the block below,
// whose end cells are one step along (i_dx, 0) and (0, i_dz), and neither end, in the way the kit
// builds (InnerAngleRoofCorner): the inner cell is the block above's outer corner, and the
// terrace runs on past both end cells beside it and before them.
bool StandsInFacadeCorner(const Footprint& i_above, std::int64_t i_x, std::int64_t i_z, int i_dx, int i_dz) {
  return !ContainsCell(i_above, i_x + i_dx, i_z - i_dz) && !ContainsCell(i_above, i_x - i_dx, i_z + i_dz) &&
         !ContainsCell(i_above, i_x + 2 * i_dx, i_z) && !ContainsCell(i_above, i_x, i_z + 2 * i_dz);
}

std::string TerraceFault(const Footprint& i_below, const Footprint& i_above) {
  // Where the block above keeps some cells of an inner corner of the block below and not others,
  // a facade of the block above stands partly over the terrace and partly on the facade below, or
  // the corner's roof piece would lose a cell. The kit builds one of these: the block above keeps
  // the corner's inner cell and one end, whose wall runs on flush (or turns there, at an outer
  // corner of the block above), while the inner cell's wall over the terrace ends an inner corner
  // of the block above (InnerAngleTerraceLeft, Right and their turning kinds), a longer stretch of
  // wall over the terrace (TerraceEndLeft, Right and theirs), or is the block above's outer corner
  // itself (TerraceAngleEndLeft, Right and theirs). It builds two more, where the block above's
  // outer corner stands in the facade's inner corner: on one end and not the inner cell, or on
  // the inner cell and neither end.
  for (const detail::InnerCorner& c : detail::InnerCorners(i_below, detail::FacadeRuns(i_below))) {
    const bool inside = ContainsCell(i_above, c.x, c.z);
    const bool endX = ContainsCell(i_above, c.x + c.dx, c.z), endZ = ContainsCell(i_above, c.x, c.z + c.dz);
    if (endX == inside && endZ == inside) continue;
    if (inside && endX && EndsAtInnerCorner(i_below, i_above, c.x, c.z, c.dx, 0, 0, c.dz)) continue;
    if (inside && endZ && EndsAtInnerCorner(i_below, i_above, c.x, c.z, 0, c.dz, c.dx, 0)) continue;
    if (inside && endX && EndsWallOverTerrace(i_below, i_above, c.x, c.z, c.dx, 0, 0, c.dz)) continue;
    if (inside && endZ && EndsWallOverTerrace(i_below, i_above, c.x, c.z, 0, c.dz, c.dx, 0)) continue;
    if (inside && !endX && !endZ && StandsInFacadeCorner(i_above, c.x, c.z, c.dx, c.dz)) continue;
    if (!inside && EndsAtFacadeCorner(i_above, c.x, c.z, c.dx, 0, 0, c.dz)) continue;
    if (!inside && EndsAtFacadeCorner(i_above, c.x, c.z, 0, c.dz, c.dx, 0)) continue;
    if (inside && (endX || endZ)) {
      return " steps back only some sides of a facade that turns: one facade of the block above would stand partly "
             "over the terrace and partly on the facade below where the kit cannot join them (its flush part turns "
             "within a cell, or it stands over the terrace for one cell only); step back the sides round that turn "
             "too";
    }
    return " steps back one side of an inner corner of the footprint but not the other: step back both sides that "
           "meet there";
  }
  return "";
}

std::string FootprintSetbackFault(const Request& i_request, std::size_t i_index) {
  const Footprint below = BlockFootprintOf(i_request, i_index);
  const Footprint above = SteppedBack(below, i_request.setbacks[i_index]);
  if (IsEmpty(above)) return " leaves no cell of the footprint to stand on: the block above would be empty";
  const CellFault cells = CellSetFault(above);
  if (!cells.why.empty()) {
    return cells.atCorner ? " leaves the block above parts that meet only at a corner: give fewer cells or other sides"
                          : " splits the footprint: the block above would fall into parts apart from each other";
  }
  const CellFault shape = FootprintFault(above);
  if (!shape.why.empty()) return " leaves the block above a footprint the kit cannot build" + shape.why;
  return TerraceFault(below, above);
}

}  // namespace

bool ParseSetback(const std::string& i_text, Setback& o_setback, std::string& o_why) {
  o_why = kNoSetback;
  const std::string_view text = i_text;
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  Setback setback;
  if (!ReadCount(text.substr(0, first), setback.level)) return false;
  const std::string_view sides =
      first == std::string_view::npos ? std::string_view() : text.substr(first + 1, second - first - 1);
  if (sides.empty()) {
    setback.north = setback.east = setback.south = setback.west = 1;
  } else if (!ReadSides(sides, setback)) {
    return false;
  }
  std::int64_t cells = 1;
  if (second != std::string_view::npos && (!ReadCount(text.substr(second + 1), cells) || cells == 0)) return false;
  setback.north *= cells;
  setback.east *= cells;
  setback.south *= cells;
  setback.west *= cells;
  o_setback = setback;
  o_why.clear();
  return true;
}

bool ParseBand(const std::string& i_text, Band& o_band, std::string& o_why) {
  o_why = kNoBand;
  const std::string_view text = i_text;
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon + 1 == text.size()) return false;
  const std::string_view storeys = text.substr(0, colon);
  const std::size_t dash = storeys.find('-');
  Band band;
  if (!ReadCount(storeys.substr(0, dash), band.from)) return false;
  band.to = band.from;
  if (dash != std::string_view::npos && !ReadCount(storeys.substr(dash + 1), band.to)) return false;
  if (band.to < band.from) {
    o_why = " runs from storey " + std::to_string(band.from) + " down to " + std::to_string(band.to) +
            ": give the lower storey first";
    return false;
  }
  band.style = std::string(text.substr(colon + 1));
  o_band = band;
  o_why.clear();
  return true;
}

std::string SetbackFault(const Request& i_request, std::size_t i_index) {
  const Setback& setback = i_request.setbacks[i_index];
  const std::int64_t height = i_request.rows - 1;  // storeys
  if (height < 2) {
    return " steps back at storey " + std::to_string(setback.level) + ", but a building of height " +
           std::to_string(height) + " has no storey above its ground storey to step back";
  }
  if (setback.level < 1 || setback.level > height - 1) {
    return " steps back at storey " + std::to_string(setback.level) + ": give a storey from 1 to " +
           std::to_string(height - 1) + " (the height is " + std::to_string(height) + ")";
  }
  if (i_index > 0 && setback.level <= i_request.setbacks[i_index - 1].level) {
    return " steps back at storey " + std::to_string(setback.level) + ", not above the setback before it (storey " +
           std::to_string(i_request.setbacks[i_index - 1].level) + "): give setbacks from the lowest up";
  }
  if (i_request.footprint) return FootprintSetbackFault(i_request, i_index);
  const BlockRect above = BlockRectOf(i_request, i_index + 1);
  if (above.cellsAlongX < 2) {
    return " leaves the block above " + Cells(above.cellsAlongX) + " from north to south: a block needs 2 or more each way";
  }
  if (above.cellsAlongZ < 2) {
    return " leaves the block above " + Cells(above.cellsAlongZ) + " from west to east: a block needs 2 or more each way";
  }
  return "";
}

Footprint SteppedBack(const Footprint& i_below, const Setback& i_setback) {
  // A cell stays when the cells from `south` below it to `north` above it along x, and from
  // `west` to `east` along z, are all in the block below: every facade facing a side moves in by
  // that side's cells, and corners stay square.
  const Footprint alongX = Shifted(Eroded(i_below, i_setback.north + i_setback.south + 1, true), i_setback.south, 0);
  return Shifted(Eroded(alongX, i_setback.east + i_setback.west + 1, false), 0, i_setback.west);
}

Footprint BlockFootprintOf(const Request& i_request, std::size_t i_block) {
  Footprint cells = *i_request.footprint;
  for (std::size_t i = 0; i < i_block && i < i_request.setbacks.size(); ++i) cells = SteppedBack(cells, i_request.setbacks[i]);
  return cells;
}

std::string BandFault(const Request& i_request, std::size_t i_index) {
  const Band& band = i_request.bands[i_index];
  const std::int64_t height = i_request.rows - 1;
  // A building of height 0 has its ground storey all the same.
  const std::int64_t top = height > 0 ? height - 1 : 0;
  if (band.to > top) {
    return " covers " + Storeys(band.from, band.to) + ": the building of height " + std::to_string(height) +
           " has " + Storeys(0, top);
  }
  for (std::size_t i = 0; i < i_index; ++i) {
    const Band& before = i_request.bands[i];
    if (band.from <= before.to && before.from <= band.to) {
      return " overlaps the band of " + Storeys(before.from, before.to) + " before it";
    }
  }
  return "";
}

BlockRect BlockRectOf(const Request& i_request, std::size_t i_block) {
  BlockRect footprint{0, 0, i_request.cellsAlongX, i_request.cellsAlongZ};
  for (std::size_t i = 0; i < i_block && i < i_request.setbacks.size(); ++i) {
    const Setback& setback = i_request.setbacks[i];
    // North faces +x and west -z: stepping them in moves the north-west corner cell.
    footprint.x0 -= setback.north;
    footprint.z0 += setback.west;
    footprint.cellsAlongX -= setback.north + setback.south;
    footprint.cellsAlongZ -= setback.west + setback.east;
  }
  return footprint;
}

const std::string& StyleOfStorey(const Request& i_request, std::int64_t i_level) {
  for (std::size_t i = i_request.bands.size(); i-- > 0;) {
    const Band& band = i_request.bands[i];
    if (i_level >= band.from && i_level <= band.to) return band.style;
  }
  return i_request.style;
}

}  // namespace Ostrel::Buildings
