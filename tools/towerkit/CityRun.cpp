// The run of --city: check every row, survey the city, write it.

#include "CityRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/write/Tiles.h>
#include <ostrel/write/WriteScene.h>

#include "CardFiles.h"
#include "CityFile.h"
#include "GeoCity.h"
#include "Report.h"
#include "SceneFiles.h"
#include "ShapeValues.h"
#include "SheetFiles.h"
#include "ValueChecks.h"

namespace Towerkit {

namespace {

// Reads every row of the city file, calling i_visit for those numbered i_first to i_end - 1
// until it returns false. False, with o_error set, for a file or row that cannot be built.
bool ForEachCityRow(const CityText& i_text, const Catalogue& i_styles, std::uint64_t i_seed,
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

// The shard's rows of the city file as a scene: each pass reads the rows afresh, a building a row.
// A row that can no longer be read (the file changed since it was checked) ends the pass and
// leaves its message in io_error; io_line is the line of the last building given.
Ostrel::Buildings::Scene CityScene(const CityText& i_text, const Catalogue& i_styles,
                              const RunSettings& i_settings, const Ostrel::Buildings::Kit& i_kit,
                              std::uint64_t i_first, std::uint64_t i_end, std::string& io_error,
                              std::size_t& io_line, std::string& io_style) {
  Ostrel::Buildings::Scene scene;
  scene.kit = &i_kit;
  // The pass outlives this call: it keeps pointers to what the caller keeps.
  const CityText* text = &i_text;
  const Catalogue* styles = &i_styles;
  const RunSettings* settings = &i_settings;
  const Ostrel::Buildings::Kit* kit = &i_kit;
  std::string* error = &io_error;
  std::size_t* line = &io_line;
  std::string* style = &io_style;
  scene.buildings = [=] {
    auto rows = std::make_shared<CityRows>(*text, *styles, settings->seed);
    if (!rows->open(*error))
      return Ostrel::Buildings::NextBuilding([](Ostrel::Buildings::SceneBuilding&) { return false; });
    return Ostrel::Buildings::NextBuilding([=](Ostrel::Buildings::SceneBuilding& o_building) {
      CityRow row;
      std::string rowError;
      while (rows->next(row, rowError)) {
        if (row.number < i_first) continue;
        if (row.number >= i_end) return false;
        const Ostrel::Buildings::Request request = RequestOf(row, settings->varyByCell, settings->ridge);
        const Ostrel::Buildings::Frame frame = Ostrel::Buildings::CityFrame(row.x, row.y, row.z, row.angle);
        o_building = Ostrel::Buildings::MakeSceneBuilding(request, *kit, frame, row.name);
        *line = row.line;
        *style = row.style;
        return true;
      }
      if (!rowError.empty()) *error = rowError;
      return false;
    });
  };
  return scene;
}

// The rows i_first to i_end - 1 cut into i_count parts of about as many rows each (fewer parts
// when there are fewer rows), for the survey.
SurveyParts CitySurveyParts(const CityText& i_text, const Catalogue& i_styles, const RunSettings& i_settings,
                            const Ostrel::Buildings::Kit& i_kit, std::uint64_t i_first, std::uint64_t i_end,
                            unsigned i_count) {
  const std::uint64_t count = std::min<std::uint64_t>(i_count, i_end - i_first);
  SurveyParts parts;
  parts.errors.resize(count);
  parts.lines.resize(count);
  parts.styles.resize(count);
  for (std::uint64_t part = 0; part < count; ++part) {
    const std::uint64_t first = i_first + part * (i_end - i_first) / count;
    const std::uint64_t end = i_first + (part + 1) * (i_end - i_first) / count;
    parts.buildings.push_back(end - first);
    parts.scenes.push_back(CityScene(i_text, i_styles, i_settings, i_kit, first, end, parts.errors[part],
                                     parts.lines[part], parts.styles[part]));
  }
  return parts;
}

// The error line of a city that was not written.
void ReportCityError(const Ostrel::Buildings::SceneReport& i_report, const std::string& i_path,
                     const std::string& i_unitsPath, std::size_t i_line, const std::string& i_style,
                     const Ostrel::Buildings::OutputFormat& i_format, const RunSettings& i_settings,
                     const std::string& i_piece = std::string()) {
  using Ostrel::Buildings::SceneError;
  switch (i_report.error) {
    case SceneError::None:
      return;
    case SceneError::NoBaseUnits:
      return ReportBuildError(i_report.error, i_settings, i_unitsPath, i_format);
    case SceneError::NothingPlaced:
      Ostrel::Message::PrintError("City file '" + i_path + "', line " + std::to_string(i_line) + ": style '" +
                                  i_style + "' " + PlacedNothing(i_unitsPath));
      return;
    case SceneError::NotFinite:
      Ostrel::Message::PrintError("City file '" + i_path + "', line " + std::to_string(i_line) + ": " +
                                  BeyondFloats(i_piece));
      return;
    case SceneError::TooLarge:
      Ostrel::Message::PrintError(TooLargeLine("The city of '" + i_path + "'", i_format, false));
      return;
  }
}

// Of a survey by parts: the message, line and style that one pass over the whole scene would have
// left, which are those of the first part that a message or a refused building ends. A part's pass
// that left a message ended there, before any building after it; the others gave every row.
void TakePartMessage(const SurveyParts& i_parts, const Ostrel::Buildings::SceneSurvey& i_survey,
                     std::string& o_error, std::size_t& o_line, std::string& o_style) {
  using Ostrel::Buildings::SceneError;
  const bool refused = i_survey.error == SceneError::NothingPlaced || i_survey.error == SceneError::NotFinite;
  std::uint64_t before = 0;  // buildings up to the part's end
  for (std::size_t part = 0; part < i_parts.scenes.size(); ++part) {
    o_line = i_parts.lines[part];
    o_style = i_parts.styles[part];
    if (!i_parts.errors[part].empty()) {
      o_error = i_parts.errors[part];
      return;
    }
    before += i_parts.buildings[part];
    if (refused && i_survey.failedBuilding < before) return;
  }
}

}  // namespace

bool ParseShard(const std::string& i_text, Shard& o_shard) {
  if (i_text.empty()) return true;
  const std::string::size_type slash = i_text.find('/');
  int index = 0;
  int count = 0;
  if (slash != std::string::npos &&
      Csv::ParseInt(i_text.substr(0, slash), index) == Csv::NumberError::kNone &&
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

bool ParseJobs(const std::string& i_text, unsigned& o_jobs) {
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
  Ostrel::Message::PrintError(OptionValue("--jobs", i_text) +
                              " is not a number of jobs: give a whole number from 1 to " +
                              std::to_string(kMaxJobs));
  return false;
}

void ShardRows(std::uint64_t i_rows, const Shard& i_shard, std::uint64_t& o_first, std::uint64_t& o_end) {
  o_first = (i_shard.index - 1) * i_rows / i_shard.count + 1;
  o_end = i_shard.index * i_rows / i_shard.count + 1;
}

CityProgressLine::CityProgressLine(std::uint64_t i_total, bool i_late)
    : m_total(i_total), m_on(isatty(STDERR_FILENO) != 0), m_late(i_late) {}

CityProgressLine::~CityProgressLine() {
  if (m_shown) Ostrel::Message::EndProgress();
}

void CityProgressLine::report(std::uint64_t i_done, std::uint64_t i_bytes) {
  if (!m_on) return;
  m_done = std::max(m_done, i_done);
  m_bytes = std::max(m_bytes, i_bytes);
  if (m_done == 0 && !m_late) return;  // no pace to tell the time left by yet
  const auto now = std::chrono::steady_clock::now();
  if (m_late && now - m_start < std::chrono::seconds(1)) return;
  if (now - m_last < std::chrono::milliseconds(250) && m_done < m_total) return;
  m_last = now;
  m_shown = true;
  const double seconds = std::chrono::duration<double>(now - m_start).count();
  char line[160];
  const int length = std::snprintf(line, sizeof line, "%llu of %llu buildings, %.1f MB written",
                                   static_cast<unsigned long long>(m_done),
                                   static_cast<unsigned long long>(m_total), static_cast<double>(m_bytes) / 1e6);
  if (m_done > 0 && length > 0 && static_cast<std::size_t>(length) < sizeof line) {
    const double left = seconds * static_cast<double>(m_total - m_done) / static_cast<double>(m_done);
    std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), ", %.0f s left", left);
  }
  Ostrel::Message::ShowProgress(line);
}

std::string TilesFolder(const RunSettings& i_settings) {
  if (i_settings.tiles.empty()) return std::string();
  const std::string::size_type slash = i_settings.shard.find('/');
  if (i_settings.shard.empty() || slash == std::string::npos) return i_settings.tiles;
  return i_settings.tiles + "/shard-" + i_settings.shard.substr(0, slash);
}

int RunMergeTiles(const RunSettings& i_settings) {
  std::string error;
  if (!Ostrel::Buildings::MergeTilesets(i_settings.mergeTiles, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  Ostrel::Message::PrintInfo("Done!");
  return kExitSuccess;
}

int RunCity(const RunSettings& i_given, const std::string& i_unitsPath, const Catalogue& i_styles) {
  using namespace Ostrel::Buildings;
  // --tiles names the tileset's folder: its output is the tileset.json there.
  const std::string tiles = TilesFolder(i_given);
  RunSettings i_settings = i_given;
  if (!tiles.empty()) i_settings.outputfilename = tiles + "/tileset.json";
  if (!RequireOutputName(i_settings)) return kExitFailure;
  unsigned jobs = 1;
  Shard shard;
  if (!CheckOutputPath(i_settings.outputfilename) || !ParseJobs(i_settings.jobs, jobs) ||
      !ParseShard(i_settings.shard, shard)) {
    return kExitFailure;
  }
  const OutputFormat& format = FormatOfOutput(i_settings.outputfilename);
  WarnIgnoredOptions(i_settings, format);
  SheetOptions sheets;
  if (!SheetOptionsOf(i_settings, format, sheets)) return kExitFailure;

  CityText text;
  std::string error;
  if (!text.open(i_settings.city, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  if (IsGeoJsonCity(text)) return RunGeoCity({i_settings, i_unitsPath, text.path, format, tiles, sheets}, i_styles, jobs, shard);
  WarnMapOnlyOptions(i_settings);
  // Every row checked before anything is built; the styles they use, for the kit.
  std::uint64_t rows = 0;
  std::set<std::string> used;
  std::set<std::pair<std::string, std::string>> joined;  // a style and a band's on it
  const auto check = [&](const CityRow& i_row) {
    ++rows;
    used.insert(i_row.style);
    for (const Ostrel::Buildings::Band& band : i_row.bands) {
      used.insert(band.style);
      joined.emplace(i_row.style, band.style);
    }
    return true;
  };
  if (!ForEachCityRow(text, i_styles, i_settings.seed, 1, UINT64_MAX, check, error)) {
    Ostrel::Message::PrintError(error);
    return kExitFailure;
  }
  for (const auto& [style, band] : joined) {
    Request request;
    request.style = style;
    request.bands = {{0, 0, band}};
    if (!BandUnitsMatch(i_settings.folders, request, error)) {
      Ostrel::Message::PrintError("City file '" + text.path + "': " + error);
      return kExitFailure;
    }
  }
  std::uint64_t first = 1;
  std::uint64_t end = 1;
  ShardRows(rows, shard, first, end);
  if (first == end) {
    Ostrel::Message::PrintWarning((i_settings.shard.empty()
                                       ? "City file '" + text.path + "' holds no rows"
                                       : "Shard " + i_settings.shard + " of city file '" + text.path +
                                             "' holds no rows (the file has " + std::to_string(rows) + ")") +
                                  ": the output holds no building");
  }

  const std::vector<std::string> styles(used.begin(), used.end());
  const Kit kit = LoadKit(RunFolders(i_settings, i_unitsPath), styles);
  const std::vector<CardSet> cards = PrepareCardSheets(i_settings, format, kit);
  std::size_t line = 0;
  std::string style;
  const Scene scene = CityScene(text, i_styles, i_settings, kit, first, end, error, line, style);
  SceneOptions options = CitySceneOptions(i_settings, jobs);
  if (format.metres) options.kitUnits = true;
  options.cards = cards;
  // The survey reads every building before the first is written, on one thread unless cut.
  SurveyParts parts = CitySurveyParts(text, i_styles, i_settings, kit, first, end, jobs);
  return WriteCity({i_settings, i_unitsPath, text.path, format, tiles, sheets}, kit, scene, options, end - first, error, line,
                   style, parts.scenes.size() > 1 ? &parts : nullptr);
}

int WriteCity(const CityOutput& i_output, const Ostrel::Buildings::Kit& i_kit, const Ostrel::Buildings::Scene& i_scene,
              const Ostrel::Buildings::SceneOptions& i_options, std::uint64_t i_buildings, std::string& io_error,
              std::size_t& io_line, std::string& io_style, const SurveyParts* i_parts) {
  using namespace Ostrel::Buildings;
  const RunSettings& settings = i_output.settings;
  const OutputFormat& format = i_output.format;
  const std::string& tiles = i_output.tiles;
  SceneOptions options = i_options;
  options.sheets = i_output.sheets;
  const SceneSurvey survey = i_parts ? SurveyScenes(i_parts->scenes, format, options) : SurveyScene(i_scene, format, options);
  if (i_parts) TakePartMessage(*i_parts, survey, io_error, io_line, io_style);
  if (!io_error.empty()) {
    Ostrel::Message::PrintError(io_error);
    return kExitFailure;
  }
  if (survey.error != SceneError::None) {
    SceneReport refused;
    refused.error = survey.error;
    ReportCityError(refused, i_output.cityPath, i_output.unitsPath, io_line, io_style, format, settings,
                    survey.error == SceneError::NotFinite ? i_kit.piece(survey.failedPiece).name : "");
    return kExitFailure;
  }
  SceneFiles files{&i_scene, &survey, options, KitInputs(i_kit, i_output.cityPath), "city", i_buildings,
                   [&](const SceneReport& i_report) {
                     if (i_report.error == SceneError::None && io_error.empty()) return false;
                     if (!io_error.empty()) Ostrel::Message::PrintError(io_error);
                     ReportCityError(i_report, i_output.cityPath, i_output.unitsPath, io_line, io_style, format,
                                     settings);
                     return true;
                   }};
  // The folders this run makes for the tileset, deepest first: a failed run takes them away again.
  std::vector<std::filesystem::path> madeFolders;
  std::error_code made;
  if (!tiles.empty() && !std::filesystem::is_directory(tiles)) {
    for (std::filesystem::path up = std::filesystem::path(tiles).lexically_normal();
         !up.empty() && !std::filesystem::exists(std::filesystem::symlink_status(up, made)); up = up.parent_path()) {
      madeFolders.push_back(up);
      if (up == up.parent_path()) break;
    }
    if (!std::filesystem::create_directories(tiles, made)) {
      Ostrel::Message::PrintError("Cannot make the tileset's folder '" + tiles + "'" + (made ? ": " + made.message() : ""));
      return kExitFailure;
    }
  }
  const int status = WriteSceneFiles(settings.outputfilename, format, std::move(files), settings.stats);
  // Only empty folders go: whatever came into them meanwhile stays.
  if (status != kExitSuccess) {
    for (const std::filesystem::path& folder : madeFolders) std::filesystem::remove(folder, made);
  }
  return status;
}

int RunCityFlow(RunSettings& io_settings, const std::string& i_kitFromBin) {
  if (io_settings.check || io_settings.lint) return RunFlow(io_settings, i_kitFromBin);
  std::string unitsPath;
  std::vector<std::string> units;
  if (!ReadUnitsFolders(io_settings, i_kitFromBin, unitsPath, units)) return kExitFailure;
  return RunCity(io_settings, unitsPath, BuildCatalogue(units));
}

}  // namespace Towerkit
