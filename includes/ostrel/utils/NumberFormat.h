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

namespace detail {

inline constexpr std::uint64_t kPowersOfTen[] = {
    1u,           10u,           100u,           1000u,           10000u,
    100000u,      1000000u,      10000000u,      100000000u,      1000000000u,
    10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u};

// i_value / 2^i_shift (i_shift from 1 to 63) rounded to the nearest whole number, a tie to the
// even one.
inline std::uint64_t ShiftRounded(std::uint64_t i_value, int i_shift) {
  const std::uint64_t quotient = i_value >> i_shift;
  const std::uint64_t rest = i_value & ((std::uint64_t{1} << i_shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (i_shift - 1);
  if (rest > half || (rest == half && (quotient & 1) != 0)) return quotient + 1;
  return quotient;
}

// i_numerator / i_denominator rounded to the nearest whole number, a tie to the even one.
inline std::uint64_t DivideRounded(std::uint64_t i_numerator, std::uint64_t i_denominator) {
  const std::uint64_t quotient = i_numerator / i_denominator;
  const std::uint64_t twice = 2 * (i_numerator % i_denominator);
  if (twice > i_denominator || (twice == i_denominator && (quotient & 1) != 0)) return quotient + 1;
  return quotient;
}

// The six significant digits of m * 2^e (m of 24 bits, its top bit set), rounded exactly as
// printf rounds (to nearest, a tie to even), when they can be found with 64-bit integers: o_digits
// in [100000, 999999] and o_exponent the decimal exponent of the first digit. False for values
// too large or too small for that.
inline bool SixDigits(std::uint64_t i_m, int i_e, std::uint64_t& o_digits, int& o_exponent) {
  // i_m has 24 bits, so the value lies in [2^(i_e + 23), 2^(i_e + 24)); log10(2) is about
  // 0.30103: a first guess of the exponent, off by one at most.
  const int binary = i_e + 23;
  int exponent = (binary * 30103) / 100000 - (binary < 0 ? 1 : 0);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int scale = 5 - exponent;  // digits = value * 10^scale
    std::uint64_t digits = 0;
    if (i_e >= 0) {
      if (i_e > 39 || scale > 0 || -scale > 14) return false;
      digits = DivideRounded(i_m << i_e, kPowersOfTen[-scale]);
    } else if (scale >= 0) {
      if (scale > 12 || -i_e > 63) return false;
      digits = ShiftRounded(i_m * kPowersOfTen[scale], -i_e);
    } else {
      if (-i_e > 40 || -scale > 14) return false;
      digits = DivideRounded(i_m, (std::uint64_t{1} << -i_e) * kPowersOfTen[-scale]);
    }
    if (digits < 100000) {
      --exponent;
      continue;
    }
    if (digits >= 10000000) {
      ++exponent;
      continue;
    }
    if (digits >= 1000000) {
      // Either the guess was low, or rounding carried into a seventh digit (999999.5 -> 1e+06).
      if (digits == 1000000) {
        o_digits = 100000;
        o_exponent = exponent + 1;
        return true;
      }
      ++exponent;
      continue;
    }
    o_digits = digits;
    o_exponent = exponent;
    return true;
  }
  return false;
}

// What the common path of AppendFloat needs of each binary exponent: the decimal exponent of
// the binade's first value, and the first 24-bit significand at which it is one more.
struct Binade {
  int exponent = 0;                // floor(log10(2^b)) for the binade [2^b, 2^(b + 1))
  std::uint32_t carry = 1u << 24;  // the least significand of a value >= 10^(exponent + 1)
};

// Biased exponents of the binades the common path takes: [2^-23, 2^19). Below, seven or more
// decimal places need more than 64 bits; above, the digits need a division.
inline constexpr std::uint32_t kFirstCommonBiased = 127 - 23;
inline constexpr std::uint32_t kLastCommonBiased = 127 + 18;

struct BinadeTable {
  Binade rows[kLastCommonBiased - kFirstCommonBiased + 1];
};

constexpr BinadeTable MakeBinades() {
  BinadeTable table{};
  for (std::uint32_t biased = kFirstCommonBiased; biased <= kLastCommonBiased; ++biased) {
    const int b = static_cast<int>(biased) - 127;
    // floor(log10(2^b)), counted rather than estimated.
    int exponent = 0;
    if (b >= 0) {
      while (kPowersOfTen[exponent + 1] <= (std::uint64_t{1} << b)) ++exponent;
    } else {
      while (std::uint64_t{1} << -b > kPowersOfTen[-exponent]) --exponent;
    }
    // The value is m * 2^(b - 23): it reaches 10^(exponent + 1) when m >= 10^(exponent + 1) *
    // 2^(23 - b), rounded up.
    const int next = exponent + 1;
    std::uint64_t carry = 0;
    if (next >= 0) {
      carry = kPowersOfTen[next] << (23 - b);
    } else {
      const std::uint64_t numerator = std::uint64_t{1} << (23 - b);
      carry = (numerator + kPowersOfTen[-next] - 1) / kPowersOfTen[-next];
    }
    Binade& row = table.rows[biased - kFirstCommonBiased];
    row.exponent = exponent;
    row.carry = carry < (std::uint64_t{1} << 24) ? static_cast<std::uint32_t>(carry) : (1u << 24);
  }
  return table;
}

inline constexpr BinadeTable kBinades = MakeBinades();

// The six digits of a value of the common binades (m of 24 bits, its top bit set, biased its
// float exponent), as SixDigits finds them, without a division or a search: the binade gives the
// decimal exponent, m * 10^(5 - exponent) fits 64 bits, and the binary exponent is a shift.
[[gnu::always_inline]] inline void CommonSixDigits(std::uint64_t i_m, std::uint32_t i_biased,
                                                 std::uint64_t& o_digits, int& o_exponent) {
  const Binade& row = kBinades.rows[i_biased - kFirstCommonBiased];
  const int exponent = row.exponent + (i_m >= row.carry ? 1 : 0);
  const int shift = 150 - static_cast<int>(i_biased);
  const std::uint64_t scaled = i_m * kPowersOfTen[5 - exponent];
  // Rounded to nearest, a tie to even, without a branch (whether a value rounds up is as good as
  // random, and a mispredicted branch would cost more than the rest of the conversion): adding
  // just under a half, and one more when the truncated digits are odd, carries into them exactly
  // when the rest is above a half, or a half and they are odd. scaled stays below 2^64 with it:
  // below 2^24 * 10^12 < 1.7e19, the half at most 2^45.
  const std::uint64_t odd = (scaled >> shift) & 1;
  const std::uint64_t digits = (scaled + (std::uint64_t{1} << (shift - 1)) - 1 + odd) >> shift;
  // Rounding may carry into a seventh digit (999999.5 -> 1e+06).
  const bool carried = digits == 1000000;
  o_digits = carried ? 100000 : digits;
  o_exponent = exponent + (carried ? 1 : 0);
}

// "00" to "99", two characters each.
inline constexpr char kTwoDigits[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// "000" to "999" as the low three bytes of a word each, the first digit in the lowest byte.
struct ThreeDigitTable {
  std::uint32_t words[1000];
};

constexpr ThreeDigitTable MakeThreeDigits() {
  ThreeDigitTable table{};
  for (std::uint32_t i = 0; i < 1000; ++i) {
    table.words[i] = ('0' + i / 100) | ('0' + i / 10 % 10) << 8 | ('0' + i % 10) << 16;
  }
  return table;
}

inline constexpr ThreeDigitTable kThreeDigits = MakeThreeDigits();

// The six digits of i_digits (in [100000, 999999]) as characters in the low six bytes of a
// word, the first digit in the lowest byte, as they lie in memory once stored. They are put
// together in a register from two halves of three digits: bytes stored one pair at a time and
// read back as one word would stall on every number.
[[gnu::always_inline]] inline std::uint64_t DigitWord(std::uint32_t i_digits) {
  // i_digits / 1000, exact below 10^6: the multiplier is 2^30 / 1000 rounded up, and its error
  // stays below the least fraction that could carry.
  const std::uint32_t first = static_cast<std::uint32_t>((std::uint64_t{i_digits} * 1073742u) >> 30);
  const std::uint32_t second = i_digits - first * 1000;
  return std::uint64_t{kThreeDigits.words[first]} | std::uint64_t{kThreeDigits.words[second]} << 24;
}

// Writes six digits with the decimal exponent of the first as %.6g does; returns the end. It
// writes whole eight-byte words and lets the next write cover what is too much, so o_out must
// have room for 15 bytes whatever the text's length.
inline char* PutGeneral(char* o_out, std::uint64_t i_digits, int i_exponent) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the digits' word is stored as it lies");
  const std::uint64_t word = DigitWord(static_cast<std::uint32_t>(i_digits));
  // Each digit's value in its byte; the highest byte that is not zero is the last digit that is
  // not a trailing zero (the first digit never is zero).
  const std::uint64_t values = word - 0x303030303030u;
  const int last = (63 - __builtin_clzll(values)) / 8;
  if (i_exponent < -4 || i_exponent >= 6) {
    o_out[0] = static_cast<char>(word);
    o_out[1] = '.';
    const std::uint64_t rest = word >> 8;
    std::memcpy(o_out + 2, &rest, 8);
    o_out += last > 0 ? last + 2 : 1;
    o_out[0] = 'e';
    o_out[1] = i_exponent < 0 ? '-' : '+';
    const int magnitude = i_exponent < 0 ? -i_exponent : i_exponent;
    o_out += 2;
    if (magnitude >= 100) *o_out++ = static_cast<char>('0' + magnitude / 100);
    std::memcpy(o_out, kTwoDigits + 2 * (magnitude % 100), 2);
    return o_out + 2;
  }
  if (i_exponent < 0) {
    // "0." and up to three more zeros before the first digit.
    std::memcpy(o_out, "0.000000", 8);
    o_out += 1 - i_exponent;
    std::memcpy(o_out, &word, 8);
    return o_out + last + 1;
  }
  std::memcpy(o_out, &word, 8);
  if (last <= i_exponent) return o_out + i_exponent + 1;
  o_out[i_exponent + 1] = '.';
  const std::uint64_t fraction = word >> (8 * (i_exponent + 1));
  std::memcpy(o_out + i_exponent + 2, &fraction, 8);
  return o_out + last + 2;
}

// A float's text held in registers: its bytes in memory order in two little-endian words, the
// first in low, then high; bytes past length are left over from the making.
struct FloatWords {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  std::size_t length = 0;
};

// The text of six digits in plain notation without a sign ("123.457", "0.00123457"), for a
// decimal exponent of the first digit from -4 to 5, as PutGeneral writes it: at most 11 bytes,
// so high holds at most 3. It is put together in registers without a branch, so that a writer may
// store it in more than one place without reading it back (bytes read back from overlapping
// stores wait for them), and so that values of mixed sizes, such as a large piece's coordinates,
// cost no mispredicted branches.
[[gnu::always_inline]] inline FloatWords UnsignedPlainWords(std::uint64_t i_digits, int i_exponent) {
  const std::uint64_t word = DigitWord(static_cast<std::uint32_t>(i_digits));
  const int last = (63 - __builtin_clzll(word - 0x303030303030u)) / 8;  // as in PutGeneral
  // From 1: the first i_exponent + 1 digits, the point, then the rest moved up by a byte.
  const int whole = i_exponent + 1;
  const std::uint64_t wholeMask = (std::uint64_t{1} << (8 * (whole & 7))) - 1;
  const std::uint64_t large = (word & wholeMask) | (std::uint64_t{'.'} << (8 * (whole & 7))) |
                              ((word & ~wholeMask) << 8);
  const std::size_t largeLength = static_cast<std::size_t>(last >= whole ? last + 2 : whole);
  // Below 1: "0.", up to three zeros, then the digits, starting at byte 1 - i_exponent (2 to 5).
  const int lead = (1 - i_exponent) & 7;
  const std::uint64_t zeros = 0x3030303030302E30u & ((std::uint64_t{1} << (8 * lead)) - 1);
  const std::uint64_t small = zeros | (word << (8 * lead));
  const std::uint64_t smallHigh = word >> ((64 - 8 * lead) & 63);
  const std::size_t smallLength = static_cast<std::size_t>(lead + last + 1);
  FloatWords words;
  const bool below = i_exponent < 0;
  words.low = below ? small : large;
  words.high = below ? smallHigh : 0;
  words.length = below ? smallLength : largeLength;
  return words;
}

// Stores a plain text's words at o_out (room for 13 bytes), after a minus when i_negative;
// returns the end. The minus is stored whatever the sign, and the text after it or over it.
[[gnu::always_inline]] inline char* PutUnsignedPlainWords(char* o_out, const FloatWords& i_words,
                                                         std::uint32_t i_negative) {
  *o_out = '-';
  o_out += i_negative;
  const auto high = static_cast<std::uint32_t>(i_words.high);
  std::memcpy(o_out, &i_words.low, 8);
  std::memcpy(o_out + 8, &high, 4);
  return o_out + i_words.length;
}

// The text of i_value's magnitude in o_words when i_value is a value of the common binades (see
// AppendFloat) whose text is in plain notation, as nearly every coordinate of a building is;
// false for any other. Its text is a minus when the sign bit is set, then these words. Always
// inlined, as the functions it calls: a call would pass the words through memory.
[[gnu::always_inline]] inline bool UnsignedPlainFloatWords(float i_value, FloatWords& o_words) {
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  const std::uint32_t biased = (bits >> 23) & 0xFF;
  if (biased - kFirstCommonBiased > kLastCommonBiased - kFirstCommonBiased) return false;
  std::uint64_t digits = 0;
  int exponent = 0;
  CommonSixDigits((bits & 0x7FFFFF) | 0x800000u, biased, digits, exponent);
  if (exponent < -4 || exponent > 5) return false;
  o_words = UnsignedPlainWords(digits, exponent);
  return true;
}

}  // namespace detail

// Writes i_value at o_out, which must have room for kMaxFloatChars bytes; returns the end. Values
// from 2^-23 to 2^19, a building's coordinates among them, take a path of one multiplication and
// one shift; the rest of the common case is done with integers too, exactly; values far from 1,
// zeros, infinities and NaN take the standard library's way, which gives the same text more slowly.
inline char* AppendFloat(char* o_out, float i_value) {
  using detail::kFirstCommonBiased;
  using detail::kLastCommonBiased;
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  const std::uint32_t biased = (bits >> 23) & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (biased - kFirstCommonBiased <= kLastCommonBiased - kFirstCommonBiased) {
    std::uint64_t digits = 0;
    int exponent = 0;
    detail::CommonSixDigits(fraction | 0x800000u, biased, digits, exponent);
    if (exponent >= -4 && exponent <= 5) {
      static_assert(kMaxFloatChars >= 13, "a minus and both words are stored");
      return detail::PutUnsignedPlainWords(o_out, detail::UnsignedPlainWords(digits, exponent), bits >> 31);
    }
    if ((bits >> 31) != 0) *o_out++ = '-';
    return detail::PutGeneral(o_out, digits, exponent);
  }
  if (biased != 0 && biased != 0xFF) {
    std::uint64_t digits = 0;
    int exponent = 0;
    if (detail::SixDigits(fraction | 0x800000u, static_cast<int>(biased) - 150, digits, exponent)) {
      if ((bits >> 31) != 0) *o_out++ = '-';
      return detail::PutGeneral(o_out, digits, exponent);
    }
  }
  return std::to_chars(o_out, o_out + kMaxFloatChars, i_value, std::chars_format::general, 6).ptr;
}

// AppendFloat with its common case (a value in plain notation) inlined where it is called, for
// loops that format values too many and too varied for a FloatTextCache.
[[gnu::always_inline]] inline char* AppendFloatInline(char* o_out, float i_value) {
  detail::FloatWords words;
  if (!detail::UnsignedPlainFloatWords(i_value, words)) return AppendFloat(o_out, i_value);
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  return detail::PutUnsignedPlainWords(o_out, words, bits >> 31);
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
// by construction and a miss only costs one AppendFloat. The table starts small, so that a small
// output does not pay for clearing a large one, and doubles (up to 8,192 slots) whenever it has
// missed more often than it has slots: the sign that the values met outnumber them.
class FloatTextCache {
 public:
  FloatTextCache() : m_slots(std::size_t{1} << kFirstSlotBits) {}

  // Writes the text of i_value at o_out, which must have room for kMaxFloatChars bytes (the
  // whole slot is copied); returns the end of the text.
  // A hit, by far the most common case, is a few instructions inlined where the text goes; the
  // miss is a call of its own, so that its registers are not saved and restored at every hit.
  char* append(char* o_out, float i_value) {
    std::uint32_t bits;
    std::memcpy(&bits, &i_value, sizeof bits);
    const Slot& slot = m_slots[index(bits)];
    if (slot.bits != bits) return appendMissed(o_out, i_value, bits);
    return AppendShortText(o_out, slot.text, slot.length);
  }

 private:
  [[gnu::noinline]] char* appendMissed(char* o_out, float i_value, std::uint32_t i_bits) {
    if (++m_misses > m_slots.size() && m_slots.size() < kMaxSlots) grow();
    Slot* slot = &m_slots[index(i_bits)];
    slot->bits = i_bits;
    // Plain text goes from its registers to the slot and the output alike: copied from the
    // slot, it would be read back from the stores that just made it, and wait for them.
    detail::FloatWords words;
    if (detail::UnsignedPlainFloatWords(i_value, words)) {
      const std::uint32_t negative = i_bits >> 31;
      slot->length = static_cast<std::uint32_t>(words.length + negative);
      detail::PutUnsignedPlainWords(slot->text, words, negative);
      return detail::PutUnsignedPlainWords(o_out, words, negative);
    }
    slot->length = static_cast<std::uint32_t>(AppendFloat(slot->text, i_value) - slot->text);
    return AppendShortText(o_out, slot->text, slot->length);
  }

  static constexpr int kFirstSlotBits = 8;
  static constexpr std::size_t kMaxSlots = std::size_t{1} << 13;
  static_assert(kMaxFloatChars <= 16, "a float's text must fit a slot");
  // A fresh slot holds the value +0 with its text, "0": a valid pair wherever it sits.
  struct Slot {
    std::uint32_t bits = 0;    // the value's bit pattern
    std::uint32_t length = 1;  // bytes of text
    char text[16] = {'0'};     // the value's text, then whatever its writing left
  };

  std::size_t index(std::uint32_t i_bits) const { return (i_bits * 0x9E3779B1u) >> m_shift; }

  // Doubles the table, keeping what the old one held where the new one looks for it.
  void grow() {
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    --m_shift;
    for (const Slot& slot : old) m_slots[index(slot.bits)] = slot;
    m_misses = 0;
  }

  std::vector<Slot> m_slots;
  int m_shift = 32 - kFirstSlotBits;  // the hash's top bits pick the slot
  std::size_t m_misses = 0;           // since the table last grew
};

inline std::string FloatToString(float i_value) {
  char text[kMaxFloatChars];
  return std::string(text, AppendFloat(text, i_value));
}

}  // namespace Ostrel::Format
