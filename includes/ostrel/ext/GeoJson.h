#pragma once
// GeoJSON feature collections (RFC 7946), as OpenStreetMap and GIS tools export building
// outlines, read as a stream: one feature at a time is held, however long the file, so that a
// file of a gigabyte never needs its size in memory.
//
// Only what a city needs is kept: Polygon and MultiPolygon geometries, a few properties by name,
// and the name of the collection's `crs` member. A feature that cannot be built (another
// geometry, a ring that is not closed, coordinates that do not match the type) is still handed
// over, with the reason in `fault`, so that the caller can tell the user which one and why. A
// fault of the whole file (not JSON, not a FeatureCollection) ends the reading with an error at
// its line and column. Errors come back as data; nothing is printed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace GeoJson {

// A position as written: longitude and latitude in degrees (WGS 84, the default), or easting and
// northing in the units of a projected system. A third number (altitude) is dropped.
struct Position {
  double x = 0;
  double y = 0;
};

// A closed ring, as written: its first position repeated as its last.
using Ring = std::vector<Position>;

struct Polygon {
  std::vector<Ring> rings;  // the outer ring, then its holes
};

struct Property {
  std::string key;
  std::string value;  // a string as it is; a number as written; true or false
};

struct Feature {
  std::uint64_t number = 0;  // 1-based among the elements of the collection's features
  std::size_t line = 0;      // 1-based line where the feature starts
  std::size_t column = 0;    // 1-based byte of that line
  std::string id;            // the feature's own `id` member (string or number) as text; empty: none
  std::string geometry;      // the geometry's type as written; empty when there is none
  std::vector<Polygon> polygons;      // of a Polygon (one) or a MultiPolygon, when fault is empty
  std::vector<Property> properties;   // those asked for that the feature has, scalars only
  std::string fault;  // why it cannot be built, as a phrase: "a Point", "no geometry", ...; empty when it can

  // The value of property i_key, or null.
  const std::string* property(std::string_view i_key) const;
};

// What the whole collection told, once it has been read.
struct Collection {
  std::string crs;             // the `crs` member's properties.name; empty when there is none
  std::uint64_t features = 0;  // elements of `features`, buildable or not
  bool bounded = false;        // whether any feature could be built
  Position min, max;           // the box of every position of the features that can be built
};

struct Error {
  std::size_t line = 0;    // 1-based
  std::size_t column = 0;  // 1-based byte of that line
  std::string message;     // "not JSON: ...", "not a FeatureCollection: ..."
};

struct ReadOptions {
  // Property keys kept, besides the standard ones (kStandardKeys).
  std::vector<std::string> keys;
  // A feature with more positions than this is not kept, but reported, so that one feature never
  // costs more than this many positions of memory.
  std::size_t maxPositions = std::size_t{1} << 20;
};

// The properties a city reads from every feature.
inline constexpr const char* kStandardKeys[] = {"height", "building:levels", "roof:shape", "towerkit:style",
                                                "id",     "@id",             "osm_id",     "name"};

// Called with each feature, in file order; reading stops when it returns false.
using FeatureVisit = std::function<bool(const Feature&)>;

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

// Whether a text starting with i_head (the first bytes of a file) is JSON rather than a table:
// its first character after a UTF-8 byte-order mark and white space is '{' or '['.
bool LooksLikeJson(std::string_view i_head);

// Reads the feature collection in i_in to its end, calling i_visit with each feature. True when
// the whole text is a FeatureCollection (o_collection filled), or when i_visit stopped it; false,
// with o_error set, at the first fault of the whole text. Features before the fault have been
// handed over by then.
bool Read(std::istream& i_in, const ReadOptions& i_options, const FeatureVisit& i_visit, Collection& o_collection,
          Error& o_error);

// Read on a text the caller holds.
bool ReadText(std::string_view i_text, const ReadOptions& i_options, const FeatureVisit& i_visit,
              Collection& o_collection, Error& o_error);

}  // namespace GeoJson
