#pragma once
// The one text form of numbers in everything the project writes: floats as the classic-locale
// default stream format (general notation, 6 significant digits, the bytes of printf's %.6g),
// whatever the process locale is.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Ostrel::Format {

// Longest float text: "-1.17549e-38" (12 bytes); "-nan" and "-inf" are shorter.
inline constexpr std::size_t kMaxFloatChars = 16;
// Longest unsigned 64-bit integer text.
inline constexpr std::size_t kMaxUnsignedChars = 20;

// Writes i_value at o_out, which must have room for kMaxFloatChars bytes; returns the end.
inline char* AppendFloat(char* o_out, float i_value) {
  return std::to_chars(o_out, o_out + kMaxFloatChars, i_value, std::chars_format::general, 6).ptr;
}

// Writes i_value at o_out, which must have room for kMaxUnsignedChars bytes; returns the end.
inline char* AppendUnsigned(char* o_out, std::uint64_t i_value) {
  return std::to_chars(o_out, o_out + kMaxUnsignedChars, i_value).ptr;
}

inline std::string FloatToString(float i_value) {
  char text[kMaxFloatChars];
  return std::string(text, AppendFloat(text, i_value));
}

}  // namespace Ostrel::Format
