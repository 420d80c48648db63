// The writers' JSON text against nlohmann's for the same values: files keep their bytes only if
// every string, number and shape is written alike.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "write/JsonValue.h"

namespace {

using Ostrel::Buildings::JsonReals;
using Ostrel::Buildings::JsonValue;

// nlohmann's documents of floats, as a .glb's were.
using FloatJson =
    nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;

std::string JsonExpected(const std::string& i_text) {
  const nlohmann::json value = {{i_text, i_text}};
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonWritten(const std::string& i_text) { return JsonValue({{i_text, i_text}}).dump(); }

// Every string of one and two bytes, and of three and four from the bytes where UTF-8's ranges
// change: escapes, well-formed sequences, and where an ill-formed one is cut and replaced.
TEST(JsonValueTest, StringsAreEscapedAndReplacedAsBefore) {
  for (int a = 0; a < 256; ++a) {
    ASSERT_EQ(JsonWritten(std::string(1, static_cast<char>(a))), JsonExpected(std::string(1, static_cast<char>(a)))) << a;
    for (int b = 0; b < 256; ++b) {
      const std::string text = {static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(JsonWritten(text), JsonExpected(text)) << a << " " << b;
    }
  }
  const unsigned char edges[] = {0x00, 0x0A, 0x1F, 0x22, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90,
                                 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5};
  for (const unsigned char a : edges) {
    for (const unsigned char b : edges) {
      for (const unsigned char c : edges) {
        const std::string three = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
        ASSERT_EQ(JsonWritten(three), JsonExpected(three)) << int(a) << " " << int(b) << " " << int(c);
        if (a < 0xF0) continue;
        for (const unsigned char d : edges) {
          const std::string four = three + static_cast<char>(d);
          ASSERT_EQ(JsonWritten(four), JsonExpected(four)) << int(a) << " " << int(b) << " " << int(c) << " " << int(d);
        }
      }
    }
  }
  const std::string long_text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8F\xA2 \xED\xA0\x80 \xF0\x9F tail\x01";
  EXPECT_EQ(JsonWritten(long_text), JsonExpected(long_text));
}

// Reals as floats (a .glb's) and as doubles (a tileset's), from their bit patterns: every kind of
// number, subnormals and the largest among them; integers at their limits.
TEST(JsonValueTest, NumbersAreWrittenAsBefore) {
  std::mt19937_64 random(29);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    float single;
    const std::uint32_t low = static_cast<std::uint32_t>(bits);
    std::memcpy(&single, &low, sizeof single);
    ASSERT_EQ(JsonValue(single).dump(JsonReals::Floats), FloatJson(single).dump()) << low;
    double twice;
    std::memcpy(&twice, &bits, sizeof twice);
    ASSERT_EQ(JsonValue(twice).dump(), nlohmann::json(twice).dump()) << bits;
    // A double in a document of floats is written as the float it rounds to.
    ASSERT_EQ(JsonValue(twice).dump(JsonReals::Floats), FloatJson(twice).dump()) << bits;
  }
  for (const double value : {0.0, -0.0, 1.0, -1.5, 0.1, 1e-4, 1e-5, 123456.0, 1234567.0, 1e15, 1e16, 1e17, 1e300,
                             std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(), std::nan("")}) {
    EXPECT_EQ(JsonValue(value).dump(), nlohmann::json(value).dump()) << value;
    EXPECT_EQ(JsonValue(value).dump(JsonReals::Floats), FloatJson(value).dump()) << value;
  }
  EXPECT_EQ(JsonValue(std::numeric_limits<std::int64_t>::min()).dump(), "-9223372036854775808");
  EXPECT_EQ(JsonValue(std::numeric_limits<std::uint64_t>::max()).dump(), "18446744073709551615");
  EXPECT_EQ(JsonValue(-7).dump(), "-7");
  EXPECT_EQ(JsonValue(true).dump() + JsonValue(false).dump() + JsonValue().dump(), "truefalsenull");
}

// Lists of pairs are objects, other lists arrays, as the writers build them; members are added
// and taken away in place.
TEST(JsonValueTest, ShapesAreBuiltAsBefore) {
  const std::array<float, 4> colour = {1, 0.5f, 0.25f, 1};
  JsonValue mine = {{"b", {{"x", 1}, {"y", {1, 2}}}},
                    {"a", {"one", "two"}},
                    {"pair", {{"k", 1}}},
                    {"list", {1, "k"}},
                    {"scenes", {{{"nodes", {0, 1}}}}},
                    {"colour", colour},
                    {"first", {{"k", 1}, {"k", 2}}}};
  FloatJson theirs = {{"b", {{"x", 1}, {"y", {1, 2}}}},
                      {"a", {"one", "two"}},
                      {"pair", {{"k", 1}}},
                      {"list", {1, "k"}},
                      {"scenes", {{{"nodes", {0, 1}}}}},
                      {"colour", colour},
                      {"first", {{"k", 1}, {"k", 2}}}};
  EXPECT_EQ(mine.dump(JsonReals::Floats), theirs.dump());

  mine["views"].push_back({{"buffer", 0}});
  mine["views"][2]["target"] = 34962;
  mine["extensionsUsed"].push_back("EXT");
  mine["b"].erase("x");
  mine["empty"] = JsonValue::array();
  mine["none"] = JsonValue::object();
  theirs["views"].push_back({{"buffer", 0}});
  theirs["views"][2]["target"] = 34962;
  theirs["extensionsUsed"].push_back("EXT");
  theirs["b"].erase("x");
  theirs["empty"] = FloatJson::array();
  theirs["none"] = FloatJson::object();
  EXPECT_EQ(mine.dump(JsonReals::Floats), theirs.dump());
  EXPECT_EQ(mine["views"].size(), 3u);
  EXPECT_TRUE(mine.contains("none"));
  EXPECT_FALSE(mine["views"].contains("none"));
  EXPECT_TRUE(mine["empty"].empty());
  EXPECT_TRUE(JsonValue().empty());

  // A copy is a tree of its own.
  JsonValue copy = mine;
  copy["a"].push_back("three");
  EXPECT_EQ(mine["a"].size(), 2u);
  EXPECT_EQ(copy["a"].size(), 3u);
}

}  // namespace
