// Writes a unit kit of dense pieces, as artists' kits are: every piece a cloud of random
// coordinates inside its cell, with few repeated values, for measuring builds beyond the shipped
// kit's few hundred vertices per piece.
//
//   densekit FOLDER VERTICES           every piece of style D with VERTICES vertices, and a
//                                      normal and a texture coordinate of its own on every corner
//   densekit FOLDER VERTICES positions the floor piece alone with VERTICES vertices, positions
//                                      only; every other piece one small triangle
//
// The cell is 3 x 3 x 3 file units, as in the shipped kit. The same arguments always write the
// same files.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <ostrel/utils/NumberFormat.h>

namespace {

constexpr const char* kKinds[] = {"angle", "angleroof", "ground", "grounddoor", "groundclose", "floor",
                                  "floorclose", "roof", "roofdoor", "balcony", "roofcap"};

// A small, fixed random sequence (splitmix64), so that the kit is the same on every machine.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  // A float in [i_low, i_high).
  float in(float i_low, float i_high) {
    return i_low + (i_high - i_low) * static_cast<float>(next() >> 40) / static_cast<float>(1u << 24);
  }
};

void Number(std::string& io_text, float i_value) {
  io_text += ' ';
  io_text += Ostrel::Format::FloatToString(i_value);
}

// A piece of i_vertices vertices in triangles of consecutive vertices.
std::string Piece(std::uint64_t i_seed, long i_vertices, bool i_attributes) {
  Random random{i_seed};
  std::string text;
  text.reserve(static_cast<std::size_t>(i_vertices) * (i_attributes ? 100 : 40));
  for (long i = 0; i < i_vertices; ++i) {
    text += 'v';
    Number(text, random.in(-1.5f, 1.5f));
    Number(text, random.in(0.0f, 3.0f));
    Number(text, random.in(-1.5f, 1.5f));
    text += '\n';
    // Without normals and texture coordinates, each triangle follows its three vertices and
    // names them relatively, so that a piece of two million vertices still fits the reader's
    // 64 MiB.
    if (!i_attributes && i % 3 == 2) text += "f -3 -2 -1\n";
  }
  if (i_attributes) {
    for (long i = 0; i < i_vertices; ++i) {
      text += "vn";
      Number(text, random.in(-1, 1));
      Number(text, random.in(-1, 1));
      Number(text, random.in(-1, 1));
      text += "\nvt";
      Number(text, random.in(0, 4));
      Number(text, random.in(0, 4));
      text += '\n';
    }
  }
  if (!i_attributes) return text;
  for (long i = 0; i + 3 <= i_vertices; i += 3) {
    text += 'f';
    for (long k = i + 1; k <= i + 3; ++k) {
      const std::string n = std::to_string(k);
      text += ' ' + n + '/' + n + '/' + n;
    }
    text += '\n';
  }
  return text;
}

bool Write(const std::string& i_path, const std::string& i_text) {
  std::ofstream file(i_path, std::ios::binary | std::ios::trunc);
  file << i_text;
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "positions")) {
    std::fprintf(stderr, "Usage: densekit FOLDER VERTICES [positions]\n");
    return 1;
  }
  const std::string folder = argv[1];
  const long vertices = std::atol(argv[2]);
  const bool positionsOnly = argc == 4;
  bool written = Write(folder + "/base_floorclose.obj", "v -1.5 0 -1.5\nv 1.5 3 1.5\n") &&
                 Write(folder + "/base_roof.obj", "v -1.5 0 -1.5\nv 1.5 0.3 1.5\n");
  std::uint64_t seed = 1;
  for (const char* kind : kKinds) {
    const bool dense = !positionsOnly || std::string(kind) == "floor";
    const std::string text = Piece(seed++, dense ? vertices : 3, !positionsOnly);
    written = written && Write(folder + "/D_" + kind + ".obj", text);
  }
  if (!written) {
    std::fprintf(stderr, "Cannot write the kit into '%s'\n", folder.c_str());
    return 1;
  }
  return 0;
}
