// Differential tests: a deliberately naive building, which holds the whole mesh in memory, reads
// every unit file again for each placement and composes each line in its own string stream,
// against Building::build, byte for byte, over many sizes and requests.

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

#include <ostrel/ext/Obj.h>
#include "write/obj/ObjText.h"

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using BuildingTest::Request;
using Ostrel::UV;
using Ostrel::VectorF;

// Turns a vector about y by the direction (xd, zd), normalised; a zero direction turns nothing.
VectorF NaiveTurn(VectorF n, float xd, float zd) {
  const double length = std::sqrt(double(xd) * xd + double(zd) * zd);
  if (length == 0) return n;
  const float c = float(zd / length);
  const float s = float(xd / length);
  VectorF out;
  out.x = n.x * c - n.z * s;
  out.z = n.x * s + n.z * c;
  out.y = n.y;
  if (out.x == 0) out.x = 0;  // no negative zero
  if (out.z == 0) out.z = 0;
  return out;
}

struct NaiveBuilding {
  Request request;
  std::string units;
  float xpos = 0, ypos = 0, zpos = 0, xdir = 0, zdir = 1;
  int width = 0, length = 0, height = 0;
  float unitWidth = 0, unitHeight = 0, unitLength = 0;

  std::vector<VectorF> vertices, normals;
  std::vector<UV> uvs;
  // Per corner: vertex, texture and normal number, 1-based, 0 when the corner has no such field.
  std::vector<std::size_t> cv, ct, cn;
  std::vector<std::size_t> polycount;
  std::vector<std::string> missing;

  std::size_t AddUnit(const std::string& type, std::size_t offset, float x, float y, float z, float xd,
                      float zd) {
    const std::string file = units + "/" + type + ".obj";
    Obj::Mesh mesh;
    if (!Obj::ReadMesh(file, mesh)) {
      bool listed = false;
      for (const auto& m : missing) listed = listed || m == file;
      if (!listed && type != request.style + "_roofcap") missing.push_back(file);
      return 0;
    }
    const std::size_t normalsBefore = normals.size();
    const std::size_t uvsBefore = uvs.size();
    for (const VectorF& v : mesh.vertices) {
      const float vx = v.x / unitWidth;
      const float vy = v.y / unitHeight;
      const float vz = v.z / unitLength;
      const float vx1 = vx * zd - vz * xd;
      const float vz1 = vx * xd + vz * zd;
      vertices.push_back(VectorF(vx1 + x, vy + y, vz1 + z));
    }
    for (const VectorF& n : mesh.normals) normals.push_back(NaiveTurn(n, xd, zd));
    for (const UV& t : mesh.uvs) uvs.push_back(t);
    std::size_t k = 0;
    for (std::uint32_t count : mesh.polycount) {
      if (count >= 3) {
        for (std::uint32_t j = 0; j < count; ++j) {
          const Obj::Corner& c = mesh.corners[k + j];
          cv.push_back(offset + c.v + 1);
          ct.push_back(c.uv == Obj::kAbsent ? 0 : uvsBefore + c.uv + 1);
          cn.push_back(c.n == Obj::kAbsent ? 0 : normalsBefore + c.n + 1);
        }
        polycount.push_back(count);
      }
      k += count;
    }
    return mesh.vertices.size();
  }

  bool Selects(const std::vector<std::string>& list, int level, const std::string& name, char side,
               int current) {
    for (const std::string& entry : list) {
      if (name == "roof" || entry.size() < 2 || entry[0] != side) continue;
      const char p = entry[1];
      if (p == 'A') return true;
      if (p == 'E' && current % 2 == 1) return true;
      if (p == 'O' && current % 2 == 0) return true;
      if (p == 'C' && current % 2 == level % 2) return true;
    }
    return false;
  }

  std::string DoorOrClose(int level, const std::string& name, char side, int minSide, int maxSide,
                          int current) {
    const std::string& door = request.door;
    if (level == 0 && door.size() >= 2 && door[0] == side) {
      const int lo = std::min(minSide, maxSide), hi = std::max(minSide, maxSide);
      if ((door[1] == 'R' && current == maxSide) || (door[1] == 'L' && current == minSide) ||
          (door[1] == 'C' && current == lo + (hi - lo) / 2)) {
        return "door";
      }
    }
    return Selects(request.close, level, name, side, current) ? "close" : "";
  }

  std::size_t AddFloor(std::size_t offset, int level, const std::string& angle, const std::string& side) {
    const std::string type = request.style;
    std::size_t current = 0;
    const float y = float(level);
    auto place = [&](const std::string& piece, int x, int z, float xd, float zd) {
      current += AddUnit(piece, offset + current, float(x), y, float(z), xd, zd);
    };
    auto cell = [&](char f, int minSide, int maxSide, int i, int x, int z, float xd, float zd) {
      place(type + "_" + side + DoorOrClose(level, side, f, minSide, maxSide, i), x, z, xd, zd);
      if (level != 0 && Selects(request.balcony, level, side, f, i)) place(type + "_balcony", x, z, xd, zd);
    };
    const int W = width, L = length;
    place(type + "_" + angle, 0, 0, -1, 0);
    for (int w = 1; w < W - 1; ++w) cell('N', W - 2, 1, w, 0, w, 0, 1);
    place(type + "_" + angle, 0, W - 1, 0, 1);
    for (int l = 1; l < L - 1; ++l) cell('E', L - 2, 1, l, -l, W - 1, 1, 0);
    place(type + "_" + angle, 1 - L, W - 1, 1, 0);
    for (int w = 1; w < W - 1; ++w) cell('S', 1, W - 2, w, 1 - L, w, 0, -1);
    place(type + "_" + angle, 1 - L, 0, 0, -1);
    for (int l = 1; l < L - 1; ++l) cell('W', 1, L - 2, l, -l, 0, -1, 0);
    if (side == "roof") {
      for (int l = 1; l <= L - 2; ++l) {
        for (int w = 1; w <= W - 2; ++w) place(type + "_roofcap", -l, w, 0, 1);
      }
    }
    return current;
  }

  static std::string Num(float f) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << f;
    return s.str();
  }

  // The whole text, or empty when the build would be refused.
  std::string Build(std::size_t offset) {
    width = request.l + 2;
    length = request.w + 2;
    height = request.h + 1;
    std::vector<VectorF> base;
    for (const char* name : {"/base_floorclose.obj", "/base_roof.obj"}) {
      Obj::Mesh mesh;
      Obj::ReadMesh(units + name, mesh);
      base.insert(base.end(), mesh.vertices.begin(), mesh.vertices.end());
    }
    VectorF lo(1000000.0f), hi(-1000000.0f);
    for (const VectorF& v : base) {
      lo = VectorF(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
      hi = VectorF(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    }
    unitWidth = hi.x - lo.x;
    unitHeight = hi.y - lo.y;
    unitLength = hi.z - lo.z;
    if (base.empty() || unitWidth == 0 || unitHeight == 0 || unitLength == 0) return "";

    std::size_t current = 0;
    current += AddFloor(offset + current, 0, "angle", "ground");
    for (int level = 1; level < height - 1; ++level)
      current += AddFloor(offset + current, level, "angle", "floor");
    current += AddFloor(offset + current, height - 1, "angleroof", "roof");
    if (current == 0) return "";

    std::string text;
    for (VectorF& v : vertices) {
      const float vx = v.x, vz = v.z;
      v.x = zdir * vx - xdir * vz;
      v.z = xdir * vx + zdir * vz;
      v.x += xpos;
      v.y += ypos;
      v.z += zpos;
      text += "v " + Num(v.x) + " " + Num(v.y) + " " + Num(v.z) + "\n";
    }
    for (const VectorF& n0 : normals) {
      const VectorF n = NaiveTurn(n0, xdir, zdir);
      text += "vn " + Num(n.x) + " " + Num(n.y) + " " + Num(n.z) + "\n";
    }
    for (const UV& t : uvs) text += "vt " + Num(t.u) + " " + Num(t.v) + "\n";
    std::size_t k = 0;
    for (std::size_t count : polycount) {
      text += "f ";
      for (std::size_t j = 0; j < count; ++j, ++k) {
        text += std::to_string(cv[k]);
        if (cn[k] != 0)
          text += "/" + (ct[k] != 0 ? std::to_string(ct[k]) : std::string()) + "/" + std::to_string(cn[k]);
        else if (ct[k] != 0)
          text += "/" + std::to_string(ct[k]);
        text += " ";
      }
      text += "\n";
    }
    return text;
  }
};

// Builds the request both ways and compares text, result, error and missing files.
void ExpectSame(const Request& request, const std::string& units = BuildingTest::kKit, std::size_t offset = 0,
                float xdir = 0, float zdir = 1, VectorF position = VectorF()) {
  SCOPED_TRACE("w " + std::to_string(request.w) + " l " + std::to_string(request.l) + " h " +
               std::to_string(request.h) + " door '" + request.door + "' balconies " +
               std::to_string(request.balcony.size()) +
               (request.balcony.empty() ? "" : " " + request.balcony[0]) + " walls " +
               std::to_string(request.close.size()) + (request.close.empty() ? "" : " " + request.close[0]));
  NaiveBuilding naive;
  naive.request = request;
  naive.units = units;
  naive.xdir = xdir;
  naive.zdir = zdir;
  naive.xpos = position.x;
  naive.ypos = position.y;
  naive.zpos = position.z;
  const std::string expected = naive.Build(offset);

  Ostrel::Buildings::Building building = BuildingTest::Make(request, units);
  building.setOrientation(xdir, 0, zdir);
  building.setPosition(position.x, position.y, position.z);
  std::ostringstream out;
  const std::size_t placed = building.build(out, offset);

  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(placed, naive.vertices.size());
  EXPECT_EQ(building.lastError() == Ostrel::Buildings::BuildError::None, !expected.empty());
  EXPECT_EQ(building.missingUnitFiles(), naive.missing);
  EXPECT_EQ(BuildingTest::CheckIndices(out.str(), offset), "");
}

const std::vector<std::string> kDoors = {"  ", "NL", "NC", "NR", "EL", "EC", "ER",
                                         "SL", "SC", "SR", "WL", "WC", "WR"};

std::vector<std::vector<std::string>> AllPatterns() {
  std::vector<std::vector<std::string>> patterns = {{}};
  for (const char facade : std::string("NESW")) {
    for (const char letter : std::string("AEOC")) patterns.push_back({std::string{facade, letter}});
  }
  return patterns;
}

TEST(BuildingReference, EverySizeFromZeroToFour) {
  const auto patterns = AllPatterns();
  int i = 0;
  for (int w = 0; w <= 4; ++w) {
    for (int l = 0; l <= 4; ++l) {
      for (int h = 0; h <= 4; ++h, ++i) {
        Request request;
        request.w = w;
        request.l = l;
        request.h = h;
        request.door = kDoors[static_cast<std::size_t>(i) % kDoors.size()];
        request.balcony = patterns[static_cast<std::size_t>(i * 7) % patterns.size()];
        request.close = patterns[static_cast<std::size_t>(i * 5 + 3) % patterns.size()];
        ExpectSame(request);
      }
    }
  }
}

TEST(BuildingReference, EveryDoorWithEveryWallPattern) {
  for (const std::string& door : kDoors) {
    for (const auto& close : AllPatterns()) {
      Request request;
      request.w = 3;
      request.l = 4;
      request.h = 2;
      request.door = door;
      request.close = close;
      request.balcony = {"SC"};
      ExpectSame(request);
    }
  }
}

TEST(BuildingReference, EveryBalconyWithEveryWallPattern) {
  for (const auto& balcony : AllPatterns()) {
    for (const auto& close : AllPatterns()) {
      Request request;
      request.w = 4;
      request.l = 3;
      request.h = 3;
      request.door = "WC";
      request.balcony = balcony;
      request.close = close;
      ExpectSame(request);
    }
  }
}

TEST(BuildingReference, CombinedAndOddRequests) {
  const std::vector<std::vector<std::string>> lists = {
      {"NE", "NO"}, {"SC", "SA", "EC"}, {"nc", "sa"}, {"N", ""}, {"NEX", "WOY"}, {"EE", "EC", "WO", "WC"}};
  for (const auto& balcony : lists) {
    for (const auto& close : lists) {
      for (const std::string door : {"nc", "N", "NX", "XC", "SCX"}) {
        Request request;
        request.w = 4;
        request.l = 5;
        request.h = 4;
        request.door = door;
        request.balcony = balcony;
        request.close = close;
        ExpectSame(request);
      }
    }
  }
}

TEST(BuildingReference, OffsetOrientationAndPosition) {
  Request request;
  request.w = 2;
  request.l = 3;
  request.h = 2;
  request.door = "EC";
  request.balcony = {"WA"};
  request.close = {"NO"};
  ExpectSame(request, BuildingTest::kKit, 100);
  ExpectSame(request, BuildingTest::kKit, 0, 1, 0, VectorF(10, 0, 5));
  ExpectSame(request, BuildingTest::kKit, 0, 0, -1);
  ExpectSame(request, BuildingTest::kKit, 0, 0.6f, 0.8f, VectorF(-2.5f, 1, 0.25f));
  ExpectSame(request, BuildingTest::kKit, 0, 0, 2);
  ExpectSame(request, BuildingTest::kKit, 7, 0, 0);  // no turn for normals; positions collapse
}

TEST(BuildingReference, KitsWithMissingPieces) {
  TestSupport::ScratchDir dir;
  namespace fs = std::filesystem;
  // A kit without roof cap, balcony and door pieces, and one with the corners alone.
  for (const char* name : {"base_floorclose", "base_roof", "T_angle", "T_angleroof", "T_ground",
                           "T_groundclose", "T_floor", "T_floorclose", "T_roof"}) {
    fs::copy_file(BuildingTest::kKit + "/" + name + ".obj", dir / (std::string(name) + ".obj"));
  }
  for (const char* name : {"base_floorclose", "base_roof", "T_angle"}) {
    fs::create_directories(dir / "corners");
    fs::copy_file(BuildingTest::kKit + "/" + name + ".obj", dir / ("corners/" + std::string(name) + ".obj"));
  }
  for (int h = 0; h <= 3; ++h) {
    Request request;
    request.w = 3;
    request.l = 2;
    request.h = h;
    request.door = "NC";
    request.balcony = {"EA"};
    request.close = {"SO"};
    ExpectSame(request, dir.path.string());
    ExpectSame(request, dir / "corners");
    ExpectSame(request, dir / "nothing-here");
  }
}

TEST(BuildingReference, CoordinatesOfEveryTextLength) {
  // Texts of up to twelve bytes ("-1.23456e-05"), next to short ones, on each coordinate: the
  // writer keeps a coordinate's text from one placement to the next, and must make the long
  // ones afresh rather than keep a part of them.
  TestSupport::ScratchDir dir;
  namespace fs = std::filesystem;
  for (const char* name : {"base_floorclose", "base_roof"}) {
    fs::copy_file(BuildingTest::kKit + "/" + name + ".obj", dir / (std::string(name) + ".obj"));
  }
  // Large enough for the writer to keep its coordinate texts.
  const char* const vertices[] = {"v -2.46912e-05 -2.46912e-05 -2.46912e-05\n", "v 1.5 1.25 2\n",
                                  "v 2.4e-05 0.8 -3.1e-05\n", "v 0.333333 1.99999 -2.46912e-05\n"};
  std::string piece;
  for (std::size_t i = 0; i < Ostrel::Buildings::detail::kKeptColumnsMinVertices; ++i) piece += vertices[i % 4];
  TestSupport::WriteFile(dir / "T_angle.obj", piece + "f 1 2 3 4\n");
  for (int h = 1; h <= 3; ++h) {
    Request request;
    request.w = 3;
    request.l = 2;
    request.h = h;
    ExpectSame(request, dir.path.string());
    ExpectSame(request, dir.path.string(), 0, 0, -1, VectorF(1e-05f, -1, 0));
  }
}

}  // namespace
