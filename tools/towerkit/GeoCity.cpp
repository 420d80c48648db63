// The run of --city over a GeoJSON file: read the outlines, fit cells, settle neighbours, write.

#include "GeoCity.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <ostrel/ext/Csv.h>
#include <ostrel/geo/FootprintCells.h>
#include <ostrel/geo/Neighbours.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Footprint.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/HipRoof.h>
#include <ostrel/layout/Variation.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/utils/Messages.h>
#include <ostrel/utils/TextFile.h>

#include "CardFiles.h"
#include "ValueChecks.h"

namespace Towerkit {

namespace {

using Ostrel::Buildings::RoofShape;

// Storeys of a feature that gives neither height nor levels, unless --levels says otherwise.
constexpr int kDefaultStoreys = 3;
// The most storeys a feature's height or levels may give: a taller value is taken as this.
constexpr int kMaxStoreys = 1000;

std::string Quoted(const std::string& i_text) { return "'" + Ostrel::TextFile::Excerpt(i_text) + "'"; }

std::string Lower(std::string i_text) {
  for (char& c : i_text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return i_text;
}

// The feature's name: its own id, else the first of the properties id, @id, osm_id and name, else
// building_N. A control character (a line break would end an OBJ line) becomes '_'.
std::string NameOf(const GeoJson::Feature& i_feature) {
  std::string name = i_feature.id;
  for (const char* key : {"id", "@id", "osm_id", "name"}) {
    if (!name.empty()) break;
    if (const std::string* value = i_feature.property(key)) name = *value;
  }
  if (name.empty()) name = "building_" + std::to_string(i_feature.number);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '_';
  }
  return name;
}

// What a feature is called in a message: its number in the collection, its name and line.
std::string FeatureWhere(const std::string& i_path, const GeoJson::Feature& i_feature, const std::string& i_name) {
  return "City file " + Quoted(i_path) + ", feature " + std::to_string(i_feature.number) + " " + Quoted(i_name) +
         " (line " + std::to_string(i_feature.line) + ")";
}

// Whether i_text is a decimal number, into o_value.
bool ReadNumber(const std::string& i_text, double& o_value) {
  return Csv::ParseDouble(Csv::TrimBlanks(i_text), o_value) == Csv::NumberError::kNone && std::isfinite(o_value);
}

// The map data options, checked.
struct MapOptions {
  std::vector<StyleRule> rules;
  std::string defaultStyle;
  int storeys = kDefaultStoreys;
  bool metres = false;  // --crs metres
  bool origin = false;  // --origin given
  double originX = 0, originY = 0;
};

bool CheckMapOptions(const RunSettings& i_settings, const Catalogue& i_styles, MapOptions& o_map) {
  if (!i_settings.crs.empty()) {
    if (i_settings.crs != "metres") {
      Ostrel::Message::PrintError(OptionValue("--crs", Ostrel::TextFile::Excerpt(i_settings.crs)) +
                                  " is not a coordinate system: give metres for planar coordinates");
      return false;
    }
    o_map.metres = true;
  }
  if (!i_settings.origin.empty()) {
    if (!ParseOrigin(i_settings.origin, o_map.originX, o_map.originY)) {
      Ostrel::Message::PrintError(OptionValue("--origin", Ostrel::TextFile::Excerpt(i_settings.origin)) +
                                  " is not a point: give LON,LAT in degrees (with --crs metres, EAST,NORTH)");
      return false;
    }
    o_map.origin = true;
  }
  if (!i_settings.levels.empty()) {
    if (Csv::ParseInt(i_settings.levels, o_map.storeys) != Csv::NumberError::kNone || o_map.storeys < 1 ||
        o_map.storeys > kMaxStoreys) {
      Ostrel::Message::PrintError(OptionValue("--levels", Ostrel::TextFile::Excerpt(i_settings.levels)) +
                                  " is not a number of storeys: give a whole number from 1 to " +
                                  std::to_string(kMaxStoreys));
      return false;
    }
  }
  for (const std::string& value : i_settings.styleBy) {
    std::string why;
    const std::size_t before = o_map.rules.size();
    if (!ParseStyleRules(value, o_map.rules, why)) {
      Ostrel::Message::PrintError(OptionValue("--style-by", Ostrel::TextFile::Excerpt(value)) + why);
      return false;
    }
    for (std::size_t i = before; i < o_map.rules.size(); ++i) {
      if (i_styles.count(o_map.rules[i].style) != 0) continue;
      Ostrel::Message::PrintError(OptionValue("--style-by", Ostrel::TextFile::Excerpt(value)) + ": style " +
                                  Quoted(o_map.rules[i].style) + " is not in the units folder");
      return false;
    }
  }
  if (!i_settings.style.empty()) {
    if (i_styles.count(i_settings.style) == 0) {
      Ostrel::Message::PrintError(OptionValue("-s", Ostrel::TextFile::Excerpt(i_settings.style)) +
                                  " is not a style of the units folder: the city's default style must be one");
      return false;
    }
    o_map.defaultStyle = i_settings.style;
  } else if (i_styles.count("A") != 0) {
    o_map.defaultStyle = "A";
  } else if (!i_styles.empty()) {
    o_map.defaultStyle = *i_styles.begin();
  }
  return true;
}

// The feature's style: its towerkit:style, else the first rule that matches, else the default.
// Empty, with o_fault, for a towerkit:style the units folder does not have.
std::string StyleOf(const GeoJson::Feature& i_feature, const MapOptions& i_map, const Catalogue& i_styles,
                    std::string& o_fault) {
  if (const std::string* own = i_feature.property("towerkit:style")) {
    if (i_styles.count(*own) != 0) return *own;
    o_fault = "its towerkit:style " + Quoted(*own) + " is not a style of the units folder";
    return std::string();
  }
  for (const StyleRule& rule : i_map.rules) {
    const std::string* value = i_feature.property(rule.key);
    if (value != nullptr && *value == rule.value) return rule.style;
  }
  if (i_map.defaultStyle.empty()) o_fault = "the units folder has no style";
  return i_map.defaultStyle;
}

// A position of the file in degrees for --origin, as the projection takes its origin.
Ostrel::Geo::Projection ProjectionOf(const MapOptions& i_map, const GeoJson::Collection& i_collection) {
  using Ostrel::Geo::CoordinateKind;
  Ostrel::Geo::Projection projection;
  projection.kind = i_map.metres ? CoordinateKind::Metres : Ostrel::Geo::KindOfCrs(i_collection.crs);
  if (!i_map.origin) {
    if (i_collection.bounded) {
      projection.originX = (i_collection.min.x + i_collection.max.x) / 2;
      projection.originY = (i_collection.min.y + i_collection.max.y) / 2;
    }
    return projection;
  }
  projection.originX = i_map.originX;
  projection.originY = i_map.originY;
  if (projection.kind == CoordinateKind::WebMercator) {
    // --origin is in degrees: onto the web map's sphere, as the file's positions are.
    const double radius = 6378137.0, pi = 3.14159265358979323846;
    projection.originX = radius * i_map.originX * pi / 180.0;
    projection.originY = radius * std::log(std::tan(pi / 4 + i_map.originY * pi / 360.0));
  }
  return projection;
}

// A building's outline on the plane; false with o_fault for a position the projection cannot take.
bool ProjectShape(const GeoJson::Feature& i_feature, const Ostrel::Geo::Projection& i_projection,
                  Ostrel::Geo::Shape& o_shape, std::string& o_fault) {
  for (const GeoJson::Polygon& polygon : i_feature.polygons) {
    Ostrel::Geo::Area area;
    for (std::size_t r = 0; r < polygon.rings.size(); ++r) {
      std::vector<Ostrel::Geo::MapPoint> ring;
      // The closing position repeats the first.
      for (std::size_t p = 0; p + 1 < polygon.rings[r].size(); ++p) {
        const GeoJson::Position& at = polygon.rings[r][p];
        if (!Ostrel::Geo::InRange(i_projection, at.x, at.y)) {
          char text[96];
          std::snprintf(text, sizeof text, "%.9g, %.9g", at.x, at.y);
          o_fault = std::string("a position off the map: ") + text;
          return false;
        }
        ring.push_back(Ostrel::Geo::Project(i_projection, at.x, at.y));
      }
      (r == 0 ? area.outer : area.holes.emplace_back()) = std::move(ring);
    }
    o_shape.push_back(std::move(area));
  }
  return true;
}

// What a building is besides its outline, until its cells are settled.
struct FeatureFacts {
  std::uint64_t number = 0;
  std::size_t line = 0;
  std::string name;
  std::string style;
  int storeys = 1;
  std::string roof;  // roof:shape as given; empty: none
  std::string where;  // the feature as messages name it
};

// A building's cells as a footprint in its own frame, normalized; o_row and o_column are the
// mask's row and column of the footprint's cell (0, 0).
Ostrel::Buildings::Footprint FootprintOfFit(const Ostrel::Geo::CellFootprint& i_fit, int& o_row, int& o_column) {
  o_row = i_fit.rows;
  o_column = i_fit.columns;
  std::vector<std::vector<Ostrel::Buildings::CellSpan>> rows(static_cast<std::size_t>(i_fit.rows));
  for (int r = 0; r < i_fit.rows; ++r) {
    for (int c = 0; c < i_fit.columns; ++c) {
      if (!i_fit.has(r, c)) continue;
      o_row = std::min(o_row, r);
      o_column = std::min(o_column, c);
      std::vector<Ostrel::Buildings::CellSpan>& spans = rows[static_cast<std::size_t>(r)];
      if (!spans.empty() && spans.back().z1 == c - 1) {
        spans.back().z1 = c;
      } else {
        spans.push_back({c, c});
      }
    }
  }
  return Ostrel::Buildings::NormalizedFootprint(Ostrel::Buildings::FootprintOfRows(0, rows));
}

// Warnings about roofs, one per roof:shape value.
struct RoofNotes {
  std::set<std::string> told;
  void once(const std::string& i_value, const std::string& i_line) {
    if (told.insert(i_value).second) Ostrel::Message::PrintWarning(i_line);
  }
};

// The roof a building gets: its roof:shape's nearest, then what its footprint takes.
RoofShape RoofOf(const FeatureFacts& i_facts, const Ostrel::Buildings::Request& i_request, RoofNotes& io_notes,
                 std::string& o_warning) {
  if (i_facts.roof.empty()) return RoofShape::Flat;
  bool direct = true;
  RoofShape roof = NearestRoof(i_facts.roof, direct);
  const char* names[] = {"flat", "gable", "hip"};
  if (!direct) {
    io_notes.once(Lower(i_facts.roof), "roof:shape " + Quoted(i_facts.roof) + " is built as the nearest roof the kit has, " +
                                           names[static_cast<int>(roof)]);
  }
  if (roof == RoofShape::Gable && i_request.footprint) {
    io_notes.once(" gable", "Gable roofs are built over rectangles only: a gable roof over any other footprint is "
                            "built as hip");
    roof = RoofShape::Hip;
  }
  if (roof == RoofShape::Hip && i_request.footprint) {
    std::vector<Ostrel::Buildings::HipCells> cells;
    std::string fault;
    if (!Ostrel::Buildings::HipRoofCells(*i_request.footprint, cells, fault)) {
      o_warning = i_facts.where + ": a hip roof cannot be built over its cells (" + fault + "): it is flat";
      roof = RoofShape::Flat;
    }
  }
  return roof;
}

// The party walls of a building as the layout takes them: its sides against neighbours (mask
// rows and columns; i_row, i_column the mask's cell of the footprint's (0, 0)), joined into
// lines of one facing, neighbour and treatment. Of two walls in one plane the one left out is
// left out up to the neighbour's height only; above it the wall is closed. Where the
// neighbour's cells stand against the whole side, in its plane, and reach at least as high, the
// roof row over it is the bare roof slab: it runs on into an equal neighbour's, which is bare
// too, as one roof, or up to a taller neighbour's wall, whose storey on that roof is built as
// over a terrace; it is bare too against an earlier neighbour of its height, and against a taller
// one whose wall stands askew or apart. i_number: the building's in the file.
std::vector<Ostrel::Buildings::PartyWall> PartyWallsOf(const std::vector<Ostrel::Geo::PartySide>& i_sides, int i_row,
                                                       int i_column, std::uint64_t i_number, int i_storeys,
                                                       const std::vector<int>& i_storeysOf) {
  using Ostrel::Geo::Facing;
  struct Side {
    Ostrel::Buildings::PartyWall wall;
    std::uint64_t neighbour;
    std::int64_t along;  // the cell's place along the line
  };
  std::vector<Side> sides;
  for (const Ostrel::Geo::PartySide& side : i_sides) {
    const int theirs = i_storeysOf[side.neighbour - 1];
    Ostrel::Buildings::PartyWall wall;
    wall.side = "NESW"[static_cast<int>(side.facing)];
    const std::int64_t x = i_row - side.row, z = side.column - i_column;  // the footprint's cell
    wall.cells = {x, x, z, z};
    wall.hidden = side.hidden ? std::min(i_storeys, theirs) : 0;
    // Of two roofs of one height against each other, the later building's is bare too, under the
    // earlier's parapet: whether their walls stand staggered, a few centimetres apart, or askew,
    // crossing, their copings and bands would lie on each other. So is a roof against a taller
    // neighbour's wall that does not stand along it: the neighbour's storey band there would cross
    // its band and lie on its slab's underside, which the bare slab's lip lowers.
    wall.bareRoof = (side.covered && theirs >= i_storeys) || (theirs == i_storeys && side.neighbour < i_number) ||
                    (theirs > i_storeys && !side.backed);
    wall.onRoof = side.covered && theirs < i_storeys ? theirs : 0;
    wall.beside = side.runsOn ? theirs + 1 : 0;
    // A corner on a side whose neighbour's wall does not stand along it (askew, crossing it, or
    // apart) takes the party corner too, whose bands along the side are stubs: the corner's would
    // cross the neighbour's.
    wall.against = side.endAgainst || !side.backed ? theirs + 1 : 0;
    wall.behind = theirs + 1;
    const bool alongX = side.facing == Facing::East || side.facing == Facing::West;
    sides.push_back({wall, side.neighbour, alongX ? x : z});
  }
  const auto key = [](const Side& s) {
    const bool alongX = s.wall.side == 'E' || s.wall.side == 'W';
    return std::make_tuple(s.wall.side, alongX ? s.wall.cells.z0 : s.wall.cells.x0, s.neighbour, s.wall.hidden,
                           s.wall.bareRoof, s.wall.onRoof, s.wall.beside, s.wall.against,
                           s.wall.behind);
  };
  std::stable_sort(sides.begin(), sides.end(), [&](const Side& a, const Side& b) {
    return key(a) != key(b) ? key(a) < key(b) : a.along < b.along;
  });
  std::vector<Ostrel::Buildings::PartyWall> walls;
  for (std::size_t i = 0; i < sides.size(); ++i) {
    const Side& s = sides[i];
    if (i > 0 && key(sides[i - 1]) == key(s) && sides[i - 1].along + 1 == s.along) {
      Ostrel::Buildings::CellRect& cells = walls.back().cells;
      cells.x0 = std::min(cells.x0, s.wall.cells.x0), cells.x1 = std::max(cells.x1, s.wall.cells.x1);
      cells.z0 = std::min(cells.z0, s.wall.cells.z0), cells.z1 = std::max(cells.z1, s.wall.cells.z1);
      continue;
    }
    walls.push_back(s.wall);
  }
  return walls;
}

// A city building, ready to be made.
struct GeoBuilding {
  Ostrel::Buildings::Request request;
  Ostrel::Buildings::Frame frame;
  std::string name;
  std::size_t line = 0;
};

// Where the building stands: its footprint's cell (0, 0) (mask row i_row, column i_column), or
// the point the pivot names, on the plane, in metres; turned to its grid, its cells stretched.
Ostrel::Buildings::Frame FrameOf(const Ostrel::Geo::CellFootprint& i_fit, int i_row, int i_column,
                                 const Ostrel::Buildings::Request& i_request, Ostrel::Buildings::Pivot i_pivot,
                                 const Ostrel::Buildings::Kit& i_kit) {
  Ostrel::Buildings::Frame pivot;
  Ostrel::Buildings::PlacePivot(i_request, i_pivot, pivot);
  // The building's +x is its rows' north, row numbers grow to the south.
  const Ostrel::Geo::MapPoint at = Ostrel::Geo::CellCentre(i_fit, i_row - static_cast<double>(pivot.xpivot),
                                                           i_column + static_cast<double>(pivot.zpivot));
  Ostrel::Buildings::Frame frame = Ostrel::Buildings::CityFrame(at.east, 0, -at.north, i_fit.bearing - 90.0);
  frame.xstretch = static_cast<float>(i_fit.cellX / i_kit.unitWidth);
  frame.zstretch = static_cast<float>(i_fit.cellZ / i_kit.unitLength);
  frame.xscale = frame.xstretch;
  frame.zscale = frame.zstretch;
  return frame;
}

// Where the model stands on the map, for the output: a glTF scene's extras and an OBJ comment.
// Degrees to 9 places (0.1 mm); metres to the millimetre.
void PutOrigin(const Ostrel::Geo::Projection& i_projection,
               Ostrel::Buildings::SceneOptions& io_options) {
  using Ostrel::Geo::CoordinateKind;
  double x = i_projection.originX, y = i_projection.originY;
  char json[256], comment[256];
  if (i_projection.kind == CoordinateKind::Metres) {
    std::snprintf(json, sizeof json, "{\"origin\":{\"easting\":%.3f,\"northing\":%.3f}}", x, y);
    std::snprintf(comment, sizeof comment,
                  "origin easting %.3f, northing %.3f (the file's coordinates); x east, -z north, y up, metres", x, y);
  } else {
    if (i_projection.kind == CoordinateKind::WebMercator) {
      const double radius = 6378137.0, pi = 3.14159265358979323846;
      x = x / radius * 180.0 / pi;
      y = (2 * std::atan(std::exp(y / radius)) - pi / 2) * 180.0 / pi;
    }
    std::snprintf(json, sizeof json, "{\"origin\":{\"longitude\":%.9f,\"latitude\":%.9f}}", x, y);
    std::snprintf(comment, sizeof comment,
                  "origin longitude %.9f, latitude %.9f (WGS 84); x east, -z north, y up, metres", x, y);
  }
  io_options.gltf.sceneExtras = json;
  io_options.obj.comment = comment;
}

}  // namespace

bool ParseStyleRules(const std::string& i_text, std::vector<StyleRule>& o_rules, std::string& o_why) {
  std::size_t start = 0;
  while (start <= i_text.size()) {
    std::size_t comma = i_text.find(',', start);
    if (comma == std::string::npos) comma = i_text.size();
    const std::string rule = i_text.substr(start, comma - start);
    const std::size_t equals = rule.find('=');
    const std::size_t colon = rule.rfind(':');
    if (equals == std::string::npos || colon == std::string::npos || colon < equals || equals == 0 ||
        colon == rule.size() - 1) {
      o_why = " is not a list of rules KEY=VALUE:STYLE separated by commas, such as building=retail:S";
      return false;
    }
    o_rules.push_back({rule.substr(0, equals), rule.substr(equals + 1, colon - equals - 1), rule.substr(colon + 1)});
    start = comma + 1;
  }
  return true;
}

bool ParseOrigin(const std::string& i_text, double& o_x, double& o_y) {
  const std::size_t comma = i_text.find(',');
  return comma != std::string::npos && ReadNumber(i_text.substr(0, comma), o_x) &&
         ReadNumber(i_text.substr(comma + 1), o_y);
}

RoofShape NearestRoof(const std::string& i_value, bool& o_direct) {
  const std::string value = Lower(i_value);
  o_direct = value == "flat" || value == "gabled" || value == "hipped";
  if (value == "gabled") return RoofShape::Gable;
  if (value == "hipped") return RoofShape::Hip;
  for (const char* hip : {"pyramidal", "half-hipped", "side_hipped", "mansard", "dome", "onion", "cone",
                          "quadruple_saltbox", "gabled_hipped", "hipped-and-gabled", "crosspitched"}) {
    if (value == hip) return RoofShape::Hip;
  }
  for (const char* gable : {"gambrel", "saltbox", "double_saltbox", "skillion", "lean_to", "round", "sawtooth",
                            "butterfly", "side_half-hipped"}) {
    if (value == gable) return RoofShape::Gable;
  }
  return RoofShape::Flat;
}

int StoreysOf(const std::string* i_height, const std::string* i_levels, double i_storeyHeight, int i_default,
              std::string& o_fault) {
  const auto whole = [](double i_storeys) {
    return static_cast<int>(std::min<double>(kMaxStoreys, std::max(1.0, std::round(i_storeys))));
  };
  double value = 0;
  if (i_height != nullptr) {
    // "12 m" and "12m" are common in map data: the number before the unit.
    std::string text = *i_height;
    const std::size_t unit = text.find_first_not_of("0123456789.+- \t");
    if (unit != std::string::npos && Lower(text.substr(unit)) == "m") text.resize(unit);
    if (ReadNumber(text, value) && value > 0) return whole(value / i_storeyHeight);
    o_fault = "its height " + Quoted(*i_height) + " is not a number of metres";
  }
  if (i_levels != nullptr) {
    if (ReadNumber(*i_levels, value) && value > 0) return whole(value);
    if (o_fault.empty()) o_fault = "its building:levels " + Quoted(*i_levels) + " is not a number of storeys";
  }
  return i_default;
}

bool IsGeoJsonCity(const CityText& i_text) {
  std::string head;
  if (i_text.read(0, 256, head) < 0) return false;
  return GeoJson::LooksLikeJson(head);
}

int RunGeoCity(const CityOutput& i_output, const Catalogue& i_styles, unsigned i_jobs, const Shard& i_shard) {
  using namespace Ostrel::Buildings;
  const RunSettings& settings = i_output.settings;
  const std::string& path = i_output.cityPath;
  MapOptions map;
  if (!CheckMapOptions(settings, i_styles, map)) return kExitFailure;

  GeoJson::ReadOptions read;
  for (const StyleRule& rule : map.rules) read.keys.push_back(rule.key);
  // First reading: the collection's crs and bounding box, and the styles its features take.
  std::set<std::string> used;
  GeoJson::Collection collection;
  GeoJson::Error error;
  const auto fileError = [&] {
    Ostrel::Message::PrintError("City file " + Quoted(path) + ", line " + std::to_string(error.line) + ", column " +
                                std::to_string(error.column) + ": " + error.message);
    return kExitFailure;
  };
  {
    std::ifstream in(path, std::ios::binary);
    const bool whole = GeoJson::Read(
        in, read,
        [&](const GeoJson::Feature& i_feature) {
          std::string fault;
          const std::string style = StyleOf(i_feature, map, i_styles, fault);
          if (!style.empty()) used.insert(style);
          return true;
        },
        collection, error);
    if (!whole) return fileError();
  }
  const Ostrel::Geo::Projection projection = ProjectionOf(map, collection);
  if (used.empty() && !map.defaultStyle.empty()) used.insert(map.defaultStyle);
  const Kit kit =
      LoadKit(RunFolders(settings, i_output.unitsPath), std::vector<std::string>(used.begin(), used.end()));
  const std::vector<CardSet> cards = PrepareCardSheets(settings, i_output.format, kit);
  Ostrel::Geo::CellOptions cells;
  cells.kitRules = true;  // the layout builds only what the kit's pieces can
  if (kit.measured()) {
    cells.cell = kit.unitWidth;
    cells.cellZ = kit.unitLength;
  }

  // Second reading: each outline on the plane, fitted with cells. Skipped features are told in
  // the file's order once every building is settled.
  std::vector<std::pair<std::uint64_t, std::string>> skipped;
  std::vector<Ostrel::Geo::CityBuilding> outlines;
  std::vector<FeatureFacts> facts;
  {
    std::ifstream in(path, std::ios::binary);
    GeoJson::Collection again;
    const bool whole = GeoJson::Read(
        in, read,
        [&](const GeoJson::Feature& i_feature) {
          FeatureFacts fact;
          fact.number = i_feature.number;
          fact.line = i_feature.line;
          fact.name = NameOf(i_feature);
          fact.where = FeatureWhere(path, i_feature, fact.name);
          const auto skip = [&](const std::string& i_why) {
            skipped.emplace_back(i_feature.number, fact.where + " is skipped: " + i_why);
            return true;
          };
          if (!i_feature.fault.empty()) return skip(i_feature.fault);
          std::string fault;
          fact.style = StyleOf(i_feature, map, i_styles, fault);
          if (!fault.empty()) return skip(fault);
          Ostrel::Geo::CityBuilding building;
          building.number = i_feature.number;
          if (!ProjectShape(i_feature, projection, building.shape, fault)) return skip(fault);
          building.fit = Ostrel::Geo::FootprintCells(building.shape, cells);
          if (!building.fit.fault.empty()) return skip(building.fit.fault);
          fact.storeys = StoreysOf(i_feature.property("height"), i_feature.property("building:levels"),
                                   kit.measured() ? kit.unitHeight : 3.0, map.storeys, fault);
          if (!fault.empty()) {
            Ostrel::Message::PrintWarning(fact.where + ": " + fault + ": it has " + std::to_string(fact.storeys) +
                                          " storeys");
          }
          building.storeys = fact.storeys;
          if (const std::string* roof = i_feature.property("roof:shape")) fact.roof = *roof;
          outlines.push_back(std::move(building));
          facts.push_back(std::move(fact));
          return true;
        },
        again, error);
    // The file changed between the readings.
    if (!whole) return fileError();
  }

  Ostrel::Geo::AlignNeighbours(outlines, cells);
  Ostrel::Geo::SettleOverlaps(outlines, cells);
  // The buildings that cannot be built beside their neighbours are told and lose their cells, so
  // that no neighbour leaves its wall out for one of them.
  for (std::size_t i = 0; i < outlines.size(); ++i) {
    Ostrel::Geo::CellFootprint& fit = outlines[i].fit;
    const FeatureFacts& fact = facts[i];
    int row = 0, column = 0;
    if (!fit.fault.empty()) {
      skipped.emplace_back(fact.number, fact.where + " is skipped: " + fit.fault + " beside its neighbours");
    } else if (const CellFault shapeFault = FootprintFault(FootprintOfFit(fit, row, column)); !shapeFault.why.empty()) {
      skipped.emplace_back(fact.number, fact.where + " is skipped: no shape the kit's pieces can build beside its "
                                                     "neighbours" + shapeFault.why);
      fit.fault = "no shape the kit's pieces can build";
    } else {
      continue;
    }
    fit.rows = fit.columns = 0;
    fit.cells.clear();
  }
  const std::vector<std::vector<Ostrel::Geo::PartySide>> party = Ostrel::Geo::PartySides(outlines);
  std::vector<int> storeysOf;  // by the building's number in the file, 1-based
  for (const Ostrel::Geo::CityBuilding& outline : outlines) {
    if (storeysOf.size() < outline.number) storeysOf.resize(outline.number, 0);
    storeysOf[outline.number - 1] = outline.storeys;
  }
  std::uint64_t flattened = 0;
  std::vector<GeoBuilding> buildings;
  RoofNotes notes;
  std::vector<std::pair<std::uint64_t, std::string>> roofWarnings;
  for (std::size_t i = 0; i < outlines.size(); ++i) {
    const Ostrel::Geo::CellFootprint& fit = outlines[i].fit;
    const FeatureFacts& fact = facts[i];
    if (!fit.fault.empty()) continue;
    int row = 0, column = 0;
    const Footprint footprint = FootprintOfFit(fit, row, column);
    GeoBuilding building;
    building.request = MakeRequest(fact.style, "  ", {}, {}, 1, 1, fact.storeys);
    SetFootprint(building.request, footprint);
    building.request.seed = MixSeed(settings.seed, fact.number);
    building.request.varyByCell = settings.varyByCell;
    building.request.ridge = settings.ridge;
    std::string warning;
    building.request.roof = RoofOf(fact, building.request, notes, warning);
    if (!warning.empty()) roofWarnings.emplace_back(fact.number, warning);
    building.request.partyWalls = PartyWallsOf(party[i], row, column, fact.number, fact.storeys, storeysOf);
    if (!party[i].empty() && building.request.roof != RoofShape::Flat) {
      // A pitched roof's eaves would overhang the neighbour, and its slopes rise from a wall the
      // neighbour stands against.
      building.request.roof = RoofShape::Flat;
      ++flattened;
    }
    building.frame = FrameOf(fit, row, column, building.request, settings.engine.pivot, kit);
    building.name = fact.name;
    building.line = fact.line;
    buildings.push_back(std::move(building));
  }
  outlines.clear();
  outlines.shrink_to_fit();
  std::stable_sort(skipped.begin(), skipped.end(),
                   [](const auto& i_a, const auto& i_b) { return i_a.first < i_b.first; });
  for (const auto& line : roofWarnings) Ostrel::Message::PrintWarning(line.second);
  if (flattened > 0) {
    Ostrel::Message::PrintWarning("City file " + Quoted(path) + ": " + std::to_string(flattened) +
                                  (flattened == 1 ? " building that shares walls with neighbours is"
                                                  : " buildings that share walls with neighbours are") +
                                  " built with a flat roof instead of a pitched one, whose eaves would overhang the "
                                  "neighbour");
  }
  for (const auto& line : skipped) Ostrel::Message::PrintWarning(line.second);
  Ostrel::Message::PrintInfo("City file " + Quoted(path) + ": " + std::to_string(collection.features) +
                             " features, " + std::to_string(buildings.size()) + " built, " +
                             std::to_string(skipped.size()) + " skipped");

  std::uint64_t first = 1, end = 1;
  ShardRows(buildings.size(), i_shard, first, end);
  if (first == end) {
    Ostrel::Message::PrintWarning((settings.shard.empty()
                                       ? "City file " + Quoted(path) + " holds no building that can be built"
                                       : "Shard " + settings.shard + " of city file " + Quoted(path) +
                                             " holds no building (the file has " + std::to_string(buildings.size()) +
                                             " that can be built)") +
                                  ": the output holds no building");
  }
  const auto held = std::make_shared<const std::vector<GeoBuilding>>(std::move(buildings));
  std::string passError;
  std::size_t line = 0;
  std::string style;
  Scene scene;
  scene.kit = &kit;
  const Kit* kitOf = &kit;
  std::size_t* lineOf = &line;
  std::string* styleOf = &style;
  scene.buildings = [=] {
    std::uint64_t next = first - 1;
    return NextBuilding([=](SceneBuilding& o_building) mutable {
      if (next + 1 >= end) return false;
      const GeoBuilding& building = (*held)[next++];
      o_building = MakeSceneBuilding(building.request, *kitOf, building.frame, building.name);
      *lineOf = building.line;
      *styleOf = building.request.style;
      return true;
    });
  };
  SceneOptions options = CitySceneOptions(settings, i_jobs);
  options.kitUnits = true;  // the map's metres
  options.cards = cards;
  PutOrigin(projection, options);
  return WriteCity(i_output, kit, scene, options, end - first, passError, line, style);
}

}  // namespace Towerkit
