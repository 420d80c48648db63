#pragma once
// What the OBJ writer is told beside what every format is (Formats.h): the material library the
// output names, where its indices start, whether buildings are named objects, and its threads.

#include <cstdint>
#include <string>

namespace Ostrel::Buildings {

// The largest index an OBJ file may hold.
inline constexpr std::uint64_t kMaxIndex = 0xFFFFFFFFu;

struct ObjOptions {
  bool objectLines = false;  // an "o NAME" line starts each building
  std::string comment{};     // one line of text, written first as "# TEXT"; empty: none
  // The material library's file name, which the output names ("mtllib NAME" as its first line)
  // when it uses materials; empty: faces still name their materials, but no library is made. The
  // library is written into libraryFolder: its texture paths are made relative to it.
  std::string libraryName{};
  std::string libraryFolder = ".";
  std::uint64_t vertexOffset = 0;  // vertex indices start after this many
  // Threads that make a city's buildings, the calling one included; a single building's text (or
  // each building's, when they carry engine extras) is made on this many while the calling one
  // writes it. The output is the same bytes whatever the number.
  unsigned jobs = 1;
  // Whether, at jobs 1, the lines of a piece of 131,072 vertices or more are made on a second
  // thread too, as at jobs 2. The same bytes either way.
  bool hugePieceHelper = false;
};

}  // namespace Ostrel::Buildings
