// The bytes of large buildings, pinned by fingerprints (FNV-1a, 64 bits) of outputs that the
// plain writer produced, the one that formatted every number of every line afresh with
// std::to_chars. The text the fast writer reuses (repeated floats, the lines of each unit, runs
// of index numbers) must leave every byte as it was.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A stream buffer that keeps only the fingerprint and the length of what it is given.
struct Fingerprint : std::streambuf {
  std::uint64_t hash = 14695981039346656037u;
  std::uint64_t bytes = 0;
  std::streamsize xsputn(const char* i_text, std::streamsize i_count) override {
    for (std::streamsize i = 0; i < i_count; ++i) {
      hash = (hash ^ static_cast<unsigned char>(i_text[i])) * 1099511628211u;
    }
    bytes += static_cast<std::uint64_t>(i_count);
    return i_count;
  }
  int overflow(int i_c) override {
    const char c = static_cast<char>(i_c);
    xsputn(&c, 1);
    return i_c;
  }
};

struct Case {
  const char* name;
  std::string style, door;
  std::vector<std::string> balcony, close;
  int w, l, h;
  float position[3];
  float orientation[3];
  std::size_t offset;
  // Expected:
  std::size_t vertices;
  std::uint64_t bytes;
  std::uint64_t hash;
};

void ExpectFingerprint(const Case& i_case, const std::string& i_units) {
  Ostrel::Buildings::Building building(i_case.style, i_case.door, i_case.balcony, i_case.close, i_case.w, i_case.l,
                                  i_case.h);
  building.setUnitsPath(i_units);
  building.setPosition(i_case.position[0], i_case.position[1], i_case.position[2]);
  building.setOrientation(i_case.orientation[0], i_case.orientation[1], i_case.orientation[2]);
  Fingerprint print;
  std::ostream out(&print);
  EXPECT_EQ(building.build(out, i_case.offset), i_case.vertices) << i_case.name;
  EXPECT_EQ(print.bytes, i_case.bytes) << i_case.name;
  EXPECT_EQ(print.hash, i_case.hash) << i_case.name << ": 0x" << std::hex << print.hash;
}

// The shipped kit as it was while its pieces were convex polygons (before kitgen cut them into
// triangles for every reader): what a kit of today's files gives, byte for byte.
const std::string kPolygonKit = std::string(TOWERKIT_TEST_DATA) + "/polygon-kit";

// That kit's plain pieces, without their variants (STYLE_PIECE.N.obj), in a copy.
class ShippedPlainKit {
 public:
  ShippedPlainKit() {
    for (const auto& entry : fs::directory_iterator(kPolygonKit)) {
      const std::string name = entry.path().filename().string();
      const std::size_t dot = name.find('.');
      if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) continue;
      fs::copy(entry.path(), m_dir.path / name);
    }
  }
  std::string path() const { return m_dir.path.string(); }

 private:
  TestSupport::ScratchDir m_dir;
};

// The requests of the shipped kit's fingerprints, with what the plain pieces give.
std::vector<Case> ShippedCases() {
  return {
      {"the tool's placement",
       "A",
       "NC",
       {"SC"},
       {"WE"},
       24,
       16,
       10,
       {0, 0, 0},
       {0, 0, 1},
       0,
       41252,
       3532569,
       0xf94c2e04c7b8ac73u},
      // Turned by a direction off the axes, so that hardly a coordinate repeats.
      {"turned and moved",
       "B",
       "EL",
       {"NA", "WO"},
       {"SC", "EE"},
       17,
       9,
       7,
       {10.5f, -2, 3.25f},
       {0.6f, 0, 0.8f},
       1000,
       40288,
       3805916,
       0x4ae3fcd3f520f702u},
      // Vertex numbers run from 999001 across 999999 to 1013584.
      {"numbers gain a digit",
       "A",
       "SR",
       {"EC"},
       {"NO"},
       9,
       13,
       6,
       {0, 0, 0},
       {1, 0, 0},
       999000,
       14584,
       1300312,
       0x55c9e4176c38e442u},
      // Vertex numbers of ten digits, up to 4294773615.
      {"largest numbers",
       "B",
       "WC",
       {},
       {},
       5,
       4,
       3,
       {0, 0, 0},
       {0, 0, 1},
       4294967295u - 200000,
       6320,
       644408,
       0x80dac28823c6c446u},
  };
}

// The shipped kit's pieces name materials, so these outputs hold usemtl lines; without those
// lines they equal, byte for byte, the outputs of the same kit with its material lines removed
// (checked when these numbers were taken, before the kit had variants).
TEST(BuildingFingerprint, ShippedKit) {
  const ShippedPlainKit plain;
  for (const Case& entry : ShippedCases()) ExpectFingerprint(entry, plain.path());
}

// The same requests with the shipped variants, chosen by the default seed 0: the variants'
// bytes and the choices they fall to, through the whole writer.
TEST(BuildingFingerprint, ShippedKitWithVariants) {
  const struct {
    std::size_t vertices;
    std::uint64_t bytes;
    std::uint64_t hash;
  } expected[] = {{42068, 3647602, 0x33850dcd482dbfe0u},
                  {35812, 3316150, 0x8e110faec48414c0u},
                  {14464, 1301741, 0x825e17fdc55394d3u},
                  {6520, 662004, 0x7bf3832868e119e1u}};
  std::vector<Case> cases = ShippedCases();
  ASSERT_EQ(cases.size(), std::size(expected));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    cases[i].vertices = expected[i].vertices;
    cases[i].bytes = expected[i].bytes;
    cases[i].hash = expected[i].hash;
    ExpectFingerprint(cases[i], kPolygonKit);
  }
}

// A kit whose ground piece has more normals and texture coordinates than the writer keeps as
// ready text, so that they are written line by line; the other pieces stay small.
std::string LargeUnit(int i_quads) {
  std::string text;
  for (int i = 0; i < 4 * i_quads; ++i) {
    const std::string a = std::to_string(i % 3) + "." + std::to_string(i % 997);
    const std::string b = std::to_string(i % 5) + "." + std::to_string((7 * i) % 1009);
    text += "v 0." + std::to_string(i % 10) + " " + a + " -" + b + "\n";
    text += "vn " + std::to_string((i % 7) - 3) + " 0." + std::to_string(i % 13) + " " + a + "\n";
    text += "vt 0." + std::to_string(i % 1013) + " " + b + "\n";
  }
  for (int q = 0; q < i_quads; ++q) {
    text += "f";
    for (int c = 1; c <= 4; ++c) {
      const std::string n = std::to_string(4 * q + c);
      text += " " + n + "/" + n + "/" + n;
    }
    text += "\n";
  }
  return text;
}

TEST(BuildingFingerprint, UnitTooLargeForReadyText) {
  TestSupport::ScratchDir kit;
  TestSupport::WriteFile(kit / "base_floorclose.obj", "v 0 0 0\nv 3 3 0.2\n");
  TestSupport::WriteFile(kit / "base_roof.obj", "v 0 0 0\nv 3 0.5 3\n");
  TestSupport::WriteFile(kit / "Z_ground.obj", LargeUnit(9000));
  TestSupport::WriteFile(kit / "Z_angle.obj",
                         "v 1 0 0\nv 0 1 0\nv 0 0 1\nvn 0 1 0\nvt 0.5 1\nf 1/1/1 2/1/1 3/1/1\n");
  TestSupport::WriteFile(kit / "Z_roof.obj",
                         "v 1 2 0\nv 0 1 2\nv 2 0 1\nvn 1 0 0\nvt 1 0.25\nf 1/1/1 2/1/1 3/1/1\n");
  const Case large = {"large unit",
                      "Z",
                      "  ",
                      {},
                      {},
                      1,
                      1,
                      1,
                      {0, 0, 0},
                      {0.8f, 0, -0.6f},
                      7,
                      144000 + 2 * 4 * 3,
                      11892458,
                      0x1645fe26014b998au};
  ExpectFingerprint(large, kit.path.string());
}

}  // namespace
