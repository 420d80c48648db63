// The options of the command line, their help lines and the loop that reads them.

#include "Options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>
#include "ValueChecks.h"

namespace Towerkit {

namespace {

// What one option does: records its value (empty for an option that takes none) in io_settings,
// warning about a value the building cannot use as given. i_given is the option as typed.
using ApplyOption = ParseOutcome (*)(const std::string& i_given, const std::string& i_value,
                                     RunSettings& io_settings);

struct Option {
  const char* shortName;  // "-w"; empty when the option has only a long name
  const char* longName;   // "--width"
  bool takesValue;        // the next argument is the value, whatever it looks like
  ApplyOption apply;
  bool mayTakeValue = false;  // the next argument is the value when it does not start with '-'
  bool wordValue = false;     // ... and holds no '.', so that an output file name is never taken
};

ParseOutcome ApplyHelp(const std::string&, const std::string&, RunSettings&) { return ParseOutcome::Help; }

ParseOutcome ApplyCheck(const std::string&, const std::string&, RunSettings& io_settings) {
  io_settings.check = true;
  Ostrel::Message::PrintInfo("Check enabled");
  return ParseOutcome::Run;
}

ParseOutcome ApplyStyle(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.style = i_value;
  return ParseOutcome::Run;
}

// A size that is not a whole number still takes what the lenient conversion reads ("3x" gives 3,
// "abc" 0), as it always has; the warning says so.
void ApplySize(const std::string& i_given, const std::string& i_value, const char* i_size, int& o_size) {
  Ostrel::FileSystem::StringToInt(i_value, o_size);
  CheckWholeNumber(OptionValue(i_given, i_value), i_value, i_size, o_size);
}

ParseOutcome ApplyWidth(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  ApplySize(i_given, i_value, "width", io_settings.width);
  return ParseOutcome::Run;
}

ParseOutcome ApplyLength(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  ApplySize(i_given, i_value, "length", io_settings.length);
  return ParseOutcome::Run;
}

ParseOutcome ApplyHeight(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  ApplySize(i_given, i_value, "height", io_settings.height);
  return ParseOutcome::Run;
}

ParseOutcome ApplyDoor(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  CheckDoor(OptionValue(i_given, i_value), i_value);
  io_settings.door = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyBalcony(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  CheckBalcony(OptionValue(i_given, i_value), i_value);
  io_settings.balcony.push_back(i_value);
  return ParseOutcome::Run;
}

ParseOutcome ApplyClose(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  CheckWall(OptionValue(i_given, i_value), i_value);
  io_settings.close.push_back(i_value);
  return ParseOutcome::Run;
}

ParseOutcome ApplyMetres(const std::string&, const std::string&, RunSettings& io_settings) {
  io_settings.metres = true;
  return ParseOutcome::Run;
}

ParseOutcome ApplyLint(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.lint = true;
  io_settings.lintStyle = i_value;
  return ParseOutcome::Run;
}

// A value other than nodes or gpu is kept, with a warning, and the .glb is then written flat.
ParseOutcome ApplyInstances(const std::string& i_given, const std::string& i_value,
                            RunSettings& io_settings) {
  if (i_value != "nodes" && i_value != "gpu") {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not nodes or gpu: a .glb is written flat");
  }
  io_settings.instances = i_value;
  return ParseOutcome::Run;
}

// The seed takes what the lenient conversion reads, as sizes do: the digits the text starts with
// after an optional '+' (at most 2^64 - 1), 0 for a negative number or none.
ParseOutcome ApplySeed(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  io_settings.seed = ReadSeed(i_value);
  CheckSeed(OptionValue(i_given, i_value), i_value, io_settings.seed);
  return ParseOutcome::Run;
}

// A value other than storey or cell warns and keeps the default, storey.
ParseOutcome ApplyVary(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  if (i_value != "storey" && i_value != "cell") {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not storey or cell: a variant is chosen per piece, storey and side");
  }
  io_settings.varyByCell = i_value == "cell";
  return ParseOutcome::Run;
}

// A value other than flat, gable or hip warns and keeps the flat roof.
ParseOutcome ApplyRoof(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  Ostrel::Buildings::RoofShape roof = Ostrel::Buildings::RoofShape::Flat;
  if (!Ostrel::Buildings::RoofShapeOf(i_value, roof)) {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) + " is not flat, gable or hip: the roof is flat");
  }
  io_settings.roof = roof;
  return ParseOutcome::Run;
}

// A value other than x or z warns and keeps the ridge along the longer side.
ParseOutcome ApplyRidge(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  io_settings.ridge = i_value == "x"   ? Ostrel::Buildings::RidgeAxis::X
                      : i_value == "z" ? Ostrel::Buildings::RidgeAxis::Z
                                       : Ostrel::Buildings::RidgeAxis::Longer;
  if (io_settings.ridge == Ostrel::Buildings::RidgeAxis::Longer) {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not x or z: the ridge runs along the longer side");
  }
  return ParseOutcome::Run;
}

// A footprint is read and checked when the building is built, before anything is written.
ParseOutcome ApplyFootprint(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.footprint = i_value;
  return ParseOutcome::Run;
}

// Setbacks and bands are checked against the building and the units folder when it is built.
ParseOutcome ApplySetback(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.setbacks.push_back(i_value);
  return ParseOutcome::Run;
}

ParseOutcome ApplyBand(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.bands.push_back(i_value);
  return ParseOutcome::Run;
}

ParseOutcome ApplyCity(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.city = i_value;
  return ParseOutcome::Run;
}

// --jobs and --shard are checked when the building or city is built: --shard counts only then.
ParseOutcome ApplyJobs(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.jobs = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyShard(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.shard = i_value;
  return ParseOutcome::Run;
}

// Strict mode itself is set before the arguments are read (PrepareConsole), so that the warnings of
// the arguments before it count too.
ParseOutcome ApplyStrict(const std::string&, const std::string&, RunSettings& io_settings) {
  io_settings.strict = true;
  return ParseOutcome::Run;
}

ParseOutcome ApplyUnits(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.units.push_back(i_value);
  return ParseOutcome::Run;
}

// Without a value, or with another than godot or unreal, the hulls are named for Godot.
ParseOutcome ApplyCollision(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  io_settings.engine.collision = Ostrel::Buildings::CollisionNaming::Godot;
  if (!i_value.empty() && !Ostrel::Buildings::CollisionNamingOf(i_value, io_settings.engine.collision)) {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not godot or unreal: the collision hulls are named for Godot");
  }
  return ParseOutcome::Run;
}

// A value other than 1, 2 or 3 warns and adds no level of detail.
ParseOutcome ApplyLod(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  io_settings.engine.lods = i_value == "1" ? 1 : i_value == "2" ? 2 : i_value == "3" ? 3 : 0;
  if (io_settings.engine.lods == 0) {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not 1, 2 or 3: no level of detail is added");
  }
  return ParseOutcome::Run;
}

ParseOutcome ApplyMarkers(const std::string&, const std::string&, RunSettings& io_settings) {
  io_settings.engine.markers = true;
  return ParseOutcome::Run;
}

// A value other than origin, base-centre or corner warns and keeps the origin.
ParseOutcome ApplyPivot(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  io_settings.engine.pivot = Ostrel::Buildings::Pivot::Origin;
  if (!Ostrel::Buildings::PivotOf(i_value, io_settings.engine.pivot)) {
    Ostrel::Message::PrintWarning(OptionValue(i_given, i_value) +
                                  " is not origin, base-centre or corner: the pivot stays at the origin");
  }
  return ParseOutcome::Run;
}

ParseOutcome ApplyStats(const std::string&, const std::string&, RunSettings& io_settings) {
  io_settings.stats = true;
  return ParseOutcome::Run;
}

ParseOutcome ApplyTiles(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.tiles = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyMergeTiles(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.mergeTiles = i_value;
  return ParseOutcome::Run;
}

// A value other than embed, external or none warns and keeps the format's own place.
ParseOutcome ApplyTextures(const std::string& i_given, const std::string& i_value, RunSettings& io_settings) {
  if (i_value != "embed" && i_value != "external" && i_value != "none") {
    Ostrel::Message::PrintWarning(
        OptionValue(i_given, i_value) +
        " is not embed, external or none: the sheets go where the format keeps them");
  }
  io_settings.textures = i_value;
  return ParseOutcome::Run;
}

// The size is checked with the output's format, before anything is built.
ParseOutcome ApplyTextureSize(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.textureSize = i_value;
  return ParseOutcome::Run;
}

// Map data options are checked when a GeoJSON city is built: only then do they count.
ParseOutcome ApplyCrs(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.crs = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyOrigin(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.origin = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyLevels(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.levels = i_value;
  return ParseOutcome::Run;
}

ParseOutcome ApplyStyleBy(const std::string&, const std::string& i_value, RunSettings& io_settings) {
  io_settings.styleBy.push_back(i_value);
  return ParseOutcome::Run;
}

// Every option of the tool. A new option is one more row here, its apply function above, and its
// help lines.
// clang-format off
inline constexpr Option kOptions[] = {
    {"",   "--help",      false, ApplyHelp},
    {"-k", "--check",     false, ApplyCheck},
    {"-s", "--style",     true,  ApplyStyle},
    {"-w", "--width",     true,  ApplyWidth},
    {"-l", "--length",    true,  ApplyLength},
    {"-h", "--height",    true,  ApplyHeight},
    {"-d", "--door",      true,  ApplyDoor},
    {"-b", "--balcony",   true,  ApplyBalcony},
    {"-c", "--close",     true,  ApplyClose},
    {"-m", "--metres",    false, ApplyMetres},
    {"",   "--instances", true,  ApplyInstances},
    {"",   "--lint",      false, ApplyLint, true},
    {"",   "--seed",      true,  ApplySeed},
    {"",   "--vary",      true,  ApplyVary},
    {"",   "--city",      true,  ApplyCity},
    {"",   "--jobs",      true,  ApplyJobs},
    {"",   "--shard",     true,  ApplyShard},
    {"",   "--roof",      true,  ApplyRoof},
    {"",   "--ridge",     true,  ApplyRidge},
    {"",   "--setback",   true,  ApplySetback},
    {"",   "--band",      true,  ApplyBand},
    {"",   "--strict",    false, ApplyStrict},
    {"",   "--units",     true,  ApplyUnits},
    {"",   "--collision", false, ApplyCollision, true, true},
    {"",   "--lod",       true,  ApplyLod},
    {"",   "--markers",   false, ApplyMarkers},
    {"",   "--pivot",     true,  ApplyPivot},
    {"",   "--stats",     false, ApplyStats},
    {"",   "--tiles",     true,  ApplyTiles},
    {"",   "--merge-tiles", true, ApplyMergeTiles},
    {"",   "--footprint", true,  ApplyFootprint},
    {"",   "--textures",  true,  ApplyTextures},
    {"",   "--texture-size", true, ApplyTextureSize},
    {"",   "--crs",       true,  ApplyCrs},
    {"",   "--origin",    true,  ApplyOrigin},
    {"",   "--levels",    true,  ApplyLevels},
    {"",   "--style-by",  true,  ApplyStyleBy},
};
// clang-format on

// The option named exactly (case included) by i_arg, or null.
const Option* FindOption(const std::string& i_arg) {
  for (const Option& option : kOptions) {
    if ((*option.shortName != '\0' && i_arg == option.shortName) || i_arg == option.longName) return &option;
  }
  return nullptr;
}

// Edits (insert, delete, replace one character) that turn i_a into i_b.
std::size_t EditDistance(const std::string& i_a, const std::string& i_b) {
  std::vector<std::size_t> row(i_b.size() + 1);
  for (std::size_t j = 0; j < row.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= i_a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= i_b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (i_a[i - 1] == i_b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[i_b.size()];
}

// The long option that i_arg most likely misspells ("--widht", "-height", "--HELP"), or null.
// Short arguments are left alone: two edits turn "-x" into too many things.
const Option* NearestLongOption(const std::string& i_arg) {
  if (i_arg.size() < 5) return nullptr;
  std::string lower = i_arg;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const Option* nearest = nullptr;
  std::size_t best = 3;  // at most two edits
  for (const Option& option : kOptions) {
    const std::size_t distance = EditDistance(lower, option.longName);
    if (distance < best) {
      best = distance;
      nearest = &option;
    }
  }
  return nearest;
}

// What to type instead of an unknown option, where that is plain; empty otherwise.
std::string UnknownOptionHint(const std::string& i_arg) {
  // A value attached with "=": "--width=4", "-w=4".
  const std::string::size_type equals = i_arg.find('=');
  if (equals != std::string::npos) {
    const Option* option = FindOption(i_arg.substr(0, equals));
    if (option != nullptr && option->takesValue) {
      return "use '" + i_arg.substr(0, equals) + " " + i_arg.substr(equals + 1) + "'";
    }
  }
  const Option* nearest = NearestLongOption(i_arg);
  if (nearest != nullptr) return std::string("did you mean '") + nearest->longName + "'?";
  // A value attached to a short option: "-w3".
  if (i_arg.size() > 2 && i_arg[1] != '-') {
    const Option* option = FindOption(i_arg.substr(0, 2));
    if (option != nullptr && option->takesValue) {
      return "use '" + i_arg.substr(0, 2) + " " + i_arg.substr(2) + "'";
    }
  }
  return std::string();
}

void WarnUnknownOption(const std::string& i_arg) {
  const std::string hint = UnknownOptionHint(i_arg);
  Ostrel::Message::PrintWarning("Unknown option '" + i_arg + "' is ignored" +
                                (hint.empty() ? "" : ": " + hint));
}

// --shard says which rows of --city to build: without one it changes nothing. With one, the shape
// of each building is its row's: the roof, setback and band columns. (--jobs applies to both.)
void WarnCityOnlyOptions(const RunSettings& i_settings) {
  if (!i_settings.city.empty()) {
    const auto ignored = [](const char* i_option, const char* i_column) {
      Ostrel::Message::PrintWarning(std::string("Option '") + i_option +
                                    "' applies to a single building: with --city, the column '" + i_column +
                                    "' of each row decides; it is ignored");
    };
    if (i_settings.roof != Ostrel::Buildings::RoofShape::Flat) ignored("--roof", "roof");
    if (!i_settings.setbacks.empty()) ignored("--setback", "setback");
    if (!i_settings.bands.empty()) ignored("--band", "band");
    if (!i_settings.footprint.empty()) ignored("--footprint", "footprint");
    return;
  }
  if (!i_settings.shard.empty())
    Ostrel::Message::PrintWarning("Option '--shard' applies to --city only: it is ignored");
  if (!i_settings.tiles.empty())
    Ostrel::Message::PrintWarning("Option '--tiles' applies to --city only: it is ignored");
  WarnMapOnlyOptions(i_settings);
}

}  // namespace

void showHelp() {
  constexpr const char* kLines[] = {
      "Usage: towerkit [options] outputfilename",
      "       NOTE: without options and outputfile it will run in step-by-step mode",
      "             asking for options on each step",
      "Options are:",
      " --help               Shows this help",
      " -k[--check]          Checks for available styles and other settings",
      " -s[--style] string   Unit style (use check to list available styles)",
      " -w[--width] int      Building width in units",
      " -l[--length] int     Building length in units",
      " -h[--height] int     Building height in units (one per storey)",
      " -d[--door] XY        Specifies which side has the door",
      "                              where X is N(orth), S(outh), E(ast), W(est)",
      "                                and Y is L(eft), C(enter), R(ight)",
      " -b[--balcony] XY     Adds balcony to the building (use it multiple times)",
      "                              where X is N(orth), S(outh), E(ast), W(est)",
      "                                and Y is A(ll window), E(ven), O(dd), C(heckerboard)",
      " -c[--close] XY       Adds a wall instead of a window (use it multiple times)",
      "                              where X is N(orth), S(outh), E(ast), W(est)",
      "                                and Y is A(ll), E(ven), O(dd), C(heckerboard)",
      "",
      "Example usage:",
      " - to create a A-style 3-storey building of 3x3 units (each unit is a door or a window space)",
      "      towerkit -s A -w 3 -l 3 -h 3 outputfile.obj",
      "",
      " - to create a A-style 3-storey building of 3x3 units without windows on the North side",
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA outputfile.obj",
      "",
      (" - to create a A-style 3-storey building of 3x3 units without windows on the North side and a "
       "central entrance-door"),
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -d NC outputfile.obj",
      "",
      " - to create a A-style 3-storey building of 3x3 units without windows, just walls on all of the sides",
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -c SA -c EA -c WA outputfile.obj",
      "",
  };
  // How to read the building the tool writes, after the lines above, which stay as they are.
  constexpr const char* kBuildingLines[] = {
      "The building (w, l and h are the values of -w, -l and -h):",
      " - Footprint: (w + 2) x (l + 2) cells: w cells between the corners along the east and west sides,",
      "   l cells between the corners along the north and south sides, and a corner cell at each corner",
      " - Height: h storeys, the ground storey included, and the roof row on top of them",
      " - Axes: +y is up; the north side faces +x, the east side +z, the south side -x, the west side -z",
      " - Origin: the centre of the north-west corner cell, at the foot of the ground storey; cell centres",
      "   run from x = -(w + 1) to 0 and from z = 0 to l + 1",
      " - The cells of a side are numbered 1, 2, 3 ... from its west end on the north and south sides,",
      "   and from its north end on the east and west sides (corner cells excluded)",
      " - E(ven) takes cells 1, 3, 5 ... (the first, third, fifth cell), O(dd) cells 2, 4, 6 ...;",
      "   C(heckerboard) takes odd cells on odd storeys, even cells on even ones (the ground storey is 0)",
      " - Door: L(eft) and R(ight) as seen from outside, facing the side; C(enter) is the middle cell,",
      "   or the lower-numbered of the two middle cells; the door is always on the ground storey",
      " - Balconies never go on the ground storey; neither balconies nor walls go on the roof row",
      " - -h 0 gives the ground storey alone: the roof row is laid at its foot, not on top of it",
      " - Units: the output is in cell units: one cell is 1.0 along x and z, one storey 1.0 along y,",
      "   whatever the size of the kit's pieces (with the shipped kit, 1.0 stands for 3 metres);",
      "   with -m, in the kit's own units (metres for the shipped kit, as engines expect)",
      "",
  };
  // Options added since, each with its help lines.
  constexpr const char* kMoreOptionLines[] = {
      "More options:",
      " -m[--metres]         Coordinates in the kit's own units (the size of a cell times cell units)",
      "                              instead of cell units",
      " --lint [STYLE]       Checks a style of the units folder for its author: STYLE, else the style",
      "                              of -s, else every style. One line per finding: missing pieces, unit",
      "                              file lines the reader leaves out, faces of fewer than 3 corners, pieces",
      "                              outside their cell, open edges and cross-sections that do not meet,",
      "                              winding, normals, overlapping faces, materials. STYLE is the next",
      "                              argument unless it starts with '-'. Exit status 1 when an error",
      "                              (geometry lost or broken) is found, 0 for warnings alone",
      " --seed N             Picks among the variants of pieces (STYLE_PIECE.1.obj, STYLE_PIECE.2.obj ...",
      "                              beside STYLE_PIECE.obj): N is a whole number from 0 to 2^64 - 1,",
      "                              0 by default; the same seed gives the same building",
      " --vary storey|cell   One variant per piece, storey and side (storey, the default) or one per cell",
      "",
  };
  // Output formats, after every line above.
  constexpr const char* kFormatLines[] = {
      "Output formats (by the output file's name):",
      " - NAME.obj: Wavefront OBJ text",
      " - NAME.glb: binary glTF 2.0 (any case of .glb), the building as one mesh with its materials",
      " --instances nodes    In a .glb, each piece's mesh once and one node per placed piece",
      "                              (core glTF: every glTF viewer shows it)",
      " --instances gpu      In a .glb, each piece's mesh once, drawn as GPU instances",
      "                              (EXT_mesh_gpu_instancing: three.js and Babylon.js read it;",
      "                              Blender 3.4 refuses it; Godot 3, assimp, tinygltf and f3d",
      "                              draw every piece once, at the origin: use nodes for them)",
      "      towerkit -s A -w 3 -l 3 -h 3 --instances gpu outputfile.glb",
      "",
  };
  // Many buildings in one run, after every line above.
  constexpr const char* kCityLines[] = {
      "Cities:",
      " --city FILE.csv      Builds one building per row of a CSV file into the one output file",
      "                              instead of the building of -s, -w, -l, -h, -d, -b and -c. Header",
      "                              row in any order: style, width, length, height (required); door,",
      "                              balcony, close (requests separated by blanks, such as 'NC EA'); x, y,",
      "                              z (position in the output's units) and angle (degrees about +y);",
      "                              seed; id (the building's name, else building_ROW, ROW counted from 1)",
      " --jobs N             Makes the buildings of --city on N threads (default: one per core), and",
      "                              a single building's OBJ text in blocks on N threads (default 1);",
      "                              the output is the same whatever N",
      " --shard K/N          Builds only the K-th (from 1) of N equal blocks of rows of --city",
      "      towerkit --city city.csv --shard 2/4 city-2.obj",
      "",
  };
  // Roofs, after every line above.
  constexpr const char* kRoofLines[] = {
      "Roofs:",
      " --roof SHAPE         The roof's shape: flat behind a parapet (the default), gable (two slopes",
      "                              meeting at a ridge along the longer side, gable walls closing both",
      "                              ends) or hip (four slopes); the kit's slope pieces give the rise per",
      "                              cell. A city file's column roof gives each row's (empty: flat)",
      " --ridge x|z          The axis of a gable roof's ridge (default: that of the longer side)",
      "      towerkit -s B -w 4 -l 2 -h 3 --roof gable outputfile.obj",
      "",
  };
  // Setbacks and bands, after the roofs.
  constexpr const char* kShapeLines[] = {
      "Setbacks and bands:",
      " --setback L[:S[:C]]  From storey L up (0 is the ground storey), the sides S (any of N, E, S, W;",
      "                              default all four) step in by C cells (default 1), leaving a terrace",
      "                              on the block below; repeatable, from the lowest storey up. A city",
      "                              file's column setback takes several separated by blanks",
      " --band F[-T]:STYLE   Storeys F to T (F alone: that storey) built from the pieces of STYLE, such",
      "                              as a shop front (style S) under storeys of A; repeatable, without",
      "                              overlaps. A city file's column band takes several separated by blanks",
      "      towerkit -s A -w 5 -l 4 -h 8 --setback 2:NSEW:2 --band 0-1:S outputfile.obj",
      "",
  };
  // Where the kit comes from and how strict a run is, after every line above.
  constexpr const char* kRunLines[] = {
      "Kits, runs and more outputs:",
      " --units DIR          Looks for styles in DIR before the folders of OSTREL_UNITS_PATH (use it",
      "                              multiple times; the variable may list folders separated by ':');",
      "                              each style comes whole from the first folder that has it",
      " --strict             Every warning is an error: exit status 1 and nothing written",
      " - NAME.gltf: glTF 2.0 as JSON text, its buffer (images included) in NAME.bin beside it",
      "",
  };
  // Extras for game engines, after every line above.
  constexpr const char* kEngineLines[] = {
      "For game engines:",
      " --collision [godot|unreal]  Adds a collision hull to each building: a closed convex box per",
      "                              block (a prism under a pitched roof), named building-colonly for",
      "                              Godot (the default) or UCX_building_00 for Unreal",
      " --lod N              Adds N (1 to 3) lower levels of detail, building_LOD1 ...: the pieces",
      "                              simplified, with 3 then one quad a cell face; with 2 or 3 the last",
      "                              level is the block boxes in the walls' and roof's materials",
      " --markers            In a .glb, an empty node at each door (door_SC ...), on the threshold,",
      "                              its +z pointing out of the building",
      " --pivot WHERE        The building's own origin: origin (the centre of the north-west corner",
      "                              cell, the default), base-centre (the middle of the footprint) or",
      "                              corner (the footprint's outer north-west corner), at ground level",
      " --stats              At the end, a line about each output file: bytes, triangles, vertices,",
      "                              materials, bounds, footprint and height in metres",
      "      towerkit -s A -w 4 -l 3 -h 5 --collision --lod 2 --markers --pivot base-centre -m tower.glb",
      "",
  };
  // Footprints of any shape, after every line above.
  constexpr const char* kFootprintLines[] = {
      "Footprints:",
      " --footprint SHAPE    The building's cells instead of the rectangle of -w and -l: \"X,Z X,Z ...\",",
      "                              a rectilinear outline through corners of cells (X to the north,",
      "                              Z to the east; rings after ';' are courtyards), or @FILE, a text",
      "                              mask ('#' a cell, '.' none, north at the top); a city file's",
      "                              column footprint takes either (@FILE relative to the city file).",
      "                              Every part 2 cells wide or more; a flat, hip or gable roof (a",
      "                              gable at each wing's end); a setback moves every facade of its",
      "                              sides in by its cells, courtyards' too, corners staying square",
      "      towerkit -s B -h 4 --footprint \"0,0 8,0 8,3 3,3 3,9 0,9\" -d SC ell.obj",
      "",
  };
  for (const char* line : kLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kBuildingLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kMoreOptionLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kFormatLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kCityLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kRoofLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kShapeLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kRunLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kEngineLines) Ostrel::Message::PrintInfo(line);
  constexpr const char* kTilesLines[] = {
      "Tilesets:",
      " --tiles DIR          With --city, writes a 3D Tiles 1.1 tileset for viewers that stream:",
      "                              DIR/tileset.json and its tiles in DIR/tiles/, in metres (as -m);",
      "                              with --shard K/N, into DIR/shard-K/. An output file named",
      "                              tileset.json is written so too, into its own folder",
      " --merge-tiles DIR    Writes DIR/tileset.json, which joins the tilesets of DIR/shard-*/",
      "      towerkit --city city.csv --shard 2/4 --tiles city && towerkit --merge-tiles city",
      "",
  };
  for (const char* line : kTilesLines) Ostrel::Message::PrintInfo(line);
  for (const char* line : kFootprintLines) Ostrel::Message::PrintInfo(line);
  constexpr const char* kSheetLines[] = {
      "Texture sheets:",
      " --textures WHERE     Where the kit's texture sheets go: embed (in a .glb or .gltf, the default",
      "                              there), external (copies beside the output, named by their bare",
      "                              names in a .glb, .gltf or the .mtl, so that the folder can be moved",
      "                              whole; a name taken by another file gets -2, -3 ...) or none (no",
      "                              images: the materials keep their colours alone). An OBJ's .mtl names",
      "                              the kit's own sheets by default; a tileset keeps one copy of each in",
      "                              DIR/tiles/textures/",
      " --texture-size N     Box-filters the sheets the output carries (embedded or copied) down to N",
      "                              pixels on their longer side, keeping their shape (a power of two",
      "                              keeps 2048 sheets exact); only PNG sheets, only smaller",
      "      towerkit -s B -w 6 -l 4 -h 5 --texture-size 512 house.glb",
      "",
  };
  for (const char* line : kSheetLines) Ostrel::Message::PrintInfo(line);
  // Buildings from map data, after every line above.
  constexpr const char* kMapLines[] = {
      "Map data:",
      " --city FILE.geojson  A GeoJSON FeatureCollection (known by its content, whatever its name):",
      "                              each Polygon or MultiPolygon a building, its outline fitted with",
      "                              cells of 0.8 to 1.25 times the kit's, turned to its main edges;",
      "                              written in metres (as -m), east +x, north -z, up +y. Properties:",
      "                              height (metres) or building:levels, roof:shape, towerkit:style,",
      "                              id, @id, osm_id or name. A feature that cannot be built is told",
      "                              and skipped",
      " --crs metres         The coordinates are planar metres (default: longitude and latitude, or",
      "                              the projected system the file's crs names)",
      " --origin LON,LAT     The map point at x = z = 0 (with --crs metres: EAST,NORTH in the file's",
      "                              coordinates); default: the middle of the data's bounding box",
      " --levels N           Storeys of a feature with neither height nor building:levels (default 3)",
      " --style-by KEY=VALUE:STYLE,...  The style of features whose property KEY is VALUE, the",
      "                              first rule that matches; others take towerkit:style, else -s,",
      "                              else style A, else the first style of the units folder",
      "      towerkit --city quarter.geojson --style-by building=retail:S --levels 4 quarter.glb",
      "",
  };
  for (const char* line : kMapLines) Ostrel::Message::PrintInfo(line);
}

ParseOutcome ParseArguments(const std::vector<std::string>& i_args, RunSettings& io_settings) {
  bool haveOutput = false;  // an earlier argument named the output file
  for (std::size_t i = 0; i < i_args.size(); ++i) {
    const std::string& currArg = i_args[i];
    if (currArg.empty() || currArg[0] != '-') {
      // The last name wins, as it always has.
      if (haveOutput) {
        Ostrel::Message::PrintWarning("Second output file name '" + currArg + "' replaces '" +
                                      io_settings.outputfilename + "'");
      }
      haveOutput = true;
      io_settings.outputfilename = currArg;
      io_settings.stepByStep = false;
      continue;
    }
    const Option* option = FindOption(currArg);
    if (option == nullptr) {
      WarnUnknownOption(currArg);  // and goes on without it
      continue;
    }
    std::string value;
    if (option->takesValue) {
      if (i + 1 >= i_args.size()) {
        Ostrel::Message::PrintError("Option '" + currArg + "' needs a value");
        return ParseOutcome::MissingValue;
      }
      value = i_args[++i];  // even "--help" or "-w"
    } else if (option->mayTakeValue && i + 1 < i_args.size() && i_args[i + 1].rfind('-', 0) != 0 &&
               (!option->wordValue || i_args[i + 1].find('.') == std::string::npos)) {
      value = i_args[++i];
    }
    const ParseOutcome outcome = option->apply(currArg, value, io_settings);
    if (outcome != ParseOutcome::Run) return outcome;
    io_settings.stepByStep = false;
  }
  WarnCityOnlyOptions(io_settings);
  return ParseOutcome::Run;
}

}  // namespace Towerkit

namespace Towerkit {

bool IsStandardOutput(const std::string& i_path) {
  struct stat output {}, standard {};
  if (i_path.empty() || fstat(STDOUT_FILENO, &standard) != 0 || stat(i_path.c_str(), &output) != 0) return false;
  return output.st_dev == standard.st_dev && output.st_ino == standard.st_ino;
}

void PrepareConsole(const std::vector<std::string>& i_args) {
  const std::uint32_t verbosity = Ostrel::Message::s_verbosity;
  Ostrel::Message::SetVerbosity(0);
  RunSettings settings;
  ParseArguments(i_args, settings);
  Ostrel::Message::SetVerbosity(verbosity);
  Ostrel::Message::SetStrict(settings.strict);
  if (IsStandardOutput(settings.outputfilename)) Ostrel::Message::SetConsole(std::cerr);
}

Ostrel::Buildings::SceneOptions SceneOptionsOf(const RunSettings& i_settings) {
  Ostrel::Buildings::SceneOptions options;
  options.kitUnits = i_settings.metres;
  options.engine = i_settings.engine;
  options.gltf.form = Ostrel::Buildings::GltfFormOf(i_settings.instances);
  options.gltf.generator = "towerkit";
  return options;
}

Ostrel::Buildings::SceneOptions CitySceneOptions(const RunSettings& i_settings, unsigned i_jobs) {
  Ostrel::Buildings::SceneOptions options = SceneOptionsOf(i_settings);
  options.obj.objectLines = true;
  options.obj.jobs = i_jobs;
  return options;
}

bool GivesOption(const RunSettings& i_settings, const std::string& i_option) {
  if (i_option == "--markers") return i_settings.engine.markers;
  if (i_option == "--instances") return !i_settings.instances.empty();
  return false;
}

void WarnIgnoredOptions(const RunSettings& i_settings, const Ostrel::Buildings::OutputFormat& i_format) {
  for (const std::string& option : i_format.ignores) {
    if (!GivesOption(i_settings, option)) continue;
    Ostrel::Message::PrintWarning("Option '" + option + "' " + i_format.ignoredWhy + ": '" +
                                  i_settings.outputfilename + "' is written as " + i_format.name);
  }
}

}  // namespace Towerkit

namespace Towerkit {

// The map data options apply to a GeoJSON city; without --city they are ignored, with a warning.
// (A CSV city is told so when its file turns out to be one.)
void WarnMapOnlyOptions(const RunSettings& i_settings) {
  const auto ignored = [](const char* i_option) {
    Ostrel::Message::PrintWarning(std::string("Option '") + i_option +
                                  "' applies to a GeoJSON --city only: it is ignored");
  };
  if (!i_settings.crs.empty()) ignored("--crs");
  if (!i_settings.origin.empty()) ignored("--origin");
  if (!i_settings.levels.empty()) ignored("--levels");
  if (!i_settings.styleBy.empty()) ignored("--style-by");
}

}  // namespace Towerkit
