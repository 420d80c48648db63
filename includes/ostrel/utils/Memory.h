#pragma once
// Large arrays in huge pages, where the system offers them.
//
// The first touch of each ordinary 4 KiB page costs a fault, and on a virtual machine a fault
// costs microseconds: filling an array of tens of MiB (a dense piece's coordinates, the text of
// its numbers) spends more in faults than in the filling. A huge page takes one fault for 2 MiB.

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Ostrel::Memory {

// The size and alignment of a huge page (x86-64 and most other 64-bit systems).
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Asks the system to back the 2 MiB-aligned stretches of [i_begin, i_begin + i_bytes), memory not
// yet touched, with huge pages. Advice only: where it is not taken, nothing changes but the speed.
// An array smaller than a huge page holds no such stretch and is left as it is.
inline void PreferHugePages(const void* i_begin, std::size_t i_bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const auto begin = reinterpret_cast<std::uintptr_t>(i_begin);
  const std::uintptr_t first = (begin + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
  const std::uintptr_t last = (begin + i_bytes) & ~std::uintptr_t{kHugePageBytes - 1};
  if (last <= first) return;
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)i_begin;
  (void)i_bytes;
#endif
}

// Reserves room for i_count elements in an empty vector, in huge pages where it is large enough.
template <typename Vector>
void ReserveLarge(Vector& io_vector, std::size_t i_count) {
  if (i_count <= io_vector.capacity()) return;
  io_vector.reserve(i_count);
  PreferHugePages(io_vector.data(), io_vector.capacity() * sizeof(*io_vector.data()));
}

}  // namespace Ostrel::Memory
