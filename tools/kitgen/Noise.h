#pragma once
// Deterministic noise for the texture sheets, in integer arithmetic only, so that every machine
// and compiler makes the same bytes.
//
// Positions are pixels of a sheet, sampled at the pixel's centre. Noise repeats with a period in
// each direction, a whole number of lattice cells, so that a strip of the sheet tiles. Values
// are signed, -32768..32767 (a full swing of 1.0 is 65536).

#include <cstdint>

namespace Kitgen {

// The SplitMix64 finaliser: every bit of the input changes about half of the output's.
inline std::uint64_t Mix(std::uint64_t i_x) {
  i_x += 0x9e3779b97f4a7c15ull;
  i_x = (i_x ^ (i_x >> 30)) * 0xbf58476d1ce4e5b9ull;
  i_x = (i_x ^ (i_x >> 27)) * 0x94d049bb133111ebull;
  return i_x ^ (i_x >> 31);
}

// A hash of a lattice point: one finaliser over the point spread by two odd constants.
inline std::uint64_t Hash(std::uint64_t i_seed, std::int64_t i_a, std::int64_t i_b) {
  return Mix(i_seed ^ (static_cast<std::uint64_t>(i_a) * 0xd1342543de82ef95ull +
                       static_cast<std::uint64_t>(i_b) * 0xff51afd7ed558ccdull));
}

// A hash as a signed value -32768..32767.
inline int HashValue(std::uint64_t i_seed, std::int64_t i_a, std::int64_t i_b) {
  return static_cast<int>(Hash(i_seed, i_a, i_b) >> 48) - 32768;
}

// A quicker hash for the lattice's corners, which noise asks for most: a 32-bit finaliser
// (two multiplications) over the corner, as a signed value -32768..32767.
inline int CornerValue(std::uint64_t i_seed, int i_a, int i_b) {
  std::uint32_t x = static_cast<std::uint32_t>(i_seed) ^ (static_cast<std::uint32_t>(i_a) * 0x9e3779b1u +
                                                          static_cast<std::uint32_t>(i_b) * 0x85ebca77u);
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return static_cast<int>(x >> 16) - 32768;
}

// Floor division and its non-negative remainder, for positions left of or below the origin.
inline std::int64_t FloorDiv(std::int64_t i_a, std::int64_t i_b) {
  const std::int64_t q = i_a / i_b;
  return (i_a % i_b != 0 && (i_a < 0) != (i_b < 0)) ? q - 1 : q;
}
inline std::int64_t FloorMod(std::int64_t i_a, std::int64_t i_b) { return i_a - FloorDiv(i_a, i_b) * i_b; }

// The integer square root, rounded down.
inline std::int64_t SquareRoot(std::int64_t i_n) {
  std::int64_t root = 0;
  for (std::int64_t bit = std::int64_t{1} << 40; bit > 0; bit >>= 2) {
    if (i_n >= root + bit) {
      i_n -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
  }
  return root;
}

// A lattice of `cellU` x `cellV` pixels (powers of two) that repeats after `periodU` and `periodV`
// pixels (each a whole number of cells; 0: no repeat in that direction).
struct Lattice {
  int cellU, cellV;
  int periodU, periodV;
  std::uint64_t seed;
};

// The exponent of a power of two.
inline int Log2(int i_power) { return __builtin_ctz(static_cast<unsigned>(i_power)); }

// i_value modulo i_count, 0..count-1, quick for the values just outside that range.
inline int Wrap(int i_value, int i_count) {
  if (i_value >= 0 && i_value < i_count) return i_value;
  if (i_value >= -i_count && i_value < 0) return i_value + i_count;
  if (i_value >= i_count && i_value < 2 * i_count) return i_value - i_count;
  const int rest = i_value % i_count;
  return rest < 0 ? rest + i_count : rest;
}

// One coordinate of a pixel's centre on the lattice: the cell (wrapped into the period), the
// next cell, and the position between them, 0..65535.
struct LatticeAt {
  int cell;
  int next;
  int frac;
};

inline LatticeAt OnLattice(int i_pixel, int i_cell, int i_period) {
  const int shift = Log2(i_cell);
  LatticeAt l{i_pixel >> shift, 0, ((2 * (i_pixel & (i_cell - 1)) + 1) << 15) >> shift};
  if (i_period > 0) {
    const int cells = i_period >> shift;
    l.cell = Wrap(l.cell, cells);
    l.next = l.cell + 1 == cells ? 0 : l.cell + 1;
  } else {
    l.next = l.cell + 1;
  }
  return l;
}

// The smooth step 3t^2 - 2t^3 of a fraction 0..65535, in 1/65536.
inline std::int64_t Smooth(int i_t) {
  const std::int64_t t = i_t;
  return (t * t >> 16) * (3 * 65536 - 2 * t) >> 16;
}

inline std::int64_t Lerp(std::int64_t i_a, std::int64_t i_b, std::int64_t i_w) {
  return i_a + ((i_b - i_a) * i_w >> 16);
}

// Value noise: random values at the lattice's corners, blended smoothly between them.
inline int ValueNoise(const Lattice& i_lattice, int i_x, int i_y) {
  const LatticeAt u = OnLattice(i_x, i_lattice.cellU, i_lattice.periodU);
  const LatticeAt v = OnLattice(i_y, i_lattice.cellV, i_lattice.periodV);
  const std::int64_t wu = Smooth(u.frac), wv = Smooth(v.frac);
  const std::uint64_t s = i_lattice.seed;
  const std::int64_t bottom = Lerp(CornerValue(s, u.cell, v.cell), CornerValue(s, u.next, v.cell), wu);
  const std::int64_t top = Lerp(CornerValue(s, u.cell, v.next), CornerValue(s, u.next, v.next), wu);
  return static_cast<int>(Lerp(bottom, top, wv));
}

// Fractal noise, of about the range of value noise: `octaves` layers of value noise, each with cells half the
// size and half the weight of the one before, from cells of `cellU` x `cellV` pixels. Cells of every octave
// must divide the periods; cells stop halving at one pixel.
inline int Fractal(const Lattice& i_coarsest, int i_octaves, int i_x, int i_y) {
  std::int64_t sum = 0, weights = 0;
  Lattice lattice = i_coarsest;
  int weight = 1 << i_octaves;
  for (int k = 0; k < i_octaves; ++k) {
    sum += static_cast<std::int64_t>(ValueNoise(lattice, i_x, i_y)) * weight;
    weights += weight;
    weight /= 2;
    lattice.cellU = lattice.cellU > 1 ? lattice.cellU / 2 : 1;
    lattice.cellV = lattice.cellV > 1 ? lattice.cellV / 2 : 1;
    lattice.seed = Mix(lattice.seed);
  }
  // Summed octaves swing less than one octave; stretch them back towards the full range.
  return static_cast<int>(sum * 3 / (weights * 2));
}

}  // namespace Kitgen
