#pragma once
// towerkit --city: one building per row of a CSV file, all into one output file. The file is read
// three times, a row at a time: every row is checked before anything is built, then the plans say
// what the buildings need from the kit together (loaded once for every style of the file), and
// last the buildings are written, on --jobs threads for OBJ.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <ostrel/city/Building.h>
#include <ostrel/city/City.h>
#include <ostrel/city/CityObj.h>
#include <ostrel/city/GltfMaterials.h>
#include <ostrel/city/GltfMesh.h>
#include <ostrel/city/GltfWriter.h>
#include <ostrel/city/Materials.h>
#include <ostrel/utils/Messages.h>

#include "CityFile.h"
#include "Options.h"
#include "OutputFile.h"
#include "RunFlow.h"
#include "ValueChecks.h"

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
inline bool ParseShard(const std::string& i_text, Shard& o_shard) {
  if (i_text.empty()) return true;
  const std::string::size_type slash = i_text.find('/');
  int index = 0;
  int count = 0;
  if (slash != std::string::npos && Csv::ParseInt(i_text.substr(0, slash), index) == Csv::NumberError::kNone &&
      Csv::ParseInt(i_text.substr(slash + 1), count) == Csv::NumberError::kNone && index >= 1 &&
      index <= count && static_cast<std::uint64_t>(count) <= kMaxShards) {
    o_shard = {static_cast<std::uint64_t>(index), static_cast<std::uint64_t>(count)};
    return true;
  }
  Ostrel::Message::PrintError(OptionValue("--shard", i_text) +
                              " is not a shard K/N: give whole numbers with 1 <= K <= N <= " +
                              std::to_string(kMaxShards) + ", such as 2/4");
  return false;
}

// A whole number of threads from 1 to kMaxJobs; empty: one per core. False, reported, otherwise.
inline bool ParseJobs(const std::string& i_text, unsigned& o_jobs) {
  if (i_text.empty()) {
    o_jobs = std::max(1u, std::thread::hardware_concurrency());
    return true;
  }
  int jobs = 0;
  if (Csv::ParseInt(i_text, jobs) == Csv::NumberError::kNone && jobs >= 1 &&
      static_cast<unsigned>(jobs) <= kMaxJobs) {
    o_jobs = static_cast<unsigned>(jobs);
    return true;
  }
  Ostrel::Message::PrintError(OptionValue("--jobs", i_text) + " is not a number of jobs: give a whole number from 1 to " +
                              std::to_string(kMaxJobs));
  return false;
}

// The 1-based numbers of the shard's rows, of i_rows in all: first .. end - 1.
inline void ShardRows(std::uint64_t i_rows, const Shard& i_shard, std::uint64_t& o_first, std::uint64_t& o_end) {
  o_first = (i_shard.index - 1) * i_rows / i_shard.count + 1;
  o_end = i_shard.index * i_rows / i_shard.count + 1;
}

// The progress line of a long city run on a terminal: buildings done of all, MB written and the
// time left, redrawn a few times a second. Nothing at all when standard error is no terminal.
class CityProgressLine {
 public:
  explicit CityProgressLine(std::uint64_t i_total) : m_total(i_total), m_on(isatty(STDERR_FILENO) != 0) {}
  ~CityProgressLine() {
    if (m_shown) Ostrel::Message::EndProgress();
  }

  // Reports may come from several threads, one at a time, and not always in order.
  void report(std::uint64_t i_done, std::uint64_t i_bytes) {
    if (!m_on) return;
    m_done = std::max(m_done, i_done);
    m_bytes = std::max(m_bytes, i_bytes);
    if (m_done == 0) return;  // no pace to tell the time left by yet
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < std::chrono::milliseconds(250) && m_done < m_total) return;
    m_last = now;
    m_shown = true;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double left = seconds * static_cast<double>(m_total - m_done) / static_cast<double>(m_done);
    char line[160];
    std::snprintf(line, sizeof line, "%llu of %llu buildings, %.1f MB written, %.0f s left",
                  static_cast<unsigned long long>(m_done), static_cast<unsigned long long>(m_total),
                  static_cast<double>(m_bytes) / 1e6, left);
    Ostrel::Message::ShowProgress(line);
  }

 private:
  std::uint64_t m_total;
  bool m_on;
  bool m_shown = false;
  std::uint64_t m_done = 0;
  std::uint64_t m_bytes = 0;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point m_last{};
};

namespace detail {

// Reads every row of the city file, calling i_visit for those numbered i_first to i_end - 1
// until it returns false. False, with o_error set, for a file or row that cannot be built.
inline bool ForEachCityRow(const CityText& i_text, const Catalogue& i_styles, std::uint64_t i_seed,
                           std::uint64_t i_first, std::uint64_t i_end,
                           const std::function<bool(const CityRow&)>& i_visit, std::string& o_error) {
  CityRows rows(i_text, i_styles, i_seed);
  if (!rows.open(o_error)) return false;
  CityRow row;
  while (rows.next(row, o_error)) {
    if (row.number < i_first) continue;
    if (row.number >= i_end || !i_visit(row)) return true;
  }
  return o_error.empty();
}

// The building a row asks for, placed in the output's units.
inline Ostrel::City::CityBuilding CityBuildingOf(const CityRow& i_row, const Ostrel::City::Kit& i_kit,
                                                 const RunSettings& i_settings) {
  Ostrel::City::CityBuilding building;
  building.plan = Ostrel::City::MakePlan(RequestOf(i_row, i_settings.varyByCell), i_kit);
  building.frame = Ostrel::City::CityFrame(i_row.x, i_row.y, i_row.z, i_row.angle);
  if (i_settings.metres) {
    building.frame.xscale = i_kit.unitWidth;
    building.frame.yscale = i_kit.unitHeight;
    building.frame.zscale = i_kit.unitLength;
  }
  building.name = i_row.name;
  return building;
}

// What the city's buildings need together, from a reading of their plans: every piece, each
// once, and whether their indices fit. False, reported, for a building that places nothing or a
// city too large to write.
inline bool SurveyCity(const CityText& i_text, const Catalogue& i_styles, const RunSettings& i_settings,
                       const Ostrel::City::Kit& i_kit, std::uint64_t i_first, std::uint64_t i_end, bool i_glb,
                       std::vector<Ostrel::City::PieceId>& o_pieces) {
  using namespace Ostrel::City;
  Totals totals;
  std::string error;
  const auto visit = [&](const CityRow& i_row) {
    const Plan plan = MakePlan(RequestOf(i_row, i_settings.varyByCell), i_kit);
    // Counting stops once a building alone passes what a city can index.
    const Totals counts = CountPlan(plan, i_kit, kMaxIndex);
    if (counts.vertices == 0) {
      error = "City file '" + i_text.path + "', line " + std::to_string(i_row.line) + ": style '" + i_row.style +
              "' placed nothing: no unit files of it in the units folder '" + i_kit.folder + "'";
      return false;
    }
    totals = {Ostrel::City::detail::SatAdd(totals.vertices, counts.vertices),
              Ostrel::City::detail::SatAdd(totals.normals, counts.normals),
              Ostrel::City::detail::SatAdd(totals.uvs, counts.uvs)};
    AddPieces(plan, o_pieces);
    return true;
  };
  if (!ForEachCityRow(i_text, i_styles, i_settings.seed, i_first, i_end, visit, error) || !error.empty()) {
    Ostrel::Message::PrintError(error);
    return false;
  }
  // A .glb counts its own limit when it is written.
  if (!i_glb && CheckFits(totals, {}) != BuildError::None) {
    Ostrel::Message::PrintError("The city of '" + i_text.path + "' is too large to write: its buildings hold more than " +
                                std::to_string(kMaxIndex) + " vertices, normals or texture coordinates");
    return false;
  }
  return true;
}

// Writes the shard's buildings as OBJ into io_out. False, reported, when a row could not be
// read again.
inline bool WriteCityObjFile(std::ostream& io_out, const CityText& i_text, const Catalogue& i_styles,
                             const RunSettings& i_settings, const Ostrel::City::Kit& i_kit,
                             const Ostrel::City::MaterialNames& i_names, std::uint64_t i_first,
                             std::uint64_t i_end, unsigned i_jobs) {
  CityRows rows(i_text, i_styles, i_settings.seed);
  std::string error;
  if (!rows.open(error)) {
    Ostrel::Message::PrintError(error);
    return false;
  }
  const auto next = [&](Ostrel::City::CityBuilding& o_building) {
    CityRow row;
    while (rows.next(row, error)) {
      if (row.number < i_first) continue;
      if (row.number >= i_end) return false;
      o_building = CityBuildingOf(row, i_kit, i_settings);
      return true;
    }
    return false;
  };
  CityProgressLine progress(i_end - i_first);
  Ostrel::City::CityObjOptions options;
  options.jobs = i_jobs;
  Ostrel::City::WriteCityObj(io_out, i_kit, i_names, next, options, {},
                             [&](std::uint64_t i_done, std::uint64_t i_bytes) { progress.report(i_done, i_bytes); });
  if (error.empty()) return true;
  Ostrel::Message::PrintError(error);
  return false;
}

// Writes the shard's buildings as one .glb into io_out, each a named node. Every plan is held
// until the file is written: its JSON, which comes first, lists them all. False, reported, for a
// file past the 4 GiB of GLB.
inline bool WriteCityGlbFile(std::ostream& io_out, const CityText& i_text, const Catalogue& i_styles,
                             const RunSettings& i_settings, const Ostrel::City::Kit& i_kit,
                             const Ostrel::City::MaterialNames& i_names, const Ostrel::City::Plan& i_pieces,
                             std::uint64_t i_first, std::uint64_t i_end,
                             std::vector<std::string>& o_textureWarnings) {
  using namespace Ostrel::City;
  std::vector<CityBuilding> city;
  std::string error;
  const auto keep = [&](const CityRow& i_row) {
    city.push_back(CityBuildingOf(i_row, i_kit, i_settings));
    return true;
  };
  if (!ForEachCityRow(i_text, i_styles, i_settings.seed, i_first, i_end, keep, error)) {
    Ostrel::Message::PrintError(error);
    return false;
  }
  std::vector<GltfBuilding> buildings;
  for (const CityBuilding& building : city) buildings.push_back({&building.plan, building.frame, building.name});
  const GltfMaterials materials =
      MakeGltfMaterials(FindDefinitions(i_pieces, i_kit), UsedMaterials(i_pieces, i_kit), i_names, o_textureWarnings);
  const GltfOptions options{GltfFormOf(i_settings.instances), "towerkit"};
  if (WriteGlb(io_out, i_kit, MakeGltfPieces(i_kit), materials, buildings, options) == GlbResult::Written) return true;
  Ostrel::Message::PrintError("The city of '" + i_text.path + "' is too large to write: a .glb file holds at most 4 GiB");
  return false;
}

}  // namespace detail

// Builds the city of --city into the output file. Returns the exit status; nothing is written
// unless every row of the file can be built, and "Done!" only after the whole file is in place.
inline int RunCity(const RunSettings& i_settings, const std::string& i_unitsPath, const Catalogue& i_styles) {
  using namespace Ostrel::City;
  if (i_settings.outputfilename.empty()) {
    Ostrel::Message::PrintError("No output file specified");
    showHelp();
    return kExitFailure;
  }
  unsigned jobs = 1;
  Shard shard;
  if (!detail::CheckOutputPath(i_settings.outputfilename) || !ParseJobs(i_settings.jobs, jobs) ||
      !ParseShard(i_settings.shard, shard)) {
    return kExitFailure;
  }
  const bool glb = IsGlbName(i_settings.outputfilename);
  if (!glb) WarnInstancesInObj(i_settings);

  CityText text;
  std::string error;
  if (!text.open(i_settings.city, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  // Every row checked before anything is built; the styles they use, for the kit.
  std::uint64_t rows = 0;
  std::set<std::string> used;
  const auto check = [&](const CityRow& i_row) {
    ++rows;
    used.insert(i_row.style);
    return true;
  };
  if (!detail::ForEachCityRow(text, i_styles, i_settings.seed, 1, UINT64_MAX, check, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  std::uint64_t first = 1;
  std::uint64_t end = 1;
  ShardRows(rows, shard, first, end);
  if (first == end) {
    Ostrel::Message::PrintWarning(
        (i_settings.shard.empty() ? "City file '" + text.path + "' holds no rows"
                                  : "Shard " + i_settings.shard + " of city file '" + text.path + "' holds no rows (the file has " +
                                        std::to_string(rows) + ")") +
        ": the output holds no building");
  }

  const Kit kit = LoadKit(i_unitsPath, std::vector<std::string>(used.begin(), used.end()));
  if (!kit.measured()) {
    detail::ReportBuildError(BuildError::NoBaseUnits, i_settings, i_unitsPath, glb);
    return kExitFailure;
  }
  std::vector<PieceId> pieces;
  if (!detail::SurveyCity(text, i_styles, i_settings, kit, first, end, glb, pieces)) return kExitFailure;
  const Plan piecesPlan = PiecesPlan(pieces);
  const MaterialNames names = NameMaterials(piecesPlan, kit);

  OutputFile objout;
  if (!OpenOutput(i_settings.outputfilename, objout, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  const std::string libraryPath = glb || objout.tempPath.empty() ? std::string() : MaterialLibraryPath(objout.target);
  const std::string folder = libraryPath.empty() || std::filesystem::path(libraryPath).parent_path().empty()
                                 ? "."
                                 : std::filesystem::path(libraryPath).parent_path().string();
  std::vector<std::string> textureWarnings;
  bool written = false;
  if (glb) {
    written = detail::WriteCityGlbFile(objout.stream, text, i_styles, i_settings, kit, names, piecesPlan, first, end,
                                       textureWarnings);
  } else {
    if (names.used && !libraryPath.empty()) {
      const std::string line = "mtllib " + std::filesystem::path(libraryPath).filename().string() + "\n";
      objout.stream.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    written = detail::WriteCityObjFile(objout.stream, text, i_styles, i_settings, kit, names, first, end, jobs);
  }
  if (!written) {
    DiscardOutput(objout);
    return kExitFailure;
  }
  for (const MissingUnit& missing : MissingUnits(piecesPlan, kit)) {
    Ostrel::Message::PrintWarning("Unit file '" + missing.file + "' " + detail::UnitFileFault(missing) +
                                  ": the city is written without it");
  }
  std::vector<MaterialNote> notes;
  const std::string library = MergeMaterials(piecesPlan, kit, names, folder, notes);
  detail::ReportMaterialNotes(notes);
  for (const std::string& warning : textureWarnings) Ostrel::Message::PrintWarning(warning);
  return FinishWriting(objout, glb || !names.used, libraryPath, library, "city");
}

// The whole run of --city after the command line: the units folder and its styles, then the city;
// a run that checks or lints the kit does that instead. Returns the exit status.
inline int RunCityFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
  if (io_settings.check || io_settings.lint) return RunFlow(io_settings, i_kitFromBin);
  const std::string unitsPath = UnitsPath(i_kitFromBin);
  std::vector<std::string> units;
  if (!ListUnitsFolder(unitsPath, units)) return kExitFailure;
  return RunCity(io_settings, unitsPath, BuildCatalogue(units));
}

}  // namespace Towerkit
