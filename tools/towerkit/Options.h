#pragma once
// The settings of one run, the table of options and the loop that fills the settings from the
// command line, and the help text. Parsing only records what was asked for, with a warning for
// what the building cannot use as given (ValueChecks.h); the run flow (RunFlow.h) acts on it.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/layout/Request.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/write/Formats.h>

#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>

#include "ValueChecks.h"

namespace Towerkit {

// Everything one run needs, as the command line or the console dialogue left it. Values are
// stored unchecked; the run flow checks them before anything is built.
struct RunSettings {
  bool check = false;                // only list the styles of the units folder
  std::string style;                 // first part of the unit file names, "<style>_<piece>.obj"
  std::string door = "  ";           // two letters XY; two blanks: no door
  std::vector<std::string> balcony;  // two letters XY each, in the order given
  std::vector<std::string> close;    // two letters XY each, in the order given
  int width = 1;                     // in units (cells)
  int length = 1;                    // in units (cells)
  int height = 1;                    // in units, one per storey
  std::string outputfilename;        // the file to write, in the format its name chooses; empty: none given
  bool stepByStep = true;            // ask for every setting on the console
  bool metres = false;               // coordinates in the kit's own units instead of cell units
  bool lint = false;                 // check the kit's styles instead of building
  std::string lintStyle;             // the style --lint names; empty: that of -s, or every style
  std::string instances;             // --instances as given ("nodes" or "gpu"); empty: not given
  std::uint64_t seed = 0;            // picks among the variants of pieces
  bool varyByCell = false;           // --vary cell: a variant per cell, not per piece, storey and facade
  std::string city;                  // --city: the CSV file of buildings to build; empty: one building
  std::string jobs;                  // --jobs as given; empty: one per core
  std::string shard;                 // --shard as given ("K/N"); empty: every row
  Ostrel::Buildings::RoofShape roof = Ostrel::Buildings::RoofShape::Flat;     // --roof
  Ostrel::Buildings::RidgeAxis ridge = Ostrel::Buildings::RidgeAxis::Longer;  // --ridge
  std::vector<std::string> setbacks;  // --setback values as given, in order
  std::string footprint;              // --footprint as given; empty for the rectangle of -w and -l
  std::vector<std::string> bands;     // --band values as given, in order
  bool strict = false;               // --strict: every warning is an error, and nothing is written
  std::vector<std::string> units;    // --units: folders searched before the environment's, in order
  std::vector<std::string> folders;  // every units folder of the run, in order (UnitsFolders, RunFlow.h)
  Ostrel::Buildings::EngineOptions engine;  // --collision, --lod, --markers and --pivot
  bool stats = false;                  // --stats: a line about each output file after "Done!"
  std::string tiles;                   // --tiles: the folder of a tileset of --city; empty: none
  std::string mergeTiles;              // --merge-tiles: the folder whose shards' tilesets to join
  std::string textures;                // --textures as given (embed, external or none); empty: not given
  std::string textureSize;             // --texture-size as given; empty: sheets keep their size
  // A GeoJSON city's map data, as given; checked when such a city is built.
  std::string crs;                     // --crs: "metres" for planar coordinates; empty: as the file says
  std::string origin;                  // --origin LON,LAT; empty: the data's bounding-box centre
  std::string levels;                  // --levels: storeys of a feature without height or levels
  std::vector<std::string> styleBy;    // --style-by rules KEY=VALUE:STYLE, as given, in order
};

enum class ParseOutcome {
  Run,           // go on with the run flow
  Help,          // "--help" was given: print the help text, end with status 0
  MissingValue,  // an option that takes a value stood last: already reported, status 1
};

void showHelp();

// Reads the arguments that follow the program's name into io_settings, which holds the defaults.
// Prints "Check enabled" for each -k, a warning for each unknown option, unusable value and
// extra output file name, and the error line of an option missing its value. Nothing else: the
// run flow acts on the settings.
ParseOutcome ParseArguments(const std::vector<std::string>& i_args, RunSettings& io_settings);

// Reads the arguments silently once, before anything is printed, for what decides how every line
// is told: --strict turns warnings into errors (Messages.h), and an output file that is standard
// output itself (/dev/stdout, or a link to it) sends the console lines to standard error.
void PrepareConsole(const std::vector<std::string>& i_args);

// Whether i_path names the file that standard output writes to.
bool IsStandardOutput(const std::string& i_path);

// What the settings ask of the writers of a single building.
Ostrel::Buildings::SceneOptions SceneOptionsOf(const RunSettings& i_settings);

// The same for a city, whose buildings are made on i_jobs threads, each a named object.
Ostrel::Buildings::SceneOptions CitySceneOptions(const RunSettings& i_settings, unsigned i_jobs);

// Whether the settings give that option ("--markers"): one that a format may not apply.
bool GivesOption(const RunSettings& i_settings, const std::string& i_option);

// A warning for each map data option given (--crs, --origin, --levels, --style-by): for a run
// that is not a GeoJSON city.
void WarnMapOnlyOptions(const RunSettings& i_settings);

// A warning for each option given that the format of the output cannot apply.
void WarnIgnoredOptions(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format);

}  // namespace Towerkit
