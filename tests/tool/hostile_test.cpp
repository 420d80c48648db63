// Hostile inputs: odd entries in the units folder, unit files that are no meshes, absurd sizes,
// styles and output paths, and standard input that ends early. Each must end in a clear error
// or a valid building, quickly, and never in a crash, a hang or a file with a broken index.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/ext/Glb.h>
#include <ostrel/ext/Obj.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"
#include "towerkit/CityFile.h"

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

// ---- Files lost, overwritten or left behind --------------------------------------------------

// Gives every piece of the test kit the palette T.mtl and one of its materials; T_spare is used
// by no piece.
void AddPalette(const Scene& i_scene, const std::string& i_palette = "newmtl T_wall\nKd 0.5 0.5 0.5\n\n"
                                                                     "newmtl T_spare\nKd 1 0 0\n") {
  for (const auto& entry : fs::directory_iterator(i_scene.units.path)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("T_", 0) != 0) continue;
    WriteFile(entry.path().string(), "mtllib T.mtl\nusemtl T_wall\n" + ReadFile(entry.path().string()));
  }
  WriteFile(i_scene.units / "T.mtl", i_palette);
}

// The names of a folder's entries that start with i_start.
Strings EntriesStarting(const fs::path& i_folder, const std::string& i_start) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(i_folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(i_start, 0) == 0) names.push_back(name);
  }
  return names;
}

TEST(Hostile, AnOutputThatIsAnInputOfTheRunIsRefused) {
  Scene scene;
  AddPalette(scene);
  const std::string palette = ReadFile(scene.units / "T.mtl");
  // The building beside the kit's palette: its material library would replace the palette.
  const RunResult beside = scene.Tool({"-s", "T", scene.units / "T.obj"});
  EXPECT_EQ(beside.status, 1);
  EXPECT_EQ(beside.output, scene.Found() + Line("error", "Output file '" + scene.units / "T.mtl" + "' is '" +
                                                             scene.units / "T.mtl" +
                                                             "', which this run reads: nothing is written; "
                                                             "give the output another name"));
  EXPECT_EQ(ReadFile(scene.units / "T.mtl"), palette);
  EXPECT_FALSE(fs::exists(scene.units / "T.obj"));
  EXPECT_TRUE(EntriesStarting(scene.units.path, ".towerkit-").empty());

  // A city written over its own city file.
  const std::string city = "style,width,length,height\nT,1,1,1\n";
  WriteFile(scene.work / "city.csv", city);
  const RunResult over = scene.Tool({"--city", "city.csv", "city.csv"});
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.output, scene.Found() + Line("error",
                                              "Output file 'city.csv' is 'city.csv', which this run reads: "
                                              "nothing is written; give the output another name"));
  EXPECT_EQ(ReadFile(scene.work / "city.csv"), city);
}

TEST(Hostile, FilesTheToolNamesAreNeverWrittenThroughALink) {
  Scene scene;
  AddPalette(scene);
  WriteFile(scene.work / "victim.txt", "keep\n");
  // The material library and a .gltf's buffer replace a link of their name.
  fs::create_symlink("victim.txt", scene.work / "out.mtl");
  fs::create_symlink("victim.txt", scene.work / "out.bin");
  for (const std::string output : {"out.obj", "out.gltf"}) {
    const RunResult result = scene.Tool({"-s", "T", output});
    EXPECT_EQ(result.status, 0) << result.output;
  }
  EXPECT_EQ(ReadFile(scene.work / "victim.txt"), "keep\n");
  EXPECT_FALSE(fs::is_symlink(scene.work / "out.mtl"));
  EXPECT_EQ(ReadFile(scene.work / "out.mtl").rfind("newmtl T_wall\n", 0), 0u);
  EXPECT_FALSE(fs::is_symlink(scene.work / "out.bin"));

  // An output that is a link: the mesh goes to the link's target, its library beside the target,
  // named after it, so that the two stay together.
  fs::create_directory(scene.work / "real");
  WriteFile(scene.work / "real/model.obj", "earlier\n");
  fs::create_symlink("real/model.obj", scene.work / "link.obj");
  const RunResult linked = scene.Tool({"-s", "T", "link.obj"});
  EXPECT_EQ(linked.status, 0) << linked.output;
  EXPECT_TRUE(fs::is_symlink(scene.work / "link.obj"));
  EXPECT_EQ(ReadFile(scene.work / "real/model.obj").rfind("mtllib model.mtl\n", 0), 0u);
  EXPECT_TRUE(fs::exists(scene.work / "real/model.mtl"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(scene.work / "link.mtl")));
}

// Starts the tool in i_work with standard output and error going nowhere (or standard error to
// i_stderr); returns its process.
pid_t StartTool(const Scene& i_scene, const Strings& i_args, int i_stderr = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  dup2(null, 1);
  dup2(i_stderr >= 0 ? i_stderr : null, 2);
  setenv("OSTREL_UNITS_PATH", i_scene.units.path.c_str(), 1);
  if (chdir(i_scene.work.path.c_str()) != 0) _exit(127);
  std::vector<char*> argv{const_cast<char*>(TOWERKIT_BINARY)};
  for (const std::string& arg : i_args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(TOWERKIT_BINARY, argv.data());
  _exit(127);
}

TEST(Hostile, AnInterruptedRunLeavesNoTemporaryFile) {
  Scene scene;
  WriteFile(scene.work / "big.obj", "earlier\n");
  WriteFile(scene.work / "city.csv", "style,width,length,height\nT,3000,3000,300\nT,3000,3000,300\n");
  // Gigabytes to write: each run is interrupted as soon as its temporary file is there.
  const Strings building = {"-s", "T", "-w", "3000", "-l", "3000", "-h", "300", "big.obj"};
  const Strings city = {"--city", "city.csv", "big.obj"};
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const Strings& args : {building, city}) {
      const pid_t pid = StartTool(scene, args);
      int status = 0;
      bool ended = false;
      while (EntriesStarting(scene.work.path, ".towerkit-").empty()) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
          ended = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      ASSERT_FALSE(ended) << "the run ended before it wrote anything";
      kill(pid, signal);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status)) << signal;
      EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
      EXPECT_EQ(EntriesStarting(scene.work.path, ".towerkit-"), Strings{}) << signal << " " << args[0];
      EXPECT_EQ(ReadFile(scene.work / "big.obj"), "earlier\n");
    }
  }
}

TEST(Hostile, ALongBuildingShowsTheCitysProgressLineOnATerminal) {
  Scene scene;
  int terminal = -1, child = -1;
  ASSERT_EQ(openpty(&terminal, &child, nullptr, nullptr, nullptr), 0);
  // Gigabytes of text to /dev/null: far more than a second on any machine.
  const pid_t pid = StartTool(scene, {"-s", "T", "-w", "3000", "-l", "3000", "-h", "300", "/dev/null"}, child);
  close(child);
  std::string shown;
  char buffer[4096];
  while (shown.find(" MB written") == std::string::npos) {
    pollfd wait{terminal, POLLIN, 0};
    if (poll(&wait, 1, 100) <= 0) continue;
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(got));
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(terminal);
  EXPECT_NE(shown.find("\r[towerkit-0.1] 0 of 1 buildings, "), std::string::npos) << shown;
}

TEST(Hostile, AFileOnATmpfsIsReplacedWholeWithItsLibrary) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  Scene scene;
  AddPalette(scene);
  std::string pattern = "/dev/shm/towerkit-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  WriteFile((folder / "x.obj").string(), "earlier\n");
  const RunResult result = scene.Tool({"-s", "T", (folder / "x.obj").string()});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, scene.Found() + Line("info", "Done!"));
  EXPECT_EQ(ReadFile((folder / "x.obj").string()).rfind("mtllib x.mtl\n", 0), 0u);
  EXPECT_TRUE(fs::exists(folder / "x.mtl"));
  fs::remove_all(folder);
}

TEST(Hostile, AFullDiskGivesItsReasonForEveryOutput) {
  Scene scene;
  fs::create_symlink("/dev/full", scene.work / "full.glb");
  for (const std::string output : {"/dev/full", "full.glb"}) {
    const RunResult result = scene.Tool({"-s", "T", output});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.output,
                         Line("error", "Cannot write output file '" + output + "': No space left on device")))
        << result.output;
  }
}

// ---- Corrupt output --------------------------------------------------------------------------

TEST(Hostile, StandardOutputAsTheOutputGetsNoConsoleLine) {
  Scene scene;
  const RunResult obj = scene.Tool({"-s", "T", "-d", "XX", "/dev/stdout"});
  EXPECT_EQ(obj.status, 0);
  EXPECT_FALSE(Contains(obj.output, "[towerkit")) << obj.output.substr(0, 200);
  EXPECT_EQ(BuildingTest::CheckIndices(obj.output), "");
  EXPECT_TRUE(Contains(obj.errors, "] warning : Value 'XX' of option '-d' is not a door")) << obj.errors;
  EXPECT_TRUE(Contains(obj.errors, Line("info", "Done!")));

  fs::create_symlink("/dev/stdout", scene.work / "out.glb");
  const RunResult glb = scene.Tool({"-s", "T", "out.glb"});
  EXPECT_EQ(glb.status, 0);
  Glb::GlbChunks chunks;
  EXPECT_EQ(Glb::SplitGlb(glb.output, chunks), "");
  EXPECT_TRUE(Contains(glb.errors, Line("info", "Done!")));
}

TEST(Hostile, CoordinatesBeyondTheFloatRangeAreRefused) {
  Scene scene;
  // A corner vertex near the float limit: turned 45 degrees in a city, its z passes the limit.
  WriteFile(scene.Unit("T_angle"), "v 3.4e38 0 3.4e38\nv 0 1 0\nv 0 0 1\nf 1 2 3\n");
  WriteFile(scene.work / "city.csv", "style,width,length,height,angle\nT,1,1,1,0\nT,1,1,1,45\n");
  for (const std::string output : {"city.obj", "city.glb"}) {
    const RunResult result = scene.Tool({"--city", "city.csv", "-m", output});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, scene.Found() + Line("error", "City file 'city.csv', line 3: piece 'T_angle' would "
                                                           "be placed at coordinates beyond the range of "
                                                           "floats: nothing is written"));
    EXPECT_FALSE(fs::exists(scene.work / output));
  }
  // Unturned, the same piece stays within it.
  WriteFile(scene.work / "city.csv", "style,width,length,height,angle\nT,1,1,1,0\n");
  EXPECT_EQ(scene.Tool({"--city", "city.csv", "-m", "city.obj"}).status, 0);
  EXPECT_FALSE(scene.Output("city.obj").empty());
}

// The check is of the coordinates as written, the pivot's shift included: cells 8e37 wide put a
// building of -w 2 within the float range about its origin and its base centre, not its corner.
TEST(Hostile, CoordinatesBeyondTheFloatRangeAreJudgedAboutThePivot) {
  Scene scene;
  WriteFile(scene.Unit("base_floorclose"), "v 0 0 0\nv 8e37 3 0.2\nv 1 1.5 0.1\nf 1 2 3\n");
  WriteFile(scene.Unit("base_roof"), "v 0 2.5 0\nv 8e37 3 2\nv 1 2.75 1.5\nf 1 2 3\n");
  for (const std::string pivot : {"origin", "base-centre"}) {
    EXPECT_EQ(scene.Tool({"-s", "T", "-w", "2", "-l", "0", "-h", "1", "-m", "--pivot", pivot, pivot + ".obj"}).status,
              0);
    EXPECT_FALSE(scene.Output(pivot + ".obj").empty());
  }
  const RunResult corner = scene.Tool({"-s", "T", "-w", "2", "-l", "0", "-h", "1", "-m", "--pivot", "corner", "c.obj"});
  EXPECT_EQ(corner.status, 1);
  EXPECT_EQ(corner.output, scene.Found() + Line("error", "In the building of style 'T', piece 'T_angle' would be "
                                                         "placed at coordinates beyond the range of floats: "
                                                         "nothing is written"));
  EXPECT_FALSE(fs::exists(scene.work / "c.obj"));
}

// ---- Reading only what it should -------------------------------------------------------------

TEST(Hostile, TexturesAreReadOnlyFromInsideTheStylesFolder) {
  Scene scene;
  const std::string png = "\x89PNG\r\n\x1a\n";
  WriteFile(scene.work / "private.png", png + "PRIVATE-BYTES");
  WriteFile(scene.units / "inside.png", png + "KIT-BYTES");
  fs::create_symlink(scene.work / "private.png", scene.units / "link.png");
  const std::string up = fs::relative(scene.work / "private.png", scene.units.path).string();
  AddPalette(scene, "newmtl T_wall\nmap_Kd inside.png\n\nnewmtl T_abs\nmap_Kd " + scene.work / "private.png" +
                        "\n\nnewmtl T_up\nmap_Kd " + up + "\n\nnewmtl T_link\nmap_Kd link.png\n");
  const std::string materials[] = {"T_abs", "T_up", "T_link"};
  const std::string pieces[] = {"T_ground", "T_floor", "T_roof"};
  for (int i = 0; i < 3; ++i) {
    const std::string text = ReadFile(scene.Unit(pieces[i]));
    WriteFile(scene.Unit(pieces[i]), "mtllib T.mtl\nusemtl " + materials[i] + text.substr(text.find('\n', 13)));
  }
  const RunResult result = scene.Tool({"-s", "T", "-h", "2", "out.glb"});
  EXPECT_EQ(result.status, 0) << result.output;
  const std::string paths[] = {scene.work / "private.png", scene.units / up, scene.units / "link.png"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Contains(result.output, Line("warning", "Texture '" + paths[i] + "' of material '" + materials[i] +
                                                            "' lies outside the units folder '" +
                                                            scene.units.path.string() +
                                                            "' of its style: it is not read, and the material "
                                                            "has no texture")))
        << paths[i] << result.output;
  }
  const std::string glb = ReadFile(scene.work / "out.glb");
  EXPECT_TRUE(Contains(glb, "KIT-BYTES"));
  EXPECT_FALSE(Contains(glb, "PRIVATE-BYTES"));
}

TEST(Hostile, CityFilesThatAreNoRegularFilesOrChangeWhileRead) {
  Scene scene;
  ASSERT_EQ(mkfifo((scene.work / "fifo.csv").c_str(), 0600), 0);  // no writer: opening must not wait
  const RunResult fifo = scene.Tool({"--city", "fifo.csv", "out.obj"});
  EXPECT_EQ(fifo.status, 1);
  EXPECT_EQ(fifo.output,
            scene.Found() + Line("error", "Cannot read city file 'fifo.csv': it is not a regular file"));

  // A file cut short while its rows are read: an error, never a crash.
  std::string city = "style,width,length,height\n";
  while (city.size() < (3u << 20)) city += "T,1,1,1\n";
  const std::string path = scene.work / "long.csv";
  WriteFile(path, city);
  Towerkit::CityText text;
  std::string error;
  ASSERT_TRUE(text.open(path, error)) << error;
  const Towerkit::Catalogue styles = {"T"};
  Towerkit::CityRows rows(text, styles, 0);
  ASSERT_TRUE(rows.open(error)) << error;
  Towerkit::CityRow row;
  ASSERT_TRUE(rows.next(row, error));
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  while (rows.next(row, error)) {
  }
  EXPECT_TRUE(Contains(error, "City file '" + path + "': it changed while it was read")) << error;
}

TEST(Hostile, CityRowsAreWholeAcrossTheChunksTheFileIsReadIn) {
  // Rows whose quoted ids hold commas and quotes, CR LF line ends and blank lines: read a megabyte
  // at a time, every row comes whole, wherever a chunk ends. A quoted field may hold a line end.
  EXPECT_EQ(Towerkit::WholeRowBytes("T,1,1,1\nT"), 8u);
  EXPECT_EQ(Towerkit::WholeRowBytes(" \t\r\n\nT,1,1,1\r\n"), 14u);
  EXPECT_EQ(Towerkit::WholeRowBytes("T,1,1,1\r"), 0u);
  EXPECT_EQ(Towerkit::WholeRowBytes("\"a\nb\"\"\",1\n"), 10u);
  EXPECT_EQ(Towerkit::WholeRowBytes("\"a\"\"\n"), 0u);
  EXPECT_EQ(Towerkit::WholeRowBytes("\"a\""), 0u);
  const std::string rows[] = {"T,1,1,1,\"a, \"\"quoted\"\" id\"\r\n", "\n  \n", "T,2,1,1,plain\n",
                              "T,1,2,1,  \"x\"  \r\n"};
  const Strings ids = {"a, \"quoted\" id", "plain", "x"};
  std::string city = "style,width,length,height,id\n";
  Strings expected;
  for (std::size_t i = 0; city.size() < (5u << 19); i = (i + 1) % 4) {
    city += rows[i];
    if (i != 1) expected.push_back(ids[i == 0 ? 0 : i - 1]);
  }
  Scene scene;
  WriteFile(scene.work / "rows.csv", city);
  Towerkit::CityText text;
  std::string error;
  ASSERT_TRUE(text.open(scene.work / "rows.csv", error)) << error;
  const Towerkit::Catalogue styles = {"T"};
  Towerkit::CityRows read(text, styles, 0);
  ASSERT_TRUE(read.open(error)) << error;
  Strings found;
  for (Towerkit::CityRow row; read.next(row, error);) found.push_back(row.name);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(found == expected) << found.size() << " of " << expected.size();
}

// ---- Silent surprises ------------------------------------------------------------------------

TEST(Hostile, SeveralUnitsFoldersGiveTheUnionOfTheirStyles) {
  Scene scene;
  TestSupport::ScratchDir mine;
  // Style U in a folder of its own, without base units: they come from the kit's folder.
  for (const auto& entry : fs::directory_iterator(scene.units.path)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("T_", 0) == 0) fs::copy_file(entry.path(), mine.path / ("U" + name.substr(1)));
  }
  const std::string list = mine.path.string() + ":" + scene.units.path.string();
  const std::string catalogue = Line("info", "Available unit-types:") + Line("info", " - T") +
                                Line("info", " - U") + Line("info", " - base");
  RunOptions options;
  options.args = {"-k"};
  options.setEnv["OSTREL_UNITS_PATH"] = list;
  options.workdir = scene.work.path.string();
  EXPECT_EQ(TestSupport::Run(options).output,
            Line("info", "Check enabled") + Line("info", "Found 2 paths in '" + list + "'") + catalogue);
  // --units puts a folder before the environment's.
  EXPECT_EQ(scene.Tool({"--units", mine.path.string(), "-k"}).output,
            Line("info", "Check enabled") + scene.Found() + catalogue);

  ASSERT_EQ(scene.Tool({"-s", "T", "-h", "2", "t.obj"}).status, 0);
  const RunResult u = scene.Tool({"--units", mine.path.string(), "-s", "U", "-h", "2", "u.obj"});
  EXPECT_EQ(u.output, scene.Found() + Line("info", "Done!"));
  EXPECT_EQ(ReadFile(scene.work / "u.obj"), ReadFile(scene.work / "t.obj"));
  // The linter checks a style in its folder, with the base units of the build.
  const RunResult lint = scene.Tool({"--units", mine.path.string(), "--lint", "U"});
  EXPECT_FALSE(Contains(lint.output, "base_")) << lint.output;
  EXPECT_TRUE(Contains(lint.output, "info : Checked style U of the units folder '" + mine.path.string() + "'"))
      << lint.output;
  // Every style: a folder's styles are checked together, its base units and bands once.
  TestSupport::ScratchDir two;
  for (const auto& entry : fs::directory_iterator(mine.path)) {
    const std::string name = entry.path().filename().string();
    fs::copy_file(entry.path(), two.path / name);
    fs::copy_file(entry.path(), two.path / ("V" + name.substr(1)));
  }
  const RunResult both = scene.Tool({"--units", two.path.string(), "--lint"});
  EXPECT_TRUE(Contains(both.output, "info : Checked styles U, V of the units folder '" + two.path.string() + "'"))
      << both.output;
  EXPECT_TRUE(Contains(both.output, "info : Checked style T of the units folder '" + scene.units.path.string() + "'"))
      << both.output;

  // A style comes whole from the first folder that has it: its missing pieces are not taken from
  // a later folder.
  fs::remove(mine.path / "U_floor.obj");
  fs::copy_file(scene.Unit("T_floor"), mine.path / "T_floor.obj");
  const RunResult t = scene.Tool({"--units", mine.path.string(), "-s", "T", "-h", "2", "t2.obj"});
  EXPECT_EQ(t.status, 0);
  EXPECT_TRUE(Contains(t.output, Line("warning", "Unit file '" + mine.path.string() +
                                                     "/T_ground.obj' not found: the building is written "
                                                     "without it")))
      << t.output;
}

TEST(Hostile, StrictTurnsEveryWarningIntoAnErrorAndWritesNothing) {
  Scene scene;
  const RunResult typo = scene.Tool({"--strict", "-s", "T", "--wdith", "out.obj"});
  EXPECT_EQ(typo.status, 1);
  EXPECT_EQ(typo.output, Line("error", "Unknown option '--wdith' is ignored: did you mean '--width'?"));
  // A warning of the build itself: the file is made, then dropped.
  fs::remove(scene.Unit("T_floor"));
  const RunResult missing = scene.Tool({"-s", "T", "-h", "2", "out.obj", "--strict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output, scene.Found() + Line("error", "Unit file '" + scene.Unit("T_floor") +
                                                              "' not found: the building is written without it"));
  EXPECT_TRUE(fs::is_empty(scene.work.path));
  EXPECT_EQ(scene.Tool({"-s", "T", "-h", "2", "out.obj"}).status, 0);
}

TEST(Hostile, GltfNamesGetJsonWithTheirBufferBeside) {
  Scene scene;
  for (const std::string form : {"", "nodes", "gpu"}) {
    Strings args = {"-s", "T", "-w", "2", "-l", "1", "-h", "2", "-d", "NC"};
    if (!form.empty()) args.insert(args.end(), {"--instances", form});
    Strings glbArgs = args;
    glbArgs.push_back("my model.glb");
    args.push_back("my model.gltf");
    ASSERT_EQ(scene.Tool(glbArgs).status, 0);
    const RunResult result = scene.Tool(args);
    EXPECT_EQ(result.output, scene.Found() + Line("info", "Done!"));
    // The same document and buffer as the .glb, the buffer named by a relative URI.
    Glb::GlbChunks chunks;
    const std::string glb = ReadFile(scene.work / "my model.glb");
    ASSERT_EQ(Glb::SplitGlb(glb, chunks), "");
    nlohmann::json json = nlohmann::json::parse(ReadFile(scene.work / "my model.gltf"));
    const std::string bin = ReadFile(scene.work / "my model.bin");
    EXPECT_EQ(json["buffers"][0]["uri"], "my%20model.bin") << form;
    EXPECT_EQ(json["buffers"][0]["byteLength"], bin.size()) << form;
    json["buffers"][0].erase("uri");
    std::string text(chunks.json);
    text.erase(text.find_last_not_of(' ') + 1);
    EXPECT_EQ(json, nlohmann::json::parse(text)) << form;
    EXPECT_EQ(bin, chunks.bin) << form;
  }
}

TEST(Hostile, CityOptionsWithoutACityAreWarned) {
  Scene scene;
  // --jobs makes a single building's text on threads too: only --shard is the city's alone.
  const RunResult result = scene.Tool({"-s", "T", "--jobs", "2", "--shard", "1/2", "out.obj"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, Line("warning", "Option '--shard' applies to --city only: it is ignored") +
                               scene.Found() + Line("info", "Done!"));
  const RunResult wrong = scene.Tool({"-s", "T", "--jobs", "0", "out.obj"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.output, scene.Found() + Line("error", "Value '0' of option '--jobs' is not a number of jobs: give "
                                                        "a whole number from 1 to 1024"));
}

TEST(Hostile, LintTellsAPieceOutOfItsCellFirstAndOnce) {
  TestSupport::ScratchDir units, work;
  const std::string shipped = std::string(TOWERKIT_SOURCE_DIR) + "/units";
  for (const auto& entry : fs::directory_iterator(shipped)) fs::copy_file(entry.path(), units.path / entry.path().filename());
  // The upper window moved 2 m along its facade.
  std::string moved;
  std::istringstream lines(ReadFile(units / "A_floor.obj"));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("v ", 0) == 0) {
      std::istringstream numbers(line.substr(2));
      double x = 0, y = 0, z = 0;
      numbers >> x >> y >> z;
      std::ostringstream text;
      text << "v " << x << " " << y << " " << z + 2;
      line = text.str();
    }
    moved += line + "\n";
  }
  WriteFile(units / "A_floor.obj", moved);
  const RunResult result = TestSupport::RunTool(units.path.string(), work.path.string(), {"--lint", "A"});
  EXPECT_EQ(result.status, 1);
  std::vector<std::string> found;
  std::istringstream output(result.output);
  for (std::string line; std::getline(output, line);) found.push_back(line);
  ASSERT_EQ(found.size(), 4u) << result.output;
  EXPECT_TRUE(Contains(found[1], "error : '" + units / "A_floor.obj" + "', line ")) << found[1];
  EXPECT_TRUE(Contains(found[1], ": reaches outside its cell: ")) << found[1];
  EXPECT_TRUE(Contains(found[2], "error : '" + units / "A_floor.obj" +
                                     "' reaches outside its cell, which breaks the surface where it meets its "
                                     "neighbours: "))
      << found[2];
  EXPECT_TRUE(Contains(found[3], ": 2 errors, 0 warnings")) << found[3];
}

}  // namespace
