#pragma once
// Whole numbers read from text, one reader for every place that reads them: the lenient reading
// of an option's value (the digits a text starts with, as atoi reads them, but never overflowing)
// and the strict one of a table's field (the whole text is the number). Also sums and products
// of counts that saturate instead of wrapping, for counting buildings of any size.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>

namespace Ostrel::Numbers {

// The whole number a text starts with at i_pos: an optional sign, then decimal digits.
struct Leading {
  bool negative = false;
  std::uint64_t magnitude = 0;  // saturates at 2^64 - 1
  bool saturated = false;       // the digits say more than 2^64 - 1
  std::size_t end = 0;          // where the digits stop
  bool hasDigits = false;
};

inline Leading ReadLeading(std::string_view i_text, std::size_t i_pos = 0) {
  Leading read;
  if (i_pos < i_text.size() && (i_text[i_pos] == '+' || i_text[i_pos] == '-'))
    read.negative = i_text[i_pos++] == '-';
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (; i_pos < i_text.size() && i_text[i_pos] >= '0' && i_text[i_pos] <= '9'; ++i_pos) {
    const auto digit = static_cast<std::uint64_t>(i_text[i_pos] - '0');
    if (read.saturated || read.magnitude > (kMax - digit) / 10) {
      read.magnitude = kMax;
      read.saturated = true;
    } else {
      read.magnitude = read.magnitude * 10 + digit;
    }
    read.hasDigits = true;
  }
  read.end = i_pos;
  return read;
}

// The value of a read number in the range of T, the nearest end of the range when it lies
// beyond; false when it does. An unsigned T takes no sign '-', not even on a zero.
template <typename T>
bool Clamp(const Leading& i_read, T& o_value) {
  static_assert(std::is_integral_v<T>, "whole numbers only");
  constexpr T kMin = std::numeric_limits<T>::min();
  constexpr T kMax = std::numeric_limits<T>::max();
  if constexpr (std::is_unsigned_v<T>) {
    if (i_read.negative) {
      o_value = 0;
      return false;
    }
  } else if (i_read.negative) {
    const std::uint64_t limit = static_cast<std::uint64_t>(-(kMin + 1)) + 1;  // |kMin|
    if (i_read.saturated || i_read.magnitude > limit) {
      o_value = kMin;
      return false;
    }
    o_value =
        i_read.magnitude == 0 ? T{0} : static_cast<T>(-static_cast<std::int64_t>(i_read.magnitude - 1) - 1);
    return true;
  }
  if (i_read.saturated || i_read.magnitude > static_cast<std::uint64_t>(kMax)) {
    o_value = kMax;
    return false;
  }
  o_value = static_cast<T>(i_read.magnitude);
  return true;
}

enum class WholeFault { None, Empty, NotWhole, OutOfRange };

// i_text, whole, as a number of type T: an optional sign and decimal digits, nothing else (no
// blanks). o_value is set only when the fault is None.
template <typename T>
WholeFault ParseWhole(std::string_view i_text, T& o_value) {
  if (i_text.empty()) return WholeFault::Empty;
  const Leading read = ReadLeading(i_text);
  if (!read.hasDigits || read.end != i_text.size()) return WholeFault::NotWhole;
  T value{};
  if (!Clamp(read, value)) return WholeFault::OutOfRange;
  o_value = value;
  return WholeFault::None;
}

inline std::uint64_t SatAdd(std::uint64_t i_a, std::uint64_t i_b) {
  const std::uint64_t sum = i_a + i_b;
  return sum < i_a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

inline std::uint64_t SatMul(std::uint64_t i_a, std::uint64_t i_b) {
  if (i_a != 0 && i_b > std::numeric_limits<std::uint64_t>::max() / i_a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return i_a * i_b;
}

}  // namespace Ostrel::Numbers
