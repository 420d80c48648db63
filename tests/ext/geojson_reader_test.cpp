// The GeoJSON reader: which features can be built and why the others cannot, the properties and
// ids kept, the crs and bounds of the collection, and the faults of a whole file at their line
// and column.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <ostrel/ext/GeoJson.h>

namespace {

struct ReadResult {
  bool ok = false;
  std::vector<GeoJson::Feature> features;
  GeoJson::Collection collection;
  GeoJson::Error error;
};

ReadResult ReadAll(const std::string& i_text, const GeoJson::ReadOptions& i_options = {}) {
  ReadResult result;
  result.ok = GeoJson::ReadText(
      i_text, i_options,
      [&](const GeoJson::Feature& i_feature) {
        result.features.push_back(i_feature);
        return true;
      },
      result.collection, result.error);
  return result;
}

const char* const kSquare = "[[[0,0],[4,0],[4,3],[0,3],[0,0]]]";

std::string Feature(const std::string& i_geometry, const std::string& i_rest = "") {
  return "{\"type\":\"Feature\"" + i_rest + ",\"geometry\":" + i_geometry + "}";
}

std::string Collection(const std::vector<std::string>& i_features) {
  std::string text = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (std::size_t i = 0; i < i_features.size(); ++i) text += (i ? ",\n" : "\n") + i_features[i];
  return text + "\n]}";
}

TEST(GeoJsonReader, FeaturesThatCanBeBuiltAndWhyOthersCannot) {
  struct Case {
    std::string geometry;
    std::string fault;
  };
  const Case cases[] = {
      {std::string("{\"type\":\"Polygon\",\"coordinates\":") + kSquare + "}", ""},
      // Members in any order: the type after the coordinates.
      {std::string("{\"coordinates\":") + kSquare + ",\"type\":\"Polygon\"}", ""},
      {"{\"type\":\"MultiPolygon\",\"coordinates\":[[[[0,0],[1,0],[1,1],[0,0]]],[[[5,5],[6,5],[6,6],[5,5]]]]}", ""},
      {"{\"type\":\"Point\",\"coordinates\":[1,2]}", "a Point"},
      {"{\"type\":\"LineString\",\"coordinates\":[[1,2],[3,4]]}", "a LineString"},
      {"{\"type\":\"GeometryCollection\",\"geometries\":[]}", "a GeometryCollection"},
      {"{\"type\":\"Circle\",\"coordinates\":[1,2]}", "an unknown geometry type 'Circle'"},
      {"null", "no geometry"},
      {"{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[4,0],[0,0]]]}", "an invalid ring: ring 1 has fewer than 4 positions"},
      {"{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[4,0],[4,3],[0,3],[0,1]]]}", "an invalid ring: ring 1 is not closed"},
      {"{\"type\":\"MultiPolygon\",\"coordinates\":[[[[0,0],[1,0],[1,1],[0,0]]],[[[5,5],[6,5],[6,6],[5,6]]]]}",
       "an invalid ring: ring 1 of polygon 2 is not closed"},
      {std::string("{\"type\":\"MultiPolygon\",\"coordinates\":") + kSquare + "}",
       "its coordinates do not match its type MultiPolygon"},
      {"{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[1,0],[1,[1]],[0,0]]]}", "its coordinates mix numbers and arrays"},
      {"{\"type\":\"Polygon\",\"coordinates\":[[[0],[1,0],[1,1],[0]]]}", "a position has fewer than two numbers"},
      {"{\"type\":\"Polygon\",\"coordinates\":[]}", "its coordinates are empty"},
      {"{\"type\":\"Polygon\",\"coordinates\":[[]]}", "its coordinates hold an empty array"},
      {"{\"type\":\"Polygon\"}", "its geometry has no coordinates"},
      {"[1,2]", "its geometry is no object"},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadAll(Collection({Feature(c.geometry)}));
    ASSERT_TRUE(result.ok) << c.geometry << ": " << result.error.message;
    ASSERT_EQ(result.features.size(), 1u);
    EXPECT_EQ(result.features[0].fault, c.fault) << c.geometry;
    EXPECT_EQ(result.features[0].polygons.empty(), !c.fault.empty()) << c.geometry;
  }
  // Not a feature at all: still counted, so that every element of the file is told about.
  const ReadResult odd = ReadAll(Collection({"42", "[1]", "{\"type\":\"Thing\",\"geometry\":null}"}));
  ASSERT_TRUE(odd.ok);
  ASSERT_EQ(odd.features.size(), 3u);
  EXPECT_EQ(odd.features[0].fault, "no Feature object");
  EXPECT_EQ(odd.features[1].fault, "no Feature object");
  EXPECT_EQ(odd.features[2].fault, "its type is 'Thing', not Feature");
  EXPECT_EQ(odd.collection.features, 3u);
}

TEST(GeoJsonReader, RingsPropertiesIdsAndCollection) {
  const std::string text =
      "{\"features\":[\n"
      "  {\"type\":\"Feature\",\"id\":\"way/17\",\"properties\":{\"height\":12.50,\"building:levels\":4,"
      "\"roof:shape\":\"gabled\",\"nested\":{\"height\":1},\"colour\":\"red\",\"tags\":[1],\"name\":null,"
      "\"flag\":true},\n"
      "   \"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[[13.1,52.1,34.0],[13.2,52.1],[13.2,52.3],[13.1,52.1]],"
      "[[13.15,52.15],[13.16,52.15],[13.16,52.16],[13.15,52.15]]]}},\n"
      "  {\"type\":\"Feature\",\"id\":7,\"properties\":{\"osm_id\":\"123\"},\"geometry\":{\"type\":\"Point\","
      "\"coordinates\":[99,9]}}\n"
      "],\"crs\":{\"type\":\"name\",\"properties\":{\"name\":\"urn:ogc:def:crs:EPSG::25833\"}},"
      "\"type\":\"FeatureCollection\"}";
  GeoJson::ReadOptions options;
  options.keys = {"colour", "flag"};
  const ReadResult result = ReadAll(text, options);
  ASSERT_TRUE(result.ok) << result.error.message;
  ASSERT_EQ(result.features.size(), 2u);
  const GeoJson::Feature& first = result.features[0];
  EXPECT_EQ(first.number, 1u);
  EXPECT_EQ(first.line, 2u);
  EXPECT_EQ(first.column, 3u);
  EXPECT_EQ(first.id, "way/17");
  ASSERT_EQ(first.polygons.size(), 1u);
  ASSERT_EQ(first.polygons[0].rings.size(), 2u);
  EXPECT_EQ(first.polygons[0].rings[0].size(), 4u);
  EXPECT_DOUBLE_EQ(first.polygons[0].rings[0][2].y, 52.3);
  // Numbers as written, strings as they are, only the keys asked for, no nulls nor nested values.
  ASSERT_NE(first.property("height"), nullptr);
  EXPECT_EQ(*first.property("height"), "12.50");
  EXPECT_EQ(*first.property("building:levels"), "4");
  EXPECT_EQ(*first.property("roof:shape"), "gabled");
  EXPECT_EQ(*first.property("colour"), "red");
  EXPECT_EQ(*first.property("flag"), "true");
  EXPECT_EQ(first.property("name"), nullptr);
  EXPECT_EQ(first.property("tags"), nullptr);
  EXPECT_EQ(first.properties.size(), 5u);
  const GeoJson::Feature& second = result.features[1];
  EXPECT_EQ(second.id, "7");
  EXPECT_EQ(*second.property("osm_id"), "123");
  EXPECT_EQ(second.line, 4u);
  // The bounds hold the outer rings of the buildable features only; the crs is named after them.
  EXPECT_EQ(result.collection.crs, "urn:ogc:def:crs:EPSG::25833");
  ASSERT_TRUE(result.collection.bounded);
  EXPECT_DOUBLE_EQ(result.collection.min.x, 13.1);
  EXPECT_DOUBLE_EQ(result.collection.max.x, 13.2);
  EXPECT_DOUBLE_EQ(result.collection.max.y, 52.3);
  EXPECT_EQ(result.collection.features, 2u);
}

TEST(GeoJsonReader, FaultsOfTheWholeFileAtTheirLineAndColumn) {
  struct Case {
    std::string text;
    std::size_t line, column;
    std::string message;
  };
  const Case cases[] = {
      {"{\"type\":\"FeatureCollection\",\n  \"features\": [x]}", 2, 16,
       "not JSON: syntax error while parsing value - invalid literal; last read: '\"features\": [x'"},
      {"id,style\n1,A\n", 1, 1, "not JSON: syntax error while parsing value - invalid literal; last read: 'i'"},
      {"", 1, 1, "not JSON: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"[]", 1, 1, "not a FeatureCollection: the text is an array"},
      {"\"x\"", 1, 3, "not a FeatureCollection: the text is no object"},
      {"{\"type\":\"Feature\",\"geometry\":null}", 1, 17, "not a FeatureCollection: its type is 'Feature'"},
      {"{\"features\":[]}", 1, 15, "not a FeatureCollection: it has no type member"},
      {"{\"type\":\"FeatureCollection\"}", 1, 28, "not a FeatureCollection: it has no features member"},
      {"{\"type\":\"FeatureCollection\",\"features\":{}}", 1, 40,
       "not a FeatureCollection: its features member is no array"},
      {"{\"type\":\"FeatureCollection\",\"features\":[]} {}", 1, 44,
       "not JSON: syntax error while parsing value - unexpected '{'; expected end of input"},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadAll(c.text);
    EXPECT_FALSE(result.ok) << c.text;
    EXPECT_EQ(result.error.message, c.message) << c.text;
    EXPECT_EQ(result.error.line, c.line) << c.text;
    EXPECT_EQ(result.error.column, c.column) << c.text;
  }
}

TEST(GeoJsonReader, StopsWhenAskedAndCapsAFeaturesPositions) {
  const std::string polygon = std::string("{\"type\":\"Polygon\",\"coordinates\":") + kSquare + "}";
  const std::string text = Collection({Feature(polygon), Feature(polygon), Feature(polygon)});
  int seen = 0;
  GeoJson::Collection collection;
  GeoJson::Error error;
  EXPECT_TRUE(GeoJson::ReadText(text, {}, [&](const GeoJson::Feature&) { return ++seen < 2; }, collection, error));
  EXPECT_EQ(seen, 2);

  GeoJson::ReadOptions options;
  options.maxPositions = 4;
  const ReadResult capped = ReadAll(text, options);
  ASSERT_TRUE(capped.ok);
  EXPECT_EQ(capped.features[0].fault, "more than 4 positions");
  EXPECT_FALSE(capped.collection.bounded);
}

TEST(GeoJsonReader, TellsJsonFromATable) {
  EXPECT_TRUE(GeoJson::LooksLikeJson("\xEF\xBB\xBF \r\n\t{\"type\""));
  EXPECT_TRUE(GeoJson::LooksLikeJson("["));
  EXPECT_FALSE(GeoJson::LooksLikeJson("id,style,width\n"));
  EXPECT_FALSE(GeoJson::LooksLikeJson("\"{\",style\n"));
  EXPECT_FALSE(GeoJson::LooksLikeJson("   "));
}

}  // namespace
