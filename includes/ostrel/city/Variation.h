#pragma once
// Seeded choices that must read the same on every machine and with every standard library: a
// small integer hash of our own instead of std:: engines and distributions.

#include <cstdint>

namespace Ostrel::City {

// A well-mixed 64-bit value of two inputs (the finaliser of SplitMix64 over their combination).
inline std::uint64_t MixSeed(std::uint64_t i_seed, std::uint64_t i_value) {
  std::uint64_t z = i_seed + 0x9E3779B97F4A7C15ull * (i_value + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace Ostrel::City
