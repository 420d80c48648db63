#pragma once
// Numbers in OBJ text, read as the classic-locale stream reads them whatever the process locale:
// floats for the v, vt and vn lines, and index fields read as atoi reads them.

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

#include <ostrel/utils/Numbers.h>

namespace Obj::detail {

// White space as the classic locale classifies it: blank, tab, line feed, vertical tab, form
// feed and carriage return.
inline bool IsSpace(char i_c) { return i_c == ' ' || (i_c >= '\t' && i_c <= '\r'); }
inline bool IsDigit(char i_c) { return i_c >= '0' && i_c <= '9'; }

inline const char* SkipSpace(const char* i_pos, const char* i_end) {
  // Every white space character lies at or below ' ': most bytes are told apart by one test.
  while (i_pos != i_end && static_cast<unsigned char>(*i_pos) <= ' ' && IsSpace(*i_pos)) ++i_pos;
  return i_pos;
}

inline const char* SkipWord(const char* i_pos, const char* i_end) {
  while (i_pos != i_end && (static_cast<unsigned char>(*i_pos) > ' ' || !IsSpace(*i_pos))) ++i_pos;
  return i_pos;
}

// For a number text that std::from_chars found out of range: true when it is too large (it
// overflows), false when it is too small (it underflows to zero). Only the decimal exponent of
// the first significant digit matters, since out-of-range values lie far from 1.
inline bool IsHuge(const char* i_first, const char* i_last) {
  constexpr long long kCap = 1'000'000'000'000LL;  // keeps the sums below from overflowing
  long long intDigits = 0;                         // significant digits before the point
  long long fracZeros = 0;                         // zeros after the point before the first significant digit
  bool significant = false;
  bool fraction = false;
  const char* p = i_first;
  for (; p != i_last && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') fraction = true;
    if (!IsDigit(*p)) continue;
    if (*p != '0') significant = true;
    if (!significant)
      fracZeros += fraction ? 1 : 0;
    else if (!fraction)
      intDigits = std::min(intDigits + 1, kCap);
  }
  long long exponent = 0;
  bool negativeExponent = false;
  if (p != i_last) ++p;
  if (p != i_last && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
  for (; p != i_last; ++p) exponent = std::min(exponent * 10 + (*p - '0'), kCap);
  const long long leading = intDigits > 0 ? intDigits - 1 : -std::min(fracZeros + 1, kCap);
  return leading + (negativeExponent ? -exponent : exponent) >= 0;
}

// Powers of ten that a float holds exactly (5^10 < 2^24).
inline constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                              1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

inline constexpr std::uint64_t kWholePowersOfTen[] = {1,      10,      100,      1000,     10000,
                                                      100000, 1000000, 10000000, 100000000};

// How many of the eight characters in i_word (the first in its lowest byte) are digits before
// the first that is not. A byte's top bit is set by subtracting '0' when it is below '0', and by
// adding 0x46 when it is above '9'; the bytes before it are digits, which neither borrow nor
// carry into it.
inline int LeadingDigits(std::uint64_t i_word) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first character is the lowest byte");
  const std::uint64_t outside =
      ((i_word - 0x3030303030303030u) | (i_word + 0x4646464646464646u)) & 0x8080808080808080u;
  return outside == 0 ? 8 : __builtin_ctzll(outside) / 8;
}

// The number the first i_count (1 to 8) digits of i_word make: moved to the top, with zeros
// before them, and joined in pairs, fours and eights by three multiplications.
inline std::uint64_t EightDigits(std::uint64_t i_word, int i_count) {
  std::uint64_t values = (i_word - 0x3030303030303030u) << (8 * (8 - i_count));
  values = (values * (10 * 256 + 1)) >> 8;
  values = ((values & 0x00FF00FF00FF00FFu) * (100 * 65536 + 1)) >> 16;
  return ((values & 0x0000FFFF0000FFFFu) * (10000 * (std::uint64_t{1} << 32) + 1)) >> 32;
}

// The eight bytes from i_pos (the first in the lowest byte), with zeros for those at or past
// i_end. Reads only bytes of [i_begin, i_end): when fewer than eight lie from i_pos to i_end, the
// eight before i_end are read and moved down, so that the last number of a line is read a word at
// a time too.
inline std::uint64_t WordAt(const char* i_pos, const char* i_begin, const char* i_end) {
  std::uint64_t word = 0;
  const auto left = static_cast<std::size_t>(i_end - i_pos);
  if (left >= 8) {
    std::memcpy(&word, i_pos, sizeof word);
  } else if (i_end - i_begin >= 8 && left > 0) {
    std::memcpy(&word, i_end - 8, sizeof word);
    word >>= 8 * (8 - left);
  } else {
    std::memcpy(&word, i_pos, left);
  }
  return word;
}

// Reads a plain decimal ("12", "-0.25", "3.") at i_pos, just after its sign, when its digits
// make a whole number of at most 2^24 and it has at most ten decimal places: as such a whole
// number and power of ten are both exact floats, one float division rounds the value correctly,
// giving the very bits std::from_chars gives, several times faster. Nearly every number of a
// unit file is of this form. False, with nothing read, for any other text (an exponent
// included), which the general way then reads. The digits before and after the point are read
// eight at a time from the bytes of [i_begin, i_end), a range around i_pos.
[[gnu::always_inline]] inline bool ReadPlainDecimal(const char* i_pos, const char* i_begin, const char* i_end,
                                                    bool i_negative, const char*& o_pos, float& o_value) {
#if FLT_EVAL_METHOD != 0
  // Floats computed at a wider precision would round twice.
  return false;
#endif
  constexpr std::uint32_t kLargest = std::uint32_t{1} << 24;
  constexpr int kMostPlaces = 10;
  std::uint32_t whole = 0;  // the digits as a whole number, point ignored
  int places = 0;           // digits after the point
  const char* p = i_pos;
  // Up to seven digits before the point make less than 2^24; eight or more are read one by one.
  const std::uint64_t first = WordAt(p, i_begin, i_end);
  const int wholeDigits = LeadingDigits(first);
  bool digits = wholeDigits > 0;
  if (wholeDigits == 1) {
    // The most common case, a single digit, without the multiplications.
    whole = static_cast<std::uint32_t>(first & 0xF);
    ++p;
  } else if (wholeDigits < 8) {
    if (digits) whole = static_cast<std::uint32_t>(EightDigits(first, wholeDigits));
    p += wholeDigits;
  } else {
    for (; p != i_end && IsDigit(*p); ++p) {
      whole = whole * 10 + static_cast<std::uint32_t>(*p - '0');
      if (whole > kLargest) return false;
    }
  }
  if (p != i_end && *p == '.') {
    ++p;
    // Up to eight digits after the point at once.
    const std::uint64_t word = WordAt(p, i_begin, i_end);
    const int count = LeadingDigits(word);
    if (count > 0) {
      const std::uint64_t joined = std::uint64_t{whole} * kWholePowersOfTen[count] + EightDigits(word, count);
      if (joined > kLargest) return false;
      whole = static_cast<std::uint32_t>(joined);
      places = count;
      digits = true;
      p += count;
      // A ninth digit and more, one by one.
      if (count == 8) {
        for (; p != i_end && IsDigit(*p); ++p) {
          whole = whole * 10 + static_cast<std::uint32_t>(*p - '0');
          if (whole > kLargest || ++places > kMostPlaces) return false;
        }
      }
    }
  }
  if (!digits || (p != i_end && (*p == 'e' || *p == 'E'))) return false;
  const float value = static_cast<float>(whole) / kExactPowersOfTen[places];
  o_value = i_negative ? -value : value;
  o_pos = p;
  return true;
}

// Reads one float as classic-locale formatted stream extraction does: skips white space, takes
// an optional sign, digits with at most one point, and an exponent (e or E, an optional sign,
// digits) once a digit has been seen; the taken text must then be a number as a whole. So "1,5"
// reads 1 and leaves ",5", "1e" fails, "+.5" reads 0.5. A value beyond the float range fails;
// one below it reads as a zero of its sign. io_pos moves past the taken text; o_value is written
// only on success. Bytes of [i_begin, i_end) may be read (io_pos when i_begin is null).
[[gnu::always_inline]] inline bool ReadFloat(const char*& io_pos, const char* i_end, float& o_value,
                                             const char* i_begin = nullptr) {
  const char* const begin = i_begin ? i_begin : io_pos;
  const char* p = SkipSpace(io_pos, i_end);
  const char* number = p;  // what std::from_chars gets: it takes "-" but not "+"
  bool negative = false;
  if (p != i_end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
    if (!negative) number = p;
  }
  if (ReadPlainDecimal(p, begin, i_end, negative, io_pos, o_value)) return true;
  bool mantissa = false, point = false, exponent = false;
  for (; p != i_end; ++p) {
    const char c = *p;
    if (IsDigit(c)) {
      mantissa = true;
    } else if (c == '.' && !point && !exponent) {
      point = true;
    } else if ((c == 'e' || c == 'E') && mantissa && !exponent) {
      exponent = true;
      if (p + 1 != i_end && (p[1] == '+' || p[1] == '-')) ++p;
    } else {
      break;
    }
  }
  io_pos = p;
  float value = 0;
  const std::from_chars_result result = std::from_chars(number, p, value, std::chars_format::general);
  if (result.ptr != p) return false;
  if (result.ec == std::errc::result_out_of_range) {
    if (IsHuge(number, p)) return false;
    value = negative ? -0.0f : 0.0f;
  } else if (result.ec != std::errc()) {
    return false;
  }
  o_value = value;
  return true;
}

// Reads up to i_count floats from the rest of a line into o_values (which hold 0); the first
// failure leaves it and every later component as they are. Returns how many were read.
[[gnu::always_inline]] inline int ReadComponents(const char* i_pos, const char* i_end, float* o_values, int i_count) {
  const char* const begin = i_pos;
  for (int i = 0; i < i_count; ++i) {
    if (!ReadFloat(i_pos, i_end, o_values[i], begin)) return i;
  }
  return i_count;
}

// An index field read as atoi reads it (optional sign, digits up to the first other character,
// 0 without digits), but clamped to the range of int instead of overflowing.
inline int ToInt(std::string_view i_field) {
  int value = 0;
  Ostrel::Numbers::Clamp(Ostrel::Numbers::ReadLeading(i_field), value);
  return value;
}

}  // namespace Obj::detail
