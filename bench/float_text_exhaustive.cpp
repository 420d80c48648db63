// Checks the float text of every one of the 2^32 bit patterns against the standard library's
// general format with six significant digits, which the fast formatter must match byte for byte,
// and so must the plain text's words where they are made.
// Too long for the test suite (minutes on two cores); run it once after changing the formatter:
//
//   build/bench/bench/float_text_exhaustive [threads]

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include <ostrel/utils/NumberFormat.h>

namespace {

struct Result {
  std::uint64_t mismatches = 0;
  std::uint32_t first = 0;  // the first mismatching bit pattern
};

Result CheckRange(std::uint64_t i_begin, std::uint64_t i_end) {
  Result result;
  char fast[Ostrel::Format::kMaxFloatChars];
  char reference[64];
  for (std::uint64_t pattern = i_begin; pattern < i_end; ++pattern) {
    const auto bits = static_cast<std::uint32_t>(pattern);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    const char* fastEnd = Ostrel::Format::AppendFloat(fast, value);
    const char* referenceEnd =
        std::to_chars(reference, reference + sizeof reference, value, std::chars_format::general, 6).ptr;
    const std::string_view expected(reference, static_cast<std::size_t>(referenceEnd - reference));
    bool same = std::string_view(fast, static_cast<std::size_t>(fastEnd - fast)) == expected;
    // The plain text's words, as writers that keep them store them: a minus, then the words.
    Ostrel::Format::detail::FloatWords words;
    if (Ostrel::Format::detail::UnsignedPlainFloatWords(value, words)) {
      fastEnd = Ostrel::Format::detail::PutUnsignedPlainWords(fast, words, bits >> 31);
      same = same && std::string_view(fast, static_cast<std::size_t>(fastEnd - fast)) == expected;
    }
    if (!same && result.mismatches++ == 0) result.first = bits;
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned threads =
      argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : std::thread::hardware_concurrency();
  const std::uint64_t total = std::uint64_t{1} << 32;
  std::vector<Result> results(threads == 0 ? 1 : threads);
  std::vector<std::thread> workers;
  for (std::size_t t = 0; t < results.size(); ++t) {
    workers.emplace_back(
        [&, t] { results[t] = CheckRange(total * t / results.size(), total * (t + 1) / results.size()); });
  }
  for (std::thread& worker : workers) worker.join();
  std::uint64_t mismatches = 0;
  for (const Result& result : results) {
    if (result.mismatches > 0 && mismatches == 0) std::printf("first mismatch: bits 0x%08x\n", result.first);
    mismatches += result.mismatches;
  }
  std::printf("%llu of %llu bit patterns differ\n", static_cast<unsigned long long>(mismatches),
              static_cast<unsigned long long>(total));
  return mismatches == 0 ? 0 : 1;
}
