// Cities: many buildings in one output. Each building of a city reads as the single-building path
// writes it at the same place and turn, with its indices after those of the buildings before it;
// the threads that make them change no byte; and a city file that cannot be built is refused
// whole, naming the file, line, column and value, before anything is written.

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/layout/PlanCounts.h>
#include "write/obj/ObjCity.h"

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;
using TestSupport::Line;
using TestSupport::RunTool;

using TestSupport::kShipped;

TEST(CityFrame, MultiplesOfNinetyDegreesGiveExactAxes) {
  struct Case {
    double degrees;
    float xdir, zdir;
  };
  for (const Case& c :
       {Case{0, 0, 1}, Case{90, 1, 0}, Case{180, 0, -1}, Case{270, -1, 0}, Case{-90, -1, 0}, Case{450, 1, 0},
        Case{-360, 0, 1}, Case{720, 0, 1}, Case{-1e-300, 0, 1}, Case{3690, 1, 0}}) {
    const Frame frame = CityFrame(1, 2, 3, c.degrees);
    EXPECT_EQ(frame.xdir, c.xdir) << c.degrees;
    EXPECT_EQ(frame.zdir, c.zdir) << c.degrees;
    EXPECT_FALSE(std::signbit(frame.xdir) && frame.xdir == 0) << c.degrees;
  }
  const Frame turned = CityFrame(1, 2, 3, 30);
  EXPECT_FLOAT_EQ(turned.xdir, 0.5f);
  EXPECT_FLOAT_EQ(turned.zdir, std::sqrt(3.0f) / 2);
  EXPECT_EQ(turned.xpos, 1);
  EXPECT_EQ(turned.ypos, 2);
  EXPECT_EQ(turned.zpos, 3);
}

// A small city of the shipped kit: sizes, requests, places and turns that differ.
struct Sample {
  Request request;
  double x, y, z, degrees;
};

std::vector<Sample> Samples() {
  return {{MakeRequest("A", "SC", {"NC", "EA"}, {}, 3, 2, 3), 0, 0, 0, 0},
          {MakeRequest("B", "NL", {}, {"WA"}, 2, 4, 5), 10, 0, 0, 90},
          {MakeRequest("A", "  ", {}, {}, 1, 1, 1), 0, 1.5, 10, 45},
          {MakeRequest("B", "EC", {"SE"}, {}, 2, 2, 2), -3, 0, 7, 180},
          {MakeRequest("A", "WR", {}, {"NO"}, 4, 1, 0), 8, 0, -6, -90}};
}

struct City {
  Kit kit = LoadKit(kShipped, {"A", "B"});
  std::vector<SceneBuilding> buildings;
  MaterialNames names;

  City() {
    std::vector<PieceId> pieces;
    int row = 0;
    for (const Sample& sample : Samples()) {
      SceneBuilding building{MakePlan(sample.request, kit),
                             CityFrame(sample.x, sample.y, sample.z, sample.degrees),
                             "building_" + std::to_string(++row)};
      AddPieces(building.plan, pieces);
      buildings.push_back(std::move(building));
    }
    names = NameMaterials(PiecesPlan(pieces), kit);
  }

  std::string write(unsigned i_jobs, std::size_t i_waitingBytes) const {
    std::ostringstream out;
    std::size_t next = 0;
    CityObjOptions options;
    options.jobs = i_jobs;
    options.waitingBytes = i_waitingBytes;
    WriteCityObj(
        out, kit, names,
        [&](SceneBuilding& o_building) {
          if (next == buildings.size()) return false;
          o_building = buildings[next++];
          return true;
        },
        options);
    return out.str();
  }
};

TEST(CityObj, EachBuildingIsWhatItsOwnWriterWritesAfterTheBuildingsBefore) {
  const City city;
  ASSERT_TRUE(city.names.used);
  std::string expected;
  Offsets at;
  for (const SceneBuilding& building : city.buildings) {
    std::ostringstream text;
    {
      const std::unique_ptr<ObjWriter> writer = MakeObjWriter(text);
      at = WriteObj(*writer, city.kit, building.plan, building.frame, at, city.names);
    }
    expected += "o " + building.name + "\n" + text.str();
  }
  EXPECT_EQ(city.write(1, std::size_t{32} << 20), expected);
}

TEST(CityObj, TheFirstBuildingIsWhatTheSingleBuildingPathWritesAtItsPlaceAndTurn) {
  for (const Sample& sample : Samples()) {
    const Kit kit = LoadKit(kShipped, {sample.request.style});
    SceneBuilding building{MakePlan(sample.request, kit),
                           CityFrame(sample.x, sample.y, sample.z, sample.degrees), "one"};
    const MaterialNames names = NameMaterials(building.plan, kit);
    std::ostringstream city;
    bool given = false;
    WriteCityObj(city, kit, names,
                 [&](SceneBuilding& o_building) {
                   if (given) return false;
                   given = true;
                   o_building = building;
                   return true;
                 },
                 {});

    Ostrel::Buildings::Building single(sample.request.style, sample.request.door, sample.request.balcony,
                                  sample.request.close, static_cast<int>(sample.request.cellsAlongX - 2),
                                  static_cast<int>(sample.request.cellsAlongZ - 2),
                                  static_cast<int>(sample.request.rows - 1));
    single.setUnitsPath(kShipped);
    single.setPosition(static_cast<float>(sample.x), static_cast<float>(sample.y),
                       static_cast<float>(sample.z));
    single.setOrientation(building.frame.xdir, 0, building.frame.zdir);
    std::ostringstream alone;
    single.build(alone, 0);
    EXPECT_EQ(city.str(), "o one\n" + alone.str()) << sample.degrees;
  }
}

TEST(CityObj, TheSameBytesWhateverTheJobsAndHowLittleMayWait) {
  const City city;
  const std::string one = city.write(1, std::size_t{32} << 20);
  for (const unsigned jobs : {2u, 3u, 8u}) {
    EXPECT_EQ(city.write(jobs, std::size_t{32} << 20), one) << jobs;
    // Some finished buildings wait among the others, some wait for their turn to finish.
    EXPECT_EQ(city.write(jobs, std::size_t{256} << 10), one) << jobs;
    // Every building past its first bytes waits for its turn.
    EXPECT_EQ(city.write(jobs, 1), one) << jobs;
  }
}

// ---- The tool ---------------------------------------------------------------------------------

const std::string kCity =
    "id,style,width,length,height,door,balcony,close,x,z,angle\n"
    "first,A,3,2,3,SC,NC EA,,0,0,0\n"
    ",B,2,4,5,NL,,WA,10,0,90\n"
    "\"tilted, small\",A,1,1,1,,,,0,10,45\n"
    ",B,2,2,2,EC,SE,,-3,7,180\n"
    "last,A,4,1,2,WR,,NO,8,-6,-90\n";

std::vector<std::string> ObjectLines(const std::string& i_text) {
  std::vector<std::string> lines;
  std::istringstream in(i_text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("o ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

TEST(CityCli, JobsChangeNoByteAndEachBuildingIsNamed) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", kCity);
  std::string first;
  for (const char* jobs : {"1", "2", "3"}) {
    const TestSupport::RunResult run =
        RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--jobs", jobs, "city.obj"});
    EXPECT_EQ(run.status, 0) << jobs;
    EXPECT_EQ(run.output, Line("info", "Found 1 paths in '" + kShipped + "'") + Line("info", "Done!"));
    EXPECT_EQ(run.errors, "") << "no progress line off a terminal";
    const std::string text = TestSupport::ReadFile(work / "city.obj");
    if (first.empty()) first = text;
    EXPECT_EQ(text, first) << jobs;
  }
  EXPECT_EQ(first.substr(0, first.find('\n')), "mtllib city.mtl");
  EXPECT_EQ(ObjectLines(first), (std::vector<std::string>{"o first", "o building_2", "o tilted, small",
                                                          "o building_4", "o last"}));
  EXPECT_FALSE(TestSupport::ReadFile(work / "city.mtl").empty());
  // Quarter turns are exact: no residue of a sine or cosine reaches the output.
  EXPECT_EQ(first.find("e-"), std::string::npos);
}

TEST(CityCli, AShardIsItsBlockOfRowsWithIndicesFromOne) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", kCity);
  const std::vector<std::vector<std::string>> expected = {
      {"o first"}, {"o building_2", "o tilted, small"}, {"o building_4", "o last"}};
  for (int k = 1; k <= 3; ++k) {
    const std::string shard = std::to_string(k) + "/3";
    const TestSupport::RunResult run =
        RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--shard", shard, "part.obj"});
    EXPECT_EQ(run.status, 0) << shard;
    const std::string text = TestSupport::ReadFile(work / "part.obj");
    EXPECT_EQ(ObjectLines(text), expected[static_cast<std::size_t>(k - 1)]) << shard;
    EXPECT_NE(text.find("\nf 1/1/1 "), std::string::npos) << shard;
  }
  // More shards than rows: some hold none, and say so.
  const TestSupport::RunResult empty =
      RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--shard", "1/6", "part.obj"});
  EXPECT_EQ(empty.status, 0);
  EXPECT_NE(empty.output.find(Line("warning",
                                   "Shard 1/6 of city file 'city.csv' holds no rows (the file has 5): the "
                                   "output holds no building")),
            std::string::npos)
      << empty.output;
  EXPECT_EQ(TestSupport::ReadFile(work / "part.obj"), "");
}

// A row's seed picks its variants as --seed picks a single building's, and --vary reaches every row.
TEST(CityCli, RowSeedsAndVaryChooseVariantsAsForOneBuilding) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", "style,width,length,height,door,seed\nB,4,3,4,SC,7\n");
  const auto body = [&](const std::string& i_file) {
    const std::string text = TestSupport::ReadFile(work / i_file);
    std::string lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("mtllib ", 0) != 0 && line.rfind("o ", 0) != 0) lines += line + "\n";
    }
    return lines;
  };
  for (const char* vary : {"storey", "cell"}) {
    ASSERT_EQ(
        RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--vary", vary, "city.obj"}).status, 0);
    ASSERT_EQ(RunTool(kShipped, work.path.string(),
                      {"-s", "B", "-w", "4", "-l", "3", "-h", "4", "-d", "SC", "--seed", "7", "--vary", vary,
                       "one.obj"})
                  .status,
              0);
    EXPECT_EQ(body("city.obj"), body("one.obj")) << vary;
  }
  ASSERT_EQ(
      RunTool(kShipped, work.path.string(), {"--city", "city.csv", "cell.obj", "--vary", "cell"}).status, 0);
  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "city.csv", "storey.obj"}).status, 0);
  EXPECT_NE(body("cell.obj"), body("storey.obj"));
}

// The shape of a city's building is its row's; --ridge, which has no column, applies to every row.
TEST(CityCli, ShapeOptionsAreTheRowsAndRidgeAppliesToEveryRow) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", "style,width,length,height,roof\nB,4,3,2,gable\n");
  const TestSupport::RunResult run = RunTool(
      kShipped, work.path.string(),
      {"--city", "city.csv", "--roof", "hip", "--setback", "1", "--band", "0:A", "--ridge", "z", "city.obj"});
  ASSERT_EQ(run.status, 0);
  for (const std::string option : {"roof", "setback", "band"}) {
    EXPECT_NE(run.output.find(Line("warning", "Option '--" + option + "' applies to a single building: with --city, "
                                                                     "the column '" + option +
                                                  "' of each row decides; it is ignored")),
              std::string::npos)
        << run.output;
  }
  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--ridge", "x", "x.obj"}).status, 0);
  const auto vertices = [&](const std::string& i_file) {
    std::string lines;
    std::istringstream in(TestSupport::ReadFile(work / i_file));
    for (std::string line; std::getline(in, line);)
      if (line.rfind("v ", 0) == 0) lines += line + "\n";
    return lines;
  };
  EXPECT_NE(vertices("city.obj"), vertices("x.obj"));
}

// Each case: the city file, and the error line after "City file 'city.csv'".
struct BadCity {
  std::string text;
  std::string error;
};

TEST(CityCli, EachBadFileGivesItsErrorAndLeavesTheOutputAsItWas) {
  const std::string head = "style,width,length,height\n";
  const std::vector<BadCity> cases = {
      {"style,width,length,height,colour\nA,1,1,1,red\n",
       ", line 1, column 5: unknown column 'colour': the columns are style, width, length, height, door, "
       "balcony, "
       "close, x, y, z, angle, seed, id, roof, setback, band and footprint"},
      {"style,width,length\nA,1,1\n",
       ", line 1: no column 'height': style, width, length and height are required"},
      {head + "A,1,1,1\nA,2,x3,1\n", ", line 3, column 3 (length): 'x3' is not a whole number"},
      {head + "A,1,1,-2\n", ", line 2, column 4 (height): '-2' is negative: give 0 or more units"},
      {head + "A,,1,1\n", ", line 2, column 2 (width): '' is empty"},
      {head + "Q,1,1,1\n",
       ", line 2, column 1 (style): 'Q' is not a style of the units folder (-k lists them)"},
      {"style,width,length,height,door\nA,1,1,1,SX\n",
       ", line 2, column 5 (door): 'SX' is not a door: give a side N, S, E or W and a place L, C or R, such "
       "as SC"},
      {"style,width,length,height,balcony\nA,1,1,1,NC EZ\n",
       ", line 2, column 5 (balcony): 'EZ' is not a balcony request: give a side N, S, E or W and a pattern "
       "A, E, "
       "O or C, such as NA"},
      {"style,width,length,height,close\nA,1,1,1,NAA\n",
       ", line 2, column 5 (close): 'NAA' has more than two letters"},
      {"style,width,length,height,x\nA,1,1,1,\"1,5\"\n", ", line 2, column 5 (x): '1,5' is not a number"},
      {"style,width,length,height,z\nA,1,1,1,1e39\n", ", line 2, column 5 (z): '1e39' is out of range"},
      {"style,width,length,height,angle\nA,1,1,1,nan\n",
       ", line 2, column 5 (angle): 'nan' is not a finite number"},
      {"style,width,length,height,seed\nA,1,1,1,-1\n",
       ", line 2, column 5 (seed): '-1' is not a whole number from 0 to 18446744073709551615"},
      {"style,width,length,height,id\nA,1,1,1,\"two\nlines\"\n",
       ", line 2, column 5 (id): 'two?lines' holds a line break: an id names the building on one line"},
      {"style,width,length,height,setback\nA,3,3,4,1:N 3:NS:2\n",
       ", line 2, column 5 (setback): '3:NS:2' leaves the block above 0 cells from north to south: a block "
       "needs 2 or more each way"},
      {"style,width,length,height,band\nA,1,1,3,0:B 1:Q\n",
       ", line 2, column 5 (band): '1:Q' names style 'Q', which the units folder does not have (-k lists "
       "them)"},
      {"style,width,length,height,roof\nA,1,1,1,Hip\n",
       ", line 2, column 5 (roof): 'Hip' is not a roof: give flat, gable or hip"},
      // A footprint gives width and length: given beside it they must agree; without it they are
      // needed, their columns too.
      {"style,width,length,height,footprint\nA,5,4,2,\"0,0 7,0 7,3 3,3 3,9 0,9\"\n",
       ", line 2, column 3 (length): '4' is not the footprint's length: it spans 9 cells from west to east, "
       "which is length 7: give 7 or leave it empty"},
      {"style,width,length,height,footprint\nA,4,,2,\"0,0 7,0 7,3 3,3 3,9 0,9\"\n",
       ", line 2, column 2 (width): '4' is not the footprint's width: it spans 7 cells from north to south, "
       "which is width 5: give 5 or leave it empty"},
      {"style,length,height,footprint\nA,,2,\"0,0 7,0 7,3 3,3 3,9 0,9\"\nA,3,2,\n",
       ", line 3: no footprint and no column 'width': a row without a footprint needs width and length"},
      {head + "A,1,1\n", ", line 2, column 4: row has 3 fields, the header has 4"},
      {head + "A,1,1,\"1\n", ", line 2, column 4: unclosed quote: '\"1?'"},
      {"", ", line 1: no header row"},
  };
  TestSupport::ScratchDir work;
  for (const BadCity& bad : cases) {
    TestSupport::WriteFile(work / "city.csv", bad.text);
    TestSupport::WriteFile(work / "out.obj", "kept");
    const TestSupport::RunResult run =
        RunTool(kShipped, work.path.string(), {"--city", "city.csv", "out.obj"});
    EXPECT_EQ(run.status, 1) << bad.text;
    EXPECT_EQ(run.output, Line("info", "Found 1 paths in '" + kShipped + "'") +
                              Line("error", "City file 'city.csv'" + bad.error))
        << bad.text;
    EXPECT_EQ(TestSupport::ReadFile(work / "out.obj"), "kept") << bad.text;
    EXPECT_FALSE(std::filesystem::exists(work / "out.mtl")) << bad.text;
  }
}

TEST(CityCli, BadOptionsAndFilesAreRefusedBeforeWriting) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", kCity);
  const std::string found = Line("info", "Found 1 paths in '" + kShipped + "'");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--city", "none.csv", "out.obj"}, "Cannot read city file 'none.csv': No such file or directory"},
      {{"--city", ".", "out.obj"}, "Cannot read city file '.': it is not a regular file"},
      {{"--city", "city.csv", "--jobs", "0", "out.obj"},
       "Value '0' of option '--jobs' is not a number of jobs: give a whole number from 1 to 1024"},
      {{"--city", "city.csv", "--shard", "4/3", "out.obj"},
       "Value '4/3' of option '--shard' is not a shard K/N: give whole numbers with 1 <= K <= N <= 1000000, "
       "such "
       "as 2/4"},
  };
  for (const auto& [args, error] : cases) {
    TestSupport::WriteFile(work / "out.obj", "kept");
    const TestSupport::RunResult run = RunTool(kShipped, work.path.string(), args);
    EXPECT_EQ(run.status, 1) << error;
    EXPECT_EQ(run.output, found + Line("error", error));
    EXPECT_EQ(TestSupport::ReadFile(work / "out.obj"), "kept") << error;
  }
}

TEST(CityCli, MissingPiecesAreWarnedOncePerFile) {
  TestSupport::ScratchDir units, work;
  for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
    if (entry.path().filename() != "A_floor.obj")
      std::filesystem::copy(entry.path(), units.path / entry.path().filename());
  }
  TestSupport::WriteFile(work / "city.csv", "style,width,length,height\nA,2,2,3\nA,3,1,4\nB,1,1,3\n");
  const TestSupport::RunResult run =
      RunTool(units.path.string(), work.path.string(), {"--city", "city.csv", "c.obj"});
  EXPECT_EQ(run.status, 0);
  const std::string warning =
      Line("warning", "Unit file '" + units / "A_floor.obj" + "' not found: the city is written without it");
  const std::string::size_type at = run.output.find(warning);
  EXPECT_NE(at, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(warning, at + 1), std::string::npos) << run.output;
}

// Standard error on a terminal gets the progress line; the runs above, with standard error in a
// file, show that nothing is written there otherwise.
TEST(CityCli, AProgressLineOnATerminal) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", kCity);
  int terminal = -1;
  int child = -1;
  ASSERT_EQ(openpty(&terminal, &child, nullptr, nullptr, nullptr), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(child, 2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(terminal);
    close(child);
    setenv("OSTREL_UNITS_PATH", kShipped.c_str(), 1);
    if (chdir(work.path.c_str()) != 0) _exit(127);
    execl(TOWERKIT_BINARY, TOWERKIT_BINARY, "--city", "city.csv", "--jobs", "2", "city.obj", nullptr);
    _exit(127);
  }
  close(child);
  std::string shown;
  char buffer[4096];
  for (ssize_t got = 0; (got = read(terminal, buffer, sizeof buffer)) > 0;)
    shown.append(buffer, static_cast<std::size_t>(got));
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(shown.find("\r[towerkit-0.1] 5 of 5 buildings, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" MB written, 0 s left\x1b[K"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 2), "\r\n") << "the line is ended";
}

// Every file under a folder, hidden ones included, with its bytes.
std::map<std::string, std::string> FilesUnder(const std::filesystem::path& i_folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(i_folder)) {
    const std::string name = std::filesystem::relative(entry.path(), i_folder).string();
    files[name] = entry.is_regular_file() ? TestSupport::ReadFile(entry.path().string()) : "(folder)";
  }
  return files;
}

// A tileset run that fails once its tiles are written (--strict after a warning) leaves no tile
// of its own: a new folder is gone again, and a folder with a tileset and the user's files in it
// holds what it held. A run that succeeds over it keeps the user's files.
TEST(CityTiles, AFailedRunLeavesTheFolderAsItWas) {
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "city.csv", kCity);
  const std::vector<std::string> failing = {"--city", "city.csv", "--tiles", "made/city", "--markers", "--strict"};
  const TestSupport::RunResult fresh = RunTool(kShipped, work.path.string(), failing);
  EXPECT_EQ(fresh.status, 1);
  EXPECT_NE(fresh.output.find(Line("error", "Output file 'made/city/tileset.json' is not written, and the tiles this "
                                            "run wrote are removed: the files that were in 'made/city/tiles' before "
                                            "are as they were")),
            std::string::npos)
      << fresh.output;
  EXPECT_FALSE(std::filesystem::exists(work / "made"));

  ASSERT_EQ(RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--tiles", "city"}).status, 0);
  TestSupport::WriteFile(work / "city/tiles/mine.txt", "the user's");
  TestSupport::WriteFile(work / "city/notes.txt", "the user's");
  const std::map<std::string, std::string> before = FilesUnder(work / "city");
  const TestSupport::RunResult failed =
      RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--tiles", "city", "--seed", "9", "--markers", "--strict"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(FilesUnder(work / "city") == before) << failed.output;

  const TestSupport::RunResult again = RunTool(kShipped, work.path.string(), {"--city", "city.csv", "--tiles", "city", "--seed", "9"});
  EXPECT_EQ(again.status, 0) << again.output;
  const std::map<std::string, std::string> after = FilesUnder(work / "city");
  EXPECT_EQ(after.at("tiles/mine.txt"), "the user's");
  EXPECT_EQ(after.at("notes.txt"), "the user's");
  EXPECT_NE(after.at("tiles/0-0-0.glb"), before.at("tiles/0-0-0.glb"));
  EXPECT_EQ(after.size(), before.size()) << "no folder of the run's own is left";
}

}  // namespace
