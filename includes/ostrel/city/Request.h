#pragma once
// A building request, and the rules that read it cell by cell: where the door is, which cells
// get a balcony, which a wall instead of a window. The layout (Layout.h) applies them.

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::City {

// A building as the layout reads it. The requests are kept as given; only their first two
// letters count, in upper case.
struct Request {
  std::string style;
  std::string door = "  ";           // facade N, E, S or W, then L, C or R; anything else: no door
  std::vector<std::string> balcony;  // facade, then pattern A(ll), E(ven), O(dd) or C(heckerboard)
  std::vector<std::string> close;    // walls instead of windows, as balcony
  std::int64_t width = 3;            // cells along the N and S facades (z), both corners included
  std::int64_t length = 3;           // cells along the E and W facades (x), both corners included
  std::int64_t height = 2;           // rows, the roof row included
  std::uint64_t seed = 0;            // picks among the variants of a piece (Variation.h)
  bool varyByCell = false;           // a choice per cell, not per piece, storey and facade
};

// The request of w units between the corners along E and W, l along N and S, and h storeys.
// Note the swap: the width w counts cells along x, so it makes the request's length.
inline Request MakeRequest(const std::string& i_style, const std::string& i_door,
                           const std::vector<std::string>& i_balcony, const std::vector<std::string>& i_close,
                           int i_w, int i_l, int i_h) {
  return {i_style,
          i_door,
          i_balcony,
          i_close,
          std::int64_t{i_l} + 2,
          std::int64_t{i_w} + 2,
          std::int64_t{i_h} + 1};
}

enum class RowKind { Ground, Floor, Roof };

// ---- The rules of one cell ------------------------------------------------------------------

// A level as the cell rules see it: a level that does not fit wraps, as a plain conversion would.
inline int RuleLevel(std::int64_t i_level) { return static_cast<int>(static_cast<std::uint32_t>(i_level)); }

// The door's cell on this facade at this level, if the door request puts one there. i_minSide
// and i_maxSide are the indices of the facade's left and right end cells, seen from outside.
inline bool DoorCell(const std::string& i_door, int i_level, char i_facade, std::int64_t i_minSide,
                     std::int64_t i_maxSide, std::int64_t& o_cell) {
  if (i_level != 0 || i_door.size() < 2 || i_door[0] != i_facade) return false;
  const std::int64_t lo = i_minSide < i_maxSide ? i_minSide : i_maxSide;
  const std::int64_t hi = i_minSide < i_maxSide ? i_maxSide : i_minSide;
  switch (i_door[1]) {
    case 'L':
      o_cell = i_minSide;
      return true;
    case 'R':
      o_cell = i_maxSide;
      return true;
    case 'C':  // of two middle cells, the lower
      o_cell = lo + (hi - lo) / 2;
      return true;
    default:
      return false;
  }
}

// Whether a balcony or wall pattern letter selects the inner cell i_current on level i_level.
// Every pattern depends on the cell only through the parity of its index: the plan folds
// facades on that.
inline bool PatternSelects(char i_letter, int i_level, std::int64_t i_current) {
  switch (i_letter) {
    case 'A':
      return true;
    case 'E':  // cells 1, 3, 5, ...
      return (i_current & 1) != 0;
    case 'O':  // cells 2, 4, 6, ...
      return (i_current & 1) == 0;
    case 'C':  // cells of the level's parity
      return ((i_current ^ i_level) & 1) == 0;
    default:
      return false;
  }
}

// Whether any request of the list selects the cell; requests never apply to the roof row.
inline bool AnySelects(const std::vector<std::string>& i_requests, int i_level, RowKind i_row, char i_facade,
                       std::int64_t i_current) {
  if (i_row == RowKind::Roof) return false;
  for (const std::string& request : i_requests) {
    if (request.size() >= 2 && request[0] == i_facade && PatternSelects(request[1], i_level, i_current)) {
      return true;
    }
  }
  return false;
}

// Balconies never stand on the ground storey.
inline bool BalconySelects(const Request& i_request, int i_level, RowKind i_row, char i_facade,
                           std::int64_t i_current) {
  return i_level != 0 && AnySelects(i_request.balcony, i_level, i_row, i_facade, i_current);
}

inline bool CloseSelects(const Request& i_request, int i_level, RowKind i_row, char i_facade,
                         std::int64_t i_current) {
  return AnySelects(i_request.close, i_level, i_row, i_facade, i_current);
}

// "door" for the door's cell, else "close" when a wall request selects the cell, else "": the
// suffix of the cell's piece after the row kind.
inline const char* DoorOrClose(const Request& i_request, int i_level, RowKind i_row, char i_facade,
                               std::int64_t i_minSide, std::int64_t i_maxSide, std::int64_t i_current) {
  std::int64_t door = 0;
  if (DoorCell(i_request.door, i_level, i_facade, i_minSide, i_maxSide, door) && door == i_current)
    return "door";
  if (CloseSelects(i_request, i_level, i_row, i_facade, i_current)) return "close";
  return "";
}

}  // namespace Ostrel::City
