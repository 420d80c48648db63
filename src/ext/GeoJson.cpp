// GeoJson: definitions. nlohmann's SAX parser calls a handler for every value as it reads; the
// handler keeps a stack of where it is (collection, feature, geometry, coordinates, ...) and holds
// only the feature being read.

#include <ostrel/ext/GeoJson.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/utils/TextFile.h>

namespace GeoJson {

const std::string* Feature::property(std::string_view i_key) const {
  for (const Property& property : properties) {
    if (property.key == i_key) return &property.value;
  }
  return nullptr;
}

namespace detail {

// The bytes of a stream, one at a time, counting lines and columns as the parser takes them, so
// that a fault found at any event can say where it is.
struct Source {
  std::streambuf* buffer = nullptr;
  std::size_t line = 1;
  std::size_t column = 0;  // bytes of this line taken so far: the last one taken is at this column
};

// An input iterator over a Source, as nlohmann's iterator input takes it; the default one is
// the end.
class SourceIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  SourceIterator() = default;
  explicit SourceIterator(Source* i_source) : m_source(i_source) {}

  char operator*() const { return std::char_traits<char>::to_char_type(m_source->buffer->sgetc()); }
  SourceIterator& operator++() {
    const int c = m_source->buffer->sbumpc();
    if (c == '\n') {
      ++m_source->line;
      m_source->column = 0;
    } else {
      ++m_source->column;
    }
    return *this;
  }
  bool operator==(const SourceIterator& i_other) const { return atEnd() == i_other.atEnd(); }
  bool operator!=(const SourceIterator& i_other) const { return !(*this == i_other); }

 private:
  bool atEnd() const {
    return m_source == nullptr || m_source->buffer->sgetc() == std::char_traits<char>::eof();
  }
  Source* m_source = nullptr;
};

using Json = nlohmann::json;

// Where the parser is.
enum class Place { Root, Collection, Features, Feature, Geometry, Coordinates, Properties, Crs, CrsProperties, Skip };

struct Frame {
  Place place = Place::Skip;
  int level = -1;       // of a coordinates array: 0 holds numbers, 1 positions, 2 rings, 3 polygons; -1 not known yet
  bool numbers = false;  // a coordinates array that holds numbers
};

std::string Article(const std::string& i_type) {
  const bool vowel = !i_type.empty() && std::string_view("AEIOUaeiou").find(i_type[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + i_type;
}

class Handler {
 public:
  Handler(const ReadOptions& i_options, const FeatureVisit& i_visit, Source& i_source)
      : m_options(i_options), m_visit(i_visit), m_source(i_source) {}

  bool null() { return scalar(Scalar::Null, std::string()); }
  bool boolean(bool i_value) { return scalar(Scalar::Other, i_value ? "true" : "false"); }
  bool number_integer(Json::number_integer_t i_value) {
    return number(static_cast<double>(i_value), std::to_string(i_value));
  }
  bool number_unsigned(Json::number_unsigned_t i_value) {
    return number(static_cast<double>(i_value), std::to_string(i_value));
  }
  bool number_float(Json::number_float_t i_value, const std::string& i_text) { return number(i_value, i_text); }
  bool string(std::string& i_value) { return scalar(Scalar::String, i_value); }
  bool binary(Json::binary_t&) { return scalar(Scalar::Other, std::string()); }
  bool key(std::string& i_key) {
    m_key = std::move(i_key);
    return true;
  }
  bool start_object(std::size_t) { return open(true); }
  bool start_array(std::size_t) { return open(false); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& i_error) {
    // The parser's own text names the fault after its position; keep that part.
    const std::string what = i_error.what();
    const std::string::size_type syntax = what.find("syntax error");
    return fail("not JSON: " + (syntax == std::string::npos ? what : what.substr(syntax)));
  }

  bool stopped = false;  // i_visit asked to stop
  bool failed = false;
  Error error;
  Collection collection;
  std::string type;     // the collection's type member
  bool features = false;  // the collection has a features array

 private:
  enum class Scalar { Null, String, Number, Other };

  bool fail(const std::string& i_message) {
    failed = true;
    // The parser quotes what it last read, which may hold control bytes: a message stays one
    // printable line.
    error = Error{m_source.line, m_source.column == 0 ? 1 : m_source.column,
                  Ostrel::TextFile::Excerpt(i_message, i_message.size())};
    return false;
  }

  Place top() const { return m_stack.empty() ? Place::Root : m_stack.back().place; }
  void push(Place i_place) { m_stack.push_back(Frame{i_place}); }

  bool number(double i_value, const std::string& i_text) {
    if (top() != Place::Coordinates) return scalar(Scalar::Number, i_text);
    Frame& frame = m_stack.back();
    if (frame.level > 0) return bad("its coordinates mix numbers and arrays");
    frame.numbers = true;
    frame.level = 0;
    if (!std::isfinite(i_value)) return bad("a coordinate is out of range");
    if (m_numbers < 2) m_position[m_numbers] = i_value;
    ++m_numbers;
    return true;
  }

  // A coordinates fault: the feature cannot be built, the file reads on.
  bool bad(const std::string& i_fault) {
    if (m_feature.fault.empty()) m_feature.fault = i_fault;
    return true;
  }

  bool scalar(Scalar i_kind, const std::string& i_text) {
    switch (top()) {
      case Place::Root:
        return fail("not a FeatureCollection: the text is no object");
      case Place::Collection:
        if (m_key == "type") {
          type = i_kind == Scalar::String ? i_text : std::string("?");
          if (type != "FeatureCollection")
            return fail("not a FeatureCollection: its type is '" + Ostrel::TextFile::Excerpt(i_text) + "'");
        }
        if (m_key == "features") return fail("not a FeatureCollection: its features member is no array");
        return true;
      case Place::Features:
        beginFeature();
        m_feature.fault = "no Feature object";
        return endFeature();
      case Place::Feature:
        if (m_key == "type" && i_text != "Feature") bad("its type is '" + Ostrel::TextFile::Excerpt(i_text) + "', not Feature");
        if (m_key == "id" && (i_kind == Scalar::String || i_kind == Scalar::Number)) m_feature.id = i_text;
        if (m_key == "geometry" && i_kind == Scalar::Null) m_noGeometry = true;
        if (m_key == "geometry" && i_kind != Scalar::Null) bad("its geometry is no object");
        return true;
      case Place::Geometry:
        if (m_key == "type") m_feature.geometry = i_text;
        if (m_key == "coordinates") bad("its coordinates are no array");
        return true;
      case Place::Coordinates:
        return bad("its coordinates hold something other than numbers");
      case Place::Properties:
        if (i_kind != Scalar::Null && wanted(m_key)) m_feature.properties.push_back(Property{m_key, i_text});
        return true;
      case Place::CrsProperties:
        if (m_key == "name" && i_kind == Scalar::String) collection.crs = i_text;
        return true;
      case Place::Crs:
      case Place::Skip:
        return true;
    }
    return true;
  }

  bool wanted(const std::string& i_key) const {
    for (const char* key : kStandardKeys) {
      if (i_key == key) return true;
    }
    for (const std::string& key : m_options.keys) {
      if (i_key == key) return true;
    }
    return false;
  }

  bool open(bool i_object) {
    switch (top()) {
      case Place::Root:
        if (!i_object) return fail("not a FeatureCollection: the text is an array");
        push(Place::Collection);
        return true;
      case Place::Collection:
        if (m_key == "type") return fail("not a FeatureCollection: its type is no string");
        if (m_key == "features" && !i_object) {
          features = true;
          push(Place::Features);
          return true;
        }
        if (m_key == "features") return fail("not a FeatureCollection: its features member is no array");
        push(m_key == "crs" && i_object ? Place::Crs : Place::Skip);
        return true;
      case Place::Features:
        beginFeature();
        if (!i_object) m_feature.fault = "no Feature object";
        push(i_object ? Place::Feature : Place::Skip);
        return true;
      case Place::Feature:
        if (m_key == "geometry" && i_object) {
          m_hasGeometry = true;
          push(Place::Geometry);
          return true;
        }
        if (m_key == "geometry") bad("its geometry is no object");
        if (m_key == "type") bad("its type is no string");
        push(m_key == "properties" && i_object ? Place::Properties : Place::Skip);
        return true;
      case Place::Geometry:
        if (m_key == "coordinates" && !i_object) {
          m_hasCoordinates = true;
          push(Place::Coordinates);
          return true;
        }
        if (m_key == "coordinates") bad("its coordinates are no array");
        push(Place::Skip);
        return true;
      case Place::Coordinates:
        if (i_object) {
          bad("its coordinates hold something other than numbers");
          push(Place::Skip);
          return true;
        }
        if (m_stack.back().numbers) bad("its coordinates mix numbers and arrays");
        push(Place::Coordinates);
        return true;
      case Place::Crs:
        push(m_key == "properties" && i_object ? Place::CrsProperties : Place::Skip);
        return true;
      case Place::Properties:
      case Place::CrsProperties:
      case Place::Skip:
        push(Place::Skip);
        return true;
    }
    return true;
  }

  bool close() {
    const Frame frame = m_stack.back();
    m_stack.pop_back();
    switch (frame.place) {
      case Place::Collection:
        if (type.empty()) return fail("not a FeatureCollection: it has no type member");
        if (!features) return fail("not a FeatureCollection: it has no features member");
        return true;
      case Place::Feature:
        return endFeature();
      case Place::Coordinates:
        closeCoordinates(frame);
        return true;
      case Place::Skip:
        // An element of features that was no object.
        if (top() == Place::Features) return endFeature();
        return true;
      default:
        return true;
    }
  }

  // A coordinates array ends: a position joins its ring, a ring its polygon, a polygon the feature.
  void closeCoordinates(const Frame& i_frame) {
    const bool nested = top() == Place::Coordinates;
    if (i_frame.level < 0) {
      bad(nested ? "its coordinates hold an empty array" : "its coordinates are empty");
      return;
    }
    if (nested) {
      Frame& parent = m_stack.back();
      if (parent.level < 0) parent.level = i_frame.level + 1;
      if (parent.level != i_frame.level + 1) bad("its coordinates are not nested alike");
    } else {
      m_coordinateLevel = i_frame.level;
    }
    switch (i_frame.level) {
      case 0:
        if (m_numbers < 2) bad("a position has fewer than two numbers");
        if (m_positions < m_options.maxPositions) m_ring.push_back(Position{m_position[0], m_position[1]});
        ++m_positions;
        m_numbers = 0;
        break;
      case 1:
        m_polygon.rings.push_back(std::move(m_ring));
        m_ring.clear();
        break;
      case 2:
        m_feature.polygons.push_back(std::move(m_polygon));
        m_polygon.rings.clear();
        break;
      default:
        if (i_frame.level > 3) bad("its coordinates are nested too deep");
        break;
    }
  }

  void beginFeature() {
    m_feature = Feature();
    m_feature.number = ++collection.features;
    m_feature.line = m_source.line;
    m_feature.column = m_source.column == 0 ? 1 : m_source.column;
    m_noGeometry = m_hasGeometry = m_hasCoordinates = false;
    m_coordinateLevel = -1;
    m_positions = 0;
    m_numbers = 0;
    m_ring.clear();
    m_polygon.rings.clear();
  }

  // The fault of a feature whose geometry is read, if any.
  std::string geometryFault() const {
    const std::string& type = m_feature.geometry;
    if (!m_hasGeometry) return "no geometry";
    if (type.empty()) return "its geometry has no type";
    if (type != "Polygon" && type != "MultiPolygon") {
      const bool known = type == "Point" || type == "MultiPoint" || type == "LineString" ||
                         type == "MultiLineString" || type == "GeometryCollection";
      return known ? Article(type) : "an unknown geometry type '" + type + "'";
    }
    if (!m_hasCoordinates) return "its geometry has no coordinates";
    if (m_positions > m_options.maxPositions)
      return "more than " + std::to_string(m_options.maxPositions) + " positions";
    if (m_coordinateLevel != (type == "Polygon" ? 2 : 3)) return "its coordinates do not match its type " + type;
    return std::string();
  }

  std::string ringFault() const {
    const std::vector<Polygon>& polygons = m_feature.polygons;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
      const std::string which = polygons.size() > 1 ? " of polygon " + std::to_string(p + 1) : std::string();
      for (std::size_t r = 0; r < polygons[p].rings.size(); ++r) {
        const Ring& ring = polygons[p].rings[r];
        const std::string name = "ring " + std::to_string(r + 1) + which;
        if (ring.size() < 4) return "an invalid ring: " + name + " has fewer than 4 positions";
        if (ring.front().x != ring.back().x || ring.front().y != ring.back().y)
          return "an invalid ring: " + name + " is not closed";
      }
    }
    return std::string();
  }

  bool endFeature() {
    if (m_feature.fault.empty() && m_noGeometry) m_feature.fault = "no geometry";
    if (m_feature.fault.empty()) m_feature.fault = geometryFault();
    if (m_feature.fault.empty()) m_feature.fault = ringFault();
    if (!m_feature.fault.empty()) {
      m_feature.polygons.clear();
    } else {
      for (const Polygon& polygon : m_feature.polygons) {
        for (const Position& position : polygon.rings.front()) include(position);
      }
    }
    if (!m_visit(m_feature)) {
      stopped = true;
      return false;
    }
    return true;
  }

  void include(const Position& i_position) {
    if (!collection.bounded) {
      collection.bounded = true;
      collection.min = collection.max = i_position;
      return;
    }
    collection.min.x = std::min(collection.min.x, i_position.x);
    collection.min.y = std::min(collection.min.y, i_position.y);
    collection.max.x = std::max(collection.max.x, i_position.x);
    collection.max.y = std::max(collection.max.y, i_position.y);
  }

  const ReadOptions& m_options;
  const FeatureVisit& m_visit;
  Source& m_source;
  std::vector<Frame> m_stack;
  std::string m_key;
  Feature m_feature;
  bool m_noGeometry = false, m_hasGeometry = false, m_hasCoordinates = false;
  int m_coordinateLevel = -1;  // of the geometry's coordinates member
  std::size_t m_positions = 0;  // positions read in this feature
  double m_position[2] = {0, 0};
  std::size_t m_numbers = 0;  // numbers read in this position
  Ring m_ring;
  Polygon m_polygon;
};

}  // namespace detail

bool LooksLikeJson(std::string_view i_head) {
  if (i_head.substr(0, 3) == "\xEF\xBB\xBF") i_head.remove_prefix(3);
  const std::size_t first = i_head.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (i_head[first] == '{' || i_head[first] == '[');
}

bool Read(std::istream& i_in, const ReadOptions& i_options, const FeatureVisit& i_visit, Collection& o_collection,
          Error& o_error) {
  detail::Source source;
  source.buffer = i_in.rdbuf();
  detail::Handler handler(i_options, i_visit, source);
  nlohmann::json::sax_parse(detail::SourceIterator(&source), detail::SourceIterator(), &handler);
  if (handler.failed) {
    o_error = handler.error;
    return false;
  }
  o_collection = handler.collection;
  return true;
}

bool ReadText(std::string_view i_text, const ReadOptions& i_options, const FeatureVisit& i_visit,
              Collection& o_collection, Error& o_error) {
  std::istringstream in{std::string(i_text)};
  return Read(in, i_options, i_visit, o_collection, o_error);
}

}  // namespace GeoJson
