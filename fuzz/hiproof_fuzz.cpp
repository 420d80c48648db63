// Lays a hip roof over a fuzzed set of cells and assembles it from the shipped kit's pieces, in
// styles A, B and S: every cell takes one piece, the pieces make one closed surface but for the
// walls' feet, with no faces overlapping, and every corner of the slopes lies on the roof's
// height field as the cells give it.
//
// Input: the first byte is the grid's width w (3 to 10 cells), each bit of the rest a 2 x 2
// square of cells whose corner cell is bit k's place (k / w, k % w) in the grid: the set is the
// union of the squares, so no part of it is narrower than two cells. A set that is not
// 4-connected, or has two cells meeting only at a corner, is no footprint and is passed over.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <ostrel/ext/MeshCheck.h>

#include "FuzzSupport.h"
#include "HipRoofs.h"

namespace {

using HipRoofs::Mask;

Mask MaskOf(const std::uint8_t* i_data, std::size_t i_size) {
  if (i_size < 2) return {};
  const std::size_t width = 3 + i_data[0] % 8;
  const std::size_t squares = std::min<std::size_t>((i_size - 1) * 8, width * width);
  Mask mask(width + 1, std::string(width + 1, '.'));
  for (std::size_t k = 0; k < squares; ++k) {
    if ((i_data[1 + k / 8] >> (k % 8) & 1) == 0) continue;
    const std::size_t r = k / width, c = k % width;
    for (std::size_t dr = 0; dr < 2; ++dr) {
      for (std::size_t dc = 0; dc < 2; ++dc) mask[r + dr][c + dc] = '#';
    }
  }
  return mask;
}

bool At(const Mask& i_mask, long i_r, long i_c) {
  return i_r >= 0 && i_c >= 0 && i_r < static_cast<long>(i_mask.size()) &&
         i_c < static_cast<long>(i_mask[static_cast<std::size_t>(i_r)].size()) &&
         i_mask[static_cast<std::size_t>(i_r)][static_cast<std::size_t>(i_c)] == '#';
}

// One piece of cells, none meeting another only at a corner.
bool IsFootprint(const Mask& i_mask) {
  const long rows = static_cast<long>(i_mask.size()), columns = static_cast<long>(i_mask[0].size());
  long cells = 0, first = -1;
  for (long r = 0; r < rows; ++r) {
    for (long c = 0; c < columns; ++c) {
      if (!At(i_mask, r, c)) continue;
      ++cells;
      if (first < 0) first = r * columns + c;
      // The corner below and right of (r, c): a pinch has exactly the two diagonal cells.
      if (At(i_mask, r + 1, c + 1) && !At(i_mask, r, c + 1) && !At(i_mask, r + 1, c)) return false;
    }
    for (long c = 0; c < columns; ++c) {
      if (!At(i_mask, r, c) && At(i_mask, r, c + 1) && At(i_mask, r + 1, c) && !At(i_mask, r + 1, c + 1)) return false;
    }
  }
  if (cells == 0) return false;
  std::vector<char> seen(static_cast<std::size_t>(rows * columns), 0);
  std::vector<long> stack = {first};
  seen[static_cast<std::size_t>(first)] = 1;
  long reached = 0;
  while (!stack.empty()) {
    const long at = stack.back();
    stack.pop_back();
    ++reached;
    const long r = at / columns, c = at % columns;
    const long next[4][2] = {{r + 1, c}, {r - 1, c}, {r, c + 1}, {r, c - 1}};
    for (const auto& n : next) {
      if (!At(i_mask, n[0], n[1]) || seen[static_cast<std::size_t>(n[0] * columns + n[1])]) continue;
      seen[static_cast<std::size_t>(n[0] * columns + n[1])] = 1;
      stack.push_back(n[0] * columns + n[1]);
    }
  }
  return reached == cells;
}

void CheckStyle(const char* i_style, const Mask& i_mask, const std::vector<HipRoofs::Placed>& i_roof) {
  static PitchedRoofs::Kit kits[3] = {{std::string(TOWERKIT_SOURCE_DIR) + "/units", "A"},
                                      {std::string(TOWERKIT_SOURCE_DIR) + "/units", "B"},
                                      {std::string(TOWERKIT_SOURCE_DIR) + "/units", "S"}};
  PitchedRoofs::Kit& kit = kits[std::string(i_style) == "A" ? 0 : std::string(i_style) == "B" ? 1 : 2];
  const PitchedRoofs::Pitch pitch = PitchedRoofs::MeasurePitch(kit);
  const Obj::Mesh mesh = HipRoofs::Assemble(kit, i_roof, pitch.rise);
  for (const Ostrel::MeshCheck::EdgeFinding& edge : Ostrel::MeshCheck::FindEdgeFaults(mesh)) {
    if (edge.fault == Ostrel::MeshCheck::EdgeFault::Open && edge.from.y == 0 && edge.to.y == 0) continue;
    std::fprintf(stderr, "%s: edge (%g %g %g) - (%g %g %g) over\n", i_style, edge.from.x, edge.from.y, edge.from.z,
                 edge.to.x, edge.to.y, edge.to.z);
    for (const std::string& line : i_mask) std::fprintf(stderr, "  %s\n", line.c_str());
    FUZZ_CHECK(!"an edge open above the walls' feet, flipped or crowded");
  }
  FUZZ_CHECK(Ostrel::MeshCheck::FindOverlaps(mesh).empty());
  HipRoofs::ForEachSlopeCorner(mesh, [&](const Ostrel::VectorF& v) {
    const long distance = HipRoofs::SignedDistance(i_mask, std::lround(v.x), std::lround(v.z));
    FUZZ_CHECK(std::lround(v.y) * 300 == pitch.thick * 300 + pitch.rise * distance);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  const Mask mask = MaskOf(i_data, i_size);
  if (mask.empty() || !IsFootprint(mask)) return 0;
  std::string fault;
  const std::vector<HipRoofs::Placed> roof = HipRoofs::Roof(mask, fault);
  FUZZ_CHECK(fault.empty());
  // Every cell once.
  Mask covered(mask.size(), std::string(mask[0].size(), '.'));
  for (const HipRoofs::Placed& at : roof) {
    FUZZ_CHECK(HipRoofs::IsCell(mask, at.x, at.z));
    char& cell = covered[static_cast<std::size_t>(-at.x)][static_cast<std::size_t>(at.z)];
    FUZZ_CHECK(cell == '.');
    cell = '#';
  }
  FUZZ_CHECK(covered == mask);
  CheckStyle("A", mask, roof);
  CheckStyle("B", mask, roof);
  CheckStyle("S", mask, roof);
  return 0;
}
