#pragma once
// towerkit --city: one building per row of a CSV file, all into one output file. The file is read
// a row at a time, three times over: every row is checked before anything is built, then the
// scene pipeline surveys the buildings (what they need from the kit, loaded once for every style
// of the file) and last writes them, on --jobs threads for OBJ.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>

#include "Options.h"
#include "RunFlow.h"

namespace Towerkit {

// The K-th of N contiguous blocks of a city's rows; K counts from 1.
struct Shard {
  std::uint64_t index = 1;
  std::uint64_t count = 1;
};

inline constexpr std::uint64_t kMaxShards = 1000000;
inline constexpr unsigned kMaxJobs = 1024;

// "K/N", two whole numbers with 1 <= K <= N <= kMaxShards; empty: the whole file. False, reported,
// for anything else.
bool ParseShard(const std::string& i_text, Shard& o_shard);

// A whole number of threads from 1 to kMaxJobs; empty: one per core. False, reported, otherwise.
bool ParseJobs(const std::string& i_text, unsigned& o_jobs);

// The 1-based numbers of the shard's rows, of i_rows in all: first .. end - 1.
void ShardRows(std::uint64_t i_rows, const Shard& i_shard, std::uint64_t& o_first, std::uint64_t& o_end);

// The progress line of a long city run on a terminal: buildings done of all, MB written and the
// time left, redrawn a few times a second. Nothing at all when standard error is no terminal.
// For a single building (i_late), the same line, shown only once the run has taken a second, and
// without the time left while no building is done.
class CityProgressLine {
 public:
  explicit CityProgressLine(std::uint64_t i_total, bool i_late = false);
  ~CityProgressLine();

  // Reports may come from several threads, one at a time, and not always in order.
  void report(std::uint64_t i_done, std::uint64_t i_bytes);

 private:
  std::uint64_t m_total;
  bool m_on;
  bool m_late;
  bool m_shown = false;
  std::uint64_t m_done = 0;
  std::uint64_t m_bytes = 0;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point m_last{};
};

// Builds the city of --city into the output file. Returns the exit status; nothing is written
// unless every row of the file can be built, and "Done!" only after the whole file is in place.
int RunCity(const RunSettings& i_settings, const std::string& i_unitsPath, const Catalogue& i_styles);

// Where a city is written, and how its messages name things.
struct CityOutput {
  const RunSettings& settings;  // the output file's name is the tileset's under --tiles
  const std::string& unitsPath;
  const std::string& cityPath;  // the city file, as messages name it
  const Ostrel::Buildings::OutputFormat& format;
  const std::string& tiles;  // the tileset's folder, made if needed; empty: no tileset
  const Ostrel::Buildings::SheetOptions& sheets;  // where the kit's texture sheets go, and their size
};

// The city's scene cut into parts of consecutive buildings, in order, for a survey on a thread a
// part; each part's pass leaves its own message, line and style as the whole scene's does. The
// scenes point into the other members: fill them once, and move the whole, never copy it.
struct SurveyParts {
  std::vector<Ostrel::Buildings::Scene> scenes;
  std::vector<std::uint64_t> buildings;  // rows of each part
  std::vector<std::string> errors;
  std::vector<std::size_t> lines;
  std::vector<std::string> styles;
};

// Surveys the city's scene of i_buildings buildings (by its parts when given, on a thread each),
// then writes it. A pass over the scene may leave a message in io_error (the file changed since
// it was checked); io_line and io_style are those of the last building given, for a message about
// it. Returns the exit status.
int WriteCity(const CityOutput& i_output, const Ostrel::Buildings::Kit& i_kit, const Ostrel::Buildings::Scene& i_scene,
              const Ostrel::Buildings::SceneOptions& i_options, std::uint64_t i_buildings, std::string& io_error,
              std::size_t& io_line, std::string& io_style, const SurveyParts* i_parts = nullptr);

// The folder of the tileset that the run writes: --tiles DIR (DIR/shard-K with --shard), or the
// folder of an output file named tileset.json; empty for any other output.
std::string TilesFolder(const RunSettings& i_settings);

// --merge-tiles: writes the root tileset that joins the shards' tilesets. Returns the exit status.
int RunMergeTiles(const RunSettings& i_settings);

// The whole run of --city after the command line: the units folder and its styles, then the city;
// a run that checks or lints the kit does that instead. Returns the exit status.
int RunCityFlow(RunSettings& io_settings, const std::string& i_kitFromBin);

}  // namespace Towerkit
