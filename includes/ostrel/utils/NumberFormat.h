#pragma once
// The one text form of numbers in everything the project writes: floats as the classic-locale
// default stream format (general notation, 6 significant digits, the bytes of printf's %.6g),
// whatever the process locale is.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

// Writes i_text at o_out, 16 bytes at once whatever its length: o_out must have room for 16
// bytes. Returns the end of the text.
inline char* AppendShortText(char* o_out, const char (&i_text)[16], std::size_t i_length) {
  std::memcpy(o_out, i_text, 16);
  return o_out + i_length;
}

// The text of floats formatted before, for writers that meet the same few values again and again
// (a building's coordinates are a unit's coordinates plus whole cells). Direct-mapped by the bits
// of the value; every slot always holds some value together with its own text, so a hit is exact
// by construction and a miss only costs one AppendFloat.
class FloatTextCache {
 public:
  FloatTextCache() : m_slots(kSlots) {
    // Start every slot as the value +0 with its text, "0": a valid pair wherever it sits.
    for (Slot& slot : m_slots) slot.text[0] = '0';
  }

  // Writes the text of i_value at o_out, which must have room for kMaxFloatChars bytes (the
  // whole slot is copied); returns the end of the text.
  char* append(char* o_out, float i_value) {
    std::uint32_t bits;
    std::memcpy(&bits, &i_value, sizeof bits);
    Slot& slot = m_slots[(bits * 0x9E3779B1u) >> (32 - kSlotBits)];
    if (slot.bits != bits) {
      char text[kMaxFloatChars];
      const char* end = AppendFloat(text, i_value);
      slot.bits = bits;
      slot.length = static_cast<std::uint32_t>(end - text);
      std::memset(slot.text, 0, sizeof slot.text);
      std::memcpy(slot.text, text, slot.length);
    }
    return AppendShortText(o_out, slot.text, slot.length);
  }

 private:
  static constexpr int kSlotBits = 13;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
  static_assert(kMaxFloatChars <= 16, "a float's text must fit a slot");
  struct Slot {
    std::uint32_t bits = 0;    // the value's bit pattern
    std::uint32_t length = 1;  // bytes of text
    char text[16] = {};        // the value's text, zero-padded
  };
  std::vector<Slot> m_slots;
};

inline std::string FloatToString(float i_value) {
  char text[kMaxFloatChars];
  return std::string(text, AppendFloat(text, i_value));
}

}  // namespace Ostrel::Format
