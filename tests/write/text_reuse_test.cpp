// Text made once and reused by the building writer: the cache of float text and the runs of
// index numbers. Both must give exactly the text of a fresh conversion, whatever came before.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/building/Building.h>

#include <ostrel/utils/NumberFormat.h>
#include "write/obj/ObjText.h"

namespace {

using Ostrel::Format::FloatTextCache;
using Ostrel::Format::FloatToString;

float FromBits(std::uint32_t i_bits) {
  float value;
  std::memcpy(&value, &i_bits, sizeof value);
  return value;
}

// Writes the values one after another through the cache, each followed by a blank, and compares
// the whole text with fresh conversions: this also catches a copy that spills into its neighbour.
void ExpectSameAsFresh(FloatTextCache& io_cache, const std::vector<float>& i_values) {
  std::vector<char> buffer(i_values.size() * (Ostrel::Format::kMaxFloatChars + 1) + 16);
  char* pos = buffer.data();
  std::string expected;
  for (const float value : i_values) {
    pos = io_cache.append(pos, value);
    *pos++ = ' ';
    expected += FloatToString(value) + ' ';
  }
  const std::string actual(buffer.data(), pos);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0, first = 0; i < i_values.size(); ++i) {
    const std::size_t end = expected.find(' ', first);
    if (actual.compare(first, end - first, expected, first, end - first) != 0) {
      ADD_FAILURE() << "value " << i << ": \"" << actual.substr(first, end - first) << "\" instead of \""
                    << expected.substr(first, end - first) << "\"";
      return;
    }
    first = end + 1;
  }
}

TEST(FloatTextCache, ZeroesAndSpecialValuesOnFirstUse) {
  // A fresh cache holds +0 in every slot; -0 differs only in its sign bit.
  FloatTextCache cache;
  ExpectSameAsFresh(cache, {-0.0f, 0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                            FLT_MIN, -FLT_MAX, FLT_TRUE_MIN, 1e6f, 999999.5f, 0.0001f, 1e-5f, -1.17549e-38f});
}

TEST(FloatTextCache, RepeatedAndCollidingValues) {
  // Far more distinct values than slots, each met several times in shuffled order: every slot
  // is taken over again and again, and hits and misses alternate.
  std::mt19937 random(7);
  std::vector<float> values;
  for (int i = 0; i < 40000; ++i) values.push_back(FromBits(static_cast<std::uint32_t>(random())));
  for (int cell = -50; cell < 50; ++cell) {
    for (const float unit : {0.1f, 0.433333f, -0.466667f, 0.7f, 1.0f / 3.0f}) {
      values.push_back(unit + static_cast<float>(cell));
    }
  }
  std::vector<float> sequence;
  for (int round = 0; round < 3; ++round) sequence.insert(sequence.end(), values.begin(), values.end());
  std::shuffle(sequence.begin(), sequence.end(), random);
  FloatTextCache cache;
  ExpectSameAsFresh(cache, sequence);
}

TEST(NumberTexts, RunsOfNumbers) {
  // (first number, count): mid-decade starts, decades of one number, carries into a new digit,
  // the largest index an output may hold and beyond.
  const std::pair<std::uint64_t, std::size_t> runs[] = {
      {1, 25},    {7, 5}, {9, 1},           {95, 10},         {0, 3},         {999990, 20},
      {1000, 30}, {5, 3}, {4294967290u, 7}, {99999999999, 3}, {123456789, 0},
  };
  Ostrel::Buildings::detail::NumberTexts texts;
  for (const auto& [first, count] : runs) {
    const auto* entries = texts.fill(first, count);
    for (std::size_t i = 0; i < count; ++i) {
      EXPECT_EQ(std::string(entries[i].text, entries[i].length), std::to_string(first + i))
          << "run from " << first << ", entry " << i;
    }
  }
}

}  // namespace
