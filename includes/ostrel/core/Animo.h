#pragma once
// The header record of an animated mesh and its console dump.

#include <cstdint>
#include <string>

#include <ostrel/utils/Messages.h>
#include <ostrel/utils/NumberFormat.h>

namespace Ostrel::Animo {

struct Header {
  std::string version;
  std::string filename;
  std::uint32_t verticescount = 0;
  std::uint32_t normalscount = 0;
  std::uint32_t uvscount = 0;
  std::uint32_t polygonscount = 0;
  std::uint32_t vindicescount = 0;
  std::uint32_t nindicescount = 0;
  std::uint32_t uvindicescount = 0;
  float fromframe = 0;
  float toframe = 0;
  std::uint32_t endoffset = 0;  // carried, never printed
};

// Up to ten info lines; each tests the verbosity on its own.
inline void PrintHeader(const Header& i_header) {
  using Message::PrintInfo;
  PrintInfo("Loading '" + i_header.filename + "'");
  PrintInfo(" - version    : " + i_header.version);
  PrintInfo(" - vertices   : " + std::to_string(i_header.verticescount));
  PrintInfo(" - normals    : " + std::to_string(i_header.normalscount));
  PrintInfo(" - uvs        : " + std::to_string(i_header.uvscount));
  PrintInfo(" - polygons   : " + std::to_string(i_header.polygonscount));
  PrintInfo(" - v-indices  : " + std::to_string(i_header.vindicescount));
  PrintInfo(" - n-indices  : " + std::to_string(i_header.nindicescount));
  PrintInfo(" - uv-indices : " + std::to_string(i_header.uvindicescount));
  PrintInfo(" - framerange : " + Format::FloatToString(i_header.fromframe) + "-" +
            Format::FloatToString(i_header.toframe));
}

}  // namespace Ostrel::Animo
