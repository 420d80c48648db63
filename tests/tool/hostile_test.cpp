// Hostile inputs: odd entries in the units folder, unit files that are no meshes, absurd sizes,
// styles and output paths, and standard input that ends early. Each must end in a clear error
// or a valid building, quickly, and never in a crash, a hang or a file with a broken index.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <ostrel/ext/Obj.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using TestSupport::Line;
using TestSupport::ReadFile;
using TestSupport::RunOptions;
using TestSupport::RunResult;
using TestSupport::WriteFile;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::string_literals;

bool Contains(const std::string& i_text, const std::string& i_part) {
  return i_text.find(i_part) != std::string::npos;
}

// A copy of the test kit (style T, unit 2 x 3 x 2 file units) and a folder for output files.
struct Scene {
  TestSupport::ScratchDir units;
  TestSupport::ScratchDir work;

  Scene() {
    for (const auto& entry : fs::directory_iterator(BuildingTest::kKit)) {
      fs::copy_file(entry.path(), units.path / entry.path().filename());
    }
  }
  RunResult Tool(const Strings& i_args, const std::string& i_input = "") const {
    return TestSupport::RunTool(units.path.string(), work.path.string(), i_args, i_input);
  }
  std::string Found() const { return Line("info", "Found 1 paths in '" + units.path.string() + "'"); }
  std::string Unit(const std::string& i_piece) const { return units / (i_piece + ".obj"); }
  std::string Warning(const std::string& i_piece, const std::string& i_fault) const {
    return Line("warning",
                "Unit file '" + Unit(i_piece) + "' " + i_fault + ": the building is written without it");
  }
  // The output file's text, checked: only well-formed lines and indices that name elements.
  std::string Output(const std::string& i_name) const {
    const std::string text = ReadFile(work / i_name);
    EXPECT_EQ(BuildingTest::CheckIndices(text), "");
    EXPECT_FALSE(Contains(text, "nan") || Contains(text, "inf")) << i_name;
    return text;
  }
};

std::size_t CountLines(const std::string& i_text, const std::string& i_start) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < i_text.size(); pos = i_text.find('\n', pos) + 1) {
    if (i_text.compare(pos, i_start.size(), i_start) == 0) ++count;
    if (i_text.find('\n', pos) == std::string::npos) break;
  }
  return count;
}

Obj::Mesh Parse(const std::string& i_text) {
  Obj::Mesh mesh;
  Obj::Parse(i_text, mesh);
  return mesh;
}

std::vector<float> Coordinates(const Obj::Mesh& i_mesh) {
  std::vector<float> values;
  for (const Ostrel::VectorF& v : i_mesh.vertices) values.insert(values.end(), {v.x, v.y, v.z});
  return values;
}

// ---- The units folder ------------------------------------------------------------------------

TEST(Hostile, PieceEntriesThatAreNoReadableFiles) {
  Scene scene;
  fs::remove(scene.Unit("T_floor"));
  fs::create_directory(scene.Unit("T_floor"));  // a folder named like a piece
  fs::remove(scene.Unit("T_ground"));
  ASSERT_EQ(mkfifo(scene.Unit("T_ground").c_str(), 0600), 0);  // opening it must not wait for a writer
  fs::remove(scene.Unit("T_balcony"));
  fs::create_symlink("loop.obj", scene.Unit("T_balcony"));
  fs::create_symlink("T_balcony.obj", scene.units / "loop.obj");
  // Hundreds of megabytes without using them: a sparse file is refused by its size alone.
  ASSERT_EQ(truncate(scene.Unit("T_roof").c_str(), 300 << 20), 0);

  const RunResult result = scene.Tool({"-s", "T", "-w", "1", "-l", "1", "-h", "2", "-b", "NA", "out.obj"});
  EXPECT_EQ(result.status, 0) << result.output;
  for (const std::string& warning :
       {scene.Warning("T_ground", "is not a regular file"), scene.Warning("T_floor", "is not a regular file"),
        scene.Warning("T_balcony", "cannot be read (Too many levels of symbolic links)"),
        scene.Warning("T_roof", "is larger than 64 MiB")}) {
    EXPECT_TRUE(Contains(result.output, warning)) << warning << result.output;
  }
  EXPECT_TRUE(Contains(result.output, Line("info", "Done!")));
  EXPECT_FALSE(scene.Output("out.obj").empty());

  // Check mode lists the folder's names, whatever the entries are.
  EXPECT_EQ(scene.Tool({"-k"}).output, Line("info", "Check enabled") + scene.Found() +
                                           Line("info", "Available unit-types:") + Line("info", " - T") +
                                           Line("info", " - base"));
}

TEST(Hostile, BaseUnitsThatAreNoReadableFiles) {
  Scene scene;
  fs::remove(scene.Unit("base_floorclose"));
  ASSERT_EQ(mkfifo(scene.Unit("base_floorclose").c_str(), 0600), 0);
  fs::remove(scene.Unit("base_roof"));
  fs::create_directory(scene.Unit("base_roof"));
  const RunResult result = scene.Tool({"-s", "T", "out.obj"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, scene.Found() + Line("error",
                                                "Cannot measure the unit size: 'base_floorclose.obj' and "
                                                "'base_roof.obj' in the units folder '" +
                                                    scene.units.path.string() + "' give no usable unit"));
  EXPECT_FALSE(fs::exists(scene.work / "out.obj"));
}

// ---- Unit files that are no meshes -----------------------------------------------------------

TEST(Hostile, GarbageNulBytesAndByteOrderMarks) {
  std::string garbage;
  unsigned state = 12345;
  for (int i = 0; i < 4096; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(0x80 | (state >> 16));  // high bytes only: no line end, no keyword
  }
  const std::string triangle = "v 1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\n";
  const struct {
    std::string text;
    std::vector<float> coordinates;
    std::size_t faces;
  } cases[] = {
      {garbage, {}, 0},
      {garbage + "\n" + triangle + garbage, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 1},
      // A NUL byte ends its line; what follows it up to the line end is not read.
      {"v 1 2 3\0v 9 9 9\nv 4\0 5 6\n\0v 7 8 9\n"s, {1, 2, 3, 4, 0, 0}, 0},
      {"v 1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\0 4\n"s, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 1},
      // A byte-order mark is skipped at the start of the text only.
      {"\xEF\xBB\xBF" + triangle, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 1},
      {"\xEF\xBB\xBF\xEF\xBB\xBFv 1 2 3\n", {}, 0},
      {"v 1 2 3\n\xEF\xBB\xBFv 4 5 6\n", {1, 2, 3}, 0},
  };
  for (const auto& c : cases) {
    const Obj::Mesh mesh = Parse(c.text);
    EXPECT_EQ(Coordinates(mesh), c.coordinates) << c.text.substr(0, 40);
    EXPECT_EQ(mesh.polycount.size(), c.faces) << c.text.substr(0, 40);
  }
}

TEST(Hostile, NumbersBeyondFloatAndIndicesNearTwoToThe31And32) {
  const struct {
    std::string line;
    std::vector<float> coordinates;
  } numbers[] = {
      {"v 1e39 2 3", {0, 0, 0}},  // beyond the float range: the rest of the line is lost too
      {"v 1 -1e39 3", {1, 0, 0}},
      {"v 1 nan 3", {1, 0, 0}},
      {"v inf 2 3", {0, 0, 0}},
      {"v 1 2 -infinity", {1, 2, 0}},
      {"v 1e-50 2 3", {0, 2, 3}},  // below it: a zero
      {"v 3.4e38 -3.4e38 1", {3.4e38f, -3.4e38f, 1}},
  };
  for (const auto& n : numbers) EXPECT_EQ(Coordinates(Parse(n.line + "\n")), n.coordinates) << n.line;

  // Every one of these fields names something the file lacks, also when the number would wrap
  // modulo 2^32 to a valid index: a vertex field drops its face, a texture or normal field only
  // itself.
  const Obj::Mesh mesh = Parse(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
      "f 2147483647 1 2\nf 2147483648 1 2\nf -2147483648 1 2\nf -2147483649 1 2\n"
      "f 4294967295 1 2\nf 4294967296 1 2\nf 4294967297 1 2\nf -4294967295 1 2\n"
      "f 1/4294967297 2/1 3/1\nf 1//2147483648 2//1 3//1\nf 99999999999999999999 1 2\n"
      "f 1/1/1 2/1/1 3/1/1\n");
  ASSERT_EQ(mesh.polycount, (std::vector<std::uint32_t>{3, 3, 3}));
  ASSERT_EQ(mesh.corners.size(), 9u);
  EXPECT_EQ(mesh.corners[0].uv, Obj::kAbsent);
  EXPECT_EQ(mesh.corners[1].uv, 0u);
  EXPECT_EQ(mesh.corners[3].n, Obj::kAbsent);
  EXPECT_EQ(mesh.corners[4].n, 0u);
  EXPECT_EQ(mesh.corners[8].v, 2u);
  EXPECT_EQ(mesh.corners[8].uv, 0u);
}

TEST(Hostile, BuildFromUnitFilesThatAreNoMeshes) {
  Scene scene;
  WriteFile(scene.Unit("T_angle"), "\xEF\xBB\xBFv 0 0 0\nv 2 0 0\nv 2 3 0\nf 1 2 3 4294967297\nf 1 2 3\n");
  WriteFile(scene.Unit("T_ground"), std::string("v 1 2\0 3\nv \xff\xfe 1 1\nf 1 2 -3\nf 1/1 2/1 3/1\n", 33));
  WriteFile(scene.Unit("T_roof"), "v 1e39 nan inf\nv 0 0 0\nv 0 1 0\nf -1 -2 -3\nf 1 2 3 -4\nvn nan 1 0\n");
  const RunResult result = scene.Tool({"-s", "T", "-w", "2", "-l", "2", "-h", "1", "-d", "NC", "out.obj"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_FALSE(Contains(result.output, "warning"));
  EXPECT_FALSE(scene.Output("out.obj").empty());

  // Coordinates that overflow once divided by a tiny unit size: that piece is left out.
  WriteFile(scene.Unit("base_floorclose"), "v 0 0 0\nv 1e-30 1e-30 1e-30\n");
  WriteFile(scene.Unit("base_roof"), "v 0 0 0\n");
  WriteFile(scene.Unit("T_angle"), "v 0 0 0\nv 1e-30 0 0\nv 0 1e-30 0\nf 1 2 3\n");
  WriteFile(scene.Unit("T_ground"), "v 0 0 0\nv 3e38 0 0\nv 0 1e-30 0\nf 1 2 3\n");
  const RunResult tiny = scene.Tool({"-s", "T", "-w", "2", "-l", "2", "-h", "1", "out.obj"});
  EXPECT_EQ(tiny.status, 0) << tiny.output;
  EXPECT_TRUE(Contains(tiny.output, scene.Warning("T_ground", "has coordinates too large for the unit size")))
      << tiny.output;
  EXPECT_FALSE(scene.Output("out.obj").empty());
}

// ---- Arguments -------------------------------------------------------------------------------

TEST(Hostile, SizesWhoseCountsOverflowAreRefusedFast) {
  Scene scene;
  const RunResult result =
      scene.Tool({"-s", "T", "-w", "2147483645", "-l", "2147483645", "-h", "2147483646", "out.obj"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            scene.Found() + Line("error",
                                 "A building of width 2147483645, length 2147483645 and height "
                                 "2147483646 is too large to write"));

  // With only the corner pieces, the largest footprint is a small building: the cells that can
  // place nothing are not walked one by one.
  for (const auto& entry : fs::directory_iterator(scene.units.path)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("base_", 0) != 0 && name.rfind("T_angle", 0) != 0) fs::remove(entry);
  }
  const RunResult corners =
      scene.Tool({"-s", "T", "-w", "2147483645", "-l", "2147483645", "-h", "0", "out.obj"});
  EXPECT_EQ(corners.status, 0) << corners.output;
  EXPECT_EQ(corners.output, scene.Found() + scene.Warning("T_ground", "not found") +
                                scene.Warning("T_roof", "not found") + Line("info", "Done!"));
  const std::string text = scene.Output("out.obj");
  // Four corners of 3 vertices on the ground row, four of 5 on the roof row.
  EXPECT_EQ(CountLines(text, "v "), 4 * 3 + 4 * 5);
}

TEST(Hostile, StylesThatWouldLeaveTheUnitsFolder) {
  Scene scene;
  for (const std::string style : {".", "/", "x/..", "/tmp/T", "T/"}) {
    const RunResult result = scene.Tool({"-s", style, "out.obj"});
    EXPECT_EQ(result.status, 1) << style;
    EXPECT_EQ(result.output,
              scene.Found() + Line("error", "Invalid style '" + style +
                                                "': a style cannot contain '/' or be '.' or '..'"));
  }
  const RunResult empty = scene.Tool({"-s", "", "out.obj"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.output, scene.Found() + Line("error",
                                               "Style '' placed nothing: no unit files of it in the "
                                               "units folder '" +
                                                   scene.units.path.string() + "'"));
  EXPECT_TRUE(fs::is_empty(scene.work.path));
}

TEST(Hostile, OutputPathsThatAreFoldersOrTheUnitsBeingRead) {
  Scene scene;
  const Strings request = {"-s", "T", "-w", "3", "-l", "2", "-h", "3", "-d", "NC", "-b", "SA"};
  Strings args = request;
  args.push_back("reference.obj");
  ASSERT_EQ(scene.Tool(args).status, 0);
  const std::string reference = scene.Output("reference.obj");

  // A unit the run reads is never replaced, by its name or through a link: an error names both.
  fs::create_symlink(scene.Unit("T_floor"), scene.work / "link.obj");
  for (const std::string piece : {"T_floor", "base_floorclose", "link"}) {
    const std::string output = piece == "link" ? "link.obj" : scene.Unit(piece);
    const std::string unit = scene.Unit(piece == "link" ? "T_floor" : piece);
    const std::string before = ReadFile(unit);
    args = request;
    args.push_back(output);
    const RunResult result = scene.Tool(args);
    EXPECT_EQ(result.status, 1) << piece;
    EXPECT_EQ(result.output, scene.Found() + Line("error", "Output file '" + output + "' is '" + unit +
                                                               "', which this run reads: nothing is written; "
                                                               "give the output another name"))
        << piece;
    EXPECT_EQ(ReadFile(unit), before) << piece;
  }
  EXPECT_TRUE(fs::is_symlink(scene.work / "link.obj"));

  for (const std::string& folder : Strings{".", "..", scene.units.path.string(), "/"}) {
    const RunResult result = scene.Tool({"-s", "T", folder});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              scene.Found() + Line("error", "Cannot write output file '" + folder + "': it is a folder"));
  }
}

// ---- Standard input --------------------------------------------------------------------------

TEST(Hostile, StandardInputClosedOrEndingMidLine) {
  Scene scene;
  // Closed, not merely empty: the process starts without a file descriptor 0.
  RunOptions closed;
  closed.program = "/bin/sh";
  closed.args = {"-c", std::string("exec \"$0\" <&-"), TOWERKIT_BINARY};
  closed.setEnv["OSTREL_UNITS_PATH"] = scene.units.path.string();
  closed.workdir = scene.work.path.string();
  const RunResult result = TestSupport::Run(closed);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, scene.Found() +
                               "[towerkit-0.1] style [T,base]: [towerkit-0.1] width (in units): " +
                               Line("error", "No answer to 'width (in units)': standard input has ended"));
  EXPECT_TRUE(fs::is_empty(scene.work.path));

  // A last answer without its line end still counts, at a number prompt and at the last prompt.
  const RunResult height = scene.Tool({}, "T\n1\n1\n2");
  EXPECT_EQ(height.status, 1);
  EXPECT_TRUE(Contains(height.output, Line("error", "No output file specified"))) << height.output;
  const RunResult file = scene.Tool({}, "T\n1\n1\n2\nNC\nNA\n\nSA\n\nout.obj");
  EXPECT_EQ(file.status, 0) << file.output;
  EXPECT_TRUE(Contains(file.output, Line("info", "Done!")));
  EXPECT_FALSE(scene.Output("out.obj").empty());
  // A number that is not one, then the end: asked again, then the end is reported.
  const RunResult notNumber = scene.Tool({}, "T\nthree");
  EXPECT_EQ(notNumber.status, 1);
  EXPECT_TRUE(Contains(notNumber.output, Line("error", "'three' isn't a valid number, please try again")));
  EXPECT_TRUE(
      Contains(notNumber.output, Line("error", "No answer to 'width (in units)': standard input has ended")));
}

}  // namespace
