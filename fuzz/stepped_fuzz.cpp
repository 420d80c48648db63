// Builds a whole building over a fuzzed set of cells, stepped back by a fuzzed setback, from the
// shipped kit's pieces in style A, B or S, as the tool lays it: a setback the checks refuse is
// refused in one line, and every building they let through is one closed surface but for its base,
// with no edge used the wrong way or by more than two faces and no faces over each other, and
// every piece on the footprint's cells.
//
// Input: the first byte is the grid's width w (3 to 10 cells); the second the setback: its bits
// 0 to 3 the sides N, E, S and W, bit 4 two cells instead of one, bits 5 and 6 the style (A, B, S,
// S); each bit of the rest a 2 x 2 square of cells whose corner cell is bit k's place (k / w,
// k % w) in the grid: the set is the union of the squares. A set that the footprint's checks
// refuse is passed over.
//
// With bit 7 of the second byte, the cells are instead an L, T or U plan whose wings are wide and
// long enough for any setback of 1 or 2 cells: at least 2 cells more than twice the setback wide,
// and reaching 1 cell more than the setback past the wing they meet (a setback of some sides only
// may then leave a wall over the terrace that turns at the block above's outer corner). Its
// setback must build, whichever sides step back: the bytes after the second are the plan (0 to 2:
// L, T, U), the two widths and the two reaches beyond those least ones (0 to 2 cells each), and
// bits that mirror the plan along x, along z, and swap x and z (missing bytes are 0). With bit 3
// of that last byte as well, and a setback of 2 cells, the plan is an L or T whose wing along z is
// as deep as the setback and only the side it faces steps back: the block above is the rest of
// the other wing, whose outer corners stand in the facade's inner corners. With bit 4 instead,
// the wing along x reaches exactly as far as that setback past the other and only its end's side
// steps back: the block above keeps the inner corners' own cells and no end cell.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/layout/Setbacks.h>

#include "FuzzSupport.h"
#include "lint/LintBuildings.h"

namespace {

using namespace Ostrel::Buildings;

// The set's rows from the north (x = 0, -1, ...), each the spans of its cells.
Footprint CellsOf(const std::uint8_t* i_data, std::size_t i_size) {
  const std::size_t width = 3 + i_data[0] % 8;
  const std::size_t squares = std::min<std::size_t>((i_size - 2) * 8, width * width);
  std::vector<std::vector<char>> grid(width + 1, std::vector<char>(width + 1, 0));
  for (std::size_t k = 0; k < squares; ++k) {
    if ((i_data[2 + k / 8] >> (k % 8) & 1) == 0) continue;
    for (std::size_t dr = 0; dr < 2; ++dr)
      for (std::size_t dc = 0; dc < 2; ++dc) grid[k / width + dr][k % width + dc] = 1;
  }
  std::vector<std::vector<CellSpan>> rows(width + 1);
  for (std::size_t r = 0; r <= width; ++r) {
    for (std::size_t c = 0; c <= width; ++c) {
      if (!grid[r][c]) continue;
      const auto z = static_cast<std::int64_t>(c);
      if (!rows[r].empty() && rows[r].back().z1 == z - 1) {
        rows[r].back().z1 = z;
      } else {
        rows[r].push_back({z, z});
      }
    }
  }
  return FootprintOfRows(0, rows);
}

// The bytes after the second, for wings whose wing along z is as deep as the setback.
bool NarrowOf(const std::uint8_t* i_data, std::size_t i_size, std::int64_t i_by) {
  return i_by == 2 && i_size > 7 && (i_data[7] & 8) != 0;
}

// The same for wings whose wing along x reaches as far as the setback past the other.
bool ShortOf(const std::uint8_t* i_data, std::size_t i_size, std::int64_t i_by) {
  return i_by == 2 && i_size > 7 && (i_data[7] & 0x18) == 0x10;
}

// The side of the L's or T's wing along z in the plan of the bytes after the second, or with
// i_end the side the end of its wing along x faces: north (south), or south (north) mirrored along
// x; west (east) or east (west) with x and z swapped.
char WingSideOf(const std::uint8_t* i_data, std::size_t i_size, bool i_end) {
  const std::uint8_t mirror = i_size > 7 ? i_data[7] : 0;
  const bool far = (mirror & 1) != i_end;
  return mirror & 4 ? (far ? 'E' : 'W') : (far ? 'S' : 'N');
}

// The L, T or U plan of wings of the bytes after the second, for a setback of i_by cells.
Footprint WingsOf(const std::uint8_t* i_data, std::size_t i_size, std::int64_t i_by) {
  const auto byte = [&](std::size_t i_at) -> std::size_t { return i_at < i_size ? i_data[i_at] : 0; };
  const std::size_t by = static_cast<std::size_t>(i_by);
  const bool narrow = NarrowOf(i_data, i_size, i_by), shortX = ShortOf(i_data, i_size, i_by);
  const std::size_t plan = narrow || shortX ? byte(2) % 2 : byte(2) % 3;
  const std::size_t wideX = narrow ? by : 2 * by + 2 + byte(3) % 3, wideZ = 2 * by + 2 + byte(4) % 3;
  // Along x: a wing wideZ cells wide down the west side (the L's and T's stem, the U's arms); along
  // z: a wing wideX cells deep along the north side (the L's foot, the T's bar, the U's base).
  const std::size_t alongX = shortX ? wideX + by : wideX + by + 1 + byte(5) % 3;
  const std::size_t alongZ = wideZ + by + 1 + byte(6) % 3;
  const std::size_t lengthZ = plan == 0 ? alongZ : 2 * alongZ;  // the T's and U's bar reaches both ways
  const std::uint8_t mirror = static_cast<std::uint8_t>(byte(7));
  const std::size_t rows = std::max(alongX, lengthZ), columns = rows;
  std::vector<std::vector<char>> grid(rows, std::vector<char>(columns, 0));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      const bool bar = r < wideX && c < lengthZ;
      const bool stem = plan == 0   ? r < alongX && c < wideZ
                        : plan == 1 ? r < alongX && c >= alongZ - wideZ / 2 && c < alongZ - wideZ / 2 + wideZ
                                    : r < alongX && (c < wideZ || (c >= lengthZ - wideZ && c < lengthZ));
      const std::size_t rr = mirror & 1 ? rows - 1 - r : r, cc = mirror & 2 ? columns - 1 - c : c;
      (mirror & 4 ? grid[cc][rr] : grid[rr][cc]) = bar || stem;
    }
  }
  std::vector<std::vector<CellSpan>> spans(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      if (!grid[r][c]) continue;
      const auto z = static_cast<std::int64_t>(c);
      if (!spans[r].empty() && spans[r].back().z1 == z - 1) {
        spans[r].back().z1 = z;
      } else {
        spans[r].push_back({z, z});
      }
    }
  }
  return FootprintOfRows(0, spans);
}

const Kit& ShippedKit() {
  static const Kit kit = LoadKit(std::string(TOWERKIT_SOURCE_DIR) + "/units", {"A", "B", "S"});
  return kit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  if (i_size < 3) return 0;
  const std::uint8_t bits = i_data[1];
  const bool wings = bits & 0x80;
  const Footprint cells = wings ? WingsOf(i_data, i_size, bits & 0x10 ? 2 : 1) : CellsOf(i_data, i_size);
  FUZZ_CHECK(!wings || FootprintFault(cells).why.empty());
  if (IsEmpty(cells) || !FootprintFault(cells).why.empty()) return 0;
  const char* const styles[] = {"A", "B", "S", "S"};
  const char* style = styles[bits >> 5 & 3];
  Request request = MakeRequest(style, "SC", {"NA"}, {"EC"}, 1, 1, 4);
  SetFootprint(request, cells);
  const std::int64_t by = bits & 0x10 ? 2 : 1;
  Setback setback{2, bits & 1 ? by : 0, bits & 2 ? by : 0, bits & 4 ? by : 0, bits & 8 ? by : 0};
  if (wings && (NarrowOf(i_data, i_size, by) || ShortOf(i_data, i_size, by))) {
    const char side = WingSideOf(i_data, i_size, ShortOf(i_data, i_size, by));
    setback = {2, side == 'N' ? by : 0, side == 'E' ? by : 0, side == 'S' ? by : 0, side == 'W' ? by : 0};
  }
  if (setback.north + setback.east + setback.south + setback.west == 0) return 0;
  request.setbacks = {setback};
  const std::string fault = SetbackFault(request, 0);
  FUZZ_CHECK(!wings || fault.empty());
  if (!fault.empty()) {
    FUZZ_CHECK(fault.find('\n') == std::string::npos);
    return 0;
  }
  const Kit& kit = ShippedKit();
  const Plan plan = MakePlan(request, kit);
  std::vector<PieceId> same(kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  BuildingFaults faults;
  CheckBuilding(plan, kit, same, std::vector<char>(kit.pieces.size(), 0), faults);
  FUZZ_CHECK(faults.open.empty());
  FUZZ_CHECK(faults.shared.empty());
  FUZZ_CHECK(faults.overlaps.empty());
  // A rectangle is laid as -w and -l lay it, its cells those of its width and length.
  if (!request.footprint) return 0;
  bool onCells = true;
  ForEachPlacement(plan, kit, [&](const Placement& i_placement) {
    onCells = onCells && ContainsCell(*request.footprint, i_placement.x, i_placement.z);
  });
  FUZZ_CHECK(onCells);
  return 0;
}
