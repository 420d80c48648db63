#pragma once
// Seeded choices that must read the same on every machine and with every standard library: a
// small integer hash of our own instead of std:: engines and distributions.
//
// Where a piece has variants, the layout takes one of them, the plain piece included, each as
// likely as the others. The choice is a pure function of the seed and the place: by default one
// choice per piece kind, storey and facade, so that each storey of a facade reads as one design;
// by cell when the request asks for it.
//
// These run for every placement a walk of a plan puts down, so they stay inline.

#include <cstddef>
#include <cstdint>
#include <string>

namespace Ostrel::Buildings {

// A well-mixed 64-bit value of two inputs (the finaliser of SplitMix64 over their combination).
inline std::uint64_t MixSeed(std::uint64_t i_seed, std::uint64_t i_value) {
  std::uint64_t z = i_seed + 0x9E3779B97F4A7C15ull * (i_value + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The 64-bit FNV-1a hash of a text's bytes.
inline std::uint64_t TextHash(const std::string& i_text) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const char c : i_text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

// The part of a place's key that a layout knows before it walks: the seed, the piece kind
// ("floor", "balcony", without the style) and the facade letter (N, E, S, W; 0 for corners and
// the roof cap, which belong to no one facade).
inline std::uint64_t PlaceKey(std::uint64_t i_seed, const std::string& i_kind, char i_facade) {
  return MixSeed(MixSeed(i_seed, TextHash(i_kind)), static_cast<unsigned char>(i_facade));
}

// Which of i_count forms (0-based; 0 is the plain piece) goes at the place of key i_key on
// storey i_level, and, when i_byCell, in the cell (i_x, i_z) (cell units). i_count >= 1.
inline std::size_t ChooseVariant(std::uint64_t i_key, std::int64_t i_level, bool i_byCell, std::int64_t i_x,
                                 std::int64_t i_z, std::size_t i_count) {
  std::uint64_t hash = MixSeed(i_key, static_cast<std::uint64_t>(i_level));
  if (i_byCell) {
    hash = MixSeed(MixSeed(hash, static_cast<std::uint64_t>(i_x)), static_cast<std::uint64_t>(i_z));
  }
  // A piece has few forms: with the count a constant, the remainder is a multiplication, where a
  // 64-bit division would take tens of cycles at every placement walked.
  switch (i_count) {
    case 1:
      return 0;
    case 2:
      return static_cast<std::size_t>(hash % 2);
    case 3:
      return static_cast<std::size_t>(hash % 3);
    case 4:
      return static_cast<std::size_t>(hash % 4);
    default:
      return static_cast<std::size_t>(hash % i_count);
  }
}

}  // namespace Ostrel::Buildings
