// Number text: floats must come out byte for byte as the classic-locale default stream format.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <locale>
#include <random>
#include <sstream>
#include <string>

#include <ostrel/utils/NumberFormat.h>

namespace {

using Ostrel::Format::FloatToString;

// The reference: a stream in the classic locale with default settings, writing into a fixed
// buffer so that millions of values stay fast.
struct StreamFormat : std::streambuf {
  char buffer[64];
  std::ostream out{this};
  StreamFormat() { out.imbue(std::locale::classic()); }
  std::string operator()(float i_value) {
    setp(buffer, buffer + sizeof buffer);
    out << i_value;
    return std::string(pbase(), pptr());
  }
};

float FromBits(std::uint32_t i_bits) {
  float value;
  std::memcpy(&value, &i_bits, sizeof value);
  return value;
}

std::uint32_t Bits(float i_value) {
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  return bits;
}

// Counts the values whose text differs from the stream's, reporting the first few.
struct Comparer {
  StreamFormat stream;
  int mismatches = 0;
  void operator()(float i_value) {
    const std::string expected = stream(i_value);
    const std::string actual = FloatToString(i_value);
    if (actual == expected) return;
    if (++mismatches <= 10)
      ADD_FAILURE() << "bits 0x" << std::hex << Bits(i_value) << ": \"" << actual << "\" instead of \""
                    << expected << '"';
  }
  // The value, its negation and both neighbours on either side.
  void Around(float i_value) {
    float up = i_value, down = i_value;
    for (int step = 0; step < 3; ++step) {
      (*this)(up);
      (*this)(-up);
      (*this)(down);
      (*this)(-down);
      up = std::nextafter(up, INFINITY);
      down = std::nextafter(down, -INFINITY);
    }
  }
};

TEST(NumberFormat, Examples) {
  const std::pair<float, const char*> cases[] = {
      {1.0f, "1"},
      {0.5f, "0.5"},
      {-2.25f, "-2.25"},
      {0.1f, "0.1"},
      {1e6f, "1e+06"},
      {999999.5f, "1e+06"},
      {999999.4f, "999999"},
      {100000.0f, "100000"},
      {0.0001f, "0.0001"},
      {0.00001f, "1e-05"},
      {-0.0f, "-0"},
      {0.0f, "0"},
      {123456789.0f, "1.23457e+08"},
      {FLT_MAX, "3.40282e+38"},
      {-FLT_MIN, "-1.17549e-38"},
      {FLT_TRUE_MIN, "1.4013e-45"},
      {1.5e-40f, "1.50001e-40"},
      {1e38f, "1e+38"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FloatToString(value), text) << text;

  char digits[Ostrel::Format::kMaxUnsignedChars];
  EXPECT_EQ(std::string(digits, Ostrel::Format::AppendUnsigned(digits, 0)), "0");
  EXPECT_EQ(std::string(digits, Ostrel::Format::AppendUnsigned(digits, UINT64_MAX)), "18446744073709551615");
}

TEST(NumberFormat, MatchesTheClassicStreamOverASweep) {
  Comparer compare;
  compare.Around(0.0f);
  compare.Around(FLT_TRUE_MIN);
  compare.Around(FLT_MIN);
  compare.Around(FLT_MAX);
  for (int exponent = -45; exponent <= 38; ++exponent) {
    const double power = std::pow(10.0, exponent);
    compare.Around(static_cast<float>(power));
    // Where six significant digits round up to the next power of ten, and halfway points.
    compare.Around(static_cast<float>(9.999995 * power));
    compare.Around(static_cast<float>(9.999985 * power));
    compare.Around(static_cast<float>(1.000005 * power));
    compare.Around(static_cast<float>(1.234565 * power));
  }
  for (const float value : {999999.5f, 9.999995e-5f, 99999.95f, 9999995.0f, 0.00099999995f, 0.5f, 2.5e-45f})
    compare.Around(value);
  // Every binade's first value and the last of the one before: the formatter's paths and its
  // per-binade tables change there.
  for (int exponent = -149; exponent <= 127; ++exponent) compare.Around(std::ldexp(1.0f, exponent));
  // Every denormal with a short bit pattern, and a stride through the rest.
  for (std::uint32_t bits = 1; bits < 0x800000u; bits = bits < 4096 ? bits + 1 : bits + 7919)
    compare(FromBits(bits));

  std::mt19937 random(20240607u);
  for (int i = 0; i < 2'000'000; ++i) {
    const float value = FromBits(static_cast<std::uint32_t>(random()));
    if (std::isfinite(value)) compare(value);
  }
  EXPECT_EQ(compare.mismatches, 0);
}

// Grouping and a decimal comma in the global locale change nothing.
struct CommaNumpunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(NumberFormat, IgnoresTheGlobalLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
  const std::string fraction = FloatToString(-2.25f);
  const std::string large = FloatToString(123456.0f);
  char digits[Ostrel::Format::kMaxUnsignedChars];
  const std::string count(digits, Ostrel::Format::AppendUnsigned(digits, 1234567));
  std::locale::global(saved);
  EXPECT_EQ(fraction, "-2.25");
  EXPECT_EQ(large, "123456");
  EXPECT_EQ(count, "1234567");
}

}  // namespace
