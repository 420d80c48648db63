// The rules of one cell of a building request.

#include <ostrel/layout/Request.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Buildings {

bool RoofShapeOf(const std::string& i_word, RoofShape& o_roof) {
  if (i_word == "flat") o_roof = RoofShape::Flat;
  else if (i_word == "gable") o_roof = RoofShape::Gable;
  else if (i_word == "hip") o_roof = RoofShape::Hip;
  else return false;
  return true;
}

Request MakeRequest(const std::string& i_style, const std::string& i_door,
                    const std::vector<std::string>& i_balcony, const std::vector<std::string>& i_close,
                    int i_w, int i_l, int i_h) {
  Request request;
  request.style = i_style;
  request.door = i_door;
  request.balcony = i_balcony;
  request.close = i_close;
  request.cellsAlongZ = std::int64_t{i_l} + 2;
  request.cellsAlongX = std::int64_t{i_w} + 2;
  request.rows = std::int64_t{i_h} + 1;
  return request;
}

void SetFootprint(Request& io_request, const Footprint& i_footprint) {
  const CellRect bounds = BoundsOf(i_footprint);
  io_request.cellsAlongX = bounds.x1 - bounds.x0 + 1;
  io_request.cellsAlongZ = bounds.z1 - bounds.z0 + 1;
  io_request.footprint = nullptr;
  if (!IsRectangle(i_footprint)) io_request.footprint = std::make_shared<const Footprint>(NormalizedFootprint(i_footprint));
}

// A level as the cell rules see it: a level that does not fit wraps, as a plain conversion would.
int RuleLevel(std::int64_t i_level) { return static_cast<int>(static_cast<std::uint32_t>(i_level)); }

// The door's cell on this facade at this level, if the door request puts one there. i_minSide
// and i_maxSide are the indices of the facade's left and right end cells, seen from outside.
bool DoorCell(const std::string& i_door, int i_level, char i_facade, std::int64_t i_minSide,
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
bool PatternSelects(char i_letter, int i_level, std::int64_t i_current) {
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
bool AnySelects(const std::vector<std::string>& i_requests, int i_level, PieceRow i_row, char i_facade,
                std::int64_t i_current) {
  if (i_row == PieceRow::Roof) return false;
  for (const std::string& request : i_requests) {
    if (request.size() >= 2 && request[0] == i_facade && PatternSelects(request[1], i_level, i_current)) {
      return true;
    }
  }
  return false;
}

// Balconies never stand on the ground storey.
bool BalconySelects(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                    std::int64_t i_current) {
  return i_level != 0 && AnySelects(i_request.balcony, i_level, i_row, i_facade, i_current);
}

bool CloseSelects(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                  std::int64_t i_current) {
  return AnySelects(i_request.close, i_level, i_row, i_facade, i_current);
}

CellOpening DoorOrClose(const Request& i_request, int i_level, PieceRow i_row, char i_facade,
                        std::int64_t i_minSide, std::int64_t i_maxSide, std::int64_t i_current) {
  std::int64_t door = 0;
  if (DoorCell(i_request.door, i_level, i_facade, i_minSide, i_maxSide, door) && door == i_current)
    return CellOpening::Door;
  if (CloseSelects(i_request, i_level, i_row, i_facade, i_current)) return CellOpening::Close;
  return CellOpening::Window;
}

}  // namespace Ostrel::Buildings
