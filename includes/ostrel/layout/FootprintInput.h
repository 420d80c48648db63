#pragma once
// A footprint as the tool and the city file take it: an outline through corners of cells, or a
// text mask of cells. Each reader gives the footprint in the building's frame (Footprint.h) or
// says what is wrong and where, to follow the option's name or the file's name in a message.
//
// An outline is "X,Z X,Z ...": corners of cells, X to the north and Z to the east, whole numbers;
// cell (X, Z) is the cell whose corners are X .. X + 1 and Z .. Z + 1. Each edge runs north-south
// or east-west; the last corner joins the first. Further rings after ";" are courtyards: each lies
// inside the outline, apart from it and from the others.
//
// A mask is text, one line per row of cells, north at the top, west at the left: "#" for a cell,
// "." for none; a line may end early (the rest is none), and a "\r" before a line feed is
// dropped.

#include <cstddef>
#include <cstdint>
#include <string>

#include <ostrel/layout/Footprint.h>

namespace Ostrel::Buildings {

// The most cells a footprint may span each way: a rectangle's -w and -l reach as far.
inline constexpr std::int64_t kMaxFootprintCells = 2147483647;

// The most corners an outline may have, all its rings together.
inline constexpr std::size_t kMaxOutlineCorners = 4096;

// Reads an outline. On a fault, false and o_why: a text such as "the corner 3,4 ...", to follow
// "option '--footprint': ".
bool ParseOutline(const std::string& i_text, Footprint& o_footprint, std::string& o_why);

// Reads a mask. On a fault, false, o_why and the place: o_line and o_column (1-based; column 0
// for a fault of the whole mask), to follow the file's name as "FILE:LINE:COLUMN: ".
bool ParseMask(const std::string& i_text, Footprint& o_footprint, std::size_t& o_line, std::size_t& o_column,
               std::string& o_why);

}  // namespace Ostrel::Buildings
