#pragma once
// towerkit --city with a GeoJSON file: one building a Polygon or MultiPolygon feature, built as a
// city file's rows are. The file is read twice as a stream (the collection's crs and bounding box
// may come after its features); each outline becomes a footprint of cells on the tangent plane
// of the origin, the neighbours' overlaps are settled, and then only the buildings' requests are
// held: footprints, kept folded, a few hundred bytes a building.
//
// The city is written in metres (the kit's units, as -m): east is +x, north -z, up +y.

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/ext/GeoJson.h>
#include <ostrel/geo/Projection.h>
#include <ostrel/layout/Request.h>

#include "CityFile.h"
#include "CityRun.h"
#include "RunFlow.h"

namespace Towerkit {

// --style-by: features whose property `key` is `value` take `style`.
struct StyleRule {
  std::string key;
  std::string value;
  std::string style;
};

// Reads "KEY=VALUE:STYLE,..." into o_rules (appended). The style is after the last ':', so a
// key or value may hold ':' (building:use=retail:S). False with o_why, a sentence's end to follow
// the option's value, for a rule without '=' or ':' or with an empty part.
bool ParseStyleRules(const std::string& i_text, std::vector<StyleRule>& o_rules, std::string& o_why);

// Reads "X,Y" (two finite numbers) for --origin. False for anything else.
bool ParseOrigin(const std::string& i_text, double& o_x, double& o_y);

// The roof the kit builds for a roof:shape value (lower case compared): flat, gabled and hipped
// directly (o_direct), any other value the nearest of the three: hip for roofs sloping on every
// side (pyramidal, half-hipped, mansard, dome, ...), gable for those with two slopes or one
// (gambrel, saltbox, skillion, round, ...), flat for anything else.
Ostrel::Buildings::RoofShape NearestRoof(const std::string& i_value, bool& o_direct);

// Storeys from a feature's height in metres (i_height, may be null) or building:levels (null
// too), with storeys of i_storeyHeight metres; i_default when neither gives a positive number.
// o_fault names a value that is not one, for a warning.
int StoreysOf(const std::string* i_height, const std::string* i_levels, double i_storeyHeight, int i_default,
              std::string& o_fault);

// Whether the city file holds JSON (its first bytes), not a CSV table.
bool IsGeoJsonCity(const CityText& i_text);

// Builds the GeoJSON city of --city into the output file. Returns the exit status.
int RunGeoCity(const CityOutput& i_output, const Catalogue& i_styles, unsigned i_jobs, const Shard& i_shard);

}  // namespace Towerkit
