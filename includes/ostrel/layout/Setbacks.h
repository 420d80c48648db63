#pragma once
// Setbacks and storey bands: a building as blocks of storeys, each on a footprint stepped in from
// the one below, and runs of storeys built from another style's pieces. The texts the tool and
// the city file take, what is wrong with them, and the footprint and style each storey gets.

#include <cstddef>
#include <cstdint>
#include <string>

#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/Request.h>

namespace Ostrel::Buildings {

// A block's cells: x from x0 - (cellsAlongX - 1) to x0, z from z0 to z0 + cellsAlongZ - 1 (cell
// units; the whole building's footprint has x0 = z0 = 0).
struct BlockRect {
  std::int64_t x0 = 0, z0 = 0;
  std::int64_t cellsAlongX = 0, cellsAlongZ = 0;
};

// "LEVEL[:SIDES[:CELLS]]": from storey LEVEL up, the sides of SIDES (any of N, E, S and W, once
// each; all four when left out or empty, as in "2::3") step in by CELLS (1 when left out). On a text that is none, false
// and o_why, to follow the quoted text in a message.
bool ParseSetback(const std::string& i_text, Setback& o_setback, std::string& o_why);

// "FROM[-TO]:STYLE": storeys FROM to TO (FROM alone: that storey) of style STYLE.
bool ParseBand(const std::string& i_text, Band& o_band, std::string& o_why);

// What is wrong with the request's i-th setback where it stands (a storey the building does not
// have above its ground storey, not above the one before it, a footprint of fewer than 2 cells
// either way; on a footprint of any shape, a block above that is empty, split, one the kit cannot
// build, or one whose terrace the kit's pieces cannot lay), to follow the quoted setback in a
// message; empty when nothing is.
std::string SetbackFault(const Request& i_request, std::size_t i_index);

// What is wrong with the request's i-th band where it stands (storeys the building does not have,
// storeys of a band before it); empty when nothing is. Whether its style exists is the kit's to say.
std::string BandFault(const Request& i_request, std::size_t i_index);

// The footprint of block i_block: 0 is the whole building's, block b stands on the setbacks
// 0 .. b-1.
BlockRect BlockRectOf(const Request& i_request, std::size_t i_block);

// A footprint's block above a setback: the cells of the block below that have, along x, the
// setback's `north` cells of the block below on their north and its `south` cells on their south,
// and along z its `west` and `east` cells. So every facade facing north, courtyards' included,
// steps in by `north` cells, and so on, and every corner stays square: an inner corner moves in
// diagonally, as an outer one does. On a rectangle it is BlockRectOf's rectangle.
Footprint SteppedBack(const Footprint& i_below, const Setback& i_setback);

// The cells of block i_block of a footprint's building (Request::footprint not null): the
// footprint stepped back by setbacks 0 .. i_block - 1 in turn.
Footprint BlockFootprintOf(const Request& i_request, std::size_t i_block);

// The style of storey i_level: the last band's that covers it, else the building's.
const std::string& StyleOfStorey(const Request& i_request, std::int64_t i_level);

}  // namespace Ostrel::Buildings
